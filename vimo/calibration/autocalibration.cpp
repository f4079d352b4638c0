// Automatic calibration: the dots of a grid target become landmarks, a walk over their
// Delaunay neighbours gives each reachable dot its world position, and the calibration modes
// are tried in turn to keep the best.
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <vector>

#include "vimo/calibration/vexlor_delaunaytriangulation.h"
#include "vimo/calibration/world.h"
#include "vimo/core/codedimage.h"

namespace {

bool PositiveFinite(float value) { return std::isfinite(value) && value > 0; }

// One edge of the grid walk, kept on an explicit stack so that grids of any size are walked
// without deep recursion.
struct WalkFrame {
  unsigned from, to;
  int direction;     // 0 +X, 1 and 3 the two Y directions, 2 -X
  int direct;        // non-zero: sensor +Y is world -Y
  unsigned resume;   // next position in the neighbour list of `to`
  double dx, dy, q;  // the step from `from` to `to`, and its squared length
  long i, j;         // lattice position of the candidate under test
  bool started;
};

// Rounded lattice coordinate; false when the value is out of any sensible range (a NaN, or a
// candidate far beyond the step), which a cast to an integer could not hold.
bool Round(double value, long& rounded) {
  if (!(std::fabs(value) < 1e6)) return false;
  rounded = static_cast<long>(std::floor(value + 0.5));
  return true;
}

// On real targets small clutter (specks of noise, holes in a clip, print marks) can outnumber
// the dots, and then the three-sigma size rule keeps it. The dots hold most of the area of the
// selected objects: keep the class holding most of that area, then the objects within a factor
// of kDotSizeRange of the area-weighted median area (the size of a typical dot however many
// specks there are; the factor leaves room for the perspective of a tilted target), and last
// the objects no more elongated than a dot seen at a steep angle (board edges, lines of print).
const double kDotSizeRange = 3.5;
const float kDotMaxElongation = 3;

void SelectDots(ECodedImage& coded) {
  std::vector<std::pair<double, int>> objects;  // area, class
  double classArea[2] = {0, 0};
  for (ECodedObject* o = coded.GetFirstObjPtr(); o != nullptr; o = coded.GetNextObjPtr(o)) {
    objects.emplace_back(static_cast<double>(o->Area), o->Class);
    classArea[o->Class == coded.GetBlackClass() ? 0 : 1] += static_cast<double>(o->Area);
  }
  if (objects.empty()) return;
  const int dotClass = classArea[0] >= classArea[1] ? coded.GetBlackClass() : coded.GetWhiteClass();
  coded.SelectObjectsUsingFeature(E_FEATURE_CLASS, static_cast<float>(dotClass),
                                  static_cast<float>(dotClass), E_SELECT_KEEP_INSIDE);
  std::sort(objects.begin(), objects.end());
  double total = 0, running = 0, median = 0;
  for (const auto& o : objects)
    if (o.second == dotClass) total += o.first;
  for (const auto& o : objects) {
    if (o.second != dotClass) continue;
    running += o.first;
    if (running >= 0.5 * total) {
      median = o.first;
      break;
    }
  }
  coded.SelectObjectsUsingFeature(E_FEATURE_AREA, static_cast<float>(median / kDotSizeRange),
                                  static_cast<float>(median * kDotSizeRange), E_SELECT_KEEP_INSIDE);
  coded.SelectObjectsUsingFeature(E_FEATURE_ELONGATION, 0, kDotMaxElongation, E_SELECT_KEEP_INSIDE);
}

}  // namespace

