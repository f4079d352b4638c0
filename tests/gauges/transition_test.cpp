// ETransition on synthetic images with known edges and bars: sub-pixel centres, choice rules,
// band thickness, smoothing, mapping back to the image, and bad input.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "transition_test_support.h"

using namespace transition_test;

namespace {

// Excess-weighted centroid of the runs of v above `high` (positive) computed from scratch.
std::vector<double> PositiveCentroids(const std::vector<double>& v, double high) {
  std::vector<double> out;
  double area = 0, moment = 0;
  for (size_t i = 0; i <= v.size(); ++i) {
    if (i < v.size() && v[i] > high) {
      area += v[i] - high;
      moment += double(i) * (v[i] - high);
    } else if (area > 0) {
      out.push_back(moment / area);
      area = moment = 0;
    }
  }
  return out;
}

// Row y of the image from x0 to x1 as plain numbers, and its central differences.
std::vector<double> RowDerivative(EImage<EBW8>& image, int y, int x0, int x1) {
  std::vector<double> p, d;
  for (int x = x0; x <= x1; ++x) p.push_back(image.GetPixel(x, y));
  const size_t n = p.size();
  for (size_t i = 0; i < n; ++i) d.push_back(p[std::min(i + 1, n - 1)] - p[i == 0 ? 0 : i - 1]);
  return d;
}

// Four edges along x: +100 at 9.5, -60 at 19.5, +100 at 29.5, -100 at 39.5.
EImage<EBW8> FourEdges() {
  return ColumnImage(60, 8, [](int x) {
    return x < 10 ? 20.0 : x < 20 ? 120.0 : x < 30 ? 60.0 : x < 40 ? 160.0 : 60.0;
  });
}

}  // namespace

TEST(Transition, PeakRecordLayout) {
  // Five fields in this order, no padding: start, length, centre, amplitude, area.
  static_assert(sizeof(EPeak) == 20, "EPeak is five 32-bit fields");
  EXPECT_EQ(offsetof(EPeak, Start), 0u);
  EXPECT_EQ(offsetof(EPeak, Length), 4u);
  EXPECT_EQ(offsetof(EPeak, Center), 8u);
  EXPECT_EQ(offsetof(EPeak, Amplitude), 12u);
  EXPECT_EQ(offsetof(EPeak, Area), 16u);
}

TEST(Transition, DefaultsAndPlainAccessors) {
  Probe t;
  EXPECT_EQ(t.GetHVConstraint(), 0);
  EXPECT_EQ(t.GetThickness(), 1u);
  EXPECT_EQ(t.GetSmoothing(), 1u);
  EXPECT_EQ(t.GetTransitionType(), GGE_ANY_EDGE);
  EXPECT_EQ(t.GetTransitionChoice(), GGE_MAX_AMPLITUDE);
  EXPECT_EQ(t.GetTransitionIndex(), 0u);
  EXPECT_EQ(t.GetThreshold(), 20u);
  EXPECT_EQ(t.GetMinAmplitude(), 10u);
  EXPECT_EQ(t.GetMinArea(), 0u);
  EXPECT_EQ(t.GetKeepFirstAndLastIncompletePeak(), 0);
  EXPECT_EQ(t.GetTransitionRectangularSamplingArea(), 1);
  EXPECT_FLOAT_EQ(t.GetTolerance(), 10.0f);
  EXPECT_EQ(t.GetValid(), 0);
  EXPECT_EQ(t.GetNumPeaks(), 0u);
  EXPECT_EQ(t.SelectedIndex(), -1);

  Probe u(4.0f, 90.0f);
  EXPECT_FLOAT_EQ(u.GetTolerance(), 4.0f);
  EXPECT_FLOAT_EQ(u.ToleranceSegment().GetAngle(), 90.0f);
  EXPECT_FLOAT_EQ(u.ToleranceSegment().GetX(), 0.0f);
  // SetTolerance keeps the centre; Rescale scales centre and half-length.
  Probe v;
  v.Rescale(3.0f);
  EXPECT_FLOAT_EQ(v.GetTolerance(), 30.0f);
  ETransition w;
  w.SetTolerance(2.5f, 30.0f);
  EXPECT_FLOAT_EQ(w.GetTolerance(), 2.5f);
}

