#include <FLAC/stream_decoder.h>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <exception>
#include <memory>
#include <mpg123.h>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "build/audio.h"

#define STB_VORBIS_HEADER_ONLY
#include <stb/stb_vorbis.h>

namespace tbp {
namespace {

// Gathers decoded frames and applies the limits while decoding: more than an hour of frames
// at the stream's own rate stops at once, and so does a stream with too many channels that
// yields audio. The final checks come in the order the messages are ranked: decoder failure,
// no audio, too many channels.
class FrameCollector {
 public:
  explicit FrameCollector(std::string formatName) : formatName_(std::move(formatName)) {}

  void setFormat(std::uint32_t sampleRate, std::int32_t channels) {
    audio_.sampleRate = sampleRate;
    audio_.channels = channels;
  }

  std::int32_t channels() const { return audio_.channels; }
  std::uint32_t sampleRate() const { return audio_.sampleRate; }
  std::uint64_t decodedFrames() const { return decodedFrames_; }

  // Room for `frames` more interleaved frames, or nullptr when the frames are to be dropped
  // (a stream without channels or rate has no audio whatever it yields).
  float* extend(std::size_t frames) {
    decodedFrames_ += frames;
    if (audio_.channels <= 0 || audio_.sampleRate == 0 || frames == 0) return nullptr;
    if (audio_.channels > kMaxChannels) throw std::runtime_error("too many channels");
    const std::uint64_t limit = static_cast<std::uint64_t>(audio_.sampleRate) * kSecondsPerHour;
    if (decodedFrames_ > limit) throw std::runtime_error("audio longer than an hour");
    const std::size_t old = audio_.samples.size();
    try {
      audio_.samples.resize(old + frames * static_cast<std::size_t>(audio_.channels));
    } catch (const std::bad_alloc&) {
      // Room for the decoded frames is part of decoding: without it the file cannot be read.
      throw std::runtime_error(formatName_ + ": could not decode this file");
    }
    return audio_.samples.data() + old;
  }

  void appendInterleaved(const float* samples, std::size_t frames) {
    if (float* target = extend(frames)) {
      std::copy_n(samples, frames * static_cast<std::size_t>(audio_.channels), target);
    }
  }

  DecodedAudio finish(bool decoderFailed) {
    if (decoderFailed) throw std::runtime_error(formatName_ + ": could not decode this file");
    if (audio_.channels <= 0 || audio_.sampleRate == 0 || audio_.samples.empty()) {
      throw std::runtime_error(formatName_ + ": no audio in the file");
    }
    if (audio_.channels > kMaxChannels) throw std::runtime_error("too many channels");
    return std::move(audio_);
  }

 private:
  std::string formatName_;
  DecodedAudio audio_;
  std::uint64_t decodedFrames_ = 0;
};

// ---- FLAC (libFLAC stream decoder reading from memory) ----

struct FlacSource {
  const Bytes& file;
  std::size_t position = 0;
  FrameCollector& out;
  bool haveStreamInfo = false;
  std::exception_ptr failure;  // exceptions must not cross the C callbacks
};

FLAC__StreamDecoderReadStatus flacRead(const FLAC__StreamDecoder*, FLAC__byte buffer[],
                                       size_t* bytes, void* context) {
  auto& source = *static_cast<FlacSource*>(context);
  const std::size_t count = std::min(*bytes, source.file.size() - source.position);
  std::memcpy(buffer, source.file.data() + source.position, count);
  source.position += count;
  *bytes = count;
  return count == 0 ? FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM
                    : FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
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
}

// Damaged frames are reported here; the decoder skips them and resynchronises.
void flacError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void*) {}

struct FlacDecoderDeleter {
  void operator()(FLAC__StreamDecoder* decoder) const { FLAC__stream_decoder_delete(decoder); }
};

// ---- MP3 (libmpg123 fed from memory, one MPEG frame at a time) ----

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
  return true;
}

// ---- Ogg Vorbis (stb_vorbis from memory) ----

// Reassembles the first `count` packets of the Ogg stream from its page segments (a segment
// of 255 bytes continues a packet, a shorter one ends it). Stops early at a damaged or missing
// page; the last packet returned may then be incomplete.
std::vector<Bytes> firstOggPackets(const Bytes& file, std::size_t count) {
  std::vector<Bytes> packets(1);
  std::size_t page = 0;
  bool cut = false;
  while (!cut && packets.size() <= count && file.size() - page >= 27 &&
         std::memcmp(file.data() + page, "OggS", 4) == 0) {
    const std::size_t segments = file[page + 26];
    if (file.size() - page - 27 < segments) break;
    std::size_t body = page + 27 + segments;
    for (std::size_t i = 0; i < segments && packets.size() <= count; ++i) {
      const std::size_t length = file[page + 27 + i];
      cut = file.size() - body < length;
      if (cut) break;
      Bytes& packet = packets.back();
      packet.insert(packet.end(), file.begin() + static_cast<std::ptrdiff_t>(body),
                    file.begin() + static_cast<std::ptrdiff_t>(body + length));
      body += length;
      if (length < 255) packets.emplace_back();
    }
    page = body;
  }
  if (packets.size() > count || packets.back().empty()) packets.pop_back();
  return packets;
}

