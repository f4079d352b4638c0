// Pixel access one call per pixel, as a caller filling or reading an image pixel by pixel pays
// it: GetPixel and SetPixel through an image and through a region nested three deep, and the row
// pointer that GetImagePtr gives. Time per iteration is per pixel.
#include <benchmark/benchmark.h>

#include "vimo/core/core.h"

namespace {

constexpr int kWidth = 640, kHeight = 480;

struct Scene {
  EImage<EBW8> image{kWidth, kHeight};
  EROI<EBW8> outer, middle, inner;
  Scene() {
    outer.Attach(&image);
    outer.SetPlacement(10, 10, 620, 460);
    middle.Attach(&outer);
    middle.SetPlacement(5, 5, 610, 450);
    inner.Attach(&middle);
    inner.SetPlacement(5, 5, 600, 440);
  }
  EROI<EBW8>& Target(int nested) { return nested ? inner : static_cast<EROI<EBW8>&>(image); }
};

Scene& TheScene() {
  static Scene scene;
  return scene;
}

void ReportPerPixel(benchmark::State& state, int width, int height) {
  state.counters["ns_per_pixel"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * width * height,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_SetPixel(benchmark::State& state) {
  EROI<EBW8>& roi = TheScene().Target(static_cast<int>(state.range(0)));
  const int width = roi.GetWidth(), height = roi.GetHeight();
  for (auto _ : state) {
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) roi.SetPixel(static_cast<EBW8>(x + y), x, y);
    benchmark::ClobberMemory();
  }
  ReportPerPixel(state, width, height);
}

void BM_GetPixel(benchmark::State& state) {
  EROI<EBW8>& roi = TheScene().Target(static_cast<int>(state.range(0)));
  const int width = roi.GetWidth(), height = roi.GetHeight();
  for (auto _ : state) {
    unsigned sum = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) sum += roi.GetPixel(x, y);
    benchmark::DoNotOptimize(sum);
  }
  ReportPerPixel(state, width, height);
}

// The row-pointer form for comparison: one GetImagePtr per row.
void BM_RowPointer(benchmark::State& state) {
  EROI<EBW8>& roi = TheScene().Target(static_cast<int>(state.range(0)));
  const int width = roi.GetWidth(), height = roi.GetHeight();
  for (auto _ : state) {
    unsigned sum = 0;
    for (int y = 0; y < height; ++y) {
      const EBW8* row = roi.GetImagePtr(0, y);
      for (int x = 0; x < width; ++x) sum += row[x];
    }
    benchmark::DoNotOptimize(sum);
  }
  ReportPerPixel(state, width, height);
}

}  // namespace

// Argument: 0 through the image, 1 through the nested region.
BENCHMARK(BM_SetPixel)->Arg(0)->Arg(1);
BENCHMARK(BM_GetPixel)->Arg(0)->Arg(1);
BENCHMARK(BM_RowPointer)->Arg(0)->Arg(1);
