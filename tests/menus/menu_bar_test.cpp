#include "tests/menus/menu_fixture.h"

namespace {

using Labels = std::vector<std::string>;

const Labels fixedDeviceItems{
    "Double precision", "Extended precision (CPU only)", "CPU Threads", "System information",
    "Use OpenGL fragment shaders", "Use OpenGL/OpenCL interop",
    "Synchronous Mode (faster/menus less responsive)"};

TEST_F(MenuTest, TreeOfACpuOnlyRun)
{
    paletteType = 1;
    timingLogs = false;
    syncMode = true;
    cpuThreadCount = 4;
    createMenus();

    EXPECT_EQ(menuBar.labels, (Labels{"File", "Palette", "Zoom", "Devices"}));
    EXPECT_TRUE(menuBar.horizontal);
    EXPECT_TRUE(menuBar.visible);
    EXPECT_EQ(menuBar.selectedItem, -1);
    EXPECT_EQ(menuBar.name, "Menu Bar");
    EXPECT_EQ(std::vector<float>(menuBar.backgroundColour, menuBar.backgroundColour + 4),
              (std::vector<float>{0.0f, 0.7f, 0.3f, 0.7f}));
    EXPECT_EQ(menuBar.getSubmenu(2), nullptr) << "Zoom is a command of the bar itself";

    EXPECT_EQ(file().labels,
              (Labels{"Fractals", "Toggle Timing Logs", "Previous Fractal", "Next Fractal", "Cycle",
                      "Information", "Benchmark", "Benchmark From File", "Load from disk",
                      "Save to disk", "Quit"}));
    EXPECT_TRUE(tickedLabels(file()).empty()) << "timing logs are off";
    CGlutMenu& fractals = sub(file(), "Fractals");
    EXPECT_EQ(fractals.labels,
              (Labels{"Mandelbrot", "Julia", "Sin", "Cos", "Sinh", "Cosh", "Barnsley", "Dragon",
                      "Chebyshev T5", "Hermite H4", "Legendre P3"}));
    EXPECT_EQ(sub(fractals, "Julia").labels,
              (Labels{"Default", "Dendrite", "Douady's Rabbit", "San Marco", "Siegel Disk"}));
    EXPECT_EQ(sub(fractals, "Barnsley").labels,
              (Labels{"1st Fractal", "2nd Fractal", "3rd Fractal", "Sierpinski"}));
    EXPECT_EQ(tickedLabels(palette()), (Labels{"Red heatmap", "Auto-switch"}));

    Labels deviceItems{"CPU"};
    deviceItems.insert(deviceItems.end(), fixedDeviceItems.begin(), fixedDeviceItems.end());
    EXPECT_EQ(devices().labels, deviceItems) << "no device: CPU and the seven fixed items";
    EXPECT_EQ(tickedLabels(devices()),
              (Labels{"CPU", "Use OpenGL fragment shaders",
                      "Synchronous Mode (faster/menus less responsive)"}));
    EXPECT_FALSE(usable(devices(), "Use OpenGL/OpenCL interop"));
    EXPECT_TRUE(usable(devices(), "CPU Threads"));
    EXPECT_TRUE(usable(devices(), "Extended precision (CPU only)"));
    EXPECT_FALSE(interopActive);
    EXPECT_EQ(threads().labels, (Labels{"1", "2", "3", "4", "5", "6", "7", "8"}));
    EXPECT_EQ(tickedLabels(threads()), Labels{"4"});

    cpuThreadCount = 64; // from the command line, beyond the hardware
    createMenus();
    EXPECT_TRUE(tickedLabels(threads()).empty());

    // Every menu reaches its own command: the bar, File and its drop-downs and Palette through
    // menuCallback, Devices and CPU Threads through theirs.
    choose(sub(sub(file(), "Fractals"), "Barnsley"), "Sierpinski");
    ASSERT_EQ(fractalList.size(), 1u);
    EXPECT_EQ(fractalList[0].fractalType, BarnsleySierpinski);
    choose(threads(), "2");
    EXPECT_EQ(cpuThreadCount, 2);
    choose(devices(), "Synchronous Mode (faster/menus less responsive)");
    EXPECT_FALSE(syncMode);
}

TEST_F(MenuTest, TreeOfADeviceStart)
{
    clState.deviceList = {device("Gpu A:OpenCL 1.2", false, true), device("Gpu B:OpenCL 3.0", true, true)};
    cpuMode = false;
    deviceId = 1;
    useDouble = true;
    useExtended = true; // not for a device
    createMenus();

    Labels deviceItems{"CPU", "Gpu A:OpenCL 1.2", "Gpu B:OpenCL 3.0"};
    deviceItems.insert(deviceItems.end(), fixedDeviceItems.begin(), fixedDeviceItems.end());
    EXPECT_EQ(devices().labels, deviceItems);
    EXPECT_EQ(tickedLabels(devices()),
              (Labels{"Gpu B:OpenCL 3.0", "Double precision", "Use OpenGL fragment shaders",
                      "Use OpenGL/OpenCL interop"}));
    EXPECT_FALSE(usable(devices(), "CPU Threads"));
    EXPECT_FALSE(usable(devices(), "Extended precision (CPU only)"));
    EXPECT_TRUE(usable(devices(), "Double precision"));
    EXPECT_TRUE(usable(devices(), "Use OpenGL/OpenCL interop"));
    EXPECT_TRUE(interopActive);
    EXPECT_TRUE(tickedLabels(threads()).empty()) << "thread ticks only in CPU mode";

    deviceId = 0; // no fp64; sharing, but the shaders are off and sharing needs them
    useGL2 = false;
    displayState.glslAvailable = false;
    createMenus();
    EXPECT_EQ(tickedLabels(devices()), (Labels{"Gpu A:OpenCL 1.2", "Double precision"}))
        << "the tick follows useDouble; the enabled state follows the device";
    EXPECT_FALSE(usable(devices(), "Double precision"));
    EXPECT_FALSE(usable(devices(), "Use OpenGL fragment shaders"));
    EXPECT_FALSE(usable(devices(), "Use OpenGL/OpenCL interop"));
    EXPECT_FALSE(interopActive);
}

TEST_F(MenuTest, ItemStateRefreshes)
{
    createMenus();
    useExtended = true;
    useDouble = true;
    refreshDevicesMenu(&devices());
    EXPECT_TRUE(ticked(devices(), "Extended precision (CPU only)"));
    EXPECT_FALSE(ticked(devices(), "Double precision"));
    useExtended = false;
    refreshDevicesMenu(&devices());
    EXPECT_TRUE(ticked(devices(), "Double precision"));

    paletteType = 2;
    autoSwitchPalette = false;
    updatePaletteChecks(&palette());
    EXPECT_EQ(tickedLabels(palette()), Labels{"Random Colours"});

    cpuThreadCount = 5;
    int item = 2;
    cpuThreadsMenuCallback(item, &threads(), nullptr);
    EXPECT_EQ(cpuThreadCount, 3);
    EXPECT_EQ(tickedLabels(threads()), Labels{"3"});
    threads().setItemChecked(6, true);
    for (int outside : {-1, 8}) {
        cpuThreadsMenuCallback(outside, &threads(), nullptr);
        EXPECT_EQ(cpuThreadCount, 3);
        EXPECT_EQ(tickedLabels(threads()), Labels{"3"}) << "ticks applied again";
    }
    EXPECT_FALSE(redrawRequested);
    EXPECT_EQ(pendingFrames, 0) << "the thread choice asks for no frame";
}

} // namespace
