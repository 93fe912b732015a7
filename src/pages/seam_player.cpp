#include "pages/seam_player.h"

#include <exception>

#include <QAudioFormat>
#include <QAudioSink>
#include <QDeadlineTimer>
#include <QMediaDevices>
#include <QTimer>

#include "build/files.h"
#include "build/msu_seam.h"

namespace {

constexpr double kSeamSeconds = 3.0;
constexpr int kEndPollMs = 20;
constexpr int kLatestEndMs = 1000;
constexpr int kDeviceLatencyMs = 150;  // what the sound device may still hold

struct Seam {
  QByteArray frames;  // 44.1 kHz 16-bit stereo
  QString error;      // why there are none
};

// Converts the file as a save would and cuts the seam out of the track.
Seam seamOf(const std::string& file, double loopStartSeconds, const tbp::TrackShaping& shaping) {
  Seam seam;
  try {
    const tbp::Bytes audio = tbp::readFile(file, tbp::FileRole::Audio);
    const tbp::Bytes track = tbp::makeShapedTrack(audio, loopStartSeconds, shaping);
    const tbp::Bytes frames = tbp::msuSeam(track, loopStartSeconds >= 0, kSeamSeconds);
    seam.frames = QByteArray(reinterpret_cast<const char*>(frames.data()), qsizetype(frames.size()));
  } catch (const std::exception& failure) {
    seam.error = QString::fromUtf8(failure.what());
  }
  return seam;
}

}  // namespace

SeamPlayer::SeamPlayer(QObject* parent) : QObject(parent) {}

SeamPlayer::~SeamPlayer() { stop(); }

QString SeamPlayer::unavailableReason() {
  if (QMediaDevices::audioOutputs().isEmpty())
    return tr("No audio output is available on this computer, so nothing can be played.");
  return QString();
}

void SeamPlayer::play(int song, const QString& path, double loopStartSeconds,
                      const tbp::TrackShaping& shaping) {
  stop();
  song_ = song;
  const int ticket = ++ticket_;
  const std::string file = path.toUtf8().toStdString();
  workers_.run(
      this, [file, loopStartSeconds, shaping] { return seamOf(file, loopStartSeconds, shaping); },
      [this, ticket](const Seam& seam) { start(ticket, seam.frames, seam.error); });
  emit changed();
}

void SeamPlayer::start(int ticket, const QByteArray& frames, const QString& error) {
  if (ticket != ticket_ || song_ < 0) return;  // stopped or replaced meanwhile
  if (!error.isEmpty()) {
    song_ = -1;
    emit changed();
    emit failed(error);
    return;
  }
  QAudioFormat format;
  format.setSampleRate(44100);
  format.setChannelCount(2);
  format.setSampleFormat(QAudioFormat::Int16);
  buffer_.setData(frames);
  buffer_.open(QIODevice::ReadOnly);
  sink_ = new QAudioSink(QMediaDevices::defaultAudioOutput(), format, this);
  connect(sink_, &QAudioSink::stateChanged, this, [this](QAudio::State state) {
    if (state == QAudio::IdleState) endWhenPlayed();
    if (state == QAudio::StoppedState && song_ >= 0) stop();
  });
  sink_->start(&buffer_);
}

// All the seam has gone to the output once the sink is idle, but the output has yet to play
// what it holds: stopping now would cut off the seam's last fraction of a second. The seam ends
// when the sink has played it all and the device has had a moment to sound its last part, or a
// second later than it should have at the latest.
void SeamPlayer::endWhenPlayed() {
  if (!sink_ || sink_->findChild<QTimer*>()) return;
  const qint64 seamUSecs = sink_->format().durationForBytes(qint32(buffer_.size()));
  auto* timer = new QTimer(sink_);  // goes with the sink
  timer->setInterval(kEndPollMs);
  QDeadlineTimer latest(kLatestEndMs);
  // The ticket tells this seam from one that started meanwhile.
  connect(timer, &QTimer::timeout, this, [this, timer, seamUSecs, latest, ticket = ticket_] {
    if (ticket != ticket_) return timer->stop();
    if (sink_->processedUSecs() < seamUSecs && !latest.hasExpired()) return;
    timer->stop();
    QTimer::singleShot(kDeviceLatencyMs, timer, [this, ticket] {
      if (ticket == ticket_) stop();
    });
  });
  timer->start();
}

void SeamPlayer::stop() {
  ++ticket_;
  const bool wasPlaying = song_ >= 0;
  song_ = -1;
  if (sink_) {
    QAudioSink* sink = sink_;
    sink_ = nullptr;
    sink->disconnect(this);
    sink->stop();
    sink->deleteLater();
  }
  buffer_.close();
  if (wasPlaying) emit changed();
}
