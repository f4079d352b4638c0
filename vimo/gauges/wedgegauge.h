// The wedge gauge: measures a ring, a ring sector or a pie slice. Its edges are the radial side
// a at the origin angle, the inner arc r, the radial side A at the end angle and the outer arc
// R, each with its own transition and on/off bit. Both arcs are fitted with one common centre;
// the origin angle and amplitude come from the mean positions of the radial sides.
#ifndef VIMO_GAUGES_WEDGEGAUGE_H
#define VIMO_GAUGES_WEDGEGAUGE_H

#include "vimo/gauges/edgegauge.h"
#include "vimo/shapes/wedgeshape.h"

class EWedgeGauge;

// Operation data of the wedge gauge: minimum fit samples 3 for edge R, 1 for a, 3 for r and 1
// for A, in that order.
class VIMO_EXPORT EWedgeGauge_OpDat : public EGauge_OpDat {
 public:
  unsigned CountSamples(const EGauge* owner) const override;
  void ResetDefaults() override;
};

class VIMO_EXPORT EWedgeGauge : public EEdgeGauge<EWedgeShape, EWedge> {
 public:
  // Nominal pie slice of radius 50 centred at (0, 0), a full turn from angle 0; all edges
  // active (only R exists on it); step 5.
  EWedgeGauge();
  EWedgeGauge(const EWedgeGauge& other);
  EWedgeGauge& operator=(const EWedgeGauge& other);
  ~EWedgeGauge() override;

  // A null dst allocates a gauge the caller owns; copying onto itself does nothing.
  EWedgeGauge* CopyTo(EWedgeGauge* dst, int recursive) const;

  // Placement of the nominal wedge.
  using EWedgeShape::Set;
  void Set(const EWedge& wedge);

  // Edges: 0x100 a, 0x200 A, 0x400 r, 0x800 R. A set without an arc (neither 0x400 nor 0x800)
  // is refused with 12100, leaving the edges unchanged.
  void SetActiveEdges(unsigned int bits);
  // Profiles every step along each edge (the radial sides half as densely); a step that is not
  // finite and positive is refused with 32767.
  void SetSamplingStep(float step);
  unsigned int GetNumSamplesa() const { return EdgeSamples(kEdgea); }
  unsigned int GetNumSamplesr() const { return EdgeSamples(kEdger); }
  unsigned int GetNumSamplesA() const { return EdgeSamples(kEdgeA); }
  unsigned int GetNumSamplesR() const { return EdgeSamples(kEdgeR); }
  unsigned int GetNumSamples() const;
  // The transition of each edge (polarity, thresholds, tolerance).
  ETransition& GetTransitiona() { return m_Transitions[kEdgea]; }
  ETransition& GetTransitionr() { return m_Transitions[kEdger]; }
  ETransition& GetTransitionA() { return m_Transitions[kEdgeA]; }
  ETransition& GetTransitionR() { return m_Transitions[kEdgeR]; }

  // Measures every active edge that exists in roi and fits the wedge. Refused with 32767 (and
  // not found) for no image, geometry and step that give no finite sample count, or an edge
  // to be sampled whose transition cannot sample (thickness 0, or thickness x smoothing too
  // large).
  void Measure(EROI<EBW8>* roi);
  // Measures profile `index` of every edge that has that many, so that each transition's
  // profile and peaks can be inspected; the samples and results stay as they are.
  void MeasureSample(EROI<EBW8>* roi, unsigned int index);
  // The sample last given to MeasureSample; 0xFFFFFFFF before the first.
  unsigned int GetSelectedSample() const { return m_un32SelectedSample; }
  // The common-centre fit of the current samples.
  void FitWedge();
  EWedge GetMeasuredWedge() const { return MeasuredOrNominal(); }

  EShape* CreateShapeClone(int recursive) const override;
  INS_SHAPE_TYPES GetType() const override { return INS_SHAPE_TYPE_WEDGE_GAUGE; }
  void Process(EROI<EBW8>* roi, int daughters) override;
  EShape* New() const override;

 protected:
  unsigned GetSignature() override { return 0x66042745u; }
  using EWedgeShape::Serialize;
  // The gauge's record (gaugerecords.cpp); the serializer form runs it on a file stream.
  void Serialize(FILE* stream, int mode, unsigned version, int daughters) override;
  void Serialize(ESerializer* serializer, unsigned version, int daughters) override {
    SerializeThroughStream(serializer, version, daughters);
  }

 private:
  enum { kEdgea = 0, kEdger = 1, kEdgeA = 2, kEdgeR = 3 };

  // Whether edge e exists on the nominal wedge: the sides not on a full circle, the inner arc
  // not on a pie slice.
  bool EdgeExists(unsigned e) const;
  unsigned EdgeSamples(unsigned edge) const;
  // Active edges that exist have profiles; the radial sides half as densely as the arcs.
  bool SampleCounts(unsigned counts[4]) const override;
  void PlaceProfile(unsigned e, unsigned i, unsigned n, EPoint& center,
                    float& angle) const override;
  void DrawNominalBands(Quarnel::DrawAdapter* adapter) override;
  void DrawMeasured(Quarnel::DrawAdapter* adapter) override;
  unsigned SelectedSample() const override { return m_un32SelectedSample; }
  // Handle pairs in the order a, A, r, R, on every edge that exists, active or not; a
  // dragged tolerance goes to every active edge that exists.
  unsigned HandleEdge(unsigned k) const override;
  bool OffersToleranceHandles(unsigned e) const override { return EdgeExists(e); }
  bool TakesCommonTolerance(unsigned e) const override { return EdgeActive(e) && EdgeExists(e); }
  void ToleranceHandles(unsigned e, EPoint& first, EPoint& second) const override;
  float DistanceToEdge(unsigned e, EPoint p) const override;
  float ToleranceLimit(unsigned e) const override;

  uint32_t m_un32SelectedSample;
};

#endif
