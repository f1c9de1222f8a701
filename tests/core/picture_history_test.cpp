// The undo history: every drawing call is undone and redone exactly, whole
// pictures where the size or format changed, and the byte budget.
#include "core/picture_history.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/bitmap_file.h"
#include "support/picture_test_util.h"

namespace {

constexpr int kTile = TPixelWatcher::kTileSize;
constexpr std::size_t kTileBytes = kTile * kTile * 4;

// A picture whose every pixel differs from its neighbours, so that a tile put
// back one pixel off cannot pass.
void PaintPattern(TBitmap& b) {
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      b.Canvas()->SetPixel(x, y, static_cast<TColor>((x * 7 + y * 131) & 0xFFFFFF));
}

std::unique_ptr<TBitmap> PatternBitmap(int width, int height, int depth = 32) {
  auto b = std::make_unique<TBitmap>();
  TPixelFormat format;
  format.depth = depth;
  if (depth == 8)
    for (int i = 0; i < 256; ++i) format.colorTable.push_back(static_cast<TColor>(i * 0x010203 & 0xFFFFFF));
  b->Assign(width, height, format, std::vector<std::uint32_t>(static_cast<std::size_t>(width) * height), {});
  PaintPattern(*b);
  return b;
}

// Glyphs without a font engine: a checkered box reaching a pixel past the
// text cell on every side.
class CheckeredText : public TTextRenderer {
 public:
  TTextInk Render(const TFont& font, const std::string& text) override {
    TTextInk ink{TextWidth(font, text), 9, -1, -1, TextWidth(font, text) + 2, 11, {}};
    for (int i = 0; i < ink.width * ink.height; ++i) ink.mask.push_back((i % ink.width + i / ink.width) % 2);
    return ink;
  }
  int TextWidth(const TFont&, const std::string& text) override { return 6 * static_cast<int>(text.size()); }
};

void WriteText(TCanvas* c, int x, int y, const std::string& text) {
  CheckeredText renderer;
  SetTextRenderer(&renderer);
  c->TextOut(x, y, text);
  SetTextRenderer(nullptr);
}

struct Drawing {
  const char* name;
  std::function<void(TBitmap&)> draw;
};

// Every way the core writes pixels, on a 150 x 100 picture (tiles cut at its
// edges), including the clipped paths and the direct thin-line path.
std::vector<Drawing> Drawings() {
  const auto ring = [](TCanvas* c) {
    BeginPath(c->Handle());
    c->Ellipse(10, 10, 90, 90);
    c->Ellipse(30, 30, 70, 70);
    EndPath(c->Handle());
    std::unique_ptr<TRegion> region = PathToRegion(c->Handle());
    SelectClipRgn(c->Handle(), region.get());
  };
  return {
      {"pixel", [](TBitmap& b) { b.Canvas()->SetPixel(149, 99, clRed); }},
      {"fill", [](TBitmap& b) { b.Canvas()->FillRect(Rect(60, 20, 140, 90)); }},
      {"whole rows", [](TBitmap& b) { b.Canvas()->FillRect(Rect(-5, 70, 200, 99)); }},
      {"frame", [](TBitmap& b) { b.Canvas()->FrameRect(Rect(1, 1, 149, 99)); }},
      {"thin ellipse",
       [](TBitmap& b) {
         b.Canvas()->Pen->SetWidth(1);
         b.Canvas()->Pen->SetColor(clBlue);
         b.Canvas()->Ellipse(-20, 5, 80, 140);
       }},
      {"wide ellipse",
       [](TBitmap& b) {
         b.Canvas()->Pen->SetWidth(9);
         b.Canvas()->Ellipse(40, 10, 120, 60);
       }},
      {"thin line",
       [](TBitmap& b) {
         b.Canvas()->Pen->SetWidth(1);
         b.Canvas()->MoveTo(0, 99);
         b.Canvas()->LineTo(149, 0);
       }},
      {"wide line",
       [](TBitmap& b) {
         b.Canvas()->Pen->SetWidth(30);
         b.Canvas()->MoveTo(10, 90);
         b.Canvas()->LineTo(140, 15);
       }},
      {"copy from another",
       [](TBitmap& b) {
         auto source = PatternBitmap(40, 40);
         source->Canvas()->FillRect(Rect(0, 0, 20, 20));
         b.Canvas()->CopyRect(Rect(100, 50, 140, 90), source->Canvas(), Rect(0, 0, 40, 40));
       }},
      {"scaled copy within",
       [](TBitmap& b) { b.Canvas()->CopyRect(Rect(0, 0, 150, 100), b.Canvas(), Rect(10, 10, 60, 40)); }},
      {"clipped fill",
       [ring](TBitmap& b) {
         ring(b.Canvas());
         b.Canvas()->Brush->SetColor(clBlue);
         b.Canvas()->FillRect(Rect(0, 0, 150, 100));
         b.Canvas()->ReleaseContext();
       }},
      {"clipped thin line",
       [ring](TBitmap& b) {
         ring(b.Canvas());
         b.Canvas()->Pen->SetWidth(1);
         b.Canvas()->Pen->SetColor(clRed);
         b.Canvas()->MoveTo(0, 50);
         b.Canvas()->LineTo(150, 52);
         b.Canvas()->ReleaseContext();
       }},
      {"clipped copy",
       [ring](TBitmap& b) {
         auto source = PatternBitmap(150, 100);
         source->Canvas()->FillRect(Rect(0, 0, 150, 100));
         ring(b.Canvas());
         b.Canvas()->CopyRect(Rect(0, 0, 150, 100), source->Canvas(), Rect(0, 0, 150, 100));
         b.Canvas()->ReleaseContext();
       }},
      {"hollow ellipse",
       [](TBitmap& b) {
         b.Canvas()->Brush->SetStyle(bsClear);
         b.Canvas()->Pen->SetWidth(3);
         b.Canvas()->Ellipse(20, -10, 130, 95);
         b.Canvas()->Brush->SetStyle(bsSolid);
       }},
      {"clipped wide line",
       [ring](TBitmap& b) {
         ring(b.Canvas());
         b.Canvas()->Pen->SetWidth(7);
         b.Canvas()->MoveTo(5, 5);
         b.Canvas()->LineTo(95, 80);
         b.Canvas()->ReleaseContext();
       }},
      {"text", [](TBitmap& b) { WriteText(b.Canvas(), 130, 0, "abc"); }},
      {"clipped text",
       [ring](TBitmap& b) {
         ring(b.Canvas());
         WriteText(b.Canvas(), 5, 45, "clipped text");
         b.Canvas()->ReleaseContext();
       }},
      {"swapped",
       [](TBitmap& b) {
         TBitmapContents other{20, 10, TPixelFormat{}, std::vector<std::uint32_t>(200, 0xFF654321)};
         b.SwapContents(other);
       }},
      {"wider", [](TBitmap& b) { b.SetWidth(230); }},
      {"shorter", [](TBitmap& b) { b.SetHeight(37); }},
      {"emptied", [](TBitmap& b) { b.SetHeight(0); }},
      {"loaded",
       [](TBitmap& b) { b.Assign(3, 2, TPixelFormat{}, std::vector<std::uint32_t>(6, 0xFF123456), {}); }},
      {"painted, then resized",
       [](TBitmap& b) {
         b.Canvas()->FillRect(Rect(0, 0, 70, 70));
         b.SetWidth(90);
         b.Canvas()->FillRect(Rect(50, 50, 90, 100));
       }},
  };
}

class HistoryTest : public testing::TestWithParam<int> {};

// Each drawing as one step, on a true-colour and on an 8-bit picture: undo
// gives the picture before it, redo the one after, to the last pixel and
// down to size and colour table.
TEST_P(HistoryTest, EveryDrawingIsUndoneAndRedoneExactly) {
  for (const Drawing& d : Drawings()) {
    auto b = PatternBitmap(150, 100, GetParam());
    b->Canvas()->Brush->SetColor(0x336699);
    b->Canvas()->Pen->SetColor(0x996633);
    TPictureHistory history(*b);
    const TBitmapContents before = PictureSnapshot(*b);
    d.draw(*b);
    history.EndStep();
    const TBitmapContents after = PictureSnapshot(*b);
    ASSERT_TRUE(history.CanUndo()) << d.name;
    ASSERT_TRUE(history.Undo()) << d.name;
    ExpectSamePicture(*b, before, std::string(d.name) + " undone");
    ASSERT_TRUE(history.Redo()) << d.name;
    ExpectSamePicture(*b, after, std::string(d.name) + " redone");
    EXPECT_FALSE(history.CanRedo()) << d.name;
  }
}

// All drawings as successive steps: undoing walks back through every
// picture in between, redoing forward again.
TEST_P(HistoryTest, ChainOfStepsWalksBackAndForth) {
  auto b = PatternBitmap(150, 100, GetParam());
  TPictureHistory history(*b);
  std::vector<TBitmapContents> pictures{PictureSnapshot(*b)};
  const std::vector<Drawing> drawings = Drawings();
  for (const Drawing& d : drawings) {
    b->Canvas()->Brush->SetColor(static_cast<TColor>(pictures.size() * 0x0A1B2C & 0xFFFFFF));
    d.draw(*b);
    history.EndStep();
    pictures.push_back(PictureSnapshot(*b));
    ASSERT_EQ(history.UndoCount(), static_cast<int>(pictures.size() - 1)) << d.name << " made no step";
  }
  for (std::size_t i = drawings.size(); i-- > 0;) {
    ASSERT_TRUE(history.Undo());
    ExpectSamePicture(*b, pictures[i], std::string("undone to before ") + drawings[i].name);
  }
  EXPECT_FALSE(history.Undo());
  for (std::size_t i = 0; i < drawings.size(); ++i) {
    ASSERT_TRUE(history.Redo());
    ExpectSamePicture(*b, pictures[i + 1], std::string("redone ") + drawings[i].name);
  }
  EXPECT_FALSE(history.Redo());
}

// Records every pixel announced before a write: it keeps nothing, so every
// announcement reaches it. A replaced picture is noted, not compared.
class AnnouncedArea : public TPixelWatcher {
 public:
  explicit AnnouncedArea(TBitmap& b) : bitmap_(b), seen_(static_cast<std::size_t>(b.Width()) * b.Height()) {
    kept_.Reset(b.Width(), b.Height(), false);
    b.SetWatcher(this);
  }
  ~AnnouncedArea() override { bitmap_.SetWatcher(nullptr); }
  void BeforeReplace(TBitmapContents&, int width, int height) noexcept override {
    replaced_ = true;
    kept_.Reset(width, height, true);
  }
  // Pixels changed since `before` without being announced, and announced
  // tiles farther than a tile from any change.
  std::vector<std::string> Faults(const TBitmapContents& before) const {
    std::vector<std::string> faults;
    if (replaced_) return faults;
    const int w = bitmap_.Width(), h = bitmap_.Height(), tw = (w + kTileSize - 1) / kTileSize;
    std::vector<bool> changedTile(static_cast<std::size_t>(tw) * ((h + kTileSize - 1) / kTileSize));
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const std::size_t i = static_cast<std::size_t>(y) * w + x;
        if (bitmap_.Bits()[i] == before.pixels.Data()[i]) continue;
        changedTile[static_cast<std::size_t>(y / kTileSize) * tw + x / kTileSize] = true;
        if (!seen_[i])
          faults.push_back("written unannounced at " + std::to_string(x) + "," + std::to_string(y));
      }
    const auto changedNear = [&](int tx, int ty) {
      for (int v = std::max(ty - 1, 0); v <= ty + 1 && v * kTileSize < h; ++v)
        for (int u = std::max(tx - 1, 0); u <= tx + 1 && u < tw; ++u)
          if (changedTile[static_cast<std::size_t>(v) * tw + u]) return true;
      return false;
    };
    for (int ty = 0; ty * kTileSize < h; ++ty)
      for (int tx = 0; tx < tw; ++tx)
        if (Announced(tx, ty) && !changedNear(tx, ty))
          faults.push_back("announced far from any change: tile " + std::to_string(tx) + "," +
                           std::to_string(ty));
    return faults;
  }
  // A write that tells nobody, as a forgetful drawing call would make it.
  void WriteUnannounced(int x, int y) { UnannouncedRow(bitmap_, y)[x] ^= 0xFFFFFF; }

