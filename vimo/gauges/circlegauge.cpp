// The circle gauge.
#include "vimo/gauges/circlegauge.h"

#include <algorithm>
#include <cassert>
#include <cfloat>
#include <cmath>
#include <new>

#include "vimo/gauges/gaugesupport.h"
#include "vimo/gauges/profilesampler.h"

using namespace vimo_gauge;

unsigned ECircleGauge_OpDat::CountSamples(const EGauge* owner) const {
  const ECircleGauge* cgauge = dynamic_cast<const ECircleGauge*>(owner);
  assert(cgauge != NULL && "cgauge != NULL");
  return cgauge != nullptr ? cgauge->GetNumSamples() : 0;
}

void ECircleGauge_OpDat::ResetDefaults() { m_n32MinNumFitSamples[0] = 3; }

ECircleGauge::ECircleGauge()
    : ECircleShape(0, 0, 100, 0, 1),
      ETransition(10.0f, 0.0f),
      EGauge(new ECircleGauge_OpDat),
      m_f32SamplingStep(5.0f),
      m_f32InnerFilteringThreshold(FLT_MAX),
      m_eFittingMode(GGE_FITTING_UNWEIGHTED),
      m_f32MeasuredCircularity(-1.0f),
      m_f32MeasuredTotalTransition(0.0f),
      m_MeasuredCircle(static_cast<const ECircle&>(*this)) {}

ECircleGauge::ECircleGauge(const ECircleGauge& other) : ECircleGauge() {
  other.CopyTo(this, GetRecursiveCopyBehavior());
}

ECircleGauge& ECircleGauge::operator=(const ECircleGauge& other) {
  other.CopyTo(this, GetRecursiveCopyBehavior());
  return *this;
}

ECircleGauge::~ECircleGauge() = default;

ECircleGauge* ECircleGauge::CopyTo(ECircleGauge* dest, int recursive) const {
  if (dest == this) return dest;
  if (dest == nullptr) dest = new ECircleGauge();
  if (ECircleShape::CopyTo(dest, recursive) == nullptr) return nullptr;
  CopyGaugeFields(dest);
  return dest;
}

EShape* ECircleGauge::CreateShapeClone(int recursive) const {
  return CopyTo(static_cast<ECircleGauge*>(nullptr), recursive);
}

EShape* ECircleGauge::New() const {
  ECircleGauge* clone = new (std::nothrow) ECircleGauge();
  if (clone == nullptr) {
    ESetError(E_ERROR_ALLOCATION_FAILED);
    return nullptr;
  }
  static_cast<ECircle&>(*clone) = static_cast<const ECircle&>(*this);
  clone->m_f32MiddleHandleAngle = m_f32MiddleHandleAngle;
  clone->m_f32EndHandleAngle = m_f32EndHandleAngle;
  CopyGaugeFields(clone);
  FillNewClone(clone);
  return clone;
}

void ECircleGauge::CopyGaugeFields(ECircleGauge* dest) const {
  static_cast<ETransition&>(*dest) = *this;
  dest->EGauge::operator=(*this);
  dest->m_f32SamplingStep = m_f32SamplingStep;
  dest->m_f32InnerFilteringThreshold = m_f32InnerFilteringThreshold;
  dest->m_eFittingMode = m_eFittingMode;
  dest->m_f32MeasuredCircularity = m_f32MeasuredCircularity;
  dest->m_f32MeasuredTotalTransition = m_f32MeasuredTotalTransition;
  dest->m_MeasuredCircle = m_MeasuredCircle;
  // The copy's frames are placed in its own hierarchy on their next use.
  dest->m_MeasuredCircle.InvalidateFrame();
  dest->ECircle::InvalidateFrame();
}

void ECircleGauge::Set(ECircle circle) {
  if (circle.GetFull())
    ECircleShape::Set(circle.GetCenter(), circle.GetDiameter(), circle.GetOrgAngle(),
                      circle.GetDirect());
  else
    ECircleShape::Set(circle.GetCenter(), circle.GetDiameter(), circle.GetOrgAngle(),
                      circle.GetAmplitude());
}

void ECircleGauge::Set(EPoint center, float diameter, float orgAngle, int direct) {
  ECircleShape::Set(center, diameter, orgAngle, direct);
}

