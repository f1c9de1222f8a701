// The canvas drawing calls that make shapes: rectangles, ellipses and lines.
// Every shape is built as one span per row and painted with a plain fill, so
// the cost is one fill per row plus a little arithmetic. Copies and path
// regions live in surface.cpp.
#include "core/raster.h"

#if defined(__x86_64__) || defined(__i386__)
#define DAUBIX_X86_FILL 1
#include <immintrin.h>
#endif

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace raster {
namespace {

// Pens wider than this are drawn at this width: 16 million pixels is wider
// than any bitmap, and the limit keeps every product below 2^127.
constexpr std::int64_t kMaxPenWidth = std::int64_t{1} << 24;

template <class Int>
Int FloorDiv(Int a, Int b) {  // b > 0
  const Int q = a / b;
  return (a % b != 0 && a < 0) ? q - 1 : q;
}

// floor(sqrt(v)) exactly.
std::int64_t Isqrt(UWide v) {
  auto r = static_cast<std::int64_t>(std::sqrt(static_cast<long double>(v)));
  while (r > 0 && UWide(r) * UWide(r) > v) --r;
  while (UWide(r + 1) * UWide(r + 1) <= v) ++r;
  return r;
}

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

#if DAUBIX_X86_FILL
namespace {

// Fills larger than this go to the processor's string store, as memset's do:
// it skips reading the lines first. Measured on this machine kind (EPYC), it
// matches memset where non-temporal vector stores reached only 80% of it.
constexpr std::size_t kStringStoreWords = std::size_t{1} << 21;  // 8 MB

void StringStore(std::uint32_t* p, std::size_t n, std::uint32_t word) {
  asm volatile("rep stosl" : "+D"(p), "+c"(n) : "a"(word) : "memory");
}

// Four unaligned vector stores per step, then one that ends exactly at the
// last word, overlapping what is already done.
__attribute__((target("avx2"))) void FillWordsAvx2(std::uint32_t* p, std::size_t n, std::uint32_t word) {
  const __m256i v = _mm256_set1_epi32(static_cast<int>(word));
  std::size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + i), v);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + i + 8), v);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + i + 16), v);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + i + 24), v);
  }
  for (; i + 8 <= n; i += 8) _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + i), v);
  if (i < n && n >= 8)
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + n - 8), v);
  else
    for (; i < n; ++i) p[i] = word;
}

void FillWordsSse2(std::uint32_t* p, std::size_t n, std::uint32_t word) {
  const __m128i v = _mm_set1_epi32(static_cast<int>(word));
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), v);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i + 4), v);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i + 8), v);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i + 12), v);
  }
  for (; i + 4 <= n; i += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), v);
  if (i < n && n >= 4)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + n - 4), v);
  else
    for (; i < n; ++i) p[i] = word;
}

}  // namespace

void FillWords(std::uint32_t* p, std::size_t n, std::uint32_t word) {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (n >= kStringStoreWords)
    StringStore(p, n, word);
  else if (avx2)
    FillWordsAvx2(p, n, word);
  else
    FillWordsSse2(p, n, word);
}
#else
// Elsewhere the compiler's own vectorisation of a plain fill serves.
void FillWords(std::uint32_t* p, std::size_t n, std::uint32_t word) {
  std::fill_n(p, n, word);
}
#endif

void SpanWriter::FillClipped(int y, int x0, int x1, std::uint32_t word) {
  std::uint32_t* row = bitmap_.ScanLine(y);
  for (const TRegion::Span& c : clip_->Row(y)) {
    const int a = std::max(x0, c.x0), b = std::min(x1, c.x1);
    if (a >= b) continue;
    Announce(a, y, b);
    FillRun(row + a, b - a, word);
    Grow(a, y, b);
  }
}

void SpanWriter::Copy(int y, int x0, int x1, const std::uint32_t* from) {
  std::uint32_t* row = bitmap_.ScanLine(y);
  if (!clip_) {
    Announce(x0, y, x1);
    std::memcpy(row + x0, from, static_cast<std::size_t>(x1 - x0) * 4);
    Grow(x0, y, x1);
    return;
  }
  for (const TRegion::Span& c : clip_->Row(y)) {
    const int a = std::max(x0, c.x0), b = std::min(x1, c.x1);
    if (a >= b) continue;
    Announce(a, y, b);
    std::memcpy(row + a, from + (a - x0), static_cast<std::size_t>(b - a) * 4);
    Grow(a, y, b);
  }
}

