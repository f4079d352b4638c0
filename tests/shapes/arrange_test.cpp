// Daughter arrangement, grid slot arithmetic, rescaling and masks.
#include <cmath>
#include <set>
#include <utility>

#include "shape_test_support.h"

using shape_test::Settings;

namespace {

// Absolute direction and size of a daughter's x axis, from two converted points.
void AbsoluteAxis(EShape& shape, float& angleDeg, float& scale) {
  EPoint o = shape.LocalToWorld(EPoint(0, 0));
  EPoint u = shape.LocalToWorld(EPoint(1, 0)) - o;
  angleDeg = static_cast<float>(std::atan2(u.GetY(), u.GetX()) * 180.0 / 3.14159265358979);
  scale = u.Modulus();
}

typedef std::set<std::pair<int, int>> PixelSet;

template <class T>
PixelSet RunPixels(EROI<T>& roi) {
  PixelSet pixels;
  ERunVector& runs = roi.GetRuns();
  for (unsigned i = 0; i < runs.GetNumElements(); ++i) {
    const ERun& run = runs[i];
    T* start = roi.GetImagePtr(run.x, run.y);
    EXPECT_EQ(run.start, static_cast<void*>(start));
    long length = static_cast<T*>(run.end) - static_cast<T*>(run.start);
    EXPECT_GT(length, 0);
    for (long k = 0; k < length; ++k) pixels.insert(std::make_pair(run.x + int(k), int(run.y)));
  }
  return pixels;
}

}  // namespace

TEST(ShapeArrangement, LineSpreadsDaughtersEndToEnd) {
  ELineShape line(0, 0, 100, 0);
  line.SetAutoArrange(1, 0);
  EPointShape d[5];
  for (auto& p : d) p.Attach(&line);
  line.ValidateFrame();
  const float expected[] = {-50, -25, 0, 25, 50};
  for (int i = 0; i < 5; ++i) {
    EXPECT_FLOAT_EQ(line.GetDaughter(i)->CastToFrame()->GetX(), expected[i]);
    EXPECT_FLOAT_EQ(line.GetDaughter(i)->CastToFrame()->GetY(), 0);
  }
  ELineShape single(0, 0, 100, 0);
  single.SetAutoArrange(1, 0);
  EPointShape one(7, 7);
  one.Attach(&single);
  single.ValidateFrame();
  EXPECT_FLOAT_EQ(one.GetX(), 0);
  EXPECT_FLOAT_EQ(one.GetY(), 0);
}

TEST(ShapeArrangement, CircleAndArc) {
  Settings settings;
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
  ECircleShape circle(0, 0, 20, 0, 1);
  circle.SetAutoArrange(1, 0);
  EPointShape d[4];
  for (auto& p : d) {
    p.SetRotatable(1, 0);
    p.Attach(&circle);
  }
  circle.ValidateFrame();
  const float angles[] = {0, 90, 180, 270};
  for (int i = 0; i < 4; ++i) {
    EFrame* f = circle.GetDaughter(i)->CastToFrame();
    double a = angles[i] * 3.14159265358979 / 180.0;
    EXPECT_NEAR(f->GetX(), 10 * std::cos(a), 1e-4);
    EXPECT_NEAR(f->GetY(), 10 * std::sin(a), 1e-4);
    EXPECT_NEAR(std::remainder(f->GetAngle() - angles[i], 360.0), 0, 1e-3);
  }
  ECircleShape arc(EPoint(0, 0), 20, 0, 180.0f);
  arc.SetAutoArrange(1, 0);
  EPointShape e[3];
  for (auto& p : e) p.Attach(&arc);
  arc.ValidateFrame();
  for (int i = 0; i < 3; ++i) {
    double a = i * 90 * 3.14159265358979 / 180.0;
    EXPECT_NEAR(e[i].GetX(), 10 * std::cos(a), 1e-4);
    EXPECT_NEAR(e[i].GetY(), 10 * std::sin(a), 1e-4);
  }
  ECircleShape lone(EPoint(0, 0), 20, 0, 90.0f);
  lone.SetAutoArrange(1, 0);
  EPointShape l;
  l.Attach(&lone);
  lone.ValidateFrame();
  EXPECT_FLOAT_EQ(l.GetX(), 10);
}

