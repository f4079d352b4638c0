#include "vimo/gauges/transition.h"

#include <cmath>
#include <string>

#include "vimo/calibration/worldshape.h"
#include "vimo/gauges/profilesampler.h"
#include "vimo/shapes/shape.h"

using namespace vimo_profile;

bool ETransition::s_bFloorAxisRule = false;
uint8_t ETransition::s_un8ReadableRecordVersion = 3;

ETransition::ETransition(float tolerance, float angle)
    : m_bHVConstraint(0),
      m_un32Thickness(1),
      m_un32Smoothing(1),
      m_ToleranceSegment(EPoint(0.0f, 0.0f), 20.0f, 0.0f),
      m_n32SamplingX0(0),
      m_n32SamplingY0(0),
      m_n32SamplingX1(0),
      m_n32SamplingY1(0),
      m_f64SamplingX0(0),
      m_f64SamplingY0(0),
      m_f64SamplingX1(0),
      m_f64SamplingY1(0),
      m_bSampledInterpolated(false),
      m_un32AnalysisScale(1),
      m_eTransitionType(GGE_ANY_EDGE),
      m_eTransitionChoice(GGE_MAX_AMPLITUDE),
      m_un32TransitionIndex(0),
      m_un32Threshold(20),
      m_un32MinAmplitude(10),
      m_un32MinArea(0),
      m_bKeepFirstAndLastIncompletePeak(0),
      m_n32SelectedIndex(-1),
      m_bTransitionRectangularSamplingArea(1),
      m_n32BandHalfExtentX(0),
      m_n32BandHalfExtentY(0),
      m_eSamplingMode(GGE_SAMPLING_PIXEL_WALK) {
  SetTolerance(tolerance, angle);
}

void ETransition::SetSamplingMode(GGE_SAMPLING_MODE mode) {
  if (mode != GGE_SAMPLING_PIXEL_WALK && mode != GGE_SAMPLING_INTERPOLATED) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("ETransition::SetSamplingMode");
    return;
  }
  m_eSamplingMode = mode;
}

ETransition::~ETransition() = default;

void ETransition::SetTolerance(float tolerance, float angle) {
  m_ToleranceSegment.SetLength(2.0f * tolerance);
  m_ToleranceSegment.SetAngle(angle);
}

float ETransition::GetTolerance() const { return 0.5f * m_ToleranceSegment.GetLength(); }

void ETransition::Rescale(float factor) {
  m_ToleranceSegment.SetCenter(m_ToleranceSegment.GetX() * factor,
                               m_ToleranceSegment.GetY() * factor);
  m_ToleranceSegment.SetLength(m_ToleranceSegment.GetLength() * factor);
}

void ETransition::PlaceToleranceSegment(EPoint center, float angle) {
  m_ToleranceSegment.Set(center, m_ToleranceSegment.GetLength(), EFromRadians(angle));
}

namespace {
// A sensor coordinate as a pixel index; false when it is not a finite value within the range
// the samplers can step through.
inline __attribute__((always_inline)) bool ToPixel(float v, bool nearest, int& out) {
  if (!(std::fabs(v) < 1.0e9f)) return false;
  if (nearest) {
    out = static_cast<int>(v >= 0 ? v + 0.5f : v - 0.5f);
  } else {
    // The floor: truncation, one less for a negative value with a fraction (exact below 1e9).
    const int truncated = static_cast<int>(v);
    out = truncated - (static_cast<float>(truncated) > v ? 1 : 0);
  }
  return true;
}
}  // namespace

namespace {

// Limits of an analysis in profile units: each per-pixel value times the analysis scale.
RunLimits ScaledLimits(int64_t low, int64_t high, uint32_t analysisScale, uint32_t minAmplitude,
                       uint32_t minArea, int keepIncomplete) {
  const int64_t scale = analysisScale > 0 ? analysisScale : 1;
  return RunLimits{
      low * scale, high * scale,       int64_t(minAmplitude) * scale, int64_t(minArea) * scale,
      scale,       keepIncomplete != 0};
}

}  // namespace

