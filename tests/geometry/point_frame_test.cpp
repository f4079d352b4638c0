// Points and frames: arithmetic, angle units and wrapping, transforms, fitting, records.
#include <random>

#include "geometry_test_support.h"

using namespace geometry_test;

TEST_F(GeometryTest, PointArithmeticAndNonFiniteValues) {
  EPoint p(3, 4), q(-1, 2);
  EXPECT_EQ(p + q, EPoint(2, 6));
  EXPECT_EQ(p - q, EPoint(4, 2));
  EXPECT_EQ(2.0f * p, EPoint(6, 8));
  EXPECT_EQ(p / 2.0f, EPoint(1.5f, 2));
  EXPECT_EQ(p.MidPoint(q), EPoint(1, 3));
  EXPECT_FLOAT_EQ(p.Dot(q), 5.0f);
  EXPECT_FLOAT_EQ(p.Area(q), 3 * 2 - 4 * -1);
  EXPECT_FLOAT_EQ(p.Modulus(), 5.0f);
  EXPECT_FLOAT_EQ(p.Distance(q), std::sqrt(20.0f));
  EXPECT_FLOAT_EQ(p.SquaredDistance(q), 20.0f);
  EXPECT_TRUE(p != q);
  EPoint n(kNaN, 1);
  EXPECT_TRUE(std::isnan(n.Modulus()));
  EXPECT_TRUE(std::isnan(n.Argument()));
  EXPECT_TRUE(std::isinf(EPoint(kInf, 0).Modulus()));
  EXPECT_FALSE(n == n);  // exact comparison: NaN is never equal
  EXPECT_TRUE(std::isinf((EPoint(1, 1) / 0.0f).GetX()));
  EXPECT_EQ(EGetError(), E_OK);
}

TEST_F(GeometryTest, PointArgumentAndRotateUseRadiansWhateverTheUnit) {
  EXPECT_EQ(EPoint(-0.0f, -0.0f).Argument(), 0.0f);  // not atan2's -pi for negative zeros
  EXPECT_FLOAT_EQ(EPoint(0, 2).Argument(), kPi / 2);
  EXPECT_FLOAT_EQ(EPoint(-1, 0).Argument(), kPi);
  for (E_ANGLE_UNITS unit : {E_ANGLE_UNIT_DEGREES, E_ANGLE_UNIT_RADIANS, E_ANGLE_UNIT_GRADIANS}) {
    ESetAngleUnit(unit);
    ExpectNear(EPoint(2, 0).Rotate(kPi / 2), 0, 2, 1e-6f);
  }
  ExpectNear(EPoint(1, 1).Rotate(-kPi / 4), std::sqrt(2.0f), 0, 1e-6f);
}

TEST_F(GeometryTest, PointRecordBytesAndFailures) {
  EMemSerializer writer;
  EPoint(1.5f, -2.0f).Serialize(&writer, 4);
  std::vector<uint8_t> expected;
  PutU8(expected, 1);
  PutF32(expected, 1.5f);
  PutF32(expected, -2.0f);
  EXPECT_EQ(writer.GetBuffer(), expected);

  std::vector<uint8_t> stored;
  PutU8(stored, 1);
  PutF32(stored, 7.0f);
  PutF32(stored, 0.5f);
  EMemSerializer reader(stored.data(), stored.size());
  EPoint p(1, 1);
  p.Serialize(&reader, 4);
  EXPECT_EQ(p, EPoint(7.0f, 0.5f));
  EXPECT_EQ(reader.GetReadPosition(), 9u);

  stored[0] = 2;
  EMemSerializer newer(stored.data(), stored.size());
  p = EPoint(1, 1);
  EXPECT_EQ(ThrownCode([&] { p.Serialize(&newer, 4); }), E_ERROR_VERSION_TOO_NEW);
  EXPECT_EQ(p, EPoint(1, 1));
  stored[0] = 1;
  stored.resize(7);  // x complete, y cut short
  EMemSerializer shortReader(stored.data(), stored.size());
  EXPECT_EQ(ThrownCode([&] { p.Serialize(&shortReader, 4); }), E_ERROR_READ_FAILED);
  EXPECT_EQ(p, EPoint(7.0f, 1));  // left as far as it was read

  // The stream form reports through the error state instead.
  FILE* f = StreamWith(expected);
  p.Serialize(f, 0, 4);
  EXPECT_EQ(p, EPoint(1.5f, -2.0f));
  p.Serialize(f, 0, 4);  // at end of file
  EXPECT_EQ(EGetError(), E_ERROR_READ_FAILED);
  EXPECT_STREQ(EGetErrorTrace(), "EPoint::Serialize\n");
  std::fclose(f);
}

