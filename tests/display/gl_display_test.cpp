#include "display/gl_display.h"
#include "display/glsl_sources.h"
#include "display/palette.h"
#include "tests/support/hidden_window.h"

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

using testgl::pixelAt;

// The process's test window, without the display's objects before and after each test: a test
// makes the objects it needs.
class GLDisplayTest : public testgl::GLWindowTest {
protected:
    void SetUp() override
    {
        GLWindowTest::SetUp();
        ASSERT_FALSE(displayState.displayReady) << "the display's objects of another test";
        displayState.glslAvailable = false;
    }
    void TearDown() override
    {
        glfwMakeContextCurrent(testgl::window());
        destroyDisplay();
        displayState.glslAvailable = false;
    }
};

std::vector<std::string> extensionList()
{
    std::istringstream in(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)));
    std::vector<std::string> names;
    for (std::string name; in >> name;)
        names.push_back(name);
    return names;
}

bool enableShaders()
{
    displayState.glslAvailable = shaderExtensionsSupported() && fetchShaderEntryPoints();
    return displayState.glslAvailable;
}

// Slot blocks as start-up allocates them, zero-filled.
void allocateSlots()
{
    const size_t elements = size_t{displayState.width} * displayState.height * 4;
    for (auto& slot : pixelBufferSlots)
        slot = std::make_unique<uint16_t[]>(elements);
}

std::string initialise()
{
    testing::internal::CaptureStdout();
    initialiseTexture(displayState.displayReady);
    return testing::internal::GetCapturedStdout();
}

std::string buildProgram(GLhandleARB& program, std::string_view vertex, std::string_view fragment)
{
    testing::internal::CaptureStdout();
    buildShaderProgram(program, vertex, fragment);
    return testing::internal::GetCapturedStdout();
}

GLint linkStatus(GLhandleARB program)
{
    GLint linked = GL_FALSE;
    glsl::glGetObjectParameterivARB(program, GL_OBJECT_LINK_STATUS_ARB, &linked);
    return linked;
}

TEST_F(GLDisplayTest, ExtensionNamesMatchWholeEntriesOnly)
{
    const std::vector<std::string> names = extensionList();
    const std::set<std::string> known(names.begin(), names.end());
    ASSERT_TRUE(known.count("GL_ARB_shader_objects"));
    ASSERT_FALSE(known.count("GL_ARB_shader"));

    EXPECT_FALSE(isExtensionSupported("GL_ARB_shader"));
    EXPECT_TRUE(isExtensionSupported(names.back().c_str())) << "the entry before the NUL";
    EXPECT_TRUE(isExtensionSupported(names.front().c_str()));
    // Every entry with one character less at either end is a partial match that must not count.
    for (const std::string& name : names) {
        EXPECT_TRUE(isExtensionSupported(name.c_str())) << name;
        const std::string head = name.substr(0, name.size() - 1);
        const std::string tail = name.substr(1);
        EXPECT_EQ(isExtensionSupported(head.c_str()), known.count(head) == 1) << head;
        EXPECT_EQ(isExtensionSupported(tail.c_str()), known.count(tail) == 1) << tail;
    }
    EXPECT_FALSE(isExtensionSupported(""));
    EXPECT_FALSE(isExtensionSupported("GL_ARB_shader_objects GL_ARB_vertex_shader"));
    EXPECT_FALSE(isExtensionSupported(" GL_ARB_shader_objects"));
    EXPECT_TRUE(shaderExtensionsSupported());

    glfwMakeContextCurrent(nullptr);
    EXPECT_FALSE(isExtensionSupported("GL_ARB_shader_objects")) << "no context, no extensions";
    EXPECT_FALSE(isExtensionSupported("a b"));
    glfwMakeContextCurrent(testgl::window());
}

TEST_F(GLDisplayTest, EntryPointsAreFoundOnlyWithACurrentContext)
{
    glfwMakeContextCurrent(nullptr);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(fetchShaderEntryPoints());
    const std::string missing = testing::internal::GetCapturedStdout();
    EXPECT_EQ(missing.rfind("OpenGL entry point glCreateProgramObjectARB not found\n", 0), 0u)
        << missing;
    EXPECT_EQ(std::count(missing.begin(), missing.end(), '\n'), 17);

    glfwMakeContextCurrent(testgl::window());
    testing::internal::CaptureStdout();
    EXPECT_TRUE(fetchShaderEntryPoints());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_NE(glsl::glCreateProgramObjectARB, nullptr);
    EXPECT_NE(glsl::glMultiTexCoord2f, nullptr);
}

