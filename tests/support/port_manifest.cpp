#include <cstdio>
#include <utility>
#include <vector>

#include "support/port_parts.h"

namespace tbp::testkit::detail {
namespace {

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", byte);
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string tablesObject(int layout, const PortPlaces& p) {
  const std::vector<std::pair<const char*, std::size_t>> tables{
      {"fonts", p.fonts},
      {"font_table", p.fontTable},
      {"symbols_a", p.symbolsA},
      {"symbols_a_hints", p.symbolsAHints},
      {"symbols_b", p.symbolsB},
      {"symbols_b_hints", p.symbolsBHints},
      {"splash_table", p.splashTable},
      {"splash_sound", p.splashSound},
      {"config", p.config},
      {"palette_luts", p.paletteLuts},
      {"msu_tracks", p.msuTracks},
      {"msu_loops", p.msuLoops},
  };
  std::string out = "{\n    \"layout\": " + std::to_string(layout);
  for (const auto& [key, offset] : tables)
    if (offset != 0) out += ",\n    " + jsonString(key) + ": " + std::to_string(offset);
  return out + "\n  }";
}

std::string switchesArray(const std::vector<int>& bits) {
  std::string out = "[";
  for (std::size_t i = 0; i < bits.size(); ++i) out += (i ? ", " : "") + std::to_string(bits[i]);
  return out + "]";
}

std::string msuObject(const std::vector<SongName>& songs) {
  std::string out = "{\n    \"songs\": {";
  for (std::size_t i = 0; i < songs.size(); ++i) {
    char key[8];
    std::snprintf(key, sizeof key, "%02X", static_cast<unsigned>(songs[i].index));
    out += (i ? ",\n      " : "\n      ") + jsonString(key) + ": " + jsonString(songs[i].name);
  }
  return out + "\n    }\n  }";
}

// The engine's utility library: version 2, the 64 base calls and one extra call.
std::string libraryObject() {
  return "{\n    \"lib_ver\": 2,\n    \"ids\": {\"0-63\": \"INFO returns the library version\", "
         "\"70\": \"MSU_PLAY starts an MSU-1 track\"},\n    \"slot\": \"$00:FF80\",\n"
         "    \"args\": \"r0-r3\",\n    \"results\": \"r0-r1\",\n"
         "    \"return\": \"Return with RTL.\"\n  }";
}

std::string flagsObject() {
  return "{\n    \"soft_reset_note\": \"Returns to the title screen, not to the file select.\",\n"
         "    \"sprite_limit\": \"The boss relies on flicker to blink when hit.\"\n  }";
}

std::string specText(const PortOptions& options, const PortPlaces& places) {
  return "LoROM port, " + std::to_string(places.imageSize / 1024) + " KB, " +
         std::to_string(options.fontCount) + " font(s)" + (options.msu1 ? ", MSU-1 ready" : "") +
         ". \"Quoted\" notes and a backslash \\ survive the manifest.";
}

}  // namespace

std::string manifestText(const PortOptions& options, const PortPlaces& places,
                         const std::string& portName) {
  std::string text = "{\n  \"port\": " + jsonString(portName);
  if (options.manifest == ManifestKind::LayoutV1 || options.manifest == ManifestKind::Broken)
    text += ",\n  \"tables\": " + tablesObject(1, places);
  if (options.manifest == ManifestKind::ForeignLayout)
    text += ",\n  \"tables\": " + tablesObject(2, places);
  if (!options.offeredSwitches.empty())
    text += ",\n  \"switches\": " + switchesArray(options.offeredSwitches);
  if (options.msu1) text += ",\n  \"msu1\": " + msuObject(options.msuSongs);
  text += ",\n  \"spec\": " + jsonString(specText(options, places));
  text += ",\n  \"library\": " + libraryObject();
  text += ",\n  \"flags\": " + flagsObject();
  text += "\n}\n";
  // A broken manifest is one the engine build wrote only in part: cut inside "tables".
  if (options.manifest == ManifestKind::Broken) text.resize(text.find("\"layout\"") + 12);
  return text;
}

}  // namespace tbp::testkit::detail