TEST(ShapeArrangement, IndexedLineAndCircleKeepEachSlotInPlace) {
  Settings settings;
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
  // Five slots along a line of length 100, three of them filled: each daughter stands where its
  // slot stands, -50 + 25 k, whichever slots are empty.
  ELineShape line(0, 0, 100, 0);
  line.SetAutoArrange(1, 0);
  line.SetIndexed(5);
  EPointShape p[3];
  const unsigned slots[] = {0, 2, 4};
  for (int i = 0; i < 3; ++i) p[i].AttachIndexed(&line, slots[i]);
  line.ValidateFrame();
  for (int i = 0; i < 3; ++i) {
    EXPECT_FLOAT_EQ(p[i].GetX(), -50.0f + 25.0f * slots[i]) << "slot " << slots[i];
    EXPECT_FLOAT_EQ(p[i].GetY(), 0);
  }
  // A full circle of four slots with slots 1 and 2 empty: slot 3 at 270 degrees, not on top of
  // slot 0's neighbour; a quarter arc of three slots with the middle one empty: slot 2 at the
  // arc's end, not beyond it.
  ECircleShape circle(0, 0, 20, 0, 1);
  circle.SetAutoArrange(1, 0);
  circle.SetIndexed(4);
  EPointShape c0, c3;
  c0.AttachIndexed(&circle, 0);
  c3.AttachIndexed(&circle, 3);
  circle.ValidateFrame();
  EXPECT_NEAR(c0.GetX(), 10, 1e-4);
  EXPECT_NEAR(c0.GetY(), 0, 1e-4);
  EXPECT_NEAR(c3.GetX(), 0, 1e-4);
  EXPECT_NEAR(c3.GetY(), -10, 1e-4);
  ECircleShape arc(EPoint(0, 0), 20, 0, 90.0f);
  arc.SetAutoArrange(1, 0);
  arc.SetIndexed(3);
  EPointShape a0, a2;
  a0.SetRotatable(1, 0);
  a2.SetRotatable(1, 0);
  a0.AttachIndexed(&arc, 0);
  a2.AttachIndexed(&arc, 2);
  arc.ValidateFrame();
  EXPECT_NEAR(a2.GetX(), 0, 1e-4);
  EXPECT_NEAR(a2.GetY(), 10, 1e-4);
  EXPECT_NEAR(a2.GetAngle(), 90, 1e-3);
  EXPECT_NEAR(a0.GetAngle(), 0, 1e-3);
}

TEST(ShapeArrangement, RectangleGridKeepsAbsoluteAngleAndScale) {
  Settings settings;
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
  ERectangleShape rect(200, 100, 100, 50, 30);
  rect.SetScale(2);
  rect.SetAutoArrange(1, 0);
  EPointShape model;
  model.Clone(&rect, 3, 2, 0);
  rect.ValidateFrame();
  for (unsigned c = 0; c < 3; ++c)
    for (unsigned r = 0; r < 2; ++r) {
      EShape* d = rect.GetDaughter(c, r);
      ASSERT_NE(d, nullptr);
      EXPECT_FLOAT_EQ(d->CastToFrame()->GetX(), -50.0f + 50.0f * c);
      EXPECT_FLOAT_EQ(d->CastToFrame()->GetY(), r == 0 ? -25.0f : 25.0f);
      float angle, scale;
      AbsoluteAxis(*d, angle, scale);
      EXPECT_NEAR(angle, 0, 1e-3);
      EXPECT_NEAR(scale, 1, 1e-5);
    }
  // A corner slot sits on the rectangle's corner (scale 2 of the rectangle's own frame aside).
  EXPECT_EQ(rect.GetRowIndex(rect.GetDaughter(5)), 1u);
  EXPECT_EQ(rect.GetColIndex(rect.GetDaughter(5)), 2u);
  // Without rows nothing moves.
  ERectangleShape plain(0, 0, 10, 10, 0);
  plain.SetAutoArrange(1, 0);
  EPointShape p(3, 3);
  p.Attach(&plain);
  plain.ValidateFrame();
  EXPECT_FLOAT_EQ(p.GetX(), 3);
}

