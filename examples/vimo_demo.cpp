// The vimo demo: synthesizes an image and saves it into the output folder (first argument).
#include <cstdio>
#include <string>

#include "vimo/vimo.h"

int main(int argc, char** argv) {
  std::string folder = argc > 1 ? argv[1] : ".";
  std::string output = folder + "/vimo_demo.png";
  EImage<EBW8> image(320, 240);
  for (int y = 0; y < image.GetHeight(); ++y)
    for (int x = 0; x < image.GetWidth(); ++x)
      *image.GetImagePtr(x, y) = static_cast<EBW8>(x < 160 ? 40 : 210);
  image.Save(output.c_str());
  if (EGetError() != E_OK) {
    std::fprintf(stderr, "vimo_demo: cannot save %s: %s\n", output.c_str(),
                 EGetErrorText(EGetError()));
    return 1;
  }
  std::printf("vimo_demo: wrote %s\n", output.c_str());
  return 0;
}
