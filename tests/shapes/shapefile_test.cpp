// Shape files against hand-built bytes: every class's record, the header checks in their
// order, daughters in lists and indexed tables, old versions, and damaged files.
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <stdexcept>

#include "shapes/shape_test_support.h"
#include "test_support.h"
#include "vimo/bga/bga.h"
#include "vimo/gauges/circlegauge.h"
#include "vimo/gauges/linegauge.h"
#include "vimo/gauges/pointgauge.h"
#include "vimo/gauges/rectanglegauge.h"
#include "vimo/gauges/wedgegauge.h"

namespace {

using shape_test::Settings;
using shape_test::Violation;

const float kTurn = 6.28318548f;
const unsigned kFlags = 0x0001C405u;

// Little-endian byte builder.
struct Bytes {
  std::vector<uint8_t> b;
  Bytes& u8(uint8_t v) { return vimo_test::PutU8(b, v), *this; }
  Bytes& u32(uint32_t v) { return vimo_test::PutU32(b, v), *this; }
  Bytes& f32(float v) { return vimo_test::PutF32(b, v), *this; }
  Bytes& add(const Bytes& o) { return b.insert(b.end(), o.b.begin(), o.b.end()), *this; }
};

Bytes Header(uint8_t code, uint8_t version, uint32_t type) {
  return Bytes().u8(0x45).u8(code).u8(version).u8(0x45 ^ code ^ version).u32(type);
}
// EFrame record: version 2, the centre as a point record, angle (radians) and scale.
Bytes Frame(float x, float y, float angle = 0, float scale = 1) {
  return Bytes().u8(2).u8(1).f32(x).f32(y).f32(angle).f32(scale);
}
// EShape record without daughters, or announcing `slots` daughter entries that follow.
Bytes Shape(const std::string& name = "", uint32_t flags = kFlags, uint32_t slots = 0,
            uint32_t mode = 0) {
  Bytes r;
  r.u8(1).u32(mode).u32(static_cast<uint32_t>(name.size()));
  for (char c : name) r.u8(static_cast<uint8_t>(c));
  return r.u32(flags).u32(slots);
}
Bytes PointRecord(float x, float y, const Bytes& shape = Shape()) {
  return Bytes().u8(1).add(Frame(x, y)).add(shape);
}
Bytes RectangleRecord(float x, float y, float halfX, float halfY, const Bytes& shape,
                      uint32_t rows) {
  return Bytes().u8(1).u8(1).add(Frame(x, y)).f32(halfX).f32(halfY).add(shape).u32(rows);
}
Bytes CircleRecord(float x, float y, float amplitude, float radius, const Bytes& shape = Shape()) {
  return Bytes().u8(1).u8(1).add(Frame(x, y)).f32(amplitude).f32(radius).add(shape);
}

// ETransition record with default parameters but the tolerance segment (centre, half-length)
// and choice. Version 0: a file of version 3 or below, without the version byte; version 1 has
// no sampling area and incomplete peak flags.
Bytes TransitionRecord(float x = 0, float y = 0, float tolerance = 10, uint32_t choice = 2,
                       uint8_t version = 2) {
  Bytes segment = Bytes().u8(1).add(Frame(x, y)).f32(tolerance), r;
  if (version > 0) r.u8(version);
  if (version >= 2) r.u32(1).u32(0);
  r.add(segment).u32(choice).u32(2).add(segment);
  return r.u32(10).u32(0).u32(1).u32(1).u32(20).u32(0).u32(0);
}
Bytes operator+(Bytes a, const Bytes& b) { return a.add(b); }
// The fields after the transitions: filtering threshold, sampling step, filtering passes.
Bytes Tail(float threshold, float step, uint32_t passes) {
  return Bytes().f32(threshold).f32(step).u32(passes);
}
// Four default transitions, then filtering threshold 3, sampling step and 0 passes.
Bytes EdgesAndStep(float step, uint8_t version = 2) {
  Bytes r;
  for (int i = 0; i < 4; ++i) r.add(TransitionRecord(0, 0, 10, 2, version));
  return r + Tail(3, step, 0);
}
// EGauge_OpDat record of version 2: minimum counts, clipping mode, one skip range or none.
Bytes OpDat(int32_t m0, int32_t m1, int32_t m2, int32_t m3, int32_t clipping = 1,
            uint32_t start = 0, uint32_t end = 0) {
  Bytes r = Bytes().u32(2).u32(m0).u32(m1).u32(m2).u32(m3).u32(clipping);
  return end > 0 ? r.u32(1).u32(start).u32(end) : r.u32(0);
}
const int32_t kUnused = 0x0BADF00D;
// The wedge gauge's nominal wedge: a pie slice of radius 50.
const Bytes kWedgeGaugeShape =
    Bytes().u8(1).u8(1).add(Frame(0, 0)).f32(kTurn).f32(0).f32(50).add(Shape()).u32(0);

template <class G, class Setup>
std::function<std::unique_ptr<EShape>()> Made(Setup setup) {
  return [setup]() -> std::unique_ptr<EShape> {
    auto g = std::make_unique<G>();
    setup(*g);
    return g;
  };
}
template <class G>
std::function<std::unique_ptr<EShape>()> Blank() {
  return [] { return std::make_unique<G>(); };
}

std::string Path(const char* name) { return vimo_test::ScratchPath(name); }

std::vector<uint8_t> Saved(EShape& shape, int daughters) {
  std::string path = Path("saved.shp");
  shape.Save(path.c_str(), daughters);
  return vimo_test::ReadFileBytes(path);
}

// The bytes of a loaded tree saved again as the caller's own: loaded daughters carry the
// Allocated flag, which the original tree had not.
std::vector<uint8_t> SavedAsOriginal(EShape& loaded) {
  const int own = loaded.GetAllocated();
  loaded.SetAllocated(0, 1);
  std::vector<uint8_t> bytes = Saved(loaded, 1);
  loaded.SetAllocated(1, 1);
  loaded.SetAllocated(own, 0);
  return bytes;
}

E_ERRORS LoadBytes(EShape& shape, const std::vector<uint8_t>& bytes, int daughters) {
  std::string path = Path("load.shp");
  vimo_test::WriteFileBytes(path, bytes);
  shape.Load(path.c_str(), daughters);
  return EGetError();
}

struct RecordCase {
  const char* name;
  std::function<std::unique_ptr<EShape>()> make;   // the shape the bytes describe
  std::function<std::unique_ptr<EShape>()> blank;  // a shape of the class to load into
  Bytes bytes;
};

std::vector<RecordCase> RecordCases() {
  const float a30 = EToRadians(30);
  EWorld world;
  Bytes worldRecord = Bytes().u8(2).add(Frame(0, 0)).u32(world.GetCalibrationModes());
  worldRecord.f32(world.GetDistortionStrength()).f32(0).f32(0).f32(world.GetPerspectiveStrength());
  worldRecord.u32(world.GetSensorWidth()).u32(world.GetSensorHeight()).f32(world.GetRatio());
  worldRecord.f32(world.GetOpticalCenterX()).f32(world.GetOpticalCenterY());
  return {
      {"point",
       [] {
         auto s = std::make_unique<EPointShape>(3, 4);
         s->SetName("P1");
         return s;
       },
       [] { return std::make_unique<EPointShape>(); },
       Header(0x14, 4, 0x4).add(PointRecord(3, 4, Shape("P1")))},
      {"line", [] { return std::make_unique<ELineShape>(1, 2, 10, 30); },
       [] { return std::make_unique<ELineShape>(); },
       Header(0x15, 4, 0x8).u8(1).u8(1).add(Frame(1, 2, a30)).f32(5).add(Shape())},
      {"circle",
       [] {
         auto s = std::make_unique<ECircleShape>(1, 2, 10, 0, 1);
         s->SetDraggingMode(INS_DRAG_FROM_FIXED_POINT, 0);
         return s;
       },
       [] { return std::make_unique<ECircleShape>(); },
       Header(0x11, 4, 0x10).add(CircleRecord(1, 2, kTurn, 5, Shape("", kFlags, 0, 1)))},
      {"rectangle", [] { return std::make_unique<ERectangleShape>(1, 2, 10, 20, 0); },
       [] { return std::make_unique<ERectangleShape>(); },
       Header(0x13, 4, 0x40).add(RectangleRecord(1, 2, 5, 10, Shape(), 0))},
      {"wedge", [] { return std::make_unique<EWedgeShape>(1, 2, 20, 4, 0, 1); },
       [] { return std::make_unique<EWedgeShape>(); },
       Header(0x17, 4, 0x20)
           .u8(1)
           .u8(1)
           .add(Frame(1, 2))
           .f32(kTurn)
           .f32(10)
           .f32(14)
           .add(Shape())
           .u32(0)},
      {"frame", [] { return std::make_unique<EFrameShape>(1, 2, 0, 1, 30, 40, 0); },
       [] { return std::make_unique<EFrameShape>(); },
       Header(0x12, 4, 0x80).u8(1).add(Frame(1, 2)).add(Shape()).f32(30).f32(40)},
      {"world",
       [] {
         auto s = std::make_unique<EWorldShape>(0, 0, 0, 1, 100, 100);
         s->SetZoom(2, 3);
         s->SetPan(4, 5);
         return s;
       },
       [] { return std::make_unique<EWorldShape>(); },
       Header(0x16, 4, 0x100).u8(2).add(worldRecord).add(Shape()).f32(2).f32(3).f32(4).f32(5)},
      {"ball",
       [] {
         auto s = std::make_unique<EBGABall>(1, 2, 10, 1, 0);
         s->SetDiagnostics(5);
         return s;
       },
       [] { return std::make_unique<EBGABall>(0, 0, 1, 1, 0); },
       Header(0x18, 4, 0x2000).u8(2).add(CircleRecord(1, 2, kTurn, 5)).u32(5).f32(1)},
      {"array",
       [] {
         auto s = std::make_unique<EBGAArray>();
         s->SetStaggered(1);
         s->SetInverseRowNumbering(1);
         return s;
       },
       [] { return std::make_unique<EBGAArray>(); },
       Header(0x19, 4, 0x4000)
           .u8(2)
           .add(RectangleRecord(0, 0, 50, 50, Shape(), 0))
           .u32(1)
           .u32(1)
           .u32(0)},
      {"component",
       [] {
         auto s = std::make_unique<EBGAComponent>();
         s->SetCenter(10, 20);
         return s;
       },
       [] { return std::make_unique<EBGAComponent>(); },
       Header(0x20, 4, 0x8000).u8(1).add(RectangleRecord(10, 20, 50, 50, Shape(), 0))},
      {"point gauge",
       Made<EPointGauge>([](EPointGauge& g) { g.SetCenter(3, 4), g.SetTolerance(6, 0); }),
       Blank<EPointGauge>(),
       Header(0x24, 4, 0x200).u8(1).add(PointRecord(3, 4)).add(TransitionRecord(3, 4, 6, 5))},
      {"line gauge", Made<ELineGauge>([](ELineGauge& g) {
         g.Set(EPoint(1, 2), 10, 30), g.SetSamplingStep(2), g.AddSkipRange(3, 1);
         g.SetClippingMode(GGE_CLIPPING_SAMPLE_SPAN), g.SetMinNumFitSamples(4, -1, -1, -1);
       }),
       Blank<ELineGauge>(),
       Header(0x25, 4, 0x400).u8(2) + OpDat(4, 4, 4, 4, 2, 1, 3) +
           Bytes().u8(1).u8(1).add(Frame(1, 2, a30)).f32(5) + Shape() + TransitionRecord() +
           Tail(3, 2, 0)},
      {"circle gauge", Made<ECircleGauge>([](ECircleGauge& g) {
         g.Set(EPoint(1, 2), 10, 0, 1), g.SetTolerance(4, 0), g.SetInnerFilteringThreshold(1.5f);
         g.SetFittingMode(GGE_FITTING_WEIGHTED), g.SetNumFilteringPasses(2);
       }),
       Blank<ECircleGauge>(),
       Header(0x21, 4, 0x800).u8(3) + OpDat(3, kUnused, kUnused, kUnused) +
           CircleRecord(1, 2, kTurn, 5) + TransitionRecord(0, 0, 4) + Tail(3, 5, 2) +
           Bytes().f32(1.5f).u32(2)},
      {"rectangle gauge", Made<ERectangleGauge>([](ERectangleGauge& g) {
         g.Set(EPoint(1, 2), 10, 20, 0), g.SetActiveEdges(0x300), g.SetInnerFilteringThreshold(2);
       }),
       Blank<ERectangleGauge>(),
       Header(0x23, 5, 0x1000).u8(2) + OpDat(2, 2, 2, 2) +
           RectangleRecord(1, 2, 5, 10, Shape(), 0) + EdgesAndStep(5).u32(0x300).f32(2)},
      {"wedge gauge",
       Made<EWedgeGauge>([](EWedgeGauge& g) { g.SetActiveEdges(0xC00), g.SetSamplingStep(3); }),
       Blank<EWedgeGauge>(),
       Header(0x27, 4, 0x20000).u8(2) + OpDat(3, 1, 3, 1) + kWedgeGaugeShape +
           EdgesAndStep(3).u32(0xC00)},
  };
}

}  // namespace

