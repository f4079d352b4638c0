// A fingerprint of many unwarps: tables and outputs of every form (direct and table-driven,
// nearest and bilinear, grey and colour) through worlds of every calibration family, hashed
// bit for bit. The pinned value was taken before the kernels and the table building were
// reorganised for speed; any change of a table entry or an output pixel shows. It is pinned
// where the maths library is glibc's (others round some functions differently).
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <limits>
#include <vector>

#include "unwarp_reference.h"
#include "vimo/calibration/unwarp_kernels.h"
#include "vimo/calibration/world.h"
#include "vimo/core/core.h"

namespace {

struct Fnv {
  uint64_t h = 1469598103934665603ull;
  template <class T>
  void Region(const EROI<T>& r) {
    for (int y = 0; y < r.GetHeight(); ++y) {
      const unsigned char* b = reinterpret_cast<const unsigned char*>(r.GetImagePtr(0, y));
      for (size_t i = 0; i < sizeof(T) * static_cast<size_t>(r.GetWidth()); ++i)
        h = (h ^ b[i]) * 1099511628211ull;
    }
  }
};

template <class T>
void HashForms(EWorld& world, EROI<T>* src, Fnv& hash) {
  const int W = src->GetWidth(), H = src->GetHeight();
  for (int interpolate : {0, 1}) {
    EImage<T> direct(W, H), viaTable(W, H);
    EImage<ESubPixel64> table(W, H);
    world.Unwarp(src, &direct, interpolate);
    world.SetupUnwarp(&table, src, interpolate);
    world.Unwarp(&table, src, &viaTable, interpolate);
    hash.Region(direct);
    hash.Region(table);
    hash.Region(viaTable);
  }
}

TEST(UnwarpHash, EveryFormAndFamilyIsUnchanged) {
  EOk();
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
  EImage<EBW8> grey(150, 90);
  EImage<EC24> colour(150, 90);
  unwarp_reference::FillRandom(&grey, 21);
  unwarp_reference::FillRandom(&colour, 22);
  EROI<EBW8> greyWindow;
  EROI<EC24> colourWindow;
  greyWindow.Attach(&grey);
  greyWindow.SetPlacement(7, 5, 131, 77);
  colourWindow.Attach(&colour);
  colourWindow.SetPlacement(9, 3, 133, 79);
  const float kDefault = std::numeric_limits<float>::max();
  struct Model {
    float fieldW, fieldH, angle, tiltX, tiltY, perspective, distortion;
    unsigned modes;
  };
  const Model models[] = {
      {131, 77, 0, 0, 0, 0, 0, E_CALIBRATION_INVERSE},
      {131, 77, 0, 0, 0, 0, 0, 0},
      {65.5f, 40.0f, 0, 0, 0, 0, 0, E_CALIBRATION_INVERSE},
      {120, 70, 7.5f, 0, 0, 0, 0, E_CALIBRATION_INVERSE},
      {120, 80, 3.0f, 6.0f, -4.0f, 0.003f, 0, 0},
      {125, 75, 2.0f, 0, 0, 0, 4e-5f, E_CALIBRATION_INVERSE},
      {140, 90, -5.0f, 3.0f, 5.0f, 0.002f, -3e-5f, 0},
      {130, 76, 0, 0, 0, 0, 6e-5f, 0},
  };
  // The models above, the raw world, and polynomials fitted to landmarks.
  std::vector<EWorld> worlds(std::size(models) + 3);
  for (size_t w = 0; w < std::size(models); ++w) {
    const Model& m = models[w];
    worlds[w].SetSensor(131, 77, m.fieldW, m.fieldH, kDefault, kDefault, m.angle, m.tiltX, m.tiltY,
                        m.perspective, m.distortion, 0, kDefault, kDefault, m.modes);
  }
  worlds[std::size(models)].SetOpticalCenter(2.5f, -1.5f);
  const unsigned fitted[2] = {E_CALIBRATION_QUADRATIC, E_CALIBRATION_BILINEAR};
  for (int f = 0; f < 2; ++f) {
    EWorld& world = worlds[std::size(models) + 1 + f];
    for (int gy = 0; gy < 7; ++gy)
      for (int gx = 0; gx < 9; ++gx) {
        const float x = 14.0f * gx - 56, y = 11.0f * gy - 33;
        world.AddLandmark(EPoint(65 + 1.03f * x + 0.04f * y + 2e-3f * x * x + 1e-3f * x * y,
                                 38 - 0.02f * x + 0.98f * y + 1.5e-3f * x * y - 1e-3f * y * y),
                          EPoint(x, y));
      }
    world.Calibrate(fitted[f]);
    EXPECT_NE(world.GetCalibrationModes() & fitted[f], 0u);
  }
  // Every kernel path must reproduce the fingerprint.
  for (int isa = vimo_unwarp::kIsaScalar; isa <= vimo_unwarp::SupportedIsa(); ++isa) {
    ASSERT_EQ(vimo_unwarp::UseIsa(static_cast<vimo_unwarp::Isa>(isa)), isa);
    Fnv hash;
    for (EWorld& world : worlds) {
      HashForms(world, &greyWindow, hash);
      HashForms(world, &colourWindow, hash);
      world.SetRatio(-world.GetRatio());
      HashForms(world, &greyWindow, hash);
      world.SetRatio(-world.GetRatio());
    }
    EXPECT_EQ(EGetError(), E_OK);
#if defined(__GLIBC__)  // the models' sines and cosines are glibc's
    EXPECT_EQ(hash.h, 0xd0a29926ff6629f5ull) << std::hex << hash.h << " path " << isa;
#else
    EXPECT_NE(hash.h, 0u);
#endif
  }
  vimo_unwarp::UseIsa(vimo_unwarp::SupportedIsa());
}

}  // namespace
