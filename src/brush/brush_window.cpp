// The brush window: shape buttons, the size bar, the three check boxes and a
// preview. Its controls are the brush settings; nothing keeps a copy.
#include "brush/brush_window.h"

#include <string>

#include "canvas/canvas_window.h"

TForm2* Form2 = nullptr;

namespace {

struct Bounds {
  int left, top, width, height;
};

void Place(TControl* control, Bounds b) {
  control->SetBounds(b.left, b.top, b.width, b.height);
}

TCheckBox* MakeCheckBox(TForm2* form, const char* caption, Bounds b, bool checked, int tabOrder) {
  TCheckBox* box = form->Own(new TCheckBox(form));
  Place(box, b);
  box->SetCaption(caption);
  box->SetChecked(checked);
  box->SetTabOrder(tabOrder);
  return box;
}

TSpeedButton* MakeShapeButton(TForm2* form, const char* caption, Bounds b) {
  TSpeedButton* button = form->Own(new TSpeedButton(form));
  Place(button, b);
  button->SetCaption(caption);
  button->SetFlat(true);
  button->SetGroupIndex(1);
  return button;
}

}  // namespace

TForm2::TForm2() {
  SetCaption("Brush");
  SetBorderStyle(bsSizeable);
  SetLeft(60);
  SetTop(136);
  SetClientWidth(227);
  SetClientHeight(203);

  SpeedButton1 = MakeShapeButton(this, "●", {3, 2, 23, 22});
  SpeedButton2 = MakeShapeButton(this, "■", {28, 2, 23, 22});
  CheckBox1 = MakeCheckBox(this, "点描", {56, 5, 52, 17}, true, 1);
  CheckBox2 = MakeCheckBox(this, "一筆描き", {105, 5, 68, 17}, false, 2);
  CheckBox3 = MakeCheckBox(this, "表示", {175, 5, 47, 17}, true, 3);
  Label1 = Own(new TLabel(this));
  Place(Label1, {4, 28, 18, 12});
  Label1->SetCaption("001");
  ScrollBar1 = Own(new TScrollBar(this));
  Place(ScrollBar1, {27, 28, 194, 12});
  ScrollBar1->SetMax(500);
  ScrollBar1->SetMin(1);
  ScrollBar1->SetPageSize(0);
  ScrollBar1->SetSmallChange(1);
  ScrollBar1->SetLargeChange(1);
  ScrollBar1->SetPosition(10);
  Image1 = Own(new TImage(this));
  Place(Image1, {4, 47, 218, 153});
  Image1->SetAnchors(akLeft | akTop | akRight | akBottom);

  OnCreate = [this](TObject* s) { FormCreate(s); };
  OnResize = [this](TObject* s) { FormResize(s); };
  SpeedButton1->OnClick = [this](TObject* s) { SpeedButton1Click(s); };
  SpeedButton2->OnClick = [this](TObject* s) { SpeedButton2Click(s); };
  CheckBox1->OnClick = [this](TObject* s) { CheckBox1Click(s); };
  CheckBox2->OnClick = [this](TObject* s) { CheckBox2Click(s); };
  CheckBox3->OnClick = [this](TObject* s) { CheckBox3Click(s); };
  ScrollBar1->OnChange = [this](TObject* s) { ScrollBar1Change(s); };
}

void TForm2::FormCreate(TObject* /*Sender*/) {
  SpeedButton1->SetDown(true);
  Label1->SetCaption(std::to_string(ScrollBar1->Position()));
}

void TForm2::SpeedButton1Click(TObject* /*Sender*/) {
  SpeedButton1->SetDown(true);
  ScrollBar1Change(nullptr);
}

void TForm2::SpeedButton2Click(TObject* /*Sender*/) {
  SpeedButton2->SetDown(true);
  ScrollBar1Change(nullptr);
}

TBrushShape TForm2::BrushShape() const {
  return SpeedButton1->Down() ? TBrushShape::Round : TBrushShape::Square;
}

// The brush refresh. Runs for every position while the thumb is dragged.
void TForm2::ScrollBar1Change(TObject* /*Sender*/) {
  const int size = ScrollBar1->Position();
  DrawPreview();
  Label1->SetCaption(std::to_string(size));
  Form1->Image1->Canvas()->Pen->SetWidth(size);

  Form1->ShowBrushOutlineAtCentre(size, BrushShape());
  Form1->Image2->SetVisible(CheckBox3->Checked());
}

void TForm2::FormResize(TObject* /*Sender*/) {
  DrawPreview();
}

void TForm2::CheckBox1Click(TObject* /*Sender*/) {
  Application->ProcessMessages();
}

// Unchecking ends the joined stroke before pending events run, so a move
// processed here cannot join onto the old anchor.
void TForm2::CheckBox2Click(TObject* /*Sender*/) {
  if (!CheckBox2->Checked()) {
    LastX = -1;
    LastY = -1;
  }
  Application->ProcessMessages();
}

void TForm2::CheckBox3Click(TObject* /*Sender*/) {
  ScrollBar1Change(nullptr);
}

// The brush at its true size in the top-left corner of a white preview.
void TForm2::DrawPreview() {
  const int size = ScrollBar1->Position();
  const int width = Image1->Width();
  const int height = Image1->Height();
  ResizeImageWhite(Image1, width, height);
  TCanvas* canvas = Image1->Canvas();
  canvas->FillRect(Rect(0, 0, width, height));
  canvas->Brush->SetColor(clBlack);
  StampBrush(canvas, BrushShape(), Rect(0, 0, size, size));
}
