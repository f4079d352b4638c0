// The calibration model: maps world coordinates (physical units on the object plane) to sensor
// coordinates (image pixels) and back, through a family of camera models chosen by a mode word.
#ifndef VIMO_CALIBRATION_WORLD_H
#define VIMO_CALIBRATION_WORLD_H

#include <cstdint>
#include <cstdio>
#include <string>

#include "vimo/core/core.h"
#include "vimo/core/vimo_export.h"
#include "vimo/geometry/frame.h"
#include "vimo/geometry/point.h"

struct EListItem;

// One sensor/world point pair of a calibration.
struct ELandmark {
  EPoint SensorPoint;
  EPoint WorldPoint;
  int Matched = 0;                      // non-zero: the world point is known
  int Neighbour[4] = {-1, -1, -1, -1};  // grid links: +X, one Y direction, -X, the other
  EListItem* Item = nullptr;            // caller's reference, never dereferenced
};

// The landmark vector with its own file format (signature, count, 64-byte records).
class VIMO_EXPORT ELandmarkVector : public EVectorTemplate<ELandmark> {
 public:
  void Save(const char* path);
  void Save(const unsigned short* path);
  void Load(const char* path);
  void Load(const unsigned short* path);
};

// Calibration mode bits.
enum E_CALIBRATION_MODES : unsigned int {
  E_CALIBRATION_RAW = 0x0001,
  E_CALIBRATION_INVERSE = 0x0002,
  E_CALIBRATION_SCALED = 0x0004,
  E_CALIBRATION_ANISOTROPIC = 0x0008,
  E_CALIBRATION_SKEWED = 0x0010,
  E_CALIBRATION_TILTED = 0x0020,
  E_CALIBRATION_RADIAL = 0x0040,
  E_CALIBRATION_RADIAL2 = 0x0080,
  E_CALIBRATION_BILINEAR = 0x0100,
  E_CALIBRATION_QUADRATIC = 0x0200,
  E_CALIBRATION_POLYNOMIAL = 0x0800,
  E_CALIBRATION_USER = 0x1000
};

class EWorld;

// Caller-supplied mapping functions (SetUserCalibration).
typedef void (*EWorldToSensorFunction)(float x, float y, float& X, float& Y);
typedef void (*EWorldToSensorDerivativeFunction)(float x, float y, float& X, float& Y, float& dXdx,
                                                 float& dXdy, float& dYdx, float& dYdy);
typedef void (*ESensorToWorldFunction)(float X, float Y, float& x, float& y);

// Cached coefficients of the current mapping family (recomputed by validation).
struct EWorldCoefficients {
  // World to sensor: linear part, translation, projective denominator, quadratic terms
  // (xx, xy, yy of X, then of Y).
  float a11 = 1, a12 = 0, a21 = 0, a22 = 1, tx = 0, ty = 0, p1 = 0, p2 = 0;
  float e[6] = {0, 0, 0, 0, 0, 0};
  // Sensor to world: linear part, constants, projective denominator, quadratic terms
  // (XX, XY, YY of x, then of y).
  float b11 = 1, b12 = 0, b21 = 0, b22 = 1, cx = 0, cy = 0, q1 = 0, q2 = 0;
  float f[6] = {0, 0, 0, 0, 0, 0};
  // Radial families: optical centre, distortion, ratio and its inverse.
  float ox = 0, oy = 0, k = 0, rho = 1, invRho = 1;
  // Sign of the ideal-frame Y axis of the plain radial family (-1: flipped).
  float ySign = -1;
};

class VIMO_EXPORT EWorld : public EFrame {
 public:
  // Mapping slots: one call per point, chosen once per change of the model.
  typedef EPoint (*MapFunction)(const EWorld& world, EPoint point);
  typedef EPoint (*MapDerivativeFunction)(const EWorld& world, EPoint point, float& dXdx,
                                          float& dXdy, float& dYdx, float& dYdy);

  EWorld();
  EWorld(float centerX, float centerY, float angle, float scale);
  EWorld(const EWorld& other);
  EWorld& operator=(const EWorld& other);
  ~EWorld() override;
  EWorld* CopyTo(EWorld* dest) const;
  EPoint* CreatePointClone() override;

  // The world record (the landmarks are not part of it). The stream form reports failures
  // through the error state and a failed read changes nothing; the serializer form accepts only
  // a file-stream serializer (exception 1111 otherwise).
  void Serialize(FILE* stream, int mode, unsigned int version) override;
  void Serialize(ESerializer* serializer, unsigned int version) override;

