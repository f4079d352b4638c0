// Image file input and output. A file read is recognised by its first bytes, a file written by
// its name's extension. Binary PGM/PPM always; PNG, JPEG and TIFF when the library is built with
// libpng, libjpeg and libtiff. The codecs decode row by row straight into the new image, which
// replaces the caller's only once the whole file has been read.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "vimo/core/image.h"
#include "vimo/core/imagecodecs.h"
#include "vimo/core/settings.h"

using vimo_detail::RasterFormat;
using vimo_detail::RasterSink;
using vimo_detail::RasterSource;

namespace {

bool EndsWith(const std::string& text, const char* suffix) {
  size_t n = std::strlen(suffix);
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(text[text.size() - n + i])) != suffix[i])
      return false;
  return true;
}

void Report(E_ERRORS code, const char* trace) {
  ESetError(code);
  ETraceError(trace);
}

// The rule for colour files loaded into grey images: the rounded luma of the samples.
inline unsigned Luma(unsigned r, unsigned g, unsigned b) {
  return (299 * r + 587 * g + 114 * b + 500) / 1000;
}

// One pixel from the samples of a file: 16-bit samples keep their high byte in 8-bit pixels
// (shift 8), 16-bit pixels keep every value.
inline void Put(EBW8& pixel, unsigned r, unsigned g, unsigned b, bool grey, int shift) {
  pixel = static_cast<EBW8>((grey ? r : Luma(r, g, b)) >> shift);
}
inline void Put(EBW16& pixel, unsigned r, unsigned g, unsigned b, bool grey, int) {
  pixel = static_cast<EBW16>(grey ? r : Luma(r, g, b));
}
inline void Put(EC24& pixel, unsigned r, unsigned g, unsigned b, bool, int shift) {
  pixel = EC24{static_cast<uint8_t>(r >> shift), static_cast<uint8_t>(g >> shift),
               static_cast<uint8_t>(b >> shift)};
}

template <class T, class S>
void ConvertRow(const S* in, int channels, int shift, T* out, int width) {
  if (channels == 1) {
    for (int x = 0; x < width; ++x) Put(out[x], in[x], in[x], in[x], true, shift);
  } else {
    for (int x = 0; x < width; ++x, in += 3) Put(out[x], in[0], in[1], in[2], false, shift);
  }
}

// Receives a decoded file into a new image of its size, once the size passes the pixel limit.
template <class T>
class ImageSink : public RasterSink {
 public:
  E_ERRORS Begin(const RasterFormat& format) override {
    if (format.width <= 0 || format.height <= 0 || (format.channels != 1 && format.channels != 3) ||
        (format.bits != 8 && format.bits != 16))
      return E_ERROR_BAD_SIGNATURE;
    if (static_cast<int64_t>(format.width) * format.height > EGetImageFilePixelLimit())
      return E_ERROR_ALLOCATION_FAILED;
    image.SetSize(format.width, format.height);
    if (image.GetWidth() != format.width || image.GetHeight() != format.height)
      return E_ERROR_ALLOCATION_FAILED;
    m_Format = format;
    return E_OK;
  }
  void Row(int y, const void* samples) override {
    T* out = image.GetImagePtr(0, y);
    if (m_Format.bits == 16)
      ConvertRow(static_cast<const uint16_t*>(samples), m_Format.channels, 8, out, m_Format.width);
    else
      ConvertRow(static_cast<const uint8_t*>(samples), m_Format.channels, 0, out, m_Format.width);
  }
  EImage<T> image;

 private:
  RasterFormat m_Format;
};

