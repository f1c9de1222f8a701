// Forms: a top-level window with an optional menu bar above a client area
// that holds the controls, and the controls' common geometry.
#include <QCloseEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QMimeData>
#include <QResizeEvent>
#include <QScreen>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <cmath>

#include "toolkit/toolkit_qt.h"

namespace {

// Window flags for a border and style; fixed borders have no maximise button.
Qt::WindowFlags FlagsFor(TFormBorderStyle border, TFormStyle style) {
  Qt::WindowFlags flags = Qt::Window;
  if (border != bsSizeable) {
    flags |=
        Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (border == bsSingle)
      flags |= Qt::WindowMinimizeButtonHint;
    else
      flags |= Qt::MSWindowsFixedSizeDialogHint;
  }
  if (style == fsStayOnTop) flags |= Qt::WindowStaysOnTopHint;
  return flags;
}

// The frame of a shown window as seen last; a platform that cannot tell the
// frame of a hidden window gets this one.
QMargins gLastSeenFrame;

// Frame and caption around the window's geometry. A hidden window reports no
// frame through QWidget, so sizes would jump at the first show (and a layout
// saved at exit would grow at every start): ask the platform window instead.
QMargins FrameOf(const QWidget* w) {
  if (w->isVisible()) {
    const QRect f = w->frameGeometry(), g = w->geometry();
    const QMargins m(g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom());
    if (!m.isNull()) gLastSeenFrame = m;
    return m;
  }
  if (const QWindow* handle = w->windowHandle()) {
    const QMargins m = handle->frameMargins();
    if (!m.isNull()) return m;
  }
  return gLastSeenFrame;
}

int ClampToLimits(int v, int minimum, int maximum) {
  if (maximum > 0) v = std::min(v, maximum);
  return std::max(v, minimum);
}

}  // namespace

// ---- FormWidget ----

FormWidget::FormWidget(TForm* form) : QWidget(nullptr, Qt::Window), form_(form) {}

namespace {

// The first height from `hint` on that ends on a whole device pixel, so that
// the client area below it starts on one and its pictures drawn pixel for
// pixel are not shifted by half a pixel (and cut by the edge); the hint itself
// when none is near.
int MenuBarHeight(int hint, double ratio) {
  for (int h = hint; h <= hint + 8; ++h) {
    const double device = h * ratio;
    if (std::abs(device - std::round(device)) < 1e-6) return h;
  }
  return hint;
}

}  // namespace

void FormWidget::PlaceChildren() {
  TForm::Impl& impl = *form_->impl_;
  int top = 0;
  if (impl.menuBar) {
    if (impl.menuShown) {
      top = MenuBarHeight(impl.menuBar->sizeHint().height(), devicePixelRatioF());
      impl.menuBar->setGeometry(0, 0, width(), top);
    }
    impl.menuBar->setVisible(impl.menuShown);
  }
  impl.client->setGeometry(0, top, width(), std::max(height() - top, 0));
  placedRatio_ = devicePixelRatioF();
}

bool FormWidget::event(QEvent* event) {
  const bool handled = QWidget::event(event);
  // On a screen of another scale the client holds other device pixels, though
  // its size in screen pixels stays: a resize all the same.
  if (event->type() == QEvent::ScreenChangeInternal && devicePixelRatioF() != placedRatio_) {
    PlaceChildren();
    form_->lastClientWidth_ = form_->lastClientHeight_ = -1;
    form_->ClientResized();
  }
  return handled;
}

void FormWidget::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  PlaceChildren();
  form_->ClientResized();  // runs OnResize only if the client size changed
}

void FormWidget::closeEvent(QCloseEvent* event) {
  // The form decides: OnClose, then hide or end the program.
  event->ignore();
  form_->Close();
}

