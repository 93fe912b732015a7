#include "app/startup.h"

#include <QtGlobal>

#include "app/main_window.h"

namespace tbp {

namespace {
constexpr int kMinimumCentredWidth = 960;
constexpr int kMinimumCentredHeight = 720;
}  // namespace

bool shouldOpenSplash(const QByteArray& shot, const QByteArray& noSplash) {
  return shot.isEmpty() && noSplash.isEmpty();
}

bool shouldRunAutomation(const QByteArray& load, const QByteArray& shot) {
  return !load.isEmpty() && !shot.isEmpty();
}

bool splashWantedByEnvironment() {
  return shouldOpenSplash(qgetenv("TBP_SHOT"), qgetenv("TBP_NOSPLASH"));
}

bool automationWantedByEnvironment() {
  return shouldRunAutomation(qgetenv("TBP_LOAD"), qgetenv("TBP_SHOT"));
}

WindowPlacement placeWindow(const QRect& available, const QSize& windowSize) {
  WindowPlacement placement;
  if (available.width() >= kMinimumCentredWidth && available.height() >= kMinimumCentredHeight) {
    placement.geometry = QRect(QPoint(0, 0), windowSize);
    placement.geometry.moveCenter(available.center());
    return placement;
  }
  placement.maximised = true;
  placement.geometry = available;
  return placement;
}

}  // namespace tbp
