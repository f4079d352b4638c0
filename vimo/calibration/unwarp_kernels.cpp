#include "vimo/calibration/unwarp_kernels.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <vector>

#include "vimo/core/errors.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vimo_unwarp {

namespace {

inline ESubPixel64 MakeEntry(int32_t offset, uint32_t fractionX, uint32_t fractionY) {
  ESubPixel64 entry;
  entry.Raw = 0;
  entry.SubPixel.Offset = offset;
  entry.SubPixel.FractionX = static_cast<uint16_t>(fractionX);
  entry.SubPixel.FractionY = static_cast<uint16_t>(fractionY);
  return entry;
}

inline uint64_t RawOf(const ESubPixel64* entry) {
  uint64_t raw;
  std::memcpy(&raw, entry, sizeof(raw));
  return raw;
}

// Offset (low 32 bits of an entry) clamped into [low, high]; keep is all ones for a usable
// entry and zero for a negative (no source) offset, so that the value can be masked without a
// branch.
inline int32_t ClampedOffset(uint64_t raw, int32_t low, int32_t high, uint32_t& keep) {
  int32_t offset = static_cast<int32_t>(static_cast<uint32_t>(raw));
  keep = ~static_cast<uint32_t>(offset >> 31);
  return std::min(std::max(offset, low), high);
}

}  // namespace

Isa SupportedIsa() {
  static const Isa supported = [] {
#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) return kIsaAvx2;
#endif
#if defined(__SSE2__)
    return kIsaSse2;
#else
    return kIsaScalar;
#endif
  }();
  return supported;
}

namespace {
std::atomic<int> g_chosenIsa{-1};  // -1: the supported one
}  // namespace

Isa ActiveIsa() {
  int chosen = g_chosenIsa.load(std::memory_order_relaxed);
  return chosen < 0 ? SupportedIsa() : static_cast<Isa>(chosen);
}

Isa UseIsa(Isa isa) {
  Isa used = std::min(isa, SupportedIsa());
  g_chosenIsa.store(used, std::memory_order_relaxed);
  return used;
}

Mapping MakeMapping(MapFunction map, const void* context, float opticalCenterX,
                    float opticalCenterY, float scale, float ratio) {
  Mapping mapping;
  mapping.map = map;
  mapping.context = context;
  mapping.ox = opticalCenterX;
  mapping.oy = opticalCenterY;
  mapping.u = 1.0f / scale;
  mapping.v = ratio > 0.0f ? mapping.u : -mapping.u;
  return mapping;
}

namespace {

// The usable area of a source in the units each sampling compares in, computed once per call.
struct EntryLimits {
  double width, height;         // nearest: columns and rows
  double bilinearX, bilinearY;  // bilinear: 256 (W - 1) and 256 H
  int32_t pixelSize, pitch;
  explicit EntryLimits(const SourceLayout& source)
      : width(source.width),
        height(source.height),
        bilinearX(256.0 * (source.width - 1)),
        bilinearY(256.0 * source.height),
        pixelSize(source.pixelSize),
        pitch(source.pitch) {}
};

inline ESubPixel64 Nearest(float X, float Y, const EntryLimits& limits) {
  // Exact in double; the comparisons also reject NaN and infinities before any conversion.
  double column = static_cast<double>(X) + 0.5;
  double row = static_cast<double>(Y) - 0.5;
  if (!(column >= 0.0 && column < limits.width && row >= 0.0 && row < limits.height))
    return MakeEntry(kNoSource, 0, 0);
  int32_t ix = static_cast<int32_t>(column);  // truncation is floor for non-negative values
  int32_t iy = static_cast<int32_t>(row);
  return MakeEntry(ix * limits.pixelSize + iy * limits.pitch, 0, 0);
}

inline ESubPixel64 Bilinear(float X, float Y, const EntryLimits& limits) {
  // Positions in 1/256 pixel; the scaling is exact in double.
  double fx = 256.0 * static_cast<double>(X);
  double fy = 256.0 * static_cast<double>(Y);
  if (!(fx >= 0.0 && fx < limits.bilinearX && fy >= 256.0 && fy < limits.bilinearY))
    return MakeEntry(kNoSource, 0, 0);
  // 64-bit: on sources over 2^23 pixels a side the positions pass 2^31; the offset still fits.
  int64_t ix = static_cast<int64_t>(fx);
  int64_t iy = static_cast<int64_t>(fy);
  return MakeEntry(static_cast<int32_t>((ix >> 8) * limits.pixelSize + (iy >> 8) * limits.pitch),
                   static_cast<uint32_t>(ix & 255), static_cast<uint32_t>(iy & 255));
}

}  // namespace

