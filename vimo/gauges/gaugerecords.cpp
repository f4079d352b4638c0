// The file records of the gauges and their registration as loadable daughters. Each record is
// the gauge's version byte, its operation data (fitting gauges), its shape's record, its
// transitions and its own fields; the found state is cleared once the shape's record is read,
// since a loaded gauge has measured nothing yet.
#include <cfloat>
#include <cmath>
#include <new>

#include "vimo/gauges/circlegauge.h"
#include "vimo/gauges/linegauge.h"
#include "vimo/gauges/pointgauge.h"
#include "vimo/gauges/rectanglegauge.h"
#include "vimo/gauges/wedgegauge.h"
#include "vimo/shapes/shaperecord.h"

using vimo_detail::RecordStep;
using vimo_detail::RecordTransfer;

namespace {

const EShapeClassRegistration s_PointGauge(INS_SHAPE_TYPE_POINT_GAUGE, []() -> EShape* {
  return new (std::nothrow) EPointGauge(0, 0);
});
const EShapeClassRegistration s_LineGauge(INS_SHAPE_TYPE_LINE_GAUGE, []() -> EShape* {
  return new (std::nothrow) ELineGauge();
});
const EShapeClassRegistration s_CircleGauge(INS_SHAPE_TYPE_CIRCLE_GAUGE, []() -> EShape* {
  return new (std::nothrow) ECircleGauge();
});
const EShapeClassRegistration s_RectangleGauge(INS_SHAPE_TYPE_RECTANGLE_GAUGE, []() -> EShape* {
  return new (std::nothrow) ERectangleGauge();
});
const EShapeClassRegistration s_WedgeGauge(INS_SHAPE_TYPE_WEDGE_GAUGE, []() -> EShape* {
  return new (std::nothrow) EWedgeGauge();
});

// Sets code (keeping the trace when the error state already holds it), adds trace.
bool Fail(E_ERRORS code, const char* trace) {
  if (EGetError() != code) ESetError(code);
  ETraceError(trace);
  return false;
}

// The gauge's version byte, stored only in files above version 3: writes `current`; on
// reading, one above `current` is refused with 12010. Older files count as `current`.
bool GaugeVersion(FILE* stream, int mode, unsigned version, uint8_t current, uint8_t& stored,
                  const char* trace) {
  stored = current;
  if (version <= 3) return true;
  if (!RecordTransfer(stream, mode, &stored, 1)) return Fail(EGetError(), trace);
  if (mode == 0 && stored > current) return Fail(E_ERROR_GAUGE_VERSION_TOO_NEW, trace);
  return true;
}

// The operation data record goes through a serializer on the same stream; what it throws
// ends in the error state, so that nothing escapes the stream form.
bool OpDatRecord(FILE* stream, int mode, EGauge_OpDat* operationData, bool present,
                 const char* trace) {
  try {
    EFilePointerSerializer serializer(stream, mode);
    operationData->Serialize(&serializer, present ? 1 : 0);
  } catch (const Quarnel::Vexlor::Exception& e) {
    return Fail(e.GetCode(), trace);
  } catch (const std::bad_alloc&) {
    return Fail(E_ERROR_ALLOCATION_FAILED, trace);
  }
  return true;
}

// After a transition record: a loaded tolerance segment with a NaN in it places no profile
// anywhere and is refused with 32767.
bool TransitionLoaded(int mode, const ETransition& transition, const ELine& segment,
                      const char* trace) {
  if (!RecordStep(trace)) return false;
  if (mode != 0) return true;
  if (std::isnan(segment.GetX()) || std::isnan(segment.GetY()) ||
      std::isnan(segment.GetRawAngle()) || std::isnan(transition.GetTolerance()))
    return Fail(E_ERROR_INVALID_PARAMETER, trace);
  return true;
}

// The EGauge fields and the sampling step, in the order the fitting gauges store them:
// filtering threshold, step, passes. A loaded step that is not finite and positive is refused
// with 32767 as SetSamplingStep refuses it: the gauge keeps its step and the record stops.
bool FilteringAndStep(FILE* stream, int mode, float& threshold, float& step, uint32_t& passes,
                      const char* trace) {
  float stored = step;
  if (!RecordTransfer(stream, mode, &threshold, 4) || !RecordTransfer(stream, mode, &stored, 4))
    return Fail(EGetError(), trace);
  if (mode == 0) {
    if (!(std::isfinite(stored) && stored > 0)) return Fail(E_ERROR_INVALID_PARAMETER, trace);
    step = stored;
  }
  if (!RecordTransfer(stream, mode, &passes, 4)) return Fail(EGetError(), trace);
  return true;
}

bool Field(FILE* stream, int mode, void* field, const char* trace) {
  return RecordTransfer(stream, mode, field, 4) || Fail(EGetError(), trace);
}

}  // namespace

