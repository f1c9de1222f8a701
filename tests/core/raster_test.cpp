// Pixel rules of the drawing calls, compared picture by picture.
#include "core/raster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>

#include "core/surface.h"
#include "support/picture_test_util.h"

namespace {

std::unique_ptr<TBitmap> Blank(int w, int h) {
  auto b = std::make_unique<TBitmap>();
  b->SetWidth(w);
  b->SetHeight(h);
  return b;
}

// Black pen of the given width, red brush.
TCanvas* Prepared(TBitmap& b, int penWidth) {
  TCanvas* c = b.Canvas();
  c->Pen->SetColor(clBlack);
  c->Pen->SetWidth(penWidth);
  c->Brush->SetColor(clRed);
  return c;
}

std::vector<std::string> EllipsePicture(int w, int h, int x1, int y1, int x2, int y2, int pen) {
  auto b = Blank(w, h);
  Prepared(*b, pen)->Ellipse(x1, y1, x2, y2);
  return PictureOf(*b);
}

std::vector<std::string> LinePicture(int w, int h, int x0, int y0, int x1, int y1, int pen) {
  auto b = Blank(w, h);
  TCanvas* c = Prepared(*b, pen);
  c->MoveTo(x0, y0);
  c->LineTo(x1, y1);
  return PictureOf(*b);
}

}  // namespace

TEST(FillRectTest, CoversLeftTopUpToRightBottom) {
  auto b = Blank(8, 7);
  b->TakeDirtyRect();
  TCanvas* c = Prepared(*b, 1);
  c->FillRect(Rect(5, 5, 5, 9));  // zero width
  c->FillRect(Rect(3, 3, 1, 5));  // right before left
  c->FillRect(Rect(5, 5, 6, 6));
  c->FillRect(Rect(-2, -3, 2, 1));  // partly off the bitmap
  ExpectPicture(*b, {"rr......", "........", "........", "........", "........", ".....r..", "........"});
  EXPECT_EQ(b->TakeDirtyRect(), Rect(0, 0, 6, 6));
}

TEST(FrameRectTest, OnePixelBorderInside) {
  auto b = Blank(12, 12);
  TCanvas* c = Prepared(*b, 1);
  c->FrameRect(Rect(11, 11, 9, 9));
  ExpectPicture(*b, std::vector<std::string>(12, "............"));
  c->FrameRect(Rect(0, 0, 10, 10));
  c->FrameRect(Rect(11, 0, 12, 3));  // one column wide: a filled column
  ExpectPicture(
      *b, {"rrrrrrrrrr.r", "r........r.r", "r........r.r", "r........r..", "r........r..", "r........r..",
           "r........r..", "r........r..", "r........r..", "rrrrrrrrrr..", "............", "............"});
}

TEST(EllipseTest, SmallBoxesOutlineInPenInsideInBrush) {
  EXPECT_EQ(EllipsePicture(3, 3, 1, 1, 2, 2, 1), (std::vector<std::string>{"...", ".#.", "..."}));
  EXPECT_EQ(EllipsePicture(4, 4, 1, 1, 3, 3, 1), (std::vector<std::string>{"....", ".##.", ".##.", "...."}));
  EXPECT_EQ(EllipsePicture(5, 5, 1, 1, 4, 4, 1),
            (std::vector<std::string>{".....", ".###.", ".#r#.", ".###.", "....."}));
  // The 4-pixel disc: .##. / #### / #### / .##.
  EXPECT_EQ(EllipsePicture(6, 6, 1, 1, 5, 5, 0),
            (std::vector<std::string>{"......", "..##..", ".#rr#.", ".#rr#.", "..##..", "......"}));
  EXPECT_EQ(EllipsePicture(7, 7, 1, 1, 6, 6, 1),
            (std::vector<std::string>{".......", "..###..", ".#rrr#.", ".#rrr#.", ".#rrr#.", "..###..",
                                      "......."}));
  EXPECT_EQ(EllipsePicture(8, 8, 1, 1, 7, 7, 1),
            (std::vector<std::string>{"........", "..####..", ".#rrrr#.", ".#rrrr#.", ".#rrrr#.", ".#rrrr#.",
                                      "..####..", "........"}));
  // Wider than high, odd by even.
  EXPECT_EQ(EllipsePicture(9, 6, 1, 1, 8, 5, 1),
            (std::vector<std::string>{".........", "..#####..", ".#rrrrr#.", ".#rrrrr#.", "..#####..",
                                      "........."}));
}

