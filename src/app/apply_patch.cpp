#include <exception>

#include <QFileInfo>
#include <QStatusBar>

#include "app/main_window.h"
#include "app/prompts.h"
#include "app/qt_text.h"
#include "app/user_settings.h"
#include "build/files.h"
#include "build/patch_files.h"

namespace {


// The ROM's directory, the patch's complete base name and an extension fitting the result.
QString proposedResultPath(const QString& romPath, const QString& patchPath, bool isPort,
                           std::size_t resultSize) {
  return QFileInfo(romPath).absolutePath() + QLatin1Char('/') +
         QFileInfo(patchPath).completeBaseName() +
         QString::fromStdString(tbp::patchedRomExtension(isPort, resultSize));
}

}  // namespace

// Applies any BPS, UPS or IPS patch to any ROM in three dialogs. Only when the user opens a result
// that is a port does the window's state change.
void MainWindow::applyPatchFile() { applyPatchFrom(QString()); }

void MainWindow::applyPatchFrom(const QString& knownPatch) {
  const QString romPath =
      prompts().openFile(QStringLiteral("1/3  Pick the ROM to patch"),
                         QStringLiteral("ROMs (*.nes *.sfc *.smc);;All files (*)"),
                         tbp::lastFolder(tbp::FileKind::NesRom));
  if (romPath.isEmpty()) return;
  tbp::rememberFolder(tbp::FileKind::NesRom, romPath);
  const QString patchPath =
      !knownPatch.isEmpty()
          ? knownPatch
          : prompts().openFile(QStringLiteral("2/3  Pick the patch"),
                               QStringLiteral("Patches (*.bps *.ips *.ups);;All files (*)"),
                               tbp::lastFolder(tbp::FileKind::Patch));
  if (patchPath.isEmpty()) return;
  tbp::rememberFolder(tbp::FileKind::Patch, patchPath);
  try {
    const tbp::Bytes rom = tbp::readFile(utf8(romPath), tbp::FileRole::Rom);
    const tbp::Bytes patch = tbp::readFile(utf8(patchPath), tbp::FileRole::Patch);
    tbp::PatchedRom patched = tbp::applyAnyPatch(rom, patch);
    const bool bps = patched.fromSource();
    const tbp::PortImage result(std::move(patched.bytes));
    const bool isPort = result.isPort();
    const QString savePath = prompts().saveFile(
        QStringLiteral("3/3  Save the patched ROM"),
        tbp::saveStartPath(tbp::FileKind::Port, proposedResultPath(romPath, patchPath, isPort,
                                                                   result.bytes().size())),
        QString());
    if (savePath.isEmpty()) return;
    tbp::rememberFolder(tbp::FileKind::Port, savePath);
    tbp::writeFileSafely(utf8(savePath), result.bytes());
    statusBar()->showMessage(QStringLiteral("Patched: %1 (%2 bytes)")
                                 .arg(savePath, QString::number(result.bytes().size())));
    if (!isPort) return;
    if (!prompts().question(QStringLiteral("Open it?"),
                            QStringLiteral("The result is a TEAM Bexulo port. Open it to change "
                                           "its settings?")))
      return;
    if (!maySetPortAside()) return;
    // With a BPS patch (or a UPS patch applied forwards) the ROM picked first is the new port's
    // NES ROM; an IPS patch says nothing about where its result came from.
    nesFileBytes = bps ? rom : tbp::Bytes{};
    nesRomBytes.clear();
    currentGame = bps && databaseLoaded ? database.findExact(rom) : nullptr;
    nesFileName = bps ? QFileInfo(romPath).fileName() : QString();
    nesFilePath = bps ? QFileInfo(romPath).absoluteFilePath() : QString();
    nesNote.clear();
    portFilePath = QFileInfo(savePath).absoluteFilePath();
    showPort(result, QFileInfo(savePath).fileName());
  } catch (const std::exception& error) {
    prompts().critical(QStringLiteral("Patch failed"), QString::fromUtf8(error.what()));
  }
}
