// Image files and bit-depth conversion on a 5-Mpixel camera frame (2592 x 1944): Load and Save
// of each format for 8-bit grey, 16-bit grey and colour images, and the two conversions from
// 16 to 8 bits, in Mpixel/s. The files are written once to the temporary folder.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "vimo/vimo.h"

namespace {

constexpr int kWidth = 2592, kHeight = 1944;

// A smooth picture with some texture, like a lit part: file sizes and codec times then resemble
// those of real frames.
struct Frames {
  EImage<EBW8> grey{kWidth, kHeight};
  EImage<EBW16> wide{kWidth, kHeight};
  EImage<EC24> colour{kWidth, kHeight};
  Frames() {
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        const int level = (x / 7 + y / 5) % 200 + ((x * y) % 13);
        grey.GetImagePtr(0, y)[x] = static_cast<EBW8>(level);
        wide.GetImagePtr(0, y)[x] = static_cast<EBW16>(level * 16 + (x % 16));  // 12 bits
        colour.GetImagePtr(0, y)[x] =
            EC24{static_cast<uint8_t>(level), static_cast<uint8_t>(255 - level),
                 static_cast<uint8_t>(level / 2)};
      }
  }
};

Frames& TheFrames() {
  static Frames frames;
  return frames;
}

std::string PathOf(const char* name) {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp != nullptr ? tmp : "/tmp") + "/vimo_bench_" + name;
}

void ReportRate(benchmark::State& state) {
  state.counters["Mpixel/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kWidth * kHeight / 1e6,
                         benchmark::Counter::kIsRate);
}

template <class T>
EImage<T>& FrameOf();
template <>
EImage<EBW8>& FrameOf<EBW8>() {
  return TheFrames().grey;
}
template <>
EImage<EBW16>& FrameOf<EBW16>() {
  return TheFrames().wide;
}
template <>
EImage<EC24>& FrameOf<EC24>() {
  return TheFrames().colour;
}

template <class T>
void BM_Save(benchmark::State& state, const char* name) {
  const std::string path = PathOf(name);
  EOk();
  for (auto _ : state) FrameOf<T>().Save(path.c_str());
  if (EGetError() != E_OK) state.SkipWithError("the format is not built in");
  ReportRate(state);
}

template <class T>
void BM_Load(benchmark::State& state, const char* name) {
  const std::string path = PathOf(name);
  EOk();
  FrameOf<T>().Save(path.c_str());
  EImage<T> image;
  for (auto _ : state) image.Load(path.c_str());
  if (EGetError() != E_OK) state.SkipWithError("the format is not built in");
  std::remove(path.c_str());
  ReportRate(state);
}

void BM_ConvertShift(benchmark::State& state) {
  EImage<EBW8> out(kWidth, kHeight);
  for (auto _ : state) EConvertToBW8Shift(&TheFrames().wide, &out, 4);
  ReportRate(state);
}

void BM_ConvertWindow(benchmark::State& state) {
  EImage<EBW8> out(kWidth, kHeight);
  for (auto _ : state) EConvertToBW8Window(&TheFrames().wide, &out, 200, 3000);
  ReportRate(state);
}

template <class T>
void RegisterFile(const char* name) {
  benchmark::RegisterBenchmark((std::string("BM_Save/") + name).c_str(), BM_Save<T>, name)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark((std::string("BM_Load/") + name).c_str(), BM_Load<T>, name)
      ->Unit(benchmark::kMillisecond);
}

const bool g_Registered = [] {
  for (const char* name : {"grey8.pgm", "grey8.png", "grey8.jpg", "grey8.tif"})
    RegisterFile<EBW8>(name);
  for (const char* name : {"grey16.pgm", "grey16.png", "grey16.tif"}) RegisterFile<EBW16>(name);
  for (const char* name : {"rgb8.ppm", "rgb8.png", "rgb8.jpg", "rgb8.tif"})
    RegisterFile<EC24>(name);
  return true;
}();

}  // namespace

BENCHMARK(BM_ConvertShift)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertWindow)->Unit(benchmark::kMillisecond);
