// The kernel program on the PoCL device against the CPU engine, record by record.
#include "core/cpu_threads.h"
#include "core/fractal_list.h"
#include "tests/opencl/device_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
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

    static double differingFraction(const std::vector<uint16_t>& device, const FractalRecord& record,
                                    bool doublePrecision)
    {
        computeCpuFrame(*pool, record, doublePrecision ? 2 : 1, record.fractalType);
        size_t differing = 0;
        for (size_t i = 0; i < pixels; ++i)
            differing += device[i] != cpuImage[i];
        return static_cast<double>(differing) / static_cast<double>(pixels);
    }

    static inline std::vector<uint16_t> cpuImage;
    static inline std::unique_ptr<CPUThreads> pool;
    static inline std::unique_ptr<SetupThread> setup;
};

TEST_F(KernelTest, DeviceImagesMatchTheCpuEngine)
{
    // Polynomial types match exactly (contracted multiply-adds would move about 3 % of Julia's
    // pixels in single precision). The device's sin, cos, sinh and cosh round differently from
    // the host's x87 and C library: counts move near the boundary, about 0.3 % of the pixels.
    std::vector<std::pair<FractalRecord, double>> cases;
    for (int32_t type : {Mandelbrot, Julia, FirstBarnsley, SecondBarnsley, ThirdBarnsley,
                         BarnsleySierpinski, Dragon, ChebyshevT5, LegendreP3})
        cases.emplace_back(defaultFractalRecord(type, 0), 0.0);
    cases.emplace_back(defaultFractalRecord(Julia, 102), 0.0);
    for (int32_t type : {Sine, Cosine, HyperbolicSine, HyperbolicCosine})
        cases.emplace_back(defaultFractalRecord(type, 0), 0.01);
    for (const auto& [record, tolerance] : cases) {
        for (bool doublePrecision : {false, true}) {
            const std::vector<uint16_t> device = onDevice(record, doublePrecision);
            EXPECT_LE(differingFraction(device, record, doublePrecision), tolerance)
                << record.name << (doublePrecision ? " in double" : " in single");
            EXPECT_GT(std::set<uint16_t>(device.begin(), device.end()).size(), 5u) << record.name;
        }
    }
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
        const double pRe = xMin + static_cast<double>(i % side) / side * xSpan;
        const double pIm = yMin + static_cast<double>(i / side) / side * ySpan;
        double x = pRe, y = pIm;
        uint16_t count = 0;
        for (int32_t k = 0; k < record.maxIterations; ++k) {
            const double z2r = x * x - y * y, z2i = y * x + x * y;
            const double z3r = z2r * x - z2i * y, z3i = z2i * x + z2r * y;
            const double z4r = z3r * x - z3i * y, z4i = z3i * x + z3r * y;
            x = pRe + ((16.0 * z4r + -48.0 * z2r) + 12.0);
            y = pIm + ((16.0 * z4i + -48.0 * z2i) + 0.0);
            if (x * x + y * y > static_cast<double>(record.maxSizeSquared)) {
                count = static_cast<uint16_t>(k);
                break;
            }
        }
        differing += device[i] != count;
    }
    EXPECT_EQ(differing, 0u);
    EXPECT_GT(std::set<uint16_t>(device.begin(), device.end()).size(), 2u);
}

TEST_F(KernelTest, NothingToIterateStoresZeroAndABadTextureStoresNothing)
{
    const FractalRecord mandelbrot = defaultFractalRecord(Mandelbrot, 0);
    const std::vector<uint16_t> first = onDevice(mandelbrot, false);
    EXPECT_EQ(onDevice(mandelbrot, false), first) << "read back again from the same buffer";
    EXPECT_EQ(clState.clBuffers.size(), 1u);

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

    std::vector<uint16_t> image(pixels, 0xBEEF);
    uint16_t* host = image.data();
    testing::internal::CaptureStdout();
    computeCL(Mandelbrot, &host, {0u, 0u}, 0, mandelbrot, 2);
    computeCL(Mandelbrot, &host, {}, 0, mandelbrot, 0);
    computeCL(Mandelbrot, &host, {0u, 0u}, 0, mandelbrot, -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Error texture Id goes beyond bounds of texure buffer. Id is 2, num textures is : 2\n"
              "Error texture Id goes beyond bounds of texure buffer. Id is 0, num textures is : 0\n"
              "Error texture Id goes beyond bounds of texure buffer. Id is 4294967295, num textures is : 2\n");
    EXPECT_EQ(std::count(image.begin(), image.end(), 0xBEEF), static_cast<ptrdiff_t>(pixels));
}

} // namespace
