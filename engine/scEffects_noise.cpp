// The noise kernel over runs of bytes (see scEffects_noise.h).
#include "engine/scEffects_noise.h"

#include "engine/scMemUtils.h"

namespace engine {

void NoiseRuns::Apply(uint8_t* bytes, int count) {
  if (amount_ == 0) {  // every draw is 0, yet the generator moves on
    seed_ = AdvanceSeed(seed_, static_cast<uint64_t>(count) * 2);
    return;
  }
  uint32_t s = seed_;
  for (int i = 0; i < count; ++i) {
    s = NextSeed(s);
    const int r1 = static_cast<int>(DrawFromSeed(s, amount_));
    s = NextSeed(s);
    const int r2 = static_cast<int>(DrawFromSeed(s, amount_));
    const int v = bytes[i] + r1 - r2;
    bytes[i] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
  }
  seed_ = s;
}

}  // namespace engine
