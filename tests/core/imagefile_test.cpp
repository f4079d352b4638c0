#include <gtest/gtest.h>

#include <string>

#include "test_support.h"
#include "vimo/core/core.h"

using vimo_test::ReadFileBytes;
using vimo_test::ScratchPath;
using vimo_test::WriteFileBytes;

namespace {

std::vector<uint8_t> Bytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

EImage<EBW8> Pattern(int width, int height) {
  EImage<EBW8> image(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.SetPixel(static_cast<EBW8>(x * 37 + y * 11), x, y);
  return image;
}

void ExpectSame(EImage<EBW8>& a, EImage<EBW8>& b) {
  ASSERT_EQ(a.GetWidth(), b.GetWidth());
  ASSERT_EQ(a.GetHeight(), b.GetHeight());
  for (int y = 0; y < a.GetHeight(); ++y)
    for (int x = 0; x < a.GetWidth(); ++x)
      ASSERT_EQ(a.GetPixel(x, y), b.GetPixel(x, y)) << x << "," << y;
}

}  // namespace

TEST(ImageFiles, PgmIsWrittenExactly) {
  EImage<EBW8> image(3, 2);
  for (int i = 0; i < 6; ++i) image.SetPixel(static_cast<EBW8>(i * 40), i % 3, i / 3);
  std::string path = ScratchPath("exact.pgm");
  EOk();
  image.Save(path.c_str());
  ASSERT_EQ(EGetError(), E_OK);
  std::vector<uint8_t> expected = Bytes("P5\n3 2\n255\n");
  for (int i = 0; i < 6; ++i) expected.push_back(static_cast<uint8_t>(i * 40));
  EXPECT_EQ(ReadFileBytes(path), expected);
}

TEST(ImageFiles, RoundTripsThroughEveryFormat) {
  EImage<EBW8> grey = Pattern(13, 7);
  for (const char* name : {"grey.pgm", "grey.png"}) {
    if (!vimo_test::kHavePng && std::string(name).find(".png") != std::string::npos) continue;
    std::string path = ScratchPath(name);
    EOk();
    grey.Save(path.c_str());
    ASSERT_EQ(EGetError(), E_OK) << name;
    EImage<EBW8> back;
    back.Load(path.c_str());
    ASSERT_EQ(EGetError(), E_OK) << name;
    ExpectSame(grey, back);
  }
  EImage<EC24> colour(5, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x)
      colour.SetPixel(EC24{static_cast<uint8_t>(x * 50), static_cast<uint8_t>(y * 60), 7}, x, y);
  for (const char* name : {"colour.ppm", "colour.png"}) {
    if (!vimo_test::kHavePng && std::string(name).find(".png") != std::string::npos) continue;
    std::string path = ScratchPath(name);
    EOk();
    colour.Save(path.c_str());
    ASSERT_EQ(EGetError(), E_OK) << name;
    EImage<EC24> back;
    back.Load(path.c_str());
    ASSERT_EQ(EGetError(), E_OK) << name;
    EXPECT_EQ(back.GetPixel(4, 3), (EC24{200, 180, 7}));
    // A colour file read as grey keeps the luminance.
    EImage<EBW8> luminance;
    luminance.Load(path.c_str());
    EXPECT_EQ(luminance.GetPixel(4, 3), (299 * 200 + 587 * 180 + 114 * 7 + 500) / 1000);
  }
}

TEST(ImageFiles, SixteenBitPgmIsScaledToEightBits) {
  std::vector<uint8_t> bytes = Bytes("P5 2 1 65535\n");
  for (uint8_t b : {0xFF, 0xFF, 0x80, 0x00}) bytes.push_back(b);
  std::string path = ScratchPath("wide.pgm");
  WriteFileBytes(path, bytes);
  EImage<EBW8> image;
  EOk();
  image.Load(path.c_str());
  ASSERT_EQ(EGetError(), E_OK);
  EXPECT_EQ(image.GetPixel(0, 0), 255);
  EXPECT_EQ(image.GetPixel(1, 0), 128);
}

TEST(ImageFiles, BadFilesSetAnErrorAndLeaveTheImageUsable) {
  EImage<EBW8> good = Pattern(6, 5);
  std::string pgm = ScratchPath("good.pgm");
  std::string png = ScratchPath("good.png");
  good.Save(pgm.c_str());
  good.Save(png.c_str());
  std::vector<uint8_t> pgmBytes = ReadFileBytes(pgm);
  std::vector<uint8_t> pngBytes = ReadFileBytes(png);

  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    E_ERRORS expected;
  };
  std::vector<uint8_t> truncatedPgm(pgmBytes.begin(), pgmBytes.end() - 4);
  std::vector<uint8_t> truncatedPng(pngBytes.begin(), pngBytes.begin() + pngBytes.size() / 2);
  std::vector<uint8_t> corruptPng = pngBytes;
  for (size_t i = 40; i < corruptPng.size(); i += 3) corruptPng[i] ^= 0x5A;
  const Case cases[] = {
      {"empty", {}, E_ERROR_READ_FAILED},
      {"garbage", Bytes("this is not an image at all"), E_ERROR_BAD_SIGNATURE},
      {"truncated pgm", truncatedPgm, E_ERROR_READ_FAILED},
      {"truncated png", truncatedPng, E_ERROR_READ_FAILED},
      {"corrupt png", corruptPng, E_ERROR_READ_FAILED},
      {"header only", Bytes("P5\n"), E_ERROR_BAD_SIGNATURE},
      {"negative size", Bytes("P5\n-4 4\n255\n0000000000000000"), E_ERROR_BAD_SIGNATURE},
      {"zero size", Bytes("P5\n0 4\n255\n"), E_ERROR_BAD_SIGNATURE},
      // A header that promises a huge image is refused before anything is allocated for it.
      {"huge size", Bytes("P5\n999999999 999999999\n255\nabc"), E_ERROR_READ_FAILED},
      {"bad maxval", Bytes("P5\n1 1\n70000\nab"), E_ERROR_BAD_SIGNATURE},
  };
  for (const Case& c : cases) {
    std::string path = ScratchPath("bad.img");
    WriteFileBytes(path, c.bytes);
    EImage<EBW8> image = Pattern(6, 5);
    EOk();
    image.Load(path.c_str());
    EXPECT_TRUE(EGetError() == E_ERROR_READ_FAILED || EGetError() == E_ERROR_BAD_SIGNATURE)
        << c.name;
    // libpng may classify a damaged stream either way; the others are exact.
    if (std::string(c.name).find("png") == std::string::npos) {
      EXPECT_EQ(EGetError(), c.expected) << c.name;
    }
    EXPECT_NE(std::string(EGetErrorTrace()).find("EImage<EBW8>::Load"), std::string::npos);
    ExpectSame(image, good);
    EImage<EC24> colour;
    colour.Load(path.c_str());
    EXPECT_NE(EGetError(), E_OK) << c.name;
    EXPECT_TRUE(colour.IsVoid());
  }
  EOk();
  EImage<EBW8> image;
  image.Load(ScratchPath("does-not-exist.pgm").c_str());
  EXPECT_EQ(EGetError(), E_ERROR_CANNOT_OPEN_FILE);
  image.Load(nullptr);
  EXPECT_EQ(EGetError(), E_ERROR_CANNOT_OPEN_FILE);
}

