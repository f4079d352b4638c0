#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "test_support.h"
#include "vimo/core/core.h"

TEST(ErrorState, TraceRecordsNamesInnermostFirst) {
  EOk();
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_STREQ(EGetErrorTrace(), "");
  EXPECT_EQ(ESetError(E_ERROR_READ_FAILED), E_ERROR_READ_FAILED);
  ETraceError("Inner::Read");
  ETraceError("Outer::Load");
  ETraceError(nullptr);
  EXPECT_EQ(EGetError(), 1103);
  EXPECT_STREQ(EGetErrorTrace(), "Inner::Read\nOuter::Load\n");
  // A new error starts a new trace.
  ESetError(E_ERROR_INVALID_PARAMETER);
  EXPECT_STREQ(EGetErrorTrace(), "");
  EOk();
  EXPECT_EQ(EGetError(), E_OK);
}

TEST(ErrorState, CodesKeepTheirValuesAndHaveTexts) {
  const int codes[] = {1011,  1012,  1013,  1050,  1051,  1102,  1103,  1104,  1105,  1106,  1108,
                       1111,  1303,  12002, 12005, 12007, 12008, 12009, 12010, 12011, 12013, 12014,
                       12015, 12016, 12017, 12018, 12019, 12020, 12021, 12022, 12023, 12024, 12025,
                       12026, 12027, 12028, 12029, 12031, 12033, 12034, 12035, 12100, 32767};
  for (int code : codes)
    EXPECT_STRNE(EGetErrorText(static_cast<E_ERRORS>(code)), "Unknown error") << code;
  EXPECT_STREQ(EGetErrorText(static_cast<E_ERRORS>(4242)), "Unknown error");
  Quarnel::Vexlor::Exception error(E_ERROR_NOT_FILE_SERIALIZER);
  EXPECT_EQ(error.GetCode(), 1111);
  EXPECT_STREQ(error.what(), EGetErrorText(E_ERROR_NOT_FILE_SERIALIZER));
  const Quarnel::Exception& base = error;
  EXPECT_STREQ(base.what(), EGetErrorText(E_ERROR_NOT_FILE_SERIALIZER));
}

TEST(Settings, AngleUnitsConvertBothWays) {
  EXPECT_EQ(EGetAngleUnit(), E_ANGLE_UNIT_DEGREES);
  EXPECT_STREQ(EGetAngleUnitName(), "deg");
  EXPECT_FLOAT_EQ(EToRadians(180.f), static_cast<float>(M_PI));
  EXPECT_FLOAT_EQ(EFromRadians(static_cast<float>(M_PI / 2)), 90.f);
  const struct {
    E_ANGLE_UNITS unit;
    float full;
    const char* name;
  } units[] = {{E_ANGLE_UNIT_RADIANS, static_cast<float>(2 * M_PI), "rad"},
               {E_ANGLE_UNIT_GRADIANS, 400.f, "grad"},
               {E_ANGLE_UNIT_REVOLUTIONS, 1.f, "rev"},
               {E_ANGLE_UNIT_DEGREES, 360.f, "deg"}};
  for (const auto& u : units) {
    ESetAngleUnit(u.unit);
    EXPECT_STREQ(EGetAngleUnitName(), u.name);
    EXPECT_NEAR(EToRadians(u.full), 2 * M_PI, 1e-6);
    EXPECT_NEAR(EFromRadians(static_cast<float>(M_PI)), u.full / 2, 1e-5);
  }
  ESetAngleUnit(static_cast<E_ANGLE_UNITS>(9));
  EXPECT_EQ(EGetAngleUnit(), E_ANGLE_UNIT_DEGREES);
  EXPECT_TRUE(std::isnan(EToRadians(NAN)));
  EXPECT_TRUE(std::isinf(EFromRadians(INFINITY)));
}

TEST(Settings, RecursiveCopyFlag) {
  EXPECT_EQ(GetRecursiveCopyBehavior(), 1);
  SetRecursiveCopyBehavior(0);
  EXPECT_EQ(GetRecursiveCopyBehavior(), 0);
  SetRecursiveCopyBehavior(1);
}

