// The noise kernel over runs of bytes (see scEffects_noise.h).
//
// The generator is serial, but the seed n steps ahead is an affine function of today's, so the
// seeds of one round of draws can run side by side, each jumping a round ahead at once. A
// round makes two draws per byte; the bytes, their draws and the final seed are exactly those
// of drawing one at a time. SSE2 rounds cover 8 bytes: seeds sit in the low halves of 64-bit
// lanes, where one unsigned multiply advances a seed and another, by the amount, yields its
// draw in the high half. Where the processor has AVX2, rounds of 16 bytes keep eight seeds per
// register; the multiplies bound the work, so each step uses as few as the lanes allow.
//
// A frame's rows are split into bands for the effect workers the same way: the seed at a
// band's first row is the serial walk's, reached by the affine jump of the draws before it.
#include "engine/effects/scEffects_noise.h"

#include <immintrin.h>

#include <algorithm>
#include <bit>

#include "engine/effects/scEffects_simd.h"
#include "engine/effects/scEffects_workers.h"
#include "engine/effects/scMemUtils.h"

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

// The affine map of `steps` generator steps: s -> a * s + c.
struct Jump {
  uint32_t a = 1, c = 0;
  explicit Jump(int steps) {
    for (int i = 0; i < steps; ++i) {
      c = c * kRandomMultiplier + 1u;
      a = a * kRandomMultiplier;
    }
  }
};

// ---- SSE2: 16 draws (8 bytes) per round ----

// The draws of one round from seed vectors s[0..7] (two seeds each), turned into the words r1
// (even draws) and r2 (odd draws) of 8 bytes.
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

// Returns the bytes done (whole rounds).
int RoundsSse2(uint8_t* bytes, int count, uint32_t seed, uint32_t amount) {
  const int rounds = count / 8;
  if (rounds == 0) return 0;
  static const Jump jump(16);
  // seeds[j] holds the seeds of draws 2j and 2j+1 of the round.
  alignas(16) uint32_t first[32] = {};
  for (int i = 0; i < 16; ++i) {
    seed = NextSeed(seed);
    first[(i / 2) * 4 + (i % 2) * 2] = seed;
  }
  __m128i seeds[8];
  for (int j = 0; j < 8; ++j) seeds[j] = _mm_load_si128(reinterpret_cast<const __m128i*>(first + 4 * j));
  const __m128i n = _mm_set1_epi32(static_cast<int>(amount));
  const __m128i a = _mm_set1_epi32(static_cast<int>(jump.a));
  const __m128i c = _mm_set1_epi32(static_cast<int>(jump.c));
  const __m128i zero = _mm_setzero_si128();
  uint8_t* p = bytes;
  for (int r = 0; r < rounds; ++r, p += 8) {
    __m128i r1, r2;
    Draws(seeds, n, r1, r2);
#pragma GCC unroll 8
    for (int j = 0; j < 8; ++j) seeds[j] = _mm_add_epi32(_mm_mul_epu32(seeds[j], a), c);
    const __m128i b = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), zero);
    const __m128i v = _mm_sub_epi16(_mm_add_epi16(b, r1), r2);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_packus_epi16(v, v));
  }
  return rounds * 8;
}

// ---- AVX2: 32 draws (16 bytes) per round ----

// Which draw of the round each seed serves. A seed vector holds eight seeds, one per 32-bit
// lane, and advances by one 32-bit multiply; its draws come out in lane order from two
// multiplies of 16-bit words (below). Four such vectors (A, B for the first draw of each byte,
// C, D for the second) are packed to words by packs(A, B) and packs(C, D), which take 128-bit
// halves in the order A.lo, B.lo, A.hi, B.hi.
struct AvxLayout {
  uint32_t drawOf[4][8];
  AvxLayout() {
    for (int v = 0; v < 4; ++v) {
      const bool first = v < 2, x = v % 2 == 0;
      for (int t = 0; t < 8; ++t) {
        const int word = x ? (t < 4 ? t : t + 4) : (t < 4 ? t + 4 : t + 8);
        drawOf[v][t] = static_cast<uint32_t>(2 * word + (first ? 0 : 1));
      }
    }
  }
};

