// The window toolkit: thin classes over Qt 6 Widgets, only what the program
// uses. Qt types stay out of this header so that window code compiles fast.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/surface.h"

class QWidget;
class QSize;
class QMenu;
class QAction;
class QTimer;

// ---- Events ----

using TShiftState = unsigned;
constexpr TShiftState ssShift = 1;
constexpr TShiftState ssAlt = 2;
constexpr TShiftState ssCtrl = 4;
constexpr TShiftState ssLeft = 8;
constexpr TShiftState ssRight = 16;
constexpr TShiftState ssMiddle = 32;
constexpr TShiftState ssDouble = 64;

enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TCloseAction { caNone, caHide, caFree, caMinimize };

using TNotifyEvent = std::function<void(TObject* Sender)>;
using TMouseEvent =
    std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TDropFileEvent = std::function<void(TObject* Sender, const std::string& FileName)>;

// Runs a handler the toolkit dispatches: an exception ends the handler and is
// shown in the error box, then the program goes on. When the outermost
// dispatch returns, canvases let go of their drawing contexts (clip regions).
void RunHandler(const std::function<void()>& handler);

// ---- Application and screen ----

class TForm;

class TApplication : public TObject {
 public:
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& title);
  // Handles every pending event (input, repaints), then returns; handlers may
  // run nested inside the caller.
  void ProcessMessages();
  // Full path of the running program file.
  std::string ExeName() const;
  // The user's configuration folder for this program (~/.config/Daubix),
  // which may not exist yet.
  std::string ConfigFolder() const;
  // The user's state folder for this program ($XDG_STATE_HOME/Daubix, by
  // default ~/.local/state/Daubix), which may not exist yet.
  std::string StateFolder() const;
  // The error box: captioned with the title, the message with "." appended
  // when its last character sorts after ".".
  void ShowException(const std::string& message);
  // How many handlers have ended in an error so far.
  std::uint64_t FailedHandlers() const { return failedHandlers_; }
  // The first form registered becomes the main form; runs its OnCreate.
  void CreateForm(TForm* form);
  TForm* MainForm() const { return mainForm_; }
  // Shows the main form and runs the event loop until it closes.
  void Run();
  // Ends the event loop, and any modal loop running inside it.
  void Terminate(int exitCode = 0);
  bool Terminated() const { return terminated_; }
  // What the program should end with: the code Terminate was given.
  int ExitCode() const { return exitCode_; }
  // Runs `handler` in the event loop when the desktop session ends (its
  // commit-data request) or the process gets SIGTERM, SIGHUP or SIGINT. The
  // signal handlers only write to a pipe; a null handler gives the signals
  // back their usual effect.
  void WatchEndOfSession(TNotifyEvent handler);

 private:
  friend class TForm;  // a destroyed main form unregisters itself
  friend void RunEndOfSession();
  friend bool RunGuardedHandler(const std::function<void()>& handler);  // counts the failures
  std::string title_;
  TForm* mainForm_ = nullptr;
  bool terminated_ = false;
  int exitCode_ = 0;
  std::uint64_t failedHandlers_ = 0;
  TNotifyEvent endOfSession_;
};

class TScreen : public TObject {
 public:
  // Size of the primary display in pixels.
  int Width() const;
  int Height() const;
  // Bounds of every display in screen pixels, the primary one first.
  std::vector<TRect> MonitorBounds() const;
  // The bounds of all displays together (the virtual desktop).
  TRect DesktopBounds() const;
};

// Null until InitializeToolkit.
extern TApplication* Application;
extern TScreen* Screen;

