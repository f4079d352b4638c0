// Records of the four shapes: hand-built bytes both ways, then the same failure paths for each.
#include <functional>
#include <memory>

#include "geometry_test_support.h"

using namespace geometry_test;

namespace {

std::vector<uint8_t> Record(float x, float y, float angle, float scale, std::vector<float> fields,
                            uint8_t version = 1) {
  std::vector<uint8_t> b;
  PutU8(b, version);
  PutFrame(b, x, y, angle, scale);
  for (float v : fields) PutF32(b, v);
  return b;
}

struct RecordCase {
  const char* name;
  std::function<EPoint*()> written;  // a shape whose record is `expected`
  std::vector<uint8_t> expected;
  std::function<EPoint*()> blank;  // the target of the reads, centred on (0, 0)
  std::vector<uint8_t> stored;     // a record to read, centred on (3, 4)
};

std::vector<RecordCase> Cases() {
  const float r90 = EToRadians(90);
  // Wedge fields: amplitude, co-radius, radius; the stored wedge has them the other way round.
  return {
      {"ELine", [] { return new ELine(EPoint(1, -2), 8, 90); }, Record(1, -2, r90, 1, {4}),
       [] { return new ELine(EPoint(0, 0), 1, 0); }, Record(3, 4, 0.5f, 1, {2.5f})},
      {"ECircle", [] { return new ECircle(EPoint(1, -2), 8.0f, 90.0f, 0); },
       Record(1, -2, r90, 1, {-kTwoPi, 4}), [] { return new ECircle(EPoint(0, 0), 2.0f, 0.0f, 1); },
       Record(3, 4, 0.5f, 1, {1.25f, 7})},
      {"ERectangle", [] { return new ERectangle(EPoint(5, 2), 10, 4, 90); },
       Record(5, 2, r90, 1, {5, 2}), [] { return new ERectangle(EPoint(0, 0), 8, 8, 0); },
       Record(3, 4, 0.5f, 2, {1.5f, 0.5f})},
      {"EWedge", [] { return new EWedge(EPoint(1, 2), 20.0f, -5.0f, 90.0f, 1); },
       Record(1, 2, r90, 1, {kTwoPi, 5, 10}),
       [] { return new EWedge(EPoint(0, 0), 40.0f, 0.0f, 0.0f, 1); },
       Record(3, 4, 0.5f, 1, {-1.5f, 7, 2})}};
}

}  // namespace

