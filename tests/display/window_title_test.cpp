#include "core/globals.h"
#include "display/window_title.h"
#include "tests/support/hidden_window.h"

#include <gtest/gtest.h>

TEST(WindowTitle, NamesVersionDepthAndPath)
{
    EXPECT_EQ(windowTitleText(false, ""), "Tessaly with OpenCL V2.0 (8-bits per channel) :");
    EXPECT_EQ(windowTitleText(true, "/home/ada/zoom.frac2"),
              "Tessaly with OpenCL V2.0 (10-bits per channel) :/home/ada/zoom.frac2");
    EXPECT_TRUE(isTenBitColour(10, 10, 10));
    EXPECT_FALSE(isTenBitColour(10, 10, 8));
    EXPECT_FALSE(isTenBitColour(8, 8, 8));
    EXPECT_FALSE(isTenBitColour(16, 16, 16));
    EXPECT_FALSE(isTenBitColour(0, 0, 0));
}

TEST(WindowTitle, ReadsTheDepthOfTheCurrentContext)
{
    HiddenWindow gl(64, 64);
    ASSERT_NE(gl.window, nullptr);

    // Before the window's context is current every depth reads 0.
    glfwMakeContextCurrent(nullptr);
    currentFilePath.clear();
    tenBitColour = true;
    EXPECT_EQ(updateWindowTitle(), "Tessaly with OpenCL V2.0 (8-bits per channel) :");
    EXPECT_FALSE(tenBitColour);

    // The virtual screen has 8 bits per channel.
    glfwMakeContextCurrent(gl.window);
    GLint redBits = 0;
    glGetIntegerv(GL_RED_BITS, &redBits);
    ASSERT_EQ(redBits, 8);
    tenBitColour = true;
    currentFilePath = "/home/ad\xC3\xA5/Fraktale \xE6\x9B\xBC\xE5\x8F\xB3.frac";
    const std::string title = updateWindowTitle();
    EXPECT_EQ(title, "Tessaly with OpenCL V2.0 (8-bits per channel) :/home/ad\xC3\xA5/Fraktale "
                     "\xE6\x9B\xBC\xE5\x8F\xB3.frac");
    EXPECT_FALSE(tenBitColour);
    glfwSetWindowTitle(gl.window, title.c_str());

    // The path ends at its first NUL.
    currentFilePath = std::string("/tmp/a.frac\0junk", 16);
    EXPECT_EQ(updateWindowTitle(), "Tessaly with OpenCL V2.0 (8-bits per channel) :/tmp/a.frac");
    currentFilePath.clear();
}
