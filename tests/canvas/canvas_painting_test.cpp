// Painting on the canvas through its handlers: dots, strokes, one-stroke
// joins, the colour pick, the anchor's life, resizing and the pressure gate.
#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "brush/brush_window.h"
#include "support/non_white_bounds.h"
#include "support/picture_test_util.h"
#include "support/tablet_test_fixture.h"
#include "support/window_set_fixture.h"

namespace {

class PaintingTest : public WindowSetTest {
 protected:
  TBitmap& Canvas() { return *Form1->Image1->Picture()->Bitmap(); }
  void SetBrush(int size, bool round) {
    Form2->ScrollBar1->SetPosition(size);
    (round ? Form2->SpeedButton1 : Form2->SpeedButton2)->SetDown(true);
  }
  void SetDotting(bool on) { Form2->CheckBox1->SetChecked(on); }
  void SetOneStroke(bool on) { Form2->CheckBox2->SetChecked(on); }
  void Press(int x, int y, TMouseButton b = mbLeft, TShiftState s = ssLeft) {
    Form1->Image1MouseDown(Form1->Image1, b, s, x, y);
  }
  void Move(int x, int y, TShiftState s = ssLeft) { Form1->Image1MouseMove(Form1->Image1, s, x, y); }
  void Release(int x, int y, TMouseButton b = mbLeft) { Form1->Image1MouseUp(Form1->Image1, b, 0, x, y); }
  void Click(int x, int y) {
    Press(x, y);
    Release(x, y);
  }
  void ExpectPaintedOnly(const TRect& box) { EXPECT_EQ(Describe(NonWhiteBounds(Canvas())), Describe(box)); }
};

// The disc a press stamps for sizes 10 and 11 (h = 5): 10 pixels across.
const std::vector<std::string> kDisc10 = {"............", "....####....", "..########..", "..########..",
                                          ".##########.", ".##########.", ".##########.", ".##########.",
                                          "..########..", "..########..", "....####....", "............"};
const std::vector<std::string> kSquare10 = {"............", ".##########.", ".##########.", ".##########.",
                                            ".##########.", ".##########.", ".##########.", ".##########.",
                                            ".##########.", ".##########.", ".##########.", "............"};

TEST_F(PaintingTest, ClickStampsOneDotOfTheBrushShape) {
  struct Case {
    int size;
    bool round;
    std::vector<std::string> picture;  // at (14, 14) around a click at (20, 20)
  };
  const std::vector<std::string> kBlank(12, "............");
  const std::vector<std::string> kTwo = {"............", "............", "............", "............",
                                         "............", ".....##.....", ".....##.....", "............",
                                         "............", "............", "............", "............"};
  const std::vector<Case> cases = {{1, true, kBlank},     {1, false, kBlank},     {2, true, kTwo},
                                   {2, false, kTwo},      {3, true, kTwo},        {3, false, kTwo},
                                   {10, true, kDisc10},   {10, false, kSquare10}, {11, true, kDisc10},
                                   {11, false, kSquare10}};
  for (const Case& c : cases) {
    SCOPED_TRACE("size " + std::to_string(c.size) + (c.round ? " round" : " square"));
    Form1->Image1->Canvas()->Brush->SetColor(clWhite);
    Form1->Image1->Canvas()->FillRect(Rect(0, 0, 600, 400));
    SetBrush(c.size, c.round);
    Click(20, 20);
    ExpectPicture(Canvas(), 14, 14, c.picture);
    const int h = c.size / 2;
    ExpectPaintedOnly(h == 0 ? TRect{} : Rect(20 - h, 20 - h, 20 + h, 20 + h));
    EXPECT_EQ(LastX, -1);
  }
}

TEST_F(PaintingTest, Size500DotIsClippedByTheCanvas) {
  const PictureLegend legend = {{'.', clWhite}, {'r', clRed}};
  Form1->CurrentColor = clRed;
  SetBrush(500, true);
  Click(300, 200);  // box (50, -50, 550, 450)
  ExpectPaintedOnly(Rect(50, 0, 550, 400));
  // Row 0 is 199.5 above the centre: the disc spans columns 149 .. 450 there.
  ExpectPicture(Canvas(), 147, 0, {"..rr"}, legend);
  ExpectPicture(Canvas(), 449, 0, {"rr.."}, legend);
  ExpectPicture(Canvas(), 48, 199, {"..rr", "..rr"}, legend);
  ExpectPicture(Canvas(), 548, 199, {"rr..", "rr.."}, legend);

  SetBrush(500, false);
  Form1->CurrentColor = clBlue;
  Click(300, 200);
  ExpectPaintedOnly(Rect(50, 0, 550, 400));
  EXPECT_EQ(Canvas().Canvas()->Pixel(50, 0), clBlue);
  EXPECT_EQ(Canvas().Canvas()->Pixel(549, 399), clBlue);
}

TEST_F(PaintingTest, DragDrawsLinesOfTheBrushWidthFromPointToPoint) {
  SetBrush(1, true);
  Press(10, 10);
  Move(15, 10);
  Move(15, 13);
  Release(15, 13);
  // Thin lines leave out their end pixel.
  ExpectPicture(Canvas(), 9, 9, {"........", ".######.", "......#.", "......#.", "........"});
  ExpectPaintedOnly(Rect(10, 10, 16, 13));
}

TEST_F(PaintingTest, StrokesOfSizes2And3) {
  SetBrush(2, true);
  Press(10, 10);
  Move(14, 10);
  Release(14, 10);
  // Even width: ends centred on the top-left corners of (10,10) and (14,10).
  ExpectPicture(Canvas(), 8, 8, {"........", ".######.", ".######.", "........"});

  SetBrush(3, false);
  Press(10, 30);
  Move(14, 30);
  Release(14, 30);
  // Odd width: centred on the pixels; the 3-pixel end discs are squares.
  ExpectPicture(Canvas(), 8, 28, {".........", ".#######.", ".#######.", ".#######.", "........."});
}

TEST_F(PaintingTest, StrokesOfSizes10And11ShareTheDotButNotTheWidth) {
  SetBrush(10, true);
  Press(20, 30);
  Move(40, 30);
  Release(40, 30);
  ExpectPicture(Canvas(), 14, 24,
                {"................................", "....########################....",
                 "..############################..", "..############################..",
                 ".##############################.", ".##############################.",
                 ".##############################.", ".##############################.",
                 "..############################..", "..############################..",
                 "....########################....", "................................"});

  Form1->Image1->Canvas()->Brush->SetColor(clWhite);
  Form1->Image1->Canvas()->FillRect(Rect(0, 0, 600, 400));
  SetBrush(11, true);
  Press(20, 30);
  Move(40, 30);
  Release(40, 30);
  // The dot's box starts at 15 as before; the 11-wide line is centred on the
  // pixels, one row taller and one column longer.
  ExpectPicture(Canvas(), 14, 24,
                {"..................................", "....#########################.....",
                 "..############################....", "..#############################...",
                 ".###############################..", ".###############################..",
                 ".###############################..", ".###############################..",
                 ".###############################..", "..#############################...",
                 "...###########################....", "....#########################.....",
                 ".................................."});
}

TEST_F(PaintingTest, Size500StrokeCoversMostOfTheCanvas) {
  SetBrush(500, true);
  SetDotting(false);
  Press(100, 200);
  Move(110, 200);
  Release(110, 200);
  // End discs in (-150, -50, 350, 450) and (-140, -50, 360, 450).
  ExpectPaintedOnly(Rect(0, 0, 360, 400));
  ExpectPicture(Canvas(), 356, 199, {"####....", "####...."});
}

TEST_F(PaintingTest, ClickWithoutDottingPaintsNothingButModifies) {
  SetDotting(false);
  EXPECT_FALSE(Form1->Modified);
  Click(50, 50);
  EXPECT_TRUE(Form1->Modified);
  ExpectPaintedOnly(TRect{});
}

TEST_F(PaintingTest, OneStrokeJoinsFromTheReleasePoint) {
  SetBrush(3, true);
  SetOneStroke(true);
  // No anchor yet: the press joins its own point, a 3 x 3 end disc over the dot.
  Press(10, 10);
  Release(10, 16);
  EXPECT_EQ(LastX, 10);
  EXPECT_EQ(LastY, 16);
  Press(20, 16);
  ExpectPicture(Canvas(), 8, 8,
                {"...............", ".###...........", ".###...........", ".###...........",
                 "...............", "...............", "...............", ".#############.",
                 ".#############.", ".#############.", "..............."});
  EXPECT_EQ(LastX, 20);
  EXPECT_EQ(LastY, 16);
}

TEST_F(PaintingTest, RightClickPicksTheColourAndModifies) {
  Form1->Image1->Canvas()->SetPixel(30, 30, clRed);
  SetOneStroke(true);
  Press(30, 30, mbRight, ssRight);
  EXPECT_EQ(Form1->CurrentColor, clRed);
  EXPECT_TRUE(Form1->Modified);
  ExpectPaintedOnly(Rect(30, 30, 31, 31));
  // The release still moves the anchor in one-stroke mode.
  Release(44, 45, mbRight);
  EXPECT_EQ(LastX, 44);
  EXPECT_EQ(LastY, 45);
}

TEST_F(PaintingTest, RightPressWhileLeftHeldIsALeftPress) {
  Form1->Image1->Canvas()->SetPixel(40, 40, clRed);
  Press(40, 40, mbRight, ssLeft | ssRight);
  EXPECT_EQ(Form1->CurrentColor, clBlack);
  ExpectPaintedOnly(Rect(35, 35, 45, 45));
}

TEST_F(PaintingTest, MiddlePressOnlyModifiesAndAnchors) {
  Press(60, 70, mbMiddle, ssMiddle);
  EXPECT_TRUE(Form1->Modified);
  EXPECT_EQ(LastX, 60);
  EXPECT_EQ(LastY, 70);
  Press(80, 90, mbMiddle, ssMiddle);
  EXPECT_EQ(LastX, 60);  // an anchor stays
  ExpectPaintedOnly(TRect{});
}

TEST_F(PaintingTest, MovesWithoutTheLeftButtonOnlyTakeTheColour) {
  Press(10, 10, mbRight, ssRight);
  Move(100, 100, ssRight);
  Form1->CurrentColor = clBlue;
  Move(120, 100, 0);
  ExpectPaintedOnly(TRect{});
  EXPECT_EQ(Form1->Image1->Canvas()->Pen->Color(), clBlue);
  EXPECT_EQ(Form1->Image1->Canvas()->Brush->Color(), clBlue);
}

// The anchor's states: each step and the anchor it leaves.
TEST_F(PaintingTest, AnchorFollowsItsTable) {
  struct Step {
    const char* what;
    std::function<void()> run;
    int x, y;
  };
  auto oneStroke = [this](bool on) {
    Form2->CheckBox2->SetChecked(on);
    Form2->CheckBox2Click(Form2->CheckBox2);
  };
  const std::vector<Step> steps = {
      {"created", [] {}, -1, -1},
      {"middle press, none", [&] { Press(5, 6, mbMiddle, ssMiddle); }, 5, 6},
      {"left press, one-stroke off", [&] { Press(7, 8); }, 5, 6},
      {"left move", [&] { Move(9, 9); }, 9, 9},
      {"release, one-stroke off", [&] { Release(9, 9); }, -1, -1},
      {"one-stroke on", [&] { oneStroke(true); }, -1, -1},
      {"release, one-stroke on", [&] { Release(3, 4); }, 3, 4},
      {"left press, one-stroke on", [&] { Press(11, 12); }, 11, 12},
      {"right press", [&] { Press(13, 14, mbRight, ssRight); }, 11, 12},
      {"right move", [&] { Move(15, 16, ssRight); }, 11, 12},
      {"one-stroke off", [&] { oneStroke(false); }, -1, -1},
  };
  for (const Step& s : steps) {
    s.run();
    EXPECT_EQ(LastX, s.x) << s.what;
    EXPECT_EQ(LastY, s.y) << s.what;
  }
}

TEST_F(PaintingTest, ResizeKeepsTheTopLeftAndDiscardsTheRest) {
  SetBrush(2, false);
  Click(50, 50);
  Click(550, 350);
  Form1->CurrentColor = clRed;
  Form1->SetClientWidth(500);
  Form1->SetClientHeight(300);
  EXPECT_EQ(Canvas().Width(), 500);
  EXPECT_EQ(Canvas().Height(), 300);
  ExpectPaintedOnly(Rect(49, 49, 51, 51));
  Form1->SetClientWidth(600);
  Form1->SetClientHeight(400);
  EXPECT_EQ(Canvas().Width(), 600);
  EXPECT_EQ(Canvas().Height(), 400);
  ExpectPaintedOnly(Rect(49, 49, 51, 51));  // the far dot is gone for good
  EXPECT_EQ(Form1->Image1->Canvas()->Brush->Color(), clRed);
  const TBitmap& overlay = *Form1->Image2->Picture()->Bitmap();
  EXPECT_EQ(overlay.Width(), 600);
  EXPECT_EQ(overlay.Height(), 400);
}

// A move already queued when the press comes runs inside the press, after the
// anchor is set and before the dot: it strokes from the press point and the
// press goes on with the anchor where the move left it.
TEST_F(PaintingTest, QueuedMoveRunsInsideThePressBeforeTheDot) {
  SetBrush(1, true);
  QWidget* overlay = Form1->Image2->Widget();
  const QPointF to(14, 10);
  QCoreApplication::postEvent(overlay, new QMouseEvent(QEvent::MouseMove, to, overlay->mapToGlobal(to),
                                                       Qt::NoButton, Qt::LeftButton, Qt::NoModifier));
  Press(10, 10);
  EXPECT_EQ(LastX, 14);
  EXPECT_EQ(LastY, 10);
  ExpectPicture(Canvas(), 9, 9, {".......", ".####..", "......."});
}

// A tablet whose pen reports the pressures the test queues.
using TabletPaintingTest = WithTablet<PaintingTest>;

TEST_F(TabletPaintingTest, LightPressureDragsTheAnchorWithoutPainting) {
  ASSERT_TRUE(Form1->TabletAvailable);
  SetBrush(1, true);
  Press(10, 10);
  tablet_->QueuePressures({0, 300, 150});
  Move(20, 10);
  tablet_->QueuePressures({1});
  Move(30, 10);
  EXPECT_EQ(LastX, 30);
  ExpectPaintedOnly(TRect{});
  tablet_->QueuePressures({201});
  Move(30, 13);  // continues from the last light point
  ExpectPaintedOnly(Rect(30, 10, 31, 13));
  Move(34, 13);  // no fresh packet: pressure 0 paints
  ExpectPaintedOnly(Rect(30, 10, 34, 14));
}

TEST_F(TabletPaintingTest, PressWithLightPressureStillStampsItsDot) {
  tablet_->QueuePressures({50});
  Press(100, 100);
  ExpectPaintedOnly(Rect(95, 95, 105, 105));
}

}  // namespace
