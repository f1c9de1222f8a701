// The Edit menu: each step of the canvas undone and redone to the pixel, the
// items enabled as the history changes, and the keys that choose them.
#include <QApplication>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "brush/brush_window.h"
#include "core/environment_number.h"
#include "support/picture_test_util.h"
#include "support/window_set_fixture.h"

namespace {

class EditTest : public WindowSetTest {
 public:
  TBitmap& Canvas() { return *Form1->Image1->Picture()->Bitmap(); }
  // A canvas whose every pixel differs from its neighbours, as the start.
  void PaintPattern() {
    TBitmap& b = Canvas();
    for (int y = 0; y < b.Height(); ++y)
      for (int x = 0; x < b.Width(); ++x) b.Canvas()->SetPixel(x, y, (x * 5 + y * 257) & 0xFFFFFF);
    Form1->History->Clear();
    Form1->Modified = false;
  }
  void Press(int x, int y) { Form1->Image2MouseDown(Form1->Image2, mbLeft, ssLeft, x, y); }
  void Move(int x, int y) { Form1->Image2MouseMove(Form1->Image2, ssLeft, x, y); }
  void Release(int x, int y) { Form1->Image2MouseUp(Form1->Image2, mbLeft, 0, x, y); }
  void Click(int x, int y) {
    Press(x, y);
    Release(x, y);
  }
  std::string PathOf(const std::string& name) { return (Folder() / name).string(); }
  void WritePicture(const std::string& name, int width, int height, int depth) {
    TBitmap picture;
    TPixelFormat format;
    format.depth = depth;
    if (depth == 8) format.colorTable = {clBlack, clWhite, clRed, clBlue, 0x00FF00};
    picture.Assign(width, height, format,
                   std::vector<std::uint32_t>(static_cast<std::size_t>(width) * height, ColorToWord(clBlue)),
                   {});
    picture.Canvas()->Brush->SetColor(clRed);
    picture.Canvas()->FillRect(Rect(2, 2, width - 2, height - 2));
    picture.SaveToFile(PathOf(name));
  }
  void Open(const std::string& name) {
    Testing::AnswerFileDialog(PathOf(name));
    Form1->N3->Click();
  }
};

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct Scenario {
  const char* name;
  std::function<void(EditTest&)> prepare;  // before the step, not part of it
  std::function<void(EditTest&)> step;
};

void Nothing(EditTest&) {}

// Each step undone gives the picture before it, redone the picture after it:
// size, pixel depth, colour table and every pixel.
TEST_F(EditTest, EachStepIsUndoneAndRedoneExactly) {
  Form2->ScrollBar1->SetPosition(9);
  const std::vector<Scenario> scenarios = {
      {"dot", Nothing, [](EditTest& t) { t.Click(30, 30); }},
      {"stroke", Nothing,
       [](EditTest& t) {
         t.Press(10, 300);
         for (int x = 10; x <= 590; x += 7) t.Move(x, 300 - x / 3);
         t.Release(590, 100);
       }},
      {"square dots with one-stroke joins",
       [](EditTest& t) {
         Form2->SpeedButton2->SetDown(true);
         Form2->CheckBox2->SetChecked(true);
         t.Click(100, 100);
       },
       [](EditTest& t) { t.Click(400, 350); }},
      {"New", [](EditTest& t) { t.Click(50, 50); },
       [](EditTest&) {
         Testing::AnswerConfirmation(false);
         Form1->N2->Click();
       }},
      {"Open of a smaller picture", [](EditTest& t) { t.WritePicture("small.bmp", 40, 30, 32); },
       [](EditTest& t) { t.Open("small.bmp"); }},
      {"Open of a larger 8-bit picture", [](EditTest& t) { t.WritePicture("large.bmp", 900, 700, 8); },
       [](EditTest& t) { t.Open("large.bmp"); }},
      {"resize that cuts", Nothing, [](EditTest&) { Form1->SetClientWidth(300); }},
      {"resize that pads", Nothing, [](EditTest&) { Form1->SetClientHeight(500); }},
  };
  for (const Scenario& s : scenarios) {
    SCOPED_TRACE(s.name);
    PaintPattern();
    s.prepare(*this);
    Form1->History->Clear();
    const TBitmapContents before = PictureSnapshot(Canvas());
    s.step(*this);
    const TBitmapContents after = PictureSnapshot(Canvas());
    Form1->Modified = false;
    ASSERT_TRUE(Form1->U1->Enabled());
    Form1->U1->Click();
    ExpectSamePicture(Canvas(), before, "undone");
    EXPECT_TRUE(Form1->Modified);
    EXPECT_FALSE(Form1->U1->Enabled());
    Form1->Modified = false;
    Form1->R1->Click();
    ExpectSamePicture(Canvas(), after, "redone");
    EXPECT_TRUE(Form1->Modified);
    // Back to the window set's start for the next case.
    Form2->SpeedButton1->SetDown(true);
    Form2->CheckBox2->SetChecked(false);
    LastX = LastY = -1;
    Form1->SetClientWidth(600);
    Form1->SetClientHeight(400);
  }
  EXPECT_TRUE(Testing::ShownErrors().empty());
}

// The drag arrives as Qt's own mouse events on the overlay, and a move
// already queued at the press runs nested inside it: all one step.
TEST_F(EditTest, PressToReleaseThroughQtEventsIsOneStep) {
  PaintPattern();
  const TBitmapContents before = PictureSnapshot(Canvas());
  QWidget* overlay = Form1->Image2->Widget();
  const QPointF queued(60, 40);
  QCoreApplication::postEvent(
      overlay, new QMouseEvent(QEvent::MouseMove, queued, overlay->mapToGlobal(queued), Qt::NoButton,
                               Qt::LeftButton, Qt::NoModifier));
  QTest::mousePress(overlay, Qt::LeftButton, {}, QPoint(20, 20));
  for (int i = 1; i <= 10; ++i) QTest::mouseMove(overlay, QPoint(60 + i * 20, 40 + i * 15));
  QTest::mouseRelease(overlay, Qt::LeftButton, {}, QPoint(260, 190));
  const TBitmapContents after = PictureSnapshot(Canvas());
  EXPECT_EQ(Form1->History->UndoCount(), 1);
  Form1->U1->Click();
  ExpectSamePicture(Canvas(), before, "drag undone");
  Form1->R1->Click();
  ExpectSamePicture(Canvas(), after, "drag redone");
}

TEST_F(EditTest, ItemsAreEnabledExactlyWhenThereIsAStep) {
  const auto expectItems = [](bool undo, bool redo, const char* when) {
    EXPECT_EQ(Form1->U1->Enabled(), undo) << when;
    EXPECT_EQ(Form1->R1->Enabled(), redo) << when;
  };
  expectItems(false, false, "at start");
  Click(10, 10);
  expectItems(true, false, "after a dot");
  Form1->U1->Click();
  expectItems(false, true, "after undo");
  Form1->Image1MouseDown(Form1->Image1, mbRight, ssRight, 300, 300);  // a colour pick changes nothing
  Form1->Image1MouseUp(Form1->Image1, mbRight, 0, 300, 300);
  expectItems(false, true, "after a colour pick");
  Form1->CurrentColor = clBlack;  // the pick took white
  Form1->R1->Click();
  expectItems(true, false, "after redo");
  Form1->U1->Click();
  Click(20, 20);
  expectItems(true, false, "after a new dot, which ends the redo list");
  Form1->History->SetBudget(0);
  expectItems(false, false, "with no memory for steps");
  Click(30, 30);
  expectItems(false, false, "after a dot that cannot be kept");
}

TEST_F(EditTest, KeysChooseUndoAndRedo) {
  QWidget* window = Form1->Widget();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  PaintPattern();
  const TBitmapContents before = PictureSnapshot(Canvas());
  Click(40, 40);
  const TBitmapContents after = PictureSnapshot(Canvas());
  QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
  ExpectSamePicture(Canvas(), before, "Ctrl+Z");
  QTest::keyClick(window, Qt::Key_Y, Qt::ControlModifier);
  ExpectSamePicture(Canvas(), after, "Ctrl+Y");
  QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
  QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  ExpectSamePicture(Canvas(), after, "Ctrl+Shift+Z");
}

// Saving after undoing a stroke on an 8-bit picture writes the file as it was
// opened, byte for byte.
TEST_F(EditTest, EightBitPictureUndoneSavesTheOpenedBytes) {
  WritePicture("eight.bmp", 600, 400, 8);
  Open("eight.bmp");
  Form1->CurrentColor = 0x123456;
  Press(100, 100);
  Move(500, 300);
  Release(500, 300);
  Form1->U1->Click();
  Testing::AnswerFileDialog(PathOf("again.bmp"));
  Form1->N4->Click();
  EXPECT_EQ(FileBytes(PathOf("again.bmp")), FileBytes(PathOf("eight.bmp")));
}

// The budget is held to the machine's memory (reading the number is the
// environment helper's, tested with it).
TEST(UndoMemory, IsHeldToTheMachinesMemory) {
  ::setenv("DAUBIX_UNDO_MEMORY_MB", "99999999999", 1);
  EXPECT_EQ(HistoryBudget(), PhysicalMemoryBytes() >> 20 << 20);
  ::unsetenv("DAUBIX_UNDO_MEMORY_MB");
}

}  // namespace
