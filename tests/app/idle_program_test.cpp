// The real program at rest: with its frame shown and nothing to compute it waits for the
// display's refresh instead of drawing as fast as it can.
#include "tests/app/program_run.h"

#include <gtest/gtest.h>

namespace {

TEST(IdleProgram, ShowingAFinishedFrameUsesLittleOfOneCore)
{
    // A small screen keeps each drawn frame cheap: what is left is the rate of the loop.
    OwnXServer server("320x240");
    ASSERT_NE(server.display(), "") << "needs Xvfb";
    Launch launch;
    launch.display = server.display();
    ProgramRun run({"--cpu"}, launch);
    // The start computes two frames; after them there is nothing left to compute.
    ASSERT_TRUE(run.waitFor("Frame time ", 2)) << run.output() << run.errors();

    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const double used = run.cpuSeconds();
    ASSERT_FALSE(run.exitCode(std::chrono::milliseconds(2500))) << run.output() << run.errors();
    const std::chrono::duration<double> elapsed = Clock::now() - start;
    const double cores = (run.cpuSeconds() - used) / elapsed.count();
    // Paced at 60 Hz it takes about a fifth of a core; unpaced it keeps at least one busy.
    EXPECT_LT(cores, 0.5);
    server.kill();
    EXPECT_TRUE(run.exitCode());
}

} // namespace
