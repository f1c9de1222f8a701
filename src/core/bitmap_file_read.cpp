// Reading BMP files from memory. Every field is checked against the bytes
// actually present before it is used, every size is computed in 64 bits, and
// the picture's size is checked against kMaxBitmapPixels before allocation.
#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <new>

#include "core/bitmap_file.h"
#include "core/bitmap_file_layout.h"
#include "core/pixel_format.h"

using namespace bmp;

namespace {

std::int64_t gMaxPixels = kMaxBitmapPixels;

enum class ReadFault {
  kNone,
  kInvalid,      // not a bitmap we can make sense of
  kShort,        // the file ends inside the headers, masks or colour table
  kUnsupported,  // a depth or compression we do not take
  kBadSize,      // a negative width
  kTooLarge,     // more pixels than kMaxBitmapPixels
  kNoMemory,
};

struct Header {
  bool core = false;
  std::uint32_t headerSize = 0;
  std::int64_t width = 0;
  std::int64_t height = 0;  // negative: top row first
  std::uint32_t planes = 0;
  int depth = 0;
  std::uint32_t compression = kRgb;
  std::uint32_t sizeImage = 0;
  std::uint32_t clrUsed = 0;
  std::uint32_t masks[3] = {};
  std::uint64_t tableOffset = 0;  // from the start of the file
  std::uint64_t tableEntries = 0;
  std::uint64_t entrySize = 4;
  std::uint64_t pixelOffset = 0;

