// Process-wide switches: the caller's angle unit and the recursive-copy flag.
#ifndef VIMO_CORE_SETTINGS_H
#define VIMO_CORE_SETTINGS_H

enum E_ANGLE_UNITS {
  E_ANGLE_UNIT_RADIANS = 0,
  E_ANGLE_UNIT_DEGREES = 1,
  E_ANGLE_UNIT_GRADIANS = 2,
  E_ANGLE_UNIT_REVOLUTIONS = 3
};

void ESetAngleUnit(E_ANGLE_UNITS unit);  // default: degrees; an unknown value is ignored
E_ANGLE_UNITS EGetAngleUnit();
float EToRadians(float angle);    // caller's unit -> radians
float EFromRadians(float angle);  // radians -> caller's unit
const char* EGetAngleUnitName();  // "rad", "deg", "grad", "rev"

int GetRecursiveCopyBehavior();  // default 1
void SetRecursiveCopyBehavior(int recursive);

#endif
