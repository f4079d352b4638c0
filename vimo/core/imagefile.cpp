// Image file input and output: binary PGM/PPM always, PNG through libpng when available.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "vimo/core/image.h"

#ifdef VIMO_HAVE_PNG
#include <png.h>
#endif

namespace {

// A decoded file: 1 (grey) or 3 (RGB) interleaved 8-bit channels, rows packed.
struct RasterData {
  int width = 0, height = 0, channels = 0;
  std::vector<uint8_t> pixels;
};

bool EndsWith(const std::string& text, const char* suffix) {
  size_t n = std::strlen(suffix);
  if (text.size() < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(text[text.size() - n + i])) != suffix[i])
      return false;
  return true;
}

// Reads one header integer of a PNM file, skipping white space and comments.
bool ReadPnmInteger(FILE* file, long& value) {
  int c = std::fgetc(file);
  for (;;) {
    while (c != EOF && std::isspace(c)) c = std::fgetc(file);
    if (c != '#') break;
    while (c != EOF && c != '\n' && c != '\r') c = std::fgetc(file);
  }
  if (c == EOF || !std::isdigit(c)) return false;
  value = 0;
  while (c != EOF && std::isdigit(c)) {
    value = value * 10 + (c - '0');
    if (value > 1000000000L) return false;
    c = std::fgetc(file);
  }
  // Exactly one white-space byte ends the header's last field.
  return c != EOF && std::isspace(c);
}

E_ERRORS ReadPnm(FILE* file, RasterData& out) {
  unsigned char magic[2];
  if (std::fread(magic, 1, 2, file) != 2) return E_ERROR_READ_FAILED;
  if (magic[0] != 'P' || (magic[1] != '5' && magic[1] != '6')) return E_ERROR_BAD_SIGNATURE;
  int channels = magic[1] == '5' ? 1 : 3;
  long width, height, maxval;
  if (!ReadPnmInteger(file, width) || !ReadPnmInteger(file, height) ||
      !ReadPnmInteger(file, maxval))
    return E_ERROR_BAD_SIGNATURE;
  if (width <= 0 || height <= 0 || maxval <= 0 || maxval > 65535) return E_ERROR_BAD_SIGNATURE;
  int bytesPerSample = maxval > 255 ? 2 : 1;
  // Compare the stated size with what the file holds before allocating for it.
  long start = std::ftell(file);
  if (start < 0 || std::fseek(file, 0, SEEK_END) != 0) return E_ERROR_READ_FAILED;
  long end = std::ftell(file);
  if (end < 0 || std::fseek(file, start, SEEK_SET) != 0) return E_ERROR_READ_FAILED;
  unsigned long long need =
      static_cast<unsigned long long>(width) * height * channels * bytesPerSample;
  if (need > static_cast<unsigned long long>(end - start)) return E_ERROR_READ_FAILED;
  if (width > 1 << 20 || height > 1 << 20) return E_ERROR_BAD_SIGNATURE;
  std::vector<uint8_t> raw(static_cast<size_t>(need));
  if (std::fread(raw.data(), 1, raw.size(), file) != raw.size()) return E_ERROR_READ_FAILED;
  out.width = static_cast<int>(width);
  out.height = static_cast<int>(height);
  out.channels = channels;
  size_t samples = static_cast<size_t>(width) * height * channels;
  out.pixels.resize(samples);
  for (size_t i = 0; i < samples; ++i) {
    long v = bytesPerSample == 2 ? (long(raw[2 * i]) << 8) | raw[2 * i + 1] : raw[i];
    out.pixels[i] = static_cast<uint8_t>(maxval == 255 ? v : (v * 255 + maxval / 2) / maxval);
  }
  return E_OK;
}

#ifdef VIMO_HAVE_PNG
E_ERRORS ReadPng(const char* path, RasterData& out) {
  png_image image;
  std::memset(&image, 0, sizeof(image));
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path)) return E_ERROR_BAD_SIGNATURE;
  bool colour = (image.format & PNG_FORMAT_FLAG_COLOR) != 0;
  image.format = colour ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
  if (image.width == 0 || image.height == 0 || image.width > (1u << 20) ||
      image.height > (1u << 20)) {
    png_image_free(&image);
    return E_ERROR_BAD_SIGNATURE;
  }
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
    png_image_free(&image);
    return E_ERROR_READ_FAILED;
  }
  out.width = static_cast<int>(image.width);
  out.height = static_cast<int>(image.height);
  out.channels = colour ? 3 : 1;
  out.pixels.swap(pixels);
  return E_OK;
}
#endif

E_ERRORS ReadRaster(const char* path, RasterData& out) {
  if (path == nullptr) return E_ERROR_CANNOT_OPEN_FILE;
  FILE* file = std::fopen(path, "rb");
  if (file == nullptr) return E_ERROR_CANNOT_OPEN_FILE;
  unsigned char head[8] = {0};
  size_t got = std::fread(head, 1, sizeof(head), file);
  E_ERRORS result;
  if (got == 0) {
    result = E_ERROR_READ_FAILED;
  } else if (got >= 2 && head[0] == 'P' && (head[1] == '5' || head[1] == '6')) {
    std::rewind(file);
    result = ReadPnm(file, out);
  } else if (got == 8 && std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) == 0) {
#ifdef VIMO_HAVE_PNG
    std::fclose(file);
    return ReadPng(path, out);
#else
    result = E_ERROR_BAD_SIGNATURE;
#endif
  } else {
    result = E_ERROR_BAD_SIGNATURE;
  }
  std::fclose(file);
  return result;
}

