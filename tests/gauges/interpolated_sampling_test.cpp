// The interpolated sampling mode: profiles of a ramp against the analytic values, step edges
// at known sub-pixel positions, bad segments, and the gauges that forward the mode.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <vector>

#include "gauge_test_support.h"
#include "test_support.h"
#include "transition_test_support.h"
#include "vimo/gauges/profilesampler.h"
#include "vimo/vimo.h"

using namespace transition_test;

namespace {

// Grey level 20 + 2x + 3y: bilinear interpolation reproduces it exactly.
double Ramp(double x, double y) { return 20 + 2 * x + 3 * y; }

// The profile the definition gives, in double precision: n = the rounded length, sample i at
// i / n of the segment, `t` points one pixel apart across it, valid when all lie within
// [0, w - 1] x [0, h - 1], the others replicated from the nearest valid one. False when a band
// point lies too close to the border to tell.
bool Reference(double x0, double y0, double x1, double y1, unsigned t, int w, int h,
               std::vector<double>& out) {
  const double dx = x1 - x0, dy = y1 - y0, length = std::sqrt(dx * dx + dy * dy);
  const long n = std::lround(length);
  long first = -1, last = -1;
  out.assign(n > 0 ? n + 1 : 0, 0.0);
  for (long i = 0; i <= n && n > 0; ++i) {
    bool inside = true;
    for (unsigned k = 0; k < t; ++k) {
      const double across = k - 0.5 * (t - 1.0);
      const double x = x0 + dx * i / n - across * dy / length;
      const double y = y0 + dy * i / n + across * dx / length;
      for (double d : {x, w - 1 - x, y, h - 1 - y})
        if (std::fabs(d) < 1e-6) return false;
      inside = inside && x > 0 && x < w - 1 && y > 0 && y < h - 1;
      out[i] += 16 * Ramp(x, y);
    }
    if (inside) first = first < 0 ? i : first, last = i;
  }
  if (first < 0 || first == last) out.clear();
  for (size_t i = 0; i < out.size(); ++i) out[i] = out[std::min(std::max(long(i), first), last)];
  return true;
}

}  // namespace

