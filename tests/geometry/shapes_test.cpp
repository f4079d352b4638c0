// Lines, circles, rectangles and wedges: construction conventions, points, distances.
#include <algorithm>

#include "geometry_test_support.h"

using namespace geometry_test;

TEST_F(GeometryTest, LineFromOrgAndEndConventions) {
  struct Case {
    EPoint org, end;
    float rawAngle, length;
  } cases[] = {
      {EPoint(0, 0), EPoint(0, -4), 1.5f * kPi, 4},  // 3pi/2 in storage, -90 through the getter
      {EPoint(1, 1), EPoint(1, 5), kPi / 2, 4},
      {EPoint(3, 2), EPoint(-1, 2), kPi, 4},
      {EPoint(-1, 2), EPoint(3, 2), 0, 4},
      {EPoint(1, 1), EPoint(4, 5), std::atan2(4.0f, 3.0f), 5},
      {EPoint(2, 3), EPoint(2, 3), kPi / 2, 0},  // a point: angle pi/2
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "to " << c.end.GetX() << "," << c.end.GetY());
    ELine l(c.org, c.end);
    EXPECT_FLOAT_EQ(l.GetRawAngle(), c.rawAngle);
    EXPECT_FLOAT_EQ(l.GetLength(), c.length);
    EXPECT_EQ(l.GetCenter(), c.org.MidPoint(c.end));
    ExpectSame(l.GetOrg(), c.org, 1e-5f);
    ExpectSame(l.GetEnd(), c.end, 1e-5f);
  }
  EXPECT_FLOAT_EQ(ELine(EPoint(0, 0), EPoint(0, -4)).GetAngle(), -90.0f);
  EXPECT_FLOAT_EQ(ELine(EPoint(3, 2), EPoint(-1, 2)).GetAngle(), 180.0f);

  // Set(org, end) keeps the scale; the centre-length form resets it.
  ELine l;
  l.SetScale(3);
  l.Set(EPoint(0, 0), EPoint(2, 0));
  EXPECT_EQ(l.GetScale(), 3.0f);
  l.Set(EPoint(5, 5), 10, 45);
  EXPECT_EQ(l.GetScale(), 1.0f);
  ExpectNear(l.GetEnd(), 5 + 5 * std::sqrt(0.5f), 5 + 5 * std::sqrt(0.5f));
}

TEST_F(GeometryTest, LinePointsAndUnits) {
  ELine l(EPoint(0, 0), EPoint(10, 0));
  ExpectNear(l.GetPoint(0.5f), 7.5f, 0);
  ExpectNear(l.GetPoint(-1), 0, 0);
  ExpectNear(l.GetPoint(2), 15, 0);  // extrapolates
  // A negative length swaps origin and end.
  ELine n(EPoint(0, 0), -10, 0);
  ExpectNear(n.GetOrg(), 5, 0);
  ExpectNear(n.GetEnd(), -5, 0);
  n.SetLength(4);
  ExpectNear(n.GetEnd(), 2, 0);
  ESetAngleUnit(E_ANGLE_UNIT_RADIANS);
  ELine r(EPoint(0, 0), 2, kPi / 2);
  ExpectNear(r.GetEnd(), 0, 1);
  ESetAngleUnit(E_ANGLE_UNIT_GRADIANS);
  EXPECT_NEAR(r.GetAngle(), 100.0f, 1e-4f);
  r.SetAngle(-50);
  ExpectNear(r.GetEnd(), std::sqrt(0.5f), -std::sqrt(0.5f));
}

