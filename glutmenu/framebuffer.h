// The framebuffer size that mouse positions are scaled by and forms are centred in.
// Main thread only.
#pragma once

struct GLFWwindow;

struct FramebufferSize {
    int width = 0;
    int height = 0;
};

// The window's framebuffer size; without a window the size of the menu units (uiWidth x uiHeight),
// which the window-size callback keeps equal to the framebuffer.
FramebufferSize framebufferSize(GLFWwindow* window);
