// The image file codecs behind EImage::Load and Save. A reader decodes a file row by row into a
// sink, so that only the destination image and one row are held; a writer encodes the rows a
// source gives. Internal to the library.
#ifndef VIMO_CORE_IMAGECODECS_H
#define VIMO_CORE_IMAGECODECS_H

#include <cstdint>
#include <cstdio>

#include "vimo/core/errors.h"

namespace vimo_detail {

// How a raster holds its samples: 1 (grey) or 3 (red, green, blue) interleaved channels of 8 or
// 16 bits; 16-bit samples are host-order uint16_t.
struct RasterFormat {
  int width = 0, height = 0, channels = 1, bits = 8;
};

class RasterSink {
 public:
  virtual ~RasterSink() = default;
  // Called once before any row; a code other than E_OK stops the reader with that code. It is
  // where the size is checked against the pixel limit and the destination allocated.
  virtual E_ERRORS Begin(const RasterFormat& format) = 0;
  // Called for every row, top to bottom, with width * channels samples.
  virtual void Row(int y, const void* samples) = 0;
};

class RasterSource {
 public:
  virtual ~RasterSource() = default;
  virtual const RasterFormat& Format() const = 0;
  // The samples of row y, valid until the next call; rows are asked for top to bottom.
  virtual const void* Row(int y) = 0;
};

// Whether 16-bit samples are stored low byte first on this machine.
inline bool HostIsLittleEndian() {
  const uint16_t one = 1;
  return *reinterpret_cast<const uint8_t*>(&one) == 1;
}

// Binary PGM (P5) and PPM (P6).
E_ERRORS ReadPnm(FILE* file, RasterSink& sink);
E_ERRORS WritePnm(FILE* file, RasterSource& source);
#ifdef VIMO_HAVE_PNG
E_ERRORS ReadPng(FILE* file, RasterSink& sink);
E_ERRORS WritePng(FILE* file, RasterSource& source);
#endif
#ifdef VIMO_HAVE_JPEG
E_ERRORS ReadJpeg(FILE* file, RasterSink& sink);
E_ERRORS WriteJpeg(FILE* file, RasterSource& source);  // 8-bit only
#endif
#ifdef VIMO_HAVE_TIFF
E_ERRORS ReadTiff(const char* path, RasterSink& sink);
E_ERRORS WriteTiff(const char* path, RasterSource& source);
#endif

}  // namespace vimo_detail

#endif
