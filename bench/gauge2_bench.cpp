// Measure of the rectangle and wedge gauges on blurred, noisy synthetic images: the default
// rectangle gauge (100 x 100, step 5: 80 profiles of 21 pixels), a rotated one, a ring sector
// of radii 20 and 40 over 90 degrees (step 5: 24 profiles) and a full 20-40 ring (40
// profiles), each in an image and through a scaled world. time_per_profile divides by the
// profiles measured.
#include <benchmark/benchmark.h>

#include <random>

#include "gauge_images.h"
#include "vimo/vimo.h"

namespace {

using gauge_images::kPi;

// 256 x 256 images centred on (128.3, 127.6); contrast 100, blur 1, noise 2.
EImage<EBW8> Picture(const std::function<bool(double, double)>& inside) {
  std::mt19937 rng(7);
  return gauge_images::Render(256, 256, inside, 60, 160, 1.0, 2.0, &rng);
}

template <class Gauge>
void Run(benchmark::State& state, Gauge& gauge, EImage<EBW8>& image) {
  for (auto _ : state) {
    gauge.Measure(&image);
    benchmark::DoNotOptimize(gauge.GetNumValidSamples());
  }
  if (!gauge.GetFound()) state.SkipWithError("the gauge was not found");
  state.counters["time_per_profile"] =
      benchmark::Counter(gauge.GetNumSamples(), benchmark::Counter::kIsIterationInvariantRate |
                                                    benchmark::Counter::kInvert);
}

// A world of 2 pixels per unit centred on the image, or none.
void Place(EWorldShape& root, EShape& gauge, bool world) {
  gauge_images::ScaleWorld(root, 256, 256, world ? 2 : 0);
  gauge.Attach(&root);
}

void BM_RectangleGauge(benchmark::State& state) {
  const double angle = static_cast<double>(state.range(0));
  const bool world = state.range(1) != 0;
  static EImage<EBW8> images[2] = {
      Picture(gauge_images::Rectangle{128.3, 127.6, 50, 50, 0}),
      Picture(gauge_images::Rectangle{128.3, 127.6, 50, 50, 30 * kPi / 180})};
  EWorldShape root;
  ERectangleGauge gauge;
  Place(root, gauge, world);
  const float unit = world ? 0.5f : 1.0f;
  const EPoint center = world ? EPoint(0.15f, -0.2f) : EPoint(128.3f, 127.6f);
  gauge.Set(center, 100 * unit, 100 * unit, static_cast<float>(angle));
  gauge.SetSamplingStep(5 * unit);
  for (ETransition* t : {&gauge.GetTransitionx(), &gauge.GetTransitiony(), &gauge.GetTransitionX(),
                         &gauge.GetTransitionY()})
    t->SetTolerance(10 * unit, 0);
  Run(state, gauge, images[angle != 0]);
}
BENCHMARK(BM_RectangleGauge)
    ->ArgNames({"angle", "world"})
    ->Args({0, 0})
    ->Args({30, 0})
    ->Args({0, 1});

void BM_WedgeGauge(benchmark::State& state) {
  const double amplitude = static_cast<double>(state.range(0));
  const bool world = state.range(1) != 0;
  static EImage<EBW8> images[2] = {
      Picture(gauge_images::Sector{128.3, 127.6, 20, 40, 30 * kPi / 180, kPi / 2}),
      Picture(gauge_images::Sector{128.3, 127.6, 20, 40, 0, 2 * kPi})};
  EWorldShape root;
  EWedgeGauge gauge;
  Place(root, gauge, world);
  const float unit = world ? 0.5f : 1.0f;
  const EPoint center = world ? EPoint(0.15f, -0.2f) : EPoint(128.3f, 127.6f);
  if (amplitude < 360)
    gauge.Set(center, 40 * unit, 20 * unit, 30.0f, static_cast<float>(amplitude));
  else
    gauge.Set(center, 40 * unit, 20 * unit, 0.0f, 1);
  gauge.SetSamplingStep(5 * unit);
  for (ETransition* t : {&gauge.GetTransitiona(), &gauge.GetTransitionr(), &gauge.GetTransitionA(),
                         &gauge.GetTransitionR()})
    t->SetTolerance(8 * unit, 0);
  Run(state, gauge, images[amplitude >= 360]);
}
BENCHMARK(BM_WedgeGauge)
    ->ArgNames({"amplitude", "world"})
    ->Args({90, 0})
    ->Args({360, 0})
    ->Args({90, 1});

}  // namespace
