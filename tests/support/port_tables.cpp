#include <stdexcept>

#include "support/glyph_shapes.h"
#include "support/port_parts.h"
#include "support/random.h"

namespace tbp::testkit::detail {
namespace {

constexpr std::size_t kFontBytes = 96 * 8;
constexpr std::size_t kFontEntry = 16;
constexpr std::size_t kSplashSampleLengths[2] = {0x480, 0x360};
constexpr std::uint8_t kSplashPitches[2] = {0x40, 0x38};

// BRR sound data: 9-byte blocks (a header, then 16 four-bit samples) of a plain square-ish wave;
// the last block carries the end flag.
tbp::Bytes brrSample(std::size_t length, std::uint32_t seed) {
  Random random(seed, 0xB88);
  tbp::Bytes sample(length, 0);
  for (std::size_t block = 0; block + 9 <= length; block += 9) {
    const bool last = block + 18 > length;
    sample[block] = static_cast<std::uint8_t>(0xB0 | (last ? 0x01 : 0x00));
    for (std::size_t i = 1; i < 9; ++i)
      sample[block + i] =
          static_cast<std::uint8_t>(((block / 9) % 4 < 2 ? 0x77 : 0x99) ^ (random.below(4) << 4));
  }
  return sample;
}

// One of 64 NES colours as SNES BGR555: hue from the low nibble, brightness from the high one.
std::uint16_t nesColour(int entry, int table) {
  const int hue = entry & 0x0F;
  const int luma = (entry >> 4) & 3;
  if (hue >= 0x0E) return 0;  // the NES blacks
  int r = 6 + luma * 7, g = 6 + luma * 7, b = 6 + luma * 7;
  if (hue != 0 && hue != 0x0D) {
    const int swing = 4 + luma * 2;
    r += (hue >= 4 && hue <= 8) ? swing : -swing / 2;
    g += (hue >= 7 && hue <= 11) ? swing : -swing / 2;
    b += (hue <= 3 || hue >= 11) ? swing : -swing / 2;
  }
  // Tables differ by a warm or cool tint, as the port's alternative colour sets do.
  r += (table & 1) ? 2 : 0;
  b += (table & 2) ? 2 : 0;
  g -= (table & 4) ? 1 : 0;
  auto clamp = [](int v) { return v < 0 ? 0 : v > 31 ? 31 : v; };
  return static_cast<std::uint16_t>(clamp(r) | clamp(g) << 5 | clamp(b) << 10);
}

}  // namespace

void writeFonts(tbp::Bytes& image, const PortOptions& options, const PortPlaces& places) {
  if (places.fontTable == 0) return;
  for (int f = 0; f < options.fontCount; ++f) {
    for (int g = 0; g < 96; ++g) {
      const Glyph glyph = styledLetterGlyph(static_cast<char>(32 + g), f);
      putBytes(image, places.fonts + f * kFontBytes + g * 8,
               tbp::Bytes(glyph.begin(), glyph.end()));
    }
    std::string name = fontStyleName(f);
    name.resize(12, ' ');
    const std::size_t entry = places.fontTable + f * kFontEntry;
    putText(image, entry, name);
    // The engine's part of the entry: cell width, height, font number and a spare byte.
    putBytes(image, entry + 12, {8, 8, static_cast<std::uint8_t>(f), 0});
  }
}

void writeSymbols(tbp::Bytes& image, const PortPlaces& places) {
  const std::size_t pages[2] = {places.symbolsA, places.symbolsB};
  const std::size_t hints[2] = {places.symbolsAHints, places.symbolsBHints};
  for (int page = 0; page < 2; ++page) {
    if (pages[page] == 0) continue;
    for (int i = 0; i < 128; ++i) {
      const Glyph glyph = symbolGlyph(page, i);
      putBytes(image, pages[page] + i * 8, tbp::Bytes(glyph.begin(), glyph.end()));
      // Hints are colour rows 0..7; the engine keeps flags in the upper bits of the byte.
      const int hint = page == 0 ? (i / 8) % 8 : (i * 3) % 8;
      putByte(image, hints[page] + i, static_cast<std::uint8_t>(hint | (i % 3 == 0 ? 0x40 : 0)));
    }
  }
}

void writeSplash(tbp::Bytes& image, const PortOptions& options, const PortPlaces& places) {
  if (places.splashTable != 0) {
    // Three splash screens: picture offset (24 bits), width and height in tiles, frames shown.
    for (std::size_t slot = 0; slot < 3; ++slot) {
      const std::size_t entry = places.splashTable + slot * 16;
      putLong(image, entry, static_cast<std::uint32_t>(0x00C000 + slot * 0x400));
      putBytes(image, entry + 3, {32, 28});
      putWord(image, entry + 5, static_cast<std::uint16_t>(180 + slot * 60));
    }
  }
  if (places.splashSound == 0) return;
  for (std::size_t slot = 0; slot < 3; ++slot) {
    const std::size_t entry = places.splashSound + slot * 8;
    const std::size_t sample = slot < places.splashSamples.size() ? places.splashSamples[slot] : 0;
    if (sample == 0) continue;  // an empty slot stays all zero
    putLong(image, entry, static_cast<std::uint32_t>(sample));
    putWord(image, entry + 3, static_cast<std::uint16_t>(kSplashSampleLengths[slot]));
    putByte(image, entry + 5, kSplashPitches[slot]);
    putBytes(image, sample, brrSample(kSplashSampleLengths[slot], options.seed + slot));
  }
}

void writePalettes(tbp::Bytes& image, const PortPlaces& places) {
  if (places.paletteLuts == 0) return;
  for (int table = 0; table < 8; ++table)
    for (int entry = 0; entry < 64; ++entry)
      putWord(image, places.paletteLuts + (table * 64 + entry) * 2, nesColour(entry, table));
}

void writeConfig(tbp::Bytes& image, const PortOptions& options, const PortPlaces& places) {
  if (places.config == 0) return;
  const std::size_t at = places.config;
  putText(image, at, "CFG1");
  putBytes(image, at + 4, {4, 30, 16, 2, 0x7E, 0x20, 0x00, 0x40, 0x00});
  putByte(image, at + 13, options.chip == 4 ? 1 : 0);
  putByte(image, at + 14, static_cast<std::uint8_t>(places.imageSize >> 15));
  const bool slow = !options.fastRom;
  putByte(image, at + 15,
          options.chip == 0 ? 0 : static_cast<std::uint8_t>((slow ? 0x80 : 0) | options.chip));
  // Bytes 16..31 belong to the engine: a version stamp and reserved settings.
  putBytes(image, at + 16, {1, 4, 0, 0, 0x5A, 0xA5, 0x3C, 0xC3, 0, 0, 0, 0, 0, 0, 0, 0});
}

void writeMsuTables(tbp::Bytes& image, const PortOptions& options, const PortPlaces& places) {
  if (places.msuTracks == 0) return;
  for (std::size_t i = 0; i < 64; ++i) {
    putByte(image, places.msuTracks + i, 0xFF);  // sound effects: never a track
    putByte(image, places.msuLoops + i, 0);
  }
  for (const SongName& song : options.msuSongs) {
    if (song.index < 0 || song.index > 63) throw std::invalid_argument("an MSU-1 song is 0..63");
    putByte(image, places.msuTracks + static_cast<std::size_t>(song.index), 0xFE);
    putByte(image, places.msuLoops + static_cast<std::size_t>(song.index), song.loops ? 1 : 0);
  }
}

}  // namespace tbp::testkit::detail
