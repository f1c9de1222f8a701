#include "colour/hsv_picker_window.h"

#include <cmath>
#include <cstdint>
#include <memory>

#include "app/canvas_window.h"
#include "canvas/text_fields.h"
#include "colour/colour_conversions.h"

TForm7* Form7 = nullptr;

TForm7::TForm7() {
  SetCaption("Color Picker Dialog");
  SetBorderStyle(bsSingle);
  SetLeft(617);
  SetTop(496);
  SetClientWidth(200);
  SetClientHeight(200);
  // Outer size: the 200 x 200 client plus whatever frame the platform draws.
  SetConstraints(TSizeConstraints{200, 200, 208, 234});

  Image1 = Own(new TImage(this));
  Image1->SetBounds(0, 0, 200, 200);
  Image1->OnMouseDown = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
    Image1MouseDown(s, b, sh, x, y);
  };

  OnCreate = [this](TObject* s) { FormCreate(s); };
  OnShow = [this](TObject* s) { FormShow(s); };
  OnResize = [this](TObject* s) { FormResize(s); };
}

void TForm7::FormCreate(TObject*) {
  FirstShow = true;
  // Every other window exists now, so this is where they are placed.
  Form1->ApplyLayout();
  TCanvas* canvas = Image1->Canvas();
  DrawHueRing(canvas, canvas->ClipRect(), 5);
}

void TForm7::FormShow(TObject*) {
  if (!FirstShow) return;
  FirstShow = false;
  DrawSvSquare(clRed, Image1);
}

void TForm7::FormPaint(TObject*) {}

void TForm7::FormResize(TObject*) {}

void TForm7::Image1MouseDown(TObject*, TMouseButton, TShiftState, int, int) {}

void TForm7::DrawHueRing(TCanvas*, const TRect&, int) {}

void TForm7::DrawSvSquare(TColor, TImage*) {}
