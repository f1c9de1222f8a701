// The drawing context of a bitmap: pen, brush and font, the drawing calls,
// paths and the clip region. Exact, aliased drawing; no Qt here.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/basics.h"
#include "core/colour.h"
#include "core/region.h"

class TBitmap;

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

// Glyphs as the platform's font engine shapes them, aliased: the text cell
// (its advance and height) and the mask of the pixels the glyphs cover, in a
// box given from the cell's top-left corner.
struct TTextInk {
  int advance = 0, cellHeight = 0;
  int left = 0, top = 0, width = 0, height = 0;
  std::vector<std::uint8_t> mask;  // width x height, rows top first; non-zero is ink
};

// Text is the platform's job: the window toolkit installs a renderer that
// shapes and renders glyphs; the canvas writes them. Without one, TextOut
// draws nothing.
class TTextRenderer {
 public:
  virtual ~TTextRenderer() = default;
  virtual TTextInk Render(const TFont& font, const std::string& text) = 0;
  virtual int TextWidth(const TFont& font, const std::string& text) = 0;
};
void SetTextRenderer(TTextRenderer* renderer);

class TCanvas;
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
  // Text with the top-left of its cell at (x, y): the cell filled with the
  // brush colour (unless hollow), the glyphs in the font colour, both cut by
  // the clip region. The pen moves to the cell's top-right.
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
};

// GDI-shaped path clip helpers, as the hue ring uses them.
void BeginPath(HDC dc);
void EndPath(HDC dc);
std::unique_ptr<TRegion> PathToRegion(HDC dc);
void SelectClipRgn(HDC dc, const TRegion* region);
// Lets go of every canvas's drawing context (drops clip regions). The window
// toolkit calls this when it has finished handling an event.
void ReleaseCanvasContexts();
