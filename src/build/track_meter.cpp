#include "build/track_meter.h"

#include "build/track_store.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>

#include <ebur128.h>

namespace tbp {

namespace {

constexpr std::size_t kMeterBlockFrames = 16384;  // frames converted for the meter at a time

std::int16_t sampleAt(const std::uint8_t* frames, std::size_t index) {
  return static_cast<std::int16_t>(frames[2 * index] | frames[2 * index + 1] << 8);
}

}  // namespace

struct LoudnessMeter::State {
  ebur128_state* meter;
  ~State() { ebur128_destroy(&meter); }
};

LoudnessMeter::LoudnessMeter(unsigned channels, std::uint32_t rate, unsigned played)
    : played_(played) {
  ebur128_state* meter = ebur128_init(channels, rate, EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK);
  if (!meter) throw std::bad_alloc();
  state_.reset(new State{meter});
  for (unsigned channel = played; channel < channels; ++channel)
    ebur128_set_channel(meter, channel, EBUR128_UNUSED);
}

LoudnessMeter::~LoudnessMeter() = default;

void LoudnessMeter::add(const float* samples, std::size_t frames) {
  if (ebur128_add_frames_float(state_->meter, samples, frames) != EBUR128_SUCCESS)
    throw std::bad_alloc();
}

double LoudnessMeter::loudness() const {
  double lufs = 0;
  if (ebur128_loudness_global(state_->meter, &lufs) != EBUR128_SUCCESS || !std::isfinite(lufs))
    return -std::numeric_limits<double>::infinity();
  return lufs;
}

double LoudnessMeter::truePeak() const {
  double peak = 0;
  for (unsigned channel = 0; channel < played_; ++channel) {
    double channelPeak = 0;
    if (ebur128_true_peak(state_->meter, channel, &channelPeak) == EBUR128_SUCCESS &&
        std::isfinite(channelPeak))
      peak = std::max(peak, channelPeak);
  }
  return peak;
}

TrackMeter::TrackMeter(bool skipLeadingSilence, bool measureLoudness)
    : inSilence_(skipLeadingSilence) {
  if (!measureLoudness) return;
  meter_ = std::make_unique<TrackLoudness>();
  pipeline_ = std::make_unique<detail::BlockPipeline>(
      [this](const float* samples, std::size_t count) { meter_->add(samples, count / 2); },
      2 * kMeterBlockFrames);
}

TrackMeter::~TrackMeter() = default;

void TrackMeter::add(const std::uint8_t* frames, std::size_t count) {
  frames_ += count;
  if (inSilence_) {
    std::size_t silent = 0;
    while (silent < count && std::abs(sampleAt(frames, 2 * silent)) < kSilentSample &&
           std::abs(sampleAt(frames, 2 * silent + 1)) < kSilentSample)
      ++silent;
    silent_ += silent;
    if (silent == count) return;
    inSilence_ = false;
    frames += 4 * silent;
    count -= silent;
  }
  if (!meter_) return;
  for (std::size_t done = 0; done < count; done += kMeterBlockFrames) {
    const std::size_t length = std::min(kMeterBlockFrames, count - done);
    const std::uint8_t* at = frames + 4 * done;
    float* block = pipeline_->room(2 * length);
    for (std::size_t i = 0; i < 2 * length; ++i) block[i] = float(sampleAt(at, i)) * (1.0f / 32767.0f);
  }
}

LoudnessMeasure TrackMeter::measure() {
  if (!meter_) return {-std::numeric_limits<double>::infinity(), 0};
  if (!finished_) pipeline_->finish();
  finished_ = true;
  return {meter_->integratedLufs(), meter_->samplePeak()};
}

double TrackMeter::truePeakAbove(double level, TrackStore& store, std::uint64_t firstFrame) const {
  if (!meter_) return 0;
  std::vector<std::uint8_t> bytes;
  return meter_->truePeakAbove(level, [&](std::uint64_t first, std::size_t count, float* out) {
    bytes.resize(4 * count);
    store.readAt(8 + 4 * (firstFrame + first), bytes.data(), bytes.size());
    for (std::size_t i = 0; i < 2 * count; ++i) out[i] = float(sampleAt(bytes.data(), i)) * (1.0f / 32767.0f);
  });
}

}  // namespace tbp
