// The profile machinery checked against brute-force references: digital lines and their valid
// ranges, both samplers, smoothing, the derivative and run extraction.
#include "vimo/gauges/profilesampler.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "vimo/core/core.h"

using namespace vimo_profile;

namespace {

// Minor offset by the definition, in long double (exact for these magnitudes).
int64_t ReferenceOffset(int64_t i, int64_t n, int64_t m, bool nearest) {
  if (n == 0) return 0;
  return nearest ? (2 * i * m + n) / (2 * n) : (i * m) / n;
}

EImage<EBW8> RandomImage(int w, int h, unsigned seed) {
  EImage<EBW8> image(w, h);
  std::mt19937 rng(seed);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.SetPixel(static_cast<EBW8>(rng() & 0xFF), x, y);
  return image;
}

// Axis band sum by direct pixel reads, or -1 when the band leaves the image.
int64_t AxisSample(EImage<EBW8>& image, int64_t x, int64_t y, bool xMajor, int t) {
  int64_t sum = 0;
  for (int k = 0; k < t; ++k) {
    const int64_t px = xMajor ? x : x - t / 2 + k;
    const int64_t py = xMajor ? y - t / 2 + k : y;
    if (px < 0 || py < 0 || px >= image.GetWidth() || py >= image.GetHeight()) return -1;
    sum += image.GetPixel(static_cast<int>(px), static_cast<int>(py));
  }
  return sum;
}

// The axis profile by its definition: every sample computed independently, then the ends
// replicated from the nearest valid one.
std::vector<int64_t> ReferenceAxisProfile(EImage<EBW8>& image, int x0, int y0, int x1, int y1,
                                          int t, bool nearest) {
  const int64_t dx = int64_t(x1) - x0, dy = int64_t(y1) - y0;
  const bool xMajor = !(std::llabs(dx) < std::llabs(dy));
  const int64_t n = std::max(std::llabs(dx), std::llabs(dy));
  const int64_t m = std::min(std::llabs(dx), std::llabs(dy));
  const int sMaj = (xMajor ? dx : dy) < 0 ? -1 : 1, sMin = (xMajor ? dy : dx) < 0 ? -1 : 1;
  std::vector<int64_t> values(static_cast<size_t>(n + 1));
  int64_t first = -1, last = -1;
  for (int64_t i = 0; i <= n; ++i) {
    const int64_t off = ReferenceOffset(i, n, m, nearest);
    const int64_t x = xMajor ? x0 + sMaj * i : x0 + sMin * off;
    const int64_t y = xMajor ? y0 + sMin * off : y0 + sMaj * i;
    values[i] = AxisSample(image, x, y, xMajor, t);
    if (values[i] >= 0) {
      if (first < 0) first = i;
      EXPECT_TRUE(last < 0 || last == i - 1) << "valid samples are not contiguous";
      last = i;
    }
  }
  if (first < 0 || first >= last) return {};
  for (int64_t i = 0; i < first; ++i) values[i] = values[first];
  for (int64_t i = last + 1; i <= n; ++i) values[i] = values[last];
  return values;
}

std::vector<int64_t> AsVector(const EBW32Vector& v) {
  std::vector<int64_t> out;
  for (unsigned i = 0; i < v.GetNumElements(); ++i) out.push_back(v[i]);
  return out;
}

}  // namespace

