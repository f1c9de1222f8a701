#include "core/text_fields.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/file_io.h"
#include "core/rounding.h"
#include "core/surface.h"

namespace {

using Fields = std::vector<std::string>;

std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const EDaubixError& error) {
    return error.what();
  }
  return "(no error)";
}

TEST(RoundTest, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(Round(2.5L), 2);
  EXPECT_EQ(Round(3.5L), 4);
  EXPECT_EQ(Round(-2.5L), -2);
  EXPECT_EQ(Round(2.5000000001L), 3);
  EXPECT_EQ(Round(-0.4L), 0);
}

TEST(SplitCommaTextTest, CommasBlanksAndQuotes) {
  EXPECT_EQ(SplitCommaText("10,20,30,40"), (Fields{"10", "20", "30", "40"}));
  EXPECT_EQ(SplitCommaText("10 20\t30   40"), (Fields{"10", "20", "30", "40"}));
  EXPECT_EQ(SplitCommaText("  10 , 20 ,30"), (Fields{"10", "20", "30"}));
  EXPECT_EQ(SplitCommaText("\"10\",20"), (Fields{"10", "20"}));
  EXPECT_EQ(SplitCommaText("\"a b,c\",d"), (Fields{"a b,c", "d"}));
  EXPECT_EQ(SplitCommaText("\"say \"\"hi\"\"\""), (Fields{"say \"hi\""}));
  EXPECT_EQ(SplitCommaText("\"open"), (Fields{"open"}));
}

TEST(SplitCommaTextTest, EmptyFields) {
  EXPECT_EQ(SplitCommaText(""), Fields{});
  EXPECT_EQ(SplitCommaText("   "), Fields{});
  EXPECT_EQ(SplitCommaText("1,,2"), (Fields{"1", "", "2"}));
  EXPECT_EQ(SplitCommaText("1,"), (Fields{"1", ""}));
  EXPECT_EQ(SplitCommaText(",1"), (Fields{"", "1"}));
  // A blank after the last comma swallows the empty field.
  EXPECT_EQ(SplitCommaText("1, "), (Fields{"1"}));
}

TEST(SplitCommaTextTest, NulEndsTheText) {
  EXPECT_EQ(SplitCommaText(std::string("1,2\0,3", 6)), (Fields{"1", "2"}));
  EXPECT_EQ(SplitCommaText(std::string("\0\0\0", 3)), Fields{});
  EXPECT_EQ(SplitCommaText(std::string("\"a\0b\",c", 7)), (Fields{"a"}));
}

TEST(FieldAtTest, MissingIndexNamesIt) {
  const Fields fields{"a", "b"};
  EXPECT_EQ(FieldAt(fields, 1), "b");
  EXPECT_EQ(MessageOf([&] { FieldAt(fields, 2); }), "リストのインデックスが範囲を超えています (2)");
  EXPECT_EQ(MessageOf([&] { FieldAt(fields, -1); }), "リストのインデックスが範囲を超えています (-1)");
}

TEST(StrToIntTest, DecimalAndHexadecimal) {
  EXPECT_EQ(StrToInt("0"), 0);
  EXPECT_EQ(StrToInt("  -42"), -42);
  EXPECT_EQ(StrToInt("+7"), 7);
  EXPECT_EQ(StrToInt("2147483647"), 2147483647);
  EXPECT_EQ(StrToInt("-2147483648"), -2147483647 - 1);
  EXPECT_EQ(StrToInt("$1F"), 31);
  EXPECT_EQ(StrToInt("x10"), 16);
  EXPECT_EQ(StrToInt("0x10"), 16);
  EXPECT_EQ(StrToInt("0XfF"), 255);
  EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
  EXPECT_EQ(StrToInt("-$10"), -16);
}

TEST(StrToIntTest, EverythingElseIsNotAnInteger) {
  for (const std::string text : {"", " ", "-", "$", "0x", "12 ", "1.5", "abc", "1e3", "2147483648",
                                 "-2147483649", "$100000000", "99999999999999999999", "1,2"}) {
    EXPECT_EQ(MessageOf([&] { StrToInt(text); }), "'" + text + "' は整数ではありません") << text;
  }
}

// Hands out `text` at most `piece` bytes per read, then, when `endless`,
// 'x' for ever; counts the bytes taken.
class PieceSource : public TByteSource {
 public:
  PieceSource(std::string text, std::size_t piece, bool endless = false)
      : text_(std::move(text)), piece_(piece), endless_(endless) {}
  std::size_t Read(std::uint8_t* into, std::size_t n) override {
    n = std::min(n, piece_);
    if (!endless_) n = std::min(n, text_.size() - std::min(taken_, text_.size()));
    for (std::size_t i = 0; i < n; ++i, ++taken_) into[i] = taken_ < text_.size() ? text_[taken_] : 'x';
    return n;
  }
  std::size_t Taken() const { return taken_; }

 private:
  std::string text_;
  std::size_t piece_;
  bool endless_;
  std::size_t taken_ = 0;
};

Fields Lines(const std::string& text, std::size_t piece) {
  PieceSource source(text, piece);
  TLineReader reader(source);
  Fields lines;
  for (std::string line; reader.Next(line);) lines.push_back(line);
  return lines;
}