TEST(InterpolatedSampling, RampProfilesMatchTheAnalyticValues) {
  const int w = 40, h = 40;
  EImage<EBW8> image(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.SetPixel(static_cast<EBW8>(Ramp(x, y)), x, y);
  std::mt19937 rng(18);
  std::uniform_real_distribution<double> coordinate(-8.0, 48.0);
  Probe t;
  t.SetSamplingMode(GGE_SAMPLING_INTERPOLATED);
  int compared = 0, empty = 0;
  for (int trial = 0; trial < 400; ++trial) {
    double x0 = coordinate(rng), y0 = coordinate(rng), x1 = coordinate(rng), y1 = coordinate(rng);
    t.SetThickness(1 + trial % 4);
    t.SetHVConstraint(trial % 5 == 0);
    t.MeasureInterpolated(&image, x0, y0, x1, y1);
    ASSERT_EQ(EGetError(), E_OK);
    if (t.GetHVConstraint()) {  // through the middle, same length and sense, dominant axis
      const double mx = (x0 + x1) / 2, my = (y0 + y1) / 2, half = std::hypot(x1 - x0, y1 - y0) / 2;
      const bool vertical = std::fabs(x1 - x0) < std::fabs(y1 - y0);
      const double s = (vertical ? y1 > y0 : x1 > x0) ? 1 : -1;
      x0 = vertical ? mx : mx - s * half, x1 = vertical ? mx : mx + s * half;
      y0 = vertical ? my - s * half : my, y1 = vertical ? my + s * half : my;
    }
    std::vector<double> expected;
    if (!Reference(x0, y0, x1, y1, t.GetThickness(), w, h, expected)) continue;
    ++compared;
    empty += expected.empty();
    ASSERT_EQ(t.GetProfile().GetNumElements(), expected.size()) << trial;
    for (unsigned i = 0; i < expected.size(); ++i)
      ASSERT_NEAR(double(t.GetProfile()[i]), expected[i], 0.5 + 0.1 * t.GetThickness())
          << trial << ", sample " << i;
  }
  EXPECT_GT(compared, 390);
  EXPECT_GT(empty, 10);
}

// Profiles across a noise-free blurred straight edge, along its normal, starting anywhere: the
// edge is found where it is. Thresholds are low so that only the sampling is judged (a high
// threshold cuts the derivative peak and moves its centroid with the sampling phase).
TEST(InterpolatedSampling, StepEdgesFoundAtTheirSubPixelPosition) {
  std::mt19937 rng(3);
  for (double degrees : {0.0, 17.0, 45.0, 73.0, 107.0, 253.0}) {
    const double a = degrees * M_PI / 180, nx = std::cos(a), ny = std::sin(a);
    double worst = 0;
    for (int k = 0; k < 10; ++k) {
      const double c = 32 * nx + 32 * ny + 0.137 * k;
      EImage<EBW8> image = SlantedEdgeImage(64, 64, a, c, 20, 220, 1.5, 0.0, rng);
      Probe t;
      t.SetTransitionType(GGE_DARK_TO_BRIGHT);
      t.SetThreshold(0);
      for (int j = 0; j < 6; ++j) {
        const double along = 0.61 * j - 1.7, off = c - 32 * nx - 32 * ny + 0.29 * j - 0.8;
        const double px = 32 + off * nx - along * ny, py = 32 + off * ny + along * nx;
        const double x0 = px - 10 * nx, y0 = py - 10 * ny, x1 = px + 10 * nx, y1 = py + 10 * ny;
        t.MeasureInterpolated(&image, x0, y0, x1, y1);
        ASSERT_TRUE(t.GetValid());
        const EPoint p = t.GetMeasuredPoint();
        worst = std::max(worst, std::fabs(p.GetX() * nx + p.GetY() * ny - c));
      }
    }
    // The 8-bit rounding of the image alone moves the edge by up to 0.01 pixel (the pixel walk
    // at 0 degrees). Bilinear interpolation blurs each sample by a kernel that depends on its
    // phase in the pixel grid; where that phase drifts slowly along the profile (near 17 and 73
    // degrees) the edge moves by up to 0.02 pixel more.
    const double fmod90 = std::fmod(degrees, 90.0);
    const bool slowPhase = fmod90 != 0 && fmod90 != 45;
    EXPECT_LT(worst, slowPhase ? 0.02 : 0.012) << degrees;
  }
}

TEST(InterpolatedSampling, BadSegmentsNeverReadOutsideTheImage) {
  EOk();
  const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
  const double segments[][4] = {
      {-100, -100, -50, -60},   {0, 0, 4, 4},   {2, 2, 2.2, 2.2}, {-1e9 + 1, 2, 1e9 - 1, 2},
      {INT_MIN, 2, INT_MAX, 2}, {nan, 1, 3, 3}, {0, 0, -inf, nan}};  // clang-format: keep
  std::vector<EImage<EBW8>> images;
  for (int size : {1, 5}) images.push_back(ColumnImage(size, 5, [](int x) { return 40.0 * x; }));
  images.push_back(ColumnImage(5, 1, [](int x) { return 40.0 * x; }));
  Probe t;
  t.SetSamplingMode(GGE_SAMPLING_INTERPOLATED);
  int refused = 0;
  for (EImage<EBW8>& image : images)
    for (unsigned thickness : {1u, 2u, 9u})
      for (const auto& s : segments) {
        t.SetHVConstraint(thickness == 2);
        t.SetThickness(thickness);
        t.MeasureInterpolated(&image, s[0], s[1], s[2], s[3]);
        // Only a profile too long to hold may be refused.
        refused += EGetError() == E_ERROR_ALLOCATION_FAILED;
        EXPECT_TRUE(EGetError() == E_OK || EGetError() == E_ERROR_ALLOCATION_FAILED);
        EOk();
        EXPECT_LE(t.GetProfile().GetNumElements(), 1u << 22);
      }
  EXPECT_GT(refused, 0);
  // The last column and the last row are read whole, ends included.
  t.SetHVConstraint(0);
  t.SetThickness(1);
  for (int row = 0; row < 2; ++row) {
    t.MeasureInterpolated(&images[1], row ? 0 : 4, row ? 4 : 0, 4, 4);
    ASSERT_EQ(t.GetProfile().GetNumElements(), 5u);
    for (unsigned i = 0; i < 5; ++i) EXPECT_EQ(t.GetProfile()[i], 16u * 40u * (row ? i : 4));
  }
  // A band whose weight would overflow the sums is refused as for the pixel walk; a mode
  // outside the table is refused and the mode kept.
  t.SetThickness(unsigned(vimo_profile::kMaxSampleWeight / 16 + 1));
  t.MeasureInterpolated(&images[1], 0, 2, 4, 2);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EOk();
  t.SetSamplingMode(static_cast<GGE_SAMPLING_MODE>(2));
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(t.GetSamplingMode(), GGE_SAMPLING_INTERPOLATED);
  EOk();
}

// The gauges sample through their transitions' mode (the pixel walk misses this line by 0.07
// px); the modes survive a shape file; NaN geometry measures nothing.
TEST(InterpolatedSampling, GaugesForwardTheModeAndKeepItInFiles) {
  EOk();
  const double a = 28.0 * M_PI / 180, nx = -std::sin(a), ny = std::cos(a);
  EImage<EBW8> edge =
      gauge_test::EdgeImage(160, 160, std::atan2(ny, nx), 80 * nx + 80 * ny + 0.3, 60, 180, 1.0);
  ELineGauge g;
  g.SetSamplingMode(GGE_SAMPLING_INTERPOLATED);
  g.SetTransitionType(GGE_DARK_TO_BRIGHT);
  g.Set(EPoint(80.4f, 79.7f), 100, 28.0f);
  g.Measure(&edge);
  ASSERT_TRUE(g.GetFound());
  const ELine measured = g.GetMeasuredLine();
  EXPECT_NEAR(measured.GetX() * nx + measured.GetY() * ny, 80 * nx + 80 * ny + 0.3, 0.02);
  EXPECT_NEAR(measured.GetAngle(), 28.0, 0.02);

  // A tree in a file: the line gauge interpolated, the rectangle with edge y back on the pixel
  // walk, the wedge interpolated; all read back as they were.
  ELineGauge line;
  ERectangleGauge rectangle;
  EWedgeGauge wedge;
  line.SetSamplingMode(GGE_SAMPLING_INTERPOLATED);
  rectangle.SetSamplingMode(GGE_SAMPLING_INTERPOLATED);
  rectangle.GetTransitiony().SetSamplingMode(GGE_SAMPLING_PIXEL_WALK);
  wedge.SetSamplingMode(GGE_SAMPLING_INTERPOLATED);
  line.Attach(&rectangle);
  rectangle.Attach(&wedge);
  const std::string path = vimo_test::ScratchPath("interpolated_tree.bin");
  wedge.Save(path.c_str(), 1);
  ASSERT_EQ(EGetError(), E_OK);
  EWedgeGauge loaded;
  loaded.Load(path.c_str(), 1);
  ASSERT_EQ(EGetError(), E_OK);
  EXPECT_EQ(loaded.GetSamplingMode(), GGE_SAMPLING_INTERPOLATED);
  EXPECT_EQ(loaded.GetTransitionA().GetSamplingMode(), GGE_SAMPLING_INTERPOLATED);
  auto* r = dynamic_cast<ERectangleGauge*>(loaded.GetDaughter(0));
  auto* l = r ? dynamic_cast<ELineGauge*>(r->GetDaughter(0)) : nullptr;
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(r->GetTransitionx().GetSamplingMode(), GGE_SAMPLING_INTERPOLATED);
  EXPECT_EQ(r->GetTransitiony().GetSamplingMode(), GGE_SAMPLING_PIXEL_WALK);
  EXPECT_EQ(l->GetSamplingMode(), GGE_SAMPLING_INTERPOLATED);
  std::remove(path.c_str());

  // NaN placement: no profile, not found, no error but the gauge's own.
  ELineGauge lost;
  lost.SetSamplingMode(GGE_SAMPLING_INTERPOLATED);
  lost.Set(EPoint(std::nanf(""), 3), 50, 0);
  lost.Measure(&edge);
  EXPECT_FALSE(lost.GetFound());
  EOk();
}

// A rectangle edge whose band is light enough for grey-level sums but too heavy for the finer
// interpolated ones is refused before sampling: its profiles would otherwise all analyse the
// previous profile again and give one stale point each.
TEST(InterpolatedSampling, EdgeGaugesRefuseABandTooHeavyForTheFinerSums) {
  EOk();
  std::mt19937 rng(5);
  EImage<EBW8> square = gauge_test::RenderImage(
      100, 100, [](double x, double y) { return x > 30 && x < 70 && y > 30 && y < 70; }, 40, 200,
      1.0, 0.0, rng);
  ERectangleGauge g;
  g.Set(EPoint(50.3f, 49.6f), 40, 40, 0);
  g.SetSamplingMode(GGE_SAMPLING_INTERPOLATED);
  g.Measure(&square);
  ASSERT_TRUE(g.GetFound());
  g.GetTransitionx().SetThickness(unsigned(vimo_profile::kMaxSampleWeight / 16 + 1));
  g.Measure(&square);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(g.GetFound());
  EOk();
}

// A tall narrow image (a line-scan strip): rows beyond 2^21 are read where they are.
TEST(InterpolatedSampling, TallImagesReadTheirOwnRows) {
  EOk();
  const int h = (1 << 21) + 64;
  EImage<EBW8> strip(4, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < 4; ++x) strip.SetPixel(y < (1 << 21) ? 0 : 200, x, y);
  Probe t;
  t.SetSamplingMode(GGE_SAMPLING_INTERPOLATED);
  t.MeasureInterpolated(&strip, 1.25, (1 << 21) + 8.5, 1.25, (1 << 21) + 40.5);
  ASSERT_EQ(t.GetProfile().GetNumElements(), 33u);
  for (unsigned i = 0; i < 33; ++i) ASSERT_EQ(t.GetProfile()[i], 16u * 200u) << i;
}
