#include "vimo/core/settings.h"

#include "vimo/core/errors.h"

namespace {

E_ANGLE_UNITS g_AngleUnit = E_ANGLE_UNIT_DEGREES;
int g_RecursiveCopy = 1;
int64_t g_ImageFilePixelLimit = int64_t(1) << 28;

// Radians per unit, in double precision so that a round trip is as exact as floats allow.
double RadiansPerUnit() {
  switch (g_AngleUnit) {
    case E_ANGLE_UNIT_RADIANS: return 1.0;
    case E_ANGLE_UNIT_DEGREES: return 3.14159265358979323846 / 180.0;
    case E_ANGLE_UNIT_GRADIANS: return 3.14159265358979323846 / 200.0;
    case E_ANGLE_UNIT_REVOLUTIONS: return 2.0 * 3.14159265358979323846;
  }
  return 1.0;
}

}  // namespace

void ESetAngleUnit(E_ANGLE_UNITS unit) {
  if (unit < E_ANGLE_UNIT_RADIANS || unit > E_ANGLE_UNIT_REVOLUTIONS) return;
  g_AngleUnit = unit;
}

E_ANGLE_UNITS EGetAngleUnit() { return g_AngleUnit; }

float EToRadians(float angle) {
  if (g_AngleUnit == E_ANGLE_UNIT_RADIANS) return angle;
  return static_cast<float>(angle * RadiansPerUnit());
}

float EFromRadians(float angle) {
  if (g_AngleUnit == E_ANGLE_UNIT_RADIANS) return angle;
  return static_cast<float>(angle / RadiansPerUnit());
}

const char* EGetAngleUnitName() {
  switch (g_AngleUnit) {
    case E_ANGLE_UNIT_RADIANS: return "rad";
    case E_ANGLE_UNIT_DEGREES: return "deg";
    case E_ANGLE_UNIT_GRADIANS: return "grad";
    case E_ANGLE_UNIT_REVOLUTIONS: return "rev";
  }
  return "rad";
}

int GetRecursiveCopyBehavior() { return g_RecursiveCopy; }

void SetRecursiveCopyBehavior(int recursive) { g_RecursiveCopy = recursive; }

void ESetImageFilePixelLimit(int64_t pixels) {
  if (pixels < 1) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("ESetImageFilePixelLimit");
    return;
  }
  g_ImageFilePixelLimit = pixels;
}

int64_t EGetImageFilePixelLimit() { return g_ImageFilePixelLimit; }
