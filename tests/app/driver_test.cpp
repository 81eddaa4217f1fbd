#include "app/app_hooks.h"
#include "app/driver.h"
#include "core/fractal_list.h"
#include "core/globals.h"
#include "platform/x87.h"
#include "tests/app/test_support.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <cmath>

namespace {

class DriverTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        appHooks.addInfoLogLine = [this](const std::string& line) { infoLines.push_back(line); };
        appHooks.requestKernelRebuild = [this] { ++rebuilds; };
        appHooks.untickSynchronousMode = [this] { ++unticks; };
    }

    // Appends a record zoomed from another: same id and name, other bounds.
    void appendZoomedFrom(size_t source, long double minX, long double maxX)
    {
        FractalRecord zoomed = fractalList[source];
        zoomed.minX = minX;
        zoomed.maxX = maxX;
        zoomed.minY = minX / 2;
        zoomed.maxY = maxX / 2;
        fractalList.push_back(zoomed);
    }

    int32_t pending()
    {
        std::lock_guard lock(pendingFramesMutex);
        return pendingFrames;
    }

    std::vector<std::string> infoLines;
    int rebuilds = 0;
    int unticks = 0;
};

TEST_F(DriverTest, RubberBandZoomTakesTwentyPassesAndEndsOnTheRecord)
{
    newFractal(Mandelbrot, 0);
    newFractal(Julia, 0);
    newFractal(Sine, 0);
    currentFractalIndex = 0; // an earlier record is current; the view globals are still Sine's
    renderQueue.clear();
    pendingFrames = 0;

    zoomTarget[ZoomMinX] = 512;
    zoomTarget[ZoomMaxX] = 1536;
    zoomTarget[ZoomMinY] = 133.33334f; // a band's edge as the mouse callback stores it
    zoomTarget[ZoomMaxY] = 2048;
    zoomRequested = true;
    setX87Precision(X87Precision::Single);

    driverPass();
    EXPECT_EQ(x87ControlWord() & 0xF00, 0x300) << "extended precision, round to nearest";
    ASSERT_EQ(fractalList.size(), 4u) << "the zoomed record goes to the end of the list";
    EXPECT_EQ(currentFractalIndex, 3);
    const FractalRecord& zoomed = fractalList[3];
    EXPECT_EQ(zoomed.id, fractalList[0].id);
    EXPECT_EQ(zoomed.name, "Mandelbrot");
    EXPECT_EQ(zoomed.minX, -1.0L);
    EXPECT_EQ(zoomed.maxX, 1.0L);
    EXPECT_EQ(zoomed.maxY, 1.5L);
    EXPECT_EQ(zoomed.minY, static_cast<long double>(133.33334f) / 2048 * 3 - 1.5L);
    EXPECT_EQ(zoomDelta[ZoomMinX], 0.05);
    EXPECT_EQ(zoomDelta[ZoomMaxX], -0.05);
    EXPECT_EQ(zoomDelta[ZoomMaxY], 0.0);
    EXPECT_EQ(viewMinX, -2.0L + 0.05) << "pass 1 starts from the source record's view";
    EXPECT_TRUE(redrawRequested);
    {
        std::lock_guard lock(renderQueueMutex);
        EXPECT_TRUE(renderQueue.empty()) << "in-between frames go through lastQueuedFractal";
        EXPECT_EQ(lastQueuedFractal.minX, viewMinX);
        EXPECT_EQ(lastQueuedFractal.maxY, viewMaxY);
    }

    for (int pass = 2; pass < zoomPassCount; ++pass)
        driverPass();
    EXPECT_TRUE(zoomAnimating);
    EXPECT_EQ(zoomSteps, 1);
    EXPECT_NEAR(static_cast<double>(viewMinX), -1.05, 1e-12);
    EXPECT_TRUE(renderQueue.empty());

    driverPass();
    EXPECT_FALSE(zoomAnimating);
    EXPECT_FALSE(zoomRequested);
    EXPECT_EQ(viewMinX, -1.0L);
    EXPECT_EQ(viewMaxX, 1.0L);
    EXPECT_EQ(viewMinY, zoomed.minY);
    EXPECT_EQ(viewMaxY, 1.5L);
    EXPECT_EQ(fractalType, Mandelbrot);
    ASSERT_EQ(renderQueue.size(), 1u);
    EXPECT_EQ(renderQueue.back().minX, -1.0L);
    EXPECT_EQ(pending(), zoomPassCount);

    // Idle now: no pass is requested.
    driverStep();
    EXPECT_EQ(pending(), zoomPassCount);
}

