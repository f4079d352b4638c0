// The device-context surface against the image surface: the same calls drawn into a memory
// device context over a 32-bit DIB section and into an RGB image, pixel for pixel where the two
// rasterisers agree by contract, within one pixel where they may differ; text, restored context
// state, shape trees through the HDC form, bad input and released GDI objects.
#include <gtest/gtest.h>

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#undef DrawText  // the adapters' operation, not the USER32 macro

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "vimo/vimo.h"

using namespace Quarnel;

namespace {

const int kW = 64, kH = 48;
const EC24 kPaper{10, 20, 30};
const DrawColor kInk{200, 100, 50}, kBackground{240, 230, 220}, kFill{0, 160, 90};

// A memory device context holding a top-down 32-bit DIB section.
struct Dib {
  Dib(int width, int height) : w(width), h(height) {
    dc = CreateCompatibleDC(nullptr);
    BITMAPINFO info;
    std::memset(&info, 0, sizeof(info));
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* p = nullptr;
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &p, nullptr, 0);
    bits = static_cast<uint32_t*>(p);
    old = SelectObject(dc, bitmap);
  }
  ~Dib() {
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
  EC24 At(int x, int y) const {
    uint32_t v = bits[y * w + x];
    return EC24{uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
  }
  void Fill(EC24 c) {
    for (int i = 0; i < w * h; ++i) bits[i] = uint32_t(c.C0) << 16 | uint32_t(c.C1) << 8 | c.C2;
  }
  int w, h;
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ old;
  uint32_t* bits = nullptr;
};

// The same paper, pen, text and background colours on both surfaces.
struct Pair {
  Pair() : image(kW, kH), picture(&image), dib(kW, kH), gdi(dib.dc) {
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) image.SetPixel(kPaper, x, y);
    dib.Fill(kPaper);
    picture.SetPenColor(kInk);
    picture.SetBackgroundColor(kBackground);
    SelectObject(dib.dc, GetStockObject(DC_PEN));
    SetDCPenColor(dib.dc, RGB(kInk.Red, kInk.Green, kInk.Blue));
    SetTextColor(dib.dc, RGB(kInk.Red, kInk.Green, kInk.Blue));
    SetBkColor(dib.dc, RGB(kBackground.Red, kBackground.Green, kBackground.Blue));
  }
  EImage<EC24> image;
  ImageDrawAdapter picture;
  Dib dib;
  GDIDrawAdapter gdi;
};

bool NearbyHas(const std::function<EC24(int, int)>& at, int x, int y, EC24 c) {
  for (int dy = -1; dy <= 1; ++dy)
    for (int dx = -1; dx <= 1; ++dx) {
      int u = x + dx, v = y + dy;
      if (u >= 0 && v >= 0 && u < kW && v < kH && at(u, v) == c) return true;
    }
  return false;
}

// Pixels that differ, or, within one pixel: pixels of one surface whose colour the other has
// nowhere in their 3 x 3 neighbourhood (both ways).
int Mismatches(Pair& p, bool exact) {
  std::function<EC24(int, int)> a = [&](int x, int y) { return p.image.GetPixel(x, y); };
  std::function<EC24(int, int)> b = [&](int x, int y) { return p.dib.At(x, y); };
  int bad = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      if (exact)
        bad += !(a(x, y) == b(x, y));
      else
        bad += !NearbyHas(b, x, y, a(x, y)) + !NearbyHas(a, x, y, b(x, y));
    }
  return bad;
}

// Live GDI objects of the process: GetGuiResources where it counts them (Windows); else how many
// more pens can be created (Wine), which drops by one for every object left behind.
long GdiObjectsInUse() {
  DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (count != 0) return long(count);
  std::vector<HGDIOBJ> pens;
  while (pens.size() < 200000) {
    HGDIOBJ pen = CreatePen(PS_SOLID, 0, 0);
    if (pen == nullptr) break;
    pens.push_back(pen);
  }
  for (HGDIOBJ pen : pens) DeleteObject(pen);
  return -long(pens.size());
}

