// The raster adapter on small canvases: exact pixels, blending, clipping, text and images.
#include <gtest/gtest.h>

#include <random>

#include "drawing/draw_test_support.h"
#include "vimo/geometry/point.h"

using namespace Quarnel;
using namespace draw_test;

TEST(DrawColors, ConstantsDefaultsAndBlending) {
  const DrawColor constants[] = {DefaultColor, BlackColor, WhiteColor,
                                 GreyColor,    RedColor,   BlueColor};
  const DrawColor values[] = {{-1, -1, -1},    {0, 0, 0},   {255, 255, 255},
                              {127, 127, 127}, {255, 0, 0}, {0, 0, 255}};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(constants[i], values[i]) << i;

  Surface s(6, 4);
  s.draw.DrawPoint(0, 0, DefaultColor, 1.0);  // the pen starts black
  EXPECT_EQ(s.At(0, 0), Px(0, 0, 0));
  s.draw.SetPenColor(DrawColor{1, 2, 3});
  s.draw.DrawPoint(1, 0, DefaultColor, 1.0);
  s.draw.DrawLine(2, 0, 2, 0, DefaultColor);
  EXPECT_EQ(s.At(1, 0), Px(1, 2, 3));
  EXPECT_EQ(s.At(2, 0), Px(1, 2, 3));
  // Components keep their low byte; only (-1, -1, -1) is the default colour.
  s.draw.DrawPoint(3, 0, DrawColor{256 + 5, -2, 0}, 1.0);
  EXPECT_EQ(s.At(3, 0), Px(5, 254, 0));
  s.draw.DrawPoint(4, 0, DrawColor{-1, -1, 0}, 1.0);
  EXPECT_EQ(s.At(4, 0), Px(255, 255, 0));
  // The default fill of filled shapes is the background colour.
  s.draw.SetBackgroundColor(DrawColor{9, 8, 7});
  s.draw.FillRectangle(0, 1, 3, 3, RedColor, DefaultColor);
  EXPECT_EQ(s.At(0, 1), Px(255, 0, 0));
  EXPECT_EQ(s.At(1, 2), Px(9, 8, 7));

  // 0.75 * old + 0.25 * new per channel, halves rounding up; opacity clamped to [0, 1].
  const EC24 old{100, 200, 0};
  const DrawColor add{200, 0, 255};
  struct Case {
    double opacity;
    DrawColor colour;
    EC24 expected;
  } cases[] = {{0.25, add, Px(125, 150, 64)},
               {1.7, add, Px(200, 0, 255)},
               {-0.5, add, old},
               {0.5, DrawColor{101, 201, 1}, Px(101, 201, 1)},
               {std::numeric_limits<double>::infinity(), add, Px(200, 0, 255)}};
  for (const Case& c : cases) {
    *s.image.GetImagePtr(5, 3) = old;
    s.draw.DrawPoint(5, 3, c.colour, c.opacity);
    EXPECT_EQ(s.At(5, 3), c.expected) << c.opacity;
  }
  EXPECT_EQ(EGetError(), E_OK);
  *s.image.GetImagePtr(5, 3) = old;
  s.draw.DrawPoint(5, 3, add, std::nan(""));
  ExpectRefused("ImageDrawAdapter::DrawPoint");
  EXPECT_EQ(s.At(5, 3), old);
  // Outside the canvas: nothing, and no error.
  const int before = Count(s.image, kPaper);
  s.draw.DrawPoint(-1, 0, add, 1.0);
  s.draw.DrawPoint(6, 0, add, 1.0);
  s.draw.DrawPoint(0, 4, add, 1.0);
  s.draw.DrawPoint(INT_MIN, INT_MAX, add, 1.0);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(Count(s.image, kPaper), before);
}