TEST(EllipseTest, SwappedEdgesAndEmptyBoxes) {
  EXPECT_EQ(EllipsePicture(14, 14, 11, 11, 9, 9, 1), EllipsePicture(14, 14, 9, 9, 11, 11, 1));
  EXPECT_EQ(EllipsePicture(14, 14, 12, 3, 4, 10, 3), EllipsePicture(14, 14, 4, 3, 12, 10, 3));
  const std::vector<std::string> blank(14, std::string(14, '.'));
  EXPECT_EQ(EllipsePicture(14, 14, 10, 10, 10, 10, 1), blank);
  EXPECT_EQ(EllipsePicture(14, 14, 2, 5, 12, 5, 5), blank);
}

TEST(EllipseTest, ThinPenStaysInsideTheBox) {
  auto b = Blank(22, 22);
  b->TakeDirtyRect();
  TCanvas* c = b->Canvas();
  c->Pen->SetWidth(0);
  c->Pen->SetColor(clRed);
  c->Brush->SetColor(clRed);
  c->Ellipse(10, 10, 20, 20);
  std::vector<std::string> want(22, std::string(22, '.'));
  const char* disc[] = {"...####...", ".########.", ".########.", "##########", "##########",
                        "##########", "##########", ".########.", ".########.", "...####..."};
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x)
      if (disc[y][x] == '#') want[10 + y][10 + x] = 'r';
  ExpectPicture(*b, want);
  EXPECT_EQ(b->TakeDirtyRect(), Rect(10, 10, 20, 20));
}

TEST(EllipseTest, WidePenCentresOutlineOnTheEdge) {
  EXPECT_EQ(EllipsePicture(8, 8, 2, 2, 6, 6, 2),
            (std::vector<std::string>{"........", "..####..", ".######.", ".##rr##.", ".##rr##.", ".######.",
                                      "..####..", "........"}));
  // Pen 3 on an 8 x 6 box: one pixel outside, two inside.
  EXPECT_EQ(EllipsePicture(12, 10, 2, 2, 10, 8, 3),
            (std::vector<std::string>{"............", "....####....", "..########..", ".##########.",
                                      ".###rrrr###.", ".###rrrr###.", ".##########.", "..########..",
                                      "....####....", "............"}));
}

// A hollow brush: ellipses keep their outline and leave their inside as it
// was; fills and frames draw nothing and mark nothing changed.
TEST(HollowBrushTest, OutlinesOnlyAndNoFills) {
  struct Case {
    int x1, y1, x2, y2, pen;
  };
  const Case cases[] = {{1, 1, 4, 4, 1},   {1, 1, 11, 9, 0},  {2, 2, 12, 12, 1}, {3, 2, 11, 12, 2},
                        {2, 3, 12, 11, 3}, {-3, -2, 8, 9, 1}, {4, 4, 6, 12, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "box " << c.x1 << "," << c.y1 << "," << c.x2 << "," << c.y2 << " pen "
                                    << c.pen);
    auto solid = Blank(14, 14), hollow = Blank(14, 14);
    for (TBitmap* b : {solid.get(), hollow.get()}) {
      b->Canvas()->Brush->SetColor(clBlue);
      b->Canvas()->FillRect(Rect(0, 0, 14, 14));
    }
    Prepared(*solid, c.pen)->Ellipse(c.x1, c.y1, c.x2, c.y2);
    TCanvas* h = Prepared(*hollow, c.pen);
    h->Brush->SetStyle(bsClear);
    h->Ellipse(c.x1, c.y1, c.x2, c.y2);
    std::vector<std::string> want = PictureOf(*solid);
    for (std::string& row : want) std::replace(row.begin(), row.end(), 'r', 'b');
    ExpectPicture(*hollow, want);
  }
  auto b = Blank(8, 8);
  TCanvas* c = Prepared(*b, 1);
  c->Brush->SetStyle(bsClear);
  c->Ellipse(1, 1, 7, 7);
  ExpectPicture(
      *b, {"........", "..####..", ".#....#.", ".#....#.", ".#....#.", ".#....#.", "..####..", "........"});
  b->TakeDirtyRect();
  c->FillRect(Rect(0, 0, 8, 8));
  c->FrameRect(Rect(0, 0, 8, 8));
  EXPECT_EQ(b->TakeDirtyRect(), TRect{});
  c->Brush->SetStyle(bsSolid);
  c->FrameRect(Rect(0, 0, 8, 8));
  EXPECT_EQ(c->Pixel(0, 0), clRed);
}

