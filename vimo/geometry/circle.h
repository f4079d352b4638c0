// ECircle: a circle or circular arc (centre, origin angle, radius, signed amplitude).
#ifndef VIMO_GEOMETRY_CIRCLE_H
#define VIMO_GEOMETRY_CIRCLE_H

#include "vimo/core/vimo_export.h"
#include "vimo/geometry/frame.h"

// The frame's centre is the circle's centre and its angle the origin angle of the arc. The
// amplitude is stored in radians; exactly +2pi or -2pi (the single-precision full turn) is a
// full circle, positive is the direct sense. The frame's scale and cache are carried along and
// not used here. A default circle has radius 0 and amplitude 0.
class VIMO_EXPORT ECircle : public EFrame {
 public:
  // The single-precision full turn, 6.2831855.
  static constexpr float kFullTurn = 6.28318548f;

  ECircle() : m_f32Radius(0.0f), m_f32Amplitude(0.0f) {}
  ECircle(const EPoint& center, float diameter, float orgAngle, int direct);
  ECircle(const EPoint& center, float diameter, float orgAngle, float amplitude);
  ECircle(const EPoint& center, const EPoint& org, int direct);
  ECircle(const EPoint& first, const EPoint& middle, const EPoint& last, int full);
  ECircle(const ECircle&) = default;
  ECircle& operator=(const ECircle&) = default;

  EPoint* CreatePointClone() override;
  // Stream form (mode non-zero writes): version byte 1, the frame record, the amplitude
  // (radians), the radius. Failures set 1103/1104/1108 (traced "ECircle::Serialize") and stop
  // the record at the first error; a field that cannot be read is left unchanged.
  void Serialize(FILE* stream, int mode, unsigned int version) override;
  // Accepts only an EFilePointerSerializer and runs the stream form on its stream and direction;
  // any other serializer throws Quarnel::Vexlor::Exception(1111).
  void Serialize(ESerializer* serializer, unsigned int version) override;

  ECircle* CopyTo(ECircle* dest) const;

  // Full circle: radius = diameter / 2, origin angle in the caller's unit, amplitude +2pi when
  // direct is non-zero, else -2pi.
  void Set(const EPoint& center, float diameter, float orgAngle, int direct);
  // Arc: amplitude in the caller's unit, snapped to exactly +-2pi when within 0.0001 rad of it.
  void Set(const EPoint& center, float diameter, float orgAngle, float amplitude);
  // Full circle centred on center through org, with its origin at org. Equal points give a
  // circle of radius 0 with origin angle 0.
  void Set(const EPoint& center, const EPoint& org, int direct);
  // The circle through three points: with full zero the arc from first through middle to last,
  // otherwise the full circle turning in the sense in which the points are met. Three collinear
  // points or two equal points have no such circle: the call then sets 32767, traced
  // "ECircle::Set", and leaves the circle unchanged. Non-finite points are treated the same way.
  void Set(const EPoint& first, const EPoint& middle, const EPoint& last, int full);

  void SetRadius(float radius) { m_f32Radius = radius; }
  void SetDiameter(float diameter) { m_f32Radius = 0.5f * diameter; }
  // Radians whatever the current angle unit; no snapping to a full turn.
  void SetAmplitude(float amplitude) { m_f32Amplitude = amplitude; }

  float GetRadius() const { return m_f32Radius; }
  float GetDiameter() const { return 2.0f * m_f32Radius; }
  // The frame angle wrapped into (-pi, pi], caller's unit.
  float GetOrgAngle() const { return GetAngle(); }
  float GetAmplitude() const;
  // Origin + amplitude / 2 and origin + amplitude, caller's unit, not wrapped.
  float GetApexAngle() const;
  float GetEndAngle() const;
  float GetArcLength() const;
  int GetFull() const;
  int GetDirect() const { return m_f32Amplitude > 0.0f ? 1 : 0; }

  EPoint GetOrg() const;
  EPoint GetApex() const;
  EPoint GetEnd() const;
  // t = -1 the origin, 0 the apex, +1 the end; outside [-1, 1] continues along the circle.
  EPoint GetPoint(float t) const;

  // An amplitude in radians snapped to exactly +-2pi when within 0.0001 of a full turn.
  static float SnapAmplitude(float amplitude);
  // The circle through three points, all angles in radians, without touching the error state:
  // returns false (outputs untouched) for collinear, coincident or non-finite points.
  static bool ThroughThreePoints(const EPoint& first, const EPoint& middle, const EPoint& last,
                                 int full, EPoint& center, float& radius, float& orgAngle,
                                 float& amplitude);

  using EPoint::Distance;
  // The gap between the two discs, 0 when they touch or overlap; arcs count as full circles.
  float Distance(const ECircle& other) const;

 protected:
  // The point at angle theta (radians) on the circle.
  EPoint PointAt(float theta) const;

  float m_f32Radius;
  float m_f32Amplitude;
};

#endif
