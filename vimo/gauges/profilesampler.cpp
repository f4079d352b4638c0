#include "vimo/gauges/profilesampler.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace vimo_profile {

namespace {

// Products of coordinates and lengths reach 2^67 when segments come near the 32-bit limits.
__extension__ typedef __int128 Wide;
__extension__ typedef unsigned __int128 UWide;

Wide FloorDiv(Wide a, Wide b) {  // b > 0
  Wide q = a / b;
  if (a % b != 0 && a < 0) --q;
  return q;
}
Wide CeilDiv(Wide a, Wide b) { return -FloorDiv(-a, b); }

// Below this major length every product of the digital-line arithmetic fits in 64 bits, which
// avoids the slow 128-bit divisions on every ordinary profile.
constexpr int64_t kNarrowLength = int64_t(1) << 30;
// Below this major length the axis sampler divides by multiplying with a reciprocal.
constexpr int64_t kReciprocalLength = int64_t(1) << 20;

int64_t FloorDiv64(int64_t a, int64_t b) {  // b > 0
  int64_t q = a / b;
  if (a % b != 0 && a < 0) --q;
  return q;
}

int64_t Clamp(Wide v, int64_t lo, int64_t hi) {
  if (v < lo) return lo;
  if (v > hi) return hi;
  return static_cast<int64_t>(v);
}

// Range of i for which start + step * i lies in [lo, hi].
void AxisRange(int64_t start, int step, int64_t lo, int64_t hi, int64_t& first, int64_t& last) {
  if (step > 0) {
    first = lo - start;
    last = hi - start;
  } else {
    first = start - hi;
    last = start - lo;
  }
}

int32_t Saturate32(Wide v) {
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

// Walks a digital line one sample at a time as an address offset into the root image.
struct Walker {
  Walker(const DigitalLine& line, const RootView& image, int64_t start) {
    twoN = 2 * line.n;
    twoM = 2 * line.m;
    // Minor offset of the start sample and the remainder of its division, from one division.
    int64_t minor = 0;
    rest = 0;
    if (start > 0 && line.m > 0) {
      if (line.n < kNarrowLength) {
        const int64_t numerator = 2 * start * line.m + line.bias;
        minor = numerator / twoN;
        rest = numerator % twoN;
      } else {
        const Wide numerator = Wide(2) * start * line.m + line.bias;
        minor = static_cast<int64_t>(numerator / twoN);
        rest = static_cast<int64_t>(numerator % twoN);
      }
    } else {
      rest = line.bias;  // below 2n: the offset is 0
    }
    const int64_t major = line.majorStep * start, across = line.minorStep * minor;
    const int64_t x = line.x0 + (line.xMajor ? major : across);
    const int64_t y = line.y0 + (line.xMajor ? across : major);
    offset = y * image.pitch + x;
    majorDelta = line.xMajor ? line.majorStep : line.majorStep * image.pitch;
    minorDelta = line.xMajor ? line.minorStep * image.pitch : line.minorStep;
  }
  void Step() {
    offset += majorDelta;
    rest += twoM;
    // One diagonal step when the accumulated minor advance reaches a pixel (m <= n).
    // A mask rather than a branch: on a slanted line the diagonal steps are irregular.
    const int64_t diagonal = -static_cast<int64_t>(rest >= twoN);
    rest -= twoN & diagonal;
    offset += minorDelta & diagonal;
  }
  // Two samples ahead: the remainder may pass one or two pixels (2m <= 2n).
  void StepTwo() {
    offset += 2 * majorDelta;
    rest += 2 * twoM;
    const int64_t once = -static_cast<int64_t>(rest >= twoN);
    const int64_t twice = -static_cast<int64_t>(rest >= 2 * twoN);
    rest -= (twoN & once) + (twoN & twice);
    offset += (minorDelta & once) + (minorDelta & twice);
  }
  int64_t offset;
  int64_t majorDelta, minorDelta;
  int64_t twoN, twoM, rest;
};

// Gives the samples outside [first, last] the value of the nearest valid one.
void ReplicateEnds(EBW32* p, int64_t first, int64_t last, int64_t count) {
  if (first == 0 && last + 1 == count) return;
  std::fill(p, p + first, p[first]);
  std::fill(p + last + 1, p + count, p[last]);
}

// Samples [first, last] of a digital line (n < kReciprocalLength) of single pixels, all inside
// the image.
// Calls visit(i, offset) for the samples i in [first, last] of a digital line (n <
// kReciprocalLength), offset being the address of sample i's pixel less that of sample 0.
template <class Visit>
inline void ForEachOffset(const DigitalLine& line, int64_t pitch, int64_t first, int64_t last,
                          Visit visit) {
  // Minor offset of sample i, floor((2 i m + bias) / 2n), as the high half of the numerator
  // times 2^64 / 2n rounded up: the excess stays below 1 / 2n while numerator x 2n < 2^64,
  // which n < 2^20 guarantees, so the floor is exact. No sample waits on the previous one.
  const uint64_t twoN = static_cast<uint64_t>(2 * line.n);
  const uint64_t twoM = static_cast<uint64_t>(2 * line.m);
  const uint64_t reciprocal = UINT64_MAX / twoN + 1;
  const int64_t majorDelta = line.xMajor ? line.majorStep : line.majorStep * pitch;
  const int64_t minorDelta = line.xMajor ? line.minorStep * pitch : line.minorStep;
  uint64_t numerator = twoM * static_cast<uint64_t>(first) + static_cast<uint64_t>(line.bias);
  for (int64_t i = first; i <= last; ++i, numerator += twoM) {
    const int64_t minor = static_cast<int64_t>((UWide(numerator) * reciprocal) >> 64);
    visit(i, i * majorDelta + minor * minorDelta);
  }
}

// Samples [first, last] of a digital line (n < kReciprocalLength) of single pixels, all inside
// the image.
inline void SampleThin(const RootView& image, const DigitalLine& line, int64_t first, int64_t last,
                       EBW32* out) {
  const EBW8* origin = image.base + (line.y0 * image.pitch + line.x0);  // sample 0, maybe outside
  ForEachOffset(line, image.pitch, first, last,
                [&](int64_t i, int64_t offset) { out[i] = origin[offset]; });
}

// Central differences of n >= 2 samples, one-sided at the ends. Profile values stay below
// 2^31, so every difference fits.
inline void DeriveInto(const EBW32* __restrict p, uint32_t n, int32_t* __restrict d) {
  d[0] = int32_t(p[1]) - int32_t(p[0]);
  for (uint32_t i = 1; i + 1 < n; ++i) d[i] = int32_t(p[i + 1]) - int32_t(p[i - 1]);
  d[n - 1] = int32_t(p[n - 1]) - int32_t(p[n - 2]);
}

}  // namespace

bool SizeProfile(EBW32Vector& profile, int64_t count) {
  if (count > kMaxProfileSamples) {
    ESetError(E_ERROR_ALLOCATION_FAILED);
    return false;
  }
  profile.SetNumElements(static_cast<unsigned>(count));
  return profile.GetNumElements() == static_cast<unsigned>(count);
}

int64_t DigitalLine::MinorOffset(int64_t i) const {
  if (n == 0) return 0;
  if (n < kNarrowLength && i >= 0 && i < kNarrowLength) return (2 * i * m + bias) / (2 * n);
  return static_cast<int64_t>((Wide(2) * i * m + bias) / (Wide(2) * n));
}

int64_t DigitalLine::X(int64_t i) const {
  return xMajor ? x0 + majorStep * i : x0 + minorStep * MinorOffset(i);
}

int64_t DigitalLine::Y(int64_t i) const {
  return xMajor ? y0 + minorStep * MinorOffset(i) : y0 + majorStep * i;
}

bool DigitalLine::Range(int64_t xlo, int64_t xhi, int64_t ylo, int64_t yhi, int64_t& first,
                        int64_t& last) const {
  if (xlo > xhi || ylo > yhi) return false;
  // The pixels lie within the box of the two end points: when that box is inside, so is every
  // sample, as in nearly every profile of a gauge.
  {
    // The last sample is the end point itself: its minor offset is m.
    const int64_t x1 = x0 + (xMajor ? majorStep * n : minorStep * m);
    const int64_t y1 = y0 + (xMajor ? minorStep * m : majorStep * n);
    if (std::min(x0, x1) >= xlo && std::max(x0, x1) <= xhi && std::min(y0, y1) >= ylo &&
        std::max(y0, y1) <= yhi) {
      first = 0;
      last = n;
      return true;
    }
  }
  int64_t lo, hi;
  if (xMajor)
    AxisRange(x0, majorStep, xlo, xhi, lo, hi);
  else
    AxisRange(y0, majorStep, ylo, yhi, lo, hi);
  first = std::max<int64_t>(lo, 0);
  last = std::min<int64_t>(hi, n);
  if (first > last) return false;

  // Minor offsets allowed, then the samples whose offset lies there:
  // offset(i) = floor((2 i m + bias) / 2n) >= a  <=>  i >= ceil((2 a n - bias) / 2m),
  // offset(i) <= b  <=>  i <= floor((2 (b + 1) n - bias - 1) / 2m).
  int64_t a, b;
  if (xMajor)
    AxisRange(y0, minorStep, ylo, yhi, a, b);
  else
    AxisRange(x0, minorStep, xlo, xhi, a, b);
  if (m == 0) return a <= 0 && 0 <= b;
  // Offsets run from 0 to m: clamping the bounds there keeps the products small.
  if (b < 0 || a > m) return false;
  a = std::max<int64_t>(a, 0);
  b = std::min(b, m);
  // No division when the line stays within the minor bounds, as it does in most profiles.
  int64_t lowest = 0, highest = n;
  if (n < kNarrowLength) {
    if (a > 0) lowest = -FloorDiv64(bias - 2 * a * n, 2 * m);
    if (b < m) highest = FloorDiv64(2 * (b + 1) * n - bias - 1, 2 * m);
  } else {
    lowest = Clamp(CeilDiv(Wide(2) * a * n - bias, Wide(2) * m), 0, n + 1);
    highest = Clamp(FloorDiv(Wide(2) * (Wide(b) + 1) * n - bias - 1, Wide(2) * m), -1, n);
  }
  first = std::max(first, lowest);
  last = std::min(last, highest);
  return first <= last;
}

RootView::RootView(const EROI<EBW8>* roi) {
  if (roi == nullptr) return;
  int w = 0, h = 0, p = 0;
  const uint8_t* pixels = roi->GetRootPixels(w, h, p);  // null when the image has no pixels
  if (pixels == nullptr) return;
  width = w;
  height = h;
  pitch = p;
  base = pixels;
}

SampleStatus SampleAxis(const RootView& image, const DigitalLine& line, unsigned thickness,
                        EBW32Vector& profile) {
  const int64_t t = thickness;
  const int64_t half = t / 2;
  int64_t first, last;
  bool any = image.base != nullptr;
  // The whole band of a valid sample lies inside the image.
  if (any && line.xMajor)
    any = line.Range(0, image.width - 1, half, image.height - t + half, first, last);
  else if (any)
    any = line.Range(half, image.width - t + half, 0, image.height - 1, first, last);
  if (!any || first >= last) {
    profile.Empty();
    return kSampleOk;
  }
  if (!SizeProfile(profile, line.n + 1)) return kSampleCannotSize;

  EBW32* out = profile.GetDataPtr();
  const EBW8* base = image.base;
  if (t == 1 && line.n < kReciprocalLength) {
    SampleThin(image, line, first, last, out);
    ReplicateEnds(out, first, last, line.n + 1);
    return kSampleOk;
  }
  Walker walk(line, image, first);
  if (t == 1) {
    // Even and odd samples on two interleaved walks: two short dependency chains instead of
    // one long one.
    Walker odd = walk;
    odd.Step();
    int64_t i = first;
    for (; i < last; i += 2) {
      out[i] = base[walk.offset];
      out[i + 1] = base[odd.offset];
      walk.StepTwo();
      odd.StepTwo();
    }
    if (i == last) out[i] = base[walk.offset];
  } else {
    const int64_t across = line.xMajor ? image.pitch : 1;
    const int64_t back = half * across;
    for (int64_t i = first; i <= last; ++i) {
      const EBW8* p = base + (walk.offset - back);
      EBW32 sum = 0;
      for (int64_t k = 0; k < t; ++k, p += across) sum += *p;
      out[i] = sum;
      walk.Step();
    }
  }
  ReplicateEnds(out, first, last, line.n + 1);
  return kSampleOk;
}

SampleStatus SampleRectangular(const RootView& image, const DigitalLine& line, unsigned thickness,
                               EBW32Vector& profile, int32_t& bandX, int32_t& bandY) {
  if (thickness < 2) {
    bandX = bandY = 0;
    return SampleAxis(image, line, thickness, profile);
  }
  const int64_t h = thickness / 2;
  // h steps along the segment's own digital line, each turned a quarter: (sx, sy) -> (-sy, sx).
  const int64_t majorSum = h * line.majorStep;
  const int64_t minorSum = line.MinorOffset(h) * line.minorStep;
  const int64_t stepX = line.xMajor ? majorSum : minorSum;
  const int64_t stepY = line.xMajor ? minorSum : majorSum;
  const int64_t ohx = -stepY, ohy = stepX;
  bandX = static_cast<int32_t>(ohx);
  bandY = static_cast<int32_t>(ohy);

  int64_t first, last;
  const int64_t ax = std::abs(ohx), ay = std::abs(ohy);
  if (image.base == nullptr ||
      !line.Range(ax, image.width - 1 - ax, ay, image.height - 1 - ay, first, last)) {
    profile.Empty();
    return kSampleOk;
  }
  if (!SizeProfile(profile, line.n + 1)) return kSampleCannotSize;

  // Address deltas of the band offsets o_1 .. o_h. The weight limit keeps h below 2^22; most
  // bands fit the local array.
  int64_t local[16];
  std::vector<int64_t> heap;
  int64_t* deltas = local;
  if (h > 16) {
    try {
      heap.resize(static_cast<size_t>(h));
    } catch (const std::bad_alloc&) {
      ESetError(E_ERROR_ALLOCATION_FAILED);
      return kSampleCannotSize;
    }
    deltas = heap.data();
  }
  {
    int64_t ox = 0, oy = 0;
    for (int64_t k = 1; k <= h; ++k) {
      const int64_t minorStep = (line.MinorOffset(k) - line.MinorOffset(k - 1)) * line.minorStep;
      const int64_t sx = line.xMajor ? line.majorStep : minorStep;
      const int64_t sy = line.xMajor ? minorStep : line.majorStep;
      ox -= sy;
      oy += sx;
      deltas[k - 1] = oy * image.pitch + ox;
    }
  }
  const int64_t outer = deltas[h - 1];
  const bool odd = (thickness & 1) != 0;
  // An even band keeps only the outermost pixel at the lower address.
  const int64_t evenOuter = outer < 0 ? outer : -outer;

  EBW32* out = profile.GetDataPtr();
  const EBW8* base = image.base;
  const int64_t* d = deltas;
  Walker walk(line, image, first);
  for (int64_t i = first; i <= last; ++i) {
    const EBW8* c = base + walk.offset;
    EBW32 sum = *c;
    for (int64_t k = 0; k + 1 < h; ++k) sum += EBW32(c[d[k]]) + c[-d[k]];
    if (odd)
      sum += EBW32(c[outer]) + c[-outer];
    else
      sum += c[evenOuter];
    out[i] = sum;
    walk.Step();
  }
  ReplicateEnds(out, first, last, line.n + 1);
  return kSampleOk;
}

bool Smooth(EBW32Vector& profile, unsigned smoothing, EINT32Vector& scratch) {
  const int64_t n = profile.GetNumElements();
  if (n == 0 || smoothing < 2) return true;
  scratch.SetNumElements(static_cast<unsigned>(n));
  if (scratch.GetNumElements() != static_cast<unsigned>(n)) return false;
  const EBW32* p = profile.GetDataPtr();
  int32_t* q = scratch.GetDataPtr();
  const int64_t h = smoothing / 2;
  auto at = [&](int64_t j) -> int64_t { return p[j < 0 ? 0 : (j >= n ? n - 1 : j)]; };
  // Sum of the replicated profile over [-r, r].
  auto initial = [&](int64_t r) -> int64_t {
    int64_t sum = r * int64_t(p[0]);
    const int64_t inside = std::min(r, n - 1);
    for (int64_t j = 0; j <= inside; ++j) sum += p[j];
    return sum + (r - inside) * int64_t(p[n - 1]);
  };
  // Sliding sums over windows of half-width h (and h - 1 for even widths): one pass whatever
  // the width, and no buffer beyond the profile's own size. Only the samples whose window
  // crosses an end need the replication.
  const int64_t inner = std::min(h, n), outer = std::max(inner, n - h - 1);
  int64_t wide = initial(h);
  if (smoothing & 1) {
    int64_t i = 0;
    for (; i < inner; ++i) {
      q[i] = static_cast<int32_t>(wide);
      wide += at(i + h + 1) - at(i - h);
    }
    for (; i < outer; ++i) {
      q[i] = static_cast<int32_t>(wide);
      wide += int64_t(p[i + h + 1]) - int64_t(p[i - h]);
    }
    for (; i < n; ++i) {
      q[i] = static_cast<int32_t>(wide);
      wide += at(i + h + 1) - at(i - h);
    }
  } else {
    int64_t narrow = initial(h - 1);
    int64_t i = 0;
    for (; i < inner; ++i) {
      q[i] = static_cast<int32_t>((wide + narrow) >> 1);
      wide += at(i + h + 1) - at(i - h);
      narrow += at(i + h) - at(i - h + 1);
    }
    for (; i < outer; ++i) {
      q[i] = static_cast<int32_t>((wide + narrow) >> 1);
      wide += int64_t(p[i + h + 1]) - int64_t(p[i - h]);
      narrow += int64_t(p[i + h]) - int64_t(p[i - h + 1]);
    }
    for (; i < n; ++i) {
      q[i] = static_cast<int32_t>((wide + narrow) >> 1);
      wide += at(i + h + 1) - at(i - h);
      narrow += at(i + h) - at(i - h + 1);
    }
  }
  EBW32* dst = profile.GetDataPtr();
  for (int64_t i = 0; i < n; ++i) dst[i] = static_cast<EBW32>(q[i]);
  return true;
}

void Derive(const EBW32Vector& profile, EINT32Vector& derivative) {
  const uint32_t n = profile.GetNumElements();
  derivative.SetNumElements(n);
  if (derivative.GetNumElements() != n) {
    // Never leave a derivative of another profile behind.
    derivative.Empty();
    return;
  }
  if (n == 0) return;
  const EBW32* p = profile.GetDataPtr();
  int32_t* d = derivative.GetDataPtr();
  if (n == 1) {
    d[0] = 0;
    return;
  }
  DeriveInto(p, n, d);
}

namespace {

// Sums that fit in 64 bits (all but the most extreme limits) take the faster conversions.
inline bool Fits64(int64_t) { return true; }
inline bool Fits64(Wide v) { return v >= INT64_MIN && v <= INT64_MAX; }
inline double ToDouble(int64_t v) { return double(v); }
inline double ToDouble(Wide v) { return Fits64(v) ? double(static_cast<int64_t>(v)) : double(v); }

// Turns the run [start, end] into a peak when it qualifies.
template <class Acc>
void AddRun(uint32_t start, uint32_t end, uint32_t count, Acc area, int64_t amplitude, Acc moment,
            const RunLimits& limits, EPeaksVector& peaks) {
  const bool incomplete = start == 0 || end == count - 1;
  if (incomplete && !limits.keepIncomplete) return;
  if (std::llabs(amplitude) < limits.minAmplitude || (area < 0 ? -area : area) < limits.minArea)
    return;
  EPeak peak;
  peak.Start = start;
  peak.Length = end - start + 1;
  // Excess-weighted centroid: sum(i e_i) / sum(e_i) = (end + 1) - moment / area.
  const double m = ToDouble(moment);
  const double a = ToDouble(area);
  const double center = area != 0 ? double(end) + 1.0 - m / a : 0.5 * (double(start) + double(end));
  peak.Center = static_cast<float>(center);
  const int64_t scale = limits.scale;
  peak.Amplitude = Saturate32(scale == 1 ? amplitude : amplitude / scale);
  if (Fits64(area))
    peak.Area =
        Saturate32(scale == 1 ? static_cast<int64_t>(area) : static_cast<int64_t>(area) / scale);
  else
    peak.Area = Saturate32(area / scale);
  peaks.AddElement(peak);
}

// Index of the first sample from i on that lies beyond [low, high], or count.
template <class T>
inline uint32_t SkipQuiet(const T* values, uint32_t i, uint32_t count, int64_t low, int64_t high) {
  for (; i < count; ++i) {
    const int64_t v = static_cast<int64_t>(values[i]);
    if (v > high || v < low) break;
  }
  return i;
}

#ifdef __SSE2__
// Derivatives are scanned four at a time while the limits are 32-bit values.
inline uint32_t SkipQuiet(const int32_t* values, uint32_t i, uint32_t count, int64_t low,
                          int64_t high) {
  if (low >= INT32_MIN && high <= INT32_MAX && low <= high) {
    const __m128i lo = _mm_set1_epi32(static_cast<int32_t>(low));
    const __m128i hi = _mm_set1_epi32(static_cast<int32_t>(high));
    for (; i + 4 <= count; i += 4) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + i));
      const __m128i loud = _mm_or_si128(_mm_cmpgt_epi32(lo, v), _mm_cmpgt_epi32(v, hi));
      const int mask = _mm_movemask_ps(_mm_castsi128_ps(loud));
      if (mask != 0) return i + static_cast<uint32_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    }
  }
  for (; i < count; ++i) {
    const int64_t v = values[i];
    if (v > high || v < low) break;
  }
  return i;
}
#endif

