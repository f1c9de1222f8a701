// The window layout file as the program reads it: line by line from a source,
// comma fields and integers. The first byte sets how many bytes each read
// hands out, so that line ends split between reads are fuzzed too; the result,
// rows or message, must be the one the whole text in one piece gives.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/file_io.h"
#include "core/surface.h"
#include "core/text_fields.h"

namespace {

// Hands out the text at most `piece` bytes per read.
class PieceSource : public TByteSource {
 public:
  PieceSource(const std::uint8_t* data, std::size_t size, std::size_t piece)
      : data_(data), size_(size), piece_(piece) {}
  std::size_t Read(std::uint8_t* into, std::size_t n) override {
    n = std::min({n, piece_, size_ - taken_});
    std::copy(data_ + taken_, data_ + taken_ + n, into);
    taken_ += n;
    return n;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_, piece_, taken_ = 0;
};

// The rows and the message (empty when none) of reading `source`.
std::string Outcome(TByteSource& source) {
  TLayoutRows rows{};
  std::string message;
  try {
    ReadLayoutRows(source, rows);
  } catch (const EDaubixError& error) {
    message = error.what();
  }
  for (const auto& row : rows)
    for (const int value : row) message += "," + std::to_string(value);
  return message;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t piece = data[0] % 16 + 1;
  ++data, --size;
  PieceSource whole(data, size, size + 1), pieces(data, size, piece);
  if (Outcome(whole) != Outcome(pieces)) std::abort();
  PieceSource text(data, size, piece);
  TLineReader lines(text);
  std::size_t total = 0;
  for (std::string line; lines.Next(line);) {
    if (line.find_first_of("\r\n") != std::string::npos || line.size() > TLineReader::kMaxKept) std::abort();
    total += line.size();
    // A line never yields more fields than it has characters, plus a final empty one.
    if (SplitCommaText(line).size() > line.size() + 1) std::abort();
  }
  if (total > size) std::abort();
  return 0;
}
