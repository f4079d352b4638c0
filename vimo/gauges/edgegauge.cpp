// The parts the rectangle and wedge gauges share.
#include "vimo/gauges/edgegauge.h"

#include <cmath>

#include "vimo/gauges/profilesampler.h"
#include "vimo/shapes/rectangleshape.h"
#include "vimo/shapes/wedgeshape.h"

template <class Shape, class Geometry>
void EEdgeGauge<Shape, Geometry>::SetFound(int found, int daughters) {
  const int was = this->GetFound();
  if (found) {
    this->SetFlag(INS_SHAPE_BEHAVIOR_FOUND, 1, 0);
  } else if (was) {
    this->SetFlag(INS_SHAPE_BEHAVIOR_FOUND, 0, 0);
    m_Measured = static_cast<const Geometry&>(*this);
  }
  if ((found != 0) != (was != 0)) ForgetFrames();
  if (!daughters) return;
  const unsigned count = this->GetSlotCount();
  for (unsigned i = 0; i < count; ++i)
    if (this->m_ppDaughter[i] != nullptr) this->m_ppDaughter[i]->SetFound(found, 1);
}

template <class Shape, class Geometry>
void EEdgeGauge<Shape, Geometry>::SetActive(int active, int daughters) {
  if (active) {
    this->SetFlag(INS_SHAPE_BEHAVIOR_ACTIVE, 1, 0);
  } else if (this->GetActive()) {
    this->SetFlag(INS_SHAPE_BEHAVIOR_ACTIVE, 0, 0);
    SetFound(0, 0);
  }
  if (!daughters) return;
  const unsigned count = this->GetSlotCount();
  for (unsigned i = 0; i < count; ++i)
    if (this->m_ppDaughter[i] != nullptr) this->m_ppDaughter[i]->SetActive(active, 1);
}

template <class Shape, class Geometry>
EFrame* EEdgeGauge<Shape, Geometry>::CastToFrame() {
  if (this->GetFound()) return &m_Measured;
  return static_cast<Geometry*>(this);
}

template <class Shape, class Geometry>
void EEdgeGauge<Shape, Geometry>::SetRectangularSamplingArea(int rectangular) {
  for (ETransition& t : m_Transitions) t.SetTransitionRectangularSamplingArea(rectangular);
}

template <class Shape, class Geometry>
int EEdgeGauge<Shape, Geometry>::GetRectangularSamplingArea() const {
  return m_Transitions[0].GetTransitionRectangularSamplingArea();
}

template <class Shape, class Geometry>
void EEdgeGauge<Shape, Geometry>::SetSamplingMode(GGE_SAMPLING_MODE mode) {
  m_Transitions[0].SetSamplingMode(mode);
  if (m_Transitions[0].GetSamplingMode() != mode) return;  // refused
  for (ETransition& t : m_Transitions) t.SetSamplingMode(mode);
}

template <class Shape, class Geometry>
void EEdgeGauge<Shape, Geometry>::StoreSamplingStep(float step, const char* trace) {
  if (CheckSamplingStep(step, trace)) m_f32SamplingStep = step;
}

template <class Shape, class Geometry>
void EEdgeGauge<Shape, Geometry>::CopyEdgeGaugeFields(EEdgeGauge* dst) const {
  dst->EGauge::operator=(*this);
  for (int e = 0; e < 4; ++e) dst->m_Transitions[e] = m_Transitions[e];
  dst->m_un32ActiveEdges = m_un32ActiveEdges;
  dst->m_f32SamplingStep = m_f32SamplingStep;
  dst->m_Measured = m_Measured;
  // The copied caches belong to the source's place in its tree.
  dst->ForgetFrames();
}

template <class Shape, class Geometry>
void EEdgeGauge<Shape, Geometry>::Rescale(float factor, int daughters) {
  for (ETransition& t : m_Transitions) t.Rescale(factor);
  m_f32SamplingStep *= factor;
  Shape::Rescale(factor, daughters);
}

