#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "drawing/draw_test_support.h"
#include "vimo/drawing/imagedrawadapter.h"
#include "vimo/drawing/svgdrawadapter.h"
#include "vimo/geometry/point.h"

using namespace Quarnel;
using draw_test::Art;
using draw_test::Count;
using draw_test::kPaper;
using draw_test::Px;

namespace {

const EC24 kInk{200, 100, 50};
const DrawColor kInkColor{200, 100, 50};
const EC24 kWhite{255, 255, 255};

struct Surface {
  Surface(int w, int h) : image(w, h), draw(&image) {
    draw_test::Fill(image, kPaper);
    EOk();
  }
  EC24 At(int x, int y) { return *image.GetImagePtr(x, y); }
  EImage<EC24> image;
  ImageDrawAdapter draw;
};

}  // namespace

TEST(DrawPolygon, ARectangleOfPointsDrawsLikeARectangle) {
  const EPoint square[] = {EPoint(2, 2), EPoint(7, 2), EPoint(7, 6), EPoint(2, 6)};
  Surface a(10, 9), b(10, 9);
  a.draw.DrawPolygon(square, 4, kInkColor);
  b.draw.DrawRectangle(2, 2, 6, 5, kInkColor);
  EXPECT_EQ(Art(a.image, kInk), Art(b.image, kInk));
  a.draw.FillPolygon(square, 4, kInkColor, WhiteColor);
  b.draw.FillRectangle(2, 2, 6, 5, kInkColor, WhiteColor);
  EXPECT_EQ(Art(a.image, kInk), Art(b.image, kInk));
  EXPECT_EQ(Count(a.image, kWhite), 4 * 3);
  // Points round to the nearest pixel; one point is a pixel, two a line.
  Surface c(10, 9);
  const EPoint rounded[] = {EPoint(2.4f, 2.6f), EPoint(8.5f, 2.6f)};
  c.draw.DrawPolygon(rounded, 1, kInkColor);
  EXPECT_EQ(Count(c.image, kInk), 1);
  EXPECT_EQ(c.At(2, 3), kInk);
  c.draw.DrawPolygon(rounded, 2, kInkColor);
  EXPECT_EQ(Count(c.image, kInk), 8);  // (2, 3) to (9, 3)
  EXPECT_EQ(c.At(9, 3), kInk);
  EXPECT_EQ(EGetError(), E_OK);
}

TEST(FillPolygon, FillsLieInsideTheOutlineByTheEvenOddRule) {
  const EPoint triangle[] = {EPoint(3, 2), EPoint(36, 9), EPoint(11, 27)};
  Surface s(40, 30);
  s.draw.FillPolygon(triangle, 3, kInkColor, WhiteColor);
  for (const EPoint& p : triangle)
    EXPECT_EQ(s.At(static_cast<int>(p.GetX()), static_cast<int>(p.GetY())), kInk);
  auto side = [](const EPoint& a, const EPoint& b, double x, double y) {
    return (b.GetX() - a.GetX()) * (y - a.GetY()) - (b.GetY() - a.GetY()) * (x - a.GetX());
  };
  int filled = 0;
  for (int y = 0; y < 30; ++y) {
    int first = -1, last = -1;
    for (int x = 0; x < 40; ++x)
      if (s.At(x, y) == kInk) {
        if (first < 0) first = x;
        last = x;
      }
    for (int x = 0; x < 40; ++x) {
      if (s.At(x, y) != kWhite) continue;
      ++filled;
      // Inside the outline of its row, and its centre inside the triangle.
      EXPECT_LT(first, x);
      EXPECT_GT(last, x);
      double s0 = side(triangle[0], triangle[1], x, y), s1 = side(triangle[1], triangle[2], x, y),
             s2 = side(triangle[2], triangle[0], x, y);
      EXPECT_TRUE((s0 >= 0 && s1 >= 0 && s2 >= 0) || (s0 <= 0 && s1 <= 0 && s2 <= 0));
    }
  }
  // Twice the area is |cross| = 33 * 25 + 7 * 8 = 881; the fill is the area less the border.
  EXPECT_GT(filled, 300);
  EXPECT_LT(filled, 441);

  // A five-pointed star drawn in one stroke: its middle is outside by the even-odd rule.
  EPoint star[5];
  for (int k = 0; k < 5; ++k) {
    double a = -3.14159265358979 / 2 + k * 4 * 3.14159265358979 / 5;
    star[k] = EPoint(static_cast<float>(20 + 15 * std::cos(a)),
                     static_cast<float>(15 + 15 * std::sin(a)));
  }
  Surface t(40, 32);
  t.draw.FillPolygon(star, 5, kInkColor, WhiteColor);
  EXPECT_EQ(t.At(20, 15), kPaper);
  EXPECT_EQ(t.At(20, 3), kWhite);  // inside the top point
  EXPECT_EQ(EGetError(), E_OK);
}

