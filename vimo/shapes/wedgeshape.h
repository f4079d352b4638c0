// The wedge shape: a part of a ring that can hold a polar grid of daughters, and can mark the
// pixels of its outer disc in a region.
#ifndef VIMO_SHAPES_WEDGESHAPE_H
#define VIMO_SHAPES_WEDGESHAPE_H

#include "vimo/core/vimo_export.h"
#include "vimo/geometry/wedge.h"
#include "vimo/shapes/shape.h"
#include "vimo/shapes/shapelabel.h"

class VIMO_EXPORT EWedgeShape : public EWedge, public EShape {
 public:
  // Centre, diameter, breadth, origin angle (caller's unit) and sense: a full ring.
  EWedgeShape(float centerX = 0, float centerY = 0, float diameter = 0, float breadth = 0,
              float orgAngle = 0, int direct = 1);
  // Centre, diameter, breadth, origin angle and amplitude (caller's unit).
  EWedgeShape(EPoint center, float diameter, float breadth, float orgAngle, float amplitude);
  EWedgeShape(EPoint center, EPoint org, float breadth, int direct);
  EWedgeShape(EPoint first, EPoint middle, EPoint last, float breadth, int full);
  EWedgeShape(const EWedgeShape& other);
  EWedgeShape& operator=(const EWedgeShape& other);
  ~EWedgeShape() override;

  using EShape::GetDaughter;
  using EShape::InvalidateFrame;
  using EShape::SetIndexed;
  using EShape::ValidateFrame;

  EWedgeShape* CopyTo(EWedgeShape* dst, int recursive) const;

  void Set(EPoint center, float diameter, float breadth, float orgAngle, int direct);
  void Set(EPoint center, float diameter, float breadth, float orgAngle, float amplitude);
  void Set(EPoint center, EPoint org, float breadth, int direct);
  void Set(EPoint first, EPoint middle, EPoint last, float breadth, int full);
  void SetCenter(float x, float y);
  void SetCenter(EPoint center);
  void SetAngle(float angle);
  void SetScale(float scale);
  void SetRadii(float radius, float breadth);
  void SetDiameters(float diameter, float breadth);
  void SetAmplitude(float amplitude);

  float GetMiddleHandleAngle() const { return m_f32MiddleHandleAngle; }
  float GetEndHandleAngle() const { return m_f32EndHandleAngle; }

  // Polar grid of first columns (angles) by second rows (radii).
  void SetIndexed(unsigned first, unsigned second);
  unsigned GetDaughterIndex(unsigned first, unsigned second);
  EShape* GetDaughter(unsigned first, unsigned second);
  unsigned GetNumRows() const { return m_un32NumRows; }
  unsigned GetNumCols() const {
    return m_un32NumRows != 0 ? m_un32MaxDaughters / m_un32NumRows : 0;
  }
  void SetDaughter(unsigned, unsigned, EShape*) {}

  // Fills the region's run list with the pixels whose centre lies in the disc of the outer
  // radius, as seen in sensor coordinates through the tree's calibration.
  void SetupMask(EROI<EBW8>* roi);

  EShape* CreateShapeClone(int recursive) const override;
  INS_SHAPE_TYPES GetType() const override { return INS_SHAPE_TYPE_WEDGE_SHAPE; }
  EFrame* CastToFrame() override { return this; }
  void Rescale(float factor, int daughters) override;
  using EShape::Draw;  // keeps the device-context form (Windows) in view
  void Draw(Quarnel::DrawAdapter* adapter, INS_DRAWING_MODES mode, int daughters) override;
  int HitTest(int daughters) override;
  void Drag(int x, int y) override;
  void Closest() override;
  EShape* New() const override;
  // The grid's rows from the radius to the co-radius, its columns over the amplitude.
  void ArrangeDaughters() override;

  static void SetFormat(const char* format);
  static const char* GetFormat();
  static const char* GetFormat(int full);
  void FormatLabel(char* buffer, unsigned size) const;

 protected:
  unsigned GetSignature() override { return 0x56041745u; }
  using EWedge::Serialize;  // the geometry record, beside the shape record
  // Record: version byte 1, the EWedge record, the EShape record, the row count.
  void Serialize(FILE* stream, int mode, unsigned version, int daughters) override;
  void Serialize(ESerializer* serializer, unsigned version, int daughters) override {
    SerializeThroughStream(serializer, version, daughters);
  }
  void PlaceHandlesFull();
  EPoint HandlePoint(float radius, float theta) const;

  float m_f32MiddleHandleAngle;
  float m_f32EndHandleAngle;
  unsigned m_un32NumRows;

 protected:
  // The geometry and this class's own fields, shared by CopyTo and New (and the gauges' New).
  void CopyOwnFields(EWedgeShape* dst) const;

 private:
  static EShapeLabelFormat s_Format;
};

#endif
