#include "core/pixel_store.h"

#include <gtest/gtest.h>

namespace {

// Stretches filled by mapping, from an odd word to an odd word so that both
// ends fall inside pages: every word reads as the fill, a write changes only
// its own word in its own store, and words outside the stretch are kept.
TEST(PixelStore, MappedFillsReadAsTheWordAndWritesStayInTheirStore) {
  constexpr std::size_t kWords = std::size_t{6} << 20, kFirst = 1001, kCount = kWords - 2003;
  for (const std::uint32_t word : {0xFF123456u, 0u}) {
    TPixelStore a = TPixelStore::Filled(kWords, 7), b = TPixelStore::Filled(kWords, 7);
    a.FillByMapping(kFirst, kCount, word);
    b.FillByMapping(kFirst, kCount, word);
    a.Data()[kWords / 2] = 1;
    for (const std::size_t i : {std::size_t{0}, kFirst - 1, kFirst + kCount, kWords - 1})
      EXPECT_EQ(a.Data()[i], 7u) << i;
    for (const std::size_t i : {kFirst, kFirst + 1, kWords / 2 - 1, kWords / 2 + 1, kFirst + kCount - 1}) {
      EXPECT_EQ(a.Data()[i], word) << i;
      EXPECT_EQ(b.Data()[i], word) << i;
    }
    EXPECT_EQ(a.Data()[kWords / 2], 1u);
    EXPECT_EQ(b.Data()[kWords / 2], word);
  }
}

TEST(PixelStore, AllocationsOverTheTestLimitFailAsOutOfMemory) {
  PixelStoreTesting::FailAllocationsOver(1000);
  EXPECT_THROW(TPixelStore::Uninitialised(251), std::bad_alloc);
  EXPECT_EQ(TPixelStore::Uninitialised(250).Size(), 250u);
  PixelStoreTesting::FailAllocationsOver(std::nullopt);
  EXPECT_THROW(TPixelStore::Uninitialised(SIZE_MAX / 2), std::bad_alloc);
}

}  // namespace
