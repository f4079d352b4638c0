// Lazy frames along the hierarchy, the world cache, and the conversions between local, world,
// sensor and display coordinates.
#include <cmath>

#include "vimo/calibration/worldshape.h"
#include "vimo/shapes/shape.h"

namespace {

// Display coordinates are floored; values that do not fit (or NaN) are pinned far outside
// any window instead of overflowing the integer conversion.
int ToDisplay(float value) {
  const float limit = 1073741824.0f;  // 2^30
  if (!(value > -limit)) return -1073741824;
  if (value >= limit) return 1073741824;
  return static_cast<int>(std::floor(value));
}

struct DisplayMapping {
  float zoomX = 1, zoomY = 1, panX = 0, panY = 0;
  explicit DisplayMapping(EWorldShape* world) {
    if (world == nullptr) return;
    zoomX = world->GetZoomX();
    zoomY = world->GetZoomY();
    panX = world->GetPanX();
    panY = world->GetPanY();
  }
  void ToDisplay(EPoint s, int& x, int& y) const {
    x = ::ToDisplay((s.GetX() + panX + 0.5f) * zoomX);
    y = ::ToDisplay((s.GetY() + panY + 0.5f) * zoomY);
  }
  EPoint ToSensor(int x, int y) const {
    return EPoint((static_cast<float>(x) + 0.5f) / zoomX - 0.5f - panX,
                  (static_cast<float>(y) + 0.5f) / zoomY - 0.5f - panY);
  }
};

}  // namespace

EFrame* EShape::GetFrame() {
  EFrame* frame = CastToFrame();
  if (IsWorld()) return frame;
  if (frame->IsFrameValid()) return frame;
  // The world is the identity for its daughters: no mother frame is passed for them.
  const EFrame* motherFrame = nullptr;
  if (m_pMother != nullptr && !m_pMother->IsWorld()) motherFrame = m_pMother->GetFrame();
  frame->ValidateFrame(motherFrame);
  frame->SetFrameValid(1);
  return frame;
}

void EShape::ValidateFrame() {
  GetFrame();
  if (GetAutoArrange()) ArrangeDaughters();
}

void EShape::InvalidateFrame() {
  EFrame* frame = CastToFrame();
  if (!frame->IsFrameValid()) return;
  frame->InvalidateFrame();
  unsigned count = GetSlotCount();
  for (unsigned i = 0; i < count; ++i)
    if (m_ppDaughter[i] != nullptr) m_ppDaughter[i]->InvalidateFrame();
}

void EShape::InvalidateWorld() {
  if (m_pWorldShape == nullptr) return;
  // The descendants' frames go with this one even where their world caches are empty (frames
  // are validated without a world lookup): a valid frame below an invalid one would no longer
  // be reached by the invalidation of the next placement change.
  InvalidateFrame();
  m_pWorldShape = nullptr;
  unsigned count = GetSlotCount();
  for (unsigned i = 0; i < count; ++i)
    if (m_ppDaughter[i] != nullptr) m_ppDaughter[i]->InvalidateWorld();
}

EPoint EShape::LocalToWorld(EPoint p) {
  if (IsWorld()) return p;
  return GetFrame()->LocalToGlobal(p);
}

ELine EShape::LocalToWorld(ELine l) {
  if (IsWorld()) return l;
  return GetFrame()->LocalToGlobal(l);
}

ECircle EShape::LocalToWorld(ECircle c) {
  if (IsWorld()) return c;
  return GetFrame()->LocalToGlobal(c);
}

EPoint EShape::WorldToLocal(EPoint p) {
  if (IsWorld()) return p;
  return GetFrame()->GlobalToLocal(p);
}

EPoint EShape::LocalToSensor(EPoint p) {
  EPoint w = LocalToWorld(p);
  EWorldShape* world = GetWorldShape();
  return world != nullptr ? world->WorldToSensor(w) : w;
}

EPoint EShape::SensorToLocal(EPoint p) {
  EWorldShape* world = GetWorldShape();
  EPoint w = world != nullptr ? world->SensorToWorld(p) : p;
  return WorldToLocal(w);
}

void EShape::LocalToDisplay(EPoint p, int& x, int& y) {
  EPoint s = LocalToSensor(p);
  DisplayMapping(GetWorldShape()).ToDisplay(s, x, y);
}

void EShape::LocalToDisplay(ELine l, int& x0, int& y0, int& x1, int& y1) {
  ELine w = LocalToWorld(l);
  EWorldShape* world = GetWorldShape();
  DisplayMapping mapping(world);
  EPoint org = w.GetOrg(), end = w.GetEnd();
  if (world != nullptr) {
    org = world->WorldToSensor(org);
    end = world->WorldToSensor(end);
  }
  mapping.ToDisplay(org, x0, y0);
  mapping.ToDisplay(end, x1, y1);
}

void EShape::LocalToDisplay(ECircle c, int& x0, int& y0, int& x1, int& y1) {
  ECircle w = LocalToWorld(c);
  EWorldShape* world = GetWorldShape();
  DisplayMapping mapping(world);
  float d1 = 1, d2 = 0, d3 = 0, d4 = 1;
  EPoint s = w.GetCenter();
  if (world != nullptr) s = world->WorldToSensor(s, d1, d2, d3, d4);
  float r = w.GetRadius();
  float hx = r * std::sqrt(d1 * d1 + d2 * d2);
  float hy = r * std::sqrt(d3 * d3 + d4 * d4);
  mapping.ToDisplay(EPoint(s.GetX() - hx, s.GetY() - hy), x0, y0);
  mapping.ToDisplay(EPoint(s.GetX() + hx, s.GetY() + hy), x1, y1);
  if (y1 < y0) {
    int t = y0;
    y0 = y1;
    y1 = t;
  }
}

