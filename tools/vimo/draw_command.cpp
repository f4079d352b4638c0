#include "commands.h"
#include "common.h"
#include "exitcodes.h"

void AddDrawCommand(CLI::App& app) {
  CLI::App* command = app.add_subcommand("draw", "(not yet built)");
  command->callback([] { throw vimo_cli::Failure(vimo_cli::kExitFailure, "draw: not built yet"); });
}