 protected:
  void Keep(int x0, int y0, int x1, int y1) noexcept override {
    if (replaced_) return;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) seen_[static_cast<std::size_t>(y) * bitmap_.Width() + x] = true;
  }

 private:
  bool Announced(int tx, int ty) const {
    for (int y = ty * kTileSize; y < std::min((ty + 1) * kTileSize, bitmap_.Height()); ++y)
      for (int x = tx * kTileSize; x < std::min((tx + 1) * kTileSize, bitmap_.Width()); ++x)
        if (seen_[static_cast<std::size_t>(y) * bitmap_.Width() + x]) return true;
    return false;
  }
  TBitmap& bitmap_;
  std::vector<bool> seen_;
  bool replaced_ = false;
};

// Every drawing announces what it changes before writing, and not much more;
// the check itself catches a planted unannounced write and a needless
// announcement of the whole picture.
TEST_P(HistoryTest, EveryChangedPixelIsAnnouncedFirst) {
  for (const Drawing& d : Drawings()) {
    auto b = PatternBitmap(150, 100, GetParam());
    b->Canvas()->Brush->SetColor(0x336699);
    b->Canvas()->Pen->SetColor(0x996633);
    const TBitmapContents before = PictureSnapshot(*b);
    AnnouncedArea announced(*b);
    d.draw(*b);
    EXPECT_EQ(announced.Faults(before), std::vector<std::string>{}) << d.name;
  }
  auto b = PatternBitmap(150, 100, GetParam());
  const TBitmapContents before = PictureSnapshot(*b);
  AnnouncedArea planted(*b);
  b->Canvas()->SetPixel(3, 3, clRed);
  planted.WriteUnannounced(120, 70);
  EXPECT_EQ(planted.Faults(before), std::vector<std::string>{"written unannounced at 120,70"});
  planted.BeforeWrite(0, 0, 150, 100);
  // 70 tiles, 13 of them at or beside the two changes.
  EXPECT_EQ(planted.Faults(before).size(), 70u - 13);
}

