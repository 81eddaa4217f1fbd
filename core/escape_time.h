// The escape-time formulas of the fourteen fractal types and the scalar tile kernel.
// Every function here may run on any thread; the x87 precision field of the calling thread
// must already be set for the working type (the CPU workers set it per job).
#pragma once

#include "core/fractal_record.h"

#include <atomic>
#include <cmath>
#include <cstdint>
#include <type_traits>

// NOTE: float and double arithmetic must stay on SSE, where each operation rounds once to its
// type; only long double runs on the x87 unit.
static_assert(FLT_EVAL_METHOD == 0, "float and double must be evaluated in their own type");

// sin and cos of one argument from the x87 fsincos instruction, at full x87 width. Arguments
// of magnitude 2^63 or more, which fsincos refuses, are first reduced modulo 2*pi with fprem1;
// 2*pi is pi doubled under the calling thread's precision field.
inline void x87SinCos(long double argument, long double& sine, long double& cosine)
{
    long double s, c;
    // fsincos sets C2 (0x400 in the status word) and leaves st(0) alone when it refuses.
    asm("fsincos\n\t"
        "fnstsw %%ax\n\t"
        "testw $0x400, %%ax\n\t"
        "jz 2f\n\t"
        "fldpi\n\t"
        "fadd %%st(0), %%st\n\t"
        "fxch %%st(1)\n"
        "1:\n\t"
        "fprem1\n\t"
        "fnstsw %%ax\n\t"
        "testw $0x400, %%ax\n\t"
        "jnz 1b\n\t"
        "fstp %%st(1)\n\t"
        "fsincos\n"
        "2:"
        : "=t"(c), "=u"(s)
        : "0"(argument)
        : "ax", "cc");
    sine = s;
    cosine = c;
}

// Chooses between two values; vector types provide their own overload of the same name.
template <typename T>
inline T select(bool condition, T whenTrue, T whenFalse)
{
    return condition ? whenTrue : whenFalse;
}

// The starting point of a type: z0 = 0 for Mandelbrot and the four trigonometric types, p else.
constexpr bool startsAtZero(int32_t type)
{
    return type == Mandelbrot || (type >= Sine && type <= HyperbolicCosine);
}

// True for the types whose step needs only + - * and comparisons, so a vector of lanes can
// run it with the same roundings as one value.
constexpr bool isPolynomialStep(int32_t type)
{
    return type == Mandelbrot || type == Julia || (type >= FirstBarnsley && type < fractalTypeCount);
}

// Complex product (a, b)·(c, d) = (a·c − b·d, a·d + b·c).
template <typename V>
inline void complexMultiply(const V& a, const V& b, const V& c, const V& d, V& re, V& im)
{
    re = a * c - b * d;
    im = a * d + b * c;
}

// A real coefficient k as the complex (k, 0) times (a, b): (k·a − 0·b, k·b + 0·a).
template <typename V>
inline void scale(const V& k, const V& a, const V& b, V& re, V& im)
{
    const V zero(0);
    re = k * a - zero * b;
    im = k * b + zero * a;
}

// sinh and cosh from the C library's double functions, rounded to the working type; long
// double arguments are rounded to double first.
template <typename T>
inline T librarySinh(T v)
{
    return static_cast<T>(std::sinh(static_cast<double>(v)));
}

template <typename T>
inline T libraryCosh(T v)
{
    return static_cast<T>(std::cosh(static_cast<double>(v)));
}

// sin and cos of a working-type argument, each rounded to the working type once.
template <typename T>
inline void sinCos(T v, T& sine, T& cosine)
{
    long double s, c;
    x87SinCos(v, s, c);
    sine = static_cast<T>(s);
    cosine = static_cast<T>(c);
}

