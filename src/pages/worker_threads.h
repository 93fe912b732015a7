#pragma once

#include <algorithm>
#include <utility>
#include <vector>

#include <QObject>
#include <QPointer>
#include <QThread>

// Runs pieces of work away from the GUI thread, each on a thread of its own, and hands each
// result to a function called on the receiver's thread. The owner of the receiver keeps this
// as its LAST member: destroying it waits for the threads still running, so that no thread
// posts to a receiver that is going away; the results nobody took then go with the receiver.
class WorkerThreads {
 public:
  WorkerThreads() = default;
  WorkerThreads(const WorkerThreads&) = delete;
  WorkerThreads& operator=(const WorkerThreads&) = delete;
  ~WorkerThreads() {
    for (const QPointer<QThread>& thread : threads_) {
      if (!thread) continue;
      thread->wait();
      delete thread.data();  // its own deferred deletion will not run any more
    }
  }

  // Whether a thread still runs or its result still waits to be taken.
  bool busy() const {
    return std::any_of(threads_.begin(), threads_.end(),
                       [](const QPointer<QThread>& thread) { return !thread.isNull(); });
  }

  // Runs work() on a new thread, then done(result) on the receiver's thread (queued).
  template <typename Work, typename Done>
  void run(QObject* receiver, Work work, Done done) {
    std::erase_if(threads_, [](const QPointer<QThread>& thread) { return thread.isNull(); });
    QThread* thread = QThread::create([receiver, work, done] {
      auto result = work();
      QMetaObject::invokeMethod(
          receiver, [done, result] { done(result); }, Qt::QueuedConnection);
    });
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    threads_.emplace_back(thread);
    thread->start();
  }

 private:
  std::vector<QPointer<QThread>> threads_;  // only touched on the receiver's thread
};