TEST(Vectors, OutOfRangeIndexSets1011AndStaysInsideTheStorage) {
  EINT32Vector v;
  for (int i = 0; i < 5; ++i) v.AddElement(i * 10);
  EXPECT_EQ(v.GetNumElements(), 5u);
  EOk();
  v[7] = 99;  // writes the scratch element, not past the storage
  EXPECT_EQ(EGetError(), E_ERROR_INDEX_OUT_OF_RANGE);
  EXPECT_EQ(v.GetNumElements(), 5u);
  EXPECT_EQ(v[4], 40);
  EOk();
  EXPECT_EQ(v[0xFFFFFFFFu], 0);  // the scratch is fresh on each miss
  EXPECT_EQ(EGetError(), E_ERROR_INDEX_OUT_OF_RANGE);
  v.RemoveElement(1);
  EXPECT_EQ(v.GetNumElements(), 4u);
  EXPECT_EQ(v[1], 20);
  EOk();
  v.RemoveElement(4);
  EXPECT_EQ(EGetError(), E_ERROR_INDEX_OUT_OF_RANGE);
  v.SetNumElements(2);
  EXPECT_EQ(v[1], 20);
  EOk();
  v.SetNumElements(0xFFFFFFFFu);  // cannot be held: refused, nothing lost
  EXPECT_EQ(EGetError(), E_ERROR_ALLOCATION_FAILED);
  EXPECT_EQ(v.GetNumElements(), 2u);
  v.Empty();
  EXPECT_EQ(v.GetNumElements(), 0u);
  EXPECT_EQ(v.GetDataPtr(), nullptr);
  void* block = Vexlor_Malloc(0);
  EXPECT_NE(block, nullptr);
  Vexlor_Free(block);
}

TEST(Serializers, MemorySerializerRoundTripsAndRefusesShortReads) {
  EMemSerializer writer;
  EXPECT_TRUE(writer.IsWriting());
  uint8_t version = 3;
  float value = 1.5f;
  writer.Transfer(&version, 1, "version");
  writer.TransferValue(value, "value");
  std::vector<uint8_t> expected = {3};
  vimo_test::PutF32(expected, 1.5f);
  EXPECT_EQ(writer.GetBuffer(), expected);

  EMemSerializer reader(writer.GetBuffer().data(), writer.GetBuffer().size());
  EXPECT_TRUE(reader.IsReading());
  uint8_t v2 = 0;
  float f2 = 0;
  reader.Transfer(&v2, 1, "version");
  reader.TransferValue(f2, "value");
  EXPECT_EQ(v2, 3);
  EXPECT_EQ(f2, 1.5f);
  try {
    reader.Transfer(&v2, 1, "past the end");
    FAIL() << "a short read must throw";
  } catch (const Quarnel::Vexlor::Exception& e) {
    EXPECT_EQ(e.GetCode(), E_ERROR_READ_FAILED);
  }
  EMemSerializer empty(nullptr, 12);
  EXPECT_THROW(empty.Transfer(&v2, 1, "x"), Quarnel::Vexlor::Exception);
}

TEST(Serializers, FileSerializerReportsShortReadsAndFailedWrites) {
  std::string path = vimo_test::ScratchPath("serializer.bin");
  FILE* out = std::fopen(path.c_str(), "wb");
  ASSERT_NE(out, nullptr);
  EFilePointerSerializer writer(out, 1);
  EXPECT_EQ(writer.GetStream(), out);
  uint32_t word = 0x01020304u;
  writer.TransferValue(word, "word");
  std::fclose(out);
  EXPECT_EQ(vimo_test::ReadFileBytes(path), (std::vector<uint8_t>{4, 3, 2, 1}));

  FILE* in = std::fopen(path.c_str(), "rb");
  EFilePointerSerializer reader(in, 0);
  uint32_t back = 0;
  reader.TransferValue(back, "word");
  EXPECT_EQ(back, word);
  try {
    reader.TransferValue(back, "word");
    FAIL();
  } catch (const Quarnel::Vexlor::Exception& e) {
    EXPECT_EQ(e.GetCode(), E_ERROR_READ_FAILED);
  }
  // Writing to a stream opened for reading fails.
  EFilePointerSerializer wrongWay(in, 1);
  try {
    wrongWay.TransferValue(word, "word");
    FAIL();
  } catch (const Quarnel::Vexlor::Exception& e) {
    EXPECT_EQ(e.GetCode(), E_ERROR_WRITE_FAILED);
  }
  std::fclose(in);
  EFilePointerSerializer none(nullptr, 0);
  EXPECT_THROW(none.TransferValue(back, "word"), Quarnel::Vexlor::Exception);
}
