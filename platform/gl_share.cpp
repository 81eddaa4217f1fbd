#include "platform/gl_share.h"

#define GLFW_EXPOSE_NATIVE_X11
#define GLFW_EXPOSE_NATIVE_GLX
#include <GLFW/glfw3.h>
#include <GLFW/glfw3native.h>

GLShareHandles glShareHandles(GLFWwindow* window)
{
    GLShareHandles handles;
    if (window == nullptr)
        return handles;
    handles.glContext = reinterpret_cast<void*>(glfwGetGLXContext(window));
    handles.display = static_cast<void*>(glfwGetX11Display());
    return handles;
}
