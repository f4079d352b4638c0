// The rectangle shape.
#include "vimo/shapes/rectangleshape.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>

EShapeLabelFormat ERectangleShape::s_Format("%s\n( %.1f, %.1f) %.1f %s\n%.1f x %.1f mm", nullptr,
                                            "sfffsff");

ERectangleShape::ERectangleShape(float centerX, float centerY, float width, float height,
                                 float angle)
    : ERectangle(EPoint(centerX, centerY), width, height, angle), EShape(), m_un32NumRows(0) {
  s_Format.AddInstance();
  JoinVimoWorld();
}

ERectangleShape::ERectangleShape(EPoint first, EPoint second)
    : ERectangle(first, second), EShape(), m_un32NumRows(0) {
  s_Format.AddInstance();
  JoinVimoWorld();
}

ERectangleShape::ERectangleShape(EPoint first, EPoint second, EPoint third)
    : ERectangle(first, second, third), EShape(), m_un32NumRows(0) {
  s_Format.AddInstance();
  JoinVimoWorld();
}

ERectangleShape::ERectangleShape(const ERectangleShape& other)
    : ERectangle(), EShape(), m_un32NumRows(0) {
  s_Format.AddInstance();
  JoinVimoWorld();
  other.CopyTo(this, GetRecursiveCopyBehavior());
}

ERectangleShape& ERectangleShape::operator=(const ERectangleShape& other) {
  other.CopyTo(this, GetRecursiveCopyBehavior());
  return *this;
}

ERectangleShape::~ERectangleShape() { s_Format.RemoveInstance(); }

ERectangleShape* ERectangleShape::CopyTo(ERectangleShape* dst, int recursive) const {
  if (dst == this) return dst;
  if (dst == nullptr) dst = new ERectangleShape();
  // Refused (a target that holds the source): nothing is copied.
  if (EShape::CopyTo(dst, recursive) == nullptr) return nullptr;
  CopyOwnFields(dst);
  return dst;
}

EShape* ERectangleShape::CreateShapeClone(int recursive) const {
  return CopyTo(static_cast<ERectangleShape*>(nullptr), recursive);
}

EShape* ERectangleShape::New() const {
  ERectangleShape* clone = new (std::nothrow) ERectangleShape();
  if (clone == nullptr) {
    ESetError(E_ERROR_ALLOCATION_FAILED);
    return nullptr;
  }
  CopyOwnFields(clone);
  FillNewClone(clone);
  return clone;
}

void ERectangleShape::CopyOwnFields(ERectangleShape* dst) const {
  static_cast<ERectangle&>(*dst) = static_cast<const ERectangle&>(*this);
  dst->EFrame::InvalidateFrame();
  dst->m_un32NumRows = m_un32NumRows;
}

void ERectangleShape::Set(EPoint center, float width, float height, float angle) {
  ERectangle::Set(center, width, height, angle);
  InvalidateFrame();
}

void ERectangleShape::Set(EPoint first, EPoint second) {
  ERectangle::Set(first, second);
  InvalidateFrame();
}

void ERectangleShape::Set(EPoint first, EPoint second, EPoint third) {
  ERectangle::Set(first, second, third);
  InvalidateFrame();
}

void ERectangleShape::SetCenter(float x, float y) {
  ERectangle::SetCenter(x, y);
  InvalidateFrame();
}

void ERectangleShape::SetCenter(EPoint center) {
  ERectangle::SetCenter(center);
  InvalidateFrame();
}

void ERectangleShape::SetAngle(float angle) {
  ERectangle::SetAngle(angle);
  InvalidateFrame();
}

void ERectangleShape::SetScale(float scale) {
  ERectangle::SetScale(scale);
  InvalidateFrame();
}

void ERectangleShape::SetSize(float width, float height) {
  ERectangle::SetSize(width, height);
  InvalidateFrame();
}

void ERectangleShape::SetIndexed(unsigned first, unsigned second) {
  const char* trace = "ERectangleShape::SetIndexed";
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

unsigned ERectangleShape::GetDaughterIndex(unsigned first, unsigned second) {
  const char* trace = "ERectangleShape::GetDaughterIndex";
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
    ETraceError(trace);
    return 0xFFFFFFFFu;
  }
  return static_cast<unsigned>(slot);
}

