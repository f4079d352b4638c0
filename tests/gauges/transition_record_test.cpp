// The transition record against hand-built bytes, for container versions 3 and 4, with version
// rules, truncation and write failures.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "test_support.h"
#include "transition_test_support.h"

using namespace transition_test;
using vimo_test::PutF32;
using vimo_test::PutI32;
using vimo_test::PutU32;
using vimo_test::PutU8;

namespace {

// The segment record: version 1, the frame record (version 2, the point record of version 1 with
// x and y, angle in radians, scale), the half-length.
void PutSegment(std::vector<uint8_t>& b, float x, float y, float radians, float half) {
  PutU8(b, 1);
  PutU8(b, 2);
  PutU8(b, 1);
  PutF32(b, x);
  PutF32(b, y);
  PutF32(b, radians);
  PutF32(b, 1.0f);
  PutF32(b, half);
}

// A transition with every field away from its default.
Probe Configured() {
  Probe t(7.5f, 30.0f);
  t.Rescale(2.0f);  // centre stays (0, 0), half-length 15
  t.SetTransitionRectangularSamplingArea(0);
  t.SetKeepFirstAndLastIncompletePeak(1);
  t.SetTransitionChoice(GGE_FROM_END);
  t.SetTransitionType(GGE_DARK_BAR);
  t.SetMinAmplitude(11);
  t.SetMinArea(12);
  t.SetSmoothing(3);
  t.SetThickness(5);
  t.SetThreshold(40);
  t.SetTransitionIndex(2);
  t.SetHVConstraint(1);
  return t;
}

std::vector<uint8_t> ExpectedRecord(unsigned container) {
  std::vector<uint8_t> b;
  if (container > 3) {
    PutU8(b, 2);
    PutI32(b, 0);  // rectangular sampling area
    PutI32(b, 1);  // keep incomplete peaks
  }
  const float radians = EToRadians(30.0f);
  PutSegment(b, 0, 0, radians, 15.0f);
  PutI32(b, GGE_FROM_END);
  PutI32(b, GGE_DARK_BAR);
  PutSegment(b, 0, 0, radians, 15.0f);
  PutU32(b, 11);
  PutU32(b, 12);
  PutU32(b, 3);
  PutU32(b, 5);
  PutU32(b, 40);
  PutU32(b, 2);
  PutI32(b, 1);
  return b;
}

std::vector<uint8_t> Write(Probe& t, unsigned container) {
  FILE* f = std::tmpfile();
  t.Serialize(f, 1, container);
  std::vector<uint8_t> bytes;
  std::rewind(f);
  int c;
  while ((c = std::fgetc(f)) != EOF) bytes.push_back(static_cast<uint8_t>(c));
  std::fclose(f);
  return bytes;
}

void Read(Probe& t, const std::vector<uint8_t>& bytes, unsigned container) {
  FILE* f = std::tmpfile();
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::rewind(f);
  t.Serialize(f, 0, container);
  std::fclose(f);
}

}  // namespace

TEST(TransitionRecord, BytesForContainerVersionsThreeAndFour) {
  EOk();
  Probe t = Configured();
  EXPECT_EQ(Write(t, 4), ExpectedRecord(4));
  EXPECT_EQ(Write(t, 5), ExpectedRecord(4));
  EXPECT_EQ(Write(t, 3), ExpectedRecord(3));
  EXPECT_EQ(Write(t, 1), ExpectedRecord(3));
  EXPECT_EQ(ExpectedRecord(4).size(), 9u + 23u + 8u + 23u + 28u);
  EXPECT_EQ(EGetError(), E_OK);
}

TEST(TransitionRecord, ReadingRestoresEveryField) {
  EOk();
  Probe t;
  Read(t, ExpectedRecord(4), 4);
  EXPECT_EQ(EGetError(), E_OK);
  Probe expect = Configured();
  EXPECT_EQ(Write(t, 4), Write(expect, 4));
  EXPECT_EQ(t.GetTransitionRectangularSamplingArea(), 0);
  EXPECT_EQ(t.GetKeepFirstAndLastIncompletePeak(), 1);
  EXPECT_FLOAT_EQ(t.GetTolerance(), 15.0f);
  EXPECT_EQ(t.GetThickness(), 5u);
  EXPECT_EQ(t.GetHVConstraint(), 1);
  // The second copy of the segment is the one that remains.
  std::vector<uint8_t> two = ExpectedRecord(3);
  std::vector<uint8_t> second;
  PutSegment(second, 4.0f, -2.0f, 0.5f, 6.0f);
  std::copy(second.begin(), second.end(), two.begin() + 31);
  Probe u;
  Read(u, two, 3);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_FLOAT_EQ(u.ToleranceSegment().GetX(), 4.0f);
  EXPECT_FLOAT_EQ(u.ToleranceSegment().GetY(), -2.0f);
  EXPECT_FLOAT_EQ(u.GetTolerance(), 6.0f);
}