// Ellipses whose rows come from the per-size store, drawn in an order that
// reuses and evicts its entries, against rows computed afresh for each one:
// outline where a 4-neighbour is outside, brush inside.
TEST(EllipseTest, RepeatedSizesDrawAsFreshOnes) {
  std::mt19937 random(5);
  const int sizes[][2] = {{7, 7}, {30, 12}, {12, 30}, {1, 9}, {25, 25}, {64, 40}};
  for (int round = 0; round < 200; ++round) {
    const auto& size = sizes[random() % 6];
    const int x = static_cast<int>(random() % 80) - 20, y = static_cast<int>(random() % 60) - 20;
    const raster::Box box{x, y, x + size[0], y + size[1]};
    auto drawn = Blank(70, 50), fresh = Blank(70, 50);
    Prepared(*drawn, 1)->Ellipse(x, y, x + size[0], y + size[1]);
    for (int row = 0; row < 50; ++row) {
      const raster::Span prev = raster::EllipseRowSpan(box, row - 1), cur = raster::EllipseRowSpan(box, row),
                         next = raster::EllipseRowSpan(box, row + 1);
      for (std::int64_t px = std::max<std::int64_t>(cur.x0, 0); px < std::min<std::int64_t>(cur.x1, 70);
           ++px) {
        const auto inside = [px](raster::Span s) { return px >= s.x0 && px < s.x1; };
        const bool outline = !inside(prev) || !inside(next) || px == cur.x0 || px == cur.x1 - 1;
        fresh->Canvas()->SetPixel(static_cast<int>(px), row, outline ? clBlack : clRed);
      }
    }
    ASSERT_EQ(PictureOf(*drawn), PictureOf(*fresh)) << "round " << round;
  }
}

TEST(EllipseTest, PartlyOffTheBitmap) {
  EXPECT_EQ(EllipsePicture(4, 5, -2, -2, 4, 4, 1),
            (std::vector<std::string>{"rrr#", "rrr#", "rrr#", "###.", "...."}));
}

// The path region of a box is exactly the pixels a thin Ellipse of it paints.
TEST(EllipseTest, RegionOfABoxMatchesTheEllipse) {
  for (int w = 1; w <= 24; ++w)
    for (int h = 1; h <= 24; h += 1 + w % 3) {
      auto b = Blank(w + 4, h + 4);
      TCanvas* c = Prepared(*b, 1);
      c->Brush->SetColor(clBlack);
      c->Ellipse(2, 2, 2 + w, 2 + h);
      BeginPath(c->Handle());
      c->Ellipse(2, 2, 2 + w, 2 + h);
      EndPath(c->Handle());
      const std::unique_ptr<TRegion> region = PathToRegion(c->Handle());
      for (int y = 0; y < h + 4; ++y)
        for (int x = 0; x < w + 4; ++x)
          ASSERT_EQ(region->Contains(x, y), c->Pixel(x, y) == clBlack)
              << w << "x" << h << " at " << x << "," << y;
    }
}

TEST(LineTest, ThinLineLeavesOutTheEndPixel) {
  EXPECT_EQ(LinePicture(7, 1, 0, 0, 5, 0, 1), (std::vector<std::string>{"#####.."}));
  EXPECT_EQ(LinePicture(7, 3, 0, 0, 5, 2, 0), (std::vector<std::string>{"##.....", "..##...", "....#.."}));
  EXPECT_EQ(LinePicture(3, 5, 2, 4, 0, 0, 1), (std::vector<std::string>{"...", ".#.", ".#.", "..#", "..#"}));
  EXPECT_EQ(LinePicture(3, 3, 1, 1, 1, 1, 1), (std::vector<std::string>{"...", "...", "..."}));
}

