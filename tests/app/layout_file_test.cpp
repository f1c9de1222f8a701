// The window layout file: read at the canvas window's creation, applied at
// the picker's, written at every close.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "app/about_window.h"
#include "brush/brush_case_window.h"
#include "brush/brush_window.h"
#include "colour/colour_chart_window.h"
#include "colour/hsv_picker_window.h"
#include "colour/palette_window.h"
#include "core/pixel_store.h"
#include "core/version.h"
#include "support/immutable_folder.h"
#include "support/picture_test_util.h"
#include "support/watchdog.h"
#include "support/window_set_fixture.h"

namespace {

using Bounds = std::array<int, 4>;  // Top, Left, Width, Height
using Messages = std::vector<std::string>;

Bounds BoundsOf(const TForm* form) {
  return {form->Top(), form->Left(), form->Width(), form->Height()};
}

std::vector<TForm*> AllForms() {
  return {Form1, Form2, Form3, Form4, Form5, Form6, Form7};
}

std::string LineOf(const Bounds& b) {
  return std::to_string(b[0]) + "," + std::to_string(b[1]) + "," + std::to_string(b[2]) + "," +
         std::to_string(b[3]) + "\r\n";
}

// What the file must hold for the windows as they stand.
std::string ExpectedFile() {
  std::string text;
  for (const TForm* form : AllForms()) text += LineOf(BoundsOf(form));
  return text;
}

// Seven windows, placed apart from the default arrangement; the brush window
// reaching past the left edge of the screen.
const Bounds kCanvas{50, 120, 500, 350}, kBrush{40, -100, 240, 230}, kChart{10, 20, 165, 214},
    kPalette{300, 500, 278, 281}, kAbout{5, 6, 300, 300}, kCase{360, 10, 408, 284},
    kPicker{60, 650, 999, 999};

class LayoutFileTest : public WindowSetTest {
 protected:
  void SetUp() override {
    WindowSetTest::SetUp();
    aboutAtStart_ = BoundsOf(Form5);
    pickerAtStart_ = BoundsOf(Form7);
    paletteAtStart_ = BoundsOf(Form4);
    caseAtStart_ = BoundsOf(Form6);
  }
  // Ends this run of the program without closing it and starts a new one
  // with this layout file (none for nullopt).
  void Restart(const std::optional<std::string>& text) {
    DestroyWindowSet();
    std::filesystem::remove_all(LayoutFilePath());
    if (text) std::ofstream(LayoutFilePath(), std::ios::binary) << *text;
    Testing::Reset();
    CreateWindowSet();
    Form1->Show();
  }
  // Quits as the user does and returns what the file then holds.
  std::string Quit() {
    Form1->N5->Click();
    EXPECT_TRUE(Application->Terminated());
    return ReadFileBytes(LayoutFilePath());
  }
  void ExpectCanvasFillsClientArea() {
    EXPECT_EQ(Form1->Image1->Width(), Form1->ClientWidth());
    EXPECT_EQ(Form1->Image1->Height(), Form1->ClientHeight());
    TBitmap* bitmap = Form1->Image1->Picture()->Bitmap();
    EXPECT_EQ(bitmap->Width(), Form1->ClientWidth());
    EXPECT_EQ(bitmap->Height(), Form1->ClientHeight());
  }
  void ExpectDefaultArrangement() {
    const Bounds canvas = BoundsOf(Form1);
    EXPECT_EQ(canvas[0], Screen->Height() / 2 - Form1->Height() / 2);
    EXPECT_EQ(canvas[1], Screen->Width() / 2 - Form1->Width() / 2);
    EXPECT_EQ(Form2->Top(), canvas[0]);
    EXPECT_EQ(Form2->Left(), canvas[1] - Form2->Width());
    EXPECT_EQ(Form3->Top(), canvas[0]);
    EXPECT_EQ(Form3->Left(), canvas[1] + Form1->Width());
    EXPECT_EQ(Form6->Top(), Form2->Top() + Form2->Height());
    EXPECT_EQ(Form6->Left(), Form2->Left());
    EXPECT_EQ(Form7->Top(), canvas[0]);
    EXPECT_EQ(Form7->Left(), Form3->Left());
    EXPECT_EQ(Form4->Top(), Form7->Top() + Form7->Height());
    EXPECT_EQ(Form4->Left(), Form7->Left());
    EXPECT_EQ(BoundsOf(Form5), aboutAtStart_);
    ExpectCanvasFillsClientArea();
  }

