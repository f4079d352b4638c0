#include "vimo/drawing/imagedrawadapter.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <random>

#include "drawing/draw_test_support.h"

using namespace Quarnel;
using draw_test::Art;
using draw_test::Count;
using draw_test::kPaper;
using draw_test::Px;

namespace {

const double kPi = 3.14159265358979323846;
const EC24 kInk{200, 100, 50};
const DrawColor kInkColor{200, 100, 50};

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

TEST(DrawColors, ConstantsAndDefaults) {
  EXPECT_EQ(DefaultColor, (DrawColor{-1, -1, -1}));
  EXPECT_EQ(BlackColor, (DrawColor{0, 0, 0}));
  EXPECT_EQ(WhiteColor, (DrawColor{255, 255, 255}));
  EXPECT_EQ(GreyColor, (DrawColor{127, 127, 127}));
  EXPECT_EQ(RedColor, (DrawColor{255, 0, 0}));
  EXPECT_EQ(BlueColor, (DrawColor{0, 0, 255}));

  Surface s(4, 4);
  EXPECT_EQ(s.draw.GetCurrentColor(), BlackColor);
  s.draw.DrawPoint(0, 0, DefaultColor, 1.0);
  EXPECT_EQ(s.At(0, 0), Px(0, 0, 0));
  s.draw.SetPenColor(DrawColor{1, 2, 3});
  EXPECT_EQ(s.draw.GetCurrentColor(), (DrawColor{1, 2, 3}));
  s.draw.DrawPoint(1, 0, DefaultColor, 1.0);
  s.draw.DrawLine(2, 0, 2, 0, DefaultColor);
  EXPECT_EQ(s.At(1, 0), Px(1, 2, 3));
  EXPECT_EQ(s.At(2, 0), Px(1, 2, 3));
  // Components keep their low byte; only (-1, -1, -1) is the default colour.
  s.draw.DrawPoint(3, 0, DrawColor{256 + 5, -2, 0}, 1.0);
  EXPECT_EQ(s.At(3, 0), Px(5, 254, 0));
  s.draw.DrawPoint(0, 1, DrawColor{-1, -1, 0}, 1.0);
  EXPECT_EQ(s.At(0, 1), Px(255, 255, 0));
  // The default fill of filled shapes and text boxes is the background colour.
  s.draw.SetBackgroundColor(DrawColor{9, 8, 7});
  s.draw.FillRectangle(0, 2, 3, 2, RedColor, DefaultColor);
  s.draw.FillRectangle(3, 2, 1, 1, DefaultColor, DefaultColor);
  EXPECT_EQ(s.At(0, 2), Px(255, 0, 0));
  EXPECT_EQ(s.At(3, 2), Px(1, 2, 3));
  EXPECT_EQ(s.draw.GetBackgroundColor(), (DrawColor{9, 8, 7}));
  EXPECT_EQ(EGetError(), E_OK);
}

TEST(DrawPoint, BlendsPerChannelWithClampedOpacity) {
  Surface s(6, 1);
  const EC24 old{100, 200, 0};
  for (int x = 0; x < 6; ++x) *s.image.GetImagePtr(x, 0) = old;
  const DrawColor add{200, 0, 255};
  s.draw.DrawPoint(0, 0, add, 0.25);
  // 0.75 * old + 0.25 * new: 125, 150, 63.75 -> 64.
  EXPECT_EQ(s.At(0, 0), Px(125, 150, 64));
  s.draw.DrawPoint(1, 0, add, 1.7);  // clamped to 1: set
  EXPECT_EQ(s.At(1, 0), Px(200, 0, 255));
  s.draw.DrawPoint(2, 0, add, -0.5);  // clamped to 0: unchanged
  EXPECT_EQ(s.At(2, 0), old);
  s.draw.DrawPoint(3, 0, DrawColor{101, 201, 1}, 0.5);  // halves round upwards
  EXPECT_EQ(s.At(3, 0), Px(101, 201, 1));
  s.draw.DrawPoint(4, 0, add, std::numeric_limits<double>::infinity());
  EXPECT_EQ(s.At(4, 0), Px(200, 0, 255));
  EXPECT_EQ(EGetError(), E_OK);

  s.draw.DrawPoint(5, 0, add, std::nan(""));
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(s.At(5, 0), old);
  EOk();
  // Outside the canvas: nothing, and no error.
  s.draw.DrawPoint(-1, 0, add, 1.0);
  s.draw.DrawPoint(6, 0, add, 1.0);
  s.draw.DrawPoint(0, 1, add, 1.0);
  s.draw.DrawPoint(INT_MIN, INT_MAX, add, 1.0);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(Count(s.image, old), 2);
}

// Every drawn pixel lies within half a pixel of the ideal line along the minor axis, and every
// major-axis position of the line inside the canvas holds exactly one pixel.
static void ExpectLine(Surface& s, int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
  int w = s.image.GetWidth(), h = s.image.GetHeight();
  long double dx = x1 - x0, dy = y1 - y0;
  bool xMajor = std::fabs(static_cast<double>(dx)) >= std::fabs(static_cast<double>(dy));
  int n = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (s.At(x, y) != kInk) continue;
      ++n;
      if (xMajor && dx != 0) {
        long double t = (x - x0) / dx;
        ASSERT_TRUE(t >= 0 && t <= 1) << x << "," << y;
        ASSERT_LE(std::fabs(static_cast<double>(y0 + t * dy - y)), 0.5 + 1e-9) << x << "," << y;
      } else if (!xMajor) {
        long double t = (y - y0) / dy;
        ASSERT_TRUE(t >= 0 && t <= 1) << x << "," << y;
        ASSERT_LE(std::fabs(static_cast<double>(x0 + t * dx - x)), 0.5 + 1e-9) << x << "," << y;
      }
    }
  // Count the major positions whose ideal minor coordinate falls clearly inside the canvas.
  int expected = 0;
  int64_t size = xMajor ? w : h;
  for (int64_t a = 0; a < size; ++a) {
    long double t = xMajor ? (dx == 0 ? 0 : (a - x0) / dx) : (a - y0) / dy;
    if (xMajor && dx == 0 && a != x0) continue;
    if (t < 0 || t > 1) continue;
    long double b = xMajor ? y0 + t * dy : x0 + t * dx;
    if (b > 0.5 && b < (xMajor ? h : w) - 1.5) ++expected;  // its pixel is surely inside
  }
  EXPECT_GE(n, expected);
  EXPECT_LE(n, xMajor ? w : h);
}

