// Images and regions to and from NumPy: arrays are copied into images (an image owns its
// pixels), and images and regions are seen from NumPy through views of their pixels, which
// keep their owner alive and forbid resizing it while they exist.
#include <cstring>
#include <limits>
#include <unordered_map>

#include "vimo_python.h"

namespace vimo_python {

namespace {

// Live NumPy views per root image.
std::unordered_map<const EGenericROI*, int> g_Views;

struct ViewKeeper {
  py::object owner;
  const EGenericROI* root;
  ~ViewKeeper() {
    auto it = g_Views.find(root);
    if (it != g_Views.end() && --it->second == 0) g_Views.erase(it);
  }
};

template <class T>
struct PixelTraits;
template <>
struct PixelTraits<EBW8> {
  using Scalar = uint8_t;
  static constexpr int kChannels = 1;
  static constexpr const char* kName = "BW8";
};
template <>
struct PixelTraits<EBW16> {
  using Scalar = uint16_t;
  static constexpr int kChannels = 1;
  static constexpr const char* kName = "BW16";
};
template <>
struct PixelTraits<EC24> {
  using Scalar = uint8_t;
  static constexpr int kChannels = 3;
  static constexpr const char* kName = "C24";
};

template <class T>
std::vector<py::ssize_t> ArrayShape(int width, int height) {
  if (PixelTraits<T>::kChannels == 1) return {height, width};
  return {height, width, PixelTraits<T>::kChannels};
}

// Checks that an array can hold pixels of type T: its dtype and its dimensions.
template <class T>
void CheckArray(const py::array& array, const std::string& where) {
  using Scalar = typename PixelTraits<T>::Scalar;
  if (!array.dtype().is(py::dtype::of<Scalar>()))
    RaiseInvalid(where, std::string("expected dtype ") +
                            py::str(py::dtype::of<Scalar>()).cast<std::string>() + ", got " +
                            py::str(array.dtype()).cast<std::string>());
  int channels = PixelTraits<T>::kChannels;
  bool shapeOk =
      channels == 1 ? array.ndim() == 2 : array.ndim() == 3 && array.shape(2) == channels;
  if (!shapeOk)
    RaiseInvalid(where, channels == 1 ? "expected a 2-D array (height x width)"
                                      : "expected a 3-D array (height x width x 3)");
  if (array.shape(0) > INT32_MAX || array.shape(1) > INT32_MAX)
    RaiseInvalid(where, "array too large");
}

// Copies a checked array into the region's pixels (same size), whatever its strides.
template <class T>
void CopyIn(const py::array& array, EROI<T>& roi) {
  using Scalar = typename PixelTraits<T>::Scalar;
  auto contiguous = py::array_t<Scalar, py::array::c_style>::ensure(array);
  if (!contiguous) throw py::error_already_set();
  const auto* source = reinterpret_cast<const uint8_t*>(contiguous.data());
  size_t rowBytes = static_cast<size_t>(roi.GetWidth()) * sizeof(T);
  for (int y = 0; y < roi.GetHeight(); ++y)
    std::memcpy(roi.GetImagePtr(0, y), source + y * rowBytes, rowBytes);
}

template <class T>
void Fill(EImage<T>& image, const py::array& array, const std::string& where) {
  CheckArray<T>(array, where);
  CheckNoViews(&image, where);
  Checked([&] { image.SetSize(int(array.shape(1)), int(array.shape(0))); });
  CopyIn(array, image);
}

// A view of the region's pixels that keeps `owner` (the region's Python object) alive.
template <class T>
py::array View(py::object owner, EROI<T>& roi) {
  using Scalar = typename PixelTraits<T>::Scalar;
  std::vector<py::ssize_t> shape = ArrayShape<T>(roi.GetWidth(), roi.GetHeight());
  std::vector<py::ssize_t> strides{roi.GetRowPitch(), static_cast<py::ssize_t>(sizeof(T))};
  if (PixelTraits<T>::kChannels > 1) strides.push_back(1);
  if (roi.IsVoid()) return py::array(py::dtype::of<Scalar>(), ArrayShape<T>(0, 0));
  const EGenericROI* root = roi.GetRoot();
  ++g_Views[root];
  auto* keeper = new ViewKeeper{std::move(owner), root};
  py::capsule base(keeper, [](void* p) { delete static_cast<ViewKeeper*>(p); });
  return py::array(py::dtype::of<Scalar>(), shape, strides, roi.GetImagePtr(), base);
}

template <class T>
py::array CopyOut(EROI<T>& roi) {
  using Scalar = typename PixelTraits<T>::Scalar;
  py::array_t<Scalar> result(ArrayShape<T>(roi.GetWidth(), roi.GetHeight()));
  size_t rowBytes = static_cast<size_t>(roi.GetWidth()) * sizeof(T);
  auto* target = reinterpret_cast<uint8_t*>(result.mutable_data());
  for (int y = 0; y < roi.GetHeight(); ++y)
    std::memcpy(target + y * rowBytes, roi.GetImagePtr(0, y), rowBytes);
  return result;
}

// A slice of one axis as origin and size; only unit steps make a region.
void SliceAxis(const py::handle& item, int length, int& origin, int& size) {
  py::slice slice = py::reinterpret_borrow<py::slice>(item);
  py::ssize_t start, stop, step, count;
  if (!slice.compute(length, &start, &stop, &step, &count)) throw py::error_already_set();
  if (step != 1) RaiseInvalid("EROI::__getitem__", "a region takes slices with step 1");
  origin = int(start);
  size = int(count);
}

template <class T>
py::object Repr(const EROI<T>& roi, const char* kind) {
  return py::str("<{}{} {}x{} at ({}, {})>")
      .format(kind, PixelTraits<T>::kName, roi.GetWidth(), roi.GetHeight(), roi.GetOrgX(),
              roi.GetOrgY());
}

template <class T>
void BindPixelType(py::module_& m) {
  using Roi = EROI<T>;
  using Image = EImage<T>;
  std::string roiName = std::string("EROI") + PixelTraits<T>::kName;
  std::string imageName = std::string("EImage") + PixelTraits<T>::kName;

  py::class_<Roi> roi(m, roiName.c_str());
  roi.def(py::init<>())
      .def(py::init([](Roi* parent, int orgX, int orgY, int width, int height) {
             auto region = std::make_unique<Roi>();
             Checked([&] {
               region->Attach(parent);
               region->SetPlacement(orgX, orgY, width, height);
             });
             return region;
           }),
           py::arg("parent"), py::arg("orgX") = 0, py::arg("orgY") = 0, py::arg("width") = 0,
           py::arg("height") = 0, py::keep_alive<1, 2>())
      .def(
          "Attach", [](Roi& self, Roi* parent) { Checked([&] { self.Attach(parent); }); },
          py::keep_alive<1, 2>())
      .def("Detach", &Roi::Detach)
      .def("SetPlacement", &Roi::SetPlacement)
      .def("GetWidth", &Roi::GetWidth)
      .def("GetHeight", &Roi::GetHeight)
      .def("GetOrgX", &Roi::GetOrgX)
      .def("GetOrgY", &Roi::GetOrgY)
      .def("GetTotalOrgX", &Roi::GetTotalOrgX)
      .def("GetTotalOrgY", &Roi::GetTotalOrgY)
      .def("GetRowPitch", &Roi::GetRowPitch)
      .def("IsVoid", &Roi::IsVoid)
      .def_property_readonly(
          "shape",
          [](const Roi& self) {
            return py::tuple(py::cast(ArrayShape<T>(self.GetWidth(), self.GetHeight())));
          })
      .def(
          "view", [](py::object self) { return View(self, self.cast<Roi&>()); },
          "A NumPy view of the pixels (no copy); it keeps the image alive.")
      .def(
          "to_array", [](Roi& self) { return CopyOut(self); }, "A NumPy copy of the pixels.")
      .def(
          "__array__",
          [](py::object self, py::object dtype, py::object copy) {
            py::object array = View(self, self.cast<Roi&>());
            if (!copy.is_none() && copy.cast<bool>()) array = array.attr("copy")();
            if (!dtype.is_none()) array = array.attr("astype")(dtype);
            return array;
          },
          py::arg("dtype") = py::none(), py::arg("copy") = py::none())
      .def(
          "__getitem__",
          [](Roi& self, py::tuple index) {
            if (index.size() != 2 || !py::isinstance<py::slice>(index[0]) ||
                !py::isinstance<py::slice>(index[1]))
              RaiseInvalid("EROI::__getitem__", "index a region with two slices [rows, columns]");
            int y, height, x, width;
            SliceAxis(index[0], self.GetHeight(), y, height);
            SliceAxis(index[1], self.GetWidth(), x, width);
            auto region = std::make_unique<Roi>();
            Checked([&] {
              region->Attach(&self);
              region->SetPlacement(x, y, width, height);
            });
            return region;
          },
          py::keep_alive<0, 1>())
      .def("__repr__", [](const Roi& self) { return Repr(self, "EROI"); });
  if constexpr (PixelTraits<T>::kChannels == 1) {
    roi.def("GetPixel", [](const Roi& self, int x, int y) {
      return Checked([&] { return static_cast<int>(self.GetPixel(x, y)); });
    });
    roi.def("SetPixel", [](Roi& self, int value, int x, int y) {
      // A value the pixel type cannot hold would wrap silently; refuse it instead.
      using Scalar = typename PixelTraits<T>::Scalar;
      if (value < 0 || value > static_cast<int>(std::numeric_limits<Scalar>::max()))
        RaiseInvalid("EROI::SetPixel", "pixel value out of range");
      Checked([&] { self.SetPixel(static_cast<T>(value), x, y); });
    });
  }

  py::class_<Image, Roi>(m, imageName.c_str())
      .def(py::init([](int width, int height) {
             return Checked([&] { return std::make_unique<Image>(width, height); });
           }),
           py::arg("width") = 0, py::arg("height") = 0)
      .def(py::init([](const py::array& array) {
             auto image = std::make_unique<Image>();
             Fill(*image, array, "EImage::EImage");
             return image;
           }),
           py::arg("array"), "A copy of a NumPy array.")
      .def_static(
          "from_array",
          [](const py::array& array) {
            auto image = std::make_unique<Image>();
            Fill(*image, array, "EImage::from_array");
            return image;
          },
          "A copy of a NumPy array.")
      .def(
          "assign",
          [](Image& self, const py::array& array) { Fill(self, array, "EImage::assign"); },
          "Replaces the pixels (and size) with a copy of a NumPy array.")
      .def("SetSize",
           [](Image& self, int width, int height) {
             CheckNoViews(&self, "EImage::SetSize");
             Checked([&] { self.SetSize(width, height); });
           })
      .def("Load",
           [](Image& self, const std::string& path) {
             CheckNoViews(&self, "EImage::Load");
             Checked([&] { self.Load(path.c_str()); });
           })
      .def("Save",
           [](Image& self, const std::string& path) { Checked([&] { self.Save(path.c_str()); }); })
      .def("__repr__", [](const Image& self) { return Repr(self, "EImage"); });
}

}  // namespace

void CheckNoViews(const EGenericROI* image, const std::string& where) {
  if (g_Views.count(image) != 0)
    RaiseInvalid(where, "NumPy views of this image's pixels exist; delete them first");
}

std::unique_ptr<EImage<EBW8>> ImageFromArray(const py::array& array, const std::string& where) {
  auto image = std::make_unique<EImage<EBW8>>();
  Fill(*image, array, where);
  return image;
}

void BindImages(py::module_& m) {
  BindPixelType<EBW8>(m);
  BindPixelType<EBW16>(m);
  BindPixelType<EC24>(m);
}

}  // namespace vimo_python
