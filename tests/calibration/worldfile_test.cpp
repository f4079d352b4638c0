// The landmark vector file and the world record, against hand-built byte sequences.
#include <gtest/gtest.h>

#include <string>

#include "calibration_test_support.h"

using namespace calibration_test;
using vimo_test::PutF32;
using vimo_test::PutI32;
using vimo_test::PutU32;
using vimo_test::PutU8;
using vimo_test::ReadFileBytes;
using vimo_test::ScratchPath;
using vimo_test::WriteFileBytes;

namespace {

void PutLandmark(std::vector<uint8_t>& b, float sx, float sy, float wx, float wy, int32_t matched,
                 int32_t n0, int32_t n1, int32_t n2, int32_t n3) {
  for (int i = 0; i < 12; ++i) PutU8(b, 0);
  PutF32(b, sx);
  PutF32(b, sy);
  for (int i = 0; i < 12; ++i) PutU8(b, 0);
  PutF32(b, wx);
  PutF32(b, wy);
  PutI32(b, matched);
  PutI32(b, n0), PutI32(b, n1), PutI32(b, n2), PutI32(b, n3);
  PutU32(b, 0);
}

std::vector<uint8_t> LandmarkFile(uint32_t count) {
  std::vector<uint8_t> b = {0x45, 0x11, 0x01, 0x55};
  PutU32(b, count);
  return b;
}

std::vector<unsigned short> Wide(const std::string& s) {
  std::vector<unsigned short> w(s.begin(), s.end());
  w.push_back(0);
  return w;
}

// The world record: version, frame record (version, point record, angle, scale[, ratio]),
// then the world's own fields.
std::vector<uint8_t> WorldRecord(uint8_t version, float cx, float cy, float angle, float scale,
                                 uint32_t modes, float k, float tx, float ty, float P, int32_t w,
                                 int32_t h, float ratio, float ox, float oy) {
  std::vector<uint8_t> b;
  PutU8(b, version);
  PutU8(b, version == 1 ? 1 : 2);
  PutU8(b, 1);
  PutF32(b, cx), PutF32(b, cy), PutF32(b, angle), PutF32(b, scale);
  if (version == 1) PutF32(b, ratio);
  PutU32(b, modes);
  PutF32(b, k), PutF32(b, tx), PutF32(b, ty), PutF32(b, P);
  PutI32(b, w), PutI32(b, h);
  if (version != 1) PutF32(b, ratio);
  PutF32(b, ox), PutF32(b, oy);
  return b;
}

}  // namespace

TEST_F(WorldTest, LandmarkFileIsWrittenByteForByte) {
  EWorld w;
  w.AddLandmark(EPoint(1.5f, -2), EPoint(3, 4));
  w.AddLandmark(EPoint(5, 6), EPoint(7, 8.25f), 0, 0, 0, 0, reinterpret_cast<EListItem*>(&w));
  w.m_Landmark[1].Neighbour[0] = 3, w.m_Landmark[1].Neighbour[2] = 7;
  const std::string path = ScratchPath("landmarks.bin");
  w.m_Landmark.Save(path.c_str());
  ASSERT_EQ(EGetError(), E_OK);
  std::vector<uint8_t> expected = LandmarkFile(2);
  PutLandmark(expected, 1.5f, -2, 3, 4, 1, -1, -1, -1, -1);
  PutLandmark(expected, 5, 6, 7, 8.25f, 0, 3, 0, 7, 0);
  EXPECT_EQ(ReadFileBytes(path), expected);

  // Loaded back from hand-built bytes: the item is cleared, everything else restored.
  WriteFileBytes(path, expected);
  EWorld v;
  v.AddPoint(EPoint(9, 9));
  v.m_Landmark.Load(path.c_str());
  ASSERT_EQ(EGetError(), E_OK);
  ASSERT_EQ(v.GetNumLandmarks(), 2u);
  const ELandmark b = v.GetLandmark(1);
  EXPECT_EQ(b.SensorPoint.GetX(), 5.0f);
  EXPECT_EQ(b.WorldPoint.GetY(), 8.25f);
  EXPECT_EQ(b.Matched, 0);
  EXPECT_EQ(b.Neighbour[0], 3);
  EXPECT_EQ(b.Neighbour[2], 7);
  EXPECT_EQ(b.Item, nullptr);
  EXPECT_EQ(v.GetLandmark(0).Neighbour[3], -1);

  // The count says how many records to read; bytes after them are not part of the vector.
  PutLandmark(expected, 9, 9, 9, 9, 1, -1, -1, -1, -1);
  expected.push_back(0x7F);
  WriteFileBytes(path, expected);
  v.m_Landmark.Load(path.c_str());
  EXPECT_EQ(EGetError(), E_OK);
  ASSERT_EQ(v.GetNumLandmarks(), 2u);
  EXPECT_EQ(v.GetLandmark(1).WorldPoint.GetY(), 8.25f);

  // An empty vector is the signature and a zero count.
  EWorld e;
  e.m_Landmark.Save(path.c_str());
  EXPECT_EQ(ReadFileBytes(path), LandmarkFile(0));
  std::remove(path.c_str());
}

