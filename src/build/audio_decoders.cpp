#include <FLAC/stream_decoder.h>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <mpg123.h>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>
#include <vorbis/vorbisfile.h>

#include "build/audio_stream.h"

namespace tbp::detail {
namespace {

// Stands between a decoder and its sink and applies the limits while decoding: a stream with
// too many channels or a rate outside the limits is refused at its first frames, and one
// that passes an hour of frames at its own rate stops at once, so that no file can make the
// sink take more than an hour of audio at 384 kHz. The final checks come in the order the
// messages are ranked: decoder failure, no audio, too many channels.
class FrameCollector {
 public:
  FrameCollector(std::string formatName, FrameSink& sink)
      : formatName_(std::move(formatName)), sink_(sink) {}

  void setFormat(std::uint32_t sampleRate, std::int32_t channels) {
    sampleRate_ = sampleRate;
    channels_ = channels;
  }

  std::int32_t channels() const { return channels_; }
  std::uint32_t sampleRate() const { return sampleRate_; }
  std::uint64_t decodedFrames() const { return decodedFrames_; }

  // The length the stream declares, in frames: only a hint for the sink to reserve room.
  void expectFrames(std::uint64_t frames) { expectedFrames_ = frames; }

  // Room for `frames` more interleaved frames, to be filled and then committed, or nullptr
  // when the frames are to be dropped (a stream without channels or rate has no audio
  // whatever it yields).
  float* extend(std::size_t frames) {
    decodedFrames_ += frames;
    if (channels_ <= 0 || sampleRate_ == 0 || frames == 0) return nullptr;
    if (channels_ > kMaxChannels) throw std::runtime_error("too many channels");
    if (sampleRate_ < kMinSampleRate || sampleRate_ > kMaxSampleRate) {
      throw std::runtime_error("sample rate out of range");
    }
    const std::uint64_t limit = static_cast<std::uint64_t>(sampleRate_) * kSecondsPerHour;
    if (decodedFrames_ > limit) throw std::runtime_error("audio longer than an hour");
    if (!started_) {
      sink_.start(sampleRate_, channels_);
      if (expectedFrames_ > 0) sink_.expectFrames(std::min(expectedFrames_, limit));
      started_ = true;
    }
    try {
      return sink_.room(frames * static_cast<std::size_t>(channels_));
    } catch (const std::bad_alloc&) {
      // Room for the decoded frames is part of decoding: without it the file cannot be read.
      throw std::runtime_error(formatName_ + ": could not decode this file");
    }
  }

  void commit() { sink_.commit(); }

  void finish(bool decoderFailed) const {
    if (decoderFailed) throw std::runtime_error(formatName_ + ": could not decode this file");
    if (channels_ <= 0 || sampleRate_ == 0 || !started_) {
      throw std::runtime_error(formatName_ + ": no audio in the file");
    }
    if (channels_ > kMaxChannels) throw std::runtime_error("too many channels");
  }

