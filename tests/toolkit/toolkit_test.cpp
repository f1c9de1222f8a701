// Forms and controls of the window toolkit, offscreen.
#include "toolkit/toolkit.h"

#include <gtest/gtest.h>

#include <QMenu>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTest>
#include <new>
#include <string>
#include <vector>

#include "toolkit/toolkit_testing.h"

namespace {

class ToolkitTest : public testing::Test {
 protected:
  void SetUp() override { Testing::Reset(); }
  void TearDown() override {
    QTestPrivate::qtestMouseButtons = Qt::NoButton;  // a failed test must not leave a button held
    EXPECT_TRUE(Testing::UnansweredDialogs().empty());
  }
};

// A form that records what its resize handler saw of itself and its controls.
struct ResizeProbe {
  TForm form;
  TImage* filled = form.Own(new TImage(&form));
  TImage* anchored = form.Own(new TImage(&form));
  std::vector<std::string> seen;

  ResizeProbe() {
    form.SetClientWidth(200);
    form.SetClientHeight(100);
    filled->SetAlign(alClient);
    anchored->SetBounds(150, 60, 30, 20);  // 20 from the right, 20 from the bottom
    anchored->SetAnchors(akRight | akBottom);
    form.OnResize = [this](TObject*) {
      seen.push_back(std::to_string(form.ClientWidth()) + "x" + std::to_string(form.ClientHeight()) +
                     " fill " + std::to_string(filled->Width()) + "x" + std::to_string(filled->Height()) +
                     " anchor " + std::to_string(anchored->Left()) + "," + std::to_string(anchored->Top()));
    };
  }
};

TEST_F(ToolkitTest, SizeSettersLayOutControlsAndRunOnResizeBeforeReturning) {
  for (bool shown : {false, true}) {
    ResizeProbe p;
    if (shown) {
      p.form.Show();
      p.seen.clear();
    }
    p.form.SetWidth(p.form.Width() + 50);
    ASSERT_EQ(p.seen.size(), 1u) << "shown " << shown;
    EXPECT_EQ(p.seen[0], "250x100 fill 250x100 anchor 200,60");
    p.form.SetClientHeight(130);
    ASSERT_EQ(p.seen.size(), 2u);
    EXPECT_EQ(p.seen[1], "250x130 fill 250x130 anchor 200,90");
    p.form.SetWidth(p.form.Width());  // no change, no event
    p.form.SetClientWidth(250);
    EXPECT_EQ(p.seen.size(), 2u);
  }
}

TEST_F(ToolkitTest, UserResizeRunsOnResizeOnceOnlyForARealChange) {
  ResizeProbe p;
  p.form.Show();  // the first layout counts as a resize
  ASSERT_EQ(p.seen, (std::vector<std::string>{"200x100 fill 200x100 anchor 150,60"}));
  p.form.SetVisible(false);
  p.form.Show();  // later shows do not
  p.seen.clear();
  // As a window manager would: the window's own resize, then its resize event.
  p.form.Widget()->resize(300, 120);
  ASSERT_EQ(p.seen.size(), 1u);
  EXPECT_EQ(p.seen[0], "300x120 fill 300x120 anchor 250,80");
  QResizeEvent repeat(QSize(300, 120), QSize(300, 120));
  QCoreApplication::sendEvent(p.form.Widget(), &repeat);
  EXPECT_EQ(p.seen.size(), 1u);
}

TEST_F(ToolkitTest, ConstraintsClampSizesSetFromCode) {
  TForm form;
  form.SetConstraints({200, 200, 208, 234});
  EXPECT_EQ(form.Width(), 208);  // the initial 640 x 480 came down to the limits
  EXPECT_EQ(form.Height(), 234);
  form.SetWidth(100);
  form.SetHeight(1000);
  EXPECT_EQ(form.Width(), 200);
  EXPECT_EQ(form.Height(), 234);
  form.SetWidth(205);
  EXPECT_EQ(form.Width(), 205);
  form.SetClientWidth(form.ClientWidth() + 10);
  EXPECT_EQ(form.Width(), 208);
}

TEST_F(ToolkitTest, FixedBorderFormStillTakesSizesFromCode) {
  TForm form;
  form.SetBorderStyle(bsSingle);
  form.SetClientWidth(192);
  form.SetClientHeight(166);
  form.Show();
  EXPECT_EQ(form.ClientWidth(), 192);
  EXPECT_EQ(form.ClientHeight(), 166);
  EXPECT_EQ(form.Widget()->minimumSize(), form.Widget()->maximumSize());  // the user cannot resize it
}

TEST_F(ToolkitTest, ScreenCentreOnFirstShowOnly) {
  TForm form;
  form.SetClientWidth(192);
  form.SetClientHeight(166);
  form.SetPosition(poScreenCenter);
  int shows = 0;
  form.OnShow = [&](TObject*) { ++shows; };
  form.Show();
  EXPECT_EQ(form.Left(), (Screen->Width() - form.Width()) / 2);
  EXPECT_EQ(form.Top(), (Screen->Height() - form.Height()) / 2);
  form.SetVisible(false);
  form.SetLeft(10);
  form.SetTop(20);
  form.Show();
  form.Show();  // already shown: no second OnShow
  EXPECT_EQ(form.Left(), 10);
  EXPECT_EQ(form.Top(), 20);
  EXPECT_EQ(shows, 2);
}

TEST_F(ToolkitTest, ClientHeightLeavesOutTheMenuBar) {
  TForm form;
  TMainMenu* menu = form.Own(new TMainMenu(&form));
  TMenuItem* file = form.Own(new TMenuItem(&form));
  file->SetCaption("ファイル(&F)");
  menu->Add(file);
  form.SetMenu(menu);
  form.SetClientHeight(400);
  EXPECT_EQ(form.ClientHeight(), 400);
  EXPECT_GT(form.ClientWidget()->y(), 10);  // below the menu bar
  EXPECT_EQ(form.Widget()->height(), form.ClientWidget()->y() + 400);
  EXPECT_GE(form.Height(), form.Widget()->height());  // and the frame, where there is one
}

TEST_F(ToolkitTest, ScrollBarClampsAndReportsOnlyRealChanges) {
  TForm form;
  TScrollBar* bar = form.Own(new TScrollBar(&form));
  bar->SetMin(1);
  bar->SetMax(500);
  bar->SetPosition(10);
  std::vector<int> changes;
  bar->OnChange = [&](TObject*) { changes.push_back(bar->Position()); };
  bar->SetPosition(10);
  bar->SetPosition(900);
  bar->SetPosition(700);
  bar->SetPosition(-5);
  bar->SetPosition(0);
  EXPECT_EQ(changes, (std::vector<int>{500, 1}));
  // The user's moves report every position.
  auto* qtBar = static_cast<QScrollBar*>(bar->Widget());
  qtBar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  qtBar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(changes, (std::vector<int>{500, 1, 2, 3}));
}

TEST_F(ToolkitTest, SpeedButtonGroupKeepsExactlyOneDown) {
  TForm form;
  TSpeedButton* round = form.Own(new TSpeedButton(&form));
  TSpeedButton* square = form.Own(new TSpeedButton(&form));
  TSpeedButton* other = form.Own(new TSpeedButton(&form));
  round->SetGroupIndex(1);
  square->SetGroupIndex(1);
  other->SetGroupIndex(2);
  square->SetLeft(30);
  other->SetLeft(60);
  other->SetDown(true);
  round->SetDown(true);
  std::vector<std::string> clicks;
  round->OnClick = [&](TObject*) {
    clicks.push_back(std::string("round ") + (round->Down() ? "down" : "up"));
  };
  square->OnClick = [&](TObject*) {
    clicks.push_back(std::string("square ") + (square->Down() ? "down" : "up"));
  };
  QTest::mouseClick(square->Widget(), Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_FALSE(round->Down());
  EXPECT_TRUE(square->Down());
  QTest::mouseClick(square->Widget(), Qt::LeftButton, {}, QPoint(5, 5));  // already down: stays down
  EXPECT_TRUE(square->Down());
  EXPECT_EQ(clicks, (std::vector<std::string>{"square down", "square down"}));
  round->SetDown(true);  // from code: no click
  EXPECT_TRUE(round->Down());
  EXPECT_FALSE(square->Down());
  EXPECT_TRUE(other->Down());  // another group is left alone
  EXPECT_EQ(clicks.size(), 2u);
}

TEST_F(ToolkitTest, CheckBoxClickRunsOnlyForTheUser) {
  TForm form;
  TCheckBox* box = form.Own(new TCheckBox(&form));
  box->SetCaption("点描");
  std::vector<bool> clicks;
  box->OnClick = [&](TObject*) { clicks.push_back(box->Checked()); };
  box->SetChecked(true);
  box->SetChecked(false);
  EXPECT_TRUE(clicks.empty());
  QTest::mouseClick(box->Widget(), Qt::LeftButton, {}, QPoint(6, 8));
  QTest::mouseClick(box->Widget(), Qt::LeftButton, {}, QPoint(6, 8));
  EXPECT_EQ(clicks, (std::vector<bool>{true, false}));  // the state has toggled when the handler runs
}

TEST_F(ToolkitTest, MenuItemWithSubmenuIsClickedBeforeItOpens) {
  TForm form;
  TMainMenu* menu = form.Own(new TMainMenu(&form));
  TMenuItem* window = form.Own(new TMenuItem(&form));
  TMenuItem* brush = form.Own(new TMenuItem(&form));
  window->SetCaption("ウインドウ(&W)");
  brush->SetCaption("ブラシ(&B)");
  window->Add(brush);
  menu->Add(window);
  form.SetMenu(menu);
  form.Show();
  std::vector<std::string> events;
  window->OnClick = [&](TObject*) {
    events.push_back(std::string("window, open ") + (window->Menu()->isVisible() ? "yes" : "no"));
    brush->SetChecked(true);
  };
  brush->OnClick = [&](TObject*) { events.push_back("brush"); };
  window->Menu()->popup(form.Widget()->mapToGlobal(QPoint(10, 10)));
  EXPECT_EQ(events, (std::vector<std::string>{"window, open no"}));
  EXPECT_TRUE(brush->Action()->isChecked());
  brush->Action()->trigger();  // the user's choice: Qt would toggle the mark, the program keeps it
  window->Menu()->hide();
  EXPECT_TRUE(brush->Action()->isChecked());
  brush->SetChecked(false);
  EXPECT_FALSE(brush->Action()->isCheckable());  // no check box shown when unchecked
  EXPECT_EQ(events.back(), "brush");
  brush->SetVisible(false);
  EXPECT_FALSE(brush->Action()->isVisible());
}

TEST_F(ToolkitTest, ErrorInHandlerShowsMessageWithFullStopRule) {
  TForm form;
  TMenuItem* item = form.Own(new TMenuItem(&form));
  std::string message;
  item->OnClick = [&](TObject*) { throw EDaubixError(message); };
  for (const char* m : {"'abc' は整数ではありません", "Done.", "Ends in a letter", "Ends in a comma,", ""}) {
    message = m;
    item->Click();
  }
  EXPECT_EQ(Testing::ShownErrors(), (std::vector<std::string>{"'abc' は整数ではありません.", "Done.",
                                                              "Ends in a letter.", "Ends in a comma,", ""}));
}

// Running out of memory, in our pixels or anywhere else, is the resource
// message, shown at most once for one user action however many handlers
// nested in it fail so; the next action may show it again.
TEST_F(ToolkitTest, ResourceMessageOncePerUserAction) {
  TForm form;
  TMenuItem* action = form.Own(new TMenuItem(&form));
  TMenuItem* nested = form.Own(new TMenuItem(&form));
  nested->OnClick = [](TObject*) { throw std::bad_alloc(); };
  action->OnClick = [&](TObject*) {
    nested->Click();
    nested->Click();
    throw EDaubixError(kResourceShortage);
  };
  const std::uint64_t failedBefore = Application->FailedHandlers();
  action->Click();
  action->Click();
  EXPECT_EQ(Testing::ShownErrors(),
            (std::vector<std::string>{"システム リソースが足りません.", "システム リソースが足りません."}));
  EXPECT_EQ(Application->FailedHandlers() - failedBefore, 6u);
}

TEST_F(ToolkitTest, FailingOnCloseKeepsTheFormOpen) {
  TForm main;
  Application->CreateForm(&main);
  TForm tool;
  Application->CreateForm(&tool);
  bool fail = true;
  tool.OnClose = [&](TObject*, TCloseAction&) {
    if (fail) throw EDaubixError("cannot write");
  };
  tool.Show();
  tool.Widget()->close();  // the close box
  EXPECT_TRUE(tool.Visible());
  EXPECT_EQ(Testing::ShownErrors().size(), 1u);
  fail = false;
  tool.Widget()->close();
  EXPECT_FALSE(tool.Visible());
  EXPECT_FALSE(Application->Terminated());
  main.Show();
  main.Close();  // the main form ends the program
  EXPECT_FALSE(main.Visible());
  EXPECT_TRUE(Application->Terminated());
}

TEST_F(ToolkitTest, CreateFormRunsOnCreateGuarded) {
  TForm form;
  form.OnCreate = [](TObject*) { throw EDaubixError("リストのインデックスが範囲を超えています (1)"); };
  Application->CreateForm(&form);
  EXPECT_EQ(Testing::ShownErrors(),
            (std::vector<std::string>{"リストのインデックスが範囲を超えています (1)"}));
  EXPECT_EQ(Application->MainForm(), &form);
}

TEST_F(ToolkitTest, ClipRegionsLastUntilTheOutermostHandlerReturns) {
  TForm form;
  TMenuItem* outer = form.Own(new TMenuItem(&form));
  TMenuItem* inner = form.Own(new TMenuItem(&form));
  TBitmap bitmap;
  bitmap.SetWidth(4);
  bitmap.SetHeight(4);
  const TRegion region(0, {{{0, 2}}});
  std::vector<bool> clipped;
  inner->OnClick = [&](TObject*) { clipped.push_back(bitmap.Canvas()->HasClipRegion()); };
  outer->OnClick = [&](TObject*) {
    bitmap.Canvas()->SelectClipRegion(&region);
    // A handler that processes pending events lets others run nested inside it.
    QMetaObject::invokeMethod(
        form.Widget(), [&] { inner->Click(); }, Qt::QueuedConnection);
    Application->ProcessMessages();
    clipped.push_back(bitmap.Canvas()->HasClipRegion());
  };
  outer->Click();
  EXPECT_EQ(clipped, (std::vector<bool>{true, true}));
  EXPECT_FALSE(bitmap.Canvas()->HasClipRegion());
}

}  // namespace
