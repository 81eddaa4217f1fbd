#include "platform/file_replace.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
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

// Creates a file that did not exist in the target's folder, named after the target, that only
// the user may read or write; -1 when none can be made. name is its name within the folder.
int createTemporary(int folder, const std::string& leaf, std::string& name)
{
    const long limit = ::fpathconf(folder, _PC_NAME_MAX);
    const size_t fits = limit > 0 && limit < NAME_MAX ? static_cast<size_t>(limit) : NAME_MAX;
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[64];
        std::snprintf(suffix, sizeof suffix, ".tessaly-%ld-%d.tmp", static_cast<long>(::getpid()),
                      attempt);
        // NOTE: the target's name is cut so the whole name fits wherever the target's does, and
        // only where a character starts, so that what is kept is still valid UTF-8.
        size_t cut = std::min(leaf.size(), fits - std::min(fits, std::strlen(suffix)));
        while (cut > 0 && cut < leaf.size() && (leaf[cut] & 0xC0) == 0x80)
            --cut;
        name = leaf.substr(0, cut) + suffix;
        const int fd = ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// A folder's descriptor, closed when it dies; -1 when the folder cannot be opened.
class FolderHandle {
public:
    explicit FolderHandle(const fs::path& folder)
        : fd_(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC))
    {
    }
    ~FolderHandle()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    int fd() const { return fd_; }

private:
    int fd_;
};

// The process's file-creation mask, read without setting it: umask() would hand a changed mask
// to files other threads create meanwhile. NOTE: when it cannot be read, 077 keeps a new file
// the user's alone, never more open than a plain creation would have left it.
mode_t creationMask()
{
    std::ifstream status("/proc/thread-self/status");
    std::string line;
    while (std::getline(status, line)) {
        unsigned mask = 0;
        if (std::sscanf(line.c_str(), "Umask: %o", &mask) == 1)
            return static_cast<mode_t>(mask & 0777);
    }
    return 077;
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

// Writes the bytes into the new file, then gives it the old file's group where the user may and
// its final permissions; false when any step fails.
bool fillTemporary(int fd, std::span<const unsigned char> bytes, const struct stat* old)
{
    FileSizeSignalIgnored ignored;
    if (!writeAll(fd, bytes))
        return false;
    // A new file gets the mode a plain creation would have given it.
    mode_t mode = old ? old->st_mode & 07777 : 0666 & ~creationMask();
    if (old) {
        // NOTE: the group first, since changing it may clear the set-group-ID bit. A user outside
        // the old group may not give it (EPERM, or EINVAL for a group unknown to the namespace):
        // the file then keeps the user's.
        struct stat made {};
        if (::fstat(fd, &made) != 0)
            return false;
        bool groupKept = made.st_gid == old->st_gid;
        if (!groupKept) {
            groupKept = ::fchown(fd, static_cast<uid_t>(-1), old->st_gid) == 0;
            if (!groupKept && errno != EPERM && errno != EINVAL)
                return false;
        }
        // NOTE: with another group, the set-group-ID bit is dropped and the group gets no more
        // than others had, so that no one gains a right by the change of group.
        if (!groupKept)
            mode = (mode & ~(S_ISGID | S_IRWXG)) | (mode & S_IRWXG & ((mode & S_IRWXO) << 3));
    }
    if (::fchmod(fd, mode) != 0)
        return false;
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

    // NOTE: the temporary file is made, renamed and removed relative to the target's folder, so
    // that its longer name never has to fit in a whole path: a target whose path is within a few
    // bytes of PATH_MAX is saved too.
    const FolderHandle folder(target.parent_path().empty() ? fs::path(".") : target.parent_path());
    if (folder.fd() < 0)
        return false;
    const std::string leaf = target.filename().string();
    std::string temporary;
    const int fd = createTemporary(folder.fd(), leaf, temporary);
    if (fd < 0)
        return false;
    bool written = fillTemporary(fd, bytes, existed ? &old : nullptr);
    if (::close(fd) != 0)
        written = false;
    if (written)
        written = ::renameat(folder.fd(), temporary.c_str(), folder.fd(), leaf.c_str()) == 0;
    if (!written)
        ::unlinkat(folder.fd(), temporary.c_str(), 0);
    return written;
}
