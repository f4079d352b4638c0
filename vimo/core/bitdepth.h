// Conversion of 10-, 12- and 16-bit camera images to the 8 bits that measurement works on.
// Both take a source and a destination region of the same size (neither void), and set 32767
// and change nothing otherwise or for parameters out of range.
#ifndef VIMO_CORE_BITDEPTH_H
#define VIMO_CORE_BITDEPTH_H

#include "vimo/core/image.h"
#include "vimo/core/vimo_export.h"

// dst = min(255, src >> shift), shift in 0..15; regions of the same size. Shift 2, 4 or 8 keeps
// the top 8 bits of 10-, 12- or 16-bit data.
VIMO_EXPORT void EConvertToBW8Shift(const EROI<EBW16>* source, EROI<EBW8>* destination, int shift);
// dst = round(255 * (clamp(src, low, high) - low) / (high - low)), 0 <= low < high <= 65535:
// the grey levels from low to high spread over 0..255, halves rounded up.
VIMO_EXPORT void EConvertToBW8Window(const EROI<EBW16>* source, EROI<EBW8>* destination, int low,
                                     int high);

#endif
