// Feeds arbitrary bytes to the BMP reader; whatever it accepts must write back
// and read again to the same file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/bitmap_file.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Pictures of up to 1 GiB are allowed, but filling them takes a second each; the
  // limit's own logic is the same at any value.
  BitmapFileTesting::LimitPixels(std::int64_t{1} << 16);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TBitmap bitmap;
  try {
    ReadBitmapFile(data, size, bitmap);
  } catch (const EDaubixError&) {
    return 0;  // refused with a message: fine
  }
  const std::vector<std::uint8_t> first = WriteBitmapFile(bitmap);
  TBitmap back;
  ReadBitmapFile(first.data(), first.size(), back);  // our own file must read: an exception aborts
  if (back.Width() != bitmap.Width() || back.Height() != bitmap.Height()) std::abort();
  if (bitmap.Empty()) return 0;  // an empty picture is a zero-byte file, which has no depth
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
  return 0;
}
