// The world shape: axes, landmarks, landmark grid, cross grid, display mapping and the
// curve-following drawing used by every shape.
#include "vimo/calibration/worldshape.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "vimo/shapes/shaperecord.h"

using Quarnel::DrawAdapter;

namespace {

int ToDisplay(float value) {
  const float limit = 1073741824.0f;  // 2^30
  if (!(value > -limit)) return -1073741824;
  if (value >= limit) return 1073741824;
  return static_cast<int>(std::floor(value));
}

// Subdivision stops at this depth (2^13 lines per call); only a NaN or wildly non-linear
// mapping gets there, and the chord is drawn instead of recursing for ever.
const int kMaxHalvingDepth = 12;

}  // namespace

EWorldShape::EWorldShape(float centerX, float centerY, float angle, float scale, float sizeX,
                         float sizeY)
    : EWorld(centerX, centerY, angle, scale),
      EShape(),
      m_f32SizeX(sizeX),
      m_f32SizeY(sizeY),
      m_un32HitLandmark(0xFFFFFFFFu),
      m_f32ZoomX(1),
      m_f32ZoomY(1),
      m_f32PanX(0),
      m_f32PanY(0) {}

EWorldShape::EWorldShape() : EWorldShape(0, 0, 0, 1, 100, 100) {}

EWorldShape::EWorldShape(const EWorldShape& other) : EWorldShape() {
  other.CopyTo(this, GetRecursiveCopyBehavior());
}

EWorldShape& EWorldShape::operator=(const EWorldShape& other) {
  other.CopyTo(this, GetRecursiveCopyBehavior());
  return *this;
}

EWorldShape::~EWorldShape() {}

EWorldShape* EWorldShape::CopyTo(EWorldShape* dst, int recursive) const {
  if (dst == this) return dst;
  if (dst == nullptr) dst = new EWorldShape();
  // Refused (a target that holds the source): nothing is copied, as for the other shapes.
  if (EShape::CopyTo(dst, recursive) == nullptr) return nullptr;
  CopyOwnFields(dst);
  return dst;
}

EShape* EWorldShape::CreateShapeClone(int recursive) const {
  return CopyTo(static_cast<EWorldShape*>(nullptr), recursive);
}

EShape* EWorldShape::New() const {
  EWorldShape* clone = new (std::nothrow) EWorldShape();
  if (clone == nullptr) {
    ESetError(E_ERROR_ALLOCATION_FAILED);
    return nullptr;
  }
  CopyOwnFields(clone);
  FillNewClone(clone);
  return clone;
}

void EWorldShape::CopyOwnFields(EWorldShape* dst) const {
  static_cast<EWorld&>(*dst) = static_cast<const EWorld&>(*this);
  dst->m_f32SizeX = m_f32SizeX;
  dst->m_f32SizeY = m_f32SizeY;
  dst->m_un32HitLandmark = m_un32HitLandmark;
  dst->m_f32ZoomX = m_f32ZoomX;
  dst->m_f32ZoomY = m_f32ZoomY;
  dst->m_f32PanX = m_f32PanX;
  dst->m_f32PanY = m_f32PanY;
}

void EWorldShape::Attach(EShape*) {
  ESetError(E_ERROR_WORLD_SHAPE_ATTACH);
  ETraceError("EWorldShape::Attach");
}

void EWorldShape::Detach() {
  ESetError(E_ERROR_WORLD_SHAPE_ATTACH);
  ETraceError("EWorldShape::Detach");
}

void EWorldShape::SetZoom(float zoomX, float zoomY) {
  if (zoomY == 0) zoomY = zoomX;
  if (!(std::isfinite(zoomX) && std::isfinite(zoomY)) || zoomX == 0) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("EWorldShape::SetZoom");
    return;
  }
  m_f32ZoomX = zoomX;
  m_f32ZoomY = zoomY;
}

void EWorldShape::SetPan(float panX, float panY) {
  m_f32PanX = panX;
  m_f32PanY = panY;
}

void EWorldShape::SetSize(float sizeX, float sizeY) {
  m_f32SizeX = sizeX;
  m_f32SizeY = sizeY == 0 ? sizeX : sizeY;
}

