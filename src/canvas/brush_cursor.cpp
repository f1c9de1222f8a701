// The brush cursor overlay: the outline rule, drawing it at the pointer, and
// passing the overlay's mouse events on to the canvas.
#include "canvas/brush_cursor.h"

#include <algorithm>
#include <vector>

#include "brush/brush_shape.h"
#include "brush/brush_window.h"
#include "canvas/canvas_window.h"

namespace {

struct OutlinePlace {
  int x, y, size;
  TBrushShape shape;
};

// The outlines drawn on the overlay since it was last wholly white. Every
// non-white overlay pixel comes from one of them, so drawing them again in
// white leaves exactly what clearing the whole overlay would: a move then
// writes the pixels of two outlines, whatever the brush and canvas size.
// Outlines drawn on any other bitmap are not recorded; a new overlay bitmap,
// a change of pen width or too many refreshes between two moves (each of
// which adds an outline) get one whole clear.
struct OutlineRecord {
  static constexpr std::size_t kMaxPlaces = 8;
  const TBitmap* bitmap = nullptr;
  int penWidth = 1;
  std::vector<OutlinePlace> places;
  bool overflowed = false;

  bool Covers(const TBitmap* overlay, int pen) const {
    return bitmap == overlay && penWidth == pen && !overflowed;
  }
};
OutlineRecord gOutlines;

void RecordOutline(const TCanvas* canvas, const OutlinePlace& place) {
  if (&canvas->Bitmap() != gOutlines.bitmap) return;
  if (gOutlines.places.size() == OutlineRecord::kMaxPlaces || canvas->Pen->Width() != gOutlines.penWidth)
    gOutlines.overflowed = true;
  else
    gOutlines.places.push_back(place);
}

struct OutlineColours {
  TColor outer, inner;
};

// The outline rule's two figures in the given colours; round ones with the
// canvas brush as it is, so a hollow brush leaves their insides alone.
void DrawOutlineFigures(TCanvas* canvas, const OutlinePlace& place, OutlineColours colours) {
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
void DrawHollowOutline(TCanvas* canvas, const OutlinePlace& place, OutlineColours colours) {
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
  const OutlinePlace place{X, Y, size, shape};
  // Round: the white brush keeps the insides transparent.
  DrawOutlineFigures(canvas, place, {clBlack, clSilver});
  RecordOutline(canvas, place);
}

void TForm1::DrawBrushCursor(int X, int Y) {
  TCanvas* canvas = Image2->Canvas();
  TBitmap* overlay = Image2->Picture()->Bitmap();
  canvas->Brush->SetColor(clWhite);
  if (gOutlines.Covers(overlay, canvas->Pen->Width())) {
    for (const OutlinePlace& place : gOutlines.places) DrawHollowOutline(canvas, place, {clWhite, clWhite});
  } else {
    // The control and its bitmap have the same size; should they ever not,
    // every pixel must still go, or the record below would be wrong.
    canvas->FillRect(Rect(0, 0, std::max(Image2->Width(), overlay->Width()),
                          std::max(Image2->Height(), overlay->Height())));
  }
  gOutlines = OutlineRecord{overlay, canvas->Pen->Width(), {}, false};
  overlay->SetTransparentColor(clWhite);
  const OutlinePlace place{X, Y, Form2->ScrollBar1->Position(), Form2->BrushShape()};
  DrawHollowOutline(canvas, place, {clBlack, clSilver});
  RecordOutline(canvas, place);
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
