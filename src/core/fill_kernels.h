// Stores of one word over a run of pixels: the one inner loop every shape,
// fill and line spends its time in.
#pragma once

#include <cstddef>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace raster {

// Stores `word` into p[0 .. n): vector stores, as wide as the processor has.
void FillWords(std::uint32_t* p, std::size_t n, std::uint32_t word);
// The same into `rows` runs of n words, `stride` words apart: a rectangle.
void FillBlock(std::uint32_t* p, std::size_t stride, std::size_t n, std::size_t rows, std::uint32_t word);

// The same for short runs, as thin lines and small shapes paint them, without a call.
inline void FillRun(std::uint32_t* p, int n, std::uint32_t word) {
#if defined(__SSE2__)
  if (n >= 4 && n <= 32) {
    // Four words a store; the last store ends at the run's end, overlapping.
    const __m128i v = _mm_set1_epi32(static_cast<int>(word));
    for (int i = 0; i < n - 4; i += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), v);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + n - 4), v);
    return;
  }
#endif
  if (n > 8) return FillWords(p, static_cast<std::size_t>(n), word);
  for (int i = 0; i < n; ++i) p[i] = word;
}

}  // namespace raster
