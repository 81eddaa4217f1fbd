#include "platform/file_dialog.h"
#include "tests/support/zenity_standin.h"

#include <gtest/gtest.h>

#include <fnmatch.h>
#include <sstream>

namespace {

const std::vector<FileFilter> filters{
    {"fractals (*.frac, *.frac2)", "*.frac;*.frac2"},
    {"all files (*.*)", "*.*"},
};

TEST(FileDialogTest, OpenPassesTitleAndFiltersInOrderAndReturnsThePathAsChosen)
{
    ZenityStandIn zenity;
    const std::string odd = (zenity.files() / "it's a \"fractal\" $(touch x) ;|.frac2").string();
    zenity.answer(1, odd + "\n", 0);

    EXPECT_EQ(openFileDialog("Load fractals", filters, ".frac"), odd);
    EXPECT_EQ(zenity.arguments(1), (std::vector<std::string>{
                                       "--file-selection",
                                       "--title=Load fractals",
                                       "--file-filter=fractals (*.frac, *.frac2) | "
                                       "*.[fF][rR][aA][cC] *.[fF][rR][aA][cC]2",
                                       "--file-filter=all files (*.*) | *.*",
                                   }));
    EXPECT_FALSE(std::filesystem::exists("x")) << "the chosen name reached a shell";
}

// The chooser matches patterns case-sensitively, as fnmatch does: each filter must still show
// the files its patterns name in any case, and no others.
TEST(FileDialogTest, FiltersShowTheirFilesInAnyCase)
{
    ZenityStandIn zenity;
    openFileDialog("Load fractals", {{"both", "*.frac;*.frac2"}, {"v2", "*.frac2"}}, ".FRAC");
    const auto shows = [&](size_t filter, const char* name) {
        std::istringstream words(zenity.arguments(1).at(2 + filter));
        words.ignore(1000, '|');
        for (std::string pattern; words >> pattern;)
            if (fnmatch(pattern.c_str(), name, 0) == 0)
                return true;
        return false;
    };
    for (const char* name : {"a.frac", "a.FRAC", "a.Frac", "a.frac2", "a.FRAC2"})
        EXPECT_TRUE(shows(0, name)) << name;
    EXPECT_FALSE(shows(0, "a.frac3") || shows(0, "a.fra") || shows(1, "b.FRAC"));
    EXPECT_TRUE(shows(1, "b.FRAC2"));
}

TEST(FileDialogTest, OpenCancelAndTypedNamesWithoutExtension)
{
    ZenityStandIn zenity;
    zenity.answer(1, "", 1);
    EXPECT_EQ(openFileDialog("Load fractals", filters, ".frac"), std::nullopt);
    zenity.answer(2, "/tmp/ignored.frac\n", 5); // a timeout or an error is a cancel too
    EXPECT_EQ(openFileDialog("Load fractals", filters, ".frac"), std::nullopt);

    const std::string typed = (zenity.files() / "typed").string();
    zenity.answer(3, typed + "\n", 0);
    EXPECT_EQ(openFileDialog("Load fractals", filters, ".frac"), typed + ".frac");

    const std::string picked = (zenity.files() / "picked").string();
    std::ofstream(picked) << "x";
    zenity.answer(4, picked + "\n", 0);
    EXPECT_EQ(openFileDialog("Load fractals", filters, ".frac"), picked);

    const std::string dotted = (zenity.files() / "v1.5" / "typed").string();
    zenity.answer(5, dotted + "\n", 0);
    EXPECT_EQ(openFileDialog("Load fractals", filters, ".frac"), dotted + ".frac")
        << "a dot in a folder name is no extension";

    // The default extension in another case: the exact name first, else the first variant.
    const std::string bare = (zenity.files() / "bare").string();
    std::ofstream(bare + ".frac") << "x";
    std::ofstream(bare + ".Frac") << "x";
    std::ofstream(zenity.files() / "barely.FRAC") << "x";
    zenity.answer(6, bare + "\n", 0);
    EXPECT_EQ(openFileDialog("Load fractals", filters, ".FRAC"), bare + ".Frac");
    std::ofstream(bare + ".FRAC") << "x";
    zenity.answer(7, bare + "\n", 0);
    EXPECT_EQ(openFileDialog("Load fractals", filters, ".FRAC"), bare + ".FRAC");
}

TEST(FileDialogTest, SaveProposesTheNameAndConfirmsAReplacedDefaultExtension)
{
    ZenityStandIn zenity;
    const std::filesystem::path dir = zenity.files();
    zenity.answer(1, (dir / "list.frac2").string() + "\n", 0);
    EXPECT_EQ(saveFileDialog("Select Fractal File", filters, ".frac", "Fractal1"),
              (dir / "list.frac2").string());
    const std::vector<std::string> args = zenity.arguments(1);
    ASSERT_EQ(args.size(), 7u);
    EXPECT_EQ(args[1], "--title=Select Fractal File");
    EXPECT_EQ(args[4], "--save");
    EXPECT_EQ(args[5], "--confirm-overwrite");
    EXPECT_EQ(args[6], "--filename=Fractal1");

    zenity.answer(2, (dir / "Fractal1").string() + "\n", 0);
    EXPECT_EQ(saveFileDialog("Select Fractal File", filters, ".frac", "Fractal1"),
              (dir / "Fractal1.frac").string());
    EXPECT_EQ(zenity.calls(), 2) << "no question when the extended name is new";

    std::ofstream(dir / "Fractal1.frac") << "x";
    zenity.answer(3, (dir / "Fractal1").string() + "\n", 0);
    zenity.answer(4, "", 1);
    EXPECT_EQ(saveFileDialog("Select Fractal File", filters, ".frac", "Fractal1"), std::nullopt);
    EXPECT_EQ(zenity.arguments(4)[0], "--question");
    EXPECT_EQ(zenity.arguments(4).back(),
              "--text=Fractal1.frac already exists. Do you want to replace it?");

    zenity.answer(5, (dir / "Fractal1").string() + "\n", 0);
    zenity.answer(6, "", 0);
    EXPECT_EQ(saveFileDialog("Select Fractal File", filters, ".frac", "Fractal1"),
              (dir / "Fractal1.frac").string());
}

TEST(FileDialogTest, MissingZenitySaysSoOnceAndCancels)
{
    ZenityStandIn zenity;
    zenity.hideAll();
    testing::internal::CaptureStdout();
    EXPECT_EQ(openFileDialog("Load fractals", filters, ".frac"), std::nullopt);
    EXPECT_EQ(saveFileDialog("Select Fractal File", filters, ".frac", "Fractal1"), std::nullopt);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Cannot show the file dialog: zenity is not installed\n"
              "Cannot show the file dialog: zenity is not installed\n");
}

} // namespace
