#include "vimo/drawing/gdidrawadapter.h"

#ifdef _WIN32

// Lean and without the min/max macros, which would break std::min and std::max here.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// <windows.h> maps DrawText to DrawTextA; the adapter's own operation keeps its name.
#undef DrawText

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "vimo/drawing/drawsupport.h"
#include "vimo/geometry/point.h"

namespace Quarnel {

namespace {

// Device-context rasterisation works in 28.4 fixed point: coordinates must stay within 2^27.
const int64_t kCoordinateLimit = (int64_t(1) << 27) - 1;
const double kPi = 3.14159265358979323846;

void Fail(const char* name, E_ERRORS code = E_ERROR_INVALID_PARAMETER) {
  ESetError(code);
  ETraceError(name);
}

// False, with 1303, when a pen, brush, font or bitmap could not be created or selected (the
// process is out of GDI objects): the operation draws nothing and says so.
bool Ready(const char* name, bool created) {
  if (!created) Fail(name, E_ERROR_ALLOCATION_FAILED);
  return created;
}

bool InRange(int64_t v) { return v >= -kCoordinateLimit && v <= kCoordinateLimit; }

COLORREF ToColorRef(EC24 c) { return RGB(c.C0, c.C1, c.C2); }
DrawColor ToDrawColor(COLORREF c) { return DrawColor{GetRValue(c), GetGValue(c), GetBValue(c)}; }

// The colour of the pen selected in the context.
COLORREF PenColor(HDC dc) {
  HGDIOBJ pen = GetCurrentObject(dc, OBJ_PEN);
  if (pen == nullptr) return RGB(0, 0, 0);
  if (pen == GetStockObject(DC_PEN)) return GetDCPenColor(dc);
  if (GetObjectType(pen) == OBJ_EXTPEN) {
    int size = GetObjectA(pen, 0, nullptr);
    if (size <= 0) return RGB(0, 0, 0);
    std::vector<unsigned char> buffer(std::max<size_t>(size_t(size), sizeof(EXTLOGPEN)));
    if (GetObjectA(pen, size, buffer.data()) == 0) return RGB(0, 0, 0);
    EXTLOGPEN ext;
    std::memcpy(&ext, buffer.data(), sizeof(ext));
    return ext.elpColor;
  }
  LOGPEN logical;
  if (GetObjectA(pen, sizeof(logical), &logical) == 0) return RGB(0, 0, 0);
  return logical.lopnColor;
}

EC24 FromColorRef(COLORREF c) { return EC24{GetRValue(c), GetGValue(c), GetBValue(c)}; }

COLORREF Resolve(const DrawColor& color, COLORREF fallback) {
  return DrawSupport::IsDefault(color) ? fallback : ToColorRef(DrawSupport::Resolve(color, color));
}

// An object created for one operation, selected into the context and, on destruction, selected
// out and deleted.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ object, bool owned) : m_Dc(dc), m_Object(object), m_Owned(owned) {
    m_Previous = object != nullptr ? SelectObject(dc, object) : nullptr;
  }
  ~Selected() {
    if (m_Previous != nullptr) SelectObject(m_Dc, m_Previous);
    if (m_Owned && m_Object != nullptr) DeleteObject(m_Object);
  }
  bool IsValid() const { return m_Object != nullptr && m_Previous != nullptr; }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  HDC m_Dc;
  HGDIOBJ m_Object;
  HGDIOBJ m_Previous = nullptr;
  bool m_Owned;
};

// A one-pixel solid pen of the given colour.
HGDIOBJ NewPen(COLORREF color) { return CreatePen(PS_SOLID, 0, color); }

// The 10-point text font for the context's vertical resolution.
HGDIOBJ NewFont(HDC dc) {
  int height = -MulDiv(10, GetDeviceCaps(dc, LOGPIXELSY), 72);
  return CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                     DEFAULT_PITCH | FF_SWISS, "MS Sans Serif");
}

const UINT kTextFormat = DT_CENTER | DT_NOPREFIX | DT_NOCLIP;

