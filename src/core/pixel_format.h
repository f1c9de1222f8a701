// How colours map onto the pixel formats a bitmap can have: exact 32-bit,
// colour tables, and 16/32-bit channel masks.
#pragma once

#include <cstdint>

#include "core/surface.h"

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
