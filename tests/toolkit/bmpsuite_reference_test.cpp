// Every good file of the public BMP corpus reads to exactly the pixels of its
// reference rendering, decoded from PNG by Qt's own image reader.
#include <gtest/gtest.h>

#include <QImage>

#include "core/bitmap_file.h"
#include "support/bmp_corpus.h"

namespace {

// Empty when the bitmap matches the reference, else what differs.
std::string CompareWithReference(const TBitmap& b, const std::filesystem::path& png) {
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

TEST(BmpSuiteReference, GoodFilesMatchTheirReferences) {
  const auto dir = CorpusDir();
  EXPECT_GE(ForEachGoodFile(dir,
                            [&dir](const CorpusEntry& e, const TBitmap& b) {
                              EXPECT_EQ(CompareWithReference(b, dir / ReferenceFor(e)), "");
                            }),
            27);
}

}  // namespace