void ECircleGauge::Set(EPoint center, float diameter, float orgAngle, float amplitude) {
  ECircleShape::Set(center, diameter, orgAngle, amplitude);
}

void ECircleGauge::Set(EPoint center, EPoint org, int direct) {
  ECircleShape::Set(center, org, direct);
}

void ECircleGauge::Set(EPoint first, EPoint middle, EPoint last, int full) {
  ECircleShape::Set(first, middle, last, full);
}

void ECircleGauge::SetSamplingStep(float step) {
  if (CheckSamplingStep(step, "ECircleGauge::SetSamplingStep")) m_f32SamplingStep = step;
}

unsigned int ECircleGauge::GetNumSamples() const {
  return SampleCount(std::fabs(m_f32Radius * m_f32Amplitude), m_f32SamplingStep);
}

unsigned int ECircleGauge::GetNumSamples() {
  return static_cast<const ECircleGauge*>(this)->GetNumSamples();
}

void ECircleGauge::DisableInnerFiltering() { m_f32InnerFilteringThreshold = FLT_MAX; }

int ECircleGauge::IsInnerFilteringEnabled() const {
  return m_f32InnerFilteringThreshold != FLT_MAX ? 1 : 0;
}

ECircle ECircleGauge::GetMeasuredCircle() const {
  return GetFound() ? m_MeasuredCircle : static_cast<const ECircle&>(*this);
}

EFrame* ECircleGauge::CastToFrame() {
  if (GetFound()) return &m_MeasuredCircle;
  return static_cast<ECircle*>(this);
}

void ECircleGauge::SetFound(int found, int daughters) {
  // While not found the measured geometry is the nominal one, wherever that was placed since.
  if (found && !GetFound()) m_MeasuredCircle = static_cast<const ECircle&>(*this);
  SwitchFound(this, found, [this] { m_MeasuredCircle = static_cast<const ECircle&>(*this); });
  EShape::SetFound(found, daughters);
}

void ECircleGauge::SetActive(int active, int daughters) {
  if (!active && GetActive()) SetFound(0, 0);
  EShape::SetActive(active, daughters);
}

void ECircleGauge::Rescale(float factor, int daughters) {
  ETransition::Rescale(factor);
  m_f32SamplingStep *= factor;
  ECircleShape::Rescale(factor, daughters);
}

void ECircleGauge::Process(EROI<EBW8>* roi, int daughters) {
  if (GetActive()) Measure(roi);
  EShape::Process(roi, daughters);
}

template <class Visit>
void ECircleGauge::ForEachProfile(unsigned n, Visit visit) const {
  // A full circle is not sampled twice at its origin; an arc has a profile on each end, and a
  // single profile sits on its origin. The direction turns by a fixed rotation from one
  // profile to the next.
  const double d = GetFull() ? static_cast<double>(n) : static_cast<double>(n) - 1.0;
  const double turn = d > 0 ? double(m_f32Amplitude) / d : 0.0;
  const double turnCos = std::cos(turn), turnSin = std::sin(turn);
  double c = std::cos(double(m_f32Angle)), s = std::sin(double(m_f32Angle));
  const float tolerance = GetTolerance();
  for (unsigned i = 0; i < n; ++i) {
    const EPoint u(static_cast<float>(c), static_cast<float>(s));
    const EPoint point = GetCenter() + u * m_f32Radius;
    visit(i, point - u * tolerance, point + u * tolerance);
    const double next = c * turnCos - s * turnSin;
    s = s * turnCos + c * turnSin;
    c = next;
  }
}

