#include <benchmark/benchmark.h>
#include <cstdint>
#include <random>
#include <vector>

#include "formats/checksums.h"

// Throughput of the digests over a 64 MB buffer (the size of the largest patch target).

namespace {

constexpr std::size_t kSize = 64u << 20;

const std::vector<std::uint8_t>& buffer() {
  static const std::vector<std::uint8_t> data = [] {
    std::vector<std::uint8_t> bytes(kSize);
    std::mt19937_64 random(1);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random());
    return bytes;
  }();
  return data;
}

void BM_Crc32(benchmark::State& state) {
  const auto& data = buffer();
  for (auto _ : state) benchmark::DoNotOptimize(tbp::crc32(data.data(), data.size()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_Crc32)->Unit(benchmark::kMillisecond);

void BM_Crc16(benchmark::State& state) {
  const auto& data = buffer();
  const std::size_t size = 4u << 20;  // a ROM's worth: CRC16 is only shown, never a hot path
  for (auto _ : state) benchmark::DoNotOptimize(tbp::crc16(data.data(), size));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
}
BENCHMARK(BM_Crc16)->Unit(benchmark::kMillisecond);

void BM_Sha256Hex(benchmark::State& state) {
  const auto& data = buffer();
  for (auto _ : state) benchmark::DoNotOptimize(tbp::sha256Hex(data.data(), data.size()));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_Sha256Hex)->Unit(benchmark::kMillisecond);

}  // namespace
