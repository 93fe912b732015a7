#include "branding/splash.h"

#include <algorithm>

#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "branding/banner_view.h"

namespace {

constexpr int kStartDelayMs = 150;
constexpr int kCloseDelayMs = 400;

}  // namespace

// A child of the window but a window of its own: it stays above the main window and goes
// with it, should the program end while the splash is still up.
Splash::Splash(QWidget* window)
    : QWidget(window, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setAttribute(Qt::WA_DeleteOnClose);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  bannerView = new BannerView(this, tbp::kSplashBanner.heightFraction, tbp::kSplashBanner.scale);
  layout->addWidget(bannerView);
}

void Splash::mousePressEvent(QMouseEvent*) { close(); }

namespace tbp {

QPoint splashPosition(const QRect& windowFrame, QSize splashSize,
                      const std::optional<QRect>& available) {
  const QPoint centre = windowFrame.center();
  int x = centre.x() - splashSize.width() / 2;
  int y = centre.y() - splashSize.height() / 2;
  if (available) {
    x = std::max(available->left(), std::min(x, available->right() - splashSize.width()));
    y = std::max(available->top(), std::min(y, available->bottom() - splashSize.height()));
  }
  return {x, y};
}

Splash* showSplash(QWidget& window) {
  auto* splash = new Splash(&window);
  BannerView* banner = splash->banner();
  QObject::connect(banner, &BannerView::finished, splash, [splash] {
    QTimer::singleShot(kCloseDelayMs, splash, [splash] { splash->close(); });
  });
  splash->adjustSize();
  const QScreen* screen = window.screen();
  const std::optional<QRect> available =
      screen ? std::optional<QRect>(screen->availableGeometry()) : std::nullopt;
  splash->move(splashPosition(window.frameGeometry(), splash->size(), available));
  splash->show();
  splash->raise();
  QTimer::singleShot(kStartDelayMs, banner, [banner] { banner->play(true); });
  return splash;
}

}  // namespace tbp
