// The text dump of a shape tree.
#include <cinttypes>
#include <cstdio>

#include "vimo/calibration/worldshape.h"
#include "vimo/shapes/circleshape.h"
#include "vimo/shapes/frameshape.h"
#include "vimo/shapes/lineshape.h"
#include "vimo/shapes/rectangleshape.h"
#include "vimo/shapes/wedgeshape.h"

unsigned EShape::m_un32DumpDepth = 0;

namespace {

const char* ClassName(unsigned type) {
  switch (type) {
    case 0x1: return "No shape !";
    case 0x4: return "EPointShape";
    case 0x8: return "ELineShape";
    case 0x10: return "ECircleShape";
    case 0x20: return "EWedgeShape";
    case 0x40: return "ERectangleShape";
    case 0x80: return "EFrameShape";
    case 0x100: return "EWorldShape";
    case 0x200: return "EPointGauge";
    case 0x400: return "ELineGauge";
    case 0x800: return "ECircleGauge";
    case 0x1000: return "ERectangleGauge";
    case 0x2000: return "EBGABall";
    case 0x4000: return "EBGAArray";
    case 0x8000: return "EBGAComponent";
    case 0x10000: return "EBGA";
    case 0x20000: return "EWedgeGauge";
    default: return nullptr;
  }
}

void Tabs(FILE* out, unsigned depth) {
  for (unsigned i = 0; i < depth; ++i) std::fputc('\t', out);
}

// The identity of a shape: its address, in upper-case hexadecimal, whole on every platform.
void Identity(FILE* out, const EShape* shape) {
  std::fprintf(out, "%" PRIXPTR, reinterpret_cast<uintptr_t>(shape));
}

void CalibrationWords(FILE* out, const EWorld& world) {
  static const struct {
    unsigned bit;
    const char* word;
  } kWords[] = {{0x1, " raw"},         {0x2, " inverse"},     {0x4, " scaled"},
                {0x8, " anisotropic"}, {0x10, " skewed"},     {0x20, " tilted"},
                {0x40, " radial"},     {0x80, " radial2"},    {0x100, " bilinear"},
                {0x200, " quadratic"}, {0x800, " polynomial"}};
  const unsigned modes = world.GetCalibrationModes();
  std::fputs(", Calibration modes:", out);
  bool any = false;
  for (const auto& w : kWords) {
    if (modes & w.bit) {
      std::fputs(w.word, out);
      any = true;
    }
  }
  if (!any) std::fputs(" -", out);
  std::fputc('\n', out);
  if (!(modes & (E_CALIBRATION_QUADRATIC | E_CALIBRATION_BILINEAR))) return;
  EWorld& model = const_cast<EWorld&>(world);
  model.Validate();
  const EWorldCoefficients& k = world.GetCoefficients();
  const double a11 = k.a11, a12 = k.a12, a21 = k.a21, a22 = k.a22, tx = k.tx, ty = k.ty;
  const double b11 = k.b11, b12 = k.b12, b21 = k.b21, b22 = k.b22, cx = k.cx, cy = k.cy;
  if (modes & E_CALIBRATION_QUADRATIC) {
    std::fputs("World to sensor:\n", out);
    std::fprintf(out, "  X = %f xx + %f xy + %f yy + %f x + %f y + %f\n", double(k.e[0]),
                 double(k.e[1]), double(k.e[2]), a11, a12, tx);
    std::fprintf(out, "  Y = %f xx + %f xy + %f yy + %f x + %f y + %f\n", double(k.e[3]),
                 double(k.e[4]), double(k.e[5]), a21, a22, ty);
    std::fputs("Sensor to world:\n", out);
    std::fprintf(out, "  x = %f XX + %f XY + %f YY + %f X + %f Y + %f\n", double(k.f[0]),
                 double(k.f[1]), double(k.f[2]), b11, b12, cx);
    std::fprintf(out, "  y = %f XX + %f XY + %f YY + %f X + %f Y + %f\n", double(k.f[3]),
                 double(k.f[4]), double(k.f[5]), b21, b22, cy);
  } else {
    std::fputs("World to sensor:\n", out);
    std::fprintf(out, "  X = %f xy + %f x + %f y + %f\n", double(k.e[1]), a11, a12, tx);
    std::fprintf(out, "  Y = %f xy + %f x + %f y + %f\n", double(k.e[4]), a21, a22, ty);
    std::fputs("Sensor to world:\n", out);
    std::fprintf(out, "  x = %f XY + %f X + %f Y + %f\n", double(k.f[1]), b11, b12, cx);
    std::fprintf(out, "  y = %f XY + %f X + %f Y + %f\n", double(k.f[4]), b21, b22, cy);
  }
}

}  // namespace

