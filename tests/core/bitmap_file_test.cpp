#include "core/bitmap_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>

#include "core/bitmap_file_layout.h"
#include "core/bmp_test_files.h"
#include "support/picture_test_util.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

void Read(const Bytes& file, TBitmap& into) {
  ReadBitmapFile(file.data(), file.size(), into);
}

std::string ReadFailure(const Bytes& file) {
  TBitmap b;
  try {
    Read(file, b);
  } catch (const EDaubixError& e) {
    return e.what();
  }
  return "(read)";
}

std::uint32_t Field32(const Bytes& f, std::size_t at) {
  return bmp::Get32(f.data() + at);
}
std::uint32_t Info32(const Bytes& f, std::size_t at) {
  return bmp::Get32(f.data() + bmp::kFileHeaderSize + at);
}
std::uint16_t Info16(const Bytes& f, std::size_t at) {
  return bmp::Get16(f.data() + bmp::kFileHeaderSize + at);
}

std::string SystemError(int code) {
  return "システムエラー。コード：" + std::to_string(code) + ".\n" + std::strerror(code);
}

struct RoundTripCase {
  const char* name;
  TPixelFormat format;
  std::vector<std::string> expected;  // the sample as the format holds it
  std::uint32_t compression;
  std::uint32_t headerSize;
};

class RoundTrip : public testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTrip, KeepsDepthTableAndPixels) {
  const RoundTripCase& c = GetParam();
  TBitmap b;
  MakeSample(b, c.format);
  ExpectPicture(b, c.expected, Legend());
  const Bytes file = WriteBitmapFile(b);
  ASSERT_GE(file.size(), 26u);
  EXPECT_EQ(Field32(file, bmp::kFileSize), file.size());
  EXPECT_EQ(Info32(file, bmp::kHeaderSize), c.headerSize);
  const int depth = c.format.depth;
  const std::size_t rowSize = static_cast<std::size_t>(bmp::RowSize(5, depth));
  EXPECT_EQ(Field32(file, bmp::kOffBits), file.size() - 3 * rowSize);
  if (c.headerSize == 40) {
    EXPECT_EQ(Info16(file, bmp::kBitCount), depth);
    EXPECT_EQ(Info32(file, bmp::kCompression), c.compression);
    EXPECT_EQ(Info32(file, bmp::kSizeImage), 3 * rowSize);
    EXPECT_EQ(Info32(file, bmp::kClrUsed), depth <= 8 ? c.format.colorTable.size() : 0u);
  } else {
    EXPECT_EQ(Info16(file, bmp::kCoreBitCount), depth);
  }
  TBitmap back;
  Read(file, back);
  EXPECT_EQ(back.PixelDepth(), depth);
  EXPECT_EQ(back.ColorTable(), c.format.colorTable);
  EXPECT_EQ(back.Format().bitFields, c.format.bitFields);
  EXPECT_EQ(back.Format().coreHeader, c.format.coreHeader);
  ExpectPicture(back, c.expected, Legend());
  EXPECT_EQ(WriteBitmapFile(back), file);
}

INSTANTIATE_TEST_SUITE_P(
    EveryDepth, RoundTrip,
    testing::Values(
        // Colours not in a table come out as the nearest entry: red, green and blue are nearer
        // black, yellow is nearer white.
        RoundTripCase{"pal1", Indexed(1, {clWhite, clBlack}), {"#.###", "#...#", "####."}, 0, 40},
        RoundTripCase{"pal4", Indexed(4, {kTable4, kTable4 + 6}), kSample, 0, 40},
        RoundTripCase{"pal8", Indexed(8, {kTable4, kTable4 + 6}), kSample, 0, 40},
        RoundTripCase{"core8", Indexed(8, FullTable(), true), kSample, 0, 12},
        RoundTripCase{"rgb555", Masked(16, 0x7C00, 0x3E0, 0x1F, false), kSample, 0, 40},
        RoundTripCase{"rgb565", Masked(16, 0xF800, 0x7E0, 0x1F, true), kSample, 3, 40},
        RoundTripCase{"rgb24", Indexed(24, {}), kSample, 0, 40},
        RoundTripCase{"rgb32", TPixelFormat{}, kSample, 0, 40},
        RoundTripCase{"rgb32bf", Masked(32, 0xFF, 0xFF00, 0xFF0000, true), kSample, 3, 40}),
    [](const testing::TestParamInfo<RoundTripCase>& info) { return std::string(info.param.name); });

