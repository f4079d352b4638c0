// World model: mapping families against independently computed models, derivatives, setters,
// user functions, copying, landmarks, and the landmark and world files byte for byte.
#include "vimo/calibration/world.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <functional>

#include "calibration_test_support.h"

using namespace calibration_test;
using vimo_test::PutF32;

namespace {

// 3 x 3 rotation Rx(a)·Ry(b)·Rz(t), built by multiplying the elementary rotations.
void Rotation(double a, double b, double t, double R[3][3]) {
  const double Rx[3][3] = {{1, 0, 0}, {0, cos(a), -sin(a)}, {0, sin(a), cos(a)}};
  const double Ry[3][3] = {{cos(b), 0, sin(b)}, {0, 1, 0}, {-sin(b), 0, cos(b)}};
  const double Rz[3][3] = {{cos(t), -sin(t), 0}, {sin(t), cos(t), 0}, {0, 0, 1}};
  auto product = [](const double A[3][3], const double B[3][3], double P[3][3]) {
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) {
        P[i][j] = 0;
        for (int k = 0; k < 3; ++k) P[i][j] += A[i][k] * B[k][j];
      }
  };
  double T[3][3];
  product(Rx, Ry, T);
  product(T, Rz, R);
}

// A physical camera: centre C, scale s, ratio rho, angle t, tilts a, b, perspective P,
// distortion k about the optical centre O. All angles in radians.
struct Camera {
  double cx = 300, cy = 220, s = 4, rho = -1, t = 0, a = 0, b = 0, P = 0, k = 0, ox = 320, oy = 240;
};

// The sensor point of a world point, computed from the camera's definition: rotate, project
// with the perspective denominator, distort about the optical centre, apply the ratio.
void Reference(const Camera& c, double x, double y, double& X, double& Y) {
  double R[3][3];
  Rotation(c.a, c.b, c.t, R);
  const double xi = R[0][0] * x + R[0][1] * y, eta = R[1][0] * x + R[1][1] * y;
  const double zeta = R[2][0] * x + R[2][1] * y;
  const double dx = c.cx - c.ox, dy = (c.cy - c.oy) / c.rho;
  if (c.k == 0) {
    const double w = 1 + c.P * zeta;
    X = c.ox + (c.s * xi + dx) / w;
    Y = c.oy + c.rho * (c.s * eta + dy) / w;
    return;
  }
  const double g = 1 - c.k * (dx * dx + dy * dy);
  const double w = 1 + c.P * zeta;
  const double u = (c.s * xi + g * dx) / w, v = (c.s * eta + g * dy) / w;
  const double f = 1 + c.k * (u * u + v * v);
  X = c.ox + f * u;
  Y = c.oy + c.rho * f * v;
}

EWorld MakeWorld(const Camera& c, unsigned int modes) {
  EWorld w;
  w.SetSensorSize(640, 480);
  w.SetOpticalCenter(static_cast<float>(c.ox), static_cast<float>(c.oy));
  w.SetCenter(static_cast<float>(c.cx), static_cast<float>(c.cy));
  w.SetScale(static_cast<float>(c.s));
  w.SetRatio(static_cast<float>(c.rho));
  w.SetAngle(static_cast<float>(c.t * 180 / kPi));
  w.SetPerspective(static_cast<float>(c.a * 180 / kPi), static_cast<float>(c.b * 180 / kPi),
                   static_cast<float>(c.P));
  w.SetDistortion(static_cast<float>(c.k), 0);
  w.SetCalibrationModes(modes);
  return w;
}

// Checks WorldToSensor against the reference and SensorToWorld as its inverse (within tol).
void CheckFamily(EWorld& w, const Camera& c, double forwardTol, double backTol) {
  for (int i = -5; i <= 5; ++i) {
    for (int j = -5; j <= 5; ++j) {
      const double x = 9.0 * i + 0.37, y = 7.0 * j - 0.21;
      double X, Y;
      Reference(c, x, y, X, Y);
      const EPoint s = w.WorldToSensor(EPoint(static_cast<float>(x), static_cast<float>(y)));
      ASSERT_NEAR(s.GetX(), X, forwardTol) << x << "," << y;
      ASSERT_NEAR(s.GetY(), Y, forwardTol) << x << "," << y;
      const EPoint back = w.SensorToWorld(s);
      ASSERT_NEAR(back.GetX(), x, backTol) << x << "," << y;
      ASSERT_NEAR(back.GetY(), y, backTol) << x << "," << y;
    }
  }
}

