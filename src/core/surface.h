// The raster model every window draws through: colours, rectangles, bitmaps
// and their canvases. Exact, aliased drawing; no Qt here.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/pixel_store.h"

// 0x00BBGGRR; a value with the top bit set names a system colour by its low byte.
using TColor = std::int32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clDefault = 0x20000000;
constexpr TColor clBtnFace = static_cast<TColor>(0xFF00000F);
constexpr TColor clWindowText = static_cast<TColor>(0xFF000008);

// Stored word 0xFFRRGGBB <-> TColor 0x00BBGGRR.
inline std::uint32_t ColorToWord(TColor c) {
  const auto u = static_cast<std::uint32_t>(c);
  return 0xFF000000u | ((u & 0xFFu) << 16) | (u & 0xFF00u) | ((u >> 16) & 0xFFu);
}
inline TColor WordToColor(std::uint32_t w) {
  return static_cast<TColor>(((w & 0xFFu) << 16) | (w & 0xFF00u) | ((w >> 16) & 0xFFu));
}

// Resolves system colours: a plain 0x00BBGGRR colour, never with the top bit set.
TColor ColorToRGB(TColor c);

struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  friend bool operator==(const TRect&, const TRect&) = default;
};

inline TRect Rect(int l, int t, int r, int b) {
  return TRect{l, t, r, b};
}
void InflateRect(TRect& r, int dx, int dy);

// Every error the program raises: what() is the exact message text.
class EDaubixError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The message when the system gives no memory for pixels.
inline constexpr char kResourceShortage[] = "システム リソースが足りません";

class TObject {
 public:
  virtual ~TObject() = default;
};

class TBitmap;
class TCanvas;
class TRegion;

class TPen : public TObject {
 public:
  TColor Color() const { return color_; }
  void SetColor(TColor c) { color_ = c; }
  int Width() const { return width_; }
  void SetWidth(int w) {
    if (w >= 0) width_ = w;  // a negative width is ignored
  }

 private:
  TColor color_ = clBlack;
  int width_ = 1;
};

// bsClear is the hollow brush: Ellipse draws its outline alone, and FillRect,
// FrameRect and the text cell's background draw nothing.
enum TBrushStyle { bsSolid, bsClear };

class TBrush : public TObject {
 public:
  TColor Color() const { return color_; }
  void SetColor(TColor c) { color_ = c; }
  TBrushStyle Style() const { return style_; }
  void SetStyle(TBrushStyle s) { style_ = s; }

 private:
  TColor color_ = clWhite;
  TBrushStyle style_ = bsSolid;
};

class TFont : public TObject {
 public:
  TColor Color() const { return color_; }
  void SetColor(TColor c) { color_ = c; }
  const std::string& Name() const { return name_; }
  void SetName(const std::string& n) { name_ = n; }
  // Character height in pixels.
  int Height() const { return height_; }
  void SetHeight(int h) { height_ = h; }

 private:
  TColor color_ = clWindowText;
  std::string name_ = "ＭＳ Ｐゴシック";
  int height_ = 12;
};

// Text is the platform's job: the window toolkit installs a renderer that
// draws glyphs into a canvas. Without one, TextOut draws nothing.
class TTextRenderer {
 public:
  virtual ~TTextRenderer() = default;
  // Draws text with the top-left of its cell at (x, y), cell filled with the
  // brush colour, glyphs in the font colour; returns the text width.
  virtual int DrawText(TCanvas& canvas, int x, int y, const std::string& text) = 0;
  virtual int TextWidth(const TFont& font, const std::string& text) = 0;
};
void SetTextRenderer(TTextRenderer* renderer);

// The drawing context handed to the path functions below.
using HDC = TCanvas*;

class TCanvas : public TObject {
 public:
  explicit TCanvas(TBitmap& owner);
  ~TCanvas() override;
  TCanvas(const TCanvas&) = delete;
  TCanvas& operator=(const TCanvas&) = delete;

