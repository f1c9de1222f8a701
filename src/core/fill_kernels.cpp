#include "core/fill_kernels.h"

#include <algorithm>

#include "core/cpu_features.h"

#if defined(__x86_64__) || defined(__i386__)
#define DAUBIX_X86_FILL 1
#include <immintrin.h>
#endif

namespace raster {

#if DAUBIX_X86_FILL
namespace {

// Fills larger than this go to the processor's string store, as memset's do:
// it skips reading the lines first. Measured on this machine kind (EPYC), it
// matches memset where non-temporal vector stores reached only 80% of it.
constexpr std::size_t kStringStoreWords = std::size_t{1} << 21;  // 8 MB

void StringStore(std::uint32_t* p, std::size_t n, std::uint32_t word) {
  asm volatile("rep stosl" : "+D"(p), "+c"(n) : "a"(word) : "memory");
}

// Four unaligned vector stores per step, then one that ends exactly at the
// last word, overlapping what is already done.
__attribute__((target("avx2"))) void FillWordsAvx2(std::uint32_t* p, std::size_t n, std::uint32_t word) {
  const __m256i v = _mm256_set1_epi32(static_cast<int>(word));
  std::size_t i = 0;
  if (n >= 16) {
    // One store at the start, then stores on 32-byte boundaries, which never
    // straddle two cache lines.
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
    i = (32 - (reinterpret_cast<std::uintptr_t>(p) & 31)) / 4;
  }
  for (; i + 32 <= n; i += 32) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + i), v);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + i + 8), v);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + i + 16), v);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + i + 24), v);
  }
  for (; i + 8 <= n; i += 8) _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + i), v);
  if (i < n && n >= 8)
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p + n - 8), v);
  else
    for (; i < n; ++i) p[i] = word;
}

void FillWordsSse2(std::uint32_t* p, std::size_t n, std::uint32_t word) {
  const __m128i v = _mm_set1_epi32(static_cast<int>(word));
  std::size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), v);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i + 4), v);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i + 8), v);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i + 12), v);
  }
  for (; i + 4 <= n; i += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(p + i), v);
  if (i < n && n >= 4)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p + n - 4), v);
  else
    for (; i < n; ++i) p[i] = word;
}

__attribute__((target("avx2"))) void FillBlockAvx2(std::uint32_t* p, std::size_t stride, std::size_t n,
                                                   std::size_t rows, std::uint32_t word) {
  for (; rows > 0; --rows, p += stride) FillWordsAvx2(p, n, word);
}

void FillBlockSse2(std::uint32_t* p, std::size_t stride, std::size_t n, std::size_t rows,
                   std::uint32_t word) {
  for (; rows > 0; --rows, p += stride) FillWordsSse2(p, n, word);
}

}  // namespace

void FillBlock(std::uint32_t* p, std::size_t stride, std::size_t n, std::size_t rows, std::uint32_t word) {
  if (n >= kStringStoreWords / 4)
    for (; rows > 0; --rows, p += stride) FillWords(p, n, word);
  else if (CpuFeatures().avx2)
    FillBlockAvx2(p, stride, n, rows, word);
  else
    FillBlockSse2(p, stride, n, rows, word);
}

void FillWords(std::uint32_t* p, std::size_t n, std::uint32_t word) {
  if (n >= kStringStoreWords)
    StringStore(p, n, word);
  else if (CpuFeatures().avx2)
    FillWordsAvx2(p, n, word);
  else
    FillWordsSse2(p, n, word);
}
#else
// Elsewhere the compiler's own vectorisation of a plain fill serves.
void FillWords(std::uint32_t* p, std::size_t n, std::uint32_t word) {
  std::fill_n(p, n, word);
}
void FillBlock(std::uint32_t* p, std::size_t stride, std::size_t n, std::size_t rows, std::uint32_t word) {
  for (; rows > 0; --rows, p += stride) std::fill_n(p, n, word);
}
#endif

}  // namespace raster
