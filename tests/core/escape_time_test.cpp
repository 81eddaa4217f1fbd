#include "core/escape_time.h"
#include "core/fractal_list.h"
#include "platform/x87.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <set>
#include <string>
#include <vector>

namespace {

// A deliberately plain evaluation of the formulas, one pixel at a time.
template <typename T>
struct Z {
    T re, im;
};

template <typename T>
Z<T> mul(Z<T> a, Z<T> b)
{
    return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
}

template <typename T>
Z<T> add(Z<T> a, Z<T> b)
{
    return {a.re + b.re, a.im + b.im};
}

template <typename T>
Z<T> sub(Z<T> a, Z<T> b)
{
    return {a.re - b.re, a.im - b.im};
}

template <typename T>
Z<T> real(T k)
{
    return {k, T(0)};
}

template <typename T>
T sinOf(T v)
{
    return static_cast<T>(sinl(v));
}

template <typename T>
T cosOf(T v)
{
    return static_cast<T>(cosl(v));
}

template <typename T>
T sinhOf(T v)
{
    return static_cast<T>(sinh(static_cast<double>(v)));
}

template <typename T>
T coshOf(T v)
{
    return static_cast<T>(cosh(static_cast<double>(v)));
}

template <typename T>
int referenceCount(int type, Z<T> p, Z<T> c, T bound, int maxIterations)
{
    Z<T> z = p;
    if (type == 0 || (type >= 2 && type <= 5))
        z = {T(0), T(0)};
    for (int k = 0; k < maxIterations; ++k) {
        const T x = z.re;
        const T y = z.im;
        switch (type) {
        case 0: z = {(x * x - y * y) + p.re, (x * y + x * y) + p.im}; break;
        case 1: z = {(x * x - y * y) + c.re, (x * y + x * y) + c.im}; break;
        case 2: z = {sinOf(x) * coshOf(y) + p.re, cosOf(x) * sinhOf(y) + p.im}; break;
        case 3: z = {cosOf(x) * coshOf(y) + p.re, -sinOf(x) * sinhOf(y) + p.im}; break;
        case 4: z = {sinhOf(x) * cosOf(y) + p.re, coshOf(x) * sinOf(y) + p.im}; break;
        case 5: z = {coshOf(x) * cosOf(y) + p.re, sinhOf(x) * sinOf(y) + p.im}; break;
        case 6: z = x >= 0 ? sub(mul(z, c), c) : add(mul(z, c), c); break;
        case 7: z = mul(z, c).im >= 0 ? sub(mul(z, c), c) : add(mul(z, c), c); break;
        case 8: z = {x * c.re + ((x * x - y * y) - 1), x * y + x * y}; break;
        case 9:
            if (y > T(0.5))
                z = {x + x, (y + y) - 1};
            else if (x > T(0.5))
                z = {(x + x) - 1, y + y};
            else
                z = {x + x, y + y};
            break;
        case 10: z = mul(Z<T>{1 - x, 0 - y}, mul(c, z)); break;
        case 11: {
            const Z<T> z2 = mul(z, z), z3 = mul(z2, z), z5 = mul(mul(z3, z), z);
            z = add(add(sub(mul(real(T(16)), z5), mul(real(T(20)), z3)), mul(real(T(5)), z)), p);
            break;
        }
        case 12: {
            const Z<T> z2 = mul(z, z), z4 = mul(mul(z2, z), z);
            z = add(sub(mul(real(T(16)), z4), mul(real(T(48)), z2)), real(T(12)));
            break;
        }
        case 13: {
            const Z<T> z2 = mul(z, z), z3 = mul(z2, z);
            z = add(add(sub(mul(real(T(20)), z3), mul(real(T(30)), z2)), mul(real(T(12)), z)),
                    real(T(-1)));
            break;
        }
        }
        if (bound < z.re * z.re + z.im * z.im)
            return k;
    }
    return 0;
}

template <typename T>
std::vector<uint16_t> referenceImage(const FractalRecord& r, int w, int h)
{
    std::vector<uint16_t> image(w * h);
    const Z<T> c{static_cast<T>(r.Cx), static_cast<T>(r.Cy)};
    const T minX = static_cast<T>(r.minX), maxX = static_cast<T>(r.maxX);
    const T minY = static_cast<T>(r.minY), maxY = static_cast<T>(r.maxY);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const Z<T> p{(T(x) / T(w)) * (maxX - minX) + minX, (T(y) / T(h)) * (maxY - minY) + minY};
            image[x + y * w] = static_cast<uint16_t>(referenceCount<T>(
                r.fractalType, p, c, static_cast<T>(r.maxSizeSquared), r.maxIterations));
        }
    }
    return image;
}

