// The tablet context, the poll and the pressure gate, with a scripted library.
#include <string>
#include <vector>

#include "brush/brush_window.h"
#include "colour/colour_chart_window.h"
#include "colour/palette_window.h"
#include "support/picture_test_util.h"
#include "support/tablet_test_fixture.h"

namespace {

using PressureGateTest = ScriptedTabletTest;

int CountCalls(const ScriptedTabletLibrary& tablet, const std::string& name) {
  int n = 0;
  for (const auto& call : tablet.Calls()) n += call.name == name;
  return n;
}

TBitmap& CanvasBitmap() {
  return *Form1->Image1->Picture()->Bitmap();
}

TEST_F(PressureGateTest, CreationOpensOneContextWithScreenOutputAndA32PacketQueue) {
  EXPECT_TRUE(Form1->TabletAvailable);
  EXPECT_EQ(Form1->TabletContext, ScriptedTabletLibrary::kHandle);
  ASSERT_EQ(tablet_->CallNames(), (std::vector<std::string>{"WTInfoA", "WTOpenA", "WTQueueSizeSet"}));
  EXPECT_EQ(tablet_->Calls()[0].count, 400) << "default system context, whole record";
  EXPECT_EQ(tablet_->Calls()[1].count, 1) << "opened enabled";
  EXPECT_EQ(tablet_->Calls()[2].context, ScriptedTabletLibrary::kHandle);
  EXPECT_EQ(tablet_->Calls()[2].count, 32);
  EXPECT_EQ(tablet_->OpenedWindow(), Form1);

  const TLogContext& ctx = tablet_->OpenedContext();
  EXPECT_EQ(ctx.lcPktData, 0x580u);
  EXPECT_EQ(ctx.lcPktMode, 0u);
  EXPECT_EQ(ctx.lcMoveMask, 0x580u);
  EXPECT_EQ(ctx.lcBtnDnMask, tablet_->defaults.lcBtnDnMask) << "kept from the defaults";
  EXPECT_EQ(ctx.lcBtnUpMask, tablet_->defaults.lcBtnDnMask);
  EXPECT_EQ(ctx.lcOutOrgX, 0);
  EXPECT_EQ(ctx.lcOutOrgY, 0);
  EXPECT_EQ(ctx.lcOutExtX, Screen->Width());
  EXPECT_EQ(ctx.lcOutExtY, -Screen->Height());
}

TEST_F(PressureGateTest, PollKeepsTheNewestPressureOfAllPackets) {
  tablet_->QueuePressures({0, 300, 150, 180, 120});
  const std::size_t before = tablet_->Calls().size();
  EXPECT_TRUE(Form1->TabletPressureIsLight());
  EXPECT_EQ(Form1->PacketCount, 5);
  EXPECT_EQ(Form1->LastPressure, 120);

  // Brought to the top, then drained into the 32-packet buffer.
  ASSERT_EQ(tablet_->Calls().size(), before + 2);
  const auto& overlap = tablet_->Calls()[before];
  const auto& get = tablet_->Calls()[before + 1];
  EXPECT_EQ(overlap.name, "WTOverlap");
  EXPECT_EQ(overlap.count, 1);
  EXPECT_EQ(get.name, "WTPacketsGet");
  EXPECT_EQ(get.count, 32);
  EXPECT_EQ(get.context, ScriptedTabletLibrary::kHandle);

  // Nothing new: the pen sent nothing, so the event passes.
  EXPECT_FALSE(Form1->TabletPressureIsLight());
  EXPECT_EQ(Form1->PacketCount, 0);
  EXPECT_EQ(Form1->LastPressure, 0);
}

TEST_F(PressureGateTest, OnlyPressuresOneTo200AreLight) {
  const struct {
    std::uint32_t pressure;
    bool light;
  } cases[] = {{0, false}, {1, true}, {2, true}, {199, true}, {200, true}, {201, false}, {1023, false}};
  for (const auto& c : cases) {
    tablet_->QueuePressures({c.pressure});
    EXPECT_EQ(Form1->TabletPressureIsLight(), c.light) << "pressure " << c.pressure;
    EXPECT_EQ(Form1->LastPressure, static_cast<int>(c.pressure));
  }
}

TEST_F(PressureGateTest, APollTakesAtMost32PacketsAndLeavesTheRestQueued) {
  std::vector<std::uint32_t> pressures(40, 500);
  pressures[31] = 150;  // the newest of the first 32
  tablet_->QueuePressures(pressures);
  EXPECT_TRUE(Form1->TabletPressureIsLight());
  EXPECT_EQ(Form1->PacketCount, 32);
  EXPECT_FALSE(Form1->TabletPressureIsLight());
  EXPECT_EQ(Form1->PacketCount, 8);
  EXPECT_EQ(Form1->LastPressure, 500);
}

TEST_F(PressureGateTest, ACountBeyondTheBufferFromTheLibraryIsNotTrusted) {
  tablet_->QueuePressures({150});
  tablet_->ClaimPacketCount(1000);
  Form1->PollTabletPressure();
  EXPECT_EQ(Form1->PacketCount, 32);
  tablet_->ClaimPacketCount(-5);
  Form1->PollTabletPressure();
  EXPECT_EQ(Form1->PacketCount, 0);
  EXPECT_EQ(Form1->LastPressure, 0);
}

// Size 1 draws one-pixel lines and an empty dot, so only the lines show.
TEST_F(PressureGateTest, LightDragPaintsNothingAndTheLineResumesFromTheLastDroppedPoint) {
  Form2->ScrollBar1->SetPosition(1);
  Form1->Image1MouseDown(Form1->Image1, mbLeft, ssLeft, 2, 2);
  tablet_->QueuePressures({150});
  Form1->Image1MouseMove(Form1->Image1, ssLeft, 6, 2);
  tablet_->QueuePressures({300, 200});
  Form1->Image1MouseMove(Form1->Image1, ssLeft, 6, 5);
  EXPECT_EQ(LastX, 6);
  EXPECT_EQ(LastY, 5);
  tablet_->QueuePressures({201});
  Form1->Image1MouseMove(Form1->Image1, ssLeft, 9, 5);
  Form1->Image1MouseMove(Form1->Image1, ssLeft, 9, 7);  // no packet: passes
  ExpectPicture(CanvasBitmap(), 0, 0,
                {"............", "............", "............", "............", "............",
                 "......####..", ".........#..", "............", "............"});
}

TEST_F(PressureGateTest, APressUnderLightPressureStillStampsItsDotWithoutPolling) {
  Form2->SpeedButton2->SetDown(true);  // square: a plain 2 x 2 fill at size 3
  Form2->ScrollBar1->SetPosition(3);
  tablet_->QueuePressures({100});
  Form1->Image1MouseDown(Form1->Image1, mbLeft, ssLeft, 5, 5);
  ExpectPicture(CanvasBitmap(), 2, 2, {"......", "......", "..##..", "..##..", "......", "......"});
  EXPECT_EQ(CountCalls(*tablet_, "WTPacketsGet"), 0);
}

// What a gated palette event paints must be what the same event paints with
// no tablet packet at all, shifted; a dropped one paints nothing.
TEST_F(PressureGateTest, PaletteDropsLightPressesAndMoves) {
  Form2->ScrollBar1->SetPosition(6);
  TBitmap& palette = Form4->Image1->Canvas()->Bitmap();
  ASSERT_GE(palette.Width(), 110);
  ASSERT_GE(palette.Height(), 140);
  const auto blank = PictureOf(palette, 10, 10, 100, 60);
  ASSERT_EQ(blank, PictureOf(palette, 10, 80, 100, 60)) << "a blank palette to start";

  tablet_->QueuePressures({150});
  Form4->Image1MouseDown(Form4->Image1, mbLeft, ssLeft, 20, 20);
  tablet_->QueuePressures({120});
  Form4->Image1MouseMove(Form4->Image1, ssLeft, 60, 40);
  EXPECT_EQ(PictureOf(palette, 10, 10, 100, 60), blank);

  // Passing events at y 20..40, the same without a tablet packet at y 90..110.
  tablet_->QueuePressures({300});
  Form4->Image1MouseDown(Form4->Image1, mbLeft, ssLeft, 20, 20);
  tablet_->QueuePressures({0});
  Form4->Image1MouseMove(Form4->Image1, ssLeft, 60, 40);
  Form4->Image1MouseDown(Form4->Image1, mbLeft, ssLeft, 20, 90);
  Form4->Image1MouseMove(Form4->Image1, ssLeft, 60, 110);
  const auto painted = PictureOf(palette, 10, 10, 100, 60);
  EXPECT_NE(painted, blank);
  EXPECT_EQ(painted, PictureOf(palette, 10, 80, 100, 60));
}

TEST_F(PressureGateTest, ChartDropsALightLeftPressButNeverGatesTheDialog) {
  TCanvas* chart = Form3->Image1->Canvas();
  const TColor red = chart->Pixel(140, 96);
  Form1->CurrentColor = clBlue;

  tablet_->QueuePressures({180});
  Form3->Image1MouseDown(Form3->Image1, mbLeft, ssLeft, 140, 96);
  EXPECT_EQ(Form1->CurrentColor, clBlue);
  EXPECT_EQ(chart->Pixel(10, 30), clWhite) << "swatch not repainted";

  tablet_->QueuePressures({201});
  Form3->Image1MouseDown(Form3->Image1, mbLeft, ssLeft, 140, 96);
  EXPECT_EQ(Form1->CurrentColor, red);
  EXPECT_EQ(chart->Pixel(10, 30), red);

  const int polls = CountCalls(*tablet_, "WTPacketsGet");
  tablet_->QueuePressures({100});
  Testing::AnswerColorDialog(0x123456);
  Form3->Image1MouseDown(Form3->Image1, mbRight, ssRight, 140, 96);
  EXPECT_EQ(Form1->CurrentColor, 0x123456);
  EXPECT_EQ(CountCalls(*tablet_, "WTPacketsGet"), polls);
}

// The library is installed but not present: the program must never call it.
class MissingTabletTest : public ScriptedTabletTest {
 protected:
  bool LibraryPresent() override { return false; }
  void CheckCallsAfterRelease() override { EXPECT_TRUE(tablet_->CallNames().empty()); }
};

TEST_F(MissingTabletTest, EverythingPaintsAndNoTabletCallIsMade) {
  EXPECT_EQ(TabletLibrary(), nullptr);
  EXPECT_FALSE(Form1->TabletAvailable);
  EXPECT_EQ(Form1->TabletContext, 0u);
  tablet_->QueuePressures({150, 150, 150, 150});  // would drop every event if read

  Form2->ScrollBar1->SetPosition(1);
  Form1->Image1MouseDown(Form1->Image1, mbLeft, ssLeft, 1, 1);
  Form1->Image1MouseMove(Form1->Image1, ssLeft, 4, 1);
  ExpectPicture(CanvasBitmap(), 0, 0, {"......", ".###..", "......"});
  EXPECT_FALSE(Form1->TabletPressureIsLight());

  Form2->ScrollBar1->SetPosition(6);
  Form4->Image1MouseDown(Form4->Image1, mbLeft, ssLeft, 20, 20);
  EXPECT_EQ(Form4->Image1->Canvas()->Pixel(20, 20), clBlack);
  Form3->Image1MouseDown(Form3->Image1, mbLeft, ssLeft, 140, 30);
  EXPECT_EQ(Form1->CurrentColor, clWhite);
  EXPECT_TRUE(tablet_->CallNames().empty());
}

}  // namespace
