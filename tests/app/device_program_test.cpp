// The real executable on this machine's OpenCL device (PoCL): the listing, the device choice,
// frames computed on the device and the shutdown.
#include "core/fractal_list.h"
#include "tests/app/program_run.h"
#include "tests/app/screen_check.h"
#include "tests/app/test_support.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

const std::string threadsLine =
    "Maximum CPU threads: " + std::to_string(std::thread::hardware_concurrency()) + "\n";
const std::string invalidDevice =
    "Invalid device Id. Run this app with the --list option to see available devices\n";

const std::vector<std::string> shutdownLines{
    "Releasing OpenCL resources ...[DONE]\n",
    "Shutting down threads\n",
    "Thread shutdown complete\n",
};

// The window's size on this screen: 0.9 of the screen in each direction.
std::pair<int, int> windowSize()
{
    const std::optional<Screenshot> screen = takeScreenshot();
    if (!screen)
        return {0, 0};
    return {static_cast<int>(static_cast<float>(screen->width) * 0.9f),
            static_cast<int>(static_cast<float>(screen->height) * 0.9f)};
}

TEST(DeviceProgram, ListsTheDeviceAndChecksDeviceNumbers)
{
    {
        ProgramRun run({"--list"}, true, true);
        EXPECT_EQ(run.exitCode(), 0);
        const std::string out = run.output();
        // The probe's enumeration writes its empty line before the CPU pool starts.
        EXPECT_TRUE(out.starts_with("\n" + threadsLine + " Device ID: 1")) << out;
        EXPECT_NE(out.find(" MB, Double Precision: Yes\nOpenGL interop: No\n\n"), std::string::npos) << out;
        EXPECT_TRUE(out.ends_with("\n\n")) << out;
    }
    {
        ProgramRun run({"--device0", "--help"}, true, true);
        EXPECT_EQ(run.exitCode(), 0) << run.output();
        EXPECT_EQ(run.output(), "\n" + threadsLine + "\n" + expectedHelpText)
            << "device 0 exists; its check enumerates once more";
    }
    for (const char* device : {"--device1", "--device-1"}) {
        ProgramRun run({device}, true, true);
        EXPECT_EQ(run.exitCode(), 1) << device;
        EXPECT_EQ(run.output(), "\n" + threadsLine + "\n" + invalidDevice) << device;
    }
}

TEST(DeviceProgram, ComputesOnTheDeviceAndClosesCleanly)
{
    const auto [width, height] = windowSize();
    ASSERT_GT(width, 0) << "needs an X display (xvfb-run) and ImageMagick's import";
    const std::vector<ColourSample> samples =
        paletteSamples(defaultFractalRecord(Mandelbrot, 0), width, height);

    for (const char* precision : {"Single", "Double"}) {
        const bool useDouble = std::string(precision) == "Double";
        ProgramRun run(useDouble ? std::vector<std::string>{"--double"} : std::vector<std::string>{},
                       true, true);
        ASSERT_TRUE(run.waitFor("Frame time ")) << run.output() << run.errors();
        const std::string out = run.output();
        std::vector<std::string> lines;
        if (!useDouble)
            lines.push_back("Double Precision Available\n");
        lines.insert(lines.end(), {"Running on device: ", std::string(" in ") + precision + " precision\n",
                                   "Palette already initialised, paletteType is 0\n",
                                   "OpenCL double precison on ", "Not using interop\n", "Frame time "});
        EXPECT_TRUE(inOrder(out, lines)) << out;
        EXPECT_EQ(countOf(out, "Double Precision Available"), useDouble ? 0u : 1u) << out;
        EXPECT_EQ(countOf(out, "OpenCL double precison on "), 1u) << out;
        EXPECT_EQ(waitForColours(samples), "") << precision;

        ASSERT_TRUE(closeProgramWindow());
        EXPECT_EQ(run.exitCode(), 0) << run.output() << run.errors();
        EXPECT_TRUE(inOrder(run.output(), shutdownLines)) << run.output();
        EXPECT_EQ(run.errors(), "");
    }
}

TEST(DeviceProgram, EveryCloseAfterADeviceFrameEndsWithZero)
{
    // The OpenCL runtime tears itself down at exit as well; the program must end cleanly anyway.
    for (int cycle = 0; cycle < 5; ++cycle) {
        ProgramRun run(std::vector<std::string>{}, true, true);
        ASSERT_TRUE(run.waitFor("Frame time ")) << cycle << run.output() << run.errors();
        ASSERT_TRUE(closeProgramWindow());
        EXPECT_EQ(run.exitCode(), 0) << cycle << run.output() << run.errors();
        EXPECT_TRUE(run.output().ends_with("Thread shutdown complete\n")) << run.output();
        if (HasFailure())
            break;
    }
}

} // namespace
