// Shape hierarchy costs: conversions through a frame chain and a calibrated world, and the
// daughter table under many appends and removals.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "vimo/calibration/worldshape.h"
#include "vimo/shapes/frameshape.h"
#include "vimo/shapes/pointshape.h"

namespace {

// A world shape with a skewed, scaled calibration and a point four levels below it.
struct Chain {
  EWorldShape world{0, 0, 0, 1, 100, 100};
  EFrameShape f1{100, 50, 30, 2, 10, 10};
  EFrameShape f2{10, -5, -45, 0.5f, 10, 10};
  EFrameShape f3{3, 4, 60, 1, 10, 10};
  EPointShape point{-2, 7};
  Chain() {
    world.SetCalibrationModes(E_CALIBRATION_SCALED | E_CALIBRATION_SKEWED);
    world.SetCenter(320, 240);
    world.SetScale(4);
    world.SetAngle(20);
    f1.Attach(&world);
    f2.Attach(&f1);
    f3.Attach(&f2);
    point.Attach(&f3);
  }
};

void BM_LocalToSensorCached(benchmark::State& state) {
  Chain chain;
  EPoint p(1.5f, -2.5f);
  for (auto _ : state) {
    EPoint s = chain.point.LocalToSensor(p);
    benchmark::DoNotOptimize(s);
  }
}
BENCHMARK(BM_LocalToSensorCached);

void BM_LocalToSensorAfterRootInvalidation(benchmark::State& state) {
  Chain chain;
  EPoint p(1.5f, -2.5f);
  for (auto _ : state) {
    chain.f1.InvalidateFrame();
    EPoint s = chain.point.LocalToSensor(p);
    benchmark::DoNotOptimize(s);
  }
}
BENCHMARK(BM_LocalToSensorAfterRootInvalidation);

const unsigned kDaughters = 100000;

std::vector<std::unique_ptr<EPointShape>> MakeShapes() {
  std::vector<std::unique_ptr<EPointShape>> shapes;
  shapes.reserve(kDaughters);
  for (unsigned i = 0; i < kDaughters; ++i) shapes.emplace_back(new EPointShape(float(i), 0));
  return shapes;
}

void BM_Append100k(benchmark::State& state) {
  auto shapes = MakeShapes();
  for (auto _ : state) {
    EFrameShape mother;
    for (auto& s : shapes) s->Attach(&mother);
    benchmark::DoNotOptimize(mother.GetNumDaughters());
    state.PauseTiming();
    for (auto& s : shapes) s->Detach();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kDaughters);
}
BENCHMARK(BM_Append100k)->Unit(benchmark::kMillisecond);

// Removal from the front: the last daughter fills the freed slot.
void BM_Remove100kFromFront(benchmark::State& state) {
  auto shapes = MakeShapes();
  EShape::SetPreserveOrder(0);
  for (auto _ : state) {
    state.PauseTiming();
    EFrameShape mother;
    for (auto& s : shapes) s->Attach(&mother);
    state.ResumeTiming();
    for (auto& s : shapes) s->Detach();
    benchmark::DoNotOptimize(mother.GetNumDaughters());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kDaughters);
}
BENCHMARK(BM_Remove100kFromFront)->Unit(benchmark::kMillisecond);

// Removal from the back with order preservation: nothing moves.
void BM_Remove100kFromBackPreservingOrder(benchmark::State& state) {
  auto shapes = MakeShapes();
  EShape::SetPreserveOrder(1);
  for (auto _ : state) {
    state.PauseTiming();
    EFrameShape mother;
    for (auto& s : shapes) s->Attach(&mother);
    state.ResumeTiming();
    for (auto it = shapes.rbegin(); it != shapes.rend(); ++it) (*it)->Detach();
    benchmark::DoNotOptimize(mother.GetNumDaughters());
  }
  EShape::SetPreserveOrder(0);
  state.SetItemsProcessed(int64_t(state.iterations()) * kDaughters);
}
BENCHMARK(BM_Remove100kFromBackPreservingOrder)->Unit(benchmark::kMillisecond);

}  // namespace
