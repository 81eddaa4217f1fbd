#include "display/gl_display.h"

#include "core/globals.h"
#include "display/glsl_sources.h"
#include "platform/console.h"
#include "platform/gl_proc.h"

#include <cstring>

namespace glsl {
PFNGLCREATEPROGRAMOBJECTARBPROC glCreateProgramObjectARB = nullptr;
PFNGLCREATESHADEROBJECTARBPROC glCreateShaderObjectARB = nullptr;
PFNGLDELETEOBJECTARBPROC glDeleteObjectARB = nullptr;
PFNGLATTACHOBJECTARBPROC glAttachObjectARB = nullptr;
PFNGLSHADERSOURCEARBPROC glShaderSourceARB = nullptr;
PFNGLCOMPILESHADERARBPROC glCompileShaderARB = nullptr;
PFNGLLINKPROGRAMARBPROC glLinkProgramARB = nullptr;
PFNGLGETINFOLOGARBPROC glGetInfoLogARB = nullptr;
PFNGLGETOBJECTPARAMETERIVARBPROC glGetObjectParameterivARB = nullptr;
PFNGLUSEPROGRAMOBJECTARBPROC glUseProgramObjectARB = nullptr;
PFNGLGETUNIFORMLOCATIONARBPROC glGetUniformLocationARB = nullptr;
PFNGLGETATTRIBLOCATIONARBPROC glGetAttribLocationARB = nullptr;
PFNGLUNIFORM1FARBPROC glUniform1fARB = nullptr;
PFNGLUNIFORM1IARBPROC glUniform1iARB = nullptr;
PFNGLVERTEXATTRIB2FARBPROC glVertexAttrib2fARB = nullptr;
decltype(&::glActiveTexture) glActiveTexture = nullptr;
decltype(&::glMultiTexCoord2f) glMultiTexCoord2f = nullptr;
} // namespace glsl

// NOTE: defined before displayState so that the blocks outlive the display's textures.
std::vector<std::unique_ptr<uint16_t[]>> pixelBufferSlots(2);
DisplayState displayState;

DisplayState::DisplayState()
    : width(static_cast<uint32_t>(imageWidth)), height(static_cast<uint32_t>(imageHeight)),
      textures(2, 0), interopTextures(2, 0), bufferSlots(&pixelBufferSlots)
{
}

DisplayState::~DisplayState()
{
    destroyDisplay();
}

bool isExtensionSupported(const char* name)
{
    if (name == nullptr || *name == '\0' || std::strchr(name, ' ') != nullptr)
        return false;
    const auto* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (extensions == nullptr)
        return false;
    const size_t length = std::strlen(name);
    const char* start = extensions;
    for (;;) {
        const char* found = std::strstr(start, name);
        if (found == nullptr)
            return false;
        const char* end = found + length;
        if ((found == start || found[-1] == ' ') && (*end == ' ' || *end == '\0'))
            return true;
        start = end;
    }
}

bool shaderExtensionsSupported()
{
    return isExtensionSupported("GL_ARB_shader_objects")
        && isExtensionSupported("GL_ARB_fragment_shader")
        && isExtensionSupported("GL_ARB_vertex_shader")
        && isExtensionSupported("GL_ARB_shading_language_100");
}

namespace {

template <typename Entry>
bool fetchEntryPoint(Entry& entry, const char* name)
{
    entry = reinterpret_cast<Entry>(glProcAddress(name));
    if (entry == nullptr)
        printLine(std::string("OpenGL entry point ") + name + " not found");
    return entry != nullptr;
}

} // namespace