// Each class writes exactly the hand-built bytes, reads them back, and writes them again.
TEST(ShapeFile, EveryRecordMatchesHandBuiltBytes) {
  Settings settings;
  for (const RecordCase& c : RecordCases()) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<EShape> shape = c.make();
    EXPECT_EQ(Saved(*shape, 1), c.bytes.b);
    EXPECT_EQ(EGetError(), E_OK);
    std::unique_ptr<EShape> loaded = c.blank();
    EXPECT_EQ(LoadBytes(*loaded, c.bytes.b, 1), E_OK) << EGetErrorTrace();
    EXPECT_EQ(Saved(*loaded, 1), c.bytes.b);
    // Cut anywhere, the file is refused with a read failure and the shape stays consistent.
    for (size_t n = 0; n < c.bytes.b.size(); ++n) {
      std::vector<uint8_t> cut(c.bytes.b.begin(), c.bytes.b.begin() + n);
      std::unique_ptr<EShape> target = c.blank();
      E_ERRORS code = LoadBytes(*target, cut, 1);
      ASSERT_EQ(code, E_ERROR_READ_FAILED) << "cut at " << n;
      ASSERT_EQ(Violation(target.get()), "");
    }
  }
}

// The header checks run in order: signature bytes, class, version, type.
TEST(ShapeFile, HeaderChecksInOrder) {
  Settings settings;
  const Bytes body = PointRecord(3, 4);
  struct Case {
    Bytes file;
    E_ERRORS code;
  };
  Bytes badCheck = Header(0x15, 4, 0x4);
  badCheck.b[3] ^= 1;  // also of another class: the signature is checked first
  Bytes badMark = Header(0x14, 4, 0x4);
  badMark.b[0] = 0x46;
  badMark.b[3] = 0x46 ^ 0x14 ^ 4;
  std::vector<Case> cases = {
      {badCheck, E_ERROR_BAD_SIGNATURE},
      {badMark, E_ERROR_BAD_SIGNATURE},
      {Header(0x14, 5, 0x4), E_ERROR_FILE_CLASS_VERSION_TOO_NEW},
      {Header(0x14, 4, 0x8), E_ERROR_INVALID_PARAMETER},
      {Header(0x14, 2, 2), E_OK},  // version 2 stores the type's bit number: 1 << 2
      {Header(0x14, 1, 2), E_OK},
      {Header(0x14, 2, 3), E_ERROR_INVALID_PARAMETER},
      {Header(0x14, 2, 40), E_ERROR_INVALID_PARAMETER},  // no such bit
      {Header(0x30, 4, 0x4), E_ERROR_UNKNOWN_FILE_CLASS},
  };
  const std::pair<uint8_t, E_ERRORS> classes[] = {
      {0x11, E_ERROR_FILE_IS_CIRCLE_SHAPE},    {0x12, E_ERROR_FILE_IS_FRAME_SHAPE},
      {0x13, E_ERROR_FILE_IS_RECTANGLE_SHAPE}, {0x15, E_ERROR_FILE_IS_LINE_SHAPE},
      {0x16, E_ERROR_FILE_IS_WORLD_SHAPE},     {0x17, E_ERROR_FILE_IS_WEDGE_SHAPE},
      {0x18, E_ERROR_FILE_IS_BGA_BALL},        {0x19, E_ERROR_FILE_IS_BGA_ARRAY},
      {0x20, E_ERROR_FILE_IS_BGA_COMPONENT},   {0x21, E_ERROR_FILE_IS_CIRCLE_GAUGE},
      {0x23, E_ERROR_FILE_IS_RECTANGLE_GAUGE}, {0x24, E_ERROR_FILE_IS_POINT_GAUGE},
      {0x25, E_ERROR_FILE_IS_LINE_GAUGE},      {0x27, E_ERROR_FILE_IS_WEDGE_GAUGE},
      {0x28, E_ERROR_FILE_IS_BGA_FILE}};
  for (auto& [code, error] : classes) cases.push_back({Header(code, 9, 0x4), error});
  for (const Case& c : cases) {
    EPointShape shape(1, 1);
    Bytes file = c.file;
    file.add(body);
    EXPECT_EQ(LoadBytes(shape, file.b, 1), c.code) << EGetErrorTrace();
    if (c.code != E_OK) {
      EXPECT_STREQ(EGetErrorTrace(), "EShape::Load\n");
    }
    EXPECT_EQ(shape.GetX(), c.code == E_OK ? 3.0f : 1.0f);
  }
  // The serializer forms throw the same codes.
  Bytes wrong = Header(0x14, 4, 0x4);
  EMemSerializer reader(wrong.b.data(), wrong.b.size());
  ELineShape line;
  try {
    line.Load(&reader, 1);
    ADD_FAILURE() << "no exception";
  } catch (const Quarnel::Vexlor::Exception& e) {
    EXPECT_EQ(e.GetCode(), E_ERROR_FILE_IS_POINT_SHAPE);
  }
}

