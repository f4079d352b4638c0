// Shared helpers of the geometry tests: unit-restoring fixture, point comparison, record I/O.
#ifndef VIMO_TESTS_GEOMETRY_SUPPORT_H
#define VIMO_TESTS_GEOMETRY_SUPPORT_H

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "test_support.h"
#include "vimo/geometry/geometry.h"

// Every test starts in degrees with a clear error state and leaves the unit as it found it.
class GeometryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_Unit = EGetAngleUnit();
    ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
    EOk();
  }
  void TearDown() override {
    ESetAngleUnit(m_Unit);
    EFrame::SetLoadedRatio(1.0f);
    EOk();
  }

 private:
  E_ANGLE_UNITS m_Unit = E_ANGLE_UNIT_DEGREES;
};

namespace geometry_test {

using vimo_test::PutF32;
using vimo_test::PutU8;

const float kPi = 3.14159265f;
const float kTwoPi = 6.28318548f;
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

inline void ExpectNear(const EPoint& p, float x, float y, float tol = 1e-4f) {
  EXPECT_NEAR(p.GetX(), x, tol);
  EXPECT_NEAR(p.GetY(), y, tol);
}
inline void ExpectSame(const EPoint& p, const EPoint& q, float tol = 1e-4f) {
  ExpectNear(p, q.GetX(), q.GetY(), tol);
}

// The code of the library exception the call throws, or 0 when it throws none.
template <typename F>
int ThrownCode(F&& call) {
  try {
    call();
  } catch (const Quarnel::Vexlor::Exception& e) {
    return e.GetCode();
  }
  return 0;
}

// A temporary stream holding the given bytes, rewound for reading.
inline FILE* StreamWith(const std::vector<uint8_t>& bytes) {
  FILE* f = std::tmpfile();
  if (f == nullptr) return nullptr;
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::rewind(f);
  return f;
}

// Everything in the stream from its start.
inline std::vector<uint8_t> StreamBytes(FILE* f) {
  std::vector<uint8_t> bytes;
  std::fflush(f);
  std::rewind(f);
  int c;
  while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
  return bytes;
}

// The stream-form record of a shape.
inline std::vector<uint8_t> Written(EPoint& shape) {
  FILE* f = std::tmpfile();
  shape.Serialize(f, 1, 4);
  std::vector<uint8_t> bytes = StreamBytes(f);
  std::fclose(f);
  return bytes;
}

// Bytes of a frame record of version 2 (version 1 adds the trailing ratio).
inline void PutFrame(std::vector<uint8_t>& b, float x, float y, float angle, float scale) {
  PutU8(b, 2);
  PutU8(b, 1);
  PutF32(b, x);
  PutF32(b, y);
  PutF32(b, angle);
  PutF32(b, scale);
}

// A stream opened read-only, so every write fails.
inline FILE* ReadOnlyStream() {
  std::string path = vimo_test::ScratchPath("readonly.bin");
  vimo_test::WriteFileBytes(path, {0});
  return std::fopen(path.c_str(), "rb");
}

}  // namespace geometry_test

#endif
