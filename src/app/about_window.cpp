// The About window and its 48 x 48 picture, painted here pixel by pixel: a
// round brush with a wooden handle laying down a dab of red paint.
#include "app/about_window.h"

#include <algorithm>
#include <cmath>

#include "core/version.h"

TForm5* Form5 = nullptr;

namespace {

constexpr int kIconSize = 48;

struct Rgb {
  double r, g, b;
};

Rgb Mix(Rgb a, Rgb b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

TColor ToColor(Rgb c) {
  auto channel = [](double v) { return static_cast<TColor>(std::clamp(std::lround(v), 0L, 255L)); };
  return channel(c.r) | channel(c.g) << 8 | channel(c.b) << 16;
}

// The brush lies along the line from its tip to the end of its handle.
constexpr double kTipX = 11.5, kTipY = 37.5, kEndX = 41.5, kEndY = 7.5;

// The brush's colour at a point, or nothing when the point is off the brush.
// `along` runs 0 at the tip to 1 at the handle's end; `across` is the signed
// distance from the axis in pixels, negative on the lit upper-left side.
bool BrushColour(double x, double y, Rgb& out) {
  const double dx = kEndX - kTipX, dy = kEndY - kTipY;
  const double length = std::hypot(dx, dy);
  const double along = ((x - kTipX) * dx + (y - kTipY) * dy) / (length * length);
  const double across = ((x - kTipX) * dy - (y - kTipY) * dx) / length;
  if (along < 0.0 || along > 1.0) return false;
  double halfWidth;
  Rgb base;
  if (along < 0.30) {  // bristles, tapering to the tip, wet with paint
    halfWidth = 0.8 + along / 0.30 * 2.9;
    base = along < 0.12 ? Rgb{200, 30, 35} : Mix(Rgb{200, 30, 35}, Rgb{70, 45, 30}, (along - 0.12) / 0.1);
  } else if (along < 0.42) {  // metal ferrule
    halfWidth = 3.7;
    base = Rgb{176, 180, 190};
  } else {  // lacquered handle, slimmer towards its rounded end
    halfWidth = 3.2 - (along - 0.42) * 1.4;
    base = Rgb{150, 82, 40};
    if (along > 0.97) halfWidth *= std::sqrt(std::max(0.0, (1.0 - along) / 0.03));
  }
  if (std::abs(across) > halfWidth) return false;
  const double light = across / halfWidth;  // -1 lit edge .. 1 shaded edge
  out = light < 0 ? Mix(base, Rgb{255, 250, 240}, -light * 0.55) : Mix(base, Rgb{20, 12, 8}, light * 0.5);
  return true;
}

Rgb BackgroundColour(int x, int y) {
  // A dab of red under the tip, on a pale tile that darkens downwards.
  const double dab = std::hypot((x - 14.0) / 11.0, (y - 38.0) / 6.5);
  if (dab < 1.0) return Mix(Rgb{235, 70, 60}, Rgb{170, 20, 30}, dab * dab);
  return Mix(Rgb{250, 248, 240}, Rgb{214, 222, 236}, y / double(kIconSize - 1));
}

void PaintIcon(TBitmap* bitmap) {
  bitmap->SetWidth(kIconSize);
  bitmap->SetHeight(kIconSize);
  TCanvas* canvas = bitmap->Canvas();
  for (int y = 0; y < kIconSize; ++y) {
    for (int x = 0; x < kIconSize; ++x) {
      Rgb c = BackgroundColour(x, y);
      BrushColour(x + 0.5, y + 0.5, c);
      canvas->SetPixel(x, y, ToColor(c));
    }
  }
  // A thin frame holds the tile together on the button-face background.
  canvas->Brush->SetColor(0x8C7B6E);
  canvas->FrameRect(Rect(0, 0, kIconSize, kIconSize));
}

TLabel* MakeLabel(TForm5* form, const char* caption, int left, int top) {
  TLabel* label = form->Own(new TLabel(form));
  label->SetLeft(left);
  label->SetTop(top);
  label->SetCaption(caption);
  return label;
}

// A label across the whole client width, 12 high, text centred.
TLabel* MakeCentredLabel(TForm5* form, const char* caption, int top) {
  TLabel* label = MakeLabel(form, caption, 0, top);
  label->SetBounds(0, top, form->ClientWidth(), 12);
  label->SetAlignment(taCenter);
  return label;
}

}  // namespace

TForm5::TForm5() {
  SetCaption("Daubix");
  SetBorderStyle(bsSingle);
  SetFormStyle(fsStayOnTop);
  SetPosition(poScreenCenter);
  SetClientWidth(192);
  SetClientHeight(166);

  Label1 = MakeCentredLabel(this, "Daubix", 0);
  Image1 = Own(new TImage(this));
  Image1->SetBounds(70, 48, kIconSize, kIconSize);
  PaintIcon(Image1->Picture()->Bitmap());
  Label4 = MakeLabel(this, DAUBIX_VERSION, 85, 104);
  Label3 = MakeCentredLabel(this, "https://daubix.example.org/", 142);
  Label3->SetFontColor(clBlue);
  Label2 = MakeCentredLabel(this, "By the Daubix developers", 154);
}
