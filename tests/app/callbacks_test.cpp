#include "app/callbacks.h"
#include "app/driver.h"
#include "core/fractal_list.h"
#include "core/globals.h"
#include "core/message_log.h"
#include "glutmenu/glut_menu.h"
#include "glutmenu/menu_font.h"
#include "glutmenu/metrics.h"
#include "glutmenu/text_input.h"
#include "platform/working_directory.h"
#include "tests/app/test_support.h"
#include "tests/support/test_font.h"

#include <FTGL/ftgl.h>

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace {

class CallbacksTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        window = testWindow();
        ASSERT_NE(window, nullptr) << "needs an X display (xvfb-run)";
        glfwSetWindowSize(window, 1024, 768);
        startDirectory = std::filesystem::current_path();
        form.mode = 1;
        form.maxChars = 8;
    }
    void TearDown() override
    {
        ShellTest::TearDown();
        std::filesystem::current_path(startDirectory);
    }

    // Three records, the middle one current, nothing queued or pending.
    void makeList()
    {
        newFractal(Mandelbrot, 0);
        newFractal(Julia, 0);
        newFractal(Sine, 0);
        selectFractal(-1, true);
        renderQueue.clear();
        pendingFrames = 0;
        takeOutput();
    }

    // A press or release of a mouse button with the cursor at (x, y).
    void click(int button, int action, double x, double y)
    {
        GLFWwindow* shown = pointerWindow();
        ASSERT_NE(shown, nullptr);
        glfwSetCursorPos(shown, x, y);
        mouseButtonCallback(shown, button, action, 0);
    }

    GLFWwindow* window = nullptr;
    std::filesystem::path startDirectory;
    GlutMenu::CTextInput form; // a text field that shows which keys reach the menus
};

// The menu bar as a drag over the image leaves it while a drop-down item is highlighted.
void hideMenuBar()
{
    menuBar.visible = false;
    menuBar.itemChosen = true;
    menuBar.selectedItem = 2;
    menuBar.highlighted = 3;
}

TEST_F(CallbacksTest, KeysActOnReleaseAndShiftKeysNeverReachTheMenus)
{
    makeList();
    form.open();
    keyCallback(window, GLFW_KEY_RIGHT, 0, GLFW_PRESS, GLFW_MOD_SHIFT);
    keyCallback(window, GLFW_KEY_RIGHT, 0, GLFW_REPEAT, GLFW_MOD_SHIFT);
    keyCallback(window, GLFW_KEY_A, 0, GLFW_PRESS, 0);
    EXPECT_EQ(currentFractalIndex, 1);
    EXPECT_EQ(takeOutput(), "");

    keyCallback(window, GLFW_KEY_A, 0, GLFW_RELEASE, GLFW_MOD_CONTROL);
    EXPECT_EQ(takeOutput(), "Key code is 65 and shift state is 0\n");
    EXPECT_EQ(form.editText, "A");
    keyCallback(window, GLFW_KEY_A, 0, GLFW_RELEASE, GLFW_MOD_SHIFT);
    EXPECT_EQ(form.editText, "A") << "a capital letter does not reach a form";

    keyCallback(window, GLFW_KEY_RIGHT, 0, GLFW_RELEASE, GLFW_MOD_SHIFT);
    EXPECT_EQ(currentFractalIndex, 2);
    EXPECT_EQ(fractalType, Sine);
    keyCallback(window, GLFW_KEY_RIGHT, 0, GLFW_RELEASE, GLFW_MOD_SHIFT);
    EXPECT_EQ(currentFractalIndex, 2);
    EXPECT_EQ(pendingFrames, 2) << "the step at the end still asks for a frame";
    EXPECT_EQ(renderQueue.size(), 1u);

    renderQueue.clear();
    takeOutput();
    keyCallback(window, GLFW_KEY_HOME, 0, GLFW_RELEASE, GLFW_MOD_SHIFT);
    EXPECT_EQ(currentFractalIndex, 0);
    EXPECT_EQ(renderQueue.size(), 1u);
    const std::string line = "Mandelbrot Z-range:(-2.000000, -1.500000)-(2.000000, 1.500000), "
                             "c = (0.000000,0.000000), maxIters = 768, maxSize = 4.000000\r\n";
    EXPECT_EQ(takeOutput(), line + line);

    pendingFrames = 0;
    keyCallback(window, GLFW_KEY_LEFT, 0, GLFW_RELEASE, GLFW_MOD_SHIFT);
    EXPECT_EQ(currentFractalIndex, 0);
    EXPECT_EQ(pendingFrames, 1) << "the step at the start still asks for a frame";
    keyCallback(window, GLFW_KEY_END, 0, GLFW_RELEASE, GLFW_MOD_SHIFT | GLFW_MOD_CONTROL);
    EXPECT_EQ(currentFractalIndex, 2);
    EXPECT_EQ(viewMaxX, 8.0L);

    // Home and End on an empty list read nothing.
    fractalList.clear();
    currentFractalIndex = -1;
    pendingFrames = 0;
    keyCallback(window, GLFW_KEY_HOME, 0, GLFW_RELEASE, GLFW_MOD_SHIFT);
    keyCallback(window, GLFW_KEY_END, 0, GLFW_RELEASE, GLFW_MOD_SHIFT);
    EXPECT_EQ(currentFractalIndex, -1);
    EXPECT_EQ(pendingFrames, 0);
}

