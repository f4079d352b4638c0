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
const float kNaN = std::numeric_limits<float>::quiet_NaN();

void ExpectNear(const EPoint& p, float x, float y, float tol = 1e-5f) {
  EXPECT_NEAR(p.GetX(), x, tol);
  EXPECT_NEAR(p.GetY(), y, tol);
}
}  // namespace

TEST_F(GeometryTest, LineFromOrgAndEndConventions) {
  ELine down(EPoint(0, 0), EPoint(0, -4));
  EXPECT_FLOAT_EQ(down.GetRawAngle(), 1.5f * kPi);  // 3pi/2 in storage
  EXPECT_FLOAT_EQ(down.GetAngle(), -90.0f);
  EXPECT_FLOAT_EQ(down.GetLength(), 4.0f);
  EXPECT_EQ(down.GetCenter(), EPoint(0, -2));
  ExpectNear(down.GetOrg(), 0, 0);
  ExpectNear(down.GetEnd(), 0, -4);

  ELine up(EPoint(1, 1), EPoint(1, 5));
  EXPECT_FLOAT_EQ(up.GetRawAngle(), kPi / 2);
  EXPECT_FLOAT_EQ(up.GetLength(), 4.0f);

  ELine left(EPoint(3, 2), EPoint(-1, 2));
  EXPECT_FLOAT_EQ(left.GetRawAngle(), kPi);
  EXPECT_FLOAT_EQ(left.GetAngle(), 180.0f);
  EXPECT_FLOAT_EQ(left.GetLength(), 4.0f);
  ExpectNear(left.GetOrg(), 3, 2);

  ELine right(EPoint(-1, 2), EPoint(3, 2));
  EXPECT_EQ(right.GetRawAngle(), 0.0f);

  ELine diagonal(EPoint(1, 1), EPoint(4, 5));
  EXPECT_FLOAT_EQ(diagonal.GetLength(), 5.0f);
  EXPECT_FLOAT_EQ(diagonal.GetRawAngle(), std::atan2(4.0f, 3.0f));
  ExpectNear(diagonal.GetOrg(), 1, 1);
  ExpectNear(diagonal.GetEnd(), 4, 5);

  ELine point(EPoint(2, 3), EPoint(2, 3));
  EXPECT_FLOAT_EQ(point.GetRawAngle(), kPi / 2);
  EXPECT_EQ(point.GetLength(), 0.0f);
  EXPECT_EQ(point.GetCenter(), EPoint(2, 3));
}

TEST_F(GeometryTest, LineSetOrgEndKeepsScaleAndCentreLengthFormResetsIt) {
  ELine l;
  l.SetScale(3);
  l.Set(EPoint(0, 0), EPoint(2, 0));
  EXPECT_EQ(l.GetScale(), 3.0f);
  l.Set(EPoint(5, 5), 10, 45);
  EXPECT_EQ(l.GetScale(), 1.0f);
  EXPECT_FLOAT_EQ(l.GetAngle(), 45.0f);
  ExpectNear(l.GetEnd(), 5 + 5 * std::sqrt(0.5f), 5 + 5 * std::sqrt(0.5f));
}

TEST_F(GeometryTest, LinePointsAlongTheSegment) {
  ELine l(EPoint(0, 0), EPoint(10, 0));
  ExpectNear(l.GetPoint(0.5f), 7.5f, 0);
  ExpectNear(l.GetPoint(0), 5, 0);
  ExpectNear(l.GetPoint(-1), 0, 0);
  ExpectNear(l.GetPoint(2), 15, 0);  // extrapolates
  // A negative length swaps origin and end.
  ELine n(EPoint(0, 0), -10, 0);
  ExpectNear(n.GetOrg(), 5, 0);
  ExpectNear(n.GetEnd(), -5, 0);
  n.SetLength(4);
  ExpectNear(n.GetEnd(), 2, 0);
  EXPECT_FLOAT_EQ(n.GetLength(), 4.0f);
}

TEST_F(GeometryTest, LineAngleInEveryUnit) {
  ESetAngleUnit(E_ANGLE_UNIT_RADIANS);
  ELine l(EPoint(0, 0), 2, kPi / 2);
  ExpectNear(l.GetEnd(), 0, 1);
  ESetAngleUnit(E_ANGLE_UNIT_GRADIANS);
  EXPECT_NEAR(l.GetAngle(), 100.0f, 1e-4f);
  l.SetAngle(-50);
  ExpectNear(l.GetEnd(), std::sqrt(0.5f), -std::sqrt(0.5f));
}

