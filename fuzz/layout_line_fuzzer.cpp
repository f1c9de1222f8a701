// The window layout file's text: line splitting, comma fields and integers.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/surface.h"
#include "core/text_fields.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::size_t total = 0;
  for (const std::string& line : SplitTextLines(text)) {
    if (line.find_first_of("\r\n") != std::string::npos) std::abort();
    total += line.size();
    // A line never yields more fields than it has characters, plus a final empty one.
    if (SplitCommaText(line).size() > line.size() + 1) std::abort();
  }
  if (total > size) std::abort();
  TLayoutRows rows{};
  try {
    ReadLayoutRows(text, rows);
  } catch (const EDaubixError&) {
    // Malformed text is reported, never more.
  }
  return 0;
}
