#include "support/picture_test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace {

std::string Hex(TColor c) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%06X", static_cast<unsigned>(c));
  return text;
}

char CharOf(TColor c, const PictureLegend& legend) {
  for (const auto& [ch, colour] : legend)
    if (ColorToRGB(colour) == c) return ch;
  return '?';
}

// Writes colours (TColor, rows top first) as a 32-bit BMP file; a failure to
// write only loses the file, never the test's report.
void WritePicture(const std::string& path, int w, int h, const std::vector<TColor>& pixels) {
  std::vector<std::uint32_t> words(pixels.size());
  std::transform(pixels.begin(), pixels.end(), words.begin(), ColorToWord);
  TBitmap b;
  b.Assign(w, h, TPixelFormat{}, words, {});
  try {
    b.SaveToFile(path);
  } catch (const std::exception&) {
  }
}

std::string FileStem(const CallSite& where) {
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  std::string stem = testing::TempDir();
  if (info) stem += std::string(info->test_suite_name()) + "." + info->name() + "_";
  return stem + "line" + std::to_string(where.line);
}

std::string Joined(const std::vector<std::string>& rows) {
  std::string text;
  for (const std::string& row : rows) text += "  " + row + "\n";
  return text;
}

}  // namespace

const PictureLegend& DefaultLegend() {
  static const PictureLegend kLegend = {
      {'.', clWhite}, {'#', clBlack}, {'r', clRed}, {'b', clBlue}, {'s', clSilver}};
  return kLegend;
}

std::vector<std::string> PictureOf(const TBitmap& bmp, int x, int y, int w, int h,
                                   const PictureLegend& legend) {
  std::vector<std::string> rows;
  for (int j = 0; j < h; ++j) {
    std::string row;
    for (int i = 0; i < w; ++i) row += CharOf(WordToColor(bmp.ScanLine(y + j)[x + i]), legend);
    rows.push_back(row);
  }
  return rows;
}

std::vector<std::string> PictureOf(const TBitmap& bmp, const PictureLegend& legend) {
  return PictureOf(bmp, 0, 0, bmp.Width(), bmp.Height(), legend);
}

void ExpectPicture(const TBitmap& bmp, int x, int y, const std::vector<std::string>& rows,
                   const PictureLegend& legend, CallSite where) {
  const int h = static_cast<int>(rows.size()), w = h ? static_cast<int>(rows[0].size()) : 0;
  for (const std::string& row : rows)
    if (static_cast<int>(row.size()) != w) {
      ADD_FAILURE_AT(where.file, where.line) << "picture rows differ in length";
      return;
    }
  if (x < 0 || y < 0 || x + w > bmp.Width() || y + h > bmp.Height()) {
    ADD_FAILURE_AT(where.file, where.line)
        << "picture " << w << "x" << h << " at (" << x << "," << y << ") does not fit the bitmap "
        << bmp.Width() << "x" << bmp.Height();
    return;
  }
  std::vector<TColor> actual, expected;
  std::ostringstream firstDiff;
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) {
      const TColor got = WordToColor(bmp.ScanLine(y + j)[x + i]);
      const auto found = legend.find(rows[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)]);
      if (found == legend.end()) {
        ADD_FAILURE_AT(where.file, where.line)
            << "no colour for '" << rows[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)] << "'";
        return;
      }
      const TColor want = ColorToRGB(found->second);
      actual.push_back(got);
      expected.push_back(want);
      if (got != want && firstDiff.tellp() == 0)
        firstDiff << "first difference at (" << x + i << "," << y + j << "): expected " << Hex(want)
                  << ", got " << Hex(got);
    }
  if (firstDiff.tellp() == 0) return;
  const std::string stem = FileStem(where);
  WritePicture(stem + "_actual.bmp", w, h, actual);
  WritePicture(stem + "_expected.bmp", w, h, expected);
  ADD_FAILURE_AT(where.file, where.line)
      << firstDiff.str() << "\nexpected:\n"
      << Joined(rows) << "got:\n"
      << Joined(PictureOf(bmp, x, y, w, h, legend)) << "pictures: " << stem << "_{actual,expected}.bmp";
}

void ExpectPicture(const TBitmap& bmp, const std::vector<std::string>& rows, const PictureLegend& legend,
                   CallSite where) {
  const int h = static_cast<int>(rows.size()), w = h ? static_cast<int>(rows[0].size()) : 0;
  if (bmp.Width() != w || bmp.Height() != h) {
    ADD_FAILURE_AT(where.file, where.line)
        << "bitmap is " << bmp.Width() << "x" << bmp.Height() << ", picture " << w << "x" << h << "; got:\n"
        << Joined(PictureOf(bmp, legend));
    return;
  }
  ExpectPicture(bmp, 0, 0, rows, legend, where);
}

std::unique_ptr<TBitmap> BitmapFromPicture(const std::vector<std::string>& rows,
                                           const PictureLegend& legend) {
  auto bmp = std::make_unique<TBitmap>();
  const int h = static_cast<int>(rows.size()), w = h ? static_cast<int>(rows[0].size()) : 0;
  bmp->SetWidth(w);
  bmp->SetHeight(h);
  for (int y = 0; y < h; ++y) {
    if (static_cast<int>(rows[static_cast<std::size_t>(y)].size()) != w)
      throw std::invalid_argument("picture rows differ in length");
    for (int x = 0; x < w; ++x) {
      const auto found = legend.find(rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)]);
      if (found == legend.end()) throw std::invalid_argument("picture character without a colour");
      bmp->Canvas()->SetPixel(x, y, found->second);
    }
  }
  return bmp;
}

TBitmapContents PictureSnapshot(const TBitmap& bmp) {
  const std::size_t n = bmp.Empty() ? 0 : static_cast<std::size_t>(bmp.Width()) * bmp.Height();
  return {bmp.Width(), bmp.Height(), bmp.Format(), std::vector<std::uint32_t>(bmp.Bits(), bmp.Bits() + n)};
}

void ExpectSamePicture(const TBitmap& bmp, const TBitmapContents& want, const std::string& what,
                       CallSite where) {
  if (bmp.Width() != want.width || bmp.Height() != want.height) {
    ADD_FAILURE_AT(where.file, where.line) << what << ": bitmap is " << bmp.Width() << "x" << bmp.Height()
                                           << ", expected " << want.width << "x" << want.height;
    return;
  }
  if (!(bmp.Format() == want.format)) {
    ADD_FAILURE_AT(where.file, where.line)
        << what << ": pixel format " << bmp.PixelDepth() << " bits with " << bmp.ColorTable().size()
        << " colours, expected " << want.format.depth << " bits with " << want.format.colorTable.size();
    return;
  }
  for (int y = 0; y < want.height; ++y)
    for (int x = 0; x < want.width; ++x) {
      const std::uint32_t got = bmp.ScanLine(y)[x];
      const std::uint32_t expected = want.pixels.Data()[static_cast<std::size_t>(y) * want.width + x];
      if (got == expected) continue;
      ADD_FAILURE_AT(where.file, where.line) << what << ": first difference at " << x << "," << y << ": got "
                                             << std::hex << got << ", expected " << expected;
      return;
    }
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
