#include <gtest/gtest.h>

#include "test_support.h"
#include "vimo/core/core.h"

TEST(ImageRegions, NestedRegionsAddressRootPixels) {
  EImage<EBW8> image(10, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 10; ++x) image.SetPixel(static_cast<EBW8>(10 * y + x), x, y);
  EROI<EBW8> outer;
  outer.Attach(&image);
  outer.SetPlacement(2, 1, 6, 5);
  EROI<EBW8> inner;
  inner.Attach(&outer);
  inner.SetPlacement(1, 2, 3, 2);
  EXPECT_EQ(inner.GetTotalOrgX(), 3);
  EXPECT_EQ(inner.GetTotalOrgY(), 3);
  EXPECT_EQ(inner.GetPixel(0, 0), 33);
  EXPECT_EQ(*inner.GetImagePtr(2, 1), 45);
  EXPECT_EQ(inner.GetTotalWidth(), 10);
  EXPECT_EQ(inner.GetRowPitch() % 4, 0);
}
