#include <stdexcept>
#include <vector>

#include <QFileInfo>
#include <QStringList>
#include <QStatusBar>
#include <QThread>

#include "app/main_window.h"
#include "app/prompts.h"
#include "app/qt_text.h"
#include "app/track_conversion.h"
#include "build/msu_files.h"
#include "build/staged_files.h"
#include "pages/music_tools.h"

namespace {


// "Name ($0A)" for each song, as the Music page lists them.
QStringList songNames(const tbp::PortImage& port, const std::vector<int>& songs) {
  QStringList names;
  const std::vector<tbp::MsuSong> listed = port.msuSongs();
  for (const int song : songs) {
    QString name = QStringLiteral("song %1").arg(song);
    for (const tbp::MsuSong& entry : listed)
      if (entry.index == song) name = QString::fromStdString(entry.name);
    const QString hex = QStringLiteral("%1").arg(song, 2, 16, QLatin1Char('0')).toUpper();
    names << QStringLiteral("%1 ($%2)").arg(name, hex);
  }
  return names;
}

}  // namespace

int MainWindow::writeMsuTracks(const QString& savedPath, tbp::StagedFiles& files) {
  if (musicChoices.empty()) return 0;
  const std::string base = tbp::msuBasePath(utf8(savedPath));
  files.setMarker(tbp::msuMarkerPath(base));

  // A copy of the choices, in ascending song order: the page cannot change them mid-save anyway
  // (the progress display is modal), but the workers must not depend on window state.
  std::vector<TrackJob> jobs;
  std::vector<int> songs;
  for (const auto& [song, choice] : musicChoices) {
    jobs.push_back({QFileInfo(choice.path).fileName(), utf8(choice.path),
                    choice.loop ? choice.loopStart : -1.0, tbp::msuTrackPath(base, song), &files,
                    trackShaping(*this, song, choice)});
    songs.push_back(song);
  }

  const int threads = trackThreads > 0 ? trackThreads : QThread::idealThreadCount();
  TrackConversionResult result;
  {
    const std::unique_ptr<Progress> progress =
        prompts().progress(QStringLiteral("Saving MSU-1 tracks"), int(jobs.size()));
    result = convertTracks(jobs, threads, *progress,
                           [this](const QString& text) { statusBar()->showMessage(text); });
  }
  if (!result.cancelled.empty()) {
    std::vector<int> left;
    for (const std::size_t job : result.cancelled) left.push_back(songs[job]);
    prompts().warning(
        QStringLiteral("Tracks not written"),
        QStringLiteral("Saving the MSU-1 tracks was cancelled. These songs have no track file "
                       "beside %1:\n\n%2\n\nSave again to write them, or clear them on the "
                       "Music page so that they play their NES music.")
            .arg(QFileInfo(savedPath).fileName(), songNames(portImage, left).join('\n')));
  }
  if (result.firstFailure >= 0) {
    // As if the tracks had been converted one by one: the status bar names the file that
    // failed, and the box says why (the converter's message names the file).
    statusBar()->showMessage(
        QStringLiteral("Converting %1 ...").arg(jobs[std::size_t(result.firstFailure)].fileName));
    throw std::runtime_error(utf8(result.failureMessage));
  }
  return result.written;
}
