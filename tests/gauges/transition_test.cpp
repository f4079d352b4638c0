// ETransition on synthetic images with known edges and bars: sub-pixel centres, choice rules,
// band thickness, mapping back to the image, the slant bias, and bad input.
#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <cstdio>
#include <string>

#include "transition_test_support.h"

using namespace transition_test;

namespace {

// Excess-weighted centroids of the runs of the row's central differences above `high`.
std::vector<double> PositiveCentroids(EImage<EBW8>& image, int y, int x0, int x1, double high) {
  std::vector<double> p, out;
  for (int x = x0; x <= x1; ++x) p.push_back(image.GetPixel(x, y));
  const size_t n = p.size();
  double area = 0, moment = 0;
  for (size_t i = 0; i <= n; ++i) {
    const double d = i < n ? p[std::min(i + 1, n - 1)] - p[i == 0 ? 0 : i - 1] : 0;
    if (i < n && d > high) {
      area += d - high;
      moment += double(i) * (d - high);
    } else if (area > 0) {
      out.push_back(moment / area);
      area = moment = 0;
    }
  }
  return out;
}

}  // namespace

// The peak record is public: five 32-bit fields in this order, no padding.
static_assert(sizeof(EPeak) == 20 && offsetof(EPeak, Start) == 0 && offsetof(EPeak, Length) == 4 &&
                  offsetof(EPeak, Center) == 8 && offsetof(EPeak, Amplitude) == 12 &&
                  offsetof(EPeak, Area) == 16,
              "EPeak layout");

TEST(Transition, StepGivesOnePeakHalfwayBetweenSamples) {
  EImage<EBW8> image = StepImage(30, 5, 14.5, 50, 150);
  Probe t;
  t.SetTransitionType(GGE_DARK_TO_BRIGHT);
  t.Measure(&image, 5, 2, 25, 2);
  ASSERT_EQ(t.GetProfile().GetNumElements(), 21u);
  for (unsigned i = 0; i < 21; ++i)
    EXPECT_EQ(t.GetDerivative()[i], i == 9 || i == 10 ? 100 : 0) << i;
  ASSERT_EQ(t.GetNumPeaks(), 1u);
  const EPeak peak = t.GetMeasuredPeak();
  EXPECT_EQ(peak.Start, 9u);
  EXPECT_EQ(peak.Length, 2u);
  EXPECT_FLOAT_EQ(peak.Center, 9.5f);
  EXPECT_EQ(peak.Amplitude, 80);  // 100 beyond the default threshold of 20
  EXPECT_EQ(peak.Area, 160);
  EXPECT_FLOAT_EQ(t.GetMeasuredPoint().GetX(), 14.5f);
  EXPECT_FLOAT_EQ(t.GetMeasuredPoint().GetY(), 2.0f);
  t.SetTransitionType(GGE_BRIGHT_TO_DARK);  // the opposite polarity finds nothing
  t.Measure(&image, 5, 2, 25, 2);
  EXPECT_EQ(t.GetNumPeaks(), 0u);
  EXPECT_EQ(t.GetValid(), 0);
}

