// EPoint: the two-dimensional point value class, root of every geometric class.
#ifndef VIMO_GEOMETRY_POINT_H
#define VIMO_GEOMETRY_POINT_H

#include <cstdio>

#include "vimo/core/core.h"
#include "vimo/core/vimo_export.h"

class ELine;
class ECircle;

// A point of two single-precision coordinates. The three virtual operations come first in the
// table, in this order: CreatePointClone, Serialize(FILE*, ...), Serialize(ESerializer*, ...).
//
// Non-finite coordinates are carried as given: every operation follows IEEE arithmetic, so a NaN
// or infinite input yields NaN or infinite results, never a crash.
class VIMO_EXPORT EPoint {
 public:
  EPoint() : m_f32CenterX(0.0f), m_f32CenterY(0.0f) {}
  EPoint(float x, float y) : m_f32CenterX(x), m_f32CenterY(y) {}
  EPoint(const EPoint&) = default;
  EPoint& operator=(const EPoint&) = default;

  // A new heap copy of the object's own dynamic class; the caller owns it.
  virtual EPoint* CreatePointClone();
  // Stream form: wraps the stream in an EFilePointerSerializer (mode non-zero writes) and runs
  // the serializer form. Failures are reported through the error state (1103, 1104, 1108) and
  // traced "EPoint::Serialize"; this form never throws.
  virtual void Serialize(FILE* stream, int mode, unsigned int version);
  // Serializer form: version byte 1, then x and y as raw little-endian floats. A stored version
  // above 1 throws Quarnel::Vexlor::Exception(1108); a failed transfer throws 1103 or 1104. On
  // reading, a coordinate changes only once its four bytes have been read.
  virtual void Serialize(ESerializer* serializer, unsigned int version);
  virtual ~EPoint() = default;

  void Set(float x, float y) {
    m_f32CenterX = x;
    m_f32CenterY = y;
  }
  void SetCenter(float x, float y) { Set(x, y); }
  void SetCenter(const EPoint& center) { Set(center.m_f32CenterX, center.m_f32CenterY); }

  float GetX() const { return m_f32CenterX; }
  float GetY() const { return m_f32CenterY; }
  float& x() { return m_f32CenterX; }
  float& y() { return m_f32CenterY; }
  float x() const { return m_f32CenterX; }
  float y() const { return m_f32CenterY; }
  EPoint GetCenter() const { return EPoint(m_f32CenterX, m_f32CenterY); }

  bool operator==(const EPoint& q) const {
    return m_f32CenterX == q.m_f32CenterX && m_f32CenterY == q.m_f32CenterY;
  }
  bool operator!=(const EPoint& q) const { return !(*this == q); }
  EPoint operator+(const EPoint& q) const {
    return EPoint(m_f32CenterX + q.m_f32CenterX, m_f32CenterY + q.m_f32CenterY);
  }
  EPoint operator-(const EPoint& q) const {
    return EPoint(m_f32CenterX - q.m_f32CenterX, m_f32CenterY - q.m_f32CenterY);
  }
  EPoint operator*(float f) const { return EPoint(f * m_f32CenterX, f * m_f32CenterY); }
  // Plain IEEE division: dividing by 0 gives infinite or NaN coordinates.
  EPoint operator/(float f) const { return EPoint(m_f32CenterX / f, m_f32CenterY / f); }

  EPoint MidPoint(const EPoint& q) const {
    return EPoint((q.m_f32CenterX + m_f32CenterX) * 0.5f, (q.m_f32CenterY + m_f32CenterY) * 0.5f);
  }
  // Rotation about the origin by a radians (never the caller's angle unit).
  EPoint Rotate(float a) const;
  float Dot(const EPoint& q) const {
    return m_f32CenterX * q.m_f32CenterX + m_f32CenterY * q.m_f32CenterY;
  }
  // Signed cross product x * q.y - y * q.x.
  float Area(const EPoint& q) const {
    return m_f32CenterX * q.m_f32CenterY - m_f32CenterY * q.m_f32CenterX;
  }
  float Square() const { return m_f32CenterX * m_f32CenterX + m_f32CenterY * m_f32CenterY; }
  float Modulus() const;
  // atan2(y, x) in radians; exactly 0 for the origin.
  float Argument() const;

  float Distance(const EPoint& q) const { return (*this - q).Modulus(); }
  float SquaredDistance(const EPoint& q) const { return (*this - q).Square(); }
  // Distance to the segment (segment non-zero) or to the infinite line through it. A segment of
  // length 0 gives the distance to its single point.
  float Distance(const ELine& line, int segment) const;
  // Distance to the circle, or to the arc when arc is non-zero and the circle is not full: a
  // point whose direction from the centre lies outside the arc's span measures to the nearer end.
  float Distance(const ECircle& circle, int arc) const;
  // Foot of the perpendicular on the infinite line (well defined for a line of length 0 too).
  EPoint Project(const ELine& line) const;
  // Nearest point of the full circle; the centre itself projects to (K.x + r, K.y).
  EPoint Project(const ECircle& circle) const;

  // Copies x, y into dest and returns it; a null dest allocates a new point owned by the caller;
  // dest equal to this returns at once.
  EPoint* CopyTo(EPoint* dest) const;

 protected:
  float m_f32CenterX;
  float m_f32CenterY;
};

inline EPoint operator*(float f, const EPoint& p) { return p * f; }

#endif
