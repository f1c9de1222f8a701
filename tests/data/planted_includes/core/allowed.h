// Allowed everywhere it sits: the C++ and C libraries, POSIX, intrinsics, the core.
#include <immintrin.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "core/surface.h"
