// The wedge gauge: sample counts and edge existence, the common-centre fit on exact points,
// the inner radius without an inner arc, pie slices and degenerate arcs, synthetic rings,
// sectors and slices measured directly and through a calibrated world, MeasureSample,
// drawing, and bad input.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "gauge_images.h"
#include "test_support.h"
#include "vimo/vimo.h"

namespace {

using gauge_images::kPi;

// Angle difference in degrees, within (-180, 180].
double AngleDiff(double a, double b) {
  double d = std::fmod(a - b, 360.0);
  if (d > 180) d -= 360;
  if (d <= -180) d += 360;
  return d;
}

// Fills the gauge's samples, laid out as Measure lays them, with points on the edges of the
// wedge `truth` at the same fractions along them; all valid.
void SamplesOn(EWedgeGauge& g, const EWedge& truth) {
  const unsigned n[4] = {g.GetNumSamplesa(), g.GetNumSamplesr(), g.GetNumSamplesA(),
                         g.GetNumSamplesR()};
  const double c[2] = {truth.GetX(), truth.GetY()};
  const double org = truth.GetOrgAngle() * kPi / 180, amp = truth.GetAmplitude() * kPi / 180;
  const double inner = truth.GetInnerRadius(), outer = truth.GetOuterRadius();
  ESampledPointVector& s = g.GetSamples();
  s.Empty();
  for (int e = 0; e < 4; ++e)
    for (unsigned i = 0; i < n[e]; ++i) {
      const double t = n[e] > 1 ? 0.05 + 0.9 * i / (n[e] - 1) : 0.5;
      double r, a;
      if (e % 2 == 0) {
        r = inner + t * (outer - inner);
        a = e == 0 ? org : org + amp;
      } else {
        r = e == 1 ? inner : outer;
        a = org + t * amp;
      }
      ESampledPoint p;
      p.Point = EPoint(float(c[0] + r * std::cos(a)), float(c[1] + r * std::sin(a)));
      p.Valid = 1;
      s.AddElement(p);
    }
}

void ExpectWedge(const EWedge& m, const EWedge& truth, double tol, double angleTol) {
  EXPECT_NEAR(m.GetX(), truth.GetX(), tol);
  EXPECT_NEAR(m.GetY(), truth.GetY(), tol);
  EXPECT_NEAR(m.GetInnerRadius(), truth.GetInnerRadius(), tol);
  EXPECT_NEAR(m.GetOuterRadius(), truth.GetOuterRadius(), tol);
  EXPECT_NEAR(AngleDiff(m.GetOrgAngle(), truth.GetOrgAngle()), 0, angleTol);
  EXPECT_NEAR(m.GetAmplitude(), truth.GetAmplitude(), angleTol);
}

TEST(WedgeGauge, CountsEdgesThatExistAndFitsExactPointsBack) {
  EWedgeGauge g;
  EXPECT_EQ(g.GetActiveEdges(), 0xF00u);
  EXPECT_EQ(g.GetNumSamplesR(), 63u);
  EXPECT_EQ(g.GetNumSamplesa() + g.GetNumSamplesr() + g.GetNumSamplesA(), 0u);
  EXPECT_EQ(g.GetNumSamples(), 63u);
  int minimum[4];
  g.GetMinNumFitSamples(minimum[0], minimum[1], minimum[2], minimum[3]);
  EXPECT_EQ(minimum[0] * 1000 + minimum[1] * 100 + minimum[2] * 10 + minimum[3], 3131);

  // The default pie slice has no inner arc: exact points on its circle fit, and it stays a
  // pie slice.
  const EWedge disc(EPoint(1.5f, -2.0f), 100.6f, 0.0f, 0.0f, 1);
  SamplesOn(g, disc);
  g.FitWedge();
  ASSERT_TRUE(g.GetFound());
  ExpectWedge(g.GetMeasuredWedge(), disc, 1e-3, 1e-3);
  EXPECT_TRUE(g.GetMeasuredWedge().GetFullBreadth());
  EXPECT_LT(g.GetAverageDistance(), 1e-3);

  // A sector of radii 20 and 40 over 90 degrees: 2, 7, 2 and 13 samples.
  EWedgeGauge s;
  s.Set(EPoint(0, 0), 40.0f, 20.0f, 10.0f, 90.0f);
  EXPECT_EQ(s.GetNumSamplesa(), 2u);
  EXPECT_EQ(s.GetNumSamplesr(), 7u);
  EXPECT_EQ(s.GetNumSamplesA(), 2u);
  EXPECT_EQ(s.GetNumSamplesR(), 13u);
  const EWedge truth(EPoint(3, -2), 42.0f, 18.0f, 12.0f, 95.0f);
  SamplesOn(s, truth);
  s.FitWedge();
  ASSERT_TRUE(s.GetFound());
  ExpectWedge(s.GetMeasuredWedge(), truth, 2e-3, 2e-3);
  EXPECT_LT(s.GetAverageDistance(), 1e-3);

  // Without edge r, the inner radius is the fitted outer one less the nominal breadth.
  s.SetActiveEdges(0xB00);
  EXPECT_EQ(s.GetNumSamplesr(), 0u);
  SamplesOn(s, truth);
  s.FitWedge();
  EXPECT_NEAR(s.GetMeasuredWedge().GetInnerRadius(), 39.0 - 20.0, 1e-3);
  EXPECT_NEAR(s.GetMeasuredWedge().GetOuterRadius(), 39.0, 1e-3);

  // No arc bit: refused with 12100, the edges kept.
  EOk();
  s.SetActiveEdges(0x300);
  EXPECT_EQ(EGetError(), E_ERROR_WEDGE_EDGES_WITHOUT_ARC);
  EXPECT_STREQ(EGetErrorTrace(), "EWedgeGauge::SetActiveEdges\n");
  EXPECT_EQ(s.GetActiveEdges(), 0xB00u);
  EOk();

  // An active edge below its minimum, or arc points on one line (no centre): not found, and
  // nothing but finite nominal geometry is handed out.
  EWedgeGauge few;
  few.Set(EPoint(0, 0), 40.0f, 20.0f, 10.0f, 90.0f);
  SamplesOn(few, truth);
  for (unsigned i = 2; i < 7; ++i) few.GetSamples()[i].Valid = 0;  // 2 of 7 on edge r
  few.FitWedge();
  EXPECT_FALSE(few.GetFound());
  EWedgeGauge line;
  line.SetActiveEdges(0x800);
  SamplesOn(line, disc);
  for (unsigned i = 0; i < 63; ++i) line.GetSamples()[i].Point = EPoint(float(i), 2.0f * i + 1);
  line.FitWedge();
  EXPECT_FALSE(line.GetFound());
  EXPECT_TRUE(std::isfinite(line.CastToFrame()->GetX()));
  EXPECT_EQ(line.GetMeasuredWedge().GetOuterRadius(), 50.0f);
}

struct Scene {
  const char* name;
  double inner, outer, org, amplitude;  // world units and degrees; amplitude 360: a ring
  double scale;                         // sensor pixels per world unit; 0: no calibration
};

TEST(WedgeGauge, MeasuresSyntheticRingsSectorsAndSlices) {
  const Scene scenes[] = {{"ring", 20, 40, 0, 360, 0},
                          {"sector", 20, 40, 30, 90, 0},
                          {"pie slice", 0, 45, 0, 360, 0},
                          {"indirect sector", 25, 45, 200, -120, 0},
                          {"sector, world", 8, 16, -50, 135, 2.5}};
  for (const Scene& sc : scenes) {
    SCOPED_TRACE(sc.name);
    EWorldShape root;
    root.SetSensorSize(200, 200);
    const double pixels = sc.scale > 0 ? sc.scale : 1;
    if (sc.scale > 0) {
      root.SetCenter(100, 100);
      root.SetScale(float(sc.scale));
      root.SetRatio(1);
      root.SetCalibrationModes(E_CALIBRATION_SCALED);
    }
    const double cx = sc.scale > 0 ? 1.3 : 101.3, cy = sc.scale > 0 ? -0.8 : 99.2;
    const bool full = sc.amplitude == 360;
    const gauge_images::Sector truthRegion{
        cx, cy, sc.inner, sc.outer, sc.org * kPi / 180, sc.amplitude * kPi / 180};
    EImage<EBW8> image = gauge_images::Render(
        200, 200,
        [&](double x, double y) {
          EPoint w = root.SensorToWorld(EPoint(float(x), float(y)));
          return truthRegion(w.GetX(), w.GetY());
        },
        40, 140, 1.0);
    EWedgeGauge g;
    g.Attach(&root);
    const EPoint nominal(float(cx + 1.5 / pixels), float(cy - 1 / pixels));
    const float breadth = float(sc.outer - sc.inner - 1 / pixels);
    if (sc.inner == 0)  // a pie slice: the outer diameter and breadth 0
      g.Set(nominal, float(2 * (sc.outer - 1 / pixels)), 0.0f, 0.0f, 1);
    else if (full)
      g.Set(nominal, float(2 * (sc.inner + 1 / pixels)), breadth, float(sc.org), 1);
    else
      g.Set(nominal, float(2 * (sc.inner + 1 / pixels)), breadth, float(sc.org + 2),
            float(sc.amplitude - 3));
    g.SetSamplingStep(float(4 / pixels));
    for (ETransition* t :
         {&g.GetTransitiona(), &g.GetTransitionr(), &g.GetTransitionA(), &g.GetTransitionR()})
      t->SetTolerance(float(7 / pixels), 0);
    EOk();
    g.Measure(&image);
    EXPECT_EQ(EGetError(), E_OK);
    ASSERT_TRUE(g.GetFound());
    const EWedge truth =
        full ? EWedge(EPoint(float(cx), float(cy)), float(2 * sc.inner), float(sc.outer - sc.inner),
                      float(sc.org), 1)
             : EWedge(EPoint(float(cx), float(cy)), float(2 * sc.inner), float(sc.outer - sc.inner),
                      float(sc.org), float(sc.amplitude));
    const EWedge pie(EPoint(float(cx), float(cy)), float(2 * sc.outer), 0.0f, 0.0f, 1);
    // The radial sides are short (20 pixels, 3 profiles, two of them on corners): their angles
    // are the least precise.
    ExpectWedge(g.GetMeasuredWedge(), sc.inner > 0 ? truth : pie, 0.2 / pixels, 0.8);
    EXPECT_LT(g.GetAverageDistance(), 0.1 / pixels);

    // One sample inspected: each edge that has it measures that profile; nothing else moves.
    const ESampledPoint before = g.GetSample(1);
    const unsigned valid = g.GetNumValidSamples();
    g.MeasureSample(&image, 1);
    EXPECT_EQ(g.GetSelectedSample(), 1u);
    EXPECT_EQ(g.GetNumValidSamples(), valid);
    EXPECT_EQ(g.GetSample(1).Point, before.Point);
    EXPECT_TRUE(g.GetTransitionR().GetValid());
    EXPECT_EQ(g.GetTransitionr().GetValid(), sc.inner > 0 ? 1 : 0);
    EXPECT_GT(g.GetTransitionR().GetProfile().GetNumElements(), 10u);

    // Every drawing mode draws (a skipped and filtered-out sample exist), except 2 and 7.
    g.AddSkipRange(0, 0);
    g.SetNumFilteringPasses(1);
    g.SetFilteringThreshold(0.5f);
    g.Measure(&image);
    for (int mode = 0; mode <= 8; ++mode) {
      EImage<EC24> overlay(200, 200);
      Quarnel::ImageDrawAdapter draw(&overlay);
      draw.SetPenColor(Quarnel::WhiteColor);
      g.Draw(&draw, INS_DRAWING_MODES(mode), 0);
      int lit = 0;
      for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x) lit += overlay.GetPixel(x, y).C0 != 0;
      EXPECT_EQ(lit > 0, mode != 2 && mode != 7) << "mode " << mode;
    }
  }
}

