// The brush's shape and its one geometry, shared by everything that shows or
// paints a brush: the canvas's dots, the cursor outline, the palette's dabs
// and the brush window's preview.
#pragma once

#include "core/surface.h"

// The brush shape; its value is the code a brush preset's caption stores.
enum class TBrushShape { Round = 0, Square = 1 };

// The box of a brush of `size` centred at (X, Y): size div 2 either side, so
// an odd size and the even size below it share a box, and size 1 has none.
TRect BrushBox(int X, int Y, int size);

// The shape filling `box` in the canvas's pen and brush colours: a disc drawn
// with the thinnest pen, which keeps it inside the box, or a filled square.
void StampBrush(TCanvas* canvas, TBrushShape shape, const TRect& box);

// The shape's outline on `box` in `colour`: an ellipse over the canvas brush
// as it is (a hollow brush leaves the inside alone), or a one-pixel frame.
// Leaves the pen colour, and for a square the brush colour, at `colour`.
void OutlineBrush(TCanvas* canvas, TBrushShape shape, const TRect& box, TColor colour);