template <typename T>
std::vector<uint16_t> kernelImage(const FractalRecord& r, int w, int h, uint16_t fill = 0xBEEF,
                                  const std::atomic<bool>* stop = nullptr)
{
    std::vector<uint16_t> image(w * h, fill);
    cpuTile<T>(0, 0, w, h, T(w), T(h), static_cast<T>(r.minX), static_cast<T>(r.maxX),
               static_cast<T>(r.minY), static_cast<T>(r.maxY), static_cast<T>(r.Cx),
               static_cast<T>(r.Cy), static_cast<T>(r.maxSizeSquared), r.maxIterations,
               image.data(), r.fractalType, stop);
    return image;
}

// The kernel's image of a record in all three precisions equals the plain evaluation's.
void expectPlainImages(const FractalRecord& r, int w, int h)
{
    EXPECT_EQ(kernelImage<float>(r, w, h), referenceImage<float>(r, w, h));
    EXPECT_EQ(kernelImage<double>(r, w, h), referenceImage<double>(r, w, h));
    EXPECT_EQ(kernelImage<long double>(r, w, h), referenceImage<long double>(r, w, h));
}

// An unnormal: exponent set, integer bit clear. x87 arithmetic takes it as not a number.
long double unnormal()
{
    const unsigned char bytes[16] = {0, 0, 0, 0, 0, 0, 0, 0x40, 0xFF, 0x3F};
    long double value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

// One pixel at p = (re, im): a 1 × 1 tile whose view starts at p.
template <typename T>
int pixelAt(int type, T re, T im, T bound, int maxIterations, T cRe = 0, T cIm = 0)
{
    uint16_t value = 0xBEEF;
    cpuTile<T>(0, 0, 1, 1, T(256), T(256), re, re + 1, im, im + 1, cRe, cIm, bound,
               maxIterations, &value, type);
    return value;
}

class EscapeTimeTest : public ::testing::Test {
protected:
    void SetUp() override { setX87Precision(X87Precision::Extended); }
};

TEST_F(EscapeTimeTest, EveryTypeMatchesThePlainFormulasInAllPrecisions)
{
    for (int type = 0; type < fractalTypeCount; ++type) {
        SCOPED_TRACE("type " + std::to_string(type));
        const FractalRecord r = defaultFractalRecord(type, 0);
        const auto f = kernelImage<float>(r, 40, 30);
        const auto d = kernelImage<double>(r, 40, 30);
        const auto e = kernelImage<long double>(r, 40, 30);
        EXPECT_EQ(f, referenceImage<float>(r, 40, 30));
        EXPECT_EQ(d, referenceImage<double>(r, 40, 30));
        EXPECT_EQ(e, referenceImage<long double>(r, 40, 30));
        // The default views are not blank.
        EXPECT_GE(std::set<uint16_t>(e.begin(), e.end()).size(), 2u);
    }
    for (int preset : {100, 101, 102, 103}) {
        const FractalRecord r = defaultFractalRecord(1, preset);
        EXPECT_EQ(kernelImage<float>(r, 32, 32), referenceImage<float>(r, 32, 32));
        EXPECT_EQ(kernelImage<long double>(r, 32, 32), referenceImage<long double>(r, 32, 32));
    }
}

TEST_F(EscapeTimeTest, HandWorkedCounts)
{
    // Mandelbrot: z1 = 1, z2 = 2, z3 = 5 escapes at step 2.
    EXPECT_EQ(pixelAt<float>(Mandelbrot, 1, 0, 4, 768), 2);
    EXPECT_EQ(pixelAt<double>(Mandelbrot, 1, 0, 4, 768), 2);
    EXPECT_EQ(pixelAt<long double>(Mandelbrot, 1, 0, 4, 768), 2);
    EXPECT_EQ(pixelAt<double>(Mandelbrot, 0, 0, 4, 768), 0);
    EXPECT_EQ(pixelAt<double>(Mandelbrot, 3, 0, 4, 768), 0); // escapes at step 0
    // |z1|² = 4 equals the bound and does not escape; z2 = 6 escapes at step 1.
    EXPECT_EQ(pixelAt<float>(Mandelbrot, 2, 0, 4, 768), 1);
    EXPECT_EQ(pixelAt<long double>(Mandelbrot, 2, 0, 4, 768), 1);
    // z = -2 stays at 2 with |z|² = 4 forever.
    EXPECT_EQ(pixelAt<double>(Mandelbrot, -2, 0, 4, 768), 0);
    // Julia c = 0 from 1.2: 1.44, 2.0736 (|z|² 4.29...) escapes at step 1.
    EXPECT_EQ(pixelAt<double>(Julia, 1.2, 0, 4, 768), 1);
    // Barnsley-Sierpinski at (0.5, 0.5) doubles to (1, 1), then (2, 1) escapes at step 1;
    // taking a branch at 0.5 would pin z at (1, 0) for ever.
    EXPECT_EQ(pixelAt<float>(BarnsleySierpinski, 0.5, 0.5, 4, 128), 1);
    EXPECT_EQ(pixelAt<double>(BarnsleySierpinski, 0.5, 0.5, 4, 128), 1);
    // Sine at p = 0 stays at 0.
    EXPECT_EQ(pixelAt<double>(Sine, 0, 0, 128, 256), 0);
}

TEST_F(EscapeTimeTest, FirstBarnsleyTakesTheSubtractingBranchAtMinusZero)
{
    // A view from -0 towards -1 gives the pixel pRe = 0·(-1) + (-0) = -0.
    const auto at = [](float re, float im) {
        uint16_t value = 0;
        cpuTile<float>(0, 0, 1, 1, 256, 256, re, -1, im, im + 1, 0.6f, 1.1f, 4, 128, &value,
                       FirstBarnsley);
        return value;
    };
    EXPECT_EQ(at(-0.0f, 0.5f), 29);  // w − c, as at +0
    EXPECT_EQ(at(-1e-30f, 0.5f), 1); // w + c
    EXPECT_EQ(at(0.0f, 0.5f), 29);
}

TEST_F(EscapeTimeTest, IterationLimitsWrapAndUnknownTypes)
{
    FractalRecord r = defaultFractalRecord(0, 0);
    for (int limit : {0, 1, -5}) {
        r.maxIterations = limit;
        EXPECT_EQ(kernelImage<float>(r, 16, 16), std::vector<uint16_t>(256, 0)) << limit;
        EXPECT_EQ(kernelImage<long double>(r, 16, 16), std::vector<uint16_t>(256, 0)) << limit;
    }
    // Counts keep their low 16 bits: just right of the cusp at 0.25 Mandelbrot points escape
    // after about pi / sqrt(0.25 - p) steps, here between 60,000 and 70,000.
    r.maxIterations = 70000;
    r.minX = 0.25L + 1.9e-9L;
    r.maxX = 0.25L + 2.9e-9L;
    r.minY = r.maxY = 0;
    const auto wrapped = kernelImage<double>(r, 8, 1);
    int beyond = 0;
    for (int x = 0; x < 8; ++x) {
        const double pRe = (double(x) / 8) * (double(r.maxX) - double(r.minX)) + double(r.minX);
        const int count = referenceCount<double>(0, {pRe, 0}, {0, 0}, 4, 70000);
        beyond += count > 65535;
        EXPECT_EQ(wrapped[x], count & 0xFFFF) << x;
    }
    EXPECT_GT(beyond, 0);

    for (int type : {-1, 14}) {
        r = defaultFractalRecord(0, 0);
        r.fractalType = type;
        testing::internal::CaptureStdout();
        const auto image = kernelImage<double>(r, 4, 3);
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(image, std::vector<uint16_t>(12, 0));
        std::string expected;
        for (int i = 0; i < 12; ++i)
            expected += "ERROR - Unknown fractal\n";
        EXPECT_EQ(out, expected);
    }
}

TEST_F(EscapeTimeTest, NonFiniteViewsBoundsAndConstantsKeepThePlainCounts)
{
    // The plain evaluation steps on through every not-a-number; the kernel may not, but must
    // store the same values.
    const long double nan = std::numeric_limits<long double>::quiet_NaN();
    const long double inf = std::numeric_limits<long double>::infinity();
    const std::vector<std::pair<std::string, std::function<void(FractalRecord&)>>> changes{
        {"view NaN", [&](FractalRecord& r) { r.minX = r.maxX = r.minY = r.maxY = nan; }},
        {"maxX NaN", [&](FractalRecord& r) { r.maxX = nan; }},
        {"minX -inf", [&](FractalRecord& r) { r.minX = -inf; }},          // every pRe NaN
        {"maxY +inf", [&](FractalRecord& r) { r.maxY = inf; }},           // row 0 NaN, then +inf
        {"minY unnormal", [&](FractalRecord& r) { r.minY = unnormal(); }},
        {"bound NaN", [&](FractalRecord& r) { r.maxSizeSquared = nan; }},
        {"bound +inf", [&](FractalRecord& r) { r.maxSizeSquared = inf; }},
        {"bound -inf", [&](FractalRecord& r) { r.maxSizeSquared = -inf; }},
        {"bound unnormal", [&](FractalRecord& r) { r.maxSizeSquared = unnormal(); }},
        {"Cx NaN", [&](FractalRecord& r) { r.Cx = nan; }},
        {"Cy NaN", [&](FractalRecord& r) { r.Cy = nan; }},
        {"Cy +inf", [&](FractalRecord& r) { r.Cy = inf; }},
    };
    for (int type = 0; type < fractalTypeCount; ++type) {
        for (const auto& [name, change] : changes) {
            SCOPED_TRACE("type " + std::to_string(type) + ", " + name);
            FractalRecord r = defaultFractalRecord(type, 0);
            r.maxIterations = 40;
            change(r);
            expectPlainImages(r, 12, 10);
        }
    }
    // Bounds near the top of the extended range: z overflows before it escapes, and inf - inf
    // turns it into not-a-number in the middle of the loop (float and double see +inf).
    for (int type : {Mandelbrot, Julia, ThirdBarnsley, ChebyshevT5, HermiteH4, LegendreP3}) {
        SCOPED_TRACE("type " + std::to_string(type) + ", bound 1e4900");
        FractalRecord r = defaultFractalRecord(type, 0);
        r.maxIterations = 60;
        r.maxSizeSquared = 1e4900L;
        expectPlainImages(r, 12, 10);
    }
}

TEST_F(EscapeTimeTest, CountsAcrossStopChecksAreUnchanged)
{
    // Right of the cusp at 0.25, Mandelbrot points escape after about pi / sqrt(p - 0.25)
    // steps: here on either side of the first look at the stop flag, and of the next ones.
    const std::atomic<bool> notStopped{false};
    for (int checks : {1, 3}) {
        const double steps = checks * stopCheckSteps;
        FractalRecord r = defaultFractalRecord(Mandelbrot, 0);
        r.maxIterations = checks * stopCheckSteps + 100;
        const double pi = 3.14159265358979;
        r.minX = 0.25L + (pi / (steps + 60)) * (pi / (steps + 60));
        r.maxX = 0.25L + (pi / (steps - 60)) * (pi / (steps - 60));
        r.minY = r.maxY = 0;
        const auto image = kernelImage<long double>(r, 256, 1, 0xBEEF, &notStopped);
        EXPECT_EQ(image, referenceImage<long double>(r, 256, 1));
        EXPECT_EQ(kernelImage<double>(r, 256, 1, 0xBEEF, &notStopped),
                  referenceImage<double>(r, 256, 1));
        const auto count = [&](int k) { return std::count(image.begin(), image.end(), k); };
        EXPECT_GT(count(checks * stopCheckSteps - 1), 0) << checks;
        EXPECT_GT(count(checks * stopCheckSteps), 0) << checks;
    }
}

TEST_F(EscapeTimeTest, TileWritesExactlyItsRectangle)
{
    constexpr int w = 32, h = 24;
    std::vector<uint16_t> image(w * h + 8, 0xBEEF);
    cpuTile<double>(3, 5, 9, 12, w, h, -2, 2, -1.5, 1.5, 0, 0, 4, 768, image.data(), Mandelbrot);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const bool inside = x >= 3 && x < 9 && y >= 5 && y < 12;
            EXPECT_EQ(image[x + y * w] != 0xBEEF, inside) << x << "," << y;
        }
    }
    // Empty ranges write nothing.
    cpuTile<float>(9, 5, 3, 12, w, h, -2, 2, -1.5, 1.5, 0, 0, 4, 768, image.data(), Mandelbrot);
    cpuTile<float>(3, 12, 9, 12, w, h, -2, 2, -1.5, 1.5, 0, 0, 4, 768, image.data(), Mandelbrot);
    EXPECT_EQ(std::count(image.begin(), image.end(), 0xBEEF), w * h + 8 - 6 * 7);
}

