#include "vimo/core/codedimage.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// Otsu's threshold: the first white grey level that maximises the between-class variance;
// when a range of levels ties (empty bins between the classes), its middle. A histogram with
// a single level gives 0 (every pixel white).
int OtsuThreshold(const uint64_t histogram[256]) {
  double total = 0, sum = 0;
  for (int i = 0; i < 256; ++i) total += histogram[i], sum += static_cast<double>(i) * histogram[i];
  double below = 0, sumBelow = 0, best = 0;
  int first = 0, last = 0;
  for (int t = 1; t < 256; ++t) {
    below += histogram[t - 1];
    sumBelow += static_cast<double>(t - 1) * histogram[t - 1];
    const double above = total - below;
    if (below == 0 || above == 0) continue;
    const double d = sumBelow / below - (sum - sumBelow) / above;
    const double between = below * above * d * d;
    if (between > best) {
      best = between, first = t, last = t;
    } else if (between == best && best > 0 && last == t - 1) {
      last = t;
    }
  }
  return (first + last + 1) / 2;
}

void Histogram(const uint8_t* base, int pitch, int width, int height, uint64_t histogram[256]) {
  // Four partial histograms break the store-to-load chains of runs of equal pixels.
  std::vector<uint32_t> parts(4 * 256, 0);
  uint32_t* h = parts.data();
  int64_t counted = 0;
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = base + static_cast<intptr_t>(y) * pitch;
    int x = 0;
    for (; x + 4 <= width; x += 4) {
      ++h[row[x]], ++h[256 + row[x + 1]], ++h[512 + row[x + 2]], ++h[768 + row[x + 3]];
    }
    for (; x < width; ++x) ++h[row[x]];
    counted += width;
    if (counted > (int64_t(1) << 30)) {  // keep the 32-bit counters from overflowing
      for (int i = 0; i < 256; ++i) histogram[i] += h[i] + h[256 + i] + h[512 + i] + h[768 + i];
      std::fill(parts.begin(), parts.end(), 0u);
      counted = 0;
    }
  }
  for (int i = 0; i < 256; ++i) histogram[i] += h[i] + h[256 + i] + h[512 + i] + h[768 + i];
}

// Positions x (0 < x < width) where the class of pixel x differs from that of pixel x - 1;
// black means below the threshold.
void RowBoundaries(const uint8_t* row, int width, int threshold, std::vector<int>& bounds) {
  bounds.clear();
  if (threshold <= 0 || threshold > 255) return;  // one class only
  int x = 0;
  uint64_t previous = row[0] < threshold ? 1 : 0;
#if defined(__SSE2__)
  const __m128i limit = _mm_set1_epi8(static_cast<char>(threshold - 1));
  for (; x + 64 <= width; x += 64) {
    uint64_t mask = 0;
    for (int k = 0; k < 4; ++k) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x + 16 * k));
      const __m128i black = _mm_cmpeq_epi8(_mm_min_epu8(v, limit), v);
      mask |= static_cast<uint64_t>(static_cast<uint16_t>(_mm_movemask_epi8(black))) << (16 * k);
    }
    uint64_t changes = mask ^ ((mask << 1) | previous);
    previous = mask >> 63;
    while (changes != 0) {
      bounds.push_back(x + __builtin_ctzll(changes));
      changes &= changes - 1;
    }
  }
#endif
  for (; x < width; ++x) {
    const uint64_t black = row[x] < threshold ? 1 : 0;
    if (black != previous && x > 0) bounds.push_back(x);
    previous = black;
  }
  if (!bounds.empty() && bounds.front() == 0) bounds.erase(bounds.begin());
}

uint32_t Find(std::vector<uint32_t>& parent, uint32_t i) {
  while (parent[i] != i) {
    parent[i] = parent[parent[i]];
    i = parent[i];
  }
  return i;
}

}  // namespace

