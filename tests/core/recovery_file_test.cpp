// The recovery file: written in the background from a copy, one file per
// process, and the pictures that processes now gone left behind.
#include "core/recovery_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "support/picture_test_util.h"

namespace {

namespace fs = std::filesystem;

class RecoveryFileTest : public testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("daubix-recovery-" + std::to_string(::getpid()) + "-" +
                                         testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    folder_ = (root_ / "state" / "Daubix").string();
  }
  void TearDown() override {
    FileIoTesting::FailWritesAfter(std::nullopt);
    fs::remove_all(root_);
  }
  // The files in the folder, by name.
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(folder_, ec))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  // What a killed process leaves: its picture and an unlocked lock file.
  std::string LeaveBehind(const std::string& id, const std::vector<std::string>& rows) {
    fs::create_directories(folder_);
    const std::string stem = folder_ + "/recovery-" + id;
    BitmapFromPicture(rows)->SaveToFile(stem + ".bmp");
    std::ofstream(stem + ".lock").put('\n');
    return stem + ".bmp";
  }

  fs::path root_;
  std::string folder_;
};

TEST_F(RecoveryFileTest, WritesACopyTakenAtTheCall) {
  auto picture = BitmapFromPicture({"#r.", "b.#"});
  TRecoveryFile recovery(folder_);
  EXPECT_FALSE(fs::exists(folder_));  // nothing on disk before the first write
  ASSERT_TRUE(recovery.WriteInBackground(*picture));
  picture->Canvas()->SetPixel(0, 0, clWhite);  // after the copy: not in the file
  recovery.WaitIdle();
  EXPECT_FALSE(recovery.TakeFailure());
  TBitmap written;
  written.LoadFromFile(recovery.Path());
  ExpectPicture(written, {"#r.", "b.#"});
  EXPECT_EQ(fs::status(folder_).permissions() & fs::perms::all, fs::perms::owner_all);
  // The next write reuses the copy's memory and replaces the file.
  ASSERT_TRUE(recovery.WriteInBackground(*picture));
  recovery.WaitIdle();
  written.LoadFromFile(recovery.Path());
  ExpectPicture(written, {".r.", "b.#"});
}

// Between writes only the tiles named changed are copied again: a change in
// a tile left out stays out of the file.
TEST_F(RecoveryFileTest, LaterCopiesTakeOnlyTheChangedTiles) {
  TBitmap picture;
  picture.SetWidth(100);
  picture.SetHeight(40);
  TPictureHistory history(picture);
  TRecoveryFile recovery(folder_);
  ASSERT_TRUE(recovery.WriteInBackground(picture, history.ChangedTiles()));
  history.ForgetChanges();
  recovery.WaitIdle();
  picture.Canvas()->SetPixel(70, 30, clRed);  // in a step still open
  picture.Canvas()->SetPixel(2, 2, clBlue);
  TChangedTiles changes = history.ChangedTiles();
  ASSERT_FALSE(changes.all);
  ASSERT_TRUE(changes.Tile(70 / 16, 30 / 16) && changes.Tile(0, 0));
  changes.bits.Reset(picture.Width(), picture.Height(), false);
  changes.bits.Set(70 / 16, 30 / 16);
  ASSERT_TRUE(recovery.WriteInBackground(picture, changes));
  history.ForgetChanges();
  recovery.WaitIdle();
  TBitmap written;
  written.LoadFromFile(recovery.Path());
  EXPECT_EQ(written.Canvas()->Pixel(70, 30), clRed);
  EXPECT_EQ(written.Canvas()->Pixel(2, 2), clWhite);
  // A new size is copied whole.
  picture.SetWidth(101);
  ASSERT_TRUE(recovery.WriteInBackground(picture, history.ChangedTiles()));
  recovery.WaitIdle();
  written.LoadFromFile(recovery.Path());
  EXPECT_EQ(written.Width(), 101);
  EXPECT_EQ(written.Canvas()->Pixel(2, 2), clBlue);
}

TEST_F(RecoveryFileTest, FailedWriteIsReportedOnceAndKeepsTheLastFile) {
  auto picture = BitmapFromPicture({"##", "##"});
  TRecoveryFile recovery(folder_);
  recovery.Write(*picture);
  FileIoTesting::FailWritesAfter(10);
  picture->Canvas()->SetPixel(0, 0, clRed);
  ASSERT_TRUE(recovery.WriteInBackground(*picture));
  recovery.WaitIdle();
  EXPECT_TRUE(recovery.TakeFailure());
  EXPECT_FALSE(recovery.TakeFailure());
  TBitmap written;
  written.LoadFromFile(recovery.Path());
  ExpectPicture(written, {"##", "##"});
  EXPECT_THROW(recovery.Write(*picture), EDaubixError);
}

TEST_F(RecoveryFileTest, RemoveWaitsForTheWriteInProgress) {
  auto picture = BitmapFromPicture({"#"});
  TRecoveryFile recovery(folder_);
  ASSERT_TRUE(recovery.WriteInBackground(*picture));
  recovery.Remove();
  recovery.WaitIdle();
  EXPECT_FALSE(fs::exists(recovery.Path()));
}

