// The wedge shape.
#include "vimo/shapes/wedgeshape.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>

namespace {
const float kPi = 3.14159265358979f;
const float kTwoPi = 6.2831855f;
}  // namespace

EShapeLabelFormat EWedgeShape::s_Format("%s\n( %.1f, %.1f) %.1f %s\nD %.1f / %.1f mm < %.1f %s",
                                        "%s\n( %.1f, %.1f) %.1f %s\nD %.1f / %.1f mm", "sfffsfffs");

EWedgeShape::EWedgeShape(float centerX, float centerY, float diameter, float breadth,
                         float orgAngle, int direct)
    : EWedge(EPoint(centerX, centerY), diameter, breadth, orgAngle, direct),
      EShape(),
      m_un32NumRows(0) {
  PlaceHandlesFull();
  s_Format.AddInstance();
  JoinVimoWorld();
}

EWedgeShape::EWedgeShape(EPoint center, float diameter, float breadth, float orgAngle,
                         float amplitude)
    : EWedge(center, diameter, breadth, orgAngle, amplitude), EShape(), m_un32NumRows(0) {
  m_f32EndHandleAngle = m_f32Amplitude;
  m_f32MiddleHandleAngle = 0.5f * m_f32Amplitude;
  s_Format.AddInstance();
  JoinVimoWorld();
}

EWedgeShape::EWedgeShape(EPoint center, EPoint org, float breadth, int direct)
    : EWedge(center, org, breadth, direct), EShape(), m_un32NumRows(0) {
  PlaceHandlesFull();
  s_Format.AddInstance();
  JoinVimoWorld();
}

EWedgeShape::EWedgeShape(EPoint first, EPoint middle, EPoint last, float breadth, int full)
    : EWedge(), EShape(), m_un32NumRows(0) {
  m_f32MiddleHandleAngle = m_f32EndHandleAngle = 0;
  s_Format.AddInstance();
  JoinVimoWorld();
  Set(first, middle, last, breadth, full);
}

EWedgeShape::EWedgeShape(const EWedgeShape& other) : EWedge(), EShape(), m_un32NumRows(0) {
  m_f32MiddleHandleAngle = m_f32EndHandleAngle = 0;
  s_Format.AddInstance();
  JoinVimoWorld();
  other.CopyTo(this, GetRecursiveCopyBehavior());
}

EWedgeShape& EWedgeShape::operator=(const EWedgeShape& other) {
  other.CopyTo(this, GetRecursiveCopyBehavior());
  return *this;
}

EWedgeShape::~EWedgeShape() { s_Format.RemoveInstance(); }

EWedgeShape* EWedgeShape::CopyTo(EWedgeShape* dst, int recursive) const {
  if (dst == this) return dst;
  if (dst == nullptr) dst = new EWedgeShape();
  // Refused (a target that holds the source): nothing is copied.
  if (EShape::CopyTo(dst, recursive) == nullptr) return nullptr;
  CopyOwnFields(dst);
  return dst;
}

EShape* EWedgeShape::CreateShapeClone(int recursive) const {
  return CopyTo(static_cast<EWedgeShape*>(nullptr), recursive);
}

EShape* EWedgeShape::New() const {
  EWedgeShape* clone = new (std::nothrow) EWedgeShape();
  if (clone == nullptr) {
    ESetError(E_ERROR_ALLOCATION_FAILED);
    return nullptr;
  }
  CopyOwnFields(clone);
  FillNewClone(clone);
  return clone;
}

void EWedgeShape::CopyOwnFields(EWedgeShape* dst) const {
  static_cast<EWedge&>(*dst) = static_cast<const EWedge&>(*this);
  dst->EFrame::InvalidateFrame();
  dst->m_f32MiddleHandleAngle = m_f32MiddleHandleAngle;
  dst->m_f32EndHandleAngle = m_f32EndHandleAngle;
  dst->m_un32NumRows = m_un32NumRows;
}

