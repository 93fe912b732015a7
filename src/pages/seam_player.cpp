#include "pages/seam_player.h"

#include <exception>

#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

#include "build/files.h"
#include "build/msu_seam.h"

namespace {

constexpr double kSeamSeconds = 3.0;

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
    if (state == QAudio::IdleState || state == QAudio::StoppedState) {
      if (song_ >= 0) stop();
    }
  });
  sink_->start(&buffer_);
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