// Compares the derivative mapping with central finite differences of WorldToSensor.
void CheckDerivatives(EWorld& w, double tol) {
  const double h = 1e-2;
  for (int i = -3; i <= 3; ++i) {
    for (int j = -3; j <= 3; ++j) {
      const float x = 11.0f * i + 0.5f, y = 8.0f * j - 0.25f;
      float a, b, c, d;
      const EPoint p = w.WorldToSensor(EPoint(x, y), a, b, c, d);
      const EPoint q = w.WorldToSensor(EPoint(x, y));
      EXPECT_EQ(p.GetX(), q.GetX());
      EXPECT_EQ(p.GetY(), q.GetY());
      const EPoint xp = w.WorldToSensor(EPoint(static_cast<float>(x + h), y));
      const EPoint xm = w.WorldToSensor(EPoint(static_cast<float>(x - h), y));
      const EPoint yp = w.WorldToSensor(EPoint(x, static_cast<float>(y + h)));
      const EPoint ym = w.WorldToSensor(EPoint(x, static_cast<float>(y - h)));
      const double scale = std::fabs(a) + std::fabs(b) + std::fabs(c) + std::fabs(d);
      EXPECT_NEAR(a, (xp.GetX() - xm.GetX()) / (2 * h), tol * scale);
      EXPECT_NEAR(b, (yp.GetX() - ym.GetX()) / (2 * h), tol * scale);
      EXPECT_NEAR(c, (xp.GetY() - xm.GetY()) / (2 * h), tol * scale);
      EXPECT_NEAR(d, (yp.GetY() - ym.GetY()) / (2 * h), tol * scale);
    }
  }
}

}  // namespace

TEST_F(WorldTest, NewWorldIsRawAndPlainFamiliesMapExactly) {
  EWorld w;
  EXPECT_EQ(w.GetCalibrationModes(), 0x0001u);
  EXPECT_EQ(w.GetSensorWidth(), 512);
  EXPECT_EQ(w.GetOpticalCenterX(), 256.0f);
  EXPECT_EQ(w.GetOriginLandmark(), -1);
  EXPECT_EQ(w.GetGridPointsMeanVariationThreshold(), 0.05f);
  EXPECT_NEAR(w.GetGridPointsMaxVariationThreshold(), 0.1f, 1e-7);
  EXPECT_EQ(w.WorldToSensor(EPoint(12.5f, -3.25f)), EPoint(12.5f, -3.25f));
  EXPECT_EQ(w.SensorToWorld(EPoint(12.5f, -3.25f)), EPoint(12.5f, -3.25f));
  EXPECT_TRUE(w.IsIdentityMapping());
  // Plain families: translation, Y kept (inverse) or flipped; the user bit without functions is
  // the plain family. GetDirect tells whether orientation is kept.
  struct Case {
    unsigned modes;
    float ratio;  // 0: not set
    EPoint sensorOf12;
    float direct;
  } cases[] = {{0x0001, 0, EPoint(1, 2), 0},
               {0x0002, 0, EPoint(11, 22), 0},
               {0x1000, 0, EPoint(11, 18), 1},
               {0x0004, -1, EPoint(11, 18), 1},
               {0x0004, 1, EPoint(11, 22), 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.modes);
    EWorld v;
    v.SetCenter(10, 20);
    v.SetCalibrationModes(c.modes);
    if (c.ratio != 0) v.SetRatio(c.ratio);
    EXPECT_FALSE(v.IsIdentityMapping());  // not until a mapping has put the model in force
    EXPECT_EQ(v.WorldToSensor(EPoint(1, 2)), c.sensorOf12);
    EXPECT_EQ(v.SensorToWorld(c.sensorOf12), EPoint(1, 2));
    EXPECT_EQ(v.IsIdentityMapping(), c.modes == 0x0001);
    EXPECT_EQ(v.GetDirect(), c.direct);
  }
  EXPECT_EQ(EGetError(), E_OK);
}

TEST_F(WorldTest, AlgebraicFamiliesMapExactlyAndBack) {
  Camera c;
  struct Step {
    unsigned modes;
    std::function<void(Camera&)> change;
    double forwardTol;
  } steps[] = {{0x0004, [](Camera& k) { k.s = 4, k.rho = -1; }, 1e-3},  // scaled, Y up
               {0x0006, [](Camera& k) { k.rho = 1; }, 1e-3},            // inverse
               {0x000C, [](Camera& k) { k.rho = -1.25; }, 1e-3},        // anisotropic
               {0x001C, [](Camera& k) { k.t = 0.3; }, 1e-3},            // skewed
               {0x003C, [](Camera& k) { k.a = 0.15, k.b = -0.1, k.P = 0.004; }, 2e-3},  // tilted
               {0x003E, [](Camera& k) { k.rho = 1.1; }, 2e-3}};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.modes);
    step.change(c);
    EWorld w = MakeWorld(c, step.modes);
    CheckFamily(w, c, step.forwardTol, 1e-4);
  }
  EXPECT_EQ(EGetError(), E_OK);
}

