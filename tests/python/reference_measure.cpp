// Measures a line gauge and a circle gauge on an image file with the parameters given on the
// command line and prints the results, so that the Python tests can compare the module's
// results with the C++ library's on the same image.
// Usage: vimo_py_reference image.pgm lineX lineY length angle tolerance circleX circleY diameter
//        tolerance
#include <cstdio>
#include <cstdlib>

#include "vimo/vimo.h"

int main(int argc, char** argv) {
  if (argc != 11) {
    std::fprintf(stderr, "usage: %s image lx ly length angle tol cx cy diameter tol\n", argv[0]);
    return 2;
  }
  float v[9];
  for (int i = 0; i < 9; ++i) v[i] = std::strtof(argv[i + 2], nullptr);
  EImage<EBW8> image;
  image.Load(argv[1]);
  if (EGetError() != E_OK) {
    std::fprintf(stderr, "%s\n", EGetErrorText(EGetError()));
    return 1;
  }
  ELineGauge line;
  line.Set(EPoint(v[0], v[1]), v[2], v[3]);
  line.SetTolerance(v[4], v[3] + 90.0f);
  line.SetSamplingStep(1);
  line.Measure(&image);
  ELine l = line.GetMeasuredLine();
  std::printf("line %d %.9g %.9g %.9g %.9g %u\n", line.GetFound(), l.GetX(), l.GetY(),
              l.GetLength(), l.GetAngle(), line.GetNumValidSamples());
  ECircleGauge circle;
  circle.Set(EPoint(v[5], v[6]), v[7], 0.0f, 1);
  circle.SetTolerance(v[8], 0.0f);
  circle.SetSamplingStep(1);
  circle.Measure(&image);
  ECircle c = circle.GetMeasuredCircle();
  std::printf("circle %d %.9g %.9g %.9g %u\n", circle.GetFound(), c.GetX(), c.GetY(), c.GetRadius(),
              circle.GetNumValidSamples());
  return EGetError() == E_OK ? 0 : 1;
}
