// The settings document as JSON: written with the house JSON writer, read with the JSON reader,
// refusing every key it does not know so that a typing error never goes unnoticed.
#include <cmath>
#include <cstdio>
#include <sstream>
#include <stdexcept>

#include "build/port_settings.h"
#include "formats/json.h"
#include "formats/json_writer.h"
#include "port/button_map.h"

namespace tbp {
namespace {

constexpr std::size_t kGlyphRows = 8;

[[noreturn]] void refuse(const std::string& problem) {
  throw std::runtime_error("settings: " + problem);
}

// Every member of object must be one of the known keys; path names the object in messages.
void requireKnownKeys(const JsonValue& object, const std::string& path,
                      const std::vector<std::string>& known) {
  if (object.kind() != JsonKind::Object) refuse(path + " must be an object");
  for (const auto& [key, value] : object.members()) {
    bool found = false;
    for (const std::string& name : known) found = found || name == key;
    if (!found) refuse("unknown key '" + (path.empty() ? key : path + "." + key) + "'");
  }
}

int wholeNumber(const JsonValue& value, const std::string& path, int low, int high) {
  const double number = value.number();
  if (value.kind() != JsonKind::Number || number != std::floor(number) || number < low ||
      number > high)
    refuse(path + " must be a whole number from " + std::to_string(low) + " to " +
           std::to_string(high));
  return int(number);
}

const std::string& text(const JsonValue& value, const std::string& path) {
  if (value.kind() != JsonKind::String) refuse(path + " must be a text");
  return value.text();
}

bool flag(const JsonValue& value, const std::string& path) {
  if (value.kind() != JsonKind::Bool) refuse(path + " must be true or false");
  return value.boolean();
}

const std::vector<JsonValue>& list(const JsonValue& value, const std::string& path) {
  if (value.kind() != JsonKind::Array) refuse(path + " must be a list");
  return value.items();
}

template <typename Value>
Value named(const std::vector<std::pair<std::string, Value>>& names, const JsonValue& value,
            const std::string& path) {
  const std::string& name = text(value, path);
  for (const auto& [key, result] : names)
    if (key == name) return result;
  refuse(path + " has no choice '" + name + "'");
}

int parseFont(const JsonValue& value, const std::string& path) {
  const std::string& name = text(value, path);
  if (name == fontKey(symbolPageA)) return symbolPageA;
  if (name == fontKey(symbolPageB)) return symbolPageB;
  for (int font = 0; font < 16; ++font)
    if (name == fontKey(font)) return font;
  refuse(path + " must be \"font 0\" to \"font 15\", \"symbols A\" or \"symbols B\"");
}

std::string hexRows(const Bytes& rows) {
  std::string hex;
  for (const std::uint8_t row : rows) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02x", row);
    hex += digits;
  }
  return hex;
}

Bytes parseRows(const JsonValue& value, const std::string& path) {
  const std::string& hex = text(value, path);
  Bytes rows;
  for (std::size_t i = 0; i + 1 < hex.size() && hex.size() == 2 * kGlyphRows; i += 2) {
    const std::string pair = hex.substr(i, 2);
    if (pair.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) break;
    rows.push_back(std::uint8_t(std::stoul(pair, nullptr, 16)));
  }
  if (rows.size() != kGlyphRows) refuse(path + " must be 16 hexadecimal digits");
  return rows;
}

}  // namespace

