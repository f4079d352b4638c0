// The rectangle gauge.
#include "vimo/gauges/rectanglegauge.h"

#include <cassert>
#include <cmath>
#include <cstdio>
#include <new>

namespace {

const float kLargestFloat = 3.4028235e38f;
const double kPi = 3.14159265358979323846;
const float kQuarterTurn = 1.5707964f;

// Size and centre along one axis from the mean positions of its two opposite edges; an edge
// without samples leaves the nominal size, and with neither the nominal centre stays.
void AxisFromEdges(unsigned nLow, double low, unsigned nHigh, double high, double nominalSize,
                   double nominalCenter, double& size, double& center) {
  size = nominalSize;
  if (nLow > 0 && nHigh > 0) {
    size = high - low;
    center = 0.5 * (low + high);
  } else if (nLow > 0) {
    center = low + 0.5 * size;
  } else if (nHigh > 0) {
    center = high - 0.5 * size;
  } else {
    center = nominalCenter;
  }
}

}  // namespace

unsigned ERectangleGauge_OpDat::CountSamples(const EGauge* owner) const {
  const ERectangleGauge* rgauge = dynamic_cast<const ERectangleGauge*>(owner);
  assert(rgauge != NULL);
  return rgauge != nullptr ? rgauge->GetNumSamples() : 0;
}

void ERectangleGauge_OpDat::ResetDefaults() {
  for (int i = 0; i < 4; ++i) m_n32MinNumFitSamples[i] = 2;
}

ERectangleGauge::ERectangleGauge()
    : EEdgeGauge(new ERectangleGauge_OpDat, 0.0f, 0.0f, 100.0f, 100.0f, 0.0f),
      m_bKnownAngle(0),
      m_f32InnerFilteringThreshold(kLargestFloat) {}

ERectangleGauge::ERectangleGauge(const ERectangleGauge& other) : ERectangleGauge() {
  other.CopyTo(this, GetRecursiveCopyBehavior());
}

ERectangleGauge& ERectangleGauge::operator=(const ERectangleGauge& other) {
  other.CopyTo(this, GetRecursiveCopyBehavior());
  return *this;
}

ERectangleGauge::~ERectangleGauge() = default;

ERectangleGauge* ERectangleGauge::CopyTo(ERectangleGauge* dst, int recursive) const {
  if (dst == this) return dst;
  if (dst == nullptr) dst = new ERectangleGauge();
  if (ERectangleShape::CopyTo(dst, recursive) == nullptr) return nullptr;
  CopyRectangleGaugeFields(dst);
  return dst;
}

void ERectangleGauge::CopyRectangleGaugeFields(ERectangleGauge* dst) const {
  CopyEdgeGaugeFields(dst);
  dst->m_bKnownAngle = m_bKnownAngle;
  dst->m_f32InnerFilteringThreshold = m_f32InnerFilteringThreshold;
}

EShape* ERectangleGauge::CreateShapeClone(int recursive) const {
  return CopyTo(static_cast<ERectangleGauge*>(nullptr), recursive);
}

EShape* ERectangleGauge::New() const {
  ERectangleGauge* clone = new (std::nothrow) ERectangleGauge();
  if (clone == nullptr) {
    ESetError(E_ERROR_ALLOCATION_FAILED);
    return nullptr;
  }
  CopyOwnFields(clone);
  CopyRectangleGaugeFields(clone);
  FillNewClone(clone);
  return clone;
}

void ERectangleGauge::Set(const ERectangle& rectangle) {
  ERectangleShape::Set(rectangle.GetCenter(), rectangle.GetSizeX(), rectangle.GetSizeY(),
                       rectangle.GetAngle());
}

void ERectangleGauge::SetSamplingStep(float step) {
  StoreSamplingStep(step, "ERectangleGauge::SetSamplingStep");
}

unsigned ERectangleGauge::EdgeSamples(unsigned edge) const {
  if (!EdgeActive(edge)) return 0;
  // Edges x and X run along V (size Y), edges y and Y along U (size X).
  return SampleCount(edge % 2 == 0 ? GetSizeY() : GetSizeX(), m_f32SamplingStep);
}

