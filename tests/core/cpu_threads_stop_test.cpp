#include "core/cpu_threads.h"
#include "core/fractal_list.h"
#include "core/globals.h"
#include "tests/core/stop_while_running.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <limits>
#include <string>
#include <thread>

namespace {

constexpr uint16_t untouched = 0xABCD;

// The inside of the main cardioid at ten million iterations: every pixel runs to the limit, so
// a whole frame would take minutes.
FractalRecord endlessRecord()
{
    FractalRecord record = defaultFractalRecord(Mandelbrot, 0);
    record.maxX = 0.0L;
    record.minX = -0.5L;
    record.maxY = 0.25L;
    record.minY = -0.25L;
    record.maxIterations = 10000000;
    return record;
}

TEST(CpuPoolStop, ShutdownCutsALongFrameShort)
{
    testing::internal::CaptureStdout();
    std::vector<uint16_t> image(256 * 256, untouched);
    {
        CPUThreads pool(2, 256, 256, image.data());

        auto frame = std::async(std::launch::async,
                                [&] { computeCpuFrame(pool, endlessRecord(), 1, Mandelbrot); });
        waitForOtherThreadsWork(0.1);
        stopFlag = true;
        if (frame.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
            // NOTE: the future would wait for the frame's end, minutes away.
            std::fputs("The frame still runs a minute after shutdown began\n", stderr);
            std::_Exit(1);
        }
        EXPECT_GT(std::count(image.begin(), image.end(), untouched), 0)
            << "the tiles left when shutdown began are not computed";

        // A frame started after shutdown began computes nothing and still completes.
        std::fill(image.begin(), image.end(), untouched);
        computeCpuFrame(pool, endlessRecord(), 1, Mandelbrot);
        EXPECT_EQ(std::count(image.begin(), image.end(), untouched), 256 * 256);

        stopFlag = false;
        FractalRecord quick = defaultFractalRecord(Mandelbrot, 0);
        computeCpuFrame(pool, quick, 1, Mandelbrot);
        EXPECT_EQ(std::count(image.begin(), image.end(), untouched), 0);
    }
    testing::internal::GetCapturedStdout();
}

TEST(CpuPoolStop, TilesOfEndlessPixelsEndOnceStoppedInEveryPrecision)
{
    // 8 × 8 tiles whose pixels never escape at the largest iteration limit: a tile would take
    // hours. Sine has no vector kernel, so its float frame runs the scalar kernel.
    FractalRecord mandelbrot = endlessRecord();
    mandelbrot.maxIterations = std::numeric_limits<int32_t>::max();
    FractalRecord sine = defaultFractalRecord(Sine, 0);
    sine.minX = sine.minY = -1e-3L;
    sine.maxX = sine.maxY = 1e-3L;
    sine.maxIterations = std::numeric_limits<int32_t>::max();
    struct Case {
        const FractalRecord& record;
        int32_t precision;
    };
    testing::internal::CaptureStdout();
    {
        std::vector<uint16_t> image(2048 * 2048);
        CPUThreads pool(2, 2048, 2048, image.data());
        for (const Case c : {Case{mandelbrot, 1}, Case{mandelbrot, 2}, Case{mandelbrot, 3},
                             Case{sine, 1}}) {
            const std::string what = "precision " + std::to_string(c.precision) + ", type " +
                                     std::to_string(c.record.fractalType);
            std::fill(image.begin(), image.end(), untouched);
            stopWhileRunning(
                [&] { computeCpuFrame(pool, c.record, c.precision, c.record.fractalType); },
                stopFlag, what);
            stopFlag = false;
            EXPECT_GT(std::count(image.begin(), image.end(), untouched), 2048 * 2048 / 2) << what;
        }
    }
    testing::internal::GetCapturedStdout();
}

} // namespace