void ECircleGauge::Measure(EROI<EBW8>* roi) {
  SetFound(0, 0);
  m_MeasuredCircle = static_cast<const ECircle&>(*this);
  ValidateFrame();
  m_f32AverageDistance = 0;
  m_f32MeasuredCircularity = 0;
  m_f32MeasuredTotalTransition = 0;
  // No region, or a band that cannot be summed, is refused like a sample count that cannot be
  // taken: no profile would hold anything but the previous one.
  const unsigned n = CanSample(roi, *this) ? GetNumSamples() : 0;
  if (!BeginSamples(n, "ECircleGauge::Measure")) return;
  const vimo_profile::SharedProfiles shared(roi, m_pMother);
  ShareProfiles(&shared);
  ForEachProfile(n, [&](unsigned i, EPoint org, EPoint end) {
    EPoint point;
    int32_t area = 0;
    if (MeasureGaugeProfile(roi, m_pMother, org, end, false, point, &area))
      RecordSample(i, 1, point, static_cast<float>(area));
    else
      RecordSample(i, 0, EPoint(), 0.0f);
    // The tolerance segment is left on the last profile, with its length: ends computed from
    // NaN geometry must not become the tolerance of the next measurement.
    if (i + 1 == n) {
      const EPoint across = end - org;
      PlaceToleranceSegment((org + end) * 0.5f, std::atan2(across.GetY(), across.GetX()));
    }
  });
  ShareProfiles(nullptr);
  FitCircle();
  if (IsInnerFilteringEnabled()) {
    FilterSamples(m_f32InnerFilteringThreshold, true);
    FitCircle();
  }
  RunFilteringPasses([this] { FitCircle(); });
  EndSamples();
}

void ECircleGauge::FitCircle() {
  if (m_eFittingMode == GGE_FITTING_WEIGHTED) return FitCircleWeighted();
  Fit(false);
}

void ECircleGauge::FitCircleWeighted() { Fit(true); }

bool ECircleGauge::Fit(bool weighted) {
  const unsigned count = m_Samples.GetNumElements();
  const unsigned valid = m_un32NumValidSamples;
  if (valid == 0 || static_cast<int64_t>(valid) < m_pOpDat->m_n32MinNumFitSamples[0]) return false;
  auto weight = [weighted](const ESampledPoint& s) {
    return weighted ? std::fabs(s.TransitionValue) : 1.0f;
  };
  // Weighted centroid and the largest weight.
  float total = 0, sx = 0, sy = 0, largest = 0;
  for (unsigned i = 0; i < count; ++i) {
    const ESampledPoint& s = m_Samples[i];
    if (!s.Valid) continue;
    const float w = weight(s);
    total += w;
    sx += w * s.Point.GetX();
    sy += w * s.Point.GetY();
    if (w > largest) largest = w;
  }
  // Weights that are all zero weigh nothing.
  if (!(total > 0)) return false;
  const float inverse = 1.0f / total;
  const float mx = sx * inverse, my = sy * inverse;
  // Moments about the centroid: second moments and the third moments of the centre equations.
  float cuu = 0, cuv = 0, cvv = 0, suuu = 0, suuv = 0, suvv = 0, svvv = 0;
  for (unsigned i = 0; i < count; ++i) {
    const ESampledPoint& s = m_Samples[i];
    if (!s.Valid) continue;
    const float w = weight(s);
    const float u = s.Point.GetX() - mx, v = s.Point.GetY() - my;
    cuu += w * u * u;
    cuv += w * u * v;
    cvv += w * v * v;
    suuu += w * u * u * u;
    suuv += w * u * u * v;
    suvv += w * u * v * v;
    svvv += w * v * v * v;
  }
  cuu *= inverse, cuv *= inverse, cvv *= inverse;
  suuu *= inverse, suuv *= inverse, suvv *= inverse, svvv *= inverse;
  const float a = 0.5f * (suuu + suvv), b = 0.5f * (suuv + svvv);
  const float d = cuu * cvv - cuv * cuv;
  // Points on one line (or at one point) have no circle: the determinant vanishes up to the
  // rounding of the moments.
  const double spread = double(cuu) + double(cvv);
  if (!(double(d) > 1e-6 * spread * spread)) return false;
  const float uc = (a * cvv - cuv * b) / d, vc = (cuu * b - a * cuv) / d;
  const float r = std::sqrt(uc * uc + cuu + cvv + vc * vc);
  const EPoint center(mx + uc, my + vc);
  if (!std::isfinite(r) || !std::isfinite(center.GetX()) || !std::isfinite(center.GetY()))
    return false;

  ReplacePlacement(this, [&] {
    EShape::SetFound(1, 0);
    m_MeasuredCircle.ECircle::Set(center, 2.0f * r, 0.0f, 1);
  });

  // Distances, sides and, for the weighted fit, the circularity score: a sample on the circle
  // whose strength is the typical one counts 1.
  const float typical = (total / static_cast<float>(valid) + largest) * 0.5f;
  float distances = 0, circularity = 0;
  for (unsigned i = 0; i < count; ++i) {
    ESampledPoint& s = m_Samples[i];
    if (!s.Valid) continue;
    const float e = (s.Point - center).Modulus() - r;
    s.Side = e > 0 ? 1 : (e < 0 ? -1 : 0);
    s.Distance = std::fabs(e);
    distances += s.Distance;
    if (weighted) {
      const float q = 1.0f - weight(s) / typical;
      const float e2 = 2.0f * s.Distance, q2 = 1.5f * q;
      circularity += 1.0f / (1.0f + e2 * e2 * e2 * e2 + q2 * q2 * q2 * q2 * q2 * q2);
    }
  }
  m_f32AverageDistance = distances / static_cast<float>(valid);
  if (weighted) {
    m_f32MeasuredCircularity =
        circularity / ((static_cast<float>(count) + static_cast<float>(valid)) * 0.5f);
    m_f32MeasuredTotalTransition = total;
  }
  return true;
}

