// Fuzz target: drives the public API with call sequences decoded from the fuzzer's bytes.
// Shapes and gauges are created, attached, detached, cloned, copied, deleted, given parameters
// (NaN, infinities, zeros and huge values included), measured on small images the bytes fill,
// drawn into the image and SVG adapters, saved and loaded, and points are mapped through a world
// whose model the bytes set. After every step the hierarchy invariants are checked and the
// error state must hold a code the library defines.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_support.h"

namespace {

using vimo_fuzz::ByteReader;

const unsigned kPoolSize = 12;
const int kMaxSteps = 48;

EShape* NewShape(uint8_t kind) {
  switch (kind % 12) {
    case 0: return new EFrameShape();
    case 1: return new EPointShape();
    case 2: return new ELineShape();
    case 3: return new ECircleShape();
    case 4: return new ERectangleShape();
    case 5: return new EWedgeShape();
    case 6: return new EPointGauge();
    case 7: return new ELineGauge();
    case 8: return new ECircleGauge();
    case 9: return new ERectangleGauge();
    case 10: return new EWedgeGauge();
    default: return new EBGAArray();
  }
}

// Every shape of a tree, the root first; stops at a depth no sane tree reaches.
void Collect(EShape* shape, std::vector<EShape*>& out, int depth) {
  if (shape == nullptr) return;
  if (depth > 4096) std::abort();  // a cycle in the hierarchy
  out.push_back(shape);
  const unsigned slots = shape->GetIndexed() ? shape->GetMaxDaughters() : shape->GetNumDaughters();
  for (unsigned i = 0; i < slots && out.size() < 100000; ++i)
    Collect(shape->GetDaughter(i), out, depth + 1);
}

class Session {
 public:
  explicit Session(ByteReader& in) : m_In(in), m_Pool(kPoolSize), m_Image(8, 8), m_Canvas(48, 40) {
    m_World = std::make_unique<EWorldShape>();
  }
  ~Session() {
    m_Pool.clear();
    m_World.reset();
    // Library-owned clones that were detached ended in VimoWorld; dispose of them.
    VimoWorld.DetachDaughters();
  }

  void Run() {
    for (int step = 0; step < kMaxSteps && !m_In.Empty(); ++step) {
      Step(m_In.U8());
      CheckState();
    }
  }

 private:
  // Any shape reachable from the pool or the world, or null.
  EShape* AnyShape() {
    std::vector<EShape*> all;
    Collect(m_World.get(), all, 0);
    for (auto& s : m_Pool) Collect(s.get(), all, 0);
    const uint8_t pick = m_In.U8();
    return pick == 0xFF || all.empty() ? nullptr : all[pick % all.size()];
  }
  std::unique_ptr<EShape>& Slot() { return m_Pool[m_In.U8() % kPoolSize]; }
  unsigned Small() { return m_In.U8() % 5; }
  EPoint Point() {
    const float x = m_In.F32();
    return EPoint(x, m_In.F32());
  }

  void FillImage() {
    const int w = m_In.U8() % 48, h = m_In.U8() % 40;
    m_Image.SetSize(w, h);
    const uint8_t pattern = m_In.U8();
    for (int y = 0; y < m_Image.GetHeight(); ++y)
      for (int x = 0; x < m_Image.GetWidth(); ++x) {
        const int edge = (pattern & 1)
                             ? (x > w / 2)
                             : (x - w / 2) * (x - w / 2) + (y - h / 2) * (y - h / 2) < w * h / 8;
        m_Image.SetPixel(
            static_cast<EBW8>(edge ? 200 - (pattern & 0x30) : 30 + ((x * pattern + y) & 15)), x, y);
      }
  }

