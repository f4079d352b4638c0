// The parameters and results of a ball grid array inspection.
#include "vimo/bga/bga.h"

#include <cmath>

namespace {

// Stores a size or tolerance: finite and not negative, else 32767 with the trace.
void SetSize(float& field, float value, const char* trace) {
  if (!std::isfinite(value) || value < 0) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError(trace);
    return;
  }
  field = value;
}

// Stores an enumerated value when it lies in [0, last], else 32767 with the trace.
template <class Enum>
void SetChoice(Enum& field, Enum value, int last, const char* trace) {
  if (static_cast<int>(value) < 0 || static_cast<int>(value) > last) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError(trace);
    return;
  }
  field = value;
}

}  // namespace

// Defaults for 0.5 mm balls seen dark on a bright background by an 8-bit camera; every
// quality diagnostic and statistic is enabled.
EBGA::EBGA()
    : m_f32BallDiameter(0.5f),
      m_f32BallDiameterTolerance(0.05f),
      m_f32BallCircularityTolerance(0.2f),
      m_f32BallDoughnutnessTolerance(0.2f),
      m_f32BallQualityFactorTolerance(0.5f),
      m_eSymmetry(BGA_SYMMETRY_NONE),
      m_un32CurrentComponent(0),
      m_bWhiteOnBlack(1),
      m_un32BlobThreshold(128),
      m_un32MinBlobArea(10),
      m_un32MaxBlobArea(100000),
      m_bSingulatedComponents(0),
      m_un32MaxMissingBalls(0),
      m_bAutoCalibrateWorld(0),
      m_bAutoCalibrateBalls(0),
      m_un32EnabledQualityDiagnostics(0xFFFFFFFFu),
      m_un32EnabledQualityStatistics(0xFFFFFFFFu),
      m_un32Diagnostics(0),
      m_un32NumClutter(0),
      m_un32NumExtraBalls(0),
      m_f32OuterRoiDiameter(1.0f),
      m_f32InnerRoiDiameter(0.0f),
      m_eMeasureAssessment(BGA_MEASURE_ASSESSMENT_CENTROID),
      m_eCircularityAssessment(BGA_CIRCULARITY_ASSESSMENT_AREA_PERIMETER),
      m_bPackCloseBlobs(0) {}

void EBGA::SetBallDiameter(float diameter) {
  SetSize(m_f32BallDiameter, diameter, "EBGA::SetBallDiameter");
}
void EBGA::SetBallDiameterTolerance(float tolerance) {
  SetSize(m_f32BallDiameterTolerance, tolerance, "EBGA::SetBallDiameterTolerance");
}
void EBGA::SetBallCircularityTolerance(float tolerance) {
  SetSize(m_f32BallCircularityTolerance, tolerance, "EBGA::SetBallCircularityTolerance");
}
void EBGA::SetBallDoughnutnessTolerance(float tolerance) {
  SetSize(m_f32BallDoughnutnessTolerance, tolerance, "EBGA::SetBallDoughnutnessTolerance");
}
void EBGA::SetBallQualityFactorTolerance(float tolerance) {
  SetSize(m_f32BallQualityFactorTolerance, tolerance, "EBGA::SetBallQualityFactorTolerance");
}
void EBGA::SetOuterRoiDiameter(float diameter) {
  SetSize(m_f32OuterRoiDiameter, diameter, "EBGA::SetOuterRoiDiameter");
}
void EBGA::SetInnerRoiDiameter(float diameter) {
  SetSize(m_f32InnerRoiDiameter, diameter, "EBGA::SetInnerRoiDiameter");
}

void EBGA::SetSymmetry(BGA_SYMMETRY symmetry) {
  SetChoice(m_eSymmetry, symmetry, BGA_SYMMETRY_ROTATION_90, "EBGA::SetSymmetry");
}

void EBGA::SetMeasureAssessment(BGA_MEASURE_ASSESSMENT assessment) {
  SetChoice(m_eMeasureAssessment, assessment, BGA_MEASURE_ASSESSMENT_FITTED_CIRCLE,
            "EBGA::SetMeasureAssessment");
}

void EBGA::SetCircularityAssessment(BGA_CIRCULARITY_ASSESSMENT assessment) {
  SetChoice(m_eCircularityAssessment, assessment, BGA_CIRCULARITY_ASSESSMENT_RADIUS_SPREAD,
            "EBGA::SetCircularityAssessment");
}

void EBGA::SetBlobThreshold(unsigned threshold) {
  if (threshold > 255) {
    ESetError(E_ERROR_INVALID_PARAMETER);
    ETraceError("EBGA::SetBlobThreshold");
    return;
  }
  m_un32BlobThreshold = threshold;
}
