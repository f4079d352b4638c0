// The wedge gauge: sample counts and edge existence, the common-centre fit on exact points,
// the inner radius without an inner arc, pie slices and degenerate arcs, synthetic rings,
// sectors and slices measured directly and through a calibrated world, and MeasureSample.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "../../bench/gauge_images.h"
#include "vimo/vimo.h"

namespace {

using gauge_images::kPi;

// Fills the gauge's samples, laid out as Measure lays them, with points on the edges of the
// wedge `truth` at the same fractions along them; all valid.
void SamplesOn(EWedgeGauge& g, const EWedge& truth) {
  const unsigned n[4] = {g.GetNumSamplesa(), g.GetNumSamplesr(), g.GetNumSamplesA(),
                         g.GetNumSamplesR()};
  const double inner = truth.GetInnerRadius(), outer = truth.GetOuterRadius();
  g.GetSamples().Empty();
  for (int e = 0; e < 4; ++e)
    for (unsigned i = 0; i < n[e]; ++i) {
      const double t = n[e] > 1 ? 0.05 + 0.9 * i / (n[e] - 1) : 0.5;
      const double r = e % 2 == 0 ? inner + t * (outer - inner) : (e == 1 ? inner : outer);
      const double a =
          (truth.GetOrgAngle() + (e % 2 == 0 ? e / 2 : t) * truth.GetAmplitude()) * kPi / 180;
      ESampledPoint p;
      p.Point = truth.GetCenter() + EPoint(float(r * std::cos(a)), float(r * std::sin(a)));
      p.Valid = 1;
      g.GetSamples().AddElement(p);
    }
}

// Samples of edges a, r, A, R and in all.
std::vector<unsigned> Counts(const EWedgeGauge& g) {
  return {g.GetNumSamplesa(), g.GetNumSamplesr(), g.GetNumSamplesA(), g.GetNumSamplesR(),
          g.GetNumSamples()};
}

void ExpectWedge(const EWedge& m, const EWedge& truth, double tol, double angleTol) {
  EXPECT_NEAR(m.GetX(), truth.GetX(), tol);
  EXPECT_NEAR(m.GetY(), truth.GetY(), tol);
  EXPECT_NEAR(m.GetInnerRadius(), truth.GetInnerRadius(), tol);
  EXPECT_NEAR(m.GetOuterRadius(), truth.GetOuterRadius(), tol);
  EXPECT_NEAR(std::remainder(m.GetOrgAngle() - truth.GetOrgAngle(), 360.0), 0, angleTol);
  EXPECT_NEAR(m.GetAmplitude(), truth.GetAmplitude(), angleTol);
}

TEST(WedgeGauge, CountsEdgesThatExistAndFitsExactPointsBack) {
  EWedgeGauge g;
  EXPECT_EQ(Counts(g), (std::vector<unsigned>{0, 0, 0, 63, 63}));
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
  EXPECT_EQ(Counts(s), (std::vector<unsigned>{2, 7, 2, 13, 24}));
  const EWedge truth(EPoint(3, -2), 42.0f, 18.0f, 12.0f, 95.0f);
  SamplesOn(s, truth);
  s.FitWedge();
  ASSERT_TRUE(s.GetFound());
  ExpectWedge(s.GetMeasuredWedge(), truth, 2e-3, 2e-3);
  EXPECT_LT(s.GetAverageDistance(), 1e-3);

  // Without edge r, the inner radius is the fitted outer one less the nominal breadth.
  s.SetActiveEdges(0xB00);
  SamplesOn(s, truth);
  s.FitWedge();
  EXPECT_NEAR(s.GetMeasuredWedge().GetInnerRadius(), 39.0 - 20.0, 1e-3);
  EXPECT_NEAR(s.GetMeasuredWedge().GetOuterRadius(), 39.0, 1e-3);

  EOk();
  s.SetActiveEdges(0x300);  // no arc: refused, the edges kept
  EXPECT_STREQ(EGetErrorTrace(), "EWedgeGauge::SetActiveEdges\n");
  EXPECT_EQ(EGetError(), E_ERROR_WEDGE_EDGES_WITHOUT_ARC);
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
    gauge_images::ScaleWorld(root, 200, 200, sc.scale);
    const double pixels = sc.scale > 0 ? sc.scale : 1;
    const double cx = sc.scale > 0 ? 1.3 : 101.3, cy = sc.scale > 0 ? -0.8 : 99.2;
    const bool full = sc.amplitude == 360;
    EImage<EBW8> image = gauge_images::RenderInWorld(
        root,
        gauge_images::Sector{cx, cy, sc.inner, sc.outer, sc.org * kPi / 180,
                             sc.amplitude * kPi / 180},
        40, 140, 1.0);
    // The nominal wedge 1.8 pixels off, its angles 2 and 3 degrees off; placed as a wedge.
    const EPoint c{float(cx), float(cy)}, off = c + EPoint(1.5f, -1.0f) * float(1 / pixels);
    const float d = float(2 * (sc.inner > 0 ? sc.inner : sc.outer));
    const float b = float(sc.inner > 0 ? sc.outer - sc.inner : 0), org = float(sc.org);
    EWedgeGauge g;
    g.Attach(&root);
    // Radii a pixel inside the band: profiles on the very corners would run along the arcs.
    const float dn = d + float((sc.inner > 0 ? 2 : -2) / pixels),
                bn = b > 0 ? b - float(2 / pixels) : 0;
    g.Set(full ? EWedge(off, dn, bn, org, 1)
               : EWedge(off, dn, bn, org + 2, float(sc.amplitude - 3)));
    g.SetSamplingStep(float(4 / pixels));
    for (ETransition* t :
         {&g.GetTransitiona(), &g.GetTransitionr(), &g.GetTransitionA(), &g.GetTransitionR()})
      t->SetTolerance(float(7 / pixels), 0);
    EOk();
    g.Measure(&image);
    EXPECT_EQ(EGetError(), E_OK);
    ASSERT_TRUE(g.GetFound());
    // The radial sides are short (20 pixels, 3 profiles, two of them on corners): their angles
    // are the least precise.
    ExpectWedge(g.GetMeasuredWedge(),
                full ? EWedge(c, d, b, org, 1) : EWedge(c, d, b, org, float(sc.amplitude)),
                0.2 / pixels, 1.0);
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
  }
}

}  // namespace