TEST(Transition, StepOfOneHundredGivesOnePeakHalfwayBetweenSamples) {
  EImage<EBW8> image = StepImage(30, 5, 14.5, 50, 150);
  Probe t;
  t.SetTransitionType(GGE_DARK_TO_BRIGHT);
  t.Measure(&image, 5, 2, 25, 2);
  ASSERT_EQ(t.GetProfile().GetNumElements(), 21u);
  const EDerivativeVector& d = t.GetDerivative();
  for (unsigned i = 0; i < 21; ++i) EXPECT_EQ(d[i], i == 9 || i == 10 ? 100 : 0) << i;
  ASSERT_EQ(t.GetNumPeaks(), 1u);
  EXPECT_EQ(t.GetValid(), 1);
  const EPeak peak = t.GetMeasuredPeak();
  EXPECT_EQ(peak.Start, 9u);
  EXPECT_EQ(peak.Length, 2u);
  EXPECT_FLOAT_EQ(peak.Center, 9.5f);
  EXPECT_EQ(peak.Amplitude, 80);  // 100 beyond the threshold of 20
  EXPECT_EQ(peak.Area, 160);
  const EPoint p = t.GetMeasuredPoint();
  EXPECT_FLOAT_EQ(p.GetX(), 14.5f);
  EXPECT_FLOAT_EQ(p.GetY(), 2.0f);
  // The opposite polarity finds nothing.
  t.SetTransitionType(GGE_BRIGHT_TO_DARK);
  t.Measure(&image, 5, 2, 25, 2);
  EXPECT_EQ(t.GetNumPeaks(), 0u);
  EXPECT_EQ(t.GetValid(), 0);
}

TEST(Transition, SubPixelCentreIsTheDerivativeExcessCentroid) {
  for (double sigma : {0.0, 0.8, 1.6}) {
    for (double edge = 20.0; edge < 21.0; edge += 0.0625) {
      EImage<EBW8> image = StepImage(48, 3, edge, 30, 230, sigma);
      for (unsigned threshold : {0u, 15u, 60u}) {
        Probe t;
        t.SetThreshold(threshold);
        t.SetMinAmplitude(0);
        t.Measure(&image, 3, 1, 40, 1);
        const std::vector<double> expect =
            PositiveCentroids(RowDerivative(image, 1, 3, 40), threshold);
        // Blurred tails rounded to 8 bits may add small separate runs: every one must match.
        ASSERT_EQ(t.GetNumPeaks(), expect.size());
        ASSERT_GE(expect.size(), 1u);
        for (unsigned k = 0; k < expect.size(); ++k)
          EXPECT_NEAR(t.GetMeasuredPeak(k).Center, expect[k], 1e-5);
        // With no threshold the centroid is the edge itself, up to the 8-bit rounding.
        if (threshold == 0 && sigma < 1.0) {
          EXPECT_NEAR(t.GetMeasuredPoint().GetX(), edge, 0.02) << sigma;
        }
      }
    }
  }
}

