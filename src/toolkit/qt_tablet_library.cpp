#include "toolkit/qt_tablet_library.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QInputDevice>
#include <QObject>
#include <QPointingDevice>
#include <QTabletEvent>
#include <algorithm>
#include <cmath>
#include <vector>

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

TPacket PacketFromEvent(const QTabletEvent& event) {
  const QPointF global = event.globalPosition();
  const double pressure = std::clamp(static_cast<double>(event.pressure()), 0.0, 1.0);
  TPacket packet;
  packet.pkX = static_cast<std::int32_t>(std::lround(global.x()));
  packet.pkY = static_cast<std::int32_t>(std::lround(global.y()));
  packet.pkNormalPressure = static_cast<std::uint32_t>(std::lround(pressure * kPressureLevels));
  return packet;
}

class QtTabletLibrary final : public TTabletLibrary, private QObject {
 public:
  QtTabletLibrary() {
    if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
  }
  ~QtTabletLibrary() override {
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
  }

  unsigned WTInfoA(unsigned category, unsigned index, TLogContext* out) override {
    if (category != WTI_DEFSYSCTX || index != 0) return 0;
    if (out != nullptr) *out = DefaultContext();
    return sizeof(TLogContext);
  }

  HCTX WTOpenA(QWidget* /*window*/, TLogContext* context, bool enable) override {
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

  // A pen sample reaches the program once, at its window; Qt then hands copies
  // to the widget below the pen and its parents, which are not new samples.
  // Never eats the event, so that Qt still makes the mouse events that paint.
  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (type != QEvent::TabletPress && type != QEvent::TabletMove && type != QEvent::TabletRelease) {
      return false;
    }
    if (!watched->isWindowType() || contexts_.empty()) return false;
    Context& top = contexts_.front();  // only the context on top of the overlap order gets packets
    if (top.enabled) top.queue.Push(PacketFromEvent(*static_cast<QTabletEvent*>(event)));
    return false;
  }

  std::vector<Context> contexts_;  // overlap order, top first
  HCTX nextHandle_ = 1;
};

}  // namespace

bool IsPenDevice(const QInputDevice* device) {
  const auto* pointer = qobject_cast<const QPointingDevice*>(device);
  if (pointer == nullptr) return false;
  const QInputDevice::DeviceType type = pointer->type();
  return type == QInputDevice::DeviceType::Stylus || type == QInputDevice::DeviceType::Airbrush ||
         type == QInputDevice::DeviceType::Puck || pointer->hasCapability(QInputDevice::Capability::Pressure);
}

bool PlatformHasPenDevice() {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return false;
  const QList<const QInputDevice*> devices = QInputDevice::devices();
  return std::any_of(devices.begin(), devices.end(), IsPenDevice);
}

std::unique_ptr<TTabletLibrary> MakeQtTabletLibrary() {
  return std::make_unique<QtTabletLibrary>();
}
