#include "app/track_conversion.h"

#include <algorithm>
#include <exception>
#include <memory>

#include <QEventLoop>
#include <QThreadPool>
#include <QTimer>

#include "app/prompts.h"
#include "build/audio.h"
#include "build/msu_files.h"

namespace {

enum class JobState { Waiting, Running, Written, Failed, Cancelled };

// How often the bar follows the running conversions and a Cancel reaches them.
constexpr int kPollMs = 100;

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
        states(jobs.size(), JobState::Waiting),
        counters(jobs.size()) {
    for (auto& counter : counters) counter = std::make_unique<tbp::TrackProgress>();
    pool.setMaxThreadCount(threads);
    poll.setInterval(kPollMs);
    QObject::connect(&poll, &QTimer::timeout, &loop, [this] { follow(); });
  }

  TrackConversionResult run() {
    showFront();
    startJobs();
    poll.start();
    if (running > 0) loop.exec();
    poll.stop();
    pool.waitForDone();
    for (std::size_t index = 0; index < jobs.size(); ++index)
      if (states[index] == JobState::Waiting || states[index] == JobState::Cancelled)
        result.cancelled.push_back(index);
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
    tbp::TrackProgress* counter = counters[index].get();
    pool.start([this, job, index, counter] {
      QString error;
      JobState outcome = JobState::Failed;
      try {
        tbp::stageMsuTrack(*job.files, job.audioPath, job.loopStartSeconds, job.trackPath,
                           job.shaping, counter);
        outcome = JobState::Written;
      } catch (const tbp::ConversionCancelled&) {
        outcome = JobState::Cancelled;
      } catch (const std::exception& failure) {
        error = QString::fromUtf8(failure.what());
      } catch (...) {
        error = QStringLiteral("Error");
      }
      QMetaObject::invokeMethod(
          &loop, [this, index, outcome, error] { finish(index, outcome, error); },
          Qt::QueuedConnection);
    });
  }

  // Passes a Cancel on to the running conversions and moves the bar by their frames.
  void follow() {
    double partial = done;
    for (std::size_t index = 0; index < jobs.size(); ++index) {
      if (states[index] != JobState::Running) continue;
      tbp::TrackProgress& counter = *counters[index];
      if (progress.cancelled()) counter.cancel = true;
      const double expected = double(counter.framesExpected);
      if (expected > 0) partial += std::min(1.0, double(counter.framesDone) / expected);
    }
    progress.partial(partial);
  }

  void finish(std::size_t index, JobState outcome, const QString& error) {
    states[index] = outcome;
    --running;
    ++done;
    const bool ok = outcome == JobState::Written;
    if (ok) ++result.written;
    if (outcome == JobState::Failed &&
        (result.firstFailure < 0 || int(index) < result.firstFailure)) {
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
    while (front < jobs.size() && states[front] != JobState::Waiting &&
           states[front] != JobState::Running)
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
  std::vector<std::unique_ptr<tbp::TrackProgress>> counters;  // one per job, read while it runs
  QTimer poll;
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
