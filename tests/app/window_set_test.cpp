// The window set: what start-up creates and shows, the menus and their check
// marks, the About window, shutdown order, and building the set again.
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QWidget>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/about_window.h"
#include "brush/brush_case_window.h"
#include "brush/brush_window.h"
#include "colour/colour_chart_window.h"
#include "colour/hsv_picker_window.h"
#include "colour/palette_window.h"
#include "core/version.h"
#include "support/tablet_test_fixture.h"
#include "support/window_set_fixture.h"

namespace {

std::vector<std::string> Captions(TMenuItem* menu) {
  std::vector<std::string> captions;
  for (int i = 0; i < menu->Count(); ++i) captions.push_back(menu->Item(i)->Caption());
  return captions;
}

using WindowSet = WindowSetTest;

TEST_F(WindowSet, StartShowsTheCanvasAndFourToolWindows) {
  EXPECT_EQ(Application->Title(), "Daubix brush pro");
  EXPECT_EQ(Application->MainForm(), Form1);
  struct Window {
    TForm* form;
    const char* caption;
    bool visible;
  };
  const std::vector<Window> windows = {{Form1, "Canvas - Daubix", true},
                                       {Form2, "Brush", true},
                                       {Form3, "Color", false},
                                       {Form4, "Palette", true},
                                       {Form5, "Daubix", false},
                                       {Form6, "Brush Case", true},
                                       {Form7, "Color Picker Dialog", true}};
  for (const Window& w : windows) {
    ASSERT_NE(w.form, nullptr) << w.caption;
    EXPECT_EQ(w.form->Caption(), w.caption);
    EXPECT_EQ(w.form->Visible(), w.visible) << w.caption;
    // The program's icon, as built from its SVG.
    EXPECT_EQ(w.form->Widget()->windowIcon().availableSizes(),
              (QList<QSize>{QSize(48, 48), QSize(128, 128), QSize(256, 256)}))
        << w.caption;
  }
  EXPECT_EQ(Form1->ClientWidth(), 600);
  EXPECT_EQ(Form1->ClientHeight(), 400);
  EXPECT_EQ(Form1->Image1->Picture()->Bitmap()->Width(), 600);
  EXPECT_EQ(Form1->Image1->Picture()->Bitmap()->Height(), 400);
  EXPECT_TRUE(Form1->DoubleBuffered());
  EXPECT_FALSE(Form1->Modified);
  EXPECT_EQ(Form1->CurrentColor, clBlack);
  EXPECT_FALSE(Form1->TabletAvailable);
  EXPECT_EQ(LastX, -1);
}

TEST_F(WindowSet, MenusHaveTheirCaptionsAndHiddenItems) {
  ASSERT_EQ(Form1->MainMenu1->Count(), 4);
  EXPECT_EQ(Form1->MainMenu1->Item(0)->Caption(), "ファイル(&F)");
  EXPECT_EQ(Form1->MainMenu1->Item(1)->Caption(), "編集(&E)");
  EXPECT_EQ(Form1->MainMenu1->Item(2)->Caption(), "ウインドウ(&W)");
  EXPECT_EQ(Form1->MainMenu1->Item(3)->Caption(), "ヘルプ(&H)");
  EXPECT_EQ(Captions(Form1->N1),
            (std::vector<std::string>{"新規作成(&N)", "開く(&O)", "保存(&S)", "終了(&Q)"}));
  EXPECT_EQ(Captions(Form1->N6), (std::vector<std::string>{"カンバス", "ブラシ(&B)", "カラー(&C)",
                                                           "カラーHSV(&H)", "パレット(&P)", "筆入れ(&C)"}));
  EXPECT_EQ(Captions(Form1->E1), (std::vector<std::string>{"元に戻す(&U)", "やり直し(&R)"}));
  EXPECT_EQ(Captions(Form1->N11), (std::vector<std::string>{"Daubix について(&H)"}));
  for (TMenuItem* hidden : {Form1->N7, Form1->N9}) {
    EXPECT_FALSE(hidden->Visible()) << hidden->Caption();
    EXPECT_FALSE(hidden->Enabled()) << hidden->Caption();
  }
  EXPECT_EQ(Form1->OpenPictureDialog1->Filter(), "ビットマップ (*.bmp)|*.bmp");
  EXPECT_EQ(Form1->SavePictureDialog1->Filter(), "ビットマップ (*.bmp)|*.bmp");
}

TEST_F(WindowSet, WindowMenuMarksTheVisibleWindows) {
  Form1->N6->Click();
  EXPECT_TRUE(Form1->N7->Checked());
  EXPECT_TRUE(Form1->N8->Checked());
  EXPECT_FALSE(Form1->N9->Checked());
  EXPECT_TRUE(Form1->HSV1->Checked());
  EXPECT_TRUE(Form1->N10->Checked());
  EXPECT_TRUE(Form1->C1->Checked());

  // The marks change only when the menu opens.
  Form2->Close();
  EXPECT_FALSE(Form2->Visible());
  EXPECT_TRUE(Form1->N8->Checked());
  Form1->N6->Click();
  EXPECT_FALSE(Form1->N8->Checked());
  Form1->N8->Click();
  EXPECT_TRUE(Form2->Visible());
  Form1->N6->Click();
  EXPECT_TRUE(Form1->N8->Checked());
}

TEST_F(WindowSet, ToggleItemsHideAndShowTheirWindows) {
  struct Toggle {
    TMenuItem* item;
    TForm* form;
  };
  for (const Toggle& t : {Toggle{Form1->N8, Form2}, Toggle{Form1->N10, Form4}, Toggle{Form1->C1, Form6},
                          Toggle{Form1->HSV1, Form7}, Toggle{Form1->N9, Form3}}) {
    const bool before = t.form->Visible();
    t.item->Click();
    EXPECT_EQ(t.form->Visible(), !before) << t.item->Caption();
    t.item->Click();
    EXPECT_EQ(t.form->Visible(), before) << t.item->Caption();
  }
  Form1->N7->Click();  // does nothing
  EXPECT_TRUE(Form1->Visible());
}

TEST_F(WindowSet, AboutIsOneWindowCentredOnlyAtItsFirstShowing) {
  TForm5* about = Form5;
  Form1->NDaubix1->Click();
  EXPECT_TRUE(Form5->Visible());
  EXPECT_EQ(Form5->ClientWidth(), 192);
  EXPECT_EQ(Form5->ClientHeight(), 166);
  EXPECT_EQ(Form5->Left(), (Screen->Width() - Form5->Width()) / 2);
  EXPECT_EQ(Form5->Top(), (Screen->Height() - Form5->Height()) / 2);
  Form1->NDaubix1->Click();
  EXPECT_EQ(Form5, about);
  EXPECT_TRUE(Form5->Visible());

  Form5->SetLeft(10);
  Form5->Close();
  EXPECT_FALSE(Form5->Visible());
  Form1->NDaubix1->Click();
  EXPECT_TRUE(Form5->Visible());
  EXPECT_EQ(Form5->Left(), 10);

  EXPECT_EQ(Form5->Label1->Caption(), "Daubix");
  EXPECT_EQ(Form5->Label4->Caption(), DAUBIX_VERSION);
  TBitmap* icon = Form5->Image1->Picture()->Bitmap();
  EXPECT_EQ(icon->Width(), 48);
  EXPECT_EQ(icon->Height(), 48);
}

// Rows of a picture holding ink darker than the window's background.
int InkRows(const QImage& image) {
  int rows = 0;
  for (int y = 0; y < image.height(); ++y) {
    bool ink = false;
    for (int x = 0; x < image.width() && !ink; ++x) ink = qGray(image.pixel(x, y)) < 128;
    rows += ink;
  }
  return rows;
}

// Each line shows whole at the window's font, the descenders of the two
// bottom lines (g, p, y) included: as many inked rows as the text has when
// drawn with room to spare.
TEST_F(WindowSet, AboutLinesShowWhole) {
  Form1->NDaubix1->Click();
  for (TLabel* label : {Form5->Label1, Form5->Label2, Form5->Label3, Form5->Label4}) {
    QWidget* widget = label->Widget();
    QImage unclipped(widget->width(), widget->fontMetrics().height() * 3, QImage::Format_RGB32);
    unclipped.fill(Qt::white);
    QPainter painter(&unclipped);
    painter.setFont(widget->font());
    painter.drawText(unclipped.rect(), Qt::AlignCenter, QString::fromStdString(label->Caption()));
    painter.end();
    EXPECT_EQ(InkRows(widget->grab().toImage()), InkRows(unclipped)) << label->Caption();
  }
  // Still where the window's layout puts them.
  EXPECT_EQ(Form5->Label3->Top(), 142);
  EXPECT_EQ(Form5->Label2->Top(), 154);
  EXPECT_EQ(Form5->Label2->Height(), 12);
}

// The desktop's icon is drawn after the About window's picture: at 48 pixels
// the two differ by little more than the SVG renderer's smoothing.
TEST_F(WindowSet, WindowIconMatchesTheAboutPicture) {
  const QImage drawn = Form1->Widget()->windowIcon().pixmap(48, 48).toImage();
  ASSERT_EQ(drawn.size(), QSize(48, 48));
  TBitmap* about = Form5->Image1->Picture()->Bitmap();
  long long difference = 0;
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 48; ++x) {
      const QRgb a = drawn.pixel(x, y);
      const TColor b = about->Canvas()->Pixel(x, y);
      difference += std::abs(qRed(a) - (b & 0xFF)) + std::abs(qGreen(a) - ((b >> 8) & 0xFF)) +
                    std::abs(qBlue(a) - ((b >> 16) & 0xFF));
    }
  }
  EXPECT_LT(difference / (48.0 * 48 * 3), 10.0);
}

