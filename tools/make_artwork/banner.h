#pragma once

#include <QString>

namespace artwork {

// Draws the 60 banner frames (360 x 340) into dir/banner/01.png .. 60.png: a rubber stamp
// glides over a sheet of paper, presses down, lifts away and leaves the TEAM Bexulo mark.
// Returns false when a file cannot be written.
bool writeBannerFrames(const QString& dir);

}  // namespace artwork
