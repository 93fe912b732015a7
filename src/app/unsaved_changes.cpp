#include <QCloseEvent>
#include <QFileInfo>
#include <QUndoStack>

#include "app/main_window.h"
#include "app/prompts.h"
#include "app/user_settings.h"

namespace {

const QString kProgramName = QStringLiteral("TEAM Bexulo Patcher");

// The port's name for the title and the question: the file it came from, else the game of the
// NES ROM it was built from, else the name the port gives itself.
QString portTitle(const MainWindow& window) {
  if (!window.portFilePath.isEmpty()) return QFileInfo(window.portFilePath).fileName();
  if (window.currentGame) return QString::fromStdString(window.currentGame->title);
  if (!window.nesFileName.isEmpty()) return window.nesFileName;
  return QString::fromStdString(window.portImage.portName());
}

}  // namespace

void MainWindow::updateWindowTitle() {
  if (!portImage.isPort()) {
    setWindowTitle(kProgramName);
    return;
  }
  // "[*]" is where the toolkit shows the modified marker.
  setWindowTitle(QStringLiteral("%1[*] - %2").arg(portTitle(*this), kProgramName));
}

bool MainWindow::maySetPortAside() {
  if (neverAskToSave || undoStack->isClean()) return true;
  const UnsavedAnswer answer = prompts().unsavedChanges(
      QStringLiteral("Unsaved changes"),
      QStringLiteral("%1 has changes that are not saved. Save them as an SNES ROM first?")
          .arg(portTitle(*this)));
  if (answer == UnsavedAnswer::Discard) return true;
  if (answer == UnsavedAnswer::Cancel) return false;
  saveRom();
  // A cancelled or failed save keeps the port, and its changes, on screen.
  return undoStack->isClean();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!maySetPortAside()) {
    event->ignore();
    return;
  }
  if (!neverAskToSave) tbp::setWindowGeometry(saveGeometry());
  event->accept();
}
