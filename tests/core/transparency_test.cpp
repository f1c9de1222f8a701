// Rows converted for showing a transparent bitmap, against the plain rule.
#include "core/transparency.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

// Every length and start offset the vector loops treat differently, random
// words of which many carry the key colour under any top byte.
TEST(KeyedArgbTest, MatchesThePlainRuleForAnyLengthAndAlignment) {
  std::mt19937 random(7);
  for (int round = 0; round < 400; ++round) {
    const std::uint32_t key = round % 3 == 0 ? 0xFFFFFFu : random() & 0xFFFFFFu;
    const std::size_t n = random() % 80, offset = random() % 8;
    std::vector<std::uint32_t> from(n + offset), to(n + offset + 1, 0xDEADBEEFu);
    for (std::uint32_t& w : from) {
      const std::uint32_t top = random() << 24;
      switch (random() % 4) {
        case 0:
          w = top | key;
          break;
        case 1:
          w = top | (key ^ (1u << (random() % 24)));  // one bit from the key
          break;
        default:
          w = random();
      }
    }
    // A key with bits above the colour must not matter either.
    ToKeyedArgb(from.data() + offset, to.data() + offset, n, key | (random() << 24));
    for (std::size_t i = 0; i < offset; ++i) ASSERT_EQ(to[i], 0xDEADBEEFu) << "before the row";
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint32_t rgb = from[offset + i] & 0xFFFFFFu;
      ASSERT_EQ(to[offset + i], rgb == key ? 0u : 0xFF000000u | rgb) << "round " << round << ", pixel " << i;
    }
    ASSERT_EQ(to[offset + n], 0xDEADBEEFu) << "past the row";
  }
}
