// ECircleGauge: measures a circle or an arc from radial profiles laid across a nominal arc,
// fitted by linear least squares (plain or weighted by edge strength), with one-sided inner
// filtering, outlier filtering and a circularity score.
#ifndef VIMO_GAUGES_CIRCLEGAUGE_H
#define VIMO_GAUGES_CIRCLEGAUGE_H

#include "vimo/gauges/egauge_opdat.h"
#include "vimo/gauges/gauge.h"
#include "vimo/gauges/transition.h"
#include "vimo/shapes/circleshape.h"

// Which circle fit a measurement runs.
enum GGE_FITTING_MODE : int {
  GGE_FITTING_UNWEIGHTED = 1,  // every valid sample counts the same
  GGE_FITTING_WEIGHTED = 2     // samples weigh by their transition strength; gives circularity
};

// The circle gauge's operation data: at least 3 valid samples for a fit.
class VIMO_EXPORT ECircleGauge_OpDat : public EGauge_OpDat {
 public:
  unsigned CountSamples(const EGauge* owner) const override;
  void ResetDefaults() override;
};

class VIMO_EXPORT ECircleGauge : public ECircleShape, public ETransition, public EGauge {
 public:
  // Nominal full circle centred at (0, 0), diameter 100, origin angle 0, direct sense;
  // profiles 20 long every 5 units of arc.
  ECircleGauge();
  ECircleGauge(const ECircleGauge& other);
  ECircleGauge& operator=(const ECircleGauge& other);
  ~ECircleGauge() override;

  using EShape::InvalidateFrame;
  using EShape::ValidateFrame;

  // Copies the shape part, the transition, the samples and results and the own fields; a NULL
  // dest allocates a gauge owned by the caller.
  ECircleGauge* CopyTo(ECircleGauge* dest, int recursive) const;

  // Nominal placement, in the mother's coordinates (angles in the caller's unit).
  void Set(ECircle circle);
  void Set(EPoint center, float diameter, float orgAngle, int direct);
  void Set(EPoint center, float diameter, float orgAngle, float amplitude);
  void Set(EPoint center, EPoint org, int direct);
  void Set(EPoint first, EPoint middle, EPoint last, int full);

  // Arc length between two profiles. A step that is not finite and positive is refused with
  // 32767 and the step is kept.
  float GetSamplingStep() const { return m_f32SamplingStep; }
  void SetSamplingStep(float step);
  // max(1, ceil(arc length / sampling step)); 0 when that is not a count a measurement can
  // take (NaN or huge geometry).
  unsigned int GetNumSamples();
  unsigned int GetNumSamples() const;
  int GetRectangularSamplingArea() const { return GetTransitionRectangularSamplingArea(); }
  void SetRectangularSamplingArea(int rectangular) {
    SetTransitionRectangularSamplingArea(rectangular);
  }

  // Inner filtering removes the valid samples farther inside the fitted circle than the
  // threshold, then refits. The largest float turns it off (the default).
  void SetInnerFilteringThreshold(float threshold) { m_f32InnerFilteringThreshold = threshold; }
  float GetInnerFilteringThreshold() const { return m_f32InnerFilteringThreshold; }
  void DisableInnerFiltering();
  int IsInnerFilteringEnabled() const;

  void SetFittingMode(GGE_FITTING_MODE mode) { m_eFittingMode = mode; }
  GGE_FITTING_MODE GetFittingMode() const { return m_eFittingMode; }
  // The fits of the valid samples. Too few samples, or samples on one line or at one point,
  // leave every result as it was.
  void FitCircle();
  void FitCircleWeighted();

  // Lays the profiles, finds one transition on each, fits, filters and refits.
  void Measure(EROI<EBW8>* roi);

  // The last fitted circle (full, origin angle 0) while found, the nominal one otherwise.
  ECircle GetMeasuredCircle() const;
  // Results of the weighted fit: the circularity score in [0, 1] and the sum of the weights.
  float GetMeasuredCircularity() const { return m_f32MeasuredCircularity; }
  float GetMeasuredTotalTransition() const { return m_f32MeasuredTotalTransition; }

  EShape* CreateShapeClone(int recursive) const override;
  INS_SHAPE_TYPES GetType() const override { return INS_SHAPE_TYPE_CIRCLE_GAUGE; }
  void SetActive(int active, int daughters) override;
  void SetFound(int found, int daughters) override;
  // The measured circle while found, so that daughters follow it; the nominal one otherwise.
  EFrame* CastToFrame() override;
  void Rescale(float factor, int daughters) override;
  using EShape::Draw;  // keeps the device-context form (Windows) in view
  void Draw(Quarnel::DrawAdapter* adapter, INS_DRAWING_MODES mode, int daughters) override;
  int HitTest(int daughters) override;
  void Drag(int x, int y) override;
  void Process(EROI<EBW8>* roi, int daughters) override;
  EShape* New() const override;

 protected:
  unsigned GetSignature() override { return 0x60042145u; }
  using ECircleShape::Serialize;
  using ETransition::Serialize;
  // The gauge's record (gaugerecords.cpp); the serializer form runs it on a file stream.
  void Serialize(FILE* stream, int mode, unsigned version, int daughters) override;
  void Serialize(ESerializer* serializer, unsigned version, int daughters) override {
    SerializeThroughStream(serializer, version, daughters);
  }

  float m_f32SamplingStep;
  float m_f32InnerFilteringThreshold;
  GGE_FITTING_MODE m_eFittingMode;
  float m_f32MeasuredCircularity;
  float m_f32MeasuredTotalTransition;
  ECircle m_MeasuredCircle;

 private:
  // Everything but the shape part, shared by CopyTo and New.
  void CopyGaugeFields(ECircleGauge* dest) const;
  // Calls visit(i, org, end) for the n radial profiles of a measurement, from inside to
  // outside, evenly along the nominal arc.
  template <class Visit>
  void ForEachProfile(unsigned n, Visit visit) const;
  // The shared part of both fits: weights (NULL: all 1) give the weighted moments. Returns
  // false, with nothing changed, when there is no circle to fit.
  bool Fit(bool weighted);
  // Mode 0: the nominal arc, its tolerance band and handles.
  void DrawNominal(Quarnel::DrawAdapter* adapter);
  // Mode 1: the result with its label.
  void DrawResult(Quarnel::DrawAdapter* adapter);
};

#endif
