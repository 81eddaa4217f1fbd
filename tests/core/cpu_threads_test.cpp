#include "core/cpu_threads.h"
#include "core/escape_time.h"
#include "core/fractal_list.h"
#include "core/frame_wait.h"
#include "core/globals.h"
#include "platform/x87.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <deque>
#include <cstdio>
#include <iostream>
#include <limits>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// Standard output redirected into a temporary file that can be read while workers still write.
class StdoutFile {
public:
    StdoutFile()
    {
        flush();
        file = std::tmpfile();
        saved = dup(1);
        dup2(fileno(file), 1);
    }
    ~StdoutFile()
    {
        flush();
        dup2(saved, 1);
        close(saved);
        std::fclose(file);
    }
    std::string contents()
    {
        flush();
        std::string text;
        char chunk[4096];
        ssize_t n;
        for (off_t at = 0; (n = pread(fileno(file), chunk, sizeof chunk, at)) > 0; at += n)
            text.append(chunk, static_cast<size_t>(n));
        return text;
    }
    // Waits until the text appears; false after a generous deadline instead of hanging.
    bool waitFor(const std::string& text)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (contents().find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return true;
    }

private:
    static void flush()
    {
        std::cout.flush();
        std::fflush(stdout);
    }
    FILE* file;
    int saved;
};

const std::string rangeText =
    "cpuThread precision must be between[1,3] (i.e. single, double and quad precision)";

// The image the scalar kernel gives for a whole record, on the calling thread.
std::vector<uint16_t> directImage(const FractalRecord& r, int precision, int size)
{
    std::vector<uint16_t> image(size * size, 0xBEEF);
    const auto run = [&](auto zero) {
        using T = decltype(zero);
        cpuTile<T>(0, 0, size, size, T(size), T(size), static_cast<T>(r.minX),
                   static_cast<T>(r.maxX), static_cast<T>(r.minY), static_cast<T>(r.maxY),
                   static_cast<T>(r.Cx), static_cast<T>(r.Cy), static_cast<T>(r.maxSizeSquared),
                   r.maxIterations, image.data(), r.fractalType);
    };
    setX87Precision(X87Precision::Extended);
    if (precision == 1)
        run(0.0f);
    else if (precision == 2)
        run(0.0);
    else
        run(0.0L);
    return image;
}

FractalRecord deepZoom()
{
    FractalRecord r = defaultFractalRecord(0, 0);
    r.minX = -1.7497591451303665L - 1e-17L;
    r.maxX = -1.7497591451303665L + 1e-17L;
    r.minY = -1e-17L;
    r.maxY = 1e-17L;
    r.maxIterations = 800;
    return r;
}

class CpuThreadsTest : public ::testing::Test {
protected:
    void SetUp() override { cpuPrecision = 1; }
    void TearDown() override
    {
        cpuPrecision = 1;
        setX87Precision(X87Precision::Extended);
    }
};

TEST_F(CpuThreadsTest, OneWorkerPerHardwareThreadAndOrderedShutdown)
{
    const uint32_t hardware = workerCountFor(std::thread::hardware_concurrency());
    EXPECT_EQ(workerCountFor(0), 1u);
    EXPECT_EQ(workerCountFor(6), 6u);

    std::vector<uint16_t> image(256 * 256);
    testing::internal::CaptureStdout();
    {
        // A maxThreads below the worker count would leave frames without a finisher.
        CPUThreads pool(hardware + 2, 256, 256, image.data());
        EXPECT_EQ(pool.threadCount, hardware);
        EXPECT_EQ(pool.workers.size(), hardware);
        EXPECT_EQ(pool.maxThreads, static_cast<int32_t>(hardware));
        EXPECT_EQ(pool.tokensPerFrame, static_cast<int32_t>(hardware));
        EXPECT_EQ(pool.fractalType, -1);
        EXPECT_EQ(pool.precision, &cpuPrecision);
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Maximum CPU threads: " + std::to_string(hardware + 2) +
                  "\nReleasing OpenCL resources ...[DONE]\nShutting down threads\n"
                  "Shutting down threads\nThread shutdown complete\n");
}

TEST_F(CpuThreadsTest, RejectsImageSizesOffTheTileGridAndBadPrecisions)
{
    for (auto [w, h] : {std::pair{0, 256}, {1000, 2048}, {2048, 100}, {-256, 256}, {256, 0}}) {
        try {
            CPUThreads pool(1, w, h, nullptr);
            ADD_FAILURE() << w << " x " << h << " accepted";
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find("positive multiple of 256"), std::string::npos);
        }
    }
    cpuPrecision = 0;
    testing::internal::CaptureStdout();
    try {
        CPUThreads pool(1, 256, 256, nullptr);
        ADD_FAILURE() << "precision 0 accepted";
    } catch (const std::out_of_range& e) {
        EXPECT_EQ(e.what(), rangeText);
    }
    testing::internal::GetCapturedStdout();
}

