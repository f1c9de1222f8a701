#pragma once

#include "brush/brush_window.h"
#include "core/surface.h"

// Two concentric outlines centred at (X, Y): black on the brush's box
// (X - h .. X + h, h = size div 2), silver one pixel inside. Expects the
// canvas brush white and pen width 1; leaves the brush as the rule leaves it.
void DrawBrushOutline(TCanvas* canvas, int X, int Y, int size, TBrushShape shape);
