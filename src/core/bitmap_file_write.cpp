// Writing BMP files: the layout is planned (and its size checked) before the
// first byte goes out; rows are converted into a chunk buffer and handed to the
// sink in large pieces.
#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>

#include "core/bitmap_file.h"
#include "core/bitmap_file_layout.h"
#include "core/pixel_format.h"

using namespace bmp;

namespace {

struct Layout {
  bool verbatim = false;  // an unchanged RLE picture: the bytes as read
  bool core = false;
  int depth = 32;
  std::uint32_t compression = kRgb;
  std::vector<TColor> table;      // entries written
  std::uint64_t headerBytes = 0;  // file header, info header, masks, colour table
  std::int64_t rowSize = 0;
  std::uint64_t fileSize = 0;
};

Layout PlanLayout(const TBitmap& bitmap) {
  Layout l;
  if (bitmap.Empty()) return l;
  if (!bitmap.OriginalFile().empty()) {
    l.verbatim = true;
    l.fileSize = bitmap.OriginalFile().size();
    return l;
  }
  const TPixelFormat& f = bitmap.Format();
  l.depth = f.depth;
  // The 12-byte header holds 16-bit sizes and only these depths; a picture grown
  // past that is written with the 40-byte header instead.
  l.core = f.coreHeader && (l.depth == 1 || l.depth == 4 || l.depth == 8 || l.depth == 24) &&
           bitmap.Width() <= 0xFFFF && bitmap.Height() <= 0xFFFF;
  if (l.depth <= 8) {
    const std::size_t indexable = std::size_t{1} << l.depth;
    l.table.assign(f.colorTable.begin(), f.colorTable.begin() + std::min(f.colorTable.size(), indexable));
    if (l.table.empty()) l.table.push_back(clBlack);
    // The core header has no entry count: readers expect the full table.
    if (l.core) l.table.resize(indexable, clBlack);
  }
  if ((l.depth == 16 || l.depth == 32) && f.bitFields) l.compression = kBitFields;
  l.headerBytes = kFileHeaderSize + (l.core ? kCoreHeaderSize : kInfoHeaderSize) +
                  (l.compression == kBitFields ? 12 : 0) + l.table.size() * (l.core ? 3 : 4);
  l.rowSize = RowSize(bitmap.Width(), l.depth);
  l.fileSize =
      l.headerBytes + static_cast<std::uint64_t>(l.rowSize) * static_cast<std::uint64_t>(bitmap.Height());
  return l;
}

void WriteHeaders(const TBitmap& bitmap, const Layout& l, std::uint8_t* out) {
  std::memset(out, 0, l.headerBytes);
  out[kType] = 'B';
  out[kType + 1] = 'M';
  Put32(out + kFileSize, static_cast<std::uint32_t>(l.fileSize));
  Put32(out + kOffBits, static_cast<std::uint32_t>(l.headerBytes));
  std::uint8_t* ih = out + kFileHeaderSize;
  std::uint8_t* next = ih;
  if (l.core) {
    Put32(ih + kHeaderSize, kCoreHeaderSize);
    Put16(ih + kCoreWidth, static_cast<std::uint32_t>(bitmap.Width()));
    Put16(ih + kCoreHeight, static_cast<std::uint32_t>(bitmap.Height()));
    Put16(ih + kCorePlanes, 1);
    Put16(ih + kCoreBitCount, static_cast<std::uint32_t>(l.depth));
    next += kCoreHeaderSize;
  } else {
    Put32(ih + kHeaderSize, kInfoHeaderSize);
    Put32(ih + kWidth, static_cast<std::uint32_t>(bitmap.Width()));
    Put32(ih + kHeight, static_cast<std::uint32_t>(bitmap.Height()));
    Put16(ih + kPlanes, 1);
    Put16(ih + kBitCount, static_cast<std::uint32_t>(l.depth));
    Put32(ih + kCompression, l.compression);
    Put32(ih + kSizeImage, static_cast<std::uint32_t>(l.fileSize - l.headerBytes));
    Put32(ih + kClrUsed, static_cast<std::uint32_t>(l.table.size()));
    next += kInfoHeaderSize;  // pels per metre and important colours stay 0: unknown, all
  }
  if (l.compression == kBitFields) {
    for (int i = 0; i < 3; ++i) Put32(next + 4 * i, bitmap.Format().masks[i]);
    next += 12;
  }
  for (TColor c : l.table) {
    next[0] = static_cast<std::uint8_t>(c >> 16);  // blue, green, red
    next[1] = static_cast<std::uint8_t>(c >> 8);
    next[2] = static_cast<std::uint8_t>(c);
    next += l.core ? 3 : 4;
  }
}

// Stored word -> colour-table index. Stored words of an indexed picture are
// table colours, so lookups almost always hit; a miss is resolved once by the
// nearest-entry search and remembered while there is room.
class IndexCache {
 public:
  explicit IndexCache(const std::vector<TColor>& table) : table_(table) {
    for (std::size_t i = table.size(); i-- > 0;)
      Insert(ColorToWord(table[i]), static_cast<std::uint8_t>(i), true);
  }
  std::uint8_t IndexOf(std::uint32_t word) {
    word |= 0xFF000000u;  // 0 marks a free slot
    if (word == lastWord_) return lastIndex_;
    std::size_t slot = Hash(word);
    while (keys_[slot] != 0 && keys_[slot] != word) slot = (slot + 1) & (kSlots - 1);
    std::uint8_t index;
    if (keys_[slot] == word) {
      index = values_[slot];
    } else {
      index = static_cast<std::uint8_t>(NearestTableIndex(table_, WordToColor(word)));
      Insert(word, index, false);
    }
    lastWord_ = word;
    lastIndex_ = index;
    return index;
  }

