// EEdgeGauge: what the rectangle and wedge gauges share. The shape holds the nominal geometry;
// each of the four edges has its own transition and on/off bit; the samples of all edges are
// concatenated in edge order; while the gauge is found, its daughters follow the measured
// geometry instead of the nominal one.
#ifndef VIMO_GAUGES_EDGEGAUGE_H
#define VIMO_GAUGES_EDGEGAUGE_H

#include "vimo/gauges/gauge.h"
#include "vimo/gauges/transition.h"
#include "vimo/shapes/shape.h"

template <class Shape, class Geometry>
class VIMO_EXPORT EEdgeGauge : public Shape, public EGauge {
 public:
  // Setting found sets the flag; clearing it copies the nominal geometry into the measured one.
  // Every change of the flag hands the daughters another frame, so their frames are dropped.
  void SetFound(int found, int daughters) override;
  // Clearing the flag of an active gauge also makes it not found.
  void SetActive(int active, int daughters) override;
  // The measured geometry while found, the nominal one otherwise.
  EFrame* CastToFrame() override;

  unsigned int GetActiveEdges() const { return m_un32ActiveEdges; }
  float GetSamplingStep() const { return m_f32SamplingStep; }
  // The rectangular sampling band of all four transitions (read from the first edge's).
  void SetRectangularSamplingArea(int rectangular);
  int GetRectangularSamplingArea() const;
  // The sampler of all four transitions (read from the first edge's); each edge's own
  // transition sets its own. A value outside GGE_SAMPLING_MODE is refused with 32767.
  void SetSamplingMode(GGE_SAMPLING_MODE mode);
  GGE_SAMPLING_MODE GetSamplingMode() const { return m_Transitions[0].GetSamplingMode(); }

  // Rescales the four transitions and the sampling step, then the shape.
  void Rescale(float factor, int daughters) override;
  // By drawing mode: 0 the nominal outline with the tolerance band of each active edge, 1 the
  // measured outline with its label (the nominal one while not found), 3 every profile, 4 the
  // profiles of the selected sample where the gauge has one, 5, 6 and 8 the skipped, valid and
  // filtered-out samples.
  using Shape::Draw;  // keeps the device-context form (Windows) in view
  void Draw(Quarnel::DrawAdapter* adapter, INS_DRAWING_MODES mode, int daughters) override;
  // The shape's handles, then two tolerance handles (0xC to 0x13, a pair per edge in the
  // gauge's handle order) on either side of each edge that offers them, then the daughters.
  int HitTest(int daughters) override;
  // A tolerance handle sets the dragged edge's tolerance to the pointer's distance from it, and
  // the same on the other edges that take a common tolerance; any other handle drags the
  // shape. Either way each tolerance is then kept within its edge's limit.
  void Drag(int x, int y) override;

 protected:
  template <class... ShapeArgs>
  explicit EEdgeGauge(EGauge_OpDat* operationData, ShapeArgs... shapeArgs)
      : Shape(shapeArgs...),
        EGauge(operationData),
        m_un32ActiveEdges(0xF00),
        m_f32SamplingStep(5.0f),
        m_Measured(static_cast<const Geometry&>(*this)) {}

  // The on/off bit of edge e (processing order): 0x100, 0x400, 0x200, 0x800.
  bool EdgeActive(unsigned e) const {
    static const unsigned kBits[4] = {0x100, 0x400, 0x200, 0x800};
    return e < 4 && (m_un32ActiveEdges & kBits[e]) != 0;
  }

  // The record both kinds share (gaugerecords.cpp): version byte, operation data, the shape's
  // record, the four transitions, filtering threshold, sampling step and passes, and the active
  // edges in files above version 3. False when the record stopped on an error.
  bool SerializeEdgeRecord(FILE* stream, int mode, unsigned version, int daughters,
                           const char* trace);

