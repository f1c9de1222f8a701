// Painting on the canvas: dots, strokes, the right-button colour pick, and
// keeping the canvas bitmap the size of the window's client area.
#include "brush/brush_shape.h"
#include "brush/brush_window.h"
#include "canvas/canvas_window.h"

int LastX = -1;
int LastY = -1;

// Pending events run nested after the colours are set and before anything is
// painted: queued moves paint their lines first, and this press then goes on
// with the anchor where they left it.
void TForm1::Image1MouseDown(TObject* /*Sender*/, TMouseButton /*Button*/, TShiftState Shift, int X, int Y) {
  // Everything until the release, nested moves included, is one step.
  History->EndStep();
  Modified = true;
  if (LastX < 0) {
    LastX = X;
    LastY = Y;
  }
  const TRect dot = BrushBox(X, Y, Form2->ScrollBar1->Position());
  Image1->Canvas()->Brush->SetColor(CurrentColor);
  Image1->Canvas()->Pen->SetColor(CurrentColor);
  Application->ProcessMessages();

  TCanvas* canvas = Image1->Canvas();
  if (Shift & ssLeft) {
    if (Form2->CheckBox1->Checked()) StampBrush(canvas, Form2->BrushShape(), dot);
    if (Form2->CheckBox2->Checked() && LastX >= 0) {
      canvas->MoveTo(LastX, LastY);
      canvas->LineTo(X, Y);
      LastX = X;
      LastY = Y;
    }
  } else if (Shift & ssRight) {
    // Reaches the pen and brush at the next event.
    CurrentColor = canvas->Pixel(X, Y);
  }
}

void TForm1::Image1MouseMove(TObject* /*Sender*/, TShiftState Shift, int X, int Y) {
  TCanvas* canvas = Image1->Canvas();
  canvas->Brush->SetColor(CurrentColor);
  canvas->Pen->SetColor(CurrentColor);
  if (!(Shift & ssLeft)) return;
  // A light touch moves the anchor without painting, so the stroke resumes
  // from the last light point.
  if (TabletPressureIsLight()) {
    LastX = X;
    LastY = Y;
    return;
  }
  // The button went down off the canvas (say, the double click that closed a
  // dialog): start the stroke here instead of from nowhere.
  if (LastX < 0) {
    LastX = X;
    LastY = Y;
  }
  canvas->Pen->SetWidth(Form2->ScrollBar1->Position());
  canvas->MoveTo(LastX, LastY);
  canvas->LineTo(X, Y);
  LastX = X;
  LastY = Y;
  Application->ProcessMessages();
}

void TForm1::Image1MouseUp(TObject* /*Sender*/, TMouseButton /*Button*/, TShiftState /*Shift*/, int X,
                           int Y) {
  if (Form2->CheckBox2->Checked()) {
    LastX = X;
    LastY = Y;
  } else {
    LastX = -1;
    LastY = -1;
  }
  History->EndStep();
}

void TForm1::FormResize(TObject* /*Sender*/) {
  FitCanvasToClient();
  FitOverlayToCanvas();
}

void TForm1::FitCanvasToClient() {
  const TPictureHistory::Command resize(*History, true);
  // The client area in device pixels, which the image fills.
  ResizeImageWhite(Image1, Image1->Width(), Image1->Height());
  Image1->Canvas()->Brush->SetColor(CurrentColor);
}

void TForm1::FitOverlayToCanvas() {
  ResizeImageWhite(Image2, Image1->Width(), Image1->Height());
}