bool ERectangleGauge::SampleCounts(unsigned counts[4]) const {
  bool usable = true;
  for (unsigned e = 0; e < 4; ++e) {
    counts[e] = EdgeSamples(e);
    if (counts[e] == 0 && EdgeActive(e)) usable = false;
  }
  return usable;
}

unsigned int ERectangleGauge::GetNumSamples() const {
  unsigned counts[4];
  SampleCounts(counts);
  return counts[0] + counts[1] + counts[2] + counts[3];
}

void ERectangleGauge::DisableInnerFiltering() { m_f32InnerFilteringThreshold = kLargestFloat; }

int ERectangleGauge::IsInnerFilteringEnabled() const {
  return m_f32InnerFilteringThreshold != kLargestFloat ? 1 : 0;
}

void ERectangleGauge::PlaceProfile(unsigned e, unsigned i, unsigned n, EPoint& center,
                                   float& angle) const {
  // From the edge's first corner to its second; a lone profile sits in the middle.
  const float t = n > 1 ? 2.0f * static_cast<float>(i) / static_cast<float>(n - 1) - 1.0f : 0.0f;
  const float side = e < 2 ? -1.0f : 1.0f;
  center = e % 2 == 0 ? GetPoint(side, t) : GetPoint(t, side);
  // Turned a quarter more per edge, so that every profile runs from outside to inside.
  angle = m_f32Angle + kQuarterTurn * static_cast<float>(e);
}

void ERectangleGauge::Measure(EROI<EBW8>* roi) {
  if (!MeasureProfiles(roi, "ERectangleGauge::Measure")) return;
  FitRectangle();
  if (IsInnerFilteringEnabled()) {
    FilterSamples(m_f32InnerFilteringThreshold, true);
    FitRectangle();
  }
  RunFilteringPasses([this] { FitRectangle(); });
}

