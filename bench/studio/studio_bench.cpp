// What the studio's server does for one pointer event, without HTTP: a move (drag, overlay SVG,
// state JSON) and a release (the same plus measuring the tree), on a tree of 20 gauges.
#include <benchmark/benchmark.h>

#include "studio/studio_session.h"

namespace {

using nlohmann::json;

struct Setup {
  EImage<EBW8> image{640, 480};
  std::unique_ptr<vimo_studio::StudioSession> session;
  int handleX = 0, handleY = 0;
  Setup() {
    for (int y = 0; y < 480; ++y)
      for (int x = 0; x < 640; ++x) image.SetPixel(y < 240 ? 40 : 200, x, y);
    session = std::make_unique<vimo_studio::StudioSession>(
        vimo_studio::StudioFiles{"bench", "", ""}, image);
    session->Handle("state", {{"width", 640}, {"height", 480}});
    const char* kinds[] = {"line", "circle", "rectangle", "wedge", "point"};
    for (int i = 0; i < 20; ++i) session->Handle("add", {{"type", kinds[i % 5]}});
    // The last one added is a point gauge at the view's centre: its handle is there.
    handleX = 320;
    handleY = 240;
  }
};

void BM_PointerMove(benchmark::State& state) {
  Setup setup;
  setup.session->Handle("pointer", {{"kind", "down"}, {"x", setup.handleX}, {"y", setup.handleY}});
  size_t bytes = 0;
  int step = 0;
  for (auto _ : state) {
    const json answer = setup.session->Handle(
        "pointer", {{"kind", "move"}, {"x", setup.handleX}, {"y", setup.handleY + (step++ % 7)}});
    bytes = answer["svg"].get_ref<const std::string&>().size();
  }
  state.counters["svg_bytes"] = double(bytes);
}
BENCHMARK(BM_PointerMove)->Unit(benchmark::kMicrosecond);

void BM_PointerRelease(benchmark::State& state) {
  Setup setup;
  int step = 0;
  for (auto _ : state) {
    setup.session->Handle("pointer",
                          {{"kind", "down"}, {"x", setup.handleX}, {"y", setup.handleY}});
    setup.session->Handle(
        "pointer", {{"kind", "up"}, {"x", setup.handleX}, {"y", setup.handleY + (step++ % 3)}});
  }
}
BENCHMARK(BM_PointerRelease)->Unit(benchmark::kMicrosecond);

}  // namespace
