// Unwarping kernels and their region checks, driven by simple stand-in mappings.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "test_support.h"
#include "unwarp_reference.h"
#include "vimo/calibration/unwarp_kernels.h"
#include "vimo/core/core.h"

using vimo_unwarp::Mapping;

namespace {

// Stand-in world-to-sensor mappings; the context points at the parameters.
struct Affine {
  float a11, a12, a21, a22, tx, ty;
};
void AffineMap(const void* context, float x, float y, float& X, float& Y) {
  const Affine& m = *static_cast<const Affine*>(context);
  X = m.a11 * x + m.a12 * y + m.tx;
  Y = m.a21 * x + m.a22 * y + m.ty;
}
struct Radial {
  float cx, cy, k;
};
void RadialMap(const void* context, float x, float y, float& X, float& Y) {
  const Radial& m = *static_cast<const Radial*>(context);
  float f = 1.0f + m.k * (x * x + y * y);
  X = m.cx + f * x;
  Y = m.cy + f * y;
}
void ConstantMap(const void* context, float, float, float& X, float& Y) {
  const float* p = static_cast<const float*>(context);
  X = p[0];
  Y = p[1];
}
void NanMap(const void*, float, float, float& X, float& Y) {
  X = std::numeric_limits<float>::quiet_NaN();
  Y = std::numeric_limits<float>::infinity();
}

Mapping Raw(const Affine* identity) {
  return vimo_unwarp::MakeMapping(AffineMap, identity, 0.0f, 0.0f, 1.0f, 1.0f);
}

const Affine kIdentity = {1, 0, 0, 1, 0, 0};

template <class T>
void Fill(EROI<T>* region, unsigned seed) {
  unwarp_reference::FillRandom(region, seed);
}

using unwarp_reference::SetChannel;

template <class T>
int Channels() {
  return sizeof(T) == 1 ? 1 : 3;
}

// Output pixel (i, j): the world point of the sampling geometry, mapped, then sampled.
template <class T>
T Reference(const Mapping& m, const EROI<T>& src, int i, int j, int interpolate) {
  float x = (static_cast<float>(i) - m.ox) * m.u, y = (static_cast<float>(j) - m.oy) * m.v;
  float X, Y;
  m.map(m.context, x, y, X, Y);
  return unwarp_reference::Sample(src, X, Y, interpolate);
}

// Runs the direct and the table-driven forms and compares both with the reference.
template <class T>
void ExpectAllFormsMatchReference(const Mapping& m, EROI<T>* src, int interpolate) {
  const int W = src->GetWidth(), H = src->GetHeight();
  EImage<T> direct(W, H), viaTable(W, H);
  // The table lives in a larger image so that it has row padding of its own.
  EImage<ESubPixel64> tableImage(W + 3, H + 2);
  EROI<ESubPixel64> table;
  table.Attach(&tableImage);
  table.SetPlacement(2, 1, W, H);
  EOk();
  vimo_unwarp::Unwarp(m, src, &direct, interpolate, "direct");
  vimo_unwarp::SetupUnwarp(m, &table, src, interpolate, "setup");
  vimo_unwarp::Unwarp(&table, src, &viaTable, interpolate, "table");
  ASSERT_EQ(EGetError(), E_OK);
  int mismatches = 0;
  for (int j = 0; j < H; ++j)
    for (int i = 0; i < W; ++i) {
      T expected = Reference(m, *src, i, j, interpolate);
      if (!(direct.GetPixel(i, j) == expected) || !(viaTable.GetPixel(i, j) == expected)) {
        if (++mismatches <= 5) ADD_FAILURE() << "pixel " << i << "," << j;
      }
    }
  EXPECT_EQ(mismatches, 0);
}

// Every kernel path this processor runs, slowest first; each test below runs them all, so that
// each is checked against the same reference. The scope restores the fastest path.
std::vector<vimo_unwarp::Isa> Paths() {
  std::vector<vimo_unwarp::Isa> paths;
  for (int isa = vimo_unwarp::kIsaScalar; isa <= vimo_unwarp::SupportedIsa(); ++isa)
    paths.push_back(static_cast<vimo_unwarp::Isa>(isa));
  return paths;
}
struct PathScope {
  explicit PathScope(vimo_unwarp::Isa isa) { EXPECT_EQ(vimo_unwarp::UseIsa(isa), isa); }
  ~PathScope() { vimo_unwarp::UseIsa(vimo_unwarp::SupportedIsa()); }
};

// A source that is a window of a larger image, so that its row pitch exceeds its width.
template <class T>
struct WindowedSource {
  EImage<T> image;
  EROI<T> region;
  WindowedSource(int w, int h, unsigned seed) : image(w + 7, h + 5) {
    Fill(&image, seed);
    region.Attach(&image);
    region.SetPlacement(3, 2, w, h);
  }
};

}  // namespace

