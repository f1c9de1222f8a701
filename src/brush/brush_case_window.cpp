#include "brush/brush_case_window.h"

#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "brush/brush_window.h"
#include "canvas/canvas_window.h"
#include "core/rounding.h"
#include "core/text_fields.h"

TForm6* Form6 = nullptr;

namespace {
constexpr int kThumbSize = 50;  // thumbnails are kThumbSize x kThumbSize
}  // namespace

TForm6::TForm6() {
  SetCaption("Brush Case");
  SetLeft(71);
  SetTop(446);
  SetWidth(408);
  SetHeight(284);

  ImageList1 = Own(new TImageList(this, kThumbSize, kThumbSize));
  ListView1 = Own(new TListView(this));
  ListView1->SetAlign(alClient);
  ListView1->SetLargeImages(ImageList1);
  ListView1->OnMouseDown = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
    ListView1MouseDown(s, b, sh, x, y);
  };
  ListView1->OnSelectItem = [this](TObject* s, TListItem* item, bool selected) {
    ListView1SelectItem(s, item, selected);
  };

  OnCreate = [this](TObject* s) { FormCreate(s); };
  OnClose = [this](TObject* s, TCloseAction& action) { FormClose(s, action); };
}

void TForm6::FormCreate(TObject*) {}

// Closing only hides the window (the toolkit's default), so the presets stay.
void TForm6::FormClose(TObject*, TCloseAction&) {}

// A right press, and only without the left button held, stores the brush;
// where it lands in the list does not matter.
void TForm6::ListView1MouseDown(TObject*, TMouseButton, TShiftState Shift, int, int) {
  if ((Shift & ssRight) && !(Shift & ssLeft)) AddPreset();
}

// Raised for the item losing the selection as well as the one gaining it, and
// both are applied: deselecting re-applies the preset that was selected.
void TForm6::ListView1SelectItem(TObject*, TListItem* Item, bool) {
  if (Item) ApplyPreset(Item);
}

namespace {
// Brushes are drawn smaller on the 50 x 50 thumbnail so that every size fits:
// from 250 at a tenth, from 125 at a fifth, below at a third, and labelled
// with the scale where it is not the plain third.
struct ThumbScale {
  int fromSize;
  long double divisor;
  const char* label;
};
constexpr ThumbScale kThumbScales[] = {{250, 10.0L, "×10"}, {125, 5.0L, "×5"}, {0, 3.0L, ""}};

const ThumbScale& ThumbScaleOf(int size) {
  for (const ThumbScale& scale : kThumbScales)
    if (size >= scale.fromSize) return scale;
  return kThumbScales[std::size(kThumbScales) - 1];
}

// The thumbnail's disc diameter; 4 at least.
int ThumbDiameter(int size) {
  const auto d = static_cast<int>(Round(size / ThumbScaleOf(size).divisor));
  return d <= 4 ? 4 : d;
}

struct BrushState {
  TColor colour;
  int size;
  TBrushShape shape;
};

void DrawThumbnail(TCanvas* canvas, const BrushState& brush) {
  canvas->Brush->SetColor(brush.colour);
  canvas->Pen->SetColor(brush.colour);
  const auto r = static_cast<int>(Round(ThumbDiameter(brush.size) / 2.0L));
  const int centre = kThumbSize / 2;
  const TRect box = Rect(centre - r, centre - r, centre + r, centre + r);
  if (brush.shape == TBrushShape::Round)
    canvas->Ellipse(box);
  else
    canvas->FillRect(box);
  canvas->Brush->SetColor(clWhite);
  canvas->Font->SetColor(clBlack);
  canvas->TextOut(0, 0, ThumbScaleOf(brush.size).label);
}
}  // namespace

// The caption "colour,size,shape" is the preset's only store; the thumbnail
// is for the eye.
void TForm6::AddPreset() {
  TListItem* item = ListView1->Items()->Add();
  const BrushState brush{Form1->CurrentColor, Form2->ScrollBar1->Position(), Form2->BrushShape()};
  item->SetCaption(std::to_string(brush.colour) + "," + std::to_string(brush.size) + "," +
                   std::to_string(static_cast<int>(brush.shape)));
  const auto bitmap = std::make_unique<TBitmap>();
  bitmap->SetWidth(kThumbSize);
  bitmap->SetHeight(kThumbSize);
  DrawThumbnail(bitmap->Canvas(), brush);
  item->SetImageIndex(ImageList1->Add(bitmap.get()));
}

// Captions can be edited in place, so each field is parsed on its own and
// applied at once: a bad field stops here with the fields before it applied.
void TForm6::ApplyPreset(TListItem* item) {
  const std::vector<std::string> fields = SplitCommaText(item->Caption());
  Form1->CurrentColor = StrToInt(FieldAt(fields, 0));
  // Clamped to 1..500; runs the brush refresh only when the size changes,
  // and so with the shape as it was before.
  Form2->ScrollBar1->SetPosition(StrToInt(FieldAt(fields, 1)));
  if (FieldAt(fields, 2) == "0")  // the code of TBrushShape::Round
    Form2->SpeedButton1->SetDown(true);
  else
    Form2->SpeedButton2->SetDown(true);
  Form1->Image1->Canvas()->Pen->SetWidth(Form2->ScrollBar1->Position());
}
