// Profile machinery behind ETransition: digital lines, the two band samplers, box smoothing,
// the central-difference derivative, run extraction and peak selection. Internal to the gauges.
#ifndef VIMO_GAUGES_PROFILESAMPLER_H
#define VIMO_GAUGES_PROFILESAMPLER_H

#include <cstdint>

#include "vimo/calibration/world.h"
#include "vimo/core/image.h"
#include "vimo/core/vector.h"
#include "vimo/gauges/peak.h"
#include "vimo/geometry/frame.h"

class EShape;

namespace vimo_profile {

// Largest Thickness x Smoothing weight whose sums of 8-bit grey levels, and the differences of
// those sums, still fit in a signed 32-bit integer.
constexpr uint64_t kMaxSampleWeight = 0x7FFFFFFF / 255;
// Longest profile a measurement builds (16 MB per vector, beyond the diagonal of any image the
// core library holds); a longer one is reported as a profile that cannot be sized.
constexpr int64_t kMaxProfileSamples = int64_t(1) << 22;

// The pixels of the segment from (x0, y0) to (x1, y1): sample i lies at offset i along the major
// axis and MinorOffset(i) along the minor axis, both in the direction of the segment.
struct DigitalLine {
  // nearest: the minor offset is the pixel nearest the segment (rounded half up); otherwise the
  // pixel on the floor side of it.
  DigitalLine(int ax0, int ay0, int ax1, int ay1, bool nearest) {
    x0 = ax0;
    y0 = ay0;
    const int64_t dx = int64_t(ax1) - ax0;
    const int64_t dy = int64_t(ay1) - ay0;
    const int64_t adx = dx < 0 ? -dx : dx;
    const int64_t ady = dy < 0 ? -dy : dy;
    xMajor = !(adx < ady);
    n = xMajor ? adx : ady;
    m = xMajor ? ady : adx;
    majorStep = (xMajor ? dx : dy) < 0 ? -1 : 1;
    minorStep = (xMajor ? dy : dx) < 0 ? -1 : 1;
    bias = nearest ? n : 0;
  }

  int64_t MinorOffset(int64_t i) const;
  // Samples [first, last] (within 0 .. n) whose pixel lies in [xlo, xhi] x [ylo, yhi]; false when
  // there is none. The pixels of a digital line move monotonically along both axes, so the
  // samples inside a rectangle are always one contiguous range.
  bool Range(int64_t xlo, int64_t xhi, int64_t ylo, int64_t yhi, int64_t& first,
             int64_t& last) const;
  // Pixel coordinates of sample i.
  int64_t X(int64_t i) const;
  int64_t Y(int64_t i) const;

  int64_t x0, y0;
  int64_t n;                 // major-axis length: the line has n + 1 samples
  int64_t m;                 // minor-axis length, 0 <= m <= n
  int64_t bias;              // n for the nearest pixel, 0 for the floor side
  int majorStep, minorStep;  // +1 or -1
  bool xMajor;               // |dx| >= |dy|
};

// The root image a region belongs to, as the samplers read it.
struct RootView {
  explicit RootView(const EROI<EBW8>* roi);
  const EBW8* base = nullptr;  // pixel (0, 0) of the root image; null when there are no pixels
  int64_t width = 0, height = 0, pitch = 0;
};

// Pixel offsets, from the first sample, of the samples of the digital lines last sampled (up to
// 64 samples, pitch below 2^24). The profiles of a line or an edge are parallel: after rounding,
// most of them repeat one or two lines, whose offsets are then computed once.
struct LineOffsetCache {
  // The offsets of the line's samples in an image of the given pitch.
  const int32_t* Find(const DigitalLine& line, int64_t pitch) {
    const uint64_t key = uint64_t(line.n) | uint64_t(line.m) << 7 | uint64_t(line.bias != 0) << 14 |
                         uint64_t(line.xMajor) << 15 | uint64_t(line.majorStep < 0) << 16 |
                         uint64_t(line.minorStep < 0) << 17;
    return keys[last] == key ? offsets[last] : FindOther(key, line, pitch);
  }
  const int32_t* FindOther(uint64_t key, const DigitalLine& line, int64_t pitch);

  static constexpr int kLines = 4;
  uint64_t keys[kLines] = {~uint64_t(0), ~uint64_t(0), ~uint64_t(0), ~uint64_t(0)};  // empty
  int32_t offsets[kLines][64];
  int next = 0, last = 0;
};

// What every profile of one gauge measurement shares, looked up once before its profile loop:
// the root image of the region read, and the mapping between the placement's coordinates and
// sensor pixels (the placement's frame, then its world's calibration), computed with the same
// operations as the placement's own LocalToSensor and SensorToLocal.
struct SharedProfiles {
  SharedProfiles(const EROI<EBW8>* roi, EShape* placement);
  EPoint ToSensor(EPoint p) const {
    // EFrame::LocalToGlobal's operations, on a copy of the frame's transform.
    if (framed)
      p = EPoint(m11 * p.GetX() + m12 * p.GetY() + tx, m21 * p.GetX() + m22 * p.GetY() + ty);
    return world != nullptr ? world->WorldToSensor(p) : p;
  }
  EPoint ToLocal(EPoint p) const {
    if (world != nullptr) p = world->SensorToWorld(p);
    if (!framed) return p;
    // EFrame::GlobalToLocal's operations.
    const float dx = p.GetX() - tx, dy = p.GetY() - ty;
    return EPoint(i11 * dx + i12 * dy, i21 * dx + i22 * dy);
  }

