// The writer every drawing call paints through: it cuts spans at the
// bitmap's edges and at the clip region, announces each to the bitmap's
// watcher before writing it, and gathers the box of what changed for one
// MarkDirty at the end. No drawing code reaches pixels any other way.
#pragma once

#include <climits>
#include <cstdint>

#include "core/bitmap.h"
#include "core/fill_kernels.h"
#include "core/raster.h"
#include "core/region.h"

namespace raster {

class SpanWriter {
 public:
  SpanWriter(TBitmap& bitmap, const TRegion* clip)
      : bitmap_(bitmap), clip_(clip), width_(bitmap.Width()), height_(bitmap.Height()) {}
  int Width() const { return width_; }
  int Height() const { return height_; }
  const TRegion* Clip() const { return clip_; }

  void Fill(std::int64_t y, Span s, std::uint32_t word) {
    if (y < 0 || y >= height_) return;
    const int x0 = static_cast<int>(std::max<std::int64_t>(s.x0, 0));
    const int x1 = static_cast<int>(std::min<std::int64_t>(s.x1, width_));
    if (x0 >= x1) return;
    if (clip_) return FillClipped(static_cast<int>(y), x0, x1, word);
    FillRun(bitmap_.Announce(x0, static_cast<int>(y), x1, static_cast<int>(y) + 1) + x0, x1 - x0, word);
    Grow(x0, static_cast<int>(y), x1, static_cast<int>(y) + 1);
  }
  // Fills the rows first <= y < last (all on the bitmap) with one span each,
  // taken in order from spanOfNextRow(), exactly as Fill would: the loop a
  // wide line spends its time in. Both edges of the spans move one way (a
  // band between two parallel lines), so a run of rows lies within the hull
  // of its first and last span. Rows go by the tile row, each tile row's box
  // announced once.
  template <class SpanSource>
  void FillRows(int first, int last, SpanSource&& spanOfNextRow, std::uint32_t word) {
    if (clip_) {
      for (int y = first; y < last; ++y) Fill(y, spanOfNextRow(), word);
      return;
    }
    Span spans[TPixelWatcher::kTileSize];
    for (int y = first; y < last;) {
      const int n = std::min(last, (y | (TPixelWatcher::kTileSize - 1)) + 1) - y;
      for (int k = 0; k < n; ++k) spans[k] = spanOfNextRow();
      const Span hull{std::min(spans[0].x0, spans[n - 1].x0), std::max(spans[0].x1, spans[n - 1].x1)};
      if (hull.x0 >= 0 && hull.x1 <= width_ && spans[0].x0 < spans[0].x1 &&
          spans[n - 1].x0 < spans[n - 1].x1) {
        // Every row on the bitmap and painted: no cutting, one box.
        std::uint32_t* row = bitmap_.Announce(static_cast<int>(hull.x0), y, static_cast<int>(hull.x1), y + n);
        for (int k = 0; k < n; ++k, row += width_)
          FillRun(row + spans[k].x0, static_cast<int>(spans[k].x1 - spans[k].x0), word);
        Grow(static_cast<int>(hull.x0), y, static_cast<int>(hull.x1), y + n);
      } else {
        for (int k = 0; k < n; ++k) Fill(y + k, spans[k], word);
      }
      y += n;
    }
  }
  // The box x0 <= x < x1, y0 <= y < y1 (cut at the bitmap's edges and at the clip region).
  void FillBox(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, std::uint32_t word);
  // Copies words into row y, x0 <= x < x1 (inside the bitmap); from[0] goes to x0.
  void Copy(int y, int x0, int x1, const std::uint32_t* from);

  // The box x0 <= x < x1, y0 <= y < y1 on the bitmap, announced as a whole,
  // for a caller that writes only inside it and tells Grow (or the bitmap's
  // MarkDirty) what it wrote:
  // row y0, with rows Stride() words apart.
  std::uint32_t* AnnounceBox(int x0, int y0, int x1, int y1) { return bitmap_.Announce(x0, y0, x1, y1); }
  std::int64_t Stride() const { return width_; }
  // Adds the box x0 <= x < x1, y0 <= y < y1 to what changed.
  void Grow(int x0, int y0, int x1, int y1) {
    minX_ = std::min(minX_, x0);
    maxX_ = std::max(maxX_, x1);
    minY_ = std::min(minY_, y0);
    maxY_ = std::max(maxY_, y1);
  }
  // Marks the changed bounding box dirty, once.
  void Commit();

 private:
  void FillClipped(int y, int x0, int x1, std::uint32_t word);
  // Rows first <= y < last whole (on the bitmap, no clip region): one run of the store.
  void FillWholeRows(int first, int last, std::uint32_t word);
  TBitmap& bitmap_;
  const TRegion* clip_;
  int width_, height_;
  int minX_ = INT_MAX, minY_ = INT_MAX, maxX_ = INT_MIN, maxY_ = INT_MIN;
};

// Rows top <= y < bottom that lie on the bitmap, as [first, last).
struct RowRange {
  std::int64_t first, last;
};
inline RowRange VisibleRows(const SpanWriter& out, std::int64_t top, std::int64_t bottom) {
  return {std::max<std::int64_t>(top, 0), std::min<std::int64_t>(bottom, out.Height())};
}

}  // namespace raster
