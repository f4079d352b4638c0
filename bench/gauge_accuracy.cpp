// Accuracy of the line and circle gauges on synthetic edges of known sub-pixel position:
// contrast 100 grey levels, Gaussian blur of 1 px, noise of 2 grey levels, 200 trials per set
// with fixed seeds. Each trial's image is measured with every configuration: the pixel walk and
// the interpolated sampler, thickness 1 and 3, at the default sampling step, and the pixel walk
// with the recommended parameters. Prints bias, RMS and largest error, and the Cramer-Rao
// bounds of this image model for the pixels the profiles cover, and the shift of the gradient
// maximum of a blurred circle. Not a test: a report.
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

#include "../tests/gauges/gauge_test_support.h"
#include "vimo/vimo.h"

namespace {

const double kPi = 3.14159265358979323846;
const int kTrials = 200;
const double kContrast = 100, kBlur = 1.0, kNoise = 2.0;

struct Configuration {
  const char* name;
  GGE_SAMPLING_MODE mode;
  unsigned thickness;
  float lineStep, circleStep;
  int hv;
};

const Configuration kConfigurations[] = {
    {"pixel walk, thickness 1", GGE_SAMPLING_PIXEL_WALK, 1, 5, 5, 0},
    {"interpolated, thickness 1", GGE_SAMPLING_INTERPOLATED, 1, 5, 5, 0},
    {"pixel walk, thickness 3", GGE_SAMPLING_PIXEL_WALK, 3, 5, 5, 0},
    {"interpolated, thickness 3", GGE_SAMPLING_INTERPOLATED, 3, 5, 5, 0},
    {"pixel walk, horizontal/vertical, step 1", GGE_SAMPLING_PIXEL_WALK, 1, 1, 1, 1}};
const int kCount = sizeof(kConfigurations) / sizeof(kConfigurations[0]);

struct Errors {
  double sum = 0, sum2 = 0, largest = 0;
  int count = 0, lost = 0;
  void Add(double e) {
    sum += e, sum2 += e * e, largest = std::max(largest, std::fabs(e)), ++count;
  }
  double Bias() const { return count ? sum / count : NAN; }
  double Rms() const { return count ? std::sqrt(sum2 / count) : NAN; }
};

template <class Gauge>
void Apply(Gauge& gauge, const Configuration& c, float step) {
  gauge.SetSamplingMode(c.mode);
  gauge.SetThickness(c.thickness);
  gauge.SetSamplingStep(step);
  gauge.SetHVConstraint(c.hv);
  gauge.SetTransitionType(GGE_DARK_TO_BRIGHT);
}

// Lines through the image centre at a random angle (or within 1 degree of an axis) and a
// random sub-pixel offset; the nominal gauge is placed up to 1 px and 1 degree off.
void LineSet(bool nearAxis, double noise, Errors position[], Errors angle[]) {
  std::mt19937 rng(nearAxis ? 11 : 7);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int trial = 0; trial < kTrials; ++trial) {
    const double degrees = nearAxis ? 90.0 * (trial % 2) + (2 * unit(rng) - 1) : 180.0 * unit(rng);
    const double a = degrees * kPi / 180, nx = -std::sin(a), ny = std::cos(a);
    const double c = 80 * nx + 80 * ny + unit(rng);
    EImage<EBW8> image = gauge_test::EdgeImage(160, 160, std::atan2(ny, nx), c, 80, 80 + kContrast,
                                               kBlur, noise, 1000 + trial + (nearAxis ? 5000 : 0));
    const double shift = 2 * unit(rng) - 1, turn = 2 * unit(rng) - 1;
    const double off = c - 80 * nx - 80 * ny + shift;
    for (int k = 0; k < kCount; ++k) {
      ELineGauge gauge;
      Apply(gauge, kConfigurations[k], kConfigurations[k].lineStep);
      gauge.Set(EPoint(float(80 + off * nx), float(80 + off * ny)), 100, float(degrees + turn));
      gauge.Measure(&image);
      if (!gauge.GetFound()) {
        ++position[k].lost;
        continue;
      }
      ELine line = gauge.GetMeasuredLine();
      position[k].Add(line.GetX() * nx + line.GetY() * ny - c);
      angle[k].Add(std::remainder(line.GetAngle() - degrees, 180.0));
    }
  }
}

// Discs of radius 50 at a random sub-pixel centre; the nominal circle up to 1 px off.
void CircleSet(GGE_FITTING_MODE mode, double noise, Errors radius[], Errors center[]) {
  std::mt19937 rng(23);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int trial = 0; trial < kTrials; ++trial) {
    const double cx = 80 + unit(rng), cy = 80 + unit(rng);
    EImage<EBW8> image =
        gauge_test::DiscImage(160, 160, cx, cy, 50, 80, 80 + kContrast, kBlur, noise, 3000 + trial);
    const double px = cx + 2 * unit(rng) - 1, py = cy + 2 * unit(rng) - 1;
    for (int k = 0; k < kCount; ++k) {
      ECircleGauge gauge;
      Apply(gauge, kConfigurations[k], kConfigurations[k].circleStep);
      gauge.SetFittingMode(mode);
      gauge.Set(EPoint(float(px), float(py)), 100, 0.0f, 1);
      gauge.Measure(&image);
      if (!gauge.GetFound()) {
        ++radius[k].lost;
        continue;
      }
      ECircle circle = gauge.GetMeasuredCircle();
      radius[k].Add(circle.GetRadius() - 50);
      center[k].Add(std::hypot(circle.GetX() - cx, circle.GetY() - cy));
    }
  }
}