void EWedgeShape::PlaceHandlesFull() {
  if (m_eDraggingMode == INS_DRAG_ABOUT_CENTER) {
    m_f32MiddleHandleAngle = kPi;
    m_f32EndHandleAngle = kTwoPi;
  } else {
    m_f32MiddleHandleAngle = kTwoPi / 3.0f;
    m_f32EndHandleAngle = 2.0f * kTwoPi / 3.0f;
  }
}

EPoint EWedgeShape::HandlePoint(float radius, float theta) const {
  float a = m_f32Angle + theta;
  return EPoint(GetX() + radius * std::cos(a), GetY() + radius * std::sin(a));
}

void EWedgeShape::Set(EPoint center, float diameter, float breadth, float orgAngle, int direct) {
  EWedge::Set(center, diameter, breadth, orgAngle, direct);
  PlaceHandlesFull();
  InvalidateFrame();
}

void EWedgeShape::Set(EPoint center, float diameter, float breadth, float orgAngle,
                      float amplitude) {
  EWedge::Set(center, diameter, breadth, orgAngle, amplitude);
  m_f32EndHandleAngle = m_f32Amplitude;
  m_f32MiddleHandleAngle = 0.5f * m_f32Amplitude;
  InvalidateFrame();
}

void EWedgeShape::Set(EPoint center, EPoint org, float breadth, int direct) {
  EWedge::Set(center, org, breadth, direct);
  PlaceHandlesFull();
  InvalidateFrame();
}

void EWedgeShape::Set(EPoint first, EPoint middle, EPoint last, float breadth, int full) {
  EWedge::Set(first, middle, last, breadth, full);
  EPoint c = GetCenter();
  m_f32MiddleHandleAngle = (middle - c).Argument() - m_f32Angle;
  m_f32EndHandleAngle = (last - c).Argument() - m_f32Angle;
  InvalidateFrame();
}

void EWedgeShape::SetCenter(float x, float y) {
  EWedge::SetCenter(x, y);
  InvalidateFrame();
}

void EWedgeShape::SetCenter(EPoint center) {
  EWedge::SetCenter(center);
  InvalidateFrame();
}

void EWedgeShape::SetAngle(float angle) {
  EWedge::SetAngle(angle);
  InvalidateFrame();
}

void EWedgeShape::SetScale(float scale) {
  EWedge::SetScale(scale);
  InvalidateFrame();
}

void EWedgeShape::SetRadii(float radius, float breadth) {
  EWedge::SetRadii(radius, breadth);
  InvalidateFrame();
}

void EWedgeShape::SetDiameters(float diameter, float breadth) {
  EWedge::SetDiameters(diameter, breadth);
  InvalidateFrame();
}

void EWedgeShape::SetAmplitude(float amplitude) {
  EWedge::SetAmplitude(amplitude);
  InvalidateFrame();
}

void EWedgeShape::SetIndexed(unsigned first, unsigned second) {
  const char* trace = "EWedgeShape::SetIndexed";
  if (m_ppDaughter != nullptr) {
    ESetError(E_ERROR_ALREADY_HAS_DAUGHTER_TABLE);
    ETraceError(trace);
    return;
  }
  uint64_t slots = uint64_t(first) * uint64_t(second);
  if (slots > 0xFFFFFFFFull || !AllocateIndexedTable(static_cast<unsigned>(slots), 1)) {
    ESetError(E_ERROR_ALLOCATION_FAILED);
    ETraceError(trace);
    return;
  }
  m_un32NumRows = second;
}

unsigned EWedgeShape::GetDaughterIndex(unsigned first, unsigned second) {
  E_ERRORS code = E_OK;
  uint64_t slot = uint64_t(first) * m_un32NumRows + second;
  if (!GetIndexed())
    code = E_ERROR_NOT_INDEXED;
  else if (second >= m_un32NumRows)
    code = E_ERROR_INDEX_OUT_OF_RANGE;
  else if (slot >= m_un32MaxDaughters)
    code = E_ERROR_GRID_INDEX_OUT_OF_RANGE;
  if (code != E_OK) {
    ESetError(code);
    ETraceError("EWedgeShape::GetDaughterIndex");
    return 0xFFFFFFFFu;
  }
  return static_cast<unsigned>(slot);
}