// Every drawn pixel lies within half a pixel of the ideal line along the minor axis, and every
// major-axis position whose ideal pixel is surely inside holds a pixel.
static void ExpectLine(Surface& s, int64_t x0, int64_t y0, int64_t x1, int64_t y1) {
  int w = s.image.GetWidth(), h = s.image.GetHeight();
  long double dx = x1 - x0, dy = y1 - y0;
  bool xMajor = std::fabs(static_cast<double>(dx)) >= std::fabs(static_cast<double>(dy));
  int n = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (s.At(x, y) != kInk) continue;
      ++n;
      if (xMajor && dx == 0) continue;
      long double t = xMajor ? (x - x0) / dx : (y - y0) / dy;
      long double off = xMajor ? y0 + t * dy - y : x0 + t * dx - x;
      ASSERT_TRUE(t >= 0 && t <= 1) << x << "," << y;
      ASSERT_LE(std::fabs(static_cast<double>(off)), 0.5 + 1e-9) << x << "," << y;
    }
  int expected = 0;
  for (int64_t a = 0; a < (xMajor ? w : h); ++a) {
    if (xMajor && dx == 0 && a != x0) continue;
    long double t = xMajor ? (dx == 0 ? 0 : (a - x0) / dx) : (a - y0) / dy;
    long double b = xMajor ? y0 + t * dy : x0 + t * dx;
    if (t >= 0 && t <= 1 && b > 0.5 && b < (xMajor ? h : w) - 1.5) ++expected;
  }
  EXPECT_GE(n, expected);
  EXPECT_LE(n, xMajor ? w : h);
}

TEST(DrawLine, IncludesBothEndsFollowsTheIdealLineAndClips) {
  Surface s(9, 7);
  s.draw.DrawLine(1, 1, 7, 1, kInkColor);
  EXPECT_EQ(Count(s.image, kInk), 7);
  s.Clear();
  s.draw.DrawLine(4, 6, 4, 0, kInkColor);
  EXPECT_EQ(Count(s.image, kInk), 7);
  const std::vector<std::string> expected = {"#........", ".##......", "...##....", ".....##..",
                                             ".......##", ".........", "........."};
  for (bool reversed : {false, true}) {  // the same pixels whichever end comes first
    s.Clear();
    if (reversed)
      s.draw.DrawLine(8, 4, 0, 0, kInkColor);
    else
      s.draw.DrawLine(0, 0, 8, 4, kInkColor);
    EXPECT_EQ(Art(s.image), expected);
  }
  s.Clear();
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
    for (int e = 0; e < 2; ++e) {  // both end points, when inside, are drawn
      const int x = e ? x1 : x0, y = e ? y1 : y0;
      if (x >= 0 && x < 20 && y >= 0 && y < 15) {
        EXPECT_EQ(t.At(x, y), kInk) << x << "," << y;
      }
    }
  }

  // From far outside, at every edge: exactly what the visible part would draw.
  const int far[][4] = {{INT_MIN, 5, INT_MAX, 5},
                        {7, INT_MIN, 7, INT_MAX},
                        {INT_MIN, INT_MIN, INT_MAX, INT_MAX},
                        {INT_MAX, INT_MIN, INT_MIN, INT_MAX},
                        {-1000000000, 3, 1000000000, 9},
                        {2, -2000000000, 11, 2000000000},
                        {-3, -3, 40, 25},
                        {INT_MAX, INT_MAX, INT_MAX - 1, INT_MAX}};
  for (const auto& c : far) {
    Surface f(16, 12);
    f.draw.DrawLine(c[0], c[1], c[2], c[3], kInkColor);
    ExpectLine(f, c[0], c[1], c[2], c[3]);
    EXPECT_EQ(EGetError(), E_OK);
  }
  Surface f(16, 12);
  f.draw.DrawLine(INT_MIN, 5, INT_MAX, 5, kInkColor);
  EXPECT_EQ(Count(f.image, kInk), 16);
  f.Clear();
  f.draw.DrawLine(INT_MIN, INT_MIN, INT_MAX, INT_MAX, kInkColor);
  EXPECT_EQ(Count(f.image, kInk), 12);  // the diagonal x == y
  for (int i = 0; i < 12; ++i) EXPECT_EQ(f.At(i, i), kInk);
  f.Clear();
  f.draw.DrawLine(-50, 20, 70, 30, kInkColor);  // entirely below the canvas
  f.draw.DrawLine(20, -50, 30, -1, kInkColor);  // entirely to the right and above
  EXPECT_EQ(Count(f.image, kInk), 0);
}

