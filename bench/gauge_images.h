// Synthetic images of rectangles, rings and sectors with known outlines, for the gauge
// benchmarks, accuracy program, tests and demo: exact area coverage, a Gaussian blur and
// Gaussian noise, in pixels or through a scaled world.
#ifndef VIMO_BENCH_GAUGE_IMAGES_H
#define VIMO_BENCH_GAUGE_IMAGES_H

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "vimo/calibration/worldshape.h"
#include "vimo/core/core.h"

namespace gauge_images {

const double kPi = 3.14159265358979323846;

// Oriented rectangle: centre, half sizes, angle in radians.
struct Rectangle {
  double cx, cy, halfX, halfY, angle;
  bool operator()(double x, double y) const {
    const double dx = x - cx, dy = y - cy, c = std::cos(angle), s = std::sin(angle);
    return std::fabs(c * dx + s * dy) <= halfX && std::fabs(-s * dx + c * dy) <= halfY;
  }
};

// Ring sector: centre, radii, origin angle and amplitude in radians (|amplitude| >= 2 pi: a
// whole ring).
struct Sector {
  double cx, cy, inner, outer, org, amplitude;
  bool operator()(double x, double y) const {
    const double dx = x - cx, dy = y - cy, r = std::hypot(dx, dy);
    if (r < inner || r > outer) return false;
    if (std::fabs(amplitude) >= 2 * kPi) return true;
    double a = std::atan2(dy, dx) - (amplitude >= 0 ? org : org + amplitude);
    a -= 2 * kPi * std::floor(a / (2 * kPi));
    return a <= std::fabs(amplitude);
  }
};

// Image whose pixel (x, y) covers [x - 0.5, x + 0.5] x [y - 0.5, y + 0.5]: `outside` grey
// plus (inside - outside) times the part of the pixel where inside(x, y) holds (16 x 16
// sub-pixels where the pixel's corners disagree), then blurred by a Gaussian of deviation
// sigma, plus Gaussian noise of deviation `noise`, rounded and clamped to 0-255.
inline EImage<EBW8> Render(int width, int height, const std::function<bool(double, double)>& in,
                           double outside, double inside, double sigma = 0, double noise = 0,
                           std::mt19937* rng = nullptr) {
  std::vector<unsigned char> corner((width + 1) * (height + 1));
  for (int y = 0; y <= height; ++y)
    for (int x = 0; x <= width; ++x) corner[y * (width + 1) + x] = in(x - 0.5, y - 0.5);
  std::vector<double> level(width * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const int k = y * (width + 1) + x;
      const int sum = corner[k] + corner[k + 1] + corner[k + width + 1] + corner[k + width + 2];
      double cover = sum == 4 ? 1.0 : 0.0;
      if (sum % 4 != 0) {
        int hits = 0;
        for (int j = 0; j < 16; ++j)
          for (int i = 0; i < 16; ++i)
            hits += in(x - 0.5 + (i + 0.5) / 16, y - 0.5 + (j + 0.5) / 16);
        cover = hits / 256.0;
      }
      level[y * width + x] = outside + (inside - outside) * cover;
    }
  if (sigma > 0) {
    const int radius = static_cast<int>(std::ceil(4 * sigma));
    std::vector<double> kernel(2 * radius + 1), pass(level.size());
    double total = 0;
    for (int i = -radius; i <= radius; ++i)
      total += kernel[i + radius] = std::exp(-0.5 * i * i / (sigma * sigma));
    for (double& k : kernel) k /= total;
    auto at = [](int i, int n) { return i < 0 ? -i - 1 : (i >= n ? 2 * n - i - 1 : i); };
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        double v = 0;
        for (int i = -radius; i <= radius; ++i)
          v += kernel[i + radius] * level[y * width + at(x + i, width)];
        pass[y * width + x] = v;
      }
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        double v = 0;
        for (int i = -radius; i <= radius; ++i)
          v += kernel[i + radius] * pass[at(y + i, height) * width + x];
        level[y * width + x] = v;
      }
  }
  std::normal_distribution<double> gauss(0.0, noise > 0 ? noise : 1.0);
  EImage<EBW8> image(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      double v = level[y * width + x] + (noise > 0 && rng != nullptr ? gauss(*rng) : 0.0);
      image.SetPixel(static_cast<EBW8>(std::min(255.0, std::max(0.0, std::round(v)))), x, y);
    }
  return image;
}

// Makes world a scaled calibration of `scale` sensor pixels per unit with the world origin at
// sensor (cx, cy); a scale of 0 leaves the identity.
inline void ScaleWorld(EWorldShape& world, int width, int height, double scale) {
  world.SetSensorSize(width, height);
  if (scale <= 0) return;
  world.SetCenter(0.5f * width, 0.5f * height);
  world.SetScale(static_cast<float>(scale));
  world.SetRatio(1);
  world.SetCalibrationModes(E_CALIBRATION_SCALED);
}

// Render of a region given in the world's units, seen through its calibration.
inline EImage<EBW8> RenderInWorld(EWorldShape& world, const std::function<bool(double, double)>& in,
                                  double outside, double inside, double sigma, double noise = 0,
                                  std::mt19937* rng = nullptr) {
  return Render(
      world.GetSensorWidth(), world.GetSensorHeight(),
      [&](double x, double y) {
        const EPoint w = world.SensorToWorld(EPoint(static_cast<float>(x), static_cast<float>(y)));
        return in(w.GetX(), w.GetY());
      },
      outside, inside, sigma, noise, rng);
}

}  // namespace gauge_images

#endif
