// JPEG files through libjpeg(-turbo): grey files read as grey, colour files as RGB; CMYK files
// are refused. A file whose data is cut short or damaged fails rather than giving an image with
// invented pixels. Written at quality 95, grey or YCbCr.
#ifdef VIMO_HAVE_JPEG
// clang-format off
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <csetjmp>
#include <new>
#include <stdexcept>
#include <vector>

#include "vimo/core/imagecodecs.h"

namespace vimo_detail {
namespace {

// Progressive files may hold any number of scans, each a pass over the whole image: a bound
// keeps a small file from taking minutes.
constexpr int kMaxScans = 1000;
constexpr int kQuality = 95;

struct JpegErrors {
  jpeg_error_mgr manager;
  jpeg_progress_mgr progress;
  jmp_buf jump;
  E_ERRORS code;
};

void OnJpegError(j_common_ptr cinfo) {
  JpegErrors* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
  if (cinfo->err->msg_code == JERR_OUT_OF_MEMORY) errors->code = E_ERROR_ALLOCATION_FAILED;
  longjmp(errors->jump, 1);
}

// Warnings that mean pixels were lost or made up end the decoding; the others (an unknown
// revision, a few stray bytes between markers) are harmless and ignored.
void OnJpegMessage(j_common_ptr cinfo, int level) {
  if (level >= 0) return;
  switch (cinfo->err->msg_code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC:
    case JWRN_NOT_SEQUENTIAL:
    case JWRN_BOGUS_PROGRESSION: OnJpegError(cinfo); break;
    default: break;
  }
}

void OnJpegProgress(j_common_ptr cinfo) {
  if (cinfo->is_decompressor &&
      reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans)
    OnJpegError(cinfo);
}

void SetUpErrors(JpegErrors& errors, E_ERRORS code) {
  jpeg_std_error(&errors.manager);
  errors.manager.error_exit = OnJpegError;
  errors.manager.emit_message = OnJpegMessage;
  errors.progress = jpeg_progress_mgr();
  errors.progress.progress_monitor = OnJpegProgress;
  errors.code = code;
}

// libjpeg leaves by a long jump on error: this function holds no object with a destructor, and
// everything it fills lives in the caller.
E_ERRORS DecodeJpeg(jpeg_decompress_struct& cinfo, JpegErrors& errors, FILE* file, RasterSink& sink,
                    std::vector<uint8_t>& row) {
  if (setjmp(errors.jump)) return errors.code;
  jpeg_create_decompress(&cinfo);
  cinfo.progress = &errors.progress;
  jpeg_stdio_src(&cinfo, file);
  jpeg_read_header(&cinfo, TRUE);
  RasterFormat format;
  format.width = static_cast<int>(cinfo.image_width);
  format.height = static_cast<int>(cinfo.image_height);
  if (cinfo.jpeg_color_space == JCS_GRAYSCALE) {
    cinfo.out_color_space = JCS_GRAYSCALE;
    format.channels = 1;
  } else if (cinfo.jpeg_color_space == JCS_YCbCr || cinfo.jpeg_color_space == JCS_RGB) {
    cinfo.out_color_space = JCS_RGB;
    format.channels = 3;
  } else {
    return E_ERROR_BAD_SIGNATURE;
  }
  // The size is accepted (or refused) before libjpeg allocates for it.
  errors.code = sink.Begin(format);
  if (errors.code != E_OK) return errors.code;
  errors.code = E_ERROR_READ_FAILED;
  jpeg_start_decompress(&cinfo);
  if (static_cast<int>(cinfo.output_width) != format.width ||
      static_cast<int>(cinfo.output_height) != format.height ||
      cinfo.output_components != format.channels)
    return E_ERROR_READ_FAILED;
  row.resize(static_cast<size_t>(format.width) * format.channels);
  for (int y = 0; y < format.height; ++y) {
    JSAMPROW rows[1] = {row.data()};
    if (jpeg_read_scanlines(&cinfo, rows, 1) != 1) return E_ERROR_READ_FAILED;
    sink.Row(y, row.data());
  }
  jpeg_finish_decompress(&cinfo);
  return E_OK;
}

E_ERRORS EncodeJpeg(jpeg_compress_struct& cinfo, JpegErrors& errors, FILE* file,
                    RasterSource& source) {
  if (setjmp(errors.jump)) return errors.code;
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, file);
  const RasterFormat& format = source.Format();
  cinfo.image_width = static_cast<JDIMENSION>(format.width);
  cinfo.image_height = static_cast<JDIMENSION>(format.height);
  cinfo.input_components = format.channels;
  cinfo.in_color_space = format.channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, kQuality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  for (int y = 0; y < format.height; ++y) {
    JSAMPROW rows[1] = {static_cast<JSAMPROW>(const_cast<void*>(source.Row(y)))};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  return E_OK;
}

}  // namespace

E_ERRORS ReadJpeg(FILE* file, RasterSink& sink) {
  jpeg_decompress_struct cinfo = jpeg_decompress_struct();
  JpegErrors errors;
  SetUpErrors(errors, E_ERROR_READ_FAILED);
  cinfo.err = &errors.manager;
  std::vector<uint8_t> row;
  E_ERRORS code;
  try {
    code = DecodeJpeg(cinfo, errors, file, sink, row);
  } catch (const std::bad_alloc&) {
    code = E_ERROR_ALLOCATION_FAILED;
  } catch (const std::length_error&) {
    code = E_ERROR_ALLOCATION_FAILED;
  }
  jpeg_destroy_decompress(&cinfo);
  return code;
}

E_ERRORS WriteJpeg(FILE* file, RasterSource& source) {
  if (source.Format().bits != 8) return E_ERROR_INVALID_PARAMETER;
  jpeg_compress_struct cinfo = jpeg_compress_struct();
  JpegErrors errors;
  SetUpErrors(errors, E_ERROR_WRITE_FAILED);
  cinfo.err = &errors.manager;
  E_ERRORS code = EncodeJpeg(cinfo, errors, file, source);
  jpeg_destroy_compress(&cinfo);
  return code;
}

}  // namespace vimo_detail
#endif
