// The circle shape.
#include "vimo/shapes/circleshape.h"

#include <cmath>
#include <new>

namespace {
const float kPi = 3.14159265358979f;
const float kTwoPi = 6.2831855f;
}  // namespace

EShapeLabelFormat ECircleShape::s_Format("%s\n( %.1f, %.1f) %.1f %s\nD %.1f mm < %.1f %s",
                                         "%s\n( %.1f, %.1f) %.1f %s\nD %.1f mm", "sfffsffs");

ECircleShape::ECircleShape(float centerX, float centerY, float diameter, float orgAngle, int direct)
    : ECircle(EPoint(centerX, centerY), diameter, orgAngle, direct), EShape() {
  PlaceHandlesFull();
  s_Format.AddInstance();
  JoinVimoWorld();
}

ECircleShape::ECircleShape(EPoint center, float diameter, float orgAngle, float amplitude)
    : ECircle(), EShape() {
  ECircle::Set(center, diameter, orgAngle, amplitude);
  m_f32EndHandleAngle = m_f32Amplitude;
  m_f32MiddleHandleAngle = 0.5f * m_f32Amplitude;
  s_Format.AddInstance();
  JoinVimoWorld();
}

ECircleShape::ECircleShape(EPoint center, EPoint org, int direct) : ECircle(), EShape() {
  ECircle::Set(center, org, direct);
  PlaceHandlesFull();
  s_Format.AddInstance();
  JoinVimoWorld();
}

ECircleShape::ECircleShape(EPoint first, EPoint middle, EPoint last, int full)
    : ECircle(), EShape() {
  m_f32MiddleHandleAngle = m_f32EndHandleAngle = 0;
  s_Format.AddInstance();
  JoinVimoWorld();
  Set(first, middle, last, full);
}

ECircleShape::ECircleShape(const ECircleShape& other) : ECircle(), EShape() {
  m_f32MiddleHandleAngle = m_f32EndHandleAngle = 0;
  s_Format.AddInstance();
  JoinVimoWorld();
  other.CopyTo(this, GetRecursiveCopyBehavior());
}

ECircleShape& ECircleShape::operator=(const ECircleShape& other) {
  other.CopyTo(this, GetRecursiveCopyBehavior());
  return *this;
}

ECircleShape::~ECircleShape() { s_Format.RemoveInstance(); }

ECircleShape* ECircleShape::CopyTo(ECircleShape* dst, int recursive) const {
  if (dst == this) return dst;
  if (dst == nullptr) dst = new ECircleShape();
  // Refused (a target that holds the source): nothing is copied.
  if (EShape::CopyTo(dst, recursive) == nullptr) return nullptr;
  CopyOwnFields(dst);
  return dst;
}

EShape* ECircleShape::CreateShapeClone(int recursive) const {
  return CopyTo(static_cast<ECircleShape*>(nullptr), recursive);
}

EShape* ECircleShape::New() const {
  ECircleShape* clone = new (std::nothrow) ECircleShape();
  if (clone == nullptr) {
    ESetError(E_ERROR_ALLOCATION_FAILED);
    return nullptr;
  }
  CopyOwnFields(clone);
  FillNewClone(clone);
  return clone;
}

void ECircleShape::CopyOwnFields(ECircleShape* dst) const {
  static_cast<ECircle&>(*dst) = static_cast<const ECircle&>(*this);
  dst->EFrame::InvalidateFrame();
  dst->m_f32MiddleHandleAngle = m_f32MiddleHandleAngle;
  dst->m_f32EndHandleAngle = m_f32EndHandleAngle;
}

void ECircleShape::PlaceHandlesFull() {
  if (m_eDraggingMode == INS_DRAG_ABOUT_CENTER) {
    m_f32MiddleHandleAngle = kPi;
    m_f32EndHandleAngle = kTwoPi;
  } else {
    m_f32MiddleHandleAngle = kTwoPi / 3.0f;
    m_f32EndHandleAngle = 2.0f * kTwoPi / 3.0f;
  }
}

EPoint ECircleShape::HandlePoint(float theta) const {
  float a = m_f32Angle + theta;
  return EPoint(GetX() + m_f32Radius * std::cos(a), GetY() + m_f32Radius * std::sin(a));
}

void ECircleShape::Set(EPoint center, float diameter, float orgAngle, int direct) {
  ECircle::Set(center, diameter, orgAngle, direct);
  PlaceHandlesFull();
  InvalidateFrame();
}

void ECircleShape::Set(EPoint center, float diameter, float orgAngle, float amplitude) {
  ECircle::Set(center, diameter, orgAngle, amplitude);
  m_f32EndHandleAngle = m_f32Amplitude;
  m_f32MiddleHandleAngle = 0.5f * m_f32Amplitude;
  InvalidateFrame();
}

void ECircleShape::Set(EPoint center, EPoint org, int direct) {
  ECircle::Set(center, org, direct);
  PlaceHandlesFull();
  InvalidateFrame();
}

