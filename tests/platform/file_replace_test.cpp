#include "platform/file_replace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <iterator>
#include <linux/fs.h>
#include <optional>
#include <set>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
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

    // Saves more bytes than the file-size limit, set only meanwhile, lets the process write and
    // expects the SIGXFSZ handler to be the one before; true when the save succeeded.
    static bool replacePastSizeLimit(const std::string& path)
    {
        struct sigaction own {}, before {}, after {};
        own.sa_handler = [](int) {};
        ::sigaction(SIGXFSZ, &own, &before);
        rlimit limit {};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        const rlimit small{16, limit.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &small);
        const bool saved = replace(path, std::string(4096, 'x'));
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::sigaction(SIGXFSZ, &before, &after);
        EXPECT_TRUE(after.sa_handler == own.sa_handler) << "the SIGXFSZ handler is restored";
        return saved;
    }

    // Sets or clears a folder's append-only attribute, under which names are made but never
    // removed; false when the file system or the user's rights do not allow it.
    static bool appendOnly(const fs::path& folder, bool on)
    {
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        int flags = 0;
        bool set = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? flags | FS_APPEND_FL : flags & ~FS_APPEND_FL;
        set = set && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        return set;
    }

    // Every name in the folder: a temporary file left behind shows here.
    std::set<std::string> names(const fs::path& folder = {}) const
    {
        std::set<std::string> found;
        for (const auto& entry : fs::directory_iterator(folder.empty() ? dir : folder))
            found.insert(entry.path().filename().string());
        return found;
    }

    // A folder below dir whose path joined to leaf is size bytes long, each of its names at most
    // NAME_MAX bytes; nothing when dir's own path leaves no room for one more name.
    std::optional<fs::path> folderOfPathSize(size_t size, const std::string& leaf) const
    {
        const size_t taken = dir.string().size() + 1 + leaf.size();
        if (taken + 2 > size)
            return std::nullopt;
        fs::path folder = dir;
        for (size_t left = size - taken; left > 0;) {
            // Each name takes its bytes and a separator; the last one must not be empty.
            size_t part = std::min<size_t>(left, NAME_MAX + 1);
            if (left - part == 1)
                part -= 1;
            folder /= std::string(part - 1, 'd');
            left -= part;
        }
        return folder;
    }

    const fs::path dir = fs::path(testing::TempDir()) / ("replace-" + std::to_string(::getpid()));
};

TEST_F(FileReplaceTest, RefusedOrFailedSavesKeepTheTarget)
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
    const std::string big = file("big.frac2", 0644);
    EXPECT_FALSE(replacePastSizeLimit(big));
    for (const std::string& path : {readOnly, linked, foreign, big})
        EXPECT_EQ(read(path), "old") << path;
    EXPECT_EQ(names().size(), 5u) << "no temporary file is left";
}

TEST_F(FileReplaceTest, NamesUpToTheLimitAreWrittenKeepingModeAndGroup)
{
    const mode_t mask = ::umask(027);
    const std::string longest = (dir / std::string(255, 'n')).string();
    EXPECT_TRUE(replace(longest, "new"));
    EXPECT_EQ(read(longest), "new");
    EXPECT_EQ(status(longest).st_mode & 07777, 0640u) << "as a plain creation leaves it";

    const std::string existing = file(std::string(244, 'o') + ".frac2", 0640);
    const gid_t group = ::geteuid() == 0 ? 65534 : status(existing).st_gid;
    ASSERT_EQ(::chown(existing.c_str(), static_cast<uid_t>(-1), group), 0);
    EXPECT_TRUE(replace(existing, "replaced"));
    EXPECT_EQ(read(existing), "replaced");
    EXPECT_EQ(status(existing).st_mode & 07777, 0640u);
    EXPECT_EQ(status(existing).st_gid, group);
    EXPECT_EQ(names().size(), 2u);

    // Where names are never removed, a failed save leaves its file as a killed one would: named
    // after the target, cut only where a character starts, and open to the user alone.
    const fs::path kept = dir / "kept";
    fs::create_directory(kept);
    const std::string zoom = file("kept/zoom.frac2", 0644);
    if (appendOnly(kept, true)) {
        EXPECT_FALSE(replacePastSizeLimit(zoom));
        const std::string left = *names(kept).rbegin();
        // A name whose cut, were it by bytes alone, would fall inside the three of a Euro sign.
        const size_t cut = 255 - std::max<size_t>(left.size() - 10, 3);
        const std::string whole(cut - 1, 'n');
        const std::string split = whole + "\u20ac" + std::string(253 - cut, 'n');
        EXPECT_FALSE(replacePastSizeLimit((kept / split).string()));
        appendOnly(kept, false);
        const std::set<std::string> found{"zoom.frac2", left, whole + left.substr(10)};
        EXPECT_EQ(names(kept), found);
        EXPECT_EQ(status((kept / left).string()).st_mode & 07777, 0600u);
    }
    ::umask(mask);

    // A user outside the old group saves with their own, which gains no right by it.
    if (::geteuid() == 0) {
        const std::string shared = file("shared.frac", 0);
        ASSERT_EQ(::chown(dir.c_str(), 65534, 65534), 0);
        ASSERT_EQ(::chown(shared.c_str(), 65534, 0), 0);
        ASSERT_EQ(::chmod(shared.c_str(), 02664), 0);
        std::fflush(nullptr);
        const pid_t child = ::fork();
        if (child == 0) {
            const bool dropped =
                ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
            ::_exit(dropped && replace(shared, "new") ? 0 : 1);
        }
        int result = -1;
        ASSERT_EQ(::waitpid(child, &result, 0), child);
        EXPECT_EQ(result, 0) << "the save failed";
        EXPECT_EQ(read(shared), "new");
        EXPECT_EQ(status(shared).st_gid, 65534u);
        EXPECT_EQ(status(shared).st_mode & 07777, 0644u) << "no set-group-ID bit, no group write";
    }
}

// A path of 4,086 bytes, to which the temporary file's name would not fit as a whole path.
TEST_F(FileReplaceTest, APathNearTheSystemLimitIsWritten)
{
    const std::optional<fs::path> deepFolder = folderOfPathSize(4086, "zoom.frac2");
    if (!deepFolder)
        GTEST_SKIP() << "the temporary folder " << dir << " leaves no room for a 4,086-byte path";
    fs::create_directories(*deepFolder);
    const fs::path deep = *deepFolder / "zoom.frac2";
    ASSERT_EQ(deep.string().size(), 4086u);
    EXPECT_TRUE(replace(deep, "new"));
    EXPECT_FALSE(replacePastSizeLimit(deep));
    EXPECT_EQ(read(deep), "new");
    EXPECT_EQ(names(*deepFolder), std::set<std::string>{deep.filename().string()});
}

} // namespace
