// Drawing of every shape class and of the world shape, through a recording surface.
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>

#include "shape_test_support.h"

using shape_test::RecordingAdapter;
using shape_test::Settings;

namespace {

struct Line {
  int x0, y0, x1, y1;
};

std::vector<Line> Lines(const RecordingAdapter& r) {
  std::vector<Line> lines;
  for (const auto& c : r.calls) {
    if (c.compare(0, 5, "line ") != 0) continue;
    Line l;
    std::sscanf(c.c_str(), "line %d,%d %d,%d", &l.x0, &l.y0, &l.x1, &l.y1);
    lines.push_back(l);
  }
  return lines;
}

// The lines form one chain from (x0, y0) to (x1, y1), each starting where the last ended.
void ExpectChain(const std::vector<Line>& lines, int x0, int y0, int x1, int y1) {
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front().x0, x0);
  EXPECT_EQ(lines.front().y0, y0);
  EXPECT_EQ(lines.back().x1, x1);
  EXPECT_EQ(lines.back().y1, y1);
  for (size_t i = 1; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].x0, lines[i - 1].x1);
    EXPECT_EQ(lines[i].y0, lines[i - 1].y1);
  }
}

}  // namespace

class ShapeDrawing : public ::testing::Test {
 protected:
  Settings settings;
  EWorldShape world{0, 0, 0, 1, 100, 100};
  RecordingAdapter rec;
  void SetUp() override { ESetAngleUnit(E_ANGLE_UNIT_DEGREES); }
};

TEST_F(ShapeDrawing, PointShapeCrossHandleAndLabel) {
  EPointShape p(100, 50);
  p.Attach(&world);
  p.SetDragable(1, 0);
  p.SetName("P");
  p.SetLabeled(1, 0);
  p.Draw(&rec, INS_DRAW_NOMINAL, 0);
  const std::vector<std::string> expected = {
      "line 92,50 108,50 default", "line 100,42 100,58 default",
      "fill 96,46 8,8 default 255/255/255", "textbox 100,50 default default"};
  EXPECT_EQ(rec.calls, expected);
  ASSERT_EQ(rec.texts.size(), 1u);
  EXPECT_EQ(rec.texts[0], "P\n( 100.0, 50.0) mm");
  // Plain shapes draw only in mode 0; an invisible or filtered shape draws nothing itself.
  rec.calls.clear();
  p.Draw(&rec, INS_DRAW_ACTUAL, 0);
  EXPECT_TRUE(rec.calls.empty());
  p.SetVisible(0, 0);
  p.Draw(&rec, INS_DRAW_NOMINAL, 0);
  EXPECT_TRUE(rec.calls.empty());
  p.Draw(static_cast<Quarnel::DrawAdapter*>(nullptr), INS_DRAW_NOMINAL, 1);
}

TEST_F(ShapeDrawing, LineShapeIsTwoHalvesThroughRawWorld) {
  ELineShape line(50, 10, 100, 0);
  line.Attach(&world);
  line.Draw(&rec, INS_DRAW_NOMINAL, 0);
  const std::vector<std::string> expected = {"line 0,10 50,10 default",
                                             "line 50,10 100,10 default"};
  EXPECT_EQ(rec.calls, expected);
  rec.calls.clear();
  line.SetDragable(1, 0);
  line.SetRotatable(1, 0);
  line.Draw(&rec, INS_DRAW_NOMINAL, 0);
  EXPECT_EQ(rec.Count("fill"), 3u);
  EXPECT_EQ(rec.calls[3], "fill -4,6 8,8 default 255/255/255");
}

