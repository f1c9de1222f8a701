// The platform's tablet library: Qt's pen events, wherever they go in the
// program, become packets of the context on top.
#include "tablet/platform_tablet_library.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPointingDevice>
#include <QTabletEvent>
#include <QWidget>
#include <QWindow>
#include <array>
#include <memory>

#include "brush/brush_window.h"
#include "colour/palette_window.h"
#include "support/picture_test_util.h"
#include "support/tablet_test_fixture.h"
#include "toolkit/pen_input.h"
#include "toolkit/toolkit_qt.h"

namespace {

QPointingDevice& Stylus() {
  // Left to the end of the process, past the application's life.
  static auto* stylus = new QPointingDevice(
      "test pen", 4242, QInputDevice::DeviceType::Stylus, QPointingDevice::PointerType::Pen,
      QInputDevice::Capability::Position | QInputDevice::Capability::Pressure, 1, 2);
  return *stylus;
}

struct PenSample {
  QEvent::Type type;
  QPointF local, global;
  qreal pressure;
};

// Sends the tablet event as the window system hands it to a window; true when
// someone accepted it (then Qt would make no mouse event of it).
bool SendTablet(QObject* target, const PenSample& s) {
  const bool down = s.type != QEvent::TabletRelease;
  QTabletEvent event(s.type, &Stylus(), s.local, s.global, s.pressure, 0, 0, 0, 0, 0, Qt::NoModifier,
                     s.type == QEvent::TabletMove ? Qt::NoButton : Qt::LeftButton,
                     down ? Qt::LeftButton : Qt::NoButton);
  event.setAccepted(false);
  QCoreApplication::sendEvent(target, &event);
  return event.isAccepted();
}

// Counts the tablet events that reach an object, so a test can tell that
// the library's filter let them through.
class TabletEventCounter : public QObject {
 public:
  explicit TabletEventCounter(QObject* target) { target->installEventFilter(this); }
  int count = 0;

 private:
  bool eventFilter(QObject*, QEvent* event) override {
    const QEvent::Type t = event->type();
    count += t == QEvent::TabletPress || t == QEvent::TabletMove || t == QEvent::TabletRelease;
    return false;
  }
};

std::array<std::uint32_t, 3> Packet(const TPacket& p) {
  return {static_cast<std::uint32_t>(p.pkX), static_cast<std::uint32_t>(p.pkY), p.pkNormalPressure};
}

TEST(PenDeviceTest, StylusAirbrushPuckAndPressurePointersCountAsPens) {
  using Type = QInputDevice::DeviceType;
  using Cap = QInputDevice::Capability;
  const auto pointer = [](Type type, QInputDevice::Capabilities caps) {
    return std::make_unique<QPointingDevice>("d", 1, type, QPointingDevice::PointerType::Generic, caps, 1, 2);
  };
  EXPECT_TRUE(IsPenDevice(&Stylus()));
  EXPECT_TRUE(IsPenDevice(pointer(Type::Airbrush, Cap::Position).get()));
  EXPECT_TRUE(IsPenDevice(pointer(Type::Puck, Cap::Position).get()));
  EXPECT_TRUE(IsPenDevice(pointer(Type::TouchPad, Cap::Position | Cap::Pressure).get()));
  EXPECT_FALSE(IsPenDevice(pointer(Type::Mouse, Cap::Position).get()));
  QInputDevice keyboard("k", 2, Type::Keyboard);
  EXPECT_FALSE(IsPenDevice(&keyboard));
  EXPECT_FALSE(IsPenDevice(nullptr));
  EXPECT_FALSE(PlatformHasPenDevice()) << "the offscreen platform lists no pen";
}

class PlatformTabletLibraryTest : public testing::Test {
 protected:
  HCTX Open(bool enable = true) {
    TLogContext context;
    EXPECT_EQ(library_->WTInfoA(WTI_DEFSYSCTX, 0, &context), sizeof(TLogContext));
    const HCTX handle = library_->WTOpenA(nullptr, &context, enable);
    EXPECT_NE(handle, 0u);
    EXPECT_TRUE(library_->WTQueueSizeSet(handle, 32));
    return handle;
  }
  void Touch(qreal pressure, QPointF global = {10, 20}) {
    const int before = counter_.count;
    EXPECT_FALSE(SendTablet(&window_, {QEvent::TabletMove, {1, 1}, global, pressure}));
    EXPECT_EQ(counter_.count, before + 1) << "eaten";
  }
  int Drain(HCTX context) { return library_->WTPacketsGet(context, 64, buffer_.data()); }