 private:
  std::string formatName_;
  FrameSink& sink_;
  std::uint32_t sampleRate_ = 0;
  std::int32_t channels_ = 0;
  bool started_ = false;
  std::uint64_t decodedFrames_ = 0;
  std::uint64_t expectedFrames_ = 0;
};

// ---- FLAC (libFLAC stream decoder reading the file in blocks) ----

struct FlacSource {
  ByteSource& file;
  std::uint64_t position = 0;
  FrameCollector& out;
  bool haveStreamInfo = false;
  std::exception_ptr failure;  // exceptions must not cross the C callbacks
};

FLAC__StreamDecoderReadStatus flacRead(const FLAC__StreamDecoder*, FLAC__byte buffer[],
                                       size_t* bytes, void* context) {
  auto& source = *static_cast<FlacSource*>(context);
  try {
    const std::size_t count = source.file.readAt(source.position, buffer, *bytes);
    *bytes = count;
    if (count == 0) return FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
    source.position += count;
    return FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
  } catch (...) {
    source.failure = std::current_exception();
    *bytes = 0;
    return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
  }
}

// Integer samples become floats scaled by 2^(bits-1), so full scale is -1.0 .. +1.0.
FLAC__StreamDecoderWriteStatus flacWrite(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                         const FLAC__int32* const channelData[], void* context) {
  auto& source = *static_cast<FlacSource*>(context);
  const auto channels = static_cast<std::int32_t>(frame->header.channels);
  const unsigned bits = frame->header.bits_per_sample;
  if (!source.haveStreamInfo || channels != source.out.channels() || bits < 1 || bits > 32) {
    return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
  }
  try {
    const std::size_t frames = frame->header.blocksize;
    float* target = source.out.extend(frames);
    if (target == nullptr) return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    const double scale = std::ldexp(1.0, -static_cast<int>(bits - 1));
    for (std::size_t i = 0; i < frames; ++i) {
      for (std::int32_t c = 0; c < channels; ++c) {
        *target++ = static_cast<float>(channelData[c][i] * scale);
      }
    }
    source.out.commit();
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
  } catch (...) {
    source.failure = std::current_exception();
    return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
  }
}

void flacMetadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata, void* context) {
  auto& source = *static_cast<FlacSource*>(context);
  if (metadata->type != FLAC__METADATA_TYPE_STREAMINFO || source.haveStreamInfo) return;
  source.haveStreamInfo = true;
  source.out.setFormat(metadata->data.stream_info.sample_rate,
                       static_cast<std::int32_t>(metadata->data.stream_info.channels));
  source.out.expectFrames(metadata->data.stream_info.total_samples);  // 0: not known
}

// Damaged frames are reported here; the decoder skips them and resynchronises.
void flacError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void*) {}

struct FlacDecoderDeleter {
  void operator()(FLAC__StreamDecoder* decoder) const { FLAC__stream_decoder_delete(decoder); }
};

// ---- MP3 (libmpg123 fed the file in blocks, one MPEG frame decoded at a time) ----

struct Mpg123Deleter {
  void operator()(mpg123_handle* handle) const { mpg123_delete(handle); }
};