  // Whether every gauge of the tree takes few profiles. A gauge may ask for millions (bounded by
  // kMaxGaugeSamples), which is allowed but would spend the fuzzer's time on one input.
  static bool FewProfiles(EShape* root) {
    std::vector<EShape*> all;
    Collect(root, all, 0);
    for (EShape* s : all) {
      unsigned samples = 0;
      if (auto* g = dynamic_cast<ELineGauge*>(s)) samples = g->GetNumSamples();
      if (auto* g = dynamic_cast<ECircleGauge*>(s)) samples = g->GetNumSamples();
      if (auto* g = dynamic_cast<ERectangleGauge*>(s)) samples = g->GetNumSamples();
      if (auto* g = dynamic_cast<EWedgeGauge*>(s)) samples = g->GetNumSamples();
      if (samples > 20000) return false;
    }
    return true;
  }

  void SetGeometry(EShape* s) {
    if (s == nullptr) return;
    if (auto* g = dynamic_cast<ELineGauge*>(s)) return g->Set(Point(), m_In.F32(), m_In.F32());
    if (auto* g = dynamic_cast<ECircleGauge*>(s))
      return g->Set(Point(), m_In.F32(), m_In.F32(), m_In.F32());
    if (auto* g = dynamic_cast<ERectangleGauge*>(s)) {
      const EPoint c = Point();
      const float w = m_In.F32(), h = m_In.F32();
      return g->Set(ERectangle(c, w, h, m_In.F32()));
    }
    if (auto* g = dynamic_cast<EWedgeGauge*>(s)) {
      const EPoint c = Point();
      const float d = m_In.F32(), b = m_In.F32(), a = m_In.F32();
      return g->Set(EWedge(c, d, b, a, m_In.F32()));
    }
    if (auto* g = dynamic_cast<EPointGauge*>(s)) return g->SetCenter(Point());
    if (auto* r = dynamic_cast<ERectangleShape*>(s)) {
      const EPoint c = Point();
      const float w = m_In.F32(), h = m_In.F32();
      return r->Set(c, w, h, m_In.F32());
    }
    if (auto* w = dynamic_cast<EWedgeShape*>(s)) {
      const EPoint c = Point();
      const float d = m_In.F32(), b = m_In.F32(), a = m_In.F32();
      return w->Set(c, d, b, a, m_In.F32());
    }
    if (auto* c = dynamic_cast<ECircleShape*>(s)) {
      const EPoint p = Point();
      const float d = m_In.F32(), a = m_In.F32();
      return c->Set(p, d, a, m_In.F32());
    }
    if (auto* l = dynamic_cast<ELineShape*>(s)) {
      const EPoint p = Point();
      const float length = m_In.F32();
      return l->Set(p, length, m_In.F32());
    }
    if (auto* f = dynamic_cast<EFrameShape*>(s)) {
      const EPoint p = Point();
      const float a = m_In.F32(), sc = m_In.F32(), sx = m_In.F32();
      return f->SetAxis(p, a, sc, sx, m_In.F32());
    }
    if (auto* p = dynamic_cast<EPointShape*>(s)) {
      const EPoint c = Point();
      const float a = m_In.F32();
      return p->Set(c, a, m_In.F32());
    }
  }

  static unsigned Extreme(uint32_t raw) {
    switch (raw & 7) {
      case 0: return 0;
      case 1: return 0xFFFFFFFFu;
      case 2: return 0x7FFFFFFFu;
      case 3: return 1u << 16;
      default: return raw >> 3 & 0x3FF;
    }
  }

  void SetTransition(EShape* s) {
    ETransition* t = dynamic_cast<ETransition*>(s);
    if (t == nullptr) return;
    const uint8_t which = m_In.U8();
    const unsigned value = Extreme(m_In.U32());
    switch (which % 10) {
      case 0: t->SetThickness(value); break;
      case 1: t->SetSmoothing(value); break;
      case 2: t->SetThreshold(value); break;
      case 3: t->SetMinAmplitude(value); break;
      case 4: t->SetMinArea(value); break;
      case 5: t->SetTransitionIndex(value); break;
      case 6: t->SetTransitionType(static_cast<GGE_TRANSITION_TYPE>(value % 7)); break;
      case 7: t->SetTransitionChoice(static_cast<GGE_TRANSITION_CHOICE>(value % 7)); break;
      case 8: t->SetHVConstraint(value & 1); break;
      default: {
        const float tolerance = m_In.F32();
        t->SetTolerance(tolerance, m_In.F32());
      }
    }
  }

