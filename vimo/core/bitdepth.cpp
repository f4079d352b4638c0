#include "vimo/core/bitdepth.h"

#include <algorithm>
#include <vector>

namespace {

bool CheckRegions(const EROI<EBW16>* source, const EROI<EBW8>* destination, const char* trace) {
  if (source == nullptr || destination == nullptr || source->IsVoid() || destination->IsVoid() ||
      source->GetWidth() != destination->GetWidth() ||
      source->GetHeight() != destination->GetHeight()) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError(trace);
    return false;
  }
  return true;
}

// Applies map to every pixel, row by row.
template <class Map>
void ConvertRegion(const EROI<EBW16>* source, EROI<EBW8>* destination, Map map) {
  const int width = source->GetWidth();
  for (int y = 0; y < source->GetHeight(); ++y) {
    const EBW16* in = source->GetImagePtr(0, y);
    EBW8* out = destination->GetImagePtr(0, y);
    for (int x = 0; x < width; ++x) out[x] = map(in[x]);
  }
}

}  // namespace

void EConvertToBW8Shift(const EROI<EBW16>* source, EROI<EBW8>* destination, int shift) {
  const char* trace = "EConvertToBW8Shift";
  if (shift < 0 || shift > 15) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError(trace);
    return;
  }
  if (!CheckRegions(source, destination, trace)) return;
  ConvertRegion(source, destination, [shift](EBW16 v) {
    return static_cast<EBW8>(std::min<unsigned>(255u, static_cast<unsigned>(v) >> shift));
  });
}

void EConvertToBW8Window(const EROI<EBW16>* source, EROI<EBW8>* destination, int low, int high) {
  const char* trace = "EConvertToBW8Window";
  if (low < 0 || high > 65535 || low >= high) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError(trace);
    return;
  }
  if (!CheckRegions(source, destination, trace)) return;
  // round(255 * d / range) for d in 0..range, in integers: (510 d + range) / (2 range).
  const uint64_t range = static_cast<uint64_t>(high - low);
  auto level = [range](uint64_t d) { return static_cast<EBW8>((510 * d + range) / (2 * range)); };
  const uint64_t pixels = static_cast<uint64_t>(source->GetWidth()) * source->GetHeight();
  if (pixels > range) {
    // More pixels than levels: one division per level, then a table look-up per pixel.
    std::vector<EBW8> table(range + 1);
    for (uint64_t d = 0; d <= range; ++d) table[d] = level(d);
    ConvertRegion(source, destination, [&table, low, high](EBW16 v) {
      return table[std::min<int>(std::max<int>(v, low), high) - low];
    });
  } else {
    ConvertRegion(source, destination, [level, low, high](EBW16 v) {
      return level(static_cast<uint64_t>(std::min<int>(std::max<int>(v, low), high) - low));
    });
  }
}
