// The dialog seam, and the list view's selection and mouse events.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QTest>
#include <string>
#include <vector>

#include "toolkit/toolkit.h"
#include "toolkit/toolkit_qt.h"
#include "toolkit/toolkit_testing.h"

namespace {

class ToolkitDialogsTest : public testing::Test {
 protected:
  void SetUp() override { Testing::Reset(); }
  void TearDown() override { QTestPrivate::qtestMouseButtons = Qt::NoButton; }
};

TEST_F(ToolkitDialogsTest, ScriptedAnswersAreTakenInOrderAndMissingOnesRecorded) {
  TForm form;
  Testing::AnswerConfirmation(true);
  Testing::AnswerConfirmation(false);
  Testing::AnswerFileDialog("/tmp/a.bmp");
  Testing::AnswerFileDialog(std::nullopt);
  Testing::AnswerColorDialog(0x123456);
  Testing::AnswerColorDialog(std::nullopt);
  EXPECT_EQ(Testing::PendingAnswers(), 6);

  EXPECT_EQ(ConfirmationBox("保存しますか"), mrYes);
  EXPECT_EQ(ConfirmationBox("二度目"), mrNo);
  TSavePictureDialog save(&form);
  save.SetFilter("ビットマップ (*.bmp)|*.bmp");
  EXPECT_TRUE(save.Execute());
  EXPECT_EQ(save.FileName(), "/tmp/a.bmp");
  TOpenPictureDialog open(&form);
  EXPECT_FALSE(open.Execute());  // cancelled
  EXPECT_EQ(open.FileName(), "");
  TColorDialog colour(&form);
  EXPECT_TRUE(colour.Execute());
  EXPECT_EQ(colour.Color(), 0x123456);
  EXPECT_FALSE(colour.Execute());
  EXPECT_EQ(colour.Color(), 0x123456);  // a cancel keeps the last colour
  EXPECT_EQ(Testing::PendingAnswers(), 0);
  EXPECT_TRUE(Testing::UnansweredDialogs().empty());

  // Nothing left: answered no / cancel, and recorded as a test failure to report.
  EXPECT_EQ(ConfirmationBox("三度目"), mrNo);
  EXPECT_FALSE(open.Execute());
  EXPECT_FALSE(colour.Execute());
  EXPECT_EQ(Testing::AskedQuestions(), (std::vector<std::string>{"保存しますか", "二度目", "三度目"}));
  EXPECT_EQ(Testing::UnansweredDialogs().size(), 3u);
  Testing::Reset();
  EXPECT_TRUE(Testing::UnansweredDialogs().empty());
  EXPECT_TRUE(Testing::AskedQuestions().empty());
}

// Escape and the close box never answer the save question for the user; a
// question that may be put off closes unanswered.
TEST_F(ToolkitDialogsTest, OnlyTheButtonsAnswerAConfirmationBox) {
  for (const bool dismissable : {false, true}) {
    const std::unique_ptr<QMessageBox> box =
        MakeConfirmationBox(QStringLiteral("ファイルに保存しますか？"), dismissable);
    box->show();
    QTest::keyClick(box.get(), Qt::Key_Escape);
    EXPECT_EQ(box->isVisible(), !dismissable);
    box->show();
    box->close();
    EXPECT_EQ(box->isVisible(), !dismissable);
    EXPECT_EQ(box->clickedButton(), nullptr);
  }
  Testing::DismissConfirmation();
  EXPECT_EQ(ConfirmationBox("復元しますか？", true), mrCancel);
  Testing::DismissConfirmation();
  EXPECT_EQ(ConfirmationBox("ファイルに保存しますか？"), mrNo);
  EXPECT_EQ(Testing::UnansweredDialogs().size(), 1u);  // that box cannot be dismissed
}

TEST_F(ToolkitDialogsTest, ExecutablePathCanBeRedirected) {
  Testing::SetExecutablePath("/tmp/folder/daubix");
  EXPECT_EQ(Application->ExeName(), "/tmp/folder/daubix");
  Testing::SetExecutablePath("");
  EXPECT_NE(Application->ExeName(), "");
  EXPECT_NE(Application->ExeName(), "/tmp/folder/daubix");
}

// A list of three captioned items with thumbnails, recording its events.
struct ListProbe {
  TForm form;
  TListView* view = form.Own(new TListView(&form));
  TImageList* images = form.Own(new TImageList(&form, 50, 50));
  std::vector<std::string> events;
  QPoint lastDown;

