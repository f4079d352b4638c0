// The gauge base: skip ranges and masks, minimum counts, filtering, sample counts, the
// operation data record and the sampled-point file, byte for byte.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "test_support.h"
#include "vimo/vimo.h"

namespace {

using vimo_test::PutF32;
using vimo_test::PutI32;
using vimo_test::PutU32;

struct TestOpDat : EGauge_OpDat {
  unsigned count = 100;
  unsigned CountSamples(const EGauge*) const override { return count; }
  void ResetDefaults() override { m_n32MinNumFitSamples[0] = 2; }
};

// A fitting gauge reduced to the base: samples recorded by hand.
struct TestGauge : EGauge {
  TestGauge() : EGauge(new TestOpDat) {}
  TestOpDat& Data() { return *static_cast<TestOpDat*>(OpDat()); }
  using EGauge::BeginSamples;
  using EGauge::CheckSamplingStep;
  using EGauge::EndSamples;
  using EGauge::FilterSamples;
  using EGauge::RecordSample;
  using EGauge::SampleCount;
  void SetAverage(float d) { m_f32AverageDistance = d; }
};

TEST(GaugeBase, SkipRangesMaskTheirSamplesWithinTheMeasurement) {
  TestGauge g;
  EXPECT_EQ(g.AddSkipRange(10, 5), 0u);
  EXPECT_EQ(g.AddSkipRange(95, 200), 1u);
  unsigned s = 0, e = 0;
  g.GetSkipRange(0, s, e);
  EXPECT_EQ(s, 5u);
  EXPECT_EQ(e, 10u);
  ASSERT_TRUE(g.BeginSamples(100, "test"));
  for (unsigned i = 0; i < 100; ++i) g.RecordSample(i, 1, EPoint(float(i), 0), 1.0f);
  for (unsigned i = 0; i < 100; ++i) {
    bool skipped = (i >= 5 && i <= 10) || i >= 95;
    EXPECT_EQ(g.GetSample(i).Skipped, skipped ? 1 : 0) << i;
    EXPECT_EQ(g.GetSample(i).Valid, skipped ? 0 : 1) << i;
    EXPECT_EQ(g.GetSample(i).Point.GetX(), float(i));
  }
  EXPECT_EQ(g.GetNumValidSamples(), 100u - 6u - 5u);
  g.RecordSample(3, 0, EPoint(7, 7), 9.0f);  // no transition: all clear
  ESampledPoint none = g.GetSample(3);
  EXPECT_EQ(none.Valid + none.Skipped + none.FilteredOut, 0);
  EXPECT_EQ(none.Point.GetX(), 0.0f);
  g.EndSamples();

  // Bad indexes: 1011 with the trace, outputs untouched; removal moves later ranges down.
  EOk();
  s = e = 77;
  g.GetSkipRange(2, s, e);
  EXPECT_EQ(EGetError(), 1011);
  EXPECT_STREQ(EGetErrorTrace(), "EGauge::GetSkipRange\n");
  EXPECT_EQ(s, 77u);
  EOk();
  g.RemoveSkipRange(5);
  EXPECT_STREQ(EGetErrorTrace(), "EGauge::RemoveSkipRange\n");
  EOk();
  g.GetSample(100);
  EXPECT_EQ(EGetError(), 1011);
  EOk();
  g.RemoveSkipRange(0);
  ASSERT_EQ(g.GetNumSkipRanges(), 1u);
  g.GetSkipRange(0, s, e);
  EXPECT_EQ(s, 95u);
  // The mask has a byte for every sample, with or without ranges.
  std::vector<uint8_t> mask(97, 0);
  mask[95] = mask[96] = 0xFF;
  EXPECT_EQ(g.Data().SkipMask(97), mask);
  g.RemoveAllSkipRanges();
  EXPECT_EQ(g.GetNumSkipRanges(), 0u);
  EXPECT_EQ(g.Data().SkipMask(97), std::vector<uint8_t>(97, 0));
}

TEST(GaugeBase, MinimumCountsTakeTheirDefaults) {
  TestGauge g;
  int a, b, c, d;
  g.GetMinNumFitSamples(a, b, c, d);
  EXPECT_EQ(a, 2);
  EXPECT_EQ(b, 0x0BADF00D);
  const int cases[][8] = {{4, -1, -1, -1, 4, 4, 4, 4},
                          {4, 6, -1, -1, 4, 6, 4, 6},
                          {1, 2, 3, -1, 1, 2, 3, 2},
                          {0, 0, 0, 0, 0, 0, 0, 0}};
  for (const auto& t : cases) {
    g.SetMinNumFitSamples(t[0], t[1], t[2], t[3]);
    g.GetMinNumFitSamples(a, b, c, d);
    EXPECT_EQ(a, t[4]);
    EXPECT_EQ(b, t[5]);
    EXPECT_EQ(c, t[6]);
    EXPECT_EQ(d, t[7]);
  }
}

TEST(GaugeBase, FilteringIsStrictAndInnerFilteringOneSided) {
  TestGauge g;
  ASSERT_TRUE(g.BeginSamples(4, "test"));
  const float distance[4] = {1.0f, 3.0f, 3.0001f, 9.0f};
  const int side[4] = {1, -1, 1, -1};
  for (unsigned i = 0; i < 4; ++i) {
    g.RecordSample(i, 1, EPoint(), 0);
    g.GetSamples()[i].Distance = distance[i];
    g.GetSamples()[i].Side = side[i];
  }
  EXPECT_EQ(g.FilterSamples(3.0f, true), 1u);  // only the inside sample beyond 3
  EXPECT_EQ(g.GetSample(3).FilteredOut, 1);
  EXPECT_EQ(g.GetSample(2).Valid, 1);
  EXPECT_EQ(g.FilterSamples(3.0f, false), 1u);  // exactly at the limit stays
  EXPECT_EQ(g.GetSample(1).Valid, 1);
  EXPECT_EQ(g.GetSample(2).FilteredOut, 1);
  EXPECT_EQ(g.GetNumValidSamples(), 2u);
}

TEST(GaugeBase, SampleCountsAndStepsRefuseWhatCannotBeSampled) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    float length, step;
    unsigned count;
  } cases[] = {{100, 5, 20}, {100, 3, 34}, {4, 5, 1},        {0, 5, 1},
               {-10, 5, 1},  {100, 0, 0},  {100, -5, 0},     {100, nan, 0},
               {nan, 5, 0},  {inf, 5, 0},  {100, 1e-30f, 0}, {100, inf, 1}};
  for (const Case& c : cases)
    EXPECT_EQ(TestGauge::SampleCount(c.length, c.step), c.count) << c.length << " " << c.step;
  for (float step : {0.0f, -1.0f, nan, inf}) {
    EOk();
    EXPECT_FALSE(TestGauge::CheckSamplingStep(step, "X::SetSamplingStep"));
    EXPECT_EQ(EGetError(), 32767);
  }
  EOk();
  TestGauge g;
  EXPECT_FALSE(g.BeginSamples(0, "X::Measure"));
  EXPECT_EQ(EGetError(), 32767);
  EXPECT_EQ(g.GetSamples().GetNumElements(), 0u);
  EOk();
}

