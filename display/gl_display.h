// The display's OpenGL objects: the palette and image textures, the two shared-texture images,
// the two palette shader programs and the two display lists that draw the image quad.
// Everything here runs on the main thread with the main window's context current, except
// that the compute thread reads displayReady.
#pragma once

#include <GL/gl.h>
#include <GL/glext.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

// The shader entry points, fetched by name once the shader extensions are known to be there.
// NOTE: a namespace of their own, because <GL/gl.h> declares functions of some of these names.
namespace glsl {
extern PFNGLCREATEPROGRAMOBJECTARBPROC glCreateProgramObjectARB;
extern PFNGLCREATESHADEROBJECTARBPROC glCreateShaderObjectARB;
extern PFNGLDELETEOBJECTARBPROC glDeleteObjectARB;
extern PFNGLATTACHOBJECTARBPROC glAttachObjectARB;
extern PFNGLSHADERSOURCEARBPROC glShaderSourceARB;
extern PFNGLCOMPILESHADERARBPROC glCompileShaderARB;
extern PFNGLLINKPROGRAMARBPROC glLinkProgramARB;
extern PFNGLGETINFOLOGARBPROC glGetInfoLogARB;
extern PFNGLGETOBJECTPARAMETERIVARBPROC glGetObjectParameterivARB;
extern PFNGLUSEPROGRAMOBJECTARBPROC glUseProgramObjectARB;
extern PFNGLGETUNIFORMLOCATIONARBPROC glGetUniformLocationARB;
extern PFNGLGETATTRIBLOCATIONARBPROC glGetAttribLocationARB;
extern PFNGLUNIFORM1FARBPROC glUniform1fARB;
extern PFNGLUNIFORM1IARBPROC glUniform1iARB;
extern PFNGLVERTEXATTRIB2FARBPROC glVertexAttrib2fARB;
extern decltype(&::glActiveTexture) glActiveTexture;
extern decltype(&::glMultiTexCoord2f) glMultiTexCoord2f;
} // namespace glsl

// Initial texel data of the two shared textures; start-up allocates each block with at least
// width × height × 4 values. A null block leaves that texture's contents undefined.
extern std::vector<std::unique_ptr<uint16_t[]>> pixelBufferSlots;

struct DisplayState {
    DisplayState();
    ~DisplayState();
    DisplayState(const DisplayState&) = delete;
    DisplayState& operator=(const DisplayState&) = delete;

    uint32_t width;  // the iteration image's size in pixels
    uint32_t height;
    std::vector<GLuint> textures;        // the 1D palette texture and the 2D image texture
    std::vector<GLuint> interopTextures; // RGBA16UI images that OpenCL writes; one per slot
    int32_t paletteTextureIndex = 0;     // bound only as 1D, on texture unit 1
    int32_t imageTextureIndex = 1;       // bound only as 2D, on texture unit 0
    GLhandleARB integerProgram = 0;      // unsigned integer image ("#version 130")
    GLhandleARB normalisedProgram = 0;   // normalised 16-bit image ("#version 110")
    GLuint fixedFunctionList = 0;        // textured quad without shaders
    GLuint shaderList = 0;               // quad through normalisedProgram, both textures bound
    std::atomic<bool> displayReady{false}; // the objects exist
    bool glslAvailable = false; // shader extensions present, entry points fetched, programs built
    std::vector<std::unique_ptr<uint16_t[]>>* bufferSlots;
};

extern DisplayState displayState;

// True when name is one whole entry of the context's extension list. A name that is empty or
// holds a blank, or no current context, gives false.
bool isExtensionSupported(const char* name);

// True when the four ARB shader extensions are all present; tests them in order and stops at
// the first one missing.
bool shaderExtensionsSupported();

// Fetches the glsl:: entry points by name for the current context. Prints each one that is not
// found and then returns false.
bool fetchShaderEntryPoints();

// Builds a program from a vertex and a fragment text into program; an empty text adds no
// shader of that kind. Prints each info log on a line of its own; a shader that does not
// compile or a program that does not link is reported and clears displayState.glslAvailable.
void buildShaderProgram(GLhandleARB& program, std::string_view vertexText,
                        std::string_view fragmentText);

// Sets the four uniforms of a palette program: luminance on texture unit 0, palette on unit 1,
// max_colours 1024 and ushort_max 65535. The program must be in use (or a list compiling).
void setPaletteUniforms(GLhandleARB program);

// Draws the image quad from (0, 0) to (width − 1, height − 1) with texture (0, 0) to (1, 1);
// texCoord(s, t) gives each corner's texture coordinate before its vertex.
template <typename TexCoord>
void drawImageQuad(const DisplayState& state, TexCoord texCoord)
{
    const float right = static_cast<float>(state.width) - 1.0f;
    const float bottom = static_cast<float>(state.height) - 1.0f;
    glBegin(GL_QUADS);
    texCoord(0.0f, 0.0f);
    glVertex3f(0.0f, 0.0f, 0.0f);
    texCoord(1.0f, 0.0f);
    glVertex3f(right, 0.0f, 0.0f);
    texCoord(1.0f, 1.0f);
    glVertex3f(right, bottom, 0.0f);
    texCoord(0.0f, 1.0f);
    glVertex3f(0.0f, bottom, 0.0f);
    glEnd();
}

// Creates the textures, and with glslAvailable the palette texture, both programs and
// shaderList, then fixedFunctionList. Does nothing once displayReady is set; after
// destroyDisplay it makes every object anew.
void initialiseTexture(std::atomic<bool>& displayReady);

// Deletes the display's OpenGL objects and clears displayReady. Runs when displayState is
// destroyed at process exit.
void destroyDisplay();
