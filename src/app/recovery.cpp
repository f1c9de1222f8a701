// Keeping unsaved work: the autosave of the canvas window's picture, the
// pictures left by processes that are gone, and the quiet end on a
// termination signal or at the end of the desktop session.
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>

#include "canvas/canvas_window.h"
#include "core/bitmap_file.h"
#include "core/environment_number.h"

namespace {

void ReportLostPicture(const std::string& reason) {
  std::fprintf(stderr, "daubix: the picture could not be kept for recovery: %s\n", reason.c_str());
}

// Loads a left picture into the canvas and makes it this process's recovery
// file. A load that fails keeps the file for a later start, unless it is no
// bitmap at all: then it is set aside, never to be offered again.
bool TakeLeftPicture(TForm1* form, TLeftPicture& picture) {
  bool whole = false;
  try {
    // The window grows to the picture: the layout of a session that ended
    // unasked may not have been written, and a cut copy must not replace it.
    whole = form->LoadPictureFile(picture.Path(), true);
  } catch (const std::exception& e) {
    if (dynamic_cast<const EInvalidBitmap*>(&e)) picture.SetAside();
    Application->ShowException(e.what());
    return false;
  }
  form->Modified = true;
  // Larger than the screen holds, the canvas shows what fits.
  if (whole)
    form->SaveState->Recovered(picture);
  else
    form->SaveState->RecoveredCut(std::move(picture));
  return true;
}

}  // namespace

int AutosaveInterval() {
  return static_cast<int>(
      NumberFromEnvironment({"DAUBIX_AUTOSAVE_INTERVAL_MS", 60 * 1000, 1, std::numeric_limits<int>::max()}));
}

void TForm1::StartAutosave() {
  SaveState->PrepareAutosave();
  Timer1->SetEnabled(true);
}

void TForm1::Timer1Timer(TObject* /*Sender*/) {
  SaveState->Autosave(Modified, *History);
}

void TForm1::FinishRecovery() {
  // The program ends as the user asked; an unsaved picture waits for the next start.
  const std::optional<std::string> failure = SaveState->Closing();
  if (!failure) return;
  // Never dropped unheard: the user learns why and may still save it. Until
  // then it counts as modified, so that a failed save keeps the window open
  // as at the question, and an end by signal meanwhile tries to keep it.
  Modified = true;
  Application->ShowException(*failure);
  const bool saved = !SaveState->Ending() && SavePictureAs();
  if (SaveState->Ending()) return;
  Modified = false;
  if (saved) return;
  ReportLostPicture(*failure);
  ExitStatus = 1;
}

void TForm1::OfferRecovery() {
  // A few questions a start, newest first; older pictures wait, unopened.
  constexpr std::size_t kMostQuestions = 5;
  std::vector<TLeftPicture> left = SaveState->Recovery().FindLeftPictures();
  std::size_t asked = 0, next = 0;
  for (; next < left.size() && asked < kMostQuestions; ++next) {
    TLeftPicture& picture = left[next];
    if (!picture.Lock()) continue;  // another starting program offers it
    ++asked;
    // Escape or the close box: not now; the picture waits for a later start.
    const int answer = ConfirmationBox("前回保存されなかった絵があります。復元しますか？", true);
    if (SaveState->Ending()) return;  // the box closed because the program ends: keep the file
    if (answer == mrNo) {
      picture.Delete();
    } else if (answer != mrYes || TakeLeftPicture(this, picture)) {
      return;  // one picture per canvas: any others wait for a later start
    }
    picture.Unlock();
  }
  if (next < left.size())
    Application->ShowException("前回保存されなかった古い絵がほかに " + std::to_string(left.size() - next) +
                               " 枚あります: \"" + SaveState->Recovery().Folder() + "\"");
}

// Nothing here may show a box or wait for anyone: the end may come while a
// box or dialog is open, and with nobody left to answer one.
void TForm1::EndSession() {
  if (SaveState->Ending()) return;
  try {
    SaveState->SessionEnding(Modified, PictureSettledAtClose);
  } catch (const std::exception& e) {
    ReportLostPicture(e.what());
    ExitStatus = 1;
  }
  try {
    WriteLayoutFile();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "daubix: %s\n", e.what());
    ExitStatus = 1;
  }
  Application->Terminate(ExitStatus);
}
