// The interpolated profile sampler: evenly spaced sub-pixel positions along the exact segment,
// each read by bilinear interpolation, with the band taken across the segment. Positions are
// stepped in fixed point, so that the samples checked to lie inside the image are exactly the
// ones read.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "vimo/gauges/profilesampler.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define VIMO_INTERPOLATED_SSE2 1
#endif

namespace vimo_profile {

namespace {

// Fraction bits of the fixed-point positions: coordinates up to 1e9 (2^30) times 2^30, plus
// every step of the longest profile, stay far inside 64 bits.
constexpr int kFraction = 30;
constexpr int64_t kOne = int64_t(1) << kFraction;

// Rounded to the nearest integer, halves away from zero, without a library call (|v| < 2^62).
int64_t Round(double v) { return static_cast<int64_t>(v >= 0 ? v + 0.5 : v - 0.5); }
int64_t ToFixed(double v) { return Round(v * double(kOne)); }
double Length(double dx, double dy) { return std::sqrt(dx * dx + dy * dy); }

// Samples i in [first, last] for which start + i * step lies in [0, limit]; false when none.
bool FixedRange(int64_t start, int64_t step, int64_t limit, int64_t& first, int64_t& last) {
  if (step == 0) return start >= 0 && start <= limit;
  // Every quantity is below 2^62, so the differences do not overflow.
  int64_t lo, hi;
  if (step > 0) {
    lo = -start;  // ceil((0 - start) / step)
    lo = lo <= 0 ? -((-lo) / step) : (lo + step - 1) / step;
    hi = limit - start;  // floor((limit - start) / step)
    hi = hi >= 0 ? hi / step : -((-hi + step - 1) / step);
  } else {
    const int64_t s = -step;
    lo = start - limit;  // ceil((start - limit) / s)
    lo = lo <= 0 ? -((-lo) / s) : (lo + s - 1) / s;
    hi = start;  // floor(start / s)
    hi = hi >= 0 ? hi / s : -((-hi + s - 1) / s);
  }
  first = std::max(first, lo);
  last = std::min(last, hi);
  return first <= last;
}

}  // namespace

SubpixelSegment::SubpixelSegment(double ax0, double ay0, double ax1, double ay1)
    : x0(ax0), y0(ay0), x1(ax1), y1(ay1), n(0) {
  const double limit = kMaxInterpolatedCoordinate;
  if (!(std::fabs(x0) < limit && std::fabs(y0) < limit && std::fabs(x1) < limit &&
        std::fabs(y1) < limit))
    return;
  n = Round(Length(x1 - x0, y1 - y0));
}

void SubpixelSegment::ConstrainHV() {
  if (n == 0) return;
  const double dx = x1 - x0, dy = y1 - y0;
  const double half = 0.5 * Length(dx, dy);
  const double mx = 0.5 * (x0 + x1), my = 0.5 * (y0 + y1);
  if (std::fabs(dx) < std::fabs(dy)) {
    const double s = dy > 0 ? 1.0 : -1.0;
    x0 = x1 = mx;
    y0 = my - s * half;
    y1 = my + s * half;
  } else {
    const double s = dx > 0 ? 1.0 : -1.0;
    y0 = y1 = my;
    x0 = mx - s * half;
    x1 = mx + s * half;
  }
}

namespace {

constexpr int kBits = 11;  // a point's position is rounded to 1/2048 pixel to be read
constexpr int64_t kHalf = int64_t(1) << (kFraction - kBits - 1);

constexpr int32_t kWhole = 1 << kBits;

// Reads one point of the root image, its position in fixed point with kHalf already added.
// Each row of the cell blends as a (kWhole - w) + b w, rounded to 2^-7 grey level (so that it
// fits 16 bits for the vector form), then the two rows blend the same way: the value is in
// units of 2^-18 grey level. With kClamp, a point on the last column or row is read from the
// cell before it with a whole weight, so that no read leaves the image (and a one-pixel-wide
// image, with no second column, is read without blending).
struct PointReader {
  const EBW8* base;
  int64_t pitch, nextColumn, nextRow, maxX, maxY;

