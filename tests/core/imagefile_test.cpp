#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "test_support.h"
#include "vimo/core/core.h"

using vimo_test::PutU8;
using vimo_test::ReadFileBytes;
using vimo_test::ScratchPath;
using vimo_test::WriteFileBytes;

namespace {

std::vector<uint8_t> Bytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

bool CodecBuilt(std::string name) {
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (name.find(".png") != std::string::npos) return vimo_test::kHavePng;
  if (name.find(".jp") != std::string::npos) return vimo_test::kHaveJpeg;
  if (name.find(".tif") != std::string::npos) return vimo_test::kHaveTiff;
  return true;
}

void PutBE(std::vector<uint8_t>& b, uint32_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// A PNG chunk with its CRC (the bitwise CRC-32 of the type and data).
void PutChunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
  PutBE(png, static_cast<uint32_t>(data.size()), 4);
  std::vector<uint8_t> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  uint32_t crc = 0xFFFFFFFFu;
  for (uint8_t byte : body) {
    crc ^= byte;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  png.insert(png.end(), body.begin(), body.end());
  PutBE(png, ~crc, 4);
}

// A PNG of the given header whose image data is one stored (uncompressed) deflate block of the
// filtered rows given.
std::vector<uint8_t> MakePng(uint32_t width, uint32_t height, int depth, int colourType,
                             const std::vector<uint8_t>& rows) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
  std::vector<uint8_t> header;
  PutBE(header, width, 4);
  PutBE(header, height, 4);
  for (int v : {depth, colourType, 0, 0, 0}) PutU8(header, static_cast<uint8_t>(v));
  PutChunk(png, "IHDR", header);
  std::vector<uint8_t> zlib = {0x78, 0x01, 0x01};
  const uint16_t n = static_cast<uint16_t>(rows.size());
  for (uint16_t v : {n, static_cast<uint16_t>(~n)}) {
    PutU8(zlib, static_cast<uint8_t>(v));
    PutU8(zlib, static_cast<uint8_t>(v >> 8));
  }
  zlib.insert(zlib.end(), rows.begin(), rows.end());
  uint32_t a = 1, b = 0;
  for (uint8_t byte : rows) a = (a + byte) % 65521, b = (b + a) % 65521;
  PutBE(zlib, (b << 16) | a, 4);
  PutChunk(png, "IDAT", zlib);
  PutChunk(png, "IEND", {});
  return png;
}

// An uncompressed one-strip TIFF in either byte order; samples are given as the file holds them.
std::vector<uint8_t> MakeTiff(bool bigEndian, uint32_t width, uint32_t height, int bits,
                              int samplesPerPixel, int photometric,
                              const std::vector<uint8_t>& samples) {
  std::vector<uint8_t> t;
  auto put = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
      t.push_back(static_cast<uint8_t>(v >> (8 * (bigEndian ? bytes - 1 - i : i))));
  };
  const int entries = 9;
  const uint32_t extra = 8 + 2 + 12 * entries + 4;    // the bits-per-sample array
  const uint32_t data = extra + 2 * samplesPerPixel;  // the strip
  t.push_back(bigEndian ? 'M' : 'I');
  t.push_back(bigEndian ? 'M' : 'I');
  put(42, 2);
  put(8, 4);
  put(entries, 2);
  auto entry = [&](int tag, int type, uint32_t count, uint32_t value) {
    put(tag, 2);
    put(type, 2);
    put(count, 4);
    if (type == 3 && count == 1) {
      put(value, 2);
      put(0, 2);
    } else {
      put(value, 4);
    }
  };
  entry(256, 4, 1, width);
  entry(257, 4, 1, height);
  entry(258, 3, samplesPerPixel, samplesPerPixel == 1 ? bits : extra);
  entry(259, 3, 1, 1);
  entry(262, 3, 1, photometric);
  entry(273, 4, 1, data);
  entry(277, 3, 1, samplesPerPixel);
  entry(278, 4, 1, height);
  entry(279, 4, 1, static_cast<uint32_t>(samples.size()));
  put(0, 4);
  for (int i = 0; i < samplesPerPixel; ++i) put(bits, 2);
  t.insert(t.end(), samples.begin(), samples.end());
  return t;
}

