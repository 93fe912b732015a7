#pragma once

#include <cstddef>
#include <cstdint>

namespace tbp::testkit {

// A small deterministic generator (SplitMix64) so fixtures are the same on every machine.
class Random {
 public:
  explicit Random(std::uint32_t seed, std::uint32_t stream = 0)
      : state_((static_cast<std::uint64_t>(seed) << 32) ^ stream ^ 0x9E3779B97F4A7C15ull) {}

  std::uint32_t next() {
    state_ += 0x9E3779B97F4A7C15ull;
    std::uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<std::uint32_t>((z ^ (z >> 31)) >> 32);
  }

  // A value in [0, bound); bound must be non-zero.
  std::uint32_t below(std::size_t bound) {
    return static_cast<std::uint32_t>(next() % static_cast<std::uint32_t>(bound));
  }

 private:
  std::uint64_t state_;
};

}  // namespace tbp::testkit
