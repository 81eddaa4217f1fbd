// The main loop and its driver: the zoom animation, list cycling and the benchmark.
// Main thread only.
#pragma once

struct GLFWwindow;

#include <cstdint>

constexpr int zoomPassCount = 20;

// The four bounds of a view, or the change of each per animation pass.
template <typename Real>
struct ZoomBounds {
    Real maxX = 0, maxY = 0, minX = 0, minY = 0;
};

extern ZoomBounds<long double> zoomTarget; // the rubber band: image pixels, then plane coordinates
extern ZoomBounds<double> zoomDelta;       // the change of the view per pass
extern int32_t cyclePreviousIndex;         // the current index before the last list step

// Runs until the window is asked to close or quitFlag is set: a driver step, the scene, events.
void runMainLoop(GLFWwindow* window);

// One driver pass when one is requested and at most 3 frames are pending; a benchmark at the
// end of its list waits until every pending frame is computed.
void driverStep();

// One driver pass: zoom set-up, list step and animation pass as the driver state asks.
void driverPass();
