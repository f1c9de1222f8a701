#include "core/bitmap_file_rows.h"

#include "core/bitmap_file_layout.h"
#include "core/cpu_features.h"
#include "core/pixel_format.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

using bmp::Get16;
using bmp::Get32;

namespace {

std::uint32_t Pixel24(const std::uint8_t* p) {
  return 0xFF000000u | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
}

#if defined(__x86_64__)
// The fast paths store past the cache: a loaded picture is far larger than it,
// and the stores then need not read the memory they overwrite. Each returns
// the pixels it did; the aligned part of the row, short of its last pixels.

// Four 24-bit pixels per step: 16 bytes loaded (12 used), blue, green and red
// shuffled into place, the top byte set. SSSE3 is on every x86-64 processor
// of the last fifteen years, but not in the baseline the compiler assumes.
__attribute__((target("ssse3"))) std::size_t Widen24Ssse3(const std::uint8_t* src, std::uint32_t* dst,
                                                          std::size_t n) {
  const __m128i shuffle = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
  const __m128i top = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  std::size_t x = 0;
  for (; x < n && (reinterpret_cast<std::uintptr_t>(dst + x) & 15) != 0; ++x) dst[x] = Pixel24(src + 3 * x);
  // Two pixels short of the end, so that no load reaches past the row.
  for (; x + 6 <= n; x += 4) {
    const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 3 * x));
    _mm_stream_si128(reinterpret_cast<__m128i*>(dst + x), _mm_or_si128(_mm_shuffle_epi8(in, shuffle), top));
  }
  _mm_sfence();
  return x;
}

std::size_t Copy32Sse2(const std::uint8_t* src, std::uint32_t* dst, std::size_t n) {
  const __m128i top = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  std::size_t x = 0;
  for (; x < n && (reinterpret_cast<std::uintptr_t>(dst + x) & 15) != 0; ++x)
    dst[x] = Get32(src + 4 * x) | 0xFF000000u;
  for (; x + 4 <= n; x += 4) {
    const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * x));
    _mm_stream_si128(reinterpret_cast<__m128i*>(dst + x), _mm_or_si128(in, top));
  }
  _mm_sfence();
  return x;
}
#endif

void Widen24(const std::uint8_t* src, std::uint32_t* dst, std::size_t n) {
  std::size_t x = 0;
#if defined(__x86_64__)
  if (CpuFeatures().ssse3) x = Widen24Ssse3(src, dst, n);
#endif
  // Four pixels from three little-endian words: B0 G0 R0 B1 | G1 R1 B2 G2 | R2 B3 G3 R3.
  for (; x + 4 <= n; x += 4) {
    const std::uint32_t a = Get32(src + 3 * x), b = Get32(src + 3 * x + 4), c = Get32(src + 3 * x + 8);
    dst[x] = 0xFF000000u | a;
    dst[x + 1] = 0xFF000000u | (a >> 24) | (b << 8);
    dst[x + 2] = 0xFF000000u | (b >> 16) | (c << 16);
    dst[x + 3] = 0xFF000000u | (c >> 8);
  }
  for (; x < n; ++x) dst[x] = Pixel24(src + 3 * x);
}

void Copy32(const std::uint8_t* src, std::uint32_t* dst, std::size_t n) {
  std::size_t x = 0;
#if defined(__x86_64__)
  x = Copy32Sse2(src, dst, n);
#endif
  for (; x < n; ++x) dst[x] = Get32(src + 4 * x) | 0xFF000000u;
}

}  // namespace

ChannelReader::ChannelReader(std::uint32_t mask) : mask_(mask) {
  const TMaskChannel c = DescribeMask(mask);
  shift_ = c.shift;
  bits_ = c.bits;
  if (bits_ <= 8)
    for (std::uint32_t v = 0; v < 256; ++v) narrow_[v] = ExpandChannel(v, bits_);
}

std::uint32_t ChannelReader::Expanded(std::uint32_t v) const {
  return ExpandChannel(v, bits_);
}

void RowDecoder::Decode(const std::uint8_t* src, std::uint32_t* dst, std::size_t n) const {
  switch (depth) {
    case 1:
      for (std::size_t x = 0; x < n; ++x) dst[x] = palette[(src[x >> 3] >> (7 - (x & 7))) & 1];
      break;
    case 4:
      for (std::size_t x = 0; x < n; ++x) dst[x] = palette[(src[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
      break;
    case 8:
      for (std::size_t x = 0; x < n; ++x) dst[x] = palette[src[x]];
      break;
    case 16:
      for (std::size_t x = 0; x < n; ++x) {
        const std::uint32_t p = Get16(src + 2 * x);
        dst[x] = 0xFF000000u | (red.Read(p) << 16) | (green.Read(p) << 8) | blue.Read(p);
      }
      break;
    case 24:
      Widen24(src, dst, n);
      break;
    default:  // 32
      if (plain32) {
        Copy32(src, dst, n);
        break;
      }
      for (std::size_t x = 0; x < n; ++x) {
        const std::uint32_t p = Get32(src + 4 * x);
        dst[x] = 0xFF000000u | (red.Read(p) << 16) | (green.Read(p) << 8) | blue.Read(p);
      }
  }
}
