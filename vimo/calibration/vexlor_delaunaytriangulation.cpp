#include "vimo/calibration/vexlor_delaunaytriangulation.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <new>

#include "vimo/calibration/world.h"

namespace {

const int32_t kNone = -1;
const uint32_t kDead = 0xFFFFFFFFu;

// The points are rounded to a grid of 2^30 steps across their extent, so that the orientation
// and circle tests are exact in 128-bit integers: nearly collinear or co-circular points (a
// perfect dot grid jittered along the diagonal keeps its diagonals collinear) are then
// classified consistently and no point is lost to rounding.
__extension__ typedef __int128 Wide;
const int kGridBits = 30;

// Vertices counter-clockwise; n[i] is the triangle across the edge v[i] -> v[(i + 1) % 3].
struct Triangle {
  uint32_t v[3];
  int32_t n[3];
};

struct BoundaryEdge {
  uint32_t a, b;
  int32_t outside;
};

// Position of (x, y) along a Hilbert curve over a 2^16 x 2^16 grid.
uint64_t HilbertIndex(uint32_t x, uint32_t y) {
  uint64_t d = 0;
  for (uint32_t s = 1u << 15; s > 0; s >>= 1) {
    const uint32_t rx = (x & s) ? 1 : 0, ry = (y & s) ? 1 : 0;
    d += static_cast<uint64_t>(s) * s * ((3 * rx) ^ ry);
    if (ry == 0) {
      if (rx == 1) x = s - 1 - x, y = s - 1 - y;
      std::swap(x, y);
    }
  }
  return d;
}

class Triangulator {
 public:
  Triangulator(const double* x, const double* y, unsigned n) : m_N(n) {
    m_X.resize(n + 3), m_Y.resize(n + 3), m_Finite.resize(n);
    double minX = HUGE_VAL, minY = HUGE_VAL, maxX = -HUGE_VAL, maxY = -HUGE_VAL;
    for (unsigned i = 0; i < n; ++i) {
      m_Finite[i] = std::isfinite(x[i]) && std::isfinite(y[i]);
      if (!m_Finite[i]) continue;
      minX = std::min(minX, x[i]), maxX = std::max(maxX, x[i]);
      minY = std::min(minY, y[i]), maxY = std::max(maxY, y[i]);
    }
    // Halved coordinates keep the differences finite for any finite input; a power-of-two
    // scale keeps integer and other short coordinates exact.
    const double halfExtent = std::max({0.5 * maxX - 0.5 * minX, 0.5 * maxY - 0.5 * minY, 1e-200});
    int exponent = 0;
    std::frexp(halfExtent, &exponent);
    const double scale = std::ldexp(1.0, kGridBits - exponent);
    const double top = std::ldexp(1.0, kGridBits);
    for (unsigned i = 0; i < n; ++i) {
      if (!m_Finite[i]) continue;
      m_X[i] = std::llround(std::min(top, std::max(0.0, (0.5 * x[i] - 0.5 * minX) * scale)));
      m_Y[i] = std::llround(std::min(top, std::max(0.0, (0.5 * y[i] - 0.5 * minY) * scale)));
    }
    // A super-triangle far around the grid; its corners count as points at infinity.
    const int64_t M = int64_t(1000) << kGridBits, c = int64_t(1) << (kGridBits - 1);
    m_X[n] = c - M, m_Y[n] = c - M;
    m_X[n + 1] = c + M, m_Y[n + 1] = c - M;
    m_X[n + 2] = c, m_Y[n + 2] = c + M;
    m_Triangles.push_back(Triangle{{n, n + 1, n + 2}, {kNone, kNone, kNone}});
    m_Mark.push_back(0);
    m_StartAt.assign(n + 3, kNone);
  }

  void Run(std::vector<uint32_t>& out) {
    // Insertion along a Hilbert curve keeps each point close to the last one inserted, so the
    // walk from the last new triangle is short.
    std::vector<std::pair<uint64_t, uint32_t>> order;
    order.reserve(m_N);
    for (uint32_t i = 0; i < m_N; ++i) {
      if (!m_Finite[i]) continue;
      const uint32_t hx =
          static_cast<uint32_t>(std::min<int64_t>(65535, m_X[i] >> (kGridBits - 16)));
      const uint32_t hy =
          static_cast<uint32_t>(std::min<int64_t>(65535, m_Y[i] >> (kGridBits - 16)));
      order.emplace_back(HilbertIndex(hx, hy), i);
    }
    std::sort(order.begin(), order.end());
    m_Triangles.reserve(2 * order.size() + 8);
    m_Mark.reserve(2 * order.size() + 8);
    for (const auto& entry : order) Insert(entry.second);
    out.reserve(out.size() + 3 * m_Triangles.size());
    for (const Triangle& t : m_Triangles) {
      if (t.v[0] == kDead || t.v[0] >= m_N || t.v[1] >= m_N || t.v[2] >= m_N) continue;
      out.insert(out.end(), {t.v[0], t.v[1], t.v[2]});
    }
  }

