#include "build/track_shaping.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <stdexcept>
#include <vector>

#include "build/audio_stream.h"
#include "build/byte_source.h"
#include "build/track_loudness.h"
#include "build/track_meter.h"
#include "build/track_store.h"

namespace tbp {
namespace {

constexpr std::size_t kHeaderBytes = 8;
constexpr std::size_t kFrameBytes = 4;
constexpr std::size_t kPassFrames = 16384;   // frames read, shaped and written back at a time
constexpr std::size_t kMeasureFrames = 16384;  // frames read back to measure at a time

// The gain's conversion, without branches so that it runs in vector registers: round half away
// from zero by truncating value + 0.5 with the value's sign; within -32768.5 .. 32767.5 the
// truncation lands in the 16-bit range.
inline std::int16_t scaledSample(std::int16_t sample, float factor) {
  float value = float(sample) * factor;
  value = std::min(std::max(value, -32768.0f), 32767.0f);
  value += std::copysign(0.5f, value);
  return static_cast<std::int16_t>(static_cast<int>(value));
}

// The same conversion eight samples at a time, spelled in vector types since the compiler
// would otherwise keep the clamping's branches.
using Floats = float __attribute__((vector_size(32)));
using Ints = std::int32_t __attribute__((vector_size(32)));

TBP_VECTOR_CLONES void scaleSamples(std::int16_t* values, std::size_t count, float factor) {
  const Floats low = Floats{} - 32768.0f, high = Floats{} + 32767.0f;
  const Floats minusHalf = Floats{} - 0.5f, plusHalf = Floats{} + 0.5f;
  std::size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    Ints whole;
    for (int k = 0; k < 8; ++k) whole[k] = values[i + std::size_t(k)];
    Floats value = __builtin_convertvector(whole, Floats) * factor;
    value = value < low ? low : value;
    value = value > high ? high : value;
    value += value < 0.0f ? minusHalf : plusHalf;
    whole = __builtin_convertvector(value, Ints);
    for (int k = 0; k < 8; ++k) values[i + std::size_t(k)] = static_cast<std::int16_t>(whole[k]);
  }
  for (; i < count; ++i) values[i] = scaledSample(values[i], factor);
}

// A faded sample, rounded to nearest with halves away from zero.
inline std::int16_t fadedSample(std::int16_t sample, double level) {
  return static_cast<std::int16_t>(std::clamp(std::round(sample * level), -32768.0, 32767.0));
}

// What the pass does to the frames that stay: kept frames from `silent` on move to the start,
// scaled by the gain, and the last `fadeLength` of them fade out.
struct ShapingPass {
  std::uint64_t silent = 0;
  std::uint64_t kept = 0;
  double gain = 1.0;
  std::uint64_t fadeLength = 0;
};

// Shapes frames [first, first + count) of the kept ones in samples (16-bit LE stereo).
void shapeBlock(const ShapingPass& pass, std::uint64_t first, std::size_t count,
                std::uint8_t* samples) {
  std::int16_t values[2 * kPassFrames];
  for (std::size_t i = 0; i < 2 * count; ++i)
    values[i] = static_cast<std::int16_t>(samples[2 * i] | samples[2 * i + 1] << 8);
  if (pass.gain != 1.0) scaleSamples(values, 2 * count, static_cast<float>(pass.gain));
  // A raised-cosine curve over the fade's frames: it leaves the music gently and reaches
  // silence on the last frame.
  const std::uint64_t fadeFrom = pass.kept - pass.fadeLength;
  for (std::uint64_t frame = std::max(first, fadeFrom); frame < first + count; ++frame) {
    const double angle = std::numbers::pi * double(frame - fadeFrom + 1) / double(pass.fadeLength);
    const double level = 0.5 * (1.0 + std::cos(angle));
    for (std::size_t side = 0; side < 2; ++side) {
      std::int16_t& value = values[2 * (frame - first) + side];
      value = fadedSample(value, level);
    }
  }
  for (std::size_t i = 0; i < 2 * count; ++i) {
    const auto bits = static_cast<std::uint16_t>(values[i]);
    samples[2 * i] = static_cast<std::uint8_t>(bits);
    samples[2 * i + 1] = static_cast<std::uint8_t>(bits >> 8);
  }
}

// One pass over the stored frames: only the fade's frames when nothing moves or scales.
void runPass(TrackStore& store, const ShapingPass& pass) {
  const bool wholeTrack = pass.silent > 0 || pass.gain != 1.0;
  std::uint64_t first = wholeTrack ? 0 : pass.kept - pass.fadeLength;
  std::vector<std::uint8_t> block(kPassFrames * kFrameBytes);
  for (; first < pass.kept; first += kPassFrames) {
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(kPassFrames, pass.kept - first));
    const std::size_t bytes = count * kFrameBytes;
    store.readAt(kHeaderBytes + (pass.silent + first) * kFrameBytes, block.data(), bytes);
    shapeBlock(pass, first, count, block.data());
    store.writeAt(kHeaderBytes + first * kFrameBytes, block.data(), bytes);
  }
  if (pass.silent > 0) store.truncate(kHeaderBytes + pass.kept * kFrameBytes);
}

