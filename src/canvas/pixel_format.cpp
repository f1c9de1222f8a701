#include "canvas/pixel_format.h"

#include <bit>
#include <cstdlib>
#include <limits>

TMaskChannel DescribeMask(std::uint32_t mask) {
  if (mask == 0) return {};
  TMaskChannel c;
  c.shift = std::countr_zero(mask);
  c.bits = std::popcount(mask >> c.shift);
  return c;
}

std::uint8_t ExpandChannel(std::uint32_t value, int bits) {
  if (bits <= 0) return 0;
  if (bits >= 8) return static_cast<std::uint8_t>(value >> (bits - 8));
  // Scale so that the largest value is 255 (bit replication).
  std::uint32_t out = 0;
  int filled = 0;
  while (filled < 8) {
    out = (out << bits) | value;
    filled += bits;
  }
  return static_cast<std::uint8_t>(out >> (filled - 8));
}

int NearestTableIndex(const std::vector<TColor>& table, TColor rgb) {
  const int r = rgb & 0xFF, g = (rgb >> 8) & 0xFF, b = (rgb >> 16) & 0xFF;
  int best = 0;
  int bestDistance = std::numeric_limits<int>::max();
  for (std::size_t i = 0; i < table.size(); ++i) {
    const int dr = (table[i] & 0xFF) - r, dg = ((table[i] >> 8) & 0xFF) - g,
              db = ((table[i] >> 16) & 0xFF) - b;
    const int d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = static_cast<int>(i);
      if (d == 0) break;
    }
  }
  return best;
}

namespace {
std::uint8_t NearestChannel(std::uint8_t c, int bits) {
  if (bits >= 8 || bits <= 0) return bits <= 0 ? 0 : c;
  const std::uint32_t max = (1u << bits) - 1;
  std::uint32_t v = (static_cast<std::uint32_t>(c) * max + 127) / 255;
  // Replication is not exactly linear: check the neighbours.
  std::uint8_t best = ExpandChannel(v, bits);
  for (std::uint32_t n : {v == 0 ? v : v - 1, v == max ? v : v + 1}) {
    const std::uint8_t e = ExpandChannel(n, bits);
    if (std::abs(e - c) < std::abs(best - c)) best = e;
  }
  return best;
}
}  // namespace

std::uint32_t ReduceToFormat(const TPixelFormat& format, TColor rgb) {
  if (format.depth <= 8) {
    if (format.colorTable.empty()) return 0xFF000000u;
    return ColorToWord(format.colorTable[static_cast<std::size_t>(NearestTableIndex(format.colorTable, rgb))]);
  }
  if (format.depth == 24) return ColorToWord(rgb);
  const int r = rgb & 0xFF, g = (rgb >> 8) & 0xFF, b = (rgb >> 16) & 0xFF;
  const std::uint8_t rr = NearestChannel(static_cast<std::uint8_t>(r), DescribeMask(format.masks[0]).bits);
  const std::uint8_t gg = NearestChannel(static_cast<std::uint8_t>(g), DescribeMask(format.masks[1]).bits);
  const std::uint8_t bb = NearestChannel(static_cast<std::uint8_t>(b), DescribeMask(format.masks[2]).bits);
  return 0xFF000000u | (std::uint32_t{rr} << 16) | (std::uint32_t{gg} << 8) | bb;
}