// One step z -> z' of a type, in the working type V: a real type, or a vector of lanes for
// the polynomial types. xx and yy hold x·x and y·y of the current z.
// NOTE: the order of every operation is fixed; reordering, fusing or dropping a zero product
// changes roundings and so the escape counts.
template <int32_t Type, typename V>
inline void fractalStep(V& x, V& y, const V& xx, const V& yy, const V& pRe, const V& pIm,
                        const V& cRe, const V& cIm)
{
    if constexpr (Type == Mandelbrot || Type == Julia) {
        const V xy = x * y;
        if constexpr (Type == Mandelbrot) {
            x = (xx - yy) + pRe;
            y = (xy + xy) + pIm;
        } else {
            x = (xx - yy) + cRe;
            y = (xy + xy) + cIm;
        }
    } else if constexpr (Type == Sine || Type == Cosine) {
        V sx, cx;
        sinCos(x, sx, cx);
        const V shy = librarySinh(y);
        const V chy = libraryCosh(y);
        if constexpr (Type == Sine) {
            x = sx * chy + pRe;
            y = cx * shy + pIm;
        } else {
            x = cx * chy + pRe;
            y = -sx * shy + pIm;
        }
    } else if constexpr (Type == HyperbolicSine || Type == HyperbolicCosine) {
        V sy, cy;
        sinCos(y, sy, cy);
        const V shx = librarySinh(x);
        const V chx = libraryCosh(x);
        if constexpr (Type == HyperbolicSine) {
            x = shx * cy + pRe;
            y = chx * sy + pIm;
        } else {
            x = chx * cy + pRe;
            y = shx * sy + pIm;
        }
    } else if constexpr (Type == FirstBarnsley || Type == SecondBarnsley) {
        const V wRe = x * cRe - y * cIm;
        const V wIm = x * cIm + y * cRe;
        const auto subtract = Type == FirstBarnsley ? x >= V(0) : wIm >= V(0);
        x = select(subtract, wRe - cRe, wRe + cRe);
        y = select(subtract, wIm - cIm, wIm + cIm);
    } else if constexpr (Type == ThirdBarnsley) {
        const V xy = x * y;
        x = x * cRe + ((xx - yy) - V(1));
        y = xy + xy;
    } else if constexpr (Type == BarnsleySierpinski) {
        const auto upper = y > V(0.5);
        const auto right = x > V(0.5);
        const V x2 = x + x;
        const V y2 = y + y;
        x = select(upper, x2, select(right, x2 - V(1), x2));
        y = select(upper, y2 - V(1), y2);
    } else if constexpr (Type == Dragon) {
        const V wRe = x * cRe - y * cIm;
        const V wIm = x * cIm + y * cRe;
        const V uRe = V(1) - x;
        const V uIm = V(0) - y;
        x = uRe * wRe - uIm * wIm;
        y = uRe * wIm + uIm * wRe;
    } else if constexpr (Type >= ChebyshevT5 && Type <= LegendreP3) {
        const V xy = x * y;
        const V z2Re = xx - yy;
        const V z2Im = xy + xy;
        V z3Re, z3Im;
        complexMultiply(z2Re, z2Im, x, y, z3Re, z3Im);
        V sRe, sIm, tRe, tIm;
        if constexpr (Type == ChebyshevT5) {
            // 16·z⁵ − 20·z³ + 5·z + p
            V z4Re, z4Im, z5Re, z5Im;
            complexMultiply(z3Re, z3Im, x, y, z4Re, z4Im);
            complexMultiply(z4Re, z4Im, x, y, z5Re, z5Im);
            scale(V(16), z5Re, z5Im, sRe, sIm);
            scale(V(20), z3Re, z3Im, tRe, tIm);
            sRe = sRe - tRe;
            sIm = sIm - tIm;
            scale(V(5), x, y, tRe, tIm);
            x = (sRe + tRe) + pRe;
            y = (sIm + tIm) + pIm;
        } else if constexpr (Type == HermiteH4) {
            // 16·z⁴ − 48·z² + 12
            V z4Re, z4Im;
            complexMultiply(z3Re, z3Im, x, y, z4Re, z4Im);
            scale(V(16), z4Re, z4Im, sRe, sIm);
            scale(V(48), z2Re, z2Im, tRe, tIm);
            x = (sRe - tRe) + V(12);
            y = (sIm - tIm) + V(0);
        } else {
            // 20·z³ − 30·z² + 12·z − 1
            scale(V(20), z3Re, z3Im, sRe, sIm);
            scale(V(30), z2Re, z2Im, tRe, tIm);
            sRe = sRe - tRe;
            sIm = sIm - tIm;
            scale(V(12), x, y, tRe, tIm);
            x = (sRe + tRe) + V(-1);
            y = (sIm + tIm) + V(0);
        }
    }
}

