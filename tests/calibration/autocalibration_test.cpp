// Automatic calibration: rendered dot grids through known geometry, the grid walk, the mode
// search, bad input, and the real targets.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <vector>

#include "calibration_test_support.h"

using namespace calibration_test;

namespace {

// Dark discs of the given radius on a light background, 4 x 4 supersampled.
EImage<EBW8> Render(int w, int h, const std::vector<EPoint>& dots, double radius) {
  std::vector<float> cover(static_cast<size_t>(w) * h, 0);
  for (const EPoint& d : dots) {
    const int x0 = std::max(0, static_cast<int>(d.GetX() - radius - 1));
    const int x1 = std::min(w - 1, static_cast<int>(d.GetX() + radius + 1));
    const int y0 = std::max(0, static_cast<int>(d.GetY() - radius - 1));
    const int y1 = std::min(h - 1, static_cast<int>(d.GetY() + radius + 1));
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x)
        for (int s = 0; s < 16; ++s) {
          const double px = x - 0.5 + (s % 4 + 0.5) / 4 - d.GetX();
          const double py = y - 0.5 + (s / 4 + 0.5) / 4 - d.GetY();
          if (px * px + py * py < radius * radius) cover[y * w + x] += 1.0f / 16;
        }
  }
  EImage<EBW8> image(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      *image.GetImagePtr(x, y) =
          static_cast<EBW8>(std::lround(220 - 180 * std::min(1.0f, cover[y * w + x])));
  return image;
}

// The dots of an n x m lattice, (i, j) placed by `place`, i to the right and j down.
std::vector<EPoint> Lattice(int n, int m, const std::function<EPoint(double, double)>& place) {
  std::vector<EPoint> dots;
  for (int j = 0; j < m; ++j)
    for (int i = 0; i < n; ++i) dots.push_back(place(i - (n - 1) / 2.0, j - (m - 1) / 2.0));
  return dots;
}

// An upright n x m lattice of the given pitch centred on (cx, cy).
std::vector<EPoint> Square(int n, int m, double cx, double cy, double pitch) {
  return Lattice(n, m, [=](double i, double j) {
    return EPoint(static_cast<float>(cx + pitch * i), static_cast<float>(cy + pitch * j));
  });
}

int FindLandmark(EWorld& w, EPoint sensor) {
  for (unsigned i = 0; i < w.GetNumLandmarks(); ++i)
    if ((w.GetLandmark(i).SensorPoint - sensor).Modulus() < 0.5f) return static_cast<int>(i);
  return -1;
}

}  // namespace

