// AVX2 paths of the unwarp kernels, compiled for that instruction set function by function (the
// rest of the library keeps the baseline) and called only after a processor check. Each gives
// the same bytes as the scalar rules in unwarp_kernels.cpp: the same clamping, the same 32-bit
// bilinear blend, the same double-precision entry computation, and reads no byte those rules
// would not read.
#include <cstring>

#include "vimo/calibration/unwarp_kernels.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define VIMO_AVX2 __attribute__((target("avx2")))

namespace vimo_unwarp {

namespace {

// Offsets and fraction words of eight entries, in entry order.
struct Eight {
  __m256i offsets, fractions;
};

VIMO_AVX2 inline Eight LoadEight(const ESubPixel64* entries) {
  const float* e = reinterpret_cast<const float*>(entries);
  __m256 a = _mm256_loadu_ps(e), b = _mm256_loadu_ps(e + 8);
  // Per 128-bit lane: entries 0, 1 of a then 0, 1 of b; the 64-bit permutation restores order.
  __m256i o = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
  __m256i f = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
  return {_mm256_permute4x64_epi64(o, _MM_SHUFFLE(3, 1, 2, 0)),
          _mm256_permute4x64_epi64(f, _MM_SHUFFLE(3, 1, 2, 0))};
}

VIMO_AVX2 inline __m256i Clamp(__m256i x, __m256i low, __m256i high) {
  return _mm256_min_epi32(_mm256_max_epi32(x, low), high);
}

// Loads are scalar: on some processors a vector gather is slower than eight plain loads.
inline uint32_t Load16(const uint8_t* p) {
  uint16_t v;
  std::memcpy(&v, p, sizeof(v));
  return v;
}

// Eight offsets moved to general registers (through 64-bit extractions, not memory).
struct Offsets {
  int32_t o[8];
  int32_t operator[](int k) const { return o[k]; }
};
VIMO_AVX2 inline Offsets Extract(__m256i v) {
  __m128i low = _mm256_castsi256_si128(v), high = _mm256_extracti128_si256(v, 1);
  const uint64_t q[4] = {static_cast<uint64_t>(_mm_cvtsi128_si64(low)),
                         static_cast<uint64_t>(_mm_extract_epi64(low, 1)),
                         static_cast<uint64_t>(_mm_cvtsi128_si64(high)),
                         static_cast<uint64_t>(_mm_extract_epi64(high, 1))};
  Offsets out;
  for (int k = 0; k < 4; ++k) {
    out.o[2 * k] = static_cast<int32_t>(static_cast<uint32_t>(q[k]));
    out.o[2 * k + 1] = static_cast<int32_t>(static_cast<uint32_t>(q[k] >> 32));
  }
  return out;
}

// Sixteen 32-bit masks (all ones or zero), in order, as sixteen byte masks.
VIMO_AVX2 inline __m128i PackMasks(__m256i first, __m256i second) {
  __m256i words =
      _mm256_permute4x64_epi64(_mm256_packs_epi32(first, second), _MM_SHUFFLE(3, 1, 2, 0));
  __m256i bytes = _mm256_packs_epi16(words, words);
  return _mm256_castsi256_si128(_mm256_permute4x64_epi64(bytes, _MM_SHUFFLE(3, 1, 2, 0)));
}

// Eight colour pixels in the low three bytes of each 32-bit lane: 24 bytes written.
VIMO_AVX2 inline void StoreEightC24(uint8_t* out, __m256i pixels) {
  const __m256i squeeze = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,
                                           0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  __m256i packed = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(pixels, squeeze),
                                               _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(packed));
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 16), _mm256_extracti128_si256(packed, 1));
}

}  // namespace

VIMO_AVX2 int NearestRowAvx2(const ESubPixel64* entries, int count, const RowSource& src,
                             EBW8* dst) {
  const __m256i low = _mm256_set1_epi32(src.low), high = _mm256_set1_epi32(src.high);
  const uint8_t* const base = src.base;
  int i = 0;
  for (; i + 16 <= count; i += 16) {
    Eight e0 = LoadEight(entries + i), e1 = LoadEight(entries + i + 8);
    const Offsets o0 = Extract(Clamp(e0.offsets, low, high));
    const Offsets o1 = Extract(Clamp(e1.offsets, low, high));
    // Plain byte copies; the pixels without a source, rare away from the borders, are then
    // cleared by mask.
    for (int k = 0; k < 8; ++k) dst[i + k] = base[o0[k]];
    for (int k = 0; k < 8; ++k) dst[i + 8 + k] = base[o1[k]];
    __m128i noSource =
        PackMasks(_mm256_srai_epi32(e0.offsets, 31), _mm256_srai_epi32(e1.offsets, 31));
    if (_mm_movemask_epi8(noSource) != 0) {
      __m128i* out = reinterpret_cast<__m128i*>(dst + i);
      _mm_storeu_si128(out, _mm_andnot_si128(noSource, _mm_loadu_si128(out)));
    }
  }
  return i;
}