TEST(DigitalLine, OffsetsFollowTheNearestAndTheFloorRule) {
  for (int dx = -9; dx <= 9; ++dx)
    for (int dy = -9; dy <= 9; ++dy)
      for (int nearest = 0; nearest < 2; ++nearest) {
        DigitalLine line(3, -4, 3 + dx, -4 + dy, nearest != 0);
        EXPECT_EQ(line.n + 1, std::max(std::abs(dx), std::abs(dy)) + 1);
        for (int64_t i = 0; i <= line.n; ++i)
          EXPECT_EQ(line.MinorOffset(i), ReferenceOffset(i, line.n, line.m, nearest != 0));
        // The line ends on the segment's end point.
        EXPECT_EQ(line.X(line.n), 3 + dx);
        EXPECT_EQ(line.Y(line.n), -4 + dy);
      }
  // The nearest pixel of a 1-in-3 slope: offsets 0 0 1 1 1 2 2 (the floor rule: 0 0 0 1 1 1 2).
  DigitalLine nearest(0, 0, 6, 2, true), floorSide(0, 0, 6, 2, false);
  const int64_t expectNearest[] = {0, 0, 1, 1, 1, 2, 2}, expectFloor[] = {0, 0, 0, 1, 1, 1, 2};
  for (int i = 0; i <= 6; ++i) {
    EXPECT_EQ(nearest.MinorOffset(i), expectNearest[i]);
    EXPECT_EQ(floorSide.MinorOffset(i), expectFloor[i]);
  }
}

TEST(DigitalLine, RangeMatchesBruteForce) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> coord(-30, 50);
  for (int trial = 0; trial < 4000; ++trial) {
    const int x0 = coord(rng), y0 = coord(rng), x1 = coord(rng), y1 = coord(rng);
    const bool nearest = (trial & 1) != 0;
    DigitalLine line(x0, y0, x1, y1, nearest);
    const int64_t xlo = coord(rng) / 2, ylo = coord(rng) / 2;
    const int64_t xhi = xlo + coord(rng) / 2, yhi = ylo + coord(rng) / 2;
    int64_t bf = -1, bl = -1;
    for (int64_t i = 0; i <= line.n; ++i) {
      const int64_t x = line.X(i), y = line.Y(i);
      if (x >= xlo && x <= xhi && y >= ylo && y <= yhi) {
        if (bf < 0) bf = i;
        bl = i;
      }
    }
    int64_t first = 0, last = 0;
    const bool any = line.Range(xlo, xhi, ylo, yhi, first, last);
    ASSERT_EQ(any, bf >= 0) << x0 << "," << y0 << " " << x1 << "," << y1;
    if (any) {
      EXPECT_EQ(first, bf);
      EXPECT_EQ(last, bl);
    }
  }
}

TEST(DigitalLine, RangeNearTheIntegerLimits) {
  // Segments spanning the whole 32-bit plane: the products overflow 64 bits, the range must not.
  DigitalLine line(INT_MIN, INT_MIN + 100, INT_MAX, INT_MAX, true);
  EXPECT_EQ(line.n, int64_t(UINT32_MAX));
  int64_t first, last;
  ASSERT_TRUE(line.Range(0, 99, 0, 99, first, last));
  for (int64_t i : {first, last}) {
    EXPECT_GE(line.X(i), 0);
    EXPECT_LE(line.X(i), 99);
    EXPECT_GE(line.Y(i), 0);
    EXPECT_LE(line.Y(i), 99);
  }
  EXPECT_TRUE(line.X(first - 1) < 0 || line.Y(first - 1) < 0);
  EXPECT_TRUE(line.X(last + 1) > 99 || line.Y(last + 1) > 99);
  // A segment far off the image has no sample in it.
  DigitalLine away(INT_MIN, INT_MAX, INT_MAX, INT_MAX, true);
  EXPECT_FALSE(away.Range(0, 99, 0, 99, first, last));
  EXPECT_FALSE(DigitalLine(0, 0, 10, 0, true).Range(5, 4, 0, 0, first, last));
}

TEST(AxisSampler, MatchesPixelReferenceOnRandomSegments) {
  EImage<EBW8> image = RandomImage(23, 17, 3);
  RootView view(&image);
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> coord(-12, 35);
  for (int trial = 0; trial < 3000; ++trial) {
    const int x0 = coord(rng), y0 = coord(rng), x1 = coord(rng), y1 = coord(rng);
    const int t = 1 + trial % 4;
    const bool nearest = trial % 5 != 0;
    EBW32Vector profile;
    ASSERT_EQ(SampleAxis(view, DigitalLine(x0, y0, x1, y1, nearest), t, profile), kSampleOk);
    EXPECT_EQ(AsVector(profile), ReferenceAxisProfile(image, x0, y0, x1, y1, t, nearest))
        << x0 << "," << y0 << " -> " << x1 << "," << y1 << " t=" << t;
  }
}