void EShape::Dump(int daughters) { Dump(stdout, daughters); }

void EShape::Dump(FILE* out, int daughters) {
  if (out == nullptr) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("EShape::Dump");
    return;
  }
  const unsigned depth = ++m_un32DumpDepth;
  Tabs(out, depth);
  const unsigned type = GetType();
  const char* name = ClassName(type);
  if (name == nullptr) {
    --m_un32DumpDepth;
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("EShape::Dump");
    return;
  }
  std::fputs(name, out);
  char label[kShapeLabelSize];
  if (m_pszName != nullptr) std::fprintf(out, " ( \"%s\")", LabelName(label, sizeof label));
  std::fputc(' ', out);
  Identity(out, this);
  if (m_pMother == nullptr) {
    std::fputs(" ( orphan)", out);
  } else {
    std::fputs(" son of ", out);
    Identity(out, m_pMother);
    if (m_pMother->m_pszName != nullptr)
      std::fprintf(out, " ( \"%s\")", m_pMother->LabelName(label, sizeof label));
  }
  std::fputc('\n', out);

  Tabs(out, depth);
  const EFrame* frame = CastToFrame();
  std::fprintf(out, "+ Center: ( %.2f, %.2f), Angle: %.2f, Scale: %.2f",
               double(frame->GetCenterX()), double(frame->GetCenterY()), double(frame->GetAngle()),
               double(frame->GetScale()));
  switch (type) {
    case INS_SHAPE_TYPE_LINE_SHAPE:
      if (const ELineShape* l = dynamic_cast<const ELineShape*>(this))
        std::fprintf(out, ", Length: %.2f", double(l->GetLength()));
      break;
    case INS_SHAPE_TYPE_RECTANGLE_SHAPE:
      if (const ERectangleShape* r = dynamic_cast<const ERectangleShape*>(this))
        std::fprintf(out, ", Size: ( %.2f, %.2f)", double(r->GetSizeX()), double(r->GetSizeY()));
      break;
    case INS_SHAPE_TYPE_CIRCLE_SHAPE:
      if (const ECircleShape* c = dynamic_cast<const ECircleShape*>(this))
        std::fprintf(out, ", Radius: %.2f, Amplitude: %.2f", double(c->GetRadius()),
                     double(c->GetAmplitude()));
      break;
    case INS_SHAPE_TYPE_WEDGE_SHAPE:
      if (const EWedgeShape* w = dynamic_cast<const EWedgeShape*>(this))
        std::fprintf(out, ", Inner Diameter: %.2f, Outer Diameter: %.2f, Amplitude: %.2f",
                     double(w->GetInnerDiameter()), double(w->GetOuterDiameter()),
                     double(w->GetAmplitude()));
      break;
    case INS_SHAPE_TYPE_FRAME_SHAPE:
      if (const EFrameShape* f = dynamic_cast<const EFrameShape*>(this))
        std::fprintf(out, ", Size: ( %.2f, %.2f)", double(f->GetSizeX()), double(f->GetSizeY()));
      break;
    case INS_SHAPE_TYPE_WORLD_SHAPE:
      if (const EWorldShape* w = dynamic_cast<const EWorldShape*>(this)) CalibrationWords(out, *w);
      break;
    default: break;
  }
  std::fputc('\n', out);

  // The subtree: each slot in order, an empty one as "NULL". Without daughters nothing is
  // listed, so that no present daughter is ever reported as an empty slot.
  const unsigned count = daughters ? GetSlotCount() : 0;
  for (unsigned i = 0; i < count; ++i) {
    if (m_ppDaughter[i] != nullptr) {
      m_ppDaughter[i]->Dump(out, 1);
    } else {
      Tabs(out, depth + 1);
      std::fputs("NULL\n", out);
    }
  }
  --m_un32DumpDepth;
}
