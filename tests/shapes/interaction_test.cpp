// Pointer interaction and the text dump: the hit square, handle tables and their precedence,
// drag rules through pan and zoom, the closest-shape search and the dump's exact text.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "shape_test_support.h"
#include "vimo/vimo.h"

namespace {

using shape_test::Settings;

struct Display {
  int x, y;
};

// Display position of a point of shape's mother coordinates, or of its own (frame shapes).
Display MotherDisplay(EShape& shape, EPoint p) {
  Display d{0, 0};
  shape.GetMother()->LocalToDisplay(p, d.x, d.y);
  return d;
}

INS_HANDLES HandleAt(EShape& root, Display d) {
  root.SetCursor(d.x, d.y);
  return root.HitTest(1) ? root.GetHitHandle() : INS_HANDLE_NONE;
}

void Editable(EShape& s, INS_DRAGGING_MODES mode) {
  s.SetDragable(1, 0);
  s.SetRotatable(1, 0);
  s.SetResizable(1, 0);
  s.SetDraggingMode(mode, 0);
}

TEST(Interaction, HitSquareAndPrecedence) {
  Settings settings;
  EWorldShape root;
  EPointShape point(100, 50);
  point.Attach(&root);
  point.SetDragable(1, 0);
  Display at = MotherDisplay(point, EPoint(100, 50));
  for (int dx = -6; dx <= 6; ++dx) {
    for (int dy : {-5, -4, 0, 4, 5}) {
      root.SetCursor(at.x + dx, at.y + dy);
      bool inside = std::abs(dx) <= 4 && std::abs(dy) <= 4;
      EXPECT_EQ(root.HitTest(1), inside ? 1 : 0) << dx << "," << dy;
      EXPECT_EQ(root.GetHitShape(), inside ? &point : nullptr);
    }
  }
  root.SetCursor(at.x, at.y);
  EXPECT_EQ(root.HitTest(0), 0);  // the world shape itself is never hit

  // A non-dragable mother offers nothing but its daughters are searched; a dragable mother
  // takes precedence over a daughter's handle at the same place.
  EFrameShape mother(100, 50, 0, 1, 20, 20);
  mother.Attach(&root);
  EPointShape daughter(0, 0);
  daughter.Attach(&mother);
  daughter.SetDragable(1, 0);
  point.SetDragable(0, 0);
  EXPECT_EQ(HandleAt(root, at), INS_HANDLE_CENTER);
  EXPECT_EQ(root.GetHitShape(), &daughter);
  mother.SetDragable(1, 0);
  EXPECT_EQ(HandleAt(root, at), INS_HANDLE_CENTER);
  EXPECT_EQ(root.GetHitShape(), &mother);
  mother.SetSelectable(0, 0);
  mother.EnableBehaviorFilter(INS_SHAPE_BEHAVIOR_SELECTABLE, 1);  // filtered out: daughter
  EXPECT_EQ(HandleAt(root, at), INS_HANDLE_CENTER);
  EXPECT_EQ(root.GetHitShape(), &daughter);
  mother.DisableBehaviorFilter(INS_SHAPE_BEHAVIOR_SELECTABLE);
}

// Each case lists its handles in test order, at independently computed mother points.
TEST(Interaction, HandleTablesPerClass) {
  Settings settings;
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
  EWorldShape root;
  root.SetZoom(2, 2);
  root.SetPan(10, 5);
  const float c3 = 30 * std::cos(2.0943951f), s3 = 30 * std::sin(2.0943951f);

  ELineShape fixedLine(50, 50, 40, 0);
  fixedLine.Attach(&root);
  fixedLine.SetDragable(1, 0);  // neither rotatable nor resizable: the centre only
  EXPECT_EQ(HandleAt(root, MotherDisplay(fixedLine, EPoint(30, 50))), INS_HANDLE_NONE);
  EXPECT_EQ(HandleAt(root, MotherDisplay(fixedLine, EPoint(50, 50))), INS_HANDLE_CENTER);
  fixedLine.Detach();

  ELineShape line(50, 50, 40, 0);
  ECircleShape circle(100, 100, 60, 0, 1);
  ECircleShape arc(EPoint(100, 100), 60, 0, 90);
  ERectangleShape rectangle(100, 100, 60, 40, 0);
  EWedgeShape wedge(EPoint(100, 100), 60, 20, 0, 90);
  EFrameShape frame(100, 100, 90, 1, 30, 20);
  struct Case {
    EShape* shape;
    INS_DRAGGING_MODES mode;
    std::vector<std::pair<INS_HANDLES, EPoint>> handles;
  } cases[] = {
      {&line,
       INS_DRAG_ABOUT_CENTER,
       {{INS_HANDLE_CENTER, {50, 50}}, {INS_HANDLE_ORG, {30, 50}}, {INS_HANDLE_END, {70, 50}}}},
      {&circle,
       INS_DRAG_FROM_FIXED_POINT,
       {{INS_HANDLE_CENTER, {100, 100}},
        {INS_HANDLE_ORG, {130, 100}},
        {INS_HANDLE_MIDDLE, {100 + c3, 100 + s3}},
        {INS_HANDLE_END, {100 + c3, 100 - s3}}}},
      {&arc, INS_DRAG_ABOUT_CENTER, {{INS_HANDLE_ORG, {130, 100}}, {INS_HANDLE_END, {100, 130}}}},
      {&rectangle,
       INS_DRAG_ABOUT_CENTER,
       {{INS_HANDLE_EDGE_X_MIN, {70, 100}},
        {INS_HANDLE_EDGE_X_MAX, {130, 100}},
        {INS_HANDLE_EDGE_Y_MIN, {100, 80}},
        {INS_HANDLE_EDGE_Y_MAX, {100, 120}}}},
      {&rectangle,
       INS_DRAG_FROM_FIXED_POINT,
       {{INS_HANDLE_CORNER_0, {70, 80}},
        {INS_HANDLE_CORNER_1, {130, 80}},
        {INS_HANDLE_CORNER_2, {70, 120}},
        {INS_HANDLE_CORNER_3, {130, 120}}}},
      {&wedge,
       INS_DRAG_ABOUT_CENTER,
       {{INS_HANDLE_ORG, {150, 100}},
        {INS_HANDLE_CO_ORG, {130, 100}},
        {INS_HANDLE_END, {100, 150}},
        {INS_HANDLE_CO_END, {100, 130}}}},
  };
  circle.SetDraggingMode(INS_DRAG_FROM_FIXED_POINT, 0);
  circle.Set(EPoint(100, 100), 60, 0, 1);  // handle angles of the fixed-point mode
  for (Case& c : cases) {
    c.shape->Attach(&root);
    Editable(*c.shape, c.mode);
    for (auto& h : c.handles)
      EXPECT_EQ(HandleAt(root, MotherDisplay(*c.shape, h.second)), h.first)
          << c.shape->GetType() << " handle " << h.first;
    c.shape->Detach();
  }
  // The frame shape's handles are points of its own coordinates.
  frame.Attach(&root);
  Editable(frame, INS_DRAG_ABOUT_CENTER);
  Display d;
  frame.LocalToDisplay(EPoint(30, 0), d.x, d.y);
  EXPECT_EQ(HandleAt(root, d), INS_HANDLE_X_AXIS_END);
  frame.LocalToDisplay(EPoint(0, 20), d.x, d.y);
  EXPECT_EQ(HandleAt(root, d), INS_HANDLE_Y_AXIS_END);
  EXPECT_EQ(HandleAt(root, MotherDisplay(frame, EPoint(100, 100))), INS_HANDLE_CENTER);
}

float Dist(EPoint a, EPoint b) { return std::hypot(a.GetX() - b.GetX(), a.GetY() - b.GetY()); }

// Drags one handle of a shape to display position `to`; returns the pointer in the mother's
// coordinates.
EPoint DragTo(EWorldShape& root, EShape& s, EPoint handle, Display to) {
  EXPECT_NE(HandleAt(root, MotherDisplay(s, handle)), INS_HANDLE_NONE);
  EXPECT_EQ(root.GetHitShape(), &s);
  s.Drag(to.x, to.y);
  return s.GetMother()->DisplayToLocal(to.x, to.y);
}

TEST(Interaction, DragRulesThroughPanAndZoom) {
  Settings settings;
  ESetAngleUnit(E_ANGLE_UNIT_RADIANS);
  EWorldShape root;
  root.SetZoom(2, 2);
  root.SetPan(10, 10);

  // Line, fixed end: the origin stays, the end follows the pointer.
  ELineShape line(50, 50, 40, 0);
  line.Attach(&root);
  Editable(line, INS_DRAG_FROM_FIXED_POINT);
  EPoint org = line.GetOrg();
  EPoint p = DragTo(root, line, line.GetEnd(), {180, 200});
  EXPECT_LT(Dist(line.GetOrg(), org), 1e-3f);
  EXPECT_LT(Dist(line.GetEnd(), p), 1e-3f);
  // About the centre: the line turns and stretches about its unchanged centre.
  line.SetDraggingMode(INS_DRAG_ABOUT_CENTER, 0);
  EPoint c = line.GetCenter();
  p = DragTo(root, line, line.GetEnd(), {100, 260});
  EXPECT_LT(Dist(line.GetCenter(), c), 1e-4f);
  EXPECT_NEAR(line.GetLength(), 2 * Dist(c, p), 1e-3f);
  EXPECT_NEAR(line.GetAngle(), std::atan2(p.GetY() - c.GetY(), p.GetX() - c.GetX()), 1e-5f);

  // Rectangle, fixed corner: dragging the second corner keeps the first one's display place.
  ERectangleShape rect(100, 100, 60, 40, 0);
  rect.Attach(&root);
  Editable(rect, INS_DRAG_FROM_FIXED_POINT);
  EPoint a, b, cc, dd;
  rect.GetCorners(a, b, cc, dd);
  Display anchor = MotherDisplay(rect, a);
  p = DragTo(root, rect, b, {320, 300});
  EPoint a2, b2;
  rect.GetCorners(a2, b2, cc, dd);
  Display anchor2 = MotherDisplay(rect, a2);
  EXPECT_EQ(anchor.x, anchor2.x);
  EXPECT_EQ(anchor.y, anchor2.y);
  EXPECT_NEAR(rect.GetSizeX(), Dist(a, p), 1e-3f);
  EXPECT_NEAR(rect.GetSizeY(), 40, 1e-4f);
  // Edge handle about the centre: half width and turn.
  rect.SetDraggingMode(INS_DRAG_ABOUT_CENTER, 0);
  EPoint m0, m1, m2, m3;
  rect.GetMidEdges(m0, m1, m2, m3);
  c = rect.GetCenter();
  p = DragTo(root, rect, m1, {260, 330});
  EXPECT_NEAR(rect.GetSizeX(), 2 * Dist(c, p), 1e-3f);
  EXPECT_NEAR(rect.GetAngle(), std::atan2(p.GetY() - c.GetY(), p.GetX() - c.GetX()), 1e-5f);

  // Arc end about the centre: the amplitude follows the pointer's direction.
  ECircleShape arc(EPoint(100, 100), 60, 0, 1.0f);
  arc.Attach(&root);
  Editable(arc, INS_DRAG_ABOUT_CENTER);
  arc.SetResizable(0, 0);
  p = DragTo(root, arc, arc.GetEnd(), MotherDisplay(arc, EPoint(100 - 30, 100)));
  EXPECT_NEAR(arc.GetAmplitude(), 3.14159265f, 2e-2f);
  EXPECT_NEAR(arc.GetRadius(), 30, 1e-5f);  // not resizable

  // Frame axis end: direction and scale.
  EFrameShape frame(300, 300, 0, 1, 30, 20);
  frame.Attach(&root);
  Editable(frame, INS_DRAG_ABOUT_CENTER);
  Display axis;
  frame.LocalToDisplay(EPoint(30, 0), axis.x, axis.y);
  EXPECT_EQ(HandleAt(root, axis), INS_HANDLE_X_AXIS_END);
  frame.Drag(axis.x, axis.y + 120);
  p = root.DisplayToLocal(axis.x, axis.y + 120);
  EXPECT_NEAR(frame.GetScale(), Dist(EPoint(300, 300), p) / 30, 1e-4f);

  // The centre follows the pointer to the same display pixel; a non-dragable shape stays.
  EPointShape point(40, 40);
  point.Attach(&root);
  point.SetDragable(1, 0);
  DragTo(root, point, EPoint(40, 40), {300, 310});
  Display now = MotherDisplay(point, point.GetCenter());
  EXPECT_EQ(now.x, 300);
  EXPECT_EQ(now.y, 310);
  point.SetDragable(0, 0);
  point.Drag(10, 10);
  EXPECT_EQ(MotherDisplay(point, point.GetCenter()).x, 300);
}

TEST(Interaction, ClosestShapeByOutlineDistance) {
  Settings settings;
  EWorldShape root;
  ELineShape line(50, 50, 40, 0);
  ERectangleShape rect(100, 100, 60, 40, 0);
  ECircleShape circle(200, 100, 60, 0, 1);
  EFrameShape frame(300, 300, 0, 1, 30, 20);
  for (EShape* s : std::vector<EShape*>{&line, &rect, &circle, &frame}) {
    s->Attach(&root);
    s->SetSelectable(1, 0);
  }
  struct Case {
    EPoint cursor;
    EShape* closest;
    float distance;
  } cases[] = {{{50, 53}, &line, 3},    {{75, 50}, &line, 5},     {{100, 97}, &rect, 17},
               {{135, 100}, &rect, 5},  {{234, 100}, &circle, 4}, {{200, 100}, &circle, 30},
               {{310, 305}, &frame, 5}, {{296, 297}, &frame, 5}};
  for (const Case& c : cases) {
    Display d = MotherDisplay(line, c.cursor);
    root.SetCursor(d.x, d.y);
    EXPECT_EQ(root.GetClosestShape(), nullptr);
    root.Closest();
    EXPECT_EQ(root.GetClosestShape(), c.closest) << c.cursor.GetX() << "," << c.cursor.GetY();
  }
  // A tie keeps the first shape visited; an unselectable shape is passed over.
  ELineShape twin(50, 50, 40, 0);
  twin.Attach(&root);
  Display d = MotherDisplay(line, EPoint(50, 60));
  root.SetCursor(d.x, d.y);
  root.Closest();
  EXPECT_EQ(root.GetClosestShape(), &line);
  line.SetSelectable(0, 0);
  root.SetCursor(d.x, d.y);
  root.Closest();
  EXPECT_EQ(root.GetClosestShape(), &twin);
}

// A handle hit at zoom 1 and dragged once the zoom is 1e-37: the pointer maps beyond the float
// range, to no finite point, so nothing turns or moves; neither does a hit landmark.
TEST(Interaction, PointerWithoutFinitePositionChangesNothing) {
  Settings settings;
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
  EWorldShape root;
  ELineShape line(50, 50, 40, 0);
  ECircleShape circle(200, 100, 60, 0, 1);
  ERectangleShape rect(100, 200, 60, 40, 0);
  EFrameShape frame(300, 300, 0, 1, 30, 20);
  EWedgeShape wedge(EPoint(300, 100), 60, 20, 0, 90);
  struct Case {
    EShape* shape;
    EPoint handle;  // not the centre, in the mother's coordinates
  } cases[] = {{&line, {70, 50}},
               {&circle, {230, 100}},
               {&rect, {130, 200}},
               {&frame, {330, 300}},
               {&wedge, {350, 100}}};
  for (Case& c : cases) {
    c.shape->Attach(&root);
    c.shape->SetDragable(1, 0);
    c.shape->SetRotatable(1, 0);
    root.SetZoom(1, 1);
    ASSERT_NE(HandleAt(root, MotherDisplay(*c.shape, c.handle)), INS_HANDLE_NONE);
    ASSERT_NE(root.GetHitHandle(), INS_HANDLE_CENTER);
    const float angle = c.shape->GetFrame()->GetAngle();
    root.SetZoom(1e-37f, 1e-37f);
    c.shape->Drag(70, 70);
    EXPECT_EQ(c.shape->GetFrame()->GetAngle(), angle) << c.shape->GetType();
  }
  root.SetZoom(1, 1);
  root.AddLandmark(EPoint(20, 30), EPoint(0, 0));
  root.SetCursor(20, 30);
  root.HitLandmark();
  ASSERT_EQ(root.GetHitLandmark(), 0u);
  root.SetZoom(1e-37f, 1e-37f);
  root.DragLandmark(70, 70);
  EXPECT_EQ(root.GetLandmark(0).SensorPoint.GetX(), 20);
  EXPECT_EQ(root.GetLandmark(0).SensorPoint.GetY(), 30);
}

// Dragging a handle of a wedge's outer arc from fixed points: the dragged handle ends under the
// pointer and the other two points of the arc stay, as they do on a circle.
TEST(Interaction, WedgeFixedPointDragKeepsItsPoints) {
  Settings settings;
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
  EWorldShape root;
  EWedgeShape sector(EPoint(100, 100), 100, 20, 0, 120);  // outer radius 70, 0 to 120 degrees
  EWedgeShape ring(300, 300, 100, 20, 0, 1);
  const float c = 70 * std::cos(2.0943951f), s = 70 * std::sin(2.0943951f);
  struct Case {
    EWedgeShape* wedge;
    EPoint handle, pointer, other;  // the dragged handle, where it goes, a point that stays
    INS_HANDLES id;
  } cases[] = {{&sector, {135, 100 + s}, {150, 150}, {170, 100}, INS_HANDLE_MIDDLE},
               {&sector, {170, 100}, {160, 80}, {100 + c, 100 + s}, INS_HANDLE_ORG},
               {&ring, {300 + c, 300 - s}, {270, 230}, {370, 300}, INS_HANDLE_END}};
  for (Case& k : cases) {
    k.wedge->Attach(&root);
    Editable(*k.wedge, INS_DRAG_FROM_FIXED_POINT);
    if (k.wedge == &ring) k.wedge->Set(EPoint(300, 300), 100, 20, 0, 1);  // mode-1 handles
    Display to = MotherDisplay(*k.wedge, k.pointer);
    DragTo(root, *k.wedge, k.handle, to);
    EXPECT_EQ(HandleAt(root, to), k.id) << k.id;
    EXPECT_NE(HandleAt(root, MotherDisplay(*k.wedge, k.other)), INS_HANDLE_NONE) << k.id;
    k.wedge->Detach();
  }
}

// The straight sides of a wedge are outline too: a pointer on one is at distance 0, closer than
// a point 2 units away; 10 units off the side the point wins.
TEST(Interaction, ClosestWedgeCountsItsSides) {
  Settings settings;
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
  EWorldShape root;
  EWedgeShape pie(EPoint(100, 100), 100, 0, 0, 90);     // radius 50, 0 to 90 degrees
  EWedgeShape sector(EPoint(300, 100), 80, 20, 0, 90);  // radii 40 and 60
  pie.Attach(&root);
  sector.Attach(&root);
  struct Case {
    EPoint cursor;
    EShape* closest;
  } cases[] = {{{125, 100}, &pie},    {{100, 130}, &pie},   {{350, 100}, &sector},
               {{300, 150}, &sector}, {{125, 90}, nullptr}, {{350, 110}, nullptr}};
  for (const Case& c : cases) {
    EPointShape rival(c.cursor.GetX(), c.cursor.GetY() + 2);
    rival.Attach(&root);
    Display d = MotherDisplay(pie, c.cursor);
    root.SetCursor(d.x, d.y);
    root.Closest();
    EXPECT_EQ(root.GetClosestShape(), c.closest ? c.closest : &rival)
        << c.cursor.GetX() << "," << c.cursor.GetY();
  }
}

std::string Hex(const void* p) {
  char b[32];
  std::snprintf(b, sizeof b, "%" PRIXPTR, reinterpret_cast<uintptr_t>(p));
  return b;
}

std::string DumpText(EShape& s, int daughters) {
  FILE* f = std::tmpfile();
  s.Dump(f, daughters);
  std::string text;
  std::rewind(f);
  for (int ch; (ch = std::fgetc(f)) != EOF;) text += static_cast<char>(ch);
  std::fclose(f);
  return text;
}

struct UnlistedShape : EPointShape {
  INS_SHAPE_TYPES GetType() const override { return static_cast<INS_SHAPE_TYPES>(0x40000); }
};

TEST(Dump, ExactTextOfATree) {
  Settings settings;
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
  EWorldShape root;
  root.SetName("W");
  ERectangleShape grid(10, 20, 60, 30, 90);
  grid.Attach(&root);
  grid.SetIndexed(3);
  ECircleShape hole(1, 2, 8, 0, 1);
  hole.SetName("A");
  hole.AttachIndexed(&grid, 1);
  const std::string r = Hex(static_cast<EShape*>(&root)), g = Hex(static_cast<EShape*>(&grid)),
                    h = Hex(static_cast<EShape*>(&hole));
  std::string want =
      "\tEWorldShape ( \"W\") " + r +
      " ( orphan)\n"
      "\t+ Center: ( 0.00, 0.00), Angle: 0.00, Scale: 1.00, Calibration modes: raw\n\n"
      "\t\tERectangleShape " +
      g + " son of " + r +
      " ( \"W\")\n"
      "\t\t+ Center: ( 10.00, 20.00), Angle: 90.00, Scale: 1.00, Size: ( 60.00, 30.00)\n"
      "\t\t\tNULL\n"
      "\t\t\tECircleShape ( \"A\") " +
      h + " son of " + g +
      "\n"
      "\t\t\t+ Center: ( 1.00, 2.00), Angle: 0.00, Scale: 1.00, Radius: 4.00, Amplitude: 360.00\n"
      "\t\t\tNULL\n";
  EXPECT_EQ(DumpText(root, 1), want);
  // Without daughters only the shape itself.
  EXPECT_EQ(DumpText(root, 0), want.substr(0, want.find("\t\tERect")));

  root.SetCalibrationModes(E_CALIBRATION_QUADRATIC);
  EXPECT_EQ(
      DumpText(root, 0),
      "\tEWorldShape ( \"W\") " + r +
          " ( orphan)\n"
          "\t+ Center: ( 0.00, 0.00), Angle: 0.00, Scale: 1.00, Calibration modes: quadratic\n"
          "World to sensor:\n"
          "  X = 0.000000 xx + 0.000000 xy + 0.000000 yy + 1.000000 x + 0.000000 y + 0.000000\n"
          "  Y = 0.000000 xx + 0.000000 xy + 0.000000 yy + 0.000000 x + 1.000000 y + 0.000000\n"
          "Sensor to world:\n"
          "  x = 0.000000 XX + 0.000000 XY + 0.000000 YY + 1.000000 X + 0.000000 Y + 0.000000\n"
          "  y = 0.000000 XX + 0.000000 XY + 0.000000 YY + 0.000000 X + 1.000000 Y + 0.000000\n\n");
  // A bilinear world lists its two mappings; an unlisted type stops with 32767, the depth
  // restored (the next dump starts at one tab again).
  root.SetCalibrationModes(E_CALIBRATION_BILINEAR);
  std::string text = DumpText(root, 0);
  EXPECT_NE(text.find("Calibration modes: bilinear\nWorld to sensor:\n  X = "), std::string::npos);
  EXPECT_NE(text.find("\nSensor to world:\n  x = "), std::string::npos);
  UnlistedShape odd;
  odd.Attach(&root);
  EOk();
  text = DumpText(root, 1);
  EXPECT_EQ(EGetError(), 32767);
  EXPECT_NE(std::string(EGetErrorTrace()).find("EShape::Dump"), std::string::npos);
  EOk();
  EXPECT_EQ(DumpText(hole, 0).substr(0, 14), "\tECircleShape ");
}

}  // namespace

