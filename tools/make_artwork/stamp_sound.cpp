#include "stamp_sound.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "banner.h"
#include "little_endian.h"
#include "raster.h"

namespace artwork {

namespace {

constexpr int kRate = 32000;
constexpr int kChannels = 2;
constexpr double kSeconds = 2.0;
constexpr int kSampleFrames = int(kRate * kSeconds);
// In step with the banner: contact on frame 14 and lift on frame 23 (counted from 1).
constexpr double kContactSeconds = kStampContactFrame / kBannerFramesPerSecond;
constexpr double kLiftSeconds = kStampLiftFrame / kBannerFramesPerSecond;
constexpr double kPeak = 0.82;  // of full scale

// A second-order filter (band-pass or low-pass, the usual biquad forms).
class Biquad {
 public:
  static Biquad bandPass(double centre, double q) {
    const double w = 2 * M_PI * centre / kRate;
    const double alpha = std::sin(w) / (2 * q);
    return Biquad(alpha, 0, -alpha, 1 + alpha, -2 * std::cos(w), 1 - alpha);
  }
  static Biquad lowPass(double cutoff, double q) {
    const double w = 2 * M_PI * cutoff / kRate;
    const double alpha = std::sin(w) / (2 * q);
    const double c = std::cos(w);
    return Biquad((1 - c) / 2, 1 - c, (1 - c) / 2, 1 + alpha, -2 * c, 1 - alpha);
  }
  double operator()(double x) {
    const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }

