#include "core/environment_number.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string_view>

std::uint64_t NumberFromEnvironment(const TEnvironmentNumber& number) {
  const char* text = std::getenv(number.name);
  if (text == nullptr) return number.fallback;
  const std::string_view digits(text);
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  const bool whole = !digits.empty() && end == digits.data() + digits.size() &&
                     (error == std::errc() || error == std::errc::result_out_of_range);
  if (error == std::errc::result_out_of_range) value = number.most;
  if (!whole || value < number.least) {
    std::fprintf(stderr, "daubix: %s=\"%s\" is not a whole number from %llu to %llu; %llu is used\n",
                 number.name, text, static_cast<unsigned long long>(number.least),
                 static_cast<unsigned long long>(number.most),
                 static_cast<unsigned long long>(number.fallback));
    return number.fallback;
  }
  return std::min(value, number.most);
}

std::uint64_t PhysicalMemoryBytes() {
  const long pages = ::sysconf(_SC_PHYS_PAGES), pageSize = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return std::numeric_limits<std::uint64_t>::max();
  return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}