namespace {

// Through a calibrated world (turned, scaled, with pan and zoom), gauges and ball grid array
// shapes take the handles of their shape classes, a dragged centre lands on the pointer's pixel,
// and the dump names every class without size parameters for the gauges and BGA shapes.
TEST(Interaction, GaugesAndBallsInACalibratedWorld) {
  Settings settings;
  ESetAngleUnit(E_ANGLE_UNIT_DEGREES);
  EWorldShape root;
  root.SetCalibrationModes(E_CALIBRATION_SCALED | E_CALIBRATION_ANISOTROPIC | E_CALIBRATION_SKEWED);
  root.SetResolution(0.25f, 0.3f);
  root.SetAngle(12);
  root.SetCenter(40, 30);
  root.SetZoom(1.5f, 1.5f);
  root.SetPan(7, 3);
  EBGABall ball(20, 10, 4, 1, 0);
  ball.Attach(&root);
  ECircleGauge gauge;
  gauge.Set(EPoint(-15, 5), 12, 0, 1);
  gauge.Attach(&root);
  for (EShape* s : std::vector<EShape*>{&ball, &gauge}) {
    s->SetDragable(1, 0);
    ECircle& circle = dynamic_cast<ECircle&>(*s);
    EXPECT_EQ(HandleAt(root, MotherDisplay(*s, circle.GetCenter())), INS_HANDLE_CENTER);
    EXPECT_EQ(root.GetHitShape(), s);
    s->Drag(200, 150);
    Display now = MotherDisplay(*s, circle.GetCenter());
    EXPECT_NEAR(now.x, 200, 1);
    EXPECT_NEAR(now.y, 150, 1);
  }
  std::string text = DumpText(root, 1);
  EXPECT_NE(text.find("\t\tEBGABall "), std::string::npos);
  EXPECT_NE(text.find("\t\tECircleGauge "), std::string::npos);
  EXPECT_EQ(text.find("Radius"), std::string::npos);  // only the circle shape class lists it
}

}  // namespace

