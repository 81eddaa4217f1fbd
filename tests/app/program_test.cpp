// The real executable under the test's X server: its console, exit codes, window and pixels.
#include "core/fractal_list.h"
#include "tests/app/program_run.h"
#include "tests/app/screen_check.h"
#include "tests/app/test_support.h"
#include "tests/support/no_opencl.h"

#include "opencl/opencl_backend.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <thread>

namespace {

const std::string parameterTail = ", c = (0.000000,0.000000), maxIters = 768, maxSize = 4.000000\r\n";
const std::string mandelbrotLine =
    "Mandelbrot Z-range:(-2.000000, -1.500000)-(2.000000, 1.500000)" + parameterTail;

const std::vector<std::string> shutdownLines{
    "Releasing OpenCL resources ...[DONE]\n",
    "Shutting down threads\n",
    "Shutting down threads\n",
    "Thread shutdown complete\n",
};

std::string maximumThreadsLine()
{
    return "Maximum CPU threads: " + std::to_string(std::thread::hardware_concurrency()) + "\n";
}

// The main window's size on this screen: 0.9 of the screen in each direction.
std::pair<int, int> windowSizeFor(const Screenshot& screen)
{
    return {static_cast<int>(static_cast<float>(screen.width) * 0.9f),
            static_cast<int>(static_cast<float>(screen.height) * 0.9f)};
}

// Closes the window and expects the shutdown lines in order and exit code 0.
void closeAndExpectCleanShutdown(ProgramRun& run)
{
    ASSERT_TRUE(closeProgramWindow(run));
    EXPECT_EQ(run.exitCode(), 0) << run.output() << run.errors();
    EXPECT_TRUE(inOrder(run.output(), shutdownLines)) << run.output();
    EXPECT_TRUE(run.output().ends_with(shutdownLines.back())) << run.output();
}

TEST(Program, StartsShowsTheMandelbrotResizesAndShutsDown)
{
    const std::optional<Screenshot> screen = takeScreenshot();
    ASSERT_TRUE(screen) << "needs an X display (xvfb-run) and ImageMagick's import";
    const auto [width, height] = windowSizeFor(*screen);

    ProgramRun run(std::vector<std::string>{});
    ASSERT_TRUE(run.waitFor("Frame time ")) << run.output() << run.errors();
    const std::string startup = run.output();
    EXPECT_TRUE(startup.starts_with(maximumThreadsLine() +
                                    "No OpenCL devices are available. Reverting to CPU rendering\n"
                                    "Set RGBA mode 10:10:10:2\n"
                                    "Initialising texture \n"))
        << startup;
    EXPECT_EQ(countOf(startup, "Set RGBA mode"), 1u) << "the hidden window keeps the default depth";
    EXPECT_TRUE(inOrder(startup, {"Initialising texture \n", "Reinitialising palette\n",
                                  "Running on CPU with " +
                                      std::to_string(std::thread::hardware_concurrency()) +
                                      " threads in Single precision\n",
                                  mandelbrotLine, "OpenGL 2.0 is Available\n",
                                  "Palette already initialised, paletteType is 0\n", "Frame time "}))
        << startup;
    EXPECT_EQ(run.errors(), "");

    const std::vector<ColourSample> samples = paletteSamples(defaultFractalRecord(Mandelbrot, 0), width, height);
    EXPECT_GE(distinctCounts(samples), 6u);
    EXPECT_EQ(waitForColours(samples), "") << "window " << width << " x " << height;

    // The title is set again once the window is up: the real depth, no fractal name yet.
    const std::string id = programWindowId(run);
    ASSERT_NE(id, "");
    EXPECT_EQ(commandOutput("xdotool getwindowname " + id),
              "Tessaly with OpenCL V2.0 (8-bits per channel) :\n");

    // Resized: laid out again for the framebuffer, the image scaled into the smaller window.
    ASSERT_TRUE(runCommand("xdotool windowsize " + id + " 800 600"));
    ASSERT_TRUE(run.waitFor("font scale ")) << run.output();
    EXPECT_TRUE(inOrder(run.output(), {"Reshape callback\n", "Reshaping to 800x600\n",
                                       "scale 0.78125, 0.78125\n", "font scale 0.46875, 0.117199\n"}))
        << run.output();
    const std::vector<ColourSample> resized = paletteSamples(defaultFractalRecord(Mandelbrot, 0), 800, 600);
    EXPECT_GE(distinctCounts(resized), 6u);
    EXPECT_EQ(waitForColours(resized), "");

    closeAndExpectCleanShutdown(run);
    EXPECT_EQ(run.errors(), "");
}

// A cheap record over its own part of the plane, so that the screen tells which record is shown.
FractalRecord stepRecord(const std::string& name, int32_t id, long double minX, long double minY,
                         long double width)
{
    FractalRecord record = quickRecord(name, id);
    record.minX = minX;
    record.maxX = minX + width;
    record.minY = minY;
    record.maxY = minY + width * 0.75L;
    return record;
}

TEST(Program, WheelAndShiftKeysStepThroughABenchmarkedList)
{
    const std::optional<Screenshot> screen = takeScreenshot();
    ASSERT_TRUE(screen) << "needs an X display (xvfb-run) and ImageMagick's import";
    const auto [width, height] = windowSizeFor(*screen);
    const std::map<std::string, FractalRecord> records{
        {"Step A", stepRecord("Step A", 0, -2.0L, -1.5L, 4.0L)},
        {"Step B", stepRecord("Step B", 1, -1.75L, -0.75L, 2.0L)},
        {"Step C", stepRecord("Step C", 2, -2.5L, -1.5L, 4.0L)},
    };
    const std::string list =
        writeList("stepping", {records.at("Step A"), records.at("Step B"), records.at("Step C")});
    ProgramRun run({"--cpu", "--bench:" + list});
    ASSERT_TRUE(run.waitFor("Total rendering time ")) << run.output() << run.errors();
    // The list's end queues the last record again and animates over it; then the driver rests.
    const std::string benchmark = run.output();
    const size_t end = benchmark.find("Total rendering time ");
    ASSERT_TRUE(run.waitFor("Step C Z-range", countOf(benchmark.substr(0, end), "Step C Z-range") + 2));
    const size_t before = run.output().size();

    // One user action, then the records whose parameter lines it prints, in order.
    std::vector<std::string> expected;
    std::map<std::string, size_t> linesBefore;
    for (const auto& [name, record] : records)
        linesBefore[name] = countOf(run.output(), name + " Z-range");
    auto linesOf = [&](const std::string& name) {
        expected.push_back(name);
        return linesBefore[name] + std::count(expected.begin(), expected.end(), name);
    };
    auto press = [&](const std::string& key, const std::vector<std::string>& shown) {
        // NOTE: xdotool's "key shift+Left" does not reach GLFW as a shifted key on Xvfb; holding
        // Shift around the key does.
        const std::string action = key.starts_with("shift+")
                                       ? "keydown shift key " + key.substr(6) + " keyup shift"
                                       : "key " + key;
        ASSERT_TRUE(runCommand("xdotool " + action));
        for (const std::string& name : shown)
            ASSERT_TRUE(run.waitFor(name + " Z-range", linesOf(name))) << key << "\n" << run.output().substr(before);
    };
    // A step takes the wheel away until the next frame is shown: the record's picture on the
    // screen is that frame.
    auto expectOnScreen = [&](const std::string& name) {
        ASSERT_EQ(waitForColours(paletteSamples(records.at(name), width, height)), "") << name;
    };
    // Four notches against the step, then nine with it: the sum first reaches five at the last
    // notch. One step, and none on the way there (four notches do nothing); the line order
    // checked at the end shows both.
    auto turnWheel = [&](int button, const std::string& name) {
        const int against = button == 4 ? 5 : 4;
        ASSERT_TRUE(runCommand("xdotool click --repeat 4 --delay 1 " + std::to_string(against)));
        ASSERT_TRUE(runCommand("xdotool click --repeat 9 --delay 1 " + std::to_string(button)));
        ASSERT_TRUE(run.waitFor(name + " Z-range", linesOf(name))) << run.output().substr(before);
    };

    expectOnScreen("Step C");
    // The pointer rests over the window, where the status lines are drawn and no colour is read.
    ASSERT_TRUE(runCommand("xdotool mousemove " + std::to_string(width * 4 / 5) + " " +
                           std::to_string(height * 7 / 20)));
    press("shift+Left", {"Step B"});
    expectOnScreen("Step B");
    turnWheel(4, "Step A"); // wheel up: the previous record
    press("shift+Left", {}); // already the first record
    press("shift+Right", {"Step B"});
    expectOnScreen("Step B");
    turnWheel(5, "Step C"); // wheel down: the next record
    press("shift+Home", {"Step A", "Step A"});
    press("shift+End", {"Step C", "Step C"});
    press("Right", {}); // without Shift the key is the menus'
    press("shift+Left", {"Step B"});

    std::vector<std::string> shown;
    const std::string after = run.output().substr(before);
    for (size_t at = after.find(" Z-range"); at != std::string::npos; at = after.find(" Z-range", at + 1))
        shown.push_back(after.substr(after.rfind('\n', at) + 1, at - after.rfind('\n', at) - 1));
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(countOf(run.output(), "Total rendering time "), 1u);
    closeAndExpectCleanShutdown(run);
}

TEST(Program, BenchmarksReportOnceAndClose)
{
    // A file without fractals: the default Mandelbrot is benchmarked instead of an empty list,
    // here without the palette shaders.
    {
        const std::string missing = std::string(TESSALY_BINARY_DIR) + "/tests/no_such_list.frac2";
        ProgramRun run({"--cpu", "--nogl2", "--bench:" + missing});
        ASSERT_TRUE(run.waitFor(mandelbrotLine, 2)) << run.output() << run.errors();
        EXPECT_TRUE(inOrder(run.output(), {"Could not read from disk\n",
                                           "No fractal in " + missing + ", starting with the default Mandelbrot\n",
                                           mandelbrotLine, "OpenGL 2.0 is Not available\n",
                                           "Frame time ", "Total rendering time ", mandelbrotLine}))
            << run.output();
        closeAndExpectCleanShutdown(run);
        EXPECT_EQ(countOf(run.output(), "Total rendering time "), 1u);
    }

    ProgramRun run({"--cpu", "--bench:examples/mandelbrot.frac2"});
    // Shown when loaded and again when the end of the list queues it once more.
    ASSERT_TRUE(run.waitFor(mandelbrotLine, 2)) << run.output() << run.errors();
    const std::string out = run.output();
    EXPECT_TRUE(inOrder(out, {maximumThreadsLine(),
                              "CPU Threads: " + std::to_string(std::thread::hardware_concurrency()) + "\n",
                              "No OpenCL devices are available. Reverting to CPU rendering\n",
                              "Loaded v2 fractal\n", mandelbrotLine, "Loaded  1 fractals.\n",
                              "OpenGL 2.0 is Available\n", "Frame time ", "Total rendering time ",
                              mandelbrotLine}))
        << out;
    EXPECT_EQ(countOf(out, "Total rendering time 0 s"), 0u) << "the one frame is in the total";
    EXPECT_EQ(countOf(out, "Total rendering time "), 1u) << out;
    closeAndExpectCleanShutdown(run);
    EXPECT_EQ(countOf(run.output(), "Total rendering time "), 1u);
}

TEST(Program, TwentyStartsAndClosesInARow)
{
    for (int cycle = 0; cycle < 20; ++cycle) {
        ProgramRun run(std::vector<std::string>{});
        ASSERT_TRUE(run.waitFor("OpenGL 2.0 is Available\n")) << cycle << run.output() << run.errors();
        closeAndExpectCleanShutdown(run);
        if (HasFailure())
            break;
    }
}

TEST(Program, ClosingInALongFrameDuringAnAnimationEndsAtOnce)
{
    // Two records of one id: the benchmark animates from the first to the second, and every
    // frame of the cardioid's inside at a million iterations would take minutes.
    FractalRecord inside = defaultFractalRecord(Mandelbrot, 0);
    inside.maxX = 0.0L;
    inside.minX = -0.5L;
    inside.maxY = 0.25L;
    inside.minY = -0.25L;
    inside.maxIterations = 1000000;
    inside.name = "Inside";
    FractalRecord zoomed = inside;
    zoomed.minX = -0.25L;
    const std::string list = writeList("long_frames", {inside, zoomed});

    ProgramRun run({"--bench:" + list, "--async"});
    ASSERT_TRUE(run.waitFor("renderScene() - palette update\n")) << run.output() << run.errors();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    closeAndExpectCleanShutdown(run);
    EXPECT_EQ(countOf(run.output(), "Inside Z-range"), 1u) << "the animation never ended";
    EXPECT_EQ(countOf(run.output(), "Total rendering time "), 0u);
}

TEST(Program, HelpListAndStartFailuresEndWithTheirCodes)
{
    const std::string threads = maximumThreadsLine();
    {
        ProgramRun run({"--help", "--cpu4"});
        EXPECT_EQ(run.exitCode(), 0);
        EXPECT_EQ(run.output(),
                  threads + expectedHelpText);
    }
    {
        ProgramRun run({"--LIST"});
        EXPECT_EQ(run.exitCode(), 0);
        EXPECT_EQ(run.output(), threads) << "no OpenCL runtime: nothing listed";
    }
    for (const char* device : {"--device0", "--device-1"}) {
        ProgramRun run({"--cpu2", device, "--help"});
        EXPECT_EQ(run.exitCode(), 1) << device;
        EXPECT_EQ(run.output(), threads + "CPU Threads: 2\n"
                                          "Invalid device Id. Run this app with the --list option to see available devices\n");
    }
    {
        ProgramRun run({"--cpu2"}, false);
        EXPECT_EQ(run.exitCode(), 100);
        EXPECT_EQ(run.output(), threads + "CPU Threads: 2\n"
                                          "No OpenCL devices are available. Reverting to CPU rendering\n"
                                          "Set RGBA mode 10:10:10:2\n"
                                          "Could not create window. Aborting\n");
    }
}

TEST(Program, WithoutTheOpenCLLibraryComputesOnTheCpu)
{
    ASSERT_TRUE(openCLRuntimeLoads()) << "needs the OpenCL loader (libOpenCL.so.1)";
    const std::string library = mappedLibrary("libOpenCL.so");
    ASSERT_NE(library, "");
    const std::string list = writeList("no_library", {quickRecord("Quick", 0)});
    // The machine's platforms stay visible: only the covered library keeps the program from them.
    // A device file is no library; libm is one without the OpenCL entry points.
    for (const std::string& cover : {std::string("/dev/null"), mappedLibrary("libm.so")}) {
        SCOPED_TRACE(cover);
        Launch launch;
        launch.withOpenCL = true;
        std::string why;
        launch.wrapper = coveringWrapper(cover, library, why);
        if (launch.wrapper.empty())
            GTEST_SKIP() << why;
        {
            ProgramRun run({"--list"}, launch);
            EXPECT_EQ(run.exitCode(), 0) << run.errors();
            EXPECT_EQ(run.output(), maximumThreadsLine()) << "nothing listed";
        }
        ProgramRun run({"--bench:" + list}, launch);
        ASSERT_TRUE(run.waitFor("Total rendering time ")) << run.output() << run.errors();
        EXPECT_TRUE(inOrder(run.output(), {maximumThreadsLine(),
                                           "No OpenCL devices are available. Reverting to CPU rendering\n",
                                           "Running on CPU with " +
                                               std::to_string(std::thread::hardware_concurrency()) +
                                               " threads in Single precision\n",
                                           "Total rendering time "}))
            << run.output();
        closeAndExpectCleanShutdown(run);
        EXPECT_EQ(run.errors(), "");
    }
}

} // namespace