EShape* ERectangleShape::GetDaughter(unsigned first, unsigned second) {
  unsigned slot = GetDaughterIndex(first, second);
  if (slot == 0xFFFFFFFFu) return nullptr;
  return EShape::GetDaughter(slot);
}

unsigned ERectangleShape::GetRowIndex(EShape* daughter) {
  if (!GetIndexed() || m_un32NumRows == 0 || daughter == nullptr || daughter->GetMother() != this) {
    ESetError(GetIndexed() ? E_ERROR_INVALID_PARAMETER : E_ERROR_NOT_INDEXED);
    ETraceError("ERectangleShape::GetRowIndex");
    return 0xFFFFFFFFu;
  }
  return daughter->GetIndex() % m_un32NumRows;
}

unsigned ERectangleShape::GetColIndex(EShape* daughter) {
  if (!GetIndexed() || m_un32NumRows == 0 || daughter == nullptr || daughter->GetMother() != this) {
    ESetError(GetIndexed() ? E_ERROR_INVALID_PARAMETER : E_ERROR_NOT_INDEXED);
    ETraceError("ERectangleShape::GetColIndex");
    return 0xFFFFFFFFu;
  }
  return daughter->GetIndex() / m_un32NumRows;
}

void ERectangleShape::Rescale(float factor, int daughters) {
  ERectangle::SetCenter(GetX() * factor, GetY() * factor);
  m_f32HalfSizeX *= factor;
  m_f32HalfSizeY *= factor;
  InvalidateFrame();
  EShape::Rescale(factor, daughters);
}

void ERectangleShape::ArrangeDaughters() {
  // Only a grid table is laid out: the row count outlives the grid when Attach turns the empty
  // grid into a list or a one-dimensional table replaces it, and it says nothing about those.
  unsigned rows = m_un32NumRows;
  if (rows == 0 || !GetIndexed() || !Get2DArray()) return;
  unsigned cols = m_un32MaxDaughters / rows;
  unsigned count = GetSlotCount();
  for (unsigned k = 0; k < count; ++k) {
    EShape* d = m_ppDaughter[k];
    if (d == nullptr) continue;
    unsigned r = k % rows, c = k / rows;
    float x = cols < 2 ? 0.0f
                       : (2.0f * static_cast<float>(c) / static_cast<float>(cols - 1) - 1.0f) *
                             m_f32HalfSizeX;
    float y = rows < 2 ? 0.0f
                       : (2.0f * static_cast<float>(r) / static_cast<float>(rows - 1) - 1.0f) *
                             m_f32HalfSizeY;
    PlaceDaughter(d, EPoint(x, y), 0, 0);
  }
}

namespace {

// Floor and ceiling of num / den for den > 0.
int64_t FloorDiv(int64_t num, int64_t den) {
  int64_t q = num / den;
  return (num % den != 0 && num < 0) ? q - 1 : q;
}
int64_t CeilDiv(int64_t num, int64_t den) {
  int64_t q = num / den;
  return (num % den != 0 && num > 0) ? q + 1 : q;
}

}  // namespace

