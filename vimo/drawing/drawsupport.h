// Pieces shared by the drawing surfaces: colour resolution, blending, reading the pixels of a
// region of any supported type, and in-memory PNG and base64 encoding for vector documents.
#ifndef VIMO_DRAWING_DRAWSUPPORT_H
#define VIMO_DRAWING_DRAWSUPPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "vimo/core/image.h"
#include "vimo/drawing/drawadapter.h"

namespace Quarnel {
namespace DrawSupport {

inline bool IsDefault(const DrawColor& color) {
  return color.Red == -1 && color.Green == -1 && color.Blue == -1;
}

// The colour itself, or fallback when it is the default colour; each component keeps its low
// byte, so a component outside 0-255 wraps as it would on a device context.
inline EC24 Resolve(const DrawColor& color, const DrawColor& fallback) {
  const DrawColor& c = IsDefault(color) ? fallback : color;
  return EC24{static_cast<uint8_t>(c.Red & 0xff), static_cast<uint8_t>(c.Green & 0xff),
              static_cast<uint8_t>(c.Blue & 0xff)};
}

// (1 - opacity) * old + opacity * value, rounded to the nearest integer (halves upwards);
// opacity must already lie in [0, 1].
inline uint8_t Blend(uint8_t old, uint8_t value, double opacity) {
  double v = (1.0 - opacity) * old + opacity * value;
  int r = static_cast<int>(v + 0.5);
  return static_cast<uint8_t>(r < 0 ? 0 : (r > 255 ? 255 : r));
}

// Opacity clamped to [0, 1]; false for NaN.
bool ClampOpacity(double opacity, double& clamped);

// Reads the pixels of an EBW8, EBW16, EBW32 or EC24 region as colours. Grey levels of 16 and 32
// bits keep their high byte; a grey level g shows as (g, g, g) under the default tint and as
// tint * g / 255 (rounded) under another tint. Colour regions ignore the tint.
class RegionReader {
 public:
  // Checks the region: not null, not void, of a supported pixel type.
  explicit RegionReader(EGenericROI* region);
  bool IsValid() const { return m_Kind != Kind::None; }
  int GetWidth() const { return m_Width; }
  int GetHeight() const { return m_Height; }
  // count pixels of row y from column x0 (all inside the region).
  void ReadRow(int y, int x0, int count, const DrawColor& tint, EC24* out) const;

 private:
  enum class Kind { None, Grey8, Grey16, Grey32, Colour24 };
  Kind m_Kind = Kind::None;
  const uint8_t* m_pBase = nullptr;
  int64_t m_Pitch = 0;
  int m_Width = 0, m_Height = 0;
};

// Encodes width x height RGB pixels as a PNG file in memory; false when it cannot (no libpng in
// this build, empty image, encoder failure).
bool EncodePng(const std::vector<EC24>& pixels, int width, int height, std::vector<uint8_t>& png);

// Standard base64 with padding.
std::string Base64(const std::vector<uint8_t>& bytes);

}  // namespace DrawSupport
}  // namespace Quarnel

#endif