TEST_F(EscapeTimeTest, SinglePrecisionIndexStaysExactOnHugeImages)
{
    // 8192 × 2304 has more pixels than a float counts exactly; the last pixel's index would
    // round one past the end of the image.
    constexpr int w = 8192, h = 2304;
    std::vector<uint16_t> image(static_cast<size_t>(w) * h + 4, 0xBEEF);
    cpuTile<float>(w - 8, h - 8, w, h, w, h, -2, 2, -1.5, 1.5, 0, 0, 4, 768, image.data(),
                   Mandelbrot);
    size_t written = 0;
    for (int y = h - 8; y < h; ++y) {
        for (int x = w - 8; x < w; ++x) {
            EXPECT_NE(image[x + static_cast<size_t>(y) * w], 0xBEEF) << x << "," << y;
            written += image[x + static_cast<size_t>(y) * w] != 0xBEEF;
        }
    }
    EXPECT_EQ(written, 64u);
    EXPECT_EQ(std::count(image.begin(), image.end(), 0xBEEF), static_cast<long>(w) * h + 4 - 64);
}

TEST_F(EscapeTimeTest, PrecisionIsRealOnADeepZoom)
{
    // 64 pixels across 2e-17 on the real axis near -1.75: double resolves only a few of the
    // points, extended all of them.
    FractalRecord r = defaultFractalRecord(0, 0);
    const long double cx = -1.7497591451303665L;
    r.minX = cx - 1e-17L;
    r.maxX = cx + 1e-17L;
    r.minY = -1e-17L;
    r.maxY = 1e-17L;
    r.maxIterations = 2000;
    const auto f = kernelImage<float>(r, 64, 64);
    const auto d = kernelImage<double>(r, 64, 64);
    const auto e = kernelImage<long double>(r, 64, 64);
    EXPECT_NE(f, d);
    EXPECT_NE(d, e);
    EXPECT_NE(f, e);
    EXPECT_GT(std::set<uint16_t>(e.begin(), e.end()).size(),
              std::set<uint16_t>(d.begin(), d.end()).size() + 20);
    EXPECT_EQ(e, referenceImage<long double>(r, 64, 64));
    EXPECT_EQ(d, referenceImage<double>(r, 64, 64));

    // With a 24-bit significand the extended kernel no longer computes the extended image.
    setX87Precision(X87Precision::Single);
    EXPECT_NE(kernelImage<long double>(r, 64, 64), e);
    setX87Precision(X87Precision::Extended);
}

