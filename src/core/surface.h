// The raster model every window draws through: colours, rectangles, regions,
// bitmaps and their canvases.
#pragma once

#include "core/basics.h"
#include "core/bitmap.h"
#include "core/canvas.h"
#include "core/colour.h"
#include "core/region.h"
