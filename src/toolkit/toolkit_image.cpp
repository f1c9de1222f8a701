// Image controls: a bitmap shown at the top-left (pixel for pixel on the
// screen, or scaled by the platform's factor), repaints merged per batch of
// drawing calls, transparency, and the mouse.
#include <QMetaObject>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <limits>

#include "core/transparency.h"
#include "toolkit/toolkit_qt.h"
#include "toolkit/toolkit_testing.h"

namespace {

bool ToMouseButton(Qt::MouseButton b, TMouseButton* out) {
  switch (b) {
    case Qt::LeftButton:
      *out = mbLeft;
      return true;
    case Qt::RightButton:
      *out = mbRight;
      return true;
    case Qt::MiddleButton:
      *out = mbMiddle;
      return true;
    default:
      return false;
  }
}

// Qt's sizes and positions are screen pixels; one of them covers `ratio`
// device pixels, and a widget's area ends inside its last, partly covered,
// device pixel. The small slack absorbs the error of a ratio like 1.1.
int ToDevice(double screenPixels, double ratio) {
  return static_cast<int>(std::floor(screenPixels * ratio + 1e-6));
}

// The screen-pixel rectangle that covers the device rectangle r.
QRect ScreenRectCovering(const QRect& r, double ratio) {
  if (ratio == 1) return r;
  const QRectF f(r.x() / ratio, r.y() / ratio, r.width() / ratio, r.height() / ratio);
  return f.toAlignedRect();
}

// The device rectangle that covers the screen-pixel rectangle r.
QRect DeviceRectCovering(const QRect& r, double ratio) {
  if (ratio == 1) return r;
  const QRectF f(r.x() * ratio, r.y() * ratio, r.width() * ratio, r.height() * ratio);
  return f.toAlignedRect();
}

// Device pixels are whole: the pixel under the pointer, not the nearest corner.
QPoint PositionOf(const QMouseEvent* event, bool devicePixels, double ratio) {
  if (!devicePixels) return event->position().toPoint();
  return QPoint(ToDevice(event->position().x(), ratio), ToDevice(event->position().y(), ratio));
}

bool IsWhole(double v) {
  return std::abs(v - std::round(v)) < 1e-6;
}

}  // namespace

// ---- TPicture ----

TPicture::~TPicture() = default;

TBitmap* TPicture::Bitmap() {
  if (!bitmap_) {
    bitmap_ = std::make_unique<TBitmap>();
    holdsOther_ = false;
    if (onBitmapMade_) onBitmapMade_(bitmap_.get());
  }
  return bitmap_.get();
}

void TPicture::AssignNonBitmapGraphic() {
  bitmap_.reset();
  holdsOther_ = true;
  if (onBitmapMade_) onBitmapMade_(nullptr);
}

// ---- ImageWidget ----

ImageWidget::ImageWidget(TImage* image, QWidget* parent) : QWidget(parent), image_(image) {
  setMouseTracking(true);  // moves without a button reach OnMouseMove too
}

void ImageWidget::paintEvent(QPaintEvent* event) {
  const TBitmap* bitmap = image_->picture_.bitmap_.get();
  if (!bitmap || bitmap->Empty()) return;
  const QRect whole(0, 0, bitmap->Width(), bitmap->Height());
  const double ratio = image_->DeviceRatio();
  QPainter painter(this);
  QRect area;
  if (image_->devicePixels_) {
    // Drawn in device pixels: with Qt's own scaling undone, each picture pixel
    // lands on one screen pixel (the widget starts on a whole device pixel).
    area = DeviceRectCovering(event->rect(), ratio) & whole;
    painter.scale(1 / ratio, 1 / ratio);
  } else if (!IsWhole(devicePixelRatioF())) {
    // Scaled by a fraction, evenly: filtered, and whole so that the filter
    // sees the same neighbours at every repaint.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    area = whole;
  } else {
    area = event->rect() & whole;
  }
  // Outside the picture the window background shows.
  if (area.isEmpty()) return;
  if (image_->transparent_) {
    PaintTransparent(painter, *bitmap, area);
    return;
  }
  // Wrapped anew each time: a resize or load replaces the pixel store.
  const QImage pixels = WrapBitmapPixels(*bitmap);
  painter.drawImage(area.topLeft(), pixels, area);
}