void ERectangleGauge::FitRectangle() {
  unsigned counts[4];
  SampleCounts(counts);
  // Samples laid out for another geometry, step or set of edges cannot be told apart.
  if (counts[0] + counts[1] + counts[2] + counts[3] != m_Samples.GetNumElements()) return;

  // Valid samples and centroid of each edge.
  unsigned n[4] = {0, 0, 0, 0}, first[4], valid = 0;
  double mx[4] = {0, 0, 0, 0}, my[4] = {0, 0, 0, 0};
  for (unsigned e = 0, index = 0; e < 4; ++e) {
    first[e] = index;
    for (unsigned i = 0; i < counts[e]; ++i, ++index) {
      const ESampledPoint& s = m_Samples[index];
      if (!s.Valid) continue;
      ++n[e];
      mx[e] += s.Point.GetX();
      my[e] += s.Point.GetY();
    }
    valid += n[e];
    if (n[e] > 0) {
      mx[e] /= n[e];
      my[e] /= n[e];
    }
  }
  if (valid < 2) return;
  for (unsigned e = 0; e < 4; ++e)
    if (EdgeActive(e) && static_cast<int64_t>(n[e]) < m_pOpDat->m_n32MinNumFitSamples[e]) return;

  // Orientation: the principal direction of the edge points, each edge's spread turned to
  // lie along U. It is defined up to a half turn: the one nearest the nominal angle keeps
  // edge x on the -U side.
  const double nominalAngle = m_f32Angle;
  double theta = nominalAngle;
  if (!m_bKnownAngle) {
    double saa = 0, sab = 0, sbb = 0;
    for (unsigned e = 0; e < 4; ++e)
      for (unsigned i = 0; i < counts[e]; ++i) {
        const ESampledPoint& s = m_Samples[first[e] + i];
        if (!s.Valid) continue;
        const double dx = s.Point.GetX() - mx[e], dy = s.Point.GetY() - my[e];
        const double a = e % 2 == 0 ? -dy : dx, b = e % 2 == 0 ? dx : dy;
        saa += a * a;
        sab += a * b;
        sbb += b * b;
      }
    theta = 0.5 * std::atan2(2.0 * sab, saa - sbb);
    theta += kPi * std::round((nominalAngle - theta) / kPi);
  }
  const double c = std::cos(theta), s = std::sin(theta);
  double u[4], v[4];
  for (unsigned e = 0; e < 4; ++e) {
    u[e] = c * mx[e] + s * my[e];
    v[e] = -s * mx[e] + c * my[e];
  }
  double sizeX, sizeY, uc, vc;
  AxisFromEdges(n[kEdgex], u[kEdgex], n[kEdgeX], u[kEdgeX], GetSizeX(), c * GetX() + s * GetY(),
                sizeX, uc);
  AxisFromEdges(n[kEdgey], v[kEdgey], n[kEdgeY], v[kEdgeY], GetSizeY(), -s * GetX() + c * GetY(),
                sizeY, vc);
  const EPoint center(static_cast<float>(c * uc - s * vc), static_cast<float>(s * uc + c * vc));
  if (!std::isfinite(center.GetX()) || !std::isfinite(center.GetY()) || !std::isfinite(sizeX) ||
      !std::isfinite(sizeY) || !std::isfinite(theta))
    return;
  TakeResult(ERectangle(center, static_cast<float>(sizeX), static_cast<float>(sizeY),
                        EFromRadians(static_cast<float>(theta))));

  // Signed distance of each sample to its fitted edge, positive outside.
  EPoint middle[4];
  m_Measured.GetMidEdges(middle[kEdgex], middle[kEdgeX], middle[kEdgey], middle[kEdgeY]);
  const EPoint axisU(static_cast<float>(c), static_cast<float>(s));
  const EPoint axisV(static_cast<float>(-s), static_cast<float>(c));
  float total = 0.0f;
  for (unsigned e = 0; e < 4; ++e) {
    const EPoint& axis = e % 2 == 0 ? axisU : axisV;
    const float outward = e < 2 ? -1.0f : 1.0f;
    for (unsigned i = 0; i < counts[e]; ++i) {
      ESampledPoint& sample = m_Samples[first[e] + i];
      if (!sample.Valid) continue;
      const EPoint offset = sample.Point - middle[e];
      const float d = outward * (offset.GetX() * axis.GetX() + offset.GetY() * axis.GetY());
      sample.Distance = std::fabs(d);
      sample.Side = d > 0 ? 1 : (d < 0 ? -1 : 0);
      total += sample.Distance;
    }
  }
  m_un32NumValidSamples = valid;
  m_f32AverageDistance = total / static_cast<float>(valid);
}

void ERectangleGauge::Process(EROI<EBW8>* roi, int daughters) {
  if (GetActive()) Measure(roi);
  EShape::Process(roi, daughters);
}

void ERectangleGauge::DrawNominalBands(Quarnel::DrawAdapter* adapter) {
  for (unsigned e = 0; e < 4; ++e) {
    if (!EdgeActive(e)) continue;
    EPoint first, second;
    // The edge's two corners are its first and last profile centres.
    float angle;
    PlaceProfile(e, 0, 2, first, angle);
    PlaceProfile(e, 1, 2, second, angle);
    DrawBand(adapter, first, second, angle, m_Transitions[e].GetTolerance());
  }
}

void ERectangleGauge::DrawMeasured(Quarnel::DrawAdapter* adapter) {
  const ERectangle measured = MeasuredOrNominal();
  EPoint a, b, c, d;
  measured.GetCorners(a, b, c, d);
  DrawSegment(adapter, a, b);
  DrawSegment(adapter, b, d);
  DrawSegment(adapter, d, c);
  DrawSegment(adapter, c, a);
  char name[kShapeLabelSize], label[kShapeLabelSize];
  std::snprintf(label, sizeof label, ERectangleShape::GetFormat(), ResultName(name, sizeof name),
                static_cast<double>(measured.GetX()), static_cast<double>(measured.GetY()),
                static_cast<double>(measured.GetAngle()), EGetAngleUnitName(),
                static_cast<double>(measured.GetSizeX()), static_cast<double>(measured.GetSizeY()));
  DrawResultLabel(adapter, label, measured.GetCenter());
}
