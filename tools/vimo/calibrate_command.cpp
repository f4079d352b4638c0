#include <cmath>
#include <iostream>
#include <nlohmann/json.hpp>

#include "commands.h"
#include "common.h"
#include "exitcodes.h"

using namespace vimo_cli;

namespace {

struct CalibrateOptions {
  std::string image;
  float pitchX = 0;
  float pitchY = 0;
  std::string output;
  std::string overlay;
  bool quadratic = false;
  BitDepthOptions depth;
};

nlohmann::ordered_json ModeNames(unsigned modes) {
  static const struct {
    unsigned bit;
    const char* name;
  } kNames[] = {{0x0001, "raw"},         {0x0002, "inverse"},    {0x0004, "scaled"},
                {0x0008, "anisotropic"}, {0x0010, "skewed"},     {0x0020, "tilted"},
                {0x0040, "radial"},      {0x0080, "radial2"},    {0x0100, "bilinear"},
                {0x0200, "quadratic"},   {0x0800, "polynomial"}, {0x1000, "user"}};
  nlohmann::ordered_json names = nlohmann::ordered_json::array();
  for (const auto& n : kNames)
    if (modes & n.bit) names.push_back(n.name);
  return names;
}

nlohmann::ordered_json Finite(double value) {
  if (!std::isfinite(value)) return nullptr;
  return value;
}

void Run(CalibrateOptions& o) {
  if (o.pitchY == 0) o.pitchY = o.pitchX;
  if (!o.overlay.empty() && !IsOverlayExtension(Extension(o.overlay)))
    throw Failure(kExitUsage, o.overlay + ": overlays are written as .png, .ppm or .svg");
  EImage<EBW8> image;
  LoadGreyImage(o.image, o.depth, image);
  EWorldShape world;
  // The tilted models turn about the optical centre, which the sensor size puts in the middle.
  world.SetSensorSize(image.GetWidth(), image.GetHeight());
  EOk();
  const unsigned modes = world.AutoCalibrateDotGrid(&image, o.pitchX, o.pitchY, o.quadratic);
  const unsigned dots = world.GetNumLandmarks(), matched = world.GetMatchedCount();
  if (matched < 4)
    throw Failure(kExitFailure, o.image + ": no dot grid found (" + std::to_string(dots) +
                                    " dots, " + std::to_string(matched) + " matched)");
  if (EGetError() != E_OK)
    throw Failure(kExitFailure, o.image + ": calibration failed (" + TakeErrorText() + ")");

  // Residuals of the matched dots, both ways: the world point mapped into the image against
  // the dot's centre (pixels), and the dot's centre mapped into the world against its world
  // point (world units).
  double sumPixels = 0, maxPixels = 0, sumWorld = 0, maxWorld = 0;
  unsigned n = 0;
  for (unsigned i = 0; i < dots; ++i) {
    const ELandmark mark = world.GetLandmark(i);
    if (!mark.Matched) continue;
    const EPoint s = world.WorldToSensor(mark.WorldPoint);
    const EPoint w = world.SensorToWorld(mark.SensorPoint);
    const double p =
        std::hypot(s.GetX() - mark.SensorPoint.GetX(), s.GetY() - mark.SensorPoint.GetY());
    const double d =
        std::hypot(w.GetX() - mark.WorldPoint.GetX(), w.GetY() - mark.WorldPoint.GetY());
    sumPixels += p;
    sumWorld += d;
    maxPixels = std::max(maxPixels, p);
    maxWorld = std::max(maxWorld, d);
    ++n;
  }
  EOk();
  const bool succeeded = world.CalibrationSucceeded() != 0;
  EOk();

  WriteFileAtomically(o.output, [&](const std::string& temporary) {
    world.Save(temporary.c_str(), 1);
    return EGetError() == E_OK;
  });
  if (!o.overlay.empty()) {
    const std::string ext = Extension(o.overlay);
    if (ext == ".svg") {
      Quarnel::SvgDrawAdapter svg(image.GetWidth(), image.GetHeight());
      svg.DrawImage(&image, 0, 0, 1.0, Quarnel::DefaultColor);
      svg.SetPenColor(Quarnel::DrawColor{0, 220, 0});
      world.DrawGrid(&svg);
      WriteFileAtomically(o.overlay, [&](const std::string& temporary) {
        svg.Save(temporary.c_str());
        return EGetError() == E_OK;
      });
    } else {
      EImage<EC24> overlay(image.GetWidth(), image.GetHeight());
      Quarnel::ImageDrawAdapter draw(&overlay);
      draw.DrawImage(&image, 0, 0, 1.0, Quarnel::DefaultColor);
      draw.SetPenColor(Quarnel::DrawColor{0, 220, 0});
      world.DrawGrid(&draw);
      WriteFileAtomically(o.overlay, [&](const std::string& temporary) {
        overlay.Save(temporary.c_str());
        return EGetError() == E_OK;
      });
    }
  }

  nlohmann::ordered_json out;
  out["image"] = o.image;
  out["world"] = o.output;
  out["modes"] = ModeNames(modes);
  out["mode_word"] = modes;
  out["dots"] = dots;
  out["matched"] = matched;
  out["pitch"] = {o.pitchX, o.pitchY};
  out["residuals"] = {
      {"pixels", {{"mean", Finite(n ? sumPixels / n : 0)}, {"max", Finite(maxPixels)}}},
      {"world", {{"mean", Finite(n ? sumWorld / n : 0)}, {"max", Finite(maxWorld)}}}};
  out["within_thresholds"] = succeeded;
  out["parameters"] = {
      {"x_resolution", Finite(world.GetXResolution())},
      {"y_resolution", Finite(world.GetYResolution())},
      {"scale", Finite(world.GetScale())},
      {"ratio", Finite(world.GetRatio())},
      {"angle", Finite(world.GetAngle())},
      {"tilt_x", Finite(world.GetTiltXAngle())},
      {"tilt_y", Finite(world.GetTiltYAngle())},
      {"perspective_strength", Finite(world.GetPerspectiveStrength())},
      {"distortion_strength", Finite(world.GetDistortionStrength())},
      {"optical_center", {Finite(world.GetOpticalCenterX()), Finite(world.GetOpticalCenterY())}},
      {"sensor_size", {world.GetSensorWidth(), world.GetSensorHeight()}},
      {"field_size", {Finite(world.GetFieldWidth()), Finite(world.GetFieldHeight())}}};
  EOk();
  std::cout << out.dump(2) << std::endl;
  Note("wrote " + o.output);
}

}  // namespace