TEST_F(GeometryTest, PointDistanceAndProjectionOnLines) {
  ELine l(EPoint(0, 0), EPoint(10, 0));
  ELine slanted(EPoint(1, 2), EPoint(4, 6));  // 4x - 3y + 2 = 0
  ELine dot(EPoint(1, 1), EPoint(1, 1));
  struct Case {
    EPoint p;
    const ELine* line;
    float segment, infinite;
  } cases[] = {
      {EPoint(5, 3), &l, 3, 3},
      {EPoint(5, -3), &l, 3, 3},
      {EPoint(14, 3), &l, 5, 3},   // beyond the end: to the end point as a segment
      {EPoint(-3, -4), &l, 5, 4},  // before the origin
      {EPoint(3, -1), &slanted, std::sqrt(13.0f), std::fabs(4 * 3 - 3 * -1 + 2) / 5.0f},
      {EPoint(4, 5), &dot, 5, 5},  // degenerate: distance to its point
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.p.GetX() << "," << c.p.GetY());
    EXPECT_NEAR(c.p.Distance(*c.line, 0), c.infinite, 1e-5f);
    EXPECT_NEAR(c.p.Distance(*c.line, 1), c.segment, 1e-5f);
  }
  EXPECT_TRUE(std::isnan(EPoint(kNaN, 0).Distance(l, 1)));

  ELine s(EPoint(0, 0), EPoint(4, 4));
  EPoint p = EPoint(4, 0).Project(s);
  ExpectNear(p, 2, 2);
  ExpectNear(EPoint(10, 0).Project(s), 5, 5);  // the infinite line, not the segment
  ExpectNear(EPoint(3, 7).Project(ELine(EPoint(0, 0), EPoint(0, -4))), 0, 7);
  ExpectNear(EPoint(5, 9).Project(ELine(EPoint(1, 1), 0, 0)), 5, 1);  // length 0 keeps a direction
  EXPECT_TRUE(std::isnan(EPoint(kNaN, 0).Project(s).GetX()));
}

TEST_F(GeometryTest, CircleFullFormsAndSnapping) {
  ECircle c(EPoint(1, 2), 10.0f, 0.0f, 1);
  EXPECT_EQ(c.GetRadius(), 5.0f);
  EXPECT_EQ(c.GetFull(), 1);
  EXPECT_EQ(c.GetDirect(), 1);
  EXPECT_FLOAT_EQ(c.GetArcLength(), 10 * kPi);
  ECircle r(EPoint(0, 0), 4.0f, 90.0f, 0);
  EXPECT_EQ(r.GetDirect(), 0);
  ESetAngleUnit(E_ANGLE_UNIT_RADIANS);
  EXPECT_EQ(c.GetAmplitude(), kTwoPi);
  EXPECT_EQ(r.GetAmplitude(), -kTwoPi);
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);

  // Amplitudes snap to a full turn only within about 1e-4 rad of one.
  struct Snap {
    float amplitude;
    int full, direct;
  } snaps[] = {{360, 1, 1}, {-360, 1, 0}, {359.9962f, 1, 1}, {359.99f, 0, 1}, {359, 0, 1}};
  for (const Snap& s : snaps) {
    SCOPED_TRACE(s.amplitude);
    c.Set(EPoint(0, 0), 2.0f, 0.0f, s.amplitude);
    EXPECT_EQ(c.GetFull(), s.full);
    EXPECT_EQ(c.GetDirect(), s.direct);
  }
  EXPECT_NEAR(c.GetAmplitude(), 359.0f, 1e-3f);
  // SetAmplitude takes radians whatever the unit and does not snap.
  c.SetAmplitude(3.1415927f);
  EXPECT_FLOAT_EQ(c.GetAmplitude(), 180.0f);
  c.SetAmplitude(6.28315f);
  EXPECT_EQ(c.GetFull(), 0);

  ECircle o(EPoint(1, 1), EPoint(1, 4), 0);
  EXPECT_FLOAT_EQ(o.GetRadius(), 3.0f);
  EXPECT_FLOAT_EQ(o.GetOrgAngle(), 90.0f);
  EXPECT_EQ(o.GetFull(), 1);
  EXPECT_EQ(o.GetDirect(), 0);
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
  ECircle r(EPoint(0, 0), EPoint(1, 1), EPoint(2, 0), 0);
  EXPECT_NEAR(r.GetOrgAngle(), 180.0f, 1e-4f);
  EXPECT_NEAR(r.GetAmplitude(), -180.0f, 1e-4f);
  r.Set(EPoint(0, 0), EPoint(1, 1), EPoint(2, 0), 1);
  EXPECT_EQ(r.GetFull(), 1);
  EXPECT_EQ(r.GetDirect(), 0);

  // Centre (3, -2), radius 5: from 10 through 200 to 300 degrees turns directly by 290; through
  // 330 instead, backwards by 70, with the apex at 335.
  auto on = [](float deg) {
    return EPoint(3 + 5 * std::cos(deg * kPi / 180), -2 + 5 * std::sin(deg * kPi / 180));
  };
  ECircle l(on(10), on(200), on(300), 0);
  ExpectNear(l.GetCenter(), 3, -2);
  EXPECT_NEAR(l.GetRadius(), 5.0f, 1e-4f);
  EXPECT_NEAR(l.GetOrgAngle(), 10.0f, 1e-3f);
  EXPECT_NEAR(l.GetAmplitude(), 290.0f, 1e-3f);
  ExpectSame(l.GetEnd(), on(300));
  ECircle s(on(10), on(330), on(300), 0);
  EXPECT_NEAR(s.GetAmplitude(), -70.0f, 1e-3f);
  ExpectSame(s.GetApex(), on(335));
}

