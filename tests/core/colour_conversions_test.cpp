#include "core/colour_conversions.h"

#include <gtest/gtest.h>

namespace {

struct Hsv {
  int hue, saturation, value;
};

Hsv ToHsv(int red, int green, int blue, int startHue = 0) {
  Hsv r{startHue, -1, -1};
  ColorToHsv(red, green, blue, r.hue, r.saturation, r.value);
  return r;
}

TEST(HsvToColorTest, PrimariesAndSecondariesAtFullStrength) {
  EXPECT_EQ(HsvToColor(0, 1, 1), 0x0000FF);
  EXPECT_EQ(HsvToColor(60, 1, 1), 0x00FFFF);
  EXPECT_EQ(HsvToColor(120, 1, 1), 0x00FF00);
  EXPECT_EQ(HsvToColor(180, 1, 1), 0xFFFF00);
  EXPECT_EQ(HsvToColor(240, 1, 1), 0xFF0000);
  EXPECT_EQ(HsvToColor(300, 1, 1), 0xFF00FF);
}

TEST(HsvToColorTest, HueIsReducedModulo360WithTruncatingRemainder) {
  // 127.5 in the blue channel rounds to the even 128.
  EXPECT_EQ(HsvToColor(330, 1, 1), 0x8000FF);
  EXPECT_EQ(HsvToColor(-30, 1, 1), 0x8000FF);
  EXPECT_EQ(HsvToColor(720, 1, 1), HsvToColor(0, 1, 1));
  EXPECT_EQ(HsvToColor(-360, 1, 1), 0x0000FF);
  EXPECT_EQ(HsvToColor(-721, 1, 1), HsvToColor(359, 1, 1));
}

TEST(HsvToColorTest, GreysAndBlack) {
  for (int hue : {0, 45, 200, 359}) {
    EXPECT_EQ(HsvToColor(hue, 0, 0.5), 0x808080) << hue;  // 127.5 -> 128
    EXPECT_EQ(HsvToColor(hue, 0.7, 0), 0) << hue;
  }
}

TEST(HsvToColorTest, OutOfRangeSaturationAndValueAreClamped) {
  EXPECT_EQ(HsvToColor(0, 2, 1), 0x0000FF);
  EXPECT_EQ(HsvToColor(0, 1, -1), 0);
  EXPECT_EQ(HsvToColor(0, -0.5, 3), 0xFFFFFF);
}

TEST(HsvToColorTest, IntermediateSectorsUseTheTabulatedChannels) {
  // Hue 90 is sector 1, f = 0.5: red q = 127.5 -> 128, green v, blue p.
  EXPECT_EQ(HsvToColor(90, 1, 1), 0x00FF80);
  // Half saturation, half value: v 127.5 -> 128, p 63.75 -> 64.
  EXPECT_EQ(HsvToColor(0, 0.5, 0.5), 0x404080);
  EXPECT_EQ(HsvToColor(0, 0.99, 0.99), 0x0303FC);
  EXPECT_EQ(HsvToColor(210, 1, 1), 0xFF8000);
}

TEST(RgbFloatToColorTest, ClampsAndRoundsHalvesToEven) {
  EXPECT_EQ(RgbFloatToColor(1, 0, 0), 0x0000FF);
  EXPECT_EQ(RgbFloatToColor(-1, 2, 0.5), 0x80FF00);
  EXPECT_EQ(RgbFloatToColor(0, 0, 0.5), 0x800000);  // 127.5 -> 128
  EXPECT_EQ(RgbFloatToColor(0, 0.7, 0), 0xB200);    // 0.7 lies below 0.7: 178.4999.. -> 178
}

TEST(SplitColorTest, ChannelsFromTheLowThreeBytes) {
  std::uint8_t r = 0, g = 0, b = 0;
  SplitColor(0x00123456, r, g, b);
  EXPECT_EQ(r, 0x56);
  EXPECT_EQ(g, 0x34);
  EXPECT_EQ(b, 0x12);
  SplitColor(static_cast<TColor>(0xFF0000FF), r, g, b);  // top byte ignored
  EXPECT_EQ(r, 0xFF);
  EXPECT_EQ(g, 0);
  EXPECT_EQ(b, 0);
}

TEST(ColorToHsvTest, BlackAndGreysKeepTheHuePassedIn) {
  const Hsv black = ToHsv(0, 0, 0, 123);
  EXPECT_EQ(black.hue, 123);
  EXPECT_EQ(black.saturation, 0);
  EXPECT_EQ(black.value, 0);
  const Hsv grey = ToHsv(128, 128, 128, 77);
  EXPECT_EQ(grey.hue, 77);
  EXPECT_EQ(grey.saturation, 0);
  EXPECT_EQ(grey.value, 128);
}

TEST(ColorToHsvTest, HuesOfPureColours) {
  const Hsv red = ToHsv(255, 0, 0, 99);
  EXPECT_EQ(red.hue, 0);
  EXPECT_EQ(red.saturation, 255);
  EXPECT_EQ(red.value, 255);
  EXPECT_EQ(ToHsv(0, 255, 0).hue, 120);
  EXPECT_EQ(ToHsv(0, 255, 255).hue, 180);
  EXPECT_EQ(ToHsv(0, 0, 255).hue, 240);
  EXPECT_EQ(ToHsv(255, 0, 255).hue, 300);  // the red formula gives -60
}

TEST(ColorToHsvTest, TiesGoToRedThenGreen) {
  EXPECT_EQ(ToHsv(255, 255, 0).hue, 60);   // red formula: 255 x 60 / 255
  EXPECT_EQ(ToHsv(0, 200, 200).hue, 180);  // green formula: (200/200 + 2) x 60
}

TEST(ColorToHsvTest, RoundingOfHueAndSaturation) {
  const Hsv dark = ToHsv(120, 1, 0);
  EXPECT_EQ(dark.hue, 0);  // Round(0.5)
  EXPECT_EQ(dark.saturation, 255);
  EXPECT_EQ(dark.value, 120);
  const Hsv faint = ToHsv(2, 1, 1);
  EXPECT_EQ(faint.saturation, 128);  // Round(127.5)
  EXPECT_EQ(faint.hue, 0);
  EXPECT_EQ(faint.value, 2);
}

TEST(ColorToHsvTest, RingColoursRoundTrip) {
  // Every full-strength colour of the hue circle maps back to its hue.
  for (int hue = 0; hue < 360; hue += 15) {
    std::uint8_t r = 0, g = 0, b = 0;
    SplitColor(HsvToColor(hue, 1, 1), r, g, b);
    EXPECT_NEAR(ToHsv(r, g, b).hue, hue, 1) << hue;
  }
}

TEST(HsvDegreesToColorTest, WholeDegreesGiveExactlyWhatHsvToColorGives) {
  for (int hue = -360; hue <= 720; ++hue) {
    for (int step = 0; step <= 100; step += 7) {
      const double s = step * 0.01, v = 1.0 - step * 0.005;
      ASSERT_EQ(HsvDegreesToColor(hue, s, v), HsvToColor(hue, s, v)) << hue << " " << s << " " << v;
    }
  }
  EXPECT_EQ(HsvDegreesToColor(30.5L, 1, 1), 0x0082FF);  // between whole degrees: 129.625
}

TEST(HueRampColorTest, MidpointsRoundUpRisingAndDownFalling) {
  EXPECT_EQ(HueRampColor(150, 5), 0x0080FF);   // a = 30: (255, 128, 0)
  EXPECT_EQ(HueRampColor(450, 5), 0x00FF7F);   // a = 90: (127, 255, 0)
  EXPECT_EQ(HueRampColor(1350, 5), 0xFF0080);  // a = 270: (128, 0, 255)
  EXPECT_EQ(HueRampColor(1650, 5), 0x7F00FF);  // a = 330: (255, 0, 127)
  EXPECT_EQ(HueRampColor(0, 5), 0x0000FF);
  EXPECT_EQ(HueRampColor(900, 5), 0xFFFF00);  // a = 180: cyan
  EXPECT_EQ(HsvToColor(90, 1, 1), 0x00FF80) << "the square's rule rounds both midpoints up";
}

}  // namespace