TEST(DrawRectangle, OutlineFillClippingAndNegativeSizes) {
  Surface s(10, 8);
  s.draw.DrawRectangle(2, 1, 5, 4, kInkColor);
  const std::vector<std::string> outline = {"..........", "..#####...", "..#...#...", "..#...#...",
                                            "..#####...", "..........", "..........", ".........."};
  EXPECT_EQ(Art(s.image), outline);
  s.draw.FillRectangle(2, 1, 5, 4, DefaultColor, WhiteColor);
  EXPECT_EQ(Count(s.image, Px(0, 0, 0)), 14);
  EXPECT_EQ(Count(s.image, kWhite), 6);
  EXPECT_EQ(s.Bounds(kWhite).minX, 3);
  EXPECT_EQ(s.Bounds(kWhite).maxY, 3);
  // Widths of one and two are all outline; zero draws nothing.
  Surface t(6, 6);
  t.draw.FillRectangle(1, 1, 1, 3, kInkColor, WhiteColor);
  t.draw.FillRectangle(3, 1, 2, 2, kInkColor, WhiteColor);
  t.draw.FillRectangle(0, 0, 0, 5, WhiteColor, WhiteColor);
  t.draw.DrawRectangle(0, 0, 5, 0, WhiteColor);
  EXPECT_EQ(Count(t.image, kInk), 3 + 4);
  EXPECT_EQ(Count(t.image, kWhite), 0);

  Surface c(8, 6);
  c.draw.FillRectangle(-1000000000, -1000000000, 2000000000, 2000000000, kInkColor, WhiteColor);
  EXPECT_EQ(Count(c.image, kWhite), 48);  // far larger than the canvas: only the fill shows
  c.Clear();
  c.draw.DrawRectangle(-3, -2, 6, 5, kInkColor);            // right side x = 2, bottom y = 2
  c.draw.DrawRectangle(5, 3, INT_MAX, INT_MAX, kInkColor);  // left side x = 5, top y = 3
  const std::vector<std::string> straddling = {"..#.....", "..#.....", "###.....",
                                               ".....###", ".....#..", ".....#.."};
  EXPECT_EQ(Art(c.image), straddling);
  c.draw.DrawRectangle(INT_MAX, INT_MAX, INT_MAX, INT_MAX, kInkColor);
  c.draw.FillRectangle(INT_MIN, INT_MIN, INT_MAX, INT_MAX, kInkColor, kInkColor);
  EXPECT_EQ(EGetError(), E_OK);
  c.draw.DrawRectangle(1, 1, -2, 3, kInkColor);
  ExpectRefused("ImageDrawAdapter::DrawRectangle");
  c.draw.FillRectangle(1, 1, 2, INT_MIN, kInkColor, kInkColor);
  ExpectRefused("ImageDrawAdapter::FillRectangle");
  EXPECT_EQ(Art(c.image), straddling);
}

