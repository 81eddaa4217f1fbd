#include "menus/menu_bar.h"

#include "core/globals.h"
#include "display/gl_display.h"
#include "glutmenu/metrics.h"
#include "menus/devices_commands.h"
#include "menus/main_commands.h"
#include "opencl/opencl_backend.h"

#include <initializer_list>

using GlutMenu::CGlutMenu;

namespace {

const std::string fontFile = "CharisSILR.ttf";

std::vector<std::string> labelsOf(std::initializer_list<MenuLabel> ids)
{
    std::vector<std::string> labels;
    for (MenuLabel id : ids)
        labels.push_back(menuLabels[id]);
    return labels;
}

// The thread numbers 1 to maxCpuThreads.
std::vector<std::string> threadLabels()
{
    std::vector<std::string> labels;
    for (int32_t i = 1; i <= maxCpuThreads; ++i)
        labels.push_back(std::to_string(i));
    return labels;
}

void tickThreadCount(CGlutMenu& threads)
{
    for (int i = 0; i < maxCpuThreads; ++i)
        threads.setItemChecked(i, i + 1 == cpuThreadCount);
}

// "CPU", one item per device, then the fixed items.
std::vector<std::string> deviceLabels()
{
    std::vector<std::string> labels{menuLabels[LabelCpu]};
    for (const DeviceInfo& device : clState.deviceList)
        labels.push_back(device.name);
    for (const std::string& label :
         labelsOf({LabelDoublePrecision, LabelExtendedPrecision, LabelCpuThreads,
                   LabelSystemInformation, LabelUseShaders, LabelUseInterop, LabelSynchronousMode}))
        labels.push_back(label);
    return labels;
}

void buildFileMenus()
{
    menuBar.addSubMenu(0,
                       labelsOf({LabelFractals, LabelToggleTimingLogs, LabelPreviousFractal,
                                 LabelNextFractal, LabelCycle, LabelInformation, LabelBenchmark,
                                 LabelBenchmarkFromFile, LabelLoadFromDisk, LabelSaveToDisk,
                                 LabelQuit}),
                       menuCallback, "");
    CGlutMenu* file = menuBar.getSubmenu(0);
    tickItem(*file, LabelToggleTimingLogs, timingLogs);

    file->addSubMenu(0,
                     labelsOf({LabelMandelbrot, LabelJulia, LabelSin, LabelCos, LabelSinh,
                               LabelCosh, LabelBarnsley, LabelDragon, LabelChebyshevT5,
                               LabelHermiteH4, LabelLegendreP3}),
                     menuCallback, "");
    CGlutMenu* fractals = file->getSubmenu(0);
    fractals->addSubMenu(1,
                         labelsOf({LabelJuliaDefault, LabelDendrite, LabelDouadysRabbit,
                                   LabelSanMarco, LabelSiegelDisk}),
                         menuCallback, "");
    fractals->addSubMenu(6,
                         labelsOf({LabelFirstFractal, LabelSecondFractal, LabelThirdFractal,
                                   LabelSierpinski}),
                         menuCallback, "");
}

void buildDevicesMenu()
{
    const int deviceCount = static_cast<int>(clState.deviceList.size());
    menuBar.addSubMenu(3, deviceLabels(), devicesMenuCallback, "");
    CGlutMenu& devices = *menuBar.getSubmenu(3);
    tickItem(devices, LabelDoublePrecision, useDouble);
    if (!cpuMode) {
        for (int k = 0; k < deviceCount; ++k)
            devices.setItemChecked(k + 1, k == deviceId);
    }

    devices.addSubMenu(devices.findItem(menuLabels[LabelCpuThreads]), threadLabels(),
                       cpuThreadsMenuCallback, "");
    tickItem(devices, LabelCpu, cpuMode);
    tickItem(devices, LabelDoublePrecision, useDouble);

    const DeviceInfo* device = currentDevice();
    if (cpuMode) {
        enableItem(devices, LabelCpuThreads, true);
        enableItem(devices, LabelDoublePrecision, true);
        if (CGlutMenu* threads = devices.getSubmenu(devices.findItem(menuLabels[LabelCpuThreads])))
            tickThreadCount(*threads);
    } else if (device != nullptr) {
        enableItem(devices, LabelCpuThreads, false);
        enableItem(devices, LabelDoublePrecision, device->supportsDouble);
    }

    enableItem(devices, LabelUseShaders, displayState.glslAvailable);
    tickItem(devices, LabelUseShaders, useGL2);

    interopActive = interopAvailable();
    tickItem(devices, LabelUseInterop, interopActive);
    enableItem(devices, LabelUseInterop,
               !cpuMode && device != nullptr && device->supportsGLSharing && useGL2);
    tickItem(devices, LabelSynchronousMode, syncMode);
    refreshDevicesMenu(&devices);
}

} // namespace