  bool Rle() const { return compression == kRle8 || compression == kRle4; }
  std::int64_t Rows() const { return height < 0 ? -height : height; }
};

bool DepthAndCompressionTaken(const Header& h) {
  if (h.core) return h.depth == 1 || h.depth == 4 || h.depth == 8 || h.depth == 24;
  switch (h.compression) {
    case kRgb:
      return h.depth == 1 || h.depth == 4 || h.depth == 8 || h.depth == 16 || h.depth == 24 || h.depth == 32;
    case kRle8:
      return h.depth == 8;
    case kRle4:
      return h.depth == 4;
    case kBitFields:
      return h.depth == 16 || h.depth == 32;
    default:
      return false;
  }
}

// Masks must be contiguous, disjoint and inside the pixel; a zero mask is a
// channel that is always 0.
bool MasksValid(const std::uint32_t (&masks)[3], int depth) {
  const std::uint64_t limit = depth == 16 ? 0xFFFFu : 0xFFFFFFFFu;
  std::uint32_t seen = 0;
  for (std::uint32_t m : masks) {
    if (m > limit || (m & seen) != 0) return false;
    seen |= m;
    if (m == 0) continue;
    const std::uint32_t shifted = m >> std::countr_zero(m);
    if ((shifted & (shifted + 1)) != 0) return false;
  }
  return true;
}

ReadFault ParseMainHeader(const std::uint8_t* data, std::size_t size, Header& h) {
  if (size < kFileHeaderSize) return ReadFault::kShort;
  if (data[kType] != 'B' || data[kType + 1] != 'M') return ReadFault::kInvalid;
  if (size < kFileHeaderSize + 4) return ReadFault::kShort;
  const std::uint8_t* ih = data + kFileHeaderSize;
  h.headerSize = Get32(ih + kHeaderSize);
  h.core = h.headerSize == kCoreHeaderSize;
  if (!h.core && h.headerSize < kInfoHeaderSize) return ReadFault::kInvalid;
  if (kFileHeaderSize + std::uint64_t{h.headerSize} > size) return ReadFault::kShort;
  if (h.core) {
    h.width = Get16(ih + kCoreWidth);
    h.height = Get16(ih + kCoreHeight);
    h.planes = Get16(ih + kCorePlanes);
    h.depth = Get16(ih + kCoreBitCount);
  } else {
    h.width = GetSigned32(ih + kWidth);
    h.height = GetSigned32(ih + kHeight);
    h.planes = Get16(ih + kPlanes);
    h.depth = Get16(ih + kBitCount);
    h.compression = Get32(ih + kCompression);
    h.sizeImage = Get32(ih + kSizeImage);
    h.clrUsed = Get32(ih + kClrUsed);
  }
  if (h.planes != 1) return ReadFault::kInvalid;
  if (!DepthAndCompressionTaken(h)) return ReadFault::kUnsupported;
  if (h.width < 0) return ReadFault::kBadSize;
  if (!BitmapSizeAllowed(h.width, h.Rows())) return ReadFault::kTooLarge;
  // Compressed pictures are always stored bottom row first.
  if (h.Rle() && h.height < 0) return ReadFault::kInvalid;
  if (h.clrUsed > kMaxColorTable) return ReadFault::kInvalid;
  return ReadFault::kNone;
}

// Masks, colour table and where the pixel data starts.
ReadFault ParseMasksAndTable(const std::uint8_t* data, std::size_t size, Header& h) {
  std::uint64_t pos = kFileHeaderSize + std::uint64_t{h.headerSize};
  if (h.compression == kBitFields) {
    // Headers of 52 bytes and more carry the masks; after a shorter one they follow it.
    const std::uint8_t* at = data + kFileHeaderSize + kMasksInHeader;
    if (h.headerSize < kMasksEnd) {
      if (pos + 12 > size) return ReadFault::kShort;
      at = data + pos;
      pos += 12;
    }
    for (int i = 0; i < 3; ++i) h.masks[i] = Get32(at + 4 * i);
    if (!MasksValid(h.masks, h.depth)) return ReadFault::kInvalid;
  } else if (h.depth == 16) {
    h.masks[0] = 0x7C00, h.masks[1] = 0x03E0, h.masks[2] = 0x001F;
  } else {
    h.masks[0] = 0xFF0000, h.masks[1] = 0xFF00, h.masks[2] = 0xFF;
  }
  const std::uint64_t byDepth = h.depth <= 8 ? std::uint64_t{1} << h.depth : 0;
  h.tableEntries = h.core || h.clrUsed == 0 ? byDepth : h.clrUsed;
  h.entrySize = h.core ? 3 : 4;
  h.tableOffset = pos;
  h.pixelOffset = pos + h.tableEntries * h.entrySize;
  if (h.pixelOffset > size) return ReadFault::kShort;
  return ReadFault::kNone;
}

TPixelFormat MakeFormat(const std::uint8_t* data, const Header& h) {
  TPixelFormat f;
  if (h.Rle()) return f;  // decoded into a plain 32-bit picture
  f.depth = h.depth;
  f.coreHeader = h.core;
  f.bitFields = h.compression == kBitFields;
  std::copy(std::begin(h.masks), std::end(h.masks), f.masks);
  if (h.depth <= 8) {
    // Entries beyond what the depth can index are never used, and a save must
    // never pick one.
    const std::uint64_t used = std::min<std::uint64_t>(h.tableEntries, std::uint64_t{1} << h.depth);
    for (std::uint64_t i = 0; i < used; ++i) {
      const std::uint8_t* e = data + h.tableOffset + i * h.entrySize;  // blue, green, red
      f.colorTable.push_back(static_cast<TColor>(e[2] | (e[1] << 8) | (e[0] << 16)));
    }
  }
  return f;
}

// Stored words for every index; indices past the table show black.
using Palette = std::array<std::uint32_t, 256>;
Palette MakePalette(const std::uint8_t* data, const Header& h) {
  Palette p;
  p.fill(0xFF000000u);
  const std::uint64_t used = std::min<std::uint64_t>(h.tableEntries, 256);
  for (std::uint64_t i = 0; i < used; ++i) {
    const std::uint8_t* e = data + h.tableOffset + i * h.entrySize;
    p[i] = 0xFF000000u | (std::uint32_t{e[2]} << 16) | (std::uint32_t{e[1]} << 8) | e[0];
  }
  return p;
}

// Turns one bit-field channel into 0..255.
struct ChannelReader {
  std::uint32_t mask = 0;
  int shift = 0, bits = 0;
  std::array<std::uint8_t, 256> narrow{};  // for bits <= 8
  explicit ChannelReader(std::uint32_t m) : mask(m) {
    const TMaskChannel c = DescribeMask(m);
    shift = c.shift;
    bits = c.bits;
    if (bits <= 8)
      for (std::uint32_t v = 0; v < 256; ++v) narrow[v] = ExpandChannel(v, bits);
  }
  std::uint32_t Read(std::uint32_t pixel) const {
    const std::uint32_t v = (pixel & mask) >> shift;
    return bits <= 8 ? narrow[v] : ExpandChannel(v, bits);
  }
};

struct RowDecoder {
  int depth;
  std::int64_t width;
  const Palette& palette;
  ChannelReader red, green, blue;
  bool plain32;  // 32 bits laid out 0x??RRGGBB: no channel arithmetic needed