TEST(Transition, SubPixelCentreIsTheDerivativeExcessCentroid) {
  for (double sigma : {0.0, 0.8, 1.6})
    for (double edge = 20.0; edge < 21.0; edge += 0.125) {
      EImage<EBW8> image = StepImage(48, 3, edge, 30, 230, sigma);
      for (unsigned threshold : {0u, 15u, 60u}) {
        SCOPED_TRACE(::testing::Message()
                     << "sigma " << sigma << " edge " << edge << " T " << threshold);
        Probe t;
        t.SetThreshold(threshold);
        t.SetMinAmplitude(0);
        t.Measure(&image, 3, 1, 40, 1);
        const std::vector<double> expect = PositiveCentroids(image, 1, 3, 40, threshold);
        // Blurred tails rounded to 8 bits may add small separate runs: every one must match.
        ASSERT_EQ(t.GetNumPeaks(), expect.size());
        ASSERT_GE(expect.size(), 1u);
        for (unsigned k = 0; k < expect.size(); ++k)
          EXPECT_NEAR(t.GetMeasuredPeak(k).Center, expect[k], 1e-5);
        // With no threshold the centroid is the edge itself, up to the 8-bit rounding.
        if (threshold == 0 && sigma < 1.0) {
          EXPECT_NEAR(t.GetMeasuredPoint().GetX(), edge, 0.02);
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
    EXPECT_FLOAT_EQ(t.GetMeasuredPeak(i).Center, centres[i]);
    EXPECT_EQ(t.GetMeasuredPeak(i).Amplitude, amplitudes[i]);
    EXPECT_EQ(t.GetMeasuredPeak(i).Area, areas[i]);
    EXPECT_FLOAT_EQ(t.GetMeasuredPoint(i).GetX(), centres[i]);
  }
  // Ties on amplitude and area go to the later peak.
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
  t.Measure(&image, 59, 3, 0, 3);
  ASSERT_EQ(t.GetNumPeaks(), 2u);
  EXPECT_FLOAT_EQ(t.GetMeasuredPoint(0).GetX(), 39.5f);
  EXPECT_FLOAT_EQ(t.GetMeasuredPoint(1).GetX(), 19.5f);
  // A choice outside the table selects nothing.
  t.SetTransitionChoice(static_cast<GGE_TRANSITION_CHOICE>(6));
  t.Measure(&image, 59, 3, 0, 3);
  EXPECT_EQ(t.GetNumPeaks(), 2u);
  EXPECT_EQ(t.GetValid(), 0);
}

TEST(Transition, BarsOfBothPolaritiesAndIncompleteRuns) {
  // Background 100, a bright bar of 180 over x = 20..24, a dark bar of 30 over x = 40..42.
  EImage<EBW8> image = ColumnImage(64, 4, [](int x) {
    return x >= 20 && x <= 24 ? 180.0 : (x >= 40 && x <= 42 ? 30.0 : 100.0);
  });
  struct Case {
    GGE_TRANSITION_TYPE type;
    unsigned threshold, start, length;
    int amplitude, area;
    float x;
  } cases[] = {{GGE_BRIGHT_BAR, 140, 18, 5, 40, 200, 22}, {GGE_DARK_BAR, 60, 38, 3, -30, -90, 41}};
  Probe t;
  for (const Case& c : cases) {
    t.SetTransitionType(c.type);
    t.SetThreshold(c.threshold);
    t.Measure(&image, 2, 1, 60, 1);
    ASSERT_EQ(t.GetNumPeaks(), 1u) << c.type;
    const EPeak p = t.GetMeasuredPeak();
    EXPECT_EQ(p.Start, c.start);
    EXPECT_EQ(p.Length, c.length);
    EXPECT_EQ(p.Amplitude, c.amplitude);
    EXPECT_EQ(p.Area, c.area);
    EXPECT_FLOAT_EQ(t.GetMeasuredPoint().GetX(), c.x);
  }
  // At threshold 0 the whole profile is one incomplete bright run: dropped unless kept.
  t.SetTransitionType(GGE_BRIGHT_BAR);
  t.SetThreshold(0);
  t.Measure(&image, 2, 1, 60, 1);
  EXPECT_EQ(t.GetNumPeaks(), 0u);
  t.SetKeepFirstAndLastIncompletePeak(1);
  t.Measure(&image, 2, 1, 60, 1);
  ASSERT_EQ(t.GetNumPeaks(), 1u);
  EXPECT_EQ(t.GetMeasuredPeak().Length, 59u);

  // A blurred edge cut by the segment's start, then by its end.
  EImage<EBW8> step = StepImage(40, 3, 9.5, 20, 200, 1.2);
  Probe e;
  e.SetTransitionType(GGE_DARK_TO_BRIGHT);
  e.Measure(&step, 2, 1, 30, 1);
  ASSERT_EQ(e.GetNumPeaks(), 1u);
  const unsigned whole = e.GetMeasuredPeak().Length;
  for (int keep = 0; keep < 2; ++keep) {
    e.SetKeepFirstAndLastIncompletePeak(keep);
    e.Measure(&step, 9, 1, 30, 1);
    ASSERT_EQ(e.GetNumPeaks(), unsigned(keep));
    if (keep) {
      EXPECT_EQ(e.GetMeasuredPeak().Start, 0u);
      EXPECT_LT(e.GetMeasuredPeak().Length, whole);
    }
    e.Measure(&step, 0, 1, 10, 1);
    ASSERT_EQ(e.GetNumPeaks(), unsigned(keep));
    if (keep) {
      EXPECT_EQ(e.GetMeasuredPeak().Start + e.GetMeasuredPeak().Length, 11u);
    }
  }
}

TEST(Transition, ThicknessTriplesTheProfileButNotAmplitudesOrAreas) {
  EImage<EBW8> image = FourEdges();
  for (int rectangular = 0; rectangular < 2; ++rectangular) {
    SCOPED_TRACE(rectangular);
    Probe one, three;
    one.SetTransitionChoice(GGE_ALL_PEAKS);
    three.SetTransitionChoice(GGE_ALL_PEAKS);
    three.SetThickness(3);
    three.SetTransitionRectangularSamplingArea(rectangular);
    one.Measure(&image, 1, 4, 58, 4);
    three.Measure(&image, 1, 4, 58, 4);
    ASSERT_EQ(one.GetProfile().GetNumElements(), three.GetProfile().GetNumElements());
    for (unsigned i = 0; i < one.GetProfile().GetNumElements(); ++i)
      EXPECT_EQ(three.GetProfile()[i], 3 * one.GetProfile()[i]);
    ASSERT_EQ(three.GetNumPeaks(), 4u);
    for (unsigned i = 0; i < 4; ++i) {
      EXPECT_EQ(three.GetMeasuredPeak(i).Amplitude, one.GetMeasuredPeak(i).Amplitude);
      EXPECT_EQ(three.GetMeasuredPeak(i).Area, one.GetMeasuredPeak(i).Area);
      EXPECT_FLOAT_EQ(three.GetMeasuredPeak(i).Center, one.GetMeasuredPeak(i).Center);
    }
  }
}

TEST(Transition, MeasuredPointInRootPixelsForAnyRegion) {
  EImage<EBW8> image = StepImage(100, 80, 50.3, 40, 200, 0.9);
  EROI<EBW8> region, inner;
  region.Attach(&image);
  region.SetPlacement(30, 20, 40, 30);
  inner.Attach(&region);
  inner.SetPlacement(5, 5, 10, 10);
  // The segment runs beyond both regions; only the root image bounds the sampling.
  for (EROI<EBW8>* roi : {static_cast<EROI<EBW8>*>(&image), &region, &inner}) {
    Probe t;
    t.SetMinAmplitude(0);
    t.Measure(roi, 20, 40, 80, 55);
    ASSERT_EQ(t.GetProfile().GetNumElements(), 61u);
    ASSERT_EQ(t.GetValid(), 1);
    const float c = t.GetMeasuredPeak().Center;
    EXPECT_FLOAT_EQ(t.GetMeasuredPoint().GetX(), 20.0f + c);
    EXPECT_FLOAT_EQ(t.GetMeasuredPoint().GetY(), 40.0f + 15.0f * c / 60.0f);
    EXPECT_NEAR(t.GetMeasuredPoint().GetX(), 50.3f, 0.02f);
  }
}

namespace {

// Signed error of points measured across blurred, noisy edges of every slant and quadrant,
// positive towards the bright side; profile ends floored to pixels as the gauges do.
void MeasureBias(bool floorRule, unsigned thickness, double& mean, double& meanAbs, int& count) {
  std::mt19937 rng(2024);
  std::uniform_real_distribution<double> slant(8.0, 82.0), shift(-2.0, 2.0), along(-12.0, 12.0),
      jitter(0.0, 1.0);
  double sum = 0, sumAbs = 0;
  count = 0;
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
      const double s = along(rng), off = c - 32.0 * nx - 32.0 * ny;
      const double px = 32.0 + off * nx - s * ny, py = 32.0 + off * ny + s * nx;
      auto at = [&](double v) { return static_cast<int>(std::floor(v + jitter(rng))); };
      const int x0 = at(px - 10 * nx), y0 = at(py - 10 * ny);
      const int x1 = at(px + 10 * nx), y1 = at(py + 10 * ny);
      t.Measure(&picture, x0, y0, x1, y1);
      if (!t.GetValid()) continue;
      const double error = t.GetMeasuredPoint().GetX() * nx + t.GetMeasuredPoint().GetY() * ny - c;
      sum += error;
      sumAbs += std::fabs(error);
      ++count;
    }
  }
  ETransitionTestAccess::SetFloorAxisRule(false);
  mean = sum / count;
  meanAbs = sumAbs / count;
}

}  // namespace

