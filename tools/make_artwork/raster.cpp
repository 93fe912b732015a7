#include "raster.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace artwork {

std::uint64_t Random::next() {
  state ^= state >> 12;
  state ^= state << 25;
  state ^= state >> 27;
  return state * 0x2545F4914F6CDD1Dull;
}

double Random::unit() { return double(next() >> 11) / double(1ull << 53); }

namespace {

// A fixed pseudo-random value in [0, 1] for each lattice point.
double lattice(int x, int y, std::uint32_t seed) {
  std::uint32_t h = std::uint32_t(x & 255) * 374761393u + std::uint32_t(y & 255) * 668265263u +
                    seed * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return double(h & 0xFFFFFF) / double(0xFFFFFF);
}

double fade(double t) { return t * t * (3.0 - 2.0 * t); }

// One horizontal and one vertical running-sum pass of width 2 * radius + 1 over one channel.
void boxPass(std::vector<float>& channel, int width, int height, int radius) {
  std::vector<float> line(std::size_t(std::max(width, height)));
  const float scale = 1.0f / float(2 * radius + 1);
  auto run = [&](int count, auto at) {
    float sum = 0;
    for (int i = -radius; i <= radius; ++i) sum += at(std::clamp(i, 0, count - 1));
    for (int i = 0; i < count; ++i) {
      line[std::size_t(i)] = sum * scale;
      sum += at(std::min(i + radius + 1, count - 1)) - at(std::max(i - radius, 0));
    }
    for (int i = 0; i < count; ++i) at(i) = line[std::size_t(i)];
  };
  for (int y = 0; y < height; ++y)
    run(width, [&](int x) -> float& { return channel[std::size_t(y * width + x)]; });
  for (int x = 0; x < width; ++x)
    run(height, [&](int y) -> float& { return channel[std::size_t(y * width + x)]; });
}

}  // namespace

double valueNoise(double x, double y, std::uint32_t seed) {
  const int x0 = int(std::floor(x));
  const int y0 = int(std::floor(y));
  const double fx = fade(x - x0);
  const double fy = fade(y - y0);
  const double top = lerp(lattice(x0, y0, seed), lattice(x0 + 1, y0, seed), fx);
  const double bottom = lerp(lattice(x0, y0 + 1, seed), lattice(x0 + 1, y0 + 1, seed), fx);
  return lerp(top, bottom, fy);
}

double fractalNoise(double x, double y, std::uint32_t seed, int octaves) {
  double sum = 0;
  double weight = 1;
  double total = 0;
  for (int octave = 0; octave < octaves; ++octave) {
    sum += weight * valueNoise(x, y, seed + std::uint32_t(octave) * 101u);
    total += weight;
    weight *= 0.5;
    x *= 2.03;
    y *= 2.03;
  }
  return sum / total;
}

double clamp01(double value) { return std::clamp(value, 0.0, 1.0); }

double smoothStep(double edge0, double edge1, double value) {
  const double t = clamp01((value - edge0) / (edge1 - edge0));
  return t * t * (3.0 - 2.0 * t);
}

double lerp(double from, double to, double amount) { return from + (to - from) * amount; }
double easeInQuad(double p) { return p * p; }
double easeOutCubic(double p) { return 1.0 - std::pow(1.0 - p, 3.0); }
double easeInOutSine(double p) { return 0.5 - 0.5 * std::cos(M_PI * p); }

void blurShadow(QImage& image, int radius) {
  if (radius < 1) return;
  image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  const int width = image.width();
  const int height = image.height();
  std::vector<float> alpha(std::size_t(width) * std::size_t(height));
  for (int y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < width; ++x) alpha[std::size_t(y * width + x)] = float(qAlpha(row[x]));
  }
  for (int pass = 0; pass < 3; ++pass) boxPass(alpha, width, height, radius);
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < width; ++x)
      row[x] = QRgb(std::min(255L, std::lround(alpha[std::size_t(y * width + x)]))) << 24;
  }
}

QImage average(const QList<QImage>& samples) {
  QImage result = samples.front().convertToFormat(QImage::Format_ARGB32_Premultiplied);
  const int count = int(samples.size());
  if (count == 1) return result;
  QList<QImage> same;
  for (const QImage& sample : samples)
    same.append(sample.convertToFormat(QImage::Format_ARGB32_Premultiplied));
  for (int y = 0; y < result.height(); ++y) {
    auto* out = reinterpret_cast<QRgb*>(result.scanLine(y));
    for (int x = 0; x < result.width(); ++x) {
      int sums[4] = {0, 0, 0, 0};
      for (const QImage& sample : same) {
        const QRgb pixel = reinterpret_cast<const QRgb*>(sample.constScanLine(y))[x];
        for (int c = 0; c < 4; ++c) sums[c] += int((pixel >> (8 * c)) & 0xFF);
      }
      QRgb pixel = 0;
      for (int c = 0; c < 4; ++c) pixel |= QRgb((sums[c] + count / 2) / count) << (8 * c);
      out[x] = pixel;
    }
  }
  return result;
}

}  // namespace artwork
