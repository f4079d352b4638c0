// vimo: the command-line tool. Calibrates cameras from a dot-grid image, measures images with
// tool trees, unwarps, draws and dumps, and converts tool trees between JSON and shape files.
// JSON goes to standard output, messages to standard error.
#include <CLI/CLI.hpp>
#include <iostream>

#include "commands.h"
#include "common.h"
#include "exitcodes.h"

int main(int argc, char** argv) {
  using namespace vimo_cli;
  CLI::App app{
      "vimo: sub-pixel measurement of machine-vision images from the shell.\n"
      "JSON goes to standard output, messages to standard error.",
      "vimo"};
  app.set_version_flag("--version", std::string("vimo ") + VIMO_TOOL_VERSION);
  app.require_subcommand(1);
  app.fallthrough();  // --quiet is accepted after the subcommand too
  bool quiet = false;
  app.add_flag("-q,--quiet", quiet, "No messages or progress on standard error, only failures");
  app.footer(kExitCodesHelp);
  app.parse_complete_callback([&quiet] { SetQuiet(quiet); });

  AddCalibrateCommand(app);
  AddMeasureCommand(app);
  AddUnwarpCommand(app);
  AddDrawCommand(app);
  AddDumpCommand(app);
  AddToolsCommand(app);
  AddSynthCommand(app);
  AddStudioCommand(app);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // Help and version print and succeed; every other parse error is bad usage.
    int code = app.exit(e);
    return code == 0 ? kExitOk : kExitUsage;
  } catch (const Failure& failure) {
    std::cout.flush();
    if (*failure.what() != '\0') std::cerr << "vimo: " << failure.what() << "\n";
    return failure.Code();
  } catch (const std::exception& e) {
    std::cout.flush();
    std::cerr << "vimo: " << e.what() << "\n";
    return kExitFailure;
  }
  return kExitOk;
}