TEST(Transition, NearestPixelSamplingRemovesTheSlantBias) {
  for (unsigned thickness : {1u, 3u}) {
    double nearest, nearestAbs, floorSide, floorAbs;
    int count, floorCount;
    MeasureBias(false, thickness, nearest, nearestAbs, count);
    MeasureBias(true, thickness, floorSide, floorAbs, floorCount);
    std::printf(
        "thickness %u, %d profiles: mean bias nearest %+.4f px (|error| %.4f), "
        "floor side %+.4f px (|error| %.4f)\n",
        thickness, count, nearest, nearestAbs, floorSide, floorAbs);
    EXPECT_GT(count, 900);
    EXPECT_LT(std::fabs(nearest), 0.05);
    EXPECT_GT(floorSide, 0.08);
    EXPECT_LT(nearestAbs, floorAbs);
  }
}

TEST(Transition, MeasuredPeakAndPointErrors) {
  EImage<EBW8> image = StepImage(30, 5, 14.5, 50, 150);
  Probe t;
  t.Measure(&image, 0, 2, 29, 2);
  ASSERT_EQ(t.GetNumPeaks(), 1u);
  const EPeak out = t.GetMeasuredPeak(1);
  EXPECT_EQ(EGetError(), E_ERROR_INDEX_OUT_OF_RANGE);
  EXPECT_STREQ(EGetErrorTrace(), "ETransition::GetMeasuredPeak\n");
  EXPECT_TRUE(out.Start == 0 && out.Length == 0 && out.Center == 0 && out.Amplitude == 0 &&
              out.Area == 0);
  EOk();
  t.SetThreshold(250);
  t.Measure(&image, 0, 2, 29, 2);
  EXPECT_EQ(t.GetValid(), 0);
  EXPECT_EQ(t.GetMeasuredPeak().Amplitude, 0);
  EXPECT_EQ(EGetError(), E_ERROR_NO_TRANSITION_SELECTED);
  EOk();
  const EPoint p = t.GetMeasuredPoint();  // falls back to the tolerance segment's centre
  EXPECT_EQ(EGetError(), E_ERROR_NO_TRANSITION_SELECTED);
  EXPECT_EQ(p, EPoint(0, 0));
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
  EXPECT_EQ(t.GetMeasuredPoint(2), EPoint(39.5f, 3.0f));
  EOk();
  t.SetSmoothing(5);  // not applied a second time to the kept profile
  t.Measure(&image, 0, 3, 59, 3);
  EXPECT_EQ(t.GetProfile()[10], before[10]);
  EXPECT_EQ(t.AnalysisScale(), 1u);
  EOk();
}

