// Internals of the canvas drawing calls: the arithmetic they share and the one
// definition of which pixels lie inside an ellipse.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace raster {

// Products of two 64-bit coordinates (GCC and Clang).
__extension__ typedef __int128 Wide;
__extension__ typedef unsigned __int128 UWide;

// Pens wider than this are drawn at this width: 16 million pixels is wider
// than any bitmap, and the limit keeps every product below 2^127.
constexpr std::int64_t kMaxPenWidth = std::int64_t{1} << 24;

template <class Int>
Int FloorDiv(Int a, Int b) {  // b > 0
  const Int q = a / b;
  return (a % b != 0 && a < 0) ? q - 1 : q;
}

// floor(sqrt(v)) exactly.
std::int64_t Isqrt(UWide v);

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

}  // namespace raster
