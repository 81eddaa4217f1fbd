// A close of a window asked for by the window manager, seen without handling any event.
#pragma once

struct GLFWwindow;

// True when a request to close the window waits among its events. Every event stays queued for
// the next glfwPollEvents, so no callback runs here. Main thread.
bool windowCloseWaiting(GLFWwindow* window);
