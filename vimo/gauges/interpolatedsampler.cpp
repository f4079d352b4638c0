// The interpolated profile sampler: evenly spaced sub-pixel positions along the exact segment,
// each read by bilinear interpolation, with the band taken across the segment. Positions are
// stepped in fixed point, so that the samples checked to lie inside the image are exactly the
// ones read.
#include <algorithm>
#include <cmath>

#include "vimo/gauges/profilesampler.h"

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

bool SizeTo(EBW32Vector& profile, int64_t count) {
  if (count > kMaxProfileSamples) {
    ESetError(E_ERROR_ALLOCATION_FAILED);
    return false;
  }
  profile.SetNumElements(static_cast<unsigned>(count));
  return profile.GetNumElements() == static_cast<unsigned>(count);
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

// Reads one point of the root image, its position in fixed point with kHalf already added:
// the weights of its cell blend in 32-bit integers, in units of 2^-22 grey level. With
// kClamp, a point on the last column or row is read from the cell before it with a whole
// weight, so that no read leaves the image (and a one-pixel-wide image, with no second column,
// is read without blending).
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
    const int32_t wx = static_cast<int32_t>(qx & ((1 << kBits) - 1));
    const int32_t wy = static_cast<int32_t>(qy & ((1 << kBits) - 1));
    const EBW8* p = base + (qy >> kBits) * pitch + (qx >> kBits);
    const int32_t a = p[0], b = p[nextColumn], c = p[nextRow], d = p[nextRow + nextColumn];
    const int32_t top = (a << kBits) + (b - a) * wx, bottom = (c << kBits) + (d - c) * wx;
    return (top << kBits) + (bottom - top) * wy;  // a blend of values below 2^8, times 2^22
  }
};

// From 2^-22 to 1 / kInterpolatedScale grey level, rounded.
constexpr int kDown = 2 * kBits - 4;
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
  if (!SizeTo(profile, n + 1)) return kSampleCannotSize;

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
  const bool clear = std::max({x, x + bandX, fx, fx + bandX}) < limitX &&
                     std::max({y, y + bandY, fy, fy + bandY}) < limitY;
  EBW32* out = profile.GetDataPtr();
  if (clear)
    SampleBand<false>(reader, first, last, x, y, stepX, stepY, acrossX, acrossY, lastK, out);
  else
    SampleBand<true>(reader, first, last, x, y, stepX, stepY, acrossX, acrossY, lastK, out);
  std::fill(out, out + first, out[first]);
  std::fill(out + last + 1, out + n + 1, out[last]);
  return kSampleOk;
}

}  // namespace vimo_profile