TEST_F(ShapeDrawing, HalveSegmentThroughRawWorldDrawsExactlyTwoLines) {
  int ax, ay, bx, by;
  world.LocalToDisplay(EPoint(3, 4), ax, ay);
  world.LocalToDisplay(EPoint(40, 25), bx, by);
  world.HalveSegment(&rec, EPoint(3, 4), ax, ay, EPoint(40, 25), bx, by);
  ASSERT_EQ(rec.calls.size(), 2u);
  ExpectChain(Lines(rec), 3, 4, 40, 25);
  // A NaN end point cannot make the subdivision run away.
  rec.calls.clear();
  world.HalveSegment(&rec, EPoint(0, 0), 0, 0, EPoint(std::nanf(""), 0), 10000, 0);
  EXPECT_LE(rec.calls.size(), 8192u);
  // Ends clamped to 2^30 on either side of the display: their distances do not overflow int.
  rec.calls.clear();
  world.HalveSegment(&rec, EPoint(-3e9f, 0), -1073741824, 0, EPoint(3e9f, 0), 1073741824, 0);
  EXPECT_GE(rec.calls.size(), 2u);
}

TEST_F(ShapeDrawing, NearlyFullArcWhoseEndsShareAPixelFollowsTheCircle) {
  // An arc of 359.5 degrees, radius 30 about (100, 100): both ends fall on display pixel
  // (130, 100). It must still be drawn as a chain of short pieces round the circle, not as
  // two lines across it to the opposite side and back.
  const float pi = 3.14159265f;
  const float amplitude = 359.5f * pi / 180.0f;
  int x0, y0, x1, y1;
  world.LocalToDisplay(EPoint(130, 100), x0, y0);
  world.LocalToDisplay(EPoint(100 + 30 * std::cos(amplitude), 100 + 30 * std::sin(amplitude)), x1,
                       y1);
  ASSERT_EQ(x0, x1);
  ASSERT_EQ(y0, y1);
  world.HalveArc(&rec, EPoint(100, 100), 30, 0, x0, y0, amplitude, x1, y1);
  std::vector<Line> lines = Lines(rec);
  ASSERT_GT(lines.size(), 8u);
  ExpectChain(lines, 130, 100, 130, 100);
  for (const auto& l : lines) {
    EXPECT_LT(std::hypot(l.x1 - l.x0, l.y1 - l.y0), 16) << l.x0 << "," << l.y0;
    EXPECT_NEAR(std::hypot(l.x1 - 100.0, l.y1 - 100.0), 30, 1.5);
  }
}

TEST_F(ShapeDrawing, CurvesFollowADistortedWorld) {
  world.SetCalibrationModes(E_CALIBRATION_SCALED | E_CALIBRATION_INVERSE);
  world.SetScale(4);
  world.SetDistortion(2e-5f, 0);
  ELineShape line(10, 10, 40, 30);
  line.Attach(&world);
  line.Draw(&rec, INS_DRAW_NOMINAL, 0);
  std::vector<Line> lines = Lines(rec);
  EXPECT_GT(lines.size(), 2u);
  int x0, y0, x1, y1;
  world.LocalToDisplay(line.GetOrg(), x0, y0);
  world.LocalToDisplay(line.GetEnd(), x1, y1);
  ExpectChain(lines, x0, y0, x1, y1);
}

TEST_F(ShapeDrawing, CircleIsAClosedChainOnTheCircle) {
  ECircleShape circle(50, 60, 40, 0, 1);
  circle.Attach(&world);
  circle.Draw(&rec, INS_DRAW_NOMINAL, 0);
  std::vector<Line> lines = Lines(rec);
  ASSERT_GT(lines.size(), 8u);
  ExpectChain(lines, 70, 60, 70, 60);
  for (const auto& l : lines) {
    double r = std::hypot(l.x0 - 50.0, l.y0 - 60.0);
    EXPECT_NEAR(r, 20, 1.5);
  }
  // An arc of a quarter turn, with its handles when dragable and rotatable.
  rec.calls.clear();
  ECircleShape arc(EPoint(50, 60), 40, 0, 90.0f);
  arc.Attach(&world);
  arc.SetDragable(1, 0);
  arc.SetResizable(1, 0);
  arc.SetName("C");
  arc.SetLabeled(1, 0);
  arc.Draw(&rec, INS_DRAW_NOMINAL, 0);
  lines = Lines(rec);
  ExpectChain(lines, 70, 60, 50, 80);
  EXPECT_EQ(rec.Count("fill"), 3u);  // centre, origin, end
  ASSERT_EQ(rec.texts.size(), 1u);
  EXPECT_EQ(rec.texts[0], "C\n( 50.0, 60.0) 0.0 deg\nD 40.0 mm < 90.0 deg");
  rec.texts.clear();
  circle.SetName("F");
  circle.SetLabeled(1, 0);
  circle.Draw(&rec, INS_DRAW_NOMINAL, 0);
  EXPECT_EQ(rec.texts[0], "F\n( 50.0, 60.0) 0.0 deg\nD 40.0 mm");
}

