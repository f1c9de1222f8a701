// The canvas window's shell: its components and menus, creation, showing,
// closing and destruction, and the Window and Help menus.
#include "app/canvas_window.h"

#include "app/about_window.h"
#include "brush/brush_case_window.h"
#include "brush/brush_window.h"
#include "colour/colour_chart_window.h"
#include "colour/hsv_picker_window.h"
#include "colour/palette_window.h"

TForm1* Form1 = nullptr;

namespace {

const char kPictureFilter[] = "ビットマップ (*.bmp)|*.bmp";

TMenuItem* MakeMenuItem(TForm1* form, const char* caption) {
  TMenuItem* item = form->Own(new TMenuItem(form));
  item->SetCaption(caption);
  return item;
}

void ResetDrawingState(TForm1* form) {
  form->CurrentColor = clBlack;
  LastX = -1;
  LastY = -1;
}

}  // namespace

TForm1::TForm1() {
  SetCaption("Canvas - Daubix");
  SetBorderStyle(bsSizeable);

  // Declaration order: Image2, made last, lies above Image1 and takes the mouse.
  Image1 = Own(new TImage(this));
  MainMenu1 = Own(new TMainMenu(this));
  N1 = MakeMenuItem(this, "ファイル(&F)");
  N2 = MakeMenuItem(this, "新規作成(&N)");
  N3 = MakeMenuItem(this, "開く(&O)");
  N4 = MakeMenuItem(this, "保存(&S)");
  N5 = MakeMenuItem(this, "終了(&Q)");
  OpenPictureDialog1 = Own(new TOpenPictureDialog(this));
  OpenPictureDialog1->SetFilter(kPictureFilter);
  SavePictureDialog1 = Own(new TSavePictureDialog(this));
  SavePictureDialog1->SetFilter(kPictureFilter);
  N6 = MakeMenuItem(this, "ウインドウ(&W)");
  N7 = MakeMenuItem(this, "カンバス");
  N8 = MakeMenuItem(this, "ブラシ(&B)");
  N9 = MakeMenuItem(this, "カラー(&C)");
  N10 = MakeMenuItem(this, "パレット(&P)");
  N11 = MakeMenuItem(this, "ヘルプ(&H)");
  NDaubix1 = MakeMenuItem(this, "Daubix について(&H)");
  C1 = MakeMenuItem(this, "筆入れ(&C)");
  HSV1 = MakeMenuItem(this, "カラーHSV(&H)");
  Image2 = Own(new TImage(this));

  // The canvas and the colour chart entries exist but the user can reach neither.
  N7->SetVisible(false);
  N7->SetEnabled(false);
  N9->SetVisible(false);
  N9->SetEnabled(false);

  MainMenu1->Add(N1);
  for (TMenuItem* item : {N2, N3, N4, N5}) N1->Add(item);
  MainMenu1->Add(N6);
  for (TMenuItem* item : {N7, N8, N9, HSV1, N10, C1}) N6->Add(item);
  MainMenu1->Add(N11);
  N11->Add(NDaubix1);
  SetMenu(MainMenu1);

  SetClientWidth(600);
  SetClientHeight(400);
  Image1->SetAlign(alClient);
  Image2->SetAlign(alClient);
  Image2->SetTransparent(true);

  OnCreate = [this](TObject* s) { FormCreate(s); };
  OnShow = [this](TObject* s) { FormShow(s); };
  OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
  OnDestroy = [this](TObject* s) { FormDestroy(s); };
  OnResize = [this](TObject* s) { FormResize(s); };
  Image1->OnMouseDown = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
    Image1MouseDown(s, b, sh, x, y);
  };
  Image1->OnMouseMove = [this](TObject* s, TShiftState sh, int x, int y) { Image1MouseMove(s, sh, x, y); };
  Image1->OnMouseUp = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
    Image1MouseUp(s, b, sh, x, y);
  };
  Image2->OnMouseDown = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
    Image2MouseDown(s, b, sh, x, y);
  };
  Image2->OnMouseMove = [this](TObject* s, TShiftState sh, int x, int y) { Image2MouseMove(s, sh, x, y); };
  Image2->OnMouseUp = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
    Image2MouseUp(s, b, sh, x, y);
  };
  N2->OnClick = [this](TObject* s) { N2Click(s); };
  N3->OnClick = [this](TObject* s) { N3Click(s); };
  N4->OnClick = [this](TObject* s) { N4Click(s); };
  N5->OnClick = [this](TObject* s) { N5Click(s); };
  N6->OnClick = [this](TObject* s) { N6Click(s); };
  N7->OnClick = [this](TObject* s) { N7Click(s); };
  N8->OnClick = [this](TObject* s) { N8Click(s); };
  N9->OnClick = [this](TObject* s) { N9Click(s); };
  N10->OnClick = [this](TObject* s) { N10Click(s); };
  C1->OnClick = [this](TObject* s) { C1Click(s); };
  HSV1->OnClick = [this](TObject* s) { HSV1Click(s); };
  NDaubix1->OnClick = [this](TObject* s) { NDaubix1Click(s); };
}

TForm1::~TForm1() = default;

void TForm1::FormCreate(TObject* /*Sender*/) {
  TabletAvailable = TabletLibrary() != nullptr;
  Modified = false;
  SetDoubleBuffered(true);
  // A malformed layout file ends this handler with an error box, yet the
  // drawing state must start clean.
  try {
    if (TabletAvailable) OpenTabletContext();
    ReadLayoutFile();
  } catch (...) {
    ResetDrawingState(this);
    throw;
  }
  ResetDrawingState(this);
}

void TForm1::FormShow(TObject* /*Sender*/) {
  Form2->Show();
  Form4->Show();
  Form6->Show();
  Form7->Show();
  Image1->Canvas()->Pen->SetWidth(Form2->ScrollBar1->Position());
  Form2->ScrollBar1Change(nullptr);
}

void TForm1::FormClose(TObject* /*Sender*/, TCloseAction& /*Action*/) {
  AskSaveQuestion();
  WriteLayoutFile();
}

void TForm1::FormDestroy(TObject* /*Sender*/) {
  if (TabletAvailable) CloseTabletContext();
}

// Opening the Window menu: the marks show which windows are visible now.
void TForm1::N6Click(TObject* /*Sender*/) {
  N7->SetChecked(Form1->Visible());
  N8->SetChecked(Form2->Visible());
  N9->SetChecked(Form3->Visible());
  N10->SetChecked(Form4->Visible());
  C1->SetChecked(Form6->Visible());
  HSV1->SetChecked(Form7->Visible());
}

void TForm1::N7Click(TObject* /*Sender*/) {}

void TForm1::N8Click(TObject* /*Sender*/) {
  Form2->SetVisible(!Form2->Visible());
}

void TForm1::N9Click(TObject* /*Sender*/) {
  Form3->SetVisible(!Form3->Visible());
}

void TForm1::N10Click(TObject* /*Sender*/) {
  Form4->SetVisible(!Form4->Visible());
}

void TForm1::C1Click(TObject* /*Sender*/) {
  Form6->SetVisible(!Form6->Visible());
}

void TForm1::HSV1Click(TObject* /*Sender*/) {
  Form7->SetVisible(!Form7->Visible());
}

void TForm1::NDaubix1Click(TObject* /*Sender*/) {
  Form5->Show();
}
