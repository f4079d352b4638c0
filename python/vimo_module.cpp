// The vimo Python module: errors, the process-wide settings, shape lifetimes and the families.
#include <unordered_map>
#include <vector>

#include "vimo_python.h"

namespace vimo_python {

namespace {

PyObject* g_Error = nullptr;
PyObject* g_DeletedShapeError = nullptr;
// The shapes Python objects name, by address; an entry lives as long as one of its holders.
// Never destroyed: VimoWorld, which reports its deletions here, outlives this module's statics.
std::unordered_map<EShape*, std::weak_ptr<ShapeLife>>& g_Lives =
    *new std::unordered_map<EShape*, std::weak_ptr<ShapeLife>>();
// Set once the interpreter has started to shut down: from then on a deletion only marks the
// life, since pybind11's tables may be gone (VimoWorld dies after the interpreter).
bool g_Finalizing = false;

void SetError(const std::string& message, int code, const std::string& text,
              const std::string& trace) {
  py::object type = py::reinterpret_borrow<py::object>(g_Error);
  py::object error = type(message);
  error.attr("code") = code;
  error.attr("text") = text;
  error.attr("trace") = trace;
  PyErr_SetObject(g_Error, error.ptr());
}

// The Python type EShape: only its instances carry a ShapeHolder.
PyTypeObject* g_ShapeType = nullptr;

py::detail::value_and_holder HolderOf(py::detail::instance* instance) {
  if (!PyType_IsSubtype(Py_TYPE(instance), g_ShapeType)) return py::detail::value_and_holder();
  return instance->get_value_and_holder(py::detail::get_type_info(Py_TYPE(instance)), false);
}

// Forgets the Python objects of a deleted shape, so that a new shape at the same address never
// gets them back; they stay, marked dead, for whoever still holds them.
void Unregister(const std::shared_ptr<ShapeLife>& life, EShape* shape) {
  auto& registered = py::detail::get_internals().registered_instances;
  std::vector<py::detail::instance*> stale;
  for (void* key : {life->object, static_cast<void*>(shape)}) {
    auto range = registered.equal_range(key);
    for (auto it = range.first; it != range.second; ++it) {
      py::detail::value_and_holder holder = HolderOf(it->second);
      if (holder.type != nullptr && holder.holder_constructed() &&
          holder.holder<ShapeHolder<EShape>>().Life().get() == life.get())
        stale.push_back(it->second);
    }
  }
  for (py::detail::instance* instance : stale) {
    py::detail::value_and_holder holder = HolderOf(instance);
    if (holder.type == nullptr || !holder.instance_registered()) continue;
    py::detail::deregister_instance(instance, holder.value_ptr(), holder.type);
    holder.set_instance_registered(false);
  }
}

void OnShapeDestroyed(EShape* shape) {
  auto it = g_Lives.find(shape);
  if (it == g_Lives.end()) return;
  std::shared_ptr<ShapeLife> life = it->second.lock();
  g_Lives.erase(it);
  if (!life) return;
  life->alive = false;
  if (!g_Finalizing && Py_IsInitialized()) Unregister(life, shape);
}

template <class T>
py::object Cast(const std::shared_ptr<ShapeLife>& life, EShape* shape) {
  return py::cast(ShapeHolder<T>(life, static_cast<T*>(shape)));
}

}  // namespace

void RaiseInvalid(const std::string& where, const std::string& detail) {
  throw Failure{static_cast<int>(E_ERROR_INVALID_PARAMETER),
                EGetErrorText(E_ERROR_INVALID_PARAMETER), where + "\n", detail};
}

ShapeLife::~ShapeLife() {
  auto it = g_Lives.find(shape);
  if (it != g_Lives.end() && it->second.expired()) g_Lives.erase(it);
  if (owned && alive && shape != nullptr) {
    alive = false;
    delete shape;
  }
}

std::shared_ptr<ShapeLife> LifeOf(EShape* shape, bool owned) {
  auto it = g_Lives.find(shape);
  if (it != g_Lives.end()) {
    if (std::shared_ptr<ShapeLife> life = it->second.lock()) return life;
  }
  auto life = std::make_shared<ShapeLife>();
  life->shape = shape;
  life->object = dynamic_cast<void*>(shape);
  life->owned = owned;
  g_Lives[shape] = life;
  return life;
}

py::object Wrap(EShape* shape, bool owned) {
  if (shape == nullptr) return py::none();
  std::shared_ptr<ShapeLife> life = LifeOf(shape, owned);
  switch (shape->GetType()) {
    case INS_SHAPE_TYPE_POINT_SHAPE: return Cast<EPointShape>(life, shape);
    case INS_SHAPE_TYPE_LINE_SHAPE: return Cast<ELineShape>(life, shape);
    case INS_SHAPE_TYPE_CIRCLE_SHAPE: return Cast<ECircleShape>(life, shape);
    case INS_SHAPE_TYPE_WEDGE_SHAPE: return Cast<EWedgeShape>(life, shape);
    case INS_SHAPE_TYPE_RECTANGLE_SHAPE: return Cast<ERectangleShape>(life, shape);
    case INS_SHAPE_TYPE_FRAME_SHAPE: return Cast<EFrameShape>(life, shape);
    case INS_SHAPE_TYPE_WORLD_SHAPE: return Cast<EWorldShape>(life, shape);
    case INS_SHAPE_TYPE_POINT_GAUGE: return Cast<EPointGauge>(life, shape);
    case INS_SHAPE_TYPE_LINE_GAUGE: return Cast<ELineGauge>(life, shape);
    case INS_SHAPE_TYPE_CIRCLE_GAUGE: return Cast<ECircleGauge>(life, shape);
    case INS_SHAPE_TYPE_RECTANGLE_GAUGE: return Cast<ERectangleGauge>(life, shape);
    case INS_SHAPE_TYPE_WEDGE_GAUGE: return Cast<EWedgeGauge>(life, shape);
    default: return Cast<EShape>(life, shape);
  }
}

void InstallLifeTracking(py::module_& m) {
  g_ShapeType = reinterpret_cast<PyTypeObject*>(m.attr("EShape").ptr());
  EShape::SetDestructionObserver(&OnShapeDestroyed);
  m.def("_finalizing", [] { g_Finalizing = true; });
  py::module_::import("atexit").attr("register")(m.attr("_finalizing"));
}

}  // namespace vimo_python

