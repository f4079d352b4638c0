// Pointer interaction of the concrete shapes: their handles, what dragging each one does, and
// the distance from the pointer to each outline for the closest-shape search.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "vimo/shapes/circleshape.h"
#include "vimo/shapes/frameshape.h"
#include "vimo/shapes/lineshape.h"
#include "vimo/shapes/pointshape.h"
#include "vimo/shapes/rectangleshape.h"
#include "vimo/shapes/wedgeshape.h"

namespace {

const float kPi = 3.14159265358979f;
const float kHalfPi = 1.57079633f;
const float kTwoPi = 6.2831855f;

// The direction from one point to another; NaN when they coincide, so that a turn towards the
// pointer on a centre is refused as unsound.
float Direction(EPoint from, EPoint to) {
  if (from.GetX() == to.GetX() && from.GetY() == to.GetY()) return std::nanf("");
  return std::atan2(to.GetY() - from.GetY(), to.GetX() - from.GetX());
}

// A length of the mother's coordinates in the shape's own (scaled) coordinates.
float InOwnUnits(float length, float scale) { return scale != 0 ? length / scale : length; }

float Between(EPoint a, EPoint b) { return std::hypot(a.GetX() - b.GetX(), a.GetY() - b.GetY()); }

// Whether a pointer landed on a finite point (a singular or perspective mapping may send it
// to infinity, where no direction or distance means anything).
bool FinitePoint(EPoint p) { return std::isfinite(p.GetX()) && std::isfinite(p.GetY()); }

// Whether a frame's placement is made of finite numbers.
bool Finite(const EFrame& f) {
  return std::isfinite(f.GetCenterX()) && std::isfinite(f.GetCenterY()) &&
         std::isfinite(f.GetRawAngle()) && std::isfinite(f.GetScale());
}

// An end handle angle brought into the range of the arc's sense, by one turn at most.
float IntoSense(float angle, float amplitude) {
  if (amplitude > 0) {
    if (angle < 0) angle += kTwoPi;
    if (angle > kTwoPi) angle -= kTwoPi;
  } else {
    if (angle > 0) angle -= kTwoPi;
    if (angle < -kTwoPi) angle += kTwoPi;
  }
  return angle;
}

// Turns an arc's origin to `direction` while its end keeps its absolute direction (atOrg), or
// its end to `direction`; an arc's amplitude follows its end handle, a full circle keeps its
// middle handle opposite the origin.
void TurnArcEnd(bool atOrg, float direction, int full, float& angle, float& amplitude,
                float& middleHandle, float& endHandle) {
  float end;
  if (atOrg) {
    end = angle + endHandle - direction;
    angle = direction;
  } else {
    end = direction - angle;
  }
  endHandle = IntoSense(end, amplitude);
  if (full) {
    middleHandle = kPi;
  } else {
    amplitude = endHandle;
    middleHandle = 0.5f * endHandle;
  }
}

// Distance from p (local coordinates, centre at the origin) to an arc of radius r starting at
// angle 0 and running over amplitude (radians).
float ArcDistance(EPoint p, float r, float amplitude) {
  float a = std::atan2(p.GetY(), p.GetX());
  if (amplitude <= 0 && a > 0) a -= kTwoPi;
  if (amplitude > 0 && a < 0) a += kTwoPi;
  if (std::fabs(a) <= std::fabs(amplitude)) return std::fabs(p.Modulus() - r);
  return std::min(Between(p, EPoint(r, 0)),
                  Between(p, EPoint(r * std::cos(amplitude), r * std::sin(amplitude))));
}

// Distance from p to the segment from a to b.
float SegmentDistance(EPoint p, EPoint a, EPoint b) {
  const EPoint ab = b - a;
  const float length2 = ab.Dot(ab);
  float t = length2 > 0 ? (p - a).Dot(ab) / length2 : 0.0f;
  t = std::min(1.0f, std::max(0.0f, t));
  return Between(p, a + ab * t);
}

}  // namespace

// Shared helpers.

bool EShape::OffersHandles() {
  ValidateFrame();
  return PassesFilters() && GetDragable();
}

static bool UnderCursor(int x, int y, int cursorX, int cursorY) {
  return std::llabs(int64_t(x) - cursorX) <= 4 && std::llabs(int64_t(y) - cursorY) <= 4;
}

