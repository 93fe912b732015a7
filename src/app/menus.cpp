#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QTabWidget>
#include <QUndoStack>

#include "app/main_window.h"
#include "app/settings_actions.h"
#include "app/user_settings.h"

void MainWindow::buildMenus() {
  buildFileMenu();
  buildEditMenu();
  QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
  help->addAction(QStringLiteral("About"), this, &MainWindow::about);
  addTabShortcuts();
}

// The front buttons' actions, the Output page's two saves, the recent files and Quit. New file
// actions go in here, beside their kin.
void MainWindow::buildFileMenu() {
  QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
  file->addAction(QStringLiteral("Open NES ROM..."), this, &MainWindow::openNes)
      ->setShortcut(QKeySequence::Open);
  file->addAction(QStringLiteral("Open SNES port..."), this, &MainWindow::openPort);
  file->addAction(QStringLiteral("Apply patch file..."), this, &MainWindow::applyPatchFile);
  recentMenu = file->addMenu(QStringLiteral("Open recent"));
  fillRecentMenu();
  file->addSeparator();
  saveRomAction = file->addAction(QStringLiteral("Save SNES ROM..."), this, &MainWindow::saveRom);
  saveRomAction->setShortcut(QKeySequence::Save);
  savePatchAction =
      file->addAction(QStringLiteral("Create BPS patch..."), this, &MainWindow::savePatch);
  file->addSeparator();
  addSettingsActions(*this, file);
  file->addSeparator();
  QAction* quit = file->addAction(QStringLiteral("Quit"), this, &MainWindow::close);
  // Desktops without a standard Quit key (the binding list is empty there) get Ctrl+Q.
  quit->setShortcuts(QKeySequence::Quit);
  if (quit->shortcuts().isEmpty()) quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  quit->setMenuRole(QAction::QuitRole);
}

void MainWindow::buildEditMenu() {
  QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
  QAction* undo = undoStack->createUndoAction(this, QStringLiteral("&Undo"));
  undo->setShortcut(QKeySequence::Undo);
  QAction* redo = undoStack->createRedoAction(this, QStringLiteral("&Redo"));
  redo->setShortcut(QKeySequence::Redo);
  edit->addAction(undo);
  edit->addAction(redo);
}

void MainWindow::fillRecentMenu() {
  recentMenu->clear();
  const QStringList files = tbp::recentFiles();
  for (const QString& path : files) {
    QAction* action = recentMenu->addAction(QFileInfo(path).fileName());
    action->setToolTip(QDir::toNativeSeparators(path));
    connect(action, &QAction::triggered, this, [this, path] { openFile(path); });
  }
  recentMenu->setEnabled(!files.isEmpty());
}

void MainWindow::rememberRecentFile(const QString& path) {
  const QString absolute = QFileInfo(path).absoluteFilePath();
  QStringList files = tbp::recentFiles();
  files.removeAll(absolute);
  files.prepend(absolute);
  tbp::setRecentFiles(files);
  fillRecentMenu();
}

namespace {

// The next enabled tab after (step 1) or before (step -1) the current one, wrapping around.
void stepTab(QTabWidget& tabs, int step) {
  const int count = tabs.count();
  for (int offset = 1; offset < count; ++offset) {
    const int index = ((tabs.currentIndex() + step * offset) % count + count) % count;
    if (tabs.isTabEnabled(index)) {
      tabs.setCurrentIndex(index);
      return;
    }
  }
}

}  // namespace

// The tab widget changes tabs with Ctrl+Tab only while it holds the focus; these work
// wherever the focus is in the window.
void MainWindow::addTabShortcuts() {
  const QKeySequence next[] = {QKeySequence(Qt::CTRL | Qt::Key_Tab),
                               QKeySequence(Qt::CTRL | Qt::Key_PageDown)};
  const QKeySequence previous[] = {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab),
                                   QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab),
                                   QKeySequence(Qt::CTRL | Qt::Key_PageUp)};
  for (const QKeySequence& keys : next)
    connect(new QShortcut(keys, this), &QShortcut::activated, this, [this] { stepTab(*tabs, 1); });
  for (const QKeySequence& keys : previous)
    connect(new QShortcut(keys, this), &QShortcut::activated, this,
            [this] { stepTab(*tabs, -1); });
}
