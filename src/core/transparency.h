// Pixel rows as a display draws a transparent bitmap: premultiplied ARGB in
// which the key colour's pixels are fully transparent and all others opaque.
#pragma once

#include <cstddef>
#include <cstdint>

// to[i] = 0 where from[i]'s colour (its low 24 bits) is key's, else
// from[i]'s colour with alpha 0xFF. The top byte of from[i] plays no part.
void ToKeyedArgb(const std::uint32_t* from, std::uint32_t* to, std::size_t n, std::uint32_t key);
