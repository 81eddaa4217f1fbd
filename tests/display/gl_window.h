// A real GLFW window for OpenGL tests: one per test process, with a compatibility context on
// Mesa's software renderer, current on the main thread and kept until the process ends (as
// the program keeps its main window), so the display's objects can be deleted at exit.
#pragma once

#include <GL/gl.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>

namespace testgl {

constexpr int windowWidth = 256;
constexpr int windowHeight = 256;

// Opens the process's test window on first use and makes its context current.
inline GLFWwindow* window()
{
    static GLFWwindow* const shared = [] {
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
        if (glfwInit() != GLFW_TRUE)
            return static_cast<GLFWwindow*>(nullptr);
        glfwDefaultWindowHints();
        glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
        glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_ANY_PROFILE);
        return glfwCreateWindow(windowWidth, windowHeight, "Tessaly test", nullptr, nullptr);
    }();
    if (shared != nullptr)
        glfwMakeContextCurrent(shared);
    return shared;
}

// The RGB bytes of one pixel of the current read buffer, y counted from the top.
// NOTE: read GL_BACK, also after glfwSwapBuffers: Mesa's software path keeps the back buffer,
// while the front buffer of this window reads back black.
inline std::array<uint8_t, 3> pixelAt(int x, int yFromTop)
{
    std::array<uint8_t, 3> rgb{};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, windowHeight - 1 - yFromTop, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

// Fixture for tests that draw: the window's context is current and the viewport covers it.
class GLWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(window(), nullptr) << "no GLFW window: run under xvfb-run";
        glViewport(0, 0, windowWidth, windowHeight);
        glReadBuffer(GL_BACK);
        glDrawBuffer(GL_BACK);
    }
};

} // namespace testgl
