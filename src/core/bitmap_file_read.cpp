// Reading BMP files. The headers are read and checked from the first bytes
// before anything else is read, every size is computed in 64 bits, the
// picture's size is checked against kMaxBitmapPixels before allocation, and
// no more of a file is read than its headers say it holds: rows are decoded
// straight into the pixel store as they arrive.
#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <new>
#include <span>
#include <utility>

#include "core/bitmap_file.h"
#include "core/bitmap_file_input.h"
#include "core/bitmap_file_layout.h"
#include "core/bitmap_file_rows.h"
#include "core/pixel_format.h"

using namespace bmp;

namespace {

// An RLE picture is kept as read, headers and all; an info header of a size
// beyond this (its bytes are kept too) is not a bitmap we take.
constexpr std::uint64_t kMaxKeptHeader = std::uint64_t{1} << 20;

enum class ReadFault {
  kNone,
  kEmptyFile,    // zero bytes: an empty picture, not an error
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
  std::uint32_t fileSize = 0;  // bfSize
  std::uint32_t clrUsed = 0;
  std::uint32_t masks[3] = {};
  std::uint64_t tableEntries = 0;
  std::uint64_t entrySize = 4;
  std::vector<std::uint8_t> table;  // the colour table's bytes as stored
  std::uint64_t pixelOffset = 0;    // from the start of the file

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

// The info header as far as the masks a later version holds.
using InfoHeaderBytes = std::array<std::uint8_t, kMasksEnd>;

// The file header and the info header's fields; the rest of a longer info
// header is passed over.
ReadFault ReadHeaderFields(BitmapInput& in, Header& h, InfoHeaderBytes& ih) {
  const std::span<const std::uint8_t> fileHeader = in.Take(kFileHeaderSize);
  if (fileHeader.empty()) return ReadFault::kEmptyFile;
  if (fileHeader.size() < kFileHeaderSize) return ReadFault::kShort;
  if (fileHeader[kType] != 'B' || fileHeader[kType + 1] != 'M') return ReadFault::kInvalid;
  h.fileSize = Get32(fileHeader.data() + kFileSize);
  std::span<const std::uint8_t> bytes = in.Take(4);
  if (bytes.size() < 4) return ReadFault::kShort;
  std::copy(bytes.begin(), bytes.end(), ih.begin());
  h.headerSize = Get32(ih.data() + kHeaderSize);
  h.core = h.headerSize == kCoreHeaderSize;
  if (!h.core && h.headerSize < kInfoHeaderSize) return ReadFault::kInvalid;
  const std::size_t kept = std::min<std::size_t>(h.headerSize, kMasksEnd);
  bytes = in.Take(kept - 4);
  if (bytes.size() < kept - 4) return ReadFault::kShort;
  std::copy(bytes.begin(), bytes.end(), ih.begin() + 4);
  if (h.core) {
    h.width = Get16(ih.data() + kCoreWidth);
    h.height = Get16(ih.data() + kCoreHeight);
    h.planes = Get16(ih.data() + kCorePlanes);
    h.depth = Get16(ih.data() + kCoreBitCount);
  } else {
    h.width = GetSigned32(ih.data() + kWidth);
    h.height = GetSigned32(ih.data() + kHeight);
    h.planes = Get16(ih.data() + kPlanes);
    h.depth = Get16(ih.data() + kBitCount);
    h.compression = Get32(ih.data() + kCompression);
    h.sizeImage = Get32(ih.data() + kSizeImage);
    h.clrUsed = Get32(ih.data() + kClrUsed);
  }
  if (!h.Rle()) in.StopRecording();
  if (h.Rle() && h.headerSize > kMaxKeptHeader) return ReadFault::kInvalid;
  if (!in.Skip(h.headerSize - kept)) return ReadFault::kShort;
  return ReadFault::kNone;
}

// What the fields say of the picture, before anything more is read.
ReadFault CheckHeader(const Header& h) {
  if (h.planes != 1) return ReadFault::kInvalid;
  if (!DepthAndCompressionTaken(h)) return ReadFault::kUnsupported;
  if (h.width < 0) return ReadFault::kBadSize;
  if (!BitmapSizeAllowed(h.width, h.Rows())) return ReadFault::kTooLarge;
  // Compressed pictures are always stored bottom row first.
  if (h.Rle() && h.height < 0) return ReadFault::kInvalid;
  if (h.clrUsed > kMaxColorTable) return ReadFault::kInvalid;
  return ReadFault::kNone;
}

// The channel masks: stated for bit fields, else those the depth implies.
ReadFault ReadMasks(BitmapInput& in, Header& h, const InfoHeaderBytes& ih) {
  if (h.compression == kBitFields) {
    // Headers of 52 bytes and more carry the masks; after a shorter one they follow it.
    const std::uint8_t* at = ih.data() + kMasksInHeader;
    if (h.headerSize < kMasksEnd) {
      const std::span<const std::uint8_t> bytes = in.Take(12);
      if (bytes.size() < 12) return ReadFault::kShort;
      at = bytes.data();
      h.pixelOffset += 12;
    }
    for (int i = 0; i < 3; ++i) h.masks[i] = Get32(at + 4 * i);
    if (!MasksValid(h.masks, h.depth)) return ReadFault::kInvalid;
  } else if (h.depth == 16) {
    h.masks[0] = 0x7C00, h.masks[1] = 0x03E0, h.masks[2] = 0x001F;
  } else {
    h.masks[0] = 0xFF0000, h.masks[1] = 0xFF00, h.masks[2] = 0xFF;
  }
  return ReadFault::kNone;
}

ReadFault ReadColourTable(BitmapInput& in, Header& h) {
  const std::uint64_t byDepth = h.depth <= 8 ? std::uint64_t{1} << h.depth : 0;
  h.tableEntries = h.core || h.clrUsed == 0 ? byDepth : h.clrUsed;
  h.entrySize = h.core ? 3 : 4;
  const auto tableBytes = static_cast<std::size_t>(h.tableEntries * h.entrySize);
  const std::span<const std::uint8_t> bytes = in.Take(tableBytes);
  if (bytes.size() < tableBytes) return ReadFault::kShort;
  h.table.assign(bytes.begin(), bytes.end());
  h.pixelOffset += tableBytes;
  return ReadFault::kNone;
}

// Reads the headers, masks and colour table, checking each as soon as its
// bytes are there. Errors keep the order of the checks: a file that ends
// inside its headers is short before it is anything else.
ReadFault ReadHeaders(BitmapInput& in, Header& h) {
  InfoHeaderBytes ih{};
  ReadFault fault = ReadHeaderFields(in, h, ih);
  if (fault == ReadFault::kNone) fault = CheckHeader(h);
  if (fault != ReadFault::kNone) return fault;
  h.pixelOffset = kFileHeaderSize + std::uint64_t{h.headerSize};
  fault = ReadMasks(in, h, ih);
  return fault == ReadFault::kNone ? ReadColourTable(in, h) : fault;
}

TPixelFormat MakeFormat(const Header& h) {
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
      const std::uint8_t* e = h.table.data() + i * h.entrySize;  // blue, green, red
      f.colorTable.push_back(static_cast<TColor>(e[2] | (e[1] << 8) | (e[0] << 16)));
    }
  }
  return f;
}

