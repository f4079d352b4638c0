// Blob labelling, Delaunay triangulation and dot-grid calibration. The scene is a 1024 x 1024
// image of a 20 x 20 grid of dark dots, slightly rotated and tilted. With OpenCV present, its
// labelling (connectedComponentsWithStats on the binarised image), Subdiv2D and
// findCirclesGrid + calibrateCamera run beside them on one thread. The calibration benchmark
// also reports the peak of the heap in use during one call ("peak_bytes").
#include <benchmark/benchmark.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <new>
#include <random>
#include <vector>

#include "vimo/calibration/vexlor_delaunaytriangulation.h"
#include "vimo/calibration/world.h"
#include "vimo/core/codedimage.h"

#ifdef VIMO_HAVE_OPENCV
#include <opencv2/calib3d.hpp>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

// Heap accounting for the peak measurement: every allocation of the program goes through here.
namespace {
std::atomic<long long> g_InUse{0}, g_Peak{0};
}
void* operator new(size_t size) {
  void* p = std::malloc(size + 16);
  if (p == nullptr) throw std::bad_alloc();
  *static_cast<size_t*>(p) = size;
  const long long now = g_InUse += static_cast<long long>(size);
  for (long long peak = g_Peak; now > peak && !g_Peak.compare_exchange_weak(peak, now);) {
  }
  return static_cast<char*>(p) + 16;
}
void operator delete(void* p) noexcept {
  if (p == nullptr) return;
  char* base = static_cast<char*>(p) - 16;
  g_InUse -= static_cast<long long>(*reinterpret_cast<size_t*>(base));
  std::free(base);
}
void operator delete(void* p, size_t) noexcept { operator delete(p); }

namespace {

constexpr int kSize = 1024, kDots = 20;
constexpr double kPitch = 46, kRadius = 13;

// Dot centres: the grid turned by 3 degrees and seen with a mild perspective.
std::vector<std::pair<double, double>> DotCentres() {
  std::vector<std::pair<double, double>> centres;
  const double c = std::cos(0.05), s = std::sin(0.05);
  for (int j = 0; j < kDots; ++j)
    for (int i = 0; i < kDots; ++i) {
      const double x = (i - 9.5) * kPitch, y = (j - 9.5) * kPitch;
      const double w = 1 + 0.00005 * x;
      centres.emplace_back(512 + (c * x - s * y) / w, 512 + (s * x + c * y) / w);
    }
  return centres;
}

struct Scene {
  EImage<EBW8> image{kSize, kSize};
  Scene() {
    // 4 x 4 supersampled coverage, then light 230 and dark 40 with a soft ramp of light.
    for (const auto& d : DotCentres())
      for (int y = static_cast<int>(d.second - kRadius - 2); y <= d.second + kRadius + 2; ++y)
        for (int x = static_cast<int>(d.first - kRadius - 2); x <= d.first + kRadius + 2; ++x) {
          int inside = 0;
          for (int k = 0; k < 16; ++k) {
            const double dx = x - 0.375 + 0.25 * (k % 4) - d.first;
            const double dy = y - 0.375 + 0.25 * (k / 4) - d.second;
            inside += dx * dx + dy * dy < kRadius * kRadius;
          }
          image.SetPixel(static_cast<EBW8>(inside), x, y);  // coverage in sixteenths for now
        }
    for (int y = 0; y < kSize; ++y)
      for (int x = 0; x < kSize; ++x) {
        EBW8* p = image.GetImagePtr(x, y);
        const double light = 200 + 30.0 * x / kSize;
        *p = static_cast<EBW8>(light - (light - 40) * (*p) / 16.0);
      }
  }
};

Scene& GetScene() {
  static Scene scene;
  return scene;
}

void LabelWithCentres(benchmark::State& state, int threshold) {
  Scene& scene = GetScene();
  ECodedImage coded;  // built again each time, as OpenCV fills the same output images
  for (auto _ : state) {
    coded.SetThreshold(threshold);
    coded.BuildObjects(&scene.image);
    coded.SelectAllObjects();
    coded.AnalyseObjects(E_FEATURE_GRAVITY_CENTER_X, E_FEATURE_GRAVITY_CENTER_Y, 0);
    benchmark::DoNotOptimize(coded.GetFirstObjPtr());
  }
}
void BM_VimoLabelFixedThreshold(benchmark::State& state) { LabelWithCentres(state, 128); }
void BM_VimoLabelOtsu(benchmark::State& state) { LabelWithCentres(state, -1); }
BENCHMARK(BM_VimoLabelFixedThreshold)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VimoLabelOtsu)->Unit(benchmark::kMillisecond);

