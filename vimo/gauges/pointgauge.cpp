// The point gauge.
#include "vimo/gauges/pointgauge.h"

#include <new>

#include "vimo/gauges/gaugesupport.h"

using namespace vimo_gauge;

EPointGauge::EPointGauge(float x, float y) : EPointShape(x, y), ETransition(10.0f, 0.0f) {
  m_eTransitionChoice = GGE_ALL_PEAKS;
  SetCenter(x, y);
}

EPointGauge::EPointGauge(const EPointGauge& other) : EPointGauge() {
  other.CopyTo(this, GetRecursiveCopyBehavior());
}

EPointGauge& EPointGauge::operator=(const EPointGauge& other) {
  other.CopyTo(this, GetRecursiveCopyBehavior());
  return *this;
}

EPointGauge::~EPointGauge() = default;

EPointGauge* EPointGauge::CopyTo(EPointGauge* dest, int recursive) const {
  if (dest == this) return dest;
  if (dest == nullptr) dest = new EPointGauge();
  if (EPointShape::CopyTo(dest, recursive) == nullptr) return nullptr;
  CopyGaugeFields(dest);
  return dest;
}

EShape* EPointGauge::CreateShapeClone(int recursive) const {
  return CopyTo(static_cast<EPointGauge*>(nullptr), recursive);
}

EShape* EPointGauge::New() const {
  EPointGauge* clone = new (std::nothrow) EPointGauge();
  if (clone == nullptr) {
    ESetError(E_ERROR_ALLOCATION_FAILED);
    return nullptr;
  }
  static_cast<EFrame&>(*clone) = static_cast<const EFrame&>(*this);
  CopyGaugeFields(clone);
  FillNewClone(clone);
  return clone;
}

void EPointGauge::CopyGaugeFields(EPointGauge* dest) const {
  static_cast<ETransition&>(*dest) = *this;
  dest->m_MeasuredFrame = m_MeasuredFrame;
  dest->m_FoundFrame = m_FoundFrame;
  // The copy's frames are placed in its own hierarchy on their next use.
  dest->EFrame::InvalidateFrame();
  dest->m_ToleranceSegment.InvalidateFrame();
  dest->m_FoundFrame.InvalidateFrame();
}

void EPointGauge::SetCenter(float x, float y) {
  EFrame::SetCenter(x, y);
  m_ToleranceSegment.SetCenter(x, y);
  InvalidateFrame();
}

void EPointGauge::SetCenter(EPoint center) { SetCenter(center.GetX(), center.GetY()); }

void EPointGauge::SetTolerance(float tolerance, float angle) {
  ReplacePlacement(this, [&] { ETransition::SetTolerance(tolerance, angle); });
}

void EPointGauge::SetTransitionChoice(GGE_TRANSITION_CHOICE choice) {
  ReplacePlacement(this, [&] { ETransition::SetTransitionChoice(choice); });
}

EFrame* EPointGauge::CastToFrame() {
  if (FollowsTransition()) return &m_FoundFrame;
  return &m_ToleranceSegment;
}

void EPointGauge::SetFound(int found, int daughters) {
  if (found && !GetFound()) PlaceFoundFrame();
  SwitchFound(this, found, [] {});
  EShape::SetFound(found, daughters);
}

void EPointGauge::SetActive(int active, int daughters) {
  if (!active && GetActive()) SetFound(0, 0);
  EShape::SetActive(active, daughters);
}

void EPointGauge::Rescale(float factor, int daughters) {
  ETransition::Rescale(factor);
  EPointShape::Rescale(factor, daughters);
}

void EPointGauge::Process(EROI<EBW8>* roi, int daughters) {
  if (GetActive()) Measure(roi);
  EShape::Process(roi, daughters);
}

void EPointGauge::Measure(EROI<EBW8>* roi) {
  EOk();
  SetFound(0, 0);
  ValidateFrame();
  // No region, or a band that cannot be summed: nothing is measured, and the transitions of the
  // last measurement, taken elsewhere, are dropped.
  if (!CanSample(roi, *this)) {
    m_Peaks.Empty();
    m_n32SelectedIndex = -1;
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("EPointGauge::Measure");
    return;
  }
  MeasureToleranceSegment(roi, m_pMother, true);
  if (GetValid()) SetFound(1, 0);
}

void EPointGauge::PlaceFoundFrame() {
  // Without a selected transition (a gauge made found by its caller), the nominal point.
  const EPoint p = GetValid() ? SelectedPointIn(m_pMother) : m_ToleranceSegment.GetCenter();
  m_FoundFrame.Set(p, m_ToleranceSegment.GetAngle(), 1.0f);
}

EPoint EPointGauge::GetMeasuredPoint(unsigned int index) {
  const EPoint p = ETransition::GetMeasuredPoint(index);
  return m_pMother != nullptr ? m_pMother->SensorToLocal(p) : p;
}

EFrame* EPointGauge::GetMeasuredFrame(unsigned int index) {
  const EPoint p = GetMeasuredPoint(index);
  EOk();
  m_MeasuredFrame.Set(p, m_ToleranceSegment.GetAngle(), 1.0f);
  return &m_MeasuredFrame;
}

void EPointGauge::Draw(Quarnel::DrawAdapter* adapter, INS_DRAWING_MODES mode, int daughters) {
  if (adapter == nullptr) return;
  ValidateFrame();
  if (PassesFilters() && GetVisible()) {
    if (mode == INS_DRAW_NOMINAL) {
      DrawToleranceSegment(adapter, m_pMother, true, GetOptionalDraw() != 0);
      if (GetDragable()) {
        if (m_eDraggingMode == INS_DRAG_FROM_FIXED_POINT || GetResizable() || GetRotatable()) {
          int x[2], y[2];
          EndHandlesOnDisplay(x[0], y[0], x[1], y[1]);
          for (int k = 0; k < 2; ++k)
            adapter->FillEllipse(x[k] - 3, y[k] - 3, 6, 6, Quarnel::DefaultColor,
                                 Quarnel::WhiteColor);
        }
        DrawHandle(adapter, m_ToleranceSegment.GetCenter());
      }
    } else if (mode == INS_DRAW_ACTUAL && GetActive() && GetValid()) {
      const bool all = m_eTransitionChoice == GGE_ALL_PEAKS;
      const unsigned first = all ? 0 : static_cast<unsigned>(m_n32SelectedIndex);
      const unsigned last = all ? m_Peaks.GetNumElements() : first + 1;
      for (unsigned i = first; i < last; ++i) {
        int x, y;
        SensorToDisplay(m_pMother, ETransition::GetMeasuredPoint(i), x, y);
        DrawCross(adapter, x, y);
        if (!WantsLabel()) continue;
        const EPoint p = GetMeasuredPoint(i);
        char name[kShapeLabelSize], label[kShapeLabelSize];
        std::snprintf(label, sizeof label, EPointShape::GetFormat(), LabelName(name, sizeof name),
                      static_cast<double>(p.GetX()), static_cast<double>(p.GetY()));
        adapter->DrawTextBox(label, x, y, Quarnel::DefaultColor, Quarnel::DefaultColor);
      }
    }
  }
  EShape::Draw(adapter, mode, daughters);
}
