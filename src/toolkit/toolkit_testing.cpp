// The dialog seam: scripted answers and records of what was shown.
#include "toolkit/toolkit_testing.h"

#include <QApplication>
#include <QFile>
#include <QMap>
#include <QMouseEvent>
#include <QPointer>
#include <cstdio>
#include <deque>
#include <utility>

#include "toolkit/toolkit_qt.h"

namespace Testing {
namespace {

struct Script {
  bool active = false;
  std::deque<Confirmation> confirmations;
  std::deque<std::optional<std::string>> files;
  std::deque<std::optional<TColor>> colors;
  std::vector<std::string> errors;
  std::vector<std::string> questions;
  std::vector<std::string> unanswered;
  std::string executablePath;
  std::string configFolder;
  std::string stateFolder;
  std::optional<std::size_t> viewLimit;
  bool fromEnvironment = false;     // the program runs a test's script
  std::vector<std::string> events;  // its input lines, sent once the loop runs
};

Script& State() {
  static Script script;
  return script;
}

}  // namespace

void Reset() {
  // The redirected folders are set and cleared by their own calls.
  const std::string path = State().executablePath, config = State().configFolder, state = State().stateFolder;
  State() = Script{};
  State().active = true;
  State().executablePath = path;
  State().configFolder = config;
  State().stateFolder = state;
}

bool Active() {
  return State().active;
}

void LimitTransparentViews(std::optional<std::size_t> pixels) {
  State().viewLimit = pixels;
}
std::optional<std::size_t> TransparentViewLimit() {
  return State().viewLimit;
}

void AnswerConfirmation(bool yes) {
  State().confirmations.push_back(yes ? Confirmation::Yes : Confirmation::No);
}
void DismissConfirmation() {
  State().confirmations.push_back(Confirmation::Dismiss);
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

void SetStateFolder(const std::string& folder) {
  State().stateFolder = folder;
}

bool LoadScriptFromEnvironment() {
  const QString path = qEnvironmentVariable("DAUBIX_TEST_SCRIPT");
  if (path.isEmpty()) return true;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
    std::fprintf(stderr, "DAUBIX_TEST_SCRIPT: cannot read %s\n", qPrintable(path));
    return false;
  }
  Reset();
  State().fromEnvironment = true;
  while (!file.atEnd()) {
    const QString line = QString::fromUtf8(file.readLine()).trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
    if (line == QStringLiteral("confirm yes") || line == QStringLiteral("confirm no"))
      AnswerConfirmation(line.endsWith(QStringLiteral("yes")));
    else
      State().events.push_back(ToStdString(line));
  }
  return true;
}

void ReplayScript() {
  QWidget* client =
      Application && Application->MainForm() ? Application->MainForm()->ClientWidget() : nullptr;
  QPointer<QWidget> pressed;
  for (const std::string& text : std::exchange(State().events, {})) {
    const QStringList fields = ToQString(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString command = fields.value(0);
    if (command == QStringLiteral("touch") && fields.size() == 2) {
      QFile(fields[1]).open(QIODevice::WriteOnly);
      continue;
    }
    static const QMap<QString, QEvent::Type> kTypes = {
        {QStringLiteral("press"), QEvent::MouseButtonPress},
        {QStringLiteral("move"), QEvent::MouseMove},
        {QStringLiteral("release"), QEvent::MouseButtonRelease}};
    if (!kTypes.contains(command) || fields.size() != 3 || !client) {
      std::fprintf(stderr, "DAUBIX_TEST_SCRIPT: cannot do \"%s\"\n", text.c_str());
      continue;
    }
    const QEvent::Type type = kTypes[command];
    const QPoint at(fields[1].toInt(), fields[2].toInt());
    QWidget* target = type == QEvent::MouseButtonPress || !pressed ? client->childAt(at) : pressed.data();
    if (!target) target = client;
    if (type == QEvent::MouseButtonPress) pressed = target;
    const QPointF local = target->mapFrom(client, at);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, local, target->mapToGlobal(local), button, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
    if (type == QEvent::MouseButtonRelease) pressed = nullptr;
  }
}

// ---- Consumed by the toolkit ----

void RecordError(const std::string& text) {
  State().errors.push_back(text);
  if (State().fromEnvironment) std::fprintf(stderr, "error box: %s\n", text.c_str());
}

void RecordUnanswered(const std::string& kind) {
  State().unanswered.push_back(kind);
}

std::optional<Confirmation> TakeConfirmation(const std::string& question) {
  Script& s = State();
  s.questions.push_back(question);
  if (s.confirmations.empty()) return std::nullopt;
  const Confirmation yes = s.confirmations.front();
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

const std::string& StateFolderOverride() {
  return State().stateFolder;
}

}  // namespace Testing
