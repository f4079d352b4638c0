// Process-wide switches: the caller's angle unit and the recursive-copy flag.
#ifndef VIMO_CORE_SETTINGS_H
#define VIMO_CORE_SETTINGS_H

#include "vimo/core/vimo_export.h"

enum E_ANGLE_UNITS {
  E_ANGLE_UNIT_RADIANS = 0,
  E_ANGLE_UNIT_DEGREES = 1,
  E_ANGLE_UNIT_GRADIANS = 2,
  E_ANGLE_UNIT_REVOLUTIONS = 3
};

VIMO_EXPORT void ESetAngleUnit(
    E_ANGLE_UNITS unit);  // default: degrees; an unknown value is ignored
VIMO_EXPORT E_ANGLE_UNITS EGetAngleUnit();
VIMO_EXPORT float EToRadians(float angle);    // caller's unit -> radians
VIMO_EXPORT float EFromRadians(float angle);  // radians -> caller's unit
VIMO_EXPORT const char* EGetAngleUnitName();  // "rad", "deg", "grad", "rev"

VIMO_EXPORT int GetRecursiveCopyBehavior();  // default 1
VIMO_EXPORT void SetRecursiveCopyBehavior(int recursive);

#endif