TEST(Transition, ChoiceRulesRanksTiesAndCentre) {
  EImage<EBW8> image = FourEdges();
  Probe t;
  // Amplitudes beyond 20: 80, -40, 80, -80; areas 160, -80, 160, -160.
  t.SetTransitionChoice(GGE_ALL_PEAKS);
  t.Measure(&image, 0, 3, 59, 3);
  ASSERT_EQ(t.GetNumPeaks(), 4u);
  EXPECT_EQ(t.SelectedIndex(), 0);
  const float centres[] = {9.5f, 19.5f, 29.5f, 39.5f};
  const int amplitudes[] = {80, -40, 80, -80}, areas[] = {160, -80, 160, -160};
  for (unsigned i = 0; i < 4; ++i) {
    const EPeak p = t.GetMeasuredPeak(i);
    EXPECT_FLOAT_EQ(p.Center, centres[i]);
    EXPECT_EQ(p.Amplitude, amplitudes[i]);
    EXPECT_EQ(p.Area, areas[i]);
    EXPECT_FLOAT_EQ(t.GetMeasuredPoint(i).GetX(), centres[i]);
  }
  struct Case {
    GGE_TRANSITION_CHOICE choice;
    unsigned rank;
    int expect;
  } cases[] = {{GGE_FROM_BEGIN, 0, 0},    {GGE_FROM_BEGIN, 2, 2}, {GGE_FROM_BEGIN, 4, -1},
               {GGE_FROM_END, 0, 3},      {GGE_FROM_END, 3, 0},   {GGE_FROM_END, 4, -1},
               {GGE_MAX_AMPLITUDE, 0, 3}, {GGE_MAX_AREA, 0, 3},   {GGE_CLOSEST_TO_CENTER, 0, 2},
               {GGE_ALL_PEAKS, 7, 0}};
  for (const Case& c : cases) {
    t.SetTransitionChoice(c.choice);
    t.SetTransitionIndex(c.rank);
    t.Measure(&image, 0, 3, 59, 3);
    EXPECT_EQ(t.SelectedIndex(), c.expect) << c.choice << " rank " << c.rank;
    EXPECT_EQ(t.GetValid(), c.expect >= 0 ? 1 : 0);
  }
  // 50 samples: the middle 24.5 is as far from 19.5 as from 29.5; the later wins.
  t.SetTransitionChoice(GGE_CLOSEST_TO_CENTER);
  t.Measure(&image, 0, 3, 49, 3);
  EXPECT_FLOAT_EQ(t.GetMeasuredPeak().Center, 29.5f);
  // Polarity filters, then the reversed segment swaps them.
  t.SetTransitionChoice(GGE_ALL_PEAKS);
  t.SetTransitionType(GGE_DARK_TO_BRIGHT);
  t.Measure(&image, 0, 3, 59, 3);
  ASSERT_EQ(t.GetNumPeaks(), 2u);
  EXPECT_FLOAT_EQ(t.GetMeasuredPoint(1).GetX(), 29.5f);
  t.Measure(&image, 59, 3, 0, 3);
  ASSERT_EQ(t.GetNumPeaks(), 2u);
  EXPECT_FLOAT_EQ(t.GetMeasuredPoint(0).GetX(), 39.5f);
  EXPECT_FLOAT_EQ(t.GetMeasuredPoint(1).GetX(), 19.5f);
  t.SetTransitionType(GGE_BRIGHT_TO_DARK);
  t.SetTransitionChoice(GGE_FROM_BEGIN);
  t.SetTransitionIndex(0);
  t.Measure(&image, 59, 3, 0, 3);
  EXPECT_FLOAT_EQ(t.GetMeasuredPoint().GetX(), 29.5f);
  // A choice outside the table selects nothing.
  t.SetTransitionChoice(static_cast<GGE_TRANSITION_CHOICE>(6));
  t.Measure(&image, 59, 3, 0, 3);
  EXPECT_EQ(t.GetNumPeaks(), 2u);
  EXPECT_EQ(t.GetValid(), 0);
}

TEST(Transition, BarsOfBothPolaritiesOnTheProfile) {
  // Background 100, a bright bar of 180 over x = 20..24, a dark bar of 30 over x = 40..42.
  EImage<EBW8> image = ColumnImage(64, 4, [](int x) {
    return x >= 20 && x <= 24 ? 180.0 : (x >= 40 && x <= 42 ? 30.0 : 100.0);
  });
  Probe t;
  t.SetTransitionType(GGE_BRIGHT_BAR);
  t.SetThreshold(140);
  t.Measure(&image, 2, 1, 60, 1);
  ASSERT_EQ(t.GetNumPeaks(), 1u);
  EPeak p = t.GetMeasuredPeak();
  EXPECT_EQ(p.Start, 18u);
  EXPECT_EQ(p.Length, 5u);
  EXPECT_FLOAT_EQ(p.Center, 20.0f);
  EXPECT_EQ(p.Amplitude, 40);
  EXPECT_EQ(p.Area, 200);
  EXPECT_FLOAT_EQ(t.GetMeasuredPoint().GetX(), 22.0f);
  t.SetTransitionType(GGE_DARK_BAR);
  t.SetThreshold(60);
  t.Measure(&image, 2, 1, 60, 1);
  ASSERT_EQ(t.GetNumPeaks(), 1u);
  p = t.GetMeasuredPeak();
  EXPECT_EQ(p.Length, 3u);
  EXPECT_EQ(p.Amplitude, -30);
  EXPECT_EQ(p.Area, -90);
  EXPECT_FLOAT_EQ(t.GetMeasuredPoint().GetX(), 41.0f);
  // Bright bar searched with a threshold above the bar: nothing; at 0, everything is one
  // incomplete run.
  t.SetTransitionType(GGE_BRIGHT_BAR);
  t.SetThreshold(200);
  t.Measure(&image, 2, 1, 60, 1);
  EXPECT_EQ(t.GetNumPeaks(), 0u);
  t.SetThreshold(0);
  t.Measure(&image, 2, 1, 60, 1);
  EXPECT_EQ(t.GetNumPeaks(), 0u);
  t.SetKeepFirstAndLastIncompletePeak(1);
  t.Measure(&image, 2, 1, 60, 1);
  ASSERT_EQ(t.GetNumPeaks(), 1u);
  EXPECT_EQ(t.GetMeasuredPeak().Length, 59u);
}

