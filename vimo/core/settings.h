// Process-wide switches: the caller's angle unit, the recursive-copy flag and the largest image
// that image files may decode to.
#ifndef VIMO_CORE_SETTINGS_H
#define VIMO_CORE_SETTINGS_H

#include <cstdint>

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

// The most pixels (width x height) EImage::Load accepts from a file, checked against the size
// in the file's header before anything is allocated for the image: a file claiming more is
// refused with 1303, as is any allocation that fails while loading. A small file can claim a
// huge image; the limit keeps such a file from taking the process's memory. Default 2^28
// (16384 x 16384). A limit below 1 sets 32767 and changes nothing.
VIMO_EXPORT void ESetImageFilePixelLimit(int64_t pixels);
VIMO_EXPORT int64_t EGetImageFilePixelLimit();

#endif
