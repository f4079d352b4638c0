// The circle shape: a circle or arc that lays its daughters out around it.
#ifndef VIMO_SHAPES_CIRCLESHAPE_H
#define VIMO_SHAPES_CIRCLESHAPE_H

#include "vimo/core/vimo_export.h"
#include "vimo/geometry/circle.h"
#include "vimo/shapes/shape.h"
#include "vimo/shapes/shapelabel.h"

class VIMO_EXPORT ECircleShape : public ECircle, public EShape {
 public:
  // Centre, diameter, origin angle (caller's unit) and sense: a full circle.
  ECircleShape(float centerX = 0, float centerY = 0, float diameter = 0, float orgAngle = 0,
               int direct = 1);
  // Centre, diameter, origin angle and amplitude (caller's unit).
  ECircleShape(EPoint center, float diameter, float orgAngle, float amplitude);
  // Full circle through org, starting there.
  ECircleShape(EPoint center, EPoint org, int direct);
  // Through three points; the full circle when full is non-zero.
  ECircleShape(EPoint first, EPoint middle, EPoint last, int full);
  ECircleShape(const ECircleShape& other);
  ECircleShape& operator=(const ECircleShape& other);
  ~ECircleShape() override;

  using EShape::InvalidateFrame;
  using EShape::ValidateFrame;

  ECircleShape* CopyTo(ECircleShape* dst, int recursive) const;

  // Geometry setters; each re-places the shape and its descendants on their next use, and the
  // Set forms place the handle angles.
  void Set(EPoint center, float diameter, float orgAngle, int direct);
  void Set(EPoint center, float diameter, float orgAngle, float amplitude);
  void Set(EPoint center, EPoint org, int direct);
  void Set(EPoint first, EPoint middle, EPoint last, int full);
  void SetCenter(float x, float y);
  void SetCenter(EPoint center);
  void SetAngle(float angle);
  void SetScale(float scale);
  void SetRadius(float radius);
  void SetDiameter(float diameter);
  void SetAmplitude(float amplitude);

  // Handle positions along the arc from its origin, radians.
  float GetMiddleHandleAngle() const { return m_f32MiddleHandleAngle; }
  float GetEndHandleAngle() const { return m_f32EndHandleAngle; }

  // One-dimensional indexed table; keeps the two-dimensional flag as it was.
  void SetIndexed(unsigned slots);

  EShape* CreateShapeClone(int recursive) const override;
  INS_SHAPE_TYPES GetType() const override { return INS_SHAPE_TYPE_CIRCLE_SHAPE; }
  EFrame* CastToFrame() override { return this; }
  void Rescale(float factor, int daughters) override;
  using EShape::Draw;  // keeps the device-context form (Windows) in view
  void Draw(Quarnel::DrawAdapter* adapter, INS_DRAWING_MODES mode, int daughters) override;
  int HitTest(int daughters) override;
  void Drag(int x, int y) override;
  void Closest() override;
  EShape* New() const override;
  // Daughters evenly around the circle, or from one end of the arc to the other.
  void ArrangeDaughters() override;

  static void SetFormat(const char* format);
  static const char* GetFormat();
  static const char* GetFormat(int full);
  void FormatLabel(char* buffer, unsigned size) const;

 protected:
  unsigned GetSignature() override { return 0x50041145u; }
  using ECircle::Serialize;  // the geometry record, beside the shape record
  // Record: version byte 1, the ECircle record, the EShape record.
  void Serialize(FILE* stream, int mode, unsigned version, int daughters) override;
  void Serialize(ESerializer* serializer, unsigned version, int daughters) override {
    SerializeThroughStream(serializer, version, daughters);
  }
  // Handle angles for the direction-flag forms: pi and 2pi about the centre, 2pi/3 and 4pi/3
  // when dragging against a fixed point.
  void PlaceHandlesFull();
  // The point of the arc at angle theta (radians) from its origin.
  EPoint HandlePoint(float theta) const;

  float m_f32MiddleHandleAngle;
  float m_f32EndHandleAngle;

 private:
  // The geometry and this class's own fields, shared by CopyTo and New.
  void CopyOwnFields(ECircleShape* dst) const;
  static EShapeLabelFormat s_Format;
};

#endif