// One pass: quiet samples are skipped, each run accumulates its area, its largest excess and the
// sum of its running areas, in Acc (wide enough for the values, limits and count at hand).
template <class Acc, class T>
void AnalyseRunsIn(const T* values, uint32_t count, const RunLimits& limits, EPeaksVector& peaks) {
  const int64_t low = limits.low, high = limits.high;
  uint32_t i = 0;
  for (;;) {
    i = SkipQuiet(values, i, count, low, high);
    if (i >= count) break;
    int64_t v = static_cast<int64_t>(values[i]);
    // A sample beyond both limits (only when low > high) counts as positive.
    const bool positive = v > high;
    const int64_t limit = positive ? high : low;
    const uint32_t start = i;
    Acc area = 0;
    int64_t amplitude = 0;
    Acc moment = 0;
    for (;;) {
      const int64_t excess = v - limit;
      area += excess;
      moment += area;
      if (positive ? excess > amplitude : excess < amplitude) amplitude = excess;
      if (++i == count) break;
      v = static_cast<int64_t>(values[i]);
      if (positive ? v <= high : (v >= low || v > high)) break;
    }
    // A run that ends on a sample beyond the other limit hands that sample to the next run.
    AddRun(start, i - 1, count, area, amplitude, moment, limits, peaks);
  }
}