// Feeds the stored frames to a meter, for a track that was not measured as it was made.
void measureStored(TrackStore& store, std::uint64_t frames, TrackMeter& meter) {
  std::vector<std::uint8_t> block(kMeasureFrames * kFrameBytes);
  for (std::uint64_t done = 0; done < frames; done += kMeasureFrames) {
    const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(kMeasureFrames, frames - done));
    store.readAt(kHeaderBytes + done * kFrameBytes, block.data(), count * kFrameBytes);
    meter.add(block.data(), count);
  }
}

// The gain to the target for the frames the meter measured (from store frame `firstFrame`),
// or for the whole stored track when the meter skipped all of it as leading silence. The true
// peak is needed only for a gain that raises the level, and only where it could reach the
// ceiling.
double gainFor(TrackStore& store, double target, std::uint64_t firstFrame, bool measureAgain,
               TrackMeter& meter) {
  TrackMeter whole(false, true);
  TrackMeter& measured = measureAgain ? whole : meter;
  if (measureAgain) measureStored(store, meter.frames(), whole);
  LoudnessMeasure measure = measured.measure();
  const double wanted = loudnessGain({measure.integratedLufs, 0}, target);
  if (wanted <= 1.0) return wanted;
  measure.peak = measured.truePeakAbove(kPeakCeiling / wanted, store, firstFrame);
  return loudnessGain(measure, target);
}

// Shapes a stored track of `frames` frames whose frames the meter has seen, in this order:
// trims the leading silence (the loop point moves with the music, never below 0), scales it
// to the target loudness measured on the trimmed track, and, when the track does not loop,
// fades out its end. Then writes the header.
void shapeStored(TrackStore& store, std::uint64_t frames, std::uint32_t loopPoint, bool loops,
                 const TrackShaping& shaping, TrackMeter& meter) {
  ShapingPass pass;
  pass.silent = shaping.trimSilence ? meter.leadingSilentFrames() : 0;
  const bool allSilent = pass.silent == frames;
  if (allSilent) pass.silent = 0;  // a silent track stays whole
  pass.kept = frames - pass.silent;
  if (shaping.loudnessTarget) pass.gain = gainFor(store, *shaping.loudnessTarget, pass.silent, allSilent && shaping.trimSilence, meter);
  if (loops && pass.silent > 0)
    loopPoint = loopPoint > pass.silent ? loopPoint - std::uint32_t(pass.silent) : 0;
  if (!loops && shaping.fadeSeconds > 0) {
    const double wanted = std::floor(shaping.fadeSeconds * kMsuSampleRate);
    pass.fadeLength = wanted >= double(pass.kept) ? pass.kept : std::uint64_t(wanted);
  }
  if (pass.silent > 0 || pass.gain != 1.0 || pass.fadeLength > 0) runPass(store, pass);
  std::uint8_t header[kHeaderBytes];
  putTrackHeader(header, loopPoint);
  store.writeAt(0, header, kHeaderBytes);
}

void checkTrack(const Bytes& track) {
  if (track.size() < kHeaderBytes || std::memcmp(track.data(), "MSU1", 4) != 0)
    throw std::runtime_error("not an MSU-1 track");
}

}  // namespace