// The same lines whether the text comes whole or a byte at a time (a CR LF
// split between two reads is still one end).
TEST(LineReaderTest, AllThreeLineEnds) {
  const std::pair<std::string, Fields> cases[] = {
      {"a\r\nb\rc\nd", {"a", "b", "c", "d"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\n\rb", {"a", "", "b"}},
      {"\r\n\r\n", {"", ""}},
      {"", {}},
      {"\r", {""}},
  };
  for (const auto& [text, lines] : cases)
    for (const std::size_t piece : {std::size_t{1}, std::size_t{4096}})
      EXPECT_EQ(Lines(text, piece), lines) << piece;
}

// A line keeps its first kMaxKept bytes, however long it is, and the next
// line still starts where it should.
TEST(LineReaderTest, LongLinesAreCutNotSpilled) {
  PieceSource source(std::string(TLineReader::kMaxKept + 100000, 'y') + "\r\nnext", 4096);
  TLineReader reader(source);
  std::string line;
  ASSERT_TRUE(reader.Next(line));
  EXPECT_EQ(line, std::string(TLineReader::kMaxKept, 'y'));
  EXPECT_TRUE(reader.Cut());
  ASSERT_TRUE(reader.Next(line));
  EXPECT_EQ(line, "next");
  EXPECT_FALSE(reader.Cut());
}

constexpr char kSevenLines[] =
    "1,2,3,4\r\n5,6,7,8\r\n9,10,11,12\r\n13,14,15,16\r\n17,18,19,20\r\n21,22,23,24\r\n25,26,27,28\r\n";

TEST(ReadLayoutRowsTest, SevenLinesOfFourFields) {
  TLayoutRows rows{};
  ReadLayoutRows(kSevenLines, rows);
  for (int i = 0; i < 7; ++i)
    for (int j = 0; j < 4; ++j) EXPECT_EQ(rows[i][j], i * 4 + j + 1) << i << "," << j;
}

TEST(ReadLayoutRowsTest, ExtraLinesAndFieldsAreIgnored) {
  TLayoutRows rows{};
  ReadLayoutRows(
      "1,2,3,4,junk,99\n5 6 7 8\r\"9\",10,11,12\n13,14,15,16\n17,18,19,20\n21,22,23,24\n"
      "-25,$1A,0x1B,28\nnot a layout line\n",
      rows);
  EXPECT_EQ(rows[0], (std::array<int, 4>{1, 2, 3, 4}));
  EXPECT_EQ(rows[1], (std::array<int, 4>{5, 6, 7, 8}));
  EXPECT_EQ(rows[2], (std::array<int, 4>{9, 10, 11, 12}));
  EXPECT_EQ(rows[6], (std::array<int, 4>{-25, 26, 27, 28}));
}

TEST(ReadLayoutRowsTest, FailureKeepsWhatWasStoredBefore) {
  TLayoutRows rows{};
  rows[1][0] = 777;  // overwritten by the value read
  rows[1][3] = 888;  // after the failure: kept
  EXPECT_EQ(MessageOf([&] { ReadLayoutRows("1,2,3,4\r\n5,6,,8\r\n", rows); }), "'' は整数ではありません");
  EXPECT_EQ(rows[0], (std::array<int, 4>{1, 2, 3, 4}));
  EXPECT_EQ(rows[1], (std::array<int, 4>{5, 6, 0, 888}));
  EXPECT_EQ(rows[2], (std::array<int, 4>{}));
}

// Extra fields of any length are ignored; a line cut before its fourth field
// ends fails there, never reading a value it does not have; and nothing after
// the seventh line is read, so an endless file ends nothing.
TEST(ReadLayoutRowsTest, LongLinesAndEndlessFiles) {
  TLayoutRows rows{};
  std::string lines = kSevenLines;
  lines.insert(lines.find('\r'), "," + std::string(100000, '7'));
  ReadLayoutRows(lines, rows);
  EXPECT_EQ(rows[0], (std::array<int, 4>{1, 2, 3, 4}));
  EXPECT_EQ(rows[6], (std::array<int, 4>{25, 26, 27, 28}));
  EXPECT_EQ(MessageOf([&] { ReadLayoutRows("1,2,0" + std::string(100000, '0') + "3,4\r\n", rows); }),
            "'0" + std::string(TLineReader::kMaxKept - 5, '0') + "…' は整数ではありません");
  EXPECT_EQ(rows[0], (std::array<int, 4>{1, 2, 3, 4}));
  PieceSource endless(kSevenLines, 4096, true);
  ReadLayoutRows(endless, rows);
  EXPECT_EQ(endless.Taken(), 4096u);
}

TEST(ReadLayoutRowsTest, MessagesNameTheMissingLineOrField) {
  TLayoutRows rows{};
  EXPECT_EQ(MessageOf([&] { ReadLayoutRows("1,2,3,4\r\n5,6,7,8\r\n9,10,11,12\r\n", rows); }),
            "リストのインデックスが範囲を超えています (3)");
  EXPECT_EQ(rows[2], (std::array<int, 4>{9, 10, 11, 12}));
  EXPECT_EQ(MessageOf([&] { ReadLayoutRows("", rows); }), "リストのインデックスが範囲を超えています (0)");
  EXPECT_EQ(MessageOf([&] { ReadLayoutRows("1,2,3\r\n", rows); }),
            "リストのインデックスが範囲を超えています (3)");
  EXPECT_EQ(MessageOf([&] { ReadLayoutRows("1,2,3,4\r\n\r\n", rows); }),
            "リストのインデックスが範囲を超えています (0)");
  EXPECT_EQ(MessageOf([&] { ReadLayoutRows("1,2,3,4.5\r\n", rows); }), "'4.5' は整数ではありません");
}

}  // namespace
