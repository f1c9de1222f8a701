// Rounding shared by every colour, size and layout rule.
#pragma once

#include <cmath>
#include <cstdint>

// Nearest integer, exact halves to the even neighbour, on an 80-bit value
// (2.5 gives 2, 3.5 gives 4). llrintl rounds in the current mode, which is
// to-nearest-even.
inline std::int64_t Round(long double x) {
  return std::llrintl(x);
}