float EShape::AxesDistance(EPoint p, float sizeX, float sizeY) {
  const float x = p.GetX(), y = p.GetY();
  if (x < 0 && y < 0) return p.Modulus();
  if (x <= sizeX && y <= sizeY) return std::min(std::fabs(x), std::fabs(y));
  return std::min(Between(p, EPoint(sizeX, 0)), Between(p, EPoint(0, sizeY)));
}

bool EShape::HitHandle(EPoint p, INS_HANDLES handle) {
  int x, y;
  MotherToDisplay(p, x, y);
  if (!UnderCursor(x, y, m_n32CursorX, m_n32CursorY)) return false;
  m_eHitHandle = handle;
  m_pHitShape = this;
  return true;
}

bool EShape::HitOwnHandle(EPoint p, INS_HANDLES handle) {
  int x, y;
  LocalToDisplay(p, x, y);
  if (!UnderCursor(x, y, m_n32CursorX, m_n32CursorY)) return false;
  m_eHitHandle = handle;
  m_pHitShape = this;
  return true;
}

EPoint EShape::PointerToMother(int x, int y) {
  if (m_pMother != nullptr) return m_pMother->DisplayToLocal(x, y);
  const float scale = CastToFrame()->GetScale();
  const float s = scale != 0 ? scale : 1.0f;
  return EPoint(((static_cast<float>(x) + 0.5f - GetPanX()) / GetZoomX() - 0.5f) / s,
                ((static_cast<float>(y) + 0.5f - GetPanY()) / GetZoomY() - 0.5f) / s);
}

bool EShape::CursorForClosest(EPoint& local) {
  ValidateFrame();
  if (!PassesFilters() || !GetSelectable()) return false;
  local = DisplayToLocal(m_n32CursorX, m_n32CursorY);
  return true;
}

void EShape::OfferClosest(float d) {
  if (d < m_f32ClosestDistance) {
    m_f32ClosestDistance = d;
    m_pClosestShape = this;
  }
}

// Point shape: the centre only.

int EPointShape::HitTest(int daughters) {
  if (OffersHandles() && HitHandle(GetCenter(), INS_HANDLE_CENTER)) return 1;
  return EShape::HitTest(daughters);
}

void EPointShape::Drag(int x, int y) {
  if (!GetDragable()) return;
  ValidateFrame();
  // A drag that would leave no sound geometry (a zero size or radius, a pointer on the
  // centre of a turn) changes nothing.
  const EFrame before = *this;
  EPoint p = PointerToMother(x, y);
  if (!FinitePoint(p)) return;
  if (m_eHitHandle == INS_HANDLE_CENTER) EFrame::SetCenter(p);
  if (!(std::isfinite(GetX()) && std::isfinite(GetY()))) {
    static_cast<EFrame&>(*this) = before;
  }
  InvalidateFrame();
}

void EPointShape::Closest() {
  EPoint p;
  if (CursorForClosest(p)) OfferClosest(p.Modulus());
  EShape::Closest();
}

// Line shape: centre, origin, end.

int ELineShape::HitTest(int daughters) {
  if (OffersHandles()) {
    if (HitHandle(GetCenter(), INS_HANDLE_CENTER)) return 1;
    if ((GetRotatable() || GetResizable()) &&
        (HitHandle(GetOrg(), INS_HANDLE_ORG) || HitHandle(GetEnd(), INS_HANDLE_END)))
      return 1;
  }
  return EShape::HitTest(daughters);
}

void ELineShape::Drag(int x, int y) {
  if (!GetDragable()) return;
  ValidateFrame();
  // A drag that would leave no sound geometry (a zero size or radius, a pointer on the
  // centre of a turn) changes nothing.
  const ELine before = *this;
  const EPoint p = PointerToMother(x, y);
  if (!FinitePoint(p)) return;
  const EPoint c = GetCenter();
  const INS_HANDLES h = m_eHitHandle;
  if (h == INS_HANDLE_CENTER) {
    ELine::SetCenter(p);
  } else if (h == INS_HANDLE_ORG || h == INS_HANDLE_END) {
    if (m_eDraggingMode == INS_DRAG_ABOUT_CENTER) {
      if (GetRotatable()) m_f32Angle = h == INS_HANDLE_ORG ? Direction(p, c) : Direction(c, p);
      if (GetResizable()) m_f32HalfLength = Between(c, p);
    } else {
      // The opposite end stays where it is.
      const EPoint fixed = h == INS_HANDLE_ORG ? GetEnd() : GetOrg();
      const EPoint org = h == INS_HANDLE_ORG ? p : fixed;
      const EPoint end = h == INS_HANDLE_ORG ? fixed : p;
      if (GetRotatable()) m_f32Angle = Direction(org, end);
      if (GetResizable()) m_f32HalfLength = 0.5f * Between(org, end);
      const float dx = m_f32HalfLength * std::cos(m_f32Angle);
      const float dy = m_f32HalfLength * std::sin(m_f32Angle);
      if (h == INS_HANDLE_ORG)
        ELine::SetCenter(fixed.GetX() - dx, fixed.GetY() - dy);
      else
        ELine::SetCenter(fixed.GetX() + dx, fixed.GetY() + dy);
    }
  }
  if (!(Finite(*this) && m_f32HalfLength > 0)) {
    static_cast<ELine&>(*this) = before;
  }
  InvalidateFrame();
}

