// The C++ side of the Python call overhead measurement: a small line gauge Measure (a vertical
// step edge at x = 31.5 in a 64 x 64 image, 11 profiles) and a flag read, the same calls that
// bench/python_overhead.py times through the Python module.
#include <benchmark/benchmark.h>

#include "vimo/vimo.h"

namespace {

EImage<EBW8>& StepImage() {
  static EImage<EBW8> image = [] {
    EImage<EBW8> step(64, 64);
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) step.SetPixel(x < 32 ? 50 : 170, x, y);
    return step;
  }();
  return image;
}

void SetUpGauge(ELineGauge& gauge) {
  gauge.Set(EPoint(32, 32), 40, 90);
  gauge.SetTolerance(5, 0);
  gauge.SetSamplingStep(4);
}

void BM_SmallLineGaugeMeasure(benchmark::State& state) {
  ELineGauge gauge;
  SetUpGauge(gauge);
  for (auto _ : state) {
    gauge.Measure(&StepImage());
    benchmark::DoNotOptimize(gauge.GetFound());
  }
  if (!gauge.GetFound()) state.SkipWithError("not measured");
}
BENCHMARK(BM_SmallLineGaugeMeasure);

void BM_GaugeFlagRead(benchmark::State& state) {
  ELineGauge gauge;
  for (auto _ : state) benchmark::DoNotOptimize(gauge.GetFound());
}
BENCHMARK(BM_GaugeFlagRead);

}  // namespace