  std::unique_ptr<TTabletLibrary> library_ = MakePlatformTabletLibrary();
  QWindow window_;
  TabletEventCounter counter_{&window_};
  std::array<TPacket, 64> buffer_{};
};

TEST_F(PlatformTabletLibraryTest, PenEventsBecomePacketsInScreenPixelsAndTabletUnits) {
  const HCTX context = Open();
  EXPECT_FALSE(SendTablet(&window_, {QEvent::TabletPress, {5, 5}, {100.4, 200.6}, 0.5}));
  Touch(0.25, {101, 202});
  Touch(1.0);
  Touch(1.5);  // out of range: clamped
  EXPECT_FALSE(SendTablet(&window_, {QEvent::TabletRelease, {5, 5}, {-3, 7}, 0.0}));
  ASSERT_EQ(Drain(context), 5);
  EXPECT_EQ(Packet(buffer_[0]), (std::array<std::uint32_t, 3>{100, 201, 512}));  // 511.5 rounds up
  EXPECT_EQ(Packet(buffer_[1]), (std::array<std::uint32_t, 3>{101, 202, 256}));  // 255.75
  EXPECT_EQ(buffer_[2].pkNormalPressure, 1023u);
  EXPECT_EQ(buffer_[3].pkNormalPressure, 1023u);
  EXPECT_EQ(buffer_[4].pkX, -3);
  EXPECT_EQ(buffer_[4].pkNormalPressure, 0u);
  EXPECT_EQ(Drain(context), 0) << "taken packets leave the queue";
}

TEST_F(PlatformTabletLibraryTest, AFullQueueDropsItsOldestPackets) {
  const HCTX context = Open();
  for (int i = 0; i < 40; ++i) Touch(i / 1023.0);
  ASSERT_EQ(library_->WTPacketsGet(context, 5, buffer_.data()), 5);
  EXPECT_EQ(buffer_[0].pkNormalPressure, 8u);
  ASSERT_EQ(Drain(context), 27);
  EXPECT_EQ(buffer_[26].pkNormalPressure, 39u);
}

TEST_F(PlatformTabletLibraryTest, OnlyTheEnabledContextOnTopReceivesPackets) {
  const HCTX first = Open();
  const HCTX second = Open();  // a new context opens on top
  const HCTX disabled = Open(false);
  Touch(0.1);
  EXPECT_EQ(Drain(first), 0);
  EXPECT_EQ(Drain(disabled), 0);
  EXPECT_TRUE(library_->WTOverlap(disabled, false));
  Touch(0.2);
  EXPECT_EQ(Drain(first), 0);
  EXPECT_EQ(Drain(second), 1);
  EXPECT_TRUE(library_->WTOverlap(first, true));
  Touch(0.3);
  EXPECT_EQ(Drain(second), 0);
  EXPECT_EQ(Drain(first), 1);
  EXPECT_TRUE(library_->WTClose(first));
  EXPECT_FALSE(library_->WTClose(first));
  Touch(0.4);
  EXPECT_EQ(Drain(first), 0);
  EXPECT_EQ(Drain(second), 1) << "next in the overlap order";
  EXPECT_FALSE(library_->WTOverlap(first, true));
  EXPECT_FALSE(library_->WTQueueSizeSet(second, 0));
}

TEST_F(PlatformTabletLibraryTest, CopiesHandedToWidgetsAreNotNewSamples) {
  const HCTX context = Open();
  QWidget widget;
  EXPECT_FALSE(SendTablet(&widget, {QEvent::TabletMove, {1, 1}, {1, 1}, 0.5}));
  EXPECT_EQ(Drain(context), 0);
}

TEST_F(PlatformTabletLibraryTest, RefusesWhatItCannotDeliver) {
  TLogContext context;
  EXPECT_EQ(library_->WTInfoA(1, 0, &context), 0u);
  EXPECT_EQ(library_->WTInfoA(WTI_DEFSYSCTX, 0, &context), sizeof(TLogContext));
  EXPECT_EQ(context.lcPktData, PK_X | PK_Y | PK_NORMAL_PRESSURE);
  context.lcPktData |= 0x20;  // a field these packets do not hold
  EXPECT_EQ(library_->WTOpenA(nullptr, &context, true), 0u);
  EXPECT_EQ(library_->WTPacketsGet(0, 32, buffer_.data()), 0);
}

// The whole program with the platform's library: pen events sent to its
// windows, and the mouse events Qt makes of them, since nobody accepts them.
class PenOnProgramTest : public WithTablet<WindowSetTest, TTabletLibrary> {
 protected:
  std::unique_ptr<TTabletLibrary> MakeLibrary() override { return MakePlatformTabletLibrary(); }
  // A pen sample at canvas point p, then the mouse event made of it.
  void Pen(QEvent::Type type, QPoint p, qreal pressure) {
    QWidget* top = Form1->Widget();
    const QWidget* canvas = Form1->Image2->Widget();
    const QPointF local = canvas->mapTo(top, p), global = canvas->mapToGlobal(p);
    // Reaches the widget below the pen, and nobody accepts it: the condition
    // on which Qt makes the mouse event sent next.
    TabletEventCounter reached(Form1->Image2->Widget());
    ASSERT_FALSE(SendTablet(top->windowHandle(), {type, local, global, pressure}));
    ASSERT_EQ(reached.count, 1) << "eaten on the way";
    const QEvent::Type mouse = type == QEvent::TabletPress  ? QEvent::MouseButtonPress
                               : type == QEvent::TabletMove ? QEvent::MouseMove
                                                            : QEvent::MouseButtonRelease;
    QMouseEvent event(mouse, local, local, global, mouse == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      mouse == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier,
                      &Stylus());
    QCoreApplication::sendEvent(top->windowHandle(), &event);
  }
};

TEST_F(PenOnProgramTest, PenEventsReachTheQueueAndTheirMouseEventsPaintUnlessLight) {
  ASSERT_NE(TabletLibrary(), nullptr);
  ASSERT_TRUE(Form1->TabletAvailable);
  Form2->ScrollBar1->SetPosition(1);
  Pen(QEvent::TabletPress, {2, 2}, 0.5);
  Pen(QEvent::TabletMove, {6, 2}, 0.1);  // 102.3: light
  EXPECT_EQ(Form1->PacketCount, 2) << "one packet per sample, the press's included";
  EXPECT_EQ(Form1->LastPressure, 102);
  Pen(QEvent::TabletMove, {6, 5}, 0.15);  // 153.45: light
  EXPECT_EQ(Form1->LastPressure, 153);
  Pen(QEvent::TabletMove, {9, 5}, 0.6);  // 613.8
  EXPECT_EQ(Form1->PacketCount, 1);
  EXPECT_EQ(Form1->LastPressure, 614);
  Pen(QEvent::TabletMove, {9, 7}, 0.7);
  Pen(QEvent::TabletRelease, {9, 7}, 0.0);
  ExpectPicture(*Form1->Image1->Picture()->Bitmap(), 0, 0,
                {"............", "............", "............", "............", "............",
                 "......####..", ".........#..", "............", "............"});

  // The context takes the pen over any of the program's windows.
  Form1->PollTabletPressure();
  ASSERT_FALSE(SendTablet(Form4->Widget()->windowHandle(), {QEvent::TabletMove, {5, 5}, {5, 5}, 0.05}));
  Form1->PollTabletPressure();
  EXPECT_EQ(Form1->PacketCount, 1);
  EXPECT_EQ(Form1->LastPressure, 51);
}

}  // namespace
