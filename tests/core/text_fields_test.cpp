#include "core/text_fields.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

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

TEST(SplitTextLinesTest, AllThreeLineEnds) {
  EXPECT_EQ(SplitTextLines("a\r\nb\rc\nd"), (Fields{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitTextLines("a\r\nb\r\n"), (Fields{"a", "b"}));
  EXPECT_EQ(SplitTextLines("a\n\rb"), (Fields{"a", "", "b"}));
  EXPECT_EQ(SplitTextLines("\r\n\r\n"), (Fields{"", ""}));
  EXPECT_EQ(SplitTextLines(""), Fields{});
  EXPECT_EQ(SplitTextLines("\r"), Fields{""});
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
