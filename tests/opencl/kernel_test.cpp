// The kernel program on the PoCL device against the CPU engine, record by record.
#include "core/cpu_threads.h"
#include "core/fractal_list.h"
#include "tests/opencl/device_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <complex>
#include <limits>
#include <set>
#include <vector>

namespace {

constexpr int32_t side = 512;
constexpr size_t pixels = static_cast<size_t>(side) * side;

class KernelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        imageWidth = imageHeight = side;
        deviceId = 0;
        useDouble = interopActive = false;
        if (findDevices()) {
            setup.start();
            requestKernelRebuild();
            waitUntil([] { return clReady.load(); });
        }
    }

    static void TearDownTestSuite()
    {
        setup.stop();
        clState.deviceList.clear();
        deviceId = -1;
    }

    void SetUp() override { ASSERT_TRUE(clReady) << "needs an OpenCL device (PoCL) with the kernels built"; }

    // The device's image of a record, into a host image that starts filled with 0xBEEF.
    static std::vector<uint16_t> onDevice(const FractalRecord& record, bool doublePrecision,
                                          int32_t textureIndex = 0)
    {
        std::vector<uint16_t> image(pixels, 0xBEEF);
        uint16_t* host = image.data();
        computeCL(record.fractalType, &host, {0u, 0u}, doublePrecision ? 1 : 0, record, textureIndex);
        return image;
    }

    static inline SetupThread setup;
};

TEST_F(KernelTest, DeviceImagesMatchTheCpuEngine)
{
    // Polynomial types match exactly (contracted multiply-adds would move about 3 % of Julia's
    // pixels in single precision). The device's sin, cos, sinh and cosh round differently from
    // the host's x87 and C library: counts move near the boundary, about 0.3 % of the pixels.
    std::vector<uint16_t> cpuImage(2 * pixels, 0);
    CPUThreads pool(4, side, side, cpuImage.data());
    std::vector<FractalRecord> records{defaultFractalRecord(Julia, 102)};
    for (int32_t type = 0; type < fractalTypeCount; ++type)
        if (type != HermiteH4) // checked on its own below
            records.push_back(defaultFractalRecord(type, 0));
    for (const FractalRecord& record : records) {
        const bool libraryMaths = record.fractalType >= Sine && record.fractalType <= HyperbolicCosine;
        const double tolerance = libraryMaths ? 0.01 : 0.0;
        for (bool doublePrecision : {false, true}) {
            const std::vector<uint16_t> device = onDevice(record, doublePrecision);
            computeCpuFrame(pool, record, doublePrecision ? 2 : 1, record.fractalType);
            size_t differing = 0;
            for (size_t i = 0; i < pixels; ++i)
                differing += device[i] != cpuImage[i];
            EXPECT_LE(static_cast<double>(differing), tolerance * pixels)
                << record.name << (doublePrecision ? " in double" : " in single");
            EXPECT_GT(std::set<uint16_t>(device.begin(), device.end()).size(), 5u) << record.name;
        }
    }
    EXPECT_EQ(clState.clBuffers.size(), 1u) << "every frame reads back through the same buffer";
}

TEST_F(KernelTest, HermiteAddsThePixelsPoint)
{
    // The device's step is z' = p + (16·z⁴ − 48·z² + 12), here in double in the kernel's order.
    const FractalRecord record = defaultFractalRecord(HermiteH4, 0);
    const std::vector<uint16_t> device = onDevice(record, true);
    const double xMin = static_cast<double>(record.minX), xSpan = static_cast<double>(record.maxX) - xMin;
    const double yMin = static_cast<double>(record.minY), ySpan = static_cast<double>(record.maxY) - yMin;
    size_t differing = 0;
    for (size_t i = 0; i < pixels; ++i) {
        const std::complex<double> p(xMin + static_cast<double>(i % side) / side * xSpan,
                                     yMin + static_cast<double>(i / side) / side * ySpan);
        std::complex<double> z = p;
        int32_t k = 0;
        for (; k < record.maxIterations; ++k) {
            z = p + ((16.0 * (z * z * z * z) + -48.0 * (z * z)) + 12.0);
            if (std::norm(z) > static_cast<double>(record.maxSizeSquared))
                break;
        }
        differing += device[i] != (k == record.maxIterations ? 0 : k);
    }
    EXPECT_EQ(differing, 0u);
    EXPECT_GT(std::set<uint16_t>(device.begin(), device.end()).size(), 2u);
}

TEST_F(KernelTest, JuliaCountsAreKeptAtTheLargestIterationLimit)
{
    // z' = z² from pixel (x, y) at (1.001 + x / 100, y / 100): every pixel escapes, the first
    // one last, at step 9 (1.001^2048 > 4 > 1.001^1024).
    FractalRecord record = defaultFractalRecord(Julia, 0);
    record.Cx = record.Cy = 0.0L;
    record.minX = 1.001L;
    record.maxX = record.minX + side / 100.0L;
    record.minY = 0.0L;
    record.maxY = side / 100.0L;
    record.maxIterations = 1000;
    const std::vector<uint16_t> ordinary = onDevice(record, false);
    EXPECT_EQ(ordinary[0], 9);
    EXPECT_EQ(*std::max_element(ordinary.begin(), ordinary.end()), 9);
    record.maxIterations = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(onDevice(record, false), ordinary);

    // A pixel that never escapes ends at the largest limit too: z = 0 stays 0, and every other
    // pixel starts at |z| >= 2. (Double precision: its loop counted past the limit for ever.)
    record.minX = record.minY = 0.0L;
    record.maxX = record.maxY = 2.0L * side;
    EXPECT_EQ(onDevice(record, true)[0], 0);
}

TEST_F(KernelTest, NothingToIterateStoresZeroAndABadTextureStoresNothing)
{
    const FractalRecord mandelbrot = defaultFractalRecord(Mandelbrot, 0);
    std::vector<FractalRecord> empty(4, mandelbrot);
    empty[0].maxIterations = 0, empty[1].maxIterations = -3;
    empty[2].fractalType = -1, empty[3].fractalType = fractalTypeCount;
    for (const FractalRecord& record : empty) {
        for (bool doublePrecision : {false, true}) {
            const std::vector<uint16_t> image = onDevice(record, doublePrecision);
            EXPECT_EQ(std::count(image.begin(), image.end(), 0), static_cast<ptrdiff_t>(pixels))
                << "type " << record.fractalType << ", maxIterations " << record.maxIterations;
        }
    }

    testing::internal::CaptureStdout();
    for (int32_t index : {2, -1}) {
        const std::vector<uint16_t> image = onDevice(mandelbrot, false, index);
        EXPECT_EQ(std::count(image.begin(), image.end(), 0xBEEF), static_cast<ptrdiff_t>(pixels)) << index;
    }
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error texture Id goes beyond bounds of texure buffer. Id is 2, num textures is : 2\n"
              "Error texture Id goes beyond bounds of texure buffer. Id is 4294967295, num textures is : 2\n");
}

} // namespace
