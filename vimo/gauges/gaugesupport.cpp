// Pieces shared by the gauges that are shapes, and the drawing of a transition's segment.
#include "vimo/gauges/gaugesupport.h"

#include <cmath>

#include "vimo/gauges/profilesampler.h"
#include "vimo/gauges/transition.h"

namespace vimo_gauge {

namespace {
const float kPi = 3.14159265358979f;

int Floor(float v) {
  const float limit = 1073741824.0f;  // far outside any window, and no integer overflow
  if (!(v > -limit)) return -1073741824;
  if (v >= limit) return 1073741824;
  return static_cast<int>(std::floor(v));
}
}  // namespace

float WrapAngle(float angle) {
  // fmod leaves an angle within a turn as it is: the library call only for the others.
  float a = std::fabs(angle) < 2.0f * kPi ? angle : std::fmod(angle, 2.0f * kPi);
  if (a > kPi) a -= 2.0f * kPi;
  if (a <= -kPi) a += 2.0f * kPi;
  return a;
}

bool CanSample(EROI<EBW8>* roi, const ETransition& transition) {
  const uint64_t thickness = transition.GetThickness();
  const uint64_t smoothing = transition.GetSmoothing() > 1 ? transition.GetSmoothing() : 1;
  // Interpolated sums are kept in finer units, which leaves room for a smaller weight. The
  // product of two 32-bit fields fits in 64 bits; times the unit it could wrap.
  const uint64_t unit = transition.GetSamplingMode() == GGE_SAMPLING_INTERPOLATED
                            ? vimo_profile::kInterpolatedScale
                            : 1;
  return roi != nullptr && !roi->IsVoid() && thickness > 0 &&
         thickness * smoothing <= vimo_profile::kMaxSampleWeight / unit;
}

void PlacementToDisplay(EShape* placement, EPoint p, int& x, int& y) {
  if (placement != nullptr) return placement->LocalToDisplay(p, x, y);
  SensorToDisplay(nullptr, p, x, y);
}

void SensorToDisplay(EShape* placement, EPoint p, int& x, int& y) {
  float panX = 0, panY = 0, zoomX = 1, zoomY = 1;
  if (placement != nullptr) {
    panX = placement->GetPanX(), panY = placement->GetPanY();
    zoomX = placement->GetZoomX(), zoomY = placement->GetZoomY();
  }
  x = Floor((p.GetX() + panX + 0.5f) * zoomX);
  y = Floor((p.GetY() + panY + 0.5f) * zoomY);
}

void DrawCross(Quarnel::DrawAdapter* adapter, int x, int y) {
  adapter->DrawLine(x - 3, y - 3, x + 4, y + 4, Quarnel::DefaultColor);
  adapter->DrawLine(x - 3, y + 4, x + 4, y - 3, Quarnel::DefaultColor);
}

void DrawSampleMarks(Quarnel::DrawAdapter* adapter, EShape* placement,
                     const ESampledPointVector& samples, INS_DRAWING_MODES mode) {
  const unsigned n = samples.GetNumElements();
  for (unsigned i = 0; i < n; ++i) {
    const ESampledPoint& s = samples[i];
    const bool marked = (mode == INS_DRAW_SKIPPED_SAMPLES && s.Skipped) ||
                        (mode == INS_DRAW_VALID_SAMPLES && s.Valid) ||
                        (mode == INS_DRAW_FILTERED_SAMPLES && s.FilteredOut);
    if (!marked) continue;
    int x, y;
    PlacementToDisplay(placement, s.Point, x, y);
    DrawCross(adapter, x, y);
  }
}

}  // namespace vimo_gauge

using namespace vimo_gauge;

void ETransition::DrawToleranceSegment(Quarnel::DrawAdapter* adapter, EShape* placement,
                                       bool nearest, bool pictogram) {
  DrawSampledSegment(adapter, placement, m_ToleranceSegment.GetOrg(), m_ToleranceSegment.GetEnd(),
                     nearest, pictogram);
}

void ETransition::PixelWalkBand(int x0, int y0, int x1, int y1, float& ox, float& oy) const {
  if (m_bTransitionRectangularSamplingArea) {
    ox = static_cast<float>(m_n32BandHalfExtentX);
    oy = static_cast<float>(m_n32BandHalfExtentY);
  } else if (std::abs(x1 - x0) < std::abs(y1 - y0)) {
    ox = 0.5f * static_cast<float>(m_un32Thickness);
  } else {
    oy = 0.5f * static_cast<float>(m_un32Thickness);
  }
}

