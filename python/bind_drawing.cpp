// Drawing surfaces: an RGB image (EImageC24 or, through `draw`, a NumPy colour array) and SVG
// text.
#include "vimo_python.h"

namespace vimo_python {

using Quarnel::DrawAdapter;
using Quarnel::DrawColor;

void BindDrawing(py::module_& m) {
  py::enum_<INS_DRAWING_MODES>(m, "INS_DRAWING_MODES")
      .value("INS_DRAW_NOMINAL", INS_DRAW_NOMINAL)
      .value("INS_DRAW_ACTUAL", INS_DRAW_ACTUAL)
      .value("INS_DRAW_NOTHING", INS_DRAW_NOTHING)
      .value("INS_DRAW_SAMPLING_PATH", INS_DRAW_SAMPLING_PATH)
      .value("INS_DRAW_SAMPLE_PROFILE", INS_DRAW_SAMPLE_PROFILE)
      .value("INS_DRAW_SKIPPED_SAMPLES", INS_DRAW_SKIPPED_SAMPLES)
      .value("INS_DRAW_VALID_SAMPLES", INS_DRAW_VALID_SAMPLES)
      .value("INS_DRAW_LINE_GAUGE_EXTRA", INS_DRAW_LINE_GAUGE_EXTRA)
      .value("INS_DRAW_FILTERED_SAMPLES", INS_DRAW_FILTERED_SAMPLES)
      .export_values();

  py::class_<DrawColor>(m, "DrawColor")
      .def(py::init([](int red, int green, int blue) {
             return DrawColor{red, green, blue};
           }),
           py::arg("Red") = -1, py::arg("Green") = -1, py::arg("Blue") = -1)
      .def_readwrite("Red", &DrawColor::Red)
      .def_readwrite("Green", &DrawColor::Green)
      .def_readwrite("Blue", &DrawColor::Blue)
      .def("__eq__", [](const DrawColor& a, const DrawColor& b) { return a == b; })
      .def("__repr__", [](const DrawColor& c) {
        return py::str("DrawColor({}, {}, {})").format(c.Red, c.Green, c.Blue);
      });
  m.attr("DefaultColor") = Quarnel::DefaultColor;
  m.attr("BlackColor") = Quarnel::BlackColor;
  m.attr("WhiteColor") = Quarnel::WhiteColor;
  m.attr("GreyColor") = Quarnel::GreyColor;
  m.attr("RedColor") = Quarnel::RedColor;
  m.attr("BlueColor") = Quarnel::BlueColor;

  py::class_<DrawAdapter> adapter(m, "DrawAdapter");
  adapter
      .def("DrawPoint", &DrawAdapter::DrawPoint, py::arg("x"), py::arg("y"),
           py::arg("color") = Quarnel::DefaultColor, py::arg("opacity") = 1.0)
      .def("DrawLine", &DrawAdapter::DrawLine, py::arg("x0"), py::arg("y0"), py::arg("x1"),
           py::arg("y1"), py::arg("color") = Quarnel::DefaultColor)
      .def("DrawRectangle", &DrawAdapter::DrawRectangle, py::arg("x"), py::arg("y"),
           py::arg("width"), py::arg("height"), py::arg("color") = Quarnel::DefaultColor)
      .def("DrawEllipse", &DrawAdapter::DrawEllipse, py::arg("x"), py::arg("y"), py::arg("width"),
           py::arg("height"), py::arg("color") = Quarnel::DefaultColor)
      .def(
          "DrawText",
          [](DrawAdapter& self, const std::string& text, int x, int y, const DrawColor& color) {
            self.DrawText(text.c_str(), x, y, color);
          },
          py::arg("text"), py::arg("x"), py::arg("y"), py::arg("color") = Quarnel::DefaultColor)
      .def(
          "DrawTextBox",
          [](DrawAdapter& self, const std::string& text, int x, int y, const DrawColor& textColor,
             const DrawColor& boxColor) {
            self.DrawTextBox(text.c_str(), x, y, textColor, boxColor);
          },
          py::arg("text"), py::arg("x"), py::arg("y"), py::arg("textColor") = Quarnel::BlackColor,
          py::arg("boxColor") = Quarnel::WhiteColor);

  py::class_<Quarnel::ImageDrawAdapter, DrawAdapter>(m, "ImageDrawAdapter")
      .def(py::init<EImage<EC24>*>(), py::arg("target"), py::keep_alive<1, 2>())
      .def("SetPenColor", &Quarnel::ImageDrawAdapter::SetPenColor)
      .def("SetBackgroundColor", &Quarnel::ImageDrawAdapter::SetBackgroundColor);

  py::class_<Quarnel::SvgDrawAdapter, DrawAdapter>(m, "SvgDrawAdapter")
      .def(py::init([](int width, int height) {
             return Checked(
                 [&] { return std::make_unique<Quarnel::SvgDrawAdapter>(width, height); });
           }),
           py::arg("width"), py::arg("height"))
      .def("SetPenColor", &Quarnel::SvgDrawAdapter::SetPenColor)
      .def("SetBackgroundColor", &Quarnel::SvgDrawAdapter::SetBackgroundColor)
      .def("GetDocument", &Quarnel::SvgDrawAdapter::GetDocument)
      .def("Save", [](Quarnel::SvgDrawAdapter& self, const std::string& path) {
        Checked([&] { self.Save(path.c_str()); });
      });
}

}  // namespace vimo_python
