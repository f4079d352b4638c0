// PNG files through libpng. Samples are read as stored: no gamma or colour-space conversion, so
// that a file's grey levels are the image's. Palettes expand to RGB, grey levels of fewer than
// 8 bits to 8 bits; alpha and transparency are dropped.
#ifdef VIMO_HAVE_PNG
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

#include "vimo/core/imagecodecs.h"

namespace vimo_detail {
namespace {

// What the error handler leaves for the caller once libpng has jumped back.
struct PngState {
  E_ERRORS code = E_ERROR_READ_FAILED;
};

void OnPngError(png_structp png, png_const_charp message) {
  PngState* state = static_cast<PngState*>(png_get_error_ptr(png));
  if (state != nullptr && message != nullptr && std::strcmp(message, "Out of memory") == 0)
    state->code = E_ERROR_ALLOCATION_FAILED;
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// The rows of a 16-bit PNG are big-endian; the sink takes host order.
void ToHostOrder(const uint8_t* bytes, uint16_t* samples, size_t count) {
  for (size_t i = 0; i < count; ++i)
    samples[i] = static_cast<uint16_t>((bytes[2 * i] << 8) | bytes[2 * i + 1]);
}

// Everything that libpng may leave by a long jump lives in the caller's objects: this function
// holds no object with a destructor, so the jump skips nothing.
E_ERRORS DecodePng(png_structp png, png_infop info, RasterSink& sink, PngState& state,
                   std::vector<uint8_t>& bytes, std::vector<uint16_t>& wide) {
  if (setjmp(png_jmpbuf(png))) return state.code;
  // The pixel limit of the sink is the one bound on the size; chunks stay capped by libpng.
  png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
  png_read_info(png, info);
  png_uint_32 width = 0, height = 0;
  int depth = 0, colourType = 0, interlace = 0;
  png_get_IHDR(png, info, &width, &height, &depth, &colourType, &interlace, nullptr, nullptr);
  if (colourType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colourType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  // Expanding a palette also turns its transparency into alpha, which is dropped with the rest.
  if ((colourType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS))
    png_set_strip_alpha(png);
  const int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);

  RasterFormat format;
  format.width = static_cast<int>(width);
  format.height = static_cast<int>(height);
  format.channels = png_get_channels(png, info);
  format.bits = png_get_bit_depth(png, info);
  if ((format.channels != 1 && format.channels != 3) || (format.bits != 8 && format.bits != 16))
    return E_ERROR_BAD_SIGNATURE;
  state.code = sink.Begin(format);
  if (state.code != E_OK) return state.code;
  state.code = E_ERROR_READ_FAILED;

  const size_t rowBytes = png_get_rowbytes(png, info);
  const size_t count = static_cast<size_t>(format.width) * format.channels;
  if (format.bits == 16) wide.resize(count);
  if (passes == 1) {
    bytes.resize(rowBytes);
    for (int y = 0; y < format.height; ++y) {
      png_read_row(png, bytes.data(), nullptr);
      if (format.bits == 16) {
        ToHostOrder(bytes.data(), wide.data(), count);
        sink.Row(y, wide.data());
      } else {
        sink.Row(y, bytes.data());
      }
    }
  } else {
    // An interlaced file fills every row over several passes: it is decoded whole, within the
    // size the sink accepted.
    bytes.resize(rowBytes * format.height);
    for (int pass = 0; pass < passes; ++pass)
      for (int y = 0; y < format.height; ++y) png_read_row(png, &bytes[rowBytes * y], nullptr);
    for (int y = 0; y < format.height; ++y) {
      const uint8_t* row = &bytes[rowBytes * y];
      if (format.bits == 16) {
        ToHostOrder(row, wide.data(), count);
        sink.Row(y, wide.data());
      } else {
        sink.Row(y, row);
      }
    }
  }
  return E_OK;
}

E_ERRORS EncodePng(png_structp png, png_infop info, RasterSource& source, PngState& state) {
  if (setjmp(png_jmpbuf(png))) return state.code;
  const RasterFormat& format = source.Format();
  png_set_IHDR(png, info, static_cast<png_uint_32>(format.width),
               static_cast<png_uint_32>(format.height), format.bits,
               format.channels == 1 ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  if (format.bits == 16 && HostIsLittleEndian()) png_set_swap(png);
  for (int y = 0; y < format.height; ++y)
    png_write_row(png, static_cast<png_const_bytep>(source.Row(y)));
  png_write_end(png, nullptr);
  return E_OK;
}

}  // namespace

E_ERRORS ReadPng(FILE* file, RasterSink& sink) {
  PngState state;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, OnPngError, OnPngWarning);
  if (png == nullptr) return E_ERROR_ALLOCATION_FAILED;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return E_ERROR_ALLOCATION_FAILED;
  }
  png_init_io(png, file);
  std::vector<uint8_t> bytes;
  std::vector<uint16_t> wide;
  E_ERRORS code;
  try {
    code = DecodePng(png, info, sink, state, bytes, wide);
  } catch (const std::bad_alloc&) {
    code = E_ERROR_ALLOCATION_FAILED;
  } catch (const std::length_error&) {
    code = E_ERROR_ALLOCATION_FAILED;
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return code;
}

E_ERRORS WritePng(FILE* file, RasterSource& source) {
  PngState state;
  state.code = E_ERROR_WRITE_FAILED;
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, OnPngError, OnPngWarning);
  if (png == nullptr) return E_ERROR_ALLOCATION_FAILED;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return E_ERROR_ALLOCATION_FAILED;
  }
  png_init_io(png, file);
  E_ERRORS code = EncodePng(png, info, source, state);
  png_destroy_write_struct(&png, &info);
  return code;
}

}  // namespace vimo_detail
#endif