template <class T>
class UnwarpForms : public ::testing::Test {};
typedef ::testing::Types<EBW8, EC24> PixelTypes;
TYPED_TEST_SUITE(UnwarpForms, PixelTypes);

TYPED_TEST(UnwarpForms, DirectAndTableAgreeWithReferenceForSeveralWorlds) {
  // Widths not a multiple of eight exercise the scalar tails of the vector loops.
  WindowedSource<TypeParam> src(61, 43, 7);
  Affine rotated = {0.93f, -0.31f, 0.29f, 0.95f, 4.3f, 6.1f};
  Affine anisotropic = {1.37f, 0.0f, 0.0f, -0.73f, 60.2f, 40.7f};
  Radial barrel = {30.2f, 21.7f, -0.00021f};
  Radial pincushion = {30.0f, 21.0f, 0.0004f};
  const Mapping mappings[] = {
      vimo_unwarp::MakeMapping(AffineMap, &rotated, 3.5f, 2.25f, 1.1f, 1.0f),
      vimo_unwarp::MakeMapping(AffineMap, &anisotropic, 0.0f, 0.0f, 0.9f, -1.3f),
      vimo_unwarp::MakeMapping(RadialMap, &barrel, 30.0f, 21.0f, 1.0f, 1.0f),
      vimo_unwarp::MakeMapping(RadialMap, &pincushion, 30.0f, 21.0f, 0.8f, 0.5f), Raw(&kIdentity)};
  for (vimo_unwarp::Isa isa : Paths()) {
    SCOPED_TRACE(isa);
    PathScope path(isa);
    for (const Mapping& m : mappings)
      for (int interpolate : {0, 1}) ExpectAllFormsMatchReference(m, &src.region, interpolate);
  }
}

TEST(UnwarpEntries, OffsetsAndFractionsUseTheSourcePitch) {
  vimo_unwarp::SourceLayout layout;
  layout.width = 10;
  layout.height = 8;
  layout.pixelSize = 3;
  layout.pitch = 52;
  ESubPixel64 n = vimo_unwarp::NearestEntry(2.3f, 4.7f, layout);
  EXPECT_EQ(n.SubPixel.Offset, 2 * 3 + 4 * 52);
  EXPECT_EQ(n.SubPixel.FractionX, 0);
  EXPECT_EQ(n.SubPixel.FractionY, 0);
  ESubPixel64 b = vimo_unwarp::BilinearEntry(2.3f, 4.7f, layout);
  EXPECT_EQ(b.SubPixel.Offset, 2 * 3 + 4 * 52);
  EXPECT_EQ(b.SubPixel.FractionX, 76);   // floor(588.8) mod 256
  EXPECT_EQ(b.SubPixel.FractionY, 179);  // floor(1203.2) mod 256
  // Exactly on a pixel centre: no fractions.
  ESubPixel64 centre = vimo_unwarp::BilinearEntry(5.0f, 3.0f, layout);
  EXPECT_EQ(centre.SubPixel.Offset, 5 * 3 + 3 * 52);
  EXPECT_EQ(centre.SubPixel.FractionX, 0);
  EXPECT_EQ(centre.SubPixel.FractionY, 0);
}

