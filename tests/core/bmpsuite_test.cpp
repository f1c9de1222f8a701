// The public BMP corpus: good files must read and write back; bad and
// questionable ones must read or fail with one of our messages (under the
// sanitizers: without a crash or a huge allocation). The pixel comparison with
// the reference renderings needs a PNG reader and lives with the window tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "core/bitmap_file.h"
#include "support/bmp_corpus.h"

namespace {

bool IsOurMessage(const std::string& m) {
  return m == "ビットマップイメージが不正です" || m == "ストリームからの読み込みエラー" ||
         m.starts_with("システムエラー。コード：");
}

// What was read writes back and reads again to the same pixels.
void ExpectRoundTrip(const TBitmap& b) {
  const std::vector<std::uint8_t> file = WriteBitmapFile(b);
  TBitmap back;
  ASSERT_NO_THROW(ReadBitmapFile(file.data(), file.size(), back));
  ASSERT_EQ(back.Width(), b.Width());
  ASSERT_EQ(back.Height(), b.Height());
  EXPECT_TRUE(std::equal(b.Bits(), b.Bits() + std::size_t(b.Width()) * b.Height(), back.Bits()));
}

TEST(BmpSuite, GoodFilesReadAndWriteBack) {
  EXPECT_GE(ForEachGoodFile(CorpusDir(), [](const CorpusEntry&, const TBitmap& b) { ExpectRoundTrip(b); }),
            27);
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

TEST(BmpSuite, BadAndQuestionableFilesReadOrFailWithOurMessage) {
  const auto dir = CorpusDir();
  int checked = 0;
  for (const CorpusEntry& e : ReadCorpus(dir)) {
    if (e.file.starts_with("g/")) continue;
    SCOPED_TRACE(e.file);
    TBitmap b;
    std::string outcome = "(read)";
    try {
      b.LoadFromFile((dir / e.file).string());
    } catch (const EDaubixError& error) {
      outcome = error.what();
      EXPECT_TRUE(IsOurMessage(outcome)) << outcome;
    }
    if (const auto decided = kDecided.find(e.file); decided != kDecided.end())
      EXPECT_EQ(outcome, decided->second);
    if (outcome == "(read)") ExpectRoundTrip(b);
    ++checked;
  }
  EXPECT_GE(checked, 40);
}

}  // namespace