__attribute__((target("avx2"))) int RoundsAvx2(uint8_t* bytes, int count, uint32_t seed, uint32_t amount) {
  const int rounds = count / 16;
  if (rounds == 0) return 0;
  static const Jump jump(32);
  static const AvxLayout layout;
  uint32_t draws[32];
  for (int i = 0; i < 32; ++i) draws[i] = seed = NextSeed(seed);
  alignas(32) uint32_t first[4][8];
  for (int v = 0; v < 4; ++v)
    for (int t = 0; t < 8; ++t) first[v][t] = draws[layout.drawOf[v][t]];
  __m256i seeds[4];
  for (int v = 0; v < 4; ++v) seeds[v] = _mm256_load_si256(reinterpret_cast<const __m256i*>(first[v]));
  const __m256i n = _mm256_set1_epi16(static_cast<short>(amount));
  const __m256i a = _mm256_set1_epi32(static_cast<int>(jump.a));
  const __m256i c = _mm256_set1_epi32(static_cast<int>(jump.c));
  uint8_t* p = bytes;
  for (int r = 0; r < rounds; ++r, p += 16) {
    __m256i f[4];
#pragma GCC unroll 4
    for (int v = 0; v < 4; ++v) {
      // With the seed's words h:l and n < 2^16, (s * n) >> 32 is (h*n + ((l*n) >> 16)) >> 16: the
      // high words of both products (one lane: (h*n) >> 16 above (l*n) >> 16) plus the low
      // word of h*n, whose carry reaches the upper word.
      const __m256i sum = _mm256_add_epi32(_mm256_mulhi_epu16(seeds[v], n),
                                           _mm256_srli_epi32(_mm256_mullo_epi16(seeds[v], n), 16));
      f[v] = _mm256_srli_epi32(sum, 16);
      seeds[v] = _mm256_add_epi32(_mm256_mullo_epi32(seeds[v], a), c);
    }
    const __m256i r1 = _mm256_packs_epi32(f[0], f[1]);
    const __m256i r2 = _mm256_packs_epi32(f[2], f[3]);
    const __m256i b = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    const __m256i v = _mm256_sub_epi16(_mm256_add_epi16(b, r1), r2);
    // Packing works per 128-bit half: the wanted bytes are quadwords 0 and 2.
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi16(v, v), 0x08);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), _mm256_castsi256_si128(packed));
  }
  _mm256_zeroupper();
  return rounds * 16;
}

}  // namespace

void NoiseRuns::Apply(uint8_t* bytes, int count) {
  if (count <= 0) return;
  if (amount_ <= 1) {  // every draw is 0, yet the generator moves on
    seed_ = AdvanceSeed(seed_, static_cast<uint64_t>(count) * 2);
    return;
  }
  const int done = simd::UseWideKernels() ? RoundsAvx2(bytes, count, seed_, amount_) : RoundsSse2(bytes, count, seed_, amount_);
  seed_ = AdvanceSeed(seed_, static_cast<uint64_t>(done) * 2);
  uint32_t s = seed_;
  for (int i = done; i < count; ++i) bytes[i] = NoiseByte(bytes[i], s, amount_);
  seed_ = s;
}

namespace {

// Rows [y0, y1) from the seed the walk has at row y0.
void NoiseBand(const NoiseRows& rows, int y0, int y1, uint32_t seed, uint8_t amount) {
  const int bpp = rows.bytesPerPixel;
  if (rows.channels == (1u << bpp) - 1) {
    NoiseRuns runs(seed, amount);
    for (int y = y0; y < y1; ++y) runs.Apply(rows.first + y * rows.stride, rows.width * bpp);
    return;
  }
  for (int y = y0; y < y1; ++y) {
    uint8_t* p = rows.first + y * rows.stride;
    for (int x = 0; x < rows.width; ++x, p += bpp)
      for (int c = 0; c < bpp; ++c)
        if (rows.channels & (1u << c)) p[c] = NoiseByte(p[c], seed, amount);
  }
}

}  // namespace

uint32_t ApplyNoise(const NoiseRows& rows, uint32_t seed, uint8_t amount, int bands) {
  const unsigned channels = rows.channels & ((1u << rows.bytesPerPixel) - 1);
  const uint64_t drawsPerRow = 2ull * static_cast<uint64_t>(rows.width) * std::popcount(channels);
  const uint64_t draws = drawsPerRow * static_cast<uint64_t>(std::max(rows.height, 0));
  if (draws == 0 || amount <= 1) return AdvanceSeed(seed, draws);  // every draw is 0
  NoiseRows band = rows;
  band.channels = channels;
  bands = std::clamp(bands, 1, rows.height);
  auto run = [&](int i) {
    const int y0 = static_cast<int>(static_cast<int64_t>(rows.height) * i / bands);
    const int y1 = static_cast<int>(static_cast<int64_t>(rows.height) * (i + 1) / bands);
    NoiseBand(band, y0, y1, AdvanceSeed(seed, drawsPerRow * static_cast<uint64_t>(y0)), amount);
  };
  workers::ForEachBand(bands, run);
  return AdvanceSeed(seed, draws);
}

}  // namespace engine
