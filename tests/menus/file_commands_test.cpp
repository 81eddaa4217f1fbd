#include "menus/file_commands.h"

#include "tests/core/fractal_file_fixture.h"
#include "tests/support/zenity_standin.h"

#include <csignal>
#include <sys/resource.h>

namespace {

class FileCommandsTest : public FractalFileTest {
protected:
    // Runs the command with the chooser answering the path, or cancelling when it is empty;
    // what the command printed.
    template <typename Command>
    std::string run(Command command, const std::string& chosen)
    {
        zenity.answer(zenity.calls() + 1, chosen.empty() ? "" : chosen + "\n", chosen.empty() ? 1 : 0);
        testing::internal::CaptureStdout();
        command();
        return testing::internal::GetCapturedStdout();
    }

    ZenityStandIn zenity;
};

TEST_F(FileCommandsTest, LoadReadsTheChosenFileAndShowsItsPath)
{
    listTwo();
    EXPECT_EQ(run(loadFractalsDialog, ""), "");
    expectTwoKept();
    EXPECT_TRUE(titles().empty() && currentFilePath.empty()) << "a cancel changes nothing";
    EXPECT_EQ(zenity.arguments(1)[1], "--title=Load fractals");

    const std::string missing = path("gone.frac");
    EXPECT_EQ(run(loadFractalsDialog, missing), "Could not read from disk\n");
    expectTwoKept();
    EXPECT_EQ(titles(), std::vector<std::string>{"Tessaly :" + missing});

    const std::string file = write("chosen list.frac2", encodeFractalFile({probeRecord()}, 2));
    run(loadFractalsDialog, file);
    EXPECT_EQ(fractalList.size(), 1u) << "a shorter file still replaces the whole list";
    EXPECT_EQ(titles().back(), "Tessaly :" + file) << "the path replaces the name after loading";
}

// While it lives, writes beyond the size fail instead of ending the process.
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes) : oldHandler(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &saved);
        const rlimit limit{bytes, saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
    }

    void (*oldHandler)(int);
    rlimit saved{};
};

TEST_F(FileCommandsTest, SaveWritesTheNamedVersionAndAFailureKeepsTheOldFileTitleAndPath)
{
    fractalList = {probeRecord()};
    const std::string kept = path("kept.frac2");
    EXPECT_EQ(run(saveFractalsDialog, kept), "Saved fractal 0\n");
    EXPECT_EQ(zenity.arguments(1)[1], "--title=Select Fractal File");
    EXPECT_EQ(zenity.arguments(1).back(), "--filename=Fractal1");
    EXPECT_EQ(titles().back(), "Tessaly :" + kept);
    run(saveFractalsDialog, path("typed"));
    EXPECT_EQ(zenity.arguments(2).back(), "--filename=" + kept);
    EXPECT_EQ(read(path("typed.FRAC")), encodeFractalFile(fractalList, 1)) << "a bare name gives version 1";
    EXPECT_EQ(run(saveFractalsDialog, ""), "");
    EXPECT_EQ(currentFilePath, path("typed.FRAC")) << "a cancel changes nothing";
    EXPECT_TRUE(run(loadFractalsDialog, path("typed")).ends_with("Loaded  1 fractals.\n"))
        << "the bare name loads what it saved";
    EXPECT_EQ(currentFilePath, path("typed.FRAC"));

    const Bytes old = read(kept);
    fractalList.assign(20, probeRecord());
    currentFilePath = "elsewhere.frac2";
    titles().clear();
    {
        FileSizeLimit limit(1000); // the new list needs over 2800 bytes
        EXPECT_EQ(run(saveFractalsDialog, kept), "Could not write to disk\n") << "and no saved line";
    }
    EXPECT_EQ(read(kept), old) << "the old file survives a write that failed part-way";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(path("")), {}), 2) << "no file left behind";
    EXPECT_EQ(currentFilePath, "elsewhere.frac2");
    EXPECT_TRUE(titles().empty());
    EXPECT_EQ(lastDialogPath, kept) << "the dialog proposes it again";
}

} // namespace