SharedProfiles::SharedProfiles(const EROI<EBW8>* region, EShape* shape)
    : roi(region), root(region), placement(shape) {
  if (shape == nullptr) return;
  if (!shape->IsWorld()) {
    const EFrame* frame = shape->GetFrame();
    frame->GetTransform(m11, m12, m21, m22, tx, ty);
    frame->GetInverse(i11, i12, i21, i22);
    framed = true;
  }
  world = shape->GetWorldShape();
  if (world != nullptr && world->IsIdentityMapping()) world = nullptr;
}

bool ETransition::SegmentPixels(EShape* placement, EPoint org, EPoint end, bool nearest, int& x0,
                                int& y0, int& x1, int& y1) {
  if (placement != nullptr) {
    org = placement->LocalToSensor(org);
    end = placement->LocalToSensor(end);
  }
  return ToPixel(org.GetX(), nearest, x0) && ToPixel(org.GetY(), nearest, y0) &&
         ToPixel(end.GetX(), nearest, x1) && ToPixel(end.GetY(), nearest, y1);
}

bool ETransition::ToleranceSegmentPixels(EShape* placement, bool nearest, int& x0, int& y0, int& x1,
                                         int& y1) {
  return SegmentPixels(placement, m_ToleranceSegment.GetOrg(), m_ToleranceSegment.GetEnd(), nearest,
                       x0, y0, x1, y1);
}

void ETransition::MeasureToleranceSegment(EROI<EBW8>* roi, EShape* placement, bool nearest) {
  MeasureSegment(roi, placement, m_ToleranceSegment.GetOrg(), m_ToleranceSegment.GetEnd(), nearest);
}

bool ETransition::SegmentSensorPoints(EShape* placement, EPoint org, EPoint end, double& x0,
                                      double& y0, double& x1, double& y1) {
  if (placement != nullptr) {
    org = placement->LocalToSensor(org);
    end = placement->LocalToSensor(end);
  }
  x0 = org.GetX(), y0 = org.GetY(), x1 = end.GetX(), y1 = end.GetY();
  const double limit = kMaxInterpolatedCoordinate;
  return std::fabs(x0) < limit && std::fabs(y0) < limit && std::fabs(x1) < limit &&
         std::fabs(y1) < limit;
}

void ETransition::MeasureSegment(EROI<EBW8>* roi, EShape* placement, EPoint org, EPoint end,
                                 bool nearest) {
  const SharedProfiles* shared = m_pShared;
  if (shared != nullptr && shared->placement == placement) {
    org = shared->ToSensor(org);
    end = shared->ToSensor(end);
    placement = nullptr;  // the ends are sensor pixels now
  }
  if (m_eSamplingMode == GGE_SAMPLING_INTERPOLATED) {
    double fx0, fy0, fx1, fy1;
    if (!SegmentSensorPoints(placement, org, end, fx0, fy0, fx1, fy1)) {
      m_Peaks.Empty();
      m_n32SelectedIndex = -1;
      return;
    }
    MeasureInterpolated(roi, fx0, fy0, fx1, fy1);
    return;
  }
  int x0, y0, x1, y1;
  if (!SegmentPixels(placement, org, end, nearest, x0, y0, x1, y1)) {
    m_Peaks.Empty();
    m_n32SelectedIndex = -1;
    return;
  }
  Measure(roi, x0, y0, x1, y1);
}

