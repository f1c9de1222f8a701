// Internals of the canvas drawing calls: the one definition of which pixels
// lie inside an ellipse, and the writer every call paints its spans through.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/surface.h"

namespace raster {

// Products of two 64-bit coordinates (GCC and Clang).
__extension__ typedef __int128 Wide;
__extension__ typedef unsigned __int128 UWide;

// Pixels x0 <= x < x1 of one row. 64-bit, so that boxes that a wide pen pushes
// past the 32-bit coordinate range stay exact.
struct Span {
  std::int64_t x0 = 0, x1 = 0;
  bool Empty() const { return x1 <= x0; }
};

// Smallest span holding both (an empty one counts as nothing).
inline Span Union(Span a, Span b) {
  if (a.Empty()) return b;
  if (b.Empty()) return a;
  return {std::min(a.x0, b.x0), std::max(a.x1, b.x1)};
}

// A box with its edges in order: left < right, top < bottom.
struct Box {
  std::int64_t left = 0, top = 0, right = 0, bottom = 0;
};

// The pixels of row y inside the ellipse inscribed in `box`: those whose
// centre (x + 0.5, y + 0.5) lies inside the ellipse or on it. Fills, outlines,
// round line ends, dots and path regions all take their pixels from here, so
// they agree wherever they meet. Sizes 1 to 6 give:
//
//   #   ##   ###   .##.   .###.   .####.
//       ##   ###   ####   #####   ######
//            ###   ####   #####   ######
//                  .##.   #####   ######
//                         .###.   ######
//                                 .####.
Span EllipseRowSpan(const Box& box, std::int64_t y);

// The same rows for boxes of one size w x h, kept for the last few sizes: a
// stroke draws many discs of one width, the brush cursor the same two
// outlines at every move. One at a time per thread: making another may reuse
// this one's rows.
class EllipseRows {
 public:
  EllipseRows(std::int64_t w, std::int64_t h);
  // Row y of the ellipse in `box` (a box of this size); empty outside it.
  Span At(const Box& box, std::int64_t y) const {
    const std::int64_t row = y - box.top;
    if (row < 0 || row >= h_) return {};
    const Span s = rows_ ? rows_[row] : EllipseRowSpan({0, 0, w_, h_}, row);
    return {s.x0 + box.left, s.x1 + box.left};
  }

 private:
  static constexpr std::int64_t kMaxCachedRows = 4096;
  static constexpr std::size_t kCachedSizes = 4;
  std::int64_t w_, h_;
  const Span* rows_ = nullptr;
};

// Stores `word` into p[0 .. n): vector stores, as wide as the processor has.
void FillWords(std::uint32_t* p, std::size_t n, std::uint32_t word);

// Paints spans into a bitmap, cut at its edges and at the clip region, and
// gathers the bounding box of what it changed for one MarkDirty at the end.
// Every span is announced to the bitmap's watcher before it is written.
class SpanWriter {
 public:
  SpanWriter(TBitmap& bitmap, const TRegion* clip)
      : bitmap_(bitmap),
        clip_(clip),
        watcher_(bitmap.Watcher()),
        width_(bitmap.Width()),
        height_(bitmap.Height()) {}
  int Width() const { return width_; }
  int Height() const { return height_; }

