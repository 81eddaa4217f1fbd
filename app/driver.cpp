#include "app/driver.h"

#include "core/fractal_list.h"
#include "core/globals.h"
#include "display/render_scene.h"
#include "menus/benchmark_start.h"
#include "platform/x87.h"

#include <GLFW/glfw3.h>

ZoomBounds<long double> zoomTarget;
ZoomBounds<double> zoomDelta;
int32_t cyclePreviousIndex = 0;

namespace {

// The record at an index, or null when the index is outside the list (a failed load can
// leave it empty, and a load during cycling can shrink it under cyclePreviousIndex).
const FractalRecord* recordAt(int32_t index)
{
    if (index < 0 || static_cast<size_t>(index) >= fractalList.size())
        return nullptr;
    return &fractalList[static_cast<size_t>(index)];
}

// One twentieth of the way from a bound to its target, kept as a double.
double stepTowards(long double from, long double to)
{
    return static_cast<double>((to - from) / zoomPassCount);
}

// True when two records show the same part of the plane.
bool sameView(const FractalRecord& a, const FractalRecord& b)
{
    return a.maxX == b.maxX && a.minX == b.minX && a.maxY == b.maxY && a.minY == b.minY;
}

// Starts a 20-pass animation from one record's bounds to another's.
void startAnimation(const FractalRecord& from, const FractalRecord& to)
{
    zoomSteps = zoomPassCount;
    zoomDelta.maxX = stepTowards(from.maxX, to.maxX);
    zoomDelta.maxY = stepTowards(from.maxY, to.maxY);
    zoomDelta.minX = stepTowards(from.minX, to.minX);
    zoomDelta.minY = stepTowards(from.minY, to.minY);
    zoomAnimating = true;
}

// Ends the animation; without cycling the driver rests.
void endDriving()
{
    endZoomAnimation();
    if (cycleDirection == 0)
        zoomRequested = false;
}

// Turns the rubber band into a copy of the current record with the band's bounds, appends it
// and starts the animation towards it.
void zoomSetUp()
{
    std::lock_guard lock(fractalListMutex);
    const FractalRecord* current = recordAt(currentFractalIndex);
    if (current == nullptr) {
        endDriving();
        return;
    }
    zoomAnimating = true;
    setCurrentFractal(*current);

    const long double width = imageWidth;
    const long double height = imageHeight;
    const long double dX = viewMaxX - viewMinX;
    const long double dY = viewMaxY - viewMinY;
    // NOTE: the pixel fraction is rounded to double before it scales the extended-precision span.
    for (long double* x : {&zoomTarget.maxX, &zoomTarget.minX})
        *x = static_cast<double>(*x / width) * dX + viewMinX;
    for (long double* y : {&zoomTarget.maxY, &zoomTarget.minY})
        *y = static_cast<double>(*y / height) * dY + viewMinY;

    FractalRecord zoomed = *current;
    zoomed.maxX = zoomTarget.maxX;
    zoomed.minX = zoomTarget.minX;
    zoomed.maxY = zoomTarget.maxY;
    zoomed.minY = zoomTarget.minY;
    // The view holds exactly the source record's bounds here.
    startAnimation(*current, zoomed);
    fractalList.push_back(zoomed);
    currentFractalIndex = static_cast<int32_t>(fractalList.size()) - 1;
    redrawRequested = true;
}

// Moves the view one step and leaves it for the frame pipeline; the last pass shows the record.
void animationPass()
{
    viewMaxX += zoomDelta.maxX;
    viewMaxY += zoomDelta.maxY;
    viewMinX += zoomDelta.minX;
    viewMinY += zoomDelta.minY;
    {
        std::lock_guard lock(renderQueueMutex);
        lastQueuedFractal.maxX = viewMaxX;
        lastQueuedFractal.minX = viewMinX;
        lastQueuedFractal.maxY = viewMaxY;
        lastQueuedFractal.minY = viewMinY;
    }
    zoomSteps -= 1;
    if (zoomSteps > 0)
        return;

    std::lock_guard lock(fractalListMutex);
    if (const FractalRecord* target = recordAt(currentFractalIndex)) {
        setCurrentFractal(*target);
        queueFractal(*target);
    }
    endDriving();
}

// Steps through the list in cycleDirection: records that share an id but not their view are
// animated between, others jumped to; at an end the direction turns, or the benchmark ends.
void listStep()
{
    std::lock_guard lock(fractalListMutex);
    cyclePreviousIndex = currentFractalIndex;
    if (!selectFractal(cycleDirection, false)) {
        if (benchmarkActive) {
            benchmarkEnd();
            selectFractal(0, false);
        } else {
            cycleDirection = -cycleDirection;
            selectFractal(cycleDirection, false);
        }
        redrawRequested = true;
    }

    const FractalRecord* current = recordAt(currentFractalIndex);
    if (current == nullptr) {
        cycleDirection = 0;
        endDriving();
        return;
    }
    // NOTE: records of one view are jumped to: every in-between frame would be the new one.
    const FractalRecord* previous = recordAt(cyclePreviousIndex);
    if (previous != nullptr && previous->id == current->id && !sameView(*previous, *current)) {
        startAnimation(*previous, *current);
        return;
    }
    setCurrentFractal(*current);
    queueFractal(*current);
    redrawRequested = true;
    // A benchmark ended at the list's end: its last record is shown once more, then the driver
    // rests.
    if (cycleDirection == 0)
        endDriving();
}

// True when the next list step of a benchmark finds the end of the list, where it ends.
bool benchmarkAtListEnd()
{
    if (!benchmarkActive || cycleDirection == 0 || zoomAnimating)
        return false;
    std::lock_guard lock(fractalListMutex);
    const int32_t next = currentFractalIndex + cycleDirection;
    return currentFractalIndex < 0 || next < 0 || static_cast<size_t>(next) >= fractalList.size();
}

} // namespace

void runMainLoop(GLFWwindow* window)
{
    while (!glfwWindowShouldClose(window) && !quitFlag) {
        driverStep();
        renderScene();
        glfwPollEvents();
        if (quitFlag)
            break;
    }
}

void driverStep()
{
    if (!zoomRequested)
        return;
    int32_t pending;
    {
        std::lock_guard lock(pendingFramesMutex);
        pending = pendingFrames;
    }
    // NOTE: the total must hold the frames of the last records, which are still pending when
    // the list step reaches the end.
    if (pending <= 3 && !(pending > 0 && benchmarkAtListEnd()))
        driverPass();
}

void driverPass()
{
    setX87Precision(X87Precision::Extended);
    if (quitFlag) {
        cycleDirection = 0;
        return;
    }
    if (cycleDirection != 0) {
        redrawRequested = true;
        if (!zoomAnimating)
            listStep();
    } else if (!zoomAnimating) {
        zoomSetUp();
    }
    if (zoomAnimating)
        animationPass();

    std::lock_guard lock(pendingFramesMutex);
    pendingFrames += 1;
}
