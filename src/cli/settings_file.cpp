// A settings document given to build: what it says about the files goes with the command
// line's own choices, the rest is applied to the port first.
#include <stdexcept>

#include "build/files.h"
#include "build/paths.h"
#include "cli/build_settings.h"

namespace tbp::cli {

void takeSettingsFile(const Arguments& arguments, BuildSettings& settings) {
  const std::string path = arguments.value("--settings");
  const Bytes file = readFile(path, FileRole::Json);
  PortSettings document;
  try {
    document = parseSettingsJson(std::string(file.begin(), file.end()));
  } catch (const std::exception& fault) {
    throw std::runtime_error(path + ": " + fault.what());
  }
  if (!arguments.has("--size") && document.size) settings.size = *document.size;
  // The document's codes come first, as if typed above the command line's own.
  settings.codes.insert(settings.codes.begin(), document.gameGenieCodes.begin(),
                        document.gameGenieCodes.end());
  std::vector<MsuSetting> unnamed;
  for (const MsuSetting& music : document.msu) {
    if (settings.tracks.count(music.song) != 0) continue;
    if (music.file.empty()) {
      unnamed.push_back(music);
      continue;
    }
    const bool absolute = music.file.front() == '/';
    TrackChoice choice{absolute ? music.file : joinPath(absoluteDirectory(path), music.file),
                       music.loop, music.loopStart};
    settings.tracks[music.song] = choice;
    settings.documentSongs.push_back(music.song);
  }
  // A song without audio only sets the port's tables, as a saved ROM that plays it does.
  document.msu = unnamed;
  document.size.reset();
  document.gameGenieCodes.clear();
  settings.document = document;
}

std::vector<std::string> dropForeignTracks(const PortImage& port, BuildSettings& settings) {
  std::vector<std::string> skipped;
  for (const int song : settings.documentSongs) {
    bool named = false;
    for (const MsuSong& known : port.msuSongs()) named = named || known.index == song;
    if (named && port.hasMsu1()) continue;
    settings.tracks.erase(song);
    skipped.push_back("MSU-1 song " + std::to_string(song) + ": this port has no such song");
  }
  return skipped;
}

}  // namespace tbp::cli
