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
const float kInf = std::numeric_limits<float>::infinity();

void ExpectNear(const EPoint& p, float x, float y, float tol = 1e-5f) {
  EXPECT_NEAR(p.GetX(), x, tol);
  EXPECT_NEAR(p.GetY(), y, tol);
}
}  // namespace

TEST_F(GeometryTest, CircleFullFromCentreAndDiameter) {
  ECircle c(EPoint(1, 2), 10.0f, 0.0f, 1);
  EXPECT_EQ(c.GetRadius(), 5.0f);
  EXPECT_EQ(c.GetDiameter(), 10.0f);
  ESetAngleUnit(E_ANGLE_UNIT_RADIANS);
  EXPECT_EQ(c.GetAmplitude(), kTwoPi);
  EXPECT_EQ(c.GetFull(), 1);
  EXPECT_EQ(c.GetDirect(), 1);
  EXPECT_FLOAT_EQ(c.GetArcLength(), 10 * kPi);
  ECircle r(EPoint(0, 0), 4.0f, 90.0f, 0);
  EXPECT_EQ(r.GetFull(), 1);
  EXPECT_EQ(r.GetDirect(), 0);
  EXPECT_EQ(r.GetAmplitude(), -kTwoPi);
}

TEST_F(GeometryTest, CircleAmplitudeSnapsOnlyNearAFullTurn) {
  ECircle c(EPoint(0, 0), 2.0f, 0.0f, 360.0f);
  EXPECT_EQ(c.GetFull(), 1);
  c.Set(EPoint(0, 0), 2.0f, 0.0f, -360.0f);
  EXPECT_EQ(c.GetFull(), 1);
  EXPECT_EQ(c.GetDirect(), 0);
  c.Set(EPoint(0, 0), 2.0f, 0.0f, 359.9962f);  // 0.0000663 rad short: snaps
  EXPECT_EQ(c.GetFull(), 1);
  c.Set(EPoint(0, 0), 2.0f, 0.0f, 359.99f);  // 0.000175 rad short: stays an arc
  EXPECT_EQ(c.GetFull(), 0);
  c.Set(EPoint(0, 0), 2.0f, 0.0f, 359.0f);
  EXPECT_EQ(c.GetFull(), 0);
  EXPECT_NEAR(c.GetAmplitude(), 359.0f, 1e-3f);
  ESetAngleUnit(E_ANGLE_UNIT_RADIANS);
  c.Set(EPoint(0, 0), 2.0f, 0.0f, 6.28315f);
  EXPECT_EQ(c.GetFull(), 1);
  // SetAmplitude takes radians whatever the unit and does not snap.
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
  c.SetAmplitude(3.1415927f);
  EXPECT_FLOAT_EQ(c.GetAmplitude(), 180.0f);
  c.SetAmplitude(6.28315f);
  EXPECT_EQ(c.GetFull(), 0);
}

TEST_F(GeometryTest, CircleFromCentreAndOrigin) {
  ECircle c(EPoint(1, 1), EPoint(1, 4), 0);
  EXPECT_FLOAT_EQ(c.GetRadius(), 3.0f);
  EXPECT_FLOAT_EQ(c.GetOrgAngle(), 90.0f);
  EXPECT_EQ(c.GetFull(), 1);
  EXPECT_EQ(c.GetDirect(), 0);
  ExpectNear(c.GetOrg(), 1, 4);
  // Equal points: radius 0, origin angle 0.
  ECircle z(EPoint(2, 2), EPoint(2, 2), 1);
  EXPECT_EQ(z.GetRadius(), 0.0f);
  EXPECT_EQ(z.GetOrgAngle(), 0.0f);
  EXPECT_EQ(EGetError(), E_OK);
}

