// Calibration from landmarks: recovery of known models for every family, the refusals, the
// affine fallback of a non-physical homography, bad landmarks and the quality statistics.
#include <gtest/gtest.h>

#include "calibration_test_support.h"

using namespace calibration_test;

namespace {

// n x n landmarks on a world grid of the given pitch, mapped through the known model.
EWorld Landmarked(EWorld& known, int n, float pitch) {
  EWorld w;
  w.SetSensorSize(640, 480);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j) {
      const EPoint p((i - (n - 1) / 2.0f) * pitch, (j - (n - 1) / 2.0f) * pitch);
      w.AddLandmark(known.WorldToSensor(p), p);
    }
  return w;
}

// Largest distance, in sensor pixels, between the two models over the landmark area.
double ForwardDifference(EWorld& a, EWorld& b, float extent) {
  double worst = 0;
  for (int i = -5; i <= 5; ++i)
    for (int j = -5; j <= 5; ++j) {
      const EPoint p(extent * i / 5, extent * j / 5);
      worst =
          std::max(worst, static_cast<double>((a.WorldToSensor(p) - b.WorldToSensor(p)).Modulus()));
    }
  return worst;
}

struct Case {
  const char* name;
  unsigned int known;      // modes of the generating model
  unsigned int requested;  // modes given to Calibrate
  Truth truth;
};

}  // namespace

