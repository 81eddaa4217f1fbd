// The native handles that an OpenCL context needs to share objects with an OpenGL context.
#pragma once

struct GLFWwindow;

struct GLShareHandles {
    void* glContext = nullptr; // the window's GLX context
    void* display = nullptr;   // the X display it lives on
};

// The GLX context of the window and the X display of the windowing library; null handles when
// there is no window or the library runs without X.
GLShareHandles glShareHandles(GLFWwindow* window);
