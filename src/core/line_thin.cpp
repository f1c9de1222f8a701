// One-pixel lines, and LineTo, which picks the kind of line by the pen.
#include "core/canvas.h"
#include "core/lines.h"
#include "core/pixel_watcher.h"

namespace raster {
namespace {

// The steps of a thin line: step i (first <= i < last) paints the pixel at
// major coordinate a0 + step i and minor coordinate b0 + floor((2 db i + n) / 2n),
// the minor one carried as b and its remainder r.
struct ThinLine {
  bool xMajor;
  std::int64_t a0, step, twoN, twoDb;
  std::int64_t first, last;  // the steps whose major coordinate lies on the bitmap
  std::int64_t b, r;         // at step `first`
  std::int64_t minorLimit;   // the bitmap's extent across the major axis

  // Moves b and r on by one step.
  void Advance() {
    r += twoDb;
    if (r >= twoN)
      r -= twoN, ++b;
    else if (r < 0)
      r += twoN, --b;
  }
};

// Sets up the walk from (x0, y0) to (x1, y1); false when no step lies on the bitmap.
bool StartThinLine(ThinLine& l, const SpanWriter& out, std::int64_t x0, std::int64_t y0, std::int64_t x1,
                   std::int64_t y1) {
  l.xMajor = std::abs(x1 - x0) >= std::abs(y1 - y0);
  l.a0 = l.xMajor ? x0 : y0;
  const std::int64_t b0 = l.xMajor ? y0 : x0;
  const std::int64_t da = l.xMajor ? x1 - x0 : y1 - y0, db = l.xMajor ? y1 - y0 : x1 - x0;
  const std::int64_t n = std::abs(da);
  l.step = da < 0 ? -1 : 1;
  if (n == 0) return false;
  const std::int64_t limit = l.xMajor ? out.Width() : out.Height();
  l.first = std::max<std::int64_t>(l.step > 0 ? -l.a0 : l.a0 - (limit - 1), 0);
  l.last = std::min(l.step > 0 ? limit - l.a0 : l.a0 + 1, n);
  if (l.first >= l.last) return false;
  l.twoN = 2 * n;
  l.twoDb = 2 * db;
  l.minorLimit = l.xMajor ? out.Height() : out.Width();
  std::int64_t q = 0;
  l.r = n;  // at i = 0
  if (l.first != 0) {
    std::int64_t num;
    if (!__builtin_mul_overflow(l.twoDb, l.first, &num) && !__builtin_add_overflow(num, n, &num)) {
      q = FloorDiv(num, l.twoN);
      l.r = num - q * l.twoN;
    } else {
      const Wide wide = Wide(l.twoDb) * l.first + n;
      q = static_cast<std::int64_t>(FloorDiv<Wide>(wide, l.twoN));
      l.r = static_cast<std::int64_t>(wide - Wide(q) * l.twoN);
    }
  }
  l.b = b0 + q;
  return true;
}

// The first and last pixels painted: both coordinates move one way only, so
// they bound everything painted between.
struct Painted {
  std::int64_t a0 = -1, b0 = 0, a1 = 0, b1 = 0;
  void Add(std::int64_t a, std::int64_t b) {
    if (a0 < 0) a0 = a, b0 = b;
    a1 = a;
    b1 = b;
  }
};

// Paints steps i <= k < end, which lie within one tile along the major axis,
// where no clip region cuts the line and every step's pixel is on the bitmap:
// announces the box the steps can reach (at most two tiles), then steps an
// index through it.
void PaintOpenPiece(SpanWriter& out, ThinLine& l, std::int64_t i, std::int64_t end, std::uint32_t word,
                    Painted& painted) {
  const std::int64_t len = end - i, a0 = l.a0 + l.step * i, a1 = a0 + l.step * (len - 1);
  // The minor coordinate moves at most one pixel a step, in db's direction.
  const std::int64_t b0 = l.twoDb >= 0 ? l.b : l.b - (len - 1), b1 = b0 + len;
  const std::int64_t aLo = std::min(a0, a1), aHi = std::max(a0, a1) + 1;
  const std::int64_t stride = out.Stride();
  std::uint32_t* const base = l.xMajor ? out.AnnounceBox(static_cast<int>(aLo), static_cast<int>(b0),
                                                         static_cast<int>(aHi), static_cast<int>(b1))
                                       : out.AnnounceBox(static_cast<int>(b0), static_cast<int>(aLo),
                                                         static_cast<int>(b1), static_cast<int>(aHi));
  const std::int64_t majorStep = l.xMajor ? l.step : l.step * stride, minorStep = l.xMajor ? stride : 1;
  std::int64_t index = l.xMajor ? (l.b - b0) * stride + a0 : (a0 - aLo) * stride + l.b;
  painted.Add(a0, l.b);
  for (std::int64_t k = 0; k < len; ++k) {
    base[index] = word;
    if (k + 1 == len) painted.Add(a1, l.b);
    index += majorStep;
    l.r += l.twoDb;
    if (l.r >= l.twoN)
      l.r -= l.twoN, ++l.b, index += minorStep;
    else if (l.r < 0)
      l.r += l.twoN, --l.b, index -= minorStep;
  }
}

// The same where a clip region or the bitmap's edge may cut the steps:
// gathers the pixels that are painted first, then announces the box around
// them and writes them.
void PaintCutPiece(SpanWriter& out, ThinLine& l, std::int64_t i, std::int64_t end, std::uint32_t word,
                   Painted& painted) {
  struct Pixel {
    int x, y;
  };
  Pixel pixels[TPixelWatcher::kTileSize];
  int count = 0;
  const TRegion* clip = out.Clip();
  for (std::int64_t k = i, a = l.a0 + l.step * i; k < end; ++k, a += l.step) {
    if (l.b >= 0 && l.b < l.minorLimit) {
      const int x = static_cast<int>(l.xMajor ? a : l.b), y = static_cast<int>(l.xMajor ? l.b : a);
      if (!clip || clip->Contains(x, y)) {
        pixels[count++] = {x, y};
        painted.Add(a, l.b);
      }
    }
    l.Advance();
  }
  if (count == 0) return;
  // Both coordinates move one way only: the first and last pixel span the box.
  const Pixel first = pixels[0], last = pixels[count - 1];
  const int left = std::min(first.x, last.x), top = std::min(first.y, last.y);
  std::uint32_t* const base =
      out.AnnounceBox(left, top, std::max(first.x, last.x) + 1, std::max(first.y, last.y) + 1);
  const std::int64_t stride = out.Stride();
  for (int p = 0; p < count; ++p) base[(pixels[p].y - top) * stride + pixels[p].x] = word;
}

void PaintPiece(SpanWriter& out, ThinLine& l, std::int64_t i, std::int64_t end, std::uint32_t word,
                Painted& painted) {
  const std::int64_t len = end - i;
  const bool onBitmap =
      l.twoDb >= 0 ? l.b >= 0 && l.b + len <= l.minorLimit : l.b - (len - 1) >= 0 && l.b < l.minorLimit;
  if (!out.Clip() && onBitmap)
    PaintOpenPiece(out, l, i, end, word, painted);
  else
    PaintCutPiece(out, l, i, end, word, painted);
}

}  // namespace

// The other coordinate is rounded with halves going down-right (towards +x or
// +y) whichever way the line runs, so A to B and B to A cover the same
// pixels. The end pixel is left out, so that segments chain without doubling
// a pixel:
//
//   from (0,0) to (5,2):  ##....
//                         ..##..
//                         ....#.   (5,2) itself stays clear
void DrawThinLine(SpanWriter& out, std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                  std::uint32_t word) {
  ThinLine l;
  if (!StartThinLine(l, out, x0, y0, x1, y1)) return;
  // Pieces end where the major coordinate crosses into the next tile.
  constexpr std::int64_t kTileMask = TPixelWatcher::kTileSize - 1;
  Painted painted;
  for (std::int64_t i = l.first; i < l.last;) {
    const std::int64_t a = l.a0 + l.step * i;
    const std::int64_t end =
        std::min(l.last, i + (l.step > 0 ? kTileMask + 1 - (a & kTileMask) : (a & kTileMask) + 1));
    PaintPiece(out, l, i, end, word, painted);
    i = end;
  }
  if (painted.a0 < 0) return;
  const auto lo = [](std::int64_t u, std::int64_t v) { return static_cast<int>(std::min(u, v)); };
  const auto hi = [](std::int64_t u, std::int64_t v) { return static_cast<int>(std::max(u, v)) + 1; };
  const std::int64_t a0 = painted.a0, a1 = painted.a1, b0 = painted.b0, b1 = painted.b1;
  if (l.xMajor)
    out.Grow(lo(a0, a1), lo(b0, b1), hi(a0, a1), hi(b0, b1));
  else
    out.Grow(lo(b0, b1), lo(a0, a1), hi(b0, b1), hi(a0, a1));
}

}  // namespace raster

void TCanvas::LineTo(int x, int y) {
  const int fromX = penX_, fromY = penY_;
  penX_ = x;
  penY_ = y;
  raster::SpanWriter out(owner_, clip_.get());
  const std::uint32_t word = owner_.StoredPixel(pen_.Color());
  if (pen_.Width() <= 1)
    raster::DrawThinLine(out, fromX, fromY, x, y, word);
  else
    raster::DrawWideLine(
        out, {fromX, fromY, x, y, std::min<std::int64_t>(pen_.Width(), raster::kMaxPenWidth)}, word);
  out.Commit();
}
