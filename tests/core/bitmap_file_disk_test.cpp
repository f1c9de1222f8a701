#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "core/bitmap_file.h"
#include "core/bmp_test_files.h"
#include "support/immutable_folder.h"
#include "support/picture_test_util.h"
#include "support/private_tmpfs.h"
#include "support/watchdog.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

Bytes Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::string Failure(const std::function<void()>& f) {
  try {
    f();
  } catch (const EDaubixError& e) {
    return e.what();
  }
  return "(no error)";
}

// A picture of the given size with a red disc, so that old and new differ everywhere.
void MakeDisc(TBitmap& b, int size) {
  b.SetWidth(size);
  b.SetHeight(size);
  b.Canvas()->Brush->SetColor(clRed);
  b.Canvas()->Ellipse(0, 0, size, size);
}

bool MakeSocket(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  if (fd >= 0) ::close(fd);
  return bound;
}

// The id of a process that has ended and been reaped.
pid_t GonePid() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}

std::vector<std::string> Temporaries(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.path().extension() == ".tmp") names.push_back(entry.path().filename().string());
  return names;
}

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
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
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

// Rows are read from a mapping of the file. One cut short by another program
// once mapped fails the load with the read error, again and again, where the
// system would end the program; the picture stays. A fault outside a guarded
// read still ends the program as the system would.
TEST_F(BitmapFileOnDisk, FileCutShortWhileMappedFailsTheLoadNotTheProgram) {
  TestBmp s{.width = 1024, .height = 64, .depth = 24};
  s.pixels.assign(1024u * 64u * 3u, 0x5A);
  const Bytes file = MakeBmp(s);
  const std::string path = Path("cut.bmp");
  struct CutOnceMapped : TFileSource {
    CutOnceMapped(int fd, std::string path) : TFileSource(fd), path(std::move(path)) {}
    TMappedBytes MapNext(std::uint64_t n) override {
      TMappedBytes mapped = TFileSource::MapNext(n);
      EXPECT_FALSE(mapped.Empty());
      EXPECT_EQ(::truncate(path.c_str(), 8192), 0);
      return mapped;
    }
    std::string path;
  };
  for (int round = 0; round < 2; ++round) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    const FileDescriptor fd = OpenRegularFile(path);
    CutOnceMapped source(fd.Get(), path);
    TBitmap b;
    MakeDisc(b, 8);
    EXPECT_EQ(Failure([&] { ReadBitmapStream(source, b); }), "ストリームからの読み込みエラー");
    EXPECT_EQ(b.Width(), 8);
    EXPECT_EQ(b.Canvas()->Pixel(4, 4), clRed);
  }
  EXPECT_EXIT(
      {
        const FileDescriptor fd = OpenRegularFile(path);
        const TMappedBytes mapped = TMappedBytes::Map(fd.Get(), 0, 65536);
        ::truncate(path.c_str(), 0);
        std::exit(mapped.Data()[20000]);
      },
      // SIGBUS, or SIGABRT where a sanitizer reports it first; never a normal exit.
      [](int status) { return WIFSIGNALED(status); }, "");
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
  // Written over in place, the room for the larger picture is found missing
  // before a byte of the old one changes.
  const Bytes before = Contents(Path("old.bmp"));
  TBitmap bigger;
  MakeDisc(bigger, 300);
  FileIoTesting::FailWritesAfter(100000);
  const std::string failure = Failure([&] { bigger.SaveToFile(Path("old.bmp")); });
  FileIoTesting::FailWritesAfter(std::nullopt);
  SetImmutable(false);
  EXPECT_EQ(failure, "ストリームへの書き込みエラー");
  EXPECT_EQ(Contents(Path("old.bmp")), before);
  EXPECT_EQ(before, WriteBitmapFile(b));
}

// The same on a real disk: a private 1 MiB tmpfs filled to 56 KB free, the
// folder closed to new names by its mode and the process holding no
// capabilities (so this runs as root too).
TEST(BitmapFileOnFullDisk, InPlaceSaveLeavesTheOldPictureWhenNoRoomIsLeft) {
  const std::string report =
      RunInPrivateTmpfs(1 << 20, [](const std::filesystem::path& folder) -> std::string {
        const std::string picture = (folder / "pic.bmp").string();
        TBitmap old, bigger;
        MakeDisc(old, 100);
        MakeDisc(bigger, 300);
        bigger.Canvas()->Brush->SetColor(clBlue);
        bigger.Canvas()->FillRect(Rect(0, 0, 150, 150));
        old.SaveToFile(picture);
        const Bytes before = Contents(picture);
        const std::string filler = (folder / "filler").string();
        const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT, 0644);
        const std::vector<char> block(4096, 'x');
        off_t filled = 0;
        for (ssize_t put; (put = ::write(fd, block.data(), block.size())) > 0;) filled += put;
        if (::ftruncate(fd, filled - 56 * 1024) != 0) return "cannot free 56 KB";
        ::close(fd);
        if (::chmod(folder.c_str(), 0555) != 0 || !DropAllCapabilities())
          return "skip: cannot close the folder";
        if (::open((folder / "new").c_str(), O_WRONLY | O_CREAT, 0644) >= 0)
          return "skip: the folder still takes names";
        const std::string failure = Failure([&] { bigger.SaveToFile(picture); });
        if (failure != "ストリームへの書き込みエラー") return "full disk gave: " + failure;
        if (Contents(picture) != before) return "the old picture changed";
        // With room again, the same save goes through in place.
        if (::truncate(filler.c_str(), 0) != 0) return "cannot empty the filler";
        bigger.SaveToFile(picture);
        if (Contents(picture) != WriteBitmapFile(bigger)) return "the new picture is not what was saved";
        return "";
      });
  if (report.starts_with("skip: ")) GTEST_SKIP() << report.substr(6);
  EXPECT_EQ(report, "");
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

