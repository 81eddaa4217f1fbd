#include "core/fractal_file.h"

#include "core/fractal_list.h"
#include "core/globals.h"
#include "platform/console.h"
#include "platform/file_replace.h"
#include "platform/regular_file.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string_view>

static_assert(std::endian::native == std::endian::little, "fractal files are little-endian");

namespace {

constexpr size_t extendedBytes = 10; // x87 significand, exponent and sign; the rest is filler
constexpr size_t slotBytes = 16;

// Hands out the bytes of a file held in memory in order, never past its end.
class ByteReader {
public:
    explicit ByteReader(std::span<const unsigned char> bytes) : bytes_(bytes) {}

    uint64_t left() const { return bytes_.size() - pos_; }

    // Copies the next n bytes; false, taking nothing, when fewer are left.
    bool take(void* out, size_t n)
    {
        if (n > left())
            return false;
        std::memcpy(out, bytes_.data() + pos_, n);
        pos_ += n;
        return true;
    }

    // Takes the next n bytes, which the caller has checked are there, as a name: the text
    // before the first zero byte among them.
    bool takeName(size_t n, std::string& name)
    {
        const unsigned char* start = bytes_.data() + pos_;
        const void* zero = std::memchr(start, 0, n);
        const size_t length =
            zero ? static_cast<size_t>(static_cast<const unsigned char*>(zero) - start) : n;
        name.assign(reinterpret_cast<const char*>(start), length);
        pos_ += n;
        return true;
    }

private:
    std::span<const unsigned char> bytes_;
    size_t pos_ = 0;
};

// Hands out the bytes of a regular file in order, up to the size it had when it was opened,
// reading them a piece at a time. A read error ends the bytes and is remembered.
class FileReader {
public:
    explicit FileReader(const RegularFile& file) : file_(file), size_(file.size()) {}

    uint64_t left() const { return size_ - pos_; }
    bool failed() const { return failed_; }

    // Copies the next n bytes; false when fewer are left or they cannot be read.
    bool take(void* out, size_t n)
    {
        if (n > left())
            return false;
        auto* to = static_cast<unsigned char*>(out);
        while (n > 0) {
            const std::span<const unsigned char> piece = next(n);
            if (piece.empty())
                return false;
            std::memcpy(to, piece.data(), piece.size());
            to += piece.size();
            n -= piece.size();
        }
        return true;
    }

    // Takes the next n bytes, which the caller has checked are there, as a name: the text
    // before the first zero byte among them; the bytes after it are passed over unkept.
    bool takeName(size_t n, std::string& name)
    {
        name.clear();
        bool ended = false;
        while (n > 0) {
            const std::span<const unsigned char> piece = next(n);
            if (piece.empty())
                return false;
            if (!ended) {
                const void* zero = std::memchr(piece.data(), 0, piece.size());
                const size_t length = zero
                    ? static_cast<size_t>(static_cast<const unsigned char*>(zero) - piece.data())
                    : piece.size();
                name.append(reinterpret_cast<const char*>(piece.data()), length);
                ended = zero != nullptr;
            }
            n -= piece.size();
        }
        return true;
    }

private:
    // Up to n of the next bytes, read from the file when the buffer is used up; empty after a
    // read error.
    std::span<const unsigned char> next(size_t n)
    {
        if (used_ == held_) {
            const uint64_t want = std::min<uint64_t>(sizeof buffer_, left());
            if (failed_ || !file_.readAt(pos_, buffer_, static_cast<size_t>(want))) {
                failed_ = true;
                return {};
            }
            used_ = 0;
            held_ = static_cast<size_t>(want);
        }
        const size_t count = std::min(n, held_ - used_);
        const std::span<const unsigned char> piece(buffer_ + used_, count);
        used_ += count;
        pos_ += count;
        return piece;
    }

