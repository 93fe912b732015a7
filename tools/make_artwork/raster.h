#pragma once

#include <cstdint>

#include <QImage>

// Small raster helpers shared by the drawings: a seeded random source, smooth noise, easing
// curves and a blur. Everything is deterministic so that every build draws the same pictures.
namespace artwork {

// xorshift64*: fast, seedable, identical on every platform.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state(seed ? seed : 0x9E3779B97F4A7C15ull) {}
  std::uint64_t next();
  // Uniform in [0, 1).
  double unit();
  // Uniform in [low, high).
  double range(double low, double high) { return low + (high - low) * unit(); }

 private:
  std::uint64_t state;
};

// Smooth value noise in [0, 1] on a lattice of cell size 1, seeded; repeats every 256 cells.
double valueNoise(double x, double y, std::uint32_t seed);
// Several octaves of value noise, in [0, 1].
double fractalNoise(double x, double y, std::uint32_t seed, int octaves);

double clamp01(double value);
double smoothStep(double edge0, double edge1, double value);
double lerp(double from, double to, double amount);
double easeInQuad(double p);
double easeOutCubic(double p);
double easeInOutSine(double p);

// Blurs a shadow (black with varying alpha) with three box passes, close to a Gaussian of the
// given radius. The result is black with the blurred alpha; a radius below 1 changes nothing.
void blurShadow(QImage& image, int radius);

// Averages equally sized premultiplied ARGB images (the motion-blur samples of one frame).
QImage average(const QList<QImage>& samples);

}  // namespace artwork
