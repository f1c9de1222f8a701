#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "core/bitmap_file.h"
#include "core/bmp_test_files.h"
#include "support/immutable_folder.h"
#include "support/picture_test_util.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class BitmapFileOnDisk : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::path(testing::TempDir()) /
           ("bmpfile_" + std::to_string(::getpid()) + "_" +
            testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    FileIoTesting::FailWritesAfter(std::nullopt);
    SetImmutable(false);
    std::filesystem::remove_all(dir_);
  }
  bool SetImmutable(bool on) const { return ::SetImmutable(dir_, on); }
  std::string Path(const char* name) const { return (dir_ / name).string(); }
  static Bytes Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }
  static std::string Failure(const std::function<void()>& f) {
    try {
      f();
    } catch (const EDaubixError& e) {
      return e.what();
    }
    return "(no error)";
  }
  std::filesystem::path dir_;
};

TEST_F(BitmapFileOnDisk, SavesAndLoads) {
  TBitmap b;
  MakeSample(b, Indexed(4, {kTable4, kTable4 + 6}));
  b.SaveToFile(Path("a.bmp"));
  EXPECT_EQ(Contents(Path("a.bmp")), WriteBitmapFile(b));
  TBitmap back;
  back.LoadFromFile(Path("a.bmp"));
  ExpectPicture(back, kSample, Legend());
  EXPECT_EQ(back.PixelDepth(), 4);
  TBitmap empty;
  empty.SaveToFile(Path("a.bmp"));
  EXPECT_EQ(std::filesystem::file_size(Path("a.bmp")), 0u);
  back.LoadFromFile(Path("a.bmp"));
  EXPECT_TRUE(back.Empty());
}

// Files over 4 MiB are read in pieces; they must come out as the whole-file reader reads them.
TEST_F(BitmapFileOnDisk, LargeFilesReadInPiecesAsInMemory) {
  TestBmp big{.width = 1100, .height = 1000, .depth = 32};
  big.pixels.resize(1100u * 1000u * 4u);
  for (std::size_t i = 0; i < big.pixels.size(); ++i)
    big.pixels[i] = static_cast<std::uint8_t>(i * 7 + i / 4399);
  TestBmp topDown = big, longHeader = big, cut = big, sized = big;
  topDown.height = -1000;
  longHeader.headerSize = 100000;  // headers beyond the first piece: read whole
  cut.pixels.resize(cut.pixels.size() - 1234567);
  sized.sizeImage = 3000000;
  for (const TestBmp* sample : {&big, &topDown, &longHeader, &cut, &sized}) {
    const Bytes file = MakeBmp(*sample);
    std::ofstream(Path("big.bmp"), std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    TBitmap fromDisk, inMemory;
    fromDisk.LoadFromFile(Path("big.bmp"));
    ReadBitmapFile(file.data(), file.size(), inMemory);
    ASSERT_EQ(fromDisk.Height(), 1000);
    EXPECT_TRUE(std::equal(inMemory.Bits(), inMemory.Bits() + 1100 * 1000, fromDisk.Bits()))
        << sample->height;
  }
}

TEST_F(BitmapFileOnDisk, OpenAndCreateFailuresNameTheFullPath) {
  TBitmap b;
  MakeSample(b, TPixelFormat{});
  const std::string missing = Path("missing.bmp");
  EXPECT_EQ(Failure([&] { b.LoadFromFile(missing); }),
            "ファイル \"" + missing + "\". " + std::strerror(ENOENT) + " は開けません");
  EXPECT_EQ(Failure([&] { b.LoadFromFile(dir_.string()); }),
            "ファイル \"" + dir_.string() + "\". " + std::strerror(EISDIR) + " は開けません");
  const std::string noFolder = Path("no/such/folder.bmp");
  EXPECT_EQ(Failure([&] { b.SaveToFile(noFolder); }),
            "ファイル \"" + noFolder + "\". " + std::strerror(ENOENT) + " を作成できません");
  ExpectPicture(b, kSample, Legend());
  // A relative path is shown in full.
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  const std::string shown = Failure([&] { b.LoadFromFile("rel.bmp"); });
  std::filesystem::current_path(cwd);
  EXPECT_EQ(shown, "ファイル \"" + Path("rel.bmp") + "\". " + std::strerror(ENOENT) + " は開けません");
}

TEST_F(BitmapFileOnDisk, FailedWriteLeavesTheOldFileWhole) {
  TBitmap old;
  MakeSample(old, TPixelFormat{});
  old.SaveToFile(Path("keep.bmp"));
  ASSERT_EQ(::chmod(Path("keep.bmp").c_str(), 0640), 0);
  const Bytes before = Contents(Path("keep.bmp"));
  TBitmap bigger;
  bigger.SetWidth(300);
  bigger.SetHeight(300);
  for (std::uint64_t after : {0, 20, 54, 100000}) {
    FileIoTesting::FailWritesAfter(after);
    EXPECT_EQ(Failure([&] { bigger.SaveToFile(Path("keep.bmp")); }), "ストリームへの書き込みエラー") << after;
    EXPECT_EQ(Contents(Path("keep.bmp")), before);
  }
  FileIoTesting::FailWritesAfter(std::nullopt);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);  // no temporary left behind
  bigger.SaveToFile(Path("keep.bmp"));
  EXPECT_EQ(Contents(Path("keep.bmp")).size(), 54u + 4u * 300u * 300u);
  struct stat st {};
  ASSERT_EQ(::stat(Path("keep.bmp").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(BitmapFileOnDisk, ClosedFolderRefusesNewFilesButOldOnesAreWrittenOver) {
  TBitmap b;
  MakeSample(b, TPixelFormat{});
  b.SaveToFile(Path("old.bmp"));
  if (!SetImmutable(true)) GTEST_SKIP() << "cannot close a folder here";
  EXPECT_EQ(Failure([&] { b.SaveToFile(Path("new.bmp")); }),
            "ファイル \"" + Path("new.bmp") + "\". " + std::strerror(EPERM) + " を作成できません");
  b.Canvas()->SetPixel(0, 0, clBlack);
  b.SaveToFile(Path("old.bmp"));
  SetImmutable(false);
  EXPECT_EQ(Contents(Path("old.bmp")), WriteBitmapFile(b));
}

TEST_F(BitmapFileOnDisk, SavingThroughALinkKeepsTheLink) {
  TBitmap b;
  MakeSample(b, TPixelFormat{});
  b.SaveToFile(Path("real.bmp"));
  std::filesystem::create_symlink("real.bmp", Path("link.bmp"));
  b.Canvas()->SetPixel(0, 0, clBlack);
  b.SaveToFile(Path("link.bmp"));
  EXPECT_TRUE(std::filesystem::is_symlink(Path("link.bmp")));
  EXPECT_EQ(Contents(Path("real.bmp")), WriteBitmapFile(b));
}

TEST_F(BitmapFileOnDisk, FullDeviceGivesTheWriteErrorAndStaysADevice) {
  // A device of our own (the same as /dev/full), so that no mistake can touch the system's.
  const std::string device = Path("full");
  if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
    GTEST_SKIP() << "cannot make a device here";
  TBitmap b;
  MakeSample(b, TPixelFormat{});
  EXPECT_EQ(Failure([&] { b.SaveToFile(device); }), "ストリームへの書き込みエラー");
  struct stat st {};
  ASSERT_EQ(::lstat(device.c_str(), &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
}

}  // namespace