TEST_F(GeometryTest, FrameAngleWrapsIntoHalfOpenRangeInEveryUnit) {
  struct Case {
    E_ANGLE_UNITS unit;
    float set, expected, tol;
  } cases[] = {
      {E_ANGLE_UNIT_DEGREES, 270, -90, 1e-5f},
      {E_ANGLE_UNIT_DEGREES, -180, 180, 0},
      {E_ANGLE_UNIT_DEGREES, 180, 180, 0},
      {E_ANGLE_UNIT_DEGREES, -90, -90, 0},
      {E_ANGLE_UNIT_DEGREES, 725, 5, 1e-3f},
      {E_ANGLE_UNIT_GRADIANS, 300, -100, 1e-4f},
      {E_ANGLE_UNIT_REVOLUTIONS, 0.75f, -0.25f, 1e-6f},
      {E_ANGLE_UNIT_RADIANS, 7, 7 - 2 * kPi, 1e-5f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "unit " << c.unit << " angle " << c.set);
    ESetAngleUnit(c.unit);
    EFrame f;
    f.SetAngle(c.set);
    EXPECT_NEAR(f.GetAngle(), c.expected, c.tol);
  }
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
  EFrame f;
  f.SetAngle(270);
  EXPECT_FLOAT_EQ(f.GetRawAngle(), 1.5f * kPi);  // stored as converted, not wrapped
  f.SetAngle(-540);  // -3pi rounds to a float just inside the range: either end is right
  EXPECT_NEAR(std::fabs(f.GetAngle()), 180.0f, 1e-4f);
  ESetAngleUnit(E_ANGLE_UNIT_RADIANS);
  f.SetAngle(1e30f);  // huge: wraps without looping
  EXPECT_GT(f.GetAngle(), -kPi - 1e-6f);
  EXPECT_LE(f.GetAngle(), kPi + 1e-6f);
  f.SetAngle(kInf);
  EXPECT_TRUE(std::isnan(f.GetAngle()));
  f.SetAngle(kNaN);
  EXPECT_TRUE(std::isnan(f.GetAngle()));
}

