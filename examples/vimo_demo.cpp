// The vimo demo: walks through the library on synthetic images and writes its pictures into
// the output folder given as the first argument.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "vimo/vimo.h"
#include "../bench/gauge_images.h"

#ifndef VIMO_TEST_DATA_DEFAULT
#define VIMO_TEST_DATA_DEFAULT "../shared/data"
#endif

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

// Landmarks of an 11 x 9 grid of 12.5 mm pitch, as the camera sees them.
void AddGridLandmarks(EWorld& camera, EWorld& world) {
  for (int row = -4; row <= 4; ++row)
    for (int column = -5; column <= 5; ++column) {
      EPoint grid(column * 12.5f, row * 12.5f);
      world.AddLandmark(camera.WorldToSensor(grid), grid);
    }
}

// Calibrates a world from landmarks seen through a tilted camera and maps a point both ways.
void ShowCalibration(EWorld& camera, EWorld& world) {
  std::printf("== calibration\n");
  // The "true" camera: 4 px/mm, y up, turned and tilted, with perspective
  camera.SetSensorSize(640, 480);
  camera.SetCenter(330, 250);
  camera.SetScale(4);
  camera.SetRatio(-1.05f);
  camera.SetAngle(8);
  camera.SetPerspective(12, -7, 0.004f);
  camera.SetCalibrationModes(E_CALIBRATION_SCALED | E_CALIBRATION_ANISOTROPIC |
                             E_CALIBRATION_SKEWED | E_CALIBRATION_TILTED);
  world.SetSensorSize(640, 480);
  AddGridLandmarks(camera, world);
  world.Calibrate(E_CALIBRATION_SCALED | E_CALIBRATION_ANISOTROPIC | E_CALIBRATION_SKEWED |
                  E_CALIBRATION_TILTED);
  if (EGetError() != E_OK) {
    std::printf("calibration failed: %s\n", EGetErrorText(EGetError()));
    EOk();
    return;
  }
  world.ComputeCalibrationQualityIndicators();
  std::printf(
      "from %u landmarks: scale %.4f px/mm (true 4), ratio %.4f (-1.05), angle %.3f deg (8)\n",
      world.GetNumLandmarks(), world.GetScale(), world.GetRatio(), world.GetAngle());
  std::printf("tilts %.3f / %.3f deg (12 / -7), perspective %.5f (0.004), mean residual %.2g mm\n",
              world.GetTiltXAngle(), world.GetTiltYAngle(), world.GetPerspectiveStrength(),
              world.GetGridPointsMeanVariation());
  EPoint sensor = world.WorldToSensor(EPoint(40, -30));
  EPoint back = world.SensorToWorld(sensor);
  std::printf("world (40, -30) mm -> sensor (%.3f, %.3f) px -> world (%.4f, %.4f) mm\n",
              sensor.GetX(), sensor.GetY(), back.GetX(), back.GetY());
}

// A checkerboard of 10 mm squares as the camera sees it.
EImage<EBW8> PhotographCheckerboard(EWorld& camera) {
  EImage<EBW8> photo(640, 480);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      EPoint w = camera.SensorToWorld(EPoint(static_cast<float>(x), static_cast<float>(y)));
      int cell =
          static_cast<int>(std::floor(w.GetX() / 10)) + static_cast<int>(std::floor(w.GetY() / 10));
      photo.SetPixel(static_cast<EBW8>((cell & 1) != 0 ? 60 : 200), x, y);
    }
  return photo;
}

// Unwarps the photograph of the checkerboard with the calibrated world: the squares come out
// square again.
bool ShowUnwarp(EWorld& world, EImage<EBW8>& photo, const std::string& folder) {
  std::printf("== unwarping\n");
  EImage<EBW8> unwarped(640, 480);
  EImage<ESubPixel64> table(640, 480);
  world.SetupUnwarp(&table, &photo, 1);        // the model is evaluated once per pixel, here
  world.Unwarp(&table, &photo, &unwarped, 1);  // then each image costs a table walk
  std::string before = folder + "/tilted.png", after = folder + "/unwarped.png";
  photo.Save(before.c_str());
  unwarped.Save(after.c_str());
  if (EGetError() != E_OK) {
    std::fprintf(stderr, "vimo_demo: unwarping failed: %s\n", EGetErrorText(EGetError()));
    return false;
  }
  std::printf("wrote %s and %s\n", before.c_str(), after.c_str());
  return true;
}