  template <bool kClamp>
  int32_t At(int64_t x, int64_t y) const {
    int64_t qx = x >> (kFraction - kBits), qy = y >> (kFraction - kBits);
    if (kClamp) {
      qx = std::min(qx, maxX);
      qy = std::min(qy, maxY);
    }
    const int32_t wx = static_cast<int32_t>(qx & (kWhole - 1));
    const int32_t wy = static_cast<int32_t>(qy & (kWhole - 1));
    const EBW8* p = base + (qy >> kBits) * pitch + (qx >> kBits);
    // Without the clamp the image has a second column and row, and the cell's neighbours are
    // plain offsets.
    const int64_t right = kClamp ? nextColumn : 1, below = kClamp ? nextRow : pitch;
    const int32_t a = p[0], b = p[right], c = p[below], d = p[below + right];
    const int32_t top = (a * (kWhole - wx) + b * wx + 8) >> 4;
    const int32_t bottom = (c * (kWhole - wx) + d * wx + 8) >> 4;
    return top * (kWhole - wy) + bottom * wy;
  }
};

// From 2^-18 to 1 / kInterpolatedScale grey level, rounded.
constexpr int kDown = 14;
static_assert(kInterpolatedScale == 16, "the shift assumes sixteenths");

template <bool kClamp>
void SampleBand(const PointReader& reader, int64_t first, int64_t last, int64_t x, int64_t y,
                int64_t stepX, int64_t stepY, int64_t acrossX, int64_t acrossY, int64_t lastK,
                EBW32* out) {
  if (lastK == 0) {
    for (int64_t i = first; i <= last; ++i, x += stepX, y += stepY)
      out[i] = static_cast<EBW32>((reader.At<kClamp>(x, y) + (1 << (kDown - 1))) >> kDown);
    return;
  }
  for (int64_t i = first; i <= last; ++i, x += stepX, y += stepY) {
    int64_t sum = 0, bx = x, by = y;
    for (int64_t k = 0; k <= lastK; ++k, bx += acrossX, by += acrossY)
      sum += reader.At<kClamp>(bx, by);
    out[i] = static_cast<EBW32>((sum + (int64_t(1) << (kDown - 1))) >> kDown);
  }
}

#ifdef VIMO_INTERPOLATED_SSE2
// The unclamped SampleBand four samples at a time, with the same arithmetic: the positions in
// 64-bit lanes, the cells' offsets in 32-bit lanes (the caller checks that they fit), each
// row's blend and then the rows' blend as pairs of 16-bit products, the band summed in 32-bit
// lanes (at most kMaxVectorBand points). Returns the first sample it left to the scalar loop.
constexpr int64_t kMaxVectorBand = 32;

int64_t SampleBandVector(const EBW8* base, int64_t pitch, int64_t first, int64_t last, int64_t x,
                         int64_t y, int64_t stepX, int64_t stepY, int64_t acrossX, int64_t acrossY,
                         int64_t lastK, EBW32* out) {
  const __m128i whole = _mm_set1_epi32(kWhole), mask = _mm_set1_epi32(kWhole - 1);
  const __m128i zero = _mm_setzero_si128(), pitches = _mm_set1_epi32(static_cast<int>(pitch));
  const __m128i round = _mm_set1_epi32(1 << (kDown - 1)), eight = _mm_set1_epi32(8);
  const __m128i across = _mm_set_epi64x(acrossX, acrossX), down = _mm_set_epi64x(acrossY, acrossY);
  __m128i x01 = _mm_set_epi64x(x + stepX, x), x23 = _mm_set_epi64x(x + 3 * stepX, x + 2 * stepX);
  __m128i y01 = _mm_set_epi64x(y + stepY, y), y23 = _mm_set_epi64x(y + 3 * stepY, y + 2 * stepY);
  const __m128i blockX = _mm_set1_epi64x(4 * stepX), blockY = _mm_set1_epi64x(4 * stepY);
  // The low halves of four 64-bit lanes, in order.
  auto lows = [](__m128i a, __m128i b) {
    return _mm_castps_si128(
        _mm_shuffle_ps(_mm_castsi128_ps(a), _mm_castsi128_ps(b), _MM_SHUFFLE(2, 0, 2, 0)));
  };
  // (kWhole - w, w) as the two 16-bit halves of each lane.
  auto pairs = [&](__m128i w) {
    return _mm_or_si128(_mm_sub_epi32(whole, w), _mm_slli_epi32(w, 16));
  };
  alignas(16) int32_t offsets[4];
  int64_t i = first;
  for (; i + 3 <= last; i += 4) {
    __m128i sum = zero, bx01 = x01, bx23 = x23, by01 = y01, by23 = y23;
    for (int64_t k = 0; k <= lastK; ++k) {
      const __m128i qx =
          lows(_mm_srli_epi64(bx01, kFraction - kBits), _mm_srli_epi64(bx23, kFraction - kBits));
      const __m128i qy =
          lows(_mm_srli_epi64(by01, kFraction - kBits), _mm_srli_epi64(by23, kFraction - kBits));
      const __m128i row = _mm_srli_epi32(qy, kBits), column = _mm_srli_epi32(qx, kBits);
      // row x pitch in 32-bit lanes, from the even and odd 64-bit products.
      const __m128i even = _mm_mul_epu32(row, pitches);
      const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(row, 32), pitches);
      const __m128i rows = _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                                              _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
      _mm_store_si128(reinterpret_cast<__m128i*>(offsets), _mm_add_epi32(rows, column));
      // Each cell as its four bytes a, b, c, d (x86 is little-endian).
      uint32_t cells[4];
      for (int j = 0; j < 4; ++j) {
        uint16_t top, bottom;
        std::memcpy(&top, base + offsets[j], 2);
        std::memcpy(&bottom, base + offsets[j] + pitch, 2);
        cells[j] = top | uint32_t(bottom) << 16;
      }
      const __m128i pixels =
          _mm_set_epi32(int(cells[3]), int(cells[2]), int(cells[1]), int(cells[0]));
      const __m128i wx = pairs(_mm_and_si128(qx, mask)), wy = pairs(_mm_and_si128(qy, mask));
      const __m128i rows01 = _mm_madd_epi16(_mm_unpacklo_epi8(pixels, zero),
                                            _mm_shuffle_epi32(wx, _MM_SHUFFLE(1, 1, 0, 0)));
      const __m128i rows23 = _mm_madd_epi16(_mm_unpackhi_epi8(pixels, zero),
                                            _mm_shuffle_epi32(wx, _MM_SHUFFLE(3, 3, 2, 2)));
      const __m128i blended = _mm_packs_epi32(_mm_srli_epi32(_mm_add_epi32(rows01, eight), 4),
                                              _mm_srli_epi32(_mm_add_epi32(rows23, eight), 4));
      sum = _mm_add_epi32(sum, _mm_madd_epi16(blended, wy));
      bx01 = _mm_add_epi64(bx01, across), bx23 = _mm_add_epi64(bx23, across);
      by01 = _mm_add_epi64(by01, down), by23 = _mm_add_epi64(by23, down);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                     _mm_srli_epi32(_mm_add_epi32(sum, round), kDown));
    x01 = _mm_add_epi64(x01, blockX), x23 = _mm_add_epi64(x23, blockX);
    y01 = _mm_add_epi64(y01, blockY), y23 = _mm_add_epi64(y23, blockY);
  }
  return i;
}
#endif

bool Within(int64_t v, int64_t limit) { return v >= 0 && v <= limit; }

}  // namespace

