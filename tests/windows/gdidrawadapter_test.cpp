// The device-context surface against the image surface: the same calls drawn into a memory
// device context over a 32-bit DIB section and into an RGB image; text, restored context state,
// shape trees through the HDC form, bad input and released GDI objects.
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
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <typeinfo>
#include <vector>

#include "vimo/vimo.h"

using namespace Quarnel;

namespace {

const int kW = 64, kH = 48;
const EC24 kPaper{10, 20, 30};
const DrawColor kInk{200, 100, 50}, kBackground{240, 230, 220}, kFill{0, 160, 90};

// A memory device context over a top-down 32-bit DIB section of paper.
struct Dib {
  Dib(int w, int h) : width(w), dc(CreateCompatibleDC(nullptr)) {
    BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits), 0, 0);
    old = SelectObject(dc, bitmap);
    std::fill(bits, bits + w * h, uint32_t(kPaper.C0 << 16 | kPaper.C1 << 8 | kPaper.C2));
  }
  ~Dib() { DeleteObject(SelectObject(dc, old)), DeleteDC(dc); }
  EC24 At(int x, int y) const {
    uint32_t v = bits[y * width + x];
    return EC24{uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
  }
  int width;
  HDC dc;
  HBITMAP bitmap;
  HGDIOBJ old;
  uint32_t* bits = nullptr;
};

// Both surfaces on the same paper, with the same pen, text and background colours.
struct Pair {
  Pair() : image(kW, kH), picture(&image), dib(kW, kH), gdi(dib.dc) {
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x) image.SetPixel(kPaper, x, y);
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

enum Tolerance { kExact, kOnePixel, kTwoLevels };

// Pixels where the surfaces disagree beyond the tolerance: any difference; a colour of one
// surface missing from the other's 3 x 3 neighbourhood (both ways); a channel off by more than 2.
int Mismatches(Pair& p, Tolerance tolerance) {
  auto a = [&](int x, int y) { return p.image.GetPixel(x, y); };
  auto b = [&](int x, int y) { return p.dib.At(x, y); };
  auto nearby = [](auto at, int x, int y, EC24 c) {
    for (int v = std::max(0, y - 1); v <= std::min(kH - 1, y + 1); ++v)
      for (int u = std::max(0, x - 1); u <= std::min(kW - 1, x + 1); ++u)
        if (at(u, v) == c) return true;
    return false;
  };
  int bad = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW; ++x) {
      EC24 s = a(x, y), t = b(x, y);
      if (tolerance == kExact) bad += !(s == t);
      if (tolerance == kOnePixel) bad += !nearby(b, x, y, s) + !nearby(a, x, y, t);
      if (tolerance == kTwoLevels)
        bad += std::max({std::abs(s.C0 - t.C0), std::abs(s.C1 - t.C1), std::abs(s.C2 - t.C2)}) > 2;
    }
  return bad;
}

