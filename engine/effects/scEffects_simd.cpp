// SSE2 row kernels of the effects (see scEffects_simd.h). SSE2 is the floor of every machine
// the program runs on, so these need no run-time check.
#include "engine/effects/scEffects_simd.h"

#include <immintrin.h>

#include <atomic>

namespace engine::simd {
namespace {

std::atomic<bool> gBaselineOnly{false};

}  // namespace

bool WideKernelsAvailable() {
  static const bool available = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return available;
}

bool UseWideKernels() { return WideKernelsAvailable() && !gBaselineOnly.load(std::memory_order_relaxed); }

void UseBaselineKernels(bool baselineOnly) { gBaselineOnly = baselineOnly; }

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

namespace {

// p div 255 for 0 <= p <= 65025, then negated in the words whose sign is -1: a quotient of
// a signed numerator, rounded toward zero.
__attribute__((target("avx2"))) inline __m256i SignedDiv255(__m256i p, __m256i sign) {
  const __m256i q = _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(p, _mm256_set1_epi16(1)),
                                                       _mm256_srli_epi16(p, 8)), 8);
  return _mm256_sub_epi16(_mm256_xor_si256(q, sign), sign);
}

// Runs words(8 words = 2 pixels per 128-bit half) over the 32-bit pixels of a row, 8 at a time.
// Unpacking and packing both work per 128-bit half, so the pixels come back in order.
template <class Words>
__attribute__((target("avx2"))) inline int EachEightPixels(uint8_t* row, int pixels, Words words) {
  const int done = pixels & ~7;
  const __m256i zero = _mm256_setzero_si256();
  for (int x = 0; x < done; x += 8) {
    __m256i* p = reinterpret_cast<__m256i*>(row + x * 4);
    const __m256i v = _mm256_loadu_si256(p);
    const __m256i lo = words(_mm256_unpacklo_epi8(v, zero));
    const __m256i hi = words(_mm256_unpackhi_epi8(v, zero));
    _mm256_storeu_si256(p, _mm256_packus_epi16(lo, hi));
  }
  _mm256_zeroupper();
  return done;
}

}  // namespace

__attribute__((target("avx2"))) int Saturation32Avx2(uint8_t* row, int pixels, int s) {
  const __m256i ones = _mm256_set1_epi16(1);
  const __m256i sv = _mm256_set1_epi16(static_cast<short>(s));
  return EachEightPixels(row, pixels, [&](__m256i px) __attribute__((target("avx2"))) {
    const __m256i pairs = _mm256_madd_epi16(px, ones);
    const __m256i sums = _mm256_add_epi32(pairs, _mm256_shuffle_epi32(pairs, _MM_SHUFFLE(2, 3, 0, 1)));
    __m256i m = _mm256_srli_epi32(sums, 2);
    m = _mm256_or_si256(m, _mm256_slli_epi32(m, 16));
    const __m256i d = _mm256_sub_epi16(px, m);
    const __m256i p = _mm256_mullo_epi16(_mm256_abs_epi16(d), sv);
    return _mm256_add_epi16(m, SignedDiv255(p, _mm256_srai_epi16(d, 15)));
  });
}

__attribute__((target("avx2"))) int Saturation24Avx2(uint8_t* row, int pixels, int s) {
  // Eight pixels (24 bytes) a round from a 32-byte load, so the row must hold 8 bytes past
  // the last round. Only the 24 bytes are stored, as 16 and 8: a store reaching past them (as
  // read, or masked off) would make every next load wait for it to land, as a load
  // overlapping a store in flight does.
  const int bytes = pixels * 3;
  if (bytes < 32) return 0;
  const int rounds = (bytes - 8) / 24;
  const __m256i zero = _mm256_setzero_si256();
  const __m256i ones = _mm256_set1_epi16(1);
  const __m256i third = _mm256_set1_epi16(static_cast<short>(43691));  // (x * 43691) >> 17 = x div 3 below 2^17
  const __m256i sv = _mm256_set1_epi16(static_cast<short>(s));
  // Bytes 0-15 into the low half and 12-27 into the high one: four pixels each.
  const __m256i spread = _mm256_setr_epi32(0, 1, 2, 3, 3, 4, 5, 6);
  // In each half, four 3-byte pixels become four 4-byte ones with a zero fourth byte, and back.
  const __m256i widen = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1, 0, 1, 2, -1, 3, 4, 5, -1,
                                         6, 7, 8, -1, 9, 10, 11, -1);
  const __m256i narrow = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1, 2, 4, 5, 6, 8,
                                          9, 10, 12, 13, 14, -1, -1, -1, -1);
  const __m256i gather = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7);
  auto words = [&](__m256i px) __attribute__((target("avx2"))) {  // two pixels per half as eight words
    const __m256i pairs = _mm256_madd_epi16(px, ones);             // b+g, r+0 per pixel
    const __m256i sums = _mm256_add_epi32(pairs, _mm256_shuffle_epi32(pairs, _MM_SHUFFLE(2, 3, 0, 1)));
    __m256i m = _mm256_srli_epi16(_mm256_mulhi_epu16(sums, third), 1);  // the mean of the three bytes
    m = _mm256_or_si256(m, _mm256_slli_epi32(m, 16));                   // in every word of its pixel
    const __m256i d = _mm256_sub_epi16(px, m);
    const __m256i p = _mm256_mullo_epi16(_mm256_abs_epi16(d), sv);
    return _mm256_add_epi16(m, SignedDiv255(p, _mm256_srai_epi16(d, 15)));
  };
  for (int r = 0; r < rounds; ++r) {
    __m256i* at = reinterpret_cast<__m256i*>(row + 24 * r);
    const __m256i v = _mm256_loadu_si256(at);
    const __m256i wide = _mm256_shuffle_epi8(_mm256_permutevar8x32_epi32(v, spread), widen);
    const __m256i lo = words(_mm256_unpacklo_epi8(wide, zero));
    const __m256i hi = words(_mm256_unpackhi_epi8(wide, zero));
    const __m256i packed = _mm256_shuffle_epi8(_mm256_packus_epi16(lo, hi), narrow);
    const __m256i out = _mm256_permutevar8x32_epi32(packed, gather);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at), _mm256_castsi256_si128(out));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(row + 24 * r + 16), _mm256_extracti128_si256(out, 1));
  }
  _mm256_zeroupper();
  return rounds * 8;
}

