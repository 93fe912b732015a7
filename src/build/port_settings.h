#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "build/final_image.h"
#include "formats/bytes.h"
#include "port/port_image.h"

namespace tbp {

// The version written into, and the only one accepted from, a settings document.
inline constexpr int settingsVersion = 1;

// One edited glyph: font 0..15, or symbolPageA / symbolPageB; eight rows of eight pixels.
struct GlyphSetting {
  int font = 0;
  int glyph = 0;
  Bytes rows;
};

// The palette hint of one symbol of a symbol page.
struct HintSetting {
  int page = symbolPageA;
  int symbol = 0;
  int hint = 0;
};

// Audio chosen for an NES song; it plays MSU-1 track number `song`.
struct MsuSetting {
  int song = 0;
  std::string file;  // empty when the document does not name the audio (a saved ROM)
  bool loop = false;
  double loopStart = 0.0;  // seconds
};

// Every setting a port can take, as a settings document holds it. An unset member leaves the
// port as it is; switches, buttons and the lists hold only what the document names.
struct PortSettings {
  std::string game;  // the port the settings were taken from, for the reader's information
  std::vector<std::pair<std::string, bool>> switches;  // by switch key
  std::optional<int> paletteSlot;
  std::optional<int> chip;
  std::optional<RomSizeChoice> size;
  std::vector<std::pair<int, std::uint8_t>> buttons;  // SNES button index, map byte
  std::optional<int> turboCycle;
  std::optional<int> chordHold;
  std::vector<int> splashSoundsRemoved;  // slots 1 to 3
  std::vector<GlyphSetting> glyphs;
  std::vector<HintSetting> hints;
  std::vector<std::string> gameGenieCodes;
  std::vector<MsuSetting> msu;
};

// The settings of port. Glyphs and palette hints are listed where they differ from original
// (the port as its base patch builds it); every one of them is listed when original is null.
// Removed splash sounds are those original has and port has not (all missing ones without
// original). The MSU-1 songs are those the port plays from a track, without their audio.
PortSettings readPortSettings(const PortImage& port, const PortImage* original);

// Applies to port what it supports, in the order chip, music, switches, palette, buttons,
// timings, splash sounds, glyphs, hints, and returns one line per setting it skipped. The ROM
// size, the Game Genie codes and the audio files are for the caller, which writes the files.
// What the port refuses (a chip it cannot take, FastROM under a chip) is skipped, not thrown.
std::vector<std::string> applyPortSettings(PortImage& port, const PortSettings& settings);

// The document as JSON text, and back. Parsing throws std::runtime_error naming the fault:
// "settings: unknown key 'KEY'" (with its path), a wrong type or value, or a wrong version.
std::string writeSettingsJson(const PortSettings& settings);
PortSettings parseSettingsJson(const std::string& text);

// Names used in the document: chips ("none", "gsu1", "gsu2", "gsu2sp1", "sa1"), ROM sizes
// ("as-is", "smallest", "2mb", "4mb") and symbol pages ("symbols A", "symbols B").
const std::vector<std::pair<std::string, int>>& chipKeys();
const std::vector<std::pair<std::string, RomSizeChoice>>& romSizeKeys();
std::string fontKey(int font);

}  // namespace tbp
