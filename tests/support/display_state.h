// The shared reset of the globals (tests/support/global_state.h) with the values of the
// display and of the layers it builds on, the OpenCL backend and the menu toolkit, added: for
// the display's and the application's tests.
#pragma once

#include "display/frame_compute.h"
#include "display/frame_step.h"
#include "display/render_scene.h"
#include "glutmenu/metrics.h"
#include "opencl/cl_globals.h"
#include "tests/support/global_state.h"

#include <mutex>

// resetGlobalState; the OpenCL flags and the shared-texture ring, no hidden window; the menu
// metrics at their start; the frame step computing on the CPU pool with no device, every
// computed buffer back among the free ones, no rubber band, no main window and no scroll
// callback for renderScene to put back. The display's OpenGL objects belong to the context that
// made them: the fixture that makes them destroys them.
inline void resetDisplayState()
{
    resetGlobalState();

    maxWorkGroupSize = 16;
    clUseDouble = 0;
    interopActive = false;
    clReady = false;
    clRebuildRequested = false;
    interopTextureCount = 2;
    interopTextureIndex = 0;
    interopFrameCount = 1;
    clWindow = nullptr;

    uiWidth = uiHeight = 100.0f;
    uiScaleX = uiScaleY = 1.0f;
    fontScaleX = fontScaleY = 1.0f;
    lineHeight = 15.0f;
    caretVisible = true;
    windowStartWidth = windowStartHeight = 0;

    frameCompute = cpuOnlyCompute();
    {
        std::lock_guard lock(bufferMutex);
        while (!readyBuffers.empty()) {
            freeBuffers.push_back(std::move(readyBuffers.front()));
            readyBuffers.pop_front();
        }
    }
    rubberBand = RubberBand{};
    window = nullptr;
    sceneScrollCallback = nullptr;
}
