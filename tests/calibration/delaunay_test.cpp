// Delaunay triangulation against a brute-force empty-circumcircle check, and the landmark
// neighbour table with its diagnostic text.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "calibration_test_support.h"
#include "vimo/calibration/vexlor_delaunaytriangulation.h"

using namespace calibration_test;

TEST(Delaunay, TrianglesHaveEmptyCircumcircles) {
  std::mt19937 random(3);
  // Every set lies in the square [0, 110] x [0, 80] with its four corners: the triangles
  // must cover that square exactly.
  struct Set {
    const char* name;
    std::vector<double> x, y;
  };
  auto corners = [](Set s) {
    s.x.insert(s.x.end(), {0, 110, 110, 0}), s.y.insert(s.y.end(), {0, 0, 80, 80});
    return s;
  };
  std::uniform_real_distribution<double> ux(0, 110), uy(0, 80);
  std::vector<Set> sets;
  for (int n : {0, 10, 300}) {
    Set s{"random", {}, {}};
    for (int i = 0; i < n; ++i) s.x.push_back(ux(random)), s.y.push_back(uy(random));
    sets.push_back(corners(s));
  }
  Set grid{"co-circular grid", {}, {}};
  for (int i = 0; i < 12; ++i)
    for (int j = 0; j < 9; ++j) grid.x.push_back(i * 10.0), grid.y.push_back(j * 10.0);
  sets.push_back(corners(grid));
  Set repeats = sets.back();
  repeats.name = "grid with repeats and a NaN";
  for (int i = 0; i < 20; ++i)
    repeats.x.push_back(grid.x[i * 5]), repeats.y.push_back(grid.y[i * 5]);
  repeats.x.push_back(kNaN), repeats.y.push_back(1);
  sets.push_back(repeats);

  for (const Set& s : sets) {
    const unsigned n = static_cast<unsigned>(s.x.size());
    std::vector<uint32_t> tri;
    ASSERT_TRUE(EDelaunayTriangulate(s.x.data(), s.y.data(), n, tri)) << s.name;
    ASSERT_EQ(tri.size() % 3, 0u);
    double area = 0;
    for (size_t t = 0; t < tri.size(); t += 3) {
      const uint32_t a = tri[t], b = tri[t + 1], c = tri[t + 2];
      ASSERT_TRUE(a < n && b < n && c < n);
      const double ax = s.x[a], ay = s.y[a], bx = s.x[b], by = s.y[b], cx = s.x[c], cy = s.y[c];
      const double twice = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
      EXPECT_GT(twice, 0) << s.name << ": counter-clockwise";
      area += twice / 2;
      // Circumcentre and radius, then no point strictly inside.
      const double d = 2 * twice;
      const double ux = ((ax * ax + ay * ay) * (by - cy) + (bx * bx + by * by) * (cy - ay) +
                         (cx * cx + cy * cy) * (ay - by)) /
                        d;
      const double uy = ((ax * ax + ay * ay) * (cx - bx) + (bx * bx + by * by) * (ax - cx) +
                         (cx * cx + cy * cy) * (bx - ax)) /
                        d;
      const double r2 = (ax - ux) * (ax - ux) + (ay - uy) * (ay - uy);
      for (unsigned p = 0; p < n; ++p) {
        if (!std::isfinite(s.x[p])) continue;
        const double d2 = (s.x[p] - ux) * (s.x[p] - ux) + (s.y[p] - uy) * (s.y[p] - uy);
        EXPECT_GE(d2, r2 * (1 - 1e-9)) << s.name << ": point " << p << " in triangle " << t / 3;
      }
    }
    EXPECT_NEAR(area, 110.0 * 80.0, 1e-6) << s.name << ": the square is covered";
  }
  std::vector<uint32_t> none;
  const double one = 1;
  EXPECT_TRUE(EDelaunayTriangulate(&one, &one, 1, none));
  EXPECT_TRUE(EDelaunayTriangulate(nullptr, nullptr, 0, none));
  EXPECT_TRUE(none.empty());
}

TEST_F(WorldTest, NeighbourTableAndItsText) {
  // A unit square with its centre: the centre neighbours every corner, each corner the centre
  // and its two sides' corners.
  EWorld w;
  const float p[5][2] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {5, 5}};
  for (const auto& q : p) w.AddPoint(EPoint(q[0], q[1]));
  EDelaunayNeighbourTable table(&w);
  const std::string text =
      "landmark 0 has neighbours : 1 3 4 \r\nlandmark 1 has neighbours : 0 2 4 \r\n"
      "landmark 2 has neighbours : 1 3 4 \r\nlandmark 3 has neighbours : 0 2 4 \r\n"
      "landmark 4 has neighbours : 0 1 2 3 \r\n";
  EXPECT_EQ(table.GetText(), text);
  const std::string path = vimo_test::ScratchPath("neighbours.txt");
  table.Save(path.c_str());
  const std::vector<uint8_t> bytes = vimo_test::ReadFileBytes(path);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), text);
  table.Save("/nonexistent-folder/neighbours.txt");
  EXPECT_EQ(EGetError(), E_ERROR_CANNOT_OPEN_FILE);
  EOk();

  // Repeated points stay apart through the jitter, and the jitter does not follow rand().
  EWorld twice;
  for (int k = 0; k < 2; ++k)
    for (const auto& q : p) twice.AddPoint(EPoint(q[0], q[1]));
  std::srand(1);
  const std::string first = EDelaunayNeighbourTable(&twice).GetText();
  std::srand(12345);
  EXPECT_EQ(EDelaunayNeighbourTable(&twice).GetText(), first);
  unsigned count = 0;
  EDelaunayNeighbourTable(&twice).GetNeighbours(9, count);
  EXPECT_GE(count, 3u);

  EWorld empty;
  EXPECT_EQ(EDelaunayNeighbourTable(&empty).GetText(), "");
}

TEST_F(WorldTest, PerfectGridsKeepEveryDot) {
  // The jitter moves every point along the diagonal, so the dots of a perfect grid stay
  // exactly collinear along the diagonals: a dot that rounding puts on both sides of an edge
  // must still be inserted, keep its neighbours and be reached by the walk.
  struct Grid {
    int n, m;
    float pitch;
  };
  for (const Grid& g : {Grid{11, 9, 7}, Grid{21, 19, 7}, Grid{33, 14, 7}, Grid{19, 21, 10}}) {
    EWorld w;
    for (int j = 0; j < g.m; ++j)
      for (int i = 0; i < g.n; ++i) w.AddPoint(EPoint(20 + g.pitch * i, 30 + g.pitch * j));
    EDelaunayNeighbourTable table(&w);
    for (unsigned k = 0; k < w.GetNumLandmarks(); ++k) {
      unsigned count = 0;
      table.GetNeighbours(k, count);
      EXPECT_GE(count, 2u) << g.n << " x " << g.m << ", landmark " << k;
    }
    EXPECT_GE(w.RebuildGrid(1, 1, 0xFFFFFFFFu, EPoint(0, 0), 1) + 1,
              static_cast<unsigned>(g.n * g.m))
        << g.n << " x " << g.m;
  }
  EXPECT_EQ(EGetError(), E_OK);
}