TEST(BitmapFile, ProgramBitmapOf600x400Is960054Bytes) {
  TBitmap b;
  b.SetWidth(600);
  b.SetHeight(400);
  const Bytes file = WriteBitmapFile(b);
  EXPECT_EQ(file.size(), 960054u);
  EXPECT_EQ(Field32(file, bmp::kOffBits), 54u);
  EXPECT_EQ(Info16(file, bmp::kBitCount), 32);
  EXPECT_EQ(Info32(file, bmp::kCompression), 0u);
  EXPECT_EQ(Info32(file, bmp::kWidth), 600u);
  EXPECT_EQ(Info32(file, bmp::kHeight), 400u);  // bottom row first
  EXPECT_EQ(Field32(file, 54), 0x00FFFFFFu);    // white, the byte above red 0
}

TEST(BitmapFile, EmptyBitmapAndZeroByteFile) {
  TBitmap b;
  EXPECT_TRUE(WriteBitmapFile(b).empty());
  MakeSample(b, TPixelFormat{});
  Read({}, b);
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.Width(), 0);
}

TEST(BitmapFile, BottomUpTopDownAndRowPadding) {
  // 3 x 2 pixels, 8 bits: rows padded to 4 bytes.
  TestBmp s{
      .width = 3, .height = 2, .depth = 8, .clrUsed = 4, .table = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}};
  s.pixels = {0, 1, 2, 0xAA, 3, 3, 0, 0xAA};
  TBitmap b;
  Read(MakeBmp(s), b);
  ExpectPicture(b, {"..r", "rgb"}, Legend());
  s.height = -2;
  Read(MakeBmp(s), b);
  ExpectPicture(b, {"rgb", "..r"}, Legend());
}

TEST(BitmapFile, SubByteDepthsAndShortTables) {
  // 1 bit: 10 pixels across two bytes, MSB first; a table of 4 entries is read
  // past in full but only 2 can be indexed.
  TestBmp one{
      .width = 10, .height = 1, .depth = 1, .clrUsed = 4, .table = {0x000000, 0xFFFFFF, 0xFF0000, 0xFF}};
  one.pixels = {0b10110000, 0b01000000, 0xFF, 0xFF};
  TBitmap b;
  Read(MakeBmp(one), b);
  ExpectPicture(b, {".#..#####."}, Legend());
  EXPECT_EQ(b.ColorTable().size(), 2u);
  // 4 bits, high nibble first; an index past a 3-entry table shows black.
  TestBmp four{.width = 5, .height = 1, .depth = 4, .clrUsed = 3, .table = {0xFF0000, 0x00FF00, 0xFFFFFF}};
  four.pixels = {0x01, 0x2F, 0x10, 0};
  Read(MakeBmp(four), b);
  ExpectPicture(b, {"rg.#g"}, Legend());
}

TEST(BitmapFile, SixteenBitChannelsWidenByRounding) {
  // 5-bit 7 is 58 (7 * 255 / 31 = 57.6), 6-bit 33 is 134 (133.6).
  TestBmp s{.width = 2, .height = 1, .depth = 16};
  s.pixels = {0x07, 0x1C, 0x1F, 0x00};  // 555: 0x1C07 = r 7, g 0, b 7; 0x001F = b 31
  TBitmap b;
  Read(MakeBmp(s), b);
  EXPECT_EQ(b.ScanLine(0)[0], 0xFF3A003Au);
  EXPECT_EQ(b.ScanLine(0)[1], 0xFF0000FFu);
  s.compression = 3;
  s.masks = {0xF800, 0x07E0, 0x001F};
  s.pixels = {0x20, 0x04, 0, 0};  // g = 33
  Read(MakeBmp(s), b);
  EXPECT_EQ(b.ScanLine(0)[0], 0xFF008600u);
  // A 108-byte header carries its masks inside.
  s.headerSize = 108;
  Read(MakeBmp(s), b);
  EXPECT_EQ(b.ScanLine(0)[0], 0xFF008600u);
  EXPECT_TRUE(b.Format().bitFields);
}

