// Whole numbers that tests and users may set through the environment.
#pragma once

#include <cstdint>

struct TEnvironmentNumber {
  const char* name;        // the variable
  std::uint64_t fallback;  // when unset or not a whole number
  std::uint64_t least;     // below this, the fallback is used
  std::uint64_t most;      // above this, this is used
};

// The variable's value as a whole number of decimal digits held to `most`;
// the fallback when it is unset. A value that is no such number (empty,
// signed, with a unit, below `least`) gives the fallback and one line on
// standard error, so that a typing error does not pass unnoticed.
std::uint64_t NumberFromEnvironment(const TEnvironmentNumber& number);

// The machine's physical memory in bytes; the largest value when unknown.
std::uint64_t PhysicalMemoryBytes();
