#include "platform/gl_proc.h"

#include <GLFW/glfw3.h>

GLProc glProcAddress(const char* name)
{
    return glfwGetProcAddress(name);
}