// A baseline JPEG header (start of frame and of scan, no tables) claiming the given size.
std::vector<uint8_t> MakeJpegHeader(int width, int height) {
  std::vector<uint8_t> j = {0xFF, 0xD8, 0xFF, 0xC0, 0, 11, 8};
  PutBE(j, height, 2);
  PutBE(j, width, 2);
  for (int v : {1, 1, 0x11, 0, 0xFF, 0xDA, 0, 8, 1, 1, 0, 0, 63, 0, 0x12, 0x34, 0xFF, 0xD9})
    PutU8(j, static_cast<uint8_t>(v));
  return j;
}

// The test pattern of each pixel type (smooth, so that JPEG keeps it; the 16-bit one varies
// both bytes), and the samples (r, g, b, whether grey, bits) a file
// saved from it holds.
struct Samples {
  unsigned r, g, b;
  bool grey;
  int bits;
};
template <class T>
T PatternPixel(int x, int y);
template <>
EBW8 PatternPixel<EBW8>(int x, int y) {
  return static_cast<EBW8>(x * 5 + y * 3 + 8);
}
template <>
EBW16 PatternPixel<EBW16>(int x, int y) {
  return static_cast<EBW16>(x * 4099 + y * 257 + 1);
}
template <>
EC24 PatternPixel<EC24>(int x, int y) {
  return EC24{static_cast<uint8_t>(x * 6), static_cast<uint8_t>(y * 10),
              static_cast<uint8_t>(100 + x + y)};
}
Samples SamplesOf(EBW8 v) { return {v, v, v, true, 8}; }
Samples SamplesOf(EBW16 v) { return {v, v, v, true, 16}; }
Samples SamplesOf(EC24 v) { return {v.C0, v.C1, v.C2, false, 8}; }

// The documented rules: luma for colour into grey, high byte of 16-bit samples in 8 bits.
unsigned Luma(const Samples& s) { return (299 * s.r + 587 * s.g + 114 * s.b + 500) / 1000; }
void Expect(const Samples& s, EBW8& p) {
  p = static_cast<EBW8>(s.grey ? s.r >> (s.bits - 8) : Luma(s));
}
void Expect(const Samples& s, EBW16& p) { p = static_cast<EBW16>(s.grey ? s.r : Luma(s)); }
void Expect(const Samples& s, EC24& p) {
  const int shift = s.bits - 8;
  p = EC24{static_cast<uint8_t>(s.r >> shift), static_cast<uint8_t>(s.g >> shift),
           static_cast<uint8_t>(s.b >> shift)};
}
template <class P>
int Difference(P a, P b) {
  return std::abs(int(a) - int(b));
}
int Difference(EC24 a, EC24 b) {
  return std::abs(a.C0 - b.C0) + std::abs(a.C1 - b.C1) + std::abs(a.C2 - b.C2);
}

template <class T>
EImage<T> Pattern(int width, int height) {
  EImage<T> image(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image.SetPixel(PatternPixel<T>(x, y), x, y);
  return image;
}

// Loads a file saved from the pattern of S into an image of D and compares every pixel with the
// rules; a lossy file is compared on average.
template <class S, class D>
void ExpectLoads(const std::string& path, int width, int height, bool lossy) {
  EImage<D> loaded;
  EOk();
  loaded.Load(path.c_str());
  ASSERT_EQ(EGetError(), E_OK) << path;
  ASSERT_EQ(loaded.GetWidth(), width) << path;
  ASSERT_EQ(loaded.GetHeight(), height) << path;
  long total = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      D expected;
      Expect(SamplesOf(PatternPixel<S>(x, y)), expected);
      const int difference = Difference(loaded.GetPixel(x, y), expected);
      total += difference;
      if (!lossy) {
        ASSERT_EQ(difference, 0) << path << " at " << x << "," << y;
      }
    }
  const long samples = long(width) * height * (sizeof(D) == 3 ? 3 : 1);
  EXPECT_LE(total, 2 * samples) << path;  // lossy: 2 levels per sample on average
}

template <class S>
void RoundTrip(const char* extension, bool lossy) {
  if (!CodecBuilt(extension)) return;
  const int width = 37, height = 23;
  EImage<S> source = Pattern<S>(width, height);
  std::string path = ScratchPath(std::string("pattern") + std::to_string(sizeof(S)) + extension);
  EOk();
  source.Save(path.c_str());
  ASSERT_EQ(EGetError(), E_OK) << path;
  ExpectLoads<S, EBW8>(path, width, height, lossy);
  ExpectLoads<S, EBW16>(path, width, height, lossy);
  ExpectLoads<S, EC24>(path, width, height, lossy);
}