std::vector<double> RandomPoints(unsigned n, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> u(0, 4000);
  std::vector<double> xy(2 * n);
  for (double& v : xy) v = u(random);
  return xy;
}

void BM_VimoDelaunay100k(benchmark::State& state) {
  const std::vector<double> xy = RandomPoints(100000, 5);
  std::vector<double> x(xy.begin(), xy.begin() + 100000), y(xy.begin() + 100000, xy.end());
  for (auto _ : state) {
    std::vector<uint32_t> triangles;
    EDelaunayTriangulate(x.data(), y.data(), 100000, triangles);
    benchmark::DoNotOptimize(triangles.data());
  }
}
BENCHMARK(BM_VimoDelaunay100k)->Unit(benchmark::kMillisecond);

void BM_VimoAutoCalibrateDotGrid(benchmark::State& state) {
  Scene& scene = GetScene();
  long long peak = 0;
  unsigned matched = 0;
  for (auto _ : state) {
    EWorld world;
    world.SetSensorSize(kSize, kSize);
    const long long before = g_InUse;
    g_Peak = before;
    world.AutoCalibrateDotGrid(&scene.image, 1, 1, 0);
    peak = g_Peak - before;
    matched = world.GetMatchedCount();
  }
  state.counters["peak_bytes"] = static_cast<double>(peak);
  state.counters["matched"] = matched;
}
BENCHMARK(BM_VimoAutoCalibrateDotGrid)->Unit(benchmark::kMillisecond);

#ifdef VIMO_HAVE_OPENCV
cv::Mat SceneMat() {
  Scene& scene = GetScene();
  return cv::Mat(kSize, kSize, CV_8UC1, scene.image.GetImagePtr(), scene.image.GetRowPitch());
}

void BM_OpenCvLabel(benchmark::State& state) {
  cv::setNumThreads(1);
  cv::Mat binary;
  cv::threshold(SceneMat(), binary, 128, 255, cv::THRESH_BINARY_INV);
  cv::Mat labels, stats, centroids;
  for (auto _ : state) {
    const int n = cv::connectedComponentsWithStats(binary, labels, stats, centroids, 8, CV_32S);
    benchmark::DoNotOptimize(n);
  }
}
BENCHMARK(BM_OpenCvLabel)->Unit(benchmark::kMillisecond);

void BM_OpenCvSubdiv2D100k(benchmark::State& state) {
  cv::setNumThreads(1);
  const std::vector<double> xy = RandomPoints(100000, 5);
  std::vector<cv::Point2f> points;
  for (unsigned i = 0; i < 100000; ++i)
    points.emplace_back(static_cast<float>(xy[i]), static_cast<float>(xy[100000 + i]));
  for (auto _ : state) {
    cv::Subdiv2D subdiv(cv::Rect(0, 0, 4001, 4001));
    subdiv.insert(points);
    benchmark::DoNotOptimize(&subdiv);
  }
}
BENCHMARK(BM_OpenCvSubdiv2D100k)->Unit(benchmark::kMillisecond);

void BM_OpenCvCirclesGridAndCalibrate(benchmark::State& state) {
  cv::setNumThreads(1);
  cv::Mat image = SceneMat();
  std::vector<cv::Point3f> object;
  for (int j = 0; j < kDots; ++j)
    for (int i = 0; i < kDots; ++i)
      object.emplace_back(static_cast<float>(i), static_cast<float>(j), 0.0f);
  int found = 0;
  for (auto _ : state) {
    std::vector<cv::Point2f> centres;
    found = cv::findCirclesGrid(image, cv::Size(kDots, kDots), centres,
                                cv::CALIB_CB_SYMMETRIC_GRID | cv::CALIB_CB_CLUSTERING);
    if (!found) continue;
    cv::Mat camera, distortion;
    std::vector<cv::Mat> rvecs, tvecs;
    cv::calibrateCamera(std::vector<std::vector<cv::Point3f>>{object},
                        std::vector<std::vector<cv::Point2f>>{centres}, image.size(), camera,
                        distortion, rvecs, tvecs);
    benchmark::DoNotOptimize(camera.data);
  }
  state.counters["found"] = found;
}
BENCHMARK(BM_OpenCvCirclesGridAndCalibrate)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
