#include "branding/banner_view.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QScreen>

#include "branding/stamp_sound.h"

namespace {

constexpr int kBannerFramesPerSecond = 30;
constexpr int kTickMs = 8;
// Below this height the banner keeps its natural size: a smaller one would be unreadable.
constexpr int kSmallestScaledHeight = 41;
const QSize kDefaultSize(360, 340);
// Without any screen the banner is sized for a common desktop.
constexpr int kDefaultScreenHeight = 1080;

QString framePath(int number) {
  return QStringLiteral(":/banner/%1.png").arg(number, 2, 10, QLatin1Char('0'));
}

// Frames 01, 02, ... up to the first one that is missing or whose header cannot be read.
// Only the headers are read here; the pictures are decoded when they are needed.
QStringList findFrames() {
  QStringList paths;
  for (int number = 1;; ++number) {
    const QString path = framePath(number);
    if (!QFile::exists(path) || !QImageReader(path).canRead()) break;
    paths.append(path);
  }
  return paths;
}

}  // namespace

namespace tbp {

BannerFit fitBanner(QSize natural, int availableHeight, double heightFraction, double scale) {
  const int target = std::min(int(natural.height() * scale), int(availableHeight * heightFraction));
  if (target >= kSmallestScaledHeight && target < natural.height())
    return {QSize(target * natural.width() / natural.height(), target), true};
  return {natural, false};
}

QSize devicePixels(QSize size, double ratio) {
  return QSize(int(std::lround(size.width() * ratio)), int(std::lround(size.height() * ratio)));
}

}  // namespace tbp

BannerView::BannerView(QWidget* parent, double heightFraction, double scale)
    : QWidget(parent), framePaths(findFrames()) {
  frames.resize(framePaths.size());
  const QSize natural =
      framePaths.isEmpty() ? kDefaultSize : QImageReader(framePaths.front()).size();
  const QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
  const int availableHeight = screen ? screen->availableGeometry().height() : kDefaultScreenHeight;
  pixelRatio = screen ? screen->devicePixelRatio() : 1.0;
  const tbp::BannerFit fit = tbp::fitBanner(natural, availableHeight, heightFraction, scale);
  bannerSize = fit.size;
  scaled = fit.scaled;
  current = frames.isEmpty() ? 0 : int(frames.size()) - 1;
  timer.setTimerType(Qt::PreciseTimer);
  timer.setInterval(kTickMs);
  connect(&timer, &QTimer::timeout, this, &BannerView::tick);
  connect(&decoding, &QTimer::timeout, this, &BannerView::decodeNextFrame);
  setFixedSize(bannerSize);
}

const QPixmap& BannerView::frame(int index) {
  QPixmap& pixmap = frames[index];
  if (!pixmap.isNull()) return pixmap;
  pixmap = QPixmap(framePaths[index]);
  if (scaled && !pixmap.isNull()) {
    // Scaled once here to device pixels, so that painting only copies.
    pixmap = pixmap.scaled(tbp::devicePixels(bannerSize, pixelRatio), Qt::KeepAspectRatio,
                           Qt::SmoothTransformation);
    pixmap.setDevicePixelRatio(pixelRatio);
  }
  return pixmap;
}

int BannerView::decodedFrames() const {
  return int(std::count_if(frames.begin(), frames.end(),
                           [](const QPixmap& pixmap) { return !pixmap.isNull(); }));
}

void BannerView::decodeNextFrame() {
  if (nextToDecode >= frames.size()) {
    decoding.stop();
    return;
  }
  frame(nextToDecode++);
}

QSize BannerView::sizeHint() const { return bannerSize; }

void BannerView::play(bool withSound) {
  if (frames.isEmpty()) {
    emit finished();
    return;
  }
  current = 0;
  repaint();
  if (withSound) tbp::playStamp();
  clock.start();
  timer.start();
}

// The frame follows the clock, not the ticks: a late tick skips frames instead of slowing the
// animation down.
void BannerView::tick() {
  const qint64 elapsed = clock.elapsed();
  const qint64 frame = elapsed * kBannerFramesPerSecond / 1000;
  if (frame >= frames.size()) {
    current = int(frames.size()) - 1;
    update();
    timer.stop();
    emit finished();
    return;
  }
  if (frame == current) return;
  current = int(frame);
  update();
  if (qEnvironmentVariableIsSet("TBP_BANNERLOG"))
    std::fprintf(stderr, "banner frame %d at %lld ms\n", current + 1,
                 static_cast<long long>(elapsed));
}

void BannerView::paintEvent(QPaintEvent*) {
  if (frames.isEmpty()) return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawPixmap(rect(), frame(current));
  if (nextToDecode == 0 && !decoding.isActive()) decoding.start(0);
}
