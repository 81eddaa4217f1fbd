#include "display/window_title.h"

#include "core/globals.h"

#include <GLFW/glfw3.h>

std::string updateWindowTitle()
{
    // The path ends at its first NUL, as a C string would.
    const std::string path(currentFilePath.c_str());

    GLint red = 0;
    GLint green = 0;
    GLint blue = 0;
    if (glfwGetCurrentContext() != nullptr) {
        glGetIntegerv(GL_RED_BITS, &red);
        glGetIntegerv(GL_GREEN_BITS, &green);
        glGetIntegerv(GL_BLUE_BITS, &blue);
    }
    tenBitColour = isTenBitColour(red, green, blue);
    return windowTitleText(tenBitColour, path);
}

bool isTenBitColour(int redBits, int greenBits, int blueBits)
{
    return redBits == 10 && greenBits == 10 && blueBits == 10;
}

std::string windowTitleText(bool tenBit, const std::string& path)
{
    return "Tessaly with OpenCL V" + versionString + (tenBit ? " (10" : " (8") +
           "-bits per channel) :" + path;
}
