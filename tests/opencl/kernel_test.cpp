// The kernel program on the PoCL device against the CPU engine, record by record.
#include "core/cpu_threads.h"
#include "core/fractal_list.h"
#include "tests/opencl/device_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int32_t side = 512;
constexpr size_t pixels = static_cast<size_t>(side) * side;

class KernelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        imageWidth = side;
        imageHeight = side;
        cpuImage.assign(2 * pixels, 0);
        testing::internal::CaptureStdout();
        pool = std::make_unique<CPUThreads>(4, side, side, cpuImage.data());
        testing::internal::GetCapturedStdout();
        if (!findDevices())
            return;
        deviceId = 0;
        useDouble = false;
        interopActive = false;
        setup = std::make_unique<SetupThread>();
        setup->start();
        requestKernelRebuild();
        waitUntil([] { return clReady.load(); });
    }

    static void TearDownTestSuite()
    {
        setup.reset();
        testing::internal::CaptureStdout();
        pool.reset();
        testing::internal::GetCapturedStdout();
        clState.deviceList.clear();
        deviceId = -1;
    }

    void SetUp() override
    {
        ASSERT_FALSE(clState.deviceList.empty()) << "needs an OpenCL device (PoCL)";
        ASSERT_TRUE(clReady) << "the kernels were not built";
    }

    // The device's image of a record, into a host image that starts filled with 0xBEEF.
    static std::vector<uint16_t> onDevice(const FractalRecord& record, bool doublePrecision)
    {
        std::vector<uint16_t> image(pixels, 0xBEEF);
        uint16_t* host = image.data();
        computeCL(record.fractalType, &host, {0u, 0u}, doublePrecision ? 1 : 0, record, 0);
        return image;
    }

    static std::vector<uint16_t> onCpu(const FractalRecord& record, bool doublePrecision)
    {
        computeCpuFrame(*pool, record, doublePrecision ? 2 : 1, record.fractalType);
        return {cpuImage.begin(), cpuImage.begin() + static_cast<ptrdiff_t>(pixels)};
    }

    static double differingFraction(const std::vector<uint16_t>& a, const std::vector<uint16_t>& b)
    {
        size_t differing = 0;
        for (size_t i = 0; i < pixels; ++i)
            differing += a[i] != b[i];
        return static_cast<double>(differing) / static_cast<double>(pixels);
    }

    static size_t distinctValues(const std::vector<uint16_t>& image)
    {
        std::vector<uint16_t> sorted = image;
        std::sort(sorted.begin(), sorted.end());
        return static_cast<size_t>(std::unique(sorted.begin(), sorted.end()) - sorted.begin());
    }

    static inline std::vector<uint16_t> cpuImage;
    static inline std::unique_ptr<CPUThreads> pool;
    static inline std::unique_ptr<SetupThread> setup;
};

// The escape count of the device's Hermite H4 step, z' = p + (16·z⁴ − 48·z² + 12), evaluated
// plainly in double in the kernel's order of operations.
uint16_t hermiteWithPoint(double pRe, double pIm, double bound, int32_t maxIterations)
{
    double x = pRe;
    double y = pIm;
    for (int32_t k = 0; k < maxIterations; ++k) {
        const double z2r = x * x - y * y, z2i = y * x + x * y;
        const double z3r = z2r * x - z2i * y, z3i = z2i * x + z2r * y;
        const double z4r = z3r * x - z3i * y, z4i = z3i * x + z3r * y;
        const double sr = (16.0 * z4r + -48.0 * z2r) + 12.0;
        const double si = (16.0 * z4i + -48.0 * z2i) + 0.0;
        x = pRe + sr;
        y = pIm + si;
        if (x * x + y * y > bound)
            return static_cast<uint16_t>(k);
    }
    return 0;
}

TEST_F(KernelTest, PolynomialTypesMatchTheCpuEngineExactly)
{
    // NOTE: with contracted multiply-adds Julia in single precision differs in about 3 % of
    // the pixels and the default Mandelbrot in 0.1 %.
    std::vector<FractalRecord> records;
    for (int32_t type : {Mandelbrot, Julia, FirstBarnsley, SecondBarnsley, ThirdBarnsley,
                         BarnsleySierpinski, Dragon, ChebyshevT5, LegendreP3})
        records.push_back(defaultFractalRecord(type, 0));
    records.push_back(defaultFractalRecord(Julia, 102));
    for (const FractalRecord& record : records) {
        for (bool doublePrecision : {false, true}) {
            const std::vector<uint16_t> device = onDevice(record, doublePrecision);
            EXPECT_EQ(differingFraction(device, onCpu(record, doublePrecision)), 0.0)
                << record.name << (doublePrecision ? " in double" : " in single");
            EXPECT_GT(distinctValues(device), 5u) << record.name;
        }
    }
}