TEST(DrawLine, IncludesBothEndsAndFollowsTheIdealLine) {
  Surface s(9, 7);
  s.draw.DrawLine(1, 1, 7, 1, kInkColor);
  EXPECT_EQ(Count(s.image, kInk), 7);
  EXPECT_EQ(s.At(1, 1), kInk);
  EXPECT_EQ(s.At(7, 1), kInk);
  draw_test::Fill(s.image, kPaper);
  s.draw.DrawLine(4, 6, 4, 0, kInkColor);
  EXPECT_EQ(Count(s.image, kInk), 7);
  draw_test::Fill(s.image, kPaper);
  s.draw.DrawLine(0, 0, 8, 4, kInkColor);
  std::vector<std::string> expected = {"#........", ".##......", "...##....", ".....##..",
                                       ".......##", ".........", "........."};
  EXPECT_EQ(Art(s.image, kInk), expected);
  // The same pixels whichever end comes first.
  draw_test::Fill(s.image, kPaper);
  s.draw.DrawLine(8, 4, 0, 0, kInkColor);
  EXPECT_EQ(Art(s.image, kInk), expected);
  draw_test::Fill(s.image, kPaper);
  s.draw.DrawLine(3, 3, 3, 3, kInkColor);  // a single point
  EXPECT_EQ(Count(s.image, kInk), 1);
  EXPECT_EQ(s.At(3, 3), kInk);

  std::mt19937 random(7);
  std::uniform_int_distribution<int> coordinate(-5, 24);
  for (int k = 0; k < 300; ++k) {
    Surface t(20, 15);
    int x0 = coordinate(random), y0 = coordinate(random), x1 = coordinate(random),
        y1 = coordinate(random);
    t.draw.DrawLine(x0, y0, x1, y1, kInkColor);
    ExpectLine(t, x0, y0, x1, y1);
    // Both end points, when inside, are drawn.
    if (x0 >= 0 && x0 < 20 && y0 >= 0 && y0 < 15) {
      EXPECT_EQ(t.At(x0, y0), kInk);
    }
    if (x1 >= 0 && x1 < 20 && y1 >= 0 && y1 < 15) {
      EXPECT_EQ(t.At(x1, y1), kInk);
    }
  }
}