// The roll of tape of a photograph: bright tape between the dark hole and the dark table.
// Radial grey-level profiles put its outer edge 106.5 pixels from (472, 337) left, right, up
// and down, and the hole's edge 72 to 78 pixels out.
TEST(WedgeGauge, MeasuresTheTapeRollOfAPhotograph) {
  const std::string path = vimo_test::DataFile("gauge/boofcv_simple_objects.pgm");
  if (path.empty()) GTEST_SKIP() << "no test data";
  EImage<EBW8> image;
  image.Load(path.c_str());
  ASSERT_EQ(EGetError(), E_OK);
  EWedgeGauge ring, sector;
  ring.Set(EPoint(468, 333), 150.0f, 31.0f, 0.0f, 1);
  // A quarter of the ring by its arcs alone: its angles stay nominal.
  sector.Set(EPoint(468, 333), 150.0f, 31.0f, 200.0f, 90.0f);
  sector.SetActiveEdges(0xC00);
  for (EWedgeGauge* g : {&ring, &sector}) {
    for (ETransition* t :
         {&g->GetTransitiona(), &g->GetTransitionr(), &g->GetTransitionA(), &g->GetTransitionR()})
      t->SetTolerance(12, 0);
    g->SetNumFilteringPasses(2);
    g->Measure(&image);
    ASSERT_TRUE(g->GetFound());
    const EWedge m = g->GetMeasuredWedge();
    EXPECT_NEAR(m.GetX(), 472, 2.0);
    EXPECT_NEAR(m.GetY(), 337, 2.0);
    EXPECT_NEAR(m.GetOuterRadius(), 106.5, 1.5);
    EXPECT_NEAR(m.GetInnerRadius(), 75, 3);
    EXPECT_LT(g->GetAverageDistance(), 1.5);
  }
  EXPECT_EQ(sector.GetMeasuredWedge().GetAmplitude(), 90.0f);
  EXPECT_EQ(ring.GetNumSamples(), 229u);
}

