// AVX2 paths of the unwarp kernels, compiled for that instruction set function by function (the
// rest of the library keeps the baseline) and called only after a processor check. Each gives
// the same bytes as the scalar rules in unwarp_kernels.cpp: the same clamping, the same 32-bit
// bilinear blend, the same double-precision entry computation, and reads no byte outside the
// span those rules keep to (wide loads may take a few bytes beside a sample, never past the
// source's last pixel).
#include <algorithm>
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
  // Each pixel is copied as one four-byte word, the fourth byte being overwritten by the next
  // pixel: the loop stops while a pixel follows. A word read below src.high ends inside the
  // source, so such offsets take plain copies; pixels without a source are read at src.low and
  // cleared; a group holding the last pixel or an offset to clamp takes the exact rule.
  if (src.high <= src.low) return 0;
  const int32_t low = src.low, high = src.high;
  const __m256i vlow = _mm256_set1_epi32(low), lastPlain = _mm256_set1_epi32(high - 1);
  // Unsigned comparison of offset - low with the widest distance a plain copy allows.
  const __m256i signBit = _mm256_set1_epi32(INT32_MIN);
  const __m256i widest =
      _mm256_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(high - 1 - low) ^ 0x80000000u));
  const uint8_t* const base = src.base;
  uint8_t* out = reinterpret_cast<uint8_t*>(dst);
  alignas(32) int32_t starts[8];
  int i = 0;
  for (; i + 8 < count; i += 8, out += 24) {
    const ESubPixel64* e = entries + i;
    const __m256i offsets = LoadEight(e).offsets;
    const __m256i beyond =
        _mm256_cmpgt_epi32(_mm256_xor_si256(_mm256_sub_epi32(offsets, vlow), signBit), widest);
    if (_mm256_movemask_ps(_mm256_castsi256_ps(beyond)) == 0) {
      // Offsets straight from the table: the common case.
      for (int k = 0; k < 8; ++k) {
        int32_t offset;
        std::memcpy(&offset, e + k, sizeof(offset));
        std::memcpy(out + 3 * k, base + offset, 4);
      }
      continue;
    }
    const int noSource = _mm256_movemask_ps(_mm256_castsi256_ps(offsets));
    const __m256i start = _mm256_max_epi32(offsets, vlow);
    if (_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpgt_epi32(start, lastPlain))) == 0) {
      if (noSource == 0xFF) {
        std::memset(out, 0, 24);
        continue;
      }
      _mm256_store_si256(reinterpret_cast<__m256i*>(starts), start);
      for (int k = 0; k < 8; ++k) std::memcpy(out + 3 * k, base + starts[k], 4);
      for (int k = 0; k < 8; ++k)
        if (noSource & (1 << k)) std::memset(out + 3 * k, 0, 3);
      continue;
    }
    for (int k = 0; k < 8; ++k) {
      int32_t offset;
      std::memcpy(&offset, e + k, sizeof(offset));
      const uint32_t keep = ~static_cast<uint32_t>(offset >> 31);
      const uint8_t* p = base + std::min(std::max(offset, low), high);
      const uint32_t pixel = (Load16(p) | (uint32_t{p[2]} << 16)) & keep;
      std::memcpy(out + 3 * k, &pixel, sizeof(pixel));
    }
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

