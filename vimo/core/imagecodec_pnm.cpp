// Binary PGM (P5) and PPM (P6) files: 8-bit samples when the maximum value is at most 255
// (scaled to 0..255 when it is less), 16-bit big-endian samples kept as they are otherwise.
#include <algorithm>
#include <cctype>
#include <vector>

#include "vimo/core/imagecodecs.h"

namespace vimo_detail {
namespace {

// Reads one header integer, skipping white space and comments.
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

}  // namespace

E_ERRORS ReadPnm(FILE* file, RasterSink& sink) {
  unsigned char magic[2];
  if (std::fread(magic, 1, 2, file) != 2) return E_ERROR_READ_FAILED;
  if (magic[0] != 'P' || (magic[1] != '5' && magic[1] != '6')) return E_ERROR_BAD_SIGNATURE;
  RasterFormat format;
  format.channels = magic[1] == '5' ? 1 : 3;
  long width, height, maxval;
  if (!ReadPnmInteger(file, width) || !ReadPnmInteger(file, height) ||
      !ReadPnmInteger(file, maxval))
    return E_ERROR_BAD_SIGNATURE;
  if (width <= 0 || height <= 0 || maxval <= 0 || maxval > 65535) return E_ERROR_BAD_SIGNATURE;
  format.width = static_cast<int>(width);
  format.height = static_cast<int>(height);
  format.bits = maxval > 255 ? 16 : 8;
  const size_t bytesPerSample = format.bits / 8;
  // Compare the stated size with what the file holds before anything is allocated for it.
  long start = std::ftell(file);
  if (start < 0 || std::fseek(file, 0, SEEK_END) != 0) return E_ERROR_READ_FAILED;
  long end = std::ftell(file);
  if (end < 0 || std::fseek(file, start, SEEK_SET) != 0) return E_ERROR_READ_FAILED;
  const unsigned long long samplesPerRow = static_cast<unsigned long long>(width) * format.channels;
  if (samplesPerRow * height * bytesPerSample > static_cast<unsigned long long>(end - start))
    return E_ERROR_READ_FAILED;
  E_ERRORS code = sink.Begin(format);
  if (code != E_OK) return code;

  const size_t count = static_cast<size_t>(samplesPerRow);
  std::vector<uint8_t> raw(count * bytesPerSample);
  std::vector<uint16_t> wide(format.bits == 16 ? count : 0);
  for (int y = 0; y < format.height; ++y) {
    if (std::fread(raw.data(), 1, raw.size(), file) != raw.size()) return E_ERROR_READ_FAILED;
    if (format.bits == 16) {
      // Samples above the maximum value are out of the file's range: they read as the maximum.
      for (size_t i = 0; i < count; ++i)
        wide[i] =
            static_cast<uint16_t>(std::min<long>(maxval, (long(raw[2 * i]) << 8) | raw[2 * i + 1]));
      sink.Row(y, wide.data());
    } else {
      if (maxval != 255)
        for (uint8_t& v : raw)
          v = static_cast<uint8_t>((std::min<long>(v, maxval) * 255 + maxval / 2) / maxval);
      sink.Row(y, raw.data());
    }
  }
  return E_OK;
}

E_ERRORS WritePnm(FILE* file, RasterSource& source) {
  const RasterFormat& format = source.Format();
  const bool wide = format.bits == 16;
  if (std::fprintf(file, "P%c\n%d %d\n%d\n", format.channels == 1 ? '5' : '6', format.width,
                   format.height, wide ? 65535 : 255) <= 0)
    return E_ERROR_WRITE_FAILED;
  const size_t count = static_cast<size_t>(format.width) * format.channels;
  std::vector<uint8_t> bytes(wide ? 2 * count : 0);
  for (int y = 0; y < format.height; ++y) {
    const void* row = source.Row(y);
    if (wide) {
      const uint16_t* samples = static_cast<const uint16_t*>(row);
      for (size_t i = 0; i < count; ++i) {
        bytes[2 * i] = static_cast<uint8_t>(samples[i] >> 8);
        bytes[2 * i + 1] = static_cast<uint8_t>(samples[i]);
      }
      row = bytes.data();
    }
    if (std::fwrite(row, wide ? 2 : 1, count, file) != count) return E_ERROR_WRITE_FAILED;
  }
  return E_OK;
}

}  // namespace vimo_detail
