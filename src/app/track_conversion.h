#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QString>

#include "build/track_shaping.h"

class Progress;
namespace tbp {
class StagedFiles;
}

// One chosen audio file and the MSU-1 track it becomes.
struct TrackJob {
  QString fileName;              // the audio file's name, for the status bar and the progress
  std::string audioPath;         // UTF-8
  double loopStartSeconds = -1;  // negative: the track has no loop point
  std::string trackPath;         // UTF-8
  // Where the track is staged, to appear together with the file it belongs to.
  tbp::StagedFiles* files = nullptr;
  tbp::TrackShaping shaping;  // loudness, trim and fade; none by default
};

struct TrackConversionResult {
  int written = 0;
  int firstFailure = -1;  // the first job, in order, that failed; -1 when none did
  QString failureMessage;
  std::vector<std::size_t> cancelled;  // the jobs a cancel stopped or never started, in order
};

// Converts and stages the jobs on worker threads, at most `threads` at a time, starting them in
// order; each track is staged as soon as it is converted. The calling (GUI) thread runs an
// event loop meanwhile, so the window stays painted, and shows the first unfinished job: in
// showStatus as "Converting <name> ..." and in progress as "Converting track i of n: <name>".
// The bar moves within a track too, as the converters count their frames. Once progress is
// cancelled no further job starts and the running ones stop within a second, writing nothing;
// the call returns when every started job has ended. A failing job does not stop the others.
// The workers never touch a widget.
TrackConversionResult convertTracks(const std::vector<TrackJob>& jobs, int threads,
                                    Progress& progress,
                                    const std::function<void(const QString&)>& showStatus);
