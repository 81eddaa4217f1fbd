// Drawing one frame of the main window: the iteration image through the palette, the rubber
// band, the menus and the message logs, then the buffer swap. Main thread only.
#pragma once

#include "platform/frame_pacer.h"

#include <GLFW/glfw3.h>

#include <cstdint>
#include <memory>

extern GLFWwindow* window;   // the main window

// The zoom selection, in window coordinates truncated toward zero.
struct RubberBand {
    bool selecting = false; // between a left press and its release
    bool dragging = false;  // the band follows the cursor
    bool moved = false;     // the cursor moved since the press: the band is drawn
    int32_t startX = 0, startY = 0;
    int32_t endX = 0, endY = 0;
    int32_t currentX = 0, currentY = 0;
};
extern RubberBand rubberBand;

// The scroll callback that renderScene installs again after each buffer swap.
extern GLFWscrollfun sceneScrollCallback;

// RGBA staging image of the palette emulation; made on its first use.
extern std::unique_ptr<uint16_t[]> emulationBuffer;

// Holds renderScene to the display's refresh rate where the buffer swap returns at once;
// start-up gives it the primary monitor's rate.
extern FramePacer swapPacer;

// Draws the scene and swaps the buffers, then waits out the rest of the refresh period when the
// swap did not; in synchronous mode it also runs the frame step.
void renderScene();
