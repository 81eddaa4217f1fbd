#include "core/escape_time.h"
#include "platform/console.h"

#include <cstring>

void reportUnknownFractal()
{
    printLine("ERROR - Unknown fractal");
}

namespace {

constexpr uint64_t integerBit = uint64_t{1} << 63;

// The significand, with its explicit integer bit, and the biased exponent of a long double.
void splitExtended(long double value, uint64_t& significand, uint16_t& exponent)
{
    uint16_t signAndExponent;
    std::memcpy(&significand, &value, sizeof significand);
    std::memcpy(&signAndExponent, reinterpret_cast<const unsigned char*>(&value) + 8,
                sizeof signAndExponent);
    exponent = signAndExponent & 0x7FFF;
}

} // namespace

bool isSlowNotANumber(long double value)
{
    uint64_t significand;
    uint16_t exponent;
    splitExtended(value, significand, exponent);
    if (exponent == 0x7FFF)
        return significand != integerBit; // all but the true infinities
    return exponent != 0 && (significand & integerBit) == 0; // unnormals
}

bool isInfinite(long double value)
{
    uint64_t significand;
    uint16_t exponent;
    splitExtended(value, significand, exponent);
    return exponent == 0x7FFF && significand == integerBit;
}

void cpuTileExtended(int32_t x0, int32_t y0, int32_t x1, int32_t y1, long double width,
                     long double height, long double xMin, long double xMax, long double yMin,
                     long double yMax, long double cRe, long double cIm, long double escapeBound,
                     int32_t maxIterations, uint16_t* buffer, int32_t fractalType,
                     const std::atomic<bool>* stop)
{
    cpuTile<long double>(x0, y0, x1, y1, width, height, xMin, xMax, yMin, yMax, cRe, cIm,
                         escapeBound, maxIterations, buffer, fractalType, stop);
}
