// The process-wide random generator and its start-up seeding (see scMemUtils.h).
#include "engine/effects/scMemUtils.h"

#include <windows.h>

namespace engine {
namespace {

std::mutex& SeedMutex() {
  static std::mutex m;
  return m;
}

uint32_t gSeed = 0;  // guarded by SeedMutex()

uint32_t ClockSeed() {
  LARGE_INTEGER counter;
  if (::QueryPerformanceCounter(&counter) && counter.QuadPart != 0)
    return static_cast<uint32_t>(counter.QuadPart & 0xFFFFFFFFu);
  return ::GetTickCount();
}

// Seeds the generator when the program starts (any user of the generator links this file).
struct StartupSeeder {
  StartupSeeder() { Randomize(); }
} gStartupSeeder;

}  // namespace

uint32_t AdvanceSeed(uint32_t seed, uint64_t steps) {
  // The affine map s -> a*s + c, squared repeatedly.
  uint32_t a = kRandomMultiplier, c = 1u;
  uint32_t accA = 1u, accC = 0u;
  while (steps) {
    if (steps & 1u) {
      accA = a * accA;
      accC = a * accC + c;
    }
    c = a * c + c;
    a = a * a;
    steps >>= 1;
  }
  return accA * seed + accC;
}

uint32_t RandomSeed() {
  std::lock_guard<std::mutex> lock(SeedMutex());
  return gSeed;
}

void SetRandomSeed(uint32_t seed) {
  std::lock_guard<std::mutex> lock(SeedMutex());
  gSeed = seed;
}

void Randomize() { SetRandomSeed(ClockSeed()); }

uint32_t Random(uint32_t n) {
  std::lock_guard<std::mutex> lock(SeedMutex());
  gSeed = NextSeed(gSeed);
  return DrawFromSeed(gSeed, n);
}

RandomSession::RandomSession() : lock_(SeedMutex()), seed_(gSeed) {}

RandomSession::~RandomSession() { gSeed = seed_; }

}  // namespace engine