void SpanWriter::Commit() {
  if (minX_ < maxX_) bitmap_.MarkDirty(Rect(minX_, minY_, maxX_, maxY_));
}

}  // namespace raster

using raster::Box;
using raster::RowRange;
using raster::Span;
using raster::SpanWriter;
using raster::VisibleRows;

namespace {

// What the inside of an ellipse takes: the brush word, or nothing for a
// hollow brush.
struct Inside {
  bool painted;
  std::uint32_t word;
  bool Matches(std::uint32_t pen) const { return painted && word == pen; }
};

// Pen width 0 or 1: the figure is the ellipse of the box itself; a pixel of it
// with a 4-neighbour outside is outline, the rest is inside. Box 5:
//
//   .ppp.
//   pbbbp
//   pbbbp
//   pbbbp
//   .ppp.
void DrawThinEllipse(SpanWriter& out, const Box& box, std::uint32_t pen, Inside brush) {
  const RowRange rows = VisibleRows(out, box.top, box.bottom);
  const raster::EllipseRows ellipse(box.right - box.left, box.bottom - box.top);
  Span prev = ellipse.At(box, rows.first - 1);
  Span cur = ellipse.At(box, rows.first);
  for (std::int64_t y = rows.first; y < rows.last; ++y) {
    const Span next = ellipse.At(box, y + 1);
    if (brush.Matches(pen)) {
      out.Fill(y, cur, pen);
    } else if (!cur.Empty()) {
      // Spans are intervals, so the inside of a row is one interval too.
      Span inner{std::max({cur.x0 + 1, prev.x0, next.x0}), std::min({cur.x1 - 1, prev.x1, next.x1})};
      if (prev.Empty() || next.Empty() || inner.Empty()) {
        out.Fill(y, cur, pen);
      } else {
        out.Fill(y, {cur.x0, inner.x0}, pen);
        if (brush.painted) out.Fill(y, inner, brush.word);
        out.Fill(y, {inner.x1, cur.x1}, pen);
      }
    }
    prev = cur;
    cur = next;
  }
}

// A wider pen: the outline is the ring between the box grown by w div 2 and
// the box shrunk by the rest of w, so it is w pixels thick across the box's
// edge and reaches w div 2 pixels outside. Box 4 at (1,1), pen 2 (p pen, b brush):
//
//   .pppp.
//   pppppp
//   ppbbpp
//   ppbbpp
//   pppppp
//   .pppp.
void DrawWideEllipse(SpanWriter& out, const Box& box, std::int64_t w, std::uint32_t pen, Inside brush) {
  const std::int64_t grow = w / 2, shrink = w - w / 2;
  const Box outer{box.left - grow, box.top - grow, box.right + grow, box.bottom + grow};
  const Box inner{box.left + shrink, box.top + shrink, box.right - shrink, box.bottom - shrink};
  const bool hasInner = inner.left < inner.right && inner.top < inner.bottom;
  const RowRange rows = VisibleRows(out, outer.top, outer.bottom);
  for (std::int64_t y = rows.first; y < rows.last; ++y) {
    const Span o = raster::EllipseRowSpan(outer, y);
    const Span i = hasInner ? raster::EllipseRowSpan(inner, y) : Span{};
    if (i.Empty() || brush.Matches(pen)) {
      out.Fill(y, o, pen);
    } else {
      out.Fill(y, {o.x0, i.x0}, pen);
      if (brush.painted) out.Fill(y, i, brush.word);
      out.Fill(y, {i.x1, o.x1}, pen);
    }
  }
}

}  // namespace

void TCanvas::FillRect(const TRect& r) {
  if (r.IsEmpty() || brush_.Style() == bsClear) return;
  SpanWriter out(owner_, clip_.get());
  const std::uint32_t word = owner_.StoredPixel(brush_.Color());
  const RowRange rows = VisibleRows(out, r.Top, r.Bottom);
  if (!clip_ && r.Left <= 0 && r.Right >= out.Width() && rows.first < rows.last) {
    // Whole rows are one contiguous run of the store.
    const auto count =
        static_cast<std::size_t>(rows.last - rows.first) * static_cast<std::size_t>(out.Width());
    owner_.BeforeWrite(0, static_cast<int>(rows.first), out.Width(), static_cast<int>(rows.last));
    raster::FillWords(owner_.ScanLine(static_cast<int>(rows.first)), count, word);
    owner_.MarkDirty(Rect(0, static_cast<int>(rows.first), out.Width(), static_cast<int>(rows.last)));
    return;
  }
  for (std::int64_t y = rows.first; y < rows.last; ++y) out.Fill(y, {r.Left, r.Right}, word);
  out.Commit();
}

