#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tbp::testkit {

// An 8x8 1-bit glyph: one byte per row from the top, bit 7 the leftmost pixel.
using Glyph = std::array<std::uint8_t, 8>;

inline constexpr int kFontStyles = 16;

// The letter shape of a printable ASCII character (32..127) in the plain style.
Glyph letterGlyph(char character);

// The same letter in one of 16 styles (0 plain, 1 bold, 2 italic, 3 inverse, ...).
Glyph styledLetterGlyph(char character, int style);

// Name of a style, at most 12 characters ("Standard", "Bold", ...).
std::string fontStyleName(int style);

// Symbol glyph i (0..127) of page 0 (A) or 1 (B): arrows, boxes, rings, diamonds and the like.
Glyph symbolGlyph(int page, int index);

}  // namespace tbp::testkit
