#include "commands.h"
#include "common.h"
#include "exitcodes.h"

using namespace vimo_cli;

namespace {

struct UnwarpOptions {
  std::string image;
  std::string world;
  std::string output;
  bool nearest = false;
  BitDepthOptions depth;
};

void Run(const UnwarpOptions& o) {
  const std::string ext = Extension(o.output);
  if (ext != ".pgm" && ext != ".png")
    throw Failure(kExitUsage, o.output + ": the unwarped image is written as .png or .pgm");
  EImage<EBW8> image;
  LoadGreyImage(o.image, o.depth, image);
  std::unique_ptr<EWorldShape> world = LoadWorldFile(o.world);
  EImage<EBW8> unwarped(image.GetWidth(), image.GetHeight());
  EOk();
  world->Unwarp(&image, &unwarped, o.nearest ? 0 : 1);
  if (EGetError() != E_OK)
    throw Failure(kExitFailure, o.image + ": cannot unwarp (" + TakeErrorText() + ")");
  WriteFileAtomically(o.output, [&](const std::string& temporary) {
    unwarped.Save(temporary.c_str());
    return EGetError() == E_OK;
  });
  Note("wrote " + o.output);
}

}  // namespace

void AddUnwarpCommand(CLI::App& app) {
  auto o = std::make_shared<UnwarpOptions>();
  CLI::App* command =
      app.add_subcommand("unwarp", "Resample an image onto the world plane of a calibration");
  command->footer(
      "The output has the image's size and square pixels of 1 / scale world units; the world\n"
      "origin sits at the optical centre's pixel.\n"
      "Example:\n  vimo unwarp part.png --world world.vshp -o part_unwarped.png");
  command->add_option("IMAGE", o->image, "Camera image")->required();
  command->add_option("--world", o->world, "Calibrated world (.vshp)")->required();
  command->add_option("-o,--output", o->output, "Unwarped image (.png, .pgm)")->required();
  command->add_flag("--nearest", o->nearest, "Nearest-neighbour sampling instead of bilinear");
  AddBitDepthOptions(command, o->depth);
  command->callback([o] { Run(*o); });
}
