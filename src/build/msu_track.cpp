#include <new>
#include <optional>
#include <stdexcept>

#include "build/audio.h"
#include "build/audio_stream.h"
#include "build/block_pipeline.h"
#include "build/msu_track_builder.h"

namespace tbp {
namespace {

constexpr std::size_t kBlockFrames = 16384;  // frames handed to the converting thread at once

// Converts the frames as the decoder hands them on, on a second thread, so that decoding and
// resampling (each about half of the work) overlap. The decoders have applied every limit
// that decodeAudio applies; only a stream without frames remains to be refused.
class TrackSink : public detail::FrameSink {
 public:
  TrackSink(double loopStartSeconds, TrackProgress* progress)
      : loopStartSeconds_(loopStartSeconds), progress_(progress) {}

  void start(std::uint32_t sampleRate, std::int32_t channels) override {
    builder_.emplace(sampleRate, channels, loopStartSeconds_);
    const auto frameSamples = static_cast<std::size_t>(channels);
    frameSamples_ = frameSamples;
    pipeline_.emplace(
        [this, frameSamples](const float* samples, std::size_t count) {
          builder_->add(samples, count / frameSamples);
        },
        kBlockFrames * frameSamples);
  }

  // Room for the whole track saves copying it as it grows. The reservation stays untouched
  // beyond the frames that come, so a little extra for an estimated length costs nothing;
  // if the memory cannot even be reserved, the track grows as it goes.
  void expectFrames(std::uint64_t frames) override {
    if (progress_) progress_->framesExpected = frames;
    try {
      builder_->expectFrames(frames + frames / 32);
    } catch (const std::bad_alloc&) {
    }
  }

  // Each block the decoder asks room for is counted, and the place to stop a cancelled run:
  // the exception leaves through the decoder like any decoding failure.
  float* room(std::size_t samples) override {
    if (progress_) {
      if (progress_->cancel) throw ConversionCancelled();
      progress_->framesDone += samples / frameSamples_;
    }
    return pipeline_->room(samples);
  }

  void commit() override {}

  Bytes finish() {
    if (!builder_) throw std::runtime_error("no audio");
    pipeline_->finish();
    return builder_->finish();
  }

 private:
  double loopStartSeconds_;
  TrackProgress* progress_;
  std::size_t frameSamples_ = 1;
  std::optional<MsuTrackBuilder> builder_;         // used by the pipeline's thread while it runs
  std::optional<detail::BlockPipeline> pipeline_;  // declared last: it stops first
};

}  // namespace

Bytes makeMsuTrack(const Bytes& file, double loopStartSeconds, TrackProgress* progress) {
  TrackSink sink(loopStartSeconds, progress);
  detail::streamAudio(file, sink);
  Bytes track = sink.finish();
  if (progress && progress->cancel) throw ConversionCancelled();
  return track;
}

}  // namespace tbp
