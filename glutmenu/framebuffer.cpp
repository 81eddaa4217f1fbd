#include "glutmenu/framebuffer.h"

#include "glutmenu/metrics.h"

#include <GLFW/glfw3.h>

FramebufferSize framebufferSize(GLFWwindow* window)
{
    FramebufferSize size;
    if (window == nullptr) {
        size.width = static_cast<int>(uiWidth);
        size.height = static_cast<int>(uiHeight);
        return size;
    }
    glfwGetFramebufferSize(window, &size.width, &size.height);
    return size;
}
