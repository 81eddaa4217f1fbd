#include "app/driver.h"
#include "core/fractal_list.h"
#include "core/globals.h"
#include "core/message_log.h"
#include "display/palette.h"
#include "display/render_scene.h"
#include "glutmenu/glut_menu.h"
#include "core/fractal_file.h"
#include "menus/benchmark_start.h"
#include "menus/main_commands.h"
#include "menus/menu_labels.h"
#include "opencl/cl_globals.h"
#include "platform/x87.h"
#include "tests/app/program_run.h"
#include "tests/app/test_support.h"
#include "tests/support/zenity_standin.h"

#include <GLFW/glfw3.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <thread>

namespace {

class DriverTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        infoLog = std::make_unique<CMessageLog>(0.0f, 0.0f, 30.0f);
    }

    // A Devices menu whose "Synchronous Mode" item is ticked, as a benchmark start leaves it.
    // Synchronous mode ticked in the Devices menu, and Cycle in the File menu.
    void tickSynchronousMode()
    {
        menuBar.labels = {"File", "Palette", "Zoom", "Devices"};
        auto file = std::make_unique<GlutMenu::CGlutMenu>();
        file->labels = {menuLabels[LabelNextFractal], menuLabels[LabelCycle],
                        menuLabels[LabelBenchmark], menuLabels[LabelLoadFromDisk],
                        menuLabels[LabelBenchmarkFromFile]};
        file->checked[1] = true;
        menuBar.subMenus[0] = std::move(file);
        auto devices = std::make_unique<GlutMenu::CGlutMenu>();
        devices->labels = {"CPU", menuLabels[LabelSynchronousMode]};
        devices->checked[1] = true;
        menuBar.subMenus[3] = std::move(devices);
    }

    bool synchronousModeTicked() { return menuBar.getSubmenu(3)->checked.at(1); }
    bool cycleTicked() { return menuBar.getSubmenu(0)->checked.at(1); }

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

    // Chooses an item of the File menu that tickSynchronousMode made, as the menu bar does.
    void chooseFile(MenuLabel label)
    {
        GlutMenu::CGlutMenu* file = menuBar.getSubmenu(0);
        int item = file->findItem(menuLabels[label]);
        menuCallback(item, file, nullptr);
    }

    // True when, over more loop passes than an animation takes, the driver asks for no frame.
    bool driverRests()
    {
        for (int loop = 0; loop <= zoomPassCount; ++loop) {
            {
                std::lock_guard lock(pendingFramesMutex);
                pendingFrames = 0;
            }
            driverStep();
            if (pending() != 0)
                return false;
        }
        return true;
    }

    // True when the view, and the frame to be computed, hold exactly the record's bounds.
    static bool shownAtItsBounds(const FractalRecord& record)
    {
        std::lock_guard lock(renderQueueMutex);
        const FractalRecord& next = renderQueue.empty() ? lastQueuedFractal : renderQueue.front();
        return viewMinX == record.minX && viewMaxX == record.maxX && viewMinY == record.minY
            && viewMaxY == record.maxY && next.minX == record.minX && next.maxX == record.maxX
            && next.minY == record.minY && next.maxY == record.maxY;
    }

};