TEST(ShapeArrangement, GridShapesArrangeOnlyWhileTheirTableIsAGrid) {
  // A 3 x 2 grid turned into a list by Attach keeps its row count; its list daughters are not a
  // grid and stay where they are (laid out by the row count they would follow the list's
  // capacity instead).
  ERectangleShape rect(0, 0, 100, 50, 0);
  rect.SetAutoArrange(1, 0);
  rect.SetIndexed(3, 2);
  EPointShape p(3, 4), q(5, 6);
  p.Attach(&rect);
  q.Attach(&rect);
  ASSERT_FALSE(rect.GetIndexed());
  rect.ValidateFrame();
  EXPECT_FLOAT_EQ(p.GetX(), 3);
  EXPECT_FLOAT_EQ(p.GetY(), 4);
  EXPECT_FLOAT_EQ(q.GetX(), 5);
  // A one-dimensional table made after a grid: no rows to lay out either (with the old row
  // count, slot 4 of 5 would land at x = 150, outside the rectangle).
  ERectangleShape again(0, 0, 100, 50, 0);
  again.SetAutoArrange(1, 0);
  again.SetIndexed(3, 2);
  again.DetachDaughters();
  EShape& base = again;
  base.SetIndexed(5);
  ASSERT_EQ(again.GetMaxDaughters(), 5u);
  EPointShape r(7, 8);
  r.AttachIndexed(&again, 4);
  again.ValidateFrame();
  EXPECT_FLOAT_EQ(r.GetX(), 7);
  EXPECT_FLOAT_EQ(r.GetY(), 8);
  EWedgeShape wedge(EPoint(0, 0), 20, 10, 0, 90.0f);
  wedge.SetAutoArrange(1, 0);
  wedge.SetIndexed(2, 2);
  EPointShape w(1, 2);
  w.Attach(&wedge);
  wedge.ValidateFrame();
  EXPECT_FLOAT_EQ(w.GetX(), 1);
  EXPECT_FLOAT_EQ(w.GetY(), 2);
}

TEST(ShapeArrangement, WedgePolarGrid) {
  Settings settings;
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
  EWedgeShape wedge(EPoint(0, 0), 20, 10, 0, 90.0f);  // co-radius 10, radius 20
  wedge.SetAutoArrange(1, 0);
  EPointShape model;
  model.SetRotatable(1, 0);
  model.Clone(&wedge, 3, 2, 0);
  wedge.ValidateFrame();
  for (unsigned c = 0; c < 3; ++c)
    for (unsigned r = 0; r < 2; ++r) {
      EFrame* f = wedge.GetDaughter(c, r)->CastToFrame();
      double rho = r == 0 ? 20 : 10, a = c * 45 * 3.14159265358979 / 180.0;
      EXPECT_NEAR(f->GetX(), rho * std::cos(a), 1e-4);
      EXPECT_NEAR(f->GetY(), rho * std::sin(a), 1e-4);
      EXPECT_NEAR(f->GetAngle(), 45.0 * c, 1e-3);
    }
  // One row, one column: no division by zero.
  EWedgeShape single(EPoint(0, 0), 20, 10, 0, 90.0f);
  single.SetAutoArrange(1, 0);
  model.Clone(&single, 1, 1, 0);
  single.ValidateFrame();
  EXPECT_FLOAT_EQ(single.GetDaughter(0)->CastToFrame()->GetX(), 20);
}