// What the command line asks for. With an exit code, the program prints
// Message (to standard output for 0, else to standard error) and ends.
struct TCommandLine {
  std::optional<int> ExitCode;
  // For standard output when the exit code is 0, else for standard error; a
  // warning for standard error where the program goes on.
  std::string Message;
  std::string PictureFile;  // absolute; empty when none was given
};
// Reads "[options] [FILE]" without a display, so that --help and --version
// answer anywhere; usage errors exit with 2. The platform's own options
// (-platform, -style, ...) are let through for StartToolkit.
TCommandLine ParseCommandLine(int argc, const char* const* argv);
// Makes the platform's application object from the command line (which it
// may take options from), then runs InitializeToolkit. Once per process.
void StartToolkit(int& argc, char** argv);
// Makes Application and Screen, substitutes the Japanese Gothic for
// "ＭＳ Ｐゴシック" at 12 px, installs the Japanese Qt translations and the
// text renderer. Idempotent.
void InitializeToolkit();
// Frees Application and Screen (after the windows are gone), and the
// application object StartToolkit made.
void FinalizeToolkit();

// ---- Controls ----

enum TAlign { alNone, alClient };
using TAnchors = unsigned;
constexpr TAnchors akLeft = 1, akTop = 2, akRight = 4, akBottom = 8;
enum TAlignment { taLeftJustify, taRightJustify, taCenter };

class TControl : public TObject {
 public:
  ~TControl() override;
  // In screen pixels, except for images measured in device pixels.
  virtual int Left() const;
  virtual int Top() const;
  virtual int Width() const;
  virtual int Height() const;
  void SetLeft(int v);
  void SetTop(int v);
  void SetWidth(int v);
  void SetHeight(int v);
  virtual void SetBounds(int left, int top, int width, int height);
  bool Visible() const { return visible_; }
  void SetVisible(bool v);
  TAlign Align() const { return align_; }
  void SetAlign(TAlign a);
  TAnchors Anchors() const { return anchors_; }
  // Right and bottom anchors keep the distances the control has now.
  void SetAnchors(TAnchors a);
  TForm* Owner() const { return owner_; }
  QWidget* Widget() const { return widget_; }

 protected:
  TControl(TForm* owner, QWidget* widget);
  // Called after the control's size changed.
  virtual void Resized() {}

 private:
  friend class TForm;
  TForm* owner_;
  QWidget* widget_;
  bool visible_ = true;
  TAlign align_ = alNone;
  TAnchors anchors_ = akLeft | akTop;
  int marginRight_ = 0, marginBottom_ = 0;  // kept by right/bottom anchors
};

class TPicture : public TObject {
 public:
  ~TPicture() override;
  // Makes the picture hold a bitmap (an empty one in place of any other
  // graphic, or of none) and returns it.
  TBitmap* Bitmap();
  bool HasGraphic() const { return bitmap_ != nullptr || holdsOther_; }
  bool HoldsBitmap() const { return bitmap_ != nullptr; }
  // The picture holds a graphic that is not a bitmap (an icon, say), so its
  // canvas cannot be had.
  void AssignNonBitmapGraphic();

 private:
  friend class TImage;
  friend class ImageWidget;
  std::unique_ptr<TBitmap> bitmap_;
  bool holdsOther_ = false;
  std::function<void(TBitmap*)> onBitmapMade_;
};

class TImage : public TControl {
 public:
  explicit TImage(TForm* owner);
  ~TImage() override;
  TPicture* Picture() { return &picture_; }
  // The canvas of the picture's bitmap, made on demand at the control's size
  // (white, 32-bit); "ビットマップを持っている時のみイメージの変更が可能です"
  // when the picture holds another kind of graphic.
  TCanvas* Canvas();
  // Pixels equal to the bitmap's transparent colour (or, without one, to its
  // bottom-left pixel) are not drawn, so what lies below shows through.
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool t);
  // A surface painted on measures itself in the screen's device pixels: its
  // bounds, the bitmap Canvas makes and the mouse positions are device
  // pixels, and the bitmap is shown one pixel to one screen pixel, unscaled
  // at any scale factor. Other images count in screen pixels and are scaled
  // by the platform.
  bool DevicePixels() const { return devicePixels_; }
  void SetDevicePixels(bool d);
  double DeviceRatio() const;  // device pixels per screen pixel; 1 unless in device pixels
  int Left() const override;
  int Top() const override;
  int Width() const override;
  int Height() const override;
  void SetBounds(int left, int top, int width, int height) override;
  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;

 private:
  friend class ImageWidget;
  void AttachBitmap(TBitmap* bitmap);
  static void BitmapChanged(void* self);
  void FlushDirty();
  TPicture picture_;
  bool transparent_ = false;
  bool devicePixels_ = false;
  bool flushQueued_ = false;
};

