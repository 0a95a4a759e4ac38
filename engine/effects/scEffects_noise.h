// Internal to the effects: the noise kernel. Each byte b that takes part becomes
// clamp(b + r1 - r2), r1 and r2 the next two draws in [0, amount) of the generator, bytes in
// draw order (rows top to bottom, pixels left to right, channels in byte order).
#pragma once

#include <cstddef>
#include <cstdint>

namespace engine {

// Noise over runs of bytes that all take part, from the seed given; seed() is where the
// generator stands afterwards.

class NoiseRuns {
 public:
  NoiseRuns(uint32_t seed, uint8_t amount) : seed_(seed), amount_(amount) {}
  void Apply(uint8_t* bytes, int count);
  uint32_t seed() const { return seed_; }

 private:
  uint32_t seed_;
  uint8_t amount_;
};

// The rows of a bitmap that noise runs over: row y starts at first + y * stride; in each pixel
// of bytesPerPixel bytes, byte c takes part when bit c of channels is set.
struct NoiseRows {
  uint8_t* first = nullptr;
  ptrdiff_t stride = 0;
  int width = 0, height = 0, bytesPerPixel = 4;
  unsigned channels = 0xF;
};

// Noise over every row from seed; returns where the generator stands afterwards. The rows are
// split into `bands` bands that run side by side on the effect workers, each from the seed
// the serial walk has at its first row: the bytes and the final seed are those of one walk,
// whatever the split.
uint32_t ApplyNoise(const NoiseRows& rows, uint32_t seed, uint8_t amount, int bands);

}  // namespace engine
