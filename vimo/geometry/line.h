// ELine: a straight segment stored as a placement (middle and direction) and a half-length.
#ifndef VIMO_GEOMETRY_LINE_H
#define VIMO_GEOMETRY_LINE_H

#include "vimo/core/vimo_export.h"
#include "vimo/geometry/frame.h"

// The frame's centre is the segment's middle and its angle the direction from origin to end; the
// frame's scale is carried along and not used here. A negative length is kept as a negative
// half-length, which swaps origin and end.
class VIMO_EXPORT ELine : public EFrame {
 public:
  ELine() : m_f32HalfLength(0.0f) {}
  ELine(const EPoint& center, float length, float angle) : m_f32HalfLength(0.0f) {
    Set(center, length, angle);
  }
  ELine(const EPoint& org, const EPoint& end) : m_f32HalfLength(0.0f) { Set(org, end); }
  ELine(const ELine&) = default;
  ELine& operator=(const ELine&) = default;

  EPoint* CreatePointClone() override;
  // Stream form (mode non-zero writes): version byte 1, the frame record, the half-length.
  // Failures set 1103/1104/1108 (traced "ELine::Serialize") and stop the record; a half-length
  // that cannot be read is left unchanged.
  void Serialize(FILE* stream, int mode, unsigned int version) override;
  // Accepts only an EFilePointerSerializer and runs the stream form on its stream and direction;
  // any other serializer throws Quarnel::Vexlor::Exception(1111).
  void Serialize(ESerializer* serializer, unsigned int version) override;

  ELine* CopyTo(ELine* dest) const;

  // Frame set to (center, angle in the caller's unit, scale 1); half-length <- length / 2.
  void Set(const EPoint& center, float length, float angle);
  // The segment from org to end: centre at their middle; a vertical segment gets pi/2 (upward)
  // or 3pi/2 (downward) in storage, a horizontal one 0 or pi; equal points give pi/2 and length
  // 0. The scale is left as it was.
  void Set(const EPoint& org, const EPoint& end);
  void SetLength(float length) { m_f32HalfLength = 0.5f * length; }
  float GetLength() const { return 2.0f * m_f32HalfLength; }

  // centre + t * half-length * (cos a, sin a): -1 the origin, 0 the centre, +1 the end.
  EPoint GetPoint(float t) const;
  EPoint GetOrg() const { return GetPoint(-1.0f); }
  EPoint GetEnd() const { return GetPoint(1.0f); }

 protected:
  float m_f32HalfLength;
};

#endif