bool ETransition::MeasureGaugeProfile(EROI<EBW8>* roi, EShape* placement, EPoint org, EPoint end,
                                      bool nearest, EPoint& point, int32_t* area) {
  const SharedProfiles* shared = m_pShared;
  if (shared == nullptr || shared->placement != placement || roi != shared->roi ||
      m_eSamplingMode != GGE_SAMPLING_PIXEL_WALK || m_un32Thickness != 1 || m_un32Smoothing > 1 ||
      m_eTransitionType < GGE_DARK_TO_BRIGHT || m_eTransitionType > GGE_ANY_EDGE) {
    MeasureSegment(roi, placement, org, end, nearest);
    return SelectedResult(placement, point, area);
  }
  // MeasureSegment, Measure and SelectedPointIn for this profile, without their general cases.
  const EPoint a = shared->ToSensor(org), b = shared->ToSensor(end);
  int x0, y0, x1, y1;
  if (!ToPixel(a.GetX(), nearest, x0) || !ToPixel(a.GetY(), nearest, y0) ||
      !ToPixel(b.GetX(), nearest, x1) || !ToPixel(b.GetY(), nearest, y1)) {
    m_Peaks.Empty();
    m_n32SelectedIndex = -1;
    return false;
  }
  const int ox0 = x0, oy0 = y0, ox1 = x1, oy1 = y1;
  if (m_bHVConstraint) ConstrainHV(x0, y0, x1, y1);
  const int selected = MeasureThinEdge(shared->root, x0, y0, x1, y1, shared->lines);
  if (selected == kGeneralPath) {
    // A profile that leaves the image.
    Measure(roi, ox0, oy0, ox1, oy1);
    return SelectedResult(placement, point, area);
  }
  if (selected < 0) return false;
  // GetMeasuredPoint of the selected peak, on a profile of at least two samples.
  const EPeak& peak = m_Peaks.GetDataPtr()[selected];
  const double t = double(peak.Center) / (double(m_Profile.GetNumElements()) - 1.0);
  const double dx = double(x1) - x0, dy = double(y1) - y0;
  point = shared->ToLocal(EPoint(static_cast<float>(x0 + dx * t), static_cast<float>(y0 + dy * t)));
  if (area != nullptr) *area = peak.Area;
  return true;
}

int ETransition::MeasureThinEdge(const RootView& image, int x0, int y0, int x1, int y1,
                                 LineOffsetCache* lines) {
  // Called for the edge types only, whose limits TypeLimits always gives.
  bool onProfile = false;
  int64_t low = 0, high = 0;
  TypeLimits(onProfile, low, high);
  const int selected = MeasureThinEdgeProfile(
      image, DigitalLine(x0, y0, x1, y1, !s_bFloorAxisRule),
      ScaledLimits(low, high, 1, m_un32MinAmplitude, m_un32MinArea,
                   m_bKeepFirstAndLastIncompletePeak),
      m_eTransitionChoice, m_un32TransitionIndex, m_Profile, m_Derivative, m_Peaks, lines);
  if (selected == kGeneralPath) return selected;
  m_n32SamplingX0 = x0;
  m_n32SamplingY0 = y0;
  m_n32SamplingX1 = x1;
  m_n32SamplingY1 = y1;
  m_bSampledInterpolated = false;
  m_un32AnalysisScale = 1;
  m_n32SelectedIndex = selected;
  return selected;
}

bool ETransition::SelectedResult(EShape* placement, EPoint& point, int32_t* area) {
  if (!GetValid()) return false;
  point = SelectedPointIn(placement);
  if (area != nullptr) *area = GetMeasuredPeak().Area;
  return true;
}

EPoint ETransition::SelectedPointIn(EShape* placement) {
  EPoint p = GetMeasuredPoint(~0u);
  if (placement == nullptr) return p;
  const SharedProfiles* shared = m_pShared;
  return shared != nullptr && shared->placement == placement ? shared->ToLocal(p)
                                                             : placement->SensorToLocal(p);
}