TEST_F(GeometryTest, CircleThroughThreePointsSenseAndAmplitude) {
  ECircle c(EPoint(2, 0), EPoint(1, 1), EPoint(0, 0), 0);
  ExpectNear(c.GetCenter(), 1, 0);
  EXPECT_FLOAT_EQ(c.GetRadius(), 1.0f);
  EXPECT_NEAR(c.GetOrgAngle(), 0.0f, 1e-4f);
  EXPECT_NEAR(c.GetAmplitude(), 180.0f, 1e-4f);
  ExpectNear(c.GetApex(), 1, 1);
  c.Set(EPoint(2, 0), EPoint(1, 1), EPoint(0, 0), 1);
  ESetAngleUnit(E_ANGLE_UNIT_RADIANS);
  EXPECT_EQ(c.GetAmplitude(), kTwoPi);
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);

  ECircle r(EPoint(0, 0), EPoint(1, 1), EPoint(2, 0), 0);
  EXPECT_NEAR(r.GetOrgAngle(), 180.0f, 1e-4f);
  EXPECT_NEAR(r.GetAmplitude(), -180.0f, 1e-4f);
  ExpectNear(r.GetApex(), 1, 1);
  r.Set(EPoint(0, 0), EPoint(1, 1), EPoint(2, 0), 1);
  EXPECT_EQ(r.GetFull(), 1);
  EXPECT_EQ(r.GetDirect(), 0);
}

TEST_F(GeometryTest, CircleThroughThreePointsLongAndShortArcs) {
  // Three points on the circle of centre (3, -2) and radius 5 at 10, 200 and 300 degrees: the
  // arc from 10 through 200 to 300 turns directly by 290 degrees.
  auto on = [](float deg) {
    float a = deg * kPi / 180.0f;
    return EPoint(3 + 5 * std::cos(a), -2 + 5 * std::sin(a));
  };
  ECircle c(on(10), on(200), on(300), 0);
  ExpectNear(c.GetCenter(), 3, -2, 1e-4f);
  EXPECT_NEAR(c.GetRadius(), 5.0f, 1e-4f);
  EXPECT_NEAR(c.GetOrgAngle(), 10.0f, 1e-3f);
  EXPECT_NEAR(c.GetAmplitude(), 290.0f, 1e-3f);
  ExpectNear(c.GetEnd(), on(300).GetX(), on(300).GetY(), 1e-4f);
  // Through 330 instead, the arc turns backwards by 70 degrees.
  ECircle d(on(10), on(330), on(300), 0);
  EXPECT_NEAR(d.GetAmplitude(), -70.0f, 1e-3f);
  EXPECT_EQ(d.GetDirect(), 0);
  // The apex lies on the circle between origin and end, on the side of the middle point.
  ExpectNear(d.GetApex(), on(335).GetX(), on(335).GetY(), 1e-4f);
}

TEST_F(GeometryTest, CircleThroughDegeneratePointsIsRejected) {
  ECircle c(EPoint(5, 5), 4.0f, 30.0f, 1);
  const ECircle before = c;
  c.Set(EPoint(0, 0), EPoint(1, 1), EPoint(2, 2), 0);  // collinear
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_STREQ(EGetErrorTrace(), "ECircle::Set\n");
  EXPECT_EQ(c.GetCenter(), before.GetCenter());
  EXPECT_EQ(c.GetRadius(), 2.0f);
  EXPECT_EQ(c.GetFull(), 1);
  EOk();
  c.Set(EPoint(1, 1), EPoint(1, 1), EPoint(3, 0), 1);  // first two equal
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EOk();
  c.Set(EPoint(1, 1), EPoint(3, 0), EPoint(1, 1), 0);  // first and last equal
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EOk();
  c.Set(EPoint(kNaN, 1), EPoint(3, 0), EPoint(0, 4), 0);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EOk();
  c.Set(EPoint(kInf, 1), EPoint(3, 0), EPoint(0, 4), 0);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(c.GetCenter(), before.GetCenter());
  EXPECT_FALSE(std::isnan(c.GetRadius()));
  EOk();
  // Constructed from degenerate points: the default circle.
  ECircle d(EPoint(0, 0), EPoint(0, 0), EPoint(0, 0), 0);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(d.GetRadius(), 0.0f);
  EXPECT_EQ(d.GetAmplitude(), 0.0f);
}

