// CopyRect: plain and scaled copies between bitmaps, cut by the clip region.
#include <cstring>
#include <vector>

#include "core/canvas.h"
#include "core/span_writer.h"

using raster::RowRange;
using raster::SpanWriter;
using raster::VisibleRows;

namespace {

// Nearest-neighbour map from destination offset i (0 <= i < destSize) to a
// source offset: the source pixel under the centre of the destination pixel.
// Equal sizes map i to i.
std::int64_t SourceOffset(std::int64_t i, std::int64_t destSize, std::int64_t sourceSize) {
  std::int64_t product;
  if (!__builtin_mul_overflow(2 * i + 1, sourceSize, &product)) return product / (2 * destSize);
  return static_cast<std::int64_t>((raster::Wide(2 * i + 1) * sourceSize) / (2 * destSize));
}

bool SameFormat(const TPixelFormat& a, const TPixelFormat& b) {
  return a.depth == b.depth && a.colorTable == b.colorTable && a.bitFields == b.bitFields &&
         std::equal(std::begin(a.masks), std::end(a.masks), std::begin(b.masks));
}

// Where the source pixels are read: the source bitmap itself, or a snapshot of
// the part in use when source and destination are one bitmap.
struct SourceView {
  const std::uint32_t* base = nullptr;  // pixel (left, top)
  std::int64_t stride = 0, left = 0, top = 0, right = 0, bottom = 0;
  const std::uint32_t* At(std::int64_t x, std::int64_t y) const {
    return base + (y - top) * stride + (x - left);
  }
};

SourceView ViewOf(const TBitmap& from, const TRect& src, bool snapshot, std::vector<std::uint32_t>& store) {
  SourceView v;
  v.left = std::max(src.Left, 0);
  v.top = std::max(src.Top, 0);
  v.right = std::min(src.Right, from.Width());
  v.bottom = std::min(src.Bottom, from.Height());
  if (v.left >= v.right || v.top >= v.bottom) return {};
  if (!snapshot) {
    v.stride = from.Width();
    v.base = from.ScanLine(static_cast<int>(v.top)) + v.left;
    return v;
  }
  v.stride = v.right - v.left;
  store.resize(static_cast<std::size_t>(v.stride * (v.bottom - v.top)));
  for (std::int64_t y = v.top; y < v.bottom; ++y)
    std::memcpy(store.data() + (y - v.top) * v.stride, from.ScanLine(static_cast<int>(y)) + v.left,
                static_cast<std::size_t>(v.stride) * 4);
  v.base = store.data();
  return v;
}

}  // namespace

// Source pixels outside the source bitmap leave the destination as it was.
void TCanvas::CopyRect(const TRect& dest, TCanvas* source, const TRect& sourceRect) {
  if (!source || dest.IsEmpty() || sourceRect.IsEmpty()) return;
  const TBitmap& from = source->owner_;
  std::vector<std::uint32_t> snapshot;
  const SourceView view = ViewOf(from, sourceRect, &from == &owner_, snapshot);
  if (!view.base) return;
  SpanWriter out(owner_, clip_.get());
  const std::int64_t dw = dest.Width(), dh = dest.Height(), sw = sourceRect.Width(), sh = sourceRect.Height();
  // Destination columns on the bitmap whose source column is on the source:
  // the map is monotonic, so they form one run.
  std::int64_t x0 = std::max(dest.Left, 0), x1 = std::min(dest.Right, out.Width());
  const auto sourceX = [&](std::int64_t x) { return sourceRect.Left + SourceOffset(x - dest.Left, dw, sw); };
  while (x0 < x1 && sourceX(x0) < view.left) ++x0;
  while (x1 > x0 && sourceX(x1 - 1) >= view.right) --x1;
  if (x0 >= x1) return;
  const bool convert = !owner_.Format().StoresEveryColour() && !SameFormat(owner_.Format(), from.Format());
  const bool direct = sw == dw && !convert;
  std::vector<std::int64_t> columns;
  std::vector<std::uint32_t> line;
  if (!direct) {
    columns.resize(static_cast<std::size_t>(x1 - x0));
    for (std::int64_t x = x0; x < x1; ++x) columns[static_cast<std::size_t>(x - x0)] = sourceX(x);
    line.resize(columns.size());
  }
  const RowRange rows = VisibleRows(out, dest.Top, dest.Bottom);
  for (std::int64_t y = rows.first; y < rows.last; ++y) {
    const std::int64_t sy = sourceRect.Top + SourceOffset(y - dest.Top, dh, sh);
    if (sy < view.top || sy >= view.bottom) continue;
    if (direct) {
      out.Copy(static_cast<int>(y), static_cast<int>(x0), static_cast<int>(x1), view.At(sourceX(x0), sy));
      continue;
    }
    const std::uint32_t* row = view.At(view.left, sy);
    for (std::size_t i = 0; i < columns.size(); ++i) {
      const std::uint32_t word = row[columns[i] - view.left];
      line[i] = convert ? owner_.StoredPixel(WordToColor(word)) : word;
    }
    out.Copy(static_cast<int>(y), static_cast<int>(x0), static_cast<int>(x1), line.data());
  }
  out.Commit();
}
