#include "vimo/geometry/frame.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "vimo/geometry/line.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;
constexpr double kFloatPi = static_cast<double>(static_cast<float>(kPi));

// The fit accumulator: normal matrix (6 x 6) and right-hand side of global = A local + b. The
// sums are kept in double precision: in single precision, pairs clustered far from the local
// origin lose the translation to rounding (a few units apart a thousand units out, the centre
// came out tens of units wrong) without any sign of trouble.
double g_FitMatrix[36];
double g_FitVector[6];

// Trailing ratio of the last version-1 frame record read.
float g_LoadedRatio = 1.0f;

constexpr double kFitPivotTolerance = 1e-6;

}  // namespace

namespace {

// The solver proper; returns false (with the error state set) when it stops. A pivot must exceed
// `tolerance` times its original diagonal entry (0: the plain positivity test).
template <class T>
bool Cholesky(T* matrix, unsigned int stride, T* vector, unsigned int n, T tolerance) {
  if (n == 0) return true;
  if (matrix == nullptr || vector == nullptr || stride < n) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("SolvePositiveDefinite");
    return false;
  }
  auto N = [matrix, stride](unsigned row, unsigned col) -> T& {
    return matrix[static_cast<size_t>(row) * stride + col];
  };
  T small[16];
  std::vector<T> large;
  T* pivot = small;
  if (n > 16) {
    large.resize(n);
    pivot = large.data();
  }
  for (unsigned k = 0; k < n; ++k) {
    for (unsigned i = k; i < n; ++i) {
      const T diagonal = N(k, i);
      T s = diagonal;
      for (unsigned j = 0; j < k; ++j) s -= N(j, k) * N(j, i);
      if (i == k) {
        // NaN counts as a failed pivot too.
        if (!(s > T(0)) || !(s > tolerance * diagonal)) {
          ESetError(E_ERROR_NOT_POSITIVE_DEFINITE);
          ETraceError("SolvePositiveDefinite");
          return false;
        }
        pivot[k] = std::sqrt(s);
      } else {
        N(k, i) = s / pivot[k];
      }
    }
  }
  for (unsigned i = 0; i < n; ++i) {
    T s = vector[i];
    for (unsigned j = 0; j < i; ++j) s -= N(j, i) * vector[j];
    vector[i] = s / pivot[i];
  }
  for (unsigned i = n; i-- > 0;) {
    T s = vector[i];
    for (unsigned j = i + 1; j < n; ++j) s -= N(i, j) * vector[j];
    vector[i] = s / pivot[i];
  }
  return true;
}

}  // namespace

EFrame::EFrame()
    : m_f32Angle(0.0f),
      m_f32Scale(1.0f),
      m_f32M11(1.0f),
      m_f32M12(0.0f),
      m_f32M21(0.0f),
      m_f32M22(1.0f),
      m_f32I11(1.0f),
      m_f32I12(0.0f),
      m_f32I21(0.0f),
      m_f32I22(1.0f),
      m_f32Tx(0.0f),
      m_f32Ty(0.0f),
      m_bFrameValid(false) {}

EFrame::EFrame(float centerX, float centerY, float angle, float scale) : EFrame() {
  Set(EPoint(centerX, centerY), angle, scale);
  m_bFrameValid = false;
}

EPoint* EFrame::CreatePointClone() { return new EFrame(*this); }

bool EFrame::StreamTransfer(FILE* stream, int mode, void* bytes, unsigned size) {
  if (mode != 0) {
    if (stream == nullptr || std::fwrite(bytes, 1, size, stream) != size) {
      ESetError(E_ERROR_WRITE_FAILED);
      return false;
    }
    return true;
  }
  unsigned char buffer[16];
  if (size > sizeof(buffer) || stream == nullptr || std::fread(buffer, 1, size, stream) != size) {
    ESetError(E_ERROR_READ_FAILED);
    return false;
  }
  std::memcpy(bytes, buffer, size);
  return true;
}

E_ERRORS EFrame::SerializeFrameRecord(FILE* stream, int mode, unsigned int version) {
  EFilePointerSerializer serializer(stream, mode);
  try {
    EFrame::Serialize(&serializer, version);
  } catch (const Quarnel::Vexlor::Exception& e) {
    ESetError(e.GetCode());
    ETraceError("EFrame::Serialize");
    return e.GetCode();
  }
  return E_OK;
}

void EFrame::Serialize(FILE* stream, int mode, unsigned int version) {
  SerializeFrameRecord(stream, mode, version);
}