// A one-pixel line across a 4K picture keeps only the tiles along it.
TEST(HistoryTest4K, ThinLineKeepsOnlyTheTilesItCrosses) {
  TBitmap b;
  b.SetWidth(3840);
  b.SetHeight(2160);
  TPictureHistory history(b);
  b.Canvas()->MoveTo(0, 0);
  b.Canvas()->LineTo(3839, 2159);
  // It crosses 375 of the 32,400 tiles.
  EXPECT_LE(history.BytesHeld(), 800 * kTileBytes);
}

INSTANTIATE_TEST_SUITE_P(Depths, HistoryTest, testing::Values(32, 8),
                         [](const testing::TestParamInfo<int>& info) {
                           return std::to_string(info.param) + "bit";
                         });

TEST(HistoryFileTest, EightBitPicturePaintedAndUndoneSavesTheSameBytes) {
  auto b = PatternBitmap(70, 45, 8);
  const std::vector<std::uint8_t> original = WriteBitmapFile(*b);
  TPictureHistory history(*b);
  b->Canvas()->Pen->SetWidth(12);
  b->Canvas()->Pen->SetColor(0x00FF00);
  b->Canvas()->MoveTo(0, 0);
  b->Canvas()->LineTo(69, 44);
  history.EndStep();
  ASSERT_NE(WriteBitmapFile(*b), original);
  ASSERT_TRUE(history.Undo());
  EXPECT_EQ(b->PixelDepth(), 8);
  EXPECT_EQ(WriteBitmapFile(*b), original);
}

