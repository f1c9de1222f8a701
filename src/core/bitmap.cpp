#include "core/bitmap.h"

#include <cstring>
#include <new>

#include "core/canvas.h"

TBitmap::TBitmap() = default;
TBitmap::~TBitmap() = default;

TCanvas* TBitmap::Canvas() {
  if (!canvas_) canvas_ = std::make_unique<TCanvas>(*this);
  return canvas_.get();
}

std::uint32_t TBitmap::ReducedPixel(TColor c) const {
  const TColor rgb = ColorToRGB(c);
  if (format_.StoresEveryColour()) return ColorToWord(rgb);
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
  TBitmapContents next{w, h, format_, {}};
  if (w > 0 && h > 0) {
    // Built aside first, so that a failed allocation leaves the bitmap as it was.
    try {
      next.pixels = TPixelStore::Uninitialised(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    } catch (const std::bad_alloc&) {
      throw EDaubixError(kResourceShortage);
    }
    // Each word is written once: the old pixels where they reach, the fill beyond.
    const int cw = std::min(w, width_), ch = std::min(h, height_);
    const auto width = static_cast<std::size_t>(w), kept = static_cast<std::size_t>(std::max(cw, 0));
    for (int y = 0; y < ch && cw > 0; ++y) {
      std::uint32_t* row = next.pixels.Data() + static_cast<std::size_t>(y) * width;
      std::memcpy(row, ScanLine(y), kept * 4);
      std::fill(row + kept, row + width, fill);
    }
    const std::size_t filledFrom = cw > 0 ? static_cast<std::size_t>(ch) * width : 0;
    next.pixels.Fill(filledFrom, next.pixels.Size() - filledFrom, fill);
  }
  Replace(next, true);
}

void TBitmap::Assign(int width, int height, TPixelFormat format, TPixelStore pixels,
                     std::vector<std::uint8_t> originalFile) {
  if (width < 0 || height < 0 ||
      pixels.Size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height))
    throw std::invalid_argument("TBitmap::Assign: pixel count does not match the size");
  TBitmapContents next{width, height, std::move(format), std::move(pixels)};
  Replace(next, true);
  originalFile_ = std::move(originalFile);  // after the change, which drops it
}

void TBitmap::SwapContents(TBitmapContents& contents) {
  if (watcher_) {
    // The watcher may take what it is handed, and the caller wants this picture back.
    TBitmapContents old{width_, height_, format_, {}};
    try {
      old.pixels = TPixelStore::Uninitialised(pixels_.Size());
    } catch (const std::bad_alloc&) {
      throw EDaubixError(kResourceShortage);
    }
    if (!pixels_.Empty()) std::memcpy(old.pixels.Data(), pixels_.Data(), pixels_.Size() * 4);
    watcher_->BeforeReplace(old, contents.width, contents.height);
  }
  Replace(contents, false);
}

// Exchanges the whole picture with `next`, telling the watcher first when
// `announce`; `next` is left with what remains of the old picture.
void TBitmap::Replace(TBitmapContents& next, bool announce) {
  const TRect changed = Rect(0, 0, std::max(next.width, width_), std::max(next.height, height_));
  TBitmapContents old{width_, height_, std::move(format_), std::move(pixels_)};
  if (announce && watcher_) watcher_->BeforeReplace(old, next.width, next.height);
  width_ = next.width;
  height_ = next.height;
  format_ = std::move(next.format);
  pixels_ = std::move(next.pixels);
  next = std::move(old);
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

std::uint32_t* TPixelWatcher::UnannouncedRow(TBitmap& bitmap, int y) {
  return bitmap.pixels_.Data() + static_cast<std::size_t>(y) * bitmap.width_;
}

void TPixelWatcher::UnannouncedSwap(TBitmap& bitmap, TBitmapContents& contents) {
  bitmap.Replace(contents, false);
}
