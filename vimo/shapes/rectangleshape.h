// The rectangle shape: an oriented rectangle that can hold a grid of daughters, and can mark
// the pixels it covers in a region.
#ifndef VIMO_SHAPES_RECTANGLESHAPE_H
#define VIMO_SHAPES_RECTANGLESHAPE_H

#include "vimo/core/vimo_export.h"
#include "vimo/geometry/rectangle.h"
#include "vimo/shapes/shape.h"
#include "vimo/shapes/shapelabel.h"

class VIMO_EXPORT ERectangleShape : public ERectangle, public EShape {
 public:
  // Centre, width, height and angle (caller's unit).
  ERectangleShape(float centerX = 0, float centerY = 0, float width = 0, float height = 0,
                  float angle = 0);
  // Axis-aligned, from two opposite corners.
  ERectangleShape(EPoint first, EPoint second);
  // From three consecutive corners.
  ERectangleShape(EPoint first, EPoint second, EPoint third);
  ERectangleShape(const ERectangleShape& other);
  ERectangleShape& operator=(const ERectangleShape& other);
  ~ERectangleShape() override;

  using EShape::GetDaughter;
  using EShape::InvalidateFrame;
  using EShape::SetIndexed;
  using EShape::ValidateFrame;

  ERectangleShape* CopyTo(ERectangleShape* dst, int recursive) const;

  void Set(EPoint center, float width, float height, float angle);
  void Set(EPoint first, EPoint second);
  void Set(EPoint first, EPoint second, EPoint third);
  void SetCenter(float x, float y);
  void SetCenter(EPoint center);
  void SetAngle(float angle);
  void SetScale(float scale);
  void SetSize(float width, float height);

  // Grid of first columns by second rows; allowed only while the shape has no daughter table.
  void SetIndexed(unsigned first, unsigned second);
  // Slot of column first, row second (column-major); 0xFFFFFFFF with an error when out of the
  // grid or not indexed.
  unsigned GetDaughterIndex(unsigned first, unsigned second);
  EShape* GetDaughter(unsigned first, unsigned second);
  unsigned GetNumRows() const { return m_un32NumRows; }
  unsigned GetNumCols() const {
    return m_un32NumRows != 0 ? m_un32MaxDaughters / m_un32NumRows : 0;
  }
  unsigned GetRowIndex(EShape* daughter);
  unsigned GetColIndex(EShape* daughter);
  // Has no effect.
  void SetDaughter(unsigned, unsigned, EShape*) {}

  // Fills the region's run list with the pixels the rectangle covers: those whose centre lies
  // inside or on the rectangle seen in sensor coordinates (corners floored to pixels).
  void SetupMask(EROI<EBW8>* roi);
  void SetupMask(EROI<EC24>* roi);

  EShape* CreateShapeClone(int recursive) const override;
  INS_SHAPE_TYPES GetType() const override { return INS_SHAPE_TYPE_RECTANGLE_SHAPE; }
  EFrame* CastToFrame() override { return this; }
  void Rescale(float factor, int daughters) override;
  using EShape::Draw;  // keeps the device-context form (Windows) in view
  void Draw(Quarnel::DrawAdapter* adapter, INS_DRAWING_MODES mode, int daughters) override;
  int HitTest(int daughters) override;
  void Drag(int x, int y) override;
  void Closest() override;
  EShape* New() const override;
  // The grid's slots over the rectangle, corner slots on the corners.
  void ArrangeDaughters() override;

  static void SetFormat(const char* format);
  static const char* GetFormat();
  void FormatLabel(char* buffer, unsigned size) const;

 protected:
  unsigned GetSignature() override { return 0x52041345u; }
  using ERectangle::Serialize;  // the geometry record, beside the shape record
  // Record: version byte 1, the ERectangle record, the EShape record, the row count.
  void Serialize(FILE* stream, int mode, unsigned version, int daughters) override;
  void Serialize(ESerializer* serializer, unsigned version, int daughters) override {
    SerializeThroughStream(serializer, version, daughters);
  }

  unsigned m_un32NumRows;

 protected:
  // The geometry and this class's own fields, shared by CopyTo and New (and the gauges' New).
  void CopyOwnFields(ERectangleShape* dst) const;

 private:
  template <class T>
  void SetupMaskOf(EROI<T>* roi, const char* trace);

  static EShapeLabelFormat s_Format;
};

#endif
