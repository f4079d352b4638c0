// The wedge gauge.
#include "vimo/gauges/wedgegauge.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <new>

namespace {

const double kTwoPi = 6.283185307179586;
const float kQuarterTurn = 1.5707964f;
const float kHalfTurn = 3.1415927f;
// The minimum fit sample entry of each edge a, r, A, R.
const int kMinimumEntry[4] = {1, 2, 3, 0};

// Centroid and second moments of the valid samples of one edge, with the moments of z = x² + y²
// the circle fit needs (z is not centred: its constant part cancels against the centred dx, dy).
struct EdgeMoments {
  unsigned n = 0;
  double mx = 0, my = 0, cxx = 0, cxy = 0, cyy = 0, sxz = 0, syz = 0;
};

EdgeMoments Moments(const ESampledPointVector& samples, unsigned first, unsigned count) {
  EdgeMoments m;
  for (unsigned i = first; i < first + count; ++i) {
    if (!samples[i].Valid) continue;
    ++m.n;
    m.mx += samples[i].Point.GetX();
    m.my += samples[i].Point.GetY();
  }
  if (m.n == 0) return m;
  m.mx /= m.n;
  m.my /= m.n;
  for (unsigned i = first; i < first + count; ++i) {
    if (!samples[i].Valid) continue;
    const double x = samples[i].Point.GetX(), y = samples[i].Point.GetY();
    const double dx = x - m.mx, dy = y - m.my, z = x * x + y * y;
    m.cxx += dx * dx;
    m.cxy += dx * dy;
    m.cyy += dy * dy;
    m.sxz += dx * z;
    m.syz += dy * z;
  }
  m.cxx /= m.n;
  m.cxy /= m.n;
  m.cyy /= m.n;
  m.sxz /= m.n;
  m.syz /= m.n;
  return m;
}

// Root mean square distance of an arc's samples to the centre (cx, cy).
double ArcRadius(const EdgeMoments& m, double cx, double cy) {
  return std::sqrt((cx - m.mx) * (cx - m.mx) + m.cxx + m.cyy + (cy - m.my) * (cy - m.my));
}

}  // namespace

unsigned EWedgeGauge_OpDat::CountSamples(const EGauge* owner) const {
  const EWedgeGauge* wgauge = dynamic_cast<const EWedgeGauge*>(owner);
  assert(wgauge != NULL);
  return wgauge != nullptr ? wgauge->GetNumSamples() : 0;
}

void EWedgeGauge_OpDat::ResetDefaults() {
  m_n32MinNumFitSamples[0] = 3;
  m_n32MinNumFitSamples[1] = 1;
  m_n32MinNumFitSamples[2] = 3;
  m_n32MinNumFitSamples[3] = 1;
}

EWedgeGauge::EWedgeGauge()
    : EEdgeGauge(new EWedgeGauge_OpDat, 0.0f, 0.0f, 100.0f, 0.0f, 0.0f, 1),
      m_un32SelectedSample(0xFFFFFFFFu) {}

EWedgeGauge::EWedgeGauge(const EWedgeGauge& other) : EWedgeGauge() {
  other.CopyTo(this, GetRecursiveCopyBehavior());
}

EWedgeGauge& EWedgeGauge::operator=(const EWedgeGauge& other) {
  other.CopyTo(this, GetRecursiveCopyBehavior());
  return *this;
}

EWedgeGauge::~EWedgeGauge() = default;

EWedgeGauge* EWedgeGauge::CopyTo(EWedgeGauge* dst, int recursive) const {
  if (dst == this) return dst;
  if (dst == nullptr) dst = new EWedgeGauge();
  if (EWedgeShape::CopyTo(dst, recursive) == nullptr) return nullptr;
  CopyEdgeGaugeFields(dst);
  dst->m_un32SelectedSample = m_un32SelectedSample;
  return dst;
}

EShape* EWedgeGauge::CreateShapeClone(int recursive) const {
  return CopyTo(static_cast<EWedgeGauge*>(nullptr), recursive);
}

