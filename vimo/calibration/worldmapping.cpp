// Mapping families of the world model: coefficient computation (validation) and the
// branch-free per-point functions installed in the three mapping slots.
#include <cmath>
#include <cstring>

#include "vimo/calibration/unwarp_kernels.h"
#include "vimo/calibration/world.h"

// Whole rows of world points for the unwarping: the forward families written once over a lane
// type (a float or a vector of floats) with the same operations in the same order as the
// point-by-point functions below, so that every lane gives the same bits.
namespace {

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#define VIMO_ROW_VECTORS 1
#define VIMO_AVX2 __attribute__((target("avx2")))
typedef float Lanes4 __attribute__((vector_size(16)));
typedef float Lanes8 __attribute__((vector_size(32)));
#endif

#define VIMO_LANES inline __attribute__((always_inline))

// y in every lane (y - 0 is y for every y, signed zeros and NaN included).
template <class V>
VIMO_LANES void Splat(float y, V& lanes) {
  lanes = y - V{};
}

typedef EWorldCoefficients Coefficients;

struct RowRaw {
  template <class V>
  static VIMO_LANES void Map(const Coefficients&, const V& x, float y, V& X, V& Y) {
    X = x;
    Splat<V>(y, Y);
  }
};
struct RowInverse {
  template <class V>
  static VIMO_LANES void Map(const Coefficients& k, const V& x, float y, V& X, V& Y) {
    X = x + k.tx;
    Splat<V>(y + k.ty, Y);
  }
};
struct RowPlain {
  template <class V>
  static VIMO_LANES void Map(const Coefficients& k, const V& x, float y, V& X, V& Y) {
    X = x + k.tx;
    Splat<V>(k.ty - y, Y);
  }
};
struct RowScaled {
  template <class V>
  static VIMO_LANES void Map(const Coefficients& k, const V& x, float y, V& X, V& Y) {
    X = k.a11 * x + k.tx;
    Splat<V>(k.a22 * y + k.ty, Y);
  }
};
struct RowSkewed {
  template <class V>
  static VIMO_LANES void Map(const Coefficients& k, const V& x, float y, V& X, V& Y) {
    X = k.a11 * x + k.a12 * y + k.tx;
    Y = k.a21 * x + k.a22 * y + k.ty;
  }
};
struct RowTilted {
  template <class V>
  static VIMO_LANES void Map(const Coefficients& k, const V& x, float y, V& X, V& Y) {
    const V r = 1.0f / (1.0f + k.p1 * x + k.p2 * y);
    X = (k.a11 * x + k.a12 * y + k.tx) * r;
    Y = (k.a21 * x + k.a22 * y + k.ty) * r;
  }
};
struct RowQuadratic {
  template <class V>
  static VIMO_LANES void Map(const Coefficients& k, const V& x, float y, V& X, V& Y) {
    const V xx = x * x, xy = x * y;
    const float yy = y * y;
    X = k.e[0] * xx + k.e[1] * xy + k.e[2] * yy + k.a11 * x + k.a12 * y + k.tx;
    Y = k.e[3] * xx + k.e[4] * xy + k.e[5] * yy + k.a21 * x + k.a22 * y + k.ty;
  }
};
struct RowBilinear {
  template <class V>
  static VIMO_LANES void Map(const Coefficients& k, const V& x, float y, V& X, V& Y) {
    const V xy = x * y;
    X = k.e[1] * xy + k.a11 * x + k.a12 * y + k.tx;
    Y = k.e[4] * xy + k.a21 * x + k.a22 * y + k.ty;
  }
};
// Radial families: the ideal-frame form (u, v), then the distortion.
struct IdealRowTilted {
  template <class V>
  static VIMO_LANES void Map(const Coefficients& k, const V& x, float y, V& u, V& v) {
    const V r = 1.0f / (1.0f + k.p1 * x + k.p2 * y);
    u = (k.a11 * x + k.a12 * y + k.tx) * r;
    v = (k.a21 * x + k.a22 * y + k.ty) * r;
  }
};
struct IdealRowScaled {
  template <class V>
  static VIMO_LANES void Map(const Coefficients& k, const V& x, float y, V& u, V& v) {
    u = k.a11 * x + k.tx;
    Splat<V>(k.a22 * y + k.ty, v);
  }
};
struct IdealRowPlain {
  template <class V>
  static VIMO_LANES void Map(const Coefficients& k, const V& x, float y, V& u, V& v) {
    u = x + k.tx;
    Splat<V>(k.ySign * y + k.ty, v);
  }
};
template <class Ideal>
struct RowRadial {
  template <class V>
  static VIMO_LANES void Map(const Coefficients& k, const V& x, float y, V& X, V& Y) {
    V u, v;
    Ideal::Map(k, x, y, u, v);
    const V f = 1.0f + k.k * (u * u + v * v);
    X = k.ox + f * u;
    Y = k.oy + k.rho * f * v;
  }
};

typedef void (*RowFunction)(const Coefficients& k, const float* x, float y, int count, float* X,
                            float* Y);

#if defined(VIMO_ROW_VECTORS)
template <class Family, class V>
VIMO_LANES void MapLanes(const Coefficients& k, const float* x, float y, int& i, int count,
                         float* X, float* Y) {
  for (; i + static_cast<int>(sizeof(V) / sizeof(float)) <= count;
       i += static_cast<int>(sizeof(V) / sizeof(float))) {
    V lanesX, lanesY, lanes;
    std::memcpy(&lanes, x + i, sizeof(V));
    Family::Map(k, lanes, y, lanesX, lanesY);
    std::memcpy(X + i, &lanesX, sizeof(V));
    std::memcpy(Y + i, &lanesY, sizeof(V));
  }
}

template <class Family>
VIMO_AVX2 void MapRowAvx2(const Coefficients& k, const float* x, float y, int count, float* X,
                          float* Y) {
  int i = 0;
  MapLanes<Family, Lanes8>(k, x, y, i, count, X, Y);
  for (; i < count; ++i) Family::Map(k, x[i], y, X[i], Y[i]);
}

template <class Family>
void MapRowSse2(const Coefficients& k, const float* x, float y, int count, float* X, float* Y) {
  int i = 0;
  MapLanes<Family, Lanes4>(k, x, y, i, count, X, Y);
  for (; i < count; ++i) Family::Map(k, x[i], y, X[i], Y[i]);
}

template <class Family>
RowFunction RowsOf(vimo_unwarp::Isa isa) {
  if (isa >= vimo_unwarp::kIsaAvx2) return &MapRowAvx2<Family>;
  if (isa >= vimo_unwarp::kIsaSse2) return &MapRowSse2<Family>;
  return nullptr;
}
#else
template <class Family>
RowFunction RowsOf(vimo_unwarp::Isa) {
  return nullptr;
}
#endif

}  // namespace