  void SetGauge(EShape* s) {
    if (s == nullptr) return;
    const uint8_t which = m_In.U8();
    const float f = m_In.F32();
    if (auto* g = dynamic_cast<EGauge*>(s)) {
      switch (which % 4) {
        case 0: g->SetFilteringThreshold(f); break;
        case 1: g->SetNumFilteringPasses(Extreme(m_In.U32())); break;
        case 2: g->SetMinNumFitSamples(Small(), Small(), Small(), Small()); break;
        default: break;
      }
    }
    if (auto* g = dynamic_cast<ELineGauge*>(s)) g->SetSamplingStep(f);
    if (auto* g = dynamic_cast<ECircleGauge*>(s)) g->SetSamplingStep(f);
    if (auto* g = dynamic_cast<ERectangleGauge*>(s)) {
      g->SetSamplingStep(f);
      g->SetActiveEdges(m_In.U32());
    }
    if (auto* g = dynamic_cast<EWedgeGauge*>(s)) {
      g->SetSamplingStep(f);
      g->SetActiveEdges(m_In.U32());
    }
  }

  void SetWorld() {
    EWorldShape& w = *m_World;
    const uint8_t which = m_In.U8();
    switch (which % 7) {
      case 0: {
        const float k = m_In.F32();
        w.SetDistortion(k, m_In.F32());
        break;
      }
      case 1: {
        const float z = m_In.F32();
        w.SetZoom(z, m_In.F32());
        break;
      }
      case 2: {
        const float x = m_In.F32();
        w.SetPan(x, m_In.F32());
        break;
      }
      case 3: {
        const float x = m_In.F32(), y = m_In.F32();
        w.SetPerspective(x, y, m_In.F32());
        break;
      }
      case 4: w.SetCalibrationModes(m_In.U32()); break;
      case 5: {
        const float x = m_In.F32(), y = m_In.F32();
        w.Set(EPoint(x, y), m_In.F32(), m_In.F32());
        break;
      }
      default: w.SetSensorSize(m_In.I32(), m_In.I32()); break;
    }
    const EPoint p = Point();
    w.SensorToWorld(w.WorldToSensor(p));
  }

  void Draw(EShape* s) {
    if (s == nullptr || !FewProfiles(s)) return;
    const auto mode = static_cast<INS_DRAWING_MODES>(m_In.U8() % 10);
    const int daughters = m_In.U8() & 1;
    Quarnel::ImageDrawAdapter image(&m_Canvas);
    Quarnel::SvgDrawAdapter svg(48, 40);
    s->Draw(&image, mode, daughters);
    s->Draw(&svg, mode, daughters);
  }

  void SaveAndLoad(EShape* s) {
    if (s == nullptr) return;
    const int daughters = m_In.U8() & 1;
    EMemSerializer writer;
    try {
      s->Save(&writer, daughters);
    } catch (const Quarnel::Vexlor::Exception&) {
      return;
    }
    std::unique_ptr<EShape>& target = Slot();
    if (target == nullptr) return;
    EMemSerializer reader(writer.GetBuffer().data(), writer.GetBuffer().size());
    try {
      target->Load(&reader, daughters);
    } catch (const Quarnel::Vexlor::Exception&) {
    }
  }