TEST_F(DriverTest, CyclingAnimatesWithinAnIdAndJumpsBetweenIds)
{
    newFractal(Mandelbrot, 0);       // K
    appendZoomedFrom(0, -1.0L, 1.0L); // L, zoomed from K
    newFractal(Julia, 0);            // M, unrelated
    currentFractalIndex = 0;
    setCurrentFractal(fractalList[0]);
    renderQueue.clear();
    pendingFrames = 0;
    cycleDirection = 1;
    zoomRequested = true;

    driverPass(); // K to L: animation
    EXPECT_EQ(currentFractalIndex, 1);
    EXPECT_TRUE(zoomAnimating);
    EXPECT_EQ(zoomDelta[ZoomMinX], 0.05);
    EXPECT_EQ(viewMaxX, 2.0L - 0.05) << "the view has not jumped";
    EXPECT_EQ(pending(), 2);
    for (int pass = 2; pass <= zoomPassCount; ++pass)
        driverPass();
    EXPECT_FALSE(zoomAnimating);
    EXPECT_TRUE(zoomRequested) << "cycling goes on";
    EXPECT_EQ(viewMaxX, 1.0L);

    renderQueue.clear();
    pendingFrames = 0;
    driverPass(); // L to M: jump
    EXPECT_EQ(currentFractalIndex, 2);
    EXPECT_FALSE(zoomAnimating);
    EXPECT_EQ(fractalType, Julia);
    EXPECT_EQ(viewMaxX, 1.5L);
    EXPECT_EQ(renderQueue.size(), 2u) << "a jump queues the record twice";
    EXPECT_EQ(pending(), 2);

    renderQueue.clear();
    pendingFrames = 0;
    driverPass(); // M is last: turn, jump back to L
    EXPECT_EQ(cycleDirection, -1);
    EXPECT_EQ(currentFractalIndex, 1);
    EXPECT_FALSE(zoomAnimating);
    EXPECT_EQ(viewMaxX, 1.0L);
    EXPECT_EQ(pending(), 3);

    driverPass(); // L to K: animation
    EXPECT_EQ(currentFractalIndex, 0);
    EXPECT_TRUE(zoomAnimating);
    for (int pass = 2; pass <= zoomPassCount; ++pass)
        driverPass();
    EXPECT_EQ(viewMaxX, 2.0L);

    driverPass(); // K is first: turn, animate to L again
    EXPECT_EQ(cycleDirection, 1);
    EXPECT_EQ(currentFractalIndex, 1);
    EXPECT_TRUE(zoomAnimating);
}

TEST_F(DriverTest, SingleRecordCyclesWithZeroDeltaAnimations)
{
    newFractal(Mandelbrot, 0);
    cycleDirection = 1;
    zoomRequested = true;
    driverPass();
    EXPECT_EQ(cycleDirection, -1);
    EXPECT_TRUE(zoomAnimating);
    EXPECT_EQ(zoomDelta[ZoomMaxX], 0.0);
    for (int pass = 2; pass <= zoomPassCount; ++pass)
        driverPass();
    EXPECT_FALSE(zoomAnimating);
    driverPass();
    EXPECT_EQ(cycleDirection, 1);
    EXPECT_EQ(currentFractalIndex, 0);
}

TEST_F(DriverTest, BenchmarkEndsOnceAtTheEndOfTheList)
{
    newFractal(Mandelbrot, 0);
    newFractal(Julia, 0);
    newFractal(Sine, 0);
    currentFractalIndex = 0;
    benchmarkActive = true;
    cycleDirection = 1;
    zoomRequested = true;
    syncMode = true;
    useInterop = true;
    savedUseInterop = false;
    totalRenderTime = 12345678900;
    takeOutput();

    int passes = 0;
    while (zoomRequested && passes < 100) {
        driverPass();
        ++passes;
    }
    const std::string out = takeOutput();
    EXPECT_EQ(passes, 2 + zoomPassCount) << "two jumps, then 20 passes over the last record";
    EXPECT_EQ(currentFractalIndex, 2);
    EXPECT_EQ(cycleDirection, 0);
    size_t first = out.find("Total rendering time 12.3457 s\n");
    ASSERT_NE(first, std::string::npos) << out;
    EXPECT_EQ(out.find("Total rendering time", first + 1), std::string::npos);
    EXPECT_EQ(infoLines, std::vector<std::string>{"Total rendering time 12.3457 s"});
    EXPECT_EQ(totalRenderTime, 0u);
    EXPECT_FALSE(benchmarkActive);
    EXPECT_FALSE(syncMode);
    EXPECT_FALSE(useInterop) << "restored";
    EXPECT_EQ(unticks, 1);
    EXPECT_EQ(rebuilds, 0);
}

