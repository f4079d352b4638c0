#include "results.h"

#include <cmath>

namespace vimo_cli {
namespace {

const double kDegreesPerRadian = 57.29577951308232;

nlohmann::ordered_json Number(double value) {
  if (!std::isfinite(value)) return nullptr;
  return value;
}

// Maps points of the gauge's mother's coordinates to world coordinates. The frame chain is a
// similarity (possibly mirrored), so one scale and one rotation describe it.
class ToWorld {
 public:
  explicit ToWorld(EShape& gauge) : m_Mother(gauge.GetMother()) {}
  EPoint Point(EPoint p) const { return m_Mother != nullptr ? m_Mother->LocalToWorld(p) : p; }
  // Length of a local vector of length `length` from `at`, in world units.
  double Length(EPoint at, double length) const {
    EPoint a = Point(at), b = Point(EPoint(at.GetX() + 1.0f, at.GetY()));
    return length * std::hypot(b.GetX() - a.GetX(), b.GetY() - a.GetY());
  }
  // World direction (degrees) of a local direction (radians) taken at `at`.
  double Angle(EPoint at, double radians) const {
    EPoint a = Point(at);
    EPoint b = Point(EPoint(at.GetX() + static_cast<float>(std::cos(radians)),
                            at.GetY() + static_cast<float>(std::sin(radians))));
    return std::atan2(b.GetY() - a.GetY(), b.GetX() - a.GetX()) * kDegreesPerRadian;
  }
  // Whether the chain mirrors (turns counter-clockwise arcs into clockwise ones).
  bool Mirrored(EPoint at) const {
    EPoint a = Point(at), bx = Point(EPoint(at.GetX() + 1.0f, at.GetY())),
           by = Point(EPoint(at.GetX(), at.GetY() + 1.0f));
    double cross = double(bx.GetX() - a.GetX()) * (by.GetY() - a.GetY()) -
                   double(bx.GetY() - a.GetY()) * (by.GetX() - a.GetX());
    return cross < 0;
  }

