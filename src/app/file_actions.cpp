#include <exception>
#include <stdexcept>

#include <QDir>
#include <QFileInfo>
#include <QStatusBar>
#include <QTabWidget>

#include "app/main_window.h"
#include "app/prompts.h"
#include "build/build_port.h"
#include "build/files.h"
#include "build/nes_rom.h"

namespace {

const QString kNoDatabase = QStringLiteral("games.json was not found next to the program.");
const QString kEmbeddedCopyName = QStringLiteral("the copy embedded in the port");
const QString kEmbeddedCopyNote =
    QStringLiteral("taken from the port itself, so a BPS can be made without the NES ROM file");
const QString kNesFilter = QStringLiteral("NES ROMs (*.nes);;All files (*)");
const QString kPortFilter = QStringLiteral("SNES ROMs (*.sfc *.smc);;All files (*)");

// A copier adds 512 bytes in front of a ROM whose size is a whole number of 32 KB banks.
constexpr std::size_t kCopierHeaderSize = 512;
constexpr std::size_t kBankSize = 32768;
constexpr int kNoteTimeoutMs = 15000;

std::string utf8(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace

void MainWindow::openNes() {
  const QString path = prompts().openFile(QStringLiteral("Open NES ROM"), kNesFilter);
  if (!path.isEmpty()) openNesFile(path);
}

void MainWindow::openNesFile(const QString& path) {
  try {
    const tbp::Bytes file = tbp::readFile(utf8(path));
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
    tbp::Bytes built = tbp::buildPort(database, nes);
    nesFileBytes = file;
    nesRomBytes = nes.rom;
    currentGame = nes.game;
    nesFileName = info.fileName();
    nesFilePath = info.absoluteFilePath();
    portFilePath.clear();
    nesNote = QString::fromStdString(nes.note);
    showPort(tbp::PortImage(std::move(built)), QStringLiteral("to be built from your %1 ROM")
                                                   .arg(QString::fromStdString(nes.game->title)));
    // The header-repair note goes up after the port display's own status line, which would
    // otherwise replace it at once.
    if (!nesNote.isEmpty()) statusBar()->showMessage(nesNote, kNoteTimeoutMs);
  } catch (const std::exception& error) {
    showError(QString::fromUtf8(error.what()));
  }
}

void MainWindow::openPort() {
  const QString path = prompts().openFile(QStringLiteral("Open SNES port"), kPortFilter);
  if (!path.isEmpty()) openPortFile(path);
}

void MainWindow::openPortFile(const QString& path) {
  try {
    tbp::Bytes file = tbp::readFile(utf8(path));
    if (file.size() % kBankSize == kCopierHeaderSize)
      file.erase(file.begin(), file.begin() + kCopierHeaderSize);
    nesFileBytes.clear();
    nesRomBytes.clear();
    currentGame = nullptr;
    nesFileName.clear();
    nesNote.clear();
    nesFilePath.clear();
    portFilePath = QFileInfo(path).absoluteFilePath();
    tbp::PortImage image(std::move(file));
    if (image.isPort()) {
      tbp::Bytes embedded = image.embeddedNes();
      if (!embedded.empty()) {
        if (databaseLoaded) currentGame = database.findExact(embedded);
        nesFileBytes = embedded;
        nesRomBytes = std::move(embedded);
        nesFileName = kEmbeddedCopyName;
        nesNote = kEmbeddedCopyNote;
      }
    }
    showPort(image, QFileInfo(path).fileName());
  } catch (const std::exception& error) {
    showError(QString::fromUtf8(error.what()));
  }
}

void MainWindow::checkCodes() {
  // The codes are checked against the NES program once the Switches page has its code box;
  // until then there is nothing to check.
}

tbp::Bytes MainWindow::codeNes() {
  if (!nesRomBytes.empty()) return nesRomBytes;
  if (!nesFileBytes.empty()) return nesFileBytes;
  return portImage.embeddedNes();
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
