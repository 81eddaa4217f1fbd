// Hidden GLFW windows whose OpenGL context is current, for tests that draw and read pixels back
// (run under Xvfb with Mesa's software renderer): one for the length of a test, or one for the
// rest of the process (as the program keeps its main window, so the display's objects can be
// deleted at exit).
#pragma once

#include <GL/gl.h>
#include <GL/glu.h>
#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

// Opens a hidden window with a compatibility context and makes its context current; null
// without a display.
inline GLFWwindow* openHiddenWindow(int width, int height, const char* title)
{
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    glfwSetErrorCallback([](int code, const char* description) {
        std::fprintf(stderr, "GLFW error 0x%x: %s\n", code, description);
    });
    if (glfwInit() != GLFW_TRUE)
        return nullptr;
    glfwDefaultWindowHints();
    glfwWindowHint(GLFW_VISIBLE, GLFW_FALSE);
    glfwWindowHint(GLFW_OPENGL_PROFILE, GLFW_OPENGL_ANY_PROFILE);
    GLFWwindow* window = glfwCreateWindow(width, height, title, nullptr, nullptr);
    if (window != nullptr)
        glfwMakeContextCurrent(window);
    return window;
}

class HiddenWindow {
public:
    HiddenWindow(int width, int height)
        : window(openHiddenWindow(width, height, "test")), width(width), height(height)
    {
    }
    ~HiddenWindow()
    {
        if (window == nullptr)
            return;
        glfwMakeContextCurrent(nullptr);
        glfwDestroyWindow(window);
    }
    HiddenWindow(const HiddenWindow&) = delete;
    HiddenWindow& operator=(const HiddenWindow&) = delete;

    // Clears to black and sets the overlay projection: framebuffer pixels, y downward.
    void beginOverlay() const
    {
        glViewport(0, 0, width, height);
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluOrtho2D(0, width, 0, height);
        glScalef(1.0f, -1.0f, 1.0f);
        glTranslatef(0.0f, static_cast<float>(-height), 0.0f);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    }

    // The red channel of the back buffer, row 0 at the top.
    std::vector<uint8_t> readRed() const
    {
        glFinish();
        std::vector<uint8_t> bottomUp(static_cast<size_t>(width) * height);
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, width, height, GL_RED, GL_UNSIGNED_BYTE, bottomUp.data());
        std::vector<uint8_t> topDown(bottomUp.size());
        for (int row = 0; row < height; ++row)
            for (int col = 0; col < width; ++col)
                topDown[static_cast<size_t>(row) * width + col] =
                    bottomUp[static_cast<size_t>(height - 1 - row) * width + col];
        return topDown;
    }

    GLFWwindow* window = nullptr;
    int width;
    int height;
};

// The rows (top-down) and columns that hold any lit pixel.
struct LitBox {
    int top = -1, bottom = -1, left = -1, right = -1;
    bool empty() const { return top < 0; }
    int rows() const { return empty() ? 0 : bottom - top + 1; }
};

inline LitBox litBox(const std::vector<uint8_t>& red, int width, int height, int fromRow = 0,
                     int toRow = -1)
{
    LitBox box;
    if (toRow < 0)
        toRow = height;
    for (int row = fromRow; row < toRow; ++row)
        for (int col = 0; col < width; ++col) {
            if (red[static_cast<size_t>(row) * width + col] == 0)
                continue;
            if (box.top < 0 || row < box.top)
                box.top = row;
            box.bottom = row;
            if (box.left < 0 || col < box.left)
                box.left = col;
            if (col > box.right)
                box.right = col;
        }
    return box;
}

namespace testgl {

constexpr int windowWidth = 256;
constexpr int windowHeight = 256;

// Opens the process's test window on first use and makes its context current.
inline GLFWwindow* window()
{
    static GLFWwindow* const shared = openHiddenWindow(windowWidth, windowHeight, "Tessaly test");
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

// Fixture for tests that draw in the process's window: its context is current and the
// viewport covers it.
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
