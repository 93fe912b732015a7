#include <exception>
#include <stdexcept>

#include <QFileInfo>
#include <QStatusBar>
#include <QUndoStack>

#include "app/main_window.h"
#include "app/prompts.h"
#include "app/qt_text.h"
#include "app/user_settings.h"
#include "build/files.h"
#include "build/nes_rom.h"
#include "build/staged_files.h"
#include "formats/checksums.h"
#include "formats/patches.h"

namespace {

using tbp::kKilobyte;


QString sha256Text(const tbp::Bytes& data) {
  return QString::fromStdString(tbp::sha256Hex(data.data(), data.size()));
}

QString kilobytes(std::size_t size) { return QString::number(size / kKilobyte); }

// The end of a save's status line that counts the tracks: " + <n> MSU-1 track(s)<beside>", or
// " + <written> of <n> MSU-1 track(s)<beside> (cancelled)" after the user stopped the tracks.
QString tracksText(int written, std::size_t chosen, const QString& beside) {
  if (chosen == 0) return QString();
  if (std::size_t(written) == chosen)
    return QStringLiteral(" + %1 MSU-1 track(s)%2").arg(chosen).arg(beside);
  return QStringLiteral(" + %1 of %2 MSU-1 track(s)%3 (cancelled)")
      .arg(written)
      .arg(chosen)
      .arg(beside);
}

// Songs that play a track the ROM already maps, without a chosen file: a save does not write
// their track files, which the user must keep beside the new file. Empty when there are none.
QString keptTracksText(const MainWindow& window) {
  int kept = 0;
  for (const tbp::MsuSong& song : window.portImage.msuSongs())
    if (window.portImage.msuTrack(song.index) >= 0 && !window.musicChoices.count(song.index))
      ++kept;
  if (kept == 0) return QString();
  return QStringLiteral(". %1 song(s) keep the MSU-1 track of the opened ROM: its file is not "
                        "rewritten unless you choose one")
      .arg(kept);
}

}  // namespace

void MainWindow::saveRom() {
  const QString path = prompts().saveFile(
      QStringLiteral("Save SNES ROM"),
      tbp::saveStartPath(tbp::FileKind::Port, suggestOutputPath(QStringLiteral("TEAM Bexulo - "),
                                                                QStringLiteral(".sfc"))),
      QStringLiteral("SNES ROM (*.sfc)"));
  if (path.isEmpty()) return;
  tbp::rememberFolder(tbp::FileKind::Port, path);
  try {
    if (!portImage.isPort()) throw std::runtime_error("no port is loaded");
    const tbp::PortImage image = finalImage();
    // The ROM, its tracks and their marker appear together once all are written, or not at
    // all (a user's cancel of the tracks keeps what was converted).
    tbp::StagedFiles files;
    files.stage(utf8(path), image.bytes());
    const int written = writeMsuTracks(path, files);
    files.commit();
    undoStack->setClean();  // the changes are on disk from here
    statusBar()->showMessage(QStringLiteral("Saved %1 (%2 KB)%3%4")
                                 .arg(path, kilobytes(image.bytes().size()),
                                      tracksText(written, musicChoices.size(), QString()),
                                      keptTracksText(*this)));
  } catch (const std::exception& error) {
    showError(QString::fromUtf8(error.what()));
  }
}

// Phase A of savePatch: a port without its NES ROM asks for it, and accepts only the file whose
// SHA-256 (after header repair) the port recorded. Returns false when the action ends here.
bool MainWindow::askForSourceNes() {
  const QString path = prompts().openFile(QStringLiteral("The NES ROM this port was made from"),
                                          QStringLiteral("NES ROMs (*.nes);;All files (*)"),
                                          tbp::lastFolder(tbp::FileKind::NesRom));
  if (path.isEmpty()) return false;
  tbp::rememberFolder(tbp::FileKind::NesRom, path);
  const tbp::Bytes file = tbp::readFile(utf8(path), tbp::FileRole::NesRom);
  tbp::NesRom identified;
  if (databaseLoaded) identified = tbp::identifyNesRom(database, file);
  const tbp::Bytes& checked = identified.game ? identified.rom : file;
  const QString expected = QString::fromStdString(portImage.nesDigestText());
  if (!expected.isEmpty() && expected != sha256Text(checked)) {
    prompts().warning(QStringLiteral("Wrong NES ROM"),
                      QStringLiteral("This port was made from the NES ROM with SHA-256\n%1\n\n"
                                     "That file is\n%2")
                          .arg(expected, sha256Text(file)));
    return false;
  }
  nesFileBytes = file;
  currentGame = identified.game;
  nesFileName = QFileInfo(path).fileName();
  nesFilePath = QFileInfo(path).absoluteFilePath();
  nesNote = identified.game ? QString::fromStdString(identified.note) : QString();
  return true;
}

void MainWindow::savePatch() {
  try {
    if (!portImage.isPort()) throw std::runtime_error("no port is loaded");
    if (nesFileBytes.empty() && !askForSourceNes()) return;
  } catch (const std::exception& error) {
    showError(QString::fromUtf8(error.what()));
    return;
  }
  const QString path = prompts().saveFile(
      QStringLiteral("Create BPS patch"),
      tbp::saveStartPath(tbp::FileKind::Patch, suggestOutputPath(QString(), QStringLiteral(".bps"))),
      QStringLiteral("BPS patch (*.bps)"));
  if (path.isEmpty()) return;
  tbp::rememberFolder(tbp::FileKind::Patch, path);
  try {
    const tbp::PortImage image = finalImage();
    const std::string metadata =
        "TEAM Bexulo Patcher: " + (currentGame ? currentGame->port : std::string("port"));
    const tbp::Bytes patch = tbp::createBps(nesFileBytes, image.bytes(), metadata);
    // The patch is proven before it is written: applied to the NES ROM it must give the image.
    if (tbp::applyBps(nesFileBytes, patch) != image.bytes())
      throw std::runtime_error("internal error: the patch did not round-trip");
    tbp::StagedFiles files;
    files.stage(utf8(path), patch);
    // The tracks are named after the patch: applying it under the same name gives the ROM
    // they belong to.
    const int written = writeMsuTracks(path, files);
    files.commit();
    undoStack->setClean();
    statusBar()->showMessage(
        QStringLiteral("Patch saved: %1 (%2 KB)%3%4")
            .arg(path, kilobytes(patch.size()),
                 tracksText(written, musicChoices.size(), QStringLiteral(" beside it")),
                 keptTracksText(*this)));
  } catch (const std::exception& error) {
    showError(QString::fromUtf8(error.what()));
  }
}
