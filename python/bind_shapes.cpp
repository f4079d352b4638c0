// The shape base and the concrete shapes: hierarchy, flags, coordinates, drawing, processing and
// shape files. A daughter attached from Python lives at least as long as its mother's Python
// object; daughters the library makes (clones, loaded shapes) belong to their mother.
#include <cstdio>

#include "vimo_python.h"
#include "vimo_shapes.h"

namespace vimo_python {

namespace {

std::string ReadAll(FILE* file) {
  std::string text;
  std::rewind(file);
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
  return text;
}

// Draws a shape (and its daughters) into a writable NumPy colour image, in place.
void DrawIntoArray(const ShapeHolder<EShape>& shape, py::array array, INS_DRAWING_MODES mode,
                   int daughters) {
  EShape* s = shape.Live();
  if (!array.writeable()) RaiseInvalid("vimo.draw", "the array is read-only");
  py::module_ vimo = py::module_::import("vimo");
  // The array is checked and copied by the image constructor's rules.
  py::object copy = vimo.attr("EImageC24")(array);
  EImage<EC24>& source = copy.cast<EImage<EC24>&>();
  Quarnel::ImageDrawAdapter adapter(&source);
  Checked([&] { s->Draw(&adapter, mode, daughters); });
  py::array drawn = copy.attr("view")();
  array.attr("__setitem__")(py::ellipsis(), drawn);
}

}  // namespace

void BindShapes(py::module_& m) {
  py::enum_<INS_SHAPE_TYPES>(m, "INS_SHAPE_TYPES", py::arithmetic())
      .value("INS_SHAPE_TYPE_POINT_SHAPE", INS_SHAPE_TYPE_POINT_SHAPE)
      .value("INS_SHAPE_TYPE_LINE_SHAPE", INS_SHAPE_TYPE_LINE_SHAPE)
      .value("INS_SHAPE_TYPE_CIRCLE_SHAPE", INS_SHAPE_TYPE_CIRCLE_SHAPE)
      .value("INS_SHAPE_TYPE_WEDGE_SHAPE", INS_SHAPE_TYPE_WEDGE_SHAPE)
      .value("INS_SHAPE_TYPE_RECTANGLE_SHAPE", INS_SHAPE_TYPE_RECTANGLE_SHAPE)
      .value("INS_SHAPE_TYPE_FRAME_SHAPE", INS_SHAPE_TYPE_FRAME_SHAPE)
      .value("INS_SHAPE_TYPE_WORLD_SHAPE", INS_SHAPE_TYPE_WORLD_SHAPE)
      .value("INS_SHAPE_TYPE_POINT_GAUGE", INS_SHAPE_TYPE_POINT_GAUGE)
      .value("INS_SHAPE_TYPE_LINE_GAUGE", INS_SHAPE_TYPE_LINE_GAUGE)
      .value("INS_SHAPE_TYPE_CIRCLE_GAUGE", INS_SHAPE_TYPE_CIRCLE_GAUGE)
      .value("INS_SHAPE_TYPE_RECTANGLE_GAUGE", INS_SHAPE_TYPE_RECTANGLE_GAUGE)
      .value("INS_SHAPE_TYPE_WEDGE_GAUGE", INS_SHAPE_TYPE_WEDGE_GAUGE)
      .export_values();

  ShapeClass<EShape> shape(m, "EShape");
  Def(shape, "GetType", &EShape::GetType);
  // The mother keeps the daughter's Python object alive.
  Def(shape, "Attach", &EShape::Attach, py::keep_alive<2, 1>());
  Def(shape, "AttachIndexed", py::overload_cast<EShape*, unsigned>(&EShape::AttachIndexed),
      py::keep_alive<2, 1>());
  Def(shape, "AttachIndexed",
      py::overload_cast<ERectangleShape*, unsigned, unsigned>(&EShape::AttachIndexed),
      py::keep_alive<2, 1>());
  Def(shape, "AttachIndexed",
      py::overload_cast<EWedgeShape*, unsigned, unsigned>(&EShape::AttachIndexed),
      py::keep_alive<2, 1>());
  Def(shape, "Detach", &EShape::Detach);
  Def(shape, "DetachDaughters", &EShape::DetachDaughters);
  Def(shape, "SetIndexed", &EShape::SetIndexed);
  Def(shape, "GetIndexed", &EShape::GetIndexed);
  Def(shape, "Get2DArray", &EShape::Get2DArray);
  Def(shape, "GetAllocated", &EShape::GetAllocated);
  Def(shape, "GetMother", &EShape::GetMother);
  Def(shape, "GetIndex", &EShape::GetIndex);
  Def(shape, "GetNumDaughters", &EShape::GetNumDaughters);
  Def(shape, "GetMaxDaughters", &EShape::GetMaxDaughters);
  Def(shape, "GetDaughter", &EShape::GetDaughter);
  shape.def("GetShapeNamed", [](const ShapeHolder<EShape>& self, const std::string& name) {
    EShape* s = self.Live();
    return Checked([&] { return Wrap(s->GetShapeNamed(name.c_str())); });
  });
  Def(shape, "GetWorldShape", &EShape::GetWorldShape);
  Def(shape, "IsWorld", &EShape::IsWorld);
  shape.def_static("GetPreserveOrder", &EShape::GetPreserveOrder);
  shape.def_static("SetPreserveOrder", &EShape::SetPreserveOrder);
  Def(shape, "Clone", py::overload_cast<EShape*>(&EShape::Clone));
  Def(shape, "Clone", py::overload_cast<EShape*, unsigned>(&EShape::Clone));
  Def(shape, "Clone", py::overload_cast<ERectangleShape*, unsigned, unsigned, int>(&EShape::Clone),
      py::arg("mother"), py::arg("first"), py::arg("second"), py::arg("alternate") = 0);
  Def(shape, "Clone", py::overload_cast<EWedgeShape*, unsigned, unsigned, int>(&EShape::Clone),
      py::arg("mother"), py::arg("first"), py::arg("second"), py::arg("alternate") = 0);
  // A library-made clone without a mother: Python owns it.
  shape.def("New", [](const ShapeHolder<EShape>& self) {
    EShape* s = self.Live();
    return Checked([&] { return Wrap(s->New(), true); });
  });
  shape.def("SetName", [](const ShapeHolder<EShape>& self, const std::string& name) {
    self.Live()->SetName(name.c_str());
  });
  shape.def("GetName", [](const ShapeHolder<EShape>& self) -> py::object {
    const char* name = self.Live()->GetName();
    if (name == nullptr) return py::none();
    return py::str(name);
  });
#define VIMO_FLAG(Name)                        \
  Def(shape, "Get" #Name, &EShape::Get##Name); \
  Def(shape, "Set" #Name, &EShape::Set##Name, py::arg("value"), py::arg("daughters") = 0);
  VIMO_FLAG(Visible)
  VIMO_FLAG(Selected)
  VIMO_FLAG(Selectable)
  VIMO_FLAG(Dragable)
  VIMO_FLAG(Rotatable)
  VIMO_FLAG(Resizable)
  VIMO_FLAG(AutoArrange)
  VIMO_FLAG(Labeled)
  VIMO_FLAG(Inspected)
  VIMO_FLAG(Passed)
  VIMO_FLAG(QuickDraw)
  VIMO_FLAG(OptionalDraw)
  VIMO_FLAG(ActualShape)
  VIMO_FLAG(UserFlag)
#undef VIMO_FLAG
  Def(shape, "GetActive", &EShape::GetActive);
  Def(shape, "SetActive", &EShape::SetActive, py::arg("value"), py::arg("daughters") = 0);
  Def(shape, "GetFound", &EShape::GetFound);
  Def(shape, "SetFound", &EShape::SetFound, py::arg("value"), py::arg("daughters") = 0);
  Def(shape, "GetBehavior", &EShape::GetBehavior);
  Def(shape, "LocalToWorld", py::overload_cast<EPoint>(&EShape::LocalToWorld));
  Def(shape, "WorldToLocal", &EShape::WorldToLocal);
  Def(shape, "LocalToSensor", &EShape::LocalToSensor);
  Def(shape, "SensorToLocal", &EShape::SensorToLocal);
  shape.def("LocalToDisplay", [](const ShapeHolder<EShape>& self, EPoint p) {
    int x = 0, y = 0;
    EShape* s = self.Live();
    if (!Finite(p)) RaiseInvalid("EShape::LocalToDisplay", "non-finite value");
    Checked([&] { s->LocalToDisplay(p, x, y); });
    return py::make_tuple(x, y);
  });
  Def(shape, "DisplayToLocal", &EShape::DisplayToLocal);
  Def(shape, "GetZoomX", &EShape::GetZoomX);
  Def(shape, "GetZoomY", &EShape::GetZoomY);
  Def(shape, "GetPanX", &EShape::GetPanX);
  Def(shape, "GetPanY", &EShape::GetPanY);
  Def(shape, "SetZoom", &EShape::SetZoom);
  Def(shape, "SetPan", &EShape::SetPan);
  Def(shape, "SetCursor", &EShape::SetCursor);
  Def(shape, "HitTest", &EShape::HitTest, py::arg("daughters") = 1);
  Def(shape, "Drag", &EShape::Drag);
  Def(shape, "Closest", &EShape::Closest);
  Def(shape, "GetHitShape", &EShape::GetHitShape);
  Def(shape, "GetHitHandle", &EShape::GetHitHandle);
  Def(shape, "GetClosestShape", &EShape::GetClosestShape);
  Def(shape, "Select", &EShape::Select);
  Def(shape, "Rescale", &EShape::Rescale, py::arg("factor"), py::arg("daughters") = 1);
  Def(shape, "Draw", &EShape::Draw, py::arg("adapter"), py::arg("mode") = INS_DRAW_NOMINAL,
      py::arg("daughters") = 1);
  Def(shape, "Process", &EShape::Process, py::arg("roi"), py::arg("daughters") = 1);
  shape.def(
      "Process",
      [](const ShapeHolder<EShape>& self, const py::array& array, int daughters) {
        EShape* s = self.Live();
        auto image = ImageFromArray(array, "EShape::Process");
        Checked([&] { s->Process(image.get(), daughters); });
      },
      py::arg("image"), py::arg("daughters") = 1);
  shape.def(
      "Dump",
      [](const ShapeHolder<EShape>& self, int daughters) {
        EShape* s = self.Live();
        FILE* file = std::tmpfile();
        if (file == nullptr) RaiseInvalid("EShape::Dump", "no temporary file");
        Checked([&] { s->Dump(file, daughters); });
        std::string text = ReadAll(file);
        std::fclose(file);
        return text;
      },
      py::arg("daughters") = 1, "The text dump, returned as a string.");
  shape.def(
      "Save",
      [](const ShapeHolder<EShape>& self, const std::string& path, int daughters) {
        EShape* s = self.Live();
        Checked([&] { s->Save(path.c_str(), daughters); });
      },
      py::arg("path"), py::arg("daughters") = 1);
  shape.def(
      "Load",
      [](const ShapeHolder<EShape>& self, const std::string& path, int daughters) {
        EShape* s = self.Live();
        Checked([&] { s->Load(path.c_str(), daughters); });
      },
      py::arg("path"), py::arg("daughters") = 1);
  shape.def("is_alive",
            [](const ShapeHolder<EShape>& self) { return self.Life() && self.Life()->alive; });
  shape.def("__repr__", [](const ShapeHolder<EShape>& self) -> std::string {
    if (!self.Life() || !self.Life()->alive) return "<deleted shape>";
    EShape* s = self.get();
    const EFrame* frame = s->CastToFrame();
    std::string name = s->GetName() != nullptr ? std::string(" '") + s->GetName() + "'" : "";
    return py::str("<{}{} center=({:g}, {:g}) angle={:g} scale={:g}>")
        .format(py::type::of(py::cast(self)).attr("__name__"), name, frame->GetX(), frame->GetY(),
                frame->GetAngle(), frame->GetScale())
        .cast<std::string>();
  });

  m.def("draw", &DrawIntoArray, py::arg("shape"), py::arg("array"),
        py::arg("mode") = INS_DRAW_NOMINAL, py::arg("daughters") = 1,
        "Draws a shape into a writable uint8 H x W x 3 NumPy array, in place.");

  BindConcreteShapes(m);
}

}  // namespace vimo_python
