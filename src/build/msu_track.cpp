#include <optional>
#include <stdexcept>

#include "build/audio.h"
#include "build/audio_stream.h"
#include "build/block_pipeline.h"
#include "build/msu_track_builder.h"
#include "build/track_shaping.h"

namespace tbp {
namespace {

constexpr std::size_t kBlockFrames = 16384;  // frames handed to the converting thread at once

// Converts the frames as the decoder hands them on, on a second thread, so that decoding and
// resampling (each about half of the work) overlap; the track's frames go to the output from
// that thread. The decoders have applied every limit that decodeAudio applies; only a stream
// without frames remains to be refused.
class TrackSink : public detail::FrameSink {
 public:
  TrackSink(double loopStartSeconds, TrackFrameSink& output, TrackProgress* progress)
      : loopStartSeconds_(loopStartSeconds), output_(output), progress_(progress) {}

  void start(std::uint32_t sampleRate, std::int32_t channels) override {
    builder_.emplace(sampleRate, channels, loopStartSeconds_, bestResamplerEngine(), &output_);
    const auto frameSamples = static_cast<std::size_t>(channels);
    frameSamples_ = frameSamples;
    pipeline_.emplace(
        [this, frameSamples](const float* samples, std::size_t count) {
          builder_->add(samples, count / frameSamples);
        },
        kBlockFrames * frameSamples);
  }

  void expectFrames(std::uint64_t frames) override {
    if (progress_) progress_->framesExpected = frames;
    builder_->expectFrames(frames);
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

  TrackLayout finish() {
    if (!builder_) throw std::runtime_error("no audio");
    pipeline_->finish();
    return builder_->finishFrames();
  }

 private:
  double loopStartSeconds_;
  TrackFrameSink& output_;
  TrackProgress* progress_;
  std::size_t frameSamples_ = 1;
  std::optional<MsuTrackBuilder> builder_;         // used by the pipeline's thread while it runs
  std::optional<detail::BlockPipeline> pipeline_;  // declared last: it stops first
};

}  // namespace

TrackLayout detail::convertTrack(ByteSource& file, double loopStartSeconds, TrackFrameSink& output,
                                 TrackProgress* progress) {
  TrackSink sink(loopStartSeconds, output, progress);
  detail::streamAudio(file, sink);
  const TrackLayout layout = sink.finish();
  if (progress && progress->cancel) throw ConversionCancelled();
  return layout;
}

Bytes makeMsuTrack(const Bytes& file, double loopStartSeconds, TrackProgress* progress) {
  return makeShapedTrack(file, loopStartSeconds, {}, progress);
}

}  // namespace tbp
