// ERectangle: an oriented rectangle (centre, angle of its X axis, two half sizes).
#ifndef VIMO_GEOMETRY_RECTANGLE_H
#define VIMO_GEOMETRY_RECTANGLE_H

#include "vimo/core/vimo_export.h"
#include "vimo/geometry/line.h"

// Points are addressed by normalised coordinates (u, v) in [-1, 1] x [-1, 1]: with U = (cos a,
// sin a) and V = (-sin a, cos a), (u, v) is centre + u * halfX * U + v * halfY * V. The frame's
// scale is not used here. A default rectangle has half sizes 0.
class VIMO_EXPORT ERectangle : public EFrame {
 public:
  ERectangle() : m_f32HalfSizeX(0.0f), m_f32HalfSizeY(0.0f) {}
  ERectangle(const EPoint& center, float sizeX, float sizeY, float angle);
  ERectangle(const EPoint& first, const EPoint& second);
  ERectangle(const EPoint& first, const EPoint& second, const EPoint& third);
  ERectangle(const ERectangle&) = default;
  ERectangle& operator=(const ERectangle&) = default;

  EPoint* CreatePointClone() override;
  // Stream form (mode non-zero writes): version byte 1, the frame record, half size X, half
  // size Y. Failures set 1103/1104/1108 (traced "ERectangle::Serialize") and stop the record; a
  // field that cannot be read is left unchanged.
  void Serialize(FILE* stream, int mode, unsigned int version) override;
  // Accepts only an EFilePointerSerializer and runs the stream form on its stream and direction;
  // any other serializer throws Quarnel::Vexlor::Exception(1111).
  void Serialize(ESerializer* serializer, unsigned int version) override;

  ERectangle* CopyTo(ERectangle* dest) const;

  // Frame (center, angle in the caller's unit, scale 1); half sizes = sizes / 2.
  void Set(const EPoint& center, float sizeX, float sizeY, float angle);
  // Axis-aligned, with first and second as opposite corners (in any order); scale 1.
  void Set(const EPoint& first, const EPoint& second);
  // Three consecutive corners: first is (-1, -1), second (+1, -1); the X axis runs from first to
  // second and the Y half size is half the distance from second to third. The centre is always
  // on the +V side of the first edge. Equal first and second points give angle 0. The scale is
  // left as it was.
  void Set(const EPoint& first, const EPoint& second, const EPoint& third);
  void SetSize(float sizeX, float sizeY) {
    m_f32HalfSizeX = 0.5f * sizeX;
    m_f32HalfSizeY = 0.5f * sizeY;
  }
  float GetSizeX() const { return 2.0f * m_f32HalfSizeX; }
  float GetSizeY() const { return 2.0f * m_f32HalfSizeY; }

  // The point of normalised coordinates (u, v); values outside [-1, 1] extrapolate.
  EPoint GetPoint(float u, float v) const;
  // Corners (-1, -1), (+1, -1), (-1, +1), (+1, +1).
  void GetCorners(EPoint& a, EPoint& b, EPoint& c, EPoint& d) const;
  // Middles of the edges (-1, 0), (+1, 0), (0, -1), (0, +1).
  void GetMidEdges(EPoint& a, EPoint& b, EPoint& c, EPoint& d) const;
  // The edges through those middles: a from (-1, -1) to (-1, +1), b from (+1, -1) to (+1, +1),
  // c from (-1, -1) to (+1, -1), d from (-1, +1) to (+1, +1).
  void GetEdges(ELine& a, ELine& b, ELine& c, ELine& d) const;

 protected:
  float m_f32HalfSizeX;
  float m_f32HalfSizeY;
};

#endif