void ETransition::Measure(EROI<EBW8>* roi, int x0, int y0, int x1, int y1) {
  if (m_eSamplingMode == GGE_SAMPLING_INTERPOLATED) return MeasureInterpolated(roi, x0, y0, x1, y1);
  if (m_bHVConstraint) ConstrainHV(x0, y0, x1, y1);

  const uint64_t thickness = m_un32Thickness;
  const uint64_t smoothing = m_un32Smoothing > 1 ? m_un32Smoothing : 1;
  if (thickness == 0 || thickness * smoothing > kMaxSampleWeight) {
    // Nothing is sampled: the previous profile, scale and segment stay and are analysed again.
    // A weight beyond kMaxSampleWeight would overflow the 32-bit sums.
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("EPointMeasure::SampleProfile");
  } else if (roi == nullptr) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("ETransition::Measure");
    m_Profile.Empty();
  } else {
    m_n32SamplingX0 = x0;
    m_n32SamplingY0 = y0;
    m_n32SamplingX1 = x1;
    m_n32SamplingY1 = y1;
    m_bSampledInterpolated = false;
    const RootView image =
        m_pShared != nullptr && roi == m_pShared->roi ? m_pShared->root : RootView(roi);
    if (thickness == 1 && smoothing == 1 && m_eTransitionType >= GGE_DARK_TO_BRIGHT &&
        m_eTransitionType <= GGE_ANY_EDGE) {
      // The common edge profile in one pass; lines leaving the image take the general path.
      if (MeasureThinEdge(image, x0, y0, x1, y1, nullptr) != kGeneralPath) return;
    }
    SampleStatus status;
    if (m_bTransitionRectangularSamplingArea && thickness > 1)
      status = SampleRectangular(image, DigitalLine(x0, y0, x1, y1, true), m_un32Thickness,
                                 m_Profile, m_n32BandHalfExtentX, m_n32BandHalfExtentY);
    else
      status = SampleAxis(image, DigitalLine(x0, y0, x1, y1, !s_bFloorAxisRule), m_un32Thickness,
                          m_Profile);
    m_un32AnalysisScale = m_un32Thickness;
    if (status == kSampleCannotSize) {
      ETraceError("EPointMeasure::SampleProfile");
      m_Profile.Empty();
    } else if (smoothing > 1 && m_Profile.GetNumElements() > 0) {
      // The derivative is rebuilt below, so its storage serves as the smoothing buffer.
      if (Smooth(m_Profile, m_un32Smoothing, m_Derivative))
        m_un32AnalysisScale = static_cast<uint32_t>(thickness * smoothing);
    }
  }

  AnalyseProfile();
}

void ETransition::MeasureInterpolated(EROI<EBW8>* roi, double x0, double y0, double x1, double y1) {
  SubpixelSegment segment(x0, y0, x1, y1);
  if (m_bHVConstraint) segment.ConstrainHV();

  const uint64_t thickness = m_un32Thickness;
  const uint64_t smoothing = m_un32Smoothing > 1 ? m_un32Smoothing : 1;
  if (thickness == 0 || thickness * smoothing > kMaxSampleWeight / kInterpolatedScale) {
    // As for the pixel walk: nothing is sampled, and the previous profile is analysed again.
    // The weight is compared before the scale multiplies it, which could wrap 64 bits.
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("EPointMeasure::SampleProfile");
  } else if (roi == nullptr) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("ETransition::Measure");
    m_Profile.Empty();
  } else {
    m_f64SamplingX0 = segment.x0;
    m_f64SamplingY0 = segment.y0;
    m_f64SamplingX1 = segment.x1;
    m_f64SamplingY1 = segment.y1;
    m_bSampledInterpolated = true;
    m_n32BandHalfExtentX = m_n32BandHalfExtentY = 0;
    const SampleStatus status = SampleInterpolated(
        m_pShared != nullptr && roi == m_pShared->roi ? m_pShared->root : RootView(roi), segment,
        m_un32Thickness, m_Profile);
    // The profile's sixteenths of a grey level are folded into the scale of every limit.
    m_un32AnalysisScale = static_cast<uint32_t>(thickness * kInterpolatedScale);
    if (status == kSampleCannotSize) {
      ETraceError("EPointMeasure::SampleProfile");
      m_Profile.Empty();
    } else if (smoothing > 1 && m_Profile.GetNumElements() > 0) {
      if (Smooth(m_Profile, m_un32Smoothing, m_Derivative))
        m_un32AnalysisScale = static_cast<uint32_t>(thickness * smoothing * kInterpolatedScale);
    }
  }
  AnalyseProfile();
}

bool ETransition::TypeLimits(bool& onProfile, int64_t& low, int64_t& high) const {
  const int64_t threshold = m_un32Threshold;
  onProfile = m_eTransitionType == GGE_BRIGHT_BAR || m_eTransitionType == GGE_DARK_BAR;
  switch (m_eTransitionType) {
    case GGE_DARK_TO_BRIGHT: low = -256, high = threshold; return true;
    case GGE_BRIGHT_TO_DARK: low = -threshold, high = 256; return true;
    case GGE_ANY_EDGE: low = -threshold, high = threshold; return true;
    case GGE_BRIGHT_BAR: low = 0, high = threshold; return true;
    case GGE_DARK_BAR: low = threshold, high = 256; return true;
    default: return false;
  }
}

