#include "vimo/drawing/svgdrawadapter.h"

#include <cmath>
#include <cstdio>
#include <vector>

#include "vimo/drawing/bitmapfont.h"
#include "vimo/drawing/drawsupport.h"
#include "vimo/geometry/point.h"

namespace Quarnel {

namespace {

const double kPi = 3.14159265358979323846;

void Fail(const char* name, E_ERRORS code = E_ERROR_INVALID_PARAMETER) {
  ESetError(code);
  ETraceError(name);
}

// A coordinate with at most three decimals and no trailing zeros.
std::string Num(double v) {
  if (std::fabs(v) < 5e-4) v = 0.0;
  char buffer[64];
  std::snprintf(buffer, sizeof(buffer), "%.3f", v);
  std::string s = buffer;
  size_t dot = s.find('.');
  if (dot != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  return s;
}

std::string Num(int64_t v) { return std::to_string(v); }

// Character data safe for XML 1.0: markup escaped, control and non-ASCII bytes shown as '?'.
std::string Escape(const char* begin, size_t length) {
  std::string out;
  for (size_t i = 0; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(begin[i]);
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      case '\r': break;
      default: out += (c < 32 || c > 126) ? '?' : static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

SvgDrawAdapter::SvgDrawAdapter(int width, int height) : m_Width(width), m_Height(height) {
  if (width < 0 || height < 0) {
    Fail("SvgDrawAdapter::SvgDrawAdapter");
    m_Width = width < 0 ? 0 : width;
    m_Height = height < 0 ? 0 : height;
  }
}

std::string SvgDrawAdapter::GetDocument() const {
  std::string w = Num(int64_t(m_Width)), h = Num(int64_t(m_Height));
  std::string doc =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
      "version=\"1.1\" width=\"" +
      w + "\" height=\"" + h + "\" viewBox=\"0 0 " + w + " " + h + "\">\n";
  doc += m_Body;
  doc += "</svg>\n";
  return doc;
}

void SvgDrawAdapter::Save(const char* path) {
  if (path == nullptr) {
    Fail("SvgDrawAdapter::Save", E_ERROR_CANNOT_OPEN_FILE);
    return;
  }
  FILE* f = std::fopen(path, "wb");
  if (f == nullptr) {
    Fail("SvgDrawAdapter::Save", E_ERROR_CANNOT_OPEN_FILE);
    return;
  }
  std::string doc = GetDocument();
  bool written = std::fwrite(doc.data(), 1, doc.size(), f) == doc.size();
  bool closed = std::fclose(f) == 0;
  if (!written)
    Fail("SvgDrawAdapter::Save", E_ERROR_WRITE_FAILED);
  else if (!closed)
    Fail("SvgDrawAdapter::Save", E_ERROR_CLOSE_FAILED);
}

void SvgDrawAdapter::Clear() {
  m_Body.clear();
  m_Elements = 0;
}

void SvgDrawAdapter::Append(const std::string& element) {
  m_Body += "  ";
  m_Body += element;
  m_Body += '\n';
  ++m_Elements;
}

std::string SvgDrawAdapter::Colour(const DrawColor& color, const DrawColor& fallback) const {
  EC24 c = DrawSupport::Resolve(color, fallback);
  char buffer[8];
  std::snprintf(buffer, sizeof(buffer), "#%02x%02x%02x", c.C0, c.C1, c.C2);
  return buffer;
}

void SvgDrawAdapter::DrawPoint(int x, int y, const DrawColor& color, double opacity) {
  double a;
  if (!DrawSupport::ClampOpacity(opacity, a)) {
    Fail("SvgDrawAdapter::DrawPoint");
    return;
  }
  std::string e = "<rect x=\"" + Num(int64_t(x)) + "\" y=\"" + Num(int64_t(y)) +
                  "\" width=\"1\" height=\"1\" fill=\"" + Colour(color, m_Pen) + "\"";
  if (a < 1.0) e += " fill-opacity=\"" + Num(a) + "\"";
  Append(e + "/>");
}

void SvgDrawAdapter::DrawLine(int x0, int y0, int x1, int y1, const DrawColor& color) {
  Append("<line x1=\"" + Num(x0 + 0.5) + "\" y1=\"" + Num(y0 + 0.5) + "\" x2=\"" + Num(x1 + 0.5) +
         "\" y2=\"" + Num(y1 + 0.5) + "\" stroke=\"" + Colour(color, m_Pen) +
         "\" stroke-width=\"1\" stroke-linecap=\"square\"/>");
}

void SvgDrawAdapter::DrawArc(int x, int y, int width, int height, double start, double amplitude,
                             const DrawColor& color) {
  if (width < 0 || height < 0 || !std::isfinite(start) || std::isnan(amplitude)) {
    Fail("SvgDrawAdapter::DrawArc");
    return;
  }
  double cx = x + width / 2.0 + 0.5, cy = y + height / 2.0 + 0.5;
  double rx = width / 2.0, ry = height / 2.0;
  std::string r = Num(rx) + " " + Num(ry) + " 0 ";
  auto at = [&](double t) { return Num(cx + rx * std::cos(t)) + " " + Num(cy + ry * std::sin(t)); };
  std::string d = "M " + at(start);
  if (std::fabs(amplitude) >= 2.0 * kPi) {
    // A whole ellipse: two half turns, since one arc command cannot close on itself.
    d += " A " + r + "1 1 " + at(start + kPi) + " A " + r + "1 1 " + at(start) + " Z";
  } else {
    d += " A " + r + (std::fabs(amplitude) > kPi ? "1 " : "0 ") + (amplitude >= 0 ? "1 " : "0 ") +
         at(start + amplitude);
  }
  Append("<path d=\"" + d + "\" fill=\"none\" stroke=\"" + Colour(color, m_Pen) +
         "\" stroke-width=\"1\"/>");
}

void SvgDrawAdapter::Rect(const char* name, int x, int y, int width, int height,
                          const DrawColor& outline, const DrawColor* fill) {
  if (width < 0 || height < 0) {
    Fail(name);
    return;
  }
  if (width == 0 || height == 0) return;
  Append("<rect x=\"" + Num(x + 0.5) + "\" y=\"" + Num(y + 0.5) + "\" width=\"" +
         Num(int64_t(width) - 1) + "\" height=\"" + Num(int64_t(height) - 1) + "\" fill=\"" +
         (fill ? Colour(*fill, m_Background) : std::string("none")) + "\" stroke=\"" +
         Colour(outline, m_Pen) + "\" stroke-width=\"1\"/>");
}

void SvgDrawAdapter::DrawRectangle(int x, int y, int width, int height, const DrawColor& color) {
  Rect("SvgDrawAdapter::DrawRectangle", x, y, width, height, color, nullptr);
}

void SvgDrawAdapter::FillRectangle(int x, int y, int width, int height, const DrawColor& outline,
                                   const DrawColor& fill) {
  Rect("SvgDrawAdapter::FillRectangle", x, y, width, height, outline, &fill);
}

void SvgDrawAdapter::Ellipse(const char* name, int x, int y, int width, int height,
                             const DrawColor& outline, const DrawColor* fill) {
  if (width < 0 || height < 0) {
    Fail(name);
    return;
  }
  Append("<ellipse cx=\"" + Num(x + width / 2.0 + 0.5) + "\" cy=\"" + Num(y + height / 2.0 + 0.5) +
         "\" rx=\"" + Num(width / 2.0) + "\" ry=\"" + Num(height / 2.0) + "\" fill=\"" +
         (fill ? Colour(*fill, m_Background) : std::string("none")) + "\" stroke=\"" +
         Colour(outline, m_Pen) + "\" stroke-width=\"1\"/>");
}

void SvgDrawAdapter::DrawEllipse(int x, int y, int width, int height, const DrawColor& color) {
  Ellipse("SvgDrawAdapter::DrawEllipse", x, y, width, height, color, nullptr);
}

void SvgDrawAdapter::FillEllipse(int x, int y, int width, int height, const DrawColor& outline,
                                 const DrawColor& fill) {
  Ellipse("SvgDrawAdapter::FillEllipse", x, y, width, height, outline, &fill);
}

void SvgDrawAdapter::DrawPolygon(const EPoint* points, int count, const DrawColor& color) {
  Polygon("SvgDrawAdapter::DrawPolygon", points, count, color, nullptr);
}

void SvgDrawAdapter::FillPolygon(const EPoint* points, int count, const DrawColor& outline,
                                 const DrawColor& fill) {
  Polygon("SvgDrawAdapter::FillPolygon", points, count, outline, &fill);
}

void SvgDrawAdapter::Polygon(const char* name, const EPoint* points, int count,
                             const DrawColor& outline, const DrawColor* fill) {
  if (count < 0 || (count > 0 && points == nullptr)) {
    Fail(name);
    return;
  }
  std::string list;
  for (int i = 0; i < count; ++i) {
    double fx = points[i].GetX(), fy = points[i].GetY();
    if (!(std::fabs(fx) < 2147483647.0) || !(std::fabs(fy) < 2147483647.0)) {
      Fail(name);
      return;
    }
    if (i > 0) list += ' ';
    list += Num(std::llround(fx) + 0.5) + "," + Num(std::llround(fy) + 0.5);
  }
  if (count == 0) return;
  Append("<polygon points=\"" + list + "\" fill=\"" +
         (fill ? Colour(*fill, m_Background) : std::string("none")) + "\"" +
         (fill ? " fill-rule=\"evenodd\"" : "") + " stroke=\"" + Colour(outline, m_Pen) +
         "\" stroke-width=\"1\"/>");
}

std::string SvgDrawAdapter::TextElement(const char* text, int x, int y,
                                        const DrawColor& color) const {
  std::vector<BitmapFont::Line> lines = BitmapFont::SplitLines(text);
  TextExtent extent = BitmapFont::Measure(text);
  std::string centre = Num(x + 2 + extent.Width / 2.0);
  std::string e =
      "<text font-family=\"monospace\" font-size=\"10\" text-anchor=\"middle\" "
      "xml:space=\"preserve\" fill=\"" +
      Colour(color, m_Pen) + "\">";
  for (size_t i = 0; i < lines.size(); ++i) {
    // The baseline lies under the seventh row of the glyph cell.
    int64_t baseline = int64_t(y) + 1 + static_cast<int64_t>(i) * BitmapFont::LineHeight + 7;
    e += "<tspan x=\"" + centre + "\" y=\"" + Num(baseline) + "\">" +
         Escape(lines[i].Start, lines[i].Length) + "</tspan>";
  }
  return e + "</text>";
}

void SvgDrawAdapter::DrawText(const char* text, int x, int y, const DrawColor& color) {
  if (text == nullptr) {
    Fail("SvgDrawAdapter::DrawText");
    return;
  }
  Append(TextElement(text, x, y, color));
}

void SvgDrawAdapter::DrawTextBox(const char* text, int x, int y, const DrawColor& textColor,
                                 const DrawColor& boxColor) {
  if (text == nullptr) {
    Fail("SvgDrawAdapter::DrawTextBox");
    return;
  }
  TextExtent extent = BitmapFont::Measure(text);
  std::string box = Colour(boxColor, m_Background);
  Append("<g><rect x=\"" + Num(x + 0.5) + "\" y=\"" + Num(y + 0.5) + "\" width=\"" +
         Num(int64_t(extent.Width) + 3) + "\" height=\"" + Num(int64_t(extent.Height) + 1) +
         "\" fill=\"" + box + "\" stroke=\"" + box + "\" stroke-width=\"1\"/>" +
         TextElement(text, x, y, textColor) + "</g>");
}

void SvgDrawAdapter::DrawImage(EGenericROI* image, int x, int y, double opacity,
                               const DrawColor& color) {
  double a;
  DrawSupport::RegionReader reader(image);
  if (!reader.IsValid() || !DrawSupport::ClampOpacity(opacity, a)) {
    Fail("SvgDrawAdapter::DrawImage");
    return;
  }
  int w = reader.GetWidth(), h = reader.GetHeight();
  std::vector<EC24> pixels;
  std::vector<uint8_t> png;
  try {
    pixels.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
  } catch (const std::bad_alloc&) {
    Fail("SvgDrawAdapter::DrawImage", E_ERROR_ALLOCATION_FAILED);
    return;
  }
  for (int row = 0; row < h; ++row)
    reader.ReadRow(row, 0, w, color, &pixels[static_cast<size_t>(row) * w]);
  if (!DrawSupport::EncodePng(pixels, w, h, png)) {
    Fail("SvgDrawAdapter::DrawImage");
    return;
  }
  std::string e = "<image x=\"" + Num(int64_t(x)) + "\" y=\"" + Num(int64_t(y)) + "\" width=\"" +
                  Num(int64_t(w)) + "\" height=\"" + Num(int64_t(h)) + "\"";
  if (a < 1.0) e += " opacity=\"" + Num(a) + "\"";
  Append(e + " preserveAspectRatio=\"none\" style=\"image-rendering:pixelated\" " +
         "xlink:href=\"data:image/png;base64," + DrawSupport::Base64(png) + "\"/>");
}

TextExtent SvgDrawAdapter::GetTextExtent(const char* text) {
  if (text == nullptr) {
    Fail("SvgDrawAdapter::GetTextExtent");
    return TextExtent{0, 0};
  }
  return BitmapFont::Measure(text);
}

}  // namespace Quarnel
