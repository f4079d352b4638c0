// The concrete shapes: point, line, circle, rectangle, wedge and frame, with their geometry.
#include "vimo_shapes.h"

namespace vimo_python {

void BindConcreteShapes(py::module_& m) {
  DerivedShapeClass<EPointShape, EShape> point(m, "EPointShape", py::multiple_inheritance());
  point.def(py::init<float, float>(), py::arg("x") = 0.0f, py::arg("y") = 0.0f);
  AddPlacement(point);
  Def(point, "Set", &EPointShape::Set, py::arg("center"), py::arg("angle") = 0.0f,
      py::arg("scale") = 1.0f);

  DerivedShapeClass<ELineShape, EShape> line(m, "ELineShape", py::multiple_inheritance());
  line.def(py::init<float, float, float, float>(), py::arg("centerX") = 0.0f,
           py::arg("centerY") = 0.0f, py::arg("length") = 0.0f, py::arg("angle") = 0.0f);
  AddPlacement(line);
  Def(line, "Set", py::overload_cast<EPoint, float, float>(&ELineShape::Set), py::arg("center"),
      py::arg("length"), py::arg("angle") = 0.0f);
  Def(line, "Set", py::overload_cast<EPoint, EPoint>(&ELineShape::Set), py::arg("org"),
      py::arg("end"));
  Def(line, "SetLength", &ELineShape::SetLength);
  Def(line, "GetLength", &ELine::GetLength);
  Def(line, "GetOrg", &ELine::GetOrg);
  Def(line, "GetEnd", &ELine::GetEnd);
  Def(line, "GetPoint", &ELine::GetPoint);

  DerivedShapeClass<ECircleShape, EShape> circle(m, "ECircleShape", py::multiple_inheritance());
  circle.def(py::init<float, float, float, float, int>(), py::arg("centerX") = 0.0f,
             py::arg("centerY") = 0.0f, py::arg("diameter") = 0.0f, py::arg("orgAngle") = 0.0f,
             py::arg("direct") = 1);
  AddPlacement(circle);
  Def(circle, "Set", py::overload_cast<EPoint, float, float, int>(&ECircleShape::Set),
      py::arg("center"), py::arg("diameter"), py::arg("orgAngle") = 0.0f, py::arg("direct") = 1);
  Def(circle, "Set", py::overload_cast<EPoint, float, float, float>(&ECircleShape::Set),
      py::arg("center"), py::arg("diameter"), py::arg("orgAngle"), py::arg("amplitude"));
  Def(circle, "Set", py::overload_cast<EPoint, EPoint, EPoint, int>(&ECircleShape::Set),
      py::arg("first"), py::arg("middle"), py::arg("last"), py::arg("full"));
  Def(circle, "SetRadius", &ECircleShape::SetRadius);
  Def(circle, "SetDiameter", &ECircleShape::SetDiameter);
  Def(circle, "SetAmplitude", &ECircleShape::SetAmplitude);
  Def(circle, "GetRadius", &ECircle::GetRadius);
  Def(circle, "GetDiameter", &ECircle::GetDiameter);
  Def(circle, "GetOrgAngle", &ECircle::GetOrgAngle);
  Def(circle, "GetAmplitude", &ECircle::GetAmplitude);
  Def(circle, "GetFull", &ECircle::GetFull);
  Def(circle, "GetDirect", &ECircle::GetDirect);
  Def(circle, "GetOrg", &ECircle::GetOrg);
  Def(circle, "GetApex", &ECircle::GetApex);
  Def(circle, "GetEnd", &ECircle::GetEnd);
  Def(circle, "GetPoint", &ECircle::GetPoint);

  DerivedShapeClass<ERectangleShape, EShape> rectangle(m, "ERectangleShape",
                                                       py::multiple_inheritance());
  rectangle.def(py::init<float, float, float, float, float>(), py::arg("centerX") = 0.0f,
                py::arg("centerY") = 0.0f, py::arg("width") = 0.0f, py::arg("height") = 0.0f,
                py::arg("angle") = 0.0f);
  AddPlacement(rectangle);
  Def(rectangle, "Set", py::overload_cast<EPoint, float, float, float>(&ERectangleShape::Set),
      py::arg("center"), py::arg("width"), py::arg("height"), py::arg("angle") = 0.0f);
  Def(rectangle, "Set", py::overload_cast<EPoint, EPoint>(&ERectangleShape::Set), py::arg("first"),
      py::arg("second"));
  Def(rectangle, "SetSize", &ERectangleShape::SetSize);
  Def(rectangle, "GetSizeX", &ERectangle::GetSizeX);
  Def(rectangle, "GetSizeY", &ERectangle::GetSizeY);
  Def(rectangle, "GetPoint", &ERectangle::GetPoint);
  Def(rectangle, "SetIndexed", py::overload_cast<unsigned, unsigned>(&ERectangleShape::SetIndexed));
  Def(rectangle, "GetDaughterIndex", &ERectangleShape::GetDaughterIndex);
  Def(rectangle, "GetDaughter",
      py::overload_cast<unsigned, unsigned>(&ERectangleShape::GetDaughter));
  Def(rectangle, "GetDaughter", py::overload_cast<unsigned>(&EShape::GetDaughter, py::const_));
  Def(rectangle, "GetNumRows", &ERectangleShape::GetNumRows);
  Def(rectangle, "GetNumCols", &ERectangleShape::GetNumCols);

  DerivedShapeClass<EWedgeShape, EShape> wedge(m, "EWedgeShape", py::multiple_inheritance());
  wedge.def(py::init<float, float, float, float, float, int>(), py::arg("centerX") = 0.0f,
            py::arg("centerY") = 0.0f, py::arg("diameter") = 0.0f, py::arg("breadth") = 0.0f,
            py::arg("orgAngle") = 0.0f, py::arg("direct") = 1);
  AddPlacement(wedge);
  Def(wedge, "Set", py::overload_cast<EPoint, float, float, float, int>(&EWedgeShape::Set),
      py::arg("center"), py::arg("diameter"), py::arg("breadth"), py::arg("orgAngle") = 0.0f,
      py::arg("direct") = 1);
  Def(wedge, "Set", py::overload_cast<EPoint, float, float, float, float>(&EWedgeShape::Set),
      py::arg("center"), py::arg("diameter"), py::arg("breadth"), py::arg("orgAngle"),
      py::arg("amplitude"));
  Def(wedge, "SetRadii", &EWedgeShape::SetRadii);
  Def(wedge, "SetDiameters", &EWedgeShape::SetDiameters);
  Def(wedge, "SetAmplitude", &EWedgeShape::SetAmplitude);
  Def(wedge, "GetInnerRadius", &EWedge::GetInnerRadius);
  Def(wedge, "GetOuterRadius", &EWedge::GetOuterRadius);
  Def(wedge, "GetBreadth", &EWedge::GetBreadth);
  Def(wedge, "GetOrgAngle", &EWedge::GetOrgAngle);
  Def(wedge, "GetAmplitude", &EWedge::GetAmplitude);
  Def(wedge, "GetPoint", &EWedge::GetPoint);
  Def(wedge, "SetIndexed", py::overload_cast<unsigned, unsigned>(&EWedgeShape::SetIndexed));
  Def(wedge, "GetDaughter", py::overload_cast<unsigned, unsigned>(&EWedgeShape::GetDaughter));
  Def(wedge, "GetDaughter", py::overload_cast<unsigned>(&EShape::GetDaughter, py::const_));

  DerivedShapeClass<EFrameShape, EShape> frame(m, "EFrameShape", py::multiple_inheritance());
  frame.def(py::init<float, float, float, float, float, float, int>(), py::arg("x") = 0.0f,
            py::arg("y") = 0.0f, py::arg("angle") = 0.0f, py::arg("scale") = 1.0f,
            py::arg("sizeX") = 100.0f, py::arg("sizeY") = 100.0f, py::arg("root") = 0);
  AddPlacement(frame);
  Def(frame, "Set", &EFrameShape::Set, py::arg("center"), py::arg("angle") = 0.0f,
      py::arg("scale") = 1.0f);
  Def(frame, "SetSize", &EFrameShape::SetSize);
  Def(frame, "GetSizeX", &EFrameShape::GetSizeX);
  Def(frame, "GetSizeY", &EFrameShape::GetSizeY);
}

}  // namespace vimo_python