TEST_F(ShapeDrawing, RectangleWedgeAndFrame) {
  ERectangleShape rect(EPoint(10, 20), EPoint(50, 40));
  rect.Attach(&world);
  rect.Draw(&rec, INS_DRAW_NOMINAL, 0);
  std::vector<Line> lines = Lines(rec);
  ASSERT_EQ(lines.size(), 8u);
  ExpectChain(lines, 10, 20, 10, 20);
  EXPECT_EQ(lines[1].x1, 50);
  EXPECT_EQ(lines[3].y1, 40);
  rec.calls.clear();
  rect.SetDragable(1, 0);
  rect.SetRotatable(1, 0);
  rect.Draw(&rec, INS_DRAW_NOMINAL, 0);
  EXPECT_EQ(rec.Count("fill"), 5u);
  EXPECT_EQ(rec.calls[9], "fill 6,26 8,8 default 255/255/255");  // middle of edge x = -1

  rec.calls.clear();
  EWedgeShape wedge(EPoint(0, 0), 20, 10, 0, 90.0f);
  wedge.Attach(&world);
  wedge.Draw(&rec, INS_DRAW_NOMINAL, 0);
  lines = Lines(rec);
  // Two arcs, then the two radial sides, each a chain.
  ASSERT_GT(lines.size(), 8u);
  EXPECT_EQ(lines.front().x0, 20);
  EXPECT_EQ(lines.front().y0, 0);
  const Line& side = lines[lines.size() - 4];
  EXPECT_EQ(side.x0, 10);
  EXPECT_EQ(side.y0, 0);

  rec.calls.clear();
  EFrameShape frame(10, 10, 90, 1, 20, 30);
  frame.Attach(&world);
  frame.SetDragable(1, 0);
  frame.SetRotatable(1, 0);
  frame.Draw(&rec, INS_DRAW_NOMINAL, 0);
  lines = Lines(rec);
  ASSERT_EQ(lines.size(), 4u);
  ExpectChain(std::vector<Line>(lines.begin(), lines.begin() + 2), 10, 10, 10, 30);
  ExpectChain(std::vector<Line>(lines.begin() + 2, lines.end()), 10, 10, -20, 10);
  EXPECT_EQ(rec.Count("fill"), 3u);
}

TEST_F(ShapeDrawing, DaughtersAreDrawnInSlotOrderEvenUnderHiddenMothers) {
  EFrameShape m(0, 0, 0, 1, 10, 10);
  m.Attach(&world);
  m.SetIndexed(3);
  EPointShape a(1, 1), b(5, 5);
  a.AttachIndexed(&m, 2);
  b.AttachIndexed(&m, 0);
  m.SetVisible(0, 0);
  m.Draw(&rec, INS_DRAW_NOMINAL, 1);
  ASSERT_EQ(rec.calls.size(), 4u);
  EXPECT_EQ(rec.calls[0], "line -3,5 13,5 default");
  EXPECT_EQ(rec.calls[2], "line -7,1 9,1 default");
  rec.calls.clear();
  m.EnableTypeFilter(INS_SHAPE_TYPE_FRAME_SHAPE);
  world.Draw(&rec, INS_DRAW_NOMINAL, 1);
  EXPECT_EQ(rec.calls.size(), 0u);
  m.DisableTypeFilter();
}