  const EROI<EBW8>* roi;
  RootView root;
  EShape* placement;
  // Set by gauges whose profiles are parallel.
  LineOffsetCache* lines = nullptr;
  bool framed = false;            // false when the placement is a world, or there is none
  const EWorld* world = nullptr;  // null: no world, or one that maps every point to itself
  float m11 = 1, m12 = 0, m21 = 0, m22 = 1, tx = 0, ty = 0;
  float i11 = 1, i12 = 0, i21 = 0, i22 = 1;
};

// Sizes a profile to count samples; false when that cannot be done (1303 set beyond
// kMaxProfileSamples).
bool SizeProfile(EBW32Vector& profile, int64_t count);

// Status of a sampling pass.
enum SampleStatus { kSampleOk, kSampleCannotSize };

// Axis sampler: each sample sums `thickness` pixels across the segment along the image axis that
// is its minor axis. Samples whose band leaves the image take the value of the nearest valid
// sample; fewer than two valid samples leave the profile empty.
SampleStatus SampleAxis(const RootView& image, const DigitalLine& line, unsigned thickness,
                        EBW32Vector& profile);

// Rectangular sampler (thickness > 1): each sample sums `thickness` pixels along the digital
// perpendicular of the segment. bandX, bandY receive the offset from the centre line to the
// outermost band pixel. No valid sample leaves the profile empty.
SampleStatus SampleRectangular(const RootView& image, const DigitalLine& line, unsigned thickness,
                               EBW32Vector& profile, int32_t& bandX, int32_t& bandY);

// Interpolated profiles hold their sums in units of 1 / kInterpolatedScale grey level, so
// that sub-grey-level differences between samples reach the analysis.
constexpr uint32_t kInterpolatedScale = 16;
// End points farther from the origin than this are refused by the interpolated sampler (as the
// pixel walk refuses pixel indices beyond it).
constexpr double kMaxInterpolatedCoordinate = 1.0e9;

// A segment with sub-pixel end points, sampled at n + 1 evenly spaced positions: n is the
// segment's length rounded to the nearest integer, so the samples lie about one pixel apart.
struct SubpixelSegment {
  SubpixelSegment(double x0, double y0, double x1, double y1);
  // Replaces the segment by the horizontal or vertical one of the same length through its
  // middle, pointing the same way (vertical when |dx| < |dy|).
  void ConstrainHV();
  // Position of sample i.
  double X(int64_t i) const { return x0 + (x1 - x0) * (double(i) / double(n)); }
  double Y(int64_t i) const { return y0 + (y1 - y0) * (double(i) / double(n)); }

  double x0, y0, x1, y1;
  int64_t n;  // 0 for a segment shorter than half a pixel or with an end that is not usable
};

// Interpolated sampler: sample i is the bilinear interpolation of the image at the segment's
// position i / n, summed over `thickness` points across the segment, one pixel apart and
// centred on it. A sample is valid when every point of its band lies within the pixel centres
// of the image, [0, width - 1] x [0, height - 1]; samples outside take the value of the nearest
// valid sample, and fewer than two valid samples leave the profile empty. Values are in units
// of 1 / kInterpolatedScale grey level.
SampleStatus SampleInterpolated(const RootView& image, const SubpixelSegment& segment,
                                unsigned thickness, EBW32Vector& profile);

// Box filter of total weight `smoothing` (> 1) with replicated ends; an even width weighs its two
// end samples one half. Uses `scratch` as its working array; false when that cannot be sized.
bool Smooth(EBW32Vector& profile, unsigned smoothing, EINT32Vector& scratch);

// Central differences, one-sided at the ends; a single sample gives 0.
void Derive(const EBW32Vector& profile, EINT32Vector& derivative);

// Limits of a run analysis, already multiplied by the analysis scale.
struct RunLimits {
  int64_t low, high;     // a sample below low or above high belongs to a run
  int64_t minAmplitude;  // |amplitude| must reach this
  int64_t minArea;       // |area| must reach this
  int64_t scale;         // analysis scale, > 0
  bool keepIncomplete;   // keep runs that touch either end
};

// Extracts the runs of `values` beyond the limits as peaks, in profile order.
void AnalyseRuns(const int32_t* values, uint32_t count, const RunLimits& limits,
                 EPeaksVector& peaks);
void AnalyseRuns(const uint32_t* values, uint32_t count, const RunLimits& limits,
                 EPeaksVector& peaks);

// Index of the peak a choice rule selects (the values of GGE_TRANSITION_CHOICE), or -1.
int SelectPeak(const EPeaksVector& peaks, int choice, unsigned rank, uint32_t profileCount);

// What MeasureThinEdgeProfile returns for a profile it leaves to the general path.
constexpr int kGeneralPath = -2;

// The whole measurement of an edge on a profile of single pixels (thickness 1, no smoothing):
// SampleAxis, Derive, AnalyseRuns on the derivative and SelectPeak in one call, with the same
// results. Returns the selected peak's index, or -1; kGeneralPath, having changed nothing that
// the general path does not set again, when the line leaves the image or is too short or too
// long for it.
int MeasureThinEdgeProfile(const RootView& image, const DigitalLine& line, const RunLimits& limits,
                           int choice, unsigned rank, EBW32Vector& profile,
                           EINT32Vector& derivative, EPeaksVector& peaks,
                           LineOffsetCache* lines = nullptr);

// Replaces the segment by the horizontal or vertical one of about the same length through its
// middle, pointing the same way; results beyond the 32-bit range saturate.
void ConstrainHV(int& x0, int& y0, int& x1, int& y1);

}  // namespace vimo_profile

#endif