TEST_F(GeometryTest, FrameTransformsRotateScaleThenTranslate) {
  EFrame f(10, 20, 90, 2);
  f.ValidateFrame(nullptr);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_FALSE(f.IsFrameValid());  // a direct validation leaves the flag alone
  EPoint g = f.LocalToGlobal(EPoint(1, 0));
  ExpectNear(g, 10, 22, 1e-5f);
  ExpectNear(f.GlobalToLocal(g), 1, 0, 1e-5f);
  EXPECT_NEAR(f.GetDeterminant(), 4.0f, 1e-5f);
  EFrame plain(1, 1, 0, 3);  // angle exactly 0: no trigonometry in the matrix
  plain.ValidateFrame(nullptr);
  float m11, m12, m21, m22, tx, ty;
  plain.GetTransform(m11, m12, m21, m22, tx, ty);
  EXPECT_EQ(m11, 3.0f);
  EXPECT_EQ(m12, 0.0f);
  EXPECT_EQ(m21, 0.0f);
  EXPECT_EQ(m22, 3.0f);

  // The cache and its validity travel with a copy.
  f.SetFrameValid(1);
  EFrame* copy = f.CopyTo(nullptr);
  EXPECT_TRUE(copy->IsFrameValid());
  EXPECT_EQ(copy->LocalToGlobal(EPoint(1, 0)), g);
  delete copy;

  // A chain: daughter local (1, 0) -> mother local (6, 0) -> global (100, 12).
  EFrame mother(100, 0, 90, 2);
  mother.ValidateFrame(nullptr);
  EFrame daughter(5, 0, 0, 1);
  daughter.ValidateFrame(&mother);
  ExpectNear(daughter.LocalToGlobal(EPoint(1, 0)), 100, 12);
  ExpectNear(daughter.GlobalToLocal(EPoint(100, 12)), 1, 0, 1e-5f);

  EFrame n(kNaN, 0, 10, 1);
  n.ValidateFrame(nullptr);
  EXPECT_TRUE(std::isnan(n.LocalToGlobal(EPoint(1, 1)).GetX()));
  EFrame i(0, 0, 0, kInf);
  i.ValidateFrame(nullptr);
  EXPECT_TRUE(std::isnan(i.GlobalToLocal(EPoint(1, 1)).GetX()));
}

TEST_F(GeometryTest, FrameSingularScaleSets1051AndKeepsInverse) {
  EFrame f(0, 0, 30, 2);
  f.ValidateFrame(nullptr);
  float i[4], j[4];
  f.GetInverse(i[0], i[1], i[2], i[3]);
  f.SetScale(0);
  f.ValidateFrame(nullptr);
  EXPECT_EQ(EGetError(), E_ERROR_SINGULAR_MATRIX);
  EXPECT_STREQ(EGetErrorTrace(), "EFrame::ValidateFrame\n");
  f.GetInverse(j[0], j[1], j[2], j[3]);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(i[k], j[k]);
  EOk();
  EFrame g = f.GlobalToLocal(EFrame(1, 1, 0, 4));
  EXPECT_EQ(EGetError(), E_ERROR_SINGULAR_MATRIX);
  EXPECT_EQ(g.GetScale(), 4.0f);
}

TEST_F(GeometryTest, FrameMapsFramesLinesAndCirclesWithOwnAngleAndScale) {
  EFrame mother(0, 0, 45, 10);
  mother.ValidateFrame(nullptr);
  EFrame f(3, 4, 30, 2);
  f.ValidateFrame(&mother);
  EFrame global = f.LocalToGlobal(EFrame(1, 0, 20, 5));
  EXPECT_NEAR(global.GetAngle(), 50.0f, 1e-4f);  // 20 + 30, not + 45
  EXPECT_FLOAT_EQ(global.GetScale(), 10.0f);     // 5 * 2, not * 10
  EXPECT_EQ(global.GetCenter(), f.LocalToGlobal(EPoint(1, 0)));
  EFrame again = f.GlobalToLocal(global);
  EXPECT_NEAR(again.GetAngle(), 20.0f, 1e-4f);
  EXPECT_FLOAT_EQ(again.GetScale(), 5.0f);
  ExpectNear(again.GetCenter(), 1, 0);

  // A line keeps its own angle; its length scales.
  EFrame h(10, 0, 30, 3);
  h.ValidateFrame(nullptr);
  ELine line = h.LocalToGlobal(ELine(EPoint(2, 0), 4, 15));
  EXPECT_NEAR(line.GetAngle(), 15.0f, 1e-5f);
  EXPECT_NEAR(line.GetLength(), 12.0f, 1e-4f);
  ExpectSame(line.GetCenter(), h.LocalToGlobal(EPoint(2, 0)), 1e-5f);
  EXPECT_EQ(line.GetScale(), 1.0f);

  // An arc comes out a full circle, keeping its origin angle and sense.
  EFrame k(10, 0, 90, 2);
  k.ValidateFrame(nullptr);
  ECircle c = k.LocalToGlobal(ECircle(EPoint(1, 0), 2.0f, 30.0f, -45.0f));
  ExpectNear(c.GetCenter(), 10, 2);
  EXPECT_NEAR(c.GetDiameter(), 4.0f, 1e-5f);
  EXPECT_NEAR(c.GetOrgAngle(), 30.0f, 1e-4f);
  EXPECT_EQ(c.GetFull(), 1);
  EXPECT_EQ(c.GetDirect(), 0);
}

