#include "menus/file_commands.h"

#include "tests/core/fractal_file_fixture.h"
#include "tests/support/zenity_standin.h"

namespace {

// The fractal-file fixture: a clean list and recorded window titles.
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

} // namespace