void ECodedImage::BuildObjects(EROI<EBW8>* region) {
  m_Objects.clear();
  m_Runs.clear();
  m_pRegion = region;
  m_Width = m_Height = 0;
  if (region == nullptr) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("ECodedImage::BuildObjects");
    return;
  }
  const uint8_t* base = region->GetImagePtr();
  if (base == nullptr || region->IsVoid() || region->GetWidth() <= 0 || region->GetHeight() <= 0)
    return;
  const int width = region->GetWidth(), height = region->GetHeight();
  const int pitch = region->GetRowPitch();
  m_Width = width, m_Height = height;
  m_OrgX = region->GetTotalOrgX(), m_OrgY = region->GetTotalOrgY();

  if (m_Threshold >= 0) {
    m_UsedThreshold = std::min(m_Threshold, 256);
  } else {
    uint64_t histogram[256] = {0};
    Histogram(base, pitch, width, height, histogram);
    m_UsedThreshold = OtsuThreshold(histogram);
  }
  const int classes[2] = {m_BlackClass, m_WhiteClass};
  if (classes[0] == 0 && classes[1] == 0) return;

  // Runs of the active classes, row by row, each joined to the runs of its class in the row
  // above that it touches (8-connectivity) with a union-find over run indices.
  std::vector<PendingRun>& runs = m_Pending;
  std::vector<uint32_t>& parent = m_Parent;
  std::vector<uint32_t>& adjacent = m_Adjacent;  // touching runs in the row above, per run
  std::vector<int>& bounds = m_Bounds;
  runs.clear(), parent.clear(), adjacent.clear();
  size_t previousBegin = 0, previousEnd = 0;
  try {
    for (int y = 0; y < height; ++y) {
      const uint8_t* row = base + static_cast<intptr_t>(y) * pitch;
      RowBoundaries(row, width, m_UsedThreshold, bounds);
      int cls = row[0] < m_UsedThreshold ? 0 : 1;
      const size_t begin = runs.size();
      int x0 = 0;
      for (size_t b = 0; b <= bounds.size(); ++b) {
        const int x1 = b < bounds.size() ? bounds[b] : width;
        if (classes[cls] != 0) runs.push_back(PendingRun{x0, x1, y, cls});
        x0 = x1, cls ^= 1;
      }
      const size_t end = runs.size();
      parent.resize(end);
      adjacent.resize(end, 0);
      size_t p = previousBegin;
      for (size_t r = begin; r < end; ++r) {
        parent[r] = static_cast<uint32_t>(r);
        const PendingRun& run = runs[r];
        while (p < previousEnd && runs[p].x1 < run.x0) ++p;
        for (size_t q = p; q < previousEnd && runs[q].x0 <= run.x1; ++q) {
          if (runs[q].cls != run.cls) continue;
          ++adjacent[r];
          uint32_t a = Find(parent, static_cast<uint32_t>(q)), c = Find(parent, parent[r]);
          if (a != c) parent[std::max(a, c)] = std::min(a, c);
        }
      }
      previousBegin = begin, previousEnd = end;
    }

    // Objects in the raster order of their first pixel, with their sums.
    const size_t count = runs.size();
    std::vector<uint32_t>& label = m_Label;
    label.resize(count);
    uint32_t objects = 0;
    for (size_t r = 0; r < count; ++r) {
      const uint32_t root = Find(parent, static_cast<uint32_t>(r));
      label[r] = root == r ? objects++ : label[root];
    }
    m_Objects.resize(objects);
    for (size_t r = 0; r < count; ++r) {
      const PendingRun& run = runs[r];
      ECodedObject& o = m_Objects[label[r]];
      const int64_t length = run.x1 - run.x0;
      if (o.NumRuns == 0) {
        o.Class = classes[run.cls];
        o.m_Black = run.cls == 0;
        // The pixel left of an object's first pixel lies outside it, in the object around it.
        if (run.x0 > 0 && classes[0] != 0 && classes[1] != 0)
          o.Parent = static_cast<int>(label[r - 1]);
        o.Left = run.x0, o.Right = run.x1 - 1, o.Top = o.Bottom = run.y;
      }
      ++o.NumRuns;
      o.Area += static_cast<uint64_t>(length);
      o.Left = std::min(o.Left, run.x0), o.Right = std::max(o.Right, run.x1 - 1);
      o.Bottom = run.y;
      o.m_SumX += 0.5 * static_cast<double>(length) * (run.x0 + run.x1 - 1);
      o.m_SumY += static_cast<double>(length) * run.y;
      const double a = run.x0, b = run.x1 - 1;
      o.m_SumXX += (b * (b + 1) * (2 * b + 1) - (a - 1) * a * (2 * a - 1)) / 6;
      o.m_SumXY += 0.5 * static_cast<double>(length) * (a + b) * run.y;
      o.m_SumYY += static_cast<double>(length) * run.y * run.y;
      o.m_AdjacentRunPairs += adjacent[r];
    }
    // Runs grouped by object (a counting sort keeps the raster order inside each object).
    uint32_t first = 0;
    for (uint32_t i = 0; i < objects; ++i) {
      ECodedObject& o = m_Objects[i];
      o.Index = i;
      o.FirstRun = first;
      first += o.NumRuns;
      o.Holes = static_cast<int>(o.m_AdjacentRunPairs - static_cast<int64_t>(o.NumRuns) + 1);
      o.BinaryCenterX = static_cast<float>(o.m_SumX / static_cast<double>(o.Area));
      o.BinaryCenterY = static_cast<float>(o.m_SumY / static_cast<double>(o.Area));
      // Each pixel counts as a unit square (variance 1/12 along each axis), so that a line one
      // pixel wide still has a finite elongation.
      const double n = static_cast<double>(o.Area), mx = o.m_SumX / n, my = o.m_SumY / n;
      const double vxx = o.m_SumXX / n - mx * mx + 1.0 / 12,
                   vyy = o.m_SumYY / n - my * my + 1.0 / 12;
      const double vxy = o.m_SumXY / n - mx * my;
      const double half = 0.5 * (vxx + vyy);
      const double root = std::sqrt(std::max(0.0, 0.25 * (vxx - vyy) * (vxx - vyy) + vxy * vxy));
      const double minor = std::max(half - root, 1e-12);
      o.Elongation = static_cast<float>(std::sqrt((half + root) / minor));
    }
    m_Runs.resize(count);
    std::vector<uint32_t>& next = m_Next;
    next.resize(objects);
    for (uint32_t i = 0; i < objects; ++i) next[i] = m_Objects[i].FirstRun;
    for (size_t r = 0; r < count; ++r) {
      const PendingRun& run = runs[r];
      m_Runs[next[label[r]]++] = ECodedRun{run.x0, run.y, run.x1 - run.x0, label[r]};
    }
  } catch (const std::bad_alloc&) {
    m_Objects.clear();
    m_Runs.clear();
    ESetError(E_ERROR_ALLOCATION_FAILED);
    ETraceError("ECodedImage::BuildObjects");
  }
}

