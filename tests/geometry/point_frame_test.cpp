#include <cmath>
#include <limits>
#include <random>

#include "geometry_test_support.h"

using geometry_test::PutFrame;
using geometry_test::StreamBytes;
using geometry_test::StreamWith;
using vimo_test::PutF32;
using vimo_test::PutU8;

namespace {
const float kPi = 3.14159265f;
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();
}  // namespace

// ---- EPoint arithmetic ----

TEST_F(GeometryTest, PointArithmetic) {
  EPoint p(3, 4), q(-1, 2);
  EXPECT_EQ(p + q, EPoint(2, 6));
  EXPECT_EQ(p - q, EPoint(4, 2));
  EXPECT_EQ(p * 2.0f, EPoint(6, 8));
  EXPECT_EQ(2.0f * p, EPoint(6, 8));
  EXPECT_EQ(p / 2.0f, EPoint(1.5f, 2));
  EXPECT_EQ(p.MidPoint(q), EPoint(1, 3));
  EXPECT_FLOAT_EQ(p.Dot(q), 5.0f);
  EXPECT_FLOAT_EQ(p.Area(q), 3 * 2 - 4 * -1);
  EXPECT_FLOAT_EQ(p.Square(), 25.0f);
  EXPECT_FLOAT_EQ(p.Modulus(), 5.0f);
  EXPECT_FLOAT_EQ(p.Distance(q), std::sqrt(20.0f));
  EXPECT_FLOAT_EQ(p.SquaredDistance(q), 20.0f);
  EXPECT_TRUE(p != q);
  EXPECT_FALSE(p != EPoint(3, 4));
  p.x() = 7;
  p.y() += 1;
  EXPECT_EQ(p.GetX(), 7.0f);
  EXPECT_EQ(p.GetY(), 5.0f);
  p.SetCenter(q);
  EXPECT_EQ(p.GetCenter(), q);
}

TEST_F(GeometryTest, PointArgumentAndRotateUseRadiansWhateverTheUnit) {
  EXPECT_EQ(EPoint(0, 0).Argument(), 0.0f);
  EXPECT_EQ(EPoint(-0.0f, -0.0f).Argument(), 0.0f);  // not atan2's -pi for negative zeros
  EXPECT_FLOAT_EQ(EPoint(0, 2).Argument(), kPi / 2);
  EXPECT_FLOAT_EQ(EPoint(-1, 0).Argument(), kPi);
  for (E_ANGLE_UNITS unit : {E_ANGLE_UNIT_DEGREES, E_ANGLE_UNIT_RADIANS, E_ANGLE_UNIT_GRADIANS}) {
    ESetAngleUnit(unit);
    EPoint r = EPoint(2, 0).Rotate(kPi / 2);
    EXPECT_NEAR(r.GetX(), 0.0f, 1e-6f);
    EXPECT_NEAR(r.GetY(), 2.0f, 1e-6f);
  }
  EPoint r = EPoint(1, 1).Rotate(-kPi / 4);
  EXPECT_NEAR(r.GetX(), std::sqrt(2.0f), 1e-6f);
  EXPECT_NEAR(r.GetY(), 0.0f, 1e-6f);
}

TEST_F(GeometryTest, PointNonFiniteInputsPropagateWithoutTrouble) {
  EPoint n(kNaN, 1), i(kInf, 0);
  EXPECT_TRUE(std::isnan(n.Modulus()));
  EXPECT_TRUE(std::isnan(n.Argument()));
  EXPECT_TRUE(std::isinf(i.Modulus()));
  EXPECT_FALSE(n == n);  // exact comparison: NaN is never equal
  EXPECT_TRUE(std::isinf((EPoint(1, 1) / 0.0f).GetX()));
  EXPECT_EQ(EGetError(), E_OK);
}