TEST(Transition, ThicknessTriplesTheProfileButNotAmplitudesOrAreas) {
  EImage<EBW8> image = FourEdges();
  for (int rectangular = 0; rectangular < 2; ++rectangular) {
    Probe one, three;
    one.SetTransitionChoice(GGE_ALL_PEAKS);
    three.SetTransitionChoice(GGE_ALL_PEAKS);
    three.SetThickness(3);
    three.SetTransitionRectangularSamplingArea(rectangular);
    one.Measure(&image, 1, 4, 58, 4);
    three.Measure(&image, 1, 4, 58, 4);
    EXPECT_EQ(three.AnalysisScale(), 3u);
    ASSERT_EQ(one.GetProfile().GetNumElements(), three.GetProfile().GetNumElements());
    for (unsigned i = 0; i < one.GetProfile().GetNumElements(); ++i)
      EXPECT_EQ(three.GetProfile()[i], 3 * one.GetProfile()[i]);
    ASSERT_EQ(one.GetNumPeaks(), 4u);
    ASSERT_EQ(three.GetNumPeaks(), 4u);
    for (unsigned i = 0; i < 4; ++i) {
      EXPECT_EQ(three.GetMeasuredPeak(i).Amplitude, one.GetMeasuredPeak(i).Amplitude);
      EXPECT_EQ(three.GetMeasuredPeak(i).Area, one.GetMeasuredPeak(i).Area);
      EXPECT_FLOAT_EQ(three.GetMeasuredPeak(i).Center, one.GetMeasuredPeak(i).Center);
    }
    int bx, by;
    three.BandHalfExtent(bx, by);
    if (rectangular) {
      EXPECT_EQ(by, 1);
    }
  }
}

TEST(Transition, SmoothingScalesTheAnalysisAndKeepsSymmetricCentres) {
  EImage<EBW8> image = FourEdges();
  for (unsigned s : {2u, 3u, 5u}) {
    Probe t;
    t.SetSmoothing(s);
    t.SetTransitionChoice(GGE_ALL_PEAKS);
    t.SetMinAmplitude(0);
    t.Measure(&image, 0, 2, 59, 2);
    EXPECT_EQ(t.AnalysisScale(), s);
    EXPECT_EQ(t.GetProfile()[0], 20u * s);
    ASSERT_EQ(t.GetNumPeaks(), 4u) << s;
    EXPECT_NEAR(t.GetMeasuredPeak(0).Center, 9.5f, 1e-5);
    EXPECT_NEAR(t.GetMeasuredPeak(3).Center, 39.5f, 1e-5);
  }
  // Smoothing 0 and 1 mean none.
  for (unsigned s : {0u, 1u}) {
    Probe t;
    t.SetSmoothing(s);
    t.Measure(&image, 0, 2, 59, 2);
    EXPECT_EQ(t.AnalysisScale(), 1u);
    EXPECT_EQ(t.GetProfile()[10], 120u);
  }
}

