// The SVG adapter: one element per call in a well-formed document, exact attributes, bad input.
#include "vimo/drawing/svgdrawadapter.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "drawing/draw_test_support.h"
#include "test_support.h"
#include "vimo/drawing/drawsupport.h"
#include "vimo/geometry/point.h"

using namespace Quarnel;
using namespace draw_test;

namespace {

std::vector<uint8_t> Unbase64(const std::string& text) {
  static const std::string alphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::vector<uint8_t> out;
  uint32_t bits = 0;
  int n = 0;
  for (char c : text) {
    const size_t v = alphabet.find(c);
    if (v == std::string::npos) break;
    bits = (bits << 6) | static_cast<uint32_t>(v);
    if ((n += 6) >= 8) out.push_back(static_cast<uint8_t>(bits >> (n -= 8)));
  }
  return out;
}

bool Has(const std::string& doc, const std::string& what) {
  return doc.find(what) != std::string::npos;
}

}  // namespace

TEST(SvgDrawAdapter, OneElementPerDrawingCallInAWellFormedDocument) {
  if (!vimo_test::kHavePng) GTEST_SKIP() << "built without libpng: no embedded images";
  EOk();
  SvgDrawAdapter svg(64, 48);
  EImage<EBW8> grey(3, 2);
  grey.SetPixel(255, 1, 1);
  const EPoint points[] = {EPoint(2.4f, 2.6f), EPoint(10, 3), EPoint(-4.5f, 12)};
  svg.SetPenColor(DrawColor{0, 200, 0});
  svg.DrawPoint(1, 2, DefaultColor, 0.5);
  svg.DrawLine(0, 0, 63, 47, RedColor);
  svg.DrawArc(10, 10, 20, 10, 0.0, kPi / 2, BlueColor);
  svg.DrawArc(10, 10, 20, 10, 0.0, 2 * kPi, BlueColor);
  svg.DrawRectangle(2, 3, 10, 5, DefaultColor);
  svg.DrawEllipse(20, 20, 9, 7, DefaultColor);
  svg.FillRectangle(1, 1, 4, 4, DefaultColor, DefaultColor);
  svg.FillEllipse(30, 5, 6, 6, RedColor, WhiteColor);
  svg.DrawText("line 1\nsecond <line> & 'more'", 5, 30, DefaultColor);
  svg.DrawTextBox("x < y", 40, 40, WhiteColor, BlackColor);
  svg.DrawImage(&grey, 50, 2, 0.75, DefaultColor);
  svg.DrawPolygon(points, 3, RedColor);
  svg.FillPolygon(points, 3, RedColor, DefaultColor);
  svg.FillPolygon(points, 0, DefaultColor, DefaultColor);  // an empty list adds nothing
  EXPECT_EQ(EGetError(), E_OK) << EGetErrorTrace();
  EXPECT_EQ(svg.GetNumElements(), 13);

  const std::string doc = svg.GetDocument();
  XmlChecker checker;
  ASSERT_TRUE(checker.Check(doc)) << checker.error << "\n" << doc;
  EXPECT_EQ(checker.rootName, "svg");
  EXPECT_EQ(checker.rootChildren, 13);
  EXPECT_TRUE(Has(doc, "width=\"64\" height=\"48\""));
  // The default pen and background colours, the explicit ones; coordinates on pixel centres.
  EXPECT_TRUE(Has(doc, "fill=\"#00c800\" fill-opacity=\"0.5\""));
  EXPECT_TRUE(Has(doc,
                  "<rect x=\"1.5\" y=\"1.5\" width=\"3\" height=\"3\" fill=\"#ffffff\" "
                  "stroke=\"#00c800\""));
  EXPECT_TRUE(Has(doc, "<line x1=\"0.5\" y1=\"0.5\" x2=\"63.5\" y2=\"47.5\" stroke=\"#ff0000\""));
  // The quarter arc from (30.5, 15.5) to (20.5, 20.5), clockwise on screen.
  EXPECT_TRUE(Has(doc, "d=\"M 30.5 15.5 A 10 5 0 0 1 20.5 20.5\""));
  EXPECT_TRUE(Has(doc, "points=\"2.5,3.5 10.5,3.5 -4.5,12.5\" fill=\"none\" stroke=\"#ff0000\""));
  EXPECT_TRUE(Has(doc, "fill=\"#ffffff\" fill-rule=\"evenodd\" stroke=\"#ff0000\""));
  size_t tspans = 0;
  for (size_t at = doc.find("<tspan"); at != std::string::npos; at = doc.find("<tspan", at + 1))
    ++tspans;
  EXPECT_EQ(tspans, 3u);
  EXPECT_TRUE(Has(doc, "second &lt;line&gt; &amp; &apos;more&apos;"));
  // The image is a PNG of the region's size.
  const size_t at = doc.find("base64,");
  ASSERT_NE(at, std::string::npos);
  std::vector<uint8_t> png = Unbase64(doc.substr(at + 7));
  ASSERT_GT(png.size(), 33u);
  const uint8_t signature[8] = {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a};
  EXPECT_TRUE(std::equal(signature, signature + 8, png.begin()));
  EXPECT_EQ(png[19], 3);  // IHDR width, big-endian
  EXPECT_EQ(png[23], 2);  // IHDR height

  std::string path = vimo_test::ScratchPath("overlay.svg");
  svg.Save(path.c_str());
  EXPECT_EQ(EGetError(), E_OK);
  std::vector<uint8_t> bytes = vimo_test::ReadFileBytes(path);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), doc);
  struct stat info;  // a packaged XML parser, where installed, agrees
  if (stat("/usr/bin/xmllint", &info) == 0) {
    EXPECT_EQ(std::system(("/usr/bin/xmllint --noout " + path).c_str()), 0);
  }
  std::remove(path.c_str());
  svg.Clear();
  EXPECT_EQ(svg.GetNumElements(), 0);
  ASSERT_TRUE(checker.Check(svg.GetDocument()));
  EXPECT_EQ(checker.rootChildren, 0);
}

