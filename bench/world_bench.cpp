// World model: cost of one mapping per family (both directions) and of a calibration from 400
// landmarks per family.
#include <benchmark/benchmark.h>

#include <vector>

#include "vimo/calibration/world.h"

#ifdef VIMO_HAVE_OPENCV
#include <opencv2/calib3d.hpp>
#include <opencv2/core.hpp>
#endif

namespace {

struct Family {
  const char* name;
  unsigned int modes;
};

const Family kFamilies[] = {
    {"raw", 0x0001},         {"plain", 0x1000},         {"scaled", 0x0004},
    {"anisotropic", 0x000C}, {"skewed", 0x001C},        {"tilted", 0x003C},
    {"radial", 0x0044},      {"radial+skewed", 0x005C}, {"tilted+radial", 0x007C},
    {"bilinear", 0x0100},    {"quadratic", 0x0200},
};

// A camera with every parameter set; the mode word chooses which of them the family uses.
EWorld Camera(unsigned int modes) {
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
  EWorld w;
  w.SetSensorSize(640, 480);
  w.SetCenter(330, 250);
  w.SetScale(5);
  w.SetRatio(-1.1f);
  w.SetAngle(8);
  w.SetPerspective(10, -6, 0.004f);
  w.SetDistortion(2e-7f, 0);
  w.SetCalibrationModes(modes & 0x0300 ? 0x007C : modes);
  if (modes & 0x0300) {
    // The polynomial families get their coefficients from a calibration on the camera.
    EWorld fit;
    for (int i = 0; i < 20; ++i)
      for (int j = 0; j < 20; ++j) {
        const EPoint p(2.0f * i - 19, 2.0f * j - 19);
        fit.AddLandmark(w.WorldToSensor(p), p);
      }
    fit.Calibrate(modes);
    return fit;
  }
  return w;
}

// 1024 points cycled through, so the loop measures the mapping, not the data.
std::vector<EPoint> Points(float scale, float offset) {
  std::vector<EPoint> points;
  for (int i = 0; i < 32; ++i)
    for (int j = 0; j < 32; ++j) points.emplace_back(scale * i + offset, scale * j + offset);
  return points;
}

void BM_WorldToSensor(benchmark::State& state) {
  EWorld w = Camera(kFamilies[state.range(0)].modes);
  state.SetLabel(kFamilies[state.range(0)].name);
  const std::vector<EPoint> points = Points(1.2f, -19);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(w.WorldToSensor(points[i]));
    i = (i + 1) & 1023;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WorldToSensor)->DenseRange(0, 10);

void BM_SensorToWorld(benchmark::State& state) {
  EWorld w = Camera(kFamilies[state.range(0)].modes);
  state.SetLabel(kFamilies[state.range(0)].name);
  const std::vector<EPoint> points = Points(6.0f, 230);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(w.SensorToWorld(points[i]));
    i = (i + 1) & 1023;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SensorToWorld)->DenseRange(0, 10);

void BM_WorldToSensorWithDerivatives(benchmark::State& state) {
  EWorld w = Camera(kFamilies[state.range(0)].modes);
  state.SetLabel(kFamilies[state.range(0)].name);
  const std::vector<EPoint> points = Points(1.2f, -19);
  size_t i = 0;
  float a, b, c, d;
  for (auto _ : state) {
    benchmark::DoNotOptimize(w.WorldToSensor(points[i], a, b, c, d));
    benchmark::DoNotOptimize(a + b + c + d);
    i = (i + 1) & 1023;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WorldToSensorWithDerivatives)->DenseRange(0, 10);

const Family kCalibrated[] = {
    {"scaled", 0x0004},        {"anisotropic", 0x000C}, {"skewed", 0x001C},
    {"tilted", 0x003C},        {"radial", 0x0044},      {"radial+skewed", 0x005C},
    {"tilted+radial", 0x007C}, {"bilinear", 0x0100},    {"quadratic", 0x0200},
};

// 400 landmarks (a 20 x 20 grid) from the full camera.
EWorld Landmarks() {
  EWorld camera = Camera(0x007C);
  EWorld w;
  w.SetSensorSize(640, 480);
  for (int i = 0; i < 20; ++i)
    for (int j = 0; j < 20; ++j) {
      const EPoint p(2.0f * i - 19, 2.0f * j - 19);
      w.AddLandmark(camera.WorldToSensor(p), p);
    }
  return w;
}

void BM_Calibrate400(benchmark::State& state) {
  const Family& f = kCalibrated[state.range(0)];
  state.SetLabel(f.name);
  EWorld w = Landmarks();
  for (auto _ : state) {
    w.Calibrate(f.modes);
    benchmark::DoNotOptimize(w.GetScale());
  }
  w.ComputeCalibrationQualityIndicators();
  state.counters["rms_residual"] = w.GetGridPointsMeanVariation();
}
BENCHMARK(BM_Calibrate400)->DenseRange(0, 8)->Unit(benchmark::kMicrosecond);

#ifdef VIMO_HAVE_OPENCV
// The nearest peer operations: a least-squares homography from the same 400 pairs, and the
// projective mapping of points one at a time.
void BM_OpenCVFindHomography400(benchmark::State& state) {
  EWorld w = Landmarks();
  std::vector<cv::Point2f> world, sensor;
  for (unsigned i = 0; i < w.GetNumLandmarks(); ++i) {
    const ELandmark l = w.GetLandmark(i);
    world.emplace_back(l.WorldPoint.GetX(), l.WorldPoint.GetY());
    sensor.emplace_back(l.SensorPoint.GetX(), l.SensorPoint.GetY());
  }
  for (auto _ : state) benchmark::DoNotOptimize(cv::findHomography(world, sensor, 0));
}
BENCHMARK(BM_OpenCVFindHomography400)->Unit(benchmark::kMicrosecond);

void BM_OpenCVPerspectiveTransform(benchmark::State& state) {
  const cv::Matx33d h(5, 0.1, 330, -0.2, -5.5, 250, 0.0004, -0.0002, 1);
  std::vector<cv::Point2f> in(1024), out(1024);
  for (int i = 0; i < 1024; ++i) in[i] = cv::Point2f(1.2f * (i % 32) - 19, 1.2f * (i / 32) - 19);
  for (auto _ : state) {
    cv::perspectiveTransform(in, out, h);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(state.iterations() * 1024);
}
BENCHMARK(BM_OpenCVPerspectiveTransform);
#endif

}  // namespace