TEST_F(WorldTest, RadialFamiliesAreFirstOrderInversesAndPlainRadialKeepsOrientation) {
  for (unsigned int modes : {0x0044u, 0x005Cu, 0x007Cu}) {
    SCOPED_TRACE(modes);
    Camera c;
    c.s = 4, c.rho = -1.1, c.t = 0.2, c.cx = 330, c.cy = 250;
    if (modes & 0x20) c.a = 0.1, c.b = 0.05, c.P = 0.003;
    if (!(modes & 0x10)) c.t = 0;
    if (!(modes & 0x08)) c.rho = -1;
    c.k = 0;  // the radial form without distortion is the plain model: exact both ways
    EWorld w0 = MakeWorld(c, modes);
    CheckFamily(w0, c, 2e-3, 1e-4);
    // The way back is one first-order step: its error shrinks like k squared.
    double err[2];
    for (int n = 0; n < 2; ++n) {
      c.k = n == 0 ? 4e-7 : 2e-7;
      EWorld w = MakeWorld(c, modes);
      CheckFamily(w, c, 2e-3, 50);  // forward exact against the reference
      err[n] = 0;
      for (int i = -4; i <= 4; ++i)
        for (int j = -4; j <= 4; ++j) {
          const EPoint p(10.0f * i, 8.0f * j);
          err[n] = std::max(err[n], double((w.SensorToWorld(w.WorldToSensor(p)) - p).Modulus()));
        }
    }
    EXPECT_GT(err[0], 1e-3);
    EXPECT_NEAR(err[0] / err[1], 4.0, 0.6);
  }
  for (unsigned int modes : {0x0040u, 0x0042u}) {
    EWorld w;
    w.SetOpticalCenter(50, 60);
    w.SetCenter(70, 90);
    w.SetCalibrationModes(modes);
    EWorld plain(w);
    plain.SetCalibrationModes(modes & ~0x40u);
    plain.SetCenter(70, 90);
    for (const EPoint& p : {EPoint(-5, -2), EPoint(3, 7)}) {
      EXPECT_NEAR(w.WorldToSensor(p).GetX(), plain.WorldToSensor(p).GetX(), 1e-4) << modes;
      EXPECT_NEAR(w.WorldToSensor(p).GetY(), plain.WorldToSensor(p).GetY(), 1e-4) << modes;
    }
  }
}

TEST_F(WorldTest, DerivativesAgreeWithFiniteDifferences) {
  Camera c;
  c.s = 4, c.rho = -1.2, c.t = 0.25, c.a = 0.12, c.b = -0.08, c.P = 0.004, c.k = 1e-7;
  for (unsigned int modes : {0x0004u, 0x000Cu, 0x001Cu, 0x003Cu, 0x0044u, 0x005Cu, 0x007Cu, 0x0040u,
                             0x1000u, 0x0002u, 0x0001u}) {
    SCOPED_TRACE(modes);
    EWorld w = MakeWorld(c, modes);
    CheckDerivatives(w, 2e-3);
  }
  // Polynomial families, from a calibration of a quadratic warp.
  EWorld q;
  for (int i = -3; i <= 3; ++i)
    for (int j = -3; j <= 3; ++j) {
      const float x = 10.0f * i, y = 10.0f * j;
      q.AddLandmark(EPoint(300 + 4 * x + 0.5f * y + 0.002f * x * x + 0.003f * x * y,
                           200 - 4 * y + 0.001f * y * y - 0.002f * x * y),
                    EPoint(x, y));
    }
  for (unsigned int modes : {0x0200u, 0x0100u}) {
    SCOPED_TRACE(modes);
    q.Calibrate(modes);
    CheckDerivatives(q, 2e-3);
  }
  EXPECT_EQ(EGetError(), E_OK);
}