namespace {

std::uint32_t TransparentKey(const TBitmap& bitmap) {
  if (bitmap.TransparentColor() == clDefault) return bitmap.ScanLine(bitmap.Height() - 1)[0] & 0xFFFFFFu;
  return ColorToWord(ColorToRGB(bitmap.TransparentColor())) & 0xFFFFFFu;
}

// A picture to show a transparent image through; null when there is no
// memory for it.
QImage MakeView(int width, int height) {
  const std::optional<std::size_t> limit = Testing::TransparentViewLimit();
  if (limit && static_cast<std::size_t>(width) * static_cast<std::size_t>(height) > *limit) return QImage();
  return QImage(width, height, QImage::Format_ARGB32_Premultiplied);
}

// Converts `area` of the picture into `to`, whose pixel (0, 0) is the area's top-left.
void ConvertKeyed(const TBitmap& bitmap, const QRect& area, std::uint32_t key, QImage& to) {
  auto* const base = reinterpret_cast<std::uint32_t*>(to.bits());
  const qsizetype stride = to.bytesPerLine() / 4;
  for (int y = 0; y < area.height(); ++y)
    ToKeyedArgb(bitmap.ScanLine(area.top() + y) + area.left(), base + y * stride,
                static_cast<std::size_t>(area.width()), key);
}

}  // namespace

// Brings the view up to date where the picture changed; false when there is
// no memory for it.
bool ImageWidget::UpdateKeyedView(const TBitmap& bitmap, std::uint32_t key) {
  const QRect whole(0, 0, bitmap.Width(), bitmap.Height());
  const TRect pending = bitmap.PendingDirtyRect();  // changes whose repaint request is still queued
  QRect todo = keyed_.stale | QRect(pending.Left, pending.Top, pending.Width(), pending.Height());
  if (keyed_.image.size() != whole.size()) {
    keyed_.image = QImage();  // the old one goes before the new one is made
    keyed_.image = MakeView(whole.width(), whole.height());
    keyed_.pixels = nullptr;
    if (keyed_.image.isNull()) return false;
  }
  if (keyed_.pixels != bitmap.Bits() || keyed_.key != key) todo = whole;
  keyed_.pixels = bitmap.Bits();
  keyed_.key = key;
  keyed_.stale = QRect();
  todo &= whole;
  if (todo.isEmpty()) return true;
  QImage part(reinterpret_cast<uchar*>(keyed_.image.bits()) + todo.top() * keyed_.image.bytesPerLine() +
                  todo.left() * 4,
              todo.width(), todo.height(), keyed_.image.bytesPerLine(), QImage::Format_ARGB32_Premultiplied);
  ConvertKeyed(bitmap, todo, key, part);
  return true;
}

// The key colour's pixels are left out; the rest is drawn opaque.
void ImageWidget::PaintTransparent(QPainter& painter, const TBitmap& bitmap, const QRect& area) {
  const std::uint32_t key = TransparentKey(bitmap);
  if (UpdateKeyedView(bitmap, key)) {
    painter.drawImage(area.topLeft(), keyed_.image, area);
    return;
  }
  // Without memory for a view of the whole picture: the area a few rows at a
  // time, or, failing even that, nothing until the next repaint.
  const std::size_t stripPixels = std::min<std::size_t>(
      1 << 16, Testing::TransparentViewLimit().value_or(std::numeric_limits<std::size_t>::max()));
  const int rows =
      std::clamp(static_cast<int>(stripPixels / static_cast<std::size_t>(area.width())), 1, area.height());
  QImage strip = MakeView(area.width(), rows);
  if (strip.isNull()) return;
  for (int top = area.top(); top <= area.bottom(); top += rows) {
    const QRect band(area.left(), top, area.width(), std::min(rows, area.bottom() + 1 - top));
    ConvertKeyed(bitmap, band, key, strip);
    painter.drawImage(band.topLeft(), strip, QRect(QPoint(0, 0), band.size()));
  }
}

void ImageWidget::SendMouseDown(QMouseEvent* event, TShiftState extra) {
  TMouseButton button;
  if (!ToMouseButton(event->button(), &button)) return;
  const TShiftState shift = ShiftStateOf(event->buttons(), event->modifiers()) | extra;
  const QPoint p = PositionOf(event, image_->devicePixels_, image_->DeviceRatio());
  RunHandler([&] {
    if (image_->OnMouseDown) image_->OnMouseDown(image_, button, shift, p.x(), p.y());
  });
}

void ImageWidget::mousePressEvent(QMouseEvent* event) {
  SendMouseDown(event, 0);
}

void ImageWidget::mouseDoubleClickEvent(QMouseEvent* event) {
  // Qt sends this in place of the second press.
  SendMouseDown(event, ssDouble);
}

void ImageWidget::mouseMoveEvent(QMouseEvent* event) {
  const TShiftState shift = ShiftStateOf(event->buttons(), event->modifiers());
  const QPoint p = PositionOf(event, image_->devicePixels_, image_->DeviceRatio());
  RunHandler([&] {
    if (image_->OnMouseMove) image_->OnMouseMove(image_, shift, p.x(), p.y());
  });
}

void ImageWidget::mouseReleaseEvent(QMouseEvent* event) {
  TMouseButton button;
  if (!ToMouseButton(event->button(), &button)) return;
  const TShiftState shift = ShiftStateOf(event->buttons(), event->modifiers());
  const QPoint p = PositionOf(event, image_->devicePixels_, image_->DeviceRatio());
  RunHandler([&] {
    if (image_->OnMouseUp) image_->OnMouseUp(image_, button, shift, p.x(), p.y());
  });
}

