// Frames along the hierarchy, conversions through a calibrated world, display mapping.
#include <algorithm>
#include <cmath>

#include "shape_test_support.h"

using shape_test::Settings;

namespace {

struct Similarity {
  double cx, cy, angle, scale;  // angle in radians
  void Apply(double& x, double& y) const {
    double c = std::cos(angle), s = std::sin(angle);
    double nx = cx + scale * (c * x - s * y);
    double ny = cy + scale * (s * x + c * y);
    x = nx;
    y = ny;
  }
};

const double kDeg = 3.14159265358979323846 / 180.0;

}  // namespace

TEST(ShapeFrames, ChainOfFramesMatchesComposedTransforms) {
  Settings settings;
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
  EWorldShape world(0, 0, 0, 1, 100, 100);
  EFrameShape f1(100, 50, 30, 2, 10, 10);
  EFrameShape f2(10, -5, -45, 0.5f, 10, 10);
  ERectangleShape r(3, 4, 20, 10, 60);
  EPointShape p(-2, 7);
  f1.Attach(&world);
  f2.Attach(&f1);
  r.Attach(&f2);
  p.Attach(&r);
  const Similarity chain[4] = {
      {-2, 7, 0, 1}, {3, 4, 60 * kDeg, 1}, {10, -5, -45 * kDeg, 0.5}, {100, 50, 30 * kDeg, 2}};
  const double local[3][2] = {{0, 0}, {1.5, -2.25}, {-30, 12}};
  for (const auto& q : local) {
    double x = q[0], y = q[1];
    for (const auto& t : chain) t.Apply(x, y);
    EPoint w = p.LocalToWorld(EPoint(float(q[0]), float(q[1])));
    EXPECT_NEAR(w.GetX(), x, 1e-3);
    EXPECT_NEAR(w.GetY(), y, 1e-3);
    EPoint back = p.WorldToLocal(w);
    EXPECT_NEAR(back.GetX(), q[0], 1e-3);
    EXPECT_NEAR(back.GetY(), q[1], 1e-3);
  }
  // The placement values themselves are untouched by the conversions.
  EXPECT_FLOAT_EQ(p.GetX(), -2);
  EXPECT_FLOAT_EQ(f2.GetScale(), 0.5f);
  // A geometry setter re-places every descendant.
  f1.SetCenter(0, 0);
  double x = 0, y = 0;
  Similarity moved[4] = {chain[0], chain[1], chain[2], {0, 0, 30 * kDeg, 2}};
  for (const auto& t : moved) t.Apply(x, y);
  EPoint w = p.LocalToWorld(EPoint(0, 0));
  EXPECT_NEAR(w.GetX(), x, 1e-3);
  EXPECT_NEAR(w.GetY(), y, 1e-3);
}

TEST(ShapeFrames, PointUnderFrameUnderVimoWorld) {
  EFrameShape f(100, 0, 0, 1, 10, 10);
  EPointShape p(10, 0);
  p.Attach(&f);
  EPoint w = p.LocalToWorld(EPoint(0, 0));
  EXPECT_FLOAT_EQ(w.GetX(), 110);
  EXPECT_FLOAT_EQ(w.GetY(), 0);
  EXPECT_FLOAT_EQ(p.GetX(), 10);
  EPoint s = p.LocalToSensor(EPoint(0, 0));
  EXPECT_FLOAT_EQ(s.GetX(), 110);
}

