#include "platform/working_directory.h"

#include <filesystem>
#include <gtest/gtest.h>

TEST(WorkingDirectory, ExecutableFolderBecomesCurrent)
{
    const std::string folder = executableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(std::filesystem::is_regular_file(folder + "test_platform"));

    std::filesystem::current_path("/");
    setWorkingDirectoryToExe();
    EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::current_path(), folder));
}
