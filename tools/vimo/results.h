// Measurement results as JSON: one object per gauge, shared by `vimo measure` and the studio's
// results table.
#ifndef VIMO_TOOLS_RESULTS_H
#define VIMO_TOOLS_RESULTS_H

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "vimo/vimo.h"

namespace vimo_cli {

// The class name of a shape type value ("ELineGauge"), or "" for a value no class has.
const char* ShapeClassName(unsigned type);
// Whether the shape is one of the five gauges.
bool IsGauge(const EShape& shape);
// Every gauge of the tree under root (root included), depth first in slot order.
void CollectGauges(EShape& root, std::vector<EShape*>& gauges);

// The result of the gauge's last measurement:
//   {"gauge": name, "type": class, "found": bool, "geometry": {...} or null,
//    "valid_samples": n, "average_distance": d}
// The geometry is the measured one, in world units with angles in degrees:
//   point gauge      {"x", "y"}                        (the selected transition)
//   line gauge       {"x", "y", "length", "angle", "org": [x, y], "end": [x, y]}
//   circle gauge     {"x", "y", "radius", "diameter", "circularity"}
//   rectangle gauge  {"x", "y", "size_x", "size_y", "angle"}
//   wedge gauge      {"x", "y", "inner_radius", "outer_radius", "org_angle", "amplitude"}
// "x", "y" are the centre. A point gauge has no fit: its valid_samples is the number of
// transitions found and its average_distance 0. Non-finite values are written as null.
// Expects the angle unit to be degrees (the library's default, which the tool keeps).
nlohmann::ordered_json GaugeResult(EShape& gauge);

}  // namespace vimo_cli

#endif
