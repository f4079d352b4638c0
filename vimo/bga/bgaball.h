// The ball of a ball grid array: its nominal circle, tolerance, the measured circle and figures
// of an inspection, a diagnostics word and running statistics over the inspected samples.
#ifndef VIMO_BGA_BGABALL_H
#define VIMO_BGA_BGABALL_H

#include "vimo/shapes/circleshape.h"

// How a ball is measured by the inspection run.
enum INS_MEASURE_MODE { INS_MEASURE_MODE_CENTROID = 0, INS_MEASURE_MODE_GAUGE = 1 };

// Diagnostics bits of a ball (and, or-ed over its balls, of a component). Drawing in mode 1
// shows 0x02 as a cross-out, 0x04 as a plus sign on the nominal circle, 0x08 as ticks around
// the measured circle, 0x20 and 0x80 as the measured circle's box, and hides the measured
// outline under 0x10.
enum BGA_DIAGNOSTICS : unsigned {
  BGA_DIAGNOSTIC_FAILED = 0x01,
  BGA_DIAGNOSTIC_MISSING = 0x02,
  BGA_DIAGNOSTIC_OFFSET = 0x04,
  BGA_DIAGNOSTIC_DIAMETER = 0x08,
  BGA_DIAGNOSTIC_QUALITY_FACTOR = 0x10,
  BGA_DIAGNOSTIC_CIRCULARITY = 0x20,
  BGA_DIAGNOSTIC_PITCH = 0x40,
  BGA_DIAGNOSTIC_DOUGHNUTNESS = 0x80
};

// Minimum, maximum and average of one measured figure over a number of samples; the
// accumulator holds their sum.
struct EBGAStatistics {
  float m_f32Minimum;
  float m_f32Maximum;
  float m_f32Average;
  float m_f32Accumulator;

  // The starting values of a ball: the largest single and the smallest positive normal one.
  static EBGAStatistics Empty() { return {3.4028235e38f, 1.17549435e-38f, 0.0f, 0.0f}; }
  // Adds the value as sample number count + 1; the first sample sets minimum and maximum.
  void Add(float value, unsigned count);
};

class EBGABall;

// The six statistics blocks that a ball keeps over its inspected samples and a component over
// its balls, with their accessors.
class VIMO_EXPORT EBGAFigureStatistics {
 public:
  float GetMinimumOffset() const { return m_Offset.m_f32Minimum; }
  float GetMaximumOffset() const { return m_Offset.m_f32Maximum; }
  float GetAverageOffset() const { return m_Offset.m_f32Average; }
  float GetMinimumPitch() const { return m_Pitch.m_f32Minimum; }
  float GetMaximumPitch() const { return m_Pitch.m_f32Maximum; }
  float GetAveragePitch() const { return m_Pitch.m_f32Average; }
  float GetMinimumDiameter() const { return m_Diameter.m_f32Minimum; }
  float GetMaximumDiameter() const { return m_Diameter.m_f32Maximum; }
  float GetAverageDiameter() const { return m_Diameter.m_f32Average; }
  float GetMinimumCircularity() const { return m_Circularity.m_f32Minimum; }
  float GetMaximumCircularity() const { return m_Circularity.m_f32Maximum; }
  float GetAverageCircularity() const { return m_Circularity.m_f32Average; }
  float GetMinimumDoughnutness() const { return m_Doughnutness.m_f32Minimum; }
  float GetMaximumDoughnutness() const { return m_Doughnutness.m_f32Maximum; }
  float GetAverageDoughnutness() const { return m_Doughnutness.m_f32Average; }
  float GetMinimumQualityFactor() const { return m_QualityFactor.m_f32Minimum; }
  float GetMaximumQualityFactor() const { return m_QualityFactor.m_f32Maximum; }
  float GetAverageQualityFactor() const { return m_QualityFactor.m_f32Average; }

 protected:
  // Every block starts again from `start`.
  void ResetFigures(const EBGAStatistics& start);
  // Adds the ball's measured figures as sample number count + 1: offset and pitch by the
  // length of their vector, the measured diameter, circularity, doughnutness, quality factor.
  void AddFigures(const EBGABall& ball, unsigned count);

  EBGAStatistics m_Offset, m_Pitch, m_Diameter, m_Circularity, m_Doughnutness, m_QualityFactor;
};

class VIMO_EXPORT EBGABall : public ECircleShape, public EBGAFigureStatistics {
 public:
  // The ball centred at (x, y) with this diameter, sense and origin angle (caller's unit).
  EBGABall(float x, float y, float diameter, int direct, float angle);
  EBGABall(const EBGABall& other);
  EBGABall& operator=(const EBGABall& other);
  // Calls the release routine on the attached object when both are set.
  ~EBGABall() override;

