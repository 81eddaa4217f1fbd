#include "tests/menus/menu_fixture.h"

namespace {

// The Devices menu: "CPU", the devices, then the fixed items.
Texts devicesMenuWith(Texts names)
{
    names.insert(names.begin(), "CPU");
    for (const char* item : {"Double precision", "Extended precision (CPU only)", "CPU Threads",
                             "System information", "Use OpenGL fragment shaders",
                             "Use OpenGL/OpenCL interop", "Synchronous Mode (faster/menus less responsive)"})
        names.push_back(item);
    return names;
}

TEST_F(MenuTest, TreeAndItemStatesOfACpuRun)
{
    paletteType = 1;
    timingLogs = false;
    syncMode = true;
    cpuThreadCount = 4;
    createMenus();
    EXPECT_EQ(menuBar.labels, (Texts{"File", "Palette", "Zoom", "Devices"}));
    EXPECT_TRUE(menuBar.visible && menuBar.getSubmenu(2) == nullptr);
    EXPECT_EQ(menuBar.backgroundColour[1], 0.7f);
    EXPECT_TRUE(ticked(menu({"File"})).empty());
    EXPECT_EQ(ticked(menu({"Palette"})), (Texts{"Red heatmap", "Auto-switch"}));
    EXPECT_EQ(devices().labels, devicesMenuWith({}));
    EXPECT_EQ(ticked(devices()), (Texts{"CPU", "Use OpenGL fragment shaders",
                                        "Synchronous Mode (faster/menus less responsive)"}));
    EXPECT_EQ(disabled(devices()), Texts{"Use OpenGL/OpenCL interop"});
    CGlutMenu& threads = menu({"Devices", "CPU Threads"});
    EXPECT_EQ(threads.labels, (Texts{"1", "2", "3", "4", "5", "6", "7", "8"}));
    EXPECT_EQ(ticked(threads), Texts{"4"});

    EXPECT_EQ(choose(threads, "3"), 0) << "the thread choice shows in the ticks only";
    EXPECT_EQ(cpuThreadCount, 3);
    threads.setItemChecked(6, true);
    int outside = 8;
    cpuThreadsMenuCallback(outside, &threads, nullptr);
    EXPECT_EQ(ticked(threads), Texts{"3"});

    cpuThreadCount = 64; // from the command line, beyond the hardware
    useExtended = useDouble = true;
    createMenus();
    EXPECT_TRUE(ticked(menu({"Devices", "CPU Threads"})).empty());
    EXPECT_EQ(ticked(devices())[1], "Extended precision (CPU only)") << "extended hides double";
}

TEST_F(MenuTest, ItemStatesOfADeviceStart)
{
    twoDevices();
    cpuMode = false;
    deviceId = 1;
    useDouble = useExtended = true;
    createMenus();
    EXPECT_EQ(devices().labels, devicesMenuWith({"A", "B"}));
    EXPECT_EQ(ticked(devices()), (Texts{"B", "Double precision", "Use OpenGL fragment shaders",
                                        "Use OpenGL/OpenCL interop"}));
    EXPECT_EQ(disabled(devices()), (Texts{"Extended precision (CPU only)", "CPU Threads"}));
    EXPECT_TRUE(interopActive);

    deviceId = 0;
    displayState.glslAvailable = useGL2 = false;
    createMenus();
    EXPECT_EQ(ticked(devices()), (Texts{"A", "Double precision"}));
    EXPECT_EQ(disabled(devices()), (Texts{"Double precision", "Extended precision (CPU only)", "CPU Threads",
                                          "Use OpenGL fragment shaders", "Use OpenGL/OpenCL interop"}));
    EXPECT_FALSE(interopActive) << "sharing needs the shaders";
}

} // namespace