// Loads bytes into an image holding a known picture; returns the code and checks that a failed
// load left the picture as it was.
template <class T>
E_ERRORS LoadBytes(const std::vector<uint8_t>& bytes, const char* name, const char* trace) {
  std::string path = ScratchPath(name);
  WriteFileBytes(path, bytes);
  EImage<T> image = Pattern<T>(3, 2);
  EOk();
  image.Load(path.c_str());
  E_ERRORS code = EGetError();
  if (code != E_OK) {
    EXPECT_NE(std::string(EGetErrorTrace()).find(trace), std::string::npos) << name;
    EXPECT_EQ(image.GetWidth(), 3) << name;
    EXPECT_EQ(Difference(image.GetPixel(2, 1), PatternPixel<T>(2, 1)), 0) << name;
  }
  EOk();
  return code;
}

}  // namespace

TEST(ImageFiles, EveryFormatAndDepthRoundTripsAndConvertsByTheRules) {
  for (const char* extension : {".pgm", ".png", ".tif", ".tiff"}) RoundTrip<EBW8>(extension, false);
  for (const char* extension : {".pgm", ".png", ".tif"}) RoundTrip<EBW16>(extension, false);
  for (const char* extension : {".ppm", ".png", ".TIF"}) RoundTrip<EC24>(extension, false);
  RoundTrip<EBW8>(".jpg", true);
  RoundTrip<EC24>(".jpeg", true);
}

TEST(ImageFiles, WrittenAndHandBuiltFilesHoldTheExactBytes) {
  // PGM, 8 and 16 bits (big-endian samples).
  EImage<EBW8> grey(3, 2);
  for (int i = 0; i < 6; ++i) grey.SetPixel(static_cast<EBW8>(i * 40), i % 3, i / 3);
  std::string path = ScratchPath("exact.pgm");
  EOk();
  grey.Save(path.c_str());
  std::vector<uint8_t> expected = Bytes("P5\n3 2\n255\n");
  for (int i = 0; i < 6; ++i) expected.push_back(static_cast<uint8_t>(i * 40));
  EXPECT_EQ(ReadFileBytes(path), expected);
  EImage<EBW16> wide(2, 1);
  wide.SetPixel(0x1234, 0, 0);
  wide.SetPixel(0xFF01, 1, 0);
  wide.Save(path.c_str());
  EXPECT_EQ(ReadFileBytes(path), Bytes("P5\n2 1\n65535\n\x12\x34\xFF\x01"));
  ASSERT_EQ(EGetError(), E_OK);

  // Hand-built files of each reader: what a 16-bit grey image and a colour image get.
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    EBW16 wide[2];  // pixels (0, 0) and (1, 0) loaded as EBW16
    EC24 colour;    // pixel (1, 0) loaded as EC24
  };
  const std::vector<uint8_t> beWide = {0x12, 0x34, 0xFF, 0x01};
  const Case cases[] = {
      {"be16.pgm", Bytes("P5 2 1 65535\n\x12\x34\xFF\x01"), {0x1234, 0xFF01}, {255, 255, 255}},
      // A 12-bit maximum keeps the values, a 7-bit one is scaled to 8 bits; samples above the
      // maximum read as the maximum.
      {"12bit.pgm", Bytes("P5 2 1 4095\n\x0A\xBC\xFF\xFF"), {0x0ABC, 4095}, {15, 15, 15}},
      {"7bit.pgm", Bytes("P5 2 1 127\n\x40\xFF"), {129, 255}, {255, 255, 255}},
      {"rgb.ppm", Bytes("P6 2 1 255\n\x10\x20\x30\xC8\x64\x0A"), {29, 120}, {200, 100, 10}},
      {"grey16.png",
       MakePng(2, 1, 16, 0, {0, 0x12, 0x34, 0xFF, 0x01}),
       {0x1234, 0xFF01},
       {255, 255, 255}},
      {"rgb8.png",
       MakePng(2, 1, 8, 2, {0, 0x10, 0x20, 0x30, 0xC8, 0x64, 0x0A}),
       {29, 120},
       {200, 100, 10}},
      {"be16.tif", MakeTiff(true, 2, 1, 16, 1, 1, beWide), {0x1234, 0xFF01}, {255, 255, 255}},
      {"white0.tif", MakeTiff(false, 2, 1, 8, 1, 0, {0x00, 0xF0}), {255, 15}, {15, 15, 15}},
      {"rgb.tif",
       MakeTiff(false, 2, 1, 8, 3, 2, {0x10, 0x20, 0x30, 0xC8, 0x64, 0x0A}),
       {29, 120},
       {200, 100, 10}},
  };
  for (const Case& c : cases) {
    if (!CodecBuilt(c.name)) continue;
    std::string file = ScratchPath(c.name);
    WriteFileBytes(file, c.bytes);
    EImage<EBW16> asWide;
    asWide.Load(file.c_str());
    ASSERT_EQ(EGetError(), E_OK) << c.name;
    EXPECT_EQ(asWide.GetPixel(0, 0), c.wide[0]) << c.name;
    EXPECT_EQ(asWide.GetPixel(1, 0), c.wide[1]) << c.name;
    EImage<EC24> asColour;
    asColour.Load(file.c_str());
    ASSERT_EQ(EGetError(), E_OK) << c.name;
    EXPECT_EQ(asColour.GetPixel(1, 0), c.colour) << c.name;
  }
}