// Stored words for every index; indices past the table show black.
Palette MakePalette(const Header& h) {
  Palette p;
  p.fill(0xFF000000u);
  const std::uint64_t used = std::min<std::uint64_t>(h.tableEntries, 256);
  for (std::uint64_t i = 0; i < used; ++i) {
    const std::uint8_t* e = h.table.data() + i * h.entrySize;
    p[i] = 0xFF000000u | (std::uint32_t{e[2]} << 16) | (std::uint32_t{e[1]} << 8) | e[0];
  }
  return p;
}

RowDecoder MakeRowDecoder(const Header& h, const Palette& palette) {
  return RowDecoder{h.depth,
                    palette,
                    ChannelReader(h.masks[0]),
                    ChannelReader(h.masks[1]),
                    ChannelReader(h.masks[2]),
                    h.masks[0] == 0xFF0000 && h.masks[1] == 0xFF00 && h.masks[2] == 0xFF};
}

// Rows in file order, decoded into the store as their bytes arrive; what the
// file leaves out reads as zero bytes. Returns the rows decoded, the last of
// them possibly in part (`partialPixels` of it, -1 when whole).
struct RowsRead {
  std::int64_t rows = 0;
  std::int64_t partialPixels = -1;
};

RowsRead DecodeRows(BitmapInput& in, std::uint64_t stated, const Header& h, const RowDecoder& decoder,
                    TPixelStore& out) {
  const auto width = static_cast<std::size_t>(h.width);
  const auto rowSize = static_cast<std::uint64_t>(RowSize(h.width, h.depth));
  const std::uint64_t pixelBytes = (static_cast<std::uint64_t>(h.width) * h.depth + 7) / 8;
  // A row wider than this is taken in pieces of whole bytes and whole pixels.
  constexpr std::size_t kPiecePixels = std::size_t{1} << 16;
  RowsRead done;
  std::uint64_t left = stated;
  for (; done.rows < h.Rows() && left > 0; ++done.rows) {
    const std::int64_t y = h.height < 0 ? done.rows : h.Rows() - 1 - done.rows;
    std::uint32_t* row = out.Data() + static_cast<std::size_t>(y) * width;
    std::size_t x = 0;
    while (x < width) {
      const std::size_t n = std::min(kPiecePixels, width - x);
      const std::size_t need = static_cast<std::size_t>((std::uint64_t{n} * h.depth + 7) / 8);
      const std::span<const std::uint8_t> bytes =
          in.Take(static_cast<std::size_t>(std::min<std::uint64_t>(need, left)));
      left -= bytes.size();
      if (bytes.size() == need) {
        decoder.Decode(bytes.data(), row + x, n);
        x += n;
        continue;
      }
      // Cut short: the whole pixels there are, then the one the end falls in, zero-padded.
      const std::size_t whole = bytes.size() * 8 / static_cast<std::size_t>(h.depth);
      decoder.Decode(bytes.data(), row + x, whole);
      x += whole;
      std::array<std::uint8_t, 4> padded{};
      const std::size_t used = whole * static_cast<std::size_t>(h.depth) / 8;
      if (bytes.size() > used) {
        std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(used), bytes.end(), padded.begin());
        decoder.Decode(padded.data(), row + x, 1);
        ++x;
      }
      done.partialPixels = static_cast<std::int64_t>(x);
      ++done.rows;
      return done;
    }
    // The row's padding.
    const std::uint64_t padding = std::min(rowSize - pixelBytes, left);
    if (!in.Skip(padding)) return {done.rows + 1, -1};
    left -= padding;
  }
  return done;
}

