// Builds a small shape tree (a frame holding a rectangle grid of circles and a line of points),
// calibrates its world and saves an overlay of it as a PNG into the folder given as argument.
#include <cstdio>
#include <string>

#include "vimo/calibration/worldshape.h"
#include "vimo/drawing/imagedrawadapter.h"
#include "vimo/shapes/circleshape.h"
#include "vimo/shapes/frameshape.h"
#include "vimo/shapes/lineshape.h"
#include "vimo/shapes/pointshape.h"
#include "vimo/shapes/rectangleshape.h"

// Draws the demo tree into an RGB overlay saved at path; returns 0 on success.
int SaveShapeTreeOverlay(const char* path) {
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
  // A world of 4 pixels per millimetre, origin at pixel (60, 60), turned by 5 degrees.
  EWorldShape world(0, 0, 0, 1, 140, 100);
  world.SetCalibrationModes(E_CALIBRATION_SCALED | E_CALIBRATION_SKEWED | E_CALIBRATION_INVERSE);
  world.SetCenter(60, 60);
  world.SetScale(4);
  world.SetAngle(5);

  EFrameShape frame(10, 10, 0, 1, 120, 80);
  frame.Attach(&world);
  frame.SetName("board");
  frame.SetLabeled(1, 0);

  // A 4 x 3 grid of circles over a rectangle; the grid lays them out itself.
  ERectangleShape grid(50, 30, 80, 40, 0);
  grid.Attach(&frame);
  grid.SetAutoArrange(1, 0);
  ECircleShape hole(0, 0, 8, 0, 1);
  hole.Clone(&grid, 4, 3, 0);

  // Five reference points spread along a line.
  ELineShape rail(50, 65, 90, 0);
  rail.Attach(&frame);
  rail.SetAutoArrange(1, 0);
  EPointShape marks[5];
  for (auto& mark : marks) mark.Attach(&rail);

  EImage<EC24> overlay(640, 480);
  Quarnel::ImageDrawAdapter adapter(&overlay);
  adapter.SetPenColor(Quarnel::DrawColor{255, 0, 0});
  world.Draw(&adapter, INS_DRAW_NOMINAL, 1);
  overlay.Save(path);
  return EGetError() == E_OK ? 0 : 1;
}

int main(int argc, char** argv) {
  std::string folder = argc > 1 ? argv[1] : ".";
  std::string path = folder + "/shapes_tree.png";
  if (SaveShapeTreeOverlay(path.c_str()) != 0) {
    std::fprintf(stderr, "shapes_tree: cannot save %s: %s\n", path.c_str(),
                 EGetErrorText(EGetError()));
    return 1;
  }
  std::printf("shapes_tree: wrote %s\n", path.c_str());
  return 0;
}
