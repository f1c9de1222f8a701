#include "core/surface.h"

#include <algorithm>
#include <cstring>

#include "core/pixel_format.h"
#include "core/raster.h"

// ---- Colours and rectangles ----

TColor ColorToRGB(TColor c) {
  if (c >= 0) return c & 0xFFFFFF;
  // The default system colours, 0x00BBGGRR; an index that names none is black.
  static constexpr TColor kSystemColors[] = {
      0xC8C8C8, 0x000000, 0xD1B499, 0xDBCDBF, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000,
      0x000000, 0x000000, 0xB4B4B4, 0xFCF7F4, 0xABABAB, 0xD77800, 0xFFFFFF, 0xF0F0F0,
      0xA0A0A0, 0x6D6D6D, 0x000000, 0x000000, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000,
      0xE1FFFF, 0x000000, 0xCC6600, 0xEAD1B9, 0xF2E4D7, 0xFF9933, 0xF0F0F0};
  const unsigned index = static_cast<unsigned>(c) & 0xFFu;
  return index < std::size(kSystemColors) ? kSystemColors[index] : clBlack;
}

void InflateRect(TRect& r, int dx, int dy) {
  r.Left -= dx;
  r.Right += dx;
  r.Top -= dy;
  r.Bottom += dy;
}

// ---- Text ----

namespace {
TTextRenderer* gTextRenderer = nullptr;
// Canvases that hold a clip region until the current event has been handled.
std::vector<TCanvas*> gCanvasesWithContext;
}  // namespace

void SetTextRenderer(TTextRenderer* renderer) {
  gTextRenderer = renderer;
}

// ---- Regions ----

TRegion::TRegion(int top, const std::vector<std::vector<Span>>& rows) : top_(top) {
  for (const std::vector<Span>& row : rows) AppendRow(row);
}

void TRegion::AppendRow(std::span<const Span> spans) {
  spans_.insert(spans_.end(), spans.begin(), spans.end());
  rowEnds_.push_back(static_cast<std::uint32_t>(spans_.size()));
}

bool TRegion::Contains(int x, int y) const {
  for (const Span& s : Row(y))
    if (x >= s.x0 && x < s.x1) return true;
  return false;
}

std::span<const TRegion::Span> TRegion::Row(int y) const {
  const long long i = static_cast<long long>(y) - top_;
  if (i < 0 || i >= RowCount()) return {};
  const std::uint32_t begin = i == 0 ? 0 : rowEnds_[static_cast<std::size_t>(i - 1)];
  return std::span<const Span>(spans_).subspan(begin, rowEnds_[static_cast<std::size_t>(i)] - begin);
}

TRect TRegion::Bounds() const {
  TRect b{};
  bool any = false;
  for (int i = 0; i < RowCount(); ++i) {
    const std::span<const Span> row = Row(top_ + i);
    if (row.empty()) continue;
    // Spans are sorted, so the row's extent is its first and last span.
    const int y = top_ + i;
    if (!any) {
      b = Rect(row.front().x0, y, row.back().x1, y + 1);
      any = true;
    } else {
      b.Left = std::min(b.Left, row.front().x0);
      b.Right = std::max(b.Right, row.back().x1);
      b.Bottom = y + 1;
    }
  }
  return b;
}

// ---- Canvas ----

TCanvas::TCanvas(TBitmap& owner) : owner_(owner) {}

TCanvas::~TCanvas() {
  std::erase(gCanvasesWithContext, this);
}

TColor TCanvas::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= owner_.width_ || y >= owner_.height_) return static_cast<TColor>(0xFFFFFFFF);
  return WordToColor(owner_.ScanLine(y)[x]);
}

void TCanvas::SetPixel(int x, int y, TColor c) {
  if (x < 0 || y < 0 || x >= owner_.width_ || y >= owner_.height_) return;
  if (clip_ && !clip_->Contains(x, y)) return;
  owner_.BeforeWrite(x, y, x + 1, y + 1);
  owner_.ScanLine(y)[x] = owner_.StoredPixel(c);
  owner_.MarkDirty(Rect(x, y, x + 1, y + 1));
}

void TCanvas::MoveTo(int x, int y) {
  penX_ = x;
  penY_ = y;
}

TRect TCanvas::ClipRect() const {
  if (!clip_) return Rect(0, 0, owner_.width_, owner_.height_);
  const TRect b = clip_->Bounds();
  const TRect r = Rect(std::max(b.Left, 0), std::max(b.Top, 0), std::min(b.Right, owner_.width_),
                       std::min(b.Bottom, owner_.height_));
  return r.IsEmpty() ? TRect{} : r;
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
  // Empty text draws nothing but still moves the pen to (x, y).
  int width = 0;
  if (gTextRenderer && !text.empty()) width = gTextRenderer->DrawText(*this, x, y, text);
  penX_ = x + width;
  penY_ = y;
}

