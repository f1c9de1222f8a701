// Colours as the program names them and as bitmaps store them.
#pragma once

#include <cstdint>

// 0x00BBGGRR; a value with the top bit set names a system colour by its low byte.
using TColor = std::int32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clDefault = 0x20000000;
constexpr TColor clBtnFace = static_cast<TColor>(0xFF00000F);
constexpr TColor clWindowText = static_cast<TColor>(0xFF000008);

// Stored word 0xFFRRGGBB <-> TColor 0x00BBGGRR.
inline std::uint32_t ColorToWord(TColor c) {
  const auto u = static_cast<std::uint32_t>(c);
  return 0xFF000000u | ((u & 0xFFu) << 16) | (u & 0xFF00u) | ((u >> 16) & 0xFFu);
}
inline TColor WordToColor(std::uint32_t w) {
  return static_cast<TColor>(((w & 0xFFu) << 16) | (w & 0xFF00u) | ((w >> 16) & 0xFFu));
}

// Resolves system colours: a plain 0x00BBGGRR colour, never with the top bit set.
TColor ColorToRGB(TColor c);