TEST(DrawLine, ClipsFarAwayEndPointsAtEveryEdge) {
  // A line through the canvas from far outside draws exactly what its visible part would.
  struct Case {
    int x0, y0, x1, y1;
  } cases[] = {{INT_MIN, 5, INT_MAX, 5},
               {7, INT_MIN, 7, INT_MAX},
               {INT_MIN, INT_MIN, INT_MAX, INT_MAX},
               {INT_MAX, INT_MIN, INT_MIN, INT_MAX},
               {-1000000000, 3, 1000000000, 9},
               {2, -2000000000, 11, 2000000000},
               {-3, -3, 40, 25},
               {INT_MAX, INT_MAX, INT_MAX - 1, INT_MAX}};
  for (const Case& c : cases) {
    Surface s(16, 12);
    s.draw.DrawLine(c.x0, c.y0, c.x1, c.y1, kInkColor);
    ExpectLine(s, c.x0, c.y0, c.x1, c.y1);
    EXPECT_EQ(EGetError(), E_OK);
  }
  Surface s(16, 12);
  s.draw.DrawLine(INT_MIN, 5, INT_MAX, 5, kInkColor);
  EXPECT_EQ(Count(s.image, kInk), 16);
  draw_test::Fill(s.image, kPaper);
  s.draw.DrawLine(INT_MIN, INT_MIN, INT_MAX, INT_MAX, kInkColor);
  EXPECT_EQ(Count(s.image, kInk), 12);  // the diagonal x == y (one step short of exact)
  for (int i = 0; i < 12; ++i) EXPECT_EQ(s.At(i, i), kInk);
  draw_test::Fill(s.image, kPaper);
  s.draw.DrawLine(-50, 20, 70, 30, kInkColor);  // entirely below the canvas
  s.draw.DrawLine(20, -50, 30, -1, kInkColor);  // entirely to the right and above
  EXPECT_EQ(Count(s.image, kInk), 0);
}

TEST(DrawRectangle, OutlineAndFillCoverTheirColumnsAndRows) {
  Surface s(10, 8);
  s.draw.DrawRectangle(2, 1, 5, 4, kInkColor);
  std::vector<std::string> outline = {"..........", "..#####...", "..#...#...", "..#...#...",
                                      "..#####...", "..........", "..........", ".........."};
  EXPECT_EQ(Art(s.image, kInk), outline);
  s.draw.FillRectangle(2, 1, 5, 4, DefaultColor, WhiteColor);
  EXPECT_EQ(Count(s.image, Px(0, 0, 0)), 14);
  EXPECT_EQ(Count(s.image, Px(255, 255, 255)), 6);
  for (int y = 2; y <= 3; ++y)
    for (int x = 3; x <= 5; ++x) EXPECT_EQ(s.At(x, y), Px(255, 255, 255));

  // Widths of one and two are all outline; zero draws nothing.
  Surface t(6, 6);
  t.draw.FillRectangle(1, 1, 1, 3, kInkColor, WhiteColor);
  t.draw.FillRectangle(3, 1, 2, 2, kInkColor, WhiteColor);
  t.draw.FillRectangle(0, 0, 0, 5, WhiteColor, WhiteColor);
  t.draw.DrawRectangle(0, 0, 5, 0, WhiteColor);
  EXPECT_EQ(Count(t.image, kInk), 3 + 4);
  EXPECT_EQ(Count(t.image, Px(255, 255, 255)), 0);
  EXPECT_EQ(EGetError(), E_OK);
}

