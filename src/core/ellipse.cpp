// Which pixels lie inside an ellipse, exactly, at any size.
#include <vector>

#include "core/raster.h"

namespace raster {

std::int64_t Isqrt(UWide v) {
  auto r = static_cast<std::int64_t>(std::sqrt(static_cast<long double>(v)));
  while (r > 0 && UWide(r) * UWide(r) > v) --r;
  while (UWide(r + 1) * UWide(r + 1) <= v) ++r;
  return r;
}

namespace {
// Largest doubled horizontal offset m of a pixel centre from the centre of an
// ellipse w x h, in a row whose doubled vertical offset is dy, with m of the
// parity that pixel centres have (w + 1); -1 when no centre of the row is
// inside. Inside means dx^2 h^2 + dy^2 w^2 <= w^2 h^2, so the test below is
// dx^2 h^2 <= w^2 (h^2 - dy^2): exact in 64 bits for w, h < 2^15, in 128 bits
// below 2^31, and in long double beyond.
std::int64_t EllipseHalfWidth(std::int64_t w, std::int64_t h, std::int64_t dy) {
  constexpr std::int64_t kSmall = std::int64_t{1} << 15, kExact = std::int64_t{1} << 31;
  std::int64_t m = 0;
  if (w < kExact && h < kExact)
    m = static_cast<std::int64_t>(static_cast<double>(w) * std::sqrt(static_cast<double>(h * h - dy * dy)) /
                                  static_cast<double>(h));
  if (w < kSmall && h < kSmall) {
    // Every product below stays under 2^60.
    const std::uint64_t h2 = static_cast<std::uint64_t>(h * h);
    const std::uint64_t rhs = static_cast<std::uint64_t>(w * w) * static_cast<std::uint64_t>(h * h - dy * dy);
    while (m > 0 && static_cast<std::uint64_t>(m * m) * h2 > rhs) --m;
    while (static_cast<std::uint64_t>((m + 1) * (m + 1)) * h2 <= rhs) ++m;
  } else if (w < kExact && h < kExact) {
    const UWide h2 = UWide(h * h);
    const UWide rhs = UWide(w * w) * UWide(h * h - dy * dy);
    while (m > 0 && UWide(m) * UWide(m) * h2 > rhs) --m;
    while (UWide(m + 1) * UWide(m + 1) * h2 <= rhs) ++m;
  } else {
    // Only boxes spanning more than half the coordinate range get here.
    const long double t = static_cast<long double>(dy) / static_cast<long double>(h);
    m = static_cast<std::int64_t>(static_cast<long double>(w) * std::sqrt(1.0L - t * t));
  }
  if (((m ^ (w + 1)) & 1) != 0) --m;
  return m;
}

}  // namespace

Span EllipseRowSpan(const Box& box, std::int64_t y) {
  const std::int64_t w = box.right - box.left, h = box.bottom - box.top;
  // Doubled offsets keep the half-pixel centres integral.
  const std::int64_t dy = 2 * y + 1 - (box.top + box.bottom);
  if (dy <= -h || dy >= h) return {};
  const std::int64_t m = EllipseHalfWidth(w, h, dy);
  if (m < 0) return {};
  const std::int64_t s = box.left + box.right - 1;  // s - m and s + m are even
  return {(s - m) / 2, (s + m) / 2 + 1};
}

namespace {

struct CachedEllipse {
  std::int64_t w = 0, h = 0;
  std::vector<Span> rows;
};

}  // namespace

EllipseRows::EllipseRows(std::int64_t w, std::int64_t h) : w_(w), h_(h) {
  if (h > kMaxCachedRows) return;
  thread_local CachedEllipse cache[kCachedSizes];
  thread_local std::size_t victim = 0;
  for (const CachedEllipse& c : cache)
    if (c.w == w && c.h == h) {
      rows_ = c.rows.data();
      return;
    }
  CachedEllipse& c = cache[victim];
  victim = (victim + 1) % kCachedSizes;
  c.rows.resize(static_cast<std::size_t>(h));
  for (std::int64_t y = 0; y < h; ++y) c.rows[static_cast<std::size_t>(y)] = EllipseRowSpan({0, 0, w, h}, y);
  c.w = w;
  c.h = h;
  rows_ = c.rows.data();
}

}  // namespace raster
