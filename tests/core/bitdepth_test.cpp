#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "test_support.h"
#include "vimo/vimo.h"

namespace {

// Every 16-bit value once, in a 256 x 256 image, viewed through a region offset in a larger one
// so that the row pitch differs from the width.
struct AllValues {
  EImage<EBW16> image{300, 260};
  EROI<EBW16> values;
  EImage<EBW8> target{256, 256};
  AllValues() {
    values.Attach(&image);
    values.SetPlacement(7, 3, 256, 256);
    for (int v = 0; v < 65536; ++v) values.SetPixel(static_cast<EBW16>(v), v % 256, v / 256);
  }
};

}  // namespace

TEST(BitDepth, ShiftAndWindowMatchTheirFormulaForEveryValue) {
  AllValues all;
  EOk();
  for (int shift : {0, 2, 4, 8, 15}) {
    EConvertToBW8Shift(&all.values, &all.target, shift);
    ASSERT_EQ(EGetError(), E_OK);
    for (int v = 0; v < 65536; ++v)
      ASSERT_EQ(all.target.GetPixel(v % 256, v / 256), std::min(255, v >> shift))
          << v << " >> " << shift;
  }
  struct Window {
    int low, high;
  } windows[] = {{0, 65535}, {0, 1023}, {100, 4095}, {1000, 1001}, {65534, 65535}, {0, 1}};
  for (const Window& w : windows) {
    EConvertToBW8Window(&all.values, &all.target, w.low, w.high);
    ASSERT_EQ(EGetError(), E_OK);
    for (int v = 0; v < 65536; ++v) {
      const double c = std::min(std::max(v, w.low), w.high);
      const int expected =
          static_cast<int>(std::floor(255.0 * (c - w.low) / (w.high - w.low) + 0.5));
      ASSERT_EQ(all.target.GetPixel(v % 256, v / 256), expected)
          << v << " in " << w.low << ".." << w.high;
    }
  }
  // A region smaller than the window's range takes the path without a table.
  EROI<EBW16> few;
  few.Attach(&all.values);
  few.SetPlacement(0, 16, 4, 1);  // values 4096 to 4099
  EImage<EBW8> four(4, 1);
  EConvertToBW8Window(&few, &four, 4000, 5000);
  for (int x = 0; x < 4; ++x)
    EXPECT_EQ(four.GetPixel(x, 0), static_cast<int>(std::floor(255.0 * (96 + x) / 1000 + 0.5)));
  EXPECT_EQ(EGetError(), E_OK);
}

TEST(BitDepth, BadParametersAndRegionsChangeNothing) {
  AllValues all;
  EImage<EBW8> small(255, 256);
  EImage<EBW8> empty;
  EROI<EBW16> detached;
  all.target.SetPixel(77, 200, 200);
  struct Case {
    const EROI<EBW16>* source;
    EROI<EBW8>* destination;
    int shift, low, high;
  };
  const Case cases[] = {
      {&all.values, &all.target, -1, 0, -1},    {&all.values, &all.target, 16, 0, 0},
      {&all.values, &all.target, 99, -1, 100},  {&all.values, &all.target, 99, 0, 65536},
      {&all.values, &all.target, 99, 500, 500}, {&all.values, &all.target, 99, 600, 500},
      {&all.values, &small, 4, 0, 4095},        {&all.values, &empty, 4, 0, 4095},
      {&detached, &all.target, 4, 0, 4095},     {nullptr, &all.target, 4, 0, 4095},
      {&all.values, nullptr, 4, 0, 4095},
  };
  for (const Case& c : cases) {
    EOk();
    if (c.shift != 99) {
      EConvertToBW8Shift(c.source, c.destination, c.shift);
      EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER) << c.shift;
      EXPECT_STREQ(EGetErrorTrace(), "EConvertToBW8Shift\n");
    }
    if (c.low <= c.high || c.shift == 99) {
      EOk();
      EConvertToBW8Window(c.source, c.destination, c.low, c.high);
      EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER) << c.low << ".." << c.high;
    }
    EXPECT_EQ(all.target.GetPixel(200, 200), 77);
  }
  EOk();
}