ESubPixel64 NearestEntry(float X, float Y, const SourceLayout& source) {
  return Nearest(X, Y, EntryLimits(source));
}

ESubPixel64 BilinearEntry(float X, float Y, const SourceLayout& source) {
  return Bilinear(X, Y, EntryLimits(source));
}

void ComputeEntries(const float* X, const float* Y, int count, const SourceLayout& source,
                    int interpolate, ESubPixel64* entries) {
  int i =
      ActiveIsa() >= kIsaAvx2 ? ComputeEntriesAvx2(X, Y, count, source, interpolate, entries) : 0;
  const EntryLimits limits(source);
  if (interpolate)
    for (; i < count; ++i) entries[i] = Bilinear(X[i], Y[i], limits);
  else
    for (; i < count; ++i) entries[i] = Nearest(X[i], Y[i], limits);
}

namespace {

// World abscissa of output column i: float(i) below 2^24, where a float counter stepped by one
// stops growing.
inline float Abscissa(const Mapping& mapping, int i) {
  return (static_cast<float>(std::min(i, 1 << 24)) - mapping.ox) * mapping.u;
}

// Row j in chunks: world abscissas (from `abscissas` when given, the same for every row),
// their sensor positions, then the entries.
void ComputeRow(const Mapping& mapping, const SourceLayout& source, int interpolate, int j,
                const float* abscissas, ESubPixel64* entries) {
  constexpr int kChunk = 512;
  float chunk[kChunk], X[kChunk], Y[kChunk];
  const float y = (static_cast<float>(j) - mapping.oy) * mapping.v;
  for (int start = 0; start < source.width; start += kChunk) {
    const int n = std::min(kChunk, source.width - start);
    const float* x = abscissas + start;
    if (abscissas == nullptr) {
      for (int k = 0; k < n; ++k) chunk[k] = Abscissa(mapping, start + k);
      x = chunk;
    }
    if (mapping.mapRow != nullptr) {
      mapping.mapRow(mapping.context, x, y, n, X, Y);
    } else {
      for (int k = 0; k < n; ++k) mapping.map(mapping.context, x[k], y, X[k], Y[k]);
    }
    ComputeEntries(X, Y, n, source, interpolate, entries + start);
  }
}

// The abscissas of every column, computed once for all rows; empty when they cannot be stored
// (each row then computes its own).
std::vector<float> Abscissas(const Mapping& mapping, int width) {
  std::vector<float> x;
  try {
    x.resize(static_cast<size_t>(width));
  } catch (const std::bad_alloc&) {
    return x;
  }
  for (int i = 0; i < width; ++i) x[i] = Abscissa(mapping, i);
  return x;
}

}  // namespace

void ComputeRow(const Mapping& mapping, const SourceLayout& source, int interpolate, int j,
                ESubPixel64* entries) {
  ComputeRow(mapping, source, interpolate, j, nullptr, entries);
}

RowSource MakeRowSource(const uint8_t* base, const SourceLayout& source, int interpolate) {
  RowSource src;
  src.base = base;
  src.pitch = source.pitch;
  int64_t lastRow = static_cast<int64_t>(source.height - 1) * source.pitch;
  if (interpolate) {
    // The pixel at the offset, its right-hand neighbour and the two above them must exist.
    src.low = source.pitch;
    int64_t high = lastRow + static_cast<int64_t>(source.width - 2) * source.pixelSize;
    src.high = source.width >= 2 && source.height >= 2 ? static_cast<int32_t>(high) : -1;
  } else {
    src.low = 0;
    int64_t high = lastRow + static_cast<int64_t>(source.width - 1) * source.pixelSize;
    src.high = source.width >= 1 && source.height >= 1 ? static_cast<int32_t>(high) : -1;
  }
  if (src.high < src.low) src.high = src.low - 1;
  return src;
}