// Steps of the escape loops between two looks at their stop flag: milliseconds at most in any
// precision and type, and nothing against the cost of the steps themselves.
constexpr int32_t stopCheckSteps = 1 << 14;

// What escapeCount returns for a pixel left unfinished because its stop flag was set.
constexpr int32_t stoppedCount = -1;

// True once the stop flag, if there is one, is set.
inline bool stopRequested(const std::atomic<bool>* stop)
{
    return stop != nullptr && stop->load(std::memory_order_relaxed);
}

// True for a long double that x87 arithmetic treats as not a number: a NaN, or an encoding it
// does not support (pseudo-infinity, unnormal), which acts as one. Read from the bits, since x87
// arithmetic and comparisons on such values take a slow path hundreds of times longer than a
// step; float and double run at full speed on them and need no such test.
bool isSlowNotANumber(long double value);

// True for a long double infinity, read from the bits.
bool isInfinite(long double value);

// The escape count of one point: the first step k whose new z has escapeBound < x² + y², if
// k < maxIterations, else 0 (also when maxIterations <= 0). Once stop is set the pixel is left
// unfinished and stoppedCount returned.
// NOTE: a pixel whose x² + y² is not a number keeps a not-a-number part at every later step
// (each type's step carries a NaN in x or y into x' or y', and no step turns it back) and so
// can never escape: its count is 0 at once. The test is the negated "x² + y² <= escapeBound",
// which holds exactly when escapeBound < x² + y² does for ordered values and also takes the
// unordered ones, so the loop keeps one comparison; x² + y² is unordered exactly when x², y² or
// the bound is not a number (squares are never -inf).
template <int32_t Type, typename T>
inline int32_t escapeCount(T pRe, T pIm, T cRe, T cIm, T escapeBound, int32_t maxIterations,
                           const std::atomic<bool>* stop = nullptr)
{
    T x = startsAtZero(Type) ? T(0) : pRe;
    T y = startsAtZero(Type) ? T(0) : pIm;
    T xx = x * x;
    T yy = y * y;
    int32_t k = 0;
    for (;;) {
        const int32_t end = maxIterations - k > stopCheckSteps ? k + stopCheckSteps : maxIterations;
        for (; k < end; ++k) {
            fractalStep<Type>(x, y, xx, yy, pRe, pIm, cRe, cIm);
            xx = x * x;
            yy = y * y;
            if (!(xx + yy <= escapeBound)) [[unlikely]]
                return xx == xx && yy == yy && escapeBound == escapeBound ? k : 0;
        }
        if (k >= maxIterations)
            return 0;
        if (stopRequested(stop))
            return stoppedCount;
    }
}

// Prints one "ERROR - Unknown fractal" line.
void reportUnknownFractal();