EShape* EWedgeGauge::New() const {
  EWedgeGauge* clone = new (std::nothrow) EWedgeGauge();
  if (clone == nullptr) {
    ESetError(E_ERROR_ALLOCATION_FAILED);
    return nullptr;
  }
  CopyOwnFields(clone);
  CopyEdgeGaugeFields(clone);
  clone->m_un32SelectedSample = m_un32SelectedSample;
  FillNewClone(clone);
  return clone;
}

void EWedgeGauge::Set(const EWedge& wedge) {
  const float diameter =
      wedge.GetBreadth() > 0 ? wedge.GetInnerDiameter() : wedge.GetOuterDiameter();
  if (wedge.GetFullCircle())
    EWedgeShape::Set(wedge.GetCenter(), diameter, wedge.GetBreadth(), wedge.GetOrgAngle(),
                     wedge.GetDirect());
  else
    EWedgeShape::Set(wedge.GetCenter(), diameter, wedge.GetBreadth(), wedge.GetOrgAngle(),
                     wedge.GetAmplitude());
}

void EWedgeGauge::SetActiveEdges(unsigned int bits) {
  if ((bits & 0xC00) == 0) {
    ESetError(E_ERROR_WEDGE_EDGES_WITHOUT_ARC);
    ETraceError("EWedgeGauge::SetActiveEdges");
    return;
  }
  m_un32ActiveEdges = bits;
}

void EWedgeGauge::SetSamplingStep(float step) {
  StoreSamplingStep(step, "EWedgeGauge::SetSamplingStep");
}

bool EWedgeGauge::EdgeExists(unsigned e) const {
  if (e == kEdgea || e == kEdgeA) return !GetFullCircle();
  if (e == kEdger) return !GetFullBreadth();
  return true;
}

unsigned EWedgeGauge::EdgeSamples(unsigned edge) const {
  if (!EdgeActive(edge) || !EdgeExists(edge)) return 0;
  float length;
  if (edge == kEdger)
    length = std::fabs(GetInnerRadius() * m_f32Amplitude);
  else if (edge == kEdgeR)
    length = std::fabs(GetOuterRadius() * m_f32Amplitude);
  else  // the radial sides are sampled half as densely
    length = 0.5f * std::fabs(GetBreadth());
  return SampleCount(length, m_f32SamplingStep);
}

bool EWedgeGauge::SampleCounts(unsigned counts[4]) const {
  bool usable = true;
  for (unsigned e = 0; e < 4; ++e) {
    counts[e] = EdgeSamples(e);
    if (counts[e] == 0 && EdgeActive(e) && EdgeExists(e)) usable = false;
  }
  return usable;
}

unsigned int EWedgeGauge::GetNumSamples() const {
  unsigned counts[4];
  SampleCounts(counts);
  return counts[0] + counts[1] + counts[2] + counts[3];
}

void EWedgeGauge::PlaceProfile(unsigned e, unsigned i, unsigned n, EPoint& center,
                               float& angle) const {
  // Along the edge from its first end (inner end, origin side) to its last; a lone profile
  // sits in the middle. On a full ring the first and last arc profiles coincide.
  const float t = n > 1 ? static_cast<float>(i) / static_cast<float>(n - 1) : 0.5f;
  const float inner = GetInnerRadius(), outer = GetOuterRadius();
  if (e == kEdgea || e == kEdgeA) {
    const float side = e == kEdgea ? m_f32Angle : m_f32Angle + m_f32Amplitude;
    center = PointAt(inner + t * (outer - inner), side);
    // Across the side, into the wedge of a direct sense.
    angle = e == kEdgea ? side + kQuarterTurn : side + 3.0f * kQuarterTurn;
  } else {
    const float theta = m_f32Angle + t * m_f32Amplitude;
    center = PointAt(e == kEdger ? inner : outer, theta);
    // Radial: towards the centre on the inner arc, away from it on the outer arc.
    angle = e == kEdger ? theta + kHalfTurn : theta;
  }
}

void EWedgeGauge::Measure(EROI<EBW8>* roi) {
  if (!MeasureProfiles(roi, "EWedgeGauge::Measure")) return;
  FitWedge();
  RunFilteringPasses([this] { FitWedge(); });
}

