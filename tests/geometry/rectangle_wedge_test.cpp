#include <cmath>
#include <limits>

#include "geometry_test_support.h"

using geometry_test::PutFrame;
using geometry_test::StreamBytes;
using geometry_test::StreamWith;
using vimo_test::PutF32;
using vimo_test::PutU8;

namespace {
const float kPi = 3.14159265f;
const float kTwoPi = 6.28318548f;
const float kNaN = std::numeric_limits<float>::quiet_NaN();

void ExpectNear(const EPoint& p, float x, float y, float tol = 1e-4f) {
  EXPECT_NEAR(p.GetX(), x, tol);
  EXPECT_NEAR(p.GetY(), y, tol);
}
void ExpectSame(const EPoint& p, const EPoint& q, float tol = 1e-4f) {
  ExpectNear(p, q.GetX(), q.GetY(), tol);
}
}  // namespace

// ---- rectangles ----

TEST_F(GeometryTest, RectangleCornersInOrder) {
  ERectangle r(EPoint(5, 2), 10, 4, 0);
  EPoint a, b, c, d;
  r.GetCorners(a, b, c, d);
  ExpectNear(a, 0, 0);
  ExpectNear(b, 10, 0);
  ExpectNear(c, 0, 4);
  ExpectNear(d, 10, 4);
  EXPECT_EQ(r.GetSizeX(), 10.0f);
  EXPECT_EQ(r.GetSizeY(), 4.0f);
  EXPECT_EQ(r.GetPoint(0, 0), EPoint(5, 2));
  ExpectSame(r.GetPoint(1, -1), b);
  ExpectNear(r.GetPoint(2, 0), 15, 2);  // extrapolates

  // Opposite corners in any order give the same rectangle.
  for (const ERectangle& s :
       {ERectangle(EPoint(10, 4), EPoint(0, 0)), ERectangle(EPoint(0, 4), EPoint(10, 0))}) {
    EXPECT_EQ(s.GetCenter(), EPoint(5, 2));
    EXPECT_EQ(s.GetSizeX(), 10.0f);
    EXPECT_EQ(s.GetSizeY(), 4.0f);
    EXPECT_EQ(s.GetAngle(), 0.0f);
  }
}

TEST_F(GeometryTest, RectangleRotatedPointsUseBothAxes) {
  ERectangle r(EPoint(1, 1), 4, 2, 90);  // X axis points up, Y axis points left
  ExpectNear(r.GetPoint(1, 0), 1, 3);
  ExpectNear(r.GetPoint(0, 1), 0, 1);
  ExpectNear(r.GetPoint(-1, -1), 2, -1);
  EPoint a, b, c, d;
  r.GetMidEdges(a, b, c, d);
  ExpectNear(a, 1, -1);
  ExpectNear(b, 1, 3);
  ExpectNear(c, 2, 1);
  ExpectNear(d, 0, 1);
  r.SetSize(8, 6);
  EXPECT_EQ(r.GetSizeX(), 8.0f);
  ExpectNear(r.GetPoint(1, 1), -2, 5);
}