void ECircleShape::Set(EPoint first, EPoint middle, EPoint last, int full) {
  ECircle::Set(first, middle, last, full);
  EPoint c = GetCenter();
  m_f32MiddleHandleAngle = (middle - c).Argument() - m_f32Angle;
  m_f32EndHandleAngle = (last - c).Argument() - m_f32Angle;
  InvalidateFrame();
}

void ECircleShape::SetCenter(float x, float y) {
  ECircle::SetCenter(x, y);
  InvalidateFrame();
}

void ECircleShape::SetCenter(EPoint center) {
  ECircle::SetCenter(center);
  InvalidateFrame();
}

void ECircleShape::SetAngle(float angle) {
  ECircle::SetAngle(angle);
  InvalidateFrame();
}

void ECircleShape::SetScale(float scale) {
  ECircle::SetScale(scale);
  InvalidateFrame();
}

void ECircleShape::SetRadius(float radius) {
  ECircle::SetRadius(radius);
  InvalidateFrame();
}

void ECircleShape::SetDiameter(float diameter) {
  ECircle::SetDiameter(diameter);
  InvalidateFrame();
}

void ECircleShape::SetAmplitude(float amplitude) {
  ECircle::SetAmplitude(amplitude);
  InvalidateFrame();
}

void ECircleShape::SetIndexed(unsigned slots) {
  if (m_ppDaughter != nullptr) {
    ESetError(E_ERROR_ALREADY_HAS_DAUGHTER_TABLE);
    ETraceError("ECircleShape::SetIndexed");
    return;
  }
  if (!AllocateIndexedTable(slots, Get2DArray())) {
    ESetError(E_ERROR_ALLOCATION_FAILED);
    ETraceError("ECircleShape::SetIndexed");
  }
}

void ECircleShape::Rescale(float factor, int daughters) {
  ECircle::SetCenter(GetX() * factor, GetY() * factor);
  m_f32Radius *= factor;
  InvalidateFrame();
  EShape::Rescale(factor, daughters);
}

void ECircleShape::ArrangeDaughters() {
  // Spread over the slots, as on the line: an indexed circle with empty slots keeps each
  // daughter at its slot's angle instead of stacking or running past the arc's end.
  unsigned count = GetSlotCount();
  unsigned n = count;
  float d = GetFull() ? static_cast<float>(n) : static_cast<float>(n) - 1.0f;
  for (unsigned k = 0; k < count; ++k) {
    EShape* daughter = m_ppDaughter[k];
    if (daughter == nullptr) continue;
    // A single daughter on an arc sits at its origin.
    float a = d > 0 ? static_cast<float>(k) * m_f32Amplitude / d : 0.0f;
    EPoint center(m_f32Radius * std::cos(a), m_f32Radius * std::sin(a));
    PlaceDaughter(daughter, center, EFromRadians(a), 1);
  }
}

void ECircleShape::FormatLabel(char* buffer, unsigned size) const {
  char name[kShapeLabelSize];
  std::snprintf(buffer, size, s_Format.Get(GetFull()), LabelName(name, sizeof name),
                static_cast<double>(GetX()), static_cast<double>(GetY()),
                static_cast<double>(GetOrgAngle()), EGetAngleUnitName(),
                static_cast<double>(GetDiameter()), static_cast<double>(GetAmplitude()),
                EGetAngleUnitName());
}

void ECircleShape::Draw(Quarnel::DrawAdapter* adapter, INS_DRAWING_MODES mode, int daughters) {
  if (adapter == nullptr) return;
  ValidateFrame();
  if (mode == INS_DRAW_NOMINAL && PassesFilters() && GetVisible()) {
    DrawArc(adapter, GetCenter(), m_f32Radius, m_f32Angle, m_f32Amplitude);
    if (GetDragable()) {
      DrawHandle(adapter, GetCenter());
      if (GetRotatable() || GetResizable()) {
        DrawHandle(adapter, GetOrg());
        if (m_eDraggingMode == INS_DRAG_FROM_FIXED_POINT)
          DrawHandle(adapter, HandlePoint(m_f32MiddleHandleAngle));
        if (!(m_eDraggingMode == INS_DRAG_ABOUT_CENTER && GetFull()))
          DrawHandle(adapter, HandlePoint(m_f32EndHandleAngle));
      }
    }
    if (WantsLabel()) {
      char label[kShapeLabelSize];
      FormatLabel(label, sizeof label);
      DrawLabel(adapter, label, GetCenter());
    }
  }
  EShape::Draw(adapter, mode, daughters);
}

void ECircleShape::SetFormat(const char* format) {
  if (!s_Format.Set(format)) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("ECircleShape::SetFormat");
  }
}

const char* ECircleShape::GetFormat() { return s_Format.Get(); }

const char* ECircleShape::GetFormat(int full) { return s_Format.Get(full); }
