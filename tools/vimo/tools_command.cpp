#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>

#include "commands.h"
#include "common.h"
#include "exitcodes.h"
#include "toolsjson.h"

using namespace vimo_cli;

namespace {

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Failure(kExitBadInput, path + ": cannot open");
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
  if (in.bad()) throw Failure(kExitBadInput, path + ": read failed");
  return bytes;
}

void Export(const std::string& input, const std::string& output) {
  OrderedJson description;
  try {
    description = ShapeFileToJson(ReadWholeFile(input));
  } catch (const ToolsFormatError& e) {
    throw Failure(kExitBadInput, input + ": " + e.what());
  }
  const std::string text = description.dump(2) + "\n";
  if (output.empty() || output == "-") {
    std::cout << text;
    return;
  }
  WriteFileAtomically(output, [&](const std::string& temporary) {
    std::ofstream out(temporary, std::ios::binary);
    out << text;
    out.close();
    return bool(out);
  });
}

void Import(const std::string& input, const std::string& output) {
  std::ifstream in(input, std::ios::binary);
  if (!in) throw Failure(kExitBadInput, input + ": cannot open");
  OrderedJson description;
  try {
    description = OrderedJson::parse(in);
  } catch (const nlohmann::json::parse_error& e) {
    throw Failure(kExitBadInput, input + ": not JSON (" + e.what() + ")");
  }
  std::vector<uint8_t> bytes;
  try {
    bytes = JsonToShapeFile(description);
  } catch (const ToolsFormatError& e) {
    throw Failure(kExitBadInput, input + ": " + e.what());
  }
  WriteFileAtomically(output, [&](const std::string& temporary) {
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fclose(file) == 0 && ok;
    if (!ok) return false;
    // The library loads what was written, so that a description it would refuse (a sampling
    // step of 0, a zoom of 0, a NaN tolerance) is reported here rather than when measuring.
    try {
      LoadShapeFile(temporary);
    } catch (const Failure& failure) {
      std::string message = failure.what();
      size_t reason = message.find(": ");
      throw Failure(kExitBadInput, input + ": the library refuses the tree" +
                                       (reason != std::string::npos ? message.substr(reason) : ""));
    }
    return true;
  });
  Note("wrote " + output);
}

}  // namespace

void AddToolsCommand(CLI::App& app) {
  CLI::App* tools = app.add_subcommand("tools", "Convert tool trees between JSON and shape files");
  tools->require_subcommand(1);

  CLI::App* exporter =
      tools->add_subcommand("export", "Print a shape file's tree as a JSON description");
  exporter->footer(
      "The description holds every field of the file: importing it gives the same bytes.\n"
      "Example:\n  vimo tools export tools.vshp > tools.json");
  auto exportInput = std::make_shared<std::string>();
  auto exportOutput = std::make_shared<std::string>();
  exporter->add_option("TOOLS", *exportInput, "Shape file (.vshp)")->required();
  exporter->add_option("-o,--output", *exportOutput,
                       "Write the JSON here instead of standard output");
  exporter->callback([exportInput, exportOutput] { Export(*exportInput, *exportOutput); });

  CLI::App* importer =
      tools->add_subcommand("import", "Write a shape file from a JSON description");
  importer->footer(
      "Fields left out take the values of a newly constructed shape of their class.\n"
      "Example:\n"
      "  echo '{\"root\": {\"class\": \"ECircleGauge\", \"Name\": \"hole\", \"Center\": [0, 0],\n"
      "        \"Diameter\": 20}}' > hole.json\n"
      "  vimo tools import hole.json -o hole.vshp");
  auto importInput = std::make_shared<std::string>();
  auto importOutput = std::make_shared<std::string>();
  importer->add_option("TOOLS", *importInput, "JSON description")->required();
  importer->add_option("-o,--output", *importOutput, "Shape file to write (.vshp)")->required();
  importer->callback([importInput, importOutput] { Import(*importInput, *importOutput); });
}