// Calls f with std::integral_constant<int32_t, type> for a known type; false for another.
template <typename F>
inline bool dispatchFractalType(int32_t type, F&& f)
{
    switch (type) {
    case Mandelbrot: f(std::integral_constant<int32_t, Mandelbrot>{}); return true;
    case Julia: f(std::integral_constant<int32_t, Julia>{}); return true;
    case Sine: f(std::integral_constant<int32_t, Sine>{}); return true;
    case Cosine: f(std::integral_constant<int32_t, Cosine>{}); return true;
    case HyperbolicSine: f(std::integral_constant<int32_t, HyperbolicSine>{}); return true;
    case HyperbolicCosine: f(std::integral_constant<int32_t, HyperbolicCosine>{}); return true;
    case FirstBarnsley: f(std::integral_constant<int32_t, FirstBarnsley>{}); return true;
    case SecondBarnsley: f(std::integral_constant<int32_t, SecondBarnsley>{}); return true;
    case ThirdBarnsley: f(std::integral_constant<int32_t, ThirdBarnsley>{}); return true;
    case BarnsleySierpinski: f(std::integral_constant<int32_t, BarnsleySierpinski>{}); return true;
    case Dragon: f(std::integral_constant<int32_t, Dragon>{}); return true;
    case ChebyshevT5: f(std::integral_constant<int32_t, ChebyshevT5>{}); return true;
    case HermiteH4: f(std::integral_constant<int32_t, HermiteH4>{}); return true;
    case LegendreP3: f(std::integral_constant<int32_t, LegendreP3>{}); return true;
    default: return false;
    }
}

// Walks the tile columns outer and rows inner; the pixel index is formed in IndexT and
// truncated. pixel(pRe, pIm) gives each pixel's count; a negative count ends the walk there.
template <typename T, typename IndexT, typename Pixel>
inline void walkTile(int32_t x0, int32_t y0, int32_t x1, int32_t y1, T width, T height, T xMin,
                     T xMax, T yMin, T yMax, uint16_t* buffer, Pixel&& pixel)
{
    // The rows' pIm are the same in every column: computed once per band of rows.
    constexpr int32_t bandRows = 64;
    T pImOfRow[bandRows];
    const IndexT rowStep = static_cast<IndexT>(width);
    for (int32_t band = y0; band < y1; band += bandRows) {
        const int32_t bandEnd = y1 - band > bandRows ? band + bandRows : y1;
        for (int32_t y = band; y < bandEnd; ++y)
            pImOfRow[y - band] = (static_cast<T>(y) / height) * (yMax - yMin) + yMin;
        for (int32_t x = x0; x < x1; ++x) {
            const T pRe = (static_cast<T>(x) / width) * (xMax - xMin) + xMin;
            IndexT index = static_cast<IndexT>(x) + static_cast<IndexT>(band) * rowStep;
            for (int32_t y = band; y < bandEnd; ++y, index = index + rowStep) {
                const int32_t count = pixel(pRe, pImOfRow[y - band]);
                if (count < 0)
                    return;
                buffer[static_cast<int32_t>(index)] = static_cast<uint16_t>(count);
            }
        }
    }
}

// Stores 0 at every pixel of a tile, at the indices walkTile forms.
template <typename T, typename IndexT>
inline void storeZeros(int32_t x0, int32_t y0, int32_t x1, int32_t y1, T width, uint16_t* buffer)
{
    const IndexT rowStep = static_cast<IndexT>(width);
    for (int32_t x = x0; x < x1; ++x) {
        IndexT index = static_cast<IndexT>(x) + static_cast<IndexT>(y0) * rowStep;
        for (int32_t y = y0; y < y1; ++y, index = index + rowStep)
            buffer[static_cast<int32_t>(index)] = 0;
    }
}

// True when every count of a tile is known to be 0 before any step, from values that x87
// arithmetic would otherwise carry slowly through every step (see isSlowNotANumber):
// - an escape bound that is not a number or infinite: +inf and NaN are never exceeded, -inf is
//   exceeded at step 0, and both 0 and an escape at step 0 store 0;
// - a part of the constant that the type uses and that is not a number: every first step has a
//   part that is not a number (see escapeCount);
// - points that are not numbers: every pRe is one when xMin or xMax is, and when xMin is
//   infinite (0 × inf in the first column, inf - inf in the others); pIm likewise.
template <int32_t Type>
inline bool tileCountsAreZero(long double xMin, long double xMax, long double yMin,
                              long double yMax, long double cRe, long double cIm,
                              long double escapeBound)
{
    constexpr bool usesCRe = Type == Julia || (Type >= FirstBarnsley && Type <= ThirdBarnsley) ||
                             Type == Dragon;
    constexpr bool usesCIm = usesCRe && Type != ThirdBarnsley;
    return isSlowNotANumber(escapeBound) || isInfinite(escapeBound) ||
           (usesCRe && isSlowNotANumber(cRe)) || (usesCIm && isSlowNotANumber(cIm)) ||
           isSlowNotANumber(xMin) || isSlowNotANumber(xMax) || isInfinite(xMin) ||
           isSlowNotANumber(yMin) || isSlowNotANumber(yMax) || isInfinite(yMin);
}