TEST(BitmapFile, PixelsStartRightAfterTheColourTable) {
  TestBmp s{.width = 2, .height = 1, .depth = 8, .clrUsed = 2, .table = {0xFF0000, 0xFFFFFF}, .gap = 4};
  s.pixels = {0, 0, 0, 0};
  TBitmap b;
  Read(MakeBmp(s), b);  // the gap's bytes (0xEE, past the table) are the first pixels
  ExpectPicture(b, {"##"}, Legend());
}

TEST(BitmapFile, PixelDataSizeAndShortData) {
  // 2 x 2, 24 bits: rows of 8 bytes. Data cut off inside the second row reads as zero.
  TestBmp s{.width = 2, .height = 2, .depth = 24};
  s.pixels = {0, 0, 255, 255, 255, 255, 0, 0, 255, 0, 0};
  TBitmap b;
  Read(MakeBmp(s), b);
  ExpectPicture(b, {"b#", "r."}, Legend());
  // biSizeImage shorter than the data: only that much is used.
  s.pixels.resize(16, 0xFF);
  s.sizeImage = 3;
  Read(MakeBmp(s), b);
  ExpectPicture(b, {"##", "r#"}, Legend());
}

// RLE8, 4 x 4, bottom row first.
Bytes Rle8File(std::vector<std::uint8_t> data) {
  return MakeBmp(TestBmp{.width = 4,
                         .height = 4,
                         .depth = 8,
                         .compression = 1,
                         .sizeImage = static_cast<std::uint32_t>(data.size()),
                         .clrUsed = 4,
                         .table = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF},
                         .pixels = std::move(data)});
}

TEST(BitmapFile, Rle8DecodesAndWritesBackUnchangedFiles) {
  const Bytes file = Rle8File({3, 1, 0, 0,        // bottom row: r r r, end of line
                               0, 3, 2, 3, 1, 0,  // next: absolute g b r (padded), end of line
                               0, 0, 0, 2, 1, 1,  // delta: right 1, up 1
                               2, 3, 0, 1});      // b b, end of bitmap
  TBitmap b;
  Read(file, b);
  ExpectPicture(b, {"#bb#", "####", "gbr#", "rrr#"}, Legend());
  EXPECT_EQ(b.PixelDepth(), 32);
  EXPECT_EQ(WriteBitmapFile(b), file);
  b.Canvas()->SetPixel(0, 0, clWhite);
  const Bytes drawn = WriteBitmapFile(b);
  EXPECT_EQ(drawn.size(), 54u + 64u);
  EXPECT_EQ(Info32(drawn, bmp::kCompression), 0u);
  TBitmap back;
  Read(drawn, back);
  ExpectPicture(back, {".bb#", "####", "gbr#", "rrr#"}, Legend());
}

// Two rows of five 4-bit pixels: a run, an absolute run and the ends.
Bytes Rle4File() {
  return MakeBmp(TestBmp{.width = 5,
                         .height = 2,
                         .depth = 4,
                         .compression = 2,
                         .clrUsed = 4,
                         .table = {0x000000, 0xFF0000, 0x00FF00, 0xFFFFFF},
                         .pixels = {5, 0x12, 0, 0, 0, 3, 0x31, 0x20, 0, 1}});
}

TEST(BitmapFile, Rle4Decodes) {
  const Bytes file = Rle4File();
  TBitmap b;
  Read(file, b);
  ExpectPicture(b, {".rg##", "rgrgr"}, Legend());
}

TEST(BitmapFile, HostileRleIsClippedNeverWritingOutside) {
  TBitmap b;
  // A run longer than the row is cut at the row's end, not wrapped.
  Read(Rle8File({9, 1, 0, 1}), b);
  ExpectPicture(b, {"####", "####", "####", "rrrr"}, Legend());
  // A delta to the right of the row drops what follows on that row.
  Read(Rle8File({0, 2, 250, 0, 2, 2, 0, 0, 1, 3, 0, 1}), b);
  ExpectPicture(b, {"####", "####", "b###", "####"}, Legend());
  // A delta above the top ends the picture; data that ends inside an absolute run keeps what came.
  Read(Rle8File({1, 1, 0, 2, 0, 200, 5, 2}), b);
  ExpectPicture(b, {"####", "####", "####", "r###"}, Legend());
  Read(Rle8File({0, 6, 2, 2}), b);
  ExpectPicture(b, {"####", "####", "####", "gg##"}, Legend());
  // Endless end-of-line markers stop at the top row.
  Read(Rle8File(std::vector<std::uint8_t>(4000, 0)), b);
  EXPECT_EQ(b.Width(), 4);
}