namespace {
int g_UserCalls = 0;
void UserW2S(float x, float y, float& X, float& Y) {
  ++g_UserCalls;
  X = 2 * x + 1, Y = 3 * y - 1;
}
void UserW2SD(float x, float y, float& X, float& Y, float& a, float& b, float& c, float& d) {
  UserW2S(x, y, X, Y);
  a = 2, b = 0, c = 0, d = -3;  // deliberately reversed orientation
}
void UserS2W(float X, float Y, float& x, float& y) {
  ++g_UserCalls;
  x = (X - 1) / 2, y = (Y + 1) / 3;
}
}  // namespace

TEST_F(WorldTest, UserFunctionsAreCalledUntilTheNextSetter) {
  EWorld w;
  w.SetCenter(5, 6);
  w.SetUserCalibration(UserW2S, UserW2SD, nullptr);
  EXPECT_EQ(EGetError(), E_ERROR_INDEX_OUT_OF_RANGE);
  EXPECT_STREQ(EGetErrorTrace(), "EWorld::SetUserCalibration\n");
  EOk();
  w.SetUserCalibration(nullptr, UserW2SD, UserS2W);
  EXPECT_EQ(EGetError(), E_ERROR_GRID_INDEX_OUT_OF_RANGE);
  EOk();
  w.SetUserCalibration(UserW2S, nullptr, UserS2W);
  EXPECT_EQ(EGetError(), E_ERROR_MISSING_DERIVATIVE);
  EOk();
  EXPECT_EQ(w.GetCalibrationModes(), 0x0001u);

  w.SetUserCalibration(UserW2S, UserW2SD, UserS2W);
  EXPECT_EQ(w.GetCalibrationModes(), 0x1000u);
  g_UserCalls = 0;
  EXPECT_EQ(w.WorldToSensor(EPoint(1, 1)).GetX(), 3.0f);
  EXPECT_EQ(w.SensorToWorld(EPoint(3, 2)).GetY(), 1.0f);
  EXPECT_EQ(w.GetDirect(), 1.0f);
  EXPECT_EQ(g_UserCalls, 3);
  EWorld copy(w);  // the copy keeps the caller's functions
  EXPECT_EQ(copy.WorldToSensor(EPoint(1, 1)).GetY(), 2.0f);
  EXPECT_EQ(g_UserCalls, 4);
  w.SetOpticalCenter(0, 0);  // any setter: back to the built-in family of 0x1000 (plain)
  EXPECT_EQ(w.WorldToSensor(EPoint(1, 1)), EPoint(6, 5));
  EXPECT_EQ(g_UserCalls, 4);
}

TEST_F(WorldTest, SetterRulesForRatioFieldSizeResolutionAngleTiltAndDistortion) {
  EWorld w;
  w.SetCalibrationModes(0x0004);
  // The ratio sets "inverse" by its sign and "anisotropic" by its magnitude; 0 sets both.
  const std::pair<float, unsigned> ratios[] = {
      {0, 0x000E}, {-1, 0x0004}, {-2, 0x000C}, {1, 0x0006}};
  for (const auto& r : ratios) {
    w.SetRatio(r.first);
    EXPECT_EQ(w.GetCalibrationModes(), r.second) << r.first;
  }
  w.SetSensorSize(640, 480);
  EXPECT_EQ(w.GetOpticalCenterX(), 319.5f);
  EXPECT_EQ(w.GetOpticalCenterY(), 239.5f);
  w.SetFieldSize(64, 60);  // 10 px per unit across, 8 down
  EXPECT_EQ(w.GetScale(), 10.0f);
  EXPECT_FLOAT_EQ(w.GetRatio(), 0.8f);
  EXPECT_FLOAT_EQ(w.GetYResolution(), 8.0f);
  EXPECT_FLOAT_EQ(w.GetFieldHeight(), 60.0f);
  w.SetFieldSize(32, 0);  // h = 0: ratio -1
  EXPECT_EQ(w.GetScale(), 20.0f);
  EXPECT_EQ(w.GetRatio(), -1.0f);
  EXPECT_EQ(w.GetCalibrationModes() & 0x000Au, 0u);
  w.SetResolution(5, 7.5f);
  EXPECT_EQ(w.GetXResolution(), 5.0f);
  EXPECT_FLOAT_EQ(w.GetRatio(), 1.5f);
  w.SetResolution(5, 0);  // y = 0: ratio -1
  EXPECT_EQ(w.GetRatio(), -1.0f);

  // Angle, tilt and distortion setters toggle their bits by whether the value is zero.
  w.SetRatio(-1);
  struct Toggle {
    std::function<void()> set;
    unsigned modes;
  } toggles[] = {{[&] { w.SetAngle(15); }, 0x0014},
                 {[&] { w.SetAngle(0); }, 0x0004},
                 {[&] { w.SetPerspective(0, 3, 0.5f); }, 0x0024},
                 {[&] { w.SetPerspective(0, 0, 0.5f); }, 0x0004},
                 {[&] { w.SetDistortion(0.001f, 0); }, 0x0044},
                 {[&] { w.SetDistortion(0, 0.5f); }, 0x0044},
                 {[&] { w.SetDistortion(0, 0); }, 0x0004}};
  for (const Toggle& t : toggles) {
    t.set();
    EXPECT_EQ(w.GetCalibrationModes(), t.modes);
  }
  w.SetDistortion(0, 0.5f);
  EXPECT_EQ(w.GetDistortionOrder(), 2u);
  EXPECT_EQ(w.GetDistortionStrength2(), 0.5f);
  // Placement at once: the mapping follows, "skewed" with the angle.
  w.SetDistortion(0, 0);
  w.SetRatio(1);
  w.Set(EPoint(3, 4), 90, 2);
  EXPECT_EQ(w.GetCalibrationModes(), 0x0016u);
  EXPECT_NEAR(w.WorldToSensor(EPoint(1, 0)).GetX(), 3.0f, 1e-5);
  EXPECT_NEAR(w.WorldToSensor(EPoint(1, 0)).GetY(), 6.0f, 1e-5);
  EXPECT_EQ(EGetError(), E_OK);
  w.Set(EPoint(0, 0), 0, 0);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(w.GetScale(), 2.0f);
  EOk();
}