TEST(HistoryStepTest, StepsEndOnlyWhereTheyAreEnded) {
  auto b = PatternBitmap(100, 100);
  TPictureHistory history(*b);
  const TBitmapContents before = PictureSnapshot(*b);
  // A press, nested moves, then the release: one step.
  b->Canvas()->SetPixel(5, 5, clRed);
  b->Canvas()->FillRect(Rect(70, 70, 90, 90));
  b->Canvas()->SetPixel(6, 5, clBlue);
  history.EndStep();
  EXPECT_EQ(history.UndoCount(), 1);
  history.Undo();
  ExpectSamePicture(*b, before, "one step undone");
}

TEST(HistoryStepTest, CommandIsOneStepAndTakesNestedCommands) {
  auto b = PatternBitmap(100, 100);
  TPictureHistory history(*b);
  b->Canvas()->SetPixel(1, 1, clRed);  // in progress when the command begins
  const TBitmapContents painted = PictureSnapshot(*b);
  {
    TPictureHistory::Command open(history);
    b->Assign(20, 10, TPixelFormat{}, std::vector<std::uint32_t>(200, 0xFF000000), {});
    TPictureHistory::Command nudge(history, true);
    b->SetWidth(21);
    history.EndStep();  // a press nested in the command does not split it
    b->SetWidth(20);
  }
  EXPECT_EQ(history.UndoCount(), 2);
  history.Undo();
  ExpectSamePicture(*b, painted, "command undone");
}