// Size of the text in the font selected in the context.
TextExtent Measure(HDC dc, const char* text) {
  if (*text == '\0') return TextExtent{0, 0};
  RECT r = {0, 0, 0, 0};
  DrawTextA(dc, text, -1, &r, kTextFormat | DT_CALCRECT);
  return TextExtent{static_cast<int>(r.right - r.left), static_cast<int>(r.bottom - r.top)};
}

}  // namespace

GDIDrawAdapter::GDIDrawAdapter(HDC context) : m_hContext(context) {}

bool GDIDrawAdapter::Check(const char* name) const {
  if (m_hContext == nullptr) {
    Fail(name);
    return false;
  }
  return true;
}

DrawColor GDIDrawAdapter::GetCurrentColor() {
  if (!Check("GDIDrawAdapter::GetCurrentColor")) return DrawColor{0, 0, 0};
  return ToDrawColor(PenColor(m_hContext));
}

void GDIDrawAdapter::DrawPoint(int x, int y, const DrawColor& color, double opacity) {
  const char* name = "GDIDrawAdapter::DrawPoint";
  double a;
  if (!Check(name)) return;
  if (!DrawSupport::ClampOpacity(opacity, a) || !InRange(x) || !InRange(y)) {
    Fail(name);
    return;
  }
  if (a <= 0.0) return;
  COLORREF c = Resolve(color, PenColor(m_hContext));
  if (a < 1.0) {
    COLORREF old = GetPixel(m_hContext, x, y);
    if (old == CLR_INVALID) return;  // outside the surface or its clipping
    EC24 o = FromColorRef(old), v = FromColorRef(c);
    c = RGB(DrawSupport::Blend(o.C0, v.C0, a), DrawSupport::Blend(o.C1, v.C1, a),
            DrawSupport::Blend(o.C2, v.C2, a));
  }
  SetPixelV(m_hContext, x, y, c);
}

void GDIDrawAdapter::DrawLine(int x0, int y0, int x1, int y1, const DrawColor& color) {
  const char* name = "GDIDrawAdapter::DrawLine";
  if (!Check(name)) return;
  if (!InRange(x0) || !InRange(y0) || !InRange(x1) || !InRange(y1)) {
    Fail(name);
    return;
  }
  COLORREF c = Resolve(color, PenColor(m_hContext));
  Selected pen(m_hContext, NewPen(c), true);
  if (!Ready(name, pen.IsValid())) return;
  POINT previous;
  MoveToEx(m_hContext, x0, y0, &previous);
  LineTo(m_hContext, x1, y1);  // stops short of its end pixel, which is plotted next
  SetPixelV(m_hContext, x1, y1, c);
  MoveToEx(m_hContext, previous.x, previous.y, nullptr);
}

void GDIDrawAdapter::DrawArc(int x, int y, int width, int height, double start, double amplitude,
                             const DrawColor& color) {
  const char* name = "GDIDrawAdapter::DrawArc";
  if (!Check(name)) return;
  int64_t right = int64_t(x) + width + 1, bottom = int64_t(y) + height + 1;
  if (width < 0 || height < 0 || !std::isfinite(start) || std::isnan(amplitude) || !InRange(x) ||
      !InRange(y) || !InRange(right) || !InRange(bottom)) {
    Fail(name);
    return;
  }
  COLORREF c = Resolve(color, PenColor(m_hContext));
  Selected pen(m_hContext, NewPen(c), true);
  if (!Ready(name, pen.IsValid())) return;
  double cx = x + width / 2.0, cy = y + height / 2.0;
  if (std::fabs(amplitude) >= 2.0 * kPi) {
    Arc(m_hContext, x, y, int(right), int(bottom), 0, 0, 0, 0);  // equal radials: whole ellipse
    return;
  }
  double from = amplitude >= 0.0 ? start : start + amplitude;
  double to = from + std::fabs(amplitude);
  // The radials only give directions: long ones keep them precise, so that a short arc is not
  // taken for a whole ellipse.
  const double kRadial = 4096.0;
  double sx = std::max(width, 1), sy = std::max(height, 1), norm = std::max(sx, sy);
  auto radial = [&](double t, int& rx, int& ry) {
    rx = static_cast<int>(std::lround(cx + kRadial * sx / norm * std::cos(t)));
    ry = static_cast<int>(std::lround(cy + kRadial * sy / norm * std::sin(t)));
  };
  int x0, y0, x1, y1;
  radial(from, x0, y0);
  radial(to, x1, y1);
  if (x0 == x1 && y0 == y1) {
    // The radials meet: within a sliver of a whole turn, the whole ellipse (equal radials).
    if (std::fabs(amplitude) > kPi) {
      Arc(m_hContext, x, y, int(right), int(bottom), x0, y0, x0, y0);
      return;
    }
    // Too short to have two directions: its end point alone.
    SetPixelV(m_hContext, static_cast<int>(std::lround(cx + width / 2.0 * std::cos(start))),
              static_cast<int>(std::lround(cy + height / 2.0 * std::sin(start))), c);
    return;
  }
  // Increasing angles turn clockwise on a screen whose y axis points down.
  int previous = SetArcDirection(m_hContext, AD_CLOCKWISE);
  Arc(m_hContext, x, y, int(right), int(bottom), x0, y0, x1, y1);
  if (previous != 0) SetArcDirection(m_hContext, previous);
  // Like a line, the arc stops short of its end: both end points are plotted.
  for (double t : {from, to})
    SetPixelV(m_hContext, static_cast<int>(std::lround(cx + width / 2.0 * std::cos(t))),
              static_cast<int>(std::lround(cy + height / 2.0 * std::sin(t))), c);
}