TEST_F(GLDisplayTest, ObjectsAreMadeOnceAndProgramsLink)
{
    ASSERT_TRUE(enableShaders());
    allocateSlots();
    const std::string out = initialise();
    // One line of its own, then the logs: three for the integer program, two for the other.
    EXPECT_EQ(out, "Initialising texture \n\n\n\n\n\n");
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_TRUE(displayState.displayReady);
    EXPECT_TRUE(displayState.glslAvailable);
    EXPECT_EQ(linkStatus(displayState.integerProgram), GL_TRUE);
    EXPECT_EQ(linkStatus(displayState.normalisedProgram), GL_TRUE);
    GLint unit = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &unit);
    EXPECT_EQ(unit, GL_TEXTURE0);

    std::vector<GLuint> names = displayState.textures;
    const auto& interop = displayState.interopTextures;
    names.insert(names.end(), interop.begin(), interop.end());
    for (GLuint name : names)
        EXPECT_TRUE(glIsTexture(name)) << name;
    EXPECT_EQ(std::set<GLuint>(names.begin(), names.end()).size(), 4u);
    EXPECT_TRUE(glIsList(displayState.shaderList));
    EXPECT_TRUE(glIsList(displayState.fixedFunctionList));

    EXPECT_EQ(initialise(), "");
    EXPECT_EQ(displayState.textures[0], names[0]);
    EXPECT_EQ(displayState.interopTextures[1], names[3]);
    // Mesa hands out the lowest free names, so a second set of objects would show here.
    GLuint nextTexture = 0;
    glGenTextures(1, &nextTexture);
    EXPECT_EQ(nextTexture, *std::max_element(names.begin(), names.end()) + 1);
    EXPECT_EQ(glGenLists(1), std::max(displayState.shaderList, displayState.fixedFunctionList) + 1);
    glDeleteTextures(1, &nextTexture);

    destroyDisplay();
    EXPECT_FALSE(displayState.displayReady);
    for (GLuint name : names)
        EXPECT_FALSE(glIsTexture(name)) << name;
    EXPECT_TRUE(displayState.textures.empty());
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GLDisplayTest, ADestroyedDisplayIsMadeAnewWithoutItsOldNames)
{
    ASSERT_TRUE(enableShaders());
    initialise();
    const GLuint oldShaderList = displayState.shaderList;
    destroyDisplay();
    EXPECT_TRUE(displayState.textures.empty());
    EXPECT_TRUE(displayState.interopTextures.empty());

    // Made again without shaders: four new names, the three image textures bound (the palette
    // texture is bound only with shaders), and no program or shader list of before.
    displayState.glslAvailable = false;
    EXPECT_EQ(initialise(), "Initialising texture \n");
    ASSERT_EQ(displayState.textures.size(), 2u);
    ASSERT_EQ(displayState.interopTextures.size(), 2u);
    std::vector<GLuint> names = displayState.interopTextures;
    names.push_back(displayState.textures[displayState.imageTextureIndex]);
    for (GLuint name : names)
        EXPECT_TRUE(glIsTexture(name)) << name;
    names.push_back(displayState.textures[displayState.paletteTextureIndex]);
    EXPECT_EQ(std::set<GLuint>(names.begin(), names.end()).size(), 4u);
    EXPECT_EQ(std::count(names.begin(), names.end(), 0u), 0);
    EXPECT_EQ(displayState.shaderList, 0u);
    EXPECT_EQ(displayState.integerProgram, 0u);
    EXPECT_EQ(displayState.normalisedProgram, 0u);
    const GLuint fixed = displayState.fixedFunctionList;
    EXPECT_TRUE(glIsList(fixed));

    // The new list may carry the old shader list's name: the exit must not delete it.
    destroyDisplay();
    EXPECT_TRUE(glIsList(fixed)) << "old shader list " << oldShaderList;
    glDeleteLists(fixed, 1);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GLDisplayTest, WithoutShadersOnlyTheFixedFunctionObjectsAreMade)
{
    displayState.glslAvailable = false;
    EXPECT_EQ(initialise(), "Initialising texture \n");
    EXPECT_TRUE(displayState.displayReady);
    EXPECT_EQ(displayState.shaderList, 0u);
    EXPECT_EQ(displayState.integerProgram, 0u);
    EXPECT_TRUE(glIsList(displayState.fixedFunctionList));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(GLDisplayTest, BuildFailuresAreReportedAndClearGlsl)
{
    ASSERT_TRUE(enableShaders());
    GLhandleARB program = 0;

    // Only the given length is the text: what follows it would not compile.
    const std::string padded = std::string(normalisedFragmentText) + "#error past the end";
    const std::string_view text(padded.data(), normalisedFragmentText.size());
    std::string out = buildProgram(program, {}, text);
    EXPECT_EQ(out, "\n\n") << "fragment log and link log";
    EXPECT_TRUE(displayState.glslAvailable);
    EXPECT_EQ(linkStatus(program), GL_TRUE);

    out = buildProgram(program, {}, "#version 110\nvoid main() { gl_FragColor = nothing; }");
    EXPECT_NE(out.find("Fragment shader did not compile\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Falling back to the palette emulation\n"), std::string::npos) << out;
    EXPECT_FALSE(displayState.glslAvailable);

    // Both shaders compile, but the fragment shader reads a varying that nothing writes.
    displayState.glslAvailable = true;
    out = buildProgram(program, "#version 110\nvoid main() { gl_Position = ftransform(); }",
                       "#version 110\nvarying vec4 shade;\nvoid main() { gl_FragColor = shade; }");
    EXPECT_EQ(out.find("did not compile"), std::string::npos) << out;
    EXPECT_NE(out.find("Shader program did not link\n"), std::string::npos) << out;
    EXPECT_FALSE(displayState.glslAvailable);
}

// Window coordinates and texture coordinates of every vertex that a display list sends.
std::set<std::tuple<float, float, float, float>> feedbackCorners(GLuint list)
{
    std::vector<GLfloat> buffer(1024);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR_TEXTURE, buffer.data());
    glRenderMode(GL_FEEDBACK);
    glCallList(list);
    const GLint used = glRenderMode(GL_RENDER);
    std::set<std::tuple<float, float, float, float>> corners;
    constexpr int vertexSize = 3 + 4 + 4;
    for (GLint i = 0; i < used;) {
        EXPECT_EQ(buffer[i], static_cast<GLfloat>(GL_POLYGON_TOKEN));
        if (buffer[i] != static_cast<GLfloat>(GL_POLYGON_TOKEN))
            break;
        const int count = static_cast<int>(buffer[i + 1]);
        for (int v = 0; v < count; ++v) {
            const GLfloat* vertex = &buffer[i + 2 + v * vertexSize];
            corners.insert({vertex[0], vertex[1], vertex[7], vertex[8]});
        }
        i += 2 + count * vertexSize;
    }
    return corners;
}