// Segments joined end to end paint every point once, and a segment covers
// the same pixels whichever way it runs (apart from the left-out end).
TEST(LineTest, ThinLinesChainAndRunBothWays) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> coord(-5, 25);
  for (int i = 0; i < 300; ++i) {
    const int x0 = coord(rng), y0 = coord(rng), x1 = coord(rng), y1 = coord(rng);
    auto forth = Blank(21, 21), back = Blank(21, 21);
    Prepared(*forth, 1)->MoveTo(x0, y0);
    forth->Canvas()->LineTo(x1, y1);
    forth->Canvas()->SetPixel(x1, y1, clBlack);
    Prepared(*back, 1)->MoveTo(x1, y1);
    back->Canvas()->LineTo(x0, y0);
    back->Canvas()->SetPixel(x0, y0, clBlack);
    ASSERT_EQ(PictureOf(*forth), PictureOf(*back)) << x0 << "," << y0 << " to " << x1 << "," << y1;
  }
}

TEST(LineTest, WideDotsAreDiscs) {
  const std::vector<std::string> none(5, ".....");
  EXPECT_EQ(LinePicture(5, 5, 2, 2, 2, 2, 1), none);
  EXPECT_EQ(LinePicture(5, 5, 2, 2, 2, 2, 2),
            (std::vector<std::string>{".....", ".##..", ".##..", ".....", "....."}));
  EXPECT_EQ(LinePicture(5, 5, 2, 2, 2, 2, 3),
            (std::vector<std::string>{".....", ".###.", ".###.", ".###.", "....."}));
  EXPECT_EQ(LinePicture(12, 12, 6, 6, 6, 6, 10),
            (std::vector<std::string>{"............", "....####....", "..########..", "..########..",
                                      ".##########.", ".##########.", ".##########.", ".##########.",
                                      "..########..", "..########..", "....####....", "............"}));
  EXPECT_EQ(LinePicture(13, 13, 6, 6, 6, 6, 11),
            (std::vector<std::string>{".............", "....#####....", "...#######...", "..#########..",
                                      ".###########.", ".###########.", ".###########.", ".###########.",
                                      ".###########.", "..#########..", "...#######...", "....#####....",
                                      "............."}));
}

TEST(LineTest, WideLinesHaveRoundEnds) {
  EXPECT_EQ(LinePicture(8, 3, 2, 1, 5, 1, 2), (std::vector<std::string>{".#####..", ".#####..", "........"}));
  EXPECT_EQ(LinePicture(3, 8, 1, 5, 1, 2, 3),
            (std::vector<std::string>{"...", "###", "###", "###", "###", "###", "###", "..."}));
  EXPECT_EQ(LinePicture(9, 9, 2, 2, 6, 6, 3),
            (std::vector<std::string>{".........", ".###.....", ".####....", ".#####...", "..#####..",
                                      "...#####.", "....####.", ".....###.", "........."}));
  EXPECT_EQ(LinePicture(7, 7, 2, 2, 5, 5, 2),
            (std::vector<std::string>{".......", ".##....", ".###...", "..###..", "...###.", "....##.",
                                      "......."}));
  // Width 10 from (5,6) to (9,6): half discs of the dot centred on both ends.
  EXPECT_EQ(LinePicture(16, 12, 5, 6, 9, 6, 10),
            (std::vector<std::string>{"................", "...########.....", ".############...",
                                      ".############...", "##############..", "##############..",
                                      "##############..", "##############..", ".############...",
                                      ".############...", "...########.....", "................"}));
  // Width 9 reaches round past both end points of (10,6)-(20,6).
  EXPECT_EQ(LinePicture(26, 13, 10, 6, 20, 6, 9),
            (std::vector<std::string>{
                "..........................", "..........................", "........###############...",
                ".......#################..", "......###################.", "......###################.",
                "......###################.", "......###################.", "......###################.",
                ".......#################..", "........###############...", "..........................",
                ".........................."}));
}