TEST(ImageFiles, SaveRefusesWhatItCannotWrite) {
  EImage<EBW8> image = Pattern(2, 2);
  EOk();
  image.Save(ScratchPath("image.bmp").c_str());
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EOk();
  image.Save("/nonexistent-folder/x.pgm");
  EXPECT_EQ(EGetError(), E_ERROR_CANNOT_OPEN_FILE);
  EOk();
  EImage<EBW8> empty;
  empty.Save(ScratchPath("empty.pgm").c_str());
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EOk();
  EImage<EBW16> wide(2, 2);
  wide.Save(ScratchPath("wide.pgm").c_str());
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
}

TEST(ImageFiles, RealPhotographsLoad) {
  std::string coins = vimo_test::DataFile("gauge/simplecv_coins.pgm");
  std::string jpegOnly = vimo_test::DataFile("calib/boofcv_circle_regular/image00000.pgm");
  if (coins.empty() && jpegOnly.empty()) GTEST_SKIP() << "test data folder absent";
  for (const std::string& path : {coins, jpegOnly}) {
    if (path.empty()) continue;
    EImage<EBW8> image;
    EOk();
    image.Load(path.c_str());
    EXPECT_EQ(EGetError(), E_OK) << path;
    EXPECT_GT(image.GetWidth(), 100);
  }
}