TEST(ShapeFrames, SkewedThenTiltedWorld) {
  Settings settings;
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
  EWorldShape world(0, 0, 0, 1, 100, 100);
  world.SetCalibrationModes(E_CALIBRATION_SCALED | E_CALIBRATION_SKEWED);
  world.SetCenter(320, 240);
  world.SetScale(4);
  world.SetAngle(20);
  EFrameShape f(10, 5, 15, 1.5f, 10, 10);
  ELineShape line(2, 3, 10, 0);
  f.Attach(&world);
  line.Attach(&f);
  const Similarity chain[2] = {{2, 3, 0, 1}, {10, 5, 15 * kDeg, 1.5}};
  double x = 1, y = -1;
  for (const auto& t : chain) t.Apply(x, y);
  // Skewed model, written out: X = s(cos a x - sin a y) + Cx, Y = s(sin a x + cos a y) + Cy.
  double a = 20 * kDeg, sc = 4;
  double ex = sc * (std::cos(a) * x - std::sin(a) * y) + 320;
  double ey = sc * (std::sin(a) * x + std::cos(a) * y) + 240;
  EPoint s = line.LocalToSensor(EPoint(1, -1));
  EXPECT_NEAR(s.GetX(), ex, 2e-3);
  EXPECT_NEAR(s.GetY(), ey, 2e-3);
  EPoint back = line.SensorToLocal(s);
  EXPECT_NEAR(back.GetX(), 1, 1e-3);
  EXPECT_NEAR(back.GetY(), -1, 1e-3);
  // Tilted: the world model is a black box here, the frame chain is composed independently.
  world.SetPerspective(10, -5, 0.001f);
  EPoint expected = world.WorldToSensor(EPoint(float(x), float(y)));
  s = line.LocalToSensor(EPoint(1, -1));
  EXPECT_NEAR(s.GetX(), expected.GetX(), 1e-3);
  EXPECT_NEAR(s.GetY(), expected.GetY(), 1e-3);
  EXPECT_GT(std::fabs(s.GetX() - ex) + std::fabs(s.GetY() - ey), 1e-2);
  back = line.SensorToLocal(s);
  EXPECT_NEAR(back.GetX(), 1, 1e-2);
  EXPECT_NEAR(back.GetY(), -1, 1e-2);
}

TEST(ShapeFrames, DisplayMappingWithPanZoomAndFloor) {
  Settings settings;
  EWorldShape world(0, 0, 0, 1, 100, 100);
  world.SetCalibrationModes(E_CALIBRATION_RAW);
  EPointShape p(0, 0);
  p.Attach(&world);
  int x, y;
  p.LocalToDisplay(EPoint(10.4f, 3.6f), x, y);
  EXPECT_EQ(x, 10);
  EXPECT_EQ(y, 4);
  EPoint back = p.DisplayToLocal(10, 4);
  EXPECT_FLOAT_EQ(back.GetX(), 10);
  EXPECT_FLOAT_EQ(back.GetY(), 4);
  // Floor rounds towards minus infinity.
  p.LocalToDisplay(EPoint(-0.7f, -1.2f), x, y);
  EXPECT_EQ(x, -1);
  EXPECT_EQ(y, -1);
  p.SetZoom(2, 0);
  EXPECT_FLOAT_EQ(world.GetZoomY(), 2);
  p.SetPan(10, -5);
  EXPECT_FLOAT_EQ(p.GetPanX(), 10);
  p.LocalToDisplay(EPoint(3.3f, 7.1f), x, y);
  EXPECT_EQ(x, int(std::floor((3.3 + 10 + 0.5) * 2)));
  EXPECT_EQ(y, int(std::floor((7.1 - 5 + 0.5) * 2)));
  back = p.DisplayToLocal(x, y);
  EXPECT_NEAR(back.GetX(), (x + 0.5) / 2 - 0.5 - 10, 1e-5);
  EXPECT_NEAR(back.GetY(), (y + 0.5) / 2 - 0.5 + 5, 1e-5);
  // Bad zooms are refused; NaN and huge coordinates stay inside the integer range.
  EOk();
  world.SetZoom(0, 1);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  world.SetZoom(std::nanf(""), 1);
  EXPECT_FLOAT_EQ(world.GetZoomX(), 2);
  EOk();
  p.LocalToDisplay(EPoint(std::nanf(""), 0), x, y);
  EXPECT_EQ(x, -1073741824);
  p.LocalToDisplay(EPoint(1e30f, -1e30f), x, y);
  EXPECT_EQ(x, 1073741824);
  EXPECT_EQ(y, -1073741824);
  // Lines and circles.
  world.SetZoom(1, 1);
  world.SetPan(0, 0);
  int x0, y0, x1, y1;
  p.LocalToDisplay(ELine(EPoint(5, 5), 10, 0), x0, y0, x1, y1);
  EXPECT_EQ(x0, 0);
  EXPECT_EQ(x1, 10);
  EXPECT_EQ(y0, 5);
  p.LocalToDisplay(ECircle(EPoint(20, 20), 10, 0, 1), x0, y0, x1, y1);
  EXPECT_EQ(x0, 15);
  EXPECT_EQ(y0, 15);
  EXPECT_EQ(x1, 25);
  EXPECT_EQ(y1, 25);
}

