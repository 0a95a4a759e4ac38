// Rounding with halves going to the even neighbour.
#include "base/rounding.h"

#include <cmath>
#include <limits>

namespace base {

int64_t RoundHalfEven(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 9.2233720368547758e18) return std::numeric_limits<int64_t>::max();
  if (value <= -9.2233720368547758e18) return std::numeric_limits<int64_t>::min();
  double floor = std::floor(value);
  double diff = value - floor;
  int64_t f = static_cast<int64_t>(floor);
  if (diff > 0.5) return f + 1;
  if (diff < 0.5) return f;
  return (f % 2 == 0) ? f : f + 1;
}

int64_t RoundHalfEvenDiv(int64_t num, int64_t den) {
  if (den < 0) {
    num = -num;
    den = -den;
  }
  int64_t q = num / den;
  int64_t r = num % den;
  if (r < 0) {  // floor division
    q -= 1;
    r += den;
  }
  // Compare 2r with den without overflow: r < den.
  if (r > den - r) return q + 1;
  if (r < den - r) return q;
  return (q % 2 == 0) ? q : q + 1;
}

}  // namespace base
