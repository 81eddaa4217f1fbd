#include "platform/file_replace.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class FileReplaceTest : public testing::Test {
protected:
    void SetUp() override
    {
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string file(const std::string& name, const std::string& text)
    {
        const std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    static bool replace(const std::string& path, const std::string& text)
    {
        return replaceFileContents(
            path, {reinterpret_cast<const unsigned char*>(text.data()), text.size()});
    }

    static std::string read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    static struct stat status(const std::string& path)
    {
        struct stat s {};
        EXPECT_EQ(::stat(path.c_str(), &s), 0) << path;
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
    const std::string readOnly = file("read only.frac", "old");
    ::chmod(readOnly.c_str(), 0444);
    EXPECT_FALSE(replace(readOnly, "new")) << "refused even for root, who may write anything";
    EXPECT_EQ(read(readOnly), "old");
    EXPECT_EQ(status(readOnly).st_mode & 07777, 0444u);

    const std::string linked = file("linked.frac", "old");
    const std::string other = (dir / "other name.frac").string();
    ASSERT_EQ(::link(linked.c_str(), other.c_str()), 0);
    EXPECT_FALSE(replace(linked, "new"));
    EXPECT_EQ(status(linked).st_ino, status(other).st_ino) << "the names still share the file";
    EXPECT_EQ(read(other), "old");

    std::set<std::string> expected{"read only.frac", "linked.frac", "other name.frac"};
    if (::geteuid() == 0) {
        const std::string foreign = file("foreign.frac", "old");
        ::chmod(foreign.c_str(), 0666);
        ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
        EXPECT_FALSE(replace(foreign, "new")) << "a rename would take the file from its owner";
        EXPECT_EQ(read(foreign), "old");
        EXPECT_EQ(status(foreign).st_uid, 65534u);
        expected.insert("foreign.frac");
    }
    EXPECT_EQ(names(), expected) << "no temporary file is left";
}

TEST_F(FileReplaceTest, NamesUpToTheLimitAreWrittenKeepingModeAndGroup)
{
    const std::string longest(255, 'n');
    EXPECT_TRUE(replace((dir / longest).string(), "new")) << "a fresh name of 255 bytes";
    EXPECT_EQ(read((dir / longest).string()), "new");

    const std::string name = std::string(244, 'o') + ".frac2";
    const std::string existing = file(name, "old");
    ::chmod(existing.c_str(), 0640);
    const gid_t group = ::geteuid() == 0 ? 65534 : status(existing).st_gid;
    ASSERT_EQ(::chown(existing.c_str(), static_cast<uid_t>(-1), group), 0);
    EXPECT_TRUE(replace(existing, "replaced"));
    EXPECT_EQ(read(existing), "replaced");
    EXPECT_EQ(status(existing).st_mode & 07777, 0640u);
    EXPECT_EQ(status(existing).st_gid, group);
    EXPECT_EQ(names(), (std::set<std::string>{longest, name}));
}

TEST_F(FileReplaceTest, AWriteBeyondTheFileSizeLimitFailsAndTheProcessGoesOn)
{
    const std::string existing = file("list.frac2", "old");
    const std::string big(26 * 1024, 'x');
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        // The child exits 0 only when the save failed and left the signal's default in place.
        std::signal(SIGXFSZ, SIG_DFL);
        const rlimit limit{8192, 8192};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const bool saved = replace(existing, big);
        struct sigaction after {};
        ::sigaction(SIGXFSZ, nullptr, &after);
        ::_exit(saved ? 1 : after.sa_handler == SIG_DFL ? 0 : 2);
    }
    ASSERT_GT(child, 0);
    int result = 0;
    ASSERT_EQ(::waitpid(child, &result, 0), child);
    EXPECT_TRUE(WIFEXITED(result)) << "ended by signal " << WTERMSIG(result);
    EXPECT_EQ(WEXITSTATUS(result), 0);
    EXPECT_EQ(read(existing), "old");
    EXPECT_EQ(names(), std::set<std::string>{"list.frac2"}) << "no temporary file is left";
}

} // namespace
