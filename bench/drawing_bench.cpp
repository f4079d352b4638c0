// Drawing speed on a 1024 x 1024 colour canvas: lines and filled ellipses per second.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "vimo/drawing/imagedrawadapter.h"

#ifdef VIMO_HAVE_OPENCV
#include <opencv2/imgproc.hpp>
#endif

using namespace Quarnel;

namespace {

const int kSize = 1024;

struct Shape {
  int x0, y0, x1, y1;
};

std::vector<Shape> RandomShapes(int count, int maxSize) {
  std::mt19937 random(42);
  std::uniform_int_distribution<int> position(0, kSize - 1), size(1, maxSize);
  std::vector<Shape> shapes;
  for (int i = 0; i < count; ++i)
    shapes.push_back(Shape{position(random), position(random), size(random), size(random)});
  return shapes;
}

// Lines between random points of the canvas (about 340 pixels long on average).
void BM_Lines(benchmark::State& state) {
  EImage<EC24> canvas(kSize, kSize);
  ImageDrawAdapter draw(&canvas);
  std::mt19937 random(1);
  std::uniform_int_distribution<int> position(0, kSize - 1);
  std::vector<Shape> lines;
  for (int i = 0; i < 1024; ++i)
    lines.push_back(Shape{position(random), position(random), position(random), position(random)});
  size_t i = 0;
  for (auto _ : state) {
    const Shape& l = lines[i++ & 1023];
    draw.DrawLine(l.x0, l.y0, l.x1, l.y1, RedColor);
  }
  state.SetItemsProcessed(state.iterations());
  benchmark::DoNotOptimize(canvas.GetImagePtr());
}
BENCHMARK(BM_Lines);

// Lines from far outside the canvas through it: the cost stays that of the visible part.
void BM_LinesClipped(benchmark::State& state) {
  EImage<EC24> canvas(kSize, kSize);
  ImageDrawAdapter draw(&canvas);
  int k = 0;
  for (auto _ : state) {
    int y = k++ & (kSize - 1);
    draw.DrawLine(-2000000000, y - 1000, 2000000000, y + 1000, RedColor);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LinesClipped);

// Filled ellipses with outline, bounding boxes up to state.range(0) pixels wide.
void BM_FilledEllipses(benchmark::State& state) {
  EImage<EC24> canvas(kSize, kSize);
  ImageDrawAdapter draw(&canvas);
  std::vector<Shape> shapes = RandomShapes(1024, static_cast<int>(state.range(0)));
  size_t i = 0;
  for (auto _ : state) {
    const Shape& s = shapes[i++ & 1023];
    draw.FillEllipse(s.x0 - s.x1 / 2, s.y0 - s.y1 / 2, s.x1, s.y1, RedColor, BlueColor);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FilledEllipses)->Arg(16)->Arg(128)->Arg(512);

// Text labels of 20 characters.
void BM_TextBoxes(benchmark::State& state) {
  EImage<EC24> canvas(kSize, kSize);
  ImageDrawAdapter draw(&canvas);
  int k = 0;
  for (auto _ : state) {
    ++k;
    draw.DrawTextBox("Circle12: r=55.0 px", (k * 37) & 1023, (k * 91) & 1023, BlackColor,
                     WhiteColor);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TextBoxes);

#ifdef VIMO_HAVE_OPENCV
// The same work done by OpenCV, for comparison.
void BM_OpenCvLines(benchmark::State& state) {
  cv::Mat canvas(kSize, kSize, CV_8UC3, cv::Scalar(0, 0, 0));
  std::mt19937 random(1);
  std::uniform_int_distribution<int> position(0, kSize - 1);
  std::vector<Shape> lines;
  for (int i = 0; i < 1024; ++i)
    lines.push_back(Shape{position(random), position(random), position(random), position(random)});
  size_t i = 0;
  for (auto _ : state) {
    const Shape& l = lines[i++ & 1023];
    cv::line(canvas, cv::Point(l.x0, l.y0), cv::Point(l.x1, l.y1), cv::Scalar(0, 0, 255), 1,
             cv::LINE_8);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OpenCvLines);

void BM_OpenCvFilledEllipses(benchmark::State& state) {
  cv::Mat canvas(kSize, kSize, CV_8UC3, cv::Scalar(0, 0, 0));
  std::vector<Shape> shapes = RandomShapes(1024, static_cast<int>(state.range(0)));
  size_t i = 0;
  for (auto _ : state) {
    const Shape& s = shapes[i++ & 1023];
    cv::Point centre(s.x0, s.y0);
    cv::Size axes(s.x1 / 2, s.y1 / 2);
    cv::ellipse(canvas, centre, axes, 0, 0, 360, cv::Scalar(255, 0, 0), cv::FILLED, cv::LINE_8);
    cv::ellipse(canvas, centre, axes, 0, 0, 360, cv::Scalar(0, 0, 255), 1, cv::LINE_8);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OpenCvFilledEllipses)->Arg(16)->Arg(128)->Arg(512);
#endif

}  // namespace