  Bounds aboutAtStart_{}, pickerAtStart_{}, paletteAtStart_{}, caseAtStart_{};
};

TEST_F(LayoutFileTest, FirstRunArrangesByDefaultAndCloseWritesSevenLines) {
  EXPECT_TRUE(Testing::ShownErrors().empty());
  ExpectDefaultArrangement();
  const std::string expected = ExpectedFile();
  EXPECT_EQ(Quit(), expected);
}

TEST_F(LayoutFileTest, ValuesComeBackAndExtrasAreIgnored) {
  const std::string file = LineOf(kCanvas).substr(0, LineOf(kCanvas).size() - 2) + ",77,junk\r\n" +
                           LineOf(kBrush) + LineOf(kChart) + LineOf(kPalette) + LineOf(kAbout) +
                           LineOf(kCase) + LineOf(kPicker) + "an eighth line\r\n9,9,9,9\r\n";
  Restart(file);
  EXPECT_TRUE(Testing::ShownErrors().empty());
  EXPECT_EQ(BoundsOf(Form1), kCanvas);
  EXPECT_EQ(BoundsOf(Form2), kBrush);
  EXPECT_EQ(BoundsOf(Form3), kChart);
  EXPECT_EQ(BoundsOf(Form4), kPalette);
  EXPECT_EQ(BoundsOf(Form5), aboutAtStart_);  // read but never applied
  EXPECT_EQ(BoundsOf(Form6), kCase);
  EXPECT_EQ(BoundsOf(Form7), (Bounds{kPicker[0], kPicker[1], pickerAtStart_[2], pickerAtStart_[3]}));
  ExpectCanvasFillsClientArea();

  // Exactly seven lines of four fields come back, the About window's and the
  // picker's with their own bounds, the brush window's with its negative Left.
  const std::string expected = ExpectedFile();
  const std::string written = Quit();
  EXPECT_EQ(written, expected);
  EXPECT_NE(written.find("\r\n40,-100,240,230\r\n"), std::string::npos) << written;

  // Without the file, the default arrangement is back.
  Restart(std::nullopt);
  ExpectDefaultArrangement();
}

TEST_F(LayoutFileTest, BlanksHexadecimalAndQuotesReadLikePlainCommas) {
  Restart(
      "50 120\t500   350\r\n\"40\",-100,$F0,0xE6\n10,20,165,214\r300,500,278,281\r\n5,6,300,300\r\n"
      "360,10,408,284\r\n60,650,x3E7,999\r\n");
  EXPECT_TRUE(Testing::ShownErrors().empty());
  const std::array<Bounds, 7> expected{kCanvas, kBrush, kChart, kPalette, kAbout, kCase, kPicker};
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(Form1->LayoutTable[i], expected[i]) << i;
  EXPECT_EQ(BoundsOf(Form2), kBrush);
}

TEST_F(LayoutFileTest, EmptyFieldStopsReadingThere) {
  Restart(LineOf(kCanvas) + "40,,240,230\r\n" + LineOf(kChart));
  EXPECT_EQ(Testing::ShownErrors(), Messages{"'' は整数ではありません."});
  EXPECT_EQ(Form1->LayoutTable[0], kCanvas);
  EXPECT_EQ(Form1->LayoutTable[1], (Bounds{40, 0, 0, 0}));
  for (std::size_t i = 2; i < 7; ++i) EXPECT_EQ(Form1->LayoutTable[i], Bounds{}) << i;
  // The file exists, so what was read is applied, zeros included.
  EXPECT_EQ(BoundsOf(Form1), kCanvas);
  EXPECT_EQ(Form2->Top(), 40);
  EXPECT_EQ(Form2->Left(), 0);
  EXPECT_EQ(Form3->Top(), 0);
  ExpectCanvasFillsClientArea();
}

TEST_F(LayoutFileTest, ThreeLinesOnlyZeroTheRestAndCloseRepairsTheFile) {
  Restart(LineOf(kCanvas) + LineOf(kBrush) + LineOf(kChart));
  EXPECT_EQ(Testing::ShownErrors(), Messages{"リストのインデックスが範囲を超えています (3)"});
  EXPECT_EQ(BoundsOf(Form1), kCanvas);
  EXPECT_EQ(BoundsOf(Form2), kBrush);
  EXPECT_EQ(BoundsOf(Form3), kChart);
  for (std::size_t i = 3; i < 7; ++i) EXPECT_EQ(Form1->LayoutTable[i], Bounds{}) << i;
  // Top and Left 0; the sizes of zero are not applied, since a window of no
  // size is never shown and each close would write that size back.
  for (const TForm* form : AllForms()) {
    if (form == Form1 || form == Form2 || form == Form3 || form == Form5) continue;
    EXPECT_EQ(form->Top(), 0);
    EXPECT_EQ(form->Left(), 0);
  }
  EXPECT_EQ(Form4->Width(), paletteAtStart_[2]);
  EXPECT_EQ(Form4->Height(), paletteAtStart_[3]);
  EXPECT_EQ(Form6->Width(), caseAtStart_[2]);
  EXPECT_EQ(Form6->Height(), caseAtStart_[3]);
  EXPECT_EQ(BoundsOf(Form5), aboutAtStart_);
  const std::string expected = ExpectedFile();
  EXPECT_EQ(Quit(), expected);
  EXPECT_EQ(Testing::ShownErrors().size(), 1u);
}

// Fields past the fourth are ignored however long they are (100 KB of them on
// the first line once hid the six lines after it), and so is anything after
// the seventh line, however much there is.
TEST_F(LayoutFileTest, LongLinesAndHugeFilesAreReadWhole) {
  const std::string rest =
      LineOf(kBrush) + LineOf(kChart) + LineOf(kPalette) + LineOf(kAbout) + LineOf(kCase) + LineOf(kPicker);
  std::string longFirstLine = LineOf(kCanvas).substr(0, LineOf(kCanvas).size() - 2);
  for (int i = 0; longFirstLine.size() < 100000; ++i) longFirstLine += "," + std::to_string(i);
  for (const std::string& file :
       {longFirstLine + "\r\n" + rest, LineOf(kCanvas) + rest + std::string(1 << 20, 'x')}) {
    Restart(file);
    EXPECT_TRUE(Testing::ShownErrors().empty());
    const std::array<Bounds, 7> expected{kCanvas, kBrush, kChart, kPalette, kAbout, kCase, kPicker};
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(Form1->LayoutTable[i], expected[i]) << i;
    EXPECT_EQ(BoundsOf(Form6), kCase);
  }
}

// Sizes no desktop can show and places where a sum would overflow: every
// window is held to the desktop, nothing is raised, the canvas takes a dot
// and repaints, and the close writes back what the windows are. Sizes of
// 100000 x 40000 once made every resize fail for good, 20000 x 20000 crashed
// the overlay's repaint, and a Left of 2147483647 overflowed.
TEST_F(LayoutFileTest, HugeSizesAndFarPlacesAreHeldToTheDesktop) {
  const TRect desktop = Screen->DesktopBounds();
  for (const char* line : {"0,0,100000,40000", "0,0,16777215,16777215", "0,0,2147483647,2147483647",
                           "0,0,20000,20000", "0,2147483647,600,418", "-2147483648,-2147483648,600,418"}) {
    SCOPED_TRACE(line);
    std::string file;
    for (int i = 0; i < 7; ++i) file += line + std::string("\r\n");
    Restart(file);
    EXPECT_TRUE(Testing::ShownErrors().empty());
    for (const TForm* form : AllForms()) {
      EXPECT_LE(form->Width(), desktop.Width());
      EXPECT_LE(form->Height(), desktop.Height());
      EXPECT_GE(form->Left(), desktop.Left - desktop.Width());
      EXPECT_LE(form->Left(), desktop.Right);
    }
    ExpectCanvasFillsClientArea();
    Form1->Image1MouseDown(Form1->Image1, mbLeft, ssLeft, 20, 20);
    Form1->Image1MouseUp(Form1->Image1, mbLeft, 0, 20, 20);
    EXPECT_EQ(Form1->Image1->Canvas()->Pixel(20, 20), clBlack);
    // Both images repaint at that size: the canvas shows the dot, the overlay draws.
    EXPECT_EQ(Form1->Image1->Widget()->grab().toImage().pixel(20, 20), 0xFF000000u);
    EXPECT_FALSE(Form1->Image2->Widget()->grab().isNull());
    Testing::AnswerConfirmation(false);
    const std::string expected = ExpectedFile();
    EXPECT_EQ(Quit(), expected);
  }
}

// Where the desktop is larger than the memory for a canvas of its size, the
// window that cannot have its pictures goes back to its design size, with one
// message for the whole start-up; the program is usable and closes, writing
// sizes that start again without a message.
TEST_F(LayoutFileTest, SizeWhosePicturesCannotBeHadFallsBackToTheDesignSize) {
  const Bounds designCanvas = BoundsOf(Form1);
  const std::size_t designBytes = std::size_t{4} * Form1->ClientWidth() * Form1->ClientHeight();
  const TRect desktop = Screen->DesktopBounds();
  ASSERT_GT(std::size_t{4} * desktop.Width() * desktop.Height(), 2 * designBytes) << "desktop too small here";
  PixelStoreTesting::FailAllocationsOver(designBytes + designBytes / 2);
  std::string file;
  for (int i = 0; i < 7; ++i) file += "0,0,100000,40000\r\n";
  Restart(file);
  PixelStoreTesting::FailAllocationsOver(std::nullopt);
  EXPECT_EQ(Testing::ShownErrors(), Messages{"システム リソースが足りません."});
  EXPECT_EQ(Form1->Width(), designCanvas[2]);
  EXPECT_EQ(Form1->Height(), designCanvas[3]);
  ExpectCanvasFillsClientArea();
  Form1->Image1MouseDown(Form1->Image1, mbLeft, ssLeft, 20, 20);
  Form1->Image1MouseUp(Form1->Image1, mbLeft, 0, 20, 20);
  EXPECT_EQ(Form1->Image1->Canvas()->Pixel(20, 20), clBlack);
  Testing::AnswerConfirmation(false);
  const std::string written = Quit();
  EXPECT_EQ(written.substr(0, written.find('\r')),
            "0,0," + std::to_string(designCanvas[2]) + "," + std::to_string(designCanvas[3]));
  Restart(written);
  EXPECT_TRUE(Testing::ShownErrors().empty());
}

// A pipe in the layout file's place: start-up says it cannot be opened and
// goes on, and the close says it cannot be created and still ends the
// program. Opening either end of a pipe used to wait for the other for good.
TEST_F(LayoutFileTest, PipeInPlaceOfTheFileNeitherHangsStartNorClose) {
  DestroyWindowSet();
  ASSERT_EQ(::mkfifo(LayoutFilePath().c_str(), 0644), 0);
  Testing::Reset();
  const std::string reason = std::strerror(ENXIO);
  {
    Watchdog watchdog("start and close with a pipe as the layout file", std::chrono::seconds(10));
    CreateWindowSet();
    Form1->Show();
    EXPECT_EQ(Testing::ShownErrors(),
              Messages{"ファイル \"" + LayoutFilePath() + "\". " + reason + " は開けません."});
    Form1->N5->Click();
  }
  EXPECT_TRUE(Application->Terminated());
  ASSERT_EQ(Testing::ShownErrors().size(), 2u);
  EXPECT_EQ(Testing::ShownErrors()[1],
            "ファイル \"" + LayoutFilePath() + "\". " + reason + " を作成できません.");
  struct stat st {};
  ASSERT_EQ(::lstat(LayoutFilePath().c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// A monitor unplugged since the last run: windows left wholly off every
// screen are pulled onto the primary one, keeping their sizes.
TEST_F(LayoutFileTest, WindowsOffEveryScreenComeBackOnScreen) {
  const int w = Screen->Width(), h = Screen->Height();
  Restart("50," + std::to_string(w + 100) + ",500,350\r\n" +               // right of the screen
          std::to_string(h + 20) + ",-400,240,230\r\n" + LineOf(kChart) +  // below and left
          "-300,100,278,281\r\n" + LineOf(kAbout) + LineOf(kCase) +        // above
          "-5000,-5000,200,200\r\n");
  EXPECT_TRUE(Testing::ShownErrors().empty());
  EXPECT_EQ(BoundsOf(Form1), (Bounds{50, w - 500, 500, 350}));
  EXPECT_EQ(BoundsOf(Form2), (Bounds{h - 230, 0, 240, 230}));
  EXPECT_EQ(BoundsOf(Form4), (Bounds{0, 100, 278, 281}));
  EXPECT_EQ(BoundsOf(Form6), kCase);
  EXPECT_EQ(Form7->Top(), 0);
  EXPECT_EQ(Form7->Left(), 0);
  ExpectCanvasFillsClientArea();
}

// Where the program's own folder is closed to this copy (missing, closed to
// new files, or an installed copy's shared bin folder), the layout goes to the
// configuration folder without a box, and the next start takes it from there.
TEST_F(LayoutFileTest, ClosedProgramFolderKeepsTheLayoutInTheConfigFolder) {
  const std::string kFile = LineOf(kCanvas) + LineOf(kBrush) + LineOf(kChart) + LineOf(kPalette) +
                            LineOf(kAbout) + LineOf(kCase) + LineOf(kPicker);
  struct Case {
    const char* name;
    std::filesystem::path exe;
    bool closeFolder;
    std::filesystem::path desktopEntry;  // empty: not an installed copy
  };
  const std::filesystem::path prefix = Folder() / "prefix";
  const Case cases[] = {
      {"missing folder", Folder() / "gone" / "daubix", false, {}},
      {"folder closed to new files", Folder() / "closed" / "daubix", true, {}},
      {"installed copy", prefix / "bin" / "daubix", false,
       prefix / "share" / "applications" / DAUBIX_APP_ID ".desktop"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(ConfigLayoutFilePath());
    Restart(kFile);  // windows placed from a file beside the test's program
    const std::filesystem::path folder = c.exe.parent_path();
    if (!c.desktopEntry.empty()) {
      std::filesystem::create_directories(c.desktopEntry.parent_path());
      std::ofstream(c.desktopEntry) << "[Desktop Entry]\n";
      std::filesystem::create_directories(folder);
    }
    if (c.closeFolder) {
      std::filesystem::create_directories(folder);
      if (!SetImmutable(folder, true)) {
        std::filesystem::remove_all(folder);
        std::printf("case skipped: this file system cannot close a folder to new files\n");
        continue;  // the other cases still run
      }
    }
    Testing::SetExecutablePath(c.exe.string());
    const std::string expected = ExpectedFile();
    Form1->N5->Click();
    EXPECT_TRUE(Application->Terminated());
    EXPECT_TRUE(Testing::ShownErrors().empty()) << Testing::ShownErrors().front();
    EXPECT_EQ(ReadFileBytes(ConfigLayoutFilePath()), expected);
    EXPECT_FALSE(std::filesystem::exists(folder / "Daubix.ini"));

    Restart(std::nullopt);  // no file beside the test's program now
    EXPECT_TRUE(Testing::ShownErrors().empty());
    EXPECT_EQ(BoundsOf(Form1), kCanvas);
    EXPECT_EQ(BoundsOf(Form6), kCase);
    if (c.closeFolder) SetImmutable(folder, false);
    Testing::SetExecutablePath((Folder() / "daubix").string());
  }
}

// A portable copy's own file comes first; the configuration folder's serves
// when there is none beside the program.
TEST_F(LayoutFileTest, FileBesideTheProgramIsReadBeforeTheConfigFolders) {
  const std::string rest =
      LineOf(kBrush) + LineOf(kChart) + LineOf(kPalette) + LineOf(kAbout) + LineOf(kCase) + LineOf(kPicker);
  const Bounds inConfig{70, 140, 520, 360};
  std::filesystem::create_directories(std::filesystem::path(ConfigLayoutFilePath()).parent_path());
  std::ofstream(ConfigLayoutFilePath(), std::ios::binary) << LineOf(inConfig) + rest;
  Restart(LineOf(kCanvas) + rest);
  EXPECT_EQ(BoundsOf(Form1), kCanvas);
  Restart(std::nullopt);
  EXPECT_EQ(BoundsOf(Form1), inConfig);
  // A writable folder keeps a portable copy's layout beside it.
  const std::string expected = ExpectedFile();
  EXPECT_EQ(Quit(), expected);
  EXPECT_EQ(ReadFileBytes(ConfigLayoutFilePath()), LineOf(inConfig) + rest);
}

// A folder in the file's place can be neither read nor replaced.
TEST_F(LayoutFileTest, FolderInPlaceOfTheFile) {
  DestroyWindowSet();
  std::filesystem::create_directory(LayoutFilePath());
  Testing::Reset();
  CreateWindowSet();
  Form1->Show();
  EXPECT_EQ(Testing::ShownErrors(),
            Messages{"ファイル \"" + LayoutFilePath() + "\". Is a directory は開けません."});
  EXPECT_EQ(Form1->Top(), 0);
  EXPECT_EQ(Form1->Left(), 0);
  Form1->N5->Click();
  EXPECT_TRUE(Application->Terminated());
  ASSERT_EQ(Testing::ShownErrors().size(), 2u);
  EXPECT_EQ(Testing::ShownErrors()[1],
            "ファイル \"" + LayoutFilePath() + "\". Is a directory を作成できません.");
  EXPECT_TRUE(std::filesystem::is_directory(LayoutFilePath()));
  // No scratch file is left beside it.
  EXPECT_EQ(
      std::distance(std::filesystem::directory_iterator(Folder()), std::filesystem::directory_iterator()), 1);
}

// Installed in a folder closed to new files, with a writable layout file in
// it: the file is written over, since no scratch file can go beside it.
TEST_F(LayoutFileTest, WritableFileInAClosedFolderIsWrittenOver) {
  std::ofstream(LayoutFilePath(), std::ios::binary) << "stale";
  if (!SetImmutable(Folder(), true)) GTEST_SKIP() << "cannot close a folder here";
  const std::string expected = ExpectedFile();
  Form1->N5->Click();
  SetImmutable(Folder(), false);
  EXPECT_TRUE(Testing::ShownErrors().empty());
  EXPECT_EQ(ReadFileBytes(LayoutFilePath()), expected);
}

// A layout file the user made read-only is kept, with the message.
TEST_F(LayoutFileTest, ReadOnlyFileIsNotReplaced) {
  if (::geteuid() == 0) GTEST_SKIP() << "root may write any file";
  std::ofstream(LayoutFilePath(), std::ios::binary) << "kept";
  std::filesystem::permissions(LayoutFilePath(), std::filesystem::perms::owner_read);
  Form1->N5->Click();
  EXPECT_TRUE(Application->Terminated());
  const std::string message =
      "ファイル \"" + LayoutFilePath() + "\". " + std::strerror(EACCES) + " を作成できません.";
  EXPECT_EQ(Testing::ShownErrors(), Messages{message});
  EXPECT_EQ(ReadFileBytes(LayoutFilePath()), "kept");
}

}  // namespace
