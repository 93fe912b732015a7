#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "build/final_image.h"
#include "build/track_shaping.h"
#include "cli/arguments.h"
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
};

// Throws UsageError for a malformed or unknown value.
BuildSettings parseBuildSettings(const Arguments& arguments);

// Applies the settings to a freshly built port in the order chip, music, switches, palette, so
// that an explicit switch wins over what a chip or a track implies. Throws the port's refusal.
void applyBuildSettings(PortImage& port, const BuildSettings& settings);

}  // namespace tbp::cli