// x and y play the same part: a vertical line is the horizontal one mirrored
// across the diagonal, at every width.
TEST(LineTest, VerticalLinesAreTransposedHorizontalOnes) {
  for (int w : {1, 2, 3, 10}) {
    const auto across = LinePicture(24, 16, 3, 7, 19, 7, w), down = LinePicture(16, 24, 7, 3, 7, 19, w);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 24; ++x) ASSERT_EQ(across[y][x], down[x][y]) << w << " at " << x << "," << y;
  }
}

// A wide segment contains the dots on its ends, so successive segments join
// without gaps, and it paints the same pixels whichever way it runs.
TEST(LineTest, WideSegmentsCoverTheirEndDotsBothWays) {
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> coord(-4, 34), width(2, 14);
  for (int i = 0; i < 300; ++i) {
    const int x0 = coord(rng), y0 = coord(rng), x1 = coord(rng), y1 = coord(rng), w = width(rng);
    const auto line = LinePicture(30, 30, x0, y0, x1, y1, w), back = LinePicture(30, 30, x1, y1, x0, y0, w);
    ASSERT_EQ(line, back) << x0 << "," << y0 << " to " << x1 << "," << y1 << " width " << w;
    auto dots = Blank(30, 30);
    TCanvas* c = Prepared(*dots, w);
    c->MoveTo(x0, y0);
    c->LineTo(x0, y0);
    c->LineTo(x1, y1);
    c->LineTo(x1, y1);
    ASSERT_EQ(PictureOf(*dots), line) << x0 << "," << y0 << " to " << x1 << "," << y1 << " width " << w;
  }
}

namespace {

// A wide line's pixels by their definition, pixel by pixel: centres within
// w / 2 of the segment, i.e. in one of the two end discs (the dot a press
// stamps) or in the band between them. Doubled coordinates keep it exact.
bool InWideLine(int x0, int y0, int x1, int y1, int w, int x, int y) {
  const int half = w / 2;
  for (auto [cx, cy] : {std::pair{x0, y0}, std::pair{x1, y1}}) {
    const raster::Box cap{cx - half, cy - half, cx - half + w, cy - half + w};
    const raster::Span row = raster::EllipseRowSpan(cap, y);
    if (x >= row.x0 && x < row.x1) return true;
  }
  const std::int64_t dx = x1 - x0, dy = y1 - y0;
  if (dx == 0 && dy == 0) return false;
  const std::int64_t px = 2 * std::int64_t{x} + 1 - (2 * std::int64_t{x0} + (w & 1));
  const std::int64_t py = 2 * std::int64_t{y} + 1 - (2 * std::int64_t{y0} + (w & 1));
  const raster::Wide across = raster::Wide(px) * dy - raster::Wide(py) * dx;
  const raster::Wide along = raster::Wide(px) * dx + raster::Wide(py) * dy;
  const raster::Wide length2 = raster::Wide(dx) * dx + raster::Wide(dy) * dy;
  return across * across <= raster::Wide(w) * w * length2 && along >= 0 && along <= 2 * length2;
}

// Records every pixel announced before a write.
class AnnouncedPixels : public TPixelWatcher {
 public:
  explicit AnnouncedPixels(const TBitmap& b) : width_(b.Width()), seen_(std::size_t(b.Width()) * b.Height()) {
    kept_.Reset(b.Width(), b.Height(), false);
  }
  bool Seen(int x, int y) const { return seen_[std::size_t(y) * width_ + x]; }
  void BeforeReplace(TBitmapContents&, int, int) noexcept override {}

 protected:
  void Keep(int x0, int y0, int x1, int y1) noexcept override {
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) seen_[std::size_t(y) * width_ + x] = true;
  }

 private:
  int width_;
  std::vector<bool> seen_;
};

}  // namespace