void ETransition::AnalyseProfile() {
  DeriveProfile();
  bool onProfile;
  int64_t low, high;
  if (TypeLimits(onProfile, low, high)) {
    AnalyseLimits(onProfile, low, high);
  } else {
    // Peaks of an earlier profile would be reported on this segment: drop them.
    m_Peaks.Empty();
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("ETransition::Measure");
  }
  m_n32SelectedIndex =
      SelectPeak(m_Peaks, m_eTransitionChoice, m_un32TransitionIndex, m_Profile.GetNumElements());
}

void ETransition::DeriveProfile() { Derive(m_Profile, m_Derivative); }

void ETransition::AnalyseLimits(bool onProfile, int64_t low, int64_t high) {
  const RunLimits limits = ScaledLimits(low, high, m_un32AnalysisScale, m_un32MinAmplitude,
                                        m_un32MinArea, m_bKeepFirstAndLastIncompletePeak);
  if (onProfile)
    AnalyseRuns(m_Profile.GetDataPtr(), m_Profile.GetNumElements(), limits, m_Peaks);
  else
    AnalyseRuns(m_Derivative.GetDataPtr(), m_Derivative.GetNumElements(), limits, m_Peaks);
}

void ETransition::Analyse(EBW32Vector* vector, int low, int high) {
  m_Peaks.Empty();
  if (vector == nullptr) return;
  AnalyseRuns(vector->GetDataPtr(), vector->GetNumElements(),
              ScaledLimits(low, high, m_un32AnalysisScale, m_un32MinAmplitude, m_un32MinArea,
                           m_bKeepFirstAndLastIncompletePeak),
              m_Peaks);
}

void ETransition::Analyse(EDerivativeVector* vector, int low, int high) {
  m_Peaks.Empty();
  if (vector == nullptr) return;
  AnalyseRuns(vector->GetDataPtr(), vector->GetNumElements(),
              ScaledLimits(low, high, m_un32AnalysisScale, m_un32MinAmplitude, m_un32MinArea,
                           m_bKeepFirstAndLastIncompletePeak),
              m_Peaks);
}

EPeak ETransition::GetMeasuredPeak(unsigned int index) {
  if (index == ~0u) {
    if (m_n32SelectedIndex < 0) {
      ESetError(E_ERROR_NO_TRANSITION_SELECTED);
      ETraceError("ETransition::GetMeasuredPeak");
      return EPeak{0, 0, 0.0f, 0, 0};
    }
    index = static_cast<unsigned>(m_n32SelectedIndex);
  }
  if (index >= m_Peaks.GetNumElements()) {
    ESetError(E_ERROR_INDEX_OUT_OF_RANGE);
    ETraceError("ETransition::GetMeasuredPeak");
    return EPeak{0, 0, 0.0f, 0, 0};
  }
  return m_Peaks.GetDataPtr()[index];
}

EPoint ETransition::GetMeasuredPoint(unsigned int index) {
  if (index == ~0u) {
    if (m_n32SelectedIndex < 0) {
      ESetError(E_ERROR_NO_TRANSITION_SELECTED);
      return m_ToleranceSegment.GetCenter();
    }
    index = static_cast<unsigned>(m_n32SelectedIndex);
  }
  if (index >= m_Peaks.GetNumElements()) {
    ESetError(E_ERROR_INDEX_OUT_OF_RANGE);
    return m_ToleranceSegment.GetCenter();
  }
  const double center = m_Peaks.GetDataPtr()[index].Center;
  const unsigned count = m_Profile.GetNumElements();
  // A one-sample profile sits on a zero-length segment: its only position is the start.
  const double t = count > 1 ? center / (double(count) - 1.0) : 0.0;
  if (m_bSampledInterpolated) {
    const double x0 = m_f64SamplingX0, y0 = m_f64SamplingY0;
    return EPoint(static_cast<float>(x0 + (m_f64SamplingX1 - x0) * t),
                  static_cast<float>(y0 + (m_f64SamplingY1 - y0) * t));
  }
  const double x0 = m_n32SamplingX0, y0 = m_n32SamplingY0;
  const double dx = double(m_n32SamplingX1) - x0, dy = double(m_n32SamplingY1) - y0;
  return EPoint(static_cast<float>(x0 + dx * t), static_cast<float>(y0 + dy * t));
}