template <class Shape, class Geometry>
void EEdgeGauge<Shape, Geometry>::ForgetFrames() {
  this->EFrame::InvalidateFrame();
  m_Measured.InvalidateFrame();
  const unsigned count = this->GetSlotCount();
  for (unsigned i = 0; i < count; ++i)
    if (this->m_ppDaughter[i] != nullptr) this->m_ppDaughter[i]->InvalidateFrame();
}

template <class Shape, class Geometry>
void EEdgeGauge<Shape, Geometry>::TakeResult(const Geometry& result) {
  SetFound(1, 0);
  m_Measured = result;
  ForgetFrames();
  this->ValidateFrame();
}

template <class Shape, class Geometry>
bool EEdgeGauge<Shape, Geometry>::MeasureProfiles(EROI<EBW8>* roi, const char* trace) {
  unsigned counts[4];
  bool usable = SampleCounts(counts);
  uint64_t total = 0;
  for (int e = 0; e < 4; ++e) {
    total += counts[e];
    // A transition without a band, or whose band and smoothing overflow its sums, samples
    // nothing and analyses its previous profile again: every profile of its edge would get
    // the same stale point.
    const ETransition& t = m_Transitions[e];
    // Interpolated sums are kept in finer units, which leaves room for a smaller weight.
    const uint64_t unit =
        t.GetSamplingMode() == GGE_SAMPLING_INTERPOLATED ? vimo_profile::kInterpolatedScale : 1;
    const uint64_t weight =
        uint64_t(t.m_un32Thickness) * (t.m_un32Smoothing > 1 ? t.m_un32Smoothing : 1) * unit;
    if (counts[e] > 0 && (weight == 0 || weight > vimo_profile::kMaxSampleWeight)) usable = false;
  }
  SetFound(0, 0);
  m_Measured = static_cast<const Geometry&>(*this);
  m_Measured.InvalidateFrame();
  this->ValidateFrame();
  if (roi == nullptr || !usable || total == 0) {
    m_Samples.Empty();
    m_un32NumValidSamples = 0;
    // No active edge that exists: nothing to measure, and nothing wrong.
    if (roi != nullptr && usable) return false;
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError(trace);
    return false;
  }
  if (!BeginSamples(total > kMaxGaugeSamples ? 0u : static_cast<unsigned>(total), trace))
    return false;
  vimo_profile::SharedProfiles shared(roi, this->m_pMother);
  vimo_profile::LineOffsetCache lines;
  shared.lines = &lines;
  for (ETransition& t : m_Transitions) t.ShareProfiles(&shared);
  unsigned index = 0;
  for (unsigned e = 0; e < 4; ++e)
    for (unsigned i = 0; i < counts[e]; ++i, ++index) {
      EPoint center, point;
      float angle = 0.0f;
      PlaceProfile(e, i, counts[e], center, angle);
      const bool found = MeasureProfile(m_Transitions[e], roi, center, angle, point);
      RecordSample(index, found, point, 0.0f);
    }
  for (ETransition& t : m_Transitions) t.ShareProfiles(nullptr);
  EndSamples();
  return true;
}

template <class Shape, class Geometry>
bool EEdgeGauge<Shape, Geometry>::MeasureProfile(ETransition& t, EROI<EBW8>* roi, EPoint center,
                                                 float angle, EPoint& point) {
  t.PlaceToleranceSegment(center, angle);
  return t.MeasureGaugeProfile(roi, this->m_pMother, t.m_ToleranceSegment.GetOrg(),
                               t.m_ToleranceSegment.GetEnd(), false, point, nullptr);
}

namespace {

EPoint Along(float angle, float length) {
  return EPoint(length * std::cos(angle), length * std::sin(angle));
}

}  // namespace

