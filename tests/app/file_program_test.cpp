// The real executable saving and loading fractal lists through its File menu, with a stand-in
// file chooser on PATH and no OpenCL platform.
#include "tests/app/program_run.h"
#include "tests/support/zenity_standin.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

const std::string loadKeys = "Return " + repeatKey("Down", 8) + "Return";  // File > Load from disk
const std::string saveKeys = "Return " + repeatKey("Down", 9) + "Return";  // File > Save to disk
const std::string quitKeys = "Return " + repeatKey("Down", 10) + "Return"; // File > Quit

// Quits through the menu and expects the ordinary end.
void quit(ProgramRun& run)
{
    pressKeys(quitKeys);
    EXPECT_EQ(run.exitCode(), 0) << run.output() << run.errors();
    EXPECT_TRUE(run.output().ends_with("Thread shutdown complete\n")) << run.output();
}

TEST(FileProgram, ABareNameLoadsTheListSavedUnderIt)
{
    ZenityStandIn zenity;
    const std::string bare = (zenity.files() / "bare").string();
    zenity.answer(1, bare + "\n", 0);
    zenity.answer(2, bare + "\n", 0);

    ProgramRun run({"--cpu"});
    ASSERT_TRUE(run.waitFor("Frame time ")) << run.output() << run.errors();
    ASSERT_TRUE(runCommand("xdotool mousemove 200 200"));
    pressKeys(saveKeys);
    ASSERT_TRUE(run.waitFor("Saved fractal 0\n")) << run.output();
    pressKeys(loadKeys);
    ASSERT_TRUE(run.waitFor("Loaded  1 fractals.\n")) << run.output();
    EXPECT_EQ(countOf(run.output(), "Could not read from disk"), 0u);
    quit(run);
}

TEST(FileProgram, ASaveBeyondTheFileSizeLimitFailsAndTheProgramGoesOn)
{
    ZenityStandIn zenity;
    // Some 9.7 KB in version 2 and 6.3 KB in version 1: over the limit only in version 2.
    const std::string list = writeList("size_limit", std::vector(70, quickRecord("Quick", 0)));
    const std::filesystem::path folder = zenity.files();
    zenity.answer(1, list + "\n", 0);
    zenity.answer(2, (folder / "big.frac2").string() + "\n", 0);
    zenity.answer(3, (folder / "small.frac").string() + "\n", 0);

    Launch launch;
    launch.wrapper = {"prlimit", "--fsize=8192"};
    ProgramRun run({"--cpu"}, launch);
    ASSERT_TRUE(run.waitFor("Frame time ")) << run.output() << run.errors();
    ASSERT_TRUE(runCommand("xdotool mousemove 200 200"));
    const size_t frames = countOf(run.output(), "Frame time ");
    pressKeys(loadKeys);
    ASSERT_TRUE(run.waitFor("Loaded  70 fractals.\n")) << run.output();
    ASSERT_TRUE(run.waitFor("Frame time ", frames + 1)) << run.output();
    pressKeys(saveKeys);
    ASSERT_TRUE(run.waitFor("Could not write to disk\n")) << run.output() << run.errors();
    EXPECT_EQ(countOf(run.output(), "Saved fractal"), 0u);
    pressKeys(saveKeys);
    ASSERT_TRUE(run.waitFor("Saved fractal 69\n")) << run.output() << run.errors();
    quit(run);
    EXPECT_EQ(std::vector(std::filesystem::directory_iterator(folder), {}),
              std::vector{std::filesystem::directory_entry(folder / "small.frac")})
        << "no temporary file is left";
}

} // namespace