// A tool tree in a world shape calibrated from the same landmarks: a frame holding a 4 x 3
// rectangle grid of circles and a line of five points, all in millimetres, drawn over the
// photograph through the perspective calibration.
bool ShowShapeTree(EWorld& camera, EImage<EBW8>& photo, const std::string& folder) {
  std::printf("== shape tree\n");
  EWorldShape world;
  world.SetSensorSize(640, 480);
  AddGridLandmarks(camera, world);
  world.Calibrate(E_CALIBRATION_SCALED | E_CALIBRATION_ANISOTROPIC | E_CALIBRATION_SKEWED |
                  E_CALIBRATION_TILTED);
  EFrameShape board(-30, -20, 0, 1, 20, 20);  // the board's origin, 30 mm left, 20 mm down
  board.Attach(&world);
  board.SetName("board");
  board.SetLabeled(1, 0);
  ERectangleShape grid(40, 20, 60, 30, 0);  // centre (40, 20) mm in the board, 60 x 30 mm
  grid.Attach(&board);
  grid.SetAutoArrange(1, 0);
  ECircleShape hole(0, 0, 8, 0, 1);  // 8 mm holes, cloned into the grid's 4 x 3 slots
  hole.Clone(&grid, 4, 3, 0);
  ELineShape rail(40, 45, 60, 0);
  rail.Attach(&board);
  rail.SetAutoArrange(1, 0);
  EPointShape marks[5];
  for (EPointShape& mark : marks) mark.Attach(&rail);
  EPoint corner = grid.LocalToSensor(EPoint(30, 15));
  std::printf("grid corner (30, 15) mm of the rectangle -> sensor (%.2f, %.2f) px\n", corner.GetX(),
              corner.GetY());

  EImage<EC24> overlay(640, 480);
  Quarnel::ImageDrawAdapter draw(&overlay);
  draw.DrawImage(&photo, 0, 0, 1.0, Quarnel::DefaultColor);
  draw.SetPenColor(Quarnel::RedColor);
  world.Draw(&draw, INS_DRAW_NOMINAL, 1);
  std::string path = folder + "/shape_tree.png";
  overlay.Save(path.c_str());
  if (EGetError() != E_OK) {
    std::fprintf(stderr, "vimo_demo: shape tree failed: %s\n", EGetErrorText(EGetError()));
    return false;
  }
  std::printf("wrote %s\n", path.c_str());
  return true;
}

// A transition detector that measures along a pixel segment (gauges do this for each sample).
class SegmentProbe : public ETransition {
 public:
  using ETransition::Measure;
};

// Finds a slanted step edge at a known sub-pixel position along a horizontal profile.
void ShowTransition() {
  std::printf("== transition detection\n");
  const double slope = 0.25, offset = 80.3;  // edge x = offset + slope * y
  EImage<EBW8> image(200, 100);
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 200; ++x) {
      // Area-weighted pixel: the fraction of [x - 0.5, x + 0.5] right of the edge is bright.
      double edge = offset + slope * y;
      double bright = std::min(1.0, std::max(0.0, x + 0.5 - edge));
      image.SetPixel(static_cast<EBW8>(40 + 160 * bright + 0.5), x, y);
    }
  SegmentProbe probe;
  probe.SetTransitionType(GGE_DARK_TO_BRIGHT);
  probe.SetThickness(3);
  probe.Measure(&image, 60, 50, 130, 50);
  EPoint found = probe.GetMeasuredPoint();
  std::printf("edge on row 50 at x = %.3f (true %.3f), %u peak(s), amplitude %d\n", found.GetX(),
              offset + slope * 50, probe.GetNumPeaks(), probe.GetMeasuredPeak().Amplitude);
}