TEST_F(GeometryTest, PointCopyToAndClone) {
  EPoint p(1.25f, -3);
  EPoint target(9, 9);
  EXPECT_EQ(p.CopyTo(&target), &target);
  EXPECT_EQ(target, p);
  EXPECT_EQ(p.CopyTo(&p), &p);
  EPoint* fresh = p.CopyTo(nullptr);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(*fresh, p);
  delete fresh;
  EPoint* clone = p.CreatePointClone();
  EXPECT_EQ(*clone, p);
  EXPECT_EQ(typeid(*clone), typeid(EPoint));
  delete clone;
  ELine line(EPoint(0, 0), EPoint(4, 0));
  EPoint* lineClone = line.CreatePointClone();  // keeps the dynamic class
  ASSERT_NE(dynamic_cast<ELine*>(lineClone), nullptr);
  EXPECT_FLOAT_EQ(dynamic_cast<ELine*>(lineClone)->GetLength(), 4.0f);
  delete lineClone;
}

// ---- EPoint record ----

TEST_F(GeometryTest, PointRecordBytes) {
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
  EPoint p;
  p.Serialize(&reader, 4);
  EXPECT_EQ(p, EPoint(7.0f, 0.5f));
  EXPECT_EQ(reader.GetReadPosition(), 9u);
}

TEST_F(GeometryTest, PointRecordNewerVersionAndShortBufferThrow) {
  std::vector<uint8_t> stored;
  PutU8(stored, 2);
  PutF32(stored, 7.0f);
  PutF32(stored, 0.5f);
  EMemSerializer newer(stored.data(), stored.size());
  EPoint p(1, 1);
  try {
    p.Serialize(&newer, 4);
    FAIL() << "no exception";
  } catch (const Quarnel::Vexlor::Exception& e) {
    EXPECT_EQ(e.GetCode(), E_ERROR_VERSION_TOO_NEW);
  }
  EXPECT_EQ(p, EPoint(1, 1));

  stored[0] = 1;
  stored.resize(7);  // x complete, y cut short
  EMemSerializer shortReader(stored.data(), stored.size());
  try {
    p.Serialize(&shortReader, 4);
    FAIL() << "no exception";
  } catch (const Quarnel::Vexlor::Exception& e) {
    EXPECT_EQ(e.GetCode(), E_ERROR_READ_FAILED);
  }
  EXPECT_EQ(p, EPoint(7.0f, 1));  // left as far as it was read
}

TEST_F(GeometryTest, PointStreamFormReportsThroughErrorState) {
  FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  EPoint(3, 4).Serialize(f, 1, 4);
  EXPECT_EQ(EGetError(), E_OK);
  std::vector<uint8_t> bytes = StreamBytes(f);
  ASSERT_EQ(bytes.size(), 9u);
  std::rewind(f);
  EPoint p;
  p.Serialize(f, 0, 4);
  EXPECT_EQ(p, EPoint(3, 4));
  p.Serialize(f, 0, 4);  // at end of file
  EXPECT_EQ(EGetError(), E_ERROR_READ_FAILED);
  EXPECT_STREQ(EGetErrorTrace(), "EPoint::Serialize\n");
  std::fclose(f);
}

// ---- EFrame angles ----

TEST_F(GeometryTest, FrameAngleWrapsIntoHalfOpenRange) {
  EFrame f;
  f.SetAngle(270);
  EXPECT_FLOAT_EQ(f.GetAngle(), -90.0f);
  EXPECT_FLOAT_EQ(f.GetRawAngle(), 1.5f * kPi);  // stored as converted, not wrapped
  f.SetAngle(-180);
  EXPECT_EQ(f.GetAngle(), 180.0f);
  f.SetAngle(180);
  EXPECT_EQ(f.GetAngle(), 180.0f);
  f.SetAngle(-90);
  EXPECT_EQ(f.GetAngle(), -90.0f);
  f.SetAngle(-540);  // -3pi rounds to a float just inside the range: either end is right
  EXPECT_NEAR(std::fabs(f.GetAngle()), 180.0f, 1e-4f);
  f.SetAngle(725);
  EXPECT_NEAR(f.GetAngle(), 5.0f, 1e-3f);
  ESetAngleUnit(E_ANGLE_UNIT_GRADIANS);
  f.SetAngle(300);
  EXPECT_NEAR(f.GetAngle(), -100.0f, 1e-4f);
  ESetAngleUnit(E_ANGLE_UNIT_REVOLUTIONS);
  f.SetAngle(0.75f);
  EXPECT_NEAR(f.GetAngle(), -0.25f, 1e-6f);
  ESetAngleUnit(E_ANGLE_UNIT_RADIANS);
  f.SetAngle(7.0f);
  EXPECT_NEAR(f.GetAngle(), 7.0f - 2 * kPi, 1e-5f);
}

