#include "build/jobs_in_order.h"

#include <atomic>
#include <gtest/gtest.h>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

// Jobs shared between threads: each runs once, they are taken in order, and a failure is
// reported as a plain loop would report it.
namespace {

using tbp::runJobsInOrder;

TEST(JobsInOrder, EveryJobRunsOnceAndIsTakenInOrder) {
  for (unsigned threads : {0u, 1u, 2u, 7u}) {
    for (std::size_t count : {std::size_t{0}, std::size_t{1}, std::size_t{5}, std::size_t{64}}) {
      std::vector<std::atomic<int>> runs(count);
      std::vector<std::size_t> takenOrder;  // taken() is called one call at a time
      runJobsInOrder(
          count, threads, [&](std::size_t i) { ++runs[i]; },
          [&](std::size_t i) { takenOrder.push_back(i); });
      for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(runs[i], 1) << i;
      ASSERT_EQ(takenOrder.size(), count);
      for (std::size_t i = 0; i < count; ++i) EXPECT_EQ(takenOrder[i], i);
    }
  }
}

TEST(JobsInOrder, TheLowestFailureIsReportedAndNoLaterJobStarts) {
  for (unsigned threads : {1u, 2u, 4u}) {
    // Jobs 3 and 6 fail; 6 may fail first on another thread, but 3 is what a loop reports.
    std::mutex mutex;
    std::set<std::size_t> ran;
    try {
      runJobsInOrder(40, threads, [&](std::size_t i) {
        {
          const std::lock_guard<std::mutex> lock(mutex);
          ran.insert(i);
        }
        if (i == 3 || i == 6) throw std::runtime_error("job " + std::to_string(i));
      });
      ADD_FAILURE() << "no exception with " << threads << " threads";
    } catch (const std::runtime_error& error) {
      EXPECT_STREQ(error.what(), "job 3") << threads;
    }
    for (std::size_t i = 0; i <= 3; ++i) EXPECT_TRUE(ran.count(i)) << i;
    // One thread at a time is a plain loop: nothing after the failure.
    if (threads == 1) {
      EXPECT_EQ(*ran.rbegin(), 3u);
    }
  }
}

}  // namespace