void EWorldShape::SensorToDisplay(EPoint s, int& x, int& y) const {
  x = ToDisplay((s.GetX() + m_f32PanX + 0.5f) * m_f32ZoomX);
  y = ToDisplay((s.GetY() + m_f32PanY + 0.5f) * m_f32ZoomY);
}

EPoint EWorldShape::DisplayToSensor(int x, int y) const {
  return EPoint((static_cast<float>(x) + 0.5f) / m_f32ZoomX - 0.5f - m_f32PanX,
                (static_cast<float>(y) + 0.5f) / m_f32ZoomY - 0.5f - m_f32PanY);
}

void EWorldShape::Rescale(float factor, int daughters) { EShape::Rescale(factor, daughters); }

void EWorldShape::Draw(DrawAdapter* adapter, INS_DRAWING_MODES mode, int daughters) {
  if (adapter == nullptr) return;
  if (PassesFilters() && GetVisible() && mode == INS_DRAW_NOMINAL) {
    int x0, y0, x1, y1;
    LocalToDisplay(EPoint(-0.1f * m_f32SizeX, 0), x0, y0);
    LocalToDisplay(EPoint(m_f32SizeX, 0), x1, y1);
    adapter->DrawLine(x0, y0, x1, y1, Quarnel::DefaultColor);
    LocalToDisplay(EPoint(0, -0.1f * m_f32SizeY), x0, y0);
    LocalToDisplay(EPoint(0, m_f32SizeY), x1, y1);
    adapter->DrawLine(x0, y0, x1, y1, Quarnel::DefaultColor);
    if (WantsLabel()) {
      char label[256], name[256];
      std::snprintf(label, sizeof label, "%s", LabelName(name, sizeof name));
      LocalToDisplay(EPoint(0, 0), x0, y0);
      adapter->DrawText(label, x0, y0, Quarnel::BlackColor);
    }
  }
  EShape::Draw(adapter, mode, daughters);
}

int EWorldShape::HitTest(int daughters) {
  if (!daughters) return 0;
  return EShape::HitTest(1);
}

void EWorldShape::Drag(int, int) {}

void EWorldShape::Closest() {
  if (PassesFilters() && GetSelectable())
    OfferClosest(AxesDistance(DisplayToLocal(m_n32CursorX, m_n32CursorY), m_f32SizeX, m_f32SizeY));
  EShape::Closest();
}

void EWorldShape::DrawLandmarks(DrawAdapter* adapter) {
  if (adapter == nullptr) return;
  unsigned count = m_Landmark.GetNumElements();
  for (unsigned i = 0; i < count; ++i) {
    int x, y;
    SensorToDisplay(m_Landmark[i].SensorPoint, x, y);
    adapter->DrawLine(x - 8, y, x + 8, y, Quarnel::BlackColor);
    adapter->DrawLine(x, y - 8, x, y + 8, Quarnel::BlackColor);
    adapter->FillRectangle(x - 4, y - 4, 8, 8, Quarnel::DefaultColor, Quarnel::WhiteColor);
  }
}

void EWorldShape::HitLandmark() {
  m_un32HitLandmark = 0xFFFFFFFFu;
  unsigned count = m_Landmark.GetNumElements();
  for (unsigned i = 0; i < count; ++i) {
    int x, y;
    SensorToDisplay(m_Landmark[i].SensorPoint, x, y);
    if (std::abs(static_cast<int64_t>(x) - m_n32CursorX) < 5 &&
        std::abs(static_cast<int64_t>(y) - m_n32CursorY) < 5) {
      m_un32HitLandmark = i;
      return;
    }
  }
}

void EWorldShape::DragLandmark(int x, int y) {
  if (m_un32HitLandmark >= m_Landmark.GetNumElements()) return;
  // A display mapping without inverse (zoom 0) gives no sensor point to move to.
  const EPoint s = DisplayToSensor(x, y);
  if (!std::isfinite(s.GetX()) || !std::isfinite(s.GetY())) return;
  m_Landmark[m_un32HitLandmark].SensorPoint = s;
}

namespace {

// One pending step of the depth-first walk of the landmark grid.
struct GridVisit {
  int from;
  int to;
  int resume;  // next neighbour direction of `to` to visit, 0 to 4
};

// The process-wide nesting counter of the grid walk.
unsigned s_un32GridDepth = 0;

}  // namespace