unsigned ECodedImage::GetNumSelectedObjects() const {
  unsigned n = 0;
  for (const ECodedObject& o : m_Objects) n += o.Selected ? 1 : 0;
  return n;
}

void ECodedImage::SelectAllObjects() {
  for (ECodedObject& o : m_Objects) o.Selected = true;
}

void ECodedImage::UnselectAllObjects() {
  for (ECodedObject& o : m_Objects) o.Selected = false;
}

void ECodedImage::SelectObjectsUsingPosition(EROI<EBW8>* region, int criterion) {
  if (region == nullptr || criterion < E_POSITION_INTERSECTING ||
      (criterion > E_POSITION_INSIDE && criterion < E_POSITION_INSIDE_NOT_BORDER) ||
      criterion > E_POSITION_TOUCHING_BORDER) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("ECodedImage::SelectObjectsUsingPosition");
    return;
  }
  // Object boxes in the coordinates of the given region.
  const int64_t dx = static_cast<int64_t>(m_OrgX) - region->GetTotalOrgX();
  const int64_t dy = static_cast<int64_t>(m_OrgY) - region->GetTotalOrgY();
  const int64_t w = region->IsVoid() ? 0 : region->GetWidth();
  const int64_t h = region->IsVoid() ? 0 : region->GetHeight();
  auto isClear = [=](const ECodedObject& o) {
    const int64_t l = o.Left + dx, r = o.Right + dx, t = o.Top + dy, b = o.Bottom + dy;
    return l >= 1 && t >= 1 && r < w - 1 && b < h - 1;
  };
  for (ECodedObject& o : m_Objects) {
    if (!o.Selected) continue;
    const int64_t l = o.Left + dx, r = o.Right + dx, t = o.Top + dy, b = o.Bottom + dy;
    const bool meets = r >= 0 && l < w && b >= 0 && t < h;
    const bool inside = l >= 0 && t >= 0 && r < w && b < h;
    const bool clear = isClear(o);
    bool keep = false;
    switch (criterion) {
      case E_POSITION_INTERSECTING: keep = meets; break;
      case E_POSITION_INSIDE: keep = inside; break;
      case E_POSITION_INSIDE_NOT_BORDER: keep = clear; break;
      default: keep = meets && !clear; break;
    }
    o.Selected = keep;
  }
}

