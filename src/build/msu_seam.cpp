#include "build/msu_seam.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "build/audio.h"

namespace tbp {
namespace {

constexpr std::size_t kHeaderBytes = 8;
constexpr std::size_t kFrameBytes = 4;

std::uint32_t loopPointOf(const Bytes& track) {
  return std::uint32_t(track[4]) | std::uint32_t(track[5]) << 8 | std::uint32_t(track[6]) << 16 |
         std::uint32_t(track[7]) << 24;
}

}  // namespace

Bytes msuSeam(const Bytes& track, bool loops, double seconds) {
  if (track.size() < kHeaderBytes || std::memcmp(track.data(), "MSU1", 4) != 0)
    throw std::runtime_error("not an MSU-1 track");
  const std::size_t frames = (track.size() - kHeaderBytes) / kFrameBytes;
  const double wanted = std::max(0.0, std::floor(seconds * kMsuSampleRate));
  const std::size_t length = wanted >= double(frames) ? frames : std::size_t(wanted);
  const auto frame = [&](std::size_t index) {
    return track.begin() + std::ptrdiff_t(kHeaderBytes + index * kFrameBytes);
  };
  Bytes seam(frame(frames - length), frame(frames));
  if (loops && frames > 0) {
    const std::size_t loop = std::min<std::size_t>(loopPointOf(track), frames - 1);
    const std::size_t after = std::min(length, frames - loop);
    seam.insert(seam.end(), frame(loop), frame(loop + after));
  }
  return seam;
}

}  // namespace tbp