// Live GDI objects of the process: GetGuiResources where it counts them (Windows; Wine always
// answers 0), else minus how many more pens can be created, which an object left behind lowers.
long GdiObjectsInUse() {
  DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (count != 0) return long(count);
  std::vector<HGDIOBJ> pens;
  for (HGDIOBJ pen; pens.size() < 200000 && (pen = CreatePen(PS_SOLID, 0, 0)) != nullptr;)
    pens.push_back(pen);
  for (HGDIOBJ pen : pens) DeleteObject(pen);
  return -long(pens.size());
}

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
  const struct {
    const char* name;
    Tolerance tolerance;
    std::function<void(DrawAdapter&)> draw;
  } cases[] = {
      {"points, opacity, wrapped components, clipping", kExact,
       [](DrawAdapter& d) {
         d.DrawPoint(3, 4, kFill, 1.0), d.DrawPoint(5, 4, RedColor, 0.3);
         d.DrawPoint(6, 4, DefaultColor, 0.5), d.DrawPoint(7, 4, BlueColor, 2.0);
         d.DrawPoint(8, 4, RedColor, -1.0), d.DrawPoint(9, 4, DrawColor{266, 20, -2}, 1.0);
         d.DrawPoint(-1, 0, RedColor, 1.0), d.DrawPoint(kW, kH - 1, RedColor, 0.5);
       }},
      {"straight and diagonal lines both ways, clipped", kExact,
       [](DrawAdapter& d) {
         d.DrawLine(2, 2, 40, 2, kFill), d.DrawLine(40, 5, 2, 5, DefaultColor);
         d.DrawLine(3, 8, 3, 30, RedColor), d.DrawLine(6, 30, 6, 8, BlueColor);
         d.DrawLine(10, 10, 30, 30, kFill), d.DrawLine(50, 30, 30, 10, RedColor);
         d.DrawLine(20, 40, 35, 25, BlueColor), d.DrawLine(45, 10, 45, 10, kFill);
         d.DrawLine(-30, 44, 100, 44, kFill), d.DrawLine(-10, -10, 20, 20, DefaultColor);
       }},
      {"rectangles, fills, default fill, clipping, sizes 0 and 1, axis-aligned polygons", kExact,
       [&](DrawAdapter& d) {
         d.DrawRectangle(2, 3, 20, 10, kFill), d.FillRectangle(25, 3, 15, 12, RedColor, kFill);
         d.FillRectangle(5, 20, 9, 7, DefaultColor, DefaultColor);
         d.FillRectangle(50, 40, 30, 30, BlueColor, WhiteColor);
         d.DrawRectangle(30, 30, 1, 1, RedColor), d.DrawRectangle(30, 35, 0, 5, RedColor);
         d.DrawPolygon(square, 4, kFill), d.FillPolygon(square, 4, RedColor, DefaultColor);
         d.DrawPolygon(triangle, 1, BlueColor);
       }},
      {"images: grey, tinted, colour, clipped, opacity above 1", kExact,
       [&](DrawAdapter& d) {
         d.DrawImage(&grey, 2, 3, 1.0, DefaultColor), d.DrawImage(&grey, 20, 3, 1.0, RedColor);
         d.DrawImage(&colour, 40, 10, 1.5, kFill), d.DrawImage(&grey, -4, 44, 1.0, DefaultColor);
       }},
      {"sloped lines, polygons (even-odd star)", kOnePixel,
       [&](DrawAdapter& d) {
         d.DrawLine(1, 1, 60, 9, kFill), d.DrawLine(60, 20, 3, 12, RedColor);
         d.DrawLine(5, 45, 12, 15, BlueColor), d.DrawLine(40, 15, 47, 46, DefaultColor);
         d.FillPolygon(triangle, 3, RedColor, kFill), d.FillPolygon(star, 5, BlueColor, kInk);
       }},
      {"ellipses and circles, outlined and filled", kOnePixel,
       [](DrawAdapter& d) {
         d.DrawEllipse(2, 2, 30, 18, kFill), d.FillEllipse(35, 2, 21, 21, RedColor, kFill);
         d.FillEllipse(4, 26, 14, 9, DefaultColor, DefaultColor);
         d.DrawEllipse(25, 28, 2, 2, BlueColor), d.DrawEllipse(40, 28, 0, 12, RedColor);
       }},
      {"arcs: quarters, negative, whole, nearly whole, empty", kOnePixel,
       [&](DrawAdapter& d) {
         d.DrawArc(4, 4, 36, 36, 0.0, pi / 2, kFill),
             d.DrawArc(4, 4, 36, 36, pi, -pi / 3, RedColor);
         d.DrawArc(30, 6, 28, 16, -2.5, 1.2, BlueColor);
         d.DrawArc(44, 30, 14, 14, 1.0, 7.0, DefaultColor);
         d.DrawArc(10, 30, 12, 12, 0.3, 0.0, RedColor);
         d.DrawArc(2, 24, 22, 20, 2.0, -6.2831, BlueColor);  // all but a sliver of a turn
       }},
      {"translucent images (alpha in steps of 1/255)", kTwoLevels,
       [&](DrawAdapter& d) {
         d.DrawImage(&grey, 30, 20, 0.5, kFill), d.DrawImage(&colour, 33, 22, 0.2, kFill);
         d.DrawImage(&grey, 2, 2, 0.93, DefaultColor);
       }},
  };
  // The first round lets the system set up what it keeps for the process.
  long objects = 0;
  for (int round = 0; round < 2; ++round) {
    if (round == 1) objects = GdiObjectsInUse();
    for (const auto& c : cases) {
      Pair p;
      c.draw(p.picture);
      c.draw(p.gdi);
      EXPECT_EQ(EGetError(), E_OK) << c.name << ": " << EGetErrorTrace();
      EXPECT_EQ(Mismatches(p, c.tolerance), 0) << c.name;
      GDIDrawAdapter none(nullptr);  // a null context: no crash, an error
      c.draw(none);
      EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER) << c.name;
      EOk();
    }
  }
  EXPECT_EQ(GdiObjectsInUse(), objects);
}

