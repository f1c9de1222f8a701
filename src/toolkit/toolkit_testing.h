// The dialog seam: tests script the answers of modal boxes and dialogs and
// read what the error box showed, so that no real dialog ever opens.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/surface.h"

namespace Testing {

// Clears every queue and record and turns scripting on for the rest of the
// process: from then on no real dialog or error box opens.
void Reset();
bool Active();

// Queued answers, taken oldest first by the next box or dialog of that kind.
void AnswerConfirmation(bool yes);
// Escape or the close box at the next confirmation box; one that only its
// buttons answer records the attempt as an unanswered dialog.
void DismissConfirmation();
enum class Confirmation { Yes, No, Dismiss };
void AnswerFileDialog(std::optional<std::string> path);  // nullopt cancels
void AnswerColorDialog(std::optional<TColor> color);     // nullopt cancels

// Texts shown, oldest first.
const std::vector<std::string>& ShownErrors();
const std::vector<std::string>& AskedQuestions();
// Dialogs that opened with no scripted answer left (answered as cancel/no):
// a test failure, never a hang. Names the kind of dialog.
const std::vector<std::string>& UnansweredDialogs();
// Answers not taken yet, for a test's final check.
int PendingAnswers();

// Makes Application->ExeName() return this path (files kept beside the
// program then go to its folder); empty restores the real one.
void SetExecutablePath(const std::string& path);
// Makes Application->ConfigFolder() return this folder; empty restores the real one.
void SetConfigFolder(const std::string& folder);
// Makes Application->StateFolder() return this folder; empty restores the real one.
void SetStateFolder(const std::string& folder);

// The pictures a transparent image is shown through cannot be had when
// larger than `pixels`, as when memory runs out; nullopt (and Reset) lifts
// the limit.
void LimitTransparentViews(std::optional<std::size_t> pixels);
std::optional<std::size_t> TransparentViewLimit();

// The program itself, started by a test, is driven by the script file that
// the environment variable DAUBIX_TEST_SCRIPT names, read by StartToolkit. Its
// answers are queued (scripting is on from then, errors also go to standard
// error); its mouse events go, as Qt mouse events, to whatever lies under
// the point in the main window's client area, once the event loop runs. One
// command a line, "#" starts a comment:
//   confirm yes|no            the answer to the next confirmation box
//   press|move|release X Y    the left button at (X, Y); after a press, the
//                             moves and the release go where the press went
//   touch PATH                makes an empty file when the lines before are done
// Returns false (and says why on standard error) for a script it cannot read.
bool LoadScriptFromEnvironment();

}  // namespace Testing
