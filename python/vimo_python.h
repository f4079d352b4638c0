// Shared machinery of the Python module: errors raised as vimo.Error, the holder that lets a
// Python object outlive the C++ shape it names without touching freed memory, and the wrappers
// that check arguments, clear the error state before a call and raise after it.
#ifndef VIMO_PYTHON_VIMO_PYTHON_H
#define VIMO_PYTHON_VIMO_PYTHON_H

#include <pybind11/numpy.h>
#include <pybind11/operators.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#include "vimo/vimo.h"

namespace py = pybind11;

namespace vimo_python {

// A failure of the library, or of an argument checked here, carried to the exception
// translator that raises vimo.Error.
struct Failure {
  int code;
  std::string text;
  std::string trace;
  std::string detail;
};
// A call on a Python object whose shape has been deleted (raises vimo.ShapeDeletedError).
struct DeletedShape {
  std::string what;
};

// Raises the pending library error, if any, and clears the error state.
inline void RaisePending() {
  E_ERRORS code = EGetError();
  if (code == E_OK) return;
  Failure failure{static_cast<int>(code), EGetErrorText(code), EGetErrorTrace(), ""};
  EOk();
  throw failure;
}
// Raises an invalid-parameter error traced with `where`, with a note on what was wrong.
[[noreturn]] void RaiseInvalid(const std::string& where, const std::string& detail);

// What the binding knows about one C++ shape that a Python object names. Shared by every holder
// of that shape; the shape is deleted with the last holder when Python owns it.
struct ShapeLife {
  EShape* shape = nullptr;
  void* object = nullptr;  // the most derived object, the key pybind11 registers
  bool alive = true;
  bool owned = false;  // Python created it, or took a library-made clone without a mother
  ~ShapeLife();
};

// The life of a shape: the one already known, or a new one.
std::shared_ptr<ShapeLife> LifeOf(EShape* shape, bool owned);

// The pybind11 holder of every shape class.
template <class T>
class ShapeHolder {
 public:
  ShapeHolder() = default;
  // pybind11 builds this holder for an object it constructed: Python owns it.
  explicit ShapeHolder(T* shape)
      : m_Life(shape != nullptr ? LifeOf(shape, true) : nullptr), m_pShape(shape) {}
  ShapeHolder(std::shared_ptr<ShapeLife> life, T* shape)
      : m_Life(std::move(life)), m_pShape(shape) {}
  // Used by pybind11 to view a holder of a derived class as one of a base class.
  template <class U>
  ShapeHolder(const ShapeHolder<U>& other, T* shape) : m_Life(other.Life()), m_pShape(shape) {}

  T* get() const { return m_pShape; }
  const std::shared_ptr<ShapeLife>& Life() const { return m_Life; }
  // The shape, or an exception when it has been deleted.
  T* Live() const {
    if (!m_Life || !m_Life->alive) throw DeletedShape{"the shape has been deleted"};
    return m_pShape;
  }

 private:
  std::shared_ptr<ShapeLife> m_Life;
  T* m_pShape = nullptr;
};

}  // namespace vimo_python

PYBIND11_DECLARE_HOLDER_TYPE(T, vimo_python::ShapeHolder<T>)