 private:
  EShape* m_Mother;
};

nlohmann::ordered_json Pair(EPoint p) { return {Number(p.GetX()), Number(p.GetY())}; }

nlohmann::ordered_json Centre(const ToWorld& world, EPoint local) {
  EPoint p = world.Point(local);
  return {{"x", Number(p.GetX())}, {"y", Number(p.GetY())}};
}

// Angles below are read in radians from the geometry's raw storage, whatever the unit set.
nlohmann::ordered_json LineGeometry(const ToWorld& world, const ELine& line) {
  nlohmann::ordered_json g = Centre(world, line.GetCenter());
  EPoint org = world.Point(line.GetOrg()), end = world.Point(line.GetEnd());
  g["length"] = Number(std::hypot(end.GetX() - org.GetX(), end.GetY() - org.GetY()));
  g["angle"] = Number(world.Angle(line.GetCenter(), line.GetRawAngle()));
  g["org"] = Pair(org);
  g["end"] = Pair(end);
  return g;
}

nlohmann::ordered_json CircleGeometry(const ToWorld& world, const ECircle& circle,
                                      float circularity) {
  nlohmann::ordered_json g = Centre(world, circle.GetCenter());
  double radius = world.Length(circle.GetCenter(), circle.GetRadius());
  g["radius"] = Number(radius);
  g["diameter"] = Number(2 * radius);
  g["circularity"] = Number(circularity);
  return g;
}

nlohmann::ordered_json RectangleGeometry(const ToWorld& world, const ERectangle& rectangle) {
  nlohmann::ordered_json g = Centre(world, rectangle.GetCenter());
  g["size_x"] = Number(world.Length(rectangle.GetCenter(), rectangle.GetSizeX()));
  g["size_y"] = Number(world.Length(rectangle.GetCenter(), rectangle.GetSizeY()));
  g["angle"] = Number(world.Angle(rectangle.GetCenter(), rectangle.GetRawAngle()));
  return g;
}

nlohmann::ordered_json WedgeGeometry(const ToWorld& world, const EWedge& wedge) {
  EPoint c = wedge.GetCenter();
  nlohmann::ordered_json g = Centre(world, c);
  g["inner_radius"] = Number(world.Length(c, wedge.GetInnerRadius()));
  g["outer_radius"] = Number(world.Length(c, wedge.GetOuterRadius()));
  g["org_angle"] = Number(world.Angle(c, wedge.GetRawAngle()));
  double amplitude = wedge.GetAmplitude();  // degrees, the unit the tool keeps
  g["amplitude"] = Number(world.Mirrored(c) ? -amplitude : amplitude);
  return g;
}

}  // namespace

const char* ShapeClassName(unsigned type) {
  switch (type) {
    case INS_SHAPE_TYPE_POINT_SHAPE: return "EPointShape";
    case INS_SHAPE_TYPE_LINE_SHAPE: return "ELineShape";
    case INS_SHAPE_TYPE_CIRCLE_SHAPE: return "ECircleShape";
    case INS_SHAPE_TYPE_WEDGE_SHAPE: return "EWedgeShape";
    case INS_SHAPE_TYPE_RECTANGLE_SHAPE: return "ERectangleShape";
    case INS_SHAPE_TYPE_FRAME_SHAPE: return "EFrameShape";
    case INS_SHAPE_TYPE_WORLD_SHAPE: return "EWorldShape";
    case INS_SHAPE_TYPE_POINT_GAUGE: return "EPointGauge";
    case INS_SHAPE_TYPE_LINE_GAUGE: return "ELineGauge";
    case INS_SHAPE_TYPE_CIRCLE_GAUGE: return "ECircleGauge";
    case INS_SHAPE_TYPE_RECTANGLE_GAUGE: return "ERectangleGauge";
    case INS_SHAPE_TYPE_BGA_BALL: return "EBGABall";
    case INS_SHAPE_TYPE_BGA_ARRAY: return "EBGAArray";
    case INS_SHAPE_TYPE_BGA_COMPONENT: return "EBGAComponent";
    case INS_SHAPE_TYPE_WEDGE_GAUGE: return "EWedgeGauge";
    default: return "";
  }
}

bool IsGauge(const EShape& shape) {
  switch (shape.GetType()) {
    case INS_SHAPE_TYPE_POINT_GAUGE:
    case INS_SHAPE_TYPE_LINE_GAUGE:
    case INS_SHAPE_TYPE_CIRCLE_GAUGE:
    case INS_SHAPE_TYPE_RECTANGLE_GAUGE:
    case INS_SHAPE_TYPE_WEDGE_GAUGE: return true;
    default: return false;
  }
}

void CollectGauges(EShape& root, std::vector<EShape*>& gauges) {
  if (IsGauge(root)) gauges.push_back(&root);
  const unsigned slots = root.GetIndexed() ? root.GetMaxDaughters() : root.GetNumDaughters();
  for (unsigned i = 0; i < slots; ++i) {
    EShape* daughter = root.GetDaughter(i);
    if (daughter != nullptr) CollectGauges(*daughter, gauges);
  }
}

nlohmann::ordered_json GaugeResult(EShape& gauge) {
  nlohmann::ordered_json result;
  const char* name = gauge.GetName();
  result["gauge"] = name != nullptr ? name : "";
  result["type"] = ShapeClassName(gauge.GetType());
  const bool found = gauge.GetFound() != 0;
  result["found"] = found;
  ToWorld world(gauge);
  nlohmann::ordered_json geometry = nullptr;
  unsigned validSamples = 0;
  double averageDistance = 0;
  if (auto* point = dynamic_cast<EPointGauge*>(&gauge)) {
    validSamples = point->GetNumPeaks();
    if (found) {
      EPoint p = point->GetMeasuredPoint();
      geometry = Centre(world, p);
    }
  } else if (auto* fitted = dynamic_cast<EGauge*>(&gauge)) {
    validSamples = fitted->GetNumValidSamples();
    averageDistance = fitted->GetAverageDistance();
    if (found) {
      if (auto* line = dynamic_cast<ELineGauge*>(&gauge))
        geometry = LineGeometry(world, line->GetMeasuredLine());
      else if (auto* circle = dynamic_cast<ECircleGauge*>(&gauge))
        geometry =
            CircleGeometry(world, circle->GetMeasuredCircle(), circle->GetMeasuredCircularity());
      else if (auto* rectangle = dynamic_cast<ERectangleGauge*>(&gauge))
        geometry = RectangleGeometry(world, rectangle->GetMeasuredRectangle());
      else if (auto* wedge = dynamic_cast<EWedgeGauge*>(&gauge))
        geometry = WedgeGeometry(world, wedge->GetMeasuredWedge());
    }
    // The average distance is in the gauge's coordinates; report it in world units.
    averageDistance = world.Length(EPoint(0, 0), averageDistance);
  }
  result["geometry"] = geometry;
  result["valid_samples"] = validSamples;
  result["average_distance"] = Number(averageDistance);
  return result;
}

}  // namespace vimo_cli