void ETransition::DrawSampledSegment(Quarnel::DrawAdapter* adapter, EShape* placement, EPoint org,
                                     EPoint end, bool nearest, bool pictogram) {
  float ax, ay, bx, by;
  // The band's half-extent across the segment, in sensor pixels.
  float ox = 0, oy = 0;
  if (m_eSamplingMode == GGE_SAMPLING_INTERPOLATED) {
    // The exact segment, and a band of Thickness one-pixel rows centred on it.
    double x0, y0, x1, y1;
    if (!SegmentSensorPoints(placement, org, end, x0, y0, x1, y1)) return;
    vimo_profile::SubpixelSegment segment(x0, y0, x1, y1);
    if (m_bHVConstraint) segment.ConstrainHV();
    ax = static_cast<float>(segment.x0), ay = static_cast<float>(segment.y0);
    bx = static_cast<float>(segment.x1), by = static_cast<float>(segment.y1);
    const float length = std::hypot(bx - ax, by - ay);
    if (m_un32Thickness > 1 && length > 0) {
      const float half = 0.5f * static_cast<float>(m_un32Thickness);
      ox = -half * (by - ay) / length;
      oy = half * (bx - ax) / length;
    }
  } else {
    int x0, y0, x1, y1;
    if (!SegmentPixels(placement, org, end, nearest, x0, y0, x1, y1)) return;
    if (m_bHVConstraint) vimo_profile::ConstrainHV(x0, y0, x1, y1);
    ax = static_cast<float>(x0), ay = static_cast<float>(y0);
    bx = static_cast<float>(x1), by = static_cast<float>(y1);
    if (m_un32Thickness > 1) PixelWalkBand(x0, y0, x1, y1, ox, oy);
  }
  int px[4], py[4];
  SensorToDisplay(placement, EPoint(ax + ox, ay + oy), px[0], py[0]);
  SensorToDisplay(placement, EPoint(bx + ox, by + oy), px[1], py[1]);
  SensorToDisplay(placement, EPoint(bx - ox, by - oy), px[2], py[2]);
  SensorToDisplay(placement, EPoint(ax - ox, ay - oy), px[3], py[3]);
  if (ox == 0 && oy == 0) {
    adapter->DrawLine(px[0], py[0], px[1], py[1], Quarnel::DefaultColor);
  } else {
    for (int k = 0; k < 4; ++k)
      adapter->DrawLine(px[k], py[k], px[(k + 1) % 4], py[(k + 1) % 4], Quarnel::DefaultColor);
  }
  if (!pictogram) return;
  // A small step along the segment for an edge (rising towards the brighter side), a bump for a
  // bar, drawn at the segment's middle.
  const float length = std::sqrt((bx - ax) * (bx - ax) + (by - ay) * (by - ay));
  if (!(length > 0)) return;
  const float ux = (bx - ax) / length, uy = (by - ay) / length;
  const float cx = 0.5f * (ax + bx), cy = 0.5f * (ay + by);
  float heights[4] = {0, 0, 0, 0};  // across, at -4, -1, +1, +4 pixels along
  switch (m_eTransitionType) {
    case GGE_DARK_TO_BRIGHT: heights[2] = heights[3] = 4; break;
    case GGE_BRIGHT_TO_DARK: heights[0] = heights[1] = 4; break;
    case GGE_ANY_EDGE: heights[0] = heights[1] = -4, heights[2] = heights[3] = 4; break;
    case GGE_BRIGHT_BAR: heights[1] = heights[2] = 4; break;
    default: heights[1] = heights[2] = -4; break;
  }
  const float along[4] = {-4, -1, 1, 4};
  int qx[4], qy[4];
  for (int k = 0; k < 4; ++k)
    SensorToDisplay(
        placement,
        EPoint(cx + along[k] * ux - heights[k] * uy, cy + along[k] * uy + heights[k] * ux), qx[k],
        qy[k]);
  for (int k = 0; k < 3; ++k)
    adapter->DrawLine(qx[k], qy[k], qx[k + 1], qy[k + 1], Quarnel::DefaultColor);
}
