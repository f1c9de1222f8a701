// Byte layout of BMP files shared by the reader and the writer: field offsets
// and little-endian access. Fields are always read and written byte by byte at
// these offsets, never by laying a struct over the bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace bmp {

// File header (14 bytes).
constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kType = 0;      // "BM"
constexpr std::size_t kFileSize = 2;  // bfSize
constexpr std::size_t kOffBits = 10;  // bfOffBits; written, never consulted when reading

// Info header, offsets from its start (14 in the file).
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kCoreHeaderSize = 12;
constexpr std::size_t kHeaderSize = 0;
constexpr std::size_t kWidth = 4;
constexpr std::size_t kHeight = 8;
constexpr std::size_t kPlanes = 12;
constexpr std::size_t kBitCount = 14;
constexpr std::size_t kCompression = 16;
constexpr std::size_t kSizeImage = 20;
constexpr std::size_t kXPelsPerMeter = 24;
constexpr std::size_t kYPelsPerMeter = 28;
constexpr std::size_t kClrUsed = 32;
constexpr std::size_t kClrImportant = 36;
// Later headers (52 bytes and longer) hold the red, green and blue masks here.
constexpr std::size_t kMasksInHeader = 40;
constexpr std::size_t kMasksEnd = 52;

// Core header (12 bytes): 16-bit width, height, planes, bit count.
constexpr std::size_t kCoreWidth = 4;
constexpr std::size_t kCoreHeight = 6;
constexpr std::size_t kCorePlanes = 8;
constexpr std::size_t kCoreBitCount = 10;

constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;
constexpr std::uint32_t kBitFields = 3;

constexpr int kMaxColorTable = 256;

inline std::uint16_t Get16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t Get32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}
inline std::int32_t GetSigned32(const std::uint8_t* p) {
  return static_cast<std::int32_t>(Get32(p));
}
inline void Put16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(std::uint8_t* p, std::uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}

// Bytes per stored row, padded to 4 bytes; 64-bit so that no width overflows.
inline std::int64_t RowSize(std::int64_t width, int depth) {
  return (width * depth + 31) / 32 * 4;
}

}  // namespace bmp