TEST_F(GeometryTest, RectangleFromThreeCorners) {
  ERectangle r(EPoint(0, 0), EPoint(10, 0), EPoint(10, 4));
  ExpectNear(r.GetCenter(), 5, 2);
  EXPECT_EQ(r.GetAngle(), 0.0f);
  EXPECT_FLOAT_EQ(r.GetSizeX(), 10.0f);
  EXPECT_FLOAT_EQ(r.GetSizeY(), 4.0f);

  ERectangle s(EPoint(0, 0), EPoint(0, 10), EPoint(-4, 10));
  ExpectNear(s.GetCenter(), -2, 5);
  EXPECT_FLOAT_EQ(s.GetAngle(), 90.0f);
  EXPECT_FLOAT_EQ(s.GetSizeX(), 10.0f);
  EXPECT_FLOAT_EQ(s.GetSizeY(), 4.0f);
  // The given corners come back as (-1, -1), (+1, -1), (+1, +1).
  ExpectNear(s.GetPoint(-1, -1), 0, 0);
  ExpectNear(s.GetPoint(1, -1), 0, 10);
  ExpectNear(s.GetPoint(1, 1), -4, 10);

  // A slanted rectangle: corners on a 3-4-5 grid.
  ERectangle t(EPoint(1, 1), EPoint(4, 5), EPoint(0, 8));
  EXPECT_FLOAT_EQ(t.GetSizeX(), 5.0f);
  EXPECT_FLOAT_EQ(t.GetSizeY(), 5.0f);
  ExpectNear(t.GetPoint(1, 1), 0, 8);
  ExpectNear(t.GetPoint(-1, 1), -3, 4);

  // The scale is left alone by this form, reset by the others.
  ERectangle u;
  u.SetScale(3);
  u.Set(EPoint(0, 0), EPoint(1, 0), EPoint(1, 1));
  EXPECT_EQ(u.GetScale(), 3.0f);
  u.Set(EPoint(0, 0), EPoint(1, 1));
  EXPECT_EQ(u.GetScale(), 1.0f);
}

TEST_F(GeometryTest, RectangleDegenerateAndNonFiniteCorners) {
  ERectangle r(EPoint(2, 2), EPoint(2, 2), EPoint(2, 5));
  EXPECT_EQ(r.GetAngle(), 0.0f);
  EXPECT_EQ(r.GetSizeX(), 0.0f);
  EXPECT_FLOAT_EQ(r.GetSizeY(), 3.0f);
  ERectangle n(EPoint(kNaN, 0), EPoint(1, 0), EPoint(1, 1));
  EXPECT_TRUE(std::isnan(n.GetCenterX()));
  EXPECT_EQ(EGetError(), E_OK);
}

TEST_F(GeometryTest, RectangleEdgesRunBetweenCorners) {
  ERectangle r(EPoint(5, 2), 10, 4, 30);
  EPoint c00, c10, c01, c11;
  r.GetCorners(c00, c10, c01, c11);
  ELine a, b, c, d;
  r.GetEdges(a, b, c, d);
  ExpectSame(a.GetOrg(), c00);
  ExpectSame(a.GetEnd(), c01);
  ExpectSame(b.GetOrg(), c10);
  ExpectSame(b.GetEnd(), c11);
  ExpectSame(c.GetOrg(), c00);
  ExpectSame(c.GetEnd(), c10);
  ExpectSame(d.GetOrg(), c01);
  ExpectSame(d.GetEnd(), c11);
  EPoint m0, m1, m2, m3;
  r.GetMidEdges(m0, m1, m2, m3);
  ExpectSame(a.GetCenter(), m0);
  ExpectSame(d.GetCenter(), m3);
  EXPECT_NEAR(c.GetLength(), 10.0f, 1e-4f);
  EXPECT_NEAR(a.GetLength(), 4.0f, 1e-4f);
}

TEST_F(GeometryTest, RectangleCopies) {
  ERectangle r(EPoint(5, 2), 10, 4, 30);
  ERectangle* c = r.CopyTo(nullptr);
  EXPECT_EQ(c->GetCenter(), r.GetCenter());
  EXPECT_EQ(c->GetSizeX(), 10.0f);
  EXPECT_EQ(c->GetRawAngle(), r.GetRawAngle());
  delete c;
  EXPECT_EQ(r.CopyTo(&r), &r);
  EPoint* clone = r.CreatePointClone();
  ASSERT_NE(dynamic_cast<ERectangle*>(clone), nullptr);
  EXPECT_EQ(dynamic_cast<ERectangle*>(clone)->GetSizeY(), 4.0f);
  delete clone;
}

