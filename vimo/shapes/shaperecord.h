// Shared by the shape records of every family: the registry that creates loaded daughters from
// their type value, and the raw field transfers of the stream-form records. Used inside the
// library only.
#ifndef VIMO_SHAPES_SHAPERECORD_H
#define VIMO_SHAPES_SHAPERECORD_H

#include <cstdint>
#include <cstdio>

#include "vimo/shapes/shape.h"

// Creates a shape of one class as a loaded daughter starts (the record then overwrites it);
// returns NULL when memory runs out, never throws.
typedef EShape* (*EShapeFactory)();

// One registration per class that can be loaded as a daughter, made by a static object in the
// file of the class's record: the type value GetType() returns and its factory.
struct EShapeClassRegistration {
  EShapeClassRegistration(INS_SHAPE_TYPES type, EShapeFactory factory);
};

// The factory registered for a type value; NULL for a value no class registered.
EShapeFactory EFindShapeFactory(unsigned type);

namespace vimo_detail {

// One raw field (at most 16 bytes) of a stream-form record (mode non-zero writes). On failure sets
// 1103 (read) or 1104 (write) and returns false; on reading, the bytes change only on success.
bool RecordTransfer(FILE* stream, int mode, void* bytes, unsigned size);

// The record's version byte: writes `current`, or reads the stored version into `stored` and
// refuses one above `current` with 1108. Traces `trace` and returns false on failure.
bool RecordVersion(FILE* stream, int mode, uint8_t current, uint8_t& stored, const char* trace);

// Runs one step of a stream-form record: false, with `trace` added, when the error state is
// set after it.
bool RecordStep(const char* trace);

}  // namespace vimo_detail

template <class GeometryRecord>
bool EShape::SerializeShapeRecord(FILE* stream, int mode, unsigned version, int daughters,
                                  GeometryRecord geometry, const char* trace) {
  uint8_t stored;
  if (!vimo_detail::RecordVersion(stream, mode, 1, stored, trace)) return false;
  geometry();
  if (!vimo_detail::RecordStep(trace)) return false;
  EShape::Serialize(stream, mode, version, daughters);
  return vimo_detail::RecordStep(trace);
}

#endif
