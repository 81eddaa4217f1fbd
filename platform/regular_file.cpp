#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

RegularFile::~RegularFile()
{
    if (fd >= 0)
        ::close(fd);
}

bool RegularFile::open(const std::string& path)
{
    if (fd >= 0)
        ::close(fd);
    bytes = 0;
    // NOTE: without O_NONBLOCK, opening a FIFO waits for a writer; the type is checked on the
    // open descriptor, so nothing can be swapped in between.
    fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        fd = -1;
        return false;
    }
    bytes = static_cast<uint64_t>(status.st_size);
    return true;
}

bool RegularFile::readAt(uint64_t offset, void* out, size_t n) const
{
    auto* to = static_cast<unsigned char*>(out);
    while (n > 0) {
        const ssize_t got = pread(fd, to, n, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        to += got;
        offset += static_cast<uint64_t>(got);
        n -= static_cast<size_t>(got);
    }
    return true;
}