// The comment header's vendor string and comments each declare a 32-bit length, and the
// decoder library allocates and copies whatever they claim. Only a header whose lengths fit
// inside the packet itself is handed on.
bool vorbisCommentsFit(const Bytes& file) {
  const std::vector<Bytes> packets = firstOggPackets(file, 2);
  if (packets.size() < 2) return true;  // no comment header at all: the library refuses it
  // A cut-off header is checked against the bytes present: the library reads no others.
  const Bytes& comments = packets[1];
  std::size_t at = 7;  // packet type 3 and "vorbis"
  auto readLength = [&](std::size_t& length) {
    if (comments.size() < at || comments.size() - at < 4) return false;
    length = comments[at] | (comments[at + 1] << 8) | (comments[at + 2] << 16) |
             (static_cast<std::size_t>(comments[at + 3]) << 24);
    at += 4;
    return true;
  };
  std::size_t vendor = 0, listLength = 0;
  if (!readLength(vendor) || comments.size() - at < vendor) return false;
  at += vendor;
  if (!readLength(listLength) || listLength > (comments.size() - at) / 4) return false;
  for (std::size_t i = 0; i < listLength; ++i) {
    std::size_t length = 0;
    if (!readLength(length) || comments.size() - at < length) return false;
    at += length;
  }
  return true;
}

}  // namespace

DecodedAudio decodeFlac(const Bytes& file) {
  FrameCollector out("FLAC");
  FlacSource source{file, 0, out, false, nullptr};
  std::unique_ptr<FLAC__StreamDecoder, FlacDecoderDeleter> decoder(FLAC__stream_decoder_new());
  if (!decoder || FLAC__stream_decoder_init_stream(
                      decoder.get(), flacRead, nullptr, nullptr, nullptr, nullptr, flacWrite,
                      flacMetadata, flacError, &source) != FLAC__STREAM_DECODER_INIT_STATUS_OK) {
    return out.finish(true);
  }
  FLAC__stream_decoder_process_until_end_of_stream(decoder.get());
  if (source.failure) std::rethrow_exception(source.failure);
  return out.finish(!source.haveStreamInfo);
}

DecodedAudio decodeVorbis(const Bytes& file) {
  FrameCollector out("Ogg Vorbis");
  if (file.size() > static_cast<std::size_t>(INT_MAX) || !vorbisCommentsFit(file)) {
    return out.finish(true);
  }
  int error = 0;
  stb_vorbis* vorbis =
      stb_vorbis_open_memory(file.data(), static_cast<int>(file.size()), &error, nullptr);
  if (vorbis == nullptr) return out.finish(true);
  std::unique_ptr<stb_vorbis, void (*)(stb_vorbis*)> closer(vorbis, stb_vorbis_close);
  const stb_vorbis_info info = stb_vorbis_get_info(vorbis);
  out.setFormat(info.sample_rate, info.channels);
  if (info.channels <= 0) return out.finish(true);
  constexpr int kChunkFrames = 4096;
  std::vector<float> chunk(static_cast<std::size_t>(info.channels) * kChunkFrames);
  for (;;) {
    const int frames = stb_vorbis_get_samples_float_interleaved(vorbis, info.channels, chunk.data(),
                                                                static_cast<int>(chunk.size()));
    if (frames <= 0) break;
    out.appendInterleaved(chunk.data(), static_cast<std::size_t>(frames));
  }
  return out.finish(out.decodedFrames() == 0);
}

DecodedAudio decodeMp3(const Bytes& file) {
  FrameCollector out("MP3");
  auto handle = openMpg123Feed();
  if (!handle) return out.finish(true);
  constexpr std::size_t kFeedBytes = 16384;
  std::size_t fed = 0;
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
        if (float* target = out.extend(frames)) std::memcpy(target, audio, frames * frameBytes);
      }
    } else if (status == MPG123_NEED_MORE && fed < file.size()) {
      const std::size_t count = std::min(kFeedBytes, file.size() - fed);
      if (mpg123_feed(handle.get(), file.data() + fed, count) != MPG123_OK) break;
      fed += count;
    } else {
      break;  // end of the data, or a stream the decoder cannot follow any further
    }
  }
  return out.finish(!haveFormat);
}

}  // namespace tbp