TEST_F(GeometryTest, DegenerateThreePointConstructionsAreRejected) {
  const EPoint bad[][3] = {
      {EPoint(0, 0), EPoint(1, 1), EPoint(2, 2)},  // collinear
      {EPoint(1, 1), EPoint(1, 1), EPoint(3, 0)},  // first two equal
      {EPoint(1, 1), EPoint(3, 0), EPoint(1, 1)},  // first and last equal
      {EPoint(kNaN, 1), EPoint(3, 0), EPoint(0, 4)}, {EPoint(kInf, 1), EPoint(3, 0), EPoint(0, 4)},
  };
  for (const auto& p : bad) {
    SCOPED_TRACE(::testing::Message() << p[0].GetX() << "," << p[1].GetX() << "," << p[2].GetX());
    ECircle c(EPoint(5, 5), 4.0f, 30.0f, 1);
    c.Set(p[0], p[1], p[2], 0);
    EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
    EXPECT_STREQ(EGetErrorTrace(), "ECircle::Set\n");
    EXPECT_EQ(c.GetCenter(), EPoint(5, 5));
    EXPECT_EQ(c.GetRadius(), 2.0f);
    EXPECT_EQ(c.GetFull(), 1);
    EOk();
    EWedge w(EPoint(3, 3), 8.0f, -2.0f, 45.0f, 90.0f);
    w.Set(p[0], p[1], p[2], 1.0f, 0);
    EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
    EXPECT_STREQ(EGetErrorTrace(), "EWedge::Set\n");
    EXPECT_EQ(w.GetCenter(), EPoint(3, 3));
    EXPECT_EQ(w.GetOuterRadius(), 4.0f);
    EXPECT_EQ(w.GetAmplitude(), 90.0f);
    EOk();
  }
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
  ExpectSame(c.GetPoint(-1), c.GetOrg());
  ExpectSame(c.GetPoint(0), c.GetApex());
  ExpectSame(c.GetPoint(1), c.GetEnd());
  ExpectNear(c.GetPoint(3), 1, 3);  // continues round the circle
  EXPECT_FLOAT_EQ(c.GetApexAngle(), 180.0f);
  EXPECT_FLOAT_EQ(c.GetEndAngle(), 270.0f);  // not wrapped
  // Origin angle wraps like the frame angle; the end angle does not.
  c.Set(EPoint(0, 0), 2.0f, 270.0f, 180.0f);
  EXPECT_FLOAT_EQ(c.GetOrgAngle(), -90.0f);
  EXPECT_FLOAT_EQ(c.GetEndAngle(), 450.0f);
  c.SetAmplitude(-kPi);
  EXPECT_FLOAT_EQ(c.GetArcLength(), kPi);  // a length whatever the sense
}

// Distance to an arc by brute force: the nearest of many points along it.
static float ArcDistanceBySampling(const EPoint& p, const ECircle& arc) {
  float best = std::numeric_limits<float>::max();
  for (int i = 0; i <= 4000; ++i) best = std::min(best, p.Distance(arc.GetPoint(-1.0f + i / 2e3f)));
  return best;
}