TEST(ImageFiles, SizesBeyondThePixelLimitAreRefusedBeforeAllocating) {
  EOk();
  ASSERT_EQ(EGetImageFilePixelLimit(), int64_t(1) << 28);
  // Small files that claim huge images: each is refused with 1303 from its header alone.
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  };
  const std::vector<uint8_t> row = {0, 0};
  const Case bombs[] = {
      {"bomb1.png", MakePng(50000, 50000, 8, 0, row)},
      {"bomb2.png", MakePng(30000, 20000, 8, 0, row)},
      {"bomb3.png", MakePng(1000000, 1000000, 8, 0, row)},
      {"bomb.jpg", MakeJpegHeader(65500, 65500)},
      {"bomb.tif", MakeTiff(false, 100000, 100000, 8, 1, 1, {1, 2, 3})},
  };
  for (const Case& c : bombs) {
    if (!CodecBuilt(c.name)) continue;
    EXPECT_EQ(LoadBytes<EBW8>(c.bytes, c.name, "EImage<EBW8>::Load"), E_ERROR_ALLOCATION_FAILED)
        << c.name;
    EXPECT_EQ(LoadBytes<EBW16>(c.bytes, c.name, "EImage<EBW16>::Load"), E_ERROR_ALLOCATION_FAILED)
        << c.name;
    EXPECT_EQ(LoadBytes<EC24>(c.bytes, c.name, "EImage<EC24>::Load"), E_ERROR_ALLOCATION_FAILED)
        << c.name;
  }
  // Without the limit, an image too large to hold is still refused without an exception.
  ESetImageFilePixelLimit(INT64_MAX);
  if (vimo_test::kHavePng) {
    EXPECT_EQ(LoadBytes<EC24>(bombs[2].bytes, "nolimit.png", "EImage<EC24>::Load"),
              E_ERROR_ALLOCATION_FAILED);
  }
  // The limit is settable, and bounds PGM/PPM too: 50 pixels let a 10 x 5 image through, not a 10 x
  // 6 one.
  ESetImageFilePixelLimit(50);
  EXPECT_EQ(LoadBytes<EBW8>(Bytes("P5 10 5 255\n" + std::string(50, 'a')), "fits.pgm", ""), E_OK);
  EXPECT_EQ(LoadBytes<EBW8>(Bytes("P5 10 6 255\n" + std::string(60, 'a')), "over.pgm",
                            "EImage<EBW8>::Load"),
            E_ERROR_ALLOCATION_FAILED);
  // The limit bounds what is decoded, not what libtiff needs to write or read a small file.
  if (vimo_test::kHaveTiff) {
    EImage<EBW8> small = Pattern<EBW8>(10, 5);
    const std::string path = ScratchPath("small.tif");
    small.Save(path.c_str());
    EXPECT_EQ(EGetError(), E_OK);
    EImage<EBW8> back;
    back.Load(path.c_str());
    EXPECT_EQ(EGetError(), E_OK);
    EXPECT_EQ(back.GetWidth(), 10);
    EOk();
  }
  ESetImageFilePixelLimit(0);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(EGetImageFilePixelLimit(), 50);
  // A TIFF's samples per pixel count too: a 64 x 1 file with 65535 16-bit samples per pixel
  // would need 8 MB per row, far beyond what 2^16 pixels allow.
  if (vimo_test::kHaveTiff) {
    ESetImageFilePixelLimit(int64_t(1) << 16);
    EXPECT_EQ(LoadBytes<EBW8>(MakeTiff(false, 64, 1, 16, 65535, 1, {1, 2, 3}), "samples.tif",
                              "EImage<EBW8>::Load"),
              E_ERROR_ALLOCATION_FAILED);
  }
  ESetImageFilePixelLimit(int64_t(1) << 28);
  EOk();
}

