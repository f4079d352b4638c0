// Profile machinery parts the random reference comparison cannot reach: the floor-side rule,
// digital-line ranges against brute force and near the 32-bit limits, saturating run sums, and
// the horizontal/vertical constraint at the limits.
#include "vimo/gauges/profilesampler.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

using namespace vimo_profile;

TEST(DigitalLine, OffsetsFollowTheNearestAndTheFloorRule) {
  for (int dx = -9; dx <= 9; ++dx)
    for (int dy = -9; dy <= 9; ++dy)
      for (int nearest = 0; nearest < 2; ++nearest) {
        DigitalLine line(3, -4, 3 + dx, -4 + dy, nearest != 0);
        ASSERT_EQ(line.n, std::max(std::abs(dx), std::abs(dy)));
        const int64_t n = line.n, m = line.m;
        for (int64_t i = 0; i <= n; ++i)
          EXPECT_EQ(line.MinorOffset(i), n == 0    ? 0
                                         : nearest ? (2 * i * m + n) / (2 * n)
                                                   : i * m / n)
              << dx << "," << dy << " i=" << i;
        EXPECT_EQ(line.X(n), 3 + dx);  // the line ends on the segment's end point
        EXPECT_EQ(line.Y(n), -4 + dy);
      }
}

TEST(DigitalLine, RangeMatchesBruteForceAndSurvivesTheIntegerLimits) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> coord(-30, 50);
  for (int trial = 0; trial < 4000; ++trial) {
    const int x0 = coord(rng), y0 = coord(rng), x1 = coord(rng), y1 = coord(rng);
    DigitalLine line(x0, y0, x1, y1, (trial & 1) != 0);
    const int64_t xlo = coord(rng) / 2, ylo = coord(rng) / 2;
    const int64_t xhi = xlo + coord(rng) / 2, yhi = ylo + coord(rng) / 2;
    int64_t bf = -1, bl = -1;
    for (int64_t i = 0; i <= line.n; ++i)
      if (line.X(i) >= xlo && line.X(i) <= xhi && line.Y(i) >= ylo && line.Y(i) <= yhi) {
        if (bf < 0) bf = i;
        bl = i;
      }
    int64_t first = 0, last = 0;
    const bool any = line.Range(xlo, xhi, ylo, yhi, first, last);
    ASSERT_EQ(any, bf >= 0) << x0 << "," << y0 << " " << x1 << "," << y1;
    if (any) {
      EXPECT_EQ(first, bf);
      EXPECT_EQ(last, bl);
    }
  }
  // Segments spanning the whole 32-bit plane: the products overflow 64 bits, the range must not.
  DigitalLine line(INT_MIN, INT_MIN + 100, INT_MAX, INT_MAX, true);
  EXPECT_EQ(line.n, int64_t(UINT32_MAX));
  int64_t first, last;
  ASSERT_TRUE(line.Range(0, 99, 0, 99, first, last));
  for (int64_t i : {first, last}) {
    EXPECT_TRUE(line.X(i) >= 0 && line.X(i) <= 99 && line.Y(i) >= 0 && line.Y(i) <= 99) << i;
  }
  EXPECT_TRUE(line.X(first - 1) < 0 || line.Y(first - 1) < 0);
  EXPECT_TRUE(line.X(last + 1) > 99 || line.Y(last + 1) > 99);
  EXPECT_FALSE(
      DigitalLine(INT_MIN, INT_MAX, INT_MAX, INT_MAX, true).Range(0, 99, 0, 99, first, last));
  EXPECT_FALSE(DigitalLine(0, 0, 10, 0, true).Range(5, 4, 0, 0, first, last));
}

TEST(RunAnalysis, ExtremeLimitsSaturateAndEmptyInputGivesNothing) {
  const uint32_t v[] = {50, 50, 0, 0, 50};
  // A low limit far above every value: one run over everything; amplitudes saturate.
  RunLimits deep{int64_t(1) << 40, int64_t(1) << 41, 0, 0, 1, true};
  EPeaksVector peaks;
  AnalyseRuns(v, 5, deep, peaks);
  ASSERT_EQ(peaks.GetNumElements(), 1u);
  EXPECT_EQ(peaks[0].Length, 5u);
  EXPECT_EQ(peaks[0].Amplitude, INT32_MIN);
  EXPECT_EQ(peaks[0].Area, INT32_MIN);
  AnalyseRuns(v, 0, deep, peaks);
  EXPECT_EQ(peaks.GetNumElements(), 0u);
  // The largest threshold (2^32 - 1) at the largest analysis scale puts the low limit near
  // 2^55: a long run's area passes 2^63 and must neither wrap nor move the centre.
  const int64_t scale = 0x7FFFFFFF / 255;
  const RunLimits huge{int64_t(0xFFFFFFFFu) * scale, 256 * scale, 0, 0, scale, true};
  const std::vector<uint32_t> flat(600, 1000);
  AnalyseRuns(flat.data(), 600, huge, peaks);
  ASSERT_EQ(peaks.GetNumElements(), 1u);
  EXPECT_EQ(peaks[0].Length, 600u);
  EXPECT_EQ(peaks[0].Area, INT32_MIN);
  EXPECT_NEAR(peaks[0].Center, 299.5f, 1e-3f);
}

