// Peak memory of createBps on large inputs, measured from outside the process (see
// create_bps_memory.sh). Usage: create_bps_memory MEGABYTES [--inputs-only]
//
// The source is MEGABYTES of pseudo-random data; the target is the source with one byte
// inserted at the front and one byte in 4096 changed, so most of it is found through the
// source index (SourceCopy) and every change costs a fresh lookup. With --inputs-only the
// program builds the same inputs and stops before creating the patch, which gives the
// baseline to subtract.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "formats/bytes.h"
#include "formats/patches.h"

namespace {

tbp::Bytes pseudoRandom(std::size_t size, std::uint64_t seed) {
  tbp::Bytes data(size);
  std::uint64_t x = seed;
  for (auto& b : data) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    b = static_cast<std::uint8_t>(x >> 32);
  }
  return data;
}

tbp::Bytes shiftedAndEdited(const tbp::Bytes& source) {
  tbp::Bytes target;
  target.reserve(source.size() + 1);
  target.push_back(0x5A);
  target.insert(target.end(), source.begin(), source.end());
  for (std::size_t at = 4096; at < target.size(); at += 4096) target[at] ^= 0xA5;
  return target;
}

}  // namespace

int main(int argc, char** argv) {
  const long megabytes = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 0;
  if (megabytes <= 0) {
    std::fprintf(stderr, "usage: %s MEGABYTES [--inputs-only]\n", argv[0]);
    return 2;
  }
  const bool inputsOnly = argc > 2 && std::strcmp(argv[2], "--inputs-only") == 0;
  const tbp::Bytes source = pseudoRandom(static_cast<std::size_t>(megabytes) << 20, 1);
  const tbp::Bytes target = shiftedAndEdited(source);
  if (inputsOnly) {
    std::printf("inputs: source %zu bytes, target %zu bytes\n", source.size(), target.size());
    return 0;
  }
  const auto start = std::chrono::steady_clock::now();
  const tbp::Bytes patch = tbp::createBps(source, target, "");
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  std::printf("createBps: source %zu bytes, target %zu bytes, patch %zu bytes, %.0f ms\n",
              source.size(), target.size(), patch.size(), took.count());
  return 0;
}
