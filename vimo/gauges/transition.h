// ETransition: finds edges and bars along a pixel segment of an 8-bit image, to sub-pixel
// accuracy. Every gauge measures through it.
#ifndef VIMO_GAUGES_TRANSITION_H
#define VIMO_GAUGES_TRANSITION_H

#include <cstdint>
#include <cstdio>

#include "vimo/core/core.h"
#include "vimo/core/vimo_export.h"
#include "vimo/drawing/drawadapter.h"
#include "vimo/gauges/peak.h"
#include "vimo/geometry/line.h"
#include "vimo/geometry/point.h"

// What is searched for. Edges are found on the derivative, bars on the profile itself.
enum GGE_TRANSITION_TYPE : int {
  GGE_DARK_TO_BRIGHT = 0,
  GGE_BRIGHT_TO_DARK = 1,
  GGE_ANY_EDGE = 2,
  GGE_BRIGHT_BAR = 3,
  GGE_DARK_BAR = 4
};

// Which of the peaks found becomes the result.
enum GGE_TRANSITION_CHOICE : int {
  GGE_FROM_BEGIN = 0,         // rank TransitionIndex from the start
  GGE_FROM_END = 1,           // rank TransitionIndex from the end
  GGE_MAX_AMPLITUDE = 2,      // largest |amplitude|, the later one on a tie
  GGE_MAX_AREA = 3,           // largest |area|, the later one on a tie
  GGE_CLOSEST_TO_CENTER = 4,  // centre closest to the middle of the profile, later on a tie
  GGE_ALL_PEAKS = 5           // every peak; the first is the selected one
};

// How a profile is read from the image.
enum GGE_SAMPLING_MODE : int {
  // One pixel per sample along the digital line between the rounded end points.
  GGE_SAMPLING_PIXEL_WALK = 0,
  // Evenly spaced sub-pixel positions, about one pixel apart, along the exact segment, each
  // interpolated bilinearly; the band is taken across the segment at one-pixel spacing. Sample
  // i lies exactly where the result maps it back, at any angle.
  GGE_SAMPLING_INTERPOLATED = 1
};

// Grey-level sums along the segment, one per sample (below 2^31 by construction). Interpolated
// profiles hold sums in sixteenths of a grey level.
typedef EBW32Vector EProfileVector;
// Central differences of the profile, signed.
typedef EINT32Vector EDerivativeVector;

class EShape;
namespace vimo_profile {
struct LineOffsetCache;
struct RootView;
struct SharedProfiles;
}  // namespace vimo_profile

class VIMO_EXPORT ETransition {
 public:
  ETransition(float tolerance = 10.0f, float angle = 0.0f);
  ETransition(const ETransition&) = default;
  ETransition& operator=(const ETransition&) = default;
  virtual ~ETransition();

  // Plain stores, validated when a measurement runs.
  int GetHVConstraint() const { return m_bHVConstraint; }
  void SetHVConstraint(int constraint) { m_bHVConstraint = constraint; }
  unsigned int GetThickness() const { return m_un32Thickness; }
  void SetThickness(unsigned int thickness) { m_un32Thickness = thickness; }
  unsigned int GetSmoothing() const { return m_un32Smoothing; }
  void SetSmoothing(unsigned int smoothing) { m_un32Smoothing = smoothing; }
  GGE_TRANSITION_TYPE GetTransitionType() const { return m_eTransitionType; }
  void SetTransitionType(GGE_TRANSITION_TYPE type) { m_eTransitionType = type; }
  GGE_TRANSITION_CHOICE GetTransitionChoice() const { return m_eTransitionChoice; }
  void SetTransitionChoice(GGE_TRANSITION_CHOICE choice) { m_eTransitionChoice = choice; }
  unsigned int GetTransitionIndex() const { return m_un32TransitionIndex; }
  void SetTransitionIndex(unsigned int index) { m_un32TransitionIndex = index; }
  unsigned int GetThreshold() const { return m_un32Threshold; }
  void SetThreshold(unsigned int threshold) { m_un32Threshold = threshold; }
  unsigned int GetMinAmplitude() const { return m_un32MinAmplitude; }
  void SetMinAmplitude(unsigned int amplitude) { m_un32MinAmplitude = amplitude; }
  unsigned int GetMinArea() const { return m_un32MinArea; }
  void SetMinArea(unsigned int area) { m_un32MinArea = area; }
  int GetKeepFirstAndLastIncompletePeak() const { return m_bKeepFirstAndLastIncompletePeak; }
  void SetKeepFirstAndLastIncompletePeak(int keep) { m_bKeepFirstAndLastIncompletePeak = keep; }
  // The sampler (pixel walk by default). Thresholds, amplitudes and areas keep their units in
  // both modes. A value outside GGE_SAMPLING_MODE is refused with 32767 and the mode is kept.
  GGE_SAMPLING_MODE GetSamplingMode() const { return m_eSamplingMode; }
  void SetSamplingMode(GGE_SAMPLING_MODE mode);