struct EWorldMapping {
  typedef EWorldCoefficients C;
  static const C& Coef(const EWorld& w) { return w.m_Coef; }

  // First-use entries: validate, then call through the freshly installed slot.
  static EPoint FirstWorldToSensor(const EWorld& w, EPoint p) {
    w.ValidateModel();
    return w.m_pWorldToSensor(w, p);
  }
  static EPoint FirstWorldToSensorD(const EWorld& w, EPoint p, float& a, float& b, float& c,
                                    float& d) {
    w.ValidateModel();
    return w.m_pWorldToSensorD(w, p, a, b, c, d);
  }
  static EPoint FirstSensorToWorld(const EWorld& w, EPoint p) {
    w.ValidateModel();
    return w.m_pSensorToWorld(w, p);
  }

  // Caller-supplied functions.
  static EPoint UserWorldToSensor(const EWorld& w, EPoint p) {
    float X = 0, Y = 0;
    w.m_pUserWorldToSensor(p.GetX(), p.GetY(), X, Y);
    return EPoint(X, Y);
  }
  static EPoint UserWorldToSensorD(const EWorld& w, EPoint p, float& a, float& b, float& c,
                                   float& d) {
    float X = 0, Y = 0;
    w.m_pUserWorldToSensorD(p.GetX(), p.GetY(), X, Y, a, b, c, d);
    return EPoint(X, Y);
  }
  static EPoint UserSensorToWorld(const EWorld& w, EPoint p) {
    float x = 0, y = 0;
    w.m_pUserSensorToWorld(p.GetX(), p.GetY(), x, y);
    return EPoint(x, y);
  }

