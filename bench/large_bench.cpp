// A 20-megapixel image (5472 x 3648) through unwarping (direct and through a table), masks,
// drawing and Process of a tree of 1000 gauges; a gauge in a region at the image's far corner;
// a point gauge at the far end of rows whose byte span approaches 2^31. Run one benchmark at a
// time under `/usr/bin/time -v` (with --benchmark_filter) to read its peak memory beside the
// image's own size.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "vimo/vimo.h"

namespace {

const int kWidth = 5472, kHeight = 3648;
const int kPitch = 128;  // disc grid pitch, pixels
const float kRadius = 40.0f;

// Dark discs of radius 40 on a bright ground, one per 128-pixel cell, centred at 64 + 128 k,
// with a one-pixel linear ramp across each edge.
EImage<EBW8>& DiscGrid() {
  static EImage<EBW8> image = [] {
    EImage<EBW8> made(kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y) {
      EBW8* row = made.GetImagePtr(0, y);
      const float dy = static_cast<float>(y % kPitch) - 63.5f;
      for (int x = 0; x < kWidth; ++x) {
        const float dx = static_cast<float>(x % kPitch) - 63.5f;
        const float excess = std::sqrt(dx * dx + dy * dy) - kRadius;
        const float t = excess < -0.5f ? 0.0f : excess > 0.5f ? 1.0f : excess + 0.5f;
        row[x] = static_cast<EBW8>(40 + 170 * t);
      }
    }
    return made;
  }();
  return image;
}

EWorld TiltedWorld() {
  EWorld world;
  world.SetSensor(kWidth, kHeight, 547.2f, 364.8f, kWidth / 2.0f, kHeight / 2.0f, 0.0f, 0.05f,
                  -0.03f, 0.5f, 0.0f, 0.0f, kWidth / 2.0f, kHeight / 2.0f,
                  E_CALIBRATION_SCALED | E_CALIBRATION_TILTED);
  return world;
}

void BM_Unwarp20MPDirect(benchmark::State& state) {
  EWorld world = TiltedWorld();
  EImage<EBW8> out(kWidth, kHeight);
  for (auto _ : state) world.Unwarp(&DiscGrid(), &out, static_cast<int>(state.range(0)));
  if (EGetError() != E_OK) state.SkipWithError("unwarp failed");
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_Unwarp20MPDirect)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_Unwarp20MPTable(benchmark::State& state) {
  EWorld world = TiltedWorld();
  EImage<EBW8> out(kWidth, kHeight);
  EImage<ESubPixel64> table(kWidth, kHeight);
  world.SetupUnwarp(&table, &DiscGrid(), static_cast<int>(state.range(0)));
  for (auto _ : state) world.Unwarp(&table, &DiscGrid(), &out, static_cast<int>(state.range(0)));
  if (EGetError() != E_OK) state.SkipWithError("unwarp failed");
  state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_Unwarp20MPTable)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A turned rectangle and a disc covering most of the image.
void BM_Mask20MP(benchmark::State& state) {
  EROI<EBW8> roi;
  roi.Attach(&DiscGrid());
  roi.SetPlacement(0, 0, kWidth, kHeight);
  ERectangleShape rectangle(kWidth / 2.0f, kHeight / 2.0f, 4000, 2600, 12);
  EWedgeShape disc(EPoint(kWidth / 2.0f, kHeight / 2.0f), 3400, 0, 0, 360.0f);
  for (auto _ : state) {
    if (state.range(0) == 0)
      rectangle.SetupMask(&roi);
    else
      disc.SetupMask(&roi);
    benchmark::DoNotOptimize(roi.GetRuns().GetNumElements());
  }
  if (roi.GetRuns().GetNumElements() < 2000) state.SkipWithError("mask too small");
}
BENCHMARK(BM_Mask20MP)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// 1000 circle gauges, one per disc, daughters of a frame in a world shape.
struct GaugeTree {
  EWorldShape world;
  EFrameShape frame;
  std::vector<std::unique_ptr<ECircleGauge>> gauges;
  GaugeTree() {
    frame.Attach(&world);
    for (int k = 0; k < 1000; ++k) {
      auto gauge = std::make_unique<ECircleGauge>();
      gauge->Attach(&frame);
      gauge->Set(EPoint(64.0f + kPitch * (k % 42), 64.0f + kPitch * (k / 42)), 2 * kRadius + 3,
                 0.0f, 1);
      gauge->SetTolerance(8, 0);
      gauge->SetSamplingStep(2);
      gauges.push_back(std::move(gauge));
    }
  }
};

void BM_Process1000Gauges20MP(benchmark::State& state) {
  GaugeTree tree;
  for (auto _ : state) tree.world.Process(&DiscGrid(), 1);
  int found = 0;
  double worst = 0;
  for (auto& g : tree.gauges) {
    found += g->GetFound();
    worst = std::max(worst, std::fabs(g->GetMeasuredCircle().GetDiameter() / 2.0 - kRadius));
  }
  state.counters["found"] = found;
  state.counters["worst_radius_error_px"] = worst;
  if (found != 1000) state.SkipWithError("a gauge was not found");
}
BENCHMARK(BM_Process1000Gauges20MP)->Unit(benchmark::kMillisecond);

// The same 1000 gauges each measured by its own Measure call: what Process adds per gauge is
// the difference from the benchmark above.
void BM_Measure1000GaugesOneByOne(benchmark::State& state) {
  GaugeTree tree;
  for (auto _ : state)
    for (auto& g : tree.gauges) g->Measure(&DiscGrid());
  for (auto& g : tree.gauges)
    if (!g->GetFound()) state.SkipWithError("a gauge was not found");
}
BENCHMARK(BM_Measure1000GaugesOneByOne)->Unit(benchmark::kMillisecond);

void BM_Draw1000Gauges20MP(benchmark::State& state) {
  GaugeTree tree;
  tree.world.Process(&DiscGrid(), 1);
  EImage<EC24> canvas(kWidth, kHeight);
  Quarnel::ImageDrawAdapter adapter(&canvas);
  for (auto _ : state) {
    tree.world.Draw(&adapter, INS_DRAW_NOMINAL, 1);
    tree.world.Draw(&adapter, INS_DRAW_ACTUAL, 1);
  }
}
BENCHMARK(BM_Draw1000Gauges20MP)->Unit(benchmark::kMillisecond);

// A 200 x 200 region at the far corner of the image: the disc there measured in the region.
void BM_FarCornerRegion(benchmark::State& state) {
  EROI<EBW8> corner;
  corner.Attach(&DiscGrid());
  corner.SetPlacement(kWidth - 200, kHeight - 200, 200, 200);
  ECircleGauge gauge;
  // The last full disc: column 41 (x = 5312), row 27 (y = 3520).
  gauge.Set(EPoint(64.0f + kPitch * 41, 64.0f + kPitch * 27), 2 * kRadius + 3, 0.0f, 1);
  for (auto _ : state) gauge.Measure(&corner);
  if (!gauge.GetFound()) state.SkipWithError("not found");
}
BENCHMARK(BM_FarCornerRegion);

// One row of 2^31 - 64 bytes (and four rows of 2^29): a dark-to-bright step found by a point
// gauge across it, 1000 pixels before the end of the row or before 10^9, the farthest pixel a
// gauge measures at; a gauge beyond that finds nothing and must say so.
void BM_WideRowPointGauge(benchmark::State& state) {
  const int height = static_cast<int>(state.range(0));
  const int width = height == 1 ? 0x7FFFFFC0 : (1 << 29);
  EImage<EBW8> image(width, height);
  if (image.GetWidth() != width) {
    state.SkipWithError("cannot allocate");
    return;
  }
  const int step = std::min(width, 1000000000) - 1000;
  for (int y = 0; y < height; ++y) {
    EBW8* row = image.GetImagePtr(0, y);
    std::fill(row + step, row + width, EBW8(200));
  }
  // Coordinates are floats: near 2^30 they are 64 pixels apart, so the gauge's centre and the
  // measured point are exact only to that spacing.
  const double edge = step - 0.5;
  const double spacing = std::nextafter(static_cast<float>(edge), 3e38f) - static_cast<float>(edge);
  EPointGauge gauge;
  gauge.SetCenter(EPoint(static_cast<float>(edge), height - 1.0f));
  gauge.SetTolerance(static_cast<float>(2 * spacing + 20), 0);
  gauge.SetTransitionType(GGE_DARK_TO_BRIGHT);
  for (auto _ : state) gauge.Measure(&image);
  const double error = std::fabs(gauge.GetMeasuredPoint().GetX() - edge);
  state.counters["coordinate_spacing_px"] = spacing;
  state.counters["error_px"] = error;
  if (!gauge.GetValid() || error > spacing) state.SkipWithError("step not found where it is");
  if (width > 1000000000) {
    EPointGauge far;
    far.SetCenter(EPoint(width - 1000.0f, 0.0f));
    far.SetTolerance(300, 0);
    far.Measure(&image);
    if (far.GetValid()) state.SkipWithError("a gauge past 10^9 pixels found something");
  }
}
BENCHMARK(BM_WideRowPointGauge)->Arg(1)->Arg(4)->Iterations(1000)->Unit(benchmark::kMicrosecond);

}  // namespace