// ---- TImage ----

TImage::TImage(TForm* owner) : TControl(owner, new ImageWidget(this, owner->ClientWidget())) {
  Widget()->resize(105, 105);
  picture_.onBitmapMade_ = [this](TBitmap* bitmap) { AttachBitmap(bitmap); };
}

TImage::~TImage() {
  if (picture_.bitmap_) picture_.bitmap_->SetChangeHook(nullptr, nullptr);
  picture_.onBitmapMade_ = nullptr;
}

void TImage::SetDevicePixels(bool d) {
  if (d == devicePixels_) return;
  devicePixels_ = d;
  if (Widget()) Widget()->update();
}

double TImage::DeviceRatio() const {
  return devicePixels_ && Widget() ? Widget()->devicePixelRatioF() : 1;
}

int TImage::Left() const {
  return devicePixels_ ? ToDevice(TControl::Left(), DeviceRatio()) : TControl::Left();
}
int TImage::Top() const {
  return devicePixels_ ? ToDevice(TControl::Top(), DeviceRatio()) : TControl::Top();
}
int TImage::Width() const {
  return devicePixels_ ? ToDevice(TControl::Width(), DeviceRatio()) : TControl::Width();
}
int TImage::Height() const {
  return devicePixels_ ? ToDevice(TControl::Height(), DeviceRatio()) : TControl::Height();
}

// Device bounds become the screen pixels that hold at least that many.
void TImage::SetBounds(int left, int top, int width, int height) {
  const double ratio = DeviceRatio();
  if (ratio == 1) return TControl::SetBounds(left, top, width, height);
  const auto screen = [ratio](int v) { return static_cast<int>(std::ceil(v / ratio - 1e-6)); };
  TControl::SetBounds(static_cast<int>(std::lround(left / ratio)), static_cast<int>(std::lround(top / ratio)),
                      screen(width), screen(height));
}

TCanvas* TImage::Canvas() {
  if (picture_.holdsOther_) throw EDaubixError("ビットマップを持っている時のみイメージの変更が可能です");
  if (!picture_.bitmap_) {
    TBitmap* bitmap = picture_.Bitmap();
    // A never-used canvas makes the new pixels white.
    bitmap->SetWidth(Width());
    bitmap->SetHeight(Height());
  }
  return picture_.bitmap_->Canvas();
}

void TImage::SetTransparent(bool t) {
  if (t == transparent_) return;
  transparent_ = t;
  if (Widget()) Widget()->update();
}

void TImage::AttachBitmap(TBitmap* bitmap) {
  if (bitmap) {
    bitmap->SetChangeHook(&TImage::BitmapChanged, this);
    bitmap->TakeDirtyRect();  // so that the next change calls the hook
  }
  if (!Widget()) return;
  static_cast<ImageWidget*>(Widget())->PictureReplaced();
  Widget()->update();  // a new or dropped picture: repaint all
}

void TImage::BitmapChanged(void* self) {
  auto* image = static_cast<TImage*>(self);
  if (image->flushQueued_ || !image->Widget()) return;
  image->flushQueued_ = true;
  // One repaint request per batch of drawing calls; dropped with the widget.
  QMetaObject::invokeMethod(
      image->Widget(), [image] { image->FlushDirty(); }, Qt::QueuedConnection);
}

void TImage::FlushDirty() {
  flushQueued_ = false;
  TBitmap* bitmap = picture_.bitmap_.get();
  if (!bitmap || !Widget()) return;
  const TRect r = bitmap->TakeDirtyRect();
  auto* widget = static_cast<ImageWidget*>(Widget());
  const QSize size(bitmap->Width(), bitmap->Height());
  if (size != widget->shownSize) {
    // A smaller picture must uncover what the larger one showed.
    widget->shownSize = size;
    widget->PictureReplaced();
    widget->update();
    return;
  }
  if (r.IsEmpty()) return;
  const QRect changed(r.Left, r.Top, r.Width(), r.Height());
  widget->PictureChanged(changed);
  widget->update(ScreenRectCovering(changed, DeviceRatio()));
}

void ResizeImageWhite(TImage* image, int width, int height) {
  // A client-filling surface in device pixels has the layout's size; its
  // bitmap follows the caller, who measured it.
  if (!image->DevicePixels() || image->Align() != alClient) {
    image->SetWidth(width);
    image->SetHeight(height);
  }
  TCanvas* canvas = image->Canvas();  // makes the bitmap if there is none yet
  canvas->Brush->SetColor(clWhite);
  TBitmap* bitmap = image->Picture()->Bitmap();
  bitmap->SetWidth(width);
  bitmap->SetHeight(height);
}
