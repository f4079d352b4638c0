// ELineGauge: measures a straight edge from profiles laid across a nominal segment, fitted by
// orthogonal least squares, with outlier filtering and three ways of bounding the result.
#ifndef VIMO_GAUGES_LINEGAUGE_H
#define VIMO_GAUGES_LINEGAUGE_H

#include "vimo/gauges/egauge_opdat.h"
#include "vimo/gauges/gauge.h"
#include "vimo/gauges/transition.h"
#include "vimo/shapes/lineshape.h"

class ELineGauge;

// The line gauge's operation data: at least 2 valid samples for a fit.
class VIMO_EXPORT ELineGauge_OpDat : public EGauge_OpDat {
 public:
  unsigned CountSamples(const EGauge* owner) const override;
  void ResetDefaults() override;
};

class VIMO_EXPORT ELineGauge : public ELineShape, public ETransition, public EGauge {
 public:
  // Nominal segment centred at (0, 0), length 100, angle 0; profiles 20 long every 5 units.
  ELineGauge();
  ELineGauge(const ELineGauge& other);
  ELineGauge& operator=(const ELineGauge& other);
  ~ELineGauge() override;

  using EShape::InvalidateFrame;
  using EShape::ValidateFrame;

  // Copies the shape part, the transition, the samples and results and the own fields; a NULL
  // dest allocates a gauge owned by the caller.
  ELineGauge* CopyTo(ELineGauge* dest, int recursive) const;

  // Nominal placement, in the mother's coordinates (angles in the caller's unit).
  void Set(EPoint center, float length, float angle);
  void Set(EPoint org, EPoint end);
  void Set(ELine line);

  // Spacing of the profiles along the nominal segment. A step that is not finite and positive
  // is refused with 32767 and the step is kept.
  float GetSamplingStep() const { return m_f32SamplingStep; }
  void SetSamplingStep(float step);
  // Non-zero: the fit keeps the nominal direction and finds only the position.
  int GetKnownAngle() const { return m_bKnownAngle; }
  void SetKnownAngle(int known) { m_bKnownAngle = known; }
  // How the fitted line is bounded. A mode other than 1 to 3 is refused with 32767.
  GGE_CLIPPING_MODE GetClippingMode() const;
  void SetClippingMode(GGE_CLIPPING_MODE mode);
  int GetRectangularSamplingArea() const { return GetTransitionRectangularSamplingArea(); }
  void SetRectangularSamplingArea(int rectangular) {
    SetTransitionRectangularSamplingArea(rectangular);
  }

  // max(1, ceil(nominal length / sampling step)); 0 when that is not a count a measurement
  // can take (NaN or huge length).
  unsigned int GetNumSamples();
  unsigned int GetNumSamples() const;

  // Lays the profiles, finds one transition on each, fits, filters and refits.
  void Measure(EROI<EBW8>* roi);
  // Fits the valid samples; with fewer than the minimum (or all at one point without a known
  // angle) nothing changes.
  void FitLine();

  // The last fitted segment while found, the nominal segment otherwise.
  ELine GetMeasuredLine() const;

  EShape* CreateShapeClone(int recursive) const override;
  INS_SHAPE_TYPES GetType() const override { return INS_SHAPE_TYPE_LINE_GAUGE; }
  void SetActive(int active, int daughters) override;
  void SetFound(int found, int daughters) override;
  // The measured line while found, so that daughters follow it; the nominal one otherwise.
  EFrame* CastToFrame() override;
  void Rescale(float factor, int daughters) override;
  using EShape::Draw;  // keeps the device-context form (Windows) in view
  void Draw(Quarnel::DrawAdapter* adapter, INS_DRAWING_MODES mode, int daughters) override;
  int HitTest(int daughters) override;
  void Drag(int x, int y) override;
  void Process(EROI<EBW8>* roi, int daughters) override;
  EShape* New() const override;

 protected:
  unsigned GetSignature() override { return 0x64042545u; }
  using ELineShape::Serialize;
  using ETransition::Serialize;
  // The gauge's record (gaugerecords.cpp); the serializer form runs it on a file stream.
  void Serialize(FILE* stream, int mode, unsigned version, int daughters) override;
  void Serialize(ESerializer* serializer, unsigned version, int daughters) override {
    SerializeThroughStream(serializer, version, daughters);
  }

  float m_f32SamplingStep;
  int m_bKnownAngle;
  ELine m_MeasuredLine;

 private:
  // Everything but the shape part, shared by CopyTo and New.
  void CopyGaugeFields(ELineGauge* dest) const;
  // Sets the measured line from the fitted direction (radians) through centroid m, bounded by
  // the clipping mode.
  void ClipFittedLine(EPoint m, float phi);
  // Calls visit(i, org, end) for the n profiles of a measurement, evenly from the nominal
  // origin to its end (a single one at the middle), each across the segment from its right
  // side to its left.
  template <class Visit>
  void ForEachProfile(unsigned n, Visit visit) const;
  // Mode 0: the nominal segment, its tolerance band and handles.
  void DrawNominal(Quarnel::DrawAdapter* adapter);
  // Mode 1: the result with its label.
  void DrawResult(Quarnel::DrawAdapter* adapter);
};

#endif
