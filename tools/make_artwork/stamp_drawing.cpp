#include "stamp_drawing.h"

#include <cmath>

#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include "lettering.h"
#include "raster.h"

namespace artwork {

namespace {

constexpr double kBlockMargin = 9;  // wood around the rubber on every side
constexpr double kBlockCorner = 14;
constexpr double kKnobRadius = 44;
constexpr double kLabelRadius = 17;
constexpr double kGrowth = 0.45;  // how much larger the stamp looks at height 1

QPainterPath blockPath(QSize rubberSize) {
  const QSizeF block(rubberSize.width() + 2 * kBlockMargin, rubberSize.height() + 2 * kBlockMargin);
  QPainterPath path;
  path.addRoundedRect(QRectF(QPointF(-block.width() / 2, -block.height() / 2), block), kBlockCorner,
                      kBlockCorner);
  return path;
}

QTransform stampTransform(const StampPose& pose, double growth) {
  const double scale = 1.0 + growth * pose.height;
  QTransform t;
  t.translate(pose.centre.x(), pose.centre.y());
  t.rotate(pose.angle);
  t.scale(scale * (2.0 - pose.squash), scale * pose.squash);
  return t;
}

// Light comes from the upper left: the higher the stamp, the further and softer its shadow.
void drawShadow(QPainter& painter, const StampPose& pose, QSize rubberSize) {
  QImage shadow(painter.device()->width(), painter.device()->height(),
                QImage::Format_ARGB32_Premultiplied);
  shadow.fill(Qt::transparent);
  {
    QPainter sp(&shadow);
    sp.setRenderHint(QPainter::Antialiasing);
    sp.setTransform(painter.transform());
    sp.translate(QPointF(9 + 55 * pose.height, 11 + 65 * pose.height));
    sp.setTransform(stampTransform(pose, 0.12), true);
    sp.fillPath(blockPath(rubberSize), QColor(0, 0, 0, int(150 - 70 * pose.height)));
  }
  blurShadow(shadow, int(std::lround(2 + 12 * pose.height)));
  painter.save();
  painter.resetTransform();
  painter.drawImage(0, 0, shadow);
  painter.restore();
}

// Beech wood: a warm gradient with wavy darker grain.
void drawBlockTop(QPainter& painter, const QPainterPath& block) {
  const QRectF box = block.boundingRect();
  QLinearGradient wood(box.topLeft(), box.bottomRight());
  wood.setColorAt(0, QColor(0xe2, 0xae, 0x6f));
  wood.setColorAt(1, QColor(0xb5, 0x77, 0x3c));
  painter.fillPath(block, wood);

  painter.save();
  painter.setClipPath(block);
  Random random(3);
  for (double y = box.top() + 4; y < box.bottom(); y += random.range(5, 11)) {
    QPainterPath grain;
    const double phase = random.range(0, 6.28);
    const double wave = random.range(1.5, 4.0);
    grain.moveTo(box.left(), y);
    for (double x = box.left(); x <= box.right(); x += 6)
      grain.lineTo(x, y + wave * std::sin(phase + x / 37.0) + 1.2 * std::sin(x / 11.0 + y));
    painter.setPen(
        QPen(QColor(0x7a, 0x45, 0x1a, int(random.range(25, 60))), random.range(0.7, 1.6)));
    painter.drawPath(grain);
  }
  painter.restore();

  // A bevel: a light upper-left edge and a dark outline.
  painter.setBrush(Qt::NoBrush);
  QLinearGradient bevel(box.topLeft(), box.bottomRight());
  bevel.setColorAt(0, QColor(255, 236, 200, 170));
  bevel.setColorAt(0.5, QColor(255, 236, 200, 0));
  painter.setPen(QPen(QBrush(bevel), 3));
  painter.drawPath(block);
  painter.setPen(QPen(QColor(0x5e, 0x34, 0x12), 1.3));
  painter.drawPath(block);
}

// The lacquered knob with a cream index label showing which stamp this is.
void drawKnob(QPainter& painter) {
  QRadialGradient shade(QPointF(9, 12), kKnobRadius * 1.35);
  shade.setColorAt(0, QColor(0, 0, 0, 120));
  shade.setColorAt(0.7, QColor(0, 0, 0, 40));
  shade.setColorAt(1, QColor(0, 0, 0, 0));
  painter.setPen(Qt::NoPen);
  painter.setBrush(shade);
  painter.drawEllipse(QPointF(9, 12), kKnobRadius * 1.35, kKnobRadius * 1.35);

  QRadialGradient lacquer(QPointF(0, 0), kKnobRadius, QPointF(-15, -17));
  lacquer.setColorAt(0, QColor(0xe8, 0x5a, 0x5c));
  lacquer.setColorAt(0.45, QColor(0xa5, 0x1f, 0x2a));
  lacquer.setColorAt(1, QColor(0x4a, 0x08, 0x10));
  painter.setBrush(lacquer);
  painter.drawEllipse(QPointF(0, 0), kKnobRadius, kKnobRadius);

  painter.setBrush(QColor(0xf6, 0xee, 0xdc));
  painter.setPen(QPen(QColor(0x6b, 0x10, 0x18), 1.5));
  painter.drawEllipse(QPointF(0, 0), kLabelRadius, kLabelRadius);
  painter.setBrush(QColor(0xbe, 0x24, 0x2e));
  drawText(painter, QStringLiteral("B"), Lettering{17, 0.2, 0}, QPointF(0, 0));

  QRadialGradient gloss(QPointF(-17, -20), 16);
  gloss.setColorAt(0, QColor(255, 255, 255, 150));
  gloss.setColorAt(1, QColor(255, 255, 255, 0));
  painter.setPen(Qt::NoPen);
  painter.setBrush(gloss);
  painter.drawEllipse(QPointF(-17, -20), 16, 12);
}

}  // namespace

void drawStamp(QPainter& painter, const StampPose& pose, QSize rubberSize) {
  drawShadow(painter, pose, rubberSize);
  const QPainterPath block = blockPath(rubberSize);
  const double scale = 1.0 + kGrowth * pose.height;
  painter.save();
  // The camera looks down a little from the front: the block's side and the rubber under it
  // show as darker bands below the top face.
  const QTransform base = painter.transform();
  painter.setTransform(stampTransform(pose, kGrowth) * QTransform().translate(0, 9 * scale) * base);
  painter.fillPath(block, QColor(0x3a, 0x0f, 0x15));
  painter.setTransform(stampTransform(pose, kGrowth) * QTransform().translate(0, 6 * scale) * base);
  painter.fillPath(block, QColor(0x80, 0x4d, 0x22));
  painter.setTransform(stampTransform(pose, kGrowth) * base);
  drawBlockTop(painter, block);
  drawKnob(painter);
  painter.restore();
}

}  // namespace artwork