TEST(DrawRectangle, ClipsAtEveryEdgeAndRefusesNegativeSizes) {
  Surface s(8, 6);
  // Far larger than the canvas: only the fill shows.
  s.draw.FillRectangle(-1000000000, -1000000000, 2000000000, 2000000000, kInkColor, WhiteColor);
  EXPECT_EQ(Count(s.image, Px(255, 255, 255)), 48);
  // Straddling each edge: the visible sides only.
  draw_test::Fill(s.image, kPaper);
  s.draw.DrawRectangle(-3, -2, 6, 5, kInkColor);            // right side x = 2, bottom y = 2
  s.draw.DrawRectangle(5, 3, INT_MAX, INT_MAX, kInkColor);  // left side x = 5, top y = 3
  std::vector<std::string> expected = {"..#.....", "..#.....", "###.....",
                                       ".....###", ".....#..", ".....#.."};
  EXPECT_EQ(Art(s.image, kInk), expected);
  s.draw.DrawRectangle(INT_MAX, INT_MAX, INT_MAX, INT_MAX, kInkColor);
  s.draw.FillRectangle(INT_MIN, INT_MIN, INT_MAX, INT_MAX, kInkColor, kInkColor);
  EXPECT_EQ(Art(s.image, kInk), expected);
  EXPECT_EQ(EGetError(), E_OK);

  s.draw.DrawRectangle(1, 1, -3, 2, kInkColor);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_NE(std::string(EGetErrorTrace()).find("ImageDrawAdapter::DrawRectangle"),
            std::string::npos);
  EOk();
  s.draw.FillRectangle(1, 1, 2, INT_MIN, kInkColor, kInkColor);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(Art(s.image, kInk), expected);
  EOk();
}

TEST(DrawEllipse, SmallCircleMatchesItsPattern) {
  Surface s(7, 7);
  s.draw.DrawEllipse(1, 1, 4, 4, kInkColor);
  std::vector<std::string> expected = {".......", "..###..", ".#...#.", ".#...#.",
                                       ".#...#.", "..###..", "......."};
  EXPECT_EQ(Art(s.image, kInk), expected);
  s.draw.FillEllipse(1, 1, 4, 4, kInkColor, WhiteColor);
  EXPECT_EQ(Count(s.image, kInk), 12);
  EXPECT_EQ(Count(s.image, Px(255, 255, 255)), 9);
  // Degenerate boxes: a vertical line, a horizontal line, a single pixel.
  Surface t(7, 7);
  t.draw.DrawEllipse(1, 1, 0, 4, kInkColor);
  t.draw.DrawEllipse(3, 0, 3, 0, kInkColor);
  t.draw.FillEllipse(5, 5, 0, 0, kInkColor, WhiteColor);
  std::vector<std::string> lines = {"...####", ".#.....", ".#.....", ".#.....",
                                    ".#.....", ".#...#.", "......."};
  EXPECT_EQ(Art(t.image, kInk), lines);
}

// The filled ellipse: extent exactly the box, symmetric, outline = disc pixels with a 4-neighbour
// outside the disc, fill = the rest of the disc.
static void ExpectEllipse(int x, int y, int w, int h) {
  Surface s(48, 40);
  s.draw.FillEllipse(x, y, w, h, kInkColor, WhiteColor);
  const EC24 white = Px(255, 255, 255);
  auto in = [&](int px, int py) {
    if (px < 0 || py < 0 || px >= 48 || py >= 40) return false;
    EC24 p = s.At(px, py);
    return p == kInk || p == white;
  };
  int minX = 1000, maxX = -1, minY = 1000, maxY = -1;
  for (int py = 0; py < 40; ++py)
    for (int px = 0; px < 48; ++px) {
      if (!in(px, py)) continue;
      minX = std::min(minX, px), maxX = std::max(maxX, px);
      minY = std::min(minY, py), maxY = std::max(maxY, py);
      // Mirror images across the centre are in the disc as well.
      EXPECT_TRUE(in(2 * x + w - px, py)) << px << "," << py;
      EXPECT_TRUE(in(px, 2 * y + h - py)) << px << "," << py;
      bool border = !in(px - 1, py) || !in(px + 1, py) || !in(px, py - 1) || !in(px, py + 1);
      EXPECT_EQ(s.At(px, py) == kInk, border) << px << "," << py;
      // The disc lies inside the ellipse of semi-axes w/2 + 1/2, h/2 + 1/2.
      double ex = (px - (x + w / 2.0)) / (w / 2.0 + 0.5),
             ey = (py - (y + h / 2.0)) / (h / 2.0 + 0.5);
      EXPECT_LE(ex * ex + ey * ey, 1.0 + 1e-9);
    }
  EXPECT_EQ(minX, x);
  EXPECT_EQ(maxX, x + w);
  EXPECT_EQ(minY, y);
  EXPECT_EQ(maxY, y + h);
  // The outline alone is the border of the same disc.
  Surface o(48, 40);
  o.draw.DrawEllipse(x, y, w, h, kInkColor);
  for (int py = 0; py < 40; ++py)
    for (int px = 0; px < 48; ++px) EXPECT_EQ(o.At(px, py) == kInk, s.At(px, py) == kInk);
}

