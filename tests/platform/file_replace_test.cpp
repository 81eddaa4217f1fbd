#include "platform/file_replace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

class FileReplaceTest : public testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::path(testing::TempDir()) / ("file-replace-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    static Bytes read(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
    size_t entries() const
    {
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
    }

    fs::path dir;
    const Bytes bytes{'n', 'e', 'w', 0, 1};
};

TEST_F(FileReplaceTest, ReplacesTheFileKeepsItsModeAndFollowsLinks)
{
    const fs::path file = dir / "list.frac";
    std::ofstream(file) << "old contents, longer than the new";
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(replaceFileContents(file.string(), bytes));
    EXPECT_EQ(read(file), bytes);
    EXPECT_EQ(fs::status(file).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    const fs::path link = dir / "link.frac";
    fs::create_symlink("list.frac", link);
    ASSERT_TRUE(replaceFileContents(link.string(), Bytes{'x'}));
    EXPECT_TRUE(fs::is_symlink(link)) << "the link stays a link";
    EXPECT_EQ(read(file), Bytes{'x'});

    ASSERT_TRUE(replaceFileContents((dir / "fresh.frac").string(), {}));
    EXPECT_EQ(fs::file_size(dir / "fresh.frac"), 0u);
    EXPECT_EQ(entries(), 3u) << "no temporary file is left";
}

TEST_F(FileReplaceTest, NeverReplacesWhatIsNoRegularFile)
{
    const fs::path fifo = dir / "pipe.frac";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(replaceFileContents(fifo.string(), bytes));
    EXPECT_TRUE(fs::is_fifo(fifo));
    fs::create_directory(dir / "folder.frac");
    EXPECT_FALSE(replaceFileContents((dir / "folder.frac").string(), bytes));
    EXPECT_TRUE(fs::is_directory(dir / "folder.frac"));
    EXPECT_FALSE(replaceFileContents((dir / "missing" / "list.frac").string(), bytes));
    EXPECT_EQ(entries(), 2u);
}

} // namespace