TEST(UnwarpEntries, BordersOfTheUsableArea) {
  vimo_unwarp::SourceLayout s;
  s.width = 10;
  s.height = 8;
  s.pitch = 12;
  auto nearest = [&](float X, float Y) {
    return vimo_unwarp::NearestEntry(X, Y, s).SubPixel.Offset;
  };
  auto bilinear = [&](float X, float Y) {
    return vimo_unwarp::BilinearEntry(X, Y, s).SubPixel.Offset;
  };
  const int32_t none = vimo_unwarp::kNoSource;
  // Nearest takes the row below the point's centre (Y - 0.5 floored); bilinear needs the row
  // above and the column to the right.
  struct Case {
    bool bilinear;
    float X, Y;
    int32_t offset;
  } cases[] = {{false, -0.5f, 0.5f, 0},
               {false, -0.51f, 0.5f, none},
               {false, 0.0f, 0.49f, none},
               {false, 9.49f, 8.49f, 9 + 7 * 12},
               {false, 9.5f, 3.0f, none},
               {false, 3.0f, 8.5f, none},
               {true, 0.0f, 1.0f, 12},
               {true, -1e-6f, 1.0f, none},
               {true, 0.0f, 1.0f - 1.0f / 256, none},
               {true, 9.0f - 1.0f / 256, 8.0f - 1.0f / 256, 8 + 7 * 12},
               {true, 9.0f, 3.0f, none},
               {true, 3.0f, 8.0f, none}};
  for (const Case& c : cases)
    EXPECT_EQ(c.bilinear ? bilinear(c.X, c.Y) : nearest(c.X, c.Y), c.offset)
        << (c.bilinear ? "bilinear " : "nearest ") << c.X << "," << c.Y;
  const float bad[] = {std::numeric_limits<float>::quiet_NaN(),
                       std::numeric_limits<float>::infinity(),
                       -std::numeric_limits<float>::infinity(), 3e38f, -3e38f};
  for (float v : bad) {
    EXPECT_EQ(nearest(v, 3.0f), none);
    EXPECT_EQ(nearest(3.0f, v), none);
    EXPECT_EQ(bilinear(v, 3.0f), none);
    EXPECT_EQ(bilinear(3.0f, v), none);
  }
  // Whole rows of these positions give, on every path, the entries of the point rule.
  std::vector<float> X, Y;
  for (const Case& c : cases) X.push_back(c.X), Y.push_back(c.Y);
  for (float v : bad) X.insert(X.end(), {v, 3.0f}), Y.insert(Y.end(), {3.0f, v});
  // A source wider than 65536 pixels takes the double-precision vector path: the same there.
  vimo_unwarp::SourceLayout wide = s;
  wide.width = 70001;
  wide.pitch = 70003;
  for (float x : {69999.49f, 69999.5f, 69999.0f, 69999.99f, 70000.49f, 70000.5f, 123.5f})
    X.insert(X.end(), {x, x, x - 1000.0f}), Y.insert(Y.end(), {3.5f, 8.5f, 7.99f});
  // A source taller than 2^23 rows: 256 Y no longer fits 32 bits, the entry still must.
  vimo_unwarp::SourceLayout tall = s;
  tall.width = 2, tall.height = 9000000, tall.pitch = 2;
  const ESubPixel64 deep = vimo_unwarp::BilinearEntry(0.5f, 8500000.0f, tall);
  EXPECT_EQ(deep.SubPixel.Offset, 8500000 * 2);
  EXPECT_EQ(deep.SubPixel.FractionX, 128);
  EXPECT_EQ(vimo_unwarp::NearestEntry(0.5f, 8500000.0f, tall).SubPixel.Offset, 1 + 8499999 * 2);
  X.insert(X.end(), 8, 0.5f), Y.insert(Y.end(), 8, 8500000.0f);
  for (vimo_unwarp::Isa isa : Paths()) {
    PathScope path(isa);
    for (const vimo_unwarp::SourceLayout& layout : {s, wide, tall})
      for (int interpolate : {0, 1}) {
        std::vector<ESubPixel64> entries(X.size());
        vimo_unwarp::ComputeEntries(X.data(), Y.data(), static_cast<int>(X.size()), layout,
                                    interpolate, entries.data());
        for (size_t k = 0; k < X.size(); ++k) {
          ESubPixel64 e = interpolate ? vimo_unwarp::BilinearEntry(X[k], Y[k], layout)
                                      : vimo_unwarp::NearestEntry(X[k], Y[k], layout);
          EXPECT_EQ(entries[k].Raw, e.Raw) << isa << " " << interpolate << " " << k;
        }
      }
  }
}

