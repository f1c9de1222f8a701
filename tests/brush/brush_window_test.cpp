// The brush window: its settings at start, the preview, the refresh and when
// it runs, the shape buttons and the three check boxes, driven as a user would.
#include "brush/brush_window.h"

#include <QTest>
#include <QWidget>
#include <string>
#include <vector>

#include "support/non_white_bounds.h"
#include "support/picture_test_util.h"
#include "support/window_set_fixture.h"

namespace {

class BrushWindowTest : public WindowSetTest {
 protected:
  TBitmap& Preview() { return *Form2->Image1->Picture()->Bitmap(); }
  TBitmap& Overlay() { return *Form1->Image2->Picture()->Bitmap(); }
  std::string OutlineBounds() { return Describe(NonWhiteBounds(Overlay())); }
  void Hover(int x, int y) { Form1->Image2MouseMove(Form1->Image2, 0, x, y); }
};

TEST_F(BrushWindowTest, StartsRoundSize10DottingAndShowingTheCursor) {
  EXPECT_TRUE(Form2->SpeedButton1->Down());
  EXPECT_FALSE(Form2->SpeedButton2->Down());
  EXPECT_EQ(Form2->ScrollBar1->Position(), 10);
  EXPECT_EQ(Form2->Label1->Caption(), "10");
  EXPECT_TRUE(Form2->CheckBox1->Checked());
  EXPECT_FALSE(Form2->CheckBox2->Checked());
  EXPECT_TRUE(Form2->CheckBox3->Checked());
  EXPECT_EQ(Form1->Image1->Canvas()->Pen->Width(), 10);
  EXPECT_EQ(Preview().Width(), 218);
  EXPECT_EQ(Preview().Height(), 153);
  ExpectPicture(Preview(), 0, 0,
                {"...####....", ".########..", ".########..", "##########.", "##########.", "##########.",
                 "##########.", ".########..", ".########..", "...####....", "..........."});
  EXPECT_EQ(Describe(NonWhiteBounds(Preview())), Describe(Rect(0, 0, 10, 10)));
}

TEST_F(BrushWindowTest, Size500ShowsOnlyTheTopLeftOfTheShape) {
  Form2->ScrollBar1->SetPosition(500);
  // The disc's first rows reach the preview at its right edge: row 2 from
  // column 215 on.
  ExpectPicture(Preview(), 212, 0, {"......", "......", "...###"});
  EXPECT_EQ(Preview().Canvas()->Pixel(0, 0), clWhite);
  EXPECT_EQ(Preview().Canvas()->Pixel(217, 152), clBlack);
  QTest::mouseClick(Form2->SpeedButton2->Widget(), Qt::LeftButton);
  EXPECT_EQ(Describe(NonWhiteBounds(Preview())), Describe(Rect(0, 0, 218, 153)));
  EXPECT_EQ(Preview().Canvas()->Pixel(0, 0), clBlack);
}

// A refresh runs only when the position really changes, and then redraws
// everything: preview, label, the canvas pen width and the centred outline.
TEST_F(BrushWindowTest, ScrollBarRefreshesOnlyOnARealChange) {
  Hover(100, 100);
  Form2->ScrollBar1->SetPosition(10);
  EXPECT_EQ(OutlineBounds(), Describe(Rect(95, 95, 105, 105)));

  Form2->ScrollBar1->SetPosition(20);
  EXPECT_EQ(Form2->Label1->Caption(), "20");
  EXPECT_EQ(Form1->Image1->Canvas()->Pen->Width(), 20);
  EXPECT_EQ(OutlineBounds(), Describe(Rect(290, 190, 310, 210)));
  EXPECT_EQ(Describe(NonWhiteBounds(Preview())), Describe(Rect(0, 0, 20, 20)));

  Form2->ScrollBar1->SetPosition(0);
  EXPECT_EQ(Form2->Label1->Caption(), "1");
  Form2->ScrollBar1->SetPosition(9999);
  EXPECT_EQ(Form2->Label1->Caption(), "500");
  QTest::mouseClick(Form2->ScrollBar1->Widget(), Qt::LeftButton, {}, QPoint(3, 6));  // left arrow: one step
  EXPECT_EQ(Form2->ScrollBar1->Position(), 499);
  EXPECT_EQ(Form2->Label1->Caption(), "499");
  EXPECT_EQ(Form1->Image1->Canvas()->Pen->Width(), 499);
}

TEST_F(BrushWindowTest, ShapeButtonsSwitchAndAlwaysRefresh) {
  QTest::mouseClick(Form2->SpeedButton2->Widget(), Qt::LeftButton);
  EXPECT_TRUE(Form2->SpeedButton2->Down());
  EXPECT_FALSE(Form2->SpeedButton1->Down());
  EXPECT_EQ(Describe(NonWhiteBounds(Preview())), Describe(Rect(0, 0, 10, 10)));
  EXPECT_EQ(Preview().Canvas()->Pixel(0, 0), clBlack);
  ExpectPicture(Overlay(), 295, 195, {"##########", "#ssssssss#"});

  // The button already down stays down and still brings the outline back.
  Hover(100, 100);
  QTest::mouseClick(Form2->SpeedButton2->Widget(), Qt::LeftButton);
  EXPECT_TRUE(Form2->SpeedButton2->Down());
  EXPECT_EQ(OutlineBounds(), Describe(Rect(295, 195, 305, 205)));

  QTest::mouseClick(Form2->SpeedButton1->Widget(), Qt::LeftButton);
  EXPECT_TRUE(Form2->SpeedButton1->Down());
  EXPECT_FALSE(Form2->SpeedButton2->Down());
  EXPECT_EQ(Preview().Canvas()->Pixel(0, 0), clWhite);
}

TEST_F(BrushWindowTest, UncheckingOneStrokeDropsTheAnchor) {
  LastX = 5;
  LastY = 6;
  QTest::mouseClick(Form2->CheckBox2->Widget(), Qt::LeftButton);
  EXPECT_TRUE(Form2->CheckBox2->Checked());
  EXPECT_EQ(LastX, 5);
  QTest::mouseClick(Form2->CheckBox2->Widget(), Qt::LeftButton);
  EXPECT_FALSE(Form2->CheckBox2->Checked());
  EXPECT_EQ(LastX, -1);
  EXPECT_EQ(LastY, -1);
}

TEST_F(BrushWindowTest, ShowCursorHidesAndBringsBackTheCentredOutline) {
  Hover(100, 100);
  QTest::mouseClick(Form2->CheckBox3->Widget(), Qt::LeftButton);
  EXPECT_FALSE(Form1->Image2->Visible());
  QTest::mouseClick(Form2->CheckBox3->Widget(), Qt::LeftButton);
  EXPECT_TRUE(Form1->Image2->Visible());
  EXPECT_EQ(OutlineBounds(), Describe(Rect(295, 195, 305, 205)));
}

TEST_F(BrushWindowTest, ResizingRedrawsThePreviewAtItsNewSize) {
  Form2->SetClientWidth(300);
  Form2->SetClientHeight(250);
  // Anchored on all sides: the margins of 4/5 and 47/3 pixels stay.
  EXPECT_EQ(Preview().Width(), 291);
  EXPECT_EQ(Preview().Height(), 200);
  EXPECT_EQ(Describe(NonWhiteBounds(Preview())), Describe(Rect(0, 0, 10, 10)));
}

}  // namespace