void ELineShape::Closest() {
  EShape::Closest();
  EPoint p;
  if (!CursorForClosest(p)) return;
  const float h = InOwnUnits(m_f32HalfLength, GetScale()), x = p.GetX(), y = p.GetY();
  if (std::fabs(x) <= h)
    OfferClosest(std::fabs(y));
  else
    OfferClosest(std::min(Between(p, EPoint(-h, 0)), Between(p, EPoint(h, 0))));
}

// Circle shape: centre, origin, middle (fixed-point mode), end.

int ECircleShape::HitTest(int daughters) {
  if (OffersHandles()) {
    if (HitHandle(GetCenter(), INS_HANDLE_CENTER)) return 1;
    if (GetRotatable() || GetResizable()) {
      const bool fixed = m_eDraggingMode == INS_DRAG_FROM_FIXED_POINT;
      if (HitHandle(GetOrg(), INS_HANDLE_ORG)) return 1;
      if (fixed && HitHandle(HandlePoint(m_f32MiddleHandleAngle), INS_HANDLE_MIDDLE)) return 1;
      if (!(!fixed && GetFull()) && HitHandle(HandlePoint(m_f32EndHandleAngle), INS_HANDLE_END))
        return 1;
    }
  }
  return EShape::HitTest(daughters);
}

void ECircleShape::Drag(int x, int y) {
  if (!GetDragable()) return;
  ValidateFrame();
  // A drag that would leave no sound geometry (a zero size or radius, a pointer on the
  // centre of a turn) changes nothing.
  const ECircle before = *this;
  const float before_m_f32MiddleHandleAngle = m_f32MiddleHandleAngle;
  const float before_m_f32EndHandleAngle = m_f32EndHandleAngle;
  const EPoint p = PointerToMother(x, y);
  if (!FinitePoint(p)) return;
  const EPoint c = GetCenter();
  const INS_HANDLES h = m_eHitHandle;
  if (h == INS_HANDLE_CENTER) {
    ECircle::SetCenter(p);
  } else if (m_eDraggingMode == INS_DRAG_ABOUT_CENTER &&
             (h == INS_HANDLE_ORG || h == INS_HANDLE_END)) {
    if (GetRotatable())
      TurnArcEnd(h == INS_HANDLE_ORG, Direction(c, p), GetFull(), m_f32Angle, m_f32Amplitude,
                 m_f32MiddleHandleAngle, m_f32EndHandleAngle);
    if (GetResizable()) m_f32Radius = Between(c, p);
  } else if (m_eDraggingMode == INS_DRAG_FROM_FIXED_POINT &&
             (h == INS_HANDLE_ORG || h == INS_HANDLE_MIDDLE || h == INS_HANDLE_END)) {
    EPoint org = GetOrg(), middle = HandlePoint(m_f32MiddleHandleAngle),
           end = HandlePoint(m_f32EndHandleAngle);
    (h == INS_HANDLE_ORG ? org : h == INS_HANDLE_MIDDLE ? middle : end) = p;
    // Collinear points leave the circle as it was.
    EPoint center;
    float radius, orgAngle, amplitude;
    if (ECircle::ThroughThreePoints(org, middle, end, GetFull(), center, radius, orgAngle,
                                    amplitude))
      Set(org, middle, end, GetFull());
  }
  if (!(Finite(*this) && m_f32Radius > 0 && std::isfinite(m_f32Amplitude) &&
        std::isfinite(m_f32MiddleHandleAngle) && std::isfinite(m_f32EndHandleAngle))) {
    static_cast<ECircle&>(*this) = before;
    m_f32MiddleHandleAngle = before_m_f32MiddleHandleAngle;
    m_f32EndHandleAngle = before_m_f32EndHandleAngle;
  }
  InvalidateFrame();
}