// An indexed table of 4 slots with daughters in slots 1 and 3, written and read back.
TEST(ShapeFile, IndexedTableWithEmptySlots) {
  Settings settings;
  const unsigned indexed = kFlags | INS_SHAPE_BEHAVIOR_INDEXED;
  const Bytes file = Header(0x13, 4, 0x40)
                         .add(RectangleRecord(0, 0, 5, 5,
                                              Shape("", indexed, 4)
                                                  .u32(1)
                                                  .u32(0x4)
                                                  .add(PointRecord(1, 2))
                                                  .u32(1)
                                                  .u32(0x10)
                                                  .add(CircleRecord(3, 4, kTurn, 2)),
                                              0));
  ERectangleShape mother(0, 0, 10, 10, 0);
  mother.SetIndexed(4);
  EPointShape first(1, 2);
  ECircleShape second(3, 4, 4, 0, 1);
  first.AttachIndexed(&mother, 1);
  second.AttachIndexed(&mother, 3);
  EXPECT_EQ(Saved(mother, 1), file.b);

  const unsigned worldDaughters = VimoWorld.GetNumDaughters();
  {
    ERectangleShape loaded;
    ASSERT_EQ(LoadBytes(loaded, file.b, 1), E_OK) << EGetErrorTrace();
    EXPECT_EQ(Violation(&loaded), "");
    ASSERT_TRUE(loaded.GetIndexed());
    EXPECT_EQ(loaded.GetMaxDaughters(), 4u);
    EXPECT_EQ(loaded.GetNumDaughters(), 2u);
    EXPECT_EQ(loaded.GetDaughter(0), nullptr);
    EXPECT_EQ(loaded.GetDaughter(2), nullptr);
    ASSERT_NE(loaded.GetDaughter(1), nullptr);
    EXPECT_EQ(loaded.GetDaughter(1)->GetType(), INS_SHAPE_TYPE_POINT_SHAPE);
    EXPECT_EQ(loaded.GetDaughter(3)->GetType(), INS_SHAPE_TYPE_CIRCLE_SHAPE);
    EXPECT_TRUE(loaded.GetDaughter(1)->GetAllocated());
    EXPECT_FALSE(loaded.GetAllocated());
    // The circle's handles follow the loaded full circle: 4 pi / 3 and 2 pi / 3.
    auto* circle = static_cast<ECircleShape*>(loaded.GetDaughter(3));
    EXPECT_FLOAT_EQ(circle->GetEndHandleAngle(), kTurn * 2 / 3);
    EXPECT_FLOAT_EQ(circle->GetMiddleHandleAngle(), kTurn / 3);
    EXPECT_EQ(SavedAsOriginal(loaded), file.b);
  }
  // The loaded daughters went with their mother, none was left to VimoWorld.
  EXPECT_EQ(VimoWorld.GetNumDaughters(), worldDaughters);

  // Without daughters: the stored flags and name, no daughter, and the row count read from its
  // own place after the skipped entries.
  Bytes grid = Header(0x13, 4, 0x40)
                   .add(RectangleRecord(0, 0, 5, 5,
                                        Shape("G", indexed | INS_SHAPE_BEHAVIOR_2D_ARRAY, 2)
                                            .u32(0x4)
                                            .add(PointRecord(1, 2))
                                            .u32(1),
                                        2));
  ERectangleShape bare;
  ASSERT_EQ(LoadBytes(bare, grid.b, 0), E_OK) << EGetErrorTrace();
  EXPECT_EQ(bare.GetNumDaughters(), 0u);
  EXPECT_EQ(bare.GetNumRows(), 2u);
  EXPECT_STREQ(bare.GetName(), "G");
  EXPECT_TRUE(bare.GetIndexed() && bare.Get2DArray());
  EXPECT_EQ(VimoWorld.GetNumDaughters(), worldDaughters + 1);  // just `bare`
}

