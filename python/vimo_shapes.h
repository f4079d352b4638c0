// Binding helpers shared by the concrete shapes and the gauges built on them.
#ifndef VIMO_PYTHON_VIMO_SHAPES_H
#define VIMO_PYTHON_VIMO_SHAPES_H

#include "vimo_python.h"

namespace vimo_python {

void BindConcreteShapes(py::module_& m);

// The placement every shape built on a frame offers: centre, angle and scale.
template <class Cls>
void AddPlacement(Cls& cls) {
  using C = typename Cls::type;
  Def(cls, "GetCenter", &EPoint::GetCenter);
  Def(cls, "GetCenterX", &EFrame::GetCenterX);
  Def(cls, "GetCenterY", &EFrame::GetCenterY);
  Def(cls, "GetAngle", &EFrame::GetAngle);
  Def(cls, "GetScale", &EFrame::GetScale);
  Def(cls, "SetCenter", py::overload_cast<EPoint>(&C::SetCenter));
  Def(cls, "SetCenter", py::overload_cast<float, float>(&C::SetCenter));
  Def(cls, "SetAngle", &C::SetAngle);
  Def(cls, "SetScale", &C::SetScale);
}

}  // namespace vimo_python

#endif