TEST_F(WorldTest, LandmarkFileWithWidePaths) {
  EWorld w;
  w.AddLandmark(EPoint(1, 2), EPoint(3, 4));
  const std::string path = ScratchPath("landmarks_wide.bin");
  w.m_Landmark.Save(Wide(path).data());
  ASSERT_EQ(EGetError(), E_OK);
  EWorld v;
  v.m_Landmark.Load(Wide(path).data());
  ASSERT_EQ(EGetError(), E_OK);
  EXPECT_EQ(v.GetNumLandmarks(), 1u);
  EXPECT_EQ(v.GetLandmark(0).WorldPoint.GetY(), 4.0f);
  std::remove(path.c_str());
  v.m_Landmark.Load(Wide(path).data());
  EXPECT_EQ(EGetError(), E_ERROR_CANNOT_OPEN_FILE);
  EXPECT_STREQ(EGetErrorTrace(), "EVector::Load ( Unicode)\n");
  EOk();
  v.m_Landmark.Save(Wide("/nonexistent-folder/x.bin").data());
  EXPECT_EQ(EGetError(), E_ERROR_CANNOT_OPEN_FILE);
  EXPECT_STREQ(EGetErrorTrace(), "EVector::Save ( Unicode)\n");
}

TEST_F(WorldTest, BadLandmarkFilesAreRefusedAndChangeNothing) {
  const std::string path = ScratchPath("bad_landmarks.bin");
  EWorld w;
  w.AddLandmark(EPoint(1, 2), EPoint(3, 4));
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    E_ERRORS code;
  };
  std::vector<uint8_t> oneRecord = LandmarkFile(1000);  // claims 1000, holds 1
  PutLandmark(oneRecord, 1, 1, 1, 1, 1, -1, -1, -1, -1);
  std::vector<uint8_t> huge = LandmarkFile(0xFFFFFFFFu);  // claims 4 billion, holds none
  std::vector<uint8_t> shortRecord = LandmarkFile(1);
  PutLandmark(shortRecord, 1, 1, 1, 1, 1, -1, -1, -1, -1);
  shortRecord.resize(shortRecord.size() - 1);
  const Case cases[] = {
      {"count larger than the file", oneRecord, E_ERROR_READ_FAILED},
      {"huge count", huge, E_ERROR_READ_FAILED},
      {"truncated record", shortRecord, E_ERROR_READ_FAILED},
      {"truncated count", {0x45, 0x11, 0x01, 0x55, 0x01}, E_ERROR_READ_FAILED},
      {"truncated signature", {0x45, 0x11}, E_ERROR_READ_FAILED},
      {"empty file", {}, E_ERROR_READ_FAILED},
      {"bad check byte", {0x45, 0x11, 0x01, 0x54, 0, 0, 0, 0}, E_ERROR_BAD_SIGNATURE},
      {"other class", {0x45, 0x16, 0x04, 0x57, 0, 0, 0, 0}, E_ERROR_BAD_SIGNATURE},
  };
  for (const Case& c : cases) {
    WriteFileBytes(path, c.bytes);
    EOk();
    w.m_Landmark.Load(path.c_str());
    EXPECT_EQ(EGetError(), c.code) << c.what;
    EXPECT_STREQ(EGetErrorTrace(), "EVector::Load\n") << c.what;
    ASSERT_EQ(w.GetNumLandmarks(), 1u) << c.what;
    EXPECT_EQ(w.GetLandmark(0).SensorPoint.GetY(), 2.0f) << c.what;
  }
  std::remove(path.c_str());
  EOk();
  w.m_Landmark.Load(path.c_str());
  EXPECT_EQ(EGetError(), E_ERROR_CANNOT_OPEN_FILE);
  EOk();
  w.m_Landmark.Save("/nonexistent-folder/x.bin");
  EXPECT_EQ(EGetError(), E_ERROR_CANNOT_OPEN_FILE);
  EXPECT_STREQ(EGetErrorTrace(), "EVector::Save\n");
  EOk();
  w.m_Landmark.Load(static_cast<const char*>(nullptr));
  EXPECT_EQ(EGetError(), E_ERROR_CANNOT_OPEN_FILE);
}