namespace {

// The lower and upper neighbour pairs of one colour pixel (eight bytes of each row from the
// offset) in the low 128-bit lane, those of another pixel in the high lane.
VIMO_AVX2 inline __m256i LoadNeighbours(const uint8_t* lowerRow, const uint8_t* upperRow,
                                        int32_t first, int32_t second) {
  auto load = [](const uint8_t* p) {
    long long v;
    std::memcpy(&v, p, sizeof(v));
    return v;
  };
  const __m128i a =
      _mm_insert_epi64(_mm_cvtsi64_si128(load(lowerRow + first)), load(upperRow + first), 1);
  const __m128i b =
      _mm_insert_epi64(_mm_cvtsi64_si128(load(lowerRow + second)), load(upperRow + second), 1);
  return _mm256_inserti128_si256(_mm256_castsi128_si256(a), b, 1);
}

// One lane's pixel: its three channels as 32-bit values T - 2^23, T the 32-bit rule's weighted
// sum. neighbours: the pixel's lower and upper pairs with every byte biased to x - 128;
// vertical: c | (255 - c) << 8 in each 16-bit lane; horizontal: (256 - a) | a << 16.
VIMO_AVX2 inline __m256i BlendLanes(__m256i neighbours, __m256i vertical, __m256i horizontal) {
  // Lower and upper byte of each channel and column side by side: left and right column of
  // channel 0, of channel 1, of channel 2, then zeros.
  const __m256i columns = _mm256_setr_epi8(0, 8, 3, 11, 1, 9, 4, 12, 2, 10, 5, 13, -1, -1, -1, -1,
                                           0, 8, 3, 11, 1, 9, 4, 12, 2, 10, 5, 13, -1, -1, -1, -1);
  const __m256i pairs = _mm256_shuffle_epi8(neighbours, columns);
  // c (lower - 128) + (255 - c) (upper - 128) + (upper - 128) = V - 32768 with
  // V = (256 - c) upper + c lower: no term leaves 16 signed bits.
  const __m256i column =
      _mm256_add_epi16(_mm256_maddubs_epi16(vertical, pairs), _mm256_srai_epi16(pairs, 8));
  return _mm256_madd_epi16(column, horizontal);
}

// Eight pixels with their offsets given by offset(k) (all up to src.high - 2) and their weights
// as in BlendLanes, one 32-bit word per pixel: pixels 0-3 | 4-7 in the low three bytes of each
// 32-bit lane.
template <class Offset>
VIMO_AVX2 inline __m256i BlendEight(Offset offset, const uint8_t* lowerRow, const uint8_t* upperRow,
                                    __m256i vertical, __m256i horizontal) {
  const __m256i bias = _mm256_set1_epi8(static_cast<char>(0x80));
  // Pixels 0 | 4, 1 | 5, 2 | 6, 3 | 7.
  const __m256i s0 =
      BlendLanes(_mm256_xor_si256(LoadNeighbours(lowerRow, upperRow, offset(0), offset(4)), bias),
                 _mm256_shuffle_epi32(vertical, 0x00), _mm256_shuffle_epi32(horizontal, 0x00));
  const __m256i s1 =
      BlendLanes(_mm256_xor_si256(LoadNeighbours(lowerRow, upperRow, offset(1), offset(5)), bias),
                 _mm256_shuffle_epi32(vertical, 0x55), _mm256_shuffle_epi32(horizontal, 0x55));
  const __m256i s2 =
      BlendLanes(_mm256_xor_si256(LoadNeighbours(lowerRow, upperRow, offset(2), offset(6)), bias),
                 _mm256_shuffle_epi32(vertical, 0xAA), _mm256_shuffle_epi32(horizontal, 0xAA));
  const __m256i s3 =
      BlendLanes(_mm256_xor_si256(LoadNeighbours(lowerRow, upperRow, offset(3), offset(7)), bias),
                 _mm256_shuffle_epi32(vertical, 0xFF), _mm256_shuffle_epi32(horizontal, 0xFF));
  // (T - 2^23) >> 16 lies in [-128, 127]: the packs are exact.
  const __m256i words01 = _mm256_packs_epi32(_mm256_srai_epi32(s0, 16), _mm256_srai_epi32(s1, 16));
  const __m256i words23 = _mm256_packs_epi32(_mm256_srai_epi32(s2, 16), _mm256_srai_epi32(s3, 16));
  return _mm256_xor_si256(_mm256_packs_epi16(words01, words23), bias);
}

}  // namespace

