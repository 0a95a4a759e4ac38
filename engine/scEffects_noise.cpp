// The noise kernel over runs of bytes (see scEffects_noise.h).
//
// The generator is serial, but the seed n steps ahead is an affine function of today's, so
// sixteen consecutive seeds can run side by side: each SSE2 register holds two of them in the
// low halves of its 64-bit lanes, where one unsigned multiply both advances a seed and, with
// the amount, yields its draw in the high half. One round makes the 16 draws of 8 bytes; the
// bytes, their draws and the final seed are exactly those of drawing one at a time.
#include "engine/scEffects_noise.h"

#include <emmintrin.h>

#include "engine/scMemUtils.h"

namespace engine {
namespace {

inline uint8_t NoiseByte(uint8_t b, uint32_t& s, uint32_t amount) {
  s = NextSeed(s);
  const int r1 = static_cast<int>(DrawFromSeed(s, amount));
  s = NextSeed(s);
  const int r2 = static_cast<int>(DrawFromSeed(s, amount));
  const int v = b + r1 - r2;
  return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// The affine map of 16 generator steps: s -> a * s + c.
struct Jump16 {
  uint32_t a = 1, c = 0;
  Jump16() {
    for (int i = 0; i < 16; ++i) {
      c = c * kRandomMultiplier + 1u;
      a = a * kRandomMultiplier;
    }
  }
};

// The 16 draws of one round from seed vectors s[0..7] (two seeds each), turned into the
// words r1 (even draws) and r2 (odd draws) of 8 bytes.
inline void Draws(const __m128i* s, __m128i n, __m128i& r1, __m128i& r2) {
  const __m128i hi = _mm_set_epi32(-1, 0, -1, 0);
  __m128i f[4];
#pragma GCC unroll 4
  for (int j = 0; j < 4; ++j) {
    const __m128i p0 = _mm_mul_epu32(s[2 * j], n);      // draws 4j, 4j+1 in the high halves
    const __m128i p1 = _mm_mul_epu32(s[2 * j + 1], n);  // draws 4j+2, 4j+3
    // Lanes: d(4j), d(4j+2), d(4j+1), d(4j+3).
    f[j] = _mm_or_si128(_mm_srli_epi64(p0, 32), _mm_and_si128(p1, hi));
  }
  r1 = _mm_packs_epi32(_mm_unpacklo_epi64(f[0], f[1]), _mm_unpacklo_epi64(f[2], f[3]));
  r2 = _mm_packs_epi32(_mm_unpackhi_epi64(f[0], f[1]), _mm_unpackhi_epi64(f[2], f[3]));
}

}  // namespace

void NoiseRuns::Apply(uint8_t* bytes, int count) {
  if (count <= 0) return;
  if (amount_ <= 1) {  // every draw is 0, yet the generator moves on
    seed_ = AdvanceSeed(seed_, static_cast<uint64_t>(count) * 2);
    return;
  }
  const int rounds = count / 8;
  if (rounds > 0) {
    static const Jump16 jump;
    // s[j] holds the seeds of draws 2j and 2j+1 of the round.
    alignas(16) uint32_t first[32] = {};
    uint32_t s = seed_;
    for (int i = 0; i < 16; ++i) {
      s = NextSeed(s);
      first[(i / 2) * 4 + (i % 2) * 2] = s;
    }
    __m128i seeds[8];
    for (int j = 0; j < 8; ++j) seeds[j] = _mm_load_si128(reinterpret_cast<const __m128i*>(first + 4 * j));
    const __m128i n = _mm_set1_epi32(amount_);
    const __m128i a16 = _mm_set1_epi32(static_cast<int>(jump.a));
    const __m128i c16 = _mm_set1_epi32(static_cast<int>(jump.c));
    const __m128i zero = _mm_setzero_si128();
    uint8_t* p = bytes;
    for (int r = 0; r < rounds; ++r, p += 8) {
      __m128i r1, r2;
      Draws(seeds, n, r1, r2);
#pragma GCC unroll 8
      for (int j = 0; j < 8; ++j) seeds[j] = _mm_add_epi32(_mm_mul_epu32(seeds[j], a16), c16);
      const __m128i b = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), zero);
      const __m128i v = _mm_sub_epi16(_mm_add_epi16(b, r1), r2);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(v, v));
    }
    seed_ = AdvanceSeed(seed_, static_cast<uint64_t>(rounds) * 16);
  }
  uint32_t s = seed_;
  for (int i = rounds * 8; i < count; ++i) bytes[i] = NoiseByte(bytes[i], s, amount_);
  seed_ = s;
}

}  // namespace engine
