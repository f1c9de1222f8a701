// Conversions between TColor, channel bytes, floating RGB and HSV. Rounding
// is to nearest with halves to even, on 80-bit intermediates.
#pragma once

#include <cstdint>

#include "core/surface.h"

// Channels are clamped to 0..1.
TColor RgbFloatToColor(double red, double green, double blue);
// hue in degrees (any integer), saturation and value clamped to 0..1.
TColor HsvToColor(std::int32_t hue, double saturation, double value);
// The same for a hue of any real number of degrees; for a whole number it
// gives exactly what HsvToColor gives.
TColor HsvDegreesToColor(long double hue, double saturation, double value);
// The full-strength colour of the hue a = i / steps degrees by channel ramps:
// a rising channel is Round((a - start) / 60 x 255), a falling one
// 255 - Round((a - start) x 255 / 60), so a rising midpoint gives 128 and a
// falling one 127 (HsvToColor gives 128 for both). Ranges are decided on i,
// exactly.
TColor HueRampColor(int i, int steps);
void SplitColor(TColor color, std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue);
// hue 0..359 (left as passed for black and greys), saturation and value 0..255.
void ColorToHsv(int red, int green, int blue, int& hue, int& saturation, int& value);