// Makes the image control and its bitmap width x height with the canvas brush
// white, so that any area the resize adds comes out white; the brush is left
// white. Callers that paint in a colour set their brush back afterwards.
void ResizeImageWhite(TImage* image, int width, int height);

class TScrollBar : public TControl {
 public:
  explicit TScrollBar(TForm* owner);
  int Min() const;
  int Max() const;
  void SetMin(int v);
  void SetMax(int v);
  int Position() const;
  // Clamped to Min..Max; OnChange runs only when the position really changes
  // (also while the user drags the thumb).
  void SetPosition(int p);
  void SetPageSize(int v);
  void SetSmallChange(int v);
  void SetLargeChange(int v);
  TNotifyEvent OnChange;
};

class TSpeedButton : public TControl {
 public:
  explicit TSpeedButton(TForm* owner);
  std::string Caption() const;
  void SetCaption(const std::string& c);
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int g);
  bool Down() const;
  // Putting one button of a group down releases the others; a user click on
  // the button already down leaves it down. Only grouped buttons latch, and a
  // group always keeps one button down: SetDown(false) on it is ignored.
  void SetDown(bool d);
  void SetFlat(bool f);
  TNotifyEvent OnClick;

 private:
  int groupIndex_ = 0;
};

class TCheckBox : public TControl {
 public:
  explicit TCheckBox(TForm* owner);
  std::string Caption() const;
  void SetCaption(const std::string& c);
  bool Checked() const;
  void SetChecked(bool c);  // from code: runs no OnClick
  void SetTabOrder(int order);
  TNotifyEvent OnClick;  // a user click toggles, then raises this
};

class TLabel : public TControl {
 public:
  explicit TLabel(TForm* owner);
  std::string Caption() const;
  void SetCaption(const std::string& c);
  void SetAlignment(TAlignment a);
  void SetFontColor(TColor c);

 protected:
  void Resized() override;

 private:
  void PlaceText();
  TAlignment alignment_ = taLeftJustify;
};

// ---- Timer ----

// Raises OnTimer every Interval milliseconds while enabled, from the event
// loop (also from ProcessMessages).
class TTimer : public TObject {
 public:
  TTimer();
  ~TTimer() override;
  int Interval() const { return interval_; }
  void SetInterval(int milliseconds);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool e);
  TNotifyEvent OnTimer;

 private:
  void Restart();
  int interval_ = 1000;
  bool enabled_ = true;
  QTimer* timer_;
};

// ---- Menus ----

class TMenuItem : public TObject {
 public:
  explicit TMenuItem(TForm* owner);
  ~TMenuItem() override;
  std::string Caption() const { return caption_; }
  void SetCaption(const std::string& c);  // "&" marks the accelerator
  bool Visible() const { return visible_; }
  void SetVisible(bool v);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool e);
  bool Checked() const { return checked_; }
  void SetChecked(bool c);
  // Keys that choose the item while its window is active ("Ctrl+Z",
  // "Ctrl+Shift+Z"); the first is shown beside the caption. A disabled item
  // takes none.
  void SetShortCuts(const std::vector<std::string>& keys);
  void Add(TMenuItem* child);
  int Count() const { return static_cast<int>(children_.size()); }
  TMenuItem* Item(int i) const { return children_[static_cast<std::size_t>(i)]; }
  // For an item with a submenu the click arrives just before the submenu opens.
  TNotifyEvent OnClick;
  // Runs OnClick as a user's choice would (guarded).
  void Click();
  QAction* Action() const { return action_; }
  QMenu* Menu() const { return menu_; }

 private:
  friend class TMainMenu;
  void EnsureMenu();
  TForm* owner_;
  std::string caption_;
  bool visible_ = true, enabled_ = true, checked_ = false;
  std::vector<TMenuItem*> children_;
  QAction* action_ = nullptr;
  QMenu* menu_ = nullptr;
};