template <class T>
void AnalyseRunsOf(const T* values, uint32_t count, const RunLimits& limits, EPeaksVector& peaks) {
  peaks.Empty();
  if (count == 0 || values == nullptr) return;
  // A sample's excess reaches about 2^55 (the largest threshold times the largest analysis
  // scale), so a run's area and moment may need 128 bits. With limits below 2^31 an excess
  // stays below 2^33, and over at most 2^14 samples the moment below 2^61: 64 bits are exact.
  const int64_t bound = int64_t(1) << 31;
  if (count <= (1u << 14) && limits.low >= -bound && limits.low <= bound && limits.high >= -bound &&
      limits.high <= bound)
    AnalyseRunsIn<int64_t>(values, count, limits, peaks);
  else
    AnalyseRunsIn<Wide>(values, count, limits, peaks);
}

#ifdef __SSE2__
// AnalyseRunsOf for at most 64 values and 32-bit limits with low <= high, given the masks of the
// values above high and below low: every run is a maximal stretch of bits of one mask, so quiet
// samples cost no step of their own.
void RunsFromMasks(const int32_t* values, uint32_t count, uint64_t above, uint64_t below,
                   const RunLimits& limits, EPeaksVector& peaks) {
  peaks.Empty();
  uint64_t loud = above | below;
  while (loud != 0) {
    const uint32_t start = static_cast<uint32_t>(__builtin_ctzll(loud));
    const bool positive = ((above >> start) & 1) != 0;
    // The run ends before the first sample, from its start, that is not on its side.
    const uint64_t rest = ~((positive ? above : below) >> start);
    const uint32_t end = rest != 0 ? start + static_cast<uint32_t>(__builtin_ctzll(rest)) - 1 : 63;
    const int64_t limit = positive ? limits.high : limits.low;
    int64_t area = 0, amplitude = 0, moment = 0;
    for (uint32_t k = start; k <= end; ++k) {
      const int64_t excess = int64_t(values[k]) - limit;
      area += excess;
      moment += area;
      if (positive ? excess > amplitude : excess < amplitude) amplitude = excess;
    }
    AddRun(start, end, count, area, amplitude, moment, limits, peaks);
    loud = end >= 63 ? 0 : loud & (~uint64_t(0) << (end + 1));
  }
}

