// The built-in bitmap font of the drawing surfaces: printable ASCII in 5 x 9 cells (7 rows above
// the baseline, 2 of descenders), advancing 6 pixels per character and 10 pixels per line.
#ifndef VIMO_DRAWING_BITMAPFONT_H
#define VIMO_DRAWING_BITMAPFONT_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "vimo/drawing/drawadapter.h"

namespace Quarnel {

class BitmapFont {
 public:
  static const int GlyphWidth = 5;   // pixels of ink per character
  static const int GlyphHeight = 9;  // rows of a glyph, descenders included
  static const int Advance = 6;      // horizontal distance between characters
  static const int LineHeight = 10;  // vertical distance between lines

  // One line of a text: its first byte and its number of characters ('\r' excluded).
  struct Line {
    const char* Start;
    size_t Length;  // bytes up to the line break, '\r' included
    size_t Characters;
  };

  // The nine rows of the glyph of a byte, bit 4 being the leftmost column. Bytes without a glyph
  // (control characters, bytes above 126) show a hollow box.
  static const uint8_t* Glyph(unsigned char c);

  // Splits a text at '\n'; '\r' takes no room. An empty text has no line, a trailing '\n' opens
  // an empty last line.
  static std::vector<Line> SplitLines(const char* text);

  // Width of one line, in pixels: Advance per character less the trailing gap.
  static int64_t LineWidth(size_t characters);

  // Width of the widest line and height of all lines, without the gap after the last line;
  // (0, 0) for an empty text. Sizes too large for an int are clamped to INT_MAX.
  static TextExtent Measure(const char* text);
};

}  // namespace Quarnel

#endif
