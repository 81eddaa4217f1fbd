// The real program against what a hostile user or a failing machine does to it: a record that
// never ends, a benchmark towards not-a-number, an X server that dies, a closed console.
#include "core/fractal_list.h"
#include "platform/display_loss.h"
#include "tests/app/program_run.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <limits>
#include <string>
#include <vector>

namespace {

// "Ends promptly": far above the fraction of a second a close takes, far below a frame that
// runs on after it.
constexpr std::chrono::seconds promptly{5};

// Waits until the program has used the given CPU seconds more; false at the time limit.
bool waitForProgramWork(ProgramRun& run, double seconds)
{
    const double start = run.cpuSeconds();
    const auto deadline = std::chrono::steady_clock::now() + programTimeLimit;
    while (run.cpuSeconds() - start < seconds) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// An X server of the test's own, on a free display, which the test may kill.
class OwnXServer {
public:
    OwnXServer()
    {
        int ready[2];
        if (pipe(ready) != 0)
            return;
        pid = fork();
        if (pid == 0) {
            ::close(ready[0]);
            const std::string fd = std::to_string(ready[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24",
                   "-nolisten", "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        ::close(ready[1]);
        // Xvfb writes its display number and a line end once it takes connections.
        char c;
        std::string number;
        while (::read(ready[0], &c, 1) == 1 && c != '\n')
            number += c;
        ::close(ready[0]);
        if (!number.empty())
            name = ":" + number;
    }
    ~OwnXServer() { kill(); }

    const std::string& display() const { return name; }

    void kill()
    {
        if (pid <= 0)
            return;
        ::kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        pid = -1;
    }

private:
    pid_t pid = -1;
    std::string name;
};

TEST(HostileRun, CloseEndsAnEndlessFramePromptlyInEveryPrecision)
{
    // A quick record first: once its frame is done and the endless one is current, the
    // endless frame runs, on the compute thread.
    FractalRecord endless = defaultFractalRecord(Mandelbrot, 0);
    endless.name = "Endless";
    endless.id = 1;
    endless.minX = -0.5L;
    endless.maxX = 0.0L;
    endless.minY = -0.25L;
    endless.maxY = 0.25L;
    endless.maxIterations = std::numeric_limits<int32_t>::max();
    const std::string list = writeList("endless", {quickRecord("Quick", 0), endless});

    for (const std::string precision : {"--single", "--double", "--extended"}) {
        SCOPED_TRACE(precision);
        ProgramRun run({"--cpu", precision, "--bench:" + list, "--async"});
        ASSERT_TRUE(run.waitFor("Frame time ")) << run.output() << run.errors();
        ASSERT_TRUE(run.waitFor("Endless Z-range")) << run.output();
        ASSERT_TRUE(waitForProgramWork(run, 1.0));
        ASSERT_TRUE(closeProgramWindow());
        EXPECT_EQ(run.exitCode(promptly), 0) << run.output() << run.errors();
    }
}

TEST(HostileRun, CloseEndsABenchmarkTowardsNotANumberInExtendedPrecision)
{
    // Pairs of records that share an id: the benchmark animates from each ordinary view
    // towards bounds that are not numbers, and every frame on the way has such bounds.
    const long double notANumber = std::numeric_limits<long double>::quiet_NaN();
    std::vector<FractalRecord> records;
    for (int32_t i = 0; i < 20; ++i) {
        FractalRecord ordinary = quickRecord("Ordinary", i);
        FractalRecord broken = ordinary;
        broken.name = "Broken";
        broken.minX = broken.maxX = broken.minY = broken.maxY = notANumber;
        records.push_back(ordinary);
        records.push_back(broken);
    }
    ProgramRun run({"--cpu", "--extended", "--bench:" + writeList("towards-nan", records)});
    // The first frames on the way: without them the frames run on the main thread for minutes.
    ASSERT_TRUE(run.waitFor("Frame time ", 5)) << run.output() << run.errors();
    ASSERT_TRUE(closeProgramWindow());
    EXPECT_EQ(run.exitCode(promptly), 0) << run.output() << run.errors();
    EXPECT_EQ(countOf(run.output(), "Total rendering time"), 0u) << "closed after the benchmark";
}

TEST(HostileRun, LosingTheDisplayEndsTheProgramPromptly)
{
    OwnXServer server;
    ASSERT_NE(server.display(), "") << "needs Xvfb";
    Launch launch;
    launch.display = server.display();
    ProgramRun run({"--cpu"}, launch);
    ASSERT_TRUE(run.waitFor("Frame time ")) << run.output() << run.errors();
    server.kill();
    EXPECT_EQ(run.exitCode(promptly), displayLostExitCode) << run.output() << run.errors();
    EXPECT_EQ(run.errors(), "X connection to " + server.display() + " broken\n");
}

TEST(HostileRun, ClosedStandardDescriptorsGiveAnOrdinaryRun)
{
    // Without its descriptors 0 to 2 the program would hand them to the first files it opens,
    // the X connection among them, and write its console into them.
    const std::vector<std::vector<int>> closings{{STDOUT_FILENO},
                                                 {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}};
    for (const std::vector<int>& closed : closings) {
        SCOPED_TRACE(closed.size());
        Launch launch;
        launch.closedDescriptors = closed;
        ProgramRun run({"--cpu"}, launch);
        ASSERT_TRUE(closeProgramWindow());
        EXPECT_EQ(run.exitCode(), 0);
        EXPECT_EQ(run.output(), "");
    }
}

} // namespace