TEST(BitmapFile, TruncatedFilesAreReadErrorsAndKeepThePicture) {
  // 8 bits with a full table: header 54 bytes, table 1024, masks none.
  const Bytes pal8 = MakeBmp(TestBmp{.width = 2,
                                     .height = 1,
                                     .depth = 8,
                                     .table = std::vector<std::uint32_t>(256, 0xFF),
                                     .pixels = {1, 1, 0, 0}});
  const Bytes masked = MakeBmp(TestBmp{.width = 1,
                                       .height = 1,
                                       .depth = 16,
                                       .compression = 3,
                                       .masks = {0xF800, 0x7E0, 0x1F},
                                       .pixels = {0, 0, 0, 0}});
  const Bytes core =
      MakeBmp(TestBmp{.headerSize = 12, .depth = 8, .table = std::vector<std::uint32_t>(256, 0)});
  struct Cut {
    const Bytes& file;
    std::size_t size;
  };
  for (const Cut& cut :
       {Cut{pal8, 1}, Cut{pal8, 13}, Cut{pal8, 14}, Cut{pal8, 17}, Cut{pal8, 18}, Cut{pal8, 30},
        Cut{pal8, 53}, Cut{pal8, 54}, Cut{pal8, 54 + 600}, Cut{pal8, 54 + 1023}, Cut{masked, 54},
        Cut{masked, 60}, Cut{masked, 65}, Cut{core, 25}, Cut{core, 26 + 767}}) {
    TBitmap b;
    MakeSample(b, TPixelFormat{});
    const Bytes cutFile(cut.file.begin(), cut.file.begin() + static_cast<std::ptrdiff_t>(cut.size));
    try {
      Read(cutFile, b);
      ADD_FAILURE() << "read a file cut at " << cut.size;
    } catch (const EDaubixError& e) {
      EXPECT_STREQ(e.what(), "ストリームからの読み込みエラー") << cut.size;
    }
    SCOPED_TRACE(cut.size);
    ExpectPicture(b, kSample, Legend());
  }
  // Cut inside the pixel data: what is missing reads as index 0.
  TBitmap b;
  Read(Bytes(pal8.begin(), pal8.begin() + 54 + 1024 + 1), b);
  EXPECT_EQ(b.Width(), 2);
}

// `head`, then `tail` over and over without end; counts what is read.
class EndlessSource : public TByteSource {
 public:
  explicit EndlessSource(Bytes head, Bytes tail = {0}) : head_(std::move(head)), tail_(std::move(tail)) {}
  std::size_t Read(std::uint8_t* into, std::size_t n) override {
    for (std::size_t i = 0; i < n; ++i, ++taken_)
      into[i] = taken_ < head_.size() ? head_[taken_] : tail_[(taken_ - head_.size()) % tail_.size()];
    return n;
  }
  std::uint64_t Taken() const { return taken_; }

 private:
  Bytes head_, tail_;
  std::uint64_t taken_ = 0;
};

// The headers are checked from the first bytes before more is read, and no
// more is read than they say the file holds: an endless stream of "BM" and
// zeros is refused at byte 18, a picture followed by endless bytes read to
// the end of its pixel data (or of what biSizeImage gives).
TEST(BitmapFile, ReadingStopsWhereTheHeadersSay) {
  EndlessSource endless({'B', 'M'});
  TBitmap b;
  EXPECT_THROW(ReadBitmapStream(endless, b), EDaubixError);
  EXPECT_EQ(endless.Taken(), 18u);
  TestBmp s{.width = 2, .height = 2, .depth = 24};
  s.pixels = {0, 0, 255, 255, 255, 255, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0};
  for (const std::uint32_t sizeImage : {0u, 11u}) {
    s.sizeImage = sizeImage;
    const Bytes file = MakeBmp(s);
    EndlessSource followed(file);
    ReadBitmapStream(followed, b);
    EXPECT_EQ(followed.Taken(), 54u + (sizeImage ? sizeImage : 16u));
    ExpectPicture(b, {"b#", "r."}, Legend());
  }
}

