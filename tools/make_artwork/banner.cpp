#include "banner.h"

#include <cmath>

#include <QDir>
#include <QPainter>
#include <QTransform>

#include "mark.h"
#include "raster.h"
#include "stamp_drawing.h"

namespace artwork {

namespace {

constexpr int kWidth = 360;
constexpr int kHeight = 340;
constexpr int kBannerFrames = 60;
constexpr int kBlurSamples = 9;

// The sheet of paper and the mark on it, in picture coordinates.
const QPointF kCardCentre(180, 170);
const QSizeF kCardSize(318, 240);
constexpr double kCardAngle = 2.0;
const QSize kMarkSize(246, 150);
constexpr double kMarkAngle = -5.0;  // relative to the card: stamped by hand, a little askew

// The timeline, in frames at 30 per second.
constexpr double kHover = 8;     // the stamp hangs over the paper
constexpr double kContact = kStampContactFrame;
constexpr double kLift = kStampLiftFrame;
constexpr double kUp = 27;       // clear of the paper, it moves away
constexpr double kGone = 37;     // out of the picture
constexpr double kSweepStart = 39;
constexpr double kSweepEnd = 54;
constexpr double kDry = 46;  // the ink has dried to its final colour

const QColor kWetInk(0x8a, 0x0e, 0x1c);
const QColor kDryInk(0xbe, 0x24, 0x2e);

QTransform cardTransform() {
  QTransform t;
  t.translate(kCardCentre.x(), kCardCentre.y());
  t.rotate(kCardAngle);
  return t;
}

QTransform markTransform() {
  QTransform t = QTransform().rotate(kMarkAngle) * cardTransform();
  return QTransform().translate(-kMarkSize.width() / 2.0, -kMarkSize.height() / 2.0) * t;
}

double markAngle() { return kCardAngle + kMarkAngle; }
QPointF markCentre() { return cardTransform().map(QPointF(0, 0)); }

QImage background() {
  QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&image);
  QRadialGradient glow(QPointF(180, 150), 270);
  glow.setColorAt(0, QColor(0x35, 0x47, 0x7c));
  glow.setColorAt(0.55, QColor(0x1c, 0x25, 0x46));
  glow.setColorAt(1, QColor(0x0c, 0x10, 0x24));
  painter.fillRect(image.rect(), glow);
  painter.end();
  // A faint grain keeps the gradient from banding.
  Random random(11);
  for (int y = 0; y < kHeight; ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < kWidth; ++x) {
      const int d = int(random.range(-2, 3));
      row[x] = qRgb(std::clamp(qRed(row[x]) + d, 0, 255), std::clamp(qGreen(row[x]) + d, 0, 255),
                    std::clamp(qBlue(row[x]) + d, 0, 255));
    }
  }
  return image;
}

QPainterPath cardPath() {
  QPainterPath path;
  path.addRoundedRect(QRectF(QPointF(-kCardSize.width() / 2, -kCardSize.height() / 2), kCardSize),
                      3, 3);
  return cardTransform().map(path);
}