// The pixels of an uncompressed picture: rows decoded straight into the store,
// then whatever the file left out, in the colour of zero bytes. A large
// stretch of it is mapped rather than written: it may be nearly all the picture.
// Rows come straight from a mapping of the file where it can be mapped, so
// that no copy of them is made; a file cut short by another program while
// mapped fails the load (kShort) rather than the program.
ReadFault DecodeUncompressed(BitmapInput& in, const Header& h, const Palette& palette, TPixelStore& out) {
  const std::uint64_t full = static_cast<std::uint64_t>(RowSize(h.width, h.depth)) * h.Rows();
  const std::uint64_t stated = h.sizeImage != 0 ? std::min<std::uint64_t>(h.sizeImage, full) : full;
  in.ReadAheadUpTo(h.pixelOffset + stated);
  const RowDecoder decoder = MakeRowDecoder(h, palette);
  RowsRead done;
  const auto decode = [&] { done = DecodeRows(in, stated, h, decoder, out); };
  if (!in.MapUpTo(h.pixelOffset + stated))
    decode();
  else if (!in.Mapped().ReadGuarded(decode))
    return ReadFault::kShort;
  const std::uint32_t missing = h.depth <= 8 ? palette[0] : 0xFF000000u;
  const auto width = static_cast<std::size_t>(h.width), rows = static_cast<std::size_t>(h.Rows());
  const auto read = static_cast<std::size_t>(done.rows);
  if (done.partialPixels >= 0) {
    const std::size_t y = h.height < 0 ? read - 1 : rows - read;
    const auto x = static_cast<std::size_t>(done.partialPixels);
    out.FillByMapping(y * width + x, width - x, missing);
  }
  // Top-down files leave out the bottom rows, bottom-up files the top ones.
  if (h.height < 0)
    out.FillByMapping(read * width, (rows - read) * width, missing);
  else
    out.FillByMapping(0, (rows - read) * width, missing);
  return ReadFault::kNone;
}

// The RLE data in order, taken from the input in blocks and never past
// `limit` bytes of it.
class RleBytes {
 public:
  RleBytes(BitmapInput& in, std::uint64_t limit) : in_(in), left_(limit) {}
  // The next byte; false at the end of the data.
  bool Next(unsigned& byte) {
    if (at_ == block_.size()) {
      block_ = in_.Take(static_cast<std::size_t>(std::min<std::uint64_t>(left_, std::size_t{1} << 16)));
      at_ = 0;
      left_ -= block_.size();
      if (block_.empty()) return false;
    }
    byte = block_[at_++];
    ++used_;
    return true;
  }
  std::uint64_t Used() const { return used_; }

 private:
  BitmapInput& in_;
  std::uint64_t left_;
  std::span<const std::uint8_t> block_;
  std::size_t at_ = 0;
  std::uint64_t used_ = 0;
};