// The one-pixel border inside r: columns Left and Right - 1, rows Top and
// Bottom - 1. A box 1 wide or high is filled.
void TCanvas::FrameRect(const TRect& r) {
  if (r.IsEmpty() || brush_.Style() == bsClear) return;
  SpanWriter out(owner_, clip_.get());
  const std::uint32_t word = owner_.StoredPixel(brush_.Color());
  const std::int64_t left = r.Left, right = r.Right, top = r.Top, bottom = r.Bottom;
  const RowRange rows = VisibleRows(out, top, bottom);
  for (std::int64_t y = rows.first; y < rows.last; ++y) {
    if (y == top || y == bottom - 1) {
      out.Fill(y, {left, right}, word);
    } else {
      out.Fill(y, {left, left + 1}, word);
      out.Fill(y, {right - 1, right}, word);
    }
  }
  out.Commit();
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2) {
  if (x2 < x1) std::swap(x1, x2);
  if (y2 < y1) std::swap(y1, y2);
  if (x1 == x2 || y1 == y2) return;
  if (recording_) {
    path_.push_back({Rect(x1, y1, x2, y2)});
    return;
  }
  SpanWriter out(owner_, clip_.get());
  const Box box{x1, y1, x2, y2};
  const std::uint32_t pen = owner_.StoredPixel(pen_.Color());
  const Inside brush{brush_.Style() == bsSolid, owner_.StoredPixel(brush_.Color())};
  if (pen_.Width() <= 1)
    DrawThinEllipse(out, box, pen, brush);
  else
    DrawWideEllipse(out, box, std::min<std::int64_t>(pen_.Width(), raster::kMaxPenWidth), pen, brush);
  out.Commit();
}

// ---- Lines ----