TEST(ImageFiles, BadFilesSetAnErrorAndLeaveTheImageAsItWas) {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> good;
  EImage<EBW8> picture = Pattern<EBW8>(40, 30);
  for (const char* name : {"good.pgm", "good.png", "good.jpg", "good.tif"}) {
    if (!CodecBuilt(name)) continue;
    std::string path = ScratchPath(name);
    EOk();
    picture.Save(path.c_str());
    ASSERT_EQ(EGetError(), E_OK) << name;
    good.push_back({name, ReadFileBytes(path)});
  }
  struct Case {
    std::string name;
    std::vector<uint8_t> bytes;
    E_ERRORS expected;  // E_OK: 1103 or 1105, as the codec finds it
  };
  std::vector<Case> cases = {
      {"empty", {}, E_ERROR_READ_FAILED},
      {"garbage", Bytes("this is not an image at all"), E_ERROR_BAD_SIGNATURE},
      {"header only", Bytes("P5\n"), E_ERROR_BAD_SIGNATURE},
      {"negative size", Bytes("P5\n-4 4\n255\n0000000000000000"), E_ERROR_BAD_SIGNATURE},
      {"zero size", Bytes("P5\n0 4\n255\n"), E_ERROR_BAD_SIGNATURE},
      // A header that promises more than the file holds is refused before allocating.
      {"huge size", Bytes("P5\n999999999 999999999\n255\nabc"), E_ERROR_READ_FAILED},
      {"bad maxval", Bytes("P5\n1 1\n70000\nab"), E_ERROR_BAD_SIGNATURE},
  };
  for (const auto& [name, bytes] : good) {
    cases.push_back({"truncated " + name,
                     std::vector<uint8_t>(bytes.begin(), bytes.begin() + bytes.size() / 2),
                     name == "good.pgm" ? E_ERROR_READ_FAILED : E_OK});
    std::vector<uint8_t> corrupt = bytes;
    if (name == "good.png") {
      for (size_t i = 40; i < corrupt.size(); i += 3) corrupt[i] ^= 0x5A;
    } else if (name == "good.jpg") {
      for (size_t i = 2; i + 8 < corrupt.size(); ++i)  // a frame of height 0
        if (corrupt[i] == 0xFF && corrupt[i + 1] == 0xC0) corrupt[i + 5] = corrupt[i + 6] = 0;
    } else {
      continue;
    }
    cases.push_back({"corrupt " + name, corrupt, E_OK});
  }
  if (vimo_test::kHaveTiff) {
    std::vector<uint8_t> tiff = MakeTiff(false, 4, 4, 8, 1, 1, std::vector<uint8_t>(16, 9));
    std::vector<uint8_t> farStrip = tiff;
    farStrip[8 + 2 + 12 * 5 + 8] = 0xF0;  // the strip offset, far past the end
    cases.push_back({"tiff strip past the end", farStrip, E_ERROR_READ_FAILED});
    cases.push_back({"tiff cut in its data", std::vector<uint8_t>(tiff.begin(), tiff.end() - 8),
                     E_ERROR_READ_FAILED});
    cases.push_back({"tiff of float samples", MakeTiff(false, 1, 1, 32, 1, 1, {0, 0, 0x80, 0x3F}),
                     E_ERROR_BAD_SIGNATURE});
  }
  for (const Case& c : cases) {
    for (E_ERRORS code : {LoadBytes<EBW8>(c.bytes, "bad.img", "EImage<EBW8>::Load"),
                          LoadBytes<EBW16>(c.bytes, "bad.img", "EImage<EBW16>::Load"),
                          LoadBytes<EC24>(c.bytes, "bad.img", "EImage<EC24>::Load")}) {
      if (c.expected != E_OK)
        EXPECT_EQ(code, c.expected) << c.name;
      else
        EXPECT_TRUE(code == E_ERROR_READ_FAILED || code == E_ERROR_BAD_SIGNATURE)
            << c.name << ": " << code;
    }
  }
  EImage<EBW8> image;
  image.Load(ScratchPath("does-not-exist.pgm").c_str());
  EXPECT_EQ(EGetError(), E_ERROR_CANNOT_OPEN_FILE);
  image.Load(nullptr);
  EXPECT_EQ(EGetError(), E_ERROR_CANNOT_OPEN_FILE);
  EOk();
}