TEST(UnwarpKernels, BilinearOfARampInterpolatesBothAxes) {
  // src(x, y) = 8x + 20y: the blend of rows y - 1 and y with weight c is exact here.
  EImage<EBW8> src(12, 9), dst(12, 9);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 12; ++x) src.SetPixel(static_cast<EBW8>(8 * x + 20 * y), x, y);
  float position[2] = {2.5f, 4.25f};  // a = 128, c = 64, rows 3 and 4
  Mapping m = vimo_unwarp::MakeMapping(ConstantMap, position, 0, 0, 1, 1);
  vimo_unwarp::Unwarp(m, &src, &dst, 1, "t");
  EXPECT_EQ(dst.GetPixel(0, 0), 8 * 2.5 + 20 * 3.25);
  vimo_unwarp::Unwarp(m, &src, &dst, 0, "t");
  EXPECT_EQ(dst.GetPixel(5, 5), src.GetPixel(3, 3));  // floor(3.0), floor(3.75)
}

TYPED_TEST(UnwarpForms, UnmappablePointsAndDegenerateScalesGiveBlack) {
  EImage<TypeParam> src(9, 7), dst(9, 7);
  Fill(&src, 5);
  for (int interpolate : {0, 1}) {
    Fill(&dst, 6);
    vimo_unwarp::Unwarp(vimo_unwarp::MakeMapping(NanMap, nullptr, 0, 0, 1, 1), &src, &dst,
                        interpolate, "t");
    EXPECT_EQ(EGetError(), E_OK);
    for (int j = 0; j < 7; ++j)
      for (int i = 0; i < 9; ++i) EXPECT_TRUE(dst.GetPixel(i, j) == TypeParam{});
    for (float scale : {0.0f, std::numeric_limits<float>::quiet_NaN(), -0.0f}) {
      Mapping m = vimo_unwarp::MakeMapping(AffineMap, &kIdentity, 4, 3, scale, 1);
      ExpectAllFormsMatchReference(m, &src, interpolate);
    }
  }
}

TYPED_TEST(UnwarpForms, TinySourcesHaveNoBilinearNeighbours) {
  for (int w : {1, 2}) {
    EImage<TypeParam> src(w, 1), dst(w, 1);
    Fill(&src, 1);
    ExpectAllFormsMatchReference(Raw(&kIdentity), &src, 0);
    ExpectAllFormsMatchReference(Raw(&kIdentity), &src, 1);
    vimo_unwarp::Unwarp(Raw(&kIdentity), &src, &dst, 1, "t");
    EXPECT_TRUE(dst.GetPixel(0, 0) == TypeParam{});
  }
}

