// Shared set-up of the fractal-file tests: a clean list, hooks that record the window titles,
// a scratch folder, and byte helpers.
#pragma once

#include "core/fractal_file.h"
#include "core/fractal_list.h"
#include "core/globals.h"
#include "tests/support/global_state.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

using Bytes = std::vector<unsigned char>;

// Equal value bits: the 10 bytes of the x87 format, whatever the slot's filler.
inline bool sameBits(long double a, long double b)
{
    return std::memcmp(&a, &b, 10) == 0;
}

inline bool sameRecord(const FractalRecord& a, const FractalRecord& b)
{
    return sameBits(a.maxX, b.maxX) && sameBits(a.minX, b.minX) && sameBits(a.maxY, b.maxY)
        && sameBits(a.minY, b.minY) && sameBits(a.Cx, b.Cx) && sameBits(a.Cy, b.Cy)
        && a.fractalType == b.fractalType && a.maxIterations == b.maxIterations
        && sameBits(a.maxSizeSquared, b.maxSizeSquared) && a.paletteType == b.paletteType
        && a.name == b.name && a.id == b.id;
}

inline bool sameRecords(const std::vector<FractalRecord>& a, const std::vector<FractalRecord>& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (!sameRecord(a[i], b[i]))
            return false;
    }
    return true;
}

// A Dragon record whose every field differs from the others, with reals that are no doubles.
inline FractalRecord probeRecord()
{
    FractalRecord r{};
    r.maxX = 1.0L / 3.0L;
    r.minX = -2.5L;
    r.maxY = 0.1L;
    r.minY = -0.75L;
    r.Cx = -1.0L / 7.0L;
    r.Cy = 0.625L;
    r.fractalType = 10;
    r.maxIterations = 4096;
    r.maxSizeSquared = 16.5L;
    r.paletteType = 2;
    r.name = "Dragon";
    r.id = 77;
    return r;
}

class FractalFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        resetGlobalState();
        baseTitle = "Tessaly";
        titles().clear();
        fractalViewHooks.setWindowTitle = [](const std::string& t) { titles().push_back(t); };
        fractalViewHooks.windowTitle = [] { return "Tessaly :" + currentFilePath; };
        dir_ = std::filesystem::path(testing::TempDir())
            / ("fractal-files-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir_);
    }

    void TearDown() override
    {
        resetGlobalState();
        std::filesystem::remove_all(dir_);
    }

    static std::vector<std::string>& titles()
    {
        static std::vector<std::string> list;
        return list;
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    std::string write(const std::string& name, const Bytes& bytes) const
    {
        std::ofstream(path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        return path(name);
    }

    static Bytes read(const std::string& file)
    {
        std::ifstream in(file, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

    // Two records listed, the second current, with the queue and frame count cleared, so that
    // a load that fails can be seen to keep them.
    void listTwo()
    {
        testing::internal::CaptureStdout();
        newFractal(Sine, 0);
        newFractal(Cosine, 0);
        testing::internal::GetCapturedStdout();
        renderQueue.clear();
        pendingFrames = 0;
        titles().clear();
    }

    void expectTwoKept() const
    {
        ASSERT_EQ(fractalList.size(), 2u);
        EXPECT_EQ(fractalList[0].name, "Sine");
        EXPECT_EQ(fractalList[1].name, "Cosine");
        EXPECT_EQ(currentFractalIndex, 1);
        EXPECT_TRUE(renderQueue.empty());
        EXPECT_EQ(pendingFrames, 0);
        EXPECT_EQ(nextFractalId, 2);
    }

private:
    std::filesystem::path dir_;
};

// The console line that setCurrentFractal prints for a record.
inline std::string parametersLine(const FractalRecord& record)
{
    testing::internal::CaptureStdout();
    printFractalParameters(record);
    return testing::internal::GetCapturedStdout();
}
