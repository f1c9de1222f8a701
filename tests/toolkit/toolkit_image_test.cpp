// Image controls: canvas on demand, merged repaints, transparency, mouse
// routing and shift states; text output on bitmaps.
#include <gtest/gtest.h>

#include <QEvent>
#include <QImage>
#include <QPixmap>
#include <QRegion>
#include <QTest>
#include <QWindow>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "support/picture_test_util.h"
#include "toolkit/toolkit.h"
#include "toolkit/toolkit_testing.h"

namespace {

class ToolkitImageTest : public testing::Test {
 protected:
  void SetUp() override { Testing::Reset(); }
  void TearDown() override {
    QTestPrivate::qtestMouseButtons = Qt::NoButton;
    Testing::LimitTransparentViews(std::nullopt);
  }
};

// What the widget shows, as a bitmap for ExpectPicture.
std::unique_ptr<TBitmap> Grab(QWidget* widget, const QRect& area) {
  const QImage image = widget->grab(area).toImage().convertToFormat(QImage::Format_RGB32);
  std::vector<std::uint32_t> pixels;
  for (int y = 0; y < image.height(); ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(image.constScanLine(y));
    pixels.insert(pixels.end(), row, row + image.width());
  }
  auto bitmap = std::make_unique<TBitmap>();
  bitmap->Assign(image.width(), image.height(), TPixelFormat{}, std::move(pixels), {});
  return bitmap;
}

// Counts paint events of a widget and collects the areas they covered.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* w) { w->installEventFilter(this); }
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) {
      ++count;
      area += static_cast<QPaintEvent*>(e)->region();
    }
    return false;
  }
  int count = 0;
  QRegion area;
};

TEST_F(ToolkitImageTest, CanvasOnDemandIsAWhiteBitmapOfTheControlSize) {
  TForm form;
  TImage* image = form.Own(new TImage(&form));
  image->SetBounds(0, 0, 6, 3);
  TCanvas* canvas = image->Canvas();
  EXPECT_EQ(image->Canvas(), canvas);
  ExpectPicture(canvas->Bitmap(), {"......", "......", "......"});
  EXPECT_EQ(canvas->Bitmap().PixelDepth(), 32);

  TImage* icon = form.Own(new TImage(&form));
  icon->Picture()->AssignNonBitmapGraphic();
  try {
    icon->Canvas();
    FAIL() << "no error";
  } catch (const EDaubixError& e) {
    EXPECT_STREQ(e.what(), "ビットマップを持っている時のみイメージの変更が可能です");
  }
  icon->Picture()->Bitmap();  // an empty bitmap takes the icon's place
  EXPECT_NO_THROW(icon->Canvas());
}

TEST_F(ToolkitImageTest, ManyPixelWritesMakeOneRepaintOfTheChangedRectangle) {
  TForm form;
  form.SetClientWidth(120);
  form.SetClientHeight(120);
  TImage* image = form.Own(new TImage(&form));
  image->SetBounds(0, 0, 120, 120);
  TCanvas* canvas = image->Canvas();
  form.Show();
  Application->ProcessMessages();
  PaintCounter paints(image->Widget());
  for (int y = 10; y < 60; ++y)
    for (int x = 20; x < 70; ++x) canvas->SetPixel(x, y, clRed);
  EXPECT_EQ(paints.count, 0);  // nothing until events are handled
  Application->ProcessMessages();
  EXPECT_EQ(paints.count, 1);
  EXPECT_EQ(paints.area, QRegion(20, 10, 50, 50));
  const auto shown = Grab(image->Widget(), QRect(18, 8, 4, 3));
  ExpectPicture(*shown, {"....", "....", "..rr"});
}

TEST_F(ToolkitImageTest, TransparentImageShowsWhatLiesBelowExceptItsOwnColours) {
  TForm form;
  form.SetClientWidth(4);
  form.SetClientHeight(3);
  TImage* below = form.Own(new TImage(&form));
  TImage* overlay = form.Own(new TImage(&form));
  below->SetBounds(0, 0, 4, 3);
  overlay->SetBounds(0, 0, 4, 3);
  below->Canvas()->Brush->SetColor(clRed);
  below->Canvas()->FillRect(Rect(0, 0, 4, 3));
  overlay->SetTransparent(true);
  overlay->Canvas()->SetPixel(2, 1, clBlack);  // white elsewhere, and white bottom-left
  form.Show();
  Application->ProcessMessages();
  ExpectPicture(*Grab(form.ClientWidget(), QRect(0, 0, 4, 3)), {"rrrr", "rr#r", "rrrr"});
  // An explicit transparent colour: black goes, white stays.
  overlay->Picture()->Bitmap()->SetTransparentColor(clBlack);
  overlay->Widget()->update();
  ExpectPicture(*Grab(form.ClientWidget(), QRect(0, 0, 4, 3)), {"....", "..r.", "...."});
}

// What a transparent image shows must follow every change of its picture,
// also when the screen is painted before the change's repaint request ran:
// random drawing, transparent colours and sizes, each compared pixel for
// pixel with the rule (the overlay's pixel unless it is the key colour or
// the overlay has none there, else the picture below). The same where no
// memory is left for a view of the whole overlay, and it is shown a strip of
// two rows at a time.
class TransparentImageTest : public ToolkitImageTest,
                             public testing::WithParamInterface<std::optional<std::size_t>> {};