// DeriveInto of at least two samples (at most 64) and the masks of the derivatives above high
// and below low.
void DeriveShort(const EBW32* p, uint32_t count, int32_t* d, int32_t low, int32_t high,
                 uint64_t& above, uint64_t& below) {
  const __m128i lo = _mm_set1_epi32(low), hi = _mm_set1_epi32(high);
  uint64_t a = 0, b = 0;
  // Interior samples 1 .. count - 2 four at a time, the last four overlapping the ones before
  // when the count is not a multiple (the same values and bits again).
  auto four = [&](uint32_t i) {
    const __m128i v = _mm_sub_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 1)),
                                    _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i - 1)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), v);
    a |= uint64_t(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(v, hi)))) << i;
    b |= uint64_t(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(lo, v)))) << i;
  };
  uint32_t i = 1;
  if (count >= 6) {
    for (; i + 5 <= count; i += 4) four(i);
    if (i + 1 < count) four(count - 5);
  } else {
    for (; i + 1 < count; ++i) {
      d[i] = int32_t(p[i + 1]) - int32_t(p[i - 1]);
      a |= uint64_t(d[i] > high) << i;
      b |= uint64_t(d[i] < low) << i;
    }
  }
  // The ends, one-sided.
  const uint32_t last = count - 1;
  d[0] = int32_t(p[1]) - int32_t(p[0]);
  d[last] = int32_t(p[last]) - int32_t(p[last - 1]);
  a |= uint64_t(d[0] > high) | uint64_t(d[last] > high) << last;
  b |= uint64_t(d[0] < low) | uint64_t(d[last] < low) << last;
  above = a;
  below = b;
}
#endif

}  // namespace