TEST(GDIDrawAdapter, TextFitsItsExtentAndLeavesTheContextAsItWas) {
  EOk();
  Pair p;
  HDC dc = p.dib.dc;
  // The caller's state, all different from what the operations use.
  SetTextColor(dc, RGB(1, 2, 3)), SetBkColor(dc, RGB(4, 5, 6)), SetBkMode(dc, OPAQUE);
  SetArcDirection(dc, AD_COUNTERCLOCKWISE), SetPolyFillMode(dc, WINDING);
  MoveToEx(dc, 7, 9, nullptr);
  auto state = [dc] {
    POINT at;
    GetCurrentPositionEx(dc, &at);
    char text[256];
    std::snprintf(text, sizeof(text),
                  "text %lx back %lx mode %d arc %d fill %d at %ld,%ld %p %p %p", GetTextColor(dc),
                  GetBkColor(dc), GetBkMode(dc), GetArcDirection(dc), GetPolyFillMode(dc), at.x,
                  at.y, GetCurrentObject(dc, OBJ_PEN), GetCurrentObject(dc, OBJ_BRUSH),
                  GetCurrentObject(dc, OBJ_FONT));
    return std::string(text);
  };
  const std::string before = state();
  long objects = GdiObjectsInUse();

  TextExtent one = p.gdi.GetTextExtent("HgH"), two = p.gdi.GetTextExtent("HgH\nH");
  EXPECT_GE(one.Height, MulDiv(10, GetDeviceCaps(dc, LOGPIXELSY), 72));  // 10 points
  EXPECT_EQ(two.Width, one.Width);
  EXPECT_EQ(two.Height, 2 * one.Height);
  EXPECT_GT(p.gdi.GetTextExtent("H&H").Width, p.gdi.GetTextExtent("HH").Width);  // no mnemonics
  EXPECT_EQ(p.gdi.GetTextExtent("").Width + p.gdi.GetTextExtent("").Height, 0);

  // Drawn text lies in its box, 2 right of and 1 below (x, y), filling it but for the glyphs'
  // side bearings, in one colour (no background, no smoothing).
  const int x = 6, y = 5;
  p.gdi.DrawText("HgH", x, y, kFill);
  int minX = kW, maxX = -1, minY = kH, maxY = -1, other = 0;
  for (int v = 0; v < kH; ++v)
    for (int u = 0; u < kW; ++u) {
      EC24 c = p.dib.At(u, v);
      if (c == kPaper) continue;
      other += !(c == EC24{0, 160, 90});
      minX = std::min(minX, u), maxX = std::max(maxX, u);
      minY = std::min(minY, v), maxY = std::max(maxY, v);
    }
  EXPECT_EQ(other, 0);
  EXPECT_TRUE(minX >= x + 2 && maxX < x + 2 + one.Width && maxX - minX + 1 >= one.Width - 4);
  EXPECT_TRUE(minY >= y + 1 && maxY < y + 1 + one.Height && maxY - minY + 1 >= one.Height / 2);

  // A text box fills (x, y)-(x + width + 4, y + height + 2); default colours are the context's
  // background and text colours. Empty text draws nothing.
  {
    Pair q;
    SetTextColor(q.dib.dc, RGB(1, 2, 3)), SetBkColor(q.dib.dc, RGB(4, 5, 6));
    q.gdi.DrawTextBox("HgH", x, y, DefaultColor, DefaultColor);
    q.gdi.DrawText("", 0, 0, RedColor), q.gdi.DrawTextBox("", 0, 0, RedColor, RedColor);
    const int right = x + one.Width + 3, bottom = y + one.Height + 1;
    for (EC24 corner :
         {q.dib.At(x, y), q.dib.At(right, y), q.dib.At(x, bottom), q.dib.At(right, bottom)})
      EXPECT_EQ(corner, (EC24{4, 5, 6}));
    for (EC24 beyond :
         {q.dib.At(x - 1, y), q.dib.At(right + 1, y), q.dib.At(x, bottom + 1), q.dib.At(0, 0)})
      EXPECT_EQ(beyond, kPaper);
    EXPECT_GT(std::count(q.dib.bits, q.dib.bits + kW * kH, 0x010203u), 10);  // the text
  }
  EXPECT_EQ(EGetError(), E_OK);

  // Every operation leaves the caller's state and selected objects in place.
  const EPoint tri[] = {EPoint(1, 1), EPoint(9, 1), EPoint(5, 8)};
  p.gdi.FillPolygon(tri, 3, RedColor, BlueColor), p.gdi.DrawArc(1, 1, 20, 20, 0.5, 1, RedColor);
  p.gdi.DrawLine(1, 1, 9, 9, RedColor), p.gdi.FillEllipse(1, 1, 9, 9, RedColor, DefaultColor);
  p.gdi.DrawImage(&p.image, 0, 0, 0.5, DefaultColor), p.gdi.DrawRectangle(1, 1, 1, 5, RedColor);
  EXPECT_EQ(state(), before);
  EXPECT_EQ(GdiObjectsInUse(), objects);
  // The current colour is the pen's, a DC pen's or a caller's own.
  EXPECT_EQ(p.gdi.GetCurrentColor(), kInk);
  HPEN mine = CreatePen(PS_DASH, 1, RGB(9, 8, 7));
  HGDIOBJ previous = SelectObject(dc, mine);
  EXPECT_EQ(p.gdi.GetCurrentColor(), (DrawColor{9, 8, 7}));
  DeleteObject(SelectObject(dc, previous));
}