  void Step(uint8_t op) {
    switch (op % 20) {
      case 0: {
        std::unique_ptr<EShape>& slot = Slot();
        slot.reset(NewShape(m_In.U8()));
        break;
      }
      case 1: Slot().reset(); break;
      case 2: {
        EShape* s = AnyShape();
        EShape* mother = AnyShape();
        if (s != nullptr) s->Attach(mother);
        break;
      }
      case 3: {
        EShape* s = AnyShape();
        EShape* mother = AnyShape();
        if (mother != nullptr) mother->SetIndexed(m_In.U8() % 6);
        if (s != nullptr && mother != nullptr) s->AttachIndexed(mother, m_In.U8() % 8);
        break;
      }
      case 4: {
        EShape* s = AnyShape();
        EShape* mother = AnyShape();
        const unsigned a = Small(), b = Small();
        if (auto* r = dynamic_cast<ERectangleShape*>(mother)) {
          r->SetIndexed(a, b);
          if (s != nullptr) s->AttachIndexed(r, Small(), Small());
        } else if (auto* w = dynamic_cast<EWedgeShape*>(mother)) {
          w->SetIndexed(a, b);
          if (s != nullptr) s->AttachIndexed(w, Small(), Small());
        }
        break;
      }
      case 5:
        if (EShape* s = AnyShape()) s->Detach();
        break;
      case 6:
        if (EShape* s = AnyShape()) s->DetachDaughters();
        break;
      case 7: {
        EShape* s = AnyShape();
        EShape* mother = AnyShape();
        if (s == nullptr) break;
        const uint8_t how = m_In.U8();
        if (how & 1) {
          s->Clone(mother, how >> 1 & 7);
        } else if (auto* r = dynamic_cast<ERectangleShape*>(mother)) {
          s->Clone(r, Small(), Small(), how & 2);
        } else {
          s->Clone(mother);
        }
        break;
      }
      case 8: {
        EShape* s = AnyShape();
        EShape* dst = AnyShape();
        if (s != nullptr && dst != nullptr && dst != m_World.get()) s->CopyTo(dst, m_In.U8() & 1);
        break;
      }
      case 9: SetGeometry(AnyShape()); break;
      case 10: SetTransition(AnyShape()); break;
      case 11: SetGauge(AnyShape()); break;
      case 12: {
        FillImage();
        EShape* s = AnyShape();
        if (s != nullptr && FewProfiles(s)) s->Process(&m_Image, m_In.U8() & 1);
        break;
      }
      case 13: Draw(AnyShape()); break;
      case 14: SetWorld(); break;
      case 15:
        if (EShape* s = AnyShape()) s->Rescale(m_In.F32(), m_In.U8() & 1);
        break;
      case 16: SaveAndLoad(AnyShape()); break;
      case 17: {
        EShape* s = AnyShape();
        if (s == nullptr) break;
        const int x = m_In.I32() % 100000, y = m_In.I32() % 100000;
        s->SetCursor(x, y);
        s->HitTest(1);
        s->Drag(m_In.I32() % 100000, m_In.I32() % 100000);
        s->Closest();
        break;
      }
      case 18: {
        EShape* s = AnyShape();
        if (s == nullptr) break;
        int x0, y0, x1, y1;
        const EPoint p = Point();
        s->LocalToDisplay(p, x0, y0);
        s->DisplayToLocal(x0, y0);
        s->SensorToLocal(s->LocalToSensor(p));
        s->LocalToDisplay(ECircle(p, m_In.F32(), 0, 1), x0, y0, x1, y1);
        s->SetActive(m_In.U8() & 1, 1);
        s->SetName(m_In.U8() & 1 ? "a" : nullptr);
        s->GetShapeNamed("a");
        break;
      }
      default: {
        EShape* s = AnyShape();
        FillImage();
        if (auto* r = dynamic_cast<ERectangleShape*>(s)) r->SetupMask(&m_Image);
        if (auto* w = dynamic_cast<EWedgeShape*>(s)) w->SetupMask(&m_Image);
        break;
      }
    }
  }

  void CheckState() {
    std::vector<EShape*> all;
    Collect(&VimoWorld, all, 0);
    Collect(m_World.get(), all, 0);
    for (auto& s : m_Pool) Collect(s.get(), all, 0);
    for (EShape* s : all) s->CheckInvariants();
    const E_ERRORS code = EGetError();
    if (std::strcmp(EGetErrorText(code), "Unknown error") == 0) std::abort();
    EOk();
  }

  ByteReader& m_In;
  std::vector<std::unique_ptr<EShape>> m_Pool;
  std::unique_ptr<EWorldShape> m_World;
  EImage<EBW8> m_Image;
  EImage<EC24> m_Canvas;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  EOk();
  ByteReader in(data, size);
  {
    Session session(in);
    session.Run();
  }
  EOk();
  return 0;
}
