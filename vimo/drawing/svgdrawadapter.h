// A drawing surface that writes an SVG document: vector overlays that a browser or a report can
// zoom without losing detail.
#ifndef VIMO_DRAWING_SVGDRAWADAPTER_H
#define VIMO_DRAWING_SVGDRAWADAPTER_H

#include <string>

#include "vimo/core/vimo_export.h"
#include "vimo/drawing/drawadapter.h"

namespace Quarnel {

// Each drawing call that draws something appends one element to the document: a 1 x 1 rect for
// a point, line, path (arcs), rect, polygon, ellipse, text (one tspan per line), a group of a
// rect and a text for a text box, and an image embedding the region as PNG. Display pixel (x, y)
// is the unit square from (x, y) to (x + 1, y + 1), so strokes run through pixel centres and
// cover the same pixels as ImageDrawAdapter draws. Text uses a 10-pixel monospace font laid out
// with the metrics of the built-in bitmap font, so GetTextExtent agrees with ImageDrawAdapter.
// Bad input (as for ImageDrawAdapter) sets an error and appends nothing; an image cannot be
// embedded in a build without libpng (32767).
class VIMO_EXPORT SvgDrawAdapter : public DrawAdapter {
 public:
  // A negative size sets 32767 and counts as 0.
  SvgDrawAdapter(int width, int height);

  void SetPenColor(const DrawColor& color) { m_Pen = color; }
  DrawColor GetPenColor() const { return m_Pen; }
  void SetBackgroundColor(const DrawColor& color) { m_Background = color; }
  DrawColor GetBackgroundColor() const { return m_Background; }

  // The whole document, closed.
  std::string GetDocument() const;
  // Writes the document; 1102 when the file cannot be opened, 1104 when writing fails, 1106
  // when closing fails.
  void Save(const char* path);
  // Number of elements appended so far.
  int GetNumElements() const { return m_Elements; }
  // Removes every element.
  void Clear();

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
  std::string Colour(const DrawColor& color, const DrawColor& fallback) const;
  std::string TextElement(const char* text, int x, int y, const DrawColor& color) const;
  void Rect(const char* name, int x, int y, int width, int height, const DrawColor& outline,
            const DrawColor* fill);
  void Ellipse(const char* name, int x, int y, int width, int height, const DrawColor& outline,
               const DrawColor* fill);
  void Polygon(const char* name, const EPoint* points, int count, const DrawColor& outline,
               const DrawColor* fill);
  void Append(const std::string& element);

  int m_Width, m_Height;
  DrawColor m_Pen{0, 0, 0};
  DrawColor m_Background{255, 255, 255};
  std::string m_Body;
  int m_Elements = 0;
};

}  // namespace Quarnel

#endif