 private:
  Wide Orient(uint32_t a, uint32_t b, int64_t px, int64_t py) const {
    return Wide(m_X[b] - m_X[a]) * (py - m_Y[a]) - Wide(m_Y[b] - m_Y[a]) * (px - m_X[a]);
  }
  // Positive when (px, py) lies strictly inside the circumcircle of the triangle. The
  // super-triangle's corners count as points at infinity in their directions, so that a circle
  // through one of them is the half-plane beyond the triangle's finite edge: then no thin
  // triangle along the convex hull is lost to a finite super-triangle.
  Wide InCircle(const Triangle& t, int64_t px, int64_t py) const {
    int infinite = 0, first = 0;
    for (int k = 0; k < 3; ++k)
      if (t.v[k] >= m_N) first = infinite++ == 0 ? k : first;
    if (infinite == 3) return 1;
    if (infinite == 1) return Orient(t.v[(first + 1) % 3], t.v[(first + 2) % 3], px, py);
    if (infinite == 2) {
      // The finite corner v and the super corners s, s' in counter-clockwise order: the
      // half-plane through v that faces the edge s -> s', right of that direction.
      int v = 0;
      while (t.v[v] >= m_N) ++v;
      const uint32_t a = t.v[(v + 1) % 3], b = t.v[(v + 2) % 3];
      const Wide dx = m_X[b] - m_X[a], dy = m_Y[b] - m_Y[a];
      return dy * (px - m_X[t.v[v]]) - dx * (py - m_Y[t.v[v]]);
    }
    // Differences of at most 2^30: every product fits in 127 bits.
    const Wide adx = m_X[t.v[0]] - px, ady = m_Y[t.v[0]] - py;
    const Wide bdx = m_X[t.v[1]] - px, bdy = m_Y[t.v[1]] - py;
    const Wide cdx = m_X[t.v[2]] - px, cdy = m_Y[t.v[2]] - py;
    return (adx * adx + ady * ady) * (bdx * cdy - cdx * bdy) +
           (bdx * bdx + bdy * bdy) * (cdx * ady - adx * cdy) +
           (cdx * cdx + cdy * cdy) * (adx * bdy - bdx * ady);
  }

  bool Contains(const Triangle& t, int64_t px, int64_t py) const {
    return t.v[0] != kDead && Orient(t.v[0], t.v[1], px, py) >= 0 &&
           Orient(t.v[1], t.v[2], px, py) >= 0 && Orient(t.v[2], t.v[0], px, py) >= 0;
  }

  // Visibility walk from the last new triangle; the edge tried first turns at each step so
  // the walk cannot circle. A walk that runs far too long falls back to a scan.
  int32_t Locate(int64_t px, int64_t py) {
    int32_t t = m_Last;
    unsigned turn = 0;
    const size_t limit = 4 * m_Triangles.size() + 64;
    for (size_t steps = 0; t != kNone && steps < limit; ++steps) {
      const Triangle& T = m_Triangles[t];
      int32_t next = t;
      for (unsigned k = 0; k < 3; ++k) {
        const unsigned e = (k + turn) % 3;
        if (Orient(T.v[e], T.v[(e + 1) % 3], px, py) < 0) {
          next = T.n[e];
          break;
        }
      }
      if (next == t) return t;
      t = next, turn = (turn + 1) % 3;
    }
    for (size_t i = 0; i < m_Triangles.size(); ++i)
      if (Contains(m_Triangles[i], px, py)) return static_cast<int32_t>(i);
    return kNone;
  }

