#include "core/fractal_file.h"
#include "menus/file_commands.h"
#include "tests/menus/menu_fixture.h"
#include "tests/support/zenity_standin.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using Bytes = std::vector<unsigned char>;
namespace fs = std::filesystem;

Bytes readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Files beyond this size cannot be written while the object lives; the write fails instead of
// ending the process.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved);
        oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
    }

private:
    rlimit saved{};
    void (*oldHandler)(int);
};

class SaveCommandTest : public MenuTest {
protected:
    void SetUp() override
    {
        MenuTest::SetUp();
        createMenus();
        fractalViewHooks.setWindowTitle = [](const std::string& t) { titles().push_back(t); };
        fractalViewHooks.windowTitle = [] { return "Tessaly :" + currentFilePath; };
        newFractal(Mandelbrot, 0); // the start-up list
        titles().clear();
    }

    static std::vector<std::string>& titles()
    {
        static std::vector<std::string> list;
        return list;
    }

    // Saves through the menu with the chooser answering path (or cancelling when empty);
    // returns what the save printed.
    std::string save(const std::string& path)
    {
        const int call = zenity.calls() + 1;
        zenity.answer(call, path.empty() ? "" : path + "\n", path.empty() ? 1 : 0);
        return outputOf([] { choose(file(), "Save to disk"); });
    }

    // The files of the scratch folder: a failed save must leave no temporary file behind.
    std::vector<std::string> folderNames() const
    {
        std::vector<std::string> names;
        for (const fs::directory_entry& entry : fs::directory_iterator(zenity.files()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    ZenityStandIn zenity;
};

TEST_F(SaveCommandTest, WritesBothVersionsAndProposesTheLastPath)
{
    const std::string v2 = (zenity.files() / "start.frac2").string();
    EXPECT_EQ(save(v2), "Saved fractal 0\n");
    EXPECT_EQ(zenity.arguments(1), (std::vector<std::string>{
                                       "--file-selection", "--title=Select Fractal File",
                                       "--file-filter=fractals (*.frac, *.frac2) | *.frac *.frac2",
                                       "--file-filter=fractals (*.frac2) | *.frac2",
                                       "--file-filter=version 1 fractals (*.frac) | *.frac",
                                       "--file-filter=all files (*.*) | *.*", "--save",
                                       "--confirm-overwrite", "--filename=Fractal1"}));
    const Bytes bytes = readFile(v2);
    ASSERT_EQ(bytes.size(), 145u);
    EXPECT_EQ(Bytes(bytes.begin() + 10, bytes.begin() + 16), Bytes(6, 0)) << "filler is zeros";
    const FractalFileContents back = parseFractalFile(bytes);
    EXPECT_EQ(back.version, 2);
    ASSERT_EQ(back.records.size(), 1u);
    EXPECT_EQ(back.records[0].name, "Mandelbrot");
    EXPECT_EQ(back.records[0].maxX, fractalList[0].maxX);
    EXPECT_EQ(currentFilePath, v2);
    EXPECT_EQ(titles(), std::vector<std::string>{"Tessaly :" + v2});

    const std::string typed = (zenity.files() / "typed").string();
    save(typed);
    EXPECT_EQ(zenity.arguments(2).back(), "--filename=" + v2);
    EXPECT_EQ(readFile(typed + ".FRAC").size(), 87u) << "the default extension gives version 1";
    EXPECT_EQ(parseFractalFile(readFile(typed + ".FRAC")).records[0].id, fractalList[0].id);
    EXPECT_EQ(lastDialogPath, typed + ".FRAC");

    save("");
    EXPECT_EQ(lastDialogPath, typed + ".FRAC") << "a cancel changes nothing";
    EXPECT_EQ(currentFilePath, typed + ".FRAC");
    EXPECT_EQ(titles().size(), 2u);

    fractalList.clear();
    currentFractalIndex = -1;
    EXPECT_EQ(save((zenity.files() / "empty.frac2").string()), "")
        << "the empty list reports no record";
    EXPECT_EQ(save((zenity.files() / "empty.frac").string()), "");
    EXPECT_EQ(readFile(zenity.files() / "empty.frac2"), (Bytes{'v', '2'}));
    EXPECT_TRUE(fs::exists(zenity.files() / "empty.frac"));
    EXPECT_TRUE(readFile(zenity.files() / "empty.frac").empty());
}

TEST_F(SaveCommandTest, FailedSaveKeepsTheOldFileTitleAndCurrentPath)
{
    const fs::path target = zenity.files() / "kept.frac2";
    save(target.string());
    const Bytes old = readFile(target);
    ASSERT_EQ(old.size(), 145u);
    for (int i = 0; i < 20; ++i)
        newFractal(Dragon, 0);
    currentFilePath = "elsewhere.frac2";
    titles().clear();

    std::string output;
    {
        FileSizeLimit limit(1000); // the new list needs over 2800 bytes
        output = save(target.string());
    }
    EXPECT_EQ(output, "Could not write to disk\n");
    EXPECT_EQ(readFile(target), old) << "the old file must survive a write that failed part-way";
    EXPECT_EQ(folderNames(), std::vector<std::string>{"kept.frac2"});
    EXPECT_EQ(currentFilePath, "elsewhere.frac2");
    EXPECT_TRUE(titles().empty());
    EXPECT_EQ(lastDialogPath, target.string()) << "the dialog proposes the chosen path again";

    if (geteuid() != 0) { // permissions do not hold back the superuser
        fs::permissions(zenity.files(), fs::perms::owner_read | fs::perms::owner_exec);
        output = save(target.string());
        fs::permissions(zenity.files(), fs::perms::owner_all);
        EXPECT_EQ(output, "Could not write to disk\n");
        EXPECT_EQ(readFile(target), old);
    }
    EXPECT_EQ(save((zenity.files() / "no folder" / "list.frac").string()),
              "Could not write to disk\n");
    EXPECT_EQ(currentFilePath, "elsewhere.frac2");
}

} // namespace