// Bad steps are refused before they are stored; geometry that cannot be sampled, no image, an
// image that misses the gauge and a void region leave the gauge not found with a defined
// error state.
TEST(WedgeGauge, BadInputIsRefusedWithoutCrashing) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  EWedgeGauge g;
  for (float step : {0.0f, -5.0f, nan, -inf}) {
    EOk();
    g.SetSamplingStep(step);
    EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
    EXPECT_STREQ(EGetErrorTrace(), "EWedgeGauge::SetSamplingStep\n");
    EXPECT_EQ(g.GetSamplingStep(), 5.0f);
  }
  EImage<EBW8> image =
      gauge_images::Render(160, 120, gauge_images::Sector{80, 60, 10, 30, 0, 7}, 30, 160);
  EROI<EBW8> none;
  const struct {
    const char* name;
    float step, x, diameter;
    EROI<EBW8>* roi;
    E_ERRORS error;
  } cases[] = {{"absurdly small step", 1e-30f, 80, 20, &image, E_ERROR_INVALID_PARAMETER},
               {"NaN diameter", 5, 80, nan, &image, E_ERROR_INVALID_PARAMETER},
               {"huge diameter", 5, 80, 1e30f, &image, E_ERROR_INVALID_PARAMETER},
               {"NaN centre", 5, nan, 20, &image, E_OK},
               {"outside the image", 5, -4000, 20, &image, E_OK},
               {"void region", 5, 80, 20, &none, E_OK},
               {"no image", 5, 80, 20, nullptr, E_ERROR_INVALID_PARAMETER}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EWedgeGauge bad;
    bad.SetSamplingStep(c.step);
    bad.Set(EPoint(c.x, 60), c.diameter, 20.0f, 0.0f, 1);
    EOk();
    bad.Measure(c.roi);
    EXPECT_EQ(EGetError(), c.error);
    EXPECT_FALSE(bad.GetFound());
    EXPECT_EQ(bad.GetNumValidSamples(), 0u);
    EOk();
    bad.MeasureSample(c.roi, 0);
    EXPECT_FALSE(bad.GetFound());
  }
}

}  // namespace