namespace {

inline uint16_t Load16(const uint8_t* p) {
  uint16_t value;
  std::memcpy(&value, p, sizeof(value));
  return value;
}

inline uint32_t Load32(const uint8_t* p) {
  uint32_t value;
  std::memcpy(&value, p, sizeof(value));
  return value;
}

// Writes four colour pixels given as the low three bytes of four words: twelve bytes.
inline void StoreFourC24(uint8_t* out, uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) {
  uint64_t first = (w0 & 0xFFFFFFu) | (static_cast<uint64_t>(w1 & 0xFFFFFFu) << 24) |
                   (static_cast<uint64_t>(w2) << 48);
  uint32_t second = ((w2 >> 16) & 0xFFu) | ((w3 & 0xFFFFFFu) << 8);
  std::memcpy(out, &first, sizeof(first));
  std::memcpy(out + 8, &second, sizeof(second));
}

#if defined(__SSE2__)
// Offsets of eight entries (two vectors of four), their no-source masks as 16-bit lanes
// (all ones for a negative offset) and the offsets clamped into [low, high].
struct EightEntries {
  __m128i offsets0, offsets1;  // clamped
  __m128i fractions0, fractions1;
  __m128i noSource;  // eight 16-bit lanes
};

inline __m128i Clamp(__m128i x, __m128i low, __m128i high) {
  __m128i below = _mm_cmplt_epi32(x, low);
  x = _mm_or_si128(_mm_and_si128(below, low), _mm_andnot_si128(below, x));
  __m128i above = _mm_cmpgt_epi32(x, high);
  return _mm_or_si128(_mm_and_si128(above, high), _mm_andnot_si128(above, x));
}

// Writes four colour pixels given as the low three bytes of each 32-bit lane: twelve bytes.
inline void StoreFourC24(uint8_t* out, __m128i pixels) {
  // Close the gap inside each 64-bit half (pixel pairs of six bytes), then join the halves.
  const __m128i low = _mm_set1_epi64x(0xFFFFFF), high = _mm_set1_epi64x(0xFFFFFF000000);
  __m128i pairs =
      _mm_or_si128(_mm_and_si128(pixels, low), _mm_and_si128(_mm_srli_epi64(pixels, 8), high));
  __m128i joined = _mm_or_si128(_mm_move_epi64(pairs), _mm_slli_si128(_mm_srli_si128(pairs, 8), 6));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), joined);
  uint32_t last = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(joined, 8)));
  std::memcpy(out + 8, &last, sizeof(last));
}

inline EightEntries LoadEight(const ESubPixel64* entries, __m128i low, __m128i high) {
  const float* e = reinterpret_cast<const float*>(entries);
  __m128 e0 = _mm_loadu_ps(e), e1 = _mm_loadu_ps(e + 4);
  __m128 e2 = _mm_loadu_ps(e + 8), e3 = _mm_loadu_ps(e + 12);
  EightEntries out;
  __m128i o0 = _mm_castps_si128(_mm_shuffle_ps(e0, e1, _MM_SHUFFLE(2, 0, 2, 0)));
  __m128i o1 = _mm_castps_si128(_mm_shuffle_ps(e2, e3, _MM_SHUFFLE(2, 0, 2, 0)));
  out.fractions0 = _mm_castps_si128(_mm_shuffle_ps(e0, e1, _MM_SHUFFLE(3, 1, 3, 1)));
  out.fractions1 = _mm_castps_si128(_mm_shuffle_ps(e2, e3, _MM_SHUFFLE(3, 1, 3, 1)));
  out.noSource = _mm_packs_epi32(_mm_srai_epi32(o0, 31), _mm_srai_epi32(o1, 31));
  out.offsets0 = Clamp(o0, low, high);
  out.offsets1 = Clamp(o1, low, high);
  return out;
}
#endif

}  // namespace

void NearestRow(const ESubPixel64* entries, int count, const RowSource& src, EBW8* dst) {
  const uint8_t* const base = src.base;
  const int32_t low = src.low, high = src.high;
  if (high < low) {
    std::memset(dst, 0, static_cast<size_t>(count));
    return;
  }
  const Isa isa = ActiveIsa();
  int i = isa >= kIsaAvx2 ? NearestRowAvx2(entries, count, src, dst) : 0;
#if defined(__SSE2__)
  if (isa >= kIsaSse2) {
    const __m128i vlow = _mm_set1_epi32(low), vhigh = _mm_set1_epi32(high);
    alignas(16) int32_t offsets[8];
    for (; i + 8 <= count; i += 8) {
      EightEntries e = LoadEight(entries + i, vlow, vhigh);
      _mm_store_si128(reinterpret_cast<__m128i*>(offsets), e.offsets0);
      _mm_store_si128(reinterpret_cast<__m128i*>(offsets + 4), e.offsets1);
      uint64_t pixels = 0;
      for (int k = 0; k < 8; ++k) pixels |= static_cast<uint64_t>(base[offsets[k]]) << (8 * k);
      __m128i noSource = _mm_packs_epi16(e.noSource, e.noSource);
      __m128i value =
          _mm_andnot_si128(noSource, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(&pixels)));
      _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + i), value);
    }
  }
