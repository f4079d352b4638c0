#include "vimo/core/errors.h"

#include <string>

namespace {

struct ErrorState {
  E_ERRORS code = E_OK;
  std::string trace;
};

ErrorState& State() {
  static ErrorState state;
  return state;
}

}  // namespace

E_ERRORS ESetError(E_ERRORS code) {
  ErrorState& state = State();
  state.code = code;
  state.trace.clear();
  return code;
}

void ETraceError(const char* name) {
  if (name == nullptr) return;
  std::string& trace = State().trace;
  // A trace is a diagnostic aid: keep it bounded even if a caller loops on a failure.
  if (trace.size() > 64 * 1024) return;
  trace += name;
  trace += '\n';
}

E_ERRORS EGetError() { return State().code; }

void EOk() {
  State().code = E_OK;
  State().trace.clear();
}

const char* EGetErrorTrace() { return State().trace.c_str(); }

const char* EGetErrorText(E_ERRORS code) {
  switch (code) {
    case E_OK: return "No error";
    case E_ERROR_INDEX_OUT_OF_RANGE: return "Index out of range";
    case E_ERROR_GRID_INDEX_OUT_OF_RANGE: return "Grid or slot index out of range";
    case E_ERROR_MISSING_DERIVATIVE: return "User calibration without its derivative function";
    case E_ERROR_NOT_POSITIVE_DEFINITE: return "Linear system not solvable";
    case E_ERROR_SINGULAR_MATRIX: return "Singular frame or model matrix";
    case E_ERROR_CANNOT_OPEN_FILE: return "File cannot be opened";
    case E_ERROR_READ_FAILED: return "File read failed";
    case E_ERROR_WRITE_FAILED: return "File write failed";
    case E_ERROR_BAD_SIGNATURE: return "Bad file signature";
    case E_ERROR_CLOSE_FAILED: return "File close failed";
    case E_ERROR_VERSION_TOO_NEW: return "Record version newer than supported";
    case E_ERROR_NOT_FILE_SERIALIZER: return "Serializer is not a file-stream serializer";
    case E_ERROR_ALLOCATION_FAILED: return "Allocation failed";
    case E_ERROR_SLOT_OCCUPIED: return "Slot occupied";
    case E_ERROR_ALREADY_HAS_DAUGHTER_TABLE: return "Shape already has a daughter table";
    case E_ERROR_NO_TRANSITION_SELECTED: return "No transition selected";
    case E_ERROR_INDEXED_MOTHER_HAS_DAUGHTERS: return "Indexed mother already has daughters";
    case E_ERROR_NOT_INDEXED: return "Indexed operation on a non-indexed shape";
    case E_ERROR_GAUGE_VERSION_TOO_NEW:
      return "Gauge or transition record version newer than supported";
    case E_ERROR_CALIBRATION_MODE_NOT_ALLOWED: return "Calibration mode word not allowed";
    case E_ERROR_CALIBRATION_MODE_NOT_ONE_GROUP:
      return "Calibration mode word not exactly one model group";
    case E_ERROR_TOO_FEW_LANDMARKS: return "Fewer than four landmarks";
    case E_ERROR_UNKNOWN_FILE_CLASS: return "File of a class the library does not define";
    case E_ERROR_FILE_CLASS_VERSION_TOO_NEW:
      return "File class version newer than the loading class";
    case E_ERROR_WORLD_SHAPE_ATTACH: return "A world shape cannot be attached or detached";
    case E_ERROR_FILE_IS_WORLD_SHAPE: return "File holds a world shape";
    case E_ERROR_FILE_IS_FRAME_SHAPE: return "File holds a frame shape";
    case E_ERROR_FILE_IS_POINT_SHAPE: return "File holds a point shape";
    case E_ERROR_FILE_IS_LINE_SHAPE: return "File holds a line shape";
    case E_ERROR_FILE_IS_CIRCLE_SHAPE: return "File holds a circle shape";
    case E_ERROR_FILE_IS_RECTANGLE_SHAPE: return "File holds a rectangle shape";
    case E_ERROR_FILE_IS_WEDGE_SHAPE: return "File holds a wedge shape";
    case E_ERROR_FILE_IS_POINT_GAUGE: return "File holds a point gauge";
    case E_ERROR_FILE_IS_LINE_GAUGE: return "File holds a line gauge";
    case E_ERROR_FILE_IS_CIRCLE_GAUGE: return "File holds a circle gauge";
    case E_ERROR_FILE_IS_RECTANGLE_GAUGE: return "File holds a rectangle gauge";
    case E_ERROR_FILE_IS_WEDGE_GAUGE: return "File holds a wedge gauge";
    case E_ERROR_FILE_IS_BGA_FILE: return "File holds a ball grid array";
    case E_ERROR_FILE_IS_BGA_COMPONENT: return "File holds a ball grid array component";
    case E_ERROR_FILE_IS_BGA_ARRAY: return "File holds a ball array";
    case E_ERROR_FILE_IS_BGA_BALL: return "File holds a ball";
    case E_ERROR_WEDGE_EDGES_WITHOUT_ARC: return "Wedge gauge active edges without an arc";
    case E_ERROR_INVALID_PARAMETER: return "Invalid parameter or inconsistent data";
  }
  return "Unknown error";
}