TEST(DrawEllipse, FillsLieInsideTheirOutline) {
  ExpectEllipse(3, 4, 30, 20);
  ExpectEllipse(10, 2, 11, 33);
  ExpectEllipse(20, 20, 1, 1);
  ExpectEllipse(5, 5, 2, 9);
  ExpectEllipse(0, 0, 47, 39);
}

TEST(DrawEllipse, ClipsHugeAndFarEllipses) {
  Surface s(20, 16);
  // A circle of radius 10^9 centred far left: its right edge crosses the canvas at x = 10.
  s.draw.FillEllipse(-2000000000 + 10, -1000000000 + 8, 2000000000, 2000000000, kInkColor,
                     WhiteColor);
  for (int y = 0; y < 16; ++y) {
    EXPECT_EQ(s.At(10, y), kInk) << y;
    EXPECT_EQ(s.At(9, y), Px(255, 255, 255)) << y;
    EXPECT_EQ(s.At(11, y), kPaper) << y;
  }
  draw_test::Fill(s.image, kPaper);
  s.draw.FillEllipse(INT_MIN, INT_MIN, INT_MAX, INT_MAX, kInkColor, WhiteColor);
  s.draw.DrawEllipse(INT_MAX, INT_MAX, INT_MAX, INT_MAX, kInkColor);
  s.draw.DrawEllipse(-100, 5, 50, 5, kInkColor);
  EXPECT_EQ(Count(s.image, kPaper), 20 * 16);
  s.draw.FillEllipse(-490, -492, 1000, 1000, kInkColor, WhiteColor);  // covers the canvas
  EXPECT_EQ(Count(s.image, Px(255, 255, 255)) + Count(s.image, kInk), 20 * 16);
  EXPECT_EQ(EGetError(), E_OK);
  s.draw.DrawEllipse(0, 0, -1, 4, kInkColor);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EOk();
  s.draw.FillEllipse(0, 0, 4, -1, kInkColor, kInkColor);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EOk();
}

TEST(DrawArc, KeepsTheOutlineBetweenItsEndPoints) {
  // Circle of radius 10 centred on (20, 20).
  Surface full(41, 41), quarter(41, 41), back(41, 41), all(41, 41);
  full.draw.DrawEllipse(10, 10, 20, 20, kInkColor);
  quarter.draw.DrawArc(10, 10, 20, 20, 0.0, kPi / 2, kInkColor);
  back.draw.DrawArc(10, 10, 20, 20, 0.0, -kPi / 2, kInkColor);
  all.draw.DrawArc(10, 10, 20, 20, 1.0, 2 * kPi, kInkColor);
  int nq = 0, nb = 0;
  for (int y = 0; y < 41; ++y)
    for (int x = 0; x < 41; ++x) {
      bool onCircle = full.At(x, y) == kInk;
      EXPECT_EQ(all.At(x, y) == kInk, onCircle);
      if (quarter.At(x, y) == kInk) {
        ++nq;
        EXPECT_TRUE(onCircle);
        // y grows downwards: from angle 0 to pi/2 is the lower right quarter.
        EXPECT_GE(x, 20);
        EXPECT_GE(y, 20);
      }
      if (back.At(x, y) == kInk) {
        ++nb;
        EXPECT_TRUE(onCircle);
        EXPECT_GE(x, 20);
        EXPECT_LE(y, 20);
      }
    }
  EXPECT_EQ(nq, nb);
  EXPECT_GT(nq, 10);
  EXPECT_EQ(quarter.At(30, 20), kInk);  // end points
  EXPECT_EQ(quarter.At(20, 30), kInk);
  EXPECT_EQ(back.At(20, 10), kInk);
  // An arc starting in the middle of a quadrant ends on the pixel nearest its end point.
  Surface mid(41, 41);
  mid.draw.DrawArc(10, 10, 20, 20, kPi / 4, kPi / 2, kInkColor);
  EXPECT_EQ(mid.At(13, 27), kInk);
  EXPECT_EQ(mid.At(27, 27), kInk);
  EXPECT_EQ(mid.At(30, 20), kPaper);
  EXPECT_EQ(EGetError(), E_OK);

  mid.draw.DrawArc(10, 10, 20, 20, std::nan(""), 1.0, kInkColor);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EOk();
  mid.draw.DrawArc(10, 10, -20, 20, 0.0, 1.0, kInkColor);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EOk();
  Surface far(10, 10);
  far.draw.DrawArc(INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0.0, 7.0, kInkColor);
  far.draw.DrawArc(-1000000000, -5, 2000000000, 10, 0.0, kPi, kInkColor);
  EXPECT_EQ(EGetError(), E_OK);
}