EShape* EWedgeShape::GetDaughter(unsigned first, unsigned second) {
  unsigned slot = GetDaughterIndex(first, second);
  if (slot == 0xFFFFFFFFu) return nullptr;
  return EShape::GetDaughter(slot);
}

void EWedgeShape::Rescale(float factor, int daughters) {
  EWedge::SetCenter(GetX() * factor, GetY() * factor);
  m_f32Radius *= factor;
  m_f32CoRadius *= factor;
  InvalidateFrame();
  EShape::Rescale(factor, daughters);
}

void EWedgeShape::ArrangeDaughters() {
  // Only a grid table is laid out: the row count outlives the grid when Attach turns the empty
  // grid into a list or a one-dimensional table replaces it, and it says nothing about those.
  unsigned rows = m_un32NumRows;
  if (rows == 0 || !GetIndexed() || !Get2DArray()) return;
  unsigned cols = m_un32MaxDaughters / rows;
  float full = GetFullCircle() != 0;
  unsigned count = GetSlotCount();
  for (unsigned k = 0; k < count; ++k) {
    EShape* d = m_ppDaughter[k];
    if (d == nullptr) continue;
    unsigned r = k % rows, c = k / rows;
    // A single row lies on the first radius.
    float rho = rows < 2 ? m_f32Radius
                         : (static_cast<float>(rows - 1 - r) * m_f32Radius +
                            static_cast<float>(r) * m_f32CoRadius) /
                               static_cast<float>(rows - 1);
    float steps = full ? static_cast<float>(cols) : static_cast<float>(cols) - 1.0f;
    float a = steps > 0 ? static_cast<float>(c) * m_f32Amplitude / steps : 0.0f;
    PlaceDaughter(d, EPoint(rho * std::cos(a), rho * std::sin(a)), EFromRadians(a), 1);
  }
}

void EWedgeShape::SetupMask(EROI<EBW8>* roi) {
  const char* trace = "EWedgeShape::SetupMask ( BW8)";
  EOk();
  if (roi == nullptr) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError(trace);
    return;
  }
  ERunVector& runs = roi->GetRuns();
  runs.Empty();
  if (roi->IsVoid()) return;
  int width = roi->GetWidth(), height = roi->GetHeight();
  float radius = GetOuterRadius();
  EPoint center = GetCenter();
  auto toSensor = [this](EPoint p) {
    return m_pMother != nullptr ? m_pMother->LocalToSensor(p) : p;
  };
  auto inside = [&](int x, int y) {
    EPoint s(static_cast<float>(x), static_cast<float>(y));
    EPoint p = m_pMother != nullptr ? m_pMother->SensorToLocal(s) : s;
    return (p - center).Square() <= radius * radius;
  };
  // The rows and columns the disc can reach: its outline sampled in sensor coordinates, with a
  // pixel of margin.
  float xMin = 3e38f, xMax = -3e38f, yMin = 3e38f, yMax = -3e38f;
  bool finite =
      std::isfinite(radius) && std::isfinite(center.GetX()) && std::isfinite(center.GetY());
  for (int i = 0; i < 256 && finite; ++i) {
    float a = kTwoPi * static_cast<float>(i) / 256.0f;
    EPoint s = toSensor(center + EPoint(radius * std::cos(a), radius * std::sin(a)));
    finite = std::isfinite(s.GetX()) && std::isfinite(s.GetY());
    xMin = std::min(xMin, s.GetX());
    xMax = std::max(xMax, s.GetX());
    yMin = std::min(yMin, s.GetY());
    yMax = std::max(yMax, s.GetY());
  }
  if (!finite) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError(trace);
    return;
  }
  // Bounds clamped to ±1e9 on both sides: a far-away outline converts to a whole number safely.
  auto bound = [](float v) { return std::min(std::max(v, -1e9f), 1e9f); };
  int64_t top = std::max<int64_t>(0, static_cast<int64_t>(std::floor(bound(yMin))) - 2);
  int64_t bottom = std::min<int64_t>(height - 1, static_cast<int64_t>(std::ceil(bound(yMax))) + 2);
  int64_t left = std::max<int64_t>(0, static_cast<int64_t>(std::floor(bound(xMin))) - 2);
  int64_t right = std::min<int64_t>(width - 1, static_cast<int64_t>(std::ceil(bound(xMax))) + 2);
  for (int64_t y = top; y <= bottom; ++y) {
    int64_t x = left;
    while (x <= right) {
      while (x <= right && !inside(static_cast<int>(x), static_cast<int>(y))) ++x;
      if (x > right) break;
      int64_t x0 = x;
      while (x <= right && inside(static_cast<int>(x), static_cast<int>(y))) ++x;
      EBW8* start = roi->GetImagePtr(static_cast<int>(x0), static_cast<int>(y));
      ERun run;
      run.start = start;
      run.end = start + (x - x0);
      run.x = static_cast<int16_t>(x0);
      run.y = static_cast<int16_t>(y);
      runs.AddElement(run);
    }
  }
}

