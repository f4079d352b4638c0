// The ball of a ball grid array.
#include "vimo/bga/bgaball.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <new>

#include "vimo/calibration/worldshape.h"
#include "vimo/shapes/shaperecord.h"

namespace {

const EShapeClassRegistration s_Registration(INS_SHAPE_TYPE_BGA_BALL, []() -> EShape* {
  return new (std::nothrow) EBGABall(0, 0, 1, 1, 0);
});

bool Finite(float value) { return std::isfinite(value); }

// Display boxes reach 2^30 on either side of 0: their widths and middles are taken in 64 bits,
// and a width beyond the int range is drawn as the widest one.
int Extent(int from, int to) {
  const int64_t extent = int64_t(to) - from;
  return extent > INT_MAX ? INT_MAX : extent < INT_MIN ? INT_MIN : static_cast<int>(extent);
}
int Middle(int a, int b) { return static_cast<int>((int64_t(a) + b) / 2); }

void Refuse(const char* trace) {
  ESetError(E_ERROR_INVALID_PARAMETER);
  ETraceError(trace);
}

}  // namespace

void EBGAStatistics::Add(float value, unsigned count) {
  if (count == 0 || value < m_f32Minimum) m_f32Minimum = value;
  if (count == 0 || value > m_f32Maximum) m_f32Maximum = value;
  m_f32Accumulator = count == 0 ? value : m_f32Accumulator + value;
  m_f32Average = m_f32Accumulator / static_cast<float>(count + 1.0);
}

void EBGAFigureStatistics::ResetFigures(const EBGAStatistics& start) {
  m_Offset = m_Pitch = m_Diameter = start;
  m_Circularity = m_Doughnutness = m_QualityFactor = start;
}

void EBGAFigureStatistics::AddFigures(const EBGABall& ball, unsigned count) {
  m_Offset.Add(std::hypot(ball.GetMeasuredOffsetX(), ball.GetMeasuredOffsetY()), count);
  m_Pitch.Add(std::hypot(ball.GetMeasuredPitchX(), ball.GetMeasuredPitchY()), count);
  m_Diameter.Add(ball.GetMeasuredDiameter(), count);
  m_Circularity.Add(ball.GetMeasuredCircularity(), count);
  m_Doughnutness.Add(ball.GetMeasuredDoughnutness(), count);
  m_QualityFactor.Add(ball.GetMeasuredQualityFactor(), count);
}

EBGABall::EBGABall(float x, float y, float diameter, int direct, float angle)
    : ECircleShape(0, 0, 100, 0, 1),
      m_pAttachedObject(nullptr),
      m_pReleaseAttachedObject(nullptr),
      m_eMeasureMode(INS_MEASURE_MODE_CENTROID),
      m_f32DiameterTolerance(0),
      m_un32Diagnostics(0),
      m_bWhiteOnBlack(1),
      m_f32MeasuredOffsetX(0),
      m_f32MeasuredOffsetY(0),
      m_f32MeasuredPitchX(0),
      m_f32MeasuredPitchY(0),
      m_f32MeasuredCircularity(0),
      m_f32MeasuredDoughnutness(0),
      m_f32MeasuredQualityFactor(0),
      m_f32DiameterCorrection(1.0f) {
  ResetStatistics();
  Set(EPoint(x, y), diameter, direct, angle);
}

EBGABall::EBGABall(const EBGABall& other) : EBGABall(0, 0, 1, 1, 0) {
  other.CopyTo(this, GetRecursiveCopyBehavior());
}

EBGABall& EBGABall::operator=(const EBGABall& other) {
  other.CopyTo(this, GetRecursiveCopyBehavior());
  return *this;
}

EBGABall::~EBGABall() {
  if (m_pAttachedObject != nullptr && m_pReleaseAttachedObject != nullptr)
    m_pReleaseAttachedObject(m_pAttachedObject);
}

EBGABall* EBGABall::CopyTo(EBGABall* dst, int recursive) const {
  if (dst == this) return dst;
  if (dst == nullptr) dst = new EBGABall(0, 0, 1, 1, 0);
  if (ECircleShape::CopyTo(dst, recursive) == nullptr) return nullptr;
  CopyOwnFields(dst);
  return dst;
}

EShape* EBGABall::CreateShapeClone(int recursive) const {
  return CopyTo(static_cast<EBGABall*>(nullptr), recursive);
}

EShape* EBGABall::New() const {
  EBGABall* clone = new (std::nothrow) EBGABall(0, 0, 1, 1, 0);
  if (clone == nullptr) {
    ESetError(E_ERROR_ALLOCATION_FAILED);
    return nullptr;
  }
  static_cast<ECircle&>(*clone) = static_cast<const ECircle&>(*this);
  clone->EFrame::InvalidateFrame();
  clone->m_f32MiddleHandleAngle = m_f32MiddleHandleAngle;
  clone->m_f32EndHandleAngle = m_f32EndHandleAngle;
  CopyOwnFields(clone);
  FillNewClone(clone);
  return clone;
}