TEST_F(GeometryTest, PointDistanceToLineAndSegment) {
  ELine l(EPoint(0, 0), EPoint(10, 0));
  EXPECT_FLOAT_EQ(EPoint(5, 3).Distance(l, 1), 3.0f);
  EXPECT_FLOAT_EQ(EPoint(5, -3).Distance(l, 0), 3.0f);
  // Beyond the end: distance to the end point as a segment, to the line otherwise.
  EXPECT_FLOAT_EQ(EPoint(14, 3).Distance(l, 1), 5.0f);
  EXPECT_FLOAT_EQ(EPoint(14, 3).Distance(l, 0), 3.0f);
  // Before the origin.
  EXPECT_FLOAT_EQ(EPoint(-3, -4).Distance(l, 1), 5.0f);
  EXPECT_FLOAT_EQ(EPoint(-3, -4).Distance(l, 0), 4.0f);
  // A slanted line, checked against the closed form |ax + by + c| / sqrt(a^2 + b^2).
  ELine s(EPoint(1, 2), EPoint(4, 6));  // 4x - 3y + 2 = 0
  EXPECT_NEAR(EPoint(3, -1).Distance(s, 0), std::fabs(4 * 3 - 3 * -1 + 2) / 5.0f, 1e-5f);
  // Degenerate segment: distance to its point, no division by zero.
  ELine dot(EPoint(1, 1), EPoint(1, 1));
  EXPECT_FLOAT_EQ(EPoint(4, 5).Distance(dot, 0), 5.0f);
  EXPECT_FLOAT_EQ(EPoint(4, 5).Distance(dot, 1), 5.0f);
  EXPECT_TRUE(std::isnan(EPoint(kNaN, 0).Distance(l, 1)));
}

TEST_F(GeometryTest, PointProjectOnLine) {
  ELine s(EPoint(0, 0), EPoint(4, 4));
  EPoint p = EPoint(4, 0).Project(s);
  ExpectNear(p, 2, 2);
  EXPECT_NEAR((EPoint(4, 0) - p).Dot(s.GetEnd() - s.GetOrg()), 0.0f, 1e-5f);
  ExpectNear(EPoint(10, 0).Project(s), 5, 5);  // the infinite line, not the segment
  ExpectNear(EPoint(3, 7).Project(ELine(EPoint(0, 0), EPoint(0, -4))), 0, 7);
  // A line of length 0 still has a direction to project on.
  ELine zero(EPoint(1, 1), 0, 0);
  ExpectNear(EPoint(5, 9).Project(zero), 5, 1);
  EXPECT_TRUE(std::isnan(EPoint(kNaN, 0).Project(s).GetX()));
}

TEST_F(GeometryTest, LineCopies) {
  ELine l(EPoint(1, 2), 6, 30);
  l.SetScale(2);
  ELine* c = l.CopyTo(nullptr);
  EXPECT_EQ(c->GetCenter(), l.GetCenter());
  EXPECT_EQ(c->GetLength(), 6.0f);
  EXPECT_EQ(c->GetRawAngle(), l.GetRawAngle());
  EXPECT_EQ(c->GetScale(), 2.0f);
  delete c;
  ELine target;
  EXPECT_EQ(l.CopyTo(&target), &target);
  EXPECT_EQ(target.GetLength(), 6.0f);
  EXPECT_EQ(l.CopyTo(&l), &l);
}

// ---- record ----

namespace {
std::vector<uint8_t> LineRecord(uint8_t version, float x, float y, float angle, float half) {
  std::vector<uint8_t> b;
  PutU8(b, version);
  PutFrame(b, x, y, angle, 1.0f);
  PutF32(b, half);
  return b;
}
}  // namespace

TEST_F(GeometryTest, LineRecordBytes) {
  ELine l(EPoint(1, -2), 8, 90);
  FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  l.Serialize(f, 1, 4);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(StreamBytes(f), LineRecord(1, 1, -2, EToRadians(90), 4));
  std::fclose(f);

  FILE* in = StreamWith(LineRecord(1, 3, 4, 0.5f, 2.5f));
  ELine r;
  r.Serialize(in, 0, 4);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(r.GetCenter(), EPoint(3, 4));
  EXPECT_EQ(r.GetRawAngle(), 0.5f);
  EXPECT_EQ(r.GetLength(), 5.0f);
  EXPECT_FALSE(r.IsFrameValid());
  std::fclose(in);
}