namespace {

// The one local file a drag carries, or nothing; and only where it may be
// copied, so that a move can never make the file manager delete it.
QString DroppableFile(const QDropEvent* event) {
  const QMimeData* mime = event->mimeData();
  if (!mime || !mime->hasUrls() || !(event->possibleActions() & Qt::CopyAction)) return {};
  const QList<QUrl> urls = mime->urls();
  if (urls.size() != 1 || !urls.first().isLocalFile()) return {};
  return urls.first().toLocalFile();
}

void AnswerDrag(QDropEvent* event, bool wanted) {
  if (!wanted) {
    event->ignore();
    return;
  }
  event->setDropAction(Qt::CopyAction);
  event->accept();
}

}  // namespace

void FormWidget::dragEnterEvent(QDragEnterEvent* event) {
  AnswerDrag(event, form_->OnDropFile && !DroppableFile(event).isEmpty());
}

void FormWidget::dragMoveEvent(QDragMoveEvent* event) {
  AnswerDrag(event, form_->OnDropFile && !DroppableFile(event).isEmpty());
}

void FormWidget::dropEvent(QDropEvent* event) {
  const QString file = DroppableFile(event);
  AnswerDrag(event, form_->OnDropFile && !file.isEmpty());
  if (!event->isAccepted()) return;
  // Queued: a question asked inside the drop would hold the file manager's
  // drag until answered. Dropped with the window if that goes first.
  QMetaObject::invokeMethod(
      this,
      [form = form_, path = ToStdString(file)] {
        RunHandler([&] {
          if (form->OnDropFile) form->OnDropFile(form, path);
        });
      },
      Qt::QueuedConnection);
}

QMenuBar* TForm::Impl::EnsureMenuBar() {
  if (!menuBar) {
    menuBar = new QMenuBar(window);
    menuBar->setNativeMenuBar(false);  // always inside the window, so ClientHeight is ours
    menuBar->setVisible(false);
  }
  return menuBar;
}

// ---- TForm ----

TForm::TForm() : impl_(std::make_unique<Impl>()) {
  impl_->window = new FormWidget(this);
  impl_->client = new QWidget(impl_->window);
  impl_->window->winId();  // the platform window knows the frame before the first show
  impl_->window->PlaceChildren();
}

TForm::~TForm() {
  if (Application && Application->mainForm_ == this) Application->mainForm_ = nullptr;
  components_.clear();  // controls delete their widgets while the window still exists
  for (TControl* c : controls_) {
    c->widget_ = nullptr;  // not owned by the form: its widget goes with the window
    c->owner_ = nullptr;
  }
  controls_.clear();
  delete impl_->window;
}

std::string TForm::Caption() const {
  return ToStdString(impl_->window->windowTitle());
}
void TForm::SetCaption(const std::string& c) {
  impl_->window->setWindowTitle(ToQString(c));
}

int TForm::Left() const {
  return impl_->window->frameGeometry().x();
}
int TForm::Top() const {
  return impl_->window->frameGeometry().y();
}
int TForm::Width() const {
  const QMargins m = FrameOf(impl_->window);
  return impl_->window->width() + m.left() + m.right();
}
int TForm::Height() const {
  const QMargins m = FrameOf(impl_->window);
  return impl_->window->height() + m.top() + m.bottom();
}
void TForm::SetLeft(int v) {
  impl_->window->move(v, Top());
}
void TForm::SetTop(int v) {
  impl_->window->move(Left(), v);
}

// The window without its frame to `size` (fixed where the user may not resize
// it), then the layout of the controls and OnResize, all before returning.
void TForm::ResizeWindow(const QSize& size) {
  QWidget* w = impl_->window;
  if (impl_->borderStyle != bsSizeable)
    w->setFixedSize(size);
  else
    w->resize(size);
  impl_->window->PlaceChildren();
  ClientResized();
}

// A new outer size: constraints first, then the window.
void TForm::SetWidth(int v) {
  QWidget* w = impl_->window;
  const int frameExtra = Width() - w->width();
  const int outer = ClampToLimits(v, constraints_.MinWidth, constraints_.MaxWidth);
  ResizeWindow(QSize(std::max(outer - frameExtra, 0), w->height()));
}