namespace {

// Pen width 0 or 1: one pixel per step along the longer axis, the other
// coordinate rounded with halves going down-right (towards +x or +y) whichever
// way the line runs, so A to B and B to A cover the same pixels. The end
// pixel is left out, so that segments chain without doubling a pixel:
//
//   from (0,0) to (5,2):  ##....
//                         ..##..
//                         ....#.   (5,2) itself stays clear
void DrawThinLine(SpanWriter& out, std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                  std::uint32_t word) {
  const bool xMajor = std::abs(x1 - x0) >= std::abs(y1 - y0);
  // Walk along "major" (a), with "minor" (b) following.
  const std::int64_t a0 = xMajor ? x0 : y0, b0 = xMajor ? y0 : x0;
  const std::int64_t da = xMajor ? x1 - x0 : y1 - y0, db = xMajor ? y1 - y0 : x1 - x0;
  const std::int64_t n = std::abs(da), step = da < 0 ? -1 : 1;
  if (n == 0) return;
  // Steps i in [0, n) whose major coordinate lies on the bitmap.
  const std::int64_t limit = xMajor ? out.Width() : out.Height();
  std::int64_t first = step > 0 ? -a0 : a0 - (limit - 1), last = step > 0 ? limit - a0 : a0 + 1;
  first = std::max<std::int64_t>(first, 0);
  last = std::min(last, n);
  if (first >= last) return;
  // Minor coordinate b0 + floor((2 db i + n) / 2n), carried as quotient q and
  // remainder r so each step costs an add and a compare.
  const std::int64_t twoN = 2 * n, twoDb = 2 * db;
  std::int64_t q = 0, r = n;  // at i = 0
  if (first != 0) {
    std::int64_t num;
    if (!__builtin_mul_overflow(twoDb, first, &num) && !__builtin_add_overflow(num, n, &num)) {
      q = raster::FloorDiv(num, twoN);
      r = num - q * twoN;
    } else {
      const raster::Wide wide = raster::Wide(twoDb) * first + n;
      q = static_cast<std::int64_t>(raster::FloorDiv<raster::Wide>(wide, twoN));
      r = static_cast<std::int64_t>(wide - raster::Wide(q) * twoN);
    }
  }
  const std::int64_t minorLimit = xMajor ? out.Height() : out.Width();
  std::int64_t b = b0 + q;
  if (out.HasClip() || out.Watched()) {
    for (std::int64_t i = first; i < last; ++i) {
      if (b >= 0 && b < minorLimit) {
        const std::int64_t a = a0 + step * i;
        out.Plot(static_cast<int>(xMajor ? a : b), static_cast<int>(xMajor ? b : a), word);
      }
      r += twoDb;
      if (r >= twoN)
        r -= twoN, ++b;
      else if (r < 0)
        r += twoN, --b;
    }
    return;
  }
  // Without a clip region: step an index through the store, and take what
  // changed from the first and last pixel painted (both coordinates move
  // one way only).
  std::uint32_t* const pixels = out.Row(0);
  const std::int64_t stride = out.Width();
  const std::int64_t majorStep = xMajor ? step : step * stride, minorStep = xMajor ? stride : 1;
  const std::int64_t aFirst = a0 + step * first;
  std::int64_t index = xMajor ? b * stride + aFirst : aFirst * stride + b;
  std::int64_t paintedFirst = -1, paintedLast = -1, bFirst = 0, bLast = 0;
  for (std::int64_t i = first; i < last; ++i) {
    if (static_cast<std::uint64_t>(b) < static_cast<std::uint64_t>(minorLimit)) {
      pixels[index] = word;
      if (paintedFirst < 0) paintedFirst = i, bFirst = b;
      paintedLast = i;
      bLast = b;
    }
    index += majorStep;
    r += twoDb;
    if (r >= twoN)
      r -= twoN, ++b, index += minorStep;
    else if (r < 0)
      r += twoN, --b, index -= minorStep;
  }
  if (paintedFirst < 0) return;
  const std::int64_t aA = a0 + step * paintedFirst, aB = a0 + step * paintedLast;
  const auto lo = [](std::int64_t u, std::int64_t v) { return static_cast<int>(std::min(u, v)); };
  const auto hi = [](std::int64_t u, std::int64_t v) { return static_cast<int>(std::max(u, v)) + 1; };
  if (xMajor)
    out.Grow(lo(aA, aB), lo(bFirst, bLast), hi(aA, aB), hi(bFirst, bLast));
  else
    out.Grow(lo(bFirst, bLast), lo(aA, aB), hi(bFirst, bLast), hi(aA, aB));
}

using raster::Wide;

// floor(n / a) for an n that grows by a fixed step each row (a > 0), carried
// as quotient and remainder so a row costs additions, not a division.
template <class Int>
class FloorTracker {
 public:
  FloorTracker(Int n, Int step, Int a)
      : q_(raster::FloorDiv(n, a)),
        r_(n - q_ * a),
        qs_(raster::FloorDiv(step, a)),
        rs_(step - qs_ * a),
        a_(a) {}
  Int Value() const { return q_; }
  // Without a branch: the carry follows the slope's pattern, which a branch
  // predictor misses often.
  void Advance() {
    r_ += rs_;
    const bool carry = r_ >= a_;
    q_ += qs_ + Int(carry);
    r_ -= carry ? a_ : Int(0);
  }
  // n steps at once (n >= 0), with one division.
  void Advance(Int n) {
    const Int r = r_ + rs_ * n, carry = raster::FloorDiv(r, a_);
    q_ += qs_ * n + carry;
    r_ = r - carry * a_;
  }

 private:
  Int q_, r_, qs_, rs_, a_;
};

// Pixels x of successive rows with lo <= a x + b <= hi, where b grows by
// bStep from one row to the next.
template <class Int>
class LinearRows {
 public:
  LinearRows(Int a, Int b, Int bStep, Int lo, Int hi)
      : flat_(a == 0),
        sign_(a < 0 ? -1 : 1),
        b_(b),
        bStep_(bStep),
        lo_(lo),
        hi_(hi),
        // With a > 0: x >= ceil((lo - b) / a) = -floor((b - lo) / a), x <= floor((hi - b) / a).
        first_(sign_ * b - (sign_ > 0 ? lo : -hi), sign_ * bStep, flat_ ? 1 : sign_ * a),
        last_((sign_ > 0 ? hi : -lo) - sign_ * b, -sign_ * bStep, flat_ ? 1 : sign_ * a) {}
  Span Current() const {
    if (flat_) return (lo_ <= b_ && b_ <= hi_) ? Span{-kAll, kAll} : Span{};
    return SpanOf(first_, last_);
  }
  void Advance() {
    b_ += bStep_;
    first_.Advance();
    last_.Advance();
  }
  void Advance(Int n) {
    b_ += bStep_ * n;
    first_.Advance(n);
    last_.Advance(n);
  }

