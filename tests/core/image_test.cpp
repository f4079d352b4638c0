#include <gtest/gtest.h>

#include <climits>

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
