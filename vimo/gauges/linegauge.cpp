// The line gauge.
#include "vimo/gauges/linegauge.h"

#include <cassert>
#include <cmath>
#include <new>

#include "vimo/gauges/gaugesupport.h"
#include "vimo/gauges/profilesampler.h"

using namespace vimo_gauge;

namespace {
const float kPi = 3.14159265358979f;
}  // namespace

unsigned ELineGauge_OpDat::CountSamples(const EGauge* owner) const {
  const ELineGauge* lgauge = dynamic_cast<const ELineGauge*>(owner);
  assert(lgauge != NULL && "lgauge != NULL");
  return lgauge != nullptr ? lgauge->GetNumSamples() : 0;
}

void ELineGauge_OpDat::ResetDefaults() { m_n32MinNumFitSamples[0] = 2; }

ELineGauge::ELineGauge()
    : ELineShape(0, 0, 100, 0),
      ETransition(10.0f, 0.0f),
      EGauge(new ELineGauge_OpDat),
      m_f32SamplingStep(5.0f),
      m_bKnownAngle(0),
      m_MeasuredLine(static_cast<const ELine&>(*this)) {}

ELineGauge::ELineGauge(const ELineGauge& other) : ELineGauge() {
  other.CopyTo(this, GetRecursiveCopyBehavior());
}

ELineGauge& ELineGauge::operator=(const ELineGauge& other) {
  other.CopyTo(this, GetRecursiveCopyBehavior());
  return *this;
}

ELineGauge::~ELineGauge() = default;

ELineGauge* ELineGauge::CopyTo(ELineGauge* dest, int recursive) const {
  if (dest == this) return dest;
  if (dest == nullptr) dest = new ELineGauge();
  if (ELineShape::CopyTo(dest, recursive) == nullptr) return nullptr;
  CopyGaugeFields(dest);
  return dest;
}

EShape* ELineGauge::CreateShapeClone(int recursive) const {
  return CopyTo(static_cast<ELineGauge*>(nullptr), recursive);
}

EShape* ELineGauge::New() const {
  ELineGauge* clone = new (std::nothrow) ELineGauge();
  if (clone == nullptr) {
    ESetError(E_ERROR_ALLOCATION_FAILED);
    return nullptr;
  }
  static_cast<ELine&>(*clone) = static_cast<const ELine&>(*this);
  clone->ELine::InvalidateFrame();
  CopyGaugeFields(clone);
  FillNewClone(clone);
  return clone;
}

void ELineGauge::CopyGaugeFields(ELineGauge* dest) const {
  static_cast<ETransition&>(*dest) = *this;
  dest->EGauge::operator=(*this);
  dest->m_f32SamplingStep = m_f32SamplingStep;
  dest->m_bKnownAngle = m_bKnownAngle;
  dest->m_MeasuredLine = m_MeasuredLine;
  // The copy's frames are placed in its own hierarchy on their next use.
  dest->m_MeasuredLine.InvalidateFrame();
  dest->ELine::InvalidateFrame();
}

void ELineGauge::Set(EPoint center, float length, float angle) {
  ELineShape::Set(center, length, angle);
}

void ELineGauge::Set(EPoint org, EPoint end) { ELineShape::Set(org, end); }

void ELineGauge::Set(ELine line) {
  ELineShape::Set(line.GetCenter(), line.GetLength(), line.GetAngle());
  ELineShape::SetCenter(line.GetCenter());
}

void ELineGauge::SetSamplingStep(float step) {
  if (CheckSamplingStep(step, "ELineGauge::SetSamplingStep")) m_f32SamplingStep = step;
}

GGE_CLIPPING_MODE ELineGauge::GetClippingMode() const { return OpDat()->m_eClippingMode; }

void ELineGauge::SetClippingMode(GGE_CLIPPING_MODE mode) {
  if (mode < GGE_CLIPPING_NOMINAL_LENGTH || mode > GGE_CLIPPING_TOLERANCE_BOX) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("ELineGauge::SetClippingMode");
    return;
  }
  OpDat()->m_eClippingMode = mode;
}

unsigned int ELineGauge::GetNumSamples() const {
  return SampleCount(std::fabs(GetLength()), m_f32SamplingStep);
}

