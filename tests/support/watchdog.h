// Turns a hang into a failure: when the guarded scope is still running after
// its limit, the test process ends at once with a message, so that the test
// fails instead of holding the whole run until its timeout.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

class Watchdog {
 public:
  Watchdog(std::string what, std::chrono::milliseconds limit)
      : what_(std::move(what)), thread_([this, limit] {
          std::unique_lock lock(mutex_);
          if (wake_.wait_for(lock, limit, [this] { return done_; })) return;
          std::fprintf(stderr, "watchdog: %s still running after %lld ms\n", what_.c_str(),
                       static_cast<long long>(limit.count()));
          std::fflush(stderr);
          std::_Exit(EXIT_FAILURE);
        }) {}
  ~Watchdog() {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

 private:
  std::string what_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  std::thread thread_;  // last: it starts once the members above exist
};
