// Stored rows of a BMP file widened into pixel words 0xFFRRGGBB: the inner
// loop of every load, and where its speed is won.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Stored words for every colour-table index.
using Palette = std::array<std::uint32_t, 256>;

// Turns one bit-field channel into 0..255.
class ChannelReader {
 public:
  explicit ChannelReader(std::uint32_t mask);
  std::uint32_t Read(std::uint32_t pixel) const {
    const std::uint32_t v = (pixel & mask_) >> shift_;
    return bits_ <= 8 ? narrow_[v] : Expanded(v);
  }

 private:
  std::uint32_t Expanded(std::uint32_t v) const;
  std::uint32_t mask_ = 0;
  int shift_ = 0, bits_ = 0;
  std::array<std::uint8_t, 256> narrow_{};  // for bits <= 8
};

struct RowDecoder {
  int depth;  // 1, 4, 8, 16, 24 or 32
  const Palette& palette;
  ChannelReader red, green, blue;
  bool plain32;  // 32 bits laid out 0x??RRGGBB: no channel arithmetic needed

  // The first n pixels of a stored row (whole bytes of it at src).
  void Decode(const std::uint8_t* src, std::uint32_t* dst, std::size_t n) const;
};