TEST_F(CpuThreadsTest, HundredsOfFramesCompleteWithExactImages)
{
    std::vector<FractalRecord> records;
    for (int type : {Mandelbrot, Julia, Dragon}) {
        FractalRecord r = defaultFractalRecord(type, 0);
        r.maxIterations = 6;
        records.push_back(r);
    }
    std::vector<std::vector<uint16_t>> expected;
    for (int precision = 1; precision <= 3; ++precision)
        for (const FractalRecord& r : records)
            expected.push_back(directImage(r, precision, 256));

    std::vector<uint16_t> image(256 * 256);
    testing::internal::CaptureStdout();
    {
        CPUThreads pool(1, 256, 256, image.data());
        for (int frame = 0; frame < 200; ++frame) {
            const int precision = frame % 5 == 4 ? 3 : 1 + frame % 2;
            const int which = (frame / 5) % 3;
            std::fill(image.begin(), image.end(), 0xBEEF);
            // Every third frame is waited for as the main thread waits, with a look.
            frameWaitLook = frame % 3 == 0 ? +[] {} : nullptr;
            computeCpuFrame(pool, records[which], precision, records[which].fractalType);
            frameWaitLook = nullptr;
            ASSERT_EQ(image, expected[(precision - 1) * 3 + which]) << "frame " << frame;
            std::lock_guard lock(pool.counterMutex);
            ASSERT_EQ(pool.tilesCompleted, tilesPerFrame);
            ASSERT_TRUE(pool.doneSignalled);
        }
        // A look that sees a close ends a frame that would never end.
        FractalRecord endless = records[0];
        endless.maxIterations = std::numeric_limits<int32_t>::max();
        frameWaitLook = [] { stopFlag = true; };
        computeCpuFrame(pool, endless, 2, endless.fractalType);
        frameWaitLook = nullptr;
        EXPECT_TRUE(stopFlag);
        stopFlag = false;
        // Exactly one frameDone per frame: none is left over.
        EXPECT_FALSE(pool.frameDone.tryAcquire());
        EXPECT_TRUE(pool.floatTiles.empty() && pool.doubleTiles.empty() &&
                    pool.extendedTiles.empty());
        EXPECT_EQ(x87ControlWord() & 0x300, 0);
    }
    testing::internal::GetCapturedStdout();
}

TEST_F(CpuThreadsTest, ExtendedFramesKeepTheirPrecisionAfterSingleFrames)
{
    const FractalRecord r = deepZoom();
    const std::vector<std::vector<uint16_t>> expected{directImage(r, 1, 256), directImage(r, 2, 256),
                                                      directImage(r, 3, 256)};
    ASSERT_NE(expected[0], expected[2]);
    ASSERT_NE(expected[1], expected[2]);

    std::vector<uint16_t> image(256 * 256);
    testing::internal::CaptureStdout();
    {
        CPUThreads pool(1, 256, 256, image.data());
        for (int precision : {1, 3, 2, 3}) {
            computeCpuFrame(pool, r, precision, r.fractalType);
            EXPECT_EQ(image, expected[precision - 1]) << precision;
        }
    }
    testing::internal::GetCapturedStdout();
}

TEST_F(CpuThreadsTest, EachJobComesFromTheQueueOfThePrecision)
{
    std::vector<uint16_t> image(256 * 256, 0xBEEF);
    testing::internal::CaptureStdout();
    {
        CPUThreads pool(1, 256, 256, image.data());
        pool.escapeBound = 4.0L;
        pool.maxIterations = 768;
        pool.fractalType = Mandelbrot;
        {
            std::lock_guard lock(pool.queueMutex);
            pool.floatTiles.push_back({0, 10, 0, 1, -2, 2, -1.5f, 1.5f, 0, 0});
            pool.doubleTiles.push_back({0, 10, 1, 2, -2, 2, -1.5, 1.5, 0, 0});
            pool.extendedTiles.push_back({0, 10, 2, 3, -2, 2, -1.5L, 1.5L, 0, 0});
        }
        const auto rowWritten = [&](int row) { return image[5 + row * 256] != 0xBEEF; };
        for (int precision : {2, 3, 1}) {
            // NOTE: the frame's tile becomes reachable only after the reset, as computeCpuFrame
            // queues its tiles: a worker still holding a token of the last frame may take it at
            // once, and its count must go to this frame.
            pool.resetQueue(pool.maxThreads);
            pool.tilesExpected = 1;
            cpuPrecision = precision;
            {
                std::lock_guard lock(pool.counterMutex);
                pool.allQueued = true;
                pool.tilesQueued += 1;
            }
            pool.workAvailable.release(pool.tokensPerFrame);
            pool.frameDone.acquire();
            std::lock_guard lock(pool.queueMutex);
            EXPECT_EQ(pool.floatTiles.size(), precision == 1 ? 0u : 1u);
            EXPECT_EQ(pool.doubleTiles.size(), 0u);
            EXPECT_EQ(pool.extendedTiles.size(), precision == 2 ? 1u : 0u);
            EXPECT_EQ(rowWritten(0), precision == 1);
            EXPECT_TRUE(rowWritten(1));
            EXPECT_EQ(rowWritten(2), precision != 2);
        }
    }
    testing::internal::GetCapturedStdout();
}