    const RegularFile& file_;
    const uint64_t size_;
    uint64_t pos_ = 0; // bytes handed out
    unsigned char buffer_[65536];
    size_t used_ = 0;  // of the bytes held in buffer_
    size_t held_ = 0;
    bool failed_ = false;
};

// The file version its last two bytes give: 2 for "v2" in either case, else 1.
int versionOfTrailer(unsigned char first, unsigned char second)
{
    return (first == 'v' || first == 'V') && second == '2' ? 2 : 1;
}

// Reads one real: a double widened exactly, or the value bytes of an extended slot.
template <typename Reader>
bool readReal(Reader& reader, int version, long double& value)
{
    if (version == 2) {
        unsigned char slot[slotBytes];
        if (!reader.take(slot, slotBytes))
            return false;
        value = 0.0L;
        std::memcpy(&value, slot, extendedBytes);
        return true;
    }
    double narrow;
    if (!reader.take(&narrow, sizeof narrow))
        return false;
    value = narrow;
    return true;
}

// Reads the fields after the first one, in file order; false when the file ends inside them.
template <typename Reader>
bool readRestOfRecord(Reader& reader, int version, FractalRecord& record)
{
    return readReal(reader, version, record.minX) && readReal(reader, version, record.maxY)
        && readReal(reader, version, record.minY) && readReal(reader, version, record.Cx)
        && readReal(reader, version, record.Cy)
        && reader.take(&record.maxIterations, sizeof record.maxIterations)
        && readReal(reader, version, record.maxSizeSquared)
        && reader.take(&record.paletteType, sizeof record.paletteType)
        && reader.take(&record.fractalType, sizeof record.fractalType);
}

// Reads records of contents.version until the bytes end or a record is damaged; the records
// before a damaged one are kept.
template <typename Reader>
void readRecords(Reader& reader, FractalFileContents& contents)
{
    while (reader.left() > 0) {
        const size_t index = contents.records.size();
        FractalRecord record{};
        // NOTE: the end of the file inside the first field is the normal end; it is how the
        // trailer "v2" and the last bytes of a version 1 file end the loop.
        if (!readReal(reader, contents.version, record.maxX))
            break;

        uint32_t nameBytes = 0;
        if (!readRestOfRecord(reader, contents.version, record)
            || !reader.take(&nameBytes, sizeof nameBytes)) {
            contents.damage = "Damaged fractal file: fractal " + std::to_string(index)
                + " is cut short";
            break;
        }
        if (nameBytes == 0 || nameBytes > reader.left()) {
            contents.damage = "Damaged fractal file: fractal " + std::to_string(index)
                + " has an impossible name length of " + std::to_string(nameBytes) + " bytes";
            break;
        }
        if (!reader.takeName(nameBytes, record.name)
            || !reader.take(&record.id, sizeof record.id)) {
            contents.damage = "Damaged fractal file: fractal " + std::to_string(index)
                + " is cut short";
            break;
        }
        contents.records.push_back(std::move(record));
    }
}

void appendBytes(std::vector<unsigned char>& out, const void* data, size_t n)
{
    const auto* bytes = static_cast<const unsigned char*>(data);
    out.insert(out.end(), bytes, bytes + n);
}

void appendReal(std::vector<unsigned char>& out, int version, long double value)
{
    if (version == 2) {
        unsigned char slot[slotBytes] = {};
        std::memcpy(slot, &value, extendedBytes);
        appendBytes(out, slot, slotBytes);
    } else {
        const double narrow = static_cast<double>(value);
        appendBytes(out, &narrow, sizeof narrow);
    }
}

// Appends one record in the layout of the given version.
void appendRecord(std::vector<unsigned char>& out, int version, const FractalRecord& record)
{
    appendReal(out, version, record.maxX);
    appendReal(out, version, record.minX);
    appendReal(out, version, record.maxY);
    appendReal(out, version, record.minY);
    appendReal(out, version, record.Cx);
    appendReal(out, version, record.Cy);
    appendBytes(out, &record.maxIterations, sizeof record.maxIterations);
    appendReal(out, version, record.maxSizeSquared);
    appendBytes(out, &record.paletteType, sizeof record.paletteType);
    appendBytes(out, &record.fractalType, sizeof record.fractalType);
    const uint32_t nameBytes = static_cast<uint32_t>(record.name.size() + 1);
    appendBytes(out, &nameBytes, sizeof nameBytes);
    appendBytes(out, record.name.c_str(), nameBytes);
    appendBytes(out, &record.id, sizeof record.id);
}

} // namespace

FractalFileContents parseFractalFile(std::span<const unsigned char> bytes)
{
    FractalFileContents contents;
    const size_t size = bytes.size();
    if (size >= 2)
        contents.version = versionOfTrailer(bytes[size - 2], bytes[size - 1]);
    ByteReader reader(bytes);
    readRecords(reader, contents);
    return contents;
}

std::vector<unsigned char> encodeFractalFile(const std::vector<FractalRecord>& records,
                                             int version)
{
    std::vector<unsigned char> bytes;
    for (const FractalRecord& record : records)
        appendRecord(bytes, version, record);
    if (version == 2)
        appendBytes(bytes, "v2", 2);
    return bytes;
}

int fractalFileVersion(const std::string& path)
{
    constexpr std::string_view extension = ".frac2";
    return std::string_view(path).ends_with(extension) ? 2 : 1;
}

LoadOutcome loadFractals(const std::string& path)
{
    FractalFileContents contents;
    RegularFile file;
    bool read = file.open(path) && file.size() <= maxFractalFileBytes;
    if (read && file.size() >= 2) {
        unsigned char trailer[2];
        read = file.readAt(file.size() - 2, trailer, sizeof trailer);
        contents.version = versionOfTrailer(trailer[0], trailer[1]);
    }
    if (read) {
        FileReader reader(file);
        readRecords(reader, contents);
        read = !reader.failed();
    }
    if (!read) {
        printLine("Could not read from disk");
        return LoadOutcome::NotOpened;
    }

    const std::string loadedLine =
        contents.version == 2 ? "Loaded v2 fractal" : "Loaded v1 fractal";
    for (size_t i = 0; i < contents.records.size(); ++i)
        printLine(loadedLine);
    if (!contents.damage.empty())
        printLine(contents.damage);
    if (contents.records.empty()) {
        printLine("Loaded  0 fractals.");
        return LoadOutcome::NoRecord;
    }

    std::lock_guard lock(fractalListMutex);
    fractalList = std::move(contents.records);
    currentFractalIndex = 0;
    setCurrentFractal(fractalList[0]);
    queueFractal(fractalList[0]);
    printLine("Loaded  " + std::to_string(fractalList.size()) + " fractals.");
    // NOTE: pendingFramesMutex is taken inside fractalListMutex, the documented lock order.
    requestFrame();
    return LoadOutcome::Loaded;
}

void loadBenchFractals(const std::string& path)
{
    if (loadFractals(path) == LoadOutcome::Loaded)
        return;
    printLine("No fractal in " + path + ", starting with the default Mandelbrot");
    newFractal(Mandelbrot, 0);
}

bool saveFractals(const std::string& path)
{
    std::vector<unsigned char> bytes;
    size_t count = 0;
    {
        std::lock_guard lock(fractalListMutex);
        bytes = encodeFractalFile(fractalList, fractalFileVersion(path));
        count = fractalList.size();
    }
    if (!replaceFileContents(path, bytes)) {
        printLine("Could not write to disk");
        return false;
    }
    for (size_t i = 0; i < count; ++i)
        printLine("Saved fractal " + std::to_string(i));
    return true;
}