bool ECodedImage::FeatureValue(int feature, ECodedObject& o, double& value) {
  switch (feature) {
    case E_FEATURE_CLASS: value = o.Class; return true;
    case E_FEATURE_RUN_COUNT: value = o.NumRuns; return true;
    case E_FEATURE_AREA: value = static_cast<double>(o.Area); return true;
    case E_FEATURE_HOLES: value = o.Holes; return true;
    case E_FEATURE_GRAVITY_CENTER_X:
      ComputeCenter(o);
      value = o.m_CenterX;
      return true;
    case E_FEATURE_GRAVITY_CENTER_Y:
      ComputeCenter(o);
      value = o.m_CenterY;
      return true;
    case E_FEATURE_LIMIT_LEFT: value = o.Left; return true;
    case E_FEATURE_LIMIT_TOP: value = o.Top; return true;
    case E_FEATURE_LIMIT_RIGHT: value = o.Right; return true;
    case E_FEATURE_LIMIT_BOTTOM: value = o.Bottom; return true;
    case E_FEATURE_BINARY_CENTER_X: value = o.BinaryCenterX; return true;
    case E_FEATURE_BINARY_CENTER_Y: value = o.BinaryCenterY; return true;
    case E_FEATURE_ELONGATION: value = o.Elongation; return true;
    default: return false;
  }
}

void ECodedImage::SelectObjectsUsingFeature(int feature, float low, float high, int option) {
  if (feature < E_FEATURE_CLASS || feature > E_FEATURE_ELONGATION || std::isnan(low) ||
      std::isnan(high) ||
      (option != E_SELECT_ADD_INSIDE && option != E_SELECT_ADD_OUTSIDE &&
       option != E_SELECT_KEEP_INSIDE && option != E_SELECT_KEEP_OUTSIDE)) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("ECodedImage::SelectObjectsUsingFeature");
    return;
  }
  const bool add = option == E_SELECT_ADD_INSIDE || option == E_SELECT_ADD_OUTSIDE;
  const bool wantInside = option == E_SELECT_ADD_INSIDE || option == E_SELECT_KEEP_INSIDE;
  for (ECodedObject& o : m_Objects) {
    if (add == o.Selected) continue;  // adding looks at unselected objects, narrowing at selected
    double v = 0;
    FeatureValue(feature, o, v);
    const bool inside = v >= low && v <= high;
    o.Selected = inside == wantInside;
  }
}

void ECodedImage::AnalyseFeatures(const int* features) {
  for (const int* f = features; *f != 0; ++f) {
    double v;
    if (*f < E_FEATURE_CLASS || *f > E_FEATURE_ELONGATION) {
      ESetError(E_ERROR_INVALID_PARAMETER);
      ETraceError("ECodedImage::AnalyseObjects");
      return;
    }
    if (*f != E_FEATURE_GRAVITY_CENTER_X && *f != E_FEATURE_GRAVITY_CENTER_Y) continue;
    for (ECodedObject& o : m_Objects)
      if (o.Selected) FeatureValue(*f, o, v);
  }
}