namespace {

template <typename Value>
std::string nameOf(const std::vector<std::pair<std::string, Value>>& names, Value value) {
  for (const auto& [key, known] : names)
    if (known == value) return key;
  return {};
}

void writeControls(JsonWriter& json, const PortSettings& settings) {
  if (!settings.buttons.empty()) {
    json.key("buttons").beginObject();
    for (const auto& [button, action] : settings.buttons) {
      json.key(snesButtonNames().at(std::size_t(button)));
      // A byte that names no action is kept as its number, so that it reads back unchanged.
      const std::string name = buttonActionName(action);
      if (name.empty())
        json.number(action);
      else
        json.string(name);
    }
    json.endObject();
  }
  if (settings.turboCycle) json.key("turbo").number(*settings.turboCycle);
  if (settings.chordHold) json.key("chord").number(*settings.chordHold);
}

void writeFonts(JsonWriter& json, const PortSettings& settings) {
  if (!settings.glyphs.empty()) {
    json.key("glyphs").beginArray();
    for (const GlyphSetting& glyph : settings.glyphs) {
      json.beginObject();
      json.key("font").string(fontKey(glyph.font));
      json.key("glyph").number(glyph.glyph);
      json.key("rows").string(hexRows(glyph.rows));
      json.endObject();
    }
    json.endArray();
  }
  if (!settings.hints.empty()) {
    json.key("palette_hints").beginArray();
    for (const HintSetting& hint : settings.hints) {
      json.beginObject();
      json.key("page").string(fontKey(hint.page));
      json.key("symbol").number(hint.symbol);
      json.key("hint").number(hint.hint);
      json.endObject();
    }
    json.endArray();
  }
}

void writeMusic(JsonWriter& json, const PortSettings& settings) {
  if (settings.msu.empty()) return;
  json.key("msu1").beginArray();
  for (const MsuSetting& music : settings.msu) {
    json.beginObject();
    json.key("song").number(music.song);
    if (!music.file.empty()) json.key("file").string(music.file);
    json.key("loop").boolean(music.loop);
    if (music.loop) json.key("loop_start").real(music.loopStart);
    json.endObject();
  }
  json.endArray();
}

void writeSystem(JsonWriter& json, const PortSettings& settings) {
  if (!settings.switches.empty()) {
    json.key("switches").beginObject();
    for (const auto& [key, on] : settings.switches) json.key(key).boolean(on);
    json.endObject();
  }
  if (settings.paletteSlot) json.key("palette").number(*settings.paletteSlot);
  if (settings.chip) json.key("chip").string(nameOf(chipKeys(), *settings.chip));
  if (settings.size) json.key("size").string(nameOf(romSizeKeys(), *settings.size));
}

void writeLists(JsonWriter& json, const PortSettings& settings) {
  if (!settings.splashSoundsRemoved.empty()) {
    json.key("splash_sounds_removed").beginArray();
    for (const int slot : settings.splashSoundsRemoved) json.number(slot);
    json.endArray();
  }
  if (!settings.gameGenieCodes.empty()) {
    json.key("game_genie").beginArray();
    for (const std::string& code : settings.gameGenieCodes) json.string(code);
    json.endArray();
  }
}

}  // namespace

const std::vector<std::pair<std::string, int>>& chipKeys() {
  static const std::vector<std::pair<std::string, int>> keys = {
      {"none", 0}, {"gsu1", 1}, {"gsu2", 2}, {"gsu2sp1", 3}, {"sa1", 4}};
  return keys;
}

const std::vector<std::pair<std::string, RomSizeChoice>>& romSizeKeys() {
  static const std::vector<std::pair<std::string, RomSizeChoice>> keys = {
      {"as-is", RomSizeChoice::AsItIs},
      {"smallest", RomSizeChoice::Smallest},
      {"2mb", RomSizeChoice::TwoMegabytes},
      {"4mb", RomSizeChoice::FourMegabytes}};
  return keys;
}

std::string writeSettingsJson(const PortSettings& settings) {
  std::ostringstream out;
  JsonWriter json(out);
  json.beginObject();
  json.key("format").string("TEAM Bexulo Patcher settings");
  json.key("version").number(settingsVersion);
  if (!settings.game.empty()) json.key("game").string(settings.game);
  writeSystem(json, settings);
  writeControls(json, settings);
  writeLists(json, settings);
  writeFonts(json, settings);
  writeMusic(json, settings);
  json.endObject();
  return out.str();
}

