#include <cmath>

#include "commands.h"
#include "common.h"
#include "exitcodes.h"

using namespace vimo_cli;

namespace {

const double kRadiansPerDegree = 0.017453292519943295;

struct SynthOptions {
  std::string kind;
  std::string output;
  int width = 320, height = 240;
  double pitch = 24, angle = 20, radius = 40;
  int columns = 9, rows = 7;
};

// Grey level of a pixel from the share of its 4 x 4 subsamples inside the shape: edges are
// anti-aliased, so their positions are known to a small fraction of a pixel.
template <class Inside>
EBW8 Shade(int x, int y, Inside inside) {
  int count = 0;
  for (int i = 0; i < 16; ++i)
    count += inside(x - 0.375 + 0.25 * (i % 4), y - 0.375 + 0.25 * (i / 4));
  return static_cast<EBW8>(210 - count * 160 / 16);
}

void Run(const SynthOptions& o) {
  const std::string ext = Extension(o.output);
  if (ext != ".pgm" && ext != ".png")
    throw Failure(kExitUsage, o.output + ": synthetic images are written as .png or .pgm");
  EImage<EBW8> image(o.width, o.height);
  const double cx = (o.width - 1) / 2.0, cy = (o.height - 1) / 2.0;
  const double c = std::cos(o.angle * kRadiansPerDegree), s = std::sin(o.angle * kRadiansPerDegree);
  for (int y = 0; y < o.height; ++y)
    for (int x = 0; x < o.width; ++x) {
      EBW8 grey;
      if (o.kind == "dot-grid") {
        // Dots of diameter 0.6 pitch on a lattice turned by the angle about the centre.
        grey = Shade(x, y, [&](double px, double py) {
          const double u = ((px - cx) * c + (py - cy) * s) / o.pitch,
                       v = ((py - cy) * c - (px - cx) * s) / o.pitch;
          const double du = u - std::round(u), dv = v - std::round(v);
          return std::fabs(std::round(u)) <= (o.columns - 1) / 2.0 &&
                 std::fabs(std::round(v)) <= (o.rows - 1) / 2.0 && du * du + dv * dv < 0.09;
        });
      } else {
        grey = Shade(x, y,
                     [&](double px, double py) { return std::hypot(px - cx, py - cy) < o.radius; });
      }
      image.SetPixel(grey, x, y);
    }
  WriteFileAtomically(o.output, [&](const std::string& temporary) {
    image.Save(temporary.c_str());
    return EGetError() == E_OK;
  });
  Note("wrote " + o.output);
}

}  // namespace

void AddSynthCommand(CLI::App& app) {
  auto o = std::make_shared<SynthOptions>();
  CLI::App* command = app.add_subcommand(
      "synth", "Write a synthetic test image of known geometry: a dot grid or a disc");
  command->footer(
      "dot-grid: columns x rows dark dots of diameter 0.6 pitch on a lattice turned by the angle\n"
      "about the image centre, the middle dot at the centre. disc: a dark disc of the radius at\n"
      "the image centre ((width - 1) / 2, (height - 1) / 2). Edges are anti-aliased.\n"
      "Example:\n  vimo synth dot-grid grid.pgm --pitch 24 --angle 20\n"
      "  vimo calibrate grid.pgm --pitch 10 -o world.vshp");
  command->add_option("KIND", o->kind, "dot-grid or disc")
      ->required()
      ->check(CLI::IsMember({"dot-grid", "disc"}));
  command->add_option("OUTPUT", o->output, "Image to write (.png, .pgm)")->required();
  command->add_option("--width", o->width, "Image width (default 320)")->check(CLI::Range(8, 8192));
  command->add_option("--height", o->height, "Image height (default 240)")
      ->check(CLI::Range(8, 8192));
  command->add_option("--pitch", o->pitch, "Dot pitch in pixels (default 24)")
      ->check(PositiveNumber);
  command->add_option("--angle", o->angle, "Grid angle in degrees (default 20)")
      ->check(CLI::Range(-360.0, 360.0));
  command->add_option("--columns", o->columns, "Dots per row (default 9)")
      ->check(CLI::Range(1, 1000));
  command->add_option("--rows", o->rows, "Rows of dots (default 7)")->check(CLI::Range(1, 1000));
  command->add_option("--radius", o->radius, "Disc radius in pixels (default 40)")
      ->check(PositiveNumber);
  command->callback([o] { Run(*o); });
}
