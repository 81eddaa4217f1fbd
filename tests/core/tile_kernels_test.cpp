#include "core/escape_time.h"
#include "core/fractal_list.h"
#include "core/tile_kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

namespace {

struct Image {
    int32_t width, height;   // pixels
    int32_t tileW, tileH;    // tile size of the jobs
};

// Jobs over the whole image, columns outer, each with the view of the record it is given.
template <typename T>
std::vector<TileJob<T>> tileJobs(const Image& image, const FractalRecord& a, const FractalRecord& b,
                                 int32_t switchEvery)
{
    std::vector<TileJob<T>> jobs;
    for (int32_t x0 = 0; x0 < image.width; x0 += image.tileW) {
        for (int32_t y0 = 0; y0 < image.height; y0 += image.tileH) {
            const bool second = switchEvery > 0 && (jobs.size() / switchEvery) % 2 == 1;
            const FractalRecord& r = second ? b : a;
            jobs.push_back({x0, std::min(x0 + image.tileW, image.width), y0,
                            std::min(y0 + image.tileH, image.height), static_cast<T>(r.minX),
                            static_cast<T>(r.maxX), static_cast<T>(r.minY),
                            static_cast<T>(r.maxY), static_cast<T>(r.Cx), static_cast<T>(r.Cy)});
        }
    }
    return jobs;
}

template <typename T>
TileFrame<T> frameOf(const Image& image, const FractalRecord& r)
{
    return {T(image.width), T(image.height), static_cast<T>(r.maxSizeSquared), r.maxIterations,
            r.fractalType, image.width};
}

template <typename T>
std::vector<uint16_t> scalarImage(const Image& image, const std::vector<TileJob<T>>& jobs,
                                  const TileFrame<T>& frame)
{
    std::vector<uint16_t> pixels(image.width * image.height, 0xBEEF);
    for (const TileJob<T>& j : jobs)
        cpuTile<T>(j.x0, j.y0, j.x1, j.y1, frame.width, frame.height, j.xMin, j.xMax, j.yMin,
                   j.yMax, j.cRe, j.cIm, frame.escapeBound, frame.maxIterations, pixels.data(),
                   frame.fractalType);
    return pixels;
}

// Hands the jobs to the kernel a few at a time, as the pool's queue does.
template <typename T>
struct JobFeed {
    const std::vector<TileJob<T>>* jobs;
    size_t next;
    int32_t batch;
    static int32_t take(void* context, TileJob<T>* out, int32_t capacity)
    {
        auto& feed = *static_cast<JobFeed*>(context);
        int32_t n = 0;
        while (n < feed.batch && n < capacity && feed.next < feed.jobs->size())
            out[n++] = (*feed.jobs)[feed.next++];
        return n;
    }
};

template <typename T>
std::vector<uint16_t> vectorImage(SimdLevel level, const Image& image,
                                  const std::vector<TileJob<T>>& jobs, const TileFrame<T>& frame)
{
    std::vector<uint16_t> pixels(image.width * image.height, 0xBEEF);
    const int32_t first = std::min<int32_t>(3, static_cast<int32_t>(jobs.size()));
    JobFeed<T> feed{&jobs, static_cast<size_t>(first), 7};
    // The vectors look at the flag as they run, without changing a count.
    const std::atomic<bool> notCancelled{false};
    computeVectorTiles(level, jobs.data(), first, {JobFeed<T>::take, &feed, &notCancelled}, frame,
                       pixels.data());
    EXPECT_EQ(feed.next, jobs.size()) << "jobs left in the feed";
    return pixels;
}

std::vector<SimdLevel> vectorLevels()
{
    std::vector<SimdLevel> levels;
    for (SimdLevel level : {SimdLevel::Avx2, SimdLevel::Avx512})
        if (simdLevelSupported(level))
            levels.push_back(level);
    return levels;
}

const char* levelName(SimdLevel level)
{
    return level == SimdLevel::Avx512 ? "AVX-512" : "AVX2";
}

// Every vector level gives the scalar image of a record in both precisions, bit for bit.
void expectSameImages(const FractalRecord& r, const Image& image,
                      const FractalRecord& other = {}, int32_t switchEvery = 0)
{
    const auto check = [&](auto zero) {
        using T = decltype(zero);
        const auto jobs = tileJobs<T>(image, r, switchEvery ? other : r, switchEvery);
        const TileFrame<T> frame = frameOf<T>(image, r);
        const auto scalar = scalarImage(image, jobs, frame);
        EXPECT_EQ(std::count(scalar.begin(), scalar.end(), 0xBEEF), 0);
        for (SimdLevel level : vectorLevels()) {
            const auto vector = vectorImage(level, image, jobs, frame);
            EXPECT_TRUE(vector == scalar) << levelName(level) << (sizeof(T) == 4 ? " float" : " double")
                                          << ", type " << r.fractalType << ", "
                                          << image.width << "x" << image.height;
        }
    };
    check(0.0f);
    check(0.0);
}

// A view of span times the default one's size around a point at fractions fx, fy of it.
FractalRecord zoomed(int type, double fx, double fy, long double span)
{
    FractalRecord r = defaultFractalRecord(type, 0);
    const long double cx = r.minX + (r.maxX - r.minX) * fx;
    const long double cy = r.minY + (r.maxY - r.minY) * fy;
    const long double hx = (r.maxX - r.minX) * span / 2, hy = (r.maxY - r.minY) * span / 2;
    r.minX = cx - hx;
    r.maxX = cx + hx;
    r.minY = cy - hy;
    r.maxY = cy + hy;
    return r;
}

const std::vector<int> vectorTypes{Mandelbrot, Julia, FirstBarnsley, SecondBarnsley,
                                   ThirdBarnsley, BarnsleySierpinski, Dragon,
                                   ChebyshevT5, HermiteH4, LegendreP3};

TEST(TileKernelsTest, VectorImagesEqualScalarImagesOnEveryView)
{
    if (vectorLevels().empty())
        GTEST_SKIP() << "no vector instruction set on this processor";
    const Image grid{64, 64, 8, 8};
    for (int type : vectorTypes) {
        SCOPED_TRACE("type " + std::to_string(type));
        expectSameImages(defaultFractalRecord(type, 0), grid);
        expectSameImages(zoomed(type, 0.37, 0.61, 0.25L), grid);   // across the boundary
        expectSameImages(zoomed(type, 0.37, 0.61, 1e-9L), grid);   // deep
        FractalRecord once = defaultFractalRecord(type, 0);
        once.maxIterations = 1;
        expectSameImages(once, grid);
        FractalRecord none = defaultFractalRecord(type, 0);
        none.maxIterations = -4;
        expectSameImages(none, grid);
        FractalRecord wrap = zoomed(type, 0.37, 0.61, 0.25L);
        wrap.maxIterations = 70000;
        expectSameImages(wrap, Image{8, 8, 8, 8});
    }
    for (int preset : {100, 101, 102, 103})
        expectSameImages(defaultFractalRecord(Julia, preset), grid);

    // Deep on the real axis near -1.75, and just right of the cusp where counts pass 65,535.
    FractalRecord deep = defaultFractalRecord(Mandelbrot, 0);
    deep.minX = -1.7497591451303665L - 1e-13L;
    deep.maxX = -1.7497591451303665L + 1e-13L;
    deep.minY = -1e-13L;
    deep.maxY = 1e-13L;
    deep.maxIterations = 2000;
    expectSameImages(deep, grid);
    FractalRecord cusp = defaultFractalRecord(Mandelbrot, 0);
    cusp.minX = 0.25L + 1.9e-9L;
    cusp.maxX = 0.25L + 2.9e-9L;
    cusp.minY = -1e-9L;
    cusp.maxY = 1e-9L;
    cusp.maxIterations = 70000;
    expectSameImages(cusp, Image{16, 16, 8, 8});
    // Counts on either side of the vectors' first look at the stop flag.
    const double pi = 3.14159265358979, steps = stopCheckSteps;
    FractalRecord check = cusp;
    check.maxIterations = stopCheckSteps + 100;
    check.minX = 0.25L + (pi / (steps + 60)) * (pi / (steps + 60));
    check.maxX = 0.25L + (pi / (steps - 60)) * (pi / (steps - 60));
    check.minY = check.maxY = 0;
    expectSameImages(check, Image{64, 4, 16, 2});
}

TEST(TileKernelsTest, OddTilesAndViewsChangingBetweenJobs)
{
    if (vectorLevels().empty())
        GTEST_SKIP() << "no vector instruction set on this processor";
    // Tiles whose columns do not fill whole vectors, and single rows and columns.
    for (Image image : {Image{30, 21, 5, 3}, Image{17, 9, 17, 9}, Image{40, 8, 1, 1}})
        expectSameImages(defaultFractalRecord(Mandelbrot, 0), image);
    // Jobs of two views and constants in one stream: the kernel drains before switching.
    const FractalRecord a = defaultFractalRecord(Julia, 101);
    const FractalRecord b = zoomed(Julia, 0.3, 0.4, 0.1L);
    FractalRecord c = b;
    c.Cx = -0.8L;
    expectSameImages(a, Image{48, 32, 8, 8}, c, 5);
    expectSameImages(defaultFractalRecord(Dragon, 0), Image{48, 32, 8, 8},
                     zoomed(Dragon, 0.5, 0.5, 0.01L), 1);
}

TEST(TileKernelsTest, VectorKernelsCoverThePolynomialTypesOnly)
{
    for (int type = -1; type <= fractalTypeCount; ++type) {
        const bool trigonometric = type >= Sine && type <= HyperbolicCosine;
        const bool known = type >= 0 && type < fractalTypeCount;
        EXPECT_EQ(hasVectorKernel(type), known && !trigonometric) << type;
    }
    EXPECT_TRUE(simdLevelSupported(SimdLevel::Scalar));
    EXPECT_TRUE(simdLevelSupported(detectSimdLevel()));
    if (simdLevelSupported(SimdLevel::Avx512)) {
        EXPECT_EQ(detectSimdLevel(), SimdLevel::Avx512);
    }
}

} // namespace