template <class Shape, class Geometry>
void EEdgeGauge<Shape, Geometry>::DrawProfiles(Quarnel::DrawAdapter* adapter, unsigned onlySample) {
  unsigned counts[4];
  SampleCounts(counts);
  for (unsigned e = 0; e < 4; ++e) {
    unsigned i = 0, end = counts[e];
    if (onlySample != 0xFFFFFFFFu) {
      i = onlySample;
      end = i < counts[e] ? i + 1 : 0;
    }
    for (; i < end; ++i) {
      EPoint center;
      float angle;
      PlaceProfile(e, i, counts[e], center, angle);
      const EPoint half = Along(angle, m_Transitions[e].GetTolerance());
      this->DrawSegment(adapter, center - half, center + half);
    }
  }
}

template <class Shape, class Geometry>
void EEdgeGauge<Shape, Geometry>::Draw(Quarnel::DrawAdapter* adapter, INS_DRAWING_MODES mode,
                                       int daughters) {
  if (adapter == nullptr) return;
  this->ValidateFrame();
  if (this->PassesFilters() && this->GetVisible()) {
    switch (mode) {
      case INS_DRAW_NOMINAL:
        DrawNominalBands(adapter);
        Shape::Draw(adapter, mode, 0);
        break;
      case INS_DRAW_ACTUAL: DrawMeasured(adapter); break;
      case INS_DRAW_SAMPLING_PATH: DrawProfiles(adapter, 0xFFFFFFFFu); break;
      case INS_DRAW_SAMPLE_PROFILE:
        if (SelectedSample() != 0xFFFFFFFFu) DrawProfiles(adapter, SelectedSample());
        break;
      case INS_DRAW_SKIPPED_SAMPLES:
      case INS_DRAW_VALID_SAMPLES:
      case INS_DRAW_FILTERED_SAMPLES: DrawSamples(adapter, mode); break;
      default: break;
    }
  }
  EShape::Draw(adapter, mode, daughters);
}

template <class Shape, class Geometry>
void EEdgeGauge<Shape, Geometry>::DrawBand(Quarnel::DrawAdapter* adapter, EPoint a, EPoint b,
                                           float angle, float tolerance) {
  const EPoint d = Along(angle, tolerance);
  this->DrawSegment(adapter, a - d, b - d);
  this->DrawSegment(adapter, a + d, b + d);
  this->DrawSegment(adapter, a - d, a + d);
  this->DrawSegment(adapter, b - d, b + d);
  if (!this->GetDragable()) return;
  const EPoint middle = (a + b) * 0.5f;
  this->DrawHandle(adapter, middle - d);
  this->DrawHandle(adapter, middle + d);
}

template <class Shape, class Geometry>
void EEdgeGauge<Shape, Geometry>::DrawSamples(Quarnel::DrawAdapter* adapter,
                                              INS_DRAWING_MODES mode) {
  const unsigned n = m_Samples.GetNumElements();
  for (unsigned i = 0; i < n; ++i) {
    const ESampledPoint& s = m_Samples[i];
    const bool shown = mode == INS_DRAW_SKIPPED_SAMPLES    ? s.Skipped != 0
                       : mode == INS_DRAW_VALID_SAMPLES    ? s.Valid != 0
                       : mode == INS_DRAW_FILTERED_SAMPLES ? s.FilteredOut != 0
                                                           : false;
    if (!shown) continue;
    int x, y;
    this->MotherToDisplay(s.Point, x, y);
    adapter->DrawLine(x - 3, y, x + 3, y, Quarnel::DefaultColor);
    adapter->DrawLine(x, y - 3, x, y + 3, Quarnel::DefaultColor);
  }
}

template <class Shape, class Geometry>
void EEdgeGauge<Shape, Geometry>::DrawResultLabel(Quarnel::DrawAdapter* adapter, const char* label,
                                                  EPoint p) {
  // The label formats start with the name's line: an empty name leaves a blank line.
  if (label[0] == '\n') ++label;
  this->DrawLabel(adapter, label, p);
}

template class EEdgeGauge<ERectangleShape, ERectangle>;
template class EEdgeGauge<EWedgeShape, EWedge>;
