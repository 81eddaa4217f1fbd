#include "menus/devices_commands.h"
#include "tests/menus/menu_fixture.h"
#include "tests/support/zenity_standin.h"

namespace {

TEST_F(MenuTest, FractalChoicesAppendTheirDefaultRecord)
{
    CGlutMenu* f = &menu({"File", "Fractals"});
    CGlutMenu* j = &menu({"File", "Fractals", "Julia"});
    CGlutMenu* b = &menu({"File", "Fractals", "Barnsley"});
    const std::vector<std::tuple<CGlutMenu*, const char*, int32_t, int32_t>> items{
        {f, "Mandelbrot", Mandelbrot, 0}, {f, "Sin", Sine, 0}, {f, "Cos", Cosine, 0},
        {f, "Sinh", HyperbolicSine, 0}, {f, "Cosh", HyperbolicCosine, 0}, {f, "Dragon", Dragon, 0},
        {f, "Chebyshev T5", ChebyshevT5, 0}, {f, "Hermite H4", HermiteH4, 0},
        {f, "Legendre P3", LegendreP3, 0}, {j, "Default", Julia, 5}, {j, "Dendrite", Julia, 103},
        {j, "Douady's Rabbit", Julia, 101}, {j, "San Marco", Julia, 100}, {j, "Siegel Disk", Julia, 102},
        {b, "1st Fractal", FirstBarnsley, 0}, {b, "2nd Fractal", SecondBarnsley, 0},
        {b, "3rd Fractal", ThirdBarnsley, 0}, {b, "Sierpinski", BarnsleySierpinski, 0}};
    for (const auto& [m, label, type, preset] : items) {
        SCOPED_TRACE(label);
        const FractalRecord expected = defaultFractalRecord(type, preset);
        // A palette switched by the new record asks for one more frame.
        EXPECT_EQ(choose(*m, label), expected.paletteType == paletteType ? 1 : 2);
        EXPECT_EQ(fractalList.back().fractalType, type);
        EXPECT_EQ(fractalList.back().Cy, expected.Cy);
        EXPECT_EQ(ticked(menu({"Palette"}))[0], menu({"Palette"}).labels[static_cast<size_t>(paletteType.load())]);
    }
    EXPECT_EQ(currentFractalIndex, 17);
}

TEST_F(MenuTest, PaletteZoomTimingCycleAndQuit)
{
    CGlutMenu& file = menu({"File"});
    EXPECT_EQ(choose(menu({"Palette"}), "VGA Assignmnt"), 1) << "the palette shown redraws too";
    EXPECT_EQ(choose(menu({"Palette"}), "Random Colours") + choose(menu({"Palette"}), "Auto-switch"), 2);
    EXPECT_EQ(ticked(menu({"Palette"})), Texts{"Random Colours"});
    EXPECT_EQ(choose(menuBar, "Zoom") + choose(file, "Toggle Timing Logs") + choose(file, "Fractals"), 0);
    EXPECT_TRUE(zoomMode && !menuBar.visible && !timingLogs);

    newFractal(Sine, 0);
    newFractal(Cosine, 0);
    EXPECT_EQ(choose(file, "Previous Fractal"), 1);
    EXPECT_EQ(fractalType, Sine);
    EXPECT_EQ(choose(file, "Cycle"), 1);
    EXPECT_TRUE(cycleDirection == 1 && zoomRequested && renderQueue.empty());
    EXPECT_EQ(ticked(file), Texts{"Cycle"});
    cycleDirection = -1; // turned at the end of the list
    queueFractal(fractalList[0]);
    choose(file, "Cycle");
    EXPECT_TRUE(cycleDirection == 0 && !zoomRequested && renderQueue.empty() && ticked(file).empty());

    choose(file, "Quit");
    EXPECT_TRUE(pendingFrames == 0 && quitFlag && stopFlag);
}

TEST_F(MenuTest, BenchmarkStartAndItsRefusals)
{
    ZenityStandIn zenity; // answers nothing: the dialog is cancelled
    CGlutMenu& file = menu({"File"});
    EXPECT_EQ(outputOf([&] { choose(file, "Information"); }) + outputOf([&] { choose(file, "Benchmark"); }),
              "No current fractal to show\nNo fractals to benchmark\n");
    EXPECT_TRUE(activeTextInput == nullptr && !benchmarkActive);

    twoDevices();
    cpuMode = useInterop = useGL2 = false;
    deviceId = 0;
    newFractal(Sine, 0);
    newFractal(Cosine, 0);
    choose(file, "Benchmark From File");
    EXPECT_TRUE(benchmarkActive && syncMode && zoomAnimating && zoomRequested && cycleDirection == 1);
    EXPECT_TRUE(currentFractalIndex == 0 && renderQueue.empty());
    EXPECT_EQ(ticked(devices()).back(), "Synchronous Mode (faster/menus less responsive)");
    EXPECT_TRUE(useInterop && useGL2 && interopActive) << "sharing forced where the device has it";
    EXPECT_FALSE(savedUseInterop || savedInteropActive);
    EXPECT_EQ(buildRequests(), 1);

    deviceId = 1;
    EXPECT_EQ(outputOf([&] { choose(file, "Benchmark From File"); }), "A benchmark is already running\n");
    EXPECT_EQ(zenity.calls(), 1) << "no new list under a running benchmark";
    EXPECT_EQ(savedDeviceId, 0);
}

TEST_F(MenuTest, DeviceChoicesKeepSettingsTicksAndBuildsInLine)
{
    twoDevices();
    createMenus();
    EXPECT_EQ(choose(devices(), "CPU"), 1);
    useDouble = true;
    EXPECT_EQ(choose(devices(), "A"), 2) << "double precision goes off through its own command";
    EXPECT_TRUE(!cpuMode && !useDouble && clUseDouble == 0 && interopActive);
    EXPECT_EQ(ticked(devices()), (Texts{"A", "Use OpenGL fragment shaders", "Use OpenGL/OpenCL interop"}));
    EXPECT_EQ(disabled(devices()), (Texts{"Double precision", "Extended precision (CPU only)", "CPU Threads"}));
    EXPECT_EQ(buildRequests(), 1);
    choose(devices(), "A");
    choose(devices(), "Double precision");
    EXPECT_FALSE(useDouble) << "refused without fp64";
    EXPECT_EQ(buildRequests(), 0);

    choose(devices(), "B");
    choose(devices(), "Double precision");
    EXPECT_TRUE(useDouble && clUseDouble == 1);
    choose(devices(), "Use OpenGL/OpenCL interop");
    EXPECT_FALSE(useInterop || interopActive);
    EXPECT_EQ(buildRequests(), 2) << "one for the device, one for sharing";

    useExtended = true;
    choose(devices(), "CPU");
    EXPECT_EQ(ticked(devices()), (Texts{"CPU", "Extended precision (CPU only)", "Use OpenGL fragment shaders"}));
    EXPECT_EQ(disabled(devices()), Texts{"Use OpenGL/OpenCL interop"});
    choose(devices(), "Double precision"); // double off, and extended with it
    choose(devices(), "Synchronous Mode (faster/menus less responsive)");
    displayState.glslAvailable = false;
    choose(devices(), "Use OpenGL fragment shaders");
    EXPECT_TRUE(!useDouble && !useExtended && syncMode && !useGL2);
    EXPECT_EQ(ticked(devices()), (Texts{"CPU", "Synchronous Mode (faster/menus less responsive)"}));
    EXPECT_EQ(buildRequests(), 1) << "the shader switch builds, also in CPU mode";
    choose(devices(), "B");
    EXPECT_EQ(buildRequests(), 0) << "back to the device built for";
}

TEST_F(MenuTest, SystemInformation)
{
    useExtended = true;
    choose(devices(), "System information");
    ASSERT_EQ(activeTextInput, &infoForm);
    EXPECT_EQ(infoForm.lines,
              (Texts{"CPU", "Compute Precision :Extended precision (CPU only)",
                     "Output mode         : 10-bits per channel", "Internal bit depth  : 16-bits per channel",
                     "Renderer               : OpenGL 2.0", "OpenGL/OpenCL Interop: Not Available", "",
                     "CLTessaly V2.0", "", "", "Press [RETURN]/[ENTER] to continue"}));
    EXPECT_TRUE(infoForm.x == 100.0f && infoForm.y == 100.0f) << "not centred";
    EXPECT_EQ(infoForm.buttons, (Texts{"OK", "Cancel"}));

    twoDevices();
    cpuMode = false;
    deviceId = 1;
    interopActive = true;
    const Texts lines = systemInformationLines();
    EXPECT_EQ(Texts(lines.begin() + 4, lines.begin() + 6),
              (Texts{"Renderer               : OpenGL 3.0", "OpenGL/OpenCL Interop: Enabled"}));
    EXPECT_EQ(lines[0], "B");
    useInterop = false;
    EXPECT_EQ(systemInformationLines()[5], "OpenGL/OpenCL Interop: Available (Not Enabled)");
}

} // namespace