TEST_F(WorldTest, DotGridsThroughKnownGeometry) {
  const double kDeg = kPi / 180;
  struct Case {
    const char* name;
    int n, m;
    std::function<EPoint(double, double)> place;
    unsigned int mustHave;  // modes the chosen calibration includes
  };
  auto affine = [](double a, double b, double c, double d) {
    return [=](double i, double j) {
      return EPoint(static_cast<float>(160 + a * i + b * j),
                    static_cast<float>(120 + c * i + d * j));
    };
  };
  const double c30 = std::cos(30 * kDeg) * 14, s30 = std::sin(30 * kDeg) * 14;
  const Case cases[] = {
      {"perfect 5 x 5", 5, 5, affine(10, 0, 0, 10), E_CALIBRATION_SCALED},
      {"rotated 30 degrees", 7, 7, affine(c30, -s30, s30, c30), E_CALIBRATION_SKEWED},
      {"sheared", 9, 7, affine(16, 5, 0, 15), E_CALIBRATION_SKEWED},
      {"barrel", 15, 11,
       [](double i, double j) {
         const double x = 16 * i, y = 16 * j, f = 1 - 2.5e-6 * (x * x + y * y);
         return EPoint(static_cast<float>(160 + f * x), static_cast<float>(120 + f * y));
       },
       E_CALIBRATION_RADIAL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EImage<EBW8> image = Render(320, 240, Lattice(c.n, c.m, c.place), 3.2);
    EWorld w;
    w.SetSensorSize(320, 240);
    const unsigned int modes = w.AutoCalibrateDotGrid(&image, 1, 1, 0);
    EXPECT_EQ(EGetError(), E_OK);
    EXPECT_EQ(w.GetNumLandmarks(), static_cast<unsigned>(c.n * c.m));
    EXPECT_GE(w.GetMatchedCount() + 1, static_cast<unsigned>(c.n * c.m));
    EXPECT_EQ(modes & c.mustHave, c.mustHave) << std::hex << modes;
    EXPECT_EQ(w.CalibrationSucceeded(), 1);
    // The origin is the centre dot at world (0, 0); the dot right of it is (1, 0), the one
    // below it (0, -1); every matched dot maps back to its lattice position.
    const int origin = w.GetOriginLandmark();
    ASSERT_EQ(origin, FindLandmark(w, c.place(0, 0)));
    EXPECT_EQ(w.GetLandmark(origin).WorldPoint, EPoint(0, 0));
    EXPECT_EQ(w.GetLandmark(FindLandmark(w, c.place(1, 0))).WorldPoint, EPoint(1, 0));
    EXPECT_EQ(w.GetLandmark(FindLandmark(w, c.place(0, 1))).WorldPoint, EPoint(0, -1));
    for (int j = -2; j <= 2; ++j)
      for (int i = -2; i <= 2; ++i) {
        const EPoint sensor =
            w.WorldToSensor(EPoint(static_cast<float>(i), static_cast<float>(-j)));
        EXPECT_LT((sensor - c.place(i, j)).Modulus(), 0.05f) << i << ", " << j;
      }
  }
}

TEST_F(WorldTest, StraysAndGapsStayOutOfTheGrid) {
  std::vector<EPoint> dots = Square(9, 7, 150, 110, 12);
  dots.erase(dots.begin() + 3);                              // a missing dot on the top row
  dots.erase(dots.begin() + 40);                             // and one inside
  dots.push_back(EPoint(150 + 12 * 1.5f, 110 + 12 * 0.5f));  // a stray between four dots
  EImage<EBW8> image = Render(300, 220, dots, 3);
  EWorld w;
  w.SetSensorSize(300, 220);
  w.AutoCalibrateDotGrid(&image, 2, 2, 0);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(w.GetNumLandmarks(), 62u);
  const int stray = FindLandmark(w, dots.back());
  ASSERT_GE(stray, 0);
  EXPECT_EQ(w.GetLandmark(stray).Matched, 0);
  EXPECT_GE(w.GetMatchedCount(), 60u);
  EXPECT_EQ(w.CalibrationSucceeded(), 1);
  EXPECT_NEAR(w.GetXResolution(), 6, 0.01);  // pixels per world unit at a 2-unit pitch
}

TEST_F(WorldTest, GridWalkRules) {
  // Two landmarks: the second is matched, not the origin.
  EWorld two;
  two.AddPoint(EPoint(10, 10));
  two.AddPoint(EPoint(20, 11));
  EXPECT_EQ(two.RebuildGrid(1, 1, 0xFFFFFFFFu, EPoint(0, 0), 1), 1u);
  EXPECT_EQ(two.GetLandmark(1).WorldPoint, EPoint(1, 0));
  EXPECT_EQ(two.GetLandmark(0).Neighbour[0], 1);
  // An exact diagonal first step: no way in.
  EWorld diagonal;
  diagonal.AddPoint(EPoint(0, 0));
  diagonal.AddPoint(EPoint(5, 5));
  diagonal.AddPoint(EPoint(20, 30));
  EXPECT_EQ(diagonal.RebuildGrid(1, 1, 0, EPoint(0, 0), 1), 0u);
  // A 4 x 4 grid from an explicit corner origin, world Y down (direct 0) and a given origin.
  EWorld grid;
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i) grid.AddPoint(EPoint(100 + 20.0f * i, 50 + 20.0f * j));
  // The walk comes back to the origin through the dot below it, and matches it then.
  EXPECT_EQ(grid.RebuildGrid(0.5f, 2, 0, EPoint(3, 4), 0), 16u);
  EXPECT_EQ(grid.GetOriginLandmark(), 0);
  EXPECT_EQ(grid.GetLandmark(15).WorldPoint, EPoint(4.5f, 10));
  EXPECT_EQ(grid.GetLandmark(0).WorldPoint, EPoint(3, 4));
  EXPECT_EQ(grid.GetLandmark(5).Neighbour[2], 4);
  EXPECT_EQ(grid.GetGridPitchX(), 0.5f);
  // Refusals change nothing: bad pitches (32767), an origin past the last landmark (1011).
  for (float pitch : {0.0f, -1.0f, kNaN, kInf}) {
    EOk();
    EXPECT_EQ(grid.RebuildGrid(pitch, 1, 0xFFFFFFFFu, EPoint(0, 0), 1), 16u);
    EXPECT_EQ(EGetError(), E_ERROR_INVALID_PARAMETER);
  }
  EOk();
  grid.RebuildGrid(1, 1, 16, EPoint(0, 0), 1);
  EXPECT_EQ(EGetError(), E_ERROR_INDEX_OUT_OF_RANGE);
  EXPECT_EQ(grid.GetOriginLandmark(), 0);
  // With fewer than two landmarks no origin is taken, so any index passes.
  EOk();
  EWorld none;
  EXPECT_EQ(none.RebuildGrid(2, 3, 0, EPoint(0, 0), 1), 0u);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(none.GetGridPitchY(), 3.0f);
  EXPECT_EQ(none.GetOriginLandmark(), -1);
}

