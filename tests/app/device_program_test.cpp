// The real executable on this machine's OpenCL device (PoCL): the listing, the device choice,
// frames computed on the device and the shutdown.
#include "core/fractal_list.h"
#include "tests/app/program_run.h"
#include "tests/app/screen_check.h"
#include "tests/app/test_support.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(DeviceProgram, ListsTheDeviceAndChecksDeviceNumbers)
{
    // The probe's enumeration writes its empty line before the CPU pool starts.
    const std::string start =
        "\nMaximum CPU threads: " + std::to_string(std::thread::hardware_concurrency()) + "\n";
    ProgramRun list({"--list"}, true, true);
    EXPECT_EQ(list.exitCode(), 0);
    EXPECT_TRUE(list.output().starts_with(start + " Device ID: 1")) << list.output();
    EXPECT_TRUE(list.output().ends_with("\n\n")) << list.output();

    // Device 0 exists; its check enumerates once more. Device 1 does not.
    ProgramRun help({"--device0", "--help"}, true, true);
    EXPECT_EQ(help.exitCode(), 0) << help.output();
    EXPECT_EQ(help.output(), start + "\n" + expectedHelpText);
    ProgramRun invalid({"--device1"}, true, true);
    EXPECT_EQ(invalid.exitCode(), 1);
    EXPECT_EQ(invalid.output(),
              start + "\nInvalid device Id. Run this app with the --list option to see available devices\n");
}

TEST(DeviceProgram, ComputesOnTheDeviceAndEveryCloseEndsWithZero)
{
    const std::optional<Screenshot> screen = takeScreenshot();
    ASSERT_TRUE(screen) << "needs an X display (xvfb-run) and ImageMagick's import";
    const std::vector<ColourSample> samples =
        paletteSamples(defaultFractalRecord(Mandelbrot, 0), static_cast<int>(static_cast<float>(screen->width) * 0.9f),
                       static_cast<int>(static_cast<float>(screen->height) * 0.9f));

    // The OpenCL runtime tears itself down at exit as well; every run must end cleanly anyway.
    for (int cycle = 0; cycle < 5 && !HasFailure(); ++cycle) {
        const bool useDouble = cycle % 2 == 1;
        const std::string precision = useDouble ? "Double" : "Single";
        ProgramRun run(useDouble ? std::vector<std::string>{"--double"} : std::vector<std::string>{}, true, true);
        ASSERT_TRUE(run.waitFor("Frame time ")) << run.output() << run.errors();
        const std::string out = run.output();
        EXPECT_TRUE(inOrder(out, {useDouble ? "" : "Double Precision Available\n", "Running on device: ",
                                  " in " + precision + " precision\n",
                                  "Palette already initialised, paletteType is 0\n", "OpenCL double precison on ",
                                  "Not using interop\n", "Frame time "}))
            << out;
        EXPECT_EQ(countOf(out, "Double Precision Available"), useDouble ? 0u : 1u) << out;
        EXPECT_EQ(countOf(out, "OpenCL double precison on "), 1u) << out;
        EXPECT_EQ(waitForColours(samples), "") << precision;

        ASSERT_TRUE(closeProgramWindow(run));
        EXPECT_EQ(run.exitCode(), 0) << run.output() << run.errors();
        EXPECT_TRUE(run.output().ends_with(closingLines)) << run.output();
        EXPECT_EQ(run.errors(), "");
    }
}

TEST(DeviceProgram, CloseEndsALongDeviceFramePromptlyInEitherMode)
{
    // After the quick record's frame the device starts on the cardioid's inside at a million
    // iterations, which it would compute for hours.
    const std::string list = writeList("long_device_frame", quickThenInside("Inside", 1000000));
    for (const std::string mode : {"--sync", "--async"}) {
        SCOPED_TRACE(mode);
        ProgramRun run({"--device0", "--bench:" + list, mode}, true, true);
        ASSERT_TRUE(run.waitFor("Frame time ")) << run.output() << run.errors();
        ASSERT_TRUE(waitForComputing(run, 1.0)) << run.output();
        ASSERT_TRUE(closeProgramWindow(run));
        EXPECT_EQ(run.exitCode(promptly), 0) << run.output() << run.errors();
        EXPECT_TRUE(run.output().ends_with(closingLines)) << run.output();
        EXPECT_EQ(countOf(run.output(), "Total rendering time "), 0u) << run.output();
        EXPECT_EQ(run.errors(), "");
    }
}

} // namespace