  TPen* const Pen = &pen_;
  TBrush* const Brush = &brush_;
  TFont* const Font = &font_;

  void FillRect(const TRect& r);
  void FrameRect(const TRect& r);
  void Ellipse(int x1, int y1, int x2, int y2);
  void Ellipse(const TRect& r) { Ellipse(r.Left, r.Top, r.Right, r.Bottom); }
  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  int PenPosX() const { return penX_; }
  int PenPosY() const { return penY_; }
  TColor Pixel(int x, int y) const;
  void SetPixel(int x, int y, TColor c);
  // Plain copy of source's Source rectangle into Dest (scaled when sizes
  // differ); only pixels inside the clip region change.
  void CopyRect(const TRect& dest, TCanvas* source, const TRect& sourceRect);
  void TextOut(int x, int y, const std::string& text);
  int TextWidth(const std::string& text) const;
  // Bounding box of where drawing can reach.
  TRect ClipRect() const;
  HDC Handle() { return this; }

  TBitmap& Bitmap() const { return owner_; }

  // Path recording and the clip region; see BeginPath and friends.
  void BeginPathRecording();
  void EndPathRecording();
  std::unique_ptr<TRegion> RecordedPathToRegion();
  void SelectClipRegion(const TRegion* region);
  bool HasClipRegion() const { return clip_ != nullptr; }
  // The drawing context is let go when the current event has been handled:
  // pen, brush, font and pen position stay, the clip region goes.
  void ReleaseContext();

 private:
  struct PathFigure {
    TRect box;  // edges in order, not empty
  };
  // Keeps this canvas on the list of contexts let go after the current event.
  void HoldContext();
  TBitmap& owner_;
  TPen pen_;
  TBrush brush_;
  TFont font_;
  int penX_ = 0, penY_ = 0;
  std::unique_ptr<TRegion> clip_;
  bool recording_ = false;
  std::vector<PathFigure> path_;
  friend class TBitmap;
};

// GDI-shaped path clip helpers, as the hue ring uses them.
void BeginPath(HDC dc);
void EndPath(HDC dc);
std::unique_ptr<TRegion> PathToRegion(HDC dc);
void SelectClipRgn(HDC dc, const TRegion* region);
// Lets go of every canvas's drawing context (drops clip regions). The window
// toolkit calls this when it has finished handling an event.
void ReleaseCanvasContexts();

// A set of pixels as sorted, disjoint spans per row, stored flat so that a
// copy costs two allocations whatever the number of rows.
class TRegion {
 public:
  struct Span {
    int x0, x1;  // x0 <= x < x1
  };
  TRegion() = default;
  // rows[i] holds the spans of row top + i.
  TRegion(int top, const std::vector<std::vector<Span>>& rows);
  // An empty region whose rows are appended in order from `top` down.
  explicit TRegion(int top) : top_(top) {}
  void AppendRow(std::span<const Span> spans);

  bool Contains(int x, int y) const;
  TRect Bounds() const;
  int Top() const { return top_; }
  int RowCount() const { return static_cast<int>(rowEnds_.size()); }
  std::span<const Span> Row(int y) const;  // y in bitmap coordinates

 private:
  int top_ = 0;
  std::vector<Span> spans_;
  std::vector<std::uint32_t> rowEnds_;  // spans of row i end at rowEnds_[i]
};

// How a bitmap read from a file stores its pixels; the program's own bitmaps
// are 32-bit with every colour exact.
struct TPixelFormat {
  int depth = 32;                  // 1, 4, 8, 16, 24 or 32
  std::vector<TColor> colorTable;  // depths of 8 or fewer
  // Channel masks for 16 and 32 bits (red, green, blue); 0x7C00, 0x3E0, 0x1F
  // for plain 16-bit files.
  std::uint32_t masks[3] = {0xFF0000, 0xFF00, 0xFF};
  bool bitFields = false;   // written with compression 3 and the masks
  bool coreHeader = false;  // written back with the 12-byte header
  friend bool operator==(const TPixelFormat&, const TPixelFormat&) = default;
};