 private:
  static constexpr std::size_t kSlots = 4096;
  static std::size_t Hash(std::uint32_t w) { return (w * 0x9E3779B1u) >> 20; }
  // Table entries go in last to first with replacement, so the first of equal
  // entries wins, as in NearestTableIndex.
  void Insert(std::uint32_t word, std::uint8_t index, bool replace) {
    if (used_ >= kSlots / 2) return;
    std::size_t slot = Hash(word);
    while (keys_[slot] != 0 && keys_[slot] != word) slot = (slot + 1) & (kSlots - 1);
    if (keys_[slot] == word && !replace) return;
    if (keys_[slot] == 0) ++used_;
    keys_[slot] = word;
    values_[slot] = index;
  }
  const std::vector<TColor>& table_;
  std::array<std::uint32_t, kSlots> keys_{};
  std::array<std::uint8_t, kSlots> values_{};
  std::size_t used_ = 0;
  std::uint32_t lastWord_ = 0;
  std::uint8_t lastIndex_ = 0;
};

// Stored channel value 0..255 -> its bits in the file's pixel.
struct ChannelWriter {
  std::array<std::uint32_t, 256> lut{};
  explicit ChannelWriter(std::uint32_t mask) {
    const TMaskChannel c = DescribeMask(mask);
    for (std::uint32_t v = 0; v < 256; ++v)
      lut[v] = c.bits == 0 ? 0 : NearestChannelValue(static_cast<std::uint8_t>(v), c.bits) << c.shift;
  }
};

class RowEncoder {
 public:
  RowEncoder(const TBitmap& bitmap, const Layout& l)
      : depth_(l.depth),
        width_(static_cast<std::size_t>(bitmap.Width())),
        indices_(l.table),
        red_(bitmap.Format().masks[0]),
        green_(bitmap.Format().masks[1]),
        blue_(bitmap.Format().masks[2]),
        // A 32-bit picture without bit fields, or with the standard ones, is the store minus its top byte.
        plain32_(l.compression == kRgb ||
                 (bitmap.Format().masks[0] == 0xFF0000 && bitmap.Format().masks[1] == 0xFF00 &&
                  bitmap.Format().masks[2] == 0xFF)) {
    if (depth_ == 16 && l.compression == kRgb)
      red_ = ChannelWriter(0x7C00), green_ = ChannelWriter(0x3E0), blue_ = ChannelWriter(0x1F);
  }
  // out holds a zeroed row of the file's row size.
  void Encode(const std::uint32_t* src, std::uint8_t* out);

