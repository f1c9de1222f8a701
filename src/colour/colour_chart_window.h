#pragma once

#include "toolkit/toolkit.h"

// The colour chart: a fixed chart picture, a swatch, the colour dialog.
// Created with the others and never shown.
class TForm3 : public TForm {
 public:
  TForm3();
  TImage* Image1;
  TColorDialog* ColorDialog1;

  void FormCreate(TObject* Sender);
  void Image1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void Image1MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
};

extern TForm3* Form3;
