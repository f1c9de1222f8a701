#include "brush/brush_shape.h"

TRect BrushBox(int X, int Y, int size) {
  const int h = size / 2;
  return Rect(X - h, Y - h, X + h, Y + h);
}

void StampBrush(TCanvas* canvas, TBrushShape shape, const TRect& box) {
  if (shape == TBrushShape::Square) return canvas->FillRect(box);
  const int penWidth = canvas->Pen->Width();
  canvas->Pen->SetWidth(0);
  canvas->Ellipse(box);
  canvas->Pen->SetWidth(penWidth);
}

void OutlineBrush(TCanvas* canvas, TBrushShape shape, const TRect& box, TColor colour) {
  canvas->Pen->SetColor(colour);
  if (shape == TBrushShape::Round) return canvas->Ellipse(box);
  canvas->Brush->SetColor(colour);
  canvas->FrameRect(box);
}