TEST_F(CallbacksTest, WheelStepsOncePerFiveNotchesAndFrame)
{
    makeList();
    glfwSetScrollCallback(window, scrollCallback);
    for (int notch = 0; notch < 4; ++notch)
        scrollCallback(window, 0.0, 1.0);
    scrollCallback(window, 0.0, 0.9);
    EXPECT_EQ(currentFractalIndex, 1);
    EXPECT_EQ(scrollAccumulator, 4);
    EXPECT_EQ(glfwSetScrollCallback(window, scrollCallback), scrollCallback);

    scrollCallback(window, 0.0, 1.0);
    EXPECT_EQ(currentFractalIndex, 0) << "wheel up steps back";
    EXPECT_EQ(scrollAccumulator, 0);
    EXPECT_EQ(glfwSetScrollCallback(window, nullptr), nullptr)
        << "the callback is removed until the next frame";

    scrollCallback(window, -5.0, 0.0);
    EXPECT_EQ(currentFractalIndex, 1) << "a horizontal wheel steps forward";
    scrollCallback(window, 3.0, -7.0);
    EXPECT_EQ(currentFractalIndex, 2);
    scrollCallback(window, 0.0, -1e300);
    scrollCallback(window, 0.0, std::nan(""));
    EXPECT_EQ(currentFractalIndex, 2);
    EXPECT_EQ(scrollAccumulator, 0);
}