int TCanvas::TextWidth(const std::string& text) const {
  return gTextRenderer ? gTextRenderer->TextWidth(font_, text) : 0;
}

void TCanvas::SelectClipRegion(const TRegion* region) {
  if (!region) {
    clip_.reset();
    return;
  }
  clip_ = std::make_unique<TRegion>(*region);
  HoldContext();
}

void TCanvas::HoldContext() {
  if (std::find(gCanvasesWithContext.begin(), gCanvasesWithContext.end(), this) == gCanvasesWithContext.end())
    gCanvasesWithContext.push_back(this);
}

void TCanvas::ReleaseContext() {
  clip_.reset();
  recording_ = false;
  path_.clear();
  std::erase(gCanvasesWithContext, this);
}

void BeginPath(HDC dc) {
  dc->BeginPathRecording();
}
void EndPath(HDC dc) {
  dc->EndPathRecording();
}
std::unique_ptr<TRegion> PathToRegion(HDC dc) {
  return dc->RecordedPathToRegion();
}
void SelectClipRgn(HDC dc, const TRegion* region) {
  dc->SelectClipRegion(region);
}

void ReleaseCanvasContexts() {
  const std::vector<TCanvas*> canvases = gCanvasesWithContext;
  for (TCanvas* c : canvases) c->ReleaseContext();
}

// ---- Bitmap ----

TBitmap::TBitmap() = default;
TBitmap::~TBitmap() = default;

TCanvas* TBitmap::Canvas() {
  if (!canvas_) canvas_ = std::make_unique<TCanvas>(*this);
  return canvas_.get();
}

std::uint32_t TBitmap::ReducedPixel(TColor c) const {
  const TColor rgb = ColorToRGB(c);
  if (format_.depth == 32 && !format_.bitFields) return ColorToWord(rgb);
  if (format_.depth == 24) return ColorToWord(rgb);
  if (rgb != lastReduced_) {
    lastStored_ = ReduceToFormat(format_, rgb);
    lastReduced_ = rgb;
  }
  return lastStored_;
}

// A negative size counts as 0.
void TBitmap::SetWidth(int w) {
  w = std::max(w, 0);
  if (w != width_) Resize(w, height_);
}

void TBitmap::SetHeight(int h) {
  h = std::max(h, 0);
  if (h != height_) Resize(width_, h);
}

