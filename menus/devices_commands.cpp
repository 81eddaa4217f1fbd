#include "menus/devices_commands.h"

#include "core/globals.h"
#include "display/gl_display.h"
#include "glutmenu/text_input.h"
#include "menus/menu_bar.h"
#include "menus/menu_labels.h"
#include "menus/parameter_form.h"
#include "opencl/opencl_backend.h"

#include <mutex>

using GlutMenu::CGlutMenu;

namespace {

int deviceCount()
{
    return static_cast<int>(clState.deviceList.size());
}

// supportsGLSharing of the device at deviceId; false without one.
bool deviceShares()
{
    const DeviceInfo* device = currentDevice();
    return device != nullptr && device->supportsGLSharing;
}

// Enables the sharing item exactly when sharing could be switched on.
void enableInteropItem(CGlutMenu& menu)
{
    enableItem(menu, LabelUseInterop, !cpuMode && deviceShares() && useGL2);
}

void chooseCpu(CGlutMenu& menu)
{
    cpuMode = true;
    interopActive = false;
    tickItem(menu, LabelCpu, true);
    for (int k = 1; k <= deviceCount(); ++k)
        menu.setItemChecked(k, false);
    enableItem(menu, LabelExtendedPrecision, true);
    if (useExtended) {
        tickItem(menu, LabelExtendedPrecision, true);
        tickItem(menu, LabelDoublePrecision, false);
    }
    enableItem(menu, LabelUseInterop, false);
    tickItem(menu, LabelUseInterop, false);
}

// Takes device item k; true when the kernels must be built for it.
bool chooseDevice(int k, CGlutMenu& menu, void* userData)
{
    const int device = k - 1;
    cpuMode = false;
    tickItem(menu, LabelCpu, false);
    tickItem(menu, LabelExtendedPrecision, false);
    enableItem(menu, LabelExtendedPrecision, false);
    tickItem(menu, LabelDoublePrecision, useDouble);
    for (int i = 1; i <= deviceCount(); ++i)
        menu.setItemChecked(i, i == k);

    // NOTE: double precision goes off through the menu's own command, so that its refresh and
    // frame request run as for a user's choice.
    if (useDouble && !clState.deviceList[static_cast<size_t>(device)].supportsDouble) {
        int precisionItem = menu.findItem(menuLabels[LabelDoublePrecision]);
        devicesMenuCallback(precisionItem, &menu, userData);
    }
    if (deviceId == device)
        return false;

    deviceId = device;
    enableInteropItem(menu);
    interopActive = interopAvailable();
    tickItem(menu, LabelUseInterop, interopActive);
    return true;
}

void togglePrecision(int item, CGlutMenu& menu)
{
    useDouble = !useDouble;
    if (cpuMode) {
        useExtended = false;
    } else if (!useDouble) {
        clUseDouble = 0;
    } else if (const DeviceInfo* device = currentDevice(); device && device->supportsDouble) {
        clUseDouble = 1;
    } else {
        useDouble = false;
        clUseDouble = 0;
    }
    menu.setItemChecked(item, useDouble);
}

// Ticks and enabled states for the mode now in force.
void refreshState(CGlutMenu& menu)
{
    if (cpuMode) {
        enableItem(menu, LabelCpuThreads, true);
        if (CGlutMenu* threads = menu.getSubmenu(menu.findItem(menuLabels[LabelCpuThreads]))) {
            for (int i = 0; i < maxCpuThreads; ++i)
                threads->setItemChecked(i, cpuThreadCount == i + 1);
        }
        enableItem(menu, LabelDoublePrecision, true);
        return;
    }
    const DeviceInfo* device = currentDevice();
    if (device == nullptr)
        return;
    enableItem(menu, LabelCpuThreads, false);
    tickItem(menu, LabelDoublePrecision, useDouble);
    enableItem(menu, LabelDoublePrecision, device->supportsDouble);
    interopActive = interopAvailable();
    tickItem(menu, LabelUseInterop, interopActive);
    enableInteropItem(menu);
}

// Settles sharing for the device and shaders now in force and asks for a build.
void rebuild(CGlutMenu& menu)
{
    interopActive = interopAvailable();
    tickItem(menu, LabelUseInterop, interopActive);
    enableInteropItem(menu);
    requestKernelRebuild();
}

void runLabelCommand(const std::string& label, int item, CGlutMenu& menu)
{
    if (label == menuLabels[LabelExtendedPrecision]) {
        if (cpuMode) {
            useExtended = !useExtended;
            menu.setItemChecked(item, useExtended);
        }
    } else if (label == menuLabels[LabelSystemInformation]) {
        openSystemInformation();
    } else if (label == menuLabels[LabelSynchronousMode]) {
        syncMode = !syncMode;
        menu.setItemChecked(item, syncMode);
    } else if (label == menuLabels[LabelUseShaders]) {
        useGL2 = !useGL2 && displayState.glslAvailable;
        menu.setItemChecked(item, useGL2);
        rebuild(menu);
    } else if (label == menuLabels[LabelUseInterop]) {
        useInterop = !useInterop;
        interopActive = !cpuMode && useGL2 && useInterop && deviceShares();
        menu.setItemChecked(item, interopActive);
        enableInteropItem(menu);
        rebuild(menu);
    }
}

} // namespace

void devicesMenuCallback(int& item, CGlutMenu* menu, void* userData)
{
    tickItem(*menu, LabelCpu, cpuMode);
    const std::string label = menu->getItemLabel(item);
    bool buildNeeded = false;
    if (item == 0)
        chooseCpu(*menu);
    else if (item >= 1 && item <= deviceCount())
        buildNeeded = chooseDevice(item, *menu, userData);
    else if (label == menuLabels[LabelDoublePrecision])
        togglePrecision(item, *menu);
    refreshState(*menu);

    runLabelCommand(label, item, *menu);
    if (buildNeeded)
        rebuild(*menu);

    if (CGlutMenu* devices = devicesMenu())
        refreshDevicesMenu(devices);
    std::lock_guard lock(pendingFramesMutex);
    pendingFrames += 1;
}

std::vector<std::string> systemInformationLines()
{
    const DeviceInfo* device = currentDevice();
    std::string precision = "Single precision";
    if (cpuMode && useExtended)
        precision = "Extended precision (CPU only)";
    else if (useDouble)
        precision = "Double precision";

    std::string renderer = "1.2 (palette emulation)";
    if (useGL2)
        renderer = interopActive ? "3.0" : "2.0";

    std::string sharing = "Not Available";
    if (!cpuMode && deviceShares() && useGL2)
        sharing = useInterop ? "Enabled" : "Available (Not Enabled)";

    return {
        cpuMode || device == nullptr ? std::string("CPU") : device->name,
        "Compute Precision :" + precision,
        std::string("Output mode         : ") + (tenBitColour ? "10-bits" : "8-bits") + " per channel",
        "Internal bit depth  : 16-bits per channel",
        "Renderer               : OpenGL " + renderer,
        "OpenGL/OpenCL Interop: " + sharing,
        "",
        "CLTessaly V" + versionString,
        "",
        "",
        "Press [RETURN]/[ENTER] to continue",
    };
}

void openSystemInformation()
{
    startFormSetUp(2, "System Information");
    infoForm.lines = systemInformationLines();
    infoForm.editText.clear();
    infoForm.maxChars = 0;
    infoForm.x = 100.0f;
    infoForm.y = 100.0f;
    finishFormSetUp(nullptr);
    infoForm.open();
}
