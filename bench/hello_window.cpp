// The peer of the start-up benchmark: a Qt Widgets hello-world window, which quits after its
// first frame under TBP_FIRSTFRAME exactly like the patcher.
#include <QApplication>
#include <QLabel>

#include "app/first_frame.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QLabel window(QStringLiteral("Hello, world"));
  window.resize(900, 680);
  tbp::quitAfterFirstFrameIfAsked(window);
  window.show();
  return app.exec();
}