void TBitmap::Resize(int w, int h) {
  // A never-used canvas fills with white; otherwise the canvas brush colour.
  const std::uint32_t fill = StoredPixel(canvas_ ? canvas_->Brush->Color() : clWhite);
  TPixelStore pixels;
  if (w > 0 && h > 0) {
    // Built aside first, so that a failed allocation leaves the bitmap as it was.
    try {
      pixels = TPixelStore::Uninitialised(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    } catch (const std::bad_alloc&) {
      throw EDaubixError(kResourceShortage);
    }
    // Each word is written once: the old pixels where they reach, the fill beyond.
    const int cw = std::min(w, width_), ch = std::min(h, height_);
    const auto width = static_cast<std::size_t>(w), kept = static_cast<std::size_t>(std::max(cw, 0));
    for (int y = 0; y < ch && cw > 0; ++y) {
      std::uint32_t* row = pixels.Data() + static_cast<std::size_t>(y) * width;
      std::memcpy(row, ScanLine(y), kept * 4);
      std::fill(row + kept, row + width, fill);
    }
    const std::size_t filledFrom = cw > 0 ? static_cast<std::size_t>(ch) * width : 0;
    pixels.Fill(filledFrom, pixels.Size() - filledFrom, fill);
  }
  // The display must redraw what was there before as well as the new area.
  const TRect changed = Rect(0, 0, std::max(w, width_), std::max(h, height_));
  if (watcher_) {
    TBitmapContents old{width_, height_, format_, std::move(pixels_)};
    watcher_->BeforeReplace(old, w, h);
  }
  width_ = w;
  height_ = h;
  pixels_ = std::move(pixels);
  originalFile_.clear();
  if (canvas_) canvas_->ReleaseContext();
  MarkDirty(changed);
}

void TBitmap::Assign(int width, int height, TPixelFormat format, TPixelStore pixels,
                     std::vector<std::uint8_t> originalFile) {
  if (width < 0 || height < 0 ||
      pixels.Size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
    throw std::invalid_argument("TBitmap::Assign: pixel count does not match the size");
  const TRect changed = Rect(0, 0, std::max(width, width_), std::max(height, height_));
  if (watcher_) {
    TBitmapContents old{width_, height_, std::move(format_), std::move(pixels_)};
    watcher_->BeforeReplace(old, width, height);
  }
  width_ = width;
  height_ = height;
  format_ = std::move(format);
  pixels_ = std::move(pixels);
  lastReduced_ = -1;
  if (canvas_) canvas_->ReleaseContext();
  MarkDirty(changed);
  originalFile_ = std::move(originalFile);  // after MarkDirty, which drops it
}

void TBitmap::SwapContents(TBitmapContents& contents) {
  const TRect changed = Rect(0, 0, std::max(contents.width, width_), std::max(contents.height, height_));
  std::swap(width_, contents.width);
  std::swap(height_, contents.height);
  std::swap(format_, contents.format);
  std::swap(pixels_, contents.pixels);
  lastReduced_ = -1;
  if (canvas_) canvas_->ReleaseContext();
  MarkDirty(changed);
}

// The slow path of MarkDirty: the first change since the rectangle was taken,
// or one that drops the kept file bytes.
void TBitmap::MarkFirstDirty(const TRect& r) {
  if (r.IsEmpty()) return;  // nothing changed
  originalFile_.clear();
  if (!dirtyPending_) {
    dirty_ = r;
    dirtyPending_ = true;
    if (changeHook_) changeHook_(changeContext_);
    return;
  }
  dirty_.Left = std::min(dirty_.Left, r.Left);
  dirty_.Top = std::min(dirty_.Top, r.Top);
  dirty_.Right = std::max(dirty_.Right, r.Right);
  dirty_.Bottom = std::max(dirty_.Bottom, r.Bottom);
}

TRect TBitmap::TakeDirtyRect() {
  const TRect r = dirtyPending_ ? dirty_ : TRect{};
  dirtyPending_ = false;
  return r;
}

void TBitmap::SetChangeHook(void (*hook)(void*), void* context) {
  changeHook_ = hook;
  changeContext_ = context;
}

// Copies and path regions, which paint and read through the raster core.

using raster::Box;
using raster::RowRange;
using raster::Span;
using raster::SpanWriter;
using raster::VisibleRows;

// ---- Copies ----

namespace {

// Nearest-neighbour map from destination offset i (0 <= i < destSize) to a
// source offset: the source pixel under the centre of the destination pixel.
// Equal sizes map i to i.
std::int64_t SourceOffset(std::int64_t i, std::int64_t destSize, std::int64_t sourceSize) {
  std::int64_t product;
  if (!__builtin_mul_overflow(2 * i + 1, sourceSize, &product)) return product / (2 * destSize);
  return static_cast<std::int64_t>((raster::Wide(2 * i + 1) * sourceSize) / (2 * destSize));
}

bool StoresEveryColour(const TPixelFormat& f) {
  return (f.depth == 32 && !f.bitFields) || f.depth == 24;
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
  const bool convert = !StoresEveryColour(owner_.Format()) && !SameFormat(owner_.Format(), from.Format());
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

// ---- Path clip region ----

void TCanvas::BeginPathRecording() {
  recording_ = true;
  path_.clear();
  HoldContext();
}

void TCanvas::EndPathRecording() {
  recording_ = false;
}

// The recorded ellipses combined by the even-odd rule: a pixel inside an odd
// number of them is in. Outer box 8, inner box 4:
//
//   ..####..
//   .######.
//   ###..###
//   ##....##
//   ##....##
//   ###..###
//   .######.
//   ..####..
std::unique_ptr<TRegion> TCanvas::RecordedPathToRegion() {
  recording_ = false;
  const std::vector<PathFigure> figures = std::move(path_);
  path_.clear();
  if (figures.empty()) return std::make_unique<TRegion>();
  int top = figures[0].box.Top, bottom = figures[0].box.Bottom;
  for (const PathFigure& f : figures) {
    top = std::min(top, f.box.Top);
    bottom = std::max(bottom, f.box.Bottom);
  }
  auto region = std::make_unique<TRegion>(top);
  std::vector<std::int64_t> edges;
  std::vector<TRegion::Span> spans;
  for (std::int64_t y = top; y < bottom; ++y) {
    edges.clear();
    for (const PathFigure& f : figures) {
      const Span s = raster::EllipseRowSpan({f.box.Left, f.box.Top, f.box.Right, f.box.Bottom}, y);
      if (s.Empty()) continue;
      edges.push_back(s.x0);
      edges.push_back(s.x1);
    }
    // Coverage flips at every edge, so the odd stretches lie between the
    // first and second edge, the third and fourth, and so on.
    std::sort(edges.begin(), edges.end());
    spans.clear();
    for (std::size_t i = 0; i + 1 < edges.size(); i += 2) {
      if (edges[i] == edges[i + 1]) continue;
      const TRegion::Span s{static_cast<int>(edges[i]), static_cast<int>(edges[i + 1])};
      if (!spans.empty() && spans.back().x1 == s.x0)
        spans.back().x1 = s.x1;
      else
        spans.push_back(s);
    }
    region->AppendRow(spans);
  }
  return region;
}