void Row(const char* what, const Errors& a, const char* unitA, const Errors& b, const char* unitB) {
  std::printf("  %-26s bias %+.4f, RMS %.4f, max %.4f %s | RMS %.4f, max %.4f %s%s\n", what,
              a.Bias(), a.Rms(), a.largest, unitA, b.Rms(), b.largest, unitB,
              a.lost ? "  (some not found)" : "");
}

// Cramer-Rao bounds of the image model. A blurred edge of contrast C and spread s (the blur
// and the pixel's own width, s^2 = blur^2 + 1/12) under white noise n: one row of pixels
// across it locates it with variance at least n^2 / J, J = C^2 / (2 sqrt(pi) s) (the integral
// of the squared derivative of the edge). Rows at positions u_i along a line bound its offset
// by n^2 / (J N) and its angle by n^2 / (J sum (u_i - mean)^2).
void PrintBounds() {
  const double spread = std::sqrt(kBlur * kBlur + 1.0 / 12.0);
  const double rowInformation = kContrast * kContrast / (2 * std::sqrt(kPi) * spread);
  const double row = kNoise / std::sqrt(rowInformation);
  std::printf("Cramer-Rao bounds (contrast %.0f, blur %.1f px, noise %.1f): one row %.4f px\n",
              kContrast, kBlur, kNoise, row);
  for (unsigned thickness : {1u, 3u}) {
    const int n = 20;  // profiles of the default line gauge: length 100, step 5
    double sum = 0, sum2 = 0;
    for (int i = 0; i < n; ++i) {
      const double u = -50 + 100.0 * i / (n - 1);
      sum += u, sum2 += u * u;
    }
    const double spreadAlong = sum2 - sum * sum / n;
    std::printf(
        "  thickness %u: line position %.4f px, angle %.4f deg (%d profiles); circle r 50"
        " radius %.4f px (63 profiles)\n",
        thickness, row / std::sqrt(n * thickness),
        row / std::sqrt(spreadAlong * thickness) * 180 / kPi, n, row / std::sqrt(63.0 * thickness));
  }
  std::printf("  every pixel of a 100-px edge: position %.4f px, angle %.4f deg\n",
              row / std::sqrt(100.0), row / std::sqrt(100.0 * 100.0 * 100.0 / 12.0) * 180 / kPi);
  std::printf("  a blurred circle's gradient peaks inside it, by s^2 / 2r: %.4f px at r 50\n",
              spread * spread / 100);
}

}  // namespace

int main() {
  std::printf("contrast %.0f, blur %.1f px, noise %.1f grey levels, %d trials a set\n", kContrast,
              kBlur, kNoise, kTrials);
  Errors position[kCount], angle[kCount], axisPosition[kCount], axisAngle[kCount];
  Errors radius[kCount], center[kCount], wRadius[kCount], wCenter[kCount];
  // The same without noise: what remains is the sampling's and the estimator's own error.
  Errors quietAxisPosition[kCount], quietAxisAngle[kCount], quietRadius[kCount],
      quietCenter[kCount];
  LineSet(false, kNoise, position, angle);
  LineSet(true, kNoise, axisPosition, axisAngle);
  CircleSet(GGE_FITTING_UNWEIGHTED, kNoise, radius, center);
  CircleSet(GGE_FITTING_WEIGHTED, kNoise, wRadius, wCenter);
  LineSet(true, 0.0, quietAxisPosition, quietAxisAngle);
  CircleSet(GGE_FITTING_UNWEIGHTED, 0.0, quietRadius, quietCenter);
  for (int k = 0; k < kCount; ++k) {
    const Configuration& c = kConfigurations[k];
    std::printf("%s, sampling step %.0f\n", c.name, double(c.lineStep));
    Row("line, any angle", position[k], "px", angle[k], "deg");
    Row("line, within 1 deg of axis", axisPosition[k], "px", axisAngle[k], "deg");
    Row("circle r 50: radius|centre", radius[k], "px", center[k], "px");
    Row("circle r 50, weighted fit", wRadius[k], "px", wCenter[k], "px");
    Row("no noise: line near axis", quietAxisPosition[k], "px", quietAxisAngle[k], "deg");
    Row("no noise: circle r 50", quietRadius[k], "px", quietCenter[k], "px");
  }
  PrintBounds();
  return 0;
}
