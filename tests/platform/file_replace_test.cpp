#include "platform/file_replace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class FileReplaceTest : public testing::Test {
protected:
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }

    std::string file(const std::string& name, mode_t mode)
    {
        const std::string path = (dir / name).string();
        std::ofstream(path) << "old";
        ::chmod(path.c_str(), mode);
        return path;
    }

    static bool replace(const std::string& path, const std::string& text)
    {
        return replaceFileContents(
            path, {reinterpret_cast<const unsigned char*>(text.data()), text.size()});
    }

    static std::string read(const std::string& path)
    {
        std::ifstream in(path);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    static struct stat status(const std::string& path)
    {
        struct stat s {};
        ::stat(path.c_str(), &s);
        return s;
    }

    // Every name in the folder: a temporary file left behind shows here.
    std::set<std::string> names() const
    {
        std::set<std::string> found;
        for (const fs::directory_entry& entry : fs::directory_iterator(dir))
            found.insert(entry.path().filename().string());
        return found;
    }

    const fs::path dir = fs::path(testing::TempDir()) / ("replace-" + std::to_string(::getpid()));
};

TEST_F(FileReplaceTest, TargetsTheUserMayNotReplaceAreRefusedAndKept)
{
    const std::string readOnly = file("read only.frac", 0444);
    EXPECT_FALSE(replace(readOnly, "new")) << "refused even for root, who may write anything";
    EXPECT_EQ(status(readOnly).st_mode & 07777, 0444u);

    const std::string linked = file("linked.frac", 0644);
    ASSERT_EQ(::link(linked.c_str(), (dir / "other name.frac").c_str()), 0);
    EXPECT_FALSE(replace(linked, "new"));
    EXPECT_EQ(status(linked).st_nlink, 2u) << "the names still share the file";

    const std::string foreign = file("foreign.frac", 0666);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
        EXPECT_FALSE(replace(foreign, "new")) << "a rename would take the file from its owner";
        EXPECT_EQ(status(foreign).st_uid, 65534u);
    }
    for (const std::string& path : {readOnly, linked, foreign})
        EXPECT_EQ(read(path), "old") << path;
    EXPECT_EQ(names().size(), 4u) << "no temporary file is left";
}

TEST_F(FileReplaceTest, NamesUpToTheLimitAreWrittenKeepingModeAndGroup)
{
    const std::string longest = (dir / std::string(255, 'n')).string();
    EXPECT_TRUE(replace(longest, "new"));
    EXPECT_EQ(read(longest), "new");

    const std::string existing = file(std::string(244, 'o') + ".frac2", 0640);
    const gid_t group = ::geteuid() == 0 ? 65534 : status(existing).st_gid;
    ASSERT_EQ(::chown(existing.c_str(), static_cast<uid_t>(-1), group), 0);
    EXPECT_TRUE(replace(existing, "replaced"));
    EXPECT_EQ(read(existing), "replaced");
    EXPECT_EQ(status(existing).st_mode & 07777, 0640u);
    EXPECT_EQ(status(existing).st_gid, group);
    EXPECT_EQ(names().size(), 2u);
}

} // namespace
