// Accuracy on slanted, blurred, noisy edges: the axis sampler reading the pixel nearest the
// segment against the floor-side pixel it replaced.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

#include "transition_test_support.h"

using namespace transition_test;

namespace {

struct Bias {
  double mean = 0, meanAbs = 0;
  int count = 0;
};

// Profiles laid across straight edges of every slant and quadrant, from the dark side to the
// bright side, end points floored to pixels as the gauges do. The error is the signed distance
// of the measured point from the true edge, positive towards the bright side.
Bias MeasureBias(bool floorRule, unsigned thickness, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> slant(8.0, 82.0), shift(-2.0, 2.0), along(-12.0, 12.0),
      jitter(0.0, 1.0);
  Bias bias;
  double sum = 0, sumAbs = 0;
  ETransitionTestAccess::SetFloorAxisRule(floorRule);
  for (int image = 0; image < 24; ++image) {
    const double angle = (slant(rng) + 90.0 * (image % 4)) * M_PI / 180.0;
    const double nx = std::cos(angle), ny = std::sin(angle);
    const double c = 32.0 * nx + 32.0 * ny + shift(rng);
    EImage<EBW8> picture = SlantedEdgeImage(64, 64, angle, c, 40, 200, 1.0, 2.0, rng);
    Probe t;
    t.SetTransitionType(GGE_DARK_TO_BRIGHT);
    t.SetThickness(thickness);
    t.SetTransitionRectangularSamplingArea(0);
    for (int k = 0; k < 40; ++k) {
      // A point of the edge, then a 20-pixel profile across it.
      const double s = along(rng);
      const double px = 32.0 + (c - 32.0 * nx - 32.0 * ny) * nx - s * ny;
      const double py = 32.0 + (c - 32.0 * nx - 32.0 * ny) * ny + s * nx;
      const int x0 = static_cast<int>(std::floor(px - 10 * nx + jitter(rng)));
      const int y0 = static_cast<int>(std::floor(py - 10 * ny + jitter(rng)));
      const int x1 = static_cast<int>(std::floor(px + 10 * nx + jitter(rng)));
      const int y1 = static_cast<int>(std::floor(py + 10 * ny + jitter(rng)));
      t.Measure(&picture, x0, y0, x1, y1);
      if (!t.GetValid()) continue;
      const EPoint m = t.GetMeasuredPoint();
      // The point lies on the segment; its distance to the edge along the normal is the error.
      const double error = m.GetX() * nx + m.GetY() * ny - c;
      sum += error;
      sumAbs += std::fabs(error);
      ++bias.count;
    }
  }
  ETransitionTestAccess::SetFloorAxisRule(false);
  bias.mean = sum / bias.count;
  bias.meanAbs = sumAbs / bias.count;
  return bias;
}

}  // namespace

TEST(TransitionAccuracy, NearestPixelSamplingRemovesTheSlantBias) {
  for (unsigned thickness : {1u, 3u}) {
    const Bias nearest = MeasureBias(false, thickness, 2024);
    const Bias floorSide = MeasureBias(true, thickness, 2024);
    std::printf(
        "thickness %u, %d profiles: mean bias nearest %+.4f px (mean |error| %.4f), "
        "floor side %+.4f px (mean |error| %.4f)\n",
        thickness, nearest.count, nearest.mean, nearest.meanAbs, floorSide.mean, floorSide.meanAbs);
    EXPECT_GT(nearest.count, 900);
    EXPECT_LT(std::fabs(nearest.mean), 0.05);
    EXPECT_GT(floorSide.mean, 0.08);
    EXPECT_LT(nearest.meanAbs, floorSide.meanAbs);
  }
}

TEST(TransitionAccuracy, AxisAndDiagonalProfilesReadTheSamePixelsUnderEitherRule) {
  std::mt19937 rng(5);
  for (double angle : {0.0, 90.0, 45.0, 135.0}) {
    const double a = angle * M_PI / 180.0, nx = std::cos(a), ny = std::sin(a);
    const double c = 32.3 * nx + 32.3 * ny;
    EImage<EBW8> picture = SlantedEdgeImage(64, 64, a, c, 40, 200, 1.0, 0.0, rng);
    const int dx = static_cast<int>(std::lround(20 * nx)),
              dy = static_cast<int>(std::lround(20 * ny));
    Probe nearest, floorSide;
    nearest.Measure(&picture, 32 - dx / 2, 32 - dy / 2, 32 + dx / 2, 32 + dy / 2);
    ETransitionTestAccess::SetFloorAxisRule(true);
    floorSide.Measure(&picture, 32 - dx / 2, 32 - dy / 2, 32 + dx / 2, 32 + dy / 2);
    ETransitionTestAccess::SetFloorAxisRule(false);
    ASSERT_EQ(nearest.GetProfile().GetNumElements(), floorSide.GetProfile().GetNumElements());
    for (unsigned i = 0; i < nearest.GetProfile().GetNumElements(); ++i)
      EXPECT_EQ(nearest.GetProfile()[i], floorSide.GetProfile()[i]);
    ASSERT_EQ(nearest.GetValid(), 1);
    const EPoint m = nearest.GetMeasuredPoint();
    // Diagonal samples lie 1.41 pixels apart, which the centroid of a blurred edge feels.
    EXPECT_NEAR(m.GetX() * nx + m.GetY() * ny - c, 0.0, dx != 0 && dy != 0 ? 0.06 : 0.03) << angle;
  }
}