  void Fill(std::int64_t y, Span s, std::uint32_t word) {
    if (watcher_)
      FillSpan<true>(y, s, word);
    else
      FillSpan<false>(y, s, word);
  }
  // Fill, for loops that test for a watcher once, outside.
  template <bool kWatched>
  void FillSpan(std::int64_t y, Span s, std::uint32_t word) {
    if (y < 0 || y >= height_) return;
    const int x0 = static_cast<int>(std::max<std::int64_t>(s.x0, 0));
    const int x1 = static_cast<int>(std::min<std::int64_t>(s.x1, width_));
    if (x0 >= x1) return;
    if (clip_) return FillClipped(static_cast<int>(y), x0, x1, word);
    if constexpr (kWatched) Announce(x0, static_cast<int>(y), x1);
    FillRun(bitmap_.ScanLine(static_cast<int>(y)) + x0, x1 - x0, word);
    Grow(x0, static_cast<int>(y), x1);
  }
  // Fills the rows first <= y < last (all on the bitmap) with one span each,
  // taken in order from spanOfNextRow(), exactly as Fill would: the loop a
  // wide line spends its time in, with the watcher's test out of it.
  template <class SpanSource>
  void FillRows(int first, int last, SpanSource&& spanOfNextRow, std::uint32_t word) {
    if (clip_) {
      for (int y = first; y < last; ++y) Fill(y, spanOfNextRow(), word);
    } else if (watcher_) {
      FillRowsUnclipped<true>(first, last, spanOfNextRow, word);
    } else {
      FillRowsUnclipped<false>(first, last, spanOfNextRow, word);
    }
  }
  bool HasClip() const { return clip_ != nullptr; }
  // Writes straight into Row() are only for bitmaps nobody watches.
  bool Watched() const { return watcher_ != nullptr; }
  std::uint32_t* Row(int y) { return bitmap_.ScanLine(y); }
  // Adds the box x0 <= x < x1, y0 <= y < y1 to what changed.
  void Grow(int x0, int y0, int x1, int y1) {
    minX_ = std::min(minX_, x0);
    maxX_ = std::max(maxX_, x1);
    minY_ = std::min(minY_, y0);
    maxY_ = std::max(maxY_, y1);
  }
  // One pixel at (x, y) on the bitmap.
  void Plot(int x, int y, std::uint32_t word) {
    if (clip_ && !clip_->Contains(x, y)) return;
    Announce(x, y, x + 1);
    bitmap_.ScanLine(y)[x] = word;
    Grow(x, y, x + 1);
  }
  // Copies words into row y, x0 <= x < x1 (inside the bitmap); from[0] goes to x0.
  void Copy(int y, int x0, int x1, const std::uint32_t* from);
  // Marks the changed bounding box dirty, once.
  void Commit();

 private:
  // Short runs, as thin lines paint them, without a call.
  static void FillRun(std::uint32_t* p, int n, std::uint32_t word) {
#if defined(__SSE2__)
    if (n >= 4 && n <= 32) {
      // Four words a store; the last store ends at the run's end, overlapping.
      const __m128i v = _mm_set1_epi32(static_cast<int>(word));
      for (int i = 0; i < n - 4; i += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), v);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(p + n - 4), v);
      return;
    }
#endif
    if (n > 8) return FillWords(p, static_cast<std::size_t>(n), word);
    for (int i = 0; i < n; ++i) p[i] = word;
  }
  void FillClipped(int y, int x0, int x1, std::uint32_t word);
  template <bool kWatched, class SpanSource>
  void FillRowsUnclipped(int first, int last, SpanSource& spanOfNextRow, std::uint32_t word) {
    int minX = INT32_MAX, maxX = INT32_MIN, top = INT32_MAX, bottom = INT32_MIN;
    std::uint32_t* row = bitmap_.ScanLine(first);
    for (int y = first; y < last; ++y, row += width_) {
      const Span s = spanOfNextRow();
      const int x0 = static_cast<int>(std::max<std::int64_t>(s.x0, 0));
      const int x1 = static_cast<int>(std::min<std::int64_t>(s.x1, width_));
      if (x0 >= x1) continue;
      if constexpr (kWatched) watcher_->BeforeWrite(x0, y, x1, y + 1);
      FillRun(row + x0, x1 - x0, word);
      minX = std::min(minX, x0);
      maxX = std::max(maxX, x1);
      top = std::min(top, y);
      bottom = y + 1;
    }
    if (top < bottom) Grow(minX, top, maxX, bottom);
  }
  void Grow(int x0, int y, int x1) {
    Grow(x0, y, x1, y + 1);
  }
  void Announce(int x0, int y, int x1) {
    if (watcher_) watcher_->BeforeWrite(x0, y, x1, y + 1);
  }
  TBitmap& bitmap_;
  const TRegion* clip_;
  TPixelWatcher* watcher_;
  int width_, height_;
  int minX_ = INT32_MAX, minY_ = INT32_MAX, maxX_ = INT32_MIN, maxY_ = INT32_MIN;
};

// Rows top <= y < bottom that lie on the bitmap, as [first, last).
struct RowRange {
  std::int64_t first, last;
};
inline RowRange VisibleRows(const SpanWriter& out, std::int64_t top, std::int64_t bottom) {
  return {std::max<std::int64_t>(top, 0), std::min<std::int64_t>(bottom, out.Height())};
}

}  // namespace raster
