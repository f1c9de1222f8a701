// The two kinds of line LineTo draws.
#pragma once

#include <cstdint>

#include "core/span_writer.h"

namespace raster {

// Pen width 0 or 1: one pixel per step along the longer axis.
void DrawThinLine(SpanWriter& out, std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                  std::uint32_t word);

// A wider pen: a band with round ends, w pixels across.
struct Segment {
  std::int64_t x0, y0, x1, y1, w;
};
void DrawWideLine(SpanWriter& out, const Segment& seg, std::uint32_t word);

}  // namespace raster