void EFrame::Serialize(ESerializer* serializer, unsigned int version) {
  if (serializer == nullptr) throw Quarnel::Vexlor::Exception(E_ERROR_INVALID_PARAMETER);
  if (serializer->IsReading()) m_bFrameValid = false;
  uint8_t un8ShapeVersion = 2;
  serializer->Transfer(&un8ShapeVersion, 1, "un8ShapeVersion");
  if (serializer->IsReading() && un8ShapeVersion > 2)
    throw Quarnel::Vexlor::Exception(E_ERROR_VERSION_TOO_NEW);
  EPoint::Serialize(serializer, version);
  float value = m_f32Angle;
  serializer->Transfer(&value, 4, "m_f32Angle");
  m_f32Angle = value;
  value = m_f32Scale;
  serializer->Transfer(&value, 4, "m_f32Scale");
  m_f32Scale = value;
  if (serializer->IsReading() && un8ShapeVersion == 1) {
    float ratio = 1.0f;
    serializer->Transfer(&ratio, 4, "m_f32Ratio");
    g_LoadedRatio = ratio;
  }
}

EFrame* EFrame::CopyTo(EFrame* dest) const {
  if (dest == this) return dest;
  if (dest == nullptr) return new EFrame(*this);
  *dest = *this;
  return dest;
}

void EFrame::Set(const EPoint& center, float angle, float scale) {
  SetCenter(center);
  m_f32Angle = EToRadians(angle);
  m_f32Scale = scale;
}

void EFrame::SetAngle(float angle) { m_f32Angle = EToRadians(angle); }

float EFrame::GetAngle() const {
  double a = m_f32Angle;
  if (!std::isfinite(a)) return std::nanf("");
  // A far-off angle is first brought near the range so that the wrapping loops stay short.
  if (std::fabs(a) > 64.0 * kPi) a = std::remainder(a, kTwoPi);
  // The bounds are the stored (single-precision) half turn, so that 180 and -180 degrees, which
  // are stored as that value, both read back as exactly 180.
  while (a <= -kFloatPi) a += 2.0 * kFloatPi;
  while (a > kFloatPi) a -= 2.0 * kFloatPi;
  return EFromRadians(static_cast<float>(a));
}

float EFrame::GetDirect() const { return m_f32M11 * m_f32M22 >= m_f32M12 * m_f32M21 ? 1.0f : 0.0f; }

void EFrame::ValidateFrame(const EFrame* mother) {
  float m11, m12;
  if (m_f32Angle == 0.0f) {
    m11 = m_f32Scale;
    m12 = 0.0f;
  } else {
    m11 = m_f32Scale * std::cos(m_f32Angle);
    m12 = -m_f32Scale * std::sin(m_f32Angle);
  }
  float m21 = -m12, m22 = m11;
  float tx = m_f32CenterX, ty = m_f32CenterY;
  if (mother != nullptr) {
    // Copies first: the mother may be this very frame.
    const float a11 = mother->m_f32M11, a12 = mother->m_f32M12;
    const float a21 = mother->m_f32M21, a22 = mother->m_f32M22;
    const float atx = mother->m_f32Tx, aty = mother->m_f32Ty;
    const float n11 = a11 * m11 + a12 * m21, n12 = a11 * m12 + a12 * m22;
    const float ntx = a11 * tx + a12 * ty + atx;
    const float n21 = a21 * m11 + a22 * m21, n22 = a21 * m12 + a22 * m22;
    const float nty = a21 * tx + a22 * ty + aty;
    m11 = n11;
    m12 = n12;
    m21 = n21;
    m22 = n22;
    tx = ntx;
    ty = nty;
  }
  m_f32M11 = m11;
  m_f32M12 = m12;
  m_f32M21 = m21;
  m_f32M22 = m22;
  m_f32Tx = tx;
  m_f32Ty = ty;
  const float det = m11 * m22 - m12 * m21;
  if (det != 0.0f) {
    m_f32I11 = m22 / det;
    m_f32I12 = -m12 / det;
    m_f32I21 = -m21 / det;
    m_f32I22 = m11 / det;
  } else {
    ESetError(E_ERROR_SINGULAR_MATRIX);
    ETraceError("EFrame::ValidateFrame");
  }
}

void EFrame::GetTransform(float& m11, float& m12, float& m21, float& m22, float& tx,
                          float& ty) const {
  m11 = m_f32M11;
  m12 = m_f32M12;
  m21 = m_f32M21;
  m22 = m_f32M22;
  tx = m_f32Tx;
  ty = m_f32Ty;
}

