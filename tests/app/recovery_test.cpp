// Keeping unsaved work inside one program: the autosave, the clean end that
// removes the recovery file, the offer at start, and the quiet end of a
// session.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "support/picture_test_util.h"
#include "support/window_set_fixture.h"

namespace {

namespace fs = std::filesystem;

const char kRecoveryQuestion[] = "前回保存されなかった絵があります。復元しますか？";
const char kSaveQuestion[] = "ファイルに保存しますか？";

class RecoveryTest : public WindowSetTest {
 protected:
  TBitmap& Canvas() { return *Form1->Image1->Picture()->Bitmap(); }
  // A stroke as the user paints it: Modified set, pixels changed.
  void Paint(int x, int y) {
    Form1->Image2MouseDown(Form1->Image2, mbLeft, ssLeft, x, y);
    Form1->Image2MouseMove(Form1->Image2, ssLeft, x + 30, y + 10);
    Form1->Image2MouseUp(Form1->Image2, mbLeft, 0, x + 30, y + 10);
  }
  // One autosave tick, its background write waited for.
  void Tick() {
    Form1->Timer1Timer(Form1->Timer1);
    Form1->SaveState->Recovery().WaitIdle();
  }
  std::vector<fs::path> RecoveryFiles() {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(StateFolder(), ec))
      if (e.path().extension() == ".bmp") files.push_back(e.path());
    return files;
  }
  // The one recovery file holds exactly the canvas.
  void ExpectRecoveryHoldsTheCanvas(const std::string& when) {
    const std::vector<fs::path> files = RecoveryFiles();
    ASSERT_EQ(files.size(), 1u) << when;
    TBitmap kept;
    kept.LoadFromFile(files[0].string());
    ExpectSamePicture(kept, PictureSnapshot(Canvas()), when);
  }
  // A picture as a program that is gone left it in the state folder.
  std::string LeaveBehind(TBitmap& picture) {
    TRecoveryFile other(StateFolder().string());
    other.Write(picture);
    return other.Path();
  }
  std::string PathOf(const std::string& name) { return (Folder() / name).string(); }
};

TEST_F(RecoveryTest, AutosaveWritesOnlyAModifiedPictureThatChanged) {
  Tick();
  EXPECT_TRUE(RecoveryFiles().empty()) << "nothing painted";
  Form1->Image1MouseDown(Form1->Image1, mbRight, ssRight, 5, 5);  // a colour pick: Modified, unchanged
  Form1->Image1MouseUp(Form1->Image1, mbRight, 0, 5, 5);
  Tick();
  EXPECT_TRUE(RecoveryFiles().empty()) << "a colour pick";
  Form1->CurrentColor = clBlack;  // the pick took white
  Paint(20, 20);
  Tick();
  ExpectRecoveryHoldsTheCanvas("after a stroke");
  fs::remove(RecoveryFiles().at(0));
  Tick();
  EXPECT_TRUE(RecoveryFiles().empty()) << "unchanged since the last autosave";
  Paint(200, 100);
  Tick();
  ExpectRecoveryHoldsTheCanvas("after a second stroke");
  // Saved: the file goes, and stays away until the picture changes again.
  Testing::AnswerFileDialog(PathOf("saved.bmp"));
  Form1->N4->Click();
  Form1->SaveState->Recovery().WaitIdle();
  EXPECT_TRUE(RecoveryFiles().empty()) << "after Save";
  Tick();
  EXPECT_TRUE(RecoveryFiles().empty()) << "saved and unchanged";
  Form1->U1->Click();  // undo changes the picture and sets Modified
  Tick();
  ExpectRecoveryHoldsTheCanvas("after an undo");
}

