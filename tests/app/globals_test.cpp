#include "app/driver.h"
#include "core/globals.h"
#include "menus/menu_labels.h"
#include "glutmenu/metrics.h"
#include "opencl/cl_globals.h"
#include "tests/app/test_support.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

// The settings, then the view and shared state, as two lines of text.
std::string describeGlobals()
{
    std::ostringstream text;
    text << "cpuMode " << cpuMode << ", useDouble " << useDouble << ", useExtended "
         << useExtended << ", deviceId " << deviceId << ", cpuThreadCount " << cpuThreadCount
         << ", maxCpuThreads " << maxCpuThreads << ", useGL2 " << useGL2 << ", useInterop "
         << useInterop << ", tenBitColour " << tenBitColour << ", syncMode " << syncMode
         << ", timingLogs " << timingLogs << ", autoSwitchPalette " << autoSwitchPalette
         << ", paletteType " << paletteType << ", zoomMode " << zoomMode << "\n"
         << "image " << imageWidth << " x " << imageHeight << ", cpuPrecision " << cpuPrecision
         << ", fractalType " << fractalType << ", maxIterations " << maxIterations
         << ", maxSizeSquared " << maxSizeSquared << ", pendingFrames " << pendingFrames
         << ", currentFractalIndex " << currentFractalIndex << ", zoomSteps " << zoomSteps
         << ", savedDeviceId " << savedDeviceId << ", savedUseInterop " << savedUseInterop;
    return text.str();
}

// NOTE: every value described is constant-initialised, so this dynamic initialiser sees the
// start values whatever order the files are initialised in, and before any test changes them.
const std::string globalsAtStart = describeGlobals();

TEST(GlobalsTest, StaticDefaults)
{
    EXPECT_EQ(globalsAtStart,
              "cpuMode 0, useDouble 0, useExtended 0, deviceId -1, cpuThreadCount 1, "
              "maxCpuThreads 1, useGL2 1, useInterop 1, tenBitColour 1, syncMode 0, timingLogs 1, "
              "autoSwitchPalette 1, paletteType 0, zoomMode 0\n"
              "image 2048 x 2048, cpuPrecision 1, fractalType -1, maxIterations 768, "
              "maxSizeSquared 4, pendingFrames 1, currentFractalIndex -1, zoomSteps 1, "
              "savedDeviceId -1, savedUseInterop 1");
    EXPECT_EQ(versionString, "2.0");
    EXPECT_EQ(lastDialogPath, "Fractal1");
    EXPECT_EQ(menuLabels.size(), static_cast<size_t>(MenuLabelCount));
    EXPECT_EQ(menuLabels[LabelSynchronousMode], "Synchronous Mode (faster/menus less responsive)");
    EXPECT_EQ(menuLabels[LabelVgaAssignment], "VGA Assignmnt");
    EXPECT_EQ(formFieldLabels.size(), 9u);
    EXPECT_EQ(kernelBuildWords[2], "max_palette_value");
}

TEST(GlobalsTest, SharedResetGivesTheStartValuesWithNoFramePending)
{
    cpuMode = true;
    deviceId = 3;
    tenBitColour = false;
    paletteType = 2;
    imageWidth = 256;
    cpuPrecision = 3;
    maxSizeSquared = 16.0L;
    currentFractalIndex = 4;
    zoomSteps = 7;
    savedUseInterop = false;
    lastDialogPath = "elsewhere";
    clReady = true;
    interopFrameCount = 5;
    uiScaleX = 2.0f;
    resetShellState();
    std::string expected = globalsAtStart;
    expected.replace(expected.find("pendingFrames 1"), 15, "pendingFrames 0");
    EXPECT_EQ(describeGlobals(), expected);
    EXPECT_EQ(lastDialogPath, "Fractal1");
    EXPECT_FALSE(clReady);
    EXPECT_EQ(interopFrameCount, 1);
    EXPECT_EQ(uiScaleX, 1.0f);
}

} // namespace
