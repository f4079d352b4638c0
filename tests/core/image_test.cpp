#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <random>

#include "test_support.h"
#include "vimo/core/core.h"

namespace {

EImage<EBW8> Ramp(int width, int height) {
  EImage<EBW8> image(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.SetPixel(static_cast<EBW8>((10 * y + x) & 255), x, y);
  return image;
}

}  // namespace

TEST(ImageRegions, NestedRegionsAddressRootPixels) {
  EImage<EBW8> image = Ramp(10, 8);
  EROI<EBW8> outer;
  outer.Attach(&image);
  outer.SetPlacement(2, 1, 6, 5);
  EROI<EBW8> inner;
  inner.Attach(&outer);
  inner.SetPlacement(1, 2, 3, 2);
  EXPECT_EQ(inner.GetOrgX(), 1);
  EXPECT_EQ(inner.GetTotalOrgX(), 3);
  EXPECT_EQ(inner.GetTotalOrgY(), 3);
  EXPECT_EQ(inner.GetPixel(0, 0), 33);
  EXPECT_EQ(*inner.GetImagePtr(2, 1), 45);
  EXPECT_EQ(inner.GetTotalWidth(), 10);
  EXPECT_EQ(inner.GetTotalHeight(), 8);
  // Rows are padded: the pitch, not the width, steps between rows.
  EXPECT_EQ(image.GetRowPitch(), 12);
  EXPECT_EQ(inner.GetImagePtr(0, 1) - inner.GetImagePtr(0, 0), 12);
}

TEST(ImageRegions, RootPixelsMatchTheSeparateAccessors) {
  EImage<EBW8> image = Ramp(10, 8);
  EROI<EBW8> outer;
  outer.Attach(&image);
  outer.SetPlacement(2, 1, 6, 5);
  EROI<EBW8> inner;
  inner.Attach(&outer);
  // Even a region clipped to nothing reaches the whole root image.
  inner.SetPlacement(50, 50, 3, 2);
  int width = -1, height = -1, pitch = -1;
  EXPECT_EQ(inner.GetRootPixels(width, height, pitch), image.GetImagePtr());
  EXPECT_EQ(width, 10);
  EXPECT_EQ(height, 8);
  EXPECT_EQ(pitch, image.GetRowPitch());
  EXPECT_EQ(image.GetRootPixels(width, height, pitch), image.GetImagePtr());

  // No root image, or one without pixels: nullptr and zero sizes.
  EROI<EBW8> detached;
  width = height = pitch = -1;
  EXPECT_EQ(detached.GetRootPixels(width, height, pitch), nullptr);
  EXPECT_EQ(width | height | pitch, 0);
  EImage<EBW8> empty(0, 5);
  EROI<EBW8> onEmpty;
  onEmpty.Attach(&empty);
  width = height = pitch = -1;
  EXPECT_EQ(onEmpty.GetRootPixels(width, height, pitch), nullptr);
  EXPECT_EQ(width | height | pitch, 0);
  image.SetSize(0, 0);
  EXPECT_EQ(inner.GetRootPixels(width, height, pitch), nullptr);
}

TEST(ImageRegions, PlacementPartlyOutsideIsClipped) {
  EImage<EBW8> image = Ramp(10, 8);
  EROI<EBW8> region;
  region.Attach(&image);
  region.SetPlacement(-3, 6, 20, 20);
  EXPECT_EQ(region.GetOrgX(), 0);
  EXPECT_EQ(region.GetOrgY(), 6);
  EXPECT_EQ(region.GetWidth(), 10);
  EXPECT_EQ(region.GetHeight(), 2);
  region.SetPlacement(INT_MAX - 1, INT_MAX - 1, INT_MAX, INT_MAX);
  EXPECT_TRUE(region.IsVoid());
  EXPECT_EQ(region.GetImagePtr(), nullptr);
  // A region stays clipped to its parent when the image shrinks under it.
  region.SetPlacement(4, 4, 6, 4);
  image.SetSize(6, 6);
  EXPECT_EQ(region.GetWidth(), 2);
  EXPECT_EQ(region.GetHeight(), 2);
}

TEST(ImageRegions, MisuseNeverCrashes) {
  EROI<EBW8> detached;
  EXPECT_TRUE(detached.IsVoid());
  EXPECT_EQ(detached.GetWidth(), 0);
  EXPECT_EQ(detached.GetImagePtr(), nullptr);
  EOk();
  EXPECT_EQ(detached.GetPixel(0, 0), 0);
  EXPECT_EQ(EGetError(), E_ERROR_INDEX_OUT_OF_RANGE);

  EImage<EBW8> image = Ramp(4, 4);
  EOk();
  image.SetPixel(9, 4, 0);
  EXPECT_EQ(EGetError(), E_ERROR_INDEX_OUT_OF_RANGE);
  EXPECT_EQ(image.GetPixel(3, 0), 3);

  // Cycles and self-attachment are refused.
  EROI<EBW8> a, b;
  a.Attach(&image);
  b.Attach(&a);
  EOk();
  a.Attach(&b);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(a.GetParent(), &image);
  a.Attach(&a);
  EXPECT_EQ(a.GetParent(), &image);

  // A region whose image is destroyed becomes void instead of dangling.
  EROI<EBW8> orphan;
  {
    EImage<EBW8> temporary(5, 5);
    orphan.Attach(&temporary);
    orphan.SetPlacement(1, 1, 2, 2);
    EXPECT_FALSE(orphan.IsVoid());
  }
  EXPECT_TRUE(orphan.IsVoid());
  EXPECT_EQ(orphan.GetImagePtr(), nullptr);
}

TEST(ImageRegions, BadSizesLeaveTheImageAsItWas) {
  EImage<EBW8> image = Ramp(4, 3);
  EOk();
  image.SetSize(-1, 5);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(image.GetWidth(), 4);
  EOk();
  image.SetSize(INT_MAX, INT_MAX);
  EXPECT_EQ(EGetError(), E_ERROR_ALLOCATION_FAILED);
  EXPECT_EQ(image.GetWidth(), 4);
  EXPECT_EQ(image.GetPixel(1, 2), 21);
  image.SetSize(0, 0);
  EXPECT_TRUE(image.IsVoid());
  // A colour row one pixel past 2^31 bytes (3 x 715827883) is refused before any allocation.
  EOk();
  EImage<EC24> wide(2, 2);
  wide.SetSize(715827883, 1);
  EXPECT_EQ(EGetError(), E_ERROR_ALLOCATION_FAILED);
  EXPECT_EQ(wide.GetWidth(), 2);
  EOk();
}

TEST(ImageRegions, CopiesOwnTheirPixels) {
  EImage<EC24> image(3, 2);
  image.SetPixel(EC24{1, 2, 3}, 2, 1);
  EImage<EC24> copy(image);
  image.SetPixel(EC24{9, 9, 9}, 2, 1);
  EXPECT_EQ(copy.GetPixel(2, 1), (EC24{1, 2, 3}));
  EImage<ESubPixel64> table(7, 3);
  EXPECT_EQ(table.GetRowPitch(), 56);
  EImage<EBW16> wide;
  wide.SetSize(&table);
  EXPECT_EQ(wide.GetWidth(), 7);
  EXPECT_EQ(wide.GetRowPitch(), 16);
}

namespace {

// The test's own account of a forest of two images and six regions: parents, requested
// placements and image sizes, from which each region's clipped rectangle is worked out afresh.
struct RegionModel {
  static constexpr int kImages = 2, kNodes = 8;
  int parent[kNodes];
  int org[kNodes][2], size[kNodes][2];  // requested; for images the image size
  RegionModel() {
    for (int i = 0; i < kNodes; ++i) parent[i] = -1, org[i][0] = org[i][1] = 0;
    for (int i = 0; i < kNodes; ++i) size[i][0] = size[i][1] = 0;
  }
  bool InSubtree(int top, int node) const {
    for (; node >= 0; node = parent[node])
      if (node == top) return true;
    return false;
  }
  int Root(int node) const {
    while (parent[node] >= 0) node = parent[node];
    return node < kImages ? node : -1;
  }
  // Clipped rectangle relative to the root: x, y, width, height.
  void Clip(int node, int64_t r[4]) const {
    if (node < kImages) {
      r[0] = r[1] = 0, r[2] = size[node][0], r[3] = size[node][1];
      return;
    }
    if (parent[node] < 0) {
      r[0] = r[1] = r[2] = r[3] = 0;
      return;
    }
    int64_t p[4];
    Clip(parent[node], p);
    int64_t lo[2], hi[2];
    for (int a = 0; a < 2; ++a) {
      lo[a] = std::clamp<int64_t>(org[node][a], 0, p[2 + a]);
      hi[a] = std::clamp<int64_t>(int64_t(org[node][a]) + size[node][a], 0, p[2 + a]);
      r[a] = p[a] + lo[a];
      r[2 + a] = std::max<int64_t>(0, hi[a] - lo[a]);
    }
  }
};

}  // namespace

// Random re-parenting, re-placing, re-sizing, copying and destroying, with refusals among them;
// after every step each region reads exactly what the model works out from scratch.
TEST(ImageRegions, CachedPlacementFollowsEveryChangeOfTheTree) {
  EOk();
  std::mt19937 rng(21);
  RegionModel model;
  std::unique_ptr<EImage<EBW8>> images[RegionModel::kImages];
  std::unique_ptr<EROI<EBW8>> regions[RegionModel::kNodes];
  auto node = [&](int i) -> EROI<EBW8>* {
    return i < RegionModel::kImages ? images[i].get() : regions[i].get();
  };
  auto resize = [&](int i, int w, int h) {
    images[i]->SetSize(w, h);
    if (w < 0 || h < 0) {
      EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
      EOk();
      return;
    }
    model.size[i][0] = w, model.size[i][1] = h;
    for (int y = 0; y < h; ++y)  // pixel value from the position, to check addresses
      for (int x = 0; x < w; ++x) images[i]->SetPixel(static_cast<EBW8>(x * 7 + y * 13 + i), x, y);
  };
  for (int i = 0; i < RegionModel::kImages; ++i)
    images[i].reset(new EImage<EBW8>()), resize(i, 9, 7);
  for (int i = RegionModel::kImages; i < RegionModel::kNodes; ++i)
    regions[i].reset(new EROI<EBW8>());
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };

