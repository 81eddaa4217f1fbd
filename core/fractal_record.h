// The fractal record: one view of one fractal family, as listed, queued, computed and stored.
#pragma once

#include <cfloat>
#include <cstdint>
#include <string>

static_assert(LDBL_MANT_DIG == 64, "long double must be the x87 80-bit extended format");
static_assert(sizeof(long double) == 16, "long double must sit in a 16-byte slot");

// Fractal type numbers, shared by the CPU kernels, the OpenCL kernel and the fractal files.
enum FractalTypeNumber : int32_t {
    Mandelbrot = 0,
    Julia = 1,
    Sine = 2,
    Cosine = 3,
    HyperbolicSine = 4,
    HyperbolicCosine = 5,
    FirstBarnsley = 6,
    SecondBarnsley = 7,
    ThirdBarnsley = 8,
    BarnsleySierpinski = 9,
    Dragon = 10,
    ChebyshevT5 = 11,
    HermiteH4 = 12,
    LegendreP3 = 13,
};
constexpr int32_t fractalTypeCount = 14;

// A plain aggregate: copies are member-wise, and the field order is the fractal files' order.
struct FractalRecord {
    long double maxX;
    long double minX;
    long double maxY;
    long double minY; // image row 0
    long double Cx;
    long double Cy;
    int32_t fractalType;
    int32_t maxIterations;
    long double maxSizeSquared; // escape bound on re^2 + im^2
    int32_t paletteType;
    std::string name;
    int32_t id; // shared by records zoomed from one another
};