  void Insert(uint32_t p) {
    const int64_t px = m_X[p], py = m_Y[p];
    const int32_t start = Locate(px, py);
    if (start == kNone) return;
    for (uint32_t v : m_Triangles[start].v)
      if (m_X[v] == px && m_Y[v] == py) return;  // a repeated point adds nothing

    // The cavity: the triangles whose circumcircle holds the point, grown from the one that
    // contains it.
    const uint32_t epoch = ++m_Epoch;
    m_Bad.clear();
    m_Bad.push_back(start);
    m_Mark[start] = epoch;
    for (size_t i = 0; i < m_Bad.size(); ++i) {
      const Triangle& T = m_Triangles[m_Bad[i]];
      for (int e = 0; e < 3; ++e) {
        const int32_t nb = T.n[e];
        if (nb == kNone || m_Mark[nb] == epoch) continue;
        if (InCircle(m_Triangles[nb], px, py) > 0) {
          m_Mark[nb] = epoch;
          m_Bad.push_back(nb);
        }
      }
    }
    // Rounding can leave a boundary edge that does not face the point (nearly co-circular
    // points): the triangle beyond it joins the cavity, so that the cavity stays star-shaped
    // around the point and the new triangles are all counter-clockwise.
    for (bool grown = true; grown;) {
      grown = false;
      m_Boundary.clear();
      for (size_t i = 0; i < m_Bad.size(); ++i) {
        const Triangle& T = m_Triangles[m_Bad[i]];
        for (int e = 0; e < 3; ++e) {
          const int32_t nb = T.n[e];
          if (nb != kNone && m_Mark[nb] == epoch) continue;
          const uint32_t a = T.v[e], b = T.v[(e + 1) % 3];
          if (nb != kNone && Orient(a, b, px, py) <= 0) {
            m_Mark[nb] = epoch;
            m_Bad.push_back(nb);
            grown = true;
          } else {
            m_Boundary.push_back(BoundaryEdge{a, b, nb});
          }
        }
      }
    }

    // Join the cavity boundary to the point; the old slots are used again first.
    for (uint32_t t : m_Bad) m_Triangles[t].v[0] = kDead, m_Free.push_back(t);
    m_New.clear();
    for (const BoundaryEdge& edge : m_Boundary) {
      int32_t t;
      if (!m_Free.empty()) {
        t = static_cast<int32_t>(m_Free.back());
        m_Free.pop_back();
      } else {
        t = static_cast<int32_t>(m_Triangles.size());
        m_Triangles.push_back(Triangle());
        m_Mark.push_back(0);
      }
      m_Triangles[t] = Triangle{{edge.a, edge.b, p}, {edge.outside, kNone, kNone}};
      if (edge.outside != kNone) {
        Triangle& O = m_Triangles[edge.outside];
        for (int j = 0; j < 3; ++j)
          if (O.v[j] == edge.b && O.v[(j + 1) % 3] == edge.a) O.n[j] = t;
      }
      m_StartAt[edge.a] = t;
      m_New.push_back(t);
    }
    for (int32_t t : m_New) {
      const int32_t next = m_StartAt[m_Triangles[t].v[1]];
      m_Triangles[t].n[1] = next;
      if (next != kNone) m_Triangles[next].n[2] = t;
    }
    m_Last = m_New.empty() ? 0 : m_New.back();
  }

