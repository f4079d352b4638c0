#include "commands.h"
#include "common.h"
#include "exitcodes.h"

void AddCalibrateCommand(CLI::App& app) {
  CLI::App* command = app.add_subcommand("calibrate", "(not yet built)");
  command->callback(
      [] { throw vimo_cli::Failure(vimo_cli::kExitFailure, "calibrate: not built yet"); });
}