TEST(ImageFiles, SaveRefusesWhatItCannotWrite) {
  EImage<EBW8> image = Pattern<EBW8>(2, 2), empty;
  EImage<EBW16> wide = Pattern<EBW16>(2, 2);
  EImage<EC24> colour = Pattern<EC24>(2, 2);
  EImage<EBW32> other(2, 2);
  auto save = [](auto& picture, const std::string& path) {
    EOk();
    picture.Save(path.c_str());
    return EGetError();
  };
  EXPECT_EQ(save(image, ScratchPath("image.bmp")), E_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(save(image, ScratchPath("image.ppm")), E_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(save(image, "/nonexistent-folder/x.pgm"), E_ERROR_CANNOT_OPEN_FILE);
  EXPECT_EQ(save(empty, ScratchPath("empty.pgm")), E_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(save(wide, ScratchPath("wide.jpg")), E_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(save(wide, ScratchPath("wide.ppm")), E_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(save(other, ScratchPath("other.pgm")), E_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(save(colour, ScratchPath("colour.pgm")), E_OK);  // keeps the luma
  EOk();
}

TEST(ImageFiles, RealPhotographsLoadInEveryFormat) {
  // The grey PGM beside each JPEG photograph was converted from it: the luma rule must agree
  // with that conversion to within JPEG decoders' rounding.
  std::string jpeg = vimo_test::DataFile("gauge/simplecv_coins.jpg");
  std::string pgm = vimo_test::DataFile("gauge/simplecv_coins.pgm");
  if (jpeg.empty() || pgm.empty()) GTEST_SKIP() << "test data folder absent";
  EImage<EBW8> reference;
  EOk();
  reference.Load(pgm.c_str());
  ASSERT_EQ(EGetError(), E_OK);
  if (!vimo_test::kHaveJpeg) GTEST_SKIP() << "built without libjpeg";
  EImage<EBW8> grey;
  grey.Load(jpeg.c_str());
  ASSERT_EQ(EGetError(), E_OK);
  ASSERT_EQ(grey.GetWidth(), reference.GetWidth());
  ASSERT_EQ(grey.GetHeight(), reference.GetHeight());
  long total = 0;
  for (int y = 0; y < grey.GetHeight(); ++y)
    for (int x = 0; x < grey.GetWidth(); ++x)
      total += std::abs(grey.GetPixel(x, y) - reference.GetPixel(x, y));
  EXPECT_LT(static_cast<double>(total) / (grey.GetWidth() * grey.GetHeight()), 1.0);
}

TEST(ImageFiles, FilesOfLayoutsTheLibraryDoesNotWriteLoad) {
  // The image fuzzer's seeds hold files of layouts the library does not write: interlaced
  // palette PNG with transparency, 2-bit PNG, tiled deflate and LZW palette TIFF, progressive
  // JPEG.
  const std::string seeds = VIMO_TEST_IMAGE_SEEDS;
  if (ReadFileBytes(seeds + "/grey8.pgm").empty()) GTEST_SKIP() << "seed folder not reachable";
  auto load = [&](const std::string& name, auto& image) {
    if (!CodecBuilt(name)) return false;
    EOk();
    image.Load((seeds + "/" + name).c_str());
    EXPECT_EQ(EGetError(), E_OK) << name;
    return EGetError() == E_OK;
  };
  EImage<EC24> colour;
  if (load("interlaced_palette.png", colour)) {
    EXPECT_EQ(colour.GetPixel(3, 2), (EC24{176, 79, 90}));  // palette entry 11
  }
  if (load("palette_lzw.tif", colour)) {
    EXPECT_EQ(colour.GetPixel(3, 2), (EC24{92, 163, 156}));  // entry 92: 92, 163, 40000 >> 8
  }
  EImage<EBW16> wide;
  if (load("tiled16.tif", wide)) {
    EXPECT_EQ(wide.GetPixel(19, 17), 19 * 3000 + 17 * 100);  // in the fourth tile
  }
  EImage<EBW8> grey;
  if (load("grey2.png", grey)) {
    EXPECT_EQ(grey.GetPixel(3, 2), 170);  // 2-bit level 2
  }
  EImage<EC24> reference;
  if (load("progressive.jpg", colour) && load("rgb8.ppm", reference)) {
    EXPECT_LE(Difference(colour.GetPixel(3, 2), reference.GetPixel(3, 2)), 24);
  }
  EXPECT_EQ(EGetError(), E_OK);
}
