#include "branding/stamp_sound.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>

namespace tbp {

namespace {

const QString kResource = QStringLiteral(":/banner/stamp.wav");
const QString kCopyName = QStringLiteral("tbp_stamp.wav");

// Kept for the whole process: the sound's bytes and where its copy was written.
QByteArray& wavBytes() {
  static QByteArray bytes;
  return bytes;
}
QString& copyPath() {
  static QString path;
  return path;
}

}  // namespace

std::optional<PlayerCommand> findStampPlayer(const QString& wavPath) {
  for (const QString& player :
       {QStringLiteral("paplay"), QStringLiteral("pw-play"), QStringLiteral("aplay")}) {
    if (QStandardPaths::findExecutable(player).isEmpty()) continue;
    // aplay prints the file's format unless told to be quiet.
    if (player == QStringLiteral("aplay"))
      return PlayerCommand{player, {QStringLiteral("-q"), wavPath}};
    return PlayerCommand{player, {wavPath}};
  }
  return std::nullopt;
}

void playStamp() {
  if (wavBytes().isEmpty()) {
    QFile resource(kResource);
    if (!resource.open(QIODevice::ReadOnly)) return;
    wavBytes() = resource.readAll();
  }
  if (copyPath().isEmpty()) {
    copyPath() = QDir(QDir::tempPath()).filePath(kCopyName);
    QFile copy(copyPath());
    if (copy.open(QIODevice::WriteOnly | QIODevice::Truncate)) copy.write(wavBytes());
  }
  const auto player = findStampPlayer(copyPath());
  if (!player) return;
  // Detached: the sound plays on by itself, even after the banner or the program has gone.
  QProcess::startDetached(player->program, player->arguments, QDir::currentPath());
}

}  // namespace tbp
