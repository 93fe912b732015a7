// Draws the program's own artwork and synthesises its stamp sound into a folder laid out as
// the resource tree: banner/01.png .. 60.png, banner/stamp.wav, icons/png/bexulo_<size>.png
// and icons/shine/bexulo_shine_01.ico .. 20.ico. Every run writes the same bytes.
#include <iostream>

#include <QDir>
#include <QFile>

#include "banner.h"
#include "icons.h"
#include "stamp_sound.h"

namespace {

bool writeSound(const QString& dir) {
  QFile file(dir + QStringLiteral("/banner/stamp.wav"));
  const QByteArray wav = artwork::stampSoundWav();
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(wav) == wav.size();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_artwork <output directory>\n";
    return 2;
  }
  const QString dir = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
  if (!artwork::writeBannerFrames(dir) || !writeSound(dir) || !artwork::writeIcons(dir)) {
    std::cerr << "make_artwork: cannot write the artwork under " << argv[1] << "\n";
    return 1;
  }
  return 0;
}