VIMO_AVX2 int NearestRowAvx2(const ESubPixel64* entries, int count, const RowSource& src,
                             EC24* dst) {
  const __m256i low = _mm256_set1_epi32(src.low), high = _mm256_set1_epi32(src.high);
  const uint8_t* const base = src.base;
  uint8_t* out = reinterpret_cast<uint8_t*>(dst);
  int i = 0;
  // Each pixel is read as two bytes and one (nothing past its last byte) and written as four
  // bytes, the fourth overwritten by the next pixel: the loop stops while a pixel follows.
  for (; i + 8 < count; i += 8, out += 24) {
    Eight e = LoadEight(entries + i);
    const Offsets o = Extract(Clamp(e.offsets, low, high));
    for (int k = 0; k < 8; ++k) {
      const uint8_t* p = base + o[k];
      const uint32_t pixel = Load16(p) | (uint32_t{p[2]} << 16);
      std::memcpy(out + 3 * k, &pixel, sizeof(pixel));
    }
    if (int noSource = _mm256_movemask_ps(_mm256_castsi256_ps(e.offsets)))
      for (int k = 0; k < 8; ++k)
        if (noSource & (1 << k)) std::memset(out + 3 * k, 0, 3);
  }
  return i;
}

// Eight 16-bit words read(offsets[k]) inserted straight from memory.
template <class Read>
VIMO_AVX2 inline __m128i LoadWords(const Offsets& o, Read read) {
  __m128i v = _mm_cvtsi32_si128(static_cast<int>(read(o[0])));
  v = _mm_insert_epi16(v, static_cast<int>(read(o[1])), 1);
  v = _mm_insert_epi16(v, static_cast<int>(read(o[2])), 2);
  v = _mm_insert_epi16(v, static_cast<int>(read(o[3])), 3);
  v = _mm_insert_epi16(v, static_cast<int>(read(o[4])), 4);
  v = _mm_insert_epi16(v, static_cast<int>(read(o[5])), 5);
  v = _mm_insert_epi16(v, static_cast<int>(read(o[6])), 6);
  return _mm_insert_epi16(v, static_cast<int>(read(o[7])), 7);
}

// Sixteen 32-bit lanes (two vectors in order) as sixteen 16-bit lanes in order.
VIMO_AVX2 inline __m256i PackWords(__m256i first, __m256i second) {
  return _mm256_permute4x64_epi64(_mm256_packs_epi32(first, second), _MM_SHUFFLE(3, 1, 2, 0));
}

