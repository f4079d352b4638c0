#include "vimo/drawing/svgdrawadapter.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <cmath>
#include <cstdlib>

#include "drawing/draw_test_support.h"
#include "test_support.h"
#include "vimo/drawing/drawsupport.h"

using namespace Quarnel;
using draw_test::XmlChecker;

namespace {

const double kPi = 3.14159265358979323846;

std::vector<uint8_t> Unbase64(const std::string& text) {
  std::vector<uint8_t> out;
  uint32_t bits = 0;
  int n = 0;
  for (char c : text) {
    int v;
    if (c >= 'A' && c <= 'Z')
      v = c - 'A';
    else if (c >= 'a' && c <= 'z')
      v = c - 'a' + 26;
    else if (c >= '0' && c <= '9')
      v = c - '0' + 52;
    else if (c == '+')
      v = 62;
    else if (c == '/')
      v = 63;
    else
      break;
    bits = (bits << 6) | static_cast<uint32_t>(v);
    n += 6;
    if (n >= 8) {
      n -= 8;
      out.push_back(static_cast<uint8_t>(bits >> n));
    }
  }
  return out;
}

size_t Occurrences(const std::string& s, const std::string& what) {
  size_t n = 0;
  for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
  return n;
}

}  // namespace

TEST(SvgDrawAdapter, OneElementPerDrawingCallInAWellFormedDocument) {
  EOk();
  SvgDrawAdapter svg(64, 48);
  EImage<EBW8> grey(3, 2);
  grey.SetPixel(255, 1, 1);
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
  EXPECT_EQ(EGetError(), E_OK) << EGetErrorTrace();
  EXPECT_EQ(svg.GetNumElements(), 11);
  EXPECT_EQ(svg.GetCurrentColor(), (DrawColor{0, 200, 0}));

  std::string doc = svg.GetDocument();
  XmlChecker checker;
  ASSERT_TRUE(checker.Check(doc)) << checker.error << "\n" << doc;
  EXPECT_EQ(checker.rootName, "svg");
  EXPECT_EQ(checker.rootChildren, 11);
  EXPECT_NE(doc.find("width=\"64\" height=\"48\""), std::string::npos);
  // The default pen and background colours, the explicit ones.
  EXPECT_NE(doc.find("fill=\"#00c800\" fill-opacity=\"0.5\""), std::string::npos);
  EXPECT_NE(doc.find("<rect x=\"1.5\" y=\"1.5\" width=\"3\" height=\"3\" fill=\"#ffffff\" "
                     "stroke=\"#00c800\""),
            std::string::npos);
  // Lines through pixel centres, reaching both end pixels.
  EXPECT_NE(doc.find("<line x1=\"0.5\" y1=\"0.5\" x2=\"63.5\" y2=\"47.5\" stroke=\"#ff0000\""),
            std::string::npos);
  // The quarter arc from (30.5, 15.5) to (20.5, 20.5) clockwise on screen.
  EXPECT_NE(doc.find("d=\"M 30.5 15.5 A 10 5 0 0 1 20.5 20.5\""), std::string::npos);
  EXPECT_EQ(Occurrences(doc, "<tspan"), 3u);
  EXPECT_NE(doc.find("second &lt;line&gt; &amp; &apos;more&apos;"), std::string::npos);

  // The image is a PNG of the region's size.
  size_t at = doc.find("base64,");
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
  // A packaged XML parser, where installed, agrees.
  struct stat info;
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
  auto expectRefused = [&](const char* name) {
    EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER) << name;
    EXPECT_NE(std::string(EGetErrorTrace()).find(name), std::string::npos) << name;
    EOk();
  };
  svg.DrawText(nullptr, 0, 0, RedColor);
  expectRefused("SvgDrawAdapter::DrawText");
  svg.DrawTextBox(nullptr, 0, 0, RedColor, RedColor);
  expectRefused("SvgDrawAdapter::DrawTextBox");
  svg.GetTextExtent(nullptr);
  expectRefused("SvgDrawAdapter::GetTextExtent");
  svg.DrawRectangle(0, 0, -1, 5, RedColor);
  expectRefused("SvgDrawAdapter::DrawRectangle");
  svg.FillEllipse(0, 0, 5, INT_MIN, RedColor, RedColor);
  expectRefused("SvgDrawAdapter::FillEllipse");
  svg.DrawArc(0, 0, 5, 5, 0.0, std::nan(""), RedColor);
  expectRefused("SvgDrawAdapter::DrawArc");
  svg.DrawPoint(0, 0, RedColor, std::nan(""));
  expectRefused("SvgDrawAdapter::DrawPoint");
  svg.DrawImage(&table, 0, 0, 1.0, DefaultColor);
  expectRefused("SvgDrawAdapter::DrawImage");
  svg.DrawImage(&detached, 0, 0, 1.0, DefaultColor);
  expectRefused("SvgDrawAdapter::DrawImage");
  svg.DrawImage(nullptr, 0, 0, 1.0, DefaultColor);
  expectRefused("SvgDrawAdapter::DrawImage");
  svg.DrawPolygon(nullptr, 3, RedColor);
  expectRefused("SvgDrawAdapter::DrawPolygon");
  svg.FillPolygon(nullptr, -1, RedColor, RedColor);
  expectRefused("SvgDrawAdapter::FillPolygon");
  svg.DrawPolygon(nullptr, 0, RedColor);  // an empty list draws nothing
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

  svg.Save("/nonexistent-folder/overlay.svg");
  EXPECT_EQ(EGetError(), E_ERROR_CANNOT_OPEN_FILE);
  EOk();
  svg.Save(nullptr);
  EXPECT_EQ(EGetError(), E_ERROR_CANNOT_OPEN_FILE);
  EOk();
  SvgDrawAdapter negative(-5, 3);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EOk();
  ASSERT_TRUE(checker.Check(negative.GetDocument()));
  EXPECT_NE(negative.GetDocument().find("width=\"0\" height=\"3\""), std::string::npos);
}