// The filled ellipse: extent exactly the box, symmetric, outline = disc pixels with a 4-neighbour
// outside the disc, fill = the rest; the outline alone is the border of the same disc.
static void ExpectEllipse(int x, int y, int w, int h) {
  SCOPED_TRACE(::testing::Message() << "ellipse " << x << "," << y << " " << w << "x" << h);
  Surface s(48, 40), o(48, 40);
  s.draw.FillEllipse(x, y, w, h, kInkColor, WhiteColor);
  o.draw.DrawEllipse(x, y, w, h, kInkColor);
  auto in = [&](int px, int py) {
    return px >= 0 && py >= 0 && px < 48 && py < 40 &&
           (s.At(px, py) == kInk || s.At(px, py) == kWhite);
  };
  int minX = 1000, maxX = -1, minY = 1000, maxY = -1;
  for (int py = 0; py < 40; ++py)
    for (int px = 0; px < 48; ++px) {
      EXPECT_EQ(o.At(px, py) == kInk, s.At(px, py) == kInk);
      if (!in(px, py)) continue;
      minX = std::min(minX, px), maxX = std::max(maxX, px);
      minY = std::min(minY, py), maxY = std::max(maxY, py);
      EXPECT_TRUE(in(2 * x + w - px, py) && in(px, 2 * y + h - py)) << px << "," << py;
      bool border = !in(px - 1, py) || !in(px + 1, py) || !in(px, py - 1) || !in(px, py + 1);
      EXPECT_EQ(s.At(px, py) == kInk, border) << px << "," << py;
      // Inside the ellipse of semi-axes w/2 + 1/2, h/2 + 1/2.
      double ex = (px - (x + w / 2.0)) / (w / 2.0 + 0.5),
             ey = (py - (y + h / 2.0)) / (h / 2.0 + 0.5);
      EXPECT_LE(ex * ex + ey * ey, 1.0 + 1e-9);
    }
  EXPECT_EQ(minX, x);
  EXPECT_EQ(maxX, x + w);
  EXPECT_EQ(minY, y);
  EXPECT_EQ(maxY, y + h);
}

TEST(DrawEllipse, PatternsFillsInsideOutlinesAndClipping) {
  Surface s(7, 7);
  s.draw.DrawEllipse(1, 1, 4, 4, kInkColor);
  s.draw.DrawEllipse(6, 0, 0, 5, kInkColor);  // degenerate: a vertical line
  EXPECT_EQ(Art(s.image), (std::vector<std::string>{"......#", "..###.#", ".#...##", ".#...##",
                                                    ".#...##", "..###.#", "......."}));
  for (const auto& e : {std::array<int, 4>{3, 4, 30, 20},
                        {10, 2, 11, 33},
                        {20, 20, 1, 1},
                        {5, 5, 2, 9},
                        {0, 0, 47, 39},
                        {5, 5, 0, 0},
                        {3, 3, 9, 0}})
    ExpectEllipse(e[0], e[1], e[2], e[3]);

  Surface c(20, 16);
  // A circle of radius 10^9 centred far left: its right edge crosses the canvas at x = 10.
  c.draw.FillEllipse(-2000000000 + 10, -1000000000 + 8, 2000000000, 2000000000, kInkColor,
                     WhiteColor);
  for (int y = 0; y < 16; ++y) {
    EXPECT_EQ(c.At(10, y), kInk) << y;
    EXPECT_EQ(c.At(9, y), kWhite) << y;
    EXPECT_EQ(c.At(11, y), kPaper) << y;
  }
  c.Clear();
  c.draw.FillEllipse(INT_MIN, INT_MIN, INT_MAX, INT_MAX, kInkColor, WhiteColor);
  c.draw.DrawEllipse(INT_MAX, INT_MAX, INT_MAX, INT_MAX, kInkColor);
  c.draw.DrawEllipse(-100, 5, 50, 5, kInkColor);
  EXPECT_EQ(Count(c.image, kPaper), 20 * 16);
  c.draw.FillEllipse(-490, -492, 1000, 1000, kInkColor, WhiteColor);  // covers the canvas
  EXPECT_EQ(Count(c.image, kWhite) + Count(c.image, kInk), 20 * 16);
  EXPECT_EQ(EGetError(), E_OK);
  c.draw.DrawEllipse(0, 0, -1, 4, kInkColor);
  ExpectRefused("ImageDrawAdapter::DrawEllipse");
  c.draw.FillEllipse(0, 0, 4, -1, kInkColor, kInkColor);
  ExpectRefused("ImageDrawAdapter::FillEllipse");
}

