// Pieces shared by the gauges that are shapes: the switch of the found state with the frame
// that daughters follow and sample markers.
#ifndef VIMO_GAUGES_GAUGESUPPORT_H
#define VIMO_GAUGES_GAUGESUPPORT_H

#include <cstdio>

#include "vimo/gauges/gauge.h"
#include "vimo/gauges/transition.h"
#include "vimo/shapes/shape.h"

namespace vimo_gauge {

// Wraps an angle in radians into (-pi, pi].
float WrapAngle(float angle);

// Whether transition's profiles can be sampled in roi: a region with pixels, a band of at least
// one pixel, and a band and smoothing whose sums fit in 32 bits. A transition refuses to sample
// otherwise and analyses its last profile again, which a gauge must not report as a result.
bool CanSample(EROI<EBW8>* roi, const ETransition& transition);

// The frame a gauge hands its daughters (CastToFrame) is about to change, either because the
// found state flips or because a new fit replaces the measured geometry: the frame they were
// placed on is invalidated with the whole subtree, then `update` runs, then the frame now
// handed out is marked invalid too, so that the next use re-places the daughters on it.
template <class Update>
void ReplacePlacement(EShape* gauge, Update update) {
  gauge->EShape::InvalidateFrame();
  update();
  gauge->CastToFrame()->InvalidateFrame();
}

// Sets the found flag of gauge alone; when it changes, the daughters are re-placed
// (ReplacePlacement) and `onLost` runs after the flag is cleared.
template <class OnLost>
void SwitchFound(EShape* gauge, int found, OnLost onLost) {
  if ((gauge->GetFound() != 0) == (found != 0)) return;
  ReplacePlacement(gauge, [&] {
    gauge->EShape::SetFound(found, 0);
    if (!found) onLost();
  });
}

// A point of the placement shape's coordinates (the gauge's mother) in display pixels; a gauge
// without a mother takes its coordinates as sensor pixels.
void PlacementToDisplay(EShape* placement, EPoint p, int& x, int& y);
// A sensor point in display pixels, through placement's pan and zoom.
void SensorToDisplay(EShape* placement, EPoint p, int& x, int& y);
// An X-shaped cross from -3 to +4 pixels about (x, y).
void DrawCross(Quarnel::DrawAdapter* adapter, int x, int y);
// A cross at every sample that is skipped (mode 5), valid (6) or filtered out (8); other modes
// draw nothing.
void DrawSampleMarks(Quarnel::DrawAdapter* adapter, EShape* placement,
                     const ESampledPointVector& samples, INS_DRAWING_MODES mode);

// Drawing of a fitting gauge: with an adapter, the frame validated and the gauge shown, the
// sample marks for modes 5, 6 and 8 and own(mode) for the others; then the daughters.
template <class Own>
void DrawFittingGauge(EShape* gauge, Quarnel::DrawAdapter* adapter, INS_DRAWING_MODES mode,
                      int daughters, const ESampledPointVector& samples, Own own) {
  if (adapter == nullptr) return;
  gauge->ValidateFrame();
  if (gauge->PassesFilters() && gauge->GetVisible()) {
    if (mode == INS_DRAW_SKIPPED_SAMPLES || mode == INS_DRAW_VALID_SAMPLES ||
        mode == INS_DRAW_FILTERED_SAMPLES)
      DrawSampleMarks(adapter, gauge->GetMother(), samples, mode);
    else
      own(mode);
  }
  gauge->EShape::Draw(adapter, mode, daughters);
}

}  // namespace vimo_gauge

#endif
