#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "brush/brush_window.h"
#include "colour/palette_window.h"
#include "support/picture_test_util.h"
#include "support/tablet_test_fixture.h"
#include "support/window_set_fixture.h"

namespace {

constexpr TColor kPaint = clRed;
const PictureLegend kPaintLegend = {{'.', clWhite}, {'r', kPaint}};

class PaletteTest : public WindowSetTest {
 protected:
  void SetUp() override {
    WindowSetTest::SetUp();
    Form1->CurrentColor = kPaint;
    x_ = Form4->Image1->Width() / 2;
    y_ = Form4->Image1->Height() / 2;
  }
  // Through the canvas, which makes the bitmap at the image's size if the
  // palette has not drawn yet.
  TBitmap& Picture() { return Form4->Image1->Canvas()->Bitmap(); }
  void UseBrush(int size, bool round) {
    Form2->ScrollBar1->SetPosition(size);
    (round ? Form2->SpeedButton1 : Form2->SpeedButton2)->SetDown(true);
  }
  void ClearPalette() {
    TCanvas* c = Form4->Image1->Canvas();
    c->Brush->SetColor(clWhite);
    c->FillRect(Rect(0, 0, Picture().Width(), Picture().Height()));
  }
  void Press(TShiftState shift, int x, int y, TMouseButton button = mbLeft) {
    Form4->Image1MouseDown(Form4->Image1, button, shift, x, y);
  }
  void Drag(int x, int y) { Form4->Image1MouseMove(Form4->Image1, ssLeft, x, y); }
  // A white bitmap of the palette's size with `draw` applied in kPaint, as
  // the rule says the handler should have drawn it.
  std::unique_ptr<TBitmap> Reference(const std::function<void(TCanvas*)>& draw) {
    auto bmp = std::make_unique<TBitmap>();
    bmp->SetWidth(Picture().Width());
    bmp->SetHeight(Picture().Height());
    bmp->Canvas()->Brush->SetColor(kPaint);
    bmp->Canvas()->Pen->SetColor(kPaint);
    draw(bmp->Canvas());
    return bmp;
  }
  void ExpectPaletteIs(const TBitmap& expected) {
    ASSERT_GT(expected.Width(), 100);
    ExpectPicture(Picture(), PictureOf(expected, kPaintLegend), kPaintLegend);
  }
  bool AllWhite() {
    for (const std::string& row : PictureOf(Picture(), kPaintLegend))
      if (row.find_first_not_of('.') != std::string::npos) return false;
    return true;
  }
  int x_ = 0, y_ = 0;
};

TEST_F(PaletteTest, ImageFillsTheWindowAndStartsWhite) {
  EXPECT_EQ(Form4->Caption(), "Palette");
  EXPECT_EQ(Form4->Image1->Width(), Form4->ClientWidth());
  EXPECT_EQ(Form4->Image1->Height(), Form4->ClientHeight());
  EXPECT_EQ(Picture().Width(), Form4->Image1->Width());
  EXPECT_EQ(Picture().Height(), Form4->Image1->Height());
  EXPECT_TRUE(AllWhite());
}

TEST_F(PaletteTest, SmallestDabsToThePixel) {
  UseBrush(10, true);  // r = 1: a 2 x 2 disc
  Press(ssLeft, 20, 20);
  ExpectPicture(Picture(), 17, 17,
                {
                    "......",
                    "......",
                    "..rr..",
                    "..rr..",
                    "......",
                    "......",
                },
                kPaintLegend);
  UseBrush(11, true);  // r = 2
  Press(ssLeft, 40, 20);
  ExpectPicture(Picture(), 37, 17,
                {
                    "......",
                    "..rr..",
                    ".rrrr.",
                    ".rrrr.",
                    "..rr..",
                    "......",
                },
                kPaintLegend);
}

TEST_F(PaletteTest, ClickDabRadiusTable) {
  struct Case {
    int size, r;
  };
  std::vector<Case> cases = {{11, 2}, {12, 1},  {13, 1},   {15, 2},   {20, 2},  {25, 2},
                             {50, 5}, {99, 10}, {100, 10}, {255, 26}, {500, 50}};
  for (int s = 1; s <= 10; ++s) cases.push_back({s, 1});
  for (const Case& c : cases) {
    SCOPED_TRACE("size " + std::to_string(c.size));
    ClearPalette();
    UseBrush(c.size, true);
    Press(ssLeft, x_, y_);
    ExpectPaletteIs(*Reference([&](TCanvas* cv) { cv->Ellipse(x_ - c.r, y_ - c.r, x_ + c.r, y_ + c.r); }));
  }
}

TEST_F(PaletteTest, SquareClickFillsTheWholeBrushBox) {
  UseBrush(10, false);
  Press(ssLeft, 20, 20);
  std::vector<std::string> expected(12, "............");
  for (int y = 1; y <= 10; ++y) expected[static_cast<std::size_t>(y)] = ".rrrrrrrrrr.";
  ExpectPicture(Picture(), 14, 14, expected, kPaintLegend);
  // Odd sizes lose the remainder: 11 stamps the same 10 x 10 box.
  ClearPalette();
  UseBrush(11, false);
  Press(ssLeft, 20, 20);
  ExpectPicture(Picture(), 14, 14, expected, kPaintLegend);
}

TEST_F(PaletteTest, DragStampsTheFullBrushAtEachMove) {
  UseBrush(10, true);
  Drag(30, 30);
  Drag(60, 30);  // not joined to the first stamp
  ExpectPaletteIs(*Reference([](TCanvas* cv) {
    cv->Ellipse(25, 25, 35, 35);
    cv->Ellipse(55, 25, 65, 35);
  }));
  ClearPalette();
  UseBrush(40, false);
  Drag(100, 100);
  ExpectPaletteIs(*Reference([](TCanvas* cv) { cv->FillRect(Rect(80, 80, 120, 120)); }));
}

TEST_F(PaletteTest, SizeOneOnlyTheRoundClickPaints) {
  UseBrush(1, true);
  Drag(50, 50);
  EXPECT_TRUE(AllWhite());
  UseBrush(1, false);
  Drag(50, 50);
  Press(ssLeft, 50, 50);
  EXPECT_TRUE(AllWhite());
  UseBrush(1, true);
  Press(ssLeft, 50, 50);
  ExpectPaletteIs(*Reference([](TCanvas* cv) { cv->Ellipse(49, 49, 51, 51); }));
}

TEST_F(PaletteTest, RightPressPicksTheColourUnderThePointer) {
  UseBrush(20, false);
  Form1->CurrentColor = 0x00C0FF;
  Press(ssLeft, 60, 60);
  Form1->CurrentColor = 0x123456;
  Press(ssRight, 10, 10, mbRight);
  EXPECT_EQ(Form1->CurrentColor, clWhite);
  Press(ssRight, 60, 60, mbRight);
  EXPECT_EQ(Form1->CurrentColor, 0x00C0FF);
}

TEST_F(PaletteTest, LeftFlagWinsAndOtherButtonsPaintNothing) {
  UseBrush(10, false);
  Press(ssLeft | ssRight, 30, 30, mbRight);
  EXPECT_EQ(Form1->CurrentColor, kPaint);
  EXPECT_EQ(Picture().Canvas()->Pixel(30, 30), kPaint);
  ClearPalette();
  Press(ssMiddle, 30, 30, mbMiddle);
  Form4->Image1MouseMove(Form4->Image1, 0, 50, 50);
  Form4->Image1MouseMove(Form4->Image1, ssRight, 50, 50);
  EXPECT_EQ(Form1->CurrentColor, kPaint);
  EXPECT_TRUE(AllWhite());
}

TEST_F(PaletteTest, ShrinkingCutsOffForGoodAndEnlargingAddsWhite) {
  UseBrush(20, false);
  const int w = Form4->Image1->Width();
  Press(ssLeft, w - 40, 20);  // a square over columns w-50 .. w-31
  Press(ssLeft, 20, 20);      // one that survives
  Form1->CurrentColor = clBlue;
  Form4->SetWidth(Form4->Width() - 40);
  EXPECT_EQ(Picture().Width(), Form4->Image1->Width());
  EXPECT_EQ(Picture().Width(), w - 40);
  Form4->SetWidth(Form4->Width() + 40);
  EXPECT_EQ(Picture().Width(), w);
  // The brush is the current colour again afterwards.
  EXPECT_EQ(Form4->Image1->Canvas()->Brush->Color(), clBlue);
  Form1->CurrentColor = kPaint;
  ExpectPaletteIs(*Reference([&](TCanvas* cv) {
    cv->FillRect(Rect(10, 10, 30, 30));
    cv->FillRect(Rect(w - 50, 10, w - 40, 30));  // what the cut left of the far square
  }));
}

using PaletteTabletTest = WithTablet<PaletteTest>;

TEST_F(PaletteTabletTest, LightPressureSuppressesDabsAndStamps) {
  ASSERT_TRUE(Form1->TabletAvailable);
  UseBrush(20, true);
  for (unsigned light : {1u, 100u, 200u}) {
    tablet_->HoldPressure(light);
    Press(ssLeft, 50, 50);
    Drag(80, 80);
    EXPECT_TRUE(AllWhite()) << light;
  }
  // The right-button pick is not gated.
  Form1->CurrentColor = 0x111111;
  tablet_->HoldPressure(50);
  Press(ssRight, 50, 50, mbRight);
  EXPECT_EQ(Form1->CurrentColor, clWhite);
  Form1->CurrentColor = kPaint;
  for (unsigned firm : {0u, 201u, 1023u}) {
    ClearPalette();
    tablet_->HoldPressure(firm);
    Drag(80, 80);
    EXPECT_FALSE(AllWhite()) << firm;
  }
}

}  // namespace