TEST_F(WorldTest, ZeroScalesAndNonFiniteParametersAreRefused) {
  EWorld w;
  w.SetCalibrationModes(0x0004);
  w.SetSensorSize(640, 480);
  w.SetResolution(4, 4);
  const EWorld before(w);
  const std::pair<const char*, std::function<void()>> cases[] = {
      {"EWorld::SetFieldSize\n", [&] { w.SetFieldSize(0, 10); }},
      {"EWorld::SetFieldSize\n", [&] { w.SetFieldSize(kNaN, 10); }},
      {"EWorld::SetResolution\n", [&] { w.SetResolution(0, 3); }},
      {"EWorld::SetResolution\n", [&] { w.SetResolution(kInf, 3); }},
      {"EWorld::SetScale\n", [&] { w.SetScale(0); }},
      {"EWorld::SetSensorSize\n", [&] { w.SetSensorSize(0, 480); }},
      {"EWorld::SetSensorSize\n", [&] { w.SetSensorSize(640, -1); }},
      {"EWorld::SetRatio\n", [&] { w.SetRatio(kNaN); }},
      {"EWorld::SetOpticalCenter\n", [&] { w.SetOpticalCenter(kInf, 0); }},
      {"EWorld::SetDistortion\n", [&] { w.SetDistortion(kNaN, 0); }},
      {"EWorld::SetPerspective\n", [&] { w.SetPerspective(0, 0, kInf); }},
      {"EWorld::SetAngle\n", [&] { w.SetAngle(kNaN); }},
      {"EWorld::SetCenter\n", [&] { w.SetCenter(kNaN, 1); }},
      {"EWorld::SetSensor\n",
       [&] { w.SetSensor(0, 480, 10, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4); }},
      {"EWorld::SetSensor\n",
       [&] { w.SetSensor(640, 480, kNaN, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4); }},
  };
  for (const auto& c : cases) {
    EOk();
    c.second();
    EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER) << c.first;
    EXPECT_STREQ(EGetErrorTrace(), c.first);
    EXPECT_EQ(w.GetScale(), before.GetScale()) << c.first;
    EXPECT_EQ(w.GetRatio(), before.GetRatio()) << c.first;
    EXPECT_EQ(w.GetCalibrationModes(), before.GetCalibrationModes()) << c.first;
    EXPECT_EQ(w.GetSensorWidth(), 640) << c.first;
    EXPECT_EQ(w.GetOpticalCenterX(), 319.5f) << c.first;
  }
  EOk();  // the mapping still works and never divides by zero
  EXPECT_EQ(w.WorldToSensor(EPoint(1, 1)).GetX(), 4.0f + w.GetCenterX());

  // Calibration modes need exactly one group.
  w.SetCalibrationModes(0x0006);
  for (unsigned int bad : {0x0101u, 0x0000u, 0x0300u, 0x1004u, 0x0005u, 0x0C00u, 0x0800u}) {
    EOk();
    w.SetCalibrationModes(bad);
    EXPECT_EQ(EGetError(), E_ERROR_CALIBRATION_MODE_NOT_ONE_GROUP) << bad;
    EXPECT_STREQ(EGetErrorTrace(), "EWorld::SetCalibrationModes\n");
    EXPECT_EQ(w.GetCalibrationModes(), 0x0006u);
  }
  EOk();
  for (unsigned int good : {0x0001u, 0x0100u, 0x0200u, 0x1000u, 0x0C7Eu, 0x2001u}) {
    w.SetCalibrationModes(good);
    EXPECT_EQ(w.GetCalibrationModes(), good);
  }
  EXPECT_EQ(EGetError(), E_OK);
}