TEST(Transition, IncompleteFirstAndLastRunsAreDroppedUnlessKept) {
  // Dark-to-bright edges cut by the segment's ends: the segment starts inside the first one.
  EImage<EBW8> image = StepImage(40, 3, 9.5, 20, 200, 1.2);
  Probe t;
  t.SetTransitionType(GGE_DARK_TO_BRIGHT);
  // The edge seen whole.
  t.Measure(&image, 2, 1, 30, 1);
  ASSERT_EQ(t.GetNumPeaks(), 1u);
  const unsigned whole = t.GetMeasuredPeak().Length;
  EXPECT_NEAR(t.GetMeasuredPoint().GetX(), 9.5f, 0.02);
  // Starting inside it: dropped, or kept with its cut length.
  t.Measure(&image, 9, 1, 30, 1);
  EXPECT_EQ(t.GetNumPeaks(), 0u);
  t.SetKeepFirstAndLastIncompletePeak(1);
  t.Measure(&image, 9, 1, 30, 1);
  ASSERT_EQ(t.GetNumPeaks(), 1u);
  EXPECT_EQ(t.GetMeasuredPeak().Start, 0u);
  EXPECT_LT(t.GetMeasuredPeak().Length, whole);
  // Ending inside it: the same for the last run.
  t.Measure(&image, 0, 1, 10, 1);
  ASSERT_EQ(t.GetNumPeaks(), 1u);
  EXPECT_EQ(t.GetMeasuredPeak().Start + t.GetMeasuredPeak().Length, 11u);
  t.SetKeepFirstAndLastIncompletePeak(0);
  t.Measure(&image, 0, 1, 10, 1);
  EXPECT_EQ(t.GetNumPeaks(), 0u);
}

TEST(Transition, MeasuredPointOnTheSegmentInRootPixelsForAnyRegion) {
  EImage<EBW8> image = StepImage(100, 80, 50.3, 40, 200, 0.9);
  EROI<EBW8> region;
  region.Attach(&image);
  region.SetPlacement(30, 20, 40, 30);
  EROI<EBW8> inner;
  inner.Attach(&region);
  inner.SetPlacement(5, 5, 10, 10);
  // The segment runs beyond both regions; only the root image bounds the sampling.
  for (EROI<EBW8>* roi : {static_cast<EROI<EBW8>*>(&image), &region, &inner}) {
    Probe t;
    t.SetMinAmplitude(0);
    t.Measure(roi, 20, 40, 80, 55);
    ASSERT_EQ(t.GetProfile().GetNumElements(), 61u);
    ASSERT_EQ(t.GetValid(), 1);
    const EPoint p = t.GetMeasuredPoint();
    const float c = t.GetMeasuredPeak().Center;
    EXPECT_FLOAT_EQ(p.GetX(), 20.0f + c);
    EXPECT_FLOAT_EQ(p.GetY(), 40.0f + 15.0f * c / 60.0f);
    EXPECT_NEAR(p.GetX(), 50.3f, 0.02f);
  }
  // Vertical and reversed segments map the same way.
  EImage<EBW8> rows(20, 60);
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 20; ++x) rows.SetPixel(y < 33 ? 10 : 210, x, y);
  Probe t;
  t.Measure(&rows, 7, 50, 9, 10);
  ASSERT_EQ(t.GetValid(), 1);
  EXPECT_FLOAT_EQ(t.GetMeasuredPoint().GetY(), 32.5f);
  EXPECT_FLOAT_EQ(t.GetMeasuredPoint().GetX(), 7.0f + 2.0f * 17.5f / 40.0f);
}

TEST(Transition, SlantedProfilesReadTheNearestPixel) {
  // Every pixel distinct: the profile tells which pixels were read.
  EImage<EBW8> image(16, 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) image.SetPixel(static_cast<EBW8>(16 * y + x), x, y);
  Probe t;
  t.Measure(&image, 1, 2, 7, 4);  // slope 1/3: nearest rows 2 2 3 3 3 4 4
  const int rowsNearest[] = {2, 2, 3, 3, 3, 4, 4};
  ASSERT_EQ(t.GetProfile().GetNumElements(), 7u);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(int(t.GetProfile()[i]), 16 * rowsNearest[i] + 1 + i);
  t.Measure(&image, 12, 1, 9, 11);  // steep, leftwards: columns 12 12 11 11 11 10 10 ...
  ASSERT_EQ(t.GetProfile().GetNumElements(), 11u);
  for (int i = 0; i <= 10; ++i) {
    const int column = 12 - (2 * i * 3 + 10) / 20;
    EXPECT_EQ(int(t.GetProfile()[i]), 16 * (1 + i) + column) << i;
  }
  // The floor rule, kept only as a diagnostic, reads rows 2 2 2 3 3 3 4.
  ETransitionTestAccess::SetFloorAxisRule(true);
  t.Measure(&image, 1, 2, 7, 4);
  ETransitionTestAccess::SetFloorAxisRule(false);
  const int rowsFloor[] = {2, 2, 2, 3, 3, 3, 4};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(int(t.GetProfile()[i]), 16 * rowsFloor[i] + 1 + i);
}