void GDIDrawAdapter::DrawRectangle(int x, int y, int width, int height, const DrawColor& color) {
  Box("GDIDrawAdapter::DrawRectangle", x, y, width, height, color, nullptr, false);
}

void GDIDrawAdapter::FillRectangle(int x, int y, int width, int height, const DrawColor& outline,
                                   const DrawColor& fill) {
  Box("GDIDrawAdapter::FillRectangle", x, y, width, height, outline, &fill, false);
}

void GDIDrawAdapter::DrawEllipse(int x, int y, int width, int height, const DrawColor& color) {
  Box("GDIDrawAdapter::DrawEllipse", x, y, width, height, color, nullptr, true);
}

void GDIDrawAdapter::FillEllipse(int x, int y, int width, int height, const DrawColor& outline,
                                 const DrawColor& fill) {
  Box("GDIDrawAdapter::FillEllipse", x, y, width, height, outline, &fill, true);
}

void GDIDrawAdapter::Box(const char* name, int x, int y, int width, int height,
                         const DrawColor& outline, const DrawColor* fill, bool ellipse) {
  if (!Check(name)) return;
  // A rectangle covers its size; an ellipse's box reaches one pixel further.
  int64_t right = int64_t(x) + width + (ellipse ? 1 : 0);
  int64_t bottom = int64_t(y) + height + (ellipse ? 1 : 0);
  if (width < 0 || height < 0 || !InRange(x) || !InRange(y) || !InRange(right) ||
      !InRange(bottom)) {
    Fail(name);
    return;
  }
  if (!ellipse && (width == 0 || height == 0)) return;
  COLORREF c = Resolve(outline, PenColor(m_hContext));
  Selected pen(m_hContext, NewPen(c), true);
  if (!Ready(name, pen.IsValid())) return;
  if (!ellipse && (width == 1 || height == 1)) {
    // All outline: a one-pixel rectangle is a line, which the context would not draw as a box.
    POINT previous;
    MoveToEx(m_hContext, x, y, &previous);
    LineTo(m_hContext, x + width - 1, y + height - 1);
    SetPixelV(m_hContext, x + width - 1, y + height - 1, c);
    MoveToEx(m_hContext, previous.x, previous.y, nullptr);
    return;
  }
  HGDIOBJ brush = fill != nullptr ? CreateSolidBrush(Resolve(*fill, GetBkColor(m_hContext)))
                                  : GetStockObject(NULL_BRUSH);
  Selected selectedBrush(m_hContext, brush, fill != nullptr);
  if (!Ready(name, selectedBrush.IsValid())) return;
  if (ellipse)
    ::Ellipse(m_hContext, x, y, int(right), int(bottom));
  else
    ::Rectangle(m_hContext, x, y, int(right), int(bottom));
}

