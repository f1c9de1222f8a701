// Hand-made BMP files for the bitmap file tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/picture_test_util.h"

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
std::vector<std::uint8_t> MakeBmp(const TestBmp& sample);

// The picture helper's colours plus 'g' green and 'y' yellow.
const PictureLegend& Legend();

// Six colours of the sample: black, white, red, green, blue, yellow.
extern const TColor kTable4[6];
// A 5 x 3 picture using them all.
extern const std::vector<std::string> kSample;

// The sample held in the given format: drawn pixels are reduced to it.
void MakeSample(TBitmap& b, TPixelFormat format);
TPixelFormat Indexed(int depth, std::vector<TColor> table, bool core = false);
TPixelFormat Masked(int depth, std::uint32_t r, std::uint32_t g, std::uint32_t b, bool bitFields);
// kTable4 padded to 256 entries: a core header has no entry count, so its table is always full.
std::vector<TColor> FullTable();