// The tile kernel with the index formed in IndexT.
template <typename T, typename IndexT>
void cpuTileIndexedIn(int32_t x0, int32_t y0, int32_t x1, int32_t y1, T width, T height, T xMin,
                      T xMax, T yMin, T yMax, T cRe, T cIm, T escapeBound,
                      int32_t maxIterations, uint16_t* buffer, int32_t fractalType,
                      const std::atomic<bool>* stop)
{
    const bool known = dispatchFractalType(fractalType, [&](auto type) {
        constexpr int32_t Type = decltype(type)::value;
        if constexpr (std::is_same_v<T, long double>) {
            if (tileCountsAreZero<Type>(xMin, xMax, yMin, yMax, cRe, cIm, escapeBound)) {
                storeZeros<T, IndexT>(x0, y0, x1, y1, width, buffer);
                return;
            }
        }
        walkTile<T, IndexT>(x0, y0, x1, y1, width, height, xMin, xMax, yMin, yMax, buffer,
                            [&](T pRe, T pIm) {
                                return escapeCount<Type>(pRe, pIm, cRe, cIm, escapeBound,
                                                         maxIterations, stop);
                            });
    });
    if (!known) {
        walkTile<T, IndexT>(x0, y0, x1, y1, width, height, xMin, xMax, yMin, yMax, buffer,
                            [](T, T) {
                                reportUnknownFractal();
                                return 0;
                            });
    }
}

// The scalar tile kernel: writes the escape count of every pixel x0 <= x < x1, y0 <= y < y1
// at x + y × width of buffer, and nothing else. An unknown type prints one line per pixel and
// stores 0. Once stop is set the kernel returns within stopCheckSteps steps, leaving the rest
// of the tile unwritten.
template <typename T>
void cpuTile(int32_t x0, int32_t y0, int32_t x1, int32_t y1, T width, T height, T xMin, T xMax,
             T yMin, T yMax, T cRe, T cIm, T escapeBound, int32_t maxIterations, uint16_t* buffer,
             int32_t fractalType, const std::atomic<bool>* stop = nullptr)
{
    // NOTE: a float index is exact only up to 2^24 pixels; past that it would land on other
    // pixels, the last one past the end of the image, so larger images form it in double.
    if constexpr (std::is_same_v<T, float>) {
        if (static_cast<double>(width) * static_cast<double>(height) > 16777216.0) {
            cpuTileIndexedIn<T, double>(x0, y0, x1, y1, width, height, xMin, xMax, yMin, yMax,
                                        cRe, cIm, escapeBound, maxIterations, buffer, fractalType,
                                        stop);
            return;
        }
    }
    cpuTileIndexedIn<T, T>(x0, y0, x1, y1, width, height, xMin, xMax, yMin, yMax, cRe, cIm,
                           escapeBound, maxIterations, buffer, fractalType, stop);
}

// The extended-precision tile kernel, called by the workers for extended-precision jobs.
void cpuTileExtended(int32_t x0, int32_t y0, int32_t x1, int32_t y1, long double width,
                     long double height, long double xMin, long double xMax, long double yMin,
                     long double yMax, long double cRe, long double cIm, long double escapeBound,
                     int32_t maxIterations, uint16_t* buffer, int32_t fractalType,
                     const std::atomic<bool>* stop = nullptr);
