// An overlay a person can look at: primitives and labels over a synthetic grey image, saved as
// PNG (and as SVG) in the scratch folder.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "drawing/draw_test_support.h"
#include "test_support.h"
#include "vimo/drawing/imagedrawadapter.h"
#include "vimo/drawing/svgdrawadapter.h"
#include "vimo/geometry/point.h"

using namespace Quarnel;

namespace {

// A grey ramp with a dark disc and a bright bar, like a part on a lit background.
void MakeScene(EImage<EBW8>& scene) {
  scene.SetSize(320, 200);
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 320; ++x) {
      double v = 90 + 60.0 * x / 319.0;
      double dx = x - 110, dy = y - 100;
      if (dx * dx + dy * dy < 55 * 55) v = 35;
      if (x >= 200 && x < 290 && y >= 60 && y < 90) v = 225;
      scene.SetPixel(static_cast<EBW8>(v), x, y);
    }
}

// Draws the same overlay on any surface.
void DrawOverlay(DrawAdapter& draw, EImage<EBW8>& scene) {
  const DrawColor green{0, 220, 0}, yellow{255, 220, 0};
  draw.DrawImage(&scene, 0, 0, 1.0, DefaultColor);
  draw.DrawEllipse(110 - 55, 100 - 55, 110, 110, green);
  draw.DrawLine(110 - 8, 100, 110 + 8, 100, green);
  draw.DrawLine(110, 100 - 8, 110, 100 + 8, green);
  draw.DrawArc(110 - 70, 100 - 70, 140, 140, -2.6, 1.2, yellow);
  draw.DrawRectangle(200, 60, 90, 30, RedColor);
  draw.FillRectangle(196, 56, 8, 8, DefaultColor, WhiteColor);  // a handle
  draw.FillEllipse(286, 86, 8, 8, BlueColor, WhiteColor);
  const EPoint arrow[] = {EPoint(245, 150), EPoint(262, 170), EPoint(228, 170)};
  draw.FillPolygon(arrow, 3, DefaultColor, yellow);
  for (int i = 0; i < 40; ++i) draw.DrawPoint(200 + 2 * i, 120, yellow, i / 40.0);
  draw.DrawTextBox("Circle1: r=55.0 px", 60, 164, BlackColor, WhiteColor);
  draw.DrawTextBox("Bar\nwidth 90\nheight 30", 210, 95, WhiteColor, BlueColor);
  draw.DrawText("ABCDEFGHIJKLMNOPQRSTUVWXYZ 0123456789", 4, 4, WhiteColor);
  draw.DrawText("abcdefghijklmnopqrstuvwxyz !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~", 4, 16, WhiteColor);
}

}  // namespace

TEST(Overlay, PngAndSvgOfTheSameDrawing) {
  if (!vimo_test::kHavePng) GTEST_SKIP() << "built without libpng";
  EOk();
  EImage<EBW8> scene;
  MakeScene(scene);
  EImage<EC24> overlay(320, 200);
  ImageDrawAdapter draw(&overlay);
  draw.SetPenColor(DrawColor{0, 0, 0});
  DrawOverlay(draw, scene);
  ASSERT_EQ(EGetError(), E_OK) << EGetErrorTrace();
  EXPECT_EQ(overlay.GetPixel(110 + 55, 100), (EC24{0, 220, 0}));  // right end of the circle
  EXPECT_EQ(overlay.GetPixel(0, 199), (EC24{90, 90, 90}));        // the scene under it

  std::string png = vimo_test::ScratchPath("overlay.png");
  overlay.Save(png.c_str());
  ASSERT_EQ(EGetError(), E_OK);
  EImage<EC24> back;
  back.Load(png.c_str());
  ASSERT_EQ(EGetError(), E_OK);
  ASSERT_EQ(back.GetWidth(), 320);
  for (int y = 0; y < 200; y += 7)
    for (int x = 0; x < 320; x += 3) ASSERT_EQ(back.GetPixel(x, y), overlay.GetPixel(x, y));

  SvgDrawAdapter svg(320, 200);
  DrawOverlay(svg, scene);
  ASSERT_EQ(EGetError(), E_OK) << EGetErrorTrace();
  EXPECT_EQ(svg.GetNumElements(), 13 + 40);
  draw_test::XmlChecker checker;
  ASSERT_TRUE(checker.Check(svg.GetDocument())) << checker.error;
  EXPECT_EQ(checker.rootChildren, 13 + 40);
  svg.Save(vimo_test::ScratchPath("overlay.svg").c_str());
  EXPECT_EQ(EGetError(), E_OK);
  std::printf("overlay written to %s\n", png.c_str());
}