TYPED_TEST(UnwarpForms, DestinationOverlappingTheSourceIsComputedFromTheOriginal) {
  WindowedSource<TypeParam> src(23, 17, 9);
  EImage<TypeParam> expected(23, 17);
  Affine shift = {1, 0, 0, 1, 1.6f, 2.3f};
  Mapping m = vimo_unwarp::MakeMapping(AffineMap, &shift, 0, 0, 1, 1);
  vimo_unwarp::Unwarp(m, &src.region, &expected, 1, "t");
  // Destination shifted by one pixel against the source within the same image.
  EROI<TypeParam> dst;
  dst.Attach(&src.image);
  dst.SetPlacement(4, 3, 23, 17);
  vimo_unwarp::Unwarp(m, &src.region, &dst, 1, "t");
  ASSERT_EQ(EGetError(), E_OK);
  for (int j = 0; j < 17; ++j)
    for (int i = 0; i < 23; ++i) EXPECT_TRUE(dst.GetPixel(i, j) == expected.GetPixel(i, j));
  // The table-driven form writing over its own source.
  WindowedSource<TypeParam> again(23, 17, 9);
  EImage<ESubPixel64> table(23, 17);
  vimo_unwarp::SetupUnwarp(m, &table, &again.region, 1, "t");
  vimo_unwarp::Unwarp(&table, &again.region, &again.region, 1, "t");
  ASSERT_EQ(EGetError(), E_OK);
  for (int j = 0; j < 17; ++j)
    for (int i = 0; i < 23; ++i)
      EXPECT_TRUE(again.region.GetPixel(i, j) == expected.GetPixel(i, j));
}

TYPED_TEST(UnwarpForms, CorruptedTableNeverReadsOutsideTheSource) {
  // The source is a window; everything around it in the image is 0xAB, so any value read from
  // outside the window's rows would show.
  const int W = 37, H = 9;  // wide enough for every vector loop
  EImage<TypeParam> image(W + 6, H + 6), dst(W, H);
  for (int y = 0; y < H + 6; ++y)
    for (int x = 0; x < W + 6; ++x) {
      TypeParam p;
      for (int k = 0; k < Channels<TypeParam>(); ++k) SetChannel(p, k, 0xAB);
      image.SetPixel(p, x, y);
    }
  EROI<TypeParam> src;
  src.Attach(&image);
  src.SetPlacement(3, 3, W, H);
  Fill(&src, 2);
  EImage<ESubPixel64> table(W, H);
  std::mt19937 rng(4);
  const int32_t special[] = {INT32_MAX, INT32_MIN, -1, 0, 1, 5000, -5000};
  for (int j = 0; j < H; ++j)
    for (int i = 0; i < W; ++i) {
      ESubPixel64 e;
      e.Raw = (static_cast<uint64_t>(rng()) << 32) | rng();
      if ((i + j) % 3 == 0) e.SubPixel.Offset = special[(i + 2 * j) % 7];
      table.SetPixel(e, i, j);
    }
  for (int interpolate : {0, 1}) {
    // The scalar path clamps and blends by the plain rules; every other path must match it.
    EImage<TypeParam> scalar(W, H);
    {
      PathScope path(vimo_unwarp::kIsaScalar);
      vimo_unwarp::Unwarp(&table, &src, &scalar, interpolate, "t");
    }
    for (vimo_unwarp::Isa isa : Paths()) {
      PathScope path(isa);
      EOk();
      vimo_unwarp::Unwarp(&table, &src, &dst, interpolate, "t");
      EXPECT_EQ(EGetError(), E_OK);
      EXPECT_TRUE(unwarp_reference::SameImage(dst, scalar)) << isa << " " << interpolate;
      for (int j = 0; j < H; ++j)
        for (int i = 0; i < W; ++i) {
          int32_t offset = table.GetPixel(i, j).SubPixel.Offset;
          if (offset < 0) {
            EXPECT_TRUE(dst.GetPixel(i, j) == TypeParam{});
          }
        }
    }
  }
  // An offset past the end clamps to the last usable pixel.
  ESubPixel64 far;
  far.Raw = 0;
  far.SubPixel.Offset = INT32_MAX;
  table.SetPixel(far, 0, 0);
  vimo_unwarp::Unwarp(&table, &src, &dst, 0, "t");
  EXPECT_TRUE(dst.GetPixel(0, 0) == src.GetPixel(W - 1, H - 1));
}

