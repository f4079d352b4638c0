// What the rectangle and wedge gauges share: daughters following the result as the found state
// changes, every drawing mode, bad input refused without a crash; and both on photographs.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <type_traits>

#include "../../bench/gauge_images.h"
#include "test_support.h"
#include "vimo/vimo.h"

namespace {

// Pixels an overlay of the gauge in one drawing mode lights.
int Lit(EShape& gauge, int mode) {
  EImage<EC24> overlay(240, 160);
  Quarnel::ImageDrawAdapter draw(&overlay);
  draw.SetPenColor(Quarnel::WhiteColor);
  gauge.Draw(&draw, INS_DRAWING_MODES(mode), 0);
  int lit = 0;
  for (int y = 0; y < 160; ++y)
    for (int x = 0; x < 240; ++x) lit += overlay.GetPixel(x, y).C0 != 0;
  return lit;
}

TEST(EdgeGauges, DaughtersFollowTheResultAndEveryDrawingModeDraws) {
  const gauge_images::Rectangle bar{74, 82, 50, 20, 0.1};
  const gauge_images::Sector arc{180, 80, 20, 40, -1.0, 2.0};
  EImage<EBW8> image = gauge_images::Render(
      240, 160, [&](double x, double y) { return bar(x, y) || arc(x, y); }, 30, 160, 1.0);
  ERectangleGauge rectangle;
  rectangle.Set(EPoint(70, 80), 100, 40, 0);
  EPointShape mark(10, 0);
  mark.Attach(&rectangle);
  auto markAt = [&](float x, float y) {
    const EPoint p = mark.LocalToWorld(EPoint(0, 0));
    EXPECT_NEAR(p.GetX(), x, 0.02);
    EXPECT_NEAR(p.GetY(), y, 0.02);
  };
  markAt(80, 80);
  rectangle.Process(&image, 1);
  ASSERT_TRUE(rectangle.GetFound());
  const ERectangle m = rectangle.GetMeasuredRectangle();
  markAt(m.GetX() + 10 * std::cos(0.1f), m.GetY() + 10 * std::sin(0.1f));
  // Each change of the found state hands the daughters the other frame.
  rectangle.SetFound(0, 0);
  markAt(80, 80);
  rectangle.SetFound(1, 0);  // measured = nominal while not found
  markAt(80, 80);
  rectangle.SetActive(0, 1);
  EXPECT_FALSE(rectangle.GetFound());

  // With a skipped and filtered-out sample and a selected wedge sample, every mode draws but 2,
  // 7 and, for the rectangle, 4 (no single profile).
  EWedgeGauge wedge;
  wedge.Set(EPoint(181, 81), 42.0f, 18.0f, -57.0f, 115.0f);
  for (EGauge* g : std::initializer_list<EGauge*>{&rectangle, &wedge}) {
    g->AddSkipRange(0, 0);
    g->SetNumFilteringPasses(1);
    g->SetFilteringThreshold(0.5f);
  }
  rectangle.Measure(&image);
  wedge.Measure(&image);
  wedge.MeasureSample(&image, 1);
  ASSERT_TRUE(rectangle.GetFound() && wedge.GetFound());
  for (int mode = 0; mode <= 8; ++mode) {
    EXPECT_EQ(Lit(rectangle, mode) > 0, mode != 2 && mode != 4 && mode != 7) << mode;
    EXPECT_EQ(Lit(wedge, mode) > 0, mode != 2 && mode != 7) << mode;
  }
  // Not found, the measured geometry is the nominal one, and mode 1 shows it.
  rectangle.SetFound(0, 0);
  wedge.SetFound(0, 0);
  EXPECT_GT(Lit(rectangle, 1), 0);
  EXPECT_GT(Lit(wedge, 1), 0);
}

// The rectangle's width or the wedge's inner diameter is `size`.
void Place(ERectangleGauge& g, float x, float size) { g.Set(EPoint(x, 60), size, 40, 0); }
void Place(EWedgeGauge& g, float x, float size) { g.Set(EPoint(x, 60), size, 20.0f, 0.0f, 1); }

// Bad steps are refused before they are stored; geometry that cannot be sampled, no image, an
// image that misses the gauge and a void region leave the gauge not found with a defined
// error state.
template <class Gauge>
void CheckBadInput(const char* stepTrace) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  Gauge g;
  for (float step : {0.0f, -5.0f, nan, inf}) {
    EOk();
    g.SetSamplingStep(step);
    EXPECT_STREQ(EGetErrorTrace(), stepTrace);
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
    Gauge bad;
    bad.SetSamplingStep(c.step);
    Place(bad, c.x, c.size);
    EOk();
    bad.Measure(c.roi);
    EXPECT_EQ(EGetError(), c.error);
    EXPECT_FALSE(bad.GetFound());
    EXPECT_EQ(bad.GetNumValidSamples(), 0u);
    // Refused before any sample was allocated; otherwise one sample per profile.
    EXPECT_EQ(bad.GetSamples().GetNumElements(), c.error != E_OK ? 0u : bad.GetNumSamples());
    if constexpr (std::is_same_v<Gauge, EWedgeGauge>) bad.MeasureSample(c.roi, 0);
  }
}

