// BMP files in memory: the reader and writer behind TBitmap::LoadFromFile and
// SaveToFile, usable without a file system (tests, fuzzing).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/file_io.h"
#include "core/surface.h"

// Pictures above this many pixels (1 GiB of pixel store) are refused before
// anything is allocated.
constexpr std::int64_t kMaxBitmapPixels = std::int64_t{1} << 28;

// Whether a picture of width x height pixels may be held; false for negative
// sizes and for products beyond kMaxBitmapPixels (computed without overflow).
// A picture with no pixels (a side of 0) is always allowed.
bool BitmapSizeAllowed(std::int64_t width, std::int64_t height);

// Replaces `into`'s picture with the file held in data[0, size); on any error
// raises EDaubixError and leaves `into` as it was.
void ReadBitmapFile(const std::uint8_t* data, std::size_t size, TBitmap& into);

// The same for a file read from `source`: its headers are checked from the
// first bytes before more is read, and no more is read than they say the file
// holds (RLE data: up to its end-of-picture mark, biSizeImage or bfSize,
// whichever comes first; those bytes are kept to write back as read).
void ReadBitmapStream(TByteSource& source, TBitmap& into);

// Size in bytes of the file WriteBitmapFile makes; raises the system error
// EFBIG when the picture cannot be described by a BMP file (over 4 GiB).
std::uint64_t BitmapFileSize(const TBitmap& bitmap);

void WriteBitmapFile(const TBitmap& bitmap, TByteSink& sink);
std::vector<std::uint8_t> WriteBitmapFile(const TBitmap& bitmap);

// A file that is no bitmap at all, as opposed to one that could not be read
// now (for want of memory, or a failing disk).
class EInvalidBitmap : public EDaubixError {
 public:
  using EDaubixError::EDaubixError;
};

// The messages of the failure table beyond those of file_io.h.
[[noreturn]] void ThrowSystemError(int errorCode);
[[noreturn]] void ThrowInvalidBitmap();  // raises EInvalidBitmap