void AnalyseRuns(const int32_t* values, uint32_t count, const RunLimits& limits,
                 EPeaksVector& peaks) {
  AnalyseRunsOf(values, count, limits, peaks);
}

void AnalyseRuns(const uint32_t* values, uint32_t count, const RunLimits& limits,
                 EPeaksVector& peaks) {
  AnalyseRunsOf(values, count, limits, peaks);
}

int SelectPeak(const EPeaksVector& peaks, int choice, unsigned rank, uint32_t profileCount) {
  const unsigned count = peaks.GetNumElements();
  if (count == 0) return -1;
  const EPeak* p = peaks.GetDataPtr();
  int best = -1;
  switch (choice) {
    case 0: return rank < count ? static_cast<int>(rank) : -1;
    case 1: return rank < count ? static_cast<int>(count - 1 - rank) : -1;
    case 2:
    case 3: {
      int64_t bestValue = -1;
      for (unsigned i = 0; i < count; ++i) {
        const int64_t v = std::llabs(choice == 2 ? p[i].Amplitude : p[i].Area);
        if (v >= bestValue) {  // a tie goes to the later peak
          bestValue = v;
          best = static_cast<int>(i);
        }
      }
      return best;
    }
    case 4: {
      const double middle = (double(profileCount) - 1.0) / 2.0;
      double bestDistance = 0.0;
      for (unsigned i = 0; i < count; ++i) {
        const double distance = std::fabs(double(p[i].Center) - middle);
        if (best < 0 || distance <= bestDistance) {
          bestDistance = distance;
          best = static_cast<int>(i);
        }
      }
      return best;
    }
    case 5: return 0;
    default: return -1;
  }
}