std::unique_ptr<mpg123_handle, Mpg123Deleter> openMpg123Feed() {
  int error = MPG123_OK;
  std::unique_ptr<mpg123_handle, Mpg123Deleter> handle(mpg123_new(nullptr, &error));
  if (!handle) return handle;
  mpg123_param(handle.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
  // Every rate, mono or stereo, always as 32-bit float samples.
  mpg123_format_none(handle.get());
  const long* rates = nullptr;
  std::size_t rateCount = 0;
  mpg123_rates(&rates, &rateCount);
  for (std::size_t i = 0; i < rateCount; ++i) {
    mpg123_format(handle.get(), rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
  }
  if (mpg123_open_feed(handle.get()) != MPG123_OK) handle.reset();
  return handle;
}

// The first output format of the stream; a later change of rate or channel count ends the
// decoding there, since the frames of one DecodedAudio share one format.
bool adoptMp3Format(mpg123_handle* handle, FrameCollector& out, bool& haveFormat) {
  long rate = 0;
  int channels = 0;
  int encoding = 0;
  if (mpg123_getformat(handle, &rate, &channels, &encoding) != MPG123_OK ||
      encoding != MPG123_ENC_FLOAT_32 || rate <= 0 || channels <= 0) {
    return false;
  }
  if (haveFormat) {
    return channels == out.channels() && static_cast<std::uint32_t>(rate) == out.sampleRate();
  }
  haveFormat = true;
  out.setFormat(static_cast<std::uint32_t>(rate), channels);
  // From the stream's own table of contents, or estimated from the file size.
  const off_t length = mpg123_length(handle);
  if (length > 0) out.expectFrames(static_cast<std::uint64_t>(length));
  return true;
}

// ---- Ogg Vorbis (libvorbisfile reading the file in blocks) ----

// The file as a stream without seeking: the decoder then reads it once from start to end and
// never scans ahead for the links of a chained stream.
struct SequentialStream {
  ByteSource& file;
  std::uint64_t position = 0;
  std::exception_ptr failure;  // exceptions must not cross the C callbacks
};

std::size_t readSequentially(void* target, std::size_t size, std::size_t count, void* context) {
  auto& stream = *static_cast<SequentialStream*>(context);
  const std::uint64_t remaining =
      stream.position < stream.file.size() ? stream.file.size() - stream.position : 0;
  if (size == 0 || remaining == 0 || stream.failure) return 0;
  const std::size_t items = static_cast<std::size_t>(std::min<std::uint64_t>(count, remaining / size));
  try {
    const std::size_t got =
        stream.file.readAt(stream.position, static_cast<std::uint8_t*>(target), items * size);
    stream.position += got;
    return got / size;
  } catch (...) {
    stream.failure = std::current_exception();
    return 0;
  }
}

// libvorbisfile gives one array per channel; the sink takes interleaved frames.
void interleave(float* const* channels, std::int32_t count, std::size_t frames, float* target) {
  for (std::size_t i = 0; i < frames; ++i) {
    for (std::int32_t c = 0; c < count; ++c) *target++ = channels[c][i];
  }
}

// The granule position of the last page that ends a packet: for Vorbis the number of frames
// up to the end of the stream (of its last link, in a chained one).
// Only the file's last longest page is read.
std::uint64_t lastOggGranule(ByteSource& source) {
  constexpr std::size_t kHeaderBytes = 27;
  constexpr std::size_t kLongestPage = kHeaderBytes + 255 + 255 * 255;
  const std::uint64_t start = source.size() > kLongestPage ? source.size() - kLongestPage : 0;
  const Bytes file = readRange(source, start, kLongestPage);
  if (file.size() < kHeaderBytes) return 0;
  const std::size_t stop = 0;
  for (std::size_t at = file.size() - kHeaderBytes;; --at) {
    if (std::memcmp(file.data() + at, "OggS", 4) == 0 && file[at + 4] == 0) {
      std::uint64_t granule = 0;
      for (int i = 7; i >= 0; --i) granule = granule << 8 | file[at + 6 + i];
      if (granule != UINT64_MAX) return granule;  // all ones: no packet ends on the page
    }
    if (at == stop) return 0;
  }
}

// The header stores the rate as 32 unsigned bits; the library refuses a rate of zero.
std::uint32_t vorbisRate(const vorbis_info& info) {
  return static_cast<std::uint32_t>(
      std::clamp<long>(info.rate, 0, std::numeric_limits<std::uint32_t>::max()));
}

struct VorbisFileCloser {
  void operator()(OggVorbis_File* vorbis) const { ov_clear(vorbis); }
};

}  // namespace

void streamFlac(ByteSource& file, FrameSink& sink) {
  FrameCollector out("FLAC", sink);
  FlacSource source{file, 0, out, false, nullptr};
  std::unique_ptr<FLAC__StreamDecoder, FlacDecoderDeleter> decoder(FLAC__stream_decoder_new());
  if (!decoder || FLAC__stream_decoder_init_stream(
                      decoder.get(), flacRead, nullptr, nullptr, nullptr, nullptr, flacWrite,
                      flacMetadata, flacError, &source) != FLAC__STREAM_DECODER_INIT_STATUS_OK) {
    return out.finish(true);
  }
  FLAC__stream_decoder_process_until_end_of_stream(decoder.get());
  if (source.failure) std::rethrow_exception(source.failure);
  out.finish(!source.haveStreamInfo);
}

void streamVorbis(ByteSource& file, FrameSink& sink) {
  FrameCollector out("Ogg Vorbis", sink);
  SequentialStream stream{file, 0, nullptr};
  OggVorbis_File vorbis;
  // Read callback only: the stream is not seekable, so it is decoded in one pass.
  const ov_callbacks callbacks{readSequentially, nullptr, nullptr, nullptr};
  if (ov_open_callbacks(&stream, &vorbis, nullptr, 0, callbacks) != 0) {
    if (stream.failure) std::rethrow_exception(stream.failure);
    return out.finish(true);
  }
  const std::unique_ptr<OggVorbis_File, VorbisFileCloser> closer(&vorbis);
  const vorbis_info* info = ov_info(&vorbis, -1);
  out.setFormat(vorbisRate(*info), info->channels);
  out.expectFrames(lastOggGranule(file));
  constexpr int kChunkFrames = 4096;
  for (;;) {
    float** channels = nullptr;
    int link = 0;
    const long frames = ov_read_float(&vorbis, &channels, kChunkFrames, &link);
    if (frames == OV_HOLE) continue;  // a gap in the data: decoding goes on after it
    if (frames <= 0) break;
    // A chained stream may change its format at the next link: the audio ends there.
    info = ov_info(&vorbis, -1);
    if (info->channels != out.channels() || vorbisRate(*info) != out.sampleRate()) break;
    if (float* target = out.extend(static_cast<std::size_t>(frames))) {
      interleave(channels, info->channels, static_cast<std::size_t>(frames), target);
      out.commit();
    }
  }
  if (stream.failure) std::rethrow_exception(stream.failure);
  out.finish(out.decodedFrames() == 0);
}

void streamMp3(ByteSource& file, FrameSink& sink) {
  FrameCollector out("MP3", sink);
  auto handle = openMpg123Feed();
  if (!handle) return out.finish(true);
  mpg123_set_filesize(handle.get(), static_cast<off_t>(std::min<std::uint64_t>(
                                        file.size(), std::numeric_limits<off_t>::max())));
  constexpr std::size_t kFeedBytes = 16384;
  std::uint8_t block[kFeedBytes];
  std::uint64_t fed = 0;
  bool haveFormat = false;
  for (;;) {
    off_t frameNumber = 0;
    unsigned char* audio = nullptr;
    std::size_t bytes = 0;
    const int status = mpg123_decode_frame(handle.get(), &frameNumber, &audio, &bytes);
    if (status == MPG123_NEW_FORMAT) {
      if (!adoptMp3Format(handle.get(), out, haveFormat)) break;
    } else if (status == MPG123_OK) {
      if (haveFormat && audio != nullptr) {
        const std::size_t frameBytes = sizeof(float) * static_cast<std::size_t>(out.channels());
        const std::size_t frames = bytes / frameBytes;
        if (float* target = out.extend(frames)) {
          std::memcpy(target, audio, frames * frameBytes);
          out.commit();
        }
      }
    } else if (status == MPG123_NEED_MORE && fed < file.size()) {
      const std::size_t count = file.readAt(fed, block, kFeedBytes);
      if (count == 0 || mpg123_feed(handle.get(), block, count) != MPG123_OK) break;
      fed += count;
    } else {
      break;  // end of the data, or a stream the decoder cannot follow any further
    }
  }
  out.finish(!haveFormat);
}

}  // namespace tbp::detail

namespace tbp {

DecodedAudio decodeFlac(const Bytes& bytes) {
  MemorySource file(bytes);
  detail::SampleStore store;
  detail::streamFlac(file, store);
  return store.take();
}

DecodedAudio decodeVorbis(const Bytes& bytes) {
  MemorySource file(bytes);
  detail::SampleStore store;
  detail::streamVorbis(file, store);
  return store.take();
}

DecodedAudio decodeMp3(const Bytes& bytes) {
  MemorySource file(bytes);
  detail::SampleStore store;
  detail::streamMp3(file, store);
  return store.take();
}

}  // namespace tbp
