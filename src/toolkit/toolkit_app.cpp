// The application object, the screen, handler dispatch and the error box.
#include <QApplication>
#include <QCoreApplication>
#include <QFont>
#include <QGuiApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <QTranslator>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <utility>

#include "core/version.h"
#include "toolkit/toolkit_qt.h"
#include "toolkit/toolkit_testing.h"

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

void InstallTextRenderer();  // toolkit_text.cpp

namespace {

// Dispatches in progress; handlers nest when one processes pending events.
int gDispatchDepth = 0;

// The platform's application object when StartToolkit made it.
QApplication* gPlatformApplication = nullptr;

// The last code point of a UTF-8 string (0 for an empty one).
char32_t LastCodePoint(const std::string& s) {
  if (s.empty()) return 0;
  std::size_t i = s.size() - 1;
  while (i > 0 && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) --i;
  const QString tail = QString::fromUtf8(s.data() + i, static_cast<qsizetype>(s.size() - i));
  const QList<uint> ucs4 = tail.toUcs4();
  return ucs4.isEmpty() ? 0 : static_cast<char32_t>(ucs4.back());
}

// Whether the current user action (the outermost event being handled) has
// shown the resource message already: resizes and repaints nested in one
// action would otherwise raise it once each.
bool gShortageShown = false;

void ShowFailure(const std::string& message) {
  const bool shortage = message == kResourceShortage;
  if (shortage && std::exchange(gShortageShown, true)) return;
  Application->ShowException(message);
}

}  // namespace

bool RunGuardedHandler(const std::function<void()>& handler) {
  bool ok = true;
  ++gDispatchDepth;
  try {
    if (handler) handler();
  } catch (const std::bad_alloc&) {
    ok = false;  // whatever ran out of memory: pixels, text, a list
    if (Application) ShowFailure(kResourceShortage);
  } catch (const std::exception& e) {
    ok = false;
    if (Application) ShowFailure(e.what());
  }
  if (!ok && Application) ++Application->failedHandlers_;
  // Clip regions live only while the outermost event is being handled.
  if (--gDispatchDepth == 0) {
    ReleaseCanvasContexts();
    gShortageShown = false;
  }
  return ok;
}

void RunHandler(const std::function<void()>& handler) {
  RunGuardedHandler(handler);
}

// ---- Application ----

void TApplication::SetTitle(const std::string& title) {
  // Not Qt's application display name: X11 window managers would get it
  // appended to every window's caption ("Brush — <title>").
  title_ = title;
}

void TApplication::ProcessMessages() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  // Repaints requested by the events just handled are posted again; run them too.
  QCoreApplication::sendPostedEvents();
}

std::string TApplication::ExeName() const {
  const std::string& overridden = Testing::ExecutablePathOverride();
  if (!overridden.empty()) return overridden;
  return ToStdString(QCoreApplication::applicationFilePath());
}

std::string TApplication::ConfigFolder() const {
  const std::string& overridden = Testing::ConfigFolderOverride();
  if (!overridden.empty()) return overridden;
  return ToStdString(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}

void TApplication::ShowException(const std::string& message) {
  std::string text = message;
  if (LastCodePoint(text) > U'.') text += ".";
  if (Testing::Active()) {
    Testing::RecordError(text);
    return;
  }
  QMessageBox box(QMessageBox::Critical, ToQString(title_), ToQString(text), QMessageBox::Ok);
  box.exec();
}

void TApplication::CreateForm(TForm* form) {
  if (!mainForm_) {
    mainForm_ = form;
    terminated_ = false;
    exitCode_ = 0;
  }
  form->DoCreate();
}

void TApplication::Run() {
  if (!mainForm_) return;
  mainForm_->Show();
  // A test's script drives the program once the loop runs.
  QTimer::singleShot(0, [] { Testing::ReplayScript(); });
  if (!terminated_) QApplication::exec();
}

void TApplication::Terminate(int exitCode) {
  terminated_ = true;
  exitCode_ = exitCode;
  QCoreApplication::exit(exitCode);
}

// ---- Screen ----

int TScreen::Width() const {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->geometry().width() : 0;
}

int TScreen::Height() const {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->geometry().height() : 0;
}

std::vector<TRect> TScreen::MonitorBounds() const {
  std::vector<TRect> bounds;
  const QScreen* primary = QGuiApplication::primaryScreen();
  QList<QScreen*> screens = QGuiApplication::screens();
  std::stable_partition(screens.begin(), screens.end(), [primary](QScreen* s) { return s == primary; });
  for (const QScreen* screen : screens) {
    const QRect g = screen->geometry();
    bounds.push_back(Rect(g.left(), g.top(), g.left() + g.width(), g.top() + g.height()));
  }
  return bounds;
}

TRect TScreen::DesktopBounds() const {
  const QScreen* primary = QGuiApplication::primaryScreen();
  if (!primary) return TRect{};
  const QRect g = primary->virtualGeometry();
  return Rect(g.left(), g.top(), g.left() + g.width(), g.top() + g.height());
}

// ---- Set-up ----

namespace {

bool PlatformOnCommandLine(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) return true;
  return false;
}

}  // namespace