TEST_P(TransparentImageTest, FollowsEveryChange) {
  constexpr int kW = 48, kH = 40;
  Testing::LimitTransparentViews(GetParam());
  TForm form;
  form.SetClientWidth(kW);
  form.SetClientHeight(kH);
  TImage* below = form.Own(new TImage(&form));
  TImage* overlay = form.Own(new TImage(&form));
  below->SetBounds(0, 0, kW, kH);
  overlay->SetBounds(0, 0, kW, kH);
  overlay->SetTransparent(true);
  below->Canvas();  // both pictures made, white, at the control's size
  overlay->Canvas();
  form.Show();
  std::mt19937 random(99);
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
  const TColor colours[] = {clWhite, clBlack, clRed, clSilver, clBlue};
  auto colour = [&] { return uniform(0, 5) == 5 ? uniform(0, 0xFFFFFF) : colours[uniform(0, 4)]; };
  for (int step = 0; step < 300; ++step) {
    TImage* target = uniform(0, 4) == 0 ? below : overlay;
    TCanvas* c = target->Canvas();
    TBitmap* bitmap = target->Picture()->Bitmap();
    c->Brush->SetColor(colour());
    c->Pen->SetColor(colour());
    const int x = uniform(-10, kW), y = uniform(-10, kH);
    switch (uniform(0, 5)) {
      case 0:
        c->FillRect(Rect(x, y, x + uniform(1, 30), y + uniform(1, 30)));
        break;
      case 1:
        c->Ellipse(x, y, x + uniform(1, 30), y + uniform(1, 30));
        break;
      case 2:
        for (int i = 0; i < 20; ++i) c->SetPixel(uniform(0, kW), uniform(0, kH), colour());
        break;
      case 3:
        bitmap->SetTransparentColor(uniform(0, 1) ? clDefault : colour());
        target->Widget()->update();
        break;
      case 4:
        if (target == overlay) {  // the picture below keeps covering the control
          c->Brush->SetColor(clWhite);
          bitmap->SetWidth(uniform(20, kW));
          bitmap->SetHeight(uniform(20, kH));
        }
        break;
      default:
        c->Pen->SetWidth(uniform(1, 9));
        c->MoveTo(x, y);
        c->LineTo(uniform(0, kW), uniform(0, kH));
    }
    if (uniform(0, 1)) Application->ProcessMessages();  // else painted before the requests run
    const TBitmap& o = *overlay->Picture()->Bitmap();
    const TBitmap& b = *below->Picture()->Bitmap();
    std::uint32_t key = ColorToWord(ColorToRGB(o.TransparentColor()));
    if (o.TransparentColor() == clDefault) key = o.ScanLine(o.Height() - 1)[0];
    const auto shown = Grab(form.ClientWidget(), QRect(0, 0, kW, kH));
    for (int py = 0; py < kH; ++py)
      for (int px = 0; px < kW; ++px) {
        const bool onOverlay = px < o.Width() && py < o.Height();
        const std::uint32_t want = onOverlay && (o.ScanLine(py)[px] & 0xFFFFFFu) != (key & 0xFFFFFFu)
                                       ? o.ScanLine(py)[px]
                                       : b.ScanLine(py)[px];
        ASSERT_EQ(shown->ScanLine(py)[px] & 0xFFFFFFu, want & 0xFFFFFFu)
            << "step " << step << " at " << px << "," << py;
      }
  }
}

INSTANTIATE_TEST_SUITE_P(ViewMemory, TransparentImageTest,
                         testing::Values(std::nullopt, std::optional<std::size_t>(2 * 48 + 10)),
                         [](const testing::TestParamInfo<std::optional<std::size_t>>& info) {
                           return std::string(info.param ? "InStrips" : "WholeView");
                         });

TEST_F(ToolkitImageTest, LaterControlReceivesTheMouseWhereBothLie) {
  TForm form;
  form.SetClientWidth(100);
  form.SetClientHeight(100);
  TImage* first = form.Own(new TImage(&form));
  TImage* second = form.Own(new TImage(&form));
  first->SetBounds(0, 0, 60, 60);
  second->SetBounds(30, 30, 60, 60);
  second->SetTransparent(true);
  second->Canvas();  // all white: fully transparent, still takes the mouse
  std::vector<std::string> got;
  first->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int x, int y) {
    got.push_back("first " + std::to_string(x) + "," + std::to_string(y));
  };
  second->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int x, int y) {
    got.push_back("second " + std::to_string(x) + "," + std::to_string(y));
  };
  form.Show();
  QWindow* window = form.Widget()->windowHandle();
  ASSERT_TRUE(window);
  const QPoint origin = form.ClientWidget()->mapTo(form.Widget(), QPoint(0, 0));
  QTest::mouseClick(window, Qt::LeftButton, {}, origin + QPoint(40, 45));
  QTest::mouseClick(window, Qt::LeftButton, {}, origin + QPoint(10, 12));
  second->SetVisible(false);  // a hidden control gets nothing
  QTest::mouseClick(window, Qt::LeftButton, {}, origin + QPoint(41, 45));
  EXPECT_EQ(got, (std::vector<std::string>{"second 10,15", "first 10,12", "first 41,45"}));
}