TEST_F(GeometryTest, CirclePointsAndAngles) {
  ECircle c(EPoint(1, 1), 4.0f, 90.0f, 180.0f);
  ExpectNear(c.GetOrg(), 1, 3);
  ExpectNear(c.GetApex(), -1, 1);
  ExpectNear(c.GetEnd(), 1, -1);
  ExpectNear(c.GetPoint(-1), c.GetOrg().GetX(), c.GetOrg().GetY());
  ExpectNear(c.GetPoint(0), c.GetApex().GetX(), c.GetApex().GetY());
  ExpectNear(c.GetPoint(1), c.GetEnd().GetX(), c.GetEnd().GetY());
  ExpectNear(c.GetPoint(3), 1, 3);  // continues round the circle
  EXPECT_FLOAT_EQ(c.GetApexAngle(), 180.0f);
  EXPECT_FLOAT_EQ(c.GetEndAngle(), 270.0f);  // not wrapped
  EXPECT_FLOAT_EQ(c.GetArcLength(), 2 * kPi);
  // Origin angle wraps like the frame angle; apex and end are not wrapped.
  c.Set(EPoint(0, 0), 2.0f, 270.0f, 180.0f);
  EXPECT_FLOAT_EQ(c.GetOrgAngle(), -90.0f);
  EXPECT_FLOAT_EQ(c.GetEndAngle(), 450.0f);
  EXPECT_FLOAT_EQ(c.GetArcLength(), kPi);  // negative amplitude or not, a length
  c.SetAmplitude(-kPi);
  EXPECT_FLOAT_EQ(c.GetArcLength(), kPi);
  c.SetRadius(3);
  EXPECT_EQ(c.GetDiameter(), 6.0f);
  c.SetDiameter(3);
  EXPECT_EQ(c.GetRadius(), 1.5f);
}

TEST_F(GeometryTest, CircleToCircleDistance) {
  ECircle a(EPoint(0, 0), 2.0f, 0.0f, 1), b(EPoint(5, 0), 2.0f, 0.0f, 1);
  EXPECT_FLOAT_EQ(a.Distance(b), 3.0f);
  ECircle c(EPoint(1, 0), 2.0f, 0.0f, 1);
  EXPECT_EQ(a.Distance(c), 0.0f);
  ECircle arc(EPoint(5, 0), 2.0f, 0.0f, 10.0f);  // arcs count as full circles
  EXPECT_FLOAT_EQ(a.Distance(arc), 3.0f);
  EXPECT_FLOAT_EQ(a.Distance(EPoint(3, 4)), 5.0f);  // the point distance stays reachable
}

TEST_F(GeometryTest, PointDistanceToCircleAndArc) {
  ECircle full(EPoint(0, 0), 4.0f, 0.0f, 1);
  EXPECT_FLOAT_EQ(EPoint(3, 4).Distance(full, 0), 3.0f);
  EXPECT_FLOAT_EQ(EPoint(0.5f, 0).Distance(full, 1), 1.5f);  // full circle: arc flag ignored
  // Upper half, direct: from (2, 0) through (0, 2) to (-2, 0).
  ECircle upper(EPoint(0, 0), 4.0f, 0.0f, 180.0f);
  EXPECT_FLOAT_EQ(EPoint(0, 5).Distance(upper, 1), 3.0f);  // within the arc's sector
  // Below the arc, nearer the origin end: distance to the origin point (2, 0).
  EXPECT_FLOAT_EQ(EPoint(3, -1).Distance(upper, 1), std::sqrt(2.0f));
  EXPECT_FLOAT_EQ(EPoint(3, -1).Distance(upper, 0), std::sqrt(10.0f) - 2.0f);
  // The same half traced backwards: origin (-2, 0), amplitude -180.
  ECircle backwards(EPoint(0, 0), 4.0f, 180.0f, -180.0f);
  EXPECT_FLOAT_EQ(EPoint(3, -1).Distance(backwards, 1), std::sqrt(2.0f));
  EXPECT_FLOAT_EQ(EPoint(0, 5).Distance(backwards, 1), 3.0f);
  // A backwards arc whose origin angle is stored outside (-180, 180]: the sense still comes from
  // the amplitude.
  ECircle stored(EPoint(0, 0), 4.0f, 540.0f, -180.0f);
  EXPECT_FLOAT_EQ(EPoint(0, 5).Distance(stored, 1), 3.0f);
  EXPECT_TRUE(std::isnan(EPoint(kNaN, 0).Distance(upper, 1)));
}

