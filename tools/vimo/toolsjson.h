// Tool trees as JSON: a shape file's bytes turned into a readable description (classes, names,
// placements, parameters, daughters) and back. Every field of the file has its place in the
// description, so that the bytes written from a description exported from a file are the
// file's bytes. Angles are in degrees, lengths in the units of each shape's mother; fields are
// named after the API's setters.
#ifndef VIMO_TOOLS_TOOLSJSON_H
#define VIMO_TOOLS_TOOLSJSON_H

#include <cstdint>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>
#include <vector>

namespace vimo_cli {

using OrderedJson = nlohmann::ordered_json;

// A description or file that cannot be converted; the message names the field (a JSON path such
// as "root.Daughters[1].Transition.Threshold") and the problem.
class ToolsFormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// {"version": V, "root": {"class": ..., ...}} from a shape file's bytes.
OrderedJson ShapeFileToJson(const std::vector<uint8_t>& file);
// The shape file's bytes from a description. A field left out takes the value a newly
// constructed shape of its class has; "version" defaults to the root class's file version.
std::vector<uint8_t> JsonToShapeFile(const OrderedJson& description);

}  // namespace vimo_cli

#endif