TEST(FillPolygon, ClipsFarPointsAndRefusesBadLists) {
  Surface s(12, 10);
  const EPoint huge[] = {EPoint(-1e9f, -1e9f), EPoint(1e9f, -1e9f), EPoint(0, 1e9f)};
  s.draw.FillPolygon(huge, 3, kInkColor, WhiteColor);
  EXPECT_EQ(Count(s.image, kWhite), 120);
  const EPoint edge[] = {EPoint(-5, 5), EPoint(5, -5), EPoint(30, 5)};
  s.draw.DrawPolygon(edge, 3, kInkColor);
  EXPECT_EQ(s.At(0, 0), kInk);  // the edge (-5, 5)-(5, -5) crosses (0, 0)
  EXPECT_EQ(EGetError(), E_OK);

  draw_test::Fill(s.image, kPaper);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const EPoint bad[][3] = {{EPoint(0, 0), EPoint(nan, 1), EPoint(5, 5)},
                           {EPoint(0, 0), EPoint(1, inf), EPoint(5, 5)},
                           {EPoint(0, 0), EPoint(3e9f, 1), EPoint(5, 5)},
                           {EPoint(-3e9f, 0), EPoint(1, 1), EPoint(5, 5)}};
  for (const auto& list : bad) {
    s.draw.FillPolygon(list, 3, kInkColor, WhiteColor);
    EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
    EXPECT_NE(std::string(EGetErrorTrace()).find("ImageDrawAdapter::FillPolygon"),
              std::string::npos);
    EOk();
  }
  s.draw.DrawPolygon(nullptr, 3, kInkColor);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EOk();
  s.draw.DrawPolygon(huge, -1, kInkColor);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EOk();
  s.draw.FillPolygon(nullptr, 0, kInkColor, kInkColor);  // an empty list draws nothing
  s.draw.DrawPolygon(huge, 0, kInkColor);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(Count(s.image, kPaper), 120);
}

TEST(SvgPolygon, PointsRoundedToPixelCentres) {
  EOk();
  SvgDrawAdapter svg(20, 20);
  const EPoint points[] = {EPoint(2.4f, 2.6f), EPoint(10, 3), EPoint(-4.5f, 12)};
  svg.DrawPolygon(points, 3, RedColor);
  svg.FillPolygon(points, 3, DefaultColor, DefaultColor);
  svg.FillPolygon(points, 0, DefaultColor, DefaultColor);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(svg.GetNumElements(), 2);
  std::string doc = svg.GetDocument();
  EXPECT_NE(doc.find("points=\"2.5,3.5 10.5,3.5 -4.5,12.5\" fill=\"none\" stroke=\"#ff0000\""),
            std::string::npos)
      << doc;
  EXPECT_NE(doc.find("fill=\"#ffffff\" fill-rule=\"evenodd\" stroke=\"#000000\""),
            std::string::npos);
  draw_test::XmlChecker checker;
  EXPECT_TRUE(checker.Check(doc)) << checker.error;
  const EPoint bad[] = {EPoint(0, std::numeric_limits<float>::quiet_NaN())};
  svg.DrawPolygon(bad, 1, RedColor);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EOk();
  EXPECT_EQ(svg.GetNumElements(), 2);
}