void GDIDrawAdapter::DrawPolygon(const EPoint* points, int count, const DrawColor& color) {
  Polygon("GDIDrawAdapter::DrawPolygon", points, count, color, nullptr);
}

void GDIDrawAdapter::FillPolygon(const EPoint* points, int count, const DrawColor& outline,
                                 const DrawColor& fill) {
  Polygon("GDIDrawAdapter::FillPolygon", points, count, outline, &fill);
}

void GDIDrawAdapter::Polygon(const char* name, const EPoint* points, int count,
                             const DrawColor& outline, const DrawColor* fill) {
  if (!Check(name)) return;
  if (count < 0 || (count > 0 && points == nullptr)) {
    Fail(name);
    return;
  }
  std::vector<POINT> vertices;
  try {
    vertices.resize(static_cast<size_t>(count));
  } catch (const std::bad_alloc&) {
    Fail(name, E_ERROR_ALLOCATION_FAILED);
    return;
  }
  for (int i = 0; i < count; ++i) {
    double fx = points[i].GetX(), fy = points[i].GetY();
    if (!(std::fabs(fx) <= double(kCoordinateLimit)) ||
        !(std::fabs(fy) <= double(kCoordinateLimit))) {
      Fail(name);
      return;
    }
    vertices[i].x = static_cast<LONG>(std::llround(fx));
    vertices[i].y = static_cast<LONG>(std::llround(fy));
  }
  if (count == 0) return;
  COLORREF c = Resolve(outline, PenColor(m_hContext));
  if (count == 1) {
    SetPixelV(m_hContext, vertices[0].x, vertices[0].y, c);
    return;
  }
  Selected pen(m_hContext, NewPen(c), true);
  HGDIOBJ brush = fill != nullptr ? CreateSolidBrush(Resolve(*fill, GetBkColor(m_hContext)))
                                  : GetStockObject(NULL_BRUSH);
  Selected selectedBrush(m_hContext, brush, fill != nullptr);
  if (!Ready(name, pen.IsValid() && selectedBrush.IsValid())) return;
  int previous = SetPolyFillMode(m_hContext, ALTERNATE);
  ::Polygon(m_hContext, vertices.data(), count);
  if (previous != 0) SetPolyFillMode(m_hContext, previous);
}

void GDIDrawAdapter::DrawText(const char* text, int x, int y, const DrawColor& color) {
  Text("GDIDrawAdapter::DrawText", text, x, y, color, nullptr);
}

void GDIDrawAdapter::DrawTextBox(const char* text, int x, int y, const DrawColor& textColor,
                                 const DrawColor& boxColor) {
  Text("GDIDrawAdapter::DrawTextBox", text, x, y, textColor, &boxColor);
}

void GDIDrawAdapter::Text(const char* name, const char* text, int x, int y, const DrawColor& color,
                          const DrawColor* box) {
  if (!Check(name)) return;
  if (text == nullptr || !InRange(x) || !InRange(y)) {
    Fail(name);
    return;
  }
  if (*text == '\0') return;
  Selected font(m_hContext, NewFont(m_hContext), true);
  if (!Ready(name, font.IsValid())) return;
  TextExtent extent = Measure(m_hContext, text);
  int64_t right = int64_t(x) + extent.Width + 4, bottom = int64_t(y) + extent.Height + 2;
  if (!InRange(right) || !InRange(bottom)) {
    Fail(name);
    return;
  }
  if (box != nullptr) {
    COLORREF b = Resolve(*box, GetBkColor(m_hContext));
    Selected pen(m_hContext, NewPen(b), true);
    Selected brush(m_hContext, CreateSolidBrush(b), true);
    if (!Ready(name, pen.IsValid() && brush.IsValid())) return;
    ::Rectangle(m_hContext, x, y, int(right), int(bottom));
  }
  COLORREF previousText = GetTextColor(m_hContext);
  COLORREF previousBackground = GetBkColor(m_hContext);
  int previousMode = GetBkMode(m_hContext);
  SetBkMode(m_hContext, TRANSPARENT);
  if (!DrawSupport::IsDefault(color)) SetTextColor(m_hContext, Resolve(color, previousText));
  RECT r = {x + 2, y + 1, x + 2 + extent.Width, y + 1 + extent.Height};
  DrawTextA(m_hContext, text, -1, &r, kTextFormat);
  SetTextColor(m_hContext, previousText);
  SetBkColor(m_hContext, previousBackground);
  if (previousMode != 0) SetBkMode(m_hContext, previousMode);
}

