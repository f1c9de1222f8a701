#include "colour/palette_window.h"

#include <algorithm>

#include "brush/brush_shape.h"
#include "brush/brush_window.h"
#include "canvas/canvas_window.h"
#include "core/rounding.h"

TForm4* Form4 = nullptr;

TForm4::TForm4() {
  SetCaption("Palette");
  SetLeft(740);
  SetTop(449);
  SetWidth(278);
  SetHeight(281);

  Image1 = Own(new TImage(this));
  Image1->SetAlign(alClient);
  Image1->SetDevicePixels(true);
  Image1->OnMouseDown = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
    Image1MouseDown(s, b, sh, x, y);
  };
  Image1->OnMouseMove = [this](TObject* s, TShiftState sh, int x, int y) { Image1MouseMove(s, sh, x, y); };

  // Bound last, so that laying out the window above runs no handler before
  // the image exists.
  OnCreate = [this](TObject* s) { FormCreate(s); };
  OnResize = [this](TObject* s) { FormResize(s); };
}

void TForm4::FormCreate(TObject*) {}

namespace {
// A click dabs a square brush's whole box, but a round one far smaller:
// radius about a tenth of the size, at least 1 (size 10 gives 1, 11 gives 2,
// 255 gives 26, 500 gives 50).
TRect DabBox(TBrushShape shape, int X, int Y, int size) {
  if (shape == TBrushShape::Square) return BrushBox(X, Y, size);
  const int r = std::max(1, static_cast<int>(Round(size / 2.0L) - Round(size * 0.4L)));
  return Rect(X - r, Y - r, X + r, Y + r);
}

// Both mouse handlers take the current colour first, even when they then
// paint nothing.
TCanvas* PaletteCanvasInCurrentColour(TImage* image) {
  TCanvas* canvas = image->Canvas();
  canvas->Brush->SetColor(Form1->CurrentColor);
  canvas->Pen->SetColor(Form1->CurrentColor);
  return canvas;
}
}  // namespace

// Keeps the mixing area: old pixels stay at the top-left, new area is white,
// what a shrink cuts off is gone for good.
void TForm4::FormResize(TObject*) {
  ResizeImageWhite(Image1, Image1->Width(), Image1->Height());
  Image1->Canvas()->Brush->SetColor(Form1->CurrentColor);
}

// The button flags in Shift decide, not Button: with the left button held a
// right press paints.
void TForm4::Image1MouseDown(TObject*, TMouseButton, TShiftState Shift, int X, int Y) {
  const int size = Form2->ScrollBar1->Position();
  TCanvas* canvas = PaletteCanvasInCurrentColour(Image1);
  if (Shift & ssLeft) {
    if (Form1->TabletPressureIsLight()) return;
    const TBrushShape shape = Form2->BrushShape();
    StampBrush(canvas, shape, DabBox(shape, X, Y, size));
  } else if (Shift & ssRight) {
    Form1->CurrentColor = canvas->Pixel(X, Y);
  }
}

// One stamp per move; positions are not joined, so a fast drag leaves gaps.
void TForm4::Image1MouseMove(TObject*, TShiftState Shift, int X, int Y) {
  const int size = Form2->ScrollBar1->Position();
  TCanvas* canvas = PaletteCanvasInCurrentColour(Image1);
  if (!(Shift & ssLeft)) return;
  if (Form1->TabletPressureIsLight()) return;
  StampBrush(canvas, Form2->BrushShape(), BrushBox(X, Y, size));
}