TEST(ShapeFrames, WorldCacheClearedOnReparenting) {
  EWorldShape w1(0, 0, 0, 1, 10, 10), w2(0, 0, 0, 1, 10, 10);
  w2.SetPan(7, 0);
  EFrameShape f;
  EPointShape p;
  f.Attach(&w1);
  p.Attach(&f);
  EXPECT_EQ(p.GetWorldShape(), &w1);
  f.Attach(&w2);
  EXPECT_EQ(p.GetWorldShape(), &w2);
  EXPECT_FLOAT_EQ(p.GetPanX(), 7);
  // Destroying a world shape hands its daughters to VimoWorld, with fresh caches.
  {
    EWorldShape w3(0, 0, 0, 1, 10, 10);
    f.Attach(&w3);
    EXPECT_EQ(p.GetWorldShape(), &w3);
  }
  EXPECT_EQ(f.GetMother(), static_cast<EShape*>(&VimoWorld));
  EXPECT_EQ(p.GetWorldShape(), &VimoWorld);
}

TEST(ShapeFrames, JoiningInvalidatesFramesValidatedWithoutWorldLookup) {
  EFrameShape m1(100, 0, 0, 1, 10, 10), m2(0, 100, 0, 1, 10, 10);
  EFrameShape s(1, 0, 0, 1, 10, 10);
  EPointShape d(0, 1);
  s.Attach(&m1);
  d.Attach(&s);
  // Frames validated through LocalToWorld only: no world cache anywhere below m1.
  EXPECT_FLOAT_EQ(s.LocalToWorld(EPoint(0, 0)).GetX(), 101);
  EXPECT_FLOAT_EQ(d.LocalToWorld(EPoint(0, 0)).GetX(), 101);
  s.Attach(&m2);
  EPoint ws = s.LocalToWorld(EPoint(0, 0));
  EPoint wd = d.LocalToWorld(EPoint(0, 0));
  EXPECT_FLOAT_EQ(ws.GetX(), 1);
  EXPECT_FLOAT_EQ(ws.GetY(), 100);
  EXPECT_FLOAT_EQ(wd.GetX(), 1);
  EXPECT_FLOAT_EQ(wd.GetY(), 101);
  // The same through indexed attach and detach.
  m1.SetIndexed(2);
  s.AttachIndexed(&m1, 1);
  EXPECT_FLOAT_EQ(d.LocalToWorld(EPoint(0, 0)).GetX(), 101);
  s.Detach();
  EXPECT_FLOAT_EQ(d.LocalToWorld(EPoint(0, 0)).GetX(), 1);
  EXPECT_FLOAT_EQ(d.LocalToWorld(EPoint(0, 0)).GetY(), 1);
}

TEST(ShapeFrames, InvalidateWorldAndRootFrames) {
  EFrameShape root(50, 50, 0, 2, 10, 10, 1);
  EPointShape p(1, 1);
  p.Attach(&root);
  // Without a world the identity calibration applies.
  EPoint s = p.LocalToSensor(EPoint(0, 0));
  EXPECT_FLOAT_EQ(s.GetX(), 52);
  int x, y;
  p.LocalToDisplay(EPoint(0, 0), x, y);
  EXPECT_EQ(x, 52);
  EXPECT_FLOAT_EQ(p.GetZoomX(), 1);
  p.SetZoom(3, 3);  // no world: nothing to change
  EXPECT_FLOAT_EQ(p.GetZoomX(), 1);
  root.Attach(&VimoWorld);
  EXPECT_EQ(p.GetWorldShape(), &VimoWorld);
  p.InvalidateWorld();
  EXPECT_EQ(p.GetWorldShape(), &VimoWorld);
  // A scale of 0 in the chain: the frame reports a singular matrix, nothing crashes.
  EOk();
  root.SetScale(0);
  p.LocalToWorld(EPoint(1, 1));
  EXPECT_EQ(EGetError(), E_ERROR_SINGULAR_MATRIX);
  EOk();
}