namespace {

// Least-squares solution of [Sxx Sxy Sx; Sxy Syy Sy; Sx Sy n] u = r by Cramer's rule.
void SolveBlock(const long double m[3][3], const long double r[3], long double u[3]) {
  auto det = [](const long double a[3][3]) {
    return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) -
           a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
           a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
  };
  const long double d = det(m);
  for (int k = 0; k < 3; ++k) {
    long double c[3][3];
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) c[i][j] = j == k ? r[i] : m[i][j];
    u[k] = det(c) / d;
  }
}

}  // namespace

TEST_F(GeometryTest, FitRecoversPlacementNearAndFarFromTheOrigin) {
  EFrame truth(5, -3, 25, 1.5f);
  truth.ValidateFrame(nullptr);
  EFrame::ResetFit();
  for (const EPoint& l : {EPoint(0, 0), EPoint(10, 0), EPoint(0, 10), EPoint(7, -4)})
    EFrame::AccumulateFit(truth.LocalToGlobal(l), l);
  EFrame fitted;
  fitted.Fit(E_FRAME_FIT_SCALE | E_FRAME_FIT_ANGLE);
  EXPECT_EQ(EGetError(), E_OK);
  ExpectNear(fitted.GetCenter(), 5, -3, 1e-3f);
  EXPECT_NEAR(fitted.GetScale(), 1.5f, 1e-4f);
  EXPECT_NEAR(fitted.GetAngle(), 25.0f, 1e-2f);
  EFrame centreOnly(0, 0, 0, 7);  // without flags only the centre moves
  centreOnly.Fit(0);
  EXPECT_NEAR(centreOnly.GetCenterX(), 5.0f, 1e-3f);
  EXPECT_EQ(centreOnly.GetScale(), 7.0f);
  EXPECT_EQ(centreOnly.GetAngle(), 0.0f);

  // Fiducials a few units apart, far from the local origin: the placement must be the
  // least-squares one of the very pairs given, not one spoiled by rounding in the sums.
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> spread(-10.0f, 10.0f);
  for (float base : {100.0f, 1000.0f, 3000.0f}) {
    SCOPED_TRACE(base);
    EFrame far(50, -20, 30, 2);
    far.ValidateFrame(nullptr);
    EFrame::ResetFit();
    long double m[3][3] = {}, rx[3] = {}, ry[3] = {};
    for (int i = 0; i < 20; ++i) {
      const EPoint l(base + spread(rng), base + spread(rng));
      const EPoint g = far.LocalToGlobal(l);
      EFrame::AccumulateFit(g, l);
      const long double row[3] = {l.GetX(), l.GetY(), 1};
      for (int a = 0; a < 3; ++a) {
        for (int b = 0; b < 3; ++b) m[a][b] += row[a] * row[b];
        rx[a] += row[a] * g.GetX();
        ry[a] += row[a] * g.GetY();
      }
    }
    long double ux[3], uy[3];
    SolveBlock(m, rx, ux);
    SolveBlock(m, ry, uy);
    fitted.Fit(E_FRAME_FIT_SCALE | E_FRAME_FIT_ANGLE);
    EXPECT_EQ(EGetError(), E_OK);
    EXPECT_NEAR(fitted.GetCenterX(), double(ux[2]), 1e-3);
    EXPECT_NEAR(fitted.GetCenterY(), double(uy[2]), 1e-3);
    EXPECT_NEAR(fitted.GetScale(), double(std::sqrt(ux[0] * ux[0] + ux[1] * ux[1])), 1e-5);
    EXPECT_NEAR(fitted.GetAngle(), double(-std::atan2(ux[1], ux[0]) * 180 / M_PI), 1e-4);
  }
}

