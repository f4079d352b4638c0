// The point shape.
#include "vimo/shapes/pointshape.h"

#include <new>

EShapeLabelFormat EPointShape::s_Format("%s\n( %.1f, %.1f) mm", nullptr, "sff");

EPointShape::EPointShape(float x, float y) : EFrame(x, y, 0, 1), EShape() {
  s_Format.AddInstance();
  JoinVimoWorld();
}

EPointShape::EPointShape(const EPointShape& other) : EFrame(), EShape() {
  s_Format.AddInstance();
  JoinVimoWorld();
  other.CopyTo(this, GetRecursiveCopyBehavior());
}

EPointShape& EPointShape::operator=(const EPointShape& other) {
  other.CopyTo(this, GetRecursiveCopyBehavior());
  return *this;
}

EPointShape::~EPointShape() { s_Format.RemoveInstance(); }

EPointShape* EPointShape::CopyTo(EPointShape* dst, int recursive) const {
  if (dst == this) return dst;
  if (dst == nullptr) dst = new EPointShape();
  // Refused (a target that holds the source): nothing is copied.
  if (EShape::CopyTo(dst, recursive) == nullptr) return nullptr;
  CopyOwnFields(dst);
  return dst;
}

EShape* EPointShape::CreateShapeClone(int recursive) const {
  return CopyTo(static_cast<EPointShape*>(nullptr), recursive);
}

EShape* EPointShape::New() const {
  EPointShape* clone = new (std::nothrow) EPointShape();
  if (clone == nullptr) {
    ESetError(E_ERROR_ALLOCATION_FAILED);
    return nullptr;
  }
  CopyOwnFields(clone);
  FillNewClone(clone);
  return clone;
}

void EPointShape::CopyOwnFields(EPointShape* dst) const {
  static_cast<EFrame&>(*dst) = static_cast<const EFrame&>(*this);
  dst->EFrame::InvalidateFrame();
}

void EPointShape::Set(EPoint center, float angle, float scale) {
  EFrame::Set(center, angle, scale);
  InvalidateFrame();
}

void EPointShape::SetCenter(float x, float y) {
  EFrame::SetCenter(x, y);
  InvalidateFrame();
}

void EPointShape::SetCenter(EPoint center) {
  EFrame::SetCenter(center);
  InvalidateFrame();
}

void EPointShape::SetAngle(float angle) {
  EFrame::SetAngle(angle);
  InvalidateFrame();
}

void EPointShape::SetScale(float scale) {
  EFrame::SetScale(scale);
  InvalidateFrame();
}

void EPointShape::Rescale(float factor, int daughters) {
  EFrame::SetCenter(GetX() * factor, GetY() * factor);
  InvalidateFrame();
  EShape::Rescale(factor, daughters);
}

void EPointShape::FormatLabel(char* buffer, unsigned size) const {
  char name[kShapeLabelSize];
  std::snprintf(buffer, size, s_Format.Get(), LabelName(name, sizeof name),
                static_cast<double>(GetX()), static_cast<double>(GetY()));
}

void EPointShape::Draw(Quarnel::DrawAdapter* adapter, INS_DRAWING_MODES mode, int daughters) {
  if (adapter == nullptr) return;
  ValidateFrame();
  if (mode == INS_DRAW_NOMINAL && PassesFilters() && GetVisible()) {
    int x, y;
    MotherToDisplay(GetCenter(), x, y);
    adapter->DrawLine(x - 8, y, x + 8, y, Quarnel::DefaultColor);
    adapter->DrawLine(x, y - 8, x, y + 8, Quarnel::DefaultColor);
    if (GetDragable()) DrawHandle(adapter, GetCenter());
    if (WantsLabel()) {
      char label[kShapeLabelSize];
      FormatLabel(label, sizeof label);
      DrawLabel(adapter, label, GetCenter());
    }
  }
  EShape::Draw(adapter, mode, daughters);
}

void EPointShape::SetFormat(const char* format) {
  if (!s_Format.Set(format)) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("EPointShape::SetFormat");
  }
}

const char* EPointShape::GetFormat() { return s_Format.Get(); }
