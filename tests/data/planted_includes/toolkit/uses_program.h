// Planted: the toolkit reaching up into the program.
#include <QWidget>

#include "canvas/canvas_window.h"
#include "core/surface.h"
