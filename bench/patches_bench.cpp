#include <benchmark/benchmark.h>
#include <cstdint>
#include <random>

#include "formats/bytes.h"
#include "formats/checksums.h"
#include "formats/patches.h"

// The patch engine on port-sized data: a 512 KB NES ROM as source and a 4 MB SNES image as
// target.

namespace {

constexpr std::size_t kSourceSize = 512u << 10;
constexpr std::size_t kTargetSize = 4u << 20;

tbp::Bytes randomBytes(std::mt19937_64& random, std::size_t size) {
  tbp::Bytes data(size);
  for (auto& b : data) b = static_cast<std::uint8_t>(random());
  return data;
}

struct Pair {
  tbp::Bytes source;
  tbp::Bytes target;
};

// Laid out like a port: engine code first, copies of the source's program banks (some
// bytes changed, as the engine patches them), the whole source embedded, free space of 0xFF.
Pair portLikePair() {
  std::mt19937_64 random(5);
  Pair pair{randomBytes(random, kSourceSize), tbp::Bytes(kTargetSize, 0xFF)};
  const tbp::Bytes engine = randomBytes(random, 256u << 10);
  std::copy(engine.begin(), engine.end(), pair.target.begin());
  for (std::size_t copy = 0; copy < 4; ++copy) {
    const std::size_t at = (384u << 10) + copy * (640u << 10);
    std::copy(pair.source.begin(), pair.source.end(), pair.target.begin() + at);
    for (int edit = 0; edit < 64; ++edit) pair.target[at + random() % kSourceSize] ^= 0xA5;
  }
  std::copy(pair.source.begin(), pair.source.end(), pair.target.begin() + (3u << 20));
  return pair;
}

// Nothing in common with the source: a hash lookup at every target position.
Pair unrelatedPair() {
  std::mt19937_64 random(6);
  return {randomBytes(random, kSourceSize), randomBytes(random, kTargetSize)};
}

void BM_CreateBpsPortLike(benchmark::State& state) {
  const Pair pair = portLikePair();
  for (auto _ : state) benchmark::DoNotOptimize(tbp::createBps(pair.source, pair.target, ""));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTargetSize));
}
BENCHMARK(BM_CreateBpsPortLike)->Unit(benchmark::kMillisecond);

void BM_CreateBpsUnrelated(benchmark::State& state) {
  const Pair pair = unrelatedPair();
  for (auto _ : state) benchmark::DoNotOptimize(tbp::createBps(pair.source, pair.target, ""));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTargetSize));
}
BENCHMARK(BM_CreateBpsUnrelated)->Unit(benchmark::kMillisecond);

void BM_ApplyBpsPortLike(benchmark::State& state) {
  const Pair pair = portLikePair();
  const tbp::Bytes patch = tbp::createBps(pair.source, pair.target, "");
  for (auto _ : state) benchmark::DoNotOptimize(tbp::applyBps(pair.source, patch));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTargetSize));
}
BENCHMARK(BM_ApplyBpsPortLike)->Unit(benchmark::kMillisecond);

void BM_ApplyBpsUnrelated(benchmark::State& state) {
  const Pair pair = unrelatedPair();
  const tbp::Bytes patch = tbp::createBps(pair.source, pair.target, "");
  for (auto _ : state) benchmark::DoNotOptimize(tbp::applyBps(pair.source, patch));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTargetSize));
}
BENCHMARK(BM_ApplyBpsUnrelated)->Unit(benchmark::kMillisecond);

// A damaged patch that declares the largest target and fails at its first action: refusing it
// must not cost the declared size.
void BM_RefuseBpsDeclaringLargestTarget(benchmark::State& state) {
  const tbp::Bytes source = {1, 2, 3};
  tbp::Bytes patch = {'B', 'P', 'S', '1'};
  tbp::writeBpsNumber(patch, source.size());
  tbp::writeBpsNumber(patch, 64u << 20);
  tbp::writeBpsNumber(patch, 0);
  tbp::writeBpsNumber(patch, (99u << 2) | 0);  // a SourceRead of 100 bytes from 3
  for (const std::uint32_t crc : {tbp::crc32(source.data(), source.size()), 0u}) {
    for (int i = 0; i < 4; ++i) patch.push_back(static_cast<std::uint8_t>(crc >> (8 * i)));
  }
  const std::uint32_t patchCrc = tbp::crc32(patch.data(), patch.size());
  for (int i = 0; i < 4; ++i) patch.push_back(static_cast<std::uint8_t>(patchCrc >> (8 * i)));
  for (auto _ : state) {
    try {
      benchmark::DoNotOptimize(tbp::applyBps(source, patch));
      state.SkipWithError("the patch was accepted");
      return;
    } catch (const tbp::PatchError&) {
    }
  }
}
BENCHMARK(BM_RefuseBpsDeclaringLargestTarget)->Unit(benchmark::kMicrosecond);

void BM_ApplyIps(benchmark::State& state) {
  std::mt19937_64 random(7);
  const tbp::Bytes source = randomBytes(random, kTargetSize);
  tbp::Bytes patch = {'P', 'A', 'T', 'C', 'H'};
  for (std::uint32_t offset = 0; offset + 0x8000 <= 0xFFFFFF && offset < kTargetSize;
       offset += 0x10000) {
    patch.insert(patch.end(),
                 {static_cast<std::uint8_t>(offset >> 16), static_cast<std::uint8_t>(offset >> 8),
                  static_cast<std::uint8_t>(offset), 0x80, 0x00});
    const tbp::Bytes data = randomBytes(random, 0x8000);
    patch.insert(patch.end(), data.begin(), data.end());
  }
  patch.insert(patch.end(), {'E', 'O', 'F'});
  for (auto _ : state) benchmark::DoNotOptimize(tbp::applyIps(source, patch));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTargetSize));
}
BENCHMARK(BM_ApplyIps)->Unit(benchmark::kMillisecond);

}  // namespace