TEST_F(GeometryTest, FitWithTooFewPairsAndSolverFailuresSet1050AndKeepTheFrame) {
  // Each failed fit leaves the placement exactly as it was.
  EFrame f(7, -3, 30, 2);
  auto expectUnchanged = [&f] {
    EXPECT_EQ(f.GetCenterX(), 7.0f);
    EXPECT_EQ(f.GetCenterY(), -3.0f);
    EXPECT_EQ(f.GetScale(), 2.0f);
    EXPECT_NEAR(f.GetAngle(), 30.0f, 1e-5f);
  };
  EFrame::ResetFit();
  EFrame::AccumulateFit(EPoint(1, 2), EPoint(3, 4));
  f.Fit(E_FRAME_FIT_SCALE | E_FRAME_FIT_ANGLE);
  EXPECT_EQ(EGetError(), E_ERROR_NOT_POSITIVE_DEFINITE);
  EXPECT_STREQ(EGetErrorTrace(), "SolvePositiveDefinite\nEFrame::Fit\n");
  expectUnchanged();
  EOk();
  EFrame::ResetFit();  // collinear points are not enough either
  for (int i = 0; i < 5; ++i) EFrame::AccumulateFit(EPoint(i, 2.0f * i), EPoint(i, i));
  f.Fit(0);
  EXPECT_EQ(EGetError(), E_ERROR_NOT_POSITIVE_DEFINITE);
  expectUnchanged();
  EOk();
  EFrame::ResetFit();  // an empty accumulator fails at the first pivot
  f.Fit(E_FRAME_FIT_ANGLE);
  EXPECT_EQ(EGetError(), E_ERROR_NOT_POSITIVE_DEFINITE);
  expectUnchanged();
  EOk();

  // N = A^T A with the solution chosen first; stride 4 > n = 3.
  float N[12] = {4, 2, -2, 99, 2, 10, 4, 99, -2, 4, 9, 99};
  const float u[3] = {1, -2, 3};
  float v[3];
  for (int i = 0; i < 3; ++i) v[i] = N[4 * i] * u[0] + N[4 * i + 1] * u[1] + N[4 * i + 2] * u[2];
  SolvePositiveDefinite(N, 4, v, 3);
  EXPECT_EQ(EGetError(), E_OK);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(v[i], u[i], 1e-5f);
  float indefinite[4] = {1, 2, 2, 1}, w[2] = {1, 1}, nan[1] = {kNaN}, z[1] = {1};
  SolvePositiveDefinite(indefinite, 2, w, 2);
  EXPECT_EQ(EGetError(), E_ERROR_NOT_POSITIVE_DEFINITE);
  EXPECT_EQ(w[0], 1.0f);  // stopped before substitution
  EOk();
  SolvePositiveDefinite(nan, 1, z, 1);
  EXPECT_EQ(EGetError(), E_ERROR_NOT_POSITIVE_DEFINITE);
  EOk();
  SolvePositiveDefinite(nullptr, 2, w, 2);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EOk();
  SolvePositiveDefinite(indefinite, 1, w, 2);  // stride shorter than a row
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EOk();
  SolvePositiveDefinite(nullptr, 0, nullptr, 0);  // empty system: nothing to do
  EXPECT_EQ(EGetError(), E_OK);
}

