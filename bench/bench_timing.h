// The clock and the cold-copy yardstick the benchmarks share.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

namespace bench {

inline double NowMsPrecise() {
  static LARGE_INTEGER freq = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER c;
  ::QueryPerformanceCounter(&c);
  return static_cast<double>(c.QuadPart) * 1000.0 / static_cast<double>(freq.QuadPart);
}

// Called through a volatile pointer, so the compiler cannot drop copies whose result is unused.
inline void* (*volatile gCopy)(void*, const void*, size_t) = std::memcpy;

// Mean ms of one memcpy of `bytes`, cycling through `pairs` source/target pairs: one pair stays
// in the processor's cache, six (over 100 MB at full size) do not.
inline double MemcpyMs(size_t bytes, int rounds, int pairs) {
  std::vector<std::vector<BYTE>> from(pairs, std::vector<BYTE>(bytes, 0x5A)), to(pairs, std::vector<BYTE>(bytes));
  for (int p = 0; p < pairs; ++p) gCopy(to[p].data(), from[p].data(), bytes);  // touch every page first
  double start = NowMsPrecise();
  for (int i = 0; i < rounds; ++i) gCopy(to[i % pairs].data(), from[i % pairs].data(), bytes);
  return (NowMsPrecise() - start) / rounds;
}

// Median ms of `runs` calls of fn, after one call that is not timed (page faults and first-use
// allocations are not what is measured).
inline double MedianMs(const std::function<void()>& fn, int runs) {
  fn();
  std::vector<double> t;
  for (int i = 0; i < runs; ++i) {
    const double start = NowMsPrecise();
    fn();
    t.push_back(NowMsPrecise() - start);
  }
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

}  // namespace bench
