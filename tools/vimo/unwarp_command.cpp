#include "commands.h"
#include "common.h"
#include "exitcodes.h"

void AddUnwarpCommand(CLI::App& app) {
  CLI::App* command = app.add_subcommand("unwarp", "(not yet built)");
  command->callback(
      [] { throw vimo_cli::Failure(vimo_cli::kExitFailure, "unwarp: not built yet"); });
}
