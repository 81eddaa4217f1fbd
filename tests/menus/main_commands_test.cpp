#include "menus/benchmark_start.h"
#include "tests/menus/menu_fixture.h"
#include "tests/support/zenity_standin.h"

namespace {

class MainCommandTest : public MenuTest {
protected:
    void SetUp() override
    {
        MenuTest::SetUp();
        createMenus();
    }

    // Chooses the item and returns how far pendingFrames rose.
    int framesFor(CGlutMenu& menu, const std::string& label)
    {
        const int32_t before = pendingFrames;
        choose(menu, label);
        return pendingFrames - before;
    }

    static CGlutMenu& fractals() { return sub(file(), "Fractals"); }
};

TEST_F(MainCommandTest, FractalAndPresetChoicesAppendTheirDefaultRecord)
{
    struct Choice {
        CGlutMenu& menu;
        std::string label;
        int32_t type;
        int32_t preset;
    };
    const std::vector<Choice> choices{
        {fractals(), "Mandelbrot", Mandelbrot, 0}, {fractals(), "Sin", Sine, 0},
        {fractals(), "Cos", Cosine, 0}, {fractals(), "Sinh", HyperbolicSine, 0},
        {fractals(), "Cosh", HyperbolicCosine, 0}, {fractals(), "Dragon", Dragon, 0},
        {fractals(), "Chebyshev T5", ChebyshevT5, 0}, {fractals(), "Hermite H4", HermiteH4, 0},
        {fractals(), "Legendre P3", LegendreP3, 0},
        {sub(fractals(), "Julia"), "Default", Julia, 5},
        {sub(fractals(), "Julia"), "Dendrite", Julia, 103},
        {sub(fractals(), "Julia"), "Douady's Rabbit", Julia, 101},
        {sub(fractals(), "Julia"), "San Marco", Julia, 100},
        {sub(fractals(), "Julia"), "Siegel Disk", Julia, 102},
        {sub(fractals(), "Barnsley"), "1st Fractal", FirstBarnsley, 0},
        {sub(fractals(), "Barnsley"), "2nd Fractal", SecondBarnsley, 0},
        {sub(fractals(), "Barnsley"), "3rd Fractal", ThirdBarnsley, 0},
        {sub(fractals(), "Barnsley"), "Sierpinski", BarnsleySierpinski, 0},
    };
    for (const Choice& c : choices) {
        SCOPED_TRACE(c.label);
        const int32_t shownPalette = paletteType;
        const FractalRecord expected = defaultFractalRecord(c.type, c.preset);
        // A palette switch through the new record asks for a second frame.
        EXPECT_EQ(framesFor(c.menu, c.label), expected.paletteType == shownPalette ? 1 : 2);
        const FractalRecord& made = fractalList.back();
        EXPECT_EQ(currentFractalIndex, static_cast<int32_t>(fractalList.size()) - 1);
        EXPECT_EQ(made.fractalType, c.type);
        EXPECT_EQ(made.Cx, expected.Cx);
        EXPECT_EQ(made.Cy, expected.Cy);
        EXPECT_EQ(renderQueue.back().name, made.name);
        EXPECT_EQ(tickedLabels(palette()).front(), palette().labels[static_cast<size_t>(paletteType.load())]);
    }
    EXPECT_EQ(fractalList.size(), choices.size());
}

TEST_F(MainCommandTest, PaletteZoomTimingAndQuit)
{
    EXPECT_EQ(framesFor(palette(), "VGA Assignmnt"), 1) << "the palette already chosen redraws too";
    EXPECT_EQ(framesFor(palette(), "Random Colours"), 1);
    EXPECT_EQ(paletteType, 2);
    EXPECT_EQ(tickedLabels(palette()), (std::vector<std::string>{"Random Colours", "Auto-switch"}));
    EXPECT_EQ(framesFor(palette(), "Auto-switch"), 1);
    EXPECT_EQ(tickedLabels(palette()), std::vector<std::string>{"Random Colours"});

    menuBar.selectedItem = 2;
    EXPECT_EQ(framesFor(menuBar, "Zoom"), 0);
    EXPECT_TRUE(zoomMode);
    EXPECT_FALSE(menuBar.visible);
    EXPECT_EQ(menuBar.selectedItem, -1);

    EXPECT_EQ(framesFor(file(), "Toggle Timing Logs"), 0);
    EXPECT_FALSE(timingLogs);
    EXPECT_FALSE(ticked(file(), "Toggle Timing Logs"));
    choose(file(), "Toggle Timing Logs");
    EXPECT_TRUE(ticked(file(), "Toggle Timing Logs"));

    EXPECT_EQ(framesFor(file(), "Fractals"), 0) << "a label with a drop-down runs nothing";

    pendingFrames = 5;
    choose(file(), "Quit");
    EXPECT_EQ(pendingFrames, 0);
    EXPECT_TRUE(quitFlag);
    EXPECT_TRUE(stopFlag);
}

TEST_F(MainCommandTest, ListStepsAndCycle)
{
    newFractal(Sine, 0);
    newFractal(Cosine, 0);
    choose(file(), "Previous Fractal");
    EXPECT_EQ(currentFractalIndex, 0);
    EXPECT_EQ(fractalType, Sine);
    choose(file(), "Next Fractal");
    EXPECT_EQ(currentFractalIndex, 1);
    EXPECT_EQ(fractalType, Cosine);

    pendingFrames = 0;
    EXPECT_EQ(framesFor(file(), "Cycle"), 1);
    EXPECT_EQ(cycleDirection, 1);
    EXPECT_TRUE(zoomRequested);
    EXPECT_TRUE(ticked(file(), "Cycle"));
    EXPECT_TRUE(renderQueue.empty());

    newFractal(Dragon, 0);
    cycleDirection = -1; // the driver turned at the end of the list
    EXPECT_EQ(framesFor(file(), "Cycle"), 1);
    EXPECT_EQ(cycleDirection, 0);
    EXPECT_FALSE(zoomRequested);
    EXPECT_FALSE(ticked(file(), "Cycle"));
    EXPECT_TRUE(renderQueue.empty()) << "stopping drops the queued frames too";
}

TEST_F(MainCommandTest, BenchmarkStartsAtTheFirstRecordInSynchronousMode)
{
    newFractal(Sine, 0);
    newFractal(Cosine, 0);
    useInterop = false;
    choose(file(), "Benchmark");
    EXPECT_TRUE(renderQueue.empty());
    EXPECT_EQ(currentFractalIndex, 0);
    EXPECT_TRUE(zoomAnimating);
    EXPECT_TRUE(syncMode);
    EXPECT_TRUE(ticked(devices(), "Synchronous Mode (faster/menus less responsive)"));
    EXPECT_TRUE(benchmarkActive);
    EXPECT_EQ(cycleDirection, 1);
    EXPECT_TRUE(zoomRequested);
    EXPECT_FALSE(useInterop) << "a CPU benchmark leaves sharing alone";
    EXPECT_EQ(savedDeviceId, -1);
    EXPECT_TRUE(savedUseInterop);

    currentFractalIndex = 1;
    queueFractal(fractalList[1]);
    EXPECT_EQ(outputOf([] {
                  choose(file(), "Benchmark");
                  choose(file(), "Benchmark From File");
              }),
              "A benchmark is already running\nA benchmark is already running\n");
    EXPECT_EQ(currentFractalIndex, 1);
    EXPECT_EQ(renderQueue.size(), 1u);
}

TEST_F(MainCommandTest, DeviceBenchmarkForcesSharingAndRefusalsKeepTheSavedSettings)
{
    clState.deviceList = {device("Gpu:OpenCL 1.2", true, true)};
    cpuMode = false;
    deviceId = 0;
    useInterop = false;
    useGL2 = false;
    interopActive = false;
    newFractal(Mandelbrot, 0);
    startBenchmark();
    EXPECT_TRUE(useInterop);
    EXPECT_FALSE(savedUseInterop);
    EXPECT_FALSE(savedInteropActive);
    EXPECT_EQ(savedDeviceId, 0);
    EXPECT_TRUE(useGL2) << "the shaders go on where they exist";
    EXPECT_TRUE(interopActive);
    EXPECT_EQ(buildRequests(), 1) << "built again for the shared textures";

    // Refused: while one runs, and with nothing to benchmark.
    deviceId = 3;
    EXPECT_EQ(outputOf(startBenchmark), "A benchmark is already running\n");
    benchmarkActive = false;
    fractalList.clear();
    currentFractalIndex = -1;
    EXPECT_EQ(outputOf(startBenchmark), "No fractals to benchmark\n");
    EXPECT_FALSE(benchmarkActive);
    EXPECT_EQ(currentFractalIndex, -1);
    EXPECT_EQ(savedDeviceId, 0);
    EXPECT_FALSE(savedUseInterop);
}

TEST_F(MainCommandTest, BenchmarkFromFileWithTheDialogCancelledUsesTheLoadedList)
{
    ZenityStandIn zenity;
    newFractal(Sine, 0);
    newFractal(Cosine, 0);
    zenity.answer(1, "", 1);
    choose(file(), "Benchmark From File");
    EXPECT_EQ(zenity.calls(), 1);
    EXPECT_EQ(fractalList.size(), 2u);
    EXPECT_EQ(currentFractalIndex, 0);
    EXPECT_TRUE(benchmarkActive);
}

TEST_F(MainCommandTest, InformationWithoutACurrentRecordOpensNothing)
{
    EXPECT_EQ(outputOf([] { choose(file(), "Information"); }), "No current fractal to show\n");
    EXPECT_EQ(pendingFrames, 0);
}

} // namespace
