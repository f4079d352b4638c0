// The ball grid array model: defaults, accessors and their refusals, statistics against an
// independent reference, drawing in every mode, copies and the component's nominal centre.
#include "vimo/bga/bga.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "shapes/shape_test_support.h"
#include "test_support.h"

namespace {

using shape_test::RecordingAdapter;
using shape_test::Settings;

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

// Min, max and mean in double precision, the reference for the running statistics.
struct Reference {
  double minimum = 1e300, maximum = -1e300, sum = 0;
  int count = 0;
  void Add(double v) {
    minimum = std::min(minimum, v);
    maximum = std::max(maximum, v);
    sum += v;
    ++count;
  }
};

}  // namespace

TEST(BGA, Defaults) {
  Settings settings;
  EBGABall ball(3, 4, 10, 1, 0);
  EXPECT_EQ(ball.GetCenter(), EPoint(3, 4));
  EXPECT_EQ(ball.GetMeasuredDiameter(), 10.0f);
  EXPECT_EQ(ball.GetType(), INS_SHAPE_TYPE_BGA_BALL);
  EXPECT_EQ(ball.GetWhiteOnBlack(), 1);
  EXPECT_EQ(ball.GetNumBatchSamples(), 0u);
  const float minima[] = {ball.GetMinimumOffset(),       ball.GetMinimumPitch(),
                          ball.GetMinimumDiameter(),     ball.GetMinimumCircularity(),
                          ball.GetMinimumDoughnutness(), ball.GetMinimumQualityFactor()};
  const float maxima[] = {ball.GetMaximumOffset(),       ball.GetMaximumPitch(),
                          ball.GetMaximumDiameter(),     ball.GetMaximumCircularity(),
                          ball.GetMaximumDoughnutness(), ball.GetMaximumQualityFactor()};
  for (float v : minima) EXPECT_EQ(v, 3.4028235e38f);
  for (float v : maxima) EXPECT_EQ(v, 1.17549435e-38f);

  EBGAComponent component;
  EXPECT_EQ(component.GetType(), INS_SHAPE_TYPE_BGA_COMPONENT);
  EXPECT_EQ(component.GetSizeX(), 100.0f);
  EXPECT_EQ(component.GetMinimumOffset(), 0.0f);
  EXPECT_EQ(component.GetMaximumQualityFactor(), 0.0f);
  EXPECT_EQ(component.GetNumBallsFound(), 0u);
  component.SetCenter(10, 20);
  EXPECT_EQ(component.GetCenter(), EPoint(10, 20));
  EXPECT_EQ(component.GetNominalCenter(), EPoint(10, 20));

  EBGAArray array;
  EXPECT_EQ(array.GetType(), INS_SHAPE_TYPE_BGA_ARRAY);
  EXPECT_EQ(array.GetStaggered() + array.GetInverseRowNumbering() + array.GetInverseColNumbering(),
            0);
}

