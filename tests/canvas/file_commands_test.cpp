// File > New, Open, Save and Quit, with the save question answered through
// the dialog seam.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/startup.h"
#include "core/bitmap_file.h"
#include "support/picture_test_util.h"
#include "support/watchdog.h"
#include "support/window_set_fixture.h"

namespace {

const char kQuestion[] = "ファイルに保存しますか？";

std::vector<std::string> Blank(int width, int height) {
  return std::vector<std::string>(static_cast<std::size_t>(height),
                                  std::string(static_cast<std::size_t>(width), '.'));
}

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class FileCommandsTest : public WindowSetTest {
 protected:
  void SetUp() override {
    WindowSetTest::SetUp();
    CountResizes();
  }
  // Counts the canvas resizes, to see the nudges of Open (or their absence).
  void CountResizes() {
    resizes_ = 0;
    TNotifyEvent resize = Form1->OnResize;
    Form1->OnResize = [this, resize](TObject* sender) {
      ++resizes_;
      resize(sender);
    };
  }
  void TearDown() override {
    FileIoTesting::FailWritesAfter(std::nullopt);
    EXPECT_EQ(Testing::PendingAnswers(), 0);
    WindowSetTest::TearDown();
  }

  TBitmap& Canvas() { return *Form1->Image1->Picture()->Bitmap(); }
  int ClientWidth() { return Form1->ClientWidth(); }
  int ClientHeight() { return Form1->ClientHeight(); }
  std::string PathOf(const std::string& name) { return (Folder() / name).string(); }

  // A mark in the canvas's top-left corner, and Modified as a press sets it.
  void Paint() {
    Form1->Image1->Canvas()->SetPixel(1, 1, clRed);
    Form1->Modified = true;
  }
  void ExpectMarked() { ExpectPicture(Canvas(), 0, 0, {"...", ".r.", "..."}); }
  void ExpectWhiteCanvas() {
    ASSERT_EQ(Canvas().Width(), ClientWidth());
    ASSERT_EQ(Canvas().Height(), ClientHeight());
    ExpectPicture(Canvas(), Blank(ClientWidth(), ClientHeight()));
  }
  // The file holds the marked canvas at client size.
  void ExpectSavedMark(const std::string& path) {
    TBitmap saved;
    saved.LoadFromFile(path);
    EXPECT_EQ(saved.Width(), ClientWidth());
    EXPECT_EQ(saved.Height(), ClientHeight());
    ExpectPicture(saved, 0, 0, {"...", ".r.", "..."});
  }
  void WritePicture(const std::string& path, const std::vector<std::string>& rows) {
    BitmapFromPicture(rows)->SaveToFile(path);
  }
  std::vector<std::string> Asked() { return Testing::AskedQuestions(); }
  std::vector<std::string> Errors() { return Testing::ShownErrors(); }

  int resizes_ = 0;
};

using Questions = std::vector<std::string>;

// ---- The Modified table ----

TEST_F(FileCommandsTest, NewWhenUnmodifiedAsksNothingAndWhitensTheCanvas) {
  Form1->Image1->Canvas()->SetPixel(1, 1, clRed);
  Form1->CurrentColor = clBlue;
  Form1->N2->Click();
  EXPECT_TRUE(Asked().empty());
  EXPECT_FALSE(Form1->Modified);
  ExpectWhiteCanvas();
  EXPECT_EQ(Form1->Image1->Canvas()->Brush->Color(), clBlue);
  EXPECT_EQ(resizes_, 0);
}

TEST_F(FileCommandsTest, NewAnsweredNoClearsModifiedWithoutWriting) {
  Paint();
  Testing::AnswerConfirmation(false);
  Form1->N2->Click();
  EXPECT_EQ(Asked(), Questions{kQuestion});
  EXPECT_FALSE(Form1->Modified);
  ExpectWhiteCanvas();
  EXPECT_TRUE(std::filesystem::is_empty(Folder()));
}

TEST_F(FileCommandsTest, NewWithSaveDialogCancelledStillClearsModified) {
  Paint();
  Testing::AnswerConfirmation(true);
  Testing::AnswerFileDialog(std::nullopt);
  Form1->N2->Click();
  EXPECT_FALSE(Form1->Modified);
  ExpectWhiteCanvas();
  EXPECT_TRUE(std::filesystem::is_empty(Folder()));
}

TEST_F(FileCommandsTest, NewSavesThePictureBeforeWhitening) {
  Paint();
  Testing::AnswerConfirmation(true);
  Testing::AnswerFileDialog(PathOf("a.bmp"));
  Form1->N2->Click();
  EXPECT_TRUE(Errors().empty());
  EXPECT_FALSE(Form1->Modified);
  ExpectSavedMark(PathOf("a.bmp"));
  ExpectWhiteCanvas();
}

TEST_F(FileCommandsTest, OpenAnsweredNoThenCancelledKeepsEverything) {
  Paint();
  Testing::AnswerConfirmation(false);
  Testing::AnswerFileDialog(std::nullopt);  // the open dialog
  Form1->N3->Click();
  EXPECT_EQ(Asked(), Questions{kQuestion});
  EXPECT_TRUE(Form1->Modified);
  ExpectMarked();
  EXPECT_EQ(resizes_, 0);
  // The next New asks again.
  Testing::AnswerConfirmation(false);
  Form1->N2->Click();
  EXPECT_EQ(Asked().size(), 2u);
}

TEST_F(FileCommandsTest, OpenWithBothDialogsCancelledKeepsModified) {
  Paint();
  Testing::AnswerConfirmation(true);
  Testing::AnswerFileDialog(std::nullopt);  // save
  Testing::AnswerFileDialog(std::nullopt);  // open
  Form1->N3->Click();
  EXPECT_TRUE(Form1->Modified);
  ExpectMarked();
  EXPECT_TRUE(std::filesystem::is_empty(Folder()));
}

TEST_F(FileCommandsTest, OpenSavedThenCancelledClearsModified) {
  Paint();
  Testing::AnswerConfirmation(true);
  Testing::AnswerFileDialog(PathOf("saved.bmp"));
  Testing::AnswerFileDialog(std::nullopt);
  Form1->N3->Click();
  EXPECT_FALSE(Form1->Modified);
  ExpectSavedMark(PathOf("saved.bmp"));
  ExpectMarked();  // the open was cancelled: canvas untouched
  EXPECT_EQ(resizes_, 0);
}

TEST_F(FileCommandsTest, OpeningAFileClearsModifiedWhateverTheAnswer) {
  WritePicture(PathOf("p.bmp"), {"rb", "b."});
  for (bool answer : {false, true}) {
    Paint();
    Testing::AnswerConfirmation(answer);
    if (answer) Testing::AnswerFileDialog(std::nullopt);  // save cancelled
    Testing::AnswerFileDialog(PathOf("p.bmp"));
    Form1->N3->Click();
    EXPECT_FALSE(Form1->Modified) << answer;
    ExpectPicture(Canvas(), 0, 0, {"rb.", "b..", "..."});
  }
  // Unmodified: no question at all.
  Form1->Image1->Canvas()->SetPixel(1, 1, clRed);
  Testing::AnswerFileDialog(PathOf("p.bmp"));
  Form1->N3->Click();
  EXPECT_EQ(Asked().size(), 2u);
  ExpectPicture(Canvas(), 0, 0, {"rb.", "b..", "..."});
  EXPECT_TRUE(Errors().empty());
}

TEST_F(FileCommandsTest, SaveLeavesModifiedAsItWas) {
  for (bool modified : {false, true}) {
    Form1->Image1->Canvas()->SetPixel(1, 1, clRed);
    Form1->Modified = modified;
    Testing::AnswerFileDialog(PathOf("s.bmp"));
    Form1->N4->Click();
    EXPECT_EQ(Form1->Modified, modified);
    ExpectSavedMark(PathOf("s.bmp"));
    Testing::AnswerFileDialog(std::nullopt);
    Form1->N4->Click();
    EXPECT_EQ(Form1->Modified, modified);
  }
  EXPECT_TRUE(Asked().empty());
  EXPECT_TRUE(Errors().empty());
}

TEST_F(FileCommandsTest, SaveThenQuitStillAsksAndClearsModified) {
  Paint();
  Testing::AnswerFileDialog(PathOf("s.bmp"));
  Form1->N4->Click();
  Testing::AnswerConfirmation(false);
  Form1->N5->Click();
  EXPECT_EQ(Asked(), Questions{kQuestion});
  EXPECT_FALSE(Form1->Modified);
  EXPECT_TRUE(Application->Terminated());
}

TEST_F(FileCommandsTest, CloseWithYesWritesThePictureThenTheLayout) {
  Paint();
  Testing::AnswerConfirmation(true);
  Testing::AnswerFileDialog(PathOf("at close.bmp"));
  Form1->Close();
  EXPECT_FALSE(Form1->Modified);
  ExpectSavedMark(PathOf("at close.bmp"));
  EXPECT_TRUE(std::filesystem::exists(LayoutFilePath()));
  EXPECT_TRUE(Application->Terminated());
}

TEST_F(FileCommandsTest, CloseUnmodifiedAsksNothing) {
  Form1->N5->Click();
  EXPECT_TRUE(Asked().empty());
  EXPECT_TRUE(Application->Terminated());
  EXPECT_TRUE(std::filesystem::exists(LayoutFilePath()));
}

// ---- Writing fails ----

TEST_F(FileCommandsTest, FailedSaveAtNewKeepsCanvasAndModified) {
  Paint();
  Testing::AnswerConfirmation(true);
  Testing::AnswerFileDialog(PathOf("no folder/a.bmp"));
  Form1->N2->Click();
  ASSERT_EQ(Errors().size(), 1u);
  EXPECT_EQ(Errors()[0],
            "ファイル \"" + PathOf("no folder/a.bmp") + "\". No such file or directory を作成できません.");
  EXPECT_TRUE(Form1->Modified);
  ExpectMarked();
}

TEST_F(FileCommandsTest, FailedSaveAtOpenShowsNoOpenDialog) {
  Paint();
  Testing::AnswerConfirmation(true);
  Testing::AnswerFileDialog(Folder().string());  // a folder cannot be written as a picture
  Form1->N3->Click();
  EXPECT_EQ(Errors().size(), 1u);
  EXPECT_TRUE(Form1->Modified);
  ExpectMarked();
  EXPECT_EQ(resizes_, 0);
}

TEST_F(FileCommandsTest, FailedSaveCommandChangesNothing) {
  Paint();
  WritePicture(PathOf("old.bmp"), {"b"});
  const std::string before = ReadBytes(PathOf("old.bmp"));
  FileIoTesting::FailWritesAfter(100);  // the disk fills up mid-file
  Testing::AnswerFileDialog(PathOf("old.bmp"));
  Form1->N4->Click();
  ASSERT_EQ(Errors().size(), 1u);
  EXPECT_EQ(Errors()[0], "ストリームへの書き込みエラー.");
  EXPECT_TRUE(Form1->Modified);
  EXPECT_EQ(ReadBytes(PathOf("old.bmp")), before);
}

TEST_F(FileCommandsTest, FailedSaveAtCloseKeepsTheWindowOpen) {
  Paint();
  Testing::AnswerConfirmation(true);
  Testing::AnswerFileDialog(PathOf("no folder/a.bmp"));
  Form1->N5->Click();
  EXPECT_EQ(Errors().size(), 1u);
  EXPECT_TRUE(Form1->Modified);
  EXPECT_TRUE(Form1->Visible());
  EXPECT_FALSE(Application->Terminated());
  EXPECT_FALSE(std::filesystem::exists(LayoutFilePath()));
  // The user tries again and the close goes through.
  Testing::AnswerConfirmation(true);
  Testing::AnswerFileDialog(PathOf("a.bmp"));
  Form1->N5->Click();
  EXPECT_EQ(Errors().size(), 1u);
  EXPECT_TRUE(Application->Terminated());
  ExpectSavedMark(PathOf("a.bmp"));
}

// ---- Reading fails ----

TEST_F(FileCommandsTest, ReadFailuresLeaveCanvasWindowAndModified) {
  std::filesystem::create_directory(PathOf("folder.bmp"));
  std::ofstream(PathOf("text.bmp")) << "Plain text, long enough for a file header and more.";
  // An 8-bit picture cut inside its colour table.
  auto indexed = std::make_unique<TBitmap>();
  TPixelFormat format;
  format.depth = 8;
  format.colorTable.assign(256, clWhite);
  indexed->Assign(2, 2, format, std::vector<std::uint32_t>(4, 0xFFFFFFFF), {});
  const std::vector<std::uint8_t> full = WriteBitmapFile(*indexed);
  std::ofstream(PathOf("cut.bmp"), std::ios::binary).write(reinterpret_cast<const char*>(full.data()), 200);
  // A pipe with no writer: opening it used to wait for one for good.
  ASSERT_EQ(::mkfifo(PathOf("pipe.bmp").c_str(), 0644), 0);

  struct Case {
    std::string name, message;
  };
  const Case cases[] = {
      {"folder.bmp", "ファイル \"" + PathOf("folder.bmp") + "\". Is a directory は開けません."},
      {"text.bmp", "ビットマップイメージが不正です."},
      {"cut.bmp", "ストリームからの読み込みエラー."},
      {"pipe.bmp", "ファイル \"" + PathOf("pipe.bmp") + "\". " + std::strerror(ENXIO) + " は開けません."},
  };
  for (const Case& c : cases) {
    for (bool modified : {false, true}) {
      Testing::Reset();
      Form1->Image1->Canvas()->SetPixel(1, 1, clRed);
      Form1->Modified = modified;
      if (modified) Testing::AnswerConfirmation(false);
      Testing::AnswerFileDialog(PathOf(c.name));
      const int width = Form1->Width(), height = Form1->Height();
      {
        Watchdog watchdog("opening " + c.name, std::chrono::seconds(1));
        Form1->N3->Click();
      }
      EXPECT_EQ(Errors(), Questions{c.message}) << c.name;
      EXPECT_EQ(Form1->Modified, modified) << c.name;
      ExpectMarked();
      EXPECT_EQ(Canvas().Width(), ClientWidth());
      EXPECT_EQ(Form1->Width(), width);
      EXPECT_EQ(Form1->Height(), height);
      EXPECT_EQ(resizes_, 0) << c.name;
    }
  }
}

TEST_F(FileCommandsTest, ZeroLengthFileGivesAWhiteCanvas) {
  std::ofstream(PathOf("empty.bmp")).flush();
  Paint();
  Testing::AnswerConfirmation(false);
  Testing::AnswerFileDialog(PathOf("empty.bmp"));
  Form1->N3->Click();
  EXPECT_TRUE(Errors().empty());
  EXPECT_FALSE(Form1->Modified);
  ExpectWhiteCanvas();
  EXPECT_EQ(resizes_, 4);
}

// ---- Open and the size nudges ----

TEST_F(FileCommandsTest, LargerPictureIsCutToTheClientArea) {
  const int w = ClientWidth(), h = ClientHeight();
  const int width = Form1->Width(), height = Form1->Height();
  // Two pixels too wide and too high: a black last row and column that must
  // go, and a blue pixel where the client area's corner falls.
  std::vector<std::string> rows = Blank(w + 2, h + 2);
  rows[0][0] = 'r';
  rows[static_cast<std::size_t>(h - 1)][static_cast<std::size_t>(w - 1)] = 'b';
  for (std::string& row : rows) row[static_cast<std::size_t>(w)] = '#';
  rows[static_cast<std::size_t>(h)] = std::string(static_cast<std::size_t>(w + 2), '#');
  WritePicture(PathOf("large.bmp"), rows);

  Testing::AnswerFileDialog(PathOf("large.bmp"));
  Form1->N3->Click();
  EXPECT_TRUE(Errors().empty());
  EXPECT_EQ(resizes_, 4);
  EXPECT_EQ(Form1->Width(), width);
  EXPECT_EQ(Form1->Height(), height);
  ASSERT_EQ(Canvas().Width(), w);
  ASSERT_EQ(Canvas().Height(), h);
  ExpectPicture(Canvas(), 0, 0, {"r..", "...", "..."});
  ExpectPicture(Canvas(), w - 3, h - 3, {"...", "...", "..b"});

  // What was cut off is gone: enlarging shows white there.
  Form1->SetWidth(width + 2);
  Form1->SetHeight(height + 2);
  ExpectPicture(Canvas(), w - 3, h - 3, {".....", ".....", "..b..", ".....", "....."});
}

TEST_F(FileCommandsTest, SmallerPictureIsPaddedWithWhite) {
  const int w = ClientWidth(), h = ClientHeight();
  WritePicture(PathOf("small.bmp"), {"rb#",  //
                                     "#.b"});
  Testing::AnswerFileDialog(PathOf("small.bmp"));
  Form1->N3->Click();
  EXPECT_TRUE(Errors().empty());
  std::vector<std::string> expected = Blank(w, h);
  expected[0].replace(0, 3, "rb#");
  expected[1].replace(0, 3, "#.b");
  ExpectPicture(Canvas(), expected);
}

// ---- Save names ----

TEST_F(FileCommandsTest, SaveUnderANameWithoutExtensionWritesABitmapThere) {
  Paint();
  WritePicture(PathOf("picture"), {"b"});  // replaced without a question
  Testing::AnswerFileDialog(PathOf("picture"));
  Form1->N4->Click();
  EXPECT_TRUE(Errors().empty());
  EXPECT_FALSE(std::filesystem::exists(PathOf("picture.bmp")));
  EXPECT_EQ(ReadBytes(PathOf("picture")).substr(0, 2), "BM");
  ExpectSavedMark(PathOf("picture"));
}

// ---- Pictures from outside: named on the command line ----

// `daubix FILE`: opened once the canvas window is up, with Open's nudges and
// Open's messages in the error box; the program then runs as usual.
TEST_F(FileCommandsTest, FileNamedAtStartOpensAsOpenDoes) {
  WritePicture(PathOf("start.bmp"), {"rb", "b."});
  std::ofstream(PathOf("text.bmp")) << "Plain text, long enough for a file header and more.";
  struct Case {
    std::string name, error;
    int resizes;
  };
  const Case cases[] = {
      {"start.bmp", "", 4},
      {"text.bmp", "ビットマップイメージが不正です.", 0},
      {"missing.bmp", "ファイル \"" + PathOf("missing.bmp") + "\". No such file or directory は開けません.",
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // A program of its own for each file, as each start is.
    DestroyWindowSet();
    Testing::Reset();
    CreateWindowSet();
    Form1Show();
    CountResizes();
    Form1->Image1->Canvas()->SetPixel(1, 1, clRed);
    // The first thing the running program does is quit.
    QTimer::singleShot(0, [] { Form1->N5->Click(); });
    RunApplication(PathOf(c.name));
    EXPECT_TRUE(Application->Terminated());
    EXPECT_EQ(Errors(), c.error.empty() ? Questions{} : Questions{c.error});
    EXPECT_EQ(resizes_, c.resizes);
    if (c.error.empty())
      ExpectPicture(Canvas(), 0, 0, {"rb.", "b..", "..."});
    else
      ExpectMarked();
    // The open dialog offers the file next, as if it had been chosen there.
    EXPECT_EQ(Form1->OpenPictureDialog1->FileName(), PathOf(c.name));
  }
}

// ---- Pictures from outside: dropped from a file manager ----

// What a file manager's drag carries.
std::unique_ptr<QMimeData> DragOf(const QList<QUrl>& urls, const QString& text = {}) {
  auto mime = std::make_unique<QMimeData>();
  if (!urls.isEmpty()) mime->setUrls(urls);
  if (!text.isEmpty()) mime->setText(text);
  return mime;
}

// A drag entering the canvas over its overlay and dropped there, as Qt
// delivers it; true when the window took the drop.
bool DropOnCanvas(const QMimeData& mime, Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction) {
  QWidget* target = Form1->Image2->Widget();
  const QPoint at(40, 30);
  QDragEnterEvent enter(at, actions, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(at), actions, &mime, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  const bool taken = drop.isAccepted();
  EXPECT_EQ(drop.dropAction(), taken ? Qt::CopyAction : drop.dropAction());
  Application->ProcessMessages();  // the file is opened once the drop is over
  return taken;
}

TEST_F(FileCommandsTest, DroppedPictureOpensAfterTheSaveQuestion) {
  WritePicture(PathOf("dropped.bmp"), {"rb", "b."});
  const auto mime = DragOf({QUrl::fromLocalFile(QString::fromStdString(PathOf("dropped.bmp")))});
  // Painted on: the question first; a yes saves before the picture comes in.
  Paint();
  Testing::AnswerConfirmation(true);
  Testing::AnswerFileDialog(PathOf("saved.bmp"));
  EXPECT_TRUE(DropOnCanvas(*mime));
  EXPECT_EQ(Asked(), Questions{kQuestion});
  ExpectSavedMark(PathOf("saved.bmp"));
  ExpectPicture(Canvas(), 0, 0, {"rb.", "b..", "..."});
  EXPECT_FALSE(Form1->Modified);
  EXPECT_EQ(resizes_, 4);
  // Not painted on: no question, and a copy is all that is asked of the drag.
  Form1->Image1->Canvas()->SetPixel(1, 1, clRed);
  EXPECT_TRUE(DropOnCanvas(*mime, Qt::CopyAction));
  EXPECT_EQ(Asked().size(), 1u);
  ExpectPicture(Canvas(), 0, 0, {"rb.", "b..", "..."});
  EXPECT_TRUE(Errors().empty());
}

TEST_F(FileCommandsTest, DropsOtherThanOneLocalFileAreRefused) {
  WritePicture(PathOf("a.bmp"), {"b"});
  WritePicture(PathOf("b.bmp"), {"b"});
  const QUrl a = QUrl::fromLocalFile(QString::fromStdString(PathOf("a.bmp")));
  const QUrl b = QUrl::fromLocalFile(QString::fromStdString(PathOf("b.bmp")));
  struct Case {
    const char* name;
    std::unique_ptr<QMimeData> mime;
    Qt::DropActions actions;
  };
  Case cases[] = {
      {"text", DragOf({}, QString::fromStdString(PathOf("a.bmp"))), Qt::CopyAction},
      {"two files", DragOf({a, b}), Qt::CopyAction},
      {"a web address", DragOf({QUrl("https://daubix.example.org/a.bmp")}), Qt::CopyAction},
      {"a move only", DragOf({a}), Qt::MoveAction},
  };
  Paint();
  for (const Case& c : cases) {
    EXPECT_FALSE(DropOnCanvas(*c.mime, c.actions)) << c.name;
    EXPECT_TRUE(Asked().empty()) << c.name;
    EXPECT_TRUE(Form1->Modified) << c.name;
    ExpectMarked();
    EXPECT_EQ(resizes_, 0) << c.name;
  }
}

}  // namespace
