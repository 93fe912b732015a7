#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "build/final_image.h"
#include "build/track_shaping.h"
#include "build/port_settings.h"
#include "cli/arguments.h"
#include "port/button_map.h"
#include "port/port_image.h"

namespace tbp::cli {

// An audio file chosen for an NES song, as the Music page records it.
struct TrackChoice {
  std::string audioPath;
  std::optional<bool> loop;  // unset: the port's own loop flag for the song
  double loopStart = 0.0;    // seconds, used when the track loops
  bool suggestedLoop = false;  // "@auto": loop from the start that the loop search suggests
};

// The settings of `build`, checked for form but not yet against the port.
struct BuildSettings {
  std::string output;
  bool bps = false;
  std::optional<int> chip;
  std::vector<std::pair<SwitchInfo, bool>> switches;  // in command-line order
  std::optional<int> paletteSlot;
  RomSizeChoice size = RomSizeChoice::AsItIs;
  std::vector<std::string> codes;
  std::map<int, TrackChoice> tracks;  // by song, which is also the MSU-1 track number
  TrackShaping shaping;               // loudness, trim and fade, for every track
  // The Controls page and the Splash & Sound page.
  const ButtonPreset* preset = nullptr;
  std::vector<std::pair<int, std::uint8_t>> buttons;  // after the preset, in command-line order
  std::optional<int> turboCycle;
  std::optional<int> chordHold;
  std::vector<int> splashSoundsRemoved;  // slots 1 to 3
  // The document given with --settings, without what was moved into the members above (its
  // size, codes and audio files); applied before everything given on the command line.
  std::optional<PortSettings> document;
  std::vector<int> documentSongs;  // the songs of tracks that the document chose
};

// Throws UsageError for a malformed or unknown value.
BuildSettings parseBuildSettings(const Arguments& arguments);

// Reads the settings document named by --settings into settings: its ROM size and codes where
// the command line gives none, its audio files (relative to the document's folder) where no
// --msu names the song; the rest is kept in settings.document. Throws the document's faults.
void takeSettingsFile(const Arguments& arguments, BuildSettings& settings);

// Drops the document's tracks for songs the port does not name (another game's document) and
// returns one line for each, as applyPortSettings does for the rest of the document.
std::vector<std::string> dropForeignTracks(const PortImage& port, BuildSettings& settings);

// Applies the settings to a freshly built port: first the settings document (returning what it
// skipped), then in the order chip, music, switches, palette, preset, buttons, timings, splash
// sounds, so that an explicit switch wins over what a chip or a track implies. Throws the
// port's refusal of anything given on the command line.
std::vector<std::string> applyBuildSettings(PortImage& port, const BuildSettings& settings);

}  // namespace tbp::cli