// Random segments of widths 2 to 12 (and some wider), partly off the bitmap,
// through a clip region or not, against the definition; every pixel written
// was announced first.
TEST(LineTest, WideLinesMatchTheirDefinition) {
  std::mt19937 rng(2024);
  constexpr int kW = 90, kH = 70;
  for (int i = 0; i < 3000; ++i) {
    const int spread = i % 5 == 0 ? 400 : 60;
    std::uniform_int_distribution<int> x(-20, kW + 20), d(-spread, spread);
    int x0 = x(rng), y0 = x(rng) - 10;
    int x1 = i % 7 == 0 ? x0 : x0 + d(rng), y1 = i % 11 == 0 ? y0 : y0 + d(rng);
    if (i % 17 == 0) {
      // Ends far beyond the bitmap (past what 64-bit products cover), the line through it.
      const int dx = (x1 - x0) % 60, dy = (y1 - y0) % 60, step = 1 << (20 + i % 4);
      x1 = x0 + dx * step, y1 = y0 + dy * step;
      x0 -= dx * step, y0 -= dy * step;
    }
    const int w = i % 13 == 0 ? 2 + static_cast<int>(rng() % 60) : 2 + static_cast<int>(rng() % 11);
    const bool clipped = i % 4 == 0;
    auto b = Blank(kW, kH);
    AnnouncedPixels announced(*b);
    b->SetWatcher(&announced);
    TCanvas* c = Prepared(*b, w);
    std::unique_ptr<TRegion> clip;
    if (clipped) {
      BeginPath(c->Handle());
      c->Ellipse(5, 5, kW - 5, kH - 5);
      EndPath(c->Handle());
      clip = PathToRegion(c->Handle());
      SelectClipRgn(c->Handle(), clip.get());
    }
    c->MoveTo(x0, y0);
    c->LineTo(x1, y1);
    ReleaseCanvasContexts();
    b->SetWatcher(nullptr);
    for (int py = 0; py < kH; ++py)
      for (int px = 0; px < kW; ++px) {
        const bool want = InWideLine(x0, y0, x1, y1, w, px, py) && (!clip || clip->Contains(px, py));
        const bool painted = c->Pixel(px, py) == clBlack;
        ASSERT_EQ(painted, want) << "(" << x0 << "," << y0 << ")-(" << x1 << "," << y1 << ") width " << w
                                 << (clipped ? " clipped" : "") << " at " << px << "," << py;
        if (painted) ASSERT_TRUE(announced.Seen(px, py)) << px << "," << py << " written unannounced";
      }
  }
}

TEST(LineTest, ExtremeCoordinatesAreCut) {
  for (int w : {1, 3, 40, INT_MAX}) {
    auto b = Blank(6, 4);
    TCanvas* c = Prepared(*b, w);
    c->MoveTo(INT_MIN, 1);
    c->LineTo(INT_MAX, 1);
    c->MoveTo(INT_MAX, INT_MIN);
    c->LineTo(INT_MIN, INT_MAX);
    EXPECT_EQ(c->Pixel(3, 1), clBlack) << w;
    c->Ellipse(INT_MIN, INT_MIN, INT_MAX, INT_MAX);
    ExpectPicture(*b, {"rrrrrr", "rrrrrr", "rrrrrr", "rrrrrr"});
  }
  // Far ends take the 128-bit path; over the bitmap the band is the same as
  // that of a short line along the same direction.
  for (int w : {1, 3, 8}) {
    const int far = 1 << 28;
    EXPECT_EQ(LinePicture(20, 20, -far, -far / 2, far, far / 2, w), LinePicture(20, 20, -20, -10, 40, 20, w))
        << w;
    EXPECT_EQ(LinePicture(20, 20, 10 - far / 4, -far, 10 + far / 4, far, w),
              LinePicture(20, 20, 0, -40, 20, 40, w))
        << w;
  }
  auto b = Blank(6, 3);
  TCanvas* c = Prepared(*b, 1);
  c->MoveTo(-1000000, 1);
  c->LineTo(1000000, 1);
  ExpectPicture(*b, {"......", "######", "......"});
}