// A bitmap's whole picture: its size, pixel format and pixel words.
struct TBitmapContents {
  int width = 0, height = 0;
  TPixelFormat format;
  TPixelStore pixels;
};

// Told before pixels of a bitmap change, so that what was there can be kept
// (the undo history). The bitmap's area is cut into square tiles; a bit per
// tile says it is kept already, so the usual call is a test of one word.
class TPixelWatcher {
 public:
  static constexpr int kTileShift = 4;
  static constexpr int kTileSize = 1 << kTileShift;  // pixels per side
  virtual ~TPixelWatcher() = default;

  // Pixels x0 <= x < x1 of rows y0 <= y < y1, all on the bitmap, are about
  // to change.
  void BeforeWrite(int x0, int y0, int x1, int y1) {
    if (y1 - y0 != 1 || !Kept(x0, y0, x1)) Keep(x0, y0, x1, y1);
  }
  // The whole picture is about to be replaced by one of newWidth x newHeight
  // (a resize or a load); `old` holds the picture until then and may be taken.
  virtual void BeforeReplace(TBitmapContents& old, int newWidth, int newHeight) noexcept = 0;

 protected:
  // Keeps what the tiles under the area hold, and sets their bits.
  virtual void Keep(int x0, int y0, int x1, int y1) noexcept = 0;
  // Whether every tile under x0 <= x < x1 of row y is kept already.
  bool Kept(int x0, int y, int x1) const {
    const unsigned tx0 = static_cast<unsigned>(x0) >> kTileShift;
    const unsigned tx1 = static_cast<unsigned>(x1 - 1) >> kTileShift;
    const std::uint64_t* row = kept_.data() + (static_cast<std::size_t>(y) >> kTileShift) * wordsPerTileRow_;
    for (unsigned w = tx0 >> 6; w <= tx1 >> 6; ++w) {
      std::uint64_t mask = ~std::uint64_t{0};
      if (w == tx0 >> 6) mask &= ~std::uint64_t{0} << (tx0 & 63);
      if (w == tx1 >> 6) mask &= ~std::uint64_t{0} >> (63 - (tx1 & 63));
      if ((row[w] & mask) != mask) return false;
    }
    return true;
  }
  // One bit per tile, rows of tiles wordsPerTileRow_ words apart; sized to the
  // bitmap by the watcher before any write can reach it.
  std::vector<std::uint64_t> kept_;
  std::size_t wordsPerTileRow_ = 0;
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

  // The pixel store: width x height words 0xFFRRGGBB, rows top first, no
  // padding (the layout of a QImage::Format_RGB32 image).
  const std::uint32_t* Bits() const { return pixels_.Data(); }
  std::uint32_t* ScanLine(int y) { return pixels_.Data() + static_cast<std::size_t>(y) * width_; }
  const std::uint32_t* ScanLine(int y) const { return pixels_.Data() + static_cast<std::size_t>(y) * width_; }

  // The colour this bitmap stores when asked to draw c: system colours
  // resolved, then reduced to what the depth or colour table can hold.
  std::uint32_t StoredPixel(TColor c) const {
    if (c >= 0 && (format_.depth == 24 || (format_.depth == 32 && !format_.bitFields))) return ColorToWord(c);
    return ReducedPixel(c);
  }

  // Every write of pixels announces its area (on the bitmap) first, so that a
  // watcher can keep what was there.
  void BeforeWrite(int x0, int y0, int x1, int y1) {
    if (watcher_) watcher_->BeforeWrite(x0, y0, x1, y1);
  }
  TPixelWatcher* Watcher() const { return watcher_; }
  void SetWatcher(TPixelWatcher* watcher) { watcher_ = watcher; }
  // Exchanges the whole picture with `contents`, telling no watcher: how the
  // undo history puts a picture back. The canvas and its settings stay.
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
  friend class TCanvas;
};
