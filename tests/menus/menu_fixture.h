// The menu tests' set-up: test font, start settings, no device, no form or build pending, menus
// for a 1024 x 768 window; menu readers.
#pragma once

#include "core/fractal_list.h"
#include "core/globals.h"
#include "display/gl_display.h"
#include "glutmenu/metrics.h"
#include "glutmenu/text_input.h"
#include "menus/menu_bar.h"
#include "opencl/opencl_backend.h"
#include "tests/support/display_state.h"
#include "tests/support/test_font.h"

#include <gtest/gtest.h>

using GlutMenu::CGlutMenu;
using Texts = std::vector<std::string>;

class MenuTest : public testing::Test {
protected:
    void SetUp() override
    {
        installTestFont();
        resetDisplayState();
        baseTitle = "Tessaly";
        windowStartWidth = 1024;
        windowStartHeight = 768;
        cpuMode = displayState.glslAvailable = true;
        maxCpuThreads = cpuThreadCount = 8;
        infoForm.close();
        clState.deviceList.clear();
        buildRequests();
        createMenus();
    }

    // Devices "A" and "B" that share textures with OpenGL; only "B" has double precision.
    static void twoDevices() { clState.deviceList = {{nullptr, "A", false, true}, {nullptr, "B", true, true}}; }

    // Builds asked of the OpenCL set-up thread since the last call.
    static int buildRequests()
    {
        int count = 0;
        while (clSetupSemaphore.tryAcquire())
            ++count;
        return count;
    }

    // The menu below the items of these labels, from the bar down.
    static CGlutMenu& menu(std::initializer_list<std::string> path)
    {
        CGlutMenu* at = &menuBar;
        for (const std::string& label : path)
            at = at->getSubmenu(at->findItem(label));
        return at != nullptr ? *at : throw std::runtime_error("no such menu");
    }
    static CGlutMenu& devices() { return menu({"Devices"}); }

    // The labels of the items whose flag in the map equals set.
    static Texts labelsWhere(const CGlutMenu& m, const std::map<int, bool>& flags, bool set)
    {
        Texts labels;
        for (const auto& [item, flag] : flags)
            if (flag == set && static_cast<size_t>(item) < m.labels.size())
                labels.push_back(m.labels[static_cast<size_t>(item)]);
        return labels;
    }
    static Texts ticked(const CGlutMenu& m) { return labelsWhere(m, m.checked, true); }
    static Texts disabled(const CGlutMenu& m) { return labelsWhere(m, m.enabled, false); }

    // Chooses an item as the toolkit does; how far pendingFrames rose.
    static int choose(CGlutMenu& m, const std::string& label)
    {
        int item = m.findItem(label);
        const int32_t before = pendingFrames;
        m.callback(item, &m, m.userData);
        return pendingFrames - before;
    }

    template <typename Action>
    static std::string outputOf(Action action)
    {
        testing::internal::CaptureStdout();
        action();
        return testing::internal::GetCapturedStdout();
    }
};
