#include "display/render_scene.h"

#include "core/cpu_threads.h"
#include "core/fractal_list.h"
#include "core/globals.h"
#include "core/message_log.h"
#include "display/frame_step.h"
#include "display/gl_display.h"
#include "display/palette.h"
#include "glutmenu/glut_menu.h"
#include "glutmenu/metrics.h"
#include "opencl/cl_globals.h"
#include "tests/support/display_state.h"
#include "tests/support/fresh_process.h"
#include "tests/support/hidden_window.h"
#include "tests/support/test_font.h"

#include <gtest/gtest.h>

#include <GL/gl.h>

#include <array>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

constexpr int side = 1024; // the window; the 2048 x 2048 image is drawn at half size

using Rgb = std::array<int, 3>;

// The back buffer's colours, row 0 at the top (the front buffer of Mesa's software path
// reads back black).
std::vector<uint8_t> readBack()
{
    glFinish();
    std::vector<uint8_t> bottomUp(static_cast<size_t>(side) * side * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, side, side, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    return bottomUp;
}

Rgb pixel(const std::vector<uint8_t>& rgb, int x, int yFromTop)
{
    const size_t i = (static_cast<size_t>(side - 1 - yFromTop) * side + x) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

Rgb expected(const PaletteEntry& e)
{
    return {e.red >> 8, e.green >> 8, e.blue >> 8};
}

bool near(const Rgb& a, const Rgb& b)
{
    for (int c = 0; c < 3; ++c)
        if (std::abs(a[c] - b[c]) > 1)
            return false;
    return true;
}

// Window pixel showing image texel 8 * block + 3: the quad maps texel 2w + 1 to window pixel w.
int windowPixelOfBlock(int block)
{
    return 4 * block + 1;
}

// A real window and display as start-up makes them, with the frame pipeline in CPU mode.
class RenderSceneTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        resetDisplayState();
        sceneWindow = openHiddenWindow(side, side, "Tessaly scene test");
        ASSERT_NE(sceneWindow, nullptr) << "no GLFW window: run under xvfb-run";
        displayState.glslAvailable = shaderExtensionsSupported() && fetchShaderEntryPoints();
        ASSERT_TRUE(displayState.glslAvailable) << "Mesa offers the shader extensions";
        allocatePalettes();
        image.assign(2 * static_cast<size_t>(imageWidth) * imageHeight, 0);
        shown.assign(2 * static_cast<size_t>(imageWidth) * imageHeight, 0);
        // The shared textures start as the slots, the count in the red channel: slot 0 holds
        // 1029 throughout, slot 1 four bands of columns.
        const size_t texels = static_cast<size_t>(imageWidth) * imageHeight;
        for (size_t slot = 0; slot < pixelBufferSlots.size(); ++slot) {
            pixelBufferSlots[slot] = std::make_unique<uint16_t[]>(texels * 4);
            for (size_t i = 0; i < texels; ++i) {
                const size_t band = i % static_cast<size_t>(imageWidth) / 512;
                pixelBufferSlots[slot][i * 4] = slot == 0 ? 1029 : slot1Bands[band];
            }
        }
        ASSERT_FALSE(displayState.displayReady) << "the display's objects of another context";
        testing::internal::CaptureStdout();
        initialiseTexture(displayState.displayReady);
        testing::internal::GetCapturedStdout();
        objectsMade = true;
    }
    static void TearDownTestSuite()
    {
        if (objectsMade) {
            glfwMakeContextCurrent(sceneWindow);
            displayState.displayReady = true; // a test may have cleared it; the objects exist
            destroyDisplay();
            objectsMade = false;
        }
        if (sceneWindow != nullptr) {
            glfwMakeContextCurrent(nullptr);
            glfwDestroyWindow(sceneWindow);
            sceneWindow = nullptr;
        }
        resetDisplayState();
    }
    void SetUp() override
    {
        resetDisplayState();
        ASSERT_NE(sceneWindow, nullptr);
        window = sceneWindow;
        glfwMakeContextCurrent(window);
        iterationBuffer = image.data();
        displayBuffer = shown.data();
        displayState.displayReady = true;
        cpuMode = true;
    }
    void TearDown() override { resetDisplayState(); }

    // A rubber band dragged from (x0, y0) to (x1, y1), in window pixels.
    static void showBand(int32_t x0, int32_t y0, int32_t x1, int32_t y1)
    {
        rubberBand.moved = true;
        rubberBand.startX = x0;
        rubberBand.startY = y0;
        rubberBand.currentX = x1;
        rubberBand.currentY = y1;
    }

    // renderScene with its console output captured.
    static std::string render()
    {
        testing::internal::CaptureStdout();
        renderScene();
        return testing::internal::GetCapturedStdout();
    }

    // Every 16-bit value in its own 8 x 8 block: value v at block (v % 256, v / 256).
    static void fillAllValues()
    {
        for (int v = 0; v < 65536; ++v) {
            const int bx = v % 256, by = v / 256;
            for (int y = by * 8; y < by * 8 + 8; ++y)
                for (int x = bx * 8; x < bx * 8 + 8; ++x)
                    shown[static_cast<size_t>(x) + static_cast<size_t>(y) * 2048] = static_cast<uint16_t>(v);
        }
    }

    // Counts the blocks whose colour is not palette entry v & 1023.
    static int wrongBlocks(const std::vector<uint8_t>& rgb, std::string& first)
    {
        int wrong = 0;
        for (int v = 0; v < 65536; ++v) {
            const Rgb got = pixel(rgb, windowPixelOfBlock(v % 256), windowPixelOfBlock(v / 256));
            const Rgb want = expected(displayPalette[v & 1023]);
            if (!near(got, want)) {
                if (wrong++ == 0)
                    first = "value " + std::to_string(v) + " shows (" + std::to_string(got[0]) + ","
                            + std::to_string(got[1]) + "," + std::to_string(got[2]) + ")";
            }
        }
        return wrong;
    }

    static constexpr uint16_t slot1Bands[4] = {9, 65535, 1024, 1023};
    static inline GLFWwindow* sceneWindow = nullptr;
    static inline bool objectsMade = false;
    static inline std::vector<uint16_t> image;
    static inline std::vector<uint16_t> shown;
};