void ECircleShape::Closest() {
  EPoint p;
  if (CursorForClosest(p))
    OfferClosest(ArcDistance(p, InOwnUnits(m_f32Radius, GetScale()), m_f32Amplitude));
  EShape::Closest();
}

// Rectangle shape: centre, then corners (fixed-point mode) or edge middles.

int ERectangleShape::HitTest(int daughters) {
  if (OffersHandles()) {
    if (HitHandle(GetCenter(), INS_HANDLE_CENTER)) return 1;
    if (GetRotatable() || GetResizable()) {
      EPoint a, b, c, d;
      if (m_eDraggingMode == INS_DRAG_FROM_FIXED_POINT) {
        GetCorners(a, b, c, d);
        if (HitHandle(a, INS_HANDLE_CORNER_0) || HitHandle(b, INS_HANDLE_CORNER_1) ||
            HitHandle(c, INS_HANDLE_CORNER_2) || HitHandle(d, INS_HANDLE_CORNER_3))
          return 1;
      } else {
        GetMidEdges(a, b, c, d);
        if (HitHandle(a, INS_HANDLE_EDGE_X_MIN) || HitHandle(b, INS_HANDLE_EDGE_X_MAX) ||
            HitHandle(c, INS_HANDLE_EDGE_Y_MIN) || HitHandle(d, INS_HANDLE_EDGE_Y_MAX))
          return 1;
      }
    }
  }
  return EShape::HitTest(daughters);
}

void ERectangleShape::Drag(int x, int y) {
  if (!GetDragable()) return;
  ValidateFrame();
  // A drag that would leave no sound geometry (a zero size or radius, a pointer on the
  // centre of a turn) changes nothing.
  const ERectangle before = *this;
  const EPoint p = PointerToMother(x, y);
  if (!FinitePoint(p)) return;
  const EPoint c = GetCenter();
  const INS_HANDLES h = m_eHitHandle;
  if (h == INS_HANDLE_CENTER) {
    ERectangle::SetCenter(p);
  } else if (h == INS_HANDLE_EDGE_X_MIN || h == INS_HANDLE_EDGE_X_MAX ||
             h == INS_HANDLE_EDGE_Y_MIN || h == INS_HANDLE_EDGE_Y_MAX) {
    const bool alongX = h == INS_HANDLE_EDGE_X_MIN || h == INS_HANDLE_EDGE_X_MAX;
    const float offset = h == INS_HANDLE_EDGE_X_MIN   ? -kPi
                         : h == INS_HANDLE_EDGE_X_MAX ? 0.0f
                         : h == INS_HANDLE_EDGE_Y_MIN ? kHalfPi
                                                      : -kHalfPi;
    if (GetResizable()) (alongX ? m_f32HalfSizeX : m_f32HalfSizeY) = Between(c, p);
    if (GetRotatable()) m_f32Angle = Direction(c, p) + offset;
  } else if (h == INS_HANDLE_CORNER_0 || h == INS_HANDLE_CORNER_1 || h == INS_HANDLE_CORNER_2) {
    // The first corner is the anchor; the fourth corner is not dragged.
    EPoint anchor, b, cc, d;
    GetCorners(anchor, b, cc, d);
    if (h == INS_HANDLE_CORNER_0) {
      ERectangle::SetCenter(c + (p - anchor));
    } else {
      const bool width = h == INS_HANDLE_CORNER_1;
      if (GetResizable()) (width ? m_f32HalfSizeX : m_f32HalfSizeY) = 0.5f * Between(anchor, p);
      if (GetRotatable()) m_f32Angle = Direction(anchor, p) - (width ? 0.0f : kHalfPi);
      const float cs = std::cos(m_f32Angle), sn = std::sin(m_f32Angle);
      ERectangle::SetCenter(anchor.GetX() + cs * m_f32HalfSizeX - sn * m_f32HalfSizeY,
                            anchor.GetY() + sn * m_f32HalfSizeX + cs * m_f32HalfSizeY);
    }
  }
  if (!(Finite(*this) && m_f32HalfSizeX > 0 && m_f32HalfSizeY > 0)) {
    static_cast<ERectangle&>(*this) = before;
  }
  InvalidateFrame();
}

