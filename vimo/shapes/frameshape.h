// The frame shape: a placement frame with drawn axes, used to group and move daughters.
#ifndef VIMO_SHAPES_FRAMESHAPE_H
#define VIMO_SHAPES_FRAMESHAPE_H

#include "vimo/core/vimo_export.h"
#include "vimo/shapes/shape.h"
#include "vimo/shapes/shapelabel.h"

class VIMO_EXPORT EFrameShape : public EFrame, public EShape {
 public:
  // Placement (angle in the caller's unit) and axis sizes. With root non-zero the shape is
  // born without a mother; its conversions then take the identity calibration until it is
  // attached.
  EFrameShape(float x = 0, float y = 0, float angle = 0, float scale = 1, float sizeX = 100,
              float sizeY = 100, int root = 0);
  EFrameShape(const EFrameShape& other);
  EFrameShape& operator=(const EFrameShape& other);
  ~EFrameShape() override;

  using EShape::InvalidateFrame;
  using EShape::ValidateFrame;

  EFrameShape* CopyTo(EFrameShape* dst, int recursive) const;

  void Set(EPoint center, float angle, float scale);
  // Moves the frame's centre (in the mother's coordinates).
  void SetCenter(float x, float y);
  void SetCenter(EPoint center);
  void SetAngle(float angle);
  void SetScale(float scale);
  void SetAxis(EPoint center, float angle, float scale, float sizeX, float sizeY);
  // Sizes of the drawn axes; a zero y takes x.
  void SetSize(float x, float y);
  float GetSizeX() const { return m_f32SizeX; }
  float GetSizeY() const { return m_f32SizeY; }

  // Diagonal crosses at a grid of points of the frame's local coordinates.
  void DrawCrossGrid(Quarnel::DrawAdapter* adapter, float xMin, float xMax, float yMin, float yMax,
                     unsigned nx, unsigned ny);
#ifdef _WIN32
  void DrawCrossGrid(HDC context, float xMin, float xMax, float yMin, float yMax, unsigned nx,
                     unsigned ny) {
    Quarnel::GDIDrawAdapter adapter(context);
    DrawCrossGrid(&adapter, xMin, xMax, yMin, yMax, nx, ny);
  }
#endif

  EShape* CreateShapeClone(int recursive) const override;
  INS_SHAPE_TYPES GetType() const override { return INS_SHAPE_TYPE_FRAME_SHAPE; }
  EFrame* CastToFrame() override { return this; }
  void Rescale(float factor, int daughters) override;
  using EShape::Draw;  // keeps the device-context form (Windows) in view
  void Draw(Quarnel::DrawAdapter* adapter, INS_DRAWING_MODES mode, int daughters) override;
  int HitTest(int daughters) override;
  void Drag(int x, int y) override;
  void Closest() override;
  EShape* New() const override;
  void ArrangeDaughters() override {}

  static void SetFormat(const char* format);
  static const char* GetFormat();
  void FormatLabel(char* buffer, unsigned size) const;

 protected:
  unsigned GetSignature() override { return 0x53041245u; }
  using EFrame::Serialize;  // the geometry record, beside the shape record
  // Record: version byte 1, the EFrame record, the EShape record, the two sizes.
  void Serialize(FILE* stream, int mode, unsigned version, int daughters) override;
  void Serialize(ESerializer* serializer, unsigned version, int daughters) override {
    SerializeThroughStream(serializer, version, daughters);
  }

  float m_f32SizeX;
  float m_f32SizeY;

 private:
  // The geometry and this class's own fields, shared by CopyTo and New.
  void CopyOwnFields(EFrameShape* dst) const;
  // A straight segment of the frame's own local coordinates.
  void DrawLocalSegment(Quarnel::DrawAdapter* adapter, EPoint a, EPoint b);

  static EShapeLabelFormat s_Format;
};

#endif