#endif
  for (; i < count; ++i) {
    uint32_t keep;
    int32_t offset = ClampedOffset(RawOf(entries + i), low, high, keep);
    dst[i] = static_cast<EBW8>(base[offset] & keep);
  }
}

void NearestRow(const ESubPixel64* entries, int count, const RowSource& src, EC24* dst) {
  const uint8_t* const base = src.base;
  const int32_t low = src.low, high = src.high;
  if (high < low) {
    std::memset(static_cast<void*>(dst), 0, 3 * static_cast<size_t>(count));
    return;
  }
  const Isa isa = ActiveIsa();
  int i = isa >= kIsaAvx2 ? NearestRowAvx2(entries, count, src, dst) : 0;
  uint8_t* out = reinterpret_cast<uint8_t*>(dst) + 3 * static_cast<size_t>(i);
#if defined(__SSE2__)
  if (isa >= kIsaSse2) {
    // Four pixels at a time, each read as two bytes and one (never past the pixel's last byte).
    const __m128i vlow = _mm_set1_epi32(low), vhigh = _mm_set1_epi32(high);
    alignas(16) int32_t offsets[4];
    alignas(16) uint32_t noSource[4];
    for (; i + 4 <= count; i += 4, out += 12) {
      const float* e = reinterpret_cast<const float*>(entries + i);
      __m128i o = _mm_castps_si128(
          _mm_shuffle_ps(_mm_loadu_ps(e), _mm_loadu_ps(e + 4), _MM_SHUFFLE(2, 0, 2, 0)));
      _mm_store_si128(reinterpret_cast<__m128i*>(noSource), _mm_srai_epi32(o, 31));
      _mm_store_si128(reinterpret_cast<__m128i*>(offsets), Clamp(o, vlow, vhigh));
      uint32_t w[4];
      for (int k = 0; k < 4; ++k) {
        const uint8_t* p = base + offsets[k];
        w[k] = (Load16(p) | (static_cast<uint32_t>(p[2]) << 16)) & ~noSource[k];
      }
      StoreFourC24(out, w[0], w[1], w[2], w[3]);
    }
  }
#endif
  for (; i < count; ++i, out += 3) {
    uint32_t keep;
    const uint8_t* p = base + ClampedOffset(RawOf(entries + i), low, high, keep);
    out[0] = static_cast<uint8_t>(p[0] & keep);
    out[1] = static_cast<uint8_t>(p[1] & keep);
    out[2] = static_cast<uint8_t>(p[2] & keep);
  }
}