void EBGABall::CopyOwnFields(EBGABall* dst) const {
  dst->m_MeasuredCircle = m_MeasuredCircle;
  dst->m_eMeasureMode = m_eMeasureMode;
  dst->m_f32DiameterTolerance = m_f32DiameterTolerance;
  dst->m_un32Diagnostics = m_un32Diagnostics;
  dst->m_bWhiteOnBlack = m_bWhiteOnBlack;
  dst->m_un32NumBatchSamples = m_un32NumBatchSamples;
  static_cast<EBGAFigureStatistics&>(*dst) = *this;
  dst->m_f32MeasuredOffsetX = m_f32MeasuredOffsetX;
  dst->m_f32MeasuredOffsetY = m_f32MeasuredOffsetY;
  dst->m_f32MeasuredPitchX = m_f32MeasuredPitchX;
  dst->m_f32MeasuredPitchY = m_f32MeasuredPitchY;
  dst->m_f32MeasuredCircularity = m_f32MeasuredCircularity;
  dst->m_f32MeasuredDoughnutness = m_f32MeasuredDoughnutness;
  dst->m_f32MeasuredQualityFactor = m_f32MeasuredQualityFactor;
  dst->m_f32DiameterCorrection = m_f32DiameterCorrection;
}

void EBGABall::Set(EPoint center, float diameter, int direct, float angle) {
  ECircleShape::Set(center, diameter, angle, direct);
  m_MeasuredCircle = static_cast<const ECircle&>(*this);
}

void EBGABall::SetMeasureMode(INS_MEASURE_MODE mode) {
  if (mode != INS_MEASURE_MODE_CENTROID && mode != INS_MEASURE_MODE_GAUGE)
    return Refuse("EBGABall::SetMeasureMode");
  m_eMeasureMode = mode;
}

void EBGABall::SetDiameterTolerance(float tolerance) {
  if (!Finite(tolerance) || tolerance < 0) return Refuse("EBGABall::SetDiameterTolerance");
  m_f32DiameterTolerance = tolerance;
}

void EBGABall::SetMeasuredCircle(const ECircle& circle) {
  if (!Finite(circle.GetX()) || !Finite(circle.GetY()) || !Finite(circle.GetRadius()) ||
      circle.GetRadius() < 0)
    return Refuse("EBGABall::SetMeasuredCircle");
  m_MeasuredCircle = circle;
}

void EBGABall::SetMeasuredOffset(float x, float y) {
  if (!Finite(x) || !Finite(y)) return Refuse("EBGABall::SetMeasuredOffset");
  m_f32MeasuredOffsetX = x;
  m_f32MeasuredOffsetY = y;
}

void EBGABall::SetMeasuredPitch(float x, float y) {
  if (!Finite(x) || !Finite(y)) return Refuse("EBGABall::SetMeasuredPitch");
  m_f32MeasuredPitchX = x;
  m_f32MeasuredPitchY = y;
}

void EBGABall::SetMeasuredCircularity(float value) {
  if (!Finite(value)) return Refuse("EBGABall::SetMeasuredCircularity");
  m_f32MeasuredCircularity = value;
}

void EBGABall::SetMeasuredDoughnutness(float value) {
  if (!Finite(value)) return Refuse("EBGABall::SetMeasuredDoughnutness");
  m_f32MeasuredDoughnutness = value;
}

void EBGABall::SetMeasuredQualityFactor(float value) {
  if (!Finite(value)) return Refuse("EBGABall::SetMeasuredQualityFactor");
  m_f32MeasuredQualityFactor = value;
}

void EBGABall::AddBatchSample() {
  AddFigures(*this, m_un32NumBatchSamples);
  if (m_un32NumBatchSamples < 0xFFFFFFFFu) ++m_un32NumBatchSamples;
}

void EBGABall::ResetStatistics() {
  m_un32NumBatchSamples = 0;
  ResetFigures(EBGAStatistics::Empty());
}

void EBGABall::NominalBox(float radius, int& x0, int& y0, int& x1, int& y1) {
  ECircle circle(GetCenter(), 2.0f * radius, 0.0f, 1);
  m_pMother->LocalToDisplay(circle, x0, y0, x1, y1);
}

void EBGABall::MeasuredBox(int& x0, int& y0, int& x1, int& y1) {
  EWorldShape* world = GetWorldShape();
  if (world != nullptr) return world->LocalToDisplay(m_MeasuredCircle, x0, y0, x1, y1);
  m_pMother->LocalToDisplay(m_MeasuredCircle, x0, y0, x1, y1);
}

