#pragma once

#include "toolkit/toolkit.h"

// The palette: a white mixing area for dabbing and picking colours.
class TForm4 : public TForm {
 public:
  TForm4();
  TImage* Image1;

  void FormCreate(TObject* Sender);
  void FormResize(TObject* Sender);
  void Image1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void Image1MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
};

extern TForm4* Form4;
