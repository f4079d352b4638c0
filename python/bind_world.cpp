// The world model (EWorld) and the world shape at the root of a tool tree (EWorldShape): sensor
// and field setters, landmarks, calibration, point mappings of single points and of N x 2
// arrays, automatic dot-grid calibration and unwarping.
#include "vimo_shapes.h"

namespace vimo_python {

namespace {

// Maps every row of an N x 2 array through `map`, into a new float64 array.
template <class Map>
py::array_t<double> MapArray(const py::array& points, const std::string& where, Map map) {
  if (points.ndim() != 2 || points.shape(1) != 2)
    RaiseInvalid(where, "expected an N x 2 array of points");
  auto kind = points.dtype().kind();
  if (kind != 'f' && kind != 'i' && kind != 'u')
    RaiseInvalid(where, "expected a numeric array of points");
  auto input = py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(points);
  if (!input) throw py::error_already_set();
  py::ssize_t n = input.shape(0);
  py::array_t<double> result({n, py::ssize_t(2)});
  const double* in = input.data();
  double* out = result.mutable_data();
  EOk();
  for (py::ssize_t i = 0; i < n; ++i) {
    EPoint p(static_cast<float>(in[2 * i]), static_cast<float>(in[2 * i + 1]));
    if (!Finite(p)) RaiseInvalid(where, "non-finite point in row " + std::to_string(i));
    EPoint q = map(p);
    out[2 * i] = q.GetX();
    out[2 * i + 1] = q.GetY();
  }
  RaisePending();
  return result;
}

template <class Cls>
void AddWorldMethods(Cls& cls) {
  using C = typename Cls::type;
  Def(cls, "SetSensorSize", &EWorld::SetSensorSize);
  Def(cls, "SetFieldSize", &EWorld::SetFieldSize);
  Def(cls, "SetResolution", &EWorld::SetResolution);
  Def(cls, "SetRatio", &EWorld::SetRatio);
  Def(cls, "SetScale", &EWorld::SetScale);
  Def(cls, "SetPerspective", &EWorld::SetPerspective);
  Def(cls, "SetDistortion", &EWorld::SetDistortion);
  Def(cls, "SetOpticalCenter", &EWorld::SetOpticalCenter);
  Def(cls, "SetCalibrationModes", &EWorld::SetCalibrationModes);
  Def(cls, "SetCenter", py::overload_cast<float, float>(&EWorld::SetCenter));
  Def(cls, "SetCenter", py::overload_cast<const EPoint&>(&EWorld::SetCenter));
  Def(cls, "SetAngle", &EWorld::SetAngle, py::arg("angle"), py::arg("unused") = 0);
  Def(cls, "GetAngle", &EWorld::GetAngle, py::arg("unused") = 0);
  Def(cls, "GetCenter", &EPoint::GetCenter);
  Def(cls, "GetScale", &EFrame::GetScale);
  Def(cls, "GetCalibrationModes", &EWorld::GetCalibrationModes);
  Def(cls, "GetSensorWidth", &EWorld::GetSensorWidth);
  Def(cls, "GetSensorHeight", &EWorld::GetSensorHeight);
  Def(cls, "GetOpticalCenterX", &EWorld::GetOpticalCenterX);
  Def(cls, "GetOpticalCenterY", &EWorld::GetOpticalCenterY);
  Def(cls, "GetRatio", &EWorld::GetRatio);
  Def(cls, "GetPerspectiveStrength", &EWorld::GetPerspectiveStrength);
  Def(cls, "GetDistortionStrength", &EWorld::GetDistortionStrength);
  Def(cls, "GetTiltXAngle", &EWorld::GetTiltXAngle);
  Def(cls, "GetTiltYAngle", &EWorld::GetTiltYAngle);
  Def(cls, "GetXResolution", &EWorld::GetXResolution);
  Def(cls, "GetYResolution", &EWorld::GetYResolution);
  Def(cls, "GetFieldWidth", &EWorld::GetFieldWidth);
  Def(cls, "GetFieldHeight", &EWorld::GetFieldHeight);
  Def(cls, "AddLandmark", py::overload_cast<EPoint, EPoint>(&EWorld::AddLandmark),
      py::arg("sensor"), py::arg("world"));
  cls.def(
      "AddLandmarks",
      [](py::object self, const py::array& sensor, const py::array& world) {
        auto s = MapArray(sensor, "EWorld::AddLandmarks", [](EPoint p) { return p; });
        auto w = MapArray(world, "EWorld::AddLandmarks", [](EPoint p) { return p; });
        if (s.shape(0) != w.shape(0))
          RaiseInvalid("EWorld::AddLandmarks", "the two arrays differ in length");
        py::object add = self.attr("AddLandmark");
        for (py::ssize_t i = 0; i < s.shape(0); ++i)
          add(EPoint(float(s.at(i, 0)), float(s.at(i, 1))),
              EPoint(float(w.at(i, 0)), float(w.at(i, 1))));
      },
      py::arg("sensor"), py::arg("world"), "One landmark per row of two N x 2 arrays.");
  Def(cls, "RemoveLandmark", &EWorld::RemoveLandmark);
  Def(cls, "EmptyLandmarks", &EWorld::EmptyLandmarks);
  Def(cls, "GetNumLandmarks", &EWorld::GetNumLandmarks);
  Def(cls, "GetLandmark", &EWorld::GetLandmark);
  Def(cls, "Calibrate", &EWorld::Calibrate);
  Def(cls, "CalibrationSucceeded", &EWorld::CalibrationSucceeded);
  Def(cls, "GetGridPointsMeanVariation", &EWorld::GetGridPointsMeanVariation);
  Def(cls, "GetGridPointsMaxVariation", &EWorld::GetGridPointsMaxVariation);
  Def(cls, "SetGridPointsMeanVariationThreshold", &EWorld::SetGridPointsMeanVariationThreshold);
  Def(cls, "SetGridPointsMaxVariationThreshold", &EWorld::SetGridPointsMaxVariationThreshold);
  Def(cls, "DescribeCalibration", &EWorld::DescribeCalibration);
  Def(cls, "AutoCalibrateDotGrid", &EWorld::AutoCalibrateDotGrid, py::arg("roi"), py::arg("pitchX"),
      py::arg("pitchY"), py::arg("withQuadratic") = 0);
  cls.def(
      "AutoCalibrateDotGrid",
      [](typename Self<C>::type self, const py::array& array, float pitchX, float pitchY,
         int quadratic) {
        C* world = Self<C>::Get(self);
        if (!Finite(pitchX) || !Finite(pitchY))
          RaiseInvalid("EWorld::AutoCalibrateDotGrid", "non-finite value");
        auto image = ImageFromArray(array, "EWorld::AutoCalibrateDotGrid");
        return Checked(
            [&] { return world->AutoCalibrateDotGrid(image.get(), pitchX, pitchY, quadratic); });
      },
      py::arg("image"), py::arg("pitchX"), py::arg("pitchY"), py::arg("withQuadratic") = 0);
  Def(cls, "WorldToSensor", py::overload_cast<EPoint>(&EWorld::WorldToSensor, py::const_));
  Def(cls, "SensorToWorld", &EWorld::SensorToWorld);
  cls.def("WorldToSensor", [](typename Self<C>::type self, const py::array& points) {
    C* world = Self<C>::Get(self);
    return MapArray(points, "EWorld::WorldToSensor",
                    [&](EPoint p) { return world->WorldToSensor(p); });
  });
  cls.def("SensorToWorld", [](typename Self<C>::type self, const py::array& points) {
    C* world = Self<C>::Get(self);
    return MapArray(points, "EWorld::SensorToWorld",
                    [&](EPoint p) { return world->SensorToWorld(p); });
  });
  Def(cls, "Unwarp", py::overload_cast<EROI<EBW8>*, EROI<EBW8>*, int>(&EWorld::Unwarp),
      py::arg("src"), py::arg("dst"), py::arg("interpolate") = 1);
  Def(cls, "Unwarp", py::overload_cast<EROI<EC24>*, EROI<EC24>*, int>(&EWorld::Unwarp),
      py::arg("src"), py::arg("dst"), py::arg("interpolate") = 1);
}

}  // namespace

void BindWorld(py::module_& m) {
  py::enum_<E_CALIBRATION_MODES>(m, "E_CALIBRATION_MODES", py::arithmetic())
      .value("E_CALIBRATION_RAW", E_CALIBRATION_RAW)
      .value("E_CALIBRATION_INVERSE", E_CALIBRATION_INVERSE)
      .value("E_CALIBRATION_SCALED", E_CALIBRATION_SCALED)
      .value("E_CALIBRATION_ANISOTROPIC", E_CALIBRATION_ANISOTROPIC)
      .value("E_CALIBRATION_SKEWED", E_CALIBRATION_SKEWED)
      .value("E_CALIBRATION_TILTED", E_CALIBRATION_TILTED)
      .value("E_CALIBRATION_RADIAL", E_CALIBRATION_RADIAL)
      .value("E_CALIBRATION_RADIAL2", E_CALIBRATION_RADIAL2)
      .value("E_CALIBRATION_BILINEAR", E_CALIBRATION_BILINEAR)
      .value("E_CALIBRATION_QUADRATIC", E_CALIBRATION_QUADRATIC)
      .value("E_CALIBRATION_POLYNOMIAL", E_CALIBRATION_POLYNOMIAL)
      .export_values();
  // Mode words are plain integers in Python, so that modes combine with |.
  for (const char* name :
       {"E_CALIBRATION_RAW", "E_CALIBRATION_INVERSE", "E_CALIBRATION_SCALED",
        "E_CALIBRATION_ANISOTROPIC", "E_CALIBRATION_SKEWED", "E_CALIBRATION_TILTED",
        "E_CALIBRATION_RADIAL", "E_CALIBRATION_RADIAL2", "E_CALIBRATION_BILINEAR",
        "E_CALIBRATION_QUADRATIC", "E_CALIBRATION_POLYNOMIAL"})
    m.attr(name) = py::int_(m.attr(name));

  py::class_<ELandmark>(m, "ELandmark")
      .def_readonly("SensorPoint", &ELandmark::SensorPoint)
      .def_readonly("WorldPoint", &ELandmark::WorldPoint)
      .def_readonly("Matched", &ELandmark::Matched)
      .def("__repr__", [](const ELandmark& l) {
        return py::str("ELandmark(sensor={}, world={})")
            .format(py::cast(l.SensorPoint), py::cast(l.WorldPoint));
      });

  py::class_<EWorld, EFrame> world(m, "EWorld");
  world.def(py::init<>())
      .def(py::init<float, float, float, float>(), py::arg("centerX"), py::arg("centerY"),
           py::arg("angle") = 0.0f, py::arg("scale") = 1.0f);
  AddWorldMethods(world);
  world.def("__repr__", [](const EWorld& w) {
    return py::str("<EWorld sensor {}x{} modes=0x{:x}>")
        .format(w.GetSensorWidth(), w.GetSensorHeight(), w.GetCalibrationModes());
  });

  DerivedShapeClass<EWorldShape, EShape> shape(m, "EWorldShape", py::multiple_inheritance());
  shape.def(py::init<>())
      .def(py::init<float, float, float, float, float, float>(), py::arg("centerX"),
           py::arg("centerY"), py::arg("angle") = 0.0f, py::arg("scale") = 1.0f,
           py::arg("sizeX") = 100.0f, py::arg("sizeY") = 100.0f);
  AddWorldMethods(shape);
  Def(shape, "SetSize", &EWorldShape::SetSize);
  Def(shape, "GetSizeX", &EWorldShape::GetSizeX);
  Def(shape, "GetSizeY", &EWorldShape::GetSizeY);
  Def(shape, "DrawGrid", &EWorldShape::DrawGrid);
  Def(shape, "DrawLandmarks", &EWorldShape::DrawLandmarks);
  Def(shape, "Attach", &EWorldShape::Attach);
  Def(shape, "Detach", &EWorldShape::Detach);

  m.def(
      "VimoWorld", [] { return Wrap(&VimoWorld); },
      "The process-wide world shape, default mother of every new shape.");
}

}  // namespace vimo_python