namespace {

// Transfers one field; a failure sets 1104 (writing) or 1103 (reading). A field being read
// changes only when all its bytes arrived.
template <class T>
bool TransferField(FILE* stream, int mode, T& field) {
  if (mode) {
    if (std::fwrite(&field, sizeof(T), 1, stream) == 1) return true;
    ESetError(E_ERROR_WRITE_FAILED);
    return false;
  }
  T value;
  if (std::fread(&value, sizeof(T), 1, stream) == 1) {
    field = value;
    return true;
  }
  ESetError(E_ERROR_READ_FAILED);
  return false;
}

// Tells whether a nested record raised an error, even when an earlier error was still pending.
class ErrorWatch {
 public:
  ErrorWatch() : m_Code(EGetError()), m_Trace(EGetErrorTrace()) {}
  bool Raised() const {
    const E_ERRORS now = EGetError();
    if (now == E_OK) return false;
    return m_Code == E_OK || now != m_Code || m_Trace != EGetErrorTrace();
  }

 private:
  E_ERRORS m_Code;
  std::string m_Trace;
};

bool TransferSegment(FILE* stream, int mode, unsigned int version, ELine& segment) {
  ErrorWatch watch;
  segment.Serialize(stream, mode, version);
  return !watch.Raised();
}

}  // namespace

void ETransition::Serialize(FILE* stream, int mode, unsigned int version) {
  if (stream == nullptr) {
    ESetError(mode ? E_ERROR_WRITE_FAILED : E_ERROR_READ_FAILED);
    return;
  }
  if (version > 3) {
    // Version 3 adds the sampling mode; a pixel-walk transition writes version 2, byte for byte
    // the record of readers that know no other sampler, and those refuse version 3.
    uint8_t un8Version = m_eSamplingMode == GGE_SAMPLING_PIXEL_WALK ? 2 : 3;
    if (!TransferField(stream, mode, un8Version)) return;
    if (!mode && un8Version > s_un8ReadableRecordVersion) {
      ESetError(E_ERROR_GAUGE_VERSION_TOO_NEW);
      return;
    }
    if (un8Version >= 2) {
      if (!TransferField(stream, mode, m_bTransitionRectangularSamplingArea)) return;
      if (!TransferField(stream, mode, m_bKeepFirstAndLastIncompletePeak)) return;
    } else {
      m_bTransitionRectangularSamplingArea = 0;
      m_bKeepFirstAndLastIncompletePeak = 0;
    }
    if (un8Version >= 3) {
      int32_t sampling = m_eSamplingMode;
      if (!TransferField(stream, mode, sampling)) return;
      if (sampling != GGE_SAMPLING_PIXEL_WALK && sampling != GGE_SAMPLING_INTERPOLATED) {
        ESetError(E_ERROR_INVALID_PARAMETER);
        return;
      }
      m_eSamplingMode = static_cast<GGE_SAMPLING_MODE>(sampling);
    } else {
      m_eSamplingMode = GGE_SAMPLING_PIXEL_WALK;
    }
  }
  if (!TransferSegment(stream, mode, version, m_ToleranceSegment)) return;
  if (!TransferField(stream, mode, m_eTransitionChoice)) return;
  if (!TransferField(stream, mode, m_eTransitionType)) return;
  // The segment is stored twice with the same content; the second copy is the one kept.
  if (!TransferSegment(stream, mode, version, m_ToleranceSegment)) return;
  if (!TransferField(stream, mode, m_un32MinAmplitude)) return;
  if (!TransferField(stream, mode, m_un32MinArea)) return;
  if (!TransferField(stream, mode, m_un32Smoothing)) return;
  if (!TransferField(stream, mode, m_un32Thickness)) return;
  if (!TransferField(stream, mode, m_un32Threshold)) return;
  if (!TransferField(stream, mode, m_un32TransitionIndex)) return;
  TransferField(stream, mode, m_bHVConstraint);
}