unsigned int ELineGauge::GetNumSamples() {
  return static_cast<const ELineGauge*>(this)->GetNumSamples();
}

ELine ELineGauge::GetMeasuredLine() const {
  return GetFound() ? m_MeasuredLine : static_cast<const ELine&>(*this);
}

EFrame* ELineGauge::CastToFrame() {
  if (GetFound()) return &m_MeasuredLine;
  return static_cast<ELine*>(this);
}

void ELineGauge::SetFound(int found, int daughters) {
  // While not found the measured geometry is the nominal one, wherever that was placed since.
  if (found && !GetFound()) m_MeasuredLine = static_cast<const ELine&>(*this);
  SwitchFound(this, found, [this] { m_MeasuredLine = static_cast<const ELine&>(*this); });
  EShape::SetFound(found, daughters);
}

void ELineGauge::SetActive(int active, int daughters) {
  if (!active && GetActive()) SetFound(0, 0);
  EShape::SetActive(active, daughters);
}

void ELineGauge::Rescale(float factor, int daughters) {
  ETransition::Rescale(factor);
  m_f32SamplingStep *= factor;
  ELineShape::Rescale(factor, daughters);
}

void ELineGauge::Process(EROI<EBW8>* roi, int daughters) {
  if (GetActive()) Measure(roi);
  EShape::Process(roi, daughters);
}

template <class Visit>
void ELineGauge::ForEachProfile(unsigned n, Visit visit) const {
  const float angle = GetRawAngle();
  const EPoint across = EPoint(-std::sin(angle), std::cos(angle)) * GetTolerance();
  const EPoint first = n > 1 ? GetOrg() : GetCenter();
  const EPoint step = n > 1 ? (GetEnd() - first) / static_cast<float>(n - 1) : EPoint();
  for (unsigned i = 0; i < n; ++i) {
    const EPoint center = first + step * static_cast<float>(i);
    visit(i, center - across, center + across);
  }
}

void ELineGauge::Measure(EROI<EBW8>* roi) {
  SetFound(0, 0);
  m_MeasuredLine = static_cast<const ELine&>(*this);
  ValidateFrame();
  // No region, or a band that cannot be summed, is refused like a sample count that cannot be
  // taken: no profile would hold anything but the previous one.
  const unsigned n = CanSample(roi, *this) ? GetNumSamples() : 0;
  if (!BeginSamples(n, "ELineGauge::Measure")) return;
  vimo_profile::SharedProfiles shared(roi, m_pMother);
  vimo_profile::LineOffsetCache lines;
  shared.lines = &lines;
  ShareProfiles(&shared);
  ForEachProfile(n, [&](unsigned i, EPoint org, EPoint end) {
    EPoint point;
    const bool found = MeasureGaugeProfile(roi, m_pMother, org, end, false, point, nullptr);
    RecordSample(i, found, found ? point : EPoint(), 0.0f);
    // The tolerance segment is left on the last profile, with its length: ends computed from
    // NaN geometry must not become the tolerance of the next measurement.
    if (i + 1 == n) {
      const EPoint across = end - org;
      PlaceToleranceSegment((org + end) * 0.5f, std::atan2(across.GetY(), across.GetX()));
    }
  });
  ShareProfiles(nullptr);
  FitLine();
  RunFilteringPasses([this] { FitLine(); });
  EndSamples();
}

