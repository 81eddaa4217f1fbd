#include "platform/file_replace.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Writes all bytes, resuming after interruptions and short writes.
bool writeAll(int fd, std::span<const unsigned char> bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// True when the user may replace the existing file. NOTE: the rule is decided from the file's
// owner and mode, not with access(), which lets root pass every permission bit: only a file of
// the user's own whose owner write bit is set is replaced. A read-only file, and one that
// belongs to someone else (whom a rename would take it from), stays as it is. A file with more
// than one hard link is refused too: a rename would part it from its other names, and writing
// it in place could leave every name with half a list when the write fails.
bool userMayReplace(const struct stat& file)
{
    return file.st_uid == ::geteuid() && (file.st_mode & S_IWUSR) != 0 && file.st_nlink == 1;
}

// Creates a file that did not exist in the folder, under a short name that fits beside any name
// the file system takes; -1 when none can be made.
int createTemporary(const fs::path& folder, std::string& name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        char leaf[64];
        std::snprintf(leaf, sizeof leaf, ".tessaly-%ld-%d.tmp", static_cast<long>(::getpid()),
                      attempt);
        name = (folder / leaf).string();
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// Ignores SIGXFSZ while it lives, so that a write beyond the file-size limit fails with EFBIG
// instead of ending the process.
class FileSizeSignalIgnored {
public:
    FileSizeSignalIgnored()
    {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGXFSZ, &ignore, &saved_);
    }
    ~FileSizeSignalIgnored() { ::sigaction(SIGXFSZ, &saved_, nullptr); }
    FileSizeSignalIgnored(const FileSizeSignalIgnored&) = delete;
    FileSizeSignalIgnored& operator=(const FileSizeSignalIgnored&) = delete;

private:
    struct sigaction saved_ {};
};

// Writes the bytes into the new file and gives it the old file's group and permissions; false
// when any step fails.
bool fillTemporary(int fd, std::span<const unsigned char> bytes, const struct stat* old)
{
    FileSizeSignalIgnored ignored;
    if (!writeAll(fd, bytes))
        return false;
    if (old) {
        // NOTE: the group first, since changing it may clear the set-group-ID bit.
        struct stat made {};
        if (::fstat(fd, &made) != 0)
            return false;
        if (made.st_gid != old->st_gid && ::fchown(fd, static_cast<uid_t>(-1), old->st_gid) != 0)
            return false;
        if (::fchmod(fd, old->st_mode & 07777) != 0)
            return false;
    }
    // NOTE: the data must be on disk before the rename makes it the file's only copy.
    return ::fsync(fd) == 0;
}

} // namespace

bool replaceFileContents(const std::string& path, std::span<const unsigned char> bytes)
{
    std::error_code error;
    fs::path target = path;
    if (fs::is_symlink(target, error)) {
        target = fs::canonical(target, error);
        if (error)
            return false;
    }
    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    if (existed && (!S_ISREG(old.st_mode) || !userMayReplace(old)))
        return false;
    if (!existed && errno != ENOENT)
        return false;

    std::string temporary;
    const int fd = createTemporary(target.parent_path().empty() ? "." : target.parent_path(),
                                   temporary);
    if (fd < 0)
        return false;
    bool written = fillTemporary(fd, bytes, existed ? &old : nullptr);
    if (::close(fd) != 0)
        written = false;
    if (written)
        written = ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!written)
        ::unlink(temporary.c_str());
    return written;
}