TEST(EdgeGauges, BadInputIsRefusedWithoutCrashing) {
  CheckBadInput<ERectangleGauge>("ERectangleGauge::SetSamplingStep\n");
  CheckBadInput<EWedgeGauge>("EWedgeGauge::SetSamplingStep\n");
}

ETransition& FirstEdge(ERectangleGauge& g) { return g.GetTransitionx(); }
ETransition& FirstEdge(EWedgeGauge& g) { return g.GetTransitionR(); }

// An active edge whose transition cannot sample (no band, or a band and smoothing whose sums
// would overflow) refuses the measurement: its profiles would all hold the previous
// measurement's last one. The same transition on an inactive edge does no harm. With no profile
// to lay at all, the gauge is simply not found.
template <class Gauge>
void CheckEdgesThatCannotSample(const char* trace) {
  constexpr bool rectangle = std::is_same_v<Gauge, ERectangleGauge>;
  EImage<EBW8> image = gauge_images::Render(
      160, 120,
      [&](double x, double y) {
        return rectangle ? gauge_images::Rectangle{80, 60, 30, 20, 0}(x, y)
                         : gauge_images::Sector{80, 60, 30, 50, 0, 2 * gauge_images::kPi}(x, y);
      },
      30, 160, 1.0);
  const struct {
    const char* name;
    unsigned thickness, smoothing, activeEdges;
    E_ERRORS error;
  } cases[] = {{"no band", 0, 1, 0xF00, E_ERROR_INVALID_PARAMETER},
               {"overflowing band", 3, 0x7FFFFFFF / 255 / 2, 0xF00, E_ERROR_INVALID_PARAMETER},
               {"no band on an inactive edge", 0, 1, rectangle ? 0xE00u : 0x700u, E_OK}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Gauge g;
    Place(g, 80, 60);
    g.Measure(&image);
    ASSERT_TRUE(g.GetFound());
    FirstEdge(g).SetThickness(c.thickness);
    FirstEdge(g).SetSmoothing(c.smoothing);
    g.SetActiveEdges(c.activeEdges);
    EOk();
    g.Measure(&image);
    EXPECT_EQ(EGetError(), c.error);
    EXPECT_EQ(g.GetFound() != 0, c.error == E_OK);
    if (c.error == E_OK) continue;
    EXPECT_STREQ(EGetErrorTrace(), trace);
    EXPECT_EQ(g.GetSamples().GetNumElements(), 0u);
    EXPECT_EQ(g.GetNumValidSamples(), 0u);
  }
  // No active edge, or none that exists (the inner arc of a disc).
  Gauge none;
  if constexpr (rectangle) {
    Place(none, 80, 60);
    none.SetActiveEdges(0);
  } else {
    none.Set(EPoint(80, 60), 100.0f, 0.0f, 0.0f, 1);
    none.SetActiveEdges(0x400);
  }
  EOk();
  none.Measure(&image);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_FALSE(none.GetFound());
  EXPECT_EQ(none.GetSamples().GetNumElements(), 0u);
}

TEST(EdgeGauges, AnEdgeThatCannotSampleIsRefusedAndNoEdgeAtAllIsNoError) {
  CheckEdgesThatCannotSample<ERectangleGauge>("ERectangleGauge::Measure\n");
  CheckEdgesThatCannotSample<EWedgeGauge>("EWedgeGauge::Measure\n");
}

// The dark squares of a sheet under uneven light, in perspective: each gauge starts on the
// square's blob (centroid, side of the square of the same area, rows at about 23 degrees).
// The roll of tape: radial grey-level profiles put its outer edge 106.5 pixels from (472, 337)
// left, right, up and down, and the hole's edge 72 to 78 pixels out.
TEST(EdgeGauges, MeasureTheSquaresAndTheTapeRollOfPhotographs) {
  const std::string squares = vimo_test::DataFile("gauge/boofcv_uneven_lighting_squares.pgm");
  const std::string objects = vimo_test::DataFile("gauge/boofcv_simple_objects.pgm");
  if (squares.empty() || objects.empty()) GTEST_SKIP() << "no test data";
  EImage<EBW8> image;
  EOk();
  image.Load(squares.c_str());
  ASSERT_EQ(EGetError(), E_OK);
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
    // A square in perspective: sides within 20 % of the blob's equivalent side.
    const double tol = std::max(1.5, 0.067 * b[2]);
    EXPECT_NEAR(m.GetX(), b[0], tol);
    EXPECT_NEAR(m.GetY(), b[1], tol);
    EXPECT_NEAR(m.GetSizeX(), b[2], 3 * tol);
    EXPECT_NEAR(m.GetSizeY(), b[2], 3 * tol);
    EXPECT_NEAR(m.GetAngle(), 27, 5);
    EXPECT_LT(g.GetAverageDistance(), 1.5);
  }
  image.Load(objects.c_str());
  EWedgeGauge ring, quarter;
  ring.Set(EPoint(468, 333), 150.0f, 31.0f, 0.0f, 1);
  // A quarter of the ring by its arcs alone: its angles stay nominal.
  quarter.Set(EPoint(468, 333), 150.0f, 31.0f, 200.0f, 90.0f);
  quarter.SetActiveEdges(0xC00);
  for (EWedgeGauge* g : {&ring, &quarter}) {
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
  EXPECT_EQ(quarter.GetMeasuredWedge().GetAmplitude(), 90.0f);
}

}  // namespace
