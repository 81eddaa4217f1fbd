// The vector tile kernels for AVX2: 8 float or 4 double lanes, masks held as all-ones lanes.
// Run only when detectSimdLevel() reports AVX2 or more.
#include "core/cpu_threads.h"
#include "core/tile_kernels.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <immintrin.h>
#include <type_traits>
#include <utility>

#pragma GCC push_options
#pragma GCC target("avx2")

#include "core/escape_time.h"
#include "core/escape_time_simd.h"

namespace {

struct Float8 {
    __m256 v;
    Float8() = default;
    Float8(__m256 value) : v(value) {}
    explicit Float8(float value) : v(_mm256_set1_ps(value)) {}
};

struct MaskF8 {
    __m256 m;
};

inline Float8 operator+(Float8 a, Float8 b) { return _mm256_add_ps(a.v, b.v); }
inline Float8 operator-(Float8 a, Float8 b) { return _mm256_sub_ps(a.v, b.v); }
inline Float8 operator*(Float8 a, Float8 b) { return _mm256_mul_ps(a.v, b.v); }
inline Float8 operator/(Float8 a, Float8 b) { return _mm256_div_ps(a.v, b.v); }
inline MaskF8 operator>=(Float8 a, Float8 b) { return {_mm256_cmp_ps(a.v, b.v, _CMP_GE_OQ)}; }
inline MaskF8 operator>(Float8 a, Float8 b) { return {_mm256_cmp_ps(a.v, b.v, _CMP_GT_OQ)}; }
inline Float8 select(MaskF8 m, Float8 a, Float8 b) { return _mm256_blendv_ps(b.v, a.v, m.m); }

struct Avx2Float {
    using Real = float;
    using V = Float8;
    using Mask = MaskF8;
    using Counts = __m256i;
    static constexpr int32_t lanes = 8;
    static constexpr int32_t blockColumns = 8;
    static constexpr int32_t interleave = 3;

    static V load(const float* values) { return _mm256_load_ps(values); }
    static void save(float* values, V v) { _mm256_store_ps(values, v.v); }

    static V fromInts(const int32_t* values)
    {
        return _mm256_cvtepi32_ps(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(values)));
    }
    static Mask lessThan(V a, V b) { return {_mm256_cmp_ps(a.v, b.v, _CMP_LT_OQ)}; }
    static Mask fromBits(uint32_t bits)
    {
        const __m256i laneBits = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
        const __m256i set = _mm256_and_si256(_mm256_set1_epi32(static_cast<int>(bits)), laneBits);
        return {_mm256_castsi256_ps(_mm256_cmpeq_epi32(set, laneBits))};
    }
    static Mask without(Mask alive, Mask escaped) { return {_mm256_andnot_ps(escaped.m, alive.m)}; }
    static bool none(Mask m) { return _mm256_testz_ps(m.m, m.m) != 0; }
    static Counts zeroCounts() { return _mm256_setzero_si256(); }
    // An alive lane holds -1, so subtracting it counts one.
    static Counts countAlive(Counts c, Mask alive)
    {
        return _mm256_sub_epi32(c, _mm256_castps_si256(alive.m));
    }
    static void storeCounts(int32_t* out, Counts c)
    {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), c);
    }
    // The low 16 bits of each count, packed without saturation.
    static void storeRows(uint16_t* buffer, const int32_t* rowStart, Counts c, int32_t limit)
    {
        const __m256i below = _mm256_cmpgt_epi32(_mm256_set1_epi32(limit), c);
        const __m256i kept = _mm256_and_si256(_mm256_and_si256(below, c), _mm256_set1_epi32(0xFFFF));
        const __m128i words = _mm_packus_epi32(_mm256_castsi256_si128(kept),
                                               _mm256_extracti128_si256(kept, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(buffer + rowStart[0]), words);
    }
};

struct Double4 {
    __m256d v;
    Double4() = default;
    Double4(__m256d value) : v(value) {}
    explicit Double4(double value) : v(_mm256_set1_pd(value)) {}
};