// A synthetic grey scene (a ramp with a dark disc) with an overlay drawn over it, saved as
// PNG and as zoomable SVG.
bool DrawOverlay(const std::string& folder) {
  std::printf("== drawing\n");
  EImage<EBW8> scene(320, 200);
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 320; ++x) {
      int dx = x - 110, dy = y - 100;
      scene.SetPixel(static_cast<EBW8>(dx * dx + dy * dy < 55 * 55 ? 35 : 90 + 60 * x / 319), x, y);
    }
  EImage<EC24> overlay(320, 200);
  Quarnel::ImageDrawAdapter draw(&overlay);
  draw.SetPenColor(Quarnel::DrawColor{0, 220, 0});  // what DefaultColor means for lines and text
  draw.DrawImage(&scene, 0, 0, 1.0, Quarnel::DefaultColor);
  draw.DrawEllipse(55, 45, 110, 110, Quarnel::DefaultColor);  // circle of radius 55 at (110, 100)
  draw.DrawLine(102, 100, 118, 100, Quarnel::DefaultColor);
  draw.DrawLine(110, 92, 110, 108, Quarnel::DefaultColor);
  draw.DrawArc(40, 30, 140, 140, -2.6, 1.2, Quarnel::DrawColor{255, 220, 0});  // radians
  draw.DrawRectangle(200, 60, 90, 30, Quarnel::RedColor);
  draw.FillRectangle(196, 56, 8, 8, Quarnel::BlackColor, Quarnel::WhiteColor);  // a handle
  draw.DrawTextBox("Circle1: r=55.0 px", 60, 164, Quarnel::BlackColor, Quarnel::WhiteColor);
  draw.DrawTextBox("Bar\nwidth 90\nheight 30", 210, 95, Quarnel::WhiteColor, Quarnel::BlueColor);
  std::string png = folder + "/overlay.png";
  overlay.Save(png.c_str());
  Quarnel::SvgDrawAdapter svg(320, 200);
  svg.DrawImage(&scene, 0, 0, 1.0, Quarnel::DefaultColor);
  svg.DrawEllipse(55, 45, 110, 110, Quarnel::DrawColor{0, 220, 0});
  svg.DrawTextBox("Circle1: r=55.0 px", 60, 164, Quarnel::BlackColor, Quarnel::WhiteColor);
  std::string vector = folder + "/overlay.svg";
  svg.Save(vector.c_str());
  if (EGetError() != E_OK) {
    std::fprintf(stderr, "vimo_demo: cannot write the overlay: %s\n", EGetErrorText(EGetError()));
    return false;
  }
  std::printf("wrote %s and %s\n", png.c_str(), vector.c_str());
  return true;
}