TEST_F(GeometryTest, DistanceAndProjectionOnCirclesAndArcs) {
  ECircle full(EPoint(0, 0), 4.0f, 0.0f, 1);
  EXPECT_FLOAT_EQ(EPoint(3, 4).Distance(full, 0), 3.0f);
  EXPECT_FLOAT_EQ(EPoint(0.5f, 0).Distance(full, 1), 1.5f);  // full circle: arc flag ignored
  ECircle upper(EPoint(0, 0), 4.0f, 0.0f, 180.0f);
  EXPECT_FLOAT_EQ(EPoint(3, -1).Distance(upper, 0), std::sqrt(10.0f) - 2.0f);
  EXPECT_TRUE(std::isnan(EPoint(kNaN, 0).Distance(upper, 1)));
  // Every direction around arcs of both senses and several spans, near and far, including an
  // origin angle stored outside (-180, 180].
  for (float org : {40.0f, 540.0f})
    for (float amplitude : {30.0f, -30.0f, 90.0f, -135.0f, 179.0f, 200.0f, -300.0f}) {
      const ECircle arc(EPoint(2, -1), 6.0f, org, amplitude);
      for (int k = 0; k < 36; ++k)
        for (float radius : {0.5f, 3.0f, 4.5f, 9.0f}) {
          const float a = (k * 10.0f + 2.5f) * kPi / 180;
          const EPoint p(2 + radius * std::cos(a), -1 + radius * std::sin(a));
          EXPECT_NEAR(p.Distance(arc, 1), ArcDistanceBySampling(p, arc), 5e-3f)
              << "org " << org << " amplitude " << amplitude << " direction " << k * 10 + 2.5f
              << " radius " << radius;
        }
    }

  ECircle a(EPoint(0, 0), 2.0f, 0.0f, 1);
  EXPECT_FLOAT_EQ(a.Distance(ECircle(EPoint(5, 0), 2.0f, 0.0f, 10.0f)), 3.0f);  // arcs as circles
  EXPECT_EQ(a.Distance(ECircle(EPoint(1, 0), 2.0f, 0.0f, 1)), 0.0f);

  ECircle c(EPoint(1, 1), 4.0f, 0.0f, 1);
  ExpectNear(EPoint(4, 5).Project(c), 1 + 2 * 0.6f, 1 + 2 * 0.8f);
  EXPECT_EQ(c.GetCenter().Project(c), EPoint(3, 1));  // the centre projects to (K.x + r, K.y)
}

TEST_F(GeometryTest, RectangleCornersAndEdges) {
  ERectangle r(EPoint(5, 2), 10, 4, 30);
  EPoint c00, c10, c01, c11;
  r.GetCorners(c00, c10, c01, c11);
  const float co = std::cos(kPi / 6), si = std::sin(kPi / 6);
  auto at = [&](float u, float v) { return EPoint(5 + u * co - v * si, 2 + u * si + v * co); };
  ExpectSame(c00, at(-5, -2));
  ExpectSame(c10, at(5, -2));
  ExpectSame(c01, at(-5, 2));
  ExpectSame(c11, at(5, 2));
  ExpectSame(r.GetPoint(2, 0.5f), at(10, 1));  // extrapolates
  ELine a, b, c, d;
  r.GetEdges(a, b, c, d);
  const EPoint ends[4][2] = {{c00, c01}, {c10, c11}, {c00, c10}, {c01, c11}};
  const ELine* edges[4] = {&a, &b, &c, &d};
  EPoint mids[4];
  r.GetMidEdges(mids[0], mids[1], mids[2], mids[3]);
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    ExpectSame(edges[i]->GetOrg(), ends[i][0]);
    ExpectSame(edges[i]->GetEnd(), ends[i][1]);
    ExpectSame(mids[i], ends[i][0].MidPoint(ends[i][1]));
  }

  // Opposite corners in any order give the same rectangle.
  for (const ERectangle& s :
       {ERectangle(EPoint(10, 4), EPoint(0, 0)), ERectangle(EPoint(0, 4), EPoint(10, 0))}) {
    EXPECT_EQ(s.GetCenter(), EPoint(5, 2));
    EXPECT_EQ(s.GetSizeX(), 10.0f);
    EXPECT_EQ(s.GetSizeY(), 4.0f);
    EXPECT_EQ(s.GetAngle(), 0.0f);
  }
}

