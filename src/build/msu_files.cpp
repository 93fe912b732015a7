#include "build/msu_files.h"

#include <cstdio>

#include "build/audio.h"
#include "build/files.h"
#include "build/paths.h"

namespace tbp {

std::string msuBasePath(const std::string& savedPath) {
  // The name up to its last dot, as a file dialog counts suffixes: "a.b.sfc" gives "a.b".
  return joinPath(absoluteDirectory(savedPath), completeBaseName(savedPath));
}

std::string msuMarkerPath(const std::string& base) { return base + ".msu"; }

std::string msuTrackPath(const std::string& base, int track) {
  return base + "-" + std::to_string(track) + ".pcm";
}

void createMsuMarker(const std::string& base) {
  // "x" creates the file only when no file of that name exists, in one step, so an existing
  // marker keeps its content even if it appears between a check and the creation.
  if (std::FILE* marker = std::fopen(msuMarkerPath(base).c_str(), "wx")) std::fclose(marker);
}

void writeMsuTrackFile(const std::string& audioPath, double loopStartSeconds,
                       const std::string& trackPath, const TrackShaping& shaping) {
  writeFileSafely(trackPath, makeShapedTrack(readFile(audioPath), loopStartSeconds, shaping));
}

}  // namespace tbp