SampleStatus SampleInterpolated(const RootView& image, const SubpixelSegment& segment,
                                unsigned thickness, EBW32Vector& profile) {
  const int64_t n = segment.n;
  if (image.base == nullptr || n < 1 || thickness == 0) {
    profile.Empty();
    return kSampleOk;
  }
  const double dx = segment.x1 - segment.x0, dy = segment.y1 - segment.y0;
  const double length = Length(dx, dy);
  // Unit normal, a quarter turn from the direction: (-dy, dx).
  const double nx = -dy / length, ny = dx / length;
  const double centre = 0.5 * (double(thickness) - 1.0);
  // Band point k of sample i lies at start + i * step + k * across.
  const int64_t startX = ToFixed(segment.x0 - centre * nx);
  const int64_t startY = ToFixed(segment.y0 - centre * ny);
  const int64_t stepX = ToFixed(dx / double(n)), stepY = ToFixed(dy / double(n));
  const int64_t acrossX = ToFixed(nx), acrossY = ToFixed(ny);
  const int64_t lastK = int64_t(thickness) - 1;
  const int64_t bandX = lastK * acrossX, bandY = lastK * acrossY;

  // The band of a sample is a straight run of points, so it lies inside when both its ends do;
  // and the samples inside form one range. A profile wholly inside needs no division.
  const int64_t limitX = (image.width - 1) * kOne, limitY = (image.height - 1) * kOne;
  int64_t first = 0, last = n;
  const int64_t endX = startX + n * stepX, endY = startY + n * stepY;
  const bool inside = Within(startX, limitX) && Within(startY, limitY) &&
                      Within(startX + bandX, limitX) && Within(startY + bandY, limitY) &&
                      Within(endX, limitX) && Within(endY, limitY) &&
                      Within(endX + bandX, limitX) && Within(endY + bandY, limitY);
  const bool any = inside || (FixedRange(startX, stepX, limitX, first, last) &&
                              FixedRange(startY, stepY, limitY, first, last) &&
                              FixedRange(startX + bandX, stepX, limitX, first, last) &&
                              FixedRange(startY + bandY, stepY, limitY, first, last));
  if (!any || first >= last) {
    profile.Empty();
    return kSampleOk;
  }
  if (!SizeProfile(profile, n + 1)) return kSampleCannotSize;

  const PointReader reader{image.base,
                           image.pitch,
                           image.width > 1 ? 1 : 0,
                           image.height > 1 ? image.pitch : 0,
                           image.width > 1 ? ((image.width - 1) << kBits) - 1 : 0,
                           image.height > 1 ? ((image.height - 1) << kBits) - 1 : 0};
  const int64_t x = startX + first * stepX + kHalf, y = startY + first * stepY + kHalf;
  // The clamp is needed only when a point rounds onto the last column or row; the points of
  // the first and last samples bound all the others.
  const int64_t fx = x + (last - first) * stepX, fy = y + (last - first) * stepY;
  const bool clear = image.width > 1 && image.height > 1 &&
                     std::max({x, x + bandX, fx, fx + bandX}) < limitX &&
                     std::max({y, y + bandY, fy, fy + bandY}) < limitY;
  EBW32* out = profile.GetDataPtr();
  if (clear) {
    int64_t from = first;
#ifdef VIMO_INTERPOLATED_SSE2
    // The vector form takes the points' positions in 2^-11 pixel, the cells' offsets and the
    // band sums in 32 bits.
    if (lastK < kMaxVectorBand && (image.width - 1) < (int64_t(1) << 20) &&
        (image.height - 1) < (int64_t(1) << 20) && image.height * image.pitch < (int64_t(1) << 31))
      from = SampleBandVector(image.base, image.pitch, first, last, x, y, stepX, stepY, acrossX,
                              acrossY, lastK, out);
#endif
    SampleBand<false>(reader, from, last, x + (from - first) * stepX, y + (from - first) * stepY,
                      stepX, stepY, acrossX, acrossY, lastK, out);
  } else
    SampleBand<true>(reader, first, last, x, y, stepX, stepY, acrossX, acrossY, lastK, out);
  std::fill(out, out + first, out[first]);
  std::fill(out + last + 1, out + n + 1, out[last]);
  return kSampleOk;
}

}  // namespace vimo_profile
