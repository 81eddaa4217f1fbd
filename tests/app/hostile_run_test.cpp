// The real program against a record that never ends, a benchmark towards not-a-number, an X
// server that dies and a closed console.
#include "core/fractal_list.h"
#include "platform/display_loss.h"
#include "tests/app/program_run.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <limits>

namespace {

TEST(HostileRun, CloseEndsAnEndlessFrameOrABenchmarkTowardsNotANumberPromptly)
{
    // Once the quick record's frame is done, the pool starts on an endless one: on the compute
    // thread, or on the main thread inside the displayed frame.
    const std::string list = writeList("endless", quickThenInside("Endless", std::numeric_limits<int32_t>::max()));
    for (const std::string mode : {"--async", "--sync"}) {
        for (const std::string precision : {"--single", "--double", "--extended"}) {
            SCOPED_TRACE(mode + " " + precision);
            ProgramRun run({"--cpu", precision, "--bench:" + list, mode});
            ASSERT_TRUE(run.waitFor("Endless Z-range")) << run.output() << run.errors();
            // The endless frame is under way once the program has computed for a while.
            ASSERT_TRUE(waitForComputing(run, 1.0)) << run.output();
            ASSERT_TRUE(closeProgramWindow(run));
            EXPECT_EQ(run.exitCode(promptly), 0) << run.output() << run.errors();
            EXPECT_TRUE(run.output().ends_with(closingLines)) << run.output();
            EXPECT_EQ(countOf(run.output(), "Total rendering time "), 0u) << "the benchmark ran on";
        }
    }

    // Pairs of records with one id: the benchmark animates from each ordinary view towards
    // bounds that are not numbers, and computes its frames on the main thread.
    std::vector<FractalRecord> records;
    for (int32_t i = 0; i < 20; ++i) {
        records.push_back(quickRecord("Ordinary", i));
        records.push_back(quickRecord("Broken", i));
        records.back().minX = records.back().maxY = std::numeric_limits<long double>::quiet_NaN();
    }
    ProgramRun run({"--cpu", "--extended", "--bench:" + writeList("towards-nan", records)});
    ASSERT_TRUE(run.waitFor("Frame time ", 5)) << run.output() << run.errors();
    ASSERT_TRUE(closeProgramWindow(run));
    EXPECT_EQ(run.exitCode(promptly), 0) << run.output() << run.errors();
    EXPECT_EQ(countOf(run.output(), "Total rendering time"), 0u) << "closed before the benchmark's end";
}

TEST(HostileRun, LosingTheDisplayEndsTheProgramPromptly)
{
    OwnXServer server("1024x768");
    ASSERT_NE(server.display(), "") << "needs Xvfb";
    Launch launch;
    launch.display = server.display();
    ProgramRun run({"--cpu"}, launch);
    const bool framed = run.waitFor("Frame time ");
    server.kill();
    ASSERT_TRUE(framed) << run.output() << run.errors();
    EXPECT_EQ(run.exitCode(promptly), displayLostExitCode) << run.output() << run.errors();
    EXPECT_EQ(run.errors(), "X connection to " + server.display() + " broken\n");
}

TEST(HostileRun, ClosedStandardDescriptorsGiveAnOrdinaryRun)
{
    // Otherwise the first files the program opens, the X connection among them, take them.
    const std::vector<int> out{STDOUT_FILENO}, all{STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO};
    for (const std::vector<int>& closed : {out, all}) {
        SCOPED_TRACE(closed.size());
        Launch launch;
        launch.closedDescriptors = closed;
        ProgramRun run({"--cpu"}, launch);
        ASSERT_TRUE(closeProgramWindow(run));
        EXPECT_EQ(run.exitCode(), 0);
        EXPECT_EQ(run.output(), "");
    }
}

} // namespace