TEST_F(GeometryTest, FrameAngleHugeOrNonFiniteDoesNotHang) {
  EFrame f;
  ESetAngleUnit(E_ANGLE_UNIT_RADIANS);
  f.SetAngle(1e30f);
  float a = f.GetAngle();
  EXPECT_GT(a, -kPi - 1e-6f);
  EXPECT_LE(a, kPi + 1e-6f);
  f.SetAngle(kInf);
  EXPECT_TRUE(std::isnan(f.GetAngle()));
  f.SetAngle(kNaN);
  EXPECT_TRUE(std::isnan(f.GetAngle()));
}

TEST_F(GeometryTest, FrameConstructionAndCopy) {
  EFrame f(1, 2, 90, 3);
  EXPECT_EQ(f.GetCenterX(), 1.0f);
  EXPECT_EQ(f.GetCenterY(), 2.0f);
  EXPECT_FLOAT_EQ(f.GetAngle(), 90.0f);
  EXPECT_EQ(f.GetScale(), 3.0f);
  EXPECT_FALSE(f.IsFrameValid());
  EFrame d;
  EXPECT_EQ(d.GetScale(), 1.0f);
  EXPECT_EQ(d.GetAngle(), 0.0f);
  f.ValidateFrame(nullptr);
  f.SetFrameValid(1);
  EFrame* copy = f.CopyTo(nullptr);
  EXPECT_TRUE(copy->IsFrameValid());  // the cache and its validity travel with the copy
  EXPECT_EQ(copy->LocalToGlobal(EPoint(1, 0)), f.LocalToGlobal(EPoint(1, 0)));
  delete copy;
  EXPECT_EQ(f.CopyTo(&f), &f);
  f.InvalidateFrame();
  EXPECT_FALSE(f.IsFrameValid());
}

// ---- EFrame transforms ----

TEST_F(GeometryTest, FrameValidationMapsRotatesScalesThenTranslates) {
  EFrame f(10, 20, 90, 2);
  f.ValidateFrame(nullptr);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_FALSE(f.IsFrameValid());  // a direct validation leaves the flag alone
  EPoint g = f.LocalToGlobal(EPoint(1, 0));
  EXPECT_NEAR(g.GetX(), 10.0f, 1e-5f);
  EXPECT_NEAR(g.GetY(), 22.0f, 1e-5f);
  EPoint back = f.GlobalToLocal(g);
  EXPECT_NEAR(back.GetX(), 1.0f, 1e-5f);
  EXPECT_NEAR(back.GetY(), 0.0f, 1e-5f);
  EXPECT_EQ(f.GetDirect(), 1.0f);
  EXPECT_NEAR(f.GetDeterminant(), 4.0f, 1e-5f);

  // Angle exactly 0: no trigonometry in the matrix.
  EFrame plain(1, 1, 0, 3);
  plain.ValidateFrame(nullptr);
  float m11, m12, m21, m22, tx, ty;
  plain.GetTransform(m11, m12, m21, m22, tx, ty);
  EXPECT_EQ(m11, 3.0f);
  EXPECT_EQ(m12, 0.0f);
  EXPECT_EQ(m21, 0.0f);
  EXPECT_EQ(m22, 3.0f);
}

