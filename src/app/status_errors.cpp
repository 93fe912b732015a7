#include "app/status_errors.h"

#include <exception>

#include <QStatusBar>

namespace tbp {

bool runReportingErrors(QStatusBar& statusBar, const std::function<void()>& work) {
  try {
    work();
    return true;
  } catch (const std::exception& error) {
    statusBar.showMessage(QStringLiteral("Error: %1").arg(QString::fromUtf8(error.what())),
                          kErrorMessageTimeoutMs);
  } catch (...) {
    statusBar.showMessage(QStringLiteral("Error"), kErrorMessageTimeoutMs);
  }
  return false;
}

}  // namespace tbp
