// A picture in memory: its size, pixel format and pixel words, whose writes
// are announced to a watcher before they happen.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/basics.h"
#include "core/colour.h"
#include "core/pixel_format.h"
#include "core/pixel_store.h"
#include "core/pixel_watcher.h"

class TCanvas;
namespace raster {
class SpanWriter;
}

// A bitmap's whole picture: its size, pixel format and pixel words.
struct TBitmapContents {
  int width = 0, height = 0;
  TPixelFormat format;
  TPixelStore pixels;
};

class TBitmap : public TObject {
 public:
  TBitmap();
  ~TBitmap() override;
  TBitmap(const TBitmap&) = delete;
  TBitmap& operator=(const TBitmap&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetWidth(int w);
  void SetHeight(int h);
  bool Empty() const { return width_ == 0 || height_ == 0; }

  int PixelDepth() const { return format_.depth; }
  const std::vector<TColor>& ColorTable() const { return format_.colorTable; }
  const TPixelFormat& Format() const { return format_; }

  TColor TransparentColor() const { return transparentColor_; }
  void SetTransparentColor(TColor c) { transparentColor_ = c; }
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool t) { transparent_ = t; }

  TCanvas* Canvas();
  bool HasCanvas() const { return canvas_ != nullptr; }

  void LoadFromFile(const std::string& path);
  void SaveToFile(const std::string& path);

  // The pixel store, to read: width x height words 0xFFRRGGBB, rows top
  // first, no padding (the layout of a QImage::Format_RGB32 image). Pixels
  // are written only through the canvas and the calls below, which announce
  // what they change.
  const std::uint32_t* Bits() const { return pixels_.Data(); }
  const std::uint32_t* ScanLine(int y) const { return pixels_.Data() + static_cast<std::size_t>(y) * width_; }

  // The colour this bitmap stores when asked to draw c: system colours
  // resolved, then reduced to what the depth or colour table can hold.
  std::uint32_t StoredPixel(TColor c) const {
    if (c >= 0 && format_.StoresEveryColour()) return ColorToWord(c);
    return ReducedPixel(c);
  }

  TPixelWatcher* Watcher() const { return watcher_; }
  void SetWatcher(TPixelWatcher* watcher) { watcher_ = watcher; }
  // Exchanges the whole picture with `contents`, announced to the watcher
  // like any replacement. The canvas and its settings stay.
  void SwapContents(TBitmapContents& contents);
  // Grows with every change of pixels, size or format.
  std::uint64_t ChangeCount() const { return changeCount_; }

  // Change tracking for the display: drawing grows the dirty rectangle and,
  // on the first change after it was taken, calls the change hook once.
  void MarkDirty(const TRect& r) {
    if (r.IsEmpty()) return;  // nothing changed
    ++changeCount_;
    if (!dirtyPending_ || !originalFile_.empty()) return MarkFirstDirty(r);
    dirty_.Left = std::min(dirty_.Left, r.Left);
    dirty_.Top = std::min(dirty_.Top, r.Top);
    dirty_.Right = std::max(dirty_.Right, r.Right);
    dirty_.Bottom = std::max(dirty_.Bottom, r.Bottom);
  }
  TRect TakeDirtyRect();
  // What changed since the rectangle was last taken, leaving it pending.
  TRect PendingDirtyRect() const { return dirtyPending_ ? dirty_ : TRect{}; }
  void SetChangeHook(void (*hook)(void* context), void* context);

  // Replaces the whole picture (used by the file reader).
  void Assign(int width, int height, TPixelFormat format, TPixelStore pixels,
              std::vector<std::uint8_t> originalFile);
  // The bytes of an RLE file as read, kept while the picture is unchanged.
  const std::vector<std::uint8_t>& OriginalFile() const { return originalFile_; }

 private:
  // The one way to writable pixels: announces x0 <= x < x1 of rows
  // y0 <= y < y1 (a box on the bitmap) to the watcher, then hands out row
  // y0. Rows lie Width() words apart; nothing outside the box may be written.
  std::uint32_t* Announce(int x0, int y0, int x1, int y1) {
    if (watcher_) watcher_->BeforeWrite(x0, y0, x1, y1);
    return pixels_.Data() + static_cast<std::size_t>(y0) * width_;
  }
  void Replace(TBitmapContents& contents, bool announced);
  void Resize(int w, int h);
  std::uint32_t ReducedPixel(TColor c) const;
  void MarkFirstDirty(const TRect& r);
  int width_ = 0, height_ = 0;
  TPixelFormat format_;
  TPixelStore pixels_;
  std::vector<std::uint8_t> originalFile_;
  TColor transparentColor_ = clDefault;
  bool transparent_ = false;
  std::unique_ptr<TCanvas> canvas_;
  TRect dirty_{};
  bool dirtyPending_ = false;
  void (*changeHook_)(void*) = nullptr;
  void* changeContext_ = nullptr;
  TPixelWatcher* watcher_ = nullptr;
  std::uint64_t changeCount_ = 0;
  // Cache of the last colour reduced for an indexed or 16-bit depth.
  mutable TColor lastReduced_ = -1;
  mutable std::uint32_t lastStored_ = 0;
  friend class raster::SpanWriter;
  friend class TPixelWatcher;
};
