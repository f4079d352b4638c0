// EPointGauge: finds the transitions along a short segment of an image, centred on the
// gauge's nominal point; daughters follow the selected transition once it is found.
#ifndef VIMO_GAUGES_POINTGAUGE_H
#define VIMO_GAUGES_POINTGAUGE_H

#include "vimo/gauges/transition.h"
#include "vimo/shapes/pointshape.h"

class VIMO_EXPORT EPointGauge : public EPointShape, public ETransition {
 public:
  // Nominal point (x, y) in the mother's coordinates; a tolerance segment 20 long at angle 0
  // centred on it; every transition is a result.
  explicit EPointGauge(float x = 0, float y = 0);
  EPointGauge(const EPointGauge& other);
  EPointGauge& operator=(const EPointGauge& other);
  ~EPointGauge() override;

  using EShape::InvalidateFrame;
  using EShape::ValidateFrame;

  // Copies the shape part, the transition (parameters and results) and the measured frame; a
  // NULL dest allocates a gauge owned by the caller.
  EPointGauge* CopyTo(EPointGauge* dest, int recursive) const;

  // Moves the nominal point and the tolerance segment with it.
  void SetCenter(float x, float y);
  void SetCenter(EPoint center);
  // As ETransition's; the daughters are re-placed when they follow the segment.
  void SetTolerance(float tolerance, float angle);
  void SetTransitionChoice(GGE_TRANSITION_CHOICE choice);
  int GetRectangularSamplingArea() const { return GetTransitionRectangularSamplingArea(); }
  void SetRectangularSamplingArea(int rectangular) {
    SetTransitionRectangularSamplingArea(rectangular);
  }

  // Measures along the tolerance segment; found when a transition is selected.
  void Measure(EROI<EBW8>* roi);
  // The transition at index (all bits set: the selected one) in the mother's coordinates.
  // Errors as ETransition::GetMeasuredPoint, left set.
  EPoint GetMeasuredPoint(unsigned int index = ~0u);
  // That point as a frame along the tolerance segment, with the error state cleared; owned by
  // the gauge, valid until the next call.
  EFrame* GetMeasuredFrame(unsigned int index = ~0u);

  EShape* CreateShapeClone(int recursive) const override;
  INS_SHAPE_TYPES GetType() const override { return INS_SHAPE_TYPE_POINT_GAUGE; }
  void SetActive(int active, int daughters) override;
  void SetFound(int found, int daughters) override;
  // The selected transition once found (unless every transition is a result); the tolerance
  // segment otherwise.
  EFrame* CastToFrame() override;
  void Rescale(float factor, int daughters) override;
  using EShape::Draw;  // keeps the device-context form (Windows) in view
  void Draw(Quarnel::DrawAdapter* adapter, INS_DRAWING_MODES mode, int daughters) override;
  int HitTest(int daughters) override;
  void Drag(int x, int y) override;
  void Process(EROI<EBW8>* roi, int daughters) override;
  EShape* New() const override;
  void ArrangeDaughters() override {}

 protected:
  unsigned GetSignature() override { return 0x65042445u; }
  using EPointShape::Serialize;
  using ETransition::Serialize;
  // The gauge's record (gaugerecords.cpp); the serializer form runs it on a file stream.
  void Serialize(FILE* stream, int mode, unsigned version, int daughters) override;
  void Serialize(ESerializer* serializer, unsigned version, int daughters) override {
    SerializeThroughStream(serializer, version, daughters);
  }

  EFrame m_MeasuredFrame;

 private:
  // Display positions of the tolerance segment's two ends, where the end handles sit: the ends
  // as sampled, after the horizontal/vertical adjustment, when that adjustment is on.
  void EndHandlesOnDisplay(int& x0, int& y0, int& x1, int& y1);
  // Everything but the shape part, shared by CopyTo and New.
  void CopyGaugeFields(EPointGauge* dest) const;
  // Whether daughters follow the selected transition rather than the tolerance segment.
  bool FollowsTransition() const { return GetFound() && m_eTransitionChoice != GGE_ALL_PEAKS; }
  // Sets m_FoundFrame on the selected transition, as the gauge becomes found.
  void PlaceFoundFrame();
  // The selected transition as daughters follow it, set each time the gauge becomes found.
  EFrame m_FoundFrame;
};

#endif