void BilinearRow(const ESubPixel64* entries, int count, const RowSource& src, EBW8* dst) {
  const uint8_t* const base = src.base;
  const int32_t low = src.low, high = src.high;
  const intptr_t pitch = src.pitch;
  if (high < low) {
    std::memset(dst, 0, static_cast<size_t>(count));
    return;
  }
  const Isa isa = ActiveIsa();
  int i = isa >= kIsaAvx2 ? BilinearRowAvx2(entries, count, src, dst) : 0;
#if defined(__SSE2__)
  if (isa >= kIsaSse2) {
    // Eight pixels at a time in 16-bit lanes. With U and L the upper and lower horizontal
    // interpolations (each below 2^16), U (256 - c) + L c = 256 A + B, where A and B are the
    // same blend of the high and of the low bytes of U and L; both stay below 2^16, so the
    // 16-bit shifted result is (A + (B >> 8)) >> 8, exactly the 32-bit formula.
    const __m128i vlow = _mm_set1_epi32(low), vhigh = _mm_set1_epi32(high);
    const __m128i byte = _mm_set1_epi16(0xFF);
    const __m128i fraction = _mm_set1_epi32(0xFF);
    alignas(16) int32_t offsets[8];
    for (; i + 8 <= count; i += 8) {
      EightEntries e = LoadEight(entries + i, vlow, vhigh);
      _mm_store_si128(reinterpret_cast<__m128i*>(offsets), e.offsets0);
      _mm_store_si128(reinterpret_cast<__m128i*>(offsets + 4), e.offsets1);
      __m128i a = _mm_packs_epi32(_mm_and_si128(e.fractions0, fraction),
                                  _mm_and_si128(e.fractions1, fraction));
      __m128i c = _mm_packs_epi32(_mm_and_si128(_mm_srli_epi32(e.fractions0, 16), fraction),
                                  _mm_and_si128(_mm_srli_epi32(e.fractions1, 16), fraction));
      const uint8_t* p0 = base + offsets[0];
      const uint8_t* p1 = base + offsets[1];
      const uint8_t* p2 = base + offsets[2];
      const uint8_t* p3 = base + offsets[3];
      const uint8_t* p4 = base + offsets[4];
      const uint8_t* p5 = base + offsets[5];
      const uint8_t* p6 = base + offsets[6];
      const uint8_t* p7 = base + offsets[7];
      __m128i up = _mm_cvtsi32_si128(Load16(p0 - pitch));
      __m128i lo = _mm_cvtsi32_si128(Load16(p0));
      up = _mm_insert_epi16(up, Load16(p1 - pitch), 1);
      lo = _mm_insert_epi16(lo, Load16(p1), 1);
      up = _mm_insert_epi16(up, Load16(p2 - pitch), 2);
      lo = _mm_insert_epi16(lo, Load16(p2), 2);
      up = _mm_insert_epi16(up, Load16(p3 - pitch), 3);
      lo = _mm_insert_epi16(lo, Load16(p3), 3);
      up = _mm_insert_epi16(up, Load16(p4 - pitch), 4);
      lo = _mm_insert_epi16(lo, Load16(p4), 4);
      up = _mm_insert_epi16(up, Load16(p5 - pitch), 5);
      lo = _mm_insert_epi16(lo, Load16(p5), 5);
      up = _mm_insert_epi16(up, Load16(p6 - pitch), 6);
      lo = _mm_insert_epi16(lo, Load16(p6), 6);
      up = _mm_insert_epi16(up, Load16(p7 - pitch), 7);
      lo = _mm_insert_epi16(lo, Load16(p7), 7);
      // Horizontal blends, exact modulo 2^16.
      __m128i up0 = _mm_and_si128(up, byte), up1 = _mm_srli_epi16(up, 8);
      __m128i lo0 = _mm_and_si128(lo, byte), lo1 = _mm_srli_epi16(lo, 8);
      __m128i u =
          _mm_add_epi16(_mm_slli_epi16(up0, 8), _mm_mullo_epi16(_mm_sub_epi16(up1, up0), a));
      __m128i l =
          _mm_add_epi16(_mm_slli_epi16(lo0, 8), _mm_mullo_epi16(_mm_sub_epi16(lo1, lo0), a));
      // Vertical blend of the high bytes (A) and of the low bytes (B).
      __m128i uh = _mm_srli_epi16(u, 8), ul = _mm_and_si128(u, byte);
      __m128i lh = _mm_srli_epi16(l, 8), ll = _mm_and_si128(l, byte);
      __m128i hi = _mm_add_epi16(_mm_slli_epi16(uh, 8), _mm_mullo_epi16(_mm_sub_epi16(lh, uh), c));
      __m128i lw = _mm_add_epi16(_mm_slli_epi16(ul, 8), _mm_mullo_epi16(_mm_sub_epi16(ll, ul), c));
      __m128i value = _mm_srli_epi16(_mm_add_epi16(hi, _mm_srli_epi16(lw, 8)), 8);
      value = _mm_andnot_si128(e.noSource, value);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(dst + i), _mm_packus_epi16(value, value));
    }
  }
#endif
  for (; i < count; ++i) {
    uint64_t raw = RawOf(entries + i);
    uint32_t keep;
    const uint8_t* p = base + ClampedOffset(raw, low, high, keep);
    uint32_t a = static_cast<uint32_t>(raw >> 32) & 255u;
    uint32_t c = static_cast<uint32_t>(raw >> 48) & 255u;
    dst[i] = static_cast<EBW8>(Blend(p[-pitch], p[1 - pitch], p[0], p[1], a, c) & keep);
  }
}

