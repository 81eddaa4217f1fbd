#include "examples/example_lists.h"
#include "tests/core/fractal_file_fixture.h"

#include <array>

namespace {

template <class T>
void putAt(Bytes& bytes, size_t offset, T value)
{
    if (bytes.size() < offset + sizeof value)
        bytes.resize(offset + sizeof value);
    std::memcpy(bytes.data() + offset, &value, sizeof value);
}

void putSlot(Bytes& bytes, size_t offset, long double value, unsigned char filler)
{
    std::array<unsigned char, 16> slot;
    slot.fill(filler);
    std::memcpy(slot.data(), &value, 10);
    putAt(bytes, offset, slot);
}

// The probe record placed by hand at the offsets of the format's tables.
Bytes probeFile(int version, unsigned char filler = 0)
{
    const FractalRecord p = probeRecord();
    const long double reals[] = {p.maxX, p.minX, p.maxY, p.minY, p.Cx, p.Cy};
    const std::array<char, 7> name{'D', 'r', 'a', 'g', 'o', 'n', '\0'};
    Bytes bytes;
    if (version == 2) {
        for (size_t i = 0; i < 6; ++i)
            putSlot(bytes, 16 * i, reals[i], filler);
        putAt<int32_t>(bytes, 96, p.maxIterations);
        putSlot(bytes, 100, p.maxSizeSquared, filler);
        putAt<int32_t>(bytes, 116, p.paletteType);
        putAt<int32_t>(bytes, 120, p.fractalType);
        putAt<uint32_t>(bytes, 124, 7);
        putAt(bytes, 128, name);
        putAt<int32_t>(bytes, 135, p.id);
        putAt(bytes, 139, std::array<char, 2>{'v', '2'});
    } else {
        for (size_t i = 0; i < 6; ++i)
            putAt(bytes, 8 * i, static_cast<double>(reals[i]));
        putAt<int32_t>(bytes, 48, p.maxIterations);
        putAt(bytes, 52, static_cast<double>(p.maxSizeSquared));
        putAt<int32_t>(bytes, 60, p.paletteType);
        putAt<int32_t>(bytes, 64, p.fractalType);
        putAt<uint32_t>(bytes, 68, 7);
        putAt(bytes, 72, name);
        putAt<int32_t>(bytes, 79, p.id);
    }
    return bytes;
}

TEST_F(FractalFileTest, EveryFieldSitsAtItsOffsetInBothVersions)
{
    fractalList = {probeRecord()};
    testing::internal::CaptureStdout();
    EXPECT_TRUE(saveFractals(path("probe.frac2")));
    EXPECT_TRUE(saveFractals(path("probe.frac")));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Saved fractal 0\nSaved fractal 0\n");
    EXPECT_EQ(read(path("probe.frac2")), probeFile(2));
    EXPECT_EQ(read(path("probe.frac")), probeFile(1));
    EXPECT_EQ(probeFile(2).size(), 132u + 7 + 2);
    EXPECT_EQ(probeFile(1).size(), 76u + 7);

    Bytes v2 = probeFile(2, 0xAA); // filler the reader must ignore
    v2.back() = '2';
    v2[v2.size() - 2] = 'V';
    const FractalFileContents two = parseFractalFile(v2);
    EXPECT_EQ(two.version, 2) << "the trailer is compared ignoring case";
    ASSERT_EQ(two.records.size(), 1u);
    EXPECT_TRUE(sameRecord(two.records[0], probeRecord())) << "extended values bit-identical";

    const FractalFileContents one = parseFractalFile(probeFile(1));
    EXPECT_EQ(one.version, 1);
    ASSERT_EQ(one.records.size(), 1u);
    FractalRecord rounded = probeRecord();
    for (long double* real : {&rounded.maxX, &rounded.minX, &rounded.maxY, &rounded.minY,
                              &rounded.Cx, &rounded.Cy, &rounded.maxSizeSquared})
        *real = static_cast<double>(*real);
    EXPECT_TRUE(sameRecord(one.records[0], rounded));
    EXPECT_NE(rounded.maxX, probeRecord().maxX) << "the probe must lose bits in version 1";
}

TEST_F(FractalFileTest, LoadingReplacesTheListKeepsIdsAndQueuesTheFirst)
{
    listTwo();
    FractalRecord second = probeRecord();
    second.name = "Dragon zoomed";
    second.minX = -1.0L / 3.0L;
    const std::vector<FractalRecord> file{probeRecord(), second};
    write("zoom.frac2", encodeFractalFile(file, 2));
    const std::string firstLine = parametersLine(file[0]);

    testing::internal::CaptureStdout();
    EXPECT_EQ(loadFractals(path("zoom.frac2")), LoadOutcome::Loaded);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Loaded v2 fractal\nLoaded v2 fractal\n" + firstLine + "Loaded  2 fractals.\n");
    EXPECT_TRUE(sameRecords(fractalList, file)) << "extended values bit-identical, ids kept";
    EXPECT_EQ(currentFractalIndex, 0);
    ASSERT_EQ(renderQueue.size(), 1u);
    EXPECT_TRUE(sameRecord(renderQueue.front(), file[0]));
    EXPECT_TRUE(sameRecord(lastQueuedFractal, file[0]));
    EXPECT_EQ(pendingFrames, 1);
    EXPECT_EQ(nextFractalId, 2);
    EXPECT_EQ(fractalType, 10);
    EXPECT_EQ(paletteType, 2);
    EXPECT_EQ(titles(), std::vector<std::string>{"Tessaly Dragon"});

    const std::string mandelbrotLine = parametersLine(defaultFractalRecord(Mandelbrot, 0));
    const std::pair<std::string, std::string> examples[] = {
        {"mandelbrot.frac2", "Loaded v2 fractal\n"},
        {"mandelbrot.frac", "Loaded v1 fractal\n"},
    };
    for (const auto& [name, loadedLine] : examples) {
        testing::internal::CaptureStdout();
        loadFractals(std::string(TESSALY_SOURCE_DIR) + "/examples/" + name);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  loadedLine + mandelbrotLine + "Loaded  1 fractals.\n");
    }
}