TEST(Transition, HorizontalVerticalConstraint) {
  EImage<EBW8> image = StepImage(30, 10, 5.5, 0, 100);
  Probe t;
  t.SetHVConstraint(1);
  t.Measure(&image, 0, 0, 10, 3);
  int x0, y0, x1, y1;
  t.SamplingSegment(x0, y0, x1, y1);
  EXPECT_EQ(x0, 0);
  EXPECT_EQ(y0, 1);
  EXPECT_EQ(x1, 10);
  EXPECT_EQ(y1, 1);
  ASSERT_EQ(t.GetValid(), 1);
  EXPECT_FLOAT_EQ(t.GetMeasuredPoint().GetX(), 5.5f);
  EXPECT_FLOAT_EQ(t.GetMeasuredPoint().GetY(), 1.0f);
}

TEST(Transition, MeasuredPeakAndPointErrors) {
  EImage<EBW8> image = StepImage(30, 5, 14.5, 50, 150);
  Probe t;
  t.Measure(&image, 0, 2, 29, 2);
  ASSERT_EQ(t.GetNumPeaks(), 1u);
  EOk();
  const EPeak out = t.GetMeasuredPeak(1);
  EXPECT_EQ(EGetError(), E_ERROR_INDEX_OUT_OF_RANGE);
  EXPECT_STREQ(EGetErrorTrace(), "ETransition::GetMeasuredPeak\n");
  EXPECT_EQ(out.Start, 0u);
  EXPECT_EQ(out.Length, 0u);
  EXPECT_EQ(out.Center, 0.0f);
  EXPECT_EQ(out.Amplitude, 0);
  EXPECT_EQ(out.Area, 0);
  EOk();
  t.SetThreshold(250);
  t.Measure(&image, 0, 2, 29, 2);
  EXPECT_EQ(t.GetValid(), 0);
  EXPECT_EQ(t.GetMeasuredPeak().Amplitude, 0);
  EXPECT_EQ(EGetError(), E_ERROR_NO_TRANSITION_SELECTED);
  EXPECT_STREQ(EGetErrorTrace(), "ETransition::GetMeasuredPeak\n");
  EOk();
  // The point falls back to the tolerance segment's centre.
  t.Rescale(1.0f);
  const EPoint p = t.GetMeasuredPoint();
  EXPECT_EQ(EGetError(), E_ERROR_NO_TRANSITION_SELECTED);
  EXPECT_EQ(p.GetX(), 0.0f);
  EXPECT_EQ(p.GetY(), 0.0f);
  EOk();
  t.GetMeasuredPoint(0);
  EXPECT_EQ(EGetError(), E_ERROR_INDEX_OUT_OF_RANGE);
  EOk();
}

TEST(Transition, ThicknessZeroReanalysesThePreviousProfile) {
  EImage<EBW8> image = FourEdges();
  Probe t;
  t.SetTransitionChoice(GGE_ALL_PEAKS);
  t.Measure(&image, 0, 3, 59, 3);
  ASSERT_EQ(t.GetNumPeaks(), 4u);
  const EBW32Vector before = t.GetProfile();
  EOk();
  t.SetThickness(0);
  t.SetThreshold(60);  // drops the -60 edge
  t.Measure(&image, 5, 1, 30, 7);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_STREQ(EGetErrorTrace(), "EPointMeasure::SampleProfile\n");
  ASSERT_EQ(t.GetProfile().GetNumElements(), before.GetNumElements());
  for (unsigned i = 0; i < before.GetNumElements(); ++i) EXPECT_EQ(t.GetProfile()[i], before[i]);
  ASSERT_EQ(t.GetNumPeaks(), 3u);
  // The kept peaks still map onto the segment they were measured on.
  EXPECT_FLOAT_EQ(t.GetMeasuredPoint(2).GetX(), 39.5f);
  EXPECT_FLOAT_EQ(t.GetMeasuredPoint(2).GetY(), 3.0f);
  EOk();
  // Smoothing is not applied a second time to the kept profile.
  t.SetSmoothing(5);
  t.Measure(&image, 0, 3, 59, 3);
  EXPECT_EQ(t.GetProfile()[10], before[10]);
  EXPECT_EQ(t.AnalysisScale(), 1u);
  EOk();
}

