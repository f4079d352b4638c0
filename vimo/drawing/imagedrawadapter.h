// A drawing surface over an RGB image, for overlays saved as image files.
#ifndef VIMO_DRAWING_IMAGEDRAWADAPTER_H
#define VIMO_DRAWING_IMAGEDRAWADAPTER_H

#include <cstdint>

#include "vimo/core/image.h"
#include "vimo/core/vimo_export.h"
#include "vimo/drawing/drawadapter.h"

namespace Quarnel {

// Draws into an EImage<EC24> given at construction (not owned; it must outlive the adapter, and
// its size is read at every call, so it may be resized between calls). Pixel (x, y) of the
// surface is pixel (x, y) of the image; everything is clipped to the image, whatever the
// coordinates. The pen colour (initially black) stands for the default colour of lines, points,
// outlines and text, the background colour (initially white) for the default fill of text boxes
// and filled shapes.
//
// Rasterisation:
// - Lines are one pixel wide and include both end points; along the major axis every column (or
//   row) gets the pixel nearest to the ideal line, halves rounding away from the end with the
//   lower major coordinate, so that both directions draw the same pixels.
// - A rectangle (x, y, width, height) covers columns x to x + width - 1 and rows y to
//   y + height - 1; a zero size draws nothing.
// - An ellipse (x, y, width, height) is the one inscribed in the box (x, y)-(x + width + 1,
//   y + height + 1): centre (x + width / 2, y + height / 2), semi-axes width / 2 and height / 2,
//   covering columns x to x + width and rows y to y + height. A pixel belongs to its disc when
//   (dx / (width / 2 + 1/2))^2 + (dy / (height / 2 + 1/2))^2 <= 1; the outline is the set of disc
//   pixels that have a 4-neighbour outside the disc, so fills always lie inside their outline.
// - An arc keeps the outline pixels whose parametric angle atan2(dy / b, dx / a) lies between
//   start and start + amplitude (y pointing down, so a positive amplitude turns clockwise on
//   screen), plus the outline pixels nearest to the two end points centre + (a cos t, b sin t).
// - Polygons round their points to the nearest integers (halves away from zero); the fill takes the
// pixels whose centres
//   lie inside by the even-odd rule, then the outline is drawn over it.
// - Opacity blends each channel as (1 - opacity) * old + opacity * new, rounded to the nearest
//   integer with halves upwards.
// - Text uses the built-in 5 x 9 bitmap font (BitmapFont): lines 10 pixels apart, characters
//   6 apart, each line centred in the widest one; the text starts 2 pixels right of and 1 pixel
//   below (x, y), in the middle of its box (x, y)-(x + width + 4, y + height + 2).
// - Images: grey regions of 16 and 32 bits keep their high byte; a grey level g shows as
//   (g, g, g), or, when a colour other than the default is given, as colour * g / 255.
//
// Failures set an error and draw nothing: 32767 for a null target, a null text or point list, a
// negative size or count, a NaN opacity or angle, points that are not finite or do not fit an
// int, and an image region that is null, void or of another pixel type than EBW8, EBW16, EBW32
// and EC24.
class VIMO_EXPORT ImageDrawAdapter : public DrawAdapter {
 public:
  explicit ImageDrawAdapter(EImage<EC24>* target);

  void SetPenColor(const DrawColor& color);
  DrawColor GetPenColor() const { return m_Pen; }
  void SetBackgroundColor(const DrawColor& color);
  DrawColor GetBackgroundColor() const { return m_Background; }
  EImage<EC24>* GetTarget() const { return m_pTarget; }

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
  DrawColor GetCurrentColor() override { return m_Pen; }

 private:
  // The pixels of the target for the duration of one operation.
  struct Canvas {
    uint8_t* Base = nullptr;
    int64_t Pitch = 0;
    int64_t Width = 0, Height = 0;
    EC24* Row(int64_t y) const { return reinterpret_cast<EC24*>(Base + y * Pitch); }
  };

  // False when there is nothing to draw on; a null target also sets 32767 under the name.
  bool Begin(Canvas& canvas, const char* name) const;
  static void Span(const Canvas& c, int64_t y, int64_t x0, int64_t x1, EC24 color);
  static void Line(const Canvas& c, int64_t x0, int64_t y0, int64_t x1, int64_t y1, EC24 color);
  static void Rectangle(const Canvas& c, int64_t x, int64_t y, int64_t width, int64_t height,
                        EC24 outline, const EC24* fill);
  static void Ellipse(const Canvas& c, int64_t x, int64_t y, int64_t width, int64_t height,
                      EC24 outline, const EC24* fill);
  static void Text(const Canvas& c, const char* text, int64_t x, int64_t y, EC24 color);
  void Polygon(const char* name, const EPoint* points, int count, const DrawColor& outline,
               const DrawColor* fill);

  EImage<EC24>* m_pTarget;
  DrawColor m_Pen{0, 0, 0};
  DrawColor m_Background{255, 255, 255};
};

}  // namespace Quarnel

#endif