  // Raw: identity.
  static EPoint RawW2S(const EWorld&, EPoint p) { return p; }
  static EPoint RawW2SD(const EWorld&, EPoint p, float& a, float& b, float& c, float& d) {
    a = 1, b = 0, c = 0, d = 1;
    return p;
  }

  // Inverse only: translation, Y pointing down as on the sensor.
  static EPoint InvW2S(const EWorld& w, EPoint p) {
    const C& k = Coef(w);
    return EPoint(p.GetX() + k.tx, p.GetY() + k.ty);
  }
  static EPoint InvW2SD(const EWorld& w, EPoint p, float& a, float& b, float& c, float& d) {
    a = 1, b = 0, c = 0, d = 1;
    return InvW2S(w, p);
  }
  static EPoint InvS2W(const EWorld& w, EPoint p) {
    const C& k = Coef(w);
    return EPoint(p.GetX() - k.tx, p.GetY() - k.ty);
  }

  // Plain: translation, world Y axis flipped.
  static EPoint PlainW2S(const EWorld& w, EPoint p) {
    const C& k = Coef(w);
    return EPoint(p.GetX() + k.tx, k.ty - p.GetY());
  }
  static EPoint PlainW2SD(const EWorld& w, EPoint p, float& a, float& b, float& c, float& d) {
    a = 1, b = 0, c = 0, d = -1;
    return PlainW2S(w, p);
  }
  static EPoint PlainS2W(const EWorld& w, EPoint p) {
    const C& k = Coef(w);
    return EPoint(p.GetX() - k.tx, k.ty - p.GetY());
  }

  // Scaled: diagonal linear part.
  static EPoint ScaledW2S(const EWorld& w, EPoint p) {
    const C& k = Coef(w);
    return EPoint(k.a11 * p.GetX() + k.tx, k.a22 * p.GetY() + k.ty);
  }
  static EPoint ScaledW2SD(const EWorld& w, EPoint p, float& a, float& b, float& c, float& d) {
    const C& k = Coef(w);
    a = k.a11, b = 0, c = 0, d = k.a22;
    return ScaledW2S(w, p);
  }
  static EPoint ScaledS2W(const EWorld& w, EPoint p) {
    const C& k = Coef(w);
    return EPoint(k.b11 * p.GetX() + k.cx, k.b22 * p.GetY() + k.cy);
  }

  // Skewed: full affine map.
  static EPoint SkewedW2S(const EWorld& w, EPoint p) {
    const C& k = Coef(w);
    const float x = p.GetX(), y = p.GetY();
    return EPoint(k.a11 * x + k.a12 * y + k.tx, k.a21 * x + k.a22 * y + k.ty);
  }
  static EPoint SkewedW2SD(const EWorld& w, EPoint p, float& a, float& b, float& c, float& d) {
    const C& k = Coef(w);
    a = k.a11, b = k.a12, c = k.a21, d = k.a22;
    return SkewedW2S(w, p);
  }
  static EPoint SkewedS2W(const EWorld& w, EPoint p) {
    const C& k = Coef(w);
    const float X = p.GetX(), Y = p.GetY();
    return EPoint(k.b11 * X + k.b12 * Y + k.cx, k.b21 * X + k.b22 * Y + k.cy);
  }