// Draws each shape through both forms into two contexts: the same pixels, and some of them. The
// HDC form is called on the concrete class, so each class must show it.
template <class... Shapes>
void ExpectSameBothWays(INS_DRAWING_MODES mode, int daughters, Shapes&... shapes) {
  auto check = [&](auto& shape) {
    Dib a(320, 240), b(320, 240);
    shape.Draw(a.dc, mode, daughters);
    GDIDrawAdapter adapter(b.dc);
    shape.Draw(&adapter, mode, daughters);
    int differ = 0, drawn = 0;
    for (int i = 0; i < 320 * 240; ++i)
      differ += a.bits[i] != b.bits[i], drawn += a.bits[i] != a.bits[0];
    EXPECT_EQ(differ, 0) << typeid(shape).name();
    EXPECT_GT(drawn, 0) << typeid(shape).name();
  };
  (check(shapes), ...);
}

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
    for (EShape* shape : shapes)
      shape->Attach(&world), shape->SetLabeled(1, 0), shape->SetName("t");
    point.Attach(&frame);
    ExpectSameBothWays(INS_DRAW_NOMINAL, 0, frame, point, line, circle, rectangle, wedge,
                       pointGauge, lineGauge, circleGauge, rectangleGauge, wedgeGauge,
                       *static_cast<EBGABall*>(array.GetDaughter(0)));
    ExpectSameBothWays(INS_DRAW_NOMINAL, 1, component, array, world);
    ExpectSameBothWays(INS_DRAW_SAMPLING_PATH, 1, world);
    // The world shape's and the frame's own drawings have their context forms too.
    Dib dib(320, 240);
    world.DrawGrid(dib.dc), world.DrawLandmarks(dib.dc);
    world.DrawCrossGrid(dib.dc, 0, 99, 0, 99, 3, 3), frame.DrawCrossGrid(dib.dc, 0, 5, 0, 3, 2, 2);
    world.HalveSegment(dib.dc, EPoint(0, 0), 0, 0, EPoint(100, 100), 150, 150);
    EXPECT_EQ(EGetError(), E_OK) << EGetErrorTrace();
    // A null context draws nothing and says so.
    world.Draw(static_cast<HDC>(nullptr), INS_DRAW_NOMINAL, 1);
    EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
    EXPECT_STREQ(EGetErrorTrace(), "EShape::Draw\n");
    EOk();
  }
  EXPECT_EQ(GdiObjectsInUse(), objects);
}

// A call that must fail with 32767 under the adapter's name.
#define EXPECT_REFUSED(call)                                                            \
  do {                                                                                  \
    EOk();                                                                              \
    call;                                                                               \
    EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER) << #call;                         \
    EXPECT_EQ(std::string(EGetErrorTrace()).rfind("GDIDrawAdapter::", 0), 0u) << #call; \
  } while (0)

