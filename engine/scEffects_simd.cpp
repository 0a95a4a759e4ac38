// SSE2 row kernels of the effects (see scEffects_simd.h). SSE2 is the floor of every machine
// the program runs on, so these need no run-time check.
#include "engine/scEffects_simd.h"

#include <emmintrin.h>

namespace engine::simd {

int Saturation32(uint8_t* row, int pixels, int s) {
  const int done = pixels & ~3;
  const __m128i zero = _mm_setzero_si128();
  const __m128i ones = _mm_set1_epi16(1);
  const __m128i sv = _mm_set1_epi16(static_cast<short>(s));
  auto half = [&](__m128i px) {  // two pixels as eight words
    __m128i pairs = _mm_madd_epi16(px, ones);  // b+g, r+a per pixel
    __m128i sums = _mm_add_epi32(pairs, _mm_shuffle_epi32(pairs, _MM_SHUFFLE(2, 3, 0, 1)));
    __m128i m = _mm_srli_epi32(sums, 2);          // the mean of the four bytes
    m = _mm_or_si128(m, _mm_slli_epi32(m, 16));   // in every word of its pixel
    const __m128i d = _mm_sub_epi16(px, m);
    const __m128i sign = _mm_srai_epi16(d, 15);
    const __m128i a = _mm_max_epi16(d, _mm_sub_epi16(zero, d));
    const __m128i p = _mm_mullo_epi16(a, sv);     // |d| * S fits 16 bits unsigned
    // p div 255 for p <= 65025, exactly.
    __m128i q = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(p, ones), _mm_srli_epi16(p, 8)), 8);
    q = _mm_sub_epi16(_mm_xor_si128(q, sign), sign);  // back to the sign of d, toward zero
    return _mm_add_epi16(m, q);
  };
  for (int x = 0; x < done; x += 4) {
    __m128i* p = reinterpret_cast<__m128i*>(row + x * 4);
    const __m128i v = _mm_loadu_si128(p);
    const __m128i lo = half(_mm_unpacklo_epi8(v, zero));
    const __m128i hi = half(_mm_unpackhi_epi8(v, zero));
    _mm_storeu_si128(p, _mm_packus_epi16(lo, hi));
  }
  return done;
}

int AddBytes(uint8_t* row, int bytes, int bytesPerPixel, const AddPattern& pattern) {
  // The channel pattern repeats every 48 bytes for any of 1 to 4 bytes per pixel.
  alignas(16) uint8_t wrap[48], up[48], down[48];
  for (int i = 0; i < 48; ++i) {
    const int c = i % bytesPerPixel;
    wrap[i] = pattern.wrap[c];
    up[i] = pattern.up[c];
    down[i] = pattern.down[c];
  }
  __m128i w[3], u[3], d[3];
  for (int k = 0; k < 3; ++k) {
    w[k] = _mm_load_si128(reinterpret_cast<const __m128i*>(wrap + 16 * k));
    u[k] = _mm_load_si128(reinterpret_cast<const __m128i*>(up + 16 * k));
    d[k] = _mm_load_si128(reinterpret_cast<const __m128i*>(down + 16 * k));
  }
  const int done = bytes - bytes % 48;
  for (int i = 0; i < done; i += 48) {
#pragma GCC unroll 3
    for (int k = 0; k < 3; ++k) {
      __m128i* p = reinterpret_cast<__m128i*>(row + i + 16 * k);
      const __m128i v = _mm_add_epi8(_mm_loadu_si128(p), w[k]);
      _mm_storeu_si128(p, _mm_subs_epu8(_mm_adds_epu8(v, u[k]), d[k]));
    }
  }
  return done;
}

int Reverse32(const uint8_t* src, uint8_t* dst, int pixels) {
  const int done = pixels & ~3;
  for (int x = 0; x < done; x += 4) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x * 4));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + (pixels - 4 - x) * 4),
                     _mm_shuffle_epi32(v, _MM_SHUFFLE(0, 1, 2, 3)));
  }
  return done;
}

}  // namespace engine::simd