// One test for everything that moves the pointer: other tests run beside it on the same display.
TEST_F(CallbacksTest, RubberBandDragStoresTheZoomInImagePixels)
{
    int fbW = 0, fbH = 0;
    glfwGetFramebufferSize(pointerWindow(), &fbW, &fbH);
    ASSERT_EQ(fbW, 1024);
    ASSERT_EQ(fbH, 768);

    hideMenuBar();
    // Not armed: a drag does nothing.
    click(GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS, 100, 50);
    EXPECT_FALSE(rubberBand.selecting);

    zoomMode = true;
    zoomRequested = true;
    zoomAnimating = true;
    zoomSteps = 7;
    click(GLFW_MOUSE_BUTTON_RIGHT, GLFW_PRESS, 100, 50);
    EXPECT_FALSE(rubberBand.selecting);
    click(GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS, 100.9, 50.2);
    EXPECT_TRUE(rubberBand.selecting);
    EXPECT_TRUE(rubberBand.dragging);
    EXPECT_FALSE(zoomRequested);
    EXPECT_FALSE(zoomAnimating);
    EXPECT_LE(zoomSteps, 1) << "no pass of the cut animation is left for a later benchmark";
    EXPECT_EQ(rubberBand.startX, 100);
    EXPECT_EQ(rubberBand.startY, 50);

    pendingFrames = 3;
    cursorPosCallback(window, 60.7, 200.2);
    EXPECT_TRUE(rubberBand.moved);
    EXPECT_EQ(rubberBand.currentX, 60);
    EXPECT_EQ(rubberBand.currentY, 200);
    EXPECT_EQ(pendingFrames, 0) << "frames pause while dragging";

    click(GLFW_MOUSE_BUTTON_RIGHT, GLFW_RELEASE, 20, 300);
    EXPECT_TRUE(rubberBand.selecting) << "only the left release ends the band";
    click(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE, 20, 300);
    EXPECT_FALSE(rubberBand.selecting);
    EXPECT_FALSE(rubberBand.dragging);
    EXPECT_FALSE(rubberBand.moved);
    EXPECT_FALSE(zoomMode);
    EXPECT_TRUE(zoomRequested);
    EXPECT_EQ(pendingFrames, 1);
    EXPECT_TRUE(menuBar.visible) << "the menu bar is shown again, nothing chosen or selected";
    EXPECT_FALSE(menuBar.itemChosen);
    EXPECT_EQ(menuBar.selectedItem, -1);
    EXPECT_EQ(menuBar.highlighted, 0);
    EXPECT_EQ(zoomTarget.minX, 40.0L);
    EXPECT_EQ(zoomTarget.maxX, 200.0L);
    EXPECT_EQ(zoomTarget.minY, static_cast<long double>(133.33334f));
    EXPECT_EQ(zoomTarget.maxY, 800.0L);

    // Once zoom mode is off, motion no longer moves the band.
    cursorPosCallback(window, 500, 500);
    EXPECT_EQ(rubberBand.currentX, 20);

    // A click without moving keeps the band armed and following the cursor.
    zoomRequested = false;
    hideMenuBar();
    zoomMode = true;
    click(GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS, 300, 200);
    click(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE, 300, 200);
    EXPECT_TRUE(zoomMode);
    EXPECT_TRUE(rubberBand.dragging);
    EXPECT_FALSE(rubberBand.selecting);
    EXPECT_FALSE(zoomRequested);
    EXPECT_FALSE(menuBar.visible);

    pendingFrames = 2;
    cursorPosCallback(window, 310, 250);
    EXPECT_TRUE(rubberBand.moved);
    EXPECT_EQ(rubberBand.startX, 300);
    EXPECT_EQ(pendingFrames, 0);

    click(GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS, 10, 20);
    EXPECT_TRUE(rubberBand.selecting);
    EXPECT_EQ(rubberBand.startX, 10);
    EXPECT_EQ(rubberBand.startY, 20);

    // A click the menus use goes no further: an open form takes every click.
    form.open();
    click(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE, 5, 6);
    EXPECT_TRUE(rubberBand.selecting);
    form.close();
    click(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE, 7, 6);
    EXPECT_FALSE(rubberBand.selecting);
    EXPECT_TRUE(zoomRequested);
}

TEST_F(CallbacksTest, MouseChoiceShowsTheBarAgainUnlessZoomIsArmed)
{
    installTestFont();
    menuBar.window = pointerWindow();
    menuBar.init(1024, 768, 0, 0, "Menu Bar", {"File", "Zoom"}, true, "");
    std::vector<std::string> chosen;
    auto command = [&chosen](int& item, GlutMenu::CGlutMenu* menu, void*) {
        chosen.push_back(menu->getItemLabel(item));
        if (chosen.back() == "Zoom") {
            zoomMode = true;
            menuBar.closeChain(true);
        }
    };
    menuBar.assignCallback(command);
    menuBar.addSubMenu(0, {"Information", "Quit"}, command, "");
    menuBar.visible = true;
    GlutMenu::CGlutMenu* file = menuBar.getSubmenu(0);
    const double row = lineHeight;

    click(GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS, 10, row / 2);
    click(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE, 10, row / 2);
    EXPECT_TRUE(file->visible);

    // A first-level item chosen with the mouse: the drop-down closes, the bar stays.
    click(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE, 10, file->y + row / 2);
    EXPECT_EQ(chosen, std::vector<std::string>{"Information"});
    EXPECT_TRUE(!file->visible && menuBar.visible && menuBar.selectedItem == -1);

    // Zoom hides the bar until the band is released; the next press starts the band.
    int px = 0, py = 0;
    menuBar.getItemPosition(1, &px, &py);
    click(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE, px + 5, row / 2);
    EXPECT_EQ(chosen.back(), "Zoom");
    EXPECT_FALSE(menuBar.visible);
    click(GLFW_MOUSE_BUTTON_LEFT, GLFW_PRESS, 400, 300);
    EXPECT_TRUE(rubberBand.selecting);
    click(GLFW_MOUSE_BUTTON_LEFT, GLFW_RELEASE, 500, 400);
    EXPECT_TRUE(zoomRequested);
    EXPECT_TRUE(menuBar.visible);
}

