// Bitmap store, pixels, resizes, pen state and region storage.
#include "core/surface.h"

#include <gtest/gtest.h>

#include "support/picture_test_util.h"

namespace {

// Every pixel of columns [x0, x1) of the bitmap has colour c.
void ExpectColumns(const TBitmap& b, int x0, int x1, TColor c) {
  for (int y = 0; y < b.Height(); ++y)
    for (int x = x0; x < x1; ++x) ASSERT_EQ(WordToColor(b.ScanLine(y)[x]), c) << x << "," << y;
}

}  // namespace

TEST(PixelTest, ReadsAndWritesOnlyOnTheBitmap) {
  auto b = BitmapFromPicture({"...", "..."});
  TCanvas* c = b->Canvas();
  for (auto [x, y] : {std::pair{-1, 0}, {3, 0}, {0, -1}, {0, 2}})
    EXPECT_EQ(c->Pixel(x, y), static_cast<TColor>(0xFFFFFFFF)) << x << "," << y;
  for (auto [x, y] : {std::pair{-1, 0}, {3, 1}, {1, 2}, {2, 1}}) c->SetPixel(x, y, clRed);
  c->SetPixel(0, 0, static_cast<TColor>(0xFFFFFFFF));
  ExpectPicture(*b, {"#..", "..r"});
  EXPECT_EQ(c->Pixel(2, 1), clRed);
}

TEST(ResizeTest, KeepsTopLeftAndFillsWithTheBrush) {
  auto b = std::make_unique<TBitmap>();
  b->SetWidth(100);
  b->SetHeight(100);
  b->Canvas()->Brush->SetColor(clRed);
  b->Canvas()->SetPixel(99, 99, clBlue);
  b->SetWidth(150);
  ExpectColumns(*b, 0, 99, clWhite);
  EXPECT_EQ(b->Canvas()->Pixel(99, 99), clBlue);
  ExpectColumns(*b, 100, 150, clRed);
  b->Canvas()->Brush->SetColor(clSilver);
  b->SetWidth(50);
  b->SetWidth(100);
  ExpectColumns(*b, 0, 50, clWhite);
  ExpectColumns(*b, 50, 100, clSilver);
  EXPECT_EQ(b->Width(), 100);
  EXPECT_EQ(b->Height(), 100);
}

TEST(ResizeTest, SmallPictureGrowsAndShrinks) {
  auto b = BitmapFromPicture({"#r.", "b#s"});
  b->Canvas()->Brush->SetColor(clBlue);
  b->SetWidth(5);
  b->SetHeight(3);
  ExpectPicture(*b, {"#r.bb", "b#sbb", "bbbbb"});
  b->SetWidth(2);
  b->SetHeight(1);
  ExpectPicture(*b, {"#r"});
}

TEST(ResizeTest, ZeroEmptiesForGood) {
  auto b = BitmapFromPicture({"##", "##"});
  b->Canvas()->Brush->SetColor(clRed);
  b->SetHeight(0);
  EXPECT_TRUE(b->Empty());
  b->SetHeight(2);
  ExpectPicture(*b, {"rr", "rr"});
  b->SetWidth(-4);  // counts as 0
  EXPECT_EQ(b->Width(), 0);
  b->SetWidth(3);
  ExpectPicture(*b, {"rrr", "rrr"});
}

TEST(ResizeTest, NeverUsedCanvasFillsWhiteAndEqualSizeChangesNothing) {
  TBitmap b;
  b.SetWidth(30);
  b.SetHeight(30);
  EXPECT_FALSE(b.HasCanvas());
  ExpectColumns(b, 0, 30, clWhite);
  b.TakeDirtyRect();
  b.SetWidth(30);
  EXPECT_EQ(b.TakeDirtyRect(), TRect{});
  // A shrink asks the display to redraw where the old pixels were.
  b.SetHeight(10);
  EXPECT_EQ(b.TakeDirtyRect(), Rect(0, 0, 30, 30));
}

TEST(ResizeTest, KeepsTheFileDepthAndTable) {
  auto b = std::make_unique<TBitmap>();
  TPixelFormat f;
  f.depth = 1;
  f.colorTable = {clBlack, clWhite};
  b->Assign(2, 1, f, {ColorToWord(clBlack), ColorToWord(clWhite)}, {});
  b->Canvas()->Brush->SetColor(clSilver);  // reduced to white
  b->SetWidth(3);
  EXPECT_EQ(b->PixelDepth(), 1);
  ExpectPicture(*b, {"#.."});
  EXPECT_THROW(b->Assign(2, 2, f, {0, 0, 0}, {}), std::invalid_argument);
}

TEST(PenTest, NegativeWidthIsIgnored) {
  TBitmap b;
  TPen* pen = b.Canvas()->Pen;
  EXPECT_EQ(pen->Width(), 1);
  pen->SetWidth(7);
  pen->SetWidth(-3);
  EXPECT_EQ(pen->Width(), 7);
  pen->SetWidth(0);
  EXPECT_EQ(pen->Width(), 0);
}

TEST(PenTest, EmptyTextOutMovesThePenAndDrawsNothing) {
  auto b = BitmapFromPicture({"...", "..."});
  TCanvas* c = b->Canvas();
  c->MoveTo(7, 8);
  c->TextOut(1, 1, "");
  EXPECT_EQ(c->PenPosX(), 1);
  EXPECT_EQ(c->PenPosY(), 1);
  ExpectPicture(*b, {"...", "..."});
}

TEST(RegionTest, RowsSpansAndBounds) {
  const TRegion r(5, {{{1, 3}, {6, 8}}, {}, {{-2, 0}}});
  EXPECT_EQ(r.RowCount(), 3);
  EXPECT_EQ(r.Bounds(), Rect(-2, 5, 8, 8));
  EXPECT_TRUE(r.Contains(2, 5));
  EXPECT_FALSE(r.Contains(3, 5));
  EXPECT_TRUE(r.Contains(7, 5));
  EXPECT_FALSE(r.Contains(1, 6));
  EXPECT_TRUE(r.Contains(-1, 7));
  EXPECT_TRUE(r.Row(4).empty());
  EXPECT_TRUE(r.Row(8).empty());
  EXPECT_EQ(TRegion().Bounds(), TRect{});
  // The clip rectangle is the region's bounds cut at the bitmap.
  TBitmap b;
  b.SetWidth(4);
  b.SetHeight(7);
  b.Canvas()->SelectClipRegion(&r);
  EXPECT_EQ(b.Canvas()->ClipRect(), Rect(0, 5, 4, 7));
  b.Canvas()->SelectClipRegion(nullptr);
  EXPECT_EQ(b.Canvas()->ClipRect(), Rect(0, 0, 4, 7));
}
