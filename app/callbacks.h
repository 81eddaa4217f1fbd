// The main window's callbacks and the input state they keep. GLFW calls them on the main thread
// from glfwPollEvents; the error callback also from other GLFW calls of the calling thread.
#pragma once

#include "display/render_scene.h"

#include <cstdint>
#include <cstdio>

// Sum of the wheel offsets since the last list step.
extern int32_t scrollAccumulator;

// Shift with Right, Left, Home and End steps through the fractal list; other keys go to the menus.
void keyCallback(GLFWwindow* window, int key, int scancode, int action, int mods);

// Left button in zoom mode: press starts the rubber band, release elsewhere requests the zoom.
void mouseButtonCallback(GLFWwindow* window, int button, int action, int mods);

// Moves the rubber band's free corner and holds the frame pipeline while dragging.
void cursorPosCallback(GLFWwindow* window, double x, double y);

// Wheel up steps back, wheel down forward, once per five notches and displayed frame.
void scrollCallback(GLFWwindow* window, double xoffset, double yoffset);

// Window-size callback: lays the menus, font and message log out for the framebuffer's size.
void ReshapeCallback(GLFWwindow* window, int width, int height);

// ReshapeCallback for a framebuffer of w x h; 0 x 0 is a minimised window.
void reshapeFramebuffer(GLFWwindow* window, int w, int h);

// Asks the main loop, the compute thread and the OpenCL set-up thread to end.
void windowCloseCallback(GLFWwindow* window);

// The main thread's look while it waits for a frame it computes: a close of the main window
// waiting among its events is taken as windowCloseCallback takes it, and no other event is
// handled before the frame ends.
void lookForWindowClose();

// GLFW's error callback: the description on standard error.
void errorCallback(int code, const char* description);

// Writes "Error: " and the description as one line to the stream.
void printError(std::FILE* stream, const char* description);

// Says on standard output that the shading-language extensions are missing.
void printNoGLSL();