TEST(ShapeFrames, SelectUsesDisplayPositionOfOrigin) {
  Settings settings;
  EFrameShape m(0, 0, 0, 1, 10, 10);
  EPointShape a(10, 10), b(50, 50);
  a.Attach(&m);
  b.Attach(&m);
  m.Select(5, 5, 20, 20, 1);
  EXPECT_TRUE(a.GetSelected());
  EXPECT_FALSE(b.GetSelected());
  EXPECT_FALSE(m.GetSelected());
  m.Select(0, 0, 100, 100, 0);
  EXPECT_TRUE(m.GetSelected());
  EXPECT_TRUE(b.GetSelected() == 0);
}

TEST(ShapeFrames, SettersStillReachDaughtersAfterInvalidateWorld) {
  // The mother's world is looked up, the daughter's frame is validated without one; clearing
  // the mother's world cache must not leave the daughter's frame valid beneath an invalid
  // mother, or the next move of the mother would not reach it.
  EFrameShape m(100, 0, 0, 1, 10, 10);
  EPointShape d(5, 0);
  d.Attach(&m);
  EXPECT_EQ(m.GetWorldShape(), &VimoWorld);
  EXPECT_FLOAT_EQ(d.LocalToWorld(EPoint(0, 0)).GetX(), 105);
  m.InvalidateWorld();
  m.SetCenter(200, 0);
  EXPECT_FLOAT_EQ(d.LocalToWorld(EPoint(0, 0)).GetX(), 205);
  // The world caches are still rebuilt on demand.
  EXPECT_EQ(d.GetWorldShape(), &VimoWorld);
  EXPECT_EQ(m.GetWorldShape(), &VimoWorld);
}

TEST(ShapeFrames, CircleDisplayBoxThroughATurnedScaledWorld) {
  // A similarity world (scale 4, turned by 30 degrees, centre (320, 240)) maps a world circle
  // of radius 5 onto a sensor circle of radius 20 about the mapped centre, whatever the turn:
  // the display box is that centre plus and minus 20 through pan and zoom, its y values put
  // in order when the zoom turns y over.
  Settings settings;
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
  EWorldShape world(0, 0, 0, 1, 100, 100);
  world.SetCalibrationModes(E_CALIBRATION_SCALED | E_CALIBRATION_SKEWED);
  world.SetCenter(320, 240);
  world.SetScale(4);
  world.SetAngle(30);
  EFrameShape f(10, 0, 0, 1, 10, 10);
  f.Attach(&world);
  double a = 30 * kDeg;
  double cx = 4 * (std::cos(a) * 10) + 320, cy = 4 * (std::sin(a) * 10) + 240;
  for (float zoomY : {3.0f, -3.0f}) {
    world.SetZoom(2, zoomY);
    world.SetPan(3, -7);
    int x0, y0, x1, y1;
    f.LocalToDisplay(ECircle(EPoint(0, 0), 10, 0, 1), x0, y0, x1, y1);
    EXPECT_EQ(x0, int(std::floor((cx - 20 + 3 + 0.5) * 2)));
    EXPECT_EQ(x1, int(std::floor((cx + 20 + 3 + 0.5) * 2)));
    int ya = int(std::floor((cy - 20 - 7 + 0.5) * zoomY));
    int yb = int(std::floor((cy + 20 - 7 + 0.5) * zoomY));
    EXPECT_EQ(y0, std::min(ya, yb)) << zoomY;
    EXPECT_EQ(y1, std::max(ya, yb)) << zoomY;
  }
}
