// Where a picture has anything on it: the bounding box of its non-white
// pixels, for checking that a drawing touched nothing beyond the part a
// picture grid shows.
#pragma once

#include <algorithm>
#include <string>

#include "core/surface.h"

// Empty (all zero) when every pixel is white.
inline TRect NonWhiteBounds(const TBitmap& bmp) {
  const std::uint32_t white = ColorToWord(clWhite);
  TRect box{};
  bool any = false;
  for (int y = 0; y < bmp.Height(); ++y) {
    const std::uint32_t* row = bmp.ScanLine(y);
    for (int x = 0; x < bmp.Width(); ++x) {
      if (row[x] == white) continue;
      box = any ? Rect(std::min(box.Left, x), std::min(box.Top, y), std::max(box.Right, x + 1),
                       std::max(box.Bottom, y + 1))
                : Rect(x, y, x + 1, y + 1);
      any = true;
    }
  }
  return box;
}

inline std::string Describe(const TRect& r) {
  return "(" + std::to_string(r.Left) + "," + std::to_string(r.Top) + "," + std::to_string(r.Right) + "," +
         std::to_string(r.Bottom) + ")";
}
