// The brush cursor overlay: the outline rule, drawing it at the pointer, and
// passing the overlay's mouse events on to the canvas.
#include "canvas/brush_cursor.h"

#include <algorithm>

#include "brush/brush_window.h"
#include "canvas/canvas_window.h"

namespace {

// Where outlines were drawn on the overlay since it was last cleared. Every
// non-white overlay pixel comes from DrawBrushOutline, so clearing this box
// leaves exactly what clearing the whole overlay would: a move at 3840 x 2160
// then touches two brush-sized boxes instead of 33 MB. Outlines drawn on any
// other bitmap are not recorded; a new overlay bitmap gets one whole clear.
struct OutlineRecord {
  const TBitmap* bitmap = nullptr;
  TRect box{};  // union of outline boxes; empty when none
};
OutlineRecord gOutlines;

TRect Normalized(const TRect& r) {
  return Rect(std::min(r.Left, r.Right), std::min(r.Top, r.Bottom), std::max(r.Left, r.Right),
              std::max(r.Top, r.Bottom));
}

TRect Union(const TRect& a, const TRect& b) {
  if (a.IsEmpty()) return b;
  if (b.IsEmpty()) return a;
  return Rect(std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
              std::max(a.Bottom, b.Bottom));
}

void RecordOutline(const TBitmap* bitmap, TRect box, int penWidth) {
  if (bitmap != gOutlines.bitmap) return;
  // A wider pen reaches about half its width outside the box; a pixel more
  // is cheap insurance.
  InflateRect(box, penWidth, penWidth);
  gOutlines.box = Union(gOutlines.box, box);
}

}  // namespace

void DrawBrushOutline(TCanvas* canvas, int X, int Y, int size, TBrushShape shape) {
  const bool round = shape == TBrushShape::Round;
  const int h = size / 2;
  const TRect outer = Rect(X - h, Y - h, X + h, Y + h);
  // For sizes 1 to 3 this box is empty or inverted; drawn as it comes.
  const TRect inner = Rect(X - h + 1, Y - h + 1, X + h - 1, Y + h - 1);

  canvas->Pen->SetColor(clBlack);
  if (round) {
    canvas->Ellipse(outer);  // the white brush keeps the inside transparent
  } else {
    canvas->Brush->SetColor(clBlack);
    canvas->FrameRect(outer);
  }
  canvas->Pen->SetColor(clSilver);
  if (round) {
    canvas->Ellipse(inner);
  } else {
    canvas->Brush->SetColor(clSilver);
    canvas->FrameRect(inner);
  }
  RecordOutline(&canvas->Bitmap(), Union(Normalized(outer), Normalized(inner)), canvas->Pen->Width());
}

void TForm1::DrawBrushCursor(int X, int Y) {
  TCanvas* canvas = Image2->Canvas();
  TBitmap* overlay = Image2->Picture()->Bitmap();
  canvas->Brush->SetColor(clWhite);
  if (gOutlines.bitmap == overlay) {
    canvas->FillRect(gOutlines.box);
  } else {
    // The control and its bitmap have the same size; should they ever not,
    // every pixel must still go, or the record below would be wrong.
    canvas->FillRect(Rect(0, 0, std::max(Image2->Width(), overlay->Width()),
                          std::max(Image2->Height(), overlay->Height())));
  }
  gOutlines = OutlineRecord{overlay, TRect{}};
  overlay->SetTransparentColor(clWhite);
  DrawBrushOutline(canvas, X, Y, Form2->ScrollBar1->Position(), Form2->BrushShape());
}

void TForm1::Image2MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  Image1MouseDown(Sender, Button, Shift, X, Y);
}

// The cursor first, then the stroke.
void TForm1::Image2MouseMove(TObject* Sender, TShiftState Shift, int X, int Y) {
  if (Image2->Visible()) DrawBrushCursor(X, Y);
  Image1MouseMove(Sender, Shift, X, Y);
}

void TForm1::Image2MouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
  Image1MouseUp(Sender, Button, Shift, X, Y);
}