E_ERRORS ReadFile(const char* path, RasterSink& sink) {
  if (path == nullptr) return E_ERROR_CANNOT_OPEN_FILE;
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return E_ERROR_CANNOT_OPEN_FILE;
  unsigned char head[8] = {0};
  const size_t got = std::fread(head, 1, sizeof(head), file);
  std::rewind(file);
  E_ERRORS result = E_ERROR_BAD_SIGNATURE;
  const bool tiff =
      got >= 4 &&
      ((std::memcmp(head, "II", 2) == 0 && head[3] == 0 && (head[2] == 42 || head[2] == 43)) ||
       (std::memcmp(head, "MM", 2) == 0 && head[2] == 0 && (head[3] == 42 || head[3] == 43)));
  if (got == 0) {
    result = E_ERROR_READ_FAILED;
  } else if (got >= 2 && head[0] == 'P' && (head[1] == '5' || head[1] == '6')) {
    result = vimo_detail::ReadPnm(file, sink);
  } else if (got == 8 && std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) == 0) {
#ifdef VIMO_HAVE_PNG
    result = vimo_detail::ReadPng(file, sink);
#endif
  } else if (got >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) {
#ifdef VIMO_HAVE_JPEG
    result = vimo_detail::ReadJpeg(file, sink);
#endif
  } else if (tiff) {
#ifdef VIMO_HAVE_TIFF
    std::fclose(file);
    return vimo_detail::ReadTiff(path, sink);
#endif
  }
  std::fclose(file);
  return result;
}

// Loads a file into sink.image; on failure reports the code under the caller's name.
template <class T>
bool LoadFile(const char* path, ImageSink<T>& sink, const char* trace) {
  E_ERRORS code;
  try {
    code = ReadFile(path, sink);
  } catch (const std::bad_alloc&) {
    code = E_ERROR_ALLOCATION_FAILED;
  } catch (const std::length_error&) {
    code = E_ERROR_ALLOCATION_FAILED;
  }
  if (code != E_OK) Report(code, trace);
  return code == E_OK;
}

// Gives the rows of an image to a writer, each as the file stores it.
template <class T>
class ImageSource : public RasterSource {
 public:
  ImageSource(EImage<T>& image, int channels, int bits) : m_Image(image) {
    m_Format.width = image.GetWidth();
    m_Format.height = image.GetHeight();
    m_Format.channels = channels;
    m_Format.bits = bits;
  }
  const RasterFormat& Format() const override { return m_Format; }
  const void* Row(int y) override { return m_Image.GetImagePtr(0, y); }

 protected:
  EImage<T>& m_Image;
  RasterFormat m_Format;
};

// A colour image written to a grey file keeps the luma.
class LumaSource : public ImageSource<EC24> {
 public:
  explicit LumaSource(EImage<EC24>& image)
      : ImageSource<EC24>(image, 1, 8), m_Row(static_cast<size_t>(image.GetWidth())) {}
  const void* Row(int y) override {
    const EC24* in = m_Image.GetImagePtr(0, y);
    for (size_t x = 0; x < m_Row.size(); ++x)
      m_Row[x] = static_cast<uint8_t>(Luma(in[x].C0, in[x].C1, in[x].C2));
    return m_Row.data();
  }

 private:
  std::vector<uint8_t> m_Row;
};

enum class FileKind { Pgm, Ppm, Png, Jpeg, Tiff, Unknown };

FileKind KindOf(const char* path) {
  const std::string name(path);
  if (EndsWith(name, ".pgm")) return FileKind::Pgm;
  if (EndsWith(name, ".ppm")) return FileKind::Ppm;
  if (EndsWith(name, ".png")) return FileKind::Png;
  if (EndsWith(name, ".jpg") || EndsWith(name, ".jpeg")) return FileKind::Jpeg;
  if (EndsWith(name, ".tif") || EndsWith(name, ".tiff")) return FileKind::Tiff;
  return FileKind::Unknown;
}

