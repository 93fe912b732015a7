#include <exception>
#include <iostream>

#include "build/audio.h"
#include "build/files.h"

// Converts one audio file to an MSU-1 track the way a save does (read the file, convert,
// write the track safely): the whole process that bench/compare_msu_sox.sh times against SoX.
int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: msu_convert AUDIO_FILE TRACK.pcm\n";
    return 2;
  }
  try {
    tbp::writeFileSafely(argv[2], tbp::makeMsuTrack(tbp::readFile(argv[1]), -1));
  } catch (const std::exception& error) {
    std::cerr << error.what() << '\n';
    return 1;
  }
  return 0;
}