TEST_F(FractalFileTest, VersionFollowsTheLastTwoBytesNotTheName)
{
    testing::internal::CaptureStdout();
    EXPECT_EQ(loadFractals(write("two.frac", probeFile(2))), LoadOutcome::Loaded);
    EXPECT_EQ(loadFractals(write("one.frac2", probeFile(1))), LoadOutcome::Loaded);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.find("Loaded v2 fractal\n"), 0u);
    EXPECT_NE(out.find("Loaded  1 fractals.\nLoaded v1 fractal\n"), std::string::npos);

    FractalRecord trap = probeRecord();
    trap.id = 0x32760005; // high bytes "v2"
    const FractalFileContents misread = parseFractalFile(encodeFractalFile({trap}, 1));
    EXPECT_EQ(misread.version, 2);
    EXPECT_TRUE(misread.records.empty());

    EXPECT_EQ(fractalFileVersion("/home/a/list.frac2"), 2);
    EXPECT_EQ(fractalFileVersion("/home/a/list.FRAC2"), 1);
    EXPECT_EQ(fractalFileVersion("/home/a.frac2/list.frac2"), 2);
    EXPECT_EQ(fractalFileVersion("a.frac2.frac2"), 2);
    EXPECT_EQ(fractalFileVersion("/home/a.frac2/list.frac"), 1);
    EXPECT_EQ(fractalFileVersion("/home/a/list.frac"), 1);
    EXPECT_EQ(fractalFileVersion("/home/a/list.frac2.old"), 1);
}

