// Pointer interaction of the gauges: the handles they add to their shapes' (the ends of a
// point gauge's segment, the tolerance handles of the others) and what dragging them does.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "vimo/gauges/circlegauge.h"
#include "vimo/gauges/gaugesupport.h"
#include "vimo/gauges/linegauge.h"
#include "vimo/gauges/pointgauge.h"
#include "vimo/gauges/profilesampler.h"
#include "vimo/gauges/rectanglegauge.h"
#include "vimo/gauges/wedgegauge.h"

namespace {

const float kQuarterTurn = 1.5707964f;

EPoint Along(float angle, float length) {
  return EPoint(std::cos(angle) * length, std::sin(angle) * length);
}

// A tolerance from a pointer distance: finite and positive, else unchanged (profiles of no
// length, or NaN geometry).
bool UsableTolerance(float t) { return std::isfinite(t) && t > 0; }

}  // namespace

// Point gauge: the two ends of its tolerance segment before its centre.

void EPointGauge::EndHandlesOnDisplay(int& x0, int& y0, int& x1, int& y1) {
  double sx0, sy0, sx1, sy1;
  if (m_bHVConstraint && m_eSamplingMode == GGE_SAMPLING_INTERPOLATED &&
      SegmentSensorPoints(m_pMother, m_ToleranceSegment.GetOrg(), m_ToleranceSegment.GetEnd(), sx0,
                          sy0, sx1, sy1)) {
    vimo_profile::SubpixelSegment segment(sx0, sy0, sx1, sy1);
    segment.ConstrainHV();
    vimo_gauge::SensorToDisplay(m_pMother, EPoint(float(segment.x0), float(segment.y0)), x0, y0);
    vimo_gauge::SensorToDisplay(m_pMother, EPoint(float(segment.x1), float(segment.y1)), x1, y1);
    return;
  }
  if (m_bHVConstraint && m_eSamplingMode == GGE_SAMPLING_PIXEL_WALK &&
      ToleranceSegmentPixels(m_pMother, true, x0, y0, x1, y1)) {
    vimo_profile::ConstrainHV(x0, y0, x1, y1);
    vimo_gauge::SensorToDisplay(m_pMother, EPoint(float(x0), float(y0)), x0, y0);
    vimo_gauge::SensorToDisplay(m_pMother, EPoint(float(x1), float(y1)), x1, y1);
    return;
  }
  MotherToDisplay(m_ToleranceSegment.GetOrg(), x0, y0);
  MotherToDisplay(m_ToleranceSegment.GetEnd(), x1, y1);
}

int EPointGauge::HitTest(int daughters) {
  if (OffersHandles()) {
    if (m_eDraggingMode == INS_DRAG_FROM_FIXED_POINT || GetResizable() || GetRotatable()) {
      int x[2], y[2];
      EndHandlesOnDisplay(x[0], y[0], x[1], y[1]);
      const INS_HANDLES ends[2] = {INS_HANDLE_ORG, INS_HANDLE_END};
      for (int k = 0; k < 2; ++k) {
        if (std::llabs(int64_t(x[k]) - m_n32CursorX) <= 4 &&
            std::llabs(int64_t(y[k]) - m_n32CursorY) <= 4) {
          m_eHitHandle = ends[k];
          m_pHitShape = this;
          return 1;
        }
      }
    }
    if (HitHandle(m_ToleranceSegment.GetCenter(), INS_HANDLE_CENTER)) return 1;
  }
  return EShape::HitTest(daughters);
}