using namespace vimo_python;

PYBIND11_MODULE(vimo, m) {
  m.doc() = "Sub-pixel geometric measurement in machine-vision images.";

  g_Error = PyErr_NewException("vimo.Error", PyExc_RuntimeError, nullptr);
  m.add_object("Error", py::handle(g_Error));
  py::tuple bases = py::make_tuple(py::handle(g_Error), py::handle(PyExc_ReferenceError));
  g_DeletedShapeError = PyErr_NewException("vimo.ShapeDeletedError", bases.ptr(), nullptr);
  m.add_object("ShapeDeletedError", py::handle(g_DeletedShapeError));
  py::register_exception_translator([](std::exception_ptr pending) {
    try {
      if (pending) std::rethrow_exception(pending);
    } catch (const Failure& failure) {
      std::string message = failure.text;
      if (!failure.detail.empty()) message += " (" + failure.detail + ")";
      SetError(message, failure.code, failure.text, failure.trace);
    } catch (const DeletedShape& deleted) {
      PyErr_SetString(g_DeletedShapeError, deleted.what.c_str());
    } catch (const Quarnel::Vexlor::Exception& exception) {
      std::string trace = EGetErrorTrace();
      EOk();
      SetError(exception.what(), static_cast<int>(exception.GetCode()), exception.what(), trace);
    }
  });

  py::enum_<E_ANGLE_UNITS>(m, "E_ANGLE_UNITS")
      .value("E_ANGLE_UNIT_RADIANS", E_ANGLE_UNIT_RADIANS)
      .value("E_ANGLE_UNIT_DEGREES", E_ANGLE_UNIT_DEGREES)
      .value("E_ANGLE_UNIT_GRADIANS", E_ANGLE_UNIT_GRADIANS)
      .value("E_ANGLE_UNIT_REVOLUTIONS", E_ANGLE_UNIT_REVOLUTIONS)
      .export_values();
  m.def("ESetAngleUnit", &ESetAngleUnit);
  m.def("EGetAngleUnit", &EGetAngleUnit);
  m.def("GetRecursiveCopyBehavior", &GetRecursiveCopyBehavior);
  m.def("SetRecursiveCopyBehavior", &SetRecursiveCopyBehavior);
  m.def("EGetErrorText", [](int code) { return std::string(EGetErrorText(E_ERRORS(code))); });

  BindImages(m);
  BindGeometry(m);
  BindDrawing(m);
  BindShapes(m);
  BindWorld(m);
  BindGauges(m);
  InstallLifeTracking(m);
}
