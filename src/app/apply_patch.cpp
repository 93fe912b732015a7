#include <exception>

#include <QFileInfo>
#include <QStatusBar>

#include "app/main_window.h"
#include "app/prompts.h"
#include "build/files.h"
#include "formats/patches.h"

namespace {

// A result this large is an SNES ROM even without a manifest; smaller ones are proposed as
// plain binaries.
constexpr std::size_t kSnesProposalSize = 0x40000;

std::string utf8(const QString& text) { return text.toUtf8().toStdString(); }

// Only a file longer than the bare magic counts as BPS; everything else goes to the IPS engine.
bool isBpsPatch(const tbp::Bytes& patch) {
  return patch.size() > 3 && patch[0] == 'B' && patch[1] == 'P' && patch[2] == 'S' &&
         patch[3] == '1';
}

// The ROM's directory, the patch's complete base name and an extension fitting the result.
QString proposedResultPath(const QString& romPath, const QString& patchPath, bool isPort,
                           std::size_t resultSize) {
  const QString extension =
      isPort || resultSize >= kSnesProposalSize ? QStringLiteral(".sfc") : QStringLiteral(".bin");
  return QFileInfo(romPath).absolutePath() + QLatin1Char('/') +
         QFileInfo(patchPath).completeBaseName() + extension;
}

}  // namespace

// Applies any BPS or IPS patch to any ROM in three dialogs. Only when the user opens a result
// that is a port does the window's state change.
void MainWindow::applyPatchFile() { applyPatchFrom(QString()); }

void MainWindow::applyPatchFrom(const QString& knownPatch) {
  const QString romPath =
      prompts().openFile(QStringLiteral("1/3  Pick the ROM to patch"),
                         QStringLiteral("ROMs (*.nes *.sfc *.smc);;All files (*)"));
  if (romPath.isEmpty()) return;
  const QString patchPath =
      !knownPatch.isEmpty()
          ? knownPatch
          : prompts().openFile(QStringLiteral("2/3  Pick the patch"),
                               QStringLiteral("Patches (*.bps *.ips);;All files (*)"));
  if (patchPath.isEmpty()) return;
  try {
    const tbp::Bytes rom = tbp::readFile(utf8(romPath));
    const tbp::Bytes patch = tbp::readFile(utf8(patchPath));
    const bool bps = isBpsPatch(patch);
    const tbp::PortImage result(bps ? tbp::applyBps(rom, patch) : tbp::applyIps(rom, patch));
    const bool isPort = result.isPort();
    const QString savePath = prompts().saveFile(
        QStringLiteral("3/3  Save the patched ROM"),
        proposedResultPath(romPath, patchPath, isPort, result.bytes().size()), QString());
    if (savePath.isEmpty()) return;
    tbp::writeFileSafely(utf8(savePath), result.bytes());
    statusBar()->showMessage(QStringLiteral("Patched: %1 (%2 bytes)")
                                 .arg(savePath, QString::number(result.bytes().size())));
    if (!isPort) return;
    if (!prompts().question(QStringLiteral("Open it?"),
                            QStringLiteral("The result is a TEAM Bexulo port. Open it to change "
                                           "its settings?")))
      return;
    // With a BPS patch the ROM picked first is the new port's NES ROM; an IPS patch says
    // nothing about where its result came from.
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
