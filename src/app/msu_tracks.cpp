#include <stdexcept>
#include <vector>

#include <QFileInfo>
#include <QStatusBar>
#include <QThread>

#include "app/main_window.h"
#include "app/prompts.h"
#include "app/track_conversion.h"
#include "build/msu_files.h"
#include "build/staged_files.h"

namespace {

std::string utf8(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace

int MainWindow::writeMsuTracks(const QString& savedPath, tbp::StagedFiles& files) {
  if (musicChoices.empty()) return 0;
  const std::string base = tbp::msuBasePath(utf8(savedPath));
  files.setMarker(tbp::msuMarkerPath(base));

  // A copy of the choices, in ascending song order: the page cannot change them mid-save anyway
  // (the progress display is modal), but the workers must not depend on window state.
  std::vector<TrackJob> jobs;
  for (const auto& [song, choice] : musicChoices)
    jobs.push_back({QFileInfo(choice.path).fileName(), utf8(choice.path),
                    choice.loop ? choice.loopStart : -1.0, tbp::msuTrackPath(base, song), &files});

  const int threads = trackThreads > 0 ? trackThreads : QThread::idealThreadCount();
  TrackConversionResult result;
  {
    const std::unique_ptr<Progress> progress =
        prompts().progress(QStringLiteral("Saving MSU-1 tracks"), int(jobs.size()));
    result = convertTracks(jobs, threads, *progress,
                           [this](const QString& text) { statusBar()->showMessage(text); });
  }
  if (result.firstFailure >= 0) {
    // As if the tracks had been converted one by one: the status bar names the file that
    // failed, and the box says why.
    statusBar()->showMessage(
        QStringLiteral("Converting %1 ...").arg(jobs[std::size_t(result.firstFailure)].fileName));
    throw std::runtime_error(utf8(result.failureMessage));
  }
  return result.written;
}