EPoint EShape::DisplayToLocal(int x, int y) {
  return SensorToLocal(DisplayMapping(GetWorldShape()).ToSensor(x, y));
}

float EShape::GetZoomX() {
  EWorldShape* world = GetWorldShape();
  return world != nullptr ? world->GetZoomX() : 1.0f;
}

float EShape::GetZoomY() {
  EWorldShape* world = GetWorldShape();
  return world != nullptr ? world->GetZoomY() : 1.0f;
}

float EShape::GetPanX() {
  EWorldShape* world = GetWorldShape();
  return world != nullptr ? world->GetPanX() : 0.0f;
}

float EShape::GetPanY() {
  EWorldShape* world = GetWorldShape();
  return world != nullptr ? world->GetPanY() : 0.0f;
}

void EShape::SetZoom(float zoomX, float zoomY) {
  EWorldShape* world = GetWorldShape();
  if (world != nullptr) world->SetZoom(zoomX, zoomY);
}

void EShape::SetPan(float panX, float panY) {
  EWorldShape* world = GetWorldShape();
  if (world != nullptr) world->SetPan(panX, panY);
}

void EShape::Select(int left, int top, int right, int bottom, int daughters) {
  int x, y;
  LocalToDisplay(EPoint(0, 0), x, y);
  SetSelected(left <= x && x <= right && top <= y && y <= bottom, 0);
  if (!daughters) return;
  unsigned count = GetSlotCount();
  for (unsigned i = 0; i < count; ++i)
    if (m_ppDaughter[i] != nullptr) m_ppDaughter[i]->Select(left, top, right, bottom, 1);
}

EPoint EShape::MotherToWorld(EPoint p) {
  return m_pMother != nullptr ? m_pMother->LocalToWorld(p) : p;
}

void EShape::MotherToDisplay(EPoint p, int& x, int& y) {
  if (m_pMother != nullptr) return m_pMother->LocalToDisplay(p, x, y);
  // A root that is not a world shape: its mother's coordinates are taken as sensor pixels.
  DisplayMapping(IsWorld() ? GetWorldShape() : nullptr).ToDisplay(p, x, y);
}

EWorldShape* EShape::DrawingWorld() { return GetWorldShape(); }

void EShape::DrawSegment(Quarnel::DrawAdapter* adapter, EPoint a, EPoint b) {
  EWorldShape* world = DrawingWorld();
  if (world == nullptr) {
    int ax, ay, bx, by;
    MotherToDisplay(a, ax, ay);
    MotherToDisplay(b, bx, by);
    adapter->DrawLine(ax, ay, bx, by, Quarnel::DefaultColor);
    return;
  }
  world->DrawWorldSegment(adapter, MotherToWorld(a), MotherToWorld(b));
}

void EShape::DrawArc(Quarnel::DrawAdapter* adapter, EPoint center, float radius, float angle0,
                     float amplitude) {
  EWorldShape* world = DrawingWorld();
  if (world != nullptr) {
    EPoint wc = MotherToWorld(center);
    // The mother's frame is a similarity: it moves, turns and scales the circle, so the world
    // start angle and radius follow from the world position of the arc's origin.
    EPoint org(center.GetX() + radius * std::cos(angle0),
               center.GetY() + radius * std::sin(angle0));
    EPoint wo = MotherToWorld(org);
    return world->DrawWorldArc(adapter, wc, (wo - wc).Modulus(), (wo - wc).Argument(), amplitude);
  }
  // No world: straight pieces of at most 1/64 turn, taken in the mother's coordinates (the
  // ones MotherToDisplay converts from).
  float pieces = std::ceil(std::fabs(amplitude) / 0.09817477f);
  int steps = pieces >= 1 ? (pieces < 4096 ? static_cast<int>(pieces) : 4096) : 1;
  int px = 0, py = 0;
  for (int i = 0; i <= steps; ++i) {
    float a = angle0 + amplitude * static_cast<float>(i) / static_cast<float>(steps);
    int x, y;
    MotherToDisplay(
        EPoint(center.GetX() + radius * std::cos(a), center.GetY() + radius * std::sin(a)), x, y);
    if (i > 0) adapter->DrawLine(px, py, x, y, Quarnel::DefaultColor);
    px = x;
    py = y;
  }
}

void EShape::DrawHandle(Quarnel::DrawAdapter* adapter, EPoint p) {
  int x, y;
  MotherToDisplay(p, x, y);
  adapter->FillRectangle(x - 4, y - 4, 8, 8, Quarnel::DefaultColor, Quarnel::WhiteColor);
}

void EShape::DrawLabel(Quarnel::DrawAdapter* adapter, const char* text, EPoint p) {
  int x, y;
  MotherToDisplay(p, x, y);
  adapter->DrawTextBox(text, x, y, Quarnel::DefaultColor, Quarnel::DefaultColor);
}

void EShape::PlaceDaughter(EShape* daughter, EPoint center, float angle, int takeAngle) {
  EFrame* own = CastToFrame();
  EFrame* frame = daughter->CastToFrame();
  float scale;
  if (daughter->GetResizable())
    scale = frame->GetScale();
  else
    scale = own->GetScale() != 0 ? 1.0f / own->GetScale() : 1.0f;
  float daughterAngle;
  if (!daughter->GetRotatable())
    daughterAngle = -own->GetAngle();
  else
    daughterAngle = takeAngle ? angle : frame->GetAngle();
  frame->Set(center, daughterAngle, scale);
  daughter->InvalidateFrame();
}
