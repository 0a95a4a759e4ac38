// Internal to the effects: SSE2 row kernels for the cases the camera hits on every frame, and
// AVX2 ones beside them where the processor has AVX2. Each returns how many leading bytes (or
// pixels) it handled; the caller finishes the row with its plain loop, which defines the
// result the kernels reproduce exactly.
#pragma once

#include <emmintrin.h>

#include <array>
#include <cstdint>

namespace engine::simd {

// True when the AVX2 kernels run: the processor has them and tests have not asked for the
// SSE2 ones only.
bool UseWideKernels();
bool WideKernelsAvailable();
void UseBaselineKernels(bool baselineOnly);

// Saturation of 32-bit pixels over all four channels; scaled[d + 255] = (d * S) div 255.
// Returns the pixels done (a multiple of 4).
int Saturation32(uint8_t* row, int pixels, int s);
int Saturation32Avx2(uint8_t* row, int pixels, int s);  // a multiple of 8
// The same over the three channels of 24-bit pixels (the mean is their sum div 3). AVX2 only.
// Returns the pixels done: a multiple of 8, leaving at least the row's last 8 bytes' pixels.
int Saturation24Avx2(uint8_t* row, int pixels, int s);

// Contrast of 32-bit pixels: b := clamp(b - ((127 - b) * c) div 255) with c the channel's
// value (0 leaves a channel alone). AVX2 only (the SSE2 build uses lookup tables, which are as
// fast there). Returns the pixels done (a multiple of 8).
int Contrast32Avx2(uint8_t* row, int pixels, const std::array<int16_t, 4>& c);

// Per-byte "add then clamp or wrap" of a repeating pattern of bytesPerPixel channels:
// b := clamp((b + wrap[c]) mod 256 + up[c] - down[c]). Returns the bytes done.
struct AddPattern {
  std::array<uint8_t, 4> wrap{}, up{}, down{};
};
int AddBytes(uint8_t* row, int bytes, int bytesPerPixel, const AddPattern& pattern);

// Reverses the order of 32-bit pixels of src into dst (distinct rows). Returns pixels done,
// counted from the start of src (written at the end of dst).
int Reverse32(const uint8_t* src, uint8_t* dst, int pixels);

// One 4 x 4 block of a quarter turn of 32-bit pixels: src points at the block's top-left
// pixel; dst[k] at the first of the four pixels that source column k becomes. Always inline, as
// it runs once per 16 pixels, and so it takes the instruction forms of its caller's target.
// With Stream the blocks are written around the cache (every dst[k] 16-byte aligned; the
// caller fences once at the end): a turned frame is not read again soon, and writing it
// through the cache first reads every destination line from memory.
template <bool Stream = false>
__attribute__((always_inline)) inline void QuarterBlock32(const uint8_t* src, int srcStride, uint8_t* const dst[4],
                                                         bool counterClockwise) {
  const __m128i r0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
  const __m128i r1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + srcStride));
  const __m128i r2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * srcStride));
  const __m128i r3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * srcStride));
  const __m128i t0 = _mm_unpacklo_epi32(r0, r1), t1 = _mm_unpacklo_epi32(r2, r3);
  const __m128i t2 = _mm_unpackhi_epi32(r0, r1), t3 = _mm_unpackhi_epi32(r2, r3);
  const __m128i col[4] = {_mm_unpacklo_epi64(t0, t1), _mm_unpackhi_epi64(t0, t1), _mm_unpacklo_epi64(t2, t3),
                          _mm_unpackhi_epi64(t2, t3)};
  // Turned left, column k is read downward into a row; turned right, upward.
#pragma GCC unroll 4
  for (int k = 0; k < 4; ++k) {
    const __m128i v = counterClockwise ? col[k] : _mm_shuffle_epi32(col[k], _MM_SHUFFLE(0, 1, 2, 3));
    if constexpr (Stream)
      _mm_stream_si128(reinterpret_cast<__m128i*>(dst[k]), v);
    else
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst[k]), v);
  }
}

}  // namespace engine::simd
