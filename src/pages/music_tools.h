#pragma once

#include <limits>
#include <map>

#include <QObject>
#include <QString>

#include "build/audio.h"
#include "build/peak_summary.h"
#include "build/track_shaping.h"
#include "pages/music_choice.h"
#include "pages/worker_threads.h"

class MainWindow;
class QCheckBox;
class QDoubleSpinBox;
class QWidget;
class SeamPlayer;

// The Music page's tools for track makers: the waveform, loop search and seam player of each
// row, and the matched loudness of all tracks.

// What the page learnt of a chosen file while decoding it, and the track maker's shaping of it.
struct TrackDetails {
  QString path;  // the file they describe: they hold only while the song's choice is this file
  tbp::PeakSummary peaks;
  double loudness = -std::numeric_limits<double>::infinity();  // integrated, LUFS
  double peak = 0;                                             // linear, 1.0 is full scale
  bool trimSilence = false;
  double fadeSeconds = 0;  // fade out over the end when the track does not loop; 0: none
};

// The tools' state, one per window (a child object of it, found by musicTools).
class MusicTools : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

  // "Match loudness" and its target, kept in the settings.
  bool matchLoudness = false;
  double loudnessTarget = -20;
  QCheckBox* matchBox = nullptr;
  QDoubleSpinBox* targetBox = nullptr;
  SeamPlayer* player = nullptr;
  std::map<int, TrackDetails> details;  // by song

  // The loop searches under way, by song: each looks in one file, and only the latest search
  // of a song (its ticket) may set the song's loop start.
  struct LoopSearch {
    int ticket = 0;
    QString path;
  };
  std::map<int, LoopSearch> searches;
  int lastTicket = 0;

  // The details of the song's chosen file, or null when there are none for that file.
  TrackDetails* detailsOf(int song, const MusicChoice& choice);
  const TrackDetails* detailsOf(int song, const MusicChoice& choice) const {
    return const_cast<MusicTools*>(this)->detailsOf(song, choice);
  }
  // Whether a loop search looks in the song's chosen file now.
  bool searching(int song, const MusicChoice& choice) const;

  WorkerThreads workers;  // the loop searches; last, so they end before the rest goes

 signals:
  // A loop search started or ended.
  void searchesChanged();
};

MusicTools& musicTools(MainWindow& window);
const MusicTools& musicTools(const MainWindow& window);

// Records what the decoded file shows for the song: its peak summary and its loudness.
void describeAudio(MainWindow& window, int song, const QString& path,
                   const tbp::DecodedAudio& audio);

// The shaping a save applies to the song's track: the window's matched loudness (when ticked)
// and the song's own trim and fade.
tbp::TrackShaping trackShaping(const MainWindow& window, int song, const MusicChoice& choice);

// The loudness part of a row's information, e.g. "-14.2 LUFS, gain -5.8 dB"; empty when the
// loudness is not matched.
QString loudnessText(const MainWindow& window, int song, const MusicChoice& choice);

// The "Match loudness" box and its target above the song list, set from the settings.
QWidget* buildLoudnessBar(MainWindow& window);

// "Find loop": looks for the song's loop start on a worker thread, or stops the search under
// way. The suggestion, when it comes for the file the song still has, loops the song from it
// as one undoable step.
void toggleLoopSearch(MainWindow& window, int song);
// Drops the song's search under way, if any: its result will change nothing.
void stopLoopSearch(MainWindow& window, int song);

// The strip under the file name of a song with a chosen file: its waveform (object name
// "waveform"), "Find loop" ("findLoop"), "Listen" ("listen") and the shaping menu ("shape").
// `loop` and `start` are the row's "Loop from" box and loop start.
QWidget* trackToolStrip(MainWindow& window, int song, QCheckBox* loop, QDoubleSpinBox* start);