class TMainMenu : public TObject {
 public:
  explicit TMainMenu(TForm* owner);
  // Top-level menus, in menu bar order.
  void Add(TMenuItem* item);
  int Count() const { return static_cast<int>(items_.size()); }
  TMenuItem* Item(int i) const { return items_[static_cast<std::size_t>(i)]; }

 private:
  TForm* owner_;
  std::vector<TMenuItem*> items_;
};

// ---- List view (large icons) ----

class TImageList : public TObject {
 public:
  TImageList(TForm* owner, int width, int height);
  // Copies the bitmap (so it may be freed at once) and returns its index.
  int Add(TBitmap* image, TBitmap* mask = nullptr);
  int Count() const { return static_cast<int>(images_.size()); }
  const TBitmap& Image(int i) const { return *images_[static_cast<std::size_t>(i)]; }
  int Width() const { return width_; }
  int Height() const { return height_; }

 private:
  int width_, height_;
  std::vector<std::unique_ptr<TBitmap>> images_;
};

class TListView;

class TListItem : public TObject {
 public:
  std::string Caption() const;
  void SetCaption(const std::string& c);
  int ImageIndex() const { return imageIndex_; }
  void SetImageIndex(int i);
  int Index() const { return index_; }
  bool Selected() const;
  void SetSelected(bool s);

 private:
  friend class TListItems;
  friend class TListView;
  TListView* view_ = nullptr;
  int index_ = 0;
  int imageIndex_ = -1;
};

class TListItems : public TObject {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  TListItem* Item(int i) const { return items_[static_cast<std::size_t>(i)].get(); }
  TListItem* Add();  // appended at the end

 private:
  friend class TListView;
  TListView* view_ = nullptr;
  std::vector<std::unique_ptr<TListItem>> items_;
};

using TLVSelectItemEvent = std::function<void(TObject* Sender, TListItem* Item, bool Selected)>;

// Large-icon view with single selection; captions can be edited in place.
class TListView : public TControl {
 public:
  explicit TListView(TForm* owner);
  ~TListView() override;
  TListItems* Items() { return &items_; }
  void SetLargeImages(TImageList* images);
  TListItem* Selected() const;
  TMouseEvent OnMouseDown;
  // Raised for the item losing the selection and for the item gaining it.
  TLVSelectItemEvent OnSelectItem;

 private:
  friend class TListItem;
  friend class TListItems;
  TListItems items_;
  TImageList* images_ = nullptr;
};

// ---- Dialogs ----

constexpr int mrCancel = 2;
constexpr int mrYes = 6;
constexpr int mrNo = 7;
// The confirmation box: caption "確認", question icon, "はい(&Y)" (default)
// and "いいえ(&N)". Only the two buttons answer: Escape and the close box do
// nothing, unless the question may be put off (`dismissable`), when they
// close it with mrCancel. An end of the program while it is open gives mrCancel.
int ConfirmationBox(const std::string& text, bool dismissable = false);

// The open and save picture dialogs: one filter, no default extension, the
// last chosen name offered again, no overwrite question.
class TOpenPictureDialog : public TObject {
 public:
  explicit TOpenPictureDialog(TForm* owner);
  std::string Filter() const { return filter_; }
  void SetFilter(const std::string& f) { filter_ = f; }  // "Name (*.bmp)|*.bmp"
  const std::string& FileName() const { return fileName_; }
  void SetFileName(const std::string& f) { fileName_ = f; }
  bool Execute();  // true when the user chose a file

 protected:
  bool save_ = false;

 private:
  TForm* owner_;
  std::string filter_;
  std::string fileName_;
};