VIMO_AVX2 int BilinearRowAvx2(const ESubPixel64* entries, int count, const RowSource& src,
                              EBW8* dst) {
  // Sixteen pixels at a time in 16-bit lanes, with the exact two-step blend of the SSE2 kernel:
  // U (256 - c) + L c = 256 A + B, A and B the same blend of the high and of the low bytes of
  // the horizontal interpolations U and L.
  const __m256i low = _mm256_set1_epi32(src.low), high = _mm256_set1_epi32(src.high);
  const __m256i fraction = _mm256_set1_epi32(0xFF), byte = _mm256_set1_epi16(0xFF);
  const uint8_t* const lowerRow = src.base;
  const uint8_t* const upperRow = src.base - src.pitch;
  auto upperPair = [upperRow](int32_t offset) { return Load16(upperRow + offset); };
  auto lowerPair = [lowerRow](int32_t offset) { return Load16(lowerRow + offset); };
  int i = 0;
  for (; i + 16 <= count; i += 16) {
    const Eight e0 = LoadEight(entries + i), e1 = LoadEight(entries + i + 8);
    const Offsets o0 = Extract(Clamp(e0.offsets, low, high));
    const Offsets o1 = Extract(Clamp(e1.offsets, low, high));
    const __m256i up = _mm256_inserti128_si256(_mm256_castsi128_si256(LoadWords(o0, upperPair)),
                                               LoadWords(o1, upperPair), 1);
    const __m256i lo = _mm256_inserti128_si256(_mm256_castsi128_si256(LoadWords(o0, lowerPair)),
                                               LoadWords(o1, lowerPair), 1);
    const __m256i a = PackWords(_mm256_and_si256(e0.fractions, fraction),
                                _mm256_and_si256(e1.fractions, fraction));
    const __m256i c = PackWords(_mm256_and_si256(_mm256_srli_epi32(e0.fractions, 16), fraction),
                                _mm256_and_si256(_mm256_srli_epi32(e1.fractions, 16), fraction));
    const __m256i noSource =
        PackWords(_mm256_srai_epi32(e0.offsets, 31), _mm256_srai_epi32(e1.offsets, 31));
    // Horizontal blends, exact modulo 2^16.
    const __m256i up0 = _mm256_and_si256(up, byte), up1 = _mm256_srli_epi16(up, 8);
    const __m256i lo0 = _mm256_and_si256(lo, byte), lo1 = _mm256_srli_epi16(lo, 8);
    const __m256i u = _mm256_add_epi16(_mm256_slli_epi16(up0, 8),
                                       _mm256_mullo_epi16(_mm256_sub_epi16(up1, up0), a));
    const __m256i l = _mm256_add_epi16(_mm256_slli_epi16(lo0, 8),
                                       _mm256_mullo_epi16(_mm256_sub_epi16(lo1, lo0), a));
    // Vertical blend of the high bytes (A) and of the low bytes (B).
    const __m256i uh = _mm256_srli_epi16(u, 8), ul = _mm256_and_si256(u, byte);
    const __m256i lh = _mm256_srli_epi16(l, 8), ll = _mm256_and_si256(l, byte);
    const __m256i hi =
        _mm256_add_epi16(_mm256_slli_epi16(uh, 8), _mm256_mullo_epi16(_mm256_sub_epi16(lh, uh), c));
    const __m256i lw =
        _mm256_add_epi16(_mm256_slli_epi16(ul, 8), _mm256_mullo_epi16(_mm256_sub_epi16(ll, ul), c));
    __m256i value = _mm256_srli_epi16(_mm256_add_epi16(hi, _mm256_srli_epi16(lw, 8)), 8);
    value = _mm256_andnot_si256(noSource, value);
    const __m256i bytes = _mm256_packus_epi16(value, value);
    _mm_storeu_si128(
        reinterpret_cast<__m128i*>(dst + i),
        _mm256_castsi256_si128(_mm256_permute4x64_epi64(bytes, _MM_SHUFFLE(3, 1, 2, 0))));
  }
  return i;
}

