#include "core/canvas.h"

#include <algorithm>

#include "core/span_writer.h"

namespace {
TTextRenderer* gTextRenderer = nullptr;
// Canvases that hold a clip region until the current event has been handled.
std::vector<TCanvas*> gCanvasesWithContext;
}  // namespace

void SetTextRenderer(TTextRenderer* renderer) {
  gTextRenderer = renderer;
}

TCanvas::TCanvas(TBitmap& owner) : owner_(owner) {}

TCanvas::~TCanvas() {
  std::erase(gCanvasesWithContext, this);
}

TColor TCanvas::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= owner_.Width() || y >= owner_.Height()) return static_cast<TColor>(0xFFFFFFFF);
  return WordToColor(owner_.ScanLine(y)[x]);
}

void TCanvas::SetPixel(int x, int y, TColor c) {
  if (x < 0 || y < 0 || x >= owner_.Width() || y >= owner_.Height()) return;
  if (clip_ && !clip_->Contains(x, y)) return;
  // One pixel: its own box, announced, without a writer's bookkeeping.
  raster::SpanWriter(owner_, nullptr).AnnounceBox(x, y, x + 1, y + 1)[x] = owner_.StoredPixel(c);
  owner_.MarkDirty(Rect(x, y, x + 1, y + 1));
}

void TCanvas::MoveTo(int x, int y) {
  penX_ = x;
  penY_ = y;
}

TRect TCanvas::ClipRect() const {
  if (!clip_) return Rect(0, 0, owner_.Width(), owner_.Height());
  const TRect b = clip_->Bounds();
  const TRect r = Rect(std::max(b.Left, 0), std::max(b.Top, 0), std::min(b.Right, owner_.Width()),
                       std::min(b.Bottom, owner_.Height()));
  return r.IsEmpty() ? TRect{} : r;
}

void TCanvas::TextOut(int x, int y, const std::string& text) {
  // Empty text draws nothing but still moves the pen to (x, y).
  int width = 0;
  if (gTextRenderer && !text.empty()) {
    const TTextInk ink = gTextRenderer->Render(font_, text);
    width = ink.advance;
    raster::SpanWriter out(owner_, clip_.get());
    // Stored words, so that a bitmap of a reduced depth keeps only colours it can hold.
    if (brush_.Style() == bsSolid) {
      const std::uint32_t cell = owner_.StoredPixel(brush_.Color());
      for (std::int64_t row = y; row < std::int64_t{y} + ink.cellHeight; ++row)
        out.Fill(row, {x, std::int64_t{x} + ink.advance}, cell);
    }
    const std::uint32_t glyph = owner_.StoredPixel(font_.Color());
    const std::int64_t left = std::int64_t{x} + ink.left;
    for (int row = 0; row < ink.height; ++row) {
      const std::uint8_t* mask = ink.mask.data() + static_cast<std::size_t>(row) * ink.width;
      // Runs of ink, each one span.
      for (int i = 0; i < ink.width;) {
        if (!mask[i]) {
          ++i;
          continue;
        }
        int j = i + 1;
        while (j < ink.width && mask[j]) ++j;
        out.Fill(std::int64_t{y} + ink.top + row, {left + i, left + j}, glyph);
        i = j;
      }
    }
    out.Commit();
  }
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