TEST_F(GeometryTest, RectangleFromThreeCorners) {
  struct Case {
    EPoint p0, p1, p2, center;
    float angle, sizeX, sizeY;
  } cases[] = {
      {EPoint(0, 0), EPoint(10, 0), EPoint(10, 4), EPoint(5, 2), 0, 10, 4},
      {EPoint(0, 0), EPoint(0, 10), EPoint(-4, 10), EPoint(-2, 5), 90, 10, 4},
      {EPoint(1, 1), EPoint(4, 5), EPoint(0, 8), EPoint(0.5f, 4.5f),
       std::atan2(4.f, 3.f) * 180 / kPi, 5, 5},
      {EPoint(2, 2), EPoint(2, 2), EPoint(2, 5), EPoint(2, 3.5f), 0, 0, 3},  // degenerate side
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.p1.GetX() << "," << c.p1.GetY());
    ERectangle r(c.p0, c.p1, c.p2);
    ExpectSame(r.GetCenter(), c.center);
    EXPECT_NEAR(r.GetAngle(), c.angle, 1e-4f);
    EXPECT_NEAR(r.GetSizeX(), c.sizeX, 1e-5f);
    EXPECT_NEAR(r.GetSizeY(), c.sizeY, 1e-5f);
    // The given corners come back as (-1, -1), (+1, -1), (+1, +1).
    ExpectSame(r.GetPoint(-1, -1), c.p0);
    ExpectSame(r.GetPoint(1, -1), c.p1);
    ExpectSame(r.GetPoint(1, 1), c.p2);
  }
  ERectangle n(EPoint(kNaN, 0), EPoint(1, 0), EPoint(1, 1));
  EXPECT_TRUE(std::isnan(n.GetCenterX()));
  EXPECT_EQ(EGetError(), E_OK);
  // The scale is left alone by this form, reset by the others.
  ERectangle u;
  u.SetScale(3);
  u.Set(EPoint(0, 0), EPoint(1, 0), EPoint(1, 1));
  EXPECT_EQ(u.GetScale(), 3.0f);
  u.Set(EPoint(0, 0), EPoint(1, 1));
  EXPECT_EQ(u.GetScale(), 1.0f);
}

TEST_F(GeometryTest, WedgeRadiusRules) {
  // SetRadii(radius, breadth): the breadth runs outward when positive, inward when negative.
  // SetDiameters(diameter, breadth): the same, except that breadth 0 means full breadth.
  struct Case {
    bool diameters;
    float first, breadth, inner, outer;
    int fullBreadth;
  } cases[] = {
      {false, 10, 5, 10, 15, 0}, {false, 10, -5, 5, 10, 0}, {false, 10, 0, 10, 10, 0},
      {false, 4, -4, 0, 4, 1},   {true, 20, 0, 0, 10, 1},   {true, 20, 3, 10, 13, 0},
      {true, 20, -3, 7, 10, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.diameters << " " << c.first << " " << c.breadth);
    EWedge w;
    if (c.diameters)
      w.SetDiameters(c.first, c.breadth);
    else
      w.SetRadii(c.first, c.breadth);
    EXPECT_EQ(w.GetInnerRadius(), c.inner);
    EXPECT_EQ(w.GetOuterRadius(), c.outer);
    EXPECT_EQ(w.GetInnerDiameter(), 2 * c.inner);
    EXPECT_EQ(w.GetFullBreadth(), c.fullBreadth);
  }
  EWedge w;
  w.SetRadii(10, 5);
  EXPECT_EQ(w.GetBreadth(), -5.0f);  // read back as co-radius minus radius
  w.SetRadii(10, kNaN);              // defined: the co-radius takes the NaN
  EXPECT_TRUE(std::isnan(w.GetBreadth()));
  EXPECT_EQ(EGetError(), E_OK);
}

