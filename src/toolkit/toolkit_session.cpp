// The program's life beyond single events: timers, the state folder, and the
// end of the desktop session or of the process asked for by a signal.
#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <csignal>

#include "toolkit/toolkit_qt.h"

// ---- Timer ----

TTimer::TTimer() : timer_(new QTimer) {
  QObject::connect(timer_, &QTimer::timeout, timer_, [this] {
    RunHandler([this] {
      if (OnTimer) OnTimer(this);
    });
  });
  Restart();
}

TTimer::~TTimer() {
  delete timer_;
}

void TTimer::SetInterval(int milliseconds) {
  interval_ = milliseconds;
  Restart();
}

void TTimer::SetEnabled(bool e) {
  enabled_ = e;
  Restart();
}

void TTimer::Restart() {
  timer_->stop();
  if (enabled_ && interval_ > 0) timer_->start(interval_);
}

// ---- State folder ----

std::string TApplication::StateFolder() const {
  const std::string& overridden = Testing::StateFolderOverride();
  if (!overridden.empty()) return overridden;
  // A relative XDG_STATE_HOME is invalid and ignored, as the XDG rules say.
  const QString xdg = qEnvironmentVariable("XDG_STATE_HOME");
  const QString base = QDir::isAbsolutePath(xdg) ? xdg : QDir::homePath() + QStringLiteral("/.local/state");
  return ToStdString(base + QLatin1Char('/') + QCoreApplication::applicationName());
}

// ---- End of session ----

namespace {

// Written by the signal handler, read in the event loop.
int gSignalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
  const int saved = errno;
  const char byte = 1;
  // A full pipe already holds a wake-up; nothing is lost by dropping this one.
  [[maybe_unused]] const ssize_t written = ::write(gSignalPipe[1], &byte, 1);
  errno = saved;
}

void DrainSignalPipe() {
  char bytes[64];
  while (::read(gSignalPipe[0], bytes, sizeof bytes) > 0) {
  }
}

}  // namespace

void RunEndOfSession() {
  RunHandler([] {
    if (Application && Application->endOfSession_) Application->endOfSession_(Application);
  });
}

void TApplication::WatchEndOfSession(TNotifyEvent handler) {
  endOfSession_ = std::move(handler);
  static bool connected = false;
  if (!connected && QCoreApplication::instance() != nullptr &&
      ::pipe2(gSignalPipe, O_NONBLOCK | O_CLOEXEC) == 0) {
    connected = true;
#if QT_CONFIG(sessionmanager)
    QObject::connect(qGuiApp, &QGuiApplication::commitDataRequest, qGuiApp,
                     [](QSessionManager&) { RunEndOfSession(); });
#endif
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
      DrainSignalPipe();
      RunEndOfSession();
    });
  }
  if (!connected) return;
  // Without a handler the signals end the process as they normally do.
  struct sigaction action {};
  action.sa_handler = endOfSession_ ? OnTerminationSignal : SIG_DFL;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : {SIGTERM, SIGHUP, SIGINT}) ::sigaction(signal, &action, nullptr);
}
