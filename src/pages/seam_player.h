#pragma once

#include <QBuffer>
#include <QObject>
#include <QString>

#include "build/track_shaping.h"
#include "pages/worker_threads.h"

class QAudioSink;

// Plays the seam of a song's track as the console will play it: the last seconds before the
// end, then the jump to the loop start and the seconds after it. The track is converted on a
// thread of its own and played through the default audio output, so the window never waits.
// One seam plays at a time; playing another stops the first.
class SeamPlayer : public QObject {
  Q_OBJECT

 public:
  explicit SeamPlayer(QObject* parent = nullptr);
  ~SeamPlayer() override;

  // Why nothing can be played here, or an empty text when an audio output exists.
  static QString unavailableReason();

  // Converts the file as a save would and plays its seam; `song` names what plays.
  void play(int song, const QString& path, double loopStartSeconds,
            const tbp::TrackShaping& shaping);
  void stop();
  // The song whose seam is being prepared or played, or -1.
  int song() const { return song_; }

 signals:
  // The song that plays (or is being prepared) changed.
  void changed();
  void failed(const QString& message);

 private:
  void start(int ticket, const QByteArray& frames, const QString& error);
  void endWhenPlayed();

  int song_ = -1;
  int ticket_ = 0;  // the latest play request; older conversions are ignored when they end
  QAudioSink* sink_ = nullptr;
  QBuffer buffer_;
  WorkerThreads workers_;  // the conversions; last, so they end before the rest goes
};
