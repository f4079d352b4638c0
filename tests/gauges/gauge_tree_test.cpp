// Gauges in hierarchies: the point gauge and its daughters, calibrated worlds, Process over a
// tree, and drawing in every mode through both surfaces.
#include <gtest/gtest.h>

#include <cmath>

#include "gauges/gauge_test_support.h"
#include "shapes/shape_test_support.h"
#include "vimo/vimo.h"

namespace {

TEST(PointGauge, DaughtersFollowTheSelectedTransitionOnceFound) {
  EImage<EBW8> image = gauge_test::EdgeImage(200, 100, 0, 103.3, 40, 140);
  EPointGauge gauge(100, 50);
  ELine segment = *static_cast<ELine*>(gauge.CastToFrame());
  EXPECT_EQ(segment.GetOrg(), EPoint(90, 50));
  EXPECT_EQ(segment.GetEnd(), EPoint(110, 50));
  EXPECT_FALSE(gauge.GetFound());
  EPointShape daughter(0, 5);
  daughter.Attach(&gauge);
  EXPECT_NEAR(daughter.LocalToWorld(EPoint(0, 0)).GetX(), 100, 1e-4);  // frame now valid

  gauge.Measure(&image);  // every transition is a result: daughters stay on the segment
  ASSERT_TRUE(gauge.GetFound());
  EXPECT_NEAR(gauge.GetMeasuredPoint().GetX(), 103.3, 0.06);
  EXPECT_NEAR(daughter.LocalToWorld(EPoint(0, 0)).GetX(), 100, 1e-4);
  gauge.SetTransitionChoice(GGE_MAX_AMPLITUDE);  // now the daughter follows the transition
  EXPECT_NEAR(daughter.LocalToWorld(EPoint(0, 0)).GetX(), gauge.GetMeasuredPoint().GetX(), 1e-4);
  EXPECT_NEAR(daughter.LocalToWorld(EPoint(0, 0)).GetY(), 55, 1e-4);

  gauge.SetCenter(20, 50);  // nothing there: not found, no error, the daughter back nominal
  gauge.Measure(&image);
  EXPECT_FALSE(gauge.GetFound());
  EXPECT_EQ(gauge.GetMeasuredFrame()->GetCenter(), EPoint(20, 50));
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_NEAR(daughter.LocalToWorld(EPoint(0, 0)).GetX(), 20, 1e-4);

  gauge.SetCenter(100, 50);
  gauge.Measure(&image);
  gauge.SetActive(0, 0);  // deactivating clears the found state, once
  EXPECT_FALSE(gauge.GetFound());
  gauge.SetFound(1, 0);
  gauge.SetActive(0, 0);
  EXPECT_TRUE(gauge.GetFound());
  gauge.Measure(nullptr);
  EXPECT_EQ(EGetError(), 32767);
  EXPECT_FALSE(gauge.GetFound());
  EOk();
}

TEST(PointGauge, BandsThatCannotBeSampledLeaveItNotFound) {
  // A band of no pixels, or one whose sums would overflow, is refused: the last profile is not
  // reported again from where the gauge stood before.
  EImage<EBW8> image = gauge_test::EdgeImage(200, 100, 0, 103.3, 40, 140);
  const unsigned bands[][2] = {{0, 1}, {3000, 3000}};
  for (const auto& band : bands) {
    EPointGauge gauge(100, 50);
    gauge.SetTransitionChoice(GGE_MAX_AMPLITUDE);
    gauge.Measure(&image);
    ASSERT_TRUE(gauge.GetFound());
    gauge.SetCenter(20, 50);
    gauge.SetThickness(band[0]);
    gauge.SetSmoothing(band[1]);
    gauge.Measure(&image);
    EXPECT_EQ(EGetError(), 32767);
    EXPECT_STREQ(EGetErrorTrace(), "EPointGauge::Measure\n");
    EXPECT_FALSE(gauge.GetFound());
    EXPECT_FALSE(gauge.GetValid());
    EOk();
  }
}

TEST(GaugeTree, AGaugeMadeFoundByItsCallerKeepsItsDaughtersOnItsNominalPlacement) {
  // Never measured, nominal placements moved since construction: made found, each gauge hands
  // its daughters the nominal geometry (a point gauge with no transition selected, its point).
  EPointGauge point(100, 50);
  point.SetTransitionChoice(GGE_MAX_AMPLITUDE);
  ELineGauge line;
  line.Set(EPoint(50, 50), 40, 90);
  ECircleGauge circle;
  circle.Set(EPoint(30, 40), 20, 0.0f, 1);
  struct Case {
    EShape* gauge;
    float x, y;
  } cases[] = {{&point, 100, 55}, {&line, 45, 50}, {&circle, 30, 45}};
  for (const Case& c : cases) {
    EPointShape daughter(0, 5);
    daughter.Attach(c.gauge);
    c.gauge->SetFound(1, 0);
    ASSERT_TRUE(c.gauge->GetFound());
    EXPECT_NEAR(daughter.LocalToWorld(EPoint()).GetX(), c.x, 1e-4);
    EXPECT_NEAR(daughter.LocalToWorld(EPoint()).GetY(), c.y, 1e-4);
  }
  EXPECT_EQ(line.GetMeasuredLine().GetCenter(), EPoint(50, 50));
  EXPECT_EQ(circle.GetMeasuredCircle().GetRadius(), 10.0f);
}

// A camera that sees millimetres: scaled only, or also skewed, anisotropic and tilted.
void SetCamera(EWorld& camera, bool tilted) {
  camera.SetSensorSize(320, 240);
  camera.SetCenter(160, 120);
  camera.SetScale(4);
  unsigned modes = E_CALIBRATION_SCALED;
  if (tilted) {
    camera.SetRatio(-1.04f);
    camera.SetAngle(7);
    camera.SetPerspective(10, -6, 0.004f);
    modes |= E_CALIBRATION_ANISOTROPIC | E_CALIBRATION_SKEWED | E_CALIBRATION_TILTED;
  }
  camera.SetCalibrationModes(modes);
}

TEST(GaugeTree, GaugesMeasureInWorldUnitsAndDaughtersFollowThem) {
  for (bool tilted : {false, true}) {
    EWorld camera;
    SetCamera(camera, tilted);
    EWorldShape world;
    world.SetSensorSize(320, 240);
    for (int row = -3; row <= 3; ++row)
      for (int column = -4; column <= 4; ++column) {
        EPoint grid(column * 8.0f, row * 8.0f);
        world.AddLandmark(camera.WorldToSensor(grid), grid);
      }
    world.Calibrate(camera.GetCalibrationModes());
    ASSERT_EQ(EGetError(), E_OK);
    // In millimetres: a bright half-plane above y = 5.2 with a dark disc of radius 6 at
    // (10, 17.2); the camera renders it.
    auto scene = [&](double x, double y) -> double {
      EPoint w = camera.SensorToWorld(EPoint(float(x), float(y)));
      const double dx = w.GetX() - 10, dy = w.GetY() - 17.2;
      return w.GetY() > 5.2 && dx * dx + dy * dy > 36 ? 1.0 : 0.0;
    };
    std::mt19937 rng(1);
    EImage<EBW8> image = gauge_test::RenderImage(320, 240, scene, 40, 160, 1.0, 0.0, rng);

    ELineGauge edge;  // nominally at y = 5, 0.2 mm off
    edge.Attach(&world);
    edge.Set(EPoint(-5, 5), 40, 0);
    edge.SetSamplingStep(1);
    edge.SetTolerance(2, 0);
    ECircleGauge hole;  // 12 mm above the edge, relative to it
    hole.Attach(&edge);
    hole.Set(EPoint(15, 12), 12, 0.0f, 1);
    hole.SetTolerance(2, 0);
    hole.SetSamplingStep(1);
    EPointShape mark(6, 0);  // on the hole's rim, once found
    mark.Attach(&hole);
    EXPECT_NEAR(mark.LocalToWorld(EPoint()).GetY(), 17, 1e-3);

    world.Process(&image, 1);
    ASSERT_TRUE(edge.GetFound());
    ASSERT_TRUE(hole.GetFound());
    ELine line = edge.GetMeasuredLine();
    EXPECT_NEAR(line.GetY(), 5.2, 0.03) << tilted;  // 0.12 px
    EXPECT_NEAR(line.GetAngle(), 0, 0.05) << tilted;
    const EPoint center = edge.LocalToWorld(hole.GetMeasuredCircle().GetCenter());
    EXPECT_NEAR(center.GetX(), 10, 0.02) << tilted;
    EXPECT_NEAR(center.GetY(), 17.2, 0.02) << tilted;
    EXPECT_NEAR(hole.GetMeasuredCircle().GetRadius(), 6, 0.02) << tilted;
    // The mark sits 6 mm along the measured circle's frame, itself placed on the measured line.
    const EPoint rim = edge.LocalToWorld(hole.GetMeasuredCircle().GetCenter() + EPoint(6, 0));
    EXPECT_NEAR(mark.LocalToWorld(EPoint()).GetX(), rim.GetX(), 1e-4);
    EXPECT_NEAR(mark.LocalToWorld(EPoint()).GetY(), rim.GetY(), 1e-4);
    // Losing the edge puts its daughters back on its nominal placement at once.
    edge.SetFound(0, 0);
    EXPECT_NEAR(edge.LocalToWorld(EPoint(15, 12)).GetY(), 17, 1e-4);
    const EPoint nominal = edge.LocalToWorld(hole.GetMeasuredCircle().GetCenter());
    EXPECT_NEAR(hole.LocalToWorld(EPoint()).GetX(), nominal.GetX(), 1e-4);
    EXPECT_NEAR(hole.LocalToWorld(EPoint()).GetY(), nominal.GetY(), 1e-4);
  }
}

TEST(GaugeTree, EveryDrawingModeDrawsWhatItShows) {
  EImage<EBW8> image = gauge_test::DiscImage(200, 200, 100, 100, 50, 160, 40);
  ECircleGauge circle;
  circle.Set(EPoint(100, 100), 100, 0.0f, 1);
  circle.AddSkipRange(0, 2);
  circle.SetNumFilteringPasses(1);
  circle.SetFilteringThreshold(1);
  circle.SetName("C");
  circle.SetLabeled(1, 0);
  circle.SetDragable(1, 0);
  ELineGauge line;
  line.Set(EPoint(100, 50), 60, 0);
  line.SetThickness(3);
  line.SetName("L");
  line.SetLabeled(1, 0);
  line.SetOptionalDraw(1, 0);
  circle.Measure(&image);
  line.Measure(&image);
  ASSERT_TRUE(circle.GetFound() && line.GetFound());
  unsigned filtered = 0;
  for (unsigned i = 0; i < circle.GetNumSamples(); ++i) filtered += circle.GetSample(i).FilteredOut;
  ASSERT_GT(filtered, 0u);

  for (int mode = 0; mode <= 8; ++mode) {
    shape_test::RecordingAdapter c, l;
    circle.Draw(&c, INS_DRAWING_MODES(mode), 0);
    line.Draw(&l, INS_DRAWING_MODES(mode), 0);
    const size_t circleLines = c.Count("line"), lineLines = l.Count("line");
    switch (mode) {
      case 0:  // nominal, two band arcs, two band handles, shape handle; no label
        EXPECT_GT(circleLines, 50u);
        EXPECT_EQ(c.Count("fill"), 3u);
        EXPECT_EQ(c.texts.size(), 0u);
        EXPECT_GE(lineLines, 3u + 3u);  // segment, band, pictogram
        break;
      case 1:
        EXPECT_EQ(c.texts.size(), 1u);
        ASSERT_EQ(l.texts.size(), 1u);
        EXPECT_EQ(l.texts[0].substr(0, 4), "L\n( ");
        EXPECT_NE(l.texts[0].find(" deg\n60.0 mm\n"), std::string::npos) << l.texts[0];
        break;
      case 3:  // one band outline per profile for the line, one segment per profile
        EXPECT_EQ(circleLines, circle.GetNumSamples());
        EXPECT_EQ(lineLines, 4u * line.GetNumSamples());
        break;
      case 5: EXPECT_EQ(circleLines, 2u * 3u); break;
      case 6: EXPECT_EQ(circleLines, 2u * circle.GetNumValidSamples()); break;
      case 8: EXPECT_EQ(circleLines, 2u * filtered); break;
      default: EXPECT_EQ(circleLines + lineLines, 0u) << mode;
    }
  }
  // The image and vector surfaces take every mode.
  EImage<EC24> canvas(200, 200);
  Quarnel::ImageDrawAdapter pixels(&canvas);
  Quarnel::SvgDrawAdapter svg(200, 200);
  for (int mode = 0; mode <= 8; ++mode) {
    circle.Draw(&pixels, INS_DRAWING_MODES(mode), 1);
    line.Draw(&svg, INS_DRAWING_MODES(mode), 1);
  }
  EXPECT_GT(svg.GetDocument().size(), 2000u);
  EXPECT_EQ(EGetError(), E_OK);
}

}  // namespace
