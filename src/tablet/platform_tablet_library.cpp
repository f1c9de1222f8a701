#include "tablet/platform_tablet_library.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "toolkit/pen_input.h"

namespace {

constexpr std::uint32_t kPacketData = PK_X | PK_Y | PK_NORMAL_PRESSURE;
constexpr int kDefaultQueueSize = 8;
constexpr int kMaxQueueSize = 1024;
constexpr double kPressureLevels = 1023.0;  // reported as a 1024-level tablet would

// A fixed ring of packets; when full, a new packet pushes out the oldest, since
// the newest pressure is what a reader wants.
class PacketQueue {
 public:
  explicit PacketQueue(int size) : ring_(static_cast<std::size_t>(size)) {}
  void Push(const TPacket& packet) {
    const std::size_t size = ring_.size();
    if (count_ == size) {
      head_ = (head_ + 1) % size;
      --count_;
    }
    ring_[(head_ + count_) % size] = packet;
    ++count_;
  }
  // Takes up to max packets, oldest first; null buffer discards them.
  int Take(int max, TPacket* buffer) {
    const std::size_t n = std::min(count_, static_cast<std::size_t>(std::max(max, 0)));
    for (std::size_t i = 0; i < n; ++i) {
      if (buffer != nullptr) buffer[i] = ring_[head_];
      head_ = (head_ + 1) % ring_.size();
    }
    count_ -= n;
    return static_cast<int>(n);
  }

 private:
  std::vector<TPacket> ring_;
  std::size_t head_ = 0, count_ = 0;
};

struct Context {
  HCTX handle;
  bool enabled;
  PacketQueue queue;
};

TPacket PacketFromSample(const TPenSample& sample) {
  TPacket packet;
  packet.pkX = static_cast<std::int32_t>(std::lround(sample.X));
  packet.pkY = static_cast<std::int32_t>(std::lround(sample.Y));
  packet.pkNormalPressure =
      static_cast<std::uint32_t>(std::lround(std::clamp(sample.Pressure, 0.0, 1.0) * kPressureLevels));
  return packet;
}

class PlatformTabletLibrary final : public TTabletLibrary {
 public:
  PlatformTabletLibrary() : input_([this](const TPenSample& sample) { Receive(sample); }) {}

  unsigned WTInfoA(unsigned category, unsigned index, TLogContext* out) override {
    if (category != WTI_DEFSYSCTX || index != 0) return 0;
    if (out != nullptr) *out = DefaultContext();
    return sizeof(TLogContext);
  }

  HCTX WTOpenA(TForm* /*window*/, TLogContext* context, bool enable) override {
    // Packets of this library always hold x, y and pressure, absolute.
    if (context == nullptr || context->lcPktData != kPacketData || context->lcPktMode != 0) return 0;
    const HCTX handle = nextHandle_++;
    contexts_.insert(contexts_.begin(), Context{handle, enable, PacketQueue(kDefaultQueueSize)});
    return handle;
  }

  bool WTClose(HCTX context) override {
    const auto found = Find(context);
    if (found == contexts_.end()) return false;
    contexts_.erase(found);
    return true;
  }

  bool WTQueueSizeSet(HCTX context, int packets) override {
    const auto found = Find(context);
    if (found == contexts_.end() || packets < 1 || packets > kMaxQueueSize) return false;
    found->queue = PacketQueue(packets);  // a new size starts empty
    return true;
  }

  bool WTOverlap(HCTX context, bool toTop) override {
    const auto found = Find(context);
    if (found == contexts_.end()) return false;
    Context moved = std::move(*found);
    contexts_.erase(found);
    contexts_.insert(toTop ? contexts_.begin() : contexts_.end(), std::move(moved));
    return true;
  }

  int WTPacketsGet(HCTX context, int maxPackets, TPacket* buffer) override {
    const auto found = Find(context);
    return found == contexts_.end() ? 0 : found->queue.Take(maxPackets, buffer);
  }

 private:
  static TLogContext DefaultContext() {
    TLogContext context;
    context.lcPktData = kPacketData;
    context.lcMoveMask = kPacketData;
    context.lcBtnDnMask = 1;  // the tip
    context.lcBtnUpMask = 1;
    return context;
  }

  std::vector<Context>::iterator Find(HCTX handle) {
    return std::find_if(contexts_.begin(), contexts_.end(),
                        [handle](const Context& c) { return c.handle == handle; });
  }

  void Receive(const TPenSample& sample) {
    if (contexts_.empty()) return;
    Context& top = contexts_.front();  // only the context on top of the overlap order gets packets
    if (top.enabled) top.queue.Push(PacketFromSample(sample));
  }

  std::vector<Context> contexts_;  // overlap order, top first
  HCTX nextHandle_ = 1;
  TPenInput input_;  // last: it calls Receive until it is gone
};

}  // namespace

std::unique_ptr<TTabletLibrary> MakePlatformTabletLibrary() {
  return std::make_unique<PlatformTabletLibrary>();
}