TEST(TransitionRecord, VersionRules) {
  // Container 3 or less: the two newer fields keep their values.
  EOk();
  Probe t;
  t.SetTransitionRectangularSamplingArea(7);
  t.SetKeepFirstAndLastIncompletePeak(8);
  Read(t, ExpectedRecord(3), 3);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(t.GetTransitionRectangularSamplingArea(), 7);
  EXPECT_EQ(t.GetKeepFirstAndLastIncompletePeak(), 8);
  EXPECT_EQ(t.GetThreshold(), 40u);
  // A record version below 2: the two fields are absent and become 0.
  std::vector<uint8_t> old;
  PutU8(old, 1);
  std::vector<uint8_t> rest = ExpectedRecord(3);
  old.insert(old.end(), rest.begin(), rest.end());
  Read(t, old, 4);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(t.GetTransitionRectangularSamplingArea(), 0);
  EXPECT_EQ(t.GetKeepFirstAndLastIncompletePeak(), 0);
  EXPECT_EQ(t.GetTransitionIndex(), 2u);
  // A newer record version: 12010, nothing else read.
  std::vector<uint8_t> newer = ExpectedRecord(4);
  newer[0] = 3;
  Probe u;
  Read(u, newer, 4);
  EXPECT_EQ(EGetError(), E_ERROR_GAUGE_VERSION_TOO_NEW);
  EXPECT_EQ(u.GetTransitionRectangularSamplingArea(), 1);
  EXPECT_EQ(u.GetThreshold(), 20u);
  EOk();
}

TEST(TransitionRecord, TruncatedRecordsStopWhereTheBytesEnd) {
  const std::vector<uint8_t> full = ExpectedRecord(4);
  for (size_t cut = 0; cut < full.size(); ++cut) {
    EOk();
    Probe t;
    Read(t, std::vector<uint8_t>(full.begin(), full.begin() + cut), 4);
    EXPECT_NE(EGetError(), E_OK) << cut;
    // Fields wholly read are set; the cut one and those after it are not.
    EXPECT_EQ(t.GetKeepFirstAndLastIncompletePeak(), cut >= 9 ? 1 : 0) << cut;
    EXPECT_EQ(t.GetTransitionChoice(), cut >= 36 ? GGE_FROM_END : GGE_MAX_AMPLITUDE) << cut;
    EXPECT_EQ(t.GetThickness(), cut >= 79 ? 5u : 1u) << cut;
    EXPECT_EQ(t.GetTransitionIndex(), cut >= 87 ? 2u : 0u) << cut;
  }
  // A field cut in the middle by the end of the file reports 1103.
  EOk();
  Probe t;
  Read(t, std::vector<uint8_t>(full.begin(), full.begin() + 34), 4);
  EXPECT_EQ(EGetError(), E_ERROR_READ_FAILED);
  EOk();
  // Corrupted values are stored as read: a type outside the table is refused when measuring.
  std::vector<uint8_t> odd = full;
  odd[36] = 0x7F;
  Read(t, odd, 4);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(static_cast<int>(t.GetTransitionType()), 0x7F);
  EImage<EBW8> image = StepImage(20, 4, 9.5, 0, 200);
  t.SetThickness(1);
  t.SetHVConstraint(0);
  t.Measure(&image, 0, 1, 19, 1);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(t.GetValid(), 0);
  EOk();
}

TEST(TransitionRecord, WriteFailuresReport1104) {
  const std::string path = vimo_test::ScratchPath("transition_readonly.bin");
  vimo_test::WriteFileBytes(path, {1, 2, 3});
  for (unsigned container : {3u, 4u}) {
    EOk();
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    Probe t;
    t.Serialize(f, 1, container);
    std::fclose(f);
    EXPECT_EQ(EGetError(), E_ERROR_WRITE_FAILED) << container;
  }
  EOk();
  Probe t;
  t.Serialize(nullptr, 0, 4);
  EXPECT_EQ(EGetError(), E_ERROR_READ_FAILED);
  EOk();
  std::remove(path.c_str());
}

TEST(TransitionRecord, AnEarlierPendingErrorDoesNotStopTheRecord) {
  ESetError(E_ERROR_NO_TRANSITION_SELECTED);
  ETraceError("ETransition::GetMeasuredPeak");
  Probe t = Configured();
  EXPECT_EQ(Write(t, 4), ExpectedRecord(4));
  EOk();
}
