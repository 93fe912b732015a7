// Speed of the port image's whole-image work: Game Genie matching over a 4 MB port and the
// copy-and-checksum the save path does.
#include <benchmark/benchmark.h>

#include "port/game_genie.h"
#include "port/port_image.h"
#include "support/game_genie_encoder.h"
#include "support/nes_builder.h"
#include "support/port_builder.h"

namespace {

constexpr std::size_t fourMegabytes = 0x400000;

tbp::Bytes largeNes() {
  tbp::testkit::NesRomOptions options;
  options.prgBanks = 16;  // 256 KB of program
  options.chrBanks = 16;
  return tbp::testkit::makeNesRom(options);
}

tbp::Bytes largePort(const tbp::Bytes& nes) {
  tbp::testkit::PortOptions options;
  options.romSize = fourMegabytes;
  return tbp::testkit::makePortImage(nes, options);
}

std::vector<std::string> tenCodes() {
  std::vector<std::string> codes;
  for (int i = 0; i < 10; ++i) {
    const auto address = static_cast<std::uint16_t>(0x8000 + i * 0x0C35);
    codes.push_back(tbp::testkit::encodeGameGenie(address, static_cast<std::uint8_t>(i)));
  }
  return codes;
}

void BM_ApplyGameGenie4MB(benchmark::State& state) {
  const tbp::Bytes nes = largeNes();
  const tbp::PortImage original(largePort(nes));
  const std::vector<std::string> codes = tenCodes();
  int patched = 0;
  for (auto _ : state) {
    state.PauseTiming();
    tbp::PortImage port = original;
    state.ResumeTiming();
    for (const tbp::GameGenieResult& r : tbp::applyGameGenie(port, nes, codes)) {
      patched += r.patched;
    }
    benchmark::DoNotOptimize(port.bytes().data());
  }
  if (patched == 0) state.SkipWithError("no code found a bank copy");
  state.counters["bytes_patched_per_run"] =
      benchmark::Counter(patched, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ApplyGameGenie4MB)->Unit(benchmark::kMillisecond);

// One code typed many times: each repeat writes the same bytes again, so the time per code
// must stay flat as the list grows (the location pass is the same for every length).
void BM_ApplyRepeatedGameGenieCode(benchmark::State& state) {
  const tbp::Bytes nes = largeNes();
  const tbp::PortImage original(largePort(nes));
  const std::vector<std::string> codes(static_cast<std::size_t>(state.range(0)),
                                       tbp::testkit::encodeGameGenie(0xC123, 0x42));
  for (auto _ : state) {
    state.PauseTiming();
    tbp::PortImage port = original;
    state.ResumeTiming();
    benchmark::DoNotOptimize(tbp::applyGameGenie(port, nes, codes).size());
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ApplyRepeatedGameGenieCode)
    ->RangeMultiplier(4)
    ->Range(1000, 16000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

void BM_CopyAndFixChecksum4MB(benchmark::State& state) {
  const tbp::Bytes nes = largeNes();
  const tbp::PortImage original(largePort(nes));
  for (auto _ : state) {
    tbp::PortImage copy = original;
    copy.fixChecksum();
    benchmark::DoNotOptimize(copy.bytes().data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(fourMegabytes));
}
BENCHMARK(BM_CopyAndFixChecksum4MB)->Unit(benchmark::kMillisecond);

void BM_ChecksumValid4MB(benchmark::State& state) {
  const tbp::PortImage port(largePort(largeNes()));
  for (auto _ : state) {
    benchmark::DoNotOptimize(port.checksumValid());
  }
}
BENCHMARK(BM_ChecksumValid4MB)->Unit(benchmark::kMillisecond);

}  // namespace