void BilinearRow(const ESubPixel64* entries, int count, const RowSource& src, EC24* dst) {
  const uint8_t* const base = src.base;
  const int32_t low = src.low, high = src.high;
  const intptr_t pitch = src.pitch;
  if (high < low) {
    std::memset(static_cast<void*>(dst), 0, 3 * static_cast<size_t>(count));
    return;
  }
  const Isa isa = ActiveIsa();
  int i = isa >= kIsaAvx2 ? BilinearRowAvx2(entries, count, src, dst) : 0;
  uint8_t* out = reinterpret_cast<uint8_t*>(dst) + 3 * static_cast<size_t>(i);
#if defined(__SSE2__)
  if (isa >= kIsaSse2) {
    // Four pixels at a time. Each pixel's left and right neighbours are read as 32-bit words
    // (bytes 0-3 and 2-5 of the pair, so nothing past the right pixel is touched), blended in
    // 16-bit lanes, the fourth lane of every pixel being ignored.
    const __m128i vlow = _mm_set1_epi32(low), vhigh = _mm_set1_epi32(high);
    const __m128i fraction = _mm_set1_epi32(0xFF);
    const __m128i zero = _mm_setzero_si128();
    const __m128i k256 = _mm_set1_epi16(256), one = _mm_set1_epi16(1);
    alignas(16) int32_t offsets[4];
    for (; i + 4 <= count; i += 4, out += 12) {
      const float* e = reinterpret_cast<const float*>(entries + i);
      __m128 e0 = _mm_loadu_ps(e), e1 = _mm_loadu_ps(e + 4);
      __m128i o = _mm_castps_si128(_mm_shuffle_ps(e0, e1, _MM_SHUFFLE(2, 0, 2, 0)));
      __m128i f = _mm_castps_si128(_mm_shuffle_ps(e0, e1, _MM_SHUFFLE(3, 1, 3, 1)));
      __m128i noSource = _mm_srai_epi32(o, 31);  // one 32-bit lane per pixel
      _mm_store_si128(reinterpret_cast<__m128i*>(offsets), Clamp(o, vlow, vhigh));
      const uint8_t* p0 = base + offsets[0];
      const uint8_t* p1 = base + offsets[1];
      const uint8_t* p2 = base + offsets[2];
      const uint8_t* p3 = base + offsets[3];
      __m128i ll = _mm_setr_epi32(static_cast<int>(Load32(p0)), static_cast<int>(Load32(p1)),
                                  static_cast<int>(Load32(p2)), static_cast<int>(Load32(p3)));
      __m128i lr =
          _mm_setr_epi32(static_cast<int>(Load32(p0 + 2)), static_cast<int>(Load32(p1 + 2)),
                         static_cast<int>(Load32(p2 + 2)), static_cast<int>(Load32(p3 + 2)));
      p0 -= pitch;
      p1 -= pitch;
      p2 -= pitch;
      p3 -= pitch;
      __m128i ul = _mm_setr_epi32(static_cast<int>(Load32(p0)), static_cast<int>(Load32(p1)),
                                  static_cast<int>(Load32(p2)), static_cast<int>(Load32(p3)));
      __m128i ur =
          _mm_setr_epi32(static_cast<int>(Load32(p0 + 2)), static_cast<int>(Load32(p1 + 2)),
                         static_cast<int>(Load32(p2 + 2)), static_cast<int>(Load32(p3 + 2)));
      lr = _mm_srli_epi32(lr, 8);
      ur = _mm_srli_epi32(ur, 8);
      // Fractions repeated over each pixel's four 16-bit lanes.
      __m128i a = _mm_and_si128(f, fraction), c = _mm_and_si128(_mm_srli_epi32(f, 16), fraction);
      a = _mm_or_si128(a, _mm_slli_epi32(a, 16));
      c = _mm_or_si128(c, _mm_slli_epi32(c, 16));
      __m128i value[2];
      for (int half = 0; half < 2; ++half) {
        __m128i ah = half ? _mm_unpackhi_epi32(a, a) : _mm_unpacklo_epi32(a, a);
        __m128i ch = half ? _mm_unpackhi_epi32(c, c) : _mm_unpacklo_epi32(c, c);
        __m128i up0 = half ? _mm_unpackhi_epi8(ul, zero) : _mm_unpacklo_epi8(ul, zero);
        __m128i up1 = half ? _mm_unpackhi_epi8(ur, zero) : _mm_unpacklo_epi8(ur, zero);
        __m128i lo0 = half ? _mm_unpackhi_epi8(ll, zero) : _mm_unpacklo_epi8(ll, zero);
        __m128i lo1 = half ? _mm_unpackhi_epi8(lr, zero) : _mm_unpacklo_epi8(lr, zero);
        __m128i u =
            _mm_add_epi16(_mm_slli_epi16(up0, 8), _mm_mullo_epi16(_mm_sub_epi16(up1, up0), ah));
        __m128i l =
            _mm_add_epi16(_mm_slli_epi16(lo0, 8), _mm_mullo_epi16(_mm_sub_epi16(lo1, lo0), ah));
        // (u (256 - c) + l c) >> 16 from the high and low halves of the two 32-bit products;
        // the low halves carry into the result when their 16-bit sum wraps (it then differs
        // from the saturated sum).
        __m128i cu = _mm_sub_epi16(k256, ch);
        __m128i lowU = _mm_mullo_epi16(u, cu), lowL = _mm_mullo_epi16(l, ch);
        __m128i highs = _mm_add_epi16(_mm_mulhi_epu16(u, cu), _mm_mulhi_epu16(l, ch));
        __m128i noCarry = _mm_cmpeq_epi16(_mm_adds_epu16(lowU, lowL), _mm_add_epi16(lowU, lowL));
        value[half] = _mm_add_epi16(highs, _mm_add_epi16(noCarry, one));
      }
      StoreFourC24(out, _mm_andnot_si128(noSource, _mm_packus_epi16(value[0], value[1])));
    }
  }
#endif
  for (; i < count; ++i, out += 3) {
    uint64_t raw = RawOf(entries + i);
    uint32_t keep;
    const uint8_t* p = base + ClampedOffset(raw, low, high, keep);
    const uint8_t* q = p - pitch;
    uint32_t a = static_cast<uint32_t>(raw >> 32) & 255u;
    uint32_t c = static_cast<uint32_t>(raw >> 48) & 255u;
    out[0] = static_cast<uint8_t>(Blend(q[0], q[3], p[0], p[3], a, c) & keep);
    out[1] = static_cast<uint8_t>(Blend(q[1], q[4], p[1], p[4], a, c) & keep);
    out[2] = static_cast<uint8_t>(Blend(q[2], q[5], p[2], p[5], a, c) & keep);
  }
}

