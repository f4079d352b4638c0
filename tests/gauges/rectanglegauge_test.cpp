// The rectangle gauge: sample layout, the closed-form fit on exact points, active edges, known
// angle, minimum counts, distance signs and inner filtering, synthetic rectangles measured
// directly and through a calibrated world.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "../../bench/gauge_images.h"
#include "vimo/vimo.h"

namespace {

using gauge_images::kPi;

// Angle difference modulo a half turn, in degrees.
double HalfTurnDiff(double a, double b) { return std::remainder(a - b, 180.0); }

// Fills the gauge's samples, laid out as Measure lays them, with valid points on the edges of
// `truth`, sample i of n at the same fraction along its edge.
void SamplesOn(ERectangleGauge& g, const ERectangle& truth) {
  const unsigned n[4] = {g.GetNumSamplesx(), g.GetNumSamplesy(), g.GetNumSamplesX(),
                         g.GetNumSamplesY()};
  g.GetSamples().Empty();
  for (int e = 0; e < 4; ++e)
    for (unsigned i = 0; i < n[e]; ++i) {
      const float t = 0.9f * (n[e] > 1 ? 2.0f * i / (n[e] - 1) - 1.0f : 0.0f),
                  side = e < 2 ? -1 : 1;
      ESampledPoint p;
      p.Point = e % 2 == 0 ? truth.GetPoint(side, t) : truth.GetPoint(t, side);
      p.Valid = 1;
      g.GetSamples().AddElement(p);
    }
}

void ExpectRectangle(const ERectangle& m, const ERectangle& truth, double tol, double angleTol) {
  EXPECT_NEAR(m.GetX(), truth.GetX(), tol);
  EXPECT_NEAR(m.GetY(), truth.GetY(), tol);
  EXPECT_NEAR(m.GetSizeX(), truth.GetSizeX(), 3 * tol);
  EXPECT_NEAR(m.GetSizeY(), truth.GetSizeY(), 3 * tol);
  EXPECT_NEAR(HalfTurnDiff(m.GetAngle(), truth.GetAngle()), 0.0, angleTol);
}

TEST(RectangleGauge, LaysFiftySixSamplesEdgeByEdgeAndFitsExactPointsBack) {
  ERectangleGauge g;
  g.Set(EPoint(10, 5), 100, 40, 120);
  const unsigned counts[5] = {g.GetNumSamplesx(), g.GetNumSamplesy(), g.GetNumSamplesX(),
                              g.GetNumSamplesY(), g.GetNumSamples()};
  EXPECT_EQ(std::vector<unsigned>(counts, counts + 5), (std::vector<unsigned>{8, 20, 8, 20, 56}));
  int minimum[4];
  g.GetMinNumFitSamples(minimum[0], minimum[1], minimum[2], minimum[3]);
  EXPECT_EQ(std::vector<int>(minimum, minimum + 4), std::vector<int>(4, 2));

  // Exact points beyond a quarter turn (edge x must stay on the -U side): all comes back.
  const ERectangle truth(EPoint(12.5f, 3.0f), 98.0f, 41.0f, 123.0f);
  SamplesOn(g, truth);
  g.FitRectangle();
  ASSERT_TRUE(g.GetFound());
  ExpectRectangle(g.GetMeasuredRectangle(), truth, 1e-3, 1e-3);
  EXPECT_LT(g.GetAverageDistance(), 1e-3);
  g.SetKnownAngle(1);  // the nominal 120 degrees is kept
  g.FitRectangle();
  EXPECT_NEAR(g.GetMeasuredRectangle().GetAngle(), 120.0, 1e-3);
  EXPECT_GT(g.GetAverageDistance(), 0.1);

  // Only x and X: the angle from those two edges, the size and centre along V nominal.
  g.SetKnownAngle(0);
  g.SetActiveEdges(0x300);
  EXPECT_EQ(g.GetNumSamples(), 16u);
  SamplesOn(g, ERectangle(EPoint(12.5f, 3.0f), 98.0f, 30.0f, 123.0f));
  g.FitRectangle();
  const ERectangle m = g.GetMeasuredRectangle();
  EXPECT_NEAR(HalfTurnDiff(m.GetAngle(), 123.0), 0.0, 1e-3);
  EXPECT_NEAR(m.GetSizeY(), 40.0, 1e-4);
  const double a = 123 * kPi / 180;  // v of the centre: the nominal centre's
  EXPECT_NEAR(-std::sin(a) * m.GetX() + std::cos(a) * m.GetY(), -std::sin(a) * 10 + std::cos(a) * 5,
              1e-3);

  // One valid point on edge y while its minimum is 2: not found, however good the others.
  ERectangleGauge fresh;
  fresh.Set(EPoint(10, 5), 100, 40, 120);
  SamplesOn(fresh, truth);
  for (unsigned i = 9; i < 28; ++i) fresh.GetSamples()[i].Valid = 0;
  fresh.FitRectangle();
  EXPECT_FALSE(fresh.GetFound());
  fresh.SetMinNumFitSamples(2, 1, 2, 2);  // a minimum of 1 for y: it fits
  fresh.FitRectangle();
  EXPECT_TRUE(fresh.GetFound());
  fresh.SetFound(0, 0);
  fresh.SetActiveEdges(0x100);  // samples laid out for other edges are not fitted
  fresh.FitRectangle();
  EXPECT_FALSE(fresh.GetFound());
}

TEST(RectangleGauge, SignsDistancesAndInnerFilteringPerEdge) {
  // Known angle, exact points, the first of edge x moved 3 units outwards (-U): edge x's mean
  // moves by 3/8, so that point stands 3 (1 - 1/8) outside and the next 3/8 inside.
  ERectangleGauge g;
  g.Set(EPoint(0, 0), 100, 40, 30);
  g.SetKnownAngle(1);
  SamplesOn(g, ERectangle(EPoint(0, 0), 100, 40, 30));
  ESampledPointVector& s = g.GetSamples();
  s[0].Point = s[0].Point - EPoint(std::cos(kPi / 6), std::sin(kPi / 6)) * 3.0f;
  g.FitRectangle();
  EXPECT_EQ(s[0].Side, 1);
  EXPECT_NEAR(s[0].Distance, 3.0 * 7 / 8, 1e-4);
  EXPECT_EQ(s[1].Side, -1);
  EXPECT_NEAR(s[1].Distance, 3.0 / 8, 1e-4);
  EXPECT_NEAR(g.GetAverageDistance(), 2 * 3.0 * 7 / 8 / 56, 1e-4);

  // Measured: a notch 3 pixels into edge y and a bump 3 pixels out of edge Y. Inner filtering
  // removes the notch's sample (inside) and keeps the bump's (outside, side +1).
  EImage<EBW8> image = gauge_images::Render(
      160, 120,
      [](double x, double y) {
        const bool notch = x >= 96.0 && x <= 101.3 && y <= 43;
        const bool bump = x >= 58.7 && x <= 64.0 && y <= 83 && y >= 60;
        return (gauge_images::Rectangle{80, 60, 40, 20, 0}(x, y) && !notch) || bump;
      },
      30, 160, 1.0);
  ERectangleGauge f;
  f.Set(EPoint(80, 60), 80, 40, 0);
  f.SetKnownAngle(1);
  f.SetInnerFilteringThreshold(1.0f);
  EXPECT_TRUE(f.IsInnerFilteringEnabled());
  f.Measure(&image);
  ASSERT_EQ(f.GetNumSamples(), 48u);
  EXPECT_EQ(f.GetSample(19).FilteredOut, 1);
  EXPECT_EQ(f.GetSample(36).Valid * f.GetSample(36).Side, 1);
  EXPECT_NEAR(f.GetSample(36).Distance, 3.0 * (1 - 1.0 / 16), 0.1);
  EXPECT_EQ(f.GetNumValidSamples(), 47u);
  EXPECT_NEAR(f.GetMeasuredRectangle().GetSizeY(), 40 + 3.0 / 16, 0.05);
  f.DisableInnerFiltering();
  EXPECT_FALSE(f.IsInnerFilteringEnabled());
}

// A bright rectangle on a dark ground, blurred; the gauge placed 2 units and some degrees off.
TEST(RectangleGauge, MeasuresSyntheticRectanglesDirectlyAndThroughACalibratedWorld) {
  const struct {
    const char* name;
    double angle, scale, offset;  // degrees; pixels per world unit (0: none); nominal error
  } scenes[] = {{"axis", 0, 0, 0},
                {"rotated", 17, 0, 3},
                {"steep", -63, 0, -4},
                {"world", 28, 2.5, 2},
                {"world, past a quarter turn", 118, 2.0, -3}};
  for (const auto& sc : scenes) {
    SCOPED_TRACE(sc.name);
    EWorldShape root;
    gauge_images::ScaleWorld(root, 240, 200, sc.scale);
    const double pixels = sc.scale > 0 ? sc.scale : 1;
    const double cx = sc.scale > 0 ? 3.1 : 121.3, cy = sc.scale > 0 ? -2.4 : 98.6;
    const ERectangle truth(EPoint(float(cx), float(cy)), float(100 / pixels), float(44 / pixels),
                           float(sc.angle));
    EImage<EBW8> image = gauge_images::RenderInWorld(
        root, gauge_images::Rectangle{cx, cy, 50 / pixels, 22 / pixels, sc.angle * kPi / 180}, 40,
        140, 1.0);
    ERectangleGauge g;
    g.Attach(&root);
    g.Set(EPoint(float(cx + 2 / pixels), float(cy - 1 / pixels)), float(103 / pixels),
          float(42 / pixels), float(sc.angle + sc.offset));
    g.SetSamplingStep(float(5 / pixels));
    // Corner profiles run along the neighbouring edge: one pass removes what they catch there.
    g.SetNumFilteringPasses(1);
    for (ETransition* t :
         {&g.GetTransitionx(), &g.GetTransitiony(), &g.GetTransitionX(), &g.GetTransitionY()})
      t->SetTolerance(float(8 / pixels), 0);
    EOk();
    g.Measure(&image);
    EXPECT_EQ(EGetError(), E_OK);
    ASSERT_TRUE(g.GetFound());
    const unsigned n = g.GetNumSamples();
    ASSERT_EQ(g.GetSamples().GetNumElements(), n);
    EXPECT_GE(g.GetNumValidSamples(), n - 8);  // corner profiles may miss
    ExpectRectangle(g.GetMeasuredRectangle(), truth, 0.08 / pixels, 0.1);
    EXPECT_LT(g.GetAverageDistance(), 0.1 / pixels);

    ERectangleGauge copy(g);  // a copy measures the same
    copy.Measure(&image);
    EXPECT_EQ(copy.GetMeasuredRectangle().GetX(), g.GetMeasuredRectangle().GetX());
  }
}

}  // namespace