E_ERRORS WriteRaster(const char* path, const RasterData& in) {
  if (path == nullptr) return E_ERROR_CANNOT_OPEN_FILE;
  std::string name(path);
  if (EndsWith(name, ".png")) {
#ifdef VIMO_HAVE_PNG
    png_image image;
    std::memset(&image, 0, sizeof(image));
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(in.width);
    image.height = static_cast<png_uint_32>(in.height);
    image.format = in.channels == 3 ? PNG_FORMAT_RGB : PNG_FORMAT_GRAY;
    if (!png_image_write_to_file(&image, path, 0, in.pixels.data(), 0, nullptr))
      return E_ERROR_WRITE_FAILED;
    return E_OK;
#else
    return E_ERROR_INVALID_PARAMETER;
#endif
  }
  bool grey = EndsWith(name, ".pgm");
  if (!grey && !EndsWith(name, ".ppm")) return E_ERROR_INVALID_PARAMETER;
  if (grey != (in.channels == 1)) return E_ERROR_INVALID_PARAMETER;
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return E_ERROR_CANNOT_OPEN_FILE;
  bool ok = std::fprintf(file, "P%c\n%d %d\n255\n", grey ? '5' : '6', in.width, in.height) > 0 &&
            std::fwrite(in.pixels.data(), 1, in.pixels.size(), file) == in.pixels.size();
  if (std::fclose(file) != 0 && ok) return E_ERROR_CLOSE_FAILED;
  return ok ? E_OK : E_ERROR_WRITE_FAILED;
}

void Report(E_ERRORS code, const char* trace) {
  ESetError(code);
  ETraceError(trace);
}

}  // namespace

template <>
void EImage<EBW8>::Load(const char* path) {
  RasterData data;
  E_ERRORS code = ReadRaster(path, data);
  if (code != E_OK) return Report(code, "EImage<EBW8>::Load");
  EImage<EBW8> loaded(data.width, data.height);
  if (loaded.IsVoid()) return ETraceError("EImage<EBW8>::Load");
  for (int y = 0; y < data.height; ++y) {
    EBW8* row = loaded.GetImagePtr(0, y);
    const uint8_t* src = data.pixels.data() + static_cast<size_t>(y) * data.width * data.channels;
    for (int x = 0; x < data.width; ++x) {
      if (data.channels == 1) {
        row[x] = src[x];
      } else {
        const uint8_t* p = src + 3 * x;
        row[x] = static_cast<EBW8>((299 * p[0] + 587 * p[1] + 114 * p[2] + 500) / 1000);
      }
    }
  }
  SetSize(data.width, data.height);
  if (GetWidth() != data.width || GetHeight() != data.height)
    return ETraceError("EImage<EBW8>::Load");
  AdoptPixels(loaded.m_Pixels, data.width, data.height, loaded.m_Pitch);
}

template <>
void EImage<EC24>::Load(const char* path) {
  RasterData data;
  E_ERRORS code = ReadRaster(path, data);
  if (code != E_OK) return Report(code, "EImage<EC24>::Load");
  EImage<EC24> loaded(data.width, data.height);
  if (loaded.IsVoid()) return ETraceError("EImage<EC24>::Load");
  for (int y = 0; y < data.height; ++y) {
    EC24* row = loaded.GetImagePtr(0, y);
    const uint8_t* src = data.pixels.data() + static_cast<size_t>(y) * data.width * data.channels;
    for (int x = 0; x < data.width; ++x) {
      if (data.channels == 1)
        row[x] = EC24{src[x], src[x], src[x]};
      else
        row[x] = EC24{src[3 * x], src[3 * x + 1], src[3 * x + 2]};
    }
  }
  SetSize(data.width, data.height);
  if (GetWidth() != data.width || GetHeight() != data.height)
    return ETraceError("EImage<EC24>::Load");
  AdoptPixels(loaded.m_Pixels, data.width, data.height, loaded.m_Pitch);
}

template <>
void EImage<EBW8>::Save(const char* path) {
  RasterData data;
  data.width = GetWidth();
  data.height = GetHeight();
  data.channels = 1;
  if (data.width == 0 || data.height == 0)
    return Report(E_ERROR_INVALID_PARAMETER, "EImage<EBW8>::Save");
  data.pixels.resize(static_cast<size_t>(data.width) * data.height);
  for (int y = 0; y < data.height; ++y)
    std::memcpy(&data.pixels[static_cast<size_t>(y) * data.width], GetImagePtr(0, y), data.width);
  E_ERRORS code = WriteRaster(path, data);
  if (code != E_OK) Report(code, "EImage<EBW8>::Save");
}

template <>
void EImage<EC24>::Save(const char* path) {
  RasterData data;
  data.width = GetWidth();
  data.height = GetHeight();
  data.channels = 3;
  if (data.width == 0 || data.height == 0)
    return Report(E_ERROR_INVALID_PARAMETER, "EImage<EC24>::Save");
  std::string name(path != nullptr ? path : "");
  if (EndsWith(name, ".pgm")) {
    // A grey file of a colour image keeps the luminance.
    data.channels = 1;
  }
  data.pixels.resize(static_cast<size_t>(data.width) * data.height * data.channels);
  for (int y = 0; y < data.height; ++y) {
    const EC24* row = GetImagePtr(0, y);
    for (int x = 0; x < data.width; ++x) {
      size_t i = static_cast<size_t>(y) * data.width + x;
      if (data.channels == 1) {
        data.pixels[i] = static_cast<uint8_t>(
            (299 * row[x].C0 + 587 * row[x].C1 + 114 * row[x].C2 + 500) / 1000);
      } else {
        data.pixels[3 * i] = row[x].C0;
        data.pixels[3 * i + 1] = row[x].C1;
        data.pixels[3 * i + 2] = row[x].C2;
      }
    }
  }
  E_ERRORS code = WriteRaster(path, data);
  if (code != E_OK) Report(code, "EImage<EC24>::Save");
}
