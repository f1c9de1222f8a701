#include "core/region.h"

#include <algorithm>

TRegion::TRegion(int top, const std::vector<std::vector<Span>>& rows) : top_(top) {
  for (const std::vector<Span>& row : rows) AppendRow(row);
}

void TRegion::AppendRow(std::span<const Span> spans) {
  spans_.insert(spans_.end(), spans.begin(), spans.end());
  rowEnds_.push_back(static_cast<std::uint32_t>(spans_.size()));
}

bool TRegion::Contains(int x, int y) const {
  for (const Span& s : Row(y))
    if (x >= s.x0 && x < s.x1) return true;
  return false;
}

std::span<const TRegion::Span> TRegion::Row(int y) const {
  const long long i = static_cast<long long>(y) - top_;
  if (i < 0 || i >= RowCount()) return {};
  const std::uint32_t begin = i == 0 ? 0 : rowEnds_[static_cast<std::size_t>(i - 1)];
  return std::span<const Span>(spans_).subspan(begin, rowEnds_[static_cast<std::size_t>(i)] - begin);
}

TRect TRegion::Bounds() const {
  TRect b{};
  bool any = false;
  for (int i = 0; i < RowCount(); ++i) {
    const std::span<const Span> row = Row(top_ + i);
    if (row.empty()) continue;
    // Spans are sorted, so the row's extent is its first and last span.
    const int y = top_ + i;
    if (!any) {
      b = Rect(row.front().x0, y, row.back().x1, y + 1);
      any = true;
    } else {
      b.Left = std::min(b.Left, row.front().x0);
      b.Right = std::max(b.Right, row.back().x1);
      b.Bottom = y + 1;
    }
  }
  return b;
}