// The operation data record as hand-built bytes.
std::vector<uint8_t> OpDatBytes(uint32_t version, const int32_t minimum[4], int32_t clipping,
                                const std::vector<std::pair<uint32_t, uint32_t>>& ranges) {
  std::vector<uint8_t> b;
  PutU32(b, version);
  if (version >= 2) {
    for (int i = 0; i < 4; ++i) PutI32(b, minimum[i]);
    PutI32(b, clipping);
  }
  if (version >= 1) {
    PutU32(b, static_cast<uint32_t>(ranges.size()));
    for (auto& r : ranges) {
      PutU32(b, r.first);
      PutU32(b, r.second);
    }
  }
  return b;
}

TEST(GaugeBase, OperationDataRecordByteForByte) {
  TestGauge g;
  g.SetMinNumFitSamples(5, 6, 7, 8);
  g.Data().m_eClippingMode = GGE_CLIPPING_TOLERANCE_BOX;
  g.AddSkipRange(3, 1);
  g.AddSkipRange(9, 20);
  g.AddSkipRange(0, 0);
  EMemSerializer out;
  g.Data().Serialize(&out, 1);
  const int32_t minimum[4] = {5, 6, 7, 8};
  EXPECT_EQ(out.GetBuffer(), OpDatBytes(2, minimum, 3, {{1, 3}, {9, 20}, {0, 0}}));

  // Version 2 read back into a fresh gauge; version 1 keeps ranges and resets the rest;
  // absent empties the ranges.
  TestGauge h;
  EMemSerializer in(out.GetBuffer().data(), out.GetBuffer().size());
  h.Data().Serialize(&in, 1);
  int a, b, c, d;
  h.GetMinNumFitSamples(a, b, c, d);
  EXPECT_EQ(d, 8);
  EXPECT_EQ(h.Data().m_eClippingMode, GGE_CLIPPING_TOLERANCE_BOX);
  ASSERT_EQ(h.GetNumSkipRanges(), 3u);
  unsigned s, e;
  h.GetSkipRange(1, s, e);
  EXPECT_EQ(s, 9u);
  EXPECT_EQ(e, 20u);
  std::vector<uint8_t> v1 = OpDatBytes(1, minimum, 0, {{4, 5}});
  EMemSerializer in1(v1.data(), v1.size());
  h.Data().Serialize(&in1, 1);
  h.GetMinNumFitSamples(a, b, c, d);
  EXPECT_EQ(a, 2);
  EXPECT_EQ(h.Data().m_eClippingMode, GGE_CLIPPING_NOMINAL_LENGTH);
  EXPECT_EQ(h.GetNumSkipRanges(), 1u);
  EXPECT_EQ(in1.GetReadPosition(), v1.size());
  EMemSerializer in0(v1.data(), 0);
  h.Data().Serialize(&in0, 0);
  EXPECT_EQ(h.GetNumSkipRanges(), 0u);

  // A truncated record (a huge range count with two pairs) and a newer version throw and
  // leave the ranges as they were.
  std::vector<uint8_t> bad = OpDatBytes(1, minimum, 0, {{1, 2}, {3, 4}});
  bad[4] = 0xFF, bad[5] = 0xFF, bad[6] = 0xFF, bad[7] = 0xFF;
  g.RemoveAllSkipRanges();
  g.AddSkipRange(7, 8);
  EMemSerializer truncated(bad.data(), bad.size());
  EXPECT_THROW(g.Data().Serialize(&truncated, 1), Quarnel::Vexlor::Exception);
  EXPECT_EQ(g.GetNumSkipRanges(), 1u);
  std::vector<uint8_t> v3 = OpDatBytes(3, minimum, 1, {});
  EMemSerializer newer(v3.data(), v3.size());
  try {
    g.Data().Serialize(&newer, 1);
    ADD_FAILURE();
  } catch (const Quarnel::Vexlor::Exception& x) {
    EXPECT_EQ(x.GetCode(), 12010);
  }
  EOk();
}