// Calibrates a world from one photograph of a 10 x 8 dot target (25 mm pitch), or from a
// synthetic turned grid when the photographs are absent, and draws the matched grid over it.
bool ShowDotGridCalibration(const std::string& folder) {
  std::printf("== dot-grid calibration\n");
  const char* env = std::getenv("VIMO_TEST_DATA");
  const std::string data = env != nullptr && *env != '\0' ? env : VIMO_TEST_DATA_DEFAULT;
  const std::string path = data + "/calib/boofcv_circle_regular/image00004.pgm";
  EImage<EBW8> image;
  image.Load(path.c_str());
  float pitch = 25;
  if (EGetError() == E_OK) {
    std::printf("%s (image (c) Peter Abeles, BoofCV-Data, CC BY 4.0)\n", path.c_str());
  } else {
    EOk();
    std::printf("no photograph at %s: a synthetic 9 x 7 grid turned by 20 degrees\n", path.c_str());
    pitch = 10;
    image.SetSize(320, 240);
    const float c = std::cos(0.35f), s = std::sin(0.35f);
    for (int y = 0; y < 240; ++y)
      for (int x = 0; x < 320; ++x) {
        const float u = ((x - 160) * c + (y - 120) * s) / 24,
                    v = ((y - 120) * c - (x - 160) * s) / 24;
        const float du = u - std::round(u), dv = v - std::round(v);
        const bool dot = std::fabs(u) < 4.5f && std::fabs(v) < 3.5f && du * du + dv * dv < 0.09f;
        image.SetPixel(dot ? 30 : 210, x, y);
      }
  }
  EWorldShape world(0, 0, 0, 1, 100, 100);
  world.SetSensorSize(image.GetWidth(), image.GetHeight());  // the optical centre of the tilts
  const unsigned int modes = world.AutoCalibrateDotGrid(&image, pitch, pitch, 0);
  if (EGetError() != E_OK) {
    std::printf("dot-grid calibration failed: %s\n", EGetErrorText(EGetError()));
    EOk();
    return true;
  }
  float left = 1e30f, right = -1e30f, bottom = 1e30f, top = -1e30f;
  for (unsigned i = 0; i < world.GetNumLandmarks(); ++i) {
    const ELandmark mark = world.GetLandmark(i);
    if (!mark.Matched) continue;
    left = std::min(left, mark.WorldPoint.GetX()), right = std::max(right, mark.WorldPoint.GetX());
    bottom = std::min(bottom, mark.WorldPoint.GetY()), top = std::max(top, mark.WorldPoint.GetY());
  }
  std::string names = world.DescribeCalibration();  // ", Calibration modes: ..." and polynomials
  names = names.substr(0, names.find('\n'));
  std::printf("%u dots, %u matched: a %.0f x %.0f grid; mode 0x%04X%s\n", world.GetNumLandmarks(),
              world.GetMatchedCount(), (right - left) / pitch + 1, (top - bottom) / pitch + 1,
              modes, names.c_str());
  std::printf("residuals: RMS %.4f, largest %.4f of the pitch; within the thresholds: %s\n",
              world.GetGridPointsMeanVariation(), world.GetGridPointsMaxVariation(),
              world.CalibrationSucceeded() ? "yes" : "no");
  EImage<EC24> overlay(image.GetWidth(), image.GetHeight());
  Quarnel::ImageDrawAdapter draw(&overlay);
  draw.DrawImage(&image, 0, 0, 1.0, Quarnel::DefaultColor);
  draw.SetPenColor(Quarnel::DrawColor{0, 220, 0});
  world.DrawGrid(&draw);
  std::string png = folder + "/dotgrid.png";
  overlay.Save(png.c_str());
  if (EGetError() != E_OK) {
    std::fprintf(stderr, "vimo_demo: cannot write %s: %s\n", png.c_str(),
                 EGetErrorText(EGetError()));
    return false;
  }
  std::printf("wrote %s\n", png.c_str());
  return true;
}

// Measured geometry in world units, and the overlays of a tree of gauges: nominal (with
// tolerance band) in red, samples in blue, results with labels in green.
void PrintLine(const char* what, ELineGauge& gauge, const char* unit) {
  ELine line = gauge.GetMeasuredLine();
  std::printf("%s: %s, %u/%u samples, centre (%.3f, %.3f) %s, angle %.3f %s, mean distance %.3f\n",
              what, gauge.GetFound() ? "found" : "not found", gauge.GetNumValidSamples(),
              gauge.GetNumSamples(), line.GetX(), line.GetY(), unit, line.GetAngle(),
              EGetAngleUnitName(), gauge.GetAverageDistance());
}

void PrintCircle(const char* what, ECircleGauge& gauge, const char* unit) {
  ECircle circle = gauge.GetMeasuredCircle();
  std::printf("%s: %s, %u/%u samples, centre (%.3f, %.3f) %s, diameter %.3f %s\n", what,
              gauge.GetFound() ? "found" : "not found", gauge.GetNumValidSamples(),
              gauge.GetNumSamples(), circle.GetX(), circle.GetY(), unit, circle.GetDiameter(),
              unit);
}

