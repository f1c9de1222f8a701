#include "toolkit/pen_input.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QInputDevice>
#include <QObject>
#include <QPointingDevice>
#include <QTabletEvent>
#include <algorithm>

#include "toolkit/toolkit_qt.h"

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

class TPenInput::Filter final : public QObject {
 public:
  explicit Filter(std::function<void(const TPenSample&)> onSample) : onSample_(std::move(onSample)) {
    if (QCoreApplication* app = QCoreApplication::instance()) app->installEventFilter(this);
  }
  ~Filter() override {
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(this);
  }

 private:
  // A pen sample reaches the program once, at its window; Qt then hands copies
  // to the widget below the pen and its parents, which are not new samples.
  bool eventFilter(QObject* watched, QEvent* event) override {
    const QEvent::Type type = event->type();
    if (type != QEvent::TabletPress && type != QEvent::TabletMove && type != QEvent::TabletRelease) {
      return false;
    }
    if (!watched->isWindowType() || !onSample_) return false;
    const auto& tablet = *static_cast<QTabletEvent*>(event);
    const QPointF global = tablet.globalPosition();
    onSample_({global.x(), global.y(), std::clamp(static_cast<double>(tablet.pressure()), 0.0, 1.0)});
    return false;
  }

  std::function<void(const TPenSample&)> onSample_;
};

TPenInput::TPenInput(std::function<void(const TPenSample&)> onSample)
    : filter_(std::make_unique<Filter>(std::move(onSample))) {}

TPenInput::~TPenInput() = default;