void ConstrainHV(int& x0, int& y0, int& x1, int& y1) {
  const int64_t dx = int64_t(x1) - x0, dy = int64_t(y1) - y0;
  const int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
  // Exact integer square root of dx^2 + dy^2 (up to 2^65).
  const UWide square = (UWide)(adx)*adx + (UWide)(ady)*ady;
  uint64_t root = static_cast<uint64_t>(std::sqrt(static_cast<double>(square)));
  while ((UWide)(root)*root > square) --root;
  while ((UWide)(root + 1) * (root + 1) <= square) ++root;
  const int64_t h = static_cast<int64_t>(root >> 1);
  const int64_t mx = (int64_t(x0) + x1) >> 1, my = (int64_t(y0) + y1) >> 1;
  if (adx < ady) {
    const int64_t s = y0 < y1 ? 1 : -1;
    x0 = x1 = Saturate32(mx);
    y0 = Saturate32(Wide(my) - s * h);
    y1 = Saturate32(Wide(my) + s * h);
  } else {
    const int64_t s = x0 < x1 ? 1 : -1;
    y0 = y1 = Saturate32(my);
    x0 = Saturate32(Wide(mx) - s * h);
    x1 = Saturate32(Wide(mx) + s * h);
  }
}

const int32_t* LineOffsetCache::FindOther(uint64_t key, const DigitalLine& line, int64_t pitch) {
  for (int k = 0; k < kLines; ++k)
    if (keys[k] == key) {
      last = k;
      return offsets[k];
    }
  const int entry = next;
  next = (next + 1) % kLines;
  last = entry;
  keys[entry] = key;
  int32_t* out = offsets[entry];
  ForEachOffset(line, pitch, 0, line.n,
                [&](int64_t i, int64_t offset) { out[i] = static_cast<int32_t>(offset); });
  return out;
}

