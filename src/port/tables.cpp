// Fonts, font names, symbol pages and symbol hints.
#include <algorithm>
#include <stdexcept>

#include "port/byte_access.h"
#include "port/port_image.h"

namespace tbp {

namespace {

constexpr int maxFonts = 16;
constexpr int fontGlyphs = 96;
constexpr int symbolGlyphs = 128;
constexpr std::size_t glyphBytes = 8;
constexpr std::size_t fontBytes = fontGlyphs * glyphBytes;
constexpr std::size_t fontEntryBytes = 16;
constexpr std::size_t fontNameBytes = 12;

bool isSymbolPage(int id) { return id == symbolPageA || id == symbolPageB; }

bool printable(std::uint8_t c) { return c >= 0x20 && c <= 0x7E; }

std::size_t hintsOffset(const PortLayout& layout, int page) {
  if (page == symbolPageA) {
    return layout.symbolsAHints;
  }
  return page == symbolPageB ? layout.symbolsBHints : 0;
}

}  // namespace

int glyphsPerFont(int fontId) { return isSymbolPage(fontId) ? symbolGlyphs : fontGlyphs; }

bool PortImage::hasFonts() const {
  const PortLayout& l = layout();
  if (l.fonts == 0 || l.fontTable == 0 || !detail::fits(bytes_, l.fontTable, fontEntryBytes)) {
    return false;
  }
  const auto name = bytes_.begin() + static_cast<std::ptrdiff_t>(l.fontTable);
  return std::all_of(name, name + fontNameBytes, printable);
}

int PortImage::fontCount() const {
  if (!hasFonts()) {
    return 0;
  }
  const std::size_t table = layout().fontTable;
  for (int f = 0; f < maxFonts; ++f) {
    const std::size_t entry = table + static_cast<std::size_t>(f) * fontEntryBytes;
    // An entry cut off by the image end ends the list like an end marker.
    if (!detail::fits(bytes_, entry, fontEntryBytes) || bytes_[entry] == 0x00 ||
        bytes_[entry] == 0xFF) {
      return f;
    }
  }
  return maxFonts;
}

std::string PortImage::fontName(int font) const {
  if (font < 0 || font >= maxFonts || !hasFonts()) {
    return {};
  }
  const std::size_t entry = layout().fontTable + static_cast<std::size_t>(font) * fontEntryBytes;
  if (!detail::fits(bytes_, entry, fontNameBytes)) {
    return {};
  }
  const auto first = bytes_.begin() + static_cast<std::ptrdiff_t>(entry);
  std::string name(first, first + fontNameBytes);
  while (!name.empty() && name.back() == ' ') {
    name.pop_back();
  }
  return name;
}

std::size_t PortImage::glyphOffset(int font, int glyph) const {
  if (glyph < 0) {
    throw std::out_of_range("glyph index");
  }
  const PortLayout& l = layout();
  if (isSymbolPage(font)) {
    if (glyph >= symbolGlyphs) {
      throw std::out_of_range("glyph index");
    }
    const std::size_t page = font == symbolPageA ? l.symbolsA : l.symbolsB;
    if (page == 0) {
      throw std::runtime_error(font == symbolPageA ? "this port has no symbol page A"
                                                   : "this port has no symbol page B");
    }
    return page + static_cast<std::size_t>(glyph) * glyphBytes;
  }
  if (glyph >= fontGlyphs) {
    throw std::out_of_range("glyph index");
  }
  if (font < 0 || !hasFonts() || font >= fontCount()) {
    throw std::out_of_range("font id");
  }
  return l.fonts + static_cast<std::size_t>(font) * fontBytes +
         static_cast<std::size_t>(glyph) * glyphBytes;
}

Bytes PortImage::glyph(int font, int glyph) const {
  const std::size_t offset = glyphOffset(font, glyph);
  detail::requireFits(bytes_, offset, glyphBytes);
  const auto first = bytes_.begin() + static_cast<std::ptrdiff_t>(offset);
  return Bytes(first, first + glyphBytes);
}

void PortImage::setGlyph(int font, int glyph, const Bytes& rows) {
  const std::size_t offset = glyphOffset(font, glyph);
  const std::size_t count = std::min(rows.size(), glyphBytes);
  detail::requireFits(bytes_, offset, count);
  std::copy_n(rows.begin(), count, bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
}

int PortImage::symbolHint(int page, int symbol) const {
  const std::size_t hints = hintsOffset(layout(), page);
  if (hints == 0 || symbol < 0 || symbol >= symbolGlyphs ||
      !detail::fits(bytes_, hints + static_cast<std::size_t>(symbol), 1)) {
    return 0;
  }
  return bytes_[hints + static_cast<std::size_t>(symbol)] & 7;
}

void PortImage::setSymbolHint(int page, int symbol, int value) {
  const std::size_t hints = hintsOffset(layout(), page);
  if (hints == 0 || symbol < 0 || symbol >= symbolGlyphs ||
      !detail::fits(bytes_, hints + static_cast<std::size_t>(symbol), 1)) {
    return;
  }
  bytes_[hints + static_cast<std::size_t>(symbol)] = static_cast<std::uint8_t>(value & 7);
}

}  // namespace tbp
