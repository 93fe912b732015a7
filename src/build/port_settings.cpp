// Reading a port's settings into a settings document and applying one to a port.
#include "build/port_settings.h"

#include <stdexcept>

#include "port/button_map.h"

namespace tbp {
namespace {

constexpr int kMsuSwitch = 12;

// The fonts and symbol pages whose glyphs the port can give, each with its glyph count.
std::vector<int> glyphSets(const PortImage& port) {
  std::vector<int> sets;
  for (int font = 0; font < port.fontCount(); ++font) sets.push_back(font);
  if (port.layout().symbolsA != 0) sets.push_back(symbolPageA);
  if (port.layout().symbolsB != 0) sets.push_back(symbolPageB);
  return sets;
}

// The glyph, or nothing when the image cannot give it (another game's port, a short image).
std::optional<Bytes> glyphOf(const PortImage& image, int font, int glyph) {
  try {
    return image.glyph(font, glyph);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

void readGlyphs(const PortImage& port, const PortImage* original, PortSettings& settings) {
  for (const int font : glyphSets(port))
    for (int glyph = 0; glyph < glyphsPerFont(font); ++glyph) {
      const std::optional<Bytes> rows = glyphOf(port, font, glyph);
      if (rows && (!original || glyphOf(*original, font, glyph) != rows))
        settings.glyphs.push_back({font, glyph, *rows});
    }
}

void readHints(const PortImage& port, const PortImage* original, PortSettings& settings) {
  const std::pair<int, std::size_t> pages[] = {{symbolPageA, port.layout().symbolsAHints},
                                               {symbolPageB, port.layout().symbolsBHints}};
  for (const auto& [page, offset] : pages) {
    if (offset == 0) continue;
    for (int symbol = 0; symbol < glyphsPerFont(page); ++symbol) {
      const int hint = port.symbolHint(page, symbol);
      if (!original || original->symbolHint(page, symbol) != hint)
        settings.hints.push_back({page, symbol, hint});
    }
  }
}

void readMusic(const PortImage& port, const PortImage* original, PortSettings& settings) {
  for (const MsuSong& song : port.msuSongs()) {
    const int track = port.msuTrack(song.index);
    const bool loop = port.msuLoop(song.index);
    const bool own = original && original->msuTrack(song.index) == track &&
                     original->msuLoop(song.index) == loop;
    if (track >= 0 && !own) settings.msu.push_back({song.index, "", loop, 0.0});
  }
}

void readControls(const PortImage& port, PortSettings& settings) {
  for (int button = 0; button < snesButtonCount; ++button)
    settings.buttons.emplace_back(button, port.buttonAction(button));
  if (port.hasConfig()) {
    settings.turboCycle = port.turboCycle();
    settings.chordHold = port.chordHold();
  }
}

bool supportsGlyph(const PortImage& port, const GlyphSetting& glyph) {
  if (glyph.glyph < 0 || glyph.glyph >= glyphsPerFont(glyph.font)) return false;
  return glyphOf(port, glyph.font, glyph.glyph).has_value();
}

bool supportsHints(const PortImage& port, int page) {
  return (page == symbolPageA ? port.layout().symbolsAHints : port.layout().symbolsBHints) != 0;
}

// Where a switch key names no switch of this port, the skip names why.
void applySwitches(PortImage& port, const PortSettings& settings,
                   std::vector<std::string>& skipped) {
  for (const auto& [key, on] : settings.switches) {
    const SwitchInfo* info = nullptr;
    for (const SwitchInfo& known : switchTable())
      if (key == known.key) info = &known;
    if (!info || !port.supportsSwitch(info->bit)) {
      skipped.push_back("switch " + key + ": this port does not offer it");
      continue;
    }
    try {
      port.setSwitch(info->bit, on);
    } catch (const std::runtime_error& refusal) {
      skipped.push_back("switch " + key + ": " + refusal.what());
    }
  }
}

void applyMusic(PortImage& port, const PortSettings& settings, std::vector<std::string>& skipped) {
  for (const MsuSetting& music : settings.msu) {
    bool named = false;
    for (const MsuSong& song : port.msuSongs()) named = named || song.index == music.song;
    if (!port.hasMsu1() || !named) {
      skipped.push_back("MSU-1 song " + std::to_string(music.song) + ": this port has no such song");
      continue;
    }
    // As the Music page does when audio is chosen for a song.
    port.setMsuTrack(music.song, music.song);
    port.setMsuLoop(music.song, music.loop);
    port.setSwitch(kMsuSwitch, true);
  }
}

void applyControls(PortImage& port, const PortSettings& settings,
                   std::vector<std::string>& skipped) {
  if (!settings.buttons.empty() && !port.isPort()) skipped.push_back("buttons: this is no port");
  if (port.isPort())
    for (const auto& [button, action] : settings.buttons) port.setButtonAction(button, action);
  const bool timings = settings.turboCycle || settings.chordHold;
  if (timings && !port.hasConfig()) skipped.push_back("turbo and chord: this port has no timings");
  if (settings.turboCycle && port.hasConfig()) port.setTurboCycle(*settings.turboCycle);
  if (settings.chordHold && port.hasConfig()) port.setChordHold(*settings.chordHold);
}

void applySplash(PortImage& port, const PortSettings& settings,
                 std::vector<std::string>& skipped) {
  for (const int slot : settings.splashSoundsRemoved) {
    if (slot < 1 || slot > PortImage::kSplashSoundSlots || !port.hasSplashSounds()) {
      skipped.push_back("splash sound " + std::to_string(slot) + ": this port has no such slot");
      continue;
    }
    // As on the Splash & Sound page, a slot without a sound has nothing to remove.
    if (port.splashSoundPresent(slot - 1)) port.clearSplashSound(slot - 1);
  }
}

void applyFonts(PortImage& port, const PortSettings& settings,
                std::vector<std::string>& skipped) {
  for (const GlyphSetting& glyph : settings.glyphs) {
    if (!supportsGlyph(port, glyph) || glyph.rows.size() != 8) {
      skipped.push_back("glyph " + std::to_string(glyph.glyph) + " of " + fontKey(glyph.font) +
                        ": this port has no such glyph");
      continue;
    }
    port.setGlyph(glyph.font, glyph.glyph, glyph.rows);
  }
  for (const HintSetting& hint : settings.hints) {
    if (!supportsHints(port, hint.page) || hint.symbol < 0 ||
        hint.symbol >= glyphsPerFont(hint.page)) {
      skipped.push_back("palette hint " + std::to_string(hint.symbol) + " of " +
                        fontKey(hint.page) + ": this port has no such symbol");
      continue;
    }
    // The hint byte's upper bits are the engine's own: a hint that is already set stays unwritten.
    if (port.symbolHint(hint.page, hint.symbol) != hint.hint)
      port.setSymbolHint(hint.page, hint.symbol, hint.hint);
  }
}

}  // namespace

std::string fontKey(int font) {
  if (font == symbolPageA) return "symbols A";
  if (font == symbolPageB) return "symbols B";
  return "font " + std::to_string(font);
}

PortSettings readPortSettings(const PortImage& port, const PortImage* original) {
  PortSettings settings;
  if (!port.isPort()) return settings;
  settings.game = port.portName();
  for (const SwitchInfo& info : switchTable())
    if (port.supportsSwitch(info.bit))
      settings.switches.emplace_back(info.key, (port.flags() >> info.bit & 1u) != 0);
  settings.paletteSlot = port.paletteSlot();
  if (port.hasConfig()) settings.chip = port.chip();
  readControls(port, settings);
  for (int slot = 0; slot < PortImage::kSplashSoundSlots; ++slot) {
    const bool had = original ? original->splashSoundPresent(slot) : port.hasSplashSounds();
    if (had && !port.splashSoundPresent(slot)) settings.splashSoundsRemoved.push_back(slot + 1);
  }
  readGlyphs(port, original, settings);
  readHints(port, original, settings);
  readMusic(port, original, settings);
  return settings;
}

std::vector<std::string> applyPortSettings(PortImage& port, const PortSettings& settings) {
  std::vector<std::string> skipped;
  if (settings.chip && *settings.chip != port.chip()) {
    try {
      port.setChip(*settings.chip);
    } catch (const std::runtime_error& refusal) {
      skipped.push_back(std::string("chip: ") + refusal.what());
    }
  }
  applyMusic(port, settings, skipped);
  applySwitches(port, settings, skipped);
  if (settings.paletteSlot) {
    if (port.isPort())
      port.setPaletteSlot(*settings.paletteSlot);
    else
      skipped.push_back("palette: this is no port");
  }
  applyControls(port, settings, skipped);
  applySplash(port, settings, skipped);
  applyFonts(port, settings, skipped);
  return skipped;
}

}  // namespace tbp