  // The tolerance segment keeps its centre and gets length 2 x tolerance and the given angle
  // (caller's unit); GetTolerance returns its half-length.
  void SetTolerance(float tolerance, float angle);
  float GetTolerance() const;
  // The tolerance segment's angle (caller's unit), so that a new tolerance can keep it.
  float GetToleranceAngle() const { return m_ToleranceSegment.GetAngle(); }
  // Multiplies the tolerance segment's centre and half-length.
  void Rescale(float factor);

  // Non-zero when the last measurement selected a peak.
  int GetValid() const { return m_n32SelectedIndex >= 0 ? 1 : 0; }
  // The peak at index, or the selected one for the all-bits-set index. No selection: 12007 and
  // an all-zero record; an index past the peaks: 1011 and an all-zero record.
  EPeak GetMeasuredPeak(unsigned int index = ~0u);
  // That peak's centre on the sampling segment, in root-image pixels; on the same errors, the
  // tolerance segment's centre.
  EPoint GetMeasuredPoint(unsigned int index = ~0u);

  // Results of the last measurement.
  const EBW32Vector& GetProfile() const { return m_Profile; }
  const EDerivativeVector& GetDerivative() const { return m_Derivative; }
  unsigned GetNumPeaks() const { return m_Peaks.GetNumElements(); }

 protected:
  // One measurement along the pixel segment (x0, y0)-(x1, y1), in the coordinates of the root
  // image of roi: sampling, smoothing, derivation, analysis and choice. In interpolated mode the
  // segment is sampled as MeasureInterpolated does.
  void Measure(EROI<EBW8>* roi, int x0, int y0, int x1, int y1);
  // The same with the interpolated sampler along the exact segment (x0, y0)-(x1, y1), whatever
  // the mode. End points that are not finite, or farther than 1e9 pixels, sample nothing.
  void MeasureInterpolated(EROI<EBW8>* roi, double x0, double y0, double x1, double y1);
  // Places the tolerance segment: centre and angle (radians) in the gauge's placement
  // coordinates, length unchanged.
  void PlaceToleranceSegment(EPoint center, float angle);
  // Measures along the tolerance segment: its ends are converted to sensor pixels through
  // `placement` (the gauge's mother; NULL: the coordinates are pixels already), rounded down,
  // or to the nearest integer with halves away from zero when `nearest` is set; in interpolated
  // mode they are not rounded. Ends that are not finite pixel positions measure nothing and
  // leave no transition selected.
  void MeasureToleranceSegment(EROI<EBW8>* roi, EShape* placement, bool nearest);
  // The same along the segment from org to end, given in placement's coordinates; the
  // tolerance segment is left as it is (gauges that lay many profiles compute their ends).
  void MeasureSegment(EROI<EBW8>* roi, EShape* placement, EPoint org, EPoint end, bool nearest);
  // One profile of a gauge measurement: MeasureSegment along org-end, then, when a transition is
  // selected, its point in placement coordinates (as SelectedPointIn gives it) and, when area
  // is not null, its peak's area; false when none is selected. The common profile (pixel walk,
  // thickness 1, no smoothing, an edge, the setup shared by ShareProfiles) runs in one pass.
  bool MeasureGaugeProfile(EROI<EBW8>* roi, EShape* placement, EPoint org, EPoint end, bool nearest,
                           EPoint& point, int32_t* area);
  // The tolerance segment's ends in sensor pixels as MeasureToleranceSegment takes them; false
  // when they are not finite pixel positions.
  bool ToleranceSegmentPixels(EShape* placement, bool nearest, int& x0, int& y0, int& x1, int& y1);
  // The same for the segment from org to end.
  static bool SegmentPixels(EShape* placement, EPoint org, EPoint end, bool nearest, int& x0,
                            int& y0, int& x1, int& y1);
  // The same unrounded, as the interpolated sampler takes them.
  static bool SegmentSensorPoints(EShape* placement, EPoint org, EPoint end, double& x0, double& y0,
                                  double& x1, double& y1);
  // The selected transition in the gauge's placement coordinates (through placement's
  // SensorToLocal).
  EPoint SelectedPointIn(EShape* placement);
  // Draws a segment where it is sampled (ends as for MeasureSegment, after the
  // horizontal/vertical adjustment): a line for a thickness of 1, else the outline of the
  // summed band. With `pictogram`, a small sign of the transition type at its middle.
  void DrawSampledSegment(Quarnel::DrawAdapter* adapter, EShape* placement, EPoint org, EPoint end,
                          bool nearest, bool pictogram);
  // DrawSampledSegment of the tolerance segment.
  void DrawToleranceSegment(Quarnel::DrawAdapter* adapter, EShape* placement, bool nearest,
                            bool pictogram);
  // Derivative of the current profile.
  void DeriveProfile();
  // Peaks of vector beyond [low, high] times the analysis scale.
  void Analyse(EBW32Vector* vector, int low, int high);
  void Analyse(EDerivativeVector* vector, int low, int high);