void TForm::SetHeight(int v) {
  QWidget* w = impl_->window;
  const int frameExtra = Height() - w->height();
  const int outer = ClampToLimits(v, constraints_.MinHeight, constraints_.MaxHeight);
  ResizeWindow(QSize(w->width(), std::max(outer - frameExtra, 0)));
}

int TForm::ClientWidth() const {
  return impl_->client->width();
}
int TForm::ClientHeight() const {
  return impl_->client->height();
}
void TForm::SetClientWidth(int v) {
  SetWidth(Width() + v - ClientWidth());
}
void TForm::SetClientHeight(int v) {
  SetHeight(Height() + v - ClientHeight());
}

bool TForm::Visible() const {
  return impl_->window->isVisible();
}

void TForm::SetVisible(bool v) {
  QWidget* w = impl_->window;
  if (!v) {
    w->hide();
    return;
  }
  if (w->isVisible()) return;
  if (impl_->position == poScreenCenter && !impl_->centredOnce && Screen) {
    impl_->centredOnce = true;
    w->move((Screen->Width() - Width()) / 2, (Screen->Height() - Height()) / 2);
  }
  w->show();
  w->raise();
  if (!impl_->laidOut) {
    // The first layout counts as a resize, whatever size the window had before.
    impl_->laidOut = true;
    lastClientWidth_ = lastClientHeight_ = -1;
    ClientResized();
  }
  // After the window is up, so that windows OnShow shows come in front of it.
  RunHandler([this] {
    if (OnShow) OnShow(this);
  });
}

void TForm::Show() {
  if (!Visible()) {
    SetVisible(true);
    return;
  }
  impl_->window->raise();
  impl_->window->activateWindow();
}

void TForm::Close() {
  TCloseAction action = caHide;
  const bool ok = RunGuardedHandler([&] {
    if (OnClose) OnClose(this, action);
  });
  if (!ok || action == caNone) return;  // a failed OnClose keeps the form open
  if (Application && Application->MainForm() == this) {
    impl_->window->hide();
    Application->Terminate();
    return;
  }
  if (action == caMinimize)
    impl_->window->showMinimized();
  else
    impl_->window->hide();
}

void TForm::SetBorderStyle(TFormBorderStyle b) {
  impl_->borderStyle = b;
  QWidget* w = impl_->window;
  const bool wasVisible = w->isVisible();
  w->setWindowFlags(FlagsFor(b, impl_->formStyle));
  w->winId();
  if (b != bsSizeable) {
    w->setFixedSize(w->size());
  } else {
    w->setMinimumSize(0, 0);
    w->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    SetConstraints(constraints_);
  }
  if (wasVisible) w->show();  // changing flags hides a window
}

void TForm::SetFormStyle(TFormStyle s) {
  impl_->formStyle = s;
  QWidget* w = impl_->window;
  const bool wasVisible = w->isVisible();
  w->setWindowFlags(FlagsFor(impl_->borderStyle, s));
  w->winId();
  if (wasVisible) w->show();
}

void TForm::SetAcceptFiles(bool accept) {
  impl_->window->setAcceptDrops(accept);
}

void TForm::SetPosition(TPosition p) {
  impl_->position = p;
}

void TForm::SetConstraints(const TSizeConstraints& c) {
  constraints_ = c;
  QWidget* w = impl_->window;
  if (impl_->borderStyle == bsSizeable) {
    // The window's own limits stop the user; the setters clamp code.
    const int fw = Width() - w->width();
    const int fh = Height() - w->height();
    w->setMinimumSize(std::max(c.MinWidth - fw, 0), std::max(c.MinHeight - fh, 0));
    w->setMaximumSize(c.MaxWidth > 0 ? std::max(c.MaxWidth - fw, 0) : QWIDGETSIZE_MAX,
                      c.MaxHeight > 0 ? std::max(c.MaxHeight - fh, 0) : QWIDGETSIZE_MAX);
  }
  const int width = ClampToLimits(Width(), c.MinWidth, c.MaxWidth);
  const int height = ClampToLimits(Height(), c.MinHeight, c.MaxHeight);
  if (width != Width()) SetWidth(width);
  if (height != Height()) SetHeight(height);
}

