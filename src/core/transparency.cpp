#include "core/transparency.h"

#include "core/cpu_features.h"

#if defined(__x86_64__) || defined(__i386__)
#define DAUBIX_X86_KEY 1
#include <immintrin.h>
#endif

namespace {

std::uint32_t Keyed(std::uint32_t word, std::uint32_t key) {
  const std::uint32_t rgb = word & 0xFFFFFFu;
  return rgb == key ? 0u : 0xFF000000u | rgb;
}

void ToKeyedArgbPlain(const std::uint32_t* from, std::uint32_t* to, std::size_t n, std::uint32_t key) {
  for (std::size_t i = 0; i < n; ++i) to[i] = Keyed(from[i], key);
}

#if DAUBIX_X86_KEY
// Eight pixels a step: colour = word | alpha; equal to key | alpha means transparent.
__attribute__((target("avx2"))) void ToKeyedArgbAvx2(const std::uint32_t* from, std::uint32_t* to,
                                                     std::size_t n, std::uint32_t key) {
  const __m256i alpha = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
  const __m256i opaqueKey = _mm256_set1_epi32(static_cast<int>(0xFF000000u | key));
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    const __m256i colour =
        _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + i)), alpha);
    const __m256i isKey = _mm256_cmpeq_epi32(colour, opaqueKey);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + i), _mm256_andnot_si256(isKey, colour));
  }
  ToKeyedArgbPlain(from + i, to + i, n - i, key);
}

void ToKeyedArgbSse2(const std::uint32_t* from, std::uint32_t* to, std::size_t n, std::uint32_t key) {
  const __m128i alpha = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  const __m128i opaqueKey = _mm_set1_epi32(static_cast<int>(0xFF000000u | key));
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    const __m128i colour = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i)), alpha);
    const __m128i isKey = _mm_cmpeq_epi32(colour, opaqueKey);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), _mm_andnot_si128(isKey, colour));
  }
  ToKeyedArgbPlain(from + i, to + i, n - i, key);
}
#endif

}  // namespace

void ToKeyedArgb(const std::uint32_t* from, std::uint32_t* to, std::size_t n, std::uint32_t key) {
  key &= 0xFFFFFFu;
#if DAUBIX_X86_KEY
  if (CpuFeatures().avx2)
    ToKeyedArgbAvx2(from, to, n, key);
  else
    ToKeyedArgbSse2(from, to, n, key);
#else
  ToKeyedArgbPlain(from, to, n, key);
#endif
}
