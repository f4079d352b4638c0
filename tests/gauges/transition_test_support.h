// Helpers for the transition tests: access to the protected measurement and record, and
// synthetic images with edges at known sub-pixel positions.
#ifndef VIMO_TESTS_GAUGES_TRANSITION_TEST_SUPPORT_H
#define VIMO_TESTS_GAUGES_TRANSITION_TEST_SUPPORT_H

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "vimo/gauges/transition.h"

// Reaches the diagnostic sampler switch of ETransition.
struct ETransitionTestAccess {
  static void SetFloorAxisRule(bool floorRule) { ETransition::s_bFloorAxisRule = floorRule; }
  static void SetReadableRecordVersion(uint8_t version) {
    ETransition::s_un8ReadableRecordVersion = version;
  }
};

namespace transition_test {

// An ETransition whose protected measurement and record are callable.
class Probe : public ETransition {
 public:
  using ETransition::ETransition;
  using ETransition::GetTransitionRectangularSamplingArea;
  using ETransition::Measure;
  using ETransition::MeasureInterpolated;
  using ETransition::Serialize;
  using ETransition::SetTransitionRectangularSamplingArea;
  int SelectedIndex() const { return m_n32SelectedIndex; }
  unsigned AnalysisScale() const { return m_un32AnalysisScale; }
  void SamplingSegment(int& x0, int& y0, int& x1, int& y1) const {
    x0 = m_n32SamplingX0, y0 = m_n32SamplingY0, x1 = m_n32SamplingX1, y1 = m_n32SamplingY1;
  }
  const ELine& ToleranceSegment() const { return m_ToleranceSegment; }
  const EPeaksVector& Peaks() const { return m_Peaks; }
};

inline double Phi(double z) { return 0.5 * std::erfc(-z / std::sqrt(2.0)); }

// Integral of Phi: d/dz G(z) = Phi(z).
inline double IntegratedPhi(double z) {
  return z * Phi(z) + std::exp(-0.5 * z * z) / std::sqrt(2.0 * M_PI);
}

// Fraction of the pixel [x - 0.5, x + 0.5] right of an edge at e, blurred by a Gaussian of
// deviation sigma (0: a sharp edge, area-weighted).
inline double Coverage(double x, double e, double sigma) {
  if (sigma <= 0) return std::min(1.0, std::max(0.0, x + 0.5 - e));
  return sigma * (IntegratedPhi((x + 0.5 - e) / sigma) - IntegratedPhi((x - 0.5 - e) / sigma));
}

// Image whose grey level depends on x only: level(x) for every row.
inline EImage<EBW8> ColumnImage(int width, int height, const std::function<double(int)>& level) {
  EImage<EBW8> image(width, height);
  for (int x = 0; x < width; ++x) {
    const double v = std::round(level(x));
    const EBW8 g = static_cast<EBW8>(std::min(255.0, std::max(0.0, v)));
    for (int y = 0; y < height; ++y) image.SetPixel(g, x, y);
  }
  return image;
}

// A vertical step from low (left) to high (right) at x = edge.
inline EImage<EBW8> StepImage(int width, int height, double edge, double low, double high,
                              double sigma = 0.0) {
  return ColumnImage(width, height,
                     [=](int x) { return low + (high - low) * Coverage(x, edge, sigma); });
}

// Straight edge of normal (cos a, sin a) at signed distance c from the origin, dark on the
// negative side, blurred by sigma, averaged over 4 x 4 sub-pixels, with Gaussian noise.
inline EImage<EBW8> SlantedEdgeImage(int width, int height, double angle, double c, double low,
                                     double high, double sigma, double noise, std::mt19937& rng) {
  EImage<EBW8> image(width, height);
  std::normal_distribution<double> gauss(0.0, noise);
  const double nx = std::cos(angle), ny = std::sin(angle);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      double sum = 0;
      for (int sy = 0; sy < 4; ++sy)
        for (int sx = 0; sx < 4; ++sx) {
          const double px = x - 0.375 + 0.25 * sx, py = y - 0.375 + 0.25 * sy;
          sum += Phi((px * nx + py * ny - c) / sigma);
        }
      const double v = low + (high - low) * sum / 16.0 + (noise > 0 ? gauss(rng) : 0.0);
      image.SetPixel(static_cast<EBW8>(std::min(255.0, std::max(0.0, std::round(v)))), x, y);
    }
  return image;
}

// Four edges along x: +100 at 9.5, -60 at 19.5, +100 at 29.5, -100 at 39.5.
inline EImage<EBW8> FourEdges() {
  return ColumnImage(60, 8, [](int x) {
    return x < 10 ? 20.0 : x < 20 ? 120.0 : x < 30 ? 60.0 : x < 40 ? 160.0 : 60.0;
  });
}

}  // namespace transition_test

#endif