  // Parameters. Each setter invalidates the model. Code that changes the inherited placement
  // through EFrame or EPoint directly must call Invalidate() itself.
  void SetSensorSize(int width, int height);
  void SetFieldSize(float width, float height);
  void SetResolution(float x, float y);
  void SetRatio(float ratio);
  void SetAngle(float angle, int unused = 0);
  void SetScale(float scale);
  void SetCenter(float x, float y);
  void SetCenter(const EPoint& center);
  // Centre, angle (caller's unit; "skewed" follows it as in SetAngle) and scale at once.
  void Set(const EPoint& center, float angle, float scale);
  void SetPerspective(float tiltX, float tiltY, float strength);
  void SetDistortion(float k, float k2);
  void SetOpticalCenter(float x, float y);
  void SetCalibrationModes(unsigned int modes);
  void SetSensor(int sensorWidth, int sensorHeight, float fieldWidth, float fieldHeight,
                 float centerX, float centerY, float angle, float tiltX, float tiltY,
                 float perspectiveStrength, float distortion, float distortion2,
                 float opticalCenterX, float opticalCenterY, unsigned int modes);
  void SetUserCalibration(EWorldToSensorFunction worldToSensor,
                          EWorldToSensorDerivativeFunction worldToSensorWithDerivatives,
                          ESensorToWorldFunction sensorToWorld);

  // Accessors.
  unsigned int GetCalibrationModes() const { return m_un32CalibrationModes; }
  int GetSensorWidth() const { return m_n32SensorWidth; }
  int GetSensorHeight() const { return m_n32SensorHeight; }
  float GetOpticalCenterX() const { return m_f32OpticalCenterX; }
  float GetOpticalCenterY() const { return m_f32OpticalCenterY; }
  float GetRatio() const { return m_f32Ratio; }
  float GetPerspectiveStrength() const { return m_f32PerspectiveStrength; }
  float GetDistortionStrength() const { return m_f32DistortionStrength; }
  float GetDistortionStrength2() const { return m_f32DistortionStrength2; }
  unsigned int GetDistortionOrder() const { return m_un32DistortionOrder; }
  float GetTiltXAngle() const;
  float GetTiltYAngle() const;
  float GetAngle(int unused = 0) const;
  float GetXResolution() const;
  float GetYResolution() const;
  float GetFieldWidth() const;
  float GetFieldHeight() const;
  // 1 when the world-to-sensor mapping reverses orientation at the world origin, else 0.
  float GetDirect() const;

  // Landmarks.
  void AddLandmark(EPoint sensor, EPoint world);
  void AddLandmark(EPoint sensor, EPoint world, float n0, float n1, float n2, float n3,
                   EListItem* item);
  void AddPoint(EPoint point);
  void RemoveLandmark(unsigned int index);
  void EmptyLandmarks();
  unsigned GetNumLandmarks() const { return m_Landmark.GetNumElements(); }
  ELandmark GetLandmark(unsigned index);
  EPoint SensorPointsGravityCenter() const;
  EPoint WorldPointsGravityCenter() const;
  EPoint SensorPointsMoments(float& mxx, float& mxy, float& myy) const;
  EPoint WorldPointsMoments(float& mxx, float& mxy, float& myy) const;

  // Grid bookkeeping of the automatic calibration.
  int GetOriginLandmark() const { return m_n32OriginLandmark; }
  void SetOriginLandmark(int index) { m_n32OriginLandmark = index; }
  unsigned int GetMatchedCount() const { return m_un32MatchedCount; }
  void SetMatchedCount(unsigned int count) { m_un32MatchedCount = count; }
  float GetGridPitchX() const { return m_f32GridPitchX; }
  float GetGridPitchY() const { return m_f32GridPitchY; }
  void SetGridPitch(float pitchX, float pitchY) {
    m_f32GridPitchX = pitchX;
    m_f32GridPitchY = pitchY;
  }

  // Mapping.
  EPoint WorldToSensor(EPoint world) const { return m_pWorldToSensor(*this, world); }
  EPoint WorldToSensor(EPoint world, float& dXdx, float& dXdy, float& dYdx, float& dYdy) const {
    return m_pWorldToSensorD(*this, world, dXdx, dXdy, dYdx, dYdy);
  }
  EPoint SensorToWorld(EPoint sensor) const { return m_pSensorToWorld(*this, sensor); }
  // True when both mappings are in force and leave every point as it is (the raw model), so that
  // callers mapping many points may skip them.
  bool IsIdentityMapping() const;
  void Invalidate();
  void Validate();
  // The cached coefficients of the current family (valid after the first mapping or Validate).
  const EWorldCoefficients& GetCoefficients() const { return m_Coef; }
  // The calibration modes by name and, in a polynomial mode, the two polynomials, as text.
  std::string DescribeCalibration() const;

