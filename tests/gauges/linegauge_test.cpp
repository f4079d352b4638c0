// The line gauge: sampling, the orthogonal fit and its orientation, clipping, known angle,
// filtering, refused fits, synthetic edges and bad input.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "gauges/gauge_test_support.h"
#include "vimo/vimo.h"

namespace {

const double kPi = 3.14159265358979323846;

using HandLineGauge = gauge_test::HandLaid<ELineGauge>;

TEST(LineGauge, SamplesLieAcrossTheNominalSegment) {
  EImage<EBW8> image = gauge_test::EdgeImage(160, 100, kPi / 2, 50.3, 40, 140);
  ELineGauge gauge;
  gauge.Set(EPoint(80, 50), 100, 0);
  EXPECT_EQ(gauge.GetNumSamples(), 20u);
  gauge.Measure(&image);
  ASSERT_TRUE(gauge.GetFound());
  ASSERT_EQ(gauge.GetSamples().GetNumElements(), 20u);
  for (unsigned i = 0; i < 20; ++i) {
    // Vertical profiles from the nominal origin to its end, 100/19 apart, on floored pixels.
    EXPECT_EQ(gauge.GetSample(i).Point.GetX(), std::floor(30.0f + i * 100.0f / 19.0f)) << i;
    EXPECT_NEAR(gauge.GetSample(i).Point.GetY(), 50.3, 0.08) << i;
  }
  EXPECT_NEAR(gauge.GetMeasuredLine().GetLength(), 100, 1e-4);  // the nominal length
}

TEST(LineGauge, FitRecoversPointsOnALineAndOrientsLikeTheNominal) {
  // Points on y = 2x: the fitted direction is atan2(2, 1), turned to meet the nominal one.
  struct Case {
    float nominal, expected;
  } cases[] = {
      {0, 63.4349f}, {-90, -116.5651f}, {60, 63.4349f}, {180, -116.5651f}, {-170, -116.5651f}};
  for (const Case& c : cases) {
    HandLineGauge gauge;
    gauge.Set(EPoint(0, 0), 100, c.nominal);
    gauge.Lay({EPoint(0, 0), EPoint(1, 2), EPoint(2, 4), EPoint(3, 6)});
    gauge.FitLine();
    ASSERT_TRUE(gauge.GetFound());
    ELine line = gauge.GetMeasuredLine();
    EXPECT_NEAR(line.GetAngle(), c.expected, 1e-3) << c.nominal;
    EXPECT_NEAR(line.GetX(), 1.5, 1e-5);
    EXPECT_NEAR(line.GetY(), 3.0, 1e-5);
    EXPECT_NEAR(gauge.GetAverageDistance(), 0, 1e-5);
  }
}

TEST(LineGauge, KnownAngleKeepsTheNominalDirection) {
  HandLineGauge gauge;
  gauge.Set(EPoint(10, 10), 40, 30);
  gauge.SetKnownAngle(1);
  const float c = std::cos(kPi / 6), s = std::sin(kPi / 6);
  std::vector<EPoint> points;
  for (int i = 0; i < 8; ++i) {  // +-0.5 about the parallel line 2 to the left of the nominal
    const float along = -15.0f + 4.0f * i, across = 2.0f + (i % 2 ? 0.5f : -0.5f);
    points.push_back(EPoint(10 + along * c - across * s, 10 + along * s + across * c));
  }
  gauge.Lay(points);
  gauge.FitLine();
  ELine line = gauge.GetMeasuredLine();
  EXPECT_NEAR(line.GetAngle(), 30, 1e-4);
  EXPECT_NEAR(line.GetX(), 10 - 1.0 * c - 2 * s, 1e-4);
  EXPECT_NEAR(line.GetY(), 10 - 1.0 * s + 2 * c, 1e-4);
  EXPECT_NEAR(gauge.GetAverageDistance(), 0.5, 1e-5);
}

TEST(LineGauge, ClippingBoundsTheFittedLine) {
  // Samples 5 to 14 of 20 on the line y = 1 + 0.05 x across a nominal horizontal segment of
  // length 100 centred on the origin, tolerance 10.
  std::vector<EPoint> points(20);
  std::vector<int> found(20, 0);
  for (int i = 5; i <= 14; ++i) {
    const float x = -50.0f + i * 100.0f / 19.0f;
    points[i] = EPoint(x, 1 + 0.05f * x), found[i] = 1;
  }
  HandLineGauge gauge;
  gauge.SetClippingMode(GGE_CLIPPING_SAMPLE_SPAN);
  gauge.Lay(points, found);
  gauge.FitLine();
  ELine span = gauge.GetMeasuredLine();
  EXPECT_NEAR(span.GetOrg().GetX(), points[5].GetX(), 1e-4);
  EXPECT_NEAR(span.GetEnd().GetY(), points[14].GetY(), 1e-4);
  EXPECT_NEAR(span.GetLength(), points[5].Distance(points[14]), 1e-4);

  // The tolerance box: the line leaves through both short sides at x = +-50 (y = -1.5, 3.5).
  gauge.SetClippingMode(GGE_CLIPPING_TOLERANCE_BOX);
  gauge.FitLine();
  ELine box = gauge.GetMeasuredLine();
  EXPECT_NEAR(box.GetOrg().GetX(), -50, 1e-3);
  EXPECT_NEAR(box.GetOrg().GetY(), -1.5, 1e-3);
  EXPECT_NEAR(box.GetEnd().GetY(), 3.5, 1e-3);
  // Steeper (y = 1 + 0.5 x): it leaves through the long sides at y = +-10, x = -22 and 18.
  for (int i = 5; i <= 14; ++i)
    points[i] = EPoint(points[i].GetX() * 0.3f, 1 + 0.15f * points[i].GetX());
  gauge.Lay(points, found);
  gauge.FitLine();
  box = gauge.GetMeasuredLine();
  EXPECT_NEAR(box.GetOrg().GetX(), -22, 1e-3);
  EXPECT_NEAR(box.GetEnd().GetX(), 18, 1e-3);
  EXPECT_NEAR(box.GetEnd().GetY(), 10, 1e-3);

  // Modes outside 1 to 3 are refused and leave the mode as it was.
  gauge.SetClippingMode(static_cast<GGE_CLIPPING_MODE>(4));
  EXPECT_EQ(EGetError(), 32767);
  EXPECT_STREQ(EGetErrorTrace(), "ELineGauge::SetClippingMode\n");
  EXPECT_EQ(gauge.GetClippingMode(), GGE_CLIPPING_TOLERANCE_BOX);
  EOk();
}

TEST(LineGauge, RefusedFitsLeaveNominalAndPreviousResults) {
  HandLineGauge gauge;
  gauge.Set(EPoint(5, 5), 50, 10);
  gauge.Lay({EPoint(1, 1), EPoint(0, 0)}, {1, 0});  // one valid sample, minimum 2
  gauge.FitLine();
  EXPECT_FALSE(gauge.GetFound());
  EXPECT_EQ(gauge.GetMeasuredLine().GetCenter(), EPoint(5, 5));
  // Samples all at one point give no direction: no fit either.
  gauge.Lay({EPoint(1, 1), EPoint(1, 1), EPoint(1, 1)});
  gauge.FitLine();
  EXPECT_FALSE(gauge.GetFound());

  // One filtering pass removes a far outlier and refits without it.
  gauge.SetNumFilteringPasses(1);
  std::vector<EPoint> points;
  for (int i = 0; i < 20; ++i) points.push_back(EPoint(float(i), i == 4 ? 8.0f : 2.0f));
  gauge.Lay(points);
  gauge.FitLine();
  const float before = gauge.GetAverageDistance();
  EXPECT_GT(before, 0.3);
  // The passes Measure runs, by hand: filter beyond threshold x average, refit. Even a
  // countless number of passes stops once a pass removes nothing.
  gauge.SetNumFilteringPasses(0xFFFFFFFFu);
  struct Pass : ELineGauge {
    static unsigned Run(ELineGauge& g) {
      unsigned fits = 0;
      static_cast<Pass&>(g).RunFilteringPasses([&] {
        ++fits;
        g.FitLine();
      });
      return fits;
    }
  };
  EXPECT_EQ(Pass::Run(gauge), 1u);
  EXPECT_EQ(gauge.GetSample(4).FilteredOut, 1);
  EXPECT_EQ(gauge.GetNumValidSamples(), 19u);
  EXPECT_NEAR(gauge.GetMeasuredLine().GetY(), 2, 1e-5);
  EXPECT_NEAR(gauge.GetAverageDistance(), 0, 1e-5);
}

TEST(LineGauge, MeasuresSyntheticEdgesAtAnyAngle) {
  // Edges of contrast 100 through (100, 100) + 0.3 along their normal, blurred (sigma 1),
  // both polarities, with thickness and smoothing, in a region nested in the image.
  struct Case {
    double angle;
    bool rising;
    unsigned thickness, smoothing;
  } cases[] = {{0, true, 1, 1},    {17, false, 1, 1},  {44.5, true, 3, 1},
               {89.6, true, 1, 3}, {135, false, 5, 2}, {-60, true, 3, 3}};
  for (const Case& c : cases) {
    const double a = c.angle * kPi / 180, nx = -std::sin(a), ny = std::cos(a);
    const double offset = 100 * nx + 100 * ny + 0.3;
    EImage<EBW8> image = gauge_test::EdgeImage(200, 200, std::atan2(ny, nx), offset,
                                               c.rising ? 50 : 150, c.rising ? 150 : 50);
    EROI<EBW8> outer, inner;
    outer.Attach(&image);
    outer.SetPlacement(20, 20, 160, 160);
    inner.Attach(&outer);
    inner.SetPlacement(10, 10, 140, 140);
    ELineGauge gauge;
    gauge.Set(EPoint(100.5f, 99.5f), 100, static_cast<float>(c.angle));
    gauge.SetTransitionType(c.rising ? GGE_DARK_TO_BRIGHT : GGE_BRIGHT_TO_DARK);
    gauge.SetThickness(c.thickness);
    gauge.SetSmoothing(c.smoothing);
    gauge.Measure(&inner);
    ASSERT_TRUE(gauge.GetFound()) << c.angle;
    EXPECT_EQ(gauge.GetNumValidSamples(), 20u);
    ELine line = gauge.GetMeasuredLine();
    EXPECT_NEAR(std::remainder(line.GetAngle() - c.angle, 360.0), 0, 0.05) << c.angle;
    EXPECT_NEAR(line.GetX() * nx + line.GetY() * ny - offset, 0, 0.1) << c.angle;
    // The wrong polarity finds nothing.
    gauge.SetTransitionType(c.rising ? GGE_BRIGHT_TO_DARK : GGE_DARK_TO_BRIGHT);
    gauge.Measure(&inner);
    EXPECT_FALSE(gauge.GetFound());
    EXPECT_EQ(gauge.GetNumValidSamples(), 0u);
  }
}

TEST(LineGauge, BadInputIsRefusedOrLeavesTheGaugeNotFound) {
  ELineGauge gauge;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (float step : {0.0f, -1.0f, nan, std::numeric_limits<float>::infinity()}) {
    gauge.SetSamplingStep(step);
    EXPECT_EQ(EGetError(), 32767);
    EXPECT_STREQ(EGetErrorTrace(), "ELineGauge::SetSamplingStep\n");
    EXPECT_EQ(gauge.GetSamplingStep(), 5.0f);
    EOk();
  }
  EImage<EBW8> image = gauge_test::EdgeImage(100, 100, 0, 50.5, 40, 140);
  gauge.Set(EPoint(50, 50), 40, 90);
  gauge.Measure(&image);
  ASSERT_TRUE(gauge.GetFound());
  // After that measurement, each of these leaves the gauge not found: a step so small that
  // the count would exceed what a measurement takes (refused before any sample is allocated),
  // NaN geometry, a gauge wholly outside the image, a void or missing region, and a band of no
  // pixels (refused rather than each profile re-reading the last one sampled).
  EROI<EBW8> unattached;
  struct Setup {
    EPoint center;
    float length, step;
    unsigned thickness;
    EROI<EBW8>* roi;
    E_ERRORS error;
  } setups[] = {{EPoint(50, 50), 40, 1e-30f, 1, &image, E_ERRORS(32767)},
                {EPoint(nan, 50), 40, 5, 1, &image, E_OK},
                {EPoint(50, 50), nan, 5, 1, &image, E_ERRORS(32767)},
                {EPoint(5000, -900), 40, 5, 1, &image, E_OK},
                {EPoint(50, 50), 40, 5, 1, &unattached, E_ERRORS(32767)},
                {EPoint(50, 50), 40, 5, 1, nullptr, E_ERRORS(32767)},
                {EPoint(50, 50), 40, 5, 0, &image, E_ERRORS(32767)}};
  for (const Setup& s : setups) {
    gauge.Set(s.center, s.length, 90);
    gauge.SetSamplingStep(s.step);
    gauge.SetThickness(s.thickness);
    gauge.Measure(s.roi);
    EXPECT_EQ(EGetError(), s.error);
    EXPECT_STREQ(EGetErrorTrace(), s.error != E_OK ? "ELineGauge::Measure\n" : "");
    EXPECT_FALSE(gauge.GetFound());
    EXPECT_EQ(gauge.GetNumValidSamples(), 0u);
    EOk();
  }
  // Placed soundly again, it measures as before: the NaN geometry left its profiles intact.
  gauge.Set(EPoint(50, 50), 40, 90);
  gauge.SetThickness(1);
  gauge.Measure(&image);
  EXPECT_TRUE(gauge.GetFound());
  EXPECT_EQ(gauge.GetTolerance(), 10.0f);
  // A band whose sums would overflow is refused like one of no pixels, even with a known angle
  // that would fit a line through the last profile sampled, re-read by every sample.
  gauge.SetKnownAngle(1);
  gauge.Set(EPoint(20, 50), 40, 90);  // no edge under it
  gauge.SetThickness(3000);
  gauge.SetSmoothing(3000);
  gauge.Measure(&image);
  EXPECT_EQ(EGetError(), 32767);
  EXPECT_STREQ(EGetErrorTrace(), "ELineGauge::Measure\n");
  EXPECT_FALSE(gauge.GetFound());
  EXPECT_EQ(gauge.GetNumValidSamples(), 0u);
  EOk();
}

}  // namespace
