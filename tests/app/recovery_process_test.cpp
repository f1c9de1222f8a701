// The real program, started as a child process offscreen: painted through Qt
// mouse events from a script, killed once an autosave holds the picture, then
// started again to take the picture back, and ended by SIGTERM.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QPoint>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/bitmap_file.h"
#include "core/bitmap_file_layout.h"
#include "support/picture_test_util.h"
#include "support/window_set_fixture.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// Generous bounds for a busy machine: they stop a broken child from hanging
// the test, they measure nothing.
constexpr auto kPatience = std::chrono::seconds(90);

bool WaitFor(const std::function<bool()>& done) {
  const auto giveUp = std::chrono::steady_clock::now() + kPatience;
  while (!done()) {
    if (std::chrono::steady_clock::now() > giveUp) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

std::string ReadText(const fs::path& path) {
  return ReadFileBytes(path.string());
}

// The drag every script and the in-process replay make, in client pixels.
const std::vector<QPoint> kDrag = {{100, 100}, {130, 110}, {170, 135}, {220, 150}, {260, 190}, {300, 200}};

class RecoveryProcessTest : public WindowSetTest {
 protected:
  void SetUp() override {
    WindowSetTest::SetUp();
    // A copy of the program in a folder of its own keeps its layout file there.
    fs::create_directories(Folder() / "bin");
    fs::copy_file(DAUBIX_EXECUTABLE, Program());
  }
  void TearDown() override {
    if (child_ > 0) {
      ::kill(child_, SIGKILL);
      ::waitpid(child_, nullptr, 0);
    }
    WindowSetTest::TearDown();
  }
  fs::path Program() const { return Folder() / "bin" / "daubix"; }
  fs::path ChildState() const { return Folder() / "child-state" / "Daubix"; }
  fs::path Marker(const std::string& name) const { return Folder() / (name + ".done"); }

  // Starts the program with `script`; it says when it is done by making the
  // marker. `limit`: options of the shell's ulimit the program runs under.
  // Unscripted, real boxes wait for answers and nothing is waited for.
  void Start(const std::string& name, const std::string& script, const std::string& limit = "",
             bool scripted = true) {
    const fs::path scriptPath = Folder() / (name + ".script");
    std::ofstream(scriptPath) << script << "touch " << Marker(name).string() << "\n";
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
      const std::string entry(*e);
      if (!entry.starts_with("DAUBIX_") && !entry.starts_with("XDG_STATE_HOME=") &&
          !entry.starts_with("XDG_CONFIG_HOME=") && !entry.starts_with("QT_QPA_PLATFORM="))
        env.push_back(entry);
    }
    env.push_back("QT_QPA_PLATFORM=" + platform_);
    env.push_back("XDG_STATE_HOME=" + (Folder() / "child-state").string());
    env.push_back("XDG_CONFIG_HOME=" + (Folder() / "child-config").string());
    if (scripted) env.push_back("DAUBIX_TEST_SCRIPT=" + scriptPath.string());
    env.push_back("DAUBIX_AUTOSAVE_INTERVAL_MS=50");
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = Program().string(), shell = "/bin/sh",
                command = "ulimit " + limit + " && exec \"$0\"", option = "-c";
    char* argv[] = {program.data(), nullptr};
    char* limited[] = {shell.data(), option.data(), command.data(), program.data(), nullptr};
    log_ = Folder() / (name + ".log");
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&files, STDOUT_FILENO, STDERR_FILENO);
    const int error = limit.empty()
                          ? posix_spawn(&child_, program.c_str(), &files, nullptr, argv, envp.data())
                          : posix_spawn(&child_, shell.c_str(), &files, nullptr, limited, envp.data());
    posix_spawn_file_actions_destroy(&files);
    ASSERT_EQ(error, 0) << "cannot start " << program;
    if (!scripted) return;
    ASSERT_TRUE(WaitFor([&] { return fs::exists(Marker(name)) || Exited(); }))
        << name << " did not finish its script; its output:\n"
        << ReadText(log_);
    ASSERT_FALSE(exited_) << name << " ended early; its output:\n" << ReadText(log_);
  }
  bool Exited() {
    if (exited_) return true;
    const pid_t done = ::waitpid(child_, &status_, WNOHANG);
    if (done == child_) {
      exited_ = true;
      child_ = -1;
    }
    return exited_;
  }
  // Sends the signal and waits for the child to end; its wait status.
  int Stop(int signal) {
    EXPECT_EQ(::kill(child_, signal), 0);
    EXPECT_TRUE(WaitFor([&] { return Exited(); })) << "still running after signal " << signal;
    exited_ = false;
    return status_;
  }
  std::vector<fs::path> Files(const std::string& extension) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(ChildState(), ec))
      if (e.path().extension() == extension) files.push_back(e.path());
    return files;
  }
  // The one recovery file holds exactly `want`.
  bool RecoveryHolds(const TBitmapContents& want) {
    const std::vector<fs::path> files = Files(".bmp");
    if (files.size() != 1) return false;
    TBitmap kept;
    try {
      kept.LoadFromFile(files[0].string());
    } catch (const EDaubixError&) {
      return false;
    }
    return PictureSnapshot(kept).pixels == want.pixels && kept.Width() == want.width &&
           kept.Height() == want.height;
  }
  // The picture the drag makes, painted here through the same Qt events.
  TBitmapContents ExpectedPicture() {
    QWidget* overlay = Form1->Image2->Widget();
    QTest::mousePress(overlay, Qt::LeftButton, {}, kDrag.front());
    for (const QPoint& p : kDrag) QTest::mouseMove(overlay, p);
    QTest::mouseRelease(overlay, Qt::LeftButton, {}, kDrag.back());
    return PictureSnapshot(*Form1->Image1->Picture()->Bitmap());
  }

  std::string platform_ = "offscreen";
  pid_t child_ = -1;
  int status_ = 0;
  bool exited_ = false;
  fs::path log_;
};

