// Accuracy of the line and circle gauges on synthetic edges of known sub-pixel position:
// contrast 100 grey levels, Gaussian blur of 1 px, noise of 2 grey levels, 200 trials per set
// with fixed seeds. Prints the RMS and largest errors at the default parameters and at the
// recommended ones. Not a test: a report.
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>

#include "../tests/gauges/gauge_test_support.h"
#include "vimo/vimo.h"

namespace {

const double kPi = 3.14159265358979323846;
const int kTrials = 200;

struct Parameters {
  const char* name;
  unsigned thickness, smoothing;
  float lineStep, circleStep;
  int hv;
  GGE_SAMPLING_MODE mode;
};

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
void Apply(Gauge& gauge, const Parameters& p, float step) {
  gauge.SetThickness(p.thickness);
  gauge.SetSmoothing(p.smoothing);
  gauge.SetSamplingStep(step);
  gauge.SetHVConstraint(p.hv);
  gauge.SetSamplingMode(p.mode);
}

// Lines through the image centre at a random angle (or within 1 degree of an axis) and a
// random sub-pixel offset; the nominal gauge is placed up to 1 px and 1 degree off.
void LineSet(const Parameters& p, bool nearAxis, Errors& position, Errors& angle) {
  std::mt19937 rng(nearAxis ? 11 : 7);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int trial = 0; trial < kTrials; ++trial) {
    double degrees = nearAxis ? 90.0 * (trial % 2) + (2 * unit(rng) - 1) : 180.0 * unit(rng);
    const double a = degrees * kPi / 180, nx = -std::sin(a), ny = std::cos(a);
    const double c = 80 * nx + 80 * ny + unit(rng);
    EImage<EBW8> image = gauge_test::EdgeImage(160, 160, std::atan2(ny, nx), c, 80, 180, 1.0, 2.0,
                                               1000 + trial + (nearAxis ? 5000 : 0));
    ELineGauge gauge;
    Apply(gauge, p, p.lineStep);
    gauge.SetTransitionType(GGE_DARK_TO_BRIGHT);
    const double shift = 2 * unit(rng) - 1;
    gauge.Set(EPoint(float(80 + (c - 80 * nx - 80 * ny + shift) * nx),
                     float(80 + (c - 80 * nx - 80 * ny + shift) * ny)),
              100, float(degrees + (2 * unit(rng) - 1)));
    gauge.Measure(&image);
    if (!gauge.GetFound()) {
      ++position.lost;
      continue;
    }
    ELine line = gauge.GetMeasuredLine();
    position.Add(line.GetX() * nx + line.GetY() * ny - c);
    angle.Add(std::remainder(line.GetAngle() - degrees, 180.0));
  }
}

// Discs of radius 50 at a random sub-pixel centre; the nominal circle up to 1 px off.
void CircleSet(const Parameters& p, GGE_FITTING_MODE mode, Errors& radius, Errors& center) {
  std::mt19937 rng(23);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int trial = 0; trial < kTrials; ++trial) {
    const double cx = 80 + unit(rng), cy = 80 + unit(rng);
    EImage<EBW8> image =
        gauge_test::DiscImage(160, 160, cx, cy, 50, 80, 180, 1.0, 2.0, 3000 + trial);
    ECircleGauge gauge;
    Apply(gauge, p, p.circleStep);
    gauge.SetFittingMode(mode);
    gauge.SetTransitionType(GGE_DARK_TO_BRIGHT);
    gauge.Set(EPoint(float(cx + 2 * unit(rng) - 1), float(cy + 2 * unit(rng) - 1)), 100, 0.0f, 1);
    gauge.Measure(&image);
    if (!gauge.GetFound()) {
      ++radius.lost;
      continue;
    }
    ECircle circle = gauge.GetMeasuredCircle();
    radius.Add(circle.GetRadius() - 50);
    center.Add(std::hypot(circle.GetX() - cx, circle.GetY() - cy));
  }
}

void Row(const char* what, const Errors& a, const char* unitA, const Errors& b, const char* unitB) {
  std::printf("  %-30s bias %+.4f RMS %.4f %s, max %.4f %s | RMS %.4f %s, max %.4f %s%s\n", what,
              a.Bias(), a.Rms(), unitA, a.largest, unitA, b.Rms(), unitB, b.largest, unitB,
              a.lost ? "  (some not found)" : "");
}

}  // namespace

int main() {
  // Recommended: profiles along the image axes (no stepping of a slanted digital line through
  // the edge) and one profile per unit of length.
  const Parameters sets[] = {
      {"pixel walk, thickness 1, step 5", 1, 1, 5, 5, 0, GGE_SAMPLING_PIXEL_WALK},
      {"interpolated, thickness 1, step 5", 1, 1, 5, 5, 0, GGE_SAMPLING_INTERPOLATED},
      {"pixel walk, thickness 3, step 5", 3, 1, 5, 5, 0, GGE_SAMPLING_PIXEL_WALK},
      {"interpolated, thickness 3, step 5", 3, 1, 5, 5, 0, GGE_SAMPLING_INTERPOLATED},
      {"recommended: horizontal/vertical profiles, sampling step 1", 1, 1, 1, 1, 1,
       GGE_SAMPLING_PIXEL_WALK}};
  for (const Parameters& p : sets) {
    std::printf("%s\n", p.name);
    Errors position, angle, axisPosition, axisAngle, radius, center, wRadius, wCenter;
    LineSet(p, false, position, angle);
    LineSet(p, true, axisPosition, axisAngle);
    CircleSet(p, GGE_FITTING_UNWEIGHTED, radius, center);
    CircleSet(p, GGE_FITTING_WEIGHTED, wRadius, wCenter);
    Row("line, any angle: position | angle", position, "px", angle, "deg");
    Row("line, within 1 deg of an axis", axisPosition, "px", axisAngle, "deg");
    Row("circle r 50: radius | centre", radius, "px", center, "px");
    Row("circle r 50, weighted fit", wRadius, "px", wCenter, "px");
  }
  return 0;
}
