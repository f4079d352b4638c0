// Calibration of a world model from its matched landmarks: linear least-squares fits of the
// chosen family, homography decomposition, damped non-linear refinement of the physical camera
// model, inverse polynomial fit, and the quality statistics.
#include <cmath>
#include <cstring>

#include "vimo/calibration/world.h"

namespace {

// Process-wide scratch: the normal equations and the refinement's working arrays. Calibrate
// is therefore not re-entrant.
struct Scratch {
  double N[12][12];
  double v[12];
  double pivot[12];
  double alpha[9][9], beta[9];
  double trialAlpha[9][9], trialBeta[9];
  double system[9][9], step[9];
  double trial[9];
  double chi2;
  int numFree;
};
Scratch g_Scratch;

enum Tail { kAffine, kTilted, kBilinear, kQuadratic };

// Centring and scaling of a point set, so that the normal equations stay well conditioned;
// the fitted coefficients are mapped back to the raw coordinates afterwards.
struct Normalisation {
  double mx = 0, my = 0, s = 1;
  double X(double x) const { return (x - mx) / s; }
  double Y(double y) const { return (y - my) / s; }
};

Normalisation Normalise(const ELandmarkVector& marks, bool sensor) {
  Normalisation n;
  double sx = 0, sy = 0;
  unsigned count = 0;
  for (unsigned i = 0; i < marks.GetNumElements(); ++i) {
    if (!marks[i].Matched) continue;
    const EPoint& p = sensor ? marks[i].SensorPoint : marks[i].WorldPoint;
    sx += p.GetX(), sy += p.GetY(), ++count;
  }
  if (count == 0) return n;
  n.mx = sx / count, n.my = sy / count;
  double ss = 0;
  for (unsigned i = 0; i < marks.GetNumElements(); ++i) {
    if (!marks[i].Matched) continue;
    const EPoint& p = sensor ? marks[i].SensorPoint : marks[i].WorldPoint;
    ss += (p.GetX() - n.mx) * (p.GetX() - n.mx) + (p.GetY() - n.my) * (p.GetY() - n.my);
  }
  const double rms = std::sqrt(ss / count);
  n.s = rms > 0 && std::isfinite(rms) ? rms : 1.0;
  return n;
}

// Cholesky factorisation and substitution in place (lower triangle in the upper part, as the
// frame fit does). A pivot that is not clearly positive relative to its diagonal makes the
// system singular: the factorisation stops and v is left as it was.
bool SolvePositiveDefinite12(int n) {
  Scratch& g = g_Scratch;
  for (int k = 0; k < n; ++k) {
    for (int i = k; i < n; ++i) {
      double s = g.N[k][i];
      for (int j = 0; j < k; ++j) s -= g.N[j][k] * g.N[j][i];
      if (i == k) {
        const double scale = std::fabs(g.N[k][k]);
        if (!(s > 1e-12 * scale) || !std::isfinite(s)) return false;
        g.pivot[k] = std::sqrt(s);
      } else {
        g.N[k][i] = s / g.pivot[k];
      }
    }
  }
  for (int i = 0; i < n; ++i) {
    double s = g.v[i];
    for (int j = 0; j < i; ++j) s -= g.N[j][i] * g.v[j];
    g.v[i] = s / g.pivot[i];
  }
  for (int i = n - 1; i >= 0; --i) {
    double s = g.v[i];
    for (int j = i + 1; j < n; ++j) s -= g.N[i][j] * g.v[j];
    g.v[i] = s / g.pivot[i];
  }
  return true;
}

int Unknowns(Tail t) { return t == kQuadratic ? 12 : (t == kAffine ? 6 : 8); }

// Least-squares fit of the family from (from) points to (to) points of the matched landmarks.
// u receives the coefficients in raw coordinates, in the layout: X part (x, y, 1), Y part
// (x, y, 1), then the tail (tilted: p1, p2; bilinear: X xy, Y xy; quadratic: X xx, xy, yy,
// Y xx, xy, yy). Returns false (1050 set) when the normal system is singular.
bool FitFamily(const ELandmarkVector& marks, bool fromSensor, Tail tail, double u[12]) {
  Scratch& g = g_Scratch;
  const int n = Unknowns(tail);
  const Normalisation in = Normalise(marks, fromSensor);
  const Normalisation out = Normalise(marks, !fromSensor);
  std::memset(g.N, 0, sizeof g.N);
  std::memset(g.v, 0, sizeof g.v);
  double r[12];
  for (unsigned i = 0; i < marks.GetNumElements(); ++i) {
    const ELandmark& l = marks[i];
    if (!l.Matched) continue;
    const EPoint& a = fromSensor ? l.SensorPoint : l.WorldPoint;
    const EPoint& b = fromSensor ? l.WorldPoint : l.SensorPoint;
    const double x = in.X(a.GetX()), y = in.Y(a.GetY());
    const double targets[2] = {out.X(b.GetX()), out.Y(b.GetY())};
    for (int eq = 0; eq < 2; ++eq) {
      const double t = targets[eq];
      std::memset(r, 0, sizeof r);
      r[3 * eq] = x, r[3 * eq + 1] = y, r[3 * eq + 2] = 1;
      if (tail == kTilted) {
        r[6] = -t * x, r[7] = -t * y;
      } else if (tail == kBilinear) {
        r[6 + eq] = x * y;
      } else if (tail == kQuadratic) {
        r[6 + 3 * eq] = x * x, r[7 + 3 * eq] = x * y, r[8 + 3 * eq] = y * y;
      }
      for (int j = 0; j < n; ++j) {
        if (r[j] == 0) continue;
        for (int k = 0; k < n; ++k) g.N[j][k] += r[j] * r[k];
        g.v[j] += t * r[j];
      }
    }
  }
  const bool ok = SolvePositiveDefinite12(n);
  if (!ok) ESetError(E_ERROR_NOT_POSITIVE_DEFINITE);
  const double* w = g.v;
  const double s = in.s, mx = in.mx, my = in.my, T = out.s;
  const double M[2] = {out.mx, out.my};
  for (int j = 0; j < 12; ++j) u[j] = 0;
  if (tail == kTilted) {
    // X = M + T·(w0 x' + w1 y' + w2)/(1 + w6 x' + w7 y') with x' = (x − mx)/s; the constant of
    // the denominator is brought back to 1.
    const double c = 1 - (w[6] * mx + w[7] * my) / s;
    u[6] = w[6] / (s * c), u[7] = w[7] / (s * c);
    for (int eq = 0; eq < 2; ++eq) {
      const double* q = w + 3 * eq;
      u[3 * eq] = (M[eq] * w[6] / s + T * q[0] / s) / c;
      u[3 * eq + 1] = (M[eq] * w[7] / s + T * q[1] / s) / c;
      u[3 * eq + 2] = (M[eq] * c + T * (q[2] - (q[0] * mx + q[1] * my) / s)) / c;
    }
    return ok;
  }
  // Polynomials of degree at most two: expand T·P((x − mx)/s, (y − my)/s) + M.
  for (int eq = 0; eq < 2; ++eq) {
    const double cx = w[3 * eq], cy = w[3 * eq + 1], c1 = w[3 * eq + 2];
    double cxx = 0, cxy = 0, cyy = 0;
    if (tail == kBilinear) cxy = w[6 + eq];
    if (tail == kQuadratic) cxx = w[6 + 3 * eq], cxy = w[7 + 3 * eq], cyy = w[8 + 3 * eq];
    const double s2 = s * s;
    u[3 * eq] = T * (cx / s - (2 * mx * cxx + my * cxy) / s2);
    u[3 * eq + 1] = T * (cy / s - (mx * cxy + 2 * my * cyy) / s2);
    u[3 * eq + 2] = M[eq] + T * (c1 - (cx * mx + cy * my) / s +
                                 (cxx * mx * mx + cxy * mx * my + cyy * my * my) / s2);
    if (tail == kBilinear) u[6 + eq] = T * cxy / s2;
    if (tail == kQuadratic) {
      u[6 + 3 * eq] = T * cxx / s2;
      u[7 + 3 * eq] = T * cxy / s2;
      u[8 + 3 * eq] = T * cyy / s2;
    }
  }
  return ok;
}

// ---------------------------------------------------------------------------------------------
// Non-linear refinement of the physical model (perspective, ratio, distortion, scale, angle,
// tilts, origin), by damped Gauss-Newton iterations.

enum { kP, kRho, kK, kS, kTheta, kAlpha, kBeta, kEx, kEy, kNumParams };

struct Camera {
  double ox, oy;
};

// The rotation R = Rx(alpha)·Ry(beta)·Rz(theta) and its derivatives, once per parameter set.
struct Rotation {
  double r11, r12, r21, r22, r31, r32;
  // Derivatives of (row 1, row 2, row 3) · (x, y) with respect to theta, alpha, beta: for each
  // angle, the x and y coefficients of xi, eta and zeta.
  double d[3][3][2];
};

Rotation MakeRotation(const double a[kNumParams]) {
  const double ct = std::cos(a[kTheta]), st = std::sin(a[kTheta]);
  const double ca = std::cos(a[kAlpha]), sa = std::sin(a[kAlpha]);
  const double cb = std::cos(a[kBeta]), sb = std::sin(a[kBeta]);
  Rotation r;
  r.r11 = cb * ct, r.r12 = -cb * st;
  r.r21 = sa * sb * ct + ca * st, r.r22 = ca * ct - sa * sb * st;
  r.r31 = sa * st - ca * sb * ct, r.r32 = ca * sb * st + sa * ct;
  const double dt[3][2] = {{-cb * st, -cb * ct},
                           {-sa * sb * st + ca * ct, -ca * st - sa * sb * ct},
                           {sa * ct + ca * sb * st, ca * sb * ct - sa * st}};
  const double da[3][2] = {{0, 0},
                           {ca * sb * ct - sa * st, -sa * ct - ca * sb * st},
                           {ca * st + sa * sb * ct, -sa * sb * st + ca * ct}};
  const double db[3][2] = {
      {-sb * ct, sb * st}, {sa * cb * ct, -sa * cb * st}, {-ca * cb * ct, ca * cb * st}};
  for (int row = 0; row < 3; ++row)
    for (int c = 0; c < 2; ++c) {
      r.d[0][row][c] = dt[row][c];
      r.d[1][row][c] = da[row][c];
      r.d[2][row][c] = db[row][c];
    }
  return r;
}

// Model of one world point and its derivatives with respect to the nine parameters.
void Model(const double a[kNumParams], const Rotation& R, const Camera& cam, double x, double y,
           double& X, double& Y, double dX[kNumParams], double dY[kNumParams]) {
  const double P = a[kP], rho = a[kRho], k = a[kK], s = a[kS];
  const double xi = R.r11 * x + R.r12 * y, eta = R.r21 * x + R.r22 * y;
  const double zeta = R.r31 * x + R.r32 * y;
  const double w = 1.0 / (1.0 + P * zeta);
  const double u = s * (xi + a[kEx]) * w, v = s * (eta + a[kEy]) * w;
  const double q = u * u + v * v, f = 1.0 + k * q;
  X = cam.ox + f * u;
  Y = cam.oy + rho * f * v;
  // Chain rule through (u, v).
  const double Xu = f + 2 * k * u * u, Xv = 2 * k * u * v;
  const double Yu = rho * 2 * k * u * v, Yv = rho * (f + 2 * k * v * v);
  double du[kNumParams], dv[kNumParams];
  du[kP] = -u * zeta * w, dv[kP] = -v * zeta * w;
  du[kRho] = 0, dv[kRho] = 0;
  du[kK] = 0, dv[kK] = 0;
  du[kS] = (xi + a[kEx]) * w, dv[kS] = (eta + a[kEy]) * w;
  du[kEx] = s * w, dv[kEx] = 0;
  du[kEy] = 0, dv[kEy] = s * w;
  const int idx[3] = {kTheta, kAlpha, kBeta};
  for (int r = 0; r < 3; ++r) {
    const double dxi = R.d[r][0][0] * x + R.d[r][0][1] * y;
    const double deta = R.d[r][1][0] * x + R.d[r][1][1] * y;
    const double dzeta = R.d[r][2][0] * x + R.d[r][2][1] * y;
    du[idx[r]] = s * w * dxi - u * w * P * dzeta;
    dv[idx[r]] = s * w * deta - v * w * P * dzeta;
  }
  for (int j = 0; j < kNumParams; ++j) {
    dX[j] = Xu * du[j] + Xv * dv[j];
    dY[j] = Yu * du[j] + Yv * dv[j];
  }
  dX[kK] = q * u, dY[kK] = rho * q * v;
  dX[kRho] = 0, dY[kRho] = f * v;
}

// Curvature matrix, gradient and chi-square over the free parameters.
double Curvature(const ELandmarkVector& marks, const Camera& cam, const double a[kNumParams],
                 const int freeIndex[kNumParams], int numFree, double alpha[9][9], double beta[9]) {
  for (int j = 0; j < numFree; ++j) {
    beta[j] = 0;
    for (int k = 0; k < numFree; ++k) alpha[j][k] = 0;
  }
  double chi2 = 0;
  double dX[kNumParams], dY[kNumParams];
  const Rotation R = MakeRotation(a);
  for (unsigned i = 0; i < marks.GetNumElements(); ++i) {
    const ELandmark& l = marks[i];
    if (!l.Matched) continue;
    double X, Y;
    Model(a, R, cam, l.WorldPoint.GetX(), l.WorldPoint.GetY(), X, Y, dX, dY);
    const double rx = l.SensorPoint.GetX() - X, ry = l.SensorPoint.GetY() - Y;
    chi2 += rx * rx + ry * ry;
    double gx[kNumParams], gy[kNumParams];
    for (int j = 0; j < numFree; ++j) gx[j] = dX[freeIndex[j]], gy[j] = dY[freeIndex[j]];
    for (int j = 0; j < numFree; ++j) {
      beta[j] += rx * gx[j] + ry * gy[j];
      for (int k = 0; k <= j; ++k) alpha[j][k] += gx[j] * gx[k] + gy[j] * gy[k];
    }
  }
  for (int j = 0; j < numFree; ++j)
    for (int k = 0; k < j; ++k) alpha[k][j] = alpha[j][k];
  return chi2;
}

// Gauss-Jordan elimination with full pivoting: solves m·x = b in place (b becomes x, m its
// inverse). Returns false on a singular matrix.
bool GaussJordan(double m[9][9], double b[9], int n) {
  int indxc[9], indxr[9], ipiv[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
  for (int i = 0; i < n; ++i) {
    double big = 0;
    int irow = 0, icol = 0;
    for (int j = 0; j < n; ++j) {
      if (ipiv[j] == 1) continue;
      for (int k = 0; k < n; ++k) {
        if (ipiv[k] == 0 && std::fabs(m[j][k]) >= big) {
          big = std::fabs(m[j][k]);
          irow = j, icol = k;
        }
      }
    }
    ++ipiv[icol];
    if (irow != icol) {
      for (int l = 0; l < n; ++l) std::swap(m[irow][l], m[icol][l]);
      std::swap(b[irow], b[icol]);
    }
    indxr[i] = irow, indxc[i] = icol;
    if (m[icol][icol] == 0 || !std::isfinite(m[icol][icol])) return false;
    const double pivinv = 1.0 / m[icol][icol];
    m[icol][icol] = 1.0;
    for (int l = 0; l < n; ++l) m[icol][l] *= pivinv;
    b[icol] *= pivinv;
    for (int ll = 0; ll < n; ++ll) {
      if (ll == icol) continue;
      const double dum = m[ll][icol];
      m[ll][icol] = 0;
      for (int l = 0; l < n; ++l) m[ll][l] -= m[icol][l] * dum;
      b[ll] -= b[icol] * dum;
    }
  }
  for (int l = n - 1; l >= 0; --l) {
    if (indxr[l] != indxc[l])
      for (int k = 0; k < n; ++k) std::swap(m[k][indxr[l]], m[k][indxc[l]]);
  }
  return true;
}

// Ten damped steps from a, then the undamped covariance. a is updated with the accepted
// parameters. Returns false (1050 set) when a step or the covariance met a singular matrix.
bool Refine(const ELandmarkVector& marks, const Camera& cam, double a[kNumParams],
            unsigned int fixedMask) {
  Scratch& g = g_Scratch;
  int freeIndex[kNumParams];
  g.numFree = 0;
  for (int j = 0; j < kNumParams; ++j)
    if ((fixedMask & (1u << j)) == 0) freeIndex[g.numFree++] = j;
  const int n = g.numFree;
  bool ok = true;
  double lambda = 0.001;
  g.chi2 = Curvature(marks, cam, a, freeIndex, n, g.alpha, g.beta);
  for (int iteration = 0; iteration < 10; ++iteration) {
    for (int j = 0; j < n; ++j) {
      for (int k = 0; k < n; ++k) g.system[j][k] = g.alpha[j][k];
      g.system[j][j] = g.alpha[j][j] * (1.0 + lambda);
      g.step[j] = g.beta[j];
    }
    if (!GaussJordan(g.system, g.step, n)) {
      ESetError(E_ERROR_NOT_POSITIVE_DEFINITE);
      ok = false;
      lambda *= 10;
      continue;
    }
    for (int j = 0; j < kNumParams; ++j) g.trial[j] = a[j];
    for (int j = 0; j < n; ++j) g.trial[freeIndex[j]] += g.step[j];
    const double chi2 = Curvature(marks, cam, g.trial, freeIndex, n, g.trialAlpha, g.trialBeta);
    if (chi2 < g.chi2 && std::isfinite(chi2)) {
      lambda *= 0.1;
      g.chi2 = chi2;
      for (int j = 0; j < n; ++j) {
        g.beta[j] = g.trialBeta[j];
        for (int k = 0; k < n; ++k) g.alpha[j][k] = g.trialAlpha[j][k];
      }
      for (int j = 0; j < kNumParams; ++j) a[j] = g.trial[j];
    } else {
      lambda *= 10;
    }
  }
  // The covariance of the accepted parameters.
  for (int j = 0; j < n; ++j) {
    for (int k = 0; k < n; ++k) g.system[j][k] = g.alpha[j][k];
    g.step[j] = g.beta[j];
  }
  if (!GaussJordan(g.system, g.step, n)) {
    ESetError(E_ERROR_NOT_POSITIVE_DEFINITE);
    ok = false;
  }
  return ok;
}

bool AllFinite(const double* values, int n) {
  for (int i = 0; i < n; ++i)
    if (!std::isfinite(values[i])) return false;
  return true;
}

// Every coefficient of the model, named one by one: the struct is not an array. The size check
// catches a coefficient added to the struct but not here.
static_assert(sizeof(EWorldCoefficients) == 34 * sizeof(float), "list every coefficient below");
bool AllFinite(const EWorldCoefficients& c) {
  const float scalars[] = {c.a11, c.a12, c.a21, c.a22, c.tx,     c.ty,   c.p1, c.p2,
                           c.b11, c.b12, c.b21, c.b22, c.cx,     c.cy,   c.q1, c.q2,
                           c.ox,  c.oy,  c.k,   c.rho, c.invRho, c.ySign};
  for (float value : scalars)
    if (!std::isfinite(value)) return false;
  for (int j = 0; j < 6; ++j)
    if (!std::isfinite(c.e[j]) || !std::isfinite(c.f[j])) return false;
  return true;
}

const unsigned int kPhysicalGroup = 0x00FE;

}  // namespace

void EWorld::Calibrate(unsigned int modes) {
  // 1. Refusals.
  E_ERRORS refusal = E_OK;
  const int groups = ((modes & E_CALIBRATION_QUADRATIC) != 0) +
                     ((modes & E_CALIBRATION_BILINEAR) != 0) + ((modes & kPhysicalGroup) != 0);
  if (modes == 0xFFFFFFFFu || (modes & E_CALIBRATION_RAW) != 0 || (modes & E_CALIBRATION_USER))
    refusal = E_ERROR_CALIBRATION_MODE_NOT_ALLOWED;
  else if (m_Landmark.GetNumElements() < 4)
    refusal = E_ERROR_TOO_FEW_LANDMARKS;
  else if (groups != 1)
    refusal = E_ERROR_CALIBRATION_MODE_NOT_ONE_GROUP;
  if (refusal == E_OK) {
    // Non-finite coordinates would poison every fit: refuse them before changing anything.
    for (unsigned i = 0; i < m_Landmark.GetNumElements(); ++i) {
      const ELandmark& l = m_Landmark[i];
      if (l.Matched &&
          !(std::isfinite(l.SensorPoint.GetX()) && std::isfinite(l.SensorPoint.GetY()) &&
            std::isfinite(l.WorldPoint.GetX()) && std::isfinite(l.WorldPoint.GetY())))
        refusal = E_ERROR_INVALID_PARAMETER;
    }
  }
  if (refusal != E_OK) {
    ESetError(refusal);
    ETraceError("EWorld::Calibrate");
    return;
  }

  // 2. The unknowns.
  unsigned int m = modes;
  Tail tail = kAffine;
  if (m & E_CALIBRATION_QUADRATIC) {
    tail = kQuadratic;
  } else if (m & E_CALIBRATION_BILINEAR) {
    tail = kBilinear;
  } else {
    m |= E_CALIBRATION_SCALED;
    if (m & E_CALIBRATION_TILTED) tail = kTilted;
  }
  const bool polynomial = tail == kQuadratic || tail == kBilinear;
  bool failed = false;

  // 3. Forward fit.
  double u[12];
  failed |= !FitFamily(m_Landmark, false, tail, u);

  // 4. The sensor position of the world origin.
  double centerX = u[2], centerY = u[5];
  const double ox = m_f32OpticalCenterX, oy = m_f32OpticalCenterY;

  // 5. Resolutions, and the decomposition of a homography.
  double xr = 0, yr = 0, P = 0, tiltX = 0, tiltY = 0;
  if (tail == kTilted) {
    u[0] -= u[6] * ox, u[1] -= u[7] * ox, u[2] -= ox;
    u[3] -= u[6] * oy, u[4] -= u[7] * oy, u[5] -= oy;
    // a·u0² + b·u3² + c·u6² = 1, a·u1² + b·u4² + c·u7² = 1, a·u0·u1 + b·u3·u4 + c·u6·u7 = 0.
    const double A[3][3] = {{u[0] * u[0], u[3] * u[3], u[6] * u[6]},
                            {u[1] * u[1], u[4] * u[4], u[7] * u[7]},
                            {u[0] * u[1], u[3] * u[4], u[6] * u[7]}};
    const double rhs[3] = {1, 1, 0};
    auto det3 = [](const double M[3][3]) {
      return M[0][0] * (M[1][1] * M[2][2] - M[1][2] * M[2][1]) -
             M[0][1] * (M[1][0] * M[2][2] - M[1][2] * M[2][0]) +
             M[0][2] * (M[1][0] * M[2][1] - M[1][1] * M[2][0]);
    };
    const double D = det3(A);
    double abc[3] = {0, 0, 0};
    if (D == 0 || !std::isfinite(D)) {
      ESetError(E_ERROR_NOT_POSITIVE_DEFINITE);
      failed = true;
    } else {
      for (int col = 0; col < 3; ++col) {
        double B[3][3];
        for (int r = 0; r < 3; ++r)
          for (int c = 0; c < 3; ++c) B[r][c] = c == col ? rhs[r] : A[r][c];
        abc[col] = det3(B) / D;
      }
    }
    if (abc[0] > 0 && abc[1] > 0 && abc[2] > 0) {
      xr = 1 / std::sqrt(abc[0]), yr = 1 / std::sqrt(abc[1]), P = 1 / std::sqrt(abc[2]);
      u[0] /= xr, u[1] /= xr, u[3] /= yr, u[4] /= yr, u[6] /= P, u[7] /= P;
      const double c1 = u[3] * u[7] - u[6] * u[4];
      const double c2 = u[6] * u[1] - u[0] * u[7];
      const double c3 = u[0] * u[4] - u[3] * u[1];
      // The second row carries the sign of the ratio; the third rotation column is computed
      // from the rows as fitted, so its first and last components carry that sign too.
      const double sigma = c3 >= 0 ? 1.0 : -1.0;
      tiltY = std::atan2(sigma * c1, std::sqrt(u[0] * u[0] + u[1] * u[1]));
      tiltX = std::atan2(-c2, sigma * c3);
    } else {
      // Not a physical camera: fall back to the affine model.
      m &= ~E_CALIBRATION_TILTED;
      tail = kAffine;
      failed |= !FitFamily(m_Landmark, false, kAffine, u);
      centerX = u[2], centerY = u[5];
    }
  }
  if (tail != kTilted) {
    xr = std::sqrt(u[0] * u[0] + u[1] * u[1]);
    yr = std::sqrt(u[3] * u[3] + u[4] * u[4]);
  }

  // 6. The forward polynomial.
  EWorldCoefficients coef = m_Coef;
  if (polynomial) {
    coef.a11 = static_cast<float>(u[0]), coef.a12 = static_cast<float>(u[1]);
    coef.tx = static_cast<float>(u[2]);
    coef.a21 = static_cast<float>(u[3]), coef.a22 = static_cast<float>(u[4]);
    coef.ty = static_cast<float>(u[5]);
    coef.p1 = 0, coef.p2 = 0;
    for (float& e : coef.e) e = 0;
    if (tail == kBilinear) {
      coef.e[1] = static_cast<float>(u[6]), coef.e[4] = static_cast<float>(u[7]);
    } else {
      for (int j = 0; j < 6; ++j) coef.e[j] = static_cast<float>(u[6 + j]);
    }
  }

  // 7. Orientation, scale, ratio, angle.
  if (u[0] * u[4] - u[3] * u[1] >= 0)
    m |= E_CALIBRATION_INVERSE;
  else
    m &= ~E_CALIBRATION_INVERSE;
  const bool inverse = (m & E_CALIBRATION_INVERSE) != 0;
  const bool anisotropic = (m & E_CALIBRATION_ANISOTROPIC) != 0;
  const bool skewed = (m & E_CALIBRATION_SKEWED) != 0;
  const bool tilted = (m & E_CALIBRATION_TILTED) != 0;
  const bool radial = (m & E_CALIBRATION_RADIAL) != 0;
  double scale = xr;
  double ratio = anisotropic && xr != 0 ? yr / xr : 1.0;
  if (!inverse) ratio = -ratio;
  double angle = skewed ? -std::atan2(u[1], u[0]) : 0.0;
  double k = m_f32DistortionStrength;
  if (!tilted) P = 0, tiltX = 0, tiltY = 0;

  // 8. Refinement of the physical model.
  if (radial || tilted) {
    double a[kNumParams];
    a[kP] = tilted ? P : 0;
    a[kRho] = anisotropic ? ratio : (inverse ? 1.0 : -1.0);
    a[kK] = 0;
    a[kS] = scale;
    a[kTheta] = skewed ? angle : 0;
    a[kAlpha] = tilted ? tiltX : 0;
    a[kBeta] = tilted ? tiltY : 0;
    const double rho0 = ratio != 0 ? ratio : 1.0;
    a[kEx] = scale != 0 ? (centerX - ox) / scale : 0;
    a[kEy] = scale != 0 ? ((centerY - oy) / rho0) / scale : 0;
    unsigned int fixed = 0;
    if (!tilted) fixed |= 1u << kP | 1u << kAlpha | 1u << kBeta;
    if (!skewed) fixed |= 1u << kTheta;
    if (!radial) fixed |= 1u << kK;
    if (!anisotropic) fixed |= 1u << kRho;
    m_un32FreeParameterMask = fixed;
    if (AllFinite(a, kNumParams)) failed |= !Refine(m_Landmark, Camera{ox, oy}, a, fixed);
    P = a[kP], ratio = a[kRho], k = a[kK], scale = a[kS], angle = a[kTheta];
    tiltX = a[kAlpha], tiltY = a[kBeta];
    const double s = scale;
    const double f = 1 + (a[kEx] * a[kEx] + a[kEy] * a[kEy]) * k * s * s;
    centerX = ox + a[kEx] * s * f;
    centerY = oy + ratio * s * a[kEy] * f;
  }

  // 9. The inverse polynomial.
  if (polynomial) {
    failed |= !FitFamily(m_Landmark, true, tail, u);
    coef.b11 = static_cast<float>(u[0]), coef.b12 = static_cast<float>(u[1]);
    coef.cx = static_cast<float>(u[2]);
    coef.b21 = static_cast<float>(u[3]), coef.b22 = static_cast<float>(u[4]);
    coef.cy = static_cast<float>(u[5]);
    coef.q1 = 0, coef.q2 = 0;
    for (float& f : coef.f) f = 0;
    if (tail == kBilinear) {
      coef.f[1] = static_cast<float>(u[6]), coef.f[4] = static_cast<float>(u[7]);
    } else {
      for (int j = 0; j < 6; ++j) coef.f[j] = static_cast<float>(u[6 + j]);
    }
  }

  // A model that does not fit in finite numbers is not stored.
  const double result[] = {centerX, centerY, scale, ratio, angle, P, k, tiltX, tiltY};
  bool finite = AllFinite(result, 9);
  if (polynomial) finite = finite && AllFinite(coef);
  for (double r : result) finite = finite && std::fabs(r) <= 3.4e38;
  if (!finite) {
    if (!failed) ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("EWorld::Calibrate");
    return;
  }

  m_un32CalibrationModes = m;
  EFrame::SetCenter(static_cast<float>(centerX), static_cast<float>(centerY));
  EFrame::SetScale(static_cast<float>(scale));
  SetAngleRadians(angle);
  m_f32Ratio = static_cast<float>(ratio);
  m_f32PerspectiveStrength = static_cast<float>(P);
  m_f32TiltXAngle = static_cast<float>(tiltX);
  m_f32TiltYAngle = static_cast<float>(tiltY);
  // The refinement writes its accepted k, held at 0 when "radial" was not requested.
  if (radial || tilted) m_f32DistortionStrength = static_cast<float>(k);
  if (polynomial) m_Coef = coef;
  // 10.
  Invalidate();
  if (failed) ETraceError("EWorld::Calibrate");
}

// ---------------------------------------------------------------------------------------------
// Quality statistics

void EWorld::ComputeQuality(float& mean, float& max, unsigned& count) const {
  double sum = 0, largest = 0;
  count = 0;
  for (unsigned i = 0; i < m_Landmark.GetNumElements(); ++i) {
    const ELandmark& l = m_Landmark[i];
    // An unidentified grid point (sensor = world) carries no information.
    if (l.SensorPoint.GetX() == l.WorldPoint.GetX() && l.SensorPoint.GetY() == l.WorldPoint.GetY())
      continue;
    const EPoint w = SensorToWorld(l.SensorPoint);
    const double dx = static_cast<double>(w.GetX()) - l.WorldPoint.GetX();
    const double dy = static_cast<double>(w.GetY()) - l.WorldPoint.GetY();
    const double d2 = dx * dx + dy * dy;
    sum += d2;
    if (d2 > largest || !std::isfinite(d2)) largest = d2;
    ++count;
  }
  mean = count == 0 ? 0.0f : static_cast<float>(sum / count);
  max = static_cast<float>(largest);
}

int EWorld::CalibrationSucceeded() {
  const double pitch = static_cast<double>(m_f32GridPitchX) * m_f32GridPitchY;
  if (pitch == 0 || !std::isfinite(pitch)) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("EWorld::CalibrationSucceeded");
    return 0;
  }
  float mean, max;
  unsigned count;
  ComputeQuality(mean, max, count);
  m_f32MeanVariation = static_cast<float>(mean / pitch);
  m_f32MaxVariation = static_cast<float>(max / pitch);
  if (count == 0) return 0;
  return m_f32MeanVariation <= m_f32MeanVariationThreshold &&
                 m_f32MaxVariation <= m_f32MaxVariationThreshold
             ? 1
             : 0;
}

void EWorld::ComputeCalibrationQualityIndicators() {
  unsigned count;
  ComputeQuality(m_f32MeanVariation, m_f32MaxVariation, count);
}

float EWorld::GetGridPointsMeanVariation() const { return std::sqrt(m_f32MeanVariation); }
float EWorld::GetGridPointsMaxVariation() const { return std::sqrt(m_f32MaxVariation); }
float EWorld::GetGridPointsMeanVariationThreshold() const {
  return std::sqrt(m_f32MeanVariationThreshold);
}
float EWorld::GetGridPointsMaxVariationThreshold() const {
  return std::sqrt(m_f32MaxVariationThreshold);
}

void EWorld::SetGridPointsMeanVariationThreshold(float threshold) {
  if (!std::isfinite(threshold)) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("EWorld::SetGridPointsMeanVariationThreshold");
    return;
  }
  m_f32MeanVariationThreshold = threshold * threshold;
}

void EWorld::SetGridPointsMaxVariationThreshold(float threshold) {
  if (!std::isfinite(threshold)) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("EWorld::SetGridPointsMaxVariationThreshold");
    return;
  }
  m_f32MaxVariationThreshold = threshold * threshold;
}