TYPED_TEST(UnwarpForms, RegionChecksReportAndWriteNothing) {
  EImage<TypeParam> src(8, 6), dst(8, 6), small(7, 6), empty;
  EImage<ESubPixel64> table(8, 6), smallTable(8, 5);
  Fill(&src, 1);
  Fill(&dst, 2);
  EImage<TypeParam> before = dst;
  EImage<ESubPixel64> tableBefore = table;
  EROI<TypeParam> detached;
  Mapping m = Raw(&kIdentity);
  auto expectFailed = [&](const char* name) {
    EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER) << name;
    EXPECT_NE(std::string(EGetErrorTrace()).find(name), std::string::npos) << name;
    for (int j = 0; j < 6; ++j)
      for (int i = 0; i < 8; ++i) {
        EXPECT_TRUE(dst.GetPixel(i, j) == before.GetPixel(i, j));
        EXPECT_EQ(table.GetPixel(i, j).Raw, tableBefore.GetPixel(i, j).Raw);
      }
    EOk();
  };
  EImage<TypeParam> other(6, 8);
  const std::pair<const char*, std::function<void()>> refused[] = {
      {"direct", [&] { vimo_unwarp::Unwarp(m, &empty, &dst, 0, "direct"); }},
      {"direct", [&] { vimo_unwarp::Unwarp(m, &detached, &dst, 1, "direct"); }},
      {"direct", [&] { vimo_unwarp::Unwarp(m, nullptr, &dst, 1, "direct"); }},
      {"direct", [&] { vimo_unwarp::Unwarp(m, &src, &small, 0, "direct"); }},
      {"direct", [&] { vimo_unwarp::Unwarp(m, &src, nullptr, 0, "direct"); }},
      {"setup", [&] { vimo_unwarp::SetupUnwarp(m, &smallTable, &src, 1, "setup"); }},
      {"setup", [&] { vimo_unwarp::SetupUnwarp(m, &table, &empty, 1, "setup"); }},
      {"setup", [&] { vimo_unwarp::SetupUnwarp(m, nullptr, &src, 0, "setup"); }},
      {"table", [&] { vimo_unwarp::Unwarp(&table, &src, &small, 0, "table"); }},
      {"table", [&] { vimo_unwarp::Unwarp(&smallTable, &src, &dst, 0, "table"); }},
      {"table", [&] { vimo_unwarp::Unwarp(&table, &empty, &dst, 0, "table"); }},
      {"table", [&] { vimo_unwarp::Unwarp(&table, &other, &dst, 0, "table"); }},  // other size
  };
  bool setUp = false;
  for (const auto& r : refused) {
    if (std::string(r.first) == "table" && !setUp) {
      setUp = true;
      vimo_unwarp::SetupUnwarp(m, &table, &src, 0, "setup");  // a valid table from here on
      ASSERT_EQ(EGetError(), E_OK);
      tableBefore = table;
    }
    EOk();
    r.second();
    expectFailed(r.first);
  }
}

TYPED_TEST(UnwarpForms, ReadsAtTheVeryEndOfAnUnpaddedImageStayInside) {
  // Rows carry no padding, so the last pixel is the last byte of the image: any
  // read past it is a read past the allocation (reported by the address sanitizer).
  const int W = sizeof(TypeParam) == 1 ? 36 : 20, H = 5;
  EImage<TypeParam> src(W, H), dst(W, H);
  ASSERT_EQ(src.GetRowPitch(), W * static_cast<int>(sizeof(TypeParam)));
  Fill(&src, 8);
  EImage<ESubPixel64> table(W, H);
  const int32_t last = (H - 1) * src.GetRowPitch() + (W - 1) * static_cast<int>(sizeof(TypeParam));
  for (int j = 0; j < H; ++j)
    for (int i = 0; i < W; ++i) {
      ESubPixel64 e;
      e.SubPixel.Offset = (i % 2) ? INT32_MAX : last - i;
      e.SubPixel.FractionX = 0xFFFF;
      e.SubPixel.FractionY = 0xFFFF;
      table.SetPixel(e, i, j);
    }
  for (vimo_unwarp::Isa isa : Paths()) {
    PathScope path(isa);
    vimo_unwarp::Unwarp(&table, &src, &dst, 0, "t");
    EXPECT_TRUE(dst.GetPixel(1, 0) == src.GetPixel(W - 1, H - 1));
    vimo_unwarp::Unwarp(&table, &src, &dst, 1, "t");
    // A legitimate table reaching the bottom-right corner.
    const Affine toCorner = {1, 0, 0, 1, W - 1.5f, H - 1.5f};
    for (int interpolate : {0, 1})
      ExpectAllFormsMatchReference(vimo_unwarp::MakeMapping(AffineMap, &toCorner, 0, 0, 1, 1), &src,
                                   interpolate);
    EXPECT_EQ(EGetError(), E_OK);
  }
}