int MeasureThinEdgeProfile(const RootView& image, const DigitalLine& line, const RunLimits& limits,
                           int choice, unsigned rank, EBW32Vector& profile,
                           EINT32Vector& derivative, EPeaksVector& peaks, LineOffsetCache* lines) {
  // Lines of at least two samples and at most 2^14 (runs summed in 64 bits), inside the image.
  const int64_t n = line.n;
  if (image.base == nullptr || n < 1 || n >= (int64_t(1) << 14)) return kGeneralPath;
  // Both ends inside: every pixel between them is (the range SampleAxis would find is 0 .. n).
  const int64_t x1 = line.x0 + (line.xMajor ? line.majorStep * n : line.minorStep * line.m);
  const int64_t y1 = line.y0 + (line.xMajor ? line.minorStep * line.m : line.majorStep * n);
  const uint64_t width = static_cast<uint64_t>(image.width);
  const uint64_t height = static_cast<uint64_t>(image.height);
  if (static_cast<uint64_t>(line.x0) >= width || static_cast<uint64_t>(x1) >= width ||
      static_cast<uint64_t>(line.y0) >= height || static_cast<uint64_t>(y1) >= height)
    return kGeneralPath;
  const uint32_t count = static_cast<uint32_t>(n + 1);
  if (profile.GetNumElements() != count || derivative.GetNumElements() != count) {
    profile.SetNumElements(count);
    derivative.SetNumElements(count);
    if (profile.GetNumElements() != count || derivative.GetNumElements() != count)
      return kGeneralPath;
  }
  EBW32* p = profile.GetDataPtr();
  int32_t* d = derivative.GetDataPtr();
#ifdef __SSE2__
  // Gauge profiles: up to 64 samples, 32-bit limits.
  if (count <= 64 && limits.low >= INT32_MIN && limits.high <= INT32_MAX &&
      limits.low <= limits.high) {
    if (lines != nullptr && image.pitch < (int64_t(1) << 24)) {
      const int32_t* offsets = lines->Find(line, image.pitch);
      const EBW8* first = image.base + (line.y0 * image.pitch + line.x0);
      for (uint32_t i = 0; i < count; ++i) p[i] = first[offsets[i]];
    } else {
      SampleThin(image, line, 0, n, p);
    }
    uint64_t above, below;
    DeriveShort(p, count, d, static_cast<int32_t>(limits.low), static_cast<int32_t>(limits.high),
                above, below);
    RunsFromMasks(d, count, above, below, limits, peaks);
    return SelectPeak(peaks, choice, rank, count);
  }
#endif
  SampleThin(image, line, 0, n, p);
  DeriveInto(p, count, d);
  AnalyseRunsOf(d, count, limits, peaks);
  return SelectPeak(peaks, choice, rank, count);
}

}  // namespace vimo_profile