namespace {

void Fail(E_ERRORS code, const char* trace) {
  ESetError(code);
  ETraceError(trace);
}

SourceLayout LayoutOf(const EGenericROI* region) {
  SourceLayout layout;
  layout.width = region->GetWidth();
  layout.height = region->GetHeight();
  layout.pixelSize = region->GetPixelSize();
  layout.pitch = region->GetRowPitch();
  return layout;
}

// The source must hold pixels, and every byte offset within it must fit the table's 32 bits.
bool CheckSource(const EGenericROI* src, const char* trace) {
  if (src == nullptr || src->IsVoid()) {
    Fail(E_ERROR_INVALID_PARAMETER, trace);
    return false;
  }
  int64_t span = static_cast<int64_t>(src->GetHeight() - 1) * src->GetRowPitch() +
                 static_cast<int64_t>(src->GetWidth()) * src->GetPixelSize();
  if (span > INT32_MAX) {
    Fail(E_ERROR_INVALID_PARAMETER, trace);
    return false;
  }
  return true;
}

// A table or destination must already have the source's size; it is never resized.
bool CheckSameSize(const EGenericROI* region, const EGenericROI* src, const char* trace) {
  if (region == nullptr || region->IsVoid() || region->GetWidth() != src->GetWidth() ||
      region->GetHeight() != src->GetHeight()) {
    Fail(E_ERROR_INVALID_PARAMETER, trace);
    return false;
  }
  return true;
}

bool Overlap(const EGenericROI* a, const EGenericROI* b) {
  if (a->GetRoot() != b->GetRoot()) return false;
  return a->GetTotalOrgX() < b->GetTotalOrgX() + b->GetWidth() &&
         b->GetTotalOrgX() < a->GetTotalOrgX() + a->GetWidth() &&
         a->GetTotalOrgY() < b->GetTotalOrgY() + b->GetHeight() &&
         b->GetTotalOrgY() < a->GetTotalOrgY() + a->GetHeight();
}

// Rows of a destination; when the destination overlaps the source, rows go to a scratch image
// that Finish copies out once every source read is done.
template <class T>
class Output {
 public:
  Output(EROI<T>* dst, const EROI<T>* src) : m_Dst(dst) {
    if (Overlap(dst, src)) {
      m_Scratch.SetSize(dst->GetWidth(), dst->GetHeight());
      m_UseScratch = true;
      m_Base = m_Scratch.GetBasePtr();
      m_Pitch = m_Scratch.GetRowPitch();
    } else {
      m_Base = dst->GetBasePtr();
      m_Pitch = dst->GetRowPitch();
    }
  }
  bool Ready() const { return m_Base != nullptr; }
  T* Row(int j) const { return reinterpret_cast<T*>(m_Base + static_cast<intptr_t>(j) * m_Pitch); }
  void Finish() {
    if (!m_UseScratch) return;
    size_t bytes = static_cast<size_t>(m_Dst->GetWidth()) * sizeof(T);
    uint8_t* target = m_Dst->GetBasePtr();
    intptr_t pitch = m_Dst->GetRowPitch();
    for (int j = 0; j < m_Dst->GetHeight(); ++j)
      std::memcpy(target + j * pitch, m_Base + static_cast<intptr_t>(j) * m_Pitch, bytes);
  }

