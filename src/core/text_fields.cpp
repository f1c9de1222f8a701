#include "core/text_fields.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "core/file_io.h"
#include "core/surface.h"

namespace {
bool IsBlank(char c) {
  return c != '\0' && static_cast<unsigned char>(c) <= ' ';
}

[[noreturn]] void ThrowIndexOutOfRange(int index) {
  throw EDaubixError("リストのインデックスが範囲を超えています (" + std::to_string(index) + ")");
}
}  // namespace

std::vector<std::string> SplitCommaText(const std::string& text) {
  std::vector<std::string> fields;
  // A NUL ends the text, as it ends a C string; inside it nothing would
  // advance the scan.
  const std::size_t n = std::min(text.size(), text.find('\0'));
  std::size_t p = 0;
  while (p < n && IsBlank(text[p])) ++p;
  while (p < n) {
    std::string field;
    if (text[p] == '"') {
      ++p;
      while (p < n) {
        if (text[p] == '"') {
          if (p + 1 < n && text[p + 1] == '"') {
            field += '"';
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        field += text[p++];
      }
    } else {
      const std::size_t start = p;
      while (p<n&& static_cast<unsigned char>(text[p])> ' ' && text[p] != ',') ++p;
      field.assign(text, start, p - start);
    }
    fields.push_back(std::move(field));
    while (p < n && IsBlank(text[p])) ++p;
    if (p < n && text[p] == ',') {
      if (p + 1 == n) fields.emplace_back();
      do {
        ++p;
      } while (p < n && IsBlank(text[p]));
    }
  }
  return fields;
}

const std::string& FieldAt(const std::vector<std::string>& fields, int index) {
  if (index < 0 || index >= static_cast<int>(fields.size())) ThrowIndexOutOfRange(index);
  return fields[static_cast<std::size_t>(index)];
}

int StrToInt(const std::string& text) {
  const auto fail = [&]() -> int { throw EDaubixError("'" + text + "' は整数ではありません"); };
  std::size_t p = 0;
  const std::size_t n = text.size();
  while (p < n && text[p] == ' ') ++p;
  bool negative = false;
  if (p < n && (text[p] == '+' || text[p] == '-')) negative = text[p++] == '-';
  unsigned base = 10;
  if (p < n && text[p] == '$') {
    base = 16;
    ++p;
  } else if (p < n && (text[p] == 'x' || text[p] == 'X')) {
    base = 16;
    ++p;
  } else if (p + 1 < n && text[p] == '0' && (text[p + 1] == 'x' || text[p + 1] == 'X')) {
    base = 16;
    p += 2;
  }
  if (p == n) return fail();
  std::uint64_t value = 0;
  for (; p < n; ++p) {
    const char c = text[p];
    unsigned digit;
    if (c >= '0' && c <= '9')
      digit = static_cast<unsigned>(c - '0');
    else if (base == 16 && c >= 'a' && c <= 'f')
      digit = static_cast<unsigned>(c - 'a' + 10);
    else if (base == 16 && c >= 'A' && c <= 'F')
      digit = static_cast<unsigned>(c - 'A' + 10);
    else
      return fail();
    value = value * base + digit;
    if (value > 0xFFFFFFFFull) return fail();
  }
  if (base == 16) {
    // Hexadecimal spells the 32-bit pattern: $FFFFFFFF is -1.
    const auto bits = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
    return negative ? static_cast<int>(-static_cast<std::int64_t>(bits)) : bits;
  }
  if (negative) {
    if (value > 0x80000000ull) return fail();
    return static_cast<int>(-static_cast<std::int64_t>(value));
  }
  if (value > 0x7FFFFFFFull) return fail();
  return static_cast<int>(value);
}

bool TLineReader::Next(std::string& line) {
  line.clear();
  cut_ = false;
  bool any = false;
  for (;;) {
    if (begin_ == end_) {
      begin_ = 0;
      end_ = source_.Read(reinterpret_cast<std::uint8_t*>(buffer_.data()), buffer_.size());
      if (end_ == 0) return any;
    }
    const char c = buffer_[begin_++];
    if (std::exchange(afterCr_, false) && c == '\n') continue;
    if (c == '\r' || c == '\n') {
      afterCr_ = c == '\r';
      return true;
    }
    any = true;
    if (line.size() < kMaxKept)
      line += c;
    else
      cut_ = true;
  }
}

void ReadLayoutRows(TByteSource& source, TLayoutRows& rows) {
  TLineReader lines(source);
  std::string line;
  for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
    if (!lines.Next(line)) ThrowIndexOutOfRange(i);
    std::vector<std::string> fields = SplitCommaText(line);
    auto& row = rows[static_cast<std::size_t>(i)];
    // A fifth field means the four before it ended before the cut.
    if (lines.Cut() && fields.size() <= row.size()) {
      if (fields.empty()) fields.emplace_back();
      fields.back() += "…";
    }
    for (int j = 0; j < static_cast<int>(row.size()); ++j)
      row[static_cast<std::size_t>(j)] = StrToInt(FieldAt(fields, j));
  }
}

void ReadLayoutRows(const std::string& text, TLayoutRows& rows) {
  TMemorySource source(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  ReadLayoutRows(source, rows);
}
