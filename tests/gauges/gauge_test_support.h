// Synthetic images with edges and circles at known sub-pixel positions, shared by the gauge
// tests and the accuracy program.
#ifndef VIMO_TESTS_GAUGES_GAUGE_TEST_SUPPORT_H
#define VIMO_TESTS_GAUGES_GAUGE_TEST_SUPPORT_H

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "vimo/core/core.h"
#include "vimo/gauges/gauge.h"

namespace gauge_test {

// Blurs a width x height grid of values by a Gaussian of deviation sigma (separable, kernel
// cut at 4 sigma, edges replicated).
inline void GaussianBlur(std::vector<double>& v, int width, int height, double sigma) {
  if (sigma <= 0) return;
  const int radius = static_cast<int>(std::ceil(4 * sigma));
  std::vector<double> kernel(2 * radius + 1);
  double sum = 0;
  for (int k = -radius; k <= radius; ++k)
    sum += kernel[k + radius] = std::exp(-0.5 * k * k / (sigma * sigma));
  for (double& k : kernel) k /= sum;
  // Rows, then columns: pass p reads v through (x, y) -> index and writes the transpose.
  for (int pass = 0; pass < 2; ++pass) {
    const int w = pass ? height : width, h = pass ? width : height;
    std::vector<double> t(v.size());
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        double s = 0;
        for (int k = -radius; k <= radius; ++k)
          s += kernel[k + radius] * v[size_t(y) * w + std::min(w - 1, std::max(0, x + k))];
        t[size_t(x) * h + y] = s;
      }
    v.swap(t);
  }
}

// A scene of levels (0 low, 1 high; a bool is 0 or 1) averaged over 8 x 8 sub-pixels of each
// pixel, turned into grey levels, blurred, with Gaussian noise.
template <class Inside>
EImage<EBW8> RenderImage(int width, int height, Inside bright, double low, double high,
                         double sigma, double noise, std::mt19937& rng) {
  std::vector<double> v(size_t(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      double n = 0;
      for (int sy = 0; sy < 8; ++sy)
        for (int sx = 0; sx < 8; ++sx)
          n += bright(x - 0.4375 + 0.125 * sx, y - 0.4375 + 0.125 * sy);
      v[size_t(y) * width + x] = n / 64.0;
    }
  GaussianBlur(v, width, height, sigma);
  std::normal_distribution<double> gauss(0.0, noise > 0 ? noise : 1.0);
  EImage<EBW8> image(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      double g = low + (high - low) * v[size_t(y) * width + x] + (noise > 0 ? gauss(rng) : 0.0);
      image.SetPixel(static_cast<EBW8>(std::min(255.0, std::max(0.0, std::round(g)))), x, y);
    }
  return image;
}

// The straight edge of points p with p . (cos a, sin a) = c; bright on the positive side.
inline EImage<EBW8> EdgeImage(int width, int height, double a, double c, double low, double high,
                              double sigma = 1.0, double noise = 0.0, unsigned seed = 1) {
  std::mt19937 rng(seed);
  const double nx = std::cos(a), ny = std::sin(a);
  return RenderImage(
      width, height, [&](double x, double y) { return x * nx + y * ny > c; }, low, high, sigma,
      noise, rng);
}

// A disc of radius r centred on (cx, cy): grey level `inside` in it, `outside` around it.
inline EImage<EBW8> DiscImage(int width, int height, double cx, double cy, double r, double inside,
                              double outside, double sigma = 1.0, double noise = 0.0,
                              unsigned seed = 1) {
  std::mt19937 rng(seed);
  return RenderImage(
      width, height,
      [&](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) < r * r; },
      outside, inside, sigma, noise, rng);
}

// A fitting gauge whose samples are laid by hand: sample i found when found[i] is (all when
// found is empty), with transition value values[i] (10 when values is empty).
template <class Gauge>
struct HandLaid : Gauge {
  void Lay(const std::vector<EPoint>& points, const std::vector<int>& found = {},
           const std::vector<float>& values = {}) {
    this->BeginSamples(static_cast<unsigned>(points.size()), "test");
    for (unsigned i = 0; i < points.size(); ++i)
      this->RecordSample(i, found.empty() ? 1 : found[i], points[i],
                         values.empty() ? 10.0f : values[i]);
    this->EndSamples();
  }
};

}  // namespace gauge_test

#endif