TEST(DrawArc, KeepsTheOutlineBetweenItsEndPoints) {
  // Circle of radius 10 centred on (20, 20); y grows downwards, so from angle 0 to pi/2 is the
  // lower right quarter.
  Surface full(41, 41), quarter(41, 41), back(41, 41), all(41, 41);
  full.draw.DrawEllipse(10, 10, 20, 20, kInkColor);
  quarter.draw.DrawArc(10, 10, 20, 20, 0.0, kPi / 2, kInkColor);
  back.draw.DrawArc(10, 10, 20, 20, 0.0, -kPi / 2, kInkColor);
  all.draw.DrawArc(10, 10, 20, 20, 1.0, 2 * kPi, kInkColor);
  EXPECT_EQ(Art(all.image), Art(full.image));
  int nq = 0, nb = 0;
  for (int y = 0; y < 41; ++y)
    for (int x = 0; x < 41; ++x) {
      if (quarter.At(x, y) == kInk) {
        ++nq;
        EXPECT_TRUE(full.At(x, y) == kInk && x >= 20 && y >= 20) << x << "," << y;
      }
      if (back.At(x, y) == kInk) {
        ++nb;
        EXPECT_TRUE(full.At(x, y) == kInk && x >= 20 && y <= 20) << x << "," << y;
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
  mid.draw.DrawArc(INT_MIN, INT_MIN, INT_MAX, INT_MAX, 0.0, 7.0, kInkColor);
  mid.draw.DrawArc(-1000000000, -5, 2000000000, 10, 0.0, kPi, kInkColor);
  EXPECT_EQ(EGetError(), E_OK);
  mid.draw.DrawArc(10, 10, 20, 20, std::nan(""), 1.0, kInkColor);
  ExpectRefused("ImageDrawAdapter::DrawArc");
  mid.draw.DrawArc(10, 10, -20, 20, 0.0, 1.0, kInkColor);
  ExpectRefused("ImageDrawAdapter::DrawArc");
}

TEST(DrawPolygon, RectanglesPointsAndEvenOddFills) {
  const EPoint square[] = {EPoint(2, 2), EPoint(7, 2), EPoint(7, 6), EPoint(2, 6)};
  Surface a(10, 9), b(10, 9);
  a.draw.FillPolygon(square, 4, kInkColor, WhiteColor);
  b.draw.FillRectangle(2, 2, 6, 5, kInkColor, WhiteColor);
  EXPECT_EQ(Art(a.image), Art(b.image));
  EXPECT_EQ(Count(a.image, kWhite), 4 * 3);
  // Points round to the nearest pixel; one point is a pixel, two a line.
  Surface c(10, 9);
  const EPoint rounded[] = {EPoint(2.4f, 2.6f), EPoint(8.5f, 2.6f)};
  c.draw.DrawPolygon(rounded, 1, kInkColor);
  EXPECT_EQ(Count(c.image, kInk), 1);
  EXPECT_EQ(c.At(2, 3), kInk);
  c.draw.DrawPolygon(rounded, 2, kInkColor);
  EXPECT_EQ(Count(c.image, kInk), 8);  // (2, 3) to (9, 3)

  // A triangle: every fill pixel inside its row's outline and its centre inside the triangle.
  const EPoint tri[] = {EPoint(3, 2), EPoint(36, 9), EPoint(11, 27)};
  Surface s(40, 30);
  s.draw.FillPolygon(tri, 3, kInkColor, WhiteColor);
  for (const EPoint& p : tri) EXPECT_EQ(s.At(int(p.GetX()), int(p.GetY())), kInk);
  auto side = [&](int i, double x, double y) {
    const EPoint &p = tri[i], &q = tri[(i + 1) % 3];
    return (q.GetX() - p.GetX()) * (y - p.GetY()) - (q.GetY() - p.GetY()) * (x - p.GetX());
  };
  int filled = 0;
  for (int y = 0; y < 30; ++y) {
    const Surface::Box row = s.Bounds(kInk, y, y + 1);
    for (int x = 0; x < 40; ++x) {
      if (s.At(x, y) != kWhite) continue;
      ++filled;
      EXPECT_TRUE(row.minX < x && x < row.maxX) << x << "," << y;
      const double s0 = side(0, x, y), s1 = side(1, x, y), s2 = side(2, x, y);
      EXPECT_TRUE((s0 >= 0 && s1 >= 0 && s2 >= 0) || (s0 <= 0 && s1 <= 0 && s2 <= 0));
    }
  }
  EXPECT_GT(filled, 300);  // the area (440.5) less the border
  EXPECT_LT(filled, 441);
  // A five-pointed star drawn in one stroke: its middle is outside by the even-odd rule.
  EPoint star[5];
  for (int k = 0; k < 5; ++k) {
    double t = -kPi / 2 + k * 4 * kPi / 5;
    star[k] = EPoint(float(20 + 15 * std::cos(t)), float(15 + 15 * std::sin(t)));
  }
  Surface t(40, 32);
  t.draw.FillPolygon(star, 5, kInkColor, WhiteColor);
  EXPECT_EQ(t.At(20, 15), kPaper);
  EXPECT_EQ(t.At(20, 3), kWhite);
  EXPECT_EQ(EGetError(), E_OK);
}

TEST(DrawPolygon, ClipsFarPointsAndRefusesBadLists) {
  Surface s(12, 10);
  const EPoint huge[] = {EPoint(-1e9f, -1e9f), EPoint(1e9f, -1e9f), EPoint(0, 1e9f)};
  s.draw.FillPolygon(huge, 3, kInkColor, WhiteColor);
  EXPECT_EQ(Count(s.image, kWhite), 120);
  const EPoint edge[] = {EPoint(-5, 5), EPoint(5, -5), EPoint(30, 5)};
  s.draw.DrawPolygon(edge, 3, kInkColor);
  EXPECT_EQ(s.At(0, 0), kInk);  // the edge (-5, 5)-(5, -5) crosses (0, 0)
  EXPECT_EQ(EGetError(), E_OK);
  s.Clear();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const EPoint bad[][3] = {{EPoint(0, 0), EPoint(nan, 1), EPoint(5, 5)},
                           {EPoint(0, 0), EPoint(1, inf), EPoint(5, 5)},
                           {EPoint(0, 0), EPoint(3e9f, 1), EPoint(5, 5)},
                           {EPoint(-3e9f, 0), EPoint(1, 1), EPoint(5, 5)}};
  for (const auto& list : bad) {
    s.draw.FillPolygon(list, 3, kInkColor, WhiteColor);
    ExpectRefused("ImageDrawAdapter::FillPolygon");
  }
  s.draw.DrawPolygon(nullptr, 3, kInkColor);
  ExpectRefused("ImageDrawAdapter::DrawPolygon");
  s.draw.DrawPolygon(huge, -1, kInkColor);
  ExpectRefused("ImageDrawAdapter::DrawPolygon");
  s.draw.FillPolygon(nullptr, 0, kInkColor, kInkColor);  // an empty list draws nothing
  s.draw.DrawPolygon(huge, 0, kInkColor);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(Count(s.image, kPaper), 120);
}

TEST(DrawText, ExtentAndCentredLines) {
  Surface s(40, 30);
  struct Case {
    const char* text;
    int width, height;
  } cases[] = {{"AB", 11, 9}, {"W\nWWW", 17, 19}, {"", 0, 0}, {"ab\r\n", 11, 19}};
  for (const Case& c : cases) {
    EXPECT_EQ(s.draw.GetTextExtent(c.text).Width, c.width) << c.text;
    EXPECT_EQ(s.draw.GetTextExtent(c.text).Height, c.height) << c.text;
  }
  // Each line centred in the widest: "W" is offset by (17 - 5) / 2 = 6.
  s.draw.DrawText("W\nWWW", 3, 2, kInkColor);
  const Surface::Box first = s.Bounds(kInk, 0, 13), second = s.Bounds(kInk, 13);
  EXPECT_EQ(first.minX, 3 + 2 + 6);
  EXPECT_EQ(first.maxX, 3 + 2 + 6 + 4);
  EXPECT_EQ(first.minY, 2 + 1);
  EXPECT_EQ(second.minX, 3 + 2);
  EXPECT_EQ(second.maxX, 3 + 2 + 16);
  EXPECT_EQ(second.minY, 2 + 1 + 10);
  EXPECT_LE(second.maxY, 2 + 1 + 18);
  EXPECT_EQ(EGetError(), E_OK);
}

TEST(DrawText, InkStaysInsideTheExtentAndTheFontIsComplete) {
  std::string all;
  for (int c = 32; c < 127; ++c) all += static_cast<char>(c);
  all += "\ngjpqy|_\n\x01\xff";
  Surface s(600, 40);
  TextExtent e = s.draw.GetTextExtent(all.c_str());
  s.draw.DrawText(all.c_str(), 0, 0, kInkColor);
  const Surface::Box b = s.Bounds(kInk);
  EXPECT_EQ(b.minX, 2 + 6 + 2);        // '!' after the space, centre column of its cell
  EXPECT_EQ(b.maxX, 2 + e.Width - 1);  // '~' reaches the last column of its cell
  EXPECT_EQ(b.minY, 1);
  EXPECT_LE(b.maxY, e.Height);
  Surface d(20, 20);  // descenders reach the last row of a line's extent
  d.draw.DrawText("gy", 0, 0, kInkColor);
  EXPECT_EQ(d.Bounds(kInk).maxY, d.draw.GetTextExtent("gy").Height);
  // Every printable glyph but the space has ink, and no two glyphs look alike.
  std::vector<std::vector<std::string>> seen;
  for (int c = 33; c < 127; ++c) {
    Surface g(9, 12);
    char text[2] = {static_cast<char>(c), 0};
    g.draw.DrawText(text, 0, 0, kInkColor);
    EXPECT_GT(Count(g.image, kInk), 0) << static_cast<char>(c);
    const std::vector<std::string> art = Art(g.image);
    EXPECT_EQ(std::find(seen.begin(), seen.end(), art), seen.end()) << static_cast<char>(c);
    seen.push_back(art);
  }
}

TEST(DrawText, BoxClippingAndBadInput) {
  Surface s(30, 16);
  s.draw.SetBackgroundColor(DrawColor{1, 1, 1});
  s.draw.DrawTextBox("Hi\nyou", 4, 2, kInkColor, DefaultColor);
  TextExtent e = s.draw.GetTextExtent("Hi\nyou");
  // The box covers (4, 2) to (4 + width + 3, 2 + height + 1), its border in the background.
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 30; ++x) {
      const int right = 4 + e.Width + 3, bottom = 2 + e.Height + 1;
      const bool inBox = x >= 4 && x <= right && y >= 2 && y <= bottom;
      const bool border = inBox && (x == 4 || y == 2 || x == right || y == bottom);
      const EC24 p = s.At(x, y);
      EXPECT_TRUE(!inBox   ? p == kPaper
                  : border ? p == Px(1, 1, 1)
                           : (p == kInk || p == Px(1, 1, 1)))
          << x << "," << y;
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
  ExpectRefused("ImageDrawAdapter::DrawText");
  s.draw.DrawTextBox(nullptr, 0, 0, kInkColor, kInkColor);
  ExpectRefused("ImageDrawAdapter::DrawTextBox");
  TextExtent none = s.draw.GetTextExtent(nullptr);
  ExpectRefused("ImageDrawAdapter::GetTextExtent");
  EXPECT_EQ(none.Width, 0);
  EXPECT_EQ(none.Height, 0);
}

TEST(DrawImage, EveryPixelTypeTintsOpacityAndRegions) {
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
  s.draw.DrawImage(&g16, 2, 0, 1.0, DefaultColor);  // the high byte
  s.draw.DrawImage(&g32, 3, 0, 1.0, DefaultColor);
  s.draw.DrawImage(&c24, 4, 0, 1.0, RedColor);  // colour ignores the tint
  s.draw.DrawImage(&g8, 0, 1, 1.0, DrawColor{255, 128, 0});
  EXPECT_EQ(EGetError(), E_OK);
  const EC24 expected[][6] = {{Px(0, 0, 0), Px(200, 200, 200), Px(0xab, 0xab, 0xab),
                               Px(0x12, 0x12, 0x12), Px(1, 2, 3), kPaper},
                              {Px(0, 0, 0), Px(200, 100, 0), kPaper, kPaper, Px(4, 5, 6), kPaper}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(s.At(x, y), expected[y][x]) << x << "," << y;
  // Opacity blends with what is there, clamped to at most 1.
  Surface b(2, 1);
  b.draw.DrawImage(&g8, 0, 0, 0.5, DefaultColor);
  EXPECT_EQ(b.At(0, 0), Px(5, 10, 15));
  EXPECT_EQ(b.At(1, 0), Px(105, 110, 115));
  b.draw.DrawImage(&g8, 0, 0, 3.0, DefaultColor);
  EXPECT_EQ(b.At(1, 0), Px(200, 200, 200));
  b.draw.DrawImage(&g8, 0, 0, -1.0, RedColor);
  EXPECT_EQ(b.At(1, 0), Px(200, 200, 200));

  EImage<EBW8> source(8, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) source.SetPixel(static_cast<EBW8>(10 * y + x), x, y);
  EROI<EBW8> window;
  window.Attach(&source);
  window.SetPlacement(2, 3, 3, 2);  // values 32..34, 42..44
  Surface r(5, 5);
  r.draw.DrawImage(&window, -1, 4, 1.0, DefaultColor);  // clipped left and bottom
  EXPECT_EQ(r.At(0, 4), Px(33, 33, 33));
  EXPECT_EQ(r.At(1, 4), Px(34, 34, 34));
  r.draw.DrawImage(&source, INT_MAX, INT_MIN, 1.0, DefaultColor);
  r.draw.DrawImage(&source, INT_MIN, INT_MAX, 1.0, DefaultColor);
  EXPECT_EQ(Count(r.image, kPaper), 23);
  EXPECT_EQ(EGetError(), E_OK);
  // A region of the target drawn over itself shows its original pixels.
  Surface self(4, 1);
  for (int x = 0; x < 4; ++x) *self.image.GetImagePtr(x, 0) = Px(x, x, x);
  EROI<EC24> part;
  part.Attach(&self.image);
  part.SetPlacement(0, 0, 3, 1);
  self.draw.DrawImage(&part, 1, 0, 1.0, DefaultColor);
  for (int x = 1; x < 4; ++x) EXPECT_EQ(self.At(x, 0), Px(x - 1, x - 1, x - 1));
  // Another pixel type, a void region, null, a NaN opacity: refused, nothing drawn.
  EImage<ESubPixel64> table(2, 2);
  EROI<EBW8> detached;
  EImage<EBW8> empty;
  for (EGenericROI* bad : std::vector<EGenericROI*>{&table, &detached, &empty, nullptr}) {
    r.draw.DrawImage(bad, 0, 0, 1.0, DefaultColor);
    ExpectRefused("ImageDrawAdapter::DrawImage");
  }
  r.draw.DrawImage(&source, 0, 0, std::nan(""), DefaultColor);
  ExpectRefused("ImageDrawAdapter::DrawImage");
  EXPECT_EQ(Count(r.image, kPaper), 23);
}

TEST(ImageDrawAdapter, NullAndEmptyTargets) {
  EOk();
  ImageDrawAdapter none(nullptr);
  none.DrawLine(0, 0, 5, 5, RedColor);
  ExpectRefused("ImageDrawAdapter::DrawLine");
  none.FillEllipse(0, 0, 5, 5, RedColor, RedColor);
  ExpectRefused("ImageDrawAdapter::FillEllipse");
  EXPECT_EQ(none.GetTextExtent("abc").Width, 17);  // needs no target
  EXPECT_EQ(EGetError(), E_OK);
  EImage<EC24> empty;
  ImageDrawAdapter draw(&empty);
  draw.DrawLine(0, 0, 5, 5, RedColor);
  draw.FillEllipse(0, 0, 5, 5, RedColor, RedColor);
  draw.DrawTextBox("x", 0, 0, RedColor, RedColor);
  draw.DrawPoint(0, 0, RedColor, 1.0);
  EXPECT_EQ(EGetError(), E_OK);
  empty.SetSize(3, 3);  // the target may change size between calls
  draw.DrawPoint(2, 2, RedColor, 1.0);
  EXPECT_EQ(empty.GetPixel(2, 2), Px(255, 0, 0));
}
