// Number and field parsing shared by the layout file and the brush presets.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Splits a line the way a string list reads comma text: commas end fields,
// blanks and control characters also end a field and are skipped between
// fields, and a field starting with '"' runs to the closing quote ("" inside
// stands for one quote). "1,,2" gives "1", "", "2"; a trailing comma adds "".
std::vector<std::string> SplitCommaText(const std::string& text);

// The field at index, or "リストのインデックスが範囲を超えています (index)".
const std::string& FieldAt(const std::vector<std::string>& fields, int index);

// A signed 32-bit integer: leading blanks, an optional sign, decimal digits or
// hexadecimal after "$", "x" or "0x". Anything else (also an empty text)
// raises "'text' は整数ではありません".
int StrToInt(const std::string& text);

class TByteSource;

// Lines of a text read piece by piece, the way a string list reads a file: a
// line ends at CR LF, at a lone CR or at a lone LF; a final line without an
// end counts, an end at the very end adds no empty line. Memory stays bounded
// whatever the text: a line keeps its first kMaxKept bytes.
class TLineReader {
 public:
  static constexpr std::size_t kMaxKept = 64 * 1024;
  explicit TLineReader(TByteSource& source) : source_(source) {}
  // The next line, without its end; false when the text holds no more.
  bool Next(std::string& line);
  // Whether the line Next gave last was longer than what it kept.
  bool Cut() const { return cut_; }

 private:
  TByteSource& source_;
  std::array<char, 4096> buffer_{};
  std::size_t begin_ = 0, end_ = 0;
  bool afterCr_ = false;  // the last line ended at a CR: an LF right after belongs to it
  bool cut_ = false;
};

// Rows of the window layout file: Top, Left, Width, Height per window.
using TLayoutRows = std::array<std::array<int, 4>, 7>;

// Reads the seven layout lines from `source` into rows, one line at a time,
// storing each value as soon as it converts. On a missing line or field, or a
// field that is not an integer, raises the message of FieldAt or StrToInt (a
// missing line gives its 0-based number); rows then keep what was stored
// before the failure. Lines after the seventh are never read, and fields
// after the fourth are ignored however long they are. A line cut by
// TLineReader before its fourth field ends fails at the cut field, which is
// quoted with "…": its value cannot be known.
void ReadLayoutRows(TByteSource& source, TLayoutRows& rows);
void ReadLayoutRows(const std::string& text, TLayoutRows& rows);
