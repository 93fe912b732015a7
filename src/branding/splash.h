#pragma once

#include <optional>

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>

class BannerView;

// The frameless start-up window that plays the banner over the main window. A click closes it
// at once; otherwise it closes itself shortly after the banner has finished.
class Splash : public QWidget {
 public:
  explicit Splash(QWidget* window);

  BannerView* banner() const { return bannerView; }

 protected:
  void mousePressEvent(QMouseEvent* event) override;

 private:
  BannerView* bannerView = nullptr;
};

namespace tbp {

// Where the splash goes: centred on the window's frame, then kept inside the screen's
// available area when there is a screen.
QPoint splashPosition(const QRect& windowFrame, QSize splashSize,
                      const std::optional<QRect>& available);

// Creates, places and shows the splash over window; its banner starts 150 ms later, with
// sound. The splash deletes itself when it closes.
Splash* showSplash(QWidget& window);

}  // namespace tbp
