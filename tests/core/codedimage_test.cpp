// Blob analysis: objects, runs and holes against a flood-fill reference on random images,
// sub-pixel centres of rendered discs, the automatic threshold, selections and bad input.
#include "vimo/core/codedimage.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

EImage<EBW8> Image(int w, int h, const std::vector<int>& grey) {
  EImage<EBW8> image(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) *image.GetImagePtr(x, y) = static_cast<EBW8>(grey[y * w + x]);
  return image;
}

// Reference labelling: 8-connected flood fill of the dark pixels; per object its area, box,
// and holes counted as the 4-connected components of other pixels that cannot reach the
// image border without crossing the object.
struct RefObject {
  long area = 0;
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1, holes = 0;
};
// Visits the component of `start` among the pixels that `in` accepts and `seen` does not hold.
template <class In, class Visit>
void Flood(int w, int h, int start, int neighbours, std::vector<int>& seen, In in, Visit visit) {
  static const int kOffsets[8][2] = {{-1, 0},  {1, 0},  {0, -1}, {0, 1},
                                     {-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
  std::vector<int> stack{start};
  seen[start] = 1;
  while (!stack.empty()) {
    const int p = stack.back(), x = p % w, y = p / w;
    stack.pop_back();
    visit(x, y);
    for (int k = 0; k < neighbours; ++k) {
      const int nx = x + kOffsets[k][0], ny = y + kOffsets[k][1], q = ny * w + nx;
      if (nx >= 0 && ny >= 0 && nx < w && ny < h && !seen[q] && in(q))
        seen[q] = 1, stack.push_back(q);
    }
  }
}
std::vector<RefObject> Reference(int w, int h, const std::vector<int>& dark) {
  std::vector<int> label(w * h, -1), seen(w * h, 0);
  std::vector<RefObject> objects;
  for (int s = 0; s < w * h; ++s) {
    if (!dark[s] || seen[s]) continue;
    RefObject o;
    const int id = static_cast<int>(objects.size());
    Flood(
        w, h, s, 8, seen, [&](int q) { return dark[q] != 0; },
        [&](int x, int y) {
          label[y * w + x] = id, ++o.area;
          o.left = std::min(o.left, x), o.right = std::max(o.right, x);
          o.top = std::min(o.top, y), o.bottom = std::max(o.bottom, y);
        });
    objects.push_back(o);
  }
  for (int id = 0; id < static_cast<int>(objects.size()); ++id) {
    std::vector<int> outside(w * h, 0);
    for (int s = 0; s < w * h; ++s) {
      if (label[s] == id || outside[s]) continue;
      bool border = false;
      Flood(
          w, h, s, 4, outside, [&](int q) { return label[q] != id; },
          [&](int x, int y) { border = border || x == 0 || y == 0 || x == w - 1 || y == h - 1; });
      objects[id].holes += border ? 0 : 1;
    }
  }
  return objects;
}

}  // namespace

TEST(CodedImage, ObjectsRunsAndHolesMatchAFloodFill) {
  std::mt19937 random(7);
  for (double density : {0.2, 0.45, 0.6}) {
    const int w = 37, h = 23;
    std::vector<int> grey(w * h), dark(w * h);
    std::bernoulli_distribution coin(density);
    for (int i = 0; i < w * h; ++i) dark[i] = coin(random), grey[i] = dark[i] ? 20 : 220;
    EImage<EBW8> image = Image(w, h, grey);
    ECodedImage coded;
    coded.SetThreshold(128);
    coded.BuildObjects(&image);
    const std::vector<RefObject> ref = Reference(w, h, dark);
    ASSERT_EQ(coded.GetNumObjects(), ref.size()) << density;
    // Objects come in the raster order of their first pixel, as the flood fill finds them.
    std::vector<int> covered(w * h, 0);
    for (unsigned i = 0; i < ref.size(); ++i) {
      ECodedObject* o = coded.GetObjPtr(i);
      EXPECT_EQ(o->Area, static_cast<uint64_t>(ref[i].area));
      EXPECT_EQ(o->Left, ref[i].left);
      EXPECT_EQ(o->Top, ref[i].top);
      EXPECT_EQ(o->Right, ref[i].right);
      EXPECT_EQ(o->Bottom, ref[i].bottom);
      EXPECT_EQ(coded.GetNumHoles(o), ref[i].holes) << density << " object " << i;
      unsigned n = 0;
      const ECodedRun* runs = coded.GetObjectRuns(o, n);
      for (unsigned r = 0; r < n; ++r)
        for (int x = runs[r].X; x < runs[r].X + runs[r].Length; ++x) ++covered[runs[r].Y * w + x];
    }
    for (int i = 0; i < w * h; ++i) ASSERT_EQ(covered[i], dark[i]) << "pixel " << i;
  }
}

TEST(CodedImage, GreyWeightedCentresOfRenderedDiscs) {
  // Discs of radius 4.3 at sub-pixel centres, rendered with 8 x 8 supersampling.
  const int w = 64, h = 40;
  const double centres[3][2] = {{12.37, 11.81}, {33.5, 20.25}, {50.91, 27.13}};
  std::vector<int> grey(w * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      double cover = 0;
      for (int s = 0; s < 64; ++s) {
        const double px = x - 0.5 + (s % 8 + 0.5) / 8, py = y - 0.5 + (s / 8 + 0.5) / 8;
        for (const auto& c : centres)
          if ((px - c[0]) * (px - c[0]) + (py - c[1]) * (py - c[1]) < 4.3 * 4.3) cover += 1.0 / 64;
      }
      grey[y * w + x] = static_cast<int>(std::lround(230 - 200 * cover));
    }
  EImage<EBW8> image = Image(w, h, grey);
  ECodedImage coded;
  coded.BuildObjects(&image);
  EXPECT_GT(coded.GetUsedThreshold(), 30);
  EXPECT_LT(coded.GetUsedThreshold(), 230);
  coded.SelectAllObjects();
  coded.AnalyseObjects(E_FEATURE_GRAVITY_CENTER_X, E_FEATURE_GRAVITY_CENTER_Y, 0);
  ASSERT_EQ(coded.GetNumSelectedObjects(), 3u);
  int i = 0;
  for (ECodedObject* o = coded.GetFirstObjPtr(); o != nullptr; o = coded.GetNextObjPtr(o), ++i) {
    float x = 0, y = 0;
    coded.GetObjectFeature(E_FEATURE_GRAVITY_CENTER_X, o, x);
    coded.GetObjectFeature(E_FEATURE_GRAVITY_CENTER_Y, o, y);
    EXPECT_NEAR(x, centres[i][0], 0.02);
    EXPECT_NEAR(y, centres[i][1], 0.02);
    EXPECT_EQ(o->Holes, 0);
    EXPECT_LT(o->Elongation, 1.1f);
  }
  EXPECT_EQ(EGetError(), E_OK);
}

TEST(CodedImage, ClassesSelectionsAndStatistics) {
  // A white frame around a dark ring holding a white island, a dark dot touching the border
  // and a dark bar; built in a sub-region.
  const int w = 30, h = 20;
  std::vector<int> grey(w * h, 200);
  auto fill = [&](int x0, int y0, int x1, int y1, int v) {
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) grey[y * w + x] = v;
  };
  fill(4, 4, 12, 12, 10);  // ring ...
  fill(7, 7, 9, 9, 200);   // ... with its island
  fill(1, 15, 3, 17, 10);  // touches the region's border
  fill(16, 5, 27, 6, 10);  // a bar
  EImage<EBW8> image = Image(w, h, grey);
  EROI<EBW8> region;
  region.Attach(&image);
  region.SetPlacement(1, 1, 28, 18);
  ECodedImage coded;
  coded.SetBlackClass(1);
  coded.SetWhiteClass(2);
  coded.BuildObjects(&region);
  // The background, the ring, the bar, the island and the dot, in raster order.
  ASSERT_EQ(coded.GetNumObjects(), 5u);
  coded.SelectAllObjects();
  coded.SelectObjectsUsingPosition(&region, E_POSITION_INSIDE_NOT_BORDER);
  ASSERT_EQ(coded.GetNumSelectedObjects(), 3u);  // the ring, the bar and the island
  ECodedObject* ring = coded.GetFirstObjPtr();
  ECodedObject* bar = coded.GetNextObjPtr(ring);
  EXPECT_EQ(coded.GetNextObjPtr(bar)->Parent, static_cast<int>(ring->Index));
  coded.SelectObjectsUsingFeature(E_FEATURE_CLASS, 1, 1, E_SELECT_KEEP_INSIDE);
  EXPECT_EQ(ring->Area, 81u - 9u);
  EXPECT_EQ(coded.GetNumHoles(ring), 1);
  EXPECT_EQ(bar->Area, 24u);
  EXPECT_NEAR(bar->Elongation, 6, 1e-4);  // variances 12 and 1/3 of pixel squares
  float mean = 0, deviation = 0;
  coded.FeatureDeviation(E_FEATURE_AREA, mean, deviation);
  EXPECT_FLOAT_EQ(mean, 48);
  EXPECT_FLOAT_EQ(deviation, 24);
  coded.SelectObjectsUsingFeature(E_FEATURE_AREA, 0, 30, E_SELECT_KEEP_INSIDE);
  EXPECT_EQ(coded.GetFirstObjPtr(), bar);
  coded.SelectObjectsUsingFeature(E_FEATURE_CLASS, 2, 2, E_SELECT_ADD_INSIDE);
  EXPECT_EQ(coded.GetNumSelectedObjects(), 3u);  // plus the background and the island
  coded.SelectObjectsUsingPosition(&region, E_POSITION_TOUCHING_BORDER);
  EXPECT_EQ(coded.GetNumSelectedObjects(), 1u);
  EXPECT_EQ(EGetError(), E_OK);

  // Bad input: each sets 32767 and leaves the selection as it was.
  const unsigned selected = coded.GetNumSelectedObjects();
  auto refused = [&](const char* what, auto call) {
    EOk();
    call();
    EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER) << what;
    EXPECT_EQ(coded.GetNumSelectedObjects(), selected) << what;
  };
  const float nan = std::nanf("");
  refused("null region", [&] { coded.SelectObjectsUsingPosition(nullptr, 6); });
  refused("criterion 3", [&] { coded.SelectObjectsUsingPosition(&region, 3); });
  refused("feature 99", [&] { coded.SelectObjectsUsingFeature(99, 0, 1, 9); });
  refused("option 4", [&] { coded.SelectObjectsUsingFeature(3, 0, 1, 4); });
  refused("NaN bound", [&] { coded.SelectObjectsUsingFeature(3, nan, 1, 9); });
  refused("analyse -1", [&] { coded.AnalyseObjects(-1, 0); });
  float v = 7;
  ECodedObject stranger;
  refused("foreign object", [&] { coded.GetObjectFeature(3, &stranger, v); });
  EXPECT_EQ(v, 7);
  refused("next of null", [&] { EXPECT_EQ(coded.GetNextObjPtr(nullptr), nullptr); });
  EOk();
  coded.BuildObjects(nullptr);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(coded.GetNumObjects(), 0u);
  EOk();
  EXPECT_EQ(coded.GetObjPtr(0), nullptr);
  EXPECT_EQ(EGetError(), E_ERROR_INDEX_OUT_OF_RANGE);
  EOk();
}

TEST(CodedImage, ThresholdOfUniformVoidAndBimodalImages) {
  ECodedImage coded;
  coded.SetWhiteClass(2);
  EImage<EBW8> uniform = Image(8, 8, std::vector<int>(64, 90));
  coded.BuildObjects(&uniform);
  ASSERT_EQ(coded.GetNumObjects(), 1u);  // every pixel white: one object
  EXPECT_EQ(coded.GetObjPtr(0)->Class, 2);
  EImage<EBW8> empty;
  coded.BuildObjects(&empty);
  EXPECT_EQ(coded.GetNumObjects(), 0u);
  EXPECT_EQ(EGetError(), E_OK);
  // Two grey levels: the threshold lies midway between them.
  std::vector<int> grey(64, 200);
  for (int i = 0; i < 20; ++i) grey[i] = 40;
  EImage<EBW8> bimodal = Image(8, 8, grey);
  coded.BuildObjects(&bimodal);
  EXPECT_EQ(coded.GetUsedThreshold(), 121);
  coded.SetThreshold(256);  // every pixel black
  coded.BuildObjects(&bimodal);
  ASSERT_EQ(coded.GetNumObjects(), 1u);
  EXPECT_EQ(coded.GetObjPtr(0)->Area, 64u);
}
