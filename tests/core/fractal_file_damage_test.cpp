#include "examples/example_lists.h"
#include "tests/core/fractal_file_fixture.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <random>

namespace {

const std::string damagedName0 =
    "Damaged fractal file: fractal 0 has an impossible name length of ";

// The default Mandelbrot in version 1 (87 bytes), then the start of a second record: its six
// reals and three ints, and N.
Bytes mandelbrotThenName(uint32_t nameBytes)
{
    Bytes bytes = encodeFractalFile({defaultFractalRecord(Mandelbrot, 0)}, 1);
    bytes.resize(bytes.size() + 68, 0);
    const size_t at = bytes.size();
    bytes.resize(at + 4);
    std::memcpy(bytes.data() + at, &nameBytes, 4);
    return bytes;
}

TEST_F(FractalFileTest, ImpossibleNameLengthStopsAndKeepsTheRecordsBefore)
{
    const std::string mandelbrotLine = parametersLine(defaultFractalRecord(Mandelbrot, 0));
    for (uint32_t nameBytes : {0u, 0xFFFFFFFFu, 11u}) {
        Bytes bytes = mandelbrotThenName(nameBytes);
        bytes.insert(bytes.end(), {'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j'}); // 10 left
        listTwo();
        testing::internal::CaptureStdout();
        EXPECT_EQ(loadFractals(write("n.frac", bytes)), LoadOutcome::Loaded);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "Loaded v1 fractal\nDamaged fractal file: fractal 1 has an impossible name "
                  "length of " + std::to_string(nameBytes) + " bytes\n"
                      + mandelbrotLine + "Loaded  1 fractals.\n");
        ASSERT_EQ(fractalList.size(), 1u);
        EXPECT_EQ(fractalList[0].name, "Mandelbrot");
        SetUp();
    }

    for (uint32_t nameBytes : {0u, 0xFFFFFFFFu}) {
        FractalRecord record = probeRecord();
        Bytes bytes = encodeFractalFile({record}, 2);
        std::memcpy(bytes.data() + 124, &nameBytes, 4);
        listTwo();
        testing::internal::CaptureStdout();
        EXPECT_EQ(loadFractals(write("n.frac2", bytes)), LoadOutcome::NoRecord);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  damagedName0 + std::to_string(nameBytes) + " bytes\nLoaded  0 fractals.\n");
        expectTwoKept();
        SetUp();
    }
}

TEST_F(FractalFileTest, NamesEndAtTheirFirstZeroWithinTheirLength)
{
    Bytes bytes = mandelbrotThenName(3);
    bytes.insert(bytes.end(), {'a', 'b', 'c', 7, 0, 0, 0}); // no zero byte among the 3, then id 7
    FractalFileContents contents = parseFractalFile(bytes);
    ASSERT_EQ(contents.records.size(), 2u);
    EXPECT_EQ(contents.records[1].name, "abc");
    EXPECT_EQ(contents.records[1].id, 7);

    bytes = mandelbrotThenName(5);
    bytes.insert(bytes.end(), {'a', 'b', 0, 'c', 'd', 9, 0, 0, 0});
    contents = parseFractalFile(bytes);
    ASSERT_EQ(contents.records.size(), 2u);
    EXPECT_EQ(contents.records[1].name, "ab");
    EXPECT_EQ(contents.records[1].id, 9);
}

