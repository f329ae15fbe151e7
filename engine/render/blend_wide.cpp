#include "engine/render/blend_wide.h"

#include <array>
#include <cstddef>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define LANFENG_WIDE_BLEND 1
#endif

namespace swf::render {

void splitRamp(const uint32_t* ramp, RampPlanes& out) {
    for (int i = 0; i < 256; ++i)
        for (int p = 0; p < 4; ++p) out.plane[p][i] = uint8_t(ramp[i] >> (8 * p));
}

#if defined(LANFENG_WIDE_BLEND)
#define WIDE __attribute__((target("avx512f,avx512bw,avx512vbmi")))
// The compiler's own masked-load intrinsics trip this warning on their placeholder operand.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

namespace {

// s + d * (255 - alpha of s) / 255 per channel, rounded as the painter rounds.
WIDE inline __m512i over16(__m512i s, __m512i d) {
    const __m512i mask = _mm512_set1_epi32(0x00ff00ff), half = _mm512_set1_epi16(0x80);
    __m512i ia = _mm512_srli_epi32(_mm512_ternarylogic_epi32(s, s, s, 0x55), 24);
    ia = _mm512_or_si512(ia, _mm512_slli_epi32(ia, 16));
    __m512i lo = _mm512_mullo_epi16(_mm512_and_si512(d, mask), ia);
    __m512i hi = _mm512_mullo_epi16(_mm512_and_si512(_mm512_srli_epi16(d, 8), mask), ia);
    lo = _mm512_srli_epi16(_mm512_add_epi16(_mm512_add_epi16(lo, _mm512_srli_epi16(lo, 8)), half),
                           8);
    hi = _mm512_add_epi16(_mm512_add_epi16(hi, _mm512_srli_epi16(hi, 8)), half);
    hi = _mm512_andnot_si512(mask, hi);
    return _mm512_add_epi32(s, _mm512_or_si512(lo, hi));
}

WIDE inline void over16At(uint32_t* dst, __m512i s, __mmask16 m) {
    if (m == 0xffff) {
        const __m512i d = _mm512_loadu_si512(dst);
        _mm512_storeu_si512(dst, over16(s, d));
    } else if (m) {
        const __m512i d = _mm512_maskz_loadu_epi32(m, dst);
        _mm512_mask_storeu_epi32(dst, m, over16(s, d));
    }
}

WIDE void indexedWide(uint32_t* dst, const uint8_t* idx, const RampPlanes& ramp, int n) {
    __m512i tab[4][4];
    for (int p = 0; p < 4; ++p)
        for (int q = 0; q < 4; ++q) tab[p][q] = _mm512_load_si512(ramp.plane[p] + 64 * q);
    // The unpacking below leaves 32-bit lane L of result k holding byte 16L + 4k + j of the
    // looked-up planes; the indices are put in that order first so pixels come out in order.
    static constexpr auto kOrder = [] {
        std::array<uint8_t, 64> o{};
        for (int l = 0; l < 4; ++l)
            for (int k = 0; k < 4; ++k)
                for (int j = 0; j < 4; ++j)
                    o[size_t(16 * l + 4 * k + j)] = uint8_t(16 * k + 4 * l + j);
        return o;
    }();
    const __m512i perm = _mm512_loadu_si512(kOrder.data());
    for (int i = 0; i < n; i += 64) {
        const int left = n - i;
        const __mmask64 m = left >= 64 ? ~__mmask64(0) : (__mmask64(1) << left) - 1;
        const __m512i x = _mm512_permutexvar_epi8(perm, _mm512_maskz_loadu_epi8(m, idx + i));
        const __mmask64 upper = _mm512_movepi8_mask(x);
        __m512i b[4];
        for (int p = 0; p < 4; ++p) {
            const __m512i lo = _mm512_permutex2var_epi8(tab[p][0], x, tab[p][1]);
            const __m512i hi = _mm512_permutex2var_epi8(tab[p][2], x, tab[p][3]);
            b[p] = _mm512_mask_blend_epi8(upper, lo, hi);
        }
        const __m512i t01lo = _mm512_unpacklo_epi8(b[0], b[1]),
                      t01hi = _mm512_unpackhi_epi8(b[0], b[1]),
                      t23lo = _mm512_unpacklo_epi8(b[2], b[3]),
                      t23hi = _mm512_unpackhi_epi8(b[2], b[3]);
        const __m512i px[4] = {
            _mm512_unpacklo_epi16(t01lo, t23lo), _mm512_unpackhi_epi16(t01lo, t23lo),
            _mm512_unpacklo_epi16(t01hi, t23hi), _mm512_unpackhi_epi16(t01hi, t23hi)};
        for (int k = 0; k < 4; ++k) over16At(dst + i + 16 * k, px[k], __mmask16(m >> (16 * k)));
    }
}

WIDE void rowWide(uint32_t* dst, const uint32_t* src, int n) {
    int i = 0;
    for (; i + 16 <= n; i += 16) over16At(dst + i, _mm512_loadu_si512(src + i), 0xffff);
    if (i < n) {
        const __mmask16 m = __mmask16((1u << (n - i)) - 1);
        over16At(dst + i, _mm512_maskz_loadu_epi32(m, src + i), m);
    }
}

}  // namespace

bool hasWideBlend() {
    static const bool yes = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
               __builtin_cpu_supports("avx512vbmi");
    }();
    return yes;
}

void blendIndexedWide(uint32_t* dst, const uint8_t* idx, const RampPlanes& ramp, int n) {
    if (n > 0) indexedWide(dst, idx, ramp, n);
}

void blendRowWide(uint32_t* dst, const uint32_t* src, int n) {
    if (n > 0) rowWide(dst, src, n);
}

#else

bool hasWideBlend() { return false; }
void blendIndexedWide(uint32_t*, const uint8_t*, const RampPlanes&, int) {}
void blendRowWide(uint32_t*, const uint32_t*, int) {}

#endif

}  // namespace swf::render
