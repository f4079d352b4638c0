// The interpolated sampling mode: profiles of a ramp against the analytic values, step edges
// at known sub-pixel positions, bad segments, and the gauges that forward the mode.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
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

struct Expected {
  std::vector<double> values;  // empty: no profile
};

// The profile the definition gives, computed in double precision: n = the rounded length,
// sample i at i / n of the segment, thickness points one pixel apart across it, each inside
// [0, w - 1] x [0, h - 1], the samples outside the valid range replicated. False when a band
// point lies too close to the image border to tell inside from outside.
bool Reference(double x0, double y0, double x1, double y1, unsigned t, int w, int h, Expected& e) {
  const double dx = x1 - x0, dy = y1 - y0, length = std::sqrt(dx * dx + dy * dy);
  const long n = std::lround(length);
  e.values.clear();
  if (n < 1) return true;
  std::vector<double> v(n + 1);
  long first = -1, last = -1;
  for (long i = 0; i <= n; ++i) {
    double sum = 0;
    bool inside = true;
    for (unsigned k = 0; k < t; ++k) {
      const double across = k - 0.5 * (t - 1.0);
      const double x = x0 + dx * i / n - across * dy / length;
      const double y = y0 + dy * i / n + across * dx / length;
      for (double d : {x, w - 1 - x, y, h - 1 - y})
        if (std::fabs(d) < 1e-6) return false;
      inside = inside && x > 0 && x < w - 1 && y > 0 && y < h - 1;
      sum += Ramp(x, y);
    }
    v[i] = 16 * sum;
    if (inside) {
      if (first < 0) first = i;
      last = i;
    }
  }
  if (first < 0 || first == last) return true;
  for (long i = 0; i <= n; ++i) v[i] = v[std::min(std::max(i, first), last)];
  e.values = v;
  return true;
}

void ExpectProfile(const Probe& t, const Expected& e, const char* what) {
  const EBW32Vector& p = t.GetProfile();
  ASSERT_EQ(p.GetNumElements(), e.values.size()) << what;
  for (unsigned i = 0; i < e.values.size(); ++i)
    ASSERT_NEAR(double(p[i]), e.values[i], 0.6) << what << ", sample " << i;
}

}  // namespace

TEST(InterpolatedSampling, RampProfilesMatchTheAnalyticValues) {
  const int w = 40, h = 40;
  EImage<EBW8> image = ColumnImage(w, h, [](int) { return 0.0; });
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.SetPixel(static_cast<EBW8>(Ramp(x, y)), x, y);
  std::mt19937 rng(18);
  std::uniform_real_distribution<double> coordinate(-8.0, 48.0);
  Probe t;
  t.SetSamplingMode(GGE_SAMPLING_INTERPOLATED);
  int compared = 0, partial = 0, empty = 0;
  for (int trial = 0; trial < 400; ++trial) {
    double x0 = coordinate(rng), y0 = coordinate(rng), x1 = coordinate(rng), y1 = coordinate(rng);
    const unsigned thickness = 1 + trial % 4;
    const bool hv = trial % 5 == 0;
    t.SetThickness(thickness);
    t.SetHVConstraint(hv);
    t.MeasureInterpolated(&image, x0, y0, x1, y1);
    ASSERT_EQ(EGetError(), E_OK);
    if (hv) {  // through the middle, same length and sense, along the dominant axis
      const double mx = (x0 + x1) / 2, my = (y0 + y1) / 2;
      const double half = std::hypot(x1 - x0, y1 - y0) / 2;
      if (std::fabs(x1 - x0) < std::fabs(y1 - y0)) {
        const double s = y1 > y0 ? 1 : -1;
        x0 = x1 = mx, y0 = my - s * half, y1 = my + s * half;
      } else {
        const double s = x1 > x0 ? 1 : -1;
        y0 = y1 = my, x0 = mx - s * half, x1 = mx + s * half;
      }
    }
    Expected e;
    if (!Reference(x0, y0, x1, y1, thickness, w, h, e)) continue;
    ExpectProfile(t, e, "ramp");
    ++compared;
    empty += e.values.empty();
    partial += !e.values.empty() && (e.values.front() == e.values[1] ||
                                     e.values.back() == e.values[e.values.size() - 2]);
  }
  EXPECT_GT(compared, 390);
  EXPECT_GT(empty, 10);
  EXPECT_GT(partial, 50);
}