TEST(AxisSampler, LastColumnAndDegenerateSegments) {
  EImage<EBW8> image = RandomImage(8, 6, 5);
  RootView view(&image);
  EBW32Vector profile;
  // A vertical segment on the last column is valid with thickness 1.
  SampleAxis(view, DigitalLine(7, 0, 7, 5, true), 1, profile);
  ASSERT_EQ(profile.GetNumElements(), 6u);
  for (int y = 0; y < 6; ++y) EXPECT_EQ(profile[y], image.GetPixel(7, y));
  // ...and invalid as soon as the band is wider than one pixel on that side.
  SampleAxis(view, DigitalLine(7, 0, 7, 5, true), 3, profile);
  EXPECT_EQ(profile.GetNumElements(), 0u);
  // Zero length, a single valid sample, a band wider than the image: empty.
  SampleAxis(view, DigitalLine(3, 3, 3, 3, true), 1, profile);
  EXPECT_EQ(profile.GetNumElements(), 0u);
  SampleAxis(view, DigitalLine(7, 2, 12, 2, true), 1, profile);
  EXPECT_EQ(profile.GetNumElements(), 0u);
  SampleAxis(view, DigitalLine(0, 2, 7, 2, true), 7, profile);
  EXPECT_EQ(profile.GetNumElements(), 0u);
  // No image at all.
  EROI<EBW8> detached;
  SampleAxis(RootView(&detached), DigitalLine(0, 0, 5, 0, true), 1, profile);
  EXPECT_EQ(profile.GetNumElements(), 0u);
  SampleAxis(RootView(nullptr), DigitalLine(0, 0, 5, 0, true), 1, profile);
  EXPECT_EQ(profile.GetNumElements(), 0u);
}

TEST(RectangularSampler, SumsThePerpendicularBand) {
  EImage<EBW8> image = RandomImage(30, 30, 21);
  RootView view(&image);
  // Horizontal segment: the band is vertical, o_k = (0, k).
  for (int t = 2; t <= 6; ++t) {
    EBW32Vector profile;
    int32_t bx = 0, by = 0;
    SampleRectangular(view, DigitalLine(5, 15, 20, 15, true), t, profile, bx, by);
    const int h = t / 2;
    EXPECT_EQ(bx, 0);
    EXPECT_EQ(by, h);
    ASSERT_EQ(profile.GetNumElements(), 16u);
    for (int i = 0; i <= 15; ++i) {
      int64_t sum = 0;
      for (int k = -h; k <= h; ++k) sum += image.GetPixel(5 + i, 15 + k);
      if (t % 2 == 0) sum -= image.GetPixel(5 + i, 15 + h);  // keep the upper outermost pixel
      EXPECT_EQ(int64_t(profile[i]), sum) << "t=" << t << " i=" << i;
    }
  }
  // A diagonal going up-left: steps (-1, -1) turn into (1, -1); the band is the other diagonal.
  EBW32Vector profile;
  int32_t bx = 0, by = 0;
  SampleRectangular(view, DigitalLine(20, 20, 10, 10, true), 5, profile, bx, by);
  EXPECT_EQ(bx, 2);
  EXPECT_EQ(by, -2);
  ASSERT_EQ(profile.GetNumElements(), 11u);
  for (int i = 0; i <= 10; ++i) {
    int64_t sum = 0;
    for (int k = -2; k <= 2; ++k) sum += image.GetPixel(20 - i + k, 20 - i - k);
    EXPECT_EQ(int64_t(profile[i]), sum);
  }
  // Even thickness on that diagonal keeps the outer pixel at the lower address: c + (2, -2).
  SampleRectangular(view, DigitalLine(20, 20, 10, 10, true), 4, profile, bx, by);
  for (int i = 0; i <= 10; ++i) {
    int64_t sum = 0;
    for (int k = -1; k <= 2; ++k) sum += image.GetPixel(20 - i + k, 20 - i - k);
    EXPECT_EQ(int64_t(profile[i]), sum);
  }
}

