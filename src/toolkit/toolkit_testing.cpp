// The dialog seam: scripted answers and records of what was shown.
#include "toolkit/toolkit_testing.h"

#include <deque>

#include "toolkit/toolkit_qt.h"

namespace Testing {
namespace {

struct Script {
  bool active = false;
  std::deque<bool> confirmations;
  std::deque<std::optional<std::string>> files;
  std::deque<std::optional<TColor>> colors;
  std::vector<std::string> errors;
  std::vector<std::string> questions;
  std::vector<std::string> unanswered;
  std::string executablePath;
  std::string configFolder;
};

Script& State() {
  static Script script;
  return script;
}

}  // namespace

void Reset() {
  // The redirected folders are set and cleared by their own calls.
  const std::string path = State().executablePath, config = State().configFolder;
  State() = Script{};
  State().active = true;
  State().executablePath = path;
  State().configFolder = config;
}

bool Active() {
  return State().active;
}

void AnswerConfirmation(bool yes) {
  State().confirmations.push_back(yes);
}
void AnswerFileDialog(std::optional<std::string> path) {
  State().files.push_back(std::move(path));
}
void AnswerColorDialog(std::optional<TColor> color) {
  State().colors.push_back(color);
}

const std::vector<std::string>& ShownErrors() {
  return State().errors;
}
const std::vector<std::string>& AskedQuestions() {
  return State().questions;
}
const std::vector<std::string>& UnansweredDialogs() {
  return State().unanswered;
}

int PendingAnswers() {
  const Script& s = State();
  return static_cast<int>(s.confirmations.size() + s.files.size() + s.colors.size());
}

void SetExecutablePath(const std::string& path) {
  State().executablePath = path;
}

void SetConfigFolder(const std::string& folder) {
  State().configFolder = folder;
}

// ---- Consumed by the toolkit ----

void RecordError(const std::string& text) {
  State().errors.push_back(text);
}

void RecordUnanswered(const std::string& kind) {
  State().unanswered.push_back(kind);
}

std::optional<bool> TakeConfirmation(const std::string& question) {
  Script& s = State();
  s.questions.push_back(question);
  if (s.confirmations.empty()) return std::nullopt;
  const bool yes = s.confirmations.front();
  s.confirmations.pop_front();
  return yes;
}

std::optional<std::optional<std::string>> TakeFileAnswer() {
  Script& s = State();
  if (s.files.empty()) return std::nullopt;
  std::optional<std::string> answer = std::move(s.files.front());
  s.files.pop_front();
  return answer;
}

std::optional<std::optional<TColor>> TakeColorAnswer() {
  Script& s = State();
  if (s.colors.empty()) return std::nullopt;
  const std::optional<TColor> answer = s.colors.front();
  s.colors.pop_front();
  return answer;
}

const std::string& ExecutablePathOverride() {
  return State().executablePath;
}

const std::string& ConfigFolderOverride() {
  return State().configFolder;
}

}  // namespace Testing
