#pragma once

#include <optional>

#include <QString>
#include <QStringList>

namespace tbp {

// The command that plays a WAV file: the first of paplay, pw-play and aplay found in the
// executable search path, with the arguments each expects. Empty when none is installed.
struct PlayerCommand {
  QString program;
  QStringList arguments;
};
std::optional<PlayerCommand> findStampPlayer(const QString& wavPath);

// Plays the banner's stamp sound through an external player and returns at once. The sound is
// copied to "tbp_stamp.wav" in the temporary directory once per process; without a player, or
// when the copy cannot be made, nothing is heard and nothing is reported.
void playStamp();

}  // namespace tbp