unsigned int EWorld::RebuildGrid(float pitchX, float pitchY, unsigned int origin,
                                 EPoint originWorld, int direct) {
  const unsigned count = m_Landmark.GetNumElements();
  if (!PositiveFinite(pitchX) || !PositiveFinite(pitchY) || !std::isfinite(originWorld.GetX()) ||
      !std::isfinite(originWorld.GetY())) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("EWorld::RebuildGrid");
    return m_un32MatchedCount;
  }
  // An explicit origin must be a landmark; with fewer than two landmarks none is taken.
  if (origin != 0xFFFFFFFFu && origin >= count && count >= 2) {
    ESetError(E_ERROR_INDEX_OUT_OF_RANGE);
    ETraceError("EWorld::RebuildGrid");
    return m_un32MatchedCount;
  }
  EDelaunayNeighbourTable table(this);
  m_f32GridPitchX = pitchX, m_f32GridPitchY = pitchY;
  m_un32MatchedCount = 0;
  ELandmark* marks = m_Landmark.GetDataPtr();
  for (unsigned i = 0; i < count; ++i) {
    marks[i].Matched = 0;
    for (int& n : marks[i].Neighbour) n = -1;
  }
  if (count < 2 || table.GetNumLandmarks() != count) {
    m_n32OriginLandmark = -1;
    return m_un32MatchedCount;
  }

  // The origin, and its nearest other landmark (first in index order on ties).
  auto squaredDistance = [marks](unsigned a, EPoint p) {
    const double dx = static_cast<double>(marks[a].SensorPoint.GetX()) - p.GetX();
    const double dy = static_cast<double>(marks[a].SensorPoint.GetY()) - p.GetY();
    return dx * dx + dy * dy;
  };
  auto nearest = [&](EPoint p, unsigned skip) {
    unsigned best = skip == 0 ? 1 : 0;
    for (unsigned i = 0; i < count; ++i)
      if (i != skip && squaredDistance(i, p) < squaredDistance(best, p)) best = i;
    return best;
  };
  if (origin == 0xFFFFFFFFu) origin = nearest(SensorPointsGravityCenter(), count);
  m_n32OriginLandmark = static_cast<int>(origin);
  const unsigned second = nearest(marks[origin].SensorPoint, origin);
  const double dx =
      static_cast<double>(marks[second].SensorPoint.GetX()) - marks[origin].SensorPoint.GetX();
  const double dy =
      static_cast<double>(marks[second].SensorPoint.GetY()) - marks[origin].SensorPoint.GetY();
  marks[origin].WorldPoint = originWorld;
  int first;
  if (dx > std::fabs(dy))
    first = 0;
  else if (dy > std::fabs(dx))
    first = 1;
  else if (-dx > std::fabs(dy))
    first = 2;
  else if (-dy > std::fabs(dx))
    first = 3;
  else
    return m_un32MatchedCount;  // an exact diagonal (or a repeated point): no way in

  const double ySign = direct ? -1.0 : 1.0;
  const double offset[4][2] = {
      {pitchX, 0}, {0, ySign * pitchY}, {-pitchX, 0}, {0, -ySign * pitchY}};
  std::vector<WalkFrame> stack;
  stack.reserve(1024);
  stack.push_back(WalkFrame{origin, second, first, direct, 0, 0, 0, 0, 0, 0, false});
  while (!stack.empty()) {
    WalkFrame& f = stack.back();
    ELandmark& to = marks[f.to];
    if (!f.started) {
      f.started = true;
      marks[f.from].Neighbour[f.direction] = static_cast<int>(f.to);
      if (to.Matched) {
        stack.pop_back();
        continue;
      }
      const EPoint& w = marks[f.from].WorldPoint;
      to.WorldPoint = EPoint(static_cast<float>(w.GetX() + offset[f.direction][0]),
                             static_cast<float>(w.GetY() + offset[f.direction][1]));
      to.Matched = 1;
      ++m_un32MatchedCount;
      f.dx = static_cast<double>(to.SensorPoint.GetX()) - marks[f.from].SensorPoint.GetX();
      f.dy = static_cast<double>(to.SensorPoint.GetY()) - marks[f.from].SensorPoint.GetY();
      f.q = f.dx * f.dx + f.dy * f.dy;
    }
    // The next candidate at one step ahead, left or right in the local lattice.
    unsigned n = 0;
    const uint32_t* neighbours = table.GetNeighbours(f.to, n);
    int childDirection = -1;
    unsigned child = 0;
    while (childDirection < 0 && f.resume < n && f.q > 0) {
      child = neighbours[f.resume++];
      const double ex =
          static_cast<double>(marks[child].SensorPoint.GetX()) - to.SensorPoint.GetX();
      const double ey =
          static_cast<double>(marks[child].SensorPoint.GetY()) - to.SensorPoint.GetY();
      if (!Round((ex * f.dx + ey * f.dy) / f.q, f.i) || !Round((-ex * f.dy + ey * f.dx) / f.q, f.j))
        continue;
      if (f.i == 1 && f.j == 0)
        childDirection = f.direction;
      else if (f.i == 0 && f.j == 1)
        childDirection = (f.direction + 1) % 4;
      else if (f.i == 0 && f.j == -1)
        childDirection = (f.direction + 3) % 4;
    }
    if (childDirection < 0) {
      stack.pop_back();
      continue;
    }
    const unsigned from = f.to;
    stack.push_back(WalkFrame{from, child, childDirection, direct, 0, 0, 0, 0, 0, 0, false});
  }
  return m_un32MatchedCount;
}