TEST_F(RenderSceneTest, PaletteConsoleLinesInOrder)
{
    // The first frame of the process sets the palette up.
    if (!aloneInThisProcess())
        return;
    paletteType = 0;
    EXPECT_EQ(render(), "Palette already initialised, paletteType is 0\n"
                        "Reinitialising palette\n"
                        "renderScene() - palette update\n");
    EXPECT_EQ(render(), "");
    paletteType = 2;
    EXPECT_EQ(render(), "Palette has changed\nrenderScene() - palette update\n");
    EXPECT_EQ(render(), "");
}

TEST_F(RenderSceneTest, EveryValueShowsItsPaletteEntryOnBothPaths)
{
    paletteType = 2; // random colours: neighbouring entries differ
    render();
    fillAllValues();
    std::string first;

    useGL2 = true;
    render();
    EXPECT_EQ(wrongBlocks(readBack(), first), 0) << "shader path: " << first;

    useGL2 = false;
    render();
    EXPECT_EQ(wrongBlocks(readBack(), first), 0) << "emulation path: " << first;
}

TEST_F(RenderSceneTest, PaletteReachesTheShaderWhenShadersComeOnLater)
{
    useGL2 = false;
    paletteType = 0;
    render(); // the first palette is built while the shaders are off
    paletteType = 2;
    render(); // and changed while they are still off
    fillAllValues();
    useGL2 = true;
    render();
    std::string first;
    EXPECT_EQ(wrongBlocks(readBack(), first), 0) << first;
}

TEST_F(RenderSceneTest, RowZeroIsAtTheTop)
{
    paletteType = 2;
    render();
    std::fill(shown.begin(), shown.end(), 0);
    for (int x = 0; x < 2048; ++x)
        for (int y = 0; y < 8; ++y)
            shown[static_cast<size_t>(x) + static_cast<size_t>(y) * 2048] = 5;
    for (bool gl2 : {true, false}) {
        useGL2 = gl2;
        render();
        const std::vector<uint8_t> rgb = readBack();
        EXPECT_TRUE(near(pixel(rgb, 500, 1), expected(displayPalette[5]))) << "useGL2 " << gl2;
        EXPECT_TRUE(near(pixel(rgb, 500, side - 2), expected(displayPalette[0]))) << "useGL2 " << gl2;
    }
}

TEST_F(RenderSceneTest, SynchronousModeShowsTheFrameOfTheSameCall)
{
    paletteType = 2;
    render();
    std::fill(shown.begin(), shown.end(), 0);
    testing::internal::CaptureStdout();
    {
        CPUThreads pool(static_cast<int32_t>(std::thread::hardware_concurrency()), imageWidth,
                        imageHeight, iterationBuffer);
        cpuThreadsPool = &pool;
        FractalRecord record = defaultFractalRecord(0, 0);
        record.maxIterations = 3;
        queueFractal(record);
        {
            std::lock_guard lock(pendingFramesMutex);
            pendingFrames = 1;
        }
        syncMode = true;
        renderScene();
        cpuThreadsPool = nullptr;
    }
    testing::internal::GetCapturedStdout();
    // p = (1, 0) is image pixel (1536, 1024) and escapes at step 2.
    EXPECT_EQ(shown[1536 + 1024 * 2048], 2);
    // Window pixel w shows texel 2w + 1.
    const uint16_t value = shown[1535 + 1023 * 2048];
    EXPECT_NE(value, 0);
    EXPECT_TRUE(near(pixel(readBack(), 767, 511), expected(displayPalette[value])));
    EXPECT_TRUE(readyBuffers.empty());
}