  // Tilted: homography.
  static EPoint TiltedW2S(const EWorld& w, EPoint p) {
    const C& k = Coef(w);
    const float x = p.GetX(), y = p.GetY();
    const float r = 1.0f / (1.0f + k.p1 * x + k.p2 * y);
    return EPoint((k.a11 * x + k.a12 * y + k.tx) * r, (k.a21 * x + k.a22 * y + k.ty) * r);
  }
  static EPoint TiltedW2SD(const EWorld& w, EPoint p, float& a, float& b, float& c, float& d) {
    const C& k = Coef(w);
    const float x = p.GetX(), y = p.GetY();
    const float r = 1.0f / (1.0f + k.p1 * x + k.p2 * y);
    const float X = (k.a11 * x + k.a12 * y + k.tx) * r, Y = (k.a21 * x + k.a22 * y + k.ty) * r;
    a = (k.a11 - X * k.p1) * r, b = (k.a12 - X * k.p2) * r;
    c = (k.a21 - Y * k.p1) * r, d = (k.a22 - Y * k.p2) * r;
    return EPoint(X, Y);
  }
  static EPoint TiltedS2W(const EWorld& w, EPoint p) {
    const C& k = Coef(w);
    const float X = p.GetX(), Y = p.GetY();
    const float r = 1.0f / (1.0f + k.q1 * X + k.q2 * Y);
    return EPoint((k.b11 * X + k.b12 * Y + k.cx) * r, (k.b21 * X + k.b22 * Y + k.cy) * r);
  }

  // Quadratic polynomials in both directions.
  static EPoint QuadW2S(const EWorld& w, EPoint p) {
    const C& k = Coef(w);
    const float x = p.GetX(), y = p.GetY();
    const float xx = x * x, xy = x * y, yy = y * y;
    return EPoint(k.e[0] * xx + k.e[1] * xy + k.e[2] * yy + k.a11 * x + k.a12 * y + k.tx,
                  k.e[3] * xx + k.e[4] * xy + k.e[5] * yy + k.a21 * x + k.a22 * y + k.ty);
  }
  static EPoint QuadW2SD(const EWorld& w, EPoint p, float& a, float& b, float& c, float& d) {
    const C& k = Coef(w);
    const float x = p.GetX(), y = p.GetY();
    a = 2 * k.e[0] * x + k.e[1] * y + k.a11;
    b = k.e[1] * x + 2 * k.e[2] * y + k.a12;
    c = 2 * k.e[3] * x + k.e[4] * y + k.a21;
    d = k.e[4] * x + 2 * k.e[5] * y + k.a22;
    return QuadW2S(w, p);
  }
  static EPoint QuadS2W(const EWorld& w, EPoint p) {
    const C& k = Coef(w);
    const float X = p.GetX(), Y = p.GetY();
    const float XX = X * X, XY = X * Y, YY = Y * Y;
    return EPoint(k.f[0] * XX + k.f[1] * XY + k.f[2] * YY + k.b11 * X + k.b12 * Y + k.cx,
                  k.f[3] * XX + k.f[4] * XY + k.f[5] * YY + k.b21 * X + k.b22 * Y + k.cy);
  }

  // Bilinear polynomials: only the cross terms.
  static EPoint BilW2S(const EWorld& w, EPoint p) {
    const C& k = Coef(w);
    const float x = p.GetX(), y = p.GetY(), xy = x * y;
    return EPoint(k.e[1] * xy + k.a11 * x + k.a12 * y + k.tx,
                  k.e[4] * xy + k.a21 * x + k.a22 * y + k.ty);
  }
  static EPoint BilW2SD(const EWorld& w, EPoint p, float& a, float& b, float& c, float& d) {
    const C& k = Coef(w);
    const float x = p.GetX(), y = p.GetY();
    a = k.e[1] * y + k.a11, b = k.e[1] * x + k.a12;
    c = k.e[4] * y + k.a21, d = k.e[4] * x + k.a22;
    return BilW2S(w, p);
  }
  static EPoint BilS2W(const EWorld& w, EPoint p) {
    const C& k = Coef(w);
    const float X = p.GetX(), Y = p.GetY(), XY = X * Y;
    return EPoint(k.f[1] * XY + k.b11 * X + k.b12 * Y + k.cx,
                  k.f[4] * XY + k.b21 * X + k.b22 * Y + k.cy);
  }