TEST(RectangularSampler, WideBandsOnASlantedSegment) {
  // Bands wider than the local offset table; slope 2:5, so the band is a digital line too.
  EImage<EBW8> image = RandomImage(120, 120, 8);
  RootView view(&image);
  for (unsigned t : {33u, 40u, 41u}) {
    DigitalLine line(40, 50, 70, 62, true);
    EBW32Vector profile;
    int32_t bx, by;
    ASSERT_EQ(SampleRectangular(view, line, t, profile, bx, by), kSampleOk);
    const int64_t h = t / 2;
    // Offsets by their definition: h steps of the same digital line, each turned a quarter.
    std::vector<int64_t> ox(h + 1, 0), oy(h + 1, 0);
    for (int64_t k = 1; k <= h; ++k) {
      const int64_t sy = line.MinorOffset(k) - line.MinorOffset(k - 1);
      ox[k] = ox[k - 1] - sy;
      oy[k] = oy[k - 1] + 1;
    }
    EXPECT_EQ(bx, ox[h]);
    EXPECT_EQ(by, oy[h]);
    ASSERT_EQ(profile.GetNumElements(), 31u);
    for (int64_t i = 0; i <= 30; ++i) {
      const int64_t cx = line.X(i), cy = line.Y(i);
      int64_t sum = image.GetPixel(int(cx), int(cy));
      for (int64_t k = 1; k < h; ++k)
        sum += image.GetPixel(int(cx + ox[k]), int(cy + oy[k])) +
               image.GetPixel(int(cx - ox[k]), int(cy - oy[k]));
      // Odd: both outermost pixels; even: the upper one (oy[h] > 0, so c - o_h).
      if (t % 2) sum += image.GetPixel(int(cx + ox[h]), int(cy + oy[h]));
      sum += image.GetPixel(int(cx - ox[h]), int(cy - oy[h]));
      EXPECT_EQ(int64_t(profile[i]), sum) << "t=" << t << " i=" << i;
    }
  }
}