VIMO_AVX2 int BilinearRowAvx2(const ESubPixel64* entries, int count, const RowSource& src,
                              EC24* dst) {
  // Eight pixels at a time, pixel k beside pixel k + 4 in one vector. Each pixel reads eight
  // bytes of the lower and of the upper row from its offset: offsets up to src.high - 2 keep
  // them inside the source; offsets below src.low are read there (and cleared when without a
  // source), and a group holding an offset above src.high - 2 (the source's last two pixels, or
  // one to clamp to src.high) takes the exact rule pixel by pixel. The blend is the 32-bit rule
  // in exact integer steps: with bytes biased to x - 128, the vertical blend of each column is
  // a byte multiply-add, and the horizontal one a 16-bit multiply-add giving T - 2^23, where T is
  // the rule's weighted sum, so that T >> 16 = ((T - 2^23) >> 16) + 128.
  if (static_cast<int64_t>(src.high) - src.low < 2) return 0;
  const int32_t low = src.low, high = src.high;
  const intptr_t pitch = src.pitch;
  const __m256i vlow = _mm256_set1_epi32(low), vhigh = _mm256_set1_epi32(high);
  const __m256i lastPlain = _mm256_set1_epi32(high - 2);
  const uint8_t* const lowerRow = src.base;
  const uint8_t* const upperRow = src.base - pitch;
  // Unsigned comparison of offset - low with the widest distance the plain reads allow.
  const __m256i signBit = _mm256_set1_epi32(INT32_MIN);
  const __m256i widest =
      _mm256_set1_epi32(static_cast<int32_t>(static_cast<uint32_t>(high - 2 - low) ^ 0x80000000u));
  // Fractions (a in byte 0, c in byte 2 of each pixel's word) to the weights of BlendLanes:
  // c broadcast, its high bytes complemented; a as two words, the first negated and raised by
  // 256.
  const __m256i cBytes = _mm256_setr_epi8(2, 2, 2, 2, 6, 6, 6, 6, 10, 10, 10, 10, 14, 14, 14, 14, 2,
                                          2, 2, 2, 6, 6, 6, 6, 10, 10, 10, 10, 14, 14, 14, 14);
  const __m256i complementHigh = _mm256_set1_epi32(static_cast<int>(0xFF00FF00u));
  const __m256i aWords = _mm256_setr_epi8(0, -1, 0, -1, 4, -1, 4, -1, 8, -1, 8, -1, 12, -1, 12, -1,
                                          0, -1, 0, -1, 4, -1, 4, -1, 8, -1, 8, -1, 12, -1, 12, -1);
  const __m256i negateLow = _mm256_set1_epi32(0x0001FFFF), raiseLow = _mm256_set1_epi32(256);
  alignas(32) int32_t starts[8];
  uint8_t* out = reinterpret_cast<uint8_t*>(dst);
  int i = 0;
  for (; i + 8 <= count; i += 8, out += 24) {
    // Entries 0, 1, 4, 5 and 2, 3, 6, 7, so that offsets and fractions come out in order.
    const ESubPixel64* e = entries + i;
    const __m256 first = _mm256_loadu2_m128(reinterpret_cast<const float*>(e + 4),
                                            reinterpret_cast<const float*>(e));
    const __m256 second = _mm256_loadu2_m128(reinterpret_cast<const float*>(e + 6),
                                             reinterpret_cast<const float*>(e + 2));
    const __m256i offsets =
        _mm256_castps_si256(_mm256_shuffle_ps(first, second, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m256i fractions =
        _mm256_castps_si256(_mm256_shuffle_ps(first, second, _MM_SHUFFLE(3, 1, 3, 1)));
    const __m256i vertical =
        _mm256_xor_si256(_mm256_shuffle_epi8(fractions, cBytes), complementHigh);
    const __m256i horizontal = _mm256_add_epi16(
        _mm256_sign_epi16(_mm256_shuffle_epi8(fractions, aWords), negateLow), raiseLow);
    // Usable offsets as they stand: the common case.
    const __m256i beyond =
        _mm256_cmpgt_epi32(_mm256_xor_si256(_mm256_sub_epi32(offsets, vlow), signBit), widest);
    if (_mm256_movemask_ps(_mm256_castsi256_ps(beyond)) == 0) {
      auto offset = [e](int k) {
        int32_t o;
        std::memcpy(&o, e + k, sizeof(o));
        return o;
      };
      StoreEightC24(out, BlendEight(offset, lowerRow, upperRow, vertical, horizontal));
      continue;
    }
    // Pixels without a source read at src.low and are cleared; a group with an offset that
    // would read past the source takes the exact rule.
    const __m256i start = Clamp(offsets, vlow, vhigh);
    if (_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpgt_epi32(start, lastPlain))) == 0) {
      _mm256_store_si256(reinterpret_cast<__m256i*>(starts), start);
      auto offset = [&starts](int k) { return starts[k]; };
      const __m256i pixels = BlendEight(offset, lowerRow, upperRow, vertical, horizontal);
      StoreEightC24(out, _mm256_andnot_si256(_mm256_srai_epi32(offsets, 31), pixels));
      continue;
    }
    for (int k = 0; k < 8; ++k) {
      uint64_t raw;
      std::memcpy(&raw, e + k, sizeof(raw));
      const int32_t offset = static_cast<int32_t>(static_cast<uint32_t>(raw));
      const uint32_t keep = ~static_cast<uint32_t>(offset >> 31);
      const uint8_t* p = lowerRow + std::min(std::max(offset, low), high);
      const uint8_t* q = p - pitch;
      const uint32_t a = static_cast<uint32_t>(raw >> 32) & 255u;
      const uint32_t c = static_cast<uint32_t>(raw >> 48) & 255u;
      for (int channel = 0; channel < 3; ++channel)
        out[3 * k + channel] = static_cast<uint8_t>(
            Blend(q[channel], q[channel + 3], p[channel], p[channel + 3], a, c) & keep);
    }
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