struct MaskD4 {
    __m256d m;
};

inline Double4 operator+(Double4 a, Double4 b) { return _mm256_add_pd(a.v, b.v); }
inline Double4 operator-(Double4 a, Double4 b) { return _mm256_sub_pd(a.v, b.v); }
inline Double4 operator*(Double4 a, Double4 b) { return _mm256_mul_pd(a.v, b.v); }
inline Double4 operator/(Double4 a, Double4 b) { return _mm256_div_pd(a.v, b.v); }
inline MaskD4 operator>=(Double4 a, Double4 b) { return {_mm256_cmp_pd(a.v, b.v, _CMP_GE_OQ)}; }
inline MaskD4 operator>(Double4 a, Double4 b) { return {_mm256_cmp_pd(a.v, b.v, _CMP_GT_OQ)}; }
inline Double4 select(MaskD4 m, Double4 a, Double4 b) { return _mm256_blendv_pd(b.v, a.v, m.m); }

struct Avx2Double {
    using Real = double;
    using V = Double4;
    using Mask = MaskD4;
    using Counts = __m256i; // 64-bit lanes
    static constexpr int32_t lanes = 4;
    static constexpr int32_t blockColumns = 4;
    static constexpr int32_t interleave = 3;

    static V load(const double* values) { return _mm256_load_pd(values); }
    static void save(double* values, V v) { _mm256_store_pd(values, v.v); }

    static V fromInts(const int32_t* values)
    {
        return _mm256_cvtepi32_pd(_mm_loadu_si128(reinterpret_cast<const __m128i*>(values)));
    }
    static Mask lessThan(V a, V b) { return {_mm256_cmp_pd(a.v, b.v, _CMP_LT_OQ)}; }
    static Mask fromBits(uint32_t bits)
    {
        const __m256i laneBits = _mm256_setr_epi64x(1, 2, 4, 8);
        const __m256i set = _mm256_and_si256(_mm256_set1_epi64x(bits), laneBits);
        return {_mm256_castsi256_pd(_mm256_cmpeq_epi64(set, laneBits))};
    }
    static Mask without(Mask alive, Mask escaped) { return {_mm256_andnot_pd(escaped.m, alive.m)}; }
    static bool none(Mask m) { return _mm256_testz_pd(m.m, m.m) != 0; }
    static Counts zeroCounts() { return _mm256_setzero_si256(); }
    static Counts countAlive(Counts c, Mask alive)
    {
        return _mm256_sub_epi64(c, _mm256_castpd_si256(alive.m));
    }
    static void storeCounts(int32_t* out, Counts c)
    {
        alignas(32) int64_t wide[4];
        _mm256_store_si256(reinterpret_cast<__m256i*>(wide), c);
        for (int32_t i = 0; i < 4; ++i)
            out[i] = static_cast<int32_t>(wide[i]);
    }
    // The low 16 bits of each count, packed without saturation.
    static void storeRows(uint16_t* buffer, const int32_t* rowStart, Counts c, int32_t limit)
    {
        const __m256i below = _mm256_cmpgt_epi64(_mm256_set1_epi64x(limit), c);
        const __m256i kept = _mm256_and_si256(_mm256_and_si256(below, c), _mm256_set1_epi64x(0xFFFF));
        const __m256i low = _mm256_permutevar8x32_epi32(kept, _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6));
        const __m128i words = _mm_packus_epi32(_mm256_castsi256_si128(low), _mm256_castsi256_si128(low));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(buffer + rowStart[0]), words);
    }
};

} // namespace

void avx2Tiles(const TileJob<float>* jobs, int32_t count, TileSource<float> more,
               const TileFrame<float>& frame, uint16_t* buffer)
{
    computeTiles<Avx2Float>(jobs, count, more, frame, buffer);
}

void avx2Tiles(const TileJob<double>* jobs, int32_t count, TileSource<double> more,
               const TileFrame<double>& frame, uint16_t* buffer)
{
    computeTiles<Avx2Double>(jobs, count, more, frame, buffer);
}

#pragma GCC pop_options
