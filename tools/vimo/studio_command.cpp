// vimo studio: edits a tool tree over an image in the browser, through a server on the
// loopback interface that prints its address and opens nothing else.
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>

#include "commands.h"
#include "common.h"
#include "exitcodes.h"
#ifdef VIMO_HAVE_STUDIO
#include "studio/studio_server.h"
#include "studio/studio_session.h"
#endif

namespace {

struct StudioOptions {
  std::string image, tools, world;
  int port = 0;
  vimo_cli::BitDepthOptions depth;
};

#ifdef VIMO_HAVE_STUDIO

vimo_studio::StudioServer* g_RunningServer = nullptr;

void StopOnSignal(int) {
  if (g_RunningServer) g_RunningServer->Stop();
}

void RunStudio(const StudioOptions& options) {
  EImage<EBW8> image;
  vimo_cli::LoadGreyImage(options.image, options.depth, image);
  std::unique_ptr<vimo_studio::StudioSession> session;
  try {
    session = std::make_unique<vimo_studio::StudioSession>(
        vimo_studio::StudioFiles{options.image, options.tools, options.world}, image);
  } catch (const std::runtime_error& e) {
    throw vimo_cli::Failure(vimo_cli::kExitBadInput, e.what());
  }
  vimo_studio::StudioServer server(*session);
  if (server.Bind(options.port) < 0)
    throw vimo_cli::Failure(vimo_cli::kExitFailure,
                            "cannot listen on 127.0.0.1:" + std::to_string(options.port));
  std::printf("%s\n", server.Url().c_str());
  std::fflush(stdout);
  vimo_cli::Note("vimo studio: open the address above in a browser; Ctrl-C stops the server");
  g_RunningServer = &server;
  std::signal(SIGINT, StopOnSignal);
  std::signal(SIGTERM, StopOnSignal);
  const bool served = server.Run();
  g_RunningServer = nullptr;
  if (!served) throw vimo_cli::Failure(vimo_cli::kExitFailure, "the server stopped on an error");
}
#else
void RunStudio(const StudioOptions&) {
  throw vimo_cli::Failure(vimo_cli::kExitFailure, "this vimo was built without the studio");
}
#endif

}  // namespace

void AddStudioCommand(CLI::App& app) {
  auto options = std::make_shared<StudioOptions>();
  CLI::App* command = app.add_subcommand(
      "studio",
      "Edit a tool tree over an image in the browser: add, drag, tune, measure and save gauges.\n"
      "Serves one page on 127.0.0.1 and prints its address, with a random token that every\n"
      "request must carry; only the files named here are read or written.\n"
      "Example: vimo studio part.png tools.vshp --world world.vshp");
  command->add_option("IMAGE", options->image, "The image to measure (PGM, PNG, ...)")
      ->required()
      ->check(CLI::ExistingFile);
  command->add_option("TOOLS", options->tools,
                      "The tool file: loaded when it exists, written by Save (default: none, "
                      "saving is then refused)");
  command->add_option("--world", options->world, "A world shape file giving the calibration")
      ->check(CLI::ExistingFile);
  command->add_option("--port", options->port, "Port to listen on (default: a free one)")
      ->check(CLI::Range(0, 65535));
  vimo_cli::AddBitDepthOptions(command, options->depth);
  command->callback([options] { RunStudio(*options); });
}
