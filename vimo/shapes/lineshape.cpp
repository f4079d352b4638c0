// The line shape.
#include "vimo/shapes/lineshape.h"

#include <new>

EShapeLabelFormat ELineShape::s_Format("%s\n( %.1f, %.1f) %.1f %s\n%.1f mm\n", nullptr, "sfffsf");

ELineShape::ELineShape(float centerX, float centerY, float length, float angle)
    : ELine(EPoint(centerX, centerY), length, angle), EShape() {
  s_Format.AddInstance();
  JoinVimoWorld();
}

ELineShape::ELineShape(const ELineShape& other) : ELine(), EShape() {
  s_Format.AddInstance();
  JoinVimoWorld();
  other.CopyTo(this, GetRecursiveCopyBehavior());
}

ELineShape& ELineShape::operator=(const ELineShape& other) {
  other.CopyTo(this, GetRecursiveCopyBehavior());
  return *this;
}

ELineShape::~ELineShape() { s_Format.RemoveInstance(); }

ELineShape* ELineShape::CopyTo(ELineShape* dst, int recursive) const {
  if (dst == this) return dst;
  if (dst == nullptr) dst = new ELineShape();
  // Refused (a target that holds the source): nothing is copied.
  if (EShape::CopyTo(dst, recursive) == nullptr) return nullptr;
  CopyOwnFields(dst);
  return dst;
}

EShape* ELineShape::CreateShapeClone(int recursive) const {
  return CopyTo(static_cast<ELineShape*>(nullptr), recursive);
}

EShape* ELineShape::New() const {
  ELineShape* clone = new (std::nothrow) ELineShape();
  if (clone == nullptr) {
    ESetError(E_ERROR_ALLOCATION_FAILED);
    return nullptr;
  }
  CopyOwnFields(clone);
  FillNewClone(clone);
  return clone;
}

void ELineShape::CopyOwnFields(ELineShape* dst) const {
  static_cast<ELine&>(*dst) = static_cast<const ELine&>(*this);
  dst->EFrame::InvalidateFrame();
}

void ELineShape::Set(EPoint center, float length, float angle) {
  ELine::Set(center, length, angle);
  InvalidateFrame();
}

void ELineShape::Set(EPoint org, EPoint end) {
  ELine::Set(org, end);
  InvalidateFrame();
}

void ELineShape::SetCenter(float x, float y) {
  ELine::SetCenter(x, y);
  InvalidateFrame();
}

void ELineShape::SetCenter(EPoint center) {
  ELine::SetCenter(center);
  InvalidateFrame();
}

void ELineShape::SetAngle(float angle) {
  ELine::SetAngle(angle);
  InvalidateFrame();
}

void ELineShape::SetScale(float scale) {
  ELine::SetScale(scale);
  InvalidateFrame();
}

void ELineShape::SetLength(float length) {
  ELine::SetLength(length);
  InvalidateFrame();
}

void ELineShape::Rescale(float factor, int daughters) {
  ELine::SetCenter(GetX() * factor, GetY() * factor);
  m_f32HalfLength *= factor;
  InvalidateFrame();
  EShape::Rescale(factor, daughters);
}

void ELineShape::ArrangeDaughters() {
  // The positions are those of the slots: a list has no gaps, and in an indexed table each
  // daughter keeps its slot's place whichever slots are empty (counting only the present
  // daughters would push the last ones past the end of the line).
  unsigned count = GetSlotCount();
  float n = static_cast<float>(count);
  for (unsigned k = 0; k < count; ++k) {
    EShape* d = m_ppDaughter[k];
    if (d == nullptr) continue;
    float x =
        count < 2 ? 0.0f : (2.0f * static_cast<float>(k) / (n - 1.0f) - 1.0f) * m_f32HalfLength;
    PlaceDaughter(d, EPoint(x, 0), 0, 0);
  }
}

void ELineShape::FormatLabel(char* buffer, unsigned size) const {
  char name[kShapeLabelSize];
  std::snprintf(buffer, size, s_Format.Get(), LabelName(name, sizeof name),
                static_cast<double>(GetX()), static_cast<double>(GetY()),
                static_cast<double>(GetAngle()), EGetAngleUnitName(),
                static_cast<double>(GetLength()));
}

void ELineShape::Draw(Quarnel::DrawAdapter* adapter, INS_DRAWING_MODES mode, int daughters) {
  if (adapter == nullptr) return;
  ValidateFrame();
  if (mode == INS_DRAW_NOMINAL && PassesFilters() && GetVisible()) {
    DrawSegment(adapter, GetOrg(), GetEnd());
    if (GetDragable()) {
      DrawHandle(adapter, GetCenter());
      if (GetRotatable() || GetResizable()) {
        DrawHandle(adapter, GetOrg());
        DrawHandle(adapter, GetEnd());
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

void ELineShape::SetFormat(const char* format) {
  if (!s_Format.Set(format)) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("ELineShape::SetFormat");
  }
}

const char* ELineShape::GetFormat() { return s_Format.Get(); }
