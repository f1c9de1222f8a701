// Rectangles and ellipses: every shape is built as one span per row and
// painted with a plain fill, so the cost is one fill per row plus a little
// arithmetic.
#include "core/canvas.h"
#include "core/span_writer.h"

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
  out.FillBox(r.Left, r.Top, r.Right, r.Bottom, word);
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
