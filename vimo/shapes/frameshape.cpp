// The frame shape.
#include "vimo/shapes/frameshape.h"

#include <cstdint>
#include <new>

#include "vimo/calibration/worldshape.h"

EShapeLabelFormat EFrameShape::s_Format("%s\n( %.1f, %.1f) %.1f %s\n%.1f%%", nullptr, "sfffsf");

EFrameShape::EFrameShape(float x, float y, float angle, float scale, float sizeX, float sizeY,
                         int root)
    : EFrame(x, y, angle, scale), EShape(), m_f32SizeX(sizeX), m_f32SizeY(sizeY) {
  s_Format.AddInstance();
  if (!root) JoinVimoWorld();
}

EFrameShape::EFrameShape(const EFrameShape& other)
    : EFrame(), EShape(), m_f32SizeX(100), m_f32SizeY(100) {
  s_Format.AddInstance();
  JoinVimoWorld();
  other.CopyTo(this, GetRecursiveCopyBehavior());
}

EFrameShape& EFrameShape::operator=(const EFrameShape& other) {
  other.CopyTo(this, GetRecursiveCopyBehavior());
  return *this;
}

EFrameShape::~EFrameShape() { s_Format.RemoveInstance(); }

EFrameShape* EFrameShape::CopyTo(EFrameShape* dst, int recursive) const {
  if (dst == this) return dst;
  if (dst == nullptr) dst = new EFrameShape();
  // Refused (a target that holds the source): nothing is copied.
  if (EShape::CopyTo(dst, recursive) == nullptr) return nullptr;
  CopyOwnFields(dst);
  return dst;
}

EShape* EFrameShape::CreateShapeClone(int recursive) const {
  return CopyTo(static_cast<EFrameShape*>(nullptr), recursive);
}

EShape* EFrameShape::New() const {
  EFrameShape* clone = new (std::nothrow) EFrameShape();
  if (clone == nullptr) {
    ESetError(E_ERROR_ALLOCATION_FAILED);
    return nullptr;
  }
  CopyOwnFields(clone);
  FillNewClone(clone);
  return clone;
}

void EFrameShape::CopyOwnFields(EFrameShape* dst) const {
  static_cast<EFrame&>(*dst) = static_cast<const EFrame&>(*this);
  dst->EFrame::InvalidateFrame();
  dst->m_f32SizeX = m_f32SizeX;
  dst->m_f32SizeY = m_f32SizeY;
}

void EFrameShape::Set(EPoint center, float angle, float scale) {
  EFrame::Set(center, angle, scale);
  InvalidateFrame();
}

void EFrameShape::SetCenter(float x, float y) {
  EFrame::SetCenter(x, y);
  InvalidateFrame();
}

void EFrameShape::SetCenter(EPoint center) {
  EFrame::SetCenter(center);
  InvalidateFrame();
}

void EFrameShape::SetAngle(float angle) {
  EFrame::SetAngle(angle);
  InvalidateFrame();
}

void EFrameShape::SetScale(float scale) {
  EFrame::SetScale(scale);
  InvalidateFrame();
}

void EFrameShape::SetAxis(EPoint center, float angle, float scale, float sizeX, float sizeY) {
  EFrame::Set(center, angle, scale);
  m_f32SizeX = sizeX;
  m_f32SizeY = sizeY;
  InvalidateFrame();
}

void EFrameShape::SetSize(float x, float y) {
  m_f32SizeX = x;
  m_f32SizeY = y == 0 ? x : y;
}

void EFrameShape::Rescale(float factor, int daughters) {
  EFrame::SetCenter(GetX() * factor, GetY() * factor);
  m_f32SizeX *= factor;
  m_f32SizeY *= factor;
  InvalidateFrame();
  EShape::Rescale(factor, daughters);
}

void EFrameShape::DrawCrossGrid(Quarnel::DrawAdapter* adapter, float xMin, float xMax, float yMin,
                                float yMax, unsigned nx, unsigned ny) {
  if (adapter == nullptr) return;
  // A count of 0 draws the single row or column at the minimum instead of dividing by zero.
  float dx = nx != 0 ? (xMax - xMin) / static_cast<float>(nx) : 0.0f;
  float dy = ny != 0 ? (yMax - yMin) / static_cast<float>(ny) : 0.0f;
  for (uint64_t i = 0; i <= nx; ++i)
    for (uint64_t j = 0; j <= ny; ++j) {
      int x, y;
      LocalToDisplay(EPoint(xMin + static_cast<float>(i) * dx, yMin + static_cast<float>(j) * dy),
                     x, y);
      adapter->DrawLine(x - 3, y - 3, x + 4, y + 4, Quarnel::DefaultColor);
      adapter->DrawLine(x - 3, y + 3, x + 4, y - 4, Quarnel::DefaultColor);
    }
}

void EFrameShape::DrawLocalSegment(Quarnel::DrawAdapter* adapter, EPoint a, EPoint b) {
  EWorldShape* world = DrawingWorld();
  if (world == nullptr) {
    int ax, ay, bx, by;
    LocalToDisplay(a, ax, ay);
    LocalToDisplay(b, bx, by);
    adapter->DrawLine(ax, ay, bx, by, Quarnel::DefaultColor);
    return;
  }
  world->DrawWorldSegment(adapter, LocalToWorld(a), LocalToWorld(b));
}

void EFrameShape::FormatLabel(char* buffer, unsigned size) const {
  char name[kShapeLabelSize];
  std::snprintf(buffer, size, s_Format.Get(), LabelName(name, sizeof name),
                static_cast<double>(GetX()), static_cast<double>(GetY()),
                static_cast<double>(GetAngle()), EGetAngleUnitName(),
                100.0 * static_cast<double>(GetScale()));
}

void EFrameShape::Draw(Quarnel::DrawAdapter* adapter, INS_DRAWING_MODES mode, int daughters) {
  if (adapter == nullptr) return;
  ValidateFrame();
  if (mode == INS_DRAW_NOMINAL && PassesFilters() && GetVisible()) {
    DrawLocalSegment(adapter, EPoint(0, 0), EPoint(m_f32SizeX, 0));
    DrawLocalSegment(adapter, EPoint(0, 0), EPoint(0, m_f32SizeY));
    if (GetDragable()) {
      int x, y;
      EPoint handles[3] = {EPoint(0, 0), EPoint(m_f32SizeX, 0), EPoint(0, m_f32SizeY)};
      int count = GetRotatable() || GetResizable() ? 3 : 1;
      for (int i = 0; i < count; ++i) {
        LocalToDisplay(handles[i], x, y);
        adapter->FillRectangle(x - 4, y - 4, 8, 8, Quarnel::DefaultColor, Quarnel::WhiteColor);
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

void EFrameShape::SetFormat(const char* format) {
  if (!s_Format.Set(format)) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("EFrameShape::SetFormat");
  }
}

const char* EFrameShape::GetFormat() { return s_Format.Get(); }
