// Lines wider than one pixel: a band between two end discs, worked out row by
// row with exact integer arithmetic.
#include "core/lines.h"

namespace raster {
namespace {

// floor(n / a) for an n that grows by a fixed step each row (a > 0), carried
// as quotient and remainder so a row costs additions, not a division.
template <class Int>
class FloorTracker {
 public:
  FloorTracker(Int n, Int step, Int a)
      : q_(FloorDiv(n, a)), r_(n - q_ * a), qs_(FloorDiv(step, a)), rs_(step - qs_ * a), a_(a) {}
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
    const Int r = r_ + rs_ * n, carry = FloorDiv(r, a_);
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
    const Wide k = Isqrt(UWide(s.w * s.w) * UWide(dx * dx + dy * dy));
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
template <class Int>
void PaintCapsule(SpanWriter& out, const Segment& seg, std::uint32_t word) {
  const std::int64_t half = seg.w / 2;
  const Box cap0{seg.x0 - half, seg.y0 - half, seg.x0 - half + seg.w, seg.y0 - half + seg.w};
  const Box cap1{seg.x1 - half, seg.y1 - half, seg.x1 - half + seg.w, seg.y1 - half + seg.w};
  const EllipseRows disc(seg.w, seg.w);
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
    Span s = Union(disc.At(cap0, y), disc.At(cap1, y));
    // The shape is convex, so the pieces of a row meet: their hull is the row.
    const Span b = band.Next();
    if (hasBand) s = Union(s, b);
    out.Fill(y, s, word);
  }
}

}  // namespace

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

}  // namespace raster