void tickItem(CGlutMenu& menu, MenuLabel label, bool on)
{
    const int item = menu.findItem(menuLabels[label]);
    if (item >= 0)
        menu.setItemChecked(item, on);
}

void enableItem(CGlutMenu& menu, MenuLabel label, bool on)
{
    const int item = menu.findItem(menuLabels[label]);
    if (item >= 0)
        menu.setItemEnabled(item, on);
}

const DeviceInfo* currentDevice()
{
    const int32_t id = deviceId;
    if (id < 0 || static_cast<size_t>(id) >= clState.deviceList.size())
        return nullptr;
    return &clState.deviceList[static_cast<size_t>(id)];
}

CGlutMenu* fileMenu()
{
    return menuBar.getSubmenu(menuBar.findItem(menuLabels[LabelFile]));
}

CGlutMenu* devicesMenu()
{
    return menuBar.getSubmenu(menuBar.findItem(menuLabels[LabelDevices]));
}

void createMenus()
{
    menuBar.init(windowStartWidth, windowStartHeight, 0, 0, "Menu Bar",
                 labelsOf({LabelFile, LabelPalette, LabelZoom, LabelDevices}), true, fontFile);
    menuBar.assignCallback(menuCallback);
    menuBar.userData = nullptr;
    menuBar.visible = true;
    menuBar.itemChosen = false;
    menuBar.selectedItem = -1;
    menuBar.highlighted = 0;
    menuBar.backgroundColour[0] = 0.0f;
    menuBar.backgroundColour[1] = 0.7f;
    menuBar.backgroundColour[2] = 0.3f;
    menuBar.backgroundColour[3] = 0.7f;

    buildFileMenus();
    menuBar.addSubMenu(1,
                       labelsOf({LabelVgaAssignment, LabelRedHeatmap, LabelRandomColours,
                                 LabelAutoSwitch}),
                       menuCallback, "");
    updatePaletteChecks(menuBar.getSubmenu(1));
    buildDevicesMenu();
}

void updatePaletteChecks(CGlutMenu* palette)
{
    for (int i = 0; i < 3; ++i)
        palette->setItemChecked(i, paletteType == i);
    palette->setItemChecked(3, autoSwitchPalette);
}

void refreshDevicesMenu(CGlutMenu* devices)
{
    enableItem(*devices, LabelExtendedPrecision, cpuMode);
    if (!cpuMode) {
        tickItem(*devices, LabelExtendedPrecision, false);
        return;
    }
    tickItem(*devices, LabelExtendedPrecision, useExtended);
    tickItem(*devices, LabelDoublePrecision, useExtended ? false : useDouble.load());
}

void cpuThreadsMenuCallback(int& item, CGlutMenu* menu, void*)
{
    if (item >= 0 && item < maxCpuThreads)
        cpuThreadCount = item + 1;
    else if (maxCpuThreads < 1) {
        redrawRequested = false;
        return;
    }
    tickThreadCount(*menu);
    redrawRequested = false;
}
