#include "core/span_writer.h"

#include <cstring>

namespace raster {

void SpanWriter::FillClipped(int y, int x0, int x1, std::uint32_t word) {
  for (const TRegion::Span& c : clip_->Row(y)) {
    const int a = std::max(x0, c.x0), b = std::min(x1, c.x1);
    if (a >= b) continue;
    FillRun(bitmap_.Announce(a, y, b, y + 1) + a, b - a, word);
    Grow(a, y, b, y + 1);
  }
}

void SpanWriter::FillBox(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                         std::uint32_t word) {
  const int left = static_cast<int>(std::max<std::int64_t>(x0, 0));
  const int right = static_cast<int>(std::min<std::int64_t>(x1, width_));
  const int top = static_cast<int>(std::max<std::int64_t>(y0, 0));
  const int bottom = static_cast<int>(std::min<std::int64_t>(y1, height_));
  if (left >= right || top >= bottom) return;
  if (clip_) {
    for (int y = top; y < bottom; ++y) FillClipped(y, left, right, word);
    return;
  }
  if (left == 0 && right == width_) return FillWholeRows(top, bottom, word);
  FillBlock(bitmap_.Announce(left, top, right, bottom) + left, static_cast<std::size_t>(width_),
            static_cast<std::size_t>(right - left), static_cast<std::size_t>(bottom - top), word);
  Grow(left, top, right, bottom);
}

void SpanWriter::FillWholeRows(int first, int last, std::uint32_t word) {
  if (first >= last) return;
  const auto count = static_cast<std::size_t>(last - first) * static_cast<std::size_t>(width_);
  FillWords(bitmap_.Announce(0, first, width_, last), count, word);
  Grow(0, first, width_, last);
}

void SpanWriter::Copy(int y, int x0, int x1, const std::uint32_t* from) {
  if (!clip_) {
    std::memcpy(bitmap_.Announce(x0, y, x1, y + 1) + x0, from, static_cast<std::size_t>(x1 - x0) * 4);
    Grow(x0, y, x1, y + 1);
    return;
  }
  for (const TRegion::Span& c : clip_->Row(y)) {
    const int a = std::max(x0, c.x0), b = std::min(x1, c.x1);
    if (a >= b) continue;
    std::memcpy(bitmap_.Announce(a, y, b, y + 1) + a, from + (a - x0), static_cast<std::size_t>(b - a) * 4);
    Grow(a, y, b, y + 1);
  }
}

void SpanWriter::Commit() {
  if (minX_ < maxX_) bitmap_.MarkDirty(Rect(minX_, minY_, maxX_, maxY_));
}

}  // namespace raster