TEST_F(FractalFileTest, WriterReportsWhatItCouldNotWrite)
{
    testing::internal::CaptureStdout();
    EXPECT_TRUE(saveFractals(path("empty.frac2")));
    EXPECT_TRUE(saveFractals(path("empty.frac")));
    EXPECT_FALSE(saveFractals(path("no such folder/list.frac")));
    fractalList = {probeRecord()};
    std::filesystem::create_directory(path("folder.frac"));
    EXPECT_FALSE(saveFractals(path("folder.frac"))) << "a folder is never replaced";
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(read(path("empty.frac2")), (Bytes{'v', '2'}));
    EXPECT_TRUE(read(path("empty.frac")).empty());
    EXPECT_TRUE(std::filesystem::is_directory(path("folder.frac")));
    EXPECT_EQ(out, "Could not write to disk\nCould not write to disk\n")
        << "no record reported as saved when the disk refused it";
}

TEST_F(FractalFileTest, ExamplesAreWhatTheWriterMakesOfTheirLists)
{
    for (const ExampleList& example : exampleLists()) {
        for (int version : {1, 2}) {
            const std::string file = std::string(TESSALY_SOURCE_DIR) + "/examples/" + example.name
                + (version == 2 ? ".frac2" : ".frac");
            const Bytes bytes = read(file);
            EXPECT_EQ(bytes, encodeFractalFile(example.records, version)) << file;
            const FractalFileContents contents = parseFractalFile(bytes);
            EXPECT_TRUE(contents.damage.empty()) << file;
            EXPECT_EQ(contents.records.size(), example.records.size()) << file;
        }
    }
    EXPECT_EQ(read(std::string(TESSALY_SOURCE_DIR) + "/examples/mandelbrot.frac2").size(), 145u);
    EXPECT_EQ(read(std::string(TESSALY_SOURCE_DIR) + "/examples/mandelbrot.frac").size(), 87u);

    const std::vector<FractalRecord> zoom = seahorseZoomExample();
    ASSERT_EQ(zoom.size(), 4u);
    for (size_t i = 1; i < zoom.size(); ++i) {
        EXPECT_EQ(zoom[i].id, zoom[0].id);
        EXPECT_GT(zoom[i].minX, zoom[i - 1].minX);
        EXPECT_LT(zoom[i].maxX, zoom[i - 1].maxX);
        EXPECT_GT(zoom[i].minY, zoom[i - 1].minY);
        EXPECT_LT(zoom[i].maxY, zoom[i - 1].maxY);
    }
    const std::vector<FractalRecord> all = allTypesExample();
    ASSERT_EQ(all.size(), static_cast<size_t>(fractalTypeCount));
    for (int32_t type = 0; type < fractalTypeCount; ++type)
        EXPECT_EQ(all[type].fractalType, type);
}


TEST_F(FractalFileTest, BenchFileWithoutFractalsStartsWithTheMandelbrot)
{
    const std::string mandelbrotLine = parametersLine(defaultFractalRecord(Mandelbrot, 0));
    const std::string missing = path("missing.frac");
    testing::internal::CaptureStdout();
    loadBenchFractals(missing);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Could not read from disk\nNo fractal in " + missing
                  + ", starting with the default Mandelbrot\n" + mandelbrotLine);
    ASSERT_EQ(fractalList.size(), 1u);
    EXPECT_EQ(fractalList[0].name, "Mandelbrot");
    EXPECT_EQ(currentFractalIndex, 0);
    EXPECT_EQ(renderQueue.size(), 1u);

    SetUp();
    const std::string trailerOnly = write("trailer.frac2", Bytes{'v', '2'});
    testing::internal::CaptureStdout();
    loadBenchFractals(trailerOnly);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Loaded  0 fractals.\nNo fractal in " + trailerOnly
                  + ", starting with the default Mandelbrot\n" + mandelbrotLine);
    ASSERT_EQ(fractalList.size(), 1u);
    EXPECT_EQ(fractalList[0].id, 0);

    SetUp();
    testing::internal::CaptureStdout();
    loadBenchFractals(std::string(TESSALY_SOURCE_DIR) + "/examples/all_types.frac2");
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Loaded  14 fractals.\n"), std::string::npos);
    EXPECT_EQ(out.find("No fractal"), std::string::npos);
    EXPECT_EQ(fractalList.size(), 14u);
    EXPECT_EQ(nextFractalId, 0);
}

} // namespace
