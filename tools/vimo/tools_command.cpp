#include "commands.h"
#include "common.h"
#include "exitcodes.h"

void AddToolsCommand(CLI::App& app) {
  CLI::App* command = app.add_subcommand("tools", "(not yet built)");
  command->callback(
      [] { throw vimo_cli::Failure(vimo_cli::kExitFailure, "tools: not built yet"); });
}