TEST(Transition, WeightsBeyondThirtyTwoBitSumsAreRefused) {
  EImage<EBW8> bright = ColumnImage(40, 40, [](int) { return 255.0; });
  Probe t;
  t.Measure(&bright, 2, 20, 22, 20);
  ASSERT_EQ(t.GetProfile().GetNumElements(), 21u);
  const unsigned limit = 0x7FFFFFFF / 255;  // 8421504
  struct Case {
    unsigned thickness, smoothing;
  } refused[] = {{limit + 1, 1}, {5, 4000000000u}, {4096, 4096}, {UINT_MAX, UINT_MAX}};
  for (const Case& c : refused) {
    EOk();
    t.SetThickness(c.thickness);
    t.SetSmoothing(c.smoothing);
    t.Measure(&bright, 0, 0, 39, 39);
    EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
    EXPECT_STREQ(EGetErrorTrace(), "EPointMeasure::SampleProfile\n");
    EXPECT_EQ(t.GetProfile().GetNumElements(), 21u);
  }
  // At the limit everything still fits: a 255 image smoothed over 8421504 samples sums to
  // 2147483520, computed without a buffer of that size.
  EOk();
  t.SetThickness(1);
  t.SetSmoothing(limit);
  t.Measure(&bright, 2, 20, 22, 20);
  EXPECT_EQ(EGetError(), E_OK);
  ASSERT_EQ(t.GetProfile().GetNumElements(), 21u);
  EXPECT_EQ(t.GetProfile()[0], 255u * limit);
  EXPECT_EQ(t.GetProfile()[20], 255u * limit);
  EXPECT_EQ(t.AnalysisScale(), limit);
  EXPECT_EQ(t.GetDerivative()[10], 0);
  // A band at the limit is far wider than the image: empty profile, no error.
  for (int rectangular = 0; rectangular < 2; ++rectangular) {
    t.SetTransitionRectangularSamplingArea(rectangular);
    t.SetThickness(limit);
    t.SetSmoothing(1);
    t.Measure(&bright, 2, 20, 22, 20);
    EXPECT_EQ(EGetError(), E_OK);
    EXPECT_EQ(t.GetProfile().GetNumElements(), 0u);
    EXPECT_EQ(t.GetValid(), 0);
  }
  // Thresholds beyond the signed range are not wrapped into negative limits.
  t.SetThickness(1);
  t.SetThreshold(0x80000000u);
  t.Measure(&bright, 2, 20, 22, 20);
  EXPECT_EQ(t.GetNumPeaks(), 0u);
}

TEST(Transition, BadSegmentsRegionsAndTypes) {
  EImage<EBW8> image = FourEdges();
  Probe t;
  EOk();
  // Far outside, zero length, reversed, near the limits: never a read outside, never a peak.
  const int segments[][4] = {{-100, -100, -50, -60},
                             {500, 3, 900, 3},
                             {10, 3, 10, 3},
                             {INT_MIN, INT_MIN, INT_MAX, INT_MAX},
                             {INT_MAX, 3, INT_MIN, 4},
                             {INT_MIN, INT_MAX, INT_MAX, INT_MIN},
                             {INT_MAX, INT_MAX, INT_MAX, INT_MAX}};
  int refused = 0;
  for (int hv = 0; hv < 2; ++hv)
    for (unsigned thickness : {1u, 4u, 7u})
      for (int rectangular = 0; rectangular < 2; ++rectangular)
        for (const auto& s : segments) {
          t.SetHVConstraint(hv);
          t.SetThickness(thickness);
          t.SetTransitionRectangularSamplingArea(rectangular);
          t.Measure(&image, s[0], s[1], s[2], s[3]);
          if (EGetError() != E_OK) {
            // Only a profile too long to hold (2^32 samples) may be refused.
            ++refused;
            EXPECT_EQ(EGetError(), E_ERROR_ALLOCATION_FAILED);
            const std::string trace = EGetErrorTrace();
            EXPECT_EQ(trace.substr(trace.size() - 29), "EPointMeasure::SampleProfile\n");
            EOk();
          }
          EXPECT_LE(t.GetProfile().GetNumElements(), 1u << 22);
          if (s[0] != INT_MIN && s[0] != INT_MAX) {
            EXPECT_EQ(t.GetValid(), 0);
          }
        }
  EXPECT_GT(refused, 0);
  // A detached region or an empty image has no pixels: empty profile, no error.
  EROI<EBW8> detached;
  EImage<EBW8> empty;
  t.SetHVConstraint(0);
  t.SetThickness(1);
  t.Measure(&detached, 0, 3, 50, 3);
  t.Measure(&empty, 0, 3, 50, 3);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(t.GetProfile().GetNumElements(), 0u);
  EXPECT_EQ(t.GetDerivative().GetNumElements(), 0u);
  // No region at all: 32767.
  t.Measure(nullptr, 0, 3, 50, 3);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(t.GetValid(), 0);
  EOk();
  // A type outside the table reports 32767 and keeps no stale peak.
  t.Measure(&image, 0, 3, 59, 3);
  ASSERT_EQ(t.GetValid(), 1);
  t.SetTransitionType(static_cast<GGE_TRANSITION_TYPE>(9));
  t.Measure(&image, 0, 3, 59, 3);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_STREQ(EGetErrorTrace(), "ETransition::Measure\n");
  EXPECT_EQ(t.GetNumPeaks(), 0u);
  EXPECT_EQ(t.GetValid(), 0);
  EOk();
}