TEST_F(GeometryTest, RectangleRecord) {
  ERectangle r(EPoint(5, 2), 10, 4, 90);
  FILE* f = std::tmpfile();
  r.Serialize(f, 1, 4);
  std::vector<uint8_t> expected;
  PutU8(expected, 1);
  PutFrame(expected, 5, 2, EToRadians(90), 1);
  PutF32(expected, 5);
  PutF32(expected, 2);
  EXPECT_EQ(StreamBytes(f), expected);
  std::fclose(f);

  std::vector<uint8_t> stored;
  PutU8(stored, 1);
  PutFrame(stored, -1, 3, 0.25f, 2);
  PutF32(stored, 1.5f);
  PutF32(stored, 0.5f);
  FILE* in = StreamWith(stored);
  ERectangle s;
  s.Serialize(in, 0, 4);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(s.GetCenter(), EPoint(-1, 3));
  EXPECT_EQ(s.GetRawAngle(), 0.25f);
  EXPECT_EQ(s.GetScale(), 2.0f);
  EXPECT_EQ(s.GetSizeX(), 3.0f);
  EXPECT_EQ(s.GetSizeY(), 1.0f);
  std::fclose(in);

  // Cut after half size X: Y stays.
  stored.resize(stored.size() - 4);
  in = StreamWith(stored);
  ERectangle t(EPoint(0, 0), 8, 8, 0);
  t.Serialize(in, 0, 4);
  EXPECT_EQ(EGetError(), E_ERROR_READ_FAILED);
  EXPECT_STREQ(EGetErrorTrace(), "ERectangle::Serialize\n");
  EXPECT_EQ(t.GetSizeX(), 3.0f);
  EXPECT_EQ(t.GetSizeY(), 8.0f);
  std::fclose(in);
  EOk();

  stored[0] = 2;
  in = StreamWith(stored);
  t.Serialize(in, 0, 4);
  EXPECT_EQ(EGetError(), E_ERROR_VERSION_TOO_NEW);
  std::fclose(in);
  EOk();

  FILE* ro = geometry_test::ReadOnlyStream();
  t.Serialize(ro, 1, 4);
  EXPECT_EQ(EGetError(), E_ERROR_WRITE_FAILED);
  std::fclose(ro);

  EMemSerializer mem;
  try {
    t.Serialize(&mem, 4);
    FAIL() << "no exception";
  } catch (const Quarnel::Vexlor::Exception& e) {
    EXPECT_EQ(e.GetCode(), E_ERROR_NOT_FILE_SERIALIZER);
  }
}

// ---- wedges ----

TEST_F(GeometryTest, WedgeRadiusRules) {
  EWedge w;
  w.SetRadii(10, 5);
  EXPECT_EQ(w.GetInnerRadius(), 10.0f);
  EXPECT_EQ(w.GetOuterRadius(), 15.0f);
  EXPECT_EQ(w.GetBreadth(), -5.0f);
  EXPECT_EQ(w.GetFullBreadth(), 0);
  w.SetRadii(10, -5);
  EXPECT_EQ(w.GetInnerRadius(), 5.0f);
  EXPECT_EQ(w.GetOuterRadius(), 10.0f);
  EXPECT_EQ(w.GetBreadth(), -5.0f);
  w.SetRadii(10, 0);
  EXPECT_EQ(w.GetInnerRadius(), 10.0f);
  EXPECT_EQ(w.GetOuterRadius(), 10.0f);
  EXPECT_EQ(w.GetBreadth(), 0.0f);
  EXPECT_EQ(w.GetFullBreadth(), 0);  // zero breadth is not full breadth
  w.SetRadii(4, -4);                 // inward all the way: a pie slice
  EXPECT_EQ(w.GetFullBreadth(), 1);

  w.SetDiameters(20, 0);  // here breadth 0 means full breadth
  EXPECT_EQ(w.GetOuterRadius(), 10.0f);
  EXPECT_EQ(w.GetInnerRadius(), 0.0f);
  EXPECT_EQ(w.GetFullBreadth(), 1);
  EXPECT_EQ(w.GetOuterDiameter(), 20.0f);
  w.SetDiameters(20, 3);  // breadth is radial, not halved
  EXPECT_EQ(w.GetInnerRadius(), 10.0f);
  EXPECT_EQ(w.GetOuterRadius(), 13.0f);
  w.SetDiameters(20, -3);
  EXPECT_EQ(w.GetInnerRadius(), 7.0f);
  EXPECT_EQ(w.GetOuterRadius(), 10.0f);
  EXPECT_EQ(w.GetInnerDiameter(), 14.0f);

  w.SetRadii(10, kNaN);  // defined: the co-radius takes the NaN
  EXPECT_EQ(w.GetBreadth() == w.GetBreadth(), false);
  EXPECT_EQ(EGetError(), E_OK);
}

