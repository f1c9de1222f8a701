// Inside the window toolkit: the Qt widgets behind the T* classes and the
// helpers the toolkit's files share. Not for window code.
#pragma once

#include <QColor>
#include <QImage>
#include <QMargins>
#include <QString>
#include <QToolButton>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

class QMenuBar;
class QInputDevice;
class QLabel;
class QFileDialog;
class QMessageBox;

inline QString ToQString(const std::string& s) {
  return QString::fromStdString(s);
}
inline std::string ToStdString(const QString& s) {
  return s.toStdString();
}
// System colours resolved; 0x00BBGGRR to Qt's RGB.
QColor ToQColor(TColor c);
TColor FromQColor(const QColor& c);
TShiftState ShiftStateOf(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
// The one place where a bitmap's pixel store is seen as a QImage: no copy, to
// read only (a painter on it would write past the undo history), so the
// image must not outlive a resize or load of the bitmap.
QImage WrapBitmapPixels(const TBitmap& bitmap);

// A stylus, airbrush or puck, or any pointer that reports pressure.
bool IsPenDevice(const QInputDevice* device);

// RunHandler that also says whether the handler ended normally (false: it
// threw and the error was shown).
bool RunGuardedHandler(const std::function<void()>& handler);

// ---- Forms ----

class FormWidget : public QWidget {
 public:
  explicit FormWidget(TForm* form);
  // Puts the menu bar (if shown) above the client widget, over the whole window.
  void PlaceChildren();

 protected:
  bool event(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  TForm* form_;
  double placedRatio_ = 0;  // the device pixel ratio PlaceChildren last saw
};

struct TForm::Impl {
  FormWidget* window = nullptr;
  QWidget* client = nullptr;
  QMenuBar* menuBar = nullptr;  // made by the first TMainMenu of the form
  bool menuShown = false;
  TFormBorderStyle borderStyle = bsSizeable;
  TFormStyle formStyle = fsNormal;
  TPosition position = poDesigned;
  bool centredOnce = false;
  bool laidOut = false;  // shown once: OnResize has run for the first layout
  QMenuBar* EnsureMenuBar();

  // The frame and caption around the window, as best known: from the shown
  // window, the window manager's estimate, or a window shown before.
  QMargins Frame();
  // Forgets an estimate made for other window flags or size limits.
  void ForgetFrameEstimate() { frameKnown = frameAsked = false; }
  QMargins frame;
  bool frameKnown = false;  // `frame` holds the window's own, seen or estimated
  bool frameAsked = false;  // the window manager was asked for this window as it is
  bool frameSeen = false;   // `frame` is the one the shown window has
  // The frame the place and the outer size were last set with while the
  // window's own was not yet seen: when the real one arrives and differs,
  // they are set again with it.
  std::optional<QMargins> placedWithFrame, sizedWithFrame;
  std::optional<QMargins> NoteFrameUsed(const QMargins& m) const;
  // Where the program put the window while it is hidden (client area).
  std::optional<QRect> hiddenGeometry;
  QRect ClientRect() const;
  void SetClientRect(const QRect& r);
};

// The frame the window manager will draw around `window`, asked of it before
// the window is shown (logical pixels); nothing where no window manager tells.
std::optional<QMargins> AskFrameExtents(QWidget* window);

// ---- Controls ----

class ImageWidget : public QWidget {
 public:
  ImageWidget(TImage* image, QWidget* parent);
  QSize shownSize;  // the picture size the last repaint request was for
  // The picture's pixels changed in r (picture coordinates), or all of them
  // may have (a new picture).
  void PictureChanged(const QRect& r) { keyed_.stale |= r; }
  void PictureReplaced() { keyed_.pixels = nullptr; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void SendMouseDown(QMouseEvent* event, TShiftState extra);
  void PaintTransparent(QPainter& painter, const TBitmap& bitmap, const QRect& area);
  bool UpdateKeyedView(const TBitmap& bitmap, std::uint32_t key);
  TImage* image_;
  // A transparent picture as Qt draws it (premultiplied ARGB, the key
  // colour's pixels transparent), kept between paints and converted again
  // only where the picture changed.
  struct KeyedView {
    QImage image;
    const std::uint32_t* pixels = nullptr;  // the pixel store it was made from
    std::uint32_t key = 0;
    QRect stale;  // changed since it was last converted
  } keyed_;
};

class SpeedButtonWidget : public QToolButton {
 public:
  SpeedButtonWidget(TSpeedButton* button, QWidget* parent);
  TSpeedButton* Button() const { return button_; }

 protected:
  // A grouped button goes down on a click and stays down; others never latch.
  void nextCheckState() override;

 private:
  TSpeedButton* button_;
};

// ---- Picture dialogs ----

// Beside the picture dialogs' file list: the selected picture fitted to a box
// with its aspect kept, and its width, height and bit depth. A file that is
// not a readable picture (or not a regular file) shows nothing.
class PicturePreview : public QWidget {
 public:
  explicit PicturePreview(QWidget* parent);
  void ShowPicture(const QString& path);
  QString FactsText() const;
  QSize PictureSize() const;  // empty when nothing is shown

 private:
  QLabel* picture_;
  QLabel* facts_;
};

// The open or save picture dialog as Execute shows it (not yet shown): Qt's
// own, with the preview (object name "picturePreview"), Japanese sizes and
// dates, and file types told from names, never from contents.
std::unique_ptr<QFileDialog> MakePictureDialog(QWidget* parent, bool save, const QString& nameFilter,
                                               const QString& lastName);

// The confirmation box as ConfirmationBox shows it (not yet shown).
std::unique_ptr<QMessageBox> MakeConfirmationBox(const QString& text, bool dismissable);

// ---- The dialog seam, as the toolkit consumes it ----

namespace Testing {
void RecordError(const std::string& text);
void RecordUnanswered(const std::string& kind);
// Records the question; nullopt when no answer was queued.
std::optional<Confirmation> TakeConfirmation(const std::string& question);
// Outer nullopt: none queued; inner nullopt: cancel.
std::optional<std::optional<std::string>> TakeFileAnswer();
std::optional<std::optional<TColor>> TakeColorAnswer();
const std::string& ExecutablePathOverride();
const std::string& ConfigFolderOverride();
const std::string& StateFolderOverride();
// Sends the script's mouse events, if one was read at start.
void ReplayScript();
}  // namespace Testing