TEST(ShapeGrids, SlotArithmeticAndErrors) {
  ERectangleShape rect(0, 0, 10, 10, 0);
  EOk();
  EXPECT_EQ(rect.GetDaughterIndex(0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(EGetError(), E_ERROR_NOT_INDEXED);
  EXPECT_STREQ(EGetErrorTrace(), "ERectangleShape::GetDaughterIndex\n");
  EOk();
  rect.SetIndexed(3, 2);
  EXPECT_EQ(rect.GetMaxDaughters(), 6u);
  EXPECT_EQ(rect.GetNumRows(), 2u);
  EXPECT_EQ(rect.GetNumCols(), 3u);
  EXPECT_TRUE(rect.Get2DArray());
  EXPECT_EQ(rect.GetDaughterIndex(2, 1), 5u);
  EXPECT_EQ(rect.GetDaughterIndex(0, 2), 0xFFFFFFFFu);
  EXPECT_EQ(EGetError(), E_ERROR_INDEX_OUT_OF_RANGE);
  EOk();
  EXPECT_EQ(rect.GetDaughterIndex(3, 0), 0xFFFFFFFFu);
  EXPECT_EQ(EGetError(), E_ERROR_GRID_INDEX_OUT_OF_RANGE);
  EOk();
  EXPECT_EQ(rect.GetDaughterIndex(0xFFFFFFFFu, 1), 0xFFFFFFFFu);
  EXPECT_EQ(EGetError(), E_ERROR_GRID_INDEX_OUT_OF_RANGE);
  EOk();
  rect.SetIndexed(2, 2);
  EXPECT_EQ(EGetError(), E_ERROR_ALREADY_HAS_DAUGHTER_TABLE);
  EXPECT_STREQ(EGetErrorTrace(), "ERectangleShape::SetIndexed\n");
  EPointShape a, b;
  a.AttachIndexed(&rect, 2, 1);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(rect.GetDaughter(2, 1), &a);
  EXPECT_EQ(a.GetIndex(), 5u);
  b.AttachIndexed(&rect, 2, 1);
  EXPECT_EQ(EGetError(), E_ERROR_SLOT_OCCUPIED);
  EXPECT_STREQ(EGetErrorTrace(), "EShape::AttachIndexed ( to ERectangleShape)\n");
  b.AttachIndexed(&rect, 0, 5);
  EXPECT_EQ(EGetError(), E_ERROR_INDEX_OUT_OF_RANGE);
  EXPECT_STREQ(EGetErrorTrace(),
               "ERectangleShape::GetDaughterIndex\nEShape::AttachIndexed ( to ERectangleShape)\n");
  EXPECT_EQ(b.GetMother(), static_cast<EShape*>(&VimoWorld));
  EOk();
  EWedgeShape wedge(0, 0, 10, 2, 0, 1);
  b.AttachIndexed(&wedge, 0, 0);
  EXPECT_EQ(EGetError(), E_ERROR_NOT_INDEXED);
  EXPECT_STREQ(EGetErrorTrace(),
               "EWedgeShape::GetDaughterIndex\nEShape::AttachIndexed ( to EWedgeShape)\n");
  EOk();
  EXPECT_EQ(rect.GetRowIndex(&b), 0xFFFFFFFFu);
  EXPECT_NE(EGetError(), E_OK);
  EOk();
  ERectangleShape list(0, 0, 10, 10, 0);
  EXPECT_EQ(list.GetRowIndex(&a), 0xFFFFFFFFu);
  EXPECT_EQ(EGetError(), E_ERROR_NOT_INDEXED);
  EXPECT_EQ(list.GetNumCols(), 0u);
  EOk();
  // The circle's one-dimensional form keeps the two-dimensional flag as it was.
  ECircleShape circle(0, 0, 10, 0, 1);
  circle.SetIndexed(3);
  EXPECT_FALSE(circle.Get2DArray());
  circle.SetIndexed(3);
  EXPECT_EQ(EGetError(), E_ERROR_ALREADY_HAS_DAUGHTER_TABLE);
  EXPECT_STREQ(EGetErrorTrace(), "ECircleShape::SetIndexed\n");
  EOk();
}

TEST(ShapeGeometry, SettersAndRescale) {
  Settings settings;
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
  ECircleShape c(EPoint(0, 0), 20, 0, 90.0f);
  EXPECT_NEAR(c.GetEndHandleAngle(), 3.14159265f / 2, 1e-6);
  EXPECT_NEAR(c.GetMiddleHandleAngle(), 3.14159265f / 4, 1e-6);
  c.Set(EPoint(0, 0), 20, 0, 1);
  EXPECT_NEAR(c.GetMiddleHandleAngle(), 3.14159265f, 1e-6);
  c.SetDraggingMode(INS_DRAG_FROM_FIXED_POINT, 0);
  c.Set(EPoint(0, 0), EPoint(5, 0), 1);
  EXPECT_NEAR(c.GetEndHandleAngle(), 4 * 3.14159265f / 3, 1e-5);
  ECircleShape three(EPoint(2, 0), EPoint(1, 1), EPoint(0, 0), 0);
  EXPECT_NEAR(three.GetMiddleHandleAngle(), 3.14159265f / 2, 1e-5);
  EFrameShape f(1, 2, 0, 1, 10, 20);
  EPointShape p(3, 4);
  ELineShape l(1, 1, 10, 0);
  ERectangleShape r(2, 2, 4, 6, 0);
  EWedgeShape w(0, 0, 20, 4, 0, 1);
  p.Attach(&f);
  l.Attach(&f);
  r.Attach(&f);
  w.Attach(&f);
  f.Rescale(2, 1);
  EXPECT_FLOAT_EQ(f.GetX(), 2);
  EXPECT_FLOAT_EQ(f.GetSizeY(), 40);
  EXPECT_FLOAT_EQ(p.GetY(), 8);
  EXPECT_FLOAT_EQ(l.GetLength(), 20);
  EXPECT_FLOAT_EQ(r.GetSizeY(), 12);
  EXPECT_FLOAT_EQ(w.GetOuterRadius(), 28);
  EXPECT_FLOAT_EQ(w.GetInnerRadius(), 20);
  f.SetSize(5, 0);
  EXPECT_FLOAT_EQ(f.GetSizeY(), 5);
  f.SetAxis(EPoint(0, 0), 90, 2, 3, 4);
  EXPECT_FLOAT_EQ(f.GetSizeX(), 3);
  EXPECT_NEAR(p.LocalToWorld(EPoint(0, 0)).GetX(), -16, 1e-4);
}

TEST(ShapeMasks, RotatedRectanglesMatchBruteForce) {
  Settings settings;
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
  EImage<EBW8> image(64, 48);
  EROI<EBW8> roi;
  roi.Attach(&image);
  roi.SetPlacement(0, 0, 64, 48);
  const float cases[][5] = {{30, 20, 30, 12, 30}, {32, 24, 50, 20, -65},    {5, 5, 40, 8, 45},
                            {60, 40, 30, 30, 10}, {20.3f, 30.4f, 7, 3, 90}, {31, 23, 13, 13, 0}};
  for (const auto& k : cases) {
    ERectangleShape rect(k[0], k[1], k[2], k[3], k[4]);
    rect.SetupMask(&roi);
    ASSERT_EQ(EGetError(), E_OK);
    PixelSet got = RunPixels(roi);
    // Independent corners, floored, in the order round the rectangle.
    double a = k[4] * 3.14159265358979 / 180.0, hx = k[2] / 2.0, hy = k[3] / 2.0;
    const double u[4] = {-1, 1, 1, -1}, v[4] = {-1, -1, 1, 1};
    double px[4], py[4];
    for (int i = 0; i < 4; ++i) {
      px[i] = std::floor(k[0] + u[i] * hx * std::cos(a) - v[i] * hy * std::sin(a));
      py[i] = std::floor(k[1] + u[i] * hx * std::sin(a) + v[i] * hy * std::cos(a));
    }
    PixelSet expected;
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x) {
        bool pos = true, neg = true;
        for (int i = 0; i < 4; ++i) {
          int j = (i + 1) % 4;
          double cross = (px[j] - px[i]) * (y - py[i]) - (py[j] - py[i]) * (x - px[i]);
          if (cross < 0) pos = false;
          if (cross > 0) neg = false;
        }
        if (pos || neg) expected.insert(std::make_pair(x, y));
      }
    EXPECT_EQ(got, expected) << "rectangle " << k[0] << "," << k[1] << " angle " << k[4];
  }
}

// The rectangle's corners are in its mother's coordinates: under a turned, scaled frame shape in
// a scaled world the mask is the polygon of the floored sensor corners, computed here by hand.
TEST(ShapeMasks, RectangleUnderATurnedMotherInAScaledWorld) {
  Settings settings;
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
  EImage<EBW8> image(90, 70);
  EROI<EBW8> roi;
  roi.Attach(&image);
  roi.SetPlacement(0, 0, 90, 70);
  EWorldShape world(0, 0, 0, 1, 10, 10);
  world.SetCalibrationModes(E_CALIBRATION_SCALED | E_CALIBRATION_INVERSE);
  world.SetCenter(4, 6);
  world.SetScale(2);  // sensor = (4, 6) + 2 world
  EFrameShape mother(10, 12, 20, 1.5f, 1, 1);
  mother.Attach(&world);
  ERectangleShape rect(3, -2, 12, 6, 35);
  rect.Attach(&mother);
  rect.SetupMask(&roi);
  ASSERT_EQ(EGetError(), E_OK);
  const double deg = 3.14159265358979 / 180.0;
  const double u[4] = {-1, 1, 1, -1}, v[4] = {-1, -1, 1, 1};
  double px[4], py[4];
  for (int i = 0; i < 4; ++i) {
    // Corner in the mother's coordinates, then through the mother's frame, then the world.
    double mx = 3 + u[i] * 6 * std::cos(35 * deg) - v[i] * 3 * std::sin(35 * deg);
    double my = -2 + u[i] * 6 * std::sin(35 * deg) + v[i] * 3 * std::cos(35 * deg);
    double wx = 10 + 1.5 * (mx * std::cos(20 * deg) - my * std::sin(20 * deg));
    double wy = 12 + 1.5 * (mx * std::sin(20 * deg) + my * std::cos(20 * deg));
    px[i] = std::floor(4 + 2 * wx);
    py[i] = std::floor(6 + 2 * wy);
  }
  PixelSet expected;
  for (int y = 0; y < 70; ++y)
    for (int x = 0; x < 90; ++x) {
      bool pos = true, neg = true;
      for (int i = 0; i < 4; ++i) {
        int j = (i + 1) % 4;
        double cross = (px[j] - px[i]) * (y - py[i]) - (py[j] - py[i]) * (x - px[i]);
        if (cross < 0) pos = false;
        if (cross > 0) neg = false;
      }
      if (pos || neg) expected.insert(std::make_pair(x, y));
    }
  EXPECT_GT(expected.size(), 300u);
  EXPECT_EQ(RunPixels(roi), expected);
  // The wedge's disc through the same chain: radius 5 in the mother, 15 sensor pixels.
  EWedgeShape wedge(EPoint(3, -2), 10, -2, 0, 90.0f);  // outer radius 5, inner 3
  wedge.Attach(&mother);
  wedge.SetupMask(&roi);
  ASSERT_EQ(EGetError(), E_OK);
  double cx = 4 + 2 * (10 + 1.5 * (3 * std::cos(20 * deg) + 2 * std::sin(20 * deg)));
  double cy = 6 + 2 * (12 + 1.5 * (3 * std::sin(20 * deg) - 2 * std::cos(20 * deg)));
  PixelSet disc;
  for (int y = 0; y < 70; ++y)
    for (int x = 0; x < 90; ++x) {
      double d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
      if (std::fabs(d2 - 225.0) < 0.05) continue;  // too close to the outline to call
      if (d2 < 225.0) disc.insert(std::make_pair(x, y));
    }
  PixelSet got = RunPixels(roi);
  for (const auto& px2 : disc) EXPECT_TRUE(got.count(px2)) << px2.first << "," << px2.second;
  EXPECT_LE(got.size(), disc.size() + 4);
}

TEST(ShapeMasks, AxisAlignedClippedAndBadInput) {
  EImage<EC24> image(16, 7);
  EROI<EC24> roi;
  roi.Attach(&image);
  roi.SetPlacement(0, 0, 16, 7);
  // Pixels 10 to 19 in x, rows 5 to 8: clipped to the region's 16 columns and 7 rows.
  ERectangleShape rect(EPoint(10, 5), EPoint(19.5f, 8.5f));
  rect.SetupMask(&roi);
  ERunVector& runs = roi.GetRuns();
  ASSERT_EQ(runs.GetNumElements(), 2u);
  EXPECT_EQ(runs[0].x, 10);
  EXPECT_EQ(runs[0].y, 5);
  EXPECT_EQ(static_cast<EC24*>(runs[0].end) - static_cast<EC24*>(runs[0].start), 6);
  EXPECT_EQ(runs[1].y, 6);
  // Entirely outside: no runs.
  ERectangleShape away(EPoint(100, 100), EPoint(110, 110));
  away.SetupMask(&roi);
  EXPECT_EQ(runs.GetNumElements(), 0u);
  EXPECT_EQ(EGetError(), E_OK);
  // NaN geometry: an error and no runs; a NULL region: an error.
  ERectangleShape bad(std::nanf(""), 0, 10, 10, 0);
  bad.SetupMask(&roi);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_STREQ(EGetErrorTrace(), "ERectangleShape::SetupMask ( C24)\n");
  EXPECT_EQ(runs.GetNumElements(), 0u);
  rect.SetupMask(static_cast<EROI<EBW8>*>(nullptr));
  EXPECT_STREQ(EGetErrorTrace(), "ERectangleShape::SetupMask ( BW8)\n");
  // A void region: nothing to mark, no error.
  EROI<EBW8> empty;
  rect.SetupMask(&empty);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(empty.GetRuns().GetNumElements(), 0u);
  // A huge rectangle is clipped, not overflowed.
  ERectangleShape huge(0, 0, 1e12f, 1e12f, 33);
  huge.SetupMask(&roi);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(RunPixels(roi).size(), 16u * 7u);
  EOk();
}

TEST(ShapeMasks, WedgeDiscMatchesBruteForce) {
  EImage<EBW8> image(80, 60);
  EROI<EBW8> roi;
  roi.Attach(&image);
  roi.SetPlacement(0, 0, 80, 60);
  EWedgeShape wedge(37.3f, 22.6f, 30, -5, 0, 1);  // outer radius 15, inner 10
  wedge.SetupMask(&roi);
  ASSERT_EQ(EGetError(), E_OK);
  PixelSet expected;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 80; ++x) {
      double dx = x - 37.3, dy = y - 22.6;
      if (dx * dx + dy * dy <= 15.0 * 15.0) expected.insert(std::make_pair(x, y));
    }
  EXPECT_EQ(RunPixels(roi), expected);
  // Through a scaled world: the disc grows with the scale in sensor pixels.
  EWorldShape world(0, 0, 0, 1, 10, 10);
  world.SetCalibrationModes(E_CALIBRATION_SCALED | E_CALIBRATION_INVERSE);
  world.SetCenter(4, 6);
  world.SetScale(2);
  EWedgeShape small(EPoint(10, 8), 16, 0, 0, 90.0f);  // outer radius 8
  small.Attach(&world);
  small.SetupMask(&roi);
  ASSERT_EQ(EGetError(), E_OK);
  expected.clear();
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 80; ++x) {
      double wx = (x - 4) / 2.0 - 10, wy = (y - 6) / 2.0 - 8;
      if (wx * wx + wy * wy <= 64.0) expected.insert(std::make_pair(x, y));
    }
  EXPECT_EQ(RunPixels(roi), expected);
  EXPECT_GT(expected.size(), 700u);
  EWedgeShape bad(std::nanf(""), 0, 10, 0, 0, 1);
  bad.SetupMask(&roi);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_STREQ(EGetErrorTrace(), "EWedgeShape::SetupMask ( BW8)\n");
  EOk();
  // A disc far away on either side (finite, beyond every whole number) covers nothing.
  for (float far : {-3e38f, 3e38f}) {
    EWedgeShape distant(EPoint(far, far), 16, 0, 0, 90.0f);
    distant.SetupMask(&roi);
    EXPECT_EQ(EGetError(), E_OK) << far;
    EXPECT_EQ(roi.GetRuns().GetNumElements(), 0u) << far;
  }
}