void EFrame::GetInverse(float& i11, float& i12, float& i21, float& i22) const {
  i11 = m_f32I11;
  i12 = m_f32I12;
  i21 = m_f32I21;
  i22 = m_f32I22;
}

float EFrame::GetDeterminant() const { return m_f32M11 * m_f32M22 - m_f32M12 * m_f32M21; }

EPoint EFrame::LocalToGlobal(const EPoint& p) const {
  return EPoint(m_f32M11 * p.GetX() + m_f32M12 * p.GetY() + m_f32Tx,
                m_f32M21 * p.GetX() + m_f32M22 * p.GetY() + m_f32Ty);
}

EPoint EFrame::GlobalToLocal(const EPoint& p) const {
  const float dx = p.GetX() - m_f32Tx, dy = p.GetY() - m_f32Ty;
  return EPoint(m_f32I11 * dx + m_f32I12 * dy, m_f32I21 * dx + m_f32I22 * dy);
}

EFrame EFrame::LocalToGlobal(const EFrame& f) const {
  EFrame result;
  result.Set(LocalToGlobal(f.GetCenter()), f.GetAngle() + EFromRadians(m_f32Angle),
             f.GetScale() * m_f32Scale);
  return result;
}

EFrame EFrame::GlobalToLocal(const EFrame& f) const {
  float scale = f.GetScale();
  if (m_f32Scale != 0.0f) {
    scale /= m_f32Scale;
  } else {
    ESetError(E_ERROR_SINGULAR_MATRIX);
    ETraceError("EFrame::GlobalToLocal");
  }
  EFrame result;
  result.Set(GlobalToLocal(f.GetCenter()), f.GetAngle() - EFromRadians(m_f32Angle), scale);
  return result;
}

ELine EFrame::LocalToGlobal(const ELine& l) const {
  const float k = std::sqrt(std::fabs(GetDeterminant()));
  ELine result;
  result.Set(LocalToGlobal(l.GetCenter()), l.GetLength() * k, l.GetAngle());
  return result;
}

void EFrame::ResetFit() {
  for (double& value : g_FitMatrix) value = 0.0;
  for (double& value : g_FitVector) value = 0.0;
}

void EFrame::AccumulateFit(const EPoint& global, const EPoint& local) {
  const double r[3] = {local.GetX(), local.GetY(), 1.0};
  const double h[2] = {global.GetX(), global.GetY()};
  // The two rows touch disjoint blocks: unknowns 0-2 for x, 3-5 for y.
  for (int row = 0; row < 2; ++row) {
    const int base = 3 * row;
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) g_FitMatrix[(base + i) * 6 + base + j] += r[i] * r[j];
      g_FitVector[base + i] += h[row] * r[i];
    }
  }
}

void EFrame::Fit(unsigned int flags) {
  // Solved on a copy so that the accumulator survives for further pairs or another Fit.
  double matrix[36], u[6];
  std::memcpy(matrix, g_FitMatrix, sizeof(matrix));
  std::memcpy(u, g_FitVector, sizeof(u));
  // The sums of collinear points rarely cancel to exactly 0: a pivot below a millionth of its
  // diagonal is taken as the singular system it stands for.
  // A system that cannot be solved leaves the frame as it was.
  if (!Cholesky(matrix, 6, u, 6, kFitPivotTolerance)) return ETraceError("EFrame::Fit");
  m_f32CenterX = static_cast<float>(u[2]);
  m_f32CenterY = static_cast<float>(u[5]);
  if (flags & E_FRAME_FIT_SCALE)
    m_f32Scale = static_cast<float>(std::sqrt(u[0] * u[0] + u[1] * u[1]));
  if (flags & E_FRAME_FIT_ANGLE)
    m_f32Angle = (u[0] == 0.0 && u[1] == 0.0) ? 0.0f : static_cast<float>(-std::atan2(u[1], u[0]));
}

float EFrame::GetLoadedRatio() { return g_LoadedRatio; }

void EFrame::SetLoadedRatio(float ratio) { g_LoadedRatio = ratio; }

float EFrame_GetLoadedRatio() { return g_LoadedRatio; }

void SolvePositiveDefinite(float* matrix, unsigned int stride, float* vector, unsigned int n) {
  Cholesky(matrix, stride, vector, n, 0.0f);
}