namespace {

// No drag leaves unsound geometry; picking state never outlives its shape.
TEST(Interaction, BadDragsChangeNothing) {
  Settings settings;
  EWorldShape root;
  ELineShape line(50, 50, 40, 0);
  ERectangleShape rect(200, 200, 60, 40, 0);
  ECircleShape circle(300, 100, 60, 0, 1);
  EFrameShape frame(100, 300, 0, 1, 30, 20);
  struct Case {
    EShape* shape;
    EPoint handle, centre;
  } cases[] = {{&line, {70, 50}, {50, 50}},
               {&rect, {230, 200}, {200, 200}},
               {&circle, {330, 100}, {300, 100}}};
  for (Case& c : cases) {
    c.shape->Attach(&root);
    Editable(*c.shape, INS_DRAG_ABOUT_CENTER);
    Display before = MotherDisplay(*c.shape, c.handle);
    EXPECT_NE(HandleAt(root, before), INS_HANDLE_NONE);
    Display centre = MotherDisplay(*c.shape, c.centre);
    c.shape->Drag(centre.x, centre.y);  // onto the centre: no size, no direction
    EXPECT_EQ(HandleAt(root, before), root.GetHitHandle());
    EXPECT_EQ(root.GetHitShape(), c.shape) << c.shape->GetType();
  }
  EXPECT_NEAR(line.GetLength(), 40, 1e-4f);
  EXPECT_NEAR(rect.GetSizeX(), 60, 1e-4f);
  EXPECT_NEAR(circle.GetRadius(), 30, 1e-4f);
  frame.Attach(&root);
  Editable(frame, INS_DRAG_ABOUT_CENTER);
  Display axis;
  frame.LocalToDisplay(EPoint(30, 0), axis.x, axis.y);
  EXPECT_EQ(HandleAt(root, axis), INS_HANDLE_X_AXIS_END);
  Display origin = MotherDisplay(frame, EPoint(100, 300));
  frame.Drag(origin.x, origin.y);
  EXPECT_EQ(frame.GetScale(), 1.0f);
  // Pointers far outside keep the geometry finite.
  for (int far : {2147483647, -2147483647 - 1}) {
    line.Set(EPoint(50, 50), 40, 0);
    EXPECT_EQ(HandleAt(root, MotherDisplay(line, EPoint(70, 50))), INS_HANDLE_END);
    line.Drag(far, far);
    EXPECT_TRUE(std::isfinite(line.GetLength()) && std::isfinite(line.GetAngle()));
  }
  line.Set(EPoint(50, 50), 40, 0);
  // A drag without a hit handle changes nothing; a destroyed hit shape is forgotten.
  root.SetCursor(-100, -100);
  rect.Drag(10, 10);
  EXPECT_NEAR(rect.GetCenter().GetX(), 200, 1e-4f);
  {
    EPointShape doomed(400, 400);
    doomed.Attach(&root);
    doomed.SetDragable(1, 0);
    doomed.SetSelectable(1, 0);
    EXPECT_EQ(HandleAt(root, MotherDisplay(doomed, EPoint(400, 400))), INS_HANDLE_CENTER);
    root.Closest();
    EXPECT_EQ(root.GetClosestShape(), &doomed);
  }
  EXPECT_EQ(root.GetHitShape(), nullptr);
  EXPECT_EQ(root.GetHitHandle(), INS_HANDLE_NONE);
  EXPECT_EQ(root.GetClosestShape(), nullptr);
}

}  // namespace
