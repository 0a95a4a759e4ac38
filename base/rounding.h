// Rounding to the nearest whole number with halves going to the even neighbour
// (2.5 -> 2, 3.5 -> 4, -2.5 -> -2): the rounding every frame index and scaled size uses.
#pragma once

#include <cstdint>

namespace base {

// For values beyond the 64-bit range the result saturates.
int64_t RoundHalfEven(double value);

// Rounds num / den exactly, in integers (den must not be 0; a negative den is allowed).
int64_t RoundHalfEvenDiv(int64_t num, int64_t den);

}  // namespace base