TEST_F(WindowSet, QuittingUnmodifiedAsksNothingAndWritesTheLayout) {
  Form1->N5->Click();
  EXPECT_TRUE(Testing::AskedQuestions().empty());
  EXPECT_TRUE(std::filesystem::exists(LayoutFilePath()));
  EXPECT_TRUE(Application->Terminated());
}

TEST_F(WindowSet, QuittingModifiedAsksFirstAndWritesTheLayoutOnNo) {
  Form1->Image1MouseDown(Form1->Image2, mbMiddle, ssMiddle, 5, 5);
  Testing::AnswerConfirmation(false);
  Form1->Close();
  EXPECT_EQ(Testing::AskedQuestions().size(), 1u);
  EXPECT_TRUE(std::filesystem::exists(LayoutFilePath()));
  EXPECT_TRUE(Application->Terminated());
}

TEST_F(WindowSet, DestroyingLeavesNothingBehindAndTheSetCanBeBuiltAgain) {
  Form1->Image1MouseDown(Form1->Image2, mbMiddle, ssMiddle, 5, 5);
  DestroyWindowSet();
  EXPECT_EQ(Form1, nullptr);
  EXPECT_EQ(Form2, nullptr);
  EXPECT_EQ(Form3, nullptr);
  EXPECT_EQ(Form4, nullptr);
  EXPECT_EQ(Form5, nullptr);
  EXPECT_EQ(Form6, nullptr);
  EXPECT_EQ(Form7, nullptr);
  EXPECT_EQ(TabletLibrary(), nullptr);
  EXPECT_EQ(LastX, -1);
  EXPECT_EQ(Application->MainForm(), nullptr);
  CreateWindowSet();
  Form1->Show();
  EXPECT_EQ(Application->MainForm(), Form1);
  EXPECT_FALSE(Form1->Modified);
  EXPECT_TRUE(Form2->Visible());
}