void AddCalibrateCommand(CLI::App& app) {
  auto o = std::make_shared<CalibrateOptions>();
  CLI::App* command = app.add_subcommand(
      "calibrate", "Calibrate a camera from one image of a dot grid and write a world shape file");
  command->footer(
      "Prints the chosen calibration modes, the matched dots, the residuals (mean and largest, in\n"
      "pixels and world units) and the recovered parameters as JSON. The dot nearest the grid's\n"
      "centre becomes world (0, 0), world Y points up; angles are in degrees.\n"
      "Example:\n  vimo calibrate target.png --pitch 25 -o world.vshp --overlay grid.png");
  command->add_option("IMAGE", o->image, "Image of the dot grid")->required();
  command->add_option("--pitch", o->pitchX, "Dot pitch along X, in world units")
      ->required()
      ->check(PositiveNumber);
  command->add_option("--pitch-y", o->pitchY, "Dot pitch along Y (default: the X pitch)")
      ->check(PositiveNumber);
  command->add_option("-o,--output", o->output, "World shape file to write (.vshp)")->required();
  command->add_option("--overlay", o->overlay,
                      "Also draw the matched grid over the image (.png, .ppm, .svg)");
  command->add_flag("--quadratic", o->quadratic, "Also try the quadratic polynomial model");
  AddBitDepthOptions(command, o->depth);
  command->callback([o] { Run(*o); });
}