TEST_F(RenderSceneTest, RubberBandIsDrawnScaledToTheImage)
{
    paletteType = 2;
    render();
    std::fill(shown.begin(), shown.end(), 0);
    useGL2 = false;
    showBand(100, 50, 300, 200);
    render();
    const std::vector<uint8_t> rgb = readBack();
    const Rgb band{178, 178, 0};
    auto bandNear = [&](int x, int y) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (near(pixel(rgb, x + dx, y + dy), band))
                    return true;
        return false;
    };
    EXPECT_TRUE(bandNear(200, 50)) << "top edge";
    EXPECT_TRUE(bandNear(200, 200)) << "bottom edge";
    EXPECT_TRUE(bandNear(100, 120)) << "left edge";
    EXPECT_TRUE(bandNear(300, 120)) << "right edge";
    EXPECT_FALSE(bandNear(200, 120)) << "inside";
    EXPECT_FALSE(bandNear(400, 300)) << "outside";
    EXPECT_TRUE(near(pixel(rgb, 200, 120), expected(displayPalette[0])));

    // Without the display's objects only the band is drawn, and the palette is not uploaded.
    displayState.displayReady = false;
    paletteType = 1;
    EXPECT_EQ(render(), "Palette has changed\n");
    const std::vector<uint8_t> bare = readBack();
    EXPECT_TRUE(near(pixel(bare, 200, 50), band));
    EXPECT_TRUE(near(pixel(bare, 200, 120), Rgb{0, 0, 0}));
}

TEST_F(RenderSceneTest, MenusLieOverTheBandAndTheImage)
{
    installTestFont();
    paletteType = 2;
    render();
    std::fill(shown.begin(), shown.end(), 0);
    useGL2 = false;
    menuBar.init(side, side, 0, 0, "Menu Bar", {"File"}, true, "");
    menuBar.visible = true;
    showBand(600, 2, 800, 300);
    render();
    const std::vector<uint8_t> rgb = readBack();
    auto underBar = [](const Rgb& below) {
        return Rgb{below[0] * 3 / 10, below[1] * 3 / 10, below[2] * 3 / 10 + 178};
    };
    const int barMiddle = static_cast<int>(lineHeight / 2);
    EXPECT_TRUE(near(pixel(rgb, 1000, barMiddle), underBar(expected(displayPalette[0]))));
    EXPECT_TRUE(near(pixel(rgb, 700, 2), underBar({178, 178, 0}))) << "the band lies beneath";
    EXPECT_TRUE(near(pixel(rgb, 700, 300), Rgb{178, 178, 0}));
    menuBar.visible = false;
    rubberBand = RubberBand{};
}

TEST_F(RenderSceneTest, SharedTexturesShowTheFrameWrittenLast)
{
    paletteType = 2;
    render();
    interopActive = true;
    // Before the first shared frame the count is 1: texture 1 is shown, count c as entry
    // c mod 1024 (window pixel w shows texel 2w + 1).
    render();
    EXPECT_EQ(interopFrameCount, 1);
    const std::vector<uint8_t> rgb = readBack();
    for (int band = 0; band < 4; ++band) {
        const Rgb want = expected(displayPalette[slot1Bands[band] & 1023]);
        EXPECT_TRUE(near(pixel(rgb, 256 * band + 128, 300), want)) << slot1Bands[band];
    }

    // Three frames written later: the count is reduced, stored back, and names texture 0.
    interopFrameCount = 4;
    render();
    EXPECT_EQ(interopFrameCount, 0);
    EXPECT_TRUE(near(pixel(readBack(), 300, 300), expected(displayPalette[5])));
    interopFrameCount = 1;
}

TEST_F(RenderSceneTest, MessageLogsExpireEveryFrameOnceMessageLogExists)
{
    constexpr int64_t second = 1000000000;
    infoLog = std::make_unique<CMessageLog>(0.0f, 0.0f, 30.0f);
    infoLog->add("benchmark");
    infoLog->timestamps.back() -= 32 * second + second / 2;
    render();
    EXPECT_EQ(infoLog->messages.size(), 1u) << "without messageLog no log is touched";

    messageLog = std::make_unique<CMessageLog>(0.0f, 0.0f, 1.0f);
    messageLog->add("old");
    messageLog->timestamps.back() -= 2 * second + second / 2;
    messageLog->add("new");
    infoLog->add("kept");
    render();
    EXPECT_EQ(messageLog->messages, std::vector<std::string>{"new"});
    EXPECT_EQ(infoLog->messages, std::vector<std::string>{"kept"});
    messageLog.reset();
    infoLog.reset();
}

} // namespace