VIMO_AVX2 int BilinearRowAvx2(const ESubPixel64* entries, int count, const RowSource& src,
                              EC24* dst) {
  // A pixel and its right-hand neighbour are six bytes, read as one eight-byte word that starts
  // at the pixel or, near the end of the source, up to two bytes before it (so nothing past the
  // right pixel is read), then shifted into place. Blends run in 16-bit lanes, four per pixel
  // (the fourth is zero), with the exact two-step formula of the SSE2 kernel.
  if (static_cast<int64_t>(src.high) - src.low < 2) return 0;
  const __m256i low = _mm256_set1_epi32(src.low), high = _mm256_set1_epi32(src.high);
  const __m256i lastStart = _mm256_set1_epi32(src.high - 2);
  const uint8_t* const lowerRow = src.base;
  const uint8_t* const upperRow = src.base - src.pitch;
  const __m256i leftPixel =
      _mm256_setr_epi8(0, -1, 1, -1, 2, -1, -1, -1, 8, -1, 9, -1, 10, -1, -1, -1, 0, -1, 1, -1, 2,
                       -1, -1, -1, 8, -1, 9, -1, 10, -1, -1, -1);
  const __m256i rightPixel =
      _mm256_setr_epi8(3, -1, 4, -1, 5, -1, -1, -1, 11, -1, 12, -1, 13, -1, -1, -1, 3, -1, 4, -1, 5,
                       -1, -1, -1, 11, -1, 12, -1, 13, -1, -1, -1);
  const __m256i firstWord = _mm256_setr_epi8(0, 1, 0, 1, 0, 1, 0, 1, 8, 9, 8, 9, 8, 9, 8, 9, 0, 1,
                                             0, 1, 0, 1, 0, 1, 8, 9, 8, 9, 8, 9, 8, 9);
  const __m256i secondWord =
      _mm256_setr_epi8(2, 3, 2, 3, 2, 3, 2, 3, 10, 11, 10, 11, 10, 11, 10, 11, 2, 3, 2, 3, 2, 3, 2,
                       3, 10, 11, 10, 11, 10, 11, 10, 11);
  const __m256i fractionBytes = _mm256_set1_epi32(0x00FF00FF);
  const __m256i k256 = _mm256_set1_epi16(256), one = _mm256_set1_epi16(1);
  auto load64 = [](const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof(v));
    return static_cast<long long>(v);
  };
  uint8_t* out = reinterpret_cast<uint8_t*>(dst);
  int i = 0;
  for (; i + 8 <= count; i += 8, out += 24) {
    Eight e = LoadEight(entries + i);
    const __m256i offsets = Clamp(e.offsets, low, high);
    const __m256i start = _mm256_min_epi32(offsets, lastStart);
    const __m256i shift = _mm256_slli_epi32(_mm256_sub_epi32(offsets, start), 3);
    const Offsets o = Extract(start);
    const __m256i fractions = _mm256_and_si256(e.fractions, fractionBytes);
    __m256i value[2];
    for (int group = 0; group < 2; ++group) {
      const int g = 4 * group;
      const __m256i bits = _mm256_cvtepu32_epi64(group ? _mm256_extracti128_si256(shift, 1)
                                                       : _mm256_castsi256_si128(shift));
      const __m256i f = _mm256_cvtepu32_epi64(group ? _mm256_extracti128_si256(fractions, 1)
                                                    : _mm256_castsi256_si128(fractions));
      const __m256i lower = _mm256_srlv_epi64(
          _mm256_setr_epi64x(load64(lowerRow + o[g]), load64(lowerRow + o[g + 1]),
                             load64(lowerRow + o[g + 2]), load64(lowerRow + o[g + 3])),
          bits);
      const __m256i upper = _mm256_srlv_epi64(
          _mm256_setr_epi64x(load64(upperRow + o[g]), load64(upperRow + o[g + 1]),
                             load64(upperRow + o[g + 2]), load64(upperRow + o[g + 3])),
          bits);
      const __m256i a = _mm256_shuffle_epi8(f, firstWord), c = _mm256_shuffle_epi8(f, secondWord);
      // Horizontal blends, exact modulo 2^16.
      const __m256i ul = _mm256_shuffle_epi8(upper, leftPixel);
      const __m256i ur = _mm256_shuffle_epi8(upper, rightPixel);
      const __m256i ll = _mm256_shuffle_epi8(lower, leftPixel);
      const __m256i lr = _mm256_shuffle_epi8(lower, rightPixel);
      const __m256i u = _mm256_add_epi16(_mm256_slli_epi16(ul, 8),
                                         _mm256_mullo_epi16(_mm256_sub_epi16(ur, ul), a));
      const __m256i l = _mm256_add_epi16(_mm256_slli_epi16(ll, 8),
                                         _mm256_mullo_epi16(_mm256_sub_epi16(lr, ll), a));
      // (u (256 - c) + l c) >> 16 from the high and low halves of the two 32-bit products; the
      // low halves carry into the result when their 16-bit sum wraps.
      const __m256i cu = _mm256_sub_epi16(k256, c);
      const __m256i lowU = _mm256_mullo_epi16(u, cu), lowL = _mm256_mullo_epi16(l, c);
      const __m256i highs = _mm256_add_epi16(_mm256_mulhi_epu16(u, cu), _mm256_mulhi_epu16(l, c));
      const __m256i noCarry =
          _mm256_cmpeq_epi16(_mm256_adds_epu16(lowU, lowL), _mm256_add_epi16(lowU, lowL));
      value[group] = _mm256_add_epi16(highs, _mm256_add_epi16(noCarry, one));
    }
    // Bytes of pixels 0, 1, 4, 5 | 2, 3, 6, 7, put in order.
    const __m256i pixels = _mm256_permutevar8x32_epi32(_mm256_packus_epi16(value[0], value[1]),
                                                       _mm256_setr_epi32(0, 1, 4, 5, 2, 3, 6, 7));
    StoreEightC24(out, _mm256_andnot_si256(_mm256_srai_epi32(e.offsets, 31), pixels));
  }
  return i;
}