TEST_F(GeometryTest, FrameChainComposesWithMother) {
  EFrame mother(100, 0, 90, 2);
  mother.ValidateFrame(nullptr);
  EFrame daughter(5, 0, 0, 1);
  daughter.ValidateFrame(&mother);
  // daughter local (1, 0) -> mother local (6, 0) -> global (100, 12)
  EPoint g = daughter.LocalToGlobal(EPoint(1, 0));
  EXPECT_NEAR(g.GetX(), 100.0f, 1e-4f);
  EXPECT_NEAR(g.GetY(), 12.0f, 1e-4f);
  EPoint l = daughter.GlobalToLocal(EPoint(100, 12));
  EXPECT_NEAR(l.GetX(), 1.0f, 1e-5f);
  EXPECT_NEAR(l.GetY(), 0.0f, 1e-5f);

  // A mirroring mother: the composed transform no longer keeps orientation.
  EFrame mirror;
  mirror.Set(EPoint(0, 0), 0, -1);
  mirror.ValidateFrame(nullptr);
  EFrame m2;
  m2.SetScale(-1);
  m2.ValidateFrame(nullptr);
  EXPECT_EQ(m2.GetDirect(), 1.0f);  // (-1)(-1) >= 0
}

TEST_F(GeometryTest, FrameSingularScaleSets1051AndKeepsInverse) {
  EFrame f(0, 0, 30, 2);
  f.ValidateFrame(nullptr);
  float i11, i12, i21, i22;
  f.GetInverse(i11, i12, i21, i22);
  f.SetScale(0);
  f.ValidateFrame(nullptr);
  EXPECT_EQ(EGetError(), E_ERROR_SINGULAR_MATRIX);
  EXPECT_STREQ(EGetErrorTrace(), "EFrame::ValidateFrame\n");
  float j11, j12, j21, j22;
  f.GetInverse(j11, j12, j21, j22);
  EXPECT_EQ(i11, j11);
  EXPECT_EQ(i12, j12);
  EXPECT_EQ(i21, j21);
  EXPECT_EQ(i22, j22);
  EOk();
  EFrame g = f.GlobalToLocal(EFrame(1, 1, 0, 4));
  EXPECT_EQ(EGetError(), E_ERROR_SINGULAR_MATRIX);
  EXPECT_EQ(g.GetScale(), 4.0f);
}

TEST_F(GeometryTest, FrameNonFinitePlacementGivesNonFiniteResultsWithoutError) {
  EFrame f(kNaN, 0, 10, 1);
  f.ValidateFrame(nullptr);
  EXPECT_TRUE(std::isnan(f.LocalToGlobal(EPoint(1, 1)).GetX()));
  EFrame g(0, 0, 0, kInf);
  g.ValidateFrame(nullptr);
  EXPECT_TRUE(std::isnan(g.GlobalToLocal(EPoint(1, 1)).GetX()));
}

TEST_F(GeometryTest, FrameToFrameUsesOwnAngleAndScaleOnly) {
  EFrame mother(0, 0, 45, 10);
  mother.ValidateFrame(nullptr);
  EFrame f(3, 4, 30, 2);
  f.ValidateFrame(&mother);
  EFrame local(1, 0, 20, 5);
  EFrame global = f.LocalToGlobal(local);
  EXPECT_NEAR(global.GetAngle(), 50.0f, 1e-4f);  // 20 + 30, not + 45
  EXPECT_FLOAT_EQ(global.GetScale(), 10.0f);     // 5 * 2, not * 10
  EPoint c = f.LocalToGlobal(EPoint(1, 0));
  EXPECT_EQ(global.GetCenter(), c);
  EFrame again = f.GlobalToLocal(global);
  EXPECT_NEAR(again.GetAngle(), 20.0f, 1e-4f);
  EXPECT_FLOAT_EQ(again.GetScale(), 5.0f);
  EXPECT_NEAR(again.GetCenterX(), 1.0f, 1e-4f);
  EXPECT_NEAR(again.GetCenterY(), 0.0f, 1e-4f);
}

