// Unwarping speed on a 1024 x 1024 image with a distorted calibration: direct and table-driven
// forms, nearest and bilinear, grey and colour, in Mpixel/s, on the fastest kernel path of the
// processor and, for comparison, on the SSE2 path every x86-64 processor has. With OpenCV
// present, cv::remap on one thread with fixed-point maps built from the same tables runs beside
// them, and OpenCV's building of such maps for a comparable lens model beside SetupUnwarp.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "vimo/calibration/unwarp_kernels.h"
#include "vimo/calibration/world.h"
#include "vimo/core/core.h"

#ifdef VIMO_HAVE_OPENCV
#include <opencv2/calib3d.hpp>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

namespace {

constexpr int kSize = 1024;

// A lens-like calibration: 1000 x 1000 world units over the sensor, a rotation of 2 degrees and
// a barrel distortion of about 10 % in the corners.
struct Scene {
  EImage<EBW8> grey{kSize, kSize};
  EImage<EC24> colour{kSize, kSize};
  EWorld world;
  // Tables per pixel type (offsets depend on the pixel size) and per sampling.
  EImage<ESubPixel64> tables[2][2];
  Scene() {
    const float kDefault = std::numeric_limits<float>::max();
    ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
    world.SetSensor(kSize, kSize, 1000.0f, 1000.0f, kDefault, kDefault, 2.0f, 0, 0, 0, 2e-7f, 0,
                    kDefault, kDefault, E_CALIBRATION_INVERSE);
    std::mt19937 rng(1);
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x) {
        uint32_t r = rng();
        grey.SetPixel(static_cast<EBW8>(r), x, y);
        colour.SetPixel(EC24{static_cast<uint8_t>(r), static_cast<uint8_t>(r >> 8),
                             static_cast<uint8_t>(r >> 16)},
                        x, y);
      }
    for (int interpolate = 0; interpolate < 2; ++interpolate) {
      tables[0][interpolate].SetSize(kSize, kSize);
      tables[1][interpolate].SetSize(kSize, kSize);
      world.SetupUnwarp(&tables[0][interpolate], &grey, interpolate);
      world.SetupUnwarp(&tables[1][interpolate], &colour, interpolate);
    }
  }
  EImage<EBW8>& Source(EBW8*) { return grey; }
  EImage<EC24>& Source(EC24*) { return colour; }
  EImage<ESubPixel64>& Table(EBW8*, int interpolate) { return tables[0][interpolate]; }
  EImage<ESubPixel64>& Table(EC24*, int interpolate) { return tables[1][interpolate]; }
};

Scene& GetScene() {
  static Scene scene;
  return scene;
}

// Runs a benchmark on the kernel path given as its argument (the fastest one the processor has
// when the argument is above it) and restores the fastest path afterwards.
struct Path {
  explicit Path(benchmark::State& state) {
    using namespace vimo_unwarp;
    Isa used = UseIsa(static_cast<Isa>(state.range(0)));
    state.SetLabel(used == kIsaAvx2 ? "avx2" : used == kIsaSse2 ? "sse2" : "scalar");
  }
  ~Path() { vimo_unwarp::UseIsa(vimo_unwarp::SupportedIsa()); }
};

void CountPixels(benchmark::State& state) {
  state.counters["Mpixel/s"] = benchmark::Counter(double(kSize) * kSize / 1e6,
                                                  benchmark::Counter::kIsIterationInvariantRate);
}

template <class T, int Interpolate>
void BM_UnwarpDirect(benchmark::State& state) {
  Path path(state);
  Scene& scene = GetScene();
  EImage<T> dst(kSize, kSize);
  for (auto _ : state) {
    scene.world.Unwarp(&scene.Source(static_cast<T*>(nullptr)), &dst, Interpolate);
    benchmark::ClobberMemory();
  }
  CountPixels(state);
}

