// The canvas window: the picture, the brush cursor overlay, the shared
// drawing state, the main menu. Its handlers live in several files by
// concern: shell and menus (canvas/canvas_window.cpp), painting
// (canvas/canvas_painting.cpp), the cursor overlay (canvas/brush_cursor.cpp),
// file commands (canvas/file_commands.cpp), undo and redo
// (canvas/edit_commands.cpp), the layout file (app/layout_file.cpp),
// autosave and recovery (app/recovery.cpp) and the tablet poll
// (tablet/pressure_gate.cpp).
#pragma once

#include <array>
#include <memory>
#include <string>

#include "app/save_state.h"
#include "canvas/brush_cursor.h"
#include "core/picture_history.h"
#include "tablet/wintab.h"
#include "toolkit/toolkit.h"

class TForm1 : public TForm {
 public:
  TForm1();
  ~TForm1() override;

  // Components, in declaration order.
  TImage* Image1;
  TMainMenu* MainMenu1;
  TMenuItem *N1, *N2, *N3, *N4, *N5;
  TOpenPictureDialog* OpenPictureDialog1;
  TSavePictureDialog* SavePictureDialog1;
  TMenuItem *N6, *N7, *N8, *N9, *N10;
  TMenuItem *N11, *NDaubix1;
  TMenuItem *C1, *HSV1;
  TImage* Image2;
  TMenuItem *E1, *U1, *R1;  // the Edit menu: undo and redo
  TTimer* Timer1;           // autosave, once the program runs its event loop

  // Fields.
  HCTX TabletContext = 0;
  std::array<TPacket, 32> PacketBuffer{};
  int PacketCount = 0;
  bool Modified = false;
  TColor CurrentColor = clBlack;
  int LastPressure = 0;  // tablet units; 0 when the last poll read no packet
  bool TabletAvailable = false;
  // Rows in window creation order; columns Top, Left, Width, Height.
  std::array<std::array<int, 4>, 7> LayoutTable{};
  // Steps of the picture in Image1: a press to its release, New, Open, a resize.
  std::unique_ptr<TPictureHistory> History;
  // Whether the picture in Image1 is saved and autosaved, and the recovery
  // file where it waits for the next start when it was not saved.
  std::unique_ptr<TSaveState> SaveState;
  // The close has saved the picture, kept it for recovery or given it up: an
  // end by signal during the rest of the close leaves the recovery file be.
  bool PictureSettledAtClose = false;
  // What the process ends with: 1 once the picture, or at an end by signal
  // the layout, could not be kept.
  int ExitStatus = 0;

  // Window events.
  void FormCreate(TObject* Sender);
  void FormShow(TObject* Sender);
  void FormClose(TObject* Sender, TCloseAction& Action);
  void FormDestroy(TObject* Sender);
  void FormResize(TObject* Sender);
  // A picture dropped from a file manager: Open without its dialog.
  void FormDropFile(TObject* Sender, const std::string& FileName);

  // Painting on the canvas.
  void Image1MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void Image1MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void Image1MouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

  // The overlay passes its events on to the canvas.
  void Image2MouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void Image2MouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
  void Image2MouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  // The canvas image and its bitmap to the client area, added area white;
  // the canvas brush is the current colour again afterwards.
  void FitCanvasToClient();
  // The overlay image and its bitmap to the canvas image's size, added area
  // white (transparent); the overlay brush is left white.
  void FitOverlayToCanvas();
  // Clears the overlay and draws the brush outline centred at (X, Y).
  void DrawBrushCursor(int X, int Y);
  // The brush refresh on the overlay: fitted to the canvas, wholly cleared,
  // and the outline of a brush of `size` and `shape` drawn at its centre.
  void ShowBrushOutlineAtCentre(int size, TBrushShape shape);

  // File menu.
  void N2Click(TObject* Sender);  // New
  void N3Click(TObject* Sender);  // Open
  void N4Click(TObject* Sender);  // Save
  void N5Click(TObject* Sender);  // Quit
  // The save question of New and of closing: asks when Modified, writes the
  // picture on yes and a chosen file, then clears Modified.
  void AskSaveQuestion();
  // The save dialog, and the picture written to the file chosen there; false
  // when the dialog was cancelled.
  bool SavePictureAs();
  // Open's question: asks when Modified; only a picture written clears it.
  void OfferToSaveBeforeOpening();
  // Open's steps after its dialog, also for a file named on the command line
  // or dropped on the window: load, nudge the size, clear Modified.
  void OpenPictureFile(const std::string& path);
  // The load and the four size nudges, as one step of the history.
  // With `growToPicture`, the window first grows (within the screen) until
  // its client area holds the whole picture. True when the canvas holds it.
  bool LoadPictureFile(const std::string& path, bool growToPicture = false);

  // Keeping unsaved work (app/recovery.cpp). Autosave writes the picture in
  // the background, at most every Timer1 interval, while it is modified and
  // unsaved.
  void StartAutosave();
  void Timer1Timer(TObject* Sender);
  // At start: offers the newest few pictures processes now gone left unsaved,
  // one at a time, until one is taken (loaded as Open does, Modified set);
  // says how many older ones wait, and where. Only "いいえ" deletes a picture.
  void OfferRecovery();
  // A termination signal or the session's end: the recovery file and the
  // layout file are written, no question is asked, the program ends.
  void EndSession();
  // At a clean close: the recovery file goes, unless the picture was neither
  // saved nor let go (a save dialog cancelled), when it is written now. One
  // that cannot be written is shown as an error and the save dialog offered
  // once more; cancelled again, the picture is lost and ExitStatus is 1.
  void FinishRecovery();

  // Edit menu: undo and redo restore the picture exactly and set Modified.
  void U1Click(TObject* Sender);
  void R1Click(TObject* Sender);
  // Each item enabled exactly when there is a step for it.
  void UpdateEditMenu();

  // Window and Help menus.
  void N6Click(TObject* Sender);
  void N7Click(TObject* Sender);
  void N8Click(TObject* Sender);
  void N9Click(TObject* Sender);
  void N10Click(TObject* Sender);
  void C1Click(TObject* Sender);
  void HSV1Click(TObject* Sender);
  void NDaubix1Click(TObject* Sender);

  // The window layout file "Daubix.ini", beside the executable or in the
  // user's configuration folder.
  void ReadLayoutFile();   // into LayoutTable, at creation
  void ApplyLayout();      // from the picker's creation, when all windows exist
  void WriteLayoutFile();  // at every close and end; raises its error

  // Tablet context and poll.
  void OpenTabletContext();
  void CloseTabletContext();
  void PollTabletPressure();
  // The gate: polls when the tablet is available; true when the last
  // pressure is light (1..200), so the caller drops the event.
  bool TabletPressureIsLight();

 private:
  // The outlines on the overlay, so that the next cursor erases only them.
  TOutlineRecord BrushOutlines;
};

extern TForm1* Form1;

// Milliseconds between autosaves: DAUBIX_AUTOSAVE_INTERVAL_MS where that is
// set to a positive number (tests use it), else 60 seconds.
int AutosaveInterval();

// The undo history's byte budget: DAUBIX_UNDO_MEMORY_MB mebibytes where that
// is set to a number, else 256 MiB.
std::size_t HistoryBudget();

// The stroke anchor in canvas pixels; -1, -1 when there is none.
extern int LastX;
extern int LastY;
