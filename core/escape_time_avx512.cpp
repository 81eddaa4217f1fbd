// The vector tile kernels for AVX-512: 16 float or 8 double lanes, one bit per lane in the
// mask registers. Run only when detectSimdLevel() reports AVX-512.
#include "core/cpu_threads.h"
#include "core/tile_kernels.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <immintrin.h>
#include <type_traits>
#include <utility>

#pragma GCC push_options
#pragma GCC target("avx512f")

#include "core/escape_time.h"
#include "core/escape_time_simd.h"

namespace {

struct Float16 {
    __m512 v;
    Float16() = default;
    Float16(__m512 value) : v(value) {}
    explicit Float16(float value) : v(_mm512_set1_ps(value)) {}
};

struct Mask16 {
    __mmask16 k;
};

inline Float16 operator+(Float16 a, Float16 b) { return _mm512_add_ps(a.v, b.v); }
inline Float16 operator-(Float16 a, Float16 b) { return _mm512_sub_ps(a.v, b.v); }
inline Float16 operator*(Float16 a, Float16 b) { return _mm512_mul_ps(a.v, b.v); }
inline Float16 operator/(Float16 a, Float16 b) { return _mm512_div_ps(a.v, b.v); }
inline Mask16 operator>=(Float16 a, Float16 b) { return {_mm512_cmp_ps_mask(a.v, b.v, _CMP_GE_OQ)}; }
inline Mask16 operator>(Float16 a, Float16 b) { return {_mm512_cmp_ps_mask(a.v, b.v, _CMP_GT_OQ)}; }
inline Float16 select(Mask16 m, Float16 a, Float16 b) { return _mm512_mask_blend_ps(m.k, b.v, a.v); }

// NOTE: the zero-masked conversions avoid GCC 12's false uninitialised-value warning inside
// the unmasked intrinsics.
struct Avx512Float {
    using Real = float;
    using V = Float16;
    using Mask = Mask16;
    using Counts = __m512i;
    static constexpr int32_t lanes = 16;
    static constexpr int32_t blockColumns = 8;
    static constexpr int32_t interleave = 4;

    static V load(const float* values) { return _mm512_load_ps(values); }
    static void save(float* values, V v) { _mm512_store_ps(values, v.v); }

    static V fromInts(const int32_t* values) { return _mm512_maskz_cvtepi32_ps(0xFFFF, _mm512_loadu_si512(values)); }
    static Mask lessThan(V a, V b) { return {_mm512_cmp_ps_mask(a.v, b.v, _CMP_LT_OQ)}; }
    static Mask fromBits(uint32_t bits) { return {static_cast<__mmask16>(bits)}; }
    static Mask without(Mask alive, Mask escaped) { return {_mm512_kandn(escaped.k, alive.k)}; }
    static bool none(Mask m) { return m.k == 0; }
    static Counts zeroCounts() { return _mm512_setzero_si512(); }
    static Counts countAlive(Counts c, Mask alive)
    {
        return _mm512_mask_add_epi32(c, alive.k, c, _mm512_set1_epi32(1));
    }
    static void storeCounts(int32_t* out, Counts c) { _mm512_storeu_si512(out, c); }
    static void storeRows(uint16_t* buffer, const int32_t* rowStart, Counts c, int32_t limit)
    {
        const __mmask16 below = _mm512_cmplt_epi32_mask(c, _mm512_set1_epi32(limit));
        const __m512i kept = _mm512_maskz_mov_epi32(below, c);
        const __m256i words = _mm512_maskz_cvtepi32_epi16(0xFFFF, kept);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(buffer + rowStart[0]),
                         _mm256_castsi256_si128(words));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(buffer + rowStart[1]),
                         _mm256_extracti128_si256(words, 1));
    }
};

struct Double8 {
    __m512d v;
    Double8() = default;
    Double8(__m512d value) : v(value) {}
    explicit Double8(double value) : v(_mm512_set1_pd(value)) {}
};

struct Mask8 {
    __mmask8 k;
};

inline Double8 operator+(Double8 a, Double8 b) { return _mm512_add_pd(a.v, b.v); }
inline Double8 operator-(Double8 a, Double8 b) { return _mm512_sub_pd(a.v, b.v); }
inline Double8 operator*(Double8 a, Double8 b) { return _mm512_mul_pd(a.v, b.v); }
inline Double8 operator/(Double8 a, Double8 b) { return _mm512_div_pd(a.v, b.v); }
inline Mask8 operator>=(Double8 a, Double8 b) { return {_mm512_cmp_pd_mask(a.v, b.v, _CMP_GE_OQ)}; }
inline Mask8 operator>(Double8 a, Double8 b) { return {_mm512_cmp_pd_mask(a.v, b.v, _CMP_GT_OQ)}; }
inline Double8 select(Mask8 m, Double8 a, Double8 b) { return _mm512_mask_blend_pd(m.k, b.v, a.v); }

struct Avx512Double {
    using Real = double;
    using V = Double8;
    using Mask = Mask8;
    using Counts = __m512i; // 64-bit lanes
    static constexpr int32_t lanes = 8;
    static constexpr int32_t blockColumns = 8;
    static constexpr int32_t interleave = 4;

    static V load(const double* values) { return _mm512_load_pd(values); }
    static void save(double* values, V v) { _mm512_store_pd(values, v.v); }

    static V fromInts(const int32_t* values)
    {
        const __m256i ints = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(values));
        return _mm512_maskz_cvtepi32_pd(0xFF, ints);
    }
    static Mask lessThan(V a, V b) { return {_mm512_cmp_pd_mask(a.v, b.v, _CMP_LT_OQ)}; }
    static Mask fromBits(uint32_t bits) { return {static_cast<__mmask8>(bits)}; }
    static Mask without(Mask alive, Mask escaped)
    {
        return {static_cast<__mmask8>(alive.k & ~escaped.k)};
    }
    static bool none(Mask m) { return m.k == 0; }
    static Counts zeroCounts() { return _mm512_setzero_si512(); }
    static Counts countAlive(Counts c, Mask alive)
    {
        return _mm512_mask_add_epi64(c, alive.k, c, _mm512_set1_epi64(1));
    }
    static void storeCounts(int32_t* out, Counts c)
    {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm512_maskz_cvtepi64_epi32(0xFF, c));
    }
    static void storeRows(uint16_t* buffer, const int32_t* rowStart, Counts c, int32_t limit)
    {
        const __mmask8 below = _mm512_cmplt_epi64_mask(c, _mm512_set1_epi64(limit));
        const __m512i kept = _mm512_maskz_mov_epi64(below, c);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(buffer + rowStart[0]),
                         _mm512_maskz_cvtepi64_epi16(0xFF, kept));
    }
};

} // namespace

void avx512Tiles(const TileJob<float>* jobs, int32_t count, TileSource<float> more,
                 const TileFrame<float>& frame, uint16_t* buffer)
{
    computeTiles<Avx512Float>(jobs, count, more, frame, buffer);
}

void avx512Tiles(const TileJob<double>* jobs, int32_t count, TileSource<double> more,
                 const TileFrame<double>& frame, uint16_t* buffer)
{
    computeTiles<Avx512Double>(jobs, count, more, frame, buffer);
}

#pragma GCC pop_options
