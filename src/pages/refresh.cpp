#include <QStatusBar>

#include "app/main_window.h"
#include "app/status_errors.h"
#include "pages/pages.h"
#include "pages/refreshing_scope.h"

void MainWindow::refreshPages() {
  const RefreshingScope scope(refreshing);
  refreshSwitchesPage(*this);
  refreshControlsPage(*this);
  refreshSplashPage(*this);
  refreshOutputPage(*this);
  refreshFontsPage(*this);
}

void runPageHandler(MainWindow& window, const std::function<void()>& handler) {
  tbp::runReportingErrors(*window.statusBar(), handler);
}
