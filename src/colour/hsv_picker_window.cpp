#include "colour/hsv_picker_window.h"

#include <cmath>
#include <cstdint>
#include <memory>

#include "canvas/canvas_window.h"
#include "core/colour_conversions.h"
#include "core/rounding.h"

TForm7* Form7 = nullptr;

namespace {
constexpr int kImageSize = 200;  // the picker image, square, fills the client area
}  // namespace

TForm7::TForm7() {
  SetCaption("Color Picker Dialog");
  SetBorderStyle(bsSingle);
  SetLeft(617);
  SetTop(496);
  SetClientWidth(kImageSize);
  SetClientHeight(kImageSize);
  // Outer size: the client plus whatever frame the platform draws.
  SetConstraints(TSizeConstraints{200, 200, 208, 234});

  Image1 = Own(new TImage(this));
  Image1->SetBounds(0, 0, kImageSize, kImageSize);
  Image1->OnMouseDown = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
    Image1MouseDown(s, b, sh, x, y);
  };

  OnCreate = [this](TObject* s) { FormCreate(s); };
  OnShow = [this](TObject* s) { FormShow(s); };
  OnResize = [this](TObject* s) { FormResize(s); };
}

void TForm7::FormCreate(TObject*) {
  FirstShow = true;
  // Every other window exists now, so this is where they are placed.
  Form1->ApplyLayout();
  TCanvas* canvas = Image1->Canvas();
  DrawHueRing(canvas, canvas->ClipRect(), 5);
}

void TForm7::FormShow(TObject*) {
  if (!FirstShow) return;
  FirstShow = false;
  DrawSvSquare(clRed, Image1);
}

void TForm7::FormResize(TObject*) {}

namespace {
constexpr long double kPi = 3.141592653589793238462643383279502884L;

// Hue of a colour; greys and black keep the starting hue 0.
int HueOf(TColor colour) {
  std::uint8_t red, green, blue;
  SplitColor(colour, red, green, blue);
  int hue = 0, saturation = 0, value = 0;
  ColorToHsv(red, green, blue, hue, saturation, value);
  return hue;
}

// The saturation/value square of an image: its middle half, centred (for the
// 200 x 200 picker image x and y 50..149).
TRect SvSquareOf(const TImage* image) {
  const int w = image->Width(), h = image->Height();
  const int left = w / 2 - w / 4, top = h / 2 - h / 4;
  return Rect(left, top, left + 2 * (w / 4), top + 2 * (h / 4));
}

// Saturation grows down the rows, value along the columns, 0 .. 0.99 in
// steps of 0.01 (taken in extended precision: 0.7 must stay just below
// 0.7 so that 0.7 x 255 rounds to 178, not 179).
void PaintSvSquare(TCanvas* canvas, const TRect& square, int hue) {
  for (int col = 0; col < square.Right - square.Left; ++col) {
    const auto value = static_cast<double>(col * 0.01L);
    for (int row = 0; row < square.Bottom - square.Top; ++row)
      canvas->SetPixel(square.Left + col, square.Top + row,
                       HsvToColor(hue, static_cast<double>(row * 0.01L), value));
  }
}

}  // namespace

// Square clicks take the pixel as it is; ring clicks repaint the square for
// the clicked hue and take the full-strength ring colour. Every button acts
// alike.
void TForm7::Image1MouseDown(TObject*, TMouseButton, TShiftState, int X, int Y) {
  const TRect square = SvSquareOf(Image1);
  TCanvas* canvas = Image1->Canvas();
  if (X >= square.Left && X < square.Right && Y >= square.Top && Y < square.Bottom) {
    Form1->CurrentColor = canvas->Pixel(X, Y);
    return;
  }
  const TColor clicked = canvas->Pixel(X, Y);
  if (clicked == clWhite) return;
  PaintSvSquare(canvas, square, HueOf(clicked));
  Form1->CurrentColor = clicked;
}

void TForm7::DrawSvSquare(TColor colour, TImage* image) {
  // The drawing marks the image for repaint; no separate invalidation needed.
  PaintSvSquare(image->Canvas(), SvSquareOf(image), HueOf(colour));
}

void TForm7::DrawHueRing(TCanvas* canvas, const TRect& rect, int steps) {
  const int w = rect.Right - rect.Left;
  const int h = rect.Bottom - rect.Top;
  // Spokes are drawn over a copy of the current picture, then copied back
  // through the ring clip, so only ring pixels change.
  const auto spokes = std::make_unique<TBitmap>();
  spokes->SetWidth(w);
  spokes->SetHeight(h);
  TCanvas* pen = spokes->Canvas();
  pen->CopyRect(Rect(0, 0, w, h), canvas, rect);
  const int cx = w / 2;
  const int cy = h / 2;
  pen->Pen->SetWidth(2);
  for (int i = 0; i < 360 * steps; ++i) {
    pen->Pen->SetColor(HueRampColor(i, steps));
    pen->MoveTo(cx, cy);
    long double a = static_cast<long double>(i) / steps;
    // tan is unbounded straight right and left; nudge the angle only.
    if (i == 90 * steps || i == 270 * steps) a += 0.1L;
    const auto theta = static_cast<float>(a * kPi / 180);
    const auto dy = static_cast<int>(Round(std::cos(static_cast<long double>(theta)) * h));
    const auto dx = static_cast<int>(Round(std::tan(static_cast<long double>(theta)) * dy));
    pen->LineTo(cx + dx, cy - dy);
  }

  TRect box = rect;
  BeginPath(canvas->Handle());
  canvas->Ellipse(box);
  InflateRect(box, -(w / 8), -(h / 8));
  canvas->Ellipse(box);
  InflateRect(box, w / 8, h / 8);
  EndPath(canvas->Handle());
  const std::unique_ptr<TRegion> ring = PathToRegion(canvas->Handle());
  SelectClipRgn(canvas->Handle(), ring.get());
  canvas->CopyRect(rect, pen, Rect(0, 0, w, h));
  // The clip is for this one copy: the square drawn later inside the inner
  // ellipse must not be cut away, whichever event draws it.
  SelectClipRgn(canvas->Handle(), nullptr);
}