TEST_F(GeometryTest, ShapeRecordsMatchHandBuiltBytesAndFailCleanly) {
  for (const RecordCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    const std::string trace = std::string(c.name) + "::Serialize\n";
    std::unique_ptr<EPoint> shape(c.written());
    EXPECT_EQ(Written(*shape), c.expected);
    EXPECT_EQ(EGetError(), E_OK);

    std::unique_ptr<EPoint> r(c.blank());
    FILE* in = StreamWith(c.stored);
    r->Serialize(in, 0, 4);
    EXPECT_EQ(EGetError(), E_OK);
    EXPECT_EQ(Written(*r), c.stored);  // every field read into its place
    std::fclose(in);

    // A clone keeps the dynamic class and writes the same bytes.
    std::unique_ptr<EPoint> clone(r->CreatePointClone());
    const EPoint& cloned = *clone;
    const EPoint& original = *r;
    EXPECT_EQ(typeid(cloned), typeid(original));
    EXPECT_EQ(Written(*clone), Written(*r));

    // Newer record version: 1108, nothing read.
    std::vector<uint8_t> b = c.stored;
    b[0] = 2;
    r.reset(c.blank());
    in = StreamWith(b);
    r->Serialize(in, 0, 4);
    EXPECT_EQ(EGetError(), E_ERROR_VERSION_TOO_NEW);
    EXPECT_EQ(EGetErrorTrace(), trace);
    EXPECT_EQ(r->GetCenter(), EPoint(0, 0));
    std::fclose(in);
    EOk();

    // Newer nested frame: 1108 from the frame, traced by both.
    b = c.stored;
    b[1] = 3;
    in = StreamWith(b);
    r->Serialize(in, 0, 4);
    EXPECT_EQ(EGetError(), E_ERROR_VERSION_TOO_NEW);
    EXPECT_EQ(EGetErrorTrace(), "EFrame::Serialize\n" + trace);
    std::fclose(in);
    EOk();

    // Cut inside the last field: 1103, the fields before it read, that one unchanged.
    b = c.stored;
    b.pop_back();
    in = StreamWith(b);
    r->Serialize(in, 0, 4);
    EXPECT_EQ(EGetError(), E_ERROR_READ_FAILED);
    EXPECT_EQ(EGetErrorTrace(), trace);
    std::vector<uint8_t> kept = c.stored;  // the last field as the blank had it
    const std::vector<uint8_t> blank = Written(*std::unique_ptr<EPoint>(c.blank()));
    std::copy(blank.end() - 4, blank.end(), kept.end() - 4);
    EXPECT_EQ(Written(*r), kept);
    std::fclose(in);
    EOk();

    in = StreamWith({});
    r->Serialize(in, 0, 4);
    EXPECT_EQ(EGetError(), E_ERROR_READ_FAILED);
    std::fclose(in);
    EOk();

    FILE* ro = ReadOnlyStream();
    ASSERT_NE(ro, nullptr);
    r->Serialize(ro, 1, 4);
    EXPECT_EQ(EGetError(), E_ERROR_WRITE_FAILED);
    std::fclose(ro);
    EOk();

    // Only a file serializer is accepted; through one, the record round-trips.
    EMemSerializer mem;
    EXPECT_EQ(ThrownCode([&] { shape->Serialize(&mem, 4); }), E_ERROR_NOT_FILE_SERIALIZER);
    EXPECT_TRUE(mem.GetBuffer().empty());
    EMemSerializer memReader(c.stored.data(), c.stored.size());
    EXPECT_EQ(ThrownCode([&] { r->Serialize(&memReader, 4); }), E_ERROR_NOT_FILE_SERIALIZER);
    EXPECT_NE(ThrownCode([&] { r->Serialize(static_cast<ESerializer*>(nullptr), 4); }), 0);
    FILE* f = std::tmpfile();
    EFilePointerSerializer writer(f, 1);
    shape->Serialize(&writer, 4);
    std::rewind(f);
    EFilePointerSerializer reader(f, 0);
    r.reset(c.blank());
    r->Serialize(&reader, 4);
    EXPECT_EQ(EGetError(), E_OK);
    EXPECT_EQ(Written(*r), c.expected);
    std::fclose(f);
  }
}

TEST_F(GeometryTest, RecordsReadIntoTheRightFields) {
  FILE* in = StreamWith(Record(3, 4, 0.5f, 1, {2.5f}));
  ELine l;
  l.Serialize(in, 0, 4);
  std::fclose(in);
  EXPECT_EQ(l.GetLength(), 5.0f);
  EXPECT_EQ(l.GetRawAngle(), 0.5f);
  EXPECT_FALSE(l.IsFrameValid());
  in = StreamWith(Record(3, 4, 0.5f, 1, {-1.5f, 7, 2}));
  EWedge w;
  w.Serialize(in, 0, 4);
  std::fclose(in);
  EXPECT_EQ(w.GetInnerRadius(), 2.0f);  // the getters order the radii
  EXPECT_EQ(w.GetOuterRadius(), 7.0f);
  EXPECT_FLOAT_EQ(w.GetAmplitude(), -1.5f * 180 / kPi);
  EXPECT_EQ(EGetError(), E_OK);
}

TEST_F(GeometryTest, LineRecordWithVersion1FrameTakesTheRatio) {
  std::vector<uint8_t> b;
  PutU8(b, 1);
  PutU8(b, 1);  // frame version 1
  PutU8(b, 1);
  for (float v : {3.0f, 4.0f, 0.5f, 1.0f, 0.75f /* ratio */, 2.5f /* half-length */}) PutF32(b, v);
  FILE* in = StreamWith(b);
  ELine r;
  r.Serialize(in, 0, 4);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(r.GetLength(), 5.0f);
  EXPECT_EQ(EFrame::GetLoadedRatio(), 0.75f);
  std::fclose(in);
}