TEST(GDIDrawAdapter, BadInputDrawsNothingAndSetsAnError) {
  Pair p;
  GDIDrawAdapter none(nullptr);
  EImage<EBW8> grey(4, 4), empty;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const EPoint notFinite[] = {EPoint(1, 1), EPoint(nan, 5), EPoint(9, 9)};
  const EPoint farAway[] = {EPoint(1, 1), EPoint(3e8f, 5), EPoint(9, 9)};
  const int big = std::numeric_limits<int>::max();
  EXPECT_REFUSED(none.DrawText("a", 1, 1, RedColor));
  EXPECT_REFUSED(none.DrawTextBox("a", 1, 1, RedColor, RedColor));
  EXPECT_REFUSED(none.GetTextExtent("a"));
  EXPECT_REFUSED(none.GetCurrentColor());
  // Null text or points, negative counts and sizes, NaN, coordinates beyond the context's
  // range, void and null images, on a good context.
  EXPECT_REFUSED(p.gdi.DrawText(nullptr, 1, 1, RedColor));
  EXPECT_REFUSED(p.gdi.GetTextExtent(nullptr));
  EXPECT_REFUSED(p.gdi.FillPolygon(nullptr, 3, RedColor, RedColor));
  EXPECT_REFUSED(p.gdi.DrawPolygon(notFinite, -1, RedColor));
  EXPECT_REFUSED(p.gdi.FillPolygon(notFinite, 3, RedColor, RedColor));
  EXPECT_REFUSED(p.gdi.DrawPolygon(farAway, 3, RedColor));
  EXPECT_REFUSED(p.gdi.DrawPoint(1, 1, RedColor, std::nan("")));
  EXPECT_REFUSED(p.gdi.DrawArc(1, 1, 9, 9, std::nan(""), 1, RedColor));
  EXPECT_REFUSED(p.gdi.FillRectangle(1, 1, -5, 5, RedColor, RedColor));
  EXPECT_REFUSED(p.gdi.DrawLine(-big, 10, big, 10, RedColor));
  EXPECT_REFUSED(p.gdi.FillEllipse(0, 0, big, 10, RedColor, RedColor));
  EXPECT_REFUSED(p.gdi.DrawTextBox("a", big - 3, 0, RedColor, RedColor));
  EXPECT_REFUSED(p.gdi.DrawImage(&grey, big - 2, 0, 1.0, RedColor));
  EXPECT_REFUSED(p.gdi.DrawImage(&empty, 1, 1, 1.0, RedColor));
  EXPECT_REFUSED(p.gdi.DrawImage(nullptr, 1, 1, 1.0, RedColor));
  // With the process out of GDI objects, every operation that needs a pen, brush, font or
  // bitmap says so with 1303 instead of drawing nothing in silence.
  const EPoint tri[] = {EPoint(1, 1), EPoint(9, 1), EPoint(5, 8)};
  const std::function<void()> needObjects[] = {
      [&] { p.gdi.DrawLine(1, 1, 9, 9, RedColor); },
      [&] { p.gdi.DrawArc(1, 1, 20, 20, 0.5, 1, RedColor); },
      [&] { p.gdi.FillRectangle(1, 1, 9, 9, RedColor, BlueColor); },
      [&] { p.gdi.DrawEllipse(1, 1, 9, 9, RedColor); },
      [&] { p.gdi.FillPolygon(tri, 3, RedColor, BlueColor); },
      [&] { p.gdi.DrawTextBox("a", 1, 1, RedColor, BlueColor); },
      [&] { p.gdi.GetTextExtent("a"); },
      [&] { p.gdi.DrawImage(&grey, 1, 1, 0.5, RedColor); },
  };
  std::vector<HGDIOBJ> pens;
  for (HGDIOBJ pen; pens.size() < 200000 && (pen = CreatePen(PS_SOLID, 0, 0)) != nullptr;)
    pens.push_back(pen);
  std::vector<int> codes;
  for (const auto& call : needObjects) EOk(), call(), codes.push_back(EGetError());
  for (HGDIOBJ pen : pens) DeleteObject(pen);
  EXPECT_EQ(codes, std::vector<int>(codes.size(), E_ERROR_ALLOCATION_FAILED));
  for (int i = 0; i < kW * kH; ++i) ASSERT_EQ(p.dib.bits[i], p.dib.bits[0]) << i;
  EXPECT_EQ(p.dib.At(0, 0), kPaper);
  EOk();
}
