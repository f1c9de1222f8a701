#include "core/colour_conversions.h"

#include <algorithm>
#include <cmath>

#include "core/rounding.h"

namespace {
long double Clamp01(long double c) {
  return std::min(1.0L, std::max(0.0L, c));
}
}  // namespace

TColor RgbFloatToColor(double red, double green, double blue) {
  const auto byte = [](double c) { return static_cast<TColor>(Round(Clamp01(c) * 255.0L)); };
  return byte(red) + byte(green) * 0x100 + byte(blue) * 0x10000;
}

TColor HsvToColor(std::int32_t hue, double saturation, double value) {
  std::int32_t h = hue % 360;
  while (h < 0) h += 360;
  return HsvDegreesToColor(h, saturation, value);
}

TColor HsvDegreesToColor(long double hue, double saturation, double value) {
  long double h = std::fmod(hue, 360.0L);
  if (h < 0) h += 360.0L;
  const double s = static_cast<double>(Clamp01(saturation));
  const double v = static_cast<double>(Clamp01(value));
  if (s == 0.0) return RgbFloatToColor(v, v, v);
  const int sector = static_cast<int>(std::floor(h / 60.0L)) % 6;
  const long double f = h / 60.0L - sector;
  // p, q and t are held as doubles, as the channels are passed on.
  const double p = static_cast<double>((1.0L - s) * v);
  const double q = static_cast<double>((1.0L - f * s) * v);
  const double t = static_cast<double>((1.0L - (1.0L - f) * s) * v);
  switch (sector) {
    case 0:
      return RgbFloatToColor(v, t, p);
    case 1:
      return RgbFloatToColor(q, v, p);
    case 2:
      return RgbFloatToColor(p, v, t);
    case 3:
      return RgbFloatToColor(p, q, v);
    case 4:
      return RgbFloatToColor(t, p, v);
    default:
      return RgbFloatToColor(v, p, q);
  }
}

TColor HueRampColor(int i, int steps) {
  const long double a = static_cast<long double>(i) / steps;
  // In this order, in extended precision: subtract, / 60, x 255 rising;
  // subtract, x 255, / 60 falling.
  const auto rising = [](long double past) { return static_cast<int>(Round(past / 60 * 255)); };
  const auto falling = [](long double past) { return 255 - static_cast<int>(Round(past * 255 / 60)); };
  const int s = steps;
  int red, green, blue;
  if (i <= 60 * s || i >= 300 * s)
    red = 255;
  else if (i > 120 * s && i <= 240 * s)
    red = 0;
  else if (i > 240 * s)
    red = rising(a - 240);
  else
    red = falling(a - 60);
  if (i >= 60 * s && i <= 180 * s)
    green = 255;
  else if (i > 240 * s)
    green = 0;
  else if (i < 60 * s)
    green = rising(a);
  else
    green = falling(a - 180);
  if (i >= 180 * s && i <= 300 * s)
    blue = 255;
  else if (i < 120 * s)
    blue = 0;
  else if (i < 180 * s)
    blue = rising(a - 120);
  else
    blue = falling(a - 300);
  return red + green * 0x100 + blue * 0x10000;
}

void SplitColor(TColor color, std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue) {
  const auto u = static_cast<std::uint32_t>(color);
  red = static_cast<std::uint8_t>(u & 0xFF);
  green = static_cast<std::uint8_t>((u >> 8) & 0xFF);
  blue = static_cast<std::uint8_t>((u >> 16) & 0xFF);
}

void ColorToHsv(int red, int green, int blue, int& hue, int& saturation, int& value) {
  const int max = std::max({red, green, blue});
  const int min = std::min({red, green, blue});
  if (max == 0) {
    saturation = 0;
    value = 0;
    return;
  }
  saturation = static_cast<int>(Round(static_cast<long double>((max - min) * 255) / max));
  if (max != min) {
    const long double d = max - min;
    if (red == max)
      hue = static_cast<int>(Round(static_cast<long double>((green - blue) * 60) / d));
    else if (green == max)
      hue = static_cast<int>(Round(((blue - red) / d + 2.0L) * 60.0L));
    else
      hue = static_cast<int>(Round(((red - green) / d + 4.0L) * 60.0L));
    if (hue < 0) hue += 360;
  }
  value = max;
}
