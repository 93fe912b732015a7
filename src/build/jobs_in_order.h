#pragma once

#include <cstddef>
#include <functional>

namespace tbp {

// Runs job(0) ... job(count - 1) on up to `threads` threads (0: one per core; the calling
// thread is one of them), taking the jobs in index order. taken(i) is called, one call at a
// time, as job i is taken, so that progress lines come out in order. After a job throws, no
// later job is taken; once the running ones have ended, the exception of the lowest failed
// index is rethrown: what a plain loop would have reported, without its later work.
void runJobsInOrder(std::size_t count, unsigned threads,
                    const std::function<void(std::size_t)>& job,
                    const std::function<void(std::size_t)>& taken = {});

}  // namespace tbp