TEST_F(WorldTest, WorldRecordIsWrittenByteForByte) {
  EWorld w;
  w.SetSensor(640, 480, 64, 96, 100, 200, 30, 5, -4, 0.01f, 1e-7f, 0, 300, 250, 0x0002);
  w.AddLandmark(EPoint(1, 2), EPoint(3, 4));  // not part of the record
  FILE* f = std::tmpfile();
  w.Serialize(f, 1, 4);
  const std::vector<uint8_t> bytes = StreamBytes(f);
  std::fclose(f);
  const std::vector<uint8_t> expected =
      WorldRecord(2, 100, 200, EToRadians(30), 10, 0x007E, 1e-7f, EToRadians(5), EToRadians(-4),
                  0.01f, 640, 480, 0.5f, 300, 250);
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(bytes.size(), 59u);

  // The serializer form on a file stream writes the same bytes.
  FILE* g = std::tmpfile();
  EFilePointerSerializer s(g, 1);
  w.Serialize(&s, 4);
  EXPECT_EQ(StreamBytes(g), expected);
  std::fclose(g);
}

TEST_F(WorldTest, WorldRecordIsReadAndInvalidatesTheModel) {
  EWorld w;
  w.SetCalibrationModes(0x0004);
  EXPECT_EQ(w.WorldToSensor(EPoint(1, 1)).GetX(), 1.0f);  // validated with the old model
  FILE* f =
      StreamWith(WorldRecord(2, 100, 200, 0, 4, 0x0004, 0, 0, 0, 0, 800, 600, -2, 399.5f, 299.5f));
  w.Serialize(f, 0, 4);
  std::fclose(f);
  EXPECT_EQ(w.GetCenterX(), 100.0f);
  EXPECT_EQ(w.GetScale(), 4.0f);
  EXPECT_EQ(w.GetRatio(), -2.0f);
  EXPECT_EQ(w.GetSensorWidth(), 800);
  EXPECT_EQ(w.GetOpticalCenterY(), 299.5f);
  EXPECT_EQ(w.GetCalibrationModes(), 0x0004u);
  EXPECT_EQ(w.WorldToSensor(EPoint(1, 1)).GetX(), 104.0f);
  EXPECT_EQ(w.WorldToSensor(EPoint(1, 1)).GetY(), 192.0f);
  EXPECT_EQ(EGetError(), E_OK);
}

TEST_F(WorldTest, VersionOneWorldRecordTakesItsRatioFromTheFrameRecord) {
  const std::vector<uint8_t> v1 =
      WorldRecord(1, 10, 20, 0, 2, 0x000C, 0, 0, 0, 0, 640, 480, -1.5f, 319.5f, 239.5f);
  EXPECT_EQ(v1.size(), 59u);
  EWorld w;
  FILE* f = StreamWith(v1);
  w.Serialize(f, 0, 1);
  EXPECT_EQ(std::fgetc(f), EOF);  // every byte consumed
  std::fclose(f);
  EXPECT_EQ(w.GetRatio(), -1.5f);
  EXPECT_EQ(w.GetScale(), 2.0f);
  EXPECT_EQ(w.GetOpticalCenterX(), 319.5f);
  EXPECT_EQ(w.WorldToSensor(EPoint(1, 1)).GetY(), 20.0f - 3.0f);
}