// Two processes, each with its own file; the first one's picture is offered
// only once it is gone.
TEST_F(RecoveryFileTest, RunningProcessesKeepTheirFilesToThemselves) {
  auto first = std::make_unique<TRecoveryFile>(folder_);
  TRecoveryFile second(folder_);
  EXPECT_NE(first->Path(), second.Path());
  first->Write(*BitmapFromPicture({"r"}));
  second.Write(*BitmapFromPicture({"b"}));
  EXPECT_TRUE(second.FindLeftPictures().empty());
  EXPECT_TRUE(first->FindLeftPictures().empty());
  const std::string firstPath = first->Path();
  first.reset();  // ends with its picture kept
  std::vector<TLeftPicture> left = second.FindLeftPictures();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].Path(), firstPath);
  // While held here, a third process does not offer it too.
  ASSERT_TRUE(left[0].Lock());
  TRecoveryFile third(folder_);
  EXPECT_TRUE(third.FindLeftPictures().empty());
  second.Adopt(left[0]);
  TBitmap adopted;
  adopted.LoadFromFile(second.Path());
  ExpectPicture(adopted, {"r"});
  EXPECT_FALSE(fs::exists(firstPath));
  left.clear();
  EXPECT_TRUE(third.FindLeftPictures().empty());
}

TEST_F(RecoveryFileTest, KilledProcessesPicturesAreOfferedNewestFirst) {
  const std::string older = LeaveBehind("00000000000000aa", {"r"});
  const std::string newer = LeaveBehind("00000000000000bb", {"b"});
  fs::last_write_time(older, fs::last_write_time(newer) - std::chrono::seconds(10));
  TRecoveryFile recovery(folder_);
  std::vector<TLeftPicture> left = recovery.FindLeftPictures();
  ASSERT_EQ(left.size(), 2u);
  EXPECT_EQ(left[0].Path(), newer);
  EXPECT_EQ(left[1].Path(), older);
  left[0].Delete();
  left.clear();
  EXPECT_EQ(Names(),
            (std::vector<std::string>{"recovery-00000000000000aa.bmp", "recovery-00000000000000aa.lock"}));
}

// Anything but a regular file under a recovery name is left alone, and a lock
// file whose process went before writing a picture is cleared away.
TEST_F(RecoveryFileTest, OnlyRegularPicturesAreOffered) {
  fs::create_directories(folder_);
  ASSERT_EQ(::mkfifo((folder_ + "/recovery-fifo.bmp").c_str(), 0600), 0);
  fs::create_directory(folder_ + "/recovery-folder.bmp");
  const std::string target = LeaveBehind("target", {"#"});
  fs::rename(target, root_ / "elsewhere.bmp");
  fs::create_symlink(root_ / "elsewhere.bmp", folder_ + "/recovery-link.bmp");
  std::ofstream(folder_ + "/recovery-quit.lock").put('\n');
  TRecoveryFile recovery(folder_);
  EXPECT_TRUE(recovery.FindLeftPictures().empty());
  EXPECT_FALSE(fs::exists(folder_ + "/recovery-quit.lock"));
  EXPECT_TRUE(fs::exists(folder_ + "/recovery-fifo.bmp"));
  EXPECT_TRUE(fs::exists(root_ / "elsewhere.bmp"));
}

}  // namespace

// Unsaved work is private whatever the umask: the files 0600, and the folder
// 0700 when made here; a looser folder made by someone else stays as it is.
TEST_F(RecoveryFileTest, FilesArePrivateWhateverTheUmaskOrTheFolder) {
  const mode_t umask = ::umask(0);
  for (const bool folderExists : {false, true}) {
    SCOPED_TRACE(folderExists ? "existing 0755 folder" : "folder made here");
    fs::remove_all(root_);
    if (folderExists) {
      fs::create_directories(folder_);
      fs::permissions(folder_, fs::perms(0755));
    }
    TRecoveryFile recovery(folder_);
    recovery.Write(*BitmapFromPicture({"r"}));
    ASSERT_TRUE(recovery.WriteInBackground(*BitmapFromPicture({"b"})));
    recovery.WaitIdle();
    EXPECT_EQ(fs::status(folder_).permissions(), fs::perms(folderExists ? 0755 : 0700));
    EXPECT_EQ(fs::status(recovery.Path()).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    // A picture an older program left readable is private once taken over.
    const std::string old = LeaveBehind("0000000000000old", {"#"});
    fs::permissions(old, fs::perms(0644));
    std::vector<TLeftPicture> left = recovery.FindLeftPictures();
    ASSERT_EQ(left.size(), 1u);
    recovery.Adopt(left[0]);
    EXPECT_EQ(fs::status(recovery.Path()).permissions(), fs::perms::owner_read | fs::perms::owner_write);
  }
  ::umask(umask);
}