TEST(DrawText, ExtentAndLayout) {
  Surface s(40, 30);
  EXPECT_EQ(s.draw.GetTextExtent("AB").Width, 11);
  EXPECT_EQ(s.draw.GetTextExtent("AB").Height, 9);
  TextExtent two = s.draw.GetTextExtent("W\nWWW");
  EXPECT_EQ(two.Width, 17);
  EXPECT_EQ(two.Height, 19);
  EXPECT_EQ(s.draw.GetTextExtent("").Width, 0);
  EXPECT_EQ(s.draw.GetTextExtent("").Height, 0);
  EXPECT_EQ(s.draw.GetTextExtent("ab\r\n").Height, 19);  // trailing break opens a line
  EXPECT_EQ(s.draw.GetTextExtent("ab\r\n").Width, 11);

  // Each line centred in the widest: "W" is offset by (17 - 5) / 2 = 6.
  s.draw.DrawText("W\nWWW", 3, 2, kInkColor);
  int minX[2] = {100, 100}, maxX[2] = {-1, -1}, minY[2] = {100, 100}, maxY[2] = {-1, -1};
  for (int y = 0; y < 30; ++y)
    for (int x = 0; x < 40; ++x)
      if (s.At(x, y) == kInk) {
        int line = y < 3 + 10 ? 0 : 1;
        minX[line] = std::min(minX[line], x), maxX[line] = std::max(maxX[line], x);
        minY[line] = std::min(minY[line], y), maxY[line] = std::max(maxY[line], y);
      }
  EXPECT_EQ(minX[0], 3 + 2 + 6);
  EXPECT_EQ(maxX[0], 3 + 2 + 6 + 4);
  EXPECT_EQ(minX[1], 3 + 2);
  EXPECT_EQ(maxX[1], 3 + 2 + 16);
  EXPECT_EQ(minY[0], 2 + 1);
  EXPECT_EQ(minY[1], 2 + 1 + 10);
  EXPECT_LE(maxY[1], 2 + 1 + 18);
  EXPECT_EQ(EGetError(), E_OK);
}

TEST(DrawText, InkStaysInsideTheExtentAndTheFontIsComplete) {
  std::string all;
  for (int c = 32; c < 127; ++c) all += static_cast<char>(c);
  all += "\ngjpqy|_\n\x01\xff";
  Surface s(600, 40);
  TextExtent e = s.draw.GetTextExtent(all.c_str());
  s.draw.DrawText(all.c_str(), 0, 0, kInkColor);
  int minX = 1000, maxX = -1, minY = 1000, maxY = -1;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 600; ++x)
      if (s.At(x, y) == kInk) {
        minX = std::min(minX, x), maxX = std::max(maxX, x);
        minY = std::min(minY, y), maxY = std::max(maxY, y);
      }
  EXPECT_EQ(minX, 2 + 6 + 2);        // '!' after the space, centre column of its cell
  EXPECT_EQ(maxX, 2 + e.Width - 1);  // '~' reaches the last column of its cell
  EXPECT_EQ(minY, 1);
  EXPECT_LE(maxY, 1 + e.Height - 1);
  // Descenders reach the last row of a line's extent.
  Surface d(20, 20);
  d.draw.DrawText("gy", 0, 0, kInkColor);
  int lowest = -1;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x)
      if (d.At(x, y) == kInk) lowest = y;
  EXPECT_EQ(lowest, 1 + d.draw.GetTextExtent("gy").Height - 1);
  // Every printable glyph but the space has ink, and no two glyphs look alike.
  std::vector<std::string> seen;
  for (int c = 33; c < 127; ++c) {
    Surface g(9, 12);
    char text[2] = {static_cast<char>(c), 0};
    g.draw.DrawText(text, 0, 0, kInkColor);
    EXPECT_GT(Count(g.image, kInk), 0) << static_cast<char>(c);
    std::string key;
    for (const std::string& row : Art(g.image, kInk)) key += row;
    for (const std::string& other : seen) EXPECT_NE(key, other) << static_cast<char>(c);
    seen.push_back(key);
  }
}