TEST_F(DriverTest, BenchmarkEndRestoresOnlyOnADevice)
{
    // "--bench:" saves nothing: on a device the end compares with the defaults.
    deviceId = 0;
    useInterop = false;
    totalRenderTime = 500000000;
    benchmarkEnd();
    EXPECT_EQ(takeOutput(), "Total rendering time 0.5 s\n");
    EXPECT_TRUE(useInterop);
    EXPECT_EQ(rebuilds, 1);

    deviceId = -1;
    interopActive = true;
    benchmarkEnd();
    EXPECT_EQ(rebuilds, 2);
    EXPECT_EQ(takeOutput(), "Total rendering time 0 s\n");

    cpuMode = true;
    useInterop = false;
    savedUseInterop = true;
    benchmarkEnd();
    EXPECT_FALSE(useInterop);
    EXPECT_EQ(rebuilds, 2);
    EXPECT_EQ(unticks, 3);
}

TEST_F(DriverTest, NeverReadsOutsideTheList)
{
    // A zoom with no record: nothing is appended and the driver rests.
    zoomRequested = true;
    driverPass();
    EXPECT_TRUE(fractalList.empty());
    EXPECT_FALSE(zoomRequested);
    EXPECT_FALSE(zoomAnimating);

    // Cycling over an empty list stops.
    cycleDirection = 1;
    zoomRequested = true;
    driverPass();
    EXPECT_EQ(cycleDirection, 0);
    EXPECT_FALSE(zoomRequested);

    // A benchmark over an empty list reports once and rests.
    benchmarkActive = true;
    cycleDirection = 1;
    zoomRequested = true;
    takeOutput();
    driverPass();
    EXPECT_EQ(takeOutput(), "Total rendering time 0 s\n");
    EXPECT_FALSE(zoomRequested);
    EXPECT_FALSE(benchmarkActive);

    // The list emptied in the middle of an animation: it ends without showing a record.
    newFractal(Mandelbrot, 0);
    zoomTarget[ZoomMaxX] = 1024;
    zoomTarget[ZoomMaxY] = 1024;
    zoomRequested = true;
    driverPass();
    fractalList.clear();
    currentFractalIndex = -1;
    renderQueue.clear();
    for (int pass = 2; pass <= zoomPassCount; ++pass)
        driverPass();
    EXPECT_FALSE(zoomAnimating);
    EXPECT_FALSE(zoomRequested);
    EXPECT_TRUE(renderQueue.empty());
}

TEST(MainLoop, DrawsAndPollsUntilCloseOrQuit)
{
    GLFWwindow* window = testWindow();
    ASSERT_NE(window, nullptr) << "needs an X display (xvfb-run)";
    resetShellState();
    testing::internal::CaptureStdout();
    newFractal(Mandelbrot, 0);

    int frames = 0;
    appHooks.renderScene = [&] {
        if (++frames == 3)
            glfwSetWindowShouldClose(window, GLFW_TRUE);
    };
    zoomTarget[ZoomMaxX] = 1024;
    zoomTarget[ZoomMaxY] = 1024;
    zoomRequested = true;
    pendingFrames = 4;
    runMainLoop(window);
    EXPECT_EQ(frames, 3);
    EXPECT_EQ(fractalList.size(), 1u) << "no driver pass while 4 frames are pending";

    // Quit during an animation: the loop ends after the pass in progress, and a pass that
    // finds the flag set only stops cycling.
    glfwSetWindowShouldClose(window, GLFW_FALSE);
    frames = 0;
    pendingFrames = 0;
    appHooks.renderScene = [&] {
        if (++frames == 2)
            quitFlag = true;
    };
    runMainLoop(window);
    EXPECT_EQ(frames, 2);
    EXPECT_EQ(zoomSteps, zoomPassCount - 2);
    EXPECT_TRUE(zoomAnimating);
    EXPECT_EQ(pendingFrames, 2);
    cycleDirection = 1;
    driverPass();
    EXPECT_EQ(cycleDirection, 0);
    EXPECT_EQ(zoomSteps, zoomPassCount - 2);
    EXPECT_EQ(pendingFrames, 2);

    testing::internal::GetCapturedStdout();
    resetShellState();
}

} // namespace
