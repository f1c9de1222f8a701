// Planted: the core reaching up into the toolkit.
#include "toolkit/toolkit.h"
