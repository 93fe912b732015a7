#include <exception>
#include <stdexcept>

#include <QDir>
#include <QFileInfo>
#include <QStatusBar>
#include <QTabWidget>

#include "app/main_window.h"
#include "app/prompts.h"
#include "app/qt_text.h"
#include "app/status_errors.h"
#include "app/user_settings.h"
#include "build/build_port.h"
#include "build/files.h"
#include "build/nes_rom.h"
#include "build/snes_header_report.h"

namespace {

const QString kNoDatabase = QStringLiteral("games.json was not found next to the program.");
const QString kEmbeddedCopyName = QStringLiteral("the copy embedded in the port");
const QString kEmbeddedCopyNote =
    QStringLiteral("taken from the port itself, so a BPS can be made without the NES ROM file");
const QString kNesFilter = QStringLiteral("NES ROMs (*.nes);;All files (*)");
const QString kPortFilter = QStringLiteral("SNES ROMs (*.sfc *.smc);;All files (*)");



}  // namespace

void MainWindow::openNes() {
  const QString path = prompts().openFile(QStringLiteral("Open NES ROM"), kNesFilter,
                                          tbp::lastFolder(tbp::FileKind::NesRom));
  if (path.isEmpty()) return;
  tbp::rememberFolder(tbp::FileKind::NesRom, path);
  openNesFile(path);
}

void MainWindow::openNesFile(const QString& path) {
  try {
    const tbp::Bytes file = tbp::readFile(utf8(path), tbp::FileRole::NesRom);
    if (!databaseLoaded) throw std::runtime_error(kNoDatabase.toStdString());
    const tbp::NesRom nes = tbp::identifyNesRom(database, file);
    const QFileInfo info(path);
    if (!nes.game) {
      const std::string report = tbp::describeUnknownRom(utf8(info.fileName()), database, file);
      prompts().wrongRom(QStringLiteral("Wrong ROM"),
                         QStringLiteral("This isn't the NES ROM the patch was made from."),
                         QString::fromStdString(report));
      return;
    }
    tbp::PortImage built(tbp::buildPort(database, nes));
    const QString source =
        QStringLiteral("to be built from your %1 ROM").arg(QString::fromStdString(nes.game->title));
    // A base patch that does not make a port gets the "Not a port" box; the NES ROM of the port
    // on screen stays, so that a later BPS is still made against the right game.
    if (!built.isPort()) {
      showPort(built, source);
      return;
    }
    if (!maySetPortAside()) return;
    nesFileBytes = file;
    nesRomBytes = nes.rom;
    currentGame = nes.game;
    nesFileName = info.fileName();
    nesFilePath = info.absoluteFilePath();
    portFilePath.clear();
    nesNote = QString::fromStdString(nes.note);
    showPort(built, source);
    rememberRecentFile(path);
    // The header-repair note goes up after the port display's own status line, which would
    // otherwise replace it at once.
    if (!nesNote.isEmpty()) statusBar()->showMessage(nesNote, tbp::kNoteTimeoutMs);
  } catch (const std::exception& error) {
    showFileError(path, error);
  }
}

void MainWindow::openPort() {
  const QString path = prompts().openFile(QStringLiteral("Open SNES port"), kPortFilter,
                                          tbp::lastFolder(tbp::FileKind::Port));
  if (path.isEmpty()) return;
  tbp::rememberFolder(tbp::FileKind::Port, path);
  openPortFile(path);
}

void MainWindow::openPortFile(const QString& path) {
  try {
    tbp::Bytes file = tbp::readFile(utf8(path), tbp::FileRole::Port);
    const tbp::SnesHeaderReport header = tbp::snesHeaderReport(file);
    if (tbp::hasPortCopierHeader(file.size()))
      file.erase(file.begin(), file.begin() + tbp::kCopierHeaderSize);
    const tbp::PortImage image(std::move(file));
    // A file that is not a port gets the "Not a port" box and leaves the NES ROM and the file
    // name of the port on screen as they are.
    if (image.isPort()) {
      if (!maySetPortAside()) return;
      takeEmbeddedNes(image);
      portFilePath = QFileInfo(path).absoluteFilePath();
    } else if (header.plausible && !tbp::hasInesMagic(file)) {
      // Any other SNES ROM still gets its header report on the information page.
      foreignRomName = QFileInfo(path).fileName();
      foreignRomHeader = header;
      renderInfoPage();
    }
    showPort(image, QFileInfo(path).fileName());
    if (image.isPort()) rememberRecentFile(path);
  } catch (const std::exception& error) {
    showFileError(path, error);
  }
}

// A message about a file names it: the readers' own messages name their path (the chosen file's
// or another one, such as a base patch), the others get the chosen file's name in front. A
// missing database is not about the file.
void MainWindow::showFileError(const QString& path, const std::exception& error) {
  const QString message = QString::fromUtf8(error.what());
  const QString name = QFileInfo(path).fileName();
  const bool named =
      message.contains(name) || message.contains(QLatin1Char('/')) || message == kNoDatabase;
  showError(named ? message : QStringLiteral("%1: %2").arg(name, message));
}

// The NES state of an opened port: its embedded NES copy, or nothing.
void MainWindow::takeEmbeddedNes(const tbp::PortImage& port) {
  nesFilePath.clear();
  tbp::Bytes embedded = port.embeddedNes();
  if (embedded.empty()) {
    nesFileBytes.clear();
    nesRomBytes.clear();
    currentGame = nullptr;
    nesFileName.clear();
    nesNote.clear();
    return;
  }
  currentGame = databaseLoaded ? database.findExact(embedded) : nullptr;
  nesFileBytes = embedded;
  nesRomBytes = std::move(embedded);
  nesFileName = kEmbeddedCopyName;
  nesNote = kEmbeddedCopyNote;
}

QString MainWindow::suggestOutputPath(const QString& prefix, const QString& extension) const {
  QString directory;
  QString baseName;
  if (!nesFilePath.isEmpty()) {
    const QFileInfo nesFile(nesFilePath);
    directory = nesFile.absolutePath();
    baseName = nesFile.completeBaseName();
  } else if (!portFilePath.isEmpty()) {
    const QFileInfo portFile(portFilePath);
    directory = portFile.absolutePath();
    const bool gameHasFile = currentGame && !currentGame->file.empty();
    baseName = gameHasFile ? QFileInfo(QString::fromStdString(currentGame->file)).completeBaseName()
                           : portFile.completeBaseName();
    const QString ownPrefix = QStringLiteral("TEAM Bexulo - ");
    if (baseName.startsWith(ownPrefix, Qt::CaseInsensitive)) baseName.remove(0, ownPrefix.size());
  } else {
    return QString();
  }
  return directory + QLatin1Char('/') + prefix + baseName + extension;
}
