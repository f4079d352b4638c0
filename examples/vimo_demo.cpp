// The vimo demo: walks through the library on synthetic images and writes its pictures into
// the output folder given as the first argument.
#include <cstdio>
#include <string>

#include "vimo/vimo.h"

namespace {

void ShowGeometry() {
  std::printf("== geometry\n");
  ECircle arc(EPoint(2, 0), EPoint(1, 1), EPoint(0, 0), 0);  // arc through three points
  std::printf("arc: centre (%g, %g) radius %g origin %g %s amplitude %g %s\n", arc.GetCenterX(),
              arc.GetCenterY(), arc.GetRadius(), arc.GetOrgAngle(), EGetAngleUnitName(),
              arc.GetAmplitude(), EGetAngleUnitName());
  EFrame frame(100, 50, 30, 2);  // centre, angle (degrees), scale
  frame.ValidateFrame(nullptr);
  EPoint global = frame.LocalToGlobal(EPoint(10, 0));
  std::printf("local (10, 0) -> global (%.3f, %.3f)\n", global.GetX(), global.GetY());
  EFrame::ResetFit();
  const EPoint locals[] = {EPoint(0, 0), EPoint(10, 0), EPoint(0, 10)};
  for (const EPoint& local : locals) EFrame::AccumulateFit(frame.LocalToGlobal(local), local);
  EFrame fitted;
  fitted.Fit(E_FRAME_FIT_SCALE | E_FRAME_FIT_ANGLE);
  std::printf("fitted frame: centre (%.3f, %.3f) angle %.3f scale %.4f\n", fitted.GetCenterX(),
              fitted.GetCenterY(), fitted.GetAngle(), fitted.GetScale());
}

bool SaveSyntheticImage(const std::string& folder) {
  std::string output = folder + "/vimo_demo.png";
  EImage<EBW8> image(320, 240);
  for (int y = 0; y < image.GetHeight(); ++y)
    for (int x = 0; x < image.GetWidth(); ++x)
      *image.GetImagePtr(x, y) = static_cast<EBW8>(x < 160 ? 40 : 210);
  image.Save(output.c_str());
  if (EGetError() != E_OK) {
    std::fprintf(stderr, "vimo_demo: cannot save %s: %s\n", output.c_str(),
                 EGetErrorText(EGetError()));
    return false;
  }
  std::printf("vimo_demo: wrote %s\n", output.c_str());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder = argc > 1 ? argv[1] : ".";
  ShowGeometry();
  return SaveSyntheticImage(folder) ? 0 : 1;
}
