#include "colour/palette_window.h"

#include "app/canvas_window.h"
#include "brush/brush_window.h"
#include "canvas/text_fields.h"

TForm4* Form4 = nullptr;

TForm4::TForm4() {
  SetCaption("Palette");
  SetLeft(740);
  SetTop(449);
  SetWidth(278);
  SetHeight(281);

  Image1 = Own(new TImage(this));
  Image1->SetAlign(alClient);
  Image1->OnMouseDown = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
    Image1MouseDown(s, b, sh, x, y);
  };
  Image1->OnMouseMove = [this](TObject* s, TShiftState sh, int x, int y) { Image1MouseMove(s, sh, x, y); };

  // Bound last, so that laying out the window above runs no handler before
  // the image exists.
  OnCreate = [this](TObject* s) { FormCreate(s); };
  OnResize = [this](TObject* s) { FormResize(s); };
}

void TForm4::FormCreate(TObject*) {}

void TForm4::FormResize(TObject*) {}

void TForm4::Image1MouseDown(TObject*, TMouseButton, TShiftState, int, int) {}

void TForm4::Image1MouseMove(TObject*, TShiftState, int, int) {}
