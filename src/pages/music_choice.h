#pragma once

#include <QString>

// The audio the user chose on the Music page for one NES song. The song plays MSU-1 track
// number <song index>, converted from this file when the ROM or the BPS patch is saved.
struct MusicChoice {
  QString path;          // absolute path of the audio file, as the file dialog returned it
  double seconds = 0;    // duration of the decoded audio
  bool loop = false;     // whether the track loops
  double loopStart = 0;  // where the song jumps back to when it reaches its end, in seconds

  bool operator==(const MusicChoice&) const = default;
};