  // The rows from the current one on, for a constraint with a != 0: the
  // tightest loop, with no test for the flat case.
  class Sloped {
   public:
    explicit Sloped(const LinearRows& rows) : first_(rows.first_), last_(rows.last_) {}
    Span Next() {
      const Span s = SpanOf(first_, last_);
      first_.Advance();
      last_.Advance();
      return s;
    }

   private:
    FloorTracker<Int> first_, last_;
    friend class LinearRows;
  };
  // Goes on from where `sloped`, started at the current row n rows ago, stands.
  void CatchUp(const Sloped& sloped, Int n) {
    b_ += bStep_ * n;
    first_ = sloped.first_;
    last_ = sloped.last_;
  }

 private:
  static constexpr std::int64_t kAll = std::int64_t{1} << 62;
  static Span SpanOf(const FloorTracker<Int>& first, const FloorTracker<Int>& last) {
    if constexpr (sizeof(Int) == sizeof(std::int64_t)) {
      return {-first.Value(), last.Value() + 1};  // small coordinates: far inside the range
    } else {
      const auto clamp = [](Int v) { return static_cast<std::int64_t>(std::clamp<Int>(v, -kAll, kAll)); };
      return {clamp(-first.Value()), clamp(last.Value() + 1)};
    }
  }
  bool flat_;
  int sign_;
  Int b_, bStep_, lo_, hi_;
  FloorTracker<Int> first_, last_;
};

// The segment of a wide line, in the doubled coordinates the band works in.
struct Segment {
  std::int64_t x0, y0, x1, y1, w;
};

// The straight part of a wide line: pixel centres whose projection falls on
// the segment and whose distance from it is at most w / 2. Worked in doubled
// coordinates (X = 2x + 1) so every test is exact in integers: with d the
// segment's direction and A its doubled start, a centre P is in when
//   |(P - A) x d| <= K = isqrt(w^2 |d|^2)  and  0 <= (P - A) . d <= 2 |d|^2.
// Both are linear in x for a given row, and move by a fixed step per row.
// Int is 64-bit when every value fits, 128-bit for extreme coordinates.
template <class Int>
class BandRows {
 public:
  BandRows(const Segment& s, std::int64_t y) : across_(MakeAcross(s, y)), along_(MakeAlong(s, y)) {}
  // The current row's span; then moves to the next row.
  Span Next() {
    const Span a = across_.Current(), b = along_.Current();
    across_.Advance();
    along_.Advance();
    return {std::max(a.x0, b.x0), std::min(a.x1, b.x1)};
  }
  // Hands paint() the side lines alone for the next n rows (where the band
  // is known to be bounded by them; they slope there), then stands on the
  // row after those.
  template <class Paint>
  void SidesOnly(std::int64_t n, Paint&& paint) {
    typename LinearRows<Int>::Sloped sides(across_);
    paint(sides);
    across_.CatchUp(sides, Int(n));
    along_.Advance(Int(n));
  }

