// TIFF files through libtiff: the first image of the file, grey (black or white at zero), RGB or
// an 8-bit palette, 8 or 16 bits of unsigned integer samples, in strips or tiles, with any
// compression libtiff decodes; extra samples such as alpha are dropped. Written uncompressed.
#ifdef VIMO_HAVE_TIFF
#include <tiffio.h>

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <new>
#include <stdexcept>
#include <vector>

#include "vimo/core/imagecodecs.h"
#include "vimo/core/settings.h"

namespace vimo_detail {
namespace {

// libtiff reports through these rather than on standard error; its return values say whether a
// call failed.
int IgnoreTiffMessage(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// Opens with quiet messages. A file read also bounds any single allocation of libtiff's: the
// largest decoded image the pixel limit lets through, but never less than libtiff's own small
// buffers need, so that a low limit still reads the small files it admits. Writing is not bound.
TIFF* OpenTiff(const char* path, const char* mode) {
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  if (options == nullptr) return nullptr;
  TIFFOpenOptionsSetErrorHandlerExtR(options, IgnoreTiffMessage, nullptr);
  TIFFOpenOptionsSetWarningHandlerExtR(options, IgnoreTiffMessage, nullptr);
  if (mode[0] == 'r') {
    const int64_t limit = EGetImageFilePixelLimit();
    const int64_t maxBytes =
        limit > INT64_MAX / 8 ? INT64_MAX : std::max<int64_t>(limit * 8, 1 << 20);
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(maxBytes));
  }
  TIFF* tiff = TIFFOpenExt(path, mode, options);
  TIFFOpenOptionsFree(options);
  return tiff;
}

struct TiffLayout {
  int samplesPerPixel = 1;
  bool invert = false;  // white at zero
  const uint16_t* palette[3] = {nullptr, nullptr, nullptr};
};

// Takes one decoded row of the file (samplesPerPixel samples per pixel) to the sink's layout.
template <class S>
void PickSamples(const S* in, S* out, const RasterFormat& format, const TiffLayout& layout) {
  const int step = layout.samplesPerPixel;
  const S top = static_cast<S>(format.bits == 16 ? 65535 : 255);
  for (int x = 0; x < format.width; ++x) {
    const S* p = in + static_cast<size_t>(x) * step;
    if (layout.palette[0] != nullptr) {
      for (int c = 0; c < 3; ++c) out[3 * x + c] = static_cast<S>(layout.palette[c][p[0]] >> 8);
    } else if (format.channels == 1) {
      out[x] = layout.invert ? static_cast<S>(top - p[0]) : p[0];
    } else {
      out[3 * x] = p[0];
      out[3 * x + 1] = p[1];
      out[3 * x + 2] = p[2];
    }
  }
}

E_ERRORS DecodeTiff(TIFF* tiff, RasterSink& sink) {
  uint32_t width = 0, height = 0;
  uint16_t samples = 1, bits = 1, photometric = 0, planar = PLANARCONFIG_CONTIG,
           sampleFormat = SAMPLEFORMAT_UINT;
  if (!TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width) ||
      !TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height) ||
      !TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric))
    return E_ERROR_READ_FAILED;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLEFORMAT, &sampleFormat);
  if (width == 0 || height == 0 || width > INT_MAX || height > INT_MAX)
    return E_ERROR_BAD_SIGNATURE;

  RasterFormat format;
  format.width = static_cast<int>(width);
  format.height = static_cast<int>(height);
  format.bits = bits;
  TiffLayout layout;
  layout.samplesPerPixel = samples;
  bool known = (bits == 8 || bits == 16) && sampleFormat == SAMPLEFORMAT_UINT && samples >= 1 &&
               (planar == PLANARCONFIG_CONTIG || samples == 1);
  if (photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE) {
    format.channels = 1;
    layout.invert = photometric == PHOTOMETRIC_MINISWHITE;
  } else if (photometric == PHOTOMETRIC_RGB) {
    format.channels = 3;
    known = known && samples >= 3;
  } else if (photometric == PHOTOMETRIC_PALETTE) {
    format.channels = 3;
    format.bits = 8;
    known = known && bits == 8 && samples == 1 &&
            TIFFGetField(tiff, TIFFTAG_COLORMAP, &layout.palette[0], &layout.palette[1],
                         &layout.palette[2]);
  } else {
    known = false;
  }
  if (!known) return E_ERROR_BAD_SIGNATURE;

  // The file's rows hold every sample of a pixel, up to 65535 of them: their bytes are bounded
  // like libtiff's own allocations, so that a small file cannot make the rows below huge.
  const uint64_t pixelBytes = static_cast<uint64_t>(samples) * (bits / 8);
  const uint64_t area = static_cast<uint64_t>(width) * height;
  const int64_t limit = EGetImageFilePixelLimit();
  const uint64_t maxBytes = limit > INT64_MAX / 8 ? UINT64_MAX : static_cast<uint64_t>(limit) * 8;
  if (area > maxBytes / pixelBytes) return E_ERROR_ALLOCATION_FAILED;
  // Tiles larger than the image are allowed, within reason: they are decoded whole.
  uint32_t tileWidth = 0, tileHeight = 0;
  const bool tiled = TIFFIsTiled(tiff) != 0;
  if (tiled) {
    if (!TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth) ||
        !TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileHeight) || tileWidth == 0 || tileHeight == 0)
      return E_ERROR_READ_FAILED;
    const uint64_t tileArea = static_cast<uint64_t>(tileWidth) * tileHeight;
    const uint64_t smallTiles = std::min<uint64_t>(1u << 22, (uint64_t(1) << 26) / pixelBytes);
    if (tileArea > std::max<uint64_t>(4 * area, smallTiles)) return E_ERROR_READ_FAILED;
  }
  E_ERRORS code = sink.Begin(format);
  if (code != E_OK) return code;

  const size_t bytesPerSample = bits / 8;
  const size_t fileRowSamples = static_cast<size_t>(width) * samples;
  std::vector<uint8_t> fileRow(fileRowSamples * bytesPerSample);
  std::vector<uint8_t> outRow(static_cast<size_t>(width) * format.channels * bytesPerSample);
  auto emit = [&](int y, const uint8_t* row) {
    if (bits == 16)
      PickSamples(reinterpret_cast<const uint16_t*>(row),
                  reinterpret_cast<uint16_t*>(outRow.data()), format, layout);
    else
      PickSamples(row, outRow.data(), format, layout);
    sink.Row(y, outRow.data());
  };

  if (!tiled) {
    if (static_cast<uint64_t>(TIFFScanlineSize64(tiff)) != fileRow.size())
      return E_ERROR_READ_FAILED;
    for (uint32_t y = 0; y < height; ++y) {
      if (TIFFReadScanline(tiff, fileRow.data(), y, 0) < 0) return E_ERROR_READ_FAILED;
      emit(static_cast<int>(y), fileRow.data());
    }
    return E_OK;
  }
  // Tiles: one band of tile rows at a time, copied out row by row.
  const size_t tileRowBytes = static_cast<size_t>(tileWidth) * samples * bytesPerSample;
  const size_t tileBytes = tileRowBytes * tileHeight;
  if (static_cast<uint64_t>(TIFFTileSize64(tiff)) != tileBytes) return E_ERROR_READ_FAILED;
  std::vector<uint8_t> tile(tileBytes);
  const uint32_t bandRows = std::min(tileHeight, height);
  std::vector<uint8_t> band(fileRow.size() * bandRows);
  for (uint32_t top = 0; top < height; top += tileHeight) {
    const uint32_t rows = std::min(tileHeight, height - top);
    for (uint32_t left = 0; left < width; left += tileWidth) {
      if (TIFFReadTile(tiff, tile.data(), left, top, 0, 0) < 0) return E_ERROR_READ_FAILED;
      const size_t bytes =
          static_cast<size_t>(std::min(tileWidth, width - left)) * samples * bytesPerSample;
      const size_t offset = static_cast<size_t>(left) * samples * bytesPerSample;
      for (uint32_t r = 0; r < rows; ++r)
        std::copy_n(&tile[r * tileRowBytes], bytes, &band[r * fileRow.size() + offset]);
    }
    for (uint32_t r = 0; r < rows; ++r) emit(static_cast<int>(top + r), &band[r * fileRow.size()]);
  }
  return E_OK;
}

