#include "build/msu_files.h"

#include <cstdio>
#include <stdexcept>

#include "build/audio.h"
#include "build/files.h"
#include "build/paths.h"
#include "build/staged_files.h"
#include "build/temporary_file.h"
#include "build/track_store.h"

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

namespace {

// Converts the audio file, read in blocks where it lies, into the store. The reader's and the
// writer's messages name their files already; the decoder's and converter's are prefixed with
// the audio file's name, since with several tracks chosen the message must say which file it
// is about.
void convertInto(FileSource& audio, const std::string& audioPath, double loopStartSeconds,
                 const TrackShaping& shaping, TrackStore& store, TrackProgress* progress) {
  try {
    makeTrackInto(audio, loopStartSeconds, shaping, store, progress);
  } catch (const ConversionCancelled&) {
    throw;  // not a failure of the file
  } catch (const FileError&) {
    throw;
  } catch (const std::runtime_error& error) {
    throw std::runtime_error(fileNameOf(audioPath) + ": " + error.what());
  }
}

}  // namespace

Bytes msuTrackFromFile(const std::string& audioPath, double loopStartSeconds,
                       const TrackShaping& shaping, TrackProgress* progress) {
  FileSource audio(audioPath, FileRole::Audio);
  Bytes track;
  MemoryTrackStore store(track);
  convertInto(audio, audioPath, loopStartSeconds, shaping, store, progress);
  return track;
}

void stageMsuTrack(StagedFiles& files, const std::string& audioPath, double loopStartSeconds,
                   const std::string& trackPath, const TrackShaping& shaping,
                   TrackProgress* progress) {
  FileSource audio(audioPath, FileRole::Audio);
  files.stageInBlocks(trackPath, [&](TemporaryFile& file) {
    FileTrackStore store(file);
    convertInto(audio, audioPath, loopStartSeconds, shaping, store, progress);
  });
}

void writeMsuTrackFile(const std::string& audioPath, double loopStartSeconds,
                       const std::string& trackPath, const TrackShaping& shaping,
                       TrackProgress* progress) {
  FileSource audio(audioPath, FileRole::Audio);
  writeFileInBlocks(trackPath, [&](TemporaryFile& file) {
    FileTrackStore store(file);
    convertInto(audio, audioPath, loopStartSeconds, shaping, store, progress);
  });
}

}  // namespace tbp
