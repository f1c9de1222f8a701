// The colour chart: its generated picture, the window, and the click rules.
#include <QTest>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "colour/colour_chart_picture.h"
#include "colour/colour_chart_window.h"
#include "support/picture_test_util.h"
#include "support/window_set_fixture.h"

namespace {

struct Rgb {
  int r, g, b;
};
Rgb Channels(TColor c) {
  return {c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF};
}
bool IsGrey(TColor c) {
  const Rgb v = Channels(c);
  return v.r == v.g && v.g == v.b;
}

class ChartPictureTest : public testing::Test {
 protected:
  void SetUp() override { DrawColourChart(chart_); }
  TColor At(int x, int y) { return chart_.Canvas()->Pixel(x, y); }
  TBitmap chart_;
};

TEST_F(ChartPictureTest, GreyRampRunsFromBlackToWhiteInEqualRows) {
  ASSERT_EQ(chart_.Width(), 150);
  ASSERT_EQ(chart_.Height(), 174);
  EXPECT_EQ(chart_.PixelDepth(), 24);
  int previous = -1;
  for (int x = 3; x <= 141; ++x) {
    const TColor top = At(x, 4);
    ASSERT_TRUE(IsGrey(top)) << x;
    const int level = Channels(top).r;
    EXPECT_GE(level, previous) << x;
    if (previous >= 0) EXPECT_LE(level - previous, 2) << x;
    previous = level;
    for (int y = 5; y <= 17; ++y) ASSERT_EQ(At(x, y), top) << x << "," << y;
  }
  EXPECT_EQ(At(3, 10), clBlack);
  EXPECT_EQ(At(141, 10), clWhite);
  for (int y = 3; y <= 18; ++y) {
    EXPECT_EQ(At(2, y), clWhite);
    EXPECT_EQ(At(142, y), clWhite);
  }
}

// Screen angles counter-clockwise from the right, at radius 70.
TEST_F(ChartPictureTest, DiscHasRedAtTheRightAndHuesCounterClockwise) {
  const struct {
    int degrees;
    Rgb expected;  // 255 for a full channel, 0 for an empty one
    const char* name;
  } hues[] = {{0, {255, 0, 0}, "red"},      {60, {255, 255, 0}, "yellow"}, {120, {0, 255, 0}, "green"},
              {180, {0, 255, 255}, "cyan"}, {240, {0, 0, 255}, "blue"},    {300, {255, 0, 255}, "magenta"}};
  for (const auto& hue : hues) {
    const double a = hue.degrees * 3.14159265358979 / 180.0;
    const int x = static_cast<int>(std::lround(74 + 70 * std::cos(a)));
    const int y = static_cast<int>(std::lround(96 - 70 * std::sin(a)));
    const Rgb got = Channels(At(x, y));
    const int channels[3][2] = {{got.r, hue.expected.r}, {got.g, hue.expected.g}, {got.b, hue.expected.b}};
    for (const auto& [value, full] : channels) {
      if (full) EXPECT_GE(value, 250) << hue.name;
      if (!full) EXPECT_LE(value, 20) << hue.name;
    }
  }
  EXPECT_EQ(At(74, 96), clWhite) << "unsaturated at the centre";
}

// Every pixel outside the ramp is white, a bright disc colour inside the disc's
// box, or a soft shadow grey to the disc's lower right.
TEST_F(ChartPictureTest, DiscAndShadowKeepToTheirPlaces) {
  TRect disc{1000, 1000, -1, -1};
  int shadowRight = -1, shadowBottom = -1;
  for (int y = 0; y < 174; ++y) {
    for (int x = 0; x < 150; ++x) {
      if (x >= 3 && x <= 141 && y >= 4 && y <= 17) continue;
      const TColor c = At(x, y);
      if (c == clWhite) continue;
      const Rgb v = Channels(c);
      const double distance = std::hypot(x - 74, y - 96);
      if (IsGrey(c) && v.r >= 210 && v.r <= 242 && distance > 72) {
        EXPECT_GT(x + y, 74 + 96) << "shadow off the lower right at " << x << "," << y;
        shadowRight = std::max(shadowRight, x);
        shadowBottom = std::max(shadowBottom, y);
        continue;
      }
      ASSERT_GE(std::max({v.r, v.g, v.b}), 250) << "disc at " << x << "," << y;
      disc = {std::min(disc.Left, x), std::min(disc.Top, y), std::max(disc.Right, x + 1),
              std::max(disc.Bottom, y + 1)};
    }
  }
  EXPECT_EQ(disc, Rect(2, 24, 147, 169));
  EXPECT_EQ(shadowRight, 149);
  EXPECT_EQ(shadowBottom, 173);
  for (int y = 24; y <= 39; ++y) {
    for (int x = 4; x <= 21; ++x) ASSERT_EQ(At(x, y), clWhite) << "swatch " << x << "," << y;
  }
}

TEST_F(ChartPictureTest, SavesAs24BitAndReadsBackTheSame) {
  const std::string path = testing::TempDir() + "chart.bmp";
  chart_.SaveToFile(path);
  std::ifstream file(path, std::ios::binary);
  const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(file), {}};
  ASSERT_GT(bytes.size(), 30u);
  EXPECT_EQ(bytes[28] | bytes[29] << 8, 24) << "bits per pixel";
  TBitmap back;
  back.LoadFromFile(path);
  EXPECT_EQ(back.PixelDepth(), 24);
  EXPECT_TRUE(std::equal(back.Bits(), back.Bits() + 150 * 174, chart_.Bits()));
}