// Profiles across a noise-free blurred straight edge, along its normal, starting anywhere: the
// edge is found where it is. Thresholds are low so that only the sampling is judged (a high
// threshold cuts the derivative peak and moves its centroid with the sampling phase). The
// pixel walk between rounded ends is far off on slanted profiles.
TEST(InterpolatedSampling, StepEdgesFoundAtTheirSubPixelPosition) {
  std::mt19937 rng(3);
  for (double degrees : {0.0, 17.0, 45.0, 73.0, 107.0, 253.0}) {
    const double a = degrees * M_PI / 180, nx = std::cos(a), ny = std::sin(a);
    double worst = 0, worstWalk = 0;
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
        t.SetSamplingMode(GGE_SAMPLING_INTERPOLATED);
        t.MeasureInterpolated(&image, x0, y0, x1, y1);
        ASSERT_TRUE(t.GetValid());
        EPoint p = t.GetMeasuredPoint();
        worst = std::max(worst, std::fabs(p.GetX() * nx + p.GetY() * ny - c));
        t.SetSamplingMode(GGE_SAMPLING_PIXEL_WALK);
        auto pixel = [](double v) { return static_cast<int>(std::floor(v + 0.5)); };
        t.Measure(&image, pixel(x0), pixel(y0), pixel(x1), pixel(y1));
        ASSERT_TRUE(t.GetValid());
        p = t.GetMeasuredPoint();
        worstWalk = std::max(worstWalk, std::fabs(p.GetX() * nx + p.GetY() * ny - c));
      }
    }
    // The 8-bit rounding of the image alone moves the edge by up to 0.01 pixel (the pixel walk
    // at 0 degrees). Bilinear interpolation blurs each sample by a kernel that depends on its
    // phase in the pixel grid; where that phase drifts slowly along the profile (near 17 and 73
    // degrees) the edge moves by up to 0.02 pixel more.
    const double fmod90 = std::fmod(degrees, 90.0);
    const bool slowPhase = fmod90 != 0 && fmod90 != 45;
    std::printf("%5.0f degrees: worst %.4f px interpolated, %.4f px pixel walk\n", degrees, worst,
                worstWalk);
    EXPECT_LT(worst, slowPhase ? 0.02 : 0.012) << degrees;
    if (fmod90 != 0) {
      EXPECT_GT(worstWalk, 0.035) << degrees;
    }
  }
}

TEST(InterpolatedSampling, BadSegmentsNeverReadOutsideTheImage) {
  EOk();
  const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
  const double segments[][4] = {{-100, -100, -50, -60},
                                {4, 0, 4, 4},
                                {0, 4, 4, 4},
                                {0, 0, 4, 4},
                                {4, 4, 0, 0},
                                {2, 2, 2.2, 2.2},
                                {-1e9 + 1, 2, 1e9 - 1, 2},
                                {-1e9, 2, 1e9, 2},
                                {INT_MIN, 2, INT_MAX, 2},
                                {nan, 1, 3, 3},
                                {1, inf, 3, 3},
                                {0, 0, -inf, nan},
                                {-3e6, 2, 3e6, 2.5}};
  std::vector<EImage<EBW8>> images;
  for (int size : {1, 5}) {
    images.push_back(ColumnImage(size, 5, [](int x) { return 40.0 * x; }));
    images.push_back(ColumnImage(5, size, [](int x) { return 40.0 * x; }));
  }
  Probe t;
  t.SetSamplingMode(GGE_SAMPLING_INTERPOLATED);
  t.SetTransitionChoice(GGE_ALL_PEAKS);
  int refused = 0;
  for (EImage<EBW8>& image : images)
    for (int hv = 0; hv < 2; ++hv)
      for (unsigned thickness : {1u, 2u, 5u, 9u})
        for (const auto& s : segments) {
          t.SetHVConstraint(hv);
          t.SetThickness(thickness);
          t.MeasureInterpolated(&image, s[0], s[1], s[2], s[3]);
          if (EGetError() != E_OK) {  // only a profile too long to hold may be refused
            ++refused;
            EXPECT_EQ(EGetError(), E_ERROR_ALLOCATION_FAILED);
            EOk();
          }
          EXPECT_LE(t.GetProfile().GetNumElements(), 1u << 22);
        }
  EXPECT_GT(refused, 0);
  // The last column and the last row are read whole, ends included.
  EImage<EBW8>& square = images[2];
  t.SetHVConstraint(0);
  t.SetThickness(1);
  t.MeasureInterpolated(&square, 4, 0, 4, 4);
  ASSERT_EQ(t.GetProfile().GetNumElements(), 5u);
  for (unsigned i = 0; i < 5; ++i) EXPECT_EQ(t.GetProfile()[i], 16u * 160u);
  t.MeasureInterpolated(&square, 0, 4, 4, 4);
  ASSERT_EQ(t.GetProfile().GetNumElements(), 5u);
  for (unsigned i = 0; i < 5; ++i) EXPECT_EQ(t.GetProfile()[i], 16u * 40u * i);
  // A band whose weight would overflow the sums is refused as for the pixel walk.
  t.SetThickness(unsigned(vimo_profile::kMaxSampleWeight / 16 + 1));
  t.MeasureInterpolated(&square, 0, 2, 4, 2);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EOk();
  // A mode outside the table is refused and the mode kept.
  t.SetSamplingMode(static_cast<GGE_SAMPLING_MODE>(2));
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(t.GetSamplingMode(), GGE_SAMPLING_INTERPOLATED);
  EOk();
}

