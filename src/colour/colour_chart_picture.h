// The colour chart's picture, drawn by the program at start: a grey ramp, a
// colour disc with its shadow and a white swatch area, 150 x 174, 24-bit.
#pragma once

#include "core/surface.h"

constexpr int kChartWidth = 150;
constexpr int kChartHeight = 174;
// Where the chart shows the current colour (right and bottom excluded).
constexpr TRect kChartSwatch{4, 24, 22, 40};

// Replaces the bitmap's picture with the chart.
void DrawColourChart(TBitmap& bitmap);