TEST(DrawText, BoxClippingAndBadInput) {
  Surface s(30, 16);
  s.draw.SetBackgroundColor(DrawColor{1, 1, 1});
  s.draw.DrawTextBox("Hi\nyou", 4, 2, kInkColor, DefaultColor);
  TextExtent e = s.draw.GetTextExtent("Hi\nyou");
  // The box covers (4, 2) to (4 + width + 3, 2 + height + 1), text inside.
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 30; ++x) {
      bool inBox = x >= 4 && x <= 4 + e.Width + 3 && y >= 2 && y <= 2 + e.Height + 1;
      EC24 p = s.At(x, y);
      if (!inBox) {
        EXPECT_EQ(p, kPaper) << x << "," << y;
      } else {
        EXPECT_TRUE(p == kInk || p == Px(1, 1, 1)) << x << "," << y;
      }
      if (inBox && (x == 4 || y == 2 || x == 4 + e.Width + 3 || y == 2 + e.Height + 1)) {
        EXPECT_EQ(p, Px(1, 1, 1));
      }
    }
  EXPECT_GT(Count(s.image, kInk), 20);
  // Far outside or straddling the edges: no crash, no error.
  s.draw.DrawText("edge", -7, -4, kInkColor);
  s.draw.DrawText("edge", 27, 12, kInkColor);
  s.draw.DrawTextBox("far", INT_MAX - 2, INT_MAX - 2, kInkColor, RedColor);
  s.draw.DrawTextBox("far", INT_MIN, INT_MIN, kInkColor, RedColor);
  s.draw.DrawText(std::string(100000, 'x').c_str(), -300000, 0, kInkColor);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(Count(s.image, Px(255, 0, 0)), 0);

  s.draw.DrawText(nullptr, 0, 0, kInkColor);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EOk();
  s.draw.DrawTextBox(nullptr, 0, 0, kInkColor, kInkColor);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EOk();
  TextExtent none = s.draw.GetTextExtent(nullptr);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(none.Width, 0);
  EXPECT_EQ(none.Height, 0);
  EOk();
}

TEST(DrawImage, GreyLevelsOfEveryDepthAndColour) {
  EImage<EBW8> g8(2, 1);
  g8.SetPixel(0, 0, 0);
  g8.SetPixel(200, 1, 0);
  EImage<EBW16> g16(1, 1);
  g16.SetPixel(0xabcd, 0, 0);
  EImage<EBW32> g32(1, 1);
  g32.SetPixel(0x12345678u, 0, 0);
  EImage<EC24> c24(1, 2);
  c24.SetPixel(Px(1, 2, 3), 0, 0);
  c24.SetPixel(Px(4, 5, 6), 0, 1);

  Surface s(6, 4);
  s.draw.DrawImage(&g8, 0, 0, 1.0, DefaultColor);
  s.draw.DrawImage(&g16, 2, 0, 1.0, DefaultColor);
  s.draw.DrawImage(&g32, 3, 0, 1.0, DefaultColor);
  s.draw.DrawImage(&c24, 4, 0, 1.0, RedColor);  // colour ignores the tint
  s.draw.DrawImage(&g8, 0, 1, 1.0, DrawColor{255, 128, 0});
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(s.At(0, 0), Px(0, 0, 0));
  EXPECT_EQ(s.At(1, 0), Px(200, 200, 200));
  EXPECT_EQ(s.At(2, 0), Px(0xab, 0xab, 0xab));
  EXPECT_EQ(s.At(3, 0), Px(0x12, 0x12, 0x12));
  EXPECT_EQ(s.At(4, 0), Px(1, 2, 3));
  EXPECT_EQ(s.At(4, 1), Px(4, 5, 6));
  EXPECT_EQ(s.At(1, 1), Px(200, 100, 0));  // 200 * 128 / 255 = 100.4
  EXPECT_EQ(s.At(5, 0), kPaper);

  // Opacity blends with what is there, clamped to at most 1.
  Surface b(2, 1);
  b.draw.DrawImage(&g8, 0, 0, 0.5, DefaultColor);
  EXPECT_EQ(b.At(0, 0), Px(5, 10, 15));
  EXPECT_EQ(b.At(1, 0), Px(105, 110, 115));
  b.draw.DrawImage(&g8, 0, 0, 3.0, DefaultColor);
  EXPECT_EQ(b.At(1, 0), Px(200, 200, 200));
  b.draw.DrawImage(&g8, 0, 0, -1.0, RedColor);
  EXPECT_EQ(b.At(1, 0), Px(200, 200, 200));
}