// Only regular files are read and written: a pipe with no writer, a socket,
// a device and a folder are refused at once with the system's reason and
// stay what they were. Opening a pipe used to wait for a writer for good.
TEST_F(BitmapFileOnDisk, SpecialFilesAreRefusedAtOnce) {
  struct Node {
    std::string name;
    std::function<bool(const std::string&)> make;
    int error;
  };
  const Node nodes[] = {
      {"fifo", [](const std::string& p) { return ::mkfifo(p.c_str(), 0666) == 0; }, ENXIO},
      {"socket", MakeSocket, ENXIO},
      // A device of our own (the same as /dev/full), so that no mistake can touch the system's.
      {"full", [](const std::string& p) { return ::mknod(p.c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0; },
       ENXIO},
      {"folder", [](const std::string& p) { return std::filesystem::create_directory(p); }, EISDIR},
  };
  TBitmap b;
  MakeSample(b, TPixelFormat{});
  for (const Node& node : nodes) {
    const std::string path = Path(node.name);
    if (!node.make(path)) {
      std::cout << "cannot make a " << node.name << " here: " << std::strerror(errno) << "\n";
      continue;
    }
    struct stat before {};
    ASSERT_EQ(::lstat(path.c_str(), &before), 0);
    const std::string reason = std::strerror(node.error);
    {
      Watchdog watchdog("reading and writing a " + node.name, 1s);
      EXPECT_EQ(Failure([&] { b.LoadFromFile(path); }),
                "ファイル \"" + path + "\". " + reason + " は開けません");
      EXPECT_EQ(Failure([&] { b.SaveToFile(path); }),
                "ファイル \"" + path + "\". " + reason + " を作成できません");
    }
    struct stat after {};
    ASSERT_EQ(::lstat(path.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & S_IFMT, before.st_mode & S_IFMT) << node.name;
  }
  ExpectPicture(b, kSample, Legend());
  EXPECT_TRUE(Temporaries(dir_).empty());
}

// Temporary files of saves killed before their rename go with the next save
// into that folder; those of live processes (this one's included: another
// thread may be saving) and names not of that shape stay.
TEST_F(BitmapFileOnDisk, SaveRemovesTemporariesOfProcessesThatAreGone) {
  const std::string gone = std::to_string(GonePid()), alive = std::to_string(::getpid());
  const std::vector<std::string> removed = {".pic.bmp." + gone + ".3.tmp", ".other.bmp." + gone + ".12.tmp"};
  const std::vector<std::string> kept = {".pic.bmp." + alive + ".99.tmp", ".pic.bmp.1.1.tmp",
                                         "pic.bmp." + gone + ".1.tmp",    ".pic.bmp." + gone + ".x.tmp",
                                         "." + gone + ".1.tmp",           ".pic.bmp." + gone + ".1.tmp.bak"};
  for (const auto* names : {&removed, &kept})
    for (const std::string& name : *names) std::ofstream(Path(name)) << "left";
  TBitmap b;
  MakeSample(b, TPixelFormat{});
  b.SaveToFile(Path("pic.bmp"));
  for (const std::string& name : removed) EXPECT_FALSE(std::filesystem::exists(Path(name))) << name;
  for (const std::string& name : kept) EXPECT_TRUE(std::filesystem::exists(Path(name))) << name;
}

// A save killed at any moment leaves the old picture or the new one, never a
// mix; what it left behind goes with the next save.
TEST_F(BitmapFileOnDisk, KilledSaveLeavesOldOrNewAndTheNextSaveCleansUp) {
  TBitmap old, next;
  MakeDisc(old, 100);
  MakeDisc(next, 1000);
  const std::string picture = Path("pic.bmp");
  old.SaveToFile(picture);
  const Bytes oldBytes = WriteBitmapFile(old), newBytes = WriteBitmapFile(next);
  Watchdog watchdog("killing saves", 60s);
  bool leftBehind = false;
  for (int attempt = 0; attempt < 50 && !leftBehind; ++attempt) {
    const pid_t saver = ::fork();
    if (saver == 0)
      for (;;) next.SaveToFile(picture);
    const std::string mark = ".pic.bmp." + std::to_string(saver) + ".";
    const auto saving = [&] {
      for (const std::string& name : Temporaries(dir_))
        if (name.starts_with(mark)) return true;
      return false;
    };
    while (!saving()) std::this_thread::sleep_for(1ms);
    ::kill(saver, SIGKILL);
    ::waitpid(saver, nullptr, 0);
    const Bytes now = Contents(picture);
    EXPECT_TRUE(now == oldBytes || now == newBytes) << "a mix of " << now.size() << " bytes";
    leftBehind = saving();
  }
  ASSERT_TRUE(leftBehind) << "no save was caught mid-way";
  old.SaveToFile(picture);
  EXPECT_TRUE(Temporaries(dir_).empty());
  EXPECT_EQ(Contents(picture), oldBytes);
}

}  // namespace