TEST(HistoryStepTest, UnchangedPixelsMakeNoStepAndKeepRedo) {
  auto b = PatternBitmap(100, 100);
  TPictureHistory history(*b);
  b->Canvas()->FillRect(Rect(0, 0, 10, 10));
  history.EndStep();
  history.Undo();
  ASSERT_TRUE(history.CanRedo());
  const std::size_t held = history.BytesHeld();
  // Painting what is there already: the colour the pattern has at (40, 40).
  b->Canvas()->SetPixel(40, 40, b->Canvas()->Pixel(40, 40));
  history.EndStep();
  EXPECT_FALSE(history.CanUndo());
  EXPECT_TRUE(history.CanRedo());
  EXPECT_EQ(history.BytesHeld(), held);
  // A step that changes something empties the redo list.
  b->Canvas()->SetPixel(40, 40, clRed);
  history.EndStep();
  EXPECT_TRUE(history.CanUndo());
  EXPECT_FALSE(history.CanRedo());
}

TEST(HistoryStepTest, ResizesInARowAreOneStepAndBackToTheStartNone) {
  auto b = PatternBitmap(100, 100);
  TPictureHistory history(*b);
  const TBitmapContents before = PictureSnapshot(*b);
  const auto resize = [&](int w) {
    TPictureHistory::Command command(history, true);
    b->SetWidth(w);
  };
  resize(80);
  resize(120);
  EXPECT_EQ(history.UndoCount(), 1);
  history.Undo();
  ExpectSamePicture(*b, before, "two resizes undone");
  history.Redo();
  // Wider and back again loses no pixel: no step at all.
  resize(200);
  resize(120);
  EXPECT_EQ(history.UndoCount(), 1);
  history.Undo();
  ExpectSamePicture(*b, before, "the first two resizes undone");
}

// ---- Memory ----

// What one step of one whole tile costs, as the history counts it.
std::size_t CostOfOneTileStep() {
  auto b = PatternBitmap(kTile, kTile);
  TPictureHistory history(*b);
  b->Canvas()->SetPixel(0, 0, clRed);
  history.EndStep();
  return history.BytesHeld();
}

