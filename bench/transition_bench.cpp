// ETransition::Measure on slanted profiles across a blurred, noisy edge: profiles of 21 and 201
// samples, thickness 1 and 5, smoothing 1 and 5, axis and rectangular band samplers, and the
// interpolated sampler on the same segments moved by a fraction of a pixel. The time_per_pixel
// counter is the time per sample point read (samples x thickness): one pixel for the pixel walk,
// one bilinear interpolation of four for the interpolated sampler.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "vimo/gauges/transition.h"

namespace {

class BenchTransition : public ETransition {
 public:
  using ETransition::Measure;
  using ETransition::MeasureInterpolated;
  using ETransition::SetTransitionRectangularSamplingArea;
};

// 1024 x 1024, a vertical edge blurred over a few pixels at x = 512.3, noise of 3 grey levels.
EImage<EBW8>& Picture() {
  static EImage<EBW8>* picture = [] {
    auto* image = new EImage<EBW8>(1024, 1024);
    std::mt19937 rng(1);
    std::normal_distribution<double> noise(0.0, 3.0);
    for (int y = 0; y < 1024; ++y)
      for (int x = 0; x < 1024; ++x) {
        const double v = 40.0 + 160.0 * 0.5 * std::erfc(-(x - 512.3) / (1.2 * std::sqrt(2.0)));
        image->SetPixel(static_cast<EBW8>(std::clamp(std::lround(v + noise(rng)), 0L, 255L)), x, y);
      }
    return image;
  }();
  return *picture;
}

void BM_Measure(benchmark::State& state) {
  const int samples = static_cast<int>(state.range(0));
  const unsigned thickness = static_cast<unsigned>(state.range(1));
  const unsigned smoothing = static_cast<unsigned>(state.range(2));
  const int rectangular = static_cast<int>(state.range(3));
  EImage<EBW8>& image = Picture();
  BenchTransition t;
  t.SetThickness(thickness);
  t.SetSmoothing(smoothing);
  t.SetTransitionRectangularSamplingArea(rectangular);
  // Slanted 3:1 across the edge, centred on it; the rows move so the cache sees fresh lines.
  const int n = samples - 1;
  int row = 100;
  for (auto _ : state) {
    t.Measure(&image, 512 - n / 2, row, 512 + n / 2, row + n / 3);
    benchmark::DoNotOptimize(t.GetValid());
    row = row < 800 ? row + 1 : 100;
  }
  if (!t.GetValid() || t.GetProfile().GetNumElements() != unsigned(samples))
    state.SkipWithError("the edge was not found");
  const double pixels = double(samples) * thickness;
  state.counters["time_per_pixel"] = benchmark::Counter(
      pixels, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.SetItemsProcessed(state.iterations() * int64_t(samples));
}

// The segments of BM_Measure, 0.3 px to the right and 0.6 px down, sampled with interpolation.
void BM_MeasureInterpolated(benchmark::State& state) {
  const int samples = static_cast<int>(state.range(0));
  const unsigned thickness = static_cast<unsigned>(state.range(1));
  const unsigned smoothing = static_cast<unsigned>(state.range(2));
  EImage<EBW8>& image = Picture();
  BenchTransition t;
  t.SetThickness(thickness);
  t.SetSmoothing(smoothing);
  const int n = samples - 1;
  int row = 100;
  for (auto _ : state) {
    t.MeasureInterpolated(&image, 512.3 - n / 2, row + 0.6, 512.3 + n / 2, row + 0.6 + n / 3);
    benchmark::DoNotOptimize(t.GetValid());
    row = row < 800 ? row + 1 : 100;
  }
  if (!t.GetValid()) state.SkipWithError("the edge was not found");
  const double pixels = double(t.GetProfile().GetNumElements()) * thickness;
  state.counters["time_per_pixel"] = benchmark::Counter(
      pixels, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.SetItemsProcessed(state.iterations() * int64_t(t.GetProfile().GetNumElements()));
}

// The same profile over and over: the image lines stay in the cache, which isolates the
// arithmetic from the memory latency of fresh image lines.
void BM_MeasureCached(benchmark::State& state) {
  const int samples = static_cast<int>(state.range(0));
  EImage<EBW8>& image = Picture();
  BenchTransition t;
  const int n = samples - 1;
  for (auto _ : state) {
    t.Measure(&image, 512 - n / 2, 300, 512 + n / 2, 300 + n / 3);
    benchmark::DoNotOptimize(t.GetValid());
  }
  if (!t.GetValid()) state.SkipWithError("the edge was not found");
  state.counters["time_per_pixel"] = benchmark::Counter(
      samples, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

}  // namespace

BENCHMARK(BM_MeasureCached)->ArgName("samples")->Arg(21)->Arg(201);
BENCHMARK(BM_Measure)
    ->ArgNames({"samples", "thickness", "smoothing", "rectangular"})
    ->ArgsProduct({{21, 201}, {1, 5}, {1, 5}, {0, 1}});
BENCHMARK(BM_MeasureInterpolated)
    ->ArgNames({"samples", "thickness", "smoothing"})
    ->ArgsProduct({{21, 201}, {1, 5}, {1, 5}});
