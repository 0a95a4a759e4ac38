// The process-wide pseudo-random generator: a 32-bit linear congruential generator
// (Seed = Seed * 134775813 + 1 mod 2^32; a draw in [0, N) is the high half of the 64-bit
// product Seed * N). It is seeded once at start-up from the performance counter. The noise
// effect and the mirror probe draw from it on different threads, so the seed lives behind a
// lock: single draws take the lock per draw, and a RandomSession holds it for a whole effect,
// drawing from a local copy and storing the final seed back once.
#pragma once

#include <cstdint>
#include <mutex>

namespace engine {

inline constexpr uint32_t kRandomMultiplier = 134775813u;

// One step of the generator and the draw it yields.
inline uint32_t NextSeed(uint32_t seed) { return seed * kRandomMultiplier + 1u; }
inline uint32_t DrawFromSeed(uint32_t seed, uint32_t n) {
  return static_cast<uint32_t>((static_cast<uint64_t>(seed) * n) >> 32);
}

// The seed after `steps` steps from `seed`, in O(log steps).
uint32_t AdvanceSeed(uint32_t seed, uint64_t steps);

uint32_t RandomSeed();
void SetRandomSeed(uint32_t seed);
// Seeds from the low 32 bits of the performance counter (the tick count where there is none).
void Randomize();
// One draw in [0, n); 0 when n is 0. The generator advances one step in every case.
uint32_t Random(uint32_t n);

// Holds the generator for the length of one operation.
class RandomSession {
 public:
  RandomSession();
  ~RandomSession();
  RandomSession(const RandomSession&) = delete;
  RandomSession& operator=(const RandomSession&) = delete;

  uint32_t Draw(uint32_t n) {
    seed_ = NextSeed(seed_);
    return DrawFromSeed(seed_, n);
  }
  uint32_t seed() const { return seed_; }
  // For kernels that run the generator themselves and hand back where they ended.
  void set_seed(uint32_t seed) { seed_ = seed; }

 private:
  std::unique_lock<std::mutex> lock_;
  uint32_t seed_;
};

}  // namespace engine