__attribute__((target("avx2"))) int Contrast32Avx2(uint8_t* row, int pixels, const std::array<int16_t, 4>& c) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i pivot = _mm256_set1_epi16(127);
  const __m256i limit = _mm256_set1_epi16(static_cast<short>(65025));
  const short c0 = c[0], c1 = c[1], c2 = c[2], c3 = c[3];
  const __m256i cv = _mm256_setr_epi16(c0, c1, c2, c3, c0, c1, c2, c3, c0, c1, c2, c3, c0, c1, c2, c3);
  const __m256i cSign = _mm256_srai_epi16(cv, 15);
  const __m256i cAbs = _mm256_abs_epi16(cv);  // |-32768| reads as 32768 unsigned
  return EachEightPixels(row, pixels, [&](__m256i b) __attribute__((target("avx2"))) {
    const __m256i d = _mm256_sub_epi16(pivot, b);
    const __m256i dAbs = _mm256_abs_epi16(d);
    // p = |d| * |c| stops at 65025: once the quotient reaches 255 the clamp alone decides the
    // byte, so the exact quotient beyond it does not matter.
    const __m256i fits = _mm256_cmpeq_epi16(_mm256_mulhi_epu16(dAbs, cAbs), zero);
    __m256i p = _mm256_or_si256(_mm256_mullo_epi16(dAbs, cAbs), _mm256_andnot_si256(fits, _mm256_set1_epi16(-1)));
    p = _mm256_min_epu16(p, limit);
    return _mm256_sub_epi16(b, SignedDiv255(p, _mm256_xor_si256(_mm256_srai_epi16(d, 15), cSign)));
  });
}

// The 128-bit kernels twice: as SSE2 code, and compiled for AVX2 (the same instructions in
// their VEX forms) for the wide path. Legacy SSE instructions that run after 256-bit code pay
// for the upper halves the 256-bit code left behind, on some processors on every instruction
// even after a vzeroupper elsewhere (measured here: AddColor 0.92 ms after the AVX2 kernels,
// 0.35 ms in a process that never ran them); VEX forms do not.
namespace {
__attribute__((always_inline)) inline int AddBytesBody(uint8_t* row, int bytes, int bytesPerPixel,
                                                      const AddPattern& pattern) {
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

__attribute__((always_inline)) inline int Reverse32Body(const uint8_t* src, uint8_t* dst, int pixels) {
  const int done = pixels & ~3;
  for (int x = 0; x < done; x += 4) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + x * 4));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + (pixels - 4 - x) * 4),
                     _mm_shuffle_epi32(v, _MM_SHUFFLE(0, 1, 2, 3)));
  }
  return done;
}

__attribute__((target("avx2"))) int AddBytesVex(uint8_t* row, int bytes, int bytesPerPixel, const AddPattern& pattern) {
  return AddBytesBody(row, bytes, bytesPerPixel, pattern);
}

__attribute__((target("avx2"))) int Reverse32Vex(const uint8_t* src, uint8_t* dst, int pixels) {
  return Reverse32Body(src, dst, pixels);
}

}  // namespace

int AddBytes(uint8_t* row, int bytes, int bytesPerPixel, const AddPattern& pattern) {
  return UseWideKernels() ? AddBytesVex(row, bytes, bytesPerPixel, pattern)
                          : AddBytesBody(row, bytes, bytesPerPixel, pattern);
}

int Reverse32(const uint8_t* src, uint8_t* dst, int pixels) {
  return UseWideKernels() ? Reverse32Vex(src, dst, pixels) : Reverse32Body(src, dst, pixels);
}

}  // namespace engine::simd
