// Shared helpers of the calibration tests: a fixture in degrees, streams holding given bytes,
// and a world from a known set of camera parameters.
#ifndef VIMO_TESTS_CALIBRATION_SUPPORT_H
#define VIMO_TESTS_CALIBRATION_SUPPORT_H

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "test_support.h"
#include "vimo/calibration/world.h"

namespace calibration_test {

const double kPi = 3.14159265358979323846;
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

class WorldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
    EOk();
  }
};

// Everything in the stream from its start, and a temporary stream holding the given bytes.
inline std::vector<uint8_t> StreamBytes(FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::vector<uint8_t> bytes;
  for (int c; (c = std::fgetc(f)) != EOF;) bytes.push_back(static_cast<uint8_t>(c));
  return bytes;
}
inline FILE* StreamWith(const std::vector<uint8_t>& bytes) {
  FILE* f = std::tmpfile();
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::rewind(f);
  return f;
}

// A camera: centre, scale s, ratio rho, angle (degrees), tilts (degrees), perspective P,
// distortion k.
struct Truth {
  float cx = 330, cy = 250, s = 5, rho = -1, angle = 0, tiltX = 0, tiltY = 0, P = 0, k = 0;
};

// A 640 x 480 world with the given model, built through the setters.
inline EWorld Known(const Truth& t, unsigned int modes) {
  EWorld w;
  w.SetSensorSize(640, 480);
  w.SetCenter(t.cx, t.cy);
  w.SetScale(t.s);
  w.SetRatio(t.rho);
  w.SetAngle(t.angle);
  w.SetPerspective(t.tiltX, t.tiltY, t.P);
  w.SetDistortion(t.k, 0);
  w.SetCalibrationModes(modes);
  return w;
}

}  // namespace calibration_test

#endif