LoudnessMeasure measureLoudness(const DecodedAudio& audio) {
  const std::size_t frames = audio.frameCount();
  if (frames == 0 || audio.sampleRate == 0) return {-std::numeric_limits<double>::infinity(), 0};
  const auto channels = static_cast<unsigned>(audio.channels);
  const unsigned played = std::min(channels, 2u);
  // Channels beyond the first two are not played, so they do not count.
  LoudnessMeter meter(channels, audio.sampleRate, played);
  LoudnessMeasure measure;
  meter.add(audio.samples.data(), frames);
  for (std::size_t frame = 0; frame < frames; ++frame)
    for (unsigned channel = 0; channel < played; ++channel)
      measure.peak = std::max<double>(measure.peak, std::fabs(audio.samples[frame * channels + channel]));
  measure.peak = std::max(measure.peak, meter.truePeak());
  measure.integratedLufs = meter.loudness();
  // A mono file plays on both sides at the same level: its loudness is that of two channels.
  if (channels == 1 && std::isfinite(measure.integratedLufs))
    measure.integratedLufs += 10.0 * std::log10(2.0);
  return measure;
}

LoudnessMeasure measureTrackLoudness(const Bytes& track) {
  checkTrack(track);
  TrackMeter meter(false, true);
  meter.add(track.data() + kHeaderBytes, (track.size() - kHeaderBytes) / kFrameBytes);
  LoudnessMeasure measure = meter.measure();
  Bytes frames(track);  // a store to read the frames again from
  MemoryTrackStore store(frames);
  measure.peak = std::max(measure.peak, meter.truePeakAbove(0, store, 0));
  return measure;
}

double loudnessGain(const LoudnessMeasure& measure, double targetLufs) {
  if (!std::isfinite(measure.integratedLufs) || !std::isfinite(targetLufs)) return 1.0;
  double gain = std::pow(10.0, (targetLufs - measure.integratedLufs) / 20.0);
  if (gain > 1.0 && measure.peak * gain > kPeakCeiling)
    gain = std::max(1.0, kPeakCeiling / measure.peak);
  return gain;
}

void shapeTrack(Bytes& track, bool loops, const TrackShaping& shaping) {
  checkTrack(track);
  // Bytes after the last whole frame are not part of any frame: they stay at the end.
  const std::size_t tailBytes = (track.size() - kHeaderBytes) % kFrameBytes;
  const Bytes tail(track.end() - std::ptrdiff_t(tailBytes), track.end());
  track.resize(track.size() - tailBytes);
  const std::uint64_t frames = (track.size() - kHeaderBytes) / kFrameBytes;
  const std::uint32_t loopPoint = std::uint32_t(track[4]) | std::uint32_t(track[5]) << 8 |
                                  std::uint32_t(track[6]) << 16 | std::uint32_t(track[7]) << 24;
  MemoryTrackStore store(track);
  TrackMeter meter(shaping.trimSilence, shaping.loudnessTarget.has_value());
  measureStored(store, frames, meter);
  shapeStored(store, frames, loopPoint, loops, shaping, meter);
  track.insert(track.end(), tail.begin(), tail.end());
}

void makeTrackInto(ByteSource& file, double loopStartSeconds, const TrackShaping& shaping,
                   TrackStore& store, TrackProgress* progress) {
  std::uint8_t header[kHeaderBytes];
  putTrackHeader(header, 0);  // the loop point is known at the end
  store.append(header, kHeaderBytes);
  TrackMeter meter(shaping.trimSilence, shaping.loudnessTarget.has_value());
  MeasuringSink measuring(store, meter);
  const bool measure = shaping.trimSilence || shaping.loudnessTarget;
  const TrackLayout layout =
      detail::convertTrack(file, loopStartSeconds, measure ? static_cast<TrackFrameSink&>(measuring)
                                                           : static_cast<TrackFrameSink&>(store),
                           progress);
  shapeStored(store, layout.frames, layout.loopPoint, loopStartSeconds >= 0, shaping, meter);
}

Bytes makeShapedTrack(const Bytes& file, double loopStartSeconds, const TrackShaping& shaping,
                      TrackProgress* progress) {
  MemorySource source(file);
  Bytes track;
  MemoryTrackStore store(track);
  makeTrackInto(source, loopStartSeconds, shaping, store, progress);
  return track;
}

}  // namespace tbp
