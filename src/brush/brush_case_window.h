#pragma once

#include "toolkit/toolkit.h"

// The brush case: presets of colour, size and shape kept as list captions
// "colour,size,shape" with 50 x 50 thumbnails, for this run only.
class TForm6 : public TForm {
 public:
  TForm6();
  TListView* ListView1;
  TImageList* ImageList1;

  void FormCreate(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void ListView1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void ListView1SelectItem(TObject* Sender, TListItem* Item, bool Selected);

 private:
  void AddPreset();
  void ApplyPreset(TListItem* item);
};

extern TForm6* Form6;