bool SaveGaugeOverlays(EWorldShape& world, EImage<EBW8>& image, const std::string& stem,
                       const char* credit = nullptr) {
  EImage<EC24> overlay(image.GetWidth(), image.GetHeight());
  Quarnel::ImageDrawAdapter draw(&overlay);
  Quarnel::SvgDrawAdapter svg(image.GetWidth(), image.GetHeight());
  draw.DrawImage(&image, 0, 0, 1.0, Quarnel::DefaultColor);
  svg.DrawImage(&image, 0, 0, 1.0, Quarnel::DefaultColor);
  const Quarnel::DrawColor colours[] = {Quarnel::RedColor, Quarnel::BlueColor, {0, 200, 0}};
  const INS_DRAWING_MODES modes[] = {INS_DRAW_NOMINAL, INS_DRAW_VALID_SAMPLES, INS_DRAW_ACTUAL};
  for (int k = 0; k < 3; ++k) {
    draw.SetPenColor(colours[k]);
    world.Draw(&draw, modes[k], 1);
    world.Draw(&svg, modes[k], 1);  // the vector overlay in the surface's own colour
  }
  if (credit != nullptr) {  // the photograph's attribution, on the picture and printed
    draw.DrawTextBox(credit, 4, image.GetHeight() - 30, Quarnel::BlackColor, Quarnel::WhiteColor);
    svg.DrawTextBox(credit, 4, image.GetHeight() - 30, Quarnel::BlackColor, Quarnel::WhiteColor);
    std::printf("photograph: %s\n", credit);
  }
  const std::string png = stem + ".png", vector = stem + ".svg";
  overlay.Save(png.c_str());
  svg.Save(vector.c_str());
  if (EGetError() != E_OK) {
    std::fprintf(stderr, "vimo_demo: cannot write %s: %s\n", png.c_str(),
                 EGetErrorText(EGetError()));
    return false;
  }
  std::printf("wrote %s and %s\n", png.c_str(), vector.c_str());
  return true;
}

// The measurement settings the demo gives every gauge: its mother, a labelled name, the
// profiles' half-length and spacing (mm), and the recommended profiles along the image axes.
template <class Gauge>
void SetUpGauge(Gauge& gauge, EShape* mother, const char* name, float tolerance, float step) {
  gauge.Attach(mother);
  gauge.SetName(name);
  gauge.SetLabeled(1, 0);
  gauge.SetTolerance(tolerance, 0);
  gauge.SetSamplingStep(step);
  gauge.SetHVConstraint(1);
}

// A plate with a straight edge 12 mm below the origin and a hole of 20 mm at (25, 10), seen
// through the tilted camera; measured in a world calibrated from the landmark grid. The hole
// gauge is a daughter of the edge gauge: it is placed relative to the measured edge.
bool ShowGaugesOnSyntheticImage(EWorld& camera, const std::string& folder) {
  std::printf("== gauges on a synthetic image (world units: mm)\n");
  EImage<EBW8> image(640, 480);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      int bright = 0;
      for (int k = 0; k < 16; ++k) {  // 4 x 4 sub-pixels
        EPoint w = camera.SensorToWorld(
            EPoint(x - 0.375f + 0.25f * (k % 4), y - 0.375f + 0.25f * (k / 4)));
        float dx = w.GetX() - 25, dy = w.GetY() - 10;
        bright += w.GetY() > -12 && dx * dx + dy * dy > 100;
      }
      image.SetPixel(static_cast<EBW8>(50 + 150 * bright / 16), x, y);
    }
  EWorldShape world;
  world.SetSensorSize(640, 480);
  AddGridLandmarks(camera, world);
  world.Calibrate(E_CALIBRATION_SCALED | E_CALIBRATION_ANISOTROPIC | E_CALIBRATION_SKEWED |
                  E_CALIBRATION_TILTED);
  ELineGauge edge;
  SetUpGauge(edge, &world, "edge", 3, 1);
  edge.Set(EPoint(0, -11.5f), 50, 0);  // nominally 0.5 mm off
  ECircleGauge hole;
  SetUpGauge(hole, &edge, "hole", 3, 1);
  hole.Set(EPoint(25, 21.5f), 20, 0.0f, 1);  // relative to the edge
  world.Process(&image, 1);
  PrintLine("edge (true y = -12, angle 0)", edge, "mm");
  PrintCircle("hole, relative to the edge (true (25, 22), diameter 20)", hole, "mm");
  EPoint center = edge.LocalToWorld(hole.GetMeasuredCircle().GetCenter());
  std::printf("hole centre in the world: (%.3f, %.3f) mm (true (25, 10))\n", center.GetX(),
              center.GetY());
  return SaveGaugeOverlays(world, image, folder + "/gauges_synthetic");
}