TextExtent GDIDrawAdapter::GetTextExtent(const char* text) {
  const char* name = "GDIDrawAdapter::GetTextExtent";
  if (!Check(name)) return TextExtent{0, 0};
  if (text == nullptr) {
    Fail(name);
    return TextExtent{0, 0};
  }
  Selected font(m_hContext, NewFont(m_hContext), true);
  if (!Ready(name, font.IsValid())) return TextExtent{0, 0};
  return Measure(m_hContext, text);
}

void GDIDrawAdapter::DrawImage(EGenericROI* image, int x, int y, double opacity,
                               const DrawColor& color) {
  const char* name = "GDIDrawAdapter::DrawImage";
  if (!Check(name)) return;
  double a;
  DrawSupport::RegionReader reader(image);
  if (!reader.IsValid() || !DrawSupport::ClampOpacity(opacity, a) || !InRange(x) || !InRange(y) ||
      !InRange(int64_t(x) + reader.GetWidth()) || !InRange(int64_t(y) + reader.GetHeight())) {
    Fail(name);
    return;
  }
  BYTE alpha = static_cast<BYTE>(std::lround(a * 255.0));
  if (alpha == 0) return;
  // Only the part inside the context's clipping box is converted and copied.
  RECT clip;
  int kind = GetClipBox(m_hContext, &clip);
  if (kind == ERROR || kind == NULLREGION) return;
  int64_t x0 = std::max<int64_t>(x, clip.left), y0 = std::max<int64_t>(y, clip.top);
  int64_t x1 = std::min<int64_t>(int64_t(x) + reader.GetWidth(), clip.right);
  int64_t y1 = std::min<int64_t>(int64_t(y) + reader.GetHeight(), clip.bottom);
  if (x0 >= x1 || y0 >= y1) return;
  int w = static_cast<int>(x1 - x0), h = static_cast<int>(y1 - y0);
  std::vector<EC24> row;
  std::vector<uint32_t> pixels;
  try {
    row.resize(static_cast<size_t>(w));
    pixels.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
  } catch (const std::bad_alloc&) {
    Fail(name, E_ERROR_ALLOCATION_FAILED);
    return;
  }
  for (int r = 0; r < h; ++r) {
    reader.ReadRow(static_cast<int>(y0 - y) + r, static_cast<int>(x0 - x), w, color, row.data());
    uint32_t* out = &pixels[static_cast<size_t>(r) * w];
    for (int i = 0; i < w; ++i)  // a DIB pixel is blue, green, red, unused
      out[i] = uint32_t(row[i].C2) | uint32_t(row[i].C1) << 8 | uint32_t(row[i].C0) << 16;
  }
  BITMAPINFO info;
  std::memset(&info, 0, sizeof(info));
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  if (alpha == 255) {
    StretchDIBits(m_hContext, int(x0), int(y0), w, h, 0, 0, w, h, pixels.data(), &info,
                  DIB_RGB_COLORS, SRCCOPY);
    return;
  }
  HDC memory = CreateCompatibleDC(m_hContext);
  if (!Ready(name, memory != nullptr)) return;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (Ready(name, bitmap != nullptr && bits != nullptr)) {
    std::memcpy(bits, pixels.data(), pixels.size() * sizeof(uint32_t));
    Selected selected(memory, bitmap, false);
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, alpha, 0};
    if (Ready(name, selected.IsValid()))
      AlphaBlend(m_hContext, int(x0), int(y0), w, h, memory, 0, 0, w, h, blend);
  }
  if (bitmap != nullptr) DeleteObject(bitmap);  // after it has been selected out
  DeleteDC(memory);
}

}  // namespace Quarnel

#endif  // _WIN32