void EPointGauge::Drag(int x, int y) {
  if (!GetDragable()) return;
  ValidateFrame();
  const EPoint p = PointerToMother(x, y);
  // A pointer that lands on no finite point gives nothing to follow.
  if (!std::isfinite(p.GetX()) || !std::isfinite(p.GetY())) return;
  const INS_HANDLES h = m_eHitHandle;
  if (h == INS_HANDLE_CENTER) {
    SetCenter(p.GetX(), p.GetY());
    return;
  }
  if (h != INS_HANDLE_ORG && h != INS_HANDLE_END) return;
  const bool atOrg = h == INS_HANDLE_ORG;
  const ELine before = m_ToleranceSegment;
  const EPoint c = m_ToleranceSegment.GetCenter();
  const float angle = EToRadians(m_ToleranceSegment.GetAngle());
  const EPoint u = Along(angle, 1);
  const float half = 0.5f * m_ToleranceSegment.GetLength();
  if (m_eDraggingMode == INS_DRAG_FROM_FIXED_POINT) {
    // The other end stays; the dragged one goes to the pointer, as far as the flags allow: only
    // its direction when not resizable, only its distance along the segment when not rotatable
    // (never past the fixed end, which would turn the segment over), nothing without either.
    const EPoint fixed = atOrg ? m_ToleranceSegment.GetEnd() : m_ToleranceSegment.GetOrg();
    const EPoint outward = atOrg ? u * -1.0f : u;
    if (!GetRotatable() && !GetResizable()) return;
    const EPoint d = p - fixed;
    EPoint moved = p;
    if (!GetRotatable()) {
      const float along = d.Dot(outward);
      if (!(along > 0)) return;
      moved = fixed + outward * along;
    } else if (!GetResizable()) {
      const float m = d.Modulus();
      if (!(m > 0)) return;
      moved = fixed + d * (2 * half / m);
    }
    if (atOrg)
      m_ToleranceSegment.Set(moved, fixed);
    else
      m_ToleranceSegment.Set(fixed, moved);
  } else {
    // About the centre: the end follows the pointer, or only its direction or its distance.
    const EPoint d = atOrg ? c - p : p - c;
    float newAngle = angle, newHalf = half;
    if (GetRotatable() && d.Modulus() > 0) newAngle = d.Argument();
    if (GetResizable()) newHalf = GetRotatable() ? d.Modulus() : std::fabs((p - c).Dot(u));
    m_ToleranceSegment.Set(c, 2 * newHalf, EFromRadians(newAngle));
  }
  // A segment that is no longer sound (no length, a pointer on the centre) stays as it was.
  const EPoint center = m_ToleranceSegment.GetCenter();
  if (!(m_ToleranceSegment.GetLength() > 0) || !std::isfinite(m_ToleranceSegment.GetLength()) ||
      !std::isfinite(center.GetX()) || !std::isfinite(center.GetY()) ||
      !std::isfinite(m_ToleranceSegment.GetRawAngle())) {
    m_ToleranceSegment = before;
    return;
  }
  SetCenter(center.GetX(), center.GetY());
}

// Line gauge: the line shape's handles, then two tolerance handles across the centre.

int ELineGauge::HitTest(int daughters) {
  if (ELineShape::HitTest(0)) return 1;
  if (OffersHandles()) {
    const EPoint across = Along(GetRawAngle() + kQuarterTurn, GetTolerance());
    if (HitHandle(GetCenter() - across, INS_HANDLE_SAMPLING_SIDE_0) ||
        HitHandle(GetCenter() + across, INS_HANDLE_SAMPLING_SIDE_1))
      return 1;
  }
  return EShape::HitTest(daughters);
}

void ELineGauge::Drag(int x, int y) {
  const INS_HANDLES h = m_eHitHandle;
  if (h != INS_HANDLE_SAMPLING_SIDE_0 && h != INS_HANDLE_SAMPLING_SIDE_1)
    return ELineShape::Drag(x, y);
  if (!GetDragable()) return;
  ValidateFrame();
  // Twice the pointer's distance from the nominal line taken as infinite.
  const EPoint normal = Along(GetRawAngle() + kQuarterTurn, 1);
  const float d = std::fabs((PointerToMother(x, y) - GetCenter()).Dot(normal));
  if (UsableTolerance(d)) m_ToleranceSegment.SetLength(2 * d);
}

// Circle gauge: the circle shape's handles, then two tolerance handles at the apex.

int ECircleGauge::HitTest(int daughters) {
  if (ECircleShape::HitTest(0)) return 1;
  if (OffersHandles()) {
    const float tolerance = GetTolerance();
    const EPoint u = Along(m_f32Angle + 0.5f * m_f32Amplitude, 1);
    // Where the band is drawn: its inner side stops at the centre.
    if (HitHandle(GetCenter() + u * std::max(0.0f, m_f32Radius - tolerance),
                  INS_HANDLE_SAMPLING_SIDE_0) ||
        HitHandle(GetCenter() + u * (m_f32Radius + tolerance), INS_HANDLE_SAMPLING_SIDE_1))
      return 1;
  }
  return EShape::HitTest(daughters);
}

void ECircleGauge::Drag(int x, int y) {
  const INS_HANDLES h = m_eHitHandle;
  if (h == INS_HANDLE_SAMPLING_SIDE_0 || h == INS_HANDLE_SAMPLING_SIDE_1) {
    if (!GetDragable()) return;
    ValidateFrame();
    const float d = std::min(PointerToMother(x, y).Distance(static_cast<const ECircle&>(*this), 0),
                             std::fabs(m_f32Radius));
    if (UsableTolerance(d)) m_ToleranceSegment.SetLength(2 * d);
    return;
  }
  ECircleShape::Drag(x, y);
  // Profiles no longer than the diameter.
  const float diameter = 2 * std::fabs(m_f32Radius);
  if (m_ToleranceSegment.GetLength() > diameter) m_ToleranceSegment.SetLength(diameter);
}

// Rectangle and wedge gauges.