 private:
  std::uint32_t Channels(std::uint32_t w) const {
    return red_.lut[(w >> 16) & 0xFF] | green_.lut[(w >> 8) & 0xFF] | blue_.lut[w & 0xFF];
  }
  int depth_;
  std::size_t width_;
  IndexCache indices_;
  ChannelWriter red_, green_, blue_;
  bool plain32_;
};

void RowEncoder::Encode(const std::uint32_t* src, std::uint8_t* out) {
  const std::size_t n = width_;
  switch (depth_) {
    case 1:
      for (std::size_t x = 0; x < n; ++x)
        out[x >> 3] |= static_cast<std::uint8_t>(indices_.IndexOf(src[x]) << (7 - (x & 7)));
      break;
    case 4:
      for (std::size_t x = 0; x < n; ++x)
        out[x >> 1] |= static_cast<std::uint8_t>(indices_.IndexOf(src[x]) << ((x & 1) ? 0 : 4));
      break;
    case 8:
      for (std::size_t x = 0; x < n; ++x) out[x] = indices_.IndexOf(src[x]);
      break;
    case 16:
      for (std::size_t x = 0; x < n; ++x) Put16(out + 2 * x, Channels(src[x]));
      break;
    case 24:
      for (std::size_t x = 0; x < n; ++x, out += 3) {
        out[0] = static_cast<std::uint8_t>(src[x]);
        out[1] = static_cast<std::uint8_t>(src[x] >> 8);
        out[2] = static_cast<std::uint8_t>(src[x] >> 16);
      }
      break;
    default:  // 32; the byte above red is written 0
      if (!plain32_) {
        for (std::size_t x = 0; x < n; ++x) Put32(out + 4 * x, Channels(src[x]));
      } else if constexpr (std::endian::native == std::endian::little) {
        for (std::size_t x = 0; x < n; ++x) {
          const std::uint32_t w = src[x] & 0x00FFFFFFu;
          std::memcpy(out + 4 * x, &w, 4);
        }
      } else {
        for (std::size_t x = 0; x < n; ++x) Put32(out + 4 * x, src[x] & 0x00FFFFFFu);
      }
  }
}

// Collects bytes into large pieces for the sink.
class ChunkWriter {
 public:
  ChunkWriter(TByteSink& sink, std::size_t capacity) : sink_(sink), buffer_(capacity) {}
  // Space for n more bytes, zeroed; valid until the next call.
  std::uint8_t* Reserve(std::size_t n) {
    if (used_ + n > buffer_.size()) Flush();
    if (n > buffer_.size()) buffer_.resize(n);
    std::uint8_t* p = buffer_.data() + used_;
    std::memset(p, 0, n);
    used_ += n;
    return p;
  }
  void Flush() {
    if (used_ > 0) sink_.Write(buffer_.data(), used_);
    used_ = 0;
  }

 private:
  TByteSink& sink_;
  std::vector<std::uint8_t> buffer_;
  std::size_t used_ = 0;
};

class MemorySink : public TByteSink {
 public:
  explicit MemorySink(std::vector<std::uint8_t>& out) : out_(out) {}
  void Write(const std::uint8_t* data, std::size_t size) override {
    out_.insert(out_.end(), data, data + size);
  }

 private:
  std::vector<std::uint8_t>& out_;
};

}  // namespace

std::uint64_t BitmapFileSize(const TBitmap& bitmap) {
  const std::uint64_t size = PlanLayout(bitmap).fileSize;
  if (size > 0xFFFFFFFFu) ThrowSystemError(EFBIG);  // bfSize and biSizeImage are 32-bit
  return size;
}

void WriteBitmapFile(const TBitmap& bitmap, TByteSink& sink) {
  const Layout l = PlanLayout(bitmap);
  if (l.fileSize > 0xFFFFFFFFu) ThrowSystemError(EFBIG);
  if (l.fileSize == 0) return;
  if (l.verbatim) {
    sink.Write(bitmap.OriginalFile().data(), bitmap.OriginalFile().size());
    return;
  }
  const auto rowSize = static_cast<std::size_t>(l.rowSize);
  ChunkWriter chunk(sink, std::max<std::size_t>(std::size_t{1} << 20, rowSize));
  WriteHeaders(bitmap, l, chunk.Reserve(l.headerBytes));
  RowEncoder encoder(bitmap, l);
  for (int y = bitmap.Height() - 1; y >= 0; --y) encoder.Encode(bitmap.ScanLine(y), chunk.Reserve(rowSize));
  chunk.Flush();
}

std::vector<std::uint8_t> WriteBitmapFile(const TBitmap& bitmap) {
  std::vector<std::uint8_t> out;
  out.reserve(BitmapFileSize(bitmap));
  MemorySink sink(out);
  WriteBitmapFile(bitmap, sink);
  return out;
}
