#include <algorithm>
#include <fstream>
#include <new>
#include <string>
#include <unistd.h>

#include "build/audio_stream.h"

namespace tbp::detail {
namespace {

constexpr std::uint64_t kUnknownMemory = std::uint64_t{4} << 30;

// The memory limit of this process's control group, when it has one: version 2 lists the
// group as "0::/path", version 1 as "N:memory:/path" (among its other controllers).
std::uint64_t controlGroupLimit() {
  std::ifstream membership("/proc/self/cgroup");
  std::string line;
  std::uint64_t limit = UINT64_MAX;
  while (std::getline(membership, line)) {
    const std::size_t first = line.find(':');
    const std::size_t second = line.find(':', first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    const std::string controllers = line.substr(first + 1, second - first - 1);
    const std::string path = line.substr(second + 1);
    std::string file;
    if (controllers.empty()) {
      file = "/sys/fs/cgroup" + path + "/memory.max";
    } else if (("," + controllers + ",").find(",memory,") != std::string::npos) {
      file = "/sys/fs/cgroup/memory" + path + "/memory.limit_in_bytes";
    } else {
      continue;
    }
    std::ifstream value(file);
    std::uint64_t bytes = 0;
    if (value >> bytes) limit = std::min(limit, bytes);  // "max" reads as no number: no limit
  }
  return limit;
}

// The memory this process may use at most: the machine's, or its control group's when less.
std::uint64_t usableMemory() {
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  const std::uint64_t machine = pages > 0 && pageSize > 0 ? static_cast<std::uint64_t>(pages) *
                                                                static_cast<std::uint64_t>(pageSize)
                                                          : kUnknownMemory;
  return std::min(machine, controlGroupLimit());
}

}  // namespace

// A quarter of the usable memory: growing the buffer holds its old and its new copy for a
// moment, so decoding peaks at half.
std::size_t sampleStoreLimit() {
  static const std::size_t limit = static_cast<std::size_t>(usableMemory() / 4 / sizeof(float));
  return limit;
}

void SampleStore::start(std::uint32_t sampleRate, std::int32_t channels) {
  audio_.sampleRate = sampleRate;
  audio_.channels = channels;
}

float* SampleStore::room(std::size_t samples) {
  std::vector<float>& stored = audio_.samples;
  const std::size_t limit = sampleStoreLimit();
  if (samples > limit - stored.size()) throw std::bad_alloc();
  const std::size_t needed = stored.size() + samples;
  if (needed > stored.capacity()) {
    stored.reserve(std::min(std::max(needed, 2 * stored.capacity()), limit));
  }
  stored.resize(needed);
  return stored.data() + needed - samples;
}

}  // namespace tbp::detail