struct Case {
  const char* name;
  bool exact;
  std::function<void(DrawAdapter&)> draw;
};

EC24 Rgb(const DrawColor& c) { return EC24{uint8_t(c.Red), uint8_t(c.Green), uint8_t(c.Blue)}; }

}  // namespace

TEST(GDIDrawAdapter, EveryOperationMatchesTheImageSurface) {
  EOk();
  EImage<EBW8> grey(9, 7);
  EImage<EC24> colour(5, 4);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 9; ++x) grey.SetPixel(EBW8(x * 28 + y), x, y);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) colour.SetPixel(EC24{uint8_t(50 * x), 7, uint8_t(60 * y)}, x, y);
  const EPoint square[] = {EPoint(4, 4), EPoint(30.4f, 4), EPoint(30, 20.4f), EPoint(4, 20)};
  const EPoint triangle[] = {EPoint(5, 40), EPoint(30, 3), EPoint(58, 33)};
  const EPoint star[] = {EPoint(32, 2), EPoint(44, 44), EPoint(6, 16), EPoint(58, 16),
                         EPoint(20, 44)};
  const double pi = 3.14159265358979323846;
  const std::vector<Case> cases = {
      {"points, opacity, wrapped components, clipping", true,
       [](DrawAdapter& d) {
         d.DrawPoint(3, 4, kFill, 1.0);
         d.DrawPoint(5, 4, RedColor, 0.3);
         d.DrawPoint(6, 4, DefaultColor, 0.5);
         d.DrawPoint(7, 4, BlueColor, 2.0);
         d.DrawPoint(8, 4, RedColor, -1.0);
         d.DrawPoint(9, 4, DrawColor{256 + 10, 20, -2}, 1.0);
         d.DrawPoint(-1, 0, RedColor, 1.0);
         d.DrawPoint(kW, kH - 1, RedColor, 0.5);
       }},
      {"straight and diagonal lines both ways, clipped", true,
       [](DrawAdapter& d) {
         d.DrawLine(2, 2, 40, 2, kFill);
         d.DrawLine(40, 5, 2, 5, DefaultColor);
         d.DrawLine(3, 8, 3, 30, RedColor);
         d.DrawLine(6, 30, 6, 8, BlueColor);
         d.DrawLine(10, 10, 30, 30, kFill);
         d.DrawLine(50, 30, 30, 10, RedColor);
         d.DrawLine(20, 40, 35, 25, BlueColor);
         d.DrawLine(45, 10, 45, 10, kFill);
         d.DrawLine(-30, 44, 100, 44, kFill);
         d.DrawLine(-10, -10, 20, 20, DefaultColor);
       }},
      {"rectangles, fills, default fill, clipping, zero size", true,
       [](DrawAdapter& d) {
         d.DrawRectangle(2, 3, 20, 10, kFill);
         d.FillRectangle(25, 3, 15, 12, RedColor, kFill);
         d.FillRectangle(5, 20, 9, 7, DefaultColor, DefaultColor);
         d.FillRectangle(50, 40, 30, 30, BlueColor, WhiteColor);
         d.DrawRectangle(30, 30, 1, 1, RedColor);
         d.DrawRectangle(30, 35, 0, 5, RedColor);
       }},
      {"axis-aligned polygons, a single point", true,
       [&](DrawAdapter& d) {
         d.DrawPolygon(square, 4, kFill);
         d.FillPolygon(square + 0, 4, RedColor, DefaultColor);
         d.DrawPolygon(triangle, 1, BlueColor);
       }},
      {"images: grey, tinted, colour, clipped, opacity above 1", true,
       [&](DrawAdapter& d) {
         d.DrawImage(&grey, 2, 3, 1.0, DefaultColor);
         d.DrawImage(&grey, 20, 3, 1.0, RedColor);
         d.DrawImage(&colour, 40, 10, 1.5, kFill);
         d.DrawImage(&grey, -4, 44, 1.0, DefaultColor);
       }},
      {"sloped lines", false,
       [](DrawAdapter& d) {
         d.DrawLine(1, 1, 60, 9, kFill);
         d.DrawLine(60, 20, 3, 12, RedColor);
         d.DrawLine(5, 45, 12, 15, BlueColor);
         d.DrawLine(40, 15, 47, 46, DefaultColor);
       }},
      {"ellipses and circles, outlined and filled", false,
       [](DrawAdapter& d) {
         d.DrawEllipse(2, 2, 30, 18, kFill);
         d.FillEllipse(35, 2, 21, 21, RedColor, kFill);
         d.FillEllipse(4, 26, 14, 9, DefaultColor, DefaultColor);
         d.DrawEllipse(25, 28, 2, 2, BlueColor);
         d.DrawEllipse(40, 28, 0, 12, RedColor);
       }},
      {"arcs: quarters, negative, whole, tiny", false,
       [&](DrawAdapter& d) {
         d.DrawArc(4, 4, 36, 36, 0.0, pi / 2, kFill);
         d.DrawArc(4, 4, 36, 36, pi, -pi / 3, RedColor);
         d.DrawArc(30, 6, 28, 16, -2.5, 1.2, BlueColor);
         d.DrawArc(44, 30, 14, 14, 1.0, 7.0, DefaultColor);
         d.DrawArc(10, 30, 12, 12, 0.3, 0.0, RedColor);
       }},
      {"sloped polygons: triangle, even-odd star", false,
       [&](DrawAdapter& d) {
         d.FillPolygon(triangle, 3, RedColor, kFill);
         d.FillPolygon(star, 5, BlueColor, DefaultColor);
       }},
  };
  // The first round lets the system set up what it keeps for the process.
  long objects = 0;
  for (int round = 0; round < 2; ++round) {
    if (round == 1) objects = GdiObjectsInUse();
    for (const Case& c : cases) {
      Pair p;
      c.draw(p.picture);
      c.draw(p.gdi);
      EXPECT_EQ(EGetError(), E_OK) << c.name << ": " << EGetErrorTrace();
      EXPECT_EQ(Mismatches(p, c.exact), 0) << c.name;
    }
  }
  EXPECT_EQ(GdiObjectsInUse(), objects);
}

