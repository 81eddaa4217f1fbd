// Shared set-up of the menu tests: the menu font beside the test, settings, list and queue at
// their start values and a 1024 x 768 window size.
#pragma once

#include "core/fractal_list.h"
#include "core/globals.h"
#include "display/gl_display.h"
#include "glutmenu/glut_menu.h"
#include "glutmenu/metrics.h"
#include "glutmenu/text_input.h"
#include "menus/menu_bar.h"
#include "menus/menu_labels.h"
#include "opencl/cl_globals.h"
#include "opencl/opencl_backend.h"
#include "tests/core/list_state.h"
#include "tests/support/test_font.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using GlutMenu::CGlutMenu;

class MenuTest : public testing::Test {
protected:
    void SetUp() override
    {
        installTestFont();
        infoForm.close();
        resetListState("Tessaly");
        windowStartWidth = 1024;
        windowStartHeight = 768;
        cpuMode = true;
        useDouble = useExtended = false;
        deviceId = -1;
        maxCpuThreads = 8;
        cpuThreadCount = 8;
        useGL2 = useInterop = true;
        tenBitColour = true;
        syncMode = false;
        timingLogs = true;
        zoomMode = false;
        interopActive = false;
        clUseDouble = 0;
        displayState.glslAvailable = true;
        clState.deviceList.clear();
        benchmarkActive = false;
        zoomRequested = zoomAnimating = false;
        cycleDirection = 0;
        redrawRequested = false;
        savedDeviceId = -1;
        savedUseInterop = true;
        savedInteropActive = false;
        quitFlag = stopFlag = false;
        currentFilePath.clear();
        lastDialogPath = "Fractal1";
    }

    void TearDown() override
    {
        infoForm.close();
        while (clSetupSemaphore.tryAcquire()) {
        }
        clState.deviceList.clear();
        displayState.glslAvailable = false;
        fractalViewHooks = {};
        quitFlag = stopFlag = false;
        benchmarkActive = false;
    }

    // Builds asked of the OpenCL set-up thread since the last call.
    static int buildRequests()
    {
        int count = 0;
        while (clSetupSemaphore.tryAcquire())
            ++count;
        return count;
    }

    // What the action writes to standard output.
    template <typename Action>
    static std::string outputOf(Action action)
    {
        testing::internal::CaptureStdout();
        action();
        return testing::internal::GetCapturedStdout();
    }

    static DeviceInfo device(const std::string& name, bool fp64, bool sharing)
    {
        DeviceInfo info;
        info.name = name;
        info.supportsDouble = fp64;
        info.supportsGLSharing = sharing;
        return info;
    }

    // The menu hanging from item of parent; fails the test when there is none.
    static CGlutMenu& sub(CGlutMenu& parent, const std::string& item)
    {
        CGlutMenu* menu = parent.getSubmenu(parent.findItem(item));
        if (menu == nullptr)
            throw std::runtime_error("no sub-menu under " + item);
        return *menu;
    }
    static CGlutMenu& file() { return sub(menuBar, "File"); }
    static CGlutMenu& palette() { return sub(menuBar, "Palette"); }
    static CGlutMenu& devices() { return sub(menuBar, "Devices"); }
    static CGlutMenu& threads() { return sub(devices(), "CPU Threads"); }

    static bool ticked(const CGlutMenu& menu, const std::string& label)
    {
        const auto found = menu.checked.find(menu.findItem(label));
        return found != menu.checked.end() && found->second;
    }
    static bool usable(const CGlutMenu& menu, const std::string& label)
    {
        const auto found = menu.enabled.find(menu.findItem(label));
        return found != menu.enabled.end() && found->second;
    }
    // The labels of the ticked items, in order.
    static std::vector<std::string> tickedLabels(const CGlutMenu& menu)
    {
        std::vector<std::string> labels;
        for (size_t i = 0; i < menu.labels.size(); ++i) {
            const auto found = menu.checked.find(static_cast<int>(i));
            if (found != menu.checked.end() && found->second)
                labels.push_back(menu.labels[i]);
        }
        return labels;
    }

    // Chooses the item with this label, as the toolkit does: the menu's own callback with the
    // item's index.
    static void choose(CGlutMenu& menu, const std::string& label)
    {
        int item = menu.findItem(label);
        ASSERT_GE(item, 0) << label;
        menu.callback(item, &menu, menu.userData);
    }
};
