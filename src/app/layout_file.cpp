// The window layout file "Daubix.ini": seven lines of Top,Left,Width,Height
// in window creation order. A portable copy keeps it beside the executable;
// an installed one, in the user's configuration folder.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "app/about_window.h"
#include "brush/brush_case_window.h"
#include "brush/brush_window.h"
#include "canvas/canvas_window.h"
#include "colour/colour_chart_window.h"
#include "colour/hsv_picker_window.h"
#include "colour/palette_window.h"
#include "core/file_io.h"
#include "core/text_fields.h"
#include "core/version.h"

namespace {

constexpr char kLayoutFileName[] = "Daubix.ini";

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

std::string ExecutableFolder() {
  const std::string exe = Application->ExeName();
  return exe.substr(0, exe.rfind('/') + 1);
}

// An installed copy finds its desktop entry in ../share. Its folder belongs
// to the package manager and to every user, even where root may write it.
bool RunsInstalled(const std::string& exeFolder) {
  return FileExists(exeFolder + "../share/applications/" DAUBIX_APP_ID ".desktop");
}

// Beside the executable, when this copy may keep it there: a folder that
// takes new files, or a writable file already in place.
std::optional<std::string> LayoutFileBesideProgram(bool forWriting) {
  const std::string folder = ExecutableFolder();
  if (RunsInstalled(folder)) return std::nullopt;
  const std::string path = folder + kLayoutFileName;
  if (!forWriting) return FileExists(path) ? std::optional(path) : std::nullopt;
  if (::access(folder.c_str(), W_OK | X_OK) == 0 || ::access(path.c_str(), W_OK) == 0) return path;
  return std::nullopt;
}

// Empty when the system names no configuration folder for the user.
std::string LayoutFileInConfigFolder() {
  const std::string folder = Application->ConfigFolder();
  return folder.empty() ? std::string() : folder + "/" + kLayoutFileName;
}

// Beside the program first, then the configuration folder; empty when
// neither holds a file.
std::string LayoutFileToRead() {
  if (const auto beside = LayoutFileBesideProgram(false)) return *beside;
  const std::string config = LayoutFileInConfigFolder();
  return !config.empty() && FileExists(config) ? config : std::string();
}

std::string LayoutFileToWrite() {
  if (const auto beside = LayoutFileBesideProgram(true)) return *beside;
  const std::string config = LayoutFileInConfigFolder();
  // Nowhere else to go: beside the program, whose message then says why not.
  if (config.empty()) return ExecutableFolder() + kLayoutFileName;
  // A folder that cannot be made shows up as the file's own create error.
  std::error_code ignored;
  std::filesystem::create_directories(Application->ConfigFolder(), ignored);
  return config;
}

std::string FormatBounds(const TForm* form) {
  return std::to_string(form->Top()) + "," + std::to_string(form->Left()) + "," +
         std::to_string(form->Width()) + "," + std::to_string(form->Height()) + "\r\n";
}

// In 64 bits: a place and a size read from the file may be anything.
bool OnSomeScreen(const TForm* form) {
  const std::int64_t left = form->Left(), top = form->Top();
  const std::int64_t right = left + form->Width(), bottom = top + form->Height();
  for (const TRect& s : Screen->MonitorBounds())
    if (left < s.Right && s.Left < right && top < s.Bottom && s.Top < bottom) return true;
  return false;
}

// A place wholly off every screen (a monitor since unplugged) would leave the
// window out of reach for good, because every close writes the place back:
// such a window is pulled onto the nearest edge of the primary screen.
void KeepOnScreen(TForm* form) {
  if (OnSomeScreen(form)) return;
  form->SetLeft(std::clamp(form->Left(), 0, std::max(0, Screen->Width() - form->Width())));
  form->SetTop(std::clamp(form->Top(), 0, std::max(0, Screen->Height() - form->Height())));
}

// Values of a row the desktop can show: sizes up to its extent, places
// within one extent of it. No sum of a place and a size can then overflow,
// and a window placed further off is off every screen anyway (KeepOnScreen
// brings it back). A size of zero or less stays as it is.
std::array<int, 4> WithinDesktop(const std::array<int, 4>& row) {
  const TRect d = Screen->DesktopBounds();
  const std::int64_t w = std::max(d.Width(), 1), h = std::max(d.Height(), 1);
  return {static_cast<int>(std::clamp<std::int64_t>(row[0], d.Top - h, d.Bottom)),
          static_cast<int>(std::clamp<std::int64_t>(row[1], d.Left - w, d.Right)),
          static_cast<int>(std::min<std::int64_t>(row[2], w)),
          static_cast<int>(std::min<std::int64_t>(row[3], h))};
}

// Each bound is its own change, so a size change runs the window's resize.
// A size of zero or less (a line that failed to read) is not applied: such a
// window is never mapped, and every close would write the empty size back.
// A size whose pictures cannot be had (its resize failed; the error box said
// so once) gives the window its design size back, so that it stays usable.
void ApplyRow(TForm* form, const std::array<int, 4>& fileRow) {
  const std::array<int, 4> row = WithinDesktop(fileRow);
  const int designWidth = form->Width(), designHeight = form->Height();
  const std::uint64_t failures = Application->FailedHandlers();
  form->SetTop(row[0]);
  form->SetLeft(row[1]);
  if (row[2] > 0) form->SetWidth(row[2]);
  if (row[3] > 0) form->SetHeight(row[3]);
  if (Application->FailedHandlers() != failures) {
    form->SetWidth(designWidth);
    form->SetHeight(designHeight);
  }
  KeepOnScreen(form);
}

// Canvas centred on the primary screen; brush window left of it with the
// brush case below; picker right of it with the palette below.
void ArrangeByDefault() {
  Form1->SetTop(Screen->Height() / 2 - Form1->Height() / 2);
  Form1->SetLeft(Screen->Width() / 2 - Form1->Width() / 2);
  Form2->SetTop(Form1->Top());
  Form2->SetLeft(Form1->Left() - Form2->Width());
  Form3->SetTop(Form1->Top());
  Form3->SetLeft(Form1->Left() + Form1->Width());
  Form6->SetTop(Form2->Top() + Form2->Height());
  Form6->SetLeft(Form2->Left());
  Form7->SetTop(Form3->Top());
  Form7->SetLeft(Form3->Left());
  Form4->SetTop(Form7->Top() + Form7->Height());
  Form4->SetLeft(Form7->Left());
}

}  // namespace

