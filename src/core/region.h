// A set of pixels as sorted, disjoint spans per row: the clip region of a
// canvas.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/basics.h"

// Stored flat, so that a copy costs two allocations whatever the number of rows.
class TRegion {
 public:
  struct Span {
    int x0, x1;  // x0 <= x < x1
  };
  TRegion() = default;
  // rows[i] holds the spans of row top + i.
  TRegion(int top, const std::vector<std::vector<Span>>& rows);
  // An empty region whose rows are appended in order from `top` down.
  explicit TRegion(int top) : top_(top) {}
  void AppendRow(std::span<const Span> spans);

  bool Contains(int x, int y) const;
  TRect Bounds() const;
  int Top() const { return top_; }
  int RowCount() const { return static_cast<int>(rowEnds_.size()); }
  std::span<const Span> Row(int y) const;  // y in bitmap coordinates

 private:
  int top_ = 0;
  std::vector<Span> spans_;
  std::vector<std::uint32_t> rowEnds_;  // spans of row i end at rowEnds_[i]
};
