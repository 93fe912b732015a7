#pragma once

#include <string>

#include "formats/bytes.h"

namespace tbp {

// The MSU-1 files beside a saved ROM or patch share one base: the saved file's absolute
// directory, "/", and its name without the last suffix (so /out/Game.sfc gives /out/Game).
std::string msuBasePath(const std::string& savedPath);

// The empty marker that tells players the ROM has MSU-1 audio: base + ".msu".
std::string msuMarkerPath(const std::string& base);

// Track n of the ROM: base + "-" + n in decimal + ".pcm".
std::string msuTrackPath(const std::string& base, int track);

// Creates the empty marker of base unless a file of that name exists; an existing marker is
// never touched. A failure to create it is ignored: players only need the tracks themselves.
void createMsuMarker(const std::string& base);

class StagedFiles;

// Reads the audio file (within the audio size limit) and converts it to an MSU-1 track
// (loopStartSeconds < 0: no loop point). Every error names the audio file: the reader's
// messages carry its path, the decoder's and converter's are prefixed with its name and ": ".
Bytes msuTrackFromFile(const std::string& audioPath, double loopStartSeconds);

// The same track, staged in files for trackPath: it appears only when files is committed.
void stageMsuTrack(StagedFiles& files, const std::string& audioPath, double loopStartSeconds,
                   const std::string& trackPath);

// Reads the audio file, converts it to an MSU-1 track (loopStartSeconds < 0: no loop point) and
// writes it safely to trackPath. Throws with the reader's, converter's or writer's message;
// nothing is written for a track that fails. Shares no state, so several tracks can be written
// on different threads at once.
void writeMsuTrackFile(const std::string& audioPath, double loopStartSeconds,
                       const std::string& trackPath);

}  // namespace tbp