void ERectangleShape::Closest() {
  EPoint p;
  if (CursorForClosest(p)) {
    const float qx = std::fabs(p.GetX()) - InOwnUnits(m_f32HalfSizeX, GetScale());
    const float qy = std::fabs(p.GetY()) - InOwnUnits(m_f32HalfSizeY, GetScale());
    float d;
    if (qx <= 0 && qy <= 0)
      d = std::min(-qx, -qy);
    else if (qx <= 0)
      d = qy;
    else if (qy <= 0)
      d = qx;
    else
      d = std::hypot(qx, qy);
    OfferClosest(d);
  }
  EShape::Closest();
}

// Wedge shape: like the circle on its outer arc (4, 5, 6) and inner arc (7, 8, 9).

int EWedgeShape::HitTest(int daughters) {
  if (OffersHandles()) {
    if (HitHandle(GetCenter(), INS_HANDLE_CENTER)) return 1;
    if (GetRotatable() || GetResizable()) {
      const bool fixed = m_eDraggingMode == INS_DRAG_FROM_FIXED_POINT;
      const bool breadth = !GetFullBreadth();
      if (HitHandle(HandlePoint(m_f32Radius, 0), INS_HANDLE_ORG)) return 1;
      if (!fixed && breadth && HitHandle(HandlePoint(m_f32CoRadius, 0), INS_HANDLE_CO_ORG))
        return 1;
      if (fixed) {
        if (HitHandle(HandlePoint(m_f32Radius, m_f32MiddleHandleAngle), INS_HANDLE_MIDDLE))
          return 1;
        if (breadth &&
            HitHandle(HandlePoint(m_f32CoRadius, m_f32MiddleHandleAngle), INS_HANDLE_CO_MIDDLE))
          return 1;
      }
      if (!(!fixed && GetFullCircle()) &&
          HitHandle(HandlePoint(m_f32Radius, m_f32EndHandleAngle), INS_HANDLE_END))
        return 1;
      if (!fixed && breadth &&
          HitHandle(HandlePoint(m_f32CoRadius, m_f32EndHandleAngle), INS_HANDLE_CO_END))
        return 1;
    }
  }
  return EShape::HitTest(daughters);
}

void EWedgeShape::Drag(int x, int y) {
  if (!GetDragable()) return;
  ValidateFrame();
  // A drag that would leave no sound geometry (a zero size or radius, a pointer on the
  // centre of a turn) changes nothing.
  const EWedge before = *this;
  const float before_m_f32MiddleHandleAngle = m_f32MiddleHandleAngle;
  const float before_m_f32EndHandleAngle = m_f32EndHandleAngle;
  const EPoint p = PointerToMother(x, y);
  if (!FinitePoint(p)) return;
  const EPoint c = GetCenter();
  const INS_HANDLES h = m_eHitHandle;
  const bool outer = h == INS_HANDLE_ORG || h == INS_HANDLE_MIDDLE || h == INS_HANDLE_END;
  const bool inner = h == INS_HANDLE_CO_ORG || h == INS_HANDLE_CO_MIDDLE || h == INS_HANDLE_CO_END;
  if (h == INS_HANDLE_CENTER) {
    EWedge::SetCenter(p);
  } else if (m_eDraggingMode == INS_DRAG_ABOUT_CENTER && (outer || inner) &&
             h != INS_HANDLE_MIDDLE && h != INS_HANDLE_CO_MIDDLE) {
    const bool atOrg = h == INS_HANDLE_ORG || h == INS_HANDLE_CO_ORG;
    if (GetRotatable())
      TurnArcEnd(atOrg, Direction(c, p), GetFullCircle(), m_f32Angle, m_f32Amplitude,
                 m_f32MiddleHandleAngle, m_f32EndHandleAngle);
    if (GetResizable()) (outer ? m_f32Radius : m_f32CoRadius) = Between(c, p);
  } else if (m_eDraggingMode == INS_DRAG_FROM_FIXED_POINT && outer) {
    // The outer arc through its three handle points, one of them moved; the ring keeps its
    // breadth.
    EPoint org = HandlePoint(m_f32Radius, 0),
           middle = HandlePoint(m_f32Radius, m_f32MiddleHandleAngle),
           end = HandlePoint(m_f32Radius, m_f32EndHandleAngle);
    (h == INS_HANDLE_ORG ? org : h == INS_HANDLE_MIDDLE ? middle : end) = p;
    EPoint center;
    float radius, orgAngle, amplitude;
    if (ECircle::ThroughThreePoints(org, middle, end, GetFullCircle(), center, radius, orgAngle,
                                    amplitude)) {
      const float offset = m_f32CoRadius - m_f32Radius;
      EWedge::SetCenter(center);
      m_f32Angle = orgAngle;
      m_f32Amplitude = amplitude;
      m_f32Radius = radius;
      if (!GetFullBreadth()) m_f32CoRadius = radius + offset;
      // The handles at the points the arc was set through, as the circle's three-point form
      // puts them: the dragged one under the pointer, the others where they were.
      m_f32MiddleHandleAngle = IntoSense(Direction(center, middle) - orgAngle, amplitude);
      m_f32EndHandleAngle =
          GetFullCircle() ? IntoSense(Direction(center, end) - orgAngle, amplitude) : amplitude;
    }
  } else if (m_eDraggingMode == INS_DRAG_FROM_FIXED_POINT && inner && GetResizable()) {
    m_f32CoRadius = Between(c, p);
  }
  if (!(Finite(*this) && m_f32Radius > 0 && m_f32CoRadius >= 0 && std::isfinite(m_f32CoRadius) &&
        std::isfinite(m_f32Amplitude) && std::isfinite(m_f32MiddleHandleAngle) &&
        std::isfinite(m_f32EndHandleAngle))) {
    static_cast<EWedge&>(*this) = before;
    m_f32MiddleHandleAngle = before_m_f32MiddleHandleAngle;
    m_f32EndHandleAngle = before_m_f32EndHandleAngle;
  }
  InvalidateFrame();
}

