// The parameters and overall results of a ball grid array inspection. The inspection run
// itself lies outside the library: it reads the parameters here and writes the results back.
#ifndef VIMO_BGA_BGA_H
#define VIMO_BGA_BGA_H

#include "vimo/bga/bgaball.h"
#include "vimo/bga/bgacomponent.h"
#include "vimo/core/vimo_export.h"

// Symmetry of the ball layout of a component.
enum BGA_SYMMETRY {
  BGA_SYMMETRY_NONE = 0,
  BGA_SYMMETRY_X = 1,
  BGA_SYMMETRY_Y = 2,
  BGA_SYMMETRY_XY = 3,
  BGA_SYMMETRY_ROTATION_90 = 4
};

// Which figure decides a ball's measured position and diameter.
enum BGA_MEASURE_ASSESSMENT {
  BGA_MEASURE_ASSESSMENT_CENTROID = 0,
  BGA_MEASURE_ASSESSMENT_FITTED_CIRCLE = 1
};

// How circularity is assessed: from the area against the perimeter, or from the spread of
// the edge radii.
enum BGA_CIRCULARITY_ASSESSMENT {
  BGA_CIRCULARITY_ASSESSMENT_AREA_PERIMETER = 0,
  BGA_CIRCULARITY_ASSESSMENT_RADIUS_SPREAD = 1
};

class VIMO_EXPORT EBGA {
 public:
  EBGA();

  // Sizes and tolerances: a value that is negative or not finite is refused with 32767 and
  // nothing changes.
  float GetBallDiameter() const { return m_f32BallDiameter; }
  void SetBallDiameter(float diameter);
  float GetBallDiameterTolerance() const { return m_f32BallDiameterTolerance; }
  void SetBallDiameterTolerance(float tolerance);
  float GetBallCircularityTolerance() const { return m_f32BallCircularityTolerance; }
  void SetBallCircularityTolerance(float tolerance);
  float GetBallDoughnutnessTolerance() const { return m_f32BallDoughnutnessTolerance; }
  void SetBallDoughnutnessTolerance(float tolerance);
  float GetBallQualityFactorTolerance() const { return m_f32BallQualityFactorTolerance; }
  void SetBallQualityFactorTolerance(float tolerance);
  float GetOuterRoiDiameter() const { return m_f32OuterRoiDiameter; }
  void SetOuterRoiDiameter(float diameter);
  float GetInnerRoiDiameter() const { return m_f32InnerRoiDiameter; }
  void SetInnerRoiDiameter(float diameter);

  BGA_SYMMETRY GetSymmetry() const { return m_eSymmetry; }
  // A value outside the enumeration is refused with 32767.
  void SetSymmetry(BGA_SYMMETRY symmetry);
  unsigned GetCurrentComponent() const { return m_un32CurrentComponent; }
  void SetCurrentComponent(unsigned index) { m_un32CurrentComponent = index; }
  int GetWhiteOnBlack() const { return m_bWhiteOnBlack; }
  void SetWhiteOnBlack(int whiteOnBlack) { m_bWhiteOnBlack = whiteOnBlack != 0; }
  unsigned GetBlobThreshold() const { return m_un32BlobThreshold; }
  // Grey levels run from 0 to 255: a higher threshold is refused with 32767.
  void SetBlobThreshold(unsigned threshold);
  unsigned GetMinBlobArea() const { return m_un32MinBlobArea; }
  void SetMinBlobArea(unsigned area) { m_un32MinBlobArea = area; }
  unsigned GetMaxBlobArea() const { return m_un32MaxBlobArea; }
  void SetMaxBlobArea(unsigned area) { m_un32MaxBlobArea = area; }
  unsigned GetMaxMissingBalls() const { return m_un32MaxMissingBalls; }
  void SetMaxMissingBalls(unsigned count) { m_un32MaxMissingBalls = count; }
  int GetAutoCalibrateWorld() const { return m_bAutoCalibrateWorld; }
  void SetAutoCalibrateWorld(int value) { m_bAutoCalibrateWorld = value != 0; }
  int GetAutoCalibrateBalls() const { return m_bAutoCalibrateBalls; }
  void SetAutoCalibrateBalls(int value) { m_bAutoCalibrateBalls = value != 0; }
  unsigned GetEnabledQualityDiagnostics() const { return m_un32EnabledQualityDiagnostics; }
  void SetEnabledQualityDiagnostics(unsigned mask) { m_un32EnabledQualityDiagnostics = mask; }
  unsigned GetEnabledQualityStatistics() const { return m_un32EnabledQualityStatistics; }
  void SetEnabledQualityStatistics(unsigned mask) { m_un32EnabledQualityStatistics = mask; }
  BGA_MEASURE_ASSESSMENT GetMeasureAssessment() const { return m_eMeasureAssessment; }
  void SetMeasureAssessment(BGA_MEASURE_ASSESSMENT assessment);
  BGA_CIRCULARITY_ASSESSMENT GetCircularityAssessment() const { return m_eCircularityAssessment; }
  void SetCircularityAssessment(BGA_CIRCULARITY_ASSESSMENT assessment);
  int GetPackCloseBlobs() const { return m_bPackCloseBlobs; }
  void SetPackCloseBlobs(int value) { m_bPackCloseBlobs = value != 0; }

  // Results, written by the inspection run.
  int GetSingulatedComponents() const { return m_bSingulatedComponents; }
  void SetSingulatedComponents(int value) { m_bSingulatedComponents = value != 0; }
  unsigned GetDiagnostics() const { return m_un32Diagnostics; }
  void SetDiagnostics(unsigned diagnostics) { m_un32Diagnostics = diagnostics; }
  unsigned GetNumClutter() const { return m_un32NumClutter; }
  void SetNumClutter(unsigned count) { m_un32NumClutter = count; }
  unsigned GetNumExtraBalls() const { return m_un32NumExtraBalls; }
  void SetNumExtraBalls(unsigned count) { m_un32NumExtraBalls = count; }

 private:
  float m_f32BallDiameter;
  float m_f32BallDiameterTolerance;
  float m_f32BallCircularityTolerance;
  float m_f32BallDoughnutnessTolerance;
  float m_f32BallQualityFactorTolerance;
  BGA_SYMMETRY m_eSymmetry;
  unsigned m_un32CurrentComponent;
  int m_bWhiteOnBlack;
  unsigned m_un32BlobThreshold;
  unsigned m_un32MinBlobArea;
  unsigned m_un32MaxBlobArea;
  int m_bSingulatedComponents;
  unsigned m_un32MaxMissingBalls;
  int m_bAutoCalibrateWorld;
  int m_bAutoCalibrateBalls;
  unsigned m_un32EnabledQualityDiagnostics;
  unsigned m_un32EnabledQualityStatistics;
  unsigned m_un32Diagnostics;
  unsigned m_un32NumClutter;
  unsigned m_un32NumExtraBalls;
  float m_f32OuterRoiDiameter;
  float m_f32InnerRoiDiameter;
  BGA_MEASURE_ASSESSMENT m_eMeasureAssessment;
  BGA_CIRCULARITY_ASSESSMENT m_eCircularityAssessment;
  int m_bPackCloseBlobs;
};

#endif