void EWedgeShape::FormatLabel(char* buffer, unsigned size) const {
  char name[kShapeLabelSize];
  std::snprintf(buffer, size, s_Format.Get(GetFullCircle()), LabelName(name, sizeof name),
                static_cast<double>(GetX()), static_cast<double>(GetY()),
                static_cast<double>(GetOrgAngle()), EGetAngleUnitName(),
                static_cast<double>(GetInnerDiameter()), static_cast<double>(GetOuterDiameter()),
                static_cast<double>(GetAmplitude()), EGetAngleUnitName());
}

void EWedgeShape::Draw(Quarnel::DrawAdapter* adapter, INS_DRAWING_MODES mode, int daughters) {
  if (adapter == nullptr) return;
  ValidateFrame();
  if (mode == INS_DRAW_NOMINAL && PassesFilters() && GetVisible()) {
    DrawArc(adapter, GetCenter(), m_f32Radius, m_f32Angle, m_f32Amplitude);
    if (m_f32CoRadius != 0)
      DrawArc(adapter, GetCenter(), m_f32CoRadius, m_f32Angle, m_f32Amplitude);
    if (!GetFullCircle()) {
      DrawSegment(adapter, GetInnerOrg(), GetOuterOrg());
      DrawSegment(adapter, GetInnerEnd(), GetOuterEnd());
    }
    if (GetDragable()) {
      DrawHandle(adapter, GetCenter());
      if (GetRotatable() || GetResizable()) {
        bool fixed = m_eDraggingMode == INS_DRAG_FROM_FIXED_POINT;
        bool breadth = !GetFullBreadth();
        DrawHandle(adapter, HandlePoint(m_f32Radius, 0));
        if (!fixed && breadth) DrawHandle(adapter, HandlePoint(m_f32CoRadius, 0));
        if (fixed) {
          DrawHandle(adapter, HandlePoint(m_f32Radius, m_f32MiddleHandleAngle));
          if (breadth) DrawHandle(adapter, HandlePoint(m_f32CoRadius, m_f32MiddleHandleAngle));
        }
        if (!(!fixed && GetFullCircle()))
          DrawHandle(adapter, HandlePoint(m_f32Radius, m_f32EndHandleAngle));
        if (!fixed && breadth) DrawHandle(adapter, HandlePoint(m_f32CoRadius, m_f32EndHandleAngle));
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

void EWedgeShape::SetFormat(const char* format) {
  if (!s_Format.Set(format)) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("EWedgeShape::SetFormat");
  }
}

const char* EWedgeShape::GetFormat() { return s_Format.Get(); }

const char* EWedgeShape::GetFormat(int full) { return s_Format.Get(full); }