template <class T, int Interpolate>
void BM_SetupUnwarp(benchmark::State& state) {
  Path path(state);
  Scene& scene = GetScene();
  EImage<ESubPixel64> table(kSize, kSize);
  for (auto _ : state) {
    scene.world.SetupUnwarp(&table, &scene.Source(static_cast<T*>(nullptr)), Interpolate);
    benchmark::ClobberMemory();
  }
  CountPixels(state);
}

template <class T, int Interpolate>
void BM_UnwarpTable(benchmark::State& state) {
  Path path(state);
  Scene& scene = GetScene();
  EImage<T> dst(kSize, kSize);
  T* tag = nullptr;
  for (auto _ : state) {
    scene.world.Unwarp(&scene.Table(tag, Interpolate), &scene.Source(tag), &dst, Interpolate);
    benchmark::ClobberMemory();
  }
  CountPixels(state);
}

BENCHMARK_TEMPLATE(BM_UnwarpDirect, EBW8, 0)
    ->Name("UnwarpDirect/BW8/nearest")
    ->Arg(vimo_unwarp::kIsaSse2)
    ->Arg(vimo_unwarp::kIsaAvx2);
BENCHMARK_TEMPLATE(BM_UnwarpDirect, EBW8, 1)
    ->Name("UnwarpDirect/BW8/bilinear")
    ->Arg(vimo_unwarp::kIsaSse2)
    ->Arg(vimo_unwarp::kIsaAvx2);
BENCHMARK_TEMPLATE(BM_UnwarpDirect, EC24, 0)
    ->Name("UnwarpDirect/C24/nearest")
    ->Arg(vimo_unwarp::kIsaSse2)
    ->Arg(vimo_unwarp::kIsaAvx2);
BENCHMARK_TEMPLATE(BM_UnwarpDirect, EC24, 1)
    ->Name("UnwarpDirect/C24/bilinear")
    ->Arg(vimo_unwarp::kIsaSse2)
    ->Arg(vimo_unwarp::kIsaAvx2);
BENCHMARK_TEMPLATE(BM_SetupUnwarp, EBW8, 0)
    ->Name("SetupUnwarp/BW8/nearest")
    ->Arg(vimo_unwarp::kIsaSse2)
    ->Arg(vimo_unwarp::kIsaAvx2);
BENCHMARK_TEMPLATE(BM_SetupUnwarp, EBW8, 1)
    ->Name("SetupUnwarp/BW8/bilinear")
    ->Arg(vimo_unwarp::kIsaSse2)
    ->Arg(vimo_unwarp::kIsaAvx2);
BENCHMARK_TEMPLATE(BM_UnwarpTable, EBW8, 0)
    ->Name("UnwarpTable/BW8/nearest")
    ->Arg(vimo_unwarp::kIsaSse2)
    ->Arg(vimo_unwarp::kIsaAvx2);
BENCHMARK_TEMPLATE(BM_UnwarpTable, EBW8, 1)
    ->Name("UnwarpTable/BW8/bilinear")
    ->Arg(vimo_unwarp::kIsaSse2)
    ->Arg(vimo_unwarp::kIsaAvx2);
BENCHMARK_TEMPLATE(BM_UnwarpTable, EC24, 0)
    ->Name("UnwarpTable/C24/nearest")
    ->Arg(vimo_unwarp::kIsaSse2)
    ->Arg(vimo_unwarp::kIsaAvx2);
BENCHMARK_TEMPLATE(BM_UnwarpTable, EC24, 1)
    ->Name("UnwarpTable/C24/bilinear")
    ->Arg(vimo_unwarp::kIsaSse2)
    ->Arg(vimo_unwarp::kIsaAvx2);