namespace vimo_python {

// The Python object of a shape (None for nullptr), of its most derived bound class.
py::object Wrap(EShape* shape, bool owned = false);

template <class T>
using ShapeClass = py::class_<T, ShapeHolder<T>>;
template <class T, class Base>
using DerivedShapeClass = py::class_<T, Base, ShapeHolder<T>>;

// Argument checks: non-finite geometry is refused before it reaches the library.
inline bool Finite(float v) { return std::isfinite(v); }
inline bool Finite(double v) { return std::isfinite(v); }
template <class A>
bool Finite(const A& a) {
  if constexpr (std::is_base_of_v<EPoint, A>)
    return std::isfinite(a.GetX()) && std::isfinite(a.GetY());
  else
    return true;
}

template <class A>
struct IsShapePointer
    : std::bool_constant<std::is_pointer_v<A> &&
                         std::is_base_of_v<EShape, std::remove_cv_t<std::remove_pointer_t<A>>>> {};

// How an argument crosses: shapes as their holders (so that a deleted one is refused), the rest
// as they are.
template <class A, class = void>
struct Arg {
  using type = A;
  static A Get(A a, const std::string&) { return a; }
};
template <class A>
struct Arg<A, std::enable_if_t<IsShapePointer<A>::value>> {
  using Shape = std::remove_cv_t<std::remove_pointer_t<A>>;
  using type = const ShapeHolder<Shape>&;
  static A Get(const ShapeHolder<Shape>& holder, const std::string& where) {
    if (!holder.Life()) RaiseInvalid(where, "a shape is required, not None");
    return holder.Live();
  }
};

// How a result crosses: shapes through Wrap, the rest as they are.
template <class R>
auto Out(R&& r) {
  if constexpr (IsShapePointer<std::decay_t<R>>::value)
    return Wrap(r);
  else
    return std::forward<R>(r);
}

// The live shape of a Python object of class C (or a subclass). Reads the holder straight from
// the instance: pybind11's holder conversion through base classes costs microseconds.
template <class C>
C* ShapeSelf(py::handle self) {
  static PyTypeObject* type = py::detail::get_type_info(typeid(C))->type;
  if (!PyObject_TypeCheck(self.ptr(), type))
    throw py::type_error(std::string("expected ") + type->tp_name);
  auto* instance = reinterpret_cast<py::detail::instance*>(self.ptr());
  py::detail::value_and_holder holder = instance->get_value_and_holder();
  if (!holder.holder_constructed()) throw DeletedShape{"the shape has been deleted"};
  const std::shared_ptr<ShapeLife>& life = holder.holder<ShapeHolder<EShape>>().Life();
  if (!life || !life->alive) throw DeletedShape{"the shape has been deleted"};
  return static_cast<C*>(life->shape);
}

template <class C, class R, class M, class... A>
auto MakeCall(std::string where, M f) {
  if constexpr (std::is_base_of_v<EShape, C>) {
    return [where, f](py::handle self, typename Arg<A>::type... a) {
      C* object = ShapeSelf<C>(self);
      if (!(Finite(a) && ...)) RaiseInvalid(where, "non-finite value");
      EOk();
      if constexpr (std::is_void_v<R>) {
        (object->*f)(Arg<A>::Get(a, where)...);
        RaisePending();
      } else {
        auto result = Out((object->*f)(Arg<A>::Get(a, where)...));
        RaisePending();
        return result;
      }
    };
  } else {
    return [where, f](C& self, typename Arg<A>::type... a) {
      if (!(Finite(a) && ...)) RaiseInvalid(where, "non-finite value");
      EOk();
      if constexpr (std::is_void_v<R>) {
        (self.*f)(Arg<A>::Get(a, where)...);
        RaisePending();
      } else {
        auto result = Out((self.*f)(Arg<A>::Get(a, where)...));
        RaisePending();
        return result;
      }
    };
  }
}

inline std::string Where(const py::handle& cls, const char* name) {
  return py::str(cls.attr("__name__")).cast<std::string>() + "::" + name;
}

// Binds a member function under its C++ name, with the checks above.
template <class Cls, class R, class B, class... A, class... Extra>
void Def(Cls& cls, const char* name, R (B::*f)(A...), const Extra&... extra) {
  using C = typename Cls::type;
  cls.def(name, MakeCall<C, R, R (B::*)(A...), A...>(Where(cls, name), f), extra...);
}
template <class Cls, class R, class B, class... A, class... Extra>
void Def(Cls& cls, const char* name, R (B::*f)(A...) const, const Extra&... extra) {
  using C = typename Cls::type;
  cls.def(name, MakeCall<C, R, R (B::*)(A...) const, A...>(Where(cls, name), f), extra...);
}

// A plain function run with the error state cleared before and raised after.
template <class F>
auto Checked(F f) {
  EOk();
  if constexpr (std::is_void_v<decltype(f())>) {
    f();
    RaisePending();
  } else {
    auto result = f();
    RaisePending();
    return result;
  }
}

// The `self` argument of a hand-written method: a shape through its holder (checked), any other
// object by reference.
template <class C, class = void>
struct Self {
  using type = C&;
  static C* Get(C& self) { return &self; }
};
template <class C>
struct Self<C, std::enable_if_t<std::is_base_of_v<EShape, C>>> {
  using type = py::handle;
  static C* Get(py::handle self) { return ShapeSelf<C>(self); }
};

// The shape a holder names, or the deletion error.
template <class T>
T* Live(const ShapeHolder<T>& holder) {
  return holder.Live();
}

// Builders of the families, one file each.
void BindImages(py::module_& m);
void BindGeometry(py::module_& m);
void BindWorld(py::module_& m);
void BindShapes(py::module_& m);
void BindGauges(py::module_& m);
void BindDrawing(py::module_& m);

// Registers the deletion observer, and stops it touching Python once the interpreter ends.
void InstallLifeTracking(py::module_& m);

// Images: a copy of a grey 8-bit array into a new image, for calls that take an image.
std::unique_ptr<EImage<EBW8>> ImageFromArray(const py::array& array, const std::string& where);
// Refuses a resize of an image while NumPy views of its pixels exist.
void CheckNoViews(const EGenericROI* image, const std::string& where);

}  // namespace vimo_python

#endif