TEST_F(WorldTest, ModeSearchOrderBestAndTies) {
  // Landmarks through a quadratic warp: only the quadratic model fits them exactly, and it is
  // tried only on request.
  auto warp = [](float x, float y) {
    return EPoint(300 + 9 * x + 0.4f * x * x, 200 - 9 * y + 0.3f * x * y);
  };
  EWorld w;
  for (int j = -4; j <= 4; ++j)
    for (int i = -4; i <= 4; ++i)
      w.AddLandmark(warp(i, j), EPoint(static_cast<float>(i), static_cast<float>(j)));
  w.SetSensorSize(640, 480);
  EXPECT_EQ(w.AutoCalibrateLandmarks(0) & E_CALIBRATION_QUADRATIC, 0u);
  const float without = w.GetGridPointsMeanVariation();
  EXPECT_EQ(w.AutoCalibrateLandmarks(1) & E_CALIBRATION_QUADRATIC, E_CALIBRATION_QUADRATIC);
  EXPECT_LT(w.GetGridPointsMeanVariation(), without);  // the quadratic trial comes last
  EXPECT_EQ(EGetError(), E_OK);
  // A plain scale with an exactly representable fit: every family scores 0 and the first one
  // tried, "scaled", is kept.
  EWorld plain;
  for (int j = -2; j <= 2; ++j)
    for (int i = -2; i <= 2; ++i)
      plain.AddLandmark(EPoint(64 + 4.0f * i, 64 - 4.0f * j),
                        EPoint(static_cast<float>(i), static_cast<float>(j)));
  plain.SetGridPitch(1, 1);
  EXPECT_EQ(plain.AutoCalibrate(0) & ~E_CALIBRATION_INVERSE, E_CALIBRATION_SCALED);
  EXPECT_EQ(plain.GetGridPointsMaxVariation(), 0);
}

TEST_F(WorldTest, DotGridBadInput) {
  // Refused pitches and a null region: 32767, nothing changed. No dot, one dot, two dots, a
  // void region: no landmark to calibrate with, 12014.
  EImage<EBW8> grid = Render(100, 80, Square(4, 3, 50, 40, 10), 3);
  EImage<EBW8> uniform = Render(100, 80, {}, 3), none;
  EImage<EBW8> one = Render(100, 80, {EPoint(50, 40)}, 3);
  EImage<EBW8> two = Render(100, 80, {EPoint(50, 40), EPoint(60, 40)}, 3);
  struct Case {
    EImage<EBW8>* image;
    float pitchX, pitchY;
    E_ERRORS error;
    unsigned landmarks;
  } cases[] = {
      {&grid, 0, 1, E_ERROR_INVALID_PARAMETER, 0},   {&grid, 1, kNaN, E_ERROR_INVALID_PARAMETER, 0},
      {&grid, -1, 1, E_ERROR_INVALID_PARAMETER, 0},  {&grid, kInf, 1, E_ERROR_INVALID_PARAMETER, 0},
      {nullptr, 1, 1, E_ERROR_INVALID_PARAMETER, 0}, {&uniform, 1, 1, E_ERROR_TOO_FEW_LANDMARKS, 0},
      {&one, 1, 1, E_ERROR_TOO_FEW_LANDMARKS, 1},    {&two, 1, 1, E_ERROR_TOO_FEW_LANDMARKS, 2},
      {&none, 1, 1, E_ERROR_TOO_FEW_LANDMARKS, 0}};
  for (const Case& c : cases) {
    EWorld w;
    EOk();
    w.AutoCalibrateDotGrid(c.image, c.pitchX, c.pitchY, 0);
    EXPECT_EQ(EGetError(), c.error) << c.landmarks << " " << c.pitchX << " " << c.pitchY;
    EXPECT_EQ(w.GetNumLandmarks(), c.landmarks);
    EXPECT_EQ(w.GetCalibrationModes(), unsigned(E_CALIBRATION_RAW));
    EXPECT_LE(w.GetOriginLandmark(), 0);
  }
  EOk();
  // About 20 000 dots: found, walked and calibrated (the time it takes is benchmarked).
  EImage<EBW8> dense = Render(1440, 1440, Square(141, 141, 720, 720, 10), 2.6);
  EWorld big;
  big.SetSensorSize(1440, 1440);
  big.AutoCalibrateDotGrid(&dense, 1, 1, 0);
  EXPECT_EQ(EGetError(), E_OK);
  EXPECT_EQ(big.GetNumLandmarks(), 141u * 141u);
  EXPECT_GE(big.GetMatchedCount() + 1, 141u * 141u);
}

