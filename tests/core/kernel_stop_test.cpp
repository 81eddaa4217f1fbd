#include "core/escape_time.h"
#include "core/tile_kernels.h"
#include "platform/x87.h"
#include "tests/core/stop_while_running.h"

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr uint16_t untouched = 0xBEEF;
constexpr int32_t endlessIterations = std::numeric_limits<int32_t>::max();

// An 8 × 8 job inside the main cardioid: no pixel ever escapes.
template <typename T>
TileJob<T> endlessJob()
{
    return {0, 8, 0, 8, T(-0.5), T(0), T(-0.25), T(0.25), T(0), T(0)};
}

int32_t noMoreJobs(void*, TileJob<float>*, int32_t)
{
    return 0;
}

int32_t noMoreJobs(void*, TileJob<double>*, int32_t)
{
    return 0;
}

// The scalar kernel of a precision, stopped inside its first pixel, writes no pixel.
template <typename T>
void expectScalarStopsUnwritten(const std::string& what)
{
    std::vector<uint16_t> image(64, untouched);
    std::atomic<bool> stop{false};
    const TileJob<T> j = endlessJob<T>();
    stopWhileRunning(
        [&] {
            setX87Precision(std::is_same_v<T, long double> ? X87Precision::Extended
                                                           : X87Precision::Single);
            cpuTile<T>(j.x0, j.y0, j.x1, j.y1, T(8), T(8), j.xMin, j.xMax, j.yMin, j.yMax, j.cRe,
                       j.cIm, T(4), endlessIterations, image.data(), Mandelbrot, &stop);
        },
        stop, what);
    EXPECT_EQ(std::count(image.begin(), image.end(), untouched), 64) << what;
}

// The vector kernels, cancelled while their vectors run, drop their blocks unwritten.
template <typename T>
void expectVectorStopsUnwritten(SimdLevel level, const std::string& what)
{
    std::vector<uint16_t> image(64, untouched);
    std::atomic<bool> stop{false};
    const TileJob<T> job = endlessJob<T>();
    const TileFrame<T> frame{T(8), T(8), T(4), endlessIterations, Mandelbrot, 8};
    stopWhileRunning(
        [&] {
            computeVectorTiles(level, &job, 1, {noMoreJobs, nullptr, &stop}, frame, image.data());
        },
        stop, what);
    EXPECT_EQ(std::count(image.begin(), image.end(), untouched), 64) << what;
}

TEST(KernelStop, EndlessPixelsStopUnwrittenInEveryKernel)
{
    expectScalarStopsUnwritten<float>("scalar float");
    expectScalarStopsUnwritten<double>("scalar double");
    expectScalarStopsUnwritten<long double>("scalar extended");
    for (SimdLevel level : {SimdLevel::Avx2, SimdLevel::Avx512}) {
        if (!simdLevelSupported(level))
            continue;
        const std::string name = level == SimdLevel::Avx512 ? "AVX-512" : "AVX2";
        expectVectorStopsUnwritten<float>(level, name + " float");
        expectVectorStopsUnwritten<double>(level, name + " double");
    }
}

} // namespace