  for (int step = 0; step < 3000; ++step) {
    const int target = pick(0, RegionModel::kNodes - 1);
    const int action = pick(0, 5);
    if (target < RegionModel::kImages) {
      if (action == 0) {  // destroyed and made again: its regions lose their root
        images[target].reset(new EImage<EBW8>());
        for (int& p : model.parent) p = p == target ? -1 : p;
        model.size[target][0] = model.size[target][1] = 0;
      } else if (action == 1) {  // a copy of the other image
        *images[target] = *images[1 - target];
        model.size[target][0] = model.size[1 - target][0];
        model.size[target][1] = model.size[1 - target][1];
        for (int y = 0; y < model.size[target][1]; ++y)
          for (int x = 0; x < model.size[target][0]; ++x)
            images[target]->SetPixel(static_cast<EBW8>(x * 7 + y * 13 + target), x, y);
      } else {
        resize(target, pick(-1, 12), pick(-1, 10));
      }
    } else if (action == 0) {
      const int newParent = pick(0, RegionModel::kNodes - 1);
      regions[target]->Attach(node(newParent));
      if (model.InSubtree(target, newParent)) {
        EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
        EOk();
      } else {
        model.parent[target] = newParent;
      }
    } else if (action == 1) {
      regions[target]->Detach();
      model.parent[target] = -1;
    } else if (action == 2) {  // destroyed and made again, unplaced
      regions[target].reset(new EROI<EBW8>());
      for (int& p : model.parent) p = p == target ? -1 : p;
      model.parent[target] = -1;
      model.org[target][0] = model.org[target][1] = model.size[target][0] = model.size[target][1] =
          0;
    } else {
      const bool huge = action == 5;
      int values[4] = {pick(-4, 10), pick(-4, 8), pick(-3, 12), pick(-3, 10)};
      if (huge) values[0] = INT_MAX - 2, values[3] = INT_MAX;
      regions[target]->SetPlacement(values[0], values[1], values[2], values[3]);
      model.org[target][0] = values[0], model.org[target][1] = values[1];
      model.size[target][0] = std::max(0, values[2]),
      model.size[target][1] = std::max(0, values[3]);
    }
    ASSERT_EQ(EGetError(), E_OK) << "step " << step;

    for (int i = 0; i < RegionModel::kNodes; ++i) {
      SCOPED_TRACE(testing::Message() << "step " << step << " node " << i);
      int64_t r[4];
      model.Clip(i, r);
      const int root = model.Root(i);
      const EROI<EBW8>& region = *node(i);
      ASSERT_EQ(region.GetTotalOrgX(), r[0]);
      ASSERT_EQ(region.GetTotalOrgY(), r[1]);
      ASSERT_EQ(region.GetWidth(), r[2]);
      ASSERT_EQ(region.GetHeight(), r[3]);
      if (i >= RegionModel::kImages && model.parent[i] >= 0) {
        int64_t p[4];
        model.Clip(model.parent[i], p);
        ASSERT_EQ(region.GetOrgX(), r[0] - p[0]);
        ASSERT_EQ(region.GetOrgY(), r[1] - p[1]);
      }
      ASSERT_EQ(region.GetTotalWidth(), root >= 0 ? model.size[root][0] : 0);
      ASSERT_EQ(region.GetRowPitch(), root >= 0 ? images[root]->GetRowPitch() : 0);
      const bool hasPixels = root >= 0 && r[2] > 0 && r[3] > 0;
      ASSERT_EQ(region.IsVoid(), hasPixels ? 0 : 1);
      if (!hasPixels) continue;
      ASSERT_EQ(region.GetImagePtr(), images[root]->GetImagePtr(int(r[0]), int(r[1])));
      const int x = static_cast<int>(r[2]) - 1, y = static_cast<int>(r[3]) - 1;
      ASSERT_EQ(region.GetPixel(x, y), static_cast<EBW8>((r[0] + x) * 7 + (r[1] + y) * 13 + root));
    }
  }
}
