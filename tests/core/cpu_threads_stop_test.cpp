#include "core/cpu_threads.h"
#include "core/fractal_list.h"
#include "core/globals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
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
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
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

} // namespace
