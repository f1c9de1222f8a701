#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "brush/brush_case_window.h"
#include "brush/brush_window.h"
#include "support/picture_test_util.h"
#include "support/window_set_fixture.h"

namespace {

class BrushCaseTest : public WindowSetTest {
 protected:
  void UseBrush(TColor colour, int size, bool round) {
    Form1->CurrentColor = colour;
    Form2->ScrollBar1->SetPosition(size);
    (round ? Form2->SpeedButton1 : Form2->SpeedButton2)->SetDown(true);
  }
  // A right press in the list, as the list reports it.
  void RightPress(TShiftState extra = 0) {
    Form6->ListView1MouseDown(Form6->ListView1, mbRight, ssRight | extra, 30, 30);
  }
  TListItem* AddPreset(TColor colour, int size, bool round) {
    UseBrush(colour, size, round);
    RightPress();
    return Items()->Item(Items()->Count() - 1);
  }
  TListItems* Items() { return Form6->ListView1->Items(); }
  void Apply(TListItem* item, bool selected = true) {
    Form6->ListView1SelectItem(Form6->ListView1, item, selected);
  }
  const TBitmap& Thumbnail(const TListItem* item) { return Form6->ImageList1->Image(item->ImageIndex()); }
  bool IsRound() { return Form2->SpeedButton1->Down() && !Form2->SpeedButton2->Down(); }
  int PenWidth() { return Form1->Image1->Canvas()->Pen->Width(); }
  TColor PreviewPixel(int x, int y) { return Form2->Image1->Canvas()->Pixel(x, y); }
  // The message a failing apply raises.
  std::string ApplyError(TListItem* item) {
    try {
      Apply(item);
    } catch (const std::exception& e) {
      return e.what();
    }
    return "(no error)";
  }
};

// What a thumbnail should look like: the figure in the box the size table
// gives, then the scale label on white at the top-left.
std::unique_ptr<TBitmap> ExpectedThumbnail(TColor colour, TRect box, bool round, const std::string& label) {
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetWidth(50);
  bmp->SetHeight(50);
  TCanvas* c = bmp->Canvas();
  c->Brush->SetColor(colour);
  c->Pen->SetColor(colour);
  if (round)
    c->Ellipse(box);
  else
    c->FillRect(box);
  c->Brush->SetColor(clWhite);
  c->Font->SetColor(clBlack);
  c->TextOut(0, 0, label);
  return bmp;
}

const PictureLegend kThumbLegend = {{'.', clWhite}, {'r', clRed}, {'#', clBlack}};

TEST_F(BrushCaseTest, RightPressAddsAPresetWithCaptionAndThumbnail) {
  EXPECT_EQ(Form6->Caption(), "Brush Case");
  EXPECT_EQ(Items()->Count(), 0);
  TListItem* item = AddPreset(clRed, 10, true);
  ASSERT_EQ(Items()->Count(), 1);
  EXPECT_EQ(item->Caption(), "255,10,0");
  EXPECT_EQ(item->ImageIndex(), 0);
  EXPECT_EQ(Form6->ImageList1->Count(), 1);
  // Adding changes neither the brush nor the selection.
  EXPECT_EQ(Form6->ListView1->Selected(), nullptr);
  EXPECT_EQ(Form2->ScrollBar1->Position(), 10);
  EXPECT_TRUE(IsRound());

  TListItem* second = AddPreset(0xFF8000, 300, false);
  EXPECT_EQ(second->Caption(), std::to_string(0xFF8000) + ",300,1");
  EXPECT_EQ(second->ImageIndex(), 1);
  EXPECT_EQ(Items()->Item(0)->Caption(), "255,10,0");  // appended, not inserted
  // A system colour is written as the signed number it is.
  EXPECT_EQ(AddPreset(clBtnFace, 1, true)->Caption(), "-16777201,1,0");
}

TEST_F(BrushCaseTest, OnlyAPlainRightPressAdds) {
  Form6->ListView1MouseDown(Form6->ListView1, mbRight, ssRight | ssLeft, 5, 5);
  Form6->ListView1MouseDown(Form6->ListView1, mbMiddle, ssMiddle, 5, 5);
  Form6->ListView1MouseDown(Form6->ListView1, mbLeft, ssLeft, 5, 5);
  EXPECT_EQ(Items()->Count(), 0);
  RightPress(ssShift | ssCtrl);  // modifiers do not matter
  EXPECT_EQ(Items()->Count(), 1);
}

TEST_F(BrushCaseTest, SmallThumbnailsToThePixel) {
  // Sizes 1 to 14 all give the 4 x 4 disc in (23, 23, 27, 27) and no label.
  std::vector<std::string> expected(50, std::string(50, '.'));
  expected[23].replace(24, 2, "rr");
  expected[24].replace(23, 4, "rrrr");
  expected[25].replace(23, 4, "rrrr");
  expected[26].replace(24, 2, "rr");
  for (int size : {1, 13, 14}) {
    SCOPED_TRACE(size);
    ExpectPicture(Thumbnail(AddPreset(clRed, size, true)), expected, kThumbLegend);
  }
  for (int y = 23; y < 27; ++y) expected[static_cast<std::size_t>(y)].replace(23, 4, "rrrr");
  ExpectPicture(Thumbnail(AddPreset(clRed, 14, false)), expected, kThumbLegend);
}

struct ThumbCase {
  int size;
  TRect box;
  const char* label;
};

TEST_F(BrushCaseTest, ThumbnailDiameterTableAndLabels) {
  const ThumbCase cases[] = {
      {13, Rect(23, 23, 27, 27), ""},     {14, Rect(23, 23, 27, 27), ""},
      {124, Rect(5, 5, 45, 45), ""},      {125, Rect(13, 13, 37, 37), "×5"},
      {249, Rect(0, 0, 50, 50), "×5"},    {250, Rect(13, 13, 37, 37), "×10"},
      {255, Rect(12, 12, 38, 38), "×10"}, {265, Rect(12, 12, 38, 38), "×10"},
      {500, Rect(0, 0, 50, 50), "×10"},
  };
  for (const ThumbCase& c : cases) {
    for (bool round : {true, false}) {
      SCOPED_TRACE(std::to_string(c.size) + (round ? " round" : " square"));
      const TBitmap& thumb = Thumbnail(AddPreset(clRed, c.size, round));
      ExpectPicture(thumb, PictureOf(*ExpectedThumbnail(clRed, c.box, round, c.label), kThumbLegend),
                    kThumbLegend);
    }
  }
}

// A white brush leaves only the label to see, black on the white brush.
TEST_F(BrushCaseTest, WhiteBrushShowsOnlyTheLabel) {
  const std::vector<std::string> rows = PictureOf(Thumbnail(AddPreset(clWhite, 300, false)), kThumbLegend);
  int black = 0;
  for (std::size_t y = 0; y < rows.size(); ++y) {
    for (std::size_t x = 0; x < rows[y].size(); ++x) {
      if (rows[y][x] == '.') continue;
      EXPECT_EQ(rows[y][x], '#') << x << "," << y;
      EXPECT_LT(y, 16u);
      EXPECT_LT(x, 25u);
      ++black;
    }
  }
  EXPECT_GT(black, 5);
}

TEST_F(BrushCaseTest, ApplyingRestoresColourSizeShapeAndPenWidth) {
  TListItem* item = AddPreset(clRed, 37, false);
  UseBrush(clBlue, 120, true);
  Form1->Image1->Canvas()->Pen->SetWidth(3);
  Apply(item);
  EXPECT_EQ(Form1->CurrentColor, clRed);
  EXPECT_EQ(Form2->ScrollBar1->Position(), 37);
  EXPECT_EQ(Form2->Label1->Caption(), "37");
  EXPECT_FALSE(IsRound());
  EXPECT_EQ(PenWidth(), 37);
}

TEST_F(BrushCaseTest, EditedSizesAreClampedAndShapeIsRoundOnlyForZero) {
  TListItem* item = AddPreset(clRed, 10, true);
  item->SetCaption("255,900,0");
  Apply(item);
  EXPECT_EQ(Form2->ScrollBar1->Position(), 500);
  EXPECT_EQ(PenWidth(), 500);
  EXPECT_TRUE(IsRound());
  item->SetCaption("255,-4,1");
  Apply(item);
  EXPECT_EQ(Form2->ScrollBar1->Position(), 1);
  EXPECT_EQ(PenWidth(), 1);
  EXPECT_FALSE(IsRound());
  for (const char* caption : {"255,10,00", "255,10,", "255,10,round", "255 10 \"0 \""}) {
    Form2->SpeedButton1->SetDown(true);
    item->SetCaption(caption);
    Apply(item);
    EXPECT_FALSE(IsRound()) << caption;
  }
  // Blanks and quotes separate fields as commas do.
  item->SetCaption("\"16711680\" 20 0");
  Apply(item);
  EXPECT_EQ(Form1->CurrentColor, 0xFF0000);
  EXPECT_EQ(Form2->ScrollBar1->Position(), 20);
  EXPECT_TRUE(IsRound());
}

// The size change runs the brush refresh before the shape is set, so the
// preview and the centred outline show the new size in the old shape.
TEST_F(BrushCaseTest, RefreshRunsBeforeTheShapeChanges) {
  TListItem* square40 = AddPreset(clRed, 40, false);
  UseBrush(clBlack, 10, true);
  Form2->ScrollBar1Change(nullptr);
  Apply(square40);
  EXPECT_FALSE(IsRound());
  EXPECT_EQ(Form2->Label1->Caption(), "40");
  EXPECT_EQ(PreviewPixel(20, 20), clBlack);
  EXPECT_EQ(PreviewPixel(0, 0), clWhite);  // a disc's corner, not a square's
  EXPECT_EQ(PreviewPixel(39, 20), clBlack);
  EXPECT_EQ(PreviewPixel(41, 20), clWhite);
  TCanvas* overlay = Form1->Image2->Canvas();
  const int cx = Form1->Image2->Width() / 2, cy = Form1->Image2->Height() / 2;
  EXPECT_EQ(overlay->Pixel(cx - 20, cy - 20), clWhite);  // round outline: no frame corner
  EXPECT_EQ(overlay->Pixel(cx - 20, cy), clBlack);
}

TEST_F(BrushCaseTest, SameSizeRunsNoRefresh) {
  TListItem* square10 = AddPreset(clBlue, 10, false);
  UseBrush(clRed, 10, true);
  Form2->ScrollBar1Change(nullptr);
  Form1->Image1->Canvas()->Pen->SetWidth(2);
  Apply(square10);
  EXPECT_EQ(Form1->CurrentColor, clBlue);
  EXPECT_FALSE(IsRound());
  EXPECT_EQ(PreviewPixel(0, 0), clWhite);  // the preview still shows the disc
  EXPECT_EQ(PenWidth(), 10);               // set by the apply itself
}

TEST_F(BrushCaseTest, EditedCaptionsFailWithTheFieldsBeforeApplied) {
  TListItem* item = AddPreset(clRed, 10, true);
  UseBrush(clBlue, 30, false);

  item->SetCaption("abc,20,0");
  EXPECT_EQ(ApplyError(item), "'abc' は整数ではありません");
  EXPECT_EQ(Form1->CurrentColor, clBlue);
  EXPECT_EQ(Form2->ScrollBar1->Position(), 30);

  item->SetCaption("255,big,0");
  EXPECT_EQ(ApplyError(item), "'big' は整数ではありません");
  EXPECT_EQ(Form1->CurrentColor, 255);
  EXPECT_EQ(Form2->ScrollBar1->Position(), 30);
  EXPECT_FALSE(IsRound());

  Form1->CurrentColor = clBlue;
  item->SetCaption("");
  EXPECT_EQ(ApplyError(item), "リストのインデックスが範囲を超えています (0)");
  EXPECT_EQ(Form1->CurrentColor, clBlue);

  Form1->Image1->Canvas()->Pen->SetWidth(3);
  item->SetCaption("255,20");
  EXPECT_EQ(ApplyError(item), "リストのインデックスが範囲を超えています (2)");
  EXPECT_EQ(Form1->CurrentColor, 255);
  EXPECT_EQ(Form2->ScrollBar1->Position(), 20);
  EXPECT_FALSE(IsRound());  // shape untouched
  EXPECT_EQ(Form6->ListView1->Items()->Count(), 1);

  item->SetCaption("255,,0");
  EXPECT_EQ(ApplyError(item), "'' は整数ではありません");
}

TEST_F(BrushCaseTest, SelectionChangesApplyThroughTheList) {
  TListItem* red = AddPreset(clRed, 10, true);
  TListItem* blue = AddPreset(clBlue, 60, false);
  red->SetSelected(true);
  EXPECT_EQ(Form1->CurrentColor, clRed);
  EXPECT_TRUE(IsRound());
  // Selecting another applies the one losing the selection, then the new one.
  blue->SetSelected(true);
  EXPECT_EQ(Form1->CurrentColor, clBlue);
  EXPECT_EQ(Form2->ScrollBar1->Position(), 60);
  EXPECT_FALSE(IsRound());
  // Deselecting re-applies the preset, undoing changes made since.
  UseBrush(clBlack, 5, true);
  blue->SetSelected(false);
  EXPECT_EQ(Form6->ListView1->Selected(), nullptr);
  EXPECT_EQ(Form1->CurrentColor, clBlue);
  EXPECT_EQ(Form2->ScrollBar1->Position(), 60);
  EXPECT_FALSE(IsRound());
  // Left selected: tearing the window set down must not apply it into
  // windows already gone.
  red->SetSelected(true);
}

TEST_F(BrushCaseTest, AFailingSelectionShowsTheErrorBox) {
  TListItem* item = AddPreset(clRed, 10, true);
  item->SetCaption("x,1,0");
  item->SetSelected(true);
  ASSERT_EQ(Testing::ShownErrors().size(), 1u);
  EXPECT_EQ(Testing::ShownErrors()[0].rfind("'x' は整数ではありません", 0), 0u) << Testing::ShownErrors()[0];
  EXPECT_EQ(Items()->Count(), 1);
}

}  // namespace