// Only a picture the user neither saved nor let go is kept at the end, and
// then as it is at that moment, not as the last autosave had it.
TEST_F(RecoveryTest, CleanEndRemovesTheFileUnlessThePictureWasNeitherSavedNorLetGo) {
  struct Case {
    const char* name;
    bool paint;
    std::vector<bool> confirmations;
    std::vector<std::optional<std::string>> files;
    bool kept;
  };
  const std::vector<Case> cases = {
      {"nothing painted", false, {}, {}, false},
      {"answered no", true, {false}, {}, false},
      {"saved", true, {true}, {PathOf("end.bmp")}, false},
      {"save dialog cancelled", true, {true}, {std::nullopt}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DestroyWindowSet();
    fs::remove_all(StateFolder());
    Testing::Reset();
    CreateWindowSet();
    Form1Show();
    if (c.paint) {
      Paint(10, 10);
      Tick();
      Paint(100, 50);  // after the last autosave
    }
    for (bool yes : c.confirmations) Testing::AnswerConfirmation(yes);
    for (const auto& file : c.files) Testing::AnswerFileDialog(file);
    Form1->N5->Click();
    EXPECT_TRUE(Application->Terminated());
    if (c.kept)
      ExpectRecoveryHoldsTheCanvas("kept at the end");
    else
      EXPECT_TRUE(RecoveryFiles().empty());
  }
}

// A cancelled save dialog with no place to keep the picture: the reason is
// shown and the save dialog offered once more; cancelled again, the picture
// is lost and the program ends with status 1.
TEST_F(RecoveryTest, CloseThatCannotKeepThePictureSaysWhyAndOffersTheSaveDialogAgain) {
  fs::create_directories(StateFolder().parent_path());
  std::ofstream(StateFolder()) << "a file where the folder should be";
  for (const std::optional<std::string>& file :
       {std::optional(PathOf("a.bmp")), std::optional<std::string>()}) {
    SCOPED_TRACE(file.value_or("cancelled again"));
    Paint(30, 30);
    Testing::Reset();
    for (const auto& answer : {std::optional<std::string>(), file}) Testing::AnswerFileDialog(answer);
    Testing::AnswerConfirmation(true);
    Form1->N5->Click();
    ASSERT_EQ(Testing::ShownErrors().size(), 1u);
    EXPECT_NE(Testing::ShownErrors()[0].find(StateFolder().string()), std::string::npos);
    EXPECT_EQ(Testing::PendingAnswers(), 0) << "the save dialog was not offered again";
    EXPECT_EQ(Form1->ExitStatus, file ? 0 : 1);
    TBitmap saved;
    if (file) saved.LoadFromFile(*file);
    if (file) ExpectSamePicture(saved, PictureSnapshot(Canvas()), "saved");
  }
}

TEST_F(RecoveryTest, StartOffersAPictureLeftUnsavedAndLoadsItAsOpenDoes) {
  // Wider and lower than the 600 x 400 canvas: the window grows to its
  // width, and white pads it below, as the canvas keeps its height.
  auto left = BitmapFromPicture({"r.b", "#.r"});
  left->Canvas()->Brush->SetColor(clBlue);
  left->SetWidth(700);
  left->SetHeight(300);
  const std::string path = LeaveBehind(*left);
  Testing::AnswerConfirmation(true);
  Form1->OfferRecovery();
  EXPECT_EQ(Testing::AskedQuestions(), std::vector<std::string>{kRecoveryQuestion});
  EXPECT_TRUE(Form1->Modified);
  ASSERT_EQ(Canvas().Width(), 700);
  ASSERT_EQ(Canvas().Height(), 400);
  ExpectPicture(Canvas(), 0, 0, {"r.bb", "#.rb"});
  ExpectPicture(Canvas(), 698, 298, {"bb", "bb", ".."});
  // Taken over as this program's own file; nothing is offered a second time.
  EXPECT_FALSE(fs::exists(path));
  EXPECT_TRUE(fs::exists(Form1->SaveState->Recovery().Path()));
  Form1->OfferRecovery();
  EXPECT_EQ(Testing::AskedQuestions().size(), 1u);
  // The load is a step like Open's: undone, the white canvas is back.
  Form1->U1->Click();
  ExpectPicture(Canvas(), 0, 0, {"...", "..."});
}

// A picture larger than the screen can show: the canvas holds what fits,
// and its file stays whole, untouched by autosaves, until the picture is let go.
TEST_F(RecoveryTest, PictureLargerThanTheScreenKeepsItsWholeFile) {
  auto left = BitmapFromPicture({"rb"});
  left->SetWidth(Screen->Width() + 50);
  left->SetHeight(Screen->Height() + 50);
  const std::string path = LeaveBehind(*left);
  const std::string before = ReadFileBytes(path);
  Testing::AnswerConfirmation(true);
  Form1->OfferRecovery();
  EXPECT_LT(Canvas().Width(), left->Width());
  ExpectPicture(Canvas(), 0, 0, {"rb"});
  Paint(10, 10);
  Tick();
  EXPECT_EQ(ReadFileBytes(path), before);
  Form1->OfferRecovery();  // held by this program: not offered again
  EXPECT_EQ(Testing::AskedQuestions().size(), 1u);
  Testing::AnswerConfirmation(false);
  Form1->N2Click(nullptr);  // New, the picture let go
  EXPECT_FALSE(fs::exists(path));
}

// Only "いいえ" deletes a picture. One that cannot be loaded now stays for a
// later start; one no program could read is set aside, never offered again.
TEST_F(RecoveryTest, OnlyADeclinedPictureIsDeletedAndAFailedLoadKeepsIt) {
  struct Case {
    const char* name;
    std::uint32_t compression;  // 0: the picture as written; 1: damaged; 4: a kind not taken
    bool answer;
    std::string error;              // how the error shown begins
    std::vector<std::string> left;  // names left in the folder, "*" for the picture's stem
  };
  const Case cases[] = {{"declined", 0, false, "", {}},
                        {"damaged", 1, true, "ビットマップイメージが不正です.", {"damaged-*.bmp"}},
                        {"not loadable now", 4, true, "システムエラー。コード：", {"*.bmp", "*.lock"}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Testing::Reset();
    fs::remove_all(StateFolder());
    auto picture = BitmapFromPicture({"rr", "rr"});
    const std::string path = LeaveBehind(*picture);
    if (c.compression == 1)
      std::ofstream(path, std::ios::trunc) << "Not a picture at all, but long enough to be read.";
    if (c.compression == 4) {
      std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
      file.seekp(14 + 16);
      file.put(4);
    }
    Testing::AnswerConfirmation(c.answer);
    Form1->OfferRecovery();
    EXPECT_EQ(Testing::AskedQuestions(), std::vector<std::string>{kRecoveryQuestion});
    ASSERT_EQ(Testing::ShownErrors().size(), c.error.empty() ? 0u : 1u);
    if (!c.error.empty())
      EXPECT_TRUE(Testing::ShownErrors()[0].starts_with(c.error)) << Testing::ShownErrors()[0];
    std::vector<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(StateFolder()))
      names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected;
    for (std::string name : c.left)
      expected.push_back(name.replace(name.find('*'), 1, fs::path(path).stem()));
    EXPECT_EQ(names, expected);
    EXPECT_FALSE(Form1->Modified);
    ExpectPicture(Canvas(), 0, 0, {"..", ".."});
    // Offered again at the next start only when kept.
    Testing::AnswerConfirmation(false);
    Form1->OfferRecovery();
    EXPECT_EQ(Testing::AskedQuestions().size(), c.left.size() == 2 ? 2u : 1u);
  }
}

// Many pictures left: the newest five are offered, then one box says how many
// older ones wait and where; they are offered, newest first, at later starts.
TEST_F(RecoveryTest, AtMostFiveQuestionsAStartAndOneBoxForTheRest) {
  std::vector<std::string> paths;
  for (int i = 0; i < 7; ++i) {
    paths.push_back(LeaveBehind(*BitmapFromPicture({"r"})));
    fs::last_write_time(paths.back(), fs::file_time_type::clock::now() - std::chrono::hours(i));
  }
  for (int i = 0; i < 5; ++i) Testing::AnswerConfirmation(false);
  Form1->OfferRecovery();
  EXPECT_EQ(Testing::AskedQuestions().size(), 5u);
  EXPECT_EQ(Testing::ShownErrors(),
            std::vector<std::string>{"前回保存されなかった古い絵がほかに 2 枚あります: \"" +
                                     StateFolder().string() + "\""});
  for (int i = 0; i < 7; ++i) EXPECT_EQ(fs::exists(paths[i]), i >= 5) << i;
  Testing::AnswerConfirmation(false);
  Testing::AnswerConfirmation(false);
  Form1->OfferRecovery();
  EXPECT_EQ(Testing::AskedQuestions().size(), 7u);
  EXPECT_EQ(Testing::ShownErrors().size(), 1u);
  EXPECT_TRUE(RecoveryFiles().empty());
}

TEST_F(RecoveryTest, PictureOfAProgramStillRunningIsNotOffered) {
  TRecoveryFile running(StateFolder().string());
  running.Write(*BitmapFromPicture({"r"}));
  Form1->OfferRecovery();
  EXPECT_TRUE(Testing::AskedQuestions().empty());
  EXPECT_TRUE(fs::exists(running.Path()));
}

TEST_F(RecoveryTest, EndOfSessionKeepsThePictureAndTheLayoutWithoutAQuestion) {
  Paint(30, 30);
  Form1->EndSession();
  EXPECT_TRUE(Testing::AskedQuestions().empty());
  EXPECT_TRUE(Application->Terminated());
  EXPECT_EQ(Application->ExitCode(), 0);
  EXPECT_TRUE(fs::exists(LayoutFilePath()));
  ExpectRecoveryHoldsTheCanvas("at the end of the session");
  // A save question the end interrupted returns "no"; the file stays all the same.
  Testing::AnswerConfirmation(false);
  TCloseAction action = caHide;
  Form1->FormClose(Form1, action);
  ExpectRecoveryHoldsTheCanvas("after the interrupted close");
}

// A picture that could not be kept must not end as a success.
TEST_F(RecoveryTest, EndOfSessionThatCannotKeepThePictureEndsWithStatus1) {
  fs::create_directories(StateFolder().parent_path());
  std::ofstream(StateFolder()) << "a file where the folder should be";
  Paint(30, 30);
  Form1->EndSession();
  EXPECT_TRUE(Application->Terminated());
  EXPECT_EQ(Application->ExitCode(), 1);
  EXPECT_TRUE(fs::exists(LayoutFilePath()));
}

TEST_F(RecoveryTest, EndOfSessionWithNothingPaintedLeavesNoFile) {
  Form1->EndSession();
  EXPECT_TRUE(Application->Terminated());
  EXPECT_TRUE(RecoveryFiles().empty());
  EXPECT_TRUE(fs::exists(LayoutFilePath()));
}

}  // namespace
