// The line shape: a segment that lays its daughters out evenly from one end to the other.
#ifndef VIMO_SHAPES_LINESHAPE_H
#define VIMO_SHAPES_LINESHAPE_H

#include "vimo/core/vimo_export.h"
#include "vimo/shapes/shape.h"
#include "vimo/shapes/shapelabel.h"

class VIMO_EXPORT ELineShape : public ELine, public EShape {
 public:
  // Centre, length and angle (caller's unit).
  ELineShape(float centerX = 0, float centerY = 0, float length = 0, float angle = 0);
  ELineShape(const ELineShape& other);
  ELineShape& operator=(const ELineShape& other);
  ~ELineShape() override;

  using EShape::InvalidateFrame;
  using EShape::ValidateFrame;

  ELineShape* CopyTo(ELineShape* dst, int recursive) const;

  // Geometry setters; each re-places the shape and its descendants on their next use.
  void Set(EPoint center, float length, float angle);
  void Set(EPoint org, EPoint end);
  void SetCenter(float x, float y);
  void SetCenter(EPoint center);
  void SetAngle(float angle);
  void SetScale(float scale);
  void SetLength(float length);

  EShape* CreateShapeClone(int recursive) const override;
  INS_SHAPE_TYPES GetType() const override { return INS_SHAPE_TYPE_LINE_SHAPE; }
  EFrame* CastToFrame() override { return this; }
  void Rescale(float factor, int daughters) override;
  using EShape::Draw;  // keeps the device-context form (Windows) in view
  void Draw(Quarnel::DrawAdapter* adapter, INS_DRAWING_MODES mode, int daughters) override;
  int HitTest(int daughters) override;
  void Drag(int x, int y) override;
  void Closest() override;
  EShape* New() const override;
  // Daughters evenly from one end of the line to the other (one daughter at the centre).
  void ArrangeDaughters() override;

  static void SetFormat(const char* format);
  static const char* GetFormat();
  void FormatLabel(char* buffer, unsigned size) const;

 protected:
  unsigned GetSignature() override { return 0x54041545u; }
  using ELine::Serialize;  // the geometry record, beside the shape record
  // Record: version byte 1, the ELine record, the EShape record.
  void Serialize(FILE* stream, int mode, unsigned version, int daughters) override;
  void Serialize(ESerializer* serializer, unsigned version, int daughters) override {
    SerializeThroughStream(serializer, version, daughters);
  }

 private:
  // The geometry and this class's own fields, shared by CopyTo and New.
  void CopyOwnFields(ELineShape* dst) const;
  static EShapeLabelFormat s_Format;
};

#endif
