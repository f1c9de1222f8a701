// The brush cursor overlay: the outline rule, drawing it at the pointer, and
// passing the overlay's mouse events on to the canvas.
#include "canvas/brush_cursor.h"

#include <algorithm>

#include "brush/brush_window.h"
#include "canvas/canvas_window.h"

void TOutlineRecord::Restart(const TBitmap* overlay, int penWidth) {
  bitmap_ = overlay;
  penWidth_ = penWidth;
  places_.clear();
  overflowed_ = false;
}

void TOutlineRecord::Add(const TCanvas* canvas, const TOutlinePlace& place) {
  if (&canvas->Bitmap() != bitmap_) return;
  if (places_.size() == kMaxPlaces || canvas->Pen->Width() != penWidth_)
    overflowed_ = true;
  else
    places_.push_back(place);
}

bool TOutlineRecord::Covers(const TBitmap* overlay, int pen) const {
  return bitmap_ == overlay && penWidth_ == pen && !overflowed_;
}

namespace {

struct OutlineColours {
  TColor outer, inner;
};

// The outline rule's two figures in the given colours; round ones with the
// canvas brush as it is, so a hollow brush leaves their insides alone.
void DrawOutlineFigures(TCanvas* canvas, const TOutlinePlace& place, OutlineColours colours) {
  const TRect outer = BrushBox(place.x, place.y, place.size);
  // For sizes 1 to 3 this box is empty or inverted; drawn as it comes.
  const TRect inner = Rect(outer.Left + 1, outer.Top + 1, outer.Right - 1, outer.Bottom - 1);
  OutlineBrush(canvas, place.shape, outer, colours.outer);
  OutlineBrush(canvas, place.shape, inner, colours.inner);
}

// On a white overlay the figures' white insides change nothing, and no pixel
// of the outer outline lies inside the inner figure's inside (that inside is
// the outer one shrunk by a pixel), so the two outlines drawn with a hollow
// brush give exactly the rule's pixels. The brush ends as the rule leaves it.
void DrawHollowOutline(TCanvas* canvas, const TOutlinePlace& place, OutlineColours colours) {
  if (place.shape == TBrushShape::Round) {
    canvas->Brush->SetStyle(bsClear);
    DrawOutlineFigures(canvas, place, colours);
    canvas->Brush->SetStyle(bsSolid);
  } else {
    DrawOutlineFigures(canvas, place, colours);
  }
}

}  // namespace

void DrawBrushOutline(TCanvas* canvas, int X, int Y, int size, TBrushShape shape) {
  // Round: the white brush keeps the insides transparent.
  DrawOutlineFigures(canvas, {X, Y, size, shape}, {clBlack, clSilver});
}

void TForm1::DrawBrushCursor(int X, int Y) {
  TCanvas* canvas = Image2->Canvas();
  TBitmap* overlay = Image2->Picture()->Bitmap();
  canvas->Brush->SetColor(clWhite);
  if (BrushOutlines.Covers(overlay, canvas->Pen->Width())) {
    for (const TOutlinePlace& place : BrushOutlines.Places())
      DrawHollowOutline(canvas, place, {clWhite, clWhite});
  } else {
    // The control and its bitmap have the same size; should they ever not,
    // every pixel must still go, or the record below would be wrong.
    canvas->FillRect(Rect(0, 0, std::max(Image2->Width(), overlay->Width()),
                          std::max(Image2->Height(), overlay->Height())));
  }
  BrushOutlines.Restart(overlay, canvas->Pen->Width());
  overlay->SetTransparentColor(clWhite);
  const TOutlinePlace place{X, Y, Form2->ScrollBar1->Position(), Form2->BrushShape()};
  DrawHollowOutline(canvas, place, {clBlack, clSilver});
  BrushOutlines.Add(canvas, place);
}

void TForm1::ShowBrushOutlineAtCentre(int size, TBrushShape shape) {
  FitOverlayToCanvas();
  TCanvas* canvas = Image2->Canvas();
  const int width = Image2->Width();
  const int height = Image2->Height();
  canvas->FillRect(Rect(0, 0, width, height));
  Image2->Picture()->Bitmap()->SetTransparentColor(clWhite);
  DrawBrushOutline(canvas, width / 2, height / 2, size, shape);
  BrushOutlines.Add(canvas, {width / 2, height / 2, size, shape});
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
