#include "app/track_conversion.h"

#include <exception>

#include <QEventLoop>
#include <QThreadPool>

#include "app/prompts.h"
#include "build/msu_files.h"

namespace {

enum class JobState { Waiting, Running, Written, Failed };

// The bookkeeping of one conversion run. It lives on the GUI thread; the workers only run
// stageMsuTrack and post their outcome back through the event loop.
class TrackRun {
 public:
  TrackRun(const std::vector<TrackJob>& jobs, int threads, Progress& progress,
           const std::function<void(const QString&)>& showStatus)
      : jobs(jobs),
        threads(threads),
        progress(progress),
        showStatus(showStatus),
        states(jobs.size(), JobState::Waiting) {
    pool.setMaxThreadCount(threads);
  }

  TrackConversionResult run() {
    showFront();
    startJobs();
    if (running > 0) loop.exec();
    pool.waitForDone();
    return result;
  }

 private:
  // Starts jobs in order while a worker is free and the user has not cancelled.
  void startJobs() {
    while (running < threads && next < jobs.size() && !progress.cancelled()) start(next++);
  }

  void start(std::size_t index) {
    states[index] = JobState::Running;
    ++running;
    const TrackJob job = jobs[index];
    pool.start([this, job, index] {
      QString error;
      bool ok = false;
      try {
        tbp::stageMsuTrack(*job.files, job.audioPath, job.loopStartSeconds, job.trackPath);
        ok = true;
      } catch (const std::exception& failure) {
        error = QString::fromUtf8(failure.what());
      } catch (...) {
        error = QStringLiteral("Error");
      }
      QMetaObject::invokeMethod(
          &loop, [this, index, ok, error] { finish(index, ok, error); }, Qt::QueuedConnection);
    });
  }

  void finish(std::size_t index, bool ok, const QString& error) {
    states[index] = ok ? JobState::Written : JobState::Failed;
    --running;
    ++done;
    if (ok) ++result.written;
    if (!ok && (result.firstFailure < 0 || int(index) < result.firstFailure)) {
      result.firstFailure = int(index);
      result.failureMessage = error;
    }
    showFront();
    startJobs();
    if (running == 0) loop.quit();
  }

  // The first job not yet finished is the one the user is told about, so the messages follow
  // the song order even when later tracks finish first.
  void showFront() {
    std::size_t front = 0;
    while (front < jobs.size() &&
           (states[front] == JobState::Written || states[front] == JobState::Failed))
      ++front;
    // Past the last job the label keeps naming the last track shown while the bar fills up.
    if (front < jobs.size() && front != shownFront) {
      shownFront = front;
      const QString& name = jobs[front].fileName;
      showStatus(QStringLiteral("Converting %1 ...").arg(name));
      label =
          QStringLiteral("Converting track %1 of %2: %3").arg(front + 1).arg(jobs.size()).arg(name);
    }
    progress.update(label, done);
  }

  const std::vector<TrackJob>& jobs;
  const int threads;
  Progress& progress;
  const std::function<void(const QString&)>& showStatus;
  std::vector<JobState> states;
  std::size_t next = 0;
  std::size_t shownFront = std::size_t(-1);
  QString label;
  int running = 0;
  int done = 0;
  TrackConversionResult result;
  QEventLoop loop;
  QThreadPool pool;
};

}  // namespace

TrackConversionResult convertTracks(const std::vector<TrackJob>& jobs, int threads,
                                    Progress& progress,
                                    const std::function<void(const QString&)>& showStatus) {
  TrackRun run(jobs, threads < 1 ? 1 : threads, progress, showStatus);
  return run.run();
}