TEST(DrawSupport, Base64AndPng) {
  auto b64 = [](const std::string& s) {
    return DrawSupport::Base64(std::vector<uint8_t>(s.begin(), s.end()));
  };
  EXPECT_EQ(b64(""), "");
  EXPECT_EQ(b64("f"), "Zg==");
  EXPECT_EQ(b64("fo"), "Zm8=");
  EXPECT_EQ(b64("foo"), "Zm9v");
  EXPECT_EQ(b64("foob"), "Zm9vYg==");
  EXPECT_EQ(b64("fooba"), "Zm9vYmE=");
  EXPECT_EQ(b64("foobar"), "Zm9vYmFy");
  EXPECT_EQ(DrawSupport::Base64({0xff, 0xef, 0x00}), "/+8A");

  std::vector<uint8_t> png;
  std::vector<EC24> pixels(6, EC24{1, 2, 3});
  EXPECT_FALSE(DrawSupport::EncodePng(pixels, 0, 6, png));
  EXPECT_FALSE(DrawSupport::EncodePng(pixels, 4, 2, png));  // size mismatch
  EXPECT_FALSE(DrawSupport::EncodePng(pixels, -2, -3, png));
  ASSERT_TRUE(DrawSupport::EncodePng(pixels, 3, 2, png));
  // Written to a file, the PNG loads back with its pixels.
  std::string path = vimo_test::ScratchPath("encoded.png");
  vimo_test::WriteFileBytes(path, png);
  EImage<EC24> back;
  back.Load(path.c_str());
  std::remove(path.c_str());
  ASSERT_EQ(EGetError(), E_OK);
  ASSERT_EQ(back.GetWidth(), 3);
  ASSERT_EQ(back.GetHeight(), 2);
  EXPECT_EQ(back.GetPixel(2, 1), (EC24{1, 2, 3}));
}
