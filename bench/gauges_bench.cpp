// Measure of a line gauge (100 px, 20 profiles of 21 px) and of a circle gauge (diameter 100,
// default sampling) on a blurred, noisy edge, of a circle gauge on a coin in a photograph, and
// Process of a tree of 50 gauges. With OpenCV, the usual way to measure the same edges beside
// them: Canny on the gauge's region, then cv::fitLine or cv::fitEllipse on the edge pixels.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "../tests/gauges/gauge_test_support.h"
#include "vimo/vimo.h"

#ifdef VIMO_HAVE_OPENCV
#include <opencv2/imgproc.hpp>
#endif

namespace {

const double kPi = 3.14159265358979323846;
const double kLineAngle = 30.0;  // degrees: a slanted edge through (100, 100), dark to bright

EImage<EBW8>& LineImage() {
  static EImage<EBW8> image = [] {
    const double a = (kLineAngle + 90) * kPi / 180;
    return gauge_test::EdgeImage(200, 200, a, 100 * std::cos(a) + 100 * std::sin(a) + 0.3, 60, 160,
                                 1.0, 2.0);
  }();
  return image;
}

EImage<EBW8>& DiscImage() {
  static EImage<EBW8> image = gauge_test::DiscImage(200, 200, 100.3, 99.6, 50, 60, 160, 1.0, 2.0);
  return image;
}

void BM_LineGaugeMeasure(benchmark::State& state) {
  ELineGauge gauge;
  gauge.Set(EPoint(100, 100), 100, static_cast<float>(kLineAngle));
  for (auto _ : state) {
    gauge.Measure(&LineImage());
    benchmark::DoNotOptimize(gauge.GetFound());
  }
  if (!gauge.GetFound() || gauge.GetNumSamples() != 20) state.SkipWithError("not measured");
}
BENCHMARK(BM_LineGaugeMeasure);

void BM_CircleGaugeMeasure(benchmark::State& state) {
  ECircleGauge gauge;
  gauge.Set(EPoint(100, 100), 100, 0.0f, 1);
  for (auto _ : state) {
    gauge.Measure(&DiscImage());
    benchmark::DoNotOptimize(gauge.GetFound());
  }
  if (!gauge.GetFound()) state.SkipWithError("not measured");
}
BENCHMARK(BM_CircleGaugeMeasure);

// 25 circle gauges on a 5 x 5 grid of discs, each with a line gauge daughter on the edge of a
// bar beside its disc, placed relative to the circle: Process of the world measures all 50.
void BM_ProcessTreeOf50(benchmark::State& state) {
  static EImage<EBW8> image = [] {
    std::mt19937 rng(5);
    auto scene = [](double x, double y) {
      const double u = std::fmod(x, 110.0) - 60, v = std::fmod(y, 110.0) - 60;
      return u * u + v * v < 25 * 25 || (u > 35 && u < 48 && std::fabs(v) < 30);
    };
    return gauge_test::RenderImage(560, 560, scene, 170, 60, 1.0, 2.0, rng);
  }();
  EWorldShape world;
  std::vector<ECircleGauge> circles(25);
  std::vector<ELineGauge> lines(25);
  for (int k = 0; k < 25; ++k) {
    circles[k].Attach(&world);
    circles[k].Set(EPoint(60.0f + 110 * (k % 5), 60.0f + 110 * (k / 5)), 50, 0.0f, 1);
    lines[k].Attach(&circles[k]);
    lines[k].Set(EPoint(35, 0), 40, 90);
  }
  for (auto _ : state) world.Process(&image, 1);
  for (int k = 0; k < 25; ++k)
    if (!circles[k].GetFound() || !lines[k].GetFound()) state.SkipWithError("not measured");
}
BENCHMARK(BM_ProcessTreeOf50);

// A coin of radius about 42 px in a real photograph, profiles along the image axes, one per
// pixel of outline (the recommended parameters).
void BM_CircleGaugeOnCoinPhotograph(benchmark::State& state) {
  const char* env = std::getenv("VIMO_TEST_DATA");
  const std::string path =
      std::string(env != nullptr && *env != '\0' ? env : VIMO_TEST_DATA_DEFAULT) +
      "/gauge/simplecv_coins.pgm";
  EImage<EBW8> image;
  image.Load(path.c_str());
  if (EGetError() != E_OK) {
    EOk();
    state.SkipWithError("no photograph in VIMO_TEST_DATA");
    return;
  }
  ECircleGauge gauge;
  gauge.Set(EPoint(355, 131), 84, 0.0f, 1);
  gauge.SetSamplingStep(1);
  gauge.SetHVConstraint(1);
  gauge.SetTransitionChoice(GGE_FROM_END);
  for (auto _ : state) {
    gauge.Measure(&image);
    benchmark::DoNotOptimize(gauge.GetFound());
  }
  if (!gauge.GetFound()) state.SkipWithError("not measured");
}
BENCHMARK(BM_CircleGaugeOnCoinPhotograph);

#ifdef VIMO_HAVE_OPENCV
cv::Mat View(EImage<EBW8>& image) {
  return cv::Mat(image.GetHeight(), image.GetWidth(), CV_8UC1, image.GetImagePtr(),
                 static_cast<size_t>(image.GetRowPitch()));
}

// The line gauge's area (100 x 20 px about the edge) as an upright box, Canny, fitLine.
void BM_OpenCVCannyFitLine(benchmark::State& state) {
  cv::Mat region = View(LineImage())(cv::Rect(52, 67, 96, 66));
  std::vector<cv::Point> edges;
  cv::Mat canny;
  cv::Vec4f line;
  for (auto _ : state) {
    cv::Canny(region, canny, 40, 80);
    cv::findNonZero(canny, edges);
    cv::fitLine(edges, line, cv::DIST_L2, 0, 0.01, 0.01);
    benchmark::DoNotOptimize(line);
  }
  if (edges.size() < 50) state.SkipWithError("no edge");
}
BENCHMARK(BM_OpenCVCannyFitLine);

// The circle gauge's annulus as its bounding box, Canny, fitEllipse.
void BM_OpenCVCannyFitEllipse(benchmark::State& state) {
  cv::Mat region = View(DiscImage())(cv::Rect(40, 40, 121, 121));
  std::vector<cv::Point> edges;
  cv::Mat canny;
  cv::RotatedRect ellipse;
  for (auto _ : state) {
    cv::Canny(region, canny, 40, 80);
    cv::findNonZero(canny, edges);
    ellipse = cv::fitEllipse(edges);
    benchmark::DoNotOptimize(ellipse);
  }
  if (edges.size() < 50) state.SkipWithError("no edge");
}
BENCHMARK(BM_OpenCVCannyFitEllipse);
#endif

}  // namespace