TEST_F(WorldTest, SetSensorFollowsItsSteps) {
  EWorld w;
  const float D = FLT_MAX;  // "default" for centres
  // Both field sizes 0: scale 1, neither scaled nor anisotropic, ratio -1 without inverse.
  w.SetSensor(640, 480, 0, 0, 10, 20, 0, 0, 0, 0, 0, 0, D, D, 0x0000);
  EXPECT_EQ(w.GetScale(), 1.0f);
  EXPECT_EQ(w.GetRatio(), -1.0f);
  EXPECT_EQ(w.GetCalibrationModes(), 0x0000u);
  EXPECT_EQ(w.GetOpticalCenterY(), 239.5f);
  w.SetSensor(640, 480, 0, 0, 10, 20, 0, 0, 0, 0, 0, 0, 1, 2, 0x0002);
  EXPECT_EQ(w.GetRatio(), 1.0f);
  EXPECT_EQ(w.GetOpticalCenterX(), 1.0f);
  // Default centre: (0, height - 1) for raw and not inverse, (0, 0) raw inverse, else the middle.
  const std::pair<unsigned, EPoint> centres[] = {
      {0x0001, EPoint(0, 479)}, {0x0003, EPoint(0, 0)}, {0x0004, EPoint(319.5f, 239.5f)}};
  for (const auto& c : centres) {
    w.SetSensor(640, 480, 0, 0, D, D, 0, 0, 0, 0, 0, 0, D, D, c.first);
    EXPECT_EQ(w.GetCenter(), c.second) << c.first;
  }
  // Field 64 x 96 mm on 640 x 480: 10 px/mm across, 5 down; every bit set by its value.
  w.SetSensor(640, 480, 64, 96, 100, 200, 30, 5, 0, 0.01f, 1e-7f, 0, D, D, 0x0002);
  EXPECT_FLOAT_EQ(w.GetScale(), 10.0f);
  EXPECT_FLOAT_EQ(w.GetRatio(), 0.5f);
  EXPECT_EQ(w.GetCalibrationModes(), 0x007Eu);
  EXPECT_FLOAT_EQ(w.GetAngle(), 30.0f);
  EXPECT_FLOAT_EQ(w.GetTiltXAngle(), 5.0f);
  EXPECT_EQ(w.GetPerspectiveStrength(), 0.01f);
  EXPECT_EQ(w.GetDistortionOrder(), 1u);
  EXPECT_FLOAT_EQ(w.GetFieldWidth(), 64.0f);
  // Not inverse: the ratio is negative; no bit is cleared.
  w.SetSensor(640, 480, 64, 96, 0, 0, 0, 0, 0, 0, 0, 2e-9f, 0, 0, 0x0010);
  EXPECT_FLOAT_EQ(w.GetRatio(), -0.5f);
  EXPECT_EQ(w.GetCalibrationModes(), 0x005Cu);
  EXPECT_EQ(w.GetDistortionOrder(), 2u);
  EXPECT_EQ(EGetError(), E_OK);
}

TEST_F(WorldTest, SingularModelReports1051AndKeepsItsInverse) {
  EWorld w;
  w.SetCalibrationModes(0x0014);
  w.SetResolution(2, 2);
  w.SetAngle(10);
  const EPoint p = w.SensorToWorld(EPoint(7, 9));
  EXPECT_EQ(EGetError(), E_OK);
  w.SetRatio(0);  // no vertical resolution: the linear part is singular
  EXPECT_EQ(w.SensorToWorld(EPoint(7, 9)), p);
  EXPECT_EQ(EGetError(), E_ERROR_SINGULAR_MATRIX);
  EOk();
  w.SetCalibrationModes(0x0044);  // radial with a zero ratio: no division by zero
  const EPoint r = w.SensorToWorld(EPoint(7, 9));
  EXPECT_EQ(EGetError(), E_ERROR_SINGULAR_MATRIX);
  EXPECT_TRUE(std::isfinite(r.GetX()) && std::isfinite(r.GetY()));
}