// 16 x 16 RLE8 with no end-of-picture mark: fifteen red rows, then `blue`
// runs of one blue pixel on the top row.
Bytes Rle8WithoutEnd(int blue, std::uint32_t sizeImage) {
  Bytes rows;
  for (int y = 0; y < 15; ++y) rows.insert(rows.end(), {16, 1, 0, 0});
  for (int x = 0; x < blue; ++x) rows.insert(rows.end(), {1, 3});
  return MakeBmp(TestBmp{.width = 16,
                         .height = 16,
                         .depth = 8,
                         .compression = 1,
                         .sizeImage = sizeImage,
                         .clrUsed = 4,
                         .table = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF},
                         .pixels = std::move(rows)});
}

// The picture above with the blue runs going on for ever. Reading stops where
// the headers say, and an unchanged picture writes back exactly the bytes read.
TEST(BitmapFile, RleWithAnEndlessTailIsReadOnlyAsFarAsTheHeadersSay) {
  constexpr std::uint64_t kPixelOffset = 54 + 4 * 4, kUpToTwoBlue = kPixelOffset + 60 + 4;
  const std::string twoBlue = "bb##############", allBlue(16, 'b');
  struct Case {
    const char* name;
    std::uint32_t sizeImage, fileSize;
    std::uint64_t end;  // where reading stops
    std::string topRow;
  };
  const Case cases[] = {
      {"bfSize", 0, kUpToTwoBlue, kUpToTwoBlue, twoBlue},
      {"biSizeImage", 64, 0xFFFFFFFF, kUpToTwoBlue, twoBlue},
      {"neither: four bytes a pixel and a row", 0, 0, kPixelOffset + 4 * 17 * 16 + 2, allBlue},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes file = Rle8WithoutEnd(0, c.sizeImage);
    bmp::Put32(&file[bmp::kFileSize], c.fileSize);
    EndlessSource source(file, {1, 3});
    TBitmap b;
    ReadBitmapStream(source, b);
    EXPECT_LE(source.Taken(), c.end);
    std::vector<std::string> expected(15, std::string(16, 'r'));
    expected.insert(expected.begin(), c.topRow);
    ExpectPicture(b, expected, Legend());
    Bytes read(c.end);
    EndlessSource(file, {1, 3}).Read(read.data(), read.size());
    EXPECT_EQ(WriteBitmapFile(b), read);
  }
}

// Resident memory of this process in bytes.
std::int64_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  std::int64_t size = 0, resident = 0;
  statm >> size >> resident;
  return resident * ::sysconf(_SC_PAGESIZE);
}