void EWedgeShape::Closest() {
  EPoint p;
  if (CursorForClosest(p)) {
    const float outer = InOwnUnits(m_f32Radius, GetScale());
    const float inner = InOwnUnits(m_f32CoRadius, GetScale());
    float d = ArcDistance(p, outer, m_f32Amplitude);
    if (!GetFullBreadth()) d = std::min(d, ArcDistance(p, inner, m_f32Amplitude));
    // The two straight sides, from the inner to the outer arc, are outline too.
    if (!GetFullCircle()) {
      const EPoint end(std::cos(m_f32Amplitude), std::sin(m_f32Amplitude));
      d = std::min(d, SegmentDistance(p, EPoint(inner, 0), EPoint(outer, 0)));
      d = std::min(d, SegmentDistance(p, end * inner, end * outer));
    }
    OfferClosest(d);
  }
  EShape::Closest();
}

// Frame shape: its origin and axis ends, in its own coordinates.

int EFrameShape::HitTest(int daughters) {
  if (OffersHandles()) {
    if (HitOwnHandle(EPoint(0, 0), INS_HANDLE_CENTER)) return 1;
    if ((GetRotatable() || GetResizable()) &&
        (HitOwnHandle(EPoint(m_f32SizeX, 0), INS_HANDLE_X_AXIS_END) ||
         HitOwnHandle(EPoint(0, m_f32SizeY), INS_HANDLE_Y_AXIS_END)))
      return 1;
  }
  return EShape::HitTest(daughters);
}

void EFrameShape::Drag(int x, int y) {
  if (!GetDragable()) return;
  ValidateFrame();
  // A drag that would leave no sound geometry (a zero size or radius, a pointer on the
  // centre of a turn) changes nothing.
  const EFrame before = *this;
  const EPoint p = PointerToMother(x, y);
  if (!FinitePoint(p)) return;
  const EPoint c = GetCenter();
  const INS_HANDLES h = m_eHitHandle;
  if (h == INS_HANDLE_CENTER) {
    SetCenter(p);
  } else if (h == INS_HANDLE_X_AXIS_END || h == INS_HANDLE_Y_AXIS_END) {
    const bool xAxis = h == INS_HANDLE_X_AXIS_END;
    const float size = xAxis ? m_f32SizeX : m_f32SizeY;
    if (GetRotatable()) m_f32Angle = Direction(c, p) - (xAxis ? 0.0f : kHalfPi);
    if (GetResizable() && size != 0) EFrame::SetScale(Between(c, p) / size);
  }
  if (!(Finite(*this) && GetScale() > 0)) {
    static_cast<EFrame&>(*this) = before;
  }
  InvalidateFrame();
}

void EFrameShape::Closest() {
  EPoint p;
  if (CursorForClosest(p)) OfferClosest(AxesDistance(p, m_f32SizeX, m_f32SizeY));
  EShape::Closest();
}
