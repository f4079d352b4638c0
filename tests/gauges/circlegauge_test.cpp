// The circle gauge: sampling, the plain and weighted fits, degenerate samples, inner
// filtering, synthetic circles and arcs, and bad input.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "gauges/gauge_test_support.h"
#include "vimo/vimo.h"

namespace {

const double kPi = 3.14159265358979323846;

using HandCircleGauge = gauge_test::HandLaid<ECircleGauge>;

std::vector<EPoint> OnCircle(float cx, float cy, float r, int n, float from = 0,
                             float to = 2 * kPi) {
  std::vector<EPoint> points;
  for (int i = 0; i < n; ++i) {
    const float a = from + (to - from) * i / n;
    points.push_back(EPoint(cx + r * std::cos(a), cy + r * std::sin(a)));
  }
  return points;
}

TEST(CircleGauge, SamplesSpreadOverTheCircleOrTheArc) {
  EImage<EBW8> image = gauge_test::DiscImage(200, 200, 100, 100, 50, 160, 40);
  ECircleGauge gauge;
  gauge.Set(EPoint(100, 100), 100, 0.0f, 1);
  gauge.Measure(&image);
  ASSERT_EQ(gauge.GetNumSamples(), 63u);
  ASSERT_TRUE(gauge.GetFound());
  for (unsigned i = 0; i < 63; ++i) {
    const EPoint p = gauge.GetSample(i).Point - EPoint(100, 100);
    EXPECT_NEAR(std::remainder(p.Argument() - i * 2 * kPi / 63, 2 * kPi), 0, 0.03) << i;
  }
  // The half circle: 32 profiles, the first on its origin, the last on its end.
  gauge.Set(EPoint(100, 100), 100, 90.0f, 180.0f);
  gauge.Measure(&image);
  ASSERT_EQ(gauge.GetNumSamples(), 32u);
  EXPECT_NEAR(gauge.GetSample(0).Point.GetX(), 100, 0.5);
  EXPECT_NEAR(gauge.GetSample(0).Point.GetY(), 150, 0.1);
  EXPECT_NEAR(gauge.GetSample(31).Point.GetY(), 50, 0.1);
  EXPECT_NEAR(gauge.GetMeasuredCircle().GetRadius(), 50, 0.08);
  EXPECT_TRUE(gauge.GetMeasuredCircle().GetFull());
}

TEST(CircleGauge, FitsRecoverPointsOnACircle) {
  HandCircleGauge gauge;
  gauge.Lay(OnCircle(30, -20, 50, 12));
  gauge.FitCircle();
  ASSERT_TRUE(gauge.GetFound());
  ECircle c = gauge.GetMeasuredCircle();
  EXPECT_NEAR(c.GetX(), 30, 1e-4);
  EXPECT_NEAR(c.GetY(), -20, 1e-4);
  EXPECT_NEAR(c.GetRadius(), 50, 1e-4);
  EXPECT_NEAR(gauge.GetAverageDistance(), 0, 1e-4);
  EXPECT_EQ(gauge.GetMeasuredTotalTransition(), 0.0f);  // the plain fit computes no score

  // The weighted fit: equal strengths on the circle score 1; the total is their sum. The arc
  // of a quarter turn is enough for the centre.
  gauge.SetFittingMode(GGE_FITTING_WEIGHTED);
  gauge.Lay(OnCircle(30, -20, 50, 10, 0.5f, 2.07f), {}, std::vector<float>(10, -7));
  gauge.FitCircle();
  EXPECT_NEAR(gauge.GetMeasuredCircle().GetRadius(), 50, 1e-3);
  EXPECT_NEAR(gauge.GetMeasuredCircularity(), 1, 1e-5);
  EXPECT_NEAR(gauge.GetMeasuredTotalTransition(), 70, 1e-4);
  // Strengths 40 and 7 x 10 about the typical (110 / 8 + 40) / 2 = 26.875: the score falls to
  // (1 / (1 + (1.5 q(40))^6) + 7 / (1 + (1.5 q(10))^6)) / 8 with q(w) = 1 - w / 26.875.
  gauge.Lay(OnCircle(0, 0, 20, 8), {}, {40, 10, 10, 10, 10, 10, 10, 10});
  gauge.FitCircle();
  EXPECT_NEAR(gauge.GetMeasuredCircularity(), 0.62355, 1e-4);
}

TEST(CircleGauge, DegenerateOrTooFewSamplesLeaveTheResultsAsTheyWere) {
  HandCircleGauge gauge;
  gauge.Set(EPoint(7, 8), 40, 0.0f, 1);
  const std::vector<std::vector<EPoint>> degenerate = {
      {EPoint(0, 0), EPoint(1, 1), EPoint(2, 2), EPoint(3, 3), EPoint(40, 40)},  // collinear
      {EPoint(5, 5), EPoint(5, 5), EPoint(5, 5)},                                // coincident
      {EPoint(1, 1), EPoint(2, 3)}};                                             // too few
  for (const auto& points : degenerate) {
    for (GGE_FITTING_MODE mode : {GGE_FITTING_UNWEIGHTED, GGE_FITTING_WEIGHTED}) {
      gauge.SetFittingMode(mode);
      gauge.Lay(points);
      gauge.FitCircle();
      EXPECT_FALSE(gauge.GetFound());
      ECircle c = gauge.GetMeasuredCircle();
      EXPECT_EQ(c.GetCenter(), EPoint(7, 8));
      EXPECT_EQ(c.GetRadius(), 20);
    }
  }
  // Weights that are all zero weigh nothing: no weighted fit.
  gauge.Lay(OnCircle(0, 0, 10, 6), {}, std::vector<float>(6, 0));
  gauge.FitCircle();
  EXPECT_FALSE(gauge.GetFound());
  // After a good fit, a refused one keeps it.
  gauge.SetFittingMode(GGE_FITTING_UNWEIGHTED);
  gauge.Lay(OnCircle(1, 2, 10, 6));
  gauge.FitCircle();
  gauge.SetMinNumFitSamples(7, -1, -1, -1);
  gauge.FitCircle();
  EXPECT_TRUE(gauge.GetFound());
  EXPECT_NEAR(gauge.GetMeasuredCircle().GetRadius(), 10, 1e-4);
}

TEST(CircleGauge, MeasuresSyntheticCirclesAndArcs) {
  // A bright ring between radii 35 and 60 with dark spots inside it near the outer edge and
  // bright spots outside: with the strongest edge chosen, the spots capture some profiles.
  std::mt19937 rng(3);
  auto scene = [](double x, double y) -> double {
    const double dx = x - 100.4, dy = y - 99.7, r = std::sqrt(dx * dx + dy * dy);
    const double a = std::atan2(dy, dx);
    const bool spot = std::fabs(std::remainder(a, kPi / 4)) < 0.06;
    if (spot && r > 53 && r < 56) return false;          // dark spot inside the disc
    if (spot && a > 0 && r > 63 && r < 66) return true;  // bright spot outside
    return r < 60 && r > 35;
  };
  EImage<EBW8> image = gauge_test::RenderImage(220, 220, scene, 60, 180, 1.0, 0.0, rng);
  EROI<EBW8> region;
  region.Attach(&image);
  region.SetPlacement(30, 30, 150, 150);
  for (bool rising : {false, true}) {
    ECircleGauge gauge;
    gauge.Set(EPoint(101, 100), rising ? 70.0f : 120.0f, 0.0f, 1);
    gauge.SetTransitionType(rising ? GGE_DARK_TO_BRIGHT : GGE_BRIGHT_TO_DARK);
    gauge.SetThickness(3);
    gauge.SetSmoothing(2);
    gauge.Measure(&region);
    ASSERT_TRUE(gauge.GetFound());
    ECircle c = gauge.GetMeasuredCircle();
    EXPECT_NEAR(c.GetX(), 100.4, 0.15);
    EXPECT_NEAR(c.GetY(), 99.7, 0.15);
    EXPECT_NEAR(c.GetRadius(), rising ? 35 : 60, 0.15);
  }
  // The outer edge, spots included: inner filtering removes only the samples inside.
  ECircleGauge gauge;
  gauge.Set(EPoint(100, 100), 120, 0.0f, 1);
  gauge.SetTransitionType(GGE_BRIGHT_TO_DARK);
  gauge.SetInnerFilteringThreshold(2);
  EXPECT_TRUE(gauge.IsInnerFilteringEnabled());
  gauge.Measure(&image);
  ASSERT_TRUE(gauge.GetFound());
  unsigned filtered = 0, outside = 0;
  for (unsigned i = 0; i < gauge.GetNumSamples(); ++i) {
    const ESampledPoint s = gauge.GetSample(i);
    const float r = (s.Point - EPoint(100.4f, 99.7f)).Modulus();
    if (s.FilteredOut) {
      ++filtered;
      EXPECT_LT(r, 58);
    }
    if (s.Valid && r > 62) ++outside;
  }
  EXPECT_GT(filtered, 0u);
  EXPECT_GT(outside, 0u);  // the spots outside stay
  gauge.DisableInnerFiltering();
  EXPECT_FALSE(gauge.IsInnerFilteringEnabled());

  // An arc of 100 degrees of the inner edge, weighted fit.
  gauge.Set(EPoint(100, 100), 70, -30.0f, 100.0f);
  gauge.SetTransitionType(GGE_DARK_TO_BRIGHT);
  gauge.SetFittingMode(GGE_FITTING_WEIGHTED);
  gauge.Measure(&image);
  ASSERT_TRUE(gauge.GetFound());
  EXPECT_NEAR(gauge.GetMeasuredCircle().GetRadius(), 35, 0.25);
  EXPECT_GT(gauge.GetMeasuredCircularity(), 0.6);
  EXPECT_GT(gauge.GetMeasuredTotalTransition(), 0);
}

TEST(CircleGauge, BadInputIsRefusedOrLeavesTheGaugeNotFound) {
  ECircleGauge gauge;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  gauge.SetSamplingStep(-3);  // refused as the line gauge's, under its own name
  EXPECT_STREQ(EGetErrorTrace(), "ECircleGauge::SetSamplingStep\n");
  EXPECT_EQ(gauge.GetSamplingStep(), 5.0f);
  EOk();
  EImage<EBW8> image = gauge_test::DiscImage(120, 120, 60, 60, 30, 160, 40);
  EROI<EBW8> unattached;
  struct Setup {
    EPoint center;
    float diameter, step;
    EROI<EBW8>* roi;
    E_ERRORS error;
  } setups[] = {{EPoint(60, 60), 60, 1e-30f, &image, E_ERRORS(32767)},  // too many samples
                {EPoint(60, 60), nan, 5, &image, E_ERRORS(32767)},
                {EPoint(nan, 60), 60, 5, &image, E_OK},
                {EPoint(-900, 60), 60, 5, &image, E_OK},
                {EPoint(60, 60), 60, 5, &unattached, E_ERRORS(32767)}};
  for (const Setup& s : setups) {
    gauge.SetSamplingStep(s.step);
    gauge.Set(s.center, s.diameter, 0.0f, 1);
    gauge.Measure(s.roi);
    EXPECT_EQ(EGetError(), s.error);
    EXPECT_FALSE(gauge.GetFound());
    EXPECT_EQ(gauge.GetNumValidSamples(), 0u);
    EOk();
  }
  // Placed soundly again, it measures as before: the NaN geometry left its profiles intact.
  gauge.Set(EPoint(60, 60), 60, 0.0f, 1);
  gauge.Measure(&image);
  EXPECT_TRUE(gauge.GetFound());
  EXPECT_EQ(gauge.GetTolerance(), 10.0f);
  // A band whose sums would overflow is refused like one of no pixels, before any profile
  // re-reads the last one sampled.
  gauge.SetThickness(3000);
  gauge.SetSmoothing(3000);
  gauge.Measure(&image);
  EXPECT_EQ(EGetError(), 32767);
  EXPECT_STREQ(EGetErrorTrace(), "ECircleGauge::Measure\n");
  EXPECT_FALSE(gauge.GetFound());
  EXPECT_EQ(gauge.GetNumValidSamples(), 0u);
  EOk();
}

}  // namespace