TEST(HistoryMemoryTest, KeepsOnlyTheTilesAStepTouched) {
  const std::size_t step = CostOfOneTileStep();
  ASSERT_GE(step, kTileBytes);
  ASSERT_LT(step, kTileBytes + 512);
  auto b = PatternBitmap(3840, 2160);
  TPictureHistory history(*b);
  // A dot over the corner where four tiles meet.
  b->Canvas()->FillRect(Rect(kTile * 5 - 2, kTile * 5 - 2, kTile * 5 + 2, kTile * 5 + 2));
  history.EndStep();
  EXPECT_GE(history.BytesHeld(), 4 * kTileBytes);
  EXPECT_LE(history.BytesHeld(), 4 * step);
  // Memory let go of is kept for the next steps, within its own bound.
  history.Clear();
  EXPECT_EQ(history.BytesHeld(), 0u);
  EXPECT_GT(history.SpareBytes(), 0u);
  EXPECT_LE(history.SpareBytes(), TPictureHistory::kSpareBytes);
}

TEST(HistoryMemoryTest, BudgetDropsTheOldestSteps) {
  const std::size_t step = CostOfOneTileStep();
  auto b = PatternBitmap(kTile * 6, kTile);
  TPictureHistory history(*b, 3 * step + step / 2);
  std::vector<TBitmapContents> pictures{PictureSnapshot(*b)};
  for (int i = 0; i < 6; ++i) {
    b->Canvas()->SetPixel(i * kTile + 3, 3, clRed);
    history.EndStep();
    pictures.push_back(PictureSnapshot(*b));
    EXPECT_LE(history.BytesHeld(), history.Budget());
  }
  ASSERT_EQ(history.UndoCount(), 3);
  for (int i = 5; i >= 3; --i) {
    ASSERT_TRUE(history.Undo());
    ExpectSamePicture(*b, pictures[static_cast<std::size_t>(i)], "undone within the budget");
  }
  EXPECT_FALSE(history.Undo());
  // A smaller budget drops the steps farthest away: here the last ones to redo.
  history.SetBudget(step + step / 2);
  EXPECT_EQ(history.RedoCount(), 1);
  ASSERT_TRUE(history.Redo());
  ExpectSamePicture(*b, pictures[4], "the nearest step redone");
}

TEST(HistoryMemoryTest, StepLargerThanTheBudgetCannotBeUndoneAndLosesNothing) {
  const std::size_t step = CostOfOneTileStep();
  auto b = PatternBitmap(kTile * 10, kTile * 2);
  TPictureHistory history(*b, 5 * step);
  b->Canvas()->SetPixel(1, 1, clBlue);
  history.EndStep();
  ASSERT_TRUE(history.CanUndo());
  // A stroke over all twenty tiles, one segment at a time.
  b->Canvas()->Pen->SetWidth(40);
  b->Canvas()->Pen->SetColor(clRed);
  b->Canvas()->MoveTo(0, 0);
  for (int x = 0; x <= kTile * 10; x += 16) {
    b->Canvas()->LineTo(x, (x / 16 % 2) * kTile * 2);
    EXPECT_LE(history.BytesHeld(), history.Budget()) << x;
  }
  const TBitmapContents painted = PictureSnapshot(*b);
  history.EndStep();
  EXPECT_FALSE(history.CanUndo());
  EXPECT_FALSE(history.Undo());
  ExpectSamePicture(*b, painted, "the picture after the stroke");
  EXPECT_EQ(history.BytesHeld(), 0u);
  // The history goes on with the next step.
  b->Canvas()->SetPixel(2, 2, clBlue);
  history.EndStep();
  ASSERT_TRUE(history.Undo());
  ExpectSamePicture(*b, painted, "the next step undone");
}

TEST(HistoryMemoryTest, WholePictureLargerThanTheBudgetIsNoStep) {
  auto b = PatternBitmap(200, 200);
  TPictureHistory history(*b, 200 * 100 * 4);
  {
    TPictureHistory::Command resize(history, true);
    b->SetWidth(50);
  }
  EXPECT_FALSE(history.CanUndo());
  EXPECT_EQ(b->Width(), 50);
  // Now the picture is small enough to be kept whole.
  {
    TPictureHistory::Command resize(history, true);
    b->SetHeight(300);
  }
  EXPECT_TRUE(history.CanUndo());
  EXPECT_LE(history.BytesHeld(), history.Budget());
}

}  // namespace
