#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>

namespace artwork {

// A Windows icon file holding every image (each at most 256 x 256) as a 32-bit bitmap with
// its alpha channel and the 1-bit transparency mask older readers expect. Qt's own ICO writer
// stores only one image per file, and the glint frames need several sizes in each.
QByteArray icoFile(const QList<QImage>& images);

}  // namespace artwork
