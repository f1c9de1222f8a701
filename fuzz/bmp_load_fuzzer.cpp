// Feeds arbitrary bytes to the BMP reader, with the program's own limits;
// whatever it accepts must write back and read again to the same file. The
// same bytes are read once more claiming a huge picture, so that pictures
// whose data is far too short for their size are fuzzed on every run.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/bitmap_file.h"
#include "core/bitmap_file_layout.h"

namespace {

// Above this many pixels a round trip would write hundreds of megabytes.
constexpr std::int64_t kRoundTripPixels = std::int64_t{1} << 20;

void CheckRoundTrip(const TBitmap& bitmap) {
  const std::vector<std::uint8_t> first = WriteBitmapFile(bitmap);
  TBitmap back;
  ReadBitmapFile(first.data(), first.size(), back);  // our own file must read: an exception aborts
  if (back.Width() != bitmap.Width() || back.Height() != bitmap.Height()) std::abort();
  if (bitmap.Empty()) return;  // an empty picture is a zero-byte file, which has no depth
  if (back.PixelDepth() != bitmap.PixelDepth()) std::abort();
  // Indices past a short colour table show black, which the table may not hold, so
  // pixels can change once; after that, writing is stable.
  if (WriteBitmapFile(back) != first) std::abort();
  if (bitmap.PixelDepth() > 8) {
    const std::size_t n =
        static_cast<std::size_t>(bitmap.Width()) * static_cast<std::size_t>(bitmap.Height());
    for (std::size_t i = 0; i < n; ++i)
      if (bitmap.Bits()[i] != back.Bits()[i]) std::abort();
  }
}

// The input with its width and height replaced by a huge claim, picked by its
// last byte; empty when it is too short to have them.
std::vector<std::uint8_t> ClaimingHuge(const std::uint8_t* data, std::size_t size) {
  constexpr std::int32_t kClaims[][2] = {{16384, 16384}, {16384, -16384}, {1 << 28, 1},
                                         {1, 1 << 28},   {65535, 4096},   {4097, 65535}};
  std::vector<std::uint8_t> file(data, data + size);
  if (size < bmp::kFileHeaderSize + bmp::kHeight + 4) return {};
  const auto& claim = kClaims[data[size - 1] % std::size(kClaims)];
  std::uint8_t* header = file.data() + bmp::kFileHeaderSize;
  if (bmp::Get32(header) == bmp::kCoreHeaderSize) {
    bmp::Put16(header + bmp::kCoreWidth, static_cast<std::uint32_t>(claim[0]) & 0xFFFF);
    bmp::Put16(header + bmp::kCoreHeight, static_cast<std::uint32_t>(claim[1]) & 0xFFFF);
  } else {
    bmp::Put32(header + bmp::kWidth, static_cast<std::uint32_t>(claim[0]));
    bmp::Put32(header + bmp::kHeight, static_cast<std::uint32_t>(claim[1]));
  }
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TBitmap bitmap;
  try {
    ReadBitmapFile(data, size, bitmap);
    if (std::int64_t{bitmap.Width()} * bitmap.Height() <= kRoundTripPixels) CheckRoundTrip(bitmap);
  } catch (const EDaubixError&) {
    // refused with a message: fine
  }
  const std::vector<std::uint8_t> huge = ClaimingHuge(data, size);
  if (huge.empty()) return 0;
  TBitmap claimed;
  try {
    ReadBitmapFile(huge.data(), huge.size(), claimed);
  } catch (const EDaubixError&) {
    return 0;
  }
  // Every corner of what was claimed is there to be read.
  if (claimed.Empty()) return 0;
  volatile std::uint32_t sink = 0;
  for (const int y : {0, claimed.Height() - 1})
    for (const int x : {0, claimed.Width() - 1}) sink = sink + claimed.ScanLine(y)[x];
  return 0;
}
