#include <QApplication>
#include <QTimer>

#include "app/automation.h"
#include "app/main_window.h"
#include "app/open_file.h"
#include "app/startup.h"

namespace {
// Lets the window appear and settle before the automation run grabs it.
constexpr int kAutomationDelayMs = 200;
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("TEAM Bexulo Patcher"));
  QApplication::setOrganizationName(QStringLiteral("TEAM Bexulo"));
  // The multi-size window icon is set here once the icon set exists.

  MainWindow window;
  window.show();
  tbp::openFileFromArguments(window, QApplication::arguments());

  if (tbp::splashWantedByEnvironment()) {
    // The splash opens over the main window here once the banner animation exists.
  }

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