TEST_F(GeometryTest, WedgePointsAndConventions) {
  EWedge w(EPoint(1, 1), 20.0f, -5.0f, 90.0f, 90.0f);  // inner 5, outer 10, from 90 to 180
  ExpectNear(w.GetInnerOrg(), 1, 6);
  ExpectNear(w.GetOuterOrg(), 1, 11);
  ExpectNear(w.GetInnerEnd(), -4, 1);
  ExpectNear(w.GetOuterEnd(), -9, 1);
  ExpectSame(w.GetInnerPoint(0), w.GetInnerOrg());
  ExpectSame(w.GetInnerPoint(1), w.GetInnerEnd());
  ExpectSame(w.GetPoint(0, -1), w.GetInnerOrg());
  ExpectSame(w.GetPoint(1, 1), w.GetOuterEnd());
  ExpectSame(w.GetPoint(0, 0), w.GetInnerApex());
  ExpectSame(w.GetPoint(1, 0), w.GetOuterPoint(0.5f));
  const float h = std::sqrt(0.5f);
  ExpectNear(w.GetOuterApex(), 1 - 10 * h, 1 + 10 * h);
  ExpectNear(w.GetPoint(0.5f, 0), 1 - 7.5f * h, 1 + 7.5f * h);
  EXPECT_FLOAT_EQ(w.GetInnerArcLength(), 5 * kPi / 2);
  EXPECT_FLOAT_EQ(w.GetOuterArcLength(), 10 * kPi / 2);
  EXPECT_FLOAT_EQ(w.GetApexAngle(), 135.0f);
  EXPECT_FLOAT_EQ(w.GetEndAngle(), 180.0f);
  EXPECT_FLOAT_EQ(w.GetAmplitude(), 90.0f);
  EXPECT_EQ(w.GetDirect(), 1);
  EXPECT_EQ(w.GetFullCircle(), 0);

  EPoint a, b, c, d;
  w.GetCorners(a, b, c, d);
  ExpectSame(a, w.GetInnerOrg());
  ExpectSame(b, w.GetInnerEnd());
  ExpectSame(c, w.GetOuterOrg());
  ExpectSame(d, w.GetOuterEnd());
  w.GetMidEdges(a, b, c, d);
  ExpectNear(a, 1, 8.5f);
  ExpectNear(b, -6.5f, 1);
  ExpectSame(c, w.GetInnerApex());
  ExpectSame(d, w.GetOuterApex());

  // SetAmplitude takes the caller's unit (unlike the circle's).
  w.SetAmplitude(-45);
  EXPECT_FLOAT_EQ(w.GetAmplitude(), -45.0f);
  EXPECT_EQ(w.GetDirect(), 0);
  ExpectNear(w.GetOuterEnd(), 1 + 10 * h, 1 + 10 * h);
  w.SetAmplitude(359.9999f);  // no snapping here
  EXPECT_EQ(w.GetFullCircle(), 0);
}

TEST_F(GeometryTest, WedgeEdgesAreSidesAndArcs) {
  EWedge w(EPoint(0, 0), 20.0f, -5.0f, 0.0f, 90.0f);
  ELine a, b;
  ECircle c, d;
  w.GetEdges(a, b, c, d);
  ExpectNear(a.GetOrg(), 5, 0);
  ExpectNear(a.GetEnd(), 10, 0);
  ExpectNear(b.GetOrg(), 0, 5);
  ExpectNear(b.GetEnd(), 0, 10);
  EXPECT_FLOAT_EQ(c.GetRadius(), 10.0f);  // m_f32Radius: the outer arc after the setters
  EXPECT_FLOAT_EQ(d.GetRadius(), 5.0f);
  EXPECT_FLOAT_EQ(c.GetAmplitude(), 90.0f);
  EXPECT_EQ(d.GetOrgAngle(), 0.0f);
  ExpectSame(c.GetEnd(), w.GetOuterEnd());
  ExpectSame(d.GetApex(), w.GetInnerApex());
}

