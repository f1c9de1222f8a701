// The brush cursor overlay: the outline rule, clearing only what the last
// outline covered, and the overlay passing real mouse events on to the canvas.
#include "canvas/brush_cursor.h"

#include <QPoint>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "brush/brush_window.h"
#include "support/non_white_bounds.h"
#include "support/picture_test_util.h"
#include "support/window_set_fixture.h"

namespace {

class BrushCursorTest : public WindowSetTest {
 protected:
  TBitmap& Overlay() { return *Form1->Image2->Picture()->Bitmap(); }
  TBitmap& Canvas() { return *Form1->Image1->Picture()->Bitmap(); }
  void SetBrush(int size, bool round) {
    Form2->ScrollBar1->SetPosition(size);
    (round ? Form2->SpeedButton1 : Form2->SpeedButton2)->SetDown(true);
  }
  // A pointer move over the overlay with no button held.
  void Hover(int x, int y) { Form1->Image2MouseMove(Form1->Image2, 0, x, y); }
  void TearDown() override {
    QTestPrivate::qtestMouseButtons = Qt::NoButton;  // a failed test may leave one held
    WindowSetTest::TearDown();
  }
};

// Size 10, round: black on the dot's box, silver one pixel inside, with a
// white margin around.
const std::vector<std::string> kRound10 = {"............", "....####....", "..##ssss##..", "..#s....s#..",
                                           ".#s......s#.", ".#s......s#.", ".#s......s#.", ".#s......s#.",
                                           "..#s....s#..", "..##ssss##..", "....####....", "............"};

TEST_F(BrushCursorTest, StartShowsTheRoundOutlineAtTheCanvasCentre) {
  EXPECT_TRUE(Form1->Image2->Visible());
  EXPECT_TRUE(Form1->Image2->Transparent());
  EXPECT_EQ(Overlay().TransparentColor(), clWhite);
  EXPECT_EQ(Overlay().Width(), 600);
  EXPECT_EQ(Overlay().Height(), 400);
  ExpectPicture(Overlay(), 294, 194, kRound10);
  EXPECT_EQ(Describe(NonWhiteBounds(Overlay())), Describe(Rect(295, 195, 305, 205)));
}

TEST_F(BrushCursorTest, OutlineFollowsThePointer) {
  Hover(50, 60);
  ExpectPicture(Overlay(), 44, 54, kRound10);
  EXPECT_EQ(Describe(NonWhiteBounds(Overlay())), Describe(Rect(45, 55, 55, 65)));

  SetBrush(11, false);  // odd sizes give the outline of the size below
  Hover(50, 60);
  ExpectPicture(
      Overlay(), 44, 54,
      {"............", ".##########.", ".#ssssssss#.", ".#s......s#.", ".#s......s#.", ".#s......s#.",
       ".#s......s#.", ".#s......s#.", ".#s......s#.", ".#ssssssss#.", ".##########.", "............"});
  EXPECT_EQ(Describe(NonWhiteBounds(Overlay())), Describe(Rect(45, 55, 55, 65)));
}

TEST_F(BrushCursorTest, SmallSizesDrawWhatTheirRectanglesGive) {
  struct Case {
    int size;
    bool round;
    std::vector<std::string> picture;  // at (48, 58) around (50, 60)
    TRect painted;
  };
  const std::vector<std::string> blank = {"....", "....", "....", "...."};
  const std::vector<std::string> black = {"....", ".##.", ".##.", "...."};
  const TRect twoByTwo = Rect(49, 59, 51, 61);
  const std::vector<Case> cases = {
      // h = 0: the outer box is empty, the inner one inverted to (49,59)-(51,61).
      {1, true, {"....", ".ss.", ".ss.", "...."}, twoByTwo},
      {1, false, blank, TRect{}},  // an inverted frame draws nothing
      // h = 1: a 2-pixel outer box and an empty inner one.
      {2, true, black, twoByTwo},
      {2, false, black, twoByTwo},
      {3, true, black, twoByTwo},
      {3, false, black, twoByTwo},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("size " + std::to_string(c.size) + (c.round ? " round" : " square"));
    SetBrush(c.size, c.round);
    Hover(50, 60);
    ExpectPicture(Overlay(), 48, 58, c.picture);
    EXPECT_EQ(Describe(NonWhiteBounds(Overlay())), Describe(c.painted));
  }
}

TEST_F(BrushCursorTest, OutlineNearAnEdgeIsClipped) {
  Hover(2, 3);  // outer box (-3, -2, 7, 8)
  ExpectPicture(Overlay(), 0, 0,
                {"....s#..", ".....s#.", ".....s#.", ".....s#.", ".....s#.", "....s#..", "ssss##..",
                 "####....", "........"});
  EXPECT_EQ(Describe(NonWhiteBounds(Overlay())), Describe(Rect(0, 0, 7, 8)));
}

// Erasing only the outlines drawn before must leave the overlay exactly as a
// whole clear and a redraw would, whatever happened in between: moves far
// and near, on and off the canvas, size and shape changes with and without a
// refresh, a dragged size thumb (many refreshes between two moves), and
// canvas resizes.
TEST_F(BrushCursorTest, PartialClearMatchesWholeClear) {
  std::mt19937 random(20240611);
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  TBitmap expected;
  auto redrawExpected = [&](int x, int y) {
    expected.SetWidth(Overlay().Width());
    expected.SetHeight(Overlay().Height());
    expected.Canvas()->Brush->SetColor(clWhite);
    expected.Canvas()->FillRect(Rect(0, 0, expected.Width(), expected.Height()));
    DrawBrushOutline(expected.Canvas(), x, y, Form2->ScrollBar1->Position(), Form2->BrushShape());
  };
  redrawExpected(300, 200);
  for (int step = 0; step < 400; ++step) {
    const int kind = uniform(0, 10);
    std::string what;
    if (kind <= 5) {
      const int x = kind == 0 ? uniform(-600, 1200) : uniform(-20, Overlay().Width() + 20);
      const int y = kind == 0 ? uniform(-400, 800) : uniform(-20, Overlay().Height() + 20);
      what = "move to " + std::to_string(x) + "," + std::to_string(y);
      Hover(x, y);
      redrawExpected(x, y);
    } else if (kind == 6) {
      const int size = uniform(0, 3) == 0 ? uniform(100, 500) : uniform(1, 40);
      what = "size " + std::to_string(size);
      const bool refreshes = size != Form2->ScrollBar1->Position();
      Form2->ScrollBar1->SetPosition(size);
      if (refreshes) redrawExpected(Overlay().Width() / 2, Overlay().Height() / 2);
    } else if (kind == 7) {
      what = "shape without a refresh";  // as a brush preset applies it
      (Form2->SpeedButton1->Down() ? Form2->SpeedButton2 : Form2->SpeedButton1)->SetDown(true);
    } else if (kind == 8) {
      what = "shape button";
      if (uniform(0, 1) == 0)
        Form2->SpeedButton1Click(nullptr);
      else
        Form2->SpeedButton2Click(nullptr);
      redrawExpected(Overlay().Width() / 2, Overlay().Height() / 2);
    } else if (kind == 9) {
      const int refreshes = uniform(6, 12);
      what = std::to_string(refreshes) + " thumb positions";
      for (int i = 0; i < refreshes; ++i)
        Form2->ScrollBar1->SetPosition(Form2->ScrollBar1->Position() % 60 + 1);
      redrawExpected(Overlay().Width() / 2, Overlay().Height() / 2);
    } else {
      const int w = uniform(200, 700), h = uniform(150, 500);
      what = "resize to " + std::to_string(w) + " x " + std::to_string(h);
      Form1->SetClientWidth(w);
      Form1->SetClientHeight(h);
      // The old outline stays; added area is white.
      expected.Canvas()->Brush->SetColor(clWhite);
      expected.SetWidth(Overlay().Width());
      expected.SetHeight(Overlay().Height());
    }
    ASSERT_EQ(Overlay().Width(), expected.Width()) << what;
    ASSERT_EQ(Overlay().Height(), expected.Height()) << what;
    const std::size_t bytes = sizeof(std::uint32_t) * Overlay().Width() * Overlay().Height();
    if (std::memcmp(Overlay().Bits(), expected.Bits(), bytes) != 0) {
      ADD_FAILURE() << "step " << step << " (" << what << "): overlay differs from a whole clear";
      ExpectPicture(Overlay(),
                    PictureOf(expected, PictureLegend{{'.', clWhite}, {'#', clBlack}, {'s', clSilver}}));
      return;
    }
  }
}

// Real Qt mouse events on the overlay reach the canvas handlers with their
// point, button and buttons held: a left press stamps at its point, a move
// strokes to its point, the release anchors at its point, a right press
// picks, a right press with the left held stamps.
TEST_F(BrushCursorTest, OverlayPassesRealMouseEventsOnUnchanged) {
  QWidget* overlay = Form1->Image2->Widget();
  SetBrush(2, true);
  Form2->CheckBox2->SetChecked(true);  // one-stroke keeps the release point
  QTest::mousePress(overlay, Qt::LeftButton, Qt::ShiftModifier, QPoint(37, 41));
  EXPECT_TRUE(Form1->Modified);
  QTest::mouseMove(overlay, QPoint(45, 41));
  ExpectPicture(Overlay(), 43, 39, {"....", ".##.", ".##.", "...."});
  EXPECT_EQ(Describe(NonWhiteBounds(Overlay())), Describe(Rect(44, 40, 46, 42)));
  QTest::mouseRelease(overlay, Qt::LeftButton, Qt::ControlModifier, QPoint(50, 47));
  EXPECT_EQ(LastX, 50);
  EXPECT_EQ(LastY, 47);
  ExpectPicture(Canvas(), 35, 39, {"............", ".##########.", ".##########.", "............"});
  EXPECT_EQ(Describe(NonWhiteBounds(Canvas())), Describe(Rect(36, 40, 46, 42)));

  Form2->CheckBox2->SetChecked(false);
  Form1->Image1->Canvas()->SetPixel(60, 61, clRed);
  QTest::mousePress(overlay, Qt::RightButton, {}, QPoint(60, 61));
  QTest::mouseRelease(overlay, Qt::RightButton, {}, QPoint(60, 61));
  EXPECT_EQ(Form1->CurrentColor, clRed);

  QTest::mousePress(overlay, Qt::MiddleButton, {}, QPoint(70, 72));
  EXPECT_EQ(LastX, 70);  // anchored, nothing painted
  QTest::mouseRelease(overlay, Qt::MiddleButton, {}, QPoint(70, 72));

  Form1->CurrentColor = clBlue;
  Form1->Image1->Canvas()->SetPixel(90, 90, clRed);
  QTest::mousePress(overlay, Qt::LeftButton, {}, QPoint(80, 80));
  QTest::mousePress(overlay, Qt::RightButton, {}, QPoint(90, 90));
  EXPECT_EQ(Form1->CurrentColor, clBlue);  // no pick: the left is held
  QTest::mouseRelease(overlay, Qt::RightButton, {}, QPoint(90, 90));
  QTest::mouseRelease(overlay, Qt::LeftButton, {}, QPoint(90, 90));
  ExpectPicture(Canvas(), 88, 88, {"....", ".bb.", ".bb.", "...."});
}

// Through the window, as the platform delivers them: the topmost visible
// image under the pointer gets the events.
TEST_F(BrushCursorTest, HidingTheCursorLetsTheCanvasTakeTheEvents) {
  QWindow* window = Form1->Widget()->windowHandle();
  ASSERT_NE(window, nullptr);
  auto at = [](int x, int y) { return Form1->Image1->Widget()->mapTo(Form1->Widget(), QPoint(x, y)); };

  QTest::mouseClick(Form2->CheckBox3->Widget(), Qt::LeftButton);
  ASSERT_FALSE(Form2->CheckBox3->Checked());
  EXPECT_FALSE(Form1->Image2->Visible());
  std::vector<std::uint32_t> before(Overlay().Bits(), Overlay().Bits() + 600 * 400);
  QTest::mousePress(window, Qt::LeftButton, {}, at(120, 130));
  QTest::mouseMove(window, at(124, 130));
  QTest::mouseRelease(window, Qt::LeftButton, {}, at(124, 130));
  EXPECT_EQ(Describe(NonWhiteBounds(Canvas())), Describe(Rect(115, 125, 129, 135)));
  EXPECT_TRUE(std::equal(before.begin(), before.end(), Overlay().Bits()))
      << "the hidden overlay was drawn on";

  // Shown again: the outline comes back at the centre, then follows the pointer.
  QTest::mouseClick(Form2->CheckBox3->Widget(), Qt::LeftButton);
  EXPECT_TRUE(Form1->Image2->Visible());
  EXPECT_EQ(Describe(NonWhiteBounds(Overlay())), Describe(Rect(295, 195, 305, 205)));
  QTest::mouseMove(window, at(100, 120));
  EXPECT_EQ(Describe(NonWhiteBounds(Overlay())), Describe(Rect(95, 115, 105, 125)));
}

}  // namespace
