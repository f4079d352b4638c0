// The rectangle gauge: measures an oriented rectangle edge by edge. Each of the edges x
// (u = -1), y (v = -1), X (u = +1) and Y (v = +1) is sampled by profiles crossing it from
// outside to inside, with its own transition; the fit takes the orientation from all edge
// points (or keeps the nominal one) and the position and size from opposite edges.
#ifndef VIMO_GAUGES_RECTANGLEGAUGE_H
#define VIMO_GAUGES_RECTANGLEGAUGE_H

#include "vimo/gauges/edgegauge.h"
#include "vimo/shapes/rectangleshape.h"

class ERectangleGauge;

// Operation data of the rectangle gauge: minimum fit samples 2 per edge, in the order x, y, X,
// Y.
class VIMO_EXPORT ERectangleGauge_OpDat : public EGauge_OpDat {
 public:
  unsigned CountSamples(const EGauge* owner) const override;
  void ResetDefaults() override;
};

class VIMO_EXPORT ERectangleGauge : public EEdgeGauge<ERectangleShape, ERectangle> {
 public:
  // Nominal rectangle centred at (0, 0), 100 x 100, angle 0; all edges active; step 5.
  ERectangleGauge();
  ERectangleGauge(const ERectangleGauge& other);
  ERectangleGauge& operator=(const ERectangleGauge& other);
  ~ERectangleGauge() override;

  // A null dst allocates a gauge the caller owns; copying onto itself does nothing.
  ERectangleGauge* CopyTo(ERectangleGauge* dst, int recursive) const;

  // Placement of the nominal rectangle.
  using ERectangleShape::Set;
  void Set(const ERectangle& rectangle);

  // Edges: 0x100 x, 0x200 X, 0x400 y, 0x800 Y; other bits are ignored.
  void SetActiveEdges(unsigned int bits) { m_un32ActiveEdges = bits; }
  // Profiles every step along each active edge; a step that is not finite and positive is
  // refused with 32767.
  void SetSamplingStep(float step);
  unsigned int GetNumSamplesx() const { return EdgeSamples(kEdgex); }
  unsigned int GetNumSamplesy() const { return EdgeSamples(kEdgey); }
  unsigned int GetNumSamplesX() const { return EdgeSamples(kEdgeX); }
  unsigned int GetNumSamplesY() const { return EdgeSamples(kEdgeY); }
  unsigned int GetNumSamples() const;
  // The transition of each edge (polarity, thresholds, tolerance).
  ETransition& GetTransitionx() { return m_Transitions[kEdgex]; }
  ETransition& GetTransitiony() { return m_Transitions[kEdgey]; }
  ETransition& GetTransitionX() { return m_Transitions[kEdgeX]; }
  ETransition& GetTransitionY() { return m_Transitions[kEdgeY]; }

  // Non-zero: the fit keeps the nominal angle.
  void SetKnownAngle(int known) { m_bKnownAngle = known; }
  int GetKnownAngle() const { return m_bKnownAngle; }

  // Inner filtering: after the first fit, valid samples inside the rectangle farther than the
  // threshold are filtered out. Off while the threshold is the largest float.
  void SetInnerFilteringThreshold(float threshold) { m_f32InnerFilteringThreshold = threshold; }
  float GetInnerFilteringThreshold() const { return m_f32InnerFilteringThreshold; }
  void DisableInnerFiltering();
  int IsInnerFilteringEnabled() const;

  // Measures every active edge in roi and fits the rectangle. Refused with 32767 (and not
  // found) for no image, geometry and step that give no finite sample count, or an active edge
  // whose transition cannot sample (thickness 0, or thickness x smoothing too large).
  void Measure(EROI<EBW8>* roi);
  // The closed-form fit of the current samples.
  void FitRectangle();
  ERectangle GetMeasuredRectangle() const { return MeasuredOrNominal(); }

  EShape* CreateShapeClone(int recursive) const override;
  INS_SHAPE_TYPES GetType() const override { return INS_SHAPE_TYPE_RECTANGLE_GAUGE; }
  void Process(EROI<EBW8>* roi, int daughters) override;
  EShape* New() const override;

 protected:
  unsigned GetSignature() override { return 0x63052345u; }
  using ERectangleShape::Serialize;
  // The gauge's record (gaugerecords.cpp); the serializer form runs it on a file stream.
  void Serialize(FILE* stream, int mode, unsigned version, int daughters) override;
  void Serialize(ESerializer* serializer, unsigned version, int daughters) override {
    SerializeThroughStream(serializer, version, daughters);
  }

 private:
  void ToleranceHandles(unsigned e, EPoint& first, EPoint& second) const override;
  float DistanceToEdge(unsigned e, EPoint p) const override;
  float ToleranceLimit(unsigned e) const override;
  enum { kEdgex = 0, kEdgey = 1, kEdgeX = 2, kEdgeY = 3 };

  unsigned EdgeSamples(unsigned edge) const;
  // Active edges have profiles from their first corner to their second, edges x and X along
  // size Y, y and Y along size X.
  bool SampleCounts(unsigned counts[4]) const override;
  void PlaceProfile(unsigned e, unsigned i, unsigned n, EPoint& center,
                    float& angle) const override;
  void DrawNominalBands(Quarnel::DrawAdapter* adapter) override;
  void DrawMeasured(Quarnel::DrawAdapter* adapter) override;
  void CopyRectangleGaugeFields(ERectangleGauge* dst) const;

  int m_bKnownAngle;
  float m_f32InnerFilteringThreshold;
};

#endif