TEST(HVConstraint, ThroughTheMiddleAndSaturatingAtTheLimits) {
  struct Case {
    int in[4], out[4];
  } cases[] = {
      {{0, 0, 10, 3}, {0, 1, 10, 1}},
      {{5, 20, 2, 0}, {3, 20, 3, 0}},       // reversed, mostly vertical: sqrt(409) -> h = 10
      {{-3, -1, 0, -1}, {-3, -1, -1, -1}},  // arithmetic shifts: mx = (-3 + 0) >> 1 = -2
      {{4, 7, 4, 7}, {4, 7, 4, 7}},
      {{INT_MIN, INT_MIN, INT_MAX, INT_MAX}, {INT_MIN, -1, INT_MAX, -1}},
  };
  for (const Case& c : cases) {
    int s[4] = {c.in[0], c.in[1], c.in[2], c.in[3]};
    ConstrainHV(s[0], s[1], s[2], s[3]);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(s[k], c.out[k]) << c.in[0] << "," << c.in[1] << " #" << k;
  }
  int x0 = INT_MAX - 10, y0 = 0, x1 = INT_MAX, y1 = 10;
  ConstrainHV(x0, y0, x1, y1);
  EXPECT_EQ(x1, INT_MAX);
  EXPECT_LT(x0, x1);
}

// Thickness-1 samples far along segments of about a million pixels, on both sides of the length
// where the axis sampler changes its way of dividing, against the line's own pixel positions.
TEST(AxisSampler, LongSegmentsReadTheLinePixels) {
  EImage<EBW8> image(61, 47);
  for (int y = 0; y < 47; ++y)
    for (int x = 0; x < 61; ++x) image.SetPixel(static_cast<EBW8>((x * 5 + y * 67) & 255), x, y);
  const RootView view(&image);
  std::mt19937 rng(11);
  int checked = 0;
  for (int64_t length :
       {int64_t(999983), (int64_t(1) << 20) - 1, int64_t(1) << 20, int64_t(1100009)})
    for (int trial = 0; trial < 24; ++trial) {
      // Ends inside the image, starts far outside: the samples read lie near the far end.
      const int ex = std::uniform_int_distribution<int>(0, 60)(rng);
      const int ey = std::uniform_int_distribution<int>(0, 46)(rng);
      const int64_t minor = std::uniform_int_distribution<int64_t>(0, length)(rng);
      const int sx = trial & 1 ? 1 : -1, sy = trial & 2 ? 1 : -1;
      int x0 = int(ex - sx * length), y0 = int(ey - sy * minor);
      if (trial & 4) std::swap(x0, y0);  // y-major segments too
      const int x1 = trial & 4 ? ey : ex, y1 = trial & 4 ? ex : ey;
      const DigitalLine line(x0, y0, x1, y1, (trial & 8) == 0);
      ASSERT_EQ(line.n, length);
      EBW32Vector profile;
      ASSERT_EQ(SampleAxis(view, line, 1, profile), kSampleOk);
      int64_t first, last;
      if (!line.Range(0, 60, 0, 46, first, last) || first >= last) continue;
      ASSERT_EQ(profile.GetNumElements(), unsigned(length + 1));
      for (int64_t i = first; i <= last; ++i, ++checked)
        ASSERT_EQ(profile[unsigned(i)], image.GetPixel(int(line.X(i)), int(line.Y(i))))
            << x0 << "," << y0 << " " << x1 << "," << y1 << " i=" << i;
      EXPECT_EQ(profile[0], profile[unsigned(first)]);
      EXPECT_EQ(profile[unsigned(length)], profile[unsigned(last)]);
    }
  EXPECT_GT(checked, 1000);
}
