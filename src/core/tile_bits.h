// One bit per 16 x 16 tile of a picture: which tiles the undo history keeps
// already, which ones changed since the last autosave.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class TTileBits {
 public:
  static constexpr int kTileShift = 4;
  static constexpr int kTileSize = 1 << kTileShift;  // pixels per side

  // Sized for a picture of width x height, every bit `set`; may throw std::bad_alloc.
  void Reset(int width, int height, bool set);
  bool SameShape(const TTileBits& other) const {
    return wordsPerRow_ == other.wordsPerRow_ && words_.size() == other.words_.size();
  }

  bool Tile(int tx, int ty) const { return (words_[Word(tx, ty)] >> (static_cast<unsigned>(tx) & 63)) & 1; }
  void Set(int tx, int ty) { words_[Word(tx, ty)] |= std::uint64_t{1} << (static_cast<unsigned>(tx) & 63); }
  // Whether every tile under pixels x0 <= x < x1, y0 <= y < y1 (a box on the
  // picture, not empty) is set: a test of a word or two per row of tiles.
  bool AllSet(int x0, int y0, int x1, int y1) const {
    const unsigned tx0 = static_cast<unsigned>(x0) >> kTileShift,
                   tx1 = static_cast<unsigned>(x1 - 1) >> kTileShift;
    const unsigned ty0 = static_cast<unsigned>(y0) >> kTileShift,
                   ty1 = static_cast<unsigned>(y1 - 1) >> kTileShift;
    for (unsigned ty = ty0; ty <= ty1; ++ty) {
      const std::uint64_t* row = words_.data() + ty * wordsPerRow_;
      for (unsigned w = tx0 >> 6; w <= tx1 >> 6; ++w) {
        std::uint64_t mask = ~std::uint64_t{0};
        if (w == tx0 >> 6) mask &= ~std::uint64_t{0} << (tx0 & 63);
        if (w == tx1 >> 6) mask &= ~std::uint64_t{0} >> (63 - (tx1 & 63));
        if ((row[w] & mask) != mask) return false;
      }
    }
    return true;
  }
  // Sets every bit that `other`, of the same shape, has set.
  void Merge(const TTileBits& other) {
    for (std::size_t i = 0; i < words_.size(); ++i) words_[i] |= other.words_[i];
  }

 private:
  std::size_t Word(int tx, int ty) const {
    return static_cast<std::size_t>(ty) * wordsPerRow_ + (static_cast<unsigned>(tx) >> 6);
  }
  std::vector<std::uint64_t> words_;
  std::size_t wordsPerRow_ = 0;
};