TEST_F(WorldTest, CopiesTakeTheModelButNotTheStatistics) {
  Camera c;
  c.t = 0.2, c.rho = -1.3;
  EWorld w = MakeWorld(c, 0x001C);
  w.AddLandmark(EPoint(1, 2), EPoint(3, 4));
  w.SetGridPointsMeanVariationThreshold(0.5f);
  w.ComputeCalibrationQualityIndicators();
  EXPECT_GT(w.GetGridPointsMeanVariation(), 0.0f);
  EWorld copy(w);
  EXPECT_EQ(copy.GetNumLandmarks(), 1u);
  EXPECT_EQ(copy.WorldToSensor(EPoint(5, 5)), w.WorldToSensor(EPoint(5, 5)));
  EXPECT_EQ(copy.GetGridPointsMeanVariation(), 0.0f);
  EXPECT_EQ(copy.GetGridPointsMeanVariationThreshold(), 0.05f);
  EWorld assigned;
  assigned.SetGridPointsMeanVariationThreshold(0.25f);
  assigned = w;
  EXPECT_EQ(assigned.GetGridPointsMeanVariationThreshold(), 0.25f);
  EXPECT_EQ(assigned.WorldToSensor(EPoint(5, 5)), w.WorldToSensor(EPoint(5, 5)));
  assigned = *&assigned;  // self-assignment keeps everything
  EXPECT_EQ(assigned.GetNumLandmarks(), 1u);
  EPoint* clone = w.CreatePointClone();
  ASSERT_NE(dynamic_cast<EWorld*>(clone), nullptr);
  EXPECT_EQ(dynamic_cast<EWorld*>(clone)->GetNumLandmarks(), 1u);
  delete clone;
}

TEST_F(WorldTest, LandmarksAndTheirStatistics) {
  EWorld w;
  w.AddLandmark(EPoint(0, 0), EPoint(1, 1));
  w.AddLandmark(EPoint(2, 0), EPoint(2, 2), 1.5f, -2.0f, 0, 3, nullptr);
  w.AddPoint(EPoint(4, 6));
  ASSERT_EQ(w.GetNumLandmarks(), 3u);
  const ELandmark a = w.GetLandmark(0), b = w.GetLandmark(1), p = w.GetLandmark(2);
  EXPECT_EQ(a.Matched, 1);
  EXPECT_EQ(a.Neighbour[0], -1);
  EXPECT_EQ(b.Matched, 0);
  std::vector<uint8_t> neighbours(reinterpret_cast<const uint8_t*>(b.Neighbour),
                                  reinterpret_cast<const uint8_t*>(b.Neighbour) + 8);
  std::vector<uint8_t> expected;  // the extra values travel as raw floats in the first two
  PutF32(expected, 1.5f);
  PutF32(expected, -2.0f);
  EXPECT_EQ(neighbours, expected);
  EXPECT_EQ(p.Matched, 0);
  EXPECT_EQ(p.WorldPoint.GetX(), 4.0f);
  EXPECT_EQ(p.Neighbour[3], -1);
  EXPECT_EQ(w.SensorPointsGravityCenter(), EPoint(2, 2));
  float xx, xy, yy;
  w.SensorPointsMoments(xx, xy, yy);
  EXPECT_FLOAT_EQ(xx, 8.0f / 3);
  EXPECT_FLOAT_EQ(xy, 4.0f);
  EXPECT_FLOAT_EQ(yy, 8.0f);
  EXPECT_FLOAT_EQ(w.WorldPointsGravityCenter().GetY(), 3.0f);
  EOk();
  EXPECT_EQ(w.GetLandmark(3).Matched, 0);
  EXPECT_EQ(EGetError(), E_ERROR_INDEX_OUT_OF_RANGE);
  EOk();
  w.RemoveLandmark(7);
  EXPECT_EQ(EGetError(), E_ERROR_INDEX_OUT_OF_RANGE);
  EOk();
  w.RemoveLandmark(0);
  EXPECT_EQ(w.GetLandmark(0).SensorPoint.GetX(), 2.0f);
  w.SetOriginLandmark(1);
  w.SetMatchedCount(5);
  w.EmptyLandmarks();
  EXPECT_EQ(w.GetNumLandmarks(), 0u);
  EXPECT_EQ(w.GetOriginLandmark(), -1);
  EXPECT_EQ(w.GetMatchedCount(), 0u);
  w.WorldPointsMoments(xx, xy, yy);
  EXPECT_EQ(xx, 0.0f);
  EXPECT_EQ(w.SensorPointsGravityCenter(), EPoint(0, 0));
}

