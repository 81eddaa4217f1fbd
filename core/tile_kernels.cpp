#include "core/tile_kernels.h"

#include "core/escape_time.h"

bool simdLevelSupported(SimdLevel level)
{
    __builtin_cpu_init();
    switch (level) {
    case SimdLevel::Scalar: return true;
    case SimdLevel::Avx2: return __builtin_cpu_supports("avx2");
    case SimdLevel::Avx512: return __builtin_cpu_supports("avx512f");
    }
    return false;
}

SimdLevel detectSimdLevel()
{
    if (simdLevelSupported(SimdLevel::Avx512))
        return SimdLevel::Avx512;
    if (simdLevelSupported(SimdLevel::Avx2))
        return SimdLevel::Avx2;
    return SimdLevel::Scalar;
}

bool hasVectorKernel(int32_t fractalType)
{
    return fractalType >= 0 && fractalType < fractalTypeCount && isPolynomialStep(fractalType);
}

void computeVectorTiles(SimdLevel level, const TileJob<float>* jobs, int32_t count,
                        TileSource<float> more, const TileFrame<float>& frame, uint16_t* buffer)
{
    if (level == SimdLevel::Avx512)
        avx512Tiles(jobs, count, more, frame, buffer);
    else
        avx2Tiles(jobs, count, more, frame, buffer);
}

void computeVectorTiles(SimdLevel level, const TileJob<double>* jobs, int32_t count,
                        TileSource<double> more, const TileFrame<double>& frame,
                        uint16_t* buffer)
{
    if (level == SimdLevel::Avx512)
        avx512Tiles(jobs, count, more, frame, buffer);
    else
        avx2Tiles(jobs, count, more, frame, buffer);
}