void EPointGauge::Serialize(FILE* stream, int mode, unsigned version, int daughters) {
  const char* trace = "EPointGauge::Serialize";
  uint8_t stored;
  if (!GaugeVersion(stream, mode, version, 1, stored, trace)) return;
  EPointShape::Serialize(stream, mode, version, daughters);
  if (mode == 0) SetFound(0, 0);
  if (!RecordStep(trace)) return;
  ETransition::Serialize(stream, mode, version);
  TransitionLoaded(mode, *this, m_ToleranceSegment, trace);
}

void ELineGauge::Serialize(FILE* stream, int mode, unsigned version, int daughters) {
  const char* trace = "ELineGauge::Serialize";
  uint8_t stored;
  if (!GaugeVersion(stream, mode, version, 2, stored, trace) ||
      !OpDatRecord(stream, mode, m_pOpDat, version > 3 && stored >= 2, trace))
    return;
  ELineShape::Serialize(stream, mode, version, daughters);
  if (mode == 0) SetFound(0, 0);
  if (!RecordStep(trace)) return;
  ETransition::Serialize(stream, mode, version);
  if (!TransitionLoaded(mode, *this, m_ToleranceSegment, trace)) return;
  FilteringAndStep(stream, mode, m_f32FilteringThreshold, m_f32SamplingStep,
                   m_un32NumFilteringPasses, trace);
}

void ECircleGauge::Serialize(FILE* stream, int mode, unsigned version, int daughters) {
  const char* trace = "ECircleGauge::Serialize";
  uint8_t stored;
  if (!GaugeVersion(stream, mode, version, 3, stored, trace) ||
      !OpDatRecord(stream, mode, m_pOpDat, version > 3 && stored >= 2, trace))
    return;
  ECircleShape::Serialize(stream, mode, version, daughters);
  if (mode == 0) SetFound(0, 0);
  if (!RecordStep(trace)) return;
  ETransition::Serialize(stream, mode, version);
  if (!TransitionLoaded(mode, *this, m_ToleranceSegment, trace) ||
      !FilteringAndStep(stream, mode, m_f32FilteringThreshold, m_f32SamplingStep,
                        m_un32NumFilteringPasses, trace))
    return;
  if (version >= 4 && stored >= 3) {
    int32_t fitting = m_eFittingMode;
    if (!Field(stream, mode, &m_f32InnerFilteringThreshold, trace) ||
        !Field(stream, mode, &fitting, trace))
      return;
    m_eFittingMode = static_cast<GGE_FITTING_MODE>(fitting);
  } else if (mode == 0) {
    m_f32InnerFilteringThreshold = FLT_MAX;
    m_eFittingMode = GGE_FITTING_UNWEIGHTED;
  }
}

template <class Shape, class Geometry>
bool EEdgeGauge<Shape, Geometry>::SerializeEdgeRecord(FILE* stream, int mode, unsigned version,
                                                      int daughters, const char* trace) {
  uint8_t stored;
  if (!GaugeVersion(stream, mode, version, 2, stored, trace) ||
      !OpDatRecord(stream, mode, m_pOpDat, version >= 4 && stored >= 2, trace))
    return false;
  Shape::Serialize(stream, mode, version, daughters);
  if (mode == 0) SetFound(0, 0);
  if (!RecordStep(trace)) return false;
  for (ETransition& transition : m_Transitions) {
    transition.Serialize(stream, mode, version);
    if (!TransitionLoaded(mode, transition, transition.m_ToleranceSegment, trace)) return false;
  }
  if (!FilteringAndStep(stream, mode, m_f32FilteringThreshold, m_f32SamplingStep,
                        m_un32NumFilteringPasses, trace))
    return false;
  // Stored as they were, without the gauges' checks; older files keep the gauge's own.
  return version <= 3 || Field(stream, mode, &m_un32ActiveEdges, trace);
}

void ERectangleGauge::Serialize(FILE* stream, int mode, unsigned version, int daughters) {
  const char* trace = "ERectangleGauge::Serialize";
  if (!SerializeEdgeRecord(stream, mode, version, daughters, trace)) return;
  if (version >= 5)
    Field(stream, mode, &m_f32InnerFilteringThreshold, trace);
  else if (mode == 0)
    m_f32InnerFilteringThreshold = FLT_MAX;
}

void EWedgeGauge::Serialize(FILE* stream, int mode, unsigned version, int daughters) {
  SerializeEdgeRecord(stream, mode, version, daughters, "EWedgeGauge::Serialize");
}