void EWedgeGauge::MeasureSample(EROI<EBW8>* roi, unsigned int index) {
  m_un32SelectedSample = index;
  if (roi == nullptr) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("EWedgeGauge::MeasureSample");
    return;
  }
  unsigned counts[4];
  SampleCounts(counts);
  for (unsigned e = 0; e < 4; ++e) {
    if (counts[e] <= index) continue;
    EPoint center, point;
    float angle;
    PlaceProfile(e, index, counts[e], center, angle);
    MeasureProfile(m_Transitions[e], roi, center, angle, point);
  }
}

void EWedgeGauge::FitWedge() {
  unsigned counts[4];
  SampleCounts(counts);
  // Samples laid out for another geometry, step or set of edges cannot be told apart.
  if (counts[0] + counts[1] + counts[2] + counts[3] != m_Samples.GetNumElements()) return;
  EdgeMoments m[4];
  unsigned first[4], valid = 0;
  for (unsigned e = 0, index = 0; e < 4; index += counts[e], ++e) {
    first[e] = index;
    m[e] = Moments(m_Samples, index, counts[e]);
    valid += m[e].n;
  }
  if (valid < 3) return;
  // Every active edge that exists needs its minimum; an edge that does not exist has no
  // samples to count (the inner arc of a pie slice, the sides of a ring).
  for (unsigned e = 0; e < 4; ++e)
    if (EdgeActive(e) && EdgeExists(e) &&
        static_cast<int64_t>(m[e].n) < m_pOpDat->m_n32MinNumFitSamples[kMinimumEntry[e]])
      return;

  // One centre for both arcs: the normal equations of each arc's circle, summed.
  const EdgeMoments &r = m[kEdger], &R = m[kEdgeR];
  const double cxx = r.cxx + R.cxx, cxy = r.cxy + R.cxy, cyy = r.cyy + R.cyy;
  const double a = 0.5 * (r.sxz + R.sxz), b = 0.5 * (r.syz + R.syz);
  const double det = cxx * cyy - cxy * cxy;
  // Collinear or coincident arc points: no centre.
  if (!(det > 1e-12 * (cxx + cyy) * (cxx + cyy))) return;
  const double cx = (a * cyy - cxy * b) / det, cy = (cxx * b - a * cxy) / det;
  const double nominalOuter = GetOuterRadius(), nominalInner = GetInnerRadius();
  double rhoInner = r.n > 0 ? ArcRadius(r, cx, cy) : 0.0;
  double rhoOuter = R.n > 0 ? ArcRadius(R, cx, cy) : rhoInner - nominalInner + nominalOuter;
  // Without inner samples the nominal breadth is kept; a pie slice stays a pie slice.
  if (r.n == 0 && !GetFullBreadth())
    rhoInner = std::max(0.0, rhoOuter - nominalOuter + nominalInner);

  // Angles from the centroids of the radial sides.
  const double nominalAmplitude = m_f32Amplitude;
  const EdgeMoments &sideOrg = m[kEdgea], &sideEnd = m[kEdgeA];
  const double endArgument = std::atan2(sideEnd.my - cy, sideEnd.mx - cx);
  double theta = m_f32Angle, alpha = nominalAmplitude;
  if (sideOrg.n > 0)
    theta = std::atan2(sideOrg.my - cy, sideOrg.mx - cx);
  else if (sideEnd.n > 0)
    theta = endArgument - nominalAmplitude;
  if (sideEnd.n > 0) {
    alpha = endArgument - theta;
    if (alpha < 0 && nominalAmplitude > 0) alpha += kTwoPi;
    if (alpha > 0 && nominalAmplitude < 0) alpha -= kTwoPi;
  }
  if (!std::isfinite(cx) || !std::isfinite(cy) || !std::isfinite(rhoInner) ||
      !std::isfinite(rhoOuter) || !std::isfinite(theta) || !std::isfinite(alpha))
    return;
  const EPoint center(static_cast<float>(cx), static_cast<float>(cy));
  TakeResult(
      EWedge(center, static_cast<float>(2.0 * rhoOuter), static_cast<float>(rhoInner - rhoOuter),
             EFromRadians(static_cast<float>(theta)), EFromRadians(static_cast<float>(alpha))));

  // Distances: to the fitted side through its middle, or to the radius fitted to the arc.
  EPoint middleOrg, middleEnd, innerApex, outerApex;
  m_Measured.GetMidEdges(middleOrg, middleEnd, innerApex, outerApex);
  float total = 0.0f;
  for (unsigned e = 0; e < 4; ++e)
    for (unsigned i = first[e]; i < first[e] + counts[e]; ++i) {
      ESampledPoint& sample = m_Samples[i];
      if (!sample.Valid) continue;
      double d;
      if (e == kEdgea || e == kEdgeA) {
        const double normal = (e == kEdgea ? theta : theta + alpha) + 0.25 * kTwoPi;
        const EPoint& middle = e == kEdgea ? middleOrg : middleEnd;
        d = (middle.GetX() - sample.Point.GetX()) * std::cos(normal) +
            (middle.GetY() - sample.Point.GetY()) * std::sin(normal);
      } else {
        d = std::hypot(sample.Point.GetX() - cx, sample.Point.GetY() - cy) -
            (e == kEdger ? rhoInner : rhoOuter);
      }
      sample.Distance = static_cast<float>(std::fabs(d));
      total += sample.Distance;
    }
  m_un32NumValidSamples = valid;
  m_f32AverageDistance = total / static_cast<float>(valid);
}