namespace {

// The hue ring's recipe: outer box, inner box shrunk by (dx, dy), even-odd.
std::unique_ptr<TRegion> Ring(TCanvas* c, TRect box, int dx, int dy) {
  BeginPath(c->Handle());
  c->Ellipse(box);
  InflateRect(box, -dx, -dy);
  c->Ellipse(box);
  EndPath(c->Handle());
  return PathToRegion(c->Handle());
}

const std::vector<std::string> kRing = {"..........", "...####...", "..######..", ".###..###.", ".##....##.",
                                        ".##....##.", ".###..###.", "..######..", "...####...", ".........."};

}  // namespace

TEST(ClipRegionTest, CopyThroughTwoEllipseRingChangesOnlyTheRing) {
  auto source = Blank(10, 10);
  source->Canvas()->Brush->SetColor(clRed);
  source->Canvas()->FillRect(Rect(0, 0, 10, 10));
  auto b = Blank(10, 10);
  TCanvas* c = b->Canvas();
  const std::unique_ptr<TRegion> ring = Ring(c, Rect(1, 1, 9, 9), 2, 2);
  ExpectPicture(*b, std::vector<std::string>(10, ".........."));  // recording paints nothing
  SelectClipRgn(c->Handle(), ring.get());
  EXPECT_EQ(c->ClipRect(), Rect(1, 1, 9, 9));
  b->TakeDirtyRect();
  c->CopyRect(Rect(0, 0, 10, 10), source->Canvas(), Rect(0, 0, 10, 10));
  std::vector<std::string> want = kRing;
  for (std::string& row : want) std::replace(row.begin(), row.end(), '#', 'r');
  ExpectPicture(*b, want);
  EXPECT_EQ(b->TakeDirtyRect(), Rect(1, 1, 9, 9));
  // Every other drawing call honours the region too.
  c->Brush->SetColor(clBlack);
  c->FillRect(Rect(0, 0, 10, 10));
  ExpectPicture(*b, kRing);
}

TEST(ClipRegionTest, LinesAndPixelsHonourTheRegion) {
  auto b = Blank(10, 10);
  TCanvas* c = Prepared(*b, 1);
  SelectClipRgn(c->Handle(), Ring(c, Rect(1, 1, 9, 9), 2, 2).get());
  c->MoveTo(0, 4);
  c->LineTo(10, 4);  // thin
  c->Pen->SetWidth(2);
  c->MoveTo(2, 8);
  c->LineTo(8, 8);             // wide, rows 7 and 8
  c->SetPixel(5, 5, clBlack);  // in the hole
  c->SetPixel(4, 1, clBlack);
  ExpectPicture(*b, {"..........", "....#.....", "..........", "..........", ".##....##.", "..........",
                     "..........", "..######..", "...####...", ".........."});
}

TEST(ClipRegionTest, DroppedOnResizeAndWhenContextsAreReleased) {
  for (int drop = 0; drop < 2; ++drop) {
    auto b = Blank(10, 10);
    TCanvas* c = b->Canvas();
    SelectClipRgn(c->Handle(), Ring(c, Rect(1, 1, 9, 9), 2, 2).get());
    if (drop == 0)
      ReleaseCanvasContexts();
    else
      b->SetHeight(11);
    EXPECT_FALSE(c->HasClipRegion());
    EXPECT_EQ(c->ClipRect(), Rect(0, 0, 10, 10 + drop));
    c->Brush->SetColor(clBlack);
    c->FillRect(Rect(0, 0, 10, 11));
    ExpectPicture(*b, std::vector<std::string>(10 + drop, "##########"));
  }
}

TEST(CopyRectTest, PlainScaledOverlappingAndCut) {
  auto source = BitmapFromPicture({"r#", "b."});
  auto b = Blank(7, 4);
  TCanvas* c = b->Canvas();
  c->CopyRect(Rect(0, 0, 2, 2), source->Canvas(), Rect(0, 0, 2, 2));
  c->CopyRect(Rect(2, 0, 6, 4), source->Canvas(), Rect(0, 0, 2, 2));  // doubled
  c->CopyRect(Rect(6, 0, 7, 1), source->Canvas(), Rect(0, 0, 2, 2));  // halved: the centre sample
  ExpectPicture(*b, {"r#rr##.", "b.rr##.", "..bb...", "..bb..."});
  // Within one bitmap the source is read before anything is written.
  c->CopyRect(Rect(1, 0, 7, 4), c, Rect(0, 0, 6, 4));
  ExpectPicture(*b, {"rr#rr##", "bb.rr##", "...bb..", "...bb.."});
  // Source pixels off the source bitmap leave the destination alone.
  c->CopyRect(Rect(-1, 2, 3, 4), source->Canvas(), Rect(-1, -1, 3, 1));
  ExpectPicture(*b, {"rr#rr##", "bb.rr##", "...bb..", "r#.bb.."});
}