TEST_F(ShapeDrawing, WorldAxesCrossGridsAndLabels) {
  world.Draw(&rec, INS_DRAW_NOMINAL, 0);
  const std::vector<std::string> axes = {"line -10,0 100,0 default", "line 0,-10 0,100 default"};
  EXPECT_EQ(rec.calls, axes);
  rec.calls.clear();
  world.SetName("W");
  world.SetLabeled(1, 0);
  world.Draw(&rec, INS_DRAW_NOMINAL, 0);
  EXPECT_EQ(rec.calls.back(), "text 0,0 0/0/0");
  rec.calls.clear();
  world.DrawCrossGrid(&rec, 0, 10, 0, 20, 1, 2);
  ASSERT_EQ(rec.calls.size(), 12u);
  EXPECT_EQ(rec.calls[0], "line -4,0 5,0 default");
  EXPECT_EQ(rec.calls[1], "line 0,-4 0,5 default");
  EXPECT_EQ(rec.calls[11], "line 10,16 10,25 default");
  rec.calls.clear();
  world.DrawCrossGrid(&rec, 0, 10, 0, 20, 0, 0);
  EXPECT_EQ(rec.calls.size(), 2u);
  rec.calls.clear();
  EFrameShape frame(100, 100, 0, 2, 10, 10);
  frame.Attach(&world);
  frame.DrawCrossGrid(&rec, 0, 1, 0, 1, 1, 1);
  ASSERT_EQ(rec.calls.size(), 8u);
  EXPECT_EQ(rec.calls[0], "line 97,97 104,104 default");
  EXPECT_EQ(rec.calls[1], "line 97,103 104,96 default");
  EXPECT_EQ(rec.calls[6], "line 99,99 106,106 default");
}