// Damaged and hostile daughter tables fail cleanly: the loading shape keeps a consistent
// tree, and everything it loaded belongs to it.
TEST(ShapeFile, BadDaughterEntries) {
  Settings settings;
  const unsigned worldDaughters = VimoWorld.GetNumDaughters();
  const Bytes point = PointRecord(1, 2);
  Bytes deep = Header(0x14, 4, 0x4);
  for (int i = 0; i < 300; ++i) deep.u8(1).add(Frame(0, 0)).add(Shape("", kFlags, 1)).u32(0x4);
  struct Case {
    const char* name;
    Bytes file;
    E_ERRORS code;
  };
  const Case cases[] = {
      {"world shape daughter",
       Header(0x14, 4, 4).u8(1).add(Frame(0, 0)).add(Shape("", kFlags, 1)).u32(0x100),
       E_ERROR_INVALID_PARAMETER},
      {"unknown type",
       Header(0x14, 4, 4).u8(1).add(Frame(0, 0)).add(Shape("", kFlags, 1)).u32(0x80000),
       E_ERROR_INVALID_PARAMETER},
      {"dragging mode 7", Header(0x14, 4, 4).u8(1).add(Frame(0, 0)).add(Shape("", kFlags, 0, 7)),
       E_ERROR_INVALID_PARAMETER},
      {"shape version 2", Header(0x14, 4, 4).u8(1).add(Frame(0, 0)).u8(2), E_ERROR_VERSION_TOO_NEW},
      {"name of 4 GB", Header(0x14, 4, 4).u8(1).add(Frame(0, 0)).u8(1).u32(0).u32(0xFFFFFFF0u),
       E_ERROR_READ_FAILED},
      {"4 G slots",
       Header(0x14, 4, 4)
           .u8(1)
           .add(Frame(0, 0))
           .add(Shape("", kFlags | INS_SHAPE_BEHAVIOR_INDEXED, 0xFFFFFFFFu))
           .u32(1),
       E_ERROR_READ_FAILED},
      {"300 levels", deep, E_ERROR_INVALID_PARAMETER},
      {"second daughter cut",
       Header(0x14, 4, 4)
           .u8(1)
           .add(Frame(0, 0))
           .add(Shape("", kFlags, 2))
           .u32(4)
           .add(point)
           .u32(4)
           .u8(1)
           .add(Frame(0, 0)),
       E_ERROR_READ_FAILED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (int daughters = 0; daughters <= 1; ++daughters) {
      {
        EPointShape shape(5, 5);
        shape.SetAllocated(0, 0);
        EXPECT_EQ(LoadBytes(shape, c.file.b, daughters), c.code);
        if (c.file.b.size() < 1000) {
          EXPECT_EQ(Violation(&shape), "");  // the checker stops at 64 levels
        }
        for (unsigned i = 0; i < shape.GetNumDaughters(); ++i)
          EXPECT_TRUE(shape.GetDaughter(i)->GetAllocated());
      }
      EXPECT_EQ(VimoWorld.GetNumDaughters(), worldDaughters);
    }
  }
  // A tree too deep to read back is not written either.
  std::vector<std::unique_ptr<EPointShape>> chain;
  chain.push_back(std::make_unique<EPointShape>());
  for (int i = 0; i < 300; ++i) {
    chain.push_back(std::make_unique<EPointShape>());
    chain.back()->Attach(chain[chain.size() - 2].get());
  }
  chain[0]->Save(Path("deep.shp").c_str(), 1);
  EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  while (!chain.empty()) chain.pop_back();  // deepest first
}

// A loaded shape that already has daughters: list daughters are appended, an indexed table
// is refused with 12005; the Allocated bit of a stored top-level shape is not taken.
TEST(ShapeFile, LoadingIntoAShapeWithDaughters) {
  Settings settings;
  const Bytes list = Header(0x14, 4, 4)
                         .u8(1)
                         .add(Frame(0, 0))
                         .add(Shape("", kFlags | INS_SHAPE_BEHAVIOR_ALLOCATED, 1))
                         .u32(4)
                         .add(PointRecord(1, 2));
  EPointShape mother, own;
  own.Attach(&mother);
  ASSERT_EQ(LoadBytes(mother, list.b, 1), E_OK);
  EXPECT_EQ(mother.GetNumDaughters(), 2u);
  EXPECT_EQ(mother.GetDaughter(0), &own);
  EXPECT_FALSE(mother.GetAllocated());
  EXPECT_FALSE(own.GetAllocated());

  Bytes indexed = list;
  indexed.b[8 + 1 + 18 + 1 + 4 + 4 + 3] |= 0x40;  // the flag word's indexed bit
  EXPECT_EQ(LoadBytes(mother, indexed.b, 1), E_ERROR_ALREADY_HAS_DAUGHTER_TABLE);
  EXPECT_EQ(Violation(&mother), "");
  EXPECT_FALSE(mother.GetIndexed());
}

// Whole trees of every class survive a round trip through a file and a 16-bit path.
TEST(ShapeFile, MixedTreeRoundTrip) {
  Settings settings;
  EFrameShape root(5, 6, 10, 2, 30, 40, 0);
  root.SetName("root");
  EBGAComponent component;
  component.Attach(&root);
  EBGAArray array;
  array.SetIndexed(2, 3);
  array.Attach(&component);
  EBGABall ball(1, 2, 0.5f, 1, 0);
  ball.AttachIndexed(&array, 1, 2);
  EWedgeShape wedge(0, 0, 20, 5, 45, 0);
  wedge.SetIndexed(3);
  wedge.Attach(&root);
  ELineShape line(1, 1, 5, 10);
  line.AttachIndexed(&wedge, 2);
  const unsigned short wide[] = {'w', 'i', 'd', 'e', 0x263A, 0};
  line.SetName(wide);
  ECircleShape circle(EPoint(0, 0), 4, 0, 90);
  circle.Attach(&line);
  ERectangleShape rectangle(1, 1, 2, 2, 0);
  rectangle.Attach(&root);
  EPointShape point(7, 8);
  point.Attach(&rectangle);
  std::vector<std::unique_ptr<EShape>> gauges;  // those of the record cases, under the circle
  for (const RecordCase& c : RecordCases())
    if (std::string(c.name).find(" gauge") != std::string::npos) {
      gauges.push_back(c.make());
      gauges.back()->Attach(gauges.size() == 1 ? static_cast<EShape*>(&circle) : gauges[0].get());
    }

  std::vector<uint8_t> bytes = Saved(root, 1);
  ASSERT_EQ(EGetError(), E_OK);
  const std::string path = Path("tree.shp");
  std::vector<unsigned short> widePath(path.begin(), path.end());
  widePath.push_back(0);
  root.Save(widePath.data(), 1);
  ASSERT_EQ(EGetError(), E_OK);
  EFrameShape copy;
  copy.Load(widePath.data(), 1);
  ASSERT_EQ(EGetError(), E_OK) << EGetErrorTrace();
  EXPECT_EQ(Violation(&copy), "");
  EXPECT_EQ(SavedAsOriginal(copy), bytes);
  EShape* loadedLine = copy.GetShapeNamed("wide\xE2\x98\xBA");  // UTF-8 of the 16-bit name
  ASSERT_NE(loadedLine, nullptr);
  EXPECT_EQ(loadedLine->GetDaughter(0)->GetType(), INS_SHAPE_TYPE_CIRCLE_SHAPE);
  auto* loadedArray = static_cast<EBGAArray*>(copy.GetDaughter(0)->GetDaughter(0));
  EXPECT_EQ(loadedArray->GetNumRows(), 3u);
  EXPECT_EQ(loadedArray->GetDaughter(1, 2)->GetType(), INS_SHAPE_TYPE_BGA_BALL);

  // Bad paths report through the error state.
  copy.Load("/nonexistent/folder/x.shp", 1);
  EXPECT_EQ(EGetError(), E_ERROR_CANNOT_OPEN_FILE);
  EXPECT_STREQ(EGetErrorTrace(), "EShape::Load\n");
  copy.Save(static_cast<const char*>(nullptr), 1);
  EXPECT_EQ(EGetError(), E_ERROR_CANNOT_OPEN_FILE);
  // Classes whose record works on a file stream refuse another serializer with 1111.
  EMemSerializer memory;
  for (EShape* shape : {static_cast<EShape*>(&line), gauges[2].get()}) {
    try {
      shape->Save(&memory, 0);
      ADD_FAILURE() << "no exception";
    } catch (const Quarnel::Vexlor::Exception& e) {
      EXPECT_EQ(e.GetCode(), E_ERROR_NOT_FILE_SERIALIZER);
    }
  }
}

// Old records: a world shape in a file of version 1 has no EShape record and no view; a
// version-1 ball has no diameter correction, a version-1 array no inverse numbering.
TEST(ShapeFile, OldRecordVersions) {
  Settings settings;
  std::unique_ptr<EShape> world = RecordCases()[6].make();
  std::vector<uint8_t> current = Saved(*world, 1);
  // Version 1 file: the same world record, then nothing (record version 1: no zoom and pan).
  Bytes v1 = Header(0x16, 1, 8);
  v1.b.push_back(1);
  v1.b.insert(v1.b.end(), current.begin() + 9, current.end() - 16 - 17);
  EWorldShape loaded;
  loaded.SetZoom(5, 5);
  ASSERT_EQ(LoadBytes(loaded, v1.b, 1), E_OK) << EGetErrorTrace();
  EXPECT_EQ(loaded.GetZoomX(), 1.0f);
  EXPECT_EQ(loaded.GetPanY(), 0.0f);
  // A zoom of 0 in a file would make the display mapping singular.
  std::vector<uint8_t> zero = current;
  std::fill(zero.end() - 16, zero.end() - 12, 0);
  EXPECT_EQ(LoadBytes(loaded, zero, 1), E_ERROR_INVALID_PARAMETER);

  EBGABall ball(0, 0, 1, 1, 0);
  const Bytes ballV1 = Header(0x18, 4, 0x2000).u8(1).add(CircleRecord(1, 2, kTurn, 5)).u32(3);
  ASSERT_EQ(LoadBytes(ball, ballV1.b, 1), E_OK);
  EXPECT_EQ(ball.GetDiagnostics(), 3u);
  EXPECT_EQ(ball.GetMeasuredDiameter(), 10.0f);  // the nominal circle, in world coordinates
  EBGAArray array;
  array.SetInverseColNumbering(1);
  const Bytes arrayV1 =
      Header(0x19, 4, 0x4000).u8(1).add(RectangleRecord(0, 0, 5, 5, Shape(), 0)).u32(1);
  ASSERT_EQ(LoadBytes(array, arrayV1.b, 1), E_OK);
  EXPECT_EQ(array.GetStaggered(), 1);
  EXPECT_EQ(array.GetInverseColNumbering(), 0);
  EXPECT_EQ(LoadBytes(array, Header(0x19, 4, 0x4000).u8(3).b, 1), E_ERROR_VERSION_TOO_NEW);
}

namespace {

// The hand-built file of a record case, patched: `value` at `offset` (from the end when
// negative), or cut by `cut` bytes.
template <class T = uint8_t>
std::vector<uint8_t> Gauge(const char* name, long offset = 0, T value = 0, size_t cut = 0) {
  std::vector<uint8_t> bytes;
  for (const RecordCase& c : RecordCases())
    if (std::string(c.name) == name) bytes = c.bytes.b;
  bytes.resize(bytes.size() - cut);
  if (offset != 0)
    std::memcpy(&bytes[offset < 0 ? bytes.size() + offset : offset], &value, sizeof value);
  return bytes;
}
std::unique_ptr<EShape> BlankOf(const std::vector<uint8_t>& file) {
  for (const RecordCase& c : RecordCases())
    if (c.bytes.b[1] == file[1]) return c.blank();
  return nullptr;
}
template <class G>
G* As(EShape* s) {
  return static_cast<G*>(s);
}

}  // namespace

// Older gauge records load with the defaults of what they lack, keeping what the file version
// does not store; newer ones, unusable sampling steps and NaN tolerances are refused; an
// unknown clipping mode is kept (the fit refuses it). Every load clears the found state.
TEST(ShapeFile, GaugeRecordVersionsAndBadValues) {
  Settings settings;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    std::vector<uint8_t> file;
    E_ERRORS code;
    std::function<float(EShape*)> probe;  // of the gauge loaded over the prepared one
    float expected;
  };
  const Bytes lineV1 =
      Header(0x25, 4, 0x400).u8(1).u8(1).u8(1).add(Frame(1, 2)).f32(5).add(Shape());
  const Case cases[] = {
      {Header(0x24, 3, 0x200).add(PointRecord(3, 4)).add(TransitionRecord(3, 4, 6, 5, 0)).b, E_OK,
       [](EShape* s) { return As<EPointGauge>(s)->GetRectangularSamplingArea() + 0.0f; }, 5},
      {Header(0x24, 4, 0x200).u8(1).add(PointRecord(3, 4)).add(TransitionRecord(3, 4, 6, 5, 1)).b,
       E_OK, [](EShape* s) { return As<EPointGauge>(s)->GetRectangularSamplingArea() + 0.0f; }, 0},
      {Bytes(lineV1).add(TransitionRecord()).f32(3).f32(5).u32(0).b, E_OK,
       [](EShape* s) {
         int m[4];
         As<ELineGauge>(s)->GetMinNumFitSamples(m[0], m[1], m[2], m[3]);
         return float(m[0] * 100 + As<ELineGauge>(s)->GetNumSkipRanges() * 10 +
                      As<ELineGauge>(s)->GetClippingMode());
       },
       201},
      {Gauge("circle gauge", 8, uint8_t(2), 8), E_OK,
       [](EShape* s) {
         return As<ECircleGauge>(s)->IsInnerFilteringEnabled() * 10.0f +
                As<ECircleGauge>(s)->GetFittingMode();
       },
       1},
      {Gauge("rectangle gauge", 2, uint16_t(0x6204), 4), E_OK,  // file version 4
       [](EShape* s) { return As<ERectangleGauge>(s)->IsInnerFilteringEnabled() + 0.0f; }, 0},
      {Header(0x23, 3, 0x1000)
           .add(RectangleRecord(1, 2, 5, 10, Shape(), 0))
           .add(EdgesAndStep(5, 0))
           .b,
       E_OK, [](EShape* s) { return As<ERectangleGauge>(s)->GetActiveEdges() + 0.0f; }, 0x500},
      {Header(0x27, 3, 0x20000).add(kWedgeGaugeShape).add(EdgesAndStep(5, 0)).b, E_OK,
       [](EShape* s) { return As<EWedgeGauge>(s)->GetActiveEdges() + 0.0f; }, 0x500},
      {Gauge("line gauge", 29, 7), E_OK,
       [](EShape* s) { return As<ELineGauge>(s)->GetClippingMode() + 0.0f; }, 7},
      {Gauge("line gauge", 9, 3), E_ERROR_GAUGE_VERSION_TOO_NEW, nullptr, 0},  // operation data
      {Gauge("line gauge", -8, 0.0f), E_ERROR_INVALID_PARAMETER,
       [](EShape* s) { return As<ELineGauge>(s)->GetSamplingStep(); }, 5},
      {Gauge("circle gauge", -16, nan), E_ERROR_INVALID_PARAMETER,
       [](EShape* s) { return As<ECircleGauge>(s)->GetSamplingStep(); }, 5},
      {Gauge("wedge gauge", -12, -1.0f), E_ERROR_INVALID_PARAMETER, nullptr, 0},
      {Gauge("point gauge", -32, nan), E_ERROR_INVALID_PARAMETER, nullptr, 0},  // tolerance
      {Gauge("point gauge", 8, uint8_t(2)), E_ERROR_GAUGE_VERSION_TOO_NEW, nullptr, 0},
      {Gauge("line gauge", 8, uint8_t(3)), E_ERROR_GAUGE_VERSION_TOO_NEW, nullptr, 0},
      {Gauge("circle gauge", 8, uint8_t(4)), E_ERROR_GAUGE_VERSION_TOO_NEW, nullptr, 0},
      {Gauge("rectangle gauge", 8, uint8_t(3)), E_ERROR_GAUGE_VERSION_TOO_NEW, nullptr, 0},
      {Gauge("wedge gauge", 8, uint8_t(3)), E_ERROR_GAUGE_VERSION_TOO_NEW, nullptr, 0},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    const Case& c = cases[i];
    std::unique_ptr<EShape> gauge = BlankOf(c.file);
    // Settings that the older records do not hold, and a found state.
    if (auto* g = dynamic_cast<EPointGauge*>(gauge.get())) g->SetRectangularSamplingArea(5);
    if (auto* g = dynamic_cast<ELineGauge*>(gauge.get())) g->AddSkipRange(1, 2);
    if (auto* g = dynamic_cast<ECircleGauge*>(gauge.get())) g->SetFittingMode(GGE_FITTING_WEIGHTED);
    if (auto* g = dynamic_cast<ERectangleGauge*>(gauge.get())) g->SetActiveEdges(0x500);
    if (auto* g = dynamic_cast<EWedgeGauge*>(gauge.get())) g->SetActiveEdges(0x500);
    gauge->SetFound(1, 0);
    EXPECT_EQ(LoadBytes(*gauge, c.file, 1), c.code) << EGetErrorTrace();
    EXPECT_EQ(Violation(gauge.get()), "");
    EXPECT_TRUE(c.code != E_OK || !gauge->GetFound());
    if (c.probe) {
      EXPECT_EQ(c.probe(gauge.get()), c.expected);
    }
  }
}