TEST_F(GeometryTest, WedgeFullCircleForms) {
  EWedge w(EPoint(0, 0), 10.0f, 0.0f, 0.0f, 1);
  EXPECT_EQ(w.GetFullCircle(), 1);
  ESetAngleUnit(E_ANGLE_UNIT_RADIANS);
  EXPECT_EQ(w.GetAmplitude(), kTwoPi);
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
  EXPECT_EQ(w.GetFullBreadth(), 1);
  w.Set(EPoint(0, 0), 10.0f, 0.0f, 0.0f, 0);
  EXPECT_EQ(w.GetFullCircle(), 1);
  EXPECT_EQ(w.GetDirect(), 0);
  w.Set(EPoint(0, 0), 10.0f, 2.0f, 0.0f, -359.9962f);  // snaps
  EXPECT_EQ(w.GetFullCircle(), 1);
  EXPECT_EQ(w.GetDirect(), 0);
  w.Set(EPoint(0, 0), 10.0f, 2.0f, 0.0f, 359.9f);
  EXPECT_EQ(w.GetFullCircle(), 0);

  EWedge o(EPoint(1, 1), EPoint(1, 4), -1.0f, 1);
  EXPECT_FLOAT_EQ(o.GetOuterRadius(), 3.0f);
  EXPECT_FLOAT_EQ(o.GetInnerRadius(), 2.0f);
  EXPECT_FLOAT_EQ(o.GetOrgAngle(), 90.0f);
  EXPECT_EQ(o.GetFullCircle(), 1);
  EWedge z(EPoint(1, 1), EPoint(1, 1), 0.0f, 1);  // equal points: a ring of radius 0
  EXPECT_EQ(z.GetOuterRadius(), 0.0f);
  EXPECT_EQ(z.GetOrgAngle(), 0.0f);
  EXPECT_EQ(EGetError(), E_OK);
}

TEST_F(GeometryTest, WedgeThroughThreePoints) {
  EWedge w(EPoint(2, 0), EPoint(1, 1), EPoint(0, 0), 0.5f, 0);
  ExpectNear(w.GetCenter(), 1, 0);
  EXPECT_FLOAT_EQ(w.GetInnerRadius(), 1.0f);
  EXPECT_FLOAT_EQ(w.GetOuterRadius(), 1.5f);
  EXPECT_NEAR(w.GetOrgAngle(), 0.0f, 1e-4f);
  EXPECT_NEAR(w.GetAmplitude(), 180.0f, 1e-4f);
  EWedge r(EPoint(0, 0), EPoint(1, 1), EPoint(2, 0), -0.5f, 1);
  EXPECT_NEAR(r.GetOrgAngle(), 180.0f, 1e-4f);
  EXPECT_EQ(r.GetFullCircle(), 1);
  EXPECT_EQ(r.GetDirect(), 0);
  EXPECT_FLOAT_EQ(r.GetInnerRadius(), 0.5f);

  EWedge before(EPoint(3, 3), 8.0f, -2.0f, 45.0f, 90.0f);
  EWedge d = before;
  d.Set(EPoint(0, 0), EPoint(1, 1), EPoint(3, 3), 1.0f, 0);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_STREQ(EGetErrorTrace(), "EWedge::Set\n");
  EXPECT_EQ(d.GetCenter(), before.GetCenter());
  EXPECT_EQ(d.GetOuterRadius(), 4.0f);
  EXPECT_EQ(d.GetAmplitude(), before.GetAmplitude());
  EOk();
  d.Set(EPoint(1, 1), EPoint(1, 1), EPoint(1, 1), 1.0f, 1);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EOk();
  d.Set(EPoint(kNaN, kNaN), EPoint(1, 0), EPoint(0, 1), 1.0f, 1);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(d.GetCenter(), before.GetCenter());
}

