#pragma once

#include <cstddef>
#include <vector>

#include "brush/brush_shape.h"
#include "core/surface.h"

// Two concentric outlines centred at (X, Y): black on the brush's box
// (X - h .. X + h, h = size div 2), silver one pixel inside. Expects the
// canvas brush white and pen width 1; leaves the brush as the rule leaves it.
void DrawBrushOutline(TCanvas* canvas, int X, int Y, int size, TBrushShape shape);

struct TOutlinePlace {
  int x, y, size;
  TBrushShape shape;
};

// The outlines drawn on the canvas's overlay since it was last wholly white.
// Every non-white overlay pixel comes from one of them, so drawing them again
// in white leaves exactly what clearing the whole overlay would: a move then
// writes the pixels of two outlines, whatever the brush and canvas size.
// Outlines drawn on any other bitmap are not recorded; a new overlay bitmap,
// a change of pen width or too many refreshes between two moves (each of
// which adds an outline) get one whole clear.
class TOutlineRecord {
 public:
  // Starts afresh on an overlay that was just made wholly white.
  void Restart(const TBitmap* overlay, int penWidth);
  // Notes an outline drawn through `canvas`.
  void Add(const TCanvas* canvas, const TOutlinePlace& place);
  // Whether the places are every outline on `overlay`, drawn with pen width `pen`.
  bool Covers(const TBitmap* overlay, int pen) const;
  const std::vector<TOutlinePlace>& Places() const { return places_; }

 private:
  static constexpr std::size_t kMaxPlaces = 8;
  const TBitmap* bitmap_ = nullptr;
  int penWidth_ = 1;
  std::vector<TOutlinePlace> places_;
  bool overflowed_ = false;
};
