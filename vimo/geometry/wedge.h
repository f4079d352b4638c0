// EWedge: the part of an annulus between two concentric circles within an angular range.
#ifndef VIMO_GEOMETRY_WEDGE_H
#define VIMO_GEOMETRY_WEDGE_H

#include "vimo/core/vimo_export.h"
#include "vimo/geometry/circle.h"
#include "vimo/geometry/line.h"

// The frame's centre is the common centre, its angle the origin angle. The amplitude is signed,
// in radians; exactly +-2pi (the single-precision full turn) is a ring. After every setter the
// co-radius is the inner radius (0 for a pie slice) and the radius the outer one; the getters
// take min and max anyway. A default wedge has both radii and the amplitude 0.
class VIMO_EXPORT EWedge : public EFrame {
 public:
  EWedge() : m_f32CoRadius(0.0f), m_f32Radius(0.0f), m_f32Amplitude(0.0f) {}
  EWedge(const EPoint& center, float diameter, float breadth, float orgAngle, int direct);
  EWedge(const EPoint& center, float diameter, float breadth, float orgAngle, float amplitude);
  EWedge(const EPoint& center, const EPoint& org, float breadth, int direct);
  EWedge(const EPoint& first, const EPoint& middle, const EPoint& last, float breadth, int full);
  EWedge(const EWedge&) = default;
  EWedge& operator=(const EWedge&) = default;

  EPoint* CreatePointClone() override;
  // Stream form (mode non-zero writes): version byte 1, the frame record, the amplitude
  // (radians), the co-radius, the radius. Failures set 1103/1104/1108 (traced
  // "EWedge::Serialize") and stop the record; a field that cannot be read is left unchanged.
  void Serialize(FILE* stream, int mode, unsigned int version) override;
  // Accepts only an EFilePointerSerializer and runs the stream form on its stream and direction;
  // any other serializer throws Quarnel::Vexlor::Exception(1111).
  void Serialize(ESerializer* serializer, unsigned int version) override;

  EWedge* CopyTo(EWedge* dest) const;

  // breadth 0: both radii = radius (zero breadth); > 0: the band runs outward from radius;
  // < 0: inward from radius. A NaN breadth goes the inward way and makes the co-radius NaN.
  void SetRadii(float radius, float breadth);
  // With r = diameter / 2: breadth 0 gives a pie slice (outer r, inner 0); > 0 the band runs
  // outward from r; < 0 inward from r. breadth is a radial length, not halved.
  void SetDiameters(float diameter, float breadth);
  float GetInnerRadius() const;
  float GetOuterRadius() const;
  float GetInnerDiameter() const { return 2.0f * GetInnerRadius(); }
  float GetOuterDiameter() const { return 2.0f * GetOuterRadius(); }
  // Co-radius minus radius: 0 or negative after the setters.
  float GetBreadth() const { return m_f32CoRadius - m_f32Radius; }
  int GetFullBreadth() const { return m_f32CoRadius == 0.0f ? 1 : 0; }

  // Caller's unit, converted to radians, no snapping (unlike ECircle::SetAmplitude).
  void SetAmplitude(float amplitude) { m_f32Amplitude = EToRadians(amplitude); }
  float GetAmplitude() const { return EFromRadians(m_f32Amplitude); }
  float GetOrgAngle() const { return GetAngle(); }
  // Origin + amplitude / 2 and origin + amplitude, caller's unit, not wrapped.
  float GetApexAngle() const { return EFromRadians(m_f32Angle + 0.5f * m_f32Amplitude); }
  float GetEndAngle() const { return EFromRadians(m_f32Angle + m_f32Amplitude); }
  int GetFullCircle() const;
  int GetDirect() const { return m_f32Amplitude > 0.0f ? 1 : 0; }

  // Ring of the given diameter and breadth (SetDiameters), amplitude +2pi (direct non-zero) or
  // -2pi, origin angle in the caller's unit.
  void Set(const EPoint& center, float diameter, float breadth, float orgAngle, int direct);
  // As above with an amplitude in the caller's unit, snapped to +-2pi within 0.0001 rad.
  void Set(const EPoint& center, float diameter, float breadth, float orgAngle, float amplitude);
  // Ring centred on center with diameter 2|org - center| and its origin at org. Equal points
  // give diameter 0 and origin angle 0.
  void Set(const EPoint& center, const EPoint& org, float breadth, int direct);
  // Centre, origin angle and amplitude of the circle or arc through the three points (as
  // ECircle), then SetRadii(its radius, breadth). Three collinear points or two equal points set
  // 32767, traced "EWedge::Set", and leave the wedge unchanged.
  void Set(const EPoint& first, const EPoint& middle, const EPoint& last, float breadth, int full);

  EPoint GetInnerOrg() const;
  EPoint GetOuterOrg() const;
  EPoint GetInnerEnd() const;
  EPoint GetOuterEnd() const;
  // t = 0 on the origin side, 1 on the end side.
  EPoint GetInnerPoint(float t) const;
  EPoint GetOuterPoint(float t) const;
  EPoint GetInnerApex() const { return GetInnerPoint(0.5f); }
  EPoint GetOuterApex() const { return GetOuterPoint(0.5f); }
  // s from 0 (inner) to 1 (outer); t from -1 (origin side) to +1 (end side).
  EPoint GetPoint(float s, float t) const;
  float GetInnerArcLength() const;
  float GetOuterArcLength() const;
  // a inner origin, b inner end, c outer origin, d outer end.
  void GetCorners(EPoint& a, EPoint& b, EPoint& c, EPoint& d) const;
  // a middle of the origin side, b middle of the end side, c inner apex, d outer apex.
  void GetMidEdges(EPoint& a, EPoint& b, EPoint& c, EPoint& d) const;
  // a inner to outer origin, b inner to outer end; c the arc of radius m_f32Radius, d the arc of
  // radius m_f32CoRadius, both with the wedge's centre, origin angle and amplitude.
  void GetEdges(ELine& a, ELine& b, ECircle& c, ECircle& d) const;

 protected:
  // The point at radius r and angle theta (radians) about the centre.
  EPoint PointAt(float r, float theta) const;

  float m_f32CoRadius;
  float m_f32Radius;
  float m_f32Amplitude;
};

#endif