TEST_F(GeometryTest, FrameRecordVersions2And1) {
  EFrame f;
  f.Set(EPoint(1.5f, -2.0f), 270, 3.0f);  // stored angle 3pi/2, written unwrapped
  EMemSerializer writer;
  f.Serialize(&writer, 4);
  std::vector<uint8_t> v2;
  PutFrame(v2, 1.5f, -2.0f, EToRadians(270), 3.0f);
  EXPECT_EQ(writer.GetBuffer(), v2);
  ASSERT_EQ(v2.size(), 18u);
  EFrame g;
  g.SetFrameValid(1);
  EMemSerializer reader(v2.data(), v2.size());
  g.Serialize(&reader, 4);
  EXPECT_EQ(g.GetCenter(), EPoint(1.5f, -2.0f));
  EXPECT_EQ(g.GetRawAngle(), EToRadians(270));
  EXPECT_EQ(g.GetScale(), 3.0f);
  EXPECT_FALSE(g.IsFrameValid());

  // Version 1 carries a trailing ratio, consumed and kept in the loaded-ratio slot.
  std::vector<uint8_t> v1 = {1, 1};
  for (float v : {4.0f, 5.0f, 0.25f, 2.0f, 1.125f}) PutF32(v1, v);
  PutU8(v1, 0xAB);  // the next record's first byte
  EMemSerializer reader1(v1.data(), v1.size());
  EFrame h;
  h.Serialize(&reader1, 4);
  EXPECT_EQ(reader1.GetReadPosition(), 22u);
  EXPECT_EQ(EFrame::GetLoadedRatio(), 1.125f);
  EXPECT_EQ(EFrame_GetLoadedRatio(), 1.125f);
  EXPECT_EQ(h.GetCenter(), EPoint(4, 5));
  EXPECT_EQ(h.GetRawAngle(), 0.25f);
  EXPECT_EQ(h.GetScale(), 2.0f);
  std::vector<uint8_t> other;
  PutFrame(other, 4.0f, 5.0f, 0.25f, 2.0f);
  EMemSerializer reader2(other.data(), other.size());
  g.Serialize(&reader2, 4);
  EXPECT_EQ(EFrame::GetLoadedRatio(), 1.125f);  // a version-2 record leaves the slot alone
  // The stream form reads the same version-1 bytes.
  EFrame::SetLoadedRatio(1.0f);
  FILE* s = StreamWith(v1);
  h.Serialize(s, 0, 4);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(EFrame::GetLoadedRatio(), 1.125f);
  EXPECT_EQ(std::fgetc(s), 0xAB);
  std::fclose(s);
}

TEST_F(GeometryTest, FrameRecordNewerVersionAndShortInput) {
  std::vector<uint8_t> rec;
  PutFrame(rec, 1, 2, 3, 4);
  EFrame f;
  for (int at : {0, 1}) {  // the frame's own version, then the nested point's
    std::vector<uint8_t> newer = rec;
    newer[at] = 3;
    EMemSerializer r(newer.data(), newer.size());
    EXPECT_EQ(ThrownCode([&] { f.Serialize(&r, 4); }), E_ERROR_VERSION_TOO_NEW) << at;
  }
  // Truncated in the scale: centre and angle read, scale untouched.
  std::vector<uint8_t> cut(rec.begin(), rec.begin() + 16);
  EMemSerializer shortReader(cut.data(), cut.size());
  EXPECT_EQ(ThrownCode([&] { f.Serialize(&shortReader, 4); }), E_ERROR_READ_FAILED);
  EXPECT_EQ(f.GetCenter(), EPoint(1, 2));
  EXPECT_EQ(f.GetRawAngle(), 3.0f);
  EXPECT_EQ(f.GetScale(), 1.0f);
  // The stream form reports instead of throwing.
  FILE* s = StreamWith(cut);
  f.Serialize(s, 0, 4);
  EXPECT_EQ(EGetError(), E_ERROR_READ_FAILED);
  std::fclose(s);
  EOk();
  FILE* ro = ReadOnlyStream();
  ASSERT_NE(ro, nullptr);
  f.Serialize(ro, 1, 4);
  EXPECT_EQ(EGetError(), E_ERROR_WRITE_FAILED);
  EXPECT_STREQ(EGetErrorTrace(), "EFrame::Serialize\n");
  std::fclose(ro);
}