TEST_F(FractalFileTest, CutShortTinyAndUnreadableFilesKeepTheList)
{
    const Bytes mandelbrot = encodeFractalFile({defaultFractalRecord(Mandelbrot, 0)}, 1);
    Bytes cutInId = mandelbrotThenName(2);
    cutInId.insert(cutInId.end(), {'a', 0, 1, 0}); // two of the id's four bytes
    Bytes firstFieldOnly(mandelbrot.begin(), mandelbrot.begin() + 8);
    Bytes v2FirstFieldOnly(16, 0);
    v2FirstFieldOnly.insert(v2FirstFieldOnly.end(), {'v', '2'});
    std::filesystem::create_directories(path("folder.frac"));

    const std::string cutFirst = "Damaged fractal file: fractal 0 is cut short\nLoaded  0 fractals.\n";
    struct Case {
        std::string file;
        std::string output;
        LoadOutcome outcome;
    };
    const Case cases[] = {
        {write("first.frac", firstFieldOnly),
         cutFirst, LoadOutcome::NoRecord},
        {write("first.frac2", v2FirstFieldOnly),
         cutFirst, LoadOutcome::NoRecord},
        {write("one.frac", Bytes{'v'}), "Loaded  0 fractals.\n", LoadOutcome::NoRecord},
        {write("empty.frac", Bytes{}), "Loaded  0 fractals.\n", LoadOutcome::NoRecord},
        {write("trailer.frac2", Bytes{'V', '2'}), "Loaded  0 fractals.\n", LoadOutcome::NoRecord},
        {path("folder.frac"), "Could not read from disk\n", LoadOutcome::NotOpened},
        {path("missing.frac"), "Could not read from disk\n", LoadOutcome::NotOpened},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        listTwo();
        testing::internal::CaptureStdout();
        EXPECT_EQ(loadFractals(c.file), c.outcome);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.output);
        expectTwoKept();
        SetUp();
    }

    testing::internal::CaptureStdout();
    EXPECT_EQ(loadFractals(write("cut.frac", cutInId)), LoadOutcome::Loaded);
    Bytes shortTail = mandelbrot;
    shortTail.insert(shortTail.end(), {1, 2, 3, 4, 5, 6, 7}); // less than a first field
    const FractalFileContents tail = parseFractalFile(shortTail);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.substr(0, 63),
              "Loaded v1 fractal\nDamaged fractal file: fractal 1 is cut short\n");
    EXPECT_EQ(fractalList.size(), 1u) << "the cut record is dropped";
    EXPECT_EQ(tail.records.size(), 1u);
    EXPECT_TRUE(tail.damage.empty()) << "bytes short of a first field end the file quietly";
}

// Bytes this process has read from files so far.
uint64_t bytesReadSoFar()
{
    std::ifstream io("/proc/self/io");
    std::string field;
    uint64_t rchar = 0;
    io >> field >> rchar;
    return rchar;
}

TEST_F(FractalFileTest, EndlessHugeAndOtherNonRegularFilesAreReadBoundedly)
{
    // The largest file the reader takes: a record whose name spans several of the reader's
    // pieces and ends at a zero byte early in its length, a record, holes, and "v2" at the end.
    FractalRecord longName = probeRecord();
    longName.name = std::string(150000, 'n');
    Bytes bytes = encodeFractalFile({longName, probeRecord()}, 2);
    bytes[128 + 70000] = 0;
    bytes.resize(bytes.size() - 2);
    const std::string largest = write("largest.frac2", bytes);
    std::ofstream(largest, std::ios::binary | std::ios::in)
        .seekp(static_cast<std::streamoff>(maxFractalFileBytes - 2))
        .write("v2", 2);
    ASSERT_EQ(std::filesystem::file_size(largest), maxFractalFileBytes);
    const std::string tooLarge = write("too-large.frac2", {});
    std::filesystem::resize_file(tooLarge, maxFractalFileBytes + 1);
    const std::string fifo = path("fifo.frac");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);

    for (const std::string& file : {std::string("/dev/zero"), fifo, tooLarge, largest}) {
        SCOPED_TRACE(file);
        listTwo();
        const uint64_t before = bytesReadSoFar();
        testing::internal::CaptureStdout();
        auto load = std::async(std::launch::async, [&] { return loadFractals(file); });
        if (load.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
            std::fprintf(stderr, "Loading %s still runs after a minute\n", file.c_str());
            std::_Exit(1); // its thread cannot be stopped
        }
        const std::string output = testing::internal::GetCapturedStdout();
        EXPECT_LT(bytesReadSoFar() - before, 1u << 20) << "read past what it needs";
        if (file != largest) {
            EXPECT_EQ(load.get(), LoadOutcome::NotOpened);
            EXPECT_EQ(output, "Could not read from disk\n");
            expectTwoKept();
        } else {
            EXPECT_EQ(load.get(), LoadOutcome::Loaded);
            EXPECT_TRUE(output.starts_with(
                "Loaded v2 fractal\nLoaded v2 fractal\n"
                "Damaged fractal file: fractal 2 has an impossible name length of 0 bytes\n"));
            longName.name.resize(70000);
            EXPECT_TRUE(sameRecords(fractalList, {longName, probeRecord()}));
        }
        SetUp();
    }
}

