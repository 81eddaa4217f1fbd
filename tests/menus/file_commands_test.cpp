#include "menus/file_commands.h"

#include "tests/core/fractal_file_fixture.h"
#include "tests/support/zenity_standin.h"

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

namespace {

class LoadCommandTest : public FractalFileTest {};

TEST_F(LoadCommandTest, DialogLoadsTheChosenFileAndShowsItsPath)
{
    ZenityStandIn zenity;
    listTwo();
    const std::string file = write("chosen list.frac2", encodeFractalFile({probeRecord()}, 2));

    zenity.answer(1, "", 1);
    testing::internal::CaptureStdout();
    loadFractalsDialog();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    expectTwoKept();
    EXPECT_TRUE(titles().empty()) << "a cancel leaves the title alone";
    EXPECT_EQ(currentFilePath, "");
    EXPECT_EQ(zenity.arguments(1), (std::vector<std::string>{
                                       "--file-selection",
                                       "--title=Load fractals",
                                       "--file-filter=fractals (*.frac, *.frac2) | *.frac *.frac2",
                                       "--file-filter=fractals (*.frac2) | *.frac2",
                                       "--file-filter=version 1 fractals (*.frac) | *.frac",
                                       "--file-filter=all files (*.*) | *.*",
                                   }));

    const std::string missing = path("gone.frac");
    zenity.answer(2, missing + "\n", 0);
    testing::internal::CaptureStdout();
    loadFractalsDialog();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Could not read from disk\n");
    expectTwoKept();
    EXPECT_EQ(currentFilePath, missing);
    EXPECT_EQ(titles(), std::vector<std::string>{"Tessaly :" + missing});

    zenity.answer(3, file + "\n", 0);
    testing::internal::CaptureStdout();
    loadFractalsDialog();
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(fractalList.size(), 1u) << "a shorter file still replaces the whole list";
    EXPECT_EQ(fractalList[0].name, "Dragon");
    EXPECT_EQ(currentFractalIndex, 0);
    EXPECT_EQ(currentFilePath, file);
    ASSERT_EQ(titles().size(), 3u);
    EXPECT_EQ(titles()[1], "Tessaly Dragon");
    EXPECT_EQ(titles()[2], "Tessaly :" + file) << "the path replaces the name after loading";
}

// While it lives, writes beyond the size fail instead of ending the process.
class FileSizeLimit {
public:
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

private:
    void (*oldHandler)(int);
    rlimit saved{};
};

class SaveCommandTest : public FractalFileTest {};

TEST_F(SaveCommandTest, WritesTheNamedVersionAndAFailureKeepsTheOldFileTitleAndPath)
{
    namespace fs = std::filesystem;
    ZenityStandIn zenity;
    // Saves with the chooser answering the path, or cancelling when it is empty; what it printed.
    const auto save = [&](const std::string& chosen) {
        zenity.answer(zenity.calls() + 1, chosen.empty() ? "" : chosen + "\n", chosen.empty() ? 1 : 0);
        testing::internal::CaptureStdout();
        saveFractalsDialog();
        return testing::internal::GetCapturedStdout();
    };
    fractalList = {defaultFractalRecord(Mandelbrot, 0)};
    EXPECT_EQ(save(path("start.frac2")), "Saved fractal 0\n");
    EXPECT_EQ(zenity.arguments(1)[1], "--title=Select Fractal File");
    EXPECT_EQ(zenity.arguments(1).back(), "--filename=Fractal1");
    const Bytes v2 = read(path("start.frac2"));
    ASSERT_EQ(v2.size(), 145u);
    EXPECT_EQ(Bytes(v2.begin() + 10, v2.begin() + 16), Bytes(6, 0)) << "the filler is zeros";
    EXPECT_TRUE(sameRecords(parseFractalFile(v2).records, fractalList));
    EXPECT_EQ(titles().back(), "Tessaly :" + path("start.frac2"));
    save(path("typed"));
    EXPECT_EQ(zenity.arguments(2).back(), "--filename=" + path("start.frac2"));
    EXPECT_EQ(read(path("typed.FRAC")).size(), 87u) << "the default extension gives version 1";
    EXPECT_EQ(save(""), "");
    EXPECT_EQ(currentFilePath, path("typed.FRAC")) << "a cancel changes nothing";
    fractalList.clear();
    EXPECT_EQ(save(path("empty.frac2")) + save(path("empty.frac")), "");
    EXPECT_EQ(read(path("empty.frac2")), (Bytes{'v', '2'}));
    EXPECT_TRUE(fs::is_empty(path("empty.frac")));


    fractalList = {probeRecord()};
    save(path("kept.frac2"));
    const Bytes old = read(path("kept.frac2"));
    fractalList.assign(20, probeRecord());
    currentFilePath = "elsewhere.frac2";
    titles().clear();
    std::string output, expected = "Could not write to disk\n";
    {
        FileSizeLimit limit(1000); // the new list needs over 2800 bytes
        output = save(path("kept.frac2"));
    }
    if (geteuid() != 0) { // the superuser writes into read-only folders
        fs::permissions(path(""), fs::perms::owner_read | fs::perms::owner_exec);
        output += save(path("kept.frac2"));
        fs::permissions(path(""), fs::perms::owner_all);
        expected += expected;
    }
    EXPECT_EQ(output, expected) << "and no saved line";
    EXPECT_EQ(read(path("kept.frac2")), old) << "the old file survives a write that failed part-way";
    EXPECT_EQ(std::distance(fs::directory_iterator(path("")), {}), 5) << "no file left behind";
    EXPECT_EQ(currentFilePath, "elsewhere.frac2");
    EXPECT_TRUE(titles().empty());
    EXPECT_EQ(lastDialogPath, path("kept.frac2")) << "the dialog proposes it again";
}

} // namespace