  // What each gauge kind supplies: the profile count of each edge (false when an edge to be
  // sampled gets none: step or geometry not usable), the centre (mother's coordinates) and
  // direction (radians) of profile i of the n of edge e, the drawing of the nominal tolerance
  // bands and of the result, and the sample whose profiles mode 4 draws (none by default).
  virtual bool SampleCounts(unsigned counts[4]) const = 0;
  virtual void PlaceProfile(unsigned e, unsigned i, unsigned n, EPoint& center,
                            float& angle) const = 0;
  virtual void DrawNominalBands(Quarnel::DrawAdapter* adapter) = 0;
  virtual void DrawMeasured(Quarnel::DrawAdapter* adapter) = 0;
  virtual unsigned SelectedSample() const { return 0xFFFFFFFFu; }
  // Tolerance handles: the edge whose pair comes k-th, whether edge e offers its pair, the two
  // handle points (mother's coordinates), the pointer's distance from the nominal edge, the
  // largest tolerance the edge takes, and whether it takes a tolerance dragged on another edge.
  virtual unsigned HandleEdge(unsigned k) const { return k; }
  virtual bool OffersToleranceHandles(unsigned e) const { return EdgeActive(e); }
  virtual void ToleranceHandles(unsigned e, EPoint& first, EPoint& second) const = 0;
  virtual float DistanceToEdge(unsigned e, EPoint p) const = 0;
  virtual float ToleranceLimit(unsigned e) const = 0;
  virtual bool TakesCommonTolerance(unsigned e) const { return EdgeActive(e); }

  Geometry MeasuredOrNominal() const {
    return this->GetFound() ? m_Measured : static_cast<const Geometry&>(*this);
  }
  // Stores a sampling step that is finite and positive; otherwise 32767 with the trace.
  void StoreSamplingStep(float step, const char* trace);
  // The EGauge part, the transitions, active edges, step and measured geometry, into dst.
  void CopyEdgeGaugeFields(EEdgeGauge* dst) const;
  // Marks the nominal and measured frames and the daughters' frames out of date.
  void ForgetFrames();
  // The measured geometry becomes result, the gauge found, and the daughters follow it.
  void TakeResult(const Geometry& result);

  // The profiles of a measurement: not found, measured geometry nominal, frame validated, one
  // fresh sample per profile of every edge in turn, each measured by its edge's transition.
  // Refused with 32767 and the trace for no image, unusable profile counts or an edge whose
  // transition cannot sample; false without an error when no edge has a profile.
  bool MeasureProfiles(EROI<EBW8>* roi, const char* trace);
  // One profile of transition t, centred on center at angle (radians); the transition's point
  // in the mother's coordinates when one was found.
  bool MeasureProfile(ETransition& t, EROI<EBW8>* roi, EPoint center, float angle, EPoint& point);

  // Drawing, in the mother's coordinates: the band of +-tolerance along direction angle
  // around the segment a-b, closed at its ends, with a handle on either side of its middle
  // when the gauge is draggable; a cross at every sample the mode shows (5 skipped, 6 valid,
  // 8 filtered out); the profiles, all of them or those of one sample.
  void DrawBand(Quarnel::DrawAdapter* adapter, EPoint a, EPoint b, float angle, float tolerance);
  void DrawSamples(Quarnel::DrawAdapter* adapter, INS_DRAWING_MODES mode);
  void DrawProfiles(Quarnel::DrawAdapter* adapter, unsigned onlySample);
  // The result's label at p; the name's line is left out when the gauge is not labelled.
  void DrawResultLabel(Quarnel::DrawAdapter* adapter, const char* label, EPoint p);
  // The name a result label carries: the gauge's when labelled, else "".
  const char* ResultName(char* buffer, unsigned size) const {
    return this->GetLabeled() ? this->LabelName(buffer, size) : "";
  }

  ETransition m_Transitions[4];  // in edge processing order
  uint32_t m_un32ActiveEdges;
  float m_f32SamplingStep;
  Geometry m_Measured;
};

#endif
