#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "build/block_pipeline.h"
#include "build/msu_track_builder.h"
#include "build/track_loudness.h"
#include "build/track_shaping.h"

namespace tbp {

class TrackStore;

// EBU R 128 integrated loudness and true peak (BS.1770: the peak of the signal oversampled
// four times, never below the sample peak) of interleaved float frames; channels from
// `played` on do not count (they are not played).
class LoudnessMeter {
 public:
  LoudnessMeter(unsigned channels, std::uint32_t rate, unsigned played);
  ~LoudnessMeter();
  LoudnessMeter(const LoudnessMeter&) = delete;
  LoudnessMeter& operator=(const LoudnessMeter&) = delete;
  void add(const float* samples, std::size_t frames);
  // LUFS; -infinity for silence.
  double loudness() const;
  // The largest true peak of the played channels, linear (1.0 is full scale).
  double truePeak() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
  unsigned played_;
};

// Measures a track's 16-bit frames as they are made, so that shaping needs no second reading
// of the track: the frames of leading silence (when trimming) and the loudness and peak of
// the frames after them (when matching loudness), as they would be measured on the trimmed
// track itself.
class TrackMeter {
 public:
  TrackMeter(bool skipLeadingSilence, bool measureLoudness);
  ~TrackMeter();
  TrackMeter(const TrackMeter&) = delete;
  TrackMeter& operator=(const TrackMeter&) = delete;

  // 16-bit little-endian stereo frames, in order.
  void add(const std::uint8_t* frames, std::size_t count);

  std::uint64_t frames() const { return frames_; }
  // The frames before the first one with a channel at or above kSilentSample (all of them for
  // a silent track); 0 when not trimming.
  std::uint64_t leadingSilentFrames() const { return silent_; }
  // The measure of the frames after the leading silence, its peak the sample peak. Waits for
  // the measuring thread; no frames may be added after it.
  LoudnessMeasure measure();
  // After measure(): the true peak where it is above `level` (0 when no sample could reach
  // beyond it), reading the measured frames again from the store, where they start at frame
  // `firstFrame`.
  double truePeakAbove(double level, TrackStore& store, std::uint64_t firstFrame) const;

 private:
  bool inSilence_;
  std::uint64_t frames_ = 0;
  std::uint64_t silent_ = 0;
  std::unique_ptr<TrackLoudness> meter_;  // null when loudness is not asked; used by the pipeline
  // Measuring runs on a thread of its own, beside the conversion's two.
  std::unique_ptr<detail::BlockPipeline> pipeline_;  // declared last: it stops first
  bool finished_ = false;
};

// Hands a track's frames on to a store and measures them on the way.
class MeasuringSink : public TrackFrameSink {
 public:
  MeasuringSink(TrackFrameSink& store, TrackMeter& meter) : store_(store), meter_(meter) {}
  void frames(const std::uint8_t* data, std::size_t count) override {
    store_.frames(data, count);
    meter_.add(data, count);
  }
  void expectFrames(std::uint64_t count) override { store_.expectFrames(count); }

 private:
  TrackFrameSink& store_;
  TrackMeter& meter_;
};

}  // namespace tbp
