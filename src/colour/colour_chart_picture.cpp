#include "colour/colour_chart_picture.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <utility>
#include <vector>

#include "core/colour_conversions.h"

namespace {

// Grey ramp: black at x 3 to white at x 141, rows 4..17.
constexpr int kRampLeft = 3, kRampRight = 141, kRampTop = 4, kRampBottom = 17;
// Colour disc: centre pixel (74, 96), 145 pixels across (x 2..146, y 24..168).
constexpr double kDiscX = 74.0, kDiscY = 96.0, kDiscRadius = 72.5;
// The shadow is the disc moved 5 pixels down and right, so that it reaches
// the bitmap's right column (149) and bottom row (173); what shows of it is a
// crescent at the disc's lower right, thinning to nothing at the other two
// corners.
constexpr double kShadowX = 79.0, kShadowY = 101.0;
constexpr int kShadowDark = 210, kShadowLight = 242;

std::uint32_t GreyWord(int level) {
  const auto v = static_cast<std::uint32_t>(level);
  return 0xFF000000u | (v << 16) | (v << 8) | v;
}

// hue in degrees 0..360, saturation 0..1, full brightness.
std::uint32_t HueWord(double hue, double saturation) {
  const TColor colour = HsvDegreesToColor(hue, saturation, 1.0);
  return 0xFF000000u | ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

// Hue by angle, counter-clockwise on screen from red at the right; white at
// the centre, full saturation at the rim.
std::uint32_t DiscWord(double dx, double dy, double distance) {
  double hue = std::atan2(-dy, dx) * 180.0 / std::numbers::pi;
  if (hue < 0.0) hue += 360.0;
  return HueWord(hue, std::min(distance / kDiscRadius, 1.0));
}

// Darkest where the shadow is deepest, just outside the disc's lower right;
// fading out towards the crescent's outer edge and its tips.
std::uint32_t ShadowWord(double depthInShadow) {
  const double maxDepth = std::hypot(kShadowX - kDiscX, kShadowY - kDiscY);
  const double t = std::clamp(depthInShadow / maxDepth, 0.0, 1.0);
  return GreyWord(kShadowLight - static_cast<int>(std::lround(t * (kShadowLight - kShadowDark))));
}

std::uint32_t ChartWord(int x, int y) {
  if (x >= kRampLeft && x <= kRampRight && y >= kRampTop && y <= kRampBottom) {
    return GreyWord(static_cast<int>(std::lround(255.0 * (x - kRampLeft) / (kRampRight - kRampLeft))));
  }
  const double dx = x - kDiscX, dy = y - kDiscY;
  const double distance = std::hypot(dx, dy);
  if (distance <= kDiscRadius) return DiscWord(dx, dy, distance);
  const double shadowDistance = std::hypot(x - kShadowX, y - kShadowY);
  if (shadowDistance <= kDiscRadius) return ShadowWord(kDiscRadius - shadowDistance);
  return GreyWord(255);  // background and swatch area
}

}  // namespace

void DrawColourChart(TBitmap& bitmap) {
  std::vector<std::uint32_t> pixels;
  pixels.reserve(static_cast<std::size_t>(kChartWidth) * kChartHeight);
  for (int y = 0; y < kChartHeight; ++y) {
    for (int x = 0; x < kChartWidth; ++x) pixels.push_back(ChartWord(x, y));
  }
  TPixelFormat format;
  format.depth = 24;
  bitmap.Assign(kChartWidth, kChartHeight, format, std::move(pixels), {});
}