// Writes through the codec of the file's kind.
E_ERRORS WriteFile(const char* path, FileKind kind, RasterSource& source) {
  const RasterFormat& format = source.Format();
  bool supported = false;
  switch (kind) {
    case FileKind::Pgm: supported = format.channels == 1; break;
    case FileKind::Ppm: supported = format.channels == 3; break;
#ifdef VIMO_HAVE_PNG
    case FileKind::Png: supported = true; break;
#endif
#ifdef VIMO_HAVE_JPEG
    case FileKind::Jpeg: supported = format.bits == 8; break;
#endif
#ifdef VIMO_HAVE_TIFF
    case FileKind::Tiff: supported = true; break;
#endif
    default: break;
  }
  if (!supported) return E_ERROR_INVALID_PARAMETER;
  E_ERRORS code = E_ERROR_INVALID_PARAMETER;
#ifdef VIMO_HAVE_TIFF
  if (kind == FileKind::Tiff) return vimo_detail::WriteTiff(path, source);
#endif
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return E_ERROR_CANNOT_OPEN_FILE;
  if (kind == FileKind::Pgm || kind == FileKind::Ppm) code = vimo_detail::WritePnm(file, source);
#ifdef VIMO_HAVE_PNG
  if (kind == FileKind::Png) code = vimo_detail::WritePng(file, source);
#endif
#ifdef VIMO_HAVE_JPEG
  if (kind == FileKind::Jpeg) code = vimo_detail::WriteJpeg(file, source);
#endif
  if (std::fclose(file) != 0 && code == E_OK) code = E_ERROR_CLOSE_FAILED;
  return code;
}

// Checks what every save needs, then writes; reports failures under the caller's name.
template <class T>
void SaveFile(EImage<T>& image, const char* path, int channels, int bits, const char* trace) {
  if (path == nullptr) return Report(E_ERROR_CANNOT_OPEN_FILE, trace);
  if (image.GetWidth() == 0 || image.GetHeight() == 0)
    return Report(E_ERROR_INVALID_PARAMETER, trace);
  const FileKind kind = KindOf(path);
  E_ERRORS code;
  try {
    if constexpr (std::is_same_v<T, EC24>) {
      if (kind == FileKind::Pgm) {
        LumaSource source(image);
        code = WriteFile(path, kind, source);
        if (code != E_OK) Report(code, trace);
        return;
      }
    }
    ImageSource<T> source(image, channels, bits);
    code = WriteFile(path, kind, source);
  } catch (const std::bad_alloc&) {
    code = E_ERROR_ALLOCATION_FAILED;
  }
  if (code != E_OK) Report(code, trace);
}

}  // namespace

template <>
void EImage<EBW8>::Load(const char* path) {
  ImageSink<EBW8> sink;
  if (!LoadFile(path, sink, "EImage<EBW8>::Load")) return;
  AdoptPixels(sink.image.m_Pixels, sink.image.m_ImageWidth, sink.image.m_ImageHeight,
              sink.image.m_Pitch);
}

template <>
void EImage<EBW16>::Load(const char* path) {
  ImageSink<EBW16> sink;
  if (!LoadFile(path, sink, "EImage<EBW16>::Load")) return;
  AdoptPixels(sink.image.m_Pixels, sink.image.m_ImageWidth, sink.image.m_ImageHeight,
              sink.image.m_Pitch);
}

template <>
void EImage<EC24>::Load(const char* path) {
  ImageSink<EC24> sink;
  if (!LoadFile(path, sink, "EImage<EC24>::Load")) return;
  AdoptPixels(sink.image.m_Pixels, sink.image.m_ImageWidth, sink.image.m_ImageHeight,
              sink.image.m_Pitch);
}

template <>
void EImage<EBW8>::Save(const char* path) {
  SaveFile(*this, path, 1, 8, "EImage<EBW8>::Save");
}

template <>
void EImage<EBW16>::Save(const char* path) {
  SaveFile(*this, path, 1, 16, "EImage<EBW16>::Save");
}

template <>
void EImage<EC24>::Save(const char* path) {
  SaveFile(*this, path, 3, 8, "EImage<EC24>::Save");
}