void StartToolkit(int& argc, char** argv) {
  // Seven windows that keep their places need to be placed, which X11 lets a
  // program do and native Wayland does not: under Wayland, XWayland first,
  // unless the user chose a platform.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !PlatformOnCommandLine(argc, argv))
    qputenv("QT_QPA_PLATFORM", "xcb;wayland");
  if (QCoreApplication::instance() == nullptr) gPlatformApplication = new QApplication(argc, argv);
  InitializeToolkit();
  // A program that cannot read the script it was given would wait on real dialogs.
  if (!Testing::LoadScriptFromEnvironment()) std::exit(2);
}

void InitializeToolkit() {
  if (Application) return;
  Application = new TApplication;
  Screen = new TScreen;
  // Names the configuration folder (~/.config/Daubix) and, through the
  // desktop id, ties the windows to the installed desktop entry and icon.
  QCoreApplication::setApplicationName(QStringLiteral("Daubix"));
  QGuiApplication::setDesktopFileName(QStringLiteral(DAUBIX_APP_ID));
  // Every window carries the program's icon, in the sizes made from its SVG.
  QIcon icon;
  for (int size : {48, 128, 256})
    icon.addFile(QStringLiteral(":/icons/%1/" DAUBIX_APP_ID ".png").arg(size), QSize(size, size));
  QApplication::setWindowIcon(icon);
  QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
  QFont::insertSubstitution(QStringLiteral("MS PGothic"), QStringLiteral("IPAPGothic"));
  QFont font(QStringLiteral("ＭＳ Ｐゴシック"));
  font.setPixelSize(12);
  QApplication::setFont(font);
  // Hidden tool windows must not end the program; only the main form's close does.
  QGuiApplication::setQuitOnLastWindowClosed(false);
  // Japanese throughout, whatever the user's locale: Qt's own texts, and
  // numbers and dates wherever Qt formats them.
  QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
  static QTranslator translator;
  if (translator.load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qtbase"),
                      QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QCoreApplication::installTranslator(&translator);
  InstallTextRenderer();
}

void FinalizeToolkit() {
  SetTextRenderer(nullptr);
  delete Application;
  Application = nullptr;
  delete Screen;
  Screen = nullptr;
  delete gPlatformApplication;
  gPlatformApplication = nullptr;
}

// ---- Shared conversions ----

QColor ToQColor(TColor c) {
  const TColor rgb = ColorToRGB(c);
  return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

TColor FromQColor(const QColor& c) {
  return static_cast<TColor>(c.red() | (c.green() << 8) | (c.blue() << 16));
}

TShiftState ShiftStateOf(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
  TShiftState s = 0;
  if (modifiers & Qt::ShiftModifier) s |= ssShift;
  if (modifiers & Qt::AltModifier) s |= ssAlt;
  if (modifiers & Qt::ControlModifier) s |= ssCtrl;
  if (buttons & Qt::LeftButton) s |= ssLeft;
  if (buttons & Qt::RightButton) s |= ssRight;
  if (buttons & Qt::MiddleButton) s |= ssMiddle;
  return s;
}

QImage WrapBitmapPixels(const TBitmap& bitmap) {
  if (bitmap.Empty()) return QImage();
  return QImage(reinterpret_cast<const uchar*>(bitmap.Bits()), bitmap.Width(), bitmap.Height(),
                static_cast<qsizetype>(bitmap.Width()) * 4, QImage::Format_RGB32);
}