// Changes a valid file in a few random ways aimed at its lengths, its end and its trailer.
Bytes mutate(Bytes bytes, std::mt19937& rng)
{
    auto pick = [&rng](size_t n) { return n == 0 ? 0 : static_cast<size_t>(rng() % n); };
    const int changes = 1 + static_cast<int>(rng() % 4);
    for (int i = 0; i < changes; ++i) {
        const size_t size = bytes.size();
        switch (rng() % 6) {
        case 0:
            if (size > 0)
                bytes[pick(size)] ^= static_cast<unsigned char>(1 + rng() % 255);
            break;
        case 1:
            if (size >= 4) {
                const size_t at = pick(size - 3);
                const uint32_t values[] = {0, 1, 0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u,
                                           static_cast<uint32_t>(size - at),
                                           static_cast<uint32_t>(size - at - 4),
                                           static_cast<uint32_t>(size - at + 1),
                                           static_cast<uint32_t>(rng())};
                std::memcpy(bytes.data() + at, &values[pick(std::size(values))], 4);
            }
            break;
        case 2:
            bytes.resize(pick(size + 1));
            break;
        case 3: {
            const size_t from = pick(size + 1);
            bytes.erase(bytes.begin() + static_cast<long>(from),
                        bytes.begin() + static_cast<long>(from + pick(size - from + 1)));
            break;
        }
        case 4: {
            const size_t from = pick(size + 1);
            const Bytes slice(bytes.begin() + static_cast<long>(from),
                              bytes.begin() + static_cast<long>(from + pick(size - from + 1)));
            const size_t to = pick(size + 1);
            bytes.insert(bytes.begin() + static_cast<long>(to), slice.begin(), slice.end());
            break;
        }
        default: {
            const char* ends[] = {"v2", "V2", "2v", "v"};
            const char* end = ends[pick(4)];
            bytes.insert(bytes.end(), end, end + std::strlen(end));
            break;
        }
        }
    }
    return bytes;
}

TEST_F(FractalFileTest, FuzzedFilesNeverReadPastTheirEndOrLoseTheList)
{
    FractalRecord longName = probeRecord();
    longName.name = std::string(300, 'x');
    FractalRecord noName = probeRecord();
    noName.name.clear();
    std::vector<Bytes> seeds;
    for (int version : {1, 2}) {
        seeds.push_back(encodeFractalFile(allTypesExample(), version));
        seeds.push_back(encodeFractalFile(seahorseZoomExample(), version));
        seeds.push_back(encodeFractalFile({longName, noName, probeRecord()}, version));
    }

    std::mt19937 rng(20240607);
    constexpr int cases = 4000;
    for (int i = 0; i < cases; ++i) {
        const Bytes bytes = mutate(seeds[rng() % seeds.size()], rng);
        // An exact-size copy, so that AddressSanitizer sees any read past the last byte.
        const std::unique_ptr<unsigned char[]> exact(new unsigned char[bytes.size()]);
        std::copy(bytes.begin(), bytes.end(), exact.get());
        const FractalFileContents contents = parseFractalFile({exact.get(), bytes.size()});

        for (const FractalRecord& record : contents.records) {
            ASSERT_EQ(record.name.find('\0'), std::string::npos) << "case " << i;
            ASSERT_LT(record.name.size(), bytes.size()) << "case " << i;
        }
        const size_t smallestRecord = contents.version == 2 ? 133 : 77;
        ASSERT_LE(contents.records.size() * smallestRecord, bytes.size()) << "case " << i;
        const FractalFileContents again =
            parseFractalFile(encodeFractalFile(contents.records, contents.version));
        ASSERT_TRUE(sameRecords(again.records, contents.records)) << "case " << i;

        if (i % 40 == 0) {
            listTwo();
            testing::internal::CaptureStdout();
            const LoadOutcome outcome = loadFractals(write("fuzz.frac", bytes));
            testing::internal::GetCapturedStdout();
            if (contents.records.empty()) {
                EXPECT_EQ(outcome, LoadOutcome::NoRecord) << "case " << i;
                expectTwoKept();
            } else {
                EXPECT_EQ(outcome, LoadOutcome::Loaded) << "case " << i;
                EXPECT_TRUE(sameRecords(fractalList, contents.records)) << "case " << i;
                EXPECT_EQ(currentFractalIndex, 0);
                EXPECT_EQ(renderQueue.size(), 1u);
            }
            SetUp();
        }
    }
}

} // namespace
