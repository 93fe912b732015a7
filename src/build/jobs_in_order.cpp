#include "build/jobs_in_order.h"

#include <algorithm>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace tbp {

void runJobsInOrder(std::size_t count, unsigned threads,
                    const std::function<void(std::size_t)>& job,
                    const std::function<void(std::size_t)>& taken) {
  std::mutex mutex;  // guards what follows
  std::size_t next = 0;
  std::size_t failedAt = count;
  std::exception_ptr failure;

  const auto work = [&] {
    for (;;) {
      std::size_t index = 0;
      {
        const std::lock_guard<std::mutex> lock(mutex);
        if (next >= count || failure) return;
        index = next++;
        if (taken) taken(index);
      }
      try {
        job(index);
      } catch (...) {
        const std::lock_guard<std::mutex> lock(mutex);
        if (index < failedAt) {
          failedAt = index;
          failure = std::current_exception();
        }
      }
    }
  };

  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::thread> workers;
  for (std::size_t t = 1; t < std::min<std::size_t>(threads, count); ++t) {
    try {
      workers.emplace_back(work);
    } catch (const std::system_error&) {
      break;  // no more threads to be had: the ones started share the jobs
    }
  }
  work();
  for (std::thread& worker : workers) worker.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace tbp