TEST(Transition, LongSegmentsReplicateTheImageEndsUpToTheLengthLimit) {
  EImage<EBW8> image = FourEdges();
  Probe t;
  t.SetTransitionChoice(GGE_ALL_PEAKS);
  EOk();
  // Two million samples, sixty of them on the image: found, and mapped back to the image.
  t.Measure(&image, -1000000, 3, 1000000, 3);
  EXPECT_EQ(EGetError(), E_OK);
  ASSERT_EQ(t.GetProfile().GetNumElements(), 2000001u);
  EXPECT_EQ(t.GetProfile()[0], 20u);
  EXPECT_EQ(t.GetProfile()[2000000], 60u);
  ASSERT_EQ(t.GetNumPeaks(), 4u);
  // A float centre near 10^6 resolves 1/16 pixel.
  EXPECT_NEAR(t.GetMeasuredPoint(2).GetX(), 29.5f, 0.07f);
  // Beyond 2^22 samples the profile is refused as one that cannot be sized.
  t.Measure(&image, -3000000, 3, 3000000, 3);
  EXPECT_EQ(EGetError(), E_ERROR_ALLOCATION_FAILED);
  EXPECT_STREQ(EGetErrorTrace(), "EPointMeasure::SampleProfile\n");
  EXPECT_EQ(t.GetProfile().GetNumElements(), 0u);
  EXPECT_EQ(t.GetValid(), 0);
  EOk();
}

TEST(Transition, RandomSegmentsNeverLeaveTheImage) {
  // Checked by the sanitizers and against the value range: every sample is a sum of
  // Thickness pixels.
  EImage<EBW8> image(20, 13);  // a width that leaves row padding
  for (int y = 0; y < 13; ++y)
    for (int x = 0; x < 20; ++x) image.SetPixel(255, x, y);
  std::mt19937 rng(99);
  std::uniform_int_distribution<int> coord(-40, 60);
  Probe t;
  t.SetKeepFirstAndLastIncompletePeak(1);
  for (int trial = 0; trial < 3000; ++trial) {
    t.SetThickness(1 + trial % 9);
    t.SetTransitionRectangularSamplingArea(trial & 1);
    t.SetHVConstraint((trial >> 1) & 1);
    t.Measure(&image, coord(rng), coord(rng), coord(rng), coord(rng));
    for (unsigned i = 0; i < t.GetProfile().GetNumElements(); ++i)
      ASSERT_EQ(t.GetProfile()[i], 255u * t.GetThickness());
  }
}

TEST(Transition, CopiesTakeParametersAndResults) {
  EImage<EBW8> image = FourEdges();
  Probe t;
  t.SetThreshold(30);
  t.Measure(&image, 0, 3, 59, 3);
  Probe copy(t);
  EXPECT_EQ(copy.GetThreshold(), 30u);
  EXPECT_EQ(copy.GetNumPeaks(), t.GetNumPeaks());
  EXPECT_EQ(copy.GetValid(), 1);
  EXPECT_FLOAT_EQ(copy.GetMeasuredPoint().GetX(), t.GetMeasuredPoint().GetX());
  Probe assigned;
  assigned = t;
  EXPECT_EQ(assigned.GetProfile().GetNumElements(), 60u);
}
