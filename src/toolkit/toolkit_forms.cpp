// Forms: a top-level window with an optional menu bar above a client area
// that holds the controls, and the controls' common geometry.
#include <QCloseEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QMimeData>
#include <QResizeEvent>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <utility>

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

// The frame of the last shown window of each kind (fixed size or not): the
// best guess for a window whose own frame nobody has told yet.
QMargins gLastSeenFrame[2];

bool HasFixedSize(const QWidget* w) {
  return w->minimumSize() == w->maximumSize();
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
  // A hidden window stays as the program made it: what the window system
  // reports meanwhile may be stale (a window manager answering about its
  // frame describes the window as it was), and showing puts it right.
  if (!isVisible() && event->spontaneous() && form_->impl_->hiddenGeometry) return;
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

QMargins TForm::Impl::Frame() {
  QMargins& lastSeen = gLastSeenFrame[HasFixedSize(window)];
  // The platform window is made when first needed, once the border and style
  // are set: each one made costs round trips and the icons sent to the display.
  window->winId();
  // Qt learns the frame once the window manager has drawn it (or estimated it).
  if (const QWindow* handle = window->windowHandle(); handle && !handle->frameMargins().isNull()) {
    frame = handle->frameMargins();
    frameKnown = true;
    if (window->isVisible()) {
      frameSeen = true;
      lastSeen = frame;
    }
    return frame;
  }
  if (!frameKnown && !frameAsked) {
    frameAsked = true;
    if (const std::optional<QMargins> estimate = AskFrameExtents(window)) {
      frame = *estimate;
      frameKnown = true;
    }
  }
  return frameKnown ? frame : lastSeen;
}

QRect TForm::Impl::ClientRect() const {
  return !window->isVisible() && hiddenGeometry ? *hiddenGeometry : window->geometry();
}

void TForm::Impl::SetClientRect(const QRect& r) {
  window->setGeometry(r);
  if (!window->isVisible()) hiddenGeometry = r;
}

int TForm::Left() const {
  return impl_->ClientRect().x() - impl_->Frame().left();
}
int TForm::Top() const {
  return impl_->ClientRect().y() - impl_->Frame().top();
}
int TForm::Width() const {
  const QMargins m = impl_->Frame();
  return impl_->ClientRect().width() + m.left() + m.right();
}
int TForm::Height() const {
  const QMargins m = impl_->Frame();
  return impl_->ClientRect().height() + m.top() + m.bottom();
}
void TForm::SetLeft(int v) {
  PlaceFrame(v, Top());
}
void TForm::SetTop(int v) {
  PlaceFrame(Left(), v);
}

// The window is placed by its client area, which X11 window managers keep
// where it is asked to be: the frame then lands at (left, top) exactly when
// the frame is known. A frame still to come is checked again once shown.
void TForm::PlaceFrame(int left, int top) {
  const QMargins m = impl_->Frame();
  impl_->placedWithFrame = impl_->NoteFrameUsed(m);
  impl_->SetClientRect(QRect(QPoint(left + m.left(), top + m.top()), impl_->ClientRect().size()));
}

// The frame to check again once the window is up; none when it is the real one.
std::optional<QMargins> TForm::Impl::NoteFrameUsed(const QMargins& m) const {
  return frameSeen ? std::nullopt : std::optional(m);
}

// The window without its frame to `size` (fixed where the user may not resize
// it), then the layout of the controls and OnResize, all before returning.
void TForm::ResizeWindow(const QSize& size) {
  QWidget* w = impl_->window;
  if (impl_->borderStyle != bsSizeable) w->setFixedSize(size);
  if (w->isVisible())
    w->resize(size);
  else
    impl_->SetClientRect(QRect(impl_->ClientRect().topLeft(), size));
  impl_->window->PlaceChildren();
  ClientResized();
}

// A new outer size: constraints first, then the window.
void TForm::SetWidth(int v) {
  const QMargins m = impl_->Frame();
  impl_->sizedWithFrame = impl_->NoteFrameUsed(m);
  const int outer = ClampToLimits(v, constraints_.MinWidth, constraints_.MaxWidth);
  ResizeWindow(QSize(std::max(outer - m.left() - m.right(), 0), impl_->ClientRect().height()));
}

void TForm::SetHeight(int v) {
  const QMargins m = impl_->Frame();
  impl_->sizedWithFrame = impl_->NoteFrameUsed(m);
  const int outer = ClampToLimits(v, constraints_.MinHeight, constraints_.MaxHeight);
  ResizeWindow(QSize(impl_->ClientRect().width(), std::max(outer - m.top() - m.bottom(), 0)));
}

// Once a window placed with a guessed frame is up, its real frame arrives
// from the window manager a moment later: the bounds asked for are then set
// again with it, so that the frame ends exactly where it was put.
void TForm::RefitWhenFrameArrives(int triesLeft) {
  Impl& impl = *impl_;
  if ((!impl.placedWithFrame && !impl.sizedWithFrame) || !impl.window->isVisible()) return;
  const QWindow* handle = impl.window->windowHandle();
  const QMargins real = handle ? handle->frameMargins() : QMargins();
  if (real.isNull()) {
    if (triesLeft > 0)
      QTimer::singleShot(20, impl.window, [this, triesLeft] { RefitWhenFrameArrives(triesLeft - 1); });
    return;
  }
  const QRect client = impl.window->geometry();
  if (const auto guessed = std::exchange(impl.placedWithFrame, std::nullopt); guessed && *guessed != real)
    impl.window->setGeometry(
        QRect(client.topLeft() + QPoint(real.left() - guessed->left(), real.top() - guessed->top()),
              client.size()));
  if (const auto guessed = std::exchange(impl.sizedWithFrame, std::nullopt); guessed && *guessed != real) {
    const QSize extra(real.left() + real.right() - guessed->left() - guessed->right(),
                      real.top() + real.bottom() - guessed->top() - guessed->bottom());
    ResizeWindow((client.size() - extra).expandedTo(QSize(0, 0)));
  }
}

int TForm::ClientWidth() const {
  return impl_->client->width();
}
int TForm::ClientHeight() const {
  return impl_->client->height();
}
// A client size is kept whatever frame comes, unless the outer limits stop it.
void TForm::SetClientSize(int width, int height) {
  impl_->sizedWithFrame.reset();
  const QMargins m = impl_->Frame();
  const QSize window = impl_->ClientRect().size() + QSize(width - ClientWidth(), height - ClientHeight());
  const QSize frame(m.left() + m.right(), m.top() + m.bottom());
  const int outerWidth =
      ClampToLimits(window.width() + frame.width(), constraints_.MinWidth, constraints_.MaxWidth);
  const int outerHeight =
      ClampToLimits(window.height() + frame.height(), constraints_.MinHeight, constraints_.MaxHeight);
  ResizeWindow(QSize(std::max(outerWidth - frame.width(), 0), std::max(outerHeight - frame.height(), 0)));
}
void TForm::SetClientWidth(int v) {
  SetClientSize(v, ClientHeight());
}
void TForm::SetClientHeight(int v) {
  SetClientSize(ClientWidth(), v);
}

bool TForm::Visible() const {
  return impl_->window->isVisible();
}

void TForm::SetVisible(bool v) {
  QWidget* w = impl_->window;
  if (!v) {
    if (w->isVisible()) impl_->hiddenGeometry = w->geometry();
    w->hide();
    return;
  }
  if (w->isVisible()) return;
  if (impl_->position == poScreenCenter && !impl_->centredOnce && Screen) {
    impl_->centredOnce = true;
    PlaceFrame((Screen->Width() - Width()) / 2, (Screen->Height() - Height()) / 2);
  }
  // Native Wayland places windows where the compositor likes: tool windows
  // at least stay with the main window.
  const TForm* main = Application ? Application->MainForm() : nullptr;
  if (main && main != this && QGuiApplication::platformName() == QLatin1String("wayland")) {
    w->winId();
    w->windowHandle()->setTransientParent(main->Widget()->windowHandle());
  }
  if (impl_->hiddenGeometry && w->geometry() != *impl_->hiddenGeometry)
    w->setGeometry(*impl_->hiddenGeometry);
  impl_->hiddenGeometry.reset();
  w->show();
  w->raise();
  RefitWhenFrameArrives(100);
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
  impl_->ForgetFrameEstimate();  // another border, another frame
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
  impl_->ForgetFrameEstimate();
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
    const QMargins m = impl_->Frame();
    const int fw = m.left() + m.right(), fh = m.top() + m.bottom();
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
