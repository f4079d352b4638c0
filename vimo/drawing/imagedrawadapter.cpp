#include "vimo/drawing/imagedrawadapter.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "vimo/drawing/bitmapfont.h"
#include "vimo/drawing/drawsupport.h"
#include "vimo/geometry/point.h"

namespace Quarnel {

using DrawSupport::Resolve;

namespace {

const double kPi = 3.14159265358979323846;

void Fail(const char* name) {
  ESetError(E_ERROR_INVALID_PARAMETER);
  ETraceError(name);
}

// The disc of an ellipse row by row: the filled span of a row, if any.
class EllipseRows {
 public:
  EllipseRows(int64_t x, int64_t y, int64_t width, int64_t height)
      : m_X0(x), m_X1(x + width), m_Y0(y), m_Y1(y + height) {
    m_Cx = static_cast<double>(x) + static_cast<double>(width) / 2.0;
    m_Cy = static_cast<double>(y) + static_cast<double>(height) / 2.0;
    m_A = static_cast<double>(width) / 2.0 + 0.5;
    m_B = static_cast<double>(height) / 2.0 + 0.5;
  }
  bool Span(int64_t py, int64_t& left, int64_t& right) const {
    if (py < m_Y0 || py > m_Y1) return false;
    double t = (static_cast<double>(py) - m_Cy) / m_B;
    double s = 1.0 - t * t;
    if (s < 0.0) return false;
    double half = m_A * std::sqrt(s);
    left = std::max<int64_t>(m_X0, static_cast<int64_t>(std::ceil(m_Cx - half - 1e-9)));
    right = std::min<int64_t>(m_X1, static_cast<int64_t>(std::floor(m_Cx + half + 1e-9)));
    return left <= right;
  }
  double Cx() const { return m_Cx; }
  double Cy() const { return m_Cy; }
  double A() const { return m_A; }
  double B() const { return m_B; }
  int64_t Top() const { return m_Y0; }
  int64_t Bottom() const { return m_Y1; }