TEST_F(ToolkitImageTest, ShiftStatesOfPressMoveAndRelease) {
  TForm form;
  TImage* image = form.Own(new TImage(&form));
  image->SetBounds(0, 0, 50, 50);
  std::vector<std::string> got;
  auto text = [](const char* what, int button, TShiftState s, int x, int y) {
    return std::string(what) + " b" + std::to_string(button) + " s" + std::to_string(s) + " " +
           std::to_string(x) + "," + std::to_string(y);
  };
  image->OnMouseDown = [&](TObject*, TMouseButton b, TShiftState s, int x, int y) {
    got.push_back(text("down", b, s, x, y));
  };
  image->OnMouseMove = [&](TObject*, TShiftState s, int x, int y) {
    got.push_back(text("move", -1, s, x, y));
  };
  image->OnMouseUp = [&](TObject*, TMouseButton b, TShiftState s, int x, int y) {
    got.push_back(text("up", b, s, x, y));
  };
  QWidget* w = image->Widget();
  QTest::mousePress(w, Qt::LeftButton, {}, QPoint(5, 6));
  QTest::mousePress(w, Qt::RightButton, Qt::ShiftModifier, QPoint(7, 8));
  QTest::mouseMove(w, QPoint(-20, 300));  // outside while held: still ours
  QTest::mouseRelease(w, Qt::RightButton, Qt::ControlModifier, QPoint(-20, 300));
  QTest::mouseRelease(w, Qt::LeftButton, Qt::AltModifier, QPoint(9, 9));
  QTest::mousePress(w, Qt::MiddleButton, {}, QPoint(3, 3));
  QTest::mouseRelease(w, Qt::MiddleButton, {}, QPoint(3, 3));
  QTest::mouseDClick(w, Qt::LeftButton, {}, QPoint(4, 4));
  QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(4, 4));
  EXPECT_EQ(got, (std::vector<std::string>{
                     "down b0 s8 5,6",        // left, with the button just pressed
                     "down b1 s25 7,8",       // right + left + shift
                     "move b-1 s24 -20,300",  // both held
                     "up b1 s12 -20,300",     // right released: left + ctrl
                     "up b0 s2 9,9",          // left released: alt only
                     "down b2 s32 3,3",       // middle
                     "up b2 s0 3,3",          //
                     "down b0 s72 4,4",       // double click: left + double
                     "up b0 s0 4,4",
                 }));
}

TEST_F(ToolkitImageTest, TextOutLeavesItsCellInTheBrushColourAndMovesThePen) {
  TBitmap bitmap;
  bitmap.Canvas()->Brush->SetColor(clRed);
  bitmap.SetWidth(60);
  bitmap.SetHeight(30);
  TCanvas* canvas = bitmap.Canvas();
  canvas->Brush->SetColor(clWhite);
  canvas->Font->SetColor(clBlack);
  const int width = canvas->TextWidth("×10");
  ASSERT_GT(width, 0);
  canvas->TextOut(3, 4, "×10");
  EXPECT_EQ(canvas->PenPosX(), 3 + width);
  EXPECT_EQ(canvas->PenPosY(), 4);
  // The cell: rows 4.. and columns 3..3+width-1 are white or black, nothing else.
  int cellBottom = 4;
  while (cellBottom < 30 && canvas->Pixel(3, cellBottom) != clRed) ++cellBottom;
  EXPECT_GE(cellBottom - 4, 12);
  int black = 0;
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 60; ++x) {
      const bool inCell = x >= 3 && x < 3 + width && y >= 4 && y < cellBottom;
      const TColor c = canvas->Pixel(x, y);
      if (!inCell)
        ASSERT_EQ(c, clRed) << x << "," << y;
      else if (c == clBlack)
        ++black;
      else
        ASSERT_EQ(c, clWhite) << x << "," << y;  // aliased: no blended pixels
    }
  EXPECT_GT(black, 10);
  canvas->TextOut(0, 0, "");  // empty: nothing drawn, the pen moves to (0, 0)
  EXPECT_EQ(canvas->Pixel(0, 0), clRed);
  EXPECT_EQ(canvas->PenPosX(), 0);
  EXPECT_EQ(canvas->PenPosY(), 0);
  // A hollow brush leaves the cell's background alone: only glyph pixels change.
  canvas->Brush->SetStyle(bsClear);
  ASSERT_LT(32 + width, 60);
  canvas->TextOut(32, 4, "×10");
  int glyphs = 0;
  for (int y = 4; y < cellBottom; ++y)
    for (int x = 32; x < 32 + width; ++x) {
      const TColor c = canvas->Pixel(x, y);
      ASSERT_TRUE(c == clRed || c == clBlack) << x << "," << y;
      glyphs += c == clBlack;
    }
  EXPECT_GT(glyphs, 10);
}

}  // namespace
