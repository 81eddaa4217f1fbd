// Reading a regular file in pieces, without waiting on anything that is not one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A regular file open for reading. Opening neither blocks (a FIFO without a writer, a device)
// nor accepts anything but a regular file. One thread at a time.
class RegularFile {
public:
    RegularFile() = default;
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    // Opens a path (UTF-8); false when it cannot be opened or is not a regular file.
    bool open(const std::string& path);

    // The file's size in bytes when it was opened.
    uint64_t size() const { return bytes; }

    // Reads n bytes at offset; false on a read error or when the file ends before them.
    bool readAt(uint64_t offset, void* out, size_t n) const;

private:
    int fd = -1;
    uint64_t bytes = 0;
};
