// Pixel pictures for tests: a bitmap compared against, or built from, rows of
// characters, one character a pixel.
//
//   ExpectPicture(bmp, {".##.",
//                       "####",
//                       "####",
//                       ".##."});
//
// The legend maps characters to colours; by default '.' white, '#' black,
// 'r' red, 'b' blue, 's' silver. A mismatch reports the first differing pixel
// with both colours in hex, prints the picture it got, and writes the actual
// and expected pictures as BMP files into the test's temporary folder.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/surface.h"

using PictureLegend = std::map<char, TColor>;

// Where the caller stands, for failure messages. (std::source_location is
// missing from clang 14 with libstdc++; these builtins work in both.)
struct CallSite {
  const char* file = __builtin_FILE();
  int line = __builtin_LINE();
};

const PictureLegend& DefaultLegend();

// Asserts that the whole bitmap is exactly `rows` (same size, every pixel).
void ExpectPicture(const TBitmap& bmp, const std::vector<std::string>& rows,
                   const PictureLegend& legend = DefaultLegend(), CallSite where = {});

// Asserts that the part of the bitmap with its top-left at (x, y), as large as
// `rows`, is exactly `rows`; that part must lie on the bitmap.
void ExpectPicture(const TBitmap& bmp, int x, int y, const std::vector<std::string>& rows,
                   const PictureLegend& legend = DefaultLegend(), CallSite where = {});

// A 32-bit bitmap painted from `rows`; throws on a character the legend lacks.
std::unique_ptr<TBitmap> BitmapFromPicture(const std::vector<std::string>& rows,
                                           const PictureLegend& legend = DefaultLegend());

// The bitmap (or its part at x, y, w x h) as rows, '?' for colours the legend lacks.
std::vector<std::string> PictureOf(const TBitmap& bmp, const PictureLegend& legend = DefaultLegend());
std::vector<std::string> PictureOf(const TBitmap& bmp, int x, int y, int w, int h,
                                   const PictureLegend& legend = DefaultLegend());

// Large pictures are compared whole instead: size, pixel format and every
// pixel word, the first difference reported.
TBitmapContents PictureSnapshot(const TBitmap& bmp);
void ExpectSamePicture(const TBitmap& bmp, const TBitmapContents& want, const std::string& what,
                       CallSite where = {});

// A file's bytes, all of them; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
