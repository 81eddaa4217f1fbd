#include "tests/app/test_support.h"

#include "tests/support/no_opencl.h"

#include "app/callbacks.h"
#include "app/driver.h"
#include "glutmenu/glut_menu.h"
#include "glutmenu/text_input.h"
#include "tests/support/display_state.h"
#include "tests/support/hidden_window.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <cstdio>

const char* const expectedHelpText =
    "CL Tessaly V2.0\n"
    "\n"
    "--cpuN      forces CPU mode with N threads. N should ideally be set to the number of CPU cores\n"
    "--deviceN   forces app to run on OpenCL device N\n"
    "--list      lists available OpenCL devices\n"
    "--single    forces single precision (default for GPUs without double precision)\n"
    "--extended  forces 80-bit x87 precision (CPU only)\n"
    "--32bit\n"
    "--30bit\n"
    "--10bit     Enables 10 bits per channel (RGBA 10:10:10:2, instead of 8:8:8:8)\n"
    "            (where available, otherwise will fallback to 8:8:8:8\n"
    "--24bit\n"
    "--bench:filename runs a benchmark of the fractal set specified in filename\n"
    "--help      displays this information\n"
    "--nogl2     Force app to run in OpenGL 1.2 mode without shaders.\n"
    "--interop   Allows supported CL GPU devices to use memory sharing OpenGL 2.0 mode.\n"
    "--nointerop Disables support for CL GPU devices to use meory sharing OpenGL 2.0 mode.\n"
    "--async     (Default) the rendering thread runs independently of the compute queue\n"
    "            (slower compute/app menus more responsive)\n"
    "--sync      the rendering thread runs blocks until he compute queue finished.\n"
    "            (faster compute/app menus less responsive)\n";

GLFWwindow* testWindow()
{
    static GLFWwindow* const window = openHiddenWindow(1024, 768, "test");
    return window;
}

GLFWwindow* pointerWindow()
{
    static GLFWwindow* window = [] {
        if (testWindow() == nullptr)
            return static_cast<GLFWwindow*>(nullptr);
        glfwDefaultWindowHints();
        glfwWindowHint(GLFW_DECORATED, GLFW_FALSE);
        GLFWwindow* made = glfwCreateWindow(1024, 768, "pointer", nullptr, nullptr);
        if (made != nullptr) {
            glfwSetWindowPos(made, 0, 0);
            glfwPollEvents();
        }
        glfwMakeContextCurrent(testWindow());
        return made;
    }();
    return window;
}

void resetShellState()
{
    resetDisplayState();
    zoomSteps = 1;
    zoomTarget = {};
    zoomDelta = {};
    cyclePreviousIndex = 0;
    scrollAccumulator = 0;

    menuBar.window = nullptr;
    menuBar.visible = false;
    menuBar.itemChosen = false;
    menuBar.selectedItem = -1;
    menuBar.highlighted = 0;
    menuBar.horizontal = false;
    menuBar.x = -1.0f;
    menuBar.y = -1.0f;
    menuBar.labels.clear();
    menuBar.subMenus.clear();
    menuBar.subMenuOpen = false;
    menuBar.checked.clear();
    menuBar.enabled.clear();
    menuBar.callback = nullptr;

    activeTextInput = nullptr;
    openTextInputs = 0;
    infoForm.window = nullptr;
    infoForm.previous = nullptr;
}

void ShellTest::SetUp()
{
    resetShellState();
    testing::internal::CaptureStdout();
}

void ShellTest::TearDown()
{
    const std::string rest = testing::internal::GetCapturedStdout();
    if (HasFailure())
        std::fputs(rest.c_str(), stdout); // gtest's own failure messages were captured too
    resetShellState();
}

std::string ShellTest::takeOutput()
{
    std::string text = testing::internal::GetCapturedStdout();
    testing::internal::CaptureStdout();
    return text;
}

namespace {

// The shell's in-process tests mean "no OpenCL device": the loader finds no platform.
class NoOpenCLEnvironment : public testing::Environment {
public:
    void SetUp() override { hideOpenCLPlatforms(); }
};

[[maybe_unused]] testing::Environment* const noOpenCL =
    testing::AddGlobalTestEnvironment(new NoOpenCLEnvironment);

} // namespace