class MalformedLayoutTest : public WindowSetTest {
 protected:
  void BeforeCreate() override { std::ofstream(LayoutFilePath()) << "1,2,x,4\n"; }
};

// The canvas window's creation ends at the bad file with an error box, yet
// its drawing state is set up and the program starts normally.
TEST_F(MalformedLayoutTest, StartsWithTheErrorShownAndACleanDrawingState) {
  EXPECT_FALSE(Testing::ShownErrors().empty());
  EXPECT_EQ(Form1->CurrentColor, clBlack);
  EXPECT_EQ(LastX, -1);
  EXPECT_EQ(LastY, -1);
  EXPECT_NE(Form7, nullptr);
  EXPECT_TRUE(Form2->Visible());
}

// Notes whether the library was still loaded when the context was closed.
class ClosingTabletLibrary : public ScriptedTabletLibrary {
 public:
  bool WTClose(HCTX context) override {
    loadedAtClose = TabletLibrary() == this;
    return ScriptedTabletLibrary::WTClose(context);
  }
  bool loadedAtClose = false;
};

using TabletWindowSetTest = WithTablet<WindowSetTest, ClosingTabletLibrary>;

TEST_F(TabletWindowSetTest, OpensTheContextAtCreationAndClosesItBeforeTheLibraryGoes) {
  EXPECT_TRUE(Form1->TabletAvailable);
  EXPECT_EQ(tablet_->CallNames(), (std::vector<std::string>{"WTInfoA", "WTOpenA", "WTQueueSizeSet"}));
  DestroyWindowSet();
  EXPECT_EQ(tablet_->CallNames().back(), "WTClose");
  EXPECT_TRUE(tablet_->loadedAtClose);
  EXPECT_EQ(TabletLibrary(), nullptr);
  CreateWindowSet();  // for TearDown
}

}  // namespace