  void Decode(const std::uint8_t* src, std::uint32_t* dst) const;
};

void RowDecoder::Decode(const std::uint8_t* src, std::uint32_t* dst) const {
  const auto n = static_cast<std::size_t>(width);
  switch (depth) {
    case 1:
      for (std::size_t x = 0; x < n; ++x) dst[x] = palette[(src[x >> 3] >> (7 - (x & 7))) & 1];
      break;
    case 4:
      for (std::size_t x = 0; x < n; ++x) dst[x] = palette[(src[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
      break;
    case 8:
      for (std::size_t x = 0; x < n; ++x) dst[x] = palette[src[x]];
      break;
    case 24:
      for (std::size_t x = 0; x < n; ++x, src += 3)
        dst[x] = 0xFF000000u | (std::uint32_t{src[2]} << 16) | (std::uint32_t{src[1]} << 8) | src[0];
      break;
    case 16:
      for (std::size_t x = 0; x < n; ++x) {
        const std::uint32_t p = Get16(src + 2 * x);
        dst[x] = 0xFF000000u | (red.Read(p) << 16) | (green.Read(p) << 8) | blue.Read(p);
      }
      break;
    default:  // 32
      if (plain32) {
        if constexpr (std::endian::native == std::endian::little) {
          std::memcpy(dst, src, n * 4);
          for (std::size_t x = 0; x < n; ++x) dst[x] |= 0xFF000000u;
        } else {
          for (std::size_t x = 0; x < n; ++x) dst[x] = Get32(src + 4 * x) | 0xFF000000u;
        }
        break;
      }
      for (std::size_t x = 0; x < n; ++x) {
        const std::uint32_t p = Get32(src + 4 * x);
        dst[x] = 0xFF000000u | (red.Read(p) << 16) | (green.Read(p) << 8) | blue.Read(p);
      }
  }
}

RowDecoder MakeRowDecoder(const Header& h, const Palette& palette) {
  return RowDecoder{h.depth,
                    h.width,
                    palette,
                    ChannelReader(h.masks[0]),
                    ChannelReader(h.masks[1]),
                    ChannelReader(h.masks[2]),
                    h.masks[0] == 0xFF0000 && h.masks[1] == 0xFF00 && h.masks[2] == 0xFF};
}

// Decodes `count` rows, in file order from `firstRow`, out of `bytes`, which
// holds `available` bytes from the start of firstRow. A row cut short by the
// end of the data is decoded from a zero-padded copy.
void DecodeRows(const std::uint8_t* bytes, std::uint64_t available, std::int64_t firstRow, std::int64_t count,
                const Header& h, const RowDecoder& decoder, std::vector<std::uint32_t>& out) {
  const std::int64_t rowSize = RowSize(h.width, h.depth), rows = h.Rows();
  std::vector<std::uint8_t> partial;
  for (std::int64_t i = 0; i < count; ++i) {
    const std::int64_t r = firstRow + i, y = h.height < 0 ? r : rows - 1 - r;
    const auto start = static_cast<std::uint64_t>(i * rowSize);
    const std::uint8_t* src = bytes + start;
    if (start + static_cast<std::uint64_t>(rowSize) > available) {
      partial.assign(static_cast<std::size_t>(rowSize), 0);
      if (start < available) std::memcpy(partial.data(), src, static_cast<std::size_t>(available - start));
      src = partial.data();
    }
    decoder.Decode(src, out.data() + y * h.width);
  }
}

// Pixel rows that are not all in memory: the part the prefix holds, then
// pieces of about 1 MiB from `rest`, decoded as they arrive.
void DecodeStreamedRows(const std::uint8_t* inMemory, std::uint64_t inMemorySize, std::uint64_t available,
                        TByteSource& rest, const Header& h, const RowDecoder& decoder,
                        std::vector<std::uint32_t>& out) {
  const auto rowSize = static_cast<std::uint64_t>(RowSize(h.width, h.depth));
  const std::int64_t perPiece = std::max<std::int64_t>(1, static_cast<std::int64_t>((1u << 20) / rowSize));
  std::vector<std::uint8_t> piece(static_cast<std::size_t>(perPiece * rowSize));
  std::uint64_t position = 0;  // pixel bytes taken so far
  for (std::int64_t first = 0; first < h.Rows(); first += perPiece) {
    const std::int64_t n = std::min(perPiece, h.Rows() - first);
    const std::uint64_t want = std::min(n * rowSize, available - std::min(position, available));
    std::uint64_t got = 0;
    if (position < inMemorySize) {
      got = std::min(want, inMemorySize - position);
      std::memcpy(piece.data(), inMemory + position, static_cast<std::size_t>(got));
    }
    while (got < want) {
      const std::size_t more = rest.Read(piece.data() + got, static_cast<std::size_t>(want - got));
      if (more == 0) break;  // the file shrank: the rest reads as zero
      got += more;
    }
    position += got;
    DecodeRows(piece.data(), got, first, n, h, decoder, out);
  }
}

// RLE8/RLE4 into stored words, rows bottom first. Runs and absolute runs that
// reach past the end of a row are clipped there (never wrapped onto the next
// row), deltas may move past it too; an operation that moves above the top
// row ends decoding, as does the end of the data. Pixels never written stay
// black.
void DecodeRle(const std::uint8_t* d, std::uint64_t n, const Header& h, const Palette& palette,
               std::vector<std::uint32_t>& out) {
  const bool rle4 = h.compression == kRle4;
  const std::int64_t width = h.width, rows = h.Rows();
  std::int64_t x = 0, row = 0;
  std::uint64_t pos = 0;
  const auto put = [&](unsigned index) {
    if (x < width) out[static_cast<std::size_t>((rows - 1 - row) * width + x)] = palette[index];
    ++x;
  };
  while (pos + 2 <= n && row < rows) {
    const unsigned count = d[pos], value = d[pos + 1];
    pos += 2;
    if (count > 0) {
      for (unsigned i = 0; i < count && x < width; ++i) put(rle4 ? (i & 1 ? value & 15 : value >> 4) : value);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++row;
    } else if (value == 1) {  // end of bitmap
      return;
    } else if (value == 2) {  // delta: right d[pos], up d[pos + 1]
      if (pos + 2 > n) return;
      x += d[pos];
      row += d[pos + 1];
      pos += 2;
    } else {  // absolute run of `value` pixels, padded to 16 bits
      const std::uint64_t bytes = rle4 ? (value + 1) / 2 : value;
      for (unsigned i = 0; i < value; ++i) {
        const std::uint64_t at = pos + (rle4 ? i / 2 : i);
        if (at >= n) return;
        put(rle4 ? (i & 1 ? d[at] & 15 : d[at] >> 4) : d[at]);
      }
      pos += (bytes + 1) & ~std::uint64_t{1};
    }
  }
}

// The pixel store, black for RLE (whose skipped pixels stay black).
ReadFault AllocatePixels(const Header& h, std::vector<std::uint32_t>& out) {
  const std::uint64_t count = static_cast<std::uint64_t>(h.width) * static_cast<std::uint64_t>(h.Rows());
  try {
    out.reserve(static_cast<std::size_t>(count));
    AdviseHugePages(out.data(), out.capacity() * 4);
    out.assign(static_cast<std::size_t>(count), h.Rle() ? 0xFF000000u : 0u);
  } catch (const std::bad_alloc&) {
    return ReadFault::kNoMemory;
  }
  return ReadFault::kNone;
}

// Decodes the pixels of a file of fileSize bytes whose first prefixSize bytes
// are in memory; the rest, if any, comes from `rest` (never for RLE).
void DecodePixels(const std::uint8_t* prefix, std::size_t prefixSize, std::uint64_t fileSize,
                  TByteSource* rest, const Header& h, std::vector<std::uint32_t>& out) {
  if (out.empty()) return;
  const Palette palette = MakePalette(prefix, h);
  const std::uint64_t inFile = fileSize - h.pixelOffset;
  if (h.Rle()) {
    // Compressed data may be longer than the picture it makes: take all the file says it has.
    const std::uint64_t length = h.sizeImage != 0 ? std::min<std::uint64_t>(h.sizeImage, inFile) : inFile;
    DecodeRle(prefix + h.pixelOffset, length, h, palette, out);
    return;
  }
  const std::uint64_t full = static_cast<std::uint64_t>(RowSize(h.width, h.depth)) * h.Rows();
  const std::uint64_t stated = h.sizeImage != 0 ? std::min<std::uint64_t>(h.sizeImage, full) : full;
  const RowDecoder decoder = MakeRowDecoder(h, palette);
  if (rest)
    DecodeStreamedRows(prefix + h.pixelOffset, prefixSize - h.pixelOffset, std::min(stated, inFile), *rest, h,
                       decoder, out);
  else
    DecodeRows(prefix + h.pixelOffset, std::min(stated, inFile), 0, h.Rows(), h, decoder, out);
}

[[noreturn]] void ThrowReadFault(ReadFault fault) {
  switch (fault) {
    case ReadFault::kShort:
      ThrowReadError();
    case ReadFault::kUnsupported:
      ThrowSystemError(ENOTSUP);
    case ReadFault::kBadSize:
      ThrowSystemError(EINVAL);
    case ReadFault::kTooLarge:
    case ReadFault::kNoMemory:
      ThrowSystemError(ENOMEM);
    default:
      ThrowInvalidBitmap();
  }
}

}  // namespace

bool BitmapSizeAllowed(std::int64_t width, std::int64_t height) {
  if (width < 0 || height < 0) return false;
  if (width == 0 || height == 0) return true;
  // Divide rather than multiply, so that no pair of 64-bit sizes overflows.
  return width <= gMaxPixels && height <= gMaxPixels / width;
}

void BitmapFileTesting::LimitPixels(std::int64_t maxPixels) {
  gMaxPixels = std::clamp<std::int64_t>(maxPixels, 1, kMaxBitmapPixels);
}

bool ReadBitmapPrefixed(const std::uint8_t* prefix, std::size_t prefixSize, std::uint64_t fileSize,
                        TByteSource* rest, TBitmap& into) {
  // Never look past the bytes that exist: without a source, the prefix is the file.
  if (!rest) fileSize = std::min<std::uint64_t>(fileSize, prefixSize);
  prefixSize = static_cast<std::size_t>(std::min<std::uint64_t>(prefixSize, fileSize));
  if (fileSize == 0) {
    into.Assign(0, 0, TPixelFormat{}, {}, {});
    return true;
  }
  const bool whole = prefixSize >= fileSize;
  Header h;
  std::vector<std::uint32_t> pixels;
  ReadFault fault = ParseMainHeader(prefix, prefixSize, h);
  if (fault == ReadFault::kNone) fault = ParseMasksAndTable(prefix, prefixSize, h);
  // Headers that reach past the prefix, and RLE data, need the whole file.
  if ((fault == ReadFault::kShort || (fault == ReadFault::kNone && h.Rle())) && !whole) return false;
  if (fault == ReadFault::kNone) fault = AllocatePixels(h, pixels);
  std::vector<std::uint8_t> original;
  try {
    if (fault == ReadFault::kNone)
      DecodePixels(prefix, prefixSize, fileSize, whole ? nullptr : rest, h, pixels);
    if (fault == ReadFault::kNone && h.Rle())
      original.assign(prefix, prefix + prefixSize);  // written back as is while the picture is unchanged
  } catch (const std::bad_alloc&) {
    fault = ReadFault::kNoMemory;
  }
  if (fault != ReadFault::kNone) ThrowReadFault(fault);
  // A picture with no pixels is empty in both directions, so that a later
  // resize of one side cannot inherit a huge other side from the file.
  const bool none = h.width == 0 || h.Rows() == 0;
  into.Assign(none ? 0 : static_cast<int>(h.width), none ? 0 : static_cast<int>(h.Rows()),
              MakeFormat(prefix, h), std::move(pixels), std::move(original));
  return true;
}

void ReadBitmapFile(const std::uint8_t* data, std::size_t size, TBitmap& into) {
  ReadBitmapPrefixed(data, size, size, nullptr, into);
}