// A coin and the edge of a sheet of paper in real photographs, in a world of an assumed
// 10 px/mm, with a profile per pixel of outline.
bool ShowGaugesOnPhotographs(const std::string& folder) {
  const char* env = std::getenv("VIMO_TEST_DATA");
  std::string data = env != nullptr && *env != '\0' ? env : VIMO_TEST_DATA_DEFAULT;
  std::string coins = data + "/gauge/simplecv_coins.pgm",
              paper = data + "/gauge/boofcv_simple_objects.pgm";
  EImage<EBW8> coinImage, paperImage;
  coinImage.Load(coins.c_str());
  paperImage.Load(paper.c_str());
  if (EGetError() != E_OK) {
    std::printf("== gauges on photographs: skipped (no %s)\n", coins.c_str());
    EOk();
    return true;
  }
  std::printf("== gauges on photographs (world units: mm at an assumed 10 px/mm)\n");
  bool ok = true;
  for (int k = 0; k < 2; ++k) {
    EImage<EBW8>& image = k == 0 ? coinImage : paperImage;
    EWorldShape world;
    world.SetSensorSize(image.GetWidth(), image.GetHeight());
    world.SetScale(10);
    world.SetCalibrationModes(E_CALIBRATION_SCALED);
    if (k == 0) {
      ECircleGauge coin;
      SetUpGauge(coin, &world, "coin", 1, 0.1f);
      coin.Set(EPoint(35.5f, 13.1f), 8.4f, 0.0f, 1);
      coin.SetTransitionChoice(GGE_FROM_END);  // the rim: the last edge going outwards
      coin.SetNumFilteringPasses(2);
      coin.Measure(&image);
      PrintCircle("coin", coin, "mm");
      ok = SaveGaugeOverlays(world, image, folder + "/gauges_coin",
                             "coins.jpg, SimpleCV sample images,\n(c) 2012 Sight Machine, "
                             "BSD-3-Clause; converted to grey") &&
           ok;
    } else {
      ELineGauge sheet;
      SetUpGauge(sheet, &world, "sheet", 1, 0.1f);
      sheet.Set(EPoint(10, 30), 20, 74.6f);
      sheet.SetNumFilteringPasses(2);
      sheet.Measure(&image);
      PrintLine("sheet edge", sheet, "mm");
      ok = SaveGaugeOverlays(world, image, folder + "/gauges_paper",
                             "Images (c) Peter Abeles, BoofCV-Data "
                             "(https://github.com/lessthanoptimal/BoofCV-Data),\nCC BY 4.0. "
                             "Changes: converted to 8-bit grey PGM.") &&
           ok;
    }
  }
  return ok;
}
// Draws gauges over a grey image (nominal bands grey, valid samples blue, results red) and
// saves the overlay.
bool SaveGaugeOverlay(EImage<EBW8>& image, const std::vector<EShape*>& gauges,
                      const std::string& path) {
  EImage<EC24> overlay(image.GetWidth(), image.GetHeight());
  Quarnel::ImageDrawAdapter draw(&overlay);
  draw.DrawImage(&image, 0, 0, 1.0, Quarnel::DefaultColor);
  const struct {
    INS_DRAWING_MODES mode;
    Quarnel::DrawColor color;
  } layers[] = {{INS_DRAW_NOMINAL, Quarnel::GreyColor},
                {INS_DRAW_VALID_SAMPLES, Quarnel::DrawColor{80, 160, 255}},
                {INS_DRAW_ACTUAL, Quarnel::RedColor}};
  for (const auto& layer : layers) {
    draw.SetPenColor(layer.color);
    for (EShape* gauge : gauges) gauge->Draw(&draw, layer.mode, 0);
  }
  overlay.Save(path.c_str());
  if (EGetError() != E_OK) {
    std::fprintf(stderr, "vimo_demo: cannot write %s: %s\n", path.c_str(),
                 EGetErrorText(EGetError()));
    return false;
  }
  std::printf("wrote %s\n", path.c_str());
  return true;
}

