// Pointer interaction of the gauges: their extra handles in test order, precedence over the
// daughters, and what dragging a segment end or a tolerance handle does.
#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

#include "vimo/vimo.h"

namespace {

struct Handle {
  INS_HANDLES id;
  EPoint at;  // in the gauge's mother's coordinates
};

void Display(EShape& shape, EPoint p, int& x, int& y) {
  shape.GetMother()->LocalToDisplay(p, x, y);
}

INS_HANDLES HandleAt(EWorldShape& root, EShape& shape, EPoint p) {
  int x, y;
  Display(shape, p, x, y);
  root.SetCursor(x, y);
  if (!root.HitTest(1)) return INS_HANDLE_NONE;
  EXPECT_EQ(root.GetHitShape(), &shape);
  return root.GetHitHandle();
}

void Drag(EWorldShape& root, EShape& shape, EPoint from, EPoint to) {
  ASSERT_NE(HandleAt(root, shape, from), INS_HANDLE_NONE);
  int x, y;
  Display(shape, to, x, y);
  shape.Drag(x, y);
}

void Editable(EShape& s) {
  s.SetDragable(1, 0);
  s.SetResizable(1, 0);
  s.SetRotatable(1, 0);
}

TEST(GaugeHandles, TablesInTestOrder) {
  E_ANGLE_UNITS unit = EGetAngleUnit();
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
  EWorldShape root;
  EPointGauge point(100, 50);
  ELineGauge line;
  line.Set(EPoint(100, 150), 100, 0);
  ECircleGauge circle;
  circle.Set(EPoint(300, 100), 100, 0, 1);
  ERectangleGauge rectangle;
  rectangle.Set(ERectangle(EPoint(300, 300), 100, 60, 0));
  EWedgeGauge sector;
  sector.Set(EWedge(EPoint(100, 400), 40, 20, 0, 90.0f));  // radii 20 to 40 over 90 degrees
  const float h = std::sqrt(0.5f);
  struct Case {
    EShape* gauge;
    std::vector<Handle> handles;
  } cases[] = {
      {&point,
       {{INS_HANDLE_ORG, {90, 50}}, {INS_HANDLE_END, {110, 50}}, {INS_HANDLE_CENTER, {100, 50}}}},
      {&line, {{INS_HANDLE_SAMPLING_SIDE_0, {100, 140}}, {INS_HANDLE_SAMPLING_SIDE_1, {100, 160}}}},
      {&circle,
       {{INS_HANDLE_SAMPLING_SIDE_0, {260, 100}}, {INS_HANDLE_SAMPLING_SIDE_1, {240, 100}}}},
      {&rectangle,
       {{INS_HANDLE_TOLERANCE_0, {240, 300}},
        {INS_HANDLE_TOLERANCE_1, {260, 300}},
        {INS_HANDLE_TOLERANCE_2, {300, 260}},
        {INS_HANDLE_TOLERANCE_3, {300, 280}},
        {INS_HANDLE_TOLERANCE_4, {360, 300}},
        {INS_HANDLE_TOLERANCE_5, {340, 300}},
        {INS_HANDLE_TOLERANCE_6, {300, 340}},
        {INS_HANDLE_TOLERANCE_7, {300, 320}}}},
      // a at the origin side, A at the end side, then the inner and outer arcs at the apex.
      {&sector,
       {{INS_HANDLE_TOLERANCE_0, {130, 390}},
        {INS_HANDLE_TOLERANCE_1, {130, 410}},
        {INS_HANDLE_TOLERANCE_2, {110, 430}},
        {INS_HANDLE_TOLERANCE_3, {90, 430}},
        {INS_HANDLE_TOLERANCE_4, {100 + 10 * h, 400 + 10 * h}},
        {INS_HANDLE_TOLERANCE_7, {100 + 50 * h, 400 + 50 * h}}}},
  };
  for (Case& c : cases) {
    c.gauge->Attach(&root);
    Editable(*c.gauge);
    for (const Handle& h : c.handles)
      EXPECT_EQ(HandleAt(root, *c.gauge, h.at), h.id) << c.gauge->GetType() << " " << h.id;
    // Not dragable: no handle of its own.
    c.gauge->SetDragable(0, 0);
    EXPECT_EQ(HandleAt(root, *c.gauge, c.handles.front().at), INS_HANDLE_NONE);
    c.gauge->Detach();
  }
  // Rectangle: inactive edges offer no handle. Wedge: a full ring has no side handles.
  rectangle.Attach(&root);
  Editable(rectangle);
  rectangle.SetActiveEdges(0x200 | 0x400 | 0x800);  // edge x off
  EXPECT_EQ(HandleAt(root, rectangle, EPoint(240, 300)), INS_HANDLE_NONE);
  EXPECT_EQ(HandleAt(root, rectangle, EPoint(300, 260)), INS_HANDLE_TOLERANCE_2);
  ESetAngleUnit(unit);
}

TEST(GaugeHandles, DragsSetSegmentsAndTolerances) {
  E_ANGLE_UNITS unit = EGetAngleUnit();
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
  EWorldShape root;

  // Point gauge: the end turns and stretches the segment about its centre; with a fixed point
  // the other end stays and the gauge's centre follows the segment's.
  EPointGauge point(100, 50);
  point.Attach(&root);
  Editable(point);
  Drag(root, point, EPoint(110, 50), EPoint(100, 80));
  EXPECT_NEAR(point.GetTolerance(), 30, 1e-3f);
  EXPECT_NEAR(point.GetCenter().GetX(), 100, 1e-3f);
  point.SetDraggingMode(INS_DRAG_FROM_FIXED_POINT, 0);
  point.SetTolerance(10, 0);
  Drag(root, point, EPoint(110, 50), EPoint(130, 50));
  EXPECT_NEAR(point.GetTolerance(), 20, 1e-3f);
  EXPECT_NEAR(point.GetCenter().GetX(), 110, 1e-3f);

  // Line gauge: twice the distance from the nominal line.
  ELineGauge line;
  line.Set(EPoint(100, 150), 100, 0);
  line.Attach(&root);
  Editable(line);
  Drag(root, line, EPoint(100, 160), EPoint(130, 175));
  EXPECT_NEAR(line.GetTolerance(), 25, 1e-3f);

  // Circle gauge: the distance from the circle, at most the radius; after a shape drag the
  // profiles are no longer than the diameter.
  ECircleGauge circle;
  circle.Set(EPoint(300, 100), 100, 0, 1);
  circle.Attach(&root);
  Editable(circle);
  Drag(root, circle, EPoint(240, 100), EPoint(220, 100));
  EXPECT_NEAR(circle.GetTolerance(), 30, 1e-3f);
  Drag(root, circle, EPoint(280, 100), EPoint(300, 100));
  EXPECT_NEAR(circle.GetTolerance(), 50, 1e-3f);
  Drag(root, circle, EPoint(350, 100), EPoint(320, 100));  // the origin handle: radius 20
  EXPECT_NEAR(circle.GetRadius(), 20, 1e-3f);
  EXPECT_NEAR(circle.GetTolerance(), 20, 1e-3f);

  // Rectangle gauge: one tolerance for every active edge, each within its half size across.
  ERectangleGauge rectangle;
  rectangle.Set(ERectangle(EPoint(300, 300), 100, 60, 0));
  rectangle.Attach(&root);
  Editable(rectangle);
  Drag(root, rectangle, EPoint(240, 300), EPoint(210, 320));
  EXPECT_NEAR(rectangle.GetTransitionx().GetTolerance(), 40, 1e-3f);
  EXPECT_NEAR(rectangle.GetTransitionX().GetTolerance(), 40, 1e-3f);
  EXPECT_NEAR(rectangle.GetTransitiony().GetTolerance(), 30, 1e-3f);  // half of 60

  // Wedge gauge: a common tolerance on the active edges that exist, within the ring's limit.
  EWedgeGauge sector;
  sector.Set(EWedge(EPoint(100, 400), 40, 20, 0, 90.0f));
  sector.Attach(&root);
  Editable(sector);
  Drag(root, sector, EPoint(100 + 50 * std::sqrt(0.5f), 400 + 50 * std::sqrt(0.5f)),
       EPoint(100 + 46 * std::sqrt(0.5f), 400 + 46 * std::sqrt(0.5f)));
  for (ETransition* t : {&sector.GetTransitiona(), &sector.GetTransitionr(),
                         &sector.GetTransitionA(), &sector.GetTransitionR()})
    EXPECT_NEAR(t->GetTolerance(), 6, 0.75f);  // the pointer lands on a whole pixel
  Drag(root, sector, EPoint(100 + 46 * std::sqrt(0.5f), 400 + 46 * std::sqrt(0.5f)),
       EPoint(100 + 70 * std::sqrt(0.5f), 400 + 70 * std::sqrt(0.5f)));
  EXPECT_NEAR(sector.GetTransitionR().GetTolerance(), 10, 1e-3f);  // half the breadth
  ESetAngleUnit(unit);
}

// The tolerance segment of a point gauge, for checking its two ends.
struct SegmentProbe : EPointGauge {
  SegmentProbe() : EPointGauge(100, 50) {}
  ELine Segment() const { return m_ToleranceSegment; }
};

float Gap(EPoint a, EPoint b) { return (a - b).Modulus(); }

// Dragging the end (110, 50) of a point gauge from a fixed point: the other end stays, and the
// flags decide what the dragged one may do; a segment that would turn over or vanish stays.
TEST(GaugeHandles, PointGaugeFixedPointDragKeepsItsFlags) {
  E_ANGLE_UNITS unit = EGetAngleUnit();
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
  EWorldShape root;
  const float k = 20 / std::sqrt(1000.0f);  // the length 20 towards (120, 60) from (90, 50)
  struct Case {
    int rotatable, resizable;
    EPoint pointer, end;
  } cases[] = {
      {1, 1, {120, 60}, {120, 60}},                   // both: onto the pointer
      {1, 0, {120, 60}, {90 + 30 * k, 50 + 10 * k}},  // direction only
      {0, 1, {120, 60}, {120, 50}},                   // length only
      {0, 0, {120, 60}, {110, 50}},                   // neither: nothing to change
      {0, 1, {80, 55}, {110, 50}},                    // past the fixed end: it would turn over
      {0, 1, {90, 70}, {110, 50}},                    // onto the fixed end: no length
  };
  for (const Case& c : cases) {
    SegmentProbe gauge;
    gauge.Attach(&root);
    gauge.SetDragable(1, 0);
    gauge.SetRotatable(c.rotatable, 0);
    gauge.SetResizable(c.resizable, 0);
    gauge.SetDraggingMode(INS_DRAG_FROM_FIXED_POINT, 0);
    Drag(root, gauge, EPoint(110, 50), c.pointer);
    EXPECT_LT(Gap(gauge.Segment().GetOrg(), EPoint(90, 50)), 1e-3f) << c.rotatable << c.resizable;
    EXPECT_LT(Gap(gauge.Segment().GetEnd(), c.end), 1e-3f) << c.rotatable << c.resizable;
    EXPECT_LT(Gap(gauge.GetCenter(), gauge.Segment().GetCenter()), 1e-3f);
  }
  ESetAngleUnit(unit);
}

// With zoom 1e-37 every handle shows at pixel (0, 0) and the pointer (70, 70) maps beyond the
// float range: no drag takes it.
TEST(GaugeHandles, PointerWithoutFinitePositionChangesNothing) {
  E_ANGLE_UNITS unit = EGetAngleUnit();
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
  EWorldShape root;
  root.SetZoom(1e-37f, 1e-37f);
  for (int rotatable : {0, 1}) {
    SegmentProbe gauge;
    gauge.Attach(&root);
    gauge.SetDragable(1, 0);
    gauge.SetRotatable(rotatable, 0);
    root.SetCursor(0, 0);
    ASSERT_EQ(root.HitTest(1), 1);
    EXPECT_EQ(root.GetHitHandle(), rotatable ? INS_HANDLE_ORG : INS_HANDLE_CENTER);
    gauge.Drag(70, 70);
    EXPECT_EQ(gauge.GetCenter().GetX(), 100);
    EXPECT_EQ(gauge.GetCenter().GetY(), 50);
    EXPECT_LT(Gap(gauge.Segment().GetEnd(), EPoint(110, 50)), 1e-4f) << rotatable;
  }
  ESetAngleUnit(unit);
}

// A tolerance handle dragged onto the nominal outline would leave profiles of no length.
TEST(GaugeHandles, ToleranceDraggedToNothingStays) {
  E_ANGLE_UNITS unit = EGetAngleUnit();
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
  EWorldShape root;
  ELineGauge line;
  line.Set(EPoint(100, 150), 100, 0);
  ECircleGauge circle;
  circle.Set(EPoint(300, 100), 100, 0, 1);
  ERectangleGauge rectangle;
  rectangle.Set(ERectangle(EPoint(300, 300), 100, 60, 0));
  struct Case {
    EShape* gauge;
    ETransition* transition;
    EPoint handle, onOutline;
  } cases[] = {{&line, &line, {100, 160}, {100, 150}},
               {&circle, &circle, {240, 100}, {250, 100}},
               {&rectangle, &rectangle.GetTransitionx(), {240, 300}, {250, 310}}};
  for (Case& c : cases) {
    c.gauge->Attach(&root);
    Editable(*c.gauge);
    Drag(root, *c.gauge, c.handle, c.onOutline);
    EXPECT_NEAR(c.transition->GetTolerance(), 10, 1e-4f) << c.gauge->GetType();
  }
  ESetAngleUnit(unit);
}

// With the horizontal/vertical adjustment on, the end handles sit at the ends of the segment as
// it is sampled: (100, 50) +- 10 along 30 degrees becomes (90, 50) to (110, 50) in pixels.
TEST(GaugeHandles, PointGaugeEndHandlesFollowTheAdjustedSegment) {
  E_ANGLE_UNITS unit = EGetAngleUnit();
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
  EWorldShape root;
  EPointGauge gauge(100, 50);
  gauge.Attach(&root);
  gauge.SetTolerance(10, 30);
  Editable(gauge);
  const EPoint org(100 - 10 * std::cos(0.5235988f), 50 - 10 * std::sin(0.5235988f));
  struct Case {
    int hv;
    EPoint at;
    INS_HANDLES handle;
  } cases[] = {{0, org, INS_HANDLE_ORG},
               {0, {90, 50}, INS_HANDLE_NONE},
               {1, {90, 50}, INS_HANDLE_ORG},
               {1, {110, 50}, INS_HANDLE_END},
               {1, org, INS_HANDLE_NONE}};
  for (const Case& c : cases) {
    gauge.SetHVConstraint(c.hv);
    EXPECT_EQ(HandleAt(root, gauge, c.at), c.handle) << c.hv << " " << c.at.GetX();
  }
  ESetAngleUnit(unit);
}

}  // namespace