TEST(SvgDrawAdapter, BadInputAddsNothing) {
  EOk();
  SvgDrawAdapter svg(10, 10);
  EImage<ESubPixel64> table(2, 2);
  EROI<EBW8> detached;
  const EPoint nanPoint[] = {EPoint(0, std::numeric_limits<float>::quiet_NaN())};
  const std::pair<const char*, std::function<void()>> refused[] = {
      {"SvgDrawAdapter::DrawText", [&] { svg.DrawText(nullptr, 0, 0, RedColor); }},
      {"SvgDrawAdapter::DrawTextBox", [&] { svg.DrawTextBox(nullptr, 0, 0, RedColor, RedColor); }},
      {"SvgDrawAdapter::GetTextExtent", [&] { svg.GetTextExtent(nullptr); }},
      {"SvgDrawAdapter::DrawRectangle", [&] { svg.DrawRectangle(0, 0, -1, 5, RedColor); }},
      {"SvgDrawAdapter::FillEllipse",
       [&] { svg.FillEllipse(0, 0, 5, INT_MIN, RedColor, RedColor); }},
      {"SvgDrawAdapter::DrawArc", [&] { svg.DrawArc(0, 0, 5, 5, 0.0, std::nan(""), RedColor); }},
      {"SvgDrawAdapter::DrawPoint", [&] { svg.DrawPoint(0, 0, RedColor, std::nan("")); }},
      {"SvgDrawAdapter::DrawImage", [&] { svg.DrawImage(&table, 0, 0, 1.0, DefaultColor); }},
      {"SvgDrawAdapter::DrawImage", [&] { svg.DrawImage(&detached, 0, 0, 1.0, DefaultColor); }},
      {"SvgDrawAdapter::DrawImage", [&] { svg.DrawImage(nullptr, 0, 0, 1.0, DefaultColor); }},
      {"SvgDrawAdapter::DrawPolygon", [&] { svg.DrawPolygon(nullptr, 3, RedColor); }},
      {"SvgDrawAdapter::DrawPolygon", [&] { svg.DrawPolygon(nanPoint, 1, RedColor); }},
      {"SvgDrawAdapter::FillPolygon", [&] { svg.FillPolygon(nullptr, -1, RedColor, RedColor); }},
  };
  for (const auto& r : refused) {
    r.second();
    ExpectRefused(r.first);
  }
  svg.DrawPolygon(nullptr, 0, RedColor);  // an empty list or size draws nothing
  svg.DrawRectangle(0, 0, 0, 5, RedColor);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(svg.GetNumElements(), 0);
  // Extreme coordinates and odd text stay well-formed.
  svg.DrawLine(INT_MIN, INT_MIN, INT_MAX, INT_MAX, RedColor);
  svg.FillRectangle(INT_MAX, INT_MIN, INT_MAX, INT_MAX, RedColor, DefaultColor);
  svg.DrawText("\x01\x7f\xff\t]]>--", 0, 0, RedColor);
  svg.DrawText("", 0, 0, RedColor);
  XmlChecker checker;
  ASSERT_TRUE(checker.Check(svg.GetDocument())) << checker.error;
  EXPECT_EQ(checker.rootChildren, 4);
  for (const char* path : {"/nonexistent-folder/overlay.svg", static_cast<const char*>(nullptr)}) {
    svg.Save(path);
    EXPECT_EQ(EGetError(), E_ERROR_CANNOT_OPEN_FILE);
    EOk();
  }
  SvgDrawAdapter negative(-5, 3);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EOk();
  ASSERT_TRUE(checker.Check(negative.GetDocument()));
  EXPECT_TRUE(Has(negative.GetDocument(), "width=\"0\" height=\"3\""));
}

TEST(DrawSupport, Base64AndPng) {
  if (!vimo_test::kHavePng) GTEST_SKIP() << "built without libpng";
  const std::pair<std::string, std::string> cases[] = {{"", ""},
                                                       {"f", "Zg=="},
                                                       {"fo", "Zm8="},
                                                       {"foo", "Zm9v"},
                                                       {"foob", "Zm9vYg=="},
                                                       {"fooba", "Zm9vYmE="},
                                                       {"foobar", "Zm9vYmFy"},
                                                       {"\xff\xef", "/+8="}};
  for (const auto& c : cases)
    EXPECT_EQ(DrawSupport::Base64(std::vector<uint8_t>(c.first.begin(), c.first.end())), c.second);
  std::vector<uint8_t> png;
  std::vector<EC24> pixels(6, EC24{1, 2, 3});
  EXPECT_FALSE(DrawSupport::EncodePng(pixels, 0, 6, png));
  EXPECT_FALSE(DrawSupport::EncodePng(pixels, 4, 2, png));  // size mismatch
  EXPECT_FALSE(DrawSupport::EncodePng(pixels, -2, -3, png));
  ASSERT_TRUE(DrawSupport::EncodePng(pixels, 3, 2, png));
  std::string path = vimo_test::ScratchPath("encoded.png");  // loads back with its pixels
  vimo_test::WriteFileBytes(path, png);
  EImage<EC24> back;
  back.Load(path.c_str());
  std::remove(path.c_str());
  ASSERT_EQ(EGetError(), E_OK);
  ASSERT_EQ(back.GetWidth(), 3);
  ASSERT_EQ(back.GetHeight(), 2);
  EXPECT_EQ(back.GetPixel(2, 1), (EC24{1, 2, 3}));
}
