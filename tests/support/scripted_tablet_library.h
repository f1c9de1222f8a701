// A tablet library for tests: packets are queued by the test, every call is
// recorded, and it can stand for a library that is not installed.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "tablet/wintab.h"

class ScriptedTabletLibrary : public TTabletLibrary {
 public:
  struct Call {
    std::string name;
    HCTX context = 0;
    int count = 0;  // queue size or packets asked for
  };

  explicit ScriptedTabletLibrary(bool present = true) : present_(present) {}

  // Queues packets with these pressures for the next polls.
  void QueuePressures(const std::vector<std::uint32_t>& pressures) {
    for (std::uint32_t p : pressures)
      queue_.push_back(TPacket{static_cast<std::int32_t>(queue_.size()), 0, p});
  }
  // From now on, every poll that finds the queue empty returns one packet of
  // this pressure, as a pen held still on the tablet would.
  void HoldPressure(std::uint32_t pressure) {
    steadyPressure_ = pressure;
    steady_ = true;
  }
  // Makes WTPacketsGet claim this many packets whatever it copied (a faulty library).
  void ClaimPacketCount(int count) { claimedCount_ = count; }

  const std::vector<Call>& Calls() const { return calls_; }
  std::vector<std::string> CallNames() const {
    std::vector<std::string> names;
    for (const Call& c : calls_) names.push_back(c.name);
    return names;
  }
  const TLogContext& OpenedContext() const { return opened_; }
  TForm* OpenedWindow() const { return openedWindow_; }
  // What WTInfoA hands out, before the program's own settings.
  TLogContext defaults{0x1, 0x2, 0x3, 0x5, 0x0, 11, 12, 13, 14};
  static constexpr HCTX kHandle = 0x2A;

  bool Present() override { return present_; }
  unsigned WTInfoA(unsigned category, unsigned index, TLogContext* out) override {
    calls_.push_back({"WTInfoA", 0, static_cast<int>(category * 100 + index)});
    *out = defaults;
    return sizeof(TLogContext);
  }
  HCTX WTOpenA(TForm* window, TLogContext* context, bool enable) override {
    calls_.push_back({"WTOpenA", 0, enable ? 1 : 0});
    opened_ = *context;
    openedWindow_ = window;
    return kHandle;
  }
  bool WTClose(HCTX context) override { return Record("WTClose", context, 0); }
  bool WTQueueSizeSet(HCTX context, int packets) override {
    return Record("WTQueueSizeSet", context, packets);
  }
  bool WTOverlap(HCTX context, bool toTop) override { return Record("WTOverlap", context, toTop ? 1 : 0); }
  int WTPacketsGet(HCTX context, int maxPackets, TPacket* buffer) override {
    Record("WTPacketsGet", context, maxPackets);
    int n = 0;
    while (n < maxPackets && !queue_.empty()) {
      buffer[n++] = queue_.front();
      queue_.pop_front();
    }
    if (n == 0 && steady_ && maxPackets > 0) buffer[n++] = TPacket{0, 0, steadyPressure_};
    return claimedCount_ >= 0 ? claimedCount_ : n;
  }

 private:
  bool Record(const char* name, HCTX context, int count) {
    calls_.push_back({name, context, count});
    return true;
  }
  bool present_;
  std::deque<TPacket> queue_;
  std::vector<Call> calls_;
  TLogContext opened_{};
  TForm* openedWindow_ = nullptr;
  std::uint32_t steadyPressure_ = 0;
  bool steady_ = false;
  int claimedCount_ = -1;
};