#ifdef VIMO_HAVE_OPENCV
// The sample positions of a table as OpenCV maps: nearest entries name a pixel; a bilinear
// entry blends rows iy - 1 and iy, i.e. samples at (ix + a / 256, iy - 1 + c / 256). Entries
// without a source point far outside, where the constant border gives black like ours.
void TableToMaps(EImage<ESubPixel64>& table, int pixelSize, int pitch, int interpolate,
                 cv::Mat& map1, cv::Mat& map2) {
  cv::Mat mapX(kSize, kSize, CV_32FC1), mapY(kSize, kSize, CV_32FC1);
  for (int j = 0; j < kSize; ++j)
    for (int i = 0; i < kSize; ++i) {
      ESubPixel64 e = table.GetPixel(i, j);
      float x = -100.0f, y = -100.0f;
      if (e.SubPixel.Offset >= 0) {
        int iy = e.SubPixel.Offset / pitch;
        int ix = (e.SubPixel.Offset % pitch) / pixelSize;
        x = static_cast<float>(ix);
        y = static_cast<float>(iy);
        if (interpolate) {
          x += e.SubPixel.FractionX / 256.0f;
          y += e.SubPixel.FractionY / 256.0f - 1.0f;
        }
      }
      mapX.at<float>(j, i) = x;
      mapY.at<float>(j, i) = y;
    }
  cv::convertMaps(mapX, mapY, map1, map2, CV_16SC2, interpolate == 0);
}

template <class T, int Interpolate>
void BM_CvRemap(benchmark::State& state) {
  cv::setNumThreads(1);
  Scene& scene = GetScene();
  T* tag = nullptr;
  EImage<T>& source = scene.Source(tag);
  const int type = sizeof(T) == 1 ? CV_8UC1 : CV_8UC3;
  cv::Mat src(kSize, kSize, type, source.GetImagePtr(), static_cast<size_t>(source.GetRowPitch()));
  cv::Mat map1, map2, dst;
  TableToMaps(scene.Table(tag, Interpolate), sizeof(T), source.GetRowPitch(), Interpolate, map1,
              map2);
  for (auto _ : state) {
    cv::remap(src, dst, map1, map2, Interpolate ? cv::INTER_LINEAR : cv::INTER_NEAREST,
              cv::BORDER_CONSTANT, cv::Scalar());
    benchmark::ClobberMemory();
  }
  CountPixels(state);
}

// OpenCV's map building for a lens model like the scene's (a rotation and one radial
// coefficient): initUndistortRectifyMap to float maps, then convertMaps to the fixed-point maps
// remap takes, as SetupUnwarp builds a table.
void BM_CvBuildMaps(benchmark::State& state) {
  cv::setNumThreads(1);
  const double f = 1.024, c = kSize / 2.0;
  cv::Mat camera = (cv::Mat_<double>(3, 3) << f, 0, c, 0, f, c, 0, 0, 1);
  cv::Mat newCamera = (cv::Mat_<double>(3, 3) << f, 0, c, 0, f, c, 0, 0, 1);
  cv::Mat distortion = (cv::Mat_<double>(1, 5) << 0.05, 0, 0, 0, 0);
  const double a = 2.0 * 3.14159265358979 / 180;
  cv::Mat rotation = (cv::Mat_<double>(3, 3) << std::cos(a), -std::sin(a), 0, std::sin(a),
                      std::cos(a), 0, 0, 0, 1);
  cv::Mat mapX, mapY, map1, map2;
  for (auto _ : state) {
    cv::initUndistortRectifyMap(camera, distortion, rotation, newCamera, cv::Size(kSize, kSize),
                                CV_32FC1, mapX, mapY);
    cv::convertMaps(mapX, mapY, map1, map2, CV_16SC2, false);
    benchmark::ClobberMemory();
  }
  CountPixels(state);
}
BENCHMARK(BM_CvBuildMaps)->Name("CvBuildMaps1Thread");

BENCHMARK_TEMPLATE(BM_CvRemap, EBW8, 0)->Name("CvRemap1Thread/BW8/nearest");
BENCHMARK_TEMPLATE(BM_CvRemap, EBW8, 1)->Name("CvRemap1Thread/BW8/bilinear");
BENCHMARK_TEMPLATE(BM_CvRemap, EC24, 0)->Name("CvRemap1Thread/C24/nearest");
BENCHMARK_TEMPLATE(BM_CvRemap, EC24, 1)->Name("CvRemap1Thread/C24/bilinear");
#endif

}  // namespace
