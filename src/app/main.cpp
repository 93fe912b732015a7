#include <QApplication>
#include <QTimer>

#include "app/automation.h"
#include "app/first_frame.h"
#include "app/main_window.h"
#include "app/open_file.h"
#include "app/startup.h"
#include "branding/shine_icon.h"
#include "branding/splash.h"

#ifndef TBP_VERSION
#define TBP_VERSION "unknown"
#endif

namespace {
// Lets the window appear and settle before the automation run grabs it.
constexpr int kAutomationDelayMs = 200;
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("TEAM Bexulo Patcher"));
  QApplication::setOrganizationName(QStringLiteral("TEAM Bexulo"));
  QApplication::setApplicationVersion(QStringLiteral(TBP_VERSION));
  QApplication::setWindowIcon(tbp::makeWindowIcon());

  MainWindow window;
  tbp::quitAfterFirstFrameIfAsked(window);
  window.show();
  if (tbp::splashWantedByEnvironment()) tbp::showSplash(window);

  // A file from the command line or the desktop's "open with"; the automation run opens its own.
  if (!tbp::automationWantedByEnvironment())
    tbp::openFileFromArguments(window, QApplication::arguments());

  if (tbp::automationWantedByEnvironment()) {
    QTimer::singleShot(kAutomationDelayMs, &window, [&window] {
      const QString romPath = QString::fromLocal8Bit(qgetenv("TBP_LOAD"));
      const QString prefix = QString::fromLocal8Bit(qgetenv("TBP_SHOT"));
      tbp::runAutomation(window, romPath, prefix);
      QApplication::quit();
    });
  }

  return app.exec();
}