TEST_F(WorldTest, RecoversKnownPhysicalModels) {
  auto truth = [](float rho, float angle, float tiltX, float tiltY, float P, float k) {
    Truth t;
    t.rho = rho, t.angle = angle, t.tiltX = tiltX, t.tiltY = tiltY, t.P = P, t.k = k;
    return t;
  };
  const Case cases[] = {
      {"scaled", 0x0004, 0x0004, truth(-1, 0, 0, 0, 0, 0)},
      {"inverse", 0x0006, 0x0004, truth(1, 0, 0, 0, 0, 0)},
      {"anisotropic", 0x000C, 0x000C, truth(-1.25f, 0, 0, 0, 0, 0)},
      {"skewed", 0x001C, 0x001C, truth(-1.1f, 12, 0, 0, 0, 0)},
      {"tilted", 0x003C, 0x003C, truth(-1.05f, 8, 12, -7, 0.004f, 0)},
      {"tilted inverse", 0x003E, 0x003C, truth(1.05f, 8, 12, -7, 0.004f, 0)},
      {"radial", 0x0044, 0x0044, truth(-1, 0, 0, 0, 0, 3e-7f)},
      {"radial skewed", 0x005C, 0x005C, truth(-1.1f, 12, 0, 0, 0, -2e-7f)},
      {"tilted radial", 0x007C, 0x007C, truth(-1.05f, 8, 12, -7, 0.004f, 2e-7f)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EOk();
    EWorld known = Known(c.truth, c.known);
    EWorld w = Landmarked(known, 11, 4.0f);
    w.Calibrate(c.requested);
    EXPECT_EQ(EGetError(), E_OK) << EGetErrorTrace();
    EXPECT_EQ(w.GetCalibrationModes(), c.known);
    EXPECT_NEAR(w.GetScale(), c.truth.s, 2e-4 * c.truth.s);
    EXPECT_NEAR(w.GetRatio(), c.truth.rho, 2e-4);
    EXPECT_NEAR(w.GetAngle(), c.truth.angle, 0.01);
    EXPECT_NEAR(w.GetCenterX(), c.truth.cx, 0.01);
    EXPECT_NEAR(w.GetCenterY(), c.truth.cy, 0.01);
    EXPECT_NEAR(w.GetTiltXAngle(), c.truth.tiltX, 0.05);
    EXPECT_NEAR(w.GetTiltYAngle(), c.truth.tiltY, 0.05);
    EXPECT_NEAR(w.GetPerspectiveStrength(), c.truth.P, 2e-5);
    EXPECT_NEAR(w.GetDistortionStrength(), c.truth.k, 2e-9);
    EXPECT_LT(ForwardDifference(w, known, 20), 2e-3);
    // The statistics map back through SensorToWorld, whose radial form is a first-order
    // inverse: the calibrated world scores as well as the true one.
    known.m_Landmark = w.m_Landmark;
    known.ComputeCalibrationQualityIndicators();
    w.ComputeCalibrationQualityIndicators();
    EXPECT_LT(w.GetGridPointsMeanVariation(), known.GetGridPointsMeanVariation() + 1e-4);
    EXPECT_LT(w.GetGridPointsMaxVariation(), known.GetGridPointsMaxVariation() + 3e-4);
    if (c.truth.k == 0) {
      EXPECT_LT(w.GetGridPointsMaxVariation(), 3e-4);
    }
    EXPECT_EQ(w.CalibrationSucceeded(), 1);
  }
}

TEST_F(WorldTest, RecoversPolynomialModels) {
  // Forward polynomials with known coefficients; landmarks generated from them directly.
  const float ex[6] = {0.002f, -0.003f, 0.001f, 4.0f, 0.5f, 310};
  const float ey[6] = {-0.001f, 0.002f, 0.0015f, -0.3f, -4.2f, 230};
  for (unsigned int modes : {0x0100u, 0x0200u}) {
    SCOPED_TRACE(modes);
    const bool quadratic = modes == 0x0200;
    EWorld w;
    for (int i = -5; i <= 5; ++i)
      for (int j = -5; j <= 5; ++j) {
        const float x = 4.0f * i, y = 4.0f * j;
        const float sq = quadratic ? 1.0f : 0.0f;
        const float X =
            sq * (ex[0] * x * x + ex[2] * y * y) + ex[1] * x * y + ex[3] * x + ex[4] * y + ex[5];
        const float Y =
            sq * (ey[0] * x * x + ey[2] * y * y) + ey[1] * x * y + ey[3] * x + ey[4] * y + ey[5];
        w.AddLandmark(EPoint(X, Y), EPoint(x, y));
      }
    w.Calibrate(modes);
    EXPECT_EQ(EGetError(), E_OK);
    EXPECT_EQ(w.GetCalibrationModes(), modes);  // Y flipped: not inverse
    w.Validate();
    const EWorldCoefficients& c = w.GetCoefficients();
    EXPECT_NEAR(c.a11, ex[3], 1e-4);
    EXPECT_NEAR(c.a12, ex[4], 1e-4);
    EXPECT_NEAR(c.tx, ex[5], 1e-3);
    EXPECT_NEAR(c.a21, ey[3], 1e-4);
    EXPECT_NEAR(c.a22, ey[4], 1e-4);
    EXPECT_NEAR(c.ty, ey[5], 1e-3);
    EXPECT_NEAR(c.e[1], ex[1], 1e-6);
    EXPECT_NEAR(c.e[4], ey[1], 1e-6);
    if (quadratic) {
      EXPECT_NEAR(c.e[0], ex[0], 1e-6);
      EXPECT_NEAR(c.e[2], ex[2], 1e-6);
      EXPECT_NEAR(c.e[3], ey[0], 1e-6);
      EXPECT_NEAR(c.e[5], ey[2], 1e-6);
    }
    EXPECT_NEAR(w.GetCenterX(), ex[5], 1e-3);
    EXPECT_NEAR(w.GetScale(), std::hypot(ex[3], ex[4]), 1e-3);
    // The way back is a fitted polynomial: close, not exact.
    w.ComputeCalibrationQualityIndicators();
    EXPECT_LT(w.GetGridPointsMaxVariation(), 0.05);
  }
}

TEST_F(WorldTest, FourCornersOfASquareGiveTheScale) {
  for (int flip : {-1, 1}) {
    EWorld w;
    w.AddLandmark(EPoint(100, 100), EPoint(0, 0));
    w.AddLandmark(EPoint(120, 100), EPoint(2, 0));
    w.AddLandmark(EPoint(100, 100 + flip * 20.0f), EPoint(0, 2));
    w.AddLandmark(EPoint(120, 100 + flip * 20.0f), EPoint(2, 2));
    w.Calibrate(0x0004);
    EXPECT_EQ(EGetError(), E_OK);
    EXPECT_EQ(w.GetCalibrationModes(), flip > 0 ? 0x0006u : 0x0004u);
    EXPECT_NEAR(w.GetScale(), 10.0f, 1e-4);
    EXPECT_NEAR(w.GetRatio(), static_cast<float>(flip), 1e-6);
    EXPECT_EQ(w.GetAngle(), 0.0f);
    EXPECT_NEAR(w.SensorToWorld(EPoint(110, 100 + flip * 10.0f)).GetX(), 1.0f, 1e-5);
    EXPECT_NEAR(w.SensorToWorld(EPoint(110, 100 + flip * 10.0f)).GetY(), 1.0f, 1e-5);
    EXPECT_EQ(w.CalibrationSucceeded(), 1);
    EXPECT_EQ(w.GetGridPointsMeanVariation(), 0.0f);
  }
}

TEST_F(WorldTest, RefusalsLeaveTheWorldUnchanged) {
  Truth t;
  EWorld known = Known(t, 0x0004);
  EWorld w = Landmarked(known, 3, 5.0f);
  w.SetCalibrationModes(0x0002);
  const struct {
    unsigned int modes;
    E_ERRORS code;
  } refusals[] = {{0x0001, E_ERROR_CALIBRATION_MODE_NOT_ALLOWED},
                  {0x1001, E_ERROR_CALIBRATION_MODE_NOT_ALLOWED},
                  {0x1004, E_ERROR_CALIBRATION_MODE_NOT_ALLOWED},
                  {0xFFFFFFFF, E_ERROR_CALIBRATION_MODE_NOT_ALLOWED},
                  {0x0300, E_ERROR_CALIBRATION_MODE_NOT_ONE_GROUP},
                  {0x0104, E_ERROR_CALIBRATION_MODE_NOT_ONE_GROUP},
                  {0x0000, E_ERROR_CALIBRATION_MODE_NOT_ONE_GROUP},
                  {0x0800, E_ERROR_CALIBRATION_MODE_NOT_ONE_GROUP}};
  for (const auto& r : refusals) {
    EOk();
    w.Calibrate(r.modes);
    EXPECT_EQ(EGetError(), r.code) << r.modes;
    EXPECT_STREQ(EGetErrorTrace(), "EWorld::Calibrate\n");
    EXPECT_EQ(w.GetCalibrationModes(), 0x0002u);
    EXPECT_EQ(w.GetScale(), 1.0f);
  }
  EWorld three;
  three.AddLandmark(EPoint(0, 0), EPoint(0, 0));
  three.AddLandmark(EPoint(1, 0), EPoint(1, 0));
  three.AddLandmark(EPoint(0, 1), EPoint(0, 1));
  EOk();
  three.Calibrate(0x0004);
  EXPECT_EQ(EGetError(), E_ERROR_TOO_FEW_LANDMARKS);
  EXPECT_EQ(three.GetCalibrationModes(), 0x0001u);
  // Unmatched landmarks count for the minimum but take no part in the fit.
  three.AddLandmark(EPoint(500, 500), EPoint(1, 1), 0, 0, 0, 0, nullptr);
  EOk();
  three.Calibrate(0x0004);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_NEAR(three.GetScale(), 1.0f, 1e-5);
  EXPECT_NEAR(three.SensorToWorld(EPoint(1, 1)).GetX(), 1.0f, 1e-5);
}

TEST_F(WorldTest, NonFiniteLandmarksAreReportedAndNoModelIsStored) {
  for (float bad :
       {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
    Truth t;
    EWorld known = Known(t, 0x0004);
    EWorld w = Landmarked(known, 3, 5.0f);
    w.AddLandmark(EPoint(bad, 3), EPoint(1, 1));
    const EPoint before = w.WorldToSensor(EPoint(1, 1));
    EOk();
    w.Calibrate(0x001C);
    EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
    EXPECT_STREQ(EGetErrorTrace(), "EWorld::Calibrate\n");
    EXPECT_EQ(w.GetCalibrationModes(), 0x0001u);
    EXPECT_EQ(w.WorldToSensor(EPoint(1, 1)).GetX(), before.GetX());
    // An unmatched non-finite landmark does not enter the fit.
    EWorld v = Landmarked(known, 3, 5.0f);
    v.AddLandmark(EPoint(bad, bad), EPoint(bad, 0), 0, 0, 0, 0, nullptr);
    EOk();
    v.Calibrate(0x0004);
    EXPECT_EQ(EGetError(), E_OK);
    EXPECT_NEAR(v.GetScale(), 5.0f, 1e-4);
  }
}

TEST_F(WorldTest, CollinearLandmarksMakeTheSolverFail) {
  EWorld w;
  for (int i = 0; i < 6; ++i)
    w.AddLandmark(EPoint(10.0f * i, 5.0f * i), EPoint(static_cast<float>(i), 0.5f * i));
  w.Calibrate(0x0004);
  EXPECT_EQ(EGetError(), E_ERROR_NOT_POSITIVE_DEFINITE);
  EXPECT_STREQ(EGetErrorTrace(), "EWorld::Calibrate\n");
  EOk();
  // Too few for a homography: four points are needed, three distinct given (one repeated).
  EWorld h;
  h.AddLandmark(EPoint(0, 0), EPoint(0, 0));
  h.AddLandmark(EPoint(10, 0), EPoint(1, 0));
  h.AddLandmark(EPoint(0, 10), EPoint(0, 1));
  h.AddLandmark(EPoint(0, 10), EPoint(0, 1));
  h.Calibrate(0x0020);
  EXPECT_EQ(EGetError(), E_ERROR_NOT_POSITIVE_DEFINITE);
  EOk();
  // Five points in general position fit a bilinear model but not a quadratic one.
  EWorld q;
  const float pts[5][2] = {{0, 0}, {3, 0}, {0, 2}, {3, 2}, {1, 1}};
  for (const auto& p : pts) q.AddLandmark(EPoint(10 * p[0] + 1, 10 * p[1] + 2), EPoint(p[0], p[1]));
  q.Calibrate(0x0100);
  EXPECT_EQ(EGetError(), E_OK);
  q.Calibrate(0x0200);
  EXPECT_EQ(EGetError(), E_ERROR_NOT_POSITIVE_DEFINITE);
}

TEST_F(WorldTest, NonPhysicalHomographyFallsBackToTheAffineModel) {
  // X = (x + 0.3 y + 100)/(1 + 0.01 x + 0.01 y), Y = (y + 50)/(…), optical centre at 0: the
  // decomposition needs c = -3000 a, not a camera.
  EWorld w;
  for (int i = -4; i <= 4; ++i)
    for (int j = -4; j <= 4; ++j) {
      const float x = 5.0f * i, y = 5.0f * j, d = 1 + 0.01f * x + 0.01f * y;
      w.AddLandmark(EPoint((x + 0.3f * y + 100) / d, (y + 50) / d), EPoint(x, y));
    }
  w.SetOpticalCenter(0, 0);
  EWorld affine(w);
  affine.Calibrate(0x001C);
  EWorld radialAffine(w);
  radialAffine.Calibrate(0x005C);
  EXPECT_EQ(EGetError(), E_OK);

  w.Calibrate(0x003C);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(w.GetCalibrationModes() & 0x0020u, 0u);
  EXPECT_EQ(w.GetCalibrationModes(), affine.GetCalibrationModes());
  EXPECT_EQ(w.GetPerspectiveStrength(), 0.0f);
  EXPECT_EQ(w.GetTiltXAngle(), 0.0f);
  EXPECT_FLOAT_EQ(w.GetScale(), affine.GetScale());
  EXPECT_FLOAT_EQ(w.GetRatio(), affine.GetRatio());
  EXPECT_FLOAT_EQ(w.GetAngle(), affine.GetAngle());
  EXPECT_FLOAT_EQ(w.GetCenterX(), affine.GetCenterX());

  // With radial, the fallback is refined with P and the tilts held at 0.
  EWorld r(w);
  r.SetOpticalCenter(0, 0);
  r.Calibrate(0x007C);
  EXPECT_EQ(r.GetCalibrationModes() & 0x0020u, 0u);
  EXPECT_EQ(r.GetPerspectiveStrength(), 0.0f);
  EXPECT_EQ(r.GetTiltYAngle(), 0.0f);
  EXPECT_FLOAT_EQ(r.GetScale(), radialAffine.GetScale());
  EXPECT_FLOAT_EQ(r.GetDistortionStrength(), radialAffine.GetDistortionStrength());
}

TEST_F(WorldTest, RadialWithoutDistortionReproducesTheAffineModel) {
  Truth t;
  t.angle = 20, t.rho = -1.2f;
  EWorld known = Known(t, 0x001C);
  EWorld w = Landmarked(known, 7, 5.0f);
  w.Calibrate(0x005C);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_NEAR(w.GetDistortionStrength(), 0.0f, 1e-10);
  EXPECT_LT(ForwardDifference(w, known, 15), 1e-3);
}

TEST_F(WorldTest, QualityStatisticsAndThresholds) {
  EWorld w;
  w.AddLandmark(EPoint(10, 0), EPoint(10, 0.5f));   // raw world: residual 0.5
  w.AddLandmark(EPoint(20, 0), EPoint(20, -1.0f));  // residual 1
  w.AddPoint(EPoint(3, 3));                         // unidentified: skipped
  w.ComputeCalibrationQualityIndicators();
  EXPECT_FLOAT_EQ(w.GetGridPointsMeanVariation(), std::sqrt((0.25f + 1.0f) / 2));
  EXPECT_FLOAT_EQ(w.GetGridPointsMaxVariation(), 1.0f);
  w.SetGridPitch(2, 8);  // pitch area 16: relative residuals a quarter
  EXPECT_EQ(w.CalibrationSucceeded(), 0);
  EXPECT_FLOAT_EQ(w.GetGridPointsMaxVariation(), 0.25f);
  w.SetGridPointsMeanVariationThreshold(0.5f);
  w.SetGridPointsMaxVariationThreshold(0.3f);
  EXPECT_FLOAT_EQ(w.GetGridPointsMaxVariationThreshold(), 0.3f);
  EXPECT_EQ(w.CalibrationSucceeded(), 1);

  // A zero pitch would divide by zero: reported, nothing stored.
  w.SetGridPitch(0, 8);
  EXPECT_EQ(w.CalibrationSucceeded(), 0);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_FLOAT_EQ(w.GetGridPointsMaxVariation(), 0.25f);
  EOk();
  w.SetGridPointsMeanVariationThreshold(std::numeric_limits<float>::quiet_NaN());
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_FLOAT_EQ(w.GetGridPointsMeanVariationThreshold(), 0.5f);
  EOk();

  // Only unidentified points: zero statistics and a failing verdict.
  EWorld empty;
  empty.AddPoint(EPoint(1, 1));
  EXPECT_EQ(empty.CalibrationSucceeded(), 0);
  EXPECT_EQ(empty.GetGridPointsMeanVariation(), 0.0f);
  EXPECT_EQ(EGetError(), E_OK);
}

TEST_F(WorldTest, RefinementWithoutRadialWritesItsFixedZeroDistortion) {
  // The refinement holds k at 0 when "radial" is not requested and writes the accepted value;
  // a plain affine fit does not touch k.
  Truth t;
  t.angle = 5, t.tiltX = 10, t.tiltY = 4, t.P = 0.003f;
  EWorld known = Known(t, 0x003C);
  EWorld w = Landmarked(known, 7, 4.0f);
  w.SetDistortion(5e-7f, 0);
  EWorld affine(w);
  w.Calibrate(0x003C);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(w.GetCalibrationModes() & 0x0040u, 0u);
  EXPECT_EQ(w.GetDistortionStrength(), 0.0f);
  affine.Calibrate(0x001C);
  EXPECT_EQ(affine.GetDistortionStrength(), 5e-7f);
}