void ECodedImage::ComputeCenter(ECodedObject& o) {
  if (o.m_CenterKnown) return;
  o.m_CenterKnown = true;
  o.m_CenterX = o.BinaryCenterX, o.m_CenterY = o.BinaryCenterY;
  // The region must be the one the objects were built from; otherwise the binary centre stands.
  const uint8_t* base = m_pRegion != nullptr ? m_pRegion->GetImagePtr() : nullptr;
  if (base == nullptr || m_pRegion->GetWidth() != m_Width || m_pRegion->GetHeight() != m_Height) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("ECodedImage::AnalyseObjects");
    return;
  }
  // The grey-level centroid of the dot's contrast: over the object's box grown by one pixel,
  // each pixel weighs by how much darker (lighter, for a white object) it is than the
  // background level, measured as the mean of the ring two pixels outside the box. Edge pixels
  // that the dot only partly covers thus count for their share, on either side of the
  // threshold.
  const int pitch = m_pRegion->GetRowPitch();
  auto pixel = [&](int x, int y) { return base[static_cast<intptr_t>(y) * pitch + x]; };
  const int x0 = std::max(0, o.Left - 1), x1 = std::min(m_Width - 1, o.Right + 1);
  const int y0 = std::max(0, o.Top - 1), y1 = std::min(m_Height - 1, o.Bottom + 1);
  double ringSum = 0, ringCount = 0;
  const int rx0 = o.Left - 2, rx1 = o.Right + 2, ry0 = o.Top - 2, ry1 = o.Bottom + 2;
  for (int x = std::max(0, rx0); x <= std::min(m_Width - 1, rx1); ++x)
    for (int y : {ry0, ry1})
      if (y >= 0 && y < m_Height) ringSum += pixel(x, y), ++ringCount;
  for (int y = std::max(0, ry0 + 1); y <= std::min(m_Height - 1, ry1 - 1); ++y)
    for (int x : {rx0, rx1})
      if (x >= 0 && x < m_Width) ringSum += pixel(x, y), ++ringCount;
  const double reference = ringCount > 0 ? ringSum / ringCount : m_UsedThreshold;
  const int level = static_cast<int>(std::lround(reference));
  const int sign = o.m_Black ? 1 : -1;
  double sw = 0, sx = 0, sy = 0;
  for (int y = y0; y <= y1; ++y) {
    const uint8_t* row = base + static_cast<intptr_t>(y) * pitch;
    int64_t rw = 0, rx = 0;
    for (int x = x0; x <= x1; ++x) {
      const int w = std::max(0, sign * (level - row[x]));
      rw += w, rx += static_cast<int64_t>(w) * x;
    }
    sw += static_cast<double>(rw);
    sx += static_cast<double>(rx);
    sy += static_cast<double>(rw) * y;
  }
  if (sw > 0) {
    o.m_CenterX = static_cast<float>(sx / sw);
    o.m_CenterY = static_cast<float>(sy / sw);
  }
}

void ECodedImage::FeatureDeviation(int feature, float& mean, float& deviation) {
  mean = 0, deviation = 0;
  if (feature < E_FEATURE_CLASS || feature > E_FEATURE_ELONGATION) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("ECodedImage::FeatureDeviation");
    return;
  }
  double n = 0, s = 0, ss = 0;
  for (ECodedObject& o : m_Objects) {
    if (!o.Selected) continue;
    double v = 0;
    FeatureValue(feature, o, v);
    n += 1, s += v, ss += v * v;
  }
  if (n == 0) return;
  const double m = s / n;
  mean = static_cast<float>(m);
  deviation = static_cast<float>(std::sqrt(std::max(0.0, ss / n - m * m)));
}

bool ECodedImage::Owns(const ECodedObject* object) const {
  return object != nullptr && !m_Objects.empty() && object >= m_Objects.data() &&
         object < m_Objects.data() + m_Objects.size();
}

ECodedObject* ECodedImage::GetFirstObjPtr() {
  for (ECodedObject& o : m_Objects)
    if (o.Selected) return &o;
  return nullptr;
}

ECodedObject* ECodedImage::GetNextObjPtr(ECodedObject* object) {
  if (!Owns(object)) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("ECodedImage::GetNextObjPtr");
    return nullptr;
  }
  for (size_t i = object->Index + 1; i < m_Objects.size(); ++i)
    if (m_Objects[i].Selected) return &m_Objects[i];
  return nullptr;
}

ECodedObject* ECodedImage::GetObjPtr(unsigned index) {
  if (index >= m_Objects.size()) {
    ESetError(E_ERROR_INDEX_OUT_OF_RANGE);
    ETraceError("ECodedImage::GetObjPtr");
    return nullptr;
  }
  return &m_Objects[index];
}

void ECodedImage::GetObjectFeature(int feature, ECodedObject* object, float& value) {
  double v = 0;
  if (!Owns(object) || !FeatureValue(feature, *object, v)) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("ECodedImage::GetObjectFeature");
    return;
  }
  value = static_cast<float>(v);
}

int ECodedImage::GetNumHoles(const ECodedObject* object) const {
  return Owns(object) ? object->Holes : 0;
}

const ECodedRun* ECodedImage::GetObjectRuns(const ECodedObject* object, unsigned& count) const {
  count = 0;
  if (!Owns(object)) return nullptr;
  count = object->NumRuns;
  return m_Runs.data() + object->FirstRun;
}