namespace {

// Entries eight at a time in single precision, for sources of at most 65536 x 65536 pixels: the
// bounds are then exact floats, 256 X is exact, and the nearest rule's floor(X + 0.5) is
// floor(X) plus one where X - floor(X), exact here, reaches one half (floor(Y - 0.5) likewise),
// so every entry equals the double-precision one.
VIMO_AVX2 int EntriesInFloats(const float* X, const float* Y, int count, const SourceLayout& source,
                              int interpolate, ESubPixel64* entries) {
  const __m256i pixelSize = _mm256_set1_epi32(source.pixelSize);
  const __m256i pitch = _mm256_set1_epi32(source.pitch);
  const __m256i noSource = _mm256_set1_epi32(kNoSource);
  const __m256i byte = _mm256_set1_epi32(0xFF);
  const __m256 half = _mm256_set1_ps(0.5f), scale = _mm256_set1_ps(256.0f);
  __m256 xLow, xHigh, yLow, yHigh;
  if (interpolate) {
    xLow = _mm256_setzero_ps(), xHigh = _mm256_set1_ps(256.0f * (source.width - 1));
    yLow = _mm256_set1_ps(256.0f), yHigh = _mm256_set1_ps(256.0f * source.height);
  } else {
    xLow = _mm256_set1_ps(-0.5f), xHigh = _mm256_set1_ps(source.width - 0.5f);
    yLow = half, yHigh = _mm256_set1_ps(source.height + 0.5f);
  }
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    __m256 x = _mm256_loadu_ps(X + i), y = _mm256_loadu_ps(Y + i);
    if (interpolate) x = _mm256_mul_ps(x, scale), y = _mm256_mul_ps(y, scale);
    const __m256 ok = _mm256_and_ps(
        _mm256_and_ps(_mm256_cmp_ps(x, xLow, _CMP_GE_OQ), _mm256_cmp_ps(x, xHigh, _CMP_LT_OQ)),
        _mm256_and_ps(_mm256_cmp_ps(y, yLow, _CMP_GE_OQ), _mm256_cmp_ps(y, yHigh, _CMP_LT_OQ)));
    // Rejected lanes are zeroed before any conversion.
    x = _mm256_and_ps(ok, x), y = _mm256_and_ps(ok, y);
    __m256i offsets, fractions;
    if (interpolate) {
      const __m256i ix = _mm256_cvttps_epi32(x), iy = _mm256_cvttps_epi32(y);
      offsets = _mm256_add_epi32(_mm256_mullo_epi32(_mm256_srai_epi32(ix, 8), pixelSize),
                                 _mm256_mullo_epi32(_mm256_srai_epi32(iy, 8), pitch));
      fractions =
          _mm256_and_si256(_mm256_castps_si256(ok),
                           _mm256_or_si256(_mm256_and_si256(ix, byte),
                                           _mm256_slli_epi32(_mm256_and_si256(iy, byte), 16)));
    } else {
      const __m256 fx = _mm256_floor_ps(x), fy = _mm256_floor_ps(y);
      // Comparison masks are -1: subtracting one adds one.
      const __m256i ix = _mm256_sub_epi32(
          _mm256_cvttps_epi32(fx),
          _mm256_castps_si256(_mm256_cmp_ps(_mm256_sub_ps(x, fx), half, _CMP_GE_OQ)));
      const __m256i iy = _mm256_add_epi32(
          _mm256_cvttps_epi32(fy),
          _mm256_castps_si256(_mm256_cmp_ps(_mm256_sub_ps(y, fy), half, _CMP_LT_OQ)));
      offsets = _mm256_add_epi32(_mm256_mullo_epi32(ix, pixelSize), _mm256_mullo_epi32(iy, pitch));
      fractions = _mm256_setzero_si256();
    }
    offsets = _mm256_blendv_epi8(noSource, offsets, _mm256_castps_si256(ok));
    const __m256i low = _mm256_unpacklo_epi32(offsets, fractions);   // entries 0, 1 | 4, 5
    const __m256i high = _mm256_unpackhi_epi32(offsets, fractions);  // entries 2, 3 | 6, 7
    __m256i* out = reinterpret_cast<__m256i*>(entries + i);
    _mm256_storeu_si256(out, _mm256_permute2x128_si256(low, high, 0x20));
    _mm256_storeu_si256(out + 1, _mm256_permute2x128_si256(low, high, 0x31));
  }
  return i;
}

}  // namespace