bool fetchShaderEntryPoints()
{
    bool found = true;
    found &= fetchEntryPoint(glsl::glCreateProgramObjectARB, "glCreateProgramObjectARB");
    found &= fetchEntryPoint(glsl::glCreateShaderObjectARB, "glCreateShaderObjectARB");
    found &= fetchEntryPoint(glsl::glDeleteObjectARB, "glDeleteObjectARB");
    found &= fetchEntryPoint(glsl::glAttachObjectARB, "glAttachObjectARB");
    found &= fetchEntryPoint(glsl::glShaderSourceARB, "glShaderSourceARB");
    found &= fetchEntryPoint(glsl::glCompileShaderARB, "glCompileShaderARB");
    found &= fetchEntryPoint(glsl::glLinkProgramARB, "glLinkProgramARB");
    found &= fetchEntryPoint(glsl::glGetInfoLogARB, "glGetInfoLogARB");
    found &= fetchEntryPoint(glsl::glGetObjectParameterivARB, "glGetObjectParameterivARB");
    found &= fetchEntryPoint(glsl::glUseProgramObjectARB, "glUseProgramObjectARB");
    found &= fetchEntryPoint(glsl::glGetUniformLocationARB, "glGetUniformLocationARB");
    found &= fetchEntryPoint(glsl::glGetAttribLocationARB, "glGetAttribLocationARB");
    found &= fetchEntryPoint(glsl::glUniform1fARB, "glUniform1fARB");
    found &= fetchEntryPoint(glsl::glUniform1iARB, "glUniform1iARB");
    found &= fetchEntryPoint(glsl::glVertexAttrib2fARB, "glVertexAttrib2fARB");
    found &= fetchEntryPoint(glsl::glActiveTexture, "glActiveTexture");
    found &= fetchEntryPoint(glsl::glMultiTexCoord2f, "glMultiTexCoord2f");
    return found;
}

namespace {

constexpr GLsizei infoLogCapacity = 65535;

// Prints an object's info log, up to its NUL, on a line of its own.
void printInfoLog(GLhandleARB object, std::vector<char>& log)
{
    log.assign(infoLogCapacity, '\0');
    glsl::glGetInfoLogARB(object, infoLogCapacity, nullptr, log.data());
    printLine(log.data());
}

// Adds a shader of one kind to the program, compiles it and prints its log. Returns whether
// it compiled.
bool addShader(GLhandleARB program, GLenum kind, std::string_view text, std::vector<char>& log)
{
    const GLhandleARB shader = glsl::glCreateShaderObjectARB(kind);
    glsl::glAttachObjectARB(program, shader);
    const GLcharARB* source = text.data();
    const auto length = static_cast<GLint>(text.size());
    glsl::glShaderSourceARB(shader, 1, &source, &length);
    glsl::glCompileShaderARB(shader);
    printInfoLog(shader, log);
    GLint compiled = GL_FALSE;
    glsl::glGetObjectParameterivARB(shader, GL_OBJECT_COMPILE_STATUS_ARB, &compiled);
    return compiled == GL_TRUE;
}

// Nearest sampling, repeating across and clamped down; the environment replaces the colour.
void setImageTextureParameters()
{
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
}

// shaderList: both textures bound, normalisedProgram with its uniforms, the quad.
void compileShaderList(DisplayState& state)
{
    const GLuint image = state.textures[state.imageTextureIndex];
    const GLuint palette = state.textures[state.paletteTextureIndex];
    const GLhandleARB program = state.normalisedProgram;
    state.shaderList = glGenLists(1);
    glNewList(state.shaderList, GL_COMPILE);
    glEnable(GL_TEXTURE_2D);
    glEnable(GL_TEXTURE_1D);
    glsl::glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, image);
    glsl::glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_1D, palette);
    glsl::glUseProgramObjectARB(program);
    setPaletteUniforms(program);
    drawImageQuad(state, [](float s, float t) { glsl::glMultiTexCoord2f(GL_TEXTURE0, s, t); });
    glsl::glUseProgramObjectARB(0);
    glsl::glActiveTexture(GL_TEXTURE0);
    glDisable(GL_TEXTURE_1D);
    glDisable(GL_TEXTURE_2D);
    glsl::glActiveTexture(GL_TEXTURE0);
    glEndList();
}

// fixedFunctionList: the image texture on the quad, without shaders.
void compileFixedFunctionList(DisplayState& state)
{
    state.fixedFunctionList = glGenLists(1);
    glNewList(state.fixedFunctionList, GL_COMPILE);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, state.textures[state.imageTextureIndex]);
    drawImageQuad(state, [](float s, float t) { glTexCoord2f(s, t); });
    glDisable(GL_TEXTURE_1D);
    glDisable(GL_TEXTURE_2D);
    glEndList();
}

} // namespace

