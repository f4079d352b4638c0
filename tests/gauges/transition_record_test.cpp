// The transition record against hand-built bytes, for container versions 3 and 4, with the
// defaults, version rules, truncation and write failures.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "test_support.h"
#include "transition_test_support.h"

using namespace transition_test;
using namespace vimo_test;

namespace {

struct Fields {
  int rectangular, keep;
  float radians, half;
  int choice, type;
  unsigned minAmplitude, minArea, smoothing, thickness, threshold, index;
  int hv;
};

// Container 4 adds a record version byte 2 and the two newest fields in front. The segment
// record (version 1: the frame record of version 2 holding the point record of version 1, then
// the half-length) is written twice.
std::vector<uint8_t> Bytes(const Fields& f, unsigned container) {
  std::vector<uint8_t> b;
  if (container > 3) {
    PutU8(b, 2);
    PutI32(b, f.rectangular);
    PutI32(b, f.keep);
  }
  auto segment = [&] {
    for (uint8_t v : {1, 2, 1}) PutU8(b, v);
    for (float v : {0.0f, 0.0f, f.radians, 1.0f, f.half}) PutF32(b, v);
  };
  segment();
  PutI32(b, f.choice);
  PutI32(b, f.type);
  segment();
  for (unsigned v : {f.minAmplitude, f.minArea, f.smoothing, f.thickness, f.threshold, f.index})
    PutU32(b, v);
  PutI32(b, f.hv);
  return b;
}

const Fields kDefaults = {1, 0,  0.0f, 10.0f, GGE_MAX_AMPLITUDE, GGE_ANY_EDGE, 10, 0, 1,
                          1, 20, 0,    0};

// A transition with every field away from its default, and its bytes.
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
std::vector<uint8_t> ConfiguredBytes(unsigned container) {
  return Bytes({0, 1, EToRadians(30.0f), 15.0f, GGE_FROM_END, GGE_DARK_BAR, 11, 12, 3, 5, 40, 2, 1},
               container);
}

std::vector<uint8_t> Write(Probe& t, unsigned container) {
  FILE* f = std::tmpfile();
  t.Serialize(f, 1, container);
  std::vector<uint8_t> bytes;
  std::rewind(f);
  for (int c; (c = std::fgetc(f)) != EOF;) bytes.push_back(static_cast<uint8_t>(c));
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

TEST(TransitionRecord, BytesForContainerVersionsThreeAndFourBothWays) {
  // An earlier pending error does not stop the record.
  ESetError(E_ERROR_NO_TRANSITION_SELECTED);
  Probe defaults;
  EXPECT_EQ(Write(defaults, 4), Bytes(kDefaults, 4));
  Probe t = Configured();
  for (unsigned container : {1u, 3u, 4u, 5u})
    EXPECT_EQ(Write(t, container), ConfiguredBytes(container > 3 ? 4 : 3)) << container;
  EXPECT_EQ(ConfiguredBytes(4).size(), 9u + 23u + 8u + 23u + 28u);
  EOk();
  Probe r;
  Read(r, ConfiguredBytes(4), 4);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(Write(r, 4), ConfiguredBytes(4));
  EXPECT_EQ(r.GetThickness(), 5u);
  EXPECT_EQ(r.GetTransitionType(), GGE_DARK_BAR);
  // Of the two copies of the segment, the second is the one that remains.
  std::vector<uint8_t> two = ConfiguredBytes(3);
  std::vector<uint8_t> second;
  for (uint8_t v : {1, 2, 1}) PutU8(second, v);
  for (float v : {4.0f, -2.0f, 0.5f, 1.0f, 6.0f}) PutF32(second, v);
  std::copy(second.begin(), second.end(), two.begin() + 31);
  Probe u;
  Read(u, two, 3);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(u.ToleranceSegment().GetCenter(), EPoint(4.0f, -2.0f));
  EXPECT_FLOAT_EQ(u.GetTolerance(), 6.0f);
}

TEST(TransitionRecord, VersionRules) {
  // Container 3 or less: the two newer fields keep their values.
  EOk();
  Probe t;
  t.SetTransitionRectangularSamplingArea(7);
  t.SetKeepFirstAndLastIncompletePeak(8);
  Read(t, ConfiguredBytes(3), 3);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(t.GetTransitionRectangularSamplingArea(), 7);
  EXPECT_EQ(t.GetKeepFirstAndLastIncompletePeak(), 8);
  EXPECT_EQ(t.GetThreshold(), 40u);
  // A record version below 2: the two fields are absent and become 0.
  std::vector<uint8_t> old = {1};
  const std::vector<uint8_t> rest = ConfiguredBytes(3);
  old.insert(old.end(), rest.begin(), rest.end());
  Read(t, old, 4);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(t.GetTransitionRectangularSamplingArea(), 0);
  EXPECT_EQ(t.GetKeepFirstAndLastIncompletePeak(), 0);
  EXPECT_EQ(t.GetTransitionIndex(), 2u);
  // A newer record version: 12010, nothing else read.
  std::vector<uint8_t> newer = ConfiguredBytes(4);
  newer[0] = 4;
  Probe u;
  Read(u, newer, 4);
  EXPECT_EQ(EGetError(), E_ERROR_GAUGE_VERSION_TOO_NEW);
  EXPECT_EQ(Write(u, 4), Bytes(kDefaults, 4));
  EOk();
}

TEST(TransitionRecord, TruncatedCorruptedAndUnwritableRecords) {
  const std::vector<uint8_t> full = ConfiguredBytes(4);
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
    if (cut == 34) {
      EXPECT_EQ(EGetError(), E_ERROR_READ_FAILED);
    }
  }
  // Corrupted values are stored as read: a type outside the table is refused when measuring.
  EOk();
  Probe t;
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

  const std::string path = ScratchPath("transition_readonly.bin");
  WriteFileBytes(path, {1, 2, 3});
  for (unsigned container : {3u, 4u}) {
    EOk();
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    t.Serialize(f, 1, container);
    std::fclose(f);
    EXPECT_EQ(EGetError(), E_ERROR_WRITE_FAILED) << container;
  }
  std::remove(path.c_str());
  EOk();
  t.Serialize(nullptr, 0, 4);
  EXPECT_EQ(EGetError(), E_ERROR_READ_FAILED);
  EOk();
}

// An interpolated transition writes record version 3, the mode after the two fields of version
// 2; a reader of version 2 refuses it with 12010, a version-2 record reads as the pixel walk, a
// stored mode outside the table is refused with 32767; containers below 4 cannot carry it.
TEST(TransitionRecord, InterpolatedModeWritesTheNextVersion) {
  EOk();
  std::vector<uint8_t> three = ConfiguredBytes(4);
  three[0] = 3;
  three.insert(three.begin() + 9, {1, 0, 0, 0});
  Probe t = Configured();
  t.SetSamplingMode(GGE_SAMPLING_INTERPOLATED);
  EXPECT_EQ(Write(t, 4), three);
  EXPECT_EQ(Write(t, 3), ConfiguredBytes(3));
  Probe r;
  Read(r, three, 4);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(Write(r, 4), three);
  Read(r, ConfiguredBytes(4), 4);
  EXPECT_EQ(r.GetSamplingMode(), GGE_SAMPLING_PIXEL_WALK);
  ETransitionTestAccess::SetReadableRecordVersion(2);
  Probe old;
  Read(old, three, 4);
  ETransitionTestAccess::SetReadableRecordVersion(3);
  EXPECT_EQ(EGetError(), E_ERROR_GAUGE_VERSION_TOO_NEW);
  EXPECT_EQ(Write(old, 4), Bytes(kDefaults, 4));
  EOk();
  three[9] = 2;
  Read(r, three, 4);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  EXPECT_EQ(r.GetSamplingMode(), GGE_SAMPLING_PIXEL_WALK);
  EOk();
  Read(r, std::vector<uint8_t>(three.begin(), three.begin() + 12), 4);
  EXPECT_EQ(EGetError(), E_ERROR_READ_FAILED);
  EOk();
}
