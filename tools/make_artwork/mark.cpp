#include "mark.h"

#include <cmath>

#include <QPainter>

#include "lettering.h"
#include "raster.h"

namespace artwork {

namespace {

// Proportions of the mark, as fractions of its height unless said otherwise.
constexpr double kOuterFrame = 0.045;  // stroke of the outer frame
constexpr double kInnerFrame = 0.016;  // stroke of the inner frame
constexpr double kFrameGap = 0.055;    // from the outer frame's centre to the inner one's
constexpr double kCorner = 0.11;       // corner radius of the outer frame
constexpr double kTeamHeight = 0.115;
constexpr double kNameHeight = 0.30;
constexpr double kTaglineHeight = 0.088;

void drawFrames(QPainter& painter, QSizeF size) {
  const double h = size.height();
  const double outer = kOuterFrame * h;
  const QRectF outerBox =
      QRectF(QPointF(0, 0), size).adjusted(outer / 2, outer / 2, -outer / 2, -outer / 2);
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(Qt::black, outer, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
  painter.drawRoundedRect(outerBox, kCorner * h, kCorner * h);
  const double gap = kFrameGap * h;
  painter.setPen(QPen(Qt::black, kInnerFrame * h));
  painter.drawRoundedRect(outerBox.adjusted(gap, gap, -gap, -gap), kCorner * h - gap,
                          kCorner * h - gap);
}

// "TEAM" between two stars, the name, and "PATCHER" between two short rules.
void drawWords(QPainter& painter, QSizeF size) {
  const double h = size.height();
  const double centreX = size.width() / 2;
  painter.setBrush(Qt::black);

  const Lettering team{kTeamHeight * h, 0.2, 0.5};
  const QPointF teamCentre(centreX, 0.255 * h);
  drawText(painter, QStringLiteral("TEAM"), team, teamCentre);
  const double starOffset = textWidth(QStringLiteral("TEAM"), team) / 2 + 0.12 * h;
  painter.setPen(Qt::NoPen);
  for (const double side : {-1.0, 1.0})
    painter.drawPath(star(QPointF(centreX + side * starOffset, teamCentre.y()), 0.062 * h));

  const Lettering name{kNameHeight * h, 0.185, 0.11};
  drawText(painter, QStringLiteral("BEXULO"), name, QPointF(centreX, 0.535 * h));

  const Lettering tagline{kTaglineHeight * h, 0.21, 0.55};
  const QPointF taglineCentre(centreX, 0.8 * h);
  drawText(painter, QStringLiteral("PATCHER"), tagline, taglineCentre);
  const double ruleStart = textWidth(QStringLiteral("PATCHER"), tagline) / 2 + 0.06 * h;
  const double ruleLength = 0.17 * h;
  painter.setPen(QPen(Qt::black, 0.02 * h, Qt::SolidLine, Qt::FlatCap));
  for (const double side : {-1.0, 1.0})
    painter.drawLine(QPointF(centreX + side * ruleStart, taglineCentre.y()),
                     QPointF(centreX + side * (ruleStart + ruleLength), taglineCentre.y()));
}

}  // namespace

QPainterPath star(QPointF centre, double outerRadius) {
  QPainterPath path;
  for (int point = 0; point < 10; ++point) {
    const double radius = point % 2 == 0 ? outerRadius : outerRadius * 0.44;
    const double angle = -M_PI / 2 + point * M_PI / 5;
    const QPointF corner = centre + QPointF(std::cos(angle), std::sin(angle)) * radius;
    if (point == 0)
      path.moveTo(corner);
    else
      path.lineTo(corner);
  }
  path.closeSubpath();
  return path;
}

QImage markShape(QSize size) {
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  drawFrames(painter, size);
  drawWords(painter, size);
  return image;
}

void inkTexture(QImage& shape, std::uint32_t seed, double strength) {
  shape = shape.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < shape.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(shape.scanLine(y));
    for (int x = 0; x < shape.width(); ++x) {
      if (qAlpha(row[x]) == 0) continue;
      // Broad patches where the rubber pressed less, and fine specks where it missed.
      const double patch = smoothStep(0.3, 0.62, fractalNoise(x / 15.0, y / 15.0, seed, 4));
      double coverage = 0.7 + 0.3 * patch;
      const double speck = valueNoise(x / 1.6, y / 1.6, seed + 7);
      coverage *= 1.0 - 0.9 * smoothStep(0.8, 0.93, speck);
      const double keep = lerp(1.0, coverage, strength);
      const int alpha = int(std::lround(qAlpha(row[x]) * keep));
      row[x] = qPremultiply(qRgba(0, 0, 0, alpha));
    }
  }
}

QImage tinted(const QImage& shape, const QColor& color) {
  QImage image = shape.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&image);
  painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
  painter.fillRect(image.rect(), color);
  return image;
}

}  // namespace artwork
