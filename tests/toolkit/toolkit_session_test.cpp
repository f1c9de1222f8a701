// Timers, the state folder, and the end of the process asked for by a signal.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>

#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

namespace {

// Handles events until `done` holds; a bound, not a measure: a broken timer
// or notifier fails here instead of hanging the test.
bool ProcessUntil(const std::function<bool()>& done) {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done()) {
    if (std::chrono::steady_clock::now() > giveUp) return false;
    Application->ProcessMessages();
  }
  return true;
}

TEST(TimerTest, RaisesOnTimerFromTheEventLoopWhileEnabled) {
  TTimer timer;
  timer.SetEnabled(false);
  int ticks = 0;
  timer.OnTimer = [&](TObject* sender) {
    EXPECT_EQ(sender, &timer);
    ++ticks;
  };
  timer.SetInterval(1);
  for (int i = 0; i < 50; ++i) Application->ProcessMessages();
  EXPECT_EQ(ticks, 0);
  timer.SetEnabled(true);
  ASSERT_TRUE(ProcessUntil([&] { return ticks >= 3; }));
  timer.SetEnabled(false);
  const int stopped = ticks;
  for (int i = 0; i < 50; ++i) Application->ProcessMessages();
  EXPECT_EQ(ticks, stopped);
}

// An error in OnTimer goes to the error box, as in every handler.
TEST(TimerTest, ErrorInOnTimerIsShown) {
  Testing::Reset();
  TTimer timer;
  timer.SetInterval(1);
  timer.OnTimer = [&](TObject*) {
    timer.SetEnabled(false);
    throw EDaubixError("ストリームへの書き込みエラー");
  };
  ASSERT_TRUE(ProcessUntil([] { return !Testing::ShownErrors().empty(); }));
  EXPECT_EQ(Testing::ShownErrors(), std::vector<std::string>{"ストリームへの書き込みエラー."});
}

// The handler runs from the event loop, never inside the signal handler.
TEST(EndOfSessionTest, TerminationSignalsRunTheHandlerInTheEventLoop) {
  int runs = 0;
  Application->WatchEndOfSession([&](TObject* sender) {
    EXPECT_EQ(sender, Application);
    ++runs;
  });
  for (const int signal : {SIGTERM, SIGHUP, SIGINT, SIGTERM}) {
    runs = 0;
    ASSERT_EQ(std::raise(signal), 0);
    EXPECT_EQ(runs, 0) << signal;
    ASSERT_TRUE(ProcessUntil([&] { return runs > 0; })) << signal;
    EXPECT_EQ(runs, 1) << signal;
  }
  Application->WatchEndOfSession(nullptr);
  struct sigaction action {};
  ::sigaction(SIGTERM, nullptr, &action);
  EXPECT_EQ(action.sa_handler, SIG_DFL);
}

TEST(StateFolderTest, FollowsXdgStateHomeWhenAbsolute) {
  const char* saved = std::getenv("XDG_STATE_HOME");
  const std::optional<std::string> restore = saved ? std::optional<std::string>(saved) : std::nullopt;
  const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
  struct Case {
    const char* value;  // nullptr: unset
    std::string folder;
  };
  const Case cases[] = {{"/var/tmp/state", "/var/tmp/state/Daubix"},
                        {"relative/state", home + "/.local/state/Daubix"},
                        {"", home + "/.local/state/Daubix"},
                        {nullptr, home + "/.local/state/Daubix"}};
  for (const Case& c : cases) {
    if (c.value)
      ::setenv("XDG_STATE_HOME", c.value, 1);
    else
      ::unsetenv("XDG_STATE_HOME");
    EXPECT_EQ(Application->StateFolder(), c.folder) << (c.value ? c.value : "unset");
  }
  Testing::SetStateFolder("/somewhere/else");
  EXPECT_EQ(Application->StateFolder(), "/somewhere/else");
  Testing::SetStateFolder("");
  if (restore)
    ::setenv("XDG_STATE_HOME", restore->c_str(), 1);
  else
    ::unsetenv("XDG_STATE_HOME");
}

}  // namespace
