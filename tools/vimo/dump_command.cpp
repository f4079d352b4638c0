#include <cstdio>

#include "commands.h"
#include "common.h"
#include "exitcodes.h"

void AddDumpCommand(CLI::App& app) {
  CLI::App* command = app.add_subcommand("dump", "Print a shape file's tree as text");
  command->footer("Example:\n  vimo dump tools.vshp");
  auto path = std::make_shared<std::string>();
  command->add_option("FILE", *path, "Shape file (.vshp)")->required();
  command->callback([path] {
    std::unique_ptr<EShape> shape = vimo_cli::LoadShapeFile(*path);
    shape->Dump(stdout, 1);
    std::fflush(stdout);
  });
}