TEST_F(RecoveryProcessTest, KilledProgramsPictureComesBackAndSigtermKeepsItAndTheLayout) {
  const TBitmapContents expected = ExpectedPicture();
  std::string drag =
      "press " + std::to_string(kDrag.front().x()) + " " + std::to_string(kDrag.front().y()) + "\n";
  for (const QPoint& p : kDrag) drag += "move " + std::to_string(p.x()) + " " + std::to_string(p.y()) + "\n";
  drag += "release " + std::to_string(kDrag.back().x()) + " " + std::to_string(kDrag.back().y()) + "\n";

  Start("painter", drag);
  ASSERT_TRUE(WaitFor([&] { return RecoveryHolds(expected); }))
      << "no autosave holds the painted picture; the program's output:\n"
      << ReadText(log_);
  const fs::path leftBehind = Files(".bmp").at(0);
  const int killed = Stop(SIGKILL);
  ASSERT_TRUE(WIFSIGNALED(killed));
  EXPECT_FALSE(fs::exists(Program().parent_path() / "Daubix.ini")) << "a killed program writes nothing";

  // Started again, answering yes: the picture is back, and SIGTERM keeps it.
  Start("recoverer", "confirm yes\n");
  const int ended = Stop(SIGTERM);
  ASSERT_TRUE(WIFEXITED(ended)) << ReadText(log_);
  EXPECT_EQ(WEXITSTATUS(ended), 0) << ReadText(log_);
  EXPECT_TRUE(fs::exists(Program().parent_path() / "Daubix.ini"));
  EXPECT_TRUE(RecoveryHolds(expected)) << ReadText(log_);
  EXPECT_NE(Files(".bmp").at(0), leftBehind) << "the picture was taken over, not left where it was";
  EXPECT_TRUE(Files(".lock").empty());

  // Started once more, answering no: the picture is deleted, nothing is kept.
  Start("decliner", "confirm no\n");
  const int declined = Stop(SIGTERM);
  ASSERT_TRUE(WIFEXITED(declined));
  EXPECT_EQ(WEXITSTATUS(declined), 0);
  EXPECT_TRUE(Files(".bmp").empty());
  EXPECT_TRUE(Files(".lock").empty());
}

// A session that enlarged its canvas, painted near its far corner and was
// killed before its layout was written: the picture comes back whole, in a
// canvas grown to it, and what is kept at the end is never a canvas-sized cut.
TEST_F(RecoveryProcessTest, KilledSessionsEnlargedPictureComesBackWhole) {
  const fs::path screens = Folder() / "screens.json";
  std::ofstream(screens) << R"({"screens": [{"name": "big", "x": 0, "y": 0, "width": 2000, "height": 1400,)"
                         << R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
  platform_ = "offscreen:configfile=" + screens.string();
  const auto layout = [this](int width, int height) {
    std::ofstream file(Program().parent_path() / "Daubix.ini", std::ios::binary);
    file << "100,100," << width << "," << height << "\r\n";
    for (int line = 1; line < 7; ++line) file << "10,10,0,0\r\n";
  };
  const auto dotAt = [](const fs::path& path, int x, int y) {
    TBitmap kept;
    kept.LoadFromFile(path.string());
    return x < kept.Width() && y < kept.Height() && kept.Canvas()->Pixel(x, y) == clBlack;
  };
  layout(1600, 1000);
  Start("enlarged", "press 1550 900\nmove 1580 930\nrelease 1580 930\n");
  ASSERT_TRUE(WaitFor([&] { return Files(".bmp").size() == 1 && dotAt(Files(".bmp")[0], 1565, 915); }))
      << ReadText(log_);
  ASSERT_TRUE(WIFSIGNALED(Stop(SIGKILL)));

  layout(800, 600);  // the layout as the last clean end left it
  Start("recovered", "confirm yes\n");
  const int ended = Stop(SIGTERM);
  ASSERT_TRUE(WIFEXITED(ended)) << ReadText(log_);
  ASSERT_EQ(Files(".bmp").size(), 1u);
  EXPECT_TRUE(dotAt(Files(".bmp")[0], 1565, 915)) << ReadText(log_);
}