// Under a turned and scaled mother: a plain daughter keeps its absolute orientation and size, a
// rotatable one keeps its own angle on a line and takes its position's angle on a circle, a
// resizable one keeps its own scale.
TEST(ShapeArrangement, RotatableAndResizableDaughters) {
  Settings settings;
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
  ELineShape line(10, 20, 100, 30);
  line.SetScale(2);
  line.SetAutoArrange(1, 0);
  EPointShape plain, turning, growing;
  turning.SetRotatable(1, 0);
  growing.SetResizable(1, 0);
  for (EPointShape* p : {&plain, &turning, &growing}) {
    p->Set(EPoint(7, 7), 10, 3);
    p->Attach(&line);
  }
  line.ValidateFrame();
  float angle, scale;
  AbsoluteAxis(plain, angle, scale);
  EXPECT_NEAR(angle, 0, 1e-3);
  EXPECT_NEAR(scale, 1, 1e-5);
  EXPECT_NEAR(turning.GetAngle(), 10, 1e-4);
  EXPECT_NEAR(turning.GetScale(), 0.5f, 1e-6);
  EXPECT_NEAR(growing.GetAngle(), -30, 1e-4);
  EXPECT_NEAR(growing.GetScale(), 3, 1e-6);
  EXPECT_FLOAT_EQ(growing.GetX(), 50);
  // The line's three slots in world coordinates: its origin, centre and end.
  EPoint org = plain.LocalToWorld(EPoint(0, 0)), end = growing.LocalToWorld(EPoint(0, 0));
  double c = std::cos(30 * 3.14159265358979 / 180), s = std::sin(30 * 3.14159265358979 / 180);
  EXPECT_NEAR(org.GetX(), 10 - 100 * c, 1e-3);
  EXPECT_NEAR(org.GetY(), 20 - 100 * s, 1e-3);
  EXPECT_NEAR(end.GetX(), 10 + 100 * c, 1e-3);
  EXPECT_NEAR(end.GetY(), 20 + 100 * s, 1e-3);

  ECircleShape circle(0, 0, 20, 45, 1);
  circle.SetAutoArrange(1, 0);
  EPointShape a, b;
  a.SetRotatable(1, 0);
  b.SetRotatable(1, 0);
  b.SetResizable(1, 0);
  b.SetScale(4);
  a.Attach(&circle);
  b.Attach(&circle);
  circle.ValidateFrame();
  EXPECT_NEAR(a.GetAngle(), 0, 1e-4);
  EXPECT_NEAR(b.GetAngle(), 180, 1e-3);
  EXPECT_NEAR(b.GetScale(), 4, 1e-6);
  AbsoluteAxis(b, angle, scale);
  EXPECT_NEAR(std::remainder(angle - 225, 360.0), 0, 1e-3);
  EPoint at = b.LocalToWorld(EPoint(0, 0));
  EXPECT_NEAR(at.GetX(), 10 * std::cos(225 * 3.14159265358979 / 180), 1e-4);
  EXPECT_NEAR(at.GetY(), 10 * std::sin(225 * 3.14159265358979 / 180), 1e-4);
}
