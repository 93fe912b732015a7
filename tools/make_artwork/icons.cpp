#include "icons.h"

#include <algorithm>
#include <cmath>

#include <QDir>
#include <QFile>
#include <QPainter>
#include <QPainterPath>

#include "ico_file.h"
#include "lettering.h"
#include "mark.h"
#include "raster.h"

namespace artwork {

namespace {

constexpr int kPngSizes[] = {16, 20, 24, 32, 40, 48, 64, 96, 128, 256};
constexpr int kShineSizes[] = {16, 20, 24, 32, 40, 48, 64};
constexpr int kShineFrames = 20;

const QColor kInk(0xbe, 0x24, 0x2e);
const QColor kPaperLight(0xfa, 0xf3, 0xe3);
const QColor kPaperDark(0xe8, 0xdb, 0xbd);

QPainterPath tilePath(double size) {
  const double margin = std::max(1.0, size * 0.06);
  const double side = size - 2 * margin;
  QPainterPath path;
  path.addRoundedRect(QRectF(margin, margin, side, side), size * 0.2, size * 0.2);
  return path;
}

// Below 32 pixels the frame and the "B" are built from whole pixels, so that they stay sharp
// in title bars and task lists: a two-pixel frame, and a letter whose stem, bars and bowls are
// rectangles, its outer corners left open so that the bowls read as round.
QImage smallInkShape(int size) {
  QImage shape(size, size, QImage::Format_ARGB32_Premultiplied);
  shape.fill(Qt::transparent);
  QPainter painter(&shape);
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath ring = tilePath(size);
  QPainterPath inside;
  const double margin = std::max(1.0, size * 0.06);
  inside.addRoundedRect(
      QRectF(margin + 2, margin + 2, size - 2 * margin - 4, size - 2 * margin - 4), size * 0.2 - 2,
      size * 0.2 - 2);
  painter.fillPath(ring.subtracted(inside), Qt::black);
  const int h = int(std::lround(size * 0.5));
  const int w = int(std::lround(h * 0.72));
  const int s = int(std::lround(h * 0.24));              // stems
  const int t = std::max(1, int(std::lround(s * 0.6)));  // bars: thinner, as in pixel fonts
  const int mid = (h - t) / 2;
  const int x = (size - w) / 2;
  const int y = (size - h) / 2;
  for (const QRect& part :
       {QRect(x, y, s, h), QRect(x, y, w - s, t), QRect(x + w - s, y + t, s, mid - t),
        QRect(x, y + mid, w - s, t), QRect(x + w - s, y + mid + t, s, h - mid - 2 * t),
        QRect(x, y + h - t, w - s, t)})
    painter.fillRect(part, Qt::black);
  return shape;
}

// The red frame and "B" as ink alpha, turned slightly at the larger sizes where the turn does
// not blur the strokes.
QImage inkShape(int size) {
  if (size < 32) return smallInkShape(size);
  QImage shape(size, size, QImage::Format_ARGB32_Premultiplied);
  shape.fill(Qt::transparent);
  QPainter painter(&shape);
  painter.setRenderHint(QPainter::Antialiasing);
  const double centre = size / 2.0;
  painter.translate(centre, centre);
  if (size >= 48) painter.rotate(-6);
  painter.translate(-centre, -centre);
  const double margin = std::max(1.0, size * 0.06);
  const double frame = std::max(1.4, size * 0.08);
  const double inset = margin + frame / 2 + (size >= 48 ? size * 0.03 : 0);
  painter.setPen(QPen(Qt::black, frame));
  painter.setBrush(Qt::NoBrush);
  const double corner = size * 0.2 - (inset - margin);
  painter.drawRoundedRect(QRectF(inset, inset, size - 2 * inset, size - 2 * inset), corner, corner);
  if (size >= 48) {
    const double inner = inset + frame / 2 + size * 0.045;
    painter.setPen(QPen(Qt::black, size * 0.022));
    painter.drawRoundedRect(QRectF(inner, inner, size - 2 * inner, size - 2 * inner), corner * 0.6,
                            corner * 0.6);
  }
  painter.setBrush(Qt::black);
  const double letter = size * (size >= 48 ? 0.42 : 0.5);
  drawText(painter, QStringLiteral("B"), Lettering{letter, size >= 32 ? 0.21 : 0.24, 0},
           QPointF(centre + size * 0.01, centre));
  painter.end();
  if (size >= 64) inkTexture(shape, 41, 0.55);
  return shape;
}

void drawGlint(QPainter& painter, const QPainterPath& tile, int size, double glint) {
  const double travel = lerp(-0.12, 1.12, glint) * 2 * size;  // along x + y
  const double width = size * 0.28;
  QLinearGradient band(QPointF((travel - width) / 2, (travel - width) / 2),
                       QPointF((travel + width) / 2, (travel + width) / 2));
  band.setColorAt(0, QColor(255, 255, 255, 0));
  band.setColorAt(0.5, QColor(255, 255, 255, 210));
  band.setColorAt(1, QColor(255, 255, 255, 0));
  painter.save();
  painter.setClipPath(tile);
  painter.fillRect(QRectF(0, 0, size, size), band);
  painter.restore();
}

bool writeFile(const QString& path, const QByteArray& data) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

}  // namespace

QImage drawIcon(int size, double glint) {
  QImage icon(size, size, QImage::Format_ARGB32_Premultiplied);
  icon.fill(Qt::transparent);
  QPainter painter(&icon);
  painter.setRenderHint(QPainter::Antialiasing);
  const QPainterPath tile = tilePath(size);
  if (size >= 32) {
    // A soft shadow lifts the tile off light backgrounds.
    QImage shadow(size, size, QImage::Format_ARGB32_Premultiplied);
    shadow.fill(Qt::transparent);
    QPainter sp(&shadow);
    sp.setRenderHint(QPainter::Antialiasing);
    sp.translate(0, size / 48.0);
    sp.fillPath(tile, QColor(0, 0, 0, 90));
    sp.end();
    blurShadow(shadow, std::max(1, size / 64));
    painter.drawImage(0, 0, shadow);
  }
  QLinearGradient paper(0, 0, 0, size);
  paper.setColorAt(0, kPaperLight);
  paper.setColorAt(1, kPaperDark);
  painter.fillPath(tile, paper);
  painter.drawImage(0, 0, tinted(inkShape(size), kInk));
  if (glint >= 0) drawGlint(painter, tile, size, glint);
  return icon;
}

bool writeIcons(const QString& dir) {
  QDir root(dir);
  if (!root.mkpath(QStringLiteral("icons/png")) || !root.mkpath(QStringLiteral("icons/shine")))
    return false;
  for (const int size : kPngSizes)
    if (!drawIcon(size).save(QStringLiteral("%1/icons/png/bexulo_%2.png").arg(dir).arg(size)))
      return false;
  for (int frame = 0; frame < kShineFrames; ++frame) {
    QList<QImage> images;
    for (const int size : kShineSizes) images.append(drawIcon(size, frame / (kShineFrames - 1.0)));
    const QString path = QStringLiteral("%1/icons/shine/bexulo_shine_%2.ico")
                             .arg(dir)
                             .arg(frame + 1, 2, 10, QLatin1Char('0'));
    if (!writeFile(path, icoFile(images))) return false;
  }
  return true;
}

}  // namespace artwork