  // Calibration from the matched landmarks. A mode word with "tilted" whose homography does not
  // decompose into a camera (a non-positive resolution) falls back to the affine model and
  // clears "tilted" in GetCalibrationModes(): check the mode word after calibrating.
  void Calibrate(unsigned int modes);
  // The grid-point statistics (mean and maximum distance between each identified landmark and
  // its mapped world point) are stored by both calls, in different units:
  // CalibrationSucceeded divides them by the grid pitch area (pitch x times pitch y) and
  // compares them with the thresholds; ComputeCalibrationQualityIndicators leaves them in world
  // units. The getters return what the last of the two stored.
  int CalibrationSucceeded();
  void ComputeCalibrationQualityIndicators();
  float GetGridPointsMeanVariation() const;
  float GetGridPointsMaxVariation() const;
  float GetGridPointsMeanVariationThreshold() const;
  float GetGridPointsMaxVariationThreshold() const;
  void SetGridPointsMeanVariationThreshold(float threshold);
  void SetGridPointsMaxVariationThreshold(float threshold);

  // Automatic calibration. AutoCalibrateDotGrid finds the dots of a grid target in the region,
  // rebuilds the grid with the given world pitch (origin at the dot nearest the dots' centroid,
  // world Y up) and calibrates with the best of the trial modes; it returns the mode word.
  // The optical centre used by the tilted models comes from the sensor size: set it
  // (SetSensorSize) from the image first.
  unsigned int AutoCalibrateDotGrid(EROI<EBW8>* roi, float pitchX, float pitchY, int withQuadratic);
  // Identifies the lattice among the landmarks by a walk over their Delaunay neighbours;
  // origin is a landmark index or 0xFFFFFFFF for the landmark nearest the centroid. Returns
  // the matched count.
  unsigned int RebuildGrid(float pitchX, float pitchY, unsigned int origin, EPoint originWorld,
                           int direct);
  // Tries the calibration modes in order of growing complexity and keeps the one with the
  // smallest 3 x mean + max residual: relative to the grid pitch (AutoCalibrate) or in world
  // units (AutoCalibrateLandmarks). Returns the mode word. The quality statistics are left as
  // computed for the last trial.
  unsigned int AutoCalibrate(int withQuadratic);
  unsigned int AutoCalibrateLandmarks(int withQuadratic);

  // Image unwarping. Nearest-neighbour sampling takes the row above the nearest one (and
  // bilinear sampling the row pair that matches it), so an identity calibration moves the
  // image down one row, with a black first row. Callers may rely on it; it is kept on purpose.
  void Unwarp(EROI<EBW8>* src, EROI<EBW8>* dst, int interpolate);
  void Unwarp(EROI<EC24>* src, EROI<EC24>* dst, int interpolate);
  void SetupUnwarp(EROI<ESubPixel64>* table, EROI<EBW8>* src, int interpolate);
  void SetupUnwarp(EROI<ESubPixel64>* table, EROI<EC24>* src, int interpolate);
  void Unwarp(EROI<ESubPixel64>* table, EROI<EBW8>* src, EROI<EBW8>* dst, int interpolate);
  void Unwarp(EROI<ESubPixel64>* table, EROI<EC24>* src, EROI<EC24>* dst, int interpolate);

  ELandmarkVector m_Landmark;

 protected:
  float m_f32TiltXAngle = 0;
  float m_f32TiltYAngle = 0;
  float m_f32PerspectiveStrength = 0;
  float m_f32DistortionStrength = 0;
  float m_f32DistortionStrength2 = 0;
  unsigned int m_un32CalibrationModes = E_CALIBRATION_RAW;
  int m_n32OriginLandmark = -1;
  unsigned int m_un32MatchedCount = 0;
  float m_f32GridPitchX = 1;
  float m_f32GridPitchY = 1;
  mutable MapFunction m_pWorldToSensor;
  mutable MapDerivativeFunction m_pWorldToSensorD;
  mutable MapFunction m_pSensorToWorld;
  unsigned int m_un32FreeParameterMask = 0;
  EWorldToSensorFunction m_pUserWorldToSensor = nullptr;
  EWorldToSensorDerivativeFunction m_pUserWorldToSensorD = nullptr;
  ESensorToWorldFunction m_pUserSensorToWorld = nullptr;
  int m_n32SensorWidth = 512;
  int m_n32SensorHeight = 512;
  float m_f32OpticalCenterX = 256;
  float m_f32OpticalCenterY = 256;
  float m_f32Ratio = 1;
  mutable EWorldCoefficients m_Coef;
  unsigned int m_un32DistortionOrder = 1;
  float m_f32MeanVariation = 0;
  float m_f32MaxVariation = 0;
  float m_f32MeanVariationThreshold = 0.05f * 0.05f;
  float m_f32MaxVariationThreshold = 0.1f * 0.1f;

 private:
  friend struct EWorldMapping;
  void CopyModel(const EWorld& other);
  // Recomputes the coefficients and installs the family's functions (lazy entry point).
  void ValidateModel() const;
  void InstallUserFunctions();
  // The frame angle in radians, as stored.
  double AngleRadians() const;
  void SetAngleRadians(double angle);
  void ComputeQuality(float& mean, float& max, unsigned& count) const;
  unsigned int SearchModes(int withQuadratic, bool relativeToPitch, const char* name);
};

#endif
