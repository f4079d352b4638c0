// The records of the concrete shapes and their registration as loadable daughters.
#include <new>

#include "vimo/shapes/circleshape.h"
#include "vimo/shapes/frameshape.h"
#include "vimo/shapes/lineshape.h"
#include "vimo/shapes/pointshape.h"
#include "vimo/shapes/rectangleshape.h"
#include "vimo/shapes/shaperecord.h"
#include "vimo/shapes/wedgeshape.h"

using vimo_detail::RecordTransfer;

namespace {

// Loaded daughters start as these; their record then overwrites them.
const EShapeClassRegistration s_PointShape(INS_SHAPE_TYPE_POINT_SHAPE, []() -> EShape* {
  return new (std::nothrow) EPointShape(0, 0);
});
const EShapeClassRegistration s_LineShape(INS_SHAPE_TYPE_LINE_SHAPE, []() -> EShape* {
  return new (std::nothrow) ELineShape(0, 0, 100, 0);
});
const EShapeClassRegistration s_CircleShape(INS_SHAPE_TYPE_CIRCLE_SHAPE, []() -> EShape* {
  return new (std::nothrow) ECircleShape(0, 0, 100, 0, 1);
});
const EShapeClassRegistration s_WedgeShape(INS_SHAPE_TYPE_WEDGE_SHAPE, []() -> EShape* {
  return new (std::nothrow) EWedgeShape(0, 0, 100, 0, 0, 1);
});
const EShapeClassRegistration s_RectangleShape(INS_SHAPE_TYPE_RECTANGLE_SHAPE, []() -> EShape* {
  return new (std::nothrow) ERectangleShape(0, 0, 100, 100, 0);
});
const EShapeClassRegistration s_FrameShape(INS_SHAPE_TYPE_FRAME_SHAPE, []() -> EShape* {
  return new (std::nothrow) EFrameShape(0, 0, 0, 1, 100, 100, 0);
});

// Handle angles after a circle or wedge record: two thirds of a full turn, or the amplitude
// of an arc, and half of that.
void PlaceLoadedHandles(float amplitude, int full, float& middle, float& end) {
  end = full ? amplitude * (2.0f / 3.0f) : amplitude;
  middle = 0.5f * end;
}

}  // namespace

void EPointShape::Serialize(FILE* stream, int mode, unsigned version, int daughters) {
  EFilePointerSerializer serializer(stream, mode);
  try {
    EPointShape::Serialize(&serializer, version, daughters);
  } catch (const Quarnel::Vexlor::Exception& e) {
    if (EGetError() != e.GetCode()) ESetError(e.GetCode());
    ETraceError("EPointShape::Serialize");
  }
}

void EPointShape::Serialize(ESerializer* serializer, unsigned version, int daughters) {
  if (serializer == nullptr) throw Quarnel::Vexlor::Exception(E_ERROR_INVALID_PARAMETER);
  uint8_t recordVersion = 1;
  serializer->Transfer(&recordVersion, 1, "un8ShapeVersion");
  if (serializer->IsReading() && recordVersion > 1)
    throw Quarnel::Vexlor::Exception(E_ERROR_VERSION_TOO_NEW);
  EFrame::Serialize(serializer, version);
  EShape::Serialize(serializer, version, daughters);
}

void ELineShape::Serialize(FILE* stream, int mode, unsigned version, int daughters) {
  SerializeShapeRecord(
      stream, mode, version, daughters, [&] { ELine::Serialize(stream, mode, version); },
      "ELineShape::Serialize");
}

void ECircleShape::Serialize(FILE* stream, int mode, unsigned version, int daughters) {
  if (SerializeShapeRecord(
          stream, mode, version, daughters, [&] { ECircle::Serialize(stream, mode, version); },
          "ECircleShape::Serialize") &&
      mode == 0)
    PlaceLoadedHandles(m_f32Amplitude, GetFull(), m_f32MiddleHandleAngle, m_f32EndHandleAngle);
}

void ERectangleShape::Serialize(FILE* stream, int mode, unsigned version, int daughters) {
  const char* trace = "ERectangleShape::Serialize";
  if (SerializeShapeRecord(
          stream, mode, version, daughters, [&] { ERectangle::Serialize(stream, mode, version); },
          trace) &&
      !RecordTransfer(stream, mode, &m_un32NumRows, 4))
    ETraceError(trace);
}

void EWedgeShape::Serialize(FILE* stream, int mode, unsigned version, int daughters) {
  const char* trace = "EWedgeShape::Serialize";
  if (!SerializeShapeRecord(
          stream, mode, version, daughters, [&] { EWedge::Serialize(stream, mode, version); },
          trace))
    return;
  if (!RecordTransfer(stream, mode, &m_un32NumRows, 4)) return ETraceError(trace);
  if (mode == 0)
    PlaceLoadedHandles(m_f32Amplitude, GetFullCircle(), m_f32MiddleHandleAngle,
                       m_f32EndHandleAngle);
}

void EFrameShape::Serialize(FILE* stream, int mode, unsigned version, int daughters) {
  const char* trace = "EFrameShape::Serialize";
  if (SerializeShapeRecord(
          stream, mode, version, daughters, [&] { SerializeFrameRecord(stream, mode, version); },
          trace) &&
      !(RecordTransfer(stream, mode, &m_f32SizeX, 4) &&
        RecordTransfer(stream, mode, &m_f32SizeY, 4)))
    ETraceError(trace);
}
