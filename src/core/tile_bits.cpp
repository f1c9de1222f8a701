#include "core/tile_bits.h"

#include <algorithm>

void TTileBits::Reset(int width, int height, bool set) {
  const std::size_t columns = static_cast<std::size_t>(std::max(width, 0) + kTileSize - 1) / kTileSize;
  const std::size_t rows = static_cast<std::size_t>(std::max(height, 0) + kTileSize - 1) / kTileSize;
  const std::size_t perRow = (columns + 63) / 64;
  words_.assign(rows * perRow, set ? ~std::uint64_t{0} : 0);
  wordsPerRow_ = perRow;
}
