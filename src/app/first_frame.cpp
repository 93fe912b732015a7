#include "app/first_frame.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace tbp {

namespace {

// Quits once the watched widget has handled its first paint event; the quit is queued so that
// the painted frame is flushed to the screen first.
class FirstFrameWatcher : public QObject {
 public:
  explicit FirstFrameWatcher(QWidget& window) : QObject(&window) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      watched->removeEventFilter(this);
      QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
    }
    return false;
  }
};

}  // namespace

void quitAfterFirstFrameIfAsked(QWidget& window) {
  if (qEnvironmentVariableIsEmpty("TBP_FIRSTFRAME")) return;
  window.installEventFilter(new FirstFrameWatcher(window));
}

}  // namespace tbp