// Every setter that takes a measure refuses NaN, infinite and negative sizes with 32767 and
// leaves the value as it was.
TEST(BGA, SettersRefuseBadValues) {
  Settings settings;
  EBGABall ball(0, 0, 1, 1, 0);
  EBGA bga;
  struct Case {
    const char* name;
    std::function<void(float)> set;
    std::function<float()> get;
    bool negativeAllowed;
  };
  const Case cases[] = {
      {"tolerance", [&](float v) { ball.SetDiameterTolerance(v); },
       [&] { return ball.GetDiameterTolerance(); }, false},
      {"circularity", [&](float v) { ball.SetMeasuredCircularity(v); },
       [&] { return ball.GetMeasuredCircularity(); }, true},
      {"offset", [&](float v) { ball.SetMeasuredOffset(v, 0); },
       [&] { return ball.GetMeasuredOffsetX(); }, true},
      {"measured circle", [&](float v) { ball.SetMeasuredCircle(ECircle(EPoint(0, 0), v, 0, 1)); },
       [&] { return ball.GetMeasuredDiameter(); }, false},
      {"ball diameter", [&](float v) { bga.SetBallDiameter(v); },
       [&] { return bga.GetBallDiameter(); }, false},
      {"doughnutness tolerance", [&](float v) { bga.SetBallDoughnutnessTolerance(v); },
       [&] { return bga.GetBallDoughnutnessTolerance(); }, false},
      {"outer region", [&](float v) { bga.SetOuterRoiDiameter(v); },
       [&] { return bga.GetOuterRoiDiameter(); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EOk();
    c.set(2.5f);
    EXPECT_EQ(EGetError(), E_OK);
    EXPECT_EQ(c.get(), 2.5f);
    for (float bad : {kNaN, kInf, -kInf, -1.0f}) {
      if (bad == -1.0f && c.negativeAllowed) continue;
      EOk();
      c.set(bad);
      EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
      EXPECT_EQ(c.get(), 2.5f);
    }
  }
  EOk();
  bga.SetSymmetry(static_cast<BGA_SYMMETRY>(7));
  bga.SetBlobThreshold(256);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(bga.GetSymmetry(), BGA_SYMMETRY_NONE);
  EXPECT_EQ(bga.GetBlobThreshold(), 128u);
  bga.SetSymmetry(BGA_SYMMETRY_XY);
  bga.SetMaxMissingBalls(3);
  EXPECT_EQ(bga.GetSymmetry(), BGA_SYMMETRY_XY);
  EXPECT_EQ(bga.GetMaxMissingBalls(), 3u);
}

// Running statistics of a ball over its samples and of a component over its balls, against
// double-precision references; negative figures too.
TEST(BGA, StatisticsFollowTheSamples) {
  Settings settings;
  std::mt19937 random(7);
  std::uniform_real_distribution<float> figure(-2, 5);
  EBGABall ball(0, 0, 1, 1, 0);
  EBGAComponent component;
  Reference offset, diameter, circularity, quality;
  for (int i = 0; i < 50; ++i) {
    const float ox = figure(random), oy = figure(random), d = 1 + std::fabs(figure(random));
    ball.SetMeasuredOffset(ox, oy);
    ball.SetMeasuredCircle(ECircle(EPoint(0, 0), d, 0, 1));
    ball.SetMeasuredCircularity(figure(random));
    ball.SetMeasuredQualityFactor(figure(random));
    ball.SetDiagnostics(i == 10 ? unsigned(BGA_DIAGNOSTIC_OFFSET) : 0u);
    ball.AddBatchSample();
    component.AddBall(ball);
    offset.Add(std::hypot(double(ox), double(oy)));
    diameter.Add(d);
    circularity.Add(ball.GetMeasuredCircularity());
    quality.Add(ball.GetMeasuredQualityFactor());
  }
  EXPECT_EQ(ball.GetNumBatchSamples(), 50u);
  EXPECT_EQ(component.GetNumBallsFound(), 50u);
  EXPECT_EQ(component.GetDiagnostics(), unsigned(BGA_DIAGNOSTIC_OFFSET));
  auto check = [](const Reference& r, float minimum, float maximum, float average) {
    EXPECT_NEAR(minimum, r.minimum, 1e-5);
    EXPECT_NEAR(maximum, r.maximum, 1e-5);
    EXPECT_NEAR(average, r.sum / r.count, 1e-4);
  };
  check(offset, ball.GetMinimumOffset(), ball.GetMaximumOffset(), ball.GetAverageOffset());
  check(diameter, component.GetMinimumDiameter(), component.GetMaximumDiameter(),
        component.GetAverageDiameter());
  check(circularity, ball.GetMinimumCircularity(), ball.GetMaximumCircularity(),
        ball.GetAverageCircularity());
  check(quality, component.GetMinimumQualityFactor(), component.GetMaximumQualityFactor(),
        component.GetAverageQualityFactor());
  ball.ResetStatistics();
  component.ResetStatistics();
  EXPECT_EQ(ball.GetMaximumPitch(), 1.17549435e-38f);
  EXPECT_EQ(component.GetAverageOffset(), 0.0f);
  EXPECT_EQ(component.GetNumBallsFound(), 0u);
}

// A ball of diameter 10 at (10, 20) under VimoWorld (identity, zoom 1, pan 0): its nominal
// box covers display pixels 5..15 by 15..25; the measured circle (12, 20), diameter 8, 8..16.
TEST(BGA, DrawingInEachMode) {
  Settings settings;
  EBGABall ball(10, 20, 10, 1, 0);
  ball.SetMeasuredCircle(ECircle(EPoint(12, 20), 8, 0, 1));
  ball.SetDiameterTolerance(2);
  const std::string nominal = "ellipse 5,15 10,10", measured = "ellipse 8,16 8,8";
  struct Case {
    int mode;
    unsigned diagnostics;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {0, 0, {nominal}},
      {1, 0, {measured}},
      {1,
       BGA_DIAGNOSTIC_MISSING | BGA_DIAGNOSTIC_OFFSET,
       {nominal, "line 5,15 15,25 default", "line 5,25 15,15 default"}},
      {1, BGA_DIAGNOSTIC_CIRCULARITY, {"rectangle 8,16 8,8"}},
      {1, BGA_DIAGNOSTIC_DOUGHNUTNESS | BGA_DIAGNOSTIC_QUALITY_FACTOR, {"rectangle 8,16 8,8"}},
      {1, BGA_DIAGNOSTIC_QUALITY_FACTOR, {}},
      {1,
       BGA_DIAGNOSTIC_DIAMETER,
       {measured, measured, "line 8,20 4,20 default", "line 16,20 20,20 default",
        "line 12,16 12,12 default", "line 12,24 12,28 default"}},
      {1, BGA_DIAGNOSTIC_OFFSET, {measured, "line 5,20 15,20 default", "line 10,15 10,25 default"}},
      {2, 0, {"ellipse 4,14 12,12", "ellipse 6,16 8,8"}},
      {3, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " diagnostics " << c.diagnostics);
    ball.SetDiagnostics(c.diagnostics);
    RecordingAdapter adapter;
    ball.Draw(&adapter, static_cast<INS_DRAWING_MODES>(c.mode), 0);
    EXPECT_EQ(adapter.calls, c.calls);
  }
  // Hidden balls draw nothing; a tolerance as wide as the ball leaves only the outer circle.
  ball.SetDiameterTolerance(20);
  RecordingAdapter band;
  ball.Draw(&band, static_cast<INS_DRAWING_MODES>(2), 0);
  EXPECT_EQ(band.calls.size(), 1u);
  ball.SetVisible(0, 0);
  RecordingAdapter hidden;
  ball.Draw(&hidden, INS_DRAW_NOMINAL, 0);
  EXPECT_TRUE(hidden.calls.empty());

  // A ball far larger than any display: its box is clamped to 2^30 on either side, and the
  // widths and middles are taken without overflowing.
  EBGABall huge(0, 0, 3e9f, 1, 0);
  huge.SetDiagnostics(BGA_DIAGNOSTIC_DIAMETER | BGA_DIAGNOSTIC_OFFSET);
  for (int mode = 0; mode <= 2; ++mode) {
    RecordingAdapter adapter;
    huge.Draw(&adapter, static_cast<INS_DRAWING_MODES>(mode), 0);
    ASSERT_FALSE(adapter.calls.empty());
    EXPECT_EQ(adapter.calls[0], "ellipse -1073741824,-1073741824 2147483647,2147483647");
  }
}

namespace {
// A ball that owns an attached object through its release routine.
struct OwningBall : EBGABall {
  explicit OwningBall(int* released) : EBGABall(0, 0, 1, 1, 0) {
    m_pAttachedObject = released;
    m_pReleaseAttachedObject = [](void* counter) { ++*static_cast<int*>(counter); };
  }
};
}  // namespace

// Copies keep every field but the attached object; loading a component record sets its
// nominal centre to the stored centre.
TEST(BGA, CopiesAndComponentRecord) {
  Settings settings;
  int released = 0;
  {
    OwningBall ball(&released);
    ball.SetDiagnostics(9);
    ball.SetMeasuredPitch(3, 4);
    ball.AddBatchSample();
    EBGABall copy(ball);
    EShape* clone = ball.New();
    for (EBGABall* b : {&copy, static_cast<EBGABall*>(clone)}) {
      EXPECT_EQ(b->GetDiagnostics(), 9u);
      EXPECT_EQ(b->GetMaximumPitch(), 5.0f);
      EXPECT_EQ(b->GetNumBatchSamples(), 1u);
    }
    EXPECT_TRUE(clone->GetAllocated());
    delete clone;
  }
  EXPECT_EQ(released, 1);

  EBGAComponent component;
  component.SetCenter(3, 4);
  component.ERectangleShape::SetCenter(7, 8);  // moves the shape only
  EXPECT_EQ(component.GetNominalCenter(), EPoint(3, 4));
  const std::string path = vimo_test::ScratchPath("component.shp");
  component.Save(path.c_str(), 1);
  EBGAComponent loaded;
  loaded.Load(path.c_str(), 1);
  ASSERT_EQ(EGetError(), E_OK);
  EXPECT_EQ(loaded.GetNominalCenter(), EPoint(7, 8));
  EBGAArray array;
  array.SetStaggered(1);
  EBGAArray arrayCopy(array);
  EXPECT_EQ(arrayCopy.GetStaggered(), 1);
}

// A ball saved under a mother whose frame cannot be inverted (scale 0) loads back: taking its
// nominal circle to world coordinates is no part of reading the file.
TEST(BGA, BallUnderAFlatMotherLoadsBack) {
  Settings settings;
  EBGAArray array;
  array.SetScale(0);
  EBGABall ball(1, 2, 1, 1, 0);
  ball.Attach(&array);
  const std::string path = vimo_test::ScratchPath("flat.shp");
  array.Save(path.c_str(), 1);
  ASSERT_EQ(EGetError(), E_OK);
  EBGAArray loaded;
  loaded.Load(path.c_str(), 1);
  EXPECT_EQ(EGetError(), E_OK) << EGetErrorTrace();
  ASSERT_EQ(loaded.GetNumDaughters(), 1u);
  EXPECT_EQ(static_cast<EBGABall*>(loaded.GetDaughter(0))->GetMeasuredDiameter(), 1.0f);
}