void PrintRectangle(const char* what, const ERectangle& r) {
  std::printf("%s: centre (%.2f, %.2f), %.2f x %.2f, angle %.2f deg\n", what, r.GetX(), r.GetY(),
              r.GetSizeX(), r.GetSizeY(), r.GetAngle());
}

void PrintWedge(const char* what, const EWedge& w) {
  std::printf("%s: centre (%.2f, %.2f), radii %.2f to %.2f, from %.2f deg over %.2f deg\n", what,
              w.GetX(), w.GetY(), w.GetInnerRadius(), w.GetOuterRadius(), w.GetOrgAngle(),
              w.GetAmplitude());
}

void SetTolerances(std::vector<ETransition*> transitions, float tolerance) {
  for (ETransition* t : transitions) t->SetTolerance(tolerance, 0);
}

// Rectangle and wedge gauges: a rotated rectangle and a ring sector in millimetres on a
// synthetic image seen through a world of 2 pixels per millimetre (blur 1 pixel, noise 2 grey
// levels), then the squares and the roll of tape of two photographs.
bool ShowRectangleAndWedgeGauges(const std::string& folder) {
  std::printf("== rectangle and wedge gauges\n");
  EWorldShape world;
  gauge_images::ScaleWorld(world, 320, 240, 2);
  const double pi = gauge_images::kPi;
  const gauge_images::Rectangle bar{-35, 4, 25, 15, 22 * pi / 180};
  const gauge_images::Sector arc{40, -5, 10, 20, 30 * pi / 180, 100 * pi / 180};
  std::mt19937 rng(5);
  EImage<EBW8> scene = gauge_images::RenderInWorld(
      world, [&](double x, double y) { return bar(x, y) || arc(x, y); }, 60, 170, 1.0, 2.0, &rng);
  ERectangleGauge box;
  box.Attach(&world);
  box.Set(EPoint(-34, 5), 52, 29, 20);  // placed 1 mm and 2 degrees off
  SetTolerances(
      {&box.GetTransitionx(), &box.GetTransitiony(), &box.GetTransitionX(), &box.GetTransitionY()},
      4);
  box.SetSamplingStep(2);
  box.SetNumFilteringPasses(1);
  EWedgeGauge sector;
  sector.Attach(&world);
  sector.Set(EPoint(41, -4), 20.0f, 10.0f, 32.0f, 97.0f);
  SetTolerances({&sector.GetTransitiona(), &sector.GetTransitionr(), &sector.GetTransitionA(),
                 &sector.GetTransitionR()},
                4);
  sector.SetSamplingStep(2);
  world.Process(&scene, 1);  // measures every active gauge of the tree
  PrintRectangle("rectangle, truth (mm)", ERectangle(EPoint(-35, 4), 50, 30, 22));
  PrintRectangle("rectangle, measured", box.GetMeasuredRectangle());
  PrintWedge("sector, truth (mm)", EWedge(EPoint(40, -5), 20.0f, 10.0f, 30.0f, 100.0f));
  PrintWedge("sector, measured", sector.GetMeasuredWedge());
  if (!SaveGaugeOverlay(scene, {&box, &sector}, folder + "/gauges_rectangle_wedge.png")) return false;

  const char* env = std::getenv("VIMO_TEST_DATA");
  const std::string data = std::string(env != nullptr && *env != '\0' ? env : "../shared/data");
  EImage<EBW8> squares, objects;
  squares.Load((data + "/gauge/boofcv_uneven_lighting_squares.pgm").c_str());
  objects.Load((data + "/gauge/boofcv_simple_objects.pgm").c_str());
  if (EGetError() != E_OK) {
    EOk();
    std::printf("no photographs in %s: skipped\n", data.c_str());
    return true;
  }
  // Printed squares in perspective under uneven light: each gauge starts on a rough guess.
  const float guesses[][3] = {{212, 55, 26},  {273, 74, 30},  {340, 95, 34},  {173, 102, 28},
                              {237, 123, 32}, {306, 147, 37}, {132, 154, 33}, {196, 179, 36},
                              {268, 206, 40}, {87, 212, 36},  {152, 240, 39}, {226, 272, 42}};
  std::vector<ERectangleGauge> gauges(12);
  std::vector<EShape*> drawn;
  unsigned found = 0;
  for (size_t i = 0; i < gauges.size(); ++i) {
    ERectangleGauge& g = gauges[i];
    g.Set(EPoint(guesses[i][0], guesses[i][1]), guesses[i][2], guesses[i][2], 23);
    g.SetSamplingStep(3);
    g.SetNumFilteringPasses(1);
    SetTolerances(
        {&g.GetTransitionx(), &g.GetTransitiony(), &g.GetTransitionX(), &g.GetTransitionY()}, 6);
    g.Measure(&squares);
    found += g.GetFound();
    drawn.push_back(&g);
  }
  std::printf("squares: %u of %zu found\n", found, gauges.size());
  PrintRectangle("largest square (px)", gauges.back().GetMeasuredRectangle());
  if (!SaveGaugeOverlay(squares, drawn, folder + "/gauges_squares.png")) return false;
  // The roll of tape: the whole ring, and a quarter of it by its arcs alone.
  EWedgeGauge ring, quarter;
  ring.Set(EPoint(468, 333), 150.0f, 31.0f, 0.0f, 1);
  quarter.Set(EPoint(468, 333), 150.0f, 31.0f, 200.0f, 90.0f);
  quarter.SetActiveEdges(0xC00);
  for (EWedgeGauge* g : {&ring, &quarter}) {
    SetTolerances(
        {&g->GetTransitiona(), &g->GetTransitionr(), &g->GetTransitionA(), &g->GetTransitionR()},
        12);
    g->SetNumFilteringPasses(2);
    g->Measure(&objects);
  }
  PrintWedge("tape roll (px)", ring.GetMeasuredWedge());
  PrintWedge("quarter of it", quarter.GetMeasuredWedge());
  if (!SaveGaugeOverlay(objects, {&ring, &quarter}, folder + "/gauges_tape.png")) return false;
  std::printf("photographs: Images (c) Peter Abeles, BoofCV-Data, CC BY 4.0; converted to grey\n");
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder = argc > 1 ? argv[1] : ".";
  ShowGeometry();
  EWorld camera, world;
  ShowCalibration(camera, world);
  EImage<EBW8> photo = PhotographCheckerboard(camera);
  if (!ShowUnwarp(world, photo, folder)) return 1;
  if (!ShowShapeTree(camera, photo, folder)) return 1;
  ShowTransition();
  if (!ShowDotGridCalibration(folder)) return 1;
  if (!ShowGaugesOnSyntheticImage(camera, folder) || !ShowGaugesOnPhotographs(folder)) return 1;
  if (!DrawOverlay(folder)) return 1;
  return ShowRectangleAndWedgeGauges(folder) ? 0 : 1;
}
