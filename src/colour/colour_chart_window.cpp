// The colour chart window: picks a colour from the chart picture or through
// the colour dialog and shows it in the chart's swatch.
#include "colour/colour_chart_window.h"

#include <string>

#include "canvas/canvas_window.h"
#include "colour/colour_chart_picture.h"

TForm3* Form3 = nullptr;

TForm3::TForm3() {
  SetCaption("Color");
  SetBorderStyle(bsDialog);
  SetLeft(865);
  SetTop(136);
  SetClientWidth(149);
  SetClientHeight(175);

  Image1 = Own(new TImage(this));
  Image1->SetBounds(0, 0, 149, 175);
  Image1->SetAlign(alClient);
  // Drawn at the control's top-left without scaling: the picture's last column
  // is cut off, and the control's bottom row lies below the picture.
  DrawColourChart(*Image1->Picture()->Bitmap());
  ColorDialog1 = Own(new TColorDialog(this));

  OnCreate = [this](TObject* sender) { FormCreate(sender); };
  Image1->OnMouseDown = [this](TObject* sender, TMouseButton button, TShiftState shift, int x, int y) {
    Image1MouseDown(sender, button, shift, x, y);
  };
  Image1->OnMouseMove = [this](TObject* sender, TShiftState shift, int x, int y) {
    Image1MouseMove(sender, shift, x, y);
  };
}

void TForm3::FormCreate(TObject* /*Sender*/) {
  // All 16 custom colour boxes start white.
  for (int i = 0; i < 16; ++i) {
    ColorDialog1->CustomColors().push_back("Color" + std::string(1, static_cast<char>('A' + i)) + "=FFFFFF");
  }
}

void TForm3::Image1MouseDown(TObject* /*Sender*/, TMouseButton /*Button*/, TShiftState Shift, int X, int Y) {
  TCanvas* canvas = Image1->Canvas();
  if (Shift & ssLeft) {
    if (Form1->TabletPressureIsLight()) return;
    // Below the picture this reads 0xFFFFFFFF, which the swatch then draws black.
    Form1->CurrentColor = canvas->Pixel(X, Y);
  } else if (ColorDialog1->Execute()) {
    Form1->CurrentColor = ColorDialog1->Color();
  }
  canvas->Brush->SetColor(Form1->CurrentColor);
  canvas->FillRect(kChartSwatch);
}

void TForm3::Image1MouseMove(TObject* /*Sender*/, TShiftState /*Shift*/, int /*X*/, int /*Y*/) {}