TEST(GaugeBase, SampledPointFileByteForByte) {
  ESampledPointVector v;
  ESampledPoint a;
  a.Point = EPoint(1.5f, -2.25f);
  a.Distance = 0.5f;
  a.Side = -1;
  a.TransitionValue = -340.0f;
  a.Valid = 1;
  ESampledPoint b;
  b.Skipped = 1;
  b.FilteredOut = 0;
  v.AddElement(a);
  v.AddElement(b);
  std::vector<uint8_t> want = {0x45, 0x14, 0x01, 0x50};
  PutU32(want, 2);
  for (const ESampledPoint& s : {a, b}) {
    for (int i = 0; i < 3; ++i) PutU32(want, 0);
    PutF32(want, s.Point.GetX());
    PutF32(want, s.Point.GetY());
    PutF32(want, s.Distance);
    PutI32(want, s.Side);
    PutF32(want, s.TransitionValue);
    PutI32(want, s.Valid);
    PutI32(want, s.FilteredOut);
    PutI32(want, s.Skipped);
  }
  const std::string path = vimo_test::ScratchPath("samples.bin");
  v.Save(path.c_str());
  ASSERT_EQ(EGetError(), 0);
  EXPECT_EQ(vimo_test::ReadFileBytes(path), want);

  // The header bytes carry no meaning on reading; 16-bit paths reach the same file.
  want[8] = 0xAB;
  vimo_test::WriteFileBytes(path, want);
  std::vector<unsigned short> wide(path.begin(), path.end());
  wide.push_back(0);
  ESampledPointVector r;
  r.Load(wide.data());
  ASSERT_EQ(EGetError(), 0);
  ASSERT_EQ(r.GetNumElements(), 2u);
  EXPECT_EQ(r[0].Point.GetY(), -2.25f);
  EXPECT_EQ(r[0].Side, -1);
  EXPECT_EQ(r[0].TransitionValue, -340.0f);
  EXPECT_EQ(r[1].Skipped, 1);

  // Errors in order, with the trace of the call; a failed load leaves the vector alone.
  struct Case {
    std::vector<uint8_t> bytes;
    int code;
  } cases[] = {{{0x45, 0x14, 0x01}, 1103},
               {{0x45, 0x11, 0x01, 0x55, 0, 0, 0, 0}, 1105},
               {{0x45, 0x14, 0x01, 0x50, 0xFF, 0xFF, 0xFF, 0x7F}, 1103},  // count beyond the file
               {std::vector<uint8_t>(want.begin(), want.end() - 1), 1103}};
  for (const Case& c : cases) {
    vimo_test::WriteFileBytes(path, c.bytes);
    EOk();
    r.Load(path.c_str());
    EXPECT_EQ(EGetError(), c.code);
    EXPECT_STREQ(EGetErrorTrace(), "EVector::Load\n");
    EXPECT_EQ(r.GetNumElements(), 2u);
  }
  EOk();
  r.Load(wide.data());  // still the truncated file
  EXPECT_STREQ(EGetErrorTrace(), "EVector::Load ( Unicode)\n");
  EOk();
  r.Load("/nonexistent/dir/samples.bin");
  EXPECT_EQ(EGetError(), 1102);
  EOk();
  v.Save("/nonexistent/dir/samples.bin");
  EXPECT_EQ(EGetError(), 1102);
  EXPECT_STREQ(EGetErrorTrace(), "EVector::Save\n");
  EOk();
}

}  // namespace