// Distance to an arc by brute force: the nearest of many points along it.
float ArcDistanceBySampling(const EPoint& p, const ECircle& arc) {
  float best = std::numeric_limits<float>::max();
  for (int i = 0; i <= 4000; ++i)
    best = std::min(best, p.Distance(arc.GetPoint(-1.0f + i / 2e3f)));
  return best;
}

TEST_F(GeometryTest, PointDistanceToShortArcsBesideTheirEnds) {
  // A quarter arc from (1, 0) to (0, 1): the point (-1, 0) lies on the circle but a quarter turn
  // past the end, at sqrt 2 from the nearest end point.
  ECircle quarter(EPoint(0, 0), 2.0f, 0.0f, 90.0f);
  EXPECT_FLOAT_EQ(EPoint(-1, 0).Distance(quarter, 1), std::sqrt(2.0f));
  EXPECT_FLOAT_EQ(EPoint(0, -1).Distance(quarter, 1), std::sqrt(2.0f));
  EXPECT_FLOAT_EQ(EPoint(-1, 0).Distance(quarter, 0), 0.0f);
  // Every direction around arcs of both senses and several spans, near and far from the circle.
  for (float amplitude : {30.0f, -30.0f, 90.0f, -135.0f, 179.0f, 200.0f, -300.0f}) {
    const ECircle arc(EPoint(2, -1), 6.0f, 40.0f, amplitude);
    for (int k = 0; k < 36; ++k)
      for (float radius : {0.5f, 2.9f, 3.0f, 4.5f, 9.0f}) {
        const float a = k * 10.0f + 2.5f;
        const EPoint p(2 + radius * std::cos(a * kPi / 180), -1 + radius * std::sin(a * kPi / 180));
        EXPECT_NEAR(p.Distance(arc, 1), ArcDistanceBySampling(p, arc), 5e-3f)
            << "amplitude " << amplitude << " direction " << a << " radius " << radius;
      }
  }
}

TEST_F(GeometryTest, PointProjectOnCircle) {
  ECircle c(EPoint(1, 1), 4.0f, 0.0f, 1);
  ExpectNear(EPoint(1, 11).Project(c), 1, 3);
  ExpectNear(EPoint(4, 5).Project(c), 1 + 2 * 0.6f, 1 + 2 * 0.8f);
  EXPECT_EQ(c.GetCenter().Project(c), EPoint(3, 1));  // the centre projects to (K.x + r, K.y)
}

TEST_F(GeometryTest, FrameCircleToGlobalIsAFullCircle) {
  EFrame f(10, 0, 90, 2);
  f.ValidateFrame(nullptr);
  ECircle arc(EPoint(1, 0), 2.0f, 30.0f, -45.0f);
  ECircle g = f.LocalToGlobal(arc);
  ExpectNear(g.GetCenter(), 10, 2);
  EXPECT_NEAR(g.GetDiameter(), 4.0f, 1e-5f);
  EXPECT_NEAR(g.GetOrgAngle(), 30.0f, 1e-4f);
  EXPECT_EQ(g.GetFull(), 1);
  EXPECT_EQ(g.GetDirect(), 0);
}

