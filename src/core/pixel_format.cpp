#include "core/pixel_format.h"

#include <algorithm>
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
  if (bits == 8) return static_cast<std::uint8_t>(value);
  // Scale so that the largest value is 255, rounding to nearest: 5-bit 7 gives 58
  // (bit replication would give 57; the reference renderings of 16-bit files round).
  const std::uint64_t max = bits >= 32 ? 0xFFFFFFFFull : (std::uint64_t{1} << bits) - 1;
  const std::uint64_t v = std::min<std::uint64_t>(value, max);
  return static_cast<std::uint8_t>((v * 510 + max) / (2 * max));
}

std::uint32_t NearestChannelValue(std::uint8_t c, int bits) {
  if (bits <= 0) return 0;
  if (bits == 8) return c;
  const std::uint64_t max = bits >= 32 ? 0xFFFFFFFFull : (std::uint64_t{1} << bits) - 1;
  const auto v = static_cast<std::uint32_t>((c * max * 2 + 255) / 510);
  // Rounding both ways can miss by one step at narrow widths: check the neighbours.
  std::uint32_t best = v;
  for (std::uint32_t n : {v == 0 ? v : v - 1, v == max ? v : v + 1}) {
    if (std::abs(ExpandChannel(n, bits) - c) < std::abs(ExpandChannel(best, bits) - c)) best = n;
  }
  return best;
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

std::uint32_t ReduceToFormat(const TPixelFormat& format, TColor rgb) {
  if (format.depth <= 8) {
    if (format.colorTable.empty()) return 0xFF000000u;
    return ColorToWord(
        format.colorTable[static_cast<std::size_t>(NearestTableIndex(format.colorTable, rgb))]);
  }
  if (format.depth == 24) return ColorToWord(rgb);
  const int r = rgb & 0xFF, g = (rgb >> 8) & 0xFF, b = (rgb >> 16) & 0xFF;
  const auto reduce = [&](int c, int mask) {
    const int bits = DescribeMask(format.masks[mask]).bits;
    return ExpandChannel(NearestChannelValue(static_cast<std::uint8_t>(c), bits), bits);
  };
  const std::uint8_t rr = reduce(r, 0), gg = reduce(g, 1), bb = reduce(b, 2);
  return 0xFF000000u | (std::uint32_t{rr} << 16) | (std::uint32_t{gg} << 8) | bb;
}