 private:
  static LinearRows<Int> MakeAcross(const Segment& s, std::int64_t y) {
    const Wide ax = 2 * s.x0 + (s.w & 1), ay = 2 * s.y0 + (s.w & 1), dx = s.x1 - s.x0, dy = s.y1 - s.y0;
    const Wide k = raster::Isqrt(raster::UWide(s.w * s.w) * raster::UWide(dx * dx + dy * dy));
    // (X - ax) dy - (Y - ay) dx with X = 2x + 1, Y = 2y + 1.
    return {Int(2 * dy), Int(dy * (1 - ax) - (2 * y + 1 - ay) * dx), Int(-2 * dx), Int(-k), Int(k)};
  }
  static LinearRows<Int> MakeAlong(const Segment& s, std::int64_t y) {
    const Wide ax = 2 * s.x0 + (s.w & 1), ay = 2 * s.y0 + (s.w & 1), dx = s.x1 - s.x0, dy = s.y1 - s.y0;
    // (X - ax) dx + (Y - ay) dy.
    return {Int(2 * dx), Int(dx * (1 - ax) + (2 * y + 1 - ay) * dy), Int(2 * dy), Int(0),
            Int(2 * (dx * dx + dy * dy))};
  }
  LinearRows<Int> across_, along_;
};

// Width w > 1: every pixel whose centre lies within w / 2 of the segment,
// i.e. a band with half discs on both ends. The discs are exactly the ellipse
// of the box (x - w div 2, y - w div 2) of size w, the dot a press stamps, so
// an odd width centres on the pixel and an even one on its top-left corner.
// A line to the pen position itself paints that disc alone. From (2,2) to
// (6,2), width 4, both ends centred on pixel corners:
//
//   .######.
//   ########
//   ########
//   .######.
template <class Int, bool kWatched>
void PaintCapsule(SpanWriter& out, const Segment& seg, std::uint32_t word) {
  const std::int64_t half = seg.w / 2;
  const Box cap0{seg.x0 - half, seg.y0 - half, seg.x0 - half + seg.w, seg.y0 - half + seg.w};
  const Box cap1{seg.x1 - half, seg.y1 - half, seg.x1 - half + seg.w, seg.y1 - half + seg.w};
  const raster::EllipseRows disc(seg.w, seg.w);
  const bool hasBand = seg.x0 != seg.x1 || seg.y0 != seg.y1;
  const RowRange rows = VisibleRows(out, std::min(cap0.top, cap1.top), std::max(cap0.bottom, cap1.bottom));
  // Rows between the two end discs hold the band alone, and there no centre
  // between the side lines projects off the segment: a line through an end,
  // across the band, stays within that end disc's rows. So the side lines
  // alone bound these rows, most rows of a long thin line.
  const Box& upper = cap0.top <= cap1.top ? cap0 : cap1;
  const Box& lower = cap0.top <= cap1.top ? cap1 : cap0;
  const std::int64_t bandFirst = std::clamp(upper.bottom, rows.first, rows.last);
  const std::int64_t bandLast = std::clamp(lower.top, bandFirst, rows.last);
  BandRows<Int> band(seg, rows.first);
  for (std::int64_t y = rows.first; y < rows.last; ++y) {
    if (y == bandFirst && bandFirst < bandLast) {
      band.SidesOnly(bandLast - bandFirst, [&](auto& sides) {
        out.FillRows(
            static_cast<int>(bandFirst), static_cast<int>(bandLast), [&sides] { return sides.Next(); }, word);
      });
      y = bandLast;
      if (y == rows.last) break;
    }
    Span s = raster::Union(disc.At(cap0, y), disc.At(cap1, y));
    // The shape is convex, so the pieces of a row meet: their hull is the row.
    const Span b = band.Next();
    if (hasBand) s = raster::Union(s, b);
    out.FillSpan<kWatched>(y, s, word);
  }
}

template <class Int>
void PaintCapsule(SpanWriter& out, const Segment& seg, std::uint32_t word) {
  if (out.Watched())
    PaintCapsule<Int, true>(out, seg, word);
  else
    PaintCapsule<Int, false>(out, seg, word);
}

void DrawWideLine(SpanWriter& out, const Segment& seg, std::uint32_t word) {
  // Below 2^26 every product the band forms stays under 2^62.
  constexpr std::int64_t kSmall = std::int64_t{1} << 26;
  const bool small =
      std::max({std::abs(seg.x0), std::abs(seg.y0), std::abs(seg.x1), std::abs(seg.y1)}) < kSmall &&
      out.Height() < kSmall;
  if (small)
    PaintCapsule<std::int64_t>(out, seg, word);
  else
    PaintCapsule<Wide>(out, seg, word);
}

}  // namespace

void TCanvas::LineTo(int x, int y) {
  const int fromX = penX_, fromY = penY_;
  penX_ = x;
  penY_ = y;
  SpanWriter out(owner_, clip_.get());
  const std::uint32_t word = owner_.StoredPixel(pen_.Color());
  if (pen_.Width() <= 1)
    DrawThinLine(out, fromX, fromY, x, y, word);
  else
    DrawWideLine(out, {fromX, fromY, x, y, std::min<std::int64_t>(pen_.Width(), raster::kMaxPenWidth)}, word);
  out.Commit();
}
