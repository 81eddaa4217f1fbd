#include "platform/file_replace.h"

#include <cerrno>
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

// Creates a file that did not exist, beside the target, named after it; -1 when none can be made.
int createTemporary(const fs::path& target, std::string& name)
{
    const std::string stem = (target.parent_path() / ("." + target.filename().string())).string();
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = stem + "." + std::to_string(::getpid()) + "-" + std::to_string(attempt) + ".tmp";
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
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
    if (existed && !S_ISREG(old.st_mode))
        return false;
    if (!existed && errno != ENOENT)
        return false;

    std::string temporary;
    const int fd = createTemporary(target, temporary);
    if (fd < 0)
        return false;
    bool written = writeAll(fd, bytes);
    if (written && existed)
        written = ::fchmod(fd, old.st_mode & 07777) == 0;
    // NOTE: the data must be on disk before the rename makes it the file's only copy.
    if (written)
        written = ::fsync(fd) == 0;
    if (::close(fd) != 0)
        written = false;
    if (written)
        written = ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!written)
        ::unlink(temporary.c_str());
    return written;
}
