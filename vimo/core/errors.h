// Process-wide error state, error codes and the library exceptions.
#ifndef VIMO_CORE_ERRORS_H
#define VIMO_CORE_ERRORS_H

#include <exception>

#include "vimo/core/vimo_export.h"

// Every code the library raises, with its fixed value.
enum E_ERRORS : int {
  E_OK = 0,
  E_ERROR_INDEX_OUT_OF_RANGE = 1011,
  E_ERROR_GRID_INDEX_OUT_OF_RANGE = 1012,
  E_ERROR_MISSING_DERIVATIVE = 1013,
  E_ERROR_NOT_POSITIVE_DEFINITE = 1050,
  E_ERROR_SINGULAR_MATRIX = 1051,
  E_ERROR_CANNOT_OPEN_FILE = 1102,
  E_ERROR_READ_FAILED = 1103,
  E_ERROR_WRITE_FAILED = 1104,
  E_ERROR_BAD_SIGNATURE = 1105,
  E_ERROR_CLOSE_FAILED = 1106,
  E_ERROR_VERSION_TOO_NEW = 1108,
  E_ERROR_NOT_FILE_SERIALIZER = 1111,
  E_ERROR_ALLOCATION_FAILED = 1303,
  E_ERROR_SLOT_OCCUPIED = 12002,
  E_ERROR_ALREADY_HAS_DAUGHTER_TABLE = 12005,
  E_ERROR_NO_TRANSITION_SELECTED = 12007,
  E_ERROR_INDEXED_MOTHER_HAS_DAUGHTERS = 12008,
  E_ERROR_NOT_INDEXED = 12009,
  E_ERROR_GAUGE_VERSION_TOO_NEW = 12010,
  E_ERROR_CALIBRATION_MODE_NOT_ALLOWED = 12011,
  E_ERROR_CALIBRATION_MODE_NOT_ONE_GROUP = 12013,
  E_ERROR_TOO_FEW_LANDMARKS = 12014,
  E_ERROR_UNKNOWN_FILE_CLASS = 12015,
  E_ERROR_FILE_CLASS_VERSION_TOO_NEW = 12016,
  E_ERROR_WORLD_SHAPE_ATTACH = 12017,
  E_ERROR_FILE_IS_WORLD_SHAPE = 12018,
  E_ERROR_FILE_IS_FRAME_SHAPE = 12019,
  E_ERROR_FILE_IS_POINT_SHAPE = 12020,
  E_ERROR_FILE_IS_LINE_SHAPE = 12021,
  E_ERROR_FILE_IS_CIRCLE_SHAPE = 12022,
  E_ERROR_FILE_IS_RECTANGLE_SHAPE = 12023,
  E_ERROR_FILE_IS_WEDGE_SHAPE = 12024,
  E_ERROR_FILE_IS_POINT_GAUGE = 12025,
  E_ERROR_FILE_IS_LINE_GAUGE = 12026,
  E_ERROR_FILE_IS_CIRCLE_GAUGE = 12027,
  E_ERROR_FILE_IS_RECTANGLE_GAUGE = 12028,
  E_ERROR_FILE_IS_WEDGE_GAUGE = 12029,
  E_ERROR_FILE_IS_BGA_FILE = 12031,
  E_ERROR_FILE_IS_BGA_COMPONENT = 12033,
  E_ERROR_FILE_IS_BGA_ARRAY = 12034,
  E_ERROR_FILE_IS_BGA_BALL = 12035,
  E_ERROR_WEDGE_EDGES_WITHOUT_ARC = 12100,
  E_ERROR_INVALID_PARAMETER = 32767
};

// The error state is sticky: a failing operation sets it and later successful operations leave
// it as it is, until EOk(), the next failure, or one of the few operations that clear it when
// they start (attaching to a grid slot, Clone into a grid, SetupMask) replaces it. Test
// EGetError() right after the calls you care about and clear it with EOk().
// Sets the code, starts a new trace and returns the code.
VIMO_EXPORT E_ERRORS ESetError(E_ERRORS code);
// Appends an operation name to the trace of the current error.
VIMO_EXPORT void ETraceError(const char* name);
// The current code, 0 when all is well.
VIMO_EXPORT E_ERRORS EGetError();
// Clears the code and the trace.
VIMO_EXPORT void EOk();
// A short English text for a code ("Unknown error" for a value the library does not raise).
VIMO_EXPORT const char* EGetErrorText(E_ERRORS code);
// The names traced since the last ESetError, innermost first, each followed by '\n'.
VIMO_EXPORT const char* EGetErrorTrace();

namespace Quarnel {

class VIMO_EXPORT Exception : public std::exception {
 public:
  const char* what() const noexcept override { return "Quarnel::Exception"; }
};

namespace Vexlor {

// Thrown by serializer-based persistence; carries an error code.
class VIMO_EXPORT Exception : public Quarnel::Exception {
 public:
  explicit Exception(E_ERRORS code) : m_Code(code) {}
  E_ERRORS GetCode() const { return m_Code; }
  const char* what() const noexcept override { return EGetErrorText(m_Code); }

 private:
  E_ERRORS m_Code;
};

}  // namespace Vexlor
}  // namespace Quarnel

#endif
