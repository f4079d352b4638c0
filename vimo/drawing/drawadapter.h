// The abstract drawing surface through which every shape and gauge draws.
#ifndef VIMO_DRAWING_DRAWADAPTER_H
#define VIMO_DRAWING_DRAWADAPTER_H

#include "vimo/core/image.h"
#include "vimo/core/vimo_export.h"

class EPoint;

// What a gauge draws (plain shapes draw only in mode 0).
enum INS_DRAWING_MODES {
  INS_DRAW_NOMINAL = 0,
  INS_DRAW_ACTUAL = 1,
  INS_DRAW_NOTHING = 2,
  INS_DRAW_SAMPLING_PATH = 3,
  INS_DRAW_SAMPLE_PROFILE = 4,
  INS_DRAW_SKIPPED_SAMPLES = 5,
  INS_DRAW_VALID_SAMPLES = 6,
  INS_DRAW_LINE_GAUGE_EXTRA = 7,
  INS_DRAW_FILTERED_SAMPLES = 8
};

namespace Quarnel {

// Red, green, blue, each 0-255; (-1, -1, -1) is the default colour of the surface.
struct DrawColor {
  int Red, Green, Blue;
};
inline bool operator==(const DrawColor& a, const DrawColor& b) {
  return a.Red == b.Red && a.Green == b.Green && a.Blue == b.Blue;
}
inline bool operator!=(const DrawColor& a, const DrawColor& b) { return !(a == b); }

extern VIMO_EXPORT const DrawColor DefaultColor, BlackColor, WhiteColor, GreyColor, RedColor,
    BlueColor;

struct TextExtent {
  int Width, Height;
};

class VIMO_EXPORT DrawAdapter {
 public:
  virtual ~DrawAdapter();
  virtual void DrawPoint(int x, int y, const DrawColor& color, double opacity) = 0;
  virtual void DrawLine(int x0, int y0, int x1, int y1, const DrawColor& color) = 0;
  virtual void DrawArc(int x, int y, int width, int height, double start, double amplitude,
                       const DrawColor& color) = 0;
  virtual void DrawRectangle(int x, int y, int width, int height, const DrawColor& color) = 0;
  virtual void DrawPolygon(const EPoint* points, int count, const DrawColor& color) = 0;
  virtual void DrawEllipse(int x, int y, int width, int height, const DrawColor& color) = 0;
  virtual void FillRectangle(int x, int y, int width, int height, const DrawColor& outline,
                             const DrawColor& fill) = 0;
  virtual void FillEllipse(int x, int y, int width, int height, const DrawColor& outline,
                           const DrawColor& fill) = 0;
  virtual void FillPolygon(const EPoint* points, int count, const DrawColor& outline,
                           const DrawColor& fill) = 0;
  virtual void DrawText(const char* text, int x, int y, const DrawColor& color) = 0;
  virtual void DrawTextBox(const char* text, int x, int y, const DrawColor& textColor,
                           const DrawColor& boxColor) = 0;
  virtual void DrawImage(EGenericROI* image, int x, int y, double opacity,
                         const DrawColor& color) = 0;
  virtual TextExtent GetTextExtent(const char* text) = 0;
  virtual DrawColor GetCurrentColor() = 0;
};

}  // namespace Quarnel

#endif
