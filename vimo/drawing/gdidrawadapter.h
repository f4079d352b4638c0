// A drawing surface over a Windows device context. Built for Windows targets only; elsewhere this
// header declares nothing.
#ifndef VIMO_DRAWING_GDIDRAWADAPTER_H
#define VIMO_DRAWING_GDIDRAWADAPTER_H

#include "vimo/drawing/drawadapter.h"

#ifdef _WIN32

// The device-context handle as <windows.h> declares it (a strict handle), so that this header
// does not pull the whole window system into every file that draws.
struct HDC__;
typedef HDC__* HDC;

namespace Quarnel {

// Draws on the device context given at construction (not owned). Every pen, brush, font and
// bitmap an operation creates is selected out and deleted before it returns, and the context's
// state an operation changes (current position, arc direction, fill mode, text colour,
// background colour and mode) is restored.
//
// - The default colour stands for the colour of the context's current pen for lines, points,
//   outlines and arcs, for its text colour for text, and for its background colour for fills
//   and text boxes.
// - Lines are one pixel wide and include both end points. Rectangles (x, y, width, height)
//   cover columns x to x + width - 1; a zero size draws nothing. Ellipses and arcs are those
//   inscribed in the box (x, y)-(x + width + 1, y + height + 1); a positive amplitude turns
//   clockwise on screen (y pointing down). Polygons round their points to the nearest integers
//   and fill by the even-odd rule.
// - Points with an opacity below 1 blend each channel as (1 - opacity) * old + opacity * new
//   (rounded, halves upwards) from the pixel read back; images with an opacity below 1 go
//   through AlphaBlend, whose constant alpha is the opacity in steps of 1/255.
// - Text is 10-point "MS Sans Serif", normal weight, drawn without anti-aliasing on a
//   transparent background, each line centred in the widest one, 2 pixels right of and 1 pixel
//   below (x, y), in the box (x, y)-(x + width + 4, y + height + 2). Empty text draws nothing.
//
// Failures set an error and draw nothing: 32767 for a null context, a null text or point list,
// a negative size or count, a NaN opacity or angle, an infinite start angle, a coordinate (or
// the far corner of a box) beyond +-(2^27 - 1), where device-context rasterisation stops being
// reliable, points that are not finite, and an image region that is null, void or of another
// pixel type than EBW8, EBW16, EBW32 and EC24; 1303 when a buffer, or a pen, brush, font or
// bitmap, cannot be created (the process is out of memory or of GDI objects).
class VIMO_EXPORT GDIDrawAdapter : public DrawAdapter {
 public:
  explicit GDIDrawAdapter(HDC context);
  HDC GetContext() const { return m_hContext; }

  void DrawPoint(int x, int y, const DrawColor& color, double opacity) override;
  void DrawLine(int x0, int y0, int x1, int y1, const DrawColor& color) override;
  void DrawArc(int x, int y, int width, int height, double start, double amplitude,
               const DrawColor& color) override;
  void DrawRectangle(int x, int y, int width, int height, const DrawColor& color) override;
  void DrawPolygon(const EPoint* points, int count, const DrawColor& color) override;
  void DrawEllipse(int x, int y, int width, int height, const DrawColor& color) override;
  void FillRectangle(int x, int y, int width, int height, const DrawColor& outline,
                     const DrawColor& fill) override;
  void FillEllipse(int x, int y, int width, int height, const DrawColor& outline,
                   const DrawColor& fill) override;
  void FillPolygon(const EPoint* points, int count, const DrawColor& outline,
                   const DrawColor& fill) override;
  void DrawText(const char* text, int x, int y, const DrawColor& color) override;
  void DrawTextBox(const char* text, int x, int y, const DrawColor& textColor,
                   const DrawColor& boxColor) override;
  void DrawImage(EGenericROI* image, int x, int y, double opacity, const DrawColor& color) override;
  TextExtent GetTextExtent(const char* text) override;
  DrawColor GetCurrentColor() override;

 private:
  bool Check(const char* name) const;
  void Box(const char* name, int x, int y, int width, int height, const DrawColor& outline,
           const DrawColor* fill, bool ellipse);
  void Polygon(const char* name, const EPoint* points, int count, const DrawColor& outline,
               const DrawColor* fill);
  void Text(const char* name, const char* text, int x, int y, const DrawColor& color,
            const DrawColor* box);

  HDC m_hContext;
};

}  // namespace Quarnel

#endif  // _WIN32

#endif