TEST(GDIDrawAdapter, TranslucentImagesWithinOneStepOfAlpha) {
  EOk();
  EImage<EBW8> grey(20, 10);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) grey.SetPixel(EBW8(13 * x + 3 * y), x, y);
  for (double opacity : {0.5, 0.2, 0.93}) {
    Pair p;
    p.picture.DrawImage(&grey, 30, 20, opacity, kFill);
    p.gdi.DrawImage(&grey, 30, 20, opacity, kFill);
    // AlphaBlend's alpha is the opacity in steps of 1/255: at most one step (255 / 255 / 2)
    // plus rounding apart from the exact blend.
    int worst = 0;
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) {
        EC24 a = p.image.GetPixel(x, y), b = p.dib.At(x, y);
        worst =
            std::max({worst, std::abs(a.C0 - b.C0), std::abs(a.C1 - b.C1), std::abs(a.C2 - b.C2)});
      }
    EXPECT_LE(worst, 2) << opacity;
    EXPECT_FALSE(p.dib.At(35, 25) == kPaper);
    EXPECT_EQ(p.dib.At(29, 25), kPaper);
  }
  EXPECT_EQ(EGetError(), E_OK);
}

TEST(GDIDrawAdapter, TextFitsItsExtentAndLeavesTheContextAsItWas) {
  EOk();
  Pair p;
  HDC dc = p.dib.dc;
  // The caller's context state, all different from what text drawing uses.
  SetTextColor(dc, RGB(1, 2, 3));
  SetBkColor(dc, RGB(4, 5, 6));
  SetBkMode(dc, OPAQUE);
  SetArcDirection(dc, AD_COUNTERCLOCKWISE);
  SetPolyFillMode(dc, WINDING);
  MoveToEx(dc, 7, 9, nullptr);
  HGDIOBJ pen = GetCurrentObject(dc, OBJ_PEN), brush = GetCurrentObject(dc, OBJ_BRUSH);
  HGDIOBJ font = GetCurrentObject(dc, OBJ_FONT);
  long objects = GdiObjectsInUse();

  TextExtent one = p.gdi.GetTextExtent("HgH"), two = p.gdi.GetTextExtent("HgH\nH");
  // 10 points at the context's resolution: a line is at least the em height.
  int em = MulDiv(10, GetDeviceCaps(dc, LOGPIXELSY), 72);
  EXPECT_GE(one.Height, em);
  EXPECT_GT(one.Width, 10);
  EXPECT_EQ(two.Width, one.Width);
  EXPECT_EQ(two.Height, 2 * one.Height);
  TextExtent empty = p.gdi.GetTextExtent("");
  EXPECT_EQ(empty.Width, 0);
  EXPECT_EQ(empty.Height, 0);

  // Drawn text lies in its box and fills it but for the glyphs' side bearings.
  const int x = 6, y = 5;
  p.gdi.DrawText("HgH", x, y, kFill);
  int minX = kW, maxX = -1, minY = kH, maxY = -1, other = 0;
  for (int v = 0; v < kH; ++v)
    for (int u = 0; u < kW; ++u) {
      EC24 c = p.dib.At(u, v);
      if (c == kPaper) continue;
      other += !(c == Rgb(kFill));
      minX = std::min(minX, u), maxX = std::max(maxX, u);
      minY = std::min(minY, v), maxY = std::max(maxY, v);
    }
  EXPECT_EQ(other, 0);  // one colour, no background, no smoothing
  EXPECT_GE(minX, x + 2);
  EXPECT_LE(maxX, x + 2 + one.Width - 1);
  EXPECT_GE(minY, y + 1);
  EXPECT_LE(maxY, y + 1 + one.Height - 1);
  EXPECT_GE(maxX - minX + 1, one.Width - 4);
  EXPECT_GE(maxY - minY + 1, one.Height / 2);

  // A text box fills exactly (x, y)-(x + width + 4, y + height + 2); the default box colour is
  // the context's background colour, the default text colour its text colour.
  p.dib.Fill(kPaper);
  p.gdi.DrawTextBox("HgH", x, y, DefaultColor, DefaultColor);
  int inside = 0, text = 0, outside = 0;
  for (int v = 0; v < kH; ++v)
    for (int u = 0; u < kW; ++u) {
      bool in = u >= x && u < x + one.Width + 4 && v >= y && v < y + one.Height + 2;
      EC24 c = p.dib.At(u, v);
      if (!in) outside += !(c == kPaper);
      if (in) inside += c == (EC24{4, 5, 6}), text += c == (EC24{1, 2, 3});
    }
  EXPECT_EQ(outside, 0);
  EXPECT_GT(text, 10);
  EXPECT_EQ(inside + text, (one.Width + 4) * (one.Height + 2));
  p.gdi.DrawText("", x, y, RedColor);
  p.gdi.DrawTextBox("", 0, 0, RedColor, RedColor);
  EXPECT_EQ(p.dib.At(0, 0), kPaper);
  EXPECT_EQ(EGetError(), E_OK);

  // Every operation leaves the caller's state and selected objects in place.
  const EPoint tri[] = {EPoint(1, 1), EPoint(9, 1), EPoint(5, 8)};
  p.gdi.FillPolygon(tri, 3, RedColor, BlueColor);
  p.gdi.DrawArc(1, 1, 20, 20, 0.5, 1.0, RedColor);
  p.gdi.DrawLine(1, 1, 9, 9, RedColor);
  p.gdi.FillEllipse(1, 1, 9, 9, RedColor, DefaultColor);
  p.gdi.DrawImage(&p.image, 0, 0, 0.5, DefaultColor);
  EXPECT_EQ(GetTextColor(dc), RGB(1, 2, 3));
  EXPECT_EQ(GetBkColor(dc), RGB(4, 5, 6));
  EXPECT_EQ(GetBkMode(dc), OPAQUE);
  EXPECT_EQ(GetArcDirection(dc), AD_COUNTERCLOCKWISE);
  EXPECT_EQ(GetPolyFillMode(dc), WINDING);
  POINT at;
  GetCurrentPositionEx(dc, &at);
  EXPECT_EQ(at.x, 7);
  EXPECT_EQ(at.y, 9);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), pen);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), brush);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), font);
  EXPECT_EQ(GdiObjectsInUse(), objects);
  // The current colour is the pen's, whether a DC pen or a pen of the caller's.
  EXPECT_EQ(p.gdi.GetCurrentColor(), kInk);
  HPEN mine = CreatePen(PS_DASH, 1, RGB(9, 8, 7));
  HGDIOBJ previous = SelectObject(dc, mine);
  EXPECT_EQ(p.gdi.GetCurrentColor(), (DrawColor{9, 8, 7}));
  SelectObject(dc, previous);
  DeleteObject(mine);
}