TEST_F(GeometryTest, FrameLineToGlobalKeepsLineAngle) {
  EFrame f(10, 0, 30, 3);
  f.ValidateFrame(nullptr);
  ELine local(EPoint(2, 0), 4, 15);
  ELine global = f.LocalToGlobal(local);
  EXPECT_NEAR(global.GetAngle(), 15.0f, 1e-5f);  // the frame's 30 degrees do not enter
  EXPECT_NEAR(global.GetLength(), 12.0f, 1e-4f);
  EPoint c = f.LocalToGlobal(EPoint(2, 0));
  EXPECT_NEAR(global.GetX(), c.GetX(), 1e-5f);
  EXPECT_NEAR(global.GetY(), c.GetY(), 1e-5f);
  EXPECT_EQ(global.GetScale(), 1.0f);
}

// ---- Fit and solver ----

TEST_F(GeometryTest, FitRecoversPlacementFromPairs) {
  EFrame truth(5, -3, 25, 1.5f);
  truth.ValidateFrame(nullptr);
  EFrame::ResetFit();
  const EPoint locals[] = {EPoint(0, 0), EPoint(10, 0), EPoint(0, 10), EPoint(7, -4)};
  for (const EPoint& l : locals) EFrame::AccumulateFit(truth.LocalToGlobal(l), l);
  EFrame fitted;
  fitted.Fit(E_FRAME_FIT_SCALE | E_FRAME_FIT_ANGLE);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_NEAR(fitted.GetCenterX(), 5.0f, 1e-3f);
  EXPECT_NEAR(fitted.GetCenterY(), -3.0f, 1e-3f);
  EXPECT_NEAR(fitted.GetScale(), 1.5f, 1e-4f);
  EXPECT_NEAR(fitted.GetAngle(), 25.0f, 1e-2f);
  EXPECT_FALSE(fitted.IsFrameValid());

  // Without flags only the centre moves; a second Fit gives the same answer.
  EFrame centreOnly(0, 0, 0, 7);
  centreOnly.Fit(0);
  EXPECT_NEAR(centreOnly.GetCenterX(), 5.0f, 1e-3f);
  EXPECT_EQ(centreOnly.GetScale(), 7.0f);
  EXPECT_EQ(centreOnly.GetAngle(), 0.0f);
}