void TForm::SetMenu(TMainMenu* menu) {
  if (menu) impl_->EnsureMenuBar();
  impl_->menuShown = menu != nullptr;
  impl_->window->PlaceChildren();
  ClientResized();
}

QWidget* TForm::Widget() const {
  return impl_->window;
}
QWidget* TForm::ClientWidget() const {
  return impl_->client;
}

void TForm::DoCreate() {
  RunHandler([this] {
    if (OnCreate) OnCreate(this);
  });
}

void TForm::DoDestroy() {
  RunHandler([this] {
    if (OnDestroy) OnDestroy(this);
  });
}

void TForm::UnregisterControl(TControl* c) {
  std::erase(controls_, c);
}

void TForm::ClientResized() {
  const int cw = ClientWidth(), ch = ClientHeight();
  for (TControl* c : controls_) {
    QWidget* w = c->widget_;
    if (!w) continue;
    const QRect old = w->geometry();
    QRect r = old;
    if (c->align_ == alClient) {
      r = QRect(0, 0, cw, ch);
    } else {
      if (c->anchors_ & akRight) {
        if (c->anchors_ & akLeft)
          r.setWidth(std::max(cw - c->marginRight_ - r.left(), 0));
        else
          r.moveLeft(cw - c->marginRight_ - r.width());
      }
      if (c->anchors_ & akBottom) {
        if (c->anchors_ & akTop)
          r.setHeight(std::max(ch - c->marginBottom_ - r.top(), 0));
        else
          r.moveTop(ch - c->marginBottom_ - r.height());
      }
    }
    if (r != old) {
      w->setGeometry(r);
      if (r.size() != old.size()) c->Resized();
    }
  }
  if (cw == lastClientWidth_ && ch == lastClientHeight_) return;
  lastClientWidth_ = cw;
  lastClientHeight_ = ch;
  RunHandler([this] {
    if (OnResize) OnResize(this);
  });
}

// ---- TControl ----

TControl::TControl(TForm* owner, QWidget* widget) : owner_(owner), widget_(widget) {
  if (owner_) owner_->RegisterControl(this);
  widget_->raise();  // a later control lies above the earlier ones
  widget_->show();
}

TControl::~TControl() {
  if (owner_) owner_->UnregisterControl(this);
  delete widget_;
}

int TControl::Left() const {
  return widget_ ? widget_->x() : 0;
}
int TControl::Top() const {
  return widget_ ? widget_->y() : 0;
}
int TControl::Width() const {
  return widget_ ? widget_->width() : 0;
}
int TControl::Height() const {
  return widget_ ? widget_->height() : 0;
}
void TControl::SetLeft(int v) {
  SetBounds(v, Top(), Width(), Height());
}
void TControl::SetTop(int v) {
  SetBounds(Left(), v, Width(), Height());
}
void TControl::SetWidth(int v) {
  SetBounds(Left(), Top(), v, Height());
}
void TControl::SetHeight(int v) {
  SetBounds(Left(), Top(), Width(), v);
}

void TControl::SetBounds(int left, int top, int width, int height) {
  if (!widget_) return;
  const QSize old = widget_->size();
  widget_->setGeometry(left, top, std::max(width, 0), std::max(height, 0));
  SetAnchors(anchors_);  // the distances to keep are the ones the control has now
  if (widget_->size() != old) Resized();
}

void TControl::SetAnchors(TAnchors a) {
  anchors_ = a;
  if (!owner_ || !widget_) return;
  marginRight_ = owner_->ClientWidth() - (widget_->x() + widget_->width());
  marginBottom_ = owner_->ClientHeight() - (widget_->y() + widget_->height());
}

void TControl::SetVisible(bool v) {
  visible_ = v;
  if (widget_) widget_->setVisible(v);
}

void TControl::SetAlign(TAlign a) {
  align_ = a;
  // The client's size is in screen pixels, whatever the control counts in.
  if (a == alClient && owner_ && widget_)
    TControl::SetBounds(0, 0, owner_->ClientWidth(), owner_->ClientHeight());
}