TEST_F(EscapeTimeTest, SineAndCosineReduceHugeArgumentsByTwoPi)
{
    long double s, c;
    for (long double a : {0.0L, 1.0L, -2.5L, 3.0L}) {
        x87SinCos(a, s, c);
        EXPECT_LE(fabsl(s - sinl(a)), 2 * LDBL_EPSILON) << a;
        EXPECT_LE(fabsl(c - cosl(a)), 2 * LDBL_EPSILON) << a;
    }
    const long double twoPi = 2 * 3.14159265358979323846264338327950288L;
    const long double twoPiSingle = static_cast<float>(twoPi);
    for (long double a : {18446744073709551616.0L, 1e30L, -3e25L, 1e4000L}) {
        setX87Precision(X87Precision::Single);
        long double s24, c24;
        x87SinCos(a, s24, c24);
        setX87Precision(X87Precision::Extended);
        x87SinCos(a, s, c);
        EXPECT_LE(fabsl(s - sinl(remainderl(a, twoPi))), 1e-15L) << a;
        EXPECT_LE(fabsl(c - cosl(remainderl(a, twoPi))), 1e-15L) << a;
        // The precision field reaches the doubled pi.
        EXPECT_LE(fabsl(s24 - sinl(remainderl(a, twoPiSingle))), 1e-15L) << a;
        EXPECT_LE(fabsl(c24 - cosl(remainderl(a, twoPiSingle))), 1e-15L) << a;
        EXPECT_NE(s24, s) << a;
    }
    // Not-a-number and infinity come back as not-a-number instead of looping.
    x87SinCos(INFINITY, s, c);
    EXPECT_TRUE(std::isnan(s) && std::isnan(c));
}

} // namespace