namespace {

std::string at(const std::string& path, std::size_t index) {
  return path + "[" + std::to_string(index) + "]";
}

void parseButtons(const JsonValue& object, PortSettings& settings) {
  if (object.kind() != JsonKind::Object) refuse("buttons must be an object");
  for (const auto& [name, value] : object.members()) {
    const std::optional<int> button = findSnesButton(name);
    if (!button) refuse("unknown key 'buttons." + name + "'");
    const std::string path = "buttons." + name;
    if (value.kind() == JsonKind::Number) {
      settings.buttons.emplace_back(*button, std::uint8_t(wholeNumber(value, path, 0, 255)));
      continue;
    }
    const std::optional<std::uint8_t> action = findButtonAction(text(value, path));
    if (!action) refuse(path + " has no action '" + value.text() + "'");
    settings.buttons.emplace_back(*button, *action);
  }
}

void parseGlyphs(const JsonValue& value, PortSettings& settings) {
  const std::vector<JsonValue>& items = list(value, "glyphs");
  for (std::size_t i = 0; i < items.size(); ++i) {
    const std::string path = at("glyphs", i);
    requireKnownKeys(items[i], path, {"font", "glyph", "rows"});
    GlyphSetting glyph;
    glyph.font = parseFont(items[i].get("font"), path + ".font");
    glyph.glyph = wholeNumber(items[i].get("glyph"), path + ".glyph", 0, 127);
    glyph.rows = parseRows(items[i].get("rows"), path + ".rows");
    settings.glyphs.push_back(glyph);
  }
}

void parseHints(const JsonValue& value, PortSettings& settings) {
  const std::vector<JsonValue>& items = list(value, "palette_hints");
  for (std::size_t i = 0; i < items.size(); ++i) {
    const std::string path = at("palette_hints", i);
    requireKnownKeys(items[i], path, {"page", "symbol", "hint"});
    HintSetting hint;
    hint.page = parseFont(items[i].get("page"), path + ".page");
    if (hint.page != symbolPageA && hint.page != symbolPageB)
      refuse(path + ".page must be \"symbols A\" or \"symbols B\"");
    hint.symbol = wholeNumber(items[i].get("symbol"), path + ".symbol", 0, 127);
    hint.hint = wholeNumber(items[i].get("hint"), path + ".hint", 0, 7);
    settings.hints.push_back(hint);
  }
}

void parseMusic(const JsonValue& value, PortSettings& settings) {
  const std::vector<JsonValue>& items = list(value, "msu1");
  for (std::size_t i = 0; i < items.size(); ++i) {
    const std::string path = at("msu1", i);
    requireKnownKeys(items[i], path, {"song", "file", "loop", "loop_start"});
    MsuSetting music;
    music.song = wholeNumber(items[i].get("song"), path + ".song", 0, 63);
    if (!items[i].get("file").isNull()) music.file = text(items[i].get("file"), path + ".file");
    music.loop = flag(items[i].get("loop"), path + ".loop");
    const JsonValue& start = items[i].get("loop_start");
    if (!start.isNull()) {
      if (start.kind() != JsonKind::Number || !(start.number() >= 0) || !std::isfinite(start.number()))
        refuse(path + ".loop_start must be a number of seconds, 0 or more");
      music.loopStart = start.number();
    }
    settings.msu.push_back(music);
  }
}

void parseLists(const JsonValue& document, PortSettings& settings) {
  const JsonValue& removed = document.get("splash_sounds_removed");
  if (!removed.isNull()) {
    const std::vector<JsonValue>& items = list(removed, "splash_sounds_removed");
    for (std::size_t i = 0; i < items.size(); ++i)
      settings.splashSoundsRemoved.push_back(wholeNumber(items[i], at("splash_sounds_removed", i), 1, 3));
  }
  const JsonValue& codes = document.get("game_genie");
  if (!codes.isNull()) {
    const std::vector<JsonValue>& items = list(codes, "game_genie");
    for (std::size_t i = 0; i < items.size(); ++i)
      settings.gameGenieCodes.push_back(text(items[i], at("game_genie", i)));
  }
  if (!document.get("glyphs").isNull()) parseGlyphs(document.get("glyphs"), settings);
  if (!document.get("palette_hints").isNull()) parseHints(document.get("palette_hints"), settings);
  if (!document.get("msu1").isNull()) parseMusic(document.get("msu1"), settings);
}

void parseSystem(const JsonValue& document, PortSettings& settings) {
  const JsonValue& switches = document.get("switches");
  if (!switches.isNull()) {
    if (switches.kind() != JsonKind::Object) refuse("switches must be an object");
    for (const auto& [key, value] : switches.members()) {
      bool known = false;
      for (const SwitchInfo& info : switchTable()) known = known || key == info.key;
      if (!known) refuse("unknown key 'switches." + key + "'");
      settings.switches.emplace_back(key, flag(value, "switches." + key));
    }
  }
  if (!document.get("palette").isNull())
    settings.paletteSlot = wholeNumber(document.get("palette"), "palette", 0, 7);
  if (!document.get("chip").isNull()) settings.chip = named(chipKeys(), document.get("chip"), "chip");
  if (!document.get("size").isNull())
    settings.size = named(romSizeKeys(), document.get("size"), "size");
  if (!document.get("buttons").isNull()) parseButtons(document.get("buttons"), settings);
  if (!document.get("turbo").isNull())
    settings.turboCycle = wholeNumber(document.get("turbo"), "turbo", 2, 60);
  if (!document.get("chord").isNull())
    settings.chordHold = wholeNumber(document.get("chord"), "chord", 1, 255);
}

}  // namespace

PortSettings parseSettingsJson(const std::string& jsonText) {
  const JsonValue document = parseJson(jsonText);
  requireKnownKeys(document, "",
                   {"format", "version", "game", "switches", "palette", "chip", "size",
                    "buttons", "turbo", "chord", "splash_sounds_removed", "game_genie", "glyphs",
                    "palette_hints", "msu1"});
  const JsonValue& version = document.get("version");
  if (version.kind() != JsonKind::Number || version.number() != settingsVersion)
    refuse("this file is not a version " + std::to_string(settingsVersion) + " settings document");
  PortSettings settings;
  if (!document.get("game").isNull()) settings.game = text(document.get("game"), "game");
  parseSystem(document, settings);
  parseLists(document, settings);
  return settings;
}

}  // namespace tbp