TEST_F(DriverTest, RubberBandZoomTakesTwentyPassesAndEndsOnTheRecord)
{
    newFractal(Mandelbrot, 0);
    newFractal(Julia, 0);
    newFractal(Sine, 0);
    currentFractalIndex = 0; // an earlier record is current; the view globals are still Sine's
    renderQueue.clear();
    pendingFrames = 0;

    zoomTarget.minX = 512;
    zoomTarget.maxX = 1536;
    zoomTarget.minY = 133.33334f; // a band's edge as the mouse callback stores it
    zoomTarget.maxY = 2048;
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
    EXPECT_EQ(zoomDelta.minX, 0.05);
    EXPECT_EQ(zoomDelta.maxX, -0.05);
    EXPECT_EQ(zoomDelta.maxY, 0.0);
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
    EXPECT_EQ(zoomDelta.minX, 0.05);
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

TEST_F(DriverTest, RecordsOfOneViewAreJumpedToWithoutInBetweenFrames)
{
    // A single record turns at each end and is shown again, never animated to itself.
    newFractal(Mandelbrot, 0);
    cycleDirection = 1;
    zoomRequested = true;
    driverPass();
    EXPECT_EQ(cycleDirection, -1);
    EXPECT_FALSE(zoomAnimating);
    driverPass();
    EXPECT_EQ(cycleDirection, 1);
    EXPECT_EQ(currentFractalIndex, 0);

    // The same view with more iterations: one frame of the new record, no animation.
    FractalRecord deeper = fractalList[0];
    deeper.maxIterations = 20000;
    fractalList.push_back(deeper);
    takeOutput();
    driverPass();
    EXPECT_EQ(currentFractalIndex, 1);
    EXPECT_FALSE(zoomAnimating);
    EXPECT_NE(takeOutput().find("maxIters = 20000"), std::string::npos);
    std::lock_guard lock(renderQueueMutex);
    ASSERT_FALSE(renderQueue.empty());
    EXPECT_EQ(renderQueue.back().maxIterations, 20000);
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
    tickSynchronousMode();
    takeOutput();

    int passes = 0;
    while (zoomRequested && passes < 100) {
        driverPass();
        ++passes;
    }
    const std::string out = takeOutput();
    EXPECT_EQ(passes, 3) << "two jumps, then the end shows the last record without animating";
    EXPECT_EQ(currentFractalIndex, 2);
    EXPECT_EQ(cycleDirection, 0);
    size_t first = out.find("Total rendering time 12.3457 s\n");
    ASSERT_NE(first, std::string::npos) << out;
    EXPECT_EQ(out.find("Total rendering time", first + 1), std::string::npos);
    EXPECT_EQ(infoLog->messages, std::vector<std::string>{"Total rendering time 12.3457 s"});
    EXPECT_EQ(totalRenderTime, 0u);
    EXPECT_FALSE(benchmarkActive);
    EXPECT_FALSE(syncMode);
    EXPECT_FALSE(useInterop) << "restored";
    EXPECT_FALSE(synchronousModeTicked());
    EXPECT_FALSE(cycleTicked()) << "nothing cycles after the benchmark";
}

TEST_F(DriverTest, LoadDuringABenchmarkLeavesTheListsAsTheyAreAndTheDriverAtRest)
{
    ZenityStandIn zenity;
    tickSynchronousMode();

    // Records of different types; the chooser is cancelled on the second of them.
    newFractal(Sine, 0);
    newFractal(Cosine, 0);
    newFractal(Mandelbrot, 0);
    chooseFile(LabelBenchmark);
    driverPass();
    driverPass();
    ASSERT_EQ(currentFractalIndex, 1);
    chooseFile(LabelLoadFromDisk);
    EXPECT_EQ(zenity.calls(), 1);
    EXPECT_FALSE(benchmarkActive || zoomRequested || zoomAnimating || cycleTicked());
    EXPECT_TRUE(driverRests()) << "no zoom towards a stale target";
    ASSERT_EQ(fractalList.size(), 3u);
    EXPECT_EQ(currentFractalIndex, 1);
    EXPECT_TRUE(shownAtItsBounds(fractalList[1]));

    // A chosen file without a record keeps the list too, and names the window as it always does.
    static std::string title;
    fractalViewHooks.setWindowTitle = [](const std::string& text) { title = text; };
    fractalViewHooks.windowTitle = [] { return "path " + currentFilePath; };
    const std::string empty = (zenity.files() / "empty.frac2").string();
    std::ofstream{empty};
    zenity.answer(2, empty + "\n", 0);
    chooseFile(LabelBenchmark);
    driverPass();
    chooseFile(LabelLoadFromDisk);
    EXPECT_TRUE(driverRests());
    EXPECT_EQ(fractalList.size(), 3u);
    EXPECT_TRUE(shownAtItsBounds(fractalList[0]));
    EXPECT_EQ(title, "path " + empty);

    // A zoom list, left in the middle of an animation for a file of two records.
    const std::vector<FractalRecord> two{defaultFractalRecord(Julia, 0), defaultFractalRecord(Sine, 0)};
    const std::string path = (zenity.files() / "two.frac2").string();
    const std::vector<unsigned char> bytes = encodeFractalFile(two, 2);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    zenity.answer(3, path + "\n", 0);
    fractalList.clear();
    newFractal(Mandelbrot, 0);
    appendZoomedFrom(0, -1.0L, 1.0L);
    appendZoomedFrom(0, -0.5L, 0.5L);
    chooseFile(LabelBenchmark);
    for (int pass = 0; pass < 5; ++pass)
        driverPass();
    ASSERT_TRUE(zoomAnimating);
    chooseFile(LabelLoadFromDisk);
    EXPECT_EQ(pending(), 1) << "one frame, of the loaded list's first record";
    EXPECT_TRUE(driverRests()) << "no step of the old animation";
    ASSERT_EQ(fractalList.size(), 2u);
    EXPECT_EQ(fractalList[0].name + fractalList[1].name, two[0].name + two[1].name);
    EXPECT_EQ(currentFractalIndex, 0);
    EXPECT_TRUE(shownAtItsBounds(two[0]));
    EXPECT_TRUE(fractalList[1].maxX > fractalList[1].minX && fractalList[1].maxY > fractalList[1].minY);

    // After such a cut, with a file loaded or the chooser cancelled, a Benchmark or Benchmark From
    // File starts as after an animation that ran out: record 0 at its own bounds on the first pass.
    for (const bool loaded : {true, false}) {
        for (const MenuLabel start : {LabelBenchmark, LabelBenchmarkFromFile}) {
            fractalList.clear();
            newFractal(Mandelbrot, 0);
            appendZoomedFrom(0, -1.0L, 1.0L);
            chooseFile(LabelBenchmark);
            for (int pass = 0; pass < 5; ++pass)
                driverPass();
            ASSERT_TRUE(zoomAnimating);
            zenity.answer(zenity.calls() + 1, loaded ? path + "\n" : "", loaded ? 0 : 1);
            chooseFile(LabelLoadFromDisk);
            zenity.answer(zenity.calls() + 1, path + "\n", 0);
            chooseFile(start);
            driverPass();
            EXPECT_EQ(currentFractalIndex, 0);
            EXPECT_TRUE(shownAtItsBounds(fractalList[0])) << loaded << " " << menuLabels[start];
            EXPECT_EQ(pending(), 1);
            for (int pass = 0; zoomRequested && pass < 4 * zoomPassCount; ++pass)
                driverPass();
            ASSERT_FALSE(benchmarkActive);
        }
    }
}

TEST_F(DriverTest, BenchmarkEndRestoresOnlyOnADevice)
{
    // "--bench:" saves nothing: on a device the end compares with the defaults.
    deviceId = 0;
    useInterop = false;
    totalRenderTime = 500000000;
    EXPECT_TRUE(kernelSettingsChangedByBenchmark()) << "another device: the kernels are rebuilt";
    benchmarkEnd();
    EXPECT_EQ(takeOutput(), "Total rendering time 0.5 s\n");
    EXPECT_TRUE(useInterop);

    deviceId = -1;
    interopActive = true;
    EXPECT_TRUE(kernelSettingsChangedByBenchmark()) << "another sharing mode";
    benchmarkEnd();
    EXPECT_EQ(takeOutput(), "Total rendering time 0 s\n");
    interopActive = false;
    EXPECT_FALSE(kernelSettingsChangedByBenchmark());

    // On the CPU nothing is restored; without a Devices menu nothing is unticked.
    cpuMode = true;
    useInterop = false;
    savedUseInterop = true;
    benchmarkEnd();
    EXPECT_FALSE(useInterop);
    EXPECT_TRUE(menuBar.subMenus.empty());
    tickSynchronousMode();
    benchmarkEnd();
    EXPECT_FALSE(synchronousModeTicked());
    EXPECT_EQ(infoLog->messages.size(), 4u);
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
    zoomTarget.maxX = 1024;
    zoomTarget.maxY = 1024;
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

// Sets quitFlag from another thread once the main loop has drawn five frames with four frames
// pending, the driver's passes held back. renderScene wakes the compute thread once per frame;
// here the watcher waits for that wake-up in its place.
class QuitWhenPassesWait {
public:
    QuitWhenPassesWait()
        : watcher([] {
              int heldFrames = 0;
              std::unique_lock lock(computeRequestMutex);
              while (heldFrames < 5 && !quitFlag) {
                  if (computeRequest.wait_for(lock, programTimeLimit) == std::cv_status::timeout)
                      break;
                  std::lock_guard pending(pendingFramesMutex);
                  if (pendingFrames >= 4)
                      ++heldFrames;
              }
              quitFlag = true;
          })
    {
    }
    ~QuitWhenPassesWait() { watcher.join(); }

private:
    std::thread watcher;
};

void noScroll(GLFWwindow*, double, double) {}

TEST(MainLoop, DrawsAndPollsUntilCloseOrQuit)
{
    resetShellState();
    window = testWindow();
    ASSERT_NE(window, nullptr) << "needs an X display (xvfb-run)";
    allocatePalettes();
    testing::internal::CaptureStdout();
    newFractal(Mandelbrot, 0);

    // Asked to close: the loop ends before anything is drawn.
    glfwSetWindowShouldClose(window, GLFW_TRUE);
    zoomTarget.maxX = 1024;
    zoomTarget.maxY = 1024;
    zoomRequested = true;
    runMainLoop(window);
    EXPECT_EQ(fractalList.size(), 1u);
    glfwSetWindowShouldClose(window, GLFW_FALSE);

    // A zoom runs one pass per loop pass until 4 frames are pending; nothing computes them, so
    // the animation waits there, while the scene is still drawn and swapped every pass.
    sceneScrollCallback = noScroll;
    glfwSetScrollCallback(window, nullptr);
    pendingFrames = 0;
    {
        QuitWhenPassesWait quit;
        runMainLoop(window);
    }
    EXPECT_EQ(glfwSetScrollCallback(window, nullptr), noScroll) << "renderScene swapped";
    EXPECT_EQ(fractalList.size(), 2u);
    EXPECT_TRUE(zoomAnimating);
    EXPECT_EQ(zoomSteps, zoomPassCount - 4);
    EXPECT_EQ(pendingFrames, 4);

    // A pass that finds quitFlag set only stops cycling.
    cycleDirection = 1;
    driverPass();
    EXPECT_EQ(cycleDirection, 0);
    EXPECT_EQ(zoomSteps, zoomPassCount - 4);
    EXPECT_EQ(pendingFrames, 4);

    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Palette already initialised, paletteType is 0\n"), std::string::npos);
    sceneScrollCallback = nullptr;
    window = nullptr;
    resetShellState();
}

} // namespace