void EWorldShape::DrawGrid(DrawAdapter* adapter) {
  s_un32GridDepth = 0;
  int origin = GetOriginLandmark();
  unsigned count = m_Landmark.GetNumElements();
  if (adapter == nullptr || origin < 0 || static_cast<unsigned>(origin) >= count ||
      GetMatchedCount() <= 1)
    return;
  for (unsigned i = 0; i < count; ++i) m_Landmark[i].Matched = 0;
  m_Landmark[origin].Matched = 1;
  auto valid = [count](int index) { return index >= 0 && static_cast<unsigned>(index) < count; };
  std::vector<GridVisit> stack;
  // The origin itself is the first frame: its four edges are visited in direction order.
  stack.push_back(GridVisit{-1, origin, 0});
  while (!stack.empty()) {
    GridVisit& top = stack.back();
    if (top.resume >= 4) {
      stack.pop_back();
      if (s_un32GridDepth > 0) --s_un32GridDepth;
      continue;
    }
    int from = top.to;
    int to = m_Landmark[from].Neighbour[top.resume++];
    // Links outside the landmark table are ignored rather than followed.
    if (!valid(to)) continue;
    int x0, y0, x1, y1;
    SensorToDisplay(m_Landmark[from].SensorPoint, x0, y0);
    SensorToDisplay(m_Landmark[to].SensorPoint, x1, y1);
    adapter->DrawLine(x0, y0, x1, y1, Quarnel::DefaultColor);
    if (!m_Landmark[to].Matched) {
      m_Landmark[to].Matched = 1;
      ++s_un32GridDepth;
      stack.push_back(GridVisit{from, to, 0});
    }
  }
}

void EWorldShape::DrawCrossGrid(DrawAdapter* adapter, float xMin, float xMax, float yMin,
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
      adapter->DrawLine(x - 4, y, x + 5, y, Quarnel::DefaultColor);
      adapter->DrawLine(x, y - 4, x, y + 5, Quarnel::DefaultColor);
    }
}

namespace {

// Whether the displayed midpoint lies within one pixel of the chord (squared twice-area of the
// display triangle against the squared chord length).
bool CloseToChord(int ax, int ay, int mx, int my, int bx, int by) {
  // Display coordinates reach 2^30 on either side of 0: their differences are taken in double.
  const double ux = double(bx) - ax, uy = double(by) - ay;
  double cross = ux * (double(my) - ay) - uy * (double(mx) - ax);
  double c = cross * cross;
  double l = ux * ux + uy * uy;
  return c <= l;
}

}  // namespace

void EWorldShape::HalveSegment(DrawAdapter* adapter, EPoint a, int ax, int ay, EPoint b, int bx,
                               int by) {
  if (adapter == nullptr) return;
  HalveSegmentTo(adapter, a, ax, ay, b, bx, by, 0);
}

void EWorldShape::HalveSegmentTo(DrawAdapter* adapter, EPoint a, int ax, int ay, EPoint b, int bx,
                                 int by, int depth) {
  EPoint m = (a + b) * 0.5f;
  int mx, my;
  LocalToDisplay(m, mx, my);
  if (depth >= kMaxHalvingDepth || CloseToChord(ax, ay, mx, my, bx, by)) {
    adapter->DrawLine(ax, ay, mx, my, Quarnel::DefaultColor);
    adapter->DrawLine(mx, my, bx, by, Quarnel::DefaultColor);
    return;
  }
  HalveSegmentTo(adapter, a, ax, ay, m, mx, my, depth + 1);
  HalveSegmentTo(adapter, m, mx, my, b, bx, by, depth + 1);
}

void EWorldShape::HalveArc(DrawAdapter* adapter, EPoint center, float radius, float angle0, int x0,
                           int y0, float angle1, int x1, int y1) {
  if (adapter == nullptr) return;
  HalveArcTo(adapter, center, radius, angle0, x0, y0, angle1, x1, y1, 0);
}