namespace {

// An 8-bit bitmap with a three-colour table: black, white, dark red.
std::unique_ptr<TBitmap> Indexed(int w, int h) {
  auto b = std::make_unique<TBitmap>();
  TPixelFormat f;
  f.depth = 8;
  f.colorTable = {clBlack, clWhite, 0x000080};
  b->Assign(w, h, f, std::vector<std::uint32_t>(static_cast<std::size_t>(w * h), ColorToWord(clWhite)), {});
  return b;
}

}  // namespace

TEST(ColourTest, DrawingStoresWhatTheBitmapCanHold) {
  const PictureLegend legend = {
      {'.', clWhite}, {'#', clBlack}, {'d', 0x000080}, {'r', clRed}, {'s', clSilver}};
  auto b = Indexed(6, 3);
  TCanvas* c = b->Canvas();
  c->Brush->SetColor(clRed);  // nearest: dark red
  c->FillRect(Rect(0, 0, 2, 1));
  c->Brush->SetColor(clSilver);  // nearest: white
  c->FillRect(Rect(0, 1, 6, 2));
  c->Pen->SetColor(0x202020);
  c->MoveTo(0, 2);
  c->LineTo(3, 2);
  auto source = BitmapFromPicture({"rs"}, legend);
  c->CopyRect(Rect(4, 0, 6, 1), source->Canvas(), Rect(0, 0, 2, 1));
  ExpectPicture(*b, {"dd..d.", "......", "###..."}, legend);
  EXPECT_EQ(b->PixelDepth(), 8);
}

TEST(ColourTest, SystemColoursResolveAndAllOnesDrawsBlack) {
  auto b = Blank(3, 1);
  TCanvas* c = b->Canvas();
  EXPECT_EQ(c->Pixel(-1, 0), static_cast<TColor>(0xFFFFFFFF));
  c->Brush->SetColor(c->Pixel(-1, 0));
  c->FillRect(Rect(0, 0, 1, 1));
  c->Brush->SetColor(clBtnFace);
  c->FillRect(Rect(1, 0, 2, 1));
  c->Brush->SetColor(static_cast<TColor>(0x800000FE));  // names no system colour
  c->FillRect(Rect(2, 0, 3, 1));
  ExpectPicture(*b, {"#f#"}, {{'#', clBlack}, {'f', 0xF0F0F0}});
}

TEST(DirtyTest, OneChangeNoticePerCallWithTheChangedBox) {
  auto b = Blank(20, 20);
  int notices = 0;
  b->SetChangeHook([](void* n) { ++*static_cast<int*>(n); }, &notices);
  b->TakeDirtyRect();
  TCanvas* c = Prepared(*b, 5);
  c->MoveTo(30, 30);
  c->LineTo(40, 40);  // wholly off the bitmap
  EXPECT_EQ(notices, 0);
  EXPECT_EQ(b->TakeDirtyRect(), TRect{});
  c->MoveTo(4, 4);
  c->LineTo(10, 4);
  EXPECT_EQ(notices, 1);
  EXPECT_EQ(b->TakeDirtyRect(), Rect(2, 2, 13, 7));
  c->Pen->SetWidth(1);
  c->MoveTo(-3, 12);
  c->LineTo(5, 8);  // a thin line cut at the left edge
  EXPECT_EQ(b->TakeDirtyRect(), Rect(0, 9, 5, 12));
  c->Pen->SetWidth(5);
  c->Ellipse(-5, 15, 3, 25);  // the pen reaches 2 pixels outside the box
  EXPECT_EQ(b->TakeDirtyRect(), Rect(0, 13, 5, 20));
  EXPECT_EQ(notices, 3);
}