 private:
  int64_t m_X0, m_X1, m_Y0, m_Y1;
  double m_Cx, m_Cy, m_A, m_B;
};

// Calls fn(py, left, right, innerLeft, innerRight) for every row of the ellipse inside rows
// [rowMin, rowMax]; [left, right] is the disc span, [innerLeft, innerRight] the pixels of it whose
// four neighbours are in the disc (empty when innerLeft > innerRight).
template <class Fn>
void ForEachEllipseRow(const EllipseRows& e, int64_t rowMin, int64_t rowMax, Fn fn) {
  int64_t first = std::max(rowMin, e.Top());
  int64_t last = std::min(rowMax, e.Bottom());
  if (first > last) return;
  int64_t l0 = 0, r0 = 0, l1 = 0, r1 = 0, l2 = 0, r2 = 0;
  bool has0 = e.Span(first - 1, l0, r0);
  bool has1 = e.Span(first, l1, r1);
  for (int64_t py = first; py <= last; ++py) {
    bool has2 = e.Span(py + 1, l2, r2);
    if (has1) {
      int64_t il = l1 + 1, ir = r1 - 1;
      if (has0 && has2) {
        il = std::max({il, l0, l2});
        ir = std::min({ir, r0, r2});
      } else {
        il = 1;
        ir = 0;
      }
      fn(py, l1, r1, il, ir);
    }
    has0 = has1;
    l0 = l1;
    r0 = r1;
    has1 = has2;
    l1 = l2;
    r1 = r2;
  }
}

// Distance from a to b going around the circle in the positive direction, in [0, 2 pi).
double PositiveTurn(double a, double b) {
  double d = std::fmod(b - a, 2.0 * kPi);
  if (d < 0.0) d += 2.0 * kPi;
  return d;
}

}  // namespace

ImageDrawAdapter::ImageDrawAdapter(EImage<EC24>* target) : m_pTarget(target) {}

void ImageDrawAdapter::SetPenColor(const DrawColor& color) { m_Pen = color; }
void ImageDrawAdapter::SetBackgroundColor(const DrawColor& color) { m_Background = color; }

bool ImageDrawAdapter::Begin(Canvas& canvas, const char* name) const {
  if (m_pTarget == nullptr) {
    Fail(name);
    return false;
  }
  uint8_t* base = m_pTarget->GetBasePtr();
  if (base == nullptr) return false;
  canvas.Base = base;
  canvas.Pitch = m_pTarget->GetRowPitch();
  canvas.Width = m_pTarget->GetWidth();
  canvas.Height = m_pTarget->GetHeight();
  return canvas.Width > 0 && canvas.Height > 0;
}

void ImageDrawAdapter::Span(const Canvas& c, int64_t y, int64_t x0, int64_t x1, EC24 color) {
  if (y < 0 || y >= c.Height) return;
  x0 = std::max<int64_t>(x0, 0);
  x1 = std::min<int64_t>(x1, c.Width - 1);
  if (x0 > x1) return;
  std::fill(c.Row(y) + x0, c.Row(y) + x1 + 1, color);
}

void ImageDrawAdapter::Line(const Canvas& c, int64_t x0, int64_t y0, int64_t x1, int64_t y1,
                            EC24 color) {
  // Walk the major axis over the part of it inside the canvas only, so that far-away end points
  // cost nothing; the minor coordinate at step i is round(i * minor / major) (halves away from
  // the start), found directly for the first visible step and then incrementally.
  int64_t dx = x1 > x0 ? x1 - x0 : x0 - x1;
  int64_t dy = y1 > y0 ? y1 - y0 : y0 - y1;
  bool xMajor = dx >= dy;
  // Start from the end with the lower major coordinate, so that both directions give the same
  // pixels.
  if (xMajor ? x1 < x0 : y1 < y0) {
    std::swap(x0, x1);
    std::swap(y0, y1);
  }
  int64_t major = xMajor ? dx : dy, minor = xMajor ? dy : dx;
  int64_t a0 = xMajor ? x0 : y0, b0 = xMajor ? y0 : x0;
  int64_t sa = (xMajor ? x1 >= x0 : y1 >= y0) ? 1 : -1;
  int64_t sb = (xMajor ? y1 >= y0 : x1 >= x0) ? 1 : -1;
  int64_t aSize = xMajor ? c.Width : c.Height, bSize = xMajor ? c.Height : c.Width;
  int64_t first, last;
  if (sa > 0) {
    first = std::max<int64_t>(0, -a0);
    last = std::min<int64_t>(major, aSize - 1 - a0);
  } else {
    first = std::max<int64_t>(0, a0 - (aSize - 1));
    last = std::min<int64_t>(major, a0);
  }
  if (first > last) return;
  if (major == 0) {
    if (b0 >= 0 && b0 < bSize) c.Row(y0)[x0] = color;
    return;
  }
  int64_t twoMajor = 2 * major, twoMinor = 2 * minor;
  __extension__ typedef __int128 Wide;
  Wide num = static_cast<Wide>(first) * twoMinor + major;
  int64_t q = static_cast<int64_t>(num / twoMajor);
  int64_t r = static_cast<int64_t>(num % twoMajor);
  for (int64_t i = first; i <= last; ++i) {
    int64_t a = a0 + sa * i, b = b0 + sb * q;
    if (b >= 0 && b < bSize) {
      if (xMajor)
        c.Row(b)[a] = color;
      else
        c.Row(a)[b] = color;
    } else if ((sb > 0 && b >= bSize) || (sb < 0 && b < 0)) {
      break;  // the line has left the canvas for good
    }
    r += twoMinor;
    if (r >= twoMajor) {
      r -= twoMajor;
      ++q;
    }
  }
}

void ImageDrawAdapter::Rectangle(const Canvas& c, int64_t x, int64_t y, int64_t width,
                                 int64_t height, EC24 outline, const EC24* fill) {
  int64_t x1 = x + width - 1, y1 = y + height - 1;
  if (fill != nullptr) {
    int64_t top = std::max<int64_t>(y + 1, 0), bottom = std::min<int64_t>(y1 - 1, c.Height - 1);
    for (int64_t row = top; row <= bottom; ++row) Span(c, row, x + 1, x1 - 1, *fill);
  }
  Span(c, y, x, x1, outline);
  Span(c, y1, x, x1, outline);
  int64_t top = std::max<int64_t>(y + 1, 0), bottom = std::min<int64_t>(y1 - 1, c.Height - 1);
  for (int64_t row = top; row <= bottom; ++row) {
    Span(c, row, x, x, outline);
    Span(c, row, x1, x1, outline);
  }
}

void ImageDrawAdapter::Ellipse(const Canvas& c, int64_t x, int64_t y, int64_t width, int64_t height,
                               EC24 outline, const EC24* fill) {
  EllipseRows e(x, y, width, height);
  ForEachEllipseRow(e, 0, c.Height - 1,
                    [&](int64_t py, int64_t l, int64_t r, int64_t il, int64_t ir) {
                      if (il > ir) {
                        Span(c, py, l, r, outline);
                        return;
                      }
                      Span(c, py, l, il - 1, outline);
                      Span(c, py, ir + 1, r, outline);
                      if (fill != nullptr) Span(c, py, il, ir, *fill);
                    });
}

void ImageDrawAdapter::Text(const Canvas& c, const char* text, int64_t x, int64_t y, EC24 color) {
  std::vector<BitmapFont::Line> lines = BitmapFont::SplitLines(text);
  int64_t width = 0;
  for (const BitmapFont::Line& line : lines)
    width = std::max(width, BitmapFont::LineWidth(line.Characters));
  for (size_t i = 0; i < lines.size(); ++i) {
    int64_t top = y + 1 + static_cast<int64_t>(i) * BitmapFont::LineHeight;
    if (top >= c.Height) break;
    if (top + BitmapFont::GlyphHeight <= 0) continue;
    const BitmapFont::Line& line = lines[i];
    int64_t left = x + 2 + (width - BitmapFont::LineWidth(line.Characters)) / 2;
    for (size_t k = 0; k < line.Length && left < c.Width; ++k) {
      unsigned char ch = static_cast<unsigned char>(line.Start[k]);
      if (ch == '\r') continue;
      if (left + BitmapFont::GlyphWidth > 0) {
        const uint8_t* glyph = BitmapFont::Glyph(ch);
        for (int gy = 0; gy < BitmapFont::GlyphHeight; ++gy) {
          int64_t py = top + gy;
          if (py < 0 || py >= c.Height || glyph[gy] == 0) continue;
          EC24* row = c.Row(py);
          for (int gx = 0; gx < BitmapFont::GlyphWidth; ++gx) {
            int64_t px = left + gx;
            if (px >= 0 && px < c.Width && (glyph[gy] & (0x10 >> gx))) row[px] = color;
          }
        }
      }
      left += BitmapFont::Advance;
    }
  }
}

void ImageDrawAdapter::DrawPoint(int x, int y, const DrawColor& color, double opacity) {
  Canvas c;
  double a;
  if (!DrawSupport::ClampOpacity(opacity, a)) {
    Fail("ImageDrawAdapter::DrawPoint");
    return;
  }
  if (!Begin(c, "ImageDrawAdapter::DrawPoint")) return;
  if (x < 0 || y < 0 || x >= c.Width || y >= c.Height) return;
  EC24 v = Resolve(color, m_Pen);
  EC24& p = c.Row(y)[x];
  if (a >= 1.0) {
    p = v;
  } else {
    p = EC24{DrawSupport::Blend(p.C0, v.C0, a), DrawSupport::Blend(p.C1, v.C1, a),
             DrawSupport::Blend(p.C2, v.C2, a)};
  }
}

void ImageDrawAdapter::DrawLine(int x0, int y0, int x1, int y1, const DrawColor& color) {
  Canvas c;
  if (!Begin(c, "ImageDrawAdapter::DrawLine")) return;
  Line(c, x0, y0, x1, y1, Resolve(color, m_Pen));
}

void ImageDrawAdapter::DrawArc(int x, int y, int width, int height, double start, double amplitude,
                               const DrawColor& color) {
  Canvas c;
  if (width < 0 || height < 0 || !std::isfinite(start) || std::isnan(amplitude)) {
    Fail("ImageDrawAdapter::DrawArc");
    return;
  }
  if (!Begin(c, "ImageDrawAdapter::DrawArc")) return;
  EC24 v = Resolve(color, m_Pen);
  EllipseRows e(x, y, width, height);
  bool full = std::fabs(amplitude) >= 2.0 * kPi;
  double from = amplitude >= 0.0 ? start : start + amplitude;
  double span = std::fabs(amplitude);
  double end = start + amplitude;
  // The exact end points on the ellipse of semi-axes width / 2 and height / 2.
  double ex[2] = {e.Cx() + width / 2.0 * std::cos(start), e.Cx() + width / 2.0 * std::cos(end)};
  double ey[2] = {e.Cy() + height / 2.0 * std::sin(start), e.Cy() + height / 2.0 * std::sin(end)};
  double best[2] = {2.25, 2.25};  // squared distance: only pixels within 1.5 qualify
  int64_t bx[2] = {0, 0}, by[2] = {0, 0};
  bool found[2] = {false, false};
  auto visit = [&](int64_t py, int64_t px) {
    if (px < 0 || px >= c.Width) return;
    double dx = static_cast<double>(px) - e.Cx(), dy = static_cast<double>(py) - e.Cy();
    if (full || PositiveTurn(from, std::atan2(dy / e.B(), dx / e.A())) <= span + 1e-12)
      c.Row(py)[px] = v;
    for (int k = 0; k < 2; ++k) {
      double ddx = px - ex[k], ddy = py - ey[k], d2 = ddx * ddx + ddy * ddy;
      if (d2 < best[k]) {
        best[k] = d2;
        bx[k] = px;
        by[k] = py;
        found[k] = true;
      }
    }
  };
  ForEachEllipseRow(e, 0, c.Height - 1,
                    [&](int64_t py, int64_t l, int64_t r, int64_t il, int64_t ir) {
                      int64_t a0 = std::max<int64_t>(l, 0);
                      int64_t a1 = std::min<int64_t>(il > ir ? r : il - 1, c.Width - 1);
                      for (int64_t px = a0; px <= a1; ++px) visit(py, px);
                      if (il > ir) return;
                      int64_t b0 = std::max<int64_t>(ir + 1, 0);
                      int64_t b1 = std::min<int64_t>(r, c.Width - 1);
                      for (int64_t px = b0; px <= b1; ++px) visit(py, px);
                    });
  for (int k = 0; k < 2; ++k)
    if (found[k]) c.Row(by[k])[bx[k]] = v;
}

void ImageDrawAdapter::DrawRectangle(int x, int y, int width, int height, const DrawColor& color) {
  Canvas c;
  if (width < 0 || height < 0) {
    Fail("ImageDrawAdapter::DrawRectangle");
    return;
  }
  if (!Begin(c, "ImageDrawAdapter::DrawRectangle") || width == 0 || height == 0) return;
  Rectangle(c, x, y, width, height, Resolve(color, m_Pen), nullptr);
}

void ImageDrawAdapter::FillRectangle(int x, int y, int width, int height, const DrawColor& outline,
                                     const DrawColor& fill) {
  Canvas c;
  if (width < 0 || height < 0) {
    Fail("ImageDrawAdapter::FillRectangle");
    return;
  }
  if (!Begin(c, "ImageDrawAdapter::FillRectangle") || width == 0 || height == 0) return;
  EC24 f = Resolve(fill, m_Background);
  Rectangle(c, x, y, width, height, Resolve(outline, m_Pen), &f);
}

void ImageDrawAdapter::DrawEllipse(int x, int y, int width, int height, const DrawColor& color) {
  Canvas c;
  if (width < 0 || height < 0) {
    Fail("ImageDrawAdapter::DrawEllipse");
    return;
  }
  if (!Begin(c, "ImageDrawAdapter::DrawEllipse")) return;
  Ellipse(c, x, y, width, height, Resolve(color, m_Pen), nullptr);
}

void ImageDrawAdapter::FillEllipse(int x, int y, int width, int height, const DrawColor& outline,
                                   const DrawColor& fill) {
  Canvas c;
  if (width < 0 || height < 0) {
    Fail("ImageDrawAdapter::FillEllipse");
    return;
  }
  if (!Begin(c, "ImageDrawAdapter::FillEllipse")) return;
  EC24 f = Resolve(fill, m_Background);
  Ellipse(c, x, y, width, height, Resolve(outline, m_Pen), &f);
}

void ImageDrawAdapter::DrawPolygon(const EPoint* points, int count, const DrawColor& color) {
  Polygon("ImageDrawAdapter::DrawPolygon", points, count, color, nullptr);
}

void ImageDrawAdapter::FillPolygon(const EPoint* points, int count, const DrawColor& outline,
                                   const DrawColor& fill) {
  Polygon("ImageDrawAdapter::FillPolygon", points, count, outline, &fill);
}

void ImageDrawAdapter::Polygon(const char* name, const EPoint* points, int count,
                               const DrawColor& outline, const DrawColor* fill) {
  if (count < 0 || (count > 0 && points == nullptr)) {
    Fail(name);
    return;
  }
  std::vector<int64_t> px, py;
  try {
    px.resize(static_cast<size_t>(count));
    py.resize(static_cast<size_t>(count));
  } catch (const std::bad_alloc&) {
    ESetError(E_ERROR_ALLOCATION_FAILED);
    ETraceError(name);
    return;
  }
  for (int i = 0; i < count; ++i) {
    double fx = points[i].GetX(), fy = points[i].GetY();
    if (!(std::fabs(fx) < 2147483647.0) || !(std::fabs(fy) < 2147483647.0)) {
      Fail(name);
      return;
    }
    px[i] = std::llround(fx);
    py[i] = std::llround(fy);
  }
  Canvas c;
  if (!Begin(c, name) || count == 0) return;
  if (fill != nullptr) {
    EC24 f = Resolve(*fill, m_Background);
    int64_t top = *std::min_element(py.begin(), py.end());
    int64_t bottom = *std::max_element(py.begin(), py.end());
    top = std::max<int64_t>(top, 0);
    bottom = std::min<int64_t>(bottom, c.Height - 1);
    std::vector<double> cross;
    for (int64_t row = top; row <= bottom; ++row) {
      cross.clear();
      for (int i = 0; i < count; ++i) {
        int j = i + 1 == count ? 0 : i + 1;
        int64_t ya = py[i], yb = py[j];
        if (ya == yb) continue;
        // Half-open in y, so that a vertex shared by two edges counts once.
        if (row < std::min(ya, yb) || row >= std::max(ya, yb)) continue;
        cross.push_back(static_cast<double>(px[i]) + static_cast<double>(row - ya) *
                                                         static_cast<double>(px[j] - px[i]) /
                                                         static_cast<double>(yb - ya));
      }
      std::sort(cross.begin(), cross.end());
      for (size_t k = 0; k + 1 < cross.size(); k += 2)
        Span(c, row, static_cast<int64_t>(std::ceil(cross[k])),
             static_cast<int64_t>(std::floor(cross[k + 1])), f);
    }
  }
  EC24 o = Resolve(outline, m_Pen);
  for (int i = 0; i < count; ++i) {
    int j = i + 1 == count ? 0 : i + 1;
    Line(c, px[i], py[i], px[j], py[j], o);
  }
}

void ImageDrawAdapter::DrawText(const char* text, int x, int y, const DrawColor& color) {
  Canvas c;
  if (text == nullptr) {
    Fail("ImageDrawAdapter::DrawText");
    return;
  }
  if (!Begin(c, "ImageDrawAdapter::DrawText")) return;
  Text(c, text, x, y, Resolve(color, m_Pen));
}

void ImageDrawAdapter::DrawTextBox(const char* text, int x, int y, const DrawColor& textColor,
                                   const DrawColor& boxColor) {
  Canvas c;
  if (text == nullptr) {
    Fail("ImageDrawAdapter::DrawTextBox");
    return;
  }
  if (!Begin(c, "ImageDrawAdapter::DrawTextBox")) return;
  TextExtent extent = BitmapFont::Measure(text);
  EC24 box = Resolve(boxColor, m_Background);
  Rectangle(c, x, y, int64_t(extent.Width) + 4, int64_t(extent.Height) + 2, box, &box);
  Text(c, text, x, y, Resolve(textColor, m_Pen));
}

void ImageDrawAdapter::DrawImage(EGenericROI* image, int x, int y, double opacity,
                                 const DrawColor& color) {
  Canvas c;
  double a;
  DrawSupport::RegionReader reader(image);
  if (!reader.IsValid() || !DrawSupport::ClampOpacity(opacity, a)) {
    Fail("ImageDrawAdapter::DrawImage");
    return;
  }
  if (!Begin(c, "ImageDrawAdapter::DrawImage")) return;
  int64_t x0 = std::max<int64_t>(x, 0), y0 = std::max<int64_t>(y, 0);
  int64_t x1 = std::min<int64_t>(int64_t(x) + reader.GetWidth(), c.Width);
  int64_t y1 = std::min<int64_t>(int64_t(y) + reader.GetHeight(), c.Height);
  if (x0 >= x1 || y0 >= y1) return;
  int w = static_cast<int>(x1 - x0);
  // Read every visible pixel first, so that a region of the target image itself draws its
  // original pixels.
  std::vector<EC24> block(static_cast<size_t>(w) * static_cast<size_t>(y1 - y0));
  for (int64_t row = y0; row < y1; ++row)
    reader.ReadRow(static_cast<int>(row - y), static_cast<int>(x0 - x), w, color,
                   &block[static_cast<size_t>(row - y0) * w]);
  for (int64_t row = y0; row < y1; ++row) {
    EC24* dst = c.Row(row) + x0;
    const EC24* src = &block[static_cast<size_t>(row - y0) * w];
    if (a >= 1.0) {
      std::copy(src, src + w, dst);
      continue;
    }
    for (int i = 0; i < w; ++i)
      dst[i] = EC24{DrawSupport::Blend(dst[i].C0, src[i].C0, a),
                    DrawSupport::Blend(dst[i].C1, src[i].C1, a),
                    DrawSupport::Blend(dst[i].C2, src[i].C2, a)};
  }
}

TextExtent ImageDrawAdapter::GetTextExtent(const char* text) {
  if (text == nullptr) {
    Fail("ImageDrawAdapter::GetTextExtent");
    return TextExtent{0, 0};
  }
  return BitmapFont::Measure(text);
}

}  // namespace Quarnel