TEST_F(KernelTest, TrigonometricTypesDifferOnlyWhereTheLibrariesRoundDifferently)
{
    // The device's sin, cos, sinh and cosh are not the host's x87 and C library functions:
    // counts move near the boundary, about 0.3 % of the pixels in single precision.
    for (int32_t type : {Sine, Cosine, HyperbolicSine, HyperbolicCosine}) {
        const FractalRecord record = defaultFractalRecord(type, 0);
        for (bool doublePrecision : {false, true}) {
            const std::vector<uint16_t> device = onDevice(record, doublePrecision);
            EXPECT_LT(differingFraction(device, onCpu(record, doublePrecision)), 0.01)
                << record.name << (doublePrecision ? " in double" : " in single");
            EXPECT_GT(distinctValues(device), 100u) << record.name;
        }
    }
}

TEST_F(KernelTest, HermiteAddsThePixelsPoint)
{
    FractalRecord record = defaultFractalRecord(HermiteH4, 0);
    const std::vector<uint16_t> device = onDevice(record, true);
    EXPECT_GT(differingFraction(device, onCpu(record, true)), 0.0) << "the CPU does not add p";

    const double xMin = static_cast<double>(record.minX), xMax = static_cast<double>(record.maxX);
    const double yMin = static_cast<double>(record.minY), yMax = static_cast<double>(record.maxY);
    size_t differing = 0;
    for (int32_t y = 0; y < side; ++y) {
        for (int32_t x = 0; x < side; ++x) {
            const double pRe = xMin + static_cast<double>(x) / side * (xMax - xMin);
            const double pIm = yMin + static_cast<double>(y) / side * (yMax - yMin);
            differing += device[static_cast<size_t>(x) + static_cast<size_t>(y) * side] !=
                         hermiteWithPoint(pRe, pIm, static_cast<double>(record.maxSizeSquared),
                                          record.maxIterations);
        }
    }
    EXPECT_EQ(differing, 0u);
}

TEST_F(KernelTest, NoIterationsAndUnknownTypesStoreZero)
{
    FractalRecord record = defaultFractalRecord(Mandelbrot, 0);
    for (int32_t limit : {0, -3}) {
        record.maxIterations = limit;
        for (bool doublePrecision : {false, true}) {
            const std::vector<uint16_t> image = onDevice(record, doublePrecision);
            EXPECT_EQ(std::count(image.begin(), image.end(), 0), static_cast<ptrdiff_t>(pixels))
                << "maxIterations " << limit;
        }
    }
    record = defaultFractalRecord(Mandelbrot, 0);
    for (int32_t type : {-1, fractalTypeCount}) {
        record.fractalType = type;
        const std::vector<uint16_t> image = onDevice(record, false);
        EXPECT_EQ(std::count(image.begin(), image.end(), 0), static_cast<ptrdiff_t>(pixels)) << type;
    }
}

TEST_F(KernelTest, DispatchKeepsItsBufferAndChecksTheTextureIndex)
{
    const FractalRecord record = defaultFractalRecord(Mandelbrot, 0);
    const std::vector<uint16_t> first = onDevice(record, false);
    EXPECT_EQ(clState.clBuffers.size(), 1u);
    EXPECT_EQ(onDevice(record, false), first) << "read back again from the same buffer";
    EXPECT_EQ(clState.clBuffers.size(), 1u);

    std::vector<uint16_t> image(pixels, 0xBEEF);
    uint16_t* host = image.data();
    testing::internal::CaptureStdout();
    computeCL(Mandelbrot, &host, {0u, 0u}, 0, record, 2);
    computeCL(Mandelbrot, &host, {}, 0, record, 0);
    computeCL(Mandelbrot, &host, {0u, 0u}, 0, record, -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error texture Id goes beyond bounds of texure buffer. Id is 2, num textures is : 2\n"
              "Error texture Id goes beyond bounds of texure buffer. Id is 0, num textures is : 0\n"
              "Error texture Id goes beyond bounds of texure buffer. Id is 4294967295, num textures is : 2\n");
    EXPECT_EQ(std::count(image.begin(), image.end(), 0xBEEF), static_cast<ptrdiff_t>(pixels));
}

} // namespace
