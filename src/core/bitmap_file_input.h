// The bytes of a BMP file in the order the reader takes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/file_io.h"
#include "core/mapped_file.h"

// The bytes of a file in order: one in memory is handed out in place; one
// from a source is read into a buffer, exactly as far as asked while the
// headers are read, then in large blocks up to the end of the pixel data, or
// handed out in place from a mapping of the file where the source offers one.
class BitmapInput {
 public:
  BitmapInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  explicit BitmapInput(TByteSource& source) : source_(&source), recording_(true) {}

  // The next n bytes, fewer at the end of the file; valid until the next call.
  std::span<const std::uint8_t> Take(std::size_t n);
  // Passes over n bytes; false when the file ends first.
  bool Skip(std::uint64_t n);
  // From here on, blocks may be read ahead, up to `end` bytes from the start.
  void ReadAheadUpTo(std::uint64_t end) { readAheadEnd_ = end; }
  // From here on, up to `end` bytes from the start, bytes come from a mapping
  // of the file where the source can map it and nothing is buffered: no copy
  // of them is made. Their reads must then run through Mapped().ReadGuarded.
  // The source is left behind: nothing may be read from it afterwards.
  bool MapUpTo(std::uint64_t end);
  const TMappedBytes& Mapped() const { return mapped_; }
  // Bytes taken are kept until this is called, so that an RLE file, written
  // back as read, need not be read twice.
  void StopRecording() {
    recording_ = false;
    record_ = {};
  }
  std::uint64_t Position() const { return position_; }
  // The first `n` bytes of the file, all of them taken already.
  std::vector<std::uint8_t> Taken(std::uint64_t n);

 private:
  std::size_t Fill(std::size_t n);
  const std::uint8_t* data_ = nullptr;  // in memory
  std::size_t size_ = 0;
  std::uint64_t position_ = 0;  // bytes taken or skipped
  TByteSource* source_ = nullptr;
  std::vector<std::uint8_t> buffer_;
  std::size_t begin_ = 0, end_ = 0;  // buffered bytes not yet taken
  std::uint64_t readAheadEnd_ = 0;
  bool recording_ = false;
  std::vector<std::uint8_t> record_;
  TMappedBytes mapped_;
  std::uint64_t mappedFrom_ = 0;  // the file position of the mapping's first byte
};
