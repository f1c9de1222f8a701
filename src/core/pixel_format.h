// How colours map onto the pixel formats a bitmap can have: exact 32-bit,
// colour tables, and 16/32-bit channel masks.
#pragma once

#include <cstdint>
#include <vector>

#include "core/colour.h"

// How a bitmap read from a file stores its pixels; the program's own bitmaps
// are 32-bit with every colour exact.
struct TPixelFormat {
  int depth = 32;                  // 1, 4, 8, 16, 24 or 32
  std::vector<TColor> colorTable;  // depths of 8 or fewer
  // Channel masks for 16 and 32 bits (red, green, blue); 0x7C00, 0x3E0, 0x1F
  // for plain 16-bit files.
  std::uint32_t masks[3] = {0xFF0000, 0xFF00, 0xFF};
  bool bitFields = false;   // written with compression 3 and the masks
  bool coreHeader = false;  // written back with the 12-byte header
  friend bool operator==(const TPixelFormat&, const TPixelFormat&) = default;
  // Every colour is stored exactly: no table, no narrow channels.
  bool StoresEveryColour() const { return (depth == 32 && !bitFields) || depth == 24; }
};

// Number of set bits and shift of a channel mask.
struct TMaskChannel {
  int shift = 0;
  int bits = 0;
};
TMaskChannel DescribeMask(std::uint32_t mask);

// Widens a channel value of `bits` bits to 0..255 (nearest of value * 255 / max).
std::uint8_t ExpandChannel(std::uint32_t value, int bits);
// The channel value of `bits` bits whose widening is nearest to c; widening it
// again gives c exactly when bits >= 8.
std::uint32_t NearestChannelValue(std::uint8_t c, int bits);

// The stored word (0xFFRRGGBB) nearest to the plain colour rgb (0x00BBGGRR)
// that the format can hold.
std::uint32_t ReduceToFormat(const TPixelFormat& format, TColor rgb);

// Index of the colour-table entry nearest to rgb (first of equals).
int NearestTableIndex(const std::vector<TColor>& table, TColor rgb);
