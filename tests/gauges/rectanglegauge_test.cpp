// The rectangle gauge: sample layout, the closed-form fit on exact points, active edges, known
// angle, minimum counts, distance signs and inner filtering, synthetic rectangles measured
// directly and through a calibrated world, daughters following the result, drawing, and bad
// input.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "gauge_images.h"
#include "test_support.h"
#include "vimo/vimo.h"

namespace {

using gauge_images::kPi;

// Angle difference modulo a half turn, in degrees.
double HalfTurnDiff(double a, double b) {
  double d = std::fmod(a - b, 180.0);
  if (d > 90) d -= 180;
  if (d < -90) d += 180;
  return d;
}

// Fills the gauge's samples, laid out as Measure lays them, with points on the rectangle
// `truth`: sample i of n on an edge at the same fraction along it; all valid.
void SamplesOn(ERectangleGauge& g, const ERectangle& truth) {
  const unsigned n[4] = {g.GetNumSamplesx(), g.GetNumSamplesy(), g.GetNumSamplesX(),
                         g.GetNumSamplesY()};
  ESampledPointVector& s = g.GetSamples();
  s.Empty();
  for (int e = 0; e < 4; ++e)
    for (unsigned i = 0; i < n[e]; ++i) {
      const float t = 0.9f * (n[e] > 1 ? 2.0f * i / (n[e] - 1) - 1.0f : 0.0f);
      ESampledPoint p;
      p.Point = e == 0   ? truth.GetPoint(-1, t)
                : e == 1 ? truth.GetPoint(t, -1)
                : e == 2 ? truth.GetPoint(1, t)
                         : truth.GetPoint(t, 1);
      p.Valid = 1;
      s.AddElement(p);
    }
}

TEST(RectangleGauge, LaysFiftySixSamplesEdgeByEdgeAndFitsExactPointsBack) {
  ERectangleGauge g;
  g.Set(EPoint(10, 5), 100, 40, 120);
  EXPECT_EQ(g.GetActiveEdges(), 0xF00u);
  EXPECT_EQ(g.GetSamplingStep(), 5.0f);
  EXPECT_EQ(g.GetNumSamplesx(), 8u);
  EXPECT_EQ(g.GetNumSamplesy(), 20u);
  EXPECT_EQ(g.GetNumSamplesX(), 8u);
  EXPECT_EQ(g.GetNumSamplesY(), 20u);
  EXPECT_EQ(g.GetNumSamples(), 56u);
  int minimum[4];
  g.GetMinNumFitSamples(minimum[0], minimum[1], minimum[2], minimum[3]);
  for (int m : minimum) EXPECT_EQ(m, 2);

  // Exact points of a rectangle near the nominal one, beyond a quarter turn (the fit must keep
  // edge x on the -U side there too): centre, sizes and angle come back.
  const ERectangle truth(EPoint(12.5f, 3.0f), 98.0f, 41.0f, 123.0f);
  SamplesOn(g, truth);
  g.FitRectangle();
  ASSERT_TRUE(g.GetFound());
  ERectangle m = g.GetMeasuredRectangle();
  EXPECT_NEAR(m.GetX(), 12.5, 1e-3);
  EXPECT_NEAR(m.GetY(), 3.0, 1e-3);
  EXPECT_NEAR(m.GetSizeX(), 98.0, 1e-3);
  EXPECT_NEAR(m.GetSizeY(), 41.0, 1e-3);
  EXPECT_NEAR(HalfTurnDiff(m.GetAngle(), 123.0), 0.0, 1e-3);
  EXPECT_LT(g.GetAverageDistance(), 1e-3);
  EXPECT_EQ(g.GetNumValidSamples(), 56u);

  // Known angle: the nominal 120 degrees is kept; the sizes are then those of the projections.
  g.SetKnownAngle(1);
  g.FitRectangle();
  EXPECT_NEAR(g.GetMeasuredRectangle().GetAngle(), 120.0, 1e-3);
  EXPECT_GT(g.GetAverageDistance(), 0.1);

  // Only x and X: angle from those two edges, centre and size along V nominal (or the angle
  // nominal when known).
  g.SetActiveEdges(0x300);
  EXPECT_EQ(g.GetNumSamples(), 16u);
  const ERectangle tilted(EPoint(12.5f, 3.0f), 98.0f, 30.0f, 123.0f);
  for (int known = 0; known < 2; ++known) {
    g.SetKnownAngle(known);
    SamplesOn(g, tilted);
    g.FitRectangle();
    m = g.GetMeasuredRectangle();
    const double angle = known ? 120.0 : 123.0;
    EXPECT_NEAR(HalfTurnDiff(m.GetAngle(), angle), 0.0, 1e-3) << known;
    EXPECT_NEAR(m.GetSizeY(), 40.0, 1e-4) << known;
    const double a = angle * kPi / 180;
    // v of the centre stays the nominal centre's projection on V.
    EXPECT_NEAR(-std::sin(a) * m.GetX() + std::cos(a) * m.GetY(),
                -std::sin(a) * 10 + std::cos(a) * 5, 1e-3)
        << known;
  }
  g.SetKnownAngle(0);
  g.SetActiveEdges(0xF00);

  // One valid point on edge y while its minimum is 2: not found, however good the others.
  ERectangleGauge fresh;
  fresh.Set(EPoint(10, 5), 100, 40, 120);
  SamplesOn(fresh, truth);
  for (unsigned i = 9; i < 28; ++i) fresh.GetSamples()[i].Valid = 0;
  fresh.FitRectangle();
  EXPECT_FALSE(fresh.GetFound());
  // With a minimum of 1 for y it fits.
  fresh.SetMinNumFitSamples(2, 1, 2, 2);
  fresh.FitRectangle();
  EXPECT_TRUE(fresh.GetFound());
  // Samples laid out for other edges are not fitted.
  fresh.SetFound(0, 0);
  fresh.SetActiveEdges(0x100);
  fresh.FitRectangle();
  EXPECT_FALSE(fresh.GetFound());
}

TEST(RectangleGauge, SignsDistancesAndInnerFilteringPerEdge) {
  ERectangleGauge g;
  g.Set(EPoint(0, 0), 100, 40, 30);
  g.SetKnownAngle(1);
  const ERectangle truth(EPoint(0, 0), 100, 40, 30);
  SamplesOn(g, truth);
  // The first point of edge x and the first of edge Y moved 3 units outwards: their edges'
  // mean positions move by 3/n, so they stand 3 (1 - 1/n) outside, the others 3/n inside.
  const EPoint u(std::cos(kPi / 6), std::sin(kPi / 6)), v(-std::sin(kPi / 6), std::cos(kPi / 6));
  ESampledPointVector& s = g.GetSamples();
  s[0].Point = s[0].Point - u * 3.0f;
  s[36].Point = s[36].Point + v * 3.0f;
  g.FitRectangle();
  ASSERT_TRUE(g.GetFound());
  const struct { unsigned index, n; } moved[] = {{0, 8}, {36, 20}};
  for (const auto& c : moved) {
    EXPECT_EQ(s[c.index].Side, 1);
    EXPECT_NEAR(s[c.index].Distance, 3.0 * (1 - 1.0 / c.n), 1e-4);
    EXPECT_EQ(s[c.index + 1].Side, -1);
    EXPECT_NEAR(s[c.index + 1].Distance, 3.0 / c.n, 1e-4);
  }
  EXPECT_NEAR(g.GetAverageDistance(), (2 * 3.0 * (1 - 1.0 / 8) + 2 * 3.0 * (1 - 1.0 / 20)) / 56,
              1e-4);
  // Measured with the angle known: a notch 3 pixels deep into edge y and a bump 3 pixels out of
  // edge Y. Inner filtering removes the notch's sample (inside) and keeps the bump's (outside).
  EImage<EBW8> image = gauge_images::Render(
      160, 120,
      [](double x, double y) {
        const bool notch = x >= 96.0 && x <= 101.3 && y <= 43;
        const bool bump = x >= 58.7 && x <= 64.0 && y <= 83;
        return (gauge_images::Rectangle{80, 60, 40, 20, 0}(x, y) && !notch) || (bump && y >= 60);
      },
      30, 160, 1.0);
  ERectangleGauge f;
  f.Set(EPoint(80, 60), 80, 40, 0);
  f.SetKnownAngle(1);
  EXPECT_FALSE(f.IsInnerFilteringEnabled());
  f.SetInnerFilteringThreshold(1.0f);
  EXPECT_TRUE(f.IsInnerFilteringEnabled());
  f.Measure(&image);
  ASSERT_TRUE(f.GetFound());
  ASSERT_EQ(f.GetNumSamples(), 48u);
  EXPECT_EQ(f.GetSample(19).FilteredOut, 1);
  EXPECT_EQ(f.GetSample(36).Valid, 1);
  EXPECT_EQ(f.GetSample(36).Side, 1);
  EXPECT_NEAR(f.GetSample(36).Distance, 3.0 * (1 - 1.0 / 16), 0.1);
  EXPECT_EQ(f.GetNumValidSamples(), 47u);
  EXPECT_NEAR(f.GetMeasuredRectangle().GetSizeY(), 40 + 3.0 / 16, 0.05);
  f.DisableInnerFiltering();
  EXPECT_FALSE(f.IsInnerFilteringEnabled());
}

struct Scene {
  const char* name;
  double angle;      // degrees
  double scale;      // sensor pixels per world unit; 0: no calibration
  double offsetDeg;  // nominal angle error
};

// A bright rectangle on a dark ground, blurred; the gauge placed 2 units and some degrees off.
TEST(RectangleGauge, MeasuresSyntheticRectanglesDirectlyAndThroughACalibratedWorld) {
  const Scene scenes[] = {{"axis", 0, 0, 0},
                          {"rotated", 17, 0, 3},
                          {"steep", -63, 0, -4},
                          {"world", 28, 2.5, 2},
                          {"world, past a quarter turn", 118, 2.0, -3}};
  for (const Scene& sc : scenes) {
    SCOPED_TRACE(sc.name);
    EWorldShape root;
    root.SetSensorSize(240, 200);
    const double pixels = sc.scale > 0 ? sc.scale : 1;
    if (sc.scale > 0) {
      root.SetCenter(120, 100);
      root.SetScale(static_cast<float>(sc.scale));
      root.SetRatio(1);
      root.SetCalibrationModes(E_CALIBRATION_SCALED);
    }
    // The truth in world units, with the world origin at the image centre when calibrated.
    const double cx = sc.scale > 0 ? 3.1 : 121.3, cy = sc.scale > 0 ? -2.4 : 98.6;
    const double sizeX = 100 / pixels, sizeY = 44 / pixels, a = sc.angle * kPi / 180;
    EImage<EBW8> image = gauge_images::Render(
        240, 200,
        [&](double x, double y) {
          EPoint w = root.SensorToWorld(EPoint(float(x), float(y)));
          return gauge_images::Rectangle{cx, cy, sizeX / 2, sizeY / 2, a}(w.GetX(), w.GetY());
        },
        40, 140, 1.0);
    ERectangleGauge g;
    g.Attach(&root);
    g.Set(EPoint(float(cx + 2 / pixels), float(cy - 1 / pixels)), float(sizeX * 1.03),
          float(sizeY * 0.97), float(sc.angle + sc.offsetDeg));
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
    const ERectangle m = g.GetMeasuredRectangle();
    const double tol = 0.08 / pixels;
    EXPECT_NEAR(m.GetX(), cx, tol);
    EXPECT_NEAR(m.GetY(), cy, tol);
    EXPECT_NEAR(m.GetSizeX(), sizeX, 3 * tol);
    EXPECT_NEAR(m.GetSizeY(), sizeY, 3 * tol);
    EXPECT_NEAR(HalfTurnDiff(m.GetAngle(), sc.angle), 0, 0.1);
    EXPECT_LT(g.GetAverageDistance(), 0.1 / pixels);

    // Sample k lies on the edge of its block, in the order x, y, X, Y.
    const unsigned nx = g.GetNumSamplesx(), ny = g.GetNumSamplesy();
    const unsigned starts[5] = {0, nx, nx + ny, 2 * nx + ny, n};
    const double c = std::cos(a), s = std::sin(a);
    for (int e = 0; e < 4; ++e)
      for (unsigned k = starts[e]; k < starts[e + 1]; ++k) {
        const ESampledPoint p = g.GetSample(k);
        if (!p.Valid) continue;
        const double dx = p.Point.GetX() - cx, dy = p.Point.GetY() - cy;
        const double along = e % 2 == 0 ? c * dx + s * dy : -s * dx + c * dy;
        const double half = (e % 2 == 0 ? sizeX : sizeY) / 2;
        EXPECT_NEAR(along, e < 2 ? -half : half, 0.4 / pixels) << "sample " << k;
      }

    // A copy measures the same; clearing the found state gives the nominal rectangle back.
    ERectangleGauge copy(g);
    copy.Measure(&image);
    EXPECT_EQ(copy.GetMeasuredRectangle().GetX(), m.GetX());
    g.SetActive(0, 0);
    EXPECT_FALSE(g.GetFound());
    EXPECT_EQ(g.GetMeasuredRectangle().GetSizeX(), g.GetSizeX());
  }
}

// Daughters of a found gauge stand on the measured rectangle, and go back to the nominal one
// whenever the found state changes.
TEST(RectangleGauge, DaughtersFollowTheResultAndDrawingCoversEveryMode) {
  EImage<EBW8> image =
      gauge_images::Render(200, 160, gauge_images::Rectangle{104, 82, 50, 20, 0.1}, 30, 160, 1.0);
  ERectangleGauge g;
  g.Set(EPoint(100, 80), 100, 40, 0);
  EPointShape mark(10, 0);
  mark.Attach(&g);
  EXPECT_NEAR(mark.LocalToWorld(EPoint(0, 0)).GetX(), 110, 1e-4);
  g.Process(&image, 1);
  ASSERT_TRUE(g.GetFound());
  const ERectangle m = g.GetMeasuredRectangle();
  const EPoint expected = m.GetCenter() + EPoint(std::cos(0.1f), std::sin(0.1f)) * 10.0f;
  EXPECT_NEAR(mark.LocalToWorld(EPoint(0, 0)).GetX(), expected.GetX(), 0.02);
  EXPECT_NEAR(mark.LocalToWorld(EPoint(0, 0)).GetY(), expected.GetY(), 0.02);
  g.SetFound(0, 0);
  EXPECT_NEAR(mark.LocalToWorld(EPoint(0, 0)).GetX(), 110, 1e-4);
  EXPECT_NEAR(mark.LocalToWorld(EPoint(0, 0)).GetY(), 80, 1e-4);
  g.SetFound(1, 0);
  EXPECT_NEAR(mark.LocalToWorld(EPoint(0, 0)).GetX(), 110, 1e-4);  // measured = nominal now

  // Every mode of the gauge draws: nominal band, result, profiles, skipped, valid and
  // filtered-out samples; modes 2, 4 (no single profile here) and 7 draw nothing.
  g.SetDragable(1, 0);
  g.AddSkipRange(0, 0);
  g.SetNumFilteringPasses(1);
  g.SetFilteringThreshold(0.5f);
  g.Measure(&image);
  for (int mode = 0; mode <= 8; ++mode) {
    EImage<EC24> overlay(200, 160);
    Quarnel::ImageDrawAdapter draw(&overlay);
    draw.SetPenColor(Quarnel::WhiteColor);
    g.Draw(&draw, INS_DRAWING_MODES(mode), 0);
    int lit = 0;
    for (int y = 0; y < 160; ++y)
      for (int x = 0; x < 200; ++x) lit += overlay.GetPixel(x, y).C0 != 0;
    const bool drawn = mode != 2 && mode != 4 && mode != 7;
    EXPECT_EQ(lit > 0, drawn) << "mode " << mode;
  }
}

// The dark squares of a photograph of a printed sheet under uneven light, seen in
// perspective: each gauge starts on the square's blob (centroid, side from its area, rows at
// about 23 degrees) and fits it within a pixel or two.
TEST(RectangleGauge, MeasuresTheSquaresOfAPhotograph) {
  const std::string path = vimo_test::DataFile("gauge/boofcv_uneven_lighting_squares.pgm");
  if (path.empty()) GTEST_SKIP() << "no test data";
  EImage<EBW8> image;
  image.Load(path.c_str());
  ASSERT_EQ(EGetError(), E_OK);
  // The twelve squares' blobs: centroid and side of the square of the same area.
  const double blobs[][3] = {{212.3, 54.7, 25.8},  {273.0, 73.7, 29.8},  {339.5, 94.9, 33.6},
                             {173.2, 101.7, 27.6}, {236.7, 122.7, 31.9}, {305.7, 146.8, 36.6},
                             {131.5, 153.8, 32.6}, {196.3, 178.6, 35.6}, {267.5, 206.2, 39.7},
                             {86.8, 211.6, 35.6},  {152.4, 239.9, 38.9}, {225.5, 271.7, 42.2}};
  for (const auto& b : blobs) {
    SCOPED_TRACE(b[0]);
    ERectangleGauge g;
    g.Set(EPoint(float(b[0]), float(b[1])), float(b[2]), float(b[2]), 23.0f);
    g.SetSamplingStep(3);
    g.SetNumFilteringPasses(1);
    for (ETransition* t :
         {&g.GetTransitionx(), &g.GetTransitiony(), &g.GetTransitionX(), &g.GetTransitionY()})
      t->SetTolerance(6, 0);
    g.Measure(&image);
    ASSERT_TRUE(g.GetFound());
    const ERectangle m = g.GetMeasuredRectangle();
    EXPECT_NEAR(m.GetX(), b[0], 1.5);
    EXPECT_NEAR(m.GetY(), b[1], 1.5);
    // A square in perspective: each side within 20 % of the blob's equivalent side.
    EXPECT_NEAR(m.GetSizeX(), b[2], 0.2 * b[2]);
    EXPECT_NEAR(m.GetSizeY(), b[2], 0.2 * b[2]);
    EXPECT_NEAR(m.GetAngle(), 27, 5);
    EXPECT_LT(g.GetAverageDistance(), 1.5);
  }
}

// Bad steps are refused before they are stored; geometry that cannot be sampled, no image, an
// image that misses the gauge and a void region leave the gauge not found with a defined
// error state.
TEST(RectangleGauge, BadInputIsRefusedWithoutCrashing) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  ERectangleGauge g;
  for (float step : {0.0f, -5.0f, nan, inf}) {
    EOk();
    g.SetSamplingStep(step);
    EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
    EXPECT_STREQ(EGetErrorTrace(), "ERectangleGauge::SetSamplingStep\n");
    EXPECT_EQ(g.GetSamplingStep(), 5.0f);
  }
  EImage<EBW8> image =
      gauge_images::Render(160, 120, gauge_images::Rectangle{80, 60, 30, 20, 0}, 30, 160);
  EROI<EBW8> none;
  const struct {
    const char* name;
    float step, x, size;
    EROI<EBW8>* roi;
    E_ERRORS error;
  } cases[] = {{"absurdly small step", 1e-30f, 80, 60, &image, E_ERROR_INVALID_PARAMETER},
               {"NaN size", 5, 80, nan, &image, E_ERROR_INVALID_PARAMETER},
               {"huge size", 5, 80, 1e30f, &image, E_ERROR_INVALID_PARAMETER},
               {"NaN centre", 5, nan, 60, &image, E_OK},
               {"outside the image", 5, 5000, 60, &image, E_OK},
               {"void region", 5, 80, 60, &none, E_OK},
               {"no image", 5, 80, 60, nullptr, E_ERROR_INVALID_PARAMETER}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ERectangleGauge bad;
    bad.SetSamplingStep(c.step);
    bad.Set(EPoint(c.x, 60), c.size, 40, 0);
    EOk();
    bad.Measure(c.roi);
    EXPECT_EQ(EGetError(), c.error);
    EXPECT_FALSE(bad.GetFound());
    EXPECT_EQ(bad.GetNumValidSamples(), 0u);
    if (c.error != E_OK) {
      EXPECT_EQ(bad.GetSamples().GetNumElements(), 0u);
    }
  }
}

}  // namespace