TEST_F(CpuThreadsTest, NullBufferCountsTilesAndWritesNothing)
{
    testing::internal::CaptureStdout();
    {
        CPUThreads pool(1, 256, 256, nullptr);
        computeCpuFrame(pool, defaultFractalRecord(0, 0), 2, Mandelbrot);
        std::lock_guard lock(pool.counterMutex);
        EXPECT_EQ(pool.tilesCompleted, tilesPerFrame);
        EXPECT_TRUE(pool.doubleTiles.empty());
    }
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("\nBuffer is NULL\n"), std::string::npos);
}

TEST_F(CpuThreadsTest, AWorkerExceptionEndsOnlyThatWorker)
{
    if (workerCountFor(std::thread::hardware_concurrency()) < 2)
        GTEST_SKIP() << "needs two workers";
    const FractalRecord r = defaultFractalRecord(0, 0);
    const auto expected = directImage(r, 2, 256);
    std::vector<uint16_t> image(256 * 256);
    StdoutFile out;
    {
        CPUThreads pool(1, 256, 256, image.data());
        cpuPrecision = 5;
        pool.workAvailable.release();
        ASSERT_TRUE(out.waitFor("threw an exception"));
        computeCpuFrame(pool, r, 2, Mandelbrot);
        EXPECT_EQ(image, expected);
        computeCpuFrame(pool, r, 2, Mandelbrot);
        EXPECT_EQ(image, expected);
    }
    // The failing worker prints the text, then its own line, and no other worker fails.
    const std::string text = out.contents();
    const size_t at = text.find(" threw an exception: ");
    ASSERT_NE(at, std::string::npos) << text;
    const size_t lineStart = text.rfind('\n', at) + 1;
    EXPECT_EQ(text.substr(lineStart - rangeText.size() - 1, rangeText.size() + 1), rangeText + "\n");
    EXPECT_EQ(text.substr(lineStart, 7), "Thread ");
    const std::string number = text.substr(lineStart + 7, at - lineStart - 7);
    EXPECT_GE(std::stoi(number), 1);
    EXPECT_LE(std::stoi(number), static_cast<int>(workerCountFor(std::thread::hardware_concurrency())));
    EXPECT_EQ(text.substr(at, std::string::npos).rfind(" threw an exception: " + rangeText + "\n", 0), 0u);
    EXPECT_EQ(text.find("threw an exception"), text.rfind("threw an exception"));
}

} // namespace

namespace {

TEST(TileGridTest, ColumnsOuterAndTheViewInTheQueuesType)
{
    FractalRecord record = defaultFractalRecord(Julia, 5);
    record.minX = -1.1L; // not a double: the float and double queues round it to nearest
    std::deque<TileJob<float>> floats(3);
    fillTiles(floats, record, 2048, 2048);
    ASSERT_EQ(floats.size(), 65536u);
    auto rect = [](const TileJob<float>& job) {
        return std::array<int32_t, 4>{job.x0, job.x1, job.y0, job.y1};
    };
    EXPECT_EQ(rect(floats[0]), (std::array<int32_t, 4>{0, 8, 0, 8}));
    EXPECT_EQ(rect(floats[1]), (std::array<int32_t, 4>{0, 8, 8, 16}));
    EXPECT_EQ(rect(floats[256]), (std::array<int32_t, 4>{8, 16, 0, 8}));
    EXPECT_EQ(rect(floats[65535]), (std::array<int32_t, 4>{2040, 2048, 2040, 2048}));
    EXPECT_EQ(floats[777].xMin, static_cast<float>(-1.1L));
    EXPECT_EQ(floats[777].cIm, static_cast<float>(record.Cy));

    std::deque<TileJob<long double>> extended;
    fillTiles(extended, record, 512, 256);
    ASSERT_EQ(extended.size(), 65536u);
    EXPECT_EQ(extended[256].x0, 2);
    EXPECT_EQ(extended[1].y0, 1);
    EXPECT_EQ(extended[0].xMin, -1.1L);
}

} // namespace
