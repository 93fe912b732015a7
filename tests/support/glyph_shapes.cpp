#include "support/glyph_shapes.h"

#include <cstdlib>
#include <stdexcept>

namespace tbp::testkit {
namespace {

// Printable ASCII 32..127 as 5x8 bitmaps: eight rows of five pixels, '#' = ink. The letters
// sit in columns 1..5 of the 8x8 cell; row 7 holds the descenders of g, j, p, q, y and ','.
constexpr const char* kLetters[96] = {
    "..... ..... ..... ..... ..... ..... ..... .....",  // space
    "..#.. ..#.. ..#.. ..#.. ..#.. ..... ..#.. .....",  // !
    ".#.#. .#.#. .#.#. ..... ..... ..... ..... .....",  // "
    ".#.#. .#.#. ##### .#.#. ##### .#.#. .#.#. .....",  // #
    "..#.. .#### #.#.. .###. ..#.# ####. ..#.. .....",  // $
    "##... ##..# ...#. ..#.. .#... #..## ...## .....",  // %
    ".##.. #..#. #.#.. .#... #.#.# #..#. .##.# .....",  // &
    "..#.. ..#.. .#... ..... ..... ..... ..... .....",  // '
    "...#. ..#.. .#... .#... .#... ..#.. ...#. .....",  // (
    ".#... ..#.. ...#. ...#. ...#. ..#.. .#... .....",  // )
    "..... ..#.. #.#.# .###. #.#.# ..#.. ..... .....",  // *
    "..... ..#.. ..#.. ##### ..#.. ..#.. ..... .....",  // +
    "..... ..... ..... ..... ..... .##.. ..#.. .#...",  // ,
    "..... ..... ..... ##### ..... ..... ..... .....",  // -
    "..... ..... ..... ..... ..... .##.. .##.. .....",  // .
    "..... ....# ...#. ..#.. .#... #.... ..... .....",  // /
    ".###. #...# #..## #.#.# ##..# #...# .###. .....",  // 0
    "..#.. .##.. ..#.. ..#.. ..#.. ..#.. .###. .....",  // 1
    ".###. #...# ....# ...#. ..#.. .#... ##### .....",  // 2
    "##### ...#. ..#.. ...#. ....# #...# .###. .....",  // 3
    "...#. ..##. .#.#. #..#. ##### ...#. ...#. .....",  // 4
    "##### #.... ####. ....# ....# #...# .###. .....",  // 5
    "..##. .#... #.... ####. #...# #...# .###. .....",  // 6
    "##### ....# ...#. ..#.. .#... .#... .#... .....",  // 7
    ".###. #...# #...# .###. #...# #...# .###. .....",  // 8
    ".###. #...# #...# .#### ....# ...#. .##.. .....",  // 9
    "..... .##.. .##.. ..... .##.. .##.. ..... .....",  // :
    "..... .##.. .##.. ..... .##.. ..#.. .#... .....",  // ;
    "...#. ..#.. .#... #.... .#... ..#.. ...#. .....",  // <
    "..... ..... ##### ..... ##### ..... ..... .....",  // =
    ".#... ..#.. ...#. ....# ...#. ..#.. .#... .....",  // >
    ".###. #...# ....# ...#. ..#.. ..... ..#.. .....",  // ?
    ".###. #...# ....# .##.# #.#.# #.#.# .###. .....",  // @
    ".###. #...# #...# ##### #...# #...# #...# .....",  // A
    "####. #...# #...# ####. #...# #...# ####. .....",  // B
    ".###. #...# #.... #.... #.... #...# .###. .....",  // C
    "###.. #..#. #...# #...# #...# #..#. ###.. .....",  // D
    "##### #.... #.... ####. #.... #.... ##### .....",  // E
    "##### #.... #.... ####. #.... #.... #.... .....",  // F
    ".###. #...# #.... #.### #...# #...# .#### .....",  // G
    "#...# #...# #...# ##### #...# #...# #...# .....",  // H
    ".###. ..#.. ..#.. ..#.. ..#.. ..#.. .###. .....",  // I
    "..### ...#. ...#. ...#. ...#. #..#. .##.. .....",  // J
    "#...# #..#. #.#.. ##... #.#.. #..#. #...# .....",  // K
    "#.... #.... #.... #.... #.... #.... ##### .....",  // L
    "#...# ##.## #.#.# #.#.# #...# #...# #...# .....",  // M
    "#...# #...# ##..# #.#.# #..## #...# #...# .....",  // N
    ".###. #...# #...# #...# #...# #...# .###. .....",  // O
    "####. #...# #...# ####. #.... #.... #.... .....",  // P
    ".###. #...# #...# #...# #.#.# #..#. .##.# .....",  // Q
    "####. #...# #...# ####. #.#.. #..#. #...# .....",  // R
    ".#### #.... #.... .###. ....# ....# ####. .....",  // S
    "##### ..#.. ..#.. ..#.. ..#.. ..#.. ..#.. .....",  // T
    "#...# #...# #...# #...# #...# #...# .###. .....",  // U
    "#...# #...# #...# #...# #...# .#.#. ..#.. .....",  // V
    "#...# #...# #...# #.#.# #.#.# #.#.# .#.#. .....",  // W
    "#...# #...# .#.#. ..#.. .#.#. #...# #...# .....",  // X
    "#...# #...# .#.#. ..#.. ..#.. ..#.. ..#.. .....",  // Y
    "##### ....# ...#. ..#.. .#... #.... ##### .....",  // Z
    ".###. .#... .#... .#... .#... .#... .###. .....",  // [
    "..... #.... .#... ..#.. ...#. ....# ..... .....",  // backslash
    ".###. ...#. ...#. ...#. ...#. ...#. .###. .....",  // ]
    "..#.. .#.#. #...# ..... ..... ..... ..... .....",  // ^
    "..... ..... ..... ..... ..... ..... ##### .....",  // _
    ".#... ..#.. ...#. ..... ..... ..... ..... .....",  // `
    "..... ..... .###. ....# .#### #...# .#### .....",  // a
    "#.... #.... #.##. ##..# #...# #...# ####. .....",  // b
    "..... ..... .###. #.... #.... #...# .###. .....",  // c
    "....# ....# .##.# #..## #...# #...# .#### .....",  // d
    "..... ..... .###. #...# ##### #.... .###. .....",  // e
    "..##. .#..# .#... ###.. .#... .#... .#... .....",  // f
    "..... ..... .#### #...# #...# .#### ....# .###.",  // g
    "#.... #.... #.##. ##..# #...# #...# #...# .....",  // h
    "..#.. ..... .##.. ..#.. ..#.. ..#.. .###. .....",  // i
    "...#. ..... ..##. ...#. ...#. ...#. #..#. .##..",  // j
    "#.... #.... #..#. #.#.. ##... #.#.. #..#. .....",  // k
    ".##.. ..#.. ..#.. ..#.. ..#.. ..#.. .###. .....",  // l
    "..... ..... ##.#. #.#.# #.#.# #...# #...# .....",  // m
    "..... ..... #.##. ##..# #...# #...# #...# .....",  // n
    "..... ..... .###. #...# #...# #...# .###. .....",  // o
    "..... ..... ####. #...# #...# ####. #.... #....",  // p
    "..... ..... .#### #...# #...# .#### ....# ....#",  // q
    "..... ..... #.##. ##..# #.... #.... #.... .....",  // r
    "..... ..... .#### #.... .###. ....# ####. .....",  // s
    ".#... .#... ###.. .#... .#... .#..# ..##. .....",  // t
    "..... ..... #...# #...# #...# #..## .##.# .....",  // u
    "..... ..... #...# #...# #...# .#.#. ..#.. .....",  // v
    "..... ..... #...# #...# #.#.# #.#.# .#.#. .....",  // w
    "..... ..... #...# .#.#. ..#.. .#.#. #...# .....",  // x
    "..... ..... #...# #...# #...# .#### ....# .###.",  // y
    "..... ..... ##### ...#. ..#.. .#... ##### .....",  // z
    "...#. ..#.. ..#.. .#... ..#.. ..#.. ...#. .....",  // {
    "..#.. ..#.. ..#.. ..#.. ..#.. ..#.. ..#.. .....",  // |
    ".#... ..#.. ..#.. ...#. ..#.. ..#.. .#... .....",  // }
    "..... ..... .#... #.#.# ...#. ..... ..... .....",  // ~
    "#.#.# .#.#. #.#.# .#.#. #.#.# .#.#. #.#.# .....",  // DEL as a shaded block
};

constexpr const char* kStyleNames[kFontStyles] = {
    "Standard",    "Bold",         "Italic",     "Inverse",    "Underline", "Shadow",
    "Bold Italic", "Bold Inverse", "Inv Italic", "Bold Under", "Mirror",    "Upside Down",
    "Mirror Bold", "Upside Bold",  "Dotted",     "Hollow"};

Glyph parseLetter(const char* rows) {
  Glyph glyph{};
  int row = 0;
  int column = 0;
  for (const char* p = rows; *p != '\0'; ++p) {
    if (*p == ' ') {
      ++row;
      column = 0;
      continue;
    }
    if (*p == '#')
      glyph[static_cast<std::size_t>(row)] |= static_cast<std::uint8_t>(0x40 >> column);
    ++column;
  }
  return glyph;
}

std::uint8_t reverseBits(std::uint8_t b) {
  std::uint8_t r = 0;
  for (int i = 0; i < 8; ++i) r = static_cast<std::uint8_t>(r | ((b >> i) & 1) << (7 - i));
  return r;
}

Glyph bold(Glyph g) {
  for (auto& row : g) row = static_cast<std::uint8_t>(row | row >> 1);
  return g;
}

Glyph italic(Glyph g) {
  for (std::size_t r = 0; r < 3; ++r) g[r] = static_cast<std::uint8_t>(g[r] >> 1);
  for (std::size_t r = 5; r < 8; ++r) g[r] = static_cast<std::uint8_t>(g[r] << 1);
  return g;
}

Glyph inverse(Glyph g) {
  for (auto& row : g) row = static_cast<std::uint8_t>(~row);
  return g;
}

Glyph underline(Glyph g) {
  g[7] = static_cast<std::uint8_t>(g[7] | 0x7E);
  return g;
}

Glyph shadow(Glyph g) {
  Glyph out = g;
  for (std::size_t r = 1; r < 8; ++r) out[r] = static_cast<std::uint8_t>(out[r] | g[r - 1] >> 1);
  return out;
}

Glyph mirror(Glyph g) {
  for (auto& row : g) row = reverseBits(row);
  return g;
}

Glyph upsideDown(Glyph g) { return {g[7], g[6], g[5], g[4], g[3], g[2], g[1], g[0]}; }

Glyph dotted(Glyph g) {
  for (std::size_t r = 0; r < 8; ++r) g[r] &= (r % 2 == 0) ? 0xAA : 0x55;
  return g;
}

// Keeps only the ink pixels that touch paper on some side: an outlined letter.
Glyph hollow(Glyph g) {
  Glyph fat = bold(g);
  Glyph out{};
  for (std::size_t r = 0; r < 8; ++r) {
    const std::uint8_t above = r > 0 ? fat[r - 1] : 0;
    const std::uint8_t below = r < 7 ? fat[r + 1] : 0;
    const std::uint8_t inner =
        static_cast<std::uint8_t>(fat[r] & fat[r] << 1 & fat[r] >> 1 & above & below);
    out[r] = static_cast<std::uint8_t>(fat[r] & ~inner);
  }
  return out;
}

}  // namespace

Glyph letterGlyph(char character) {
  const int code = static_cast<unsigned char>(character);
  if (code < 32 || code > 127) throw std::out_of_range("letterGlyph: not printable ASCII");
  return parseLetter(kLetters[code - 32]);
}

Glyph styledLetterGlyph(char character, int style) {
  const Glyph g = letterGlyph(character);
  switch (style) {
    case 0:
      return g;
    case 1:
      return bold(g);
    case 2:
      return italic(g);
    case 3:
      return inverse(g);
    case 4:
      return underline(g);
    case 5:
      return shadow(g);
    case 6:
      return italic(bold(g));
    case 7:
      return inverse(bold(g));
    case 8:
      return inverse(italic(g));
    case 9:
      return underline(bold(g));
    case 10:
      return mirror(g);
    case 11:
      return upsideDown(g);
    case 12:
      return mirror(bold(g));
    case 13:
      return upsideDown(bold(g));
    case 14:
      return dotted(bold(g));
    case 15:
      return hollow(g);
    default:
      throw std::out_of_range("styledLetterGlyph: style 0..15");
  }
}

std::string fontStyleName(int style) {
  if (style < 0 || style >= kFontStyles) throw std::out_of_range("fontStyleName: style 0..15");
  return kStyleNames[style];
}

// Eight shape families at four sizes, each drawn plain, hollow, turned half round or inverted;
// page B draws them mirrored with a frame so the two pages differ everywhere.
Glyph symbolGlyph(int page, int index) {
  if (page < 0 || page > 1 || index < 0 || index > 127)
    throw std::out_of_range("symbolGlyph: page 0..1, index 0..127");
  const int family = index % 8;
  const int size = 1 + (index / 8) % 4;
  const int modifier = index / 32;
  Glyph g{};
  for (int y = 0; y < 8; ++y) {
    for (int x = 0; x < 8; ++x) {
      const int ax = std::abs(2 * x - 7);  // distance from the centre, doubled to stay integral
      const int ay = std::abs(2 * y - 7);
      const int r = 2 * size;
      bool ink = false;
      switch (family) {
        case 0:
          ink = ax <= r - 1 && ay <= r - 1;
          break;  // box
        case 1:
          ink = ax * ax + ay * ay <= r * r + 1;
          break;  // disc
        case 2:
          ink = ax + ay <= r + 1;
          break;  // diamond
        case 3:
          ink = (ax <= 1 && ay <= r + 1) || (ay <= 1 && ax <= r + 1);
          break;  // plus
        case 4:
          ink = std::abs(ax - ay) <= 1 && ax <= r + 1;
          break;  // cross
        case 5:
          ink = y >= 8 - 2 * size && ax <= 2 * (y - (8 - 2 * size)) + 1;
          break;  // triangle
        case 6:
          ink = x <= 2 * size - 1 && ay <= 2 * x + 1;
          break;  // arrow head
        default:
          ink = (x + y) % (size + 1) == 0;
          break;  // stripes
      }
      if (ink) g[static_cast<std::size_t>(y)] |= static_cast<std::uint8_t>(0x80 >> x);
    }
  }
  if (modifier == 1) g = hollow(g);
  if (modifier == 2) g = mirror(upsideDown(g));
  if (modifier == 3) g = inverse(g);
  if (page == 1) {
    g = mirror(g);
    g[0] = 0xFF;
    g[7] = 0xFF;
  }
  return g;
}

}  // namespace tbp::testkit
