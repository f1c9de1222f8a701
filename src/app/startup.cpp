// Start-up and shutdown of the seven windows.
#include "app/startup.h"

#include <algorithm>

#include "app/about_window.h"
#include "brush/brush_case_window.h"
#include "brush/brush_window.h"
#include "canvas/canvas_window.h"
#include "colour/colour_chart_window.h"
#include "colour/hsv_picker_window.h"
#include "colour/palette_window.h"
#include "tablet/wintab.h"

namespace {

// The global is set before CreateForm runs the window's OnCreate, because
// creation handlers reach the windows made before them through the globals.
template <class Form>
void Create(Form*& global) {
  global = new Form();
  Application->CreateForm(global);
}

template <class Form>
void Destroy(Form*& global) {
  if (global == nullptr) return;
  global->DoDestroy();
  delete global;
  global = nullptr;
}

}  // namespace

void CreateWindowSet() {
  LoadTabletLibrary();
  Application->SetTitle("Daubix brush pro");
  // Form1 first: it becomes the main window. Form7 last: its creation applies
  // the window layout, which needs every other window.
  Create(Form1);
  Create(Form2);
  Create(Form3);
  Create(Form4);
  Create(Form5);
  Create(Form6);
  Create(Form7);
}

int RunApplication(const std::string& pictureFile) {
  Application->WatchEndOfSession([](TObject*) {
    if (Form1) Form1->EndSession();
  });
  // Shown first, so that the size nudges and any error box come as after
  // the open dialog.
  Form1->Show();
  // A recovered picture first: opening the file then asks whether to save it.
  RunHandler([] { Form1->OfferRecovery(); });
  // A signal may have ended the program while the recovery question was open.
  if (!pictureFile.empty() && !Application->Terminated())
    RunHandler([&pictureFile] { Form1->OpenPictureFile(pictureFile); });
  Form1->StartAutosave();
  Application->Run();
  // Closing the main window terminates with 0 even after an end by signal
  // inside the close, or with the picture lost.
  return std::max(Application->ExitCode(), Form1->ExitStatus);
}

void DestroyWindowSet() {
  Destroy(Form7);
  Destroy(Form6);
  Destroy(Form5);
  Destroy(Form4);
  Destroy(Form3);
  Destroy(Form2);
  // Closes the tablet context, so it goes before the library.
  Destroy(Form1);
  ReleaseTabletLibrary();
  LastX = -1;
  LastY = -1;
}