TEST_F(GLDisplayTest, BothQuadsSpanTheImage)
{
    ASSERT_TRUE(enableShaders());
    initialise();
    ASSERT_EQ(displayState.width, 2048u);
    ASSERT_EQ(displayState.height, 2048u);
    // Window coordinates equal image coordinates.
    glViewport(0, 0, 2048, 2048);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glOrtho(0.0, 2048.0, 0.0, 2048.0, -1.0, 1.0);

    const std::set<std::tuple<float, float, float, float>> expected = {
        {0.0f, 0.0f, 0.0f, 0.0f},
        {2047.0f, 0.0f, 1.0f, 0.0f},
        {2047.0f, 2047.0f, 1.0f, 1.0f},
        {0.0f, 2047.0f, 0.0f, 1.0f},
    };
    EXPECT_EQ(feedbackCorners(displayState.fixedFunctionList), expected);
    EXPECT_EQ(feedbackCorners(displayState.shaderList), expected);
}

// Uploads a palette into the palette texture as the frame does.
void uploadPalette(const std::vector<PaletteEntry>& palette)
{
    glsl::glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_1D, displayState.textures[displayState.paletteTextureIndex]);
    glTexImage1D(GL_TEXTURE_1D, 0, 3, paletteSize, 0, GL_RGB, GL_UNSIGNED_SHORT, palette.data());
    glsl::glActiveTexture(GL_TEXTURE0);
}

// An image with one value per quadrant: top left, top right, bottom left, bottom right.
void fillQuadrants(uint16_t* image, const uint16_t (&values)[4])
{
    const uint32_t w = displayState.width;
    const uint32_t h = displayState.height;
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            image[x + y * w] = values[(y >= h / 2) * 2 + (x >= w / 2)];
}

std::array<uint8_t, 3> quadrantPixel(int quadrant)
{
    const int quarter = testgl::windowWidth / 4;
    return pixelAt(quarter * (1 + 2 * (quadrant % 2)), quarter * (1 + 2 * (quadrant / 2)));
}

TEST_F(GLDisplayTest, ShaderListColoursTheImageThroughThePalette)
{
    ASSERT_TRUE(enableShaders());
    initialise();
    ASSERT_TRUE(displayState.glslAvailable);

    const std::array<uint8_t, 3> red{255, 0, 0}, green{0, 255, 0}, blue{0, 0, 255},
        grey{128, 128, 128};
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glOrtho(0.0, 2047.0, 2047.0, 0.0, 1.0, -1.0);

    // shaderList scales the normalised count back; groups of four entries share a colour so
    // that the float round trip may land on either neighbour of the entry.
    std::vector<PaletteEntry> palette(paletteSize, PaletteEntry{32896, 32896, 32896});
    for (int i = 0; i < 4; ++i) {
        palette[i] = {65535, 0, 0};
        palette[4 + i] = {0, 65535, 0};
        palette[1020 + i] = {0, 0, 65535};
    }
    uploadPalette(palette);
    std::vector<uint16_t> image(size_t{displayState.width} * displayState.height);
    fillQuadrants(image.data(), {2, 1030, 65534, 518});
    glBindTexture(GL_TEXTURE_2D, displayState.textures[displayState.imageTextureIndex]);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_R16, static_cast<GLsizei>(displayState.width),
                 static_cast<GLsizei>(displayState.height), 0, GL_RED, GL_UNSIGNED_SHORT,
                 image.data());
    glClear(GL_COLOR_BUFFER_BIT);
    glCallList(displayState.shaderList);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_EQ(quadrantPixel(0), red);
    EXPECT_EQ(quadrantPixel(1), green);
    EXPECT_EQ(quadrantPixel(2), blue);
    EXPECT_EQ(quadrantPixel(3), grey);
}

} // namespace