 private:
  Biquad(double c0, double c1, double c2, double d0, double d1, double d2)
      : b0(c0 / d0), b1(c1 / d0), b2(c2 / d0), a1(d1 / d0), a2(d2 / d0) {}
  double b0, b1, b2, a1, a2;
  double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
};

struct Stereo {
  std::vector<double> left = std::vector<double>(kSampleFrames);
  std::vector<double> right = std::vector<double>(kSampleFrames);
};

double noise(Random& random) { return random.range(-1, 1); }

// Air moved by the stamp coming in from the upper right: filtered noise that swells, panned
// from right to centre, cut short by the impact.
void addSwish(Stereo& out) {
  Random random(101);
  Biquad left = Biquad::bandPass(900, 0.7);
  Biquad right = Biquad::bandPass(900, 0.7);
  for (int i = 0; i < kSampleFrames; ++i) {
    const double t = double(i) / kRate;
    if (t > kContactSeconds + 0.05) break;
    const double envelope =
        smoothStep(0.04, 0.4, t) *
        (t < kContactSeconds ? 1.0 : std::exp(-(t - kContactSeconds) * 90));
    const double pan = smoothStep(0.0, kContactSeconds, t);
    out.left[i] += 0.05 * envelope * (0.4 + 0.6 * pan) * left(noise(random));
    out.right[i] += 0.05 * envelope * right(noise(random));
  }
}

// The impact: a low body that drops in pitch, the knock of the wooden block, a sharp click of
// rubber on paper and the paper's slap.
void addThump(Stereo& out) {
  Random random(202);
  Biquad slap = Biquad::bandPass(3200, 0.9);
  double phase = 0;
  const int start = int(kContactSeconds * kRate);
  for (int i = start; i < kSampleFrames; ++i) {
    const double dt = double(i - start) / kRate;
    const double pitch = 52 + 78 * std::exp(-dt * 28);
    phase += 2 * M_PI * pitch / kRate;
    const double body = std::sin(phase) * (1 - std::exp(-dt * 900)) * std::exp(-dt * 15);
    const double knock = 0.28 * std::sin(2 * M_PI * 310 * dt) * std::exp(-dt * 38) +
                         0.12 * std::sin(2 * M_PI * 760 * dt + 1.0) * std::exp(-dt * 65);
    const double click = 0.35 * noise(random) * std::exp(-dt * 520);
    const double paper = 0.2 * slap(noise(random)) * std::exp(-dt * 26);
    const double sample = 0.95 * body + knock + click + paper;
    out.left[i] += sample;
    out.right[i] += sample;
  }
}

// Crinkles: band-passed noise whose loudness jumps every few milliseconds, like paper under a
// hand. Each channel crinkles on its own, which makes the rustle wide.
void addRustle(Stereo& out, double from, double to, double level, std::uint64_t seed) {
  for (int channel = 0; channel < kChannels; ++channel) {
    Random random(seed + std::uint64_t(channel));
    Biquad band = Biquad::bandPass(2600, 0.6);
    std::vector<double>& target = channel == 0 ? out.left : out.right;
    double gain = 0;
    int hold = 0;
    for (int i = int(from * kRate); i < int(to * kRate) && i < kSampleFrames; ++i) {
      if (--hold <= 0) {
        hold = int(random.range(0.004, 0.016) * kRate);
        gain = std::pow(random.unit(), 3.0);
      }
      const double t = double(i) / kRate;
      const double envelope = smoothStep(from, from + 0.03, t) * (1 - smoothStep(to - 0.08, to, t));
      target[std::size_t(i)] += level * envelope * gain * band(noise(random));
    }
  }
}

// The rubber letting go of the inked paper: a short, soft tearing noise that brightens.
void addPeel(Stereo& out) {
  Random random(303);
  Biquad left = Biquad::lowPass(1800, 0.8);
  Biquad right = Biquad::lowPass(2000, 0.8);
  const int start = int(kLiftSeconds * kRate);
  for (int i = start; i < start + int(0.09 * kRate); ++i) {
    const double dt = double(i - start) / kRate;
    const double envelope = smoothStep(0, 0.015, dt) * std::exp(-dt * 40);
    out.left[i] += 0.09 * envelope * left(noise(random));
    out.right[i] += 0.09 * envelope * right(noise(random));
  }
}

// A small room: two early reflections per channel, at different delays for width, and a
// gentle fade to silence at the end.
void addRoom(Stereo& out) {
  const auto reflect = [](std::vector<double>& channel, int first, int second) {
    const std::vector<double> dry = channel;
    Biquad soften = Biquad::lowPass(2500, 0.7);
    for (std::size_t i = 0; i < channel.size(); ++i) {
      double wet = 0;
      if (i >= std::size_t(first)) wet += 0.22 * dry[i - std::size_t(first)];
      if (i >= std::size_t(second)) wet += 0.12 * dry[i - std::size_t(second)];
      channel[i] += soften(wet);
    }
  };
  reflect(out.left, int(0.019 * kRate), int(0.043 * kRate));
  reflect(out.right, int(0.023 * kRate), int(0.037 * kRate));
  for (int i = 0; i < kSampleFrames; ++i) {
    const double fade = 1 - smoothStep(kSeconds - 0.3, kSeconds, double(i) / kRate);
    out.left[i] *= fade;
    out.right[i] *= fade;
  }
}

QByteArray wavFile(const Stereo& sound) {
  double peak = 1e-9;
  for (int i = 0; i < kSampleFrames; ++i)
    peak = std::max({peak, std::abs(sound.left[i]), std::abs(sound.right[i])});
  const double gain = kPeak / peak;
  const std::uint32_t dataSize = kSampleFrames * kChannels * 2;
  QByteArray out("RIFF");
  put32(out, 36 + dataSize);
  out.append("WAVEfmt ");
  put32(out, 16);
  put16(out, 1);  // PCM
  put16(out, kChannels);
  put32(out, kRate);
  put32(out, kRate * kChannels * 2);
  put16(out, kChannels * 2);
  put16(out, 16);
  out.append("data");
  put32(out, dataSize);
  for (int i = 0; i < kSampleFrames; ++i)
    for (const double sample : {sound.left[i], sound.right[i]})
      put16(out, int(std::lround(std::clamp(sample * gain, -1.0, 1.0) * 32767)));
  return out;
}

}  // namespace

QByteArray stampSoundWav() {
  Stereo sound;
  addSwish(sound);
  addThump(sound);
  addRustle(sound, kContactSeconds + 0.02, kLiftSeconds - 0.02, 0.16, 404);
  addPeel(sound);
  addRustle(sound, kLiftSeconds + 0.01, kLiftSeconds + 0.22, 0.07, 505);
  addRoom(sound);
  return wavFile(sound);
}

}  // namespace artwork