template <class T>
void ERectangleShape::SetupMaskOf(EROI<T>* roi, const char* trace) {
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
  // The corners in sensor pixels, in the order they go round the rectangle.
  EPoint p[4];
  GetCorners(p[0], p[1], p[3], p[2]);
  int64_t cx[4], cy[4];
  const float limit = 67108864.0f;  // 2^26: keeps the products below in 64 bits
  for (int i = 0; i < 4; ++i) {
    EPoint s = m_pMother != nullptr ? m_pMother->LocalToSensor(p[i]) : p[i];
    float x = std::floor(s.GetX()), y = std::floor(s.GetY());
    if (!std::isfinite(x) || !std::isfinite(y)) {
      ESetError(E_ERROR_INVALID_PARAMETER);
      ETraceError(trace);
      return;
    }
    cx[i] = static_cast<int64_t>(std::max(-limit, std::min(limit, x)));
    cy[i] = static_cast<int64_t>(std::max(-limit, std::min(limit, y)));
  }
  int64_t top = std::min(std::min(cy[0], cy[1]), std::min(cy[2], cy[3]));
  int64_t bottom = std::max(std::max(cy[0], cy[1]), std::max(cy[2], cy[3]));
  top = std::max<int64_t>(top, 0);
  bottom = std::min<int64_t>(bottom, height - 1);
  for (int64_t y = top; y <= bottom; ++y) {
    // The row meets the convex outline in one interval: the extreme crossings of its edges.
    int64_t lo = INT64_MAX, hi = INT64_MIN;
    for (int i = 0; i < 4; ++i) {
      int j = (i + 1) & 3;
      int64_t y0 = cy[i], y1 = cy[j], x0 = cx[i], x1 = cx[j];
      if (y < std::min(y0, y1) || y > std::max(y0, y1)) continue;
      if (y0 == y1) {
        lo = std::min(lo, std::min(x0, x1));
        hi = std::max(hi, std::max(x0, x1));
        continue;
      }
      if (y1 < y0) {
        std::swap(y0, y1);
        std::swap(x0, x1);
      }
      int64_t num = x0 * (y1 - y0) + (x1 - x0) * (y - y0), den = y1 - y0;
      lo = std::min(lo, CeilDiv(num, den));
      hi = std::max(hi, FloorDiv(num, den));
    }
    if (lo > hi) continue;
    int64_t x0 = std::max<int64_t>(0, lo), x1 = std::min<int64_t>(width, hi + 1);
    if (x0 >= x1) continue;
    T* start = roi->GetImagePtr(static_cast<int>(x0), static_cast<int>(y));
    ERun run;
    run.start = start;
    run.end = start + (x1 - x0);
    run.x = static_cast<int16_t>(x0);
    run.y = static_cast<int16_t>(y);
    runs.AddElement(run);
  }
}

void ERectangleShape::SetupMask(EROI<EBW8>* roi) {
  SetupMaskOf(roi, "ERectangleShape::SetupMask ( BW8)");
}

void ERectangleShape::SetupMask(EROI<EC24>* roi) {
  SetupMaskOf(roi, "ERectangleShape::SetupMask ( C24)");
}

void ERectangleShape::FormatLabel(char* buffer, unsigned size) const {
  char name[kShapeLabelSize];
  std::snprintf(buffer, size, s_Format.Get(), LabelName(name, sizeof name),
                static_cast<double>(GetX()), static_cast<double>(GetY()),
                static_cast<double>(GetAngle()), EGetAngleUnitName(),
                static_cast<double>(GetSizeX()), static_cast<double>(GetSizeY()));
}

void ERectangleShape::Draw(Quarnel::DrawAdapter* adapter, INS_DRAWING_MODES mode, int daughters) {
  if (adapter == nullptr) return;
  ValidateFrame();
  if (mode == INS_DRAW_NOMINAL && PassesFilters() && GetVisible()) {
    EPoint a, b, c, d;
    GetCorners(a, b, c, d);
    DrawSegment(adapter, a, b);
    DrawSegment(adapter, b, d);
    DrawSegment(adapter, d, c);
    DrawSegment(adapter, c, a);
    if (GetDragable()) {
      DrawHandle(adapter, GetCenter());
      if (GetRotatable() || GetResizable()) {
        if (m_eDraggingMode == INS_DRAG_FROM_FIXED_POINT) {
          DrawHandle(adapter, a);
          DrawHandle(adapter, b);
          DrawHandle(adapter, c);
          DrawHandle(adapter, d);
        } else {
          EPoint e0, e1, e2, e3;
          GetMidEdges(e0, e1, e2, e3);
          DrawHandle(adapter, e0);
          DrawHandle(adapter, e1);
          DrawHandle(adapter, e2);
          DrawHandle(adapter, e3);
        }
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

void ERectangleShape::SetFormat(const char* format) {
  if (!s_Format.Set(format)) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("ERectangleShape::SetFormat");
  }
}

const char* ERectangleShape::GetFormat() { return s_Format.Get(); }
