#include "commands.h"
#include "common.h"
#include "exitcodes.h"

void AddMeasureCommand(CLI::App& app) {
  CLI::App* command = app.add_subcommand("measure", "(not yet built)");
  command->callback(
      [] { throw vimo_cli::Failure(vimo_cli::kExitFailure, "measure: not built yet"); });
}