TEST_F(GeometryTest, WedgePointsEdgesAndConventions) {
  EWedge w(EPoint(1, 1), 20.0f, -5.0f, 90.0f, 90.0f);  // inner 5, outer 10, from 90 to 180
  ExpectNear(w.GetInnerOrg(), 1, 6);
  ExpectNear(w.GetOuterOrg(), 1, 11);
  ExpectNear(w.GetInnerEnd(), -4, 1);
  ExpectNear(w.GetOuterEnd(), -9, 1);
  ExpectSame(w.GetPoint(0, -1), w.GetInnerOrg());
  ExpectSame(w.GetPoint(1, 1), w.GetOuterEnd());
  ExpectSame(w.GetPoint(0, 0), w.GetInnerApex());
  const float h = std::sqrt(0.5f);
  ExpectNear(w.GetOuterApex(), 1 - 10 * h, 1 + 10 * h);
  ExpectNear(w.GetPoint(0.5f, 0), 1 - 7.5f * h, 1 + 7.5f * h);
  EXPECT_FLOAT_EQ(w.GetOuterArcLength(), 10 * kPi / 2);
  EXPECT_FLOAT_EQ(w.GetApexAngle(), 135.0f);
  EXPECT_EQ(w.GetDirect(), 1);
  EXPECT_EQ(w.GetFullCircle(), 0);
  EPoint a, b, c, d;
  w.GetCorners(a, b, c, d);
  ExpectSame(b, w.GetInnerEnd());
  ExpectSame(c, w.GetOuterOrg());
  w.GetMidEdges(a, b, c, d);
  ExpectNear(a, 1, 8.5f);
  ExpectNear(b, -6.5f, 1);
  ExpectSame(d, w.GetOuterApex());
  // SetAmplitude takes the caller's unit (unlike the circle's) and never snaps.
  w.SetAmplitude(-45);
  EXPECT_EQ(w.GetDirect(), 0);
  ExpectNear(w.GetOuterEnd(), 1 + 10 * h, 1 + 10 * h);
  w.SetAmplitude(359.9999f);
  EXPECT_EQ(w.GetFullCircle(), 0);

  EWedge q(EPoint(0, 0), 20.0f, -5.0f, 0.0f, 90.0f);
  ELine s0, s1;
  ECircle outer, inner;
  q.GetEdges(s0, s1, outer, inner);
  ExpectNear(s0.GetOrg(), 5, 0);
  ExpectNear(s0.GetEnd(), 10, 0);
  ExpectNear(s1.GetOrg(), 0, 5);
  ExpectNear(s1.GetEnd(), 0, 10);
  EXPECT_FLOAT_EQ(outer.GetRadius(), 10.0f);
  EXPECT_FLOAT_EQ(inner.GetRadius(), 5.0f);
  ExpectSame(outer.GetEnd(), q.GetOuterEnd());
  ExpectSame(inner.GetApex(), q.GetInnerApex());
}

TEST_F(GeometryTest, WedgeFullCircleAndThreePointForms) {
  EWedge w(EPoint(0, 0), 10.0f, 0.0f, 0.0f, 0);
  EXPECT_EQ(w.GetFullCircle(), 1);
  EXPECT_EQ(w.GetDirect(), 0);
  EXPECT_EQ(w.GetFullBreadth(), 1);
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

  EWedge t(EPoint(2, 0), EPoint(1, 1), EPoint(0, 0), 0.5f, 0);
  ExpectNear(t.GetCenter(), 1, 0);
  EXPECT_FLOAT_EQ(t.GetInnerRadius(), 1.0f);
  EXPECT_FLOAT_EQ(t.GetOuterRadius(), 1.5f);
  EXPECT_NEAR(t.GetAmplitude(), 180.0f, 1e-4f);
  EWedge r(EPoint(0, 0), EPoint(1, 1), EPoint(2, 0), -0.5f, 1);
  EXPECT_NEAR(r.GetOrgAngle(), 180.0f, 1e-4f);
  EXPECT_EQ(r.GetFullCircle(), 1);
  EXPECT_EQ(r.GetDirect(), 0);
  EXPECT_FLOAT_EQ(r.GetInnerRadius(), 0.5f);
}
