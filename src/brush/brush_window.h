#pragma once

#include "brush/brush_shape.h"
#include "toolkit/toolkit.h"

// The brush window: its controls hold the brush settings (shape, size,
// dotting, one-stroke, show cursor); readers take them at the moment of use.
class TForm2 : public TForm {
 public:
  TForm2();
  TSpeedButton* SpeedButton1;  // round
  TSpeedButton* SpeedButton2;  // square
  TCheckBox* CheckBox1;        // dotting
  TCheckBox* CheckBox2;        // one-stroke
  TCheckBox* CheckBox3;        // show cursor
  TLabel* Label1;
  TScrollBar* ScrollBar1;  // size 1..500
  TImage* Image1;          // preview

  // The shape whose button is down.
  TBrushShape BrushShape() const;

  void FormCreate(TObject* Sender);
  void SpeedButton1Click(TObject* Sender);
  void SpeedButton2Click(TObject* Sender);
  // The brush refresh: preview, label, canvas pen width, overlay.
  void ScrollBar1Change(TObject* Sender);
  void FormResize(TObject* Sender);
  void CheckBox1Click(TObject* Sender);
  void CheckBox2Click(TObject* Sender);
  void CheckBox3Click(TObject* Sender);

 private:
  void DrawPreview();
};

extern TForm2* Form2;