unsigned int EWorld::SearchModes(int withQuadratic, bool relativeToPitch, const char* name) {
  static const unsigned int kModes[] = {0x0004, 0x000C, 0x0014, 0x001C, 0x0034, 0x003C,
                                        0x0054, 0x005C, 0x0074, 0x007C, 0x0200};
  const unsigned trials = withQuadratic ? 11 : 10;
  unsigned int best = 0x0004;
  float bestScore = FLT_MAX;
  auto statistics = [this, relativeToPitch]() {
    if (relativeToPitch)
      CalibrationSucceeded();
    else
      ComputeCalibrationQualityIndicators();
  };
  // Each trial starts from a clear error state, so that one failing family does not mark the
  // whole search as failed; a trial that reports an error cannot win. The statistics are left
  // as the last trial computed them.
  bool won = false;
  for (unsigned t = 0; t < trials; ++t) {
    EOk();
    Calibrate(kModes[t]);
    const bool failed = EGetError() != E_OK;
    statistics();
    const float score = 3 * GetGridPointsMeanVariation() + GetGridPointsMaxVariation();
    if (!failed && EGetError() == E_OK && score < bestScore)
      best = kModes[t], bestScore = score, won = true;
  }
  // When every trial failed, the last error stands.
  if (won) EOk();
  Calibrate(best);
  if (EGetError() != E_OK) ETraceError(name);
  return m_un32CalibrationModes;
}

unsigned int EWorld::AutoCalibrate(int withQuadratic) {
  return SearchModes(withQuadratic, true, "EWorld::AutoCalibrate");
}

unsigned int EWorld::AutoCalibrateLandmarks(int withQuadratic) {
  return SearchModes(withQuadratic, false, "EWorld::AutoCalibrateLandmarks");
}

unsigned int EWorld::AutoCalibrateDotGrid(EROI<EBW8>* roi, float pitchX, float pitchY,
                                          int withQuadratic) {
  EOk();  // the error state on return tells about this call only
  if (roi == nullptr || !PositiveFinite(pitchX) || !PositiveFinite(pitchY)) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("EWorld::AutoCalibrateDotGrid");
    return m_un32CalibrationModes;
  }
  // The dots: objects clear of the region's border whose size lies within three standard
  // deviations of the mean size.
  ECodedImage coded;
  coded.SetBlackClass(1);
  coded.SetWhiteClass(2);
  coded.BuildObjects(roi);
  coded.SelectAllObjects();
  coded.SelectObjectsUsingPosition(roi, E_POSITION_INSIDE_NOT_BORDER);
  coded.AnalyseObjects(E_FEATURE_AREA, 0);
  float mean = 0, deviation = 0;
  coded.FeatureDeviation(E_FEATURE_AREA, mean, deviation);
  // When nearly every dot has the same pixel count the deviation is tiny, and three of it
  // would drop a sound dot a few pixels bigger or smaller: the margin is at least half the mean.
  const float margin = std::max(3 * deviation, 0.5f * mean);
  coded.SelectObjectsUsingFeature(E_FEATURE_AREA, std::floor(mean - margin),
                                  std::ceil(mean + margin), E_SELECT_KEEP_INSIDE);
  SelectDots(coded);
  coded.AnalyseObjects(E_FEATURE_GRAVITY_CENTER_X, E_FEATURE_GRAVITY_CENTER_Y, 0);
  if (EGetError() != E_OK) {
    ETraceError("EWorld::AutoCalibrateDotGrid");
    return m_un32CalibrationModes;
  }

  EmptyLandmarks();
  for (ECodedObject* o = coded.GetFirstObjPtr(); o != nullptr; o = coded.GetNextObjPtr(o)) {
    float x = 0, y = 0;
    coded.GetObjectFeature(E_FEATURE_GRAVITY_CENTER_X, o, x);
    coded.GetObjectFeature(E_FEATURE_GRAVITY_CENTER_Y, o, y);
    AddPoint(EPoint(x, y));
  }
  RebuildGrid(pitchX, pitchY, 0xFFFFFFFFu, EPoint(0, 0), 1);
  const unsigned int modes = AutoCalibrate(withQuadratic);
  if (EGetError() != E_OK) ETraceError("EWorld::AutoCalibrateDotGrid");
  return modes;
}
