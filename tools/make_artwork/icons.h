#pragma once

#include <QImage>
#include <QString>

namespace artwork {

// The program's icon at edge length size: a paper tile stamped with a red frame and "B".
// glint, when in [0, 1], lays a band of light across it at that point of its run from the
// upper left to the lower right; a negative glint draws the plain icon.
QImage drawIcon(int size, double glint = -1);

// dir/icons/png/bexulo_<size>.png for the ten sizes and dir/icons/shine/bexulo_shine_01.ico
// .. _20.ico, each with the glint at one step in seven sizes. False when a file cannot be
// written.
bool writeIcons(const QString& dir);

}  // namespace artwork