// Pictures as processes now gone left them, `count` of them, each 1 x 1.
void LeavePictures(const fs::path& folder, int count, int width = 1, int height = 1) {
  fs::create_directories(folder);
  TBitmap picture;
  picture.SetWidth(1);
  picture.SetHeight(1);
  std::vector<std::uint8_t> bytes = WriteBitmapFile(picture);
  bmp::Put32(&bytes[bmp::kFileHeaderSize + bmp::kWidth], static_cast<std::uint32_t>(width));
  bmp::Put32(&bytes[bmp::kFileHeaderSize + bmp::kHeight], static_cast<std::uint32_t>(height));
  for (int i = 0; i < count; ++i) {
    char name[40];
    std::snprintf(name, sizeof name, "recovery-%016x.bmp", i);
    std::ofstream(folder / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
}

// Address space limits and AddressSanitizer's shadow memory do not mix.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
constexpr bool kAddressSanitizer = __has_feature(address_sanitizer);
#else
constexpr bool kAddressSanitizer = false;
#endif

// A picture that cannot be loaded for want of memory waits for a start with more.
TEST_F(RecoveryProcessTest, PictureThatCannotBeLoadedForWantOfMemoryIsKept) {
  if (kAddressSanitizer) GTEST_SKIP() << "no address space limit under AddressSanitizer";
  // A small file claiming 16384 x 16384 pixels: a gigabyte to load.
  LeavePictures(ChildState(), 1, 16384, 16384);
  const std::vector<fs::path> left = Files(".bmp");
  const std::string before = ReadText(left.at(0));
  Start("short-of-memory", "confirm yes\n", "-v 1048576");
  const int ended = Stop(SIGTERM);
  EXPECT_TRUE(WIFEXITED(ended)) << ReadText(log_);
  EXPECT_NE(ReadText(log_).find("コード：12"), std::string::npos) << ReadText(log_);
  EXPECT_EQ(Files(".bmp"), left);
  EXPECT_EQ(ReadText(left.at(0)), before);
}

// Stale pictures beyond the limit of open files: each costs one descriptor
// at a time, five questions are asked, one box says how many wait.
TEST_F(RecoveryProcessTest, ThousandsOfStalePicturesUnderTheFileLimitAskFiveQuestions) {
  LeavePictures(ChildState(), 1100);
  // Each answer "no" deletes a picture; an unanswered question is answered "no" too.
  Start("flooded", "confirm no\nconfirm no\nconfirm no\nconfirm no\nconfirm no\nconfirm no\n", "-n 1024");
  const int ended = Stop(SIGTERM);
  ASSERT_TRUE(WIFEXITED(ended)) << ReadText(log_);
  EXPECT_EQ(WEXITSTATUS(ended), 0) << ReadText(log_);
  EXPECT_EQ(Files(".bmp").size(), 1095u);
  EXPECT_NE(ReadText(log_).find("ほかに 1095 枚"), std::string::npos) << ReadText(log_);
}

// SIGTERM while a real box waits for an answer (the recovery question), with
// a folder where the layout file goes: no box, no wait for anyone, the reason
// on standard error, exit status 1, and the picture asked about still there.
TEST_F(RecoveryProcessTest, SigtermWithABoxOpenAndNoPlaceForTheLayoutEndsAtOnceWithStatus1) {
  std::string lock;
  {
    TRecoveryFile gone(ChildState().string());
    gone.Write(*BitmapFromPicture({"r"}));
    lock = gone.Path().substr(0, gone.Path().rfind('.')) + ".lock";
  }
  Start("asked", "", "", false);
  // The lock file is made once the program, its signals watched, looks at the picture.
  ASSERT_TRUE(WaitFor([&] { return fs::exists(lock) || Exited(); }));
  ASSERT_FALSE(exited_) << ReadText(log_);
  fs::create_directory(Program().parent_path() / "Daubix.ini");
  const int ended = Stop(SIGTERM);
  ASSERT_TRUE(WIFEXITED(ended)) << ReadText(log_);
  EXPECT_EQ(WEXITSTATUS(ended), 1);
  EXPECT_NE(ReadText(log_).find("Daubix.ini"), std::string::npos) << ReadText(log_);
  EXPECT_EQ(Files(".bmp").size(), 1u);
}

}  // namespace