TEST_F(WorldTest, BadWorldRecordsThrowAndChangeNothing) {
  EWorld w;
  w.SetCalibrationModes(0x0004);
  w.SetCenter(5, 6);
  w.SetResolution(3, -3);
  const std::vector<uint8_t> good =
      WorldRecord(2, 100, 200, 0, 4, 0x0006, 0, 0, 0, 0, 800, 600, 2, 399.5f, 299.5f);
  auto unchanged = [&](size_t cut) {
    EXPECT_EQ(w.GetCenterX(), 5.0f) << cut;
    EXPECT_EQ(w.GetScale(), 3.0f) << cut;
    EXPECT_EQ(w.GetRatio(), -1.0f) << cut;
    EXPECT_EQ(w.GetCalibrationModes(), 0x0004u) << cut;
    EXPECT_EQ(w.GetSensorWidth(), 512) << cut;
    EXPECT_EQ(w.WorldToSensor(EPoint(1, 1)).GetY(), 3.0f) << cut;
  };
  for (size_t cut = 0; cut < good.size(); ++cut) {
    FILE* f = StreamWith(std::vector<uint8_t>(good.begin(), good.begin() + cut));
    EOk();
    w.Serialize(f, 0, 4);
    std::fclose(f);
    EXPECT_EQ(EGetError(), E_ERROR_READ_FAILED) << cut;
    const std::string trace = EGetErrorTrace();
    EXPECT_EQ(trace.substr(trace.size() - 18), "EWorld::Serialize\n") << cut;
    EOk();
    unchanged(cut);
  }
  for (size_t at : {0, 1}) {  // a newer world record, then a newer frame record inside one
    std::vector<uint8_t> newer = good;
    newer[at] = 3;
    FILE* f = StreamWith(newer);
    EOk();
    w.Serialize(f, 0, 4);
    std::fclose(f);
    EXPECT_EQ(EGetError(), E_ERROR_VERSION_TOO_NEW) << at;
    EXPECT_EQ(std::string(EGetErrorTrace()).find("EWorld::Serialize\n") != std::string::npos, true);
    EOk();
    unchanged(at);
  }

  // Writing to a stream that refuses bytes.
  const std::string path = ScratchPath("readonly_world.bin");
  WriteFileBytes(path, good);
  FILE* r = std::fopen(path.c_str(), "rb");
  w.Serialize(r, 1, 4);
  std::fclose(r);
  std::remove(path.c_str());
  EXPECT_EQ(EGetError(), E_ERROR_WRITE_FAILED);
  EOk();

  EMemSerializer memory;
  int code = 0;
  try {
    w.Serialize(&memory, 4);
  } catch (const Quarnel::Vexlor::Exception& e) {
    code = e.GetCode();
  }
  EXPECT_EQ(code, E_ERROR_NOT_FILE_SERIALIZER);
  EXPECT_TRUE(memory.GetBuffer().empty());
}

TEST_F(WorldTest, PolynomialWorldReadFromARecordStartsAtTheIdentity) {
  EWorld w;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      w.AddLandmark(EPoint(5.0f * i + 7, 5.0f * j + 9), EPoint(1.0f * i, 1.0f * j));
  w.Calibrate(0x0200);
  EXPECT_NEAR(w.WorldToSensor(EPoint(1, 1)).GetX(), 12.0f, 1e-4);
  FILE* f = std::tmpfile();
  w.Serialize(f, 1, 4);
  std::rewind(f);
  EWorld v(w);
  v.Serialize(f, 0, 4);
  std::fclose(f);
  EXPECT_EQ(v.GetCalibrationModes(), w.GetCalibrationModes());
  EXPECT_EQ(v.WorldToSensor(EPoint(1, 2)).GetX(), 1.0f);
  EXPECT_EQ(v.SensorToWorld(EPoint(3, 4)).GetY(), 4.0f);
}
