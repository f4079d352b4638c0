#include "commands.h"
#include "common.h"
#include "exitcodes.h"

using namespace vimo_cli;

namespace {

struct DrawOptions {
  std::string tools;
  std::string image;
  std::string output;
  std::string world;
  bool measure = false;
  BitDepthOptions depth;
};

void Run(const DrawOptions& o) {
  if (!IsOverlayExtension(Extension(o.output)))
    throw Failure(kExitUsage, o.output + ": overlays are written as .png, .ppm or .svg");
  EImage<EBW8> image;
  LoadGreyImage(o.image, o.depth, image);
  std::unique_ptr<EShape> tools = LoadShapeFile(o.tools);
  std::unique_ptr<EWorldShape> world;
  if (!o.world.empty()) {
    world = LoadWorldFile(o.world);
    Reroot(*tools, *world);
  }
  EShape& root = world ? static_cast<EShape&>(*world) : *tools;
  if (o.measure) {
    EOk();
    root.Process(&image, 1);
    EOk();
  }
  SaveOverlay(root, image, o.output, o.measure);
  Note("wrote " + o.output);
}

}  // namespace

void AddDrawCommand(CLI::App& app) {
  auto o = std::make_shared<DrawOptions>();
  CLI::App* command = app.add_subcommand("draw", "Draw a tool tree over an image");
  command->footer(
      "Draws the nominal tools with their tolerance bands; with --measure, also the valid\n"
      "samples and the labelled results.\n"
      "Example:\n  vimo draw tools.vshp part.png -o tools.svg --world world.vshp --measure");
  command->add_option("TOOLS", o->tools, "Tool tree (.vshp)")->required();
  command->add_option("IMAGE", o->image, "Image to draw over")->required();
  command->add_option("-o,--output", o->output, "Overlay (.png, .ppm, .svg)")->required();
  command->add_option("--world", o->world, "Calibrated world (.vshp): draw through it");
  command->add_flag("--measure", o->measure, "Measure first and draw the results too");
  AddBitDepthOptions(command, o->depth);
  command->callback([o] { Run(*o); });
}