TEST_F(GeometryTest, CircleCopies) {
  ECircle c(EPoint(1, 2), 6.0f, 30.0f, 45.0f);
  ECircle* d = c.CopyTo(nullptr);
  EXPECT_EQ(d->GetCenter(), c.GetCenter());
  EXPECT_EQ(d->GetRadius(), 3.0f);
  EXPECT_EQ(d->GetAmplitude(), c.GetAmplitude());
  EXPECT_EQ(d->GetOrgAngle(), c.GetOrgAngle());
  delete d;
  EXPECT_EQ(c.CopyTo(&c), &c);
  EXPECT_EQ(c.GetRadius(), 3.0f);
  EPoint* clone = c.CreatePointClone();
  ASSERT_NE(dynamic_cast<ECircle*>(clone), nullptr);
  EXPECT_EQ(dynamic_cast<ECircle*>(clone)->GetRadius(), 3.0f);
  delete clone;
}

// ---- record ----

namespace {
std::vector<uint8_t> CircleRecord(uint8_t version, float x, float y, float angle, float amplitude,
                                  float radius) {
  std::vector<uint8_t> b;
  PutU8(b, version);
  PutFrame(b, x, y, angle, 1.0f);
  PutF32(b, amplitude);
  PutF32(b, radius);
  return b;
}
}  // namespace

TEST_F(GeometryTest, CircleRecordBytes) {
  ECircle c(EPoint(1, -2), 8.0f, 90.0f, 0);
  FILE* f = std::tmpfile();
  c.Serialize(f, 1, 4);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(StreamBytes(f), CircleRecord(1, 1, -2, EToRadians(90), -kTwoPi, 4));
  std::fclose(f);

  FILE* in = StreamWith(CircleRecord(1, 3, 4, 0.5f, 1.25f, 7));
  ECircle r;
  r.Serialize(in, 0, 4);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(r.GetCenter(), EPoint(3, 4));
  EXPECT_EQ(r.GetRawAngle(), 0.5f);
  EXPECT_EQ(r.GetRadius(), 7.0f);
  ESetAngleUnit(E_ANGLE_UNIT_RADIANS);
  EXPECT_EQ(r.GetAmplitude(), 1.25f);
  std::fclose(in);
}

TEST_F(GeometryTest, CircleRecordFailures) {
  ECircle r(EPoint(0, 0), 2.0f, 0.0f, 1);
  FILE* in = StreamWith(CircleRecord(2, 3, 4, 0.5f, 1.25f, 7));
  r.Serialize(in, 0, 4);
  EXPECT_EQ(EGetError(), E_ERROR_VERSION_TOO_NEW);
  EXPECT_EQ(r.GetCenter(), EPoint(0, 0));
  std::fclose(in);
  EOk();
  // Cut inside the radius: amplitude read, radius unchanged.
  std::vector<uint8_t> b = CircleRecord(1, 3, 4, 0.5f, 1.25f, 7);
  b.resize(b.size() - 1);
  in = StreamWith(b);
  r.Serialize(in, 0, 4);
  EXPECT_EQ(EGetError(), E_ERROR_READ_FAILED);
  EXPECT_STREQ(EGetErrorTrace(), "ECircle::Serialize\n");
  EXPECT_EQ(r.GetRadius(), 1.0f);
  EXPECT_EQ(r.GetCenter(), EPoint(3, 4));
  std::fclose(in);
  EOk();
  FILE* ro = geometry_test::ReadOnlyStream();
  r.Serialize(ro, 1, 4);
  EXPECT_EQ(EGetError(), E_ERROR_WRITE_FAILED);
  std::fclose(ro);
  EMemSerializer mem;
  try {
    r.Serialize(&mem, 4);
    FAIL() << "no exception";
  } catch (const Quarnel::Vexlor::Exception& e) {
    EXPECT_EQ(e.GetCode(), E_ERROR_NOT_FILE_SERIALIZER);
  }
  std::vector<uint8_t> good = CircleRecord(1, 3, 4, 0.5f, 1.25f, 7);
  EMemSerializer memReader(good.data(), good.size());
  EXPECT_THROW(r.Serialize(&memReader, 4), Quarnel::Vexlor::Exception);
}
