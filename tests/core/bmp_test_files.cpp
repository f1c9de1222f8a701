#include "core/bmp_test_files.h"

#include <algorithm>

#include "core/bitmap_file_layout.h"

using namespace bmp;

std::vector<std::uint8_t> MakeBmp(const TestBmp& s) {
  const bool core = s.headerSize == kCoreHeaderSize;
  const bool masksAfter = !s.masks.empty() && s.headerSize < kMasksEnd;
  const std::size_t entry = core ? 3 : 4;
  const std::size_t tableAt = kFileHeaderSize + s.headerSize + (masksAfter ? 4 * s.masks.size() : 0);
  const std::size_t pixelsAt = tableAt + entry * s.table.size() + s.gap;
  std::vector<std::uint8_t> f(pixelsAt + s.pixels.size(), 0);
  f[0] = 'B';
  f[1] = 'M';
  Put32(&f[kFileSize], static_cast<std::uint32_t>(f.size()));
  Put32(&f[kOffBits], static_cast<std::uint32_t>(pixelsAt));
  std::uint8_t* ih = &f[kFileHeaderSize];
  Put32(ih, s.headerSize);
  if (core) {
    Put16(ih + kCoreWidth, static_cast<std::uint32_t>(s.width));
    Put16(ih + kCoreHeight, static_cast<std::uint32_t>(s.height));
    Put16(ih + kCorePlanes, s.planes);
    Put16(ih + kCoreBitCount, s.depth);
  } else if (s.headerSize >= kInfoHeaderSize) {
    Put32(ih + kWidth, static_cast<std::uint32_t>(s.width));
    Put32(ih + kHeight, static_cast<std::uint32_t>(s.height));
    Put16(ih + kPlanes, s.planes);
    Put16(ih + kBitCount, s.depth);
    Put32(ih + kCompression, s.compression);
    Put32(ih + kSizeImage, s.sizeImage);
    Put32(ih + kClrUsed, s.clrUsed);
  }
  std::uint8_t* masks = masksAfter ? ih + s.headerSize : ih + kMasksInHeader;
  for (std::size_t i = 0; i < s.masks.size(); ++i) Put32(masks + 4 * i, s.masks[i]);
  for (std::size_t i = 0; i < s.table.size(); ++i) {
    std::uint8_t* e = &f[tableAt + entry * i];
    e[0] = static_cast<std::uint8_t>(s.table[i]);
    e[1] = static_cast<std::uint8_t>(s.table[i] >> 8);
    e[2] = static_cast<std::uint8_t>(s.table[i] >> 16);
  }
  for (std::size_t i = 0; i < s.gap; ++i) f[tableAt + entry * s.table.size() + i] = 0xEE;
  std::copy(s.pixels.begin(), s.pixels.end(), f.begin() + static_cast<std::ptrdiff_t>(pixelsAt));
  return f;
}

const PictureLegend& Legend() {
  static const PictureLegend legend = [] {
    PictureLegend l = DefaultLegend();
    l['g'] = 0x00FF00;
    l['y'] = 0x00FFFF;
    return l;
  }();
  return legend;
}

const TColor kTable4[6] = {clBlack, clWhite, clRed, 0x00FF00, clBlue, 0x00FFFF};
const std::vector<std::string> kSample = {"r.#gb", "#yy.r", "bgr#."};

void MakeSample(TBitmap& b, TPixelFormat format) {
  const std::unique_ptr<TBitmap> src = BitmapFromPicture(kSample, Legend());
  std::vector<std::uint32_t> pixels(15);
  b.Assign(5, 3, std::move(format), std::move(pixels), {});
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) b.Canvas()->SetPixel(x, y, WordToColor(src->ScanLine(y)[x]));
}

TPixelFormat Indexed(int depth, std::vector<TColor> table, bool core) {
  TPixelFormat f;
  f.depth = depth;
  f.colorTable = std::move(table);
  f.coreHeader = core;
  return f;
}
std::vector<TColor> FullTable() {
  std::vector<TColor> t(kTable4, kTable4 + 6);
  t.resize(256, clBlack);
  return t;
}
TPixelFormat Masked(int depth, std::uint32_t r, std::uint32_t g, std::uint32_t b, bool bitFields) {
  TPixelFormat f;
  f.depth = depth;
  f.masks[0] = r, f.masks[1] = g, f.masks[2] = b;
  f.bitFields = bitFields;
  return f;
}