 private:
  EROI<T>* m_Dst;
  EImage<T> m_Scratch;
  bool m_UseScratch = false;
  uint8_t* m_Base = nullptr;
  intptr_t m_Pitch = 0;
};

template <class T>
void ApplyRow(const ESubPixel64* entries, int count, const RowSource& src, int interpolate,
              T* dst) {
  if (interpolate)
    BilinearRow(entries, count, src, dst);
  else
    NearestRow(entries, count, src, dst);
}

template <class T>
void DirectUnwarp(const Mapping& mapping, EROI<T>* src, EROI<T>* dst, int interpolate,
                  const char* trace) {
  if (!CheckSource(src, trace) || !CheckSameSize(dst, src, trace)) return;
  const SourceLayout layout = LayoutOf(src);
  std::vector<ESubPixel64> entries;
  try {
    entries.resize(static_cast<size_t>(layout.width));
  } catch (const std::bad_alloc&) {
    Fail(E_ERROR_ALLOCATION_FAILED, trace);
    return;
  }
  Output<T> output(dst, src);
  if (!output.Ready()) {
    ETraceError(trace);
    return;
  }
  const RowSource rows = MakeRowSource(src->GetBasePtr(), layout, interpolate);
  const std::vector<float> x = Abscissas(mapping, layout.width);
  for (int j = 0; j < layout.height; ++j) {
    ComputeRow(mapping, layout, interpolate, j, x.empty() ? nullptr : x.data(), entries.data());
    ApplyRow(entries.data(), layout.width, rows, interpolate, output.Row(j));
  }
  output.Finish();
}

template <class T>
void Setup(const Mapping& mapping, EROI<ESubPixel64>* table, EROI<T>* src, int interpolate,
           const char* trace) {
  if (!CheckSource(src, trace) || !CheckSameSize(table, src, trace)) return;
  const SourceLayout layout = LayoutOf(src);
  uint8_t* base = table->GetBasePtr();
  const intptr_t pitch = table->GetRowPitch();
  const std::vector<float> x = Abscissas(mapping, layout.width);
  for (int j = 0; j < layout.height; ++j)
    ComputeRow(mapping, layout, interpolate, j, x.empty() ? nullptr : x.data(),
               reinterpret_cast<ESubPixel64*>(base + j * pitch));
}

template <class T>
void TableUnwarp(EROI<ESubPixel64>* table, EROI<T>* src, EROI<T>* dst, int interpolate,
                 const char* trace) {
  if (!CheckSource(src, trace) || !CheckSameSize(table, src, trace) ||
      !CheckSameSize(dst, src, trace))
    return;
  const SourceLayout layout = LayoutOf(src);
  Output<T> output(dst, src);
  if (!output.Ready()) {
    ETraceError(trace);
    return;
  }
  const RowSource rows = MakeRowSource(src->GetBasePtr(), layout, interpolate);
  const uint8_t* base = table->GetBasePtr();
  const intptr_t pitch = table->GetRowPitch();
  for (int j = 0; j < layout.height; ++j)
    ApplyRow(reinterpret_cast<const ESubPixel64*>(base + j * pitch), layout.width, rows,
             interpolate, output.Row(j));
  output.Finish();
}

}  // namespace

void Unwarp(const Mapping& mapping, EROI<EBW8>* src, EROI<EBW8>* dst, int interpolate,
            const char* trace) {
  DirectUnwarp(mapping, src, dst, interpolate, trace);
}
void Unwarp(const Mapping& mapping, EROI<EC24>* src, EROI<EC24>* dst, int interpolate,
            const char* trace) {
  DirectUnwarp(mapping, src, dst, interpolate, trace);
}
void SetupUnwarp(const Mapping& mapping, EROI<ESubPixel64>* table, EROI<EBW8>* src, int interpolate,
                 const char* trace) {
  Setup(mapping, table, src, interpolate, trace);
}
void SetupUnwarp(const Mapping& mapping, EROI<ESubPixel64>* table, EROI<EC24>* src, int interpolate,
                 const char* trace) {
  Setup(mapping, table, src, interpolate, trace);
}
void Unwarp(EROI<ESubPixel64>* table, EROI<EBW8>* src, EROI<EBW8>* dst, int interpolate,
            const char* trace) {
  TableUnwarp(table, src, dst, interpolate, trace);
}
void Unwarp(EROI<ESubPixel64>* table, EROI<EC24>* src, EROI<EC24>* dst, int interpolate,
            const char* trace) {
  TableUnwarp(table, src, dst, interpolate, trace);
}

}  // namespace vimo_unwarp
