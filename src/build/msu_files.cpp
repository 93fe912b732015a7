#include "build/msu_files.h"

#include <cstdio>
#include <stdexcept>

#include "build/audio.h"
#include "build/files.h"
#include "build/paths.h"
#include "build/staged_files.h"

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

Bytes msuTrackFromFile(const std::string& audioPath, double loopStartSeconds) {
  const Bytes file = readFile(audioPath, FileRole::Audio);
  try {
    return makeMsuTrack(file, loopStartSeconds);
  } catch (const std::runtime_error& error) {
    // With several tracks chosen, the message must say which file it is about.
    throw std::runtime_error(fileNameOf(audioPath) + ": " + error.what());
  }
}

void stageMsuTrack(StagedFiles& files, const std::string& audioPath, double loopStartSeconds,
                   const std::string& trackPath) {
  files.stage(trackPath, msuTrackFromFile(audioPath, loopStartSeconds));
}

void writeMsuTrackFile(const std::string& audioPath, double loopStartSeconds,
                       const std::string& trackPath) {
  writeFileSafely(trackPath, msuTrackFromFile(audioPath, loopStartSeconds));
}

}  // namespace tbp
