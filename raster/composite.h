#pragma once
// Source-over compositing of premultiplied BGRA words, two channels at a time.

#include <algorithm>
#include <cstdint>

#include "raster/target.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace raster {

// Each 8-bit channel of `p` times k / 255, rounded (k 0 to 255): red and blue in one word,
// alpha and green in another.
inline uint32_t ScaleChannels(uint32_t p, uint32_t k) {
    uint32_t rb = (p & 0x00FF00FFu) * k + 0x00800080u;
    uint32_t ag = ((p >> 8) & 0x00FF00FFu) * k + 0x00800080u;
    rb = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    ag = (ag + ((ag >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
    return rb | ag;
}

// Source-over of a premultiplied source word onto a premultiplied destination word.
inline uint32_t Over(uint32_t dst, uint32_t src) { return src + ScaleChannels(dst, 255 - (src >> 24)); }

// Source-over of one colour onto a run of pixels.
inline void OverRun(uint32_t* row, int count, uint32_t src) {
    const uint32_t a = src >> 24;
    if (a == 255) {
        std::fill_n(row, count, src);
        return;
    }
    if (a == 0 && src == 0) return;
    const uint32_t inv = 255 - a;
    int i = 0;
#if defined(__SSE2__)
    // Four pixels at a time in 16-bit lanes, with the same rounding as ScaleChannels.
    const __m128i zero = _mm_setzero_si128();
    const __m128i factor = _mm_set1_epi16(static_cast<short>(inv));
    const __m128i half = _mm_set1_epi16(0x80);
    const __m128i source = _mm_set1_epi32(static_cast<int>(src));
    for (; i + 4 <= count; i += 4) {
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
        __m128i lo = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), factor), half);
        __m128i hi = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), factor), half);
        lo = _mm_srli_epi16(_mm_add_epi16(lo, _mm_srli_epi16(lo, 8)), 8);
        hi = _mm_srli_epi16(_mm_add_epi16(hi, _mm_srli_epi16(hi, 8)), 8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), _mm_add_epi8(_mm_packus_epi16(lo, hi), source));
    }
#endif
    for (; i < count; ++i) row[i] = src + ScaleChannels(row[i], inv);
}

// Source-over of per-pixel colours, each scaled by a coverage of k / 255.
inline void OverColors(uint32_t* row, const uint32_t* colors, int count, uint32_t k) {
    for (int i = 0; i < count; ++i) row[i] = Over(row[i], k >= 255 ? colors[i] : ScaleChannels(colors[i], k));
}

// Source-over of per-pixel colours under per-pixel coverage (0 to 1).
inline void OverColorsCoverage(uint32_t* row, const uint32_t* colors, const float* coverage, int count) {
    for (int i = 0; i < count; ++i) {
        const float c = coverage[i];
        if (c <= 0) continue;
        row[i] = Over(row[i], c >= 1 ? colors[i] : ScaleChannels(colors[i], static_cast<uint32_t>(c * 255.0f + 0.5f)));
    }
}

// Source-over of one colour under per-pixel coverage (0 to 1) onto a span of pixels.
inline void OverSpan(uint32_t* row, const float* coverage, int count, uint32_t color) {
    int i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i half = _mm_set1_epi16(0x80);
    const __m128i full = _mm_set1_epi16(255);
    const __m128i color16 = _mm_unpacklo_epi8(_mm_set1_epi32(static_cast<int>(color)), zero);
    const __m128 scale = _mm_set1_ps(255.0f);
    auto div255 = [&](__m128i x) {
        x = _mm_add_epi16(x, half);
        return _mm_srli_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), 8);
    };
    // Two pixels in eight 16-bit lanes: the source scaled by coverage, then over.
    auto blend = [&](__m128i dst16, __m128i k16) {
        const __m128i src = div255(_mm_mullo_epi16(color16, k16));
        const __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(src, 0xFF), 0xFF);
        return _mm_add_epi16(src, div255(_mm_mullo_epi16(dst16, _mm_sub_epi16(full, alpha))));
    };
    for (; i + 4 <= count; i += 4) {
        const __m128i k = _mm_cvtps_epi32(_mm_mul_ps(_mm_loadu_ps(coverage + i), scale));
        const __m128i k16 = _mm_packs_epi32(k, k);     // k0 k1 k2 k3 k0 k1 k2 k3
        const __m128i pairs = _mm_unpacklo_epi16(k16, k16);  // k0 k0 k1 k1 k2 k2 k3 k3
        const __m128i kLo = _mm_unpacklo_epi32(pairs, pairs);  // k0 x4, k1 x4
        const __m128i kHi = _mm_unpackhi_epi32(pairs, pairs);  // k2 x4, k3 x4
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
        const __m128i lo = blend(_mm_unpacklo_epi8(d, zero), kLo);
        const __m128i hi = blend(_mm_unpackhi_epi8(d, zero), kHi);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), _mm_packus_epi16(lo, hi));
    }
#endif
    for (; i < count; ++i) {
        const float c = coverage[i];
        if (c <= 0) continue;
        const uint32_t k = static_cast<uint32_t>(c * 255.0f + 0.5f);
        row[i] = Over(row[i], ScaleChannels(color, k));
    }
}

}  // namespace raster