  // Radial families: an ideal-frame form (u, v), then the distortion about the optical centre
  // with the ratio applied afterwards. Each Ideal* computes (u, v) and its Jacobian; each
  // Undo* maps ideal coordinates back to the world.
  struct Ideal {
    float u, v, a, b, c, d;
  };
  static Ideal IdealTilted(const C& k, float x, float y) {
    const float r = 1.0f / (1.0f + k.p1 * x + k.p2 * y);
    const float u = (k.a11 * x + k.a12 * y + k.tx) * r, v = (k.a21 * x + k.a22 * y + k.ty) * r;
    return {u,
            v,
            (k.a11 - u * k.p1) * r,
            (k.a12 - u * k.p2) * r,
            (k.a21 - v * k.p1) * r,
            (k.a22 - v * k.p2) * r};
  }
  static Ideal IdealSkewed(const C& k, float x, float y) {
    return {k.a11 * x + k.a12 * y + k.tx, k.a21 * x + k.a22 * y + k.ty, k.a11, k.a12, k.a21, k.a22};
  }
  static Ideal IdealScaled(const C& k, float x, float y) {
    return {k.a11 * x + k.tx, k.a22 * y + k.ty, k.a11, 0, 0, k.a22};
  }
  static Ideal IdealPlain(const C& k, float x, float y) {
    return {x + k.tx, k.ySign * y + k.ty, 1, 0, 0, k.ySign};
  }
  static EPoint UndoTilted(const C& k, float u, float v) {
    const float r = 1.0f / (1.0f + k.q1 * u + k.q2 * v);
    return EPoint((k.b11 * u + k.b12 * v + k.cx) * r, (k.b21 * u + k.b22 * v + k.cy) * r);
  }
  static EPoint UndoSkewed(const C& k, float u, float v) {
    return EPoint(k.b11 * u + k.b12 * v + k.cx, k.b21 * u + k.b22 * v + k.cy);
  }
  static EPoint UndoScaled(const C& k, float u, float v) {
    return EPoint(k.b11 * u + k.cx, k.b22 * v + k.cy);
  }
  static EPoint UndoPlain(const C& k, float u, float v) {
    return EPoint(u - k.tx, k.ySign * (v - k.ty));
  }

  template <Ideal (*F)(const C&, float, float)>
  static EPoint RadialW2S(const EWorld& w, EPoint p) {
    const C& k = Coef(w);
    const Ideal i = F(k, p.GetX(), p.GetY());
    const float f = 1.0f + k.k * (i.u * i.u + i.v * i.v);
    return EPoint(k.ox + f * i.u, k.oy + k.rho * f * i.v);
  }
  template <Ideal (*F)(const C&, float, float)>
  static EPoint RadialW2SD(const EWorld& w, EPoint p, float& a, float& b, float& c, float& d) {
    const C& k = Coef(w);
    const Ideal i = F(k, p.GetX(), p.GetY());
    const float f = 1.0f + k.k * (i.u * i.u + i.v * i.v);
    // Jacobian of the distortion, then of the ideal form.
    const float duu = f + 2 * k.k * i.u * i.u, duv = 2 * k.k * i.u * i.v;
    const float dvv = f + 2 * k.k * i.v * i.v;
    a = duu * i.a + duv * i.c;
    b = duu * i.b + duv * i.d;
    c = k.rho * (duv * i.a + dvv * i.c);
    d = k.rho * (duv * i.b + dvv * i.d);
    return EPoint(k.ox + f * i.u, k.oy + k.rho * f * i.v);
  }
  template <EPoint (*U)(const C&, float, float)>
  static EPoint RadialS2W(const EWorld& w, EPoint p) {
    const C& k = Coef(w);
    const float dX = p.GetX() - k.ox, dY = (p.GetY() - k.oy) * k.invRho;
    const float g = 1.0f - k.k * (dX * dX + dY * dY);
    return U(k, g * dX, g * dY);
  }

