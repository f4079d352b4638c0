// Throughput of the geometry value classes: frame chains, conversions, fits and constructions.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "vimo/geometry/geometry.h"

namespace {

std::vector<EPoint> Points(int n) {
  std::vector<EPoint> points;
  points.reserve(n);
  for (int i = 0; i < n; ++i)
    points.emplace_back(static_cast<float>(i % 97) * 1.3f, static_cast<float>(i % 89) * 0.7f);
  return points;
}

void BM_ValidateFrameChain(benchmark::State& state) {
  const int depth = static_cast<int>(state.range(0));
  std::vector<EFrame> chain;
  for (int i = 0; i < depth; ++i) chain.emplace_back(1.0f * i, 2.0f, 3.0f * i, 1.01f);
  for (auto _ : state) {
    chain[0].ValidateFrame(nullptr);
    for (int i = 1; i < depth; ++i) chain[i].ValidateFrame(&chain[i - 1]);
    benchmark::DoNotOptimize(chain.back());
  }
  state.SetItemsProcessed(state.iterations() * depth);
}
BENCHMARK(BM_ValidateFrameChain)->Arg(1)->Arg(8)->Arg(64);

void BM_LocalToGlobalPoints(benchmark::State& state) {
  EFrame f(10, 20, 30, 1.5f);
  f.ValidateFrame(nullptr);
  const std::vector<EPoint> points = Points(1024);
  for (auto _ : state) {
    float sum = 0;
    for (const EPoint& p : points) sum += f.LocalToGlobal(p).GetX();
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * points.size());
}
BENCHMARK(BM_LocalToGlobalPoints);

void BM_DistanceToSegment(benchmark::State& state) {
  const ELine line(EPoint(3, 4), EPoint(60, 41));
  const std::vector<EPoint> points = Points(1024);
  for (auto _ : state) {
    float sum = 0;
    for (const EPoint& p : points) sum += p.Distance(line, 1);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * points.size());
}
BENCHMARK(BM_DistanceToSegment);

void BM_DistanceToArc(benchmark::State& state) {
  const ECircle arc(EPoint(50, 30), 40.0f, 20.0f, 135.0f);
  const std::vector<EPoint> points = Points(1024);
  for (auto _ : state) {
    float sum = 0;
    for (const EPoint& p : points) sum += p.Distance(arc, 1);
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * points.size());
}
BENCHMARK(BM_DistanceToArc);

void BM_CircleThroughThreePoints(benchmark::State& state) {
  const std::vector<EPoint> points = Points(1026);
  ECircle c;
  for (auto _ : state) {
    for (size_t i = 0; i + 2 < points.size(); i += 3) {
      c.Set(EPoint(0, 0) + points[i], points[i + 1] + EPoint(5, 0), points[i + 2] + EPoint(0, 7),
            0);
      benchmark::DoNotOptimize(c);
    }
    EOk();
  }
  state.SetItemsProcessed(state.iterations() * (points.size() / 3));
}
BENCHMARK(BM_CircleThroughThreePoints);

void BM_FitFrame(benchmark::State& state) {
  const int pairs = static_cast<int>(state.range(0));
  EFrame truth(5, -3, 25, 1.5f);
  truth.ValidateFrame(nullptr);
  const std::vector<EPoint> locals = Points(pairs);
  std::vector<EPoint> globals;
  for (const EPoint& l : locals) globals.push_back(truth.LocalToGlobal(l));
  EFrame fitted;
  for (auto _ : state) {
    EFrame::ResetFit();
    for (int i = 0; i < pairs; ++i) EFrame::AccumulateFit(globals[i], locals[i]);
    fitted.Fit(E_FRAME_FIT_SCALE | E_FRAME_FIT_ANGLE);
    benchmark::DoNotOptimize(fitted);
  }
  state.SetItemsProcessed(state.iterations() * pairs);
}
BENCHMARK(BM_FitFrame)->Arg(4)->Arg(100)->Arg(10000);

void BM_SolvePositiveDefinite12(benchmark::State& state) {
  float base[144];
  for (int i = 0; i < 12; ++i)
    for (int j = 0; j < 12; ++j) base[12 * i + j] = (i == j ? 20.0f : 0.0f) + 1.0f / (1 + i + j);
  float matrix[144], vector[12];
  for (auto _ : state) {
    std::copy(base, base + 144, matrix);
    for (int i = 0; i < 12; ++i) vector[i] = 1.0f + i;
    SolvePositiveDefinite(matrix, 12, vector, 12);
    benchmark::DoNotOptimize(vector);
  }
}
BENCHMARK(BM_SolvePositiveDefinite12);

}  // namespace