TEST_F(GeometryTest, LineRecordWithVersion1Frame) {
  std::vector<uint8_t> b;
  PutU8(b, 1);
  PutU8(b, 1);  // frame version 1
  PutU8(b, 1);
  PutF32(b, 3);
  PutF32(b, 4);
  PutF32(b, 0.5f);
  PutF32(b, 1);
  PutF32(b, 0.75f);  // ratio
  PutF32(b, 2.5f);   // half-length
  FILE* in = StreamWith(b);
  ELine r;
  r.Serialize(in, 0, 4);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(r.GetLength(), 5.0f);
  EXPECT_EQ(EFrame::GetLoadedRatio(), 0.75f);
  std::fclose(in);
  EFrame::SetLoadedRatio(1.0f);
}

TEST_F(GeometryTest, LineRecordFailures) {
  // Newer line version: 1108, nothing read.
  FILE* in = StreamWith(LineRecord(2, 3, 4, 0.5f, 2.5f));
  ELine r(EPoint(0, 0), 1, 0);
  r.Serialize(in, 0, 4);
  EXPECT_EQ(EGetError(), E_ERROR_VERSION_TOO_NEW);
  EXPECT_STREQ(EGetErrorTrace(), "ELine::Serialize\n");
  EXPECT_EQ(r.GetCenter(), EPoint(0, 0));
  std::fclose(in);
  EOk();

  // Newer nested frame version: 1108 from the frame, the half-length not read.
  std::vector<uint8_t> b = LineRecord(1, 3, 4, 0.5f, 2.5f);
  b[1] = 3;
  in = StreamWith(b);
  r.Serialize(in, 0, 4);
  EXPECT_EQ(EGetError(), E_ERROR_VERSION_TOO_NEW);
  EXPECT_STREQ(EGetErrorTrace(), "EFrame::Serialize\nELine::Serialize\n");
  EXPECT_EQ(r.GetLength(), 1.0f);
  std::fclose(in);
  EOk();

  // Truncated in the half-length: 1103 and the half-length unchanged.
  b = LineRecord(1, 3, 4, 0.5f, 2.5f);
  b.resize(b.size() - 2);
  in = StreamWith(b);
  r.Serialize(in, 0, 4);
  EXPECT_EQ(EGetError(), E_ERROR_READ_FAILED);
  EXPECT_EQ(r.GetCenter(), EPoint(3, 4));
  EXPECT_EQ(r.GetLength(), 1.0f);
  std::fclose(in);
  EOk();

  // Empty stream: 1103 at the version byte.
  in = StreamWith({});
  r.Serialize(in, 0, 4);
  EXPECT_EQ(EGetError(), E_ERROR_READ_FAILED);
  std::fclose(in);
  EOk();

  // Writing to a read-only stream: 1104.
  FILE* ro = geometry_test::ReadOnlyStream();
  ASSERT_NE(ro, nullptr);
  r.Serialize(ro, 1, 4);
  EXPECT_EQ(EGetError(), E_ERROR_WRITE_FAILED);
  std::fclose(ro);
}

TEST_F(GeometryTest, LineSerializerFormNeedsFileStreamSerializer) {
  ELine l(EPoint(1, 2), 4, 0);
  EMemSerializer mem;
  try {
    l.Serialize(&mem, 4);
    FAIL() << "no exception";
  } catch (const Quarnel::Vexlor::Exception& e) {
    EXPECT_EQ(e.GetCode(), E_ERROR_NOT_FILE_SERIALIZER);
  }
  EXPECT_TRUE(mem.GetBuffer().empty());
  EXPECT_THROW(l.Serialize(static_cast<ESerializer*>(nullptr), 4), Quarnel::Vexlor::Exception);

  FILE* f = std::tmpfile();
  EFilePointerSerializer writer(f, 1);
  l.Serialize(&writer, 4);
  std::rewind(f);
  EFilePointerSerializer reader(f, 0);
  ELine r;
  r.Serialize(&reader, 4);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(r.GetCenter(), l.GetCenter());
  EXPECT_EQ(r.GetLength(), 4.0f);
  std::fclose(f);
}