class TSavePictureDialog : public TOpenPictureDialog {
 public:
  explicit TSavePictureDialog(TForm* owner);
};

class TColorDialog : public TObject {
 public:
  explicit TColorDialog(TForm* owner);
  TColor Color() const { return color_; }
  void SetColor(TColor c) { color_ = c; }
  // "ColorA=FFFFFF" .. "ColorP=FFFFFF": the 16 custom colour boxes (BBGGRR hex).
  std::vector<std::string>& CustomColors() { return customColors_; }
  bool Execute();  // true when the user confirmed a colour

 private:
  TForm* owner_;
  TColor color_ = clBlack;
  std::vector<std::string> customColors_;
};

// ---- Forms ----

enum TFormBorderStyle { bsSizeable, bsSingle, bsDialog };
enum TFormStyle { fsNormal, fsStayOnTop };
enum TPosition { poDesigned, poScreenCenter };

struct TSizeConstraints {
  int MinWidth = 0, MinHeight = 0, MaxWidth = 0, MaxHeight = 0;  // 0: no limit
};

class TForm : public TObject {
 public:
  TForm();
  ~TForm() override;
  TForm(const TForm&) = delete;
  TForm& operator=(const TForm&) = delete;

  std::string Caption() const;
  void SetCaption(const std::string& c);
  // Outer bounds in screen pixels, frame and caption included. Setting a size
  // from code changes it at once and runs OnResize before returning.
  int Left() const;
  int Top() const;
  int Width() const;
  int Height() const;
  void SetLeft(int v);
  void SetTop(int v);
  void SetWidth(int v);
  void SetHeight(int v);
  // Drawable inner size: without border, caption and menu bar.
  int ClientWidth() const;
  int ClientHeight() const;
  void SetClientWidth(int v);
  void SetClientHeight(int v);
  // Both at once: one resize, one OnResize.
  void SetClientSize(int width, int height);
  bool Visible() const;
  void SetVisible(bool v);  // showing runs OnShow
  void Show();              // visible and brought to the front
  // Runs OnClose (an error there keeps the form open), then hides the form;
  // closing the main form ends the program instead.
  void Close();
  void SetBorderStyle(TFormBorderStyle b);
  void SetFormStyle(TFormStyle s);
  void SetPosition(TPosition p);
  void SetConstraints(const TSizeConstraints& c);
  const TSizeConstraints& Constraints() const { return constraints_; }
  void SetMenu(TMainMenu* menu);
  // Lets a file manager drop files on the window: a drag of exactly one local
  // file is taken (as a copy, never a move), anything else refused; OnDropFile
  // runs once the drop is over, so that the dragging program is not held.
  void SetAcceptFiles(bool accept);
  void SetDoubleBuffered(bool d) { doubleBuffered_ = d; }
  bool DoubleBuffered() const { return doubleBuffered_; }
  QWidget* Widget() const;        // the top-level window
  QWidget* ClientWidget() const;  // parent of the controls

  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TCloseEvent OnClose;
  TNotifyEvent OnResize;
  TNotifyEvent OnDestroy;
  TDropFileEvent OnDropFile;

  // Run by TApplication::CreateForm and by the window set's destruction.
  void DoCreate();
  void DoDestroy();

  // Components are owned by their form.
  template <class T>
  T* Own(T* component) {
    components_.emplace_back(component);
    return component;
  }

 private:
  friend class FormWidget;
  friend class TControl;
  friend class TMainMenu;
  void ClientResized();  // lays out aligned/anchored controls, then OnResize
  void ResizeWindow(const QSize& size);
  void PlaceFrame(int left, int top);
  void RefitWhenFrameArrives(int triesLeft);
  void RegisterControl(TControl* c) { controls_.push_back(c); }
  void UnregisterControl(TControl* c);
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::vector<std::unique_ptr<TObject>> components_;
  std::vector<TControl*> controls_;
  TSizeConstraints constraints_;
  bool doubleBuffered_ = false;
  int lastClientWidth_ = -1, lastClientHeight_ = -1;
};