TEST_F(CallbacksTest, ResizeRelaysOutForTheFramebuffer)
{
    installTestFont();
    uiWidth = 1024;
    uiHeight = 768;
    menuBar.horizontal = true;
    menuBar.x = 10.0f;
    menuBar.y = 5.5f;
    messageLog = std::make_unique<CMessageLog>(1.0f, 2.0f, 1.0f);
    form.prompt = "Name";
    form.text = "Tessaly";
    form.x = 100.0f;
    form.y = 50.0f;
    form.open();

    glfwSetWindowSize(window, 2048, 1536);
    int fbW = 0, fbH = 0;
    glfwGetFramebufferSize(window, &fbW, &fbH);
    ASSERT_EQ(fbW, 2048);
    ASSERT_EQ(fbH, 1536);
    ReshapeCallback(window, 1, 1);

    EXPECT_EQ(takeOutput(), "Reshape callback\n"
                            "Reshaping to 2048x1536\n"
                            "Reshapng factors 2, 2\n"
                            "old (x,y) =  10 5.5\n"
                            "new (x,y) =  20 11\n"
                            "scale 2, 2\n"
                            "font scale 1.2, 0.30003\n"
                            "CTextInput::ReshapeCallback\n"
                            "CTextInput::(x,y) 100, 50\n"
                            "New CTextInput::(x,y) 200, 100\n");
    EXPECT_EQ(menuBar.window, window);
    EXPECT_EQ(infoForm.window, window);
    EXPECT_EQ(menuBar.x, 20.0f);
    EXPECT_EQ(menuBar.y, 11.0f);
    EXPECT_EQ(uiWidth, 2048.0f);
    EXPECT_EQ(uiHeight, 1536.0f);
    ASSERT_NE(menuFont, nullptr) << "the font beside the executable";
    EXPECT_EQ(menuFont->FaceSize(), 48u);
    EXPECT_GT(lineHeight, 0.0f);
    EXPECT_EQ(lineHeight, measureText("I"));
    EXPECT_EQ(menuBar.width, 2048 - 20) << "the menu bar laid out for the new width";
    EXPECT_EQ(form.labelWidth, textAdvance("Name:")) << "the open form measured with the new font";
    EXPECT_EQ(form.width, textAdvance("Name:") + 8.0f * charAdvance('H'));
    EXPECT_EQ(form.textLength, 7);
    EXPECT_EQ(messageLog->x, 0.6f * 2048.0f);
    EXPECT_EQ(messageLog->y, 0.3f * 1536.0f);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 2048);
    EXPECT_EQ(viewport[3], 1536);
    EXPECT_EQ(std::filesystem::current_path().string() + "/", executableFolder());

    // Minimised: only the first line, the font stays, and the log goes to the corner.
    const FTFont* font = menuFont;
    reshapeFramebuffer(window, 0, 0);
    EXPECT_EQ(takeOutput(), "Reshape callback\n");
    EXPECT_EQ(menuFont, font);
    EXPECT_EQ(messageLog->x, 0.0f);
    EXPECT_EQ(messageLog->y, 0.0f);
    EXPECT_EQ(uiWidth, 2048.0f);
}

TEST_F(CallbacksTest, CloseErrorAndGlslMessages)
{
    pendingFrames = 2;
    windowCloseCallback(window);
    EXPECT_TRUE(quitFlag);
    EXPECT_TRUE(stopFlag);
    EXPECT_EQ(pendingFrames, 2);

    testing::internal::CaptureStderr();
    errorCallback(65544, "X11: The DISPLAY environment variable is missing");
    errorCallback(1, nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Error: X11: The DISPLAY environment variable is missing\nError: \n");

    printNoGLSL();
    EXPECT_EQ(takeOutput(), "OpenGL Shading Language extensions not available\n");
}

} // namespace