TEST_F(ShapeDrawing, LandmarksHitDragAndGrid) {
  world.AddLandmark(EPoint(10, 10), EPoint(0, 0));
  world.AddLandmark(EPoint(30, 10), EPoint(1, 0));
  world.AddLandmark(EPoint(10, 30), EPoint(0, 1));
  world.AddLandmark(EPoint(30, 30), EPoint(1, 1));
  world.AddLandmark(EPoint(60, 60), EPoint(5, 5));
  world.DrawLandmarks(&rec);
  ASSERT_EQ(rec.calls.size(), 15u);
  EXPECT_EQ(rec.calls[0], "line 2,10 18,10 0/0/0");
  EXPECT_EQ(rec.calls[1], "line 10,2 10,18 0/0/0");
  EXPECT_EQ(rec.calls[2], "fill 6,6 8,8 default 255/255/255");

  world.SetCursor(15, 10);
  world.HitLandmark();
  EXPECT_EQ(world.GetHitLandmark(), 0xFFFFFFFFu);
  world.DragLandmark(0, 0);  // nothing hit: nothing moves
  EXPECT_EQ(world.GetLandmark(0).SensorPoint.GetX(), 10);
  world.SetCursor(34, 26);
  world.HitLandmark();
  EXPECT_EQ(world.GetHitLandmark(), 3u);
  world.SetZoom(2, 2);
  world.SetPan(10, 10);
  world.DragLandmark(91, 77);
  rec.calls.clear();
  world.DrawLandmarks(&rec);
  EXPECT_EQ(rec.calls[9], "line 83,77 99,77 0/0/0");

  // The grid: a 2 x 2 square reachable from landmark 0, one stray link, one lone landmark.
  const int links[5][4] = {
      {1, 2, -1, -1}, {-1, 3, 0, 99}, {3, -1, -1, 0}, {-1, -1, 2, 1}, {-1, -1, -1, -1}};
  for (int i = 0; i < 5; ++i)
    for (int k = 0; k < 4; ++k) world.m_Landmark[i].Neighbour[k] = links[i][k];
  world.SetOriginLandmark(0);
  world.SetMatchedCount(4);
  rec.calls.clear();
  world.DrawGrid(&rec);
  EXPECT_EQ(rec.calls.size(), 8u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(world.GetLandmark(i).Matched, 1) << i;
  EXPECT_EQ(world.GetLandmark(4).Matched, 0);
  // No origin, or one matched landmark: nothing.
  rec.calls.clear();
  world.SetMatchedCount(1);
  world.DrawGrid(&rec);
  world.SetMatchedCount(4);
  world.SetOriginLandmark(-1);
  world.DrawGrid(&rec);
  world.SetOriginLandmark(17);
  world.DrawGrid(&rec);
  EXPECT_TRUE(rec.calls.empty());
}

TEST_F(ShapeDrawing, LabelFormatsAreValidatedCutAndRestored) {
  {
    EPointShape p(1, 2);
    p.Attach(&world);
    p.SetLabeled(1, 0);
    p.SetName(std::string(1000, 'n').c_str());
    p.Draw(&rec, INS_DRAW_NOMINAL, 0);
    ASSERT_EQ(rec.texts.size(), 1u);
    EXPECT_EQ(rec.texts[0].size(), kShapeLabelSize - 1);
    EOk();
    EPointShape::SetFormat("%s at %.3f;%e");
    EXPECT_EQ(EGetError(), E_OK);
    EXPECT_STREQ(EPointShape::GetFormat(), "%s at %.3f;%e");
    p.SetName("q");
    rec.texts.clear();
    p.Draw(&rec, INS_DRAW_NOMINAL, 0);
    EXPECT_EQ(rec.texts[0], "q at 1.000;2.000000e+00");
    // Conversions that would read the values as other types, or more values than there are.
    EPointShape::SetFormat("%d");
    EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
    EXPECT_STREQ(EGetErrorTrace(), "EPointShape::SetFormat\n");
    EPointShape::SetFormat("%s %f %f %f");
    EPointShape::SetFormat("%s %n");
    EPointShape::SetFormat("%s %*f");
    EXPECT_STREQ(EPointShape::GetFormat(), "%s at %.3f;%e");
    EOk();
    const unsigned short wide[] = {'w', 0x263A, 0};
    p.SetName(wide);
    rec.texts.clear();
    p.Draw(&rec, INS_DRAW_NOMINAL, 0);
    EXPECT_EQ(rec.texts[0], "w? at 1.000;2.000000e+00");
  }
  // The last point shape is gone: the default format is back.
  EXPECT_STREQ(EPointShape::GetFormat(), "%s\n( %.1f, %.1f) mm");
  EXPECT_STREQ(ECircleShape::GetFormat(1), "%s\n( %.1f, %.1f) %.1f %s\nD %.1f mm");
  EXPECT_STREQ(ECircleShape::GetFormat(0), "%s\n( %.1f, %.1f) %.1f %s\nD %.1f mm < %.1f %s");
  EXPECT_STREQ(EWedgeShape::GetFormat(1), "%s\n( %.1f, %.1f) %.1f %s\nD %.1f / %.1f mm");
  ERectangleShape r(0, 0, 4, 2, 0);
  r.SetName("R");
  r.SetLabeled(1, 0);
  r.Attach(&world);
  rec.texts.clear();
  r.Draw(&rec, INS_DRAW_NOMINAL, 0);
  EXPECT_EQ(rec.texts[0], "R\n( 0.0, 0.0) 0.0 deg\n4.0 x 2.0 mm");
  ELineShape l(0, 0, 4, 45);
  l.SetName("L");
  l.SetLabeled(1, 0);
  l.Attach(&world);
  rec.texts.clear();
  l.Draw(&rec, INS_DRAW_NOMINAL, 0);
  EXPECT_EQ(rec.texts[0], "L\n( 0.0, 0.0) 45.0 deg\n4.0 mm\n");
  EFrameShape f(1, 1, 0, 0.5f, 4, 4);
  f.SetName("F");
  f.SetLabeled(1, 0);
  f.Attach(&world);
  rec.texts.clear();
  f.Draw(&rec, INS_DRAW_NOMINAL, 0);
  EXPECT_EQ(rec.texts[0], "F\n( 1.0, 1.0) 0.0 deg\n50.0%");
  EOk();
}

TEST_F(ShapeDrawing, WorldShapePickingAndCopies) {
  EXPECT_EQ(world.HitTest(0), 0);
  EXPECT_EQ(world.HitTest(1), 0);
  world.Drag(5, 5);
  world.SetCursor(50, 3);
  world.Closest();
  EXPECT_EQ(world.GetClosestShape(), static_cast<EShape*>(&world));
  world.SetSize(50, 0);
  EXPECT_FLOAT_EQ(world.GetSizeY(), 50);
  world.SetZoom(3, 0);
  world.AddLandmark(EPoint(1, 1), EPoint(2, 2));
  EPointShape p;
  p.Attach(&world);
  EWorldShape copy(world);
  EXPECT_FLOAT_EQ(copy.GetZoomY(), 3);
  EXPECT_FLOAT_EQ(copy.GetSizeY(), 50);
  EXPECT_EQ(copy.GetNumLandmarks(), 1u);
  EXPECT_EQ(copy.GetMother(), nullptr);
  EXPECT_EQ(copy.GetNumDaughters(), 1u);
  std::unique_ptr<EShape> clone(world.New());
  EXPECT_EQ(clone->GetNumDaughters(), 1u);
  EXPECT_TRUE(clone->IsWorld());
}

TEST_F(ShapeDrawing, WedgeHandlesFollowDraggingModeAndBreadth) {
  EWedgeShape ring(0, 0, 20, 5, 0, 1);  // full circle, not of full breadth
  ring.Attach(&world);
  ring.SetDragable(1, 0);
  ring.SetResizable(1, 0);
  ring.Draw(&rec, INS_DRAW_NOMINAL, 0);
  EXPECT_EQ(rec.Count("fill"), 4u);  // centre, origin, co-origin, co-end; no end on a ring
  rec.calls.clear();
  ring.SetDraggingMode(INS_DRAG_FROM_FIXED_POINT, 0);
  ring.Draw(&rec, INS_DRAW_NOMINAL, 0);
  EXPECT_EQ(rec.Count("fill"), 5u);  // centre, origin, middle, co-middle, end
  rec.calls.clear();
  EWedgeShape pie(EPoint(0, 0), 20, 0, 0, 90.0f);  // full breadth arc
  pie.Attach(&world);
  pie.SetDragable(1, 0);
  pie.Draw(&rec, INS_DRAW_NOMINAL, 0);
  EXPECT_EQ(rec.Count("fill"), 1u);  // neither rotatable nor resizable: the centre only
  rec.calls.clear();
  pie.SetRotatable(1, 0);
  pie.Draw(&rec, INS_DRAW_NOMINAL, 0);
  EXPECT_EQ(rec.Count("fill"), 3u);  // centre, origin, end
}

namespace {

class CountingPoint : public EPointShape {
 public:
  int processed = 0;
  void Process(EROI<EBW8>* roi, int daughters) override {
    ++processed;
    EShape::Process(roi, daughters);
  }
};

}  // namespace

TEST(ShapeRecursion, ProcessVisitsEveryDaughterOnlyWhenAsked) {
  CountingPoint a, b, c;
  b.Attach(&a);
  c.Attach(&b);
  a.Process(nullptr, 0);
  EXPECT_EQ(a.processed, 1);
  EXPECT_EQ(b.processed, 0);
  a.Process(nullptr, 1);
  EXPECT_EQ(b.processed, 1);
  EXPECT_EQ(c.processed, 1);
}

TEST(ShapeDrawingWithoutWorld, ArcUnderAScaledRootFrameLiesOnItsCircle) {
  // Under a root frame (no world: identity calibration, zoom 1, pan 0) centred at (50, 50)
  // with scale 2, a circle of diameter 20 centred at (10, 0) of the frame is the circle of
  // radius 20 about (70, 50) in sensor pixels.
  RecordingAdapter rec;
  EFrameShape root(50, 50, 0, 2, 10, 10, 1);
  ECircleShape circle(10, 0, 20, 0, 1);
  circle.Attach(&root);
  circle.Draw(&rec, INS_DRAW_NOMINAL, 0);
  std::vector<Line> lines = Lines(rec);
  ASSERT_GT(lines.size(), 8u);
  ExpectChain(lines, 90, 50, 90, 50);
  for (const auto& l : lines) EXPECT_NEAR(std::hypot(l.x0 - 70.0, l.y0 - 50.0), 20, 1.5);
  // A wedge of radius 10 and breadth 5 has its arcs on the frame's radii 15 and 10, so in
  // sensor pixels 30 and 20 about the same centre; its sides join them.
  rec.calls.clear();
  EWedgeShape wedge(EPoint(10, 0), 20, 5, 0, 90);
  wedge.Attach(&root);
  wedge.Draw(&rec, INS_DRAW_NOMINAL, 0);
  lines = Lines(rec);
  ASSERT_GT(lines.size(), 4u);
  for (const auto& l : lines) {
    double r0 = std::hypot(l.x0 - 70.0, l.y0 - 50.0);
    EXPECT_TRUE(std::fabs(r0 - 30) < 1.5 || std::fabs(r0 - 20) < 1.5) << r0;
  }
}

// A positive amplitude turns from the world's x axis towards its y axis: through a y-down world
// the quarter arc goes down the screen from its origin, through a y-up world up the screen. Every
// drawn vertex lies on the circle, in the quarter the arc covers.
TEST_F(ShapeDrawing, ArcsCoverTheirSpanThroughYDownAndYUpWorlds) {
  for (int up = 0; up < 2; ++up) {
    EWorldShape w(0, 0, 0, 1, 100, 100);
    w.SetCalibrationModes(E_CALIBRATION_SCALED | E_CALIBRATION_INVERSE);
    w.SetCenter(100, 100);
    w.SetScale(2);
    if (up) w.SetRatio(-1);
    for (int sense = 0; sense < 2; ++sense) {
      float amplitude = sense == 0 ? 90.0f : -90.0f;
      ECircleShape arc(EPoint(0, 0), 40, 0, amplitude);  // sensor radius 40
      arc.Attach(&w);
      EWedgeShape wedge(EPoint(0, 0), 40, 0, 0, amplitude);
      wedge.Attach(&w);
      for (EShape* s : {static_cast<EShape*>(&arc), static_cast<EShape*>(&wedge)}) {
        RecordingAdapter r;
        s->Draw(&r, INS_DRAW_NOMINAL, 0);
        std::vector<Line> lines = Lines(r);
        if (s == &wedge) lines.resize(lines.size() - 4);  // the two radial sides come last
        // Turning towards world +y shows downwards in a y-down world.
        int down = (amplitude > 0) != (up != 0) ? 1 : -1;
        ExpectChain(lines, 140, 100, 100, 100 + 40 * down);
        for (const auto& l : lines) {
          EXPECT_NEAR(std::hypot(l.x1 - 100.0, l.y1 - 100.0), 40, 1.5);
          EXPECT_GE(l.x1, 100);
          EXPECT_GE((l.y1 - 100) * down, 0) << "up " << up << " amplitude " << amplitude;
        }
      }
    }
  }
}
