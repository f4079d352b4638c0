// ETransition::Measure against a plain reference written from the definitions: Bresenham walks
// with decision variables, per-pixel band sums, direct window sums, a run scan by classes and the
// choice rules, on random images, segments and parameters.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "transition_test_support.h"

using namespace transition_test;

namespace {

struct RefPeak {
  int64_t start, length;
  double center;
  int64_t amplitude, area;
};

struct RefParams {
  int hv = 0, rectangular = 1, keep = 0;
  int64_t thickness = 1, smoothing = 1, threshold = 20, minAmplitude = 10, minArea = 0;
  int type = 2, choice = 2;
  int64_t index = 0;
};

struct RefResult {
  int sx0, sy0, sx1, sy1;
  std::vector<int64_t> profile, derivative;
  std::vector<RefPeak> peaks;
  int selected = -1;
};

// Pixels of the digital line from (x0, y0) to (x1, y1), walked with the decision variable of the
// midpoint rule (2m - n, a diagonal step whenever it is >= 0), `count` samples long.
void Walk(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t count, std::vector<int64_t>& xs,
          std::vector<int64_t>& ys) {
  const int64_t dx = x1 - x0, dy = y1 - y0;
  const bool xMajor = std::llabs(dx) >= std::llabs(dy);
  const int64_t n = xMajor ? std::llabs(dx) : std::llabs(dy);
  const int64_t m = xMajor ? std::llabs(dy) : std::llabs(dx);
  const int sMaj = (xMajor ? dx : dy) < 0 ? -1 : 1, sMin = (xMajor ? dy : dx) < 0 ? -1 : 1;
  int64_t x = x0, y = y0, d = 2 * m - n;
  xs.assign(1, x);
  ys.assign(1, y);
  for (int64_t k = 1; k < count; ++k) {
    if (xMajor)
      x += sMaj;
    else
      y += sMaj;
    // A segment of length 0 has no minor direction: its band runs straight along x.
    if (d >= 0 && n > 0) {
      if (xMajor)
        y += sMin;
      else
        x += sMin;
      d += 2 * m - 2 * n;
    } else {
      d += 2 * m;
    }
    xs.push_back(x);
    ys.push_back(y);
  }
}

RefResult ReferenceMeasure(EImage<EBW8>& image, int x0, int y0, int x1, int y1,
                           const RefParams& p) {
  RefResult r;
  if (p.hv) {
    const int64_t dx = x1 - x0, dy = y1 - y0;
    const int64_t h = static_cast<int64_t>(std::sqrt(double(dx * dx + dy * dy))) >> 1;
    const int64_t mx = (x0 + x1) >> 1, my = (y0 + y1) >> 1;
    if (std::llabs(dx) < std::llabs(dy)) {
      const int64_t s = y0 < y1 ? 1 : -1;
      x0 = x1 = int(mx);
      y0 = int(my - s * h);
      y1 = int(my + s * h);
    } else {
      const int64_t s = x0 < x1 ? 1 : -1;
      y0 = y1 = int(my);
      x0 = int(mx - s * h);
      x1 = int(mx + s * h);
    }
  }
  r.sx0 = x0, r.sy0 = y0, r.sx1 = x1, r.sy1 = y1;
  const int64_t W = image.GetWidth(), H = image.GetHeight();
  auto inside = [&](int64_t x, int64_t y) { return x >= 0 && y >= 0 && x < W && y < H; };
  auto g = [&](int64_t x, int64_t y) -> int64_t { return image.GetPixel(int(x), int(y)); };
  const int64_t dx = x1 - x0, dy = y1 - y0;
  const int64_t n = std::max(std::llabs(dx), std::llabs(dy));
  const bool xMajor = std::llabs(dx) >= std::llabs(dy);
  std::vector<int64_t> xs, ys;
  Walk(x0, y0, x1, y1, n + 1, xs, ys);
  const int64_t t = p.thickness;
  std::vector<int64_t> value(n + 1, 0);
  std::vector<bool> valid(n + 1, false);
  if (p.rectangular && t > 1) {
    const int64_t h = t / 2;
    std::vector<int64_t> wx, wy;
    Walk(x0, y0, x1, y1, h + 1, wx, wy);
    std::vector<int64_t> ox(h + 1, 0), oy(h + 1, 0);
    for (int64_t k = 1; k <= h; ++k) {
      const int64_t sx = wx[k] - wx[k - 1], sy = wy[k] - wy[k - 1];
      ox[k] = ox[k - 1] - sy;
      oy[k] = oy[k - 1] + sx;
    }
    for (int64_t i = 0; i <= n; ++i) {
      const int64_t cx = xs[i], cy = ys[i];
      if (!inside(cx + ox[h], cy + oy[h]) || !inside(cx - ox[h], cy - oy[h])) continue;
      valid[i] = true;
      int64_t sum = g(cx, cy);
      for (int64_t k = 1; k < h; ++k) sum += g(cx + ox[k], cy + oy[k]) + g(cx - ox[k], cy - oy[k]);
      if (t % 2) {
        sum += g(cx + ox[h], cy + oy[h]) + g(cx - ox[h], cy - oy[h]);
      } else {
        const int64_t plus = (cy + oy[h]) * W + cx + ox[h], minus = (cy - oy[h]) * W + cx - ox[h];
        sum += plus < minus ? g(cx + ox[h], cy + oy[h]) : g(cx - ox[h], cy - oy[h]);
      }
      value[i] = sum;
    }
    int64_t first = -1;
    for (int64_t i = 0; i <= n; ++i)
      if (valid[i]) {
        first = i;
        break;
      }
    if (first >= 0) {
      for (int64_t i = 0; i < first; ++i) value[i] = value[first];
      for (int64_t i = first + 1; i <= n; ++i)
        if (!valid[i]) value[i] = value[i - 1];
      r.profile = value;
    }
  } else {
    int64_t first = -1, last = -1;
    for (int64_t i = 0; i <= n; ++i) {
      int64_t sum = 0;
      bool ok = true;
      for (int64_t k = 0; k < t; ++k) {
        const int64_t px = xMajor ? xs[i] : xs[i] - t / 2 + k;
        const int64_t py = xMajor ? ys[i] - t / 2 + k : ys[i];
        if (!inside(px, py)) {
          ok = false;
          break;
        }
        sum += g(px, py);
      }
      if (!ok) continue;
      value[i] = sum;
      if (first < 0) first = i;
      last = i;
    }
    if (first >= 0 && first < last) {
      for (int64_t i = 0; i < first; ++i) value[i] = value[first];
      for (int64_t i = last + 1; i <= n; ++i) value[i] = value[last];
      r.profile = value;
    }
  }
  int64_t scale = t;
  const int64_t count = static_cast<int64_t>(r.profile.size());
  if (p.smoothing > 1 && count > 0) {
    scale *= p.smoothing;
    const int64_t h = p.smoothing / 2;
    auto at = [&](int64_t j) { return r.profile[std::min(std::max<int64_t>(j, 0), count - 1)]; };
    std::vector<int64_t> q(count);
    for (int64_t i = 0; i < count; ++i) {
      if (p.smoothing % 2) {
        int64_t sum = 0;
        for (int64_t j = i - h; j <= i + h; ++j) sum += at(j);
        q[i] = sum;
      } else {
        int64_t sum = at(i - h) + at(i + h);
        for (int64_t j = i - h + 1; j <= i + h - 1; ++j) sum += 2 * at(j);
        q[i] = sum >> 1;
      }
    }
    r.profile = q;
  }
  for (int64_t i = 0; i < count; ++i) {
    if (count == 1)
      r.derivative.push_back(0);
    else
      r.derivative.push_back(r.profile[std::min(i + 1, count - 1)] -
                             r.profile[std::max<int64_t>(i - 1, 0)]);
  }
  const int64_t T = p.threshold;
  const int64_t lows[] = {-256, -T, -T, 0, T}, highs[] = {T, 256, T, T, 256};
  const std::vector<int64_t>& v = p.type >= 3 ? r.profile : r.derivative;
  const int64_t L = lows[p.type] * scale, Hh = highs[p.type] * scale;
  const int64_t A = p.minAmplitude * scale, R = p.minArea * scale;
  auto side = [&](int64_t x) { return x > Hh ? 1 : x < L ? -1 : 0; };
  for (int64_t i = 0; i < count;) {
    const int s = side(v[i]);
    if (s == 0) {
      ++i;
      continue;
    }
    int64_t e = i;
    while (e + 1 < count && side(v[e + 1]) == s) ++e;
    const int64_t limit = s > 0 ? Hh : L;
    int64_t area = 0, amplitude = 0;
    double moment = 0;
    for (int64_t j = i; j <= e; ++j) {
      const int64_t x = v[j] - limit;
      area += x;
      moment += double(j) * double(x);
      if (std::llabs(x) > std::llabs(amplitude)) amplitude = x;
    }
    const bool incomplete = i == 0 || e == count - 1;
    if ((!incomplete || p.keep) && std::llabs(amplitude) >= A && std::llabs(area) >= R)
      r.peaks.push_back({i, e - i + 1, moment / double(area), amplitude / scale, area / scale});
    i = e + 1;
  }
  const int64_t np = static_cast<int64_t>(r.peaks.size());
  if (np > 0) {
    switch (p.choice) {
      case 0: r.selected = p.index < np ? int(p.index) : -1; break;
      case 1: r.selected = p.index < np ? int(np - 1 - p.index) : -1; break;
      case 2:
      case 3:
        for (int64_t i = 0; i < np; ++i) {
          const int64_t a = p.choice == 2 ? r.peaks[i].amplitude : r.peaks[i].area;
          const int64_t b = r.selected < 0  ? -1
                            : p.choice == 2 ? r.peaks[r.selected].amplitude
                                            : r.peaks[r.selected].area;
          if (r.selected < 0 || std::llabs(a) >= std::llabs(b)) r.selected = int(i);
        }
        break;
      case 4: {
        const double middle = (double(count) - 1.0) / 2.0;
        for (int64_t i = 0; i < np; ++i)
          if (r.selected < 0 || std::fabs(r.peaks[i].center - middle) <=
                                    std::fabs(r.peaks[r.selected].center - middle))
            r.selected = int(i);
        break;
      }
      case 5: r.selected = 0; break;
    }
  }
  return r;
}

}  // namespace