  ListProbe() {
    form.SetClientWidth(400);
    form.SetClientHeight(250);
    view->SetAlign(alClient);
    view->SetLargeImages(images);
    for (const char* caption : {"255,10,0", "0,20,1", "16711680,300,0"}) {
      TBitmap thumbnail;
      thumbnail.SetWidth(50);
      thumbnail.SetHeight(50);
      TListItem* item = view->Items()->Add();
      item->SetCaption(caption);
      item->SetImageIndex(images->Add(&thumbnail));
    }
    view->OnSelectItem = [this](TObject*, TListItem* item, bool selected) {
      events.push_back(item->Caption() + (selected ? " on" : " off"));
    };
    view->OnMouseDown = [this](TObject*, TMouseButton b, TShiftState s, int x, int y) {
      events.push_back("down b" + std::to_string(b) + " s" + std::to_string(s));
      lastDown = QPoint(x, y);
    };
    form.Show();
  }
  QPoint CentreOf(int i) const {
    auto* list = static_cast<QListWidget*>(view->Widget());
    return list->visualItemRect(list->item(i)).center();
  }
  QWidget* Viewport() const { return static_cast<QListWidget*>(view->Widget())->viewport(); }
};

TEST_F(ToolkitDialogsTest, ListViewReportsTheItemLosingTheSelectionFirst) {
  ListProbe p;
  ASSERT_EQ(p.view->Items()->Count(), 3);
  EXPECT_EQ(p.images->Count(), 3);
  EXPECT_EQ(p.view->Items()->Item(2)->ImageIndex(), 2);
  QTest::mouseClick(p.Viewport(), Qt::LeftButton, {}, p.CentreOf(0));
  QTest::mouseClick(p.Viewport(), Qt::LeftButton, {}, p.CentreOf(0));  // already selected: no change
  QTest::mouseClick(p.Viewport(), Qt::LeftButton, {}, p.CentreOf(2));
  EXPECT_EQ(p.view->Selected(), p.view->Items()->Item(2));
  QTest::mouseClick(p.Viewport(), Qt::LeftButton, {}, QPoint(390, 240));  // empty space
  EXPECT_EQ(p.view->Selected(), nullptr);
  // The list acts on a press before reporting it.
  EXPECT_EQ(p.events, (std::vector<std::string>{"255,10,0 on", "down b0 s8", "down b0 s8", "255,10,0 off",
                                                "16711680,300,0 on", "down b0 s8", "16711680,300,0 off",
                                                "down b0 s8"}));
}

TEST_F(ToolkitDialogsTest, ListViewSelectionFromCodeAndCaptionEdits) {
  ListProbe p;
  p.view->Items()->Item(1)->SetSelected(true);
  p.view->Items()->Item(0)->SetSelected(true);
  EXPECT_FALSE(p.view->Items()->Item(1)->Selected());
  EXPECT_EQ(p.events, (std::vector<std::string>{"0,20,1 on", "0,20,1 off", "255,10,0 on"}));
  // An in-place edit changes the caption the program reads.
  auto* list = static_cast<QListWidget*>(p.view->Widget());
  EXPECT_TRUE(list->item(1)->flags() & Qt::ItemIsEditable);
  list->item(1)->setText("1,2");
  EXPECT_EQ(p.view->Items()->Item(1)->Caption(), "1,2");
  QTest::mousePress(p.Viewport(), Qt::RightButton, Qt::ShiftModifier, QPoint(390, 240));
  QTest::mouseRelease(p.Viewport(), Qt::RightButton, Qt::ShiftModifier, QPoint(390, 240));
  // A press on empty space drops the selection, whatever the button.
  EXPECT_EQ(p.events, (std::vector<std::string>{"0,20,1 on", "0,20,1 off", "255,10,0 on", "255,10,0 off",
                                                "down b1 s17"}));
  // Coordinates are the control's own, frame included.
  p.events.clear();
  QTest::mousePress(p.Viewport(), Qt::MiddleButton, {}, QPoint(300, 200));
  QTest::mouseRelease(p.Viewport(), Qt::MiddleButton, {}, QPoint(300, 200));
  EXPECT_EQ(p.events, (std::vector<std::string>{"down b2 s32"}));
  EXPECT_EQ(p.lastDown, p.Viewport()->mapTo(p.view->Widget(), QPoint(300, 200)));
}

// F2 renames the selected item from anywhere in its window; with nothing
// selected (a click on empty space clears the selection, not the current
// item) it edits nothing.
TEST_F(ToolkitDialogsTest, F2EditsTheSelectedCaption) {
  ListProbe p;
  auto* list = static_cast<QListWidget*>(p.view->Widget());
  p.form.Widget()->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(p.form.Widget()));
  auto editor = [list] { return list->findChild<QLineEdit*>(); };

  QTest::mouseClick(p.Viewport(), Qt::LeftButton, {}, p.CentreOf(2));
  QTest::mouseClick(p.Viewport(), Qt::LeftButton, {}, QPoint(390, 240));  // empty space
  ASSERT_EQ(p.view->Selected(), nullptr);
  QTest::keyClick(list, Qt::Key_F2);
  EXPECT_TRUE(editor() == nullptr || !editor()->isVisible());

  p.view->Items()->Item(1)->SetSelected(true);
  QTest::mouseClick(p.Viewport(), Qt::LeftButton, {}, QPoint(390, 240));
  p.view->Items()->Item(0)->SetSelected(true);
  p.form.Widget()->setFocus();  // the window, not the list, has the keyboard
  QTest::keyClick(p.form.Widget(), Qt::Key_F2);
  ASSERT_NE(editor(), nullptr);
  EXPECT_TRUE(editor()->isVisible());
  EXPECT_EQ(editor()->text().toStdString(), "255,10,0");
}

}  // namespace