  unsigned m_N;
  std::vector<int64_t> m_X, m_Y;  // grid coordinates; the super-triangle's corners last
  std::vector<char> m_Finite;
  std::vector<Triangle> m_Triangles;
  std::vector<uint32_t> m_Mark;  // cavity membership, by insertion epoch
  std::vector<int32_t> m_StartAt;
  std::vector<uint32_t> m_Free;
  std::vector<int32_t> m_Bad, m_New;
  std::vector<BoundaryEdge> m_Boundary;
  uint32_t m_Epoch = 0;
  int32_t m_Last = 0;
};

// A small deterministic generator (splitmix64), so that the jitter depends only on the input.
uint64_t NextRandom(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

}  // namespace

bool EDelaunayTriangulate(const double* x, const double* y, unsigned n,
                          std::vector<uint32_t>& triangles) {
  if (n == 0 || x == nullptr || y == nullptr) return true;
  try {
    Triangulator triangulator(x, y, n);
    triangulator.Run(triangles);
    return true;
  } catch (const std::bad_alloc&) {
    ESetError(E_ERROR_ALLOCATION_FAILED);
    ETraceError("EDelaunayTriangulate");
    return false;
  } catch (const std::length_error&) {
    ESetError(E_ERROR_ALLOCATION_FAILED);
    ETraceError("EDelaunayTriangulate");
    return false;
  }
}

EDelaunayNeighbourTable::EDelaunayNeighbourTable(EWorld* world) : m_world(world) {
  const unsigned n = world != nullptr ? world->m_Landmark.GetNumElements() : 0;
  m_Offsets.assign(1, 0);
  try {
    std::vector<double> x(n), y(n);
    uint64_t state = 0x5EEDull ^ (static_cast<uint64_t>(n) << 20);
    for (unsigned i = 0; i < n; ++i) {
      const EPoint& p = world->m_Landmark[i].SensorPoint;
      const double jitter = (static_cast<double>(NextRandom(state) >> 11) * 0x1.0p-53 - 0.5) * 0.01;
      x[i] = p.GetX() + jitter, y[i] = p.GetY() + jitter;
    }
    std::vector<uint32_t> triangles;
    if (!EDelaunayTriangulate(x.data(), y.data(), n, triangles)) return;
    // Every triangle gives each of its corners the two others; lists are then sorted and
    // their repeats dropped.
    std::vector<uint32_t> offsets(n + 1, 0);
    for (uint32_t v : triangles) offsets[v + 1] += 2;
    for (unsigned i = 0; i < n; ++i) offsets[i + 1] += offsets[i];
    std::vector<uint32_t> all(offsets[n]);
    std::vector<uint32_t> fill(offsets.begin(), offsets.end() - 1);
    for (size_t t = 0; t + 2 < triangles.size(); t += 3) {
      const uint32_t a = triangles[t], b = triangles[t + 1], c = triangles[t + 2];
      all[fill[a]++] = b, all[fill[a]++] = c;
      all[fill[b]++] = a, all[fill[b]++] = c;
      all[fill[c]++] = a, all[fill[c]++] = b;
    }
    m_Offsets.assign(n + 1, 0);
    m_Neighbours.reserve(all.size() / 2 + 1);
    for (unsigned i = 0; i < n; ++i) {
      auto first = all.begin() + offsets[i], last = all.begin() + offsets[i + 1];
      std::sort(first, last);
      m_Neighbours.insert(m_Neighbours.end(), first, std::unique(first, last));
      m_Offsets[i + 1] = static_cast<uint32_t>(m_Neighbours.size());
    }
  } catch (const std::bad_alloc&) {
    m_Offsets.assign(1, 0);
    m_Neighbours.clear();
    ESetError(E_ERROR_ALLOCATION_FAILED);
    ETraceError("EDelaunayNeighbourTable");
  }
}

const uint32_t* EDelaunayNeighbourTable::GetNeighbours(unsigned landmarkIndex,
                                                       unsigned& count) const {
  // clang-format off
  if (m_world != nullptr) assert(landmarkIndex < m_world->m_Landmark.GetNumElements( ));
  // clang-format on
  count = 0;
  if (landmarkIndex >= GetNumLandmarks()) {
    ESetError(E_ERROR_INDEX_OUT_OF_RANGE);
    ETraceError("EDelaunayNeighbourTable::GetNeighbours");
    return nullptr;
  }
  count = m_Offsets[landmarkIndex + 1] - m_Offsets[landmarkIndex];
  return m_Neighbours.data() + m_Offsets[landmarkIndex];
}

std::string EDelaunayNeighbourTable::GetText() const {
  std::string text;
  char buffer[48];
  for (unsigned i = 0; i < GetNumLandmarks(); ++i) {
    std::snprintf(buffer, sizeof buffer, "landmark %d has neighbours : ", static_cast<int>(i));
    text += buffer;
    for (uint32_t k = m_Offsets[i]; k < m_Offsets[i + 1]; ++k) {
      std::snprintf(buffer, sizeof buffer, "%d ", static_cast<int>(m_Neighbours[k]));
      text += buffer;
    }
    text += "\r\n";
  }
  return text;
}

void EDelaunayNeighbourTable::Save(const char* path) const {
  FILE* f = path != nullptr ? std::fopen(path, "wb") : nullptr;
  if (f == nullptr) {
    ESetError(E_ERROR_CANNOT_OPEN_FILE);
    ETraceError("EDelaunayNeighbourTable::Save");
    return;
  }
  const std::string text = GetText();
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed) {
    ESetError(written ? E_ERROR_CLOSE_FAILED : E_ERROR_WRITE_FAILED);
    ETraceError("EDelaunayNeighbourTable::Save");
  }
}
