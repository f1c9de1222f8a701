// Feeds arbitrary bytes to the BMP reader, with the program's own limits;
// whatever it accepts must write back and read again to the same file. The
// same bytes are read once more claiming a huge picture, so that pictures
// whose data is far too short for their size are fuzzed on every run. A small
// RLE picture is read once more followed by an endless tail (the input again
// and again): reading must stop where its headers say.
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

// The input, then the input again for ever; counts the bytes read.
class EndlessSource : public TByteSource {
 public:
  EndlessSource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::size_t Read(std::uint8_t* into, std::size_t n) override {
    for (std::size_t i = 0; i < n; ++i, ++read) into[i] = data_[read % size_];
    return n;
  }
  std::uint64_t read = 0;

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

// An RLE picture of at most 4096 pixels read with an endless tail reads no
// more than its headers, colour table and four bytes a pixel and a row.
void CheckEndlessTail(const std::uint8_t* data, std::size_t size) {
  if (size < bmp::kFileHeaderSize + bmp::kInfoHeaderSize) return;
  const std::uint8_t* header = data + bmp::kFileHeaderSize;
  const std::uint32_t compression = bmp::Get32(header + bmp::kCompression);
  const std::int64_t width = static_cast<std::int32_t>(bmp::Get32(header + bmp::kWidth)),
                     height = static_cast<std::int32_t>(bmp::Get32(header + bmp::kHeight));
  if (bmp::Get32(header) < bmp::kInfoHeaderSize || (compression != 1 && compression != 2) || width < 0 ||
      height < 0 || width * height > 4096)
    return;
  EndlessSource source(data, size);
  TBitmap bitmap;
  try {
    ReadBitmapStream(source, bitmap);
  } catch (const EDaubixError&) {
  }
  const std::uint64_t most =
      bmp::kFileHeaderSize + std::uint64_t{bmp::Get32(header)} + 256 * 4 +
      4 * (static_cast<std::uint64_t>(width) + 1) * static_cast<std::uint64_t>(height) + 2;
  if (source.read > most) std::abort();
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
  CheckEndlessTail(data, size);
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
