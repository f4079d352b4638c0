// Shared helpers of the geometry tests: unit-restoring fixture and record I/O through files.
#ifndef VIMO_TESTS_GEOMETRY_SUPPORT_H
#define VIMO_TESTS_GEOMETRY_SUPPORT_H

#include <gtest/gtest.h>

#include <cstdio>
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
    EOk();
  }

 private:
  E_ANGLE_UNITS m_Unit = E_ANGLE_UNIT_DEGREES;
};

namespace geometry_test {

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

// Bytes of a frame record of version 2 (version 1 adds the trailing ratio).
inline void PutFrame(std::vector<uint8_t>& b, float x, float y, float angle, float scale) {
  vimo_test::PutU8(b, 2);
  vimo_test::PutU8(b, 1);
  vimo_test::PutF32(b, x);
  vimo_test::PutF32(b, y);
  vimo_test::PutF32(b, angle);
  vimo_test::PutF32(b, scale);
}

// A stream opened read-only, so every write fails.
inline FILE* ReadOnlyStream() {
  std::string path = vimo_test::ScratchPath("readonly.bin");
  vimo_test::WriteFileBytes(path, {0});
  return std::fopen(path.c_str(), "rb");
}

}  // namespace geometry_test

#endif