namespace {

// Draws one shape through both forms into two contexts and compares the pixels; the HDC form is
// called on the concrete class, so that each class must show it.
template <class Shape>
void ExpectSameBothWays(Shape& shape, INS_DRAWING_MODES mode, int daughters, const char* name) {
  Dib a(320, 240), b(320, 240);
  a.Fill(kPaper);
  b.Fill(kPaper);
  shape.Draw(a.dc, mode, daughters);
  GDIDrawAdapter adapter(b.dc);
  shape.Draw(&adapter, mode, daughters);
  int differ = 0, drawn = 0;
  for (int i = 0; i < 320 * 240; ++i) differ += a.bits[i] != b.bits[i];
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x) drawn += !(a.At(x, y) == kPaper);
  EXPECT_EQ(differ, 0) << name;
  if (mode == INS_DRAW_NOMINAL) {
    EXPECT_GT(drawn, 0) << name;
  }
}

}  // namespace

TEST(GDIDrawAdapter, ShapeTreesDrawTheSameThroughTheContext) {
  EOk();
  long objects = GdiObjectsInUse();
  {
    EWorldShape world;
    world.SetSensorSize(320, 240);
    world.SetZoom(1.5f, 1.5f);
    EFrameShape frame(20, 20, 0, 1, 60, 40);
    EPointShape point(40, 30);
    ELineShape line(100, 30, 60, 20);
    ECircleShape circle(EPoint(60, 100), 40, 0, 270);
    ERectangleShape rectangle;
    rectangle.Set(EPoint(130, 100), 40, 25, 10);
    EWedgeShape wedge(EPoint(60, 170), 50, 15, 20, 200);
    EPointGauge pointGauge(150, 30);
    ELineGauge lineGauge;
    lineGauge.Set(EPoint(180, 60), 40, 80);
    ECircleGauge circleGauge;
    circleGauge.Set(EPoint(180, 120), 30, 0.0f, 1);
    ERectangleGauge rectangleGauge;
    rectangleGauge.Set(EPoint(120, 170), 30, 20, 0);
    EWedgeGauge wedgeGauge;
    wedgeGauge.Set(EPoint(170, 170), 40, 10, 0.0f, 1);
    EBGAComponent component;
    component.Set(EPoint(100, 60), 60, 30, 0);
    EBGAArray array;
    array.Set(EPoint(0, 0), 30, 15, 0);
    array.Attach(&component);
    EBGABall model(0, 0, 6, 1, 0);
    model.Clone(&array, 3, 2, 0);
    model.Detach();
    EShape* shapes[] = {&frame,       &point,          &line,       &circle,
                        &rectangle,   &wedge,          &pointGauge, &lineGauge,
                        &circleGauge, &rectangleGauge, &wedgeGauge, &component};
    for (EShape* shape : shapes) {
      shape->Attach(&world);
      shape->SetLabeled(1, 0);
      shape->SetName("tool");
    }
    point.Attach(&frame);
    EXPECT_EQ(EGetError(), E_OK) << EGetErrorTrace();
    ExpectSameBothWays(frame, INS_DRAW_NOMINAL, 0, "frame");
    ExpectSameBothWays(point, INS_DRAW_NOMINAL, 0, "point");
    ExpectSameBothWays(line, INS_DRAW_NOMINAL, 0, "line");
    ExpectSameBothWays(circle, INS_DRAW_NOMINAL, 0, "circle");
    ExpectSameBothWays(rectangle, INS_DRAW_NOMINAL, 0, "rectangle");
    ExpectSameBothWays(wedge, INS_DRAW_NOMINAL, 0, "wedge");
    ExpectSameBothWays(pointGauge, INS_DRAW_NOMINAL, 0, "point gauge");
    ExpectSameBothWays(lineGauge, INS_DRAW_NOMINAL, 0, "line gauge");
    ExpectSameBothWays(circleGauge, INS_DRAW_NOMINAL, 0, "circle gauge");
    ExpectSameBothWays(rectangleGauge, INS_DRAW_NOMINAL, 0, "rectangle gauge");
    ExpectSameBothWays(wedgeGauge, INS_DRAW_NOMINAL, 0, "wedge gauge");
    ExpectSameBothWays(component, INS_DRAW_NOMINAL, 1, "component");
    ExpectSameBothWays(array, INS_DRAW_NOMINAL, 1, "array");
    ExpectSameBothWays(*static_cast<EBGABall*>(array.GetDaughter(0)), INS_DRAW_NOMINAL, 0, "ball");
    ExpectSameBothWays(world, INS_DRAW_NOMINAL, 1, "tree");
    ExpectSameBothWays(world, INS_DRAW_SAMPLING_PATH, 1, "tree, sampling paths");
    EXPECT_EQ(EGetError(), E_OK) << EGetErrorTrace();

    // The world shape's and the frame's own drawings have their context forms too.
    Dib dib(320, 240);
    dib.Fill(kPaper);
    world.DrawGrid(dib.dc);
    world.DrawLandmarks(dib.dc);
    world.DrawCrossGrid(dib.dc, 0, 100, 0, 100, 3, 3);
    frame.DrawCrossGrid(dib.dc, 0, 50, 0, 30, 2, 2);
    world.HalveSegment(dib.dc, EPoint(0, 0), 0, 0, EPoint(100, 100), 150, 150);
    EXPECT_EQ(EGetError(), E_OK) << EGetErrorTrace();

    // A null context draws nothing and says so.
    EOk();
    world.Draw(static_cast<HDC>(nullptr), INS_DRAW_NOMINAL, 1);
    EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
    EOk();
  }
  EXPECT_EQ(GdiObjectsInUse(), objects);
}

