#include <gtest/gtest.h>

#include <QTest>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "colour/hsv_picker_window.h"
#include "core/colour_conversions.h"
#include "support/picture_test_util.h"
#include "support/window_set_fixture.h"

namespace {

struct Rgb {
  int red, green, blue;
};

Rgb Channels(TColor c) {
  std::uint8_t r = 0, g = 0, b = 0;
  SplitColor(c, r, g, b);
  return {r, g, b};
}

class HsvPickerTest : public WindowSetTest {
 protected:
  TBitmap& Picture() { return Form7->Image1->Canvas()->Bitmap(); }
  TColor At(int x, int y) { return Form7->Image1->Canvas()->Pixel(x, y); }
  void Click(int x, int y, TMouseButton button = mbLeft, TShiftState shift = ssLeft) {
    Form7->Image1MouseDown(Form7->Image1, button, shift, x, y);
  }
  // The square's 100 x 100 pixels, column by column.
  std::vector<TColor> Square() {
    std::vector<TColor> pixels;
    for (int x = 50; x < 150; ++x)
      for (int y = 50; y < 150; ++y) pixels.push_back(At(x, y));
    return pixels;
  }
  // The hue within `tolerance` degrees of `near` whose square the picker
  // shows, judged by its most saturated, brightest corner; -1 if none.
  int SquareHueNear(int near, int tolerance) {
    for (int d = -tolerance; d <= tolerance; ++d)
      if (At(149, 149) == HsvToColor(near + d, 0.99, 0.99) && At(100, 149) == HsvToColor(near + d, 0.99, 0.5))
        return ((near + d) % 360 + 360) % 360;
    return -1;
  }
};

// Classifies a region as white ('.') or painted ('?') for shape checks.
const PictureLegend kWhiteOnly = {{'.', clWhite}};

TEST_F(HsvPickerTest, SquareAfterFirstShowIsRedHue) {
  EXPECT_FALSE(Form7->FirstShow);
  EXPECT_EQ(At(50, 50), 0);
  EXPECT_EQ(At(149, 50), 0xFCFCFC);  // value 0.99 -> 252
  EXPECT_EQ(At(50, 149), 0);
  EXPECT_EQ(At(149, 149), 0x0303FC);
  EXPECT_EQ(At(100, 100), 0x404080);  // red 128, green 64, blue 64
  // Value 70 x 0.01 taken in extended precision lies just below 0.7: 178, not 179.
  EXPECT_EQ(At(120, 50), 0xB2B2B2);
  // The ring clip must not have eaten into the square: nothing white inside.
  for (TColor c : Square()) ASSERT_NE(c, clWhite);
}

TEST_F(HsvPickerTest, RingLiesBetweenTheEllipsesAndTheRestIsWhite) {
  // Straight up and down the ring runs 25 rows deep from the image edge; left
  // and right 25 columns. '?' is ring colour, '.' white.
  std::vector<std::string> down(30, "..........");
  for (int y = 0; y < 25; ++y) down[static_cast<std::size_t>(y)] = "??????????";
  EXPECT_EQ(PictureOf(Picture(), 95, 0, 10, 30, kWhiteOnly), down);
  const std::vector<std::string> up(down.rbegin(), down.rend());
  EXPECT_EQ(PictureOf(Picture(), 95, 170, 10, 30, kWhiteOnly), up);
  const std::vector<std::string> right(10, std::string(25, '?') + ".....");
  EXPECT_EQ(PictureOf(Picture(), 0, 95, 30, 10, kWhiteOnly), right);
  const std::vector<std::string> left(10, "....." + std::string(25, '?'));
  EXPECT_EQ(PictureOf(Picture(), 170, 95, 30, 10, kWhiteOnly), left);
  // Corners, and the gap between the square and the ring on every side.
  const std::vector<std::string> white8(8, std::string(8, '.'));
  for (auto [x, y] : {std::pair{0, 0}, {192, 0}, {0, 192}, {192, 192}})
    ExpectPicture(Picture(), x, y, white8);
  const std::vector<std::string> white10x20(20, std::string(10, '.'));
  ExpectPicture(Picture(), 155, 90, white10x20);
  ExpectPicture(Picture(), 35, 90, white10x20);
  const std::vector<std::string> white20x10(10, std::string(20, '.'));
  ExpectPicture(Picture(), 90, 35, white20x10);
  ExpectPicture(Picture(), 90, 155, white20x10);
}

TEST_F(HsvPickerTest, RingHueFollowsTheAngleClockwiseFromTheTop) {
  int ringPixels = 0;
  for (int y = 0; y < 200; ++y) {
    for (int x = 0; x < 200; ++x) {
      if (x >= 50 && x < 150 && y >= 50 && y < 150) continue;  // the square
      const TColor c = At(x, y);
      if (c == clWhite) continue;
      ++ringPixels;
      const Rgb rgb = Channels(c);
      int hue = -1, saturation = 0, value = 0;
      ColorToHsv(rgb.red, rgb.green, rgb.blue, hue, saturation, value);
      ASSERT_EQ(saturation, 255) << x << "," << y;
      ASSERT_EQ(value, 255) << x << "," << y;
      const double angle =
          std::atan2(x + 0.5 - 100, 100 - (y + 0.5)) * 180 / std::numbers::pi;  // clockwise from up
      double diff = std::fmod(std::abs(hue - angle), 360.0);
      diff = std::min(diff, 360 - diff);
      ASSERT_LE(diff, 2.0) << "pixel " << x << "," << y << " hue " << hue << " angle " << angle;
    }
  }
  // The ring between radii 75 and 100 covers about pi (100^2 - 75^2) pixels.
  EXPECT_NEAR(ringPixels, 13744, 400);
}

TEST_F(HsvPickerTest, RingClicksSetTheRingColourAndRepaintTheSquare) {
  Click(100, 12);  // straight up
  Rgb up = Channels(Form1->CurrentColor);
  EXPECT_EQ(up.red, 255);
  EXPECT_LE(up.green, 4);
  EXPECT_LE(up.blue, 4);
  EXPECT_NE(SquareHueNear(0, 1), -1);

  Click(100, 188);  // straight down: cyan
  const Rgb down = Channels(Form1->CurrentColor);
  EXPECT_LE(down.red, 4);
  EXPECT_GE(down.green, 251);
  EXPECT_GE(down.blue, 251);
  EXPECT_NE(SquareHueNear(180, 1), -1);

  Click(188, 100);  // right: 0x00FF7F
  const Rgb right = Channels(Form1->CurrentColor);
  EXPECT_NEAR(right.red, 0x7F, 4);
  EXPECT_EQ(right.green, 255);
  EXPECT_LE(right.blue, 4);
  EXPECT_NE(SquareHueNear(90, 1), -1);
  // The colour taken is the full-strength ring pixel, not a square colour.
  EXPECT_EQ(Form1->CurrentColor, At(188, 100));

  Click(12, 100);  // left: 0xFF0080
  const Rgb left = Channels(Form1->CurrentColor);
  EXPECT_NEAR(left.red, 0x80, 4);
  EXPECT_LE(left.green, 4);
  EXPECT_EQ(left.blue, 255);
  EXPECT_NE(SquareHueNear(270, 1), -1);
}

TEST_F(HsvPickerTest, WhiteClicksChangeNothing) {
  Form1->CurrentColor = 0x123456;
  const std::vector<TColor> before = Square();
  for (auto [x, y] : {std::pair{150, 100}, {2, 2}, {197, 197}, {60, 40}}) {
    Click(x, y);
    EXPECT_EQ(Form1->CurrentColor, 0x123456) << x << "," << y;
  }
  EXPECT_EQ(Square(), before);
}

TEST_F(HsvPickerTest, SquareClicksTakeThePixelAndLeaveTheSquare) {
  Click(100, 188);  // cyan square first, so the pick is not the start picture
  const std::vector<TColor> before = Square();
  Click(120, 70);
  EXPECT_EQ(Form1->CurrentColor, At(120, 70));
  Click(50, 50);
  EXPECT_EQ(Form1->CurrentColor, 0);
  Click(149, 149);
  EXPECT_EQ(Form1->CurrentColor, At(149, 149));
  EXPECT_NE(Form1->CurrentColor, HsvToColor(0, 0.99, 0.99));
  EXPECT_EQ(Square(), before);
}

TEST_F(HsvPickerTest, EveryButtonAndModifierActsAlike) {
  Click(100, 188, mbRight, ssRight | ssShift);
  const TColor cyan = Form1->CurrentColor;
  EXPECT_NE(SquareHueNear(180, 1), -1);
  Click(100, 12, mbMiddle, ssMiddle | ssCtrl | ssAlt);
  EXPECT_NE(SquareHueNear(0, 1), -1);
  Click(100, 188, mbLeft, 0);
  EXPECT_EQ(Form1->CurrentColor, cyan);
  // And through the image control, as a real press arrives.
  QTest::mousePress(Form7->Image1->Widget(), Qt::RightButton, {}, QPoint(188, 100));
  QTest::mouseRelease(Form7->Image1->Widget(), Qt::RightButton, {}, QPoint(188, 100));
  EXPECT_EQ(Form1->CurrentColor, At(188, 100));
  EXPECT_NE(SquareHueNear(90, 1), -1);
}

TEST_F(HsvPickerTest, HidingAndShowingKeepsTheLastHue) {
  Click(188, 100);
  const std::vector<TColor> square = Square();
  Form7->SetVisible(false);
  Form7->SetVisible(true);
  EXPECT_EQ(Square(), square);
  EXPECT_NE(SquareHueNear(90, 1), -1);
}

// One spoke per degree on a 1000 x 1000 ring: neighbouring spokes lie about
// 8 pixels apart at radius 470, so each shows its own colour there.
TEST_F(HsvPickerTest, SpokeColoursFollowTheRampTable) {
  TBitmap bitmap;
  bitmap.SetWidth(1000);
  bitmap.SetHeight(1000);
  Form7->DrawHueRing(bitmap.Canvas(), Rect(0, 0, 1000, 1000), 1);
  struct Spoke {
    int degrees;
    TColor colour;
  };
  const Spoke spokes[] = {
      {0, 0x0000FF},   {30, 0x0080FF},  {62, 0x00FFF7},  {150, 0x80FF00}, {180, 0xFFFF00},
      {210, 0xFF7F00}, {300, 0xFF00FF}, {330, 0x7F00FF}, {359, 0x0400FF},
  };
  for (const Spoke& s : spokes) {
    const double rad = s.degrees * std::numbers::pi / 180;
    const int x = static_cast<int>(std::lround(500 + 470 * std::sin(rad)));
    const int y = static_cast<int>(std::lround(500 - 470 * std::cos(rad)));
    bool found = false;
    for (int dy = -1; dy <= 1; ++dy)
      for (int dx = -1; dx <= 1; ++dx) found |= bitmap.Canvas()->Pixel(x + dx, y + dy) == s.colour;
    EXPECT_TRUE(found) << s.degrees << " degrees near " << x << "," << y;
  }
  // Straight right and left the spokes run along 90.1 and 270.1 degrees
  // (tan is unbounded at 90 and 270), one to two rows off the centre row.
  const auto row = [&](int x, int y0, int y1) {
    std::vector<TColor> column;
    for (int y = y0; y <= y1; ++y) column.push_back(bitmap.Canvas()->Pixel(x, y));
    return column;
  };
  const std::vector<TColor> right = row(950, 499, 502);
  EXPECT_NE(std::find(right.begin(), right.end(), 0x00FF7F), right.end());  // (127, 255, 0)
  const std::vector<TColor> left = row(50, 497, 500);
  EXPECT_NE(std::find(left.begin(), left.end(), 0xFF0080), left.end());  // (128, 0, 255)
}

// The ring is painted through a clip that serves only its own copy: drawing
// on the canvas afterwards, in the same event, is not clipped.
TEST_F(HsvPickerTest, DrawingAfterTheRingIsNotClipped) {
  TBitmap bitmap;
  bitmap.SetWidth(40);
  bitmap.SetHeight(40);
  Form7->DrawHueRing(bitmap.Canvas(), Rect(0, 0, 40, 40), 1);
  EXPECT_EQ(bitmap.Canvas()->Pixel(20, 20), clWhite);
  EXPECT_EQ(Channels(bitmap.Canvas()->Pixel(20, 1)).red, 255);  // the ring at the top
  EXPECT_FALSE(bitmap.Canvas()->HasClipRegion());
  bitmap.Canvas()->SetPixel(20, 20, clBlack);
  EXPECT_EQ(bitmap.Canvas()->Pixel(20, 20), clBlack);
}

}  // namespace