void ECircleGauge::DrawNominal(Quarnel::DrawAdapter* adapter) {
  const float tolerance = GetTolerance();
  // A band wider than the radius reaches the centre.
  const float inner = std::max(0.0f, m_f32Radius - tolerance), outer = m_f32Radius + tolerance;
  DrawArc(adapter, GetCenter(), inner, m_f32Angle, m_f32Amplitude);
  DrawArc(adapter, GetCenter(), outer, m_f32Angle, m_f32Amplitude);
  if (!GetFull()) {
    for (float theta : {m_f32Angle, m_f32Angle + m_f32Amplitude}) {
      const EPoint u(std::cos(theta), std::sin(theta));
      DrawSegment(adapter, GetCenter() + u * inner, GetCenter() + u * outer);
    }
  }
  if (GetDragable()) {
    const float apex = m_f32Angle + 0.5f * m_f32Amplitude;
    const EPoint u(std::cos(apex), std::sin(apex));
    DrawHandle(adapter, GetCenter() + u * inner);
    DrawHandle(adapter, GetCenter() + u * outer);
  }
  // The circle shape draws the arc and its handles; the label belongs to the result.
  const int labeled = GetLabeled();
  SetLabeled(0, 0);
  ECircleShape::Draw(adapter, INS_DRAW_NOMINAL, 0);
  SetLabeled(labeled, 0);
}

void ECircleGauge::DrawResult(Quarnel::DrawAdapter* adapter) {
  // An active gauge shows its result over the nominal angular range. The stored result
  // keeps its own origin: it is the frame the daughters follow, and drawing must not
  // turn them.
  ECircle circle = GetMeasuredCircle();
  if (GetActive())
    circle.Set(circle.GetCenter(), circle.GetDiameter(), GetOrgAngle(), GetAmplitude());
  DrawArc(adapter, circle.GetCenter(), circle.GetRadius(), circle.GetRawAngle(),
          EToRadians(circle.GetAmplitude()));
  if (WantsLabel()) {
    char name[kShapeLabelSize], label[kShapeLabelSize];
    std::snprintf(label, sizeof label, ECircleShape::GetFormat(circle.GetFull()),
                  LabelName(name, sizeof name), static_cast<double>(circle.GetX()),
                  static_cast<double>(circle.GetY()), static_cast<double>(circle.GetOrgAngle()),
                  EGetAngleUnitName(), static_cast<double>(circle.GetDiameter()),
                  static_cast<double>(circle.GetAmplitude()), EGetAngleUnitName());
    DrawLabel(adapter, label, circle.GetCenter());
  }
}

void ECircleGauge::Draw(Quarnel::DrawAdapter* adapter, INS_DRAWING_MODES mode, int daughters) {
  DrawFittingGauge(this, adapter, mode, daughters, m_Samples, [&](INS_DRAWING_MODES own) {
    if (own == INS_DRAW_NOMINAL) DrawNominal(adapter);
    if (own == INS_DRAW_ACTUAL) DrawResult(adapter);
    if (own == INS_DRAW_SAMPLING_PATH)
      ForEachProfile(GetNumSamples(), [&](unsigned, EPoint org, EPoint end) {
        DrawSampledSegment(adapter, m_pMother, org, end, false, false);
      });
  });
}
