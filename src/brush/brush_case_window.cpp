#include "brush/brush_case_window.h"

#include <memory>
#include <string>

#include "app/canvas_window.h"
#include "brush/brush_window.h"
#include "canvas/text_fields.h"

TForm6* Form6 = nullptr;

TForm6::TForm6() {
  SetCaption("Brush Case");
  SetLeft(71);
  SetTop(446);
  SetWidth(408);
  SetHeight(284);

  ImageList1 = Own(new TImageList(this, 50, 50));
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

void TForm6::ListView1MouseDown(TObject*, TMouseButton, TShiftState, int, int) {}

void TForm6::ListView1SelectItem(TObject*, TListItem*, bool) {}

void TForm6::AddPreset() {}

void TForm6::ApplyPreset(TListItem*) {}