// Cream paper with fibres and a soft shadow under it, on a transparent layer.
QImage cardLayer() {
  QImage shadow(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  shadow.fill(Qt::transparent);
  {
    QPainter painter(&shadow);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(3, 9);
    painter.fillPath(cardPath(), QColor(0, 0, 0, 150));
  }
  blurShadow(shadow, 7);

  QImage paper(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  paper.fill(QColor(0xf4, 0xec, 0xd9));
  for (int y = 0; y < kHeight; ++y) {
    auto* row = reinterpret_cast<QRgb*>(paper.scanLine(y));
    for (int x = 0; x < kWidth; ++x) {
      const double fibre = fractalNoise(x / 2.2, y / 6.0, 5, 3) - 0.5;
      const double cloud = fractalNoise(x / 45.0, y / 45.0, 9, 3) - 0.5;
      const double light = 1.0 - 0.05 * (y / double(kHeight));
      const auto shade = [&](int channel) {
        return std::clamp(int(std::lround(channel * light + fibre * 16 + cloud * 14)), 0, 255);
      };
      row[x] = qRgb(shade(qRed(row[x])), shade(qGreen(row[x])), shade(qBlue(row[x])));
    }
  }

  QImage layer = shadow;
  QPainter painter(&layer);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setClipPath(cardPath());
  painter.drawImage(0, 0, paper);
  painter.setClipping(false);
  painter.setPen(QPen(QColor(0xc9, 0xbb, 0x9c), 1));
  painter.drawPath(cardPath());
  return layer;
}

// The ink's alpha in picture coordinates: the textured mark and a few drops squeezed out at
// its edge when the stamp came down.
QImage inkLayer() {
  QImage shape = markShape(kMarkSize);
  inkTexture(shape, 23, 1.0);
  QImage layer(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
  layer.fill(Qt::transparent);
  QPainter painter(&layer);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.setTransform(markTransform());
  painter.drawImage(0, 0, shape);
  Random random(31);
  painter.setPen(Qt::NoPen);
  for (int drop = 0; drop < 9; ++drop) {
    const bool side = random.unit() < 0.5;
    const double along = random.unit();
    const double out = random.range(3, 9);
    const QPointF at = side ? QPointF(along * kMarkSize.width(),
                                      random.unit() < 0.5 ? -out : kMarkSize.height() + out)
                            : QPointF(random.unit() < 0.5 ? -out : kMarkSize.width() + out,
                                      along * kMarkSize.height());
    const double radius = random.range(0.6, 1.7);
    painter.setBrush(QColor(0, 0, 0, int(random.range(150, 230))));
    painter.drawEllipse(at, radius, radius);
  }
  return layer;
}

// Where the stamp is at time t (in frames).
StampPose stampAt(double t) {
  const QPointF target = markCentre();
  const double angle = markAngle();
  const QPointF start(430, -170);
  const QPointF hover = target + QPointF(8, -12);
  const QPointF up = target + QPointF(-6, -10);
  const QPointF exit(-170, -230);
  StampPose pose;
  if (t < kHover) {
    const double e = easeOutCubic(t / kHover);
    pose = {start + (hover - start) * e, lerp(1.0, 0.42, e), lerp(angle - 24, angle + 4, e), 1};
  } else if (t < kContact) {
    const double e = easeInQuad((t - kHover) / (kContact - kHover));
    pose = {hover + (target - hover) * e, lerp(0.42, 0.0, e), lerp(angle + 4, angle, e), 1};
  } else if (t < kLift) {
    // Pressed: a quick squash on impact, then the hand rocks it once to print the corners.
    const double since = t - kContact;
    const double squash = 1.0 - 0.03 * std::exp(-since * 1.1) * (since < 0.5 ? since * 2 : 1);
    pose = {target, 0.0, angle + 0.9 * std::sin(since * 1.3) * std::exp(-since * 0.35), squash};
  } else if (t < kUp) {
    const double e = easeOutCubic((t - kLift) / (kUp - kLift));
    pose = {target + (up - target) * e, 0.33 * e, angle, 1};
  } else {
    const double e = easeInQuad(std::min(1.0, (t - kUp) / (kGone - kUp)));
    pose = {up + (exit - up) * e, lerp(0.33, 1.15, e), lerp(angle, angle + 28, e), 1};
  }
  pose.visible = t < kGone;
  return pose;
}

// The table jolts when the stamp hits it.
QPointF shakeAt(double t) {
  const double since = t - kContact;
  if (since < 0 || since > 4) return {};
  const double decay = std::exp(-since * 1.2);
  return QPointF(1.6 * std::sin(since * 7.0), 2.4 * std::cos(since * 5.0)) * decay;
}

QColor inkAt(double t) {
  const double dry = smoothStep(kLift, kDry, t);
  return QColor::fromRgbF(lerp(kWetInk.redF(), kDryInk.redF(), dry),
                          lerp(kWetInk.greenF(), kDryInk.greenF(), dry),
                          lerp(kWetInk.blueF(), kDryInk.blueF(), dry), 0.93);
}

struct Scene {
  QImage back = background();
  QImage card = cardLayer();
  QImage ink = inkLayer();
};

// A soft band of light that runs once across the paper after the stamp has gone.
void drawSweep(QPainter& painter, double t) {
  if (t <= kSweepStart || t >= kSweepEnd) return;
  const double p = easeInOutSine((t - kSweepStart) / (kSweepEnd - kSweepStart));
  const double x = lerp(-80, kWidth + 80, p);
  QLinearGradient band(QPointF(x - 60, 0), QPointF(x + 60, 40));
  band.setColorAt(0, QColor(255, 255, 255, 0));
  band.setColorAt(0.5, QColor(255, 250, 235, 70));
  band.setColorAt(1, QColor(255, 255, 255, 0));
  painter.save();
  painter.setClipPath(cardPath());
  painter.setCompositionMode(QPainter::CompositionMode_Screen);
  painter.fillRect(QRect(0, 0, kWidth, kHeight), band);
  painter.restore();
}

QImage renderAt(const Scene& scene, double t) {
  QImage frame = scene.back;
  QPainter painter(&frame);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.translate(shakeAt(t));
  painter.drawImage(0, 0, scene.card);
  if (t >= kContact) {
    // Ink soaks into the paper: multiplied, so the fibres show through.
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Multiply);
    painter.drawImage(0, 0, tinted(scene.ink, inkAt(t)));
    painter.restore();
  }
  drawSweep(painter, t);
  const StampPose pose = stampAt(t);
  if (pose.visible) drawStamp(painter, pose, kMarkSize);
  return frame;
}

// Fast motion gets a short exposure blur so that it reads smoothly at 30 frames per second.
QImage renderFrame(const Scene& scene, int index) {
  const double t = index;
  const bool moving = t < kContact || (t >= kLift && t < kGone + 1);
  if (!moving) return renderAt(scene, t);
  // Nine samples over half a frame: a shutter open half the time, like a film camera's.
  QList<QImage> samples;
  for (int sample = 0; sample < kBlurSamples; ++sample) {
    const double offset = 0.5 * (double(sample) / (kBlurSamples - 1) - 0.5);
    samples.append(renderAt(scene, std::max(0.0, t + offset)));
  }
  return average(samples);
}

}  // namespace

bool writeBannerFrames(const QString& dir) {
  if (!QDir(dir).mkpath(QStringLiteral("banner"))) return false;
  const Scene scene;
  for (int index = 0; index < kBannerFrames; ++index) {
    const QString path =
        QStringLiteral("%1/banner/%2.png").arg(dir).arg(index + 1, 2, 10, QLatin1Char('0'));
    if (!renderFrame(scene, index).convertToFormat(QImage::Format_RGB32).save(path)) return false;
  }
  return true;
}

}  // namespace artwork
