// Geometry values: points, frames, lines, circles and arcs, rectangles and wedges. A point can be
// given as a pair (x, y) wherever the library takes an EPoint.
#include "vimo_python.h"

namespace vimo_python {

namespace {

std::string Num(float v) { return py::str("{:g}").format(v).cast<std::string>(); }
std::string PointText(const EPoint& p) { return "(" + Num(p.GetX()) + ", " + Num(p.GetY()) + ")"; }

EPoint PointFromSequence(const py::sequence& values) {
  if (values.size() != 2) RaiseInvalid("EPoint::EPoint", "a point takes two values (x, y)");
  return EPoint(values[0].cast<float>(), values[1].cast<float>());
}

}  // namespace

void BindGeometry(py::module_& m) {
  py::class_<EPoint>(m, "EPoint")
      .def(py::init<float, float>(), py::arg("x") = 0.0f, py::arg("y") = 0.0f)
      .def(py::init([](const py::tuple& t) { return PointFromSequence(t); }))
      .def(py::init([](const py::list& l) { return PointFromSequence(l); }))
      .def("Set", &EPoint::Set)
      .def("GetX", &EPoint::GetX)
      .def("GetY", &EPoint::GetY)
      .def("GetCenter", &EPoint::GetCenter)
      .def_property_readonly("x", [](const EPoint& p) { return p.GetX(); })
      .def_property_readonly("y", [](const EPoint& p) { return p.GetY(); })
      .def("Distance", py::overload_cast<const EPoint&>(&EPoint::Distance, py::const_))
      .def("Distance", py::overload_cast<const ELine&, int>(&EPoint::Distance, py::const_),
           py::arg("line"), py::arg("segment") = 0)
      .def("Distance", py::overload_cast<const ECircle&, int>(&EPoint::Distance, py::const_),
           py::arg("circle"), py::arg("arc") = 0)
      .def("Rotate", &EPoint::Rotate)
      .def("Modulus", &EPoint::Modulus)
      .def("Argument", &EPoint::Argument)
      .def("Project", py::overload_cast<const ELine&>(&EPoint::Project, py::const_))
      .def("Project", py::overload_cast<const ECircle&>(&EPoint::Project, py::const_))
      .def(py::self + py::self)
      .def(py::self - py::self)
      .def(py::self * float())
      .def(py::self == py::self)
      .def(py::self != py::self)
      .def("__iter__", [](const EPoint& p) { return py::iter(py::make_tuple(p.GetX(), p.GetY())); })
      .def("__repr__", [](const EPoint& p) { return "EPoint" + PointText(p); });
  py::implicitly_convertible<py::tuple, EPoint>();
  py::implicitly_convertible<py::list, EPoint>();

  py::class_<EFrame, EPoint>(m, "EFrame")
      .def(py::init<float, float, float, float>(), py::arg("centerX") = 0.0f,
           py::arg("centerY") = 0.0f, py::arg("angle") = 0.0f, py::arg("scale") = 1.0f)
      .def("Set", &EFrame::Set)
      .def("SetAngle", &EFrame::SetAngle)
      .def("SetScale", &EFrame::SetScale)
      .def("GetCenterX", &EFrame::GetCenterX)
      .def("GetCenterY", &EFrame::GetCenterY)
      .def("GetAngle", &EFrame::GetAngle)
      .def("GetScale", &EFrame::GetScale)
      .def("LocalToGlobal", py::overload_cast<const EPoint&>(&EFrame::LocalToGlobal, py::const_))
      .def("GlobalToLocal", py::overload_cast<const EPoint&>(&EFrame::GlobalToLocal, py::const_))
      .def("__repr__", [](const EFrame& f) {
        return "EFrame(center=" + PointText(f) + ", angle=" + Num(f.GetAngle()) +
               ", scale=" + Num(f.GetScale()) + ")";
      });

  py::class_<ELine, EFrame>(m, "ELine")
      .def(py::init<>())
      .def(py::init<const EPoint&, float, float>(), py::arg("center"), py::arg("length"),
           py::arg("angle") = 0.0f)
      .def(py::init<const EPoint&, const EPoint&>(), py::arg("org"), py::arg("end"))
      .def("Set", py::overload_cast<const EPoint&, float, float>(&ELine::Set))
      .def("Set", py::overload_cast<const EPoint&, const EPoint&>(&ELine::Set))
      .def("SetLength", &ELine::SetLength)
      .def("GetLength", &ELine::GetLength)
      .def("GetPoint", &ELine::GetPoint)
      .def("GetOrg", &ELine::GetOrg)
      .def("GetEnd", &ELine::GetEnd)
      .def("__repr__", [](const ELine& l) {
        return "ELine(center=" + PointText(l) + ", length=" + Num(l.GetLength()) +
               ", angle=" + Num(l.GetAngle()) + ")";
      });

  py::class_<ECircle, EFrame>(m, "ECircle")
      .def(py::init<>())
      .def(py::init<const EPoint&, float, float, int>(), py::arg("center"), py::arg("diameter"),
           py::arg("orgAngle") = 0.0f, py::arg("direct") = 1)
      .def(py::init<const EPoint&, float, float, float>(), py::arg("center"), py::arg("diameter"),
           py::arg("orgAngle"), py::arg("amplitude"))
      .def(py::init<const EPoint&, const EPoint&, const EPoint&, int>(), py::arg("first"),
           py::arg("middle"), py::arg("last"), py::arg("full"))
      .def("SetRadius", &ECircle::SetRadius)
      .def("SetDiameter", &ECircle::SetDiameter)
      .def("SetAmplitude", &ECircle::SetAmplitude)
      .def("GetRadius", &ECircle::GetRadius)
      .def("GetDiameter", &ECircle::GetDiameter)
      .def("GetOrgAngle", &ECircle::GetOrgAngle)
      .def("GetAmplitude", &ECircle::GetAmplitude)
      .def("GetApexAngle", &ECircle::GetApexAngle)
      .def("GetEndAngle", &ECircle::GetEndAngle)
      .def("GetArcLength", &ECircle::GetArcLength)
      .def("GetFull", &ECircle::GetFull)
      .def("GetDirect", &ECircle::GetDirect)
      .def("GetOrg", &ECircle::GetOrg)
      .def("GetApex", &ECircle::GetApex)
      .def("GetEnd", &ECircle::GetEnd)
      .def("GetPoint", &ECircle::GetPoint)
      .def("__repr__", [](const ECircle& c) {
        return "ECircle(center=" + PointText(c) + ", radius=" + Num(c.GetRadius()) +
               ", orgAngle=" + Num(c.GetOrgAngle()) + ", amplitude=" + Num(c.GetAmplitude()) + ")";
      });

  py::class_<ERectangle, EFrame>(m, "ERectangle")
      .def(py::init<>())
      .def(py::init<const EPoint&, float, float, float>(), py::arg("center"), py::arg("sizeX"),
           py::arg("sizeY"), py::arg("angle") = 0.0f)
      .def(py::init<const EPoint&, const EPoint&>(), py::arg("first"), py::arg("second"))
      .def("SetSize", &ERectangle::SetSize)
      .def("GetSizeX", &ERectangle::GetSizeX)
      .def("GetSizeY", &ERectangle::GetSizeY)
      .def("GetPoint", &ERectangle::GetPoint)
      .def("GetCorners",
           [](const ERectangle& r) {
             EPoint a, b, c, d;
             r.GetCorners(a, b, c, d);
             return py::make_tuple(a, b, c, d);
           })
      .def("__repr__", [](const ERectangle& r) {
        return "ERectangle(center=" + PointText(r) + ", sizeX=" + Num(r.GetSizeX()) +
               ", sizeY=" + Num(r.GetSizeY()) + ", angle=" + Num(r.GetAngle()) + ")";
      });

  py::class_<EWedge, EFrame>(m, "EWedge")
      .def(py::init<>())
      .def(py::init<const EPoint&, float, float, float, int>(), py::arg("center"),
           py::arg("diameter"), py::arg("breadth"), py::arg("orgAngle") = 0.0f,
           py::arg("direct") = 1)
      .def(py::init<const EPoint&, float, float, float, float>(), py::arg("center"),
           py::arg("diameter"), py::arg("breadth"), py::arg("orgAngle"), py::arg("amplitude"))
      .def("SetRadii", &EWedge::SetRadii)
      .def("SetDiameters", &EWedge::SetDiameters)
      .def("SetAmplitude", &EWedge::SetAmplitude)
      .def("GetInnerRadius", &EWedge::GetInnerRadius)
      .def("GetOuterRadius", &EWedge::GetOuterRadius)
      .def("GetBreadth", &EWedge::GetBreadth)
      .def("GetOrgAngle", &EWedge::GetOrgAngle)
      .def("GetAmplitude", &EWedge::GetAmplitude)
      .def("GetPoint", &EWedge::GetPoint)
      .def("__repr__", [](const EWedge& w) {
        return "EWedge(center=" + PointText(w) + ", innerRadius=" + Num(w.GetInnerRadius()) +
               ", outerRadius=" + Num(w.GetOuterRadius()) + ", orgAngle=" + Num(w.GetOrgAngle()) +
               ", amplitude=" + Num(w.GetAmplitude()) + ")";
      });
}

}  // namespace vimo_python