TEST(GDIDrawAdapter, BadInputDrawsNothingAndSetsAnError) {
  EOk();
  Pair p;
  GDIDrawAdapter none(nullptr);
  EImage<EBW8> grey(4, 4);
  EImage<EBW8> voidImage;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const float fnan = std::numeric_limits<float>::quiet_NaN();
  const EPoint notFinite[] = {EPoint(1, 1), EPoint(fnan, 5), EPoint(9, 9)};
  const EPoint huge[] = {EPoint(1, 1), EPoint(3e9f, 5), EPoint(9, 9)};
  const EPoint fine[] = {EPoint(1, 1), EPoint(20, 5), EPoint(9, 9)};
  const int big = std::numeric_limits<int>::max();
  const std::vector<std::pair<const char*, std::function<void()>>> cases = {
      {"null context: point", [&] { none.DrawPoint(1, 1, RedColor, 1.0); }},
      {"null context: line", [&] { none.DrawLine(1, 1, 5, 5, RedColor); }},
      {"null context: arc", [&] { none.DrawArc(1, 1, 5, 5, 0, 1, RedColor); }},
      {"null context: rectangle", [&] { none.DrawRectangle(1, 1, 5, 5, RedColor); }},
      {"null context: polygon", [&] { none.DrawPolygon(fine, 3, RedColor); }},
      {"null context: ellipse", [&] { none.DrawEllipse(1, 1, 5, 5, RedColor); }},
      {"null context: fill rectangle", [&] { none.FillRectangle(1, 1, 5, 5, RedColor, RedColor); }},
      {"null context: fill ellipse", [&] { none.FillEllipse(1, 1, 5, 5, RedColor, RedColor); }},
      {"null context: fill polygon", [&] { none.FillPolygon(fine, 3, RedColor, RedColor); }},
      {"null context: text", [&] { none.DrawText("a", 1, 1, RedColor); }},
      {"null context: text box", [&] { none.DrawTextBox("a", 1, 1, RedColor, RedColor); }},
      {"null context: image", [&] { none.DrawImage(&grey, 1, 1, 1.0, RedColor); }},
      {"null context: extent", [&] { none.GetTextExtent("a"); }},
      {"null context: colour", [&] { none.GetCurrentColor(); }},
      {"null text", [&] { p.gdi.DrawText(nullptr, 1, 1, RedColor); }},
      {"null text in a box", [&] { p.gdi.DrawTextBox(nullptr, 1, 1, RedColor, RedColor); }},
      {"null text measured", [&] { p.gdi.GetTextExtent(nullptr); }},
      {"null points", [&] { p.gdi.DrawPolygon(nullptr, 3, RedColor); }},
      {"null points filled", [&] { p.gdi.FillPolygon(nullptr, 3, RedColor, RedColor); }},
      {"negative count", [&] { p.gdi.DrawPolygon(fine, -1, RedColor); }},
      {"points not finite", [&] { p.gdi.FillPolygon(notFinite, 3, RedColor, RedColor); }},
      {"points far away", [&] { p.gdi.DrawPolygon(huge, 3, RedColor); }},
      {"NaN opacity", [&] { p.gdi.DrawPoint(1, 1, RedColor, nan); }},
      {"NaN opacity of an image", [&] { p.gdi.DrawImage(&grey, 1, 1, nan, RedColor); }},
      {"NaN start angle", [&] { p.gdi.DrawArc(1, 1, 9, 9, nan, 1, RedColor); }},
      {"NaN amplitude", [&] { p.gdi.DrawArc(1, 1, 9, 9, 0, nan, RedColor); }},
      {"negative size", [&] { p.gdi.FillRectangle(1, 1, -5, 5, RedColor, RedColor); }},
      {"negative ellipse", [&] { p.gdi.DrawEllipse(1, 1, 5, -5, RedColor); }},
      {"huge line", [&] { p.gdi.DrawLine(-big, 10, big, 10, RedColor); }},
      {"huge rectangle", [&] { p.gdi.DrawRectangle(0, 0, big, 10, RedColor); }},
      {"huge ellipse", [&] { p.gdi.FillEllipse(-big, 0, 10, 10, RedColor, RedColor); }},
      {"huge arc", [&] { p.gdi.DrawArc(0, 0, big, big, 0, 1, RedColor); }},
      {"huge point", [&] { p.gdi.DrawPoint(big, 0, RedColor, 1.0); }},
      {"huge text", [&] { p.gdi.DrawTextBox("a", big - 3, 0, RedColor, RedColor); }},
      {"huge image position", [&] { p.gdi.DrawImage(&grey, big - 2, 0, 1.0, RedColor); }},
      {"void image", [&] { p.gdi.DrawImage(&voidImage, 1, 1, 1.0, RedColor); }},
      {"null image", [&] { p.gdi.DrawImage(nullptr, 1, 1, 1.0, RedColor); }},
  };
  for (const auto& c : cases) {
    EOk();
    c.second();
    EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER) << c.first;
    EXPECT_NE(std::string(EGetErrorTrace()).find("GDIDrawAdapter::"), std::string::npos) << c.first;
  }
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) ASSERT_EQ(p.dib.At(x, y), kPaper) << x << "," << y;
  EOk();
}
