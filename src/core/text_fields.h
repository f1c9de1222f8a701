// Number and field parsing shared by the layout file and the brush presets.
#pragma once

#include <array>
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

// Splits text into lines the way a string list reads a file: a line ends at
// CR LF, at a lone CR or at a lone LF; a final line without an end counts,
// an end at the very end adds no empty line.
std::vector<std::string> SplitTextLines(const std::string& text);

// Rows of the window layout file: Top, Left, Width, Height per window.
using TLayoutRows = std::array<std::array<int, 4>, 7>;

// Reads the seven layout lines of text into rows, storing each value as soon
// as it converts. On a missing line or field, or a field that is not an
// integer, raises the message of FieldAt or StrToInt (a missing line gives
// its 0-based number); rows then keep what was stored before the failure.
// Lines after the seventh and fields after the fourth are ignored.
void ReadLayoutRows(const std::string& text, TLayoutRows& rows);
