// EWorld's unwarping operations on real worlds: raw, calibrated and Y-up.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "unwarp_reference.h"
#include "vimo/calibration/world.h"
#include "vimo/core/core.h"

namespace {

using unwarp_reference::FillRandom;
using unwarp_reference::SameImage;

// The output pixel (i, j) computed from the world's own WorldToSensor and the sampling rules.
template <class T>
T Expected(const EWorld& world, const EROI<T>& src, int i, int j, int interpolate) {
  float u = 1.0f / world.GetScale();
  float v = world.GetRatio() > 0 ? u : -u;
  EPoint P = world.WorldToSensor(EPoint((static_cast<float>(i) - world.GetOpticalCenterX()) * u,
                                        (static_cast<float>(j) - world.GetOpticalCenterY()) * v));
  return unwarp_reference::Sample(src, P.GetX(), P.GetY(), interpolate);
}

// Direct, table-driven and expected outputs of one world; returns the direct output.
template <class T>
void ExpectFormsAgree(EWorld& world, EROI<T>* src, int interpolate) {
  const int W = src->GetWidth(), H = src->GetHeight();
  EImage<T> direct(W, H), viaTable(W, H);
  EImage<ESubPixel64> table(W, H);
  EOk();
  world.Unwarp(src, &direct, interpolate);
  world.SetupUnwarp(&table, src, interpolate);
  world.Unwarp(&table, src, &viaTable, interpolate);
  ASSERT_EQ(EGetError(), E_OK);
  EXPECT_TRUE(SameImage(direct, viaTable));
  // Most of the output must come from the source for the comparison to mean something.
  int filled = 0;
  for (int j = 0; j < H; ++j)
    for (int i = 0; i < W; ++i) filled += !(direct.GetPixel(i, j) == T{});
  EXPECT_GT(filled, W * H / 2);
  int mismatches = 0;
  for (int j = 0; j < H; ++j)
    for (int i = 0; i < W; ++i)
      if (!(direct.GetPixel(i, j) == Expected(world, *src, i, j, interpolate))) ++mismatches;
  EXPECT_EQ(mismatches, 0) << "interpolate " << interpolate;
}

}  // namespace

template <class T>
class WorldUnwarp : public ::testing::Test {};
typedef ::testing::Types<EBW8, EC24> WorldPixelTypes;
TYPED_TEST_SUITE(WorldUnwarp, WorldPixelTypes);

TYPED_TEST(WorldUnwarp, RawWorldShiftsTheSourceDownOneRow) {
  EImage<TypeParam> src(21, 13), nearest(21, 13), bilinear(21, 13), fromTable(21, 13);
  FillRandom(&src, 1);
  EWorld world;
  world.SetOpticalCenter(0.0f, 0.0f);
  ASSERT_EQ(world.GetCalibrationModes(), static_cast<unsigned>(E_CALIBRATION_RAW));
  world.Unwarp(&src, &nearest, 0);
  world.Unwarp(&src, &bilinear, 1);
  EImage<ESubPixel64> table(21, 13);
  world.SetupUnwarp(&table, &src, 0);
  world.Unwarp(&table, &src, &fromTable, 0);
  EXPECT_EQ(EGetError(), E_OK);
  for (int j = 0; j < 13; ++j)
    for (int i = 0; i < 21; ++i) {
      TypeParam above = j == 0 ? TypeParam{} : src.GetPixel(i, j - 1);
      EXPECT_TRUE(nearest.GetPixel(i, j) == above);
      EXPECT_TRUE(fromTable.GetPixel(i, j) == above);
      // On pixel centres the bilinear sample copies the same pixel; the last column has no
      // right-hand neighbour and is black.
      EXPECT_TRUE(bilinear.GetPixel(i, j) == (i == 20 ? TypeParam{} : above));
    }
  // The bilinear table of the raw world: offsets of pixel (i, j), no fractions.
  EImage<ESubPixel64> bilinearTable(21, 13);
  world.SetupUnwarp(&bilinearTable, &src, 1);
  ESubPixel64 e = bilinearTable.GetPixel(5, 7);
  EXPECT_EQ(e.SubPixel.Offset, 5 * static_cast<int>(sizeof(TypeParam)) + 7 * src.GetRowPitch());
  EXPECT_EQ(e.SubPixel.FractionX, 0);
  EXPECT_EQ(e.SubPixel.FractionY, 0);
  EXPECT_EQ(bilinearTable.GetPixel(3, 0).SubPixel.Offset, INT32_MIN);   // no row above
  EXPECT_EQ(bilinearTable.GetPixel(20, 4).SubPixel.Offset, INT32_MIN);  // no right neighbour
}

