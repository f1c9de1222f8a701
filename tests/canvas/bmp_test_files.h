// Hand-made BMP files for the bitmap file tests.
#pragma once

#include <cstdint>
#include <vector>

struct TestBmp {
  std::uint32_t headerSize = 40;  // 12 writes the core header
  std::int32_t width = 1, height = 1;
  std::uint16_t planes = 1, depth = 24;
  std::uint32_t compression = 0, sizeImage = 0, clrUsed = 0;
  std::vector<std::uint32_t> masks;  // after a 40-byte header, inside a longer one
  std::vector<std::uint32_t> table;  // 0x00RRGGBB
  std::size_t gap = 0;               // bytes between colour table and pixels, counted in bfOffBits
  std::vector<std::uint8_t> pixels;
};
std::vector<std::uint8_t> MakeBmp(const TestBmp& spec);
