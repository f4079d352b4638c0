// The point shape: a placement frame drawn as a cross, the plainest daughter of a hierarchy.
#ifndef VIMO_SHAPES_POINTSHAPE_H
#define VIMO_SHAPES_POINTSHAPE_H

#include "vimo/core/vimo_export.h"
#include "vimo/shapes/shape.h"
#include "vimo/shapes/shapelabel.h"

class VIMO_EXPORT EPointShape : public EFrame, public EShape {
 public:
  explicit EPointShape(float x = 0, float y = 0);
  EPointShape(const EPointShape& other);
  EPointShape& operator=(const EPointShape& other);
  ~EPointShape() override;

  // The shape forms of the names both bases define.
  using EShape::InvalidateFrame;
  using EShape::ValidateFrame;

  // Copies the frame and the shape part; a NULL dst allocates a new point shape.
  EPointShape* CopyTo(EPointShape* dst, int recursive) const;

  // Placement setters; each re-places the shape and its descendants on their next use.
  void Set(EPoint center, float angle, float scale);
  void SetCenter(float x, float y);
  void SetCenter(EPoint center);
  void SetAngle(float angle);
  void SetScale(float scale);

  EShape* CreateShapeClone(int recursive) const override;
  INS_SHAPE_TYPES GetType() const override { return INS_SHAPE_TYPE_POINT_SHAPE; }
  EFrame* CastToFrame() override { return this; }
  void Rescale(float factor, int daughters) override;
  using EShape::Draw;  // keeps the device-context form (Windows) in view
  void Draw(Quarnel::DrawAdapter* adapter, INS_DRAWING_MODES mode, int daughters) override;
  int HitTest(int daughters) override;
  void Drag(int x, int y) override;
  void Closest() override;
  EShape* New() const override;
  void ArrangeDaughters() override {}

  // Class-wide label format ("%s\n( %.1f, %.1f) mm": name, x, y).
  static void SetFormat(const char* format);
  static const char* GetFormat();
  // Formats this shape's label into buffer (cut to size).
  void FormatLabel(char* buffer, unsigned size) const;

 protected:
  unsigned GetSignature() override { return 0x55041445u; }
  using EFrame::Serialize;  // the geometry record, beside the shape record
  // Record: version byte 1, the EFrame record, the EShape record. The stream form reports
  // through the error state; the serializer form throws.
  void Serialize(FILE* stream, int mode, unsigned version, int daughters) override;
  void Serialize(ESerializer* serializer, unsigned version, int daughters) override;

 private:
  // The geometry and this class's own fields, shared by CopyTo and New.
  void CopyOwnFields(EPointShape* dst) const;
  static EShapeLabelFormat s_Format;
};

#endif