TEST(Transition, WeightsBeyondThirtyTwoBitSumsAreRefused) {
  EImage<EBW8> bright = ColumnImage(40, 40, [](int) { return 255.0; });
  Probe t;
  t.Measure(&bright, 2, 20, 22, 20);
  const unsigned limit = 0x7FFFFFFF / 255;  // 8421504
  const unsigned refused[][2] = {
      {limit + 1, 1}, {5, 4000000000u}, {4096, 4096}, {UINT_MAX, UINT_MAX}};
  for (const auto& c : refused) {
    EOk();
    t.SetThickness(c[0]);
    t.SetSmoothing(c[1]);
    t.Measure(&bright, 0, 0, 39, 39);
    EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER) << c[0] << " x " << c[1];
    EXPECT_STREQ(EGetErrorTrace(), "EPointMeasure::SampleProfile\n");
    EXPECT_EQ(t.GetProfile().GetNumElements(), 21u);
  }
  // At the limit everything still fits, computed without a buffer of that size.
  EOk();
  t.SetThickness(1);
  t.SetSmoothing(limit);
  t.Measure(&bright, 2, 20, 22, 20);
  EXPECT_EQ(EGetError(), E_OK);
  ASSERT_EQ(t.GetProfile().GetNumElements(), 21u);
  EXPECT_EQ(t.GetProfile()[20], 255u * limit);
  EXPECT_EQ(t.GetDerivative()[10], 0);
  // A band at the limit is far wider than the image: empty profile, no error.
  for (int rectangular = 0; rectangular < 2; ++rectangular) {
    t.SetTransitionRectangularSamplingArea(rectangular);
    t.SetThickness(limit);
    t.SetSmoothing(1);
    t.Measure(&bright, 2, 20, 22, 20);
    EXPECT_EQ(EGetError(), E_OK);
    EXPECT_EQ(t.GetProfile().GetNumElements(), 0u);
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
          if (EGetError() != E_OK) {  // only a profile too long to hold may be refused
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
  // Two million samples, sixty on the image: found and mapped back; beyond 2^22, refused.
  t.SetHVConstraint(0);
  t.SetThickness(1);
  t.SetTransitionChoice(GGE_ALL_PEAKS);
  t.Measure(&image, -1000000, 3, 1000000, 3);
  EXPECT_EQ(EGetError(), E_OK);
  ASSERT_EQ(t.GetProfile().GetNumElements(), 2000001u);
  ASSERT_EQ(t.GetNumPeaks(), 4u);
  EXPECT_NEAR(t.GetMeasuredPoint(2).GetX(), 29.5f, 0.07f);  // a float near 10^6 resolves 1/16
  t.Measure(&image, -3000000, 3, 3000000, 3);
  EXPECT_EQ(EGetError(), E_ERROR_ALLOCATION_FAILED);
  EXPECT_EQ(t.GetProfile().GetNumElements(), 0u);
  EXPECT_EQ(t.GetValid(), 0);
  EOk();
  // A detached region or an empty image has no pixels: empty profile, no error.
  EROI<EBW8> detached;
  EImage<EBW8> empty;
  t.Measure(&detached, 0, 3, 50, 3);
  t.Measure(&empty, 0, 3, 50, 3);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(t.GetProfile().GetNumElements(), 0u);
  EXPECT_EQ(t.GetDerivative().GetNumElements(), 0u);
  t.Measure(nullptr, 0, 3, 50, 3);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EOk();
  // A type outside the table reports 32767 and keeps no stale peak.
  t.Measure(&image, 0, 3, 59, 3);
  ASSERT_EQ(t.GetValid(), 1);
  t.SetTransitionType(static_cast<GGE_TRANSITION_TYPE>(9));
  t.Measure(&image, 0, 3, 59, 3);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_STREQ(EGetErrorTrace(), "ETransition::Measure\n");
  EXPECT_EQ(t.GetNumPeaks(), 0u);
  EOk();
  // A copy takes parameters and results.
  t.SetTransitionType(GGE_ANY_EDGE);
  t.Measure(&image, 0, 3, 59, 3);
  Probe copy(t);
  EXPECT_EQ(copy.GetNumPeaks(), t.GetNumPeaks());
  EXPECT_EQ(copy.GetMeasuredPoint(), t.GetMeasuredPoint());
}
