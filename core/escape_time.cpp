#include "core/escape_time.h"
#include "platform/console.h"


void reportUnknownFractal()
{
    printLine("ERROR - Unknown fractal");
}

void cpuTileExtended(int32_t x0, int32_t y0, int32_t x1, int32_t y1, long double width,
                     long double height, long double xMin, long double xMax, long double yMin,
                     long double yMax, long double cRe, long double cIm, long double escapeBound,
                     int32_t maxIterations, uint16_t* buffer, int32_t fractalType)
{
    cpuTile<long double>(x0, y0, x1, y1, width, height, xMin, xMax, yMin, yMax, cRe, cIm,
                         escapeBound, maxIterations, buffer, fractalType);
}