E_ERRORS EncodeTiff(TIFF* tiff, RasterSource& source) {
  const RasterFormat& format = source.Format();
  const bool ok =
      TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(format.width)) &&
      TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(format.height)) &&
      TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, static_cast<uint16_t>(format.channels)) &&
      TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, static_cast<uint16_t>(format.bits)) &&
      TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC,
                   format.channels == 1 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB) &&
      TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
      TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE) &&
      TIFFSetField(tiff, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT) &&
      TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tiff, 0));
  if (!ok) return E_ERROR_WRITE_FAILED;
  for (int y = 0; y < format.height; ++y)
    if (TIFFWriteScanline(tiff, const_cast<void*>(source.Row(y)), static_cast<uint32_t>(y), 0) < 0)
      return E_ERROR_WRITE_FAILED;
  return TIFFFlush(tiff) ? E_OK : E_ERROR_WRITE_FAILED;
}

}  // namespace

E_ERRORS ReadTiff(const char* path, RasterSink& sink) {
  TIFF* tiff = OpenTiff(path, "r");
  if (tiff == nullptr) return E_ERROR_READ_FAILED;
  E_ERRORS code;
  try {
    code = DecodeTiff(tiff, sink);
  } catch (const std::bad_alloc&) {
    code = E_ERROR_ALLOCATION_FAILED;
  } catch (const std::length_error&) {
    code = E_ERROR_ALLOCATION_FAILED;
  }
  TIFFClose(tiff);
  return code;
}

E_ERRORS WriteTiff(const char* path, RasterSource& source) {
  TIFF* tiff = OpenTiff(path, "w");
  if (tiff == nullptr) return E_ERROR_CANNOT_OPEN_FILE;
  E_ERRORS code = EncodeTiff(tiff, source);
  TIFFClose(tiff);
  return code;
}

}  // namespace vimo_detail
#endif