void setPaletteUniforms(GLhandleARB program)
{
    glsl::glUniform1iARB(glsl::glGetUniformLocationARB(program, "luminance"), 0);
    glsl::glUniform1iARB(glsl::glGetUniformLocationARB(program, "palette"), 1);
    glsl::glUniform1fARB(glsl::glGetUniformLocationARB(program, "max_colours"), 1024.0f);
    glsl::glUniform1fARB(glsl::glGetUniformLocationARB(program, "ushort_max"), 65535.0f);
}

void buildShaderProgram(GLhandleARB& program, std::string_view vertexText,
                        std::string_view fragmentText)
{
    std::vector<char> log;
    bool built = true;
    program = glsl::glCreateProgramObjectARB();
    if (!vertexText.empty() && !addShader(program, GL_VERTEX_SHADER_ARB, vertexText, log)) {
        printLine("Vertex shader did not compile");
        built = false;
    }
    if (!fragmentText.empty() && !addShader(program, GL_FRAGMENT_SHADER_ARB, fragmentText, log)) {
        printLine("Fragment shader did not compile");
        built = false;
    }
    glsl::glLinkProgramARB(program);
    printInfoLog(program, log);
    GLint linked = GL_FALSE;
    glsl::glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &linked);
    if (linked != GL_TRUE) {
        printLine("Shader program did not link");
        built = false;
    }
    if (!built) {
        printLine("Falling back to the palette emulation");
        displayState.glslAvailable = false;
    }
}

void initialiseTexture(std::atomic<bool>& displayReady)
{
    if (displayReady)
        return;
    DisplayState& state = displayState;
    printLine("Initialising texture ");
    // NOTE: after destroyDisplay the vectors are empty and the names deleted; the objects are
    // made anew from two zero names each, and no stale name is left to be deleted again.
    state.textures.assign(2, 0);
    state.interopTextures.assign(2, 0);
    state.integerProgram = state.normalisedProgram = 0;
    state.shaderList = state.fixedFunctionList = 0;
    glGenTextures(2, state.interopTextures.data());
    glGenTextures(2, state.textures.data());

    // NOTE: the shader state is settled once here; a program that fails to build clears
    // glslAvailable for the frames to come, but the objects below are still made.
    const bool withShaders = state.glslAvailable;
    for (size_t slot = 0; slot < state.interopTextures.size(); ++slot) {
        if (withShaders)
            glsl::glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, state.interopTextures[slot]);
        setImageTextureParameters();
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA16UI, static_cast<GLsizei>(state.width),
                     static_cast<GLsizei>(state.height), 0, GL_RGBA_INTEGER, GL_UNSIGNED_SHORT,
                     (*state.bufferSlots)[slot].get());
        glEnable(GL_TEXTURE_2D);
    }

    if (withShaders)
        glsl::glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, state.textures[state.imageTextureIndex]);
    setImageTextureParameters();

    if (withShaders) {
        glsl::glActiveTexture(GL_TEXTURE1);
        glBindTexture(GL_TEXTURE_1D, state.textures[state.paletteTextureIndex]);
        glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_DECAL);
        glTexParameterf(GL_TEXTURE_1D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameterf(GL_TEXTURE_1D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameterf(GL_TEXTURE_1D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        glEnable(GL_TEXTURE_1D);
        glsl::glActiveTexture(GL_TEXTURE0);

        buildShaderProgram(state.integerProgram, vertexShaderText, integerFragmentText);
        buildShaderProgram(state.normalisedProgram, {}, normalisedFragmentText);
        compileShaderList(state);
    }
    displayReady = true;
    compileFixedFunctionList(state);
}

void destroyDisplay()
{
    DisplayState& state = displayState;
    if (state.displayReady) {
        glDeleteLists(state.shaderList, 1);
        // NOTE: a failed build clears glslAvailable after its programs were made; they go too.
        if (glsl::glDeleteObjectARB != nullptr) {
            if (state.integerProgram != 0)
                glsl::glDeleteObjectARB(state.integerProgram);
            if (state.normalisedProgram != 0)
                glsl::glDeleteObjectARB(state.normalisedProgram);
        }
        glDeleteTextures(2, state.textures.data());
        glDeleteTextures(2, state.interopTextures.data());
        state.displayReady = false;
    }
    std::vector<GLuint>().swap(state.textures);
    std::vector<GLuint>().swap(state.interopTextures);
}