VIMO_AVX2 int ComputeEntriesAvx2(const float* X, const float* Y, int count,
                                 const SourceLayout& source, int interpolate,
                                 ESubPixel64* entries) {
  if (source.width <= 65536 && source.height <= 65536)
    return EntriesInFloats(X, Y, count, source, interpolate, entries);
  // The bilinear positions in 1/256 pixel are converted to 32 bits below.
  if (interpolate && (source.width > (1 << 23) || source.height >= (1 << 23))) return 0;
  const __m128i pixelSize = _mm_set1_epi32(source.pixelSize);
  const __m128i pitch = _mm_set1_epi32(source.pitch);
  const __m128i noSource = _mm_set1_epi32(kNoSource);
  // Lower bounds (inclusive) and upper bounds (exclusive) of the two coordinates, in the units
  // each sampling compares in; ordered comparisons reject NaN.
  __m256d xLow, xHigh, yLow, yHigh, xAdd, yAdd, factor;
  if (interpolate) {
    xLow = _mm256_set1_pd(0.0), xHigh = _mm256_set1_pd(256.0 * (source.width - 1));
    yLow = _mm256_set1_pd(256.0), yHigh = _mm256_set1_pd(256.0 * source.height);
    xAdd = yAdd = _mm256_setzero_pd(), factor = _mm256_set1_pd(256.0);
  } else {
    xLow = yLow = _mm256_setzero_pd();
    xHigh = _mm256_set1_pd(source.width), yHigh = _mm256_set1_pd(source.height);
    xAdd = _mm256_set1_pd(0.5), yAdd = _mm256_set1_pd(-0.5), factor = _mm256_set1_pd(1.0);
  }
  const __m256i halves = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    __m256d x = _mm256_add_pd(_mm256_mul_pd(_mm256_cvtps_pd(_mm_loadu_ps(X + i)), factor), xAdd);
    __m256d y = _mm256_add_pd(_mm256_mul_pd(_mm256_cvtps_pd(_mm_loadu_ps(Y + i)), factor), yAdd);
    __m256d ok = _mm256_and_pd(
        _mm256_and_pd(_mm256_cmp_pd(x, xLow, _CMP_GE_OQ), _mm256_cmp_pd(x, xHigh, _CMP_LT_OQ)),
        _mm256_and_pd(_mm256_cmp_pd(y, yLow, _CMP_GE_OQ), _mm256_cmp_pd(y, yHigh, _CMP_LT_OQ)));
    // Rejected lanes are zeroed before the conversion, which then never overflows.
    __m128i ix = _mm256_cvttpd_epi32(_mm256_and_pd(ok, x));
    __m128i iy = _mm256_cvttpd_epi32(_mm256_and_pd(ok, y));
    __m128i keep =
        _mm256_castsi256_si128(_mm256_permutevar8x32_epi32(_mm256_castpd_si256(ok), halves));
    __m128i offsets, fractions;
    if (interpolate) {
      offsets = _mm_add_epi32(_mm_mullo_epi32(_mm_srai_epi32(ix, 8), pixelSize),
                              _mm_mullo_epi32(_mm_srai_epi32(iy, 8), pitch));
      const __m128i byte = _mm_set1_epi32(0xFF);
      fractions = _mm_and_si128(
          keep, _mm_or_si128(_mm_and_si128(ix, byte), _mm_slli_epi32(_mm_and_si128(iy, byte), 16)));
    } else {
      offsets = _mm_add_epi32(_mm_mullo_epi32(ix, pixelSize), _mm_mullo_epi32(iy, pitch));
      fractions = _mm_setzero_si128();
    }
    offsets = _mm_blendv_epi8(noSource, offsets, keep);
    __m256i out =
        _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_unpacklo_epi32(offsets, fractions)),
                                _mm_unpackhi_epi32(offsets, fractions), 1);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(entries + i), out);
  }
  return i;
}

}  // namespace vimo_unwarp

#else

namespace vimo_unwarp {

int ComputeEntriesAvx2(const float*, const float*, int, const SourceLayout&, int, ESubPixel64*) {
  return 0;
}
int NearestRowAvx2(const ESubPixel64*, int, const RowSource&, EBW8*) { return 0; }
int NearestRowAvx2(const ESubPixel64*, int, const RowSource&, EC24*) { return 0; }
int BilinearRowAvx2(const ESubPixel64*, int, const RowSource&, EBW8*) { return 0; }
int BilinearRowAvx2(const ESubPixel64*, int, const RowSource&, EC24*) { return 0; }

}  // namespace vimo_unwarp

#endif