TEST(RectangularSampler, InvalidSamplesTakeTheNearestValidValue) {
  EImage<EBW8> image = RandomImage(12, 12, 4);
  RootView view(&image);
  EBW32Vector profile;
  int32_t bx, by;
  // From outside on the left to outside on the right, band of 3 rows around row 1.
  SampleRectangular(view, DigitalLine(-4, 1, 15, 1, true), 3, profile, bx, by);
  ASSERT_EQ(profile.GetNumElements(), 20u);
  auto column = [&](int x) {
    return image.GetPixel(x, 0) + image.GetPixel(x, 1) + image.GetPixel(x, 2);
  };
  for (int i = 0; i < 20; ++i) EXPECT_EQ(int(profile[i]), column(std::min(11, std::max(0, i - 4))));
  // Band too tall for the image (row 0 has nothing above): empty.
  SampleRectangular(view, DigitalLine(-4, 0, 15, 0, true), 3, profile, bx, by);
  EXPECT_EQ(profile.GetNumElements(), 0u);
  // One valid sample is enough for this sampler.
  SampleRectangular(view, DigitalLine(11, 5, 14, 5, true), 3, profile, bx, by);
  ASSERT_EQ(profile.GetNumElements(), 4u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(profile[i], profile[0]);
  // Thickness far beyond the image: empty, no offset table built.
  SampleRectangular(view, DigitalLine(0, 5, 11, 5, true), 4000000, profile, bx, by);
  EXPECT_EQ(profile.GetNumElements(), 0u);
  EXPECT_EQ(by, 2000000);
}

TEST(Smoothing, MatchesTheReplicatedBoxSum) {
  std::mt19937 rng(2);
  for (int trial = 0; trial < 400; ++trial) {
    const int n = 1 + trial % 13;
    const unsigned s = 2 + (trial / 13) % 31;  // widths from 2 up to far beyond the profile
    EBW32Vector profile;
    std::vector<int64_t> p(n);
    for (int i = 0; i < n; ++i) {
      p[i] = rng() % 2000;
      profile.AddElement(static_cast<EBW32>(p[i]));
    }
    auto at = [&](int64_t j) { return p[j < 0 ? 0 : (j >= n ? n - 1 : j)]; };
    EINT32Vector scratch;
    ASSERT_TRUE(Smooth(profile, s, scratch));
    const int64_t h = s / 2;
    for (int i = 0; i < n; ++i) {
      int64_t expect = 0;
      if (s % 2) {
        for (int64_t j = i - h; j <= i + h; ++j) expect += at(j);
      } else {
        for (int64_t j = i - h; j <= i + h; ++j)
          expect += (j == i - h || j == i + h ? 1 : 2) * at(j);
        expect >>= 1;
      }
      EXPECT_EQ(int64_t(profile[i]), expect) << "n=" << n << " s=" << s << " i=" << i;
    }
  }
  // A constant profile keeps total weight S; an empty one stays empty.
  EBW32Vector flat;
  for (int i = 0; i < 5; ++i) flat.AddElement(10);
  EINT32Vector scratch;
  Smooth(flat, 4, scratch);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(flat[i], 40u);
  EBW32Vector empty;
  EXPECT_TRUE(Smooth(empty, 5, scratch));
  EXPECT_EQ(empty.GetNumElements(), 0u);
}

TEST(Derivative, CentralDifferencesWithOneSidedEnds) {
  EBW32Vector p;
  EINT32Vector d;
  Derive(p, d);
  EXPECT_EQ(d.GetNumElements(), 0u);
  p.AddElement(7);
  Derive(p, d);
  ASSERT_EQ(d.GetNumElements(), 1u);
  EXPECT_EQ(d[0], 0);
  for (EBW32 v : {9u, 4u, 4u, 100u}) p.AddElement(v);  // 7 9 4 4 100
  Derive(p, d);
  const int32_t expect[] = {2, -3, -5, 96, 96};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(d[i], expect[i]);
}

TEST(RunAnalysis, CentroidAmplitudeAreaAndRunBoundaries) {
  // Scale 2, limits -6 / +6: excess beyond +-6.
  const int32_t v[] = {0, 10, 20, 8, 2, -9, -7, 6, 7, -20, 0};
  RunLimits limits{-6, 6, 0, 0, 2, false};
  EPeaksVector peaks;
  AnalyseRuns(v, 11, limits, peaks);
  ASSERT_EQ(peaks.GetNumElements(), 4u);
  // Run 1..3: excess 4, 14, 2.
  EXPECT_EQ(peaks[0].Start, 1u);
  EXPECT_EQ(peaks[0].Length, 3u);
  EXPECT_FLOAT_EQ(peaks[0].Center, (1 * 4 + 2 * 14 + 3 * 2) / 20.0f);
  EXPECT_EQ(peaks[0].Amplitude, 7);
  EXPECT_EQ(peaks[0].Area, 10);
  // Run 5..6: excess -3, -1; division truncates towards zero.
  EXPECT_EQ(peaks[1].Start, 5u);
  EXPECT_FLOAT_EQ(peaks[1].Center, (5 * -3 + 6 * -1) / -4.0f);
  EXPECT_EQ(peaks[1].Amplitude, -1);
  EXPECT_EQ(peaks[1].Area, -2);
  // A positive run ending on a negative sample is followed at once by the negative run.
  EXPECT_EQ(peaks[2].Start, 8u);
  EXPECT_EQ(peaks[2].Length, 1u);
  EXPECT_EQ(peaks[3].Start, 9u);
  EXPECT_EQ(peaks[3].Amplitude, -7);
  // Minimum amplitude and area, scaled: |amplitude| >= 2 * 2 keeps the runs 1..3 and 9.
  limits.minAmplitude = 4 * 2;
  AnalyseRuns(v, 11, limits, peaks);
  ASSERT_EQ(peaks.GetNumElements(), 2u);
  limits.minAmplitude = 0;
  limits.minArea = 2 * 7;
  AnalyseRuns(v, 11, limits, peaks);
  ASSERT_EQ(peaks.GetNumElements(), 2u);
  EXPECT_EQ(peaks[0].Area, 10);
  EXPECT_EQ(peaks[1].Area, -7);
}

TEST(RunAnalysis, IncompleteRunsAndExtremeLimits) {
  const uint32_t v[] = {50, 50, 0, 0, 50};
  RunLimits limits{-1, 20, 0, 0, 1, false};
  EPeaksVector peaks;
  AnalyseRuns(v, 5, limits, peaks);
  EXPECT_EQ(peaks.GetNumElements(), 0u);
  limits.keepIncomplete = true;
  AnalyseRuns(v, 5, limits, peaks);
  ASSERT_EQ(peaks.GetNumElements(), 2u);
  EXPECT_EQ(peaks[0].Start, 0u);
  EXPECT_EQ(peaks[0].Length, 2u);
  EXPECT_FLOAT_EQ(peaks[0].Center, 0.5f);
  EXPECT_EQ(peaks[1].Start, 4u);
  EXPECT_EQ(peaks[1].Length, 1u);
  // A low limit far above every value: one run over everything; amplitudes saturate.
  RunLimits deep{int64_t(1) << 40, int64_t(1) << 41, 0, 0, 1, true};
  AnalyseRuns(v, 5, deep, peaks);
  ASSERT_EQ(peaks.GetNumElements(), 1u);
  EXPECT_EQ(peaks[0].Length, 5u);
  EXPECT_EQ(peaks[0].Amplitude, INT32_MIN);
  EXPECT_EQ(peaks[0].Area, INT32_MIN);
  AnalyseRuns(v, 0, limits, peaks);
  EXPECT_EQ(peaks.GetNumElements(), 0u);
}

TEST(HVConstraint, HorizontalOrVerticalThroughTheMiddle) {
  int x0 = 0, y0 = 0, x1 = 10, y1 = 3;
  ConstrainHV(x0, y0, x1, y1);
  EXPECT_EQ(x0, 0);
  EXPECT_EQ(y0, 1);
  EXPECT_EQ(x1, 10);
  EXPECT_EQ(y1, 1);
  // Reversed and mostly vertical: keeps its direction; sqrt(9 + 400) = 20.2 -> h = 10.
  x0 = 5, y0 = 20, x1 = 2, y1 = 0;
  ConstrainHV(x0, y0, x1, y1);
  EXPECT_EQ(x0, 3);
  EXPECT_EQ(x1, 3);
  EXPECT_EQ(y0, 20);
  EXPECT_EQ(y1, 0);
  // Negative coordinates shift arithmetically: mx = (-3 + 0) >> 1 = -2.
  x0 = -3, y0 = -1, x1 = 0, y1 = -1;
  ConstrainHV(x0, y0, x1, y1);
  EXPECT_EQ(x0, -3);
  EXPECT_EQ(x1, -1);
  // Zero length stays a point; a segment near the limits saturates instead of wrapping.
  x0 = x1 = 4, y0 = y1 = 7;
  ConstrainHV(x0, y0, x1, y1);
  EXPECT_EQ(x0, 4);
  EXPECT_EQ(x1, 4);
  x0 = INT_MAX - 10, y0 = 0, x1 = INT_MAX, y1 = 10;
  ConstrainHV(x0, y0, x1, y1);
  EXPECT_EQ(x1, INT_MAX);
  EXPECT_LT(x0, x1);
  x0 = INT_MIN, y0 = INT_MIN, x1 = INT_MAX, y1 = INT_MAX;
  ConstrainHV(x0, y0, x1, y1);
  EXPECT_EQ(x0, INT_MIN);
  EXPECT_EQ(x1, INT_MAX);
  EXPECT_EQ(y0, -1);
}
