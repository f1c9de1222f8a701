// The canvas window's shell: its components and menus, creation, showing,
// closing and destruction, and the Window and Help menus.
#include "canvas/canvas_window.h"

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

// Menu bar order File, Edit, Window, Help; the Window items in the order shown.
void AssembleMenus(TForm1* f) {
  // The canvas and the colour chart entries exist but the user can reach neither.
  for (TMenuItem* unreachable : {f->N7, f->N9}) {
    unreachable->SetVisible(false);
    unreachable->SetEnabled(false);
  }
  f->MainMenu1->Add(f->N1);
  for (TMenuItem* item : {f->N2, f->N3, f->N4, f->N5}) f->N1->Add(item);
  f->MainMenu1->Add(f->E1);
  f->E1->Add(f->U1);
  f->E1->Add(f->R1);
  f->MainMenu1->Add(f->N6);
  for (TMenuItem* item : {f->N7, f->N8, f->N9, f->HSV1, f->N10, f->C1}) f->N6->Add(item);
  f->MainMenu1->Add(f->N11);
  f->N11->Add(f->NDaubix1);
  f->SetMenu(f->MainMenu1);
}

void BindClick(TMenuItem* item, TForm1* f, void (TForm1::*handler)(TObject*)) {
  item->OnClick = [f, handler](TObject* s) { (f->*handler)(s); };
}

void BindMouse(TImage* image, TForm1* f, void (TForm1::*down)(TObject*, TMouseButton, TShiftState, int, int),
               void (TForm1::*move)(TObject*, TShiftState, int, int),
               void (TForm1::*up)(TObject*, TMouseButton, TShiftState, int, int)) {
  image->OnMouseDown = [f, down](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
    (f->*down)(s, b, sh, x, y);
  };
  image->OnMouseMove = [f, move](TObject* s, TShiftState sh, int x, int y) { (f->*move)(s, sh, x, y); };
  image->OnMouseUp = [f, up](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
    (f->*up)(s, b, sh, x, y);
  };
}

void BindEvents(TForm1* f) {
  f->OnCreate = [f](TObject* s) { f->FormCreate(s); };
  f->OnShow = [f](TObject* s) { f->FormShow(s); };
  f->OnClose = [f](TObject* s, TCloseAction& a) { f->FormClose(s, a); };
  f->OnDestroy = [f](TObject* s) { f->FormDestroy(s); };
  f->OnResize = [f](TObject* s) { f->FormResize(s); };
  f->OnDropFile = [f](TObject* s, const std::string& name) { f->FormDropFile(s, name); };
  BindMouse(f->Image1, f, &TForm1::Image1MouseDown, &TForm1::Image1MouseMove, &TForm1::Image1MouseUp);
  BindMouse(f->Image2, f, &TForm1::Image2MouseDown, &TForm1::Image2MouseMove, &TForm1::Image2MouseUp);
  BindClick(f->N2, f, &TForm1::N2Click);
  BindClick(f->N3, f, &TForm1::N3Click);
  BindClick(f->N4, f, &TForm1::N4Click);
  BindClick(f->N5, f, &TForm1::N5Click);
  BindClick(f->N6, f, &TForm1::N6Click);
  BindClick(f->N7, f, &TForm1::N7Click);
  BindClick(f->N8, f, &TForm1::N8Click);
  BindClick(f->N9, f, &TForm1::N9Click);
  BindClick(f->N10, f, &TForm1::N10Click);
  BindClick(f->C1, f, &TForm1::C1Click);
  BindClick(f->HSV1, f, &TForm1::HSV1Click);
  BindClick(f->NDaubix1, f, &TForm1::NDaubix1Click);
  BindClick(f->U1, f, &TForm1::U1Click);
  BindClick(f->R1, f, &TForm1::R1Click);
  f->Timer1->OnTimer = [f](TObject* s) { f->Timer1Timer(s); };
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
  E1 = MakeMenuItem(this, "編集(&E)");
  U1 = MakeMenuItem(this, "元に戻す(&U)");
  U1->SetShortCuts({"Ctrl+Z"});
  R1 = MakeMenuItem(this, "やり直し(&R)");
  R1->SetShortCuts({"Ctrl+Y", "Ctrl+Shift+Z"});
  History = std::make_unique<TPictureHistory>(*Image1->Picture()->Bitmap(), HistoryBudget());
  History->OnChange = [this] { UpdateEditMenu(); };
  UpdateEditMenu();
  Timer1 = Own(new TTimer);
  Timer1->SetEnabled(false);
  Timer1->SetInterval(AutosaveInterval());
  SaveState = std::make_unique<TSaveState>(*Image1->Picture()->Bitmap(), Application->StateFolder());

  AssembleMenus(this);
  SetClientWidth(600);
  SetClientHeight(400);
  Image1->SetAlign(alClient);
  Image2->SetAlign(alClient);
  Image1->SetDevicePixels(true);
  Image2->SetDevicePixels(true);
  Image2->SetTransparent(true);
  SetAcceptFiles(true);
  BindEvents(this);
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
  // The picture the user starts from is where undoing ends, and needs no recovery.
  History->Clear();
  SaveState->Started();
}

void TForm1::FormClose(TObject* /*Sender*/, TCloseAction& /*Action*/) {
  // A signal while a box or dialog below is open ends the program from
  // inside it (EndSession), which keeps what the rest of the close would.
  AskSaveQuestion();
  if (SaveState->Ending()) return;
  FinishRecovery();
  if (SaveState->Ending()) return;
  PictureSettledAtClose = true;
  // A layout that cannot be written must not keep the program from quitting:
  // only window places are lost, so the message is shown and the close goes on.
  try {
    WriteLayoutFile();
  } catch (const EDaubixError& error) {
    Application->ShowException(error.what());
  } catch (...) {
    PictureSettledAtClose = false;  // the window stays open
    throw;
  }
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