TYPED_TEST(WorldUnwarp, CalibratedWorldsGiveTheSameOutputInEveryForm) {
  EImage<TypeParam> image(80, 60);
  FillRandom(&image, 2);
  EROI<TypeParam> src;  // a window, so that the row pitch differs from the width
  src.Attach(&image);
  src.SetPlacement(5, 4, 67, 49);
  const float kDefault = std::numeric_limits<float>::max();
  EWorld scaled;
  scaled.SetSensor(67, 49, 33.5f, 20.0f, kDefault, kDefault, 0, 0, 0, 0, 0, 0, kDefault, kDefault,
                   E_CALIBRATION_INVERSE);
  EWorld rotatedDistorted;
  rotatedDistorted.SetSensor(67, 49, 60.0f, 45.0f, 30.0f, 20.0f, 4.0f, 0, 0, 0, 2e-5f, 0, kDefault,
                             kDefault, E_CALIBRATION_INVERSE);
  EWorld tilted;
  tilted.SetSensor(67, 49, 70.0f, 50.0f, kDefault, kDefault, 0, 5.0f, -3.0f, 0.002f, 0, 0, kDefault,
                   kDefault, 0);
  EWorld* worlds[] = {&scaled, &rotatedDistorted, &tilted};
  for (EWorld* world : worlds)
    for (int interpolate : {0, 1}) ExpectFormsAgree(*world, &src, interpolate);
}

TYPED_TEST(WorldUnwarp, NegativeRatioTurnsRowsTowardsNegativeWorldY) {
  // A raw world with a negative ratio: output row j stands for world y = H - j, sampled at
  // sensor row H - j, whose nearest-neighbour row is H - 1 - j: the image upside down.
  const int W = 9, H = 7;
  EImage<TypeParam> src(W, H), dst(W, H);
  FillRandom(&src, 3);
  EWorld world;
  world.SetRatio(-1.0f);
  world.SetOpticalCenter(0.0f, static_cast<float>(H));
  world.Unwarp(&src, &dst, 0);
  for (int j = 0; j < H; ++j)
    for (int i = 0; i < W; ++i) EXPECT_TRUE(dst.GetPixel(i, j) == src.GetPixel(i, H - 1 - j));
  ExpectFormsAgree(world, &src, 1);
}

TYPED_TEST(WorldUnwarp, OneTableServesManyImages) {
  EImage<TypeParam> first(40, 30), second(40, 30), direct(40, 30), viaTable(40, 30);
  FillRandom(&first, 4);
  FillRandom(&second, 5);
  EWorld world;
  world.SetSensor(40, 30, 20.0f, 15.0f, 20.0f, 15.0f, 10.0f, 0, 0, 0, 0, 0, 20.0f, 15.0f,
                  E_CALIBRATION_INVERSE);
  EImage<ESubPixel64> table(40, 30);
  world.SetupUnwarp(&table, &first, 1);
  for (EImage<TypeParam>* src : {&first, &second}) {
    world.Unwarp(src, &direct, 1);
    world.Unwarp(&table, src, &viaTable, 1);
    EXPECT_TRUE(SameImage(direct, viaTable));
  }
}

TEST(WorldUnwarpChecks, EachFormTracesItsOwnName) {
  EWorld world;
  EImage<EBW8> grey(8, 6), greyOut(8, 5), empty;
  EImage<EC24> colour(8, 6), colourOut(7, 6), emptyColour;
  EImage<ESubPixel64> table(8, 6), wrongTable(6, 8);
  FillRandom(&greyOut, 1);
  FillRandom(&colourOut, 2);
  EImage<EBW8> greyBefore = greyOut;
  EImage<EC24> colourBefore = colourOut;
  auto expectTrace = [](const char* name) {
    EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER) << name;
    EXPECT_EQ(std::string(EGetErrorTrace()), std::string(name) + "\n");
    EOk();
  };
  EOk();
  world.Unwarp(&grey, &greyOut, 0);
  expectTrace("EWorld::Unwarp ( BW8)");
  world.Unwarp(&emptyColour, &colourOut, 1);
  expectTrace("EWorld::Unwarp ( C24)");
  world.SetupUnwarp(&wrongTable, &grey, 0);
  expectTrace("EWorld::SetupUnwarp ( BW8)");
  world.SetupUnwarp(&table, &emptyColour, 1);
  expectTrace("EWorld::SetupUnwarp ( C24)");
  world.Unwarp(&table, &empty, &greyOut, 0);
  expectTrace("EWorld::Unwarp ( Precomputed, BW8)");
  world.Unwarp(&table, &colour, &colourOut, 1);
  expectTrace("EWorld::Unwarp ( Precomputed, C24)");
  world.Unwarp(&wrongTable, &colour, &colourOut, 1);
  expectTrace("EWorld::Unwarp ( Precomputed, C24)");
  world.Unwarp(nullptr, &grey, &greyOut, 0);
  expectTrace("EWorld::Unwarp ( Precomputed, BW8)");
  EXPECT_TRUE(SameImage(greyOut, greyBefore));
  EXPECT_TRUE(SameImage(colourOut, colourBefore));
}