TEST_F(WorldTest, DescriptionNamesTheModesAndPolynomials) {
  EWorld w;
  EXPECT_EQ(w.DescribeCalibration(), ", Calibration modes: raw\n");
  w.SetSensor(10, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
  EXPECT_EQ(w.DescribeCalibration(), ", Calibration modes: -\n");
  w.SetCalibrationModes(0x0C7E);
  EXPECT_EQ(w.DescribeCalibration(),
            ", Calibration modes: inverse scaled anisotropic skewed tilted radial polynomial\n");
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) w.AddLandmark(EPoint(2.0f * i + 1, 3.0f * j + 2), EPoint(i, j));
  w.Calibrate(0x0100);
  EXPECT_EQ(w.DescribeCalibration(),
            ", Calibration modes: inverse bilinear\n"
            "World to sensor:\n"
            "X = 0.000000 xy + 2.000000 x + 0.000000 y + 1.000000\n"
            "Y = 0.000000 xy + 0.000000 x + 3.000000 y + 2.000000\n"
            "Sensor to world:\n"
            "x = 0.000000 XY + 0.500000 X + 0.000000 Y + -0.500000\n"
            "y = 0.000000 XY + 0.000000 X + 0.333333 Y + -0.666667\n");
}

TEST_F(WorldTest, RawRadialWorldUsesItsOwnRatioBothWays) {
  // A new world given a distortion keeps "raw" beside "radial": the plain radial form with a
  // zero translation. Its way back must divide by the ratio the way forward multiplies by.
  for (float ratio : {-1.0f, 2.0f, -0.5f}) {
    SCOPED_TRACE(ratio);
    EWorld w;
    w.SetDistortion(1e-6f, 0);
    w.SetRatio(ratio);
    ASSERT_EQ(w.GetCalibrationModes() & 0x41u, 0x41u);
    const double k = 1e-6, ox = 256, oy = 256;
    const double ySign = ratio >= 0 ? 1 : -1;  // "inverse" follows the sign of the ratio
    for (const EPoint& p : {EPoint(-30, -8), EPoint(-30, 25), EPoint(12, -8), EPoint(12, 25)}) {
      const double u = p.GetX(), v = ySign * p.GetY(), f = 1 + k * (u * u + v * v);
      const EPoint s = w.WorldToSensor(p);
      EXPECT_NEAR(s.GetX(), ox + f * u, 1e-3);
      EXPECT_NEAR(s.GetY(), oy + ratio * f * v, 1e-3);
      EXPECT_NEAR(w.SensorToWorld(s).GetX(), p.GetX(), 1e-3);
      EXPECT_NEAR(w.SensorToWorld(s).GetY(), p.GetY(), 1e-3);
    }
    EXPECT_EQ(EGetError(), E_OK);
  }
}

TEST_F(WorldTest, PolynomialNameBitDoesNotFreezeAPhysicalModel) {
  // "polynomial" only names a model: beside "scaled" the scaled family is recomputed from the
  // scale and centre like any other.
  EWorld w;
  w.SetCalibrationModes(0x0804);
  ASSERT_EQ(EGetError(), E_OK);
  w.SetScale(5);
  w.SetCenter(100, 90);
  w.SetRatio(-2);
  const EPoint s = w.WorldToSensor(EPoint(1, 3));
  EXPECT_FLOAT_EQ(s.GetX(), 105);
  EXPECT_FLOAT_EQ(s.GetY(), 90 - 2 * 5 * 3);
  EXPECT_FLOAT_EQ(w.SensorToWorld(s).GetX(), 1);
  EXPECT_FLOAT_EQ(w.SensorToWorld(s).GetY(), 3);
  // A calibration requested with the name bit is the scaled model it fitted.
  EWorld c;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) c.AddLandmark(EPoint(4.0f * i + 10, 20 - 4.0f * j), EPoint(i, j));
  c.Calibrate(0x0804);
  ASSERT_EQ(EGetError(), E_OK);
  EXPECT_NEAR(c.WorldToSensor(EPoint(2, 1)).GetX(), 18, 1e-4);
  EXPECT_NEAR(c.WorldToSensor(EPoint(2, 1)).GetY(), 16, 1e-4);
}