void EWorldShape::HalveArcTo(DrawAdapter* adapter, EPoint center, float radius, float angle0,
                             int x0, int y0, float angle1, int x1, int y1, int depth) {
  float t = (angle0 + angle1) * 0.5f;
  EPoint m(center.GetX() + radius * std::cos(t), center.GetY() + radius * std::sin(t));
  int mx, my;
  LocalToDisplay(m, mx, my);
  // More than a half turn is never taken for straight: the ends of a nearly full arc can share
  // a pixel, which the chord test would accept as a piece drawn across the circle.
  bool overHalfTurn = std::fabs(angle1 - angle0) > 3.14159265f;
  if (depth >= kMaxHalvingDepth || (!overHalfTurn && CloseToChord(x0, y0, mx, my, x1, y1))) {
    adapter->DrawLine(x0, y0, mx, my, Quarnel::DefaultColor);
    adapter->DrawLine(mx, my, x1, y1, Quarnel::DefaultColor);
    return;
  }
  HalveArcTo(adapter, center, radius, angle0, x0, y0, t, mx, my, depth + 1);
  HalveArcTo(adapter, center, radius, t, mx, my, angle1, x1, y1, depth + 1);
}

void EWorldShape::HalveCircle(DrawAdapter* adapter, EPoint center, float radius, float angle0,
                              int x0, int y0, float angle1, int x1, int y1) {
  if (adapter == nullptr) return;
  float t = (angle0 + angle1) * 0.5f;
  EPoint m(center.GetX() + radius * std::cos(t), center.GetY() + radius * std::sin(t));
  int mx, my;
  LocalToDisplay(m, mx, my);
  HalveArcTo(adapter, center, radius, angle0, x0, y0, t, mx, my, 0);
  HalveArcTo(adapter, center, radius, t, mx, my, angle1, x1, y1, 0);
}

void EWorldShape::DrawWorldSegment(DrawAdapter* adapter, EPoint a, EPoint b) {
  int ax, ay, bx, by;
  LocalToDisplay(a, ax, ay);
  LocalToDisplay(b, bx, by);
  HalveSegment(adapter, a, ax, ay, b, bx, by);
}

void EWorldShape::DrawWorldArc(DrawAdapter* adapter, EPoint center, float radius, float angle0,
                               float amplitude) {
  float angle1 = angle0 + amplitude;
  int x0, y0, x1, y1;
  LocalToDisplay(
      EPoint(center.GetX() + radius * std::cos(angle0), center.GetY() + radius * std::sin(angle0)),
      x0, y0);
  LocalToDisplay(
      EPoint(center.GetX() + radius * std::cos(angle1), center.GetY() + radius * std::sin(angle1)),
      x1, y1);
  // A full turn starts and ends on the same pixel: split it first so that it is not taken for
  // a point.
  if (std::fabs(amplitude) >= 6.2831850f)
    HalveCircle(adapter, center, radius, angle0, x0, y0, angle1, x1, y1);
  else
    HalveArc(adapter, center, radius, angle0, x0, y0, angle1, x1, y1);
}

void EWorldShape::Serialize(FILE* stream, int mode, unsigned version, int daughters) {
  const char* trace = "EWorldShape::Serialize";
  uint8_t stored;
  if (!vimo_detail::RecordVersion(stream, mode, 2, stored, trace)) return;
  EWorld::Serialize(stream, mode, version);
  if (!vimo_detail::RecordStep(trace)) return;
  if (version > 1) {
    EShape::Serialize(stream, mode, version, daughters);
    if (!vimo_detail::RecordStep(trace)) return;
  }
  float view[4] = {m_f32ZoomX, m_f32ZoomY, m_f32PanX, m_f32PanY};
  if (mode == 0 && stored < 2) {
    view[0] = view[1] = 1;
    view[2] = view[3] = 0;
  } else {
    for (float& field : view)
      if (!vimo_detail::RecordTransfer(stream, mode, &field, 4)) return ETraceError(trace);
  }
  if (mode != 0) return;
  // A zero or non-finite zoom would make the display mapping singular: refused as SetZoom
  // refuses it, and the view stays as it was.
  if (!(std::isfinite(view[0]) && std::isfinite(view[1])) || view[0] == 0 || view[1] == 0) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    return ETraceError(trace);
  }
  m_f32ZoomX = view[0];
  m_f32ZoomY = view[1];
  m_f32PanX = view[2];
  m_f32PanY = view[3];
}