void TForm1::ReadLayoutFile() {
  const std::string path = LayoutFileToRead();
  if (path.empty()) return;
  // Line by line, and no further than the seventh: the file may be of any length.
  const FileDescriptor file = OpenRegularFile(path);
  TFileSource text(file.Get());
  ReadLayoutRows(text, LayoutTable);
}

void TForm1::ApplyLayout() {
  if (!LayoutFileToRead().empty()) {
    ApplyRow(Form1, LayoutTable[0]);
    ApplyRow(Form2, LayoutTable[1]);
    ApplyRow(Form3, LayoutTable[2]);
    ApplyRow(Form4, LayoutTable[3]);
    // Row 4 (About) is never applied: that window centres itself when first shown.
    ApplyRow(Form6, LayoutTable[5]);
    // The picker's size is held by its own limits.
    const std::array<int, 4> picker = WithinDesktop(LayoutTable[6]);
    Form7->SetTop(picker[0]);
    Form7->SetLeft(picker[1]);
    KeepOnScreen(Form7);
  } else {
    ArrangeByDefault();
  }
  // The canvas fills the client area; any new area is white, not the
  // current colour the brush otherwise holds.
  FitCanvasToClient();
}

void TForm1::WriteLayoutFile() {
  const std::string path = LayoutFileToWrite();
  std::string text;
  const TForm* const forms[] = {Form1, Form2, Form3, Form4, Form5, Form6, Form7};
  for (const TForm* form : forms) text += FormatBounds(form);
  WriteFileSafely(path, text.size(), [&text](TByteSink& file) { file.Write(text); });
}
