#include <cmath>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iterator>
#include <numbers>
#include <stdexcept>
#include <string>

#include "build/audio.h"

namespace {

using tbp::Bytes;
using tbp::decodeAudio;
using tbp::DecodedAudio;

// The committed test files, read directly so that these tests stand on the decoders alone.
Bytes dataFile(const std::string& name) {
  std::ifstream in(std::string(TBP_TEST_DATA_DIR) + "/" + name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

template <typename Call>
std::string errorOf(Call call) {
  try {
    call();
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "decoded";
}

std::string decodeError(const Bytes& file) {
  return errorOf([&] { decodeAudio(file); });
}

// Sign changes of one channel, a plain measure of its frequency.
std::size_t zeroCrossings(const DecodedAudio& audio, int channel) {
  std::size_t crossings = 0;
  const std::size_t frames = audio.frameCount();
  for (std::size_t i = 1; i < frames; ++i) {
    const float before = audio.samples[(i - 1) * audio.channels + channel];
    const float now = audio.samples[i * audio.channels + channel];
    if ((before < 0) != (now < 0)) ++crossings;
  }
  return crossings;
}

double rms(const DecodedAudio& audio, int channel) {
  double sum = 0;
  const std::size_t frames = audio.frameCount();
  for (std::size_t i = 0; i < frames; ++i) {
    const double value = audio.samples[i * audio.channels + channel];
    sum += value * value;
  }
  return std::sqrt(sum / static_cast<double>(frames));
}

// The files hold half-scale tones: 440 Hz on channel 0, 660 Hz on channel 1, one second long
// (two for the Ogg Vorbis file).
void expectTones(const DecodedAudio& audio, double seconds) {
  for (int channel = 0; channel < audio.channels; ++channel) {
    const double hz = channel == 0 ? 440.0 : 660.0;
    EXPECT_NEAR(static_cast<double>(zeroCrossings(audio, channel)), 2 * hz * seconds, 6)
        << "channel " << channel;
    EXPECT_NEAR(rms(audio, channel), 0.5 / std::sqrt(2.0), 0.02) << "channel " << channel;
  }
}

TEST(AudioDetection, FirstBytesChooseTheDecoder) {
  struct Row {
    Bytes file;
    std::string message;
  };
  const Row rows[] = {
      {{}, "unknown audio format (WAV, MP3, OGG or FLAC)"},
      {{0xFF}, "unknown audio format (WAV, MP3, OGG or FLAC)"},
      {{0xFF, 0xDF}, "unknown audio format (WAV, MP3, OGG or FLAC)"},
      {{0xFE, 0xFB}, "unknown audio format (WAV, MP3, OGG or FLAC)"},
      {{0xFF, 0xFB}, "MP3: could not decode this file"},
      {{0xFF, 0xE0, 0, 0, 0, 0}, "MP3: could not decode this file"},
      {{'I', 'D', '3'}, "MP3: could not decode this file"},
      {{'I', 'D'}, "unknown audio format (WAV, MP3, OGG or FLAC)"},
      {{'f', 'L', 'a', 'C'}, "FLAC: could not decode this file"},
      {{'f', 'L', 'a'}, "unknown audio format (WAV, MP3, OGG or FLAC)"},
      {{'O', 'g', 'g', 'S'}, "Ogg Vorbis: could not decode this file"},
      {{'O', 'g', 'g', 'S', 0, 2, 0, 0, 0, 0, 0, 0, 0, 0},
       "Ogg Vorbis: could not decode this file"},
      // RIFF needs 12 bytes before the WAV reader takes it.
      {{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V'},
       "unknown audio format (WAV, MP3, OGG or FLAC)"},
      {{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'X'}, "not a WAV file"},
      {{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'}, "WAV: no fmt/data chunk"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(decodeError(row.file), row.message) << ::testing::PrintToString(row.file);
  }
}

TEST(AudioDecoders, Mp3DecodesToItsRateChannelsAndLength) {
  const DecodedAudio audio = decodeAudio(dataFile("tone.mp3"));
  EXPECT_EQ(audio.sampleRate, 44100u);
  EXPECT_EQ(audio.channels, 2);
  EXPECT_EQ(audio.samples.size() % 2, 0u);
  // The encoder's header frame gives its delay and padding, which are trimmed.
  EXPECT_EQ(audio.frameCount(), 44100u);
  expectTones(audio, 1.0);
}

TEST(AudioDecoders, Mp3AfterAnId3TagDecodesTheSame) {
  const Bytes plain = dataFile("tone.mp3");
  // An ID3v2.3 tag of 10 bytes padding (sizes are 7-bit "syncsafe" digits).
  Bytes tagged{'I', 'D', '3', 3, 0, 0, 0, 0, 0, 10};
  tagged.resize(tagged.size() + 10, 0);
  tagged.insert(tagged.end(), plain.begin(), plain.end());
  const DecodedAudio fromPlain = decodeAudio(plain);
  const DecodedAudio fromTagged = decodeAudio(tagged);
  EXPECT_EQ(fromTagged.sampleRate, fromPlain.sampleRate);
  EXPECT_EQ(fromTagged.channels, fromPlain.channels);
  EXPECT_EQ(fromTagged.samples, fromPlain.samples);
}

TEST(AudioDecoders, Mp3StreamThatChangesFormatKeepsItsFirstPart) {
  const Bytes stereo44 = dataFile("tone.mp3");
  const Bytes mono8 = dataFile("frames8k.mp3");
  Bytes mixed = stereo44;
  mixed.insert(mixed.end(), mono8.begin(), mono8.end());
  const DecodedAudio audio = decodeAudio(mixed);
  EXPECT_EQ(audio.sampleRate, 44100u);
  EXPECT_EQ(audio.channels, 2);
  EXPECT_EQ(audio.samples, decodeAudio(stereo44).samples);

  // The same when only the rate changes: 8 kHz mono, then 22.05 kHz mono.
  const Bytes mono22 = dataFile("mono22k.mp3");
  EXPECT_EQ(decodeAudio(mono22).sampleRate, 22050u);
  Bytes rateChange = mono8;
  rateChange.insert(rateChange.end(), mono22.begin(), mono22.end());
  const DecodedAudio first = decodeAudio(rateChange);
  EXPECT_EQ(first.sampleRate, 8000u);
  EXPECT_EQ(first.channels, 1);
  EXPECT_EQ(first.samples, decodeAudio(mono8).samples);
}

TEST(AudioDecoders, VorbisDecodesToItsRateChannelsAndLength) {
  const DecodedAudio audio = decodeAudio(dataFile("tone.ogg"));
  EXPECT_EQ(audio.sampleRate, 48000u);
  EXPECT_EQ(audio.channels, 2);
  EXPECT_EQ(audio.frameCount(), 96000u);
  expectTones(audio, 2.0);
}

TEST(AudioDecoders, NineChannelsAreTooMany) {
  const Bytes nine = dataFile("nine.ogg");
  EXPECT_EQ(decodeError(nine), "too many channels");
  // Without any audio the decoding failure ranks first.
  const Bytes headersOnly(nine.begin(), nine.begin() + 58);
  EXPECT_EQ(decodeError(headersOnly), "Ogg Vorbis: could not decode this file");
}

// FLAC is lossless: every sample is the generated integer scaled by 2^(bits-1).
void expectExactFlac(const DecodedAudio& audio, std::uint32_t rate, int channels,
                     std::size_t frames, int bits) {
  ASSERT_EQ(audio.sampleRate, rate);
  ASSERT_EQ(audio.channels, channels);
  ASSERT_EQ(audio.frameCount(), frames);
  const double half = std::ldexp(1.0, bits - 2);
  const double full = std::ldexp(1.0, bits - 1);
  std::size_t mismatches = 0;
  for (std::size_t i = 0; i < frames; ++i) {
    for (int c = 0; c < channels; ++c) {
      const double hz = c == 0 ? 440.0 : 660.0;
      const double value = std::nearbyint(
          half * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / rate));
      if (audio.samples[i * channels + c] != static_cast<float>(value / full)) ++mismatches;
    }
  }
  EXPECT_EQ(mismatches, 0u);
}

TEST(AudioDecoders, FlacDecodesExactSamples) {
  expectExactFlac(decodeAudio(dataFile("tone.flac")), 16000, 1, 16000, 16);
  expectExactFlac(decodeAudio(dataFile("tone24.flac")), 8000, 2, 2000, 24);
}

TEST(AudioDecoders, TruncatedFilesKeepWhatDecodes) {
  struct Row {
    const char* name;
    std::uint32_t rate;
    int channels;
  };
  for (const Row& row :
       {Row{"tone.mp3", 44100, 2}, Row{"tone.ogg", 48000, 2}, Row{"tone.flac", 16000, 1}}) {
    const Bytes whole = dataFile(row.name);
    const Bytes cut(whole.begin(),
                    whole.begin() + static_cast<std::ptrdiff_t>(whole.size() * 4 / 5));
    const DecodedAudio full = decodeAudio(whole);
    const DecodedAudio part = decodeAudio(cut);
    EXPECT_EQ(part.sampleRate, row.rate) << row.name;
    EXPECT_EQ(part.channels, row.channels) << row.name;
    EXPECT_GT(part.frameCount(), full.frameCount() / 4) << row.name;
    EXPECT_LT(part.frameCount(), full.frameCount()) << row.name;
  }
}

TEST(AudioDecoders, HeadersWithoutAudio) {
  const Bytes flac = dataFile("tone.flac");
  // "fLaC", then the STREAMINFO block (4-byte header + 34 bytes), marked as the last block.
  Bytes streamInfoOnly(flac.begin(), flac.begin() + 42);
  streamInfoOnly[4] |= 0x80;
  EXPECT_EQ(decodeError(streamInfoOnly), "FLAC: no audio in the file");
  const Bytes flacCut(flac.begin(), flac.begin() + 20);
  EXPECT_EQ(decodeError(flacCut), "FLAC: could not decode this file");

  const Bytes ogg = dataFile("tone.ogg");
  const Bytes firstPage(ogg.begin(), ogg.begin() + 58);  // the identification header only
  EXPECT_EQ(decodeError(firstPage), "Ogg Vorbis: could not decode this file");

  Bytes garbageMp3{0xFF, 0xFB};
  garbageMp3.resize(4000, 0x55);
  EXPECT_EQ(decodeError(garbageMp3), "MP3: could not decode this file");
}

TEST(AudioDecoders, CorruptAudioDataStillGivesTheStreamFormat) {
  for (const char* name : {"tone.mp3", "tone.ogg", "tone.flac"}) {
    Bytes file = dataFile(name);
    const std::size_t start = file.size() * 17 / 20;  // inside the last audio page of the Ogg file
    for (std::size_t i = start; i < start + 64; ++i) file[i] ^= 0xA5;
    const DecodedAudio audio = decodeAudio(file);
    EXPECT_GT(audio.frameCount(), 0u) << name;
    EXPECT_GE(audio.channels, 1) << name;
    EXPECT_EQ(audio.samples.size() % static_cast<std::size_t>(audio.channels), 0u) << name;
  }
}

// The Ogg page checksum: CRC-32 with polynomial 0x04C11DB7, not reflected, over the page
// with its checksum field zeroed.
void resealOggPage(Bytes& file, std::size_t pageStart, std::size_t pageLength) {
  for (int i = 0; i < 4; ++i) file[pageStart + 22 + i] = 0;
  std::uint32_t crc = 0;
  for (std::size_t i = pageStart; i < pageStart + pageLength; ++i) {
    crc ^= static_cast<std::uint32_t>(file[i]) << 24;
    for (int bit = 0; bit < 8; ++bit) crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  for (int i = 0; i < 4; ++i) file[pageStart + 22 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
}

// tone.ogg with its identification header declaring another rate.
Bytes oggAtRate(std::uint32_t rate) {
  Bytes ogg = dataFile("tone.ogg");
  const std::size_t segments = ogg[26];
  const std::size_t rateOffset = 27 + segments + 12;  // after type, "vorbis", version, channels
  for (int i = 0; i < 4; ++i) ogg[rateOffset + i] = static_cast<std::uint8_t>(rate >> (8 * i));
  resealOggPage(ogg, 0, 27 + segments + ogg[27]);
  return ogg;
}

// tone.flac with its STREAMINFO declaring another rate (20 bits from byte 18).
Bytes flacAtRate(std::uint32_t rate) {
  Bytes flac = dataFile("tone.flac");
  flac[18] = static_cast<std::uint8_t>(rate >> 12);
  flac[19] = static_cast<std::uint8_t>(rate >> 4);
  flac[20] = static_cast<std::uint8_t>((flac[20] & 0x0F) | ((rate & 0x0F) << 4));
  return flac;
}

TEST(AudioDecoders, RatesOutsideTheLimitsAreRefusedWhileDecoding) {
  // At 1 Hz an hour is 3600 frames; at a megahertz it is billions: the rate is refused before
  // either limit matters, by decodeAudio as by the conversion.
  struct Row {
    Bytes file;
    std::string message;
  };
  const Row rows[] = {
      {oggAtRate(1), "sample rate out of range"},
      {oggAtRate(3999), "sample rate out of range"},
      {oggAtRate(384001), "sample rate out of range"},
      {oggAtRate(1047620), "sample rate out of range"},
      {oggAtRate(384000), "decoded"},
      {flacAtRate(4), "sample rate out of range"},
      {flacAtRate(1047620), "sample rate out of range"},
      {flacAtRate(4000), "decoded"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(decodeError(row.file), row.message);
    EXPECT_EQ(errorOf([&] { tbp::makeMsuTrack(row.file, -1); }), row.message);
  }
  // An empty buffer handed straight to a decoder is a decoding failure.
  EXPECT_EQ(errorOf([] { tbp::decodeFlac({}); }), "FLAC: could not decode this file");
}

TEST(AudioDecoders, VorbisCommentLengthsBeyondThePacketAreRefused) {
  const Bytes ogg = dataFile("tone.ogg");
  const std::size_t page = 27 + ogg[26] + ogg[27];  // the second page holds the comments
  const std::size_t segments = ogg[page + 26];
  std::size_t pageLength = 27 + segments;
  for (std::size_t i = 0; i < segments; ++i) pageLength += ogg[page + 27 + i];
  const std::size_t vendorLength = page + 27 + segments + 7;
  ASSERT_EQ(std::string(ogg.begin() + static_cast<std::ptrdiff_t>(vendorLength) - 6,
                        ogg.begin() + static_cast<std::ptrdiff_t>(vendorLength)),
            "vorbis");
  const std::size_t vendor = ogg[vendorLength] | (ogg[vendorLength + 1] << 8);
  const std::size_t listLength = vendorLength + 4 + vendor;
  // A vendor string "longer" than the file, then a comment count that no packet can hold.
  for (const std::size_t at : {vendorLength, listLength}) {
    for (const std::uint32_t claim : {0xB21A1100u, 0x7FFFFFF0u, 0x00100000u}) {
      Bytes hostile = ogg;
      for (int i = 0; i < 4; ++i) hostile[at + i] = static_cast<std::uint8_t>(claim >> (8 * i));
      resealOggPage(hostile, page, pageLength);
      EXPECT_EQ(decodeError(hostile), "Ogg Vorbis: could not decode this file")
          << at << " " << claim;
      // The same with the file ending inside the comment header.
      hostile.resize(listLength + 40);
      EXPECT_EQ(decodeError(hostile), "Ogg Vorbis: could not decode this file")
          << at << " " << claim << " cut";
    }
  }
  // The same page resealed unchanged still decodes.
  Bytes resealed = ogg;
  resealOggPage(resealed, page, pageLength);
  EXPECT_EQ(resealed, ogg);
}

TEST(AudioDecoders, TenHourMp3StopsAfterTheFirstHour) {
  // frames8k.mp3 is one second of self-contained 8 kHz frames; 36000 copies make ten hours.
  const Bytes second = dataFile("frames8k.mp3");
  const DecodedAudio once = decodeAudio(second);
  EXPECT_EQ(once.sampleRate, 8000u);
  EXPECT_EQ(once.channels, 1);
  EXPECT_NEAR(static_cast<double>(once.frameCount()), 8000.0, 1500.0);  // untrimmed delay
  Bytes tenHours;
  tenHours.reserve(second.size() * 36000);
  for (int i = 0; i < 36000; ++i) tenHours.insert(tenHours.end(), second.begin(), second.end());
  EXPECT_EQ(decodeError(tenHours), "audio longer than an hour");
}

}  // namespace