// RLE8/RLE4 into stored words, rows bottom first. Runs and absolute runs that
// reach past the end of a row are clipped there (never wrapped onto the next
// row), deltas may move past it too; an operation that moves above the top
// row ends decoding, as do the end-of-picture mark and the end of the data.
// Pixels never written stay black.
void DecodeRle(RleBytes& d, const Header& h, const Palette& palette, TPixelStore& out) {
  const bool rle4 = h.compression == kRle4;
  const std::int64_t width = h.width, rows = h.Rows();
  std::int64_t x = 0, row = 0;
  const auto put = [&](unsigned index) {
    if (x < width) out.Data()[static_cast<std::size_t>((rows - 1 - row) * width + x)] = palette[index];
    ++x;
  };
  unsigned count = 0, value = 0;
  while (row < rows && d.Next(count) && d.Next(value)) {
    if (count > 0) {
      for (unsigned i = 0; i < count && x < width; ++i) put(rle4 ? (i & 1 ? value & 15 : value >> 4) : value);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++row;
    } else if (value == 1) {  // end of bitmap
      return;
    } else if (value == 2) {  // delta: right, then up
      unsigned right = 0, up = 0;
      if (!d.Next(right) || !d.Next(up)) return;
      x += right;
      row += up;
    } else {  // absolute run of `value` pixels, padded to 16 bits
      unsigned byte = 0, pad = 0;
      for (unsigned i = 0; i < value; ++i) {
        if ((!rle4 || i % 2 == 0) && !d.Next(byte)) return;
        put(rle4 ? (i & 1 ? byte & 15 : byte >> 4) : byte);
      }
      if ((rle4 ? (value + 1) / 2 : value) % 2 != 0 && !d.Next(pad)) return;
    }
  }
}

ReadFault AllocatePixels(const Header& h, TPixelStore& out) {
  try {
    out = TPixelStore::Uninitialised(static_cast<std::size_t>(h.width) * static_cast<std::size_t>(h.Rows()));
  } catch (const std::bad_alloc&) {
    return ReadFault::kNoMemory;
  }
  return ReadFault::kNone;
}

// Where RLE data ends at the latest: at biSizeImage, at the file size bfSize
// gives (a size that does not reach past the headers is none), and at four
// bytes a pixel and a row, more than any encoding of the picture takes. The
// data ends earlier at its end-of-picture mark or above the top row.
std::uint64_t RleLimit(const Header& h) {
  const auto rows = static_cast<std::uint64_t>(h.Rows());
  std::uint64_t limit = 4 * (static_cast<std::uint64_t>(h.width) + 1) * rows + 2;
  if (h.sizeImage != 0) limit = std::min<std::uint64_t>(limit, h.sizeImage);
  if (h.fileSize > h.pixelOffset) limit = std::min<std::uint64_t>(limit, h.fileSize - h.pixelOffset);
  return limit;
}

// RLE data is read only as far as the picture takes it and kept with the
// headers, as the picture is written back as read while it is unchanged.
// Pixels it never reaches stay black.
void DecodeCompressed(BitmapInput& in, const Header& h, const Palette& palette, TPixelStore& out,
                      std::vector<std::uint8_t>& file) {
  out.FillByMapping(0, out.Size(), 0xFF000000u);
  RleBytes data(in, RleLimit(h));
  DecodeRle(data, h, palette, out);
  file = in.Taken(h.pixelOffset + data.Used());
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

void ReadBitmap(BitmapInput& in, TBitmap& into) {
  Header h;
  TPixelStore pixels;
  std::vector<std::uint8_t> original;
  ReadFault fault = ReadHeaders(in, h);
  if (fault == ReadFault::kEmptyFile) {
    into.Assign(0, 0, TPixelFormat{}, {}, {});
    return;
  }
  if (fault == ReadFault::kNone) fault = AllocatePixels(h, pixels);
  try {
    if (fault == ReadFault::kNone && !pixels.Empty()) {
      const Palette palette = MakePalette(h);
      if (h.Rle())
        DecodeCompressed(in, h, palette, pixels, original);
      else
        fault = DecodeUncompressed(in, h, palette, pixels);
    }
  } catch (const std::bad_alloc&) {
    fault = ReadFault::kNoMemory;
  }
  if (fault != ReadFault::kNone) ThrowReadFault(fault);
  // A picture with no pixels is empty in both directions, so that a later
  // resize of one side cannot inherit a huge other side from the file.
  const bool none = h.width == 0 || h.Rows() == 0;
  into.Assign(none ? 0 : static_cast<int>(h.width), none ? 0 : static_cast<int>(h.Rows()), MakeFormat(h),
              std::move(pixels), std::move(original));
}

}  // namespace

bool BitmapSizeAllowed(std::int64_t width, std::int64_t height) {
  if (width < 0 || height < 0) return false;
  if (width == 0 || height == 0) return true;
  // Divide rather than multiply, so that no pair of 64-bit sizes overflows.
  return width <= kMaxBitmapPixels && height <= kMaxBitmapPixels / width;
}

void ReadBitmapFile(const std::uint8_t* data, std::size_t size, TBitmap& into) {
  BitmapInput in(data, size);
  ReadBitmap(in, into);
}

void ReadBitmapStream(TByteSource& source, TBitmap& into) {
  BitmapInput in(source);
  ReadBitmap(in, into);
}