  // The copy takes the geometry, tolerance, measurements, statistics and diagnostics; the
  // attached object stays with the original. A NULL dst allocates a new ball.
  EBGABall* CopyTo(EBGABall* dst, int recursive) const;

  // The nominal circle; the measured circle becomes a copy of it.
  void Set(EPoint center, float diameter, int direct, float angle);

  INS_MEASURE_MODE GetMeasureMode() const { return m_eMeasureMode; }
  void SetMeasureMode(INS_MEASURE_MODE mode);
  float GetDiameterTolerance() const { return m_f32DiameterTolerance; }
  // A tolerance that is negative or not finite is refused with 32767.
  void SetDiameterTolerance(float tolerance);
  int GetWhiteOnBlack() const { return m_bWhiteOnBlack; }
  void SetWhiteOnBlack(int whiteOnBlack) { m_bWhiteOnBlack = whiteOnBlack != 0; }
  unsigned GetDiagnostics() const { return m_un32Diagnostics; }
  void SetDiagnostics(unsigned diagnostics) { m_un32Diagnostics = diagnostics; }

  // Results of the inspection run. The measured circle is in world coordinates. A value that
  // is not finite (or a negative diameter) is refused with 32767 and nothing changes.
  void SetMeasuredCircle(const ECircle& circle);
  const ECircle& GetMeasuredCircle() const { return m_MeasuredCircle; }
  float GetMeasuredDiameter() const { return m_MeasuredCircle.GetDiameter(); }
  void SetMeasuredOffset(float x, float y);
  float GetMeasuredOffsetX() const { return m_f32MeasuredOffsetX; }
  float GetMeasuredOffsetY() const { return m_f32MeasuredOffsetY; }
  void SetMeasuredPitch(float x, float y);
  float GetMeasuredPitchX() const { return m_f32MeasuredPitchX; }
  float GetMeasuredPitchY() const { return m_f32MeasuredPitchY; }
  void SetMeasuredCircularity(float value);
  float GetMeasuredCircularity() const { return m_f32MeasuredCircularity; }
  void SetMeasuredDoughnutness(float value);
  float GetMeasuredDoughnutness() const { return m_f32MeasuredDoughnutness; }
  void SetMeasuredQualityFactor(float value);
  float GetMeasuredQualityFactor() const { return m_f32MeasuredQualityFactor; }

  // Statistics: AddBatchSample adds the current measured figures as one more sample (offset
  // and pitch by the length of their vector); ResetStatistics starts them again.
  void AddBatchSample();
  void ResetStatistics();
  unsigned GetNumBatchSamples() const { return m_un32NumBatchSamples; }

  EShape* CreateShapeClone(int recursive) const override;
  INS_SHAPE_TYPES GetType() const override { return INS_SHAPE_TYPE_BGA_BALL; }
  using EShape::Draw;  // keeps the device-context form (Windows) in view
  // Mode 0: the nominal outline; mode 1: the verdict drawn from the diagnostics bits; mode 2:
  // the tolerance band.
  void Draw(Quarnel::DrawAdapter* adapter, INS_DRAWING_MODES mode, int daughters) override;
  EShape* New() const override;

 protected:
  unsigned GetSignature() override { return 0x59041845u; }
  using ECircleShape::Serialize;
  // Record: version byte 2, the circle shape record, the diagnostics, the diameter correction.
  void Serialize(FILE* stream, int mode, unsigned version, int daughters) override;
  void Serialize(ESerializer* serializer, unsigned version, int daughters) override {
    SerializeThroughStream(serializer, version, daughters);
  }

  void* m_pAttachedObject;
  void (*m_pReleaseAttachedObject)(void*);
  ECircle m_MeasuredCircle;
  INS_MEASURE_MODE m_eMeasureMode;
  float m_f32DiameterTolerance;
  unsigned m_un32Diagnostics;
  int m_bWhiteOnBlack;
  unsigned m_un32NumBatchSamples;
  float m_f32MeasuredOffsetX, m_f32MeasuredOffsetY;
  float m_f32MeasuredPitchX, m_f32MeasuredPitchY;
  float m_f32MeasuredCircularity;
  float m_f32MeasuredDoughnutness;
  float m_f32MeasuredQualityFactor;
  float m_f32DiameterCorrection;

 private:
  void CopyOwnFields(EBGABall* dst) const;
  // Display box of the nominal circle (kept in the mother's coordinates) and of the measured
  // one (world coordinates).
  void NominalBox(float radius, int& x0, int& y0, int& x1, int& y1);
  void MeasuredBox(int& x0, int& y0, int& x1, int& y1);
};

#endif