void ELineGauge::FitLine() {
  const unsigned count = m_Samples.GetNumElements();
  const unsigned valid = m_un32NumValidSamples;
  if (valid == 0 || static_cast<int64_t>(valid) < m_pOpDat->m_n32MinNumFitSamples[0]) return;
  const GGE_CLIPPING_MODE clipping = m_pOpDat->m_eClippingMode;
  if (clipping < GGE_CLIPPING_NOMINAL_LENGTH || clipping > GGE_CLIPPING_TOLERANCE_BOX) {
    // A mode read from elsewhere that the gauge does not know: no result is claimed.
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("ELineGauge::FitLine");
    return;
  }
  const float n = static_cast<float>(valid);
  float sx = 0, sy = 0;
  for (unsigned i = 0; i < count; ++i) {
    const ESampledPoint& s = m_Samples[i];
    if (!s.Valid) continue;
    sx += s.Point.GetX();
    sy += s.Point.GetY();
  }
  const EPoint m(sx / n, sy / n);
  float theta;
  if (m_bKnownAngle) {
    theta = GetRawAngle();
  } else {
    float sxx = 0, sxy = 0, syy = 0;
    for (unsigned i = 0; i < count; ++i) {
      const ESampledPoint& s = m_Samples[i];
      if (!s.Valid) continue;
      const float dx = s.Point.GetX() - m.GetX(), dy = s.Point.GetY() - m.GetY();
      sxx += dx * dx;
      sxy += dx * dy;
      syy += dy * dy;
    }
    // All points in one place give no direction.
    if (!(sxx + syy > 0)) return;
    theta = 0.5f * std::atan2(2.0f * sxy, sxx - syy);
  }
  if (!std::isfinite(theta) || !std::isfinite(m.GetX()) || !std::isfinite(m.GetY())) return;

  // Of the two directions of the fitted line, the one closer to the nominal direction, the
  // angles compared around the circle (a nominal angle of 180 degrees is next to -170).
  const float nominal = WrapAngle(GetRawAngle());
  const float theta1 = WrapAngle(theta), theta2 = WrapAngle(theta + kPi);
  const float phi = std::fabs(WrapAngle(nominal - theta1)) < std::fabs(WrapAngle(nominal - theta2))
                        ? theta1
                        : theta2;

  ReplacePlacement(this, [&] {
    EShape::SetFound(1, 0);
    ClipFittedLine(m, phi);
  });

  const float s = std::sin(theta), c = std::cos(theta);
  const float d = s * m.GetX() - c * m.GetY();
  float total = 0;
  for (unsigned i = 0; i < count; ++i) {
    ESampledPoint& p = m_Samples[i];
    if (!p.Valid) continue;
    p.Distance = std::fabs(s * p.Point.GetX() - c * p.Point.GetY() - d);
    total += p.Distance;
  }
  m_f32AverageDistance = total / n;
}

void ELineGauge::ClipFittedLine(EPoint m, float phi) {
  const EPoint direction(std::cos(phi), std::sin(phi));
  const float angle = EFromRadians(phi);
  switch (m_pOpDat->m_eClippingMode) {
    case GGE_CLIPPING_SAMPLE_SPAN: {
      const unsigned count = m_Samples.GetNumElements();
      unsigned first = count, last = 0;
      for (unsigned i = 0; i < count; ++i)
        if (m_Samples[i].Valid) {
          if (first == count) first = i;
          last = i;
        }
      const float a = (m_Samples[first].Point - m).Dot(direction);
      const float b = (m_Samples[last].Point - m).Dot(direction);
      m_MeasuredLine.Set(m + direction * (0.5f * (a + b)), std::fabs(b - a), angle);
      return;
    }
    case GGE_CLIPPING_TOLERANCE_BOX: {
      // In the nominal frame: u along the nominal direction, v across; the box is
      // |u| <= halfLength, |v| <= tolerance.
      const double a = GetRawAngle();
      const double ca = std::cos(a), sa = std::sin(a);
      const double halfLength = std::fabs(m_f32HalfLength), tolerance = std::fabs(GetTolerance());
      const double dx = double(m.GetX()) - GetX(), dy = double(m.GetY()) - GetY();
      const double u0 = dx * ca + dy * sa, v0 = -dx * sa + dy * ca;
      const double slope = std::tan(double(phi) - a);
      double shortU[2], shortV[2], longU[2], longV[2];
      int shorts = 0, longs = 0;
      for (int side = -1; side <= 1; side += 2) {
        const double v = v0 + (side * halfLength - u0) * slope;
        if (std::fabs(v) <= tolerance) shortU[shorts] = side * halfLength, shortV[shorts++] = v;
      }
      if (shorts < 2) {
        for (int side = -1; side <= 1; side += 2) {
          const double u = u0 + (side * tolerance - v0) / slope;
          if (std::fabs(u) <= halfLength) longU[longs] = u, longV[longs++] = side * tolerance;
        }
      }
      double eu[2], ev[2];
      if (shorts == 2) {
        eu[0] = shortU[0], ev[0] = shortV[0], eu[1] = shortU[1], ev[1] = shortV[1];
      } else if (shorts == 1 && longs > 0) {
        // Of two long-side crossings (one at a corner), the one away from the short side.
        const int k =
            longs == 2 && std::fabs(longU[1] - shortU[0]) > std::fabs(longU[0] - shortU[0]) ? 1 : 0;
        eu[0] = shortU[0], ev[0] = shortV[0], eu[1] = longU[k], ev[1] = longV[k];
      } else if (longs == 2) {
        eu[0] = longU[0], ev[0] = longV[0], eu[1] = longU[1], ev[1] = longV[1];
      } else if (shorts + longs == 1) {
        eu[0] = eu[1] = shorts ? shortU[0] : longU[0];
        ev[0] = ev[1] = shorts ? shortV[0] : longV[0];
      } else {
        // The centroid is outside the box (a calibration that bends the profiles): the
        // nominal length about the centroid.
        m_MeasuredLine.Set(m, GetLength(), angle);
        return;
      }
      const double mu = 0.5 * (eu[0] + eu[1]), mv = 0.5 * (ev[0] + ev[1]);
      const EPoint center(static_cast<float>(GetX() + mu * ca - mv * sa),
                          static_cast<float>(GetY() + mu * sa + mv * ca));
      const float length = static_cast<float>(std::hypot(eu[1] - eu[0], ev[1] - ev[0]));
      m_MeasuredLine.Set(center, length, angle);
      return;
    }
    case GGE_CLIPPING_NOMINAL_LENGTH: m_MeasuredLine.Set(m, GetLength(), angle); return;
  }
}

