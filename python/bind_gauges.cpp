// The gauges: transition parameters, sampling and filtering, measurement (on an image, a region
// or a grey NumPy array) and results, with the samples as a structured NumPy array.
#include "vimo_shapes.h"

namespace vimo_python {

// One sample as a NumPy record, fields named as the C++ fields.
struct SampleRecord {
  float X, Y, Distance;
  int32_t Side;
  float TransitionValue;
  int32_t Valid, FilteredOut, Skipped;
};

namespace {

// The transition of one edge of a rectangle or wedge gauge, reached through the gauge.
struct EdgeTransition {
  ShapeHolder<EShape> gauge;
  ETransition* (*edge)(EShape*);
  ETransition* Get() const { return edge(gauge.Live()); }
};

template <class Cls, class SelfT, class Get>
void AddTransition(Cls& cls, Get get, bool ownToleranceAndChoice = false) {
#define VIMO_PARAMETER(Name, Type)                                            \
  cls.def("Get" #Name, [get](SelfT self) { return get(self)->Get##Name(); }); \
  if (!ownToleranceAndChoice || std::string(#Name) != "TransitionChoice")     \
    cls.def("Set" #Name, [get](SelfT self, Type value) {                      \
      ETransition* transition = get(self);                                    \
      EOk();                                                                  \
      transition->Set##Name(value);                                           \
      RaisePending();                                                         \
    });
  VIMO_PARAMETER(HVConstraint, int)
  VIMO_PARAMETER(Thickness, unsigned)
  VIMO_PARAMETER(Smoothing, unsigned)
  VIMO_PARAMETER(TransitionType, GGE_TRANSITION_TYPE)
  VIMO_PARAMETER(TransitionChoice, GGE_TRANSITION_CHOICE)
  VIMO_PARAMETER(TransitionIndex, unsigned)
  VIMO_PARAMETER(Threshold, unsigned)
  VIMO_PARAMETER(MinAmplitude, unsigned)
  VIMO_PARAMETER(MinArea, unsigned)
  VIMO_PARAMETER(KeepFirstAndLastIncompletePeak, int)
#undef VIMO_PARAMETER
  if (!ownToleranceAndChoice)
    cls.def(
        "SetTolerance",
        [get](SelfT self, float tolerance, float angle) {
          ETransition* transition = get(self);
          if (!Finite(tolerance) || !Finite(angle))
            RaiseInvalid("ETransition::SetTolerance", "non-finite value");
          transition->SetTolerance(tolerance, angle);
        },
        py::arg("tolerance"), py::arg("angle") = 0.0f);
  cls.def("GetTolerance", [get](SelfT self) { return get(self)->GetTolerance(); });
  cls.def("GetValid", [get](SelfT self) { return get(self)->GetValid(); });
  cls.def("GetNumPeaks", [get](SelfT self) { return get(self)->GetNumPeaks(); });
  cls.def(
      "GetMeasuredPeak",
      [get](SelfT self, unsigned index) {
        ETransition* transition = get(self);
        return Checked([&] { return transition->GetMeasuredPeak(index); });
      },
      py::arg("index") = ~0u);
  cls.def("GetProfile", [get](SelfT self) {
    const EBW32Vector& profile = get(self)->GetProfile();
    py::array_t<uint32_t> result(py::ssize_t(profile.GetNumElements()));
    for (unsigned i = 0; i < profile.GetNumElements(); ++i)
      result.mutable_at(i) = const_cast<EBW32Vector&>(profile)[i];
    return result;
  });
}

template <class Cls>
void AddGaugeTransition(Cls& cls, bool own = false) {
  using C = typename Cls::type;
  AddTransition<Cls, const ShapeHolder<C>&>(
      cls, [](const ShapeHolder<C>& self) -> ETransition* { return self.Live(); }, own);
}

// Sampling, filtering and samples of a fitting gauge.
template <class Cls>
void AddFitting(Cls& cls) {
  using C = typename Cls::type;
  Def(cls, "GetFilteringThreshold", &EGauge::GetFilteringThreshold);
  Def(cls, "SetFilteringThreshold", &EGauge::SetFilteringThreshold);
  Def(cls, "GetNumFilteringPasses", &EGauge::GetNumFilteringPasses);
  Def(cls, "SetNumFilteringPasses", &EGauge::SetNumFilteringPasses);
  Def(cls, "GetNumValidSamples", &EGauge::GetNumValidSamples);
  Def(cls, "GetAverageDistance", &EGauge::GetAverageDistance);
  Def(cls, "GetSample", &EGauge::GetSample);
  Def(cls, "AddSkipRange", &EGauge::AddSkipRange);
  Def(cls, "GetNumSkipRanges", &EGauge::GetNumSkipRanges);
  Def(cls, "RemoveSkipRange", &EGauge::RemoveSkipRange);
  Def(cls, "RemoveAllSkipRanges", &EGauge::RemoveAllSkipRanges);
  Def(cls, "SetMinNumFitSamples", &EGauge::SetMinNumFitSamples);
  cls.def("GetSkipRange", [](const ShapeHolder<C>& self, unsigned index) {
    C* gauge = self.Live();
    unsigned start = 0, end = 0;
    Checked([&] { gauge->GetSkipRange(index, start, end); });
    return py::make_tuple(start, end);
  });
  cls.def("GetMinNumFitSamples", [](const ShapeHolder<C>& self) {
    int a = 0, b = 0, c = 0, d = 0;
    self.Live()->GetMinNumFitSamples(a, b, c, d);
    return py::make_tuple(a, b, c, d);
  });
  cls.def(
      "GetSamples",
      [](const ShapeHolder<C>& self) {
        const ESampledPointVector& samples = static_cast<const EGauge*>(self.Live())->GetSamples();
        unsigned n = samples.GetNumElements();
        py::array_t<SampleRecord> result(static_cast<py::ssize_t>(n));
        SampleRecord* out = result.mutable_data();
        for (unsigned i = 0; i < n; ++i) {
          const ESampledPoint& s = const_cast<ESampledPointVector&>(samples)[i];
          out[i] = SampleRecord{s.Point.GetX(),    s.Point.GetY(), s.Distance,    s.Side,
                                s.TransitionValue, s.Valid,        s.FilteredOut, s.Skipped};
        }
        return result;
      },
      "The samples of the last measurement as a structured array (X, Y, Distance, Side, "
      "TransitionValue, Valid, FilteredOut, Skipped).");
}

// Measure on a region or image, or on a copy of a grey NumPy array.
template <class Cls>
void AddMeasure(Cls& cls) {
  using C = typename Cls::type;
  Def(cls, "Measure", static_cast<void (C::*)(EROI<EBW8>*)>(&C::Measure), py::arg("roi"));
  cls.def(
      "Measure",
      [](const ShapeHolder<C>& self, const py::array& array) {
        C* gauge = self.Live();
        auto image = ImageFromArray(array, "Measure");
        Checked([&] { gauge->Measure(image.get()); });
      },
      py::arg("image"));
}

template <class Cls>
void AddSamplingArea(Cls& cls) {
  using C = typename Cls::type;
  Def(cls, "GetRectangularSamplingArea", &C::GetRectangularSamplingArea);
  Def(cls, "SetRectangularSamplingArea", &C::SetRectangularSamplingArea);
}

template <class G, ETransition& (G::*Edge)()>
ETransition* EdgeOf(EShape* shape) {
  return &(static_cast<G*>(shape)->*Edge)();
}

template <class Cls, class G, ETransition& (G::*Edge)()>
void AddEdge(Cls& cls, const char* name) {
  cls.def(name, [](const ShapeHolder<G>& self) {
    self.Live();
    return EdgeTransition{ShapeHolder<EShape>(self.Life(), self.get()), &EdgeOf<G, Edge>};
  });
}

}  // namespace

void BindGauges(py::module_& m) {
  PYBIND11_NUMPY_DTYPE(SampleRecord, X, Y, Distance, Side, TransitionValue, Valid, FilteredOut,
                       Skipped);
  py::enum_<GGE_TRANSITION_TYPE>(m, "GGE_TRANSITION_TYPE")
      .value("GGE_DARK_TO_BRIGHT", GGE_DARK_TO_BRIGHT)
      .value("GGE_BRIGHT_TO_DARK", GGE_BRIGHT_TO_DARK)
      .value("GGE_ANY_EDGE", GGE_ANY_EDGE)
      .value("GGE_BRIGHT_BAR", GGE_BRIGHT_BAR)
      .value("GGE_DARK_BAR", GGE_DARK_BAR)
      .export_values();
  py::enum_<GGE_TRANSITION_CHOICE>(m, "GGE_TRANSITION_CHOICE")
      .value("GGE_FROM_BEGIN", GGE_FROM_BEGIN)
      .value("GGE_FROM_END", GGE_FROM_END)
      .value("GGE_MAX_AMPLITUDE", GGE_MAX_AMPLITUDE)
      .value("GGE_MAX_AREA", GGE_MAX_AREA)
      .value("GGE_CLOSEST_TO_CENTER", GGE_CLOSEST_TO_CENTER)
      .value("GGE_ALL_PEAKS", GGE_ALL_PEAKS)
      .export_values();
  py::enum_<GGE_CLIPPING_MODE>(m, "GGE_CLIPPING_MODE")
      .value("GGE_CLIPPING_NOMINAL_LENGTH", GGE_CLIPPING_NOMINAL_LENGTH)
      .value("GGE_CLIPPING_SAMPLE_SPAN", GGE_CLIPPING_SAMPLE_SPAN)
      .value("GGE_CLIPPING_TOLERANCE_BOX", GGE_CLIPPING_TOLERANCE_BOX)
      .export_values();
  py::enum_<GGE_FITTING_MODE>(m, "GGE_FITTING_MODE")
      .value("GGE_FITTING_UNWEIGHTED", GGE_FITTING_UNWEIGHTED)
      .value("GGE_FITTING_WEIGHTED", GGE_FITTING_WEIGHTED)
      .export_values();

  py::class_<EPeak>(m, "EPeak")
      .def_readonly("Start", &EPeak::Start)
      .def_readonly("Length", &EPeak::Length)
      .def_readonly("Center", &EPeak::Center)
      .def_readonly("Amplitude", &EPeak::Amplitude)
      .def_readonly("Area", &EPeak::Area);
  py::class_<ESampledPoint>(m, "ESampledPoint")
      .def_readonly("Point", &ESampledPoint::Point)
      .def_readonly("Distance", &ESampledPoint::Distance)
      .def_readonly("Side", &ESampledPoint::Side)
      .def_readonly("TransitionValue", &ESampledPoint::TransitionValue)
      .def_readonly("Valid", &ESampledPoint::Valid)
      .def_readonly("FilteredOut", &ESampledPoint::FilteredOut)
      .def_readonly("Skipped", &ESampledPoint::Skipped);

  py::class_<EdgeTransition> edge(m, "ETransition");
  AddTransition<py::class_<EdgeTransition>, const EdgeTransition&>(
      edge, [](const EdgeTransition& self) { return self.Get(); });

  // Point gauge.
  DerivedShapeClass<EPointGauge, EPointShape> point(m, "EPointGauge", py::multiple_inheritance());
  point.def(py::init<float, float>(), py::arg("x") = 0.0f, py::arg("y") = 0.0f);
  Def(point, "SetCenter", py::overload_cast<EPoint>(&EPointGauge::SetCenter));
  Def(point, "SetCenter", py::overload_cast<float, float>(&EPointGauge::SetCenter));
  Def(point, "SetTolerance", &EPointGauge::SetTolerance, py::arg("tolerance"),
      py::arg("angle") = 0.0f);
  Def(point, "SetTransitionChoice", &EPointGauge::SetTransitionChoice);
  AddGaugeTransition(point, true);
  AddSamplingArea(point);
  AddMeasure(point);
  Def(point, "GetMeasuredPoint", &EPointGauge::GetMeasuredPoint, py::arg("index") = ~0u);

  // Line gauge.
  DerivedShapeClass<ELineGauge, ELineShape> line(m, "ELineGauge", py::multiple_inheritance());
  line.def(py::init([](EPoint center, float length, float angle) {
             if (!Finite(center) || !Finite(length) || !Finite(angle))
               RaiseInvalid("ELineGauge::ELineGauge", "non-finite value");
             auto gauge = std::make_unique<ELineGauge>();
             gauge->Set(center, length, angle);
             return gauge.release();
           }),
           py::arg("center") = EPoint(), py::arg("length") = 0.0f, py::arg("angle") = 0.0f);
  Def(line, "Set", py::overload_cast<EPoint, float, float>(&ELineGauge::Set), py::arg("center"),
      py::arg("length"), py::arg("angle") = 0.0f);
  Def(line, "Set", py::overload_cast<EPoint, EPoint>(&ELineGauge::Set), py::arg("org"),
      py::arg("end"));
  Def(line, "Set", py::overload_cast<ELine>(&ELineGauge::Set), py::arg("line"));
  AddGaugeTransition(line);
  AddFitting(line);
  AddSamplingArea(line);
  AddMeasure(line);
  Def(line, "GetSamplingStep", &ELineGauge::GetSamplingStep);
  Def(line, "SetSamplingStep", &ELineGauge::SetSamplingStep);
  Def(line, "GetKnownAngle", &ELineGauge::GetKnownAngle);
  Def(line, "SetKnownAngle", &ELineGauge::SetKnownAngle);
  Def(line, "GetClippingMode", &ELineGauge::GetClippingMode);
  Def(line, "SetClippingMode", &ELineGauge::SetClippingMode);
  Def(line, "GetNumSamples", py::overload_cast<>(&ELineGauge::GetNumSamples, py::const_));
  Def(line, "FitLine", &ELineGauge::FitLine);
  Def(line, "GetMeasuredLine", &ELineGauge::GetMeasuredLine);

  // Circle gauge.
  DerivedShapeClass<ECircleGauge, ECircleShape> circle(m, "ECircleGauge",
                                                       py::multiple_inheritance());
  circle.def(py::init([](EPoint center, float diameter, float orgAngle, int direct) {
               if (!Finite(center) || !Finite(diameter) || !Finite(orgAngle))
                 RaiseInvalid("ECircleGauge::ECircleGauge", "non-finite value");
               auto gauge = std::make_unique<ECircleGauge>();
               gauge->Set(center, diameter, orgAngle, direct);
               return gauge.release();
             }),
             py::arg("center") = EPoint(), py::arg("diameter") = 0.0f, py::arg("orgAngle") = 0.0f,
             py::arg("direct") = 1);
  Def(circle, "Set", py::overload_cast<EPoint, float, float, int>(&ECircleGauge::Set),
      py::arg("center"), py::arg("diameter"), py::arg("orgAngle") = 0.0f, py::arg("direct") = 1);
  Def(circle, "Set", py::overload_cast<EPoint, float, float, float>(&ECircleGauge::Set),
      py::arg("center"), py::arg("diameter"), py::arg("orgAngle"), py::arg("amplitude"));
  Def(circle, "Set", py::overload_cast<EPoint, EPoint, EPoint, int>(&ECircleGauge::Set),
      py::arg("first"), py::arg("middle"), py::arg("last"), py::arg("full"));
  Def(circle, "Set", py::overload_cast<ECircle>(&ECircleGauge::Set), py::arg("circle"));
  AddGaugeTransition(circle);
  AddFitting(circle);
  AddSamplingArea(circle);
  AddMeasure(circle);
  Def(circle, "GetSamplingStep", &ECircleGauge::GetSamplingStep);
  Def(circle, "SetSamplingStep", &ECircleGauge::SetSamplingStep);
  Def(circle, "GetNumSamples", py::overload_cast<>(&ECircleGauge::GetNumSamples, py::const_));
  Def(circle, "SetInnerFilteringThreshold", &ECircleGauge::SetInnerFilteringThreshold);
  Def(circle, "GetInnerFilteringThreshold", &ECircleGauge::GetInnerFilteringThreshold);
  Def(circle, "DisableInnerFiltering", &ECircleGauge::DisableInnerFiltering);
  Def(circle, "IsInnerFilteringEnabled", &ECircleGauge::IsInnerFilteringEnabled);
  Def(circle, "SetFittingMode", &ECircleGauge::SetFittingMode);
  Def(circle, "GetFittingMode", &ECircleGauge::GetFittingMode);
  Def(circle, "FitCircle", &ECircleGauge::FitCircle);
  Def(circle, "GetMeasuredCircle", &ECircleGauge::GetMeasuredCircle);
  Def(circle, "GetMeasuredCircularity", &ECircleGauge::GetMeasuredCircularity);

  // Rectangle gauge.
  DerivedShapeClass<ERectangleGauge, ERectangleShape> rectangle(m, "ERectangleGauge",
                                                                py::multiple_inheritance());
  rectangle.def(py::init([](EPoint center, float sizeX, float sizeY, float angle) {
                  if (!Finite(center) || !Finite(sizeX) || !Finite(sizeY) || !Finite(angle))
                    RaiseInvalid("ERectangleGauge::ERectangleGauge", "non-finite value");
                  auto gauge = std::make_unique<ERectangleGauge>();
                  gauge->Set(ERectangle(center, sizeX, sizeY, angle));
                  return gauge.release();
                }),
                py::arg("center") = EPoint(), py::arg("sizeX") = 0.0f, py::arg("sizeY") = 0.0f,
                py::arg("angle") = 0.0f);
  Def(rectangle, "Set", py::overload_cast<const ERectangle&>(&ERectangleGauge::Set),
      py::arg("rectangle"));
  AddFitting(rectangle);
  AddMeasure(rectangle);
  Def(rectangle, "SetActiveEdges", &ERectangleGauge::SetActiveEdges);
  Def(rectangle, "GetActiveEdges", &ERectangleGauge::GetActiveEdges);
  Def(rectangle, "GetSamplingStep", &ERectangleGauge::GetSamplingStep);
  Def(rectangle, "SetSamplingStep", &ERectangleGauge::SetSamplingStep);
  Def(rectangle, "GetNumSamples", &ERectangleGauge::GetNumSamples);
  Def(rectangle, "SetKnownAngle", &ERectangleGauge::SetKnownAngle);
  Def(rectangle, "GetKnownAngle", &ERectangleGauge::GetKnownAngle);
  Def(rectangle, "FitRectangle", &ERectangleGauge::FitRectangle);
  Def(rectangle, "GetMeasuredRectangle", &ERectangleGauge::GetMeasuredRectangle);
  AddEdge<decltype(rectangle), ERectangleGauge, &ERectangleGauge::GetTransitionx>(rectangle,
                                                                                  "GetTransitionx");
  AddEdge<decltype(rectangle), ERectangleGauge, &ERectangleGauge::GetTransitiony>(rectangle,
                                                                                  "GetTransitiony");
  AddEdge<decltype(rectangle), ERectangleGauge, &ERectangleGauge::GetTransitionX>(rectangle,
                                                                                  "GetTransitionX");
  AddEdge<decltype(rectangle), ERectangleGauge, &ERectangleGauge::GetTransitionY>(rectangle,
                                                                                  "GetTransitionY");

  // Wedge gauge.
  DerivedShapeClass<EWedgeGauge, EWedgeShape> wedge(m, "EWedgeGauge", py::multiple_inheritance());
  wedge.def(py::init([](EPoint center, float diameter, float breadth, float orgAngle, int direct) {
              if (!Finite(center) || !Finite(diameter) || !Finite(breadth) || !Finite(orgAngle))
                RaiseInvalid("EWedgeGauge::EWedgeGauge", "non-finite value");
              auto gauge = std::make_unique<EWedgeGauge>();
              gauge->Set(EWedge(center, diameter, breadth, orgAngle, direct));
              return gauge.release();
            }),
            py::arg("center") = EPoint(), py::arg("diameter") = 0.0f, py::arg("breadth") = 0.0f,
            py::arg("orgAngle") = 0.0f, py::arg("direct") = 1);
  Def(wedge, "Set", py::overload_cast<const EWedge&>(&EWedgeGauge::Set), py::arg("wedge"));
  AddFitting(wedge);
  AddMeasure(wedge);
  Def(wedge, "SetActiveEdges", &EWedgeGauge::SetActiveEdges);
  Def(wedge, "GetActiveEdges", &EWedgeGauge::GetActiveEdges);
  Def(wedge, "GetSamplingStep", &EWedgeGauge::GetSamplingStep);
  Def(wedge, "SetSamplingStep", &EWedgeGauge::SetSamplingStep);
  Def(wedge, "GetNumSamples", &EWedgeGauge::GetNumSamples);
  Def(wedge, "FitWedge", &EWedgeGauge::FitWedge);
  Def(wedge, "GetMeasuredWedge", &EWedgeGauge::GetMeasuredWedge);
  AddEdge<decltype(wedge), EWedgeGauge, &EWedgeGauge::GetTransitiona>(wedge, "GetTransitiona");
  AddEdge<decltype(wedge), EWedgeGauge, &EWedgeGauge::GetTransitionr>(wedge, "GetTransitionr");
  AddEdge<decltype(wedge), EWedgeGauge, &EWedgeGauge::GetTransitionA>(wedge, "GetTransitionA");
  AddEdge<decltype(wedge), EWedgeGauge, &EWedgeGauge::GetTransitionR>(wedge, "GetTransitionR");
}

}  // namespace vimo_python