template <class Shape, class Geometry>
int EEdgeGauge<Shape, Geometry>::HitTest(int daughters) {
  if (Shape::HitTest(0)) return 1;
  if (this->OffersHandles()) {
    for (unsigned k = 0; k < 4; ++k) {
      const unsigned e = HandleEdge(k);
      if (!OffersToleranceHandles(e)) continue;
      EPoint first, second;
      ToleranceHandles(e, first, second);
      if (this->HitHandle(first, static_cast<INS_HANDLES>(INS_HANDLE_TOLERANCE_0 + 2 * k)) ||
          this->HitHandle(second, static_cast<INS_HANDLES>(INS_HANDLE_TOLERANCE_1 + 2 * k)))
        return 1;
    }
  }
  return EShape::HitTest(daughters);
}

template <class Shape, class Geometry>
void EEdgeGauge<Shape, Geometry>::Drag(int x, int y) {
  const unsigned h = this->m_eHitHandle;
  if (h >= INS_HANDLE_TOLERANCE_0 && h <= INS_HANDLE_TOLERANCE_7) {
    if (!this->GetDragable()) return;
    this->ValidateFrame();
    const unsigned dragged = HandleEdge((h - INS_HANDLE_TOLERANCE_0) / 2);
    const float d = DistanceToEdge(dragged, this->PointerToMother(x, y));
    if (UsableTolerance(d)) {
      for (unsigned e = 0; e < 4; ++e)
        if (e == dragged || TakesCommonTolerance(e))
          m_Transitions[e].m_ToleranceSegment.SetLength(2 * d);
    }
  } else {
    Shape::Drag(x, y);
  }
  for (unsigned e = 0; e < 4; ++e) {
    const float limit = std::max(0.0f, ToleranceLimit(e));
    if (m_Transitions[e].GetTolerance() > limit)
      m_Transitions[e].m_ToleranceSegment.SetLength(2 * limit);
  }
}

template int EEdgeGauge<ERectangleShape, ERectangle>::HitTest(int);
template void EEdgeGauge<ERectangleShape, ERectangle>::Drag(int, int);
template int EEdgeGauge<EWedgeShape, EWedge>::HitTest(int);
template void EEdgeGauge<EWedgeShape, EWedge>::Drag(int, int);

// Rectangle gauge: the middle of each edge, plus and minus the tolerance across it.

void ERectangleGauge::ToleranceHandles(unsigned e, EPoint& first, EPoint& second) const {
  EPoint middle;
  float angle;
  PlaceProfile(e, 0, 1, middle, angle);  // a lone profile sits in the middle of its edge
  const EPoint d = Along(angle, m_Transitions[e].GetTolerance());
  first = middle - d;
  second = middle + d;
}

float ERectangleGauge::DistanceToEdge(unsigned e, EPoint p) const {
  EPoint middle;
  float angle;
  PlaceProfile(e, 0, 1, middle, angle);
  return std::fabs((p - middle).Dot(Along(angle, 1)));
}

float ERectangleGauge::ToleranceLimit(unsigned e) const {
  return 0.5f * std::fabs(e % 2 == 0 ? GetSizeX() : GetSizeY());
}

// Wedge gauge: the middle of each radial side across it, the apex of each arc along the radius.

unsigned EWedgeGauge::HandleEdge(unsigned k) const {
  static const unsigned kOrder[4] = {kEdgea, kEdgeA, kEdger, kEdgeR};
  return kOrder[k & 3];
}

void EWedgeGauge::ToleranceHandles(unsigned e, EPoint& first, EPoint& second) const {
  const float tolerance = m_Transitions[e].GetTolerance();
  const float inner = GetInnerRadius(), outer = GetOuterRadius();
  if (e == kEdgea || e == kEdgeA) {
    const float side = e == kEdgea ? m_f32Angle : m_f32Angle + m_f32Amplitude;
    const EPoint middle = (PointAt(inner, side) + PointAt(outer, side)) * 0.5f;
    const EPoint d = Along(side + kQuarterTurn, tolerance);
    first = middle - d;
    second = middle + d;
    return;
  }
  const float radius = e == kEdger ? inner : outer;
  const float apex = m_f32Angle + 0.5f * m_f32Amplitude;
  first = PointAt(std::max(0.0f, radius - tolerance), apex);
  second = PointAt(radius + tolerance, apex);
}

float EWedgeGauge::DistanceToEdge(unsigned e, EPoint p) const {
  const EPoint c = GetCenter();
  if (e == kEdgea || e == kEdgeA) {
    const float side = e == kEdgea ? m_f32Angle : m_f32Angle + m_f32Amplitude;
    return std::fabs((p - c).Dot(Along(side + kQuarterTurn, 1)));
  }
  return std::fabs((p - c).Modulus() - (e == kEdger ? GetInnerRadius() : GetOuterRadius()));
}

float EWedgeGauge::ToleranceLimit(unsigned) const {
  // Arc profiles stay clear of the centre and of each other: within the inner radius and half
  // the breadth of a ring, within the radius of a pie slice.
  const float inner = GetInnerRadius(), outer = GetOuterRadius();
  if (GetFullBreadth()) return outer;
  return std::min(inner, 0.5f * (outer - inner));
}
