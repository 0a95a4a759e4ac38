// Internal to the effects: noise over runs of bytes that all take part, in draw order. Each
// byte b becomes clamp(b + r1 - r2), r1 and r2 the next two draws in [0, amount) of the
// generator, which runs from the seed given; seed() is where it stands afterwards.
#pragma once

#include <cstdint>

namespace engine {

class NoiseRuns {
 public:
  NoiseRuns(uint32_t seed, uint8_t amount) : seed_(seed), amount_(amount) {}
  void Apply(uint8_t* bytes, int count);
  uint32_t seed() const { return seed_; }

 private:
  uint32_t seed_;
  uint8_t amount_;
};

}  // namespace engine