void ELineGauge::DrawNominal(Quarnel::DrawAdapter* adapter) {
  // The line shape draws the segment and its handles; the label belongs to the result.
  const int labeled = GetLabeled();
  SetLabeled(0, 0);
  ELineShape::Draw(adapter, INS_DRAW_NOMINAL, 0);
  SetLabeled(labeled, 0);
  const float tolerance = GetTolerance();
  const EPoint across = EPoint(-std::sin(GetRawAngle()), std::cos(GetRawAngle())) * tolerance;
  DrawSegment(adapter, GetOrg() + across, GetEnd() + across);
  DrawSegment(adapter, GetOrg() - across, GetEnd() - across);
  if (GetOptionalDraw())
    ForEachProfile(1, [&](unsigned, EPoint org, EPoint end) {
      DrawSampledSegment(adapter, m_pMother, org, end, false, true);
    });
  if (GetDragable()) {
    DrawHandle(adapter, GetCenter() + across);
    DrawHandle(adapter, GetCenter() - across);
  }
}

void ELineGauge::DrawResult(Quarnel::DrawAdapter* adapter) {
  const ELine line = GetMeasuredLine();
  DrawSegment(adapter, line.GetOrg(), line.GetEnd());
  if (WantsLabel()) {
    char name[kShapeLabelSize], label[kShapeLabelSize];
    std::snprintf(label, sizeof label, ELineShape::GetFormat(), LabelName(name, sizeof name),
                  static_cast<double>(line.GetX()), static_cast<double>(line.GetY()),
                  static_cast<double>(line.GetAngle()), EGetAngleUnitName(),
                  static_cast<double>(line.GetLength()));
    DrawLabel(adapter, label, line.GetCenter());
  }
}

void ELineGauge::Draw(Quarnel::DrawAdapter* adapter, INS_DRAWING_MODES mode, int daughters) {
  DrawFittingGauge(this, adapter, mode, daughters, m_Samples, [&](INS_DRAWING_MODES own) {
    if (own == INS_DRAW_NOMINAL) DrawNominal(adapter);
    if (own == INS_DRAW_ACTUAL) DrawResult(adapter);
    if (own == INS_DRAW_SAMPLING_PATH)
      ForEachProfile(GetNumSamples(), [&](unsigned, EPoint org, EPoint end) {
        DrawSampledSegment(adapter, m_pMother, org, end, false, false);
      });
  });
}