  // The row form of the installed forward function; none for caller-supplied functions.
  static RowFunction RowsOfInstalled(const EWorld& w, vimo_unwarp::Isa isa) {
    const EWorld::MapFunction f = w.m_pWorldToSensor;
    if (f == &QuadW2S) return RowsOf<RowQuadratic>(isa);
    if (f == &BilW2S) return RowsOf<RowBilinear>(isa);
    if (f == &RadialW2S<&IdealTilted>) return RowsOf<RowRadial<IdealRowTilted>>(isa);
    if (f == &RadialW2S<&IdealSkewed>) return RowsOf<RowRadial<RowSkewed>>(isa);
    if (f == &RadialW2S<&IdealScaled>) return RowsOf<RowRadial<IdealRowScaled>>(isa);
    if (f == &RadialW2S<&IdealPlain>) return RowsOf<RowRadial<IdealRowPlain>>(isa);
    if (f == &TiltedW2S) return RowsOf<RowTilted>(isa);
    if (f == &SkewedW2S) return RowsOf<RowSkewed>(isa);
    if (f == &ScaledW2S) return RowsOf<RowScaled>(isa);
    if (f == &RawW2S) return RowsOf<RowRaw>(isa);
    if (f == &InvW2S) return RowsOf<RowInverse>(isa);
    if (f == &PlainW2S) return RowsOf<RowPlain>(isa);
    return nullptr;
  }

  static void MapRow(const EWorld& w, const float* x, float y, int count, float* X, float* Y) {
    int i = 0;
    // The first point validates the model where that is still to be done, as it would point by
    // point, and installs the family.
    if (count > 0 && w.m_pWorldToSensor == &FirstWorldToSensor) {
      const EPoint p = w.m_pWorldToSensor(w, EPoint(x[0], y));
      X[0] = p.GetX(), Y[0] = p.GetY();
      i = 1;
    }
    if (RowFunction rows = RowsOfInstalled(w, vimo_unwarp::ActiveIsa())) {
      rows(Coef(w), x + i, y, count - i, X + i, Y + i);
      return;
    }
    for (; i < count; ++i) {
      const EPoint p = w.m_pWorldToSensor(w, EPoint(x[i], y));
      X[i] = p.GetX(), Y[i] = p.GetY();
    }
  }
};

void vimo_unwarp::MapWorldRow(const void* world, const float* x, float y, int count, float* X,
                              float* Y) {
  EWorldMapping::MapRow(*static_cast<const EWorld*>(world), x, y, count, X, Y);
}

namespace {

inline bool Has(unsigned int modes, unsigned int bits) { return (modes & bits) != 0; }

}  // namespace

void EWorld::Invalidate() {
  m_pWorldToSensor = &EWorldMapping::FirstWorldToSensor;
  m_pWorldToSensorD = &EWorldMapping::FirstWorldToSensorD;
  m_pSensorToWorld = &EWorldMapping::FirstSensorToWorld;
}

void EWorld::Validate() { ValidateModel(); }