  // The record (mode non-zero writes); version is the container's file format version. Failures
  // go to the error state (1103, 1104, 12010) and stop the record.
  virtual void Serialize(FILE* stream, int mode, unsigned int version);

  int GetTransitionRectangularSamplingArea() const { return m_bTransitionRectangularSamplingArea; }
  void SetTransitionRectangularSamplingArea(int rectangular) {
    m_bTransitionRectangularSamplingArea = rectangular;
  }

  EProfileVector m_Profile;
  EDerivativeVector m_Derivative;
  EPeaksVector m_Peaks;  // in profile order
  int m_bHVConstraint;
  uint32_t m_un32Thickness;
  uint32_t m_un32Smoothing;
  ELine m_ToleranceSegment;  // in the owning gauge's local coordinates
  // Pixel end points of the last sampled segment, after the horizontal/vertical adjustment.
  int32_t m_n32SamplingX0, m_n32SamplingY0, m_n32SamplingX1, m_n32SamplingY1;
  // Sub-pixel end points of the last interpolated sampling, after the adjustment; they replace
  // the pixel end points while m_bSampledInterpolated is set.
  double m_f64SamplingX0, m_f64SamplingY0, m_f64SamplingX1, m_f64SamplingY1;
  bool m_bSampledInterpolated;
  uint32_t m_un32AnalysisScale;  // Thickness x applied Smoothing: multiplies every limit
  GGE_TRANSITION_TYPE m_eTransitionType;
  GGE_TRANSITION_CHOICE m_eTransitionChoice;
  uint32_t m_un32TransitionIndex;
  uint32_t m_un32Threshold;
  uint32_t m_un32MinAmplitude;
  uint32_t m_un32MinArea;
  int m_bKeepFirstAndLastIncompletePeak;
  int32_t m_n32SelectedIndex;  // -1: nothing found
  int m_bTransitionRectangularSamplingArea;
  // Offset from the centre line to the outermost band pixel of the last rectangular sampling.
  int32_t m_n32BandHalfExtentX, m_n32BandHalfExtentY;
  GGE_SAMPLING_MODE m_eSamplingMode;

  // Every profile of a gauge measurement reads the same region through the same placement: the
  // gauge looks them up once and shares them for the length of its profile loop,
  // ShareProfiles(&shared) before and ShareProfiles(nullptr) after. Measurements of another
  // region or placement look up their own.
  void ShareProfiles(const vimo_profile::SharedProfiles* shared) { m_pShared = shared; }
  const vimo_profile::SharedProfiles* m_pShared = nullptr;

 private:
  // The gauges that hold transitions as members measure and persist through them.
  friend class ERectangleGauge;
  friend class EWedgeGauge;
  template <class, class>
  friend class EEdgeGauge;
  friend struct ETransitionTestAccess;

  void AnalyseLimits(bool onProfile, int64_t low, int64_t high);
  // The limits of the transition type, on the profile (bars) or its derivative (edges), before
  // the analysis scale; false for a type the transition does not know.
  bool TypeLimits(bool& onProfile, int64_t& low, int64_t& high) const;
  // The drawn half-extent of a pixel-walk band across the pixel segment (x0, y0)-(x1, y1).
  void PixelWalkBand(int x0, int y0, int x1, int y1, float& ox, float& oy) const;
  // The edge profile of single pixels from (x0, y0) to (x1, y1), after the horizontal/vertical
  // adjustment, in one pass (thickness 1, no smoothing, an edge type): the selected peak's index
  // or -1, with the sampling segment and scale recorded as Measure records them; or
  // vimo_profile::kGeneralPath, nothing changed, for a line the pass does not take.
  // Internal types in its signature: not exported.
  VIMO_NO_EXPORT int MeasureThinEdge(const vimo_profile::RootView& image, int x0, int y0, int x1,
                                     int y1, vimo_profile::LineOffsetCache* lines);
  // After a measurement: whether a transition is selected, and then its point in placement
  // coordinates and, when area is not null, its peak's area.
  bool SelectedResult(EShape* placement, EPoint& point, int32_t* area);
  // Derivation, analysis and choice on the current profile, after its sampling and smoothing.
  void AnalyseProfile();

  // Highest transition record version the reader accepts; lowered only to check how readers
  // that predate a version treat it.
  static uint8_t s_un8ReadableRecordVersion;

  // Diagnostic switch: the axis sampler takes the pixel on the floor side of the segment instead
  // of the nearest one. Only for accuracy comparisons.
  static bool s_bFloorAxisRule;
};

#endif
