// The public BMP corpus: good files must match their reference renderings pixel
// for pixel; bad and questionable ones must read or fail with one of our
// messages (under the sanitizers: without a crash or a huge allocation).
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>

#include "canvas/bitmap_file.h"

namespace {

namespace fs = std::filesystem;

struct CorpusEntry {
  std::string file;       // e.g. "g/pal8.bmp"
  std::string reference;  // e.g. "ref/pal8.png", empty for none
};

fs::path CorpusDir() {
  const char* env = std::getenv("DAUBIX_BMPSUITE");
  return env && *env ? fs::path(env) : fs::path(DAUBIX_BMPSUITE_DIR);
}

std::vector<CorpusEntry> ReadExpected(const fs::path& dir) {
  std::vector<CorpusEntry> entries;
  std::ifstream in(dir / "expected.tsv");
  std::string line;
  std::getline(in, line);  // column names
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    CorpusEntry e;
    if (!std::getline(fields, e.file, '\t') || !std::getline(fields, e.reference)) continue;
    if (e.reference == "-") e.reference.clear();
    entries.push_back(e);
  }
  return entries;
}

// Empty when the bitmap matches the reference, else what differs.
std::string CompareWithReference(const TBitmap& b, const fs::path& png) {
  const QImage ref = QImage(QString::fromStdString(png.string())).convertToFormat(QImage::Format_RGB32);
  if (ref.isNull()) return "reference unreadable";
  if (ref.width() != b.Width() || ref.height() != b.Height())
    return "size " + std::to_string(b.Width()) + "x" + std::to_string(b.Height()) + ", reference " +
           std::to_string(ref.width()) + "x" + std::to_string(ref.height());
  int differing = 0;
  std::string first;
  for (int y = 0; y < ref.height(); ++y) {
    const auto* want = reinterpret_cast<const QRgb*>(ref.constScanLine(y));
    for (int x = 0; x < ref.width(); ++x) {
      const std::uint32_t got = b.ScanLine(y)[x] & 0xFFFFFF, expected = want[x] & 0xFFFFFF;
      if (got == expected) continue;
      if (differing++ == 0) {
        char text[96];
        std::snprintf(text, sizeof text, "first at (%d,%d): got %06X, reference %06X", x, y, got, expected);
        first = text;
      }
    }
  }
  return differing ? std::to_string(differing) + " pixels differ, " + first : "";
}

// The listed rendering of pal8nonsquare ("-v") is the picture stretched to a
// square pixel aspect with smoothing (127x64, blended colours), which no reader
// that keeps the file's pixels can match; the exact rendering "-e" is the one
// for a reader that, like ours, ignores the resolution fields.
std::string ReferenceFor(const CorpusEntry& e) {
  return e.file == "g/pal8nonsquare.bmp" ? "ref/pal8nonsquare-e.png" : e.reference;
}

bool IsOurMessage(const std::string& m) {
  return m == "ビットマップイメージが不正です" || m == "ストリームからの読み込みエラー" ||
         m.starts_with("システムエラー。コード：");
}

class BmpSuite : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = CorpusDir();
    if (!fs::exists(dir_ / "expected.tsv")) GTEST_SKIP() << "BMP corpus not found at " << dir_.string();
    entries_ = ReadExpected(dir_);
    ASSERT_FALSE(entries_.empty());
  }
  fs::path dir_;
  std::vector<CorpusEntry> entries_;
};

TEST_F(BmpSuite, GoodFilesMatchTheirReferences) {
  int checked = 0;
  for (const CorpusEntry& e : entries_) {
    if (!e.file.starts_with("g/")) continue;
    SCOPED_TRACE(e.file);
    TBitmap b;
    try {
      b.LoadFromFile((dir_ / e.file).string());
    } catch (const EDaubixError& error) {
      ADD_FAILURE() << "refused: " << error.what();
      continue;
    }
    EXPECT_EQ(CompareWithReference(b, dir_ / ReferenceFor(e)), "");
    // What was read writes back and reads again to the same pixels.
    const std::vector<std::uint8_t> file = WriteBitmapFile(b);
    TBitmap back;
    ReadBitmapFile(file.data(), file.size(), back);
    ASSERT_EQ(back.Width(), b.Width());
    ASSERT_EQ(back.Height(), b.Height());
    EXPECT_TRUE(std::equal(b.Bits(), b.Bits() + std::size_t(b.Width()) * b.Height(), back.Bits()));
    ++checked;
  }
  EXPECT_GE(checked, 27);
}

// A few outcomes we decided on; every other bad or questionable file may read or be refused.
const std::map<std::string, std::string> kDecided = {
    {"b/badplanes.bmp", "ビットマップイメージが不正です"},
    {"b/reallybig.bmp", "システムエラー。コード：12.\nCannot allocate memory"},
    {"b/rletopdown.bmp", "ビットマップイメージが不正です"},
    {"b/badbitcount.bmp", "システムエラー。コード：95.\nOperation not supported"},
    {"q/rgba64.bmp", "システムエラー。コード：95.\nOperation not supported"},
    {"q/rgb24jpeg.bmp", "システムエラー。コード：95.\nOperation not supported"},
    {"q/rgb24rle24.bmp", "システムエラー。コード：95.\nOperation not supported"},
    {"q/pal2.bmp", "システムエラー。コード：95.\nOperation not supported"},
    {"b/shortfile.bmp", "(read)"},
    {"q/pal8offs.bmp", "(read)"},
};

TEST_F(BmpSuite, BadAndQuestionableFilesReadOrFailWithOurMessage) {
  std::ostringstream summary;
  for (const CorpusEntry& e : entries_) {
    if (e.file.starts_with("g/")) continue;
    SCOPED_TRACE(e.file);
    TBitmap b;
    std::string outcome = "(read)";
    try {
      b.LoadFromFile((dir_ / e.file).string());
    } catch (const EDaubixError& error) {
      outcome = error.what();
      EXPECT_TRUE(IsOurMessage(outcome)) << outcome;
    }
    if (const auto decided = kDecided.find(e.file); decided != kDecided.end())
      EXPECT_EQ(outcome, decided->second);
    if (outcome == "(read)") {
      // Whatever was read must write back and read again.
      const std::vector<std::uint8_t> file = WriteBitmapFile(b);
      TBitmap back;
      EXPECT_NO_THROW(ReadBitmapFile(file.data(), file.size(), back));
      if (!e.reference.empty()) {
        const std::string diff = CompareWithReference(b, dir_ / e.reference);
        outcome = diff.empty() ? "(read, matches reference)" : "(read) " + diff;
      }
    }
    std::string oneLine = outcome;
    std::replace(oneLine.begin(), oneLine.end(), '\n', ' ');
    summary << "  " << e.file << ": " << oneLine << "\n";
  }
  std::cout << summary.str();
}

}  // namespace
