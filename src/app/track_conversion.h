#pragma once

#include <functional>
#include <string>
#include <vector>

#include <QString>

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
};

struct TrackConversionResult {
  int written = 0;
  int firstFailure = -1;  // the first job, in order, that failed; -1 when none did
  QString failureMessage;
};

// Converts and stages the jobs on worker threads, at most `threads` at a time, starting them in
// order; each track is staged as soon as it is converted. The calling (GUI) thread runs an
// event loop meanwhile, so the window stays painted, and shows the first unfinished job: in
// showStatus as "Converting <name> ..." and in progress as "Converting track i of n: <name>".
// Once progress is cancelled no further job starts; the call returns when every started job
// has ended. A failing job does not stop the others. The workers never touch a widget.
TrackConversionResult convertTracks(const std::vector<TrackJob>& jobs, int threads,
                                    Progress& progress,
                                    const std::function<void(const QString&)>& showStatus);