TYPED_TEST(UnwarpForms, OffsetsNearTheEndOfAnUnpaddedImageFollowThePlainRule) {
  // In the first rows every group of eight table entries holds ordinary offsets and one that
  // lies a few bytes before the end of an unpadded image (at every distance, pixel-aligned or
  // not); later rows add offsets without a source and offsets to clamp. Every path must give the
  // clamp-and-blend rule computed here from the image's bytes, and any read past the image's
  // last byte is reported by the address sanitizer.
  constexpr int size = sizeof(TypeParam);
  const int W = 28, H = 6;  // rows of a multiple of four bytes carry no padding
  EImage<TypeParam> src(W, H), dst(W, H);
  const int pitch = src.GetRowPitch();
  ASSERT_EQ(pitch, W * size);
  Fill(&src, 12);
  const int32_t bytes = H * pitch;
  const uint8_t* image = reinterpret_cast<const uint8_t*>(src.GetImagePtr(0, 0));
  EImage<ESubPixel64> table(W, H);
  std::mt19937 rng(5);
  for (int j = 0; j < H; ++j)
    for (int i = 0; i < W; ++i) {
      ESubPixel64 e;
      e.Raw = static_cast<uint64_t>(rng()) << 32;  // any fractions
      e.SubPixel.Offset = pitch + static_cast<int32_t>(rng() % uint32_t(bytes - 3 * pitch));
      if (i % 8 == j % 8)
        e.SubPixel.Offset = bytes - 1 - (i / 8 + 3 * j) % 9;
      else if (j >= 3 && i % 5 == 0)
        e.SubPixel.Offset = vimo_unwarp::kNoSource;
      else if (j >= 3 && i % 7 == 1)
        e.SubPixel.Offset = i % 2 ? INT32_MAX : pitch / 2;
      table.SetPixel(e, i, j);
    }
  for (int interpolate : {0, 1}) {
    const int32_t low = interpolate ? pitch : 0;
    const int32_t high = bytes - (interpolate ? 2 : 1) * size;
    for (vimo_unwarp::Isa isa : Paths()) {
      PathScope path(isa);
      EOk();
      vimo_unwarp::Unwarp(&table, &src, &dst, interpolate, "t");
      ASSERT_EQ(EGetError(), E_OK);
      for (int j = 0; j < H; ++j)
        for (int i = 0; i < W; ++i) {
          const ESubPixel64 e = table.GetPixel(i, j);
          const uint8_t* p = image + std::min(std::max(e.SubPixel.Offset, low), high);
          const uint32_t a = e.SubPixel.FractionX & 255u, c = e.SubPixel.FractionY & 255u;
          for (int k = 0; k < size; ++k) {
            uint32_t expected = p[k];
            if (interpolate) {
              uint32_t upper = p[k - pitch] * (256 - a) + p[k + size - pitch] * a;
              uint32_t lower = p[k] * (256 - a) + p[k + size] * a;
              expected = (upper * (256 - c) + lower * c) >> 16;
            }
            if (e.SubPixel.Offset < 0) expected = 0;
            ASSERT_EQ(unwarp_reference::Channel(dst.GetPixel(i, j), k), expected)
                << "path " << isa << " sampling " << interpolate << " pixel " << i << "," << j;
          }
        }
    }
  }
}
