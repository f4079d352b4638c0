// The world shape: a calibrated world model that is also the root shape of a hierarchy. It
// gives every shape below it its calibration and its display pan and zoom, draws the world
// axes and the landmarks, and supplies the curve-following drawing of straight world segments
// and world circles.
#ifndef VIMO_CALIBRATION_WORLDSHAPE_H
#define VIMO_CALIBRATION_WORLDSHAPE_H

#include "vimo/calibration/world.h"
#include "vimo/core/vimo_export.h"
#include "vimo/shapes/shape.h"

class VIMO_EXPORT EWorldShape : public EWorld, public EShape {
 public:
  EWorldShape(float centerX, float centerY, float angle, float scale, float sizeX, float sizeY);
  EWorldShape();
  EWorldShape(const EWorldShape& other);
  EWorldShape& operator=(const EWorldShape& other);
  ~EWorldShape() override;

  // The shape forms of the names both bases define.
  using EShape::InvalidateFrame;
  using EShape::ValidateFrame;

  // Copies the world model, the shape part (daughters when recursive), the axis sizes, the
  // hit landmark, zoom and pan. A NULL dst allocates a new world shape.
  EWorldShape* CopyTo(EWorldShape* dst, int recursive) const;
  EShape* CreateShapeClone(int recursive) const override;
  EShape* New() const override;
  INS_SHAPE_TYPES GetType() const override { return INS_SHAPE_TYPE_WORLD_SHAPE; }
  EFrame* CastToFrame() override { return static_cast<EWorld*>(this); }
  void Rescale(float factor, int daughters) override;
  using EShape::Draw;  // keeps the device-context form (Windows) in view
  void Draw(Quarnel::DrawAdapter* adapter, INS_DRAWING_MODES mode, int daughters) override;
  int HitTest(int daughters) override;
  void Drag(int x, int y) override;
  void Closest() override;
  void ArrangeDaughters() override {}

  // A world shape is always a root: both report 12017 and change nothing.
  void Attach(EShape* mother);
  void Detach();

  // Display zoom and pan (pan in sensor pixels). A zero zoom Y takes zoom X. A zoom that is
  // zero or not finite would make the display mapping singular: refused with 32767.
  void SetZoom(float zoomX, float zoomY);
  void SetPan(float panX, float panY);
  float GetZoomX() const { return m_f32ZoomX; }
  float GetZoomY() const { return m_f32ZoomY; }
  float GetPanX() const { return m_f32PanX; }
  float GetPanY() const { return m_f32PanY; }
  // Lengths of the drawn axes; a zero sy takes sx.
  void SetSize(float sizeX, float sizeY);
  float GetSizeX() const { return m_f32SizeX; }
  float GetSizeY() const { return m_f32SizeY; }

  // Landmarks.
  void DrawLandmarks(Quarnel::DrawAdapter* adapter);
  void DrawGrid(Quarnel::DrawAdapter* adapter);
  void HitLandmark();
  unsigned GetHitLandmark() const { return m_un32HitLandmark; }
  void DragLandmark(int x, int y);
  void DrawCrossGrid(Quarnel::DrawAdapter* adapter, float xMin, float xMax, float yMin, float yMax,
                     unsigned nx, unsigned ny);
#ifdef _WIN32
  // The same drawings on a device context, through a GDIDrawAdapter.
  void DrawLandmarks(HDC context) {
    Quarnel::GDIDrawAdapter adapter(context);
    DrawLandmarks(&adapter);
  }
  void DrawGrid(HDC context) {
    Quarnel::GDIDrawAdapter adapter(context);
    DrawGrid(&adapter);
  }
  void DrawCrossGrid(HDC context, float xMin, float xMax, float yMin, float yMax, unsigned nx,
                     unsigned ny) {
    Quarnel::GDIDrawAdapter adapter(context);
    DrawCrossGrid(&adapter, xMin, xMax, yMin, yMax, nx, ny);
  }
  void HalveSegment(HDC context, EPoint a, int ax, int ay, EPoint b, int bx, int by) {
    Quarnel::GDIDrawAdapter adapter(context);
    HalveSegment(&adapter, a, ax, ay, b, bx, by);
  }
  void HalveArc(HDC context, EPoint center, float radius, float angle0, int x0, int y0,
                float angle1, int x1, int y1) {
    Quarnel::GDIDrawAdapter adapter(context);
    HalveArc(&adapter, center, radius, angle0, x0, y0, angle1, x1, y1);
  }
  void HalveCircle(HDC context, EPoint center, float radius, float angle0, int x0, int y0,
                   float angle1, int x1, int y1) {
    Quarnel::GDIDrawAdapter adapter(context);
    HalveCircle(&adapter, center, radius, angle0, x0, y0, angle1, x1, y1);
  }
#endif

  // Curve-following drawing in world coordinates: a straight segment from a to b, and arcs of
  // a circle between two angles (radians), whose end points show at the given display pixels.
  void HalveSegment(Quarnel::DrawAdapter* adapter, EPoint a, int ax, int ay, EPoint b, int bx,
                    int by);
  void HalveArc(Quarnel::DrawAdapter* adapter, EPoint center, float radius, float angle0, int x0,
                int y0, float angle1, int x1, int y1);
  void HalveCircle(Quarnel::DrawAdapter* adapter, EPoint center, float radius, float angle0, int x0,
                   int y0, float angle1, int x1, int y1);
  // Convenience forms that compute the end pixels themselves.
  void DrawWorldSegment(Quarnel::DrawAdapter* adapter, EPoint a, EPoint b);
  void DrawWorldArc(Quarnel::DrawAdapter* adapter, EPoint center, float radius, float angle0,
                    float amplitude);

  // Display mapping of a sensor point, and back.
  void SensorToDisplay(EPoint sensor, int& x, int& y) const;
  EPoint DisplayToSensor(int x, int y) const;

 protected:
  unsigned GetSignature() override { return 0x57041645u; }
  using EWorld::Serialize;  // the geometry record, beside the shape record
  // Record: version byte 2, the world record, the EShape record (in files of version 2 and
  // later), zoom X, zoom Y, pan X, pan Y.
  void Serialize(FILE* stream, int mode, unsigned version, int daughters) override;
  void Serialize(ESerializer* serializer, unsigned version, int daughters) override {
    SerializeThroughStream(serializer, version, daughters);
  }

 private:
  // The geometry and this class's own fields, shared by CopyTo and New.
  void CopyOwnFields(EWorldShape* dst) const;
  void HalveSegmentTo(Quarnel::DrawAdapter* adapter, EPoint a, int ax, int ay, EPoint b, int bx,
                      int by, int depth);
  void HalveArcTo(Quarnel::DrawAdapter* adapter, EPoint center, float radius, float angle0, int x0,
                  int y0, float angle1, int x1, int y1, int depth);

  float m_f32SizeX;
  float m_f32SizeY;
  unsigned m_un32HitLandmark;
  float m_f32ZoomX, m_f32ZoomY;
  float m_f32PanX, m_f32PanY;
};

#endif
