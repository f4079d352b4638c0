// Reference sampling for the unwarping tests: the nearest-neighbour and bilinear rules written
// out plainly (floor in double, the six-multiplication blend), pixel by pixel.
#ifndef VIMO_TESTS_CALIBRATION_UNWARP_REFERENCE_H
#define VIMO_TESTS_CALIBRATION_UNWARP_REFERENCE_H

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>

#include "vimo/core/core.h"

namespace unwarp_reference {

inline uint8_t Channel(EBW8 p, int) { return p; }
inline uint8_t Channel(EC24 p, int k) { return k == 0 ? p.C0 : k == 1 ? p.C1 : p.C2; }
inline void SetChannel(EBW8& p, int, uint8_t v) { p = v; }
inline void SetChannel(EC24& p, int k, uint8_t v) { (k == 0 ? p.C0 : k == 1 ? p.C1 : p.C2) = v; }

// The value an output pixel sampled at sensor position (X, Y) must have.
template <class T>
T Sample(const EROI<T>& src, float X, float Y, int interpolate) {
  const int W = src.GetWidth(), H = src.GetHeight();
  T out{};
  if (!interpolate) {
    double cx = std::floor(double(X) + 0.5), cy = std::floor(double(Y) - 0.5);
    if (cx >= 0 && cx < W && cy >= 0 && cy < H) out = src.GetPixel(int(cx), int(cy));
    return out;
  }
  double fx = std::floor(256.0 * X), fy = std::floor(256.0 * Y);
  if (!(fx >= 0 && fx < 256.0 * (W - 1) && fy >= 256 && fy < 256.0 * H)) return out;
  int ix = int(fx) / 256, iy = int(fy) / 256;
  uint32_t a = uint32_t(fx) % 256, c = uint32_t(fy) % 256;
  for (int k = 0; k < int(sizeof(T)); ++k) {
    uint32_t upper = Channel(src.GetPixel(ix, iy - 1), k) * (256 - a) +
                     Channel(src.GetPixel(ix + 1, iy - 1), k) * a;
    uint32_t lower =
        Channel(src.GetPixel(ix, iy), k) * (256 - a) + Channel(src.GetPixel(ix + 1, iy), k) * a;
    SetChannel(out, k, static_cast<uint8_t>((upper * (256 - c) + lower * c) >> 16));
  }
  return out;
}

// Random pixels, and whole-region comparison.
template <class T>
void FillRandom(EROI<T>* region, unsigned seed) {
  std::mt19937 rng(seed);
  for (int y = 0; y < region->GetHeight(); ++y)
    for (int x = 0; x < region->GetWidth(); ++x) {
      uint32_t r = rng();
      T p;
      std::memcpy(&p, &r, sizeof(T));
      region->SetPixel(p, x, y);
    }
}
template <class T>
bool SameImage(const EROI<T>& a, const EROI<T>& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) return false;
  for (int y = 0; y < a.GetHeight(); ++y)
    for (int x = 0; x < a.GetWidth(); ++x)
      if (!(a.GetPixel(x, y) == b.GetPixel(x, y))) return false;
  return true;
}

}  // namespace unwarp_reference

#endif
