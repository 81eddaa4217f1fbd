#include "app/driver.h"
#include "core/globals.h"
#include "glutmenu/metrics.h"
#include "opencl/cl_globals.h"
#include "tests/app/test_support.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

// The settings, the view and the shared state as text.
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
         << ", savedDeviceId " << savedDeviceId << ", savedUseInterop " << savedUseInterop
         << ", clReady " << clReady << ", interopFrameCount " << interopFrameCount
         << ", uiScaleX " << uiScaleX;
    return text.str();
}

// NOTE: every value described is constant-initialised, so this dynamic initialiser sees the
// start values whatever order the files are initialised in, and before any test changes them.
const std::string globalsAtStart = describeGlobals();

TEST(GlobalsTest, SharedResetGivesTheStartValuesWithNoFramePending)
{
    cpuMode = clReady = true;
    tenBitColour = false;
    savedUseInterop = false;
    deviceId = paletteType = cpuPrecision = 2;
    currentFractalIndex = zoomSteps = interopFrameCount = imageWidth = 256;
    maxSizeSquared = 16.0L;
    uiScaleX = 2.0f;
    lastDialogPath = "elsewhere";
    resetShellState();
    std::string expected = globalsAtStart;
    expected.replace(expected.find("pendingFrames 1"), 15, "pendingFrames 0");
    EXPECT_EQ(describeGlobals(), expected);
    EXPECT_EQ(lastDialogPath, "Fractal1");
}

} // namespace