void EWedgeGauge::Process(EROI<EBW8>* roi, int daughters) {
  if (GetActive()) Measure(roi);
  EShape::Process(roi, daughters);
}

void EWedgeGauge::DrawNominalBands(Quarnel::DrawAdapter* adapter) {
  const float inner = GetInnerRadius(), outer = GetOuterRadius();
  for (unsigned e = 0; e < 4; ++e) {
    if (!EdgeActive(e) || !EdgeExists(e)) continue;
    const float tolerance = m_Transitions[e].GetTolerance();
    if (e == kEdgea || e == kEdgeA) {
      const float side = e == kEdgea ? m_f32Angle : m_f32Angle + m_f32Amplitude;
      DrawBand(adapter, PointAt(inner, side), PointAt(outer, side), side + kQuarterTurn, tolerance);
      continue;
    }
    const float radius = e == kEdger ? inner : outer;
    const float low = std::max(0.0f, radius - tolerance), high = radius + tolerance;
    DrawArc(adapter, GetCenter(), low, m_f32Angle, m_f32Amplitude);
    DrawArc(adapter, GetCenter(), high, m_f32Angle, m_f32Amplitude);
    const float end = m_f32Angle + m_f32Amplitude, apex = m_f32Angle + 0.5f * m_f32Amplitude;
    if (!GetFullCircle()) {
      DrawSegment(adapter, PointAt(low, m_f32Angle), PointAt(high, m_f32Angle));
      DrawSegment(adapter, PointAt(low, end), PointAt(high, end));
    }
    if (GetDragable()) {
      DrawHandle(adapter, PointAt(low, apex));
      DrawHandle(adapter, PointAt(high, apex));
    }
  }
}

void EWedgeGauge::DrawMeasured(Quarnel::DrawAdapter* adapter) {
  const EWedge w = MeasuredOrNominal();
  DrawArc(adapter, w.GetCenter(), w.GetOuterRadius(), w.GetRawAngle(),
          EToRadians(w.GetAmplitude()));
  if (!w.GetFullBreadth())
    DrawArc(adapter, w.GetCenter(), w.GetInnerRadius(), w.GetRawAngle(),
            EToRadians(w.GetAmplitude()));
  if (!w.GetFullCircle()) {
    DrawSegment(adapter, w.GetInnerOrg(), w.GetOuterOrg());
    DrawSegment(adapter, w.GetInnerEnd(), w.GetOuterEnd());
  }
  char name[kShapeLabelSize], label[kShapeLabelSize];
  std::snprintf(label, sizeof label, EWedgeShape::GetFormat(w.GetFullCircle()),
                ResultName(name, sizeof name), static_cast<double>(w.GetX()),
                static_cast<double>(w.GetY()), static_cast<double>(w.GetOrgAngle()),
                EGetAngleUnitName(), static_cast<double>(w.GetInnerDiameter()),
                static_cast<double>(w.GetOuterDiameter()), static_cast<double>(w.GetAmplitude()),
                EGetAngleUnitName());
  DrawResultLabel(adapter, label, w.GetCenter());
}
