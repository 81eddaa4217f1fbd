#include "menus/devices_commands.h"
#include "tests/menus/menu_fixture.h"
#include "tests/support/zenity_standin.h"

namespace {

const std::string sync = "Synchronous Mode (faster/menus less responsive)", extended = "Extended precision (CPU only)";

TEST_F(MenuTest, FractalPaletteZoomTimingCycleAndQuit)
{
    CGlutMenu& file = menu({"File"});
    EXPECT_EQ(choose(menu({"File", "Fractals", "Julia"}), "Dendrite"), 1 + (paletteType != 0));
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
    EXPECT_TRUE(cycleDirection == 1 && zoomRequested && renderQueue.empty() && ticked(file) == Texts{"Cycle"});
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
    EXPECT_TRUE(currentFractalIndex == 0 && renderQueue.empty() && ticked(devices()).back() == sync);
    EXPECT_TRUE(useInterop && useGL2 && interopActive) << "sharing forced where the device has it";
    EXPECT_FALSE(savedUseInterop || savedInteropActive);
    EXPECT_EQ(buildRequests(), 1);

    deviceId = 1;
    EXPECT_EQ(outputOf([&] { choose(file, "Benchmark From File"); }), "A benchmark is already running\n");
    EXPECT_EQ(zenity.calls(), 1) << "no new list under a running benchmark";
    EXPECT_EQ(savedDeviceId, 0);

    // Cycle stops the benchmark's list cycle, which ends it without a report, as its end restores.
    totalRenderTime = 700000000;
    EXPECT_EQ(outputOf([&] { choose(file, "Cycle"); }), "");
    EXPECT_TRUE(!benchmarkActive && !syncMode && cycleDirection == 0 && !zoomRequested && totalRenderTime == 0);
    EXPECT_NE(ticked(devices()).back(), sync);
    EXPECT_FALSE(useInterop) << "restored";
    EXPECT_EQ(buildRequests(), 1) << "another device than at the start";
    choose(file, "Cycle");
    const Texts cycleTicked = ticked(file);
    EXPECT_EQ(outputOf([&] { choose(file, "Benchmark"); }), "");
    EXPECT_TRUE(benchmarkActive && syncMode && cycleDirection == 1);

    // Load from disk ends the benchmark first, without a report; Cycle's tick goes with it. With the
    // chooser cancelled, the benchmark's current record, the first, is shown.
    totalRenderTime = 700000000;
    EXPECT_EQ(outputOf([&] { choose(file, "Load from disk"); }).substr(0, 16), "Sine Z-range:(-8");
    EXPECT_TRUE(!benchmarkActive && !syncMode && cycleDirection == 0 && totalRenderTime == 0);
    EXPECT_FALSE(zoomRequested || zoomAnimating) << "the driver rests";
    EXPECT_EQ(ticked(file).size() + 1, cycleTicked.size()) << "nothing cycles";
    EXPECT_EQ(zenity.calls(), 2);
}

TEST_F(MenuTest, StartTicksFollowTheSettings)
{
    paletteType = 1;
    syncMode = true;
    cpuThreadCount = 4;
    createMenus();
    EXPECT_EQ(ticked(menu({"Palette"})), (Texts{"Red heatmap", "Auto-switch"}));
    EXPECT_EQ(ticked(devices()), (Texts{"CPU", "Use OpenGL fragment shaders", sync}));
    EXPECT_EQ(disabled(devices()), Texts{"Use OpenGL/OpenCL interop"});
    CGlutMenu& threads = menu({"Devices", "CPU Threads"});
    EXPECT_EQ(ticked(threads), Texts{"4"});
    EXPECT_EQ(choose(threads, "3"), 0) << "the thread choice shows in the ticks only";
    threads.setItemChecked(6, true);
    int outside = 8;
    cpuThreadsMenuCallback(outside, &threads, nullptr);
    EXPECT_EQ(ticked(threads), Texts{"3"});
    cpuThreadCount = 64; // from the command line, beyond the hardware
    useExtended = useDouble = true;
    createMenus();
    EXPECT_TRUE(ticked(menu({"Devices", "CPU Threads"})).empty());
    EXPECT_EQ(ticked(devices())[1], extended) << "extended hides double";

    twoDevices();
    cpuMode = false;
    deviceId = 1;
    createMenus();
    EXPECT_EQ(ticked(devices()), (Texts{"B", "Double precision", "Use OpenGL fragment shaders",
                                        "Use OpenGL/OpenCL interop", sync}));
    EXPECT_EQ(disabled(devices()), (Texts{extended, "CPU Threads"}));
    deviceId = 0;
    displayState.glslAvailable = useGL2 = false;
    createMenus();
    EXPECT_EQ(disabled(devices()), (Texts{"Double precision", extended, "CPU Threads",
                                          "Use OpenGL fragment shaders", "Use OpenGL/OpenCL interop"}));
    EXPECT_FALSE(interopActive) << "sharing needs the shaders";
}

TEST_F(MenuTest, DeviceChoicesKeepSettingsTicksBuildsAndSystemInformationInLine)
{
    twoDevices();
    createMenus();
    EXPECT_EQ(choose(devices(), "CPU"), 1);
    useDouble = true;
    EXPECT_EQ(choose(devices(), "A"), 2) << "double precision goes off through its own command";
    EXPECT_TRUE(!cpuMode && !useDouble && clUseDouble == 0 && interopActive);
    EXPECT_EQ(ticked(devices()), (Texts{"A", "Use OpenGL fragment shaders", "Use OpenGL/OpenCL interop"}));
    EXPECT_EQ(disabled(devices()), (Texts{"Double precision", extended, "CPU Threads"}));
    EXPECT_EQ(buildRequests(), 1);
    choose(devices(), "A");
    choose(devices(), "Double precision");
    EXPECT_FALSE(useDouble) << "refused without fp64";
    EXPECT_EQ(buildRequests(), 0);

    choose(devices(), "B");
    choose(devices(), "Double precision");
    EXPECT_TRUE(useDouble && clUseDouble == 1);
    EXPECT_EQ(systemInformationLines()[0] + systemInformationLines()[5], "BOpenGL/OpenCL Interop: Enabled");
    choose(devices(), "Use OpenGL/OpenCL interop");
    EXPECT_FALSE(useInterop || interopActive);
    EXPECT_EQ(systemInformationLines()[5], "OpenGL/OpenCL Interop: Available (Not Enabled)");
    EXPECT_EQ(buildRequests(), 2) << "one for the device, one for sharing";

    useExtended = true;
    choose(devices(), "CPU");
    EXPECT_EQ(ticked(devices()), (Texts{"CPU", extended, "Use OpenGL fragment shaders"}));
    choose(devices(), "System information");
    ASSERT_EQ(activeTextInput, &infoForm);
    EXPECT_EQ(infoForm.lines[1], "Compute Precision :" + extended);
    EXPECT_EQ(infoForm.lines[5], "OpenGL/OpenCL Interop: Not Available");
    choose(devices(), "Double precision"); // double off, and extended with it
    choose(devices(), sync);
    displayState.glslAvailable = false;
    choose(devices(), "Use OpenGL fragment shaders");
    EXPECT_TRUE(!useDouble && !useExtended && syncMode && !useGL2);
    EXPECT_EQ(ticked(devices()), (Texts{"CPU", sync}));
    EXPECT_EQ(buildRequests(), 1) << "the shader switch builds, also in CPU mode";
    choose(devices(), "B");
    EXPECT_EQ(buildRequests(), 0) << "back to the device built for";
}

} // namespace
