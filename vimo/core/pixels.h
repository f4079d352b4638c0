// Pixel types of the images the library works on.
#ifndef VIMO_CORE_PIXELS_H
#define VIMO_CORE_PIXELS_H

#include <cstdint>

typedef uint8_t EBW8;
typedef uint16_t EBW16;
typedef uint32_t EBW32;

// 24-bit colour: red, green, blue.
struct EC24 {
  uint8_t C0, C1, C2;
};
inline bool operator==(const EC24& a, const EC24& b) {
  return a.C0 == b.C0 && a.C1 == b.C1 && a.C2 == b.C2;
}
inline bool operator!=(const EC24& a, const EC24& b) { return !(a == b); }

// One entry of an unwarping table, 8 bytes.
union ESubPixel64 {
  struct {
    int32_t Offset;
    uint16_t FractionX, FractionY;
  } SubPixel;
  uint64_t Raw;
};

static_assert(sizeof(EC24) == 3, "EC24 must be three packed bytes");
static_assert(sizeof(ESubPixel64) == 8, "ESubPixel64 must be eight bytes");

#endif