void EBGABall::Draw(Quarnel::DrawAdapter* adapter, INS_DRAWING_MODES mode, int daughters) {
  if (adapter == nullptr) return;
  ValidateFrame();
  const Quarnel::DrawColor& color = Quarnel::DefaultColor;
  // A ball without a mother (only while the library unloads) has no display mapping.
  if (m_pMother != nullptr && PassesFilters() && GetVisible()) {
    int x0, y0, x1, y1;
    if (mode == INS_DRAW_NOMINAL) {
      NominalBox(m_f32Radius, x0, y0, x1, y1);
      adapter->DrawEllipse(x0, y0, Extent(x0, x1), Extent(y0, y1), color);
    } else if (mode == INS_DRAW_ACTUAL) {
      const unsigned bits = m_un32Diagnostics;
      if (bits & BGA_DIAGNOSTIC_MISSING) {
        NominalBox(m_f32Radius, x0, y0, x1, y1);
        adapter->DrawEllipse(x0, y0, Extent(x0, x1), Extent(y0, y1), color);
        adapter->DrawLine(x0, y0, x1, y1, color);
        adapter->DrawLine(x0, y1, x1, y0, color);
      } else {
        MeasuredBox(x0, y0, x1, y1);
        if (bits & (BGA_DIAGNOSTIC_CIRCULARITY | BGA_DIAGNOSTIC_DOUGHNUTNESS))
          adapter->DrawRectangle(x0, y0, Extent(x0, x1), Extent(y0, y1), color);
        else if (!(bits & BGA_DIAGNOSTIC_QUALITY_FACTOR))
          adapter->DrawEllipse(x0, y0, Extent(x0, x1), Extent(y0, y1), color);
        if (bits & BGA_DIAGNOSTIC_DIAMETER) {
          const int xm = Middle(x0, x1), ym = Middle(y0, y1), tick = 4;
          adapter->DrawEllipse(x0, y0, Extent(x0, x1), Extent(y0, y1), color);
          adapter->DrawLine(x0, ym, x0 - tick, ym, color);
          adapter->DrawLine(x1, ym, x1 + tick, ym, color);
          adapter->DrawLine(xm, y0, xm, y0 - tick, color);
          adapter->DrawLine(xm, y1, xm, y1 + tick, color);
        }
        if (bits & BGA_DIAGNOSTIC_OFFSET) {
          NominalBox(m_f32Radius, x0, y0, x1, y1);
          const int xm = Middle(x0, x1), ym = Middle(y0, y1);
          adapter->DrawLine(x0, ym, x1, ym, color);
          adapter->DrawLine(xm, y0, xm, y1, color);
        }
      }
    } else if (mode == 2) {
      // The tolerance band: the nominal diameter plus and minus the tolerance.
      const float half = 0.5f * m_f32DiameterTolerance;
      NominalBox(m_f32Radius + half, x0, y0, x1, y1);
      adapter->DrawEllipse(x0, y0, Extent(x0, x1), Extent(y0, y1), color);
      if (m_f32Radius - half > 0) {
        NominalBox(m_f32Radius - half, x0, y0, x1, y1);
        adapter->DrawEllipse(x0, y0, Extent(x0, x1), Extent(y0, y1), color);
      }
    }
  }
  EShape::Draw(adapter, mode, daughters);
}

void EBGABall::Serialize(FILE* stream, int mode, unsigned version, int daughters) {
  const char* trace = "EBGABall::Serialize";
  uint8_t stored;
  if (!vimo_detail::RecordVersion(stream, mode, 2, stored, trace)) return;
  ECircleShape::Serialize(stream, mode, version, daughters);
  if (!vimo_detail::RecordStep(trace)) return;
  if (!vimo_detail::RecordTransfer(stream, mode, &m_un32Diagnostics, 4)) return ETraceError(trace);
  if (mode == 0 && stored < 2) {
    m_f32DiameterCorrection = 1.0f;
  } else if (!vimo_detail::RecordTransfer(stream, mode, &m_f32DiameterCorrection, 4)) {
    return ETraceError(trace);
  }
  // The file holds no measurement: a loaded ball reads as measured at its nominal place, taken
  // to world coordinates through its mother, whose placement is loaded by now. A mother whose
  // frame cannot be inverted (scale 0) is no fault of the file: the nominal circle is kept as it
  // is and the error of the conversion is dropped.
  if (mode != 0) return;
  const ECircle& nominal = *this;
  m_MeasuredCircle = nominal;
  if (m_pMother == nullptr) return;
  const ECircle world = m_pMother->LocalToWorld(nominal);
  if (EGetError() == E_OK)
    m_MeasuredCircle = world;
  else
    EOk();
}