// A file of a kilobyte or less may claim 16384 x 16384 pixels. What it leaves
// out takes the colour of zero bytes (entry 0 of a colour table, black
// otherwise and for RLE), as it always did, but without costing a gigabyte:
// those pixels are mapped, not written.
TEST(BitmapFile, TinyFilesClaimingHugePicturesCostNoMemory) {
  constexpr int kSide = 16384;
  std::vector<std::uint32_t> table(256, 0x000000);
  table[0] = 0xFFFFFF;  // zero bytes are white here, so nothing comes free of zero pages
  table[1] = 0xFF0000;
  struct Case {
    const char* name;
    TestBmp file;
    std::string missing;  // the colour of left-out pixels, as a legend character
    int redY;             // the row whose first two pixels the data makes red
  };
  const Case cases[] = {
      {"8-bit",
       {.width = kSide, .height = kSide, .depth = 8, .table = table, .pixels = {1, 1}},
       ".",
       kSide - 1},
      {"24-bit top-down",
       {.width = kSide, .height = -kSide, .depth = 24, .pixels = {0, 0, 255, 0, 0, 255}},
       "#",
       0},
      {"RLE8",
       {.width = kSide,
        .height = kSide,
        .depth = 8,
        .compression = 1,
        .clrUsed = 2,
        .table = {0, 0xFF0000},
        .pixels = {2, 1, 0, 1}},
       "#",
       kSide - 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes file = MakeBmp(c.file);
    ASSERT_LE(file.size(), 1100u);
    TBitmap b;
    const std::int64_t before = ResidentBytes();
    Read(file, b);
    EXPECT_LT(ResidentBytes() - before, std::int64_t{50} << 20);
    ASSERT_EQ(b.Width(), kSide);
    ASSERT_EQ(b.Height(), kSide);
    ExpectPicture(b, 0, c.redY, {"rr" + c.missing}, Legend());
    for (const int y : {0, kSide / 2, kSide - 1})
      for (const int x : {2, kSide / 2, kSide - 1}) ExpectPicture(b, x, y, {c.missing}, Legend());
    ExpectPicture(b, 0, kSide - 1 - c.redY, {c.missing + c.missing}, Legend());
  }
}

TEST(BitmapFile, InvalidAndUnsupportedFilesAreRefused) {
  const TestBmp good{.width = 2, .height = 2, .depth = 24, .pixels = Bytes(16, 0)};
  const auto with = [&](auto change) {
    TestBmp s = good;
    change(s);
    return MakeBmp(s);
  };
  const std::string invalid = "ビットマップイメージが不正です";
  Bytes magic = MakeBmp(good);
  magic[1] = 'A';
  EXPECT_EQ(ReadFailure(magic), invalid);
  EXPECT_EQ(ReadFailure(with([](TestBmp& s) { s.planes = 2; })), invalid);
  EXPECT_EQ(ReadFailure(with([](TestBmp& s) { s.headerSize = 20; })), invalid);
  EXPECT_EQ(ReadFailure(with([](TestBmp& s) { s.depth = 8, s.clrUsed = 257; })), invalid);
  EXPECT_EQ(ReadFailure(with([](TestBmp& s) {
              s.depth = 16, s.compression = 3, s.masks = {0xF800, 0xFC00, 0x1F};
            })),
            invalid);
  EXPECT_EQ(ReadFailure(with([](TestBmp& s) {
              s.depth = 32, s.compression = 3, s.masks = {0xF0F, 0, 0};
            })),
            invalid);
  EXPECT_EQ(ReadFailure(with([](TestBmp& s) { s.depth = 8, s.compression = 1, s.height = -2; })), invalid);
  EXPECT_EQ(ReadFailure(with([](TestBmp& s) { s.depth = 2; })), SystemError(ENOTSUP));
  EXPECT_EQ(ReadFailure(with([](TestBmp& s) { s.compression = 4; })), SystemError(ENOTSUP));
  EXPECT_EQ(ReadFailure(with([](TestBmp& s) { s.depth = 4, s.compression = 1; })), SystemError(ENOTSUP));
  EXPECT_EQ(ReadFailure(with([](TestBmp& s) { s.width = -2; })), SystemError(EINVAL));
  EXPECT_EQ(ReadFailure(with([](TestBmp& s) { s.width = 16385, s.height = 16384; })), SystemError(ENOMEM));
  EXPECT_EQ(ReadFailure(with([](TestBmp& s) { s.width = 0x7FFFFFFF, s.height = -0x7FFFFFFF - 1; })),
            SystemError(ENOMEM));
  // The previous picture stays after a refusal.
  TBitmap b;
  MakeSample(b, TPixelFormat{});
  EXPECT_THROW(Read(magic, b), EDaubixError);
  ExpectPicture(b, kSample, Legend());
}

TEST(BitmapFile, SizeLimitBothSides) {
  EXPECT_TRUE(BitmapSizeAllowed(16384, 16384));  // exactly 2^28 pixels
  EXPECT_FALSE(BitmapSizeAllowed(16384, 16385));
  EXPECT_TRUE(BitmapSizeAllowed(kMaxBitmapPixels, 1));
  EXPECT_FALSE(BitmapSizeAllowed(kMaxBitmapPixels + 1, 1));
  EXPECT_FALSE(BitmapSizeAllowed(std::int64_t{1} << 40, std::int64_t{1} << 40));  // product overflows
  EXPECT_FALSE(BitmapSizeAllowed(-1, 5));
  EXPECT_TRUE(BitmapSizeAllowed(0, std::int64_t{1} << 40));  // no pixels at all
  // A picture with no pixels loads as empty in both directions.
  TBitmap b;
  Read(MakeBmp(TestBmp{.width = 0, .height = 0x7FFFFFFF, .depth = 24}), b);
  EXPECT_EQ(b.Width(), 0);
  EXPECT_EQ(b.Height(), 0);
}

TEST(BitmapFile, DrawnEightBitPictureKeepsItsTable) {
  TBitmap b;
  const std::vector<std::uint32_t> table = {0x000000, 0xFFFFFF, 0xFF0000, 0x800000};
  Read(MakeBmp(TestBmp{
           .width = 3, .height = 1, .depth = 8, .clrUsed = 4, .table = table, .pixels = {0, 1, 2, 0}}),
       b);
  b.Canvas()->SetPixel(0, 0, 0x0000F0);  // red 240: nearest entry 2 (red 255)
  b.Canvas()->SetPixel(1, 0, 0x000070);  // red 112: nearest entry 3 (red 128)
  EXPECT_EQ(b.ScanLine(0)[0], 0xFFFF0000u);
  EXPECT_EQ(b.ScanLine(0)[1], 0xFF800000u);
  const Bytes file = WriteBitmapFile(b);
  EXPECT_EQ(Info16(file, bmp::kBitCount), 8);
  EXPECT_EQ(Info32(file, bmp::kClrUsed), 4u);
  EXPECT_EQ(file[54 + 16], 2);
  EXPECT_EQ(file[54 + 17], 3);
  EXPECT_EQ(file[54 + 18], 2);
}

// ---- Fuzzing seeds ----

// One small file of every kind the reader takes. DAUBIX_WRITE_FUZZ_SEEDS=1 writes them to
// fuzz/corpus/bmp; otherwise the committed seeds are checked against them.
std::map<std::string, Bytes> FuzzSeeds() {
  std::map<std::string, Bytes> seeds;
  const auto sample = [&](const char* name, TPixelFormat format) {
    TBitmap b;
    MakeSample(b, std::move(format));
    seeds[name] = WriteBitmapFile(b);
  };
  sample("pal1.bmp", Indexed(1, {clBlack, clWhite}));
  sample("pal4.bmp", Indexed(4, {kTable4, kTable4 + 6}));
  sample("pal8.bmp", Indexed(8, {kTable4, kTable4 + 6}));
  sample("core8.bmp", Indexed(8, FullTable(), true));
  sample("core24.bmp", Indexed(24, {}, true));
  sample("rgb555.bmp", Masked(16, 0x7C00, 0x3E0, 0x1F, false));
  sample("rgb565.bmp", Masked(16, 0xF800, 0x7E0, 0x1F, true));
  sample("rgb24.bmp", Indexed(24, {}));
  sample("rgb32.bmp", TPixelFormat{});
  sample("rgb32bf.bmp", Masked(32, 0xFF, 0xFF00, 0xFF0000, true));
  seeds["topdown8.bmp"] = MakeBmp(TestBmp{.width = 3,
                                          .height = -2,
                                          .depth = 8,
                                          .clrUsed = 2,
                                          .table = {0xFF0000, 0xFF},
                                          .pixels = {0, 1, 0, 0, 1, 0, 1, 0}});
  seeds["v5rgb565.bmp"] = MakeBmp(TestBmp{.headerSize = 124,
                                          .width = 2,
                                          .height = 1,
                                          .depth = 16,
                                          .compression = 3,
                                          .masks = {0xF800, 0x7E0, 0x1F},
                                          .pixels = {0, 0xF8, 0x1F, 0}});
  seeds["rle8.bmp"] = Rle8File({3, 1, 0, 0, 0, 3, 2, 3, 1, 0, 0, 0, 0, 2, 1, 1, 2, 3, 0, 1});
  seeds["rle4.bmp"] = Rle4File();
  seeds["rle8-no-end.bmp"] = Rle8WithoutEnd(2, 0);
  return seeds;
}

TEST(BitmapFile, FuzzSeedsReadAndAreCommitted) {
  const std::filesystem::path dir = DAUBIX_FUZZ_CORPUS_DIR;
  const bool write = std::getenv("DAUBIX_WRITE_FUZZ_SEEDS") != nullptr;
  for (const auto& [name, bytes] : FuzzSeeds()) {
    TBitmap b;
    EXPECT_NO_THROW(Read(bytes, b)) << name;
    if (write)
      std::ofstream(dir / name, std::ios::binary)
          .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    std::ifstream in(dir / name, std::ios::binary);
    EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), {}), bytes) << name;
  }
}

}  // namespace
