// The File menu of the canvas window: New, Open, Save, Quit and the save
// question; and Open for a picture named at start or dropped on the window.
// Errors are not caught here: a failed write or read ends the command where
// it failed, so nothing after it (clearing Modified, clearing the canvas, the
// open dialog) happens.
#include <algorithm>
#include <cmath>

#include "canvas/canvas_window.h"

namespace {

// Writes the canvas bitmap (never the overlay) as a bitmap file under exactly
// the chosen name, whatever its extension.
void SavePicture(TForm1* form) {
  form->Image1->Picture()->Bitmap()->SaveToFile(form->SavePictureDialog1->FileName());
  form->SaveState->Saved();
}

bool UserWantsToSave() {
  return ConfirmationBox("ファイルに保存しますか？") == mrYes;
}

}  // namespace

void TForm1::AskSaveQuestion() {
  // Unasked or answered no, the picture is let go; a cancelled save keeps it
  // for recovery.
  if (!Modified) return SaveState->Discarded();
  if (!UserWantsToSave())
    SaveState->Discarded();
  else if (SavePictureDialog1->Execute())
    SavePicture(this);
  Modified = false;
}

void TForm1::N2Click(TObject* /*Sender*/) {
  const TPictureHistory::Command command(*History);
  AskSaveQuestion();
  // The canvas keeps its size and the stroke anchor stays where it was.
  TCanvas* canvas = Image1->Canvas();
  canvas->Brush->SetColor(clWhite);
  canvas->FillRect(Rect(0, 0, Image1->Width(), Image1->Height()));
  canvas->Brush->SetColor(CurrentColor);
  SaveState->Cleared();
}

void TForm1::OfferToSaveBeforeOpening() {
  // Unlike New, declining or cancelling the save leaves Modified set, so a
  // cancelled open changes nothing.
  if (Modified && UserWantsToSave() && SavePictureDialog1->Execute()) {
    SavePicture(this);
    Modified = false;
  }
}

void TForm1::N3Click(TObject* /*Sender*/) {
  OfferToSaveBeforeOpening();
  if (!OpenPictureDialog1->Execute()) return;
  OpenPictureFile(OpenPictureDialog1->FileName());
}

void TForm1::FormDropFile(TObject* /*Sender*/, const std::string& FileName) {
  OfferToSaveBeforeOpening();
  OpenPictureFile(FileName);
}

void TForm1::OpenPictureFile(const std::string& path) {
  // The open dialog offers this name next, as if it had been chosen there.
  OpenPictureDialog1->SetFileName(path);
  LoadPictureFile(path);
  Modified = false;
  SaveState->Opened();
}

namespace {

// Screen pixels (the window's units) that hold `pixels` of the canvas's own.
int ScreenPixelsHolding(TForm1* form, int pixels) {
  return static_cast<int>(std::ceil(pixels / form->Image1->DeviceRatio() - 1e-6));
}

// The window grows until its client area holds width x height canvas pixels,
// as far as the primary screen allows, and moves back onto it if it must.
void GrowClientToHold(TForm1* form, int width, int height) {
  const int frameWidth = form->Width() - form->ClientWidth();
  const int frameHeight = form->Height() - form->ClientHeight();
  const int clientWidth = std::min(ScreenPixelsHolding(form, width), Screen->Width() - frameWidth);
  const int clientHeight = std::min(ScreenPixelsHolding(form, height), Screen->Height() - frameHeight);
  // One resize: growing one side at a time would cut the picture to the other.
  form->SetClientSize(std::max(clientWidth, form->ClientWidth()),
                      std::max(clientHeight, form->ClientHeight()));
  if (form->Left() + form->Width() > Screen->Width())
    form->SetLeft(std::max(0, Screen->Width() - form->Width()));
  if (form->Top() + form->Height() > Screen->Height())
    form->SetTop(std::max(0, Screen->Height() - form->Height()));
}

}  // namespace

bool TForm1::LoadPictureFile(const std::string& path, bool growToPicture) {
  const TPictureHistory::Command command(*History);
  TBitmap* picture = Image1->Picture()->Bitmap();
  picture->LoadFromFile(path);
  const int width = picture->Width(), height = picture->Height();
  if (growToPicture) GrowClientToHold(this, width, height);
  // Four separate size changes, each running the canvas resize: the loaded
  // picture is cut to the client area or padded with white, and the window
  // ends at its former size.
  SetWidth(Width() + 1);
  SetHeight(Height() + 1);
  SetWidth(Width() - 1);
  SetHeight(Height() - 1);
  return Image1->Width() >= width && Image1->Height() >= height;
}

bool TForm1::SavePictureAs() {
  if (!SavePictureDialog1->Execute()) return false;
  SavePicture(this);
  return true;
}

void TForm1::N4Click(TObject* /*Sender*/) {
  SavePictureAs();
}

void TForm1::N5Click(TObject* /*Sender*/) {
  Close();
}