// Every gauge samples through its transitions' mode: on a noise-free slanted image the
// interpolated results are closer to the truth than the pixel walk's, the modes survive a
// shape file, and a gauge set to NaN geometry measures nothing.
TEST(InterpolatedSampling, GaugesForwardTheModeAndKeepItInFiles) {
  EOk();
  const double a = 28.0 * M_PI / 180, nx = -std::sin(a), ny = std::cos(a);
  EImage<EBW8> edge =
      gauge_test::EdgeImage(160, 160, std::atan2(ny, nx), 80 * nx + 80 * ny + 0.3, 60, 180, 1.0);
  EImage<EBW8> disc = gauge_test::DiscImage(160, 160, 80.3, 79.6, 40, 60, 180, 1.0);
  auto lineError = [&](GGE_SAMPLING_MODE mode) {
    ELineGauge g;
    g.SetSamplingMode(mode);
    g.SetTransitionType(GGE_DARK_TO_BRIGHT);
    g.Set(EPoint(80.4f, 79.7f), 100, 28.0f);
    g.Measure(&edge);
    EXPECT_TRUE(g.GetFound());
    const ELine l = g.GetMeasuredLine();
    return std::fabs(l.GetX() * nx + l.GetY() * ny - (80 * nx + 80 * ny + 0.3));
  };
  auto circleError = [&](GGE_SAMPLING_MODE mode) {
    ECircleGauge g;
    g.SetSamplingMode(mode);
    g.Set(EPoint(80, 80), 80, 0.0f, 1);
    g.Measure(&disc);
    EXPECT_TRUE(g.GetFound());
    const ECircle c = g.GetMeasuredCircle();
    return std::hypot(c.GetX() - 80.3, c.GetY() - 79.6) + std::fabs(c.GetRadius() - 40);
  };
  EXPECT_LT(lineError(GGE_SAMPLING_INTERPOLATED), 0.02);
  EXPECT_LT(lineError(GGE_SAMPLING_INTERPOLATED), lineError(GGE_SAMPLING_PIXEL_WALK));
  EXPECT_LT(circleError(GGE_SAMPLING_INTERPOLATED), 0.04);
  EXPECT_LT(circleError(GGE_SAMPLING_INTERPOLATED), circleError(GGE_SAMPLING_PIXEL_WALK));

  // A tree in a file: the line gauge interpolated, the rectangle with edge y back on the pixel
  // walk, the wedge interpolated; all read back as they were.
  ELineGauge line;
  line.SetSamplingMode(GGE_SAMPLING_INTERPOLATED);
  ERectangleGauge rectangle;
  rectangle.SetSamplingMode(GGE_SAMPLING_INTERPOLATED);
  rectangle.GetTransitiony().SetSamplingMode(GGE_SAMPLING_PIXEL_WALK);
  EWedgeGauge wedge;
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
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->GetTransitionx().GetSamplingMode(), GGE_SAMPLING_INTERPOLATED);
  EXPECT_EQ(r->GetTransitiony().GetSamplingMode(), GGE_SAMPLING_PIXEL_WALK);
  auto* l = dynamic_cast<ELineGauge*>(r->GetDaughter(0));
  ASSERT_NE(l, nullptr);
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
