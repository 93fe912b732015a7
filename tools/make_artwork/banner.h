#pragma once

#include <QString>

namespace artwork {

// The stamp's moments, in banner frames at 30 frames per second (frame 0 is the first): the
// stamp sound is timed by them too.
inline constexpr double kStampContactFrame = 13;  // rubber meets paper
inline constexpr double kStampLiftFrame = 22;     // the stamp leaves the paper
inline constexpr double kBannerFramesPerSecond = 30;

// Draws the 60 banner frames (360 x 340) into dir/banner/01.png .. 60.png: a rubber stamp
// glides over a sheet of paper, presses down, lifts away and leaves the TEAM Bexulo mark.
// Returns false when a file cannot be written.
bool writeBannerFrames(const QString& dir);

}  // namespace artwork
