#pragma once

#include "toolkit/toolkit.h"

// The HSV picker: a hue ring around a saturation/value square in one
// 200 x 200 image.
class TForm7 : public TForm {
 public:
  TForm7();
  TImage* Image1;
  bool FirstShow = true;

  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormResize(TObject* Sender);
  void Image1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

  // Paints the ring into rect with `steps` spokes per degree.
  void DrawHueRing(TCanvas* canvas, const TRect& rect, int steps);
  // Paints the square for the hue of colour, then invalidates the image.
  void DrawSvSquare(TColor colour, TImage* image);
};

extern TForm7* Form7;
