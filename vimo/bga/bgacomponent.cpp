// The ball grid array component and its ball arrays.
#include "vimo/bga/bgacomponent.h"

#include <new>

#include "vimo/shapes/shaperecord.h"

namespace {

const EShapeClassRegistration s_Array(INS_SHAPE_TYPE_BGA_ARRAY,
                                      []() -> EShape* { return new (std::nothrow) EBGAArray(); });
const EShapeClassRegistration s_Component(INS_SHAPE_TYPE_BGA_COMPONENT, []() -> EShape* {
  return new (std::nothrow) EBGAComponent();
});

// A new clone of a BGA rectangle class: default-constructed, with the source's rectangle;
// the caller adds the row count, its own fields and the shape part.
template <class Shape>
Shape* NewRectangleClone(const Shape& source) {
  Shape* clone = new (std::nothrow) Shape();
  if (clone == nullptr) {
    ESetError(E_ERROR_ALLOCATION_FAILED);
    return nullptr;
  }
  static_cast<ERectangle&>(*clone) = static_cast<const ERectangle&>(source);
  clone->EFrame::InvalidateFrame();
  return clone;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// EBGAArray

EBGAArray::EBGAArray()
    : ERectangleShape(0, 0, 100, 100, 0),
      m_bStaggered(0),
      m_bInverseRowNumbering(0),
      m_bInverseColNumbering(0) {}

EBGAArray::EBGAArray(const EBGAArray& other) : EBGAArray() {
  other.CopyTo(this, GetRecursiveCopyBehavior());
}

EBGAArray& EBGAArray::operator=(const EBGAArray& other) {
  other.CopyTo(this, GetRecursiveCopyBehavior());
  return *this;
}

EBGAArray* EBGAArray::CopyTo(EBGAArray* dst, int recursive) const {
  if (dst == this) return dst;
  if (dst == nullptr) dst = new EBGAArray();
  if (ERectangleShape::CopyTo(dst, recursive) == nullptr) return nullptr;
  CopyOwnFields(dst);
  return dst;
}

EShape* EBGAArray::CreateShapeClone(int recursive) const {
  return CopyTo(static_cast<EBGAArray*>(nullptr), recursive);
}

EShape* EBGAArray::New() const {
  EBGAArray* clone = NewRectangleClone(*this);
  if (clone == nullptr) return nullptr;
  clone->m_un32NumRows = m_un32NumRows;
  CopyOwnFields(clone);
  FillNewClone(clone);
  return clone;
}

void EBGAArray::CopyOwnFields(EBGAArray* dst) const {
  dst->m_bStaggered = m_bStaggered;
  dst->m_bInverseRowNumbering = m_bInverseRowNumbering;
  dst->m_bInverseColNumbering = m_bInverseColNumbering;
}

void EBGAArray::Serialize(FILE* stream, int mode, unsigned version, int daughters) {
  const char* trace = "EBGAArray::Serialize";
  uint8_t stored;
  if (!vimo_detail::RecordVersion(stream, mode, 2, stored, trace)) return;
  ERectangleShape::Serialize(stream, mode, version, daughters);
  if (!vimo_detail::RecordStep(trace)) return;
  if (!vimo_detail::RecordTransfer(stream, mode, &m_bStaggered, 4)) return ETraceError(trace);
  if (mode == 0 && stored < 2) {
    m_bInverseRowNumbering = m_bInverseColNumbering = 0;
    return;
  }
  if (!vimo_detail::RecordTransfer(stream, mode, &m_bInverseRowNumbering, 4) ||
      !vimo_detail::RecordTransfer(stream, mode, &m_bInverseColNumbering, 4))
    ETraceError(trace);
}

// ---------------------------------------------------------------------------------------------
// EBGAComponent

EBGAComponent::EBGAComponent()
    : ERectangleShape(0, 0, 100, 100, 0),
      m_un32NumBallsFound(0),
      m_un32Diagnostics(0),
      m_NominalCenter(0, 0) {
  ResetFigures(EBGAStatistics{0, 0, 0, 0});
}

EBGAComponent::EBGAComponent(const EBGAComponent& other) : EBGAComponent() {
  other.CopyTo(this, GetRecursiveCopyBehavior());
}

EBGAComponent& EBGAComponent::operator=(const EBGAComponent& other) {
  other.CopyTo(this, GetRecursiveCopyBehavior());
  return *this;
}

EBGAComponent* EBGAComponent::CopyTo(EBGAComponent* dst, int recursive) const {
  if (dst == this) return dst;
  if (dst == nullptr) dst = new EBGAComponent();
  if (ERectangleShape::CopyTo(dst, recursive) == nullptr) return nullptr;
  CopyOwnFields(dst);
  return dst;
}

EShape* EBGAComponent::CreateShapeClone(int recursive) const {
  return CopyTo(static_cast<EBGAComponent*>(nullptr), recursive);
}

EShape* EBGAComponent::New() const {
  EBGAComponent* clone = NewRectangleClone(*this);
  if (clone == nullptr) return nullptr;
  clone->m_un32NumRows = m_un32NumRows;
  CopyOwnFields(clone);
  FillNewClone(clone);
  return clone;
}

void EBGAComponent::CopyOwnFields(EBGAComponent* dst) const {
  dst->m_un32NumBallsFound = m_un32NumBallsFound;
  dst->m_un32Diagnostics = m_un32Diagnostics;
  static_cast<EBGAFigureStatistics&>(*dst) = *this;
  dst->m_NominalCenter = m_NominalCenter;
}

void EBGAComponent::SetCenter(EPoint center) {
  m_NominalCenter = center;
  ERectangleShape::SetCenter(center);
}

void EBGAComponent::ResetStatistics() {
  m_un32NumBallsFound = 0;
  ResetFigures(EBGAStatistics{0, 0, 0, 0});
}

void EBGAComponent::AddBall(const EBGABall& ball) {
  AddFigures(ball, m_un32NumBallsFound);
  m_un32Diagnostics |= ball.GetDiagnostics();
  if (m_un32NumBallsFound < 0xFFFFFFFFu) ++m_un32NumBallsFound;
}

void EBGAComponent::Serialize(FILE* stream, int mode, unsigned version, int daughters) {
  const char* trace = "EBGAComponent::Serialize";
  uint8_t stored;
  if (!vimo_detail::RecordVersion(stream, mode, 1, stored, trace)) return;
  ERectangleShape::Serialize(stream, mode, version, daughters);
  if (!vimo_detail::RecordStep(trace)) return;
  if (mode == 0) m_NominalCenter = GetCenter();
}