void EWorld::ValidateModel() const {
  typedef EWorldMapping M;
  const unsigned int m = m_un32CalibrationModes;
  EWorldCoefficients& c = m_Coef;
  // Only the fitted polynomials keep their coefficients: "polynomial" alone is a name and
  // must not freeze a physical model at whatever coefficients it last had.
  const bool polynomial = Has(m, E_CALIBRATION_BILINEAR | E_CALIBRATION_QUADRATIC);
  const bool radial = Has(m, E_CALIBRATION_RADIAL);
  const bool tilted = Has(m, E_CALIBRATION_TILTED);
  const bool skewed = Has(m, E_CALIBRATION_SKEWED);
  const bool scaled = Has(m, E_CALIBRATION_SCALED);
  const double theta = AngleRadians();
  const double s = GetScale(), rho = m_f32Ratio;
  const double ox = m_f32OpticalCenterX, oy = m_f32OpticalCenterY;
  const double P = m_f32PerspectiveStrength;
  const double alpha = m_f32TiltXAngle, beta = m_f32TiltYAngle;

  // Part 1: the forward coefficients from the parameters.
  c.ox = m_f32OpticalCenterX;
  c.oy = m_f32OpticalCenterY;
  c.k = m_f32DistortionStrength;
  c.rho = m_f32Ratio;
  c.ySign = Has(m, E_CALIBRATION_INVERSE) ? 1.0f : -1.0f;
  // The radial families divide by the ratio on the way back, whatever the linear part.
  if (radial) {
    if (rho != 0)
      c.invRho = static_cast<float>(1.0 / rho);
    else
      ESetError(E_ERROR_SINGULAR_MATRIX);
  }
  if (Has(m, E_CALIBRATION_RAW)) {
    c.a11 = 1, c.a12 = 0, c.a21 = 0, c.a22 = 1, c.tx = 0, c.ty = 0, c.p1 = 0, c.p2 = 0;
    for (float& e : c.e) e = 0;
  } else if (!polynomial) {
    double r11 = 1, r12 = 0, r21 = 0, r22 = 1, r31 = 0, r32 = 0;
    if (tilted) {
      const double ca = std::cos(alpha), sa = std::sin(alpha);
      const double cb = std::cos(beta), sb = std::sin(beta);
      const double ct = std::cos(theta), st = std::sin(theta);
      r11 = cb * ct, r12 = -cb * st;
      r21 = sa * sb * ct + ca * st, r22 = ca * ct - sa * sb * st;
      r31 = sa * st - ca * sb * ct, r32 = ca * sb * st + sa * ct;
    } else if (skewed) {
      r11 = std::cos(theta), r12 = -std::sin(theta), r21 = -r12, r22 = r11;
    }
    double a11 = 1, a12 = 0, a21 = 0, a22 = 1, p1 = 0, p2 = 0, tx, ty;
    if (!radial) {
      tx = GetCenterX(), ty = GetCenterY();
      if (tilted) {
        a11 = P * ox * r31 + s * r11, a12 = P * ox * r32 + s * r12;
        a21 = P * oy * r31 + rho * s * r21, a22 = P * oy * r32 + rho * s * r22;
        p1 = P * r31, p2 = P * r32;
      } else if (skewed) {
        a11 = s * r11, a12 = s * r12, a21 = rho * s * r21, a22 = rho * s * r22;
      } else if (scaled) {
        a11 = s, a22 = rho * s;
      } else {
        a22 = m == E_CALIBRATION_INVERSE ? 1 : -1;
      }
    } else {
      const double dx = GetCenterX() - ox, dy = (GetCenterY() - oy) * c.invRho;
      const double g = 1.0 - c.k * (dx * dx + dy * dy);
      tx = g * dx, ty = g * dy;
      if (tilted) {
        a11 = s * r11, a12 = s * r12, a21 = s * r21, a22 = s * r22;
        p1 = P * r31, p2 = P * r32;
      } else if (skewed) {
        a11 = s * r11, a12 = s * r12, a21 = s * r21, a22 = s * r22;
      } else if (scaled) {
        a11 = s, a22 = s;
      }
    }
    c.a11 = static_cast<float>(a11), c.a12 = static_cast<float>(a12);
    c.a21 = static_cast<float>(a21), c.a22 = static_cast<float>(a22);
    c.tx = static_cast<float>(tx), c.ty = static_cast<float>(ty);
    c.p1 = static_cast<float>(p1), c.p2 = static_cast<float>(p2);
    for (float& e : c.e) e = 0;
  }

  // Part 2: the inverse coefficients (the polynomial families carry their own).
  if (!polynomial) {
    const double a11 = c.a11, a12 = c.a12, a21 = c.a21, a22 = c.a22, tx = c.tx, ty = c.ty;
    if (tilted || skewed) {
      const double p1 = tilted ? c.p1 : 0.0, p2 = tilted ? c.p2 : 0.0;
      const double D = a11 * a22 - a12 * a21;
      if (D == 0) {
        ESetError(E_ERROR_SINGULAR_MATRIX);
      } else {
        c.b11 = static_cast<float>((a22 - p2 * ty) / D);
        c.b12 = static_cast<float>((tx * p2 - a12) / D);
        c.b21 = static_cast<float>((ty * p1 - a21) / D);
        c.b22 = static_cast<float>((a11 - tx * p1) / D);
        c.cx = static_cast<float>((a12 * ty - a22 * tx) / D);
        c.cy = static_cast<float>((tx * a21 - ty * a11) / D);
        c.q1 = static_cast<float>((a21 * p2 - p1 * a22) / D);
        c.q2 = static_cast<float>((a12 * p1 - p2 * a11) / D);
      }
    } else if (a11 == 0 || a22 == 0) {
      ESetError(E_ERROR_SINGULAR_MATRIX);
    } else {
      c.b11 = static_cast<float>(1 / a11), c.b22 = static_cast<float>(1 / a22);
      c.b12 = 0, c.b21 = 0;
      c.cx = static_cast<float>(-tx / a11), c.cy = static_cast<float>(-ty / a22);
      c.q1 = 0, c.q2 = 0;
    }
    for (float& f : c.f) f = 0;
  }

  // Part 3: the family, in order of precedence.
  if (Has(m, E_CALIBRATION_QUADRATIC)) {
    m_pWorldToSensor = &M::QuadW2S, m_pWorldToSensorD = &M::QuadW2SD;
    m_pSensorToWorld = &M::QuadS2W;
  } else if (Has(m, E_CALIBRATION_BILINEAR)) {
    m_pWorldToSensor = &M::BilW2S, m_pWorldToSensorD = &M::BilW2SD;
    m_pSensorToWorld = &M::BilS2W;
  } else if (radial) {
    if (tilted) {
      m_pWorldToSensor = &M::RadialW2S<&M::IdealTilted>;
      m_pWorldToSensorD = &M::RadialW2SD<&M::IdealTilted>;
      m_pSensorToWorld = &M::RadialS2W<&M::UndoTilted>;
    } else if (skewed) {
      m_pWorldToSensor = &M::RadialW2S<&M::IdealSkewed>;
      m_pWorldToSensorD = &M::RadialW2SD<&M::IdealSkewed>;
      m_pSensorToWorld = &M::RadialS2W<&M::UndoSkewed>;
    } else if (scaled) {
      m_pWorldToSensor = &M::RadialW2S<&M::IdealScaled>;
      m_pWorldToSensorD = &M::RadialW2SD<&M::IdealScaled>;
      m_pSensorToWorld = &M::RadialS2W<&M::UndoScaled>;
    } else {
      m_pWorldToSensor = &M::RadialW2S<&M::IdealPlain>;
      m_pWorldToSensorD = &M::RadialW2SD<&M::IdealPlain>;
      m_pSensorToWorld = &M::RadialS2W<&M::UndoPlain>;
    }
  } else if (tilted) {
    m_pWorldToSensor = &M::TiltedW2S, m_pWorldToSensorD = &M::TiltedW2SD;
    m_pSensorToWorld = &M::TiltedS2W;
  } else if (skewed) {
    m_pWorldToSensor = &M::SkewedW2S, m_pWorldToSensorD = &M::SkewedW2SD;
    m_pSensorToWorld = &M::SkewedS2W;
  } else if (scaled) {
    m_pWorldToSensor = &M::ScaledW2S, m_pWorldToSensorD = &M::ScaledW2SD;
    m_pSensorToWorld = &M::ScaledS2W;
  } else if (Has(m, E_CALIBRATION_RAW)) {
    m_pWorldToSensor = &M::RawW2S, m_pWorldToSensorD = &M::RawW2SD;
    m_pSensorToWorld = &M::RawW2S;
  } else if (m == E_CALIBRATION_INVERSE) {
    m_pWorldToSensor = &M::InvW2S, m_pWorldToSensorD = &M::InvW2SD;
    m_pSensorToWorld = &M::InvS2W;
  } else {
    m_pWorldToSensor = &M::PlainW2S, m_pWorldToSensorD = &M::PlainW2SD;
    m_pSensorToWorld = &M::PlainS2W;
  }
}

bool EWorld::IsIdentityMapping() const {
  return m_pWorldToSensor == &EWorldMapping::RawW2S && m_pSensorToWorld == &EWorldMapping::RawW2S;
}

void EWorld::InstallUserFunctions() {
  m_pWorldToSensor = &EWorldMapping::UserWorldToSensor;
  m_pWorldToSensorD = &EWorldMapping::UserWorldToSensorD;
  m_pSensorToWorld = &EWorldMapping::UserSensorToWorld;
}
