// Paths of ellipses turned into clip regions, as the hue ring uses them.
#include <algorithm>

#include "core/canvas.h"
#include "core/raster.h"

using raster::Span;

void TCanvas::BeginPathRecording() {
  recording_ = true;
  path_.clear();
  HoldContext();
}

void TCanvas::EndPathRecording() {
  recording_ = false;
}

// The recorded ellipses combined by the even-odd rule: a pixel inside an odd
// number of them is in. Outer box 8, inner box 4:
//
//   ..####..
//   .######.
//   ###..###
//   ##....##
//   ##....##
//   ###..###
//   .######.
//   ..####..
std::unique_ptr<TRegion> TCanvas::RecordedPathToRegion() {
  recording_ = false;
  const std::vector<PathFigure> figures = std::move(path_);
  path_.clear();
  if (figures.empty()) return std::make_unique<TRegion>();
  int top = figures[0].box.Top, bottom = figures[0].box.Bottom;
  for (const PathFigure& f : figures) {
    top = std::min(top, f.box.Top);
    bottom = std::max(bottom, f.box.Bottom);
  }
  auto region = std::make_unique<TRegion>(top);
  std::vector<std::int64_t> edges;
  std::vector<TRegion::Span> spans;
  for (std::int64_t y = top; y < bottom; ++y) {
    edges.clear();
    for (const PathFigure& f : figures) {
      const Span s = raster::EllipseRowSpan({f.box.Left, f.box.Top, f.box.Right, f.box.Bottom}, y);
      if (s.Empty()) continue;
      edges.push_back(s.x0);
      edges.push_back(s.x1);
    }
    // Coverage flips at every edge, so the odd stretches lie between the
    // first and second edge, the third and fourth, and so on.
    std::sort(edges.begin(), edges.end());
    spans.clear();
    for (std::size_t i = 0; i + 1 < edges.size(); i += 2) {
      if (edges[i] == edges[i + 1]) continue;
      const TRegion::Span s{static_cast<int>(edges[i]), static_cast<int>(edges[i + 1])};
      if (!spans.empty() && spans.back().x1 == s.x0)
        spans.back().x1 = s.x1;
      else
        spans.push_back(s);
    }
    region->AppendRow(spans);
  }
  return region;
}