namespace {

// Least-squares solution of [Sxx Sxy Sx; Sxy Syy Sy; Sx Sy n] u = [Sxh Syh Sh], by Cramer's rule in
// long double.
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

TEST_F(GeometryTest, FitOfPairsClusteredFarFromTheLocalOrigin) {
  // Fiducials a few units apart, some thousand units from the local origin: the placement must
  // be the least-squares one of the very pairs given, not one spoiled by rounding in the sums.
  std::mt19937 rng(7);
  for (float base : {100.0f, 1000.0f, 3000.0f}) {
    std::uniform_real_distribution<float> spread(-10.0f, 10.0f);
    EFrame truth(50, -20, 30, 2);
    truth.ValidateFrame(nullptr);
    EFrame::ResetFit();
    long double m[3][3] = {}, rx[3] = {}, ry[3] = {};
    for (int i = 0; i < 20; ++i) {
      const EPoint l(base + spread(rng), base + spread(rng));
      const EPoint g = truth.LocalToGlobal(l);
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
    EFrame fitted;
    fitted.Fit(E_FRAME_FIT_SCALE | E_FRAME_FIT_ANGLE);
    EXPECT_EQ(EGetError(), E_OK) << base;
    EXPECT_NEAR(fitted.GetCenterX(), double(ux[2]), 1e-3) << base;
    EXPECT_NEAR(fitted.GetCenterY(), double(uy[2]), 1e-3) << base;
    EXPECT_NEAR(fitted.GetScale(), double(std::sqrt(ux[0] * ux[0] + ux[1] * ux[1])), 1e-5) << base;
    EXPECT_NEAR(fitted.GetAngle(), double(-std::atan2(ux[1], ux[0]) * 180 / M_PI), 1e-4) << base;
    EOk();
  }
}

TEST_F(GeometryTest, FitWithTooFewPairsSets1050) {
  EFrame::ResetFit();
  EFrame::AccumulateFit(EPoint(1, 2), EPoint(3, 4));
  EFrame f;
  f.Fit(E_FRAME_FIT_SCALE | E_FRAME_FIT_ANGLE);
  EXPECT_EQ(EGetError(), E_ERROR_NOT_POSITIVE_DEFINITE);
  EXPECT_STREQ(EGetErrorTrace(), "SolvePositiveDefinite\nEFrame::Fit\n");
  EOk();
  // Collinear points are not enough either.
  EFrame::ResetFit();
  for (int i = 0; i < 5; ++i) EFrame::AccumulateFit(EPoint(i, 2.0f * i), EPoint(i, i));
  f.Fit(0);
  EXPECT_EQ(EGetError(), E_ERROR_NOT_POSITIVE_DEFINITE);
  EOk();
  // An empty accumulator fails at the first pivot.
  EFrame::ResetFit();
  f.Fit(E_FRAME_FIT_ANGLE);
  EXPECT_EQ(EGetError(), E_ERROR_NOT_POSITIVE_DEFINITE);
  EXPECT_EQ(f.GetRawAngle(), 0.0f);
}

TEST_F(GeometryTest, SolverMatchesKnownSolutionAndRejectsBadSystems) {
  // N = A^T A for a known A; solution chosen first, v computed from it. Stride 4 > n = 3.
  float N[12] = {4, 2, -2, 99, 2, 10, 4, 99, -2, 4, 9, 99};
  const float u[3] = {1, -2, 3};
  float v[3];
  for (int i = 0; i < 3; ++i) v[i] = N[4 * i] * u[0] + N[4 * i + 1] * u[1] + N[4 * i + 2] * u[2];
  SolvePositiveDefinite(N, 4, v, 3);
  EXPECT_EQ(EGetError(), E_OK);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(v[i], u[i], 1e-5f);

  float indefinite[4] = {1, 2, 2, 1};
  float w[2] = {1, 1};
  SolvePositiveDefinite(indefinite, 2, w, 2);
  EXPECT_EQ(EGetError(), E_ERROR_NOT_POSITIVE_DEFINITE);
  EXPECT_EQ(w[0], 1.0f);  // stopped before substitution
  EOk();
  float nan[1] = {kNaN};
  float z[1] = {1};
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

// ---- EFrame record ----

TEST_F(GeometryTest, FrameRecordVersion2Bytes) {
  EFrame f;
  f.Set(EPoint(1.5f, -2.0f), 270, 3.0f);  // stored angle 3pi/2, written unwrapped
  EMemSerializer writer;
  f.Serialize(&writer, 4);
  std::vector<uint8_t> expected;
  PutFrame(expected, 1.5f, -2.0f, EToRadians(270), 3.0f);
  EXPECT_EQ(writer.GetBuffer(), expected);
  ASSERT_EQ(expected.size(), 18u);

  EFrame g;
  g.ValidateFrame(nullptr);
  g.SetFrameValid(1);
  EMemSerializer reader(expected.data(), expected.size());
  g.Serialize(&reader, 4);
  EXPECT_EQ(g.GetCenter(), EPoint(1.5f, -2.0f));
  EXPECT_EQ(g.GetRawAngle(), EToRadians(270));
  EXPECT_EQ(g.GetScale(), 3.0f);
  EXPECT_FALSE(g.IsFrameValid());
}

TEST_F(GeometryTest, FrameRecordVersion1CarriesRatio) {
  std::vector<uint8_t> v1;
  PutU8(v1, 1);
  PutU8(v1, 1);
  PutF32(v1, 4.0f);
  PutF32(v1, 5.0f);
  PutF32(v1, 0.25f);
  PutF32(v1, 2.0f);
  PutF32(v1, 1.125f);  // ratio
  PutU8(v1, 0xAB);     // the next record's first byte
  EFrame::SetLoadedRatio(1.0f);
  EMemSerializer reader(v1.data(), v1.size());
  EFrame f;
  f.Serialize(&reader, 4);
  EXPECT_EQ(reader.GetReadPosition(), 22u);  // the ratio is consumed, nothing more
  EXPECT_EQ(EFrame::GetLoadedRatio(), 1.125f);
  EXPECT_EQ(EFrame_GetLoadedRatio(), 1.125f);

  std::vector<uint8_t> v2;
  PutFrame(v2, 4.0f, 5.0f, 0.25f, 2.0f);
  EMemSerializer reader2(v2.data(), v2.size());
  EFrame g;
  g.Serialize(&reader2, 4);
  EXPECT_EQ(f.GetCenter(), g.GetCenter());
  EXPECT_EQ(f.GetRawAngle(), g.GetRawAngle());
  EXPECT_EQ(f.GetScale(), g.GetScale());
  EXPECT_EQ(EFrame::GetLoadedRatio(), 1.125f);  // a version-2 record leaves the slot alone

  // Stream form reads the same version-1 bytes.
  FILE* s = StreamWith(v1);
  ASSERT_NE(s, nullptr);
  EFrame::SetLoadedRatio(1.0f);
  EFrame h;
  h.Serialize(s, 0, 4);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(h.GetScale(), 2.0f);
  EXPECT_EQ(EFrame::GetLoadedRatio(), 1.125f);
  EXPECT_EQ(std::fgetc(s), 0xAB);
  std::fclose(s);
  EFrame::SetLoadedRatio(1.0f);
}

TEST_F(GeometryTest, FrameRecordNewerVersionAndShortInput) {
  std::vector<uint8_t> rec;
  PutFrame(rec, 1, 2, 3, 4);
  rec[0] = 3;
  EMemSerializer newer(rec.data(), rec.size());
  EFrame f;
  try {
    f.Serialize(&newer, 4);
    FAIL() << "no exception";
  } catch (const Quarnel::Vexlor::Exception& e) {
    EXPECT_EQ(e.GetCode(), E_ERROR_VERSION_TOO_NEW);
  }
  // The nested point record has its own version check.
  rec[0] = 2;
  rec[1] = 2;
  EMemSerializer newerPoint(rec.data(), rec.size());
  EXPECT_THROW(f.Serialize(&newerPoint, 4), Quarnel::Vexlor::Exception);
  rec[1] = 1;

  // Truncated in the scale: centre and angle read, scale untouched.
  std::vector<uint8_t> cut(rec.begin(), rec.begin() + 16);
  EMemSerializer shortReader(cut.data(), cut.size());
  EFrame g;
  try {
    g.Serialize(&shortReader, 4);
    FAIL() << "no exception";
  } catch (const Quarnel::Vexlor::Exception& e) {
    EXPECT_EQ(e.GetCode(), E_ERROR_READ_FAILED);
  }
  EXPECT_EQ(g.GetCenter(), EPoint(1, 2));
  EXPECT_EQ(g.GetRawAngle(), 3.0f);
  EXPECT_EQ(g.GetScale(), 1.0f);

  // The stream form reports instead of throwing.
  FILE* s = StreamWith(cut);
  g.Serialize(s, 0, 4);
  EXPECT_EQ(EGetError(), E_ERROR_READ_FAILED);
  std::fclose(s);
  EOk();
  FILE* ro = geometry_test::ReadOnlyStream();
  ASSERT_NE(ro, nullptr);
  g.Serialize(ro, 1, 4);
  EXPECT_EQ(EGetError(), E_ERROR_WRITE_FAILED);
  EXPECT_STREQ(EGetErrorTrace(), "EFrame::Serialize\n");
  std::fclose(ro);
}