TEST_F(WorldTest, RealDotTargets) {
  struct Target {
    const char* file;
    unsigned matched;  // 0: at least one calibration, no count asked
    bool calibrated;   // within the default thresholds
    unsigned int mustHave;
  };
  const Target targets[] = {
      {"calib/boofcv_circle_regular/image00000.pgm", 80, true, 0},
      {"calib/boofcv_circle_regular/image00001.pgm", 80, true, 0},
      {"calib/boofcv_circle_regular/image00002.pgm", 80, true, 0},
      {"calib/boofcv_circle_regular/image00003.pgm", 80, true, 0},
      {"calib/boofcv_circle_regular/image00004.pgm", 80, true, E_CALIBRATION_SKEWED},
      {"calib/boofcv_circle_regular/image00005.pgm", 80, true, 0},
      {"calib/discorpy/dot_pattern_05_grid20x15_crop301x226_at498_280.pgm", 300, true, 0},
      {"calib/discorpy/dot_pattern_01_grid40x30_crop1071x803_at769_688.pgm", 1200, true,
       E_CALIBRATION_RADIAL},
      {"calib/discorpy/GoPro8_dot_pattern_quarter.pgm", 0, false, E_CALIBRATION_RADIAL},
      {"calib/discorpy/dot_pattern_05.pgm", 0, false, 0},
      {"calib/boofcv_circle_hexagonal/image01.pgm", 0, false, 0},  // not a square lattice
  };
  int found = 0;
  for (const Target& t : targets) {
    const std::string path = vimo_test::DataFile(t.file);
    if (path.empty()) continue;
    ++found;
    SCOPED_TRACE(t.file);
    EImage<EBW8> image;
    image.Load(path.c_str());
    ASSERT_EQ(EGetError(), E_OK);
    EWorld w;
    w.SetSensorSize(image.GetWidth(), image.GetHeight());
    const unsigned int modes = w.AutoCalibrateDotGrid(&image, 1, 1, 0);
    EXPECT_EQ(EGetError(), E_OK);
    if (t.matched != 0) {
      EXPECT_EQ(w.GetNumLandmarks(), t.matched);
      EXPECT_GE(w.GetMatchedCount() + 1, t.matched);
    } else {
      EXPECT_GT(w.GetMatchedCount(), 100u);
    }
    if (t.calibrated) {
      EXPECT_EQ(w.CalibrationSucceeded(), 1);
    }
    EXPECT_EQ(modes & t.mustHave, t.mustHave) << std::hex << modes;
  }
  if (found == 0) GTEST_SKIP() << "no dot targets in " << vimo_test::DataDir();
}

TEST_F(WorldTest, ModeSearchKeepsTheStatisticsOfItsLastTrial) {
  // Noisy landmarks: the kept model is not the last one tried, and the statistics after the
  // search are those computed for the last trial, not recomputed for the kept model.
  EWorld w;
  for (int j = -4; j <= 4; ++j)
    for (int i = -4; i <= 4; ++i)
      w.AddLandmark(EPoint(static_cast<float>(300 + 9 * i + 0.3 * std::sin(7 * i + 3 * j)),
                           static_cast<float>(200 - 9 * j + 0.3 * std::cos(5 * i - 2 * j))),
                    EPoint(static_cast<float>(i), static_cast<float>(j)));
  w.SetSensorSize(640, 480);
  const unsigned int kept = w.AutoCalibrateLandmarks(0);
  EXPECT_EQ(EGetError(), E_OK);
  EWorld last(w), same(w);
  last.Calibrate(0x007C);
  last.ComputeCalibrationQualityIndicators();
  same.ComputeCalibrationQualityIndicators();
  EXPECT_NE(kept & 0x00FF, 0x007Cu) << std::hex << kept;
  EXPECT_NE(same.GetGridPointsMeanVariation(), last.GetGridPointsMeanVariation());
  EXPECT_FLOAT_EQ(w.GetGridPointsMeanVariation(), last.GetGridPointsMeanVariation());
  EXPECT_FLOAT_EQ(w.GetGridPointsMaxVariation(), last.GetGridPointsMaxVariation());
}