TEST(TransitionReference, RandomMeasurementsMatchTheDefinitions) {
  std::mt19937 rng(20261206);
  auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  int compared = 0, withPeaks = 0;
  for (int round = 0; round < 4000; ++round) {
    // One round in eight has a band wider than the sampler's local table of 16 offsets.
    const bool wide = uniform(0, 7) == 0;
    const int w = wide ? uniform(40, 100) : uniform(1, 40),
              h = wide ? uniform(40, 100) : uniform(1, 40);
    // Blocky images with a few strong edges, so that runs of every kind occur.
    EImage<EBW8> image(w, h);
    const int cell = uniform(1, 6);
    std::vector<int> levels(64);
    for (int& l : levels) l = uniform(0, 255);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        image.SetPixel(static_cast<EBW8>(levels[((x / cell) * 7 + (y / cell) * 3) % 64]), x, y);
    RefParams p;
    p.hv = uniform(0, 4) == 0;
    p.rectangular = uniform(0, 3) != 0;
    p.keep = uniform(0, 1);
    p.thickness = wide ? uniform(26, 45) : uniform(1, 25);
    p.smoothing = uniform(0, 12);
    p.threshold = uniform(0, 60);
    p.minAmplitude = uniform(0, 40);
    p.minArea = uniform(0, 1) ? 0 : uniform(0, 200);
    p.type = uniform(0, 4);
    p.choice = uniform(0, 5);
    p.index = uniform(0, 3);
    const int x0 = uniform(-8, w + 8), y0 = uniform(-8, h + 8);
    const int x1 = uniform(-8, w + 8), y1 = uniform(-8, h + 8);

    Probe t;
    t.SetHVConstraint(p.hv);
    t.SetTransitionRectangularSamplingArea(p.rectangular);
    t.SetKeepFirstAndLastIncompletePeak(p.keep);
    t.SetThickness(unsigned(p.thickness));
    t.SetSmoothing(unsigned(p.smoothing));
    t.SetThreshold(unsigned(p.threshold));
    t.SetMinAmplitude(unsigned(p.minAmplitude));
    t.SetMinArea(unsigned(p.minArea));
    t.SetTransitionType(GGE_TRANSITION_TYPE(p.type));
    t.SetTransitionChoice(GGE_TRANSITION_CHOICE(p.choice));
    t.SetTransitionIndex(unsigned(p.index));
    EOk();
    t.Measure(&image, x0, y0, x1, y1);
    ASSERT_EQ(EGetError(), E_OK);
    const RefResult r = ReferenceMeasure(image, x0, y0, x1, y1, p);
    SCOPED_TRACE(::testing::Message()
                 << "round " << round << " image " << w << "x" << h << " segment (" << x0 << ","
                 << y0 << ")-(" << x1 << "," << y1 << ") t=" << p.thickness << " S=" << p.smoothing
                 << " rect=" << p.rectangular << " hv=" << p.hv);
    int sx0, sy0, sx1, sy1;
    t.SamplingSegment(sx0, sy0, sx1, sy1);
    ASSERT_EQ(sx0, r.sx0);
    ASSERT_EQ(sy0, r.sy0);
    ASSERT_EQ(sx1, r.sx1);
    ASSERT_EQ(sy1, r.sy1);
    ASSERT_EQ(t.GetProfile().GetNumElements(), r.profile.size());
    for (size_t i = 0; i < r.profile.size(); ++i)
      ASSERT_EQ(int64_t(t.GetProfile()[unsigned(i)]), r.profile[i]) << "sample " << i;
    ASSERT_EQ(t.GetDerivative().GetNumElements(), r.derivative.size());
    for (size_t i = 0; i < r.derivative.size(); ++i)
      ASSERT_EQ(int64_t(t.GetDerivative()[unsigned(i)]), r.derivative[i]) << "sample " << i;
    ASSERT_EQ(t.GetNumPeaks(), r.peaks.size());
    for (size_t i = 0; i < r.peaks.size(); ++i) {
      const EPeak& q = t.Peaks()[unsigned(i)];
      EXPECT_EQ(int64_t(q.Start), r.peaks[i].start);
      EXPECT_EQ(int64_t(q.Length), r.peaks[i].length);
      EXPECT_NEAR(q.Center, r.peaks[i].center, 1e-4 * (1.0 + std::fabs(r.peaks[i].center)));
      EXPECT_EQ(int64_t(q.Amplitude), r.peaks[i].amplitude);
      EXPECT_EQ(int64_t(q.Area), r.peaks[i].area);
    }
    ASSERT_EQ(t.SelectedIndex(), r.selected);
    if (r.selected >= 0) {
      const double c = r.peaks[r.selected].center;
      const double n = double(r.profile.size());
      const double u = n > 1 ? c / (n - 1) : 0.0;
      const EPoint q = t.GetMeasuredPoint();
      EXPECT_NEAR(q.GetX(), r.sx0 + (r.sx1 - r.sx0) * u, 1e-3);
      EXPECT_NEAR(q.GetY(), r.sy0 + (r.sy1 - r.sy0) * u, 1e-3);
    }
    ++compared;
    if (!r.peaks.empty()) ++withPeaks;
  }
  EXPECT_EQ(compared, 4000);
  EXPECT_GT(withPeaks, 200);
}