// The swatch with a margin: x 2..23, y 22..41; 'S' marks the swatch.
std::vector<std::string> SwatchPicture(char swatch) {
  std::vector<std::string> rows(20, std::string(22, '.'));
  for (int y = 2; y < 18; ++y) std::fill(rows[y].begin() + 2, rows[y].begin() + 20, swatch);
  return rows;
}

class ColourChartTest : public WindowSetTest {
 protected:
  void Press(TShiftState shift, int x, int y) {
    const TMouseButton button = shift & ssLeft ? mbLeft : shift & ssRight ? mbRight : mbMiddle;
    Form3->Image1MouseDown(Form3->Image1, button, shift, x, y);
  }
  void ExpectSwatch(char swatch, TColor colour) {
    PictureLegend legend = DefaultLegend();
    legend['c'] = colour;
    ExpectPicture(*Form3->Image1->Picture()->Bitmap(), 2, 22, SwatchPicture(swatch), legend);
  }
};

TEST_F(ColourChartTest, WindowIsADialogThatStaysHiddenWithSixteenWhiteCustomColours) {
  EXPECT_EQ(Form3->Caption(), "Color");
  EXPECT_EQ(Form3->ClientWidth(), 149);
  EXPECT_EQ(Form3->ClientHeight(), 175);
  EXPECT_EQ(Form3->Image1->Width(), 149);
  EXPECT_EQ(Form3->Image1->Height(), 175);
  EXPECT_FALSE(Form3->Visible());
  EXPECT_EQ(Form3->ColorDialog1->CustomColors(),
            (std::vector<std::string>{"ColorA=FFFFFF", "ColorB=FFFFFF", "ColorC=FFFFFF", "ColorD=FFFFFF",
                                      "ColorE=FFFFFF", "ColorF=FFFFFF", "ColorG=FFFFFF", "ColorH=FFFFFF",
                                      "ColorI=FFFFFF", "ColorJ=FFFFFF", "ColorK=FFFFFF", "ColorL=FFFFFF",
                                      "ColorM=FFFFFF", "ColorN=FFFFFF", "ColorO=FFFFFF", "ColorP=FFFFFF"}));
}

TEST_F(ColourChartTest, LeftClickTakesThePixelAndShowsItInTheSwatch) {
  const TColor disc = Form3->Image1->Canvas()->Pixel(140, 96);
  Press(ssLeft, 140, 96);
  EXPECT_EQ(Form1->CurrentColor, disc);
  EXPECT_EQ(Channels(disc).r, 255);
  ExpectSwatch('c', disc);

  Press(ssLeft, 140, 30);  // background
  EXPECT_EQ(Form1->CurrentColor, clWhite);
  ExpectSwatch('.', clWhite);
}

TEST_F(ColourChartTest, ClickBelowThePictureGivesTheOutsideValueWhichDrawsBlack) {
  Press(ssLeft, 10, 174);
  EXPECT_EQ(Form1->CurrentColor, static_cast<TColor>(0xFFFFFFFF));
  ExpectSwatch('#', clBlack);
  Testing::AnswerColorDialog(std::nullopt);
  Press(ssRight, 10, 174);
  EXPECT_EQ(Form1->CurrentColor, static_cast<TColor>(0xFFFFFFFF));
  ExpectSwatch('#', clBlack);
}

TEST_F(ColourChartTest, DialogSetsTheColourAndACancelRepaintsTheCurrentOne) {
  Testing::AnswerColorDialog(0x123456);
  Press(ssRight, 140, 96);
  EXPECT_EQ(Form1->CurrentColor, 0x123456);
  ExpectSwatch('c', 0x123456);

  // The swatch is part of the picture, so a left click on it picks its colour.
  Form1->CurrentColor = clRed;
  Press(ssLeft, 12, 30);
  EXPECT_EQ(Form1->CurrentColor, 0x123456);

  Form1->CurrentColor = 0x00FF00;
  Testing::AnswerColorDialog(std::nullopt);
  Press(ssMiddle, 140, 96);
  EXPECT_EQ(Form1->CurrentColor, 0x00FF00);
  ExpectSwatch('c', 0x00FF00);
  EXPECT_EQ(Testing::PendingAnswers(), 0);
}

TEST_F(ColourChartTest, MouseEventsReachTheHandlers) {
  QWidget* image = Form3->Image1->Widget();
  QTest::mousePress(image, Qt::LeftButton, {}, QPoint(140, 96));
  QTest::mouseMove(image, QPoint(140, 30));  // a move picks nothing
  QTest::mouseRelease(image, Qt::LeftButton, {}, QPoint(140, 30));
  EXPECT_EQ(Form1->CurrentColor, Form3->Image1->Canvas()->Pixel(140, 96));
  EXPECT_NE(Form1->CurrentColor, clWhite);
}

}  // namespace
