#include "core/fractal_file.h"

#include "core/fractal_list.h"
#include "core/globals.h"
#include "platform/console.h"
#include "platform/file_replace.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <mutex>

static_assert(std::endian::native == std::endian::little, "fractal files are little-endian");

namespace {

constexpr size_t extendedBytes = 10; // x87 significand, exponent and sign; the rest is filler
constexpr size_t slotBytes = 16;

// Hands out the bytes of a file in order, never past its end.
class ByteReader {
public:
    explicit ByteReader(std::span<const unsigned char> bytes) : bytes_(bytes) {}

    size_t left() const { return bytes_.size() - pos_; }

    // Copies the next n bytes; false, taking nothing, when fewer are left.
    bool take(void* out, size_t n)
    {
        if (n > left())
            return false;
        std::memcpy(out, bytes_.data() + pos_, n);
        pos_ += n;
        return true;
    }

    // The next n bytes, which the caller has checked are there.
    std::span<const unsigned char> skip(size_t n)
    {
        std::span<const unsigned char> part = bytes_.subspan(pos_, n);
        pos_ += n;
        return part;
    }

private:
    std::span<const unsigned char> bytes_;
    size_t pos_ = 0;
};

// Reads one real: a double widened exactly, or the value bytes of an extended slot.
bool readReal(ByteReader& reader, int version, long double& value)
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
bool readRestOfRecord(ByteReader& reader, int version, FractalRecord& record)
{
    return readReal(reader, version, record.minX) && readReal(reader, version, record.maxY)
        && readReal(reader, version, record.minY) && readReal(reader, version, record.Cx)
        && readReal(reader, version, record.Cy)
        && reader.take(&record.maxIterations, sizeof record.maxIterations)
        && readReal(reader, version, record.maxSizeSquared)
        && reader.take(&record.paletteType, sizeof record.paletteType)
        && reader.take(&record.fractalType, sizeof record.fractalType);
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

// Reads a whole file; false when it cannot be opened or read (a folder, say).
bool readWholeFile(const std::string& path, std::vector<unsigned char>& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    unsigned char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + n);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return !failed;
}

} // namespace

FractalFileContents parseFractalFile(std::span<const unsigned char> bytes)
{
    FractalFileContents contents;
    const size_t size = bytes.size();
    if (size >= 2 && (bytes[size - 2] == 'v' || bytes[size - 2] == 'V') && bytes[size - 1] == '2')
        contents.version = 2;

    ByteReader reader(bytes);
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
        const std::span<const unsigned char> name = reader.skip(nameBytes);
        const void* zero = std::memchr(name.data(), 0, name.size());
        const size_t nameLength = zero
            ? static_cast<size_t>(static_cast<const unsigned char*>(zero) - name.data())
            : name.size();
        record.name.assign(reinterpret_cast<const char*>(name.data()), nameLength);

        if (!reader.take(&record.id, sizeof record.id)) {
            contents.damage = "Damaged fractal file: fractal " + std::to_string(index)
                + " is cut short";
            break;
        }
        contents.records.push_back(std::move(record));
    }
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
    const size_t first = path.find(".frac2");
    return first != std::string::npos && first + 6 == path.size() ? 2 : 1;
}

LoadOutcome loadFractals(const std::string& path)
{
    std::vector<unsigned char> bytes;
    if (!readWholeFile(path, bytes)) {
        printLine("Could not read from disk");
        return LoadOutcome::NotOpened;
    }

    FractalFileContents contents = parseFractalFile(bytes);
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
