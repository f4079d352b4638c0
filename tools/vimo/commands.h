// The subcommands of the vimo tool; each Add...Command registers one on the app, with its
// options, help text and the callback that runs it.
#ifndef VIMO_TOOLS_COMMANDS_H
#define VIMO_TOOLS_COMMANDS_H

#include <CLI/CLI.hpp>

void AddCalibrateCommand(CLI::App& app);
void AddMeasureCommand(CLI::App& app);
void AddUnwarpCommand(CLI::App& app);
void AddDrawCommand(CLI::App& app);
void AddDumpCommand(CLI::App& app);
void AddToolsCommand(CLI::App& app);
void AddSynthCommand(CLI::App& app);
void AddStudioCommand(CLI::App& app);

#endif
