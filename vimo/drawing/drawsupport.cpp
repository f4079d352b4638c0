#include "vimo/drawing/drawsupport.h"

#include <cmath>
#include <cstring>
#include <new>

#ifdef VIMO_HAVE_PNG
#include <png.h>
#endif

namespace Quarnel {
namespace DrawSupport {

bool ClampOpacity(double opacity, double& clamped) {
  if (std::isnan(opacity)) return false;
  clamped = opacity < 0.0 ? 0.0 : (opacity > 1.0 ? 1.0 : opacity);
  return true;
}

RegionReader::RegionReader(EGenericROI* region) {
  if (region == nullptr || region->IsVoid()) return;
  Kind kind = Kind::None;
  switch (region->GetPixelSize()) {
    case 1:
      if (dynamic_cast<EROI<EBW8>*>(region) != nullptr) kind = Kind::Grey8;
      break;
    case 2:
      if (dynamic_cast<EROI<EBW16>*>(region) != nullptr) kind = Kind::Grey16;
      break;
    case 3:
      if (dynamic_cast<EROI<EC24>*>(region) != nullptr) kind = Kind::Colour24;
      break;
    case 4:
      if (dynamic_cast<EROI<EBW32>*>(region) != nullptr) kind = Kind::Grey32;
      break;
    default: break;
  }
  const uint8_t* base = region->GetBasePtr();
  if (kind == Kind::None || base == nullptr) return;
  m_Kind = kind;
  m_pBase = base;
  m_Pitch = region->GetRowPitch();
  m_Width = region->GetWidth();
  m_Height = region->GetHeight();
}

void RegionReader::ReadRow(int y, int x0, int count, const DrawColor& tint, EC24* out) const {
  const uint8_t* row = m_pBase + static_cast<int64_t>(y) * m_Pitch;
  if (m_Kind == Kind::Colour24) {
    const EC24* p = reinterpret_cast<const EC24*>(row) + x0;
    for (int i = 0; i < count; ++i) out[i] = p[i];
    return;
  }
  bool plain = IsDefault(tint);
  EC24 t = Resolve(tint, DrawColor{255, 255, 255});
  for (int i = 0; i < count; ++i) {
    unsigned g = 0;
    switch (m_Kind) {
      case Kind::Grey8: g = row[x0 + i]; break;
      case Kind::Grey16: g = reinterpret_cast<const EBW16*>(row)[x0 + i] >> 8; break;
      case Kind::Grey32: g = reinterpret_cast<const EBW32*>(row)[x0 + i] >> 24; break;
      default: break;
    }
    if (plain) {
      out[i] = EC24{static_cast<uint8_t>(g), static_cast<uint8_t>(g), static_cast<uint8_t>(g)};
    } else {
      out[i] = EC24{static_cast<uint8_t>((g * t.C0 + 127) / 255),
                    static_cast<uint8_t>((g * t.C1 + 127) / 255),
                    static_cast<uint8_t>((g * t.C2 + 127) / 255)};
    }
  }
}

bool EncodePng(const std::vector<EC24>& pixels, int width, int height, std::vector<uint8_t>& png) {
  png.clear();
  if (width <= 0 || height <= 0 ||
      pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height))
    return false;
#ifdef VIMO_HAVE_PNG
  png_image image;
  std::memset(&image, 0, sizeof(image));
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  const void* data = pixels.data();
  png_alloc_size_t size = 0;
  // First pass sizes the buffer, second pass fills it.
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, data, 0, nullptr) || size == 0) {
    png_image_free(&image);
    return false;
  }
  try {
    png.resize(size);
  } catch (const std::bad_alloc&) {
    png_image_free(&image);
    return false;
  }
  if (!png_image_write_to_memory(&image, png.data(), &size, 0, data, 0, nullptr)) {
    png_image_free(&image);
    png.clear();
    return false;
  }
  png.resize(size);
  png_image_free(&image);
  return true;
#else
  return false;
#endif
}

std::string Base64(const std::vector<uint8_t>& bytes) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    uint32_t v = (uint32_t(bytes[i]) << 16) | (uint32_t(bytes[i + 1]) << 8) | bytes[i + 2];
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  if (i < bytes.size()) {
    uint32_t v = uint32_t(bytes[i]) << 16;
    if (i + 1 < bytes.size()) v |= uint32_t(bytes[i + 1]) << 8;
    out += kAlphabet[v >> 18];
    out += kAlphabet[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

}  // namespace DrawSupport
}  // namespace Quarnel