TEST(DrawImage, RegionsClippingAndRefusedTypes) {
  EImage<EBW8> source(8, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) source.SetPixel(static_cast<EBW8>(10 * y + x), x, y);
  EROI<EBW8> window;
  window.Attach(&source);
  window.SetPlacement(2, 3, 3, 2);  // values 32..34, 42..44
  Surface s(5, 5);
  s.draw.DrawImage(&window, -1, 4, 1.0, DefaultColor);  // clipped left and bottom
  EXPECT_EQ(s.At(0, 4), Px(33, 33, 33));
  EXPECT_EQ(s.At(1, 4), Px(34, 34, 34));
  EXPECT_EQ(Count(s.image, kPaper), 23);
  s.draw.DrawImage(&source, INT_MAX, INT_MIN, 1.0, DefaultColor);
  s.draw.DrawImage(&source, INT_MIN, INT_MAX, 1.0, DefaultColor);
  EXPECT_EQ(Count(s.image, kPaper), 23);
  EXPECT_EQ(EGetError(), E_OK);

  // A region of the target drawn over itself shows its original pixels.
  Surface self(4, 1);
  for (int x = 0; x < 4; ++x) *self.image.GetImagePtr(x, 0) = Px(x, x, x);
  EROI<EC24> part;
  part.Attach(&self.image);
  part.SetPlacement(0, 0, 3, 1);
  self.draw.DrawImage(&part, 1, 0, 1.0, DefaultColor);
  EXPECT_EQ(self.At(1, 0), Px(0, 0, 0));
  EXPECT_EQ(self.At(2, 0), Px(1, 1, 1));
  EXPECT_EQ(self.At(3, 0), Px(2, 2, 2));

  // Another pixel type, a void region, null, a NaN opacity: refused, nothing drawn.
  EImage<ESubPixel64> table(2, 2);
  EROI<EBW8> detached;
  EImage<EBW8> empty;
  EGenericROI* refused[] = {&table, &detached, &empty, nullptr};
  for (EGenericROI* r : refused) {
    s.draw.DrawImage(r, 0, 0, 1.0, DefaultColor);
    EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
    EXPECT_NE(std::string(EGetErrorTrace()).find("ImageDrawAdapter::DrawImage"), std::string::npos);
    EOk();
  }
  s.draw.DrawImage(&source, 0, 0, std::nan(""), DefaultColor);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EOk();
  EXPECT_EQ(Count(s.image, kPaper), 23);
}

TEST(ImageDrawAdapter, NullAndEmptyTargets) {
  ImageDrawAdapter none(nullptr);
  none.DrawLine(0, 0, 5, 5, RedColor);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_NE(std::string(EGetErrorTrace()).find("ImageDrawAdapter::DrawLine"), std::string::npos);
  EOk();
  none.FillEllipse(0, 0, 5, 5, RedColor, RedColor);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EOk();
  EXPECT_EQ(none.GetTextExtent("abc").Width, 17);  // needs no target
  EXPECT_EQ(EGetError(), E_OK);

  EImage<EC24> empty;
  ImageDrawAdapter draw(&empty);
  draw.DrawLine(0, 0, 5, 5, RedColor);
  draw.FillEllipse(0, 0, 5, 5, RedColor, RedColor);
  draw.DrawTextBox("x", 0, 0, RedColor, RedColor);
  draw.DrawPoint(0, 0, RedColor, 1.0);
  EXPECT_EQ(EGetError(), E_OK);
  // The target may change size between calls.
  empty.SetSize(3, 3);
  draw.DrawPoint(2, 2, RedColor, 1.0);
  EXPECT_EQ(empty.GetPixel(2, 2), Px(255, 0, 0));
}
