#include "branding/shine_icon.h"

#include <algorithm>

#include <QFile>
#include <QWidget>

namespace {

constexpr int kIconSizes[] = {16, 20, 24, 32, 40, 48, 64, 96, 128, 256};
// The first glint waits until the window has settled on the screen.
constexpr int kFirstGlintMs = 2000;

}  // namespace

namespace tbp {

QIcon makeWindowIcon() {
  QIcon icon;
  for (const int size : kIconSizes) {
    const QString path = QStringLiteral(":/icons/png/bexulo_%1.png").arg(size);
    if (QFile::exists(path)) icon.addFile(path, QSize(size, size), QIcon::Normal, QIcon::Off);
  }
  return icon;
}

}  // namespace tbp

ShineIcon::ShineIcon(QWidget* parent, const QString& framePattern)
    : QObject(parent), pattern(framePattern), target(parent), base(tbp::makeWindowIcon()) {
  target->setWindowIcon(base);
  timer.setSingleShot(true);
  connect(&timer, &QTimer::timeout, this, &ShineIcon::tick);
  timer.start(kFirstGlintMs);
}

int ShineIcon::frameCount() const {
  loadFrames();
  return int(frames.size());
}

bool ShineIcon::isRunning() const {
  loadFrames();
  return timer.isActive();
}

// All or nothing: a frame the icon reader cannot decode (it then reports no sizes) would leave
// a gap in the glint, so one bad frame disables the animation.
void ShineIcon::loadFrames() const {
  if (loaded) return;
  loaded = true;
  for (int number = 1;; ++number) {
    const QString path = pattern.arg(number, 2, 10, QLatin1Char('0'));
    if (!QFile::exists(path)) break;
    const QIcon frame(path);
    if (frame.availableSizes(QIcon::Normal, QIcon::Off).isEmpty()) {
      frames.clear();
      break;
    }
    frames.append(frame);
  }
  if (frames.isEmpty()) timer.stop();
}

void ShineIcon::tick() {
  loadFrames();
  if (frames.isEmpty()) return;
  if (index == -1 && (!target->isVisible() || target->isMinimized())) {
    timer.start(period);
    return;
  }
  ++index;
  if (index < frames.size()) {
    target->setWindowIcon(frames[index]);
    timer.start(step);
    return;
  }
  target->setWindowIcon(base);
  index = -1;
  timer.start(std::max(0, period - step * int(frames.size())));
}