TEST_F(GeometryTest, WedgeCopies) {
  EWedge w(EPoint(1, 2), 20.0f, -5.0f, 30.0f, 60.0f);
  EWedge* c = w.CopyTo(nullptr);
  EXPECT_EQ(c->GetCenter(), w.GetCenter());
  EXPECT_EQ(c->GetInnerRadius(), 5.0f);
  EXPECT_EQ(c->GetOuterRadius(), 10.0f);
  EXPECT_EQ(c->GetAmplitude(), w.GetAmplitude());
  delete c;
  EXPECT_EQ(w.CopyTo(&w), &w);
  EPoint* clone = w.CreatePointClone();
  ASSERT_NE(dynamic_cast<EWedge*>(clone), nullptr);
  EXPECT_EQ(dynamic_cast<EWedge*>(clone)->GetBreadth(), -5.0f);
  delete clone;
}

TEST_F(GeometryTest, WedgeRecord) {
  EWedge w(EPoint(1, 2), 20.0f, -5.0f, 90.0f, 1);
  FILE* f = std::tmpfile();
  w.Serialize(f, 1, 4);
  std::vector<uint8_t> expected;
  PutU8(expected, 1);
  PutFrame(expected, 1, 2, EToRadians(90), 1);
  PutF32(expected, kTwoPi);
  PutF32(expected, 5);   // co-radius
  PutF32(expected, 10);  // radius
  EXPECT_EQ(StreamBytes(f), expected);
  std::fclose(f);

  std::vector<uint8_t> stored;
  PutU8(stored, 1);
  PutFrame(stored, -1, 3, 0.25f, 1);
  PutF32(stored, -1.5f);
  PutF32(stored, 7);  // stored the other way round: the getters still order them
  PutF32(stored, 2);
  FILE* in = StreamWith(stored);
  EWedge r;
  r.Serialize(in, 0, 4);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(r.GetCenter(), EPoint(-1, 3));
  EXPECT_EQ(r.GetInnerRadius(), 2.0f);
  EXPECT_EQ(r.GetOuterRadius(), 7.0f);
  EXPECT_EQ(r.GetBreadth(), 5.0f);
  ESetAngleUnit(E_ANGLE_UNIT_RADIANS);
  EXPECT_EQ(r.GetAmplitude(), -1.5f);
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
  std::fclose(in);

  stored.resize(stored.size() - 3);  // cut inside the radius
  in = StreamWith(stored);
  EWedge t(EPoint(0, 0), 40.0f, 0.0f, 0.0f, 1);
  t.Serialize(in, 0, 4);
  EXPECT_EQ(EGetError(), E_ERROR_READ_FAILED);
  EXPECT_EQ(t.GetOuterRadius(), 20.0f);  // radius unchanged, co-radius read (7)
  EXPECT_EQ(t.GetInnerRadius(), 7.0f);
  std::fclose(in);
  EOk();

  stored[0] = 9;
  in = StreamWith(stored);
  t.Serialize(in, 0, 4);
  EXPECT_EQ(EGetError(), E_ERROR_VERSION_TOO_NEW);
  EXPECT_STREQ(EGetErrorTrace(), "EWedge::Serialize\n");
  std::fclose(in);
  EOk();

  FILE* ro = geometry_test::ReadOnlyStream();
  t.Serialize(ro, 1, 4);
  EXPECT_EQ(EGetError(), E_ERROR_WRITE_FAILED);
  std::fclose(ro);

  EMemSerializer mem;
  try {
    t.Serialize(&mem, 4);
    FAIL() << "no exception";
  } catch (const Quarnel::Vexlor::Exception& e) {
    EXPECT_EQ(e.GetCode(), E_ERROR_NOT_FILE_SERIALIZER);
  }
}
